// The WebGUI page " WebGUI・ｲﾝﾃﾞﾝﾄ整形 ": opening local pages into editor tabs, the source
// panes and analysis sub-tabs, the indentation run with its result and saves, and the saves of
// the edited page. It holds the handlers under their own names; what it needs of the main
// window comes in a small context, so this folder does not depend on the window.
//
// Texts are Shift_JIS with CRLF line ends. The editor control joins through the hand-over
// members below (editorSource, createCanvas, ...): until they are assigned the page works on
// the text of the opened file.
#pragma once
#include "webgui/WebGuiControls.h"

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

struct AppState;
class TBtnEdit;
class TProfDHTMLEdit2;
class TListBox;
class TRadioGroup;
class TSpinEdit;
class TStatusBar;
class TWebbrowser;

struct WebGuiPageContext {
    AppState *state = nullptr;
    TBtnEdit *BtnEditDownloadLocalFile = nullptr;  // the download page's local-file box, shown on " 閲覧  "
    TStatusBar *StatusBar1 = nullptr;
    QTimer *TimerGUILocalIndent = nullptr, *TimerWhoisServer = nullptr, *TimerGUIIndent = nullptr;
    TWebbrowser *WebBrowserDownload = nullptr;  // reads a frameset's frames
    // The batch viewer's link list, which a URL open fills with the page's links.
    TListBox *ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView = nullptr;
    TSpinEdit *SpinEditLinkList = nullptr;
    TListBox *ListBoxComprehensiveCSSList = nullptr;  // the download page's style-sheet list
    TRadioGroup *RadioGroupWebCharCode = nullptr;     // the download page's " 文字ｺｰﾄﾞ "
    std::function<std::string(const std::string &)> baseHref;  // the base href of a page text
    std::function<void()> resetLists;                          // the form's lists and page files emptied
    std::function<void(const std::string &)> setFormCaption;   // the window caption for a document
    // The page-parts collection of a local page: its style-sheet and script references
    // (Lines); negative when the page's parts cannot be read.
    std::function<int(const std::string &, std::vector<std::string> &)> pageParts;
    std::function<void(const QString &)> message;    // a modal message box
    std::function<void(const QString &)> showNotice; // the short-lived notice window (caption, text)
    std::function<void()> showPage;                  // brings " WebGUI・ｲﾝﾃﾞﾝﾄ整形 " to the front
    // Closes the browser windows this program opened, when the download page's choice
    // " すでに開いているＩＥ " says so.
    std::function<void()> closeIE;
    // The source viewer window: whether it is showing, its text (coloured as its check box
    // says), and showing or hiding it.
    std::function<bool()> formSourceShowing;
    std::function<void(const std::string &)> setFormSourceText;
    std::function<void()> toggleFormSource;
    std::function<void()> closeMainWindow;
};

// The dialogs, the question box and the clipboard, replaceable so tests run without them.
// Names are Shift_JIS paths; "" means cancelled.
struct WebGuiDialogs {
    std::function<std::string(QWidget *parent, const std::string &folder)> openHtml;
    std::function<std::string(QWidget *parent, const std::string &folder)> saveHtml;
    // QMessageBox::Yes, No or Cancel.
    std::function<int(QWidget *parent, const QString &text, bool withCancel)> ask;
    static WebGuiDialogs system();
};

class WebGuiPage : public QObject {
    Q_OBJECT
public:
    WebGuiPage(WebGuiControls &c, WebGuiPageContext ctx, QObject *parent = nullptr);

    WebGuiDialogs dialogs = WebGuiDialogs::system();

    // --- hand-over members for the editor control --------------------------------------------
    // A new editor tab (made current); until assigned, an empty sheet captioned "新規[ n ]".
    std::function<QWidget *()> createCanvas;
    // Loads the page into the current tab's editor (FileName, its Shift_JIS text).
    std::function<void(const std::string &, const std::string &)> loadEditor;
    // The edited page's source; until assigned, the opened page's text.
    std::function<std::string()> editorSource;
    // Whether the tab's document was changed by the user.
    std::function<bool(QWidget *tab)> tabModified;
    // The copy of the re-indentation result to the clipboard, which the search tools own.
    std::function<void()> copyIndentResult;

