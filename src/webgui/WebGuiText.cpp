#include "webgui/WebGuiText.h"

#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/HtmlNormalize.h"
#include "text/WebFetch.h"
#include "text/UrlMap.h"
#include "text/TextConverter.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <algorithm>
#include <set>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <cerrno>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr std::size_t npos = std::string::npos;
}

// --- saving with a backup -----------------------------------------------------------------

SaveResult SaveChosenFile(const std::string& FileName, const std::string& Text)
{
    SaveResult r;
    r.Path = FileName;
    if (Text.empty()) {
        r.Status = SaveStatus::EmptyText;
        return r;
    }
    if (Trim(FileName).empty() || filePart(FileName).empty()) {
        r.Status = SaveStatus::EmptyName;
        return r;
    }
    if (HasUnsafeSegment(FileName)) {
        r.Status = SaveStatus::UnsafePath;
        return r;
    }
    const std::string sysTarget = ToSystemPath(FileName);
    std::error_code ec;
    if (!fs::is_directory(fs::path(sysTarget).parent_path(), ec)) {
        r.Status = SaveStatus::FolderFailed;
        return r;
    }
    std::string tmp;
    const int fd = OpenTempFileBeside(sysTarget, tmp);
    if (fd < 0)
        return r;
    std::size_t done = 0;
    while (done < Text.size()) {
        const ssize_t n = ::write(fd, Text.data() + done, Text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    const bool closed = ::close(fd) == 0;
    if (done != Text.size() || !closed || ::rename(tmp.c_str(), sysTarget.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return r;
    }
    r.Status = SaveStatus::Saved;
    return r;
}

std::string BackupFileName(const std::string& FileName)
{
    return folderPart(FileName) + "YY_" + filePart(FileName);
}

BackupSaveResult SaveWithBackup(const std::string& FileName, const std::string& Text)
{
    BackupSaveResult r;
    r.Save.Path = FileName;
    if (Text.empty()) {
        r.Save.Status = SaveStatus::EmptyText;
        return r;
    }
    std::error_code ec;
    const fs::path file = ToSystemPath(FileName);
    if (!filePart(FileName).empty() && fs::is_regular_file(file, ec)) {
        const std::string backup = BackupFileName(FileName);
        fs::copy_file(file, fs::path(ToSystemPath(backup)), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            r.BackupFailed = true;
            r.Save.Status = SaveStatus::WriteFailed;
            return r;
        }
        r.BackupPath = backup;
    }
    r.Save = SaveChosenFile(FileName, Text);
    return r;
}

std::string SaveStatusText(const BackupSaveResult& R)
{
    const char* m = "保存できませんでした";
    if (R.BackupFailed)
        m = "バックアップを作れなかったため、保存しませんでした";
    else
        switch (R.Save.Status) {
        case SaveStatus::Saved: m = "保存しました"; break;
        case SaveStatus::EmptyText: m = "保存する内容がありません"; break;
        case SaveStatus::EmptyName: m = "ファイル名がありません"; break;
        case SaveStatus::UrlName: m = "URLはファイル名にできません"; break;
        case SaveStatus::UnsafePath: m = "このファイル名には保存できません（\"..\" を含む）"; break;
        case SaveStatus::WebFileFolder: m = "フォルダ名がWebファイルの名前に見えるため保存できません"; break;
        case SaveStatus::FolderFailed: m = "フォルダを作れませんでした"; break;
        case SaveStatus::TooLong: m = "ファイル名が長すぎます"; break;
        case SaveStatus::WriteFailed: m = "書き込めませんでした。元のファイルはそのままです"; break;
        }
    return Utf8ToAnsi(m) + Utf8ToAnsi("【") + R.Save.Path + Utf8ToAnsi("】");
}

// --- style-sheet colours ------------------------------------------------------------------

namespace {

std::string padTo12(std::string v)
{
    if (v.size() < 12)
        v.append(12 - v.size(), ' ');
    return v;
}

bool notAColour(const std::string& v)
{
    for (char c : v) {
        if ((c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z'))
            return true;
        if (std::string(".,/!$%&()@\\=-^_<>*+").find(c) != npos)
            return true;
    }
    return false;
}

std::string cssForColourScan(const std::string& Css)
{
    std::string t = Css;
    for (;;) {
        const std::size_t a = t.find("/*");
        if (a == npos)
            break;
        const std::size_t z = t.find("*/", a + 2);
        if (z == npos)
            break;
        t.erase(a, z + 2 - a);
    }
    auto rep = [&t](const std::string& a, const std::string& b) { t = ReplaceAll(t, a, b); };
    rep(" url", ";url");
    rep(" #", ":#");
    rep("\r\n}", "}");
    rep("\r\n{", "{");
    rep("{\r\n", "{");
    rep("\t", " ");
    rep(": #", ":#");
    rep("\"#", ":#");
    rep(" url", ";url");
    rep(" #", ":#");
    for (char d = '0'; d <= '9'; ++d)
        rep(std::string(" ") + d, "\r\n ;" + std::string(1, d));
    for (char d = '0'; d <= '9'; ++d)
        rep(std::string(1, d) + "\r\n", std::string(1, d) + ";\r\n");
    for (const char* xs : {"ABCDEF", "abcdef"})
        for (const char* x = xs; *x; ++x)
            rep(std::string(1, *x) + "\r\n", std::string(1, *x) + ";\r\n");
    rep("::", ":");
    for (char d = '0'; d <= '9'; ++d)
        rep(std::string(1, d) + "}", std::string(1, d) + ";}");
    for (const char* xs : {"ABCDEF", "abcdef"})
        for (const char* x = xs; *x; ++x)
            rep(std::string(1, *x) + "}", std::string(1, *x) + ";\r\n}");
    rep(" }", " ;}");
    return t;
}

} // namespace

CssColorRows ExtractCssColors(const std::string& Css, bool DropDuplicates)
{
    CssColorRows out;
    const std::string text = cssForColourScan(Css);
    if (text.find(":#") == npos && text.find(" #") == npos)
        return out;
    std::string rest = text.empty() ? text : text.substr(0, text.size() - 1) + " \r\n" + text.back();
    std::string sel;
    std::vector<std::string> unique;
    std::size_t from = 0; // everything before it is done; the scan only moves forward
    for (;;) {
        std::size_t k = rest.find(":#", from);
        if (k == npos)
            break;
        // rules without colours are passed over
        for (;;) {
            const std::size_t c = rest.find('}', from);
            if (c == npos || c > k)
                break;
            from = c + 1;
            k = rest.find(":#", from);
            if (k == npos)
                break;
        }
        if (k == npos)
            break;
        const std::size_t semi = rest.find(';', k + 2);
        const std::size_t blank = rest.find(' ', k + 2);
        const std::size_t e = std::min(semi, blank);
        if (e == npos) {
            from = k + 2; // a value without an end: go on after it
            continue;
        }
        // A "#" before the rule's "{" belongs to a selector (div #main), not to a value.
        const std::size_t brace = rest.find('{', k + 2);
        if (brace != npos && brace < e) {
            rest[k] = ' ';
            continue;
        }
        const std::string head = rest.substr(from, e - from);
        const std::string cand = rest.substr(k + 1, e - k);
        from = std::min(rest.size(), e + 2);
        if (const std::size_t b = head.find('{'); b != npos) {
            sel = Trim(head.substr(0, b));
            if (const std::size_t c = sel.find('}'); c != npos)
                sel.erase(0, c + 1);
            sel = ReplaceAll(sel, ":#", " #");
        }
        std::string val = Trim(cand);
        if (const std::size_t c = val.find('}'); c != npos)
            val.erase(c);
        if (const std::size_t c = val.find(';'); c != npos)
            val.erase(c);
        val.erase(std::remove(val.begin(), val.end(), '"'), val.end());
        if (notAColour(val))
            continue;
        val = Trim(val);
        if (val == "#" || val.empty())
            continue; // "color:#;" names no colour; the scan goes on
        if (DropDuplicates)
            unique.push_back(padTo12(val));
        else
            out.Colors.push_back(padTo12(val) + " " + sel);
        out.Values.push_back(std::to_string(HtmlColorToColorDef(val)));
    }
    if (DropDuplicates) {
        std::stable_sort(unique.begin(), unique.end(),
                         [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
        for (const std::string& u : unique)
            if (out.Colors.empty() || LowerCase(out.Colors.back()) != LowerCase(u))
                out.Colors.push_back(u);
    }
    return out;
}

bool ParseColorRow(const std::string& Row, std::string& Name, std::string& Rest)
{
    const std::size_t p = Row.find(' ');
    if (Row.empty() || p == npos)
        return false;
    Name = Row.substr(0, p);
    Rest = ReplaceAll(Trim(Row.substr(p + 1)), ",", " ");
    return true;
}

RowColors ColorRowColors(const std::string& Row)
{
    RowColors c;
    const std::string w = Row.substr(0, Row.find(' '));
    if (w.empty() || w[0] != '#')
        return c;
    const int def = HtmlColorToColorDef(w);
    if (def < 0)
        return c;
    const unsigned r = def & 0xFF, g = (def >> 8) & 0xFF, b = (def >> 16) & 0xFF;
    c.Back = (r << 16) | (g << 8) | b;
    // Perceived brightness decides, so every colour keeps a readable text.
    const unsigned luma = (299 * r + 587 * g + 114 * b) / 1000;
    c.Text = luma < 128 ? 0xFFFFFF : 0x000000;
    return c;
}

// --- scripts ------------------------------------------------------------------------------

namespace {

bool startsNoCase(const std::string& s, std::size_t i, const char* p)
{
    for (std::size_t k = 0; p[k]; ++k) {
        if (i + k >= s.size() || LowerCase(std::string(1, s[i + k])) != LowerCase(std::string(1, p[k])))
            return false;
    }
    return true;
}

// After these a "/" begins a regular expression rather than a division.
bool regexMayFollow(const std::string& out)
{
    std::size_t i = out.size();
    while (i > 0 && (out[i - 1] == ' ' || out[i - 1] == '\t' || out[i - 1] == '\r' || out[i - 1] == '\n'))
        --i;
    if (i == 0)
        return true;
    const char c = out[i - 1];
    if (std::string("(,=:[!&|?{};+-*%<>~^").find(c) != npos)
        return true;
    for (const char* kw : {"return", "typeof", "case", "in", "of", "delete", "void", "throw", "new"}) {
        const std::size_t n = std::char_traits<char>::length(kw);
        if (i >= n && out.compare(i - n, n, kw) == 0 &&
            (i == n || !(std::isalnum(static_cast<unsigned char>(out[i - n - 1])) || out[i - n - 1] == '_')))
            return true;
    }
    return false;
}

} // namespace

std::string FixJS(const std::string& Text)
{
    std::string s = Trim(Text);
    if (s.empty())
        return "";
    s = ReplaceAll(ReplaceAll(s, "\r\n", "\n"), "\n", "\r\n");
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto copyUntil = [&](std::size_t j) {
        out.append(s, i, j - i);
        i = j;
    };
    while (i < n) {
        const char c = s[i];
        // literals and comments go out as they are
        if (c == '"' || c == '\'' || c == '`') {
            std::size_t j = i + 1;
            while (j < n && s[j] != c) {
                if (s[j] == '\\')
                    ++j;
                else if (c != '`' && s[j] == '\n')
                    break;
                ++j;
            }
            copyUntil(std::min(n, j + 1));
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            const std::size_t j = s.find('\n', i);
            copyUntil(j == npos ? n : j);
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const std::size_t j = s.find("*/", i + 2);
            copyUntil(j == npos ? n : j + 2);
            continue;
        }
        if (c == '/' && regexMayFollow(out)) {
            std::size_t j = i + 1;
            bool inClass = false;
            while (j < n && s[j] != '\n') {
                if (s[j] == '\\')
                    ++j;
                else if (s[j] == '[')
                    inClass = true;
                else if (s[j] == ']')
                    inClass = false;
                else if (s[j] == '/' && !inClass)
                    break;
                ++j;
            }
            copyUntil(std::min(n, j + 1));
            continue;
        }
        if (c == ')' && i + 1 < n && s[i + 1] == '{') {
            out += ")\r\n{";
            i += 2;
            continue;
        }
        if (c == ';' && i + 1 < n && s[i + 1] == '}') {
            out += ";}\r\n\r\n";
            i += 2;
            continue;
        }
        if (c == ';') {
            out += ";\r\n";
            ++i;
            continue;
        }
        if (c == '(' && startsNoCase(s, i, "(function()")) {
            out += "\r\n";
            out.append(s, i, 10); // its ")" may still open a block
            i += 10;
            continue;
        }
        if ((c == 'f' || c == 'F') && out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0 &&
            startsNoCase(s, i, "function ")) {
            out += "\r\nfunction ";
            i += 9;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// --- result lists -------------------------------------------------------------------------

int ListBoxSearch(const std::vector<std::string>& Items, const std::string& Word, int& Position)
{
    if (Items.empty())
        return -1;
    const std::string w = TrimWideSpaces(Trim(Word));
    if (w.empty())
        return -1;
    const int last = static_cast<int>(Items.size()) - 1;
    if (Position > last)
        return -1;
    for (int i = Position < 0 ? 0 : Position + 1; i <= last; ++i)
        if (PosEx(w, Items[static_cast<std::size_t>(i)]) > 0) {
            Position = i;
            return i;
        }
    Position = -1;
    return -1;
}

std::string IndentResultAsHtml(const std::vector<std::string>& FinalLines, const std::string& HeadSource,
                               const std::string& BodyTag, const std::vector<std::string>& SaveLines)
{
    std::string t;
    for (const auto& l : FinalLines)
        t += l + "\r\n";
    if (t.find("<body") != npos)
        return t;
    std::string out = RewriteCharsetDeclsToSjis(HeadSource) + BodyTag + "\r\n";
    for (const auto& l : SaveLines)
        out += l + "\r\n";
    return out;
}

// --- names, attributes and frames of an opened page -------------------------------------

namespace {

// The last N characters of a Shift_JIS text, a double-byte character counting one.
std::string lastChars(const std::string& s, std::size_t n)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size();) {
        starts.push_back(i);
        const auto c = static_cast<unsigned char>(s[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        i += (lead && i + 1 < s.size()) ? 2 : 1;
    }
    if (starts.size() <= n)
        return s;
    return s.substr(starts[starts.size() - n]);
}

std::string attributesOf(const std::string& src, const char* lower, const char* upper)
{
    std::string a = TextBetween(src, lower, ">");
    if (a.empty())
        a = TextBetween(src, upper, ">");
    a = ReplaceAll(ReplaceAll(a, "\r", ""), "\n", "");
    a = ReplaceAllIgnoreCase(a, "   ", " ");
    return ReplaceAllIgnoreCase(a, "  ", " ");
}

} // namespace

std::string UrlShortName(const std::string& Url)
{
    std::string s = Url;
    for (const char* p : {"http://wwwz.", "http://www11.", "http://www10.", "http://www9.", "http://www8.", "http://www7.",
                          "http://www6.", "http://www5.", "http://www4.", "http://www3.", "http://www2.", "http://www1.",
                          "http://www.", "http://", ".html", ".htm"})
        s = ReplaceAllIgnoreCase(s, p, "");
    if (s.size() > 1 && s.back() == '/')
        s.pop_back();
    const std::size_t slash = s.rfind('/');
    if (slash != npos)
        s = s.substr(slash + 1);
    if (AnsiToWide(s).size() > 8)
        s = lastChars(s, 9);
    return s;
}

std::string LocalFileCaptionName(const std::string& FileName)
{
    std::string name = filePart(ChangeFileExtension(FileName, ""));
    if (AnsiToWide(name).size() > 8)
        name = lastChars(name, 9);
    return name;
}

std::string HtmlAttributesText(const std::string& PageSource) { return attributesOf(PageSource, "<html", "<HTML"); }
std::string BodyAttributesText(const std::string& PageSource) { return attributesOf(PageSource, "<body", "<BODY"); }

std::string HeadOfPage(const std::string& Page)
{
    const std::string low = LowerCase(Page);
    const std::size_t b = low.find("<head");
    if (b == std::string::npos) return "";
    const std::size_t e = low.find("</head>", b);
    return e == std::string::npos ? Page.substr(b) : Page.substr(b, e + 7 - b);
}

std::string BodyOfPage(const std::string& Page)
{
    const std::string low = LowerCase(Page);
    const std::size_t b = low.find("<body");
    if (b == std::string::npos) return Page;
    const std::size_t e = low.rfind("</body>");
    return e == std::string::npos || e < b ? Page.substr(b) : Page.substr(b, e + 7 - b);
}

int CheckFramesetText(const std::string& Text)
{
    const std::string l = LowerCase(Text);
    if (l.find("<frameset") != npos)
        return -1;
    if (l.find("<iframe") != npos && l.find("<!-- ==<iframe") == npos)
        return -2;
    return 0;
}

namespace {

// Inside a comment "--" followed by ">" or "!>" would end it. Every "--" of a frame's text gets
// one "=" more after it (its run of "=" included), so no "--" is followed by anything but "="
// and the text comes back exactly by taking one "=" off each run again.
std::string escapeCommentDashes(const std::string& s)
{
    std::string out;
    out.reserve(s.size() + 8);
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            out += "--=";
            i += 2;
            while (i < s.size() && s[i] == '=')
                out += s[i++];
            continue;
        }
        out += s[i++];
    }
    return out;
}

std::string unescapeCommentDashes(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '-' && i + 2 < s.size() && s[i + 1] == '-' && s[i + 2] == '=') {
            out += "--";
            i += 3;
            continue;
        }
        out += s[i++];
    }
    return out;
}

const std::string kIframeMarkOpen = "<!-- ==";
const std::string kIframeMarkClose = "== -->";

// Where an inline frame that starts at the tag [b, e) ends: past its end tag, found as a browser
// finds it (the frame's content is text up to the first "</iframe"); at the tag's own end when
// the tag closes itself or no end tag follows.
std::size_t iframeSpanEnd(const std::string& text, std::size_t b, std::size_t e)
{
    if (e >= b + 2 && text.compare(e - 2, 2, "/>") == 0)
        return e;
    for (std::size_t p = sjisFindNoCase(text, "</iframe", e); p != npos; p = sjisFindNoCase(text, "</iframe", p + 1)) {
        const std::size_t n = p + 8;
        const char c = n < text.size() ? text[n] : '>';
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/' || c == '>')
            return HtmlTagEnd(text, p);
    }
    return e;
}

} // namespace

std::string CloseEmptyXhtmlElements(const std::string& Text)
{
    const std::vector<HtmlToken> tokens = ScanHtml(Text);
    bool xhtml = false;
    for (const HtmlToken& t : tokens) {
        const std::string_view v(Text.data() + t.begin, t.end - t.begin);
        if (t.kind == HtmlToken::Kind::Markup && StartsWithNoCase(v, "<?xml")) {
            xhtml = true;
            break;
        }
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "html") {
            xhtml = LowerCase(std::string(v)).find("http://www.w3.org/1999/xhtml") != npos;
            break;
        }
    }
    if (!xhtml)
        return Text;
    // Void elements end by themselves; script, style and the like would hold the rest of the
    // page as their text either way, so they are left as written.
    static const std::set<std::string> keep = {
        "area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input", "isindex",
        "keygen", "link", "meta", "param", "source", "track", "wbr", "script", "style", "pre", "textarea",
        "xmp", "title", "plaintext", "iframe", "noscript", "noembed", "noframes"};
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : tokens) {
        if (t.kind != HtmlToken::Kind::StartTag || keep.count(t.name))
            continue;
        const std::string_view v(Text.data() + t.begin, t.end - t.begin);
        if (v.size() < 4 || v.substr(v.size() - 2) != "/>")
            continue;
        const std::size_t slash = v.size() - 2;
        bool inValue = false;  // "<a href=x/>": the slash is the value's
        for (const HtmlAttr& a : ParseTagAttrs(v))
            inValue = inValue || (a.hasValue && !a.quote && a.valueEnd > slash);
        if (inValue)
            continue;
        std::size_t nameEnd = 1;
        while (nameEnd < v.size() && !std::isspace(static_cast<unsigned char>(v[nameEnd])) && v[nameEnd] != '/' &&
               v[nameEnd] != '>')
            ++nameEnd;
        out.append(Text, at, t.begin + slash - at);
        out += "></";
        out.append(v.substr(1, nameEnd - 1));
        out += '>';
        at = t.end;
    }
    if (at == 0)
        return Text;
    out.append(Text, at, npos);
    return out;
}

std::string DisableIframes(const std::string& Text)
{
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : ScanHtml(Text)) {
        if (t.begin < at || t.kind != HtmlToken::Kind::StartTag || t.name != "iframe")
            continue;
        const std::size_t end = iframeSpanEnd(Text, t.begin, t.end);
        out.append(Text, at, t.begin - at);
        out += kIframeMarkOpen + escapeCommentDashes(Text.substr(t.begin, end - t.begin)) + kIframeMarkClose;
        at = end;
    }
    out.append(Text, at, npos);
    return out;
}

std::string EnableIframes(const std::string& Text)
{
    std::string out;
    std::size_t at = 0;
    const std::size_t least = kIframeMarkOpen.size() + 7 + kIframeMarkClose.size();
    for (const HtmlToken& t : ScanHtml(Text)) {
        if (t.kind != HtmlToken::Kind::Comment || t.end - t.begin < least)
            continue;
        const std::string_view c(Text.data() + t.begin, t.end - t.begin);
        if (!StartsWithNoCase(c, "<!-- ==<iframe") || c.substr(c.size() - kIframeMarkClose.size()) != kIframeMarkClose)
            continue;
        out.append(Text, at, t.begin - at);
        out += unescapeCommentDashes(std::string(c.substr(kIframeMarkOpen.size(), c.size() - kIframeMarkOpen.size() - kIframeMarkClose.size())));
        at = t.end;
    }
    out.append(Text, at, npos);
    return out;
}

FrameItemTarget FrameItemTargetOf(const std::string& Item)
{
    FrameItemTarget r;
    if (PosText("http://", Item) > 0 || PosText("https://", Item) > 0) {
        r.Fetch = true;
        r.Target = Item;
        return r;
    }
    r.Target = ReplaceFirst(Item, "file://", "");
    return r;
}

std::string FrameTextCleanup(const std::string& Text) { return ReplaceAll(Text, "\r\n\r\n\r\n", "\r\n"); }

// --- saving the edited page ---------------------------------------------------------------

namespace {


std::vector<std::string> splitLines(const std::string& t)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < t.size()) {
        std::size_t nl = t.find('\n', at);
        std::size_t end = nl == npos ? t.size() : nl;
        std::string l = t.substr(at, end - at);
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        lines.push_back(l);
        at = nl == npos ? t.size() : nl + 1;
    }
    return lines;
}

std::string joinCrLf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

// Removes the markup tokens of a line for which pred holds; the line's text stays.
template <class Pred> std::string removeTokens(const std::string& line, Pred pred)
{
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : ScanHtml(line)) {
        if (!pred(t, line.substr(t.begin, t.end - t.begin)))
            continue;
        out.append(line, at, t.begin - at);
        at = t.end;
    }
    out.append(line, at, npos);
    return out;
}

} // namespace

