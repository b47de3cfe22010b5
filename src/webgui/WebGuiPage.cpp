#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/AppState.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/TWebbrowser.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/StrUtils.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <optional>
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
    layoutPage();
    setPanelHeight(90);
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
    for (TSpinEdit *e : {c_.SpinEditLinkEnd, c_.SpinEditImageEnd}) e->setRange(-1, 1000000);

    connect(c_.btnGUIEditorURLNavigate, &QPushButton::clicked, this, [this] { btnGUIEditorURLNavigateClick(); });
    // The address opens on Enter or a pick from its list, never while it is being typed.
    c_.ComboBoxGUIEditorURL->setEditable(true);
    c_.ComboBoxGUIEditorURL->setInsertPolicy(QComboBox::NoInsert);
    // With the focus in the box, the combo box takes the key and hands it to its line edit
    // directly (past any filter there), so both are watched.
    c_.ComboBoxGUIEditorURL->installEventFilter(this);
    if (QLineEdit *e = c_.ComboBoxGUIEditorURL->lineEdit()) e->installEventFilter(this);
    connect(c_.ComboBoxGUIEditorURL, &QComboBox::textActivated, this, [this] { btnGUIEditorURLNavigateClick(); });
    connect(c_.btnGUIEditorURLOpen, &QPushButton::clicked, this, [this] { btnGUIEditorURLOpenClick(); });
    connect(c_.btnOpenFileDirect, &QPushButton::clicked, this, [this] { btnOpenFileDirectClick(); });
    connect(c_.sbGUILocalIEOpen, &QToolButton::clicked, this, [this] { sbGUILocalIEOpenClick(); });
    connect(c_.btnGUITDCheck, &QPushButton::clicked, this, [this] { btnGUITDCheckClick(); });
    connect(c_.sbGUITDCheckSave, &QToolButton::clicked, this, [this] { sbGUITDCheckSaveClick(); });
    connect(c_.sbGUITDCheckOpenIE, &QToolButton::clicked, this, [this] { sbGUITDCheckOpenIEClick(); });
    connect(c_.btnbtnGUITDClear, &QPushButton::clicked, this, [this] { btnbtnGUITDClearClick(); });
    connect(c_.btnGUITD3Check, &QPushButton::clicked, this, [this] { btnGUITD3CheckClick(); });
    connect(c_.btnSaveIndentHTML, &QPushButton::clicked, this, [this] { btnSaveIndentHTMLClick(); });
    connect(c_.btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolder, &QPushButton::clicked, this,
            [this] { btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolderClick(); });
    connect(c_.btnGUIEditorURLRetryNavigate, &QPushButton::clicked, this, [this] { btnGUIEditorURLRetryNavigateClick(); });
    connect(c_.ToolButtonSave, &QToolButton::clicked, this, [this] { ToolButtonSaveClick(); });
    connect(c_.ToolButtonSaveWithName, &QToolButton::clicked, this, [this] { ToolButtonSaveWithNameClick(); });
    connect(c_.PageControlGUILeft, &QTabWidget::currentChanged, this, [this] { PageControlGUILeftChange(); });

    // The toolbar, in its button order, with the hints it shows.
    const std::pair<QToolButton *, const char *> hints[] = {
        {c_.ToolButtonOpen, "ﾎﾞﾀﾝとﾀﾌﾞ表示のみ"},
        {c_.ToolBtnHTMLSrc, "ｵﾌﾞｼﾞｪｸﾄのHTMLをﾎﾟｯﾌﾟｱｯﾌﾟ表示/非表示"},
        {c_.ToolButtonExit, "終了"},
        {c_.ToolButton5, "再読み込み"},
        {c_.ToolButtonBorderVisible, "表の枠線表示で「Ｂｏｒｄｅｒ＝０」の場合に、枠線を表示/非表示"},
        {c_.ToolButtonShowDetail, "詳細の表示/非表示"},
        {c_.ToolButton2, "ＩＥの表示"},
        {c_.ToolButtonSave, "上書き保存"},
        {c_.ToolButtonTemp, "HTMLのｲﾝﾃﾞﾝﾄ整形"},
        {c_.ToolButtonSaveWithName, "名前を付けて保存"},
        {c_.ToolButtonGUICOPY, "ｲﾝﾃﾞﾝﾄ整形結果をｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"},
    };
    for (const auto &[button, hint] : hints) button->setToolTip(QString::fromUtf8(hint));
    c_.RichEditPageControlGUIRightEntireSrc->setLineWrapMode(st().GGUIAllSrcWordWrap ? QPlainTextEdit::WidgetWidth
                                                                                      : QPlainTextEdit::NoWrap);
    c_.ToolButtonBorderVisible->setCheckable(true);
    c_.ToolButtonShowDetail->setCheckable(true);
    c_.EditHeaderRoot->hide();
    c_.LabelEditHeaderRoot->hide();
    auto tool = [this](QToolButton *b, void (WebGuiPage::*h)()) { connect(b, &QToolButton::clicked, this, [this, h] { (this->*h)(); }); };
    auto push = [this](QPushButton *b, void (WebGuiPage::*h)()) { connect(b, &QPushButton::clicked, this, [this, h] { (this->*h)(); }); };
    tool(c_.ToolButtonOpen, &WebGuiPage::ToolButtonOpenClick);
    tool(c_.ToolBtnHTMLSrc, &WebGuiPage::ToolBtnHTMLSrcClick);
    tool(c_.ToolButtonExit, &WebGuiPage::ToolButtonExitClick);
    tool(c_.ToolButton5, &WebGuiPage::ToolButton5Click);
    tool(c_.ToolButtonBorderVisible, &WebGuiPage::ToolButtonBorderVisibleClick);
    tool(c_.ToolButtonShowDetail, &WebGuiPage::ToolButtonShowDetailClick);
    tool(c_.ToolButton2, &WebGuiPage::ToolButton2Click);
    tool(c_.ToolButtonTemp, &WebGuiPage::ToolButtonTempClick);
    tool(c_.ToolButtonGUICOPY, &WebGuiPage::ToolButtonGUICOPYClick);
    push(c_.btnGUIEditorURLPaste, &WebGuiPage::btnGUIEditorURLPasteClick);
    tool(c_.sbWebGUIEditorOpenIE, &WebGuiPage::sbWebGUIEditorOpenIEClick);
    push(c_.btnGUIEditorLocalFile, &WebGuiPage::btnGUIEditorLocalFileClick);
    push(c_.btnGUILoclaFolderCheck, &WebGuiPage::btnGUILoclaFolderCheckClick);
    push(c_.btnEditRemoveFolderRemoveAll, &WebGuiPage::btnEditRemoveFolderRemoveAllClick);
    push(c_.btnEditRemoveFolderPaste, &WebGuiPage::btnEditRemoveFolderPasteClick);
    push(c_.btnGUIReplaceWordPaste, &WebGuiPage::btnGUIReplaceWordPasteClick);
    push(c_.btnGUISaveLocalHTMLSrcWihtIndent, &WebGuiPage::btnGUISaveLocalHTMLSrcWihtIndentClick);
    push(c_.btnGUIReload, &WebGuiPage::btnGUIReloadClick);
    push(c_.btnPageControlWebGUITopTab02MakeColor, &WebGuiPage::btnPageControlWebGUITopTab02MakeColorClick);
    push(c_.btnPageControlWebGUITopTab02MakeBlack, &WebGuiPage::btnPageControlWebGUITopTab02MakeBlackClick);
    push(c_.btnPageControlWebGUITopTab02COPY2Clipboard, &WebGuiPage::btnPageControlWebGUITopTab02COPY2ClipboardClick);
    push(c_.btnReMakeBodyColor, &WebGuiPage::btnReMakeBodyColorClick);
    push(c_.btnMakeGUIRTReload, &WebGuiPage::btnMakeGUIRTReloadClick);
    push(c_.btnMakeGUIRTColor, &WebGuiPage::btnMakeGUIRTColorClick);
    push(c_.btnMakeGUIRTBlack, &WebGuiPage::btnMakeGUIRTBlackClick);
    push(c_.btnMakeGUIBuld2HTMLSrc, &WebGuiPage::btnMakeGUIBuld2HTMLSrcClick);
    push(c_.btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrap,
         &WebGuiPage::btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrapClick);
    connect(c_.PageControlGUIRightTab03OrgHTMLSrcRight, &QTabWidget::currentChanged, this,
            [this] { PageControlGUIRightTab03OrgHTMLSrcRightChange(); });
    connect(c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder, &QListWidget::itemClicked, this,
            [this] { ListBoxRichEditPageControlGUIRightEntireLocalFolderClick(); });
    connect(c_.PageControlWebGUITop, &QTabWidget::currentChanged, this, [this] { PageControlWebGUITopChange(); });
}

