// The favourites page, the favourites, news and convenience menus and the convenient page
// on a real (offscreen) window, with a temporary home folder and every site on a local
// server.
#include "mainwindow/ConviPage.h"
#include "mainwindow/FavBrowsePage.h"
#include "mainwindow/FavoritesMenu.h"
#include "mainwindow/LinkRoutingPage.h"
#include "mainwindow/NetSearchButtons.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TAMainForm.h"
#include "mainwindow/TargetTabs.h"
#include "platform/QtSjis.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>

namespace {
std::string page(const std::string &title, const std::string &body = "")
{
    return "<html><head><title>" + title + "</title></head><body><p>" + title + "</p>" + body + "</body></html>";
}

// Every path the server was asked for, and a page for each.
struct Site {
    TestHttpServer srv;
    std::mutex mu;
    std::vector<std::string> asked;
    Site()
    {
        srv.server().Get(R"(.*)", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard<std::mutex> l(mu);
                if (req.path != "/favicon.ico") asked.push_back(req.path);
            }
            res.set_content(page(req.path, "<a id='a' href='/a'>a</a> <a id='doc' href='/d.pdf'>pdf</a>"), "text/html");
        });
        srv.start();
    }
    std::string url(const std::string &p) const { return srv.url(p); }
    std::string base() const { return srv.url(""); }
    std::vector<std::string> requests()
    {
        std::lock_guard<std::mutex> l(mu);
        return asked;
    }
    int count(const std::string &path)
    {
        std::lock_guard<std::mutex> l(mu);
        return static_cast<int>(std::count(asked.begin(), asked.end(), path));
    }
};

struct EnvVar {
    QByteArray name, old;
    bool had;
    EnvVar(const char *n, const QByteArray &v) : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n)) { qputenv(n, v); }
    ~EnvVar()
    {
        if (had) qputenv(name.constData(), old);
        else qunsetenv(name.constData());
    }
};

void writeShortcut(const QString &path, const std::string &url)
{
    std::ofstream(path.toStdString(), std::ios::binary) << "[InternetShortcut]\r\nURL=" << url << "\r\n";
}

// A window whose home folder and sites are the test's own.
struct Form {
    QTemporaryDir dir, home;
    EnvVar homeVar, siteVar;
    std::unique_ptr<TAMainForm> form;
    explicit Form(const std::string &siteBase, const std::function<void(const QString &)> &favorites = {})
        : homeVar("HOME", home.path().toUtf8()), siteVar("VK_SITE_BASE", QByteArray::fromStdString(siteBase))
    {
        if (favorites) {
            QDir(home.path()).mkpath(QStringLiteral("Favorites"));
            favorites(home.path() + QStringLiteral("/Favorites"));
        }
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    ~Form() { form->close(); }
    TAMainForm *operator->() { return form.get(); }
    FavBrowsePage &fav() { return *form->favBrowsePage; }
};

bool waitLoaded(TWebbrowser *wb, int ms = 15000)
{
    return waitUntil([wb] { return wb->hasView() && !wb->Busy(); }, ms);
}
bool waitAt(TWebbrowser *wb, const QString &tail, int ms = 15000)
{
    return waitUntil([&] { return !wb->Busy() && wb->LocationURL().endsWith(tail); }, ms);
}

QAction *findItem(QMenu *menu, const QString &caption)
{
    for (QAction *a : menu->actions())
        if (a->text() == caption) return a;
    return nullptr;
}

struct Launches {
    std::vector<std::string> urls;
    BrowserLauncher old;
    Launches()
    {
        old = SetBrowserLauncher([this](const std::vector<std::string> &argv) {
            urls.push_back(argv.back());
            return true;
        });
    }
    ~Launches() { SetBrowserLauncher(old); }
};

DocEvent click(const std::string &href) { return {QStringLiteral("click"), QString::fromStdString(href)}; }
} // namespace

