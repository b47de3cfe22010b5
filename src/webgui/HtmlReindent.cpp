#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiText.h"

#include "text/HtmlScan.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include "text/FileUtils.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

constexpr std::size_t npos = std::string::npos;
const std::string kCrLf = "\r\n";
const std::string kJoinOpen = "<!--";
const std::string kJoinClose = "    -->";
const std::string kMadeFromHead = "<!-- made from ";
const std::string kMadeFromTail = "\" by VORN-KYMBrowser -->";
const std::string kDocTypeTransitional =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">";
const std::string kBannerHash = " " + std::string(40, '#');

// Japanese literals of the trace and marker lines, converted once to Shift_JIS.
const std::string& sj(const char* utf8)
{
    thread_local std::map<const char*, std::string> cache;
    auto it = cache.find(utf8);
    if (it == cache.end())
        it = cache.emplace(utf8, Utf8ToAnsi(utf8)).first;
    return it->second;
}

// Views, so that the many tests against literals build no temporary strings.
bool contains(std::string_view s, std::string_view sub) { return s.find(sub) != npos; }
bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// Where a tag name ends, to the scanner and to a browser: at a blank, "/" or ">".
bool endsTagName(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/' || c == '>'; }

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ':' ||
           c == '_';
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

// Every "<" in a title's text written "&lt;", which a browser shows alike: the line rules and
// the passes around them then meet no tag or comment mark inside a title.
std::string escapeTitleText(const std::string& text)
{
    // Without a "<" between any "<title" and the title end after it there is nothing to write.
    bool any = false;
    for (std::size_t p = sjisFindNoCase(text, "<title"); p != npos && !any; p = sjisFindNoCase(text, "<title", p + 6)) {
        const std::size_t e = titleTextEnd(text, p + 6);
        any = e != npos && text.find('<', p + 1) < e;
    }
    if (!any)
        return text;
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(text)) {
        if (t.kind != HtmlToken::Kind::StartTag || t.name != "title" || text[t.end - 1] != '>')
            continue;
        const std::size_t e = titleTextEnd(text, t.end);
        if (e == npos)
            continue;
        out.append(text, at, t.end - at);
        for (std::size_t i = t.end; i < e; ++i) {
            if (text[i] == '<')
                out += "&lt;";
            else
                out += text[i];
        }
        at = e;
    }
    if (at == 0)
        return text;
    out.append(text, at, npos);
    return out;
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

// Every Left ... ">" taken out of S, as DeleteBetween does, but for a Left that lies inside
// another tag's text.
std::string deleteDeclarations(const std::string& S, const std::string& Left)
{
    std::string t = S;
    std::size_t from = 0;
    for (;;) {
        std::size_t l = sjisFind(t, Left, from);
        while (l != npos && insideEarlierTag(t, l))
            l = sjisFind(t, Left, l + 1);
        if (l == npos)
            break;
        const std::size_t r = sjisFind(t, ">", l + Left.size() - 1);
        if (r == npos)
            break;
        t.erase(l, r + 1 - l);
        keepApart(t, l);
        from = l >= Left.size() ? l - Left.size() + 1 : 0;
    }
    return t;
}

// First "<name" (or "</name") in s whose name ends there: "<p" is not "<pre" or "<param", and
// a name inside another tag is no tag. The marker begins with "<", which never is a trail
// byte, so a byte search is safe.
std::size_t findTag(std::string_view s, std::string_view tag, std::size_t from = 0)
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

struct Ranges {
    std::vector<std::pair<std::size_t, std::size_t>> r; // sorted, disjoint, [begin, end)
    bool intersects(std::size_t a, std::size_t b) const
    {
        if (a >= b)
            return false;
        auto it = std::upper_bound(r.begin(), r.end(), std::make_pair(a, npos));
        if (it != r.begin() && std::prev(it)->second > a)
            return true;
        return it != r.end() && it->first < b;
    }
    // True when p lies inside a range that began before it.
    bool continues(std::size_t p) const
    {
        auto it = std::upper_bound(r.begin(), r.end(), std::make_pair(p, npos));
        return it != r.begin() && std::prev(it)->first < p && std::prev(it)->second > p;
    }
};

bool isDoctype(std::string_view t) { return StartsWithNoCase(t, "<!doctype"); }

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

// Applies fn to every stretch of text outside the protected ranges.
// A line is protected when its text meets protected content; an empty line when its line
// break lies inside it (a blank line in a pre element).
bool spanProtected(const Ranges& r, std::size_t b, std::size_t e) { return b < e ? r.intersects(b, e) : r.intersects(b, b + 1); }

// The next occurrence of a pattern at or after a moving position, searched again only when the
// position passed it, so a loop over a long line stays linear.
struct NextFind {
    const std::string& w;
    std::string pat;
    std::size_t at = 0;
    bool known = false;
    std::size_t from(std::size_t p)
    {
        if (!known || (at != npos && at < p)) {
            at = w.find(pat, p);
            known = true;
        }
        return at;
    }
};

template <class Fn> std::string mapOutside(const std::string& text, const Ranges& ranges, Fn fn)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t at = 0;
    for (const auto& [b, e] : ranges.r) {
        if (b > at)
            out += fn(text.substr(at, b - at));
        out.append(text, b, e - b);
        at = e;
    }
    if (at < text.size())
        out += fn(text.substr(at));
    return out;
}

template <class Fn> std::string mapOutsideRaw(const std::string& text, bool commentsToo, Fn fn)
{
    return mapOutside(text, protectedRanges(text, commentsToo), fn);
}

struct LineSpan {
    std::size_t begin, end; // without the line break
};

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

template <class Lines> std::string joinLines(const Lines& lines)
{
    std::string out;
    std::size_t n = 0;
    for (const auto& l : lines)
        n += l.size() + 2;
    out.reserve(n);
    for (const auto& l : lines) {
        out += l;
        out += kCrLf;
    }
    return out;
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

// Removes the tags and comments whose text holds needle (lower case); text stays.
std::string removeMarkupContaining(const std::string& line, const std::string& needle)
{
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(line)) {
        if (!t.isMarkup())
            continue;
        if (LowerCase(line.substr(t.begin, t.end - t.begin)).find(needle) == npos)
            continue;
        appendApart(out, std::string_view(line).substr(at, t.begin - at));
        at = t.end;
    }
    appendApart(out, std::string_view(line).substr(at));
    return out;
}

// Escapes the "&" of a link tag that does not already begin a character reference.
std::string escapeBareAmpersands(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        std::size_t j = i + 1;
        if (j < s.size() && s[j] == '#')
            ++j;
        std::size_t k = j;
        while (k < s.size() && isNameChar(s[k]) && s[k] != '-' && s[k] != ':')
            ++k;
        if (k > j && k < s.size() && s[k] == ';')
            out += '&';
        else
            out += "&amp;";
    }
    return out;
}

// The comment that ends a run's joined line break: "<!--", blanks, one line break, blanks,
// "-->". Taking these out gives the lines as they were before the run.
bool isJoiner(std::string_view c)
{
    if (c.size() < 7 || c.substr(0, 4) != "<!--" || c.substr(c.size() - 3) != "-->")
        return false;
    const std::string_view mid = c.substr(4, c.size() - 7);
    int breaks = 0;
    for (char ch : mid) {
        if (ch == '\n')
            ++breaks;
        else if (ch != ' ' && ch != '\t' && ch != '\r')
            return false;
    }
    return breaks == 1;
}

// A quoted attribute value whose quote has no partner anywhere after it ends, to the scanner,
// where an unquoted one would (at a blank or ">"). Any quote written later (a title, a
// script's new type="...") would become its partner and move the tag's end over the page, so
// every pass would read that tag differently. The value is closed where the scanner ends it,
// once, before anything else reads the page. Only the last quote of each kind can be such a
// quote, so a page without one costs two searches.
std::string closeUnpairedQuotes(std::string text)
{
    for (int round = 0; round < 4; ++round) {
        bool changed = false;
        for (const char q : {'"', '\''}) {
            const std::size_t p = text.rfind(q);
            if (p == npos)
                continue;
            std::size_t k = p;
            while (k > 0 && (text[k - 1] == ' ' || text[k - 1] == '\t' || text[k - 1] == '\r' || text[k - 1] == '\n'))
                --k;
            if (k == 0 || text[k - 1] != '=')
                continue; // not the opening quote of a value
            for (const HtmlToken& t : scanPage(text)) {
                if (t.end <= p)
                    continue;
                if (t.begin > p || !t.isTag())
                    break;
                for (const HtmlAttr& a : ParseTagAttrs(std::string_view(text).substr(t.begin, t.end - t.begin)))
                    if (a.hasValue && a.quote == q && !a.closed && t.begin + a.valueBegin == p + 1) {
                        text.insert(t.begin + a.valueEnd, 1, q);
                        changed = true;
                    }
                break;
            }
        }
        if (!changed)
            break;
    }
    return text;
}

// True when some "<!--" is followed by blanks, one line break and blanks up to "-->": the
// text of a joiner, so only then is the page scanned for them.
bool mayHoldJoiners(const std::string& text)
{
    auto blanks = [&](std::size_t q) {
        while (q < text.size() && (text[q] == ' ' || text[q] == '\t' || text[q] == '\r'))
            ++q;
        return q;
    };
    for (std::size_t p = text.find("<!--"); p != npos; p = text.find("<!--", p + 4)) {
        std::size_t q = blanks(p + 4);
        if (q >= text.size() || text[q] != '\n')
            continue;
        q = blanks(q + 1);
        if (text.compare(q, 3, "-->") == 0)
            return true;
    }
    return false;
}

std::string removeJoiners(const std::string& text)
{
    if (!mayHoldJoiners(text))
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(text)) {
        if (t.kind != HtmlToken::Kind::Comment || !isJoiner(std::string_view(text).substr(t.begin, t.end - t.begin)))
            continue;
        std::size_t b = t.begin;
        // A joiner that had to start its own line after a tag (a table end) takes that line
        // break back with it.
        std::size_t k = b;
        while (k > at && (text[k - 1] == ' ' || text[k - 1] == '\t'))
            --k;
        if (k >= at + 2 && text[k - 1] == '\n' && text[k - 2] == '\r' && k >= 3 && text[k - 3] == '>' && k - 3 >= at)
            b = k - 2;
        // an author's empty comment of the same shape after a text "<" ("<<!--\n-->!--")
        // must not leave that "<" to open what follows
        appendApart(out, std::string_view(text).substr(at, b - at));
        at = t.end;
    }
    appendApart(out, std::string_view(text).substr(at));
    return out;
}

