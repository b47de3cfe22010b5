#include "download/NotFoundRun.h"
#include "download/RepairText.h"
#include "download/SaveTree.h"
#include "download/TextDecode.h"
#include "download/UrlMapper.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/PathGuard.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <algorithm>
#include <set>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

const char *kDirs = "ListBoxPageControlMainTopRightTab11WebDir";
const char *kNames = "ListBoxPageControlMainTopRightTab11WebNotFoundFile";
const char *kTried = "ListBoxTriedWebFile";
const char *kFound = "ListBoxFoundWebFile";
const char *kProbeFailed = "ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS";
const char *kWeb2Win = "ListBoxWeb2WinFile";

bool has(const std::string &s, const std::string &t) { return s.find(t) != std::string::npos; }

} // namespace

namespace NotFoundMarks {
std::string Tried1() { return J("○◎  "); }
std::string Found1() { return J("○▼  "); }
std::string Fail1() { return J("■１ 　 "); }
std::string Tried2() { return J("△１  "); }
std::string Fail2() { return J("▼１ 　 "); }
std::string Tried3() { return J("△２  "); }
std::string Fail3() { return J("▼６　  "); }
std::string FoundVia2() { return J("○◎  "); }
std::string FoundVia3() { return J("○◆  "); }
std::string SelTried1() { return J("○２  "); }
std::string SelFail3() { return J("▼２　  "); }
std::string SelFound23() { return J("○  "); }
} // namespace NotFoundMarks

using namespace NotFoundMarks;

NotFoundRun::NotFoundRun(FetchCache::Fetcher Fetch) : fetch_(std::move(Fetch)), cache_(std::make_unique<FetchCache>(fetch_)) {}

void NotFoundRun::BeginRun()
{
    cache_ = std::make_unique<FetchCache>(fetch_);
    obtained_.clear();
    converted_.clear();
}

void NotFoundRun::Set(const std::string &List, const std::vector<std::string> &L)
{
    lists_[List] = L;
    notify({List, ListChange::Set, {}, L});
}
void NotFoundRun::Add(const std::string &List, const std::string &Line)
{
    lists_[List].push_back(Line);
    notify({List, ListChange::Add, Line, {}});
}
void NotFoundRun::AddTop(const std::string &List, const std::string &Line)
{
    auto &l = lists_[List];
    l.insert(l.begin(), Line);
    notify({List, ListChange::AddTop, Line, {}});
}
void NotFoundRun::Clear(const std::string &List)
{
    lists_[List].clear();
    notify({List, ListChange::Clear, {}, {}});
}

