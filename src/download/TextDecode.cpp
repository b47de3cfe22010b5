#include "download/TextDecode.h"
#include "text/SjisBytes.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include <iconv.h>
#include <vector>

namespace {

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string trimQuotes(std::string v)
{
    while (!v.empty() && (v.front() == '"' || v.front() == '\'' || v.front() == ' ')) v.erase(0, 1);
    std::size_t e = 0;
    while (e < v.size() && v[e] != '"' && v[e] != '\'' && v[e] != ' ' && v[e] != ';' && v[e] != '>' && v[e] != '/' &&
           v[e] != '\r' && v[e] != '\n' && v[e] != '\t')
        ++e;
    return v.substr(0, e);
}

// One of our encoding names, or "" for a name we do not convert from.
std::string canonical(const std::string &name)
{
    const std::string n = lower(name);
    if (n == "utf-8" || n == "utf8") return "utf-8";
    if (n == "euc-jp" || n == "x-euc-jp" || n == "eucjp" || n == "euc_jp") return "euc-jp";
    if (n == "shift_jis" || n == "shift-jis" || n == "sjis" || n == "x-sjis" || n == "windows-31j" || n == "cp932" ||
        n == "ms932" || n == "ms_kanji")
        return "shift_jis";
    if (n == "iso-2022-jp" || n == "jis") return "iso-2022-jp";
    return {};
}

// Code points of UTF-8 bytes; false on any malformed sequence.
bool decodeUtf8(const std::string &s, std::vector<char32_t> *out)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) {
            cp = c;
            n = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            n = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            n = 3;
        } else {
            return false;
        }
        if (n > 0 && i + static_cast<std::size_t>(n) >= s.size()) return false;
        for (int k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (out) out->push_back(cp);
        i += n + 1;
    }
    return true;
}

std::vector<char32_t> decodeUtf16(const std::string &s, bool le)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        const unsigned char a = s[i], b = s[i + 1];
        char32_t u = le ? (a | (b << 8)) : ((a << 8) | b);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < s.size()) {
            const unsigned char c = s[i + 2], d = s[i + 3];
            const char32_t lo = le ? (c | (d << 8)) : ((c << 8) | d);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                u = 0xFFFD;
            }
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        out.push_back(u);
    }
    return out;
}

std::string hex(char32_t cp)
{
    static const char d[] = "0123456789abcdef";
    std::string h;
    do {
        h.insert(h.begin(), d[cp & 15]);
        cp >>= 4;
    } while (cp);
    return h;
}

// Code points to Shift_JIS; a character the code page lacks goes through the kind's fallback.
std::string encodeSjis(const std::vector<char32_t> &cps, FetchedKind kind)
{
    std::string out;
    out.reserve(cps.size() * 2);
    iconv_t cd = iconv_open("CP932", "UTF-32LE");
    for (char32_t cp : cps) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        bool done = false;
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                          static_cast<char>((cp >> 16) & 0xFF), static_cast<char>((cp >> 24) & 0xFF)};
            char buf[8];
            char *ip = in, *op = buf;
            size_t il = 4, ol = sizeof buf;
            if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1)) {
                out.append(buf, op - buf);
                done = true;
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        if (done) continue;
        switch (kind) {
        case FetchedKind::Html: out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";"; break;
        case FetchedKind::Css: out += "\\" + hex(cp) + " "; break;
        case FetchedKind::Script: out += "?"; break;
        }
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return out;
}

// The text's own declaration: a style sheet's leading @charset, a page's first charset=.
std::string declaredCharset(const std::string &bytes, FetchedKind kind)
{
    const std::string head = lower(bytes.substr(0, 65536));
    if (kind == FetchedKind::Css) {
        std::size_t i = head.rfind("\xef\xbb\xbf", 0) == 0 ? 3 : 0;
        if (head.compare(i, 8, "@charset") == 0) return trimQuotes(head.substr(i + 8));
        return {};
    }
    if (kind == FetchedKind::Html) {
        const std::size_t p = head.find("charset=");
        if (p != std::string::npos) return trimQuotes(head.substr(p + 8));
    }
    return {};
}

// A style sheet's @charset rule names Shift_JIS after the conversion.
std::string renameCssCharset(const std::string &css)
{
    const std::string head = lower(css.substr(0, 9));
    if (head.rfind("@charset", 0) != 0) return css;
    const std::size_t q1 = css.find_first_of("\"'", 8);
    if (q1 == std::string::npos) return css;
    const std::size_t q2 = css.find(css[q1], q1 + 1);
    if (q2 == std::string::npos || css.find('\n', q1) < q2) return css;
    return css.substr(0, q1 + 1) + "Shift_JIS" + css.substr(q2);
}

