#include "mainwindow/NetSearchButtons.h"
#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/NetSearch.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QInputMethod>
#include <QLineEdit>
#include <algorithm>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
bool hasHttp(const std::string &s)
{
    return s.find("http://") != std::string::npos || s.find("https://") != std::string::npos;
}
QString trimmed(const QString &s) { return qs(Trim(sjis(s))); }
} // namespace

KeywordImeMode KeywordImeOnEnter(int RadioGroupIme)
{
    return RadioGroupIme == 1 ? KeywordImeMode::Japanese : KeywordImeMode::Off;
}

KeywordImeMode KeywordImeOnClick(int RadioGroupIme)
{
    return RadioGroupIme == 1 ? KeywordImeMode::Japanese : KeywordImeMode::Unchanged;
}

NetSearchButtons::NetSearchButtons(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &n = f_.net;
    n.btnCOPY2DownloadUrl->hide();
    n.btnChangemainPage->hide();
    auto click = [this](QAbstractButton *b, void (NetSearchButtons::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(n.EncloseQuatation, &NetSearchButtons::EncloseQuatationClick);
    click(n.btnSearchiAddInsite, &NetSearchButtons::btnSearchiAddInsiteClick);
    click(n.sbShrinkTopPanel, &NetSearchButtons::sbShrinkTopPanelClick);
    click(n.btnR2S, &NetSearchButtons::btnR2SClick);
    click(n.btnR2SPaste, &NetSearchButtons::btnR2SPasteClick);
    click(n.sbAuxGo, &NetSearchButtons::sbAuxGoClick);
    click(n.sbAuxBwd, &NetSearchButtons::sbAuxBwdClick);
    click(n.sbTargetBrowserBack, &NetSearchButtons::sbTargetBrowserBackClick);
    click(n.sbTargetBrowserForward, &NetSearchButtons::sbTargetBrowserForwardClick);
    click(n.sbEditBrowsedSearch, &NetSearchButtons::sbEditBrowsedSearchClick);
    click(n.btnCOPY2DownloadUrl, &NetSearchButtons::btnCOPY2DownloadUrlClick);
    click(n.btnChangemainPage, &NetSearchButtons::btnChangemainPageClick);
    click(n.sbOpenTargetBwowser, &NetSearchButtons::sbOpenTargetBwowserClick);
    click(n.sbGoogleExit, &NetSearchButtons::sbGoogleExitClick);
    click(f_.frame.sbWebGUITopFrameExit, &NetSearchButtons::sbWebGUITopFrameExitClick);
    click(n.sbGoogleSearchOpenIE, &NetSearchButtons::sbGoogleSearchOpenIEClick);
    click(n.btnSearchSideTopOpenIE, &NetSearchButtons::btnSearchSideTopOpenIEClick);
    click(n.btnSearchSideTop, &NetSearchButtons::btnSearchSideTopClick);
    click(n.btnOnceBaseBrowse, &NetSearchButtons::btnOnceBaseBrowseClick);
    click(n.btnGetTextFromWebBrowser, &NetSearchButtons::btnGetTextFromWebBrowserClick);
    connect(n.RadioGroupSearchNoList, &TRadioGroup::itemIndexChanged, this, [this] { RadioGroupSearchNoListClick(); });
    if (QLineEdit *le = n.EditPageControlBaseBrowserTab12BrowserTrad->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { sbAuxGoClick(); });
    connect(n.EditPageControlBaseBrowserTab12BrowserTrad, &QComboBox::textActivated, this, [this] { sbAuxGoClick(); });
    connect(n.WebBrowserTrad, &TWebbrowser::BeforeNavigate2, this, [this] { WebBrowserTradBeforeNavigate2(); });
    connect(n.WebBrowserTrad, &TWebbrowser::DocumentComplete, this, [this] { WebBrowserTradDocumentComplete(); });
    // The one-shot "same pane" switch gives its button back once a click has used it.
    connect(f_.menu.MenuConviiTSameScreen, &QAction::toggled, this, [this](bool on) {
        if (!on) f_.net.btnOnceBaseBrowse->setEnabled(true);
    });
    if (QLineEdit *le = n.edGoogleSearch->lineEdit()) le->installEventFilter(this);
}

bool NetSearchButtons::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == f_.net.edGoogleSearch->lineEdit()) {
        if (event->type() == QEvent::FocusIn) edGoogleSearchEnter();
        else if (event->type() == QEvent::MouseButtonPress) edGoogleSearchClick();
    }
    return QObject::eventFilter(watched, event);
}

