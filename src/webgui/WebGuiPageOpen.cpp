// Opening pages on the WebGUI page: a web page by its URL (with its frames), a local file,
// the hidden editor that the indentation run reads, and the URL and local-file rows' buttons.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <sys/stat.h>

using namespace webgui_page;

namespace {

bool folderExists(const std::string &sjisPath)
{
    if (sjisPath.empty()) return false;
    struct stat st {};
    return ::stat(ToSystemPath(sjisPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

namespace {
// Converts a fetched page by the charset choice: the editor's column (ForEditor) or the
// source panes' column.
std::string convertByChoice(const std::string &raw, int item, bool forEditor)
{
    switch (item) {
    case 1: return EucToSjis(raw);
    case 2:
    case 4:
        try {
            return Utf8ToAnsi(raw);
        } catch (...) {
            return raw;
        }
    case 3: return forEditor ? raw : PageTextToSjis(raw);
    default: return PageTextToSjis(raw);
    }
}
}  // namespace

void WebGuiPage::btnGUIEditorURLNavigateClick()
{
    AppState &s = st();
    // Every tab but one goes, each changed one only after the user agrees; a "no" leaves
    // every pane as it was.
    if (!closeAllTabs()) return;
    GUIEditorClearAll();
    GUIAllClear();
    const std::string url = Trim(toSjis(c_.ComboBoxGUIEditorURL->currentText()));
    if (url.empty()) return;
    if (!IsHttpUrl(url)) {
        tell(QStringLiteral("URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）"));
        return;
    }
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setText(QString());
    s.GGUIRawHtml.clear();
    if (ctx_.resetLists) ctx_.resetLists();
    GAltBodySourceShown = false;
    GHtmlSrcTabBuilt = false;
    GIndentSourcePrepared = false;

    if (OpenURL(url) == -1) {
        c_.PageControlWebGUITop->setCurrentWidget(c_.PageControlWebGUITopTab07Frame);
        setPanelHeight(600);
        if (FrameSetOpened) FrameSetOpened(url);
        return;
    }
    const std::string raw = fetched_;
    c_.PageControlGUIRightTab03OrgHTMLSrcRight->setCurrentWidget(c_.PageControlGUIRightTab03OrgHTMLSrcRightTab01Org);
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(NormalizeLineBreaks(raw));
    const std::string text =
        NormalizeHtmlSource(convertByChoice(raw, c_.RadioGroupGULocalFileICharCode->itemIndex(), false));
    GLocalPageSource = text;
    s.GPageSource = text;
    s.GGUIRawHtml = text;
    showWholeSource(text, false);
    GGUIBaseHref = ctx_.baseHref ? ctx_.baseHref(text) : std::string();
    if (ctx_.StatusBar1)
        ctx_.StatusBar1->setPanelText(1, GGUIBaseHref.empty() ? QString() : q(sj(" base【 ") + GGUIBaseHref + sj(" 】")));
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked()) ColorHTMLRichEdit(c_.RichEditPageControlGUIRightEntireSrc);
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->isChecked()) {
        c_.RichEditPageControlGUIRightAltEntireSrc->setText(EditorSourceSjis(ed, EditorPart::Body));
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightAltEntireSrc);
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightOrgEntireSrc);
    }
    GUIScreen(url);
    if (ctx_.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView) {
        const EditorPageParts parts = ReadEditorPageParts(ed);
        QStringList items;
        for (const std::string &l : parts.Links) items << q(l);
        ctx_.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->clear();
        ctx_.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->addItems(items);
        if (ctx_.SpinEditLinkList) ctx_.SpinEditLinkList->setValue(int(items.size()) - 1);
    }
    c_.LabelGUICSS->setText(q(sj("【 ") + s.GGUIFile + sj(" 】")));
    if (ed) ed->SetBrowseMode(true);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
}