bool validSjis(const std::string &b)
{
    for (std::size_t i = 0; i < b.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(b[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
        if (!isSjisLead(c) || i + 1 >= b.size() || !isSjisTrail(static_cast<unsigned char>(b[i + 1]))) return false;
        ++i;
    }
    return true;
}

bool validEuc(const std::string &b)
{
    for (std::size_t i = 0; i < b.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(b[i]);
        if (c < 0x80) continue;
        auto in = [&](std::size_t k) {
            return k < b.size() && static_cast<unsigned char>(b[k]) >= 0xA1 && static_cast<unsigned char>(b[k]) <= 0xFE;
        };
        if (c == 0x8E) {
            if (i + 1 >= b.size() || static_cast<unsigned char>(b[i + 1]) < 0xA1 || static_cast<unsigned char>(b[i + 1]) > 0xDF)
                return false;
            ++i;
        } else if (c == 0x8F) {
            if (!in(i + 1) || !in(i + 2)) return false;
            i += 2;
        } else if (c >= 0xA1 && c <= 0xFE) {
            if (!in(i + 1)) return false;
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

bool isJis(const std::string &b)
{
    for (unsigned char c : b)
        if (c >= 0x80) return false;
    return b.find("\x1b$B") != std::string::npos || b.find("\x1b$@") != std::string::npos;
}

bool validAs(const std::string &b, const std::string &enc)
{
    if (enc == "utf-8") return IsValidUtf8(b);
    if (enc == "shift_jis") return validSjis(b);
    if (enc == "euc-jp") return validEuc(b);
    if (enc == "iso-2022-jp") {
        for (unsigned char c : b)
            if (c >= 0x80) return false;
        return true;
    }
    return false;
}

// What the bytes are valid as: UTF-8 first; of Shift_JIS and EUC-JP, the one that holds them
// (both may: EUC-JP's kana read as Shift_JIS half-width kana, which Japanese text seldom
// uses, so a Shift_JIS reading with such kana is taken as EUC-JP).
std::string encodingByValidity(const std::string &b)
{
    bool ascii = true;
    for (unsigned char c : b) ascii = ascii && c < 0x80;
    if (ascii) return isJis(b) ? "iso-2022-jp" : "shift_jis";
    if (IsValidUtf8(b)) return "utf-8";
    const bool sj = validSjis(b), eu = validEuc(b);
    if (sj && eu) {
        for (std::size_t i = 0; i < b.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(b[i]);
            if (c >= 0xA1 && c <= 0xDF) return "euc-jp";
            if (isSjisLead(c)) ++i;
        }
        return "shift_jis";
    }
    if (eu) return "euc-jp";
    return "shift_jis"; // kept as it came
}

} // namespace

bool IsValidUtf8(const std::string &Bytes) { return decodeUtf8(Bytes, nullptr); }

std::string CharsetOfContentType(const std::string &ContentType)
{
    const std::string l = lower(ContentType);
    const std::size_t p = l.find("charset=");
    if (p == std::string::npos) return {};
    return trimQuotes(l.substr(p + 8));
}

DecodedText DecodeToSjis(const std::string &Bytes, const std::string &ContentType, FetchedKind Kind,
                         const std::string &ReferrerEncoding)
{
    DecodedText r;
    std::string body = Bytes;
    std::string enc;
    std::vector<char32_t> cps;
    bool haveCps = false;
    if (body.rfind("\xef\xbb\xbf", 0) == 0) {
        body.erase(0, 3);
        enc = "utf-8";
    } else if (body.rfind("\xff\xfe", 0) == 0) {
        cps = decodeUtf16(body.substr(2), true);
        haveCps = true;
        enc = "utf-16le";
    } else if (body.rfind("\xfe\xff", 0) == 0) {
        cps = decodeUtf16(body.substr(2), false);
        haveCps = true;
        enc = "utf-16be";
    }
    if (enc.empty()) enc = canonical(CharsetOfContentType(ContentType));
    if (enc.empty()) enc = canonical(declaredCharset(body, Kind));
    // A sheet or script is never judged by the words it holds (a comment naming "euc-jp", a
    // string writing a <meta>): the referring page's encoding, else what its bytes are valid as.
    if (enc.empty() && Kind != FetchedKind::Html) {
        enc = canonical(ReferrerEncoding);
        if (enc == "utf-16le" || enc == "utf-16be") enc.clear();
        if (enc.empty() || !validAs(body, enc)) enc = encodingByValidity(body);
    }
    if (enc.empty()) {
        bool ascii = true;
        for (unsigned char c : body)
            if (c >= 0x80) {
                ascii = false;
                break;
            }
        if (!ascii && IsValidUtf8(body)) enc = "utf-8";
    }
    std::string sjis;
    if (haveCps) {
        sjis = encodeSjis(cps, Kind);
    } else if (enc == "utf-8") {
        if (decodeUtf8(body, &cps))
            sjis = encodeSjis(cps, Kind);
        else
            sjis = Utf8ToAnsi(body); // a server that names UTF-8 and sends broken bytes
    } else if (enc == "euc-jp") {
        sjis = EucToSjis(body);
    } else if (enc == "iso-2022-jp") {
        sjis = JisToSjis(body);
    } else if (enc == "shift_jis") {
        sjis = body;
    } else {
        r.Encoding = "auto";
        r.Sjis = ConvertTextToSjis(body, ccmAuto);
        if (Kind == FetchedKind::Css) r.Sjis = renameCssCharset(r.Sjis);
        return r;
    }
    r.Encoding = enc;
    sjis = NormalizeLineBreaks(sjis);
    if (Kind == FetchedKind::Html) sjis = RewriteCharsetDeclsToSjis(sjis);
    if (Kind == FetchedKind::Css) sjis = renameCssCharset(sjis);
    r.Sjis = sjis;
    return r;
}
