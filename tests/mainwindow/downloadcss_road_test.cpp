// The " CSS " tab on the real (offscreen) window: the page names a link brings, then
// "ＣCSの取得" and "CSSのﾀﾞｳﾝﾛｰﾄﾞ" on the fixture site into a fresh folder, checked with the
// server gone: references resolve inside the copy, nothing lies outside the folder, and the
// manifest names exactly what was written.
#include "download/SaveTree.h"
#include "download/UrlMapper.h"
#include "download/pages/DownloadCssPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/FixtureSite.h"
#include "support/WaitUntil.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/UrlMap.h"
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

std::set<std::string> filesUnder(const QString &dir)
{
    std::set<std::string> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out.insert(it.next().mid(dir.size() + 1).toStdString());
    return out;
}

std::string readSys(const std::string &utf8Path)
{
    QFile f(QString::fromStdString(utf8Path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

// "a/b/../c" -> "a/c"
std::string normalise(const std::string &path)
{
    return QDir::cleanPath(QString::fromStdString(path)).toStdString();
}

bool runDone(TAMainForm &f) { return !f.downloadCssPage->running() && f.dl.btnGetPageImageCSS->isEnabled(); }

} // namespace

TEST(DownloadCssRoad, ALinkFillsThePageNamesThroughTheControls)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    const struct {
        const char *url, *base, *name;
        int radio;
    } table[] = {
        {"http://www.example.jp/dir/sub/page.php?id=1", "dir/sub/", "page.php_id=1", 1},
        {"https://a.jp/x/b.asp", "x/", "b.html", 0},
        {"http://www.example.jp/dir/news", "dir/", "news.html", 0},
    };
    for (const auto &t : table) {
        dl.BtnEditLocalFilename->clear();
        dl.EditBaseWebDir->clear();
        dl.RadioGroupRemoveRelativeUp->setItemIndex(0);
        dl.ComboBoxUrl->setEditText(QString::fromUtf8(t.url));
        SetMainBaseDir(f, t.url);
        EXPECT_EQ(dl.EditBaseWebDir->text().toStdString(), t.base) << t.url;
        EXPECT_EQ(dl.BtnEditLocalFilename->text().toStdString(), t.name) << t.url;
        EXPECT_EQ(dl.RadioGroupRemoveRelativeUp->itemIndex(), t.radio) << t.url;
        EXPECT_EQ(dl.EditPageUrl->text().toStdString(), t.url);
        EXPECT_EQ(f.ip.edtHost->currentText().toStdString(), t.url);
    }
    // A name holding ".htm" survives a new link; a URL without a path spreads nothing.
    dl.BtnEditLocalFilename->setText(QStringLiteral("mine.htm"));
    dl.ComboBoxUrl->setEditText(QStringLiteral("http://www.example.jp/a/b.html"));
    SetMainBaseDir(f, "http://www.example.jp/a/b.html");
    EXPECT_EQ(dl.BtnEditLocalFilename->text(), QStringLiteral("mine.htm"));
    EXPECT_EQ(dl.LabelDownloadedFile->text(), QStringLiteral("a/b.htmlmine.htm")); // the path, then the name it keeps
    dl.ComboBoxUrl->setEditText(QStringLiteral("http://www.example.jp"));
    SetMainBaseDir(f, "http://www.example.jp");
    EXPECT_EQ(dl.EditPageUrl->text(), QStringLiteral("http://www.example.jp/a/b.html"));

    dl.BtnEditHTMLPageSaveFolder->setText(QStringLiteral("/save/"));
    URLPasteAndMakeLocalFile(f, "http://www.example.jp/a/img/x.png?v=1");
    EXPECT_EQ(dl.BtnEditDownloadLocalFileIndividual->text(), QStringLiteral("/save/a/img/x.png_v=1"));
    EXPECT_EQ(dl.LabelWebFile->text(), QStringLiteral("http://www.example.jp/a/img/x.png?v=1"));
}

TEST(DownloadCssRoad, CollectAndDownloadTheStyleSheetsIntoAFreshFolder)
{
    QTemporaryDir dir;
    const QString top = dir.filePath(QStringLiteral("work"));
    QDir().mkpath(top + QStringLiteral("/save"));
    QDir().mkpath(top + QStringLiteral("/sentinel"));
    {
        QFile s(top + QStringLiteral("/sentinel/keep.css"));
        ASSERT_TRUE(s.open(QIODevice::WriteOnly));
        s.write("sentinel");
    }
    const std::string root = (top + QStringLiteral("/save")).toStdString();

    auto site = std::make_unique<FixtureSite>();
    const std::string page = site->pageUrl();
    site->put("/site/scripted.html",
              "<html><body><img src=\"img/a1.png\"><script>var i = new Image(); i.src = 'img/only-in-pane.png';"
              "document.body.appendChild(i);</script></body></html>",
              "text/html");
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto &dl = f.dl;
    f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab02CSS);

    // The main pane shows another page: its images are not this page's.
    dl.WebBrowserMain->Navigate(QString::fromStdString(site->url("/site/scripted.html")));
    ASSERT_TRUE(waitUntil([&] { return !dl.WebBrowserMain->Busy() && dl.WebBrowserMain->LocationURL().endsWith("scripted.html"); }, 20000));
    dl.ComboBoxUrl->setEditText(QString::fromStdString(page));
    SetMainBaseDir(f, page);
    dl.BtnEditCSSSaveFolder->setText(QString::fromStdString(root + "/"));
    dl.RadioGroupRemoveCSSRoot->setItemIndex(0);
    QTest::mouseClick(dl.btnGetPageImageCSS, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return runDone(f) && dl.ListBoxPageCSS->count() > 0; }, 30000));
    EXPECT_TRUE(dl.ListBoxBodyPageCSSImage->findItems(QStringLiteral("only-in-pane"), Qt::MatchContains).isEmpty());
    EXPECT_EQ(dl.LabelReallCnt->text().toInt(), dl.ListBoxBodyPageCSSImage->count());
    EXPECT_FALSE(dl.MemoTopCSSText->toPlainText().isEmpty());
    EXPECT_FALSE(dl.ListBoxObtainedCSS->findItems(QStringLiteral("\t●"), Qt::MatchContains).isEmpty());

    // When it shows this page, the images its scripts added count too.
    const std::string scripted = site->url("/site/scripted.html");
    dl.EditPageUrl->setText(QString::fromStdString(scripted));
    QTest::mouseClick(dl.btnGetPageImageCSS, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return runDone(f) && dl.ListBoxBodyPageCSSImage->count() > 0; }, 30000));
    EXPECT_FALSE(dl.ListBoxBodyPageCSSImage->findItems(QStringLiteral("only-in-pane"), Qt::MatchContains).isEmpty());

    // Back to the fixture page: collect, then download its style sheets.
    dl.EditPageUrl->setText(QString::fromStdString(page));
    QTest::mouseClick(dl.btnGetPageImageCSS, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return runDone(f) && dl.ListBoxObtainedCSS->count() > 0; }, 30000));
    QTest::mouseClick(dl.btnMainTopCSSdownload, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return runDone(f) && dl.ListBoxMainTopDownloadList->count() > 0; }, 30000));
    EXPECT_GT(dl.ListBoxDownloadCSSLocalFile->count(), 0);
    EXPECT_FALSE(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->findItems(QStringLiteral("missing.css"), Qt::MatchExactly).isEmpty());
    const int port = site->port();
    site.reset(); // the server is gone: what follows reads the copy alone

    // Nothing outside the folder; the sentinel as it was.
    for (const std::string &p : filesUnder(top))
        EXPECT_TRUE(p.rfind("save/", 0) == 0 || p == "sentinel/keep.css") << p;
    EXPECT_EQ(readSys((top + "/sentinel/keep.css").toStdString()), "sentinel");

    // The manifest names exactly the files written.
    const SaveTree tree(root);
    std::set<std::string> listed;
    for (const auto &[rel, url] : tree.Entries()) listed.insert(ToSystemPath(rel));
    std::set<std::string> onDisk = filesUnder(QString::fromStdString(root));
    onDisk.erase(kManifestName);
    EXPECT_EQ(onDisk, listed);

    // Every @import of a saved sheet names a saved file; every url() names the place the
    // mapper gives its target.
    UrlMapper mapper(root, "http://127.0.0.1:" + std::to_string(port) + "/site/index.html");
    int imports = 0, urls = 0;
    for (const auto &[rel, url] : tree.Entries()) {
        const std::string name = rel.substr(rel.rfind('/') + 1);
        if (rel.size() < 4 || rel.substr(rel.size() - 4) != ".css" || name.rfind("ZZ", 0) == 0 ||
            name.rfind("XYU2JIS", 0) == 0)
            continue;
        const std::string saved = readSys(root + "/" + rel);
        // The fetched copy lies beside the mirrored file (the page-folder copy has none of its own).
        const std::string mirrored = mapper.Peek(url).Rel;
        const std::string mname = mirrored.substr(mirrored.rfind('/') + 1);
        const std::string original = readSys(root + "/" + mirrored.substr(0, mirrored.size() - mname.size()) + "ZZ" + mname);
        const std::vector<CssRef> now = ScanCssRefs(saved), was = ScanCssRefs(original);
        ASSERT_EQ(now.size(), was.size()) << rel;
        const std::string folder = root + "/" + rel.substr(0, rel.size() - name.size());
        for (std::size_t i = 0; i < now.size(); ++i) {
            const std::string ref = CssRefValue(saved, now[i]);
            const std::string local = normalise(folder + QUrl::fromPercentEncoding(QByteArray::fromStdString(ref)).toStdString());
            const std::string target = MakeAbsoluteUrl(url, CssRefValue(original, was[i]));
            const UrlMapper::Result where = mapper.Peek(target);
            if (!where.ok()) continue;
            EXPECT_EQ(local, where.Abs) << rel << ": " << ref;
            if (now[i].inImport) {
                ++imports;
                EXPECT_TRUE(QFile::exists(QString::fromStdString(local))) << rel << " imports " << ref;
            } else {
                ++urls;
            }
        }
    }
    EXPECT_GE(imports, 2);
    EXPECT_GE(urls, 4);
}

