#include "download/RepairText.h"
#include "download/TextDecode.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string lowerExt(const std::string &Path)
{
    const std::string name = filePart(Path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : LowerCase(name.substr(dot));
}

} // namespace

std::string StripOutcomeMarks(const std::string &Shown)
{
    static const std::vector<std::string> marks = [] {
        std::vector<std::string> m;
        for (const char *s : {"○", "▲", "▼", "□", "■", "●", "◎", "◆", "△", "　", "１", "２", "３", "４", "５",
                              "６", "７", "８", "９", "０"})
            m.push_back(J(s));
        return m;
    }();
    std::string s = Shown;
    // Only in front: a blank or mark inside the path belongs to the name.
    for (bool again = true; again && !s.empty();) {
        again = false;
        if (s[0] == ' ' || s[0] == '\t' || s[0] == '>' || (s[0] >= '0' && s[0] <= '9')) {
            s.erase(0, 1);
            again = true;
            continue;
        }
        for (const std::string &m : marks)
            if (s.compare(0, m.size(), m) == 0) {
                s.erase(0, m.size());
                again = true;
                break;
            }
    }
    return TrimRight(s);
}

std::string RepairedUrlForm(const std::string &Url, const std::string &Part)
{
    std::string r = Url;
    const std::size_t p = r.find(Part);
    if (p != std::string::npos) r.erase(p, Part.size());
    const std::size_t h = r.find("http://");
    if (h != std::string::npos && h > 0) r.erase(0, h);
    return r;
}

bool IsCssOrJsPath(const std::string &Path)
{
    const std::string e = lowerExt(Path);
    return e == ".css" || e == ".js" || Path.find(".css") != std::string::npos || Path.find(".js") != std::string::npos;
}

bool IsImagePath(const std::string &Path)
{
    const std::string e = lowerExt(Path);
    return e == ".gif" || e == ".jpg" || e == ".png" || e == ".jpeg";
}

bool FileExists(const std::string &Path)
{
    struct stat st;
    return !Path.empty() && ::stat(ToSystemPath(Path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadFileBytes(const std::string &Path, bool *Ok)
{
    std::string out;
    const int fd = ::open(ToSystemPath(Path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (Ok) *Ok = false;
        return out;
    }
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
    ::close(fd);
    if (Ok) *Ok = n == 0;
    return out;
}

std::string ZZBackupPath(const std::string &Path) { return folderPart(Path) + "ZZ" + filePart(Path); }

ConvertedView ConvertObtainedFileInPlace(const std::string &Path)
{
    ConvertedView v;
    bool ok = false;
    const std::string bytes = ReadFileBytes(Path, &ok);
    if (!ok) {
        v.Error = J("ﾌｧｲﾙを読み込めません   【 ") + Path + J(" 】");
        return v;
    }
    const std::string zz = ZZBackupPath(Path);
    if (!FileExists(zz) && !bytes.empty() && !SaveTextFile(bytes, zz).ok()) {
        // Without its backup the file is not changed.
        v.Error = J("ﾊﾞｯｸｱｯﾌﾟを保存できません   【 ") + zz + J(" 】");
        return v;
    }
    const std::string lower = LowerCase(Path);
    const FetchedKind kind = lowerExt(Path) == ".css" || (lowerExt(Path) != ".js" && lower.find(".css") != std::string::npos)
                                 ? FetchedKind::Css
                                 : FetchedKind::Script;
    v.Text = DecodeToSjis(bytes, "", kind).Sjis;
    if (v.Text != bytes && !v.Text.empty() && !SaveTextFile(v.Text, Path).ok()) {
        v.Error = J("ﾌｧｲﾙを保存できません   【 ") + Path + J(" 】");
        return v;
    }
    v.Ok = true;
    return v;
}

int DoListBoxSearch(const std::vector<std::string> &Items, const std::string &Word, int Start)
{
    if (Items.empty()) return -1;
    const std::string w = TrimWideSpaces(Word);
    if (w.empty()) return -1;
    if (Start < 0) Start = 0;
    if (Start > int(Items.size()) - 1) return -1;
    for (int i = Start; i < int(Items.size()); ++i)
        if (PosEx(w, Items[i]) > 0) return i;
    return -1;
}
