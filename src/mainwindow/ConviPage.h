// The convenient page: ten often-used sites kept open in sub-tabs, a free browser with its
// own URL box, and the encyclopedia and video queries.
#pragma once
#include <QObject>
#include <QPointer>
#include <string>

class TAMainForm;
class TWebbrowser;

// The net search's one-shot "same left pane" switch is used up: it is unchecked and its
// button is given back.
void OnceGoSamePage(TAMainForm &form);

class ConviPage : public QObject {
    Q_OBJECT
public:
    explicit ConviPage(TAMainForm &form);

    // The browser of sub-tab Index (0 to 9); nullptr outside.
    TWebbrowser *siteBrowser(int Index) const;
    int currentIndex() const;

    // Sends sub-tabs 1 to 9 to their start pages.
    void SiteBrowserInit();
    void PageControlMainTopTab20ConviTopChange();
    void SiteRefresh();
    void SiteBack();
    void btnOneScreenStopClick();
    void sbSiteOpenIEClick();
    void sbSiteExitClick();
    void btnSiteUrl2Click();

    void sbOneScreenGoUrlClick();
    void btnOneScreenUrlPasteClick();
    void sbOneScreenOpenIEClick();
    void sbBackOneScreendUrlClick();
    void WebBrowserYahooMainDocumentComplete();

    void btnGowikipediaClick();
    void btnEditWikipediaPasteClick();
    void btnEditWikipediaClearClick();
    void btnGoYouTubeClick();
    void btnYouTubePasteClick();
    void btnYouTubeClearClick();

    // How long the stop button lets a stopped page rest before it blanks it.
    static constexpr int kStopBlankMs = 1000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TAMainForm &f_;
};
