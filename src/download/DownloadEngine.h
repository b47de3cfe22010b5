// The download engine: the page-parts collection, the folder masks and single-file download,
// and the style-sheet and script step. It has no window: options come in as plain values, and
// the lists it fills are its own lists of lines, named after the list boxes and shared lists
// that show them, in their line formats. A sink hears every change so that a window can
// mirror the lists as the run goes; the engine may run on a worker thread.
#pragma once
#include "download/FetchCache.h"
#include "download/SaveTree.h"
#include "download/TextDecode.h"
#include "download/UrlMapper.h"
#include "text/StringList.h"
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ListChange {
    enum Op { Add, Clear, Set, AddTop };
    std::string List;
    Op What = Add;
    std::string Line;               // Add
    std::vector<std::string> Lines; // Set
};

struct DownloadOptions {
    // Collection
    bool FromClipboard = false;             // CheckBoxHTMTFromClipboard
    std::string ClipboardHtml;              // GClipboardHtml
    int RemoveUrlRoot = 0;                  // RadioGroupRemoveUrlRoot
    std::string LocalFilename;              // BtnEditLocalFilename
    std::string CssSaveFolder;              // BtnEditCSSSaveFolder
    std::string BaseHref;                   // GBaseHref
    std::string BaseHrefFolder;             // GBaseHrefFolder
    std::vector<std::string> BrowserImages; // the main pane's images, when it shows this page
    // Style-sheet step
    int CharCodeMode = 0;      // RadioGroupCharCodeMode
    int RemoveCSSRoot = 0;     // RadioGroupRemoveCSSRoot
    int RemoveRelativeUp = 0;  // RadioGroupRemoveRelativeUp
    std::string CssUrlRoot;    // GCssUrlRoot
    // Image and page steps
    std::string WebRoot;            // GWebRoot
    std::string InhibitBaseDirPath; // GInhibitBaseDir
    bool InhibitBaseDir = false;    // CheckBoxInhibitBaseDir
    std::string PageUrlText;        // ComboBoxUrl (the saved-from comment, the "ZZ" copy)
    std::string SaveFolderBox;      // BtnEditHTMLPageSaveFolder
    std::string BaseWebDir;         // EditBaseWebDir
    int HTMLNodePosition = 0;       // RadioGroupHTMLNodePosition
    int RemoveLinkCSSRoot = 0;      // RadioGroupRemoveLinkCSSRoot
    int RomoveHTMLSrcRoot = 0;      // RadioGroupRomoveHTMLSrcRoot
    int RemoveHrefRoot = 0;         // RadioGroupRemoveHrefRoot
    int RemoveUrlRelative = 0;      // RadioGroupRemoveUrlRelative
    int WebHreffRoot = 0;           // RadioGroupWebHreffRoot
    int EmptyElement = 0;           // RadioGroupEmptyElement
    int CSSJavaChangeChaCode = 0;   // RadioGroupCSSJavaChangeChaCode
    std::string MadeFromTail = "\" by VORN-KYMBrowser -->"; // GMadeFromTail
    // Whole-page run
    bool DoNotEmptyFolder = false;  // CheckBoxDoNotEmptyFolder
    bool SaveLocalFile = false;     // CheckBoxSaveLocalFile
    bool FrameSelected = false;     // GFrameSelected
};

class DownloadEngine {
public:
    // Fetch: how one URL is fetched (as it goes on the wire); by default over HTTP, cut off
    // when Stop turns true.
    explicit DownloadEngine(FetchCache::Fetcher Fetch = {});

    DownloadOptions Opt;
    // Stop request of the run (the window's stop button disabled). Seen between files and by
    // the transfer in flight, which it cuts off: a stopped run writes nothing more.
    std::atomic<bool> Stop{false};
    // True while a step runs (on whatever thread).
    bool Running() const;
    // Asks the run to stop and waits, at most TimeoutMs, until no step runs any more: what
    // the window calls before it goes away. True when the engine is idle. The stop is for good:
    // a run begun later (one its caller had queued) ends at once, fetching and writing nothing.
    bool StopAndWait(int TimeoutMs = 10000);

    void SetSink(std::function<void(const ListChange &)> Sink) { sink_ = std::move(Sink); }

