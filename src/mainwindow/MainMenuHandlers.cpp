#include "mainwindow/MainMenuHandlers.h"
#include "webgui/WebGuiPage.h"
#include "mainwindow/ConviPage.h"
#include "mainwindow/BatchView.h"
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/PaneDocument.h"
#include "mainwindow/Settings.h"
#include "mainwindow/TAMainForm.h"
#include "nettools/TWhoisForm.h"
#include "nettools/TraceRoutePage.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"

#include <QAction>
#include <QApplication>
#include <memory>

namespace {
struct ChangeGuard {
    bool &flag;
    explicit ChangeGuard(bool &f) : flag(f) { flag = true; }
    ~ChangeGuard() { flag = false; }
};

} // namespace

int mainTopHeightForPage(const QString &page, int spin)
{
    const struct {
        const char *name;
        int height;  // -1: the spin edit's value
    } rows[] = {
        {"PageControlMainTopTab00GoogleSearch", -1}, {"PageControlMainTopTab01Main", 400},
        {"PageControlMainTopTab02CSS", 700},         {"PageControlMainTopTab03GettAllImage", 300},
        {"PageControlMainTopTab06WebGUI", 30},       {"PageControlMainTopTab07BatchPageView", 790},
        {"PageControlMainTopTab10FileCodeconvert", 30}, {"PageControlMainTopTab08WebCodeConversion", -1},
        {"PageControlMainTopTab11Desc", 790},        {"PageControlMainTopTab13FavariteBrowse", -1},
        {"PageControlMainTopTab20Convi", -1},
    };
    for (const auto &r : rows)
        if (page == QLatin1String(r.name)) return r.height < 0 ? spin : r.height;
    return 0;
}

MainMenuHandlers::MainMenuHandlers(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &m = f_.menu;
    connect(m.MenuViewSearchInfoPanel, &QAction::triggered, this, &MainMenuHandlers::MenuViewSearchInfoPanelClick);
    connect(m.MenuViewMaximized, &QAction::triggered, this, &MainMenuHandlers::MenuViewMaximizedClick);
    connect(m.MenuViewStdTopHeight, &QAction::triggered, this, &MainMenuHandlers::MenuViewStdTopHeightClick);
    connect(m.MenuViewSearchList, &QAction::triggered, this, &MainMenuHandlers::MenuViewSearchListClick);
    connect(m.MenuViewSearchPaneSetting, &QAction::triggered, this, &MainMenuHandlers::MenuViewSearchPaneSettingClick);
    connect(m.MenuSettingsSave, &QAction::triggered, this, &MainMenuHandlers::MenuSettingsSaveClick);
    connect(m.MenuSettingsInitialyze, &QAction::triggered, this, &MainMenuHandlers::MenuSettingsInitialyzeClick);
    connect(m.MenuR2LTop, &QAction::triggered, this, &MainMenuHandlers::MenuR2LTopClick);
    // MenuFileClose is wired to the window's close by the window itself.

    connect(f_.frame.PageControlMainTop, &QTabWidget::currentChanged, this, &MainMenuHandlers::PageControlMainTopChange);
    connect(f_.net.PageControlBaseBrowser, &QTabWidget::currentChanged, this,
            &MainMenuHandlers::PageControlBaseBrowserChange);
    connect(f_.frame.PageControlMainBody, &QTabWidget::currentChanged, this, &MainMenuHandlers::PageControlMainBodyChange);

    connect(f_.TimerWhoisServer, &QTimer::timeout, this, &MainMenuHandlers::TimerWhoisServerTimer);
    connect(f_.TimerGUIIndent, &QTimer::timeout, this, &MainMenuHandlers::TimerGUIIndentTimer);
    connect(f_.TimerGUILocalIndent, &QTimer::timeout, this, &MainMenuHandlers::TimerGUILocalIndentTimer);

    for (QSpinBox *s : {static_cast<QSpinBox *>(f_.dl.SpinEditMainTopPanelHeight),
                        static_cast<QSpinBox *>(f_.batch.SpinEditLinkList), static_cast<QSpinBox *>(f_.batch.SpinEditLinkStart),
                        static_cast<QSpinBox *>(f_.batch.SpinEditLinkCount)})
        CommonkeyPress(s);
}

