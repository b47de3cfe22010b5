#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/AppState.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <sys/stat.h>

namespace {

const char *const kFreshProperty = "vkFreshTab";

QString q(const std::string &sjis) { return fromSjis(sjis); }
std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

bool fileExists(const std::string &sjisPath)
{
    if (sjisPath.empty()) return false;
    struct stat st {};
    return ::stat(ToSystemPath(sjisPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string &sjisPath)
{
    if (sjisPath.empty()) return false;
    struct stat st {};
    return ::stat(ToSystemPath(sjisPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string sjisPathOrEmpty(const QString &path) { return path.isEmpty() ? std::string() : toSjis(path); }

void showColoured(TRichEdit *pane, const std::string &sjis)
{
    SetRichText(pane, q(sjis));
    ColorHTMLRichEdit(pane);
}

// Two names of one file, whatever their spelling ("./", "//", a link).
bool sameFile(const std::string &a, const std::string &b)
{
    const QFileInfo fa(q(a)), fb(q(b));
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty()) return ca == cb;
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

// The start of a page's head up to the end of its head, "" when it has none.
std::string headOf(const std::string &page)
{
    const std::string low = LowerCase(page);
    const std::size_t b = low.find("<head");
    if (b == std::string::npos) return "";
    const std::size_t e = low.find("</head>", b);
    return e == std::string::npos ? page.substr(b) : page.substr(b, e + 7 - b);
}

// The body element of a page (its whole text when it has no body tag).
std::string bodyOf(const std::string &page)
{
    const std::string low = LowerCase(page);
    const std::size_t b = low.find("<body");
    if (b == std::string::npos) return page;
    const std::size_t e = low.rfind("</body>");
    return e == std::string::npos || e < b ? page.substr(b) : page.substr(b, e + 7 - b);
}

}  // namespace

WebGuiDialogs WebGuiDialogs::system()
{
    WebGuiDialogs d;
    const QString filter = QStringLiteral("HTMLﾃｷｽﾄ（ *.html/htm ） (*.html *.htm);;すべてのﾌｧｲﾙ（　*.* ） (*)");
    d.openHtml = [filter](QWidget *parent, const std::string &folder) {
        return sjisPathOrEmpty(QFileDialog::getOpenFileName(parent, QString(), q(folder), filter));
    };
    // The dialog asks before it lets an existing file be chosen.
    d.saveHtml = [filter](QWidget *parent, const std::string &folder) {
        return sjisPathOrEmpty(QFileDialog::getSaveFileName(parent, QString(), q(folder), filter));
    };
    d.ask = [](QWidget *parent, const QString &text, bool withCancel) {
        auto buttons = QMessageBox::Yes | QMessageBox::No;
        if (withCancel) buttons |= QMessageBox::Cancel;
        return int(QMessageBox::question(parent, QApplication::applicationName(), text, buttons));
    };
    return d;
}

WebGuiPage::WebGuiPage(WebGuiControls &c, WebGuiPageContext ctx, QObject *parent) : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    c_.StatusBar->setPanelWidths({120, 300, 200, 300, 300});
    c_.PanelPageControlMainBodyDHTMLTop->setFixedHeight(90);
    if (c_.RadioGroupGULocalFileICharCode->itemCount() == 0)
        c_.RadioGroupGULocalFileICharCode->setItems(
            {QStringLiteral("自動"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"), QStringLiteral("Shift_JIS"),
             QStringLiteral("UTF-8（ANSI）")});
    if (c_.RadioGroupRemoveIndentComment->itemCount() == 0)
        c_.RadioGroupRemoveIndentComment->setItems({QStringLiteral("何もしない"), QStringLiteral("以前の --> <!-- を除く")});
    c_.RadioGroupRemoveIndentComment->hide();
    c_.CheckBoxInhibitGetSource->hide();
    for (TRadioGroup *g : {c_.RadioGroupGULocalFileICharCode, c_.RadioGroupRemoveIndentComment})
        if (g->itemIndex() < 0) g->setItemIndex(0);
    c_.CheckBoxPageControlGUIRightTopEitireSrc->setChecked(true);
    c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->setChecked(true);
    c_.CheckBoxGUIIndent->setChecked(true);

    connect(c_.btnGUIEditorURLOpen, &QPushButton::clicked, this, [this] { btnGUIEditorURLOpenClick(); });
    connect(c_.btnOpenFileDirect, &QPushButton::clicked, this, [this] { btnOpenFileDirectClick(); });
    connect(c_.sbGUILocalIEOpen, &QToolButton::clicked, this, [this] { sbGUILocalIEOpenClick(); });
    connect(c_.btnGUITDCheck, &QPushButton::clicked, this, [this] { btnGUITDCheckClick(); });
    connect(c_.sbGUITDCheckSave, &QToolButton::clicked, this, [this] { sbGUITDCheckSaveClick(); });
    connect(c_.sbGUITDCheckOpenIE, &QToolButton::clicked, this, [this] { sbGUITDCheckOpenIEClick(); });
    connect(c_.btnbtnGUITDClear, &QPushButton::clicked, this, [this] { btnbtnGUITDClearClick(); });
    connect(c_.ToolButtonSave, &QToolButton::clicked, this, [this] { ToolButtonSaveClick(); });
    connect(c_.ToolButtonSaveWithName, &QToolButton::clicked, this, [this] { ToolButtonSaveWithNameClick(); });
    connect(c_.PageControlWebGUITop, &QTabWidget::currentChanged, this, [this] { PageControlWebGUITopChange(); });
}

// --- helpers ------------------------------------------------------------------------------

void WebGuiPage::setStatus(int panel, const std::string &sjis) { c_.StatusBar->setPanelText(panel, q(sjis)); }

void WebGuiPage::tell(const QString &text)
{
    if (ctx_.message) ctx_.message(text);
}

std::string WebGuiPage::currentSource() const
{
    // While the editor loads (or without one) the opened page's text stands for it.
    if (editorSource) {
        std::string s = editorSource();
        if (!s.empty()) return s;
    }
    return st().GPageSource;
}

void WebGuiPage::setPanelHeight(int h) { c_.PanelPageControlMainBodyDHTMLTop->setFixedHeight(h); }

void WebGuiPage::markTab(QWidget *tab, bool fresh)
{
    if (tab) tab->setProperty(kFreshProperty, fresh);
}

bool WebGuiPage::isFreshTab(QWidget *tab) const
{
    if (!tab) return false;
    const QVariant v = tab->property(kFreshProperty);
    // A tab made before the page knew it (the window's first editor) holds nothing yet.
    if (!v.isValid()) return !(tabModified && tabModified(tab));
    return v.toBool() && !(tabModified && tabModified(tab));
}

// --- editor tabs ----------------------------------------------------------------------------

QWidget *WebGuiPage::newTab()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    QWidget *sheet = nullptr;
    if (createCanvas) {
        sheet = createCanvas();
    } else {
        sheet = new TTabSheet(tabs);
        tabs->addTab(sheet, QStringLiteral("新規[ %1 ]").arg(tabs->count() + 1));
    }
    markTab(sheet, true);
    return sheet;
}

bool WebGuiPage::CloseTab(int NoAsk)
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    QWidget *tab = tabs->currentWidget();
    if (tab && tabModified && tabModified(tab)) {
        if (NoAsk) {
            // Nothing is discarded unasked: the changed page keeps its tab.
            QWidget *fresh = nullptr;
            for (int i = 0; i < tabs->count() && !fresh; ++i)
                if (isFreshTab(tabs->widget(i))) fresh = tabs->widget(i);
            if (!fresh) fresh = newTab();
            if (fresh) {
                const QSignalBlocker block(tabs);
                tabs->setCurrentWidget(fresh);
            }
            return true;
        }
        const QString text = QStringLiteral("「%1」は変更されています。閉じてよろしいですか？").arg(tabs->tabText(tabs->currentIndex()));
        if (dialogs.ask(tabs, text, false) != QMessageBox::Yes) return false;
    }
    if (tabs->count() < 2) {
        if (tabs->count() == 1) {
            tabs->setTabText(0, QStringLiteral("新規[ 1 ]"));
            tabs->setTabToolTip(0, QString());
            markTab(tabs->widget(0), true);
        }
    } else {
        const QSignalBlocker block(tabs);
        tabs->removeTab(tabs->indexOf(tab));
        tab->deleteLater();
    }
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightEntireSrc, c_.RichEditPageControlGUIRightAltEntireSrc}) r->clear();
    if (st().GTargetTabCount > 1) st().GTargetTabCount = 1;
    return true;
}

void WebGuiPage::GUIAllClear()
{
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightEntireSrc, c_.RichEditPageControlGUIRightAltEntireSrc,
                         c_.RichEditPageControlGUIRightEntireSrcAfter, c_.RichEditPageControlGUIRightOrgEntireSrc,
                         c_.RichEditPageControlGUIRightEntireLocalFolder, c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All})
        r->clear();
    st().GGUIRawHtml.clear();
    for (TListBox *l : {c_.ListBoxGUISaveFinal, c_.ListBoxHTMLSrc, c_.ListBoxAnchor, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxGUICSS, c_.ListBoxGUICSSAll,
                        c_.ListBoxGUIJAVA, c_.ListBoxGUITDResultLine, c_.ListBoxFrameURL})
        l->clear();
    c_.LabelGUISelectedCSS->clear();
    c_.LabelGUISelectedJAVA->clear();
}

