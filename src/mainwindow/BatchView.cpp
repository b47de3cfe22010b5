#include "mainwindow/BatchView.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <set>

namespace {
std::vector<size_t> charStarts(const std::string &s)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i += sjisCharLen(s, i)) starts.push_back(i);
    return starts;
}

std::string eraseFirstDot(std::string s)
{
    // A "." that is the trail byte of a double-byte character is part of that character.
    for (size_t i = 0; i < s.size(); i += sjisCharLen(s, i))
        if (s[i] == '.' && sjisCharLen(s, i) == 1) {
            s.erase(i, 1);
            break;
        }
    return s;
}

std::string afterLastSlash(const std::string &s)
{
    const size_t p = s.rfind('/');
    return p == std::string::npos ? s : s.substr(p + 1);
}

// Links that no tab can show.
const char *const kSkipMarkers[] = {".pdf", "mailto:", "java", ".xls", ".doc"};
bool holdsSkipMarker(const std::string &lower)
{
    for (const char *m : kSkipMarkers)
        if (lower.find(m) != std::string::npos) return true;
    return false;
}

std::string replaceEachIgnoreCase(const std::string &s, const std::string &what,
                                  const std::function<std::string(const std::string &)> &by)
{
    const std::string lower = LowerCase(s);
    std::string out;
    size_t from = 0;
    for (size_t p; (p = lower.find(what, from)) != std::string::npos; from = p + what.size()) {
        out.append(s, from, p - from);
        out += by(s.substr(p, what.size()));
    }
    out.append(s, from, std::string::npos);
    return out;
}
} // namespace

std::string BatchShortName(const std::string &Url)
{
    std::string name = ChangeFileExtension(filePart(UrlToLocalFileName(Url)), "");
    const auto starts = charStarts(name);
    if (starts.size() > 8) {
        const size_t n = starts.size();
        name = name.substr(starts[n - 9], starts[n - 1] - starts[n - 9]);
    }
    return eraseFirstDot(name);
}

std::string BatchLinkLine(int Number, const std::string &Url)
{
    return IntToSpacePadded(Number, 3) + "  " + BatchShortName(Url) + "\t" + Url;
}

std::string BatchTabCaption(const std::string &Url, int Number)
{
    std::string s = StripUrlPrefix(Url);
    for (const char *row : {".html", ".htm", ".co.jp", ".ne.jp", ".or.jp", ".jp"}) s = ReplaceAllIgnoreCase(s, row, "");
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    s = ChangeFileExtension(afterLastSlash(s), "");
    const auto starts = charStarts(s);
    if (starts.size() >= 9) s.erase(0, starts[starts.size() - 9]);
    return std::to_string(Number + 1) + "[" + eraseFirstDot(s) + "]";
}

bool IsLocalPageRef(const std::string &Text)
{
    return IsLocalPathText(Text);
}

std::string LocalPagePath(const std::string &Text)
{
    const std::string t = Trim(Text);
    if (t.rfind('/', 0) == 0) return t;
    if (LowerCase(t).rfind("file:", 0) != 0) return {};
    const QUrl u(fromSjis(t));
    return u.isLocalFile() ? toSjis(u.toLocalFile()) : std::string();
}

bool NeedsInlineFrameCopy(const std::string &Text)
{
    const std::string lower = LowerCase(Text);
    return lower.find("<iframe") != std::string::npos && lower.find("<!-- ==") == std::string::npos;
}

std::string CommentOutInlineFrames(const std::string &Text, const std::string &Mark)
{
    std::string s = replaceEachIgnoreCase(Text, "<iframe", [&](const std::string &tag) {
        return (tag == "<IFRAME" ? std::string() : Mark) + "<!-- ==" + tag;
    });
    return replaceEachIgnoreCase(s, "</iframe>", [](const std::string &tag) { return tag + "== -->"; });
}

std::string WriteInlineFrameCopy(const std::string &OriginalPath, const std::string &Text, const std::string &Mark,
                                 const std::string &DataFolder)
{
    const QString folder = QFileInfo(fromSjis(OriginalPath)).absolutePath();
    const std::string base =
        "<base href=\"" + toSjis(QString::fromUtf8(QUrl::fromLocalFile(folder + QLatin1Char('/')).toEncoded())) + "\">";
    std::string copy = CommentOutInlineFrames(Text, Mark);
    // The base element belongs in the head, before anything that resolves a link.
    const std::string lower = LowerCase(copy);
    size_t at = lower.find("<head");
    at = at == std::string::npos ? std::string::npos : lower.find('>', at);
    if (at != std::string::npos) copy.insert(at + 1, base);
    else copy.insert(0, base);
    std::string dir = DataFolder;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const SaveResult r = SaveTextFile(copy, dir + "dummy.html");
    return r.ok() ? r.Path : std::string();
}

int BatchHrefOutput(const std::vector<std::string> &Lines, int Start, int Count, const BatchOpener &Opener)
{
    const int first = Start <= 0 ? 0 : Start - 1;
    if (first > static_cast<int>(Lines.size()) - 1) return 0;
    const int limit = Count <= 0 ? 20 : Count;
    std::set<std::string> seen;
    int last = 0, opened = 0;
    for (int i = first; i < static_cast<int>(Lines.size()); ++i) {
        if (Opener.stopped && Opener.stopped()) return 0;
        const std::string &line = Lines[i];
        const size_t tab = line.find('\t');
        const std::string url = Trim(tab == std::string::npos ? line : line.substr(tab + 1));
        if (url.empty()) return 0;
        const std::string lower = LowerCase(url);
        if (lower.find(".pdf") != std::string::npos) continue;
        // Links that differ only by their fragment (the sections of one chapter) are one
        // page: it is opened, and fetched, once.
        const bool isUrl = lower.rfind("file:", 0) == 0 || IsHttpUrl(url);
        const std::string page = isUrl ? url.substr(0, url.find('#')) : url;
        if (!seen.insert(LowerCase(page)).second) continue;
        std::string link;
        if (IsLocalPageRef(url)) {
            const std::string path = LocalPagePath(page);
            const std::string lp = LowerCase(path);
            if (path.empty() || holdsSkipMarker(lp) || lp.find(".htm") == std::string::npos) continue;
            if (!Opener.fileExists || !Opener.fileExists(path)) continue;
            link = path;
        } else {
            if (!IsHttpUrl(url) || holdsSkipMarker(lower)) continue;
            link = url;
        }
        Opener.open(link, i);
        last = i;
        if (++opened >= limit) break;
    }
    return last + 1;
}
