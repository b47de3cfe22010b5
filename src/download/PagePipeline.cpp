// The image step, the page step and the whole-page run of the download engine.
#include "download/DownloadEngine.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/PathGuard.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include <algorithm>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool has(const std::string &s, const std::string &sub) { return s.find(sub) != std::string::npos; }

std::string fileNameOf(const std::string &path)
{
    const std::size_t s = path.find_last_of("/\\");
    return s == std::string::npos ? path : path.substr(s + 1);
}

std::string folderOf(const std::string &path)
{
    const std::size_t s = path.rfind('/');
    return s == std::string::npos ? std::string() : path.substr(0, s + 1);
}

std::string slashes(std::string s)
{
    for (char &c : s)
        if (c == '\\') c = '/';
    return s;
}

// A relative folder path "a/b/" ("" for none), from a box that may use "\" and lead with "/".
std::string relFolder(const std::string &box)
{
    std::string f = slashes(Trim(box));
    while (!f.empty() && f.front() == '/') f.erase(0, 1);
    if (!f.empty() && f.back() != '/') f += '/';
    return f;
}

std::string absRoot(const std::string &folder) { return NormalizeFolderPath(folder); }

// The URL with a first "../../" (or "../") taken out, starting at an embedded absolute URL
// when it holds "/http://": the repaired forms of an image URL that failed.
std::string repaired(std::string u, const char *up)
{
    const std::size_t p = u.find(up);
    if (p != std::string::npos) u.erase(p, std::string(up).size());
    const std::size_t q = lower(u).find("/http://");
    if (q != std::string::npos) u = u.substr(q + 1);
    return u;
}

bool sameSite(const std::string &a, const std::string &b)
{
    const UrlParts x = SplitUrl(a), y = SplitUrl(b);
    return x.Ok && y.Ok && x.Host == y.Host && x.Port == y.Port && x.Scheme == y.Scheme;
}

// What a local page is named for a link: ".php" and ".cgi" pages become ".html" ones and the
// query joins the name with "_" (the fragment stays a fragment).
std::string localPageRef(const std::string &ref)
{
    std::string frag;
    std::string r = ref;
    if (const std::size_t h = r.find('#'); h != std::string::npos) {
        frag = r.substr(h);
        r = r.substr(0, h);
    }
    const std::size_t q = r.find('?');
    std::string path = q == std::string::npos ? r : r.substr(0, q);
    const std::string query = q == std::string::npos ? std::string() : r.substr(q + 1);
    const std::string lp = lower(path);
    for (const char *ext : {".php", ".cgi"}) {
        const std::size_t e = lp.rfind(ext);
        if (e != std::string::npos && e + 4 == lp.size()) path.replace(e, 4, ".html");
    }
    if (q != std::string::npos) path += "_" + query;
    return path + frag;
}

// True when one of the single-byte characters occurs (a trail byte of a double-byte
// character is no "[" or "|").
bool hasAnyChar(const std::string &s, const char *chars)
{
    for (const char *c = chars; *c; ++c)
        if (sjisFind(s, std::string_view(c, 1)) != std::string_view::npos) return true;
    return false;
}

bool skippedRef(const std::string &t)
{
    return t.empty() || t.front() == '#' || StartsWithNoCase(t, "javascript:") || StartsWithNoCase(t, "mailto:") ||
           StartsWithNoCase(t, "data:") || StartsWithNoCase(t, "about:") || StartsWithNoCase(t, "tel:");
}

} // namespace

void DownloadEngine::addTop(const std::string &List, const std::string &Line)
{
    StringList &l = list(List);
    std::vector<std::string> items = l.items();
    items.insert(items.begin(), Line);
    l.clear();
    for (const std::string &s : items) l.add(s);
    if (sink_) sink_({List, ListChange::AddTop, Line, {}});
}

void DownloadEngine::writeFailed(const std::string &List, const std::string &Url, const std::string &Local,
                                 const SaveResult &R)
{
    ++WriteFailures;
    const std::string why = SaveFailureText(R);
    addTop(List, Url + J("\t■ ") + why + " " + Local);
    Add("ListBoxGetWebFileList", Url + J(" <\t■>") + Local);
    Add("ListBoxPageControlMainTopRightTab11WebNotFoundFile", fileNameOf(Local));
    Add("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile", Url + J("\t■ ") + why + " " + Local);
}

void DownloadEngine::recordSaved(const std::string &Url, const std::string &Rel)
{
    const std::string k = UrlKey(Url);
    if (!k.empty() && !savedRel_.count(k)) savedRel_[k] = Rel;
}

