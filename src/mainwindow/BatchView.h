// The batch viewer's logic: the link list's lines, the run-time tabs' captions, the copy of
// a local index page with its inline frames commented out, and the walk that opens a batch
// of links. Texts are Shift_JIS.
#pragma once
#include <functional>
#include <string>
#include <vector>

// The short name of a link for its list line: its local file name without the extension,
// at most eight characters (those before its last one when longer), its first "." removed.
// Lengths count characters, a double-byte character as one.
std::string BatchShortName(const std::string &Url);
// "nnn  shortname TAB url", the number right-aligned in three characters.
std::string BatchLinkLine(int Number, const std::string &Url);
// A run-time tab's caption: Number + 1, then the link's last path segment (host suffixes,
// ".htm(l)" and the extension removed, at most its last nine characters) in brackets.
std::string BatchTabCaption(const std::string &Url, int Number);

// A text names a local page when it names a file of this machine (IsLocalPathText).
bool IsLocalPageRef(const std::string &Text);
// The path of a local page reference (a file URL decoded into its path); "" for others,
// a drive form included.
std::string LocalPagePath(const std::string &Text);

// Whether a local index page's text asks for the copy without inline frames: it holds
// "<iframe" (any letter case) and no earlier comment-out.
bool NeedsInlineFrameCopy(const std::string &Text);
// Comments every inline frame out; Mark ("◎" or "■", Shift_JIS) stands before each one
// whose tag is not written in capitals.
std::string CommentOutInlineFrames(const std::string &Text, const std::string &Mark);
// Writes the commented-out copy of the index page OriginalPath as "dummy.html" in
// DataFolder, with a base element naming the original's folder so its relative links
// resolve as the original's do. The copy's path; "" when it could not be written.
std::string WriteInlineFrameCopy(const std::string &OriginalPath, const std::string &Text, const std::string &Mark,
                                 const std::string &DataFolder);

// What a batch needs of the window: opening one link (Link as it is to be navigated, Index
// its 0-based place in the list), the stop button's state and the local file test.
struct BatchOpener {
    std::function<void(const std::string &Link, int Index)> open;
    std::function<bool()> stopped;
    std::function<bool(const std::string &Path)> fileExists;
};
// Opens links of Lines from the one numbered Start (0 counts as 1), at most Count of them
// (20 when Count is 0 or less): http and https pages, and local pages (".htm", existing);
// documents, mail and script links and a link to a page met before in the batch (letter
// case and the fragment ignored) are passed over. The number of the last opened link (1 when none was opened);
// 0 when Start lies beyond the list, when stopped, or at a blank line.
int BatchHrefOutput(const std::vector<std::string> &Lines, int Start, int Count, const BatchOpener &Opener);
