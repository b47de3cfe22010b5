// The whole-page download through the real (offscreen) window: the folder choice, the button,
// the status bar and the lists as the run goes, a second run into the same folder, the frame
// list, the HTML-only download and the stop button.
#include "DownloadAllWindow.h"
#include "download/pages/DownloadAllPage.h"
#include "download/pages/DownloadCssPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/FixtureSite.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/WebFetch.h"
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QFile>
#include <QMessageBox>
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QEventLoop>
#include <gtest/gtest.h>

namespace {

bool exists(const QString &p) { return QFile::exists(p); }

std::string readSys(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

} // namespace

TEST(DownloadAllRoad, TheFixturePageLandsWithTheStatusAndTheListsAndASecondRunKeepsTheUsersFile)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    w.setUrl(site.pageUrl());

    // The picker cancelled changes nothing; a folder chosen fills the four boxes.
    w.pickAnswer.clear();
    QTest::mouseClick(dl.btnHTMLPageSaveFolder, Qt::LeftButton);
    EXPECT_EQ(w.picks, 1);
    EXPECT_TRUE(dl.BtnEditHTMLPageSaveFolder->text().isEmpty());
    w.pickAnswer = w.save;
    QTest::mouseClick(dl.btnHTMLPageSaveFolder, Qt::LeftButton);
    const QString folder = w.save + QStringLiteral("/");
    for (QLineEdit *box : {static_cast<QLineEdit *>(dl.BtnEditHTMLPageSaveFolder), static_cast<QLineEdit *>(dl.BtnEditCSSSaveFolder),
                           static_cast<QLineEdit *>(dl.BtnEditDownloadDirectFolder),
                           static_cast<QLineEdit *>(dl.BtnEditTriedWebFileSaveFolder)})
        EXPECT_EQ(box->text(), folder) << box->objectName().toStdString();
    EXPECT_EQ(w.f.state().GLastSaveFolder, toSjis(folder));

    // The saved copy opens in the desktop's browser only when the user ticks the box.
    EXPECT_FALSE(dl.CheckBoxOpenIE->isChecked());
    dl.CheckBoxOpenIE->setChecked(true);
    ASSERT_EQ(w.run(dl.btnDownloadAll), 0) << (w.messages.empty() ? std::string() : w.messages.back().toStdString());
    EXPECT_EQ(w.opened, std::vector<std::string>{toSjis(w.save + QStringLiteral("/index.html"))});
    EXPECT_TRUE(w.messages.empty()) << w.messages.front().toStdString();
    EXPECT_TRUE(dl.btnDownloadAll->isEnabled());
    EXPECT_TRUE(dl.btnDownloadStop->isEnabled());
    EXPECT_EQ(w.f.StatusBar1->panelText(5), QStringLiteral(" [ 4 - HTML download ]"));
    EXPECT_TRUE(exists(w.save + QStringLiteral("/index.html")));
    EXPECT_EQ(w.f.state().GGlobalFile, toSjis(w.save + QStringLiteral("/index.html")));
    // Every attempt, newest on top; the not-obtained page in front.
    ASSERT_GT(dl.ListBoxBodyImageDownloaded->count(), 5);
    EXPECT_TRUE(dl.ListBoxBodyImageDownloaded->item(0)->text().startsWith(dl.LabelWebFile->text()));
    EXPECT_EQ(w.f.frame.PageControlMainBody->currentWidget(), w.f.frame.PageControlMainBodyTab09CantObtained);
    EXPECT_FALSE(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->findItems(QStringLiteral("missing.css"), Qt::MatchExactly).isEmpty());
    EXPECT_GT(dl.LabeDLCnt->text().toInt(), 5);
    EXPECT_FALSE(dl.ListBoxAbsExistFile->count() == 0);

    // A second run with the folder emptied: the user's file stays.
    {
        QFile mine(w.save + QStringLiteral("/mine.txt"));
        ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
    }
    dl.CheckBoxDoNotEmptyFolder->setChecked(false);
    ASSERT_EQ(w.run(dl.btnDownloadAll), 0);
    EXPECT_EQ(readSys(w.save + QStringLiteral("/mine.txt")), "mine");
    EXPECT_TRUE(exists(w.save + QStringLiteral("/index.html")));
}

