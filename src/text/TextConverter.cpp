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

std::string replaceNoCase(const std::string& s, std::string_view lowerWord, std::string_view to)
{
    std::string out;
    std::size_t done = 0;
    for (std::size_t p = findNoCase(s, lowerWord); p != npos; p = findNoCase(s, lowerWord, done)) {
        out.append(s, done, p - done);
        out += to;
        done = p + lowerWord.size();
    }
    if (done == 0)
        return s;
    out.append(s, done, npos);
    return out;
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

// Declarations of the encodings the text was converted from now say Shift_JIS:
// charset=X, charset="X, encoding="X (either quote) and @charset "X. Each form holds "=" or
// "@", so only the places around those bytes are looked at.
std::string rewriteDeclsToSjis(std::string t)
{
    static constexpr std::string_view kNames[] = {"x-euc-jp", "euc-jp", "utf-8", "iso-2022-jp", "jis"};
    auto at = [&](std::size_t k) { return k < t.size() ? asciiLower(t[k]) : '\0'; };
    auto isQuote = [](char c) { return c == '"' || c == '\''; };

    // (start of the keyword, start of the encoding name) for every declaration-like place.
    std::vector<std::pair<std::size_t, std::size_t>> places;
    for (const char* hit = static_cast<const char*>(std::memchr(t.data(), '=', t.size())); hit;) {
        const std::size_t p = static_cast<std::size_t>(hit - t.data());
        std::size_t q = p + 1;
        if (p >= 7 && equalsNoCase(t.data() + p - 7, "charset")) {
            if (isQuote(at(q)))
                ++q;
            places.emplace_back(p - 7, q);
        } else if (p >= 8 && equalsNoCase(t.data() + p - 8, "encoding") && isQuote(at(q))) {
            places.emplace_back(p - 8, q + 1);
        }
        hit = static_cast<const char*>(std::memchr(hit + 1, '=', t.size() - p - 1));
    }
    for (const char* hit = static_cast<const char*>(std::memchr(t.data(), '@', t.size())); hit;) {
        const std::size_t p = static_cast<std::size_t>(hit - t.data());
        if (t.size() - p >= 10 && equalsNoCase(t.data() + p + 1, "charset ") && isQuote(t[p + 9]))
            places.emplace_back(p + 1, p + 10);
        hit = static_cast<const char*>(std::memchr(hit + 1, '@', t.size() - p - 1));
    }
    std::sort(places.begin(), places.end());

    struct Hit {
        std::size_t at, len;
    };
    std::vector<Hit> hits;
    std::size_t known = 0; // a character boundary at or before the current place
    for (const auto& [h, q] : places) {
        if (sjisIsTrailFrom(t, known, h)) {
            known = h + 1;
            continue;
        }
        known = h;
        for (const std::string_view name : kNames) {
            if (t.size() - q < name.size() || !equalsNoCase(t.data() + q, name))
                continue;
            const char next = at(q + name.size());
            const bool endsName = !((next >= 'a' && next <= 'z') || (next >= '0' && next <= '9') || next == '-' ||
                                    next == '_');
            if (endsName)
                hits.push_back({q, name.size()});
            break;
        }
    }

    // A page declares its charset a few times at most: replacing in place from the back
    // keeps the earlier positions valid and needs no second copy of a large text.
    if (hits.size() <= 16) {
        for (auto h = hits.rbegin(); h != hits.rend(); ++h)
            t.replace(h->at, h->len, "Shift_JIS");
        return t;
    }
    std::string out;
    out.reserve(t.size() + hits.size() * 4);
    std::size_t done = 0;
    for (const Hit& h : hits) {
        out.append(t, done, h.at - done);
        out += "Shift_JIS";
        done = h.at + h.len;
    }
    out.append(t, done, npos);
    return out;
}

// For text the strict decoder accepts, Utf8ToAnsi gives exactly its Shift_JIS form; for the
// rest (a four-byte character, one bad byte) it is the lenient fallback, which turns only
// what it cannot read into "?".
std::string decodeUtf8Lenient(const std::string& t)
{
    return rewriteDeclsToSjis(Utf8ToAnsi(t));
}

} // namespace

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

    std::string T = normalizeLineEnds(Text);
    if (T.empty())
        return T;

    unsigned words = scanWords(T);
    auto has = [&](Word w) { return (words & (1u << w)) != 0; };
    if (has(wXSjis) || has(wShiftHyphen)) {
        T = replaceNoCase(replaceNoCase(T, "x-sjis", "Shift_JIS"), "shift-jis", "Shift_JIS");
        words = scanWords(T);
    }

    // A byte-order mark settles the encoding whatever the text or the caller says.
    if (T.size() >= 3 && T.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return decodeUtf8Lenient(T.substr(3));

    const bool namesSjis = has(wShiftJis);
    const bool namesEuc = has(wEucJp);
    const bool namesUtf8 = has(wUtf8);
    const bool namesIso2022 = has(wIso2022);
    const bool declaresJis = has(wDeclJis);
    if (Mode == ccmAuto && !namesSjis && !namesEuc && !namesUtf8 && !namesIso2022 && !declaresJis)
        return T;

    const bool bomHint = static_cast<u8>(T[0]) == 0xEF;
    const bool declaresUtf8 = has(wDeclUtf8);

    if (Mode == ccmAuto) {
        // The declarations are tried in this order, wherever they stand in the text.
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
