// Where a link clicked in a pane goes: the pure decision, the hovered-link filter and the
// link tests. Texts are Shift_JIS.
#pragma once
#include "text/UrlMap.h"
#include <string>

// True for an http or https page link (not a document, mail or script link).
bool CheckFileBrowserLink(const std::string &Url);
// False for links to documents that the panes do not show (".pdf", ".xls", ".doc", ".zip", ".lzh").
bool CheckPDF(const std::string &Url);
// The documents that a left-pane click hands to the desktop's browser (CheckPDF's and ".nfs").
bool IsRoutedDocumentLink(const std::string &Url);

// Status texts of the browser that are not links (progress, selection, texts with blanks).
bool StatusTextBlocked(const std::string &Text);
// The hovered link after status text Text: kept for blocked and empty texts, Text itself for
// an http(s) link, empty for anything else.
std::string NextHoverUrl(const std::string &Text, const std::string &Current);

// The link a click acts on, by the rule of RouteLeftClick (any scheme).
std::string ClickedLink(const std::string &ClickedHref, bool ClickedElement, const std::string &HoverUrl);

enum class RouteAction {
    None,          // the click is dropped
    OpenExternal,  // the desktop's browser
    EngineLink,    // the engine's own page: the left pane again
    SamePane,      // one-shot "same screen": the left pane
    FrontBrowser,  // the right pane's browser in front
    NewTab,        // a new right-pane tab
};

// How a page reads its links. The defaults are the net-search page's; a page of any site
// (the favourites page) takes its links as they stand.
struct RoutePolicy {
    bool unwrapRedirects = true;  // a search engine's redirect link opens its target
    bool trimToLastHttp = true;   // a link wrapping another address opens the last "http://" one
    bool engineLinks = true;      // the engine's own result pages stay in the left pane
    bool sameScreenUncut = false; // the one-shot left opening takes the link as clicked
};
RoutePolicy FavoritesRoutePolicy();

struct RouteInput {
    std::string hoverUrl;     // the last hovered link
    std::string clickedHref;  // the link under the click, when the click was on one
    bool clickedElement = false;  // the event named its element (then an empty href means no link)
    bool ignoreClick = false;
    bool sameScreenOnce = false;
    int targetTabCount = 0;
    bool dontCreateTab = false;
    int searchType = 0;  // 0: unwrapped links; 1: the hovered link as it is
    RoutePolicy policy;
};

struct RouteDecision {
    RouteAction action = RouteAction::None;
    std::string url;          // what to show
    std::string captionUrl;   // what names the tab
    std::string sourceLink;   // the link as clicked (before unwrapping)
};

// The left pane's click. The clicked element decides: its http(s) link, or nothing when it
// is on no such link; the hovered link stands in only when the event named no element.
RouteDecision RouteLeftClick(const RouteInput &In);