TEST(DownloadAllRoad, AFolderChosenWithGoImmediateStartsTheRun)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    // A URL typed in with no local name: the page is "index.html" without a question.
    dl.ComboBoxUrl->setEditText(QString::fromStdString(site.pageUrl()));
    dl.BtnEditLocalFilename->clear();
    int asked = 0;
    w.f.downloadAllPage->dialogs.ask = [&](QWidget *, const QString &, bool) {
        ++asked;
        return int(QMessageBox::Yes);
    };
    dl.CheckBoxGoImmediate->setChecked(true);
    w.pickAnswer = w.save;
    ASSERT_EQ(w.run(dl.btnHTMLPageSaveFolder), 0);
    EXPECT_TRUE(exists(w.save + QStringLiteral("/index.html")));
    EXPECT_EQ(w.picks, 1);
    EXPECT_EQ(asked, 0);
    // The run asked the server for the page once; nothing opened the saved copy.
    EXPECT_EQ(site.requests("/site/index.html"), 1);
    EXPECT_TRUE(w.opened.empty());
}

// A caller that waits for the run's end in an event loop of its own and leaves it from the end's
// handler gets each run's end once, after its page is on disk, run after run.
TEST(DownloadAllRoad, EachRunEndsOnceWhenItsEndLeavesANestedLoop)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    w.setUrl(site.pageUrl());
    dl.CheckBoxGoImmediate->setChecked(true);
    for (int i = 0; i < 5; ++i) {
        QTemporaryDir dir;
        w.pickAnswer = dir.path();
        int ends = 0;
        bool written = false;
        QEventLoop loop;
        const auto c = QObject::connect(w.f.downloadAllPage, &DownloadAllPage::downloadFinished, &loop, [&](int r) {
            ++ends;
            written = r == 0 && exists(dir.path() + QStringLiteral("/index.html"));
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        dl.btnHTMLPageSaveFolder->click();
        if (ends == 0) loop.exec();
        ASSERT_TRUE(waitUntil([&] { return !w.f.downloadCssPage->running(); }, 60000));
        QObject::disconnect(c);
        EXPECT_EQ(ends, 1) << "run " << i;
        EXPECT_TRUE(written) << "run " << i;
    }
}

TEST(DownloadAllRoad, HtmlOnlyGivesTheButtonBackWhateverTheResult)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    w.setUrl(site.url("/site/none.html"));
    dl.BtnEditLocalFilename->setText(QStringLiteral("none.html"));
    EXPECT_EQ(w.run(dl.btnPageHTMLDownload), -1);
    EXPECT_TRUE(dl.btnPageHTMLDownload->isEnabled());
    EXPECT_TRUE(dl.LabelWebPage->text().contains(QStringLiteral("がＷｅｂサイトに存在しません")));
    EXPECT_FALSE(exists(w.save + QStringLiteral("/none.html")));

    w.setUrl(site.pageUrl());
    dl.BtnEditLocalFilename->setText(QStringLiteral("index.html"));
    EXPECT_EQ(w.run(dl.btnPageHTMLDownload), 0);
    EXPECT_TRUE(dl.btnPageHTMLDownload->isEnabled());
    EXPECT_TRUE(exists(w.save + QStringLiteral("/index.html")));
    EXPECT_FALSE(exists(w.save + QStringLiteral("/img/a.png"))); // the page alone
}