// Puts the structural tags (DOCTYPE, html, head, body, head end, title element) on lines of
// their own where they share a line with raw content, so the line rules meet them and the
// raw lines still go out byte for byte. Line breaks there are not rendered.
std::string isolateStructuralTags(const std::string& text, const std::vector<HtmlToken>& tokens, const Ranges& prot)
{
    if (prot.r.empty())
        return text;
    std::vector<std::size_t> cuts;
    auto lineOf = [&](std::size_t p, std::size_t& b, std::size_t& e) {
        b = text.rfind('\n', p == 0 ? 0 : p - 1);
        b = (b == npos || p == 0) ? 0 : b + 1;
        e = text.find('\n', p);
        e = e == npos ? text.size() : e;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const HtmlToken& t = tokens[i];
        std::size_t tb = t.begin, te = t.end;
        const bool structural =
            (t.kind == HtmlToken::Kind::StartTag && (t.name == "html" || t.name == "head" || t.name == "body" || t.name == "title")) ||
            (t.kind == HtmlToken::Kind::EndTag && t.name == "head") ||
            (t.kind == HtmlToken::Kind::Markup && isDoctype(std::string_view(text).substr(tb, te - tb)));
        if (!structural)
            continue;
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "title") {
            for (std::size_t j = i + 1; j < tokens.size(); ++j)
                if (tokens[j].kind == HtmlToken::Kind::EndTag && tokens[j].name == "title") {
                    te = tokens[j].end;
                    break;
                }
        }
        std::size_t lb, le;
        lineOf(tb, lb, le);
        std::size_t lb2, le2;
        lineOf(te == 0 ? 0 : te - 1, lb2, le2);
        if (!prot.intersects(lb, le) && !prot.intersects(lb2, le2))
            continue;
        if (Trim(text.substr(lb, tb - lb)) != "")
            cuts.push_back(tb);
        if (te < le2 && Trim(text.substr(te, le2 - te)) != "")
            cuts.push_back(te);
    }
    if (cuts.empty())
        return text;
    std::sort(cuts.begin(), cuts.end());
    // Blanks and control bytes beside a cut go, as the clean-up of a second run would take
    // them off the ends of these lines.
    auto loose = [&](std::size_t p) {
        const unsigned char c = static_cast<unsigned char>(text[p]);
        return c <= 32 && c != '\r' && c != '\n' && !prot.intersects(p, p + 1);
    };
    std::string out;
    std::size_t at = 0;
    for (std::size_t c : cuts) {
        if (c < at)
            continue;
        std::size_t e = c;
        while (e > at && loose(e - 1))
            --e;
        out.append(text, at, e - at);
        out += kCrLf;
        at = c;
        while (at < text.size() && loose(at))
            ++at;
    }
    out.append(text, at, npos);
    return out;
}

// Structural start tags spread over several lines are joined into one line, so that a rule
// finds them whole.
std::string joinStructuralTags(const std::string& text, const std::vector<HtmlToken>& tokens)
{
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : tokens) {
        const std::string_view v = std::string_view(text).substr(t.begin, t.end - t.begin);
        const bool structural =
            (t.kind == HtmlToken::Kind::StartTag &&
             (t.name == "html" || t.name == "head" || t.name == "body" || t.name == "title" || t.name == "meta" ||
              t.name == "link")) ||
            (t.kind == HtmlToken::Kind::EndTag && (t.name == "title" || t.name == "head")) ||
            (t.kind == HtmlToken::Kind::Markup && isDoctype(v));
        if (!structural || v.find('\n') == std::string_view::npos)
            continue;
        out.append(text, at, t.begin - at);
        bool blank = false;
        for (char c : v) {
            if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
                blank = true;
                continue;
            }
            if (blank)
                out += ' ';
            blank = false;
            out += c;
        }
        at = t.end;
    }
    if (at == 0)
        return text;
    out.append(text, at, npos);
    return out;
}

// Cuts given as offsets into W become pieces; cuts inside a tag or a comment are dropped, and
// so are cuts that would leave a piece empty.
std::vector<std::string> piecesFromCuts(const std::string& W, std::vector<std::size_t> cuts)
{
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    // No cut inside a tag, a comment, raw content or an inline frame (whose contents a
    // browser reads as text, so a comment there would show).
    std::vector<std::pair<std::size_t, std::size_t>> inside;
    std::size_t iframeAt = npos;
    for (const HtmlToken& t : scanPage(W)) {
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "iframe" && iframeAt == npos)
            iframeAt = t.begin;
        if (t.kind == HtmlToken::Kind::EndTag && t.name == "iframe" && iframeAt != npos) {
            inside.emplace_back(iframeAt, t.end);
            iframeAt = npos;
            continue;
        }
        if (iframeAt == npos && (t.isMarkup() || t.kind == HtmlToken::Kind::Raw))
            inside.emplace_back(t.begin, t.end);
    }
    if (iframeAt != npos)
        inside.emplace_back(iframeAt, W.size());
    std::vector<std::string> pieces;
    std::size_t at = 0;
    std::size_t k = 0;
    for (std::size_t c : cuts) {
        if (c <= at || c >= W.size())
            continue;
        while (k < inside.size() && inside[k].second <= c)
            ++k;
        if (k < inside.size() && inside[k].first < c)
            continue;
        pieces.push_back(W.substr(at, c - at));
        at = c;
    }
    pieces.push_back(W.substr(at));
    return pieces;
}

// Pieces written as lines whose breaks hide in comments: every line but the last ends in the
// opener, every line after the first begins with the indent and the closer.
void writeJoined(const std::vector<std::string>& pieces, const std::string& indent, std::vector<std::string>& lines)
{
    lines.clear();
    lines.reserve(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string l;
        l.reserve(indent.size() + kJoinClose.size() + pieces[i].size() + kJoinOpen.size());
        if (i > 0) {
            l += indent;
            l += kJoinClose;
        }
        l += pieces[i];
        if (i + 1 < pieces.size())
            l += kJoinOpen;
        lines.push_back(std::move(l));
    }
}

// Inside a comment kept within a line, "<" and ">" become marks so that no cut falls there.
std::string protectInlineComments(std::string W, const ReindentMarks& m)
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t a = W.find(m.cOpen, from);
        if (a == npos)
            break;
        const std::size_t z = W.find(m.cClose, a + m.cOpen.size());
        if (z == npos)
            break;
        std::string mid = W.substr(a + m.cOpen.size(), z - a - m.cOpen.size());
        mid = ReplaceAll(ReplaceAll(mid, "<", m.lt), ">", m.gt);
        W.replace(a + m.cOpen.size(), z - a - m.cOpen.size(), mid);
        from = a + m.cOpen.size() + mid.size() + m.cClose.size();
    }
    return W;
}

std::string removeValignDefault(const std::string& s) { return ReplaceAllIgnoreCase(s, " valign=\"default\"", ""); }

int splitCommon(bool paragraph, const std::string& Open, const std::string& Close, const std::string& Line,
                std::vector<std::string>& Lines, int MaxLen, const ReindentMarks& m)
{
    Lines.clear();
    if (static_cast<long long>(Line.size()) < MaxLen) {
        Lines.push_back(Line);
        return 1;
    }
    // "<br />" too in a paragraph: it is what "<br>" comes back as, so a second run cuts alike.
    std::string W = ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Line, "<br>", m.br), "<br />", m.br);
    W = protectInlineComments(W, m);
    const std::size_t op = findTag(W, Open);
    const std::size_t gt = op == npos ? npos : W.find('>', op);
    if (gt == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string indent = leadingBlanks(W);
    const std::size_t headLen = indent.size() + kJoinClose.size();
    const std::string endMark = paragraph ? "</p>" : Close;
    const std::string splitMark = paragraph ? "</p" : Close;
    std::vector<std::size_t> cuts{gt + 1};
    std::size_t p = gt + 1;
    bool toTail = false;
    NextFind img{W, "<img"}, endAt{W, endMark}, closeTag{W, "</"}, anyGt{W, ">"}, anyLt{W, "<"};
    while (anyGt.from(p) != npos) {
        const std::size_t before = p;
        if (img.from(p) != npos) {
            p = W.find('>', p) + 1;
            cuts.push_back(p);
        } else if (anyLt.from(p) != npos) {
            std::size_t e = npos;
            if (paragraph) {
                const std::size_t cl = closeTag.from(p);
                e = cl != npos ? W.find('>', cl) : W.find('>', p + 1);
            } else {
                const std::size_t f = W.find('>', p);
                e = f == npos ? npos : W.find('>', f + 2);
            }
            if (e != npos) {
                p = e + 1;
                cuts.push_back(p);
            }
            const std::size_t lt = anyLt.from(p);
            if (lt != npos) {
                const std::size_t c = endAt.from(p);
                if (c == npos || c - p < 15) {
                    toTail = true;
                    break;
                }
                const std::size_t g = W.find('>', lt);
                if (g == npos)
                    break;
                cuts.push_back(lt);
                p = g + 1;
                cuts.push_back(p);
            }
        }
        if (W.size() - p + headLen < static_cast<std::size_t>(std::max(MaxLen, 0)))
            break;
        if (p == before)
            break;
    }
    if (toTail) {
        const std::size_t c = W.find(splitMark, p);
        if (c != npos && c > p)
            cuts.push_back(c);
    }
    writeJoined(piecesFromCuts(W, cuts), indent, Lines);
    return static_cast<int>(Lines.size());
}

} // namespace

// --- marks -----------------------------------------------------------------------------

ReindentMarks ReindentMarks::forText(const std::string& Source)
{
    bool seen[256] = {};
    for (unsigned char c : Source)
        seen[c] = true;
    char lead = '\x01';
    for (int c = 1; c < 32; ++c) {
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (!seen[c]) {
            lead = static_cast<char>(c);
            break;
        }
    }
    ReindentMarks m;
    m.br = std::string(1, lead) + "b";
    m.cOpen = std::string(1, lead) + "o";
    m.cClose = std::string(1, lead) + "c";
    m.lt = std::string(1, lead) + "l";
    m.gt = std::string(1, lead) + "g";
    return m;
}

