#include "mainwindow/TargetTabs.h"
#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/LinkRouting.h"
#include "mainwindow/TAMainForm.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TRichEdit.h"
#include "text/HtmlNormalize.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QVBoxLayout>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
bool isHttp(const std::string &s) { return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0; }
} // namespace

int TargetTabNumber(int Number, bool BatchMode, int BatchStart, int PageCount)
{
    if (Number != 0) return Number;
    return BatchMode ? BatchStart + PageCount - 1 : PageCount;
}

std::string DeclaredCharsetLabel(const std::string &Html)
{
    std::string cs = TextBetween(LowerCase(Html), "charset=", "\"");
    if (cs.find("iso-") != std::string::npos) cs = "charset=iso-2022-jp";
    return cs;
}

std::string ForwardTabCaptionSource(const std::string &Url)
{
    std::string name = Url;
    const size_t http = name.find("http://"), https = name.find("https://");
    if (http != std::string::npos && (https == std::string::npos || http < https)) name.erase(http, 7);
    else if (https != std::string::npos) name.erase(https, 8);
    if (auto p = name.find(".htm"); p != std::string::npos) name.resize(p);
    if (name.size() >= 8) name = name.substr(name.size() - 8);
    if (auto p = name.find('.'); p != std::string::npos) name.erase(p, 1);
    return name;
}

TargetTabs::TargetTabs(TAMainForm &form) : f_(form)
{
    front_ = f_.net.TargetBrowser;
    buildPopup();
    f_.net.TargetPageControl->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(f_.net.TargetPageControl, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { popup_->popup(f_.net.TargetPageControl->mapToGlobal(p)); });
    connect(f_.net.TargetPageControl, &QTabWidget::currentChanged, this, [this] { TargetPageControlChange(); });
    connect(f_.net.btnCloseSearchTab, &QAbstractButton::clicked, this, [this] {
        CloseAllTargetBrowser();
        SetTargetPageUrl("");
        ClearUrlListBox();
        f_.net.edGoogleSearch->setFocus();
    });
    wireBrowser(f_.net.TargetBrowser);
}

TWebbrowser *TargetTabs::TargetBrowser() const { return front_ ? front_.data() : f_.net.TargetBrowser; }
TWebbrowser *TargetTabs::fixedBrowser() const { return f_.net.TargetBrowser; }

void TargetTabs::wireBrowser(TWebbrowser *Browser)
{
    connect(Browser, &TWebbrowser::DocumentComplete, this, [this, Browser] { TargetBrowserDocumentComplete(Browser); });
    emit browserCreated(Browser);
}

QWidget *TargetTabs::CreateTargetTab(const std::string &Url, const std::string &CaptionSource, int Number)
{
    auto &st = f_.state();
    try {
        auto *pc = f_.net.TargetPageControl;
        auto *sheet = new QWidget;
        sheet->setObjectName(QStringLiteral("TargetRunTimeTab"));
        auto *lay = new QVBoxLayout(sheet);
        lay->setContentsMargins(0, 0, 0, 0);
        const int index = pc->addTab(sheet, QString());
        const int n = TargetTabNumber(Number, st.GBatchMode, f_.net.SpinEditBatchBrowseStart->value(), pc->count());
        pc->setTabText(index, QString::number(n) + QStringLiteral(". ") + qs(UrlToTabCaption(CaptionSource)));
        pc->setTabToolTip(index, qs(Url));
        auto *wb = new TWebbrowser(sheet);
        wb->setSilent(true);
        lay->addWidget(wb);
        wireBrowser(wb);
        front_ = wb;
        f_.FCurrentTargetBrowser = wb;
        pc->setCurrentIndex(index);
        if (!Trim(Url).empty()) {
            wb->Navigate(qs(Url));
            SetGUIUrl(f_, Url);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            WaitWhileBrowserBusy(wb);
            QApplication::restoreOverrideCursor();
        }
        return sheet;
    } catch (...) {
        st.GTargetTabCount = 0;
        return nullptr;
    }
}

// The download page's browser takes the batch's page as its current page without a fetch of
// its own: the right pane already loads it, and the download page loads it when opened.
void TargetTabs::holdForDownloadPage(const std::string &Url) { f_.dl.WebBrowserMain->setPendingUrl(qs(Url)); }

