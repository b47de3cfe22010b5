// The two panes on a real (offscreen) window against pages of a local server: the wait for
// a loading right pane, the right pane's completed documents, new-window requests, the
// run-time tabs' memory, the auxiliary browser, and the net-search page's small buttons.
#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/NetSearchButtons.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/QtSjis.h"
#include "support/Gate.h"
#include "support/TestHttpServer.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include "support/WaitUntil.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {
struct Form {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form;
    Form()
    {
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    ~Form() { form->close(); }
    TAMainForm *operator->() { return form.get(); }
};

std::string page(const std::string &title) { return "<html><head><title>" + title + "</title></head><body><p>" + title + "</p></body></html>"; }

bool waitLoaded(TWebbrowser *wb, int ms = 15000)
{
    return waitUntil([wb] { return wb->hasView() && !wb->Busy(); }, ms);
}

} // namespace

TEST(TwoPane, ClickWhileTheRightPaneLoadsShowsTheWaitWindowUntilThePageCompletes)
{
    TestHttpServer srv;
    Gate gate;
    srv.server().Get("/slow", [&](const httplib::Request &, httplib::Response &res) {
        gate.waitOpen();
        res.set_content(page("slow"), "text/html");
    });
    srv.server().Get("/other", [](const httplib::Request &, httplib::Response &res) { res.set_content(page("other"), "text/html"); });
    srv.start();
    Form f;
    auto &tabs = f->netSearchPage->tabs();
    LinkRouter &router = f->netSearchPage->router();
    f->state().GBaseHoverUrl = srv.url("/other");

    tabs.TargetBrowser()->Navigate(QString::fromStdString(srv.url("/slow")));
    ASSERT_TRUE(tabs.TargetBrowser()->Busy());
    EXPECT_FALSE(router.BaseBrowserDocumentClick({QStringLiteral("click"), QString::fromStdString(srv.url("/other"))}));
    TFormWaitForBrowser *wait = router.waitWindow();
    EXPECT_TRUE(wait->isVisible());
    EXPECT_TRUE(f->TimerWaitforReady->isActive());
    // The click was dropped: no tab, the right pane still on its slow page.
    EXPECT_EQ(f->net.TargetPageControl->count(), 1);
    EXPECT_EQ(f->state().GTargetTabCount, 0);

    gate.release();
    EXPECT_TRUE(waitUntil([&] { return !wait->isVisible(); }, 15000));
    EXPECT_FALSE(f->TimerWaitforReady->isActive());
    EXPECT_TRUE(tabs.TargetBrowser()->LocationURL().endsWith(QStringLiteral("/slow")));

    // Once the pane is complete the next click goes through to it.
    EXPECT_FALSE(router.BaseBrowserDocumentClick({QStringLiteral("click"), QString::fromStdString(srv.url("/other"))}));
    EXPECT_FALSE(wait->isVisible());
    EXPECT_EQ(f->state().GTargetTabCount, 1);
    ASSERT_TRUE(waitLoaded(tabs.TargetBrowser()));
    EXPECT_TRUE(tabs.TargetBrowser()->LocationURL().endsWith(QStringLiteral("/other")));
}

