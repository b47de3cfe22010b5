#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/FavoritesMenu.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/LinkRouting.h"
#include "mainwindow/MainMenuHandlers.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/SiteUrls.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {
std::string sjis(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
bool isHttp(const std::string &s) { return s.rfind("http://", 0) == 0 || s.rfind("https://", 0) == 0; }

struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

FavBrowsePage::FavBrowsePage(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &fv = f_.fav;
    front_ = fv.WebBrowserFavTarget;
    for (QWidget *w : {static_cast<QWidget *>(fv.btnFavSearch), static_cast<QWidget *>(fv.btnFavFirst),
                       static_cast<QWidget *>(fv.btnFavNext)})
        w->hide();
    fv.PanelPageControlMainTopTab13FavariteBrowse->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    fv.SplitterFavBrowse->setOrientation(Qt::Horizontal);
    // The list of links and the page it opens share the width.
    fv.SplitterFavBrowse->setStretchFactor(0, 2);
    fv.SplitterFavBrowse->setStretchFactor(1, 3);
    for (auto *combo : {fv.edFavUrl, fv.edFavTarget}) {
        combo->setEditable(true);
        combo->setMinimumWidth(300);
    }

    auto click = [this](QAbstractButton *b, void (FavBrowsePage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(fv.sbFavNav, &FavBrowsePage::sbFavNavClick);
    click(fv.btnFavBasePaste, &FavBrowsePage::btnFavBasePasteClick);
    click(fv.sbFavTargeGo, &FavBrowsePage::sbFavTargeGoClick);
    click(fv.btnFavTargetPaste, &FavBrowsePage::btnFavTargetPasteClick);
    click(fv.btnFavTargetR2L, &FavBrowsePage::btnFavTargetR2LClick);
    click(fv.sbFavBack, &FavBrowsePage::sbFavBackClick);
    click(fv.sbFavTargetBack, &FavBrowsePage::sbFavTargetBackClick);
    click(fv.sbFavBaseOpenIE, &FavBrowsePage::sbFavBaseOpenIEClick);
    click(fv.sbFavTargetOpenIE, &FavBrowsePage::sbFavTargetOpenIEClick);
    click(fv.btnFavOnce, &FavBrowsePage::btnFavOnceClick);
    click(fv.Button1, &FavBrowsePage::Button1Click);
    click(fv.sbFavExit, &FavBrowsePage::sbFavExitClick);
    click(fv.sbFavBrowseShrink, &FavBrowsePage::sbFavBrowseShrinkClick);
    click(fv.btnBrowseSideTop, &FavBrowsePage::btnBrowseSideTopClick);
    click(fv.btnBrowseSideTopOpeIE, &FavBrowsePage::btnBrowseSideTopOpeIEClick);
    if (QLineEdit *le = fv.edFavUrl->lineEdit()) connect(le, &QLineEdit::returnPressed, this, [this] { sbFavNavClick(); });
    if (QLineEdit *le = fv.edFavTarget->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { sbFavTargeGoClick(); });
    connect(f_.menu.MenuConviiTSameScreen, &QAction::triggered, this, &FavBrowsePage::MenuConviiTSameScreenClick);

    FFavBaseDocSink.setOnClick([this](const DocEvent &e) { return WebBrowserFavBaseDocumentClick(e); });
    FFavTargetDocSink.setOnClick([this](const DocEvent &e) { return WebBrowserFavTargetDocumentClick(e); });
    FFavTargetDocSink.setOnDblClick([this](const DocEvent &e) { return WebBrowserFavTargetDocumentDblClick(e); });
    wireBase();
    wireTarget(fv.WebBrowserFavTarget);
    connect(fv.PageControlFavBrowsRight, &QTabWidget::currentChanged, this, [this] { PageControlFavBrowsRightChange(); });
    buildPopup();
    buildFavoritesMenus();
    buildSiteMenus();
}

FavBrowsePage::~FavBrowsePage() = default;

// --- menus ------------------------------------------------------------------------------

void FavBrowsePage::buildFavoritesMenus()
{
    // One scan serves the three menus; they show the folder as it was at start.
    auto tree = std::make_shared<const std::vector<FavoriteNode>>(ScanFavorites(FavoritesFolder()));
    QMenu *tops[3] = {f_.menu.MenuFavoriteTop, f_.menu.MenuFavoriteTradTop, f_.menu.MenuFavoriteteOneScreenTop};
    void (FavBrowsePage::*handlers[3])(QAction *, const QString &) = {&FavBrowsePage::FavoritesMenuUrlClick,
                                                                        &FavBrowsePage::FavoritesTradMenuUrlClick,
                                                                        &FavBrowsePage::FavoritesOneScreenMenuUrlClick};
    for (int i = 0; i < 3; ++i) {
        auto *m = new TFavoritesMenu(f_.menuBar());
        m->setObjectName(QStringLiteral("FavoritesMenu%1").arg(i + 1));
        m->MenuItem = tops[i];
        connect(m, &TFavoritesMenu::OnUrlClick, this, handlers[i]);
        m->Build(tree);
        favMenus_[i] = m;
    }
}

void FavBrowsePage::buildSiteMenus()
{
    const std::string base = SiteBase();
    auto addRows = [&](QMenu *menu, const std::vector<SiteRow> &rows) {
        QMenu *sub = nullptr;
        for (const SiteRow &r : rows) {
            QMenu *parent = menu;
            if (*r.submenu) {
                if (!sub) {
                    sub = menu->addMenu(QStringLiteral("FinancialTimes"));
                    sub->setObjectName(QString::fromLatin1(r.submenu));
                }
                parent = sub;
            }
            QAction *a = parent->addAction(QString::fromUtf8(r.caption));
            a->setObjectName(QString::fromLatin1(r.item));
            const std::string url = SiteUrl(r, base);
            a->setEnabled(!url.empty());
            const bool encyclopedia = QLatin1String(r.item) == QLatin1String("MenuCovinienceWikipedia");
            connect(a, &QAction::triggered, this, [this, url, encyclopedia] {
                // Text boxes of the encyclopedia's pages take clicks: nothing opens on the right.
                if (encyclopedia) f_.fav.CheckBoxIgnoreClickFavBrowse->setChecked(true);
                NavNewspaper(url);
            });
        }
    };
    addRows(f_.menu.MenuTopNewspaper, NewsSites());
    QMenu *conv = f_.menu.MenuCovinienceSameScreenSetting;
    // The sites come before the net search's same-screen switch.
    QAction *first = conv->actions().value(0);
    QMenu scratch;
    addRows(&scratch, ConvenienceSites());
    for (QAction *a : scratch.actions()) {
        scratch.removeAction(a);
        a->setParent(conv);
        conv->insertAction(first, a);
    }
    if (first) conv->insertSeparator(first);
}

QAction *FavBrowsePage::siteAction(const QString &Name) const
{
    for (QMenu *m : {f_.menu.MenuTopNewspaper, f_.menu.MenuCovinienceSameScreenSetting})
        if (auto *a = m->findChild<QAction *>(Name)) return a;
    for (QMenu *m : {f_.menu.MenuTopNewspaper, f_.menu.MenuCovinienceSameScreenSetting})
        for (QAction *a : m->actions()) {
            if (a->objectName() == Name) return a;
            if (a->menu())
                for (QAction *s : a->menu()->actions())
                    if (s->objectName() == Name) return s;
        }
    return nullptr;
}

void FavBrowsePage::FavoritesMenuUrlClick(QAction *, const QString &Url) { NavNewspaper(sjis(Url)); }

namespace {
// A favourite shown in an ordinary pane of another page: that page in front, the pane
// navigating, its box and the window's caption showing the URL.
void openFavouriteIn(TAMainForm &f, QWidget *page, QTabWidget *tabs, QWidget *tab, TWebbrowser *wb, QComboBox *box,
                     const QString &Url)
{
    BusyCursor busy;
    f.frame.PageControlMainTop->setCurrentWidget(page);
    tabs->setCurrentWidget(tab);
    wb->Navigate(Url);
    box->setEditText(Url);
    f.netSearchPage->tabs().SetTargetUrlCaption(sjis(Url));
    WaitWhileBrowserBusy(wb);
}
} // namespace

void FavBrowsePage::FavoritesTradMenuUrlClick(QAction *, const QString &Url)
{
    auto &n = f_.net;
    openFavouriteIn(f_, f_.frame.PageControlMainTopTab00GoogleSearch, n.PageControlBaseBrowser,
                    n.PageControlBaseBrowserTab12BrowserSideAux, n.WebBrowserTrad,
                    n.EditPageControlBaseBrowserTab12BrowserTrad, Url);
}

void FavBrowsePage::FavoritesOneScreenMenuUrlClick(QAction *, const QString &Url)
{
    auto &c = f_.convi;
    openFavouriteIn(f_, f_.frame.PageControlMainTopTab20Convi, c.PageControlMainTopTab20ConviTop,
                    c.PageControlMainTopTab20ConviTopTab01Yahoo, c.WebBrowserYahooMain, c.edOneScreenUrl, Url);
}

void FavBrowsePage::MenuConviiTSameScreenClick(bool checked) { f_.net.btnOnceBaseBrowse->setEnabled(!checked); }

void FavBrowsePage::ClearEditCurrentLinkURL()
{
    f_.net.EditCurrentLinkURL->clear();
    f_.net.EditCurrentLinkURL->setEditText(QString());
    auto *aux = f_.net.EditPageControlBaseBrowserTab12BrowserTrad;
    const QString text = aux->currentText();
    aux->clear();
    aux->setEditText(text);
}

// --- opening a site -----------------------------------------------------------------------

void FavBrowsePage::NavNewspaper(const std::string &Url)
{
    const std::string url = Trim(Url);
    if (!isHttp(url)) return;
    auto &fv = f_.fav;
    auto &st = f_.state();
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab13FavariteBrowse);
    fv.PageControlBrowseLeft->setCurrentWidget(fv.PageControlFavBrowseLeftTab01Browse);
    if (!fv.CheckBoxCloseFavNewSearch->isChecked()) {
        CloseAllFavTargetBrowser();
        st.GFavTargetTabCount = 0;
    }
    f_.setPanelMainTopHeight(f_.dl.SpinEditMainTopPanelHeight->value());
    const QString u = qs(url);
    fv.edFavTarget->setEditText(QString());
    fv.edFavUrl->setEditText(u);
    f_.ip.edtHost->setEditText(u);
    f_.net.edGoogleURL->setEditText(QString());
    fv.WebBrowserFavBase->Navigate(u);
    f_.gui.ComboBoxGUIEditorURL->setEditText(u);
    f_.dl.BtnEditDownloadLocalFile->clear();
    f_.netSearchPage->tabs().SetTargetUrlCaption(url);
}

// --- buttons ------------------------------------------------------------------------------

void FavBrowsePage::sbFavNavClick()
{
    const std::string url = Trim(sjis(f_.fav.edFavUrl->currentText()));
    if (!IsHttpUrl(url)) return;
    f_.fav.PageControlBrowseLeft->setCurrentWidget(f_.fav.PageControlFavBrowseLeftTab01Browse);
    f_.fav.WebBrowserFavBase->Navigate(qs(url));
}

void FavBrowsePage::btnFavBasePasteClick()
{
    f_.fav.edFavUrl->setEditText(QApplication::clipboard()->text());
    sbFavNavClick();
}

void FavBrowsePage::sbFavTargeGoClick()
{
    const std::string url = Trim(sjis(f_.fav.edFavTarget->currentText()));
    if (IsHttpUrl(url)) WebBrowserFavTarget()->Navigate(qs(url));
}

void FavBrowsePage::btnFavTargetPasteClick()
{
    f_.fav.edFavTarget->setEditText(QApplication::clipboard()->text());
    sbFavTargeGoClick();
}

void FavBrowsePage::btnFavTargetR2LClick()
{
    const QString t = f_.fav.edFavTarget->currentText();
    if (Trim(sjis(t)).empty()) return;
    f_.fav.edFavUrl->setEditText(t);
    sbFavNavClick();
}

void FavBrowsePage::sbFavBackClick() { BrowserGoBackSafe(f_.fav.WebBrowserFavBase); }
void FavBrowsePage::sbFavTargetBackClick() { BrowserGoBackSafe(WebBrowserFavTarget()); }

void FavBrowsePage::sbFavBaseOpenIEClick()
{
    const std::string u = sjis(f_.fav.edFavUrl->currentText());
    if (isHttp(u)) OpenInDesktopBrowser(&f_, u);
}

void FavBrowsePage::sbFavTargetOpenIEClick()
{
    const std::string u = sjis(f_.fav.edFavTarget->currentText());
    if (isHttp(u)) OpenInDesktopBrowser(&f_, u);
}

void FavBrowsePage::btnFavOnceClick() { f_.fav.btnFavOnce->setEnabled(false); }

void FavBrowsePage::Button1Click()
{
    CloseAllFavTargetBrowser();
    f_.fav.edFavTarget->setEditText(QString());
    f_.netSearchPage->tabs().SetTargetUrlCaption("");
}

void FavBrowsePage::sbFavExitClick() { f_.mainMenuHandlers->MenuFileCloseClick(); }

void FavBrowsePage::sbFavBrowseShrinkClick() { f_.fav.PanelPageControlMainTopTab13FavariteBrowse->setFixedHeight(36); }

void FavBrowsePage::btnBrowseSideTopClick()
{
    const std::string url = Trim(sjis(f_.fav.EditBrowsehUrl->text()));
    if (url.find("http://") == std::string::npos && url.find("https://") == std::string::npos) return;
    f_.fav.edFavUrl->setEditText(qs(url));
    f_.frame.PageControlMainTop->setCurrentWidget(f_.frame.PageControlMainTopTab13FavariteBrowse);
    f_.fav.PageControlBrowseLeft->setCurrentWidget(f_.fav.PageControlFavBrowseLeftTab01Browse);
    sbFavNavClick();
}

void FavBrowsePage::btnBrowseSideTopOpeIEClick()
{
    const std::string url = Trim(sjis(f_.fav.EditBrowsehUrl->text()));
    if (url.find("http://") != std::string::npos || url.find("https://") != std::string::npos) OpenInDesktopBrowser(&f_, url);
}

// --- the right pane -----------------------------------------------------------------------

TWebbrowser *FavBrowsePage::WebBrowserFavTarget() const { return front_ ? front_.data() : f_.fav.WebBrowserFavTarget; }

QWidget *FavBrowsePage::CreateFavTargetTab(const std::string &Url, const std::string &CaptionUrl)
{
    auto *pc = f_.fav.PageControlFavBrowsRight;
    auto *sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("FavTargetRunTimeTab"));
    auto *lay = new QVBoxLayout(sheet);
    lay->setContentsMargins(0, 0, 0, 0);
    const int index = pc->addTab(sheet, QString());
    pc->setTabText(index, QString::number(pc->count()) + QStringLiteral(". ") + qs(UrlToTabCaption(CaptionUrl)));
    pc->setTabToolTip(index, qs(Url));
    auto *wb = new TWebbrowser(sheet);
    wb->setSilent(true);
    lay->addWidget(wb);
    wireTarget(wb);
    front_ = wb;
    pc->setCurrentIndex(index);
    if (!Trim(Url).empty()) {
        wb->Navigate(qs(Url));
        SetGUIUrl(f_, Url);
        BusyCursor busy;
        WaitWhileBrowserBusy(wb);
    }
    return sheet;
}

void FavBrowsePage::CloseAllFavTargetBrowser()
{
    auto &fv = f_.fav;
    auto *pc = fv.PageControlFavBrowsRight;
    WaitWhileBrowserBusy(fv.WebBrowserFavBase, 5000);
    WaitWhileBrowserBusy(WebBrowserFavTarget(), 5000);
    while (pc->count() > 1) {
        QWidget *sheet = pc->widget(1);
        pc->removeTab(1);
        delete sheet;  // its browser and engine page go with it
    }
    auto &st = f_.state();
    st.GFavTargetTabCount = 0;
    front_ = fv.WebBrowserFavTarget;
    fv.WebBrowserFavTarget->Navigate(QStringLiteral("about:blank"));
    pc->setTabText(0, QString());
    pc->setTabToolTip(0, QString());
    st.GFavTargetHoverUrl.clear();
    fv.btnFavOnce->setEnabled(true);
}

void FavBrowsePage::PopupTabBrowseMenuCloseClick()
{
    auto &fv = f_.fav;
    auto *pc = fv.PageControlFavBrowsRight;
    TWebbrowser *wb = WebBrowserFavTarget();
    wb->Stop();
    if (wb->ReadyState() == TWebbrowser::ReadyComplete) {
        WaitWhileBrowserBusy(wb, 5000);
        const int i = pc->currentIndex();
        if (i > 0) {
            QWidget *sheet = pc->widget(i);
            pc->removeTab(i);
            delete sheet;
        } else {
            pc->setTabText(0, QStringLiteral("  "));
            pc->setTabToolTip(0, QString());
            fv.WebBrowserFavTarget->Navigate(QStringLiteral("about:blank"));
            f_.state().GFavTargetTabCount = 0;
        }
    }
    QWidget *cur = pc->currentWidget();
    TWebbrowser *now = pc->currentIndex() <= 0 ? fv.WebBrowserFavTarget : (cur ? cur->findChild<TWebbrowser *>() : nullptr);
    front_ = now ? now : fv.WebBrowserFavTarget;
    QApplication::restoreOverrideCursor();
}

void FavBrowsePage::PopupTabBrowseMenuCloseWithoutSaveAllClick()
{
    auto &st = f_.state();
    CloseAllFavTargetBrowser();
    // Read in order, the count is 0 here: the next link goes to the fixed tab.
    if (st.GFavTargetTabCount > 1) st.GFavTargetTabCount = 1;
    f_.fav.edFavTarget->setEditText(QString());
    f_.netSearchPage->tabs().SetTargetUrlCaption("");
}

void FavBrowsePage::PageControlFavBrowsRightChange()
{
    if (!f_.state().GFormShown) return;
    auto *pc = f_.fav.PageControlFavBrowsRight;
    QWidget *cur = pc->currentWidget();
    if (!cur) return;
    TWebbrowser *wb = pc->currentIndex() == 0 ? f_.fav.WebBrowserFavTarget : cur->findChild<TWebbrowser *>();
    if (wb) {
        front_ = wb;
        // The sink follows the browser in front, so its clicks reach the side pane.
        if (wb->hasDocument()) FFavTargetDocSink.Connect(wb);
    }
    const QString hint = pc->tabToolTip(pc->currentIndex());
    f_.fav.edFavTarget->setEditText(hint);
    f_.netSearchPage->tabs().SetTargetUrlCaption(sjis(hint));
}

std::string FavBrowsePage::GetFavTargetTabCaption()
{
    if (!f_.state().GFormShown) return {};
    auto *pc = f_.fav.PageControlFavBrowsRight;
    if (QWidget *cur = pc->currentWidget()) {
        TWebbrowser *wb = pc->currentIndex() == 0 ? f_.fav.WebBrowserFavTarget : cur->findChild<TWebbrowser *>();
        if (wb) front_ = wb;
    }
    return sjis(pc->tabToolTip(pc->currentIndex()));
}

void FavBrowsePage::buildPopup()
{
    auto *pc = f_.fav.PageControlFavBrowsRight;
    popup_ = new QMenu(pc);
    popup_->setObjectName(QStringLiteral("PopupTabBrowseMenu"));
    auto add = [&](const char *name, const QString &caption, auto fn) {
        QAction *a = popup_->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, fn);
    };
    add("PopupTabBrowseMenuClose", QStringLiteral("閉じる"), [this] { PopupTabBrowseMenuCloseClick(); });
    add("PopupTabBrowswMenuCloseWithoutSave", QStringLiteral("ＩＥ（ Internet Explorer ）で表示する"), [this] {
        const std::string u = GetFavTargetTabCaption();
        if (isHttp(u)) OpenInDesktopBrowser(&f_, u);
    });
    add("PopupTabBrowseMenuCloseWithoutSaveAll", QStringLiteral("一括で閉じる"),
        [this] { PopupTabBrowseMenuCloseWithoutSaveAllClick(); });
    add("PopupTabBrowseMenuCloseUrl2Clipboard", QStringLiteral("「 Ｕｒｌ 」をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰする（ 入れる ）"), [this] {
        const std::string u = GetFavTargetTabCaption();
        if (isHttp(u)) QApplication::clipboard()->setText(qs(u));
    });
    pc->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pc, &QWidget::customContextMenuRequested, this,
            [this, pc](const QPoint &p) { popup_->popup(pc->mapToGlobal(p)); });
}

