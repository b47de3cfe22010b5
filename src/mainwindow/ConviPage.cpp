#include "mainwindow/ConviPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/MainMenuHandlers.h"
#include "mainwindow/NetSearchButtons.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/SiteUrls.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
bool isHttp(const std::string &s) { return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0; }
// The sub-tab whose stop comes after the pause.
constexpr int kStopLateTab = 5;
} // namespace

void OnceGoSamePage(TAMainForm &form)
{
    form.menu.MenuConviiTSameScreen->setChecked(false);
    form.net.btnOnceBaseBrowse->setEnabled(true);
}

ConviPage::ConviPage(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &c = f_.convi;
    c.PanelPageControlMainTopTab20Convi->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    c.edOneScreenUrl->setEditable(true);
    c.edOneScreenUrl->setMinimumWidth(400);
    for (TRadioGroup *g : {c.RadioGroupWikipedia, c.RadioGroupYouTube}) {
        const int keep = g->itemIndex();
        g->setItems({QStringLiteral("英語"), QStringLiteral("日本語")});
        g->setItemIndex(keep < 0 ? 1 : keep);
    }
    auto click = [this](QAbstractButton *b, void (ConviPage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(c.btnSiteReset, &ConviPage::SiteRefresh);
    click(c.sbSiteBack, &ConviPage::SiteBack);
    click(c.btnOneScreenStop, &ConviPage::btnOneScreenStopClick);
    click(c.sbSiteOpenIE, &ConviPage::sbSiteOpenIEClick);
    click(c.sbSiteExit, &ConviPage::sbSiteExitClick);
    click(c.btnSiteUrl2, &ConviPage::btnSiteUrl2Click);
    click(c.sbOneScreenGoUrl, &ConviPage::sbOneScreenGoUrlClick);
    click(c.btnOneScreenUrlPaste, &ConviPage::btnOneScreenUrlPasteClick);
    click(c.sbOneScreenOpenIE, &ConviPage::sbOneScreenOpenIEClick);
    click(c.sbBackOneScreendUrl, &ConviPage::sbBackOneScreendUrlClick);
    click(c.btnGowikipedia, &ConviPage::btnGowikipediaClick);
    click(c.btnEditWikipediaPaste, &ConviPage::btnEditWikipediaPasteClick);
    click(c.btnEditWikipediaClear, &ConviPage::btnEditWikipediaClearClick);
    click(c.btnGoYouTube, &ConviPage::btnGoYouTubeClick);
    click(c.btnYouTubePaste, &ConviPage::btnYouTubePasteClick);
    click(c.btnYouTubeClear, &ConviPage::btnYouTubeClearClick);
    connect(c.EditWikipedia, &QLineEdit::returnPressed, this, [this] { btnGowikipediaClick(); });
    connect(c.EditYouTube, &QLineEdit::returnPressed, this, [this] { btnGoYouTubeClick(); });
    if (QLineEdit *le = c.edOneScreenUrl->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { sbOneScreenGoUrlClick(); });
    c.EditWikipedia->installEventFilter(this);
    c.EditYouTube->installEventFilter(this);
    connect(c.WebBrowserYahooMain, &TWebbrowser::DocumentComplete, this, [this] { WebBrowserYahooMainDocumentComplete(); });
    connect(c.PageControlMainTopTab20ConviTop, &QTabWidget::currentChanged, this,
            [this] { PageControlMainTopTab20ConviTopChange(); });
}

bool ConviPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        auto &c = f_.convi;
        if (watched == c.EditWikipedia)
            SetEditImeMode(c.EditWikipedia, nullptr, KeywordImeOnEnter(c.RadioGroupWikipedia->itemIndex()));
        else if (watched == c.EditYouTube)
            SetEditImeMode(c.EditYouTube, nullptr, KeywordImeOnEnter(c.RadioGroupYouTube->itemIndex()));
    }
    return QObject::eventFilter(watched, event);
}

TWebbrowser *ConviPage::siteBrowser(int Index) const
{
    auto &c = f_.convi;
    TWebbrowser *const rows[] = {c.WebBrowserYahooMain, c.WebBrowserYahooDic,  c.WebBrowserYahooMap,
                                 c.WebBrowserGoogleMap, c.WebBrowserWikipedia, c.WebBrowserNikoniko,
                                 c.WebBrowserYoutube,   c.WebBrowserUstream,   c.WebBrowserUstweet,
                                 c.WebBrowserNHKDoga};
    return Index >= 0 && Index < 10 ? rows[Index] : nullptr;
}

int ConviPage::currentIndex() const { return f_.convi.PageControlMainTopTab20ConviTop->currentIndex(); }

void ConviPage::SiteBrowserInit()
{
    const std::string base = SiteBase();
    for (int i = 1; i < 10; ++i) {
        const std::string url = ConviStartUrl(i, base);
        if (!url.empty()) siteBrowser(i)->Navigate(qs(url));
    }
}