TEST(FavouritesMenus, EachMenuOpensAFavouriteInItsOwnPane)
{
    Site site;
    Form f(site.base(), [&](const QString &fav) {
        QDir(fav).mkpath(QStringLiteral("News & more"));
        writeShortcut(fav + QStringLiteral("/Site.url"), site.url("/fav1"));
        writeShortcut(fav + QStringLiteral("/News & more/Inner.url"), site.url("/fav2"));
        writeShortcut(fav + QStringLiteral("/Q&A.url"), site.url("/qa"));
    });
    QMenu *tops[3] = {f->menu.MenuFavoriteTop, f->menu.MenuFavoriteTradTop, f->menu.MenuFavoriteteOneScreenTop};
    for (QMenu *m : tops) {
        ASSERT_EQ(m->actions().size(), 3);
        EXPECT_EQ(m->actions()[0]->text(), QStringLiteral("News && more"));
        ASSERT_NE(m->actions()[0]->menu(), nullptr);
        EXPECT_EQ(m->actions()[1]->text(), QStringLiteral("Q&&A"));
        EXPECT_EQ(m->actions()[2]->text(), QStringLiteral("Site"));
        EXPECT_EQ(m->actions()[2]->toolTip(), QString::fromStdString(site.url("/fav1")));
        QMenu *sub = m->actions()[0]->menu();
        EXPECT_TRUE(sub->actions().isEmpty()) << "filled when first opened";
        TFavoritesMenu::populate(sub);
        ASSERT_EQ(sub->actions().size(), 1);
        EXPECT_EQ(sub->actions()[0]->text(), QStringLiteral("Inner"));
        TFavoritesMenu::populate(sub);
        EXPECT_EQ(sub->actions().size(), 1);
    }
    EXPECT_EQ(f->menu.MenuFavoriteTop->title(), QStringLiteral("お気に入り（ 【 ２ 】画面連携 ） "));

    // The first menu: the favourites page's left pane.
    tops[0]->actions()[0]->menu()->actions()[0]->trigger();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab13FavariteBrowse);
    EXPECT_TRUE(waitAt(f->fav.WebBrowserFavBase, QStringLiteral("/fav2")));
    EXPECT_TRUE(f->fav.edFavUrl->currentText().endsWith(QStringLiteral("/fav2")));

    // The second: the net search's auxiliary browser and its box.
    tops[1]->actions()[2]->trigger();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab00GoogleSearch);
    EXPECT_EQ(f->net.PageControlBaseBrowser->currentWidget(), f->net.PageControlBaseBrowserTab12BrowserSideAux);
    EXPECT_TRUE(waitAt(f->net.WebBrowserTrad, QStringLiteral("/fav1")));
    EXPECT_TRUE(f->net.EditPageControlBaseBrowserTab12BrowserTrad->currentText().endsWith(QStringLiteral("/fav1")));
    EXPECT_TRUE(f->windowTitle().contains(QStringLiteral("/fav1")));

    // The third: the convenient page's free browser and its box.
    tops[2]->actions()[1]->trigger();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab20Convi);
    EXPECT_EQ(f->convi.PageControlMainTopTab20ConviTop->currentIndex(), 0);
    EXPECT_TRUE(waitAt(f->convi.WebBrowserYahooMain, QStringLiteral("/qa")));
    EXPECT_TRUE(f->convi.edOneScreenUrl->currentText().endsWith(QStringLiteral("/qa")));
}

TEST(FavouritesMenus, MissingFolderLeavesTheMenusEmpty)
{
    Form f("http://127.0.0.1:1");
    EXPECT_TRUE(f->menu.MenuFavoriteTop->actions().isEmpty());
    EXPECT_TRUE(f->menu.MenuFavoriteTradTop->actions().isEmpty());
    EXPECT_TRUE(f->menu.MenuFavoriteteOneScreenTop->actions().isEmpty());
}

