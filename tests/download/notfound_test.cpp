// The run over the files a download did not obtain, headless against the fixture site: a
// download that leaves a style sheet and an image behind, then the repair with two and three
// server directories; the marks of both runs; the stop; pass 1's skips; the re-rooting.
#include "download/DownloadEngine.h"
#include "download/NotFoundRun.h"
#include "download/PageNames.h"
#include "support/FixtureSite.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <regex>

namespace {

std::string readFile(const std::string &p)
{
    QFile f(QString::fromStdString(p));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

bool exists(const std::string &p) { return QFileInfo::exists(QString::fromStdString(p)); }

bool contains(const std::vector<std::string> &l, const std::string &s) { return std::find(l.begin(), l.end(), s) != l.end(); }

struct Repair {
    FixtureSite site;
    QTemporaryDir parent;
    std::string root = parent.path().toStdString() + "/save";
    NotFoundRun run;
    Repair()
    {
        QDir().mkpath(QString::fromStdString(root));
        run.Opt.SaveFolder = root + "/";
        run.Opt.WebRoot = site.url("/");
        run.Opt.Prefixes = {"site/"};
    }
    void lists(const std::vector<std::string> &dirs, const std::vector<std::string> &names)
    {
        run.Set("ListBoxPageControlMainTopRightTab11WebDir", dirs);
        run.Set("ListBoxPageControlMainTopRightTab11WebNotFoundFile", names);
    }
};

} // namespace

TEST(NotFoundRun, ADownloadsLeftoversAreFetchedAndTheCopyWorksOffline)
{
    Repair r;
    FixtureSite &site = r.site;
    site.put("/site/repair.html",
             "<html><head><link rel=\"stylesheet\" href=\"css/late.css\"></head>"
             "<body><img src=\"img/late.gif\"><img src=\"img/a.png\"></body></html>",
             "text/html");
    site.put("/site/css/late.css", "<html>gone</html>", "text/html", 404);
    site.put("/site/img/late.gif", "<html>gone</html>", "text/html", 404);
    DownloadEngine e;
    e.Opt.BaseWebDir = MainBaseDirNamesOf(site.url("/site/repair.html"), "repair.html").BaseWebDir.value_or("");
    e.DownloadAll(site.url("/site/repair.html"), "repair.html", r.root + "/");
    const std::vector<std::string> names = e.Lines("ListBoxPageControlMainTopRightTab11WebNotFoundFile");
    ASSERT_TRUE(contains(names, "late.css"));
    ASSERT_TRUE(contains(names, "late.gif"));

    // Afterwards they answer.
    const std::string sheet = "@charset \"UTF-8\";\n.l { background: url(/site/img/late.gif) }\n.c:after { content: \"日本\" }\n";
    site.put("/site/css/late.css", sheet, "text/css");
    site.put("/site/img/late.gif", FixtureSite::gif(), "image/gif");
    site.clearLog();
    std::vector<std::string> withGoogle = names;
    withGoogle.push_back("google-logo.png");
    const std::string d1 = site.url("/d1/"), d2 = site.url("/site/css/"), d3 = site.url("/site/img/");
    r.lists({d1, d2, d3}, withGoogle);
    r.run.BeginRun();
    r.run.Run("");

    // D1 before D2, and each name stops at its first hit; the image is found in the third.
    const auto &tried = r.run.Lines("ListBoxTriedWebFile");
    const auto &probeFailed = r.run.Lines("ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS");
    EXPECT_TRUE(contains(probeFailed, "late.css\t" + d1 + "late.css"));
    EXPECT_TRUE(contains(tried, d2 + "late.css\t" + NotFoundMarks::Tried1() + r.root + "/css/late.css"));
    EXPECT_TRUE(contains(tried, d3 + "late.gif\t" + NotFoundMarks::Tried1() + r.root + "/img/late.gif"));
    EXPECT_TRUE(contains(r.run.Lines("ListBoxFoundWebFile"),
                         d3 + "late.gif\t" + NotFoundMarks::Found1() + r.root + "/img/late.gif"));
    waitUntil([&] { return site.requests("/site/img/late.gif") > 0; }, 5000);
    EXPECT_EQ(site.requests("/d1/late.css"), 1);
    EXPECT_EQ(site.requests("/site/img/late.css"), 0) << "a name stops at its first hit";
    std::map<std::string, int> seen;
    for (const std::string &p : site.log()) {
        ++seen[p];
        EXPECT_EQ(p.find("google"), std::string::npos) << p;
    }
    for (const auto &[p, n] : seen) EXPECT_EQ(n, 1) << p;
    EXPECT_TRUE(contains(r.run.Lines("GNotFoundDownloadList"), "google-logo.png"));
    EXPECT_FALSE(contains(r.run.Lines("GNotFoundDownloadList"), "late.css"));

    // The sheet converted and re-rooted, its original kept in the backup.
    const std::string saved = readFile(r.root + "/css/late.css");
    EXPECT_NE(saved.find("url(../img/late.gif)"), std::string::npos) << saved;
    EXPECT_NE(saved.find(Utf8ToAnsi("日本")), std::string::npos) << saved;
    EXPECT_NE(saved.find("@charset \"Shift_JIS\""), std::string::npos) << saved;
    EXPECT_EQ(readFile(r.root + "/css/ZZlate.css").find("url(/site/img/late.gif)") != std::string::npos, true);
    EXPECT_EQ(readFile(r.root + "/img/late.gif"), FixtureSite::gif());

    // The saved page's references all name saved files now.
    const std::string page = readFile(r.root + "/repair.html");
    std::regex ref(R"((?:href|src)=\"([^\"]+)\")");
    int n = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), ref), end; it != end; ++it, ++n)
        EXPECT_TRUE(exists(r.root + "/" + (*it)[1].str())) << (*it)[1].str();
    EXPECT_EQ(n, 3);
    // Nothing outside the folder.
    QDirIterator all(r.parent.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (all.hasNext()) EXPECT_EQ(all.next().toStdString().rfind(r.root + "/", 0), 0u);
    // The obtained list is the collected one.
    EXPECT_TRUE(contains(r.run.Lines("GExistFileList"), "late.gif\t" + r.root + "/img/late.gif"));
    EXPECT_EQ(r.run.Lines("ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained"), r.run.Lines("GExistFileList"));
}