TEST(TwoPane, CompletedDocumentShowsDeclaredCharsetThenShiftJisAndColoursTheSource)
{
    TestHttpServer srv;
    // "日本語" in EUC-JP.
    const std::string eucBody = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-jp\">"
                                "<title>euc</title></head><body><p>\xC6\xFC\xCB\xDC\xB8\xEC</p></body></html>";
    srv.server().Get("/euc", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content(eucBody, "text/html; charset=EUC-JP");
    });
    Gate gate;
    srv.server().Get("/late", [&](const httplib::Request &, httplib::Response &res) {
        gate.waitOpen();
        res.set_content(page("late"), "text/html");
    });
    srv.start();
    Form f;
    auto &tabs = f->netSearchPage->tabs();
    // The clipboard copy comes between the two labels: what panel 0 shows then is the first.
    f->net.CheckBoxTextFromBrowser->setChecked(true);
    QStringList labels;
    QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, f.form.get(),
                     [&] { labels << f->StatusBar1->panelText(0); });
    TWebbrowser *fixed = tabs.TargetBrowser();
    QSignalSpy done(fixed, &TWebbrowser::DocumentComplete);
    fixed->Navigate(QString::fromStdString(srv.url("/euc")));
    ASSERT_TRUE(done.wait(15000));
    QTest::qWait(0);
    EXPECT_EQ(labels, QStringList{QStringLiteral(" 【 euc-jp 】")});
    EXPECT_EQ(f->StatusBar1->panelText(0), QStringLiteral(" 【 shift_jis 】"));
    const QString src = f->dl.RichEditpageHTML->toPlainText();
    EXPECT_TRUE(src.contains(QStringLiteral("日本語")));
    EXPECT_TRUE(src.contains(QStringLiteral("charset=shift_jis"), Qt::CaseInsensitive));
    std::set<QRgb> colours;
    for (int i = 0; i < 40; ++i) colours.insert(f->dl.RichEditpageHTML->colorAt(i).rgb());
    EXPECT_GT(colours.size(), 1u) << "the source is coloured";
    EXPECT_TRUE(f->net.EditCurrentLinkURL->currentText().endsWith(QStringLiteral("/euc")));

    // A tab that completes behind the one in front is read from its own browser.
    f->state().GTargetTabCount = 1;
    ASSERT_NE(tabs.CreateTargetTab("", srv.url("/late"), 0), nullptr);
    TWebbrowser *behind = tabs.TargetBrowser();
    behind->Navigate(QString::fromStdString(srv.url("/late")));
    ASSERT_TRUE(behind->Busy());
    f->net.TargetPageControl->setCurrentIndex(0);
    ASSERT_EQ(tabs.TargetBrowser(), fixed);
    QSignalSpy lateDone(behind, &TWebbrowser::DocumentComplete);
    gate.release();
    ASSERT_TRUE(lateDone.wait(15000));
    QTest::qWait(0);
    EXPECT_TRUE(f->net.EditCurrentLinkURL->currentText().endsWith(QStringLiteral("/late")));
    EXPECT_NE(f->state().GTargetHtml.find("late"), std::string::npos);
    EXPECT_EQ(f->StatusBar1->panelText(0), QString());
}

TEST(TwoPane, NewWindowFromTheLeftPaneBecomesARightPaneTab)
{
    TestHttpServer srv;
    srv.server().Get("/left", [](const httplib::Request &, httplib::Response &res) { res.set_content(page("left"), "text/html"); });
    srv.server().Get("/popup", [](const httplib::Request &, httplib::Response &res) { res.set_content(page("popup"), "text/html"); });
    srv.start();
    Form f;
    auto &tabs = f->netSearchPage->tabs();
    TWebbrowser *base = f->net.BaseBrowser;
    base->Navigate(QString::fromStdString(srv.url("/left")));
    ASSERT_TRUE(waitLoaded(base));
    base->evalSync(QStringLiteral("window.open('/popup'); 1"));
    ASSERT_TRUE(waitUntil([&] { return f->net.TargetPageControl->count() == 2; }, 15000));
    TWebbrowser *tab = tabs.TargetBrowser();
    ASSERT_NE(tab, f->net.TargetBrowser);
    EXPECT_TRUE(waitUntil([&] { return tab->LocationURL().endsWith(QStringLiteral("/popup")) && !tab->Busy(); }, 15000));
    EXPECT_TRUE(f->net.TargetPageControl->tabText(1).startsWith(QStringLiteral("2. ")));
    EXPECT_TRUE(f->net.TargetPageControl->tabToolTip(1).endsWith(QStringLiteral("/popup")));
    // The left pane keeps its page.
    EXPECT_TRUE(base->LocationURL().endsWith(QStringLiteral("/left")));

    // Asking for the front tab's address makes its browser the front one, the fixed tab's too.
    f->state().GTargetUrl = "http://fixed.example/";
    {
        QSignalBlocker quiet(f->net.TargetPageControl);
        f->net.TargetPageControl->setCurrentIndex(0);
    }
    ASSERT_EQ(tabs.TargetBrowser(), tab);
    EXPECT_EQ(tabs.GetTargetTabCaption(), "http://fixed.example/");
    EXPECT_EQ(tabs.TargetBrowser(), f->net.TargetBrowser);
}

