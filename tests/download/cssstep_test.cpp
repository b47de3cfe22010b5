// The style-sheet and script step against a real local server: encodings, the url() and
// @import rewrites by option and depth, scripts left as code, failures as lines and no file,
// and the manifest of what was written.
#include "download/DownloadEngine.h"
#include "support/FixtureSite.h"
#include "text/FileUtils.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string readFile(const std::string &path)
{
    QFile f(QString::fromUtf8(ToSystemPath(path).c_str()));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

bool exists(const std::string &path) { return QFile::exists(QString::fromUtf8(ToSystemPath(path).c_str())); }

std::string lf(std::string s)
{
    for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
    return s;
}

struct Step {
    FixtureSite site;
    QTemporaryDir dir;
    std::string root = dir.path().toStdString();
    DownloadEngine e;
    void run(const std::vector<std::string> &refs, const std::string &page, const std::string &baseWebDir = "")
    {
        e.Set("ListBoxPageCSS", refs);
        e.PageBaseUrl = page;
        e.MainTopCSSdownload(page, root + "/", baseWebDir, 0);
    }
};

} // namespace

TEST(CssStep, EncodingsBecomeShiftJisAndTheFetchedCopyKeepsTheBytes)
{
    Step s;
    s.site.put("/site/css/euc.css", SjisToEuc(FixtureSite::sjis(".e:after { content: \"日本\"; }\n"), 0), "text/css; charset=EUC-JP");
    s.run({s.site.url("/site/css/utf8.css"), s.site.url("/site/css/sjis.css"), s.site.url("/site/css/euc.css")},
          s.site.pageUrl());
    const struct {
        const char *path, *mustHave;
    } table[] = {
        {"/site/css/utf8.css", "@charset \"Shift_JIS\";"},
        {"/site/css/utf8.css", "content: \"日本語\""},
        {"/site/css/utf8.css", "content: \"\\a9 \\a0 \""},
        {"/site/css/sjis.css", "/* utf-8 ではありません */"},
        {"/site/css/sjis.css", "content: \"漢字\""},
        {"/site/css/euc.css", "content: \"日本\""},
    };
    for (const auto &t : table) {
        EXPECT_NE(readFile(s.root + t.path).find(FixtureSite::sjis(t.mustHave)), std::string::npos) << t.path << " " << t.mustHave;
        const std::string folder = std::string(t.path).substr(0, std::string(t.path).rfind('/') + 1);
        const std::string name = std::string(t.path).substr(folder.size());
        EXPECT_EQ(readFile(s.root + folder + "ZZ" + name), s.site.body(t.path)) << t.path;
    }
}

TEST(CssStep, RootRelativeReferencesByOptionAndDepth)
{
    const std::string sheet = "@import \"/b.css\";\n.a { background: url(/img/a.png); }\n.q { background: url('/img/a.png'); }\n";
    const struct {
        int item;
        const char *path; // served and saved at
        const char *import, *unquoted, *quoted;
    } table[] = {
        {0, "/d0.css", "@import \"b.css\"", "url(img/a.png)", "url('img/a.png')"},
        {0, "/x/d1.css", "@import \"../b.css\"", "url(../img/a.png)", "url('../img/a.png')"},
        {2, "/x/d1.css", "@import \"../b.css\"", "url(../img/a.png)", "url('../img/a.png')"},
        {0, "/x/y/d2.css", "@import \"../../b.css\"", "url(../../img/a.png)", "url('../../img/a.png')"},
        {1, "/x/d1.css", "@import \"/b.css\"", "url(/img/a.png)", "url('/img/a.png')"},
        {3, "/x/d1.css", "@import \"@ROOT@/b.css\"", "url(@ROOT@/img/a.png)", "url('@ROOT@/img/a.png')"},
    };
    for (const auto &t : table) {
        Step s;
        s.site.put(t.path, sheet, "text/css");
        s.e.Opt.RemoveCSSRoot = t.item;
        s.run({s.site.url(t.path)}, s.site.url("/x/page.html"));
        const std::string got = readFile(s.root + t.path);
        for (std::string want : {std::string(t.import), std::string(t.unquoted), std::string(t.quoted)}) {
            for (std::size_t p; (p = want.find("@ROOT@")) != std::string::npos;) want.replace(p, 6, s.root);
            EXPECT_NE(got.find(want), std::string::npos) << t.item << " " << t.path << " wants " << want << "\n" << got;
        }
    }
}