std::string SaveGUILocalPageText(const std::string& Text)
{
    // Frames first, so that no step below reads or reshapes the text the marks hold.
    std::string t = EnableIframes(Text);
    std::vector<std::string> out;
    for (const char* x : {"<?xml", "<?XML"}) {
        const std::string inner = TextBetween(t, x, "?>");
        if (!inner.empty()) {
            out.push_back(x + inner + "?>");
            t = DeleteBetween(t, x, "?>");
            break;
        }
    }
    // The page's own document type and html start tag stay as the file has them: a page is
    // not given another type or language than its own.
    {
        std::size_t p = t.find("<!DOC");
        if (p == npos)
            p = t.find("<!doc");
        const std::size_t g = p == npos ? npos : t.find('>', p);
        if (g != npos) {
            out.push_back(t.substr(p, g + 1 - p));
            t.erase(p, g + 1 - p);
        }
    }
    for (const char* h : {"<HTML", "<html"}) {
        const std::size_t p = t.find(h);
        if (p == npos || (p + 5 < t.size() && t[p + 5] != '>' && !std::isspace(static_cast<unsigned char>(t[p + 5]))))
            continue;
        const std::size_t g = t.find('>', p);
        if (g == npos)
            continue;
        out.push_back(t.substr(p, g + 1 - p));
        t.erase(p, g + 1 - p);
    }
    if (PosText("<head>", t) > 0) {
        out.push_back("<head>");
        t = ReplaceAllIgnoreCase(t, "<head>", "");
    }
    std::string title = TextBetween(t, "<TITLE>", "</TITLE>");
    if (title.empty())
        title = TextBetween(t, "<title>", "</title>");
    title = Trim(ReplaceAll(ReplaceAll(title, "\r", ""), "\n", ""));
    t = ReplaceAll(ReplaceAll(t, "<IFRAME", "<iframe"), "</IFRAME>", "</iframe>");

    const std::string titleLine = "<title>" + title + "</title>";
    bool titleWritten = false, metaRun = false, inTitle = false;
    for (std::string line : splitLines(t)) {
        // The title element and websphere marks leave the line; the rest stays.
        line = removeTokens(line, [&](const HtmlToken& tok, const std::string& s) {
            if (tok.kind == HtmlToken::Kind::StartTag && tok.name == "title") {
                inTitle = true;
                return true;
            }
            if (tok.kind == HtmlToken::Kind::EndTag && tok.name == "title") {
                inTitle = false;
                return true;
            }
            return inTitle || (tok.isMarkup() && LowerCase(s).find("websphere") != npos);
        });
        if (inTitle && line.find('<') == npos) {
            continue; // title text over several lines
        }
        const std::string l = LowerCase(line);
        if (l.find("<meta") != npos) {
            metaRun = true;
        } else if (metaRun && !Trim(line).empty()) {
            if (!titleWritten)
                out.push_back(titleLine);
            titleWritten = true;
            metaRun = false;
        }
        if (!titleWritten && l.find("</head") != npos && !title.empty()) {
            out.push_back(titleLine);
            titleWritten = true;
        }
        if (!Trim(line).empty())
            out.push_back(line);
    }
    if (!titleWritten && !title.empty()) {
        // no head end: the title goes right after the head start
        for (std::size_t i = 0; i < out.size(); ++i)
            if (out[i] == "<head>") {
                out.insert(out.begin() + static_cast<std::ptrdiff_t>(i) + 1, titleLine);
                titleWritten = true;
                break;
            }
        if (!titleWritten)
            out.push_back(titleLine);
    }
    return joinCrLf(out);
}

