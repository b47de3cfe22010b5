// The rules of the lower tab " image/CSS ": fetching one of its files (raw, or by its real
// type with a text converted), reading its list lines, and the two list clicks of the CSS page
// that fill the single-file fields. No window here; the page shows the outcomes.
#pragma once
#include "download/FetchCache.h"
#include <string>

// "ｲﾒｰｼﾞ/CSSのﾀﾞｳﾝﾛｰﾄﾞ": the URL's bytes into Local as they came (folders made, an older file
// replaced only by a complete new one). False when nothing usable came back (an error status,
// a failed transfer, an HTML page where a file was expected) or it could not be written.
bool DownloadRawFile(const std::string &Url, const std::string &Local, const FetchCache::Fetcher &Fetch = HttpFetch);

// "ﾌｧｲﾙへﾀﾞｳﾝﾛｰﾄﾞ": one fetch whose bytes are first checked (no sample file anywhere), saved
// in Folder under the URL's own file name (letter case kept, made legal, never outside the
// folder): a page, style sheet or script converted to Shift_JIS, anything else byte for byte.
struct CheckedDownload {
    enum Kind {
        Saved,    // written
        NotAFile, // the check failed: nothing usable came back
        Empty,    // a text file whose text is empty
        Failed,   // it could not be written
        Refused,  // no name inside the folder
    } What = NotAFile;
    bool Text = false;
    std::string Local;
};
CheckedDownload DownloadCheckedFile(const std::string &Url, const std::string &Folder,
                                    const FetchCache::Fetcher &Fetch = HttpFetch);

// The local file of a line of ListBoxAbsExistFile. The list keeps a name, blanks and its folder
// (an absolute path, so its first "/" starts the folder and a name with blanks stays whole), or
// a name, a tab and its path; a line without either is split at its first blank.
std::string AbsExistLinePath(const std::string &Line);

// A click on a line of ListBoxObtainedCSS, before the window applies it.
struct ObtainedCssPick {
    bool Empty = false;     // nothing before the first tab: the two labels emptied
    bool HasLocal = false;  // a blank in it: LocalFile into the local box and label
    std::string LocalFile;  //   (the text from the second character after the blank)
    std::string ClipName;   //   and its file name to the clipboard
    std::string SearchWord; // EditImageSearch: the web-file box's text after its last "/"
    bool HasUrl = false;    // a "/" in it: WebLabel and Url go to the label and URL boxes
    std::string WebLabel;
    std::string Url;
};
ObtainedCssPick PickObtainedCssLine(const std::string &Line, const std::string &WebFileBox,
                                    const std::string &BaseWebDir);

// ListBoxCSSDownloadedFileClick: the URL of a download line (the text before its tab), and the
// folder box's new text: the folder + the URL's relative folder, inside the folder (empty when
// it would leave it).
std::string DownloadLineUrl(const std::string &Line);
std::string UrlFolderInside(const std::string &Folder, const std::string &Url);
