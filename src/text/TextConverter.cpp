#include "text/TextConverter.h"

#include "text/JCode.h"
#include "text/SjisBytes.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

using u8 = unsigned char;
constexpr auto npos = std::string_view::npos;

// Every line end becomes one CR LF. Some files carry CR CR LF throughout (CR LF written
// through a second text-mode conversion); when the first line end looks like that, each
// CR CR LF counts as one line end. Nothing else is dropped.
std::string normalizeLineEnds(std::string_view s)
{
    const std::size_t n = s.size();
    const std::size_t first = s.find_first_of("\r\n");
    const bool crCrLf = first != npos && s.compare(first, 3, "\r\r\n") == 0;
    std::string out;
    out.reserve(n + n / 32 + 16);
    std::size_t i = 0;
    while (i < n) {
        std::size_t j = i;
        while (j < n && s[j] != '\r' && s[j] != '\n')
            ++j;
        out.append(s.data() + i, j - i);
        if (j >= n)
            break;
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

// The text is not Shift_JIS yet, so case folding and searching go byte by byte here.
std::string lowerBytes(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = asciiLower(c);
    return r;
}

std::string replaceBytesIgnoreCase(const std::string& s, const std::string& lower, std::string_view pat,
                                   std::string_view to)
{
    std::string out;
    std::size_t done = 0;
    for (std::size_t p = lower.find(pat); p != npos; p = lower.find(pat, done)) {
        out.append(s, done, p - done);
        out += to;
        done = p + pat.size();
    }
    if (done == 0)
        return s;
    out.append(s, done, npos);
    return out;
}

bool contains(const std::string& hay, std::string_view needle)
{
    return hay.find(needle) != npos;
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
// charset=X, charset="X, encoding="X (either quote) and @charset "X.
std::string rewriteDeclsToSjis(const std::string& t)
{
    static constexpr std::string_view kNames[] = {"x-euc-jp", "euc-jp", "utf-8", "iso-2022-jp", "jis"};
    const std::string lower = lowerBytes(t);
    std::string out;
    std::size_t done = 0;
    std::size_t known = 0; // a character boundary at or before the current hit
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hc = lower.find("charset", pos);
        const std::size_t he = lower.find("encoding", pos);
        const std::size_t h = hc < he ? hc : he;
        if (h == npos)
            break;
        const bool isCharset = h == hc;
        pos = h + 1;
        if (sjisIsTrailFrom(t, known, h)) {
            known = h + 1;
            continue;
        }
        known = h;
        std::size_t q = h + (isCharset ? 7 : 8);
        auto at = [&](std::size_t k) { return k < lower.size() ? lower[k] : '\0'; };
        auto isQuote = [](char c) { return c == '"' || c == '\''; };
        if (at(q) == '=') {
            ++q;
            if (isQuote(at(q)))
                ++q;
            else if (!isCharset)
                continue;
        } else if (isCharset && at(q) == ' ' && h > 0 && t[h - 1] == '@' && isQuote(at(q + 1))) {
            q += 2;
        } else {
            continue;
        }
        for (const std::string_view name : kNames) {
            if (lower.compare(q, name.size(), name) != 0)
                continue;
            const char next = at(q + name.size());
            const bool endsName = !((next >= 'a' && next <= 'z') || (next >= '0' && next <= '9') || next == '-' ||
                                    next == '_');
            if (!endsName)
                break;
            out.append(t, done, q - done);
            out += "Shift_JIS";
            done = q + name.size();
            pos = done;
            break;
        }
    }
    if (done == 0)
        return t;
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

    std::string L = lowerBytes(T);
    if (contains(L, "x-sjis") || contains(L, "shift-jis")) {
        T = replaceBytesIgnoreCase(T, L, "x-sjis", "Shift_JIS");
        T = replaceBytesIgnoreCase(T, lowerBytes(T), "shift-jis", "Shift_JIS");
        L = lowerBytes(T);
    }

    // A byte-order mark settles the encoding whatever the text or the caller says.
    if (T.size() >= 3 && T.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return decodeUtf8Lenient(T.substr(3));

    const bool namesSjis = contains(L, "shift_jis");
    const bool namesEuc = contains(L, "euc-jp");
    const bool namesUtf8 = contains(L, "utf-8");
    const bool namesIso2022 = contains(L, "iso-2022");
    const bool declaresJis = contains(L, "charset=jis\"");
    if (Mode == ccmAuto && !namesSjis && !namesEuc && !namesUtf8 && !namesIso2022 && !declaresJis)
        return T;

    const bool bomHint = static_cast<u8>(T[0]) == 0xEF;
    const bool declaresUtf8 = contains(L, "charset=utf-8\"");

    if (Mode == ccmAuto) {
        // The declarations are tried in this order, wherever they stand in the text.
        if (contains(L, "charset=shift_jis\""))
            return T;
        if (contains(L, "charset=euc-jp\""))
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
    if (namesSjis || contains(L, "iso-2022-jp"))
        return T;
    if (namesEuc || Mode == ccmEucJp)
        return rewriteDeclsToSjis(EucToSjis(T));
    if (!T.empty() && T[0] == '?')
        T.erase(0, 1);
    return T;
}
