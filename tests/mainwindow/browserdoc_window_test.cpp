// The lower tab " メイン " and the CSS page tools through the real (offscreen) window: the page
// beside its source, its images, the raw sheet, the browser buttons, the local-folder reading
// and the frameset copy handed to the WebGUI page.
#include "download/pages/BrowserDocPage.h"
#include "download/pages/CssToolsPage.h"
#include "download/pages/DownloadAllPage.h"
#include "download/pages/DownloadCssPage.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/FixtureSite.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>

namespace {

struct Window {
    QTemporaryDir dir;
    TAMainForm f{dir.filePath(QStringLiteral("vornkym"))};
    std::vector<QString> messages;
    std::vector<std::string> opened;
    BrowserLauncher before;
    Window()
    {
        setMessageBoxHook([this](const QString &t) { messages.push_back(t); });
        before = SetBrowserLauncher([this](const std::vector<std::string> &argv) {
            opened.push_back(argv.back());
            return true;
        });
        f.show();
        f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab01Main);
    }
    ~Window()
    {
        setMessageBoxHook(nullptr);
        SetBrowserLauncher(before);
    }
    bool loaded(const std::string &url)
    {
        TWebbrowser *b = f.dl.WebBrowserMain;
        return waitUntil([&] { return !b->Busy() && b->LocationURL().toStdString() == url && b->hasDocument(); }, 30000);
    }
};

struct Site {
    TestHttpServer srv;
    std::atomic<int> pdfRequests{0};
    Site()
    {
        auto &s = srv.server();
        s.Get("/pics.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><meta charset=\"utf-8\"><title>t</title></head><body><p>日本語</p>"
                          "<img src=\"a.png\"><img src=\"sub/b.gif\"><img src=\"/c.png\"></body></html>",
                          "text/html; charset=utf-8");
        });
        s.Get("/noimg.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><body><p>no images</p></body></html>", "text/html");
        });
        s.Get("/raw.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<p>一</p>\r\n\r\n\r\n<p>二</p>\n\n<p>三</p>", "text/html; charset=utf-8");
        });
        s.Get("/doc.PDF", [this](const httplib::Request &, httplib::Response &r) {
            ++pdfRequests;
            r.set_content("%PDF", "application/pdf");
        });
        s.Get(R"(/.*\.(png|gif))", [](const httplib::Request &, httplib::Response &r) {
            r.set_content(FixtureSite::png(), "image/png");
        });
        srv.start();
    }
    std::string url(const std::string &p) const { return srv.url(p); }
};

QString u8(const char *s) { return QString::fromUtf8(s); }

} // namespace

