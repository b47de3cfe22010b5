// libFuzzer target over the WebGUI re-indenter and its passes: no crash or sanitizer report,
// the same result when a result is re-indented, every joiner closed by the next line, and an
// output at most a small multiple of the input. Built and run by tests/fuzz/run.sh.
#include "text/HtmlScan.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

std::string identity(const std::string& s) { return s; }

// A comment of blanks around line breaks is a joiner when the run wrote it: then it holds one
// line break and its "-->" comes after the indent and four blanks. The same shape in the page
// itself (an empty comment over lines, "<!--\r\n\r\n-->") is the author's and goes out as written.
void joinersBalanced(const std::string& src, const std::string& out)
{
    // Counted as text, not as the scanner's comments of the page: inside a title a browser
    // reads "<!--" as text, so the scanner and the page can disagree on where a comment starts.
    const std::string in = NormalizeLineBreaks(src);
    std::map<std::string, int> written;
    for (const HtmlToken& t : ScanHtml(out)) {
        if (t.kind != HtmlToken::Kind::Comment)
            continue;
        const std::string c = out.substr(t.begin, t.end - t.begin);
        if (c.rfind("<!--\r\n", 0) != 0 || c.size() < 7 || c.compare(c.size() - 3, 3, "-->") != 0 ||
            c.find_first_not_of(" \r\n", 4) != c.size() - 3)
            continue;
        const bool joiner = c.find('\n', 6) == std::string::npos && c.compare(c.size() - 7, 7, "    -->") == 0;
        if (joiner)
            continue;
        int& n = written[c];
        ++n;
        int inPage = 0;
        for (std::size_t p = in.find(c); p != std::string::npos; p = in.find(c, p + c.size()))
            ++inPage;
        check(n <= inPage);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    ReindentOptions o;
    o.CellMode = data[0] & 1;
    o.PrologMode = (data[0] >> 1) & 1;
    o.CommentBar = (data[0] >> 2) & 1;
    o.ImgAlt = (data[0] >> 3) & 1;
    const std::string src(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> lines, trace;
    TDinnerIndent("<td", "</td", src, lines, 0, &trace);
    SplitLongTagLine("</table", "</", src, lines, 0);
    SplitLongParagraphLine(src, lines, 0);
    std::string line = src;
    ExtractCommentBlocks(line, lines);
    FixImgAndLinkTags(src, 1);
    RemoveIndentCommentText(src);

    const ReindentResult r = RunIndentation(src, "", identity, 0, o, {});
    check(r.Text.size() <= 8 * src.size() + 4096);
    joinersBalanced(src, r.Text);
    // Re-indenting changes nothing for pages whose tags and comments all end and hold no "<";
    // a tag left open at the end of a text swallows whatever a run puts after it.
    bool complete = true;
    const std::vector<HtmlToken> toks = ScanHtml(src);
    // a raw element begun at the very end holds whatever a run writes after it
    if (!toks.empty() && toks.back().kind == HtmlToken::Kind::StartTag &&
        (toks.back().name == "script" || toks.back().name == "style" || toks.back().name == "pre" ||
         toks.back().name == "textarea" || toks.back().name == "xmp"))
        complete = false;
    for (const HtmlToken& t : toks) {
        const char last = src[t.end - 1];
        if ((t.isMarkup() && last != '>') || (t.kind == HtmlToken::Kind::Raw && t.end == src.size()))
            complete = false;
        // a "<" inside a tag ("<a href=<html>") is markup no browser agrees on either
        if (t.isTag() && src.find('<', t.begin + 1) < t.end)
            complete = false;
    }
    if (complete && getenv("VK_FUZZ_IDEMPOTENT")) {
        const ReindentResult r2 = RunIndentation(r.Text, "", identity, 0, o, {});
        check(r2.Text == r.Text);
    }
    return 0;
}
