#include "text/TextConverter.h"

#include "text/JCode.h"
#include "text/SjisBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using u8 = unsigned char;
constexpr auto npos = std::string_view::npos;

// Every line end becomes one CR LF. Some files carry CR CR LF throughout (CR LF written
// through a second text-mode conversion); when the first line end looks like that, each
// CR CR LF counts as one line end. Nothing else is dropped.
std::string normalizeLineEnds(std::string_view s)
{
    const std::size_t n = s.size();
    auto next = [&](char c, std::size_t from) {
        const void* hit = from < n ? std::memchr(s.data() + from, c, n - from) : nullptr;
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - s.data()) : npos;
    };
    std::size_t cr = next('\r', 0), lf = next('\n', 0);
    const std::size_t first = cr < lf ? cr : lf;
    const bool crCrLf = first != npos && s.compare(first, 3, "\r\r\n") == 0;
    std::string out;
    out.reserve(n + n / 32 + 16);
    std::size_t i = 0;
    for (;;) {
        if (cr < i)
            cr = next('\r', i);
        if (lf < i)
            lf = next('\n', i);
        std::size_t j = cr < lf ? cr : lf;
        if (j == npos) {
            out.append(s.data() + i, n - i);
            break;
        }
        out.append(s.data() + i, j - i);
        if (s[j] == '\r') {
            if (crCrLf && s.compare(j, 3, "\r\r\n") == 0)
                j += 3;
            else if (j + 1 < n && s[j + 1] == '\n')
                j += 2;
            else
                j += 1;
        } else {
            j += 1;
        }
        out += "\r\n";
        i = j;
    }
    return out;
}

// The text is not Shift_JIS yet, so words are matched byte by byte, ASCII case ignored,
// without a lower-case copy of a text that may be many megabytes long.
bool equalsNoCase(const char* p, std::string_view lowerWord)
{
    for (std::size_t k = 0; k < lowerWord.size(); ++k)
        if (asciiLower(p[k]) != lowerWord[k])
            return false;
    return true;
}

std::size_t findNoCase(std::string_view s, std::string_view lowerWord, std::size_t from = 0)
{
    const std::size_t m = lowerWord.size();
    if (m == 0 || s.size() < m)
        return npos;
    const char lo = lowerWord[0], up = asciiUpper(lo);
    for (std::size_t i = from; i + m <= s.size(); ++i) {
        const char c = s[i];
        if ((c == lo || c == up) && equalsNoCase(s.data() + i, lowerWord))
            return i;
    }
    return npos;
}

// The charset words that steer the conversion.
enum Word : unsigned {
    wXSjis,
    wShiftHyphen,
    wShiftJis,
    wEucJp,
    wUtf8,
    wIso2022,
    wIso2022Jp,
    wDeclSjis,
    wDeclEuc,
    wDeclJis,
    wDeclUtf8,
    wCount
};
constexpr std::string_view kWords[wCount] = {
    "x-sjis",          "shift-jis",          "shift_jis",     "euc-jp",          "utf-8",          "iso-2022",
    "iso-2022-jp",     "charset=shift_jis\"", "charset=euc-jp\"", "charset=jis\"", "charset=utf-8\"",
};

// Every word holds one of "-", "_" or "="; those are rare in Japanese text, so the scan
// jumps from one of them to the next and checks only the words around it.
unsigned scanWords(std::string_view s)
{
    unsigned found = 0;
    for (const char anchor : {'-', '_', '='}) {
        for (const char* hit = static_cast<const char*>(std::memchr(s.data(), anchor, s.size())); hit;) {
            const std::size_t p = static_cast<std::size_t>(hit - s.data());
            for (unsigned w = 0; w < wCount; ++w) {
                const std::string_view word = kWords[w];
                const std::size_t k = word.find(anchor);
                if ((found >> w & 1) || k == npos || p < k || s.size() - (p - k) < word.size())
                    continue;
                if (equalsNoCase(s.data() + p - k, word))
                    found |= 1u << w;
            }
            hit = static_cast<const char*>(std::memchr(hit + 1, anchor, s.size() - p - 1));
        }
    }
    return found;
}

