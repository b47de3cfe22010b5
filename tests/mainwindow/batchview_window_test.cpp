// The batch viewer on the real (offscreen) window against fixture sites on 127.0.0.1: the
// index page's links listed, a batch of tabs, Stop while the index loads and during a
// batch, closing all tabs, the frameset refusal of the file button and a list click.
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {
struct Sites {
    TestHttpServer http, other;  // "other" is another origin
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::atomic<bool> heldAsked{false}, heldServed{false};
    Sites()
    {
        auto html = [](std::string body) {
            return [body](const httplib::Request &, httplib::Response &res) { res.set_content(body, "text/html"); };
        };
        other.server().Get("/x", html("<html><body><a href='/secret.html'>s</a></body></html>"));
        other.start();
        http.server().Get("/index", html("<html><frameset cols='50%,50%'><frame src='/left'><frame src='" +
                                         other.url("/x") + "'></frameset></html>"));
        http.server().Get("/left", html("<html><body><a href='/p/charlie.html'>c</a><a href='/p/alpha.html'>a</a>"
                                        "<a href='/p/bravo.html'>b</a></body></html>"));
        http.server().Get("/many", html("<html><body><a href='/p/a1.html'>1</a><a href='/p/a2.html'>2</a>"
                                        "<a href='/p/a3.html'>3</a><a href='/p/a4.html'>4</a></body></html>"));
        http.server().Get(R"(/p/(\w+)\.html)", [](const httplib::Request &req, httplib::Response &res) {
            res.set_content("<html><body>page " + std::string(req.matches[1]) + "</body></html>", "text/html");
        });
        http.server().Get("/held", [this](const httplib::Request &, httplib::Response &res) {
            heldAsked = true;
            std::unique_lock<std::mutex> l(m);
            cv.wait_for(l, std::chrono::seconds(25), [this] { return release; });
            heldServed = true;
            res.set_content("<html><body><a href='/p/late.html'>late</a></body></html>", "text/html");
        });
        http.start();
    }
    void letGo()
    {
        {
            std::lock_guard<std::mutex> l(m);
            release = true;
        }
        cv.notify_all();
    }
    ~Sites() { letGo(); }
    QString url(const char *p) const { return QString::fromStdString(http.url(p)); }
};

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    TAMainForm &f = *form;
    BatchViewControls &b = f.batch;
    Window()
    {
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab07BatchPageView);
    }
    ~Window() { f.close(); }
    QTabWidget *tabs() const { return b.PageCotrolMainTopTab07BatchPageView; }
    TWebbrowser *tabBrowser(int i) const { return tabs()->widget(i)->findChild<TWebbrowser *>(); }
    void open(const QString &url)
    {
        b.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(url);
        b.sbPanelPanelPageControlMainTopTab07BatchPageViewNavigate->click();
    }
    QStringList lines() const { return b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->lines(); }
};
} // namespace

TEST(BatchViewWindow, IndexListsTheReadableFrameAndABatchOpensItsTabs)
{
    Sites s;
    Window w;
    w.open(s.url("/index"));
    ASSERT_EQ(w.lines(), (QStringList{QStringLiteral("  1  alpha\t") + s.url("/p/alpha.html"),
                                      QStringLiteral("  2  bravo\t") + s.url("/p/bravo.html"),
                                      QStringLiteral("  3  charlie\t") + s.url("/p/charlie.html")}));
    EXPECT_EQ(w.b.SpinEditLinkList->value(), 3);

    w.b.SpinEditLinkStart->setValue(1);
    w.b.SpinEditLinkCount->setValue(2);
    w.b.btnBatchHrefList->click();
    ASSERT_EQ(w.tabs()->count(), 3);
    EXPECT_EQ(w.tabs()->tabText(1), QStringLiteral("1[alpha]"));
    EXPECT_EQ(w.tabs()->tabText(2), QStringLiteral("2[bravo]"));
    EXPECT_EQ(w.tabs()->tabToolTip(2), s.url("/p/bravo.html"));
    EXPECT_TRUE(w.tabBrowser(1)->objectName().startsWith(QStringLiteral("PageBrowser0000")));
    EXPECT_TRUE(waitUntil([&] { return w.tabBrowser(2)->LocationURL() == s.url("/p/bravo.html"); }, 10000));
    EXPECT_EQ(w.b.SpinEditLinkStart->value(), 3);
    EXPECT_EQ(w.f.state().GLinkViewIndex, 2);

    // The next batch goes on from the third link.
    w.b.btnBatchHrefList->click();
    ASSERT_EQ(w.tabs()->count(), 4);
    EXPECT_EQ(w.tabs()->tabText(3), QStringLiteral("3[charlie]"));

    w.b.btnBatchViewCloaseAll->click();
    EXPECT_EQ(w.tabs()->count(), 1);
    EXPECT_EQ(w.tabs()->currentWidget(), w.b.PageCotrolMainTopTab07BatchPageViewTab00BasePage);
}

