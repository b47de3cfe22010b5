#include "mainwindow/NetSearchPage.h"
#include "mainwindow/ConviPage.h"
#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
} // namespace

NetSearchPage::NetSearchPage(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &n = f_.net;
    for (QWidget *w : {static_cast<QWidget *>(n.edGoogleSearchAndHighlight), static_cast<QWidget *>(n.edURL),
                       static_cast<QWidget *>(n.Memokeyword), static_cast<QWidget *>(n.CheckBoxSend2ComboBoxUrl)})
        w->hide();
    tabs_ = std::make_unique<TargetTabs>(f_);
    router_ = std::make_unique<LinkRouter>(f_, *tabs_);

    connect(n.btnGoogleSearch, &QAbstractButton::clicked, this, [this] { btnGoogleSearchClick(); });
    connect(n.sbYahooSearch, &QAbstractButton::clicked, this, [this] { sbYahooSearchClick(); });
    if (QLineEdit *le = n.edGoogleSearch->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { searchByEnter(); });
    connect(n.btnGooglepaste, &QAbstractButton::clicked, this, [this] {
        f_.net.edGoogleSearch->setEditText(QApplication::clipboard()->text());
        searchByEnter();
        f_.net.edGoogleSearch->setFocus();
    });
    connect(n.btnBaseSearchNext100, &QAbstractButton::clicked, this, [this] { btnBaseSearchNext100Click(); });
    connect(n.btnBatchKeyWordSearchPrev100, &QAbstractButton::clicked, this,
            [this] { btnBatchKeyWordSearchPrev100Click(); });
    connect(n.BaseBrowser, &TWebbrowser::DownloadComplete, this, [this] { BaseBrowserDownloadComplete(); });
    connect(n.ListBoxPageControlBaseBrowserTab08SearchList, &QListWidget::itemClicked, this,
            [this] { ListBoxSearchListClick(); });
    connect(n.ListBoxBaseBrowser, &QListWidget::itemClicked, this, [this] { ListBoxBaseBrowserClick(); });
    connect(n.btnBatchKeyWordSearch, &QAbstractButton::clicked, this, [this] { btnBatchKeyWordSearchClick(); });
    connect(n.btnBatchBrowseStop, &QAbstractButton::clicked, this, [this] { btnBatchBrowseStopClick(); });
    connect(n.sbForceMainGo, &QAbstractButton::clicked, this, [this] { sbForceMainGoClick(); });
    if (QLineEdit *le = n.edGoogleURL->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { sbForceMainGoClick(); });
    // The user picks or edits a URL: the right pane shows it. Texts set by the program do not.
    connect(n.edGoogleURL, &QComboBox::textActivated, this, [this](const QString &t) {
        const std::string u = Trim(sjis(t));
        if (IsHttpUrl(u)) tabs_->TargetBrowser()->Navigate(qs(u));
    });
    // Moving the left pane uses up the one-shot "same pane" switch, as a routed click does.
    connect(n.sbGoogleBackward, &QAbstractButton::clicked, this, [this] {
        BrowserGoBackSafe(f_.net.BaseBrowser);
        OnceGoSamePage(f_);
    });
    connect(n.sbGoogleForward, &QAbstractButton::clicked, this, [this] {
        BrowserGoForwardSafe(f_.net.BaseBrowser);
        OnceGoSamePage(f_);
    });
    connect(n.btnUrlCOPY, &QAbstractButton::clicked, this,
            [this] { QApplication::clipboard()->setText(f_.net.edGoogleURL->currentText()); });
    connect(n.btnUrlPaste, &QAbstractButton::clicked, this, [this] {
        f_.net.edGoogleURL->setEditText(QApplication::clipboard()->text());
        sbForceMainGoClick();
    });
    connect(n.btnR2L, &QAbstractButton::clicked, this, [this] {
        if (f_.net.edGoogleURL->currentText().isEmpty()) return;
        f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab00GoogleSearch);
        f_.net.PageControlBaseBrowser->setCurrentIndex(0);
        f_.state().GBaseSinkConnected = false;
        sbForceMainGoClick();
    });
}

