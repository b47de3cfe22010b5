// The net-search page's source tabs (each filled by its own button), the keyword marks in
// the two panes with first/next, and the right pane's link history box with its buttons.
#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

class BackgroundJob;
class TAMainForm;
class TWebbrowser;
struct HttpResponse;

class ResultSourcePage : public QObject {
    Q_OBJECT
public:
    explicit ResultSourcePage(TAMainForm &form);
    ~ResultSourcePage() override;

    void btnGoogleSearchResultClick();
    void btnGoogleGetScriptClick();
    void btnGoogleGetStyleSheetClick();
    void btnGoogleGetRawClick();
    void btnGoogleGetJSFileClick();
    void btnGoogleSaveFileListClick();
    void btnGoogleHightlightClick();
    void btnRemoveCacheClick();

    void btnTargetBrowserBatchSearchClick();
    void btnTragetBrowserSearchPasteClick();
    void btnGooglSearchResultClick();
    void btnGooglSearchResultPasteClick();
    void btnSearchFirstClick();
    void btnTragetBrowserSerachNextClick();
    void btnGetTargetBrowserHTMLSrcClick();

    void EditCurrentLinkURLChange();
    void btnGUISend2ComboBoxUrlClick();
    void btnGUISend2ComboBoxUrlClearClick();
    void sbBgoogleSearchIEOpenClick();

    // The words of the last first/next search.
    QString GHighlightText;

    // " Raw " and " JSﾌｧｲﾙ " fetch off the window's thread, one at a time; the page's stop
    // button ("中止") ends a fetch.
    bool fetchRunning() const;
    void stopFetch();

private:
    TWebbrowser *targetBrowser() const;
    void startFetch(const std::string &Url, std::function<void(const HttpResponse &)> Done);
    std::unique_ptr<BackgroundJob> job_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    bool urlBoxShowsPage() const;
    TAMainForm &f_;
    QString lastLinkText_;
};