TEST(FavBrowse, NavNewspaperTakesOnlyWebAddressesAndClosesOrKeepsTheRightTabs)
{
    Site site;
    Form f(site.base());
    FavBrowsePage &p = f.fav();
    auto &fv = f->fav;
    for (const char *bad : {"non url", "/etc/passwd", "ftp://x.jp/", ""}) {
        p.NavNewspaper(bad);
        EXPECT_NE(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab13FavariteBrowse) << bad;
        EXPECT_FALSE(fv.WebBrowserFavBase->Busy()) << bad;
    }
    p.NavNewspaper("  " + site.url("/list") + " ");
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab13FavariteBrowse);
    EXPECT_EQ(fv.edFavUrl->currentText(), QString::fromStdString(site.url("/list")));
    EXPECT_EQ(f->ip.edtHost->currentText(), QString::fromStdString(site.url("/list")));
    EXPECT_EQ(f->gui.ComboBoxGUIEditorURL->currentText(), QString::fromStdString(site.url("/list")));
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/list")));

    // Left clicks: the fixed tab first, then numbered tabs.
    p.WebBrowserFavBaseDocumentClick(click(site.url("/one")));
    EXPECT_TRUE(fv.PageControlFavBrowsRight->tabText(0).startsWith(QStringLiteral("1. ")));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/one")));
    p.WebBrowserFavBaseDocumentClick(click(site.url("/two")));
    ASSERT_EQ(fv.PageControlFavBrowsRight->count(), 2);
    EXPECT_TRUE(fv.PageControlFavBrowsRight->tabText(1).startsWith(QStringLiteral("2. ")));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/two")));
    EXPECT_EQ(fv.edFavTarget->currentText(), QString::fromStdString(site.url("/two")));
    EXPECT_EQ(f->state().GFavTargetTabCount, 2);

    // Kept tabs: a new site leaves them and their count.
    fv.CheckBoxCloseFavNewSearch->setChecked(true);
    EXPECT_EQ(fv.CheckBoxCloseFavNewSearch->text(), QStringLiteral("新規でﾀﾌﾞを閉じない"));
    p.NavNewspaper(site.url("/list2"));
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), 2);
    EXPECT_EQ(f->state().GFavTargetTabCount, 2);
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/list2")));
    fv.CheckBoxCloseFavNewSearch->setChecked(false);
    p.NavNewspaper(site.url("/list"));
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), 1);
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    EXPECT_EQ(fv.edFavTarget->currentText(), QString());
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/list")));

    // Without new tabs every link replaces the fixed tab's page.
    fv.CheckBoxDontCreateFavTargetTab->setChecked(true);
    for (const char *path : {"/one", "/two", "/three"}) {
        p.WebBrowserFavBaseDocumentClick(click(site.url(path)));
        EXPECT_EQ(fv.PageControlFavBrowsRight->count(), 1) << path;
        EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QString::fromLatin1(path))) << path;
    }
    fv.CheckBoxDontCreateFavTargetTab->setChecked(false);
}

TEST(FavBrowse, OneShotDocumentsClosingAndTheIgnoreSwitch)
{
    Site site;
    Form f(site.base());
    FavBrowsePage &p = f.fav();
    auto &fv = f->fav;
    Launches launches;
    p.NavNewspaper(site.url("/list"));
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/list")));

    // One left opening, then the right pane again.
    p.btnFavOnceClick();
    EXPECT_FALSE(fv.btnFavOnce->isEnabled());
    p.WebBrowserFavBaseDocumentClick(click(site.url("/same?related:+x")));
    EXPECT_TRUE(fv.btnFavOnce->isEnabled());
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/same?related:+x")));
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    p.WebBrowserFavBaseDocumentClick(click(site.url("/right")));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/right")));
    EXPECT_EQ(f->state().GFavTargetTabCount, 1);

    // A document goes to the desktop's browser; both panes stay as they were.
    const int tabs = fv.PageControlFavBrowsRight->count();
    p.WebBrowserFavBaseDocumentClick(click(site.url("/doc.PDF")));
    EXPECT_EQ(launches.urls, std::vector<std::string>{site.url("/doc.PDF")});
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), tabs);
    EXPECT_FALSE(fv.WebBrowserFavBase->Busy());
    EXPECT_FALSE(p.WebBrowserFavTarget()->Busy());
    EXPECT_TRUE(fv.WebBrowserFavBase->LocationURL().endsWith(QStringLiteral("/same?related:+x")));

    // Closing the fixed tab blanks it, and the next link goes there again.
    fv.PageControlFavBrowsRight->setCurrentIndex(0);
    p.PopupTabBrowseMenuCloseClick();
    EXPECT_TRUE(waitUntil([&] { return fv.WebBrowserFavTarget->LocationURL() == QLatin1String("about:blank"); }, 15000));
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    p.WebBrowserFavBaseDocumentClick(click(site.url("/again")));
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), tabs);
    EXPECT_TRUE(waitAt(fv.WebBrowserFavTarget, QStringLiteral("/again")));
    EXPECT_TRUE(fv.PageControlFavBrowsRight->tabText(0).startsWith(QStringLiteral("1. ")));

    // The encyclopedia item leaves the ignore box checked: clicks open nothing until unchecked.
    QAction *wiki = p.siteAction(QStringLiteral("MenuCovinienceWikipedia"));
    ASSERT_NE(wiki, nullptr);
    wiki->trigger();
    EXPECT_TRUE(fv.CheckBoxIgnoreClickFavBrowse->isChecked());
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/")));
    p.WebBrowserFavBaseDocumentClick(click(site.url("/ignored")));
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    EXPECT_FALSE(p.WebBrowserFavTarget()->Busy());
    fv.CheckBoxIgnoreClickFavBrowse->setChecked(false);
    p.WebBrowserFavBaseDocumentClick(click(site.url("/works")));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/works")));
}