std::string RemoveWinDiskRoot(const std::string& Text, const std::string& Root)
{
    std::string t;
    t.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '"' && i + 3 < Text.size() && std::isalpha(static_cast<unsigned char>(Text[i + 1])) &&
            Text[i + 2] == ':' && Text[i + 3] == '/') {
            t += '"';
            i += 2;
            continue;
        }
        t += Text[i];
    }
    t = ReplaceAll(t, "=\"//", "=\"/");
    t = ReplaceAll(t, "src=/", "src=\"/");
    if (!Trim(Root).empty())
        t = ReplaceAll(t, "\"@", "\"http://" + Trim(Root));
    return t;
}

std::string CheckRemoveFolder(const std::string& Text, std::vector<std::string>& Found)
{
    Found.clear();
    for (const char* prefix : {"c:/", "C:/", "d:/", "D:/", "e:/", "E:/", "f:/", "F:/", "g:/", "G:/"}) {
        const std::string start(prefix, 2);
        std::size_t from = 0;
        for (std::size_t p = Text.find(prefix, from); p != npos; p = Text.find(prefix, from)) {
            const std::size_t q = Text.find('"', p + 2);
            Found.push_back(start + Text.substr(p + 2, (q == npos ? Text.size() : q) - p - 2));
            from = p + 1;
        }
    }
    return Found.empty() ? "" : Utf8ToAnsi("<img・・>等のTag内に、【 ﾛｰｶﾙ・ﾌｧｲﾙのﾌｫﾙﾀﾞｰ 】が、含まれています  ");
}

