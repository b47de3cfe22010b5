#include "mainwindow/ResultSourcePage.h"
#include "download/pages/BackgroundJob.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/LinkRouting.h"
#include "mainwindow/NetSearch.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/PaneDocument.h"
#include "mainwindow/ResultSource.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/ComboDropDown.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

namespace {
bool holdsWebScheme(const QString &s)
{
    return s.contains(QLatin1String("http://")) || s.contains(QLatin1String("https://"));
}

void showText(TRichEdit *view, const std::string &sjis, bool colour)
{
    view->setText(sjis);
    if (colour) ColorHTMLRichEdit(view);
}
} // namespace

ResultSourcePage::ResultSourcePage(TAMainForm &form)
    : QObject(&form), f_(form), job_(std::make_unique<BackgroundJob>(this)),
      cancel_(std::make_shared<std::atomic<bool>>(false))
{
    auto &n = f_.net;
    connect(n.btnBatchBrowseStop, &QAbstractButton::clicked, this, [this] { stopFetch(); });
    auto click = [this](QAbstractButton *b, void (ResultSourcePage::*fn)()) {
        connect(b, &QAbstractButton::clicked, this, [this, fn] { (this->*fn)(); });
    };
    click(n.btnGoogleSearchResult, &ResultSourcePage::btnGoogleSearchResultClick);
    click(n.btnGoogleGetScript, &ResultSourcePage::btnGoogleGetScriptClick);
    click(n.btnGoogleGetStyleSheet, &ResultSourcePage::btnGoogleGetStyleSheetClick);
    click(n.btnGoogleGetRaw, &ResultSourcePage::btnGoogleGetRawClick);
    click(n.btnGoogleGetJSFile, &ResultSourcePage::btnGoogleGetJSFileClick);
    click(n.btnGoogleSaveFileList, &ResultSourcePage::btnGoogleSaveFileListClick);
    click(n.btnGoogleHightlight, &ResultSourcePage::btnGoogleHightlightClick);
    click(n.btnRemoveCache, &ResultSourcePage::btnRemoveCacheClick);
    click(n.btnTargetBrowserBatchSearch, &ResultSourcePage::btnTargetBrowserBatchSearchClick);
    click(n.btnTragetBrowserSearchPaste, &ResultSourcePage::btnTragetBrowserSearchPasteClick);
    click(n.btnGooglSearchResult, &ResultSourcePage::btnGooglSearchResultClick);
    click(n.btnGooglSearchResultPaste, &ResultSourcePage::btnGooglSearchResultPasteClick);
    click(n.btnSearchFirst, &ResultSourcePage::btnSearchFirstClick);
    click(n.btnTragetBrowserSerachNext, &ResultSourcePage::btnTragetBrowserSerachNextClick);
    click(n.btnGetTargetBrowserHTMLSrc, &ResultSourcePage::btnGetTargetBrowserHTMLSrcClick);
    click(n.btnGUISend2ComboBoxUrl, &ResultSourcePage::btnGUISend2ComboBoxUrlClick);
    click(n.btnGUISend2ComboBoxUrlClear, &ResultSourcePage::btnGUISend2ComboBoxUrlClearClick);
    click(n.sbBgoogleSearchIEOpen, &ResultSourcePage::sbBgoogleSearchIEOpenClick);
    connect(n.edSearchAndHighlight, &QLineEdit::returnPressed, this, &ResultSourcePage::btnTargetBrowserBatchSearchClick);
    connect(n.EditSearhGoogleResut, &QLineEdit::returnPressed, this, &ResultSourcePage::btnGooglSearchResultClick);

    // The program sets the history box's text at every completed document; only the user's
    // own changes (a pick from the list, Enter, a paste) are spread to the other pages.
    auto *hist = n.EditCurrentLinkURL;
    connect(hist, qOverload<int>(&QComboBox::activated), this, &ResultSourcePage::EditCurrentLinkURLChange);
    if (QLineEdit *le = hist->lineEdit()) {
        connect(le, &QLineEdit::returnPressed, this, &ResultSourcePage::EditCurrentLinkURLChange);
        connect(le, &QLineEdit::textEdited, this, [this](const QString &t) {
            const bool pasted = t.size() - lastLinkText_.size() > 1;
            lastLinkText_ = t;
            if (pasted) EditCurrentLinkURLChange();
        });
        connect(le, &QLineEdit::textChanged, this, [this](const QString &t) { lastLinkText_ = t; });
    }
    for (QComboBox *box : {hist, f_.fav.edFavUrl}) KeepDroppedWidthFitted(box);
}

TWebbrowser *ResultSourcePage::targetBrowser() const
{
    return f_.netSearchPage ? f_.netSearchPage->tabs().TargetBrowser() : f_.net.TargetBrowser;
}

bool ResultSourcePage::urlBoxShowsPage() const
{
    return CheckPDF(toSjis(f_.net.edGoogleURL->currentText()));
}

void ResultSourcePage::btnGoogleSearchResultClick()
{
    const AppState &st = f_.state();
    if (st.GResultHtml.empty()) return;
    f_.net.RichEditBaseBrowserHTMLSrc->clear();
    showText(f_.net.RichEditBaseBrowserHTMLSrc, ColouredResultHtml(st.GResultHtml), true);
}

