// The main window on small and large screens: inside the available area, every top tab
// reachable, the panes with at least a third of the height and no empty band above them.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(WindowFit, GeometryAndPanelHeightRules)
{
    const struct {
        QRect asked, available, want;
    } rows[] = {
        {{0, 0, 1557, 864}, {0, 0, 1024, 740}, {0, 0, 1024, 740}},       // larger than the screen: cut to it
        {{0, 0, 1557, 864}, {0, 0, 1920, 1050}, {0, 0, 1557, 864}},      // room enough: its own size
        {{900, 500, 1557, 864}, {0, 0, 1920, 1050}, {363, 186, 1557, 864}}, // hanging off: moved inside
        {{-50, -20, 800, 600}, {0, 30, 1600, 970}, {0, 30, 800, 600}},    // above a top panel: moved down
    };
    for (const auto &r : rows) EXPECT_EQ(FitWindowGeometry(r.asked, r.available), r.want) << r.asked.x();
    EXPECT_EQ(FitPanelHeight(420, 230, 500), 230);  // no band below the options
    EXPECT_EQ(FitPanelHeight(70, 230, 500), 70);    // the asked height holds when smaller
    EXPECT_EQ(FitPanelHeight(420, 230, 120), 120);  // the panes keep their third
    EXPECT_EQ(FitPanelHeight(420, 230, -40), 0);
}

TEST(WindowFit, TheWindowFitsEveryScreenSizeWithThePanesFillingIt)
{
    const QSize screens[] = {{1024, 768}, {1600, 1000}, {1920, 1080}};
    for (const QSize &screen : screens) {
        for (bool firstStart : {true, false}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 %3").arg(screen.width()).arg(screen.height())
                             .arg(firstStart ? "first start" : "later start").toStdString());
            QTemporaryDir dir;
            TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
            f.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
            const QRect area(QPoint(0, 0), screen);
            f.fitToScreen(area, firstStart);
            // The window with its frame lies inside the area.
            ASSERT_TRUE(waitUntil([&] { return area.contains(f.frameGeometry()) && f.width() >= screen.width() * 3 / 5; }, 5000))
                << f.frameGeometry().width() << "x" << f.frameGeometry().height() << " min " << f.minimumSizeHint().width() << "x" << f.minimumSizeHint().height();
            const QSize frame = f.frameGeometry().size() - f.size();
            if (firstStart) EXPECT_EQ(f.size(), screen - frame);
            else EXPECT_EQ(f.size(), QSize(1557, 864).boundedTo(screen - frame));

            // Every top tab can be reached: the tab strip, with its arrows, lies inside the window.
            QTabBar *bar = f.frame.PageControlMainTop->tabBar();
            const QRect strip(bar->mapTo(&f, QPoint(0, 0)), bar->size());
            EXPECT_LE(strip.right(), f.width() - 1);
            EXPECT_TRUE(bar->usesScrollButtons() || bar->tabRect(bar->count() - 1).right() <= bar->width());
            EXPECT_LE(f.statusBar()->geometry().bottom(), f.height() - 1);

            // The panes take at least a third, and the options panel no more than its rows.
            const struct {
                QWidget *page, *panes, *options;
            } pages[] = {
                {f.frame.PageControlMainTopTab00GoogleSearch, f.net.SplitterGoogleSearch, f.net.PanelPageControlMainTopTab00GoogleSearchTop},
                {f.frame.PageControlMainTopTab07BatchPageView, f.batch.SplitterBatchPageView, f.batch.PanelPageControlMainTopTab07BatchPageView},
            };
            for (const auto &p : pages) {
                f.frame.PageControlMainTop->setCurrentWidget(p.page);
                EXPECT_TRUE(waitUntil([&] { return p.panes->height() >= f.height() / 3; }, 5000))
                    << p.panes->objectName().toStdString() << " " << p.panes->height() << " of " << f.height();
                // The band between the options and the panes is the layout's spacing, no more.
                const int gap = p.panes->mapTo(&f, QPoint(0, 0)).y() -
                                (p.options->mapTo(&f, QPoint(0, 0)).y() + p.options->height());
                EXPECT_LE(gap, 110) << p.options->objectName().toStdString();
                EXPECT_LE(p.options->height(), TRowClipper::contentHeight(p.options) + 4) << p.options->objectName().toStdString();
            }
            f.close();
        }
    }
}