namespace {

// The opened file's folder taken out of attribute values and url() references only.
std::string removeFolderFromReferences(const std::string& text, const std::string& folder)
{
    if (folder.empty())
        return text;
    std::string out;
    std::size_t at = 0;
    for (const HtmlToken& t : ScanHtml(text)) {
        if (t.kind != HtmlToken::Kind::StartTag)
            continue;
        const std::string tag = text.substr(t.begin, t.end - t.begin);
        std::string fixed = tag;
        const auto attrs = ParseTagAttrs(tag);
        for (auto it = attrs.rbegin(); it != attrs.rend(); ++it) {
            if (!it->hasValue)
                continue;
            const std::string v = tag.substr(it->valueBegin, it->valueEnd - it->valueBegin);
            const std::string nv = ReplaceAllIgnoreCase(v, folder, "");
            if (nv != v)
                fixed.replace(it->valueBegin, it->valueEnd - it->valueBegin, nv);
        }
        if (fixed == tag)
            continue;
        out.append(text, at, t.begin - at);
        out += fixed;
        at = t.end;
    }
    out.append(text, at, npos);
    // url(...) in style elements and style attributes
    std::string res;
    std::size_t i = 0;
    for (std::size_t u = PosText("url(", out) ? static_cast<std::size_t>(PosText("url(", out) - 1) : npos; u != npos;) {
        const std::size_t close = out.find(')', u + 4);
        if (close == npos)
            break;
        res.append(out, i, u + 4 - i);
        res += ReplaceAllIgnoreCase(out.substr(u + 4, close - u - 4), folder, "");
        i = close;
        const int next = PosEx("url(", out, static_cast<int>(close) + 1);
        u = next > 0 ? static_cast<std::size_t>(next - 1) : npos;
    }
    res.append(out, i, npos);
    return res;
}

} // namespace

