// The net search's pure parts: engine bases, query and paging URLs, highlight words, the
// result list lines and the batch walk. Texts are Shift_JIS.
#pragma once
#include <functional>
#include <string>
#include <vector>

enum class SearchEngine { First, Second };

// The engine's search endpoint. VK_SEARCH_ENGINE_BASE, when set, stands for both engines
// (a local server in place of the real hosts).
std::string SearchEngineBase(SearchEngine Engine);

// The keyword as the engines take it: UTF-8, percent-encoded (a blank as "+"), no "%00".
std::string EncodeSearchKeyword(const std::string &Keyword);

// The first page of a search. Type 0 general, 1 books; Ime 0 English, 1 Japanese.
std::string FirstEngineQueryUrl(const std::string &Base, const std::string &Keyword, int Type, int Ime);
std::string SecondEngineQueryUrl(const std::string &Base, const std::string &Keyword);
// Later pages; Offset is the index of the first result wanted.
std::string FirstEnginePageUrl(const std::string &Base, const std::string &Keyword, int Ime, int Offset);
std::string SecondEnginePageUrl(const std::string &Base, const std::string &Keyword, int Offset);
// The offset after a paging button; the previous page of the first page is the first page.
int NextSearchOffset(int Offset);
int PrevSearchOffset(int Offset);

// The words to highlight from a keyword: the part after the first blank when the keyword
// has "site:" and a blank; trimmed, double quotes removed.
std::string HighlightWords(const std::string &Keyword);
// "a b" -> "\"a\" \"b\"" (full-width blanks and runs of blanks count as one separator).
std::string EncloseQuotation(const std::string &Keyword);
// The keyword with " site:" + the host of Url (an earlier "site:" part replaced).
std::string AddInSite(const std::string &Keyword, const std::string &Url);

// One result list entry: "NN.  title" + TAB + URL and the title line alone, from an item
// "URL\">title" (an item without the pair is all URL with an empty title); character
// references in both parts are decoded.
struct ResultLine {
    std::string urlLine;    // for the URL list
    std::string titleLine;  // for the title list
};
ResultLine FormatResultLine(int Number, const std::string &Item);
std::vector<ResultLine> FormatResultList(const std::vector<std::string> &Items);
// The result items of a page serialised by the browser (the markers compared without letter
// case, the engines' own links left out); false when the page has no marker.
bool ExtractResultItems(const std::string &Html, std::vector<std::string> &Items);

// The URL part of a list line (after the first tab; the whole line without one).
std::string ListLineUrl(const std::string &Line);
// A link the list and the batch may open: http or https and no document or script target.
bool IsOpenableResultUrl(const std::string &Url);
// The tab caption of the result numbered N from its list line:
// " " + N in two + ". " + the first nine characters of the title part + " ".
std::string ResultTabCaption(int Number, const std::string &Line);

// The batch: opens lines from Start (1-based) until Count pages were opened (20 when Count
// is 0 or less), skipping links that are not openable or were seen in this run. Stopped is
// asked before and after each line; Open shows one page and says whether it could. Returns
// the number of the last opened line; when nothing was opened, Start - 1 (so the next start
// never moves backwards).
int BatchBrowseWalk(const std::vector<std::string> &Lines, int Start, int Count,
                    const std::function<bool(const std::string &)> &Open, const std::function<bool()> &Stopped);
