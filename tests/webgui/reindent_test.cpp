// The re-indenter against golden fixtures, and its promises checked on the fixtures and on a
// generated corpus of real-looking pages: raw content byte for byte, balanced joiners, no
// text lost, the same result when re-indented, and no state carried between runs.
#include "webgui/HtmlReindent.h"

#include "text/HtmlScan.h"
#include "text/JCode.h"
#include "text/StrUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VK_TESTS_DIR) / "webgui" / "reindent_fixtures";

std::string readFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& s)
{
    std::ofstream f(p, std::ios::binary);
    f << s;
}

std::string sj(const std::string& u8) { return Utf8ToAnsi(u8); }

std::string identity(const std::string& s) { return s; }

ReindentResult run(const std::string& src, const ReindentOptions& o, const ReindentInputs& in = {})
{
    return RunIndentation(src, "", identity, 0, o, in);
}

std::vector<ReindentOptions> allOptions()
{
    std::vector<ReindentOptions> v;
    for (int cell : {0, 1})
        for (int prolog : {0, 1})
            for (int bar : {0, 1}) {
                ReindentOptions o;
                o.CellMode = cell;
                o.PrologMode = prolog;
                o.CommentBar = bar;
                v.push_back(o);
            }
    return v;
}

std::string describe(const ReindentOptions& o)
{
    return "cell=" + std::to_string(o.CellMode) + " prolog=" + std::to_string(o.PrologMode) +
           " bar=" + std::to_string(o.CommentBar) + " alt=" + std::to_string(o.ImgAlt);
}

std::string tokenText(const std::string& s, const HtmlToken& t) { return s.substr(t.begin, t.end - t.begin); }

