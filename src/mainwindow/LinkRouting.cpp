#include "mainwindow/LinkRouting.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"

namespace {
bool contains(const std::string &s, const std::string &sub) { return s.find(sub) != std::string::npos; }
bool startsWith(const std::string &s, const char *p) { return s.rfind(p, 0) == 0; }
bool isHttp(const std::string &s) { return startsWith(s, "http://") || startsWith(s, "https://"); }
} // namespace

bool CheckFileBrowserLink(const std::string &Url)
{
    const std::string l = LowerCase(Url);
    if (!contains(l, "http://") && !contains(l, "https://")) return false;
    for (const char *bad : {".pdf", "mailto:", "java", ".xls", ".doc"})
        if (contains(l, bad)) return false;
    return true;
}

bool CheckPDF(const std::string &Url)
{
    const std::string l = LowerCase(Url);
    for (const char *bad : {".pdf", ".xls", ".doc", ".zip", ".lzh"})
        if (contains(l, bad)) return false;
    return true;
}

bool IsRoutedDocumentLink(const std::string &Url)
{
    return !CheckPDF(Url) || contains(LowerCase(Url), ".nfs");
}

bool StatusTextBlocked(const std::string &Text)
{
    // "ページ", "ダウン", blank, full-width blank, "画像", "内容", "選択" in Shift_JIS.
    static const char *const words[] = {"\x83\x79\x81\x5B\x83\x57", "\x83\x5F\x83\x45\x83\x93", " ", "\x81\x40",
                                        "\x89\xE6\x91\x9C", "\x93\xE0\x97\x65", "\x91\x49\x91\xF0"};
    for (const char *w : words)
        if (PosEx(w, Text) > 0) return true;
    return false;
}

std::string NextHoverUrl(const std::string &Text, const std::string &Current)
{
    if (Text.empty() || StatusTextBlocked(Text)) return Current;
    return isHttp(Text) ? Text : std::string();
}

std::string ClickedLink(const std::string &ClickedHref, bool ClickedElement, const std::string &HoverUrl)
{
    // The hovered link outlives the pointer's stay on it, so it only stands in for an event
    // that did not say where it happened.
    if (!ClickedHref.empty() || ClickedElement) return ClickedHref;
    return HoverUrl;
}

RoutePolicy FavoritesRoutePolicy()
{
    RoutePolicy p;
    p.unwrapRedirects = false;
    p.trimToLastHttp = false;
    p.engineLinks = false;
    p.sameScreenUncut = true;
    return p;
}

RouteDecision RouteLeftClick(const RouteInput &In)
{
    RouteDecision d;
    if (In.ignoreClick) return d;
    const RoutePolicy &pol = In.policy;
    auto unwrap = [&](const std::string &u) { return pol.unwrapRedirects ? RemoveGoogleUrl(u) : u; };
    const std::string link = ClickedLink(In.clickedHref, In.clickedElement, In.hoverUrl);
    if (!isHttp(link)) return d;
    d.sourceLink = link;
    std::string url = unwrap(link);
    if (IsRoutedDocumentLink(url)) {
        d.action = RouteAction::OpenExternal;
        d.url = link;
        return d;
    }
    // A wrapped address inside a query: the last "http://" link is the target.
    if (pol.trimToLastHttp)
        if (int p = PosEx("http://", url, 1); p > 1) url = url.substr(static_cast<size_t>(p - 1));
    // Only the old "related:+" form is cut; a "+" in a query is a blank, not a marker.
    if (auto p = url.find("related:+"); p != std::string::npos) url = url.substr(0, p);
    const bool engine =
        pol.engineLinks && contains(url, "search?q=") && (contains(url, "google") || contains(url, "yahoo"));
    if (engine) {
        d.action = RouteAction::EngineLink;
        d.url = unwrap(url);
        d.captionUrl = d.url;
        return d;
    }
    if (In.sameScreenOnce) {
        d.action = RouteAction::SamePane;
        d.url = pol.sameScreenUncut ? link : url;
        return d;
    }
    const std::string shown = In.searchType == 1 ? link : unwrap(url);
    d.action = (In.targetTabCount != 0 && !In.dontCreateTab) ? RouteAction::NewTab : RouteAction::FrontBrowser;
    d.url = unwrap(shown);
    d.captionUrl = url;
    return d;
}