TEST(NotFoundRun, TheSelectedDirectoryMarks)
{
    Repair r;
    r.site.put("/sel/css/img/b.gif", FixtureSite::gif(), "image/gif");
    r.site.put("/sel/c.gif", FixtureSite::gif(), "image/gif");
    const std::string D = r.site.url("/sel/");
    r.lists({}, {"css/../img/b.gif", "a/b/../../d.gif", "x/../../none.gif", "c.gif"});
    r.run.BeginRun();
    EXPECT_EQ(r.run.DownloadSelectedNotFoundFile(""), -1);
    EXPECT_EQ(r.run.DownloadSelectedNotFoundFile(D), 0);
    std::vector<std::string> marks;
    for (const std::string &l : r.run.Lines("ListBoxTriedWebFile")) {
        const std::size_t tab = l.find('\t');
        const std::string rest = l.substr(tab + 1);
        marks.push_back(l.substr(0, tab) + " " + rest.substr(0, rest.find('/')));
    }
    using namespace NotFoundMarks;
    // URL2 drops the first "../"; URL3 the first "../../" of URL1.
    ASSERT_EQ(marks.size(), 9u);
    EXPECT_EQ(marks[0], D + "css/../img/b.gif " + Fail1());
    EXPECT_EQ(marks[1], D + "css/img/b.gif " + Tried2());
    EXPECT_EQ(marks[2], D + "a/b/../../d.gif " + Fail1());
    EXPECT_EQ(marks[3], D + "a/b/../d.gif " + Fail2());
    EXPECT_EQ(marks[4], D + "a/b/d.gif " + SelFail3());
    EXPECT_EQ(marks[7], D + "x/none.gif " + SelFail3());
    EXPECT_EQ(marks[8], D + "c.gif " + SelTried1());
    const auto &found = r.run.Lines("ListBoxFoundWebFile");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].substr(0, found[0].find('\t') + 1 + SelFound23().size()), D + "css/img/b.gif\t" + SelFound23());
}

TEST(NotFoundRun, AStopEndsPassZeroAtTheNextAttemptAndPassOneGoesOn)
{
    Repair r;
    for (const char *p : {"/d/a.gif", "/d/b.gif", "/d/c.gif"}) r.site.put(p, FixtureSite::gif(), "image/gif");
    NotFoundRun run([&](const std::string &u) {
        HttpResponse resp = HttpFetch(u);
        if (u.find("a.gif") != std::string::npos) run.Stop = true; // "取得中止" during the first attempt
        return resp;
    });
    run.Opt = r.run.Opt;
    int enabled = 0;
    run.EnableStop = [&] { ++enabled; };
    run.Set("ListBoxPageControlMainTopRightTab11WebDir", {r.site.url("/d/")});
    run.Set("ListBoxPageControlMainTopRightTab11WebNotFoundFile", {"a.gif", "b.gif", "c.gif"});
    run.BeginRun();
    run.DownloadNotFoundFile(0);
    EXPECT_TRUE(exists(r.root + "/d/a.gif"));
    EXPECT_FALSE(exists(r.root + "/d/b.gif")) << "no further name after the stop";
    EXPECT_TRUE(contains(run.Lines("GNotFoundDownloadList"), "b.gif"));
    EXPECT_EQ(enabled, 2);
    // Pass 1 enables the button again, skips what exists, fetches the rest.
    run.Stop = false;
    waitUntil([&] { return r.site.requests("/d/a.gif") > 0; }, 5000);
    r.site.clearLog();
    run.DownloadNotFoundFile(1);
    EXPECT_TRUE(exists(r.root + "/d/b.gif"));
    EXPECT_TRUE(exists(r.root + "/d/c.gif"));
    waitUntil([&] { return r.site.requests("/d/c.gif") > 0; }, 5000);
    EXPECT_EQ(r.site.requests("/d/a.gif"), 0) << "pass 1 skips an existing file";
    EXPECT_EQ(enabled, 4);
}