    // A new run: a fresh fetch cache and fresh path claims (the fetches kept when asked, for
    // a run that continues what a look at the page began).
    void BeginRun(bool KeepFetches = false);
    // Fetches made so far in this run, by URL.
    std::shared_ptr<const HttpResponse> Fetched(const std::string &Url) { return cache_->Peek(Url); }

    // The lines of a list ("ListBoxPageCSS", "GTagValueList", ...).
    const std::vector<std::string> &Lines(const std::string &List);
    void Clear(const std::string &List);
    void Add(const std::string &List, const std::string &Line);
    void Set(const std::string &List, const std::vector<std::string> &Lines);

    // --- folder masks and single-file download --------------------------------------------
    int MakeDirMaskList(const std::string &Path);
    int MakeRootTreeList(const std::string &Path, const std::string &WebRoot);
    std::string GetMaskedLocalFilename(const std::string &Path) const;
    // Url to its mirrored, masked path under Folder; lines into ListName and the download
    // lists. 0 when it ran (whatever the download gave), -1 without a usable folder.
    int DoDownloadFile(const std::string &Url, const std::string &Folder, const std::string &Root,
                       const std::string &ListName);

    // --- page parts collection ----------------------------------------------------------
    // Source 0: Url from the web; 1: Url is a local file. 0 when the collection ran, -1 when
    // there was nothing to collect (InfoLabel tells).
    int MainTopGetPageImageCSS(const std::string &Url, int Source);
    std::string InfoLabel;       // the caller's label
    std::string DeclaredCharset; // GDeclaredCharsetName after the run ("" when the page declares none)
    std::string WorkingText;     // the converted page text, as the memo shows it
    std::string AggregatedText;  // MemoTopCSSText
    std::string ClipboardHtml;   // GClipboardHtml after its "./" removals
    std::string PageBaseUrl;     // the base the references were resolved against

    // --- style-sheet and script step ------------------------------------------------------
    int MainTopCSSdownload(const std::string &Url, const std::string &SaveFolder, const std::string &BaseWebDir,
                           int Mode);
    int MainTopJSdownload(const std::string &Url, const std::string &SaveFolder, int Mode);

    // --- image step ------------------------------------------------------------------------
    // The images of ListBoxBodyPageCSSImage into the mirrored tree under Folder; the attempts
    // go on top of ListName. Always 0, also after a stop (seen before each image).
    int MainTopImagedownload(const std::string &Url, const std::string &Folder, const std::string &WebDir,
                             const std::string &ListName = "ListBoxBodyImageDownloaded", int Mode = 0);
    int ImageCount = 0;          // LabeDLCnt
    std::string LastWebFile;     // LabelWebFile
    std::string LastLocalFile;   // LabelLocalFile

    // --- page step ------------------------------------------------------------------------
    // The page's HTML, converted to Shift_JIS, its references to the files this run saved
    // made relative to the saved page, into LP under SaveFolder. 0, or -1 when the page could
    // not be fetched (InfoLabel tells) or SaveFlag 1 finds no save folder.
    int MainTopPageHTMLdownload(const std::string &Url, const std::string &LocalName, const std::string &SaveFolder,
                                int SaveFlag = 0);
    std::string GlobalFile;   // GGlobalFile: the page file written
    std::string PageCharset;  // GPageCharset
    std::string PageHtml;     // the rewritten page, as RichEditpageHTML shows it
    // The rewrite of a page text alone (the step's chain), for a page saved at PageRel under Root.
    std::string RewritePageHtml(const std::string &Html, const std::string &Url, const std::string &PageRel,
                                const std::string &Root);

    // --- whole-page run -------------------------------------------------------------------
    // Steps 1 to 4 with the stop checks, the re-rooting of the saved style sheets and the
    // post-run lists. 0 on success, -1 when it stopped or a step failed (Message tells when
    // the window must say so).
    int DownloadAll(const std::string &Url, const std::string &LocalName, const std::string &SaveFolder,
                    bool FreshRun = true);
    // A first look at the page: 1 frameset, 2 inline frames, 0 an ordinary page, -1 when it
    // cannot be fetched. Frames gets the frame sources, Text the page in Shift_JIS.
    int PageKind(const std::string &Url, std::vector<std::string> &Frames, std::string &Text);
    // The charset post-pass over saved style sheets and scripts (both options at item 1).
    int AdjustCSSDownloadFile(const std::vector<std::string> &Files, int RemoveCSSRootItem);
    std::string Message;      // a message box text for the window, "" when none
    int WriteFailures = 0;    // files of this run fetched but not written
    std::string MainPageFile; // GMainPageFile
    // Re-roots every style sheet this run saved so that each reference names the file saved
    // for it, relative to the sheet's own file. Files: the sheets' paths (all when empty).
    void TopImageCSSRemoveFirstSlash(const std::vector<std::string> &Files = {});
    // The local file this run saved for a URL ("" when none), relative to the save folder.
    std::string SavedRel(const std::string &AbsUrl) const;