// Contents of script, style, pre and textarea elements, in order; a line break that a run puts
// after a typed script's start tag does not count.
std::vector<std::string> rawContents(const std::string& s)
{
    std::vector<std::string> out;
    for (const HtmlToken& t : ScanHtml(s)) {
        if (t.kind != HtmlToken::Kind::Raw)
            continue;
        std::string c = tokenText(s, t);
        if (c.compare(0, 2, "\r\n") == 0)
            c.erase(0, 2);
        if (!Trim(c).empty())
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> multiLineComments(const std::string& s)
{
    std::vector<std::string> out;
    for (const HtmlToken& t : ScanHtml(s))
        if (t.kind == HtmlToken::Kind::Comment && tokenText(s, t).find('\n') != std::string::npos)
            out.push_back(tokenText(s, t));
    return out;
}

bool isJoinerComment(const std::string& c)
{
    if (c.rfind("<!--\r\n", 0) != 0 || c.size() < 13 || c.compare(c.size() - 7, 7, "    -->") != 0)
        return false;
    for (std::size_t i = 6; i + 7 < c.size(); ++i)
        if (c[i] != ' ')
            return false;
    return true;
}

// What a reader sees: text outside tags, comments and script and style contents, white space
// removed.
std::string visibleText(const std::string& s)
{
    std::string out;
    bool skipRaw = false;
    for (const HtmlToken& t : ScanHtml(s)) {
        if (t.kind == HtmlToken::Kind::StartTag)
            skipRaw = t.name == "script" || t.name == "style" || t.name == "title";
        if (t.kind == HtmlToken::Kind::Text || (t.kind == HtmlToken::Kind::Raw && !skipRaw)) {
            // "&lt;" is how a run writes a "<" that would otherwise open markup: shown alike
            const std::string text = t.kind == HtmlToken::Kind::Text ? ReplaceAll(tokenText(s, t), "&lt;", "<") : tokenText(s, t);
            for (char c : text)
                if (static_cast<unsigned char>(c) > ' ')
                    out += c;
        }
    }
    return out;
}

std::map<std::string, int> tagNames(const std::string& s)
{
    std::map<std::string, int> m;
    for (const HtmlToken& t : ScanHtml(s))
        if (t.isTag())
            ++m[(t.kind == HtmlToken::Kind::EndTag ? "/" : "") + t.name];
    return m;
}

// The properties every result must have; returns what failed, empty when all hold.
std::string checkResult(const std::string& input, const ReindentOptions& o)
{
    const ReindentResult r1 = run(input, o);
    const std::string& out = r1.Text;
    std::string fails;
    if (rawContents(out) != rawContents(input)) {
        fails += "raw contents changed; ";
        if (std::getenv("VK_DUMP")) {
            writeFile("/tmp/i19/in.html", input);
            writeFile("/tmp/i19/out.html", out);
        }
    }
    const auto inComments = multiLineComments(input);
    for (const std::string& c : multiLineComments(out))
        if (!isJoinerComment(c) && c.compare(c.size() - 3, 3, "-->") == 0 && std::find(inComments.begin(), inComments.end(), c) == inComments.end())
            fails += "a comment over lines that is neither the author's nor a joiner; ";
    for (const HtmlToken& t : ScanHtml(out))
        if (t.kind == HtmlToken::Kind::Text && tokenText(out, t).find("-->") != std::string::npos &&
            visibleText(input).find("-->") == std::string::npos)
            fails += "stray -->; ";
    // "&amp;nbsp;" becomes "&nbsp;" on purpose.
    if (visibleText(out) != visibleText(ReplaceAllIgnoreCase(input, "&amp;nbsp;", "&nbsp;")))
        fails += "visible text differs; ";
    if (o.PrologMode == 0) {
        auto a = tagNames(input), b = tagNames(out);
        a.erase("title");
        b.erase("title");
        a.erase("/title");
        b.erase("/title");
        // the run closes the page and writes the body tag at the head's end
        for (const char* t : {"/html", "body"}) {
            a.erase(t);
            b.erase(t);
        }
        if (a != b)
            fails += "tags differ; ";
    }
    auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n' && c != '\t'; };
    if (std::none_of(input.begin(), input.end(), isControl))
        for (char c : out)
            if (isControl(c)) {
                fails += "a placeholder reached the result; ";
                break;
            }
    const ReindentResult r2 = run(out, o);
    if (r2.Text != out)
        fails += "not idempotent; ";
    return fails;
}

// --- generated corpus -------------------------------------------------------------------------

std::string generatedPage(unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](std::initializer_list<const char*> xs) {
        std::vector<const char*> v(xs);
        return std::string(v[rng() % v.size()]);
    };
    std::string p;
    p += pick({"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\r\n \"http://www.w3.org/TR/html4/loose.dtd\">\r\n",
               "<!DOCTYPE html>\r\n", "", "<!-- saved from url=(0022)http://example.jp/ -->\r\n"});
    p += pick({"<HTML>\r\n", "<html lang=\"ja\">\r\n"});
    p += pick({"<HEAD>\r\n", "<head profile=\"x\">\r\n"});
    p += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n";
    p += pick({"<title>見出し ソ表能</title>\r\n", "<TITLE>\r\n複数行の題\r\n</TITLE>\r\n", ""});
    p += pick({"<link rel=\"stylesheet\" href=\"/a.css\">\r\n", ""});
    p += pick({"<script language=\"JavaScript\"><!--\r\nfunction a(){ document.write(\"<td>x</td>\"); }\r\n//-->\r\n</script>\r\n",
               "<script>\r\nvar t = \"^br {{name}} x--} {!-- }{/iframe}\";\r\n</script>\r\n",
               "<style>\r\nbody { color:#333 }\r\n\r\n</style>\r\n"});
    p += "</head>\r\n";
    p += pick({"<body bgcolor=\"#FFFFFF\">\r\n", "<BODY>\r\n"});
    const int blocks = 6 + static_cast<int>(rng() % 10);
    for (int i = 0; i < blocks; ++i) {
        p += pick({
            "<table border=\"0\"><tr><td valign=\"default\" width=\"120\">ソ表能タボマア ｱｲｳ <a href=\"x.html?a=1&b=2\">リンク</a><img src=\"i.gif\"> 続きの文章です</td><td>短い</td></tr></table>\r\n",
            "<p>段落 <font color=\"red\">赤</font><br>改行 <b>太字</b> と <i>斜体</i> の文 ^br {{x}} {!-- }{/iframe} です</p>\r\n",
            "<div class=\"menu\"><div class=\"item\"><a href=\"a.html\">項目</a></div><div class=\"item\">二</div></div>\r\n",
            "<!-- ==== menu ==== -->\r\n",
            "<!--\r\n  author comment over lines\r\n  <td>not a cell</td>\r\n-->\r\n",
            "<pre>\r\n\tタブ\r\n\r\n   字下げ\r\n</pre>\r\n",
            "<textarea name=\"t\">\r\n  そのまま\r\n\r\n</textarea>\r\n",
            "<ul><li>一</li><li>二 <a href=\"\">空</a></li></ul>\r\n",
            "<header><h1>見出し</h1></header>\r\n",
            "<svg><path d=\"M0 0\"/></svg>\r\n",
            "<script type=\"text/javascript\">document.write(\"</div><div>\");</script>\r\n",
            "<!--[if IE]><p>IE</p><![endif]-->\r\n",
            "<h2>題</h2><hr><dl><dd>定義の説明が長く続く行 <a href=\"d.html\">詳しく</a></dd></dl>\r\n",
            "<form action=\"/f\"><input type=\"text\" name=\"q\"></form><noscript><p>スクリプトなし</p></noscript>\r\n",
            "text line without tags ｶﾅ\r\n",
            "<iframe src=\"f.html\"></iframe>\r\n",
            "<div><div>a</div></div><div>b</div></div><p>c</p><hr><h1>h</h1><h2>i</h2>\r\n",
        });
    }
    p += pick({"</BODY>\r\n</HTML>\r\n", "</body>\r\n</html>\r\n"});
    return sj(p);
}

struct GoldenCase {
    std::string name;
    ReindentOptions opt;
};

std::vector<GoldenCase> goldenCases()
{
    std::vector<GoldenCase> cases;
    for (const auto& e : fs::directory_iterator(kFixtures)) {
        const std::string f = e.path().filename().string();
        if (f.size() < 8 || f.compare(f.size() - 8, 8, ".in.html") != 0)
            continue;
        GoldenCase c;
        c.name = f.substr(0, f.size() - 8);
        std::istringstream opts(readFile(kFixtures / (c.name + ".opts")));
        std::string kv;
        while (opts >> kv) {
            const auto eq = kv.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string k = kv.substr(0, eq);
            const int v = std::atoi(kv.c_str() + eq + 1);
            if (k == "CellMode") c.opt.CellMode = v;
            if (k == "PrologMode") c.opt.PrologMode = v;
            if (k == "CommentBar") c.opt.CommentBar = v;
            if (k == "ImgAlt") c.opt.ImgAlt = v;
        }
        cases.push_back(c);
    }
    std::sort(cases.begin(), cases.end(), [](auto& a, auto& b) { return a.name < b.name; });
    return cases;
}

} // namespace

