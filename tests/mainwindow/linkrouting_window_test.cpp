// The left pane's clicks and the batch's pages on a real (offscreen) window against a local
// fixture engine: what a click leaves in the URL boxes of the other pages, the click's waits
// for the two panes, and the download page's browser during and after a batch.
#include "download/pages/BrowserDocPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "support/Gate.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

namespace {
constexpr int kResults = 3;

// The engine's result page (result links carry the attribute ending in ")" that marks them),
// a document link beside them, the result sites, and two pages that answer when released.
struct Engine {
    TestHttpServer srv;
    std::mutex mu;
    std::map<std::string, int> asked;  // requests per result site
    Gate leftGate, rightGate;
    Engine()
    {
        srv.server().Get("/search", [this](const httplib::Request &, httplib::Response &res) {
            std::string body = "<html><head><meta charset=\"utf-8\"><title>results</title></head><body>";
            for (int i = 1; i <= kResults; ++i)
                body += "<div class=\"g\"><a onmousedown=\"return rwt(this," + std::to_string(i) + ")\" href=\"" +
                        site(i) + "\">Result " + std::to_string(i) + "</a></div>";
            body += "<p><a class=\"doc\" href=\"" + srv.url("/files/Report.PDF") + "\">report</a></p>";
            res.set_content(body + "<script>function rwt(){return true}</script></body></html>",
                            "text/html; charset=utf-8");
        });
        srv.server().Get(R"(/site/(\d+)\.html)", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard<std::mutex> l(mu);
                ++asked[req.path];
            }
            const std::string n = req.matches[1];
            res.set_content("<html><head><title>Site " + n + "</title></head><body><img src=\"/i" + n +
                                ".png\">page " + n + "</body></html>",
                            "text/html");
        });
        srv.server().Get("/before", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html><body><img src=\"/old.png\">before</body></html>", "text/html");
        });
        srv.server().Get("/slow-left", [this](const httplib::Request &, httplib::Response &res) {
            leftGate.waitOpen();
            res.set_content("<html><body>left</body></html>", "text/html");
        });
        srv.server().Get("/slow-right", [this](const httplib::Request &, httplib::Response &res) {
            rightGate.waitOpen();
            res.set_content("<html><body>right</body></html>", "text/html");
        });
        srv.start();
        setenv("VK_SEARCH_ENGINE_BASE", srv.url("/search").c_str(), 1);
    }
    ~Engine()
    {
        unsetenv("VK_SEARCH_ENGINE_BASE");
        leftGate.release();
        rightGate.release();
    }
    std::string site(int i) const { return srv.url("/site/" + std::to_string(i) + ".html"); }
    QString siteQ(int i) const { return QString::fromStdString(site(i)); }
    QString urlQ(const char *path) const { return QString::fromStdString(srv.url(path)); }
    int requests(int i)
    {
        std::lock_guard<std::mutex> l(mu);
        return asked["/site/" + std::to_string(i) + ".html"];
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
    ~Window() { f.close(); }
    bool search()
    {
        f.net.edGoogleSearch->setEditText(QStringLiteral("routing"));
        f.net.CheckBoxBatchSearchBrowse->setChecked(true);
        QTest::mouseClick(f.net.btnGoogleSearch, Qt::LeftButton);
        return waitUntil([&] { return f.net.ListBoxPageControlBaseBrowserTab08SearchList->count() == kResults; }, 20000);
    }
    TWebbrowser *tabBrowser(int i) const
    {
        QWidget *page = f.net.TargetPageControl->widget(i);
        return page ? page->findChild<TWebbrowser *>() : nullptr;
    }
    bool shows(int tab, const QString &url) const
    {
        return waitUntil([&] {
            TWebbrowser *wb = tabBrowser(tab);
            return wb && wb->LocationURL() == url && !wb->Busy();
        }, 15000);
    }
    // A click in the left pane's document, as the user's click reaches the routing.
    void click(const QString &selector)
    {
        f.net.BaseBrowser->page()->runJavaScript(QStringLiteral("document.querySelector('%1').click();").arg(selector));
    }
};
} // namespace