bool WebGuiPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == c_.PanelPageControlMainBodyDHTMLTop->parentWidget()) {
        applyPanelHeight();
        return false;
    }
    if (event->type() == QEvent::KeyPress &&
        (watched == c_.ComboBoxGUIEditorURL || watched == c_.ComboBoxGUIEditorURL->lineEdit())) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btnGUIEditorURLNavigateClick();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
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

void WebGuiPage::progress(const QString &text)
{
    c_.StatusBar->setPanelText(2, text);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The heights the page asks for its sub-tabs were made for one screen: " 閲覧  " gets at least
// what its rows need, and no sub-tab takes the room the source panes' toolbars need below it.
void WebGuiPage::setPanelHeight(int h)
{
    requestedHeight_ = h;
    applyPanelHeight();
}

void WebGuiPage::applyPanelHeight()
{
    QWidget *panel = c_.PanelPageControlMainBodyDHTMLTop;
    int h = requestedHeight_;
    if (c_.PageControlWebGUITop->currentWidget() == c_.PageControlWebGUITopTab01Main) {
        const int rows = c_.PageControlWebGUITopTab01Main->sizeHint().height() + c_.PageControlWebGUITop->tabBar()->sizeHint().height() + 8;
        h = std::max(h, rows);
    }
    const int room = panel->parentWidget() ? panel->parentWidget()->height() : 0;
    const int below = c_.SplitterWebGUI->minimumSizeHint().height() + 12;
    if (room > below + 120) h = std::min(h, room - below);
    if (panel->height() != h || panel->minimumHeight() != h) panel->setFixedHeight(h);
}

void WebGuiPage::layoutPage()
{
    // " 閲覧  ": the URL row, the retry hint, the local-file row, the toolbar and the options,
    // each row as wide as the page.
    QWidget *tab = c_.PageControlWebGUITopTab01Main;
    auto *area = tab->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
    QWidget *host = area ? area->widget() : tab;
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setParent(host);
    delete host->layout();  // the rows the builder made; the controls stay
    auto *v = new QVBoxLayout(host);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);
    auto row = [&](std::initializer_list<QWidget *> ws, QWidget *stretch) {
        auto *h = new QHBoxLayout;
        h->setSpacing(4);
        for (QWidget *w : ws) {
            if (!w) continue;
            h->addWidget(w, w == stretch ? 1 : 0);
            w->show();
        }
        if (!stretch) h->addStretch(1);
        v->addLayout(h);
        return h;
    };
    c_.ComboBoxGUIEditorURL->setMinimumWidth(300);
    c_.ComboBoxGUIEditorURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row({new QLabel(QStringLiteral("URL"), host), c_.ComboBoxGUIEditorURL, c_.btnGUIEditorURLPaste, c_.btnGUIEditorURLNavigate,
         c_.sbWebGUIEditorOpenIE},
        c_.ComboBoxGUIEditorURL);
    row({c_.LabelGUIEditorURLRetryHead, c_.btnGUIEditorURLRetryNavigate, c_.LabelGUIEditorURLRetryTail}, nullptr);
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setMinimumWidth(300);
    row({new QLabel(QStringLiteral("ﾛｰｶﾙ・ﾌｧｲﾙ"), host), ctx_.BtnEditDownloadLocalFile, c_.btnGUIEditorLocalFile,
         c_.btnGUIEditorURLOpen, c_.btnOpenFileDirect, c_.sbGUILocalIEOpen},
        ctx_.BtnEditDownloadLocalFile);
    v->addWidget(c_.ToolBar1);
    // The options: the charset choice first, then the indentation options, in two rows.
    row({c_.RadioGroupGULocalFileICharCode, c_.RadioGroupTDIndentation, c_.RadioGroupGUIHTMLOption,
         c_.RadioGroupIndentImgAlt, c_.RadioGroupCommntBar},
        nullptr);
    row({c_.RadioGroupAdjustHTMLTree, c_.RadioGroupEmptyElement, c_.RadioGroupHTMLNodePosition,
         c_.RadioGroupPageControlGUIRightTopEntireSrc, c_.SpinEditGUIAreaHeight, c_.SpinEditGUIGUIdMaxlen},
        nullptr);
    row({c_.CheckBoxGUIIndent, c_.CheckBoxPageControlGUIRightTopEitireSrc, c_.CheckBoxPageControlGUIRightTopOrgEitireSrc,
         c_.RadioGroupRemoveIndentComment, c_.CheckBoxInhibitGetSource},
        nullptr);
    v->addStretch(1);

    // The editor and the source panes share the width; no splitter of the page lets a pane or
    // a toolbar row shrink to nothing.
    for (QSplitter *sp : c_.PanelPageControlMainBodyDHTMLTop->window()->findChildren<QSplitter *>())
        if (c_.PageControlWebGUITop->isAncestorOf(sp) || c_.SplitterWebGUI->isAncestorOf(sp) || sp == c_.SplitterWebGUI)
            sp->setChildrenCollapsible(false);
    c_.SplitterWebGUI->setStretchFactor(0, 1);
    c_.SplitterWebGUI->setStretchFactor(1, 1);
    c_.PageControlGUILeft->setMinimumWidth(200);
    c_.PageControlGUIRight->setMinimumWidth(200);
    c_.SplitterWebGUI->setSizes({1000, 1000});
    if (QWidget *p = c_.PanelPageControlMainBodyDHTMLTop->parentWidget()) p->installEventFilter(this);
}

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
        // A tab being made is not a switch by the user.
        const QSignalBlocker block(tabs);
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
                st().GActiveEditor = editorOf(fresh);
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
            if (TProfDHTMLEdit2 *ed = editorOf(tabs->widget(0))) {
                st().GActiveEditor = ed;
                ed->SetDocumentFileName(QString());
                ed->SetBaseURL(QString());
                if (WaitEditorReady(ed)) ed->NewDocument();
                ed->SetDirty(false);
            }
        }
    } else {
        const QSignalBlocker block(tabs);
        tabs->removeTab(tabs->indexOf(tab));
        tab->deleteLater();
        // The next tab's editor is the current one (the change handler is not run).
        if (TProfDHTMLEdit2 *ed = editorOf(tabs->currentWidget())) st().GActiveEditor = ed;
    }
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightSelectedSrc, c_.RichEditPageControlGUIRightEntireSrc,
                         c_.RichEditPageControlGUIRightAltEntireSrc, c_.RichEditRichEditPageControlGUIRightSelectedHtml})
        r->clear();
    if (st().GTargetTabCount > 1) st().GTargetTabCount = 1;
    return true;
}

