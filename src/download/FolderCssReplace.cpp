#include "download/FolderCssReplace.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include <sys/stat.h>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string withSlash(std::string F)
{
    if (!F.empty() && F.back() != '/') F += '/';
    return F;
}

bool fileExists(const std::string &Path)
{
    struct stat st;
    return ::lstat(ToSystemPath(Path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A write stays inside the chosen folder, whatever name the tree holds.
bool insideFolder(const std::string &Folder, const std::string &Path)
{
    return !Folder.empty() && Folder[0] == '/' && IsPathBelowRoot(Folder, Path);
}

std::string why(SaveStatus s)
{
    switch (s) {
    case SaveStatus::Saved: return "";
    case SaveStatus::EmptyText: return J("空のﾃｷｽﾄ");
    case SaveStatus::TooLong: return J("ﾊﾟｽが長すぎます");
    case SaveStatus::FolderFailed: return J("ﾌｫﾙﾀﾞｰを作成できません");
    default: return J("書き込めません");
    }
}

void save(const std::string &Folder, const std::string &Text, const std::string &Path, CssReplaceReport &R,
          std::vector<std::string> &Into)
{
    if (!insideFolder(Folder, Path)) {
        R.Failed.push_back(Path + J("  （ ﾌｫﾙﾀﾞｰの外 ）"));
        return;
    }
    // An empty text writes nothing: the file stays as it was, which is not a failure.
    if (Text.empty()) return;
    const SaveResult r = SaveTextFile(Text, Path);
    if (r.ok()) Into.push_back(Path);
    else R.Failed.push_back(Path + J("  （ ") + why(r.Status) + J(" ）"));
}

// "ZZa.css" beside "a.css" is another step's backup of it, not a style sheet of the site.
bool isSideBackup(const std::string &Path)
{
    const std::string name = filePart(Path);
    return name.size() > 2 && name.compare(0, 2, "ZZ") == 0 && fileExists(folderPart(Path) + name.substr(2));
}

} // namespace

int MakeHTMLFileList(const std::string &Mask, const std::string &Folder, bool Recursive,
                     std::vector<std::string> &AllList, std::vector<std::string> &FileList, const std::string &Ext)
{
    if (Folder.empty()) return -1;
    FileList.clear();
    AllList.clear();
    std::string ext = Ext;
    if (ext.find("htm") != std::string::npos) ext = "htm*";
    const std::string folder = withSlash(Folder);
    const std::vector<std::string> found = GetFileList(folder + Mask + "." + ext);
    if (Recursive) {
        AllList = found;
        FileList = found;
    } else {
        for (const std::string &f : found)
            if (folderPart(f) == folder) FileList.push_back(f);
    }
    return static_cast<int>(FileList.size());
}

std::string CssBackupPath(const std::string &SheetPath)
{
    return folderPart(SheetPath) + "ZZ" + ChangeFileExtension(filePart(SheetPath), "bss");
}

int CSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                  const std::string &Search, const std::string &Replacement, bool Recursive,
                  std::vector<std::string> &AllList, std::vector<std::string> &FileList, CssReplaceReport &Report)
{
    if (Folder.empty()) return -1;
    const std::string folder = withSlash(Folder);
    MakeHTMLFileList(Mask, folder, Recursive, AllList, FileList, Ext);
    for (const std::string &F : FileList) {
        if (isSideBackup(F)) continue;
        const std::string B = CssBackupPath(F);
        std::string Text;
        bool ok = true;
        if (fileExists(B)) {
            Text = LoadTextFile(B, &ok);
        } else {
            Text = LoadTextFile(F, &ok);
            if (ok) save(folder, Text, B, Report, Report.Backups);
        }
        if (!ok) {
            Report.Failed.push_back(F + J("  （ 読み込めません ）"));
            continue;
        }
        if (!Search.empty()) Text = ReplaceAllIgnoreCase(Text, Search, Replacement);
        save(folder, Text, F, Report, Report.Written);
    }
    return 0;
}

int ZZCSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                    const std::string &Search, const std::string &Replacement, bool Recursive,
                    std::vector<std::string> &AllList, std::vector<std::string> &FileList, CssReplaceReport &Report)
{
    if (Folder.empty()) return -1;
    const std::string folder = withSlash(Folder);
    MakeHTMLFileList(Mask, folder, Recursive, AllList, FileList, Ext);
    for (const std::string &B : FileList) {
        const std::string name = filePart(B);
        // Only our own backups name a sheet; another ".bss" file would name an unrelated one.
        if (name.size() <= 2 || name.compare(0, 2, "ZZ") != 0) continue;
        const std::string target = folderPart(B) + ChangeFileExtension(name.substr(2), "css");
        bool ok = true;
        std::string Text = LoadTextFile(B, &ok);
        if (!ok) {
            Report.Failed.push_back(B + J("  （ 読み込めません ）"));
            continue;
        }
        if (!Search.empty()) Text = ReplaceAllIgnoreCase(Text, Search, Replacement);
        save(folder, Text, target, Report, Report.Written);
    }
    return 0;
}
