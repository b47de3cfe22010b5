// The lower tabs " 個別ﾀﾞｳﾝﾛｰﾄﾞ  " (one file fetched by its URL, converted and saved under a
// folder tree derived from the URL; a fetched text viewed or saved elsewhere) and
// " ＣＳＳﾌｧｲﾙ一覧 " (the style sheets and scripts obtained, one shown converted; one web
// file handed to the individual download). Fetches run off the window thread.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/IndividualDownload.h"
#include "download/pages/BackgroundJob.h"
#include <QObject>
#include <string>


class IndividualDownloadPage : public QObject {
    Q_OBJECT
public:
    IndividualDownloadPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    // " 個別ﾀﾞｳﾝﾛｰﾄﾞ  "
    void btnDownLoadSaveFileClick();
    void btnRichEditHTMLSrc01SsaveClick();
    void btnDownloadDirectClick();
    void btnSaveIndividualTextClick();
    void btnGetCSSListFromIndividualFileClick();
    int GetCSSListFromText(const std::string &Url, const std::string &CssText);
    void GetHTMLPageControlMainBodyDowloadLeftChange();
    void btnDownloadDirectPasteClick();
    void btnDownloadDirectSConcactePasteClick();
    void btnDirectUrl2UrlClick();
    void btnDownLoadDirectFolderClick();
    void BtnEditDownloadDirectFolderButtonClick();
    void btnLoadLocalFileClick();
    void btnBrowseIndivudialClick();
    void btnDirectDownloadRichClearClick();
    void BtnRichCOPY2ClipboardClick();
    void btnListBoxDownloadCanNotCSSFileClick();

    // " ＣＳＳﾌｧｲﾙ一覧 "
    void EditWebFileKeyDown();
    void btnDownloadIndividualWebFileClick();
    void ListBoxPageControlMainBodyTab04GetwebFileListCSSClick();
    void btnWebOneFilePasteClick();
    void BtnEditWebSaveLocalFileButtonClick();
    void btnWebSaveFoldederClick();

    bool running() const { return job_.running(); }

signals:
    // A fetch has come back and its outcome is shown.
    void fetchFinished();

private:
    void showOutcome(const std::string &Url, const IndividualOutcome &o);
    std::string absoluteFolder(const std::string &Folder) const;

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    BackgroundJob job_;
};