std::string ReindentMarks::restore(const std::string& S) const
{
    if (S.find(br[0]) == npos)
        return S;
    std::string out;
    out.reserve(S.size() + 16);
    for (std::size_t i = 0; i < S.size(); ++i) {
        if (S[i] == br[0] && i + 1 < S.size()) {
            const char k = S[i + 1];
            const char* to = nullptr;
            switch (k) {
            case 'b': to = "<br />"; break;
            case 'o': to = "<!--"; break;
            case 'c': to = "-->"; break;
            case 'l': to = "<"; break;
            case 'g': to = ">"; break;
            }
            if (to) {
                out += to;
                ++i;
                continue;
            }
        }
        out += S[i];
    }
    return out;
}

// --- splitters and fix-ups --------------------------------------------------------------

int SplitLongTagLine(const std::string& Open, const std::string& Close, const std::string& Line,
                     std::vector<std::string>& Lines, int MaxLen, const ReindentMarks& Marks)
{
    return splitCommon(false, Open, Close, Line, Lines, MaxLen, Marks);
}

int SplitLongParagraphLine(const std::string& Line, std::vector<std::string>& Lines, int MaxLen,
                           const ReindentMarks& Marks)
{
    return splitCommon(true, "<p", "</p", Line, Lines, MaxLen, Marks);
}

