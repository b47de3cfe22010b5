#include "text/HtmlRewrite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST(HtmlRewrite, MarkerSearches)
{
    EXPECT_EQ(PosExWeb("b", "abcb", 2), 4);
    EXPECT_EQ(PosExWeb("b", "abcb"), 2);
    // an empty value between the markers is empty, not the next value
    EXPECT_EQ(TextBetweenWeb("<img src=\"\"><img src=\"a.gif\">", "src=\"", "\""), "");
    EXPECT_EQ(TextBetweenWeb("src=\"a.gif\"", "src=\"", "\""), "a.gif");
    EXPECT_EQ(TextBetweenWeb("src=\"a.gif", "src=\"", "\""), "");
}

TEST(HtmlRewrite, RestructureHeadLaysOutAOneLineHead)
{
    const std::string html = "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html\"><LINK rel=\"stylesheet\" "
                             "href=\"a.css\"><TITLE>T</TITLE></HEAD><body><p>x</p><!-- c --><p>y</p></body></HTML>";
    const std::string want = "<html>\r\n"
                             "<head>\r\n"
                             "<meta http-equiv=\"Content-Type\" content=\"text/html\" />\r\n"
                             "<link rel=\"stylesheet\" href=\"a.css\" />\r\n"
                             "<title>T</title>\r\n"
                             "</head>\r\n"
                             "\r\n"
                             "<body><p>x</p>\r\n"
                             "<!-- c -->\r\n"
                             "<p>y</p></body></HTML>\r\n";
    EXPECT_EQ(RestructureHead(html), want);
}

TEST(HtmlRewrite, RestructureHeadEdges)
{
    // no head end: unchanged
    EXPECT_EQ(RestructureHead("<html><body>x</body></html>"), "<html><body>x</body></html>");
    // the character after "</head>" is kept
    EXPECT_EQ(RestructureHead("<head></head><body>"), "<head>\r\n</head>\r\n\r\n<body>\r\n");
    EXPECT_EQ(RestructureHead("<head></head>Xbody"), "<head>\r\n</head>\r\n\r\nXbody\r\n");
    // "> <meta": the blank goes with the break; two metas on one line both get closed
    EXPECT_EQ(RestructureHead("<head> <meta a=\"1\"> <meta b=\"2\"/></head>"),
              "<head>\r\n<meta a=\"1\" />\r\n<meta b=\"2\"/>\r\n</head>\r\n\r\n\r\n");
    // a script in the head keeps its lines, its blank line and the markup inside its strings
    const std::string script = "<head><script>\r\nvar a = '<link rel=x>';\r\n\r\n  if (a) { b(); }\r\n</script></head><body>";
    EXPECT_EQ(RestructureHead(script),
              "<head>\r\n<script>\r\nvar a = '<link rel=x>';\r\n\r\n  if (a) { b(); }\r\n</script>\r\n</head>\r\n\r\n<body>\r\n");
    // comments in a body script stay where they are
    EXPECT_EQ(RestructureHead("<head></head><script>s='<b><!--x-->'</script>"),
              "<head>\r\n</head>\r\n\r\n<script>s='<b><!--x-->'</script>\r\n");
}

