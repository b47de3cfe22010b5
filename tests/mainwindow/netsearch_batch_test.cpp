// The result list's own road on a real (offscreen) window: a click on a list line opens that
// result, a batch opens a run of results in the right pane until its count or Stop, and the
// right pane's tabs close again.
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>

namespace {
constexpr int kResults = 6;

// Titles as the page writes them and as the list must show them.
const char *const kTitleHtml[kResults] = {"Google ドライブの使い方", "Yahoo!知恵袋まとめ", "Tom &amp; Jerry",
                                          "&quot;Q&quot; &#38; A", "C++ &lt;tips&gt;", "Result 6"};
const char *const kTitleShown[kResults] = {"Google ドライブの使い方", "Yahoo!知恵袋まとめ", "Tom & Jerry",
                                           "\"Q\" & A", "C++ <tips>", "Result 6"};

struct Engine {
    TestHttpServer srv;
    std::mutex mu;
    std::vector<std::string> asked;  // request targets of the result pages, in order
    Engine()
    {
        srv.server().Get("/search", [this](const httplib::Request &, httplib::Response &res) {
            std::string body = "<html><head><meta charset=\"utf-8\"><title>results</title></head><body>";
            for (int i = 1; i <= kResults; ++i) {
                std::string href = site(i);
                const std::string amp = i % 2 ? "&amp;" : "&#38;";
                for (size_t p; (p = href.find("&b=")) != std::string::npos;) href.replace(p, 1, amp);
                body += "<div><a onmousedown=\"return rwt(this," + std::to_string(i) + ")\" href=\"" + href + "\">" +
                        kTitleHtml[i - 1] + "</a></div>";
            }
            res.set_content(body + "<script>function rwt(){return true}</script></body></html>",
                            "text/html; charset=utf-8");
        });
        srv.server().Get(R"(/site/(\d+)\.html)", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard<std::mutex> l(mu);
                asked.push_back(req.target);
            }
            const std::string n = req.matches[1];
            res.set_content("<html><head><title>Site " + n + "</title></head><body>page " + n + "</body></html>",
                            "text/html");
        });
        srv.start();
        setenv("VK_SEARCH_ENGINE_BASE", srv.url("/search").c_str(), 1);
    }
    ~Engine() { unsetenv("VK_SEARCH_ENGINE_BASE"); }
    static std::string path(int i) { return "/site/" + std::to_string(i) + ".html?a=1+2&b=C%2B%2B&n=" + std::to_string(i); }
    std::string site(int i) const { return srv.url(path(i)); }
    QString siteQ(int i) const { return QString::fromStdString(site(i)); }
    std::vector<std::string> requests()
    {
        std::lock_guard<std::mutex> l(mu);
        return asked;
    }
};

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    TAMainForm &f = *form;
    Window()
    {
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
    }
    // Searches and waits for the result list.
    bool search()
    {
        f.net.edGoogleSearch->setEditText(QStringLiteral("batch"));
        f.net.CheckBoxBatchSearchBrowse->setChecked(true);
        QTest::mouseClick(f.net.btnGoogleSearch, Qt::LeftButton);
        return waitUntil([&] { return f.net.ListBoxPageControlBaseBrowserTab08SearchList->count() == kResults; }, 20000);
    }
    TWebbrowser *tabBrowser(int i) const
    {
        return f.net.TargetPageControl->widget(i)->findChild<TWebbrowser *>();
    }
    bool shows(int tab, const QString &url) const
    {
        return waitUntil([&] {
            TWebbrowser *wb = tabBrowser(tab);
            return wb && wb->LocationURL() == url && !wb->Busy();
        }, 15000);
    }
};
} // namespace