// Result and trace of each fixture against its goldens. VK_UPDATE_GOLDENS=1 rewrites them, to
// be reviewed by diff.
TEST(Reindent, GoldenFixtures)
{
    const bool update = std::getenv("VK_UPDATE_GOLDENS") != nullptr;
    const auto cases = goldenCases();
    ASSERT_FALSE(cases.empty());
    ReindentInputs in;
    in.EditorTitle = sj("エディタの題");
    in.EditorUrl = "http://example.jp/page.html";
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ReindentResult r = run(readFile(kFixtures / (c.name + ".in.html")), c.opt, in);
        std::string trace;
        for (std::string_view t : r.T)
            trace.append(t).append("\r\n");
        if (update) {
            writeFile(kFixtures / (c.name + ".out.html"), r.Text);
            writeFile(kFixtures / (c.name + ".trace.txt"), trace);
            continue;
        }
        EXPECT_EQ(SjisToUtf8(r.Text), SjisToUtf8(readFile(kFixtures / (c.name + ".out.html"))));
        EXPECT_EQ(SjisToUtf8(trace), SjisToUtf8(readFile(kFixtures / (c.name + ".trace.txt"))));
    }
}

TEST(Reindent, PropertiesHoldOnFixturesAndGeneratedPages)
{
    std::vector<std::pair<std::string, std::string>> pages;
    for (const GoldenCase& c : goldenCases())
        pages.emplace_back(c.name, readFile(kFixtures / (c.name + ".in.html")));
    for (unsigned seed = 1; seed <= 60; ++seed)
        pages.emplace_back("generated " + std::to_string(seed), generatedPage(seed));
    for (const auto& [name, page] : pages)
        for (const ReindentOptions& o : allOptions()) {
            const std::string fails = checkResult(page, o);
            EXPECT_EQ(fails, "") << name << " " << describe(o);
        }
}

TEST(Reindent, NoStateCarriesBetweenRuns)
{
    const std::string a = generatedPage(3), b = generatedPage(4);
    for (const ReindentOptions& o : allOptions()) {
        const std::string first = run(a, o).Text;
        run(b, o);
        EXPECT_EQ(run(a, o).Text, first) << describe(o);
    }
}

TEST(Reindent, UndoingJoinersGivesThePageBack)
{
    ReindentOptions o;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::string page = generatedPage(seed);
        const std::string out = run(page, o).Text;
        const std::string undone = RemoveIndentCommentText(out);
        EXPECT_EQ(visibleText(undone), visibleText(page));
        EXPECT_EQ(rawContents(undone), rawContents(page));
        for (const HtmlToken& t : ScanHtml(undone))
            if (t.kind == HtmlToken::Kind::Comment)
                EXPECT_FALSE(isJoinerComment(tokenText(undone, t))) << seed;
    }
}

