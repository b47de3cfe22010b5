// Listing the files of a folder tree by extension, and the folder-wide replacement in style
// sheets that keeps each sheet's first text in a backup beside it ("ZZ" + name, ".bss"), so
// that every run starts again from that text and runs never pile up.
//
// Folders are Shift_JIS paths with "/" separators (a trailing "/" optional). Nothing here
// reads or writes outside the folder it is given: the listing does not follow symbolic links,
// and every write is checked against the folder.
#pragma once
#include <string>
#include <vector>

// Every file matching Folder + Mask + "." + Ext ("htm" in Ext widened to "htm*", so "html"
// also finds ".htm"; letter case ignored). Recursive: the folder and its sub-folders, into
// both AllList and FileList; else the folder itself only, into FileList, AllList emptied.
// Result: the number of files, or -1 for an empty Folder (then neither list is touched).
int MakeHTMLFileList(const std::string &Mask, const std::string &Folder, bool Recursive,
                     std::vector<std::string> &AllList, std::vector<std::string> &FileList, const std::string &Ext);

// The backup of a style sheet: in its folder, "ZZ" + its name with the extension ".bss".
std::string CssBackupPath(const std::string &SheetPath);

// What a replacement run did; every file it meant to write is either written or failed.
struct CssReplaceReport {
    std::vector<std::string> Written;  // style sheets written
    std::vector<std::string> Backups;  // backups made by this run
    std::vector<std::string> Failed;   // files that could not be read or written, with why
    bool ok() const { return Failed.empty(); }
};

// The first pass: for each style sheet of the tree (FileList as MakeHTMLFileList fills it,
// AllList too), its backup is made once from its text, and the sheet is written again from
// the backup's text with every Search replaced by Replacement, letter case ignored. A
// backup of another step ("ZZ" + the name of a sheet beside it) is left alone. -1 for an
// empty folder, else 0.
int CSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                  const std::string &Search, const std::string &Replacement, bool Recursive,
                  std::vector<std::string> &AllList, std::vector<std::string> &FileList, CssReplaceReport &Report);

// The second pass: every backup ("ZZ" + name + ".bss") writes its sheet again from its own
// text, so a sheet deleted since the first run comes back. Files with that extension that
// are not named as backups are not touched. -1 for an empty folder, else 0.
int ZZCSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                    const std::string &Search, const std::string &Replacement, bool Recursive,
                    std::vector<std::string> &AllList, std::vector<std::string> &FileList, CssReplaceReport &Report);