void ResultSourcePage::btnGoogleGetScriptClick()
{
    const AppState &st = f_.state();
    if (st.GResultHtml.empty()) return;
    f_.net.RichEditBaseBrowserScript->clear();
    showText(f_.net.RichEditBaseBrowserScript, ScriptBlocksText(SourceForBlocks(st.GResultHtml)), false);
}

void ResultSourcePage::btnGoogleGetStyleSheetClick()
{
    const AppState &st = f_.state();
    if (st.GResultHtml.empty()) return;
    showText(f_.net.RichEditBaseBrowserStyleSheet, StyleBlocksText(SourceForBlocks(st.GResultHtml)), false);
}

ResultSourcePage::~ResultSourcePage()
{
    // The fetch ends within its cancel bound; the job waits for it.
    cancel_->store(true);
}

bool ResultSourcePage::fetchRunning() const { return job_->running(); }

void ResultSourcePage::stopFetch() { cancel_->store(true); }

void ResultSourcePage::startFetch(const std::string &Url, std::function<void(const HttpResponse &)> Done)
{
    if (job_->running()) return;
    cancel_->store(false);
    f_.net.StatusBarGoogle->setPanelText(1, QStringLiteral(" 取得中 ・・・ 「中止」で止めます"));
    job_->start<HttpResponse>([Url, cancel = cancel_] { return HttpFetchUntil(Url, cancel.get()); },
                              [this, Done](const HttpResponse &r) {
                                  f_.net.StatusBarGoogle->setPanelText(
                                      1, r.Ok ? QString() : cancel_->load() ? QStringLiteral(" 中止しました ")
                                                                           : QStringLiteral(" 取得できませんでした "));
                                  if (r.Ok) Done(r);
                              });
}

void ResultSourcePage::btnGoogleGetRawClick()
{
    const AppState &st = f_.state();
    if (st.GResultHtml.empty()) return;
    TRichEdit *view = f_.net.RichEditBaseBrowserRaw;
    view->clear();
    if (st.GQueryUrl.empty()) return;
    startFetch(st.GQueryUrl, [this, view](const HttpResponse &r) {
        if (!r.Body.empty()) showText(view, RawPageText(r.Body), false);
    });
}

void ResultSourcePage::btnGoogleGetJSFileClick()
{
    AppState &st = f_.state();
    if (st.GSecondEngineSearch) return;
    TWebbrowser *base = f_.net.BaseBrowser;
    if (!base->hasDocument()) return;
    const QVariant v = base->evalSync(QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"),
                                      5000, QWebEngineScript::ApplicationWorld);
    const std::string h = BreakBeforeTags(NormalizeHtmlSource(RewriteCharsetDeclsToSjis(toSjis(v.toString()))));
    const std::string path = EngineScriptPath(h);
    if (path.empty()) return;
    const std::string url = SiteRootOf(SearchEngineBase(SearchEngine::First)) + path;
    st.GSearchJsUrl = url;
    f_.net.StatusBarGoogle->setPanelText(2, QStringLiteral(" 【 ") + fromSjis(url) + QStringLiteral(" 】"));
    startFetch(url, [this, url](const HttpResponse &r) {
        showText(f_.net.RichEditBaseBrowserTab07JSFile, FormatEngineScript(url, Utf8ToAnsi(r.Body)), false);
    });
}

void ResultSourcePage::btnGoogleSaveFileListClick()
{
    auto *list = f_.net.ListBoxPageControlBaseBrowserTab08SearchList;
    if (list->count() == 0) return;
    std::vector<std::string> lines;
    for (const QString &l : list->lines()) lines.push_back(toSjis(l));
    QApplication::clipboard()->setText(fromSjis(UrlListForClipboard(lines)));
}

void ResultSourcePage::btnGoogleHightlightClick()
{
    if (!IsHttpUrl(toSjis(f_.net.edGoogleURL->currentText()))) return;
    TWebbrowser *wb = f_.net.WebBrowserPageControlBaseBrowserTab06HTML;
    // Opening the tab started its load; read the page once it is there.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitWhileBrowserBusy(wb);
    QApplication::restoreOverrideCursor();
    if (!wb->hasDocument()) return;
    const QVariant v = wb->evalSync(QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"),
                                    5000, QWebEngineScript::ApplicationWorld);
    const std::string h = RewriteCharsetDeclsToSjis(OpenAttributeQuotes(NormalizeHtmlSource(toSjis(v.toString()))));
    TRichEdit *view = f_.net.RichEditBaseBrowserTab06HTMLAll;
    view->clear();
    AppState &st = f_.state();
    st.GResultListHtml = SimplifiedResultHtml(h, st.GSecondEngineSearch);
    showText(view, st.GResultListHtml, true);
}

void ResultSourcePage::btnRemoveCacheClick()
{
    AppState &st = f_.state();
    if (st.GResultListHtml.empty()) return;
    TRichEdit *view = f_.net.RichEditBaseBrowserTab06HTMLAll;
    const std::string s = view->text();
    st.GResultListHtml = s;
    view->clear();
    showText(view, FurtherSimplifiedResultHtml(s, st.GSecondEngineSearch, st.GHtmlSeparator), true);
}