    // --- the editors' events ---------------------------------------------------------------------
    // A click: the selection's source to the source panes (or the source viewer), the table
    // around it and the size of a clicked local image to the status bar, the body once per page.
    void EditorClick(QObject *Sender);
    // A change: the charset to the status bar.
    void EditorChange(QObject *Sender);
    void SetFormSource(const std::string &Html);
    void SetGUISource(const std::string &Html);

    // --- editor tabs ---------------------------------------------------------------------------
    // Closes the current tab (resets it when it is the only one). A modified tab is closed only
    // after the user agrees; with NoAsk it is kept and a fresh tab is made current instead.
    // False when the user kept the tab.
    bool CloseTab(int NoAsk);
    bool isFreshTab(QWidget *tab) const;
    // The user's switch of editor tab: its editor becomes the current one.
    void PageControlGUILeftChange();
    static TProfDHTMLEdit2 *editorOf(QWidget *tab);
    void GUIAllClear();
    void GUIEditorClearAll();
    // The status bar and the window caption for the current editor's document: its charset,
    // home and base URL; then its file name in the caption and the main status bar.
    void StatusbarHomeURL();
    void GUIApptitle();

    // --- web pages ------------------------------------------------------------------------------
    void btnGUIEditorURLNavigateClick();
    // The same open, from the button beside the hint for a page whose objects give no source.
    void btnGUIEditorURLRetryNavigateClick() { btnGUIEditorURLNavigateClick(); }
    // Loads Url into the current editor: -1 for a frameset page (listed on " FrameSet "), else 0.
    int OpenURL(const std::string &Url, int = 0, int = 0, int = 0);
    // The frames of WebBrowserDownload's document once it has loaded, added after the items
    // ListBoxFrameURL holds.
    void GetFrameset();
    // The hidden editor loads the opened URL (the timer's handler calls this).
    void TimerGUIIndentTimer();
    // Hand-over to the frameset tools of " FrameSet ": called with the frameset's URL after
    // its frames are listed; until assigned nothing more happens.
    std::function<void(const std::string &)> FrameSetOpened;

    // --- local files ----------------------------------------------------------------------------
    void btnGUIEditorURLOpenClick();
    void MenuFileOpenClick();
    void btnOpenFileDirectClick();
    void sbGUILocalIEOpenClick();
    int GUIFileOpenCommon(const std::string &FileName, int = 0);
    int OpenFile(const std::string &FileName, int = 0, int = 0, int = 0);
    // Hand-over to the style-sheet tools of " CSS ": called with a local page's file once
    // GUIFileOpenCommon has opened it; until assigned nothing more happens.
    std::function<void(const std::string &)> LocalPageOpened;
    // The page as opened, after the iframe question: Text is what the editor and panes get.
    int OpenFileText(const std::string &FileName, std::string Text);

    // --- sub-tabs -------------------------------------------------------------------------------
    void PageControlWebGUITopChange();
    void btnGUIReloadClick();
    void btnPageControlWebGUITopTab02MakeColorClick();
    void btnPageControlWebGUITopTab02MakeBlackClick();
    void btnPageControlWebGUITopTab02COPY2ClipboardClick();
    void btnReMakeBodyColorClick();
    void btnMakeGUIRTReloadClick();
    void btnMakeGUIRTColorClick();
    void btnMakeGUIRTBlackClick();
    void btnMakeGUIBuld2HTMLSrcClick();
    void btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrapClick();
    // A switch of the raw-source tabs shows the editor's body beside them.
    void PageControlGUIRightTab03OrgHTMLSrcRightChange();

    // --- indentation run --------------------------------------------------------------------------
    void btnGUITDCheckClick();
    void btnGUITD3CheckClick() { btnGUITDCheckClick(); }
    // The result's save, when there is a result.
    void btnSaveIndentHTMLClick();
    void sbGUITDCheckSaveClick();
    void sbGUITDCheckOpenIEClick();
    void btnbtnGUITDClearClick();
    // The hidden editor loads the opened file (the timer's handler calls this).
    void TimerGUILocalIndentTimer();