void WebGuiPage::GUIEditorClearAll()
{
    GHtmlSrcTabBuilt = GHeadTabBuilt = GBodyTabBuilt = GCssTabBuilt = GJavaTabBuilt = GLinkTabBuilt = GImageTabBuilt =
        false;
    GIndentSourcePrepared = false;
    for (TRichEdit *r : {c_.MemoHTMLSrc, c_.Memohead, c_.MemoBody, c_.RichEditFrame,
                         c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All})
        r->clear();
    for (TRichEdit *m : {c_.MemoGUICSS, c_.MemoGUICSSIndiv, c_.MemoGUICSSInner, c_.MemoGUIJAVA, c_.MemoGUIJJavaIndiv,
                         c_.MemoGUIJJavaIndivInner})
        m->clear();
    for (TListBox *l : {c_.ListBoxHTMLSrc, c_.ListBoxAnchor, c_.ListBoxJAVASearch, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxFrameURL, c_.ListBoxGUITDSrcLine,
                        c_.ListBoxGUICSS, c_.ListBoxGUICSSColorList, c_.ListBoxWebGUILeftTab05CSSTab02Sector,
                        c_.ListBoxGUICSSFile, c_.ListBoxWebGUILeftTab05CSSTab03Search, c_.ListBoxGUIJAVA})
        l->clear();
}