int TargetTabs::OpenInTargetOrTab(const std::string &Url)
{
    auto &st = f_.state();
    if (st.GTargetTabCount != 0) {
        QWidget *sheet = CreateTargetTab(Url, Url, 0);
        if (!sheet) return -1;
        ++st.GTargetTabCount;
        WaitWhileBrowserBusy(TargetBrowser());
        holdForDownloadPage(Url);
        return 0;
    }
    auto *pc = f_.net.TargetPageControl;
    pc->setTabToolTip(0, qs(Url));
    st.GTargetUrl = Url;
    TargetBrowser()->Navigate(qs(Url));
    holdForDownloadPage(Url);
    pc->setTabText(pc->currentIndex(), QString::number(f_.net.SpinEditBatchBrowseStart->value()) +
                                           QStringLiteral(". ") + qs(UrlToTabCaption(Url)));
    ++st.GTargetTabCount;
    return 0;
}

void TargetTabs::CloseAllTargetBrowser()
{
    auto *pc = f_.net.TargetPageControl;
    WaitWhileBrowserBusy(TargetBrowser(), 5000);
    while (pc->count() > 1) {
        QWidget *sheet = pc->widget(1);
        pc->removeTab(1);
        delete sheet;  // frees its browser and the engine page behind it
    }
    auto &st = f_.state();
    st.GTargetTabCount = 0;
    front_ = f_.net.TargetBrowser;
    f_.FCurrentTargetBrowser = nullptr;
    f_.net.TargetBrowser->Navigate(QStringLiteral("about:blank"));
    st.GTargetHoverUrl.clear();
    pc->setTabText(pc->currentIndex(), QString());
    pc->setTabToolTip(pc->currentIndex(), QString());
}

void TargetTabs::CloseCurrentTab()
{
    TWebbrowser *wb = TargetBrowser();
    wb->Stop();
    if (wb->ReadyState() != TWebbrowser::ReadyComplete) return;
    WaitWhileBrowserBusy(wb, 5000);
    auto *pc = f_.net.TargetPageControl;
    const int i = pc->currentIndex();
    if (i <= 0) {
        pc->setTabText(0, QStringLiteral("  "));
        pc->setTabToolTip(0, QString());
        f_.net.TargetBrowser->Navigate(QStringLiteral("about:blank"));
        f_.state().GTargetTabCount = 0;
    } else {
        QWidget *sheet = pc->widget(i);
        pc->removeTab(i);
        if (f_.FCurrentTargetBrowser && sheet->isAncestorOf(f_.FCurrentTargetBrowser)) f_.FCurrentTargetBrowser = nullptr;
        delete sheet;
    }
    front_ = f_.net.TargetBrowser;
}

std::string TargetTabs::GetTargetTabCaption()
{
    if (!f_.state().GFormShown) return {};
    auto *pc = f_.net.TargetPageControl;
    // The tab in front becomes the front browser, the fixed tab included.
    if (QWidget *page = pc->currentWidget())
        if (auto *wb = page->findChild<TWebbrowser *>()) front_ = wb;
    if (pc->currentIndex() <= 0) return f_.state().GTargetUrl;
    return sjis(pc->tabToolTip(pc->currentIndex()));
}

void TargetTabs::SetTargetUrlCaption(const std::string &Url)
{
    f_.setWindowTitle(QStringLiteral("VORN-KYMBrowser   【 ") + qs(RemoveGoogleUrl(Url)) + QStringLiteral(" 】"));
}

void TargetTabs::SetTargetPageUrl(const std::string &Url)
{
    const QString u = qs(RemoveGoogleUrl(Url));
    f_.net.edGoogleURL->setEditText(u);
    f_.dl.ComboBoxUrl->setEditText(u);
    f_.gui.ComboBoxGUIEditorURL->setEditText(u);
    f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(u);
    f_.dl.EditDownloadLWebFileIndividual->setText(u);
    f_.dl.ComboBoxURLDirect->setEditText(u);
    f_.ip.edtHost->setEditText(u);
    SetTargetUrlCaption(sjis(u));
}

void TargetTabs::ClearUrlListBox()
{
    for (QComboBox *c : {f_.net.edGoogleURL, f_.net.EditCurrentLinkURL, f_.dl.ComboBoxDirectUrl,
                         f_.gui.ComboBoxGUIEditorURL, f_.dl.ComboBoxUrl}) {
        c->clear();
        c->setEditText(QString());
    }
    f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->clear();
    ClearItemList(f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView);
    f_.ip.edtHost->clear();
    f_.ip.edtHost->setEditText(QString());
    f_.batch.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView->Navigate(QStringLiteral("about:blank"));
    f_.batch.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->clear();
    // A fresh document only over an editor with nothing unsaved: a search never wipes the
    // user's page.
    if (TProfDHTMLEdit2 *ed = f_.state().GActiveEditor; ed && !ed->IsDirty()) ed->NewDocument();
}