TEST(NetSearchBatch, ListClickOpensItsResultAndCloseAllLeavesTheBlankFixedTab)
{
    Engine e;
    Window w;
    ASSERT_TRUE(w.search());
    auto &n = w.f.net;
    n.PageControlBaseBrowser->setCurrentWidget(n.PageControlBaseBrowserTab08SearchList);
    auto *list = n.ListBoxPageControlBaseBrowserTab08SearchList;
    // Every result is listed, with the address and title the page means.
    for (int i = 0; i < kResults; ++i) {
        const QString no = QString::number(i + 1).rightJustified(2) + QStringLiteral(".  ");
        EXPECT_EQ(list->item(i)->text(), no + QString::fromUtf8(kTitleShown[i]) + QLatin1Char('\t') + e.siteQ(i + 1));
        EXPECT_EQ(n.ListBoxBaseBrowser->item(i)->text(), no + QString::fromUtf8(kTitleShown[i]));
    }
    QListWidgetItem *third = list->item(2);
    list->scrollToItem(third);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(third).center());
    // The line opens in a tab of its own, numbered by the line.
    ASSERT_TRUE(waitUntil([&] { return n.TargetPageControl->count() == 2; }, 15000));
    ASSERT_TRUE(w.shows(1, e.siteQ(3))) << w.tabBrowser(1)->LocationURL().toStdString();
    // The caption shows the title's "&" as it stands, not as a shortcut mark.
    EXPECT_EQ(n.TargetPageControl->tabText(1).toStdString(), "  3.  Tom && Je ");
    EXPECT_EQ(n.SpinEditBatchBrowseStart->value(), 3) << "the opened line's number";
    EXPECT_EQ(e.requests(), std::vector<std::string>{Engine::path(3)}) << "the server saw exactly the result's address";

    TargetTabs &tabs = w.f.netSearchPage->tabs();
    tabs.CreateTargetTab(e.site(1), e.site(1), 0);
    ASSERT_EQ(n.TargetPageControl->count(), 3);
    tabs.CloseAllTargetBrowser();
    EXPECT_EQ(n.TargetPageControl->count(), 1);
    EXPECT_TRUE(n.TargetPageControl->tabText(0).isEmpty());
    EXPECT_TRUE(waitUntil([&] { return n.TargetBrowser->LocationURL() == QStringLiteral("about:blank"); }, 10000));
    EXPECT_EQ(tabs.TargetBrowser(), n.TargetBrowser);

    // Closing the fixed tab blanks it and leaves its caption as two blanks.
    n.TargetBrowser->Navigate(e.siteQ(1));
    ASSERT_TRUE(w.shows(0, e.siteQ(1)));
    tabs.CloseCurrentTab();
    EXPECT_EQ(n.TargetPageControl->count(), 1);
    EXPECT_EQ(n.TargetPageControl->tabText(0), QStringLiteral("  "));
    w.f.close();
}

TEST(NetSearchBatch, BatchOpensItsRunAndStopEndsIt)
{
    Engine e;
    Window w;
    ASSERT_TRUE(w.search());
    auto &n = w.f.net;
    auto *pc = n.TargetPageControl;

    // Two from the third: the third in the fixed tab, the fourth in a new tab, next start 5.
    n.SpinEditBatchBrowseStart->setValue(3);
    n.SpinEditBatchBrowseCount->setValue(2);
    QTest::mouseClick(n.btnBatchKeyWordSearch, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return n.btnBatchKeyWordSearch->isEnabled(); }, 60000));
    ASSERT_EQ(pc->count(), 2);
    EXPECT_TRUE(w.shows(0, e.siteQ(3))) << w.tabBrowser(0)->LocationURL().toStdString();
    EXPECT_TRUE(w.shows(1, e.siteQ(4))) << w.tabBrowser(1)->LocationURL().toStdString();
    EXPECT_EQ(n.SpinEditBatchBrowseStart->value(), 5);
    auto asked = e.requests();  // the two tabs load side by side: any order
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{Engine::path(3), Engine::path(4)}));

    // Stop pressed once the second page is open ends the run there.
    n.SpinEditBatchBrowseStart->setValue(1);
    n.SpinEditBatchBrowseCount->setValue(kResults);
    QObject::connect(pc, &QTabWidget::currentChanged, &w.f, [&] {
        if (pc->count() == 2 && n.btnBatchBrowseStop->isEnabled())
            QTimer::singleShot(0, n.btnBatchBrowseStop, [&] { QTest::mouseClick(n.btnBatchBrowseStop, Qt::LeftButton); });
    });
    QTest::mouseClick(n.btnBatchKeyWordSearch, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return n.btnBatchKeyWordSearch->isEnabled(); }, 60000));
    EXPECT_EQ(pc->count(), 2) << "the run went on after Stop";
    EXPECT_EQ(n.SpinEditBatchBrowseStart->value(), 3);
    EXPECT_TRUE(n.btnBatchBrowseStop->isEnabled()) << "given back when the run returns";
    w.f.close();
}
