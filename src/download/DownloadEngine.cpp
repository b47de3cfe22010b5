#include "download/DownloadEngine.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/PathGuard.h"
#include "text/SjisBytes.h"
#include "text/UrlMap.h"
#include <algorithm>
#include <set>

namespace {

// The lists and labels hold Shift_JIS text; the marks are written here as UTF-8.
std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

const std::set<std::string> kSortedLists = {"GTagValueList", "GCssUrlList", "GSavedFileList", "GImageUrlList",
                                            "GWebDirList"};

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool has(const std::string &s, const std::string &sub) { return s.find(sub) != std::string::npos; }

std::string fileNameOf(const std::string &path)
{
    const std::size_t s = path.rfind('/');
    return s == std::string::npos ? path : path.substr(s + 1);
}

std::string folderOf(const std::string &path)
{
    const std::size_t s = path.rfind('/');
    return s == std::string::npos ? std::string() : path.substr(0, s + 1);
}

bool isCssOrJsName(const std::string &url)
{
    const std::string l = lower(UrlToLocalFileName(url));
    return has(l, ".css") || has(l, ".js");
}

bool isCssName(const std::string &url) { return has(lower(UrlToLocalFileName(url)), ".css"); }

// An absolute folder ("/..."), "\" read as "/".
std::string absFolder(const std::string &folder)
{
    const std::string f = NormalizeFolderPath(folder);
    return f.empty() || f == "/" ? f : f + "/";
}

const std::string kBannerHead1 = J("/********* １■■【  <(");
const std::string kBannerOpenTail = J(")>  】●● **********/");
const std::string kBannerCloseHead1 = J("/********* １■■【  <[");
const std::string kBannerCloseTail = J("]>  】●● **********/");
const std::string kBannerHead2 = J("/********* ２■■【  <(");
const std::string kBannerCloseHead2 = J("/********* ２■■【  <[");

std::vector<std::string> splitCrlf(const std::string &t)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= t.size()) {
        std::size_t e = t.find("\r\n", at);
        if (e == std::string::npos) {
            if (at < t.size()) out.push_back(t.substr(at));
            break;
        }
        out.push_back(t.substr(at, e - at));
        at = e + 2;
    }
    return out;
}

std::string attrUrl(const std::string &v) { return AttrValueToUrl(v); }

} // namespace

bool IsRequisiteLink(std::string_view Tag)
{
    std::string rel;
    bool hasRel = false;
    for (const HtmlAttr &a : ParseTagAttrs(Tag))
        if (a.hasValue && lower(std::string(Tag.substr(a.nameBegin, a.nameEnd - a.nameBegin))) == "rel") {
            rel = lower(std::string(Tag.substr(a.valueBegin, a.valueEnd - a.valueBegin)));
            hasRel = true;
        }
    // Without rel the tag names no relation, but the older pages that write only
    // type="text/css" mean a sheet.
    if (!hasRel) return true;
    std::size_t at = 0;
    while (at < rel.size()) {
        const std::size_t b = rel.find_first_not_of(" \t\r\n", at);
        if (b == std::string::npos) break;
        std::size_t e = rel.find_first_of(" \t\r\n", b);
        if (e == std::string::npos) e = rel.size();
        const std::string tok = rel.substr(b, e - b);
        if (tok == "stylesheet" || tok == "icon" || tok == "apple-touch-icon" ||
            tok == "apple-touch-icon-precomposed" || tok == "mask-icon")
            return true;
        at = e;
    }
    return false;
}

std::string CutAtSecondUrl(const std::string &S)
{
    const std::size_t p = S.find("http://", 5);
    return p == std::string::npos ? S : S.substr(0, p);
}

static std::string cutAtSecondUrlNoCase(const std::string &S)
{
    std::string r = S;
    const std::string l = lower(r);
    std::size_t p = l.find("http://", 5);
    if (p != std::string::npos) r = r.substr(0, p);
    p = lower(r).find("https://", 5);
    if (p != std::string::npos) r = r.substr(0, p);
    return r;
}

std::string BaseHrefOf(const std::string &Html)
{
    for (const HtmlToken &t : ScanHtml(Html)) {
        if (t.kind != HtmlToken::Kind::StartTag || t.name != "base") continue;
        const std::string_view tag(Html.data() + t.begin, t.end - t.begin);
        for (const HtmlAttr &a : ParseTagAttrs(tag)) {
            const std::string name = lower(std::string(tag.substr(a.nameBegin, a.nameEnd - a.nameBegin)));
            if (name == "href" && a.hasValue)
                return Trim(attrUrl(std::string(tag.substr(a.valueBegin, a.valueEnd - a.valueBegin))));
        }
    }
    return {};
}

std::string GetBaseHref(const std::string &Html)
{
    const std::string href = BaseHrefOf(Html);
    if (href.empty()) return {};
    const std::size_t scheme = href.find("//");
    const std::size_t last = href.rfind('/');
    if (scheme != std::string::npos && last == scheme + 1) return href + "/"; // a host without a path
    if (last == std::string::npos) return href;
    return href.substr(0, last + 1);
}

int GetHTMLType(const std::string &Html, const std::string &Url, std::vector<std::string> &List)
{
    List.clear();
    int kind = 0;
    for (const HtmlToken &t : ScanHtml(Html)) {
        if (t.kind != HtmlToken::Kind::StartTag) continue;
        if (t.name == "frameset") {
            kind = 1;
            break;
        }
        if (t.name == "iframe" && kind == 0) kind = 2;
    }
    if (kind) ListFrameSources(ExtractUrlFolder(Url), Html, List);
    return kind;
}