std::string MarkedSaveText(const std::string& Head, const std::string& Body, const std::string& Folder,
                           const std::string& Root, const std::string& MarkSource)
{
    // Frames first, so that no step below reads or reshapes the text the marks hold.
    std::string t = RewriteCharsetDeclsToSjis(RestructureHead(EnableIframes(Head))) + EnableIframes(Body) + "\r\n</html>";
    t = removeFolderFromReferences(t, Folder);
    // Blank lines go, except inside raw content; a line starting with ">" joins the tag before.
    std::vector<std::string> kept;
    {
        const auto toks = ScanHtml(t);
        std::vector<std::pair<std::size_t, std::size_t>> raw;
        for (const HtmlToken& k : toks)
            if (k.kind == HtmlToken::Kind::Raw)
                raw.emplace_back(k.begin, k.end);
        std::size_t at = 0, r = 0;
        while (at <= t.size()) {
            std::size_t nl = t.find('\n', at);
            const std::size_t end = nl == npos ? t.size() : nl;
            std::string l = t.substr(at, end - at);
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            while (r < raw.size() && raw[r].second <= at)
                ++r;
            const bool inRaw = r < raw.size() && raw[r].first < at + 1 && at < raw[r].second;
            if (inRaw || !Trim(l).empty())
                kept.push_back(l);
            if (nl == npos)
                break;
            at = nl + 1;
        }
    }
    t = joinCrLf(kept);
    t = RestructureHead(t);
    t = NormalizeHtmlSource(t);
    t = RemoveWinDiskRoot(t, Root);
    t = NormalizeHtmlForSjis(t);
    const std::string mark = "<!-- made from \"" + MarkSource + "\" by VORN-KYMBrowser -->";
    std::vector<std::string> out;
    for (const std::string& line : splitLines(t)) {
        // blank lines left here belong to raw content (dropped above everywhere else)
        if (line.find("<!-- saved from ") != npos)
            continue;
        if (line.find("<HEAD>") != npos)
            out.push_back(mark);
        if (line.find("<head>") != npos)
            out.push_back(mark);
        out.push_back(line);
    }
    t = joinCrLf(out);
    t = ReplaceAllIgnoreCase(t, "charset=Shift-JIS", "charset=Shift_JIS");
    t = ReplaceAll(t, "--><!--", "-->\r\n<!--");
    return ReplaceAllIgnoreCase(t, "</table><!--", "</table>\r\n<!--");
}

