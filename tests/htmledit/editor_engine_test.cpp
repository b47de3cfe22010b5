// The editing control with a real engine, offscreen, against pages served on 127.0.0.1.
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <atomic>
#include <memory>

namespace {

std::string sjisText(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

struct Editor {
    QWidget window;
    TProfDHTMLEdit2 *ed = nullptr;
    int created = 0;
    Editor()
    {
        window.resize(800, 600);
        ed = new TProfDHTMLEdit2(&window);
        ed->resize(800, 600);
        ed->OnCreate = [this](QObject *) { ++created; };
        window.show();
        EXPECT_TRUE(waitUntil([this] { return ed->DocumentReady(); }, 20000));
    }
};

QString bodyOf(const QString &src)
{
    const int a = src.indexOf(QLatin1String("<body"));
    return a < 0 ? QString() : src.mid(a);
}

class EngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new TestHttpServer;
        auto &s = server->server();
        s.Get("/script.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><title>t</title></head><body><p id=\"a\">x</p>"
                          "<script>document.body.appendChild(document.createElement('marquee'));</script></body></html>",
                          "text/html");
        });
        s.Get("/sjis.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content(sjisText("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
                                   "<title>日本語</title></head><body><p>漢字かなｶﾅ～①</p>"
                                   "<iframe src=\"about:blank\"></iframe></body></html>"),
                          "text/html");
        });
        s.Get("/euc.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
                          "<title>e</title></head><body><p>\xC6\xFC\xCB\xDC</p></body></html>",
                          "text/html");
        });
        s.Get("/utf8.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><meta charset=\"utf-8\"><title>u</title></head><body><p>\xE6\x97\xA5</p></body></html>",
                          "text/html");
        });
        s.Get("/refresh.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><meta http-equiv=\"refresh\" content=\"0;url=/script.html\"><title>r</title></head>"
                          "<body><p>stay</p></body></html>",
                          "text/html");
        });
        s.Get("/link.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><title>l</title></head><body><p><a id=\"go\" href=\"/script.html\">go</a></p></body></html>",
                          "text/html");
        });
        s.Get("/hang.html", [](const httplib::Request &, httplib::Response &r) {
            for (int i = 0; i < 100 && !stopHang; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            r.set_content("<html><body>late</body></html>", "text/html");
        });
        server->start();
    }
    static void TearDownTestSuite()
    {
        stopHang = true;
        delete server;
        server = nullptr;
    }
    static QString url(const char *path) { return QString::fromStdString(server->url(path)); }
    static TestHttpServer *server;
    static std::atomic<bool> stopHang;
};
TestHttpServer *EngineTest::server = nullptr;
std::atomic<bool> EngineTest::stopHang{false};

TEST_F(EngineTest, CreatesOnceAndRunsOnlyOurScripts)
{
    Editor e;
    EXPECT_EQ(e.created, 1);
    int loaded = 0;
    e.ed->OnLoadURL = [&](QObject *) { ++loaded; };
    ASSERT_TRUE(e.ed->LoadURL(url("/script.html")));
    EXPECT_EQ(loaded, 1);
    // The page's script made no element; our own reads answer.
    EXPECT_EQ(e.ed->evalDoc(QStringLiteral("return document.getElementsByTagName('marquee').length;")).toInt(), 0);
    EXPECT_EQ(e.ed->evalDoc(QStringLiteral("return document.getElementById('a').textContent;")).toString(), QStringLiteral("x"));
    EXPECT_FALSE(e.ed->browser()->evalSync(QStringLiteral("1+1")).isValid());  // the page's own world is off
    EXPECT_FALSE(e.ed->BrowseMode());
    EXPECT_EQ(e.created, 1);
}

