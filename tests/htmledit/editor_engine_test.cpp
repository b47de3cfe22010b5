// The editing control with a real engine, offscreen, against pages served on 127.0.0.1.
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
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
        ed->SourceCodeOptions = htmledit::kEditorSourceOptions;  // as the program's editors
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
        s.Get("/round.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content(sjisText("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
                                   "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
                                   "<title>往復</title><style>BODY { background: URL(Bg.PNG) }</style></head>"
                                   "<body><!-- note --><p id=\"t\">漢字かなｶﾅ～①</p>"
                                   "<table border=\"0\"><tr><td>セル</td><td>2</td></tr></table>"
                                   "<pre>  a\n\n  b</pre><script>if (a < b) x();</script>"
                                   "<p><a href=\"q?a=1&amp;b=2\" title='say \"hi\"'>link</a></p><div>d</div></body></html>"),
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
    // An attribute a script set with a name in capitals keeps its value in the source.
    e.ed->evalDoc(QStringLiteral("document.body.setAttributeNS(null,'DataMark','kept-value');return '';"));
    EXPECT_TRUE(e.ed->GetSource().contains(QLatin1String("=\"kept-value\""))) << e.ed->GetSource().toStdString();
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
    EXPECT_TRUE(waitUntil([&] { return !launched.empty(); }, 30000));
    SetBrowserLauncher(old);
    ASSERT_FALSE(launched.empty());
    EXPECT_EQ(launched.back(), server->url("/script.html"));
    EXPECT_EQ(e.ed->browser()->LocationURL(), url("/link.html"));
}

TEST_F(EngineTest, TypedAndComposedTextSurvivesSaveAndLoad)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/round.html")));
    e.ed->SetBaseURL(url("/round.html"));  // the host's: a relative link stays as the page wrote it
    // Caret at the end of the first paragraph; type ASCII keys and commit Japanese.
    e.ed->evalDoc(QStringLiteral("var p=document.getElementById('t');var r=document.createRange();r.selectNodeContents(p);"
                                 "r.collapse(false);var s=getSelection();s.removeAllRanges();s.addRange(r);return true;"));
    e.ed->setFocus();
    QWidget *target = e.ed->focusTarget();
    ASSERT_TRUE(waitUntil([&] { return target->hasFocus() || (target->setFocus(), false); }, 30000));
    QTest::keyClicks(target, QStringLiteral("ab"));
    QInputMethodEvent im;
    im.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(target, &im);
    ASSERT_TRUE(waitUntil([&] { return e.ed->GetSource().contains(QStringLiteral("①ab日本語")); }, 30000))
        << e.ed->GetSource().toStdString();
    const QString s1 = e.ed->GetSource();
    for (const char *kept : {"<!-- note -->", "<pre>  a\r\n\r\n  b</pre>", "if (a < b) x();", "URL(Bg.PNG)",
                             "href=\"q?a=1&b=2\"", "title=\"say &quot;hi&quot;\"", "<td>セル</td>"})
        EXPECT_TRUE(s1.contains(QString::fromUtf8(kept))) << kept << "\n" << s1.toStdString();

    QTemporaryDir dir;
    const std::string file = toSjis(dir.filePath(QStringLiteral("往復.html")));
    ASSERT_TRUE(e.ed->SaveToFile(file));
    QFile f(dir.filePath(QStringLiteral("往復.html")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    EXPECT_EQ(fromSjis(bytes.toStdString()), s1);  // Shift_JIS, declaration already Shift_JIS
    EXPECT_TRUE(bytes.contains("charset=Shift_JIS"));

    Editor other;
    int fileLoads = 0;
    other.ed->OnLoadFromFile = [&](QObject *) { ++fileLoads; };
    ASSERT_TRUE(other.ed->LoadFromFile(file));
    EXPECT_EQ(fileLoads, 1);
    EXPECT_EQ(other.ed->GetSource().toStdString(), s1.toStdString());
    EXPECT_EQ(other.ed->GetCharset(), QStringLiteral("Shift_JIS"));

    // A character outside Shift_JIS: UTF-16 with its mark, and back.
    other.ed->SetSource(QStringLiteral("<html><head><title>u</title></head><body><p>\u00e9\U0001F600</p></body></html>"));
    const QString s2 = other.ed->GetSource();
    ASSERT_TRUE(other.ed->SaveToFile(toSjis(dir.filePath(QStringLiteral("u16.html")))));
    QFile g(dir.filePath(QStringLiteral("u16.html")));
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_TRUE(g.readAll().startsWith("\xFF\xFE"));
    ASSERT_TRUE(e.ed->LoadFromFile(toSjis(dir.filePath(QStringLiteral("u16.html")))));
    EXPECT_TRUE(e.ed->GetSource().contains(QStringLiteral("&eacute;\U0001F600")));

    // A missing file loads nothing; a file that cannot be written leaves the old one.
    EXPECT_FALSE(e.ed->LoadFromFile(toSjis(dir.filePath(QStringLiteral("none.html")))));
    EXPECT_FALSE(e.ed->SaveToFile(toSjis(dir.filePath(QStringLiteral("no/such/dir/x.html")))));
    EXPECT_FALSE(e.ed->SaveToFile(std::string()));
}

// The display-change event follows what the user sees change: the caret moved, a key typed.
TEST_F(EngineTest, DisplayChangesReachTheHandler)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/round.html")));
    int shown = 0;
    e.ed->OnDisplayChanged = [&](QObject *) { ++shown; };
    e.ed->evalDoc(QStringLiteral("var r=document.createRange();r.selectNodeContents(document.getElementById('t'));"
                                 "r.collapse(false);var s=getSelection();s.removeAllRanges();s.addRange(r);return true;"));
    EXPECT_TRUE(waitUntil([&] { return shown > 0; }, 30000));
    e.ed->setFocus();
    QWidget *target = e.ed->focusTarget();
    ASSERT_TRUE(waitUntil([&] { return target->hasFocus() || (target->setFocus(), false); }, 30000));
    shown = 0;
    QTest::keyClicks(target, QStringLiteral("z"));
    EXPECT_TRUE(waitUntil([&] { return shown > 0; }, 30000));
    EXPECT_TRUE(e.ed->GetSource().contains(QLatin1Char('z')));
}

