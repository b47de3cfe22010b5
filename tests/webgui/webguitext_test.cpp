// Text routines of the WebGUI page: saving with a backup in a real folder, the colour list of
// a style sheet, the script line-breaker and the line search of the result lists.
#include "webgui/WebGuiText.h"

#include "text/HtmlScan.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/StrUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/vk_webgui_XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
};

std::string sj(const std::string& u8) { return Utf8ToAnsi(u8); }

} // namespace

TEST(SaveWithBackup, KeepsTheVersionBeforeEachSave)
{
    TempDir d;
    const std::string page = (d.path / "page.html").string();
    auto first = SaveWithBackup(page, "one\r\n");
    ASSERT_TRUE(first.Save.ok());
    EXPECT_EQ(first.BackupPath, "") << "no old file, no backup";
    auto second = SaveWithBackup(page, "two\r\n");
    ASSERT_TRUE(second.Save.ok());
    EXPECT_EQ(readFile(page), "two\r\n");
    EXPECT_EQ(readFile(d.path / "YY_page.html"), "one\r\n");
    SaveWithBackup(page, "three\r\n");
    EXPECT_EQ(readFile(d.path / "YY_page.html"), "two\r\n") << "an older backup is replaced";
}

TEST(SaveWithBackup, EmptyTextWritesNothing)
{
    TempDir d;
    const std::string page = (d.path / "page.html").string();
    SaveWithBackup(page, "kept\r\n");
    const auto r = SaveWithBackup(page, "");
    EXPECT_EQ(r.Save.Status, SaveStatus::EmptyText);
    EXPECT_EQ(readFile(page), "kept\r\n");
    EXPECT_FALSE(fs::exists(d.path / "YY_page.html"));
    EXPECT_NE(SaveStatusText(r), "");
}

TEST(SaveWithBackup, RefusedFolderLeavesTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir d;
    const std::string page = (d.path / "page.html").string();
    SaveWithBackup(page, "old\r\n");
    fs::permissions(d.path, fs::perms::owner_read | fs::perms::owner_exec);
    const auto r = SaveWithBackup(page, "new\r\n");
    fs::permissions(d.path, fs::perms::owner_all);
    EXPECT_FALSE(r.Save.ok());
    EXPECT_EQ(readFile(page), "old\r\n");
}

TEST(ExtractCssColors, RowsValuesAndSelectors)
{
    struct Case {
        std::string css;
        std::vector<std::string> rows;
    };
    const std::vector<Case> cases = {
        {"p{color:#FF0000;background:#00ff00}", {"#FF0000      p", "#00ff00      p"}},
        {"h1,h2{color:#333}", {"#333         h1,h2"}},
        {"a{border:1px solid #ccc}", {"#ccc         a"}},
        // a "#" in a selector is not a value, and the value after it is still found
        {"div #main{color:#fff;}", {"#fff         div #main"}},
        // "color:#;" skips that value and the scan goes on
        {"a{color:#;}\r\nb{color:#123456;}", {"#123456      b"}},
        {"/* c */p{color:red;background:rgb(1,2,3)}", {}},
        // a byte-order mark before a selector stays part of it but does not stop the scan
        {"\xEF\xBB\xBFq{color:#abc;}", {"#abc         \xEF\xBB\xBFq"}},
    };
    for (const Case& c : cases) {
        const CssColorRows r = ExtractCssColors(c.css, false);
        EXPECT_EQ(r.Colors, c.rows) << c.css;
        EXPECT_EQ(r.Values.size(), r.Colors.size()) << c.css;
    }
    EXPECT_EQ(ExtractCssColors("h1{color:#333}", false).Values,
              std::vector<std::string>{std::to_string(HtmlColorToColorDef("#333"))})
        << "the value comes from the colour itself, not from its padded text";
}

TEST(ExtractCssColors, ValueWithoutEndDoesNotStopTheScan)
{
    const CssColorRows r = ExtractCssColors("a{color:#abc", false);
    EXPECT_TRUE(r.Colors.size() <= 1);
    const CssColorRows dup = ExtractCssColors("a{color:#fff}\r\nb{color:#FFF}\r\nc{color:#000}", true);
    EXPECT_EQ(dup.Colors, (std::vector<std::string>{"#000        ", "#fff        "}));
}