// The last editor of a tab sheet.
TProfDHTMLEdit2 *WebGuiPage::editorOf(QWidget *tab)
{
    if (!tab) return nullptr;
    const auto eds = tab->findChildren<TProfDHTMLEdit2 *>();
    return eds.isEmpty() ? nullptr : eds.last();
}

void WebGuiPage::PageControlGUILeftChange()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    if (tabs->count() == 0) return;
    AppState &s = st();
    TProfDHTMLEdit2 *ed = editorOf(tabs->currentWidget());
    if (!ed) return;
    s.GActiveEditor = ed;
    s.GGUIFile = toSjis(ed->GetDocumentFileName());
    if (ctx_.setFormCaption) ctx_.setFormCaption(s.GGUIFile);
    if (IsHttpUrl(s.GGUIFile))
        c_.ComboBoxGUIEditorURL->setEditText(q(s.GGUIFile));
    else if (ctx_.BtnEditDownloadLocalFile)
        ctx_.BtnEditDownloadLocalFile->setText(q(s.GGUIFile));
    ed->SetBrowseMode(false);
    SetRichText(c_.MemoHTMLSrc, q(EditorSourceSjis(ed)));
    StatusbarHomeURL();
    GUIApptitle();
}

void WebGuiPage::GUIAllClear()
{
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightEntireSrc, c_.RichEditPageControlGUIRightAltEntireSrc,
                         c_.RichEditPageControlGUIRightEntireSrcAfter, c_.RichEditPageControlGUIRightOrgEntireSrc,
                         c_.RichEditPageControlGUIRightEntireLocalFolder, c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
                         c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All,
                         c_.RichEditRichEditPageControlGUIRightSelectedHtml})
        r->clear();
    st().GGUIRawHtml.clear();
    GGUIBaseHref.clear();
    for (TListBox *l : {c_.ListBoxGUISaveList, c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab02SearchList,
                        c_.ListBoxPageControllGUIOrgRightTab02AllHTMLSrcTab02SearchList,
                        c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder, c_.ListBoxGUISaveFinal, c_.ListBoxHTMLSrc,
                        c_.ListBoxAnchor, c_.ListBoxBodySrc, c_.ListBoxFrameURL, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxGUICSS, c_.ListBoxGUICSSAll,
                        c_.ListBoxGUIJAVA, c_.ListBoxGUIJAVAALll, c_.ListBoxGUITDResultLine})
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
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
                         c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All})
        r->clear();
    for (TRichEdit *m : {c_.MemoGUICSS, c_.MemoGUICSSIndiv, c_.MemoGUICSSInner, c_.MemoGUIJAVA, c_.MemoGUIJJavaIndiv,
                         c_.MemoGUIJJavaIndivInner})
        m->clear();
    for (TListBox *l : {c_.ListBoxHTMLSrc, c_.ListBoxAnchor, c_.ListBoxJAVASearch, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxFrameURL, c_.ListBoxGUITDSrcLine,
                        c_.ListBoxGUICSS, c_.ListBoxGUICSSColorList, c_.ListBoxWebGUILeftTab05CSSTab02Sector,
                        c_.ListBoxGUICSSFile, c_.ListBoxWebGUILeftTab05CSSTab03Search, c_.ListBoxGUIJAVA,
                        c_.ListBoxGUIJAVAALll, c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop,
                        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSBottom,
                        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab08JAVATopBottom})
        l->clear();
}