void MainMenuHandlers::MenuFileCloseClick()
{
    f_.close();
}

void MainMenuHandlers::MenuViewSearchInfoPanelClick(bool checked)
{
    f_.net.PanelPageControlMainTopTab00GoogleSearchRight->setVisible(!checked);
}

void MainMenuHandlers::MenuViewMaximizedClick(bool checked)
{
    if (checked) f_.showMaximized();
    else f_.showNormal();
}

void MainMenuHandlers::MenuViewStdTopHeightClick(bool checked)
{
    if (checked) setSearchTopHeight(f_, 70);
}

void MainMenuHandlers::MenuViewSearchListClick(bool checked)
{
    auto &n = f_.net;
    if (checked) {
        n.RadioGroupSearchNoList->setItemIndex(1);
        n.Splitter92->show();
        n.ListBoxBaseBrowser->show();
        const int total = std::max(n.Splitter92->width(), 261);
        n.Splitter92->setSizes({260, total - 260});
    } else {
        n.RadioGroupSearchNoList->setItemIndex(0);
        n.ListBoxBaseBrowser->hide();
    }
}

void MainMenuHandlers::storePaneSizes()
{
    AppState &st = f_.state();
    st.GSearchTopHeight = f_.net.PanelPageControlMainTopTab00GoogleSearchTop->height();
    st.GMainTopHeight = f_.panelMainTopHeight();
    st.GSearchLeftWidth = searchLeftWidth(f_);
}

void MainMenuHandlers::MenuViewSearchPaneSettingClick()
{
    storePaneSizes();
}

void MainMenuHandlers::MenuSettingsSaveClick()
{
    if (f_.state().GSettingsFile.empty()) return;
    storePaneSizes();
    SaveIniSettingsReported(f_, f_.state().GSettingsFile);
}

void MainMenuHandlers::MenuSettingsInitialyzeClick()
{
    f_.ReleaseInitialize();
}

void MainMenuHandlers::MenuR2LTopClick()
{
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab00GoogleSearch);
    f_.net.PageControlBaseBrowser->setCurrentWidget(f_.net.PageControlBaseBrowserTab01Browser);
    f_.net.sbForceMainGo->click();
}

