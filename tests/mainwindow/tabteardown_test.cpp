// Closing run-time tabs frees what each tab's browser held: the browser, its engine view and
// its engine page are all destroyed, for the right pane, the batch viewer and the WebGUI
// editor tabs alike, against pages served on 127.0.0.1 in a real (offscreen) window.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <fstream>
#include <gtest/gtest.h>

namespace {
constexpr int kTabs = 4;

struct Site {
    TestHttpServer http;
    Site()
    {
        http.server().Get(R"(/p/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
            res.set_content("<html><body><p>page " + std::string(req.matches[1]) + "</p></body></html>", "text/html");
        });
        http.start();
    }
    std::string url(int n) const { return http.url("/p/" + std::to_string(n)); }
};

// What a tab's browser holds, watched from outside.
struct Held {
    QPointer<TWebbrowser> browser;
    QPointer<QWebEngineView> view;
    QPointer<QWebEnginePage> page;
    explicit Held(TWebbrowser *wb) : browser(wb), view(wb ? wb->view() : nullptr), page(wb && wb->hasView() ? wb->page() : nullptr) {}
    bool gone() const { return !browser && !view && !page; }
};

bool loaded(TWebbrowser *wb)
{
    return wb && waitUntil([wb] { return wb->hasView() && !wb->Busy() && wb->LocationURL() != QLatin1String("about:blank"); }, 30000);
}

bool allGone(const std::vector<Held> &held)
{
    return waitUntil([&] { return std::all_of(held.begin(), held.end(), [](const Held &h) { return h.gone(); }); },
                     10000);
}

struct Window {
    QTemporaryDir dir;
    TAMainForm f{dir.filePath(QStringLiteral("vornkym"))};
    Window()
    {
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
    }
    ~Window() { f.close(); }
};
} // namespace

TEST(TabTeardown, RightPaneTabsClosedTogetherLeaveNoBrowserViewOrPage)
{
    Site site;
    Window w;
    TargetTabs &tabs = w.f.netSearchPage->tabs();
    std::vector<Held> held;
    w.f.state().GTargetTabCount = 1;
    for (int i = 0; i < kTabs; ++i) {
        ASSERT_NE(tabs.CreateTargetTab(site.url(i), site.url(i), 0), nullptr);
        ASSERT_TRUE(loaded(tabs.TargetBrowser()));
        held.emplace_back(tabs.TargetBrowser());
        ASSERT_TRUE(held.back().page);
    }
    tabs.CloseAllTargetBrowser();
    EXPECT_TRUE(allGone(held));
    EXPECT_EQ(w.f.net.TargetPageControl->count(), 1);
    // The fixed tab stays usable after its neighbours went.
    tabs.TargetBrowser()->Navigate(QString::fromStdString(site.url(99)));
    EXPECT_TRUE(loaded(tabs.TargetBrowser()));
}

TEST(TabTeardown, BatchViewerTabsClosedTogetherLeaveNoBrowserViewOrPage)
{
    Site site;
    Window w;
    auto *pc = w.f.batch.PageCotrolMainTopTab07BatchPageView;
    w.f.batch.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
    std::vector<Held> held;
    for (int i = 0; i < kTabs; ++i) {
        w.f.batchViewPage->OpenMultiURL(site.url(i), i);
        TWebbrowser *wb = pc->widget(pc->count() - 1)->findChild<TWebbrowser *>();
        ASSERT_TRUE(loaded(wb));
        held.emplace_back(wb);
    }
    w.f.batch.btnBatchViewCloaseAll->click();
    EXPECT_TRUE(allGone(held));
    EXPECT_EQ(pc->count(), 1);
}

TEST(TabTeardown, WebGuiEditorTabsClosedLeaveNoBrowserViewOrPage)
{
    Window w;
    QTemporaryDir files;
    WebGuiPage &gui = *w.f.webGuiPage;
    QTabWidget *tabs = w.f.gui.PageControlGUILeft;
    std::vector<Held> held;
    for (int i = 0; i < kTabs; ++i) {
        const QString path = files.filePath(QStringLiteral("page%1.html").arg(i));
        std::ofstream(path.toStdString(), std::ios::binary) << "<html><body><p>page " << i << "</p></body></html>";
        gui.GUIFileOpenCommon(toSjis(path));
        TProfDHTMLEdit2 *ed = w.f.state().GActiveEditor;
        ASSERT_TRUE(ed && WaitEditorReady(ed, 30000));
        held.emplace_back(ed->browser());
        ASSERT_TRUE(held.back().page);
    }
    // The page keeps one tab, emptied, as its editor; every other tab goes.
    while (tabs->count() > 1) gui.CloseTab(0);
    auto *kept = tabs->widget(0)->findChild<TProfDHTMLEdit2 *>();
    ASSERT_NE(kept, nullptr);
    std::vector<Held> closed;
    for (const Held &h : held)
        if (h.browser != kept->browser()) closed.push_back(h);
    ASSERT_FALSE(closed.empty());
    EXPECT_TRUE(allGone(closed));
}
