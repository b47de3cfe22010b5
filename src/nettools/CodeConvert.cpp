#include "nettools/CodeConvert.h"

#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <unistd.h>

namespace {

// A UTF-8 byte-order mark is no character of the text; converted, it would read as "?".
std::string utf8TextToSjis(const std::string &S)
{
    if (S.size() >= 3 && S.compare(0, 3, "\xEF\xBB\xBF") == 0) return Utf8ToAnsi(S.substr(3));
    return Utf8ToAnsi(S);
}

// How many bytes making every line end CR LF adds: one for each CR not followed by LF and
// each LF not preceded by CR. Most texts that reach here are CR LF throughout, so this look
// is the whole cost of their line ends: sixteen bytes at a time, the CRs that have their LF
// are the CRs one place before an LF.
size_t lineEndGrowth(std::string_view S)
{
    const char *p = S.data();
    const size_t n = S.size();
    size_t i = 0, breaks = 0, pairs = 0;
    bool crBefore = false; // the byte before p[i] is a CR
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
        const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
        if ((crs | lfs) == 0 && !crBefore) continue;
        breaks += static_cast<size_t>(__builtin_popcount(crs | lfs));
        pairs += static_cast<size_t>(__builtin_popcount(((crs << 1) | (crBefore ? 1u : 0u)) & lfs));
        crBefore = (crs & 0x8000u) != 0;
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') ++breaks;
        if (p[i] == '\n' && crBefore) ++pairs;
        crBefore = p[i] == '\r';
    }
    return breaks - 2 * pairs;
}

// The place just after the last CR or LF in p[0, end), or 0.
size_t afterLastLineBreak(const char *p, size_t end)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end >= 16; end -= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + end - 16));
        const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (m) return end - 16 + static_cast<size_t>(32 - __builtin_clz(static_cast<unsigned>(m)));
    }
#endif
    while (end > 0 && p[end - 1] != '\r' && p[end - 1] != '\n') --end;
    return end;
}

// The place of the first CR or LF in p[i, end), or end.
size_t nextLineBreak(const char *p, size_t i, size_t end)
{
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= end; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (m) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(m)));
    }
#endif
    while (i < end && p[i] != '\r' && p[i] != '\n') ++i;
    return i;
}

} // namespace

std::string UnifyLineEnds(std::string S)
{
    // Texts that reach here are mostly CR LF already: check before copying.
    const size_t growth = lineEndGrowth(S);
    if (growth == 0) return S;
    const size_t n = S.size();
    if (S.capacity() >= n + growth) {
        // The file's buffer has room (its reader leaves some): the text is moved back within
        // it from the end, run by run, and no second large buffer is needed.
        S.resize(n + growth);
        char *d = S.data();
        size_t src = n, dst = n + growth;
        while (src > 0) {
            const size_t runStart = afterLastLineBreak(d, src);
            const size_t run = src - runStart;
            std::memmove(d + dst - run, d + runStart, run);
            dst -= run;
            src = runStart;
            if (src == 0) break;
            // The break just before the run; an LF takes the CR before it along.
            const bool pair = d[src - 1] == '\n' && src >= 2 && d[src - 2] == '\r';
            src -= pair ? 2 : 1;
            d[--dst] = '\n';
            d[--dst] = '\r';
        }
        return S;
    }
    const char *p = S.data();
    std::string out;
    out.reserve(n + growth);
    // Written a piece at a time into room made just before, so the zero-fill stays in cache.
    constexpr size_t kPiece = 1 << 16;
    size_t used = 0, i = 0;
    while (i < n) {
        const size_t end = std::min(n, i + kPiece);
        out.resize(used + 2 * (end - i)); // a lone CR or LF becomes two bytes
        char *o = out.data() + used;
        while (i < end) {
            const size_t stop = nextLineBreak(p, i, end);
            std::memcpy(o, p + i, stop - i);
            o += stop - i;
            i = stop;
            if (i == end) break;
            *o++ = '\r';
            *o++ = '\n';
            i += p[i] == '\r' && i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
        }
        used = static_cast<size_t>(o - out.data());
    }
    out.resize(used);
    return out;
}

std::string TerminateLines(std::string S)
{
    S = UnifyLineEnds(std::move(S));
    if (!S.empty() && S.back() != '\n') S += "\r\n";
    return S;
}

std::string SjisToUtf16LeBytes(const std::string &Sjis)
{
    return AnsiToUtf16LeBytes(Sjis, "\xFF\xFE");
}