DownloadEngine::DownloadEngine(FetchCache::Fetcher Fetch) : fetch_(std::move(Fetch)) { BeginRun(); }

HttpResponse DownloadEngine::fetchOnce(const std::string &Key)
{
    // Nothing more goes out once the stop is pressed; a transfer in flight is cut off.
    auto get = [this](const std::string &u) {
        if (Stop || closed_) {
            HttpResponse r;
            r.EffectiveUrl = u;
            r.Error = "stopped";
            return r;
        }
        return fetch_ ? fetch_(u) : HttpFetchUntil(u, &Stop);
    };
    const std::string wire = WireUrl(Key, pageEncoding_);
    HttpResponse r = get(wire);
    if (r.Status == 404) {
        // A server that keeps names in the page's own encoding: asked once more that way.
        if (const std::string legacy = LegacyWireUrl(wire, pageEncoding_); !legacy.empty()) {
            HttpResponse again = get(legacy);
            if (again.Status != 404 && again.Status != 0) return again;
        }
    }
    return r;
}

DownloadEngine::Busy::Busy(DownloadEngine &e) : e_(e)
{
    std::lock_guard<std::mutex> lock(e_.busyM_);
    ++e_.busy_;
}

DownloadEngine::Busy::~Busy()
{
    {
        std::lock_guard<std::mutex> lock(e_.busyM_);
        --e_.busy_;
    }
    e_.busyCv_.notify_all();
}

bool DownloadEngine::Running() const
{
    std::lock_guard<std::mutex> lock(busyM_);
    return busy_ > 0;
}

bool DownloadEngine::StopAndWait(int TimeoutMs)
{
    closed_ = true;
    Stop = true;
    std::unique_lock<std::mutex> lock(busyM_);
    return busyCv_.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [this] { return busy_ == 0; });
}

void DownloadEngine::BeginRun(bool KeepFetches)
{
    if (!KeepFetches || !cache_) {
        cache_ = std::make_unique<FetchCache>([this](const std::string &Key) { return fetchOnce(Key); });
        pageEncoding_.clear();
        pageDecode_.reset();
    }
    decoded_.clear();
    savedRel_.clear();
    sheetFiles_.clear();
    prefixes_.clear();
    mappers_.clear();
    trees_.clear();
    Stop = closed_.load();
}

StringList &DownloadEngine::list(const std::string &name)
{
    auto it = lists_.find(name);
    if (it == lists_.end()) it = lists_.emplace(name, StringList(kSortedLists.count(name) > 0)).first;
    return it->second;
}

const std::vector<std::string> &DownloadEngine::Lines(const std::string &List) { return list(List).items(); }

void DownloadEngine::Clear(const std::string &List)
{
    list(List).clear();
    if (sink_) sink_({List, ListChange::Clear, {}, {}});
}

void DownloadEngine::Add(const std::string &List, const std::string &Line)
{
    StringList &l = list(List);
    const int at = l.add(Line);
    if (at < 0) return;
    if (sink_) {
        if (l.sorted())
            sink_({List, ListChange::Set, {}, l.items()});
        else
            sink_({List, ListChange::Add, Line, {}});
    }
}

void DownloadEngine::Set(const std::string &List, const std::vector<std::string> &Lines)
{
    StringList &l = list(List);
    l.clear();
    for (const std::string &s : Lines) l.add(s);
    if (sink_) sink_({List, ListChange::Set, {}, l.items()});
}

// One save tree and one mapper per folder, however the folder is written.
static std::string folderKey(const std::string &Folder) { return NormalizeFolderPath(Folder); }

SaveTree &DownloadEngine::Tree(const std::string &Folder)
{
    const std::string f = folderKey(Folder);
    auto it = trees_.find(f);
    if (it == trees_.end()) it = trees_.emplace(f, std::make_unique<SaveTree>(f)).first;
    return *it->second;
}

UrlMapper &DownloadEngine::Mapper(const std::string &Folder)
{
    const std::string f = folderKey(Folder);
    auto it = mappers_.find(f);
    if (it == mappers_.end()) it = mappers_.emplace(f, std::make_unique<UrlMapper>(f, PageBaseUrl)).first;
    return *it->second;
}

void DownloadEngine::finishTrees()
{
    for (auto &[root, tree] : trees_) {
        tree->SaveManifest();
        for (const std::string &d : tree->CreatedFolders())
            if (std::find(created_.begin(), created_.end(), d) == created_.end()) created_.push_back(d);
    }
}

std::vector<std::string> DownloadEngine::TakeCreatedFolders()
{
    std::vector<std::string> out;
    out.swap(created_);
    return out;
}

const DecodedText &DownloadEngine::decoded(const std::string &Url, FetchedKind Kind)
{
    const std::string key = UrlKey(Url);
    auto it = decoded_.find(key);
    if (it != decoded_.end()) return it->second;
    const auto r = cache_->Get(Url);
    DecodedText d;
    if (CheckResource(*r) == FetchVerdict::Ok)
        d = DecodeToSjis(r->Body, r->ContentType, Kind, pageEncoding_ == "auto" ? std::string() : pageEncoding_);
    return decoded_.emplace(key, d).first->second;
}

