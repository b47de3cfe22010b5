#include "text/HtmlScan.h"

#include "text/SjisBytes.h"

#include <cstring>

namespace {

// Every delimiter the scanner looks for is below 0x40, so none of them can be the trail
// byte of a Shift_JIS character: a plain byte scan is safe on Shift_JIS text.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Scans the attributes of a tag whose name starts at nameBegin; returns the end offset
// (past ">", or the text's end for an unfinished tag). Offsets in attrs are relative to base.
std::size_t scanTagBody(std::string_view s, std::size_t nameBegin, std::size_t base,
                        std::vector<HtmlAttr>* attrs)
{
    const std::size_t n = s.size();
    std::size_t i = nameBegin;
    while (i < n && !isBlank(s[i]) && s[i] != '/' && s[i] != '>')
        ++i;
    for (;;) {
        while (i < n && (isBlank(s[i]) || s[i] == '/'))
            ++i;
        if (i >= n)
            return n;
        if (s[i] == '>')
            return i + 1;
        HtmlAttr a;
        a.nameBegin = i - base;
        ++i; // a name may begin with "=" or a quote; it is then part of the name
        while (i < n && !isBlank(s[i]) && s[i] != '/' && s[i] != '>' && s[i] != '=')
            ++i;
        a.nameEnd = i - base;
        std::size_t j = i;
        while (j < n && isBlank(s[j]))
            ++j;
        if (j < n && s[j] == '=') {
            ++j;
            while (j < n && isBlank(s[j]))
                ++j;
            a.hasValue = true;
            if (j < n && (s[j] == '"' || s[j] == '\'')) {
                a.quote = s[j];
                const std::size_t close = s.find(a.quote, j + 1);
                a.valueBegin = j + 1 - base;
                if (close != std::string_view::npos) {
                    a.valueEnd = close - base;
                    i = close + 1;
                } else {
                    // An opening quote without a partner: the value ends where an unquoted
                    // one would, so the rest of the document does not fall into it.
                    std::size_t k = j + 1;
                    while (k < n && !isBlank(s[k]) && s[k] != '>')
                        ++k;
                    a.closed = false;
                    a.valueEnd = k - base;
                    i = k;
                }
            } else {
                std::size_t k = j;
                while (k < n && !isBlank(s[k]) && s[k] != '>')
                    ++k;
                a.valueBegin = j - base;
                a.valueEnd = k - base;
                i = k;
            }
        }
        if (attrs)
            attrs->push_back(a);
    }
}

std::string lowerName(std::string_view s, std::size_t from)
{
    std::string name;
    for (std::size_t i = from; i < s.size() && !isBlank(s[i]) && s[i] != '/' && s[i] != '>'; ++i)
        name += asciiLower(s[i]);
    return name;
}

bool isRawElement(const std::string& name)
{
    return name == "script" || name == "style" || name == "pre" || name == "textarea" || name == "xmp";
}

// Offset of the "</name" that ends a raw element's contents, or the text's end.
std::size_t findRawEnd(std::string_view s, std::size_t from, const std::string& name)
{
    std::size_t i = from;
    while ((i = s.find("</", i)) != std::string_view::npos) {
        const std::size_t after = i + 2 + name.size();
        if (StartsWithNoCase(s.substr(i + 2), name) &&
            (after >= s.size() || isBlank(s[after]) || s[after] == '/' || s[after] == '>'))
            return i;
        i += 2;
    }
    return s.size();
}

std::size_t findOrEnd(std::string_view s, std::string_view what, std::size_t from)
{
    const std::size_t p = s.find(what, from);
    return p == std::string_view::npos ? s.size() : p + what.size();
}

} // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(prefix[i]))
            return false;
    return true;
}

std::vector<HtmlToken> ScanHtml(std::string_view s)
{
    std::vector<HtmlToken> out;
    const std::size_t n = s.size();
    out.reserve(n / 16 + 4); // about one token per 16 bytes of markup: no regrowth on big pages
    std::size_t textBegin = 0;
    std::size_t i = 0;
    auto flushText = [&](std::size_t upTo) {
        if (upTo > textBegin)
            out.push_back({HtmlToken::Kind::Text, textBegin, upTo, {}});
    };
    while (i < n) {
        const void* lt = std::memchr(s.data() + i, '<', n - i);
        if (!lt)
            break;
        i = static_cast<const char*>(lt) - s.data();
        const char c1 = i + 1 < n ? s[i + 1] : '\0';
        HtmlToken t;
        t.begin = i;
        if (isAsciiLetter(c1)) {
            t.kind = HtmlToken::Kind::StartTag;
            t.name = lowerName(s, i + 1);
            t.end = scanTagBody(s, i + 1, i, nullptr);
        } else if (c1 == '/' && i + 2 < n && isAsciiLetter(s[i + 2])) {
            t.kind = HtmlToken::Kind::EndTag;
            t.name = lowerName(s, i + 2);
            t.end = scanTagBody(s, i + 2, i, nullptr);
        } else if (s.substr(i, 4) == "<!--") {
            t.kind = HtmlToken::Kind::Comment;
            if (s.substr(i + 4, 1) == ">")
                t.end = i + 5;
            else if (s.substr(i + 4, 2) == "->")
                t.end = i + 6;
            else
                t.end = findOrEnd(s, "-->", i + 4);
        } else if (c1 == '!' || c1 == '?') {
            t.kind = HtmlToken::Kind::Markup;
            t.end = StartsWithNoCase(s.substr(i), "<![CDATA[") ? findOrEnd(s, "]]>", i + 9)
                                                                : findOrEnd(s, ">", i + 2);
        } else {
            ++i; // a "<" that opens nothing is text
            continue;
        }
        flushText(i);
        out.push_back(t);
        i = t.end;
        textBegin = i;
        if (t.kind == HtmlToken::Kind::StartTag && isRawElement(t.name)) {
            const std::size_t rawEnd = findRawEnd(s, i, t.name);
            if (rawEnd > i)
                out.push_back({HtmlToken::Kind::Raw, i, rawEnd, {}});
            i = textBegin = rawEnd;
        }
    }
    flushText(n);
    return out;
}

std::size_t HtmlTagEnd(std::string_view s, std::size_t b)
{
    return scanTagBody(s, b + (b + 1 < s.size() && s[b + 1] == '/' ? 2 : 1), b, nullptr);
}

std::vector<HtmlAttr> ParseTagAttrs(std::string_view tag)
{
    std::vector<HtmlAttr> attrs;
    if (tag.size() < 2 || tag[0] != '<')
        return attrs;
    const std::size_t nameBegin = tag[1] == '/' ? 2 : 1;
    scanTagBody(tag, nameBegin, 0, &attrs);
    return attrs;
}