void MainMenuHandlers::PageControlMainTopChange()
{
    if (changing_ || !f_.state().GFormShown) return;
    ChangeGuard guard(changing_);
    auto &fr = f_.frame;
    auto &dl = f_.dl;
    AppState &st = f_.state();
    QWidget *page = fr.PageControlMainTop->currentWidget();
    if (!page) return;
    const QString name = page->objectName();
    const int spin = dl.SpinEditMainTopPanelHeight->value();
    fr.PageControlMainBody->hide();

    if (page == fr.PageControlMainTopTab00GoogleSearch) {
        f_.StatusBar1->setPanelText(0, QString());
        f_.MainScreen();
        setSearchLeftWidth(f_, st.GSearchLeftWidth);
    } else if (page == fr.PageControlMainTopTab01Main) {
        // The download page works with the lower tabs: " メイン ", " image/CSS " and the lists after a run.
        fr.PageControlMainBody->show();
        fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab01Main);
        dl.WebBrowserMain->setMinimumWidth(0);
        if (!f_.net.edGoogleURL->currentText().isEmpty()) dl.ComboBoxUrl->setEditText(f_.net.edGoogleURL->currentText());
        // A page the browser was given without loading it is the page's current page.
        if (dl.ComboBoxUrl->currentText().isEmpty()) dl.ComboBoxUrl->setEditText(dl.WebBrowserMain->pendingUrl());
        dl.ComboBoxDirectUrl->setEditText(dl.ComboBoxUrl->currentText());
        dl.LabelDownloadedFile->setText(QStringLiteral(
            "ﾀﾞｳﾝﾛｰﾄﾞが終わらない場合は「 ﾀﾞｳﾝﾛｰﾄﾞ中止 」ﾎﾞﾀﾝをｸﾘｯｸしてください（ﾌﾟﾛｸﾞﾗﾑを閉じても中止されます） "));
        const QString url = dl.ComboBoxUrl->currentText();
        if (!dl.CheckBoxInhibitBrowser->isChecked() && !url.isEmpty()) {
            // The HTML is read when the new page has arrived, not from the page being left.
            auto conn = std::make_shared<QMetaObject::Connection>();
            *conn = connect(dl.WebBrowserMain, &TWebbrowser::DocumentComplete, this, [this, conn](const QString &) {
                disconnect(*conn);
                showMainPageHtml();
            });
            dl.WebBrowserMain->Navigate(url);
        } else {
            showMainPageHtml();
        }
    } else if (page == fr.PageControlMainTopTab02CSS || page == fr.PageControlMainTopTab03GettAllImage ||
               page == fr.PageControlMainTopTab11Desc) {
        f_.MainScreen();
    } else if (page == fr.PageControlMainTopTab06WebGUI) {
        fr.PageControlMainBody->show();
        fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab07DHTMLEditor);
        f_.gui.PageControlWebGUITop->setCurrentWidget(f_.gui.PageControlWebGUITopTab01Main);
        f_.gui.PageControlGUIRight->setCurrentWidget(f_.gui.PageControlGUIRightTab02AllHTMLSrc);
        f_.gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(250);
    } else if (page == fr.PageControlMainTopTab07BatchPageView) {
        f_.MainScreen();
        TWebbrowser *target = f_.FCurrentTargetBrowser ? f_.FCurrentTargetBrowser : f_.net.TargetBrowser;
        WaitWhileBrowserBusy(target);
        if (TWebbrowser::terminating()) return;
        auto &b = f_.batch;
        const std::string text = toSjis(b.EditPanelPanelPageControlMainTopTab07BatchPageView->text());
        if (text.empty()) {
            b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView->Navigate(QStringLiteral("about:blank"));
        } else {
            setSearchLeftWidth(f_, st.GSearchLeftWidth);
            b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->clear();
            if (text.find("http://") != std::string::npos || text.find("https://") != std::string::npos)
                f_.batchViewPage->sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick();
            else if (!IsLocalPathText(text) && !IsHttpUrl(text))
                ShowMessageBox(&f_, QStringLiteral("URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）"));
        }
    } else if (page == fr.PageControlMainTopTab10FileCodeconvert) {
        fr.PageControlMainBody->show();
        f_.MainScreen();
        fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab08Util);
    } else if (page == fr.PageControlMainTopTab08WebCodeConversion) {
        f_.MainScreen();
        fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab09WebCode);
        f_.ip.PageControlTraceRoute->setCurrentWidget(f_.ip.PageControlTraceRouteTab01WebBrowser);
        f_.traceRoutePage->TraceAllClear();
    } else if (page == fr.PageControlMainTopTab20Convi) {
        if (!st.GSiteBrowsersReady && f_.conviPage) {
            f_.conviPage->SiteBrowserInit();
            st.GSiteBrowsersReady = true;
        }
    }
    if (const int h = mainTopHeightForPage(name, spin)) f_.setPanelMainTopHeight(h);
}

void MainMenuHandlers::showMainPageHtml()
{
    auto &dl = f_.dl;
    const std::string html = GetWebBrowserHTMLSrc(dl.WebBrowserMain);
    const std::string title = TextBetween(html, "<title>", "</title>");
    f_.StatusBar1->setPanelText(1, QStringLiteral(" 【 ") + fromSjis(title) + QStringLiteral(" 】"));
    const std::string lower = LowerCase(html);
    const std::string charset = TextBetween(lower, "charset=", "\"");
    f_.StatusBar1->setPanelText(0, charset.empty() ? QString()
                                                   : QStringLiteral(" 【 ") + fromSjis(charset) + QStringLiteral(" 】"));
    dl.RichEditpageHTML->setText(html);
    ColorHTMLRichEdit(dl.RichEditpageHTML);
}

