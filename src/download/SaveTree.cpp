#include "download/SaveTree.h"
#include "text/JCode.h"
#include "text/PathGuard.h"
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

SaveTree::SaveTree(const std::string &Root) : root_(Root)
{
    for (char &c : root_)
        if (c == '\\') c = '/';
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    const std::string text = LoadTextFile(root_ + "/" + kManifestName);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t e = text.find("\r\n", at);
        if (e == std::string::npos) e = text.size();
        const std::string line = text.substr(at, e - at);
        at = e + 2;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) continue;
        const std::string rel = line.substr(0, tab);
        if (!IsPathBelowRoot(root_, rel)) continue;
        if (rel.back() == '/')
            folders_.insert(rel);
        else
            entries_[rel] = line.substr(tab + 1);
    }
}

bool SaveTree::makeFolders(const std::string &folder)
{
    // Each missing level is created here so that the manifest's folder list is exact.
    std::string cur = root_;
    if (!IsSystemDirectory(ToSystemPath(cur)) && !CreateFolderTree(cur)) return false;
    std::string rest = folder.substr(root_.size());
    std::size_t at = 0;
    while (at < rest.size()) {
        std::size_t e = rest.find('/', at + 1);
        if (e == std::string::npos) e = rest.size();
        const std::string seg = rest.substr(at, e - at);
        at = e;
        if (seg == "/" || seg.empty()) continue;
        cur += seg.front() == '/' ? seg : "/" + seg;
        const std::string sys = ToSystemPath(cur);
        if (IsSystemDirectory(sys)) continue;
        if (::mkdir(sys.c_str(), 0777) != 0 && !IsSystemDirectory(sys)) return false;
        created_.push_back(cur + "/");
        folders_.insert(cur.substr(root_.size() + 1) + "/");
        dirty_ = true;
    }
    return true;
}

SaveResult SaveTree::Write(const std::string &AbsPath, const std::string &Bytes, const std::string &Url)
{
    SaveResult r;
    r.Path = AbsPath;
    if (Bytes.empty()) {
        r.Status = SaveStatus::EmptyText;
        return r;
    }
    const std::string confined = ConfinePathToRoot(root_, AbsPath);
    if (confined.empty() || confined != AbsPath) {
        r.Status = SaveStatus::UnsafePath;
        return r;
    }
    const std::size_t slash = AbsPath.rfind('/');
    const std::string folder = AbsPath.substr(0, slash);
    const std::size_t madeBefore = created_.size();
    // Folders made for a file that could not be written go again (innermost first, and only
    // while empty), so that a failure leaves nothing behind.
    auto undoFolders = [&] {
        while (created_.size() > madeBefore) {
            const std::string made = created_.back();
            created_.pop_back();
            std::string dir = made;
            while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
            ::rmdir(ToSystemPath(dir).c_str());
            if (!IsSystemDirectory(ToSystemPath(dir))) folders_.erase(made.substr(root_.size() + 1));
        }
    };
    if (!makeFolders(folder)) {
        r.Status = errno == ENAMETOOLONG ? SaveStatus::TooLong : SaveStatus::FolderFailed;
        undoFolders();
        return r;
    }
    const std::string sys = ToSystemPath(AbsPath);
    if (IsSystemDirectory(sys)) {
        r.Status = SaveStatus::WriteFailed;
        undoFolders();
        return r;
    }
    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) {
        r.Status = errno == ENAMETOOLONG ? SaveStatus::TooLong : SaveStatus::WriteFailed;
        undoFolders();
        return r;
    }
    const bool ok = WriteAllToFd(fd, Bytes.data(), Bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || ::rename(tmp.c_str(), sys.c_str()) != 0) {
        ::unlink(tmp.c_str());
        r.Status = SaveStatus::WriteFailed;
        undoFolders();
        return r;
    }
    r.Status = SaveStatus::Saved;
    entries_[AbsPath.substr(root_.size() + 1)] = Url;
    dirty_ = true;
    return r;
}

std::string SaveFailureText(const SaveResult &R)
{
    switch (R.Status) {
    case SaveStatus::Saved: return {};
    case SaveStatus::EmptyText: return Utf8ToAnsi("空のﾌｧｲﾙ");
    case SaveStatus::TooLong: return Utf8ToAnsi("ﾊﾟｽが長すぎて書き込めません");
    case SaveStatus::FolderFailed: return Utf8ToAnsi("ﾌｫﾙﾀﾞｰを作成できません");
    case SaveStatus::UnsafePath: return Utf8ToAnsi("保存ﾌｫﾙﾀﾞｰの外には書き込みません");
    default: return Utf8ToAnsi("ﾌｧｲﾙを書き込めません");
    }
}

bool SaveTree::Exists(const std::string &AbsPath) const
{
    struct stat st;
    return ::stat(ToSystemPath(AbsPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SaveTree::SaveManifest()
{
    if (!dirty_) return true;
    std::string text;
    for (const auto &[rel, url] : entries_) text += rel + "\t" + url + "\r\n";
    for (const std::string &f : folders_) text += f + "\t-\r\n";
    const std::string sys = ToSystemPath(root_ + "/" + kManifestName);
    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) return false;
    const bool ok = WriteAllToFd(fd, text.data(), text.size());
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || ::rename(tmp.c_str(), sys.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    dirty_ = false;
    return true;
}

int SaveTree::EmptyRecorded()
{
    int removed = 0;
    for (const auto &[rel, url] : entries_) {
        const std::string abs = ConfinePathToRoot(root_, root_ + "/" + rel);
        if (abs.empty() || !Exists(abs)) continue;
        if (::unlink(ToSystemPath(abs).c_str()) == 0) ++removed;
    }
    entries_.clear();
    // Deepest first, and only when empty: a folder that holds the user's files stays.
    std::vector<std::string> folders(folders_.begin(), folders_.end());
    std::sort(folders.begin(), folders.end(),
              [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    std::set<std::string> kept;
    for (const std::string &f : folders) {
        const std::string abs = ConfinePathToRoot(root_, root_ + "/" + f);
        if (abs.empty()) continue;
        std::string sys = ToSystemPath(abs);
        while (sys.size() > 1 && sys.back() == '/') sys.pop_back();
        if (::rmdir(sys.c_str()) != 0 && IsSystemDirectory(sys)) kept.insert(f);
    }
    folders_ = kept;
    dirty_ = true;
    SaveManifest();
    return removed;
}
