// The source tabs, the keyword buttons and the link history on the real (offscreen) window,
// against a fixture engine on 127.0.0.1.
#include "mainwindow/ResultSourcePage.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {
struct Engine {
    TestHttpServer srv;
    Engine()
    {
        srv.server().Get("/search", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(
                "<html><head><meta charset=\"utf-8\"><title>results</title><style>a{color:red}</style>"
                "<script>var x=1;google.dlj('/extern/engine.js')</script></head><body>"
                "<div id=\"gbar\"><a href=\"/bar\">bar</a></div><h2>frame</h2>"
                "<ol><li class=\"g\"><a onmousedown=\"return rwt(this,1)\" href=\"" + srv.url("/site/1.html") +
                    "\">日本語の結果</a></li></ol><script>function rwt(){return true}</script></body></html>",
                "text/html; charset=utf-8");
        });
        srv.server().Get("/extern/engine.js", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("(function(){var a=1;if(a){b()};})()", "text/javascript");
        });
        srv.server().Get(R"(/site/(\d+)\.html)", [](const httplib::Request &req, httplib::Response &res) {
            res.set_content("<html><body><p>apple banana cherry date elder fig grape</p><p>page " +
                                std::string(req.matches[1]) + " apple</p></body></html>",
                            "text/html");
        });
        srv.start();
        setenv("VK_SEARCH_ENGINE_BASE", srv.url("/search").c_str(), 1);
    }
    ~Engine() { unsetenv("VK_SEARCH_ENGINE_BASE"); }
    QString url(const char *p) const { return QString::fromStdString(srv.url(p)); }
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
    bool search()
    {
        f.net.edGoogleSearch->setEditText(QStringLiteral("apple"));
        f.net.CheckBoxBatchSearchBrowse->setChecked(true);
        QTest::mouseClick(f.net.btnGoogleSearch, Qt::LeftButton);
        return waitUntil([&] { return f.net.ListBoxPageControlBaseBrowserTab08SearchList->count() == 1; }, 20000);
    }
    QString text(TRichEdit *v) const { return fromSjis(v->text()); }
};
} // namespace

