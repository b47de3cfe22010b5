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

struct DeclNames {
    const char *meta, *xml, *bare;
};

const DeclNames &declNames(TDeclCode c)
{
    static const DeclNames names[] = {
        {"charset=Shift_JIS", " encoding=\"Shift_JIS\"?>", "\"Shift_JIS\""},
        {"charset=EUC-JP", " encoding=\"euc-jp\"?>", "\"EUC-JP\""},
        {"charset=UTF-8", " encoding=\"UTF-8\"?>", "\"UTF-8\""},
        {"charset=iso-2022-jp", " encoding=\"iso-2022-jp\"?>", "\"iso-2022-jp\""},
    };
    return names[static_cast<int>(c)];
}

// A UTF-8 byte-order mark is no character of the text; converted, it would read as "?".
std::string utf8TextToSjis(const std::string &S)
{
    if (S.size() >= 3 && S.compare(0, 3, "\xEF\xBB\xBF") == 0) return Utf8ToAnsi(S.substr(3));
    return Utf8ToAnsi(S);
}

bool isSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct Replacement {
    std::string_view from, to;
};

// A byte every pattern holds that no letter-case change touches, and that is no Shift_JIS
// trail byte when one can be had ("-" in "EUC-JP" and "UTF-8"): its places are found at memory
// speed, and each is looked at only where a pattern could hold it. 0 when there is none.
template <size_t N>
unsigned char commonAnchor(const Replacement (&Reps)[N])
{
    unsigned char best = 0;
    for (const char ch : Reps[0].from) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') continue;
        bool inAll = true;
        for (const Replacement &r : Reps) inAll = inAll && r.from.find(ch) != std::string_view::npos;
        if (!inAll) continue;
        if (c < 0x40) return c;
        if (!best) best = c;
    }
    return best;
}

bool sameNoCase(const char *at, std::string_view pattern)
{
    for (size_t j = 0; j < pattern.size(); ++j)
        if (lowerAscii(at[j]) != lowerAscii(pattern[j])) return false;
    return true;
}

// Every occurrence of each ASCII text From, letter case ignored, tried in the order given at
// each place, never starting on the second byte of a double-byte character; replaced text is
// not searched again. The text itself comes back when nothing matches; when the text's buffer
// has room, it is rewritten in place.
template <size_t N>
std::string replaceNoCase(std::string S, const Replacement (&Reps)[N])
{
    const size_t n = S.size();
    const auto *p = reinterpret_cast<const unsigned char *>(S.data());
    struct Hit {
        size_t at;
        size_t rep;
    };
    // First every place where a pattern stands, in any order; then the ones a walk from the
    // start would replace.
    std::vector<Hit> found;
    auto tryAt = [&](size_t at, size_t r) {
        if (n - at >= Reps[r].from.size() && sameNoCase(S.data() + at, Reps[r].from)) found.push_back({at, r});
    };
    if (const unsigned char anchor = commonAnchor(Reps)) {
        size_t offset[N];
        for (size_t r = 0; r < N; ++r) offset[r] = Reps[r].from.find(static_cast<char>(anchor));
        for (const void *hit = std::memchr(p, anchor, n); hit;) {
            const auto a = static_cast<size_t>(static_cast<const unsigned char *>(hit) - p);
            for (size_t r = 0; r < N; ++r)
                if (a >= offset[r]) tryAt(a - offset[r], r);
            hit = a + 1 < n ? std::memchr(p + a + 1, anchor, n - a - 1) : nullptr;
        }
        std::sort(found.begin(), found.end(),
                  [](const Hit &x, const Hit &y) { return x.at != y.at ? x.at < y.at : x.rep < y.rep; });
    } else {
        bool starts[256] = {};
        for (const Replacement &r : Reps) {
            const auto c = static_cast<unsigned char>(r.from[0]);
            starts[c] = starts[static_cast<unsigned char>(lowerAscii(static_cast<char>(c)))] = true;
            if (c >= 'a' && c <= 'z') starts[c - 'a' + 'A'] = true;
        }
        for (size_t i = 0; i < n; ++i)
            if (starts[p[i]])
                for (size_t r = 0; r < N; ++r) tryAt(i, r);
    }
    std::vector<Hit> hits;
    size_t grownSize = n;
    bool growsOnly = true;
    size_t copied = 0;
    for (const Hit &h : found) {
        if (h.at < copied) continue;
        // Every pattern begins with an ASCII byte, so a look at the bytes before it settles
        // whether it starts a character: the byte after any non-lead byte always does, and a
        // run of lead bytes pairs up from there. Walking each byte forward costs far more.
        size_t k = h.at;
        while (k > copied && isSjisLead(p[k - 1])) --k;
        if ((h.at - k) % 2 != 0) continue;
        const Replacement &r = Reps[h.rep];
        hits.push_back(h);
        grownSize = grownSize - r.from.size() + r.to.size();
        growsOnly = growsOnly && r.to.size() >= r.from.size();
        copied = h.at + r.from.size();
    }
    if (hits.empty()) return S;
    if (growsOnly && S.capacity() >= grownSize) {
        // The converters leave room at the end of their buffer: shifting the text back within
        // it from the end spares a second large buffer and its fresh pages.
        S.resize(grownSize);
        char *d = S.data();
        size_t srcEnd = n, dstEnd = grownSize;
        for (auto h = hits.rbegin(); h != hits.rend(); ++h) {
            const Replacement &r = Reps[h->rep];
            const size_t tail = srcEnd - (h->at + r.from.size());
            std::memmove(d + dstEnd - tail, d + srcEnd - tail, tail);
            dstEnd -= tail;
            dstEnd -= r.to.size();
            std::memcpy(d + dstEnd, r.to.data(), r.to.size());
            srcEnd = h->at;
        }
        return S;
    }
    std::string out;
    out.reserve(grownSize);
    copied = 0;
    for (const Hit &h : hits) {
        const Replacement &r = Reps[h.rep];
        out.append(S, copied, h.at - copied);
        out.append(r.to);
        copied = h.at + r.from.size();
    }
    out.append(S, copied, std::string::npos);
    return out;
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

std::string RewriteDeclarations(std::string Text, TDeclCode From, TDeclCode To)
{
    const DeclNames &f = declNames(From), &t = declNames(To);
    // In one walk the XML form, which begins before the bare one inside it, is met first.
    const Replacement reps[] = {{f.meta, t.meta}, {f.xml, t.xml}, {f.bare, t.bare}};
    return replaceNoCase(std::move(Text), reps);
}

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
    // Every "UTF-8", prose included: the read text is Shift_JIS now.
    const Replacement reps[] = {{"UTF-8", "Shift_JIS"}};
    return replaceNoCase(UnifyLineEnds(std::move(Sjis)), reps);
}

