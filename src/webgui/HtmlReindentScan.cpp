// How every pass of the re-indenter reads a page: its tokens with a title's text as a browser
// reads it, tags found by whole name, protected content, and line spans.
#include "webgui/HtmlReindentInternal.h"

#include "text/JCode.h"

#include <algorithm>
#include <map>
#include <utility>

using namespace reindent_detail;

namespace reindent_detail {

// Japanese literals of the trace and marker lines, converted once to Shift_JIS.
const std::string& sj(const char* utf8)
{
    thread_local std::map<const char*, std::string> cache;
    auto it = cache.find(utf8);
    if (it == cache.end())
        it = cache.emplace(utf8, Utf8ToAnsi(utf8)).first;
    return it->second;
}

// Where a title's text that begins at from ends: at the first "</title" after it.
std::size_t titleTextEnd(std::string_view s, std::size_t from)
{
    for (std::size_t p = s.find("</", from); p != npos; p = s.find("</", p + 2))
        if (StartsWithNoCase(s.substr(p + 2), "title") && (p + 7 >= s.size() || endsTagName(s[p + 7])))
            return p;
    return npos;
}

// The page's tokens as a browser reads a title: its text runs to the first "</title", tags and
// comment marks included. Every pass reads the page through this one view, so a "<!--" or a
// tag over lines inside a title means the same to all of them.
std::vector<HtmlToken> scanPage(std::string_view s)
{
    std::vector<HtmlToken> toks = ScanHtml(s);
    if (std::none_of(toks.begin(), toks.end(), [](const HtmlToken& t) {
            return t.kind == HtmlToken::Kind::StartTag && t.name == "title";
        }))
        return toks;
    // Compacted in place: a title's text takes the room of the tokens it replaces (at least
    // one), so no token is copied on a page whose title holds no markup.
    std::size_t w = 0, r = 0;
    while (r < toks.size()) {
        if (w != r)
            toks[w] = std::move(toks[r]);
        const HtmlToken& t = toks[w];
        ++w;
        ++r;
        if (t.kind != HtmlToken::Kind::StartTag || t.name != "title" || s[t.end - 1] != '>')
            continue;
        const std::size_t e = titleTextEnd(s, t.end);
        if (e == npos)
            continue;
        const std::size_t textBegin = t.end;
        while (r < toks.size() && toks[r].begin < e)
            ++r;
        if (e > textBegin)
            toks[w++] = HtmlToken{HtmlToken::Kind::Text, textBegin, e, {}};
        if (r < toks.size() && toks[r].begin == e)
            continue;
        // a token of the scanner ran over the title's end: read the rest again from there
        std::vector<HtmlToken> rest = ScanHtml(s.substr(e));
        toks.resize(w);
        for (HtmlToken& x : rest) {
            x.begin += e;
            x.end += e;
            toks.push_back(std::move(x));
        }
        r = w;
    }
    toks.resize(w);
    return toks;
}

// True when the "<" at p lies inside a tag begun before it on the line ("<x<head>" and
// "<c<<head>" are one tag to a browser): between the nearest ">" before it and p stands a "<"
// that opens markup (a "<" followed by another "<" is text and opens nothing).
bool insideEarlierTag(std::string_view s, std::size_t p)
{
    for (std::size_t i = p; i > 0; --i) {
        const char c = s[i - 1];
        if (c == '>')
            return false;
        if (c == '<') {
            // as the scanner reads it: "</" opens an end tag only before a letter
            const char n = s[i];
            if ((n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z') || n == '!' || n == '?')
                return true;
            if (n == '/' && i + 1 < s.size() && ((s[i + 1] >= 'a' && s[i + 1] <= 'z') || (s[i + 1] >= 'A' && s[i + 1] <= 'Z')))
                return true;
        }
    }
    return false;
}

// A "<" that stood as text before a piece of markup taken out would open a new tag or comment
// when glued to what followed it ("<<html>!--" becomes "<!--"): it is written as "&lt;",
// which a browser shows alike.
bool opensMarkup(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Where the "<" that would open markup when text ending at b meets next, or npos: a "<" right
// before b, or a "</" before a letter ("</<head>a" becomes "</a" once the head tag is out).
std::size_t gluedOpener(std::string_view s, std::size_t b, char next)
{
    if (b >= 1 && s[b - 1] == '<' && opensMarkup(next))
        return b - 1;
    if (b >= 2 && s[b - 2] == '<' && s[b - 1] == '/' && isLetter(next))
        return b - 2;
    return npos;
}
void appendApart(std::string& out, std::string_view piece)
{
    if (!piece.empty()) {
        const std::size_t o = gluedOpener(out, out.size(), piece.front());
        if (o != npos)
            out.replace(o, 1, "&lt;");
    }
    out.append(piece);
}
// The same for a cut made in place at b.
void keepApart(std::string& s, std::size_t b)
{
    if (b < s.size()) {
        const std::size_t o = gluedOpener(s, b, s[b]);
        if (o != npos)
            s.replace(o, 1, "&lt;");
    }
}

// First "<name" (or "</name") in s whose name ends there: "<p" is not "<pre" or "<param", and
// a name inside another tag is no tag. The marker begins with "<", which never is a trail
// byte, so a byte search is safe.
std::size_t findTag(std::string_view s, std::string_view tag, std::size_t from)
{
    for (std::size_t p = s.find(tag, from); p != npos; p = s.find(tag, p + 1)) {
        const std::size_t e = p + tag.size();
        if ((e >= s.size() || endsTagName(s[e])) && !insideEarlierTag(s, p))
            return p;
    }
    return npos;
}

// Where the tag or declaration that begins at b ends, as the scanner reads it: a ">" inside a
// quoted value (<body title="a>b">) does not end a tag.
std::size_t markupEnd(std::string_view s, std::size_t b)
{
    if (b + 1 < s.size() && (s[b + 1] == '!' || s[b + 1] == '?')) {
        const std::size_t g = s.find('>', b + 2);
        return g == npos ? s.size() : g + 1;
    }
    return HtmlTagEnd(s, b);
}

std::string leadingBlanks(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return s.substr(0, i);
}

// --- protected content: raw elements, and comments and tags that span lines --------------

Ranges protectedRanges(const std::string& text, const std::vector<HtmlToken>& tokens, bool commentsToo)
{
    Ranges out;
    for (const HtmlToken& t : tokens) {
        if (t.end <= t.begin)
            continue;
        const std::string_view v(text.data() + t.begin, t.end - t.begin);
        const bool multi = v.find('\n') != std::string_view::npos;
        bool keep = t.kind == HtmlToken::Kind::Raw;
        if (t.kind == HtmlToken::Kind::Comment)
            keep = multi || commentsToo;
        if ((t.isTag() || t.kind == HtmlToken::Kind::Markup) && multi && !isDoctype(v))
            keep = true;
        if (keep)
            out.r.emplace_back(t.begin, t.end);
    }
    return out;
}

Ranges protectedRanges(const std::string& text, bool commentsToo)
{
    return protectedRanges(text, scanPage(text), commentsToo);
}

std::vector<LineSpan> splitSpans(const std::string& text)
{
    std::vector<LineSpan> spans;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t nl = text.find('\n', at);
        std::size_t next = nl == npos ? text.size() : nl + 1;
        std::size_t end = nl == npos ? text.size() : nl;
        if (end > at && text[end - 1] == '\r')
            --end;
        spans.push_back({at, end});
        at = next;
    }
    return spans;
}

// Runs of line breaks (with nothing but blanks between) become one line break.
std::string collapseBlankLines(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            out += kCrLf;
            std::size_t j = i + 2;
            for (;;) {
                std::size_t k = j;
                while (k < s.size() && (s[k] == ' ' || s[k] == '\t'))
                    ++k;
                if (k + 1 < s.size() && s[k] == '\r' && s[k + 1] == '\n')
                    j = k + 2;
                else
                    break;
            }
            i = j;
        } else {
            out += s[i++];
        }
    }
    return out;
}

} // namespace reindent_detail