std::string DownloadEngine::SavedRel(const std::string &AbsUrl) const
{
    auto it = savedRel_.find(UrlKey(AbsUrl));
    return it == savedRel_.end() ? std::string() : it->second;
}

void DownloadEngine::status(const std::string &Text)
{
    if (sink_) sink_({"StatusbarProcessState", ListChange::Set, {}, {Text}});
}

// --- image step --------------------------------------------------------------------------------

int DownloadEngine::MainTopImagedownload(const std::string &Url, const std::string &Folder, const std::string &WebDir,
                                         const std::string &ListName, int)
{
    const Busy busy(*this);
    for (const char *l : {"ListBoxGetWebFileList", "GImageDownloadLog", "GImageRootList", "GImageNameList",
                          "ListBoxWebDomain", "ListBoxWeb2WinFile", "ListBoxWebRawWinFile", "ListBoxWebMaskedWinFile",
                          "ListBoxPageControlMainBodyTab04WebFileListRightTab04CSS",
                          "ListBoxPageControlMainBodyTab04LocalFileListRightTab04CSS", "ListBoxReplaceFileList",
                          "GReplaceFileList"})
        Clear(l);
    ImageCount = 0;
    for (const std::string &src : Opt.BrowserImages) Add("GImageUrlList", src);
    Clear("GImageProbeList");
    const std::string root = absRoot(Folder);
    if (root.empty()) return 0;
    if (PageBaseUrl.empty()) PageBaseUrl = Url;
    UrlMapper &M = Mapper(root);
    SaveTree &tree = Tree(root);

    // The web folder and the masks are prefixes of the mirrored path, removed from its start.
    std::vector<std::string> prefixes;
    if (!Opt.InhibitBaseDir) {
        if (const std::string wd = relFolder(WebDir); !wd.empty()) prefixes.push_back(wd);
        for (const std::string &m : Lines("GDirMaskList")) prefixes.push_back(m);
    }
    prefixes_ = prefixes;
    const std::string inhibit = relFolder(Opt.InhibitBaseDirPath);

    auto probe = [&](const std::string &u) {
        if (!IsHttpUrl(u)) return false;
        return CheckResource(*cache_->Get(u)) == FetchVerdict::Ok;
    };
    auto record = [&](const std::string &A, const std::string &L, const std::string &E) {
        addTop(ListName, A + J("\t◎  ") + L);
        Add("GImageProbeList", ResolveParentDirs(L));
        Add("GImageNameList", E + "\t" + fileNameOf(L));
        Add("ListBoxReplaceFileList", E + "\t" + fileNameOf(L));
        const std::string ll = lower(L);
        if (has(ll, ".css") || has(ll, ".js")) {
            Add("ListBoxCSSLocalFilename", J("○４\t") + L);
            Add("GSavedFileList", L);
        }
        Add("ListBoxGetWebFileList", A + J(" <\t○>") + L);
        if (has(A, ".css") || has(A, ".js")) {
            Add("ListBoxPageControlMainBodyTab04WebFileListRightTab04CSS", A);
            Add("ListBoxPageControlMainBodyTab04LocalFileListRightTab04CSS", L);
        }
    };

    const std::vector<std::string> lines = Lines("ListBoxBodyPageCSSImage");
    for (const std::string &S : lines) {
        if (Stop) break;
        const std::string t = Trim(S);
        const std::string ls = lower(S);
        if (t.empty() || t == Opt.WebRoot || t == "http:" || hasAnyChar(S, "#+[]()") ||
            has(ls, ".pdf"))
            continue;
        std::string A;
        if (!has(ls, "http://") && !has(ls, "https://")) {
            if (t.front() == '/' && (t.size() < 2 || t[1] != '/')) {
                const int p = HostEndSlashPos(Url);
                A = (p > 0 ? Url.substr(0, static_cast<std::size_t>(p - 1)) : Url) + t;
                Add("ListBoxDownloadMainBodyObtainImageFile", A + "\t" + t);
            } else {
                A = MakeAbsoluteUrl(PageBaseUrl, t);
            }
        } else {
            A = t;
            std::size_t p = lower(A).find("http://", 5);
            if (p == std::string::npos) p = lower(A).find("https://", 5);
            if (p != std::string::npos) {
                A = A.substr(p);
                Add("ListBoxTriedWebFile", A);
            }
        }
        if (!Opt.WebRoot.empty() && has(A, Opt.WebRoot + "../")) {
            // Above the site's root: named, never fetched.
            Add("GImageExistList", ReplaceFirst(A, Opt.WebRoot, ""));
            continue;
        }
        const std::string asWritten = A;
        // The page's own name and an index page name the folder, not an image.
        {
            const std::size_t q = A.find('?');
            const std::size_t s = A.rfind('/', q == std::string::npos ? std::string::npos : q);
            if (s != std::string::npos) {
                const std::string seg = A.substr(s + 1, q == std::string::npos ? std::string::npos : q - s - 1);
                if ((!Opt.LocalFilename.empty() && seg == Opt.LocalFilename) || seg == "index.html" ||
                    seg == "index.htm")
                    A.erase(s + 1, seg.size());
            }
        }
        for (const char *ext : {".png?", ".gif?", ".jpg?", ".jpeg?"}) {
            const std::size_t p = lower(A).find(ext);
            if (p != std::string::npos) A = A.substr(0, p + std::string(ext).size() - 1);
        }
        A = UrlKey(A).empty() ? A : UrlKey(A);
        Add("ListBoxWebRawWinFile", A + "\t" + root + "/" + inhibit + UrlToLocalRelPath(A));
        UrlMapper::Result L = M.Peek(A, prefixes);
        if (!L.ok()) {
            addTop(ListName, A + J("\t▼２  ") + root + "/");
            Add("ListBoxPageControlMainTopRightTab11WebNotFoundFile", fileNameOf(A));
            continue;
        }
        if (has(L.Rel, "!")) Add("GReplaceFileList", L.Abs);
        for (const char *ext : {".gif", ".jpg", ".jpeg", ".png"}) {
            const std::size_t p = lower(L.Abs).find(ext);
            if (p != std::string::npos && p + std::string(ext).size() < L.Abs.size()) Add("GReplaceFileList", L.Abs);
        }

        if (!probe(A)) {
            std::string B = repaired(A, "../../");
            addTop(ListName, B + J("\t▼１ 　 ") + L.Abs);
            Add("ListBoxGetWebFileList", B + J(" <\t▼１>") + L.Abs);
            bool found = B != A && probe(B);
            if (!found) {
                const std::string B2 = repaired(B, "../../");
                if (B2 != B && B2 != A) found = probe(B2);
                if (found) B = B2;
            }
            if (!found) {
                addTop(ListName, B + J("\t▼２  ") + L.Abs);
                Add("ListBoxGetWebFileList", B + J(" <\t▼２>") + L.Abs);
                Add("ListBoxPageControlMainTopRightTab11WebNotFoundFile", fileNameOf(B));
                continue;
            }
            addTop(ListName, B + J("\t△２  ") + L.Abs);
            Add("ListBoxGetWebFileList", B + J(" <\t△２>") + L.Abs);
            A = B;
        }

        Add("ListBoxWebMaskedWinFile", A + "\t" + L.Abs);
        std::string E = "***";
        for (const char *cut : {".css_", ".js_", ".gif_", ".jpg_", ".jpeg_", ".png_"})
            if (has(lower(L.Rel), cut)) E = fileNameOf(L.Rel);
        const UrlMapper::Result W = M.Map(asWritten == A ? A : UrlKey(A), prefixes);
        SaveResult written;
        auto save = [&](const std::string &u) {
            const auto r = cache_->Get(u);
            if (!W.ok() || CheckResource(*r) != FetchVerdict::Ok) return false;
            written = tree.Write(W.Abs, r->Body, u);
            return written.ok();
        };
        std::string got = A;
        bool saved = save(A);
        if (!saved && !written.Path.empty()) {
            // Fetched but not written: the reason is the line, and no other form is tried.
            writeFailed(ListName, A, W.Abs, written);
            continue;
        }
        if (!saved) {
            Add("GImageExistList", UrlToImageFileName(A));
            const std::string B = repaired(A, "../");
            addTop(ListName, B + J("\t■１　") + W.Abs);
            Add("ListBoxGetWebFileList", B + J(" <\t■１>") + W.Abs);
            if (B != A && save(B)) {
                addTop(ListName, B + J("\t△１  ") + W.Abs);
                Add("ListBoxGetWebFileList", B + J(" <\t△１>") + W.Abs);
                saved = true;
                got = B;
            } else {
                const std::string B2 = repaired(A, "../../");
                addTop(ListName, B2 + J("\t▼１ 　 ") + W.Abs);
                Add("ListBoxGetWebFileList", B2 + J(" <\t▼１>") + W.Abs);
                if (B2 != A && B2 != B && save(B2)) {
                    addTop(ListName, B2 + J("\t△２  ") + W.Abs);
                    Add("ListBoxGetWebFileList", B2 + J(" <\t△２>") + W.Abs);
                    saved = true;
                    got = B2;
                }
            }
            if (!saved) continue;
        } else {
            Add("GWebDirList", ExtractHttpUrlFolder(A));
            record(A, W.Abs, E);
        }
        recordSaved(got, W.Rel);
        recordSaved(asWritten, W.Rel);
        recordSaved(MakeAbsoluteUrl(PageBaseUrl, t), W.Rel);

        // A page whose base lies below its root finds its images without the base folder too:
        // a second copy from the same bytes, never over a file of another URL.
        const std::string bh = Trim(Opt.BaseHref);
        const std::string bf = relFolder(Opt.BaseHrefFolder);
        if (!bh.empty() && bh != "/" && !bf.empty() && W.Rel.compare(0, bf.size(), bf) == 0 && W.Rel.size() > bf.size()) {
            const std::string rel2 = W.Rel.substr(bf.size());
            const std::string owner = M.ClaimedUrl(rel2);
            if (owner.empty() || owner == UrlKey(got)) {
                const auto r = cache_->Get(got);
                if (tree.Write(root + "/" + rel2, r->Body, got).ok()) record(got, root + "/" + rel2, E);
            }
        }

        ++ImageCount;
        LastWebFile = got;
        LastLocalFile = W.Abs;
        if (sink_) {
            sink_({"LabeDLCnt", ListChange::Set, {}, {std::to_string(ImageCount)}});
            sink_({"LabelWebFile", ListChange::Set, {}, {got}});
            sink_({"LabelLocalFile", ListChange::Set, {}, {W.Abs}});
        }
        Add("GImageDownloadLog", W.Abs);
        Add("GImageRootList", ExtractUrlRootB(got));
    }
    finishTrees();
    return 0;
}

