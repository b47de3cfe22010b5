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

// Every occurrence of each ASCII text From, letter case ignored, tried in the order given at
// each place, never starting on the second byte of a double-byte character; replaced text is
// not searched again. The text itself comes back when nothing matches. One walk for all, so
// that a large text with few declarations costs little more than a look at each byte.
template <size_t N>
std::string replaceNoCase(std::string S, const Replacement (&Reps)[N])
{
    bool starts[256] = {};
    for (const Replacement &r : Reps) {
        const auto c = static_cast<unsigned char>(r.from[0]);
        starts[c] = true;
        starts[static_cast<unsigned char>(lowerAscii(static_cast<char>(c)))] = true;
        if (c >= 'a' && c <= 'z') starts[c - 'a' + 'A'] = true;
    }
    const size_t n = S.size();
    const auto *p = reinterpret_cast<const unsigned char *>(S.data());
    struct Hit {
        size_t at;
        const Replacement *rep;
    };
    std::vector<Hit> hits;
    size_t grownSize = n;
    bool growsOnly = true;
    size_t copied = 0;
    // With one or two bytes that can start a pattern ("UTF-8": "U" and "u"), memchr finds
    // their places; with more, a look at each byte.
    unsigned char firsts[2] = {};
    int nFirsts = 0;
    for (int c = 0; c < 256; ++c)
        if (starts[c] && nFirsts++ < 2) firsts[nFirsts - 1] = static_cast<unsigned char>(c);
    size_t nextAt[2] = {0, 0};
    bool known[2] = {false, false};
    auto candidate = [&](size_t from) -> size_t {
        if (nFirsts > 2) {
            while (from < n && !starts[p[from]]) ++from;
            return from;
        }
        size_t best = n;
        for (int f = 0; f < nFirsts; ++f) {
            if (!known[f] || (nextAt[f] < from && nextAt[f] != n)) {
                const void *hit = from < n ? std::memchr(p + from, firsts[f], n - from) : nullptr;
                nextAt[f] = hit ? static_cast<size_t>(static_cast<const unsigned char *>(hit) - p) : n;
                known[f] = true;
            }
            best = std::min(best, nextAt[f]);
        }
        return best;
    };
    for (size_t i = candidate(0); i < n; i = candidate(i + 1)) {
        // Every pattern begins with an ASCII byte, so a look at the bytes before it settles
        // whether it starts a character: the byte after any non-lead byte always does, and a
        // run of lead bytes pairs up from there. Walking each byte forward costs far more.
        size_t k = i;
        while (k > copied && isSjisLead(p[k - 1])) --k;
        if ((i - k) % 2 != 0) continue;
        const Replacement *hit = nullptr;
        for (const Replacement &r : Reps) {
            const size_t m = r.from.size();
            if (n - i < m) continue;
            size_t j = 0;
            while (j < m && lowerAscii(S[i + j]) == lowerAscii(r.from[j])) ++j;
            if (j == m) {
                hit = &r;
                break;
            }
        }
        if (!hit) continue;
        hits.push_back({i, hit});
        grownSize = grownSize - hit->from.size() + hit->to.size();
        growsOnly = growsOnly && hit->to.size() >= hit->from.size();
        copied = i + hit->from.size();
        i = copied - 1;
    }
    if (hits.empty()) return S;
    if (growsOnly && S.capacity() >= grownSize) {
        // The converters leave room at the end of their buffer: shifting the text back within
        // it from the end spares a second large buffer and its fresh pages.
        S.resize(grownSize);
        char *d = S.data();
        size_t srcEnd = n, dstEnd = grownSize;
        for (auto h = hits.rbegin(); h != hits.rend(); ++h) {
            const size_t tail = srcEnd - (h->at + h->rep->from.size());
            std::memmove(d + dstEnd - tail, d + srcEnd - tail, tail);
            dstEnd -= tail;
            dstEnd -= h->rep->to.size();
            std::memcpy(d + dstEnd, h->rep->to.data(), h->rep->to.size());
            srcEnd = h->at;
        }
        return S;
    }
    std::string out;
    out.reserve(grownSize);
    copied = 0;
    for (const Hit &h : hits) {
        out.append(S, copied, h.at - copied);
        out.append(h.rep->to);
        copied = h.at + h.rep->from.size();
    }
    out.append(S, copied, std::string::npos);
    return out;
}