TEST(DownloadAllRoad, AFramesetListsItsFramesAndAClickDownloadsTheInnerUrl)
{
    FixtureSite site;
    site.put("/site/frames.html",
             "<html><frameset cols=\"50%,50%\"><frame src=\"index.html\">"
             "<frame src=\"http://127.0.0.1:@PORT@/jump?to=http://127.0.0.1:@PORT@/site/euc.html\"></frameset></html>",
             "text/html");
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    w.setUrl(site.url("/site/frames.html"));
    ASSERT_EQ(w.run(dl.btnDownloadAll), 0);
    ASSERT_EQ(dl.ListBoxFrameSet->count(), 2);
    EXPECT_EQ(dl.ListBoxFrameSet->item(0)->text().toStdString(), site.url("/site/index.html"));
    EXPECT_EQ(dl.ListBoxFrameSet->item(1)->text().toStdString(), site.url("/site/euc.html"));
    EXPECT_TRUE(dl.CheckBoxDoNotEmptyFolder->isChecked());
    EXPECT_TRUE(exists(w.save + QStringLiteral("/frames.html")));
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages.back(), QStringLiteral("Framesetﾌｧｲﾙです。各HTMLを個別にﾀﾞｳﾝﾛｰﾄﾞしてください"));

    // A click on the wrapped frame downloads the inner page; the URL box shows the frameset again.
    dl.ListBoxFrameSet->setCurrentRow(1);
    QSignalSpy done(w.f.downloadAllPage, &DownloadAllPage::downloadFinished);
    QTest::mouseClick(dl.ListBoxFrameSet->viewport(), Qt::LeftButton, {},
                      dl.ListBoxFrameSet->visualItemRect(dl.ListBoxFrameSet->item(1)).center());
    EXPECT_EQ(dl.ComboBoxUrl->currentText().toStdString(), site.url("/site/frames.html"));
    ASSERT_TRUE(waitUntil([&] { return done.count() > 0 && !w.f.downloadCssPage->running(); }, 60000));
    EXPECT_EQ(done.takeFirst().at(0).toInt(), 0);
    EXPECT_TRUE(exists(w.save + QStringLiteral("/euc.html")));
    EXPECT_TRUE(exists(w.save + QStringLiteral("/frames.html"))); // the folder was kept
}

TEST(DownloadAllRoad, StopDuringTheRunGivesMinusOneAndTheButtonBack)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    w.setUrl(site.pageUrl());
    QSignalSpy done(w.f.downloadAllPage, &DownloadAllPage::downloadFinished);
    // A style sheet's fetch is held, so the stop lands while the run is known to be inside its
    // style-sheet steps, however fast the rest of the run would go.
    site.hold("/site/css/a.css");
    QTest::mouseClick(dl.btnDownloadAll, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] {
        return site.held() > 0 && w.f.StatusBar1->panelText(5).contains(QStringLiteral(" - "));
    }, 30000));
    ASSERT_TRUE(dl.btnDownloadStop->isEnabled());
    QTest::mouseClick(dl.btnDownloadStop, Qt::LeftButton);
    site.release();
    ASSERT_TRUE(waitUntil([&] { return done.count() > 0 && !w.f.downloadCssPage->running(); }, 60000));
    EXPECT_EQ(done.takeFirst().at(0).toInt(), -1);
    EXPECT_TRUE(dl.btnDownloadStop->isEnabled());
    EXPECT_TRUE(dl.btnDownloadAll->isEnabled());
}

namespace {
// The part of a control the user can see: its rectangle in window coordinates clipped by every
// parent (the top area, the page's scroll area, the window).
QRect seen(QWidget *w, QWidget *window)
{
    QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        r &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return r & window->rect();
}
bool wholeInSight(QWidget *w, QWidget *window) { return w->isVisible() && seen(w, window).size() == w->size(); }
// Not cut at the right or left: the page never runs wider than the window.
bool wholeWidthInSight(QWidget *w, QWidget *window)
{
    const QRect all(w->mapTo(window, QPoint(0, 0)), w->size());
    QRect clip = window->rect();
    for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<QAbstractScrollArea *>(p) == nullptr && p->objectName() != QLatin1String("qt_scrollarea_viewport"))
            clip &= QRect(p->mapTo(window, QPoint(0, 0)), p->size()).adjusted(0, -100000, 0, 100000);
    return w->isVisibleTo(window) && all.left() >= clip.left() && all.right() <= clip.right();
}
std::string where(QWidget *c, QWidget *window)
{
    const QPoint p = c->mapTo(window, QPoint(0, 0));
    return c->objectName().toStdString() + " at " + std::to_string(p.x()) + "," + std::to_string(p.y()) + " size " +
           std::to_string(c->width()) + "x" + std::to_string(c->height());
}
} // namespace

