// The individual download against the fixture site: where a URL lands, the conversions of
// RadioGroupIndividual, the url() adjustment, content checks on the fetched bytes (one fetch,
// no probe files), and nothing written outside the folder.
#include "download/IndividualDownload.h"
#include "download/SaveTree.h"
#include "support/FixtureSite.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string folderOf(const QTemporaryDir &d) { return d.path().toStdString() + "/save/"; }

std::string readSys(const std::string &p)
{
    QFile f(QString::fromStdString(p));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

std::vector<std::string> filesUnder(const QString &dir)
{
    std::vector<std::string> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out.push_back(it.next().toStdString());
    return out;
}

} // namespace

TEST(IndividualDownload, WhereAUrlLands)
{
    const std::string F = "/tmp/save/";
    const struct {
        const char *url, *local;
        bool webOnly;
        const char *expect;
    } table[] = {
        {"http://h.jp/dir/", "", false, "/tmp/save/dir/index.html"},
        {"http://h.jp/css/a/b.css", "", false, "/tmp/save/css/a/b.css"},
        {"http://h.jp/css/a/b.css", "", true, "/tmp/save/b.css"},
        {"http://h.jp/css/a/b.css", "/x/y.css", false, "/tmp/save/y.css"},
        {"http://h.jp/css/a/b.css", "d:\\x\\y.css", false, "/tmp/save/y.css"},
        {"http://h.jp/a,b/c.css?v=1", "", false, "/tmp/save/a_b/c.css_v=1"},
        {"http://h.jp/%E6%97%A5.css", "", false, "/tmp/save/\x93\xfa.css"},
        {"http://h.jp/a/../../../etc/x.css", "", false, "/tmp/save/etc/x.css"},
        {"http://h.jp/%2e%2e/%2e%2e/x.css", "", false, ""},
        {"http://h.jp/a/b.css", "..", false, ""},
    };
    for (const auto &t : table)
        EXPECT_EQ(IndividualLocalPath(t.url, F, t.local, t.webOnly), t.expect) << t.url << " " << t.local;
    EXPECT_EQ(IndividualLocalPath("http://h.jp/a.css", "relative/", "", false), "");
}

TEST(IndividualDownload, UrlAdjustments)
{
    const std::string css = "a{background:url(/img/a.gif)} b{background:url(\"/img/b.gif\")} c{background:url(../c.gif)}";
    EXPECT_EQ(AdjustIndividualUrlRoots(css, 0),
              "a{background:url(img/a.gif)} b{background:url(\"img/b.gif\")} c{background:url(c.gif)}");
    EXPECT_EQ(AdjustIndividualUrlRoots(css, 2),
              "a{background:url(../img/a.gif)} b{background:url(\"../img/b.gif\")} c{background:url(../c.gif)}");
    EXPECT_EQ(AdjustIndividualUrlRoots(css, 1), css);
}

