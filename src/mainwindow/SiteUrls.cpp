#include "mainwindow/SiteUrls.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include <cstdlib>

const std::vector<SiteRow> &NewsSites()
{
    static const std::vector<SiteRow> rows = {
        {"MenuNewspaperAsahi", "朝日", "https://www.asahi.com", "/", ""},
        {"MenuNewspaperYomiuri", "読売", "https://www.yomiuri.co.jp", "/", ""},
        {"MenuNewspaperMainichi", "毎日", "https://mainichi.jp", "/", ""},
        {"MenuNewspaperSankei", "産経", "https://www.sankei.com", "/", ""},
        {"MenuNewspaperNikkei", "日経", "https://www.nikkei.com", "/", ""},
        {"MenuYahoo", "Yahoo", "https://www.yahoo.co.jp", "/", ""},
        {"MenuNewspaperNHK", "NHK", "https://www.nhk.or.jp", "/", ""},
        {"MenuNewspaperJiji", "時事", "https://www.jiji.com", "/", ""},
        {"MenuNewspaperKyodo", "共同", "https://www.kyodo.co.jp", "/", ""},
        {"MenuNewspaperCNN", "CNN", "https://www.cnn.co.jp", "/", ""},
        {"MenuNewspaperReuter", "Reuters", "https://jp.reuters.com", "/", ""},
        {"MenuNewspapeAFP", "AFP", "https://www.afpbb.com", "/", ""},
        {"MenuNewspaperBloomberg", "Bloomberg", "https://www.bloomberg.co.jp", "/", ""},
        {"MenuNewspaperChosenNippo", "朝鮮日報", "https://www.chosunonline.com", "/", ""},
        {"MenuNewspaperChuoNippo", "中央日報", "https://japanese.joins.com", "/", ""},
        {"MenuNewspaperJapanTimes", "JapanTimes", "https://www.japantimes.co.jp", "/", ""},
        {"MenuNewspaperFTAsia", "Asia", "https://www.ft.com", "/home/asia/", "MenuNewspaperFTTop"},
        {"MenuNewspaperFTUS", "US", "https://www.ft.com", "/home/us/", "MenuNewspaperFTTop"},
        {"MenuNewspaperFTEurope", "Europe", "https://www.ft.com", "/home/europe/", "MenuNewspaperFTTop"},
        {"MenuNewspaperWasPost", "WashingtonPost", "https://www.washingtonpost.com", "/", ""},
        {"MenuNewspaperNYTimes", "NewYorkTimes", "https://www.nytimes.com", "/", ""},
    };
    return rows;
}

const std::vector<SiteRow> &ConvenienceSites()
{
    static const std::vector<SiteRow> rows = {
        {"MenuCovinienceYahooChebukuro", "Yahoo知恵袋", "https://chiebukuro.yahoo.co.jp", "/", ""},
        {"MenuCovinienceYahooAuction", "Yahooｵｰｸｼｮﾝ", "https://auctions.yahoo.co.jp", "/", ""},
        {"MenuCovinienceWikipedia", "Wikipedia", "https://ja.wikipedia.org", "/", ""},
        {"MenuCovinienceAllAbout", "AllAbout", "https://allabout.co.jp", "/", ""},
        {"MenuCovinienceVector", "Vector", "https://www.vector.co.jp", "/", ""},
        {"MenuCovinienceMadonomori", "窓の杜", "https://forest.watch.impress.co.jp", "/", ""},
        {"MenuCovinienceITmedia", "ITmedia", "https://www.itmedia.co.jp", "/", ""},
        {"MenuCovinienceACSII", "ASCII", "https://ascii.jp", "/", ""},
        {"MenuCovinienceCookPad", "CookPad", "https://cookpad.com", "/", ""},
        // The municipal site of this page is not known; the item is shown but cannot be chosen.
        {"MenuCovinienceMinutes", "読みやすい市議会の会議録", "", "/cat66/post_701.php", ""},
    };
    return rows;
}

