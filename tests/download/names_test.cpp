// Local names: the URL-to-path mapper, the folder masks and the page-name rules.
#include "download/DownloadEngine.h"
#include "download/PageNames.h"
#include "download/UrlMapper.h"
#include "text/PathGuard.h"
#include <gtest/gtest.h>

TEST(UrlMapper, EveryResultLiesBelowTheRootOrIsRefused)
{
    const std::string page = "http://site.jp/a/page.html";
    const struct {
        const char *url, *rel; // "" = refused
    } table[] = {
        {"http://site.jp/a/b/c.css", "a/b/c.css"},
        {"http://site.jp/a/../../../../escape.png", "escape.png"},       // RFC resolution clamps at the root
        {"http://site.jp/a/%2e%2e/x.png", ""},                           // an encoded ".." is refused
        {"http://site.jp/a/%2E%2E/%2E%2E/x.png", ""},
        {"http://site.jp/a/b%2Fc.png", "a/b%2Fc.png"},                    // an encoded "/" stays one name
        {"http://site.jp/a/b%5C..%5Cc.png", "a/b%5C..%5Cc.png"},
        {"http://site.jp/a/b%00c.png", "a/b%00c.png"},
        {"http://site.jp/a/img.png?v=1", "a/img.png_v=1"},
        {"http://site.jp/a/img.png#frag", "a/img.png"},
        {"http://site.jp/a/%E6%97%A5%E6%9C%AC.png", "a/\x93\xfa\x96\x7b.png"}, // 日本.png in Shift_JIS
        {"http://site.jp/a/a%20b.png", "a/a b.png"},
        {"http://site.jp/a/%F0%9F%98%80.png", "a/%F0%9F%98%80.png"},         // no Shift_JIS form: escapes kept
        {"http://site.jp/a/%ff.png", "a/%ff.png"},                          // not UTF-8: escapes kept
        {"http://cdn.site.jp/x.js", "cdn.site.jp/x.js"},
        {"http://site.jp:8080/x.js", "site.jp!8080/x.js"},
        {"https://site.jp/x.js", "x.js"},             // the scheme's own port: same site
        {"http://site.jp/dir/", "dir/index.html"},
        {"http://site.jp/a|b*c:d.css", "a~b;c!d.css"},
        {"ftp://site.jp/x", ""},
    };
    for (const auto &t : table) {
        UrlMapper m("/save/root/", page);
        const UrlMapper::Result r = m.Map(t.url);
        EXPECT_EQ(r.Rel, t.rel) << t.url;
        if (r.ok()) EXPECT_TRUE(IsPathBelowRoot("/save/root", r.Abs)) << t.url;
        else EXPECT_EQ(std::string(t.rel), "") << t.url;
    }
}

TEST(UrlMapper, LongNamesAndCollisionsGetAStableHash)
{
    UrlMapper m("/r", "http://h/p.html");
    const std::string longName(400, 'n');
    const UrlMapper::Result a = m.Map("http://h/" + longName + ".css");
    ASSERT_TRUE(a.ok());
    EXPECT_LE(a.Rel.size(), 160u);
    EXPECT_EQ(a.Rel.substr(a.Rel.size() - 4), ".css");
    EXPECT_EQ(UrlMapper("/r", "http://h/p.html").Map("http://h/" + longName + ".css").Rel, a.Rel);

    // "a.png?x" and "a.png_x" would share a file: the second takes a hash before its extension.
    const UrlMapper::Result q = m.Map("http://h/a.png?x");
    const UrlMapper::Result u = m.Map("http://h/a.png_x");
    EXPECT_EQ(q.Rel, "a.png_x");
    EXPECT_NE(u.Rel, q.Rel);
    EXPECT_EQ(m.Map("http://h/a.png?x").Rel, q.Rel); // the same URL keeps its file
}