TEST(HtmlRewrite, CharsetDeclarations)
{
    struct Case {
        const char* in;
        const char* want;
    } cases[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
        {"<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; CHARSET=euc-jp\">",
         "<META HTTP-EQUIV=Content-Type CONTENT=\"text/html; CHARSET=Shift_JIS\">"},
        {"<meta content=\"text/html;charset=iso-2022-jp\" http-equiv=\"content-type\">",
         "<meta content=\"text/html;charset=Shift_JIS\" http-equiv=\"content-type\">"},
        {"<meta charset=\"UTF-8\">", "<meta charset=\"Shift_JIS\">"},
        {"<meta charset='utf-8'>", "<meta charset='Shift_JIS'>"},
        {"<meta charset=utf-8>", "<meta charset=Shift_JIS>"},
        {"<script charset=\"utf-8\" src=\"a.js\"></script>", "<script charset=\"Shift_JIS\" src=\"a.js\"></script>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"},
        {"<?xml version='1.0' encoding='euc-jp'?>", "<?xml version='1.0' encoding='Shift_JIS'?>"},
        // only declarations change
        {"<td style=\"color:#ccf7ff\" bgcolor=\"#CCF7FF\">cf7</td>", "<td style=\"color:#ccf7ff\" bgcolor=\"#CCF7FF\">cf7</td>"},
        {"<a href=\"x?charset=utf-8\">charset=utf-8</a>", "<a href=\"x?charset=utf-8\">charset=utf-8</a>"},
        {"<script>h('charset=utf-8');</script>", "<script>h('charset=utf-8');</script>"},
        {"<meta charset=\"utf-16\">", "<meta charset=\"utf-16\">"},
        {"<meta content=\"text/html; charset=utf-8x\">", "<meta content=\"text/html; charset=utf-8x\">"},
        {"<meta charset=\"shift_jis\">", "<meta charset=\"shift_jis\">"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RewriteCharsetDeclsToSjis(c.in), c.want) << c.in;

    EXPECT_EQ(RewriteCharsetNamesToSjis("@charset \"utf-8\"; /* EUC-JP */"), "@charset \"Shift_JIS\"; /* Shift_JIS */");
}

TEST(HtmlRewrite, RebaseHrefs)
{
    struct Case {
        const char* in;
        int mode;
        const char* want;
    } cases[] = {
        {"<a href=\"/a.html\">", 0, "<a href=\"../a.html\">"},
        {"<a href=\"/a.html\">", 1, "<a href=\"/a.html\">"},
        {"<a href=\"/a.html\">", 2, "<a href=\"/a.html\">"},
        {"<a HREF=\"../../b/c.html\">", 0, "<a href=\"../b/c.html\">"},
        {"<a href=\"../../../../../x\">", 0, "<a href=\"../../x\">"},
        {"<a href=\"./c.html\"><a href=\"c.html\">", 0, "<a href=\"../c.html\"><a href=\"c.html\">"},
        {"<a href=\"//cdn.example/x\">", 0, "<a href=\"//cdn.example/x\">"}, // another host
        {"<a href=\"http://h/x\">", 0, "<a href=\"http://h/x\">"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RebaseHrefs(c.in, "../", c.mode), c.want) << c.in << " mode " << c.mode;
    // each value is rebased once, whatever the new prefix looks like
    EXPECT_EQ(RebaseHrefs("<a href=\"../x\">", "/local/", 0), "<a href=\"/local/x\">");
}

TEST(HtmlRewrite, RebaseSrcRefs)
{
    const std::string oldBase = "http://host/";
    struct Case {
        const char* in;
        int mode;
        const char* want;
    } cases[] = {
        {"<img src=\"/i/a.gif\">", 0, "<img src=\"img/i/a.gif\">"},
        {"<img src='./a.gif'>", 0, "<img src='img/a.gif'>"},
        {"<img src=\"http://host/i/a.gif\">", 0, "<img src=\"i/a.gif\">"},
        {"<img src=\"//cdn/a.gif\">", 0, "<img src=\"//cdn/a.gif\">"},
        {"<img src=\"b.gif\">", 0, "<img src=\"b.gif\">"},
        {"<div style=\"background:url(/bg.png)\">", 0, "<div style=\"background:url(img/bg.png)\">"},
        {"<div style=\"background:url(//cdn/bg.png)\">", 0, "<div style=\"background:url(//cdn/bg.png)\">"},
        {"<div id=\"_main\"><img src=\"/a.gif\">", 0, "<div id=\"main\"><img src=\"img/a.gif\">"},
        {"<div id=\"_main\"><img src=\"/a.gif\">", 1, "<div id=\"main\"><img src=\"/a.gif\">"},
        {"<div id=\"_main\"><img src=\"/a.gif\">", 2, "<div id=\"main\"><img src=\"/a.gif\">"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RebaseSrcRefs(c.in, oldBase, "img/", c.mode), c.want) << c.in << " mode " << c.mode;
    // a new base that begins with "./" is used as it is, and not rebased a second time
    EXPECT_EQ(RebaseSrcRefs("<img src=\"/a.gif\">", "", "./img/", 0), "<img src=\"./img/a.gif\">");

    EXPECT_EQ(RebaseSrcParentRefs("<img src=\"../a.gif\">", "", 0), "<img src=\"/a.gif\">");
    EXPECT_EQ(RebaseSrcParentRefs("<img src=\"http://host/../a.gif\"><img src=\"http://host/b.gif\">", "http://host/", 0),
              "<img src=\"/a.gif\"><img src=\"b.gif\">");
    EXPECT_EQ(RebaseSrcParentRefs("<img src=\"../a.gif\">", "", 1), "<img src=\"../a.gif\">");
}

// Two style sheets joined, each block followed by the banner that names it.
const std::string kJoinedCss = "body{background:url(bg.png)}\r\n"
                               "@import \"sub/a.css\";\r\n"
                               "/* 1 <[http://host/css/main.css]> */\r\n"
                               "p{background:url('../img/p.gif')}\r\n"
                               "h1{background:url(/img/h.gif)} h2{background:url(https://o.example/h2.gif)}\r\n"
                               "/* 1 <[https://cdn.example/x/other.css]> */\r\n"
                               "em{background:url(late.gif)}\r\n";

TEST(HtmlRewrite, ListCssRefUrlsResolvesAgainstTheNextMarker)
{
    Strings list{"kept"};
    EXPECT_TRUE(ListCssRefUrls(kJoinedCss, "url(", ")", "http://page/d/", list, 0));
    EXPECT_EQ(list, (Strings{"kept", "http://host/css/bg.png", "https://cdn.example/img/p.gif",
                             "https://cdn.example/img/h.gif", "https://o.example/h2.gif", "http://page/d/late.gif"}));

    list.clear();
    EXPECT_TRUE(ListCssRefUrls(kJoinedCss, "@import ", ";", "http://page/d/", list, 0));
    EXPECT_EQ(list, (Strings{"http://host/css/sub/a.css"}));

    list.clear();
    EXPECT_TRUE(ListCssRefUrls("@import \"a.css\";\r\n@import url(/b.css);", "@import ", ";", "http://host/css/", list, 0));
    EXPECT_EQ(list, (Strings{"http://host/css/a.css", "http://host/b.css"}));
    list.clear();
    EXPECT_TRUE(ListCssRefUrls("@import'a.css' screen;\r\n@import url(/b.css);", "@import ", ";", "http://host/css/", list, 1));
    EXPECT_EQ(list, (Strings{"http://host/b.css"})); // mode 1: url(...) values only

    // a local base: references count from the folder of the file
    list.clear();
    EXPECT_TRUE(ListCssRefUrls("a{background:url(../i/a.png)}", "url(", ")", "/dl/host/css/s.css", list, 0));
    EXPECT_EQ(list, (Strings{"/dl/host/i/a.png"}));

    // a second URL glued to the first is cut off
    list.clear();
    EXPECT_TRUE(ListCssRefUrls("a{background:url(http://host.example/x.gifhttp://h/y.gif)}", "url(", ")", "http://h/", list, 0));
    EXPECT_EQ(list, (Strings{"http://host.example/x.gif"}));

    list.clear();
    EXPECT_FALSE(ListCssRefUrls("a{color:red}", "url(", ")", "http://h/", list, 0));
    EXPECT_TRUE(list.empty());
}

TEST(HtmlRewrite, ListPageRefUrls)
{
    Strings list;
    EXPECT_TRUE(ListPageRefUrls(kJoinedCss, "url(", ")", "http://page/d/", list, 0));
    EXPECT_EQ(list, (Strings{"http://host/css/bg.png", "https://cdn.example/img/p.gif", "https://cdn.example/img/h.gif",
                             "https://o.example/h2.gif", "http://page/d/late.gif"}));

    // a plain page has no markers: everything resolves against the page folder
    const std::string page = "<body background=\"../bg.gif\"><td background=\"./c.gif\"><td background=\"/r.gif\">"
                             "<td background=\"p.gif\"><td background=\"\"><td background=\"url('u.gif')\">";
    list.clear();
    EXPECT_TRUE(ListPageRefUrls(page, "background=\"", "\"", "http://h/a/b/", list, 0));
    EXPECT_EQ(list, (Strings{"http://h/a/bg.gif", "http://h/a/b/c.gif", "http://h/r.gif", "http://h/a/b/p.gif",
                             "http://h/a/b/u.gif"}));
    list.clear();
    EXPECT_TRUE(ListPageRefUrls(page, "background=\"", "\"", "http://h/a/b/", list, 1));
    EXPECT_EQ(list, (Strings{"http://h/a/b/u.gif"}));
    EXPECT_FALSE(ListPageRefUrls(page, "src=\"", "\"", "http://h/", list, 0));
}

TEST(HtmlRewrite, ListMarkedCssRefUrls)
{
    const std::string text = "[ http://h/css/a.css ]\r\n"
                             "<img src=\"./x.gif\"><img src=\"/y.gif\"><img src='z.gif'>\r\n"
                             "<div style=\"background:url(&quot;q.png&quot;)\">\r\n"
                             "<link href=\"s.css\"><img src=\"w.gif\">\r\n";
    Strings list;
    EXPECT_TRUE(ListMarkedCssRefUrls(text, "src=\"", "\"", list));
    EXPECT_EQ(list, (Strings{"http://h/css/a.css", "x.gif", "/y.gif", "w.gif"}));
    list.clear();
    EXPECT_FALSE(ListMarkedCssRefUrls(text, "data=\"", "\"", list));
    EXPECT_TRUE(list.empty());
}

TEST(HtmlRewrite, ListMarkedCssUrls)
{
    const std::string text = "a{background:url(early.gif)}\r\n"
                             "[ http://h/css/sub/a.css ]\r\n"
                             "a{background:url(../img/a.png)}b{background:url(\"b.png\")}c{background:url('/c.png')}\r\n"
                             "d{background:url(../../d.png)}@import url(more.css);\r\n"
                             "e{background:url(https://o.example/e.png)}f{background:url(data:image/png;base64,AAAA)}\r\n"
                             "g{fill:url(#grad)}h{background:url()}\r\n";
    Strings list{"old"};
    EXPECT_TRUE(ListMarkedCssUrls(text, list));
    EXPECT_EQ(list, (Strings{"http://h/css/img/a.png", "http://h/css/sub/b.png", "http://h/c.png", "http://h/d.png",
                             "https://o.example/e.png"}));

    // without a "[ ]" line, the banner after the block names the sheet
    list.clear();
    EXPECT_TRUE(ListMarkedCssUrls("p{background:url(i/p.gif)}\r\n/* <[http://h/s/x.css]> */\r\n", list));
    EXPECT_EQ(list, (Strings{"http://h/s/i/p.gif"}));
}

TEST(HtmlRewrite, ListCssUrlsTakesEveryTargetOfAMinifiedLine)
{
    Strings list{"old"};
    EXPECT_TRUE(ListCssUrls("a{background:url(a.png)}b{background:url(\"b.png\")}c{background:url( )}\r\nd{x:url('d.png')}", list));
    EXPECT_EQ(list, (Strings{"a.png", "b.png", "d.png"}));
    EXPECT_FALSE(ListCssUrls("a{color:red}", list));
    EXPECT_TRUE(list.empty());
}

TEST(HtmlRewrite, ListFrameSources)
{
    const std::string iframes = "<p><IFRAME SRC=\"Top/Page.html\"></IFRAME><iframe src='logo.gif'></iframe>"
                                "<iframe src=\"/Abs.html\"></iframe><iframe src=\"sub/\"></iframe>"
                                "<iframe src=\"https://other.example/X.html\"></iframe><iframe src=\"about:blank\"></iframe>"
                                "<!-- <iframe src=\"hidden.html\"></iframe> --><iframe src=\"page.jsp\"></iframe>";
    Strings list{"old"};
    EXPECT_TRUE(ListFrameSources("http://h/d/", iframes, list));
    EXPECT_EQ(list, (Strings{"http://h/d/Top/Page.html", "http://h/Abs.html", "http://h/d/sub/index.html",
                             "https://other.example/X.html", "http://h/d/page.jsp"}));
    EXPECT_TRUE(ListFrameSources("https://h/d/", iframes, list));
    EXPECT_EQ(list[0], "https://h/d/Top/Page.html");
    EXPECT_EQ(list[3], "https://other.example/X.html");

    const std::string frames = "<frameset cols=\"20%,*\"><frame src=\"menu.html\" name=m><frame src=main.html></frameset>";
    EXPECT_TRUE(ListFrameSources("https://h/", frames, list));
    EXPECT_EQ(list, (Strings{"https://h/menu.html", "https://h/main.html"}));

    EXPECT_FALSE(ListFrameSources("http://h/", "<img src=\"a.gif\"><iframe></iframe>", list));
    EXPECT_TRUE(list.empty());
}

} // namespace