    // Folders created by this engine's writes since the last call, for the window's list.
    std::vector<std::string> TakeCreatedFolders();
    // The save tree of a folder (manifest and writes), made on first use.
    SaveTree &Tree(const std::string &Folder);
    UrlMapper &Mapper(const std::string &Folder);

private:
    HttpResponse fetchOnce(const std::string &Key);
    std::string pageEncoding_; // the page's encoding, for the query of its references
    StringList &list(const std::string &name);
    const DecodedText &decoded(const std::string &Url, FetchedKind Kind);
    // The page's text decoded once per run: the collection and the page step read the same bytes.
    const DecodedText &decodedPage(const std::string &Raw, const std::string &ContentType);
    std::string fetchPageText(const std::string &Url, int Source, std::string &EffectiveUrl,
                              std::string &ContentType, bool &Ok);
    void sheetRefs(const std::string &SheetUrl, const std::string &Text, bool Css);
    std::string rewriteSheet(const std::string &Css, const std::string &SheetUrl, const std::string &FromRel,
                             UrlMapper &M);
    void finishTrees();
    void addTop(const std::string &List, const std::string &Line);
    bool stopNow() const { return Stop; }
    // Marks a step as running for StopAndWait.
    struct Busy {
        explicit Busy(DownloadEngine &e);
        ~Busy();
        DownloadEngine &e_;
    };
    mutable std::mutex busyM_;
    std::condition_variable busyCv_;
    int busy_ = 0;
    std::atomic<bool> closed_{false}; // StopAndWait was called
    void recordSaved(const std::string &Url, const std::string &Rel);
    // A file fetched but not written: a not-obtained line with the reason, counted.
    void writeFailed(const std::string &List, const std::string &Url, const std::string &Local, const SaveResult &R);
    void status(const std::string &Text);
    struct SheetFile {
        std::string Rel, Url;
        bool Css;
    };
    std::vector<SheetFile> sheetFiles_;
    std::map<std::string, std::string> savedRel_; // url key -> rel path
    std::string saveRoot_;
    // The leading folders the steps leave out of a same-site path (the page's web folder, the
    // masks), so that a sheet names its images where the image step puts them.
    std::vector<std::string> prefixes_;
    bool wholeRun_ = false; // inside DownloadAll

    FetchCache::Fetcher fetch_;
    std::unique_ptr<FetchCache> cache_;
    std::map<std::string, StringList> lists_;
    std::map<std::string, DecodedText> decoded_;
    struct PageDecode {
        std::string Raw, ContentType;
        DecodedText Text;
    };
    std::optional<PageDecode> pageDecode_;
    std::map<std::string, std::unique_ptr<SaveTree>> trees_;
    std::map<std::string, std::unique_ptr<UrlMapper>> mappers_;
    std::function<void(const ListChange &)> sink_;
    std::vector<std::string> created_;
};

// The folder of a page's first <base href>, case kept ("" when none; a target attribute is
// never taken for it).
std::string GetBaseHref(const std::string &Html);
// The page's first <base href> as written ("" when none).
std::string BaseHrefOf(const std::string &Html);
// 1 for a frameset page, 2 for a page with an iframe, 0 otherwise; List gets the frame sources.
int GetHTMLType(const std::string &Html, const std::string &Url, std::vector<std::string> &List);

// True for a <link> tag whose target a browser loads with the page: a style sheet or an icon
// (also a tag without rel). Neighbour pages (rel="next", "prev", "up", "home" ...), alternates
// and the like are no part of the page.
bool IsRequisiteLink(std::string_view Tag);

// The text before a second "http://" that begins at position 6 or later.
std::string CutAtSecondUrl(const std::string &S);