// --- style sheets and scripts of the page ---------------------------------------------------

std::string ResolveSheetReference(const std::string& Ref, const std::string& DocUrl, const std::string& BaseUrl,
                                  const std::string& BaseHref, bool Script)
{
    if (StartsWithNoCase(Ref, "http://") || StartsWithNoCase(Ref, "https://"))
        return Ref;
    if (!Ref.empty() && Ref[0] == '/')
        return BaseUrl + Ref.substr(1);
    if (Script)
        return BaseHref.empty() ? MakeAbsoluteUrl(DocUrl, Ref) : MakeAbsoluteUrlWithBase(DocUrl, Ref, BaseHref);
    if (BaseHref.empty() || BaseHref == "/")
        return MakeAbsoluteUrl(DocUrl, Ref);
    std::string r = Ref;
    if (r.compare(0, 2, "./") == 0)
        r.erase(0, 2);
    if (!r.empty() && r[0] == '/')
        r.erase(0, 1);
    return BaseHref + r;
}

std::string ConvertSheetText(const std::string& Text, int Item)
{
    switch (Item) {
    case 1: // line ends made CRLF; blank lines stay
        return EucToSjis(NormalizeLineBreaks(Text));
    case 2: {
        std::string t = Text;
        if (t.compare(0, 3, "\xEF\xBB\xBF") == 0)
            t.erase(0, 3);
        return Utf8ToAnsi(t);
    }
    case 4: return JisToSjis(Text);
    case 5: return Text;
    default: return ConvertTextToSjis(Text, ccmAuto);
    }
}