int TDinnerIndent(const std::string& Open, const std::string& Close, const std::string& Line,
                  std::vector<std::string>& Lines, int MaxLen, std::vector<std::string>* Trace,
                  const ReindentMarks& Marks)
{
    Lines.clear();
    // one string per trace line: a long cell gives many
    auto tr = [&](const char* label, std::string_view text) {
        if (!Trace)
            return;
        const std::string& lab = sj(label);
        std::string t;
        if (text.find(Marks.br[0]) != std::string_view::npos) {
            t = lab + "\t" + Marks.restore(std::string(text));
        } else {
            t.reserve(lab.size() + 1 + text.size());
            t += lab;
            t += '\t';
            t += text;
        }
        Trace->push_back(std::move(t));
    };
    if (static_cast<long long>(Line.size()) < MaxLen) {
        const std::string W = removeValignDefault(Line);
        const std::size_t a = W.find("<!--");
        if (a != npos && contains(W, "//") && a > 0) {
            Lines.push_back(W.substr(0, a));
            Lines.push_back(W.substr(a));
            tr("◎２", Lines[0]);
            tr("◎３", Lines[1]);
        } else {
            Lines.push_back(W);
            tr("◎１", W);
        }
        return static_cast<int>(Lines.size());
    }
    const std::size_t g1 = Line.find('>');
    if (findTag(Line, Open) == npos || g1 == npos || Line.find('>', g1 + 2) == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string W = protectInlineComments(removeValignDefault(Line), Marks);
    const std::size_t op = findTag(W, Open);
    const std::size_t gt = op == npos ? npos : W.find('>', op);
    if (gt == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string indent = leadingBlanks(W);
    const std::size_t headLen = indent.size() + kJoinClose.size();
    std::vector<std::size_t> cuts{gt + 1};
    tr("〓１", W.substr(0, gt + 1) + kJoinOpen);
    std::size_t p = gt + 1;
    const std::string_view Wv(W);
    auto piece = [&](std::size_t a, std::size_t b) { return Wv.substr(a, b - a); };
    // The trace shows where a rest begins, not all of it: a long line stays linear.
    auto restAt = [&](std::size_t a) { return Wv.substr(a, 80); };
    NextFind closeTag{W, "</"}, closeAt{W, Close}, anyLt{W, "<"}, anyGt{W, ">"};
    if (anyGt.from(p) != npos) {
        for (;;) {
            const std::size_t before = p;
            if (anyLt.from(p) != npos) {
                const std::size_t cl = closeTag.from(p);
                const std::size_t e = cl != npos ? W.find('>', cl) : W.find('>', p + 1);
                if (e != npos) {
                    const std::size_t pe = e + 1;
                    const std::size_t n = W.size() - pe;
                    const std::string_view pc = piece(p, pe);
                    bool cutBeforeImg = false;
                    if (n <= 10) {
                        const std::size_t img = pc.find("<img ");
                        const std::size_t a = pc.find("<a ");
                        if (img != npos && img > 0) {
                            cuts.push_back(p + img);
                            cuts.push_back(pe);
                            tr("☆１", pc.substr(0, img));
                            tr("☆２", pc.substr(img));
                            p = pe;
                        } else if (a != npos && a > 0) {
                            cuts.push_back(p + a);
                            cuts.push_back(pe);
                            tr("☆４", pc.substr(0, a));
                            tr("☆５", pc.substr(a));
                            p = pe;
                        }
                    } else if (n <= 16) {
                        const std::size_t img = pc.find("<img ");
                        if (img != npos && img > 0) {
                            cuts.push_back(p + img);
                            tr("◆１", pc.substr(0, img));
                            tr("◆２", pc.substr(img));
                        } else {
                            tr("●８", pc);
                        }
                        cuts.push_back(pe);
                        p = pe;
                    } else {
                        const std::size_t img = pc.size() > 10 ? pc.find("<img ", 10) : npos;
                        if (img != npos) {
                            cuts.push_back(p + img);
                            tr("●２", pc.substr(0, img));
                            tr("●３", pc.substr(img));
                            cutBeforeImg = true;
                        } else {
                            const std::size_t g = pc.find('>');
                            cuts.push_back(p + g + 1);
                            tr("●４", pc.substr(0, g + 1));
                            tr("●４", pc.substr(g + 1));
                        }
                        cuts.push_back(pe);
                        p = pe;
                        if (!cutBeforeImg && p < W.size() && W[p] != '<') {
                            const std::size_t lt = W.find('<', p);
                            if (lt != npos) {
                                tr("●８", piece(p, lt));
                                tr("●９", restAt(lt));
                                cuts.push_back(lt);
                                p = lt;
                            }
                        }
                    }
                }
            }
            if (anyLt.from(p) != npos) {
                const std::size_t c = closeAt.from(p);
                if (c == npos || c - p < 15) {
                    if (c != npos && c > p) {
                        cuts.push_back(c);
                        tr("▼６", piece(p, c));
                        tr("▼７", restAt(c));
                    } else if (c == p) {
                        tr("▼８", restAt(p));
                    } else {
                        std::size_t q = p;
                        for (;;) {
                            const std::size_t g = W.find('>', q);
                            if (W.size() - q < 30 || g == npos || g + 1 >= W.size())
                                break;
                            cuts.push_back(g + 1);
                            q = g + 1;
                            if (W.size() - q < 30)
                                tr("▽８", restAt(q));
                            else
                                tr("▽９", restAt(q));
                        }
                        tr("▽１０", restAt(q));
                    }
                    p = W.size();
                    break;
                }
                const std::size_t lt = W.find('<', p);
                const std::size_t g = W.find('>', lt);
                if (g == npos)
                    break;
                if (lt > p)
                    cuts.push_back(lt);
                cuts.push_back(g + 1);
                tr("■８", piece(lt, g + 1));
                p = g + 1;
            }
            if (headLen + (W.size() - p) < static_cast<std::size_t>(std::max(MaxLen, 0))) {
                tr("■９", restAt(p));
                break;
            }
            if (anyGt.from(p) == npos || p == before)
                break;
        }
    }
    writeJoined(piecesFromCuts(W, cuts), indent, Lines);
    return static_cast<int>(Lines.size());
}

namespace {
// The dashes of comment marks ("<!---", "--->") made a mark of their own, in comments and text
// only: inside a tag ("<p--->") they are part of its name or attributes, and a comment that
// would no longer end ("<!--->" made "<!-- ■ >") stays as written.
std::string markDashComments(const std::string& s)
{
    std::string out;
    for (const HtmlToken& t : scanPage(s)) {
        const std::string v = s.substr(t.begin, t.end - t.begin);
        if (t.kind != HtmlToken::Kind::Comment && t.kind != HtmlToken::Kind::Text) {
            out += v;
            continue;
        }
        std::string m = ReplaceAll(v, "<!---", "<!-- " + sj("■") + " ");
        m = ReplaceAll(m, "--->", " " + sj("■") + " -->");
        const bool closed = v.size() >= 5 && v.compare(v.size() - 3, 3, "-->") == 0;
        if (t.kind == HtmlToken::Kind::Comment && closed && m.compare(m.size() - 3, 3, "-->") != 0)
            m = v;
        out += m;
    }
    return out;
}
} // namespace

std::string FixImgAndLinkTags(const std::string& Line, int Mode, const ReindentMarks& Marks)
{
    if (Mode == 0)
        return Line;
    std::string s = Line;
    if (contains(s, "<img ") && !contains(s, "alt=\"")) {
        s = ReplaceAllIgnoreCase(s, "<br />", Marks.br);
        const std::size_t img = s.find("<img ");
        const std::size_t end = s.find('>', img);
        const std::size_t sl = s.find(" />", img);
        if (sl != npos && end != npos && sl + 2 == end)
            s.replace(sl, 3, " alt=\"" + sj("■■■") + "\" />");
    }
    for (std::size_t a = s.find("<a "); a != npos; a = s.find("<a ", a + 3)) {
        const std::size_t g = s.find('>', a);
        if (g == npos)
            break;
        const std::string attrs = s.substr(a + 3, g - a - 3);
        if (!contains(attrs, "&"))
            continue;
        const std::string fixed = escapeBareAmpersands(attrs);
        s.replace(a + 3, g - a - 3, fixed);
    }
    s = ReplaceAll(ReplaceAll(s, Marks.lt, "<"), Marks.gt, ">");
    if (contains(s, "<!---") || contains(s, "--->"))
        s = markDashComments(s);
    return s;
}

int ExtractCommentBlocks(std::string& Line, std::vector<std::string>& Blocks)
{
    Blocks.clear();
    if (Line.find("<!--") == npos)
        return 0; // every comment begins so
    std::string rest;
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(Line)) {
        if (t.kind != HtmlToken::Kind::Comment)
            continue;
        Blocks.push_back(Line.substr(t.begin, t.end - t.begin));
        appendApart(rest, std::string_view(Line).substr(at, t.begin - at));
        at = t.end;
    }
    if (Blocks.empty())
        return 0;
    appendApart(rest, std::string_view(Line).substr(at));
    Line = rest;
    return static_cast<int>(Blocks.size());
}

// --- the re-indenter --------------------------------------------------------------------

namespace {

class Reindenter {
public:
    Reindenter(const ReindentOptions& o, const ReindentInputs& in) : opt(o), in(in) {}
    // joinText: also join the lines into Text (the pipeline makes its own text instead)
    ReindentResult run(const std::string& Source, bool joinText = true);

private:
    const ReindentOptions& opt;
    const ReindentInputs& in;
    ReindentResult res;
    ReindentMarks marks;

    // per-run state
    bool xhtml = false, doctypeSeen = false, inTitle = false, titleWritten = false, bodyStarted = false;
    bool bodyTagWritten = false, headItemSeen = false, metaSeen = false, afterMeta = false, inScript = false;
    bool bareScriptOpen = false, lineCommentOpen = false, commentPending = false, hasHeadEnd = false;
    bool traceOn = false;
    bool framesetPage = false; // a frameset and no body start tag: no body tag is written
    bool hasTitleEnd = false; // the first title element is closed somewhere
    std::size_t lastTitleEnd = 0; // offset of the last title end tag in the work text (0: none)
    std::size_t curLineEnd = 0;   // offset where the line being worked on ends
    bool writingRaw = false;  // the line being written is raw content
    // The line begins where a raw element's content runs up to it ("</style><script>"): a line
    // written before its first piece would land inside that element, where a second run keeps it
    // as the element's text and writes another.
    bool lineInRaw = false;
    std::size_t linkPos = 0;
    int lineNo = 0, traceNo = 0;
    std::string leadText, divPrefix, pendingDoctype;
    // As after an unindented tag line: the first line then indents as it would behind the
    // prolog lines a rebuilt page starts with, so a second run indents alike.
    std::string indentSpaces = " ";
    std::vector<std::string> blocks, elementLines, cutTrace;

    enum Ch { O = 1, R = 2, S = 4, T = 8, ORT = O | R | T, ORST = O | R | S | T };

    void write(const std::string& line, const char* label, int ch, const std::string* traceText = nullptr)
    {
        const bool marked = line.find(marks.br[0]) != npos;
        std::string restored;
        if (marked)
            restored = marks.restore(line);
        const std::string_view l = marked ? std::string_view(restored) : std::string_view(line);
        if (ch & T) {
            if (traceText)
                res.T.push_back(sj(label), "\t", marks.restore(*traceText));
            else
                res.T.push_back(sj(label), "\t", l);
        }
        if (ch & S)
            res.S.push_back(l);
        if (ch & (O | R)) {
            res.R.push_back(l);
            res.RRaw.push_back(writingRaw ? 1 : 0);
            rememberIndent(l);
        }
        lineInRaw = false;
    }
    // The indent a later line takes is that of the last line written long enough to show one,
    // as a second run reads the result: each written line a line of its own, raw content with
    // its blanks and the rest trimmed. A shorter line keeps the one before, so the same text
    // indents the same way whatever short line a run left above it.
    void rememberIndent(std::string_view l)
    {
        if (!writingRaw) {
            std::size_t b = 0, e = l.size();
            while (b < e && static_cast<unsigned char>(l[b]) <= 32)
                ++b;
            while (e > b && static_cast<unsigned char>(l[e - 1]) <= 32)
                --e;
            l = l.substr(b, e - b);
        }
        if (contains(l, "<!--") && contains(l, "-->"))
            return;
        std::size_t i = 0;
        while (i + 2 < l.size() && l[i] == ' ')
            ++i;
        if (i + 2 < l.size())
            indentSpaces.assign(i + 1, ' ');
    }
    void writeTitle(const char* label, const std::string* traceText = nullptr)
    {
        if (titleWritten || lineInRaw)
            return;
        write("<title>" + res.Title + "</title>", label, ORT, traceText);
        titleWritten = true;
    }
    void writeBodyTag(const char* label, const std::string& prefix)
    {
        if (bodyTagWritten)
            return;
        // A browser shows a frameset only where no body begins before it.
        if (!framesetPage)
            write(prefix + res.BodyTag, label, ORT);
        bodyTagWritten = true;
        bodyStarted = true; // as a second run will find it: the body begins at its tag
    }

    std::string prolog(std::string work);
    void processLine(std::string line, const std::string& rawLine);
    void tail();
    void flushIndentLines();
};

std::string tagText(const std::string& text, const HtmlToken& t) { return text.substr(t.begin, t.end - t.begin); }

// "<name" lower-cased, the rest of the tag as written, line breaks inside made blanks.
std::string lowerTagName(std::string tag, std::size_t nameLen)
{
    for (std::size_t i = 1; i <= nameLen && i < tag.size(); ++i)
        tag[i] = asciiLower(tag[i]);
    std::string out;
    for (char c : tag)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

std::string Reindenter::prolog(std::string work)
{
    auto tokens = scanPage(work);
    auto removeTokens = [&](auto pred) {
        std::string out;
        std::size_t at = 0;
        auto loose = [&](std::size_t p) {
            const unsigned char c = static_cast<unsigned char>(work[p]);
            return c <= 32 && c != '\r' && c != '\n';
        };
        for (const HtmlToken& t : scanPage(work)) {
            if (!pred(t))
                continue;
            // blanks and control bytes left at a line's end or start go, as a second run's
            // clean-up would take them off
            std::size_t b = t.begin, e = t.end;
            std::size_t k = e;
            while (k < work.size() && loose(k))
                ++k;
            std::size_t j = b;
            while (j > at && loose(j - 1))
                --j;
            if (k == work.size() || work[k] == '\r' || work[k] == '\n')
                b = j;
            if (j == 0 || work[j - 1] == '\n')
                e = k;
            appendApart(out, std::string_view(work).substr(at, b - at));
            at = e;
        }
        appendApart(out, std::string_view(work).substr(at));
        work = out;
    };
    // XML declaration
    for (const HtmlToken& t : tokens) {
        const std::string x = tagText(work, t);
        // only a complete declaration: an unclosed one would take the page with it
        if (t.kind == HtmlToken::Kind::Markup && StartsWithNoCase(x, "<?xml") && x.size() >= 7 &&
            x.compare(x.size() - 2, 2, "?>") == 0 && x.find('\n') == npos) {
            write(tagText(work, t), "○１", O | R);
            const std::size_t b = t.begin;
            removeTokens([b](const HtmlToken& x) { return x.begin == b; });
            break;
        }
    }
    // DOCTYPE: kept in the text; the line rules take it out of its line
    for (const HtmlToken& t : scanPage(work)) {
        if (t.kind == HtmlToken::Kind::Markup && isDoctype(tagText(work, t))) {
            const std::string d = tagText(work, t);
            if (UpperCase(d).find("XHTML") != npos)
                xhtml = true;
            write(contains(d, "http:") ? d : kDocTypeTransitional, "○１", O | R);
            break;
        }
    }
    // html start tag
    write(in.HtmlStartTag == "<html>" || in.HtmlStartTag.empty() ? "<html lang=\"ja\">" : in.HtmlStartTag, "○１",
          O | R);
    // Name of the signature: the saved-from comment, an earlier signature, the URL, the file
    std::string name;
    std::string signatureName;
    bool hadSignature = false;
    for (const HtmlToken& t : scanPage(work)) {
        if (t.kind != HtmlToken::Kind::Comment)
            continue;
        const std::string c = tagText(work, t);
        if (name.empty() && startsWith(c, "<!-- saved from ")) {
            const std::string v = TextBetween(c, "<!-- saved from ", "-->");
            const std::size_t q1 = v.find('"');
            const std::size_t q2 = q1 == npos ? npos : v.find('"', q1 + 1);
            name = q2 == npos ? "" : v.substr(q1 + 1, q2 - q1 - 1);
        }
        if (startsWith(c, kMadeFromHead) && !hadSignature) {
            hadSignature = true;
            signatureName = TextBetween(c, kMadeFromHead + "\"", kMadeFromTail);
        }
    }
    removeTokens([&](const HtmlToken& t) {
        if (t.kind != HtmlToken::Kind::Comment)
            return false;
        const std::string c = tagText(work, t);
        // one left open runs to the page's end: taking it out would take the page with it
        return (startsWith(c, "<!-- saved from ") || startsWith(c, kMadeFromHead)) && c.size() >= 7 &&
               c.compare(c.size() - 3, 3, "-->") == 0;
    });
    if (name.empty())
        name = signatureName;
    if (name.empty())
        name = in.EditorUrl;
    if (name.empty()) {
        const std::size_t s = in.LocalFile.find_last_of("\\:/");
        name = s == npos ? in.LocalFile : in.LocalFile.substr(s + 1);
    }
    // A name never closes the comment that holds it.
    while (contains(name, "--"))
        name = ReplaceAll(name, "--", "- -");
    // head start tag, attributes kept
    for (const HtmlToken& t : scanPage(work)) {
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "head") {
            write(kMadeFromHead + "\"" + name + kMadeFromTail, "○１", O | R);
            write(lowerTagName(tagText(work, t), 4), "○１", O | R);
            removeTokens([](const HtmlToken& x) { return x.kind == HtmlToken::Kind::StartTag && x.name == "head"; });
            break;
        }
    }
    work = mapOutsideRaw(work, false, [&](const std::string& seg) {
        std::string s = ReplaceAllIgnoreCase(seg, "<IFRAME", "<iframe");
        return ReplaceAllIgnoreCase(s, "</IFRAME>", "</iframe>");
    });
    return work;
}

ReindentResult Reindenter::run(const std::string& Source, bool joinText)
{
    marks = ReindentMarks::forText(Source + in.HtmlStartTag + in.EditorTitle + in.EditorUrl + in.LocalFile);
    const std::string closed = escapeTitleText(closeUnpairedQuotes(Source));
    std::vector<HtmlToken> toks = scanPage(closed);
    std::string work = joinStructuralTags(closed, toks);
    if (work.size() != closed.size() || work != closed)
        toks = scanPage(work);

    // Title and body tag come from this run's own texts.
    {
        for (std::size_t i = 0; i < toks.size(); ++i) {
            if (toks[i].kind == HtmlToken::Kind::StartTag && toks[i].name == "title") {
                std::size_t e = npos;
                for (std::size_t j = i + 1; j < toks.size(); ++j)
                    if (toks[j].kind == HtmlToken::Kind::EndTag && toks[j].name == "title") {
                        e = toks[j].begin;
                        break;
                    }
                if (e == npos)
                    break; // a title that never ends names nothing
                // Its text ends at the first end tag, as a browser reads it and the line rules
                // take it, even where the scanner sees a comment around that tag.
                for (std::size_t p = work.find("</", toks[i].end); p != npos && p < e; p = work.find("</", p + 2))
                    if (StartsWithNoCase(std::string_view(work).substr(p, 7), "</title") &&
                        (p + 7 >= work.size() || endsTagName(work[p + 7]))) {
                        e = p;
                        break;
                    }
                hasTitleEnd = true;
                std::string t = work.substr(toks[i].end, e - toks[i].end);
                t = ReplaceAll(ReplaceAll(t, "\r", ""), "\n", "");
                res.Title = Trim(t);
                break;
            }
        }
        if (res.Title.empty())
            res.Title = in.EditorTitle;
        // A browser reads a title's text up to its end tag, tags and comment marks included;
        // written as "&lt;", which it shows alike, they are no markup to a second run either.
        if (res.Title.find('<') != npos)
            res.Title = ReplaceAll(res.Title, "<", "&lt;");
        const std::string& bodySrc = in.LocalPageSource.empty() ? work : in.LocalPageSource;
        res.BodyTag = "<body>";
        const std::vector<HtmlToken> localToks = in.LocalPageSource.empty() ? std::vector<HtmlToken>{} : scanPage(bodySrc);
        for (const HtmlToken& t : in.LocalPageSource.empty() ? toks : localToks)
            if (t.kind == HtmlToken::Kind::StartTag && t.name == "body") {
                res.BodyTag = lowerTagName(tagText(bodySrc, t), 4);
                break;
            }
        bool bodyTag = false, frameset = false;
        for (const HtmlToken& t : toks) {
            bodyTag = bodyTag || (t.kind == HtmlToken::Kind::StartTag && t.name == "body");
            frameset = frameset || (t.kind == HtmlToken::Kind::StartTag && t.name == "frameset");
        }
        framesetPage = frameset && !bodyTag;
        for (const HtmlToken& t : toks)
            if (t.kind == HtmlToken::Kind::Markup && isDoctype(tagText(work, t)) &&
                UpperCase(tagText(work, t)).find("XHTML") != npos)
                xhtml = true;
    }

    if (opt.PrologMode == 1) {
        work = prolog(work);
        toks = scanPage(work);
    }
    Ranges prot = protectedRanges(work, toks, false);
    {
        std::string isolated = isolateStructuralTags(work, toks, prot);
        if (isolated.size() != work.size()) {
            work = std::move(isolated);
            toks = scanPage(work);
            prot = protectedRanges(work, toks, false);
        }
    }
    for (const HtmlToken& t : toks)
        if (t.kind == HtmlToken::Kind::EndTag && t.name == "title")
            lastTitleEnd = t.begin;
    // The tokens take several times the page's size; the line loop needs only the ranges.
    std::vector<HtmlToken>().swap(toks);
    // The head's end as the line rules will find it (outside raw content).
    hasHeadEnd = false;
    for (std::size_t p = PosText("</head", work) ? static_cast<std::size_t>(PosText("</head", work) - 1) : npos; p != npos;) {
        const std::size_t e = p + 6;
        if (!prot.intersects(p, e) && (e >= work.size() || endsTagName(work[e]))) {
            hasHeadEnd = true;
            break;
        }
        const int next = PosText("</head", work.substr(e));
        p = next > 0 ? e + static_cast<std::size_t>(next - 1) : npos;
    }
    for (const LineSpan& sp : splitSpans(work)) {
        const std::string line = work.substr(sp.begin, sp.end - sp.begin);
        curLineEnd = sp.end;
        lineInRaw = sp.begin > 0 && prot.intersects(sp.begin - 1, sp.begin);
        // Lines inside a title that spans lines are its text, whatever tags they hold: the
        // title rule takes them (a "<pre>" there opens no raw content to the title).
        if (spanProtected(prot, sp.begin, sp.end) && !inTitle) {
            // raw content goes out as it stands
            const std::string low = LowerCase(line);
            // (not inside a tag or comment begun on an earlier line: "<d\r\n<script>" is one tag,
            // which a line put between would end)
            if (!titleWritten && findTag(low, "<script") != npos && !prot.continues(sp.begin)) {
                writeTitle("□３", &line);
                writingRaw = true;
                write(line, "○１", O | R | S);
                writingRaw = false;
            } else {
                writingRaw = true;
                write(line, "○１", ORST);
                writingRaw = false;
            }
            if (findTag(low, "<script") != npos && !bodyStarted)
                headItemSeen = true;
            if (contains(line, "</script") || contains(line, "</noscript"))
                inScript = false;
            tail();
            continue;
        }
        processLine(line, line);
        tail();
    }
    if (joinText)
        res.Text = joinLines(res.R);
    return std::move(res);
}

void Reindenter::processLine(std::string line, const std::string& rawLine)
{
    (void)rawLine;
    std::string lower;
    std::string trimLower;
    auto recompute = [&] {
        lower = LowerCase(line);
        trimLower = Trim(lower);
    };
    // Takes [b, e) out of the line; true when nothing is left to work on.
    auto takeOut = [&](std::size_t b, std::size_t e) {
        line.erase(b, e - b);
        keepApart(line, b);
        // the line now starts and ends where the cleaned source would
        if (b >= line.size())
            line = TrimRight(line);
        if (b == 0)
            line = TrimLeft(line);
        recompute();
        return trimLower.empty();
    };
    auto tagEnd = [&](std::size_t b) { return markupEnd(line, b); };

    // Lines inside a title that spans lines are its text, whatever they hold; the line of its
    // end keeps what follows the end tag.
    if (inTitle) {
        const std::size_t e = findTag(LowerCase(line), "</title");
        if (e == npos)
            return;
        inTitle = false;
        if (!hasHeadEnd)
            writeTitle("◆２");
        recompute();
        if (takeOut(0, tagEnd(e)))
            return;
    }
    // 1. mirroring marks
    if (contains(line, "HTTrack")) {
        line = Trim(removeMarkupContaining(line, "httrack"));
        if (Trim(line).empty())
            return;
    }
    recompute();
    // 2.
    if (trimLower.empty())
        return;
    // The marker comment a run writes before a script it rewrites stands, to a second run, where
    // that script stood: the title goes before it as it did before the script.
    const bool scriptMarker = startsWith(trimLower, "<!-- ") &&
                              (startsWith(trimLower, "<!-- " + sj("▼▼") + " <script> ") ||
                               startsWith(trimLower, "<!-- " + sj("■■") + " <script language="));
    // 3. comment-like body lines (not one holding a title start tag: written as it stands, it
    // would take the title line a run writes later as its end)
    if (bodyStarted && trimLower.size() > 10 &&
        (contains(trimLower, "<!--") || trimLower.front() == '-' || trimLower.back() == '-' || trimLower[2] == '-') &&
        findTag(lower, "<title") == npos) {
        if (scriptMarker)
            writeTitle("□３");
        if (startsWith(line, "<a "))
            write("    " + line, "○２", ORT);
        else
            write(line, "○１", ORT);
        return;
    }
    // 4. second line of a DOCTYPE
    if (startsWith(trimLower, "\"http://www.w3.org/tr/") && contains(trimLower, ".dtd\">")) {
        if (opt.PrologMode != 1)
            write(line, "○１", ORST);
        return;
    }
    // 5. the DOCTYPE: written as it stands, or (prolog rebuilt) taken out; a "<!doc" inside
    // another tag's text is no declaration
    auto findDoctype = [&] {
        std::size_t d = lower.find("<!doc");
        while (d != npos && insideEarlierTag(lower, d))
            d = lower.find("<!doc", d + 1);
        return d;
    };
    if (!doctypeSeen) {
        const std::size_t d = findDoctype();
        if (d != npos) {
            doctypeSeen = true;
            const std::size_t e = tagEnd(d);
            if (opt.PrologMode != 1)
                write(line.substr(d, e - d), "○１", ORST);
            if (takeOut(d, e))
                return;
        }
    }
    // 6. later DOCTYPEs
    if (findDoctype() != npos) {
        // the line's ends as a second run's clean-up leaves them
        line = Trim(deleteDeclarations(deleteDeclarations(line, "<!DOC"), "<!doc"));
        recompute();
        if (trimLower.empty())
            return;
    }
    // 7., 8. html and head start tags: written where they stand (the rebuilt prolog wrote its own)
    for (const char* tag : {"<html", "<head"}) {
        for (std::size_t h = findTag(lower, tag); h != npos; h = findTag(lower, tag)) {
            const std::size_t e = tagEnd(h);
            if (opt.PrologMode != 1)
                write(lowerTagName(line.substr(h, e - h), 4), "○１", ORST);
            if (takeOut(h, e))
                return;
        }
    }
    // 9. title elements: taken out (every one on the line); the title line is written where
    // the head rules place it
    if (inTitle && findTag(lower, "</title") == npos)
        return;
    for (;;) {
        const std::size_t t = findTag(lower, "<title");
        const std::size_t e = findTag(lower, "</title");
        if (t == npos && e == npos)
            break;
        bool empty = false;
        if (e != npos && (t == npos || e < t)) {
            // the end of a title over lines takes its text with it; a stray end tag only itself
            empty = takeOut(inTitle ? 0 : e, tagEnd(e));
            inTitle = false;
            if (!hasHeadEnd)
                writeTitle("◆２");
        } else if (e != npos) {
            empty = takeOut(t, tagEnd(e));
            if (!hasHeadEnd)
                writeTitle("◆２");
        } else if (lastTitleEnd > curLineEnd) {
            inTitle = true;
            empty = takeOut(t, line.size());
        } else {
            // no end follows: only the start tag leaves, nothing after it is swallowed
            empty = takeOut(t, tagEnd(t));
        }
        if (empty)
            return;
    }
    // 10. editor marks of websphere pages
    if (opt.PrologMode == 1 && contains(lower, "websphere")) {
        line = Trim(removeMarkupContaining(line, "websphere"));
        recompute();
        if (trimLower.empty())
            return;
    }
    // 11. link lines
    {
        const std::size_t l = findTag(lower, "<link");
        if (l != npos) {
            writeTitle("◆１");
            linkPos = l + 1;
            headItemSeen = true;
            write(line, "□２", ORT);
            return;
        }
    }
    const bool scriptLine = findTag(lower, "<script") != npos || scriptMarker;
    // 12., 13.
    if (scriptLine && !titleWritten)
        writeTitle("□３", &line);
    if (scriptLine && !bodyStarted)
        headItemSeen = true;
    // 14. one-line style element
    if (findTag(lower, "<style") != npos && findTag(lower, "</style") != npos) {
        write(line, "□４", ORT);
        return;
    }
    // 15. body start tag: written once (after the head end, else here); the rest goes on
    {
        const std::size_t b = findTag(lower, "<body");
        if (b != npos) {
            const std::size_t e = tagEnd(b);
            // the pieces start and end where the cleaned source of a second run would
            const std::string before = TrimRight(line.substr(0, b));
            const std::string after = TrimLeft(line.substr(e));
            if (Trim(before) != "")
                processLine(before, before);
            writeBodyTag("□６", " ");
            bodyStarted = true;
            // the rest goes through every rule, as it will when a second run finds it on a
            // line of its own (a second body tag or head end in it included)
            if (!Trim(after).empty())
                processLine(after, after);
            return;
        }
    }
    // 16. end of the head
    {
        const std::size_t h = findTag(lower, "</head");
        if (h != npos) {
            const std::string before = TrimRight(line.substr(0, h));
            const std::string after = TrimLeft(line.substr(tagEnd(h)));
            if (Trim(before) != "")
                processLine(before, before);
            writeTitle("◆２");
            write("</head>", "□４", ORT);
            writeBodyTag("□６", " ");
            if (!Trim(after).empty())
                processLine(after, after);
            return;
        }
    }
    // 17. the empty-list marker stays as written
    if (contains(lower, "<ul>&nbsp;</ul>")) {
        write(line, "□６", ORT);
        return;
    }
    // 18.
    std::string trimmed = Trim(line);
    if (trimmed.empty())
        return;
    // 19.
    if (xhtml)
        line = ReplaceAllIgnoreCase(line, "shape=\"RECT\"", "shape=\"rect\"");
    // 20. comment state (a "-->" here closes nothing: comments that span lines never reach
    // the rules, so no bar is written into text)
    {
        const std::size_t a = trimmed.find("<!--");
        const std::size_t z = trimmed.find("-->");
        if (a == 0)
            lineCommentOpen = z == npos;
        else if (a == npos && z != npos)
            lineCommentOpen = false;
    }
    // 21. comment lines
    const std::size_t p1 = line.find("<!--");
    const std::size_t p2 = line.find("-->");
    if (p1 == 0 && p2 == npos && bodyStarted) {
        std::string out = line;
        if (opt.CommentBar == 1) {
            ++lineNo;
            out = Trim(line) + kBannerHash + "   ( " + std::to_string(lineNo) + " )";
        }
        traceOn = true;
        write(out, "※１", ORST);
        commentPending = true;
        return;
    }
    if (p1 == npos && p2 != npos && bodyStarted) {
        write(line, "※２", ORST);
        commentPending = false;
        return;
    }
    if (p1 != npos && p2 != npos && PosEx(sj("●"), line) > 0 && PosEx(sj("■"), line) > 0) {
        const std::size_t z = line.find("-->", p1 + 4);
        if (z != npos) {
            write("<!-- " + Trim(line.substr(p1 + 4, z - p1 - 4)) + " -->", "※３", ORST);
            line.erase(p1, z + 3 - p1);
            recompute();
            if (trimLower.empty())
                return;
        }
    }
    // 22. comments taken out; the tail writes them after the line
    const std::string lead = leadingBlanks(line);
    const bool commentsOut = ExtractCommentBlocks(line, blocks) > 0;
    if (commentsOut) {
        // what is left starts and ends where the cleaned source of a second run would: blanks
        // that followed a comment at the line's start are no indent
        line = lead + Trim(line);
    }
    // the lower-cased line is still current unless a step above changed the line
    const std::string TL = commentsOut || xhtml ? LowerCase(Trim(line)) : trimLower;
    const bool noscriptEnd = contains(line, "</noscript>");
    // 23.
    if (bareScriptOpen && noscriptEnd) {
        write(line, "▲３", ORST);
        bareScriptOpen = false;
        return;
    }
    // 24. a bare script start in the body
    if (TL == "<script>" && bodyStarted) {
        write("<!-- " + sj("▼▼") + " <script> " + sj("▲▲") + " -->", "▲３", ORT);
        write("<script type=\"text/javascript\">", "▲４", ORST);
        bareScriptOpen = true;
        return;
    }
    // 25. old-style script start with its comment on the same line
    if (contains(TL, "<script") && contains(TL, "language=\"javascript\">") && contains(TL, "<!--") &&
        !contains(TL, "src=")) {
        const std::size_t s = LowerCase(line).find("<script");
        if (s > 0 && Trim(line.substr(0, s)) != "")
            write(line.substr(0, s), "●９", ORST);
        write("<!-- " + sj("■■") + " <script language=\"JavaScript\"> " + sj("●●") + " -->", "■１", ORT);
        write("<script type=\"text/javascript\">", "■２", ORST);
        write("<!-- //", "■３", ORST);
        return;
    }
    // 26. a comment left open with "//"
    {
        const std::size_t q1 = line.find("<!--");
        const std::size_t q2 = line.find("//");
        if (q1 != npos && q2 != npos)
            commentPending = true;
        if (q2 != npos && p2 != npos)
            commentPending = false;
    }
    // 27.
    if (commentPending) {
        const std::size_t r1 = line.find("<!--");
        const std::size_t r2 = line.find("//");
        if (r1 != npos && r2 != npos) {
            write(line.substr(0, r1), "□５", ORST);
            write(line.substr(r1), "□６", ORT);
        } else {
            write(leadingBlanks(leadText) + line, "□７", ORST);
        }
        return;
    }
    // 28. meta lines and the title (prolog rebuilt)
    {
        const std::size_t m = TL.find("<meta");
        if (m == npos && linkPos != 0)
            headItemSeen = true;
        if (opt.PrologMode == 1) {
            if (m != npos && !metaSeen)
                metaSeen = true;
            else if (m == npos && metaSeen)
                afterMeta = true;
            if (afterMeta && headItemSeen) {
                writeTitle("◆１");
                metaSeen = afterMeta = false;
            }
        }
    }
    // 29.
    // (The html start tag and the DOCTYPE have left their lines by now: a line that still
    // begins so holds another name, "<htmle>", or an open declaration, which the conversion
    // would replace whole.)
    if (opt.PrologMode == 1 && !StartsWithNoCase(line, "<html") && !StartsWithNoCase(line, "<!doctype"))
        line = ToXhtml(line);
    // 30. comment marks left in the line become marks
    if ((contains(line, "<!--") || contains(line, marks.cOpen)) && contains(line, "-->")) {
        line = ReplaceAll(line, "<!--", marks.cOpen);
        line = ReplaceAll(line, "-->", marks.cClose);
    }
    // 31.
    if (line.empty())
        return;
    // 32.
    if (opt.CellMode == 0) {
        write(line, "○１", ORST);
        return;
    }
    if (opt.CellMode != 1)
        return;
    // 33. element lines
    if (!inScript) {
        const std::string tr = Trim(line);
        int n = -1;
        elementLines.clear();
        struct Row {
            const char* open;
            const char* close;
            bool onTrimmed;
        };
        static const Row cells[] = {{"<td", "</td", false},       {"<p", nullptr, false},  {"<dd", "</dd", false},
                                    {"<div", "</div", false},     {"<noscript", "</noscript", false},
                                    {"<li", "</li", true},        {"<hr", "</hr", true},   {"<h1", "</h1", true},
                                    {"<h2", "</h2", true},        {"<h3", "</h3", true}};
        for (const Row& r : cells) {
            if (findTag(r.onTrimmed ? tr : line, r.open) == npos)
                continue;
            if (!r.close)
                n = SplitLongParagraphLine(line, elementLines, opt.MaxLen, marks);
            else
            {
                cutTrace.clear();
                n = TDinnerIndent(r.open, r.close, line, elementLines, opt.MaxLen, &cutTrace, marks);
                for (const std::string& t : cutTrace)
                    res.T.push_back(t);
            }
            break;
        }
        if (n < 0) {
            for (const char* open : {"</table>", "</div", "</form"}) {
                const std::string o = open;
                if (startsWith(tr, o) && (o == "</table>" || findTag(tr, o) == 0)) {
                    n = SplitLongTagLine(o == "</table>" ? "</table" : o, "</", line, elementLines, opt.MaxLen, marks);
                    break;
                }
            }
        }
        if (n >= 0) {
            flushIndentLines();
            return;
        }
    }
    // 34. plain lines
    if (sjisFindNoCase(line, "<meta") != npos)
        line = Trim(line);
    if (const std::size_t lt = line.find('<'); lt != npos)
        leadText = line.substr(0, lt);
    if ((contains(line, "<script") && contains(line, "type=\"") && contains(line, "javascript\">")) ||
        contains(line, "<noscript>"))
        inScript = true;
    if (contains(line, "</script") || contains(line, "</noscript"))
        inScript = false;
    const std::string X = Trim(line);
    if (!X.empty() && X[0] != '<') {
        write(indentSpaces + "    " + line, "●８", ORST);
    } else if (!X.empty()) {
        if (contains(line, "<img ") || contains(line, "<span ") || contains(line, "<a ") || contains(line, "<font ") ||
            contains(line, "</p>")) {
            if (indentSpaces == " ")
                indentSpaces = std::string(8, ' ');
            line = indentSpaces + "    " + line;
        }
        write(line, "●９", contains(line, "<meta") ? ORT : ORST);
    } else {
        write(line, "●１１", ORST);
    }
}

void Reindenter::flushIndentLines()
{
    for (std::string& s : elementLines) {
        if (xhtml)
            s = ReplaceAllIgnoreCase(s, "shape=\"RECT\"", "shape=\"rect\"");
        if (opt.ImgAlt != 0) {
            // a comment mark rewritten at the line's start or end ("--->" becomes " ■ -->")
            // must not leave a blank there, which a second run would take off
            std::string fixed = FixImgAndLinkTags(s, opt.ImgAlt, marks);
            if (fixed != s)
                fixed = leadingBlanks(s) + Trim(fixed);
            s = std::move(fixed);
        }
        if (!s.empty()) {
            if (startsWith(s, "<a ")) {
                s = divPrefix + "  " + s;
                write(s, "★６", ORST);
            } else if (startsWith(s, "</div>")) {
                s = divPrefix + "  " + s;
                write(s, "★４", ORST);
            } else {
                write(s, "★２", ORST);
                const std::size_t d = findTag(s, "<div");
                if (d != npos)
                    divPrefix = leadingBlanks(s.substr(0, d));
            }
        }
        if (contains(s, "<!--"))
            commentPending = true;
        if (contains(s, "-->"))
            commentPending = false;
    }
    elementLines.clear();
}

// Strips a bar number an earlier run put after an open comment, so it is not written twice.
std::string withoutBar(const std::string& b)
{
    const std::size_t h = b.rfind(kBannerHash);
    if (h == npos)
        return b;
    const std::string rest = b.substr(h + kBannerHash.size());
    if (rest.size() < 6 || rest.compare(0, 5, "   ( ") != 0 || rest.back() != ')')
        return b;
    return TrimRight(b.substr(0, h));
}

void Reindenter::tail()
{
    for (const std::string& blk : blocks) {
        std::string b = Trim(blk);
        if (b.empty())
            continue;
        std::string out = b;
        if (!contains(b, "-->") && bodyStarted && opt.CommentBar == 1) {
            ++lineNo;
            out = withoutBar(b) + " " + kBannerHash + "   ( " + std::to_string(lineNo) + " )";
            traceOn = true;
        }
        write(out, "∇１", ORST);
    }
    blocks.clear();
}

} // namespace

ReindentResult HTMLIndentation(const std::string& Source, const ReindentOptions& Opt, const ReindentInputs& In)
{
    Reindenter r(Opt, In);
    return r.run(Source);
}

// --- the run around the engine ------------------------------------------------------------

namespace {
// A page that already ends in "</html>" does not get a second one: a real end tag, as the
// scanner reads it, not the tail of a tag or declaration that began before it.
bool endsWithHtmlEnd(const std::string& s)
{
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 32)
        --n;
    // Comments after the end tag do not count: the line rules write a comment after the text of
    // its line, so "<!-- c --></html>" comes out as "</html>" and the comment.
    const std::vector<HtmlToken> toks = scanPage(std::string_view(s).substr(0, n));
    std::size_t k = toks.size();
    while (k > 0 && toks[k - 1].kind == HtmlToken::Kind::Comment && toks[k - 1].end - toks[k - 1].begin >= 5 &&
           s.compare(toks[k - 1].end - 3, 3, "-->") == 0) {
        --k;
        while (k > 0 && toks[k - 1].kind == HtmlToken::Kind::Text &&
               std::all_of(s.begin() + toks[k - 1].begin, s.begin() + toks[k - 1].end,
                           [](char c) { return static_cast<unsigned char>(c) <= 32; }))
            --k;
    }
    if (k == 0)
        return false;
    const HtmlToken& last = toks[k - 1];
    const std::size_t e = last.end;
    if (e < 7 || LowerCase(s.substr(e - 7, 7)) != "</html>")
        return false;
    // inside a script or comment left open another end tag would be its text too
    return last.begin == e - 7 || last.kind == HtmlToken::Kind::Raw || last.kind == HtmlToken::Kind::Comment;
}
} // namespace

