// The favourites page: any site read in two panes as search results are (a site on the
// left, its links on the right in the fixed tab and then in numbered tabs), the favourites
// menus, and the news and convenience menus that open fixed sites there.
#pragma once
#include "mainwindow/FavoritesScan.h"
#include "platform/DocEventSink.h"
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QWidget;
class TAMainForm;
class TFavoritesMenu;
class TWebbrowser;

class FavBrowsePage : public QObject {
    Q_OBJECT
public:
    explicit FavBrowsePage(TAMainForm &form);
    ~FavBrowsePage() override;

    // Opens a site (http or https only) on the left of this page.
    void NavNewspaper(const std::string &Url);
    // The net search's link history and the auxiliary browser's list start afresh.
    void ClearEditCurrentLinkURL();

    void FavoritesMenuUrlClick(QAction *Sender, const QString &Url);
    void FavoritesTradMenuUrlClick(QAction *Sender, const QString &Url);
    void FavoritesOneScreenMenuUrlClick(QAction *Sender, const QString &Url);
    void MenuConviiTSameScreenClick(bool checked);

    void sbFavNavClick();
    void btnFavBasePasteClick();
    void sbFavTargeGoClick();
    void btnFavTargetPasteClick();
    void btnFavTargetR2LClick();
    void sbFavBackClick();
    void sbFavTargetBackClick();
    void sbFavBaseOpenIEClick();
    void sbFavTargetOpenIEClick();
    void btnFavOnceClick();
    void Button1Click();
    void sbFavExitClick();
    void sbFavBrowseShrinkClick();
    void btnBrowseSideTopClick();
    void btnBrowseSideTopOpeIEClick();

    // The right pane.
    TWebbrowser *WebBrowserFavTarget() const;
    QWidget *CreateFavTargetTab(const std::string &Url, const std::string &CaptionUrl);
    void CloseAllFavTargetBrowser();
    void PopupTabBrowseMenuCloseClick();
    void PopupTabBrowseMenuCloseWithoutSaveAllClick();
    void PageControlFavBrowsRightChange();
    std::string GetFavTargetTabCaption();

    void WebBrowserFavBaseStatusTextChange(const QString &text);
    void WebBrowserFavTargetStatusTextChange(const QString &text);
    bool WebBrowserFavBaseDocumentClick(const DocEvent &e);
    bool WebBrowserFavTargetDocumentClick(const DocEvent &e);
    bool WebBrowserFavTargetDocumentDblClick(const DocEvent &e);

    QMenu *PopupTabBrowseMenu() const { return popup_; }
    DocEventSink &baseSink() { return FFavBaseDocSink; }
    DocEventSink &targetSink() { return FFavTargetDocSink; }
    TFavoritesMenu *favoritesMenu(int Index) const { return favMenus_[Index]; }
    // The news and convenience menu items by name.
    QAction *siteAction(const QString &Name) const;

private:
    void buildFavoritesMenus();
    void buildSiteMenus();
    void buildPopup();
    void wireTarget(TWebbrowser *wb);
    void wireBase();
    TAMainForm &f_;
    QPointer<TWebbrowser> front_;
    QMenu *popup_ = nullptr;
    TFavoritesMenu *favMenus_[3] = {nullptr, nullptr, nullptr};
    DocEventSink FFavBaseDocSink{QStringLiteral("FFavBaseDocSink")};
    DocEventSink FFavTargetDocSink{QStringLiteral("FFavTargetDocSink")};
};
