#include "download/PageNames.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"

#include <algorithm>

namespace {

std::string removeFirst(const std::string &s, const std::string &what)
{
    const std::size_t p = s.find(what);
    return p == std::string::npos ? s : s.substr(0, p) + s.substr(p + what.size());
}

std::string replaceEvery(const std::string &s, const std::string &from, const std::string &to)
{
    return ReplaceAllIgnoreCase(s, from, to);
}

// "." or ".." would name the folder itself or its parent, never a page.
std::string pageNameOrIndex(const std::string &F)
{
    if (F.empty() || F == "." || F == "..") return "index.html";
    if (!HasFileExtension(F)) return ChangeFileExtension(F, ".html");
    return F;
}

} // namespace

int HostEndPos(const std::string &W)
{
    const std::size_t firstSlash = W.find('/');
    const std::size_t scheme = W.find("://");
    std::size_t from = 0;
    if (scheme != std::string::npos && (firstSlash == std::string::npos || scheme < firstSlash)) from = scheme + 3;
    const std::size_t end = W.find('/', from);
    return end == std::string::npos ? 0 : static_cast<int>(end) + 1;
}

bool HasFileExtension(const std::string &Name)
{
    const std::size_t dot = Name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::size_t sep = Name.find_last_of("\\/:");
    return sep == std::string::npos || dot > sep;
}

std::string PageFileNameRules(std::string F)
{
    F = replaceEvery(F, "https://", "https$//");
    F = replaceEvery(F, "http://", "http$//");
    F = ReplaceAll(F, ":\\", "$\\");
    F = ReplaceAll(F, ":", "!");
    F = ReplaceAll(F, "https$//", "https://");
    F = ReplaceAll(F, "http$//", "http://");
    F = ReplaceAll(F, "$\\", ":\\");
    F = ReplaceAll(F, "\\\\", "\\");
    if (!F.empty() && F.back() == '\\') F += "index.html";
    F = replaceEvery(F, "&amp;", "&");
    const std::size_t asp = F.find(".asp");
    if (asp != std::string::npos) F.erase(asp);
    return F;
}

MainBaseDirNames MainBaseDirNamesOf(const std::string &Url, const std::string &CurrentLocalName)
{
    MainBaseDirNames r;
    std::string W = removeFirst(removeFirst(Url, "https://"), "http://");
    W = ReplaceAll(W, "?", "_");
    W = ReplaceAll(W, "*", ";");
    W = ReplaceAll(W, "|", "~");
    W = replaceEvery(W, "&amp;", "&");
    const int H = HostEndPos(W);
    if (H == 0) {
        if (CurrentLocalName.empty()) r.BaseWebDir = "";
        return r;
    }
    r.Spread = true;
    const std::string P = W.substr(H);
    const std::size_t last = P.rfind('/');
    if (last == std::string::npos) {
        r.BaseWebDir = "";
        if (CurrentLocalName.empty()) r.LocalName = (P == "." || P == "..") ? "index.html" : P;
        return r;
    }
    const std::string base = P.substr(0, last + 1);
    r.BaseWebDir = base;
    if (base.find('/') != base.size() - 1) r.RelativeUpToOne = true;
    std::string F = P.substr(last + 1);
    r.Label = P + CurrentLocalName;
    F = PageFileNameRules(F);
    if (CurrentLocalName.find(".htm") != std::string::npos) return r;
    r.LocalName = pageNameOrIndex(F);
    return r;
}

FrameNames FrameNamesOf(const std::string &Url, const std::string &CurrentLocalName)
{
    FrameNames r;
    const std::string W = removeFirst(removeFirst(Url, "https://"), "http://");
    if (W.find('?') != std::string::npos || W.find('|') != std::string::npos ||
        PosText("&amp;", W) > 0)
        r.BaseWebDir = "";
    const int H = HostEndPos(W);
    if (H == 0) {
        r.BaseWebDir = W;
        return r;
    }
    r.CopyPageUrl = true;
    const std::string P = W.substr(H);
    const std::size_t last = P.rfind('/');
    if (last == std::string::npos) {
        r.BaseWebDir = "";
        if (CurrentLocalName.empty()) r.LocalName = (P == "." || P == "..") ? "index.html" : P;
        return r;
    }
    r.LocalFolder = P.substr(0, last + 1);
    r.Label = P;
    std::string F = P.substr(last + 1);
    const std::size_t q = F.find('?');
    if (q != std::string::npos) F.erase(q);
    F = ReplaceAll(F, "|", "~");
    F = ReplaceAll(F, "*", ";");
    F = PageFileNameRules(F);
    r.LocalName = pageNameOrIndex(F);
    return r;
}

// The path's dot segments resolved as a browser resolves them before it asks (the query and
// fragment left alone): a pasted ".../a/../../../home/x" names "/home/x" on the server, so its
// local copy lands inside the save folder instead of climbing out of it.
static std::string withoutDotSegments(const std::string &Url)
{
    const std::size_t end = std::min(Url.find('?'), Url.find('#'));
    std::string path = end == std::string::npos ? Url : Url.substr(0, end);
    const std::string rest = end == std::string::npos ? std::string() : Url.substr(end);
    for (std::size_t p; (p = path.find("/./")) != std::string::npos;) path.erase(p, 2);
    if (path.ends_with("/.")) path.pop_back();
    if (path.ends_with("/..")) path += '/';
    return ResolveParentDirs(path) + rest;
}

SingleDownloadNames SingleDownloadNamesOf(const std::string &UrlAsGiven, const std::string &SaveFolder)
{
    SingleDownloadNames r;
    if (UrlAsGiven.find('/') == std::string::npos) return r;
    const std::string Url = withoutDotSegments(UrlAsGiven);
    // The folders come from the path alone: a "/" in the query is part of the file's name.
    const std::string base = Url.substr(0, Url.find('#'));
    const std::size_t q = base.find('?');
    const std::string path = base.substr(0, q);
    const std::string query = q == std::string::npos ? std::string() : ReplaceAll(base.substr(q), "/", "_");
    const int H = HostEndPos(path);
    std::string P = H > 0 ? path.substr(H) : path;
    const std::size_t cut = P.find_last_of("/:");
    P = cut == std::string::npos ? std::string() : P.substr(0, cut + 1);
    std::string F = path.substr(path.rfind('/') + 1) + query;
    F = ReplaceAll(F, "?", "_");
    F = ReplaceAll(F, "|", "~");
    F = ReplaceAll(F, "*", ";");
    F = PageFileNameRules(F);
    if (F.empty() || F == "." || F == "..") F = "index.html";
    std::string folder = SaveFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    r.Changed = true;
    r.WebFile = Url;
    r.LocalPath = folder + P + F;
    return r;
}
