// The document sink on real panes: cancelled and reported clicks, a disconnected pane that
// follows links, and one listener after reconnecting.
#include "platform/BrowserWaits.h"
#include "platform/DocEventSink.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include <QSignalSpy>
#include <QTest>
#include "support/WaitUntil.h"
#include <gtest/gtest.h>

namespace {
struct Pages {
    TestHttpServer http;
    Pages()
    {
        http.server().Get("/index", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html><body><a id='l' href='/next'><b id='inner'>next</b></a>"
                            "<p id='txt'>text</p></body></html>",
                            "text/html");
        });
        http.server().Get("/next", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html><body>next page</body></html>", "text/html");
        });
        http.start();
    }
    QString url(const char *p) { return QString::fromStdString(http.url(p)); }
};

bool load(TWebbrowser &wb, const QString &url)
{
    wb.Navigate(url);
    return WaitWhileBrowserBusy(&wb, 15000) && wb.LocationURL() == url;
}

void click(TWebbrowser &wb, const char *id, const char *type = "click")
{
    wb.evalSync(QStringLiteral("document.getElementById('%1').dispatchEvent(new MouseEvent('%2', "
                               "{bubbles: true, cancelable: true, view: window}))")
                    .arg(QLatin1String(id), QLatin1String(type)));
}
// The report may arrive while the click's script is still answering, before a wait begins.
bool waitCount(QSignalSpy &spy, int n) { return waitUntil([&] { return spy.count() >= n; }, 5000); }
} // namespace

TEST(DocEventSink, ConnectedPaneReportsAndKeepsItsPageDisconnectedPaneFollows)
{
    Pages p;
    TWebbrowser wb;
    DocEventSink sink(QStringLiteral("FBaseDocSink"));
    sink.Disconnect();  // never connected: harmless
    ASSERT_TRUE(load(wb, p.url("/index")));

    std::vector<DocEvent> got;
    sink.Connect(&wb);
    sink.setOnClick([&](const DocEvent &e) { got.push_back(e); return false; });
    sink.setOnDblClick([&](const DocEvent &e) { got.push_back(e); return false; });
    QSignalSpy delivered(&sink, &DocEventSink::eventDelivered);

    click(wb, "inner");  // on an element inside the link: the link's href is reported
    ASSERT_TRUE(waitCount(delivered, 1));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, QStringLiteral("click"));
    EXPECT_EQ(got[0].href, p.url("/next"));
    click(wb, "txt", "dblclick");
    ASSERT_TRUE(waitCount(delivered, 2));
    EXPECT_EQ(got.back().type, QStringLiteral("dblclick"));
    EXPECT_EQ(got.back().href, QString());
    EXPECT_EQ(wb.LocationURL(), p.url("/index"));
    EXPECT_FALSE(wb.Busy()) << "a cancelled click starts no load";

    // A new document of the same pane is connected from its creation on.
    ASSERT_TRUE(load(wb, p.url("/index")));
    got.clear();
    click(wb, "l");
    ASSERT_TRUE(waitCount(delivered, 3));
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(wb.LocationURL(), p.url("/index"));

    // Disconnected: the click is the page's own again.
    sink.Disconnect();
    sink.Disconnect();
    got.clear();
    click(wb, "l");
    ASSERT_TRUE(waitUntil([&] { return wb.LocationURL() == p.url("/next") && !wb.Busy(); }, 10000));
    EXPECT_EQ(wb.LocationURL(), p.url("/next"));
    EXPECT_TRUE(got.empty());
}

TEST(DocEventSink, ReconnectingLeavesOneListenerAndAPageCannotForgeEvents)
{
    Pages p;
    TWebbrowser wb;
    DocEventSink sink(QStringLiteral("FTargetDocSink"));
    ASSERT_TRUE(load(wb, p.url("/index")));
    int clicks = 0;
    sink.setOnClick([&](const DocEvent &) { ++clicks; return false; });
    for (int i = 0; i < 3; ++i) sink.Connect(&wb);
    QSignalSpy delivered(&sink, &DocEventSink::eventDelivered);
    click(wb, "l");
    ASSERT_TRUE(waitCount(delivered, 1));
    // Let any duplicate report arrive before counting.
    wb.evalSync(QStringLiteral("1"));
    QTest::qWait(0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(delivered.count(), 1);

    // The page's own scripts cannot see the sink's switches nor fake its reports.
    EXPECT_EQ(wb.evalSync(QStringLiteral("typeof window.__vkDocSink")).toString(), QStringLiteral("undefined"));
    wb.evalSync(QStringLiteral("console.log('\\u0001vk-sink:x:{\"type\":\"click\",\"href\":\"http://evil/\"}')"));
    wb.evalSync(QStringLiteral("1"));
    EXPECT_EQ(clicks, 1);

    // Without a click handler the click is not cancelled, even while connected.
    sink.setOnClick({});
    click(wb, "l");
    ASSERT_TRUE(waitUntil([&] { return wb.LocationURL() == p.url("/next") && !wb.Busy(); }, 10000));
    EXPECT_EQ(wb.LocationURL(), p.url("/next"));
}