int WebGuiPage::OpenURL(const std::string &Url, int, int, int)
{
    AppState &s = st();
    if (!IsHttpUrl(Url)) {
        OpenFile(Url);
        s.GGUIFile = Url;
        s.GGUIDocName = Url;
        return 0;
    }
    ++pageGeneration_;
    s.GIndentSourceReady = false;
    QTabWidget *tabs = c_.PageControlGUILeft;
    if (tabs->count() == 0) newTab();
    QWidget *tab = tabs->currentWidget();
    if (tabs->tabText(tabs->currentIndex()).isEmpty()) tabs->setTabText(tabs->currentIndex(), QStringLiteral("新規"));
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    // The editor loads the page once it has settled (a tab that holds a page may still be busy).
    if (ed) WaitEditorReady(ed, kBrowserWaitMs);
    // The page's text is fetched once per open; the panes and the editor's stored source share it.
    const HttpResponse r = HttpFetch(Url);
    fetched_ = r.Ok ? r.Body : std::string();
    fetchOk_ = r.Ok;
    if (r.Ok && LowerCase(r.Body).find("<frame") != std::string::npos) {
        c_.ListBoxFrameURL->clear();
        c_.RichEditFrame->clear();
        if (ctx_.WebBrowserDownload) {
            ctx_.WebBrowserDownload->Navigate(q(Url));
            WaitWhileBrowserBusy(ctx_.WebBrowserDownload, kBrowserWaitMs);
        }
        GetFrameset();
        c_.PageControlWebGUITop->setCurrentWidget(c_.PageControlWebGUITopTab07Frame);
        GUIScreen(std::string());
        return -1;
    }
    if (!r.Ok) {
        const std::string why = r.Error.empty() ? (r.Status ? "HTTP " + std::to_string(r.Status) : std::string()) : r.Error;
        setStatus(2, sj("取得できませんでした"));
        tell(QStringLiteral("ﾍﾟｰｼﾞを取得できませんでした【 %1 】\r\n%2").arg(q(Url), QString::fromStdString(why)));
    }
    if (ed && ed->DocumentReady()) {
        ed->LoadURL(q(Url));
        if (r.Ok && ed->pageLoad() != TProfDHTMLEdit2::PageLoad::Whole)
            tell(QStringLiteral("ﾍﾟｰｼﾞを最後まで読み込めませんでした（時間切れ、または読み込みの失敗）。"
                                "このﾍﾟｰｼﾞは保存できません\r\n【 %1 】").arg(q(Url)));
        GIndentSource.clear();
        GIndentSourcePrepared = false;
        const std::string text = convertByChoice(fetched_, c_.RadioGroupGULocalFileICharCode->itemIndex(), true);
        ed->SetOriginalSource(q(text));
        c_.MemoHTMLSrc->setText(text);
        s.GPageSource = text;
        ed->SetHtmlAttributes(q(HtmlAttributesText(text)));
        ed->SetBodyAttributes(q(BodyAttributesText(text)));
        ed->SetBaseURL(q(Url));
        c_.Memohead->setText(EditorSourceSjis(ed, EditorPart::Head));
        if (ed->HasIFrame()) {
            const EditorPageParts parts = ReadEditorPageParts(ed);
            c_.ListBoxLinkList->clear();
            for (const std::string &f : parts.IFrames) c_.ListBoxLinkList->addItem(q(f));
        }
        ed->SetDirty(false);
    }
    s.GGUIFile = Url;
    if (ctx_.setFormCaption) ctx_.setFormCaption(Url);
    StatusbarHomeURL();
    GUIApptitle();
    const int index = tabs->indexOf(tab);
    if (index >= 0) {
        tabs->setTabText(index, QString::number(index) + QLatin1Char('[') + q(UrlShortName(Url)) + QLatin1Char(']'));
        tabs->setTabToolTip(index, q(Url));
        markTab(tab, false);
    }
    if (c_.CheckBoxGUIIndent->isChecked()) {
        if (ctx_.TimerGUIIndent) ctx_.TimerGUIIndent->start();
        if (s.GCurrentEditor) s.GCurrentEditor->NewDocument();
        c_.PageControlGUIRightTab03OrgHTMLSrcRight->setCurrentWidget(
            c_.PageControlGUIRightTab03OrgHTMLSrcRightTab06CurrentEditor);
    }
    return 0;
}

namespace {
// Every frame of the document, depth first: its address, whether it could be read, its
// body's markup, and whether it is a frame of the top document.
const char *const kFramesScript = R"JS((function () {
  var out = [];
  function walk(win, depth) {
    var frames;
    try { frames = win.frames; } catch (e) { return; }
    for (var i = 0; i < frames.length; ++i) {
      var f = frames[i], d = null;
      try { d = f.document; } catch (e) { d = null; }
      if (!d) { out.push({url: '', ok: false, body: '', top: depth === 0}); continue; }
      out.push({url: String(d.URL), ok: true, body: d.body ? String(d.body.innerHTML) : '', top: depth === 0});
      walk(f, depth + 1);
    }
  }
  walk(window, 0);
  return out;
})())JS";
}  // namespace