void ConviPage::PageControlMainTopTab20ConviTopChange()
{
    auto &st = f_.state();
    st.GDefaultHomeUrl = ConviHomeUrl(currentIndex(), SiteBase());
    f_.netSearchPage->tabs().SetTargetUrlCaption(st.GDefaultHomeUrl);
}

void ConviPage::SiteRefresh()
{
    const int i = currentIndex();
    const std::string url = ConviStartUrl(i, SiteBase());
    if (i == 0 || url.empty()) return;
    siteBrowser(i)->Navigate(qs(url));
}

void ConviPage::SiteBack() { BrowserGoBackSafe(siteBrowser(currentIndex())); }

void ConviPage::btnOneScreenStopClick()
{
    const int i = currentIndex();
    QPointer<TWebbrowser> wb = siteBrowser(i);
    if (!wb) return;
    if (i != kStopLateTab) wb->Stop();
    // The pause runs on a timer: the window keeps answering meanwhile.
    QTimer::singleShot(kStopBlankMs, this, [wb, i] {
        if (!wb) return;
        if (i == kStopLateTab) wb->Stop();
        wb->Navigate(QStringLiteral("about:blank"));
    });
}

void ConviPage::sbSiteOpenIEClick()
{
    const std::string u = f_.state().GDefaultHomeUrl;
    if (isHttp(u)) OpenInDesktopBrowser(&f_, u);
}

void ConviPage::sbSiteExitClick() { f_.mainMenuHandlers->MenuFileCloseClick(); }

void ConviPage::btnSiteUrl2Click()
{
    f_.net.edGoogleURL->setEditText(f_.convi.edOneScreenUrl->currentText());
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab00GoogleSearch);
    f_.net.PageControlBaseBrowser->setCurrentWidget(f_.net.PageControlBaseBrowserTab01Browser);
    f_.netSearchPage->sbForceMainGoClick();
}

void ConviPage::sbOneScreenGoUrlClick()
{
    const std::string url = Trim(sjis(f_.convi.edOneScreenUrl->currentText()));
    if (isHttp(url)) f_.convi.WebBrowserYahooMain->Navigate(qs(url));
}

void ConviPage::btnOneScreenUrlPasteClick() { f_.convi.edOneScreenUrl->setEditText(QApplication::clipboard()->text()); }

void ConviPage::sbOneScreenOpenIEClick()
{
    const std::string url = Trim(sjis(f_.convi.edOneScreenUrl->currentText()));
    if (isHttp(url)) OpenInDesktopBrowser(&f_, url);
}

void ConviPage::sbBackOneScreendUrlClick() { BrowserGoBackSafe(f_.convi.WebBrowserYahooMain); }

void ConviPage::WebBrowserYahooMainDocumentComplete()
{
    const QString url = f_.convi.WebBrowserYahooMain->LocationURL();
    if (url != QLatin1String("about:blank")) f_.convi.edOneScreenUrl->setEditText(url);
}

void ConviPage::btnGowikipediaClick()
{
    auto &c = f_.convi;
    const std::string text = sjis(c.EditWikipedia->text());
    if (text.empty()) return;
    const EncyclopediaQuery q = EncyclopediaQueryUrl(text, c.RadioGroupWikipedia->itemIndex(), SiteBase());
    if (q.url.empty()) return;
    c.EditWikipedia->setText(qs(q.text));
    c.EditWikipediaUrl->setText(qs(q.url));
    c.WebBrowserWikipedia->Navigate(qs(q.url));
    f_.state().GSiteQuery = q.url;
}

void ConviPage::btnEditWikipediaPasteClick()
{
    f_.convi.EditWikipedia->setText(QApplication::clipboard()->text());
    f_.convi.EditWikipedia->setFocus();
    btnGowikipediaClick();
}

void ConviPage::btnEditWikipediaClearClick()
{
    f_.convi.EditWikipedia->clear();
    f_.convi.EditWikipedia->setFocus();
}

void ConviPage::btnGoYouTubeClick()
{
    auto &c = f_.convi;
    const std::string url = VideoQueryUrl(sjis(c.EditYouTube->text()), SiteBase());
    if (url.empty()) return;
    c.EditYouTubeUrl->setText(qs(url));
    c.WebBrowserYoutube->Navigate(qs(url));
    f_.state().GSiteQuery = url;
}

// Pastes, as its encyclopedia twin does: copying the box would overwrite what the user
// meant to paste.
void ConviPage::btnYouTubePasteClick()
{
    f_.convi.EditYouTube->setText(QApplication::clipboard()->text());
    f_.convi.EditYouTube->setFocus();
    btnGoYouTubeClick();
}

void ConviPage::btnYouTubeClearClick()
{
    f_.convi.EditYouTube->clear();
    f_.convi.EditYouTube->setFocus();
}