const DecodedText &DownloadEngine::decodedPage(const std::string &Raw, const std::string &ContentType)
{
    if (!pageDecode_ || pageDecode_->Raw != Raw || pageDecode_->ContentType != ContentType)
        pageDecode_ = PageDecode{Raw, ContentType, DecodeToSjis(Raw, ContentType, FetchedKind::Html)};
    return pageDecode_->Text;
}

// --- folder masks and single-file download ------------------------------------------------

int DownloadEngine::MakeDirMaskList(const std::string &Path)
{
    Clear("GDirMaskList");
    const std::size_t slash = Path.find('/');
    if (Path.empty() || slash == std::string::npos) return 0;
    Add("GDirMaskList", ReplaceAll(Path, "/", "\\"));
    Add("GDirMaskList", Path.substr(0, slash) + "\\");
    return static_cast<int>(Lines("GDirMaskList").size());
}

int DownloadEngine::MakeRootTreeList(const std::string &Path, const std::string &WebRoot)
{
    Clear("GRootTreeList");
    if (Path.empty() || Path.find('/') == std::string::npos) return 0;
    Add("GRootTreeList", WebRoot);
    Add("GRootTreeList", WebRoot + Path);
    std::string p = Path;
    for (;;) {
        const std::size_t s = p.rfind('/');
        if (s == std::string::npos) break;
        p = p.substr(0, s);
        std::string t = Trim(p);
        if (t.empty() || t == "http" || t == "https" || (t.rfind("http:", 0) == 0 && t.size() <= 6) ||
            (t.rfind("https:", 0) == 0 && t.size() <= 7))
            break; // the scheme is no folder of the site
        if (t.back() != '/') t += '/';
        Add("GRootTreeList", WebRoot + t);
    }
    return static_cast<int>(Lines("GRootTreeList").size());
}

std::string DownloadEngine::GetMaskedLocalFilename(const std::string &Path) const
{
    // Masks are folder prefixes: each is removed once, from the start of the path only.
    std::string r = Path;
    auto it = lists_.find("GDirMaskList");
    if (it == lists_.end()) return r;
    for (const std::string &line : it->second.items()) {
        const std::string m = Trim(line);
        if (m.empty()) continue;
        std::string mm = m, rr = r;
        for (char &c : mm)
            if (c == '\\') c = '/';
        for (char &c : rr)
            if (c == '\\') c = '/';
        if (rr.size() > mm.size() && rr.compare(0, mm.size(), mm) == 0) r = r.substr(m.size());
    }
    return r;
}

int DownloadEngine::DoDownloadFile(const std::string &Url, const std::string &Folder, const std::string &Root,
                                   const std::string &ListName)
{
    const Busy busy(*this);
    // The folder checked is the folder written to; a relative one would write into the
    // current directory.
    if (absFolder(Folder).empty()) return -1;
    const std::string A = has(Url, "http://") || has(Url, "https://") ? Url : MakeAbsoluteUrl(Url, Url);
    std::vector<std::string> prefixes;
    if (auto it = lists_.find("GDirMaskList"); it != lists_.end()) prefixes = it->second.items();
    if (!Root.empty()) prefixes.insert(prefixes.begin(), Root);
    UrlMapper &M = Mapper(Folder);
    const UrlMapper::Result L = M.Map(A, prefixes);
    bool ok = false;
    if (L.ok()) {
        const auto r = cache_->Get(A);
        if (CheckResource(*r) == FetchVerdict::Ok) ok = Tree(Folder).Write(L.Abs, r->Body, A).ok();
    }
    const std::string shown = L.ok() ? L.Abs : absFolder(Folder) + UrlToLocalRelPath(A);
    if (ok) {
        const std::string lp = lower(shown);
        if (has(lp, ".css") || has(lp, ".js")) Add("ListBoxCSSLocalFilename", J("◆１\t") + shown);
        Add(ListName, A + J("\t○◎ ") + shown);
        Add("ListBoxGetWebFileList", A + J(" <\t○>") + shown);
        if (has(A, ".css") || has(A, ".js")) {
            Add("ListBoxPageControlMainBodyTab04WebFileListRightTab04CSS", A);
            Add("ListBoxPageControlMainBodyTab04LocalFileListRightTab04CSS", shown);
        }
    } else {
        Add(ListName, A + J("\t■ ") + shown);
        Add("ListBoxGetWebFileList", A + J(" <\t■>") + shown);
    }
    finishTrees();
    return 0;
}

// --- page parts collection -------------------------------------------------------------------

std::string DownloadEngine::fetchPageText(const std::string &Url, int Source, std::string &EffectiveUrl,
                                          std::string &ContentType, bool &Ok)
{
    Ok = false;
    EffectiveUrl = Url;
    if (Source == 0) {
        const auto r = cache_->Get(Url);
        if (!r->Ok || r->Status >= 400 || r->Body.empty()) return {};
        EffectiveUrl = r->EffectiveUrl;
        ContentType = r->ContentType;
        Ok = true;
        return r->Body;
    }
    if (Source == 1) {
        const std::string t = LoadTextFile(Url);
        Ok = !t.empty();
        return t;
    }
    return {};
}

