// Head restructuring, charset declarations and the src/href/url() reference rewriting and
// listing that a page copy for offline use needs.
//
// Texts are Shift_JIS bytes with CRLF line ends. The rewriting routines change markup only:
// the contents of scripts, style sheets, <pre>, <textarea> and comments are left alone
// (see text/HtmlScan.h).
//
// Texts that join several style sheets carry a marker naming the file that a block came
// from: " <[" URL "]>" in the banner line written after each block (read by ListPageRefUrls,
// ListCssRefUrls, and by ListMarkedCssUrls as a fallback), or "[ " URL " ]" on a line before
// the block (read by ListMarkedCssRefUrls and ListMarkedCssUrls).
//
// The list routines append to List; those that say so clear it first.
#pragma once

#include <string>
#include <vector>

// --- marker searches ---------------------------------------------------------------------

// PosEx: position of Sub in S after position From (0 searches the whole text).
int PosExWeb(const std::string& Sub, const std::string& S, int From = 0);
// TextBetween: the text between the first Left and the first Right after it; an empty value
// directly between the two markers is returned as empty, not skipped.
std::string TextBetweenWeb(const std::string& S, const std::string& Left, const std::string& Right);

// --- head and charset ----------------------------------------------------------------------

// Lays out the head one element per line (head tags lower-cased, lines trimmed, blank lines
// dropped, <meta> and <link> closed with " />"), puts comments of the body on lines of their
// own, and returns head lines + CRLF + body + CRLF. A text without "</head>" comes back
// unchanged. Script and style contents keep their lines as they were.
std::string RestructureHead(const std::string& Html);
// Charset declarations of EUC-JP, UTF-8 and ISO-2022-JP become Shift_JIS: "charset=..." in a
// <meta> content value, charset="..." attributes (<meta charset>, <script>, <link>) and the
// encoding of the XML declaration. Nothing else in the text is touched.
std::string RewriteCharsetDeclsToSjis(const std::string& Text);
// For style sheets: every "EUC-JP" and "UTF-8" (any case) becomes "Shift_JIS".
std::string RewriteCharsetNamesToSjis(const std::string& Text);

// --- rebasing references ---------------------------------------------------------------------

// Mode 0: every double-quoted href value that begins with "../../../../", "../../../",
// "../../", "../", "./" or "/" (the first that fits) gets NewPrefix in place of that prefix;
// a protocol-relative "//host/..." is left alone. Other modes: Html unchanged.
std::string RebaseHrefs(const std::string& Html, const std::string& NewPrefix, int Mode);
// Every id="_ loses the "_". Mode 0 also: a double-quoted src value that begins with OldBase
// loses it; a src value (either quote) that begins with "./" or "/" (not "//"), and every
// "url(/" (not "url(//"), gets NewBase in place of that prefix.
std::string RebaseSrcRefs(const std::string& Html, const std::string& OldBase, const std::string& NewBase, int Mode);
// Mode 0: a double-quoted src value that begins with Base loses it, then a leading "../" of
// a double-quoted src value becomes "/". Other modes: Html unchanged.
std::string RebaseSrcParentRefs(const std::string& Html, const std::string& Base, int Mode);

// --- reference lists ---------------------------------------------------------------------------

// Every value between Left and Right in a page text, url(...) unwrapped and quotes removed
// (Mode 1 takes only url(...) values), made absolute against the nearest following " <[URL]>"
// marker or else PageFolder. False (nothing added) when Left does not occur.
bool ListPageRefUrls(const std::string& Text, const std::string& Left, const std::string& Right,
                     const std::string& PageFolder, std::vector<std::string>& List, int Mode);
// The same for a style sheet text (blank runs squeezed, "@import" followed by a blank,
// "/**/" blanked), against the nearest following marker or else BaseUrl (a URL, or the path
// of a local file); each result is cut before an "http://" found from position 16 on.
bool ListCssRefUrls(const std::string& Css, const std::string& Left, const std::string& Right,
                    const std::string& BaseUrl, std::vector<std::string>& List, int Mode);
// Line by line: a "[ URL ]" marker line gives its URL; other lines give every value between
// Left and Right, unquoted, a leading "./" removed, left relative for the caller to resolve.
// False when Left does not occur.
bool ListMarkedCssRefUrls(const std::string& CssText, const std::string& Left, const std::string& Right,
                          std::vector<std::string>& List);
// Clears List, then adds every url(...) target of the text made absolute against the last
// "[ URL ]" marker line before it (or, without one, the nearest following " <[URL]>" marker).
// Absolute targets are kept as they are; targets ending in ".css", data: URLs, fragment-only
// targets and relative targets with no marker to resolve them are skipped. Always True.
bool ListMarkedCssUrls(const std::string& CssText, std::vector<std::string>& List);
// Clears List and adds every url(...) target of the text, quotes removed, empty ones
// skipped. True when something was added.
bool ListCssUrls(const std::string& CssText, std::vector<std::string>& List);
// Clears List and adds the absolute URL of the src of every <frame> and <iframe> (relative
// to BaseUrl; a value ending in "/" gets "index.html"). Sources whose path ends in ".gif",
// ".jpg", ".pdf", ".css" or ".js", and sources that are not http(s) (about:blank,
// javascript:), are skipped. True when a frame or iframe with a src was found.
bool ListFrameSources(const std::string& BaseUrl, const std::string& Html, std::vector<std::string>& List);
// Renames a declared UTF-8 or EUC-JP charset to Shift_JIS (no characters are converted):
// only the values of charset= and encoding= declarations and of @charset change, so the
// same words in the page's text stay as they are.
std::string UTFEUC2ShiftJIS(const std::string& Html);