namespace {
// Lines trimmed and blank lines dropped outside raw content; "" when nothing is left.
std::string trimLinesOutsideRaw(const std::string& w)
{
    const Ranges prot = protectedRanges(w, false);
    std::vector<std::string> kept;
    for (const LineSpan& sp : splitSpans(w)) {
        std::string l = w.substr(sp.begin, sp.end - sp.begin);
        if (spanProtected(prot, sp.begin, sp.end)) {
            // the ends of the line that lie outside the protected content are cleaned too:
            // where a later step puts a line break before that content, they end a line
            std::size_t b = sp.begin, e = sp.end;
            while (b < e && static_cast<unsigned char>(w[b]) <= 32 && !prot.intersects(b, b + 1))
                ++b;
            while (e > b && static_cast<unsigned char>(w[e - 1]) <= 32 && !prot.intersects(e - 1, e))
                --e;
            if (b != sp.begin || e != sp.end)
                l = w.substr(b, e - b);
            kept.push_back(l);
            continue;
        }
        l = Trim(ReplaceAll(l, "\t", "  "));
        if (!l.empty())
            kept.push_back(l);
    }
    return kept.empty() ? std::string() : joinLines(kept);
}
} // namespace

std::string CleanupHTMLLeadingSpace(const std::string& Source, const EditorRoundTrip& RoundTrip)
{
    // A comment is not put on a line of its own here: a line break between two inline pieces
    // would show as a blank. The line rules take comments out of their lines without one.
    std::string page = trimLinesOutsideRaw(Source);
    if (page.empty())
        return "";
    if (!endsWithHtmlEnd(page))
        page += "</html>";
    std::string body = RoundTrip ? RoundTrip(page) : page;
    if (body == page || body.find("\r\n\r\n") == npos)
        return body; // nothing left to collapse
    return mapOutsideRaw(body, false, [](const std::string& s) { return collapseBlankLines(s); });
}

