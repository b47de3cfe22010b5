// The net-search page's source tabs (each filled by its own button), the keyword marks in
// the two panes with first/next, and the right pane's link history box with its buttons.
#pragma once
#include <QObject>
#include <QString>
#include <string>

class TAMainForm;
class TWebbrowser;

class ResultSourcePage : public QObject {
    Q_OBJECT
public:
    explicit ResultSourcePage(TAMainForm &form);

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

private:
    TWebbrowser *targetBrowser() const;
    bool urlBoxShowsPage() const;
    TAMainForm &f_;
    QString lastLinkText_;
};
