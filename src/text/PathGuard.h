// The one check that every local path made from a URL stays inside the save folder.
//
// Pages choose the names we write: a reference such as "../../x", "%2e%2e/x", "..\x" or an
// absolute "/etc/x" must never reach the file system as a place outside the folder the user
// picked. Every routine that writes a file under a name derived from a URL (page download,
// style sheets, images, single-file downloads) passes the path through ConfinePathToRoot
// first and skips the write when the answer is empty.
//
// The check is lexical (no file system access, symbolic links are not followed):
// - Root must be an absolute path ("/..."); a trailing "/" is ignored.
// - Path is either absolute (it must then lie below Root) or relative (taken below Root).
// - "." segments and empty segments are dropped; ".." removes the folder before it. A ".."
//   that would climb above Root refuses the whole path.
// - For the check, "\" also counts as a separator (so "..\" cannot escape when some later
//   step turns "\" into "/"), and the path is checked once more with "%2e", "%2f", "%5c"
//   and "%25" decoded (repeatedly, so double encoding does not hide a "..").
// - A path holding a NUL byte, an empty path and a path that names Root itself are refused.
//
// The result keeps the bytes of the names as they were (Shift_JIS or not); only "/" is a
// separator in it.
#pragma once

#include <string>

// The normalised absolute path of Path below Root, or an empty text when Path is refused.
std::string ConfinePathToRoot(const std::string& Root, const std::string& Path);

// True when ConfinePathToRoot accepts Path.
bool IsPathBelowRoot(const std::string& Root, const std::string& Path);

// A folder typed by the user as one absolute path: "\" read as "/", empty and "." segments
// dropped, ".." resolved (never above "/"), no trailing "/" (the root stays "/"). Empty when
// the text is not absolute. Every routine that takes a save folder reads it through this
// once, so that the paths it derives from it agree character for character.
std::string NormalizeFolderPath(const std::string& Folder);