// Marks the engine uses inside a line are its own: the same texts in the input are plain text.
TEST(Reindent, LiteralMarkTextsAndDoubleByteTrailsSurvive)
{
    const std::string tricky = sj("ソ表能タボマア ｱｲｳ ^br {{name}} x--} {!-- }{/iframe} <!--==");
    const std::string page = sj("<html><head><title>t</title></head>\r\n<body>\r\n") +
                             "<table><tr><td class=\"a\">" + tricky + " -->" + "<a href=\"x\">" + sj("ボ") +
                             "</a></td></tr></table>\r\n<p>" + tricky + "</p>\r\n<script>\r\nvar s=\"" + tricky +
                             "\";\r\n</script>\r\n</body></html>\r\n";
    for (const ReindentOptions& o : allOptions()) {
        const std::string out = run(page, o).Text;
        EXPECT_EQ(visibleText(out), visibleText(page)) << describe(o);
        EXPECT_NE(out.find("var s=\"" + tricky + "\";"), std::string::npos) << describe(o);
    }
}

// The splitters cut only between tags, keep every byte, and hide each break in a comment.
TEST(Reindent, SplittersKeepEveryByteAndJoinWithComments)
{
    struct Case {
        const char* what;
        std::string line;
        int expectLines;
    };
    const std::vector<Case> cases = {
        {"table end tags", "</table></td></tr>", 2},
        {"one '>' only", "<td>abc", 1},
        {"attribute holding '>'", "<td title=\"a>b>c\">x</td>", -1},
        {"text after the last tag", "<td><b>x</b> trailing text", -1},
        {"no start marker", "plain text", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines;
        if (c.line.rfind("</table", 0) == 0)
            SplitLongTagLine("</table", "</", c.line, lines, 0);
        else
            TDinnerIndent("<td", "</td", c.line, lines, 0);
        if (c.expectLines > 0)
            EXPECT_EQ(static_cast<int>(lines.size()), c.expectLines);
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string l = lines[i];
            if (i > 0) {
                ASSERT_EQ(l.compare(0, 7, "    -->"), 0) << l;
                l.erase(0, 7);
            }
            if (i + 1 < lines.size()) {
                ASSERT_GE(l.size(), 4u);
                ASSERT_EQ(l.compare(l.size() - 4, 4, "<!--"), 0) << l;
                l.erase(l.size() - 4);
            }
            joined += l;
        }
        EXPECT_EQ(joined, c.line);
        for (const auto& l : lines)
            for (const HtmlToken& t : ScanHtml(l))
                if (t.isTag())
                    EXPECT_EQ(l.substr(t.end - 1, 1), ">") << "cut inside a tag: " << l;
    }
    std::vector<std::string> lines;
    SplitLongTagLine("</table", "</", "</table></td></tr>", lines, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"</table><!--", "    --></td></tr>"}));
}