TEST(ColourRows, ClickAndTextColour)
{
    std::string name, rest;
    EXPECT_FALSE(ParseColorRow("#FF0000", name, rest));
    ASSERT_TRUE(ParseColorRow("#FF0000      h1,h2", name, rest));
    EXPECT_EQ(name, "#FF0000");
    EXPECT_EQ(rest, "h1 h2");
    struct Case {
        const char* row;
        unsigned text, back;
    };
    for (const Case& c : {Case{"#FFFFFF x", 0x000000, 0xFFFFFF}, Case{"#0000FF x", 0xFFFFFF, 0x0000FF},
                          Case{"#0A0A0A x", 0xFFFFFF, 0x0A0A0A}, Case{"#FFFF00 x", 0x000000, 0xFFFF00},
                          Case{"plain", 0x000000, 0xFFFFFF}}) {
        const RowColors rc = ColorRowColors(c.row);
        EXPECT_EQ(rc.Text, c.text) << c.row;
        EXPECT_EQ(rc.Back, c.back) << c.row;
    }
}

TEST(FixJS, BreaksStatementsButNotLiterals)
{
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"   ", ""},
        {"a();b();", "a();\r\nb();\r\n"},
        {"if(x){f();}", "if(x)\r\n{f();}\r\n\r\n"},
        {"if(x) {f()}", "if(x) {f()}"},
        {"a=1;\nFunction g(){}", "a=1;\r\n\r\n\r\nfunction g()\r\n{}"},
        {"var s=\"a;b){c\";", "var s=\"a;b){c\";\r\n"},
        {"var t=`x;${y};z`;", "var t=`x;${y};z`;\r\n"},
        {"// a;b\nc;", "// a;b\r\nc;\r\n"},
        {"/* a;b */c;", "/* a;b */c;\r\n"},
        {"var r=/;){/g;", "var r=/;){/g;\r\n"},
        {"x=a/b;y=c/d;", "x=a/b;\r\ny=c/d;\r\n"},
        {"s='^^';", "s='^^';\r\n"},
        {"(function(){a;})()", "\r\n(function()\r\n{a;}\r\n\r\n)()"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FixJS(c.in), c.out) << c.in;
}

TEST(ListBoxSearch, WalksTheMatchesFromTheFirstItem)
{
    const std::vector<std::string> items = {"match first", "b", "c", "d", "e", "match five", "f", "g", "h", "match nine"};
    int pos = -1;
    EXPECT_EQ(ListBoxSearch(items, " match ", pos), 0) << "item 0 is searched";
    EXPECT_EQ(ListBoxSearch(items, "match", pos), 5);
    EXPECT_EQ(ListBoxSearch(items, "match", pos), 9);
    EXPECT_EQ(ListBoxSearch(items, "match", pos), -1);
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(ListBoxSearch(items, "match", pos), 0);
    int beyond = 12;
    EXPECT_EQ(ListBoxSearch(items, "match", beyond), -1);
    EXPECT_EQ(beyond, 12) << "a position beyond the list stays";
    int other = -1;
    EXPECT_EQ(ListBoxSearch(items, sj("　") + "nine" + sj("　"), other), 9) << "each list has its own position";
    EXPECT_EQ(ListBoxSearch({}, "x", other), -1);
    EXPECT_EQ(ListBoxSearch(items, "  ", other), -1);
}

TEST(IndentResultAsHtml, HeadAndBodyTagOnlyWhenTheResultHasNoBody)
{
    EXPECT_EQ(IndentResultAsHtml({"<body>", "x"}, "<head></head>", "<body>", {"y"}), "<body>\r\nx\r\n");
    const std::string t = IndentResultAsHtml({"x"}, "<head><meta charset=\"utf-8\"></head>", "<body class=\"a\">", {"y"});
    EXPECT_NE(t.find("<body class=\"a\">\r\ny\r\n"), std::string::npos);
    EXPECT_EQ(t.find("utf-8"), std::string::npos);
}

