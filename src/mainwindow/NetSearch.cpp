#include "mainwindow/NetSearch.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <algorithm>
#include <cstdlib>
#include <set>

namespace {
const char *kGeneralIme0 =
    "&as_epq=&as_oq=&as_eq=&hl=ja&num=100&lr=lang_en&cr=&as_ft=i&as_filetype=&as_qdr=all&as_occt=any&as_dt=i"
    "&as_sitesearch=&as_rights=&safe=images&btnG=Google+%E6%A4%9C%E7%B4%A2";
const char *kGeneralIme1 = "&num=100&hl=ja&ie=UTF-8&oe=UTF-8&btnG=Google+%E6%A4%9C%E7%B4%A2&as_epq=&as_oq=&as_eq=&lr="
                           "&as_ft=i&as_filetype=&as_qdr=all&as_occt=any&as_dt=i&as_sitesearch=";
const char *kBooksIme0 = "&num=100&hl=ja&tbm=bks&ei=Pz7kWn31HuQ8nRMeyLsFGq&start=0&sa=N";
const char *kBooksIme1 = "&num=100&hl=ja&lr=lang_en&tbs=lr:lang_1en&tbm=bks&ei=Ka2uXc9EjrV5bHnq4Yt0Zm&start=0&sa=N";
const char *kPageIme0 = "&num=100&hl=ja&lr=lang_en&rlz=3K7XQWB_abCD482&as_qdr=all&tbs=lr:lang_1en&prmd=ivnsl"
                        "&ei=Qx4mWbk9R2pLwYhNd3sA&start=100&sa=N";
const char *kPageIme1 = "&num=100&hl=ja&lr=&ie=UTF-8&oe=UTF-8&as_qdr=all&start=100&sa=N";

bool contains(const std::string &s, const std::string &sub) { return s.find(sub) != std::string::npos; }
} // namespace

std::string SearchEngineBase(SearchEngine Engine)
{
    if (const char *env = std::getenv("VK_SEARCH_ENGINE_BASE"); env && *env) return env;
    return Engine == SearchEngine::First ? "https://www.google.co.jp/search" : "https://search.yahoo.co.jp/search";
}

std::string EncodeSearchKeyword(const std::string &Keyword)
{
    return ReplaceAllIgnoreCase(UrlEncodeSjis(AnsiToUtf8(Keyword)), "%00", "");
}

std::string FirstEngineQueryUrl(const std::string &Base, const std::string &Keyword, int Type, int Ime)
{
    const std::string q = EncodeSearchKeyword(Keyword);
    if (Type == 1) return Base + "?q=" + q + (Ime == 1 ? kBooksIme1 : kBooksIme0);
    return Base + "?as_q=" + q + (Ime == 1 ? kGeneralIme1 : kGeneralIme0);
}

std::string SecondEngineQueryUrl(const std::string &Base, const std::string &Keyword)
{
    const std::string q = EncodeSearchKeyword(Keyword);
    return Base + "?p=" + q + "&aq=-1&oq=&ei=UTF-8&fr=top_ga1_sa&x=wrt" + q;
}

std::string FirstEnginePageUrl(const std::string &Base, const std::string &Keyword, int Ime, int Offset)
{
    const std::string q = EncodeSearchKeyword(ReplaceAll(Keyword, "\x81\x40", " "));
    const std::string url = Base + "?hl=ja&ie=UTF-8&oe=UTF-8&q=" + q + (Ime == 1 ? kPageIme1 : kPageIme0);
    return ReplaceAllIgnoreCase(url, "start=100", "start=" + std::to_string(Offset));
}

std::string SecondEnginePageUrl(const std::string &Base, const std::string &Keyword, int Offset)
{
    const std::string kw = ReplaceAll(ReplaceAll(Keyword, "\x81\x40", " "), "  ", " ");
    return Base + "?p=" + EncodeSearchKeyword(kw) + "&aq=-1&ei=UTF-8&pstart=1&fr=ush-jp_full&b=" +
           std::to_string(Offset);
}

int NextSearchOffset(int Offset) { return Offset + 100; }
int PrevSearchOffset(int Offset) { return std::max(0, Offset - 100); }

std::string HighlightWords(const std::string &Keyword)
{
    std::string w = Keyword;
    if (contains(w, "site:") && contains(w, " ")) w = w.substr(w.find(' ') + 1);
    return ReplaceAll(Trim(w), "\"", "");
}

