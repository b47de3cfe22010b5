// The source tabs' texts, without a window: script and style blocks, the engine's script file,
// the clipboard list, the simplified result page of both engines and the raw page's decoding.
#include "mainwindow/ResultSource.h"
#include "platform/QtSjis.h"
#include "text/JCode.h"
#include <gtest/gtest.h>

namespace {
std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }
}

TEST(ResultSource, ScriptBlocksComeOnePerElementInPageOrder)
{
    const struct {
        const char *name, *html, *want;
    } rows[] = {
        {"two plain scripts", "<p>x</p><script>a();b();</script><div></div><script>c();</script>",
         "<script>\r\na();\r\nb();\r\n\r\n</script>\r\n\r\n<script>\r\nc();\r\n\r\n</script>\r\n\r\n"},
        {"a src script and one with attributes keep their own tags",
         "<script src=\"x.js\"></script><script type=\"text/javascript\">d()</script>",
         "<script src=\"x.js\">\r\n\r\n</script>\r\n\r\n<script type=\"text/javascript\">\r\nd()\r\n</script>\r\n\r\n"},
        {"no script", "<p>plain</p>", ""},
        {"an unclosed script gives nothing", "<script>a()", ""},
    };
    for (const auto &r : rows) EXPECT_EQ(ScriptBlocksText(r.html), r.want) << r.name;
}

TEST(ResultSource, StyleRulesAreLaidOutAndUrlsKeepTheirScheme)
{
    EXPECT_EQ(StyleBlocksText("<style>a{color:red}</style>"),
              "<style\r\n>\r\na{\r\n\tcolor:\t\t\t\t\t\tred\r\n}\r\n</style>\r\n");
    const std::string s = StyleBlocksText("<style>b{background:url(http://h/i.png)}</style>");
    EXPECT_NE(s.find("url(http://h/i.png)"), std::string::npos) << s;
    EXPECT_NE(s.find("background:\t\t\t\t\t\turl"), std::string::npos) << s;
}

TEST(ResultSource, SourceForBlocksFindsScriptsOfAServedPage)
{
    const std::string page = "<HTML><HEAD><SCRIPT>x=1;</SCRIPT><STYLE>p{margin:0}</STYLE></HEAD><BODY></BODY></HTML>";
    const std::string src = SourceForBlocks(page);
    EXPECT_NE(ScriptBlocksText(src).find("x=1;"), std::string::npos);
    EXPECT_NE(StyleBlocksText(src).find("margin:"), std::string::npos);
}

TEST(ResultSource, ClipboardListHasACommaForTheTab)
{
    EXPECT_EQ(UrlListForClipboard({" 1.  title\thttp://a/", " 2.  other\thttps://b/"}),
              " 1.  title,http://a/\r\n 2.  other,https://b/");
    EXPECT_EQ(UrlListForClipboard({}), "");
}

TEST(ResultSource, EngineScriptFileIsNamedFetchedFromTheRootAndLaidOut)
{
    EXPECT_EQ(EngineScriptPath("<script>google.dlj('/extern/x.js?v=1')</script>"), "/extern/x.js?v=1");
    EXPECT_EQ(EngineScriptPath("<script>nothing()</script>"), "");
    EXPECT_EQ(SiteRootOf("https://www.google.co.jp/search"), "https://www.google.co.jp");
    EXPECT_EQ(SiteRootOf("http://127.0.0.1:8080/search?q=1"), "http://127.0.0.1:8080");
    const std::string out = FormatEngineScript("http://h/x.js", "(function(){a();if(b){c()};d;})()function f(){}");
    EXPECT_EQ(out.substr(0, out.find("\r\n\r\n(function")),
              sj("【【【【【 ") + "\r\n     http://h/x.js\r\n\r\n" + sj(" 】】】】】") + "\r\n");
    EXPECT_NE(out.find("\r\n\r\n(function(){\r\na();\r\nif(b){\r\nc()};\r\nd;}\r\n"), std::string::npos) << out;
}

