// What the result page's source tabs show: the page's scripts and style sheets as blocks,
// the engine's script file, the result URLs for the clipboard and the page without its
// scripts, styles and the engine's frame. Texts are Shift_JIS with CRLF line ends.
#pragma once
#include <string>
#include <vector>

// Finds Marker in S from From. Outside a tag the marker matches as written; inside a tag
// ("<" to ">") letters match without case and a quote around an attribute value may stand
// in either text or neither, so `<DIV id=gbar>` and `<div id="gbar">` are one marker.
// Gives the 0-based start and sets *Len to the matched length; npos when missing.
size_t FindPageMarker(const std::string &S, const std::string &Marker, size_t From, size_t *Len);
// Every span from a Left marker to the first Right marker after it, both included, is
// removed; a Left without a Right stays with all after it.
std::string DeletePageMarkerSpans(const std::string &S, const std::string &Left, const std::string &Right);

// The script view: every script element in page order as its own block (its opening tag,
// its content, "</script>", a blank line), then a line break after every ";".
std::string ScriptBlocksText(const std::string &Html);
// The style view: every style element as a block, then the rule formatting (a line per
// declaration, six tabs after a property's ":"; "://" in a URL is left whole).
std::string StyleBlocksText(const std::string &Html);
// The page source the two views start from.
std::string SourceForBlocks(const std::string &ResultHtml);

// The engine's script path named by its loader call; empty when the page names none.
std::string EngineScriptPath(const std::string &Html);
// The scheme and host of a search endpoint ("https://www.example.jp/search" gives
// "https://www.example.jp").
std::string SiteRootOf(const std::string &Endpoint);
// The fetched script laid out a statement a line, under its banner naming Url.
std::string FormatEngineScript(const std::string &Url, const std::string &Script);

// The result list's lines for the clipboard: one per line, the tab before the URL a comma.
std::string UrlListForClipboard(const std::vector<std::string> &Lines);

// The page without scripts, styles and the engine's frame, quoted and without blank lines.
std::string SimplifiedResultHtml(const std::string &Html, bool SecondEngine);
// The simplified page cut further into one section a result.
std::string FurtherSimplifiedResultHtml(const std::string &Html, bool SecondEngine, const std::string &Separator);

// The coloured view's text: the two engine fix-ups of its click handlers, normalised.
std::string ColouredResultHtml(const std::string &ResultHtml);

// The raw view: the received bytes decoded by the charset the page declares (UTF-8 when it
// is valid UTF-8 and declares nothing), as Shift_JIS; other bytes as they came.
std::string RawPageText(const std::string &Bytes);