// --- web pages ------------------------------------------------------------------------------

void WebGuiPage::Delay(int Msec)
{
    static bool inside = false;
    if (inside) return;
    inside = true;
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    } while (t.elapsed() < Msec && !QCoreApplication::closingDown());
    inside = false;
}

bool WebGuiPage::closeAllTabs()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    for (int n = tabs->count(); n > 0; --n)
        if (!CloseTab(0)) return false;
    return true;
}

void WebGuiPage::GUIScreen(const std::string &DocName)
{
    st().GGUIFile = DocName;
    st().GGUIDocName = DocName;
    if (ctx_.showPage) ctx_.showPage();
    setPanelHeight(140);
}

void WebGuiPage::StatusbarHomeURL()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (!ed) return;
    setStatus(0, sj("[ ") + toSjis(ed->GetCharset()) + sj(" ]"));
    if (QWidget *w = c_.PageControlGUILeft->window())
        w->setWindowTitle(QStringLiteral("[ ") + ed->GetHomeURL() + QStringLiteral(" ]"));
    setStatus(3, sj(" 【 ") + toSjis(ed->GetBaseURL()) + sj(" 】"));
}

void WebGuiPage::GUIApptitle()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (ed) {
        setStatus(0, sj("[ ") + toSjis(ed->GetCharset()) + sj(" ]"));
        if (QWidget *w = c_.PageControlGUILeft->window())
            w->setWindowTitle(q(sj(" 【 ") + s.GAppName + sj(" 】 - [ ")) + ed->GetDocumentFileName() + QStringLiteral(" ]"));
    }
    setStatus(2, std::string());
    if (ctx_.StatusBar1) ctx_.StatusBar1->setPanelText(3, q(sj(" 【 ") + s.GGUIFile + sj(" 】")));
}

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
    c_.RichEditPageControlGUIRightAltEntireSrc->setText(bodyOf(source));
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
            showWholeSource(src, true);
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
    } else if (page == c_.PageControlWebGUITopTab05CSS) {
        if (GCssTabBuilt) return;
        setPanelHeight(400);
        TProfDHTMLEdit2 *ed = st().GActiveEditor;
        if (ed && !ed->IsHttpDocument()) c_.LabelGUICSS->setText(QStringLiteral("【 ") + ed->GetDocumentFileName() + QStringLiteral(" 】"));
        const EditorPageParts parts = ReadEditorPageParts(ed);
        if (parts.Ok) {
            c_.ListBoxGUICSS->clear();
            for (const std::string &h : parts.StyleSheets) c_.ListBoxGUICSS->addItem(q(ReplaceAll(h, "\\", "/")));
            c_.MemoGUICSSInner->setPlainText(q(LowerCase(parts.StyleBlocks)));
        }
        setPanelHeight(600);
        GCssTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab06JAVA) {
        if (GJavaTabBuilt) return;
        setPanelHeight(400);
        TProfDHTMLEdit2 *ed = st().GActiveEditor;
        const QString doc = ed ? ed->GetDocumentFileName() : q(st().GGUIFile);
        c_.LabelGUIJAVA->setText(QStringLiteral("【 ") + doc + QStringLiteral(" 】"));
        QStringList items;
        if (!(ed && ed->IsHttpDocument())) {
            std::vector<std::string> lines;
            const int r = ctx_.pageParts ? ctx_.pageParts(toSjis(doc), lines) : -1;
            if (r < 0) {
                // Tried again at the next visit.
                c_.ListBoxGUIJAVA->clear();
                setPanelHeight(600);
                return;
            }
            for (const std::string &l : lines)
                if (l.find(".js") != std::string::npos && l.find('+') == std::string::npos && l.find(' ') == std::string::npos)
                    items << q(l);
        }
        const EditorPageParts parts = ReadEditorPageParts(ed);
        for (const std::string &f : parts.ScriptFiles)
            if (!items.contains(q(f))) items << q(f);
        c_.ListBoxGUIJAVA->clear();
        c_.ListBoxGUIJAVA->addItems(items);
        c_.MemoGUIJJavaIndivInner->setPlainText(q(parts.ScriptBlocks));
        setPanelHeight(600);
        GJavaTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab08Ahref) {
        if (GLinkTabBuilt) return;
        StringList &list = st().list(SharedList::GDocLinkList);
        list.clear();
        c_.ListBoxLinkList->clear();
        const EditorPageParts parts = ReadEditorPageParts(st().GActiveEditor);
        for (const std::string &l : parts.Links) list.add(l);
        for (int i = 0; i < list.count(); ++i) c_.ListBoxLinkList->addItem(q(list[i]));
        c_.SpinEditLinkEnd->setValue(c_.ListBoxLinkList->count() - 1);
        GLinkTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab10ImageList) {
        if (GImageTabBuilt) return;
        StringList &list = st().list(SharedList::GDocLinkList);
        list.clear();
        c_.ListBoxImageList->clear();
        c_.ListBoxBackGroundList->clear();
        const EditorPageParts parts = ReadEditorPageParts(st().GActiveEditor);
        for (const std::string &l : parts.Images) list.add(l);
        for (const std::string &l : parts.BackgroundImages) list.add(l);
        for (int i = 0; i < list.count(); ++i) c_.ListBoxImageList->addItem(q(list[i]));
        c_.SpinEditImageEnd->setValue(c_.ListBoxImageList->count() - 1);
        GImageTabBuilt = true;
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
    const IndentSourceParts parts = SplitIndentSource(GIndentSource);
    std::string head = parts.Head;
    const std::string &body = parts.Body;
    EditorRoundTrip roundTrip;
    if (TProfDHTMLEdit2 *hidden = s.GCurrentEditor) {
        // The head as the editor keeps it, where the page has one; the body through the hidden
        // editor's round trip, read once it has loaded (never its "BUSY").
        const std::string edHead = head.empty() ? std::string() : EditorSourceSjis(s.GActiveEditor, EditorPart::Head);
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
    auto toList = [](TListBox *l, const auto &lines) {
        QStringList items;
        items.reserve(int(lines.size()));
        for (std::string_view line : lines) items << q(std::string(line));
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
    if (saveRefused(s.GGUIFile)) return;
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
        NotePageWritten(r.Path);
        s.GGUISaveFile = r.Path;
        s.GGUILastFile = r.Path;
        s.GIndentSavedFile = r.Path;
    }
    BackupSaveResult b;
    b.Save = r;
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    CloseIE();
    OpenUrlInBrowser(r.Path);
}

void WebGuiPage::btnSaveIndentHTMLClick()
{
    if (c_.ListBoxGUISaveFinal->count() > 0) sbGUITDCheckSaveClick();
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

bool WebGuiPage::saveRefused(const std::string &File)
{
    const QString why = SaveRefusal(st().GActiveEditor, File);
    if (why.isEmpty()) return false;
    setStatus(2, std::string());
    tell(why);
    return true;
}

void WebGuiPage::showWholeSource(const std::string &Text, bool Colour)
{
    TRichEdit *pane = c_.RichEditPageControlGUIRightEntireSrc;
    if (Colour)
        showColoured(pane, Text);
    else
        SetRichText(pane, q(Text));
    paneShown_ = pane->text();
}

std::string WebGuiPage::pageTextToSave() const
{
    const std::string pane = c_.RichEditPageControlGUIRightEntireSrc->text();
    if (pane != paneShown_) return pane;
    return currentSource();
}

void WebGuiPage::ToolButtonSaveClick()
{
    AppState &s = st();
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    if (!fileExists(s.GGUIFile)) {
        ToolButtonSaveWithNameClick();
        return;
    }
    if (saveRefused(s.GGUIFile)) return;
    const BackupSaveResult r = SavePageOverFile(s.GGUIFile, SaveGUILocalPageText(pageTextToSave()));
    if (r.Save.ok()) {
        s.GGUIBackupFile = r.BackupPath;
        // What the tab holds is on disk now: leaving it asks nothing.
        if (TProfDHTMLEdit2 *ed = s.GActiveEditor) ed->SetDirty(false);
    }
    reportSave(s.GGUIFile, r.Save.ok(), SaveStatusText(r));
}

void WebGuiPage::ToolButtonSaveWithNameClick()
{
    AppState &s = st();
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    if (saveRefused(s.GGUIFile)) return;
    std::string folder = fileExists(s.GGUIFile) ? folderPart(s.GGUIFile) : std::string();
    std::string name = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    const std::string ext = LowerCase(name.substr(name.find_last_of('.') == std::string::npos ? name.size() : name.find_last_of('.')));
    if (ext != ".html" && ext != ".htm") name = ChangeFileExtension(name, ".html");
    CloseIE();
    const std::string root = Trim(toSjis(c_.EditHeaderRoot->text()));
    const SaveResult r = SaveChosenFile(name, RemoveWinDiskRoot(SaveGUILocalPageText(pageTextToSave()), root));
    BackupSaveResult b;
    b.Save = r;
    if (r.ok()) {
        NotePageWritten(r.Path);
        s.GGUIFile = r.Path;
        s.GGUILastFile = r.Path;
        s.GGUISaveFile = r.Path;
        // The tab's page is the file now: the next overwrite goes there.
        if (TProfDHTMLEdit2 *ed = s.GActiveEditor) {
            ed->SetDocumentFileName(q(r.Path));
            ed->SetDirty(false);
        }
    }
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    OpenUrlInBrowser(r.Path);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab03Result);
}

// --- the editors' events -------------------------------------------------------------------------

namespace {
TProfDHTMLEdit2 *editorFrom(QObject *Sender, TProfDHTMLEdit2 *fallback)
{
    if (auto *ed = qobject_cast<TProfDHTMLEdit2 *>(Sender)) return ed;
    return fallback;
}

// The pixel size of the image a selection's source names, when its SRC is a local ".jpg",
// ".gif" or ".png" file next to the document; "" otherwise.
std::string localImageSizeText(const std::string &html, const std::string &docFile)
{
    const std::string low = LowerCase(html);
    if (low.compare(0, 4, "<img") != 0) return "";
    const std::size_t at = low.find("src=");
    if (at == std::string::npos) return "";
    std::size_t b = at + 4;
    std::string ref;
    if (b < html.size() && (html[b] == '"' || html[b] == '\'')) {
        const std::size_t e = html.find(html[b], b + 1);
        if (e == std::string::npos) return "";
        ref = html.substr(b + 1, e - b - 1);
    } else {
        std::size_t e = b;
        while (e < html.size() && html[e] != ' ' && html[e] != '>' && html[e] != '/') ++e;
        ref = html.substr(b, e - b);
    }
    // The editor may give the source with the reference resolved to a "file:" URL.
    if (LowerCase(ref).compare(0, 7, "file://") == 0) ref = toSjis(QUrl(q(ref)).toLocalFile());
    if (ref.empty() || ref.find("://") != std::string::npos) return "";
    // Only a local document's images are measured. The editor writes references from the
    // document's folder as "/name": that folder first, then the reference as an absolute path.
    if (docFile.empty() || docFile[0] != '/') return "";
    std::string path = CombineLocalPath(docFile, ref[0] == '/' ? ref.substr(1) : ref);
    if (!fileExists(path) && ref[0] == '/') path = ref;
    if (!fileExists(path)) return "";
    const std::string lowPath = LowerCase(path);
    auto ends = [&](const char *ext) {
        const std::size_t n = std::strlen(ext);
        return lowPath.size() >= n && lowPath.compare(lowPath.size() - n, n, ext) == 0;
    };
    std::optional<ImageSize> size;
    if (ends(".jpg"))
        size = GetJpegSize(path);
    else if (ends(".gif"))
        size = GetGifSize(path);
    else if (ends(".png"))
        size = GetPngSize(path);
    if (!size) return "";
    return "  H= " + std::to_string(size->Height) + "  W= " + std::to_string(size->Width);
}
}  // namespace

void WebGuiPage::EditorClick(QObject *Sender)
{
    TProfDHTMLEdit2 *ed = editorFrom(Sender, st().GActiveEditor);
    setStatus(3, std::string());
    if (!ed) return;
    const std::string html = HtmlToSjis(ed->GetSelectionSource());
    if (!html.empty()) {
        std::string doc = toSjis(ed->GetDocumentFileName());
        if (LowerCase(doc).compare(0, 7, "file://") == 0) doc = toSjis(QUrl(q(doc)).toLocalFile());
        if (doc.empty() || doc[0] != '/') doc = st().GGUIFile;
        setStatus(2, localImageSizeText(html, doc));
        if (ctx_.formSourceShowing && ctx_.formSourceShowing())
            SetFormSource(html);
        else
            SetGUISource(html);
    }
    std::string table;
    if (!ed->InTableCell() && ed->IsInTable()) {
        int rows = 0, cols = 0;
        QString caption;
        if (ed->GetSelectedTableInfo(rows, cols, caption, nullptr))
            table = sj(" 表［ ") + std::to_string(rows) + sj(" 行 , ") + std::to_string(cols) + sj(" 列 ］");
    }
    setStatus(3, table);
    if (!GAltBodySourceShown) {
        c_.RichEditPageControlGUIRightAltEntireSrc->setText(EditorSourceSjis(ed, EditorPart::Body));
        GAltBodySourceShown = true;
    }
}

void WebGuiPage::EditorChange(QObject *Sender)
{
    TProfDHTMLEdit2 *ed = editorFrom(Sender, st().GActiveEditor);
    if (ed) setStatus(0, sj("[ ") + toSjis(ed->GetCharset()) + sj(" ]"));
}

namespace {
void colourOrPlain(TRichEdit *pane, bool colour)
{
    if (colour)
        ColorHTMLRichEdit(pane);
    else
        PlainRichEdit(pane);
}
}  // namespace

void WebGuiPage::SetFormSource(const std::string &Html)
{
    if (ctx_.setFormSourceText) ctx_.setFormSourceText(Html);
    SetRichText(c_.RichEditRichEditPageControlGUIRightSelectedHtml, q(Html));
    colourOrPlain(c_.RichEditPageControlGUIRightSelectedSrc, c_.CheckBoxPageControlGUIRightTop->isChecked());
}

void WebGuiPage::SetGUISource(const std::string &Html)
{
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab03OrgHTMLSrc);
    SetRichText(c_.RichEditPageControlGUIRightSelectedSrc, q(Html));
    SetRichText(c_.RichEditRichEditPageControlGUIRightSelectedHtml, q(Html));
    colourOrPlain(c_.RichEditPageControlGUIRightSelectedSrc, c_.CheckBoxPageControlGUIRightTop->isChecked());
    colourOrPlain(c_.RichEditRichEditPageControlGUIRightSelectedHtml, c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->isChecked());
}