// --- local files ----------------------------------------------------------------------------

void WebGuiPage::btnGUIEditorURLOpenClick()
{
    if (!CloseTab(0)) return;
    GUIAllClear();
    btnbtnGUITDClearClick();
    MenuFileOpenClick();
}

void WebGuiPage::MenuFileOpenClick()
{
    std::string folder;
    if (!st().GGUILastFile.empty())
        folder = folderPart(st().GGUILastFile);
    else if (ctx_.BtnEditDownloadLocalFile && folderExists(folderPart(toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed()))))
        folder = folderPart(toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed()));
    const std::string name = dialogs.openHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    GUIFileOpenCommon(name);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
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
    if (!CloseTab(0)) return;
    GUIAllClear();
    btnbtnGUITDClearClick();
    GUIFileOpenCommon(name);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
}

void WebGuiPage::sbGUILocalIEOpenClick()
{
    if (!ctx_.BtnEditDownloadLocalFile) return;
    const std::string name = toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed());
    if (fileExists(name)) OpenUrlInBrowser(name);
}

int WebGuiPage::GUIFileOpenCommon(const std::string &FileName, int)
{
    GUIEditorClearAll();
    GUIAllClear();
    st().GGUIBackupFile.clear();
    if (!fileExists(FileName)) {
        tell(q(st().GMsgPathNotFound) + QStringLiteral("\r\n【 %1 】").arg(q(FileName)));
        return 0;
    }
    bool ok = true;
    std::string text = LoadTextFile(FileName, &ok);
    if (!ok) {
        tell(QStringLiteral("ﾌｧｲﾙを読めませんでした【 %1 】").arg(q(FileName)));
        return 0;
    }
    const int kind = CheckFramesetText(text);
    if (kind == -1) {
        tell(QStringLiteral("「FRAMSET」があります"));
        return 0;
    }
    if (kind == -2) {
        const int a = dialogs.ask(c_.PageControlGUILeft, QStringLiteral("「IFRAME」があります、読み込みますか？"), true);
        if (a != QMessageBox::Yes) return 0;
        // Disabled in memory only: the user's file stays as it is.
        text = DisableIframes(text);
    }
    OpenFileText(FileName, text);
    return 0;
}

