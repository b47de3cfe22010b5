#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/JCode.h"

const std::array<SharedListInfo, static_cast<size_t>(SharedList::Count)> kSharedLists = {{
    {"GTagValueList", true, true},
    {"GCssUrlList", true, true},
    {"GSavedFileList", true, true},
    {"GCssImportLines", false, true},
    {"GDownloadedCssFiles", false, true},
    {"GJsDownloadLog", true, true},
    {"GCssImageLines", false, true},
    {"GCssTextLines", false, true},
    {"GImageUrlList", true, true},
    {"GCssUrlLines", false, true},
    {"GBackgroundImageList", false, true},
    {"GLocalFileList", false, true},
    {"GCssSeenList", true, true},
    {"GWorkList", false, true},
    {"GFileLines", false, true},
    {"GCssAggregateLines", false, true},
    {"GOutputLines", false, true},
    {"GIndentSaveLines", false, true},
    {"GImageDownloadLog", true, true},
    {"GImageRootList", true, true},
    {"GFrameUrlList", true, true},
    {"GAdjustCssFiles", false, true},
    {"GDownloadedCssList", false, false},
    {"GAdjustedCssList", false, false},
    {"GCssReportLines", false, false},
    {"GIndentOutLines", false, true},
    {"GSourceLines", false, true},
    {"GSearchWords", false, true},
    {"GIndentSrcLines", false, false},
    {"GWebDirList", true, true},
    {"GImageExistList", true, true},
    {"GDirMaskList", false, false},
    {"GRootTreeList", false, false},
    {"GEditorSourceLines", false, false},
    {"GNotFoundDownloadList", true, false},
    {"GReplaceFileList", true, true},
    {"GNotFoundFileList", true, true},
    {"GImageProbeList", true, true},
    {"GExistFileList", true, true},
    {"GDocLinkList", true, false},
    {"GTraceHopList", false, false},
    {"GCreatedDirList", false, true},
    {"GResultLinkList", false, false},
    {"GCssBannerSeen", true, false},
    {"GImageNameList", true, false},
    // Used by the whole-page download to remember what it fetched; emptied with the others.
    {"GObtainedFileList", true, true},
}};

void AppState::CreateStringList()
{
    for (size_t i = 0; i < lists_.size(); ++i) lists_[i] = StringList(kSharedLists[i].sorted);
}

void AppState::FreeStringList()
{
    for (auto &l : lists_) l.clear();
}

void AppState::StringListAllClear()
{
    for (size_t i = 0; i < lists_.size(); ++i)
        if (kSharedLists[i].cleared) lists_[i].clear();
    // The folders the save routine prepared are kept by the text library itself.
    ::GCreatedDirList().clear();
}

void AppState::TextInitialize()
{
    auto sj = [](const char *utf8) { return Utf8ToAnsi(utf8); };
    GAboutBlank = "about:blank";
    GHttp = "http://";
    GHttps = "https://";
    GHtmlOpen = "<html";
    GBaseOpen = "<base";
    GCharsetSjis = "charset=shift_jis";
    GCharsetEuc = "charset=euc-jp";
    GCharsetUtf8 = "charset=utf-8";
    GCharsetJis = "charset=iso-2022-jp";
    GMailto = "mailto:";
    GExtPdf = ".pdf";
    GExtDoc = ".doc";
    GExtXls = ".xls";
    GExtZip = ".zip";
    GExtLzh = ".lzh";
    GExtNfs = ".nfs";
    GJava = "java";
    GSitePrefix = "site:";
    GMadeFromHead = "<!-- made from ";
    GMadeFromTail = "\" by VORN-KYMBrowser -->";
    GDocTypeTransitional =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">";
    GHtmlXmlns = "<html xmlns=\"http://www.w3.org/1999/xhtml\">";
    GHtmlLangJa = "<html lang=\"ja\">";
    GBannerHash = " " + std::string(40, '#');
    GBannerEqual = " " + std::string(40, '=') + " ";
    GCssSeparator = "/* " + std::string(77, '=') + " */";
    GCssBannerHead = sj("/*********■■【 ");
    GCssBannerTail = sj(" 】●● **********/");
    GHtmlSeparator = "<!-- ============================================================ -->";
    GMsgPathNotFound = sj("この” ﾊﾟｽ（Path） ”には、指定したﾌｧｲﾙが見つかりませんでした");
    GMsgSearchOtherPath = sj("別の”ﾊﾟｽ（Path）＝ ﾌｫﾙﾀﾞ ”を探してください");
}

void AppState::InitializeGlobals()
{
    GCaptionName.clear();
    GFirstEngineSearch = true;
    GSecondEngineSearch = false;
    GBatchMode = false;
    GLinkOpened = false;
    GBaseClickRouted = false;
    GBaseHoverUrl.clear();
    GTargetHoverUrl.clear();
    GTargetUrl.clear();
    GResultHtml.clear();
    GSearchJsUrl.clear();
    GResultListHtml.clear();
    GBatchBrowseLastIndex = -1;
    GAppName = "VORN-KYMBrowser";
    GSearchTopHeight = 45;
    GMainTopHeight = 750;
    GSearchLeftWidth = 450;
    GSiteBrowsersReady = false;
    GSiteQuery.clear();
    GPageBrowserCount = 0;
    GRichWordWrap = GGUIAllSrcWordWrap = GGUIOrgSrcWordWrap = GIndentFlag = false;
    FTraceInterrupted = false;
    GIndentLineNo = GIndentTraceNo = 0;
    GConvFile.clear();
    GConvSaveFile.clear();
    GConvText.clear();
}

void AppState::FileResetGlobals()
{
    GFrameSelected = false;
    GSearchNextIndex = GIndentSearchIndex = GImageViewIndex = GLinkViewIndex = -1;
    GDownloadLocalFile.clear();
    GIndentSavedFile.clear();
    GClipboardHtml.clear();
    GConvText.clear();
    GGuiCssFile.clear();
    GGuiJavaFile.clear();
    GGUILastFile.clear();
    GResultHtml.clear();
    GIndentTraceOn = false;
    GIndentLineNo = 0;
    GIndentTraceNo = 0;
}
