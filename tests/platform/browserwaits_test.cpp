// Waits, guarded navigation and link collection on real panes against a local server.
#include "platform/BrowserWaits.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "text/StringList.h"
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include "support/WaitUntil.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {
struct Server {
    TestHttpServer http, other;  // "other" is another origin for the cross-site frame
    std::mutex m;
    std::condition_variable cv;
    bool release = false;

    Server()
    {
        auto html = [](const char *body) {
            return [body](const httplib::Request &, httplib::Response &res) { res.set_content(body, "text/html"); };
        };
        http.server().Get("/links", html("<html><body><a href='/a'>a</a> <a href='mailto:x@y.jp'>m</a>"
                                         "<a href='/a'>again</a></body></html>"));
        http.server().Get("/none", html("<html><body><p>no links</p></body></html>"));
        http.server().Get("/f1", html("<html><body><a href='/f1a'>1</a><a href='/f1b'>2</a></body></html>"));
        http.server().Get("/plain", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("just text", "text/plain");
        });
        other.server().Get("/x", html("<html><body><a href='/secret'>s</a></body></html>"));
        // Never ends on its own; the test lets it go at the end.
        http.server().Get("/slow", [this](const httplib::Request &, httplib::Response &res) {
            std::unique_lock<std::mutex> l(m);
            cv.wait_for(l, std::chrono::seconds(20), [this] { return release; });
            res.set_content("<html><body>late</body></html>", "text/html");
        });
        http.start();
        other.start();
        const std::string frameset = "<html><frameset cols='50%,50%'><frame src='/f1'><frame src='" +
                                     other.url("/x") + "'></frameset></html>";
        http.server().Get("/frames", [frameset](const httplib::Request &, httplib::Response &res) {
            res.set_content(frameset, "text/html");
        });
    }
    ~Server()
    {
        {
            std::lock_guard<std::mutex> l(m);
            release = true;
        }
        cv.notify_all();
    }
    QString url(const char *p) { return QString::fromStdString(http.url(p)); }
};

bool load(TWebbrowser &wb, const QString &url)
{
    wb.Navigate(url);
    return WaitWhileBrowserBusy(&wb, 15000);
}
} // namespace

TEST(BrowserWaits, IdleReturnsAtOnceSlowPageEndsAtTheBoundAndClosingEndsTheWait)
{
    Server s;
    TWebbrowser wb;
    EXPECT_TRUE(WaitWhileBrowserBusy(&wb, 100));
    EXPECT_TRUE(WaitWhileBrowserBusy(nullptr));

    wb.Navigate(s.url("/slow"));
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(WaitWhileBrowserBusy(&wb, 700));
    EXPECT_GE(t.elapsed(), 650);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(wb.Busy());

    // Closing the application ends a wait that has a long bound.
    QTimer::singleShot(200, [] { TWebbrowser::setTerminating(true); });
    t.restart();
    EXPECT_FALSE(WaitWhileBrowserBusy(&wb, 15000));
    EXPECT_LT(t.elapsed(), 3000);
    TWebbrowser::setTerminating(false);
    BrowserStopSafe(&wb);
    QSignalSpy done(&wb, &TWebbrowser::DocumentComplete);
    EXPECT_TRUE(done.count() > 0 || done.wait(5000));
    EXPECT_FALSE(wb.Busy());
}

TEST(BrowserWaits, GuardedMovesDoNothingOnEmptyOrNonHtmlPanes)
{
    Server s;
    TWebbrowser wb;
    BrowserGoBackSafe(&wb);
    BrowserGoForwardSafe(&wb);
    BrowserStopSafe(&wb);
    BrowserGoBackSafe(nullptr);
    EXPECT_FALSE(wb.hasView()) << "a never-used pane needs no engine for these";
    EXPECT_FALSE(BrowserHasHtmlDocument(&wb));

    ASSERT_TRUE(load(wb, s.url("/links")));
    EXPECT_TRUE(BrowserHasHtmlDocument(&wb));
    BrowserGoBackSafe(&wb);  // no history yet
    EXPECT_EQ(wb.LocationURL(), s.url("/links"));

    ASSERT_TRUE(load(wb, s.url("/plain")));
    EXPECT_FALSE(BrowserHasHtmlDocument(&wb));
    BrowserGoBackSafe(&wb);  // not an HTML page: stays
    EXPECT_EQ(wb.LocationURL(), s.url("/plain"));

    ASSERT_TRUE(load(wb, s.url("/none")));
    BrowserGoBackSafe(&wb);
    ASSERT_TRUE(WaitWhileBrowserBusy(&wb, 15000));
    EXPECT_TRUE(waitUntil([&] { return wb.LocationURL() == s.url("/plain"); }, 5000));
}

TEST(BrowserWaits, CollectDocumentLinksThroughFrames)
{
    Server s;
    TWebbrowser wb;
    StringList list;
    list.add("kept");
    CollectDocumentLinks(&wb, list);  // no document: untouched
    ASSERT_EQ(list.count(), 1);

    ASSERT_TRUE(load(wb, s.url("/none")));
    CollectDocumentLinks(&wb, list);
    EXPECT_EQ(list.count(), 0);

    ASSERT_TRUE(load(wb, s.url("/links")));
    CollectDocumentLinks(&wb, list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{s.http.url("/a"), "mailto:x@y.jp", s.http.url("/a")}));

    // The second frame belongs to another site: only the first frame's links come back.
    ASSERT_TRUE(load(wb, s.url("/frames")));
    std::vector<std::string> links;
    EXPECT_TRUE(waitUntil([&] { return CollectDocumentLinks(&wb, links) && links.size() >= 2; }, 10000));
    EXPECT_EQ(links, (std::vector<std::string>{s.http.url("/f1a"), s.http.url("/f1b")}));
}