TEST(FavBrowse, RightPaneClicksAndNewWindows)
{
    Site site;
    Form f(site.base());
    FavBrowsePage &p = f.fav();
    auto &fv = f->fav;
    Launches launches;
    p.NavNewspaper(site.url("/list"));
    ASSERT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/list")));
    p.WebBrowserFavBaseDocumentClick(click(site.url("/right")));
    ASSERT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/right")));

    // A link on the right opens in the side-link pane on the left.
    p.WebBrowserFavTargetDocumentClick(click(site.url("/side")));
    EXPECT_EQ(fv.PageControlBrowseLeft->currentWidget(), fv.PageControlBrowseLeftTab02SideLink);
    EXPECT_EQ(fv.EditBrowsehUrl->text(), QString::fromStdString(site.url("/side")));
    EXPECT_TRUE(waitAt(fv.WebBrowserFavSideLink, QStringLiteral("/side")));
    // A mail link is the desktop's; a double-click opens an https link there too.
    p.WebBrowserFavTargetDocumentClick(click("mailto:a@b.jp"));
    p.WebBrowserFavTargetDocumentDblClick(click("https://secure.example/"));
    EXPECT_EQ(launches.urls, (std::vector<std::string>{"mailto:a@b.jp", "https://secure.example/"}));

    // The side-link tab's own buttons.
    launches.urls.clear();
    fv.EditBrowsehUrl->setText(QStringLiteral("mailto:x@y"));
    p.btnBrowseSideTopOpeIEClick();
    EXPECT_TRUE(launches.urls.empty());
    fv.EditBrowsehUrl->setText(QStringLiteral(" ") + QString::fromStdString(site.url("/moved")));
    p.btnBrowseSideTopClick();
    EXPECT_EQ(fv.PageControlBrowseLeft->currentWidget(), fv.PageControlFavBrowseLeftTab01Browse);
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/moved")));

    // A page's window.open on the left becomes a right tab, with a real click through the sink.
    const int before = fv.PageControlFavBrowsRight->count();
    fv.WebBrowserFavBase->evalSync(QStringLiteral("window.open('/popup'); 1"));
    ASSERT_TRUE(waitUntil([&] { return fv.PageControlFavBrowsRight->count() == before + 1; }, 15000));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/popup")));
    EXPECT_TRUE(fv.PageControlFavBrowsRight->tabToolTip(before).endsWith(QStringLiteral("/popup")));
    EXPECT_TRUE(fv.WebBrowserFavBase->LocationURL().endsWith(QStringLiteral("/moved")));

    const int count = f->state().GFavTargetTabCount;
    fv.WebBrowserFavBase->evalSync(QStringLiteral("document.getElementById('a').click(); 1"));
    ASSERT_TRUE(waitUntil([&] { return f->state().GFavTargetTabCount == count + 1; }, 15000));
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/a")));
    EXPECT_TRUE(fv.WebBrowserFavBase->LocationURL().endsWith(QStringLiteral("/moved"))) << "the left pane keeps its site";

    // Close all from the pop-up: the next link goes to the fixed tab.
    p.PopupTabBrowseMenuCloseWithoutSaveAllClick();
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), 1);
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    EXPECT_EQ(fv.edFavTarget->currentText(), QString());
}

