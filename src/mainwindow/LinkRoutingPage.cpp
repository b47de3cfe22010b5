#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/ConviPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/NetSearch.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
bool isHttp(const std::string &s) { return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0; }
} // namespace

LinkRouter::LinkRouter(TAMainForm &form, TargetTabs &tabs) : f_(form), tabs_(tabs)
{
    auto *base = f_.net.BaseBrowser;
    connect(base, &TWebbrowser::StatusTextChange, this, &LinkRouter::BaseBrowserStatusTextChange);
    connect(base, &TWebbrowser::BeforeNavigate2, this, [this](const QString &, bool *) { FBaseDocSink.Disconnect(); });
    connect(base, &TWebbrowser::NavigateComplete2, this, [this](const QString &) {
        auto &st = f_.state();
        if (st.GSecondEngineSearch || !st.GBaseSinkConnected) {
            prepareBaseNavigation();
            st.GBaseSinkConnected = true;
        }
    });
    connect(base, &TWebbrowser::DocumentComplete, this, [] { QApplication::restoreOverrideCursor(); });
    // A page's request for a new window becomes a right-pane tab; nothing opens outside.
    connect(base, &TWebbrowser::NewWindow2, this, [this](const QString &url, TWebbrowser **target, bool *cancel) {
        if (f_.net.BaseBrowser->ReadyState() != TWebbrowser::ReadyComplete || !isHttp(sjis(url))) {
            *cancel = true;
            return;
        }
        if (tabs_.CreateTargetTab("", sjis(url), 0)) takeNewWindow(url, target);
    });
    FBaseDocSink.setOnClick([this](const DocEvent &e) { return BaseBrowserDocumentClick(e); });
    FBaseDocSink.setOnDblClick([this](const DocEvent &e) { return BaseBrowserDocumentDblClick(e); });
    FTargetDocSink.setOnClick([this](const DocEvent &e) { return TargetBrowserDocumentClick(e); });
    FTargetDocSink.setOnDblClick([this](const DocEvent &e) { return TargetBrowserDocumentDblClick(e); });

    connect(&tabs_, &TargetTabs::browserCreated, this, &LinkRouter::wireTarget);
    wireTarget(f_.net.TargetBrowser);
    connect(f_.TimerWaitforReady, &QTimer::timeout, this, &LinkRouter::TimerWaitforReadyTimer);
}

LinkRouter::~LinkRouter() = default;

void LinkRouter::wireTarget(TWebbrowser *wb)
{
    QPointer<TWebbrowser> p(wb);
    connect(wb, &TWebbrowser::StatusTextChange, this, &LinkRouter::TargetBrowserStatusTextChange, Qt::UniqueConnection);
    connect(wb, &TWebbrowser::BeforeNavigate2, this, [this, p](const QString &, bool *) {
        if (FTargetDocSink.source() == p) FTargetDocSink.Disconnect();
    });
    // The sink follows the browser whose document just started, when it is the one in front.
    connect(wb, &TWebbrowser::NavigateComplete2, this, [this, p](const QString &) {
        if (p && p == tabs_.TargetBrowser()) FTargetDocSink.Connect(p);
    });
    connect(wb, &TWebbrowser::DocumentComplete, this, [this, p](const QString &url) {
        // The pane's own load result says whether the page came; no second fetch.
        if (p && !p->hasDocument() && url != QLatin1String("about:blank"))
            f_.dl.MemoDownloadText->setPlainText(QStringLiteral("取得できませんでした"));
    });
    connect(wb, &TWebbrowser::NewWindow2, this, [this, p](const QString &url, TWebbrowser **target, bool *cancel) {
        const std::string link = sjis(url);
        if (!p || p->ReadyState() != TWebbrowser::ReadyComplete || !isHttp(link)) {
            *cancel = true;
            return;
        }
        if (!CheckPDF(link)) {
            OpenInDesktopBrowser(&f_, link);
            *cancel = true;
            return;
        }
        if (tabs_.CreateTargetTab("", link, 0)) takeNewWindow(url, target);
    });
}

// The new tab takes the page that asked for a window; the page loads it there, so the tab
// is not navigated itself. Its hint is the address it shows.
void LinkRouter::takeNewWindow(const QString &url, TWebbrowser **target)
{
    auto *pc = f_.net.TargetPageControl;
    pc->setTabToolTip(pc->currentIndex(), url);
    *target = tabs_.TargetBrowser();
}

TFormWaitForBrowser *LinkRouter::waitWindow()
{
    if (!wait_) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *fw = qobject_cast<TFormWaitForBrowser *>(w)) wait_ = fw;
        if (!wait_) wait_ = new TFormWaitForBrowser(&f_);
    }
    return wait_;
}

void LinkRouter::prepareBaseNavigation() { FBaseDocSink.Connect(f_.net.BaseBrowser); }