TEST(SaveWithBackup, FailedBackupStopsTheSave)
{
    TempDir d;
    const std::string page = (d.path / "page.html").string();
    SaveWithBackup(page, "old\r\n");
    fs::create_directory(d.path / "YY_page.html"); // the backup cannot be written over a folder
    const auto r = SaveWithBackup(page, "new\r\n");
    EXPECT_TRUE(r.BackupFailed);
    EXPECT_FALSE(r.Save.ok());
    EXPECT_EQ(readFile(page), "old\r\n");
}

TEST(PageNames, ShortNamesAndCaptions)
{
    struct Case {
        std::string url, name;
    };
    for (const Case& c : {Case{"http://www.example.jp/dir/index.html", "index"},
                          Case{"http://www.example.jp/dir/abcdefghijk.htm", "cdefghijk"},
                          Case{"http://www.example.jp/dir/abcdefghi", "abcdefghi"},
                          Case{"http://www.example.jp/", "xample.jp"},
                          Case{"http://www2.host.jp/a/", "a"}})
        EXPECT_EQ(UrlShortName(c.url), c.name) << c.url;
    EXPECT_EQ(UrlShortName("http://h/" + sj("日本語のページの名前です.html")), sj("のページの名前です"));
    EXPECT_EQ(LocalFileCaptionName("/home/u/my page.html"), "my page.");
    EXPECT_EQ(LocalFileCaptionName("/home/u/abcdefghijkl.html"), "efghijkl.");
    EXPECT_EQ(LocalFileCaptionName("/home/u/" + sj("あいうえおかきくけこ.htm")), sj("うえおかきくけこ."));
}

TEST(PageNames, AttributesOfHtmlAndBody)
{
    const std::string src = "<HTML   lang=\"ja\"\r\n  dir=\"ltr\">\r\n<body bgcolor=\"#fff\"\r\ntext=\"#000\">";
    EXPECT_EQ(HtmlAttributesText(src), " lang=\"ja\" dir=\"ltr\"");
    EXPECT_EQ(BodyAttributesText(src), " bgcolor=\"#fff\"text=\"#000\"");
    EXPECT_EQ(BodyAttributesText("<p>no body</p>"), "");
}