NetSearchPage::~NetSearchPage() = default;

void NetSearchPage::DisableButton()
{
    auto &n = f_.net;
    for (QWidget *w : {static_cast<QWidget *>(n.btnBatchKeyWordSearch), static_cast<QWidget *>(n.btnGoogleSearch),
                       static_cast<QWidget *>(n.sbYahooSearch), static_cast<QWidget *>(n.btnCloseSearchTab)})
        w->setEnabled(false);
    n.btnBatchBrowseStop->setEnabled(true);
}

void NetSearchPage::EnableButton()
{
    auto &n = f_.net;
    for (QWidget *w : {static_cast<QWidget *>(n.btnBatchKeyWordSearch), static_cast<QWidget *>(n.btnGoogleSearch),
                       static_cast<QWidget *>(n.sbYahooSearch), static_cast<QWidget *>(n.btnCloseSearchTab),
                       static_cast<QWidget *>(n.btnBatchBrowseStop)})
        w->setEnabled(true);
}

void NetSearchPage::clearResultLists()
{
    f_.net.ListBoxPageControlBaseBrowserTab08SearchList->clear();
    f_.net.ListBoxBaseBrowser->clear();
}

void NetSearchPage::setHighlightWords()
{
    const QString kw = f_.net.edGoogleSearch->currentText();
    f_.net.EditSearhGoogleResut->setText(kw);
    const QString words = qs(HighlightWords(sjis(kw)));
    f_.net.edSearchAndHighlight->setText(words);
    f_.net.edGoogleSearchAndHighlight->setText(words);
}

void NetSearchPage::startSearch(SearchEngine engine)
{
    auto &n = f_.net;
    auto &st = f_.state();
    const std::string raw = Trim(sjis(n.edGoogleSearch->currentText()));
    n.edGoogleSearch->setEditText(qs(raw));
    if (TrimWideSpaces(raw).empty()) {
        n.edGoogleSearch->setEditText(QString());
        return;
    }
    const bool first = engine == SearchEngine::First;
    if (first) f_.BrowserStop();
    if (!n.CheckBoxCloseNewSearch->isChecked()) {
        tabs_->CloseAllTargetBrowser();
        st.GTargetTabCount = 0;
    }
    if (first) DisableButton();
    n.edGoogleURL->clear();
    st.GBatchMode = !first;
    st.GLinkOpened = false;
    n.SpinEditBatchBrowseStart->setValue(1);
    tabs_->ClearUrlListBox();
    f_.favBrowsePage->ClearEditCurrentLinkURL();
    st.GBaseSinkConnected = false;
    clearResultLists();
    st.list(SharedList::GResultLinkList).clear();
    const std::string kw = CollapseSpaces(raw);
    n.edGoogleSearch->addItem(qs(kw));
    n.edGoogleSearch->setEditText(qs(kw));
    std::string url = first ? FirstEngineQueryUrl(SearchEngineBase(engine), kw, n.RadioGroupGooleSearchType->itemIndex(),
                                                  n.RadioGroupIME->itemIndex())
                            : SecondEngineQueryUrl(SearchEngineBase(engine), kw);
    url = Trim(url);
    if (!IsHttpUrl(url)) url = "http://" + url;
    n.edGoogleURL->setEditText(qs(url));
    if (!first) n.edURL->setText(qs(url));
    st.GQueryUrl = url;
    n.Memokeyword->setPlainText(qs(url));
    for (auto *r : {n.RichEditBaseBrowserHTMLSrc, n.RichEditBaseBrowserScript, n.RichEditBaseBrowserStyleSheet,
                    n.RichEditBaseBrowserRaw, n.RichEditBaseBrowserTab06HTMLAll})
        r->clear();
    f_.ip.EditDomain->clear();
    st.GSecondEngineSearch = !first;
    st.GFirstEngineSearch = first;
    st.GSearchOffset = 0;
    router_->prepareBaseNavigation();
    n.BaseBrowser->Navigate(qs(url));
    setHighlightWords();
    OnceGoSamePage(f_);  // one-shot: a new search resets it
    if (first) EnableButton();
    n.PageControlBaseBrowser->setCurrentWidget(n.PageControlBaseBrowserTab01Browser);
}