    // --- saves of the edited page ------------------------------------------------------------------
    void ToolButtonSaveClick();
    void ToolButtonSaveWithNameClick();
    // The page assembled from the editor, the opened file's folder taken out of its references,
    // marked with the page it was made from, saved under a chosen name and shown.
    void btnGUISaveLocalHTMLSrcWihtIndentClick();
    // The drive folders and this machine's own paths named in RichEdit's text, listed on
    // " ﾛｰｶﾙ・ﾌｫﾙﾀﾞ "; Msg is the message for them, empty when there is none.
    void CheckRemoveFolder(TRichEdit *RichEdit, std::string &Msg);
    void CloseIE();
    // The style-sheet addresses of the current editor's document into List; the count.
    int GetCSS(TListBox *List);

    // --- toolbar ------------------------------------------------------------------------------------
    void ToolButtonOpenClick();
    void ToolBtnHTMLSrcClick();
    void ToolButtonExitClick();
    void ToolButton5Click();
    void ToolButtonBorderVisibleClick();
    void ToolButtonShowDetailClick();
    void ToolButton2Click();
    void ToolButtonTempClick();
    void ToolButtonGUICOPYClick();

    // --- URL row, local-file row and the whole-source tools ----------------------------------------
    void btnGUIEditorURLPasteClick();
    void sbWebGUIEditorOpenIEClick();
    void btnGUIEditorLocalFileClick();
    void btnGUILoclaFolderCheckClick();
    void ListBoxRichEditPageControlGUIRightEntireLocalFolderClick();
    void btnEditRemoveFolderRemoveAllClick();
    // The same replacement in the processed source " 処理後のHTMLｿｰｽ ".
    void btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolderClick();
    void btnEditRemoveFolderPasteClick();
    void btnGUIReplaceWordPasteClick();

    // Message-pumping wait; a nested call returns at once.
    static void Delay(int Msec);

    // State only this page reads.
    std::string GLocalPageSource, GIndentSource, GGUIBaseHref;
    std::string GIndentBodyTag;  // the body start tag of the last indentation run
    bool GIndentSourcePrepared = false, GAltBodySourceShown = false;
    bool GHtmlSrcTabBuilt = false, GHeadTabBuilt = false, GBodyTabBuilt = false, GCssTabBuilt = false,
         GJavaTabBuilt = false, GLinkTabBuilt = false, GImageTabBuilt = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AppState &st() const { return *ctx_.state; }
    void setStatus(int panel, const std::string &sjis);
    void tell(const QString &text);
    std::string currentSource() const;
    void setPanelHeight(int h);
    void applyPanelHeight();
    int panelRoom() const;
    bool panelHeightEvent(QObject *watched, QEvent *event);
    void layoutPage();
    void labelOptions();
    int requestedHeight_ = 90, appliedHeight_ = -1;
    QWidget *pageViewport_ = nullptr;  // the view the page scrolls in
    // A step of a long open, shown in the status bar while it runs.
    void progress(const QString &text);
    void replaceWordIn(TRichEdit *pane);
    void markTab(QWidget *tab, bool fresh);
    QWidget *newTab();
    void reportSave(const std::string &file, bool ok, const std::string &why);
    // Tells why the current editor's page may not be saved over File; true when refused.
    bool saveRefused(const std::string &File);
    // The whole-source pane filled from the page (remembered, so that a change made in the
    // pane afterwards is told from the page's own text).
    void showWholeSource(const std::string &Text, bool Colour);
    // What the overwrite and the save-as write: the whole-source pane when the user changed
    // it there, else the editor's page as it stands now.
    std::string pageTextToSave() const;
    void loadHiddenEditor(bool url);
    void GUIScreen(const std::string &DocName);
    void MenuFileOpenClick(bool closeCurrent);
    // The checks before an open touches anything: the file's text (iframes disabled when the
    // user agreed), false when it is refused (the user is told why).
    bool acceptLocalFile(const std::string &FileName, std::string &Text);
    // The open buttons' road: the checks, then (closeCurrent) the current tab closed, then the open.
    bool openLocal(const std::string &FileName, bool closeCurrent);
    void showPageParts();
    bool closeAllTabs();

    quint64 pageGeneration_ = 0;   // counts opens; a hidden-editor load for an older page is dropped
    std::string roundTripIn_, roundTripOut_;
    quint64 roundTripGeneration_ = ~quint64(0);
    std::string fetched_;          // the opened URL's raw text, fetched once per open
    bool fetchOk_ = false;
    std::string paneShown_;        // the whole-source pane's text as the page last filled it

    WebGuiControls &c_;
    WebGuiPageContext ctx_;
};