bool IsHtmlPageText(const std::string& Text)
{
    std::string t = Text;
    if (t.compare(0, 3, "\xEF\xBB\xBF") == 0)
        t.erase(0, 3);
    t = TrimLeft(t);
    return StartsWithNoCase(t, "<!doctype") || StartsWithNoCase(t, "<html");
}

std::string SheetFileBlock(const std::string& Name, const std::string& Text)
{
    std::string out = Utf8ToAnsi("/*********■■【 ") + Name + Utf8ToAnsi(" 】●● **********/") + "\r\n\r\n";
    for (const auto& l : splitLines(Text))
        out += l + "\r\n";
    out += "\r\n/* " + std::string(77, '=') + " */\r\n\r\n";
    return out;
}

std::string CaptionFolder(const std::string& Caption)
{
    std::string c = Caption;
    const std::string open = Utf8ToAnsi("【");
    const std::string close = Utf8ToAnsi("】");
    const std::size_t a = c.find(open);
    if (a != npos)
        c = c.substr(a + open.size());
    const std::size_t z = c.rfind(close);
    if (z != npos)
        c = c.substr(0, z);
    c = Trim(c);
    std::size_t cut = npos;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const auto b = static_cast<unsigned char>(c[i]);
        if (c[i] == '/' || c[i] == '\\' || c[i] == ':')
            cut = i;
        if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < c.size())
            ++i; // a trail byte can be "\": never a separator
    }
    return cut == npos ? "" : c.substr(0, cut + 1);
}

