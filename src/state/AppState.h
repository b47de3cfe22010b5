// The state the window's pages share: the unit globals, the shared string lists and the
// text constants. The main window owns one and hands it to its pages.
#pragma once
#include "text/StringList.h"
#include <array>
#include <string>

class TProfDHTMLEdit2;

// The shared lists, in creation order.
enum class SharedList {
    GTagValueList, GCssUrlList, GSavedFileList, GCssImportLines, GDownloadedCssFiles, GJsDownloadLog,
    GCssImageLines, GCssTextLines, GImageUrlList, GCssUrlLines, GBackgroundImageList, GLocalFileList,
    GCssSeenList, GWorkList, GFileLines, GCssAggregateLines, GOutputLines, GIndentSaveLines, GImageDownloadLog,
    GImageRootList, GFrameUrlList, GAdjustCssFiles, GDownloadedCssList, GAdjustedCssList, GCssReportLines,
    GIndentOutLines, GSourceLines, GSearchWords, GIndentSrcLines, GWebDirList, GImageExistList, GDirMaskList,
    GRootTreeList, GEditorSourceLines, GNotFoundDownloadList, GReplaceFileList, GNotFoundFileList,
    GImageProbeList, GExistFileList, GDocLinkList, GTraceHopList, GCreatedDirList, GResultLinkList,
    GCssBannerSeen, GImageNameList, GObtainedFileList,
    Count
};

struct SharedListInfo {
    const char *name;
    bool sorted;   // ascending, a duplicate is ignored
    bool cleared;  // emptied by StringListAllClear
};

// One row per list: a change of a flag is one line here.
extern const std::array<SharedListInfo, static_cast<size_t>(SharedList::Count)> kSharedLists;

struct AppState {
    // Start-up values.
    std::string GSettingsFile, GProgramFolder, GLocalIP, GDefaultHomeUrl;
    bool GIE4To7 = false;
    bool GFormShown = false;

    std::string GAppName, GCaptionName, GCaptionPrefix, GCaptionFile;
    std::string GProjectFile, GDefaultFolder, GGlobalFile, GSaveDefaultFolder, GWebRoot;
    bool GFirstEngineSearch = true, GSecondEngineSearch = false, GBatchMode = false;
    bool GLinkOpened = false, GBaseClickRouted = false;
    std::string GBaseHoverUrl, GTargetHoverUrl, GTargetUrl;
    std::string GResultHtml, GSearchJsUrl, GResultListHtml;
    int GBatchBrowseLastIndex = -1;
    int GSearchOffset = 0;
    bool GBaseSinkConnected = false;
    std::string GQueryUrl, GTargetHtml, GTargetDocUrl;
    int GSearchTopHeight = 45, GMainTopHeight = 750, GSearchLeftWidth = 450;
    bool GSiteBrowsersReady = false;
    std::string GSiteQuery;
    int GTargetTabCount = 0, GPageBrowserCount = 0;
    // The favourites page's hovered links and how many pages its right pane was given.
    std::string GFavBaseHoverUrl, GFavTargetHoverUrl;
    int GFavTargetTabCount = 0;
    bool GMainWordWrap = true;
    bool GIndentSourceReady = false;
    bool GRichWordWrap = false, GGUIAllSrcWordWrap = false, GGUIOrgSrcWordWrap = false, GIndentFlag = false,
         GIndentTraceOn = false;
    int GIndentLineNo = 0, GIndentTraceNo = 0;
    int GSearchNextIndex = -1, GIndentSearchIndex = -1, GImageViewIndex = -1, GLinkViewIndex = -1;
    bool GFrameSelected = false;
    std::string GGUIDocName, GGUIFile, GGUIBackupFile, GGUISaveFile, GPageSource, GGUIRawHtml;
    std::string GGUILastFile, GGuiCssFile, GGuiJavaFile, GIndentSavedFile;
    std::string GConvFile, GConvSaveFile, GConvText;
    std::string GFrameSetPage, GInhibitBaseDir, GPageCharset, GBaseHref, GClipboardHtml, GCssUrlRoot,
        GLastSaveFolder, GDirectText, GDownloadLocalFile;
    std::string GDeclaredCharsetName = "Shift_JIS", GBaseHrefFolder;
    std::string GBaseHrefNoScheme, GMainPageFile;
    bool FTraceInterrupted = false;
    // The WebGUI page's editors: the one of the selected tab and the two hidden ones.
    TProfDHTMLEdit2 *GActiveEditor = nullptr, *GTempEditor = nullptr, *GCurrentEditor = nullptr;

    // Text constants (Shift_JIS where they are compared with page text).
    std::string GAboutBlank, GHttp, GHttps, GHtmlOpen, GBaseOpen, GCharsetSjis, GCharsetEuc, GCharsetUtf8,
        GCharsetJis, GMailto, GExtPdf, GExtDoc, GExtXls, GExtZip, GExtLzh, GExtNfs, GJava, GSitePrefix,
        GMadeFromHead, GMadeFromTail, GDocTypeTransitional, GHtmlXmlns, GHtmlLangJa, GBannerHash,
        GBannerEqual, GCssSeparator, GCssBannerHead, GCssBannerTail, GHtmlSeparator, GMsgPathNotFound,
        GMsgSearchOtherPath;

    StringList &list(SharedList id) { return lists_[static_cast<size_t>(id)]; }
    const StringList &list(SharedList id) const { return lists_[static_cast<size_t>(id)]; }

    void CreateStringList();
    void FreeStringList();
    void StringListAllClear();
    void TextInitialize();
    // The state globals' start values (part of Initialize) and the current-file reset (part of FileReset).
    void InitializeGlobals();
    void FileResetGlobals();

private:
    std::array<StringList, static_cast<size_t>(SharedList::Count)> lists_;
};
