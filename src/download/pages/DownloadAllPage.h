// The top tab "Webﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ": the whole-page download with its questions before the run
// and its lists after it, the HTML-only download, the frame list and the small handlers of the
// page. The run itself is the engine's, on the " CSS " tab's worker.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class DownloadCssPage;

// The dialogs the page opens, replaceable in tests.
struct DownloadAllDialogs {
    // A Yes/No(/Cancel) question: QMessageBox::Yes, No or Cancel.
    std::function<int(QWidget *parent, const QString &text, bool withCancel)> ask;
    // A save dialog for an HTML file: the chosen path (Shift_JIS), "" when cancelled.
    std::function<std::string(QWidget *parent, const std::string &folder, const std::string &name)> saveHtml;
    // An open dialog for an HTML file: the chosen path (Shift_JIS), "" when cancelled.
    std::function<std::string(QWidget *parent, const std::string &folder, const std::string &name)> openHtml;
    static DownloadAllDialogs system();
};

class DownloadAllPage : public QObject {
    Q_OBJECT
public:
    DownloadAllPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    DownloadAllDialogs dialogs = DownloadAllDialogs::system();

    void btnDownloadAllClick();
    void DownloadAllHTMLFile();
    void btnPageHTMLDownloadClick();
    void ListBoxFrameSetClick();
    void btnSaveFolderClearClick();
    void BtnEditLocalFilenameClarClick();
    void BtnEditLocalFilenameKeyDown();
    void btnDownAllPasteClick();
    void btnDownAllCOPYClick();
    void BtnEditHTMLPageSaveFolderButtonClick();
    void BtnEditLocalFilenameButtonClick();
    void btnListBoxDownloaded2ClipboardClick();
    // The height the top area needs to show the download's own controls, up to its run and
    // stop buttons, with the page scrolled to its top.
    int runControlsHeight() const;

    // The result of the last whole-page run (-1 stopped or failed), for the caller after it.
    int lastResult() const { return lastResult_; }
    bool busy() const { return busy_; }

signals:
    // A whole-page or HTML-only run ended and the window shows its lists.
    void downloadFinished(int result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutPage();
    // While the download page is shown the top area keeps its run controls in sight.
    void keepRunControlsInSight();
    void readPipelineOptions();
    // PageText: the page as the first look decoded it.
    void mainPath(const std::string &Url, const std::string &PageText);
    void afterRun(int r, const std::string &Url);
    void listFrames(const std::string &Url, const std::vector<std::string> &Frames);
    // The frameset's own copy under a name the user chooses, then the WebGUI page with its frames.
    void saveFramesetCopy(const std::string &Url, const std::string &Folder, const std::string &Name);
    std::string saveFolder() const;

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    DownloadCssPage &css_;
    int lastResult_ = 0;
    bool busy_ = false;
};