// --- browser events -----------------------------------------------------------------------

void FavBrowsePage::wireBase()
{
    TWebbrowser *base = f_.fav.WebBrowserFavBase;
    connect(base, &TWebbrowser::StatusTextChange, this, &FavBrowsePage::WebBrowserFavBaseStatusTextChange);
    connect(base, &TWebbrowser::BeforeNavigate2, this, [this](const QString &, bool *) { FFavBaseDocSink.Disconnect(); });
    connect(base, &TWebbrowser::NavigateComplete2, this,
            [this](const QString &) { FFavBaseDocSink.Connect(f_.fav.WebBrowserFavBase); });
    connect(base, &TWebbrowser::DocumentComplete, this, [this](const QString &) {
        const QString url = f_.fav.WebBrowserFavBase->LocationURL();
        if (url != QLatin1String("about:blank")) f_.fav.edFavUrl->setEditText(url);
        QApplication::restoreOverrideCursor();
    });
    // A page's request for a window becomes a right tab; nothing opens outside the program.
    connect(base, &TWebbrowser::NewWindow2, this, [this](const QString &url, TWebbrowser **target, bool *cancel) {
        auto &st = f_.state();
        const std::string link = sjis(url);
        if (f_.fav.WebBrowserFavBase->ReadyState() != TWebbrowser::ReadyComplete || !isHttp(link)) {
            *cancel = true;
            return;
        }
        f_.fav.edFavTarget->setEditText(url);
        if (!CreateFavTargetTab("", link)) {
            *cancel = true;
            return;
        }
        auto *pc = f_.fav.PageControlFavBrowsRight;
        pc->setTabToolTip(pc->currentIndex(), url);
        ++st.GFavTargetTabCount;
        *target = WebBrowserFavTarget();
    });
}