std::string FinishConvText(std::string Sjis)
{
    return RenameCharsetDecls(UnifyLineEnds(std::move(Sjis)), "Shift_JIS");
}

bool IsUtf16File(std::string_view FileBytes)
{
    const TCharset mark = DeclaredCharset(FileBytes.substr(0, 2));
    return mark == TCharset::Utf16Le || mark == TCharset::Utf16Be;
}

TConvRead ReadConvSource(std::string FileBytes, int CharCode)
{
    TConvRead r;
    std::string s;
    // Whether the conversion keeps every CR and LF as it is and makes none: then the text has
    // the source's unified line ends already.
    bool unified = false;
    if (CharCode == cvUtf16 || (CharCode == cvAuto && IsUtf16File(FileBytes))) {
        // Line ends are found only after decoding: a byte 0x0A can be half of any character.
        r.Source = Utf16BytesToSjis(std::move(FileBytes), true);
        // Room for the renamed declarations, so that they are written in place.
        s.reserve(r.Source.size() + 64);
        s = r.Source;
        unified = true;
    } else {
        r.Source = UnifyLineEnds(std::move(FileBytes));
        switch (CharCode) {
        case cvAuto: s = ConvertTextToSjis(r.Source, ccmAuto); break;
        case cvSjis:
            s.reserve(r.Source.size() + 64);
            s = r.Source;
            unified = true;
            break;
        case cvEuc:
            s = EucToSjis(r.Source);
            unified = true;
            break;
        case cvUtf8:
        case cvUtf8N:
            s = utf8TextToSjis(r.Source);
            unified = true;
            break;
        case cvJis:
            // Its escapes are skipped three bytes at a time, line ends or not.
            s = JisToSjisB(r.Source);
            break;
        default: unified = true; break;
        }
    }
    if (!unified) s = UnifyLineEnds(std::move(s));
    // The text is Shift_JIS now and its declarations say so; the same names in its prose are
    // the user's words and stay.
    r.Text = RenameCharsetDecls(std::move(s), "Shift_JIS");
    return r;
}

std::string ConvertLeftToRight(const std::string &Source, int OutCode)
{
    switch (OutCode) {
    case cvEuc: return RenameCharsetDecls(EucToSjisB(Source), "Shift_JIS");
    case cvUtf8:
    case cvUtf8N: return utf8TextToSjis(Source);
    case cvJis: return RenameCharsetDecls(JisToSjisB(Source), "Shift_JIS");
    default: return Source;
    }
}

const char *SaveCharsetName(int OutCode)
{
    switch (OutCode) {
    case cvEuc: return "EUC-JP";
    case cvUtf8:
    case cvUtf8N: return "UTF-8";
    case cvUtf16: return "UTF-16";
    case cvJis: return "iso-2022-jp";
    default: return nullptr;
    }
}

std::string BuildSaveBytes(std::string PaneText, int OutCode, int LetterCase)
{
    std::string t = LetterCase == 1 ? NormalizeHtmlSource(PaneText) : std::move(PaneText);
    PaneText = std::string();
    if (const char *name = SaveCharsetName(OutCode)) t = RenameCharsetDecls(std::move(t), name);
    // Each step lets go of the text it came from, so a large text is held about twice at most.
    auto done = [&t](std::string out) {
        t = std::string();
        return out;
    };
    switch (OutCode) {
    case cvEuc: return done(SjisToEucB(t));
    case cvUtf8:
    case cvUtf8N:
        // Line ends are the same bytes in every output: ended before the conversion.
        t = TerminateLines(std::move(t));
        return done(SjisToUtf8(t));
    case cvUtf16: return done(SjisToUtf16LeBytes(t));
    case cvJis:
        t = TerminateLines(std::move(t));
        return done(SjisToJis(t, kmKeep));
    default: return t;
    }
}
size_t FileBytesCapacity(size_t Size)
{
    // LF line ends made CR LF: a text of lines of two bytes and more grows by half at most.
    return Size + Size / 2 + 64;
}

bool ReadFileBytes(const std::string &FileName, std::string &Bytes)
{
    Bytes.clear();
    if (FileName.empty()) return false;
    const std::string sys = ToSystemPath(FileName);
    const int fd = ::open(sys.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // One buffer for the whole file, with room for line ends made CR LF in place; room never
    // written costs no memory.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        Bytes.reserve(FileBytesCapacity(static_cast<size_t>(st.st_size)));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            Bytes.clear();
            return false;
        }
        Bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}