void DownloadEngine::sheetRefs(const std::string &SheetUrl, const std::string &Text, bool Css)
{
    // Each reference of a sheet counts from that sheet's own URL.
    if (Css) {
        for (const CssRef &r : ScanCssRefs(Text)) {
            if (!r.inImport) continue;
            const std::string a = MakeAbsoluteUrl(SheetUrl, CssRefValue(Text, r));
            if (!a.empty()) Add("GCssTextLines", a);
        }
        for (const std::string &l : Lines("GCssTextLines")) Add("GCssUrlList", l);
        for (const CssRef &r : ScanCssRefs(Text)) {
            if (r.inImport || r.kind != CssRef::Kind::Url) continue;
            const std::string v = CssRefValue(Text, r);
            if (v.empty() || StartsWithNoCase(v, "data:") || v.front() == '#') continue;
            const std::string a = MakeAbsoluteUrl(SheetUrl, v);
            if (!a.empty()) Add("GCssTextLines", a);
        }
    }
    for (const std::string &l : Lines("GCssTextLines")) Add("GCssUrlList", l);
    if (!Css) return;
    std::vector<std::string> bg;
    ListCssRefUrls(Text, "background: ", ";", ExtractUrlFolder(SheetUrl), bg, 1);
    Clear("GCssUrlLines");
    for (const std::string &b : bg) {
        Add("GCssUrlLines", b);
        Add("GImageUrlList", CutAtSecondUrl(b));
    }
}

