#include "download/SaveTree.h"
#include "text/PathGuard.h"
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
        if (IsPathBelowRoot(root_, rel)) entries_[rel] = line.substr(tab + 1);
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
    if (!makeFolders(folder)) {
        r.Status = SaveStatus::FolderFailed;
        return r;
    }
    const std::string sys = ToSystemPath(AbsPath);
    if (IsSystemDirectory(sys)) {
        r.Status = SaveStatus::WriteFailed;
        return r;
    }
    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) {
        r.Status = errno == ENAMETOOLONG ? SaveStatus::TooLong : SaveStatus::WriteFailed;
        return r;
    }
    const bool ok = WriteAllToFd(fd, Bytes.data(), Bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || ::rename(tmp.c_str(), sys.c_str()) != 0) {
        ::unlink(tmp.c_str());
        r.Status = SaveStatus::WriteFailed;
        return r;
    }
    r.Status = SaveStatus::Saved;
    entries_[AbsPath.substr(root_.size() + 1)] = Url;
    dirty_ = true;
    return r;
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