void NetSearchPage::btnGoogleSearchClick() { startSearch(SearchEngine::First); }
void NetSearchPage::sbYahooSearchClick() { startSearch(SearchEngine::Second); }

void NetSearchPage::searchByEnter()
{
    const std::string kw = Trim(TrimWideSpaces(Trim(sjis(f_.net.edGoogleSearch->currentText()))));
    f_.net.edGoogleSearch->setEditText(qs(kw));
    if (kw.empty()) return;
    startSearch(f_.state().GIE4To7 ? SearchEngine::First : SearchEngine::Second);
}

void NetSearchPage::page(bool next)
{
    auto &n = f_.net;
    auto &st = f_.state();
    OnceGoSamePage(f_);
    const std::string kw = Trim(TrimWideSpaces(Trim(sjis(n.edGoogleSearch->currentText()))));
    n.edGoogleSearch->setEditText(qs(kw));
    if (kw.empty()) return;
    // The first page has no previous page: nothing is asked for and the offset stays.
    if (!next && st.GSearchOffset <= 0) {
        st.GSearchOffset = 0;
        return;
    }
    if (!n.CheckBoxCloseNewSearch->isChecked()) tabs_->CloseAllTargetBrowser();
    DisableButton();
    st.GTargetTabCount = 0;
    st.GBatchMode = false;
    n.SpinEditBatchBrowseStart->setValue(1);
    f_.dl.ComboBoxUrl->clear();
    f_.dl.ComboBoxDirectUrl->clear();
    ClearItemList(f_.ip.edtHost);
    clearResultLists();
    st.GSearchOffset = next ? NextSearchOffset(st.GSearchOffset) : PrevSearchOffset(st.GSearchOffset);
    const std::string url = st.GFirstEngineSearch
                                ? FirstEnginePageUrl(SearchEngineBase(SearchEngine::First), kw,
                                                     n.RadioGroupIME->itemIndex(), st.GSearchOffset)
                                : SecondEnginePageUrl(SearchEngineBase(SearchEngine::Second), kw, st.GSearchOffset);
    n.edGoogleURL->setEditText(qs(url));
    n.Memokeyword->setPlainText(qs(url));
    n.BaseBrowser->Navigate(qs(url));
    EnableButton();
    n.PageControlBaseBrowser->setCurrentWidget(n.PageControlBaseBrowserTab01Browser);
}

void NetSearchPage::btnBaseSearchNext100Click() { page(true); }
void NetSearchPage::btnBatchKeyWordSearchPrev100Click() { page(false); }

void NetSearchPage::BaseBrowserDownloadComplete()
{
    auto &st = f_.state();
    if (!st.GFormShown || !f_.net.CheckBoxBatchSearchBrowse->isChecked()) return;
    // A loaded page answers at once on a machine at rest; a loaded machine can take seconds, and the
    // result list is read only here, so the wait is the long browser bound, ended by the answer.
    const QVariant html =
        f_.net.BaseBrowser->evalSync(QStringLiteral("document.documentElement.outerHTML"), kBrowserWaitMs);
    if (!html.isValid()) return;
    st.GResultHtml = NormalizeHtmlForSjis(sjis(html.toString()));
    std::vector<std::string> items;
    if (!ExtractResultItems(st.GResultHtml, items)) return;
    auto &list = st.list(SharedList::GResultLinkList);
    list.clear();
    for (const auto &i : items) list.add(i);
    clearResultLists();
    for (const ResultLine &l : FormatResultList(items)) {
        f_.net.ListBoxPageControlBaseBrowserTab08SearchList->addLine(qs(l.urlLine));
        f_.net.ListBoxBaseBrowser->addLine(qs(l.titleLine));
    }
}