// --- page step ---------------------------------------------------------------------------------

std::string DownloadEngine::RewritePageHtml(const std::string &Html, const std::string &Url, const std::string &PageRel,
                                            const std::string &Root)
{
    const std::string siteRoot = ExtractUrlRootB(Url);
    const std::string baseHref = BaseHrefOf(Html);
    const std::string base = baseHref.empty() ? Url : MakeAbsoluteUrl(Url, baseHref);
    std::string cssRoot = slashes(Opt.CssUrlRoot.empty() ? Root + "/" : Opt.CssUrlRoot);
    if (cssRoot.back() != '/') cssRoot += '/';

    enum class RefKind { Link, Sheet, Source };
    // The new text of one reference, or nothing to keep it as written.
    auto mapRef = [&](RefKind kind, const std::string &written) -> std::optional<std::string> {
        const std::string t = Trim(AttrValueToUrl(written));
        if (kind == RefKind::Link && Opt.WebHreffRoot == 2) return std::nullopt;
        if (kind == RefKind::Sheet && (Opt.RemoveLinkCSSRoot == 1 || Opt.RemoveLinkCSSRoot == 2)) return std::nullopt;
        if (kind == RefKind::Source && Opt.RomoveHTMLSrcRoot == 1) return std::nullopt;
        if (skippedRef(t)) return std::nullopt;
        const std::string abs = MakeAbsoluteUrl(base, t);
        if (!IsHttpUrl(abs)) return std::nullopt;
        std::string frag;
        if (const std::size_t h = t.find('#'); h != std::string::npos) frag = t.substr(h);
        if (const std::string saved = SavedRel(abs); !saved.empty()) {
            if (kind == RefKind::Sheet && Opt.RemoveLinkCSSRoot == 3) {
                std::string p;
                std::size_t at = 0;
                while (at <= saved.size()) {
                    std::size_t e = saved.find('/', at);
                    if (e == std::string::npos) e = saved.size();
                    p += (p.empty() ? "" : "/") + UrlMapper::EncodeSegment(saved.substr(at, e - at));
                    at = e + 1;
                }
                return cssRoot + p + frag;
            }
            return UrlMapper::RelativeRef(PageRel, saved) + frag;
        }
        if (!sameSite(abs, Url)) return std::nullopt; // other sites stay as they are
        const bool absolute = StartsWithNoCase(t, "http://") || StartsWithNoCase(t, "https://");
        const bool protocolRelative = t.rfind("//", 0) == 0;
        const bool rootRelative = !protocolRelative && t.front() == '/';
        if (kind == RefKind::Link && Opt.WebHreffRoot == 1) {
            std::string rest;
            if (absolute || protocolRelative)
                rest = abs.size() >= siteRoot.size() && abs.compare(0, siteRoot.size(), siteRoot) == 0
                           ? abs.substr(siteRoot.size())
                           : t;
            else if (rootRelative)
                rest = t.substr(1);
            if (absolute || protocolRelative || (rootRelative && Opt.RemoveUrlRelative == 0 && Opt.RemoveHrefRoot == 0))
                return "@@" + localPageRef(rest);
            return localPageRef(absolute || protocolRelative || rootRelative ? rest : t);
        }
        // A page this run did not save is named by its address, so that the copy's link still
        // leads to it. A requisite that was not obtained is named where the run would have put
        // it, which is where the repair tools put it when they find it.
        if (kind == RefKind::Link) return abs;
        const UrlMapper::Result at = Mapper(Root).Peek(abs, prefixes_);
        if (!at.ok()) return abs;
        return UrlMapper::RelativeRef(PageRel, at.Rel) + frag;
    };

    const std::vector<HtmlToken> toks = ScanHtml(Html);
    std::string out;
    out.reserve(Html.size() + Html.size() / 8);
    std::string lastStart;
    bool baseDone = false;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        const HtmlToken &tk = toks[i];
        std::string text = Html.substr(tk.begin, tk.end - tk.begin);
        if (tk.kind == HtmlToken::Kind::Raw) {
            if (lastStart == "style" && Opt.RemoveUrlRoot == 0)
                text = RewriteCssRefs(text, [&](const CssRef &, const std::string &v) { return mapRef(RefKind::Source, v); });
            out += text;
            continue;
        }
        if (tk.kind == HtmlToken::Kind::Text) {
            out += ReplaceAllIgnoreCase(text, "&amp;nbsp", "&nbsp;");
            continue;
        }
        if (tk.kind != HtmlToken::Kind::StartTag && tk.kind != HtmlToken::Kind::EndTag) {
            out += text;
            continue;
        }
        if (tk.kind == HtmlToken::Kind::StartTag) lastStart = tk.name;
        // A line break before the closing ">" goes behind it.
        std::string after;
        if (text.size() >= 3 && text.compare(text.size() - 3, 3, "\r\n>") == 0) {
            text.erase(text.size() - 3, 2);
            after = "\r\n";
        } else if (text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n/>") == 0) {
            text.erase(text.size() - 4, 2);
            after = "\r\n";
        }
        if (tk.kind == HtmlToken::Kind::StartTag) {
            if (tk.name == "base" && !baseDone) {
                baseDone = true;
                const std::string inner = text.substr(5, text.size() - 6); // after "<base", before ">"
                if (Trim(inner) == "/")
                    out += J("<!-- ●●<base /> ■■ -->");
                else
                    out += J("<!-- ●●<base") + inner + J("> ■■-->");
                out += after;
                continue;
            }
            const std::vector<HtmlAttr> attrs = ParseTagAttrs(text);
            std::string rebuilt;
            std::size_t at = 0;
            bool hasAction = false;
            for (const HtmlAttr &a : attrs) {
                const std::string name = lower(text.substr(a.nameBegin, a.nameEnd - a.nameBegin));
                if (name == "action") hasAction = true;
                if (!a.hasValue) continue;
                const std::string v = text.substr(a.valueBegin, a.valueEnd - a.valueBegin);
                std::optional<std::string> nv;
                if (name == "href" && (tk.name == "a" || tk.name == "area")) {
                    if (Trim(v).empty()) {
                        if (Opt.EmptyElement == 1)
                            nv = J("●●");
                        else if (Opt.RomoveHTMLSrcRoot == 0)
                            nv = siteRoot;
                    } else {
                        nv = mapRef(RefKind::Link, v);
                    }
                } else if (name == "href" && tk.name == "link") {
                    nv = mapRef(IsRequisiteLink(text) ? RefKind::Sheet : RefKind::Link, v);
                } else if (name == "src" || name == "background") {
                    nv = mapRef(RefKind::Source, v);
                } else if (name == "style" && Opt.RemoveUrlRoot == 0) {
                    const std::string css = RewriteCssRefs(
                        v, [&](const CssRef &, const std::string &u) { return mapRef(RefKind::Source, u); });
                    if (css != v) nv = css;
                } else if (Opt.EmptyElement == 1 && Trim(v).empty() &&
                           ((name == "content" && tk.name == "meta") || (name == "value" && tk.name == "input"))) {
                    nv = J("●●");
                }
                if (!nv) continue;
                std::string val = a.quote ? ReplaceAll(*nv, "&", "&amp;") : *nv;
                if (!a.quote && val.find_first_of(" \t\r\n>\"'") != std::string::npos) {
                    rebuilt += text.substr(at, a.valueBegin - at) + "\"" + val + "\"";
                } else {
                    rebuilt += text.substr(at, a.valueBegin - at) + val;
                }
                at = a.valueEnd;
            }
            rebuilt += text.substr(at);
            text = rebuilt;
            if (tk.name == "form" && Opt.EmptyElement == 1 && !hasAction) {
                const std::size_t close = text.size() >= 2 && text.compare(text.size() - 2, 2, "/>") == 0
                                              ? text.size() - 2
                                              : text.size() - 1;
                text.insert(close, J(" action=\"●●\" "));
            }
            out += text + after;
            if (tk.name == "td" && i + 1 < toks.size() && toks[i + 1].kind == HtmlToken::Kind::EndTag &&
                toks[i + 1].name == "td")
                out += "&nbsp;";
            continue;
        }
        out += text + after;
    }

    // The saved-from comment names the page's address before the first line of the page.
    if (Opt.RomoveHTMLSrcRoot == 0) {
        const std::string lo = lower(out);
        const std::size_t h = lo.find("<html");
        if (h != std::string::npos) {
            const std::size_t lineStart = out.rfind('\n', h) == std::string::npos ? 0 : out.rfind('\n', h) + 1;
            const std::string from = Opt.PageUrlText.empty() ? Url : Opt.PageUrlText;
            out.insert(lineStart, "<!-- saved from \"" + from + Opt.MadeFromTail + "\r\n");
        }
    }
    if (Opt.CharCodeMode == 1 || Opt.CharCodeMode == 2) {
        const char *enc = Opt.CharCodeMode == 1 ? " encoding=\"euc-jp\"" : " encoding=\"utf-8\"";
        for (std::size_t p; (p = lower(out).find(enc)) != std::string::npos;) {
            const std::size_t q = out.find("?>", p);
            if (q == std::string::npos) break;
            out.replace(p, std::string(enc).size(), " encoding=\"Shift_JIS\"");
        }
    }
    out = RewriteCharsetDeclsToSjis(out);
    if (out.rfind("?<", 0) == 0) out.erase(0, 1);
    return out;
}