int WebGuiPage::OpenFile(const std::string &FileName, int, int, int)
{
    return OpenFileText(FileName, LoadTextFile(FileName));
}

int WebGuiPage::OpenFileText(const std::string &FileName, std::string Text)
{
    AppState &s = st();
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
            const BackupSaveResult r = SaveWithBackup(FileName, cleaned);
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
    if (loadEditor) loadEditor(FileName, Text);

    std::string w = ConvertTextToSjis(Text, 0);
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

    const std::string source = currentSource();
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked())
        showColoured(c_.RichEditPageControlGUIRightEntireSrc, source);
    else
        SetRichText(c_.RichEditPageControlGUIRightEntireSrc, q(source));
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(ConvertTextToSjis(Text, 0));
    c_.RichEditPageControlGUIRightAltEntireSrc->setText(bodyOf(source));
    if (c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->isChecked()) {
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightOrgEntireSrc);
        ColorHTMLRichEdit(c_.RichEditPageControlGUIRightAltEntireSrc);
    }
    GAltBodySourceShown = true;

    setStatus(3, sj(" 【 ") + s.GGUIFile + sj(" 】"));
    if (ctx_.StatusBar1) ctx_.StatusBar1->setPanelText(3, q(sj(" 【 ") + s.GGUIFile + sj(" 】")));
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

// --- sub-tabs -------------------------------------------------------------------------------

void WebGuiPage::PageControlWebGUITopChange()
{
    if (c_.CheckBoxInhibitGetSource->isChecked()) return;
    QWidget *page = c_.PageControlWebGUITop->currentWidget();
    if (page == c_.PageControlWebGUITopTab01Main) {
        setPanelHeight(90);
        c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
        return;
    }
    setPanelHeight(600);
    const std::string source = currentSource();
    if (page == c_.PageControlWebGUITopTab02HTMLSrc) {
        if (GHtmlSrcTabBuilt) return;
        std::string src = RewriteCharsetDeclsToSjis(RestructureHead(source));
        if (PosText("</html", src) == 0) src += "\r\n</html>";
        src = HtmlSourceTabText(src);
        showColoured(c_.MemoHTMLSrc, src);
        if (c_.MemoHTMLSrc->text().empty()) c_.MemoHTMLSrc->setText(GLocalPageSource);
        if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) {
            showColoured(c_.RichEditPageControlGUIRightEntireSrc, src);
            showColoured(c_.RichEditPageControlGUIRightAltEntireSrc, src);
        }
        GHtmlSrcTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab03Head) {
        if (GHeadTabBuilt) return;
        showColoured(c_.Memohead, RewriteCharsetDeclsToSjis(headOf(source)));
        GHeadTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab04Body) {
        if (GBodyTabBuilt) return;
        std::string body = bodyOf(source);
        body = DeleteBetween(body, "<style ", "</style>");
        body = DeleteBetween(body, "<script ", "</script>");
        body = DeleteBetween(body, "<!--", "-->");
        body = ReplaceAll(ReplaceAll(body, "\r\n\r\n\r\n", "\r\n"), "\r\n\r\n", "\r\n");
        showColoured(c_.MemoBody, body);
        GBodyTabBuilt = true;
    }
}

