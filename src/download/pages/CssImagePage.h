// The lower tab " 取得したｲﾒｰｼﾞ・ﾌｧｲﾙ ": one style sheet's url(...) references listed with where
// each comes from and goes to, downloaded off the window thread with the two fallback forms of
// a URL, and the sheet's references edited and saved.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/pages/BackgroundJob.h"
#include <QObject>
#include <functional>
#include <string>
#include <vector>


class CssImagePage : public QObject {
    Q_OBJECT
public:
    CssImagePage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    void btnBatchDownloadImageFromCSSFileClick();
    void btnDownloadIndividualClick();
    void btnListBoxPageControlTab06GetDowloadImageFileTab01RemoveClick();
    void btnListBoxPageControlTab06GetDowloadImageFileTab01SaveClick();
    void btnListBoxPageControlTab06GetDowloadImageFileTab01SaveAsClick();
    void BtnEditBatchCSSFilenameButtonClick();
    void btnBatchDownloadURLpasteClick();
    void BtnBatchDownloadFolderClick();
    void BtnEditBatchDownloadFolderButtonClick() {}
    void ListBoxPageControlTab06GetDowloadImageFileTab03CSSListClick();
    void btnListBoxPageControlTab06GetDowloadImageFileTab03CSSListClearClick();

    bool running() const { return job_.running(); }
    // The folder picker and the file dialogs (replaceable in tests): empty on cancel.
    std::function<std::string(const std::string &StartFolder)> pickFolder;
    std::function<std::string(const std::string &Proposal)> pickOpenFile, pickSaveFile;

signals:
    // The download has ended and every line is in the list.
    void downloadFinished(int saved);

private:
    void loadSheet(const std::string &File);
    std::vector<std::string> references() const;

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    BackgroundJob job_;
};