const std::vector<ConviTabRow> &ConviTabs()
{
    static const std::vector<ConviTabRow> rows = {
        {"PageControlMainTopTab20ConviTopTab01Yahoo", " １画面【 基本 】 ", "", "", ""},
        {"PageControlMainTopTab20ConviTopTab02Dic", " Yahoo辞書 ", "https://dic.yahoo.co.jp", "/", "/"},
        {"PageControlMainTopTab20ConviTopTab03YahooMap", " Yahoo地図 ", "https://map.yahoo.co.jp", "/", "/"},
        {"PageControlMainTopTab20ConviTopTab04Googlemap", " Google地図 ", "https://www.google.co.jp",
         "/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q=", "/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q="},
        {"PageControlMainTopTab20ConviTopTab05Wiki", " Wikipedia ", "https://ja.wikipedia.org",
         "/wiki/%E3%83%A1%E3%82%A4%E3%83%B3%E3%83%9A%E3%83%BC%E3%82%B8",
         "/wiki/%E3%83%A1%E3%82%A4%E3%83%B3%E3%83%9A%E3%83%BC%E3%82%B8"},
        {"PageControlMainTopTab20ConviTopTab06Nikoko", "　ﾆｺﾆｺ動画 ", "https://www.nicovideo.jp", "/video_top/",
         "/video_top/"},
        {"PageControlMainTopTab20ConviTopTab07Youtube", " YouTube ", "https://www.youtube.com", "/?gl=JP%26hl=ja",
         "/?gl=JP%26hl=ja"},
        {"PageControlMainTopTab20ConviTopTab08Ustream", " USTREAM", "https://www.ustream.tv", "/", "/"},
        // The companion site's host is not known: the sub-tab stays blank.
        {"PageControlMainTopTab20ConviTopTab09Ustweet", " Ustweet ", "", "/", "/"},
        {"PageControlMainTopTab20ConviTopTab10NHKDoga", " NHK投稿Do 画 ", "https://www.nhk.or.jp", "/", "/doga/"},
    };
    return rows;
}

std::string SiteBase()
{
    const char *env = std::getenv("VK_SITE_BASE");
    if (!env) return {};
    std::string b = Trim(env);
    while (!b.empty() && b.back() == '/') b.pop_back();
    return b;
}

std::string SiteUrl(const char *Host, const char *Path, const std::string &Base)
{
    if (!Host || !*Host) return {};
    return (Base.empty() ? std::string(Host) : Base) + Path;
}

std::string SiteUrl(const SiteRow &Row, const std::string &Base) { return SiteUrl(Row.host, Row.path, Base); }

std::string ConviStartUrl(int Index, const std::string &Base)
{
    const auto &t = ConviTabs();
    if (Index <= 0 || Index >= static_cast<int>(t.size())) return {};
    return SiteUrl(t[Index].host, t[Index].path, Base);
}

std::string ConviHomeUrl(int Index, const std::string &Base)
{
    const auto &t = ConviTabs();
    if (Index <= 0 || Index >= static_cast<int>(t.size())) return {};
    return SiteUrl(t[Index].host, t[Index].homePath, Base);
}

std::string EncodeQueryText(const std::string &Text)
{
    static const char hex[] = "0123456789ABCDEF";
    const std::string utf8 = AnsiToUtf8(Text);
    std::string out;
    for (unsigned char c : utf8) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

EncyclopediaQuery EncyclopediaQueryUrl(const std::string &Text, int Ime, const std::string &Base)
{
    EncyclopediaQuery q;
    std::string t = CollapseSpaces(Text);
    const bool english = Ime == 0;
    if (english) t = ReplaceAll(t, " ", "_");
    else t = ReplaceAll(ReplaceAll(t, " ", ""), "\x81\x51", "");  // the full-width low line
    if (t.empty()) return q;
    q.text = t;
    const char *host = english ? "https://en.wikipedia.org" : "https://ja.wikipedia.org";
    q.url = SiteUrl(host, "/wiki/", Base) + EncodeQueryText(t);
    return q;
}

std::string VideoQueryUrl(const std::string &Text, const std::string &Base)
{
    const std::string t = ReplaceAll(ReplaceAll(Text, " ", ""), "\x81\x40", "");
    if (t.empty()) return {};
    return SiteUrl("https://www.youtube.com", "/results?search_query=", Base) + EncodeQueryText(t) + "&aq=o";
}