// --- indentation run ----------------------------------------------------------------------------

void WebGuiPage::btnGUITDCheckClick()
{
    AppState &s = st();
    if (!s.GIndentSourceReady) {
        const QString notice = QStringLiteral("準備中、しばらくしてから再度”ｸﾘｯｸ ”してください");
        if (ctx_.showNotice)
            ctx_.showNotice(notice);
        else
            tell(notice);
        return;
    }
    if (!GIndentSourcePrepared) {
        std::string src = EditorSourceSjis(s.GCurrentEditor);
        if (src.empty()) src = currentSource();
        if (src.empty()) return;
        GIndentSource = src;
        GIndentSourcePrepared = true;
    }
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    ReindentOptions opt;
    opt.CellMode = c_.RadioGroupTDIndentation->itemIndex() < 0 ? 1 : c_.RadioGroupTDIndentation->itemIndex();
    opt.PrologMode = std::max(0, c_.RadioGroupGUIHTMLOption->itemIndex());
    opt.CommentBar = std::max(0, c_.RadioGroupCommntBar->itemIndex());
    opt.ImgAlt = std::max(0, c_.RadioGroupIndentImgAlt->itemIndex());
    opt.MaxLen = c_.SpinEditGUIGUIdMaxlen->value();
    ReindentInputs in;
    in.LocalPageSource = GLocalPageSource;
    in.EditorUrl = toSjis(c_.ComboBoxGUIEditorURL->currentText());
    in.LocalFile = s.GGUIFile;
    // The head goes in as written; the body is what the clean-up and the re-indenter work on.
    const std::size_t bodyAt = LowerCase(GIndentSource).find("<body");
    std::string head = bodyAt == std::string::npos ? std::string() : GIndentSource.substr(0, bodyAt);
    const std::string body = bodyAt == std::string::npos ? GIndentSource : GIndentSource.substr(bodyAt);
    EditorRoundTrip roundTrip;
    if (TProfDHTMLEdit2 *hidden = s.GCurrentEditor) {
        // The head as the editor keeps it; the body through the hidden editor's round trip,
        // read once it has loaded (never its "BUSY").
        const std::string edHead = EditorSourceSjis(s.GActiveEditor, EditorPart::Head);
        if (!edHead.empty()) head = edHead;
        // Once per page: a second run takes the body the first one read.
        roundTrip = [this, hidden](const std::string &page) {
            if (roundTripGeneration_ == pageGeneration_ && page == roundTripIn_) return roundTripOut_;
            const std::string b = EditorBodyRoundTrip(hidden, page);
            roundTripIn_ = page;
            roundTripOut_ = b.empty() ? page : b;
            roundTripGeneration_ = pageGeneration_;
            return roundTripOut_;
        };
    }
    const ReindentResult r = RunIndentation(body, head, roundTrip,
                                            c_.RadioGroupRemoveIndentComment->itemIndex(), opt, in);
    auto toList = [](TListBox *l, const std::vector<std::string> &lines) {
        QStringList items;
        items.reserve(int(lines.size()));
        for (const std::string &line : lines) items << q(line);
        l->clear();
        l->addItems(items);
    };
    toList(c_.ListBoxGUITDResultLine, r.R);
    toList(c_.ListBoxGUITDSrcLine, r.T);
    toList(c_.ListBoxGUISaveList, r.S);
    GIndentBodyTag = r.BodyTag;
    if (c_.RadioGroupIndentImgAlt->itemIndex() <= 1) {
        c_.RichEditPageControlGUIRightEntireLocalFolder->clear();
        c_.RichEditPageControlGUIRightEntireSrcAfter->setText(r.Text);
    }
    std::vector<std::string> finalLines;
    for (std::size_t at = 0; at < r.Text.size();) {
        std::size_t nl = r.Text.find("\r\n", at);
        if (nl == std::string::npos) nl = r.Text.size();
        finalLines.push_back(r.Text.substr(at, nl - at));
        at = nl + 2;
    }
    toList(c_.ListBoxGUISaveFinal, finalLines);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab07Temp);
}