TEST(FavBrowse, LinksFromTheNetSearchPage)
{
    Site site;
    EnvVar engine("VK_SEARCH_ENGINE_BASE", QByteArray::fromStdString(site.url("/search")));
    Form f(site.base());
    auto &n = f->net;
    auto &fv = f->fav;

    n.EditSearchUrl->setText(QString::fromStdString(" " + site.url("/side1")));
    f->netSearchButtons->btnSearchSideTopClick();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab13FavariteBrowse);
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/side1")));

    // The net search's tab menu sends the tab's page to the favourites page's left pane.
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab00GoogleSearch);
    auto &tabs = f->netSearchPage->tabs();
    f->state().GTargetTabCount = 1;
    ASSERT_NE(tabs.CreateTargetTab(site.url("/fromtab"), site.url("/fromtab"), 0), nullptr);
    QAction *move = tabs.PopupTabMenu()->findChild<QAction *>(QStringLiteral("PopupTabMenuCloseMove2Browse"));
    ASSERT_NE(move, nullptr);
    move->trigger();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab13FavariteBrowse);
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/fromtab")));

    // A search empties the link history and the auxiliary box's list.
    n.EditCurrentLinkURL->addItem(QStringLiteral("http://old.jp/"));
    n.EditPageControlBaseBrowserTab12BrowserTrad->addItem(QStringLiteral("http://aux.jp/"));
    n.EditPageControlBaseBrowserTab12BrowserTrad->setEditText(QStringLiteral("http://aux.jp/typed"));
    n.edGoogleSearch->setEditText(QStringLiteral("road"));
    f->netSearchPage->btnGoogleSearchClick();
    EXPECT_EQ(n.EditCurrentLinkURL->count(), 0);
    EXPECT_EQ(n.EditCurrentLinkURL->currentText(), QString());
    EXPECT_EQ(n.EditPageControlBaseBrowserTab12BrowserTrad->count(), 0);
    ASSERT_TRUE(waitLoaded(n.BaseBrowser));

    // The same-screen switch: checking it takes its button away, a routed click gives it back.
    f->menu.MenuConviiTSameScreen->trigger();
    EXPECT_TRUE(f->menu.MenuConviiTSameScreen->isChecked());
    EXPECT_FALSE(n.btnOnceBaseBrowse->isEnabled());
    f->state().GBaseHoverUrl = site.url("/same");
    f->netSearchPage->router().BaseBrowserDocumentClick(click(site.url("/same")));
    EXPECT_FALSE(f->menu.MenuConviiTSameScreen->isChecked());
    EXPECT_TRUE(n.btnOnceBaseBrowse->isEnabled());
    EXPECT_TRUE(waitAt(n.BaseBrowser, QStringLiteral("/same")));
}

TEST(SiteMenus, NewsItemAsksTheSiteForItsPathAndTheUnknownHostIsDisabled)
{
    Site site;
    Form f(site.base());
    EXPECT_EQ(f->menu.MenuTopNewspaper->title(), QStringLiteral("新聞・通信社"));
    EXPECT_EQ(f->menu.MenuCovinienceSameScreenSetting->title(), QStringLiteral("便利なﾍﾟｰｼﾞ（ 【 ２ 】画面連携 ）"));
    QAction *ft = f.fav().siteAction(QStringLiteral("MenuNewspaperFTEurope"));
    ASSERT_NE(ft, nullptr);
    EXPECT_EQ(ft->text(), QStringLiteral("Europe"));
    ft->trigger();
    EXPECT_TRUE(waitAt(f->fav.WebBrowserFavBase, QStringLiteral("/home/europe/")));
    EXPECT_EQ(site.count("/home/europe/"), 1);
    QAction *minutes = f.fav().siteAction(QStringLiteral("MenuCovinienceMinutes"));
    ASSERT_NE(minutes, nullptr);
    EXPECT_FALSE(minutes->isEnabled());
    EXPECT_EQ(f->menu.MenuCovinienceSameScreenSetting->actions().last(), f->menu.MenuConviiTSameScreen);
}

