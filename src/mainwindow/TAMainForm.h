// The one main window. It owns the shared state and the controls of every page; the pages'
// handlers live in their own classes and reach the window through it.
#pragma once
#include <memory>
#include "mainwindow/FormControls.h"
#include "state/AppState.h"
#include <QMainWindow>
#include <QPointer>

class QAction;
class QMenu;
class QMenuBar;
class TFormSource;
class TFormWaitForBrowser;
class TShowMessageForm;
class TWhoisForm;
class MainMenuHandlers;
class NetSearchPage;
class NetSearchButtons;
class FavBrowsePage;
class ConviPage;
class CodeConvertPage;
class WebCodePage;
class TWhoisCli;
class WhoisPage;
class TraceRoutePage;
class WebGuiEditorTabs;
class DownloadCssPage;
class DownloadAllPage;
class DownloadRepairPage;
class BrowserDocPage;
class CssToolsPage;
class WebGuiPage;
struct WebGuiPageContext;
struct DownloadPageContext;
class WebGuiToolPages;
struct WebGuiToolsContext;
class ResultSourcePage;
class BatchViewPage;

// The menu items of the main menu; objectName is each item's name.
struct MainMenuItems {
    QMenu *MenuFile = nullptr, *MenuView = nullptr, *MenuSettings = nullptr, *MenuOther = nullptr;
    QMenu *MenuFavoriteTop = nullptr, *MenuFavoriteTradTop = nullptr, *MenuFavoriteteOneScreenTop = nullptr;
    QMenu *MenuTopNewspaper = nullptr, *MenuCovinienceSameScreenSetting = nullptr;
    QAction *MenuFileClose = nullptr;
    QAction *MenuViewSearchInfoPanel = nullptr, *MenuViewMaximized = nullptr, *MenuViewStdTopHeight = nullptr,
            *MenuViewSearchList = nullptr, *MenuViewStayOnTop = nullptr, *MenuViewSearchPaneSetting = nullptr;
    QAction *MenuSettingsSave = nullptr, *MenuSettingsInitialyze = nullptr;
    QAction *MenuR2LTop = nullptr, *MenuConviiTSameScreen = nullptr;
};

class TAMainForm : public QMainWindow {
    Q_OBJECT
public:
    // FormCreate. programPath is the program file; the settings file is looked for beside it.
    explicit TAMainForm(const QString &programPath, QWidget *parent = nullptr);
    ~TAMainForm() override;  // FormDestroy

    AppState &state() { return state_; }

    MainFrameControls frame;
    NetSearchControls net;
    DownloadControls dl;
    RepairControls rep;
    DocToolsControls doc;
    FavBrowseControls fav;
    ConviControls convi;
    BatchViewControls batch;
    WebGuiControls gui;
    CodeConvertControls conv;
    IpToolsControls ip;
    MainMenuItems menu;
    MainMenuHandlers *mainMenuHandlers = nullptr;  // menus, page changes, timers
    NetSearchPage *netSearchPage = nullptr;        // search, result lists, right-pane tabs, link routing
    NetSearchButtons *netSearchButtons = nullptr;  // keyword buttons, side and auxiliary browsers
    FavBrowsePage *favBrowsePage = nullptr;        // favourites page, favourites, news and convenience menus
    ConviPage *conviPage = nullptr;                // the convenient sites' sub-tabs
    CodeConvertPage *codeConvertPage = nullptr;    // " 文字ｺｰﾄﾞ変換 "
    WebCodePage *webCodePage = nullptr;            // " Ｗｅｂ ｺｰﾄﾞ変換 "
    std::shared_ptr<TWhoisCli> GWhoisCli;          // the one whois client
    WhoisPage *whoisPage = nullptr;                // " ＩＰｱﾄﾞﾚｽの取得 ": whois
    TraceRoutePage *traceRoutePage = nullptr;      // " ＩＰｱﾄﾞﾚｽの取得 ": traceroute
    WebGuiEditorTabs *webGuiEditorTabs = nullptr;  // the WebGUI page's editors
    DownloadCssPage *downloadCssPage = nullptr;    // the " CSS " tab: page parts, style sheets, scripts
    DownloadAllPage *downloadAllPage = nullptr;    // the whole-page download and its page's handlers
    DownloadRepairPage *downloadRepairPage = nullptr; // repair tools of the download page's lower tabs
    BrowserDocPage *browserDocPage = nullptr;      // " メイン ": the page beside its source views
    CssToolsPage *cssToolsPage = nullptr;          // the CSS page tools
    WebGuiPage *webGuiPage = nullptr;              // " WebGUI・ｲﾝﾃﾞﾝﾄ整形 "
    WebGuiToolPages *webGuiTools = nullptr;        // its searches, style sheets, scripts and lists
    ResultSourcePage *resultSourcePage = nullptr;  // source tabs, keyword marks, link history
    BatchViewPage *batchViewPage = nullptr;        // batch viewer of linked pages
    TStatusBar *StatusBar1 = nullptr;
    TTimer *TimerWaitforReady = nullptr, *TimerWhoisServer = nullptr, *TimerGUIIndent = nullptr,
           *TimerGUILocalIndent = nullptr;

    // The right pane's browser in front; null until a run-time tab takes it.
    TWebbrowser *FCurrentTargetBrowser = nullptr;

    // The reset routines; also called by the pages.
    void Initialize();
    void FileReset();
    void ReleaseInitialize();
    void IndividualInitialize();
    void BrowserSetup();
    void MainScreen();
    void ListboxInitialize();
    void ListBoxAllClear();
    void LocalListTextAllClear();
    void StringListAllClear() { state_.StringListAllClear(); }
    // Stops both search panes and gives the start buttons back.
    void BrowserStop();

    // Every browser of the form, in set-up order.
    QList<TWebbrowser *> formBrowsers() const;
    // Panel heights are splitter sizes or fixed heights; these keep one meaning for the pages.
    void setPanelMainTopHeight(int h);
    int panelMainTopHeight() const;

    // Sizes and places the window inside the available area: the whole of it, or the form's
    // own size where there is room for it.
    void fitToScreen(const QRect &available, bool wholeArea);

    // The long application title.
    static QString longTitle();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    WebGuiPageContext webGuiContext();  // what the WebGUI page needs of the window
    DownloadPageContext downloadContext(); // what the download pages need of the window
    void wireWebGuiEditors();           // the WebGUI page's editor hooks
    void createWebGuiEditors();         // the three editors, their engine pages deferred
    static void startEditorEngines();
    WebGuiToolsContext webGuiToolsContext();
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildMenus();
    void layoutNetSearchPage();
    void setLocalAddress();
    void setBrowserVersion();
    void loadListFiles();

    AppState state_;
    QString programPath_;
    bool shownOnce_ = false;
};

// The version label and the "4 to 7" flag from a browser version text such as "8.0";
// an empty or short text gives "" and false.
struct BrowserVersionInfo {
    QString label;
    bool ie4to7 = false;
};
BrowserVersionInfo browserVersionInfo(const QString &version);

// The version this engine stands for where the window asks for the browser's version.
QString ReadIEValue(const QString &name);

// The first IPv4 address of this machine that is not a loopback address; "" when none.
QString localIPv4Address();

// The settings file: the first file (not folder) matching "VORNKYMB*.inf" in the folder, by
// name order; "" when there is none.
QString GetInf(const QString &folder);
// Where the settings live: the program folder when it is writable, else the user's config
// folder. Ends with "/".
QString settingsFolder(const QString &programFolder);