int DownloadEngine::MainTopGetPageImageCSS(const std::string &Url, int Source)
{
    const Busy busy(*this);
    if (Url.empty()) return -1;
    std::string raw, effective = Url, contentType;
    bool ok = false;
    if (Opt.FromClipboard) {
        if (!has(Opt.ClipboardHtml, "<HTML") && !has(Opt.ClipboardHtml, "<html")) return -1;
        ClipboardHtml = ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Opt.ClipboardHtml, "href=\"./", "href=\""),
                                             "src=\"./", "src=\"");
        raw = ClipboardHtml;
        ok = true;
    } else {
        raw = fetchPageText(Url, Source, effective, contentType, ok);
    }
    if (!ok || raw.empty()) {
        InfoLabel = J("■■　【 ") + Url + J("  】がＷｅｂサイトに存在しません");
        return -1;
    }
    const std::string lowerRaw = lower(raw);
    const DecodedText &pageText = decodedPage(raw, contentType);
    const std::string &text = pageText.Sjis;
    pageEncoding_ = pageText.Encoding;
    InfoLabel = J("【 ") + Url + J("  】");

    // The shown copy may lose the leading "/" and "../" of its url() values; the values that
    // are resolved and fetched come from the text as it is.
    WorkingText = text;
    if (Opt.RemoveUrlRoot == 0) {
        static const std::pair<const char *, const char *> rules[] = {
            {"url(/", "url("},      {"url(../", "url("},      {"url(../..", "url("}, {"url(\"/", "url("},
            {"\")", ")"},           {"url(\"../", "url("},    {"url(\"../..", "url("}};
        for (const auto &[from, to] : rules) WorkingText = ReplaceAllIgnoreCase(WorkingText, from, to);
    }
    DeclaredCharset.clear();
    if (has(lowerRaw, "charset=shift_jis"))
        DeclaredCharset = "Shift_JIS";
    else if (has(lowerRaw, "charset=euc-jp"))
        DeclaredCharset = "euc-jp";
    else if (has(lowerRaw, "charset=utf-8"))
        DeclaredCharset = "utf-8";
    else if (has(lowerRaw, "charset=iso-2022-jp"))
        DeclaredCharset = "iso-2022-jp";

    for (const char *l : {"GCssTextLines", "ListBoxPageCSS", "ListBoxPageOther", "ListBoxObtainedCSS",
                          "ListBoxBodyPageCSSImage", "ListBoxBodyImageDownloaded", "GTagValueList"})
        Clear(l);
    AggregatedText.clear();

    const std::string baseHref = BaseHrefOf(text);
    PageBaseUrl = baseHref.empty() ? effective : MakeAbsoluteUrl(effective, baseHref);
    if (Source == 1 && !IsHttpUrl(PageBaseUrl)) PageBaseUrl = baseHref.empty() ? Url : PageBaseUrl;

    // Tag scans: every value of the attributes that name a page's parts, quoted or not.
    for (const HtmlToken &t : ScanHtml(text)) {
        if (t.kind != HtmlToken::Kind::StartTag) continue;
        const char *want = nullptr;
        if (t.name == "body" || t.name == "td" || t.name == "table")
            want = "background";
        else if (t.name == "link")
            want = "href";
        else if (t.name == "img")
            want = "src";
        if (!want) continue;
        const std::string_view tag(text.data() + t.begin, t.end - t.begin);
        if (t.name == "link" && !IsRequisiteLink(tag)) continue;
        for (const HtmlAttr &a : ParseTagAttrs(tag)) {
            if (!a.hasValue || lower(std::string(tag.substr(a.nameBegin, a.nameEnd - a.nameBegin))) != want) continue;
            std::string v(tag.substr(a.valueBegin, a.valueEnd - a.valueBegin));
            if (v.rfind("./", 0) == 0) v.erase(0, 2);
            if (!v.empty()) Add("GTagValueList", v);
        }
    }
    // Line scans.
    static const std::pair<const char *, const char *> scans[] = {
        {"url(\"", "\""}, {"url('", "'"}, {"url(", ")"}, {"SRC=\"", "\""}, {"src=\"", "\""},
        {"SRC='", "'"},   {"src='", "'"}, {"background=\"", "\""}, {"background='", "'"}};
    for (const auto &[left, right] : scans) {
        std::vector<std::string> found;
        ListMarkedCssRefUrls(text, left, right, found);
        for (const std::string &v : found)
            if (!Trim(v).empty()) Add("GTagValueList", v);
    }
    if (Lines("GTagValueList").empty()) return -1;

    Clear("GImageUrlList");
    Clear("GCssUrlLines");
    Set("ListBoxWebPageCSS", Lines("GTagValueList"));
    const std::vector<std::string> values = Lines("GTagValueList");
    for (const std::string &V : values) {
        const std::string lv = lower(V);
        if (has(lv, ".css") || has(lv, ".js") || has(lv, "http://") || has(lv, "https://")) {
            std::string A = MakeAbsoluteUrl(PageBaseUrl, attrUrl(V));
            const std::size_t h = A.find("http://");
            if (h != std::string::npos) A = A.substr(h);
            Add("GCssTextLines", A);
            Add("ListBoxPageCSS", A);
        } else {
            if (V.size() >= 2 && (V.front() == ' ' || V.front() == '+')) continue;
            Add("GImageUrlList", CutAtSecondUrl(MakeAbsoluteUrl(PageBaseUrl, attrUrl(V))));
            Add("ListBoxPageOther", V);
        }
    }

    Clear("GCssAggregateLines");
    Clear("GWorkList");
    Clear("GCssUrlList");
    std::vector<std::string> agg;
    std::string prev, lastSheet;
    const std::string cssFolder = Opt.CssSaveFolder;

    // First pass: every style sheet and script of the list, as the list grows, once each.
    std::set<std::string> visited;
    for (;;) {
        if (stopNow()) break;
        std::string S;
        for (const std::string &line : Lines("ListBoxPageCSS")) {
            if (line.empty() || visited.count(line)) continue;
            if (!isCssOrJsName(MakeAbsoluteUrl(PageBaseUrl, line))) continue;
            S = line;
            break;
        }
        if (S.empty()) break;
        visited.insert(S);
        const std::string Cur = MakeAbsoluteUrl(PageBaseUrl, S);
        const auto r = cache_->Get(Cur);
        if (CheckResource(*r) != FetchVerdict::Ok) {
            Add("ListBoxObtainedCSS", Cur + J("\t●") + S);
            continue;
        }
        Add("ListBoxObtainedCSS", Cur + J("\t○　") + S);
        Add("ListBoxCSSLocalFilename", J("○３\t") + S);
        DoDownloadFile(Cur, cssFolder, "", "ListBoxCSSDownloadedFile");
        Add("GCssUrlList", Cur);
        const bool css = isCssName(Cur);
        const std::string &T = decoded(Cur, css ? FetchedKind::Css : FetchedKind::Script).Sjis;
        if (T.empty()) continue;
        lastSheet = Cur;
        Set("GWorkList", splitCrlf(T));
        sheetRefs(Cur, T, css);
        Set("ListBoxPageCSS", Lines("GCssUrlList"));
        if (!prev.empty()) {
            agg.push_back("");
            agg.push_back(kBannerCloseHead1 + prev + kBannerCloseTail);
        }
        agg.push_back("");
        agg.push_back(kBannerHead1 + Cur + kBannerOpenTail);
        agg.push_back("");
        prev = Cur;
        for (const std::string &l : Lines("GWorkList")) agg.push_back(l);
    }

    // Second pass: the list as it stands, from the run's fetches.
    Clear("GWorkList");
    Clear("GCssUrlList");
    const std::vector<std::string> second = Lines("ListBoxPageCSS");
    for (const std::string &S : second) {
        if (stopNow()) break;
        if (S.empty()) continue;
        const std::string Cur = MakeAbsoluteUrl(PageBaseUrl, S);
        Add("ListBoxObtainedCSS", Cur.empty() ? J("■■\t") + S : Cur + "\t" + S);
        if (!isCssOrJsName(Cur)) continue;
        Add("GCssUrlList", Cur);
        if (CheckResource(*cache_->Get(Cur)) != FetchVerdict::Ok) continue;
        const bool css = isCssName(Cur);
        std::string T = decoded(Cur, css ? FetchedKind::Css : FetchedKind::Script).Sjis;
        if (T.empty()) continue;
        if (has(lower(UrlToLocalFileName(Cur)), ".js")) T = ReplaceAllIgnoreCase(T, "><img", ">\r\n<img");
        lastSheet = Cur;
        Set("GWorkList", splitCrlf(T));
        sheetRefs(Cur, T, css);
        if (!prev.empty()) {
            agg.push_back(kBannerCloseHead2 + prev + kBannerCloseTail);
            agg.push_back("");
        }
        agg.push_back("");
        agg.push_back(kBannerHead2 + Cur + kBannerOpenTail);
        agg.push_back("");
        prev = Cur;
        for (const std::string &l : Lines("GWorkList")) agg.push_back(l);
    }
    Set("ListBoxPageCSS", Lines("GCssUrlList"));
    agg.push_back(kBannerCloseHead2 + prev + kBannerCloseTail);
    agg.push_back("");
    prev.clear();
    Set("GCssAggregateLines", agg);

    // Targets of the aggregated text.
    std::string X;
    for (const std::string &l : agg) X += l + "\r\n";
    Clear("GCssUrlLines");
    static const struct {
        const char *left, *right;
        int mode;
    } triples[] = {{"src=\"", "\"", 0},     {"url(\"", "\")", 0},   {"url('", "')", 0}, {"url(", ")", 0},
                   {"@import \"", "\"", 0}, {"@import '", "'", 1}, {"@import\"", "\"", 0}, {"@import'", "'", 0}};
    std::vector<std::string> targets;
    for (const auto &t : triples) ListCssRefUrls(X, t.left, t.right, Url, targets, t.mode);
    for (const std::string &G : targets) {
        Add("GCssUrlLines", G);
        Add("ListBoxObtainedCSS", G + J("\t■"));
    }
    if (!targets.empty()) {
        for (const std::string &G : targets) {
            Add("ListBoxMainTopDownloadList", G);
            std::string v = ReplaceAll(ReplaceAll(G, "'", ""), "\"", "");
            if (!Opt.LocalFilename.empty()) {
                const std::size_t p = v.find(Opt.LocalFilename);
                if (p != std::string::npos) v.erase(p, Opt.LocalFilename.size());
            }
            Add("GImageUrlList", CutAtSecondUrl(v));
        }
    }
    std::vector<std::string> images;
    ListMarkedCssUrls(X, images);
    Set("GCssImageLines", images);
    if (images.empty())
        Set("ListBoxDownloadMainBodyObtainImageFile", {J("▼   none 　▲")});
    else
        Set("ListBoxDownloadMainBodyObtainImageFile", images);
    for (const std::string &i : images) Add("GImageUrlList", CutAtSecondUrl(ReplaceAll(ReplaceAll(i, "'", ""), "\"", "")));
    Set("ListBoxMainTopCSSUrlImage", images);

    std::vector<std::string> imports;
    ListCssRefUrls(X, "@import", ";", ExtractUrlFolder(lastSheet), imports, 1);
    Set("GCssImportLines", imports);
    Set("ListBoxInnerUrlCSS", imports);
    for (const std::string &I : imports) {
        if (stopNow()) break;
        if (CheckResource(*cache_->Get(I)) == FetchVerdict::Ok) {
            Add("ListBoxObtainedCSS", J("○　") + I);
            Add("ListBoxPageCSS", I);
        } else {
            Add("ListBoxObtainedCSS", J("●　") + I);
        }
    }
    for (const std::string &src : Opt.BrowserImages) Add("GImageUrlList", cutAtSecondUrlNoCase(src));
    AggregatedText = X;

    if (!Lines("GImageUrlList").empty()) {
        std::vector<std::string> out;
        for (std::string u : Lines("GImageUrlList")) {
            std::size_t p = u.find("http://", 5);
            if (p != std::string::npos) u = u.substr(0, p);
            p = u.find("https://", 5);
            if (p != std::string::npos) u = u.substr(0, p);
            out.push_back(u);
        }
        Set("ListBoxBodyPageCSSImage", out);
    }
    for (std::string V : Lines("ListBoxWebPageCSS")) {
        std::size_t p = lower(V).find("http://");
        if (p != std::string::npos && p > 0) V = V.substr(0, p);
        p = lower(V).find("https://");
        if (p != std::string::npos && p > 0) V = V.substr(0, p);
        if (StartsWithNoCase(V, "http://") || StartsWithNoCase(V, "https://")) Add("ListBoxBodyPageCSSImage", V);
    }
    finishTrees();
    return 0;
}

