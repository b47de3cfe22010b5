// The re-indenter's tag fix-ups: titles and unpaired quotes made safe before a run, structural
// tags put on lines of their own or joined into one, and images, links and comment marks
// mended in the element lines.
#include "webgui/HtmlReindentInternal.h"

#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <algorithm>

using namespace reindent_detail;

namespace {

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

namespace reindent_detail {

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

} // namespace reindent_detail

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
