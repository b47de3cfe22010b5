#include "mainwindow/TAMainForm.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/DescriptionText.h"
#include "mainwindow/ConviPage.h"
#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/ResultSourcePage.h"
#include "mainwindow/MainMenuHandlers.h"
#include "mainwindow/NetSearchButtons.h"
#include "mainwindow/NetSearchPage.h"
#include "download/pages/BrowserDocPage.h"
#include "download/pages/CssToolsPage.h"
#include "download/pages/DownloadAllPage.h"
#include "download/pages/DownloadCssPage.h"
#include "download/pages/DownloadRepairPage.h"
#include "mainwindow/TargetTabs.h"
#include "mainwindow/Settings.h"
#include "nettools/IpLookupPage.h"
#include "nettools/TWhoisForm.h"
#include "nettools/TraceRoutePage.h"
#include "nettools/WebCodePage.h"
#include "nettools/WhoisCli.h"
#include "nettools/WhoisPage.h"
#include "platform/QtSjis.h"
#include "webgui/WebGuiEditorTabs.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiToolPages.h"
#include <QAction>
#include <QGuiApplication>
#include <QClipboard>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QScreen>
#include <QTextStream>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

TAMainForm::TAMainForm(const QString &programPath, QWidget *parent) : QMainWindow(parent), programPath_(programPath)
{
    FormCreate();
}

TAMainForm::~TAMainForm()
{
    // FormDestroy
    state_.FreeStringList();
}

QString TAMainForm::longTitle()
{
    return QStringLiteral("VORN-KYM  【 二画面ブラウザ：左に一覧、右に閲覧 】");
}

namespace {
// The lower page control lives in a panel of its own in the splitter; while the control is
// hidden the panel hides too, so the tool pages above take the whole height instead of
// leaving an empty band.
class LowerPanelFollower : public QObject {
public:
    LowerPanelFollower(TAMainForm &form) : QObject(&form), f_(form) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent) {
            f_.frame.PanelMainBody->setVisible(e->type() == QEvent::ShowToParent);
            f_.setPanelMainTopHeight(f_.panelMainTopHeight());
        }
        return QObject::eventFilter(o, e);
    }

private:
    TAMainForm &f_;
};

// The search page's top panel is fitted again whenever the page shows or changes its height.
class SearchTopFitter : public QObject {
public:
    SearchTopFitter(TAMainForm &form) : QObject(&form), f_(form) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Show) fitSearchTopHeight(f_);
        return QObject::eventFilter(o, e);
    }

private:
    TAMainForm &f_;
};
} // namespace

