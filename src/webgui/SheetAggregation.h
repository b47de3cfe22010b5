// The style sheets of a local page joined for reading: each referenced sheet found beside the
// page, the sheets its "@import"s name (one level), each shown once under its banner; and a
// text fetch that keeps the window alive while it waits.
#pragma once

#include <string>
#include <vector>

struct LocalSheetsView {
    std::vector<std::string> Obtained;   // "path TAB mark ref" lines of the download page's list
    std::vector<std::string> LocalNames; // "TAB mark ref" lines of its local-name list
    std::vector<std::string> Sheets;     // every local sheet, sorted, once each
    std::string Text;                    // their banner blocks joined
};

// Refs are the page's style-sheet references as written in BaseFile (an absolute path).
// A reference whose file name was seen before still has its own line; "../" is resolved from
// the sheet's own folder; a missing sheet gives its banner with no lines.
LocalSheetsView LocalSheetsOfPage(const std::string &BaseFile, const std::vector<std::string> &Refs);

// HttpGetText on a worker thread while a local event loop runs, for at most TimeoutMs ("" after
// that; the fetch's own time-outs end the thread).
std::string FetchTextWaiting(const std::string &Url, int TimeoutMs = 120000);