IndentSourceParts SplitIndentSource(const std::string& Page)
{
    IndentSourceParts parts;
    std::size_t cut = 0;
    for (const HtmlToken& t : scanPage(Page)) {
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "body") {
            cut = t.begin;
            break;
        }
        if (t.kind == HtmlToken::Kind::EndTag && t.name == "head" && cut == 0)
            cut = t.end;
    }
    parts.Head = Page.substr(0, cut);
    parts.Body = Page.substr(cut);
    return parts;
}

std::string RemoveIndentCommentText(const std::string& Source)
{
    const std::string w = removeJoiners(Source);
    const Ranges prot = protectedRanges(w, false);
    std::vector<std::string> kept;
    for (const LineSpan& sp : splitSpans(w)) {
        const std::string l = w.substr(sp.begin, sp.end - sp.begin);
        if (spanProtected(prot, sp.begin, sp.end) || !Trim(l).empty())
            kept.push_back(l);
    }
    return joinLines(kept);
}

namespace {

// True when the blank at p begins an attribute of a script start tag: not a value's text
// ('<x y=" language="JavaScript">' keeps its value, or the tag would end elsewhere).
bool attributeOfScriptTag(const std::string& lower, std::size_t p)
{
    const std::size_t t = lower.rfind("<script", p);
    if (t == npos || (t + 7 < lower.size() && isNameChar(lower[t + 7])))
        return false;
    char quote = 0;
    for (std::size_t i = t + 7; i < p; ++i) {
        const char c = lower[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>' || c == '<') {
            return false;
        }
    }
    return quote == 0;
}

std::string normaliseMarkup(const std::string& s)
{
    static const std::pair<const char*, const char*> rows[] = {
        {"charset=Shift-JIS", "charset=Shift_JIS"},
        {"<script Language=\"JavaScript\">", "<script type=\"text/javascript\">"},
        {" Language=\"JavaScript\"", ""},
        {" language=JavaScript", ""},
        {"\t", "  "},
        {"><hr", ">\r\n<hr"},
        {"</h1><", "</h1>\r\n<"},
        {"</h2><", "</h2>\r\n<"},
        {"</h3><", "</h3>\r\n<"},
        {"</h4><", "</h4>\r\n<"},
        {"</h5><", "</h5>\r\n<"},
        {"</div><", "</div>\r\n<"},
        {"></div>", ">\r\n</div>"},
        {"shape=\"RECT\"", "shape=\"rect\""},
        {"><script", ">\r\n<script"},
    };
    std::string w = s;
    // Most rows find nothing: a quick test first, and no copy. The rows that split tags all
    // hold "><" (bytes no case folding or trail byte changes), so they are tried only where the
    // segment holds it; a hit there is confirmed by the replacement's own search.
    std::vector<std::size_t> adjacent;
    auto findAdjacent = [&] {
        adjacent.clear();
        for (std::size_t q = w.find("><"); q != npos; q = w.find("><", q + 1))
            adjacent.push_back(q);
    };
    findAdjacent();
    auto mayMatch = [&](std::string_view from) {
        const std::size_t k = from.find("><");
        if (k == npos)
            return sjisFindNoCase(w, from) != npos;
        for (std::size_t q : adjacent) {
            if (q < k)
                continue;
            const std::size_t b = q - k;
            if (b + from.size() > w.size())
                break;
            std::size_t i = 0;
            while (i < from.size() && asciiLower(w[b + i]) == asciiLower(from[i]))
                ++i;
            if (i == from.size())
                return true;
        }
        return false;
    };
    // Rows that end in "<" overlap ("</div></div><p>"): a row runs until it finds nothing, so a
    // second run has nothing left to split.
    for (const auto& [from, to] : rows) {
        if (!mayMatch(from))
            continue;
        if (*to == '\0') {
            // An attribute leaves only where it ends: "<script language=JavaScriptX>" keeps its
            // blank, or the tag would take another name.
            const std::string f = LowerCase(from);
            std::string l = LowerCase(w);
            for (std::size_t p = l.find(f); p != npos; p = l.find(f, p)) {
                const std::size_t e = p + f.size();
                if ((e < l.size() && !(l[e] == ' ' || l[e] == '>' || l[e] == '/' || l[e] == '\r' || l[e] == '\n' || l[e] == '\t')) ||
                    !attributeOfScriptTag(l, p)) {
                    p = e;
                    continue;
                }
                w.erase(p, f.size());
                l.erase(p, f.size());
            }
            findAdjacent();
            continue;
        }
        for (int pass = 0; pass < 8 && (pass == 0 || sjisFindNoCase(w, from) != npos); ++pass)
            w = ReplaceAllIgnoreCase(w, from, to);
        findAdjacent();
    }
    return w;
}

// True when the scanner meets markup that browsers read in more than one way: a "<" that opens
// nothing, control bytes outside raw content, a tag, comment or declaration left open or holding
// a "<", or an "<!" or "<?" that declares nothing.
bool malformedMarkup(const std::string& s, const std::vector<HtmlToken>& toks)
{
    for (const HtmlToken& t : toks) {
        if (t.kind == HtmlToken::Kind::Raw || t.end <= t.begin)
            continue;
        const std::string_view v(s.data() + t.begin, t.end - t.begin);
        if (t.kind == HtmlToken::Kind::Comment) {
            if (v.size() < 5 || v.substr(v.size() - 3) != "-->")
                return true;
            continue;
        }
        for (char c : v)
            if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\r' && c != '\n')
                return true;
        if (t.kind == HtmlToken::Kind::Text) {
            if (v.find('<') != npos)
                return true;
            continue;
        }
        if (v.back() != '>' || v.find('<', 1) != npos)
            return true;
        if (t.kind == HtmlToken::Kind::Markup && !isDoctype(v) && !StartsWithNoCase(v, "<?xml") &&
            !StartsWithNoCase(v, "<![CDATA["))
            return true;
    }
    return false;
}

// The prepared source; Malformed, when given, is set when the scanner finds malformed markup in it.
std::string prepareIndentSource(const std::string& Source, const std::string& Head, const EditorRoundTrip& RoundTrip,
                                int RemoveIndentComment, bool* Malformed)
{
    if (Source.empty() && Head.empty())
        return "";
    // Every line end CRLF first: a lone CR would otherwise hide inside a line.
    const std::string body =
        CleanupHTMLLeadingSpace(removeJoiners(escapeTitleText(closeUnpairedQuotes(NormalizeLineBreaks(Source)))), RoundTrip);
    // The head's lines are trimmed as the body's are: a text line there would otherwise keep
    // the indent a run gave it and gain another in the next.
    // A tag over lines is joined first, as the line rules join it: the layout below then reads
    // it as it will read the result's one-line tag.
    std::string headPart;
    if (!Head.empty()) {
        const std::string h = removeJoiners(escapeTitleText(closeUnpairedQuotes(NormalizeLineBreaks(Head))));
        std::string joined = joinStructuralTags(h, scanPage(h));
        // The head end as the line rules write it ("</HEAD\r\n>" and "</head x>" become
        // "</head>"), so that the layout finds it in this run as it will in the next.
        std::size_t headEnd = npos;
        for (const HtmlToken& t : scanPage(joined))
            if (t.kind == HtmlToken::Kind::EndTag && t.name == "head" && joined[t.end - 1] == '>') {
                joined.replace(t.begin, t.end - t.begin, "</head>");
                headEnd = t.begin;
                break;
            }
        // The layout cuts at the first head end it reads; one inside a comment or script is
        // text, and cutting there would move lines in and out of that comment on every run.
        std::size_t textEnd = joined.find("</HEAD>");
        if (textEnd == npos)
            textEnd = joined.find("</head>");
        if (textEnd == headEnd)
            joined = RestructureHead(joined);
        headPart = trimLinesOutsideRaw(RewriteCharsetDeclsToSjis(joined));
    }
    std::string src = escapeTitleText(closeUnpairedQuotes(headPart + body));
    if (!endsWithHtmlEnd(src))
        src += kCrLf + "</html>";
    // The page's tokens serve the next step too when this one changes nothing (blank lines
    // and TABs left only in raw content).
    std::vector<HtmlToken> toks;
    bool toksValid = false;
    if (src.find('\t') != npos || src.find("\r\n\r\n") != npos) {
        toks = scanPage(src);
        std::string collapsed = mapOutside(src, protectedRanges(src, toks, false), [](const std::string& seg) {
            return collapseBlankLines(ReplaceAll(seg, "\t", "    "));
        });
        toksValid = collapsed == src;
        if (!toksValid)
            src = std::move(collapsed);
    }
    if (PosText("<!-- ==<iframe", src) > 0) {
        src = EnableIframes(src);
        toksValid = false;
    }
    // The normalisation table on markup, and a typed script start put on its own line once
    // (its contents are left as they are), in one walk.
    {
        if (!toksValid)
            toks = scanPage(src);
        if (Malformed)
            *Malformed = malformedMarkup(src, toks);
        const Ranges prot = protectedRanges(src, toks, true);
        std::string out;
        out.reserve(src.size() + src.size() / 16);
        std::size_t at = 0;
        auto markup = [&](std::size_t b, std::size_t e) {
            std::string seg = normaliseMarkup(src.substr(at, b - at));
            const std::string tail = LowerCase(seg.substr(seg.size() >= 12 ? seg.size() - 12 : 0));
            if (b < e && tail == "javascript\">" && src.compare(b, 2, kCrLf) != 0)
                seg += kCrLf;
            out += seg;
            out.append(src, b, e - b);
            at = e;
        };
        for (const auto& [b, e] : prot.r)
            markup(b, e);
        if (at < src.size())
            markup(src.size(), src.size());
        src = std::move(out);
    }
    if (RemoveIndentComment == 1)
        src = RemoveIndentCommentText(src);
    return src;
}

} // namespace