// --- style-sheet and script step -----------------------------------------------------------

std::string DownloadEngine::rewriteSheet(const std::string &Css, const std::string &SheetUrl,
                                         const std::string &FromRel, UrlMapper &M)
{
    const int item = Opt.RemoveCSSRoot;
    if (item == 1) return Css;
    std::string urlRoot = Opt.CssUrlRoot.empty() ? M.root() + "/" : Opt.CssUrlRoot;
    for (char &c : urlRoot)
        if (c == '\\') c = '/';
    if (urlRoot.back() != '/') urlRoot += '/';
    return RewriteCssRefs(Css, [&](const CssRef &, const std::string &v) -> std::optional<std::string> {
        const std::string t = Trim(v);
        if (t.empty() || t.front() == '#' || StartsWithNoCase(t, "data:") || StartsWithNoCase(t, "javascript:"))
            return std::nullopt;
        const std::string abs = MakeAbsoluteUrl(SheetUrl, t);
        if (!IsHttpUrl(abs)) return std::nullopt;
        UrlMapper::Result target = M.Peek(abs, prefixes_);
        // A file that a step saved elsewhere (the image step removes the web folder) is
        // named where it is.
        if (const std::string saved = SavedRel(abs); !saved.empty()) target = {saved, M.root() + "/" + saved};
        if (!target.ok()) return std::nullopt; // a reference that would leave the folder stays as it was
        std::string frag;
        const std::size_t h = t.find('#');
        if (h != std::string::npos) frag = t.substr(h);
        const bool rootRelative = t.size() > 1 && t[0] == '/' && t[1] != '/';
        if (item == 3 && rootRelative) {
            std::string p;
            for (const std::string &seg : [&] {
                     std::vector<std::string> s;
                     std::string cur;
                     for (char c : target.Rel) {
                         if (c == '/') {
                             s.push_back(cur);
                             cur.clear();
                         } else {
                             cur += c;
                         }
                     }
                     s.push_back(cur);
                     return s;
                 }())
                p += (p.empty() ? "" : "/") + UrlMapper::EncodeSegment(seg);
            return urlRoot + p + frag;
        }
        return UrlMapper::RelativeRef(FromRel, target.Rel) + frag;
    });
}