TEST(BrowserDocWindow, ThePageShowsBesideItsSourceAndItsImagesAreListedInDocumentOrder)
{
    Site site;
    Window w;
    auto &dl = w.f.dl;
    BrowserDocPage &page = *w.f.browserDocPage;

    // Navigate and copy: the clipboard gets the pane's own HTML once it has loaded.
    QSignalSpy copied(&page, &BrowserDocPage::navigateCopied);
    dl.ComboBoxUrl->setEditText(QString::fromStdString(site.url("/pics.html")));
    w.f.doc.btnNavigate->click();
    ASSERT_TRUE(waitUntil([&] { return copied.count() > 0; }, 30000));
    const QString clip = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(clip.contains(u8("日本語")));
    EXPECT_TRUE(clip.contains(QStringLiteral("Shift_JIS"))) << clip.toStdString();
    // The source view fills when the pane's load completes.
    ASSERT_TRUE(waitUntil([&] { return fromSjis(dl.RichEditpageHTML->text()).contains(u8("日本語")); }, 10000))
        << w.f.state().GFormShown << " [" << dl.RichEditpageHTML->text() << "]";

    QStringList images;
    page.GetBrowserImage(images);
    EXPECT_EQ(images, (QStringList{QString::fromStdString(site.url("/a.png")), QString::fromStdString(site.url("/sub/b.gif")),
                                   QString::fromStdString(site.url("/c.png"))}));

    dl.WebBrowserMain->Navigate(QString::fromStdString(site.url("/noimg.html")));
    ASSERT_TRUE(w.loaded(site.url("/noimg.html")));
    page.GetBrowserImage(images);
    EXPECT_TRUE(images.isEmpty());

    // "Navigate" refuses a PDF whatever the letter case; nothing is fetched.
    dl.ComboBoxDirectUrl->setEditText(QString::fromStdString(site.url("/doc.PDF")));
    w.f.doc.BtnBrowseSideNavigate->click();
    dl.ComboBoxDirectUrl->setEditText(QString::fromStdString(site.url("/raw.html")));
    w.f.doc.BtnBrowseSideNavigate->click();
    ASSERT_TRUE(w.loaded(site.url("/raw.html")));
    EXPECT_EQ(site.pdfRequests.load(), 0);

    // The source is saved under the chosen name with ".html".
    const QString chosen = w.dir.filePath(QStringLiteral("saved.txt"));
    page.dialogs.saveHtml = [&](QWidget *, const std::string &) { return toSjis(chosen); };
    w.f.doc.btnSaveDocumentSrc->click();
    QFile saved(w.dir.filePath(QStringLiteral("saved.html")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << dl.RichEditpageHTML->text() << (w.messages.empty() ? "" : w.messages.back().toStdString());
    EXPECT_EQ(saved.readAll().toStdString(), dl.RichEditpageHTML->text());
}

TEST(BrowserDocWindow, ATypedUrlIsShownOnceConfirmedAndOnlyThePaneLoadsIt)
{
    Site site;
    Window w;
    auto &dl = w.f.dl;
    std::vector<QString> loads;
    QObject::connect(dl.WebBrowserMain, &TWebbrowser::BeforeNavigate2,
                     [&](const QString &url, bool *) { loads.push_back(url); });
    // Typed and confirmed with Enter: one navigation, to the whole URL.
    const std::string typed = site.url("/raw.html");
    QTest::keyClicks(dl.ComboBoxUrl->lineEdit(), QString::fromStdString(typed));
    EXPECT_TRUE(loads.empty());
    QTest::keyClick(dl.ComboBoxUrl->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(w.loaded(typed));
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads.back().toStdString(), typed);
    EXPECT_EQ(dl.ComboBoxDirectUrl->currentText().toStdString(), typed);
    ASSERT_TRUE(waitUntil([&] { return fromSjis(dl.RichEditpageHTML->text()).contains(u8("三")); }, 10000));
    // The hidden editor did not load the page a second time behind the user's back.
    TProfDHTMLEdit2 *ed = w.f.state().GTempEditor;
    ASSERT_NE(ed, nullptr);
    // (Once the editor is idle: it may still be making its own first page.)
    ASSERT_TRUE(waitUntil([&] { return !ed->IsBusy(); }, 30000));
    EXPECT_FALSE(ed->GetSource().contains(u8("三")));
}

TEST(BrowserDocWindow, TheRawSheetShowsTheServedTextOrSaysItCouldNotBeFetched)
{
    Site site;
    Window w;
    auto &dl = w.f.dl;
    BrowserDocPage &page = *w.f.browserDocPage;
    auto turnToRaw = [&](const std::string &url) {
        dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab01HTMLSrc);
        dl.ComboBoxUrl->setEditText(QString::fromStdString(url));
        QSignalSpy done(&page, &BrowserDocPage::fetchDone);
        dl.PageControlMainBodyRight->setCurrentWidget(w.f.doc.PageControlmainBodyRightTab03MemoText);
        return waitUntil([&] { return done.count() > 0; }, 30000);
    };
    // Port 1 on the loopback refuses at once: no network is involved.
    ASSERT_TRUE(turnToRaw("http://127.0.0.1:1/none.html"));
    EXPECT_EQ(dl.MemoDownloadText->toPlainText(), u8("取得できませんでした"));
    ASSERT_TRUE(turnToRaw(site.url("/raw.html")));
    EXPECT_EQ(dl.MemoDownloadText->toPlainText(), u8("<p>一</p>\r\n<p>二</p>\r\n<p>三</p>").replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

TEST(BrowserDocWindow, TheBrowserButtonsOpenOnlyWhatTheyShould)
{
    Window w;
    auto &dl = w.f.dl;
    dl.ComboBoxUrl->setEditText(QStringLiteral("ftp://example.invalid/a.html"));
    w.f.doc.btnOpenIE->click();
    EXPECT_TRUE(w.opened.empty());
    dl.ComboBoxUrl->setEditText(QStringLiteral("https://example.invalid/a.html"));
    w.f.doc.btnOpenIE->click();
    EXPECT_EQ(w.opened, std::vector<std::string>{"https://example.invalid/a.html"});
    // The local copy opens only when it exists.
    w.f.state().GGlobalFile = toSjis(w.dir.filePath(QStringLiteral("absent.html")));
    w.f.doc.btnIEOpenLocalFile->click();
    EXPECT_EQ(w.opened.size(), 1u);
    dl.btnDownloadStop->setEnabled(false);
    QFile page(w.dir.filePath(QStringLiteral("here.html")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<p>x</p>");
    page.close();
    w.f.state().GGlobalFile = toSjis(page.fileName());
    w.f.doc.btnIEOpenLocalFile->click();
    EXPECT_EQ(w.opened.back(), toSjis(page.fileName()));
    EXPECT_TRUE(dl.btnDownloadStop->isEnabled());
}

TEST(BrowserDocWindow, ALocalFolderOfStyleSheetsIsReadWithItsProgressAndSaved)
{
    Window w;
    auto &dl = w.f.dl;
    auto &d = w.f.doc;
    const QString folder = w.dir.filePath(QStringLiteral("css"));
    QDir().mkpath(folder);
    for (const char *n : {"a.css", "b.css", "c.css"}) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("x{background:url('img/") + n + ".png')}\r\n/* url(old.png) */\r\n");
    }
    // A folder that is not there is said, and its box emptied.
    dl.BtnEditCSSLocalFolder->setText(w.dir.filePath(QStringLiteral("nowhere")));
    d.btnGetLocalCSSImage->click();
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_EQ(w.messages.back(), u8("ﾌｫﾙﾀﾞｰが存在しません"));
    EXPECT_TRUE(dl.BtnEditCSSLocalFolder->text().isEmpty());

    dl.BtnEditCSSLocalFolder->setText(folder);
    dl.EditFilenameInitial->setText(QStringLiteral(" "));
    dl.ComboBoxExt->setEditText(QStringLiteral("css"));
    const QString joined = w.dir.filePath(QStringLiteral("joined.txt"));
    dl.BtnEditSaveFile->setText(joined);
    QStringList steps;
    QObject::connect(w.f.cssToolsPage, &CssToolsPage::progress, [&](const QString &s) { steps << s; });
    d.btnGetLocalCSSImage->click();
    EXPECT_EQ(steps, (QStringList{QStringLiteral(" [ 1 / 3 ] "), QStringLiteral(" [ 2 / 3 ] "), QStringLiteral(" [ 3 / 3 ] "),
                                  QString()}));
    EXPECT_TRUE(d.LabelCSSFileCount->text().isEmpty());
    EXPECT_EQ(d.ListBoxCSSFileList->count(), 3);
    EXPECT_EQ(d.ListBoxCSSFileLoaded->count(), 3);
    ASSERT_EQ(d.ListBoxCSSInnerImage->count(), 3);
    EXPECT_EQ(d.ListBoxCSSInnerImage->item(0)->text(), QStringLiteral("img/a.css.png"));
    QFile out(joined);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly)) << w.messages.back().toStdString();
    EXPECT_EQ(out.readAll().count("url("), 6);
    EXPECT_EQ(w.messages.size(), 1u);

    // The save choice cancelled leaves the box as it was; accepted, it ends in ".txt".
    w.f.cssToolsPage->saveTxt = [](const std::string &) { return std::string(); };
    emit dl.BtnEditSaveFile->buttonClicked();
    EXPECT_EQ(dl.BtnEditSaveFile->text(), joined);
    w.f.cssToolsPage->saveTxt = [&](const std::string &) { return toSjis(w.dir.filePath(QStringLiteral("all.css"))); };
    emit dl.BtnEditSaveFile->buttonClicked();
    EXPECT_EQ(dl.BtnEditSaveFile->text(), w.dir.filePath(QStringLiteral("all.txt")));
}

TEST(BrowserDocWindow, AFramesetsOwnCopyIsSavedAndTheWebGuiPageListsItsFrames)
{
    FixtureSite site;
    site.put("/site/frames.html",
             "<html><head><title>枠の頁</title></head><frameset cols=\"50%,50%\"><frame src=\"index.html\">"
             "<frame src=\"euc.html\"></frameset></html>",
             "text/html");
    Window w;
    auto &dl = w.f.dl;
    const QString save = w.dir.filePath(QStringLiteral("save"));
    QDir().mkpath(save);
    const QString copy = w.dir.filePath(QStringLiteral("mine/frames-copy.html"));
    QDir().mkpath(w.dir.filePath(QStringLiteral("mine")));
    w.f.downloadAllPage->dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::Yes); };
    w.f.downloadAllPage->dialogs.saveHtml = [&](QWidget *, const std::string &, const std::string &) { return toSjis(copy); };
    dl.BtnEditHTMLPageSaveFolder->setText(save + QStringLiteral("/"));
    dl.ComboBoxUrl->setEditText(QString::fromStdString(site.url("/site/frames.html")));
    SetMainBaseDir(w.f, site.url("/site/frames.html"));
    // The server names no charset: the user's choice decodes the UTF-8 page.
    dl.RadioGroupCharCodeMode->setItemIndex(2);
    QSignalSpy done(w.f.downloadAllPage, &DownloadAllPage::downloadFinished);
    QTest::mouseClick(dl.btnDownloadAll, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return done.count() > 0 && !w.f.downloadCssPage->running(); }, 60000));
    EXPECT_EQ(done.takeFirst().at(0).toInt(), 0);
    EXPECT_TRUE(fromSjis(w.f.rep.RichEditHTMLSrc01->text()).contains(u8("<title>枠の頁</title>")))
        << w.f.rep.RichEditHTMLSrc01->text();
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("<frameset"));
    EXPECT_EQ(w.f.state().GFrameSetPage, toSjis(copy));
    EXPECT_EQ(w.f.frame.PageControlMainTop->currentWidget(), w.f.frame.PageControlMainTopTab06WebGUI);
    EXPECT_EQ(w.f.gui.PageControlWebGUITop->currentWidget(), w.f.gui.PageControlWebGUITopTab07Frame);
    // The frameset page first, then its two frames.
    ASSERT_TRUE(waitUntil([&] { return w.f.gui.ListBoxFrameURL->count() == 3; }, 30000));
    EXPECT_TRUE(w.f.gui.ListBoxFrameURL->item(1)->text().endsWith(QStringLiteral("index.html")));
    EXPECT_TRUE(w.f.gui.ListBoxFrameURL->item(2)->text().endsWith(QStringLiteral("euc.html")));

    // "ﾌﾚｰﾑのｿｰｽ表示とＩＥ閲覧" opens that copy.
    // "ﾌﾚｰﾑのｿｰｽ表示とＩＥ閲覧" opens that copy and shows its text in the program's one source
    // viewer, made on first use when no other road has made it.
    w.f.doc.btnOpenIwithFrameset->click();
    EXPECT_EQ(w.opened.back(), toSjis(copy));
    const auto viewers = w.f.findChildren<TFormSource *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(viewers.size(), 1);
    EXPECT_TRUE(viewers.front()->isVisible());
    EXPECT_TRUE(viewers.front()->RichEditSource->text().find("<frameset") != std::string::npos);
    w.f.doc.btnOpenIwithFrameset->click();
    EXPECT_EQ(w.f.findChildren<TFormSource *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
}
