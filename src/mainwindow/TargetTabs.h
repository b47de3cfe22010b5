// The right pane of the net-search page: the fixed tab and the tabs made at run time, one
// browser each; which browser is in front; the URL of the tab in front spread to the other
// pages; the right pane's completed documents.
#pragma once
#include <QObject>
#include <QPointer>
#include <string>

class TAMainForm;
class TWebbrowser;
class QMenu;
class QWidget;

// The number in a new tab's caption: Number when not 0; in a batch the batch start + page
// count - 1; else the page count (the new tab counted, the fixed tab included).
int TargetTabNumber(int Number, bool BatchMode, int BatchStart, int PageCount);
// The charset shown for a document: the text after "charset=" up to the next double quote
// of the lower-cased HTML, "charset=iso-2022-jp" for any "iso-"; empty when none.
std::string DeclaredCharsetLabel(const std::string &Html);
// What names a tab opened from the link history: the URL without its scheme, cut before
// ".htm", its last eight characters at most, the first "." removed.
std::string ForwardTabCaptionSource(const std::string &Url);

class TargetTabs : public QObject {
    Q_OBJECT
public:
    explicit TargetTabs(TAMainForm &form);

    // The browser of the tab in front.
    TWebbrowser *TargetBrowser() const;
    TWebbrowser *fixedBrowser() const;

    // A new tab named "N. " + short name of CaptionSource that shows Url; nullptr when it
    // cannot be made (and the tab counter goes back to 0).
    QWidget *CreateTargetTab(const std::string &Url, const std::string &CaptionSource, int Number);
    // The batch's way to show one page: a new tab, or the front browser for the first.
    int OpenInTargetOrTab(const std::string &Url);
    void CloseAllTargetBrowser();
    // Closes the tab in front (the fixed tab is blanked instead).
    void CloseCurrentTab();

    std::string GetTargetTabCaption();
    void SetTargetPageUrl(const std::string &Url);
    void SetTargetUrlCaption(const std::string &Url);
    void ClearUrlListBox();
    void TargetPageControlChange();

    // A document of a right-pane browser completed; Browser is the one that completed.
    void TargetBrowserDocumentComplete(TWebbrowser *Browser);

    // Every right-pane browser's events go to the form's handlers through this.
    void wireBrowser(TWebbrowser *Browser);

    QMenu *PopupTabMenu() const { return popup_; }

signals:
    // A right-pane browser was made (fixed or run-time); the routing connects to it.
    void browserCreated(TWebbrowser *Browser);

private:
    void buildPopup();
    void holdForDownloadPage(const std::string &Url);
    TAMainForm &f_;
    QPointer<TWebbrowser> front_;
    QMenu *popup_ = nullptr;
};