int DownloadEngine::MainTopCSSdownload(const std::string &Url, const std::string &SaveFolder,
                                       const std::string &BaseWebDir, int Mode)
{
    const Busy busy(*this);
    Clear("GDownloadedCssFiles");
    Clear("ListBoxMainTopDownloadList");
    Clear("ListBoxZZCSSFile");
    if (absFolder(SaveFolder).empty()) return 0;
    if (PageBaseUrl.empty()) PageBaseUrl = Url;
    UrlMapper &M = Mapper(SaveFolder);
    SaveTree &tree = Tree(SaveFolder);
    std::string base = BaseWebDir;
    for (char &c : base)
        if (c == '\\') c = '/';
    while (!base.empty() && base.front() == '/') base.erase(0, 1);
    // In a whole-page run the sheets go where the image step puts the images (the page's web
    // folder left out), one copy each; the CSS tab alone mirrors the site.
    std::vector<std::string> prefixes;
    if (wholeRun_ && !Opt.InhibitBaseDir) {
        if (!base.empty()) prefixes.push_back(base);
        for (const std::string &m : Lines("GDirMaskList")) prefixes.push_back(m);
    }
    prefixes_ = prefixes;

    const std::vector<std::string> entries = Lines("ListBoxPageCSS");
    for (const std::string &S : entries) {
        if (stopNow()) break;
        const std::string ls = lower(S);
        if (sjisFind(S, "+") != std::string_view::npos || sjisFind(S, "[") != std::string_view::npos ||
            sjisFind(S, "]") != std::string_view::npos || has(ls, ".php") || has(ls, "file:"))
            continue;
        const std::string U = has(S, "http://") ? S : MakeAbsoluteUrl(PageBaseUrl.empty() ? Url : PageBaseUrl, S);
        const bool css = isCssName(U);
        // Where the image step would put it: one copy, beside the images it names.
        const UrlMapper::Result lp = M.Map(U, prefixes);
        const std::string LP = lp.ok() ? lp.Abs : M.root() + "/" + UrlToLocalRelPath(U);
        const std::string name = fileNameOf(LP);
        auto notObtained = [&](bool emptyAnswer) {
            Add("ListBoxMainTopDownloadList", U + J("\t■ ") + LP);
            if (css) {
                Add("ListBoxDowloadLocalFile", J("▼") + LP);
                Add("ListBoxPageControlMainTopRightTab11WebNotFoundFile", name);
                Add("ListBoxMainBodyTab04GetwebFileListRightTab03CSSNotGetFileList", emptyAnswer ? J("▼") + name : J("▼") + LP);
                Add("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile", emptyAnswer ? name : J("▼") + LP);
            } else {
                Add("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile", U + J("\t■ ") + LP);
            }
        };
        if (!lp.ok()) { // refused: it would leave the save folder
            notObtained(false);
            continue;
        }
        const std::string folder = folderOf(lp.Rel);
        const std::string ZZrel = folder + "ZZ" + fileNameOf(lp.Rel);
        const std::string XYrel = folder + (css ? "XYU2JIS" : "XXU2JIS") + fileNameOf(lp.Rel);
        std::string FPrel = lp.Rel;
        if (!base.empty() && lp.Rel.size() > base.size() && lp.Rel.compare(0, base.size(), base) == 0)
            FPrel = lp.Rel.substr(base.size());
        const std::string FP = M.root() + "/" + FPrel;
        const std::string ZZ = M.root() + "/" + ZZrel;
        const std::string XY = M.root() + "/" + XYrel;
        Add("GWebDirList", ExtractHttpUrlFolder(U));

        const auto r = cache_->Get(U);
        const FetchVerdict verdict = CheckResource(*r);
        const std::string lname = lower(name);
        if (has(lname, ".gif") || has(lname, ".jpg") || has(lname, ".jpeg") || has(lname, ".png")) {
            if (verdict != FetchVerdict::Ok) {
                Add("ListBoxMainTopDownloadList", U + J("\t■ ") + LP);
                continue;
            }
            if (const SaveResult w = tree.Write(LP, r->Body, U); !w.ok()) writeFailed("ListBoxMainTopDownloadList", U, LP, w);
            continue;
        }
        if (verdict != FetchVerdict::Ok) {
            notObtained(verdict == FetchVerdict::Empty);
            continue;
        }
        // A side copy never replaces a file that this run saved from the site.
        auto sideFree = [&](const std::string &rel) {
            const std::string owner = M.ClaimedUrl(rel);
            return owner.empty() || owner == UrlKey(U);
        };
        if (sideFree(ZZrel)) tree.Write(ZZ, r->Body, U);
        const std::string T0 = decoded(U, css ? FetchedKind::Css : FetchedKind::Script).Sjis;
        std::string T2 = Opt.CharCodeMode == 0 ? T0 : ConvertTextToSjis(r->Body, Opt.CharCodeMode);
        std::string T = T0;
        std::string Tfp = T0;
        if (css) {
            T = rewriteSheet(T0, U, lp.Rel, M);
            T2 = rewriteSheet(T2, U, lp.Rel, M);
            Tfp = rewriteSheet(T0, U, FPrel, M);
        }
        if (Mode == 0 || Mode == 1) {
            const SaveResult saved = tree.Write(LP, T, U);
            if (!saved.ok()) {
                if (saved.Status == SaveStatus::EmptyText) {
                    notObtained(true);
                } else {
                    ++WriteFailures;
                    notObtained(false);
                    Add("ListBoxMainTopDownloadList", U + J("\t■ ") + SaveFailureText(saved) + " " + LP);
                }
                continue;
            }
            recordSaved(U, lp.Rel);
            sheetFiles_.push_back({lp.Rel, U, css});
            if (sideFree(XYrel)) tree.Write(XY, T2, U);
            if (FPrel != lp.Rel && !tree.Exists(FP)) {
                if (tree.Write(FP, Tfp, U).ok()) {
                    sheetFiles_.push_back({FPrel, U, css});
                    Add("ListBoxAdjLocalFile", FP + J("\t◇") + XY);
                    Add("GAdjustCssFiles", FP);
                }
            }
            Add("ListBoxZZCSSFile", LP + "\t" + ZZ);
            Add("GDownloadedCssFiles", LP);
            if (css) {
                Add("ListBoxDowloadLocalFile", J("▽") + LP);
                Add("ListBoxDownloadedCSSFile", LP);
                Add("ListBoxMainTopDownloadList", U + J("\t○ ") + ResolveParentDirs(LP));
                Add("ListBoxCSSLocalFilename", J("○１\t") + LP);
                Add("GSavedFileList", LP);
            } else {
                Add("ListBoxMainTopDownloadList", U + J("\t◎○") + LP);
            }
        }
        const std::string bh = Trim(Opt.BaseHref);
        if (!bh.empty() && bh != "/" && !Opt.BaseHrefFolder.empty()) {
            std::string bf = Opt.BaseHrefFolder;
            for (char &c : bf)
                if (c == '\\') c = '/';
            while (!bf.empty() && bf.front() == '/') bf.erase(0, 1);
            if (lp.Rel.size() > bf.size() && lp.Rel.compare(0, bf.size(), bf) == 0) {
                const std::string rel = lp.Rel.substr(bf.size());
                const std::string at = M.root() + "/" + rel;
                if (IsPathBelowRoot(M.root(), at) && sideFree(rel) &&
                    tree.Write(at, css ? rewriteSheet(T0, U, rel, M) : T0, U).ok())
                    sheetFiles_.push_back({rel, U, css});
            }
        }
    }
    finishTrees();
    return 0;
}

