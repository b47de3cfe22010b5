// The net-search page's handlers. Owns the right pane's tabs and the link routing, so the
// other pages reach them through here.
#pragma once
#include "mainwindow/NetSearch.h"
#include <QObject>
#include <memory>

class TAMainForm;
class TargetTabs;
class LinkRouter;

class NetSearchPage : public QObject {
    Q_OBJECT
public:
    explicit NetSearchPage(TAMainForm &form);
    ~NetSearchPage() override;

    TargetTabs &tabs() { return *tabs_; }
    LinkRouter &router() { return *router_; }

    void btnGoogleSearchClick();
    void sbYahooSearchClick();
    void searchByEnter();
    void btnBaseSearchNext100Click();
    void btnBatchKeyWordSearchPrev100Click();
    void BaseBrowserDownloadComplete();
    void ListBoxSearchListClick();
    void ListBoxBaseBrowserClick();
    void btnBatchKeyWordSearchClick();
    void btnBatchBrowseStopClick();
    void sbForceMainGoClick();
    void DisableButton();
    void EnableButton();

private:
    void startSearch(SearchEngine engine);
    void page(bool next);
    void setHighlightWords();
    void clearResultLists();
    void openListLine(int index, const std::string &line);
    TAMainForm &f_;
    std::unique_ptr<TargetTabs> tabs_;
    std::unique_ptr<LinkRouter> router_;
};