TEST_F(EngineTest, LoadRecordsTheNewPagesCharsetAndFrames)
{
    Editor e;
    struct Row {
        const char *path;
        const char *charset;
        bool iframe;
        const char *text;
    } rows[] = {{"/sjis.html", "Shift_JIS", true, "漢字かなｶﾅ～①"},
                {"/euc.html", "EUC-JP", false, "日本"},
                {"/utf8.html", "utf-8", false, "日"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        ASSERT_TRUE(e.ed->LoadURL(url(r.path)));
        EXPECT_EQ(e.ed->GetCharset(), QString::fromLatin1(r.charset));
        EXPECT_EQ(e.ed->HasIFrame(), r.iframe);
        EXPECT_TRUE(e.ed->GetSource().contains(QString::fromUtf8(r.text)));
    }
}

TEST_F(EngineTest, RefusedConnectionGivesLoadError)
{
    Editor e;
    int errors = 0, loads = 0;
    e.ed->OnLoadURLError = [&](QObject *) { ++errors; };
    e.ed->OnLoadURL = [&](QObject *) { ++loads; };
    e.ed->LoadURL(QStringLiteral("http://127.0.0.1:1/none.html"));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(e.ed->DocumentReady());
    // No error markup stands in for a document.
    EXPECT_FALSE(e.ed->GetSource().contains(QLatin1String("ERR_")));
}

TEST_F(EngineTest, HangingServerEndsInTheTimeoutReset)
{
    Editor e;
    int timeouts = 0, loads = 0;
    e.ed->OnTimeout = [&](QObject *) { ++timeouts; };
    e.ed->OnLoadURL = [&](QObject *) { ++loads; };
    e.ed->setTimeout(1.0);
    EXPECT_FALSE(e.ed->LoadURL(url("/hang.html")));
    EXPECT_EQ(timeouts, 1);
    EXPECT_TRUE(e.ed->DocumentReady());
    EXPECT_EQ(e.ed->updateCount(), 0);
    EXPECT_TRUE(e.ed->browser()->isVisible());
    EXPECT_FALSE(e.ed->GetSource().contains(QLatin1String("late")));
    stopHang = true;
    // Whatever the aborted load still reports changes nothing.
    QTest::qWait(300);
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(e.ed->DocumentReady());
    // Events still arrive after the replacement.
    e.ed->setTimeout(30);
    ASSERT_TRUE(e.ed->LoadURL(url("/script.html")));
    EXPECT_EQ(loads, 1);
}

TEST_F(EngineTest, SourceIsAFixedPointOfSetSource)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/sjis.html")));
    const QString s1 = e.ed->GetSource();
    int sets = 0;
    e.ed->OnSetSource = [&](QObject *) { ++sets; };
    e.ed->SetSource(s1);
    EXPECT_EQ(sets, 1);
    const QString s2 = e.ed->GetSource();
    EXPECT_EQ(s1.toStdString(), s2.toStdString());
    // The document kept its URL.
    EXPECT_EQ(e.ed->browser()->LocationURL(), url("/sjis.html"));
}

TEST_F(EngineTest, GuardKeepsTheDocument)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/refresh.html")));
    QTest::qWait(300);
    EXPECT_EQ(e.ed->browser()->LocationURL(), url("/refresh.html"));  // the meta refresh was refused
    ASSERT_TRUE(e.ed->LoadURL(url("/link.html")));
    e.ed->evalDoc(QStringLiteral("document.getElementById('go').click();return true;"));
    QTest::qWait(300);
    EXPECT_EQ(e.ed->browser()->LocationURL(), url("/link.html"));

    // In browse mode a clicked link goes to the desktop's browser and the page stays.
    std::vector<std::string> launched;
    auto old = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
        launched = argv;
        return true;
    });
    e.ed->SetBrowseMode(true);
    EXPECT_TRUE(e.ed->BrowseMode());
    e.ed->evalDoc(QStringLiteral("document.getElementById('go').click();return true;"));
    EXPECT_TRUE(waitUntil([&] { return !launched.empty(); }, 5000));
    SetBrowserLauncher(old);
    ASSERT_FALSE(launched.empty());
    EXPECT_EQ(launched.back(), server->url("/script.html"));
    EXPECT_EQ(e.ed->browser()->LocationURL(), url("/link.html"));
}

} // namespace