// --- folders, browser windows, style sheets ---------------------------------------------------------

namespace {
// This machine's own paths in quoted attribute values and url(): a "file:" URL or an absolute
// path into a folder where users keep files (a site's root-relative "/img/a.gif" is none of
// them). A quote in the page's text ("/home/<span class=...>" in a manual) is no value.
bool insideTag(const std::string &text, std::size_t at)
{
    const std::size_t open = text.rfind('<', at);
    if (open == std::string::npos) return false;
    const std::size_t close = text.rfind('>', at);
    return close == std::string::npos || close < open;
}

void listLocalPaths(const std::string &text, std::vector<std::string> &found)
{
    const std::string low = LowerCase(text);
    std::vector<std::pair<std::size_t, std::string>> hits;
    for (const char *open : {"\"", "'", "("}) {
        for (const char *kind : {"file:", "/home/", "/root/", "/tmp/", "/mnt/", "/media/"}) {
            const std::string key = std::string(open) + kind;
            for (std::size_t p = low.find(key); p != std::string::npos; p = low.find(key, p + 1)) {
                if (*open == '(' ? !(p >= 3 && low.compare(p - 3, 3, "url") == 0) : !insideTag(low, p)) continue;
                const std::size_t b = p + 1;
                std::size_t e = b;
                while (e < text.size() && text[e] != '"' && text[e] != '\'' && text[e] != ')' && text[e] != '>' &&
                       text[e] != '<' && text[e] != '\r' && text[e] != '\n')
                    ++e;
                hits.emplace_back(b, text.substr(b, e - b));
            }
        }
    }
    std::sort(hits.begin(), hits.end());
    for (auto &h : hits) found.push_back(h.second);
}
}  // namespace

