#include "download/ObtainedImages.h"
#include "download/IndividualDownload.h"
#include "download/SaveTree.h"
#include "download/TextDecode.h"
#include "download/UrlMapper.h"
#include "text/FileUtils.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"

namespace {

std::string folderOf(const std::string &Path)
{
    const std::size_t s = Path.rfind('/');
    return s == std::string::npos ? std::string() : Path.substr(0, s + 1);
}

bool endsWith(const std::string &s, const std::string &e)
{
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

FetchedKind kindOf(const std::string &Local)
{
    const std::string l = LowerCase(Local);
    if (l.find(".css") != std::string::npos) return FetchedKind::Css;
    if (l.find(".js") != std::string::npos) return FetchedKind::Script;
    return FetchedKind::Html;
}

bool isTextFile(const std::string &Local)
{
    const std::string l = LowerCase(filePart(Local));
    for (const char *e : {".html", ".htm", ".css", ".js"})
        if (endsWith(l, e)) return true;
    return Local.find(".css") != std::string::npos || Local.find(".js") != std::string::npos;
}

} // namespace

bool DownloadRawFile(const std::string &Url, const std::string &Local, const FetchCache::Fetcher &Fetch)
{
    const std::string folder = folderOf(Local);
    if (folder.empty() || folder[0] != '/' || filePart(Local).empty()) return false;
    const HttpResponse r = Fetch(Url);
    if (!FetchGivesFile(Url, r) || r.Body.empty()) return false;
    SaveTree tree(folder);
    const bool ok = tree.Write(Local, r.Body, Url).ok();
    tree.SaveManifest();
    return ok;
}

CheckedDownload DownloadCheckedFile(const std::string &Url, const std::string &Folder, const FetchCache::Fetcher &Fetch)
{
    CheckedDownload d;
    const HttpResponse r = Fetch(Url);
    if (!FetchGivesFile(Url, r)) return d;
    // The URL's own name: a lower-cased one would break references on a case-sensitive file
    // system and put "A.png" and "a.png" into one file.
    const std::string name = SanitizeLocalPath(UrlMapper::LocalSegment(UrlToLocalFileName(Url)));
    d.Local = name.empty() || name.find('/') != std::string::npos ? std::string() : ConfinePathToRoot(Folder, name);
    if (d.Local.empty()) {
        d.What = CheckedDownload::Refused;
        return d;
    }
    d.Text = isTextFile(d.Local);
    std::string bytes = r.Body;
    if (d.Text) {
        bytes = r.Body.empty() ? std::string() : DecodeToSjis(r.Body, r.ContentType, kindOf(d.Local)).Sjis;
        if (bytes.empty()) {
            d.What = CheckedDownload::Empty;
            return d;
        }
    }
    SaveTree tree(Folder);
    d.What = tree.Write(d.Local, bytes, Url).ok() ? CheckedDownload::Saved : CheckedDownload::Failed;
    tree.SaveManifest();
    return d;
}

std::string AbsExistLinePath(const std::string &Line)
{
    const std::size_t tab = Line.find('\t');
    if (tab != std::string::npos) {
        const std::string name = Line.substr(0, tab);
        const std::string rest = Trim(Line.substr(tab + 1));
        return endsWith(rest, "/" + name) ? rest : rest + name;
    }
    const std::size_t slash = Line.find('/');
    if (slash != std::string::npos && slash > 0) return TrimRight(Line.substr(slash)) + TrimRight(Line.substr(0, slash));
    const std::size_t blank = Line.find(' ');
    if (blank == std::string::npos) return Line;
    return Trim(Line.substr(blank + 1)) + Line.substr(0, blank);
}

ObtainedCssPick PickObtainedCssLine(const std::string &Line, const std::string &WebFileBox,
                                    const std::string &BaseWebDir)
{
    ObtainedCssPick p;
    const std::string U = Line.substr(0, Line.find('\t'));
    p.Empty = U.empty();
    const std::size_t blank = U.find(' ');
    if (blank != std::string::npos) {
        p.HasLocal = true;
        p.LocalFile = blank + 2 < U.size() ? U.substr(blank + 2) : std::string();
        p.ClipName = filePart(p.LocalFile);
    }
    const std::size_t s = WebFileBox.rfind('/');
    p.SearchWord = s == std::string::npos ? WebFileBox : WebFileBox.substr(s + 1);
    if (U.find('/') != std::string::npos) {
        p.HasUrl = true;
        p.WebLabel = U;
        const std::string base = ReplaceAll(BaseWebDir, "/", "\\");
        p.Url = base.empty() ? U : ReplaceAllIgnoreCase(U, base, "");
    }
    return p;
}

std::string DownloadLineUrl(const std::string &Line) { return Trim(Line.substr(0, Line.find('\t'))); }

std::string UrlFolderInside(const std::string &Folder, const std::string &Url)
{
    std::string root = Folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty() || root[0] != '/') return {};
    const std::string rel = UrlFolderToLocalPath(Url);
    if (Trim(rel).empty() || rel == "/") return root + "/";
    const std::string inside = ConfinePathToRoot(root, rel);
    return inside.empty() ? std::string() : inside + "/";
}