void LinkRouter::BaseBrowserStatusTextChange(const QString &text)
{
    auto &st = f_.state();
    const std::string t = sjis(text);
    if (!t.empty() && StatusTextBlocked(t)) return;
    if (!t.empty()) {
        st.GBaseHoverUrl = NextHoverUrl(t, st.GBaseHoverUrl);
        if (!st.GBaseHoverUrl.empty()) f_.net.StatusBarGoogle->setPanelText(1, text);
    }
    f_.StatusBar1->setPanelText(1, QStringLiteral(" [ ") + qs(RemoveGoogleUrl(st.GBaseHoverUrl)) + QStringLiteral(" ] "));
}

void LinkRouter::TargetBrowserStatusTextChange(const QString &text)
{
    auto &st = f_.state();
    const std::string t = sjis(text);
    if (t.empty() || StatusTextBlocked(t)) return;
    st.GTargetHoverUrl = NextHoverUrl(t, st.GTargetHoverUrl);
    if (st.GTargetHoverUrl.empty()) return;
    f_.net.StatusBarGoogle->setPanelText(2, QStringLiteral(" [ ") + text + QStringLiteral(" ]"));
    if (f_.net.CheckBoxSend2ComboBoxUrl->isChecked()) {
        f_.dl.ComboBoxUrl->setEditText(text);
        SetMainBaseDir(f_, t);
        f_.dl.BtnEditHTMLPageSaveFolder->setText(QString());
        f_.dl.LabelDownloadedFile->setText(QString());
    }
}

bool LinkRouter::CheckBrowserReady()
{
    if (tabs_.TargetBrowser()->ReadyState() != TWebbrowser::ReadyComplete) {
        waitWindow()->show();
        f_.TimerWaitforReady->start();
        return false;
    }
    if (wait_) wait_->hide();
    f_.TimerWaitforReady->stop();
    return true;
}

void LinkRouter::TimerWaitforReadyTimer()
{
    if (tabs_.TargetBrowser()->ReadyState() != TWebbrowser::ReadyComplete) return;
    if (wait_) wait_->hide();
    f_.TimerWaitforReady->stop();
}

bool LinkRouter::BaseBrowserDocumentClick(const DocEvent &e)
{
    auto &st = f_.state();
    auto &n = f_.net;
    st.GBatchMode = false;
    st.GLinkOpened = true;
    // A click while the right pane still loads is dropped; the wait window stays up.
    if (!CheckBrowserReady()) {
        if (!n.btnBatchBrowseStop->isEnabled()) {
            tabs_.TargetBrowser()->Stop();
            n.btnBatchBrowseStop->setEnabled(true);
        }
        return false;
    }
    if (!waitForPanes()) return false;
    RouteInput in;
    in.hoverUrl = st.GBaseHoverUrl;
    in.clickedHref = sjis(e.href);
    in.clickedElement = e.hasElement;
    in.ignoreClick = n.CheckBoxIgnoreClick->isChecked();
    in.sameScreenOnce = f_.menu.MenuConviiTSameScreen->isChecked();
    in.targetTabCount = st.GTargetTabCount;
    in.dontCreateTab = n.CheckBoxDontCreateTab->isChecked();
    in.searchType = n.RadioGroupGooleSearchType->itemIndex();
    const RouteDecision d = RouteLeftClick(in);
    if (in.ignoreClick) return false;
    if (!d.sourceLink.empty()) {
        st.GBaseClickRouted = false;
        f_.dl.ComboBoxURLDirect->setEditText(qs(d.sourceLink));
        const QString u = qs(RemoveGoogleUrl(d.sourceLink));
        for (QWidget *box : std::initializer_list<QWidget *>{n.edGoogleURL, f_.dl.ComboBoxUrl, f_.dl.ComboBoxDirectUrl,
                                                            f_.gui.ComboBoxGUIEditorURL,
                                                            f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView,
                                                            f_.ip.edtHost})
            AddItemOnce(box, u);
        f_.dl.ListBoxFrameSet->clear();
    }
    switch (d.action) {
    case RouteAction::None: break;
    case RouteAction::OpenExternal: OpenInDesktopBrowser(&f_, d.url); return false;
    case RouteAction::SamePane:
        n.BaseBrowser->Navigate(qs(d.url));
        OnceGoSamePage(f_);
        return false;
    case RouteAction::EngineLink:
        n.BaseBrowser->Navigate(qs(d.url));
        n.StatusBarGoogle->setPanelText(1, QStringLiteral(" [ ") + qs(d.url) + QStringLiteral(" ]"));
        n.edGoogleURL->setEditText(qs(d.url));
        st.GBaseClickRouted = true;
        f_.dl.ComboBoxUrl->setEditText(qs(d.url));
        SetMainBaseDir(f_, d.url);
        break;
    case RouteAction::FrontBrowser:
    case RouteAction::NewTab: routeToRight(d); break;
    }
    if (d.action == RouteAction::EngineLink || d.action == RouteAction::FrontBrowser || d.action == RouteAction::NewTab) {
        const std::string url = RemoveGoogleUrl(d.url);
        if (!st.GBaseClickRouted) n.edGoogleURL->setEditText(qs(url));
        st.GBaseClickRouted = true;
        f_.dl.ComboBoxUrl->setEditText(qs(url));
        f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(qs(url));
        SetMainBaseDir(f_, url);
        f_.dl.BtnEditHTMLPageSaveFolder->setText(QString());
        f_.dl.LabelDownloadedFile->setText(QString());
        f_.gui.ComboBoxGUIEditorURL->setEditText(qs(url));
    }
    n.LabelHefSrc->setText(qs(st.GBaseHoverUrl));
    // The list line of the opened result names the tab when the list is in use.
    auto *lb = n.ListBoxPageControlBaseBrowserTab08SearchList;
    if (lb->count() > 0 && n.CheckBoxBatchSearchBrowse->isChecked() && d.action != RouteAction::None) {
        const std::string cur = Trim(sjis(n.edGoogleURL->currentText()));
        int found = -1;
        for (int i = 0; i < lb->count() && found < 0 && !cur.empty(); ++i)
            if (sjis(lb->item(i)->text()).find(cur) != std::string::npos) found = i;
        if (found >= 0) {
            n.SpinEditBatchBrowseStart->setValue(found + 1);
            auto *pc = n.TargetPageControl;
            pc->setTabText(pc->currentIndex(),
                          TabCaptionText(qs(ResultTabCaption(found + 1, sjis(lb->item(found)->text())))));
        } else {
            n.SpinEditBatchBrowseStart->setValue(1);
        }
    }
    OnceGoSamePage(f_);
    return false;
}

