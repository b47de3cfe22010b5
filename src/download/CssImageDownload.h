// The lower tab " 取得したｲﾒｰｼﾞ・ﾌｧｲﾙ ": what a style sheet's url(...) references name, where
// each is fetched from and saved to, and their download with the two fallback forms of a URL.
// The list and the download resolve a reference the same way, against the style sheet's URL
// (RFC 3986: "/img/a.gif" from the site's root, "img/a.gif" from the sheet's folder). Each file
// is saved inside the chosen folder where the sheet's reference points once its leading "/",
// "./" and "../" are dropped, as the remove button rewrites the sheet; its folders are made.
// No window here.
#pragma once
#include "download/FetchCache.h"
#include <functional>
#include <string>
#include <vector>

// The root and the folder of the base URL, as the two labels show them.
struct CssImageBase {
    std::string Root;   // up to, not including, the slash after the host
    std::string Folder; // up to, not including, the last "/"
};
CssImageBase CssImageBaseOf(const std::string &Base);

// The absolute URL of a reference (a base with "\" is read with "/").
std::string CssImageUrl(const std::string &Base, const std::string &Ref);
// Its local file inside Folder (absolute, "/" separators); empty when it would leave it.
std::string CssImageLocal(const std::string &Folder, const std::string &Base, const std::string &Ref);

// The list lines "URL", tab, "Local" of every non-empty reference.
std::vector<std::string> CssImageListLines(const std::vector<std::string> &Refs, const std::string &Base,
                                           const std::string &Folder);

// The download: per reference, the URL; on failure the reference without its first "../", then
// without its first "../../", each resolved as the first. Each attempt is a line: the URL
// tried, " <", a tab, its marker ("○>", "■１>", "△>", "▼１>", "△２>", "▼２>"), the local
// path; Line hears each as it is made. One fetch per URL in a call; an error status, a failed
// transfer or an HTML page is a failure. Returns the number of files saved.
int DownloadCssImages(const std::vector<std::string> &Refs, const std::string &Base, const std::string &Folder,
                      const std::function<void(const std::string &)> &Line,
                      const FetchCache::Fetcher &Fetch = HttpFetch);

// The remove button: every "url(/" and then every "url(../" made "url(", letter case ignored.
std::string RemoveCssUrlRoots(const std::string &Text);
