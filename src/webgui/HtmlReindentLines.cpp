// The re-indenter's line rules: each line of the page is matched against ordered text tests
// and written with the indent and label of the rule that takes it.
#include "webgui/HtmlReindentInternal.h"

#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"

using namespace reindent_detail;

namespace {

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

// The line with its comments taken out, for tests that must not meet markup inside them.
std::string withoutComments(const std::string& line)
{
    if (line.find("<!--") == npos)
        return line;
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(line)) {
        if (t.kind != HtmlToken::Kind::Comment)
            continue;
        appendApart(out, std::string_view(line).substr(at, t.begin - at));
        at = t.end;
    }
    appendApart(out, std::string_view(line).substr(at));
    return out;
}

} // namespace

namespace reindent_detail {

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
    bool titleOut = false;
    for (;;) {
        const std::size_t t = findTag(lower, "<title");
        const std::size_t e = findTag(lower, "</title");
        if (t == npos && e == npos)
            break;
        titleOut = true;
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
    // What is left goes through every rule, as it will when a second run finds it without the
    // title (a comment-like rest is then written as it stands); the text before a title that
    // runs on over lines stays here, where the title's lines do not swallow it.
    if (titleOut && !inTitle) {
        processLine(line, line);
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
    // A "<script" inside a comment of the line opens nothing: the comment leaves the line below
    // and a second run meets it on a line of its own, where the title would then move.
    const bool scriptLine =
        (findTag(lower, "<script") != npos && findTag(withoutComments(lower), "<script") != npos) || scriptMarker;
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

} // namespace reindent_detail
