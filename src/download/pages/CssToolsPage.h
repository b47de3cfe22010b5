// The CSS page tools: on " CSS " the repair of root-relative url() references in the saved
// style sheets, the copy, clear and close buttons; on " ＣＳＳﾌｧｲﾙ一覧 " the collection and the
// CSS download run again; and the top tab "CSSからImage取得 ", which lists and reads the style
// sheets of a local folder.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include <QObject>
#include <functional>
#include <string>


class CssToolsPage : public QObject {
    Q_OBJECT
public:
    CssToolsPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    // The save dialog of the joined text ("" when cancelled) and the folder picker,
    // replaceable in tests.
    std::function<std::string(const std::string &Name)> saveTxt;
    std::function<std::string(const std::string &StartFolder)> pickFolder;

    void btnReGetPageImageCSSClick();
    void btnCSSRedownloadClick();
    void BtnCSSFirstRemoveSlashClick();
    void btnMainTopCssCOPYClick();
    void btnCSSClearClick();
    void BtnTopCssppageCloseClick();
    void btnGetImageFromLocalFolderClick();
    void btnGetLocalCSSImageClick();
    void BtnEditSaveFileButtonClick();

signals:
    // The progress label changed (each file, then empty).
    void progress(const QString &text);

private:
    void layoutPage();
    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
};