TEST(CssStep, PageFolderCopyIsWrittenOnceAndItsReferencesCountFromItsOwnPlace)
{
    Step s;
    s.site.put("/dir/css/a.css", ".a { background: url(/dir/img/a.png); }\n", "text/css");
    s.run({s.site.url("/dir/css/a.css")}, s.site.url("/dir/page.html"), "dir\\");
    EXPECT_NE(readFile(s.root + "/dir/css/a.css").find("url(../img/a.png)"), std::string::npos);
    EXPECT_NE(readFile(s.root + "/css/a.css").find("url(../dir/img/a.png)"), std::string::npos);
    EXPECT_EQ(s.e.Lines("ListBoxAdjLocalFile").size(), 1u);

    // A second run keeps the page-folder copy and rewrites the mirrored one and its copies.
    QFile fp(QString::fromStdString(s.root + "/css/a.css"));
    ASSERT_TRUE(fp.open(QIODevice::WriteOnly));
    fp.write("edited by the user");
    fp.close();
    s.site.put("/dir/css/a.css", ".a { color: blue; }\n", "text/css");
    DownloadEngine again;
    again.Set("ListBoxPageCSS", {s.site.url("/dir/css/a.css")});
    again.PageBaseUrl = s.site.url("/dir/page.html");
    again.MainTopCSSdownload(again.PageBaseUrl, s.root + "/", "dir/", 0);
    EXPECT_EQ(readFile(s.root + "/css/a.css"), "edited by the user");
    EXPECT_EQ(lf(readFile(s.root + "/dir/css/a.css")), ".a { color: blue; }\n");
    EXPECT_EQ(readFile(s.root + "/dir/css/ZZa.css"), ".a { color: blue; }\n");
}

TEST(CssStep, ScriptsKeepTheirCode)
{
    Step s;
    s.e.Opt.RemoveCSSRoot = 0;
    s.run({s.site.url("/site/js/app.js?ver=2")}, s.site.pageUrl());
    EXPECT_EQ(lf(readFile(s.root + "/site/js/app.js_ver=2")), s.site.body("/site/js/app.js"));
    EXPECT_EQ(s.e.Lines("ListBoxMainTopDownloadList"),
              std::vector<std::string>{s.site.url("/site/js/app.js?ver=2") + J("\t◎○") + s.root + "/site/js/app.js_ver=2"});

    Step js;
    js.site.put("/img.js", FixtureSite::gif() + std::string("\x00\xff", 2), "application/javascript");
    js.e.Set("ListBoxPageCSS", {js.site.url("/img.js")});
    js.e.MainTopJSdownload(js.site.url("/p.html"), js.root + "/", 0);
    EXPECT_EQ(readFile(js.root + "/img.js"), js.site.body("/img.js"));
}

TEST(CssStep, FailuresGiveExactlyTheNotObtainedLinesAndNoFile)
{
    Step s;
    s.site.put("/site/css/empty.css", "", "text/css");
    s.run({s.site.url("/site/css/missing.css"), s.site.url("/site/css/errpage.css"), s.site.url("/site/css/empty.css"),
           s.site.url("/a+b.css"), s.site.url("/x.php?f=a.css")},
          s.site.pageUrl());
    const std::string m = s.root + "/site/css/missing.css", e = s.root + "/site/css/errpage.css",
                      y = s.root + "/site/css/empty.css";
    EXPECT_EQ(s.e.Lines("ListBoxMainTopDownloadList"),
              (std::vector<std::string>{s.site.url("/site/css/missing.css") + J("\t■ ") + m,
                                        s.site.url("/site/css/errpage.css") + J("\t■ ") + e,
                                        s.site.url("/site/css/empty.css") + J("\t■ ") + y}));
    EXPECT_EQ(s.e.Lines("ListBoxDowloadLocalFile"), (std::vector<std::string>{J("▼") + m, J("▼") + e, J("▼") + y}));
    EXPECT_EQ(s.e.Lines("ListBoxPageControlMainTopRightTab11WebNotFoundFile"),
              (std::vector<std::string>{"missing.css", "errpage.css", "empty.css"}));
    EXPECT_EQ(s.e.Lines("ListBoxMainBodyTab04GetwebFileListRightTab03CSSNotGetFileList"),
              (std::vector<std::string>{J("▼") + m, J("▼") + e, J("▼empty.css")}));
    EXPECT_EQ(s.e.Lines("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile"),
              (std::vector<std::string>{J("▼") + m, J("▼") + e, "empty.css"}));
    for (const std::string &p : {m, e, y}) EXPECT_FALSE(exists(p)) << p;
    EXPECT_FALSE(exists(s.root + "/a+b.css"));
    EXPECT_EQ(s.site.requests("/a+b.css"), 0);
    EXPECT_EQ(s.site.requests("/x.php"), 0);
}

TEST(CssStep, SideCopiesNeverReplaceAFileOfTheSiteAndTheManifestNamesWhatWasWritten)
{
    Step s;
    s.site.put("/s/a.css", ".a{}\n", "text/css");
    s.site.put("/s/ZZa.css", ".site-own{}\n", "text/css");
    s.run({s.site.url("/s/ZZa.css"), s.site.url("/s/a.css")}, s.site.url("/s/p.html"));
    EXPECT_EQ(lf(readFile(s.root + "/s/ZZa.css")), ".site-own{}\n");

    std::set<std::string> onDisk;
    QDirIterator it(QString::fromStdString(s.root), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) onDisk.insert(it.next().toStdString().substr(s.root.size() + 1));
    onDisk.erase(kManifestName);
    std::set<std::string> listed;
    const SaveTree tree(s.root);
    for (const auto &[rel, url] : tree.Entries()) listed.insert(rel);
    EXPECT_EQ(onDisk, listed);
    EXPECT_TRUE(listed.count("s/a.css") && listed.count("s/XYU2JISa.css"));
}