TEST(TwoPane, AuxiliaryBrowserKeepsEveryPageItShowed)
{
    TestHttpServer srv;
    srv.server().Get(R"(/aux/(\d))", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(page("aux " + std::string(req.matches[1])), "text/html");
    });
    srv.start();
    Form f;
    auto &n = f->net;
    QSignalSpy done(n.WebBrowserTrad, &TWebbrowser::DocumentComplete);
    for (const char *p : {"/aux/1", "/aux/2", "/aux/1"}) {
        n.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(QStringLiteral("  ") + QString::fromStdString(srv.url(p)));
        f->netSearchButtons->sbAuxGoClick();
        ASSERT_TRUE(done.wait(15000)) << p;
    }
    EXPECT_EQ(n.EditPageControlBaseBrowserTab12BrowserTrad->count(), 3) << "repeats are kept";
    EXPECT_TRUE(n.EditPageControlBaseBrowserTab12BrowserTrad->currentText().endsWith(QStringLiteral("/aux/1")));
    // A text without a web address goes nowhere.
    n.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(QStringLiteral("ftp://x/"));
    f->netSearchButtons->sbAuxGoClick();
    EXPECT_FALSE(n.WebBrowserTrad->Busy());

    // "Left from the auxiliary browser" shows the same page in the left pane.
    n.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(QString::fromStdString(srv.url("/aux/2")));
    n.PageControlBaseBrowser->setCurrentWidget(n.PageControlBaseBrowserTab12BrowserSideAux);
    f->netSearchButtons->btnR2SClick();
    EXPECT_EQ(n.PageControlBaseBrowser->currentIndex(), 0);
    ASSERT_TRUE(waitLoaded(n.BaseBrowser));
    EXPECT_TRUE(n.BaseBrowser->LocationURL().endsWith(QStringLiteral("/aux/2")));
}

