// The indentation run around the re-indenter: the source cleaned and prepared, the result
// re-indented until it settles, and the texts of the source tab and of a save.
#include "webgui/HtmlReindentInternal.h"

#include "text/HtmlRewrite.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiText.h"

#include <algorithm>
#include <utility>

using namespace reindent_detail;

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
// a "<", a comment closed at once or holding a comment start, or an "<!" or "<?" that declares
// nothing.
bool malformedMarkup(const std::string& s, const std::vector<HtmlToken>& toks)
{
    for (const HtmlToken& t : toks) {
        if (t.kind == HtmlToken::Kind::Raw || t.end <= t.begin)
            continue;
        const std::string_view v(s.data() + t.begin, t.end - t.begin);
        if (t.kind == HtmlToken::Kind::Comment) {
            if (v.size() < 5 || v.substr(v.size() - 3) != "-->")
                return true;
            // "<!-->" and "<!--->" end at once and a "<!--" inside a comment opens nothing: a
            // browser and the line rules can each read such a line another way
            if (v.size() < 7 || v.find("<!--", 4) != npos)
                return true;
            continue;
        }
        for (char c : v)
            if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\r' && c != '\n')
                return true;
        if (t.kind == HtmlToken::Kind::Text) {
            // a comment end in text closes nothing, but the line rules read a line holding one
            // as a comment's end
            if (v.find('<') != npos || v.find("-->") != npos)
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