void WebGuiPage::GetFrameset()
{
    TWebbrowser *b = ctx_.WebBrowserDownload;
    c_.RichEditFrame->clear();
    if (!b || !b->hasDocument()) return;
    // A frame of another site cannot be read: it is listed by the src its frameset gives.
    std::vector<std::string> sources;
    const std::string own = HtmlToSjis(
        b->evalSync(QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"), 5000, 1).toString());
    ListFrameSources(toSjis(b->LocationURL()), own.empty() ? fetched_ : own, sources);
    const QVariant v = b->evalSync(QString::fromUtf8(kFramesScript), 5000, 1 /* ApplicationWorld */);
    std::string text;
    std::size_t topIndex = 0;
    const std::string sep = "<-- ********************************* -->";
    for (const QVariant &item : v.toList()) {
        const QVariantMap m = item.toMap();
        const bool top = m.value(QStringLiteral("top")).toBool();
        std::string url = toSjis(m.value(QStringLiteral("url")).toString());
        if (top) {
            if (url.empty() && topIndex < sources.size()) url = sources[topIndex];
            ++topIndex;
        }
        if (m.value(QStringLiteral("ok")).toBool())
            text += "\r\n\r\n" + sep + "\r\n\r\n" + HtmlToSjis(m.value(QStringLiteral("body")).toString());
        if (top && !url.empty()) c_.ListBoxFrameURL->addItem(q(url));
    }
    if (text.find('\r') == std::string::npos) text = ReplaceAll(text, "\n", "\r\n");
    c_.RichEditFrame->setText(NormalizeLineBreaks(text));
}

// --- local files ----------------------------------------------------------------------------

void WebGuiPage::btnGUIEditorURLOpenClick()
{
    // The page shown stays until a file is chosen and accepted.
    MenuFileOpenClick(true);
}

void WebGuiPage::MenuFileOpenClick() { MenuFileOpenClick(false); }

void WebGuiPage::MenuFileOpenClick(bool closeCurrent)
{
    std::string folder;
    if (!st().GGUILastFile.empty())
        folder = folderPart(st().GGUILastFile);
    else if (ctx_.BtnEditDownloadLocalFile && folderExists(folderPart(toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed()))))
        folder = folderPart(toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed()));
    const std::string name = dialogs.openHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    openLocal(name, closeCurrent);
}

void WebGuiPage::btnOpenFileDirectClick()
{
    if (!ctx_.BtnEditDownloadLocalFile) return;
    const std::string name = toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed());
    if (!fileExists(name)) {
        tell(q(st().GMsgPathNotFound) + QStringLiteral("\r\n【 %1 】").arg(q(name)));
        return;
    }
    st().GGUILastFile = name;
    openLocal(name, true);
}

void WebGuiPage::sbGUILocalIEOpenClick()
{
    if (!ctx_.BtnEditDownloadLocalFile) return;
    const std::string name = toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed());
    if (fileExists(name)) OpenUrlInBrowser(name);
}

int WebGuiPage::GUIFileOpenCommon(const std::string &FileName, int)
{
    openLocal(FileName, false);
    return 0;
}

bool WebGuiPage::acceptLocalFile(const std::string &FileName, std::string &Text)
{
    if (!fileExists(FileName)) {
        tell(q(st().GMsgPathNotFound) + QStringLiteral("\r\n【 %1 】").arg(q(FileName)));
        return false;
    }
    bool ok = true;
    Text = LoadTextFile(FileName, &ok);
    if (!ok) {
        tell(QStringLiteral("ﾌｧｲﾙを読めませんでした【 %1 】").arg(q(FileName)));
        return false;
    }
    const int kind = CheckFramesetText(Text);
    if (kind == -1) {
        tell(QStringLiteral("「FRAMSET」があります"));
        return false;
    }
    if (kind == -2) {
        const int a = dialogs.ask(c_.PageControlGUILeft, QStringLiteral("「IFRAME」があります、読み込みますか？"), true);
        if (a != QMessageBox::Yes) return false;
        // Disabled in memory only: the user's file stays as it is.
        Text = DisableIframes(Text);
    }
    return true;
}

// A refused file (missing, a frameset, inline frames declined) leaves the page that is shown,
// its tab and its panes as they were.
bool WebGuiPage::openLocal(const std::string &FileName, bool closeCurrent)
{
    std::string text;
    if (!acceptLocalFile(FileName, text)) return false;
    if (closeCurrent && !CloseTab(0)) return false;
    st().GGUIBackupFile.clear();
    btnbtnGUITDClearClick();
    OpenFileText(FileName, text);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    if (LocalPageOpened) LocalPageOpened(FileName);
    return true;
}

