// Writing under a save folder: every file a run writes is recorded with its URL in a manifest
// at the root of that folder, kept across runs, so that a later run empties the folder of
// exactly what the program wrote and nothing the user put there.
#pragma once
#include "text/FileUtils.h"
#include <map>
#include <set>
#include <string>
#include <vector>

// The manifest's name at the root of a save folder (hidden, never listed).
inline constexpr const char *kManifestName = ".vornkym-files";

// Why a write failed, in Japanese (Shift_JIS) for the not-obtained lists; "" when it was saved.
std::string SaveFailureText(const SaveResult &R);

class SaveTree {
public:
    // Root: absolute save folder ("/" separators).
    explicit SaveTree(const std::string &Root);

    // Writes Bytes to AbsPath (which the mapper confined to the root): missing folders are
    // created, the old file is replaced only by a complete new one. An empty text writes
    // nothing (EmptyText). A written file goes into the manifest with Url; when the write
    // fails, the folders made for it are removed again.
    SaveResult Write(const std::string &AbsPath, const std::string &Bytes, const std::string &Url);
    bool Exists(const std::string &AbsPath) const;

    // The folders this object created, in order.
    const std::vector<std::string> &CreatedFolders() const { return created_; }
    // Relative path -> URL of every file recorded, this run's and earlier runs'.
    const std::map<std::string, std::string> &Entries() const { return entries_; }
    // Writes the manifest; false when it could not be written.
    bool SaveManifest();
    // Removes exactly what the manifest names: its files (each confined to the root), then the
    // folders it created once they are empty. The user's own files stay. Returns the number of
    // files removed.
    int EmptyRecorded();

    const std::string &root() const { return root_; }

private:
    bool makeFolders(const std::string &folder);
    std::string root_;
    std::map<std::string, std::string> entries_;
    std::vector<std::string> created_;
    std::set<std::string> folders_; // relative, "a/b/", created by a run of the program
    bool dirty_ = false;
};
