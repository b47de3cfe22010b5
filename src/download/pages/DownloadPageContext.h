// What the download pages need of the main window, built by the window: the subsystem's own
// controls, the few controls of other pages they fill or turn to, the shared state, and the
// window's routines as callbacks. The pages never reach the window itself.
#pragma once
#include "download/DocToolsControls.h"
#include "download/DownloadControls.h"
#include "download/RepairControls.h"

#include <QString>
#include <functional>
#include <string>

struct AppState;
class DownloadCssPage;
class QMenuBar;
class QWidget;

// The download subsystem's controls, from its three declaration lists.
struct DownloadPageControls {
    DownloadControls &dl;
    RepairControls &rep;
    DocToolsControls &doc;
};

struct DownloadPageContext {
    AppState *state = nullptr;
    QWidget *window = nullptr;     // parent of the pages' dialogs and in-place editors
    QMenuBar *menuBar = nullptr;   // takes the "Folder" menu
    TStatusBar *StatusBar1 = nullptr;
    // The " CSS " tab's runs, which the pages built after it share.
    DownloadCssPage *downloadCssPage = nullptr;

    // The window's top and lower page controls, which a run turns to its own pages.
    struct {
        TPanel *PanelMainTop = nullptr;
        TPageControl *PageControlMainTop = nullptr, *PageControlMainBody = nullptr;
        TTabSheet *PageControlMainTopTab01Main = nullptr, *PageControlMainTopTab06WebGUI = nullptr,
                  *PageControlMainBodyTab02PageInnerFile = nullptr, *PageControlMainBodyTab05DownloadText = nullptr,
                  *PageControlMainBodyTab07DHTMLEditor = nullptr, *PageControlMainBodyTab09CantObtained = nullptr;
    } frame;
    // The WebGUI page's controls that the download page fills, reads or shows.
    struct {
        TComboBox *ComboBoxGUIEditorURL = nullptr, *cbDownloadURL = nullptr;
        TRadioGroup *RadioGroupHTMLNodePosition = nullptr, *RadioGroupEmptyElement = nullptr;
        TWebbrowser *WebBrowserDownload = nullptr;
        TPanel *PanelPageControlMainBodyDHTMLTop = nullptr;
        TPageControl *PageControlWebGUITop = nullptr;
        TTabSheet *PageControlWebGUITopTab07Frame = nullptr;
    } gui;
    TEdit *EditPanelPanelPageControlMainTopTab07BatchPageView = nullptr; // the batch viewer's URL box
    // The right pane's browser in front.
    std::function<TWebbrowser *()> targetBrowser;

    // The window's resets, its top area's height, its caption and its end.
    std::function<void()> ListBoxAllClear, FileReset, StringListAllClear, BrowserStop;
    std::function<void(int)> setPanelMainTopHeight;
    std::function<void(const QString &)> setWindowTitle;
    std::function<void(const std::string &)> appTitleCaption; // the caption naming a saved page
    std::function<void()> closeMainWindow;

    // A modal message box; the missing-folder message (Path, Mark, Id).
    std::function<void(const QString &)> message;
    std::function<void(const std::string &, const std::string &, int)> folderNotExists;
    // The desktop's browser for Url; the user is told when it cannot be opened.
    std::function<bool(const std::string &)> openInDesktopBrowser;
    // The settings written to the settings file, a failure told to the user.
    std::function<void()> saveSettings;
    // Panel 5 of the status bar, shown at once.
    std::function<void(const std::string &)> processState;

    // The page's URL handed to the other pages' boxes, and the names derived from it.
    std::function<void(const std::string &)> setMainBaseDir;
    std::function<void(const std::string &, std::string &)> setLocalFileName;
    std::function<void(const std::string &)> urlPasteAndMakeLocalFile;

    // The hidden editor loads Url (an http(s) page; "" keeps what it has) and gives its
    // source; false when there is no such editor yet.
    std::function<bool(const QString &, QString &)> tempEditorSource;
    // The program's one source viewer, shown with Text.
    std::function<void(const std::string &)> showFormSource;
    // Closes the browser windows this program opened.
    std::function<void()> closeIE;

    // The WebGUI page: its tabs emptied before a run (a modified tab is kept, nothing asked);
    // a frameset handed over with its frames listed; a local page opened.
    std::function<void()> clearWebGui;
    std::function<void(const std::string &)> openFramesetInWebGui;
    std::function<void(const std::string &)> openFileInWebGui;

    // The " メイン " tab's buttons, whose page is built after the whole-page download.
    std::function<void()> ieOpenLocalFile, browseSideNavigate;
};
