// The lower tab " メイン ": the page in WebBrowserMain beside its normalised, coloured source,
// its raw text and its image list; and the download page's buttons that open a page or its
// local copy in the desktop's browser. Fetches run off the window's thread.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/pages/BackgroundJob.h"
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class TWebbrowser;
#include <QStringList>

// The dialogs the page opens, replaceable in tests. Paths are Shift_JIS; "" is a cancel.
struct BrowserDocDialogs {
    std::function<std::string(QWidget *parent, const std::string &name)> saveHtml;
    std::function<std::string(QWidget *parent, const std::string &name)> saveTxt;
    std::function<std::string(QWidget *parent, const std::string &folder)> openHtml;
    static BrowserDocDialogs system();
};

// The addresses of every image of the pane's document, in document order; nothing when the
// pane has no loaded document.
std::vector<std::string> PaneImageAddresses(TWebbrowser *Pane);

class BrowserDocPage : public QObject {
    Q_OBJECT
public:
    BrowserDocPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    BrowserDocDialogs dialogs = BrowserDocDialogs::system();

    // The images of WebBrowserMain's document into Items.
    void GetBrowserImage(QStringList &Items);

    void btnNavigateClick();
    void btnGetDocumentSrcClick();
    void WebBrowserMainDownloadComplete();
    void PageControlMainBodyRightChange();
    void btnSaveDocumentSrcClick();
    void btnMakeMainDownloadColorClick();
    void btnMakeMainDownloadBlackClick();
    void btnRichEditMainWordWrapClick();
    void BtnBrowseSideNavigateClick();
    void ComboBoxDirectUrlChange();
    void btnDirectDownloadPasteClick();
    void btnDirectDownloadCOPYClick();
    void btnLoadTemEditorSourceClick();
    void btnDirectDownloadFromWebClick();
    void btnWebBrowserMainCOPYClick();
    void btnGetBrowserImageClick();
    void btnPutBrowserImageClick();
    void btnOpenIEClick();
    void btnIEOpenLocalFileClick();
    void btnOpenIEWithFilenameClick();
    void btnOpenIwithFramesetClick();
    void BtnIEBatchCloseClick();

    bool fetching() const { return job_.running(); }

signals:
    // The raw sheet or the direct fetch has its text.
    void fetchDone();
    // The copy of a navigated page's HTML reached the clipboard.
    void navigateCopied();

private:
    void layoutPage();
    std::string paneHtml(TWebbrowser *Pane) const;
    void navigateMain(const QString &Url);

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    BackgroundJob job_{this};
    unsigned navigateSerial_ = 0;
    QString confirmedUrl_;
};