std::string PrepareIndentSource(const std::string& Source, const std::string& Head, const EditorRoundTrip& RoundTrip,
                                int RemoveIndentComment)
{
    return prepareIndentSource(Source, Head, RoundTrip, RemoveIndentComment, nullptr);
}

namespace {

// "-->" followed by "<!--" gets a line break between them where what follows on the line is
// comments only: each then stands on a line of its own, which a second run writes as it
// stands. Before a comment that text follows, the break would give that text a line of its own
// ("<link>--><!-->l"), which a second run indents.
std::string splitTrailingComments(const std::string& s)
{
    const std::vector<HtmlToken> toks = scanPage(s);
    std::size_t k = toks.size();
    while (k > 0 && toks[k - 1].kind == HtmlToken::Kind::Comment && toks[k - 1].end - toks[k - 1].begin >= 5 &&
           s.compare(toks[k - 1].end - 3, 3, "-->") == 0)
        --k;
    std::string out;
    std::size_t at = 0;
    for (std::size_t i = std::max<std::size_t>(k, 1); i < toks.size(); ++i) {
        const std::size_t b = toks[i].begin;
        if (toks[i - 1].end == b && b >= 3 && s.compare(b - 3, 3, "-->") == 0) {
            out.append(s, at, b - at);
            out += kCrLf;
            at = b;
        }
    }
    out.append(s, at, npos);
    return out;
}

// The result lines with a last "<!--" joined to a following lone "-->", and (when Raw is
// given) the display replacements applied to every line that is not raw content.
template <class Lines> std::string cleanupIndentation(const Lines& Items, const std::vector<char>* Raw)
{
    std::string out;
    std::size_t total = 0;
    for (std::string_view l : Items)
        total += l.size() + 2;
    out.reserve(total + total / 64);
    bool skip = false;
    const std::size_t n = Items.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (skip) {
            skip = false;
            continue;
        }
        const std::string_view item = Items[i];
        // "!--" first: a "<" search stops at every tag
        const bool opens = contains(item, "!--") && contains(item, "<!--");
        const bool joinable = i + 4 < n && opens && contains(item, "-->");
        const bool replace = Raw && i < Raw->size() && !(*Raw)[i] && (opens || item.find('&') != npos);
        if (!joinable && !replace) {
            out += item; // the common line: nothing to change
            out += kCrLf;
            continue;
        }
        std::string s(item);
        if (joinable) {
            const std::string t = Trim(s);
            if (startsWith(t, "-->") && t.size() > 7 && t.compare(t.size() - 4, 4, "<!--") == 0 &&
                Trim(std::string(Items[i + 1])) == "-->") {
                s = TrimRight(s);
                s.erase(s.size() - 4);
                skip = true;
            }
        }
        if (replace) {
            if (sjisFindNoCase(s, "&amp;nbsp;") != npos)
                s = ReplaceAllIgnoreCase(s, "&amp;nbsp;", "&nbsp;");
            if (contains(s, "--><!--"))
                s = splitTrailingComments(s);
            if (sjisFindNoCase(s, "</table><!--") != npos)
                s = ReplaceAllIgnoreCase(s, "</table><!--", "</table>\r\n<!--");
        }
        out += s;
        out += kCrLf;
    }
    return out;
}

} // namespace