TConvRead ReadConvSource(std::string FileBytes, int CharCode)
{
    TConvRead r;
    std::string s;
    // Read as EUC-JP or ISO-2022-JP, the text is Shift_JIS now and must say so: saved again in
    // another encoding it would otherwise still declare the one it was read in.
    const DeclNames *read = nullptr;
    // Whether the conversion keeps every CR and LF as it is and makes none: then the text has
    // the source's unified line ends already.
    bool unified = false;
    if (CharCode == cvUtf16) {
        // Line ends are found only after decoding: a byte 0x0A can be half of any character.
        r.Source = Utf16BytesToSjis(std::move(FileBytes));
        // Room for the renamed declarations, so that they are written in place.
        s.reserve(r.Source.size() + r.Source.size() / 64 + 64);
        s = r.Source;
    } else {
        r.Source = UnifyLineEnds(std::move(FileBytes));
        switch (CharCode) {
        case cvAuto: s = ConvertTextToSjis(r.Source, ccmAuto); break;
        case cvSjis:
            s.reserve(r.Source.size() + r.Source.size() / 64 + 64);
            s = r.Source;
            unified = true;
            break;
        case cvEuc:
            s = EucToSjis(r.Source);
            read = &declNames(TDeclCode::Euc);
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
            read = &declNames(TDeclCode::Jis);
            break;
        default: unified = true; break;
        }
    }
    if (!unified) s = UnifyLineEnds(std::move(s));
    if (!read) {
        // Every "UTF-8", prose included: the read text is Shift_JIS now.
        const Replacement reps[] = {{"UTF-8", "Shift_JIS"}};
        r.Text = replaceNoCase(std::move(s), reps);
        return r;
    }
    // The declarations and the "UTF-8" names in one walk: neither pattern lies in the other.
    const DeclNames &sj = declNames(TDeclCode::Sjis);
    const Replacement reps[] = {{read->meta, sj.meta}, {read->xml, sj.xml}, {read->bare, sj.bare}, {"UTF-8", "Shift_JIS"}};
    r.Text = replaceNoCase(std::move(s), reps);
    return r;
}

std::string ConvertLeftToRight(const std::string &Source, int OutCode)
{
    switch (OutCode) {
    case cvEuc: return RewriteDeclarations(EucToSjisB(Source), TDeclCode::Euc, TDeclCode::Sjis);
    case cvUtf8:
    case cvUtf8N: return utf8TextToSjis(Source);
    case cvJis: return RewriteDeclarations(JisToSjisB(Source), TDeclCode::Jis, TDeclCode::Sjis);
    default: return Source;
    }
}

std::string BuildSaveBytes(std::string PaneText, int OutCode, int LetterCase)
{
    std::string t = LetterCase == 1 ? NormalizeHtmlSource(PaneText) : std::move(PaneText);
    PaneText = std::string();
    // Each step lets go of the text it came from, so a large text is held about twice at most.
    auto done = [&t](std::string out) {
        t = std::string();
        return out;
    };
    switch (OutCode) {
    case cvEuc: return done(SjisToEucB(RewriteDeclarations(std::move(t), TDeclCode::Sjis, TDeclCode::Euc)));
    case cvUtf8:
    case cvUtf8N:
        // Line ends are the same bytes in every output: ended before the conversion.
        t = TerminateLines(RewriteDeclarations(std::move(t), TDeclCode::Sjis, TDeclCode::Utf8));
        return done(SjisToUtf8(t));
    case cvUtf16: return done(SjisToUtf16LeBytes(t));
    case cvJis:
        t = TerminateLines(RewriteDeclarations(std::move(t), TDeclCode::Sjis, TDeclCode::Jis));
        return done(SjisToJis(t, kmKeep));
    default: return t;
    }
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
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto size = static_cast<size_t>(st.st_size);
        Bytes.reserve(size + size / 16 + 64);
    }
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
