// The WebGUI page's making and wiring, its status bar and window title, and the small helpers the
// page's files share.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>

#include <sys/stat.h>

namespace webgui_page {

QString q(const std::string &sjis) { return fromSjis(sjis); }
std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

bool fileExists(const std::string &sjisPath)
{
    if (sjisPath.empty()) return false;
    struct stat st {};
    return ::stat(ToSystemPath(sjisPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void showColoured(TRichEdit *pane, const std::string &sjis)
{
    SetRichText(pane, q(sjis));
    ColorHTMLRichEdit(pane);
}

bool sameFile(const std::string &a, const std::string &b)
{
    const QFileInfo fa(q(a)), fb(q(b));
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty()) return ca == cb;
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

}  // namespace webgui_page

using namespace webgui_page;

namespace {

std::string sjisPathOrEmpty(const QString &path) { return path.isEmpty() ? std::string() : toSjis(path); }

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
    labelOptions();
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
    if (panelHeightEvent(watched, event)) return false;
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

// --- waits, the page on screen, its titles -------------------------------------------------------

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

void WebGuiPage::CloseIE()
{
    if (ctx_.closeIE) ctx_.closeIE();
}