void WebGuiPage::CheckRemoveFolder(TRichEdit *RichEdit, std::string &Msg)
{
    Msg.clear();
    c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->clear();
    c_.RichEditPageControlGUIRightEntireLocalFolder->clear();
    if (!RichEdit) return;
    const std::string text = RichEdit->text();
    std::vector<std::string> found;
    // "file:///" holds "e:/": a "file:" URL is not taken for a drive.
    Msg = ::CheckRemoveFolder(ReplaceAllIgnoreCase(text, "file:", "file|"), found);
    // Here a page's own folder is written as a path or a "file:" URL rather than a drive.
    std::vector<std::string> local;
    listLocalPaths(text, local);
    if (Msg.empty() && !local.empty()) Msg = CheckLocalFolderInTags(text);
    found.insert(found.end(), local.begin(), local.end());
    if (found.empty()) return;
    QStringList items;
    for (const std::string &f : found) items << q(f);
    c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->addItems(items);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab05LocalFolder);
}

void WebGuiPage::CloseIE()
{
    if (ctx_.closeIE) ctx_.closeIE();
}

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

// --- toolbar ------------------------------------------------------------------------------------

void WebGuiPage::ToolButtonOpenClick() { setPanelHeight(58); }

void WebGuiPage::ToolBtnHTMLSrcClick()
{
    if (ctx_.toggleFormSource) ctx_.toggleFormSource();
}

