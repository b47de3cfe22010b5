// Text files, folders and the operating-system version. Path arguments are Shift_JIS texts
// with "/" as separator; every system call receives them as UTF-8, and names read from disk
// come back as Shift_JIS.
#pragma once
#include "text/StringList.h"

#include <string>
#include <vector>

// --- path text at the system boundary --------------------------------------------------

// A Shift_JIS path as the system wants it (UTF-8).
std::string ToSystemPath(const std::string &SjisPath);
// A UTF-8 name from the system as Shift_JIS text.
std::string FromSystemName(const std::string &Utf8Name);

// Creates a new empty file in the folder of SysTarget (a UTF-8 path) under a unique hidden
// name, so that a finished write can replace the target with one rename; it takes the
// permissions of an existing target. Returns the open
// descriptor and sets SysTempPath, or returns -1.
int OpenTempFileBeside(const std::string &SysTarget, std::string &SysTempPath);

// Writes all n bytes to an open descriptor, again after an interrupted write; false on an error.
bool WriteAllToFd(int fd, const char *data, size_t n);
// True when the system path (UTF-8) names a folder.
bool IsSystemDirectory(const std::string &SysPath);
// True when a path has a ".." segment (or a NUL byte): such a path could leave the folder
// it is meant to stay in, so nothing here writes through one.
bool HasUnsafeSegment(const std::string &Path);

// --- the folders that the save routine prepared ---------------------------------------

// Process-wide, in insertion order, duplicates kept; the main window clears it with its
// other shared lists.
StringList &GCreatedDirList();

// The folder part of a "/" path with its trailing "/" ("" when none), and the name after it.
std::string folderPart(const std::string &p);
std::string filePart(const std::string &p);

// --- text files ------------------------------------------------------------------------

// The whole file with every line end (CR LF, lone CR, lone LF) made CR LF. Empty when the
// name is empty or no such file exists; when the file exists but cannot be read the text is
// empty and *Ok (when given) is set false.
std::string LoadTextFile(const std::string &FileName, bool *Ok = nullptr);

enum class SaveStatus {
    Saved,
    EmptyText,     // nothing to write
    EmptyName,     // no file name (blank, or the path ends in "/")
    UrlName,       // the name looks like a URL
    UnsafePath,    // a ".." segment, before or after decoding, or a NUL byte
    WebFileFolder, // a folder name ends like a web file (".htm", ".css", ...)
    FolderFailed,  // the folder could not be created
    TooLong,       // beyond the system's limits for a path or a name
    WriteFailed,   // the file could not be written; an old file there is left as it was
};

struct SaveResult {
    SaveStatus Status = SaveStatus::WriteFailed;
    std::string Path; // the path written to (or that would have been), Shift_JIS
    bool ok() const { return Status == SaveStatus::Saved; }
};

// Writes Text byte for byte. "?" becomes "_" and "|" becomes "~" in the name; the folder is
// prepared (long percent-encoded folders decoded, "*", "&", "+" mapped, an over-long last
// folder name shortened), created with its parents and recorded in GCreatedDirList, and the
// file is written into that prepared folder. The old file is replaced only by a complete new
// one.
SaveResult SaveTextFile(const std::string &Text, const std::string &FileName);

// --- names and folders -----------------------------------------------------------------

// Replaces the extension of the file part (or appends one); Ext loses blanks at both ends and
// leading dots. An empty Ext leaves the trailing ".".
std::string ChangeFileExtension(const std::string &FileName, const std::string &Ext);

// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateFolderTree(const std::string &Path);

// Full paths of the regular files that match the mask (the file part of PathMask, "*" and "?"
// wildcards, letter case ignored, "*.*" also matching names without a dot) in the folder and,
// depth first, its sub-folders; each folder's files sorted by name, then its sub-folders in
// name order. Symbolic links are neither listed nor followed; names that Shift_JIS cannot
// hold are skipped. Hidden (dot) names are listed when Attr holds the hidden bit 2.
std::vector<std::string> GetFileList(const std::string &PathMask, int Attr = 63);

// Empties the folder Path: every file and sub-folder inside it is removed, read-only folders
// made writable first; Path itself stays. Refused (false, nothing touched) unless Path is
// Root or lies below it, both are absolute paths without "." or ".." segments, and neither is
// "/", the home folder or one of its parents, a path of fewer than two levels or a system
// folder. Symbolic links are removed as links, never followed, and other file systems
// mounted inside are not entered. False also when something could not be removed.
bool DeleteFolderTree(const std::string &Path, const std::string &Root);

// --- operating-system version ----------------------------------------------------------

struct OSVersionInfo {
    int PlatformId = 0;
    int MajorVersion = 0;
    int MinorVersion = 0;
    std::string Release; // the kernel's release text
};

// The version numbers of a kernel release text ("6.1.0-18-amd64" gives 6 and 1); numbers
// that are missing or do not begin with a digit are 0. The platform id is always 2.
OSVersionInfo ParseKernelRelease(const std::string &Release);
// Filled from uname on the first call and kept for the run.
const OSVersionInfo &GetOSVersionInfo();
int GetOSPlatformId();
int GetOSMajorVersion();
int GetOSMinorVersion();
// Every system this program runs on offers what the callers expect of XP and later.
bool IsWinXPOrLater();

// Creates the folder Path with its missing parents. "?" becomes "_", "|" "~", "*" ";" and
// "+" "_"; a path that names a file (".php", ".htm", ".css", ".js", ".gif", ".jpg", ".png",
// ".jpeg" anywhere, letter case ignored) is refused. The result is the status text
// "Folder Exist!! ", "Folder Create OK!! " or "Folder Create Exception!! " followed by Id,
// or "InvaliFoldename!!    id=" + Id for a refused path. Never throws. Reserved is not read.
std::string CreateFolder(const std::string &Path, const std::string &Reserved, int Id);
void CreateFolder(const std::string &Path, const std::string &Reserved, int Id, std::string &Msg);