int WebGuiPage::OpenFile(const std::string &FileName, int, int, int)
{
    return OpenFileText(FileName, LoadTextFile(FileName));
}

int WebGuiPage::OpenFileText(const std::string &FileName, std::string Text)
{
    AppState &s = st();
    // Every caller (the open buttons, the batch viewer, the not-obtained page, a local
    // address in the URL row) replaces the whole page: no pane or sub-tab keeps the last one.
    GUIEditorClearAll();
    GUIAllClear();
    GAltBodySourceShown = false;
    QTabWidget *tabs = c_.PageControlGUILeft;
    if (tabs->count() == 0 || !isFreshTab(tabs->currentWidget())) {
        QWidget *sheet = newTab();
        const QSignalBlocker block(tabs);
        tabs->setCurrentWidget(sheet);
        GAltBodySourceShown = false;
        GHtmlSrcTabBuilt = false;
        GIndentSourcePrepared = false;
    }
    QWidget *tab = tabs->currentWidget();

    if (c_.RadioGroupRemoveIndentComment->itemIndex() == 1) {
        // The earlier run's joiners are taken out of the file itself, after a backup.
        const std::string cleaned = RemoveIndentCommentText(Text);
        if (cleaned != Text) {
            const BackupSaveResult r = SavePageOverFile(FileName, cleaned);
            if (r.Save.ok()) {
                Text = cleaned;
                s.GGUIBackupFile = r.BackupPath;
            } else {
                tell(q(SaveStatusText(r)));
            }
        }
    }
    // A new page: the hidden editor must load it before a run may read it.
    ++pageGeneration_;
    s.GIndentSourceReady = false;
    GLocalPageSource = Text;
    GIndentSourcePrepared = false;
    std::string loadFailedNote;  // stays in the status bar after the panes are filled
    if (loadEditor) {
        TProfDHTMLEdit2 *ed = s.GActiveEditor;
        QMetaObject::Connection progress;
        if (ed) {
            setStatus(2, sj("読み込み中… 【 ") + FileName + sj(" 】"));
            progress = connect(ed, &TProfDHTMLEdit2::LoadProgress, this, [this, FileName](int percent) {
                setStatus(2, sj("読み込み中 ") + std::to_string(percent) + sj("% 【 ") + FileName + sj(" 】"));
            });
        }
        loadEditor(FileName, Text);
        disconnect(progress);
        if (ed && ed->pageLoad() != TProfDHTMLEdit2::PageLoad::Whole) {
            loadFailedNote = sj("読み込めませんでした（保存できません） 【 ") + FileName + sj(" 】");
            setStatus(2, loadFailedNote);
            tell(QStringLiteral("ﾍﾟｰｼﾞを最後まで読み込めませんでした（時間切れ、または読み込みの失敗）。"
                                "このﾍﾟｰｼﾞは保存できません\r\n【 %1 】").arg(q(FileName)));
        } else {
            setStatus(2, std::string());
        }
    }

    std::string w = PageTextToSjis(Text);
    switch (c_.RadioGroupGULocalFileICharCode->itemIndex()) {
    case 1: w = EucToSjis(Text); break;
    case 2:
    case 4:
        try {
            w = Utf8ToAnsi(Text);
        } catch (...) {
        }
        break;
    default: break;
    }
    s.GPageSource = RewriteCharsetDeclsToSjis(w);
    s.GGUIFile = FileName;
    s.GGUIDocName = FileName;
    s.GGUILastFile = FileName;
    s.GGlobalFile = FileName;

    tabs->setTabText(tabs->indexOf(tab), QString::number(tabs->count()) + QLatin1Char('[') +
                                             q(LocalFileCaptionName(FileName)) + QLatin1Char(']'));
    tabs->setTabToolTip(tabs->indexOf(tab), q(FileName));
    markTab(tab, false);

    c_.EditGUISearchWord->setText(q(folderPart(FileName)));
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setText(q(FileName));
    c_.ComboBoxGUIEditorURL->setEditText(QString());

    progress(QStringLiteral("ｿｰｽを表示中… 【 %1 】").arg(q(FileName)));
    const std::string source = currentSource();
    showWholeSource(source, c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked());
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(PageTextToSjis(Text));
    c_.RichEditPageControlGUIRightAltEntireSrc->setText(BodyOfPage(source));
    if (c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->isChecked()) {
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightOrgEntireSrc);
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightAltEntireSrc);
    }
    // The first click after an open shows the editor's body there.
    GAltBodySourceShown = false;
    std::string folderMsg;
    CheckRemoveFolder(c_.RichEditPageControlGUIRightEntireSrc, folderMsg);
    GetCSS(ctx_.ListBoxComprehensiveCSSList);

    StatusbarHomeURL();
    GUIApptitle();
    if (!loadFailedNote.empty()) setStatus(2, loadFailedNote);
    if (ctx_.showPage) ctx_.showPage();
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    if (c_.CheckBoxGUIIndent->isChecked() && ctx_.TimerGUILocalIndent) ctx_.TimerGUILocalIndent->start();
    return 0;
}