std::vector<std::string> TidySheetList(const std::vector<std::string>& Items)
{
    std::vector<std::string> sorted = Items;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<std::string> out;
    for (const std::string& item : sorted) {
        std::error_code ec;
        if (item.find(' ') != npos && !fs::exists(fs::path(ToSystemPath(item)), ec))
            continue;
        const int css = PosText(".css", item);
        out.push_back(css > 0 ? item.substr(0, static_cast<std::size_t>(css) + 3) : item);
    }
    return out;
}

// --- keyword searches ------------------------------------------------------------------------

std::vector<std::string> EdictScan(const std::string& Keywords)
{
    std::vector<std::string> words;
    std::string s = TrimWideSpaces(Trim(Keywords));
    s = ReplaceAll(s, Utf8ToAnsi("　"), "  ");
    s = ReplaceAll(s, "  ", " ");
    s = ReplaceAll(s, " ", ",");
    if (s.empty())
        return words;
    const std::size_t n = s.size();
    auto isCtl = [&](std::size_t i) { return static_cast<unsigned char>(s[i]) < 0x20; };
    std::size_t i = 0;
    while (i < n && isCtl(i))
        ++i;
    for (;;) {
        std::string field;
        if (i < n && s[i] == '"') {
            ++i;
            while (i < n) {
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
        } else {
            while (i < n && s[i] != ',' && !isCtl(i))
                field += s[i++];
        }
        words.push_back(field);
        while (i < n && isCtl(i))
            ++i;
        if (i < n && s[i] == ',') {
            ++i;
            while (i < n && isCtl(i))
                ++i;
            if (i >= n) {
                words.push_back(""); // a comma at the end leaves an empty last word
                break;
            }
            continue;
        }
        if (i >= n)
            break;
    }
    return words;
}

std::string FormatHitLine(int Line, int Column)
{
    std::string l = std::to_string(Line);
    if (l.size() < 4)
        l.insert(0, 4 - l.size(), ' ');
    std::string c = std::to_string(Column);
    if (c.size() < 2)
        c.insert(0, 2 - c.size(), '0');
    return l + "/" + c;
}

bool ParseHitLine(const std::string& Item, int& Line, int& Column)
{
    const std::size_t slash = Item.find('/');
    if (slash == npos)
        return false;
    auto number = [](std::string t) {
        t = Trim(t);
        if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != npos)
            return 0;
        return std::stoi(t);
    };
    Line = number(Item.substr(0, slash));
    std::string rest = Item.substr(slash + 1);
    if (const std::size_t b = rest.find(' '); b != npos)
        rest.erase(b);
    Column = number(rest);
    return true;
}
