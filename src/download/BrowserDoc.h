// The logic behind the " メイン " lower tab: the page's HTML as each view shows it, the raw
// text of a URL and the outcome of a direct fetch. Texts are Shift_JIS.
#pragma once
#include <string>

// Which handler reads the document: each normalises in its own order.
enum class DocView {
    NavigateCopy,  // NormalizeHtmlSource, OpenAttributeQuotes, RewriteCharsetDeclsToSjis
    TargetSource,  // RewriteCharsetDeclsToSjis, NormalizeHtmlSource
    MainComplete,  // RewriteCharsetDeclsToSjis, NormalizeHtmlSource, OpenAttributeQuotes
};
std::string DocHtmlForView(const std::string &Html, DocView View);

// CR LF, then runs of two or three LF, each become one LF; then every LF becomes CR LF.
std::string NormalizeRawLineEnds(const std::string &Text);

// The raw text of Url for the " Ｒａｗ " sheet, decoded once into Shift_JIS with its line ends
// normalised, or
// "取得できませんでした" when nothing came back.
std::string RawSheetText(const std::string &Url);

// A direct fetch of a page: its text converted to Shift_JIS (automatic) and the label that
// says what came of it.
struct DirectFetch {
    bool Ok = false;
    std::string Text;
    std::string Label;
};
DirectFetch DirectDownloadFromWeb(const std::string &Url);
