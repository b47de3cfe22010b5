// The main road on a real (offscreen) window: a keyword searched on a local fixture engine,
// the result page in the left pane, its links in the result list, and clicks in the left
// pane's document that open the results in the right pane's fixed tab and then a new tab;
// clicks beside the links, and a double-click on one.
#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TargetTabs.h"
#include "support/TestHttpServer.h"
#include "text/WebFetch.h"
#include <QEventLoop>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <functional>
#include "support/WaitUntil.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {
// The engine's result page in the markers the result list is read by: a result link has an
// attribute ending in ")" right before its href. The engine's own paging link is no result.
std::string resultPage(const TestHttpServer &srv)
{
    std::string body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>fixture results</title></head><body>";
    const char *titles[] = {"Alpha <em>road</em> page", "Beta road page", "Gamma road page"};
    for (int i = 1; i <= 3; ++i)
        body += "<div class=\"g\"><a class=\"l\" onmousedown=\"return rwt(this," + std::to_string(i) + ")\" href=\"" +
                srv.url("/site/" + std::to_string(i) + ".html") + "\">" + titles[i - 1] + "</a></div>";
    body += "<p><a onclick=\"return nav(2)\" href=\"" + srv.url("/search?q=road&start=100") +
            "\">next</a></p><script>function rwt(){return true}function nav(){return true}</script></body></html>";
    return body;
}

QString siteUrl(const TestHttpServer &srv, int i)
{
    return QString::fromStdString(srv.url("/site/" + std::to_string(i) + ".html"));
}
} // namespace

TEST(NetSearchRoad, SearchListsResultsAndLeftClicksOpenThemInTheRightPane)
{
    TestHttpServer srv;
    std::mutex mu;
    std::string askedKeyword;
    srv.server().Get("/search", [&](const httplib::Request &req, httplib::Response &res) {
        {
            std::lock_guard<std::mutex> lock(mu);
            askedKeyword = req.get_param_value("as_q");
        }
        res.set_content(resultPage(srv), "text/html; charset=utf-8");
    });
    srv.server().Get(R"(/site/(\d+)\.html)", [](const httplib::Request &req, httplib::Response &res) {
        const std::string n = req.matches[1];
        res.set_content("<html><head><title>Site " + n + "</title></head><body><p>page " + n + "</p></body></html>",
                        "text/html");
    });
    srv.start();
    const std::string base = srv.url("/search");
    setenv("VK_SEARCH_ENGINE_BASE", base.c_str(), 1);

    QTemporaryDir dir;
    auto form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    TAMainForm &f = *form;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto &n = f.net;

    // The user's road: keyword, list option, search button.
    n.edGoogleSearch->setFocus();
    QTest::keyClicks(n.edGoogleSearch->lineEdit(), QStringLiteral("road test"));
    n.CheckBoxBatchSearchBrowse->setChecked(true);
    f.ip.EditDomain->setText(QStringLiteral("old.example.jp"));
    QTest::mouseClick(n.btnGoogleSearch, Qt::LeftButton);
    EXPECT_TRUE(f.ip.EditDomain->text().isEmpty()) << "a search clears the domain of the last page";

    auto *list = n.ListBoxPageControlBaseBrowserTab08SearchList;
    ASSERT_TRUE(waitUntil([&] { return list->count() == 3; }, 15000))
        << "left pane at " << n.BaseBrowser->LocationURL().toStdString() << ", " << list->count() << " lines";
    {
        std::lock_guard<std::mutex> lock(mu);
        EXPECT_EQ(askedKeyword, "road test");
    }
    EXPECT_TRUE(n.BaseBrowser->LocationURL().startsWith(QString::fromStdString(base + "?as_q=road+test")))
        << n.BaseBrowser->LocationURL().toStdString();
    EXPECT_EQ(n.BaseBrowser->LocationName(), QStringLiteral("fixture results"));
    const QStringList expected = {QStringLiteral(" 1.  Alpha road page\t") + siteUrl(srv, 1),
                                  QStringLiteral(" 2.  Beta road page\t") + siteUrl(srv, 2),
                                  QStringLiteral(" 3.  Gamma road page\t") + siteUrl(srv, 3)};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list->item(i)->text(), expected[i]) << i;
    EXPECT_EQ(n.ListBoxBaseBrowser->count(), 3);

    // A click on a result in the left pane's document goes through the document sink to the
    // router; the left pane stays on the result list.
    auto *pc = n.TargetPageControl;
    TargetTabs &tabs = f.netSearchPage->tabs();
    QSignalSpy routed(&f.netSearchPage->router().baseSink(), &DocEventSink::eventDelivered);
    auto clickResult = [&](int index) {
        n.BaseBrowser->page()->runJavaScript(
            QStringLiteral("document.querySelectorAll('div.g a')[%1].click();").arg(index));
    };
    auto shows = [&](TWebbrowser *wb, const QString &url) {
        return waitUntil([&] { return wb->LocationURL() == url && !wb->Busy(); }, 15000);
    };

    clickResult(0);
    ASSERT_TRUE(shows(n.TargetBrowser, siteUrl(srv, 1))) << n.TargetBrowser->LocationURL().toStdString();
    ASSERT_EQ(routed.count(), 1);
    EXPECT_EQ(routed.at(0).at(1).toString(), siteUrl(srv, 1));
    EXPECT_EQ(pc->count(), 1);
    EXPECT_EQ(tabs.TargetBrowser(), n.TargetBrowser);
    EXPECT_TRUE(pc->tabText(0).trimmed().startsWith(QStringLiteral("1. ")) && pc->tabText(0).contains(QStringLiteral("Alpha")))
        << pc->tabText(0).toStdString();
    EXPECT_TRUE(n.BaseBrowser->LocationURL().startsWith(QString::fromStdString(base)));

    // A new tab waits for its page before the click's handling ends.
    struct {
        bool seen = false, busy = true;
        QString url;
    } atDelivery;
    QObject::connect(&f.netSearchPage->router().baseSink(), &DocEventSink::eventDelivered, &f, [&] {
        if (pc->count() < 2) return;
        atDelivery = {true, tabs.TargetBrowser()->Busy(), tabs.TargetBrowser()->LocationURL()};
    });
    clickResult(1);
    ASSERT_TRUE(waitUntil([&] { return atDelivery.seen; }, 45000));
    EXPECT_FALSE(atDelivery.busy) << "the click's handling ended before the new tab's page came";
    EXPECT_EQ(atDelivery.url.toStdString(), siteUrl(srv, 2).toStdString());
    ASSERT_EQ(pc->count(), 2);
    TWebbrowser *second = tabs.TargetBrowser();
    ASSERT_NE(second, n.TargetBrowser);
    ASSERT_TRUE(shows(second, siteUrl(srv, 2))) << second->LocationURL().toStdString();
    EXPECT_EQ(pc->currentIndex(), 1);
    EXPECT_TRUE(pc->tabText(1).trimmed().startsWith(QStringLiteral("2. ")) && pc->tabText(1).contains(QStringLiteral("Beta")))
        << pc->tabText(1).toStdString();
    EXPECT_EQ(n.TargetBrowser->LocationURL(), siteUrl(srv, 1)) << "the fixed tab keeps its page";
    EXPECT_TRUE(n.BaseBrowser->LocationURL().startsWith(QString::fromStdString(base)));
    EXPECT_EQ(list->count(), 3) << "routing keeps the result list";

    unsetenv("VK_SEARCH_ENGINE_BASE");
    f.close();
}

