#include "download/CssImageDownload.h"
#include "download/RepairText.h"
#include "download/SaveTree.h"
#include "download/UrlMapper.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

bool isAbsolute(const std::string &Ref)
{
    const std::string l = LowerCase(Ref);
    return l.rfind("http://", 0) == 0 || l.rfind("https://", 0) == 0 || l.rfind("//", 0) == 0;
}

std::string rootOf(std::string Folder)
{
    for (char &c : Folder)
        if (c == '\\') c = '/';
    while (Folder.size() > 1 && Folder.back() == '/') Folder.pop_back();
    return Folder;
}

} // namespace

CssImageBase CssImageBaseOf(const std::string &Base)
{
    CssImageBase b;
    const int host = PosAfterHost(Base);
    const int last = LastSlashPos(Base);
    b.Root = host > 0 ? Base.substr(0, static_cast<std::size_t>(host - 1)) : Base;
    b.Folder = last > 0 ? Base.substr(0, static_cast<std::size_t>(last - 1)) : Base;
    if (last == 0) b.Root = Base;
    return b;
}

std::string CssImageUrl(const std::string &Base, const std::string &Ref)
{
    return MakeAbsoluteUrl(ReplaceAll(Trim(Base), "\\", "/"), Trim(Ref));
}

std::string CssImageLocal(const std::string &Folder, const std::string &Base, const std::string &Ref)
{
    const std::string root = rootOf(Trim(Folder));
    if (root.empty() || root[0] != '/') return {};
    std::string r = Trim(Ref);
    if (isAbsolute(r)) {
        // A file of the sheet's own site or of another host: its path under the folder, another
        // host under a folder of its own.
        UrlMapper m(root, ReplaceAll(Trim(Base), "\\", "/"));
        return m.Peek(CssImageUrl(Base, r)).Abs;
    }
    for (char &c : r)
        if (c == '\\') c = '/';
    for (bool again = true; again;) {
        again = false;
        for (const char *lead : {"/", "./", "../"})
            if (r.rfind(lead, 0) == 0) {
                r.erase(0, std::string(lead).size());
                again = true;
            }
    }
    if (r.empty()) return {};
    // The one mapper makes the name: "?" kept apart, escapes decoded, nothing outside the folder.
    static const std::string site = "http://sheet.invalid/";
    UrlMapper m(root, site);
    return m.Peek(site + r).Abs;
}

std::vector<std::string> CssImageListLines(const std::vector<std::string> &Refs, const std::string &Base,
                                           const std::string &Folder)
{
    std::vector<std::string> lines;
    for (const std::string &R : Refs) {
        if (Trim(R).empty()) continue;
        lines.push_back(CssImageUrl(Base, R) + "\t" + CssImageLocal(Folder, Base, R));
    }
    return lines;
}

int DownloadCssImages(const std::vector<std::string> &Refs, const std::string &Base, const std::string &Folder,
                      const std::function<void(const std::string &)> &Line, const FetchCache::Fetcher &Fetch)
{
    FetchCache cache(Fetch);
    SaveTree tree(rootOf(Trim(Folder)));
    int saved = 0;
    for (const std::string &R : Refs) {
        if (Trim(R).empty()) continue;
        const std::string Local = CssImageLocal(Folder, Base, R);
        auto fetched = [&](const std::string &Url) {
            if (Local.empty() || Url.empty()) return false;
            const auto r = cache.Get(Url);
            return CheckResource(*r) == FetchVerdict::Ok && tree.Write(Local, r->Body, Url).ok();
        };
        auto say = [&](const std::string &Url, const char *Mark) {
            if (Line) Line(Url + J(" <\t") + J(Mark) + Local);
        };
        const std::string url1 = CssImageUrl(Base, R);
        if (fetched(url1)) {
            say(url1, "○>");
            ++saved;
            continue;
        }
        say(url1, "■１>");
        const std::string url2 = CssImageUrl(Base, RepairedUrlForm(R, "../"));
        if (fetched(url2)) {
            say(url2, "△>");
            ++saved;
            continue;
        }
        say(url2, "▼１>");
        const std::string url3 = CssImageUrl(Base, RepairedUrlForm(R, "../../"));
        if (fetched(url3)) {
            say(url3, "△２>");
            ++saved;
            continue;
        }
        say(url3, "▼２>");
    }
    tree.SaveManifest();
    return saved;
}

std::string RemoveCssUrlRoots(const std::string &Text)
{
    return ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Text, "url(/", "url("), "url(../", "url(");
}