// The tab's own small buttons: its "…" fills its folder box and nothing else, even with
// "ﾌｫﾙﾀﾞｰ設定後、実行する" ticked (no run starts, no earlier run's files are removed); "貼付け"
// and Enter fill the URL and the domain; "ｲﾒｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ" saves the collected images.
TEST(DownloadCssRoad, TheTabsOwnButtonsFillTheirBoxesAndTheImageStepRunsAlone)
{
    FixtureSite site;
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page")), css = dir.filePath(QStringLiteral("css"));
    QDir().mkpath(page);
    QDir().mkpath(css);
    {
        QFile earlier(page + QStringLiteral("/earlier.html"));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("kept");
    }
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    int picks = 0;
    f.downloadCssPage->pickFolder = [&](const std::string &) {
        ++picks;
        return toSjis(css);
    };
    dl.BtnEditHTMLPageSaveFolder->setText(page + QStringLiteral("/"));
    dl.ComboBoxUrl->setEditText(QString::fromStdString(site.pageUrl()));
    dl.CheckBoxGoImmediate->setChecked(true);
    dl.CheckBoxDoNotEmptyFolder->setChecked(false);
    QTest::mouseClick(dl.btnDownloadFolder, Qt::LeftButton);
    EXPECT_EQ(picks, 1);
    EXPECT_EQ(dl.BtnEditCSSSaveFolder->text(), css + QStringLiteral("/"));
    EXPECT_EQ(dl.BtnEditHTMLPageSaveFolder->text(), page + QStringLiteral("/"));
    EXPECT_TRUE(dl.BtnEditDownloadDirectFolder->text().isEmpty());
    EXPECT_FALSE(f.downloadCssPage->running());
    EXPECT_EQ(site.requests("/site/index.html"), 0);
    EXPECT_TRUE(QFile::exists(page + QStringLiteral("/earlier.html")));
    EXPECT_FALSE(dl.BtnEditCSSSaveFolder->button()->isVisibleTo(&f));

    QGuiApplication::clipboard()->setText(QString::fromStdString(site.pageUrl()));
    dl.EditPageUrl->clear();
    QTest::mouseClick(dl.btnMainTopHTMLDownload, Qt::LeftButton);
    EXPECT_EQ(dl.EditPageUrl->text().toStdString(), site.pageUrl());
    dl.EditCSSDomain->clear();
    QTest::keyClick(dl.EditPageUrl, Qt::Key_Return);
    EXPECT_EQ(dl.EditCSSDomain->text().toStdString(), site.url("/"));

    // The image step alone, after the collection, into the tab's own folder.
    std::vector<QString> messages;
    setMessageBoxHook([&](const QString &t) { messages.push_back(t); });
    QTest::mouseClick(dl.btnMainTopImageDownload, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.back(), QStringLiteral("4) HTMLﾌｧｲﾙを生成できません"));
    QTest::mouseClick(dl.btnGetPageImageCSS, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return runDone(f) && dl.ListBoxBodyPageCSSImage->count() > 0; }, 60000));
    QTest::mouseClick(dl.btnMainTopImageDownload, Qt::LeftButton);
    EXPECT_FALSE(dl.btnGetPageImageCSS->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return runDone(f); }, 60000));
    setMessageBoxHook(nullptr);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_GT(dl.LabeDLCnt->text().toInt(), 0);
    bool image = false;
    for (const std::string &p : filesUnder(css)) image |= p.size() > 4 && p.compare(p.size() - 4, 4, ".png") == 0;
    EXPECT_TRUE(image);
    EXPECT_EQ(filesUnder(page), std::set<std::string>{"earlier.html"});
}