TEST(BatchViewWindow, StopEndsTheIndexWaitAndABatch)
{
    Sites s;
    Window w;
    // Stop while the index page is still on its way: the handler returns before the page does.
    bool returned = false, servedBeforeReturn = true;
    w.b.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(s.url("/held"));
    QTimer::singleShot(0, &w.f, [&] {
        w.b.sbPanelPanelPageControlMainTopTab07BatchPageViewNavigate->click();
        servedBeforeReturn = s.heldServed.load();
        returned = true;
    });
    // The handler's wait runs its own event loop, so Stop is pressed from inside it, as a user does.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &w.f, [&] {
        if (!s.heldAsked.load()) return;
        poll.stop();
        w.b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->click();
    });
    poll.start(20);
    EXPECT_TRUE(waitUntil([&] { return returned; }, 10000)) << "Stop waited for the page";
    EXPECT_TRUE(s.heldAsked.load());
    EXPECT_FALSE(servedBeforeReturn) << "the handler waited for the page after Stop";
    EXPECT_TRUE(w.lines().isEmpty());
    s.letGo();

    w.open(s.url("/many"));
    ASSERT_EQ(w.lines().size(), 4);
    auto *stop = w.b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop;
    QObject::connect(w.tabs(), &QTabWidget::currentChanged, &w.f, [&] {
        if (w.tabs()->count() == 2 && stop->isEnabled()) stop->click();
    });
    w.b.SpinEditLinkStart->setValue(1);
    w.b.SpinEditLinkCount->setValue(4);
    w.b.btnBatchHrefList->click();
    EXPECT_EQ(w.tabs()->count(), 2) << "the batch went on after Stop";
    EXPECT_EQ(w.f.state().GLinkViewIndex, 0);
    EXPECT_EQ(w.b.SpinEditLinkStart->value(), 1);
}

TEST(BatchViewWindow, FramesetFileIsRefusedAndAListClickOpensOneTab)
{
    Sites s;
    Window w;
    QTemporaryDir dir;
    const QString frameset = dir.filePath(QStringLiteral("frames.html"));
    {
        QFile f(frameset);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><FRAMESET><frame src='a.html'></FRAMESET></html>");
    }
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    setBatchOpenFileHook([&] { return frameset; });
    TWebbrowser *index = w.b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView;
    const QString before = index->LocationURL();
    w.b.sbPanelPanelPageControlMainTopTab07BatchPageViewOppenFile->click();
    setBatchOpenFileHook({});
    setMessageBoxHook({});
    EXPECT_EQ(shown, QStringList{QStringLiteral("Framesetﾌｧｲﾙです。各HTMLを個別にﾀﾞｳﾝﾛｰﾄﾞしてください")});
    EXPECT_EQ(index->LocationURL(), before);
    EXPECT_TRUE(w.b.EditPanelPanelPageControlMainTopTab07BatchPageView->text().isEmpty());

    w.open(s.url("/index"));
    ASSERT_EQ(w.lines().size(), 3);
    auto *list = w.b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView;
    QListWidgetItem *second = list->item(1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(second).center());
    ASSERT_EQ(w.tabs()->count(), 2);
    EXPECT_EQ(w.tabs()->currentIndex(), 1);
    EXPECT_EQ(w.tabs()->tabText(1), QStringLiteral("2[bravo]"));
    EXPECT_EQ(w.b.SpinEditLinkStart->value(), 2);
    const QString url = s.url("/p/bravo.html");
    EXPECT_EQ(w.f.dl.ComboBoxUrl->currentText(), url);
    EXPECT_EQ(w.f.dl.ComboBoxURLDirect->currentText(), url);
    EXPECT_EQ(w.f.gui.ComboBoxGUIEditorURL->currentText(), url);
    EXPECT_EQ(w.b.EditPanelPanelPageControlMainTopTab07BatchPageView->text(), url);
    EXPECT_EQ(w.f.dl.ComboBoxBatchDownloadURL->currentText(), url);
}