void FavBrowsePage::wireTarget(TWebbrowser *wb)
{
    QPointer<TWebbrowser> p(wb);
    connect(wb, &TWebbrowser::StatusTextChange, this, &FavBrowsePage::WebBrowserFavTargetStatusTextChange);
    connect(wb, &TWebbrowser::BeforeNavigate2, this, [this, p](const QString &, bool *) {
        if (FFavTargetDocSink.source() == p) FFavTargetDocSink.Disconnect();
    });
    connect(wb, &TWebbrowser::NavigateComplete2, this, [this, p](const QString &) {
        if (p && p == WebBrowserFavTarget()) FFavTargetDocSink.Connect(p);
    });
    connect(wb, &TWebbrowser::NewWindow2, this, [this, p](const QString &url, TWebbrowser **target, bool *cancel) {
        auto &st = f_.state();
        const std::string link = sjis(url);
        *cancel = true;
        if (!p || st.GFavTargetHoverUrl.empty() || p->ReadyState() != TWebbrowser::ReadyComplete || !isHttp(link))
            return;
        if (!CheckPDF(link)) {
            OpenInDesktopBrowser(&f_, link);
            return;
        }
        if (!CreateFavTargetTab("", link)) return;
        auto *pc = f_.fav.PageControlFavBrowsRight;
        pc->setTabToolTip(pc->currentIndex(), url);
        *cancel = false;
        *target = WebBrowserFavTarget();
    });
}