void TAMainForm::FormCreate()
{
    setObjectName(QStringLiteral("AMainForm"));
    resize(1557, 864);
    QFont f = font();
    f.setPointSize(9);
    setFont(f);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("AMainFormClient"));
    auto *lay = new QVBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(central);
    FormBuilder b(central);
    frame.build(b);
    frame.Splitter1->setOrientation(Qt::Vertical);
    frame.Splitter1->setHandleWidth(6);
    frame.Splitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: teal; }"));
    frame.PageControlMainBody->installEventFilter(new LowerPanelFollower(*this));
    net.build(b);
    dl.build(b);
    rep.build(b, dl);
    doc.build(b, dl);
    fav.build(b);
    convi.build(b);
    batch.build(b);
    gui.build(b);
    conv.build(b);
    ip.build(b);
    layoutNetSearchPage();
    {
        auto *desc = new QTextBrowser;
        desc->setObjectName(QStringLiteral("MemoDescription"));
        desc->setHtml(DescriptionPageText());
        b.adopt(desc, "PageControlMainTopTab11Desc");
    }
    // The batch viewer's options keep their height; the list and the pages take the rest.
    batch.PanelPageControlMainTopTab07BatchPageView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    // The window's initial state is what "初期状態に戻す" returns to.
    for (TCheckBox *c : {net.CheckBoxBatchSearchBrowse, dl.CheckBoxSaveLocalFile}) c->setChecked(true);
    // The saved copy opens in the desktop's browser only when the user ticks this.
    dl.CheckBoxOpenIE->setChecked(false);

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setPanelWidths({160, 1200, 300, 300, 450, 100});
    setStatusBar(StatusBar1);
    net.StatusBarGoogle->setPanelWidths({200, 600, 300});
    ip.StatusBarTraceRoute->setPanelWidths({300, 300, 600});

    auto timer = [this](TTimer *&t, const char *name, int ms) {
        t = new TTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(ms);
        t->setSingleShot(true);
    };
    timer(TimerWaitforReady, "TimerWaitforReady", 1000);
    timer(TimerWhoisServer, "TimerWhoisServer", 5000);
    timer(TimerGUIIndent, "TimerGUIIndent", 10000);
    timer(TimerGUILocalIndent, "TimerGUILocalIndent", 3000);
    TimerWaitforReady->setSingleShot(false);  // polls the right pane until its page is complete

    buildMenus();

    // Settings path: a default until FormShow finds the file.
    const QFileInfo prog(programPath_);
    state_.GProgramFolder = toSjis(prog.absolutePath() + QLatin1Char('/'));
    state_.GSettingsFile = toSjis(settingsFolder(prog.absolutePath()) + QStringLiteral("VORNKYMB.inf"));
    setWindowTitle(longTitle());

    Initialize();
    state_.CreateStringList();
    state_.TextInitialize();
    ListboxInitialize();
    IndividualInitialize();
    BrowserSetup();
    net.PageControlBaseBrowser->setCurrentWidget(net.PageControlBaseBrowserTab01Browser);
    setLocalAddress();
    setBrowserVersion();
    mainMenuHandlers = new MainMenuHandlers(*this);
    netSearchPage = new NetSearchPage(*this);
    netSearchButtons = new NetSearchButtons(*this);
    favBrowsePage = new FavBrowsePage(*this);
    conviPage = new ConviPage(*this);
    const TConvPageContext convCtx{&state_.GConvText, &state_.GConvFile, &state_.GConvSaveFile,
                                   [this](int h) { setPanelMainTopHeight(h); },
                                   [this] { menu.MenuFileClose->trigger(); }};
    codeConvertPage = new CodeConvertPage(conv, convCtx, this);
    webCodePage = new WebCodePage(conv, convCtx, this);
    GWhoisCli = std::make_shared<TWhoisCli>();
    TWhoisPageContext whoisCtx;
    whoisCtx.TimerWhoisServer = TimerWhoisServer;
    whoisCtx.argumentCount = int(QCoreApplication::arguments().size()) - 1;
    whoisCtx.closeMainWindow = [this] { close(); };
    whoisCtx.clipboardText = [] { return QGuiApplication::clipboard()->text(); };
    whoisCtx.whoisForm = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *f = qobject_cast<TWhoisForm *>(w)) return f;
        return static_cast<TWhoisForm *>(nullptr);
    };
    whoisCtx.setCompanyInfo = [this](const QString &t) { net.MemoPageControlBaseBrowserTab10CompanyInfo->setPlainText(t); };
    UseFixedPitchFont(net.MemoPageControlBaseBrowserTab10CompanyInfo); // the copy of the whois record
    whoisPage = new WhoisPage(ip, *GWhoisCli, whoisCtx, this);
    TTracePageContext traceCtx;
    traceCtx.FTraceInterrupted = &state_.FTraceInterrupted;
    traceCtx.GTraceHopList = &state_.list(SharedList::GTraceHopList);
    traceCtx.localIP = [this] { return state_.GLocalIP; };
    traceCtx.searchUrl = [this] { return net.edGoogleURL->currentText(); };
    traceCtx.favUrl = [this] { return fav.edFavUrl->currentText(); };
    traceCtx.clipboardText = [] { return QGuiApplication::clipboard()->text(); };
    traceCtx.closeMainWindow = [this] { close(); };
    traceRoutePage = new TraceRoutePage(ip, traceCtx, this);
    webGuiEditorTabs = new WebGuiEditorTabs({gui.PageControlGUILeft, dl.PageControlmainBodyRightTab02Download,
                                             gui.PageControlGUIRightTab03OrgHTMLSrcRightTab06CurrentEditor,
                                             &state_.GActiveEditor, &state_.GTempEditor, &state_.GCurrentEditor},
                                            this);
    createWebGuiEditors();
    TIpLookupContext lookupCtx;
    lookupCtx.enableTraceButtons = [this] { traceRoutePage->enableTraceButtons(); };
    lookupCtx.closeMainWindow = [this] { close(); };
    new IpLookupPage(ip, lookupCtx, this);
    const DownloadPageControls dlControls{dl, rep, doc};
    downloadCssPage = new DownloadCssPage(dlControls, downloadContext(), this);
    const DownloadPageContext dlCtx = downloadContext(); // with the " CSS " tab's runs
    downloadAllPage = new DownloadAllPage(dlControls, dlCtx, this);
    browserDocPage = new BrowserDocPage(dlControls, dlCtx, this);
    cssToolsPage = new CssToolsPage(dlControls, dlCtx, this);
    downloadRepairPage = new DownloadRepairPage(dlControls, dlCtx, this);
    webGuiPage = new WebGuiPage(gui, webGuiContext(), this);
    wireWebGuiEditors();
    webGuiTools = new WebGuiToolPages(gui, *webGuiPage, webGuiToolsContext(), this);
    resultSourcePage = new ResultSourcePage(*this);
    batchViewPage = new BatchViewPage(*this);
    traceRoutePage->TraceAllClear();
}