void ResultSourcePage::btnTargetBrowserBatchSearchClick()
{
    if (!urlBoxShowsPage()) return;
    TWebbrowser *wb = targetBrowser();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitWhileBrowserBusy(wb);
    QApplication::restoreOverrideCursor();
    auto *box = f_.net.edSearchAndHighlight;
    const QString words = CleanHighlightBox(box->text());
    if (words.isEmpty()) return;
    SearchAndHighlightText(wb, words);
    box->setText(words);
}

void ResultSourcePage::btnTragetBrowserSearchPasteClick()
{
    f_.net.edSearchAndHighlight->setText(fromSjis(TrimWideSpaces(toSjis(QApplication::clipboard()->text()))));
    btnTargetBrowserBatchSearchClick();
}

void ResultSourcePage::btnGooglSearchResultClick()
{
    if (!urlBoxShowsPage()) return;
    TWebbrowser *wb = f_.net.BaseBrowser;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitWhileBrowserBusy(wb);
    QApplication::restoreOverrideCursor();
    auto *box = f_.net.EditSearhGoogleResut;
    const QString words = CleanHighlightBox(box->text());
    if (words.isEmpty()) return;
    f_.net.PageControlBaseBrowser->setCurrentWidget(f_.net.PageControlBaseBrowserTab01Browser);
    SearchAndHighlightText(wb, words);
    box->setText(words);
}

void ResultSourcePage::btnGooglSearchResultPasteClick()
{
    f_.net.EditSearhGoogleResut->setText(fromSjis(TrimWideSpaces(toSjis(QApplication::clipboard()->text()))));
}

void ResultSourcePage::btnSearchFirstClick()
{
    TWebbrowser *wb = targetBrowser();
    if (!wb) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WaitWhileBrowserBusy(wb);
    QApplication::restoreOverrideCursor();
    GHighlightText = f_.net.edSearchAndHighlight->text().trimmed();
    if (GHighlightText.isEmpty() || !urlBoxShowsPage()) return;
    const QString first = FirstHighlightWord(GHighlightText);
    if (first.isEmpty()) return;
    SelectFirstOccurrence(wb, first);
}

void ResultSourcePage::btnTragetBrowserSerachNextClick()
{
    TWebbrowser *wb = targetBrowser();
    if (!wb) return;
    GHighlightText = f_.net.edSearchAndHighlight->text().trimmed();
    if (GHighlightText.isEmpty() || !urlBoxShowsPage()) return;
    const QString first = FirstHighlightWord(GHighlightText);
    if (!first.isEmpty()) SearchText(wb, first, true);
}

void ResultSourcePage::btnGetTargetBrowserHTMLSrcClick()
{
    const std::string html = GetWebBrowserHTMLSrc(targetBrowser());
    if (html.empty()) return;
    showText(f_.net.RichEditPageControlBaseBrowserTab13Html, html, true);
}

void ResultSourcePage::EditCurrentLinkURLChange()
{
    const QString t = f_.net.EditCurrentLinkURL->currentText();
    if (t.isEmpty() || !holdsWebScheme(t)) return;
    f_.net.edGoogleURL->setEditText(t);
    f_.dl.ComboBoxUrl->setEditText(t);
    f_.gui.ComboBoxGUIEditorURL->setEditText(t);
    f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(t);
    f_.ip.edtHost->setEditText(t);
}

void ResultSourcePage::btnGUISend2ComboBoxUrlClick()
{
    const QString url = f_.net.EditCurrentLinkURL->currentText().trimmed();
    if (!holdsWebScheme(url)) return;
    auto &dl = f_.dl;
    f_.net.edGoogleURL->setEditText(url);
    dl.ComboBoxUrl->setEditText(url);
    dl.ComboBoxDirectUrl->setEditText(url);
    f_.gui.ComboBoxGUIEditorURL->setEditText(url);
    f_.ip.edtHost->setEditText(url);
    f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(url);
    SetMainBaseDir(f_, toSjis(dl.ComboBoxUrl->currentText()));
    dl.BtnEditHTMLPageSaveFolder->clear();
    dl.LabelDownloadedFile->clear();
    dl.WebBrowserMain->Navigate(dl.ComboBoxUrl->currentText());
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab01Main);
    f_.frame.PageControlMainBody->setCurrentWidget(f_.frame.PageControlMainBodyTab01Main);
    f_.setPanelMainTopHeight(400);
    dl.WebBrowserMain->resize(600, dl.WebBrowserMain->height());
}

void ResultSourcePage::btnGUISend2ComboBoxUrlClearClick()
{
    auto *hist = f_.net.EditCurrentLinkURL;
    const QString text = hist->currentText();
    hist->clear();
    hist->setEditText(text);
}

void ResultSourcePage::sbBgoogleSearchIEOpenClick()
{
    const QString t = f_.net.EditCurrentLinkURL->currentText();
    if (holdsWebScheme(t)) OpenInDesktopBrowser(&f_, toSjis(t.trimmed()));
}