void MainMenuHandlers::PageControlBaseBrowserChange()
{
    if (changing_ || !f_.state().GFormShown) return;
    auto &n = f_.net;
    QWidget *page = n.PageControlBaseBrowser->currentWidget();
    if (page == n.PageControlBaseBrowserTab06HTMLAll) {
        n.WebBrowserPageControlBaseBrowserTab06HTML->Navigate(fromSjis(f_.state().GQueryUrl));
        setSearchLeftWidth(f_, 1000);
    } else if (page == n.PageControlBaseBrowserTab13Html) {
        TWebbrowser *target = f_.FCurrentTargetBrowser ? f_.FCurrentTargetBrowser : n.TargetBrowser;
        const std::string html = GetWebBrowserHTMLSrc(target);
        if (html.empty()) return;
        n.RichEditPageControlBaseBrowserTab13Html->setText(html);
        ColorHTMLRichEdit(n.RichEditPageControlBaseBrowserTab13Html);
    }
}

void MainMenuHandlers::PageControlMainBodyChange()
{
    if (changing_ || !f_.state().GFormShown) return;
    ChangeGuard guard(changing_);
    auto &fr = f_.frame;
    auto &dl = f_.dl;
    auto &gui = f_.gui;
    QWidget *page = fr.PageControlMainBody->currentWidget();
    const int area = gui.SpinEditGUIAreaHeight->value();
    if (page == fr.PageControlMainBodyTab01Main) {
        f_.setPanelMainTopHeight(30);
        gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(area);
        f_.StatusBar1->setPanelText(0, QStringLiteral(" H: [ ") + QString::number(area) + QStringLiteral(" ]"));
    } else if (page == fr.PageControlMainBodyTab02PageInnerFile) {
        f_.setPanelMainTopHeight(30);
        gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(area);
        dl.PageControlMainBodyTab02PageInnerFileRight->setCurrentWidget(dl.PageControlMainBodyTab02PageInnerFileRightTab01TryDownLoad);
    } else if (page == fr.PageControlMainBodyTab03CSSUrl) {
        dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->setCurrentWidget(
            dl.PageControlMainBodyTab09CantObtainedRightTab01ExistFile);
    } else if (page == fr.PageControlMainBodyTab04GetwebFileList) {
        dl.PageControlMainBodyTab04GetwebFileListRight->setCurrentWidget(dl.PageControlMainBodyTab04GetwebFileListRightTab01CSSText);
    } else if (page == fr.PageControlMainBodyTab05DownloadText || page == fr.PageControlMainBodyTab08Util) {
        f_.setPanelMainTopHeight(30);
    } else if (page == fr.PageControlMainBodyTab07DHTMLEditor) {
        gui.PageControlWebGUITop->setCurrentWidget(gui.PageControlWebGUITopTab01Main);
        f_.setPanelMainTopHeight(30);
        gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(120);
    } else if (page == fr.PageControlMainBodyTab09WebCode) {
        fr.PageControlMainTop->setCurrentWidget(fr.PageControlMainTopTab08WebCodeConversion);
        fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab09WebCode);
        f_.setPanelMainTopHeight(60);
    }
}

void MainMenuHandlers::TimerWhoisServerTimer()
{
    f_.TimerWhoisServer->stop();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *whois = qobject_cast<TWhoisForm *>(w)) whois->hide();
}

void MainMenuHandlers::TimerGUIIndentTimer()
{
    f_.TimerGUIIndent->stop();
    if (f_.webGuiPage) f_.webGuiPage->TimerGUIIndentTimer();
}

void MainMenuHandlers::TimerGUILocalIndentTimer()
{
    f_.TimerGUILocalIndent->stop();
    if (f_.webGuiPage) f_.webGuiPage->TimerGUILocalIndentTimer();
}