TEST(ResultSource, PageMarkersMatchBothSerialisations)
{
    size_t len = 0;
    const struct {
        const char *text, *marker;
        bool found;
    } rows[] = {
        {"x<DIV id=gbar>y", "<DIV id=gbar>", true},
        {"x<div id=\"gbar\">y", "<DIV id=gbar>", true},
        {"x<div id='gbar'>y", "<DIV id=gbar>", true},
        {"x<div id=\"gbarx\">y", "<DIV id=gbar>", false},
        {"<li class=g>", "<li class=\"g\">", true},
        {"<LI CLASS=\"G\">", "<li class=\"g\">", true},
        {"<li class=\"gb\">", "<li class=\"g\">", false},
        {"return\" clk", "return\" clk", true},
        {"RETURN\" clk", "return\" clk", false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(FindPageMarker(r.text, r.marker, 0, &len) != std::string::npos, r.found) << r.text << " / " << r.marker;
}

namespace {
// Result pages of the two engines, in the old serialisation and as the engine serialises them.
const char *kFirstOld =
    "<HTML><HEAD><SCRIPT>var a;</SCRIPT><STYLE>p{}</STYLE></HEAD><BODY><DIV id=gbar><A href=x>bar</A></DIV>"
    "<H2>Heading</H2><OL><LI class=g><A href=\"http://r1/\">R1</A><SPAN class=f>snip</A></SPAN></SPAN></LI>"
    "<TABLE><TBODY><TR><TD>nav</TD></TR></TBODY></TABLE></OL></BODY></HTML>";
const char *kFirstNew =
    "<html><head><script>var a;</script><style>p{}</style></head><body><div id=\"gbar\"><a href=\"x\">bar</a></div>"
    "<h2>Heading</h2><ol><li class=\"g\"><a href=\"http://r1/\">R1</a><span class=\"f\">snip</a></span></span></li>"
    "<table><tbody><tr><td>nav</td></tr></tbody></table></ol></body></html>";
const char *kSecondOld =
    "<HTML><BODY><A id=pagetop href=\"#\">top</A><DIV>frame</DIV><H2>ウェブ</H2><UL><LI class=w><DIV class=a>"
    "<A href=\"http://r2/\">R2</A></DIV></LI></UL></BODY></HTML>";
const char *kSecondNew =
    "<html><body><a id=\"pagetop\" href=\"#\">top</a><div>frame</div><h2>ウェブ</h2><ul><li class=\"w\"><div class=\"a\">"
    "<a href=\"http://r2/\">R2</a></div></li></ul></body></html>";
} // namespace

TEST(ResultSource, SimplifiedPageLosesScriptsStylesAndTheEngineFrame)
{
    const std::string sep = "<!-- ==== -->";
    const struct {
        const char *name, *html;
        bool second;
        const char *gone[3];
        const char *kept;
        const char *cut;  // what the further simplification puts a separator before or in place of
    } rows[] = {
        {"first, old", kFirstOld, false, {"var a", "gbar", "Heading"}, "R1", "<LI class=g>"},
        {"first, engine", kFirstNew, false, {"var a", "gbar", "Heading"}, "R1", "<li class=\"g\">"},
        {"second, old", kSecondOld, true, {"pagetop", "frame", "ウェブ"}, "R2", "<LI class=w>"},
        {"second, engine", kSecondNew, true, {"pagetop", "frame", "ウェブ"}, "R2", "<li class=\"w\">"},
    };
    for (const auto &r : rows) {
        const std::string s = SimplifiedResultHtml(sj(r.html), r.second);
        for (const char *g : r.gone) EXPECT_EQ(s.find(sj(g)), std::string::npos) << r.name << ": " << g << " in " << s;
        EXPECT_NE(s.find(r.kept), std::string::npos) << r.name;
        EXPECT_EQ(s.find("<style"), std::string::npos) << r.name;
        const std::string further = FurtherSimplifiedResultHtml(s, r.second, sep);
        EXPECT_NE(further.find("\r\n" + sep + "\r\n"), std::string::npos) << r.name << ": " << further;
        EXPECT_NE(further.find(r.kept), std::string::npos) << r.name;
        if (!r.second) {
            EXPECT_EQ(further.find("snip"), std::string::npos) << r.name;
            EXPECT_EQ(further.find("nav"), std::string::npos) << r.name;
        }
    }
    // A live page without the markers keeps its body.
    const std::string plain = "<html><body><p>text</p></body></html>";
    EXPECT_NE(SimplifiedResultHtml(plain, false).find("<p>text</p>"), std::string::npos);
    EXPECT_EQ(FurtherSimplifiedResultHtml(plain, false, sep), plain);
}

TEST(ResultSource, RawPageIsDecodedByItsDeclaredCharset)
{
    const std::string jp = "日本語";
    const struct {
        const char *name;
        std::string bytes, want;
    } rows[] = {
        {"utf-8 declared", "<meta charset=\"utf-8\">" + jp, "<meta charset=\"utf-8\">" + sj(jp.c_str())},
        {"utf-8 undeclared", "<p>" + jp, "<p>" + sj(jp.c_str())},
        {"shift_jis declared", "<meta charset=shift_jis>" + sj(jp.c_str()), "<meta charset=shift_jis>" + sj(jp.c_str())},
        {"euc-jp declared", "<meta charset=euc-jp>" + SjisToEuc(sj(jp.c_str()), 0),
         "<meta charset=euc-jp>" + sj(jp.c_str())},
        {"plain ascii", "<p>abc</p>", "<p>abc</p>"},
    };
    for (const auto &r : rows) EXPECT_EQ(RawPageText(r.bytes), r.want) << r.name;
}