TEST(UrlMapper, PrefixesGoFromTheStartOnly)
{
    UrlMapper m("/r", "http://h/a/p.html");
    EXPECT_EQ(m.Peek("http://h/a/x.css", {"a/"}).Rel, "x.css");
    EXPECT_EQ(m.Peek("http://h/data/x.css", {"a/"}).Rel, "data/x.css");
    EXPECT_EQ(m.Peek("http://other/a/x.css", {"a/"}).Rel, "other/a/x.css");
    EXPECT_EQ(m.Peek("http://h/a/b/x.css", {"a\\b\\"}).Rel, "x.css");
}

TEST(UrlMapper, ReferencesArePercentEncodedRelativePaths)
{
    const struct {
        const char *from, *to, *ref;
    } table[] = {
        {"css/a.css", "img/a.png", "../img/a.png"},
        {"a.css", "img/a.png", "img/a.png"},
        {"x/y/a.css", "b.css", "../../b.css"},
        {"css/a.css", "css/b.css", "b.css"},
        {"a.css", "img/a b.png", "img/a%20b.png"},
        {"a.css", "\x93\xfa\x96\x7b.png", "%E6%97%A5%E6%9C%AC.png"},
        {"a.css", "%ff.png", "%25ff.png"},
        {"a.css", "img/a.png_v=1", "img/a.png_v=1"},
    };
    for (const auto &t : table) EXPECT_EQ(UrlMapper::RelativeRef(t.from, t.to), t.ref) << t.from << " -> " << t.to;
}

TEST(FolderMasks, MasksRootTreeAndSingleFile)
{
    DownloadEngine e;
    EXPECT_EQ(e.MakeDirMaskList("index.html"), 0);
    EXPECT_TRUE(e.Lines("GDirMaskList").empty());
    EXPECT_EQ(e.GetMaskedLocalFilename("data/x.css"), "data/x.css");
    EXPECT_EQ(e.MakeDirMaskList("a/b/c.html"), 2);
    EXPECT_EQ(e.Lines("GDirMaskList"), (std::vector<std::string>{"a\\b\\c.html", "a\\"}));
    EXPECT_EQ(e.GetMaskedLocalFilename("a/x.css"), "x.css");
    EXPECT_EQ(e.GetMaskedLocalFilename("data/x.css"), "data/x.css");
    EXPECT_EQ(e.GetMaskedLocalFilename("a/a/x.css"), "a/x.css"); // once
    EXPECT_EQ(e.MakeRootTreeList("a/b/c.html", "http://h/"), 4);
    EXPECT_EQ(e.Lines("GRootTreeList"),
              (std::vector<std::string>{"http://h/", "http://h/a/b/c.html", "http://h/a/b/", "http://h/a/"}));
    EXPECT_EQ(e.MakeRootTreeList("http://h/a/b.html", ""), 4);
    for (const std::string &l : e.Lines("GRootTreeList")) EXPECT_NE(l, "http:/");
    EXPECT_EQ(e.DoDownloadFile("http://h/x.css", "", "", "L"), -1);
    EXPECT_EQ(e.DoDownloadFile("http://h/x.css", "relative/folder/", "", "L"), -1);
    EXPECT_TRUE(e.Lines("L").empty());
}