TEST(LinkRoutingWindow, LeftClicksGiveTheirLinkToTheUrlBoxesOfEveryPageOnce)
{
    Engine e;
    Window w;
    ASSERT_TRUE(w.search());
    auto &f = w.f;
    std::vector<std::string> launched;
    const BrowserLauncher old = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
        launched.push_back(argv.back());
        return true;
    });

    w.click(QStringLiteral("div.g:nth-of-type(1) a"));
    ASSERT_TRUE(w.shows(0, e.siteQ(1))) << w.tabBrowser(0)->LocationURL().toStdString();
    w.click(QStringLiteral("div.g:nth-of-type(2) a"));
    ASSERT_TRUE(w.shows(1, e.siteQ(2)));
    // The same link again opens another tab; the boxes' lists do not grow by it.
    w.click(QStringLiteral("div.g:nth-of-type(1) a"));
    ASSERT_TRUE(w.shows(2, e.siteQ(1)));
    // A document link goes to the desktop's browser and leaves the boxes filled all the same.
    w.click(QStringLiteral("a.doc"));
    ASSERT_TRUE(waitUntil([&] { return !launched.empty(); }, 15000));
    const QString doc = e.urlQ("/files/Report.PDF");
    EXPECT_EQ(launched, std::vector<std::string>{doc.toStdString()});
    EXPECT_EQ(f.dl.ComboBoxURLDirect->currentText(), doc) << "the clicked link itself";
    EXPECT_EQ(f.net.TargetPageControl->count(), 3) << "no tab for a document";

    const struct {
        const char *name;
        QWidget *box;
    } boxes[] = {
        {"edGoogleURL", f.net.edGoogleURL},
        {"ComboBoxUrl", f.dl.ComboBoxUrl},
        {"ComboBoxDirectUrl", f.dl.ComboBoxDirectUrl},
        {"ComboBoxGUIEditorURL", f.gui.ComboBoxGUIEditorURL},
        {"batch URL box", f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView},
        {"edtHost", f.ip.edtHost},
    };
    for (const auto &b : boxes) {
        const QStringList items = ItemList(b.box);
        for (const QString &u : {e.siteQ(1), e.siteQ(2), doc})
            EXPECT_EQ(items.count(u), 1) << b.name << " " << u.toStdString() << " in " << items.join(' ').toStdString();
    }
    // Closing every right-pane page empties the lists again, the batch box's included.
    QTest::mouseClick(f.net.btnCloseSearchTab, Qt::LeftButton);
    for (const auto &b : boxes) EXPECT_TRUE(ItemList(b.box).isEmpty()) << b.name;
    SetBrowserLauncher(old);
}

