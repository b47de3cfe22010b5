// The CSS page tools: the repair of root-relative url() references in saved style sheets and
// scripts, and the reading of a local folder's style sheets into one list of lines.
//
// Paths are Shift_JIS with "/" separators. Nothing here writes outside the folder it is given.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Writes Bytes as the file at exactly this path (Shift_JIS) in an existing folder: a user's
// choice or a file being rewritten is never moved or renamed, and an old file is replaced
// only by a complete new one. False when it could not be written.
bool WriteWholeFile(const std::string &Path, const std::string &Bytes);

// A style sheet's or script's text, for a file Depth folders below the save folder: charset
// declarations made Shift_JIS, then every url() (and @import string) reference that is
// root-relative ("/x", not "//host") becomes the relative path from the file's folder to
// the save folder's "x", and one that climbs above the save folder ("../../x" at depth 1)
// climbs to the save folder only. A rewritten url() loses its quotes, single or double
// alike, unless the path needs them. Other text (comments, strings, scripts) is untouched.
std::string RemoveFirstSlashText(const std::string &Text, int Depth);

// Rewrites every existing file of Files in place with RemoveFirstSlashText, its depth taken
// from its path below Root (the save folder). Files outside Root and missing files are
// skipped; each file written is added to Rewritten. -1 when Files is empty, else 0.
int TopImageCSSRemoveFirstSlash(const std::vector<std::string> &Files, const std::string &Root,
                                std::vector<std::string> &Rewritten);

// What the local-folder reading found.
struct LocalCssRead {
    std::vector<std::string> AllList, FileList; // as MakeHTMLFileList fills them
    std::vector<std::string> LocalFileList;     // the files read, in order
    std::vector<std::string> WorkList;          // their lines, one after another
};
// Lists Folder's files under Mask ("*" when blank) and Ext, then reads each file of the
// list; Progress gets " [ i / n ] " before each file and "" at the end. Nothing happens for
// an empty Folder (result -1); else the number of files read.
int GetHTMLFileList(const std::string &Mask, const std::string &Folder, const std::string &Ext, bool Recursive,
                    LocalCssRead &Out, const std::function<void(const std::string &)> &Progress = {});

// The url() targets of the lines, comments removed, quotes removed, empty ones skipped.
std::vector<std::string> CssInnerImages(const std::vector<std::string> &Lines);