void TAMainForm::layoutNetSearchPage()
{
    net.SplitterGoogleSearch->setOrientation(Qt::Horizontal);
    net.SplitterGoogleSearch->setStretchFactor(1, 1);
    net.PanelPageControlMainTopTab00GoogleSearchLeft->setMinimumWidth(120);
    net.Splitter92->setOrientation(Qt::Horizontal);
    // The panes take the page's height; the URL rows and the status bar keep theirs.
    net.StatusBarGoogle->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    net.PanelPageControlMainTopTab00GoogleSearchRight->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    net.ListBoxBaseBrowser->hide();
    net.RadioGroupGooleSearchType->setItems({QStringLiteral("一般"), QStringLiteral("GoogleBoooks")});
    net.RadioGroupIME->setItems({QStringLiteral("英語"), QStringLiteral("日本語")});
    net.RadioGroupSearchNoList->setItems({QStringLiteral("非表示"), QStringLiteral("表示")});
    for (auto *combo : {net.edGoogleSearch, net.edGoogleURL, net.EditCurrentLinkURL}) combo->setMinimumWidth(260);
    TRowClipper::attach(net.PanelPageControlMainTopTab00GoogleSearchTop);
    frame.PageControlMainTopTab00GoogleSearch->installEventFilter(new SearchTopFitter(*this));
}

void TAMainForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [&](QMenu *&m, const char *name, const QString &caption) {
        m = bar->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
    };
    auto addItem = [&](QMenu *m, QAction *&a, const char *name, const QString &caption, bool checkable = false) {
        a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(checkable);
    };
    addMenu(menu.MenuFile, "MenuFile", QStringLiteral("ﾌｧｲﾙ"));
    addItem(menu.MenuFile, menu.MenuFileClose, "MenuFileClose", QStringLiteral("終了"));
    addMenu(menu.MenuView, "MenuView", QStringLiteral("表示"));
    addItem(menu.MenuView, menu.MenuViewSearchInfoPanel, "MenuViewSearchInfoPanel",
            QStringLiteral("検索情報ﾊﾟﾈﾙを表示しない"), true);
    addItem(menu.MenuView, menu.MenuViewMaximized, "MenuViewMaximized", QStringLiteral("最大画面"), true);
    addItem(menu.MenuView, menu.MenuViewStdTopHeight, "MenuViewStdTopHeight",
            QStringLiteral("ﾄｯﾌﾟ画面の高さを「ｷｰﾜｰﾄﾞ」と「検索結果の一括表示」の「 ２行 」分にする"), true);
    addItem(menu.MenuView, menu.MenuViewSearchList, "MenuViewSearchList", QStringLiteral("検索一覧ﾘｽﾄを表示する"), true);
    addItem(menu.MenuView, menu.MenuViewStayOnTop, "MenuViewStayOnTop", QStringLiteral("常に手前に表示"), true);
    addItem(menu.MenuView, menu.MenuViewSearchPaneSetting, "MenuViewSearchPaneSetting",
            QStringLiteral("検索画面の高さ・幅を固定"));
    addMenu(menu.MenuSettings, "MenuSettings", QStringLiteral("設定"));
    addItem(menu.MenuSettings, menu.MenuSettingsSave, "MenuSettingsSave", QStringLiteral("設定を保存する"));
    addItem(menu.MenuSettings, menu.MenuSettingsInitialyze, "MenuSettingsInitialyze", QStringLiteral("初期状態に戻す"));
    addMenu(menu.MenuFavoriteTop, "MenuFavoriteTop", QStringLiteral("お気に入り（ 【 ２ 】画面連携 ） "));
    addMenu(menu.MenuFavoriteTradTop, "MenuFavoriteTradTop", QStringLiteral("お気に入り（ 補助 ）"));
    addMenu(menu.MenuFavoriteteOneScreenTop, "MenuFavoriteteOneScreenTop", QStringLiteral("お気に入り（【 １ 】画面 ）"));
    addMenu(menu.MenuTopNewspaper, "MenuTopNewspaper", QStringLiteral("新聞・通信社"));
    addMenu(menu.MenuCovinienceSameScreenSetting, "MenuCovinienceSameScreenSetting",
            QStringLiteral("便利なﾍﾟｰｼﾞ（ 【 ２ 】画面連携 ）"));
    addItem(menu.MenuCovinienceSameScreenSetting, menu.MenuConviiTSameScreen, "MenuConviiTSameScreen",
            QStringLiteral("「次へ」のため、同じ「左」画面に表示"), true);
    menu.MenuR2LTop = bar->addAction(QStringLiteral("左 ← 右"));
    menu.MenuR2LTop->setObjectName(QStringLiteral("MenuR2LTop"));
    addMenu(menu.MenuOther, "MenuOther", QStringLiteral("その他"));
    menu.MenuOther->menuAction()->setVisible(false);

    connect(menu.MenuFileClose, &QAction::triggered, this, &QWidget::close);
}

void TAMainForm::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
        if (QWindow *w = windowHandle()) w->installEventFilter(this);
    }
}

bool TAMainForm::eventFilter(QObject *o, QEvent *e)
{
    // The first paint is done when the window's expose has been handled: then the deferred
    // engine pages are made.
    if (e->type() == QEvent::Expose && o == windowHandle()) {
        o->removeEventFilter(this);
        QTimer::singleShot(0, this, [] { startEditorEngines(); });
    }
    return QMainWindow::eventFilter(o, e);
}