void TargetTabs::TargetPageControlChange()
{
    if (!f_.state().GFormShown) return;
    auto *pc = f_.net.TargetPageControl;
    if (!pc->currentWidget()) return;
    if (auto *wb = pc->currentIndex() == 0 ? f_.net.TargetBrowser : pc->currentWidget()->findChild<TWebbrowser *>()) {
        front_ = wb;
        f_.FCurrentTargetBrowser = wb;
    }
    SetTargetPageUrl(pc->currentIndex() == 0 ? f_.state().GTargetUrl : sjis(pc->tabToolTip(pc->currentIndex())));
}

void TargetTabs::TargetBrowserDocumentComplete(TWebbrowser *Browser)
{
    auto &st = f_.state();
    if (!Browser || IsRoutedDocumentLink(st.GTargetHoverUrl) && !st.GTargetHoverUrl.empty()) return;
    const QString url = Browser->LocationURL();
    if (url != QLatin1String("about:blank")) {
        auto *hist = f_.net.EditCurrentLinkURL;
        hist->setEditText(url);
        if (hist->findText(url) < 0) {
            hist->addItem(url);
            f_.net.edGoogleURL->setEditText(url);
            st.GTargetDocUrl = sjis(url);
        }
    }
    // Read from the browser that completed: a background tab must not report the front one.
    // As for the result page: read once per completed page, so a slow answer is waited for.
    const QVariant html = Browser->evalSync(QStringLiteral("document.documentElement.outerHTML"), kBrowserWaitMs);
    if (!html.isValid()) return;
    st.GTargetHtml = sjis(html.toString());
    auto showCharset = [&](const std::string &h) {
        const std::string cs = DeclaredCharsetLabel(h);
        f_.StatusBar1->setPanelText(0, cs.empty() ? QString() : QStringLiteral(" 【 ") + qs(cs) + QStringLiteral(" 】"));
    };
    showCharset(st.GTargetHtml);
    st.GTargetHtml = OpenAttributeQuotes(NormalizeHtmlSource(st.GTargetHtml));
    TRichEdit *view = f_.dl.RichEditpageHTML;
    SetRichText(view, qs(st.GTargetHtml));
    ColorHTMLRichEdit(view);
    if (f_.net.CheckBoxTextFromBrowser->isChecked()) QApplication::clipboard()->setText(qs(st.GTargetHtml));
    showCharset(st.GTargetHtml);
}

void TargetTabs::buildPopup()
{
    popup_ = new QMenu(f_.net.TargetPageControl);
    popup_->setObjectName(QStringLiteral("PopupTabMenu"));
    auto add = [&](const char *name, const QString &caption, auto fn) {
        QAction *a = popup_->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, fn);
    };
    add("PopupTabMenuClose", QStringLiteral("閉じる"), [this] { CloseCurrentTab(); });
    add("PopupTabMenuCloseWithoutSave", QStringLiteral("ＩＥ（ Internet Explorer ）で表示する"), [this] {
        const std::string u = GetTargetTabCaption();
        if (isHttp(u)) OpenInDesktopBrowser(&f_, u);
    });
    add("PopupTabMenuCloseWithoutSaveAll", QStringLiteral("一括で閉じる"), [this] {
        CloseAllTargetBrowser();
        SetTargetPageUrl("");
        ClearUrlListBox();
    });
    add("PopupTabMenuCloseMove2Browse", QStringLiteral("閲覧ﾍﾟｰｼﾞに移動する"), [this] {
        const std::string u = GetTargetTabCaption();
        if (u.find("http://") == std::string::npos && u.find("https://") == std::string::npos) return;
        f_.fav.edFavUrl->setEditText(qs(u));
        f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab13FavariteBrowse);
        f_.fav.PageControlBrowseLeft->setCurrentWidget(f_.fav.PageControlFavBrowseLeftTab01Browse);
        f_.favBrowsePage->sbFavNavClick();
    });
    add("PopupTabMenuCloseUrl2Clipboard", QStringLiteral("「 Ｕｒｌ 」をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰする（ 入れる ）"), [this] {
        const std::string u = GetTargetTabCaption();
        if (isHttp(u)) QApplication::clipboard()->setText(qs(u));
    });
}