TEST(Reindent, TagFixupsForImagesLinksAndDashComments)
{
    struct Case {
        std::string in, mode1;
    };
    const std::vector<Case> cases = {
        {"<img src=\"a.gif\" />", "<img src=\"a.gif\" alt=\"" + sj("■■■") + "\" />"},
        {"<img src=\"a.gif\" alt=\"x\" />", "<img src=\"a.gif\" alt=\"x\" />"},
        {"<a href=\"a?x=1&y=2\">t&u</a>", "<a href=\"a?x=1&amp;y=2\">t&u</a>"},
        {"<a href=\"a?x=1&amp;y=2&#38;z\">t</a>", "<a href=\"a?x=1&amp;y=2&#38;z\">t</a>"},
        {"<a href=\"http://h/a-b-c\">x</a>", "<a href=\"http://h/a-b-c\">x</a>"},
        {"{{literal}}", "{{literal}}"},
        {"x<!--- a --->y", "x<!-- " + sj("■") + "  a  " + sj("■") + " -->y"},
        // dashes inside a tag, and a comment the rewrite would leave open, stay as written
        {"<p---><p>", "<p---><p>"},
        {"<!--->x", "<!--->x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FixImgAndLinkTags(c.in, 0), c.in);
        EXPECT_EQ(FixImgAndLinkTags(c.in, 1), c.mode1);
        EXPECT_EQ(FixImgAndLinkTags(c.mode1, 1), c.mode1) << "second fix-up changes nothing";
    }
}

TEST(Reindent, CommentBlocksLeaveTheLineInOrder)
{
    std::string line = "a <!-- one --> b <!-- open";
    std::vector<std::string> blocks;
    EXPECT_EQ(ExtractCommentBlocks(line, blocks), 2);
    EXPECT_EQ(line, "a  b ");
    EXPECT_EQ(blocks, (std::vector<std::string>{"<!-- one -->", "<!-- open"}));
    std::string attr = "<a title=\"<!-- x -->\">y</a>";
    EXPECT_EQ(ExtractCommentBlocks(attr, blocks), 0) << "a comment mark inside an attribute is not a comment";
}

// A 1 MB cell on one line is cut in one pass (a quadratic cutter would not end in the test's
// time limit) and keeps every byte.
TEST(Reindent, LongCellLineStaysWhole)
{
    std::string cell = "<td>";
    while (cell.size() < (1u << 20))
        cell += "<b>x</b> text <a href=\"h\">l</a>";
    cell += "</td>";
    std::vector<std::string> lines;
    TDinnerIndent("<td", "</td", cell, lines, 0);
    std::size_t total = 0;
    for (const auto& l : lines)
        total += l.size();
    EXPECT_GE(total, cell.size());
    EXPECT_GT(lines.size(), 1000u);
}

TEST(Reindent, SaveNameNeverOverwritesThePage)
{
    EXPECT_EQ(IndentSaveFileName("/d/page.html", "/d/page.html"), "/d/WW_page.html");
    EXPECT_EQ(IndentSaveFileName("/d/page.html", "file:///d/page.html"), "/d/WW_page.html");
    EXPECT_EQ(IndentSaveFileName("/d/other", "/d/page.html"), "/d/other.html");
    EXPECT_EQ(IndentSaveFileName("/d/other.htm", "/d/page.html"), "/d/other.htm");
}

TEST(Reindent, SaveTextUndoesDisabledIframesOnlyInTheirExactForm)
{
    const std::vector<std::string> lines = {"<!-- ==<iframe src=\"a.html\"></iframe>== -->", "<!-- ==== menu ==== -->",
                                            "<script type=\"text/javascript\">", "</script>"};
    const std::string t = IndentSaveText(lines);
    EXPECT_NE(t.find("<iframe src=\"a.html\"></iframe>\r\n"), std::string::npos);
    EXPECT_NE(t.find("<!-- ==== menu ==== -->"), std::string::npos);
    EXPECT_NE(t.find("\"text/javascript\"></script>"), std::string::npos);
}

TEST(Reindent, EmptySourceGivesEmptyResult)
{
    ReindentOptions o;
    EXPECT_EQ(HTMLIndentation("", o, {}).Text, "");
    o.PrologMode = 1;
    const ReindentResult r = HTMLIndentation("", o, {});
    EXPECT_EQ(r.R.toVector(), (std::vector<std::string>{"<html lang=\"ja\">"}));
    EXPECT_EQ(run("", o).Text, "");
}

// Between two inline pieces a line break shows as a blank: the run puts none there, only
// inside comments.
TEST(Reindent, NoBlankBetweenInlinePieces)
{
    const std::string page = "<html><head><title>t</title></head>\r\n<body>\r\n"
                             "<p><b>x</b><!-- c --><b>y</b></p>\r\n"
                             "<table><tr><td class=\"c\"><a href=\"1\">a</a><a href=\"2\">b</a><img src=\"i\"><span>z</span></td></tr></table>\r\n"
                             "</body></html>\r\n";
    for (const ReindentOptions& o : allOptions()) {
        const std::string out = run(page, o).Text;
        std::string bare;
        std::size_t at = 0;
        for (const HtmlToken& t : ScanHtml(out)) {
            if (t.kind != HtmlToken::Kind::Comment)
                continue;
            bare += out.substr(at, t.begin - at);
            at = t.end;
        }
        bare += out.substr(at);
        for (const char* joined : {"x</b><b>y", "a</a><a href=\"2\">b</a><img src=\"i\"><span>z</span>"})
            EXPECT_NE(bare.find(joined), std::string::npos) << joined << " " << describe(o) << "\n" << out;
    }
}

// A comment of blanks over lines that the run did not write as a joiner (one line break, then
// the indent and "    -->") must be the author's own.
std::string strayJoiners(const std::string& input, const std::string& out)
{
    std::string fails;
    for (const HtmlToken& t : ScanHtml(out)) {
        const std::string c = tokenText(out, t);
        if (t.kind != HtmlToken::Kind::Comment || c.rfind("<!--\r\n", 0) != 0 || c.size() < 7 ||
            c.find_first_not_of(" \r\n", 4) != c.size() - 3 || isJoinerComment(c))
            continue;
        if (input.find(c) == std::string::npos)
            fails += "joiner left open: " + c + "; ";
    }
    return fails;
}

// Inputs the fuzzer found: odd markup that once re-indented differently a second time.
TEST(Reindent, FuzzFoundInputsReindentStably)
{
    std::vector<std::pair<std::string, std::string>> pages;
    pages.emplace_back("text only, control byte", std::string("x\x1chum"));
    pages.emplace_back("unclosed XML declaration", std::string("<?xml v<ht=1&y="));
    pages.emplace_back("title that never ends, text after its tag",
                       std::string("<html><&ead>\r\n<title> \x82\xb3\x1a\x1a" "class=\"c\">; x/p>\r\n</body></html>\r\n"));
    pages.emplace_back("two titles on a line, one end written oddly",
                       std::string("h\xf4ml><head><title>raw</title<html>\x9b" "ead><title>\r\n<td><span>a</span>n></tr>\r\n"));
    pages.emplace_back("head end tag with odd bytes",
                       std::string("html><head><title>t</title></head~~~~>\r\n<p>x</p>\r\n"));
    pages.emplace_back("page end inside an odd tag", std::string("<p>x</p>\r\n</body><html</html>\r\n"));
    pages.emplace_back("DOCTYPE left open to the page end",
                       std::string("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD <meta content=\"x\r\n</HTML>\r\n"));
    pages.emplace_back("lone CR after the head end", std::string("<html><head></head>\rfu\n<p>x</p>\r\n"));
    pages.emplace_back("two html tags on a line", std::string("OO<!DOCTYPE x><html><6O<html><x>y\r\n"));
    pages.emplace_back("language attribute glued to the next",
                       std::string("<script language=\"JavaScript\"IIxtarea name=\"t\">\r\n  a\r\n</script>\r\n"));
    pages.emplace_back("text before a declaration at the line end", std::string("?xml <!docversion=e>\r\n<p>x</p>\r\n"));
    pages.emplace_back("no body tag, bare script after the head",
                       std::string("<html><head><title>t</title></head>\r\n<p>x</p>\r\n<script>\r\nvar a;\r\n</script>\r\n"));
    pages.emplace_back("title that never ends", std::string("h<!DOCTYPE>\r\n<title>\x83\x81\r\n<!-- menu -->\r\n<p>x</p>"));
    // Kept as the fuzz target reads them: the first byte chooses the options, the page follows.
    for (const auto& e : fs::directory_iterator(kFixtures / "found_by_fuzzing")) {
        const std::string bytes = readFile(e.path());
        if (!bytes.empty())
            pages.emplace_back(e.path().filename().string(), bytes.substr(1));
    }
    for (const auto& [name, page] : pages)
        for (ReindentOptions o : allOptions())
            for (int alt : {0, 1}) {
                o.ImgAlt = alt;
                const std::string once = run(page, o).Text;
                EXPECT_EQ(run(once, o).Text, once) << name << " " << describe(o);
                EXPECT_EQ(strayJoiners(page, once), "") << name << " " << describe(o);
            }
}

// A quoted value whose quote never closes ends, to the scanner, at the next blank or ">". A
// quote the run writes later (the title, a script's type) must not become its partner and move
// that tag's end over the page: the value is closed where it ended, and a second run agrees.
TEST(Reindent, UnpairedQuoteClosedWhereTheTagEnded)
{
    const struct {
        const char* tag;
        const char* closed;
    } cases[] = {
        {"<p class=\"a>", "<p class=\"a\">"},
        {"<p title='a b>", "<p title='a' b>"},
        {"</p x=\">", "</p x=\"\">"},
    };
    for (const auto& c : cases) {
        const std::string page = std::string("<html><head></head><body>\r\n") + c.tag +
                                 "x\r\n<script>\r\nvar a = 1;\r\n</script>\r\n<!-- note -->\r\n<p>y</p>\r\n</body></html>\r\n";
        for (const ReindentOptions& o : allOptions()) {
            const std::string out = run(page, o).Text;
            EXPECT_NE(out.find(c.closed), std::string::npos) << c.tag << " " << describe(o) << "\n" << out;
            EXPECT_EQ(rawContents(out), rawContents(page)) << c.tag << " " << describe(o);
            EXPECT_EQ(visibleText(out), visibleText(page)) << c.tag << " " << describe(o) << "\n" << out;
            EXPECT_EQ(run(out, o).Text, out) << c.tag << " " << describe(o);
        }
    }
}

// A title's text runs to its end tag whatever it holds; written with "&lt;" it shows alike and
// holds no markup that a second run would take for tags.
TEST(Reindent, TagsInsideATitleAreItsText)
{
    const std::string page = "<html><head><title>a<b><head>c<!--d</title></head>\r\n<body>\r\n<p>x</p>\r\n</body></html>\r\n";
    for (const ReindentOptions& o : allOptions()) {
        const ReindentResult r = run(page, o);
        EXPECT_EQ(r.Title, "a&lt;b>&lt;head>c&lt;!--d") << describe(o);
        EXPECT_NE(r.Text.find("<title>a&lt;b>&lt;head>c&lt;!--d</title>"), std::string::npos) << describe(o) << "\n" << r.Text;
        EXPECT_NE(visibleText(r.Text).find("x"), std::string::npos) << describe(o) << "\n" << r.Text;
        EXPECT_EQ(run(r.Text, o).Text, r.Text) << describe(o);
    }
}

// A tag name or declaration inside another tag ("<x<head>", "<b</title>", a DOCTYPE in an
// attribute) is no tag: taking it out would leave
// the outer tag open to swallow the next line, here the start of a style element.
TEST(Reindent, TagNamesInsideATagAreNoTags)
{
    for (const char* odd : {"<tit@e raw</title>", "<x<head>", "<y</head>", "<z<html>", "<q a=\"<!DOCTYPE x\">"}) {
        const std::string page = std::string("<html><head><title>t</title>") + odd +
                                 "\r\n<style>\r\np { color: red }\r\n</style>\r\n</head>\r\n<body>\r\n<p>x</p>\r\n</body></html>\r\n";
        for (const ReindentOptions& o : allOptions()) {
            const std::string out = run(page, o).Text;
            EXPECT_EQ(rawContents(out), rawContents(page)) << odd << " " << describe(o) << "\n" << out;
        }
    }
}

// Markup read as the scanner and a browser read it: a ">" in a quoted value does not end the
// body tag, an end tag over lines is taken out whole, a "</" left before text by a removed tag
// opens nothing, a comment before the page's end does not earn it a second "</html>", and no
// line is put before a line whose start lies inside a style element's content. Each
// once gave text that was not on the page, or a result that a second run changed.
TEST(Reindent, MarkupReadAsTheScannerReadsIt)
{
    const char* const pages[] = {
        "<html><head><title>t</title></head><body title=\"a>b\">\r\n<p>x</p>\r\n</body></html>\r\n",
        "<html><head><title>t</title\r\n\r\n></head><body>\r\n<p>x</p>\r\n</body></html>\r\n",
        "<html></<head>a<title>t</title></head><body>\r\n<p>x</p>\r\n</body></html>\r\n",
        "<html><head><title>t</title></head><body>\r\n<p>x</p>\r\n</body><!-- end --></html>\r\n",
        "<html><head><title>t</title></head><body>\r\n<!--> y\r\n<p>x</p><!-- a --><!-- b -->\r\n</body></html>\r\n",
        // the title goes before a script line, never inside the style element that ends on it
        "<html><head>\r\n<style>\r\np { color: red }\r\n</style>x<script src=\"a.js\"></script>\r\n<title>t</title></head><body>\r\n<p>x</p>\r\n</body></html>\r\n",
    };
    for (const char* page : pages)
        for (const ReindentOptions& o : allOptions())
            EXPECT_EQ(checkResult(page, o), "") << page << " " << describe(o) << "\n" << run(page, o).Text;
}

// The page hands the re-indenter its source cut at the body start tag; a second run gets the
// whole result. Either way the head takes one road, so a second run changes nothing: a meta
// line is closed alike, a text line in the head keeps its indent, a "<body" inside a comment is
// no place to cut, and the page's end tag is written once.
TEST(Reindent, HeadTakesOneRoadApartOrInsideThePage)
{
    const struct {
        const char* name;
        const char* page;
    } pages[] = {
        {"no body tag", "<html><head><title>t</title><meta name=a content=b></head>\r\n<p>text</p></html>\r\n"},
        {"frameset", "<html><head><title>t</title></head>\r\n<frameset cols=\"50%,50%\"><frame src=a.html><frame src=b.html></frameset></html>\r\n"},
        {"text in the head", "<head>a</head><body>x</body>"},
        {"body tag inside a comment", "<!--<body"},
        {"head end left open", "a</head"},
        {"empty declaration before the head end", "<a><!></head>"},
        {"upper-case tags over lines", "<HTML\r\n><HEAD\r\n><TITLE\r\n>t</TITLE\r\n><META\r\nNAME=\"a\"\r\nCONTENT=\"b\"></HEAD\r\n><BODY\r\nCLASS=\"c\"\r\n><P>x</P></BODY></HTML>\r\n"},
    };
    auto apart = [](const std::string& src, const ReindentOptions& o) {
        const IndentSourceParts p = SplitIndentSource(src);
        return RunIndentation(p.Body, p.Head, identity, 0, o, {}).Text;
    };
    for (const auto& c : pages)
        for (ReindentOptions o : allOptions())
            for (int alt : {0, 1}) {
                o.ImgAlt = alt;
                const std::string once = apart(c.page, o);
                EXPECT_EQ(run(c.page, o).Text, once) << c.name << " " << describe(o);
                EXPECT_EQ(apart(once, o), once) << c.name << " " << describe(o);
                EXPECT_EQ(run(once, o).Text, once) << c.name << " " << describe(o);
                const std::string low = LowerCase(once);
                EXPECT_NE(low.find("</html>"), std::string::npos) << c.name << " " << describe(o);
                EXPECT_EQ(low.find("</html>"), low.rfind("</html>")) << c.name << " " << describe(o) << "\n" << once;
            }
    for (const ReindentOptions& o : allOptions()) {
        const std::string frames = run(pages[1].page, o).Text;
        EXPECT_EQ(PosText("<body", frames), 0) << describe(o) << "\n" << frames;
        EXPECT_NE(frames.find("<frameset cols="), std::string::npos) << describe(o) << "\n" << frames;
        const std::string plain = run(pages[0].page, o).Text;
        EXPECT_NE(plain.find("<title>t</title>"), std::string::npos) << describe(o) << "\n" << plain;
        EXPECT_NE(plain.find("<meta name=a content=b />"), std::string::npos) << describe(o) << "\n" << plain;
        EXPECT_NE(plain.find("<body>"), std::string::npos) << describe(o) << "\n" << plain;
    }
}

TEST(Reindent, SourceCutAtTheBodyAsTheScannerFindsIt)
{
    const struct {
        const char* page;
        const char* head;
    } cases[] = {
        {"<html><head><title>t</title></head>\r\n<body class=\"b\">\r\n<p>x</p>", "<html><head><title>t</title></head>\r\n"},
        {"<head><title>t</title></head><p>x</p>", "<head><title>t</title></head>"},
        {"<!--<body", ""},
        {"<head><script>var s = '<body>';</script></head>\r\n<BODY><p>x</p>", "<head><script>var s = '<body>';</script></head>\r\n"},
        {"<title><body></title></head><body>", "<title><body></title></head>"},
        {"<p>x</p>", ""},
    };
    for (const auto& c : cases) {
        const IndentSourceParts p = SplitIndentSource(c.page);
        EXPECT_EQ(p.Head, c.head) << c.page;
        EXPECT_EQ(p.Head + p.Body, c.page);
    }
}

// The result holds the whole page at every size: doctype, charset, title and style sheet link
// before the body, and the body to its last line, also where a head script names "<body>".
TEST(Reindent, WholePageKeptAtEverySize)
{
    const std::string head = sj("<!DOCTYPE html>\r\n<html lang=\"en\"><head><meta charset=\"Shift_JIS\"><title>大きな頁</title>\r\n"
                                "<link rel=\"stylesheet\" href=\"css/a.css\">\r\n<script>var s = '<body class=x>';</script>\r\n</head>\r\n");
    for (std::size_t mb : {1u, 2u}) {
        std::string body = "<body>\r\n";
        for (int i = 0; body.size() < mb * 1024 * 1024; ++i)
            body += sj("<p class=\"x\">段落 ") + std::to_string(i) + " <a href=\"ch04.html\">link</a></p>\r\n<table><tr><td>cell</td></tr></table>\r\n";
        body += "<p>last paragraph</p>\r\n</body></html>\r\n";
        const IndentSourceParts parts = SplitIndentSource(head + body);
        EXPECT_EQ(parts.Body.compare(0, 6, "<body>"), 0) << mb << " MB";
        const std::string out = RunIndentation(parts.Body, parts.Head, identity, 0, ReindentOptions{}, {}).Text;
        const std::size_t bodyAt = out.find("<body>");
        ASSERT_NE(bodyAt, std::string::npos) << mb << " MB";
        for (const std::string& part : {std::string("<!DOCTYPE html>"), std::string("<meta charset=\"Shift_JIS\""),
                                        sj("<title>大きな頁</title>"), std::string("<link rel=\"stylesheet\" href=\"css/a.css\"")})
            EXPECT_LT(out.find(part), bodyAt) << mb << " MB: " << part;
        EXPECT_NE(out.find("last paragraph"), std::string::npos) << mb << " MB";
    }
}