TEST(LinkRoutingWindow, ClickWaitsForTheLeftPaneThenForTheRightPane)
{
    const struct {
        const char *what;
        bool rightLoadsMeanwhile;
        bool userClosesWaitWindow;
        bool routed;
    } rows[] = {
        {"left pane loading: the click waits for it, then routes", false, false, true},
        {"right pane began a load meanwhile: the click waits for it too", true, false, true},
        {"wait window closed: the right pane stops, the click is dropped", true, true, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        Engine e;
        Window w;
        auto &f = w.f;
        LinkRouter &router = f.netSearchPage->router();
        TWebbrowser *target = f.net.TargetBrowser;
        f.net.BaseBrowser->Navigate(e.urlQ("/slow-left"));
        ASSERT_TRUE(f.net.BaseBrowser->Busy());

        int phase = 0;
        bool routedWhileLeftLoaded = false;
        QTimer step;
        QObject::connect(&step, &QTimer::timeout, &f, [&] {
            if (phase == 0) {
                routedWhileLeftLoaded = f.state().GTargetTabCount != 0 || target->LocationURL() == e.siteQ(1);
                if (r.rightLoadsMeanwhile) target->Navigate(e.urlQ("/slow-right"));
                e.leftGate.release();
                phase = r.rightLoadsMeanwhile ? 1 : 2;
            } else if (phase == 1 && router.waitWindow()->isVisible()) {
                if (r.userClosesWaitWindow) router.waitWindow()->close();
                else e.rightGate.release();
                phase = 2;
            }
        });
        step.start(20);
        EXPECT_FALSE(router.BaseBrowserDocumentClick({QStringLiteral("click"), e.siteQ(1), true}));
        step.stop();
        EXPECT_FALSE(routedWhileLeftLoaded) << "the click went on while the left pane loaded";
        EXPECT_FALSE(f.net.BaseBrowser->Busy());
        EXPECT_EQ(phase, 2);
        if (r.routed) {
            EXPECT_EQ(f.state().GTargetTabCount, 1);
            EXPECT_TRUE(w.shows(0, e.siteQ(1))) << target->LocationURL().toStdString();
            EXPECT_FALSE(router.waitWindow()->isVisible());
        } else {
            EXPECT_EQ(f.state().GTargetTabCount, 0);
            EXPECT_FALSE(target->Busy()) << "the right pane's load was stopped";
            EXPECT_NE(target->LocationURL(), e.siteQ(1));
            EXPECT_EQ(e.requests(1), 0);
        }
    }
}

TEST(LinkRoutingWindow, BatchLeavesItsLastPageToTheDownloadPageWithoutFetchingItTwice)
{
    Engine e;
    Window w;
    ASSERT_TRUE(w.search());
    auto &f = w.f;
    auto &n = f.net;
    TWebbrowser *dlPane = f.dl.WebBrowserMain;
    // The download page's browser showed another page before: its document is not the batch's.
    dlPane->Navigate(e.urlQ("/before"));
    ASSERT_TRUE(waitUntil([&] { return dlPane->hasDocument() && !dlPane->Busy(); }, 15000));
    ASSERT_EQ(PaneImageAddresses(dlPane), std::vector<std::string>{e.srv.url("/old.png")});

    n.SpinEditBatchBrowseStart->setValue(1);
    n.SpinEditBatchBrowseCount->setValue(kResults);
    QTest::mouseClick(n.btnBatchKeyWordSearch, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return n.btnBatchKeyWordSearch->isEnabled(); }, 60000));
    ASSERT_EQ(n.TargetPageControl->count(), kResults);
    for (int i = 0; i < kResults; ++i) ASSERT_TRUE(w.shows(i, e.siteQ(i + 1))) << i;

    // The download page holds the last page as its current one, with no document of the old.
    EXPECT_EQ(dlPane->LocationURL(), e.siteQ(kResults));
    EXPECT_FALSE(dlPane->Busy());
    EXPECT_FALSE(dlPane->hasDocument());
    EXPECT_TRUE(PaneImageAddresses(dlPane).empty()) << "images of the page shown before the batch";
    for (int i = 1; i <= kResults; ++i) EXPECT_EQ(e.requests(i), 1) << "site " << i;

    // Opening the download page shows that page: now, because the user asked to see it.
    n.edGoogleURL->setEditText(QString());
    f.dl.ComboBoxUrl->setEditText(QString());
    f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab01Main);
    EXPECT_EQ(f.dl.ComboBoxUrl->currentText(), e.siteQ(kResults));
    ASSERT_TRUE(waitUntil([&] { return dlPane->hasDocument() && !dlPane->Busy(); }, 15000));
    EXPECT_EQ(dlPane->LocationURL(), e.siteQ(kResults));
    EXPECT_EQ(PaneImageAddresses(dlPane), std::vector<std::string>{e.srv.url("/i3.png")});
    EXPECT_EQ(e.requests(kResults), 2);
}