int DownloadEngine::MainTopPageHTMLdownload(const std::string &Url, const std::string &LocalName,
                                            const std::string &SaveFolder, int SaveFlag)
{
    const Busy busy(*this);
    if (SaveFlag == 1 && Trim(SaveFolder).empty()) return -1;
    const std::string root = absRoot(SaveFolder);
    const std::string BD = Opt.InhibitBaseDir ? relFolder(Opt.BaseWebDir) : std::string();
    std::string name = fileNameOf(slashes(LocalName));
    if (name.empty()) name = "index.html";
    std::string rel = Opt.HTMLNodePosition == 0 ? name : BD + name;
    if (Opt.RemoveRelativeUp == 1) rel = BD + name;
    if (const std::size_t g = rel.find("gif3"); g != std::string::npos) rel.erase(g, 4);

    std::string raw, contentType;
    bool ok = false;
    if (Opt.FromClipboard) {
        raw = Opt.ClipboardHtml;
        ok = !raw.empty();
    } else {
        const auto r = cache_->Get(Url);
        ok = r->Ok && r->Status < 400 && !r->Body.empty();
        if (ok) {
            raw = r->Body;
            contentType = r->ContentType;
        }
    }
    if (!ok) {
        InfoLabel = J("■■　【 ") + Url + J("  】がＷｅｂサイトに存在しません");
        return -1;
    }
    if (root.empty()) return -1; // a relative folder would write into the current directory

    const std::string lo = lower(raw);
    const bool u8 = has(lo, "charset=utf-8"), euc = has(lo, "charset=euc-jp"), sj = has(lo, "charset=shift_jis"),
               iso = has(lo, "iso-");
    if (u8 && !euc && !sj && !iso)
        PageCharset = "UTF-8";
    else if (euc && !u8 && !sj)
        PageCharset = "EUC-JP";
    else if (iso && !u8 && !euc && !sj)
        PageCharset = "JIS";
    else
        PageCharset = "Shitf_JIS";

    std::string T = Opt.CharCodeMode == 0 ? decodedPage(raw, contentType).Sjis
                                          : ConvertTextToSjis(raw, Opt.CharCodeMode);
    InfoLabel = J("【 ") + Url + J("  】");

    // Background images of the page as the server wrote them.
    Clear("GBackgroundImageList");
    Clear("ListBoxPageControlMainTopOrgBackgroundImage");
    for (const HtmlToken &t : ScanHtml(T)) {
        if (t.kind != HtmlToken::Kind::StartTag) continue;
        const std::string tag = T.substr(t.begin, t.end - t.begin);
        for (const HtmlAttr &a : ParseTagAttrs(tag))
            if (a.hasValue && lower(tag.substr(a.nameBegin, a.nameEnd - a.nameBegin)) == "background") {
                const std::string u = MakeAbsoluteUrl(ExtractUrlFolder(Url), tag.substr(a.valueBegin, a.valueEnd - a.valueBegin));
                Add("GBackgroundImageList", u);
                Add("ListBoxPageControlMainTopOrgBackgroundImage", u);
            }
    }
    Set("ListBoxWebDomain", Lines("GImageRootList"));

    UrlMapper &M = Mapper(root);
    SaveTree &tree = Tree(root);
    // The page names itself where it is saved.
    recordSaved(Url, rel);
    if (const std::string owner = M.ClaimedUrl(rel); !owner.empty() && owner != UrlKey(Url)) {
        // Another URL's file has this name: the page never replaces it.
        rel = folderOf(rel) + UrlMapper::ShortHash(Url) + "_" + fileNameOf(rel);
        savedRel_[UrlKey(Url)] = rel;
    }
    T = RewritePageHtml(T, Url, rel, root);
    PageHtml = T;
    const std::string LP = root + "/" + rel;
    if (const SaveResult w = tree.Write(LP, T, Url); !w.ok()) {
        ++WriteFailures;
        InfoLabel = J("■■　【 ") + LP + J(" 】") + SaveFailureText(w);
        Message = InfoLabel;
        finishTrees();
        return -1;
    }
    GlobalFile = LP;
    // The page as served, from the bytes already fetched.
    if (!Opt.FromClipboard) {
        const std::string zz = folderOf(rel) + "ZZ" + fileNameOf(rel);
        if (M.ClaimedUrl(zz).empty()) tree.Write(root + "/" + zz, raw, Url);
    }
    finishTrees();
    return 0;
}