TEST(TwoPane, SmallButtonsOfTheNetSearchPage)
{
    Form f;
    auto &n = f->net;
    NetSearchButtons &b = *f->netSearchButtons;
    std::vector<std::string> launched;
    const BrowserLauncher old = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
        launched.push_back(argv.back());
        return true;
    });

    n.edGoogleSearch->setEditText(QStringLiteral(" a  b,c\u3000d "));
    b.EncloseQuatationClick();
    EXPECT_EQ(n.edGoogleSearch->currentText(), QStringLiteral("\"a\" \"b\" \"c\" \"d\""));

    n.edGoogleSearch->setEditText(QStringLiteral("kw site:old.jp"));
    n.edGoogleURL->setEditText(QString());
    b.btnSearchiAddInsiteClick();
    EXPECT_EQ(n.edGoogleSearch->currentText(), QStringLiteral("kw site:old.jp")) << "needs a URL";
    n.edGoogleURL->setEditText(QStringLiteral("http://www.new.jp/a/b.html"));
    b.btnSearchiAddInsiteClick();
    EXPECT_EQ(n.edGoogleSearch->currentText(), QStringLiteral("kw site:www.new.jp"));

    // The input mode follows the IME option on entering the box; a click only turns it on.
    QLineEdit *kwBox = n.edGoogleSearch->lineEdit();
    n.RadioGroupIME->setItemIndex(0);
    b.edGoogleSearchEnter();
    EXPECT_FALSE(kwBox->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(kwBox->inputMethodHints() & Qt::ImhLatinOnly);
    b.edGoogleSearchClick();
    EXPECT_FALSE(kwBox->testAttribute(Qt::WA_InputMethodEnabled));
    n.RadioGroupIME->setItemIndex(1);
    b.edGoogleSearchClick();
    EXPECT_TRUE(kwBox->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_FALSE(kwBox->inputMethodHints() & Qt::ImhLatinOnly);

    // A shrunk top panel shows its first row; the rest comes back when it grows again.
    b.sbShrinkTopPanelClick();
    EXPECT_EQ(n.PanelPageControlMainTopTab00GoogleSearchTop->height(), 36);
    EXPECT_TRUE(n.btnGoogleSearch->isVisible());
    EXPECT_FALSE(n.CheckBoxBatchSearchBrowse->isVisible());
    n.PanelPageControlMainTopTab00GoogleSearchTop->setFixedHeight(420);
    EXPECT_TRUE(waitUntil([&] { return n.CheckBoxBatchSearchBrowse->isVisible(); }, 2000));

    n.RadioGroupSearchNoList->setItemIndex(1);
    EXPECT_TRUE(n.ListBoxBaseBrowser->isVisible());
    EXPECT_TRUE(n.BaseBrowser->isVisible());
    EXPECT_GT(n.Splitter92->sizes().value(1), 0);
    n.RadioGroupSearchNoList->setItemIndex(0);
    EXPECT_FALSE(n.ListBoxBaseBrowser->isVisible());
    EXPECT_TRUE(n.BaseBrowser->isVisible());

    // Open-in-browser buttons take only web addresses.
    const struct {
        QLineEdit *box;
        void (NetSearchButtons::*click)();
        const char *text;
        bool opens;
    } opens[] = {
        {n.edGoogleURL->lineEdit(), &NetSearchButtons::sbGoogleSearchOpenIEClick, " https://a.jp/ ", true},
        {n.EditSearchUrl, &NetSearchButtons::btnSearchSideTopOpenIEClick, "http://b.jp/", true},
    };
    for (const auto &o : opens) {
        launched.clear();
        o.box->setText(QString::fromLatin1(o.text));
        (b.*o.click)();
        EXPECT_EQ(launched.size(), o.opens ? 1u : 0u) << o.text;
        if (o.opens && !launched.empty()) EXPECT_EQ(launched[0], QString::fromLatin1(o.text).trimmed().toStdString());
    }

    n.edGoogleURL->setEditText(QStringLiteral("http://dl.jp/x.html"));
    b.btnCOPY2DownloadUrlClick();
    EXPECT_EQ(f->dl.ComboBoxUrl->currentText(), QStringLiteral("http://dl.jp/x.html"));
    EXPECT_EQ(f->gui.ComboBoxGUIEditorURL->currentText(), QStringLiteral("http://dl.jp/x.html"));
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab01Main);
    EXPECT_FALSE(n.btnCOPY2DownloadUrl->isVisible());

    // One click in the left pane stays there; the switch gives its button back once used.
    b.btnOnceBaseBrowseClick();
    EXPECT_TRUE(f->menu.MenuConviiTSameScreen->isChecked());
    EXPECT_FALSE(n.btnOnceBaseBrowse->isEnabled());
    f->menu.MenuConviiTSameScreen->setChecked(false);
    EXPECT_TRUE(n.btnOnceBaseBrowse->isEnabled());

    n.btnGoogleSearch->setEnabled(false);
    n.edSearchAndHighlight->setText(QStringLiteral("w"));
    n.Memokeyword->setPlainText(QStringLiteral("q"));
    b.sbEditBrowsedSearchClick();
    EXPECT_TRUE(n.btnGoogleSearch->isEnabled());
    EXPECT_EQ(n.edGoogleSearch->currentText(), QString());
    EXPECT_EQ(n.edGoogleURL->currentText(), QString());
    EXPECT_EQ(n.edSearchAndHighlight->text(), QString());
    EXPECT_EQ(n.Memokeyword->toPlainText(), QString());

    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab00GoogleSearch);
    b.sbOpenTargetBwowserClick();
    EXPECT_TRUE(f->menu.MenuViewSearchInfoPanel->isChecked());
    EXPECT_FALSE(n.PanelPageControlMainTopTab00GoogleSearchRight->isVisible());

    SetBrowserLauncher(old);
}
