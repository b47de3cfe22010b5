#include "download/CssTools.h"
#include "download/FolderCssReplace.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

std::string ups(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) s += "../";
    return s;
}

// The reference as the file at Depth should write it; "" when it stays as it is. Its path is
// walked segment by segment from where it starts (the save folder for "/x", the file's folder
// otherwise), a ".." above the save folder stopping there, so "/../x" or "../../../x" cannot
// climb out and a rewritten reference is left alone by a second pass. The query and fragment
// are not path.
std::string reroot(const std::string &v, int Depth)
{
    const bool rootRelative = v.size() > 0 && v[0] == '/' && (v.size() == 1 || v[1] != '/');
    if (!rootRelative && v.compare(0, 3, "../") != 0) return {};
    const std::size_t tail = v.find_first_of("?#");
    const std::string path = v.substr(0, tail);
    const std::string rest = tail == std::string::npos ? std::string() : v.substr(tail);
    int level = rootRelative ? 0 : Depth; // folders below the save folder where the walk stands
    bool stopped = false;
    std::vector<std::string> segs;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string seg = path.substr(i, j - i);
        if (seg == "..") {
            if (!segs.empty()) segs.pop_back();
            else if (level > 0) --level;
            else stopped = true;
        } else if (!seg.empty() && seg != ".") {
            segs.push_back(seg);
        }
        i = j + 1;
    }
    if (!rootRelative && !stopped) return {};
    std::string out = ups(Depth - level);
    for (std::size_t k = 0; k < segs.size(); ++k) out += (k ? "/" : "") + segs[k];
    const bool folder = path.ends_with("/") || path.ends_with("/..") || path.ends_with("/.");
    if (folder && !segs.empty()) out += '/';
    if (out.empty()) out = "./";
    return out + rest;
}

bool needsQuotes(const std::string &v)
{
    return v.empty() || v.find_first_of(" \t\r\n\"'()\\") != std::string::npos;
}

std::string normalSlashes(std::string p)
{
    for (char &c : p)
        if (c == '\\') c = '/';
    return p;
}

} // namespace

bool WriteWholeFile(const std::string &Path, const std::string &Bytes)
{
    const std::string sys = ToSystemPath(Path);
    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) return false;
    const bool ok = WriteAllToFd(fd, Bytes.data(), Bytes.size());
    if (::close(fd) != 0 || !ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), sys.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::string RemoveFirstSlashText(const std::string &Text, int Depth)
{
    const std::string T = RewriteCharsetDeclsToSjis(Text);
    std::string out;
    std::size_t at = 0;
    for (const CssRef &r : ScanCssRefs(T)) {
        const std::string v = CssRefValue(T, r);
        const std::string n = reroot(v, Depth < 0 ? 0 : Depth);
        if (n.empty()) continue;
        out.append(T, at, r.begin - at);
        if (r.kind == CssRef::Kind::Url) {
            out += needsQuotes(n) ? "url(\"" + n + "\")" : "url(" + n + ")";
        } else {
            const char q = r.quote ? r.quote : '"';
            out += q + n + q;
        }
        at = r.end;
    }
    out.append(T, at, std::string::npos);
    return out;
}

int TopImageCSSRemoveFirstSlash(const std::vector<std::string> &Files, const std::string &Root,
                                std::vector<std::string> &Rewritten)
{
    if (Files.empty()) return -1;
    std::string root = normalSlashes(Root);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    for (const std::string &f : Files) {
        const std::string F = normalSlashes(f);
        if (root.empty() || !IsPathBelowRoot(root, F)) continue;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(ToSystemPath(F), ec)) continue;
        bool ok = false;
        const std::string T = LoadTextFile(F, &ok);
        if (!ok) continue;
        const std::string rel = F.substr(root.size() + 1);
        int depth = 0;
        for (char c : rel) depth += c == '/';
        const std::string N = RemoveFirstSlashText(T, depth);
        if (N != T && !WriteWholeFile(F, N)) continue;
        Rewritten.push_back(F);
    }
    return 0;
}

int GetHTMLFileList(const std::string &Mask, const std::string &Folder, const std::string &Ext, bool Recursive,
                    LocalCssRead &Out, const std::function<void(const std::string &)> &Progress)
{
    if (Folder.empty()) return -1;
    const std::string mask = Trim(Mask).empty() ? std::string("*") : Trim(Mask);
    Out.LocalFileList.clear();
    Out.WorkList.clear();
    MakeHTMLFileList(mask, normalSlashes(Folder), Recursive, Out.AllList, Out.FileList, Ext);
    const std::size_t n = Out.FileList.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (Progress) Progress(" [ " + std::to_string(i + 1) + " / " + std::to_string(n) + " ] ");
        const std::string &F = Out.FileList[i];
        Out.LocalFileList.push_back(F);
        bool ok = false;
        const std::string T = LoadTextFile(F, &ok);
        if (!ok) continue;
        std::size_t at = 0;
        while (at < T.size()) {
            std::size_t e = T.find("\r\n", at);
            if (e == std::string::npos) {
                Out.WorkList.push_back(T.substr(at));
                break;
            }
            Out.WorkList.push_back(T.substr(at, e - at));
            at = e + 2;
        }
    }
    if (Progress) Progress("");
    return static_cast<int>(n);
}

std::vector<std::string> CssInnerImages(const std::vector<std::string> &Lines)
{
    std::string joined;
    for (const std::string &l : Lines) joined += l + "\r\n";
    // The scan skips comments, so a commented-out reference is not listed.
    std::vector<std::string> list;
    for (const CssRef &r : ScanCssRefs(joined)) {
        if (r.kind != CssRef::Kind::Url) continue;
        std::string v = CssRefValue(joined, r);
        v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '"' || c == '\''; }), v.end());
        if (!v.empty()) list.push_back(v);
    }
    return list;
}