void WebGuiPage::ToolButtonExitClick()
{
    if (ctx_.closeMainWindow) ctx_.closeMainWindow();
}

void WebGuiPage::ToolButton5Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    showWholeSource(EditorSourceSjis(st().GActiveEditor), c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked());
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(fileExists(st().GGUIFile) ? LoadTextFile(st().GGUIFile) : std::string());
    QApplication::restoreOverrideCursor();
}

// The tool buttons show the editor's state: a toggle that the editor could not apply (no
// document yet) leaves the button as the editor is.
void WebGuiPage::ToolButtonBorderVisibleClick()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed) ed->SetShowBorders(!ed->ShowBorders());
    c_.ToolButtonBorderVisible->setChecked(ed && ed->ShowBorders());
}

void WebGuiPage::ToolButtonShowDetailClick()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed) ed->SetShowDetails(!ed->ShowDetails());
    c_.ToolButtonShowDetail->setChecked(ed && ed->ShowDetails());
}

void WebGuiPage::ToolButton2Click()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed && ed->IsHttpDocument()) {
        const std::string url = Trim(toSjis(c_.ComboBoxGUIEditorURL->currentText()));
        if (IsHttpUrl(url)) OpenUrlInBrowser(url);
        return;
    }
    const std::string file = ctx_.BtnEditDownloadLocalFile ? Trim(toSjis(ctx_.BtnEditDownloadLocalFile->text())) : std::string();
    if (fileExists(file)) OpenUrlInBrowser(file);
}

void WebGuiPage::ToolButtonTempClick()
{
    c_.PageControlWebGUITop->setCurrentWidget(c_.PageControlWebGUITopTab01Main);
    setPanelHeight(56);
    btnGUITDCheckClick();
}

void WebGuiPage::ToolButtonGUICOPYClick()
{
    if (copyIndentResult) copyIndentResult();
}

// --- URL row, local-file row and the whole-source tools ----------------------------------------

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

void WebGuiPage::btnGUILoclaFolderCheckClick()
{
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    std::string msg;
    CheckRemoveFolder(c_.RichEditPageControlGUIRightEntireSrc, msg);
    if (!msg.empty()) tell(q(msg));
}

void WebGuiPage::ListBoxRichEditPageControlGUIRightEntireLocalFolderClick()
{
    QListWidgetItem *item = c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->currentItem();
    if (!item || item->text().isEmpty()) return;
    c_.EditSearcGUISrcKeyWord->setText(item->text());
    c_.EditGUISearchWord->setText(item->text());
}

void WebGuiPage::btnEditRemoveFolderRemoveAllClick() { replaceWordIn(c_.RichEditPageControlGUIRightEntireSrc); }

void WebGuiPage::btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolderClick()
{
    replaceWordIn(c_.RichEditPageControlGUIRightEntireSrcAfter);
}

// The search box's word replaced by the replacement box's in the pane, case ignored.
void WebGuiPage::replaceWordIn(TRichEdit *pane)
{
    const std::string text = pane->text();
    if (text.empty()) return;
    auto cleaned = [](const QString &box) { return Trim(TrimWideSpaces(Trim(toSjis(box)))); };
    const std::string find = cleaned(c_.EditGUISearchWord->text());
    if (find.empty()) return;
    const std::string repl = cleaned(c_.EditGUIReplaceWord->text());
    SetRichText(pane, q(ReplaceAllIgnoreCase(text, find, repl)));
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked()) ColorHTMLRichEdit(pane);
}

void WebGuiPage::btnEditRemoveFolderPasteClick() { c_.EditGUISearchWord->setText(QGuiApplication::clipboard()->text()); }

void WebGuiPage::btnGUIReplaceWordPasteClick() { c_.EditGUIReplaceWord->setText(QGuiApplication::clipboard()->text()); }

