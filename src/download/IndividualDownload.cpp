#include "download/IndividualDownload.h"
#include "download/SaveTree.h"
#include "download/TextDecode.h"
#include "download/UrlMapper.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

bool endsWith(const std::string &s, const std::string &e)
{
    return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
}

FetchedKind kindOf(const std::string &Url)
{
    const std::string u = LowerCase(Url);
    if (u.find(".css") != std::string::npos) return FetchedKind::Css;
    if (u.find(".js") != std::string::npos) return FetchedKind::Script;
    return FetchedKind::Html;
}

// A page is what a page URL is expected to bring; anything else must not be one.
bool expectsPage(const std::string &Url)
{
    std::string path = Url.substr(0, Url.find_first_of("?#"));
    const std::string name = LowerCase(path.substr(path.rfind('/') + 1));
    return name.empty() || endsWith(name, ".html") || endsWith(name, ".htm") || endsWith(name, ".php") ||
           name.find('.') == std::string::npos;
}

} // namespace

bool FetchGivesFile(const std::string &Url, const HttpResponse &R)
{
    const FetchVerdict v = CheckResource(R);
    return v == FetchVerdict::Ok || (v == FetchVerdict::HtmlPage && expectsPage(Url));
}

bool IsIndividualTextFile(const std::string &Url)
{
    const std::string s = StripUrlPrefix(Url);
    const std::string path = s.substr(0, s.find_first_of("?#"));
    for (const char *e : {".html", ".htm", ".css", ".js", ".php"})
        if (endsWith(path, e)) return true;
    return Url.find(".css") != std::string::npos || Url.find(".js") != std::string::npos;
}

std::string IndividualLocalPath(const std::string &Url, const std::string &Folder, const std::string &LocalName,
                                bool WebFileOnly)
{
    if (Folder.empty() || Folder[0] != '/') return {};
    std::string rel;
    if (!Trim(LocalName).empty()) {
        std::string n = Trim(LocalName);
        for (char &c : n)
            if (c == '\\') c = '/';
        rel = SanitizeLocalPath(filePart(n));
    } else {
        UrlMapper m(Folder, Url);
        rel = m.Peek(Url).Rel;
        if (rel.empty()) return {};
        rel = ReplaceAll(rel, ",", "_");
        if (WebFileOnly) rel = filePart(rel);
    }
    if (rel.empty() || rel == "." || rel == "..") return {};
    return ConfinePathToRoot(Folder, rel);
}

std::string ConvertIndividualText(const std::string &Raw, const std::string &ContentType, int Mode,
                                  const std::string &Url)
{
    const FetchedKind kind = kindOf(Url);
    switch (Mode) {
    case 1: return DecodeToSjis(Raw, "text/plain; charset=euc-jp", kind).Sjis;
    case 2: return DecodeToSjis(Raw, "text/plain; charset=utf-8", kind).Sjis;
    case 3: return DecodeToSjis(Raw, "text/plain; charset=iso-2022-jp", kind).Sjis;
    case 4:
    case 5: return Raw;
    default: return DecodeToSjis(Raw, ContentType, kind).Sjis;
    }
}

std::string AdjustIndividualUrlRoots(const std::string &Text, int Mode)
{
    std::string t = Text;
    if (Mode == 0) {
        for (const char *q : {"", "\""}) {
            const std::string u = std::string("url(") + q;
            t = ReplaceAllIgnoreCase(t, u + "/", u);
            t = ReplaceAllIgnoreCase(t, u + "../", u);
            t = ReplaceAllIgnoreCase(t, u + "../..", u);
        }
    } else if (Mode == 2) {
        t = ReplaceAllIgnoreCase(t, "url(/", "url(../");
        t = ReplaceAllIgnoreCase(t, "url(\"/", "url(\"../");
    }
    return t;
}

IndividualOutcome DownLoadAnsSaveFile(const std::string &Url, const IndividualOptions &Opt,
                                      const FetchCache::Fetcher &Fetch)
{
    IndividualOutcome o;
    if (Trim(Opt.Folder).empty()) {
        o.What = IndividualOutcome::NoFolder;
        return o;
    }
    o.Text = IsIndividualTextFile(Url);
    o.Local = IndividualLocalPath(Url, Opt.Folder, Opt.LocalName, Opt.WebFileOnly);
    if (o.Local.empty()) {
        o.What = IndividualOutcome::Refused;
        o.Msg = J("取得できませんでした");
        return o;
    }
    const HttpResponse r = Fetch(Url);
    const FetchVerdict v = CheckResource(r);
    const bool pageOk = v == FetchVerdict::HtmlPage && expectsPage(Url);
    if (v != FetchVerdict::Ok && !pageOk) {
        // An error page or a page where a file was expected: the probe's "●" only.
        o.What = v == FetchVerdict::HtmlPage ? IndividualOutcome::NotAFile : IndividualOutcome::Failed;
        if (o.What == IndividualOutcome::Failed) o.Msg = J("取得できませんでした");
        return o;
    }
    SaveTree tree(Opt.Folder);
    if (o.Text) {
        o.FirstText = DecodeToSjis(r.Body, r.ContentType, kindOf(Url)).Sjis;
        if (!tree.Write(o.Local, o.FirstText, Url).ok()) {
            o.Msg = J("取得できませんでした");
            tree.SaveManifest();
            return o;
        }
        o.Shown = AdjustIndividualUrlRoots(ConvertIndividualText(r.Body, r.ContentType, Opt.CharMode, Url), Opt.UrlAdjust);
        if (!o.Shown.empty() && o.Shown != o.FirstText) tree.Write(o.Local, o.Shown, Url);
    } else if (!tree.Write(o.Local, r.Body, Url).ok()) {
        o.Msg = J("取得できませんでした");
        tree.SaveManifest();
        return o;
    }
    tree.SaveManifest();
    o.What = IndividualOutcome::Saved;
    return o;
}

FetchedText FetchConvertedText(const std::string &Url, int Mode, const FetchCache::Fetcher &Fetch)
{
    FetchedText t;
    const HttpResponse r = Fetch(Url);
    if (!r.Ok || r.Body.empty()) return t;
    t.Text = ConvertIndividualText(r.Body, r.ContentType, Mode, Url);
    t.Ok = true;
    return t;
}

FetchedText FetchRawText(const std::string &Url, const FetchCache::Fetcher &Fetch)
{
    FetchedText t;
    const HttpResponse r = Fetch(Url);
    if (!r.Ok || r.Body.empty()) return t;
    t.Text = r.Body;
    t.Ok = true;
    return t;
}

int ListImportedSheets(const std::string &Url, const std::string &CssText, std::vector<std::string> &Urls)
{
    if (CssText.empty()) return -1;
    Urls.clear();
    const std::string text = ReplaceAllIgnoreCase(CssText, "@import\"", "@import \"");
    std::vector<std::string> found;
    ListCssRefUrls(text, "@import ", ";", ExtractUrlFolder(Url), found, 0);
    for (const std::string &u : found)
        if (!u.empty()) Urls.push_back(u);
    return 0;
}