TEST(IndividualDownload, TextsAreConvertedOnceAndOtherFilesKeptByteForByte)
{
    FixtureSite site;
    QTemporaryDir d;
    IndividualOptions o;
    o.Folder = folderOf(d);
    o.UrlAdjust = 1;

    // UTF-8 style sheet, radio 2: Shift_JIS declaring it.
    o.CharMode = 2;
    IndividualOutcome r = DownLoadAnsSaveFile(site.url("/site/css/utf8.css"), o);
    ASSERT_EQ(r.What, IndividualOutcome::Saved);
    EXPECT_TRUE(r.Text);
    EXPECT_EQ(r.Local, o.Folder + "site/css/utf8.css");
    const std::string saved = readSys(r.Local);
    EXPECT_NE(saved.find(Utf8ToAnsi("日本語")), std::string::npos);
    EXPECT_NE(saved.find("@charset \"Shift_JIS\""), std::string::npos) << saved;

    // Radio 5: the bytes as they came.
    o.CharMode = 5;
    r = DownLoadAnsSaveFile(site.url("/site/css/utf8.css"), o);
    EXPECT_EQ(readSys(r.Local), site.body("/site/css/utf8.css"));

    // An image byte for byte; a page URL brings a page.
    r = DownLoadAnsSaveFile(site.url("/site/img/a.png"), o);
    ASSERT_EQ(r.What, IndividualOutcome::Saved);
    EXPECT_FALSE(r.Text);
    EXPECT_EQ(readSys(r.Local), site.body("/site/img/a.png"));
    o.CharMode = 0;
    r = DownLoadAnsSaveFile(site.url("/site/index.html"), o);
    EXPECT_EQ(r.What, IndividualOutcome::Saved);

    // The url() adjustment on what is saved.
    site.put("/site/css/root.css", "p{background:url(/img/a.gif)}", "text/css");
    o.UrlAdjust = 0;
    r = DownLoadAnsSaveFile(site.url("/site/css/root.css"), o);
    EXPECT_EQ(readSys(r.Local), "p{background:url(img/a.gif)}");
    o.UrlAdjust = 2;
    r = DownLoadAnsSaveFile(site.url("/site/css/root.css"), o);
    EXPECT_EQ(readSys(r.Local), "p{background:url(../img/a.gif)}");

    // Every written file is in the folder's manifest.
    SaveTree tree(o.Folder);
    EXPECT_EQ(tree.Entries().count("site/css/root.css"), 1u);
    EXPECT_EQ(tree.Entries().count("site/img/a.png"), 1u);
}

TEST(IndividualDownload, ErrorPagesAndFailuresWriteNothingAndOneFetchIsMade)
{
    FixtureSite site;
    QTemporaryDir d;
    IndividualOptions o;
    o.Folder = folderOf(d);
    site.clearLog();
    IndividualOutcome r = DownLoadAnsSaveFile(site.url("/site/css/errpage.css"), o);
    EXPECT_EQ(r.What, IndividualOutcome::NotAFile);
    EXPECT_TRUE(r.Msg.empty());
    r = DownLoadAnsSaveFile(site.url("/site/css/missing.css"), o);
    EXPECT_EQ(r.What, IndividualOutcome::Failed);
    EXPECT_FALSE(r.Msg.empty());
    // The server logs a request after it has answered.
    waitUntil([&] { return site.requests("/site/css/missing.css") > 0; }, 5000);
    EXPECT_EQ(site.requests("/site/css/errpage.css"), 1);
    EXPECT_EQ(site.requests("/site/css/missing.css"), 1);
    r = DownLoadAnsSaveFile(site.url("/%2e%2e/%2e%2e/x.css"), o);
    EXPECT_EQ(r.What, IndividualOutcome::Refused);
    // Nothing but what a save wrote: no probe samples, nothing outside the folder.
    for (const std::string &f : filesUnder(d.path())) {
        EXPECT_EQ(f.find("dummy.tmp"), std::string::npos) << f;
        EXPECT_EQ(f.rfind(o.Folder, 0), 0u) << f;
    }
    o.Folder.clear();
    EXPECT_EQ(DownLoadAnsSaveFile(site.url("/site/css/a.css"), o).What, IndividualOutcome::NoFolder);
}

TEST(IndividualDownload, ImportedSheetsOfAText)
{
    std::vector<std::string> urls;
    EXPECT_EQ(ListImportedSheets("http://h.jp/css/a.css", "", urls), -1);
    EXPECT_EQ(ListImportedSheets("http://h.jp/css/a.css", "@import\"b.css\";\n@import url(/c.css);\np{}", urls), 0);
    EXPECT_EQ(urls, (std::vector<std::string>{"http://h.jp/css/b.css", "http://h.jp/c.css"}));
    EXPECT_EQ(ListImportedSheets("http://h.jp/css/a.css", "p{}", urls), 0);
    EXPECT_TRUE(urls.empty());
}
