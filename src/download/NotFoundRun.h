// The run over the files a download did not obtain: every name tried in every listed server
// directory (or in the one chosen directory), with two fallback forms of a URL that climbs
// with "../"; what is found is saved into the page's tree, its style sheets converted and
// re-rooted, and every attempt listed in the list formats of the tab. One fetch per URL in a
// run: the content check looks at the fetched bytes, and those bytes are saved. No window
// here: the lists are named after their list boxes, and a sink hears each change.
#pragma once
#include "download/DownloadEngine.h"
#include "download/FetchCache.h"
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct NotFoundOptions {
    std::string SaveFolder;  // BtnEditTriedWebFileSaveFolder (absolute)
    std::string WebRoot;     // GWebRoot
    std::string GlobalFile;  // GGlobalFile: never rewritten
    std::string CssUrlRoot;  // GCssUrlRoot
    int RemoveCSSRoot = 0;   // RadioGroupRemoveCSSRoot
    int CharCodeMode = 0;    // RadioGroupCharCodeMode
    // Folder prefixes the main download removed from the mirrored path (EditBaseWebDir), so
    // that a found file lands where the saved page names it.
    std::vector<std::string> Prefixes;
};

class NotFoundRun {
public:
    explicit NotFoundRun(FetchCache::Fetcher Fetch = HttpFetch);

    NotFoundOptions Opt;
    // The stop request: "取得中止" disabled. Seen before each directory attempt.
    std::atomic<bool> Stop{false};
    // Called at the start of each pass and at the end of the run: the stop button enabled.
    std::function<void()> EnableStop;
    // The attempt in progress (LabelTryWebFile).
    std::function<void(const std::string &)> Label;

    void SetSink(std::function<void(const ListChange &)> Sink) { sink_ = std::move(Sink); }
    const std::vector<std::string> &Lines(const std::string &List) { return lists_[List]; }
    void Set(const std::string &List, const std::vector<std::string> &Lines);
    void Add(const std::string &List, const std::string &Line);
    void AddTop(const std::string &List, const std::string &Line);
    void Clear(const std::string &List);

    // A new run: a fresh fetch cache.
    void BeginRun();
    // The whole run of the button: (selected directory or pass 0), collect, the style sheets
    // of the found files, pass 1, collect again, the obtained list. Lists read:
    // "ListBoxPageControlMainTopRightTab11WebDir", "ListBoxPageControlMainTopRightTab11WebNotFoundFile",
    // "ListBoxBodyImageDownloaded", "GObtainedFileList", "GExistFileList",
    // "ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile".
    void Run(const std::string &SelectedDir);

    int DownloadNotFoundFile(int Pass);
    int DownloadSelectedNotFoundFile(const std::string &ServerDir);
    void NotFoundCSS2LocalFile2Text();
    void Collect();

    // Where a URL of the run is saved (empty when it would leave the folder): where the saved
    // page (and the sheets it names) refer to a missing file of that name, else the mapped path.
    std::string LocalOf(const std::string &Url) const;
    // The run's rewriting of an obtained style sheet: root-relative references made relative
    // to the sheet's file (index 0) or rooted at GCssUrlRoot (index 3); the original kept in
    // the "ZZ" backup. False when nothing was rewritten.
    bool RewriteObtainedSheet(const std::string &Local, const std::string &SheetUrl);

    std::string MemoText; // MemoMainTopNotFoundCSS

private:
    // The missing files the saved page (GlobalFile) and its saved sheets name, by file name.
    void readExpected();
    std::map<std::string, std::string> expected_;
    bool attempt(const std::string &Url, const std::string &Local, bool probe);
    void obtainedLists(const std::string &Local);
    void directoryEnd(const std::string &Local);
    void notify(const ListChange &c)
    {
        if (sink_) sink_(c);
    }

    FetchCache::Fetcher fetch_;
    std::unique_ptr<FetchCache> cache_;
    std::map<std::string, std::vector<std::string>> lists_;
    std::function<void(const ListChange &)> sink_;
    std::set<std::string> obtained_;  // local files this run saved
    std::set<std::string> converted_; // of those, the ones the UTF-8 step converted
    std::map<std::string, std::string> urlOf_;
};

// The rules' marks, exactly.
namespace NotFoundMarks {
std::string Tried1();     // "○◎  "
std::string Found1();     // "○▼  "
std::string Fail1();      // "■１ 　 "
std::string Tried2();     // "△１  "
std::string Fail2();      // "▼１ 　 "
std::string Tried3();     // "△２  "
std::string Fail3();      // "▼６　  "
std::string FoundVia2();  // "○◎  "
std::string FoundVia3();  // "○◆  "
std::string SelTried1();  // "○２  "
std::string SelFail3();   // "▼２　  "
std::string SelFound23(); // "○  "
} // namespace NotFoundMarks