TEST(NotFoundRun, SheetRewritesFollowTheCaptions)
{
    Repair r;
    const std::string css = ".a{background:url(\"/site/img/x.png\")} .b{background:url('/site/img/y.png')} "
                            ".c{background:url(img/z.png)} /* url(/site/img/q.png) */";
    const std::string local = r.root + "/css/s.css";
    struct Case {
        int item;
        std::string expect;
    } cases[] = {
        {0, ".a{background:url(\"../img/x.png\")} .b{background:url('../img/y.png')} .c{background:url(img/z.png)} "
            "/* url(/site/img/q.png) */"},
        {3, ".a{background:url(\"/R/img/x.png\")} .b{background:url('/R/img/y.png')} .c{background:url(img/z.png)} "
            "/* url(/site/img/q.png) */"},
        {1, css},
        {2, css},
    };
    for (const Case &c : cases) {
        QDir(QString::fromStdString(r.root)).removeRecursively();
        SaveTextFile(css, local);
        r.run.Opt.RemoveCSSRoot = c.item;
        r.run.Opt.CssUrlRoot = "/R/";
        r.run.Opt.GlobalFile.clear();
        r.run.RewriteObtainedSheet(local, r.site.url("/site/css/s.css"));
        EXPECT_EQ(readFile(local), c.expect) << c.item;
        if (c.item == 0 || c.item == 3) EXPECT_EQ(readFile(r.root + "/css/ZZs.css"), css);
        // The page's own file is never rewritten.
        r.run.Opt.GlobalFile = local;
        SaveTextFile(css, local);
        r.run.RewriteObtainedSheet(local, r.site.url("/site/css/s.css"));
        EXPECT_EQ(readFile(local), css);
    }
}

TEST(NotFoundRun, FoundFilesLandWhereTheSavedPageNamesThem)
{
    // The page's images are missing on its server; an exact copy of the chapter lies in another
    // folder, which the user adds as a server directory.
    Repair r;
    FixtureSite &site = r.site;
    site.put("/site/ch.html",
             Utf8ToAnsi("<html><head><link rel=\"stylesheet\" href=\"css/ch.css\"><link rel=\"next\" href=\"ch2.html\">"
                        "</head><body><img src=\"images/図 1.png\"><img src=\"images/b.png\"></body></html>"),
             "text/html");
    site.put("/site/css/ch.css", ".x { background: url(../images/bg.png) }\n", "text/css");
    site.put("/site/ch2.html", "<html><body>next</body></html>", "text/html");
    for (const char *img : {"/copy/docs/images/図 1.png", "/copy/docs/images/b.png", "/copy/docs/images/bg.png"})
        site.put(img, FixtureSite::png() + img, "image/png");
    DownloadEngine e;
    e.Opt.BaseWebDir = "site/";
    ASSERT_EQ(e.DownloadAll(site.url("/site/ch.html"), "ch.html", r.root + "/"), 0);
    const std::vector<std::string> names = e.Lines("ListBoxPageControlMainTopRightTab11WebNotFoundFile");
    EXPECT_EQ(names.size(), 3u) << "only the requisites, no neighbour page";
    EXPECT_FALSE(contains(names, "ch2.html"));

    site.clearLog();
    r.run.Opt.GlobalFile = e.GlobalFile;
    r.lists({site.url("/copy/docs/images/")}, names);
    r.run.BeginRun();
    r.run.Run("");
    for (const std::string &p : site.log()) EXPECT_EQ(p.find(".html"), std::string::npos) << p;

    // Every reference of the page and of its sheet now names a saved file, inside the folder.
    EXPECT_EQ(readFile(r.root + "/images/b.png"), FixtureSite::png() + "/copy/docs/images/b.png");
    EXPECT_EQ(readFile(r.root + "/images/bg.png"), FixtureSite::png() + "/copy/docs/images/bg.png");
    EXPECT_TRUE(exists(ToSystemPath(r.root + "/images/" + Utf8ToAnsi("図 1.png"))));
    EXPECT_FALSE(QDir(QString::fromStdString(r.root + "/copy")).exists());
    const std::string page = readFile(r.root + "/ch.html");
    std::regex ref(R"((?:href|src)=\"([^\":]+)\")");
    int n = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), ref), end; it != end; ++it, ++n) {
        const std::string v = QUrl::fromPercentEncoding(QByteArray::fromStdString((*it)[1].str())).toStdString();
        EXPECT_TRUE(exists(r.root + "/" + v)) << v;
    }
    EXPECT_EQ(n, 3);
}
