// The image download of one style sheet against the fixture site: the list and the download
// resolve a reference the same way, the fallback forms retry a "../" reference, files land in
// their sub-folders inside the chosen folder and nowhere else, one fetch per URL.
#include "download/CssImageDownload.h"
#include "support/FilesUnder.h"
#include "support/FixtureSite.h"
#include "text/JCode.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

std::string J(const char *s) { return Utf8ToAnsi(s); }

} // namespace

TEST(CssImageDownload, BaseLabelsAndOneResolutionForListAndDownload)
{
    const struct {
        std::string base, root, folder;
    } bases[] = {
        {"http://h/site/css/x.css", "http://h", "http://h/site/css"},
        {"http://h/x.css", "http://h", "http://h"},
        {"nothing", "nothing", "nothing"},
    };
    for (const auto &b : bases) {
        const CssImageBase r = CssImageBaseOf(b.base);
        EXPECT_EQ(r.Root, b.root) << b.base;
        EXPECT_EQ(r.Folder, b.folder) << b.base;
    }

    const std::string base = "http://h/site/css/x.css";
    const std::vector<std::string> lines =
        CssImageListLines({"/img/a.gif", "img/a.gif", "", "../img/b.gif", "./c.png?v=2", "http://o:8/p/d.png"}, base,
                          "/tmp/f/");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "http://h/img/a.gif\t/tmp/f/img/a.gif");
    EXPECT_EQ(lines[1], "http://h/site/css/img/a.gif\t/tmp/f/img/a.gif");
    EXPECT_EQ(lines[2], "http://h/site/img/b.gif\t/tmp/f/img/b.gif");
    EXPECT_EQ(lines[3], "http://h/site/css/c.png?v=2\t/tmp/f/c.png_v=2");
    EXPECT_EQ(lines[4], "http://o:8/p/d.png\t/tmp/f/o!8/p/d.png");
    // A base written with "\" reads as "/"; nothing resolves outside the folder.
    EXPECT_EQ(CssImageUrl("http:\\\\h\\site\\x.css", "a.gif"), "http://h/site/a.gif");
    EXPECT_EQ(CssImageLocal("/tmp/f/", base, "img/%2e%2e/%2e%2e/x.gif"), "");
    EXPECT_EQ(CssImageLocal("/tmp/f/", base, "../../../../x.gif"), "/tmp/f/x.gif");
    EXPECT_EQ(CssImageLocal("", base, "a.gif"), "");
}

TEST(CssImageDownload, FallbackFormsSubFoldersAndNothingOutside)
{
    FixtureSite site;
    site.put("/site/css/img/only-here.png", FixtureSite::png(), "image/png");
    site.put("/site/css/sub/deep/c.png", FixtureSite::png(), "image/png");
    site.put("/site/css/page.png", "<html><body>not an image</body></html>", "text/html");
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/out/";
    QDir().mkpath(QString::fromStdString(folder));
    const std::string base = site.url("/site/css/a.css");
    const std::vector<std::string> refs = {"../img/a1.png",      "/site/img/root.png", "../img/only-here.png",
                                           "sub/deep/c.png",     "page.png",          "img/%2e%2e/%2e%2e/x.png",
                                           "../img/a1.png"};
    std::vector<std::string> lines;
    site.clearLog();
    const int saved = DownloadCssImages(refs, base, folder, [&](const std::string &l) { lines.push_back(l); });
    EXPECT_EQ(saved, 5);
    const std::string u = "http://" + site.host();
    const std::vector<std::string> want = {
        u + "/site/img/a1.png <\t" + J("○>") + folder + "img/a1.png",
        u + "/site/img/root.png <\t" + J("○>") + folder + "site/img/root.png",
        // Not beside the site's img folder: tried again from the sheet's folder without "../".
        u + "/site/img/only-here.png <\t" + J("■１>") + folder + "img/only-here.png",
        u + "/site/css/img/only-here.png <\t" + J("△>") + folder + "img/only-here.png",
        u + "/site/css/sub/deep/c.png <\t" + J("○>") + folder + "sub/deep/c.png",
        // An HTML page where an image was expected fails every form.
        u + "/site/css/page.png <\t" + J("■１>") + folder + "page.png",
        u + "/site/css/page.png <\t" + J("▼１>") + folder + "page.png",
        u + "/site/css/page.png <\t" + J("▼２>") + folder + "page.png",
    };
    ASSERT_GE(lines.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(lines[i], want[i]) << i;
    // The escaping reference has no local file: its attempts fail and write nothing.
    EXPECT_NE(lines[8].find(J("■１>")), std::string::npos);
    EXPECT_EQ(lines.back(), want[0]);
    EXPECT_EQ(filesUnder(dir.path()),
              (QStringList{QStringLiteral("/out/img/a1.png"), QStringLiteral("/out/img/only-here.png"),
                           QStringLiteral("/out/site/img/root.png"), QStringLiteral("/out/sub/deep/c.png")}));
    // One fetch per URL, also for a reference listed twice.
    std::set<std::string> seen;
    for (const std::string &p : site.log()) EXPECT_TRUE(seen.insert(p).second) << p;
}

TEST(CssImageDownload, RemoveButtonTakesRootAndParentOffReferences)
{
    EXPECT_EQ(RemoveCssUrlRoots("a{b:URL(/i/a.gif)} c{d:url(../i/b.gif)} e{f:url(../../g.gif)} h{i:url(\"/q.gif\")}"),
              "a{b:url(i/a.gif)} c{d:url(i/b.gif)} e{f:url(../g.gif)} h{i:url(\"/q.gif\")}");
}
