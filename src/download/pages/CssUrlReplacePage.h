// The lower tab " CSS内のurl調整 ": one text replaced by another in every style sheet of a
// folder tree, each sheet's first text kept in its backup so that runs never pile up.
#pragma once
#include "download/pages/DownloadPageContext.h"
#include <QObject>
#include <string>
#include <vector>

class QListWidget;

// The file listing for list boxes (the CSS page tools list a folder the same way): the files
// of Folder + Mask + "." + Ext into FileList (and, recursive, AllList). -1 for an empty
// folder, the lists untouched.
int MakeHTMLFileList(const std::string &Mask, const std::string &Folder, bool Recursive, QListWidget *AllList,
                     QListWidget *FileList, const std::string &Ext);

class CssUrlReplacePage : public QObject {
    Q_OBJECT
public:
    CssUrlReplacePage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent = nullptr);

    void btnCSSUrlReplaceExecuteClick();
    void btnEditCSSURLSearchPasteClick();
    void btnEditCSSUrlReplacePasteClick();
    void btnPageControlMainBodyCSSUrlClick();
    void BtnEditPageControlMainBodyHTMLClick();
    void btnREplaceALLCssUrlClick() {}

    // The two passes over the lists of the tab; -1 for an empty folder, else 0. Files that
    // could not be written are added to Failed.
    int CSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                      const std::string &Search, const std::string &Replacement, bool Recursive,
                      std::vector<std::string> &Failed);
    int ZZCSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                        const std::string &Search, const std::string &Replacement, bool Recursive,
                        std::vector<std::string> &Failed);

private:
    AppState &state() const { return *ctx_.state; }

    DownloadPageControls c_;
    DownloadPageContext ctx_;
};
