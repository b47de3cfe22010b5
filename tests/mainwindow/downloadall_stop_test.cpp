// The end of a whole-page run that is cut short, through the real (offscreen) window against a
// server that trickles: closing the window stops the run and waits for it, and nothing reaches
// the folder or the server afterwards; the stop button's pending text holds until the run has
// ended.
#include "DownloadAllWindow.h"
#include "support/TrickleSite.h"
#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// Every file and folder under a folder with its size and time of change: two equal snapshots
// mean nothing was written, made or removed in between.
QStringList snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo i(it.next());
        out << i.filePath().mid(dir.size()) + QLatin1Char(' ') + QString::number(i.size()) + QLatin1Char(' ') +
                   QString::number(i.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

} // namespace

// Closed while the page itself trickles (the run's first look at it), while an image trickles
// (the image step), and just as the first look has ended and the run proper is about to begin:
// each time the close comes back at once with the engine idle, and what follows in the window's
// event loop neither asks the server for anything nor writes into the folder.
TEST(DownloadAllClose, ClosingTheWindowEndsTheRunAndNothingIsWrittenAfterwards)
{
    enum Moment { PageTrickles, ImageTrickles, FirstLookEnded };
    const struct {
        Moment at;
        const char *slow;
        const char *name;
    } cases[] = {{PageTrickles, "/p/index.html", "while the page trickles"},
                 {ImageTrickles, "/p/a-slow.png", "while an image trickles"},
                 {FirstLookEnded, "/p/a-slow.png", "as the first look has ended"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TrickleSite site(c.slow);
        DownloadAllWindow w;
        auto &dl = w.f.dl;
        dl.CheckBoxDoNotEmptyFolder->setChecked(true);
        dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
        w.setUrl(site.pageUrl());
        dl.BtnEditLocalFilename->setText(QStringLiteral("index.html"));

        qint64 closeMs = -1;
        const auto closeNow = [&] {
            QElapsedTimer t;
            t.start();
            w.f.close();
            closeMs = t.elapsed();
        };
        // Connected before the click, so it runs before the page's own handler of the first
        // look's end, which begins the run proper.
        int ends = 0;
        QObject::connect(w.f.downloadCssPage, &DownloadCssPage::runFinished, &w.f, [&] {
            if (c.at == FirstLookEnded && ++ends == 1) closeNow();
        });
        QTest::mouseClick(dl.btnDownloadAll, Qt::LeftButton);
        if (c.at == FirstLookEnded)
            ASSERT_TRUE(waitUntil([&] { return closeMs >= 0; }, 30000));
        else {
            ASSERT_TRUE(waitUntil([&] { return site.trickling(); }, 30000));
            closeNow();
        }
        EXPECT_FALSE(w.f.isVisible());
        EXPECT_LT(closeMs, 3000);
        EXPECT_FALSE(w.f.downloadCssPage->engine().Running());

        const QStringList atClose = snapshot(w.save);
        const int asked = site.requests();
        // The server stops trickling: a run still alive would now go on quickly to the page.
        site.finish();
        EXPECT_TRUE(waitUntil([&] { return !w.f.downloadCssPage->running() && !w.f.downloadAllPage->busy(); }, 10000));
        QCoreApplication::processEvents();
        EXPECT_FALSE(w.f.downloadCssPage->running());
        EXPECT_EQ(site.requests(), asked);
        EXPECT_EQ(snapshot(w.save), atClose);
        EXPECT_FALSE(QFile::exists(w.save + QStringLiteral("/index.html")));
    }
}

// " ﾀﾞｳﾝﾛｰﾄﾞ中止 " pressed while an image trickles: the status bar says the stop is pending from the
// click on until the run has ended, and then that the run was stopped; the next run's steps show
// again.
TEST(DownloadAllStop, ThePendingTextHoldsWhileTheRunEndsAndIsReplacedWhenItHasEnded)
{
    TrickleSite site;
    DownloadAllWindow w;
    auto &dl = w.f.dl;
    dl.BtnEditHTMLPageSaveFolder->setText(w.save + QStringLiteral("/"));
    w.setUrl(site.pageUrl());
    dl.BtnEditLocalFilename->setText(QStringLiteral("index.html"));
    const QString pending = QStringLiteral(" [ ﾀﾞｳﾝﾛｰﾄﾞ中止を待っています（実行中の処理が終わるまで） ]");
    const QString stopped = QStringLiteral(" [ ﾀﾞｳﾝﾛｰﾄﾞを中止しました ]");

    QSignalSpy done(w.f.downloadAllPage, &DownloadAllPage::downloadFinished);
    QTest::mouseClick(dl.btnDownloadAll, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return site.trickling(); }, 30000));
    QTest::mouseClick(dl.btnDownloadStop, Qt::LeftButton);
    EXPECT_TRUE(w.f.downloadCssPage->running());
    EXPECT_EQ(w.f.StatusBar1->panelText(5), pending);
    // Every text the bar shows until the run's end is the pending one.
    QStringList seen;
    ASSERT_TRUE(waitUntil([&] {
        const QString t = w.f.StatusBar1->panelText(5);
        if (done.isEmpty() && (seen.isEmpty() || seen.back() != t)) seen << t;
        return done.count() > 0 && !w.f.downloadCssPage->running();
    }, 10000));
    EXPECT_EQ(seen, QStringList{pending});
    EXPECT_EQ(done.takeFirst().at(0).toInt(), -1);
    EXPECT_EQ(w.f.StatusBar1->panelText(5), stopped);
    EXPECT_FALSE(QFile::exists(w.save + QStringLiteral("/index.html")));

    // The next run's steps show again.
    site.finish();
    dl.btnDownloadStop->setEnabled(true);
    EXPECT_EQ(w.run(dl.btnDownloadAll), 0);
    EXPECT_EQ(w.f.StatusBar1->panelText(5), QStringLiteral(" [ 4 - HTML download ]"));
}
