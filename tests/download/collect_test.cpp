// The page-parts collection on the fixture site, with the real fetch: what it lists, how it
// resolves, what it fetches and how often.
#include "download/DownloadEngine.h"
#include "support/FixtureSite.h"
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

bool contains(const std::vector<std::string> &v, const std::string &s) { return std::find(v.begin(), v.end(), s) != v.end(); }

bool anyStartsWith(const std::vector<std::string> &v, const std::string &s)
{
    return std::any_of(v.begin(), v.end(), [&](const std::string &l) { return l.rfind(s, 0) == 0; });
}

struct Collected {
    FixtureSite site;
    QTemporaryDir dir;
    DownloadEngine e;
    int result = 0;
    Collected(std::vector<std::string> browserImages = {})
    {
        e.Opt.CssSaveFolder = dir.path().toStdString() + "/";
        e.Opt.BrowserImages = std::move(browserImages);
        result = e.MainTopGetPageImageCSS(site.pageUrl(), 0);
    }
};

} // namespace

TEST(Collect, ListsTheFixturesPartsResolvedOnceEach)
{
    Collected c;
    ASSERT_EQ(c.result, 0);
    const auto &site = c.site;
    auto &e = c.e;

    // Tag values: quoted and unquoted, each once, in sorted order.
    const auto &tags = e.Lines("GTagValueList");
    EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
    EXPECT_TRUE(contains(tags, "img/unquoted.png"));
    EXPECT_TRUE(contains(tags, "css/a.css"));
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "css/a.css"), 1);
    EXPECT_EQ(e.Lines("ListBoxWebPageCSS"), tags);

    // The chain a.css -> b.css -> ../sub/c.css, each level against its own sheet.
    const auto &obtained = e.Lines("ListBoxObtainedCSS");
    for (const char *p : {"/site/css/a.css", "/site/css/b.css", "/site/sub/c.css"})
        EXPECT_TRUE(anyStartsWith(obtained, site.url(p) + J("\t○　"))) << p;
    // The 404 and the sheet that answers with an HTML page fail the check.
    EXPECT_TRUE(anyStartsWith(obtained, site.url("/site/css/missing.css") + J("\t●")));
    EXPECT_TRUE(anyStartsWith(obtained, site.url("/site/css/errpage.css") + J("\t●")));

    // The final image list: tag images, the image named only in c.css, the root-relative one.
    const auto &images = e.Lines("ListBoxBodyPageCSSImage");
    for (const char *p : {"/site/sub/img/c1.png", "/site/img/a1.png", "/site/img/b1.png", "/site/img/bg.gif",
                          "/site/img/unquoted.png", "/site/img/a.png?v=1"})
        EXPECT_TRUE(contains(images, site.url(p))) << p;
    EXPECT_TRUE(contains(e.Lines("ListBoxPageCSS"), site.url("/site/sub/c.css")));

    // Banners: each block is followed by the closing banner of its own sheet.
    EXPECT_NE(e.AggregatedText.find(J("/********* １■■【  <(") + site.url("/site/css/a.css") + J(")>  】●● **********/")),
              std::string::npos);
    EXPECT_NE(e.AggregatedText.find(J("/********* ２■■【  <[") + site.url("/site/sub/c.css") + J("]>  】●● **********/")),
              std::string::npos);
    EXPECT_EQ(e.DeclaredCharset, "Shift_JIS");

    // One fetch per URL in the whole run: probe, mirrored save and both passes share it.
    for (const char *p : {"/site/index.html", "/site/css/a.css", "/site/css/b.css", "/site/sub/c.css",
                          "/site/css/missing.css", "/site/css/errpage.css", "/site/css/redir.css"})
        EXPECT_EQ(site.requests(p), 1) << p;
    EXPECT_EQ(site.requests("/site/js/app.js?ver=2"), 1);
}

TEST(Collect, MirroredSheetsStayInTheFolderWithNoProbeLitter)
{
    Collected c;
    ASSERT_EQ(c.result, 0);
    const std::string root = c.dir.path().toStdString();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(root + "/site/css/a.css")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(root + "/localhost!" + std::to_string(c.site.port()) + "/other/x.css")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/site/css/missing.css")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/site/css/errpage.css")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/dummy.css")));
    EXPECT_TRUE(anyStartsWith(c.e.Lines("ListBoxCSSDownloadedFile"), c.site.url("/site/css/a.css") + J("\t○◎ ")));
}

