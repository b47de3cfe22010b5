// The " CSS " tab: collecting a page's style sheets, scripts and images, and downloading the
// style sheets and scripts. Runs go on a worker thread, one at a time; the lists fill as the
// run goes and the window keeps painting. The stop button disabled asks the run to stop.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/DownloadEngine.h"
#include <QObject>
#include <functional>
#include <map>
#include <string>
#include <thread>

class QListWidget;

class DownloadCssPage : public QObject {
    Q_OBJECT
public:
    DownloadCssPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);
    ~DownloadCssPage() override;

    void btnGetPageImageCSSClick();
    void btnMainTopCSSdownloadClick();
    void btnMainTopJSdownloadClick();
    void ListBoxCSSLocalFilenameClick();
    void btnDownloadStopClick();
    // The " CSS " tab's own buttons: the folder of its box only, the URL from the clipboard,
    // Enter in the URL box, and the image step alone.
    void btnDownloadFolderClick();
    void btnMainTopHTMLDownloadClick();
    void EditPageUrlKeyDown();
    void btnMainTopImageDownloadClick();
    // Asks a running run to stop and waits until it has ended: nothing is written after this.
    void stopAndWait();
    // The save-folder choice of the download page: the picker, then the four folder boxes,
    // the last folder and the settings.
    void btnHTMLPageSaveFolderClick();

    // True when the URL is an http(s) URL and the folder is given and exists; otherwise the
    // matching message and false.
    bool CheckSaveFolderExists(const std::string &Url, const std::string &Folder, int Spare, int Id);

    bool running() const { return worker_.joinable(); }
    // One run at a time on a worker thread; done gets its result on the window's thread.
    void start(std::function<int(DownloadEngine &)> work, std::function<void(int)> done);
    // The options of the page's controls into the engine.
    void readOptions();
    // The picker the folder choice opens (replaceable in tests), and what follows a choice.
    std::function<std::string(const std::string &StartFolder)> pickFolder;
    std::function<void()> onFolderChosen;
    DownloadEngine &engine() { return engine_; }

signals:
    void runFinished(int result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setStartButtons(bool enabled);
    void applyChange(const ListChange &c);
    QListWidget *listBox(const std::string &name) const;
public:
    // The images of the main pane, only while it shows Url loaded to the end.
    std::vector<std::string> browserImages(const std::string &Url);

private:
    void syncPageList();
    void showStopState(const std::string &State);

    bool stopPending_ = false;

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    DownloadEngine engine_;
    std::thread worker_;
    std::map<std::string, QListWidget *> boxes_;
};
