// Text routines of the WebGUI page that need no window: saving with a backup, the colour list
// of a style sheet, the script line-breaker, and the line search of the result lists.
// Texts are Shift_JIS with CRLF line ends, as everywhere.
#pragma once

#include "text/FileUtils.h"

#include <string>
#include <vector>

// --- saving with a backup -----------------------------------------------------------------

// Writes Text to exactly FileName, a file the user named: its folder must exist and is never
// renamed or created. The old file is replaced only by a complete new one.
SaveResult SaveChosenFile(const std::string& FileName, const std::string& Text);

// The backup name of a page: its folder, "YY_" and its name.
std::string BackupFileName(const std::string& FileName);

struct BackupSaveResult {
    SaveResult Save;           // the save itself; Save.ok() when the text was written
    bool BackupFailed = false; // the old file could not be copied: nothing was written
    std::string BackupPath;    // the backup written ("" when there was no old file)
};

// Saves Text over FileName: an existing file is first copied to its "YY_" name (an older
// backup replaced); when that copy fails nothing is written. An empty text writes nothing and
// leaves the file as it is. A failed write leaves the old file.
BackupSaveResult SaveWithBackup(const std::string& FileName, const std::string& Text);

// What a save came to, in Japanese (Shift_JIS), for the status bar or a message box.
std::string SaveStatusText(const BackupSaveResult& R);

// --- style-sheet colours ------------------------------------------------------------------

struct CssColorRows {
    std::vector<std::string> Colors; // "#value" padded to 12, a blank, the selector
    std::vector<std::string> Values; // the colour number of each row, in decimal
};

// Lists the hexadecimal colour values of a CSS text with the selector of their rule. With
// DropDuplicates the rows are the padded values alone, sorted, without case duplicates.
CssColorRows ExtractCssColors(const std::string& Css, bool DropDuplicates);

// A clicked colour row: the value before its first blank, and the selectors after it with
// "," made blanks. False for a row without a blank.
bool ParseColorRow(const std::string& Row, std::string& Name, std::string& Rest);

// Text colour for a row painted in its own colour: black on light colours, white on dark.
// Colours are 0xRRGGBB; rows that do not begin with "#" are black on white.
struct RowColors {
    unsigned Text = 0x000000;
    unsigned Back = 0xFFFFFF;
};
RowColors ColorRowColors(const std::string& Row);

// --- scripts ------------------------------------------------------------------------------

// Puts line breaks into a script after statements, before braces and around function heads;
// strings, template literals, comments and regular expressions are left as they are.
std::string FixJS(const std::string& Text);

// --- result lists -------------------------------------------------------------------------

// The next item after Position (-1: from the first item) that contains Word (trimmed, blanks
// and full-width blanks too). Position becomes the index found, or -1; the index is returned.
// Each list keeps its own Position. A Position beyond the list finds nothing and stays.
int ListBoxSearch(const std::vector<std::string>& Items, const std::string& Word, int& Position);

// The re-indented page as a text for the clipboard: the final lines when they hold the body
// start tag, else the editor's head (charset declarations made Shift_JIS), the run's body tag
// and the save lines.
std::string IndentResultAsHtml(const std::vector<std::string>& FinalLines, const std::string& HeadSource,
                               const std::string& BodyTag, const std::vector<std::string>& SaveLines);

// --- names, attributes and frames of an opened page -------------------------------------

// The editor tab's short name of a URL: host prefixes and ".html"/".htm" dropped, the part after
// the last "/", its last 9 characters when longer than 8 (a double-byte character counts one).
std::string UrlShortName(const std::string& Url);
// The tab's name of a local file: the name without its extension but with its ".", its last 9
// characters when longer than 8.
std::string LocalFileCaptionName(const std::string& FileName);
// The attributes of the page's html or body start tag (from "<html" / "<body" up to ">"),
// line breaks removed and runs of blanks made one.
std::string HtmlAttributesText(const std::string& PageSource);
std::string BodyAttributesText(const std::string& PageSource);
// The page's head element, from "<head" through "</head>" (to the end when unclosed); "" when
// it has none.
std::string HeadOfPage(const std::string& Page);
// The page's body element, from "<body" through its last "</body>"; the whole text when it has
// no body tag.
std::string BodyOfPage(const std::string& Page);