TEST(Collect, BrowserImagesAreAddedCutAtAnInnerUrl)
{
    Collected c({"http://example.invalid/pane.png", "http://example.invalid/r?u=http://x/y.png"});
    ASSERT_EQ(c.result, 0);
    const auto &images = c.e.Lines("ListBoxBodyPageCSSImage");
    EXPECT_TRUE(contains(images, "http://example.invalid/pane.png"));
    EXPECT_TRUE(contains(images, "http://example.invalid/r?u="));
}

TEST(Collect, NothingToCollectLeavesTheListsOrClearsThem)
{
    FixtureSite site;
    site.put("/plain.html", "<html><body>no parts</body></html>", "text/html");
    DownloadEngine e;
    e.Add("ListBoxPageCSS", "kept");
    EXPECT_EQ(e.MainTopGetPageImageCSS("", 0), -1);
    EXPECT_EQ(e.Lines("ListBoxPageCSS").size(), 1u);
    EXPECT_EQ(e.MainTopGetPageImageCSS(site.url("/nothing.html"), 0), -1);
    EXPECT_EQ(e.InfoLabel, J("■■　【 ") + site.url("/nothing.html") + J("  】がＷｅｂサイトに存在しません"));
    EXPECT_EQ(e.Lines("ListBoxPageCSS").size(), 1u);
    e.Opt.FromClipboard = true;
    e.Opt.ClipboardHtml = "no markup here";
    EXPECT_EQ(e.MainTopGetPageImageCSS(site.url("/plain.html"), 0), -1);
    e.Opt.FromClipboard = false;
    EXPECT_EQ(e.MainTopGetPageImageCSS(site.url("/plain.html"), 0), -1);
    EXPECT_TRUE(e.Lines("ListBoxPageCSS").empty());
}

TEST(Collect, PagesInOtherEncodingsAreShownInShiftJis)
{
    FixtureSite site;
    for (const char *p : {"/site/euc.html", "/site/utf8.html"}) {
        DownloadEngine e;
        ASSERT_EQ(e.MainTopGetPageImageCSS(site.url(p), 0), 0) << p;
        EXPECT_NE(e.WorkingText.find(FixtureSite::sjis("文字")), std::string::npos) << p;
        EXPECT_TRUE(contains(e.Lines("ListBoxPageCSS"), site.url("/site/css/a.css"))) << p;
    }
    DownloadEngine e;
    ASSERT_EQ(e.MainTopGetPageImageCSS(site.url("/site/utf8.html"), 0), 0);
    EXPECT_NE(e.WorkingText.find("&#169;"), std::string::npos); // no "?" for a sign Shift_JIS lacks
}

TEST(Collect, BaseHrefAndPageTypeTables)
{
    const struct {
        const char *html, *folder;
    } bases[] = {
        {"<base href=\"http://Host/Dir/Page.html\">", "http://Host/Dir/"},
        {"<BASE HREF=\"http://host\">", "http://host/"},
        {"<base href=\"/\">", "/"},
        {"<base target=\"_blank\">", ""},
        {"<base target=\"x\" href=http://h/a/b/>", "http://h/a/b/"},
        {"<p>no base</p>", ""},
    };
    for (const auto &b : bases) EXPECT_EQ(GetBaseHref(b.html), b.folder) << b.html;

    const struct {
        const char *html;
        int kind;
        std::size_t frames;
    } types[] = {
        {"<frameset><frame src=\"a.html\"><frame src=\"b.html\"></frameset>", 1, 2},
        {"<body><iframe src=\"f.html\"></iframe></body>", 2, 1},
        {"<body><p>an iframe is mentioned here</p></body>", 0, 0},
        {"<body><script>var s = '<iframe>';</script></body>", 0, 0},
    };
    for (const auto &t : types) {
        std::vector<std::string> list;
        EXPECT_EQ(GetHTMLType(t.html, "http://h/d/p.html", list), t.kind) << t.html;
        EXPECT_EQ(list.size(), t.frames) << t.html;
    }
}