void NetSearchPage::openListLine(int index, const std::string &line)
{
    const std::string u = ListLineUrl(line);
    if (index < 0 || !IsOpenableResultUrl(u)) return;
    auto &n = f_.net;
    if (!tabs_->CreateTargetTab(Trim(u), u, index + 1)) return;
    auto *pc = n.TargetPageControl;
    if (n.ListBoxPageControlBaseBrowserTab08SearchList->count() > 0 && n.CheckBoxBatchSearchBrowse->isChecked())
        pc->setTabText(pc->currentIndex(), TabCaptionText(qs(ResultTabCaption(index + 1, line))));
    pc->setTabToolTip(pc->currentIndex(), qs(u));
    n.SpinEditBatchBrowseStart->setValue(index + 1);
    n.edGoogleURL->setEditText(qs(u));
}

void NetSearchPage::ListBoxSearchListClick()
{
    auto *lb = f_.net.ListBoxPageControlBaseBrowserTab08SearchList;
    openListLine(lb->currentRow(), ListBoxSelected(lb));
}

void NetSearchPage::ListBoxBaseBrowserClick()
{
    auto *titles = f_.net.ListBoxBaseBrowser;
    auto *urls = f_.net.ListBoxPageControlBaseBrowserTab08SearchList;
    const int i = titles->currentRow();
    if (i < 0 || i >= urls->count()) return;
    openListLine(i, sjis(urls->item(i)->text()));
}

void NetSearchPage::btnBatchKeyWordSearchClick()
{
    auto &n = f_.net;
    auto &st = f_.state();
    auto *lb = n.ListBoxPageControlBaseBrowserTab08SearchList;
    if (!n.CheckBoxBatchSearchBrowse->isChecked() || lb->count() == 0) {
        ShowMessageBox(&f_, QStringLiteral("「 一括表示（ ﾌﾞﾗｳｽﾞ ）・・ 」に”ﾁｪｯｸがはいっていない”か、\r\n\r\nまだ、検索されていません"));
        n.btnBatchKeyWordSearch->setEnabled(true);
        return;
    }
    if (st.GResultHtml.empty() || st.GResultHtml.find("<body>\r\n</body>") != std::string::npos) {
        n.btnBatchKeyWordSearch->setEnabled(true);
        return;
    }
    DisableButton();
    if (!n.CheckBoxCloseNewSearch->isChecked()) tabs_->CloseAllTargetBrowser();
    st.GBatchMode = true;
    std::vector<std::string> lines;
    for (int i = 0; i < lb->count(); ++i) lines.push_back(sjis(lb->item(i)->text()));
    const int r = BatchBrowseWalk(
        lines, n.SpinEditBatchBrowseStart->value(), n.SpinEditBatchBrowseCount->value(),
        [this](const std::string &u) { return tabs_->OpenInTargetOrTab(u) == 0; },
        [this] { return !f_.net.btnBatchBrowseStop->isEnabled() || TWebbrowser::terminating(); });
    st.GBatchBrowseLastIndex = r;
    n.SpinEditBatchBrowseStart->setValue(r + 1);
    EnableButton();
}

void NetSearchPage::btnBatchBrowseStopClick()
{
    auto &st = f_.state();
    if (st.GLinkOpened) {
        if (f_.FCurrentTargetBrowser) f_.FCurrentTargetBrowser->Navigate(QStringLiteral("about:blank"));
        st.GLinkOpened = false;
        return;
    }
    f_.BrowserStop();
    f_.net.btnBatchBrowseStop->setEnabled(false);
    f_.net.edGoogleSearch->setFocus();
}

void NetSearchPage::sbForceMainGoClick()
{
    const std::string url = Trim(sjis(f_.net.edGoogleURL->currentText()));
    if (!IsHttpUrl(url)) return;
    f_.net.BaseBrowser->Navigate(qs(url));
    clearResultLists();
}