// At 1600x1000 the download page fits the window's width, its run controls stand in the top
// area when the page is turned to, and the stop button stays in sight through a run and after.
TEST(DownloadAllRoad, TheRunControlsStayInSightAndThePageFitsTheWindowsWidth)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    w.f.resize(1600, 1000);
    w.f.frame.PageControlMainTop->setCurrentWidget(w.f.frame.PageControlMainTopTab01Main);
    QCoreApplication::processEvents();
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    w.setUrl(site.pageUrl());
    std::vector<QWidget *> run = {dl.ComboBoxUrl, dl.btnDownAllPaste, dl.btnDownAllCOPY, dl.BtnEditLocalFilename,
                                  dl.BtnEditHTMLPageSaveFolder, dl.btnHTMLPageSaveFolder, dl.btnSaveFolderClear,
                                  dl.CheckBoxGoImmediate, dl.btnDownloadAll, dl.btnDownloadStop, dl.btnPageHTMLDownload};
    // The window's own choice of lower page squeezes the top area; the run controls stay.
    w.f.frame.PageControlMainBody->setCurrentWidget(w.f.frame.PageControlMainBodyTab05DownloadText);
    w.f.frame.PageControlMainBody->setCurrentWidget(w.f.frame.PageControlMainBodyTab01Main);
    QCoreApplication::processEvents();
    for (QWidget *c : run) EXPECT_TRUE(wholeInSight(c, &w.f)) << where(c, &w.f);
    QWidget *content = w.f.findChild<QWidget *>(QStringLiteral("PanelDownloadAllTop"))->parentWidget();
    for (QWidget *c : content->findChildren<QWidget *>())
        if (c->isVisibleTo(content) && !qobject_cast<QScrollBar *>(c) && c->parentWidget()->isVisibleTo(content))
            EXPECT_TRUE(wholeWidthInSight(c, &w.f)) << where(c, &w.f);

    QSignalSpy done(w.f.downloadAllPage, &DownloadAllPage::downloadFinished);
    site.hold("/site/css/a.css");
    QTest::mouseClick(dl.btnDownloadAll, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return site.held() > 0; }, 30000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(wholeInSight(dl.btnDownloadStop, &w.f)) << where(dl.btnDownloadStop, &w.f);
    QTest::mouseClick(dl.btnDownloadStop, Qt::LeftButton);
    site.release();
    ASSERT_TRUE(waitUntil([&] { return done.count() > 0 && !w.f.downloadCssPage->running(); }, 60000));
    QCoreApplication::processEvents();
    for (QWidget *c : {dl.btnDownloadAll, dl.btnDownloadStop}) EXPECT_TRUE(wholeInSight(c, &w.f)) << where(c, &w.f);
}

// The image page below shows the run's last file as it goes: a long escaped URL or a deep
// Japanese path is clipped, never widening the page past the window.
TEST(DownloadAllRoad, TheLastFilesLabelsLeaveTheImagePageWithinTheWindow)
{
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    auto &rp = w.f.rep;
    w.f.resize(1600, 1000);
    w.f.frame.PageControlMainBody->setCurrentWidget(w.f.frame.PageControlMainBodyTab02PageInnerFile);
    QCoreApplication::processEvents();
    dl.LabelWebFile->setText(QStringLiteral("http://127.0.0.1:8080/") + QStringLiteral("%E7%94%BB%E5%83%8F%20").repeated(16) +
                             QStringLiteral("x.png"));
    dl.LabelLocalFile->setText(QStringLiteral("/tmp/save/") + QStringLiteral("画像 フォルダ/").repeated(16) + QStringLiteral("x.png"));
    QCoreApplication::processEvents();
    for (QWidget *c : std::vector<QWidget *>{dl.EditDownloadLWebFileIndividual, rp.btnGetFromBaseUrl,
                                             dl.BtnEditDownloadLocalFileIndividual, rp.btnSaveIndividualImageFoder,
                                             rp.btnDownloadImageAndCSS, rp.btnIndividualDownloadCheck})
        EXPECT_TRUE(wholeWidthInSight(c, &w.f)) << where(c, &w.f);
    // Clipped, yet with the room its row has left to show what it can.
    EXPECT_GT(dl.LabelWebFile->width() + dl.LabelLocalFile->width(), 400) << where(dl.LabelWebFile, &w.f);
}