TEST(ResultSourceWindow, ButtonsFillTheirViewsOnlyAfterASearch)
{
    Engine e;
    Window w;
    auto &n = w.f.net;
    TRichEdit *views[] = {n.RichEditBaseBrowserHTMLSrc, n.RichEditBaseBrowserScript, n.RichEditBaseBrowserStyleSheet,
                          n.RichEditBaseBrowserRaw, n.RichEditBaseBrowserTab07JSFile, n.RichEditBaseBrowserTab06HTMLAll};
    QAbstractButton *buttons[] = {n.btnGoogleSearchResult, n.btnGoogleGetScript, n.btnGoogleGetStyleSheet,
                                  n.btnGoogleGetRaw, n.btnGoogleGetJSFile, n.btnGoogleHightlight};
    for (TRichEdit *v : views) v->setText("before");
    for (int i = 0; i < 6; ++i) {
        n.PageControlBaseBrowser->setCurrentWidget(buttons[i]->parentWidget()->parentWidget() == n.PageControlBaseBrowser
                                                       ? buttons[i]->parentWidget()
                                                       : n.PageControlBaseBrowserTab01Browser);
        buttons[i]->click();
        EXPECT_EQ(views[i]->text(), "before") << buttons[i]->objectName().toStdString();
    }
    n.btnRemoveCache->click();
    EXPECT_EQ(n.RichEditBaseBrowserTab06HTMLAll->text(), "before");

    ASSERT_TRUE(w.search());
    n.btnGoogleSearchResult->click();
    EXPECT_TRUE(w.text(n.RichEditBaseBrowserHTMLSrc).contains(QStringLiteral("日本語の結果")));
    n.btnGoogleGetScript->click();
    EXPECT_TRUE(w.text(n.RichEditBaseBrowserScript).startsWith(QStringLiteral("<script>\r\nvar x=1;\r\n")))
        << w.text(n.RichEditBaseBrowserScript).toStdString();
    n.btnGoogleGetStyleSheet->click();
    EXPECT_TRUE(w.text(n.RichEditBaseBrowserStyleSheet).contains(QStringLiteral("color:\t\t\t\t\t\tred")));
    // Raw and the script file come off the window's thread.
    n.btnGoogleGetRaw->click();
    EXPECT_TRUE(waitUntil([&] { return w.text(n.RichEditBaseBrowserRaw).contains(QStringLiteral("日本語の結果")); }, 20000))
        << w.text(n.RichEditBaseBrowserRaw).toStdString();

    ASSERT_TRUE(waitUntil([&] { return !w.f.resultSourcePage->fetchRunning(); }, 20000));
    n.btnGoogleGetJSFile->click();
    const QString jsUrl = e.url("/extern/engine.js");
    EXPECT_EQ(n.StatusBarGoogle->panelText(2), QStringLiteral(" 【 ") + jsUrl + QStringLiteral(" 】"));
    EXPECT_TRUE(waitUntil([&] { return w.text(n.RichEditBaseBrowserTab07JSFile).startsWith(QStringLiteral("【【【【【 \r\n     ") + jsUrl); }, 20000));
    EXPECT_TRUE(w.text(n.RichEditBaseBrowserTab07JSFile).contains(QStringLiteral("var a=1;\r\n")));

    n.btnGoogleSaveFileList->click();
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral(",") + e.url("/site/1.html")))
        << QApplication::clipboard()->text().toStdString();

    // The simplified page is read from the tab's own browser, which the tab loads on opening.
    n.edGoogleURL->setEditText(e.url("/search"));
    n.PageControlBaseBrowser->setCurrentWidget(n.PageControlBaseBrowserTab06HTMLAll);
    n.btnGoogleHightlight->click();
    const QString simple = w.text(n.RichEditBaseBrowserTab06HTMLAll);
    EXPECT_TRUE(simple.contains(QStringLiteral("日本語の結果"))) << simple.toStdString();
    EXPECT_FALSE(simple.contains(QStringLiteral("gbar")));
    EXPECT_FALSE(simple.contains(QStringLiteral("var x")));
    n.btnRemoveCache->click();
    EXPECT_TRUE(w.text(n.RichEditBaseBrowserTab06HTMLAll).contains(fromSjis(w.f.state().GHtmlSeparator)));
    w.f.close();
}

TEST(ResultSourceWindow, KeywordMarksAndFirstHitInTheRightPane)
{
    Engine e;
    Window w;
    auto &n = w.f.net;
    TWebbrowser *wb = n.TargetBrowser;
    wb->Navigate(e.url("/site/2.html"));
    ASSERT_TRUE(waitUntil([&] { return !wb->Busy() && wb->hasDocument(); }, 15000));
    n.edGoogleURL->setEditText(e.url("/site/2.html"));
    n.edSearchAndHighlight->setText(QStringLiteral("apple\u3000\u3000banana  cherry"));
    n.btnTargetBrowserBatchSearch->click();
    EXPECT_EQ(n.edSearchAndHighlight->text(), QStringLiteral("apple banana cherry"));
    EXPECT_EQ(wb->evalSync(QStringLiteral("document.querySelectorAll('span[style]').length")).toInt(), 4);

    n.edSearchAndHighlight->setText(QStringLiteral("page"));
    n.btnSearchFirst->click();
    EXPECT_EQ(wb->evalSync(QStringLiteral("String(getSelection())")).toString(), QStringLiteral("page"));
    EXPECT_EQ(w.f.resultSourcePage->GHighlightText, QStringLiteral("page"));

    // A document URL in the URL box: the buttons leave the page alone.
    n.edGoogleURL->setEditText(e.url("/site/doc.pdf"));
    n.edSearchAndHighlight->setText(QStringLiteral("date"));
    n.btnTargetBrowserBatchSearch->click();
    EXPECT_EQ(wb->evalSync(QStringLiteral("document.querySelectorAll('span[style]').length")).toInt(), 5);
    w.f.close();
}

