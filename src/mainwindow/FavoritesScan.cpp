#include "mainwindow/FavoritesScan.h"
#include "platform/IniFile.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool validUtf8(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int n = 0;
        if (c < 0x80) n = 0;
        else if (c >= 0xC2 && c <= 0xDF) n = 1;
        else if (c >= 0xE0 && c <= 0xEF) n = 2;
        else if (c >= 0xF0 && c <= 0xF4) n = 3;
        else return false;
        for (int k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

std::string asciiLower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The whole file when it is a regular file of at most the limit; nothing otherwise. Opened
// without blocking, and checked again once open, so a FIFO swapped in cannot stall us.
std::optional<std::string> readSmallRegularFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> out;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= kMaxShortcutBytes) {
        std::string bytes;
        char buf[8192];
        ssize_t n;
        bool ok = true;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) {
            bytes.append(buf, static_cast<size_t>(n));
            if (bytes.size() > kMaxShortcutBytes) {
                ok = false;
                break;
            }
        }
        if (ok && n == 0) out = std::move(bytes);
    }
    ::close(fd);
    return out;
}

struct DirEntry {
    std::string name;
    std::string key;
};

std::vector<DirEntry> listFolder(const std::string &folder)
{
    std::vector<DirEntry> out;
    DIR *d = ::opendir(folder.c_str());
    if (!d) return out;
    while (dirent *e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        out.push_back({n, asciiLower(n)});
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DirEntry &a, const DirEntry &b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;
    });
    return out;
}

void scanInto(const std::string &folder, int depth, std::vector<FavoriteNode> &out)
{
    if (depth > kMaxFavoritesDepth) return;
    for (const DirEntry &e : listFolder(folder)) {
        const std::string path = folder + "/" + e.name;
        struct stat lst {};
        if (::lstat(path.c_str(), &lst) != 0) continue;
        if (S_ISDIR(lst.st_mode)) {
            if (e.name[0] == '.') continue;
            FavoriteNode node;
            node.folder = true;
            node.caption = e.name;
            scanInto(path, depth + 1, node.children);
            out.push_back(std::move(node));
            continue;
        }
        // A link is followed to a file only: a link to a folder could loop back to a parent.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const auto bytes = readSmallRegularFile(path);
        if (!bytes) continue;
        auto url = ReadInternetShortcutUrl(*bytes);
        if (!url) continue;
        FavoriteNode node;
        node.caption = FavoriteCaption(e.name);
        node.url = std::move(*url);
        out.push_back(std::move(node));
    }
}
} // namespace

std::string FavoritesFolder()
{
    const char *home = std::getenv("HOME");
    if (!home || !*home) return {};
    std::string h = home;
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    return h + "/Favorites";
}

std::vector<FavoriteNode> ScanFavorites(const std::string &Folder)
{
    std::vector<FavoriteNode> out;
    if (Folder.empty()) return out;
    std::string f = Folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    scanInto(f, 0, out);
    return out;
}

std::string FavoriteCaption(const std::string &FileName)
{
    // Four characters back, a UTF-8 sequence counting as one character.
    size_t pos = FileName.size();
    int chars = 0;
    while (chars < 4 && pos > 0) {
        --pos;
        while (pos > 0 && (static_cast<unsigned char>(FileName[pos]) & 0xC0) == 0x80) --pos;
        ++chars;
    }
    // A name that is only an extension keeps it, so no item is left without a caption.
    if (chars == 4 && pos > 0 && FileName[pos] == '.') return FileName.substr(0, pos);
    return FileName;
}

std::optional<std::string> ReadInternetShortcutUrl(const std::string &Bytes)
{
    std::string b = Bytes;
    if (b.rfind("\xEF\xBB\xBF", 0) == 0) b.erase(0, 3);
    const IniDocument ini(b);
    if (!ini.hasKey("InternetShortcut", "URL")) return std::nullopt;
    const std::string url = Trim(ini.value("InternetShortcut", "URL", ""));
    if (url.empty()) return std::nullopt;
    if (validUtf8(url)) return url;
    return SjisToUtf8(url);
}
