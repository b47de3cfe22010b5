// What the download pages reach of the window: the shared state, the controls of the frame
// and of the WebGUI page they fill or turn to, the window's resets and messages, the source
// viewer, the hidden editor and the WebGUI page's opens.
#include "download/pages/DownloadPageContext.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/BrowserWindows.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/Settings.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "download/pages/BrowserDocPage.h"
#include "webgui/WebGuiPage.h"

DownloadPageContext TAMainForm::downloadContext()
{
    DownloadPageContext c;
    c.state = &state_;
    c.window = this;
    c.menuBar = menuBar();
    c.StatusBar1 = StatusBar1;
    c.downloadCssPage = downloadCssPage;
    c.frame.PanelMainTop = frame.PanelMainTop;
    c.frame.PageControlMainTop = frame.PageControlMainTop;
    c.frame.PageControlMainBody = frame.PageControlMainBody;
    c.frame.PageControlMainTopTab01Main = frame.PageControlMainTopTab01Main;
    c.frame.PageControlMainTopTab06WebGUI = frame.PageControlMainTopTab06WebGUI;
    c.frame.PageControlMainBodyTab02PageInnerFile = frame.PageControlMainBodyTab02PageInnerFile;
    c.frame.PageControlMainBodyTab05DownloadText = frame.PageControlMainBodyTab05DownloadText;
    c.frame.PageControlMainBodyTab07DHTMLEditor = frame.PageControlMainBodyTab07DHTMLEditor;
    c.frame.PageControlMainBodyTab09CantObtained = frame.PageControlMainBodyTab09CantObtained;
    c.gui.ComboBoxGUIEditorURL = gui.ComboBoxGUIEditorURL;
    c.gui.cbDownloadURL = gui.cbDownloadURL;
    c.gui.RadioGroupHTMLNodePosition = gui.RadioGroupHTMLNodePosition;
    c.gui.RadioGroupEmptyElement = gui.RadioGroupEmptyElement;
    c.gui.WebBrowserDownload = gui.WebBrowserDownload;
    c.gui.PanelPageControlMainBodyDHTMLTop = gui.PanelPageControlMainBodyDHTMLTop;
    c.gui.PageControlWebGUITop = gui.PageControlWebGUITop;
    c.gui.PageControlWebGUITopTab07Frame = gui.PageControlWebGUITopTab07Frame;
    c.EditPanelPanelPageControlMainTopTab07BatchPageView = batch.EditPanelPanelPageControlMainTopTab07BatchPageView;
    c.targetBrowser = [this] { return FCurrentTargetBrowser ? FCurrentTargetBrowser : net.TargetBrowser; };

    c.ListBoxAllClear = [this] { ListBoxAllClear(); };
    c.FileReset = [this] { FileReset(); };
    c.StringListAllClear = [this] { StringListAllClear(); };
    c.BrowserStop = [this] { BrowserStop(); };
    c.setPanelMainTopHeight = [this](int h) { setPanelMainTopHeight(h); };
    c.setWindowTitle = [this](const QString &t) { setWindowTitle(t); };
    c.appTitleCaption = [this](const std::string &Name) { AppTitleCaption(*this, Name, 0); };
    c.closeMainWindow = [this] { menu.MenuFileClose->trigger(); };

    c.message = [this](const QString &t) { ShowMessageBox(this, t); };
    c.folderNotExists = [](const std::string &Path, const std::string &Mark, int Id) {
        std::string text;
        MsgFolderNotExists(Path, Mark, 0, Id, text);
    };
    c.openInDesktopBrowser = [this](const std::string &Url) { return OpenInDesktopBrowser(this, Url); };
    c.saveSettings = [this] { SaveIniSettingsReported(*this, state_.GSettingsFile); };
    c.processState = [this](const std::string &State) { StatusbarProcessState(*this, State); };

    c.setMainBaseDir = [this](const std::string &Url) { SetMainBaseDir(*this, Url); };
    c.setLocalFileName = [this](const std::string &Url, std::string &LocalFolder) {
        SetLocalFileName(*this, Url, LocalFolder);
    };
    c.urlPasteAndMakeLocalFile = [this](const std::string &Url) { URLPasteAndMakeLocalFile(*this, Url); };

    c.tempEditorSource = [this](const QString &Url, QString &Source) {
        TProfDHTMLEdit2 *ed = state_.GTempEditor;
        if (!ed) return false;
        if (!Url.isEmpty()) ed->LoadURL(Url);
        Source = ed->GetSource();
        return true;
    };
    c.showFormSource = [this](const std::string &Text) {
        // The program's one source viewer, made the first time any road asks for it.
        TFormSource *src = findChild<TFormSource *>(QString(), Qt::FindDirectChildrenOnly);
        if (!src) src = new TFormSource(this);
        src->RichEditSource->setText(Text);
        src->show();
        src->raise();
    };
    // Only the program's own windows are closed; other programs' windows are never touched.
    c.closeIE = [] { CloseIEWindows(ReadIEValue(QStringLiteral("Version"))); };

    c.clearWebGui = [this] {
        if (!webGuiPage) return;
        webGuiPage->CloseTab(1); // never a question during a download: a modified tab is kept
        webGuiPage->GUIAllClear();
    };
    c.openFramesetInWebGui = [this](const std::string &Url) {
        if (webGuiPage && webGuiPage->OpenURL(Url) == -1 && webGuiPage->FrameSetOpened) webGuiPage->FrameSetOpened(Url);
    };
    c.openFileInWebGui = [this](const std::string &File) {
        if (webGuiPage) webGuiPage->OpenFile(File);
    };
    c.ieOpenLocalFile = [this] {
        if (browserDocPage) browserDocPage->btnIEOpenLocalFileClick();
    };
    c.browseSideNavigate = [this] {
        if (browserDocPage) browserDocPage->BtnBrowseSideNavigateClick();
    };
    return c;
}