// Strict: one- to three-byte sequences only, no overlong forms, no surrogates.
bool isStrictUtf8(std::string_view s, bool allowFourByte = false)
{
    const u8* p = reinterpret_cast<const u8*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        // ASCII runs go eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const u8 b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF)
            len = 2;
        else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (allowFourByte && b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else
            return false;
        if (n - i < len || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == ':';
}

bool startsNoCase(std::string_view s, std::size_t at, std::string_view lowerWord)
{
    return s.size() - std::min(at, s.size()) >= lowerWord.size() && equalsNoCase(s.data() + at, lowerWord);
}

std::size_t skipBlanks(std::string_view s, std::size_t i)
{
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return i;
}

// The span of the encoding name after a keyword: blanks, "=" when asked, blanks, an optional
// quote, then the name. {npos, 0} when there is no name.
std::pair<std::size_t, std::size_t> nameAfter(std::string_view s, std::size_t i, bool wantEquals)
{
    i = skipBlanks(s, i);
    if (wantEquals) {
        if (i >= s.size() || s[i] != '=')
            return {npos, 0};
        i = skipBlanks(s, i + 1);
    }
    if (i < s.size() && (s[i] == '"' || s[i] == '\''))
        ++i;
    std::size_t e = i;
    while (e < s.size() && isNameChar(s[e]))
        ++e;
    return e > i ? std::pair{i, e - i} : std::pair{npos, std::size_t{0}};
}

// An "@charset" rule at i. Returns false when the visitor wants no more.
template <class Visit>
bool visitAtCharset(std::string_view s, std::size_t i, Visit& visit)
{
    if (!startsNoCase(s, i, "@charset"))
        return true;
    const auto [at, len] = nameAfter(s, i + 8, false);
    return at == npos || visit(at, len);
}

// Calls visit(at, len) for the encoding name of every declaration, in text order, until it
// returns false. Every place is anchored on "<" or a line start, bytes that are never the
// second byte of a Shift_JIS character, so no declaration is found inside one.
template <class Visit>
void forEachDecl(std::string_view s, Visit visit)
{
    const std::size_t textStart = s.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const std::size_t i = skipBlanks(s, textStart);
    if (startsNoCase(s, i, "<?xml") && i + 5 < s.size() && isBlank(s[i + 5])) {
        const std::size_t end = std::min(s.find("?>", i), s.size());
        const std::string_view decl = s.substr(0, end);
        const std::size_t k = findNoCase(decl, "encoding", i);
        if (k != npos) {
            const auto [at, len] = nameAfter(decl, k + 8, true);
            if (at != npos && !visit(at, len))
                return;
        }
    }

    // Tags of the head; the body holds text, not declarations.
    auto tagIs = [&](std::size_t p, std::string_view lowerName) {
        const std::size_t e = p + 1 + lowerName.size();
        return startsNoCase(s, p + 1, lowerName) && e < s.size() && (isBlank(s[e]) || s[e] == '>' || s[e] == '/');
    };
    auto tagEnd = [&](std::size_t p) {
        char quote = 0;
        for (std::size_t k = p + 1; k < s.size(); ++k) {
            const char c = s[k];
            if (quote)
                quote = c == quote ? 0 : quote;
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                return k;
        }
        return s.size();
    };
    // A style sheet's "@charset" rule stands first in it.
    if (i < s.size() && s[i] == '@' && !visitAtCharset(s, i, visit))
        return;

    for (const char* hit = static_cast<const char*>(std::memchr(s.data(), '<', s.size())); hit;) {
        std::size_t p = static_cast<std::size_t>(hit - s.data());
        if (tagIs(p, "body") || tagIs(p, "/head"))
            break;
        if (tagIs(p, "meta")) {
            const std::size_t end = tagEnd(p);
            const std::string_view tag = s.substr(0, end);
            for (std::size_t k = findNoCase(tag, "charset", p); k != npos; k = findNoCase(tag, "charset", k + 7)) {
                const auto [at, len] = nameAfter(tag, k + 7, true);
                if (at != npos && !visit(at, len))
                    return;
            }
            p = end;
        } else if (tagIs(p, "style")) {
            p = tagEnd(p);
            std::size_t b = skipBlanks(s, p + 1);
            if (startsNoCase(s, b, "<!--"))
                b = skipBlanks(s, b + 4);
            if (b < s.size() && s[b] == '@' && !visitAtCharset(s, b, visit))
                return;
        }
        hit = p + 1 < s.size() ? static_cast<const char*>(std::memchr(s.data() + p + 1, '<', s.size() - p - 1))
                               : nullptr;
    }
}

// The converted text is Shift_JIS now and says so.
std::string rewriteDeclsToSjis(std::string t)
{
    return RenameCharsetDecls(std::move(t), "Shift_JIS");
}

// For text the strict decoder accepts, Utf8ToAnsi gives exactly its Shift_JIS form; for the
// rest (a four-byte character, one bad byte) it is the lenient fallback, which turns only
// what it cannot read into "?".
std::string decodeUtf8Lenient(const std::string& t)
{
    return rewriteDeclsToSjis(Utf8ToAnsi(t));
}

} // namespace

TCharset CharsetOfName(std::string_view Name)
{
    std::string n;
    for (const char c : Name)
        n += asciiLower(c);
    static const std::pair<std::string_view, TCharset> kNames[] = {
        {"shift_jis", TCharset::Sjis},       {"shift-jis", TCharset::Sjis},    {"x-sjis", TCharset::Sjis},
        {"sjis", TCharset::Sjis},            {"ms_kanji", TCharset::Sjis},     {"csshiftjis", TCharset::Sjis},
        {"windows-31j", TCharset::Sjis},     {"cp932", TCharset::Sjis},        {"ms932", TCharset::Sjis},
        {"x-ms-cp932", TCharset::Sjis},      {"euc-jp", TCharset::Euc},        {"x-euc-jp", TCharset::Euc},
        {"eucjp", TCharset::Euc},            {"euc-jp-ms", TCharset::Euc},     {"eucjp-ms", TCharset::Euc},
        {"cseucpkdfmtjapanese", TCharset::Euc}, {"utf-8", TCharset::Utf8},     {"utf8", TCharset::Utf8},
        {"unicode-1-1-utf-8", TCharset::Utf8}, {"iso-2022-jp", TCharset::Jis}, {"csiso2022jp", TCharset::Jis},
        {"jis", TCharset::Jis},              {"utf-16", TCharset::Utf16Le},    {"utf-16le", TCharset::Utf16Le},
        {"unicode", TCharset::Utf16Le},      {"utf-16be", TCharset::Utf16Be},
    };
    for (const auto& [name, code] : kNames)
        if (n == name)
            return code;
    return TCharset::Unknown;
}

TCharset DeclaredCharset(std::string_view Text)
{
    if (Text.size() >= 2) {
        const auto b0 = static_cast<u8>(Text[0]), b1 = static_cast<u8>(Text[1]);
        if (b0 == 0xFF && b1 == 0xFE)
            return TCharset::Utf16Le;
        if (b0 == 0xFE && b1 == 0xFF)
            return TCharset::Utf16Be;
        if (Text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            return TCharset::Utf8;
    }
    TCharset found = TCharset::Unknown;
    forEachDecl(Text, [&](std::size_t at, std::size_t len) {
        found = CharsetOfName(Text.substr(at, len));
        return false;
    });
    if (found == TCharset::Utf16Le || found == TCharset::Utf16Be)
        return TCharset::Utf8;
    return found;
}

std::string RenameCharsetDecls(std::string Text, std::string_view To)
{
    struct Span {
        std::size_t at, len;
        bool operator<(const Span& o) const { return at < o.at; }
        bool operator==(const Span& o) const { return at == o.at; }
    };
    std::string lowerTo;
    for (const char c : To)
        lowerTo += asciiLower(c);
    std::vector<Span> spans;
    forEachDecl(Text, [&](std::size_t at, std::size_t len) {
        const std::string_view name(Text.data() + at, len);
        const bool same = len == lowerTo.size() && equalsNoCase(name.data(), lowerTo);
        if (!same && CharsetOfName(name) != TCharset::Unknown)
            spans.push_back({at, len});
        return true;
    });
    if (spans.empty())
        return Text;
    std::sort(spans.begin(), spans.end());
    spans.erase(std::unique(spans.begin(), spans.end()), spans.end());
    // A text declares its charset a few times at most: replacing in place from the back keeps
    // the earlier places valid and needs no second copy of a large text.
    for (auto sp = spans.rbegin(); sp != spans.rend(); ++sp)
        Text.replace(sp->at, sp->len, To);
    return Text;
}

std::string Utf16BytesToSjis(std::string Bytes, bool CrLfLineEnds)
{
    std::size_t at = 0;
    bool bigEndian = false;
    if (Bytes.size() >= 2) {
        const auto b0 = static_cast<u8>(Bytes[0]), b1 = static_cast<u8>(Bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) {
            at = 2;
        } else if (b0 == 0xFE && b1 == 0xFF) {
            at = 2;
            bigEndian = true;
        }
    }
    // The text is decoded into its own buffer: a character never takes more bytes in
    // Shift_JIS than in UTF-16, so no second large buffer is needed. Big-endian units are
    // swapped there first.
    char* d = Bytes.data();
    const std::size_t end = at + (Bytes.size() - at) / 2 * 2;
    if (bigEndian)
        for (std::size_t j = at; j < end; j += 2)
            std::swap(d[j], d[j + 1]);
    Bytes.resize(Utf16LeBytesToAnsi(std::string_view(d + at, end - at), d, CrLfLineEnds));
    return Bytes;
}

std::u16string Utf8ToWide(const std::string& S)
{
    if (S.empty() || !isStrictUtf8(S))
        return {};
    std::u16string w;
    w.reserve(S.size());
    const u8* p = reinterpret_cast<const u8*>(S.data());
    std::size_t i = 0;
    while (i < S.size()) {
        const u8 b = p[i];
        if (b < 0x80) {
            w += static_cast<char16_t>(b);
            i += 1;
        } else if (b < 0xE0) {
            w += static_cast<char16_t>(((b & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
        } else {
            w += static_cast<char16_t>(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
            i += 3;
        }
    }
    return w;
}

std::string ConvertTextToSjis(const std::string& Text, int Mode)
{
    if (Mode < ccmAuto || Mode > ccmUtf8N)
        Mode = ccmAuto;

    // UTF-16 first: its bytes 0x0A and 0x0D can be halves of any character, so line ends are
    // looked at only once it is Shift_JIS.
    const TCharset mark = Text.size() >= 2 ? DeclaredCharset(std::string_view(Text).substr(0, 3)) : TCharset::Unknown;
    if (mark == TCharset::Utf16Le || mark == TCharset::Utf16Be)
        return rewriteDeclsToSjis(normalizeLineEnds(Utf16BytesToSjis(Text)));

    std::string T = normalizeLineEnds(Text);
    if (T.empty())
        return T;

    // A byte-order mark settles the encoding whatever the text or the caller says.
    if (T.size() >= 3 && T.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return decodeUtf8Lenient(T.substr(3));

    const unsigned words = scanWords(T);
    auto has = [&](Word w) { return (words & (1u << w)) != 0; };
    const TCharset declared = DeclaredCharset(T);

    if (Mode == ccmAuto || (declared == TCharset::Utf8 && Mode != ccmUtf8)) {
        // What the text declares decides before any word in it: a UTF-8 page that talks
        // about Shift_JIS is still UTF-8.
        switch (declared) {
        case TCharset::Sjis:
            return rewriteDeclsToSjis(std::move(T));
        case TCharset::Euc:
            return rewriteDeclsToSjis(EucToSjis(T));
        case TCharset::Jis:
            return rewriteDeclsToSjis(JisToSjisB(T));
        case TCharset::Utf8:
            return decodeUtf8Lenient(T);
        default:
            break;
        }
    }

    // "x-sjis" and "shift-jis" are Shift_JIS too (only declarations are renamed, above).
    const bool namesSjis = has(wShiftJis) || has(wXSjis) || has(wShiftHyphen);
    const bool namesEuc = has(wEucJp);
    const bool namesUtf8 = has(wUtf8);
    const bool namesIso2022 = has(wIso2022);
    const bool declaresJis = has(wDeclJis);
    if (Mode == ccmAuto && !namesSjis && !namesEuc && !namesUtf8 && !namesIso2022 && !declaresJis)
        return T;

    const bool bomHint = static_cast<u8>(T[0]) == 0xEF;
    const bool declaresUtf8 = has(wDeclUtf8);

    if (Mode == ccmAuto) {
        // Charset words outside any declaration, in this order, wherever they stand.
        if (has(wDeclSjis))
            return T;
        if (has(wDeclEuc))
            return rewriteDeclsToSjis(EucToSjis(T));
        if (declaresJis || namesIso2022)
            return rewriteDeclsToSjis(JisToSjisB(T));
        if (declaresUtf8)
            return decodeUtf8Lenient(T);
    } else if (!declaresUtf8) {
        switch (Mode) {
        case ccmEucJp:
            return rewriteDeclsToSjis(EucToSjis(T));
        case ccmUtf8: {
            if (T.compare(0, 2, "?<") == 0)
                T.erase(0, 1);
            std::string A = Utf8ToAnsi(T);
            if (A.compare(0, 2, "?<") == 0)
                A.erase(0, 1);
            return rewriteDeclsToSjis(A);
        }
        case ccmSjis:
            return T;
        case ccmJis:
            return rewriteDeclsToSjis(JisToSjis(T));
        case ccmUtf8N:
            return rewriteDeclsToSjis(Utf8ToAnsi(T));
        default:
            break;
        }
    }

    // Detection by the charset words anywhere in the text.
    if (!namesSjis && !namesEuc && (namesUtf8 || bomHint || Mode == ccmUtf8)) {
        // Text that is not UTF-8 at all (a Shift_JIS page that merely mentions "utf-8") stays.
        if (!isStrictUtf8(T, true)) {
            if (!T.empty() && T[0] == '?')
                T.erase(0, 1);
            return T;
        }
        std::string A = Utf8ToAnsi(T);
        if (!A.empty() && A[0] == '?')
            A.erase(0, 1);
        return rewriteDeclsToSjis(A);
    }
    if (namesSjis || has(wIso2022Jp))
        return T;
    if (namesEuc || Mode == ccmEucJp)
        return rewriteDeclsToSjis(EucToSjis(T));
    if (!T.empty() && T[0] == '?')
        T.erase(0, 1);
    return T;
}
