// Small text and file rules that the repair tabs share: the outcome marks before a local
// path, what counts as a style sheet or script, the converting view of an obtained file with
// its "ZZ" backup, reading and writing whole files, and the list search.
#pragma once
#include <string>
#include <vector>

// A local path as a list line shows it, without the outcome marks ("○", "▲", "▼", "□",
// "■", "●", "◎", "◆", digits and ">" after them) and blanks in front of it.
std::string StripOutcomeMarks(const std::string &Shown);

// The repaired form of a URL or reference: its first Part ("../" or "../../") removed, and a
// full URL inside it taken whole (everything before a "http://" that is not at the start cut).
std::string RepairedUrlForm(const std::string &Url, const std::string &Part);

// A style sheet or script: the lower-cased extension is ".css" or ".js", or either occurs
// anywhere in the path.
bool IsCssOrJsPath(const std::string &Path);
// An image by its lower-cased extension (".gif", ".jpg", ".png", ".jpeg").
bool IsImagePath(const std::string &Path);

bool FileExists(const std::string &Path);
// The whole file byte for byte; Ok false when it could not be read.
std::string ReadFileBytes(const std::string &Path, bool *Ok = nullptr);

// The backup beside a file: its folder + "ZZ" + its name.
std::string ZZBackupPath(const std::string &Path);

struct ConvertedView {
    bool Ok = false;
    std::string Text;  // the file's text after the conversion (Shift_JIS)
    std::string Error; // why not, for the user
};
// Converts an obtained style sheet or script to Shift_JIS where it lies: its bytes are first
// copied to the "ZZ" backup (an existing backup is never replaced), then the converted text
// replaces the file (a complete new file, or the old one stays). The encoding is decided from
// the bytes; only a style sheet's @charset rule is renamed, never words in a script's code.
// A second call on the converted file changes nothing.
ConvertedView ConvertObtainedFileInPlace(const std::string &Path);

// The first item at or after Start (-1 counts as 0) that contains Word (blanks and
// ideographic spaces trimmed; letter case kept); -1 when none, for an empty list or word, or
// a Start beyond the last item.
int DoListBoxSearch(const std::vector<std::string> &Items, const std::string &Word, int Start);