TEST(Convi, FirstVisitLoadsTheSitesOnceAndTheSubTabsKeepTheirSiteUrl)
{
    Site site;
    Form f(site.base());
    ConviPage &c = *f->conviPage;
    auto &cv = f->convi;
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab20Convi);
    ASSERT_TRUE(waitUntil([&] {
        for (int i = 1; i < 10; ++i)
            if (c.siteBrowser(i)->Busy()) return false;
        return true;
    }, 30000));
    EXPECT_EQ(site.count("/"), 5);
    EXPECT_EQ(site.count("/maps"), 1);
    EXPECT_EQ(site.count("/video_top/"), 1);
    EXPECT_EQ(site.count("/wiki/\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xB3\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8"), 1);
    EXPECT_EQ(site.requests().size(), 8u);
    EXPECT_FALSE(cv.WebBrowserUstweet->hasView()) << "the sub-tab without a known host stays blank";
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab00GoogleSearch);
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab20Convi);
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(c.siteBrowser(i)->Busy()) << "second visit loads nothing: " << i;

    Launches launches;
    auto *pc = cv.PageControlMainTopTab20ConviTop;
    pc->setCurrentIndex(9);
    EXPECT_EQ(f->state().GDefaultHomeUrl, site.url("/doga/"));
    EXPECT_TRUE(f->windowTitle().contains(QStringLiteral("/doga/")));
    c.sbSiteOpenIEClick();
    EXPECT_EQ(launches.urls, std::vector<std::string>{site.url("/doga/")});
    pc->setCurrentIndex(0);
    EXPECT_EQ(f->state().GDefaultHomeUrl, "");
    EXPECT_FALSE(f->windowTitle().contains(QStringLiteral("127.0.0.1")));
    c.sbSiteOpenIEClick();
    pc->setCurrentIndex(8);
    c.sbSiteOpenIEClick();
    EXPECT_EQ(launches.urls.size(), 1u);

    // Reload does nothing on the free browser and goes to the start page elsewhere.
    pc->setCurrentIndex(0);
    c.SiteRefresh();
    EXPECT_FALSE(cv.WebBrowserYahooMain->Busy());
    pc->setCurrentIndex(3);
    c.SiteRefresh();
    EXPECT_TRUE(waitAt(cv.WebBrowserGoogleMap, QStringLiteral("/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q=")));
    EXPECT_EQ(site.count("/maps"), 2);

    // Stop blanks the page after a pause in which the window goes on working.
    bool handled = false;
    QTimer::singleShot(0, f.form.get(), [&] { handled = true; });
    c.btnOneScreenStopClick();
    EXPECT_FALSE(handled) << "the click returns at once";
    EXPECT_NE(cv.WebBrowserGoogleMap->LocationURL(), QStringLiteral("about:blank"));
    EXPECT_TRUE(waitUntil([&] { return cv.WebBrowserGoogleMap->LocationURL() == QLatin1String("about:blank"); }, 10000));
    EXPECT_TRUE(handled);
}

