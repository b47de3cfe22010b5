// The lower tab " image/CSS " (the page's images and style sheets, the download attempts and
// the files that exist; one file fetched, the lists searched, the image list downloaded again),
// the two list clicks of the CSS page that fill its single-file fields, the "Folder" menu of the
// default save folder and the height of the top area. Fetches run off the window thread.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include "download/pages/BackgroundJob.h"
#include <QObject>
#include <functional>
#include <string>

class QAction;
class QListWidget;
class QMenu;

class ObtainedImagesPage : public QObject {
    Q_OBJECT
public:
    ObtainedImagesPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    int DoListBoxSearch(QListWidget *ListBox, const std::string &Word, int N, int Start);
    void btnSearchClick();
    void btnSearchNextClick();
    void btnDownloadImageAndCSSClick();
    void btnIndividualDownloadCheckClick();
    void btnListBoxBodyPageCSSImageBtchDownloadClick();
    void ListBoxAbsExistFileClick();
    void ListBoxObtainedCSSClick();
    void ListBoxCSSDownloadedFileClick();
    void btnTranfer2IndividualClick();
    void btnRemakeLocalFileClick();
    void btnGetFromBaseUrlClick();
    void btnSaveIndividualImageFoderClick();
    void BtnEditDownloadLocalFileIndividualButtonClick();
    void btnClearImageListBoxClick();
    void btnSaveListBoxBodyImageDownloadedClick();
    void btnListBoxBodyPageCSSImagePasteClick();
    void btnClearListBoxFrameSetClick();
    void MenuFolderSetDefaultFolderClick();
    void MenuFoldeRemoveDefaultFolderClick();
    void MenuFolderViewDefaultFolderClick();
    // Enter in SpinEditMainTopPanelHeight.
    void SpinEditMainTopPanelHeightEnter();

    bool running() const { return job_.running(); }
    // The folder picker (replaceable in tests): the chosen folder, empty on cancel.
    std::function<std::string(const std::string &StartFolder)> pickFolder;

    QMenu *MenuFolder = nullptr;
    QAction *MenuFolderSetDefaultFolder = nullptr, *MenuFoldeRemoveDefaultFolder = nullptr,
            *MenuFolderViewDefaultFolder = nullptr;

signals:
    // A single-file fetch has come back and its outcome is shown.
    void fetchFinished();
    // The image list's download again has ended and its button is enabled.
    void imageListFinished();

private:
    void showSearchHit(int Index);
    std::string chooseFolder(const std::string &Start);

    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
    BackgroundJob job_;
};