int DownloadEngine::MainTopJSdownload(const std::string &Url, const std::string &SaveFolder, int Mode)
{
    const Busy busy(*this);
    for (const char *l : {"GDownloadedCssFiles", "ListBoxMainTopDownloadList",
                          "ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained",
                          "ListBoxPageControlMainBodyTab04GetwebFileListCSS", "ListBoxZZCSSFile", "ListBoxDowloadLocalFile"})
        Clear(l);
    if (absFolder(SaveFolder).empty()) return 0;
    if (PageBaseUrl.empty()) PageBaseUrl = Url;
    UrlMapper &M = Mapper(SaveFolder);
    SaveTree &tree = Tree(SaveFolder);
    const std::vector<std::string> entries = Lines("ListBoxPageCSS");
    for (const std::string &S : entries) {
        if (stopNow()) break;
        const std::string U = has(S, "http://") ? S : MakeAbsoluteUrl(PageBaseUrl.empty() ? Url : PageBaseUrl, S);
        const UrlMapper::Result lp = M.Map(U);
        const std::string LP = lp.ok() ? lp.Abs : M.root() + "/" + UrlToLocalRelPath(U);
        const auto r = cache_->Get(U);
        const FetchVerdict verdict = CheckResource(*r);
        if (!lp.ok() || verdict != FetchVerdict::Ok) {
            Add("ListBoxMainTopDownloadList", U + J("\t■ ") + LP);
            Add("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile", U + J("\t■ ") + LP);
            continue;
        }
        const std::string folder = folderOf(lp.Rel);
        const std::string ZZ = M.root() + "/" + folder + "ZZ" + fileNameOf(lp.Rel);
        const std::string XY = M.root() + "/" + folder + "XXU2JIS" + fileNameOf(lp.Rel);
        bool ok = true;
        if (has(r->Body, "GIF89a") || has(r->Body, "JFIF")) {
            ok = tree.Write(LP, r->Body, U).ok();
        } else {
            const std::string T = decoded(U, FetchedKind::Script).Sjis;
            const std::string T2 = Opt.CharCodeMode == 0 ? T : ConvertTextToSjis(r->Body, Opt.CharCodeMode);
            if (Mode == 0 || (Mode == 1 && !tree.Exists(LP))) {
                ok = tree.Write(LP, T, U).ok();
                if (ok) {
                    const std::string claimedZZ = M.ClaimedUrl(folder + "ZZ" + fileNameOf(lp.Rel));
                    const std::string claimedXY = M.ClaimedUrl(folder + "XXU2JIS" + fileNameOf(lp.Rel));
                    if (claimedZZ.empty()) tree.Write(ZZ, r->Body, U);
                    if (claimedXY.empty()) tree.Write(XY, T2, U);
                    Add("ListBoxZZCSSFile", LP + "\t" + ZZ);
                }
            }
        }
        if (!ok) {
            Add("ListBoxMainTopDownloadList", U + J("\t■ ") + LP);
            Add("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile", U + J("\t■ ") + LP);
            continue;
        }
        recordSaved(U, lp.Rel);
        Add("GDownloadedCssFiles", LP);
        Add("ListBoxMainTopDownloadList", U + J("\t◎○") + LP);
    }
    finishTrees();
    return 0;
}