std::string EncloseQuotation(const std::string &Keyword)
{
    std::string k = Trim(Keyword);
    if (k.empty()) return k;
    k = ReplaceAll(ReplaceAll(k, "\x81\x40", " "), "\"", "");
    std::string out;
    size_t i = 0;
    while (i < k.size()) {
        // Blanks become commas and commas separate the words, so a comma typed in the
        // keyword separates too.
        while (i < k.size() && (k[i] == ' ' || k[i] == ',')) ++i;
        size_t j = i;
        while (j < k.size() && k[j] != ' ' && k[j] != ',') ++j;
        if (j > i) out += "\"" + k.substr(i, j - i) + "\" ";
        i = j;
    }
    return TrimRight(out);
}

std::string AddInSite(const std::string &Keyword, const std::string &Url)
{
    std::string kw = Keyword;
    if (auto p = kw.find("site:"); p != std::string::npos) kw = Trim(kw.substr(0, p));
    std::string host = ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Url, "https://", ""), "http://", "");
    if (auto p = host.find('/'); p != std::string::npos) host = host.substr(0, p);
    return kw + " site:" + host;
}

ResultLine FormatResultLine(int Number, const std::string &Item)
{
    std::string url = Item, title;
    if (auto p = Item.find("\">"); p != std::string::npos) {
        url = Item.substr(0, p);
        title = Item.substr(p + 2);
    }
    for (const char *tag : {"<EM>", "</EM>", "<B>", "</B>"}) title = ReplaceAllIgnoreCase(title, tag, "");
    // The serialised page writes "&" in attributes and text as "&amp;": the list holds the
    // address the browser would request and the title as the page shows it.
    url = DecodeCharacterReferences(url);
    title = DecodeCharacterReferences(title);
    const std::string text = IntToSpacePadded(Number, 2) + ".  " + title;
    return {text + "\t" + url, text};
}

std::vector<ResultLine> FormatResultList(const std::vector<std::string> &Items)
{
    std::vector<ResultLine> out;
    for (size_t k = 0; k < Items.size(); ++k) out.push_back(FormatResultLine(static_cast<int>(k) + 1, Items[k]));
    return out;
}

bool ExtractResultItems(const std::string &Html, std::vector<std::string> &Items)
{
    // The page comes serialised by the browser, which writes its tags in lower case.
    auto found = ExtractResultLinks(Html, ")\" href=\"", "</A>", "http", true);
    if (!found) return false;
    Items = std::move(*found);
    return true;
}

std::string ListLineUrl(const std::string &Line)
{
    auto p = Line.find('\t');
    return p == std::string::npos ? Line : Line.substr(p + 1);
}

bool IsOpenableResultUrl(const std::string &Url)
{
    const std::string t = Trim(Url);
    if (!IsHttpUrl(t)) return false;
    const std::string l = LowerCase(t);
    for (const char *bad : {".pdf", "mailto:", "javascript:", ".xls", ".doc"})
        if (contains(l, bad)) return false;
    return true;
}

std::string ResultTabCaption(int Number, const std::string &Line)
{
    std::string title = Line.size() > 4 ? Line.substr(4) : std::string();
    if (auto p = title.find('\t'); p != std::string::npos) title = title.substr(0, p);
    // Nine characters, a double-byte character counting one.
    std::string nine;
    int chars = 0;
    for (size_t i = 0; i < title.size() && chars < 9; ++chars) {
        const unsigned char c = static_cast<unsigned char>(title[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const size_t n = (lead && i + 1 < title.size()) ? 2 : 1;
        nine += title.substr(i, n);
        i += n;
    }
    return " " + IntToSpacePadded(Number, 2) + ". " + nine + " ";
}

int BatchBrowseWalk(const std::vector<std::string> &Lines, int Start, int Count,
                    const std::function<bool(const std::string &)> &Open, const std::function<bool()> &Stopped)
{
    const int first = std::max(Start, 1);
    const int limit = Count <= 0 ? 20 : Count;
    int last = 0, opened = 0;
    std::set<std::string> seen;
    for (int i = first - 1; i < static_cast<int>(Lines.size()); ++i) {
        if (Stopped()) break;
        const std::string u = Trim(ListLineUrl(Trim(Lines[static_cast<size_t>(i)])));
        if (u.empty()) break;
        if (seen.insert(u).second && IsOpenableResultUrl(u) && Open(u)) {
            last = i + 1;
            if (++opened >= limit) break;
        }
        if (Stopped()) break;
    }
    return last > 0 ? last : first - 1;
}
