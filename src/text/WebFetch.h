// Web fetch and download over HTTP and HTTPS, opening a URL in the desktop's browser, and
// the small HTML fix-ups of the editing page.
#pragma once
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// --- URLs and the desktop's browser ----------------------------------------------------

// True when S, with bytes below 0x21 trimmed at both ends, begins with "http://" or "https://"
// (letter case significant).
bool IsHttpUrl(const std::string &S);

// Starts a program with an argument list (Argv[0] is the program); true when it was started.
using BrowserLauncher = std::function<bool(const std::vector<std::string> &Argv)>;
// Replaces the launcher that OpenUrlInBrowser uses (an empty one restores the default, which
// runs "xdg-open" without a shell) and returns the previous one.
BrowserLauncher SetBrowserLauncher(BrowserLauncher Launcher);
// Opens a URL or a local file (Shift_JIS text) in the desktop's browser. The text is one
// argument, never parsed by a shell; an empty text or one beginning with "-" (which the
// opener would read as an option) launches nothing. True when something was launched.
bool OpenUrlInBrowser(const std::string &Url);

// --- fetch and download ------------------------------------------------------------------

// Redirects are followed, HTTPS is verified against the system's certificates, the proxy of
// the environment is used; only http and https are spoken. A connection that does not open
// within ConnectMs, or a transfer that receives nothing for StallMs, fails (checked about
// once a second).
struct HttpTimeouts {
    long ConnectMs = 15000;
    long StallMs = 30000;
    // Bound of a whole HttpFetch transfer, so that a server trickling bytes also ends.
    long TotalMs = 300000;
};
void SetHttpTimeouts(const HttpTimeouts &Timeouts);
HttpTimeouts GetHttpTimeouts();

// The whole body, bytes as received (NUL bytes included); empty when the URL cannot be
// fetched or the server answers with a status of 400 or more.
std::string HttpGetText(const std::string &Url);
// What one GET brought back. Ok only when the whole body arrived with a status below 400.
struct HttpResponse {
    bool Ok = false;
    long Status = 0;          // 0 when no answer came
    std::string EffectiveUrl; // after redirects; the requested URL when none came
    std::string ContentType;  // as the server sent it, "" when it sent none
    std::string Body;         // bytes as received, also of an error answer
    std::string Error;        // curl's reason when the transfer failed
};
// One GET under the connect, stall and total time-outs of HttpTimeouts.
HttpResponse HttpFetch(const std::string &Url);
// The same, ended within about 100 ms once *Cancel turns true (then Ok is false and Error
// says "cancelled" or curl's reason); a cancel already set fetches nothing.
HttpResponse HttpFetchUntil(const std::string &Url, const std::atomic<bool> *Cancel);

// The body split at its line ends (CR LF, CR or LF); nothing when the fetch failed.
std::optional<std::vector<std::string>> HttpGetToStrings(const std::string &Url);
// The same lines handed one by one to AddLine (the window layer puts them into a memo);
// false when the fetch failed, and then AddLine is never called.
bool HttpGetToMemo(const std::string &Url, const std::function<void(const std::string &)> &AddLine);

// Downloads the URL byte for byte into FileName, whose folder must exist. The data goes to a
// temporary file beside it and replaces FileName only when the whole body arrived, so a
// failure leaves no file and keeps an older one. False also when Url equals FileName or the
// path has a ".." segment.
bool DownloadUrlToFile(const std::string &Url, const std::string &FileName);

// Downloads the URL to "ww" + the file name, in FileName's folder, and names it by what
// arrived, replacing any file there: a GIF (GIF87a/GIF89a) becomes FileName with ".gif", a
// JPEG (FF D8 FF) ".jpg", a PNG ".png"; other content that is not an HTML page becomes
// FileName itself. True in those cases; false (and no file kept) when Url holds neither
// "http://" nor "https://", the download fails or an HTML page arrived.
bool DownloadAndCheckFile(const std::string &Url, const std::string &FileName);

// --- search pages and the editing page's HTML fix-ups ---------------------------------

// The texts between each Left and the next Right that begin with Prefix and are not the
// engines' own links, in page order; nothing when Left does not occur. An item is a URL,
// optionally followed by "\">" and the link's title: only the URL's host and path are
// tested (without letter case) for "google" and "yahoo", and the URL for "search?q=", so a
// result whose title or query names an engine stays. With IgnoreMarkerCase, Left and Right
// match in any letter case (a page serialised by the browser writes "</a>").
std::optional<std::vector<std::string>> ExtractResultLinks(const std::string &Html, const std::string &Left,
                                                           const std::string &Right, const std::string &Prefix,
                                                           bool IgnoreMarkerCase = false);
// True for a link into one of the search engines themselves (see ExtractResultLinks).
bool IsSearchEngineOwnLink(const std::string &Url);

// Character references (named, decimal, hexadecimal) of a Shift_JIS text decoded; a
// character Shift_JIS lacks becomes "?", a no-break space a blank, and an unknown name or a
// malformed reference stays as it stands.
std::string DecodeCharacterReferences(const std::string &S);

// The editor marks a comment that it keeps inside one line with these texts; they are chosen
// so that no script or style sheet holds them by chance ("--}" alone is valid script).
inline constexpr const char *kCommentOpenPlaceholder = "{!--@vk@";
inline constexpr const char *kCommentClosePlaceholder = "@vk@--}";

// Charset names made "charset=Shift_JIS", upper-case META/SCRIPT/HTML/TITLE tags and
// HTTP-EQUIV/NAME attributes lower-cased, "&amp;nbsp;" made "&nbsp;", and the editor's
// placeholders turned back into tags and comments.
std::string NormalizeHtmlForSjis(const std::string &Html);
// A Japanese warning when the HTML refers to this machine's own files: a drive form "c:/" ..
// "h:/", a "file:" URL, or an absolute path into a folder where users keep files ("/home/",
// "/root/", "/tmp/", "/mnt/", "/media/") as an attribute value or a CSS url(). The message
// names the last kind found; empty when there is none. A site's root-relative link
// ("/img/a.gif") is no local folder.
std::string CheckLocalFolderInTags(const std::string &Html);
// True for a text that names a file of this machine: an absolute path, a "file:" URL or a
// drive form (":" and a backslash).
bool IsLocalPathText(const std::string &S);
// One line of HTML in the XHTML style.
std::string ToXhtml(const std::string &Line);
// Every line end (CR LF, lone CR, lone LF) made CR LF.
std::string NormalizeLineBreaks(const std::string &S);
