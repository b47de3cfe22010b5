// The single-file fetches of the " image/CSS " tab and its list rules, against the fixture site:
// one fetch whose bytes are checked (no sample file), the URL's own name kept, texts converted,
// error pages refused, nothing written outside the folder.
#include "download/ObtainedImages.h"
#include "download/RepairText.h"
#include "support/FilesUnder.h"
#include "support/FixtureSite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string readFile(const std::string &p)
{
    QFile f(QString::fromStdString(p));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

} // namespace

TEST(ObtainedImages, CheckedDownloadKeepsTheNameConvertsTextsAndRefusesErrorPages)
{
    FixtureSite site;
    site.put("/site/img/Big A.PNG", FixtureSite::png(), "image/png");
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/save/";
    QDir().mkpath(QString::fromStdString(folder));

    // Letter case kept: "Big A.PNG" stays apart from a "big a.png".
    CheckedDownload d = DownloadCheckedFile(site.url("/site/img/Big%20A.PNG"), folder);
    EXPECT_EQ(d.What, CheckedDownload::Saved);
    EXPECT_FALSE(d.Text);
    EXPECT_EQ(d.Local, folder + "Big A.PNG");
    EXPECT_EQ(readFile(d.Local), FixtureSite::png());

    // A UTF-8 style sheet is saved in Shift_JIS, declaring it.
    d = DownloadCheckedFile(site.url("/site/css/utf8.css"), folder);
    ASSERT_EQ(d.What, CheckedDownload::Saved);
    EXPECT_TRUE(d.Text);
    const std::string css = readFile(folder + "utf8.css");
    EXPECT_NE(css.find(Utf8ToAnsi("日本語")), std::string::npos);
    EXPECT_NE(LowerCase(css).find("shift_jis"), std::string::npos);

    // An error page where a sheet was expected, a 404 and a failed transfer: nothing written.
    site.clearLog();
    for (const std::string &u : {site.url("/site/css/errpage.css"), site.url("/site/css/missing.css"),
                                 std::string("http://127.0.0.1:1/x.png")})
        EXPECT_EQ(DownloadCheckedFile(u, folder).What, CheckedDownload::NotAFile) << u;
    // One request per press; no sample file anywhere.
    EXPECT_EQ(site.requests("/site/css/errpage.css"), 1);
    EXPECT_EQ(filesUnder(dir.path()), (QStringList{QStringLiteral("/save/Big A.PNG"), QStringLiteral("/save/utf8.css")}));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("dummy.tmp"))));
}

TEST(ObtainedImages, RawDownloadWritesTheBytesOrNothing)
{
    FixtureSite site;
    QTemporaryDir dir;
    const std::string local = dir.path().toStdString() + "/new/sub/bg.gif";
    EXPECT_TRUE(DownloadRawFile(site.url("/site/img/bg.gif"), local));
    EXPECT_EQ(readFile(local), FixtureSite::gif());
    const std::string older = readFile(local);
    // A 404 page and an HTML page where an image was expected keep the older file.
    EXPECT_FALSE(DownloadRawFile(site.url("/site/img/none.gif"), local));
    site.put("/site/img/page.gif", "<html><body>moved</body></html>", "text/html");
    EXPECT_FALSE(DownloadRawFile(site.url("/site/img/page.gif"), local));
    EXPECT_EQ(readFile(local), older);
    EXPECT_FALSE(DownloadRawFile(site.url("/site/img/bg.gif"), "relative/x.gif"));
}

TEST(ObtainedImages, ExistingFileLinesKeepNamesWithBlanks)
{
    const struct {
        std::string line, path;
    } cases[] = {
        // The post-run list: name, blanks to column 40, folder.
        {ExpandTab("my pic.png\t/tmp/a b/img/", 40), "/tmp/a b/img/my pic.png"},
        {ExpandTab(std::string(39, 'n') + ".gif\t/f/", 40), "/f/" + std::string(39, 'n') + ".gif"},
        {ExpandTab("a.css\t/f/", 40), "/f/a.css"},
        // The not-obtained run's form: name, tab, path.
        {"x y.png\t/tmp/d/x y.png", "/tmp/d/x y.png"},
        {"x.png\t/tmp/d/", "/tmp/d/x.png"},
        // No folder in the line: split at its first blank.
        {"a.png   d:dir\\", "d:dir\\a.png"},
    };
    for (const auto &c : cases) EXPECT_EQ(AbsExistLinePath(c.line), c.path) << c.line;
}

TEST(ObtainedImages, ObtainedSheetLinePicksAndDownloadFolders)
{
    ObtainedCssPick p = PickObtainedCssLine("http://h/site/css/a.css\t○　css/a.css", "http://h/site/img/x.png", "site");
    EXPECT_FALSE(p.Empty);
    EXPECT_FALSE(p.HasLocal);
    EXPECT_EQ(p.SearchWord, "x.png");
    ASSERT_TRUE(p.HasUrl);
    EXPECT_EQ(p.WebLabel, "http://h/site/css/a.css");
    EXPECT_EQ(p.Url, "http://h//css/a.css");
    // With "/" in the base folder the "\" form never matches a URL: the URL stays.
    EXPECT_EQ(PickObtainedCssLine("http://h/site/a.css", "", "site/").Url, "http://h/site/a.css");

    p = PickObtainedCssLine("X /tmp/f/a.css\t", "noslash", "");
    ASSERT_TRUE(p.HasLocal);
    EXPECT_EQ(p.LocalFile, "tmp/f/a.css");
    EXPECT_EQ(p.ClipName, "a.css");
    EXPECT_EQ(p.SearchWord, "noslash");
    EXPECT_TRUE(PickObtainedCssLine("\tx", "", "").Empty);

    EXPECT_EQ(DownloadLineUrl("http://h/a/b.css\t○◎ /f/a/b.css"), "http://h/a/b.css");
    EXPECT_EQ(UrlFolderInside("/tmp/f/", "http://h/a/b/c.css"), "/tmp/f/a/b/");
    EXPECT_EQ(UrlFolderInside("/tmp/f", "http://h/c.css"), "/tmp/f/");
    EXPECT_EQ(UrlFolderInside("/tmp/f/", "http://h/a/../../../c.css"), "");
    EXPECT_EQ(UrlFolderInside("/tmp/f/", "http://h/%2e%2e/%2e%2e/c.css"), "");
}
