// The user's favourites folder read into a tree: folders become submenus, internet shortcut
// files become items. The walk is bounded (depth, file size, regular files only) so a
// strange folder can neither hang nor crash the start.
#pragma once
#include <optional>
#include <string>
#include <vector>

struct FavoriteNode {
    std::string caption;  // what the menu shows (UTF-8)
    std::string url;      // UTF-8; empty for a folder
    bool folder = false;
    std::vector<FavoriteNode> children;
};

inline constexpr size_t kMaxShortcutBytes = 64 * 1024;
inline constexpr int kMaxFavoritesDepth = 32;

// "~/Favorites" (the home folder from HOME).
std::string FavoritesFolder();

// The entries of Folder, folders and files together, ordered by name with letter case
// ignored. Folders whose name begins with "." are left out, symbolic links to folders are
// not entered; a file that is not a readable shortcut with a URL gives no item. A missing
// folder gives nothing.
std::vector<FavoriteNode> ScanFavorites(const std::string &Folder);

// The caption of a shortcut file: the name without its last four characters when they
// begin with "." (the usual ".url"), otherwise the whole name.
std::string FavoriteCaption(const std::string &FileName);

// The URL= value of the [InternetShortcut] section of a shortcut file's bytes, as UTF-8
// (bytes that are not valid UTF-8 are read as Shift_JIS); nothing when there is none.
std::optional<std::string> ReadInternetShortcutUrl(const std::string &Bytes);