TEST(BatchViewWindow, LocalIndexWithInlineFramesOpensItsCopyFromTheDataFolder)
{
    Sites s;
    Window w;
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("local.html"));
    {
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><head></head><body><a href='one.html'>1</a><IFrame src='x.html'></IFrame></body></html>");
    }
    QFile::copy(page, dir.filePath(QStringLiteral("one.html")));
    w.open(page);
    ASSERT_EQ(w.lines().size(), 1);
    // The copy's base element makes its relative link resolve beside the original.
    EXPECT_EQ(w.lines().first(), QStringLiteral("  1  one\t") + QUrl::fromLocalFile(dir.filePath(QStringLiteral("one.html"))).toString());
    EXPECT_TRUE(w.b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView->LocationURL().endsWith(QStringLiteral("/dummy.html")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("dummy.html"))));
    // A batch opens the local link as a path.
    w.b.btnBatchHrefList->click();
    ASSERT_EQ(w.tabs()->count(), 2);
    EXPECT_EQ(w.tabs()->tabToolTip(1), dir.filePath(QStringLiteral("one.html")));
    EXPECT_EQ(fromSjis(w.f.state().GGUIFile), dir.filePath(QStringLiteral("one.html")));
}

// A batch over local pages opens each on the WebGUI page too, in the background: the window
// stays on the batch viewer, and what that page would say goes to the status bar.
TEST(BatchViewWindow, ABatchOfLocalPagesOpensThemOnTheWebGuiPageWithoutLeavingOrAsking)
{
    Window w;
    QTemporaryDir dir;
    auto write = [&](const char *name, const char *text) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("index.html", "<html><body><a href='one.html'>1</a><a href='two.html'>2</a></body></html>");
    // A blank line the WebGUI page takes out, after a backup that cannot be made (a folder
    // stands in its place): that page then has something to say.
    write("one.html", "<html>\r\n\r\n<body>one</body>\r\n</html>\r\n");
    write("two.html", "<html><body>two</body></html>");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("YY_one.html")));
    w.f.gui.RadioGroupRemoveIndentComment->setItemIndex(1);

    w.open(dir.filePath(QStringLiteral("index.html")));
    ASSERT_EQ(w.lines().size(), 2);
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    int switches = 0;
    QObject::connect(w.f.frame.PageControlMainBody, &QTabWidget::currentChanged, [&] { ++switches; });
    QObject::connect(w.f.frame.PageControlMainTop, &QTabWidget::currentChanged, [&] { ++switches; });
    w.b.SpinEditLinkStart->setValue(1);
    w.b.btnBatchHrefList->click();
    setMessageBoxHook({});

    ASSERT_EQ(w.tabs()->count(), 3);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(switches, 0);
    EXPECT_EQ(w.f.frame.PageControlMainTop->currentWidget(), w.f.frame.PageControlMainTopTab07BatchPageView);
    EXPECT_FALSE(w.f.StatusBar1->panelText(2).isEmpty());
    QTabWidget *editors = w.f.gui.PageControlGUILeft;
    ASSERT_EQ(editors->count(), 2);
    EXPECT_EQ(editors->tabToolTip(0), dir.filePath(QStringLiteral("one.html")));
    EXPECT_EQ(editors->tabToolTip(1), dir.filePath(QStringLiteral("two.html")));
    EXPECT_EQ(fromSjis(w.f.state().GGUIFile), dir.filePath(QStringLiteral("two.html")));
}