TEST(Convi, FreeBrowserQueriesAndPaste)
{
    Site site;
    Form f(site.base());
    ConviPage &c = *f->conviPage;
    auto &cv = f->convi;
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab20Convi);

    cv.edOneScreenUrl->setEditText(QString::fromStdString(" " + site.url("/free")));
    c.sbOneScreenGoUrlClick();
    ASSERT_TRUE(waitAt(cv.WebBrowserYahooMain, QStringLiteral("/free")));
    EXPECT_EQ(cv.edOneScreenUrl->currentText(), QString::fromStdString(site.url("/free")));
    c.btnSiteUrl2Click();
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab00GoogleSearch);
    EXPECT_TRUE(waitAt(f->net.BaseBrowser, QStringLiteral("/free")));

    cv.RadioGroupWikipedia->setItemIndex(0);
    cv.EditWikipedia->setText(QStringLiteral("Free  software"));
    c.btnGowikipediaClick();
    EXPECT_EQ(cv.EditWikipedia->text(), QStringLiteral("Free_software"));
    EXPECT_EQ(cv.EditWikipediaUrl->text(), QString::fromStdString(site.url("/wiki/Free_software")));
    EXPECT_TRUE(waitAt(cv.WebBrowserWikipedia, QStringLiteral("/wiki/Free_software")));
    EXPECT_EQ(f->state().GSiteQuery, site.url("/wiki/Free_software"));

    // A video query of blanks only asks nothing.
    cv.EditYouTube->setText(QStringLiteral(" 　 "));
    c.btnGoYouTubeClick();
    EXPECT_EQ(cv.EditYouTubeUrl->text(), QString());
    // Paste takes the clipboard's text and leaves the clipboard as it was.
    QApplication::clipboard()->setText(QStringLiteral("cat video"));
    cv.EditYouTube->setText(QStringLiteral("typed"));
    c.btnYouTubePasteClick();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("cat video"));
    EXPECT_EQ(cv.EditYouTube->text(), QStringLiteral("cat video"));
    EXPECT_EQ(cv.EditYouTubeUrl->text(), QString::fromStdString(site.url("/results?search_query=catvideo&aq=o")));
    EXPECT_TRUE(waitAt(cv.WebBrowserYoutube, QStringLiteral("search_query=catvideo&aq=o")));
}

TEST(FavBrowse, ButtonsOfThePage)
{
    Site site;
    Form f(site.base());
    FavBrowsePage &p = f.fav();
    auto &fv = f->fav;
    Launches launches;
    EXPECT_FALSE(fv.btnFavSearch->isVisible());

    fv.edFavUrl->setEditText(QStringLiteral("not an address"));
    p.sbFavNavClick();
    EXPECT_FALSE(fv.WebBrowserFavBase->Busy());
    QApplication::clipboard()->setText(QString::fromStdString(" " + site.url("/pasted")));
    p.btnFavBasePasteClick();
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/pasted")));

    QApplication::clipboard()->setText(QString::fromStdString(site.url("/target")));
    p.btnFavTargetPasteClick();
    EXPECT_TRUE(waitAt(p.WebBrowserFavTarget(), QStringLiteral("/target")));
    fv.edFavTarget->setEditText(QString::fromStdString(site.url("/r2l")));
    p.btnFavTargetR2LClick();
    EXPECT_TRUE(waitAt(fv.WebBrowserFavBase, QStringLiteral("/r2l")));
    fv.edFavTarget->setEditText(QStringLiteral("  "));
    p.btnFavTargetR2LClick();
    EXPECT_EQ(fv.edFavUrl->currentText(), QString::fromStdString(site.url("/r2l")));

    fv.edFavUrl->setEditText(QStringLiteral("file:///etc/passwd"));
    p.sbFavBaseOpenIEClick();
    fv.edFavTarget->setEditText(QStringLiteral("https://t.jp/"));
    p.sbFavTargetOpenIEClick();
    EXPECT_EQ(launches.urls, std::vector<std::string>{"https://t.jp/"});

    // Closing every right page clears the right box and the caption's URL.
    f->state().GFavTargetTabCount = 1;
    ASSERT_NE(p.CreateFavTargetTab(site.url("/extra"), site.url("/extra")), nullptr);
    p.Button1Click();
    EXPECT_EQ(fv.PageControlFavBrowsRight->count(), 1);
    EXPECT_EQ(f->state().GFavTargetTabCount, 0);
    EXPECT_EQ(fv.edFavTarget->currentText(), QString());
    EXPECT_FALSE(f->windowTitle().contains(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(waitUntil([&] { return fv.WebBrowserFavTarget->LocationURL() == QLatin1String("about:blank"); }, 15000));

    p.sbFavBrowseShrinkClick();
    EXPECT_EQ(fv.PanelPageControlMainTopTab13FavariteBrowse->height(), 36);
}