// --- re-rooting of the saved style sheets ------------------------------------------------------

void DownloadEngine::TopImageCSSRemoveFirstSlash(const std::vector<std::string> &Files)
{
    const Busy busy(*this);
    if (Stop) return;
    Clear("ListBoxRemoveSlashCSS");
    for (const SheetFile &sf : sheetFiles_) {
        if (!sf.Css) continue;
        const std::string root = saveRoot_;
        if (root.empty()) break;
        const std::string abs = root + "/" + sf.Rel;
        if (!Files.empty() && std::find(Files.begin(), Files.end(), abs) == Files.end()) continue;
        SaveTree &tree = Tree(root);
        if (!tree.Exists(abs)) continue;
        const std::string T0 = decoded(sf.Url, FetchedKind::Css).Sjis;
        if (T0.empty()) continue;
        const std::string T = rewriteSheet(T0, sf.Url, sf.Rel, Mapper(root));
        if (tree.Write(abs, T, sf.Url).ok()) Add("ListBoxRemoveSlashCSS", abs);
    }
    finishTrees();
}

// --- the whole page ----------------------------------------------------------------------------

int DownloadEngine::PageKind(const std::string &Url, std::vector<std::string> &Frames, std::string &Text)
{
    const Busy busy(*this);
    Frames.clear();
    Text.clear();
    const auto r = cache_->Get(Url);
    if (!r->Ok || r->Status >= 400 || r->Body.empty()) return -1;
    // Decoded once for the run this look begins.
    Text = decodedPage(r->Body, r->ContentType).Sjis;
    return GetHTMLType(Text, r->EffectiveUrl.empty() ? Url : r->EffectiveUrl, Frames);
}