bool LinkRouter::waitForPanes()
{
    // The click acts on the page the left pane ends up showing.
    WaitWhileBrowserBusy(f_.net.BaseBrowser);
    // A load the right pane began meanwhile is waited for with the wait window up; closing
    // the window stops that load and drops the click.
    if (CheckBrowserReady()) return true;
    QPointer<TFormWaitForBrowser> w = waitWindow();
    QPointer<TWebbrowser> target = tabs_.TargetBrowser();
    if (WaitWhileBrowserBusy(target, kBrowserWaitMs, [w] { return !w || !w->isVisible(); })) return CheckBrowserReady();
    if (target && (!w || !w->isVisible())) target->Stop();
    return false;
}

void LinkRouter::routeToRight(const RouteDecision &d)
{
    auto &st = f_.state();
    auto &n = f_.net;
    n.StatusBarGoogle->setPanelText(1, QStringLiteral(" [ ") + qs(d.url) + QStringLiteral(" ]"));
    tabs_.SetTargetUrlCaption(d.url);
    if (d.action == RouteAction::NewTab) {
        if (!tabs_.CreateTargetTab(d.url, d.captionUrl, 0)) return;
        ++st.GTargetTabCount;
        return;
    }
    auto *pc = n.TargetPageControl;
    pc->setTabToolTip(pc->currentIndex(), qs(d.url));
    pc->setTabToolTip(0, qs(d.url));
    st.GTargetUrl = d.url;
    st.GTargetDocUrl.clear();
    TWebbrowser *front = tabs_.TargetBrowser();
    front->Navigate(qs(d.url));
    f_.FCurrentTargetBrowser = front;
    pc->setTabText(pc->currentIndex(), QStringLiteral("1. ") + qs(UrlToTabCaption(d.url)));
    ++st.GTargetTabCount;
}

bool LinkRouter::BaseBrowserDocumentDblClick(const DocEvent &e)
{
    const std::string link = ClickedLink(sjis(e.href), e.hasElement, f_.state().GBaseHoverUrl);
    if (isHttp(link)) OpenInDesktopBrowser(&f_, link);
    return false;
}

bool LinkRouter::TargetBrowserDocumentClick(const DocEvent &e)
{
    auto &st = f_.state();
    st.GBatchMode = false;
    WaitWhileBrowserBusy(tabs_.TargetBrowser(), 5000);
    const std::string link = ClickedLink(sjis(e.href), e.hasElement, st.GTargetHoverUrl);
    if (link.empty() || f_.net.CheckBoxIgnoreClick->isChecked()) return false;
    if (CheckFileBrowserLink(link) && isHttp(link)) {
        f_.net.PageControlBaseBrowser->setCurrentWidget(f_.net.PageControlBaseBrowserTab11BrowserSideLink);
        f_.net.WebBrowserSideLink->Navigate(qs(link));
        f_.net.EditSearchUrl->setText(qs(link));
        SetGUIUrl(f_, link);
    } else if (!CheckFileBrowserLink(link)) {
        OpenInDesktopBrowser(&f_, link);
    }
    return false;
}

bool LinkRouter::TargetBrowserDocumentDblClick(const DocEvent &e)
{
    const std::string link = ClickedLink(sjis(e.href), e.hasElement, f_.state().GTargetHoverUrl);
    if (isHttp(link)) OpenInDesktopBrowser(&f_, link);
    return false;
}