void WebGuiPage::btnGUISaveLocalHTMLSrcWihtIndentClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    const std::string head = EditorSourceSjis(ed, EditorPart::Head);
    const std::string body = EditorSourceSjis(ed, EditorPart::Body);
    if (saveRefused(s.GGUIFile)) return;
    if (head.empty() && body.empty()) return;
    const std::string folder = fileExists(s.GGUILastFile) ? folderPart(s.GGUILastFile) : std::string();
    std::string name = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    const std::size_t dot = name.find_last_of('.');
    const std::string ext = LowerCase(dot == std::string::npos ? std::string() : name.substr(dot));
    if (ext != ".html" && ext != ".htm") name = ChangeFileExtension(name, ".html");
    const std::string url = Trim(toSjis(c_.ComboBoxGUIEditorURL->currentText()));
    const std::string local = ctx_.BtnEditDownloadLocalFile ? toSjis(ctx_.BtnEditDownloadLocalFile->text()) : std::string();
    CloseIE();
    s.GWebRoot.clear();
    const std::string text = MarkedSaveText(head, body, toSjis(c_.EditGUISearchWord->text()),
                                            Trim(toSjis(c_.EditHeaderRoot->text())), url.empty() ? filePart(local) : url);
    const SaveResult r = SaveChosenFile(name, text);
    BackupSaveResult b;
    b.Save = r;
    if (r.ok()) {
        NotePageWritten(r.Path);
        s.GGUISaveFile = r.Path;
        s.GIndentSavedFile = r.Path;
    }
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    OpenUrlInBrowser(r.Path);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab03Result);
}

// --- the source sub-tab and the whole-source pane's buttons ---------------------------------------

void WebGuiPage::btnGUIReloadClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (!ed || !ed->IsHttpDocument()) return;
    c_.MemoHTMLSrc->clear();
    if (c_.ComboBoxGUIEditorURL->currentText().isEmpty() || s.GGUIRawHtml.empty() ||
        LowerCase(s.GGUIRawHtml).find(s.GHtmlOpen) == std::string::npos)
        return;
    c_.SearchKeyWord->clear();
    const std::string &raw = s.GGUIRawHtml;
    std::string text;
    switch (ctx_.RadioGroupWebCharCode ? ctx_.RadioGroupWebCharCode->itemIndex() : 0) {
    case 1: text = EucToSjisB(raw); break;
    case 2:
        try {
            text = Utf8ToAnsi(raw);
        } catch (...) {
            text = raw;
        }
        break;
    case 3: text = raw; break;
    default: text = ConvertTextToSjis(raw, 0); break;
    }
    c_.MemoHTMLSrc->setText(NormalizeLineBreaks(text));
}

void WebGuiPage::btnPageControlWebGUITopTab02MakeColorClick() { ColorHTMLRichEdit(c_.MemoHTMLSrc); }

void WebGuiPage::btnPageControlWebGUITopTab02MakeBlackClick() { PlainRichEdit(c_.MemoHTMLSrc); }

void WebGuiPage::btnPageControlWebGUITopTab02COPY2ClipboardClick()
{
    QGuiApplication::clipboard()->setText(q(c_.MemoHTMLSrc->text()));
}

void WebGuiPage::btnReMakeBodyColorClick()
{
    AppState &s = st();
    if (s.GGUIRawHtml.empty()) return;
    c_.EditBodySearch->clear();
    c_.ListBoxAnchor->clear();
    if (TProfDHTMLEdit2 *ed = s.GActiveEditor) {
        StringList anchors;
        if (ed->GetAnchorList(anchors))
            for (int i = 0; i < anchors.count(); ++i) c_.ListBoxAnchor->addItem(q(anchors[i]));
    }
    std::string body = bodyOf(currentSource());
    body = DeleteBetween(body, "<style ", "</style>");
    body = DeleteBetween(body, "<script ", "</script>");
    body = DeleteBetween(body, "<!--", "-->");
    SetRichText(c_.MemoBody, q(body));
    setPanelHeight(600);
    GBodyTabBuilt = true;
}

void WebGuiPage::btnMakeGUIRTReloadClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (ed && ed->IsHttpDocument()) return;
    const std::string box = ctx_.BtnEditDownloadLocalFile ? Trim(toSjis(ctx_.BtnEditDownloadLocalFile->text())) : std::string();
    if (box.empty()) {
        MenuFileOpenClick();
        return;
    }
    s.GGUIFile = fileExists(box) ? box : std::string();
    const std::string text = s.GGUIFile.empty() ? std::string() : LoadTextFile(s.GGUIFile);
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(text);
    c_.RichEditPageControlGUIRightEntireSrc->setText(text);
}

void WebGuiPage::btnMakeGUIRTColorClick()
{
    if (!c_.RichEditPageControlGUIRightEntireSrc->text().empty()) ColorHTMLRichEdit(c_.RichEditPageControlGUIRightEntireSrc);
}

void WebGuiPage::btnMakeGUIRTBlackClick()
{
    if (!c_.RichEditPageControlGUIRightEntireSrc->text().empty()) PlainRichEdit(c_.RichEditPageControlGUIRightEntireSrc);
}

void WebGuiPage::btnMakeGUIBuld2HTMLSrcClick()
{
    const std::string after = c_.RichEditPageControlGUIRightEntireSrcAfter->text();
    if (after.empty() || c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    c_.RichEditPageControlGUIRightEntireSrc->setText(after);
}

void WebGuiPage::btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrapClick()
{
    bool &wrap = st().GGUIAllSrcWordWrap;
    wrap = !wrap;
    TRichEdit *pane = c_.RichEditPageControlGUIRightEntireSrc;
    const std::string text = pane->text();
    pane->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane->setText(text);
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked()) ColorHTMLRichEdit(pane);
}

void WebGuiPage::PageControlGUIRightTab03OrgHTMLSrcRightChange()
{
    showColoured(c_.RichEditPageControlGUIRightBody, EditorSourceSjis(st().GActiveEditor, EditorPart::Body));
}
