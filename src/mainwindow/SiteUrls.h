// The fixed sites of the news and convenience menus and of the convenient page's sub-tabs,
// and the encyclopedia and video queries. Every URL is built against a base: the site's own
// scheme and host, or VK_SITE_BASE (an URL such as "http://127.0.0.1:8080") standing for all
// of them, so the same paths can be served by a local server.
#pragma once
#include <string>
#include <vector>

struct SiteRow {
    const char *item;     // the menu item's name
    const char *caption;  // UTF-8
    const char *host;     // "https://host"; empty when the site's host is not known
    const char *path;
    const char *submenu;  // the submenu holding the item; empty for the menu itself
};

// The news menu in its order (the three FinancialTimes items under MenuNewspaperFTTop).
const std::vector<SiteRow> &NewsSites();
// The convenience menu in its order.
const std::vector<SiteRow> &ConvenienceSites();

struct ConviTabRow {
    const char *tab;      // the sub-tab's name
    const char *caption;  // UTF-8
    const char *host;     // empty: no start page
    const char *path;     // the start page's path
    const char *homePath; // the path of the site URL the open-in-browser button uses
};
// The convenient page's ten sub-tabs, by index.
const std::vector<ConviTabRow> &ConviTabs();

// VK_SITE_BASE without a trailing "/", or "" when unset.
std::string SiteBase();
// Host + Path, or Base + Path when Base is set; "" when the host is not known.
std::string SiteUrl(const char *Host, const char *Path, const std::string &Base);
std::string SiteUrl(const SiteRow &Row, const std::string &Base);
// A sub-tab's start page and its site URL; "" for sub-tab 0 and for a sub-tab without host.
std::string ConviStartUrl(int Index, const std::string &Base);
std::string ConviHomeUrl(int Index, const std::string &Base);

// Percent-encodes the UTF-8 bytes of Shift_JIS Text: letters, digits and "-._~" as they are,
// every other byte as "%" and two upper-case hex digits.
std::string EncodeQueryText(const std::string &Text);

// The encyclopedia query of EditWikipedia's text (Shift_JIS). Ime 0 (English): blanks
// collapsed and joined by "_"; 1 (Japanese): blanks and full-width low lines removed. text
// is what the edit shows afterwards, url the article's address; both empty when nothing is
// left to ask for.
struct EncyclopediaQuery {
    std::string text;
    std::string url;
};
EncyclopediaQuery EncyclopediaQueryUrl(const std::string &Text, int Ime, const std::string &Base);
// The video query: blanks and full-width blanks removed; "" when nothing is left.
std::string VideoQueryUrl(const std::string &Text, const std::string &Base);