// The page's small buttons: "貼付け" spreads a pasted URL and shows the page, the boxes' "..."
// choose a folder and a name (a cancel changes nothing), boxes without an action show no
// "...", and the attempts list goes to the clipboard.
TEST(DownloadAllRoad, TheSmallButtonsOfThePageDoWhatTheySay)
{
    FixtureSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    const QString url = QString::fromStdString(site.pageUrl());
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    QGuiApplication::clipboard()->setText(QStringLiteral("  ") + url + QStringLiteral("\n"));
    QTest::mouseClick(dl.btnDownAllPaste, Qt::LeftButton);
    for (const QString &t : {dl.ComboBoxUrl->currentText(), dl.ComboBoxURLDirect->currentText(),
                             w.f.gui.ComboBoxGUIEditorURL->currentText(), dl.ComboBoxBatchDownloadURL->currentText(),
                             w.f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->text()})
        EXPECT_EQ(t, url);
    EXPECT_TRUE(dl.BtnEditHTMLPageSaveFolder->text().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return dl.WebBrowserMain->LocationURL() == url && !dl.WebBrowserMain->Busy(); }, 30000));

    std::string answer;
    w.f.downloadAllPage->dialogs.openHtml = [&](QWidget *, const std::string &, const std::string &name) {
        EXPECT_EQ(name, "dummy.html");
        return answer;
    };
    w.f.downloadAllPage->dialogs.saveHtml = [&](QWidget *, const std::string &, const std::string &) { return answer; };
    dl.BtnEditHTMLPageSaveFolder->setText(QStringLiteral("/kept/"));
    dl.BtnEditLocalFilename->setText(QStringLiteral("kept.html"));
    answer.clear();
    QTest::mouseClick(dl.BtnEditHTMLPageSaveFolder->button(), Qt::LeftButton);
    QTest::mouseClick(dl.BtnEditLocalFilename->button(), Qt::LeftButton);
    EXPECT_EQ(dl.BtnEditHTMLPageSaveFolder->text(), QStringLiteral("/kept/"));
    EXPECT_EQ(dl.BtnEditLocalFilename->text(), QStringLiteral("kept.html"));
    answer = toSjis(w.save + QStringLiteral("/sub/page"));
    QTest::mouseClick(dl.BtnEditHTMLPageSaveFolder->button(), Qt::LeftButton);
    QTest::mouseClick(dl.BtnEditLocalFilename->button(), Qt::LeftButton);
    EXPECT_EQ(dl.BtnEditHTMLPageSaveFolder->text(), w.save + QStringLiteral("/sub/"));
    EXPECT_EQ(dl.BtnEditLocalFilename->text(), QStringLiteral("page.html"));
    for (TBtnEdit *b : {dl.BtnEditDownloadLocalFile, dl.BtnEditDownloadDirectLocalFilename, dl.BtnEditTriedWebFileSaveFolder,
                        dl.BtnEditPageControlMainBodyCSSUrl, dl.BtnEditPageControlMainBodyHTMLFolder})
        EXPECT_FALSE(b->button()->isVisibleTo(b)) << b->objectName().toStdString();

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    dl.btnListBoxDownloaded2Clipboard->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    dl.ListBoxBodyImageDownloaded->addItems({QStringLiteral("http://h/a.png\t◎  a.png"), QStringLiteral("http://h/b.png\t◎  b.png")});
    dl.btnListBoxDownloaded2Clipboard->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://h/a.png\t◎  a.png\r\nhttp://h/b.png\t◎  b.png"));
}