void TAMainForm::closeEvent(QCloseEvent *e)
{
    // A running trace is interrupted first; it closes the window again once it has unwound.
    if (traceRoutePage && traceRoutePage->deferClose()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

void TAMainForm::FormClose()
{
    BrowserStop();
    // A download still running is stopped and waited for, so nothing is written after the
    // window has gone.
    if (downloadCssPage) downloadCssPage->engine().StopAndWait();
}

void TAMainForm::BrowserStop()
{
    net.BaseBrowser->Stop();
    net.TargetBrowser->Stop();
    if (FCurrentTargetBrowser) FCurrentTargetBrowser->Stop();
    if (netSearchPage) netSearchPage->tabs().TargetBrowser()->Stop();
    TimerWaitforReady->stop();
    net.btnBatchBrowseStop->setEnabled(true);
    net.btnGoogleSearch->setEnabled(true);
    net.sbYahooSearch->setEnabled(true);
    net.btnBatchKeyWordSearch->setEnabled(true);
}

void TAMainForm::FormShow()
{
    const QString folder = settingsFolder(QFileInfo(programPath_).absolutePath());
    const QString found = GetInf(folder);
    // Without a settings file the default path stays, so a later save makes one that the
    // next start finds.
    if (!found.isEmpty()) {
        state_.GSettingsFile = toSjis(folder + found);
        LoadIniSettings(*this, state_.GSettingsFile);
    }
    if (QScreen *sc = screen()) fitToScreen(sc->availableGeometry(), found.isEmpty());
    if (menu.MenuViewMaximized->isChecked()) showMaximized();
    setWindowTitle(longTitle());
    if (auto *t = gui.PageControlGUIRight) t->setCurrentWidget(gui.PageControlGUIRightTab02AllHTMLSrc);
    convi.PageControlMainTopTab20ConviTop->setCurrentWidget(convi.PageControlMainTopTab20ConviTopTab01Yahoo);
    net.PageControlBaseBrowser->setCurrentWidget(net.PageControlBaseBrowserTab11BrowserSideLink);
    setPanelMainTopHeight(dl.SpinEditMainTopPanelHeight->value());
    setSearchTopHeight(*this, menu.MenuViewStdTopHeight->isChecked() ? 70 : 420);
    frame.PageControlMainTop->setCurrentWidget(frame.PageControlMainTopTab01Main);
    dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab01HTMLSrc);
    frame.PageControlMainTop->setCurrentWidget(frame.PageControlMainTopTab00GoogleSearch);
    net.PageControlBaseBrowser->setCurrentWidget(net.PageControlBaseBrowserTab01Browser);
    // The left pane's 400 pixels grow to two fifths of a wider window, so more of its tabs show.
    const int left = std::max(400, width() * 2 / 5);
    net.SplitterGoogleSearch->setSizes({left, std::max(400, width() - left)});
    loadListFiles();
    state_.GFormShown = true;
}

void TAMainForm::fitToScreen(const QRect &available, bool wholeArea)
{
    // The very first start takes the whole area for the two panes; later starts keep the
    // form's size where the screen has room for it.
    // The frame the window system adds counts against the area too.
    const QRect outer = isVisible() ? frameGeometry() : geometry();
    const QPoint frameTopLeft = geometry().topLeft() - outer.topLeft();
    const QRect room(available.topLeft() + frameTopLeft, available.size() - (outer.size() - geometry().size()));
    setGeometry(wholeArea ? room : FitWindowGeometry(QRect(geometry().topLeft(), QSize(1557, 864)), room));
}

void TAMainForm::loadListFiles()
{
    QString folder = dl.BtnEditHTMLPageSaveFolder->text().trimmed();
    if (folder.isEmpty()) return;
    // The folder joined with a separator, so a folder typed without one still finds its lists.
    const QDir dir(folder);
    const struct {
        const char *file;
        TListBox *box;
    } lists[] = {{"YUrlPathFile.txt", dl.ListBoxAdjusttedCSS},
                 {"YCSSFile.txt", dl.ListBoxDownloadedCSSFile},
                 {"YContent.txt", dl.ListBoxAdjustCSSRoot}};
    for (const auto &l : lists) {
        QFile f(dir.filePath(QString::fromLatin1(l.file)));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = f.readAll();
        StringList lines;
        lines.setText(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
        l.box->clear();
        for (const auto &line : lines.items()) l.box->addItem(fromSjis(line));
    }
}

void TAMainForm::setPanelMainTopHeight(int h)
{
    const int total = std::max(frame.Splitter1->height(), height());
    frame.PanelMainTop->setProperty("vkHeight", h);
    // Pixel heights were set for a large screen: with the lower pages shown, they keep at
    // least a third of the room.
    if (frame.PanelMainBody->isVisibleTo(frame.Splitter1)) h = std::min(h, total - total / 3);
    frame.Splitter1->setSizes({h, std::max(0, total - h)});
}

int TAMainForm::panelMainTopHeight() const
{
    const QVariant v = frame.PanelMainTop->property("vkHeight");
    return v.isValid() ? v.toInt() : frame.PanelMainTop->height();
}

void TAMainForm::MainScreen()
{
    setPanelMainTopHeight(300);
}

void TAMainForm::IndividualInitialize()
{
    state_.GMainWordWrap = true;
}

QList<TWebbrowser *> TAMainForm::formBrowsers() const
{
    return {dl.WebBrowserMain, gui.WebBrowserDownload, gui.WebBrowserLink, net.BaseBrowser, net.TargetBrowser,
            dl.WebBrowserIndividualDownloadImage, batch.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView,
            gui.WebBrowserImageView, dl.WebBrowserFoundWebImageFile, dl.WebBrowserFoundLocalImageFile,
            ip.WebBrowserUGTop, net.WebBrowserPageControlBaseBrowserTab06HTML, net.WebBrowserSideLink,
            net.WebBrowserTrad, convi.WebBrowserYahooMain, convi.WebBrowserYahooDic, convi.WebBrowserYahooMap,
            convi.WebBrowserGoogleMap, convi.WebBrowserWikipedia, convi.WebBrowserNikoniko, convi.WebBrowserYoutube,
            convi.WebBrowserUstream, convi.WebBrowserNHKDoga, convi.WebBrowserUstweet, fav.WebBrowserFavBase,
            fav.WebBrowserFavTarget, fav.WebBrowserFavSideLink};
}

void TAMainForm::BrowserSetup()
{
    for (TWebbrowser *wb : formBrowsers()) {
        wb->Navigate(QStringLiteral("about:blank"));
        if (wb == net.TargetBrowser) FCurrentTargetBrowser = nullptr;
    }
    state_.GDefaultHomeUrl = "https://www.yahoo.co.jp/";
}

void TAMainForm::setLocalAddress()
{
    ip.StatusBarTraceRoute->setPanelText(0, QString());
    state_.GLocalIP = toSjis(localIPv4Address());
    ip.StatusBarTraceRoute->setPanelText(1, QStringLiteral(" 【 ") + fromSjis(state_.GLocalIP) + QStringLiteral(" 】"));
}

void TAMainForm::setBrowserVersion()
{
    const BrowserVersionInfo v = browserVersionInfo(ReadIEValue(QStringLiteral("Version")));
    state_.GIE4To7 = v.ie4to7;
    net.LabelIEVer->setText(v.label);
}

BrowserVersionInfo browserVersionInfo(const QString &version)
{
    BrowserVersionInfo info;
    if (version.isEmpty()) return info;
    const QChar first = version[0];
    info.ie4to7 = first >= QLatin1Char('4') && first <= QLatin1Char('7');
    info.label = first;
    if (version.size() > 1 && version[1] != QLatin1Char('.')) info.label += version[1];
    return info;
}

QString ReadIEValue(const QString &name)
{
    // The engine plays the part of the newer browser generation.
    return name == QLatin1String("Version") ? QStringLiteral("8.0") : QString();
}

QString localIPv4Address()
{
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) return a.toString();
    return QString();
}

QString GetInf(const QString &folder)
{
    const QDir dir(folder);
    const QFileInfoList hits = dir.entryInfoList({QStringLiteral("VORNKYMB*.inf")}, QDir::Files | QDir::Hidden, QDir::Name);
    return hits.isEmpty() ? QString() : hits.first().fileName();
}

QString settingsFolder(const QString &programFolder)
{
    QFileInfo fi(programFolder);
    if (fi.isDir() && fi.isWritable()) return QDir(programFolder).absolutePath() + QLatin1Char('/');
    const QString cfg = QDir::homePath() + QStringLiteral("/.config/VORN-KYM/");
    QDir().mkpath(cfg);
    return cfg;
}