// -1 for a frameset page, -2 for inline frames not yet disabled, 0 otherwise.
int CheckFramesetText(const std::string& Text);
// Inline frames put inside comments ("<!-- ==<iframe ...></iframe>== -->") so that an editor
// does not load them; only real iframe tags are marked, never script text.
std::string DisableIframes(const std::string& Text);
// The marks taken off again, only in their exact forms.
std::string EnableIframes(const std::string& Text);

// An XHTML page's empty elements that HTML has no empty form for ("<a id="top"/>", "<div/>")
// written with their end tag, so that an editor reading HTML ends them where the page's author
// did instead of around the rest of the page; any other page is returned as it is.
std::string CloseEmptyXhtmlElements(const std::string& Text);

// A frame list item: an HTTP or HTTPS address is fetched; anything else is a local target,
// its first "file://" removed.
struct FrameItemTarget {
    bool Fetch = false;
    std::string Target;
};
FrameItemTarget FrameItemTargetOf(const std::string& Item);
// A fetched frame's text for the pane: every run of three line breaks becomes one.
std::string FrameTextCleanup(const std::string& Text);

// --- saving the edited page ---------------------------------------------------------------

// The page text of an overwrite save: XML declaration, DOCTYPE, html and head start tags
// rebuilt in front, the title written after the first run of meta lines (or before the head's
// end when there is none), inline frames enabled again. The caller writes it with
// SaveWithBackup.
std::string SaveGUILocalPageText(const std::string& Text);
// Drive roots taken out of quoted values ("C:/x" becomes "/x"); "//" and bare "src=/" made
// root-relative; a value beginning with "@" becomes "http://" + Root, when Root is given.
std::string RemoveWinDiskRoot(const std::string& Text, const std::string& Root);
// The drive folders named in a text ("c:" .. "G:" up to the next double quote), and the
// message for them (empty when there is none).
std::string CheckRemoveFolder(const std::string& Text, std::vector<std::string>& Found);
// The text of the marked save: Head (restructured, charset made Shift_JIS) and Body, blank
// lines dropped outside raw content, the opened file's Folder taken out of attribute values
// and url() references, the mark line put before the head start tag.
std::string MarkedSaveText(const std::string& Head, const std::string& Body, const std::string& Folder,
                           const std::string& Root, const std::string& MarkSource);

// --- style sheets and scripts of the page ---------------------------------------------------

// The absolute address of a style-sheet (Script false) or script reference of a page opened
// over HTTP: DocUrl is the page, BaseUrl the editor's base URL, BaseHref the page's base href.
std::string ResolveSheetReference(const std::string& Ref, const std::string& DocUrl, const std::string& BaseUrl,
                                  const std::string& BaseHref, bool Script);
// A fetched sheet or script converted by the sub-tab's charset item: 0 and 3 detected, 1 EUC-JP,
// 2 UTF-8 (a byte-order mark dropped first), 4 ISO-2022-JP, 5 as it is.
std::string ConvertSheetText(const std::string& Text, int Item);
// A server answered with a page instead of a sheet: the text begins (after blanks) with
// "<!doctype" or "<html".
bool IsHtmlPageText(const std::string& Text);
// The banner block a sheet or script is shown in: banner, empty line, its lines, empty line,
// separator, empty line.
std::string SheetFileBlock(const std::string& Name, const std::string& Text);
// The folder of the file named in a "【 file 】" caption ("" when none).
std::string CaptionFolder(const std::string& Caption);
// The reference list after an append: sorted, duplicates dropped, each cut after its first
// ".css"; an item with a blank stays when it names an existing file.
std::vector<std::string> TidySheetList(const std::vector<std::string>& Items);

// --- keyword searches ------------------------------------------------------------------------

// The words of a keyword text: trimmed, a full-width blank counting two blanks, each pair of
// blanks one separator, each blank a comma; then split as comma text (a field in double quotes
// keeps its commas, "" inside it is one quote). Empty words are kept: their place decides the
// colour of the words after them.
std::vector<std::string> EdictScan(const std::string& Keywords);
// A hit line of a result list: the line right-aligned in 4, "/", the column with 2 digits.
std::string FormatHitLine(int Line, int Column);
// Reads a hit line back (text after the column, behind a blank, is allowed); false without "/".
bool ParseHitLine(const std::string& Item, int& Line, int& Column);