namespace {

std::string percentDecoded(const std::string &s)
{
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The local name of a URL's last path segment.
std::string urlFileName(const std::string &Url)
{
    const UrlParts p = SplitUrl(UrlKey(Url));
    if (!p.Ok) return {};
    const std::size_t s = p.Path.rfind('/');
    return UrlMapper::LocalSegment(p.Path.substr(s + 1));
}

} // namespace

std::string NotFoundRun::LocalOf(const std::string &Url) const
{
    // A file the saved page names where it is missing goes there, wherever it was found.
    const std::string name = urlFileName(Url);
    if (auto it = expected_.find(name); it != expected_.end()) return it->second;
    UrlMapper m(Opt.SaveFolder, Opt.WebRoot.empty() ? Url : Opt.WebRoot);
    return m.Peek(Url, Opt.Prefixes).Abs;
}

void NotFoundRun::readExpected()
{
    expected_.clear();
    std::string root = Opt.SaveFolder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (Opt.GlobalFile.empty() || root.empty()) return;
    std::vector<std::string> files{Opt.GlobalFile};
    std::set<std::string> seen;
    auto note = [&](const std::string &fromFile, const std::string &value) {
        const std::string v = Trim(value);
        if (v.empty() || v.find(':') != std::string::npos || v.rfind("//", 0) == 0 || v.front() == '#' ||
            v.front() == '/')
            return;
        const std::string path = v.substr(0, v.find_first_of("?#"));
        const std::string local =
            ConfinePathToRoot(root, ResolveParentDirs(folderPart(fromFile) + Utf8ToAnsi(percentDecoded(path))));
        if (local.empty() || local == root) return;
        if (FileExists(local)) {
            if (IsCssOrJsPath(LowerCase(local)) && seen.insert(local).second) files.push_back(local);
            return;
        }
        expected_.emplace(filePart(local), local);
    };
    for (std::size_t i = 0; i < files.size() && i < 64; ++i) {
        const std::string text = LoadTextFile(files[i]);
        if (LowerCase(files[i]).find(".css") != std::string::npos) {
            for (const CssRef &r : ScanCssRefs(text)) note(files[i], CssRefValue(text, r));
            continue;
        }
        for (const HtmlToken &t : ScanHtml(text)) {
            if (t.kind != HtmlToken::Kind::StartTag) continue;
            const std::string tag = text.substr(t.begin, t.end - t.begin);
            if (t.name == "a" || t.name == "area") continue; // pages, not requisites
            if (t.name == "link" && !IsRequisiteLink(tag)) continue;
            for (const HtmlAttr &a : ParseTagAttrs(tag)) {
                const std::string n = LowerCase(tag.substr(a.nameBegin, a.nameEnd - a.nameBegin));
                if (a.hasValue && (n == "src" || n == "href" || n == "background"))
                    note(files[i], AttrValueToUrl(tag.substr(a.valueBegin, a.valueEnd - a.valueBegin)));
            }
        }
    }
}

// A fetch of the run and, when its bytes are the file, their save; Probe only checks.
bool NotFoundRun::attempt(const std::string &Url, const std::string &Local, bool probe)
{
    const auto r = cache_->Get(Url);
    if (CheckResource(*r) != FetchVerdict::Ok) return false;
    if (probe) return true;
    SaveTree tree(Opt.SaveFolder);
    const bool ok = tree.Write(Local, r->Body, Url).ok();
    tree.SaveManifest();
    if (ok) {
        obtained_.insert(Local);
        urlOf_[Local] = Url;
    }
    return ok;
}

void NotFoundRun::obtainedLists(const std::string &Local)
{
    if (IsCssOrJsPath(LowerCase(Local))) {
        Add("ListBoxDowloadLocalFile", Local);
        Add("ListBoxDownloadedCSSFile", Local);
    }
    auto &o = lists_["GObtainedFileList"];
    const std::string r = ResolveParentDirs(Local);
    if (std::find(o.begin(), o.end(), r) == o.end()) Add("GObtainedFileList", r);
}

void NotFoundRun::directoryEnd(const std::string &Local)
{
    // Only a file this run saved and has not converted yet: a second decode would garble it.
    if (Local.empty() || !obtained_.count(Local) || converted_.count(Local) || Local == Opt.GlobalFile) return;
    if (!IsCssOrJsPath(LowerCase(Local))) return;
    bool ok = false;
    const std::string bytes = ReadFileBytes(Local, &ok);
    if (!ok || (!has(bytes, "utf-8") && !has(bytes, "UTF-8"))) return;
    const bool css = LowerCase(Local).find(".css") != std::string::npos;
    const std::string text = DecodeToSjis(bytes, "text/plain; charset=utf-8", css ? FetchedKind::Css : FetchedKind::Script).Sjis;
    converted_.insert(Local);
    if (text == bytes) return;
    SaveTree tree(Opt.SaveFolder);
    tree.Write(Local, text, urlOf_[Local]);
    tree.SaveManifest();
}

bool NotFoundRun::RewriteObtainedSheet(const std::string &Local, const std::string &SheetUrl)
{
    const int item = Opt.RemoveCSSRoot;
    if ((item != 0 && item != 3) || Local == Opt.GlobalFile || !FileExists(Local)) return false;
    bool ok = false;
    const std::string css = ReadFileBytes(Local, &ok);
    if (!ok) return false;
    UrlMapper m(Opt.SaveFolder, Opt.WebRoot.empty() ? SheetUrl : Opt.WebRoot);
    const std::string root = m.root() + "/";
    const std::string fromRel = Local.size() > root.size() ? Local.substr(root.size()) : filePart(Local);
    std::string urlRoot = Opt.CssUrlRoot.empty() ? root : Opt.CssUrlRoot;
    for (char &c : urlRoot)
        if (c == '\\') c = '/';
    if (urlRoot.back() != '/') urlRoot += '/';
    const std::string out = RewriteCssRefs(css, [&](const CssRef &, const std::string &v) -> std::optional<std::string> {
        const std::string t = Trim(v);
        // The rules act on root-relative references only.
        if (t.size() < 2 || t[0] != '/' || t[1] == '/') return std::nullopt;
        const UrlMapper::Result target = m.Peek(MakeAbsoluteUrl(SheetUrl, t), Opt.Prefixes);
        if (!target.ok()) return std::nullopt;
        if (item == 0) return UrlMapper::RelativeRef(fromRel, target.Rel);
        std::string p;
        std::size_t a = 0;
        for (std::size_t b; (b = target.Rel.find('/', a)) != std::string::npos; a = b + 1)
            p += UrlMapper::EncodeSegment(target.Rel.substr(a, b - a)) + "/";
        return urlRoot + p + UrlMapper::EncodeSegment(target.Rel.substr(a));
    });
    if (out == css) return false;
    // The original stays as the backup; an earlier backup is never replaced.
    const std::string zz = ZZBackupPath(Local);
    if (!FileExists(zz) && !SaveTextFile(css, zz).ok()) return false;
    SaveTree tree(Opt.SaveFolder);
    const bool written = tree.Write(Local, out, SheetUrl).ok();
    tree.SaveManifest();
    return written;
}

int NotFoundRun::DownloadNotFoundFile(int Pass)
{
    Stop = false;
    if (EnableStop) EnableStop();
    if (Label) Label("");
    if (Pass == 0) {
        for (const char *l : {kFound, kTried, kProbeFailed}) Clear(l);
        Clear("GNotFoundDownloadList");
    }
    const std::vector<std::string> names = Lines(kNames);
    const std::vector<std::string> dirs = Lines(kDirs);
    for (const std::string &N : names) {
        bool obtained = false;
        std::string Local, url1;
        if (Pass == 1) {
            // Pass 1 fetches only what is still missing: a name whose file lies where one of
            // the directories would put it is done.
            bool there = false;
            for (const std::string &D : dirs)
                if (!D.empty() && FileExists(LocalOf(D + N))) there = true;
            if (there) continue;
        }
        if (!has(N, "google")) {
            for (const std::string &D : dirs) {
                if (obtained || Stop) break;
                if (has(D, "google") || D.empty()) continue;
                url1 = D + N;
                if (has(url1, "google") || (!Opt.WebRoot.empty() && has(url1, Opt.WebRoot + "../"))) continue;
                Local = LocalOf(url1);
                if (Local.empty()) continue;
                if (Pass == 1 && FileExists(Local)) continue;
                if (Label) Label(J("【 ") + url1 + J(" 】 ==> 　〔 ") + Local + J(" 〕"));
                if (!attempt(url1, Local, true)) {
                    Add(kProbeFailed, UrlToLocalFileName(url1) + "\t" + url1);
                    AddTop(kWeb2Win, J("▼") + UrlToLocalFileName(url1) + "\t" + url1);
                    directoryEnd(Local);
                    continue;
                }
                if (attempt(url1, Local, false)) {
                    AddTop(kTried, url1 + "\t" + Tried1() + Local);
                    obtainedLists(Local);
                    Add(kFound, url1 + "\t" + Found1() + Local);
                    obtained = true;
                } else {
                    AddTop(kTried, url1 + "\t" + Fail1() + Local);
                }
                if (!obtained && has(url1, "../")) {
                    const std::string url2 = RepairedUrlForm(url1, "../");
                    if (Label) Label(J("【 ") + url2 + J(" 】 ==> 　〔 ") + Local + J(" 〕"));
                    if (attempt(url2, Local, true) && attempt(url2, Local, false)) {
                        AddTop(kTried, url2 + "\t" + Tried2() + Local);
                        Add(kFound, url1 + "\t" + FoundVia2() + Local);
                        obtainedLists(Local);
                        obtained = true;
                    } else {
                        AddTop(kTried, url2 + "\t" + Fail2() + Local);
                    }
                }
                if (!obtained && has(url1, "../../") && Local != Opt.GlobalFile) {
                    const std::string url3 = RepairedUrlForm(url1, "../../");
                    if (attempt(url3, Local, true) && attempt(url3, Local, false)) {
                        AddTop(kTried, url3 + "\t" + Tried3() + Local);
                        Add(kFound, url1 + "\t" + FoundVia3() + Local);
                        obtainedLists(Local);
                        obtained = true;
                    } else {
                        AddTop(kTried, url3 + "\t" + Fail3() + Local);
                    }
                }
                directoryEnd(Local);
            }
        }
        if (obtained && IsCssOrJsPath(LowerCase(Local))) RewriteObtainedSheet(Local, urlOf_[Local]);
        if (!obtained && !(Pass == 1 && !Local.empty() && FileExists(Local))) {
            auto &nf = lists_["GNotFoundDownloadList"];
            if (std::find(nf.begin(), nf.end(), N) == nf.end()) Add("GNotFoundDownloadList", N);
        }
    }
    if (EnableStop) EnableStop();
    return 0;
}

int NotFoundRun::DownloadSelectedNotFoundFile(const std::string &ServerDir)
{
    if (ServerDir.empty()) return -1;
    Clear(kTried);
    for (const std::string &N : Lines(kNames)) {
        const std::string url1 = ServerDir + N;
        const std::string Local = LocalOf(url1);
        if (Local.empty()) continue;
        if (Label) Label(J("【 ") + url1 + J(" 】 ==> 　〔 ") + Local + J(" 〕"));
        bool obtained = false;
        if (attempt(url1, Local, false)) {
            Add(kTried, url1 + "\t" + SelTried1() + Local);
            Add(kFound, url1 + "\t" + SelTried1() + Local);
            obtainedLists(Local);
            obtained = true;
        } else {
            Add(kTried, url1 + "\t" + Fail1() + Local);
            const std::string url2 = RepairedUrlForm(url1, "../");
            if (attempt(url2, Local, false)) {
                Add(kTried, url2 + "\t" + Tried2() + Local);
                Add(kFound, url2 + "\t" + SelFound23() + Local);
                obtainedLists(Local);
                obtained = true;
            } else {
                Add(kTried, url2 + "\t" + Fail2() + Local);
                const std::string url3 = RepairedUrlForm(url1, "../../");
                if (attempt(url3, Local, false)) {
                    Add(kTried, url3 + "\t" + Tried3() + Local);
                    Add(kFound, url3 + "\t" + SelFound23() + Local);
                    obtainedLists(Local);
                    obtained = true;
                } else {
                    Add(kTried, url3 + "\t" + SelFail3() + Local);
                }
            }
        }
        if (obtained && IsCssOrJsPath(LowerCase(Local))) RewriteObtainedSheet(Local, urlOf_[Local]);
    }
    return 0;
}

void NotFoundRun::Collect()
{
    auto &exist = lists_["GExistFileList"];
    auto addExist = [&](const std::string &path) {
        const std::string r = ResolveParentDirs(path);
        const std::string line = filePart(r) + "\t" + r;
        if (std::find(exist.begin(), exist.end(), line) == exist.end()) Add("GExistFileList", line);
    };
    const std::string mark = J("◎  ");
    if (!Lines("ListBoxBodyImageDownloaded").empty())
        for (const std::string &l : Lines("ListBoxBodyImageDownloaded")) {
            const std::size_t p = l.find(mark);
            if (p != std::string::npos) addExist(Trim(l.substr(p + mark.size())));
        }
    for (const std::string &p : std::vector<std::string>(Lines("GObtainedFileList"))) addExist(p);
}

void NotFoundRun::NotFoundCSS2LocalFile2Text()
{
    if (Lines("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile").empty()) return;
    std::string joined;
    for (const std::string &l : std::vector<std::string>(Lines(kFound))) {
        if (!has(l, ".css")) continue;
        const std::string url = l.substr(0, l.find('\t'));
        const auto r = cache_->Get(url);
        if (CheckResource(*r) != FetchVerdict::Ok) continue;
        const std::string text = DecodeToSjis(r->Body, r->ContentType, FetchedKind::Css).Sjis;
        // The marker after the sheet lets its relative references resolve against it.
        joined += "/************  " + url + "   *******/\r\n\r\n" + text + "\r\n <[" + url + "]>\r\n\r\n";
    }
    MemoText = joined;
    std::vector<std::string> targets;
    ListMarkedCssUrls(joined, targets);
    Set("ListBoxPanelPageControlMainTopTab12NotFoundCSS", targets);
    for (const std::string &t : targets) {
        const std::size_t s = t.rfind('/');
        const std::string name = s == std::string::npos ? t : t.substr(s + 1);
        if (!name.empty()) Add(kNames, name);
    }
}

void NotFoundRun::Run(const std::string &SelectedDir)
{
    readExpected();
    if (!SelectedDir.empty()) DownloadSelectedNotFoundFile(SelectedDir);
    else DownloadNotFoundFile(0);
    Collect();
    NotFoundCSS2LocalFile2Text();
    DownloadNotFoundFile(1);
    Collect();
    Set("ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained", Lines("GExistFileList"));
}