TEST(PageNames, MainBaseDirTable)
{
    const struct {
        const char *url, *current, *base, *name;
        bool radio;
    } table[] = {
        {"http://www.example.jp/dir/sub/page.php?id=1", "", "dir/sub/", "page.php_id=1", true},
        {"http://www.example.jp/dir/", "", "dir/", "index.html", false},
        {"http://www.example.jp/dir/default.aspx", "", "dir/", "default.html", false},
        {"http://www.example.jp/default.aspx", "", "", "default.aspx", false},
        {"http://www.example.jp/default.aspx", "kept.txt", "", "kept.txt", false},
        {"http://www.example.jp/dir/news", "", "dir/", "news.html", false},
        {"http://www.example.jp/dir/a.cgi?x=1&amp;y=2", "", "dir/", "a.cgi_x=1&y=2", false},
        {"http://www.example.jp/dir/new.html", "old.htm", "dir/", "old.htm", false},
        {"http://a.jp/x/b.html", "", "x/", "b.html", false},   // a short host ends at its own "/"
        {"https://a.jp/x/b.html", "", "x/", "b.html", false},
        {"HTTP://www.example.jp/dir/p.html", "", "dir/", "p.html", false},
        {"http://h.jp/dir/..", "", "dir/", "index.html", false},
        {"http://h.jp/dir/.", "", "dir/", "index.html", false},
        {"http://www.example.jp/x.aspire.html", "", "", "x.aspire.html", false},
        {"http://www.example.jp/d/x.aspire.html", "", "d/", "x.html", false}, // cut at ".asp", then named
    };
    for (const auto &t : table) {
        const MainBaseDirNames n = MainBaseDirNamesOf(t.url, t.current);
        EXPECT_EQ(n.BaseWebDir.value_or("<unchanged>"), t.base) << t.url;
        EXPECT_EQ(n.LocalName.value_or(t.current), t.name) << t.url;
        EXPECT_EQ(n.RelativeUpToOne, t.radio) << t.url;
        EXPECT_TRUE(n.Spread) << t.url;
    }
    const MainBaseDirNames bare = MainBaseDirNamesOf("http://www.example.jp", "");
    EXPECT_FALSE(bare.Spread);
    EXPECT_EQ(bare.BaseWebDir.value_or("<unchanged>"), "");
    EXPECT_FALSE(MainBaseDirNamesOf("http://www.example.jp", "x.html").BaseWebDir.has_value());
}

TEST(PageNames, FrameAndSingleDownloadNames)
{
    const FrameNames f = FrameNamesOf("http://www.example.jp/a/b/c.cgi?x=1", "old.htm");
    EXPECT_EQ(f.LocalFolder, "a/b/");
    EXPECT_EQ(f.LocalName.value_or(""), "c.cgi");
    EXPECT_EQ(FrameNamesOf("http://www.example.jp/a/frame.asp", "").LocalName.value_or(""), "frame.html");
    EXPECT_EQ(FrameNamesOf("http://h.jp/a/..", "").LocalName.value_or(""), "index.html");

    const SingleDownloadNames s = SingleDownloadNamesOf("http://www.example.jp/a/b/x.png?v=1", "/save/");
    EXPECT_EQ(s.WebFile, "http://www.example.jp/a/b/x.png?v=1");
    EXPECT_EQ(s.LocalPath, "/save/a/b/x.png_v=1");
    EXPECT_EQ(SingleDownloadNamesOf("http://www.example.jp/a/", "/save/").LocalPath, "/save/a/index.html");
    EXPECT_FALSE(SingleDownloadNamesOf("no-slash", "/save/").Changed);

    // Dot segments are the server's path, resolved before the name is made: the copy stays in
    // the save folder and the box asks for what a browser would ask for.
    const struct { const char *Url, *WebFile, *Local; } climbs[] = {
        {"http://www.example.jp/a/../../../../home/user/.profile", "http://www.example.jp/home/user/.profile",
         "/save/home/user/.profile"},
        {"http://www.example.jp/a/./b/../x.png?p=../../y", "http://www.example.jp/a/x.png?p=../../y",
         "/save/a/x.png_p=.._.._y"},
        {"http://www.example.jp/a/b/..", "http://www.example.jp/a/", "/save/a/index.html"},
    };
    for (const auto &c : climbs) {
        const SingleDownloadNames d = SingleDownloadNamesOf(c.Url, "/save");
        EXPECT_EQ(d.WebFile, c.WebFile) << c.Url;
        EXPECT_EQ(d.LocalPath, c.Local) << c.Url;
        EXPECT_TRUE(IsPathBelowRoot("/save", d.LocalPath)) << c.Url;
    }
}