void WebGuiPage::sbGUITDCheckSaveClick()
{
    AppState &s = st();
    if (c_.ListBoxGUISaveFinal->count() == 0) return;
    std::string folder;
    if (fileExists(s.GGUIFile)) folder = folderPart(s.GGUIFile);
    if (fileExists(s.GGUILastFile)) folder = folderPart(s.GGUILastFile);
    const std::string chosen = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (chosen.empty()) return;  // nothing changes on cancel
    // The ".html" rule first, so that "page" chosen for "page.html" is seen as the page itself.
    std::string name = chosen;
    if (filePart(name).find('.') == std::string::npos) name = ChangeFileExtension(name, ".html");
    if (sameFile(name, s.GGUIFile)) name = folderPart(name) + "WW_" + filePart(name);
    std::vector<std::string> lines;
    for (int i = 0; i < c_.ListBoxGUISaveFinal->count(); ++i) lines.push_back(toSjis(c_.ListBoxGUISaveFinal->item(i)->text()));
    const SaveResult r = SaveChosenFile(name, IndentSaveText(lines));
    s.GWebRoot.clear();
    if (r.ok()) {
        s.GGUISaveFile = r.Path;
        s.GGUILastFile = r.Path;
        s.GIndentSavedFile = r.Path;
    }
    BackupSaveResult b;
    b.Save = r;
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
}

void WebGuiPage::sbGUITDCheckOpenIEClick()
{
    if (fileExists(st().GGUISaveFile)) OpenUrlInBrowser(st().GGUISaveFile);
}

void WebGuiPage::btnbtnGUITDClearClick()
{
    c_.RichEditPageControlGUIRightEntireSrcAfter->clear();
    c_.ListBoxGUITDSrcLine->clear();
    c_.ListBoxGUITDResultLine->clear();
}

// --- saves of the edited page ------------------------------------------------------------------

void WebGuiPage::reportSave(const std::string &file, bool ok, const std::string &why)
{
    if (ok) {
        setStatus(2, sj("Saved!!"));
        setStatus(3, sj(" 【 ") + file + sj(" 】"));
    } else {
        setStatus(2, std::string());
        tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(file), q(why)));
    }
}

void WebGuiPage::ToolButtonSaveClick()
{
    AppState &s = st();
    if (!fileExists(s.GGUIFile)) {
        ToolButtonSaveWithNameClick();
        return;
    }
    const BackupSaveResult r = SaveWithBackup(s.GGUIFile, SaveGUILocalPageText(currentSource()));
    if (r.Save.ok()) s.GGUIBackupFile = r.BackupPath;
    reportSave(s.GGUIFile, r.Save.ok(), SaveStatusText(r));
}

void WebGuiPage::ToolButtonSaveWithNameClick()
{
    AppState &s = st();
    std::string folder = fileExists(s.GGUIFile) ? folderPart(s.GGUIFile) : std::string();
    std::string name = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    const std::string ext = LowerCase(name.substr(name.find_last_of('.') == std::string::npos ? name.size() : name.find_last_of('.')));
    if (ext != ".html" && ext != ".htm") name = ChangeFileExtension(name, ".html");
    const SaveResult r = SaveChosenFile(name, SaveGUILocalPageText(currentSource()));
    BackupSaveResult b;
    b.Save = r;
    if (r.ok()) {
        s.GGUIFile = r.Path;
        s.GGUILastFile = r.Path;
    }
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
}
