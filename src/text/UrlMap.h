// URLs to local names, and references to absolute URLs.
//
// A downloaded page is stored in a folder tree that mirrors the site: these routines cut a
// URL into root, folder and file name, derive the local names (with marker suffixes that
// keep URLs with a query apart), make local paths legal, and resolve references. None of
// them touches the file system or the network. Local paths use "/" as the separator; a path
// from a URL is relative until the caller puts the save folder in front of it, and must go
// through ConfinePathToRoot (text/PathGuard.h) before anything is written under it.
//
// Texts are Shift_JIS bytes; positions are 1-based, 0 means not found.
#pragma once

#include <string>

// --- host and prefixes -----------------------------------------------------------------

// Position of the "/" that ends the host: the first "/" after "scheme://" (or after the
// "http:" that StripWwwPrefix leaves, or after a leading "//"); 0 when the authority ends
// without one ("http://host", "http://host?x=/y"). A text without a scheme falls back to
// the first "/" at position 11 or later.
int HostEndSlashPos(const std::string& Url);
// Position of the last "/", 0 when none.
int LastSlashPosWeb(const std::string& Url);
// The URL without "http://" / "https://" and a "www" host prefix ("www.", "www1." to
// "www19.", "wwwz.", and for https "www1a." to "www9a.", "www1b." to "www9b."). Only a
// prefix at the start is removed, never a match inside the path or query.
std::string StripUrlPrefix(const std::string& Url);
// The URL without its "//" after the scheme and without a "www." / "wwwN." host prefix:
// "http://www.host/x" becomes "http:host/x".
std::string StripWwwPrefix(const std::string& Url);

// --- URL parts and local names ---------------------------------------------------------

// host/path/file: StripUrlPrefix.
std::string UrlToRelativeLocalPath(const std::string& Url);
// Up to and including the last "/"; the URL itself when it has none.
std::string ExtractUrlFolder(const std::string& Url);
// As ExtractUrlFolder, but empty for a text without "http://" or "https://".
std::string ExtractHttpUrlFolder(const std::string& Url);
// Scheme, host and the "/" after it; the URL unchanged when HostEndSlashPos finds none.
std::string ExtractUrlRoot(const std::string& Url);
std::string ExtractUrlRootB(const std::string& Url);
// The part after the host's "/" (the whole text when none).
std::string UrlPathToLocalPath(const std::string& Url);
// The folder part ("a/b/") of the path after the host; empty without a host "/".
std::string UrlToLocalSubFolder(const std::string& Url);
// The folder part of the path after the host, with "?" mapped to "_" (marker ".gif6") and
// "&amp;" to "&" (marker ".gif7").
std::string UrlFolderToLocalPath(const std::string& Url);
// The local file name of a URL: "?" to "_" with ".gif3" appended, "|" to "~", and when a
// "*" occurs "*" to ";" and "+" to "_"; the part after the last "/".
std::string UrlToLocalFileName(const std::string& Url);
// The file name of an image URL: empty unless http(s); "?" to "_" (".gif1"), "&amp;" to "&"
// (".gif2").
std::string UrlToImageFileName(const std::string& Url);
// The local relative path of a resource URL: the path after the host, "?" to "_", doubled
// "/" made single.
std::string UrlToLocalRelPath(const std::string& Url);
// A reference that holds both "../" and "//" with every "/" made the local separator; as
// that separator is "/" here, the text comes back as it is.
std::string ParentRefUrlToLocalPath(const std::string& Url);

// --- local paths ---------------------------------------------------------------------------

// "?" to "_", "|" to "~", "*" to ";", ":" to "!" (but not in "http://" and "https://"),
// doubled "/" made single, "index.html" appended to a path that ends in "/".
std::string SanitizeLocalPath(const std::string& Path);
// The local path of Ref next to the local file BaseFile (an absolute path): the folder of
// BaseFile + Ref, or + only the file name of Ref when the folder of Ref already ends that
// folder ("css/a.css" next to ".../css/page.html"). Empty when BaseFile is not absolute; Ref
// itself when either is empty.
std::string CombineLocalPath(const std::string& BaseFile, const std::string& Ref);
// Resolves the ".." segments of a path that holds "../", clamped at its root: ".." never
// climbs above the leading "/" (or above the start of a relative path). Other paths come
// back unchanged.
std::string ResolveParentDirs(const std::string& Path);

// --- absolute URLs -------------------------------------------------------------------------

// The absolute URL of a reference found in the page PageUrl, resolved as RFC 3986 says
// (protocol-relative "//host/x", "?q", "#f", "../" clamped at the root). Quotes and blanks
// around the reference are removed. PageUrl empty: Ref; Ref empty: empty.
std::string MakeAbsoluteUrl(const std::string& PageUrl, const std::string& Ref);
// As MakeAbsoluteUrl, but a non-empty BaseHref (a <base href>, itself resolved against
// PageUrl) takes the place of the page URL.
std::string MakeAbsoluteUrlWithBase(const std::string& PageUrl, const std::string& Ref, const std::string& BaseHref);
// The reference lists' resolver: Ref against a URL Base as MakeAbsoluteUrl, or against the
// folder of a local file Base (an absolute path; "/x" counts from that folder). Ref when
// either is empty or Ref is absolute.
std::string MakeAbsoluteRef(const std::string& Base, const std::string& Ref);

// An attribute value as the URL it names, as a browser reads the attribute: "&amp;", "&quot;",
// "&apos;", "&lt;", "&gt;" and numeric character references decoded, a character outside
// ASCII as its UTF-8, percent-encoded (a page converted to Shift_JIS writes the characters
// Shift_JIS lacks as such references). Other text stays as written.
std::string AttrValueToUrl(const std::string& Value);

// --- tabs ------------------------------------------------------------------------------------

// The short caption of a browser tab: the last segment of the URL without host suffixes,
// extensions and dots, at most 9 characters (a double-byte character counts one).
std::string UrlToTabCaption(const std::string& Url);

// --- redirects ---------------------------------------------------------------------------

// A search engine's redirect link unwrapped to its target; any other text unchanged.
std::string RemoveGoogleUrl(const std::string& Url);
