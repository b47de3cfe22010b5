// Pages that ask for a new window (a target="_blank" link, window.open) in panes without a
// routing rule of their own: the pane shows the page itself, the batch viewer opens a tab for
// it; nothing is dropped and nothing opens outside the program.
#include "mainwindow/TAMainForm.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Site {
    TestHttpServer http;
    Site()
    {
        http.server().Get("/opener", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html><body><a id='blank' target='_blank' href='/p/blank.html'>b</a></body></html>", "text/html");
        });
        http.server().Get(R"(/p/(\w+)\.html)", [](const httplib::Request &req, httplib::Response &res) {
            res.set_content("<html><body>page " + std::string(req.matches[1]) + "</body></html>", "text/html");
        });
        http.start();
    }
};

bool loadAndWait(TWebbrowser *wb, const QString &url)
{
    wb->Navigate(url);
    return waitUntil([&] { return !wb->Busy() && wb->LocationURL() == url; }, 30000);
}

const char *const kRequests[][2] = {
    {"a target=_blank link", "document.getElementById('blank').click()"},
    {"window.open", "window.open('/p/opened.html')"},
};
} // namespace

TEST(NewWindow, APaneWithoutARuleShowsTheRequestedPageItself)
{
    Site site;
    QTemporaryDir dir;
    std::vector<std::string> outside;
    const BrowserLauncher previous = SetBrowserLauncher([&](const std::vector<std::string> &a) {
        outside.push_back(a.back());
        return true;
    });
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const int windows = int(QApplication::topLevelWidgets().size());
    const QString opener = QString::fromStdString(site.http.url("/opener"));
    for (TWebbrowser *wb : {f.convi.WebBrowserYahooMain, f.net.WebBrowserSideLink, f.net.WebBrowserTrad}) {
        for (const auto &r : kRequests) {
            SCOPED_TRACE(wb->objectName().toStdString() + ": " + r[0]);
            ASSERT_TRUE(loadAndWait(wb, opener));
            wb->page()->runJavaScript(QString::fromLatin1(r[1]));
            const QString want = QString::fromStdString(site.http.url(r[0][0] == 'a' ? "/p/blank.html" : "/p/opened.html"));
            EXPECT_TRUE(waitUntil([&] { return wb->LocationURL() == want && !wb->Busy(); }, 30000))
                << wb->LocationURL().toStdString();
        }
    }
    EXPECT_EQ(int(QApplication::topLevelWidgets().size()), windows);
    EXPECT_TRUE(outside.empty());
    SetBrowserLauncher(previous);
    f.close();
}

TEST(NewWindow, ABatchViewerPageOpensTheRequestInATabOfItsOwn)
{
    Site site;
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab07BatchPageView);
    auto *pc = f.batch.PageCotrolMainTopTab07BatchPageView;
    TWebbrowser *base = f.batch.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView;
    const QString opener = QString::fromStdString(site.http.url("/opener"));
    int tabs = pc->count();
    for (const auto &r : kRequests) {
        SCOPED_TRACE(r[0]);
        ASSERT_TRUE(loadAndWait(base, opener));
        base->page()->runJavaScript(QString::fromLatin1(r[1]));
        const QString want = QString::fromStdString(site.http.url(r[0][0] == 'a' ? "/p/blank.html" : "/p/opened.html"));
        ASSERT_TRUE(waitUntil([&] { return pc->count() == tabs + 1; }, 30000));
        ++tabs;
        TWebbrowser *opened = pc->widget(pc->count() - 1)->findChild<TWebbrowser *>();
        ASSERT_NE(opened, nullptr);
        EXPECT_TRUE(waitUntil([&] { return opened->LocationURL() == want; }, 30000)) << opened->LocationURL().toStdString();
        EXPECT_EQ(pc->tabToolTip(pc->count() - 1), want);
        EXPECT_EQ(base->LocationURL(), opener);  // the page that asked stays
    }
    f.close();
}