void WebGuiPage::TimerGUILocalIndentTimer()
{
    if (ctx_.TimerGUILocalIndent) ctx_.TimerGUILocalIndent->stop();
    loadHiddenEditor(false);
}

void WebGuiPage::TimerGUIIndentTimer()
{
    if (ctx_.TimerGUIIndent) ctx_.TimerGUIIndent->stop();
    loadHiddenEditor(true);
}

// Ready only when the hidden editor holds the page opened last: a load that ends after
// another open belongs to the earlier page and is dropped.
void WebGuiPage::loadHiddenEditor(bool url)
{
    AppState &s = st();
    TProfDHTMLEdit2 *hidden = s.GCurrentEditor;
    const quint64 generation = pageGeneration_;
    std::string target;
    if (url)
        target = toSjis(c_.ComboBoxGUIEditorURL->currentText().trimmed());
    else if (ctx_.BtnEditDownloadLocalFile)
        target = toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed());
    if (target.empty()) target = s.GGUIFile;
    if (target.empty()) return;
    if (!hidden) {
        s.GIndentSourceReady = !currentSource().empty();
        return;
    }
    if (hidden->IsBusy()) {
        // Still on an earlier load: try again when the timer comes round.
        QTimer *t = url ? ctx_.TimerGUIIndent : ctx_.TimerGUILocalIndent;
        if (t) t->start();
        return;
    }
    bool ok = false;
    if (url)
        ok = hidden->LoadURL(q(target));
    else
        ok = LoadLocalPage(hidden, target, sameFile(target, s.GGUIFile) ? GLocalPageSource : LoadTextFile(target));
    if (generation != pageGeneration_) return;
    s.GIndentSourceReady = ok && !EditorSourceSjis(hidden).empty();
}

// --- the URL row's and the local-file row's buttons ----------------------------------------------

void WebGuiPage::btnGUIEditorURLPasteClick()
{
    const QString text = QGuiApplication::clipboard()->text().trimmed();
    if (!text.startsWith(QLatin1String("http://")) && !text.startsWith(QLatin1String("https://"))) return;
    c_.ComboBoxGUIEditorURL->setEditText(text);
    btnGUIEditorURLNavigateClick();
}

void WebGuiPage::sbWebGUIEditorOpenIEClick()
{
    const std::string url = toSjis(c_.ComboBoxGUIEditorURL->currentText());
    if (url.compare(0, 8, "https://") == 0 || url.find("http://") != std::string::npos) OpenUrlInBrowser(url);
}

void WebGuiPage::btnGUIEditorLocalFileClick()
{
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setText(QGuiApplication::clipboard()->text());
}

// --- the opened page's style sheets --------------------------------------------------------------

namespace {
// The href of every style-sheet link as written, also of a sheet that failed to load (the
// document's sheet list leaves those out), read in the program's own script world.
const char *const kSheetLinksScript = R"JS(
var out = [], links = document.getElementsByTagName('link');
for (var i = 0; i < links.length; ++i) {
  var rel = (links[i].getAttribute('rel') || '').toLowerCase(), href = links[i].getAttribute('href');
  if (/(^|\s)stylesheet(\s|$)/.test(rel) && href) out.push(String(href));
}
return out;
)JS";
}  // namespace

int WebGuiPage::GetCSS(TListBox *List)
{
    if (!List) return 0;
    List->clear();
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (!ed || !ed->TryGetDocument()) return 0;
    for (const QVariant &v : ed->evalDoc(QString::fromUtf8(kSheetLinksScript)).toList()) {
        QString h = v.toString();
        if (h.startsWith(QLatin1Char('/'))) h.remove(0, 1);
        if (!h.isEmpty()) List->addItem(h);
    }
    return List->count();
}