bool hasLoneLineBreak(const std::string &S)
{
    const char *p = S.data(), *end = p + S.size();
    while (p < end) {
        const void *hit = std::memchr(p, '\r', static_cast<size_t>(end - p));
        const char *cr = hit ? static_cast<const char *>(hit) : end;
        // Between two CRs, any LF is a lone one.
        if (std::memchr(p, '\n', static_cast<size_t>(cr - p))) return true;
        if (cr == end) return false;
        if (cr + 1 == end || cr[1] != '\n') return true;
        p = cr + 2;
    }
    return false;
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
    if (!hasLoneLineBreak(S)) return S;
    std::string out;
    out.reserve(S.size() + S.size() / 16);
    const char *p = S.data(), *end = p + S.size();
    while (p < end) {
        const char *q = p;
        while (q < end && *q != '\r' && *q != '\n') ++q;
        out.append(p, static_cast<size_t>(q - p));
        if (q == end) break;
        out += "\r\n";
        p = q + (*q == '\r' && q + 1 < end && q[1] == '\n' ? 2 : 1);
    }
    return out;
}

std::string TerminateLines(std::string S)
{
    S = UnifyLineEnds(std::move(S));
    if (!S.empty() && S.back() != '\n') S += "\r\n";
    return S;
}

std::string Utf16BytesToSjis(std::string Bytes)
{
    size_t at = 0;
    bool bigEndian = false;
    if (Bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(Bytes[0]), b1 = static_cast<unsigned char>(Bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) {
            at = 2;
        } else if (b0 == 0xFE && b1 == 0xFF) {
            at = 2;
            bigEndian = true;
        }
    }
    // The text is decoded piece by piece into the file's own buffer: a character never takes
    // more bytes in Shift_JIS than in UTF-16, so what is written never passes what was read,
    // and no second large buffer is needed. A piece never ends between the halves of a
    // surrogate pair; big-endian pieces are swapped first.
    const size_t units = (Bytes.size() - at) / 2;
    const auto *p = reinterpret_cast<const unsigned char *>(Bytes.data()) + at;
    auto isHighSurrogate = [&](size_t k) {
        const unsigned char hi = bigEndian ? p[2 * k] : p[2 * k + 1];
        return hi >= 0xD8 && hi <= 0xDB;
    };
    constexpr size_t kPiece = 1 << 15;
    std::string swapped;
    size_t written = 0;
    for (size_t k = 0; k < units;) {
        size_t end = std::min(units, k + kPiece);
        if (end < units && isHighSurrogate(end - 1)) ++end;
        std::string_view piece(reinterpret_cast<const char *>(p) + 2 * k, 2 * (end - k));
        if (bigEndian) {
            swapped.resize(piece.size());
            for (size_t j = 0; j < piece.size(); j += 2) {
                swapped[j] = piece[j + 1];
                swapped[j + 1] = piece[j];
            }
            piece = swapped;
        }
        const std::string sjis = Utf16LeBytesToAnsi(piece);
        std::memcpy(Bytes.data() + written, sjis.data(), sjis.size());
        written += sjis.size();
        k = end;
    }
    Bytes.resize(written);
    return Bytes;
}

std::string SjisToUtf16LeBytes(const std::string &Sjis)
{
    // Piece by piece, cut after a line end (never inside a character), so that no wide copy
    // of a large text is held beside the result.
    std::string out;
    out.reserve(2 + Sjis.size() * 2);  // untouched room costs no memory
    out += "\xFF\xFE";
    constexpr size_t kPiece = 1 << 20;
    for (size_t at = 0; at < Sjis.size();) {
        size_t end = Sjis.size();
        if (end - at > kPiece) {
            const size_t lf = Sjis.find('\n', at + kPiece);
            if (lf != std::string::npos) end = lf + 1;
        }
        const std::u16string w = AnsiToWide(Sjis.substr(at, end - at));
        for (char16_t u : w) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
        at = end;
    }
    return out;
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
        case cvSjis: s = r.Source; break;
        case cvEuc:
            s = EucToSjis(r.Source);
            read = &declNames(TDeclCode::Euc);
            break;
        case cvUtf8:
        case cvUtf8N: s = utf8TextToSjis(r.Source); break;
        case cvJis:
            s = JisToSjisB(r.Source);
            read = &declNames(TDeclCode::Jis);
            break;
        default: break;
        }
    }
    if (!read) {
        r.Text = FinishConvText(std::move(s));
        return r;
    }
    // The declarations and the "UTF-8" names in one walk: neither pattern lies in the other.
    const DeclNames &sj = declNames(TDeclCode::Sjis);
    const Replacement reps[] = {{read->meta, sj.meta}, {read->xml, sj.xml}, {read->bare, sj.bare}, {"UTF-8", "Shift_JIS"}};
    r.Text = replaceNoCase(UnifyLineEnds(std::move(s)), reps);
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
