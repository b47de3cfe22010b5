#include "text/FileUtils.h"

#include "text/JCode.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <dirent.h>

namespace {


std::vector<std::string> splitSegments(const std::string &p)
{
    std::vector<std::string> out;
    size_t b = 0;
    while (b <= p.size()) {
        size_t e = p.find('/', b);
        if (e == std::string::npos) e = p.size();
        if (e > b) out.push_back(p.substr(b, e - b));
        b = e + 1;
    }
    return out;
}

bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isDirectory(const std::string &sysPath)
{
    struct stat st;
    return ::stat(sysPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// A folder name that still carries a web file's extension means the caller passed a page
// name where a folder belongs. Only the end of a name counts: hosts such as
// "www.html5rocks.com" or "www.jstage.jst.go.jp" are ordinary folders.
bool isWebFileFolderName(const std::string &name)
{
    static const char *const exts[] = {".php", ".htm", ".html", ".css", ".js", ".gif", ".jpg", ".png"};
    for (const char *e : exts)
        if (endsWith(name, e)) return true;
    return false;
}

bool looksLikeUrl(const std::string &name)
{
    if (name.compare(0, 4, "http") == 0) return true;
    for (const char *m : {"%3A%2F%2F", "http:", "https:", "file:\\\\\\", "file:///"})
        if (PosEx(m, name) > 0) return true;
    return false;
}

// Cuts a Shift_JIS text to at most maxBytes without splitting a double-byte character.
std::string cutAtCharBoundary(const std::string &s, size_t maxBytes)
{
    size_t i = 0;
    while (i < s.size()) {
        const size_t n = sjisCharLen(s, i);
        if (i + n > maxBytes) break;
        i += n;
    }
    return s.substr(0, i);
}

// A folder text made safe to create: a long percent-encoded text decoded, the characters
// that cannot stand in a name replaced, and an overlong last segment cut to 31 bytes.
std::string prepareFolderText(std::string folder)
{
    if (folder.find('%') != std::string::npos && folder.size() >= 101)
        folder = Utf8ToAnsi(UrlDecode(folder));
    folder = ReplaceAll(folder, "?", "_");
    folder = ReplaceAll(folder, "|", "~");
    folder = ReplaceAll(folder, "*", ";");
    if (PosEx("&", folder) > 0) {
        folder = ReplaceAll(folder, "&", "_");
        folder = ReplaceAll(folder, "+", "_");
    }
    if (folder.size() >= 11 && folder.back() == '/') {
        const std::string inner = folder.substr(0, folder.size() - 1);
        const std::string parent = folderPart(inner);
        const std::string last = filePart(inner);
        if (last.size() > 32) folder = parent + cutAtCharBoundary(last, 31) + "/";
    }
    return folder;
}

bool tooLongForSystem(const std::string &sysPath)
{
    if (sysPath.size() >= PATH_MAX) return true;
    for (const std::string &seg : splitSegments(sysPath))
        if (seg.size() > NAME_MAX) return true;
    return false;
}

// --- the folder-emptying boundary ---------------------------------------------------------

// "/a//b/" -> "/a/b"; empty when the path is not absolute or holds "." or ".." segments.
std::string canonicalAbsolute(const std::string &sys)
{
    if (sys.empty() || sys[0] != '/') return {};
    std::string out;
    for (const std::string &seg : splitSegments(sys)) {
        if (seg == "." || seg == "..") return {};
        out += "/" + seg;
    }
    return out.empty() ? "/" : out;
}

bool isSameOrBelow(const std::string &path, const std::string &root)
{
    if (root == "/") return true;
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            path[root.size()] == '/');
}

// A canonical absolute path that must never be emptied.
bool isProtectedFolder(const std::string &path)
{
    if (path == "/" || splitSegments(path).size() < 2) return true;
    static const char *const system[] = {"/bin", "/boot", "/dev",  "/etc", "/lib", "/lib32", "/lib64",
                                         "/libx32", "/proc", "/run", "/sbin", "/sys", "/usr"};
    for (const char *s : system)
        if (isSameOrBelow(path, s)) return true;
    if (const char *home = std::getenv("HOME")) {
        std::vector<std::string> homes{home};
        char real[PATH_MAX];
        if (::realpath(home, real)) homes.emplace_back(real);
        for (const std::string &h : homes) {
            const std::string canon = canonicalAbsolute(h);
            if (!canon.empty() && isSameOrBelow(canon, path)) return true; // home or a parent of it
        }
    }
    return false;
}

bool emptyDirAt(int dirFd, dev_t device)
{
    const int scanFd = ::dup(dirFd);
    if (scanFd < 0) return false;
    DIR *dir = ::fdopendir(scanFd);
    if (!dir) {
        ::close(scanFd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
    }
    ::closedir(dir);

    bool ok = true;
    for (const std::string &name : names) {
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != device) { // a mount point: not ours to empty
                ok = false;
                continue;
            }
            if ((st.st_mode & S_IRWXU) != S_IRWXU)
                ::fchmodat(dirFd, name.c_str(), (st.st_mode & 07777) | S_IRWXU, 0);
            const int sub = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                ok = false;
                continue;
            }
            const bool subOk = emptyDirAt(sub, device);
            ::close(sub);
            if (!subOk || ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0) ok = false;
        } else if (::unlinkat(dirFd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    return ok;
}

std::mutex &osVersionMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

// --- path text at the system boundary --------------------------------------------------

std::string ToSystemPath(const std::string &SjisPath)
{
    return SjisToUtf8(SjisPath);
}

std::string FromSystemName(const std::string &Utf8Name)
{
    return Utf8ToAnsi(Utf8Name);
}

int OpenTempFileBeside(const std::string &SysTarget, std::string &SysTempPath)
{
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 rng{std::random_device{}()};
    const std::string dir = folderPart(SysTarget);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = dir + ".vk-tmp-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter.fetch_add(1)) + "-" + std::to_string(rng() % 1000000);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // The replacement keeps the permissions of the file it replaces.
            struct stat st;
            if (::stat(SysTarget.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 07777);
            SysTempPath = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

bool HasUnsafeSegment(const std::string &Path)
{
    if (Path.find('\0') != std::string::npos) return true;
    for (const std::string &seg : splitSegments(Path))
        if (seg == "..") return true;
    return false;
}

bool WriteAllToFd(int fd, const char *data, size_t n) { return writeAll(fd, data, n); }

bool IsSystemDirectory(const std::string &SysPath) { return isDirectory(SysPath); }

StringList &GCreatedDirList()
{
    static StringList list;
    return list;
}

// --- text files ------------------------------------------------------------------------

std::string LoadTextFile(const std::string &FileName, bool *Ok)
{
    if (Ok) *Ok = true;
    if (FileName.empty()) return {};
    const std::string sys = ToSystemPath(FileName);
    const int fd = ::open(sys.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && Ok) *Ok = false;
        return {};
    }
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            if (Ok) *Ok = false;
            return {};
        }
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return NormalizeLineBreaks(data);
}

SaveResult SaveTextFile(const std::string &Text, const std::string &FileName)
{
    SaveResult r;
    r.Path = FileName;
    if (Text.empty()) {
        r.Status = SaveStatus::EmptyText;
        return r;
    }
    if (Trim(FileName).empty()) {
        r.Status = SaveStatus::EmptyName;
        return r;
    }
    if (looksLikeUrl(FileName)) {
        r.Status = SaveStatus::UrlName;
        return r;
    }
    const std::string mapped = ReplaceAll(ReplaceAll(FileName, "?", "_"), "|", "~");
    r.Path = mapped;
    if (HasUnsafeSegment(mapped)) {
        r.Status = SaveStatus::UnsafePath;
        return r;
    }
    const std::string name = filePart(mapped);
    const std::string folder = folderPart(mapped);
    if (name.empty()) {
        r.Status = SaveStatus::EmptyName;
        return r;
    }
    if (Trim(folder).empty()) {
        r.Status = SaveStatus::FolderFailed;
        return r;
    }
    for (const std::string &seg : splitSegments(folder)) {
        if (isWebFileFolderName(seg)) {
            r.Status = SaveStatus::WebFileFolder;
            return r;
        }
    }
    const std::string prepared = prepareFolderText(folder);
    r.Path = prepared + name;
    // Decoding may have produced "%2e%2e" -> ".." or a NUL: never follow such a folder.
    if (HasUnsafeSegment(prepared)) {
        r.Status = SaveStatus::UnsafePath;
        return r;
    }
    GCreatedDirList().add(prepared);
    const std::string sysFolder = ToSystemPath(prepared);
    if (tooLongForSystem(sysFolder)) {
        r.Status = SaveStatus::TooLong;
        return r;
    }
    if (!isDirectory(sysFolder) && !CreateFolderTree(prepared)) {
        r.Status = SaveStatus::FolderFailed;
        return r;
    }
    const std::string sysTarget = ToSystemPath(r.Path);
    if (tooLongForSystem(sysTarget)) {
        r.Status = SaveStatus::TooLong;
        return r;
    }

    std::string tmp;
    const int fd = OpenTempFileBeside(sysTarget, tmp);
    if (fd < 0) {
        r.Status = SaveStatus::WriteFailed;
        return r;
    }
    const bool written = writeAll(fd, Text.data(), Text.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(tmp.c_str(), sysTarget.c_str()) != 0) {
        ::unlink(tmp.c_str());
        r.Status = SaveStatus::WriteFailed;
        return r;
    }
    r.Status = SaveStatus::Saved;
    return r;
}

// --- names and folders -----------------------------------------------------------------

std::string ChangeFileExtension(const std::string &FileName, const std::string &Ext)
{
    std::string ext = Ext.substr(0, Ext.find('\0'));
    ext = TrimChar(ext, ' ');
    ext.erase(0, ext.find_first_not_of('.') == std::string::npos ? ext.size() : ext.find_first_not_of('.'));
    const std::string name = FileName.substr(0, FileName.find('\0'));
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return name.substr(0, dot + 1) + ext;
    return name + "." + ext;
}

bool CreateFolderTree(const std::string &Path)
{
    if (Path.empty()) return false;
    std::string p = Path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p == "/") return true;
    const std::string sys = ToSystemPath(p);
    struct stat st;
    if (::stat(sys.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::string parent = folderPart(p);
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    if (!parent.empty() && parent != p && !CreateFolderTree(parent)) return false;
    if (::mkdir(sys.c_str(), 0777) == 0) return true;
    return errno == EEXIST && isDirectory(sys);
}

namespace {

// Matches one Shift_JIS name against a mask: "*" any run of characters, "?" one character
// (a double-byte character counts as one), ASCII letters regardless of case.
bool maskMatch(const std::string &name, size_t n, const std::string &mask, size_t m)
{
    while (m < mask.size()) {
        if (mask[m] == '*') {
            while (m < mask.size() && mask[m] == '*') ++m;
            if (m == mask.size()) return true;
            for (size_t i = n; i <= name.size(); i += (i < name.size() ? sjisCharLen(name, i) : 1))
                if (maskMatch(name, i, mask, m)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        const size_t nl = sjisCharLen(name, n);
        if (mask[m] == '?') {
            n += nl;
            m += sjisCharLen(mask, m);
            continue;
        }
        const size_t ml = sjisCharLen(mask, m);
        if (nl != ml) return false;
        if (nl == 1) {
            if (asciiLower(name[n]) != asciiLower(mask[m])) return false;
        } else if (name.compare(n, 2, mask, m, 2) != 0) {
            return false;
        }
        n += nl;
        m += ml;
    }
    return n == name.size();
}

bool fileMaskMatches(const std::string &name, const std::string &mask)
{
    if (maskMatch(name, 0, mask, 0)) return true;
    // A name without an extension matches as if it ended in "." ("*.*" lists "README").
    return name.find('.') == std::string::npos && maskMatch(name + ".", 0, mask, 0);
}

void walkFolder(const std::string &folder, const std::string &mask, bool hidden, std::vector<std::string> &out)
{
    const std::string sysFolder = ToSystemPath(folder.empty() ? "./" : folder);
    DIR *dir = ::opendir(sysFolder.c_str());
    if (!dir) return;
    std::vector<std::string> files, dirs;
    while (const dirent *e = ::readdir(dir)) {
        const std::string sysName = e->d_name;
        if (sysName == "." || sysName == "..") continue;
        if (!hidden && sysName[0] == '.') continue;
        const std::string name = FromSystemName(sysName);
        if (ToSystemPath(name) != sysName) continue; // Shift_JIS cannot name it
        struct stat st;
        if (::lstat((sysFolder + sysName).c_str(), &st) != 0) continue;
        if (S_ISREG(st.st_mode) && fileMaskMatches(name, mask))
            files.push_back(name);
        else if (S_ISDIR(st.st_mode))
            dirs.push_back(name);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    std::sort(dirs.begin(), dirs.end());
    for (const std::string &f : files) out.push_back(folder + f);
    for (const std::string &d : dirs) walkFolder(folder + d + "/", mask, hidden, out);
}

} // namespace

std::vector<std::string> GetFileList(const std::string &PathMask, int Attr)
{
    std::vector<std::string> out;
    const std::string mask = filePart(PathMask);
    if (mask.empty()) return out;
    walkFolder(folderPart(PathMask), mask, (Attr & 2) != 0, out);
    return out;
}

bool DeleteFolderTree(const std::string &Path, const std::string &Root)
{
    if (Trim(Path).empty() || Trim(Root).empty()) return false;
    const std::string path = canonicalAbsolute(ToSystemPath(Path));
    const std::string root = canonicalAbsolute(ToSystemPath(Root));
    if (path.empty() || root.empty() || !isSameOrBelow(path, root)) return false;
    if (isProtectedFolder(path) || isProtectedFolder(root)) return false;

    // The chosen folder may itself be reached through a link; where it really lies must pass
    // the same refusals.
    char real[PATH_MAX];
    if (!::realpath(root.c_str(), real)) return false;
    const std::string realRoot = real;
    if (isProtectedFolder(realRoot) ||
        isProtectedFolder(canonicalAbsolute(realRoot + path.substr(root.size()))))
        return false;

    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // Below the chosen folder no link is followed.
    for (const std::string &seg : splitSegments(path.substr(root.size()))) {
        const int next = ::openat(fd, seg.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        if (next < 0) return false;
        fd = next;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        if ((st.st_mode & S_IRWXU) != S_IRWXU) ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
        ok = emptyDirAt(fd, st.st_dev);
    }
    ::close(fd);
    return ok;
}

// --- operating-system version ----------------------------------------------------------

OSVersionInfo ParseKernelRelease(const std::string &Release)
{
    const auto number = [](const std::string &s, size_t at) {
        int n = 0;
        for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) n = std::min(n * 10 + (s[at] - '0'), 99999);
        return n;
    };
    OSVersionInfo info;
    info.Release = Release;
    info.MajorVersion = number(Release, 0);
    const size_t dot = Release.find('.');
    info.MinorVersion = dot == std::string::npos ? 0 : number(Release, dot + 1);
    info.PlatformId = 2; // the NT-class platform id: a multi-user, protected-memory system
    return info;
}

const OSVersionInfo &GetOSVersionInfo()
{
    static OSVersionInfo info;
    static bool filled = false;
    std::lock_guard<std::mutex> lock(osVersionMutex());
    if (!filled) {
        struct utsname u;
        info = ParseKernelRelease(::uname(&u) == 0 ? u.release : "");
        filled = true;
    }
    return info;
}

int GetOSPlatformId()
{
    return GetOSVersionInfo().PlatformId;
}

int GetOSMajorVersion()
{
    return GetOSVersionInfo().MajorVersion;
}

int GetOSMinorVersion()
{
    return GetOSVersionInfo().MinorVersion;
}

bool IsWinXPOrLater()
{
    return true;
}

std::string folderPart(const std::string &p)
{
    const size_t s = p.rfind('/');
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
}

std::string filePart(const std::string &p)
{
    const size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

namespace {
bool folderExists(const std::string &sjis)
{
    struct stat st {};
    return ::stat(ToSystemPath(sjis).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string CreateFolder(const std::string &Path, const std::string &, int Id)
{
    const std::string id = std::to_string(Id);
    std::string path = ReplaceAll(Path, "?", "_");
    path = ReplaceAll(path, "|", "~");
    path = ReplaceAll(path, "*", ";");
    path = ReplaceAll(path, "+", "_");
    const std::string lower = LowerCase(Path);
    // A "*" is mapped above rather than refused: callers hand over names made from URLs.
    for (const char *mark : {".php", ".htm", ".css", ".js", ".gif", ".jpg", ".png", ".jpeg"}) {
        if (lower.find(mark) != std::string::npos) return "InvaliFoldename!!    id=" + id;
    }
    if (path.empty()) return "Folder Create Exception!! " + id;
    if (folderExists(path)) return "Folder Exist!! " + id;
    try {
        if (CreateFolderTree(path)) return "Folder Create OK!! " + id;
    } catch (...) {
    }
    return "Folder Create Exception!! " + id;
}

void CreateFolder(const std::string &Path, const std::string &Reserved, int Id, std::string &Msg)
{
    Msg.clear();
    Msg = CreateFolder(Path, Reserved, Id);
}