namespace {
// A result page with text around its links, and result pages with a text box and a link.
struct ClickEngine {
    TestHttpServer srv;
    ClickEngine()
    {
        srv.server().Get("/search", [this](const httplib::Request &, httplib::Response &res) {
            std::string body = "<html><head><title>results</title></head><body><h2 id=\"heading\">Results</h2>";
            for (int i = 1; i <= 3; ++i)
                body += "<div><a id=\"r" + std::to_string(i) + "\" onmousedown=\"return rwt(this)\" href=\"" + site(i) +
                        "\">Result " + std::to_string(i) + "</a></div>";
            body += "<p id=\"plain\">plain text</p><a id=\"next\" href=\"" + srv.url("/search?q=x&start=100") +
                    "\">next</a><script>function rwt(){return true}</script></body></html>";
            res.set_content(body, "text/html");
        });
        srv.server().Get(R"(/site/(\d+)\.html)", [this](const httplib::Request &req, httplib::Response &res) {
            const std::string n = req.matches[1];
            res.set_content("<html><head><title>Site " + n + "</title></head><body><p>page " + n +
                                "</p><input id=\"box\"><a id=\"out\" href=\"" + site(9) + "\">out</a></body></html>",
                            "text/html");
        });
        srv.start();
        setenv("VK_SEARCH_ENGINE_BASE", srv.url("/search").c_str(), 1);
    }
    ~ClickEngine() { unsetenv("VK_SEARCH_ENGINE_BASE"); }
    std::string site(int i) const { return srv.url("/site/" + std::to_string(i) + ".html"); }
    QString siteQ(int i) const { return QString::fromStdString(site(i)); }
};

// The event as the engine delivers it; Count is the click count it carries.
void dispatch(TWebbrowser *wb, const char *id, const char *type, int count = 1)
{
    wb->page()->runJavaScript(QStringLiteral("document.getElementById('%1').dispatchEvent(new MouseEvent('%2', "
                                             "{bubbles: true, cancelable: true, view: window, detail: %3}))")
                                  .arg(QLatin1String(id), QLatin1String(type))
                                  .arg(count));
}

struct SearchedWindow {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    TAMainForm &f = *form;
    bool ready = false;
    SearchedWindow()
    {
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        f.net.edGoogleSearch->setEditText(QStringLiteral("clicks"));
        f.net.CheckBoxBatchSearchBrowse->setChecked(true);
        QTest::mouseClick(f.net.btnGoogleSearch, Qt::LeftButton);
        ready = waitUntil([&] { return f.net.ListBoxPageControlBaseBrowserTab08SearchList->count() == 3; }, 20000);
    }
    ~SearchedWindow() { f.close(); }
    bool idle(TWebbrowser *wb, const QString &url) const
    {
        return waitUntil([&] { return wb->LocationURL() == url && !wb->Busy(); }, 15000);
    }
};
} // namespace