std::string CleanupIndentation(const std::vector<std::string>& Items) { return cleanupIndentation(Items, nullptr); }

std::vector<std::string> LineList::toVector() const
{
    std::vector<std::string> v;
    v.reserve(size());
    for (std::string_view l : *this)
        v.emplace_back(l);
    return v;
}

ReindentResult RunIndentation(const std::string& Source, const std::string& Head, const EditorRoundTrip& RoundTrip,
                              int RemoveIndentComment, const ReindentOptions& Opt, const ReindentInputs& In)
{
    bool malformed = false;
    auto once = [&](const std::string& source, const std::string& head, bool* flag) {
        const std::string prepared = prepareIndentSource(source, head, RoundTrip, RemoveIndentComment, flag);
        if (prepared.empty())
            return ReindentResult{};
        ReindentResult r = Reindenter(Opt, In).run(prepared, false);
        r.Text = cleanupIndentation(r.R, &r.RRaw);
        return r;
    };
    // A whole page is split where the page splits it, so that its head takes the same road
    // whether it comes apart or inside the page (as it does when a result is run again).
    ReindentResult r;
    if (Head.empty()) {
        const IndentSourceParts parts = SplitIndentSource(NormalizeLineBreaks(Source));
        r = once(parts.Body, parts.Head, &malformed);
    } else {
        r = once(Source, Head, &malformed);
    }
    // On malformed markup the line rules can read their own result otherwise than the page
    // (a "<" that opened nothing now beside a tag, a control byte now at a line's end), so a
    // second run would change it. There the result is re-indented until it no longer changes,
    // a few rounds at most; every round keeps what a browser shows. Well-formed pages are
    // laid out once.
    for (int round = 0; malformed && round < 3 && !r.Text.empty(); ++round) {
        const IndentSourceParts parts = SplitIndentSource(r.Text);
        ReindentResult again = once(parts.Body, parts.Head, nullptr);
        if (again.Text == r.Text)
            break;
        r = std::move(again);
    }
    return r;
}

std::string HtmlSourceTabText(const std::string& Source)
{
    if (Source.find('\t') == npos && Source.find("\r\n\r\n") == npos)
        return Source;
    return mapOutsideRaw(Source, false, [](const std::string& seg) {
        return collapseBlankLines(ReplaceAll(seg, "\t", " "));
    });
}

std::string IndentSaveText(const std::vector<std::string>& FinalLines)
{
    std::string t = joinLines(FinalLines);
    t = mapOutsideRaw(t, false, [](const std::string& seg) {
        return ReplaceAllIgnoreCase(seg, "\r\n><", ">\r\n<");
    });
    // A script whose contents are one line break only: nothing raw is touched.
    t = ReplaceAllIgnoreCase(t, "\"text/javascript\">\r\n</script>", "\"text/javascript\"></script>");
    return PosText("<!-- ==<iframe", t) > 0 ? EnableIframes(t) : t;
}

std::string IndentSaveFileName(const std::string& Chosen, const std::string& PageFile)
{
    std::string page = PageFile;
    const std::size_t u = page.find("///");
    if (u != npos)
        page = "/" + page.substr(u + 3);
    std::string out = Chosen;
    if (!Chosen.empty() && Chosen == page)
        out = folderPart(Chosen) + "WW_" + filePart(Chosen);
    const std::string name = filePart(out);
    if (name.find('.') == npos)
        out = ChangeFileExtension(out, ".html");
    return out;
}