void FavBrowsePage::WebBrowserFavBaseStatusTextChange(const QString &text)
{
    auto &st = f_.state();
    st.GFavBaseHoverUrl = NextHoverUrl(sjis(text), st.GFavBaseHoverUrl);
}

void FavBrowsePage::WebBrowserFavTargetStatusTextChange(const QString &text)
{
    auto &st = f_.state();
    st.GFavTargetHoverUrl = NextHoverUrl(sjis(text), st.GFavTargetHoverUrl);
}

bool FavBrowsePage::WebBrowserFavBaseDocumentClick(const DocEvent &e)
{
    auto &st = f_.state();
    auto &fv = f_.fav;
    st.GBatchMode = false;
    WaitWhileBrowserBusy(fv.WebBrowserFavBase, 5000);
    WaitWhileBrowserBusy(WebBrowserFavTarget(), 5000);
    RouteInput in;
    in.hoverUrl = st.GFavBaseHoverUrl;
    in.clickedHref = sjis(e.href);
    in.clickedElement = e.hasElement;
    in.ignoreClick = fv.CheckBoxIgnoreClickFavBrowse->isChecked();
    in.sameScreenOnce = !fv.btnFavOnce->isEnabled();
    in.targetTabCount = st.GFavTargetTabCount;
    in.dontCreateTab = fv.CheckBoxDontCreateFavTargetTab->isChecked();
    in.policy = FavoritesRoutePolicy();
    const RouteDecision d = RouteLeftClick(in);
    switch (d.action) {
    case RouteAction::None:
    case RouteAction::EngineLink: return false;
    case RouteAction::OpenExternal: OpenInDesktopBrowser(&f_, d.url); return false;
    case RouteAction::SamePane:
        fv.WebBrowserFavBase->Navigate(qs(d.url));
        fv.btnFavOnce->setEnabled(true);
        return false;
    case RouteAction::FrontBrowser:
    case RouteAction::NewTab: break;
    }
    fv.CheckBoxIgnoreClickFavBrowse->setChecked(false);
    f_.netSearchPage->tabs().SetTargetUrlCaption(d.url);
    SetGUIUrl(f_, d.url);
    if (d.action == RouteAction::NewTab) {
        if (CreateFavTargetTab(d.url, d.captionUrl)) {
            fv.edFavTarget->setEditText(qs(d.url));
            ++st.GFavTargetTabCount;
        }
        return false;
    }
    auto *pc = fv.PageControlFavBrowsRight;
    WebBrowserFavTarget()->Navigate(qs(d.url));
    pc->setTabText(pc->currentIndex(), QStringLiteral("1. ") + qs(UrlToTabCaption(d.url)));
    pc->setTabToolTip(pc->currentIndex(), qs(d.url));
    fv.edFavTarget->setEditText(qs(d.url));
    ++st.GFavTargetTabCount;
    return false;
}

bool FavBrowsePage::WebBrowserFavTargetDocumentClick(const DocEvent &e)
{
    auto &st = f_.state();
    auto &fv = f_.fav;
    WaitWhileBrowserBusy(WebBrowserFavTarget(), 5000);
    const std::string link = ClickedLink(sjis(e.href), e.hasElement, st.GFavTargetHoverUrl);
    if (link.empty() || fv.CheckBoxIgnoreClickFavBrowse->isChecked()) return false;
    if (CheckFileBrowserLink(link)) {
        if (!isHttp(link)) return false;
        fv.PageControlBrowseLeft->setCurrentWidget(fv.PageControlBrowseLeftTab02SideLink);
        fv.EditBrowsehUrl->setText(qs(link));
        fv.WebBrowserFavSideLink->Navigate(qs(link));
        SetGUIUrl(f_, link);
    } else {
        OpenInDesktopBrowser(&f_, link);
    }
    return false;
}

bool FavBrowsePage::WebBrowserFavTargetDocumentDblClick(const DocEvent &e)
{
    const std::string link = ClickedLink(sjis(e.href), e.hasElement, f_.state().GFavTargetHoverUrl);
    if (isHttp(link)) OpenInDesktopBrowser(&f_, link);
    return false;
}
