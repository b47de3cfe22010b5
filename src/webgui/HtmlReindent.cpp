// The re-indenter's run over one page: its title and body tag, the prolog, and the loop that
// hands each line to the raw-content writer or the line rules.
#include "webgui/HtmlReindentInternal.h"

#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <utility>

using namespace reindent_detail;

namespace {

const std::string kMadeFromHead = "<!-- made from ";
const std::string kMadeFromTail = "\" by VORN-KYMBrowser -->";
const std::string kDocTypeTransitional =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">";

std::string tagText(const std::string& text, const HtmlToken& t) { return text.substr(t.begin, t.end - t.begin); }

} // namespace

namespace reindent_detail {

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
        // Compared whole: the bytes dropped beside a cut can weigh what the line break adds
        // ("a\0\0<title>"), and a change missed by size leaves the tag on its raw line.
        std::string isolated = isolateStructuralTags(work, toks, prot);
        if (isolated != work) {
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

} // namespace reindent_detail

ReindentResult HTMLIndentation(const std::string& Source, const ReindentOptions& Opt, const ReindentInputs& In)
{
    Reindenter r(Opt, In);
    return r.run(Source);
}
