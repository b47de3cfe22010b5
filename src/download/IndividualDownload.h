// One file fetched by its URL into a folder tree derived from the URL: a text (page, style
// sheet, script) converted to Shift_JIS with its url(...) references adjusted, anything else
// byte for byte. One fetch per press: the content check looks at the fetched bytes, and the
// same bytes are saved. No window here; the individual-download tab shows the outcome.
#pragma once
#include "download/FetchCache.h"
#include <string>
#include <vector>

// A text file: the URL (without its scheme) ends in ".html", ".htm", ".css", ".js" or
// ".php", or holds ".css" or ".js".
bool IsIndividualTextFile(const std::string &Url);

// The answer is what the URL asks for: a file, or a page where the URL names a page (a name
// ending in ".html", ".htm", ".php", without an extension, or none). An error status, a failed
// transfer and an HTML page where a file was expected are not.
bool FetchGivesFile(const std::string &Url, const HttpResponse &R);

// Where the URL goes under Folder (absolute, "/" separators): with LocalName given, only its
// file name ("d:\x\y.css" gives Folder + "y.css"); else the URL's path after the host ("," made
// "_", percent-escapes decoded), or only its file name with WebFileOnly. Empty when the path
// would leave the folder or Folder is not absolute.
std::string IndividualLocalPath(const std::string &Url, const std::string &Folder, const std::string &LocalName,
                                bool WebFileOnly);

// The text as RadioGroupIndividual asks: 0 the encoding decided from the bytes, 1 EUC-JP,
// 2 UTF-8, 3 ISO-2022-JP (each to Shift_JIS with its charset declaration renamed), 4 and 5
// the bytes as they came.
std::string ConvertIndividualText(const std::string &Raw, const std::string &ContentType, int Mode,
                                  const std::string &Url);
// The url(...) adjustment of RadioGroupRemoveUrlRootIndividual: 0 "url(/", "url(../" and
// "url(../.." lose their prefix (also with a double quote after "url(", kept); 2 "url(/" made
// "url(../"; 1 nothing.
std::string AdjustIndividualUrlRoots(const std::string &Text, int Mode);

struct IndividualOptions {
    std::string Folder;    // BtnEditDownloadDirectFolder (absolute)
    std::string LocalName; // BtnEditDownloadDirectLocalFilename
    bool WebFileOnly = false;
    int CharMode = 0;  // RadioGroupIndividual
    int UrlAdjust = 0; // RadioGroupRemoveUrlRootIndividual
};

struct IndividualOutcome {
    enum Kind { Saved, NotAFile, NoFolder, Refused, Failed } What = Failed;
    bool Text = false;
    std::string Local;     // the local path (empty when refused)
    std::string FirstText; // the text as first saved (GDirectText)
    std::string Shown;     // the final text (the memo), empty for other files
    std::string Msg;       // "取得できませんでした" when fetching or saving failed
};

// DownLoadAnsSaveFile. The file is written through the save tree of Folder (manifest kept).
IndividualOutcome DownLoadAnsSaveFile(const std::string &Url, const IndividualOptions &Opt,
                                      const FetchCache::Fetcher &Fetch = HttpFetch);

// The text of a URL as the view buttons show it: converted by Mode as above; Ok false when
// nothing came back.
struct FetchedText {
    bool Ok = false;
    std::string Text;
};
FetchedText FetchConvertedText(const std::string &Url, int Mode, const FetchCache::Fetcher &Fetch = HttpFetch);
FetchedText FetchRawText(const std::string &Url, const FetchCache::Fetcher &Fetch = HttpFetch);

// The style sheets a sheet imports (@import values, resolved against the URL's folder).
// Empty text: -1 and nothing listed.
int ListImportedSheets(const std::string &Url, const std::string &CssText, std::vector<std::string> &Urls);