int DownloadEngine::AdjustCSSDownloadFile(const std::vector<std::string> &Files, int RemoveCSSRootItem)
{
    if (Files.empty()) return -1;
    Clear("GWorkList");
    if (RemoveCSSRootItem != 1 || Opt.CSSJavaChangeChaCode != 1) return 0;
    for (const std::string &F : Files) {
        const std::string l = lower(F);
        if (!has(l, ".css") && !has(l, ".js")) continue;
        bool ok = false;
        const std::string t = LoadTextFile(F, &ok);
        if (!ok || t.empty()) continue;
        // The steps saved these in Shift_JIS already: only the names of the charset change.
        const std::string n = RewriteCharsetNamesToSjis(t);
        if (n == t || saveRoot_.empty() || !IsPathBelowRoot(saveRoot_, F)) continue;
        SaveTree &tree = Tree(saveRoot_);
        const auto it = tree.Entries().find(F.substr(saveRoot_.size() + 1));
        tree.Write(F, n, it == tree.Entries().end() ? std::string() : it->second);
    }
    finishTrees();
    return 0;
}

int DownloadEngine::DownloadAll(const std::string &Url, const std::string &LocalName, const std::string &SaveFolder,
                                bool FreshRun)
{
    const Busy busy(*this);
    Message.clear();
    const bool stopAsked = Stop;
    BeginRun(!FreshRun);
    Stop = stopAsked || closed_;
    // A run stopped before it began leaves the folder as it was.
    if (Stop) return -1;
    const std::string root = absRoot(SaveFolder);
    if (root.empty()) return -1;
    saveRoot_ = root;
    // The folder is emptied of what earlier runs wrote, and of nothing else.
    if (!Opt.DoNotEmptyFolder) Tree(root).EmptyRecorded();
    const int H = PosAfterHost(Url);
    if (H == 0) return -1;
    Opt.WebRoot = Url.substr(0, static_cast<std::size_t>(H));
    PageCharset.clear();
    GlobalFile.clear();
    WriteFailures = 0;
    std::vector<std::string> names;
    for (const auto &[n, l] : lists_) names.push_back(n);
    for (const std::string &n : names) Clear(n);
    Opt.LocalFilename = LocalName;
    MakeDirMaskList(LocalName);
    Opt.CssUrlRoot = root + "/";
    Opt.CssSaveFolder.clear(); // the collection only looks; the steps below write
    PageBaseUrl.clear();

    // A stop ends the run where it is: the transfer in flight is cut off and nothing more is
    // written, the page included.
    if (Stop) return -1;
    struct WholeRun {
        bool &f;
        explicit WholeRun(bool &x) : f(x) { f = true; }
        ~WholeRun() { f = false; }
    } whole(wholeRun_);
    status("1 - Make Image and CSS");
    MainTopGetPageImageCSS(Url, 0);
    if (Stop) return -1;
    status("2 - CSS download");
    MainTopCSSdownload(Url, root + "/", Opt.BaseWebDir, 0);
    if (Stop) return -1;
    status("3 - Image download");
    if (MainTopImagedownload(Url, root + "/", ReplaceAll(Opt.BaseWebDir, "/", "\\")) < 0) {
        Message = J("8) HTMLﾌｧｲﾙを生成できません");
        return -1;
    }
    if (Stop) return -1;
    status("4 - HTML download");
    const int pageResult = MainTopPageHTMLdownload(Url, LocalName, root + "/", Opt.SaveLocalFile ? 1 : 0);
    if (pageResult < 0) return -1;
    TopImageCSSRemoveFirstSlash();
    if (Stop) return -1;

    SaveTree &tree = Tree(root);
    UrlMapper &M = Mapper(root);
    if (!Opt.FrameSelected) MainPageFile = GlobalFile;
    {
        const std::string ext = lower(GlobalFile.substr(GlobalFile.find_last_of("./") == std::string::npos
                                                            ? GlobalFile.size()
                                                            : GlobalFile.find_last_of("./")));
        if (ext != ".html" && ext != ".htm") {
            const std::string html = ChangeFileExtension(GlobalFile, ".html");
            const std::string rel = html.substr(root.size() + 1);
            if (M.ClaimedUrl(rel).empty() && tree.Write(html, PageHtml, Url).ok()) GlobalFile = html;
        }
    }

    // The lists the window shows after a run.
    Set("ListBoxPageControlMainTopRightTab11WebDir", Lines("GWebDirList"));
    MakeRootTreeList(Opt.BaseWebDir, Opt.WebRoot);
    for (const std::string &d : Lines("GRootTreeList")) Add("GWebDirList", d);
    for (const std::string &line : Lines("ListBoxMainTopDownloadList")) {
        const std::size_t p = line.find(J("○ "));
        if (p == std::string::npos) continue;
        Add("ListBoxPageControlMainBodyTab04GetwebFileListCSS", line);
        const std::string Q = ResolveParentDirs(line.substr(p + J("○ ").size()));
        Add("GObtainedFileList", Q);
        Add("ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained", fileNameOf(Q) + "\t" + Q);
    }
    if (!Lines("GImageProbeList").empty()) {
        std::vector<std::string> exist;
        for (const std::string &p : Lines("GImageProbeList"))
            exist.push_back(ExpandTab(fileNameOf(p) + "\t" + folderOf(slashes(p)), 40));
        Set("GExistFileList", exist);
    }
    Set("ListBoxAbsExistFile", Lines("GExistFileList"));
    if (WriteFailures > 0) {
        InfoLabel = J("書き込めなかったﾌｧｲﾙ: ") + std::to_string(WriteFailures) + J(" 個　") + InfoLabel;
        status(J("書き込めなかったﾌｧｲﾙ: ") + std::to_string(WriteFailures) + J(" 個"));
    }
    const std::string listName = J("画像一覧ﾘｽﾄ.txt");
    if (M.ClaimedUrl(listName).empty()) {
        std::string text;
        for (const std::string &l : Lines("GExistFileList")) text += l + "\r\n";
        if (!text.empty()) tree.Write(root + "/" + listName, text, "");
    }
    finishTrees();
    return 0;
}