TEST(NetSearchRoad, AClickOffALinkDoesNothingWhateverWasHoveredBefore)
{
    ClickEngine e;
    SearchedWindow w;
    ASSERT_TRUE(w.ready);
    auto &n = w.f.net;
    LinkRouter &router = w.f.netSearchPage->router();
    TargetTabs &tabs = w.f.netSearchPage->tabs();
    const QString results = n.BaseBrowser->LocationURL();

    // One result opened: the right pane has a page, and a further link would make a new tab.
    QSignalSpy left(&router.baseSink(), &DocEventSink::eventDelivered);
    dispatch(n.BaseBrowser, "r1", "click");
    ASSERT_TRUE(w.idle(n.TargetBrowser, e.siteQ(1)));
    ASSERT_TRUE(waitUntil([&] { return w.f.FCurrentTargetBrowser != nullptr && router.targetSink().connected(); }, 15000));

    const struct {
        const char *what;
        bool rightPane;
        QString hovered;
        const char *clicked;
    } rows[] = {
        {"hovered the next page, clicked text", false, QString::fromStdString(e.srv.url("/search?q=x&start=100")), "plain"},
        {"hovered a redirect, clicked a heading", false,
         QStringLiteral("http://www.google.co.jp/url?sa=t&url=") + QUrl::toPercentEncoding(e.siteQ(2)) +
             QStringLiteral("&ei=1"),
         "heading"},
        {"hovered a link on the right, clicked into a text box", true, e.siteQ(3), "box"},
    };
    for (const auto &r : rows) {
        TWebbrowser *pane = r.rightPane ? tabs.TargetBrowser() : n.BaseBrowser;
        DocEventSink &sink = r.rightPane ? router.targetSink() : router.baseSink();
        QSignalSpy delivered(&sink, &DocEventSink::eventDelivered);
        emit pane->StatusTextChange(r.hovered);
        const int tabsBefore = n.TargetPageControl->count();
        const QString rightBefore = tabs.TargetBrowser()->LocationURL();
        const QString sideBefore = n.WebBrowserSideLink->LocationURL();
        dispatch(pane, r.clicked, "click");
        ASSERT_TRUE(waitUntil([&] { return delivered.count() == 1; }, 10000)) << r.what;
        EXPECT_EQ(n.TargetPageControl->count(), tabsBefore) << r.what;
        EXPECT_FALSE(n.BaseBrowser->Busy()) << r.what;
        EXPECT_EQ(n.BaseBrowser->LocationURL().toStdString(), results.toStdString()) << r.what;
        EXPECT_FALSE(tabs.TargetBrowser()->Busy()) << r.what;
        EXPECT_EQ(tabs.TargetBrowser()->LocationURL().toStdString(), rightBefore.toStdString()) << r.what;
        EXPECT_FALSE(n.WebBrowserSideLink->Busy()) << r.what;
        EXPECT_EQ(n.WebBrowserSideLink->LocationURL().toStdString(), sideBefore.toStdString()) << r.what;
    }
    // The same pane still follows a click on a link.
    dispatch(tabs.TargetBrowser(), "out", "click");
    EXPECT_TRUE(w.idle(n.WebBrowserSideLink, e.siteQ(9))) << n.WebBrowserSideLink->LocationURL().toStdString();
}

TEST(NetSearchRoad, ADoubleClickOnAResultOpensTheDesktopBrowserOnce)
{
    ClickEngine e;
    std::vector<std::string> launched;
    const BrowserLauncher previous = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
        launched.push_back(argv.back());
        return true;
    });
    {
        SearchedWindow w;
        ASSERT_TRUE(w.ready);
        auto &n = w.f.net;
        LinkRouter &router = w.f.netSearchPage->router();
        QSignalSpy delivered(&router.baseSink(), &DocEventSink::eventDelivered);
        // As the engine delivers a double-click: click, click, dblclick.
        dispatch(n.BaseBrowser, "r2", "click", 1);
        dispatch(n.BaseBrowser, "r2", "click", 2);
        dispatch(n.BaseBrowser, "r2", "dblclick", 2);
        ASSERT_TRUE(waitUntil([&] { return !delivered.isEmpty() && delivered.last().at(0).toString() == QStringLiteral("dblclick"); },
                              15000));
        ASSERT_EQ(delivered.count(), 2) << "the second click went on to the handler";
        EXPECT_EQ(launched, std::vector<std::string>{e.site(2)});
        EXPECT_FALSE(router.waitWindow()->isVisible()) << "the wait window flashed";
        EXPECT_TRUE(w.idle(n.TargetBrowser, e.siteQ(2)));
    }
    SetBrowserLauncher(previous);
}