TEST_F(EngineTest, DisplayModesDocumentsAndKeys)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/round.html")));
    auto computed = [&](const char *js) { return e.ed->evalDoc(QString::fromLatin1(js)).toString(); };
    e.ed->SetShowDetails(true);
    EXPECT_TRUE(computed("return getComputedStyle(document.getElementById('t'),'::before').content;").contains(QLatin1String("data:image/svg")));
    e.ed->SetShowBorders(true);
    EXPECT_TRUE(e.ed->ShowBorders());
    EXPECT_EQ(computed("return getComputedStyle(document.querySelector('td')).outlineStyle;"), QStringLiteral("dotted"));
    EXPECT_EQ(computed("return String(document.styleSheets.length);"), QStringLiteral("1"));  // the page's own only
    EXPECT_FALSE(e.ed->GetSource().contains(QLatin1String("svg")));
    e.ed->SetShowDetails(false);
    EXPECT_EQ(computed("return getComputedStyle(document.getElementById('t'),'::before').content;"), QStringLiteral("none"));

    // Browse mode without a rewrite when the source would not change: a mark on the document survives.
    e.ed->evalDoc(QStringLiteral("document.body.__mark=1;return true;"));
    int switched = 0;
    e.ed->OnSetBrowseMode = [&](QObject *) { ++switched; };
    e.ed->SetBrowseMode(true);
    EXPECT_TRUE(e.ed->BrowseMode());
    EXPECT_EQ(switched, 1);
    e.ed->SetBrowseMode(false);
    EXPECT_FALSE(e.ed->BrowseMode());

    // Another parent keeps the document.
    QWidget other;
    other.resize(400, 300);
    other.show();
    e.ed->setParent(&other);
    e.ed->show();
    EXPECT_EQ(e.ed->evalDoc(QStringLiteral("return document.getElementById('t')?'yes':'no';")).toString(), QStringLiteral("yes"));

    // Ctrl+N reaches the control's handler only.
    int ctrlN = 0;
    e.ed->OnKeyDown = [&](QObject *, int &k, Qt::KeyboardModifiers) { ctrlN += k == 'N'; };
    QTest::keyClick(e.ed->focusTarget(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(ctrlN, 1);

    // A new document is an empty "about:blank" one; saving while busy is refused.
    int news = 0;
    e.ed->OnNewDocument = [&](QObject *) { ++news; };
    ASSERT_TRUE(e.ed->NewDocument());
    EXPECT_EQ(news, 1);
    EXPECT_EQ(e.ed->browser()->LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(e.ed->GetDocumentLocation(), QString());
    EXPECT_EQ(e.ed->GetBodySource().trimmed(), QStringLiteral("<body>&nbsp; </body>"));
    e.ed->SetSource(QStringLiteral("<html><head></head><body><a href=\"#top\">t</a></body></html>"));
    EXPECT_TRUE(e.ed->GetSource().contains(QLatin1String("href=\"#top\"")));
    EXPECT_EQ(e.ed->GetBaseElementHref(), QString());
    e.ed->SetBaseElementHref(QStringLiteral("http://b/dir/"));
    EXPECT_EQ(e.ed->GetBaseElementHref(), QStringLiteral("http://b/dir/"));
}

} // namespace