TEST(ResultSourceWindow, LinkHistorySpreadsOnlyTheUsersPicksAndHandsTheUrlToTheDownloadPage)
{
    Engine e;
    Window w;
    auto &n = w.f.net;
    const QString page = e.url("/site/3.html");
    n.TargetBrowser->Navigate(page);
    ASSERT_TRUE(waitUntil([&] { return n.EditCurrentLinkURL->currentText() == page; }, 15000));
    EXPECT_NE(w.f.ip.edtHost->currentText(), page) << "a text the program set spread";

    const QString picked = e.url("/site/4.html");
    n.EditCurrentLinkURL->addItem(picked);
    const int i = n.EditCurrentLinkURL->findText(picked);
    n.EditCurrentLinkURL->setCurrentIndex(i);
    emit n.EditCurrentLinkURL->activated(i);
    EXPECT_EQ(w.f.ip.edtHost->currentText(), picked);
    EXPECT_EQ(w.f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->text(), picked);
    EXPECT_EQ(w.f.gui.ComboBoxGUIEditorURL->currentText(), picked);

    n.EditCurrentLinkURL->setEditText(page);
    n.btnGUISend2ComboBoxUrl->click();
    for (QComboBox *c : {n.edGoogleURL, w.f.dl.ComboBoxUrl, w.f.dl.ComboBoxDirectUrl, w.f.gui.ComboBoxGUIEditorURL})
        EXPECT_EQ(c->currentText(), page) << c->objectName().toStdString();
    EXPECT_EQ(w.f.ip.edtHost->currentText(), page);
    EXPECT_EQ(w.f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->text(), page);
    EXPECT_EQ(w.f.frame.PageControlMainTop->currentWidget(), w.f.frame.PageControlMainTopTab01Main);
    EXPECT_TRUE(waitUntil([&] { return w.f.dl.WebBrowserMain->LocationURL() == page; }, 15000));

    n.btnGUISend2ComboBoxUrlClear->click();
    EXPECT_EQ(n.EditCurrentLinkURL->count(), 0);
    w.f.close();
}

// " Raw " against a server that takes the request and never answers: the window keeps
// answering while the fetch runs, and the page's "中止" ends it.
TEST(ResultSourceWindow, RawFromAStalledServerLeavesTheWindowAnsweringAndStopEndsIt)
{
    Engine e;
    Window w;
    auto &n = w.f.net;
    ASSERT_TRUE(w.search());
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    TestHttpServer stall;
    stall.server().Get("/never", [&](const httplib::Request &, httplib::Response &res) {
        std::unique_lock<std::mutex> l(m);
        cv.wait_for(l, std::chrono::seconds(60), [&] { return release; });
        res.set_content("late", "text/html");
    });
    stall.start();
    w.f.state().GQueryUrl = stall.url("/never");
    n.RichEditBaseBrowserRaw->setText("before");
    n.btnGoogleGetRaw->click();
    EXPECT_TRUE(w.f.resultSourcePage->fetchRunning());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    EXPECT_TRUE(waitUntil([&] { return ticks >= 5; }, 10000)) << "the window stopped answering";
    EXPECT_TRUE(w.f.resultSourcePage->fetchRunning());
    n.btnBatchBrowseStop->setEnabled(true);
    n.btnBatchBrowseStop->click();
    EXPECT_TRUE(waitUntil([&] { return !w.f.resultSourcePage->fetchRunning(); }, 5000)) << "stop did not end the fetch";
    EXPECT_EQ(n.RichEditBaseBrowserRaw->text(), "");
    {
        std::lock_guard<std::mutex> l(m);
        release = true;
    }
    cv.notify_all();
}