TEST(PageNames, HeadAndBodyElements)
{
    struct Case {
        const char *page, *head, *body;
    } cases[] = {
        {"<HTML><HEAD><title>t</title></HEAD><BODY>a</body></html>", "<HEAD><title>t</title></HEAD>", "<BODY>a</body>"},
        // Unclosed: to the end of the text.
        {"<head><title>t</title><body>a", "<head><title>t</title><body>a", "<body>a"},
        // A page without either: no head, the whole text as its body.
        {"<p>x</p>", "", "<p>x</p>"},
        // The body runs to its last end tag; an end tag before the body is none of its own.
        {"</body><body>a</body>b</body>", "", "<body>a</body>b</body>"},
        {"x</body><body>a", "", "<body>a"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(HeadOfPage(c.page), c.head) << c.page;
        EXPECT_EQ(BodyOfPage(c.page), c.body) << c.page;
    }
}

// An XHTML page's empty elements are ended where its author ended them; what HTML reads the
// same either way, and any page that is not XHTML, stays as written.
TEST(XhtmlEmptyElements, ClosedOnlyWhereHtmlWouldReadThemOpen)
{
    const std::string x = "<?xml version=\"1.0\"?>\n";
    const struct {
        std::string in, out;
    } cases[] = {
        {x + "<h1><a id=\"top\"/>Title</h1>", x + "<h1><a id=\"top\"></a>Title</h1>"},
        {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><DIV class=a />x", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><DIV class=a ></DIV>x"},
        {x + "<br/><img src=\"a.png\" /><meta charset=\"utf-8\"/>", x + "<br/><img src=\"a.png\" /><meta charset=\"utf-8\"/>"},
        {x + "<a href=a/b/>x</a>", x + "<a href=a/b/>x</a>"},  // the slash is the value's
        {x + "<script src=\"a.js\"/><p>x</p>", x + "<script src=\"a.js\"/><p>x</p>"},
        {x + "<!-- <a id=\"c\"/> --><p title=\"<b/>\">x</p>", x + "<!-- <a id=\"c\"/> --><p title=\"<b/>\">x</p>"},
        {"<html><h1><a id=\"top\"/>Title</h1>", "<html><h1><a id=\"top\"/>Title</h1>"},  // an HTML page
    };
    for (const auto &c : cases) EXPECT_EQ(CloseEmptyXhtmlElements(c.in), c.out) << c.in;
}

TEST(Frames, CheckDisableAndEnable)
{
    EXPECT_EQ(CheckFramesetText("<FRAMESET cols=\"*\">"), -1);
    EXPECT_EQ(CheckFramesetText("<IFRAME src=a></IFRAME>"), -2);
    EXPECT_EQ(CheckFramesetText("<p>x</p>"), 0);
    const std::string page =
        "<IFRAME src=\"a.html\"></IFRAME><script>var s = \"<iframe></iframe>\";</script><!-- ==== menu ==== -->";
    const std::string off = DisableIframes(page);
    EXPECT_EQ(off, "<!-- ==<IFRAME src=\"a.html\"></IFRAME>== --><script>var s = \"<iframe></iframe>\";</script>"
                   "<!-- ==== menu ==== -->");
    EXPECT_EQ(CheckFramesetText(off), 0) << "a disabled page is not asked about again";
    EXPECT_EQ(EnableIframes(off), page);
}

// Frames of every shape come back byte for byte, and the text after a frame never ends up
// inside the comment that disables it.
TEST(Frames, EnablingWhatWasDisabledGivesThePageBack)
{
    const struct {
        const char* name;
        const char* frame;
    } shapes[] = {
        {"end tag with a blank", "<iframe src=\"f.html\"></iframe >"},
        {"end tag over lines", "<IFRAME src=f.html></IFRAME\r\n>"},
        {"tag closing itself", "<iframe src=\"f.html\"/>"},
        {"no end tag", "<iframe src=\"f.html\">"},
        {"comment end in the tag", "<iframe title=\"a-->b\" src=\"f.html\"></iframe>"},
        {"comment end in the content", "<iframe src=\"f.html\">a-->b --!> c</iframe>"},
        {"a comment in the content", "<iframe src=\"f.html\"><!-- old --></iframe>"},
        {"dashes and marks in the content", "<iframe src=\"f.html\">---=> --== -</iframe>"},
        {"frame text in a script", "<iframe src=\"f.html\"><script>\"</p>\"</script></iframe>"},
    };
    for (const auto& c : shapes) {
        const std::string page = std::string("<p>a</p>") + c.frame + "<p>after</p><!-- note -->\r\n<p>end</p>";
        const std::string off = DisableIframes(page);
        EXPECT_EQ(CheckFramesetText(off), 0) << c.name << "\n" << off;
        EXPECT_EQ(EnableIframes(off), page) << c.name << "\n" << off;
        int marks = 0, after = 0;
        for (const HtmlToken& t : ScanHtml(off)) {
            EXPECT_FALSE(t.isTag() && t.name == "iframe") << c.name << ": a frame left live\n" << off;
            marks += t.kind == HtmlToken::Kind::Comment && StartsWithNoCase(off.substr(t.begin), "<!-- ==<iframe");
            after += t.kind == HtmlToken::Kind::Text && off.compare(t.begin, 5, "after") == 0;
        }
        EXPECT_EQ(marks, 1) << c.name << "\n" << off;
        EXPECT_EQ(after, 1) << c.name << ": the text after the frame is not on the page\n" << off;
        // Both saves of the page give the frame back.
        const std::string saved = SaveGUILocalPageText(off);
        EXPECT_EQ(saved.find("<!-- =="), std::string::npos) << c.name << "\n" << saved;
        EXPECT_NE(saved.find(ReplaceAll(ReplaceAll(c.frame, "<IFRAME", "<iframe"), "</IFRAME>", "</iframe>")), std::string::npos)
            << c.name << "\n" << saved;
        const std::string marked = MarkedSaveText("<html><head><title>t</title></head>", "<body>" + off + "</body>", "", "", "p.html");
        EXPECT_EQ(marked.find("<!-- =="), std::string::npos) << c.name << "\n" << marked;
        int live = 0;
        for (const HtmlToken& t : ScanHtml(marked))
            live += t.kind == HtmlToken::Kind::StartTag && t.name == "iframe";
        EXPECT_EQ(live, 1) << c.name << "\n" << marked;
    }

    // Generated pages: frames of those shapes among comments, scripts and text.
    const char* const pieces[] = {
        "<p>text -- more</p>", "<!-- a -- b -->", "<script>var s = \"<iframe src=x></iframe>\";</script>",
        "<pre>\r\n  --> kept\r\n</pre>", "\r\n", "ｶﾅ 漢字 --=", "<IFRAME\r\nsrc=x>y</IFRAME>", "</iframe>"};
    std::mt19937 rng(31);
    for (int n = 0; n < 400; ++n) {
        std::string page;
        const int parts = 1 + int(rng() % 12);
        for (int i = 0; i < parts; ++i)
            page += rng() % 2 ? std::string(shapes[rng() % std::size(shapes)].frame) : std::string(pieces[rng() % std::size(pieces)]);
        page = Utf8ToAnsi(page);
        if (CheckFramesetText(page) != -2)
            continue;
        const std::string off = DisableIframes(page);
        ASSERT_EQ(EnableIframes(off), page) << off;
        for (const HtmlToken& t : ScanHtml(off))
            ASSERT_FALSE(t.kind == HtmlToken::Kind::StartTag && t.name == "iframe") << page << "\n" << off;
    }
}

TEST(Frames, ItemTargetsAndText)
{
    EXPECT_TRUE(FrameItemTargetOf("https://h/f.html").Fetch);
    EXPECT_TRUE(FrameItemTargetOf("http://h/f.html").Fetch);
    const FrameItemTarget local = FrameItemTargetOf("file:///home/u/file://x.html");
    EXPECT_FALSE(local.Fetch);
    EXPECT_EQ(local.Target, "/home/u/file://x.html");
    EXPECT_EQ(FrameTextCleanup("a\r\n\r\n\r\nb\r\nc"), "a\r\nb\r\nc") << "lines are not glued";
}

TEST(SaveTexts, OverwriteSaveRebuildsThePrologAndKeepsTheTitle)
{
    struct Case {
        const char* what;
        std::string in;
        std::vector<std::string> mustHave;
    };
    const std::vector<Case> cases = {
        {"meta run", "<!DOCTYPE x \"http://w/d.dtd\">\r\n<HTML>\r\n<HEAD>\r\n<meta a>\r\n<meta b>\r\n<TITLE>T</TITLE>\r\n<link x>\r\n</HEAD>",
         {"<!DOCTYPE x \"http://w/d.dtd\">\r\n<HTML>\r\n<head>\r\n<meta a>\r\n<meta b>\r\n<title>T</title>\r\n<link x>\r\n"}},
        {"no meta", "<html lang=\"en\"><head>\r\n<title>T2</title>\r\n</head>\r\n<body>x</body></html>",
         {"<html lang=\"en\">", "<title>T2</title>\r\n</head>"}},
        {"ends in a meta run", "<head>\r\n<title>T3</title>\r\n<meta a>", {"<title>T3</title>"}},
        {"title and text on one line", "<head>\r\n<title>T4</title><meta a>\r\n</head>", {"<meta a>", "<title>T4</title>"}},
        {"websphere mark only", "<head>\r\n<!-- websphere --><meta b>\r\n</head>", {"<meta b>"}},
        {"menu comment stays", "<head></head>\r\n<!-- ==== menu ==== -->", {"<!-- ==== menu ==== -->"}},
    };
    for (const Case& c : cases) {
        const std::string out = SaveGUILocalPageText(c.in);
        for (const auto& m : c.mustHave)
            EXPECT_NE(out.find(m), std::string::npos) << c.what << "\n" << out;
        EXPECT_EQ(out.find("websphere"), std::string::npos) << c.what;
    }
    // The page keeps its own document type and html start tag, also on the line of its head.
    for (const char* in : {"<!DOCTYPE html PUBLIC \"x\">\r\n<html><p>x</p>", "<!DOCTYPE html>\r\n<html lang=\"en\"><head><meta charset=UTF-8><title>t</title>"}) {
        const std::string out = SaveGUILocalPageText(in);
        EXPECT_EQ(out.find("4.01 Transitional"), std::string::npos) << out;
        EXPECT_EQ(out.find("lang=\"ja\""), std::string::npos) << out;
        const std::string doctype = std::string(in).substr(0, std::string(in).find('>') + 1);
        EXPECT_EQ(out.compare(0, doctype.size() + 2, doctype + "\r\n"), 0) << out;
    }
    EXPECT_NE(SaveGUILocalPageText("<!DOCTYPE html>\r\n<html lang=\"en\"><head>").find("\r\n<html lang=\"en\">\r\n"), std::string::npos);
}

TEST(SaveTexts, DriveRootsAndFolders)
{
    EXPECT_EQ(RemoveWinDiskRoot("<img src=\"C:/a/b.gif\"><a href=\"d:/x.html\">", ""),
              "<img src=\"/a/b.gif\"><a href=\"/x.html\">");
    EXPECT_EQ(RemoveWinDiskRoot("<a href=\"@/x\">", ""), "<a href=\"@/x\">") << "no root: left alone";
    EXPECT_EQ(RemoveWinDiskRoot("<a href=\"@/x\">", " host.jp "), "<a href=\"http://host.jp/x\">");
    std::vector<std::string> found;
    EXPECT_NE(CheckRemoveFolder("<img src=\"c:/a/b.gif\"><a href=\"C:/x.html\">", found), "");
    EXPECT_EQ(found, (std::vector<std::string>{"c:/a/b.gif", "C:/x.html"}));
    EXPECT_EQ(CheckRemoveFolder("<img src=\"h:/a.gif\">", found), "");
    EXPECT_TRUE(found.empty());
}

TEST(SaveTexts, MarkedSaveTakesTheFolderOnlyOutOfReferences)
{
    const std::string folder = "/home/u/site/";
    const std::string body = "<body>\r\n\r\n<p>see /home/u/site/ here</p>\r\n<img src=\"/home/u/site/a.gif\">\r\n"
                             "<div style=\"background:url(/home/u/site/b.gif)\">x</div>\r\n<pre>\r\na\r\n\r\nb\r\n</pre>\r\n</body>";
    const std::string t = MarkedSaveText("<html><head><title>t</title></head>", body, folder, "", "http://h/p.html");
    EXPECT_NE(t.find("see /home/u/site/ here"), std::string::npos) << "text keeps the folder";
    EXPECT_NE(t.find("src=\"a.gif\""), std::string::npos);
    EXPECT_NE(t.find("url(b.gif)"), std::string::npos);
    EXPECT_NE(t.find("a\r\n\r\nb"), std::string::npos) << "blank line inside pre kept";
    EXPECT_NE(t.find("<!-- made from \"http://h/p.html\" by VORN-KYMBrowser -->\r\n<head>"), std::string::npos) << t;
}

TEST(Sheets, ReferencesResolveAgainstPageBaseAndHref)
{
    const std::string doc = "http://h.jp/dir/page.html";
    struct Case {
        std::string ref, baseHref;
        bool script;
        std::string abs;
    };
    for (const Case& c : {Case{"https://cdn/x.css", "", false, "https://cdn/x.css"},
                          Case{"/css/a.css", "", false, "http://h.jp/css/a.css"},
                          Case{"a.css", "", false, "http://h.jp/dir/a.css"},
                          Case{"../b.css", "/", false, "http://h.jp/b.css"},
                          Case{"./c.css", "http://other.jp/base/", false, "http://other.jp/base/c.css"},
                          Case{"s.js", "", true, "http://h.jp/dir/s.js"}})
        EXPECT_EQ(ResolveSheetReference(c.ref, doc, "http://h.jp/", c.baseHref, c.script), c.abs) << c.ref;
}

TEST(Sheets, CharsetsPageSniffBlocksAndCaptions)
{
    EXPECT_EQ(ConvertSheetText("\xEF\xBB\xBF" "body{}", 2), "body{}") << "the byte-order mark goes before decoding";
    EXPECT_EQ(ConvertSheetText("\xEF\xBB\xBF" "<x>", 2), "<x>");
    EXPECT_EQ(ConvertSheetText("a\n\n\nb", 1), "a\r\n\r\n\r\nb") << "EUC-JP keeps its blank lines";
    EXPECT_EQ(ConvertSheetText("x\r\n", 5), "x\r\n");
    EXPECT_TRUE(IsHtmlPageText("  \r\n<!DOCTYPE html><html>"));
    EXPECT_TRUE(IsHtmlPageText("<HTML><body>404</body>"));
    EXPECT_FALSE(IsHtmlPageText("/* see <html> docs */ body{}")) << "a sheet that only mentions <html>";
    const std::string block = SheetFileBlock("a.css", "p{}\r\nq{}");
    EXPECT_NE(block.find(sj("【 ") + "a.css" + sj(" 】")), std::string::npos);
    EXPECT_NE(block.find("\r\n\r\np{}\r\nq{}\r\n\r\n/* ==="), std::string::npos);
    EXPECT_EQ(CaptionFolder(sj("【 ") + "/home/u/site/css/a.css" + sj(" 】")), "/home/u/site/css/");
    EXPECT_EQ(CaptionFolder(sj("【 ") + "C:\\web\\" + sj("表") + "\\a.css" + sj(" 】")), "C:\\web\\" + sj("表") + "\\");
    EXPECT_EQ(CaptionFolder(""), "");
}

TEST(Sheets, TidyKeepsExistingFilesWithBlanks)
{
    TempDir d;
    const std::string withBlank = (d.path / "my sheet.css").string();
    std::ofstream(withBlank) << "p{}";
    const auto out = TidySheetList({"b.css?v=1", "a.css", "a.css", withBlank, "/no such/x.css"});
    EXPECT_EQ(out, (std::vector<std::string>{withBlank, "a.css", "b.css"}));
}

TEST(Keywords, SplitLikeTheSearchPanes)
{
    using W = std::vector<std::string>;
    struct Case {
        std::string in;
        W words;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {" " + sj("　") + " ", {}},
        {"div span", {"div", "span"}},
        {"div  span", {"div", "span"}},
        {"div" + sj("　") + "span", {"div", "span"}},
        {"div,span", {"div", "span"}},
        {"div   span", {"div", "", "span"}},
        {"div, span", {"div", "", "span"}},
        {",div", {"", "div"}},
        {"div,", {"div", ""}},
        {"\"a b\"", {"a,b"}},
        {"\"say \"\"hi\"\"\",x", {"say,\"hi\"", "x"}},
        {sj("表示 ソース"), {sj("表示"), sj("ソース")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EdictScan(c.in), c.words) << c.in;
}

TEST(Keywords, HitLinesFormatAndParse)
{
    EXPECT_EQ(FormatHitLine(12, 5), "  12/05");
    EXPECT_EQ(FormatHitLine(12345, 123), "12345/123");
    int line = 0, col = 0;
    ASSERT_TRUE(ParseHitLine("  12/05", line, col));
    EXPECT_EQ(line, 12);
    EXPECT_EQ(col, 5);
    ASSERT_TRUE(ParseHitLine("   3/17 <div class", line, col));
    EXPECT_EQ(col, 17);
    ASSERT_TRUE(ParseHitLine("x/y", line, col));
    EXPECT_EQ(line, 0);
    EXPECT_EQ(col, 0);
    EXPECT_FALSE(ParseHitLine("12 05", line, col));
}