void SetEditImeMode(QLineEdit *Edit, QWidget *HintsOwner, KeywordImeMode Mode)
{
    if (Mode == KeywordImeMode::Unchanged || !Edit) return;
    QWidget *owner = HintsOwner ? HintsOwner : Edit;
    const bool on = Mode == KeywordImeMode::Japanese;
    Edit->setAttribute(Qt::WA_InputMethodEnabled, on);
    Qt::InputMethodHints h = owner->inputMethodHints() & ~(Qt::ImhLatinOnly | Qt::ImhPreferLatin);
    if (!on) h |= Qt::ImhLatinOnly | Qt::ImhPreferLatin;
    owner->setInputMethodHints(h);
    if (Edit->hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

// The combo's line edit takes its hints from the combo.
void NetSearchButtons::applyIme(KeywordImeMode mode)
{
    SetEditImeMode(f_.net.edGoogleSearch->lineEdit(), f_.net.edGoogleSearch, mode);
}

void NetSearchButtons::edGoogleSearchEnter() { applyIme(KeywordImeOnEnter(f_.net.RadioGroupIME->itemIndex())); }
void NetSearchButtons::edGoogleSearchClick() { applyIme(KeywordImeOnClick(f_.net.RadioGroupIME->itemIndex())); }

void NetSearchButtons::EncloseQuatationClick()
{
    const std::string kw = Trim(sjis(f_.net.edGoogleSearch->currentText()));
    if (kw.empty()) return;
    f_.net.edGoogleSearch->setEditText(qs(EncloseQuotation(kw)));
}

void NetSearchButtons::btnSearchiAddInsiteClick()
{
    const std::string url = sjis(f_.net.edGoogleURL->currentText());
    const std::string kw = sjis(f_.net.edGoogleSearch->currentText());
    if (url.empty() || kw.empty()) return;
    f_.net.edGoogleSearch->setEditText(qs(AddInSite(kw, url)));
}

// At this height the panel shows its first row only (the panel hides rows that do not fit).
void NetSearchButtons::sbShrinkTopPanelClick()
{
    setSearchTopHeight(f_, 36);
}

void NetSearchButtons::RadioGroupSearchNoListClick()
{
    if (!f_.state().GFormShown) return;
    auto &n = f_.net;
    // The splitter holds the left pane too, so it stays; with one child shown it has no bar.
    n.Splitter92->show();
    if (n.RadioGroupSearchNoList->itemIndex() == 1) {
        n.ListBoxBaseBrowser->show();
        const int total = std::max(n.Splitter92->width(), 261);
        n.Splitter92->setSizes({260, total - 260});
    } else {
        n.ListBoxBaseBrowser->hide();
    }
}

void NetSearchButtons::btnR2SClick()
{
    const QString url = trimmed(f_.net.EditPageControlBaseBrowserTab12BrowserTrad->currentText());
    if (!hasHttp(sjis(url))) return;
    f_.net.PageControlBaseBrowser->setCurrentIndex(0);
    f_.net.edGoogleURL->setEditText(url);
    f_.netSearchPage->sbForceMainGoClick();
}

void NetSearchButtons::btnR2SPasteClick()
{
    f_.net.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(QApplication::clipboard()->text());
    sbAuxGoClick();
}

void NetSearchButtons::sbAuxGoClick()
{
    const QString url = trimmed(f_.net.EditPageControlBaseBrowserTab12BrowserTrad->currentText());
    if (hasHttp(sjis(url))) f_.net.WebBrowserTrad->Navigate(url);
}

void NetSearchButtons::sbAuxBwdClick() { BrowserGoBackSafe(f_.net.WebBrowserTrad); }

void NetSearchButtons::WebBrowserTradBeforeNavigate2() { FTradDocSink.Disconnect(); }

void NetSearchButtons::WebBrowserTradDocumentComplete()
{
    const QString url = f_.net.WebBrowserTrad->LocationURL();
    if (url == QLatin1String("about:blank")) return;
    f_.net.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(url);
    f_.net.EditPageControlBaseBrowserTab12BrowserTrad->addItem(url);
}

void NetSearchButtons::sbTargetBrowserBackClick() { BrowserGoBackSafe(f_.netSearchPage->tabs().TargetBrowser()); }

void NetSearchButtons::sbTargetBrowserForwardClick()
{
    const std::string url = sjis(f_.net.EditCurrentLinkURL->currentText());
    if (!hasHttp(url)) return;
    TargetTabs &tabs = f_.netSearchPage->tabs();
    if (!tabs.CreateTargetTab(url, ForwardTabCaptionSource(url), 0)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitWhileBrowserBusy(tabs.TargetBrowser());
    QApplication::restoreOverrideCursor();
}

void NetSearchButtons::sbEditBrowsedSearchClick()
{
    auto &n = f_.net;
    for (QWidget *w : {static_cast<QWidget *>(n.btnGoogleSearch), static_cast<QWidget *>(n.sbYahooSearch),
                       static_cast<QWidget *>(n.btnBatchBrowseStop)})
        w->setEnabled(true);
    n.edGoogleSearch->setEditText(QString());
    n.edGoogleURL->setEditText(QString());
    n.Memokeyword->clear();
    n.edSearchAndHighlight->clear();
    n.EditSearhGoogleResut->clear();
    n.edGoogleSearch->setFocus();
}

void NetSearchButtons::btnCOPY2DownloadUrlClick()
{
    const QString url = f_.net.edGoogleURL->currentText();
    f_.dl.ComboBoxUrl->setEditText(url);
    f_.gui.ComboBoxGUIEditorURL->setEditText(url);
    SetMainBaseDir(f_, sjis(f_.dl.ComboBoxUrl->currentText()));
    f_.dl.BtnEditHTMLPageSaveFolder->setText(QString());
    f_.dl.LabelDownloadedFile->setText(QString());
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab01Main);
}

void NetSearchButtons::btnChangemainPageClick()
{
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab01Main);
    f_.frame.PageControlMainBody->setCurrentWidget(f_.frame.PageControlMainBodyTab01Main);
    f_.MainScreen();
    f_.dl.WebBrowserMain->resize(600, f_.dl.WebBrowserMain->height());
}

void NetSearchButtons::sbOpenTargetBwowserClick()
{
    f_.menu.MenuViewSearchInfoPanel->setChecked(true);
    f_.net.PanelPageControlMainTopTab00GoogleSearchRight->hide();
}

void NetSearchButtons::sbGoogleExitClick() { f_.menu.MenuFileClose->trigger(); }
void NetSearchButtons::sbWebGUITopFrameExitClick() { f_.menu.MenuFileClose->trigger(); }

namespace {
void openTrimmedHttp(QWidget *parent, const QString &text)
{
    const std::string url = Trim(sjis(text));
    if (hasHttp(url)) OpenInDesktopBrowser(parent, url);
}
} // namespace

void NetSearchButtons::sbGoogleSearchOpenIEClick() { openTrimmedHttp(&f_, f_.net.edGoogleURL->currentText()); }
void NetSearchButtons::btnSearchSideTopOpenIEClick() { openTrimmedHttp(&f_, f_.net.EditSearchUrl->text()); }

void NetSearchButtons::btnSearchSideTopClick()
{
    f_.favBrowsePage->NavNewspaper(Trim(sjis(f_.net.EditSearchUrl->text())));
}

void NetSearchButtons::btnOnceBaseBrowseClick()
{
    f_.menu.MenuConviiTSameScreen->setChecked(true);
    f_.net.btnOnceBaseBrowse->setEnabled(false);
}

void NetSearchButtons::btnGetTextFromWebBrowserClick()
{
    auto &st = f_.state();
    if (!st.GLinkOpened) return;
    if (f_.FCurrentTargetBrowser) f_.FCurrentTargetBrowser->Navigate(QStringLiteral("about:blank"));
    st.GLinkOpened = false;
}
