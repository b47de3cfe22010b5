#include "mainwindow/ResultSource.h"
#include "platform/QtSjis.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include <QString>

namespace {
const std::string kCrlf = "\r\n";

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool isQuote(char c) { return c == '"' || c == '\''; }

bool matchAt(const std::string &s, size_t i, const std::string &m, size_t *len)
{
    const size_t start = i;
    bool inTag = false;
    size_t j = 0;
    while (j < m.size()) {
        const char mc = m[j];
        if (i < s.size() && (inTag ? lowerAscii(s[i]) == lowerAscii(mc) : s[i] == mc)) {
            if (mc == '<') inTag = true;
            else if (mc == '>') inTag = false;
            ++i;
            ++j;
            continue;
        }
        if (inTag && isQuote(mc)) { ++j; continue; }                       // the text has no quote here
        if (inTag && i < s.size() && isQuote(s[i]) && j > 0) { ++i; continue; }  // the marker has none
        return false;
    }
    *len = i - start;
    return true;
}

// The page's engine frames and the result markers of the two engines' layouts; a change of
// an engine's layout is a change of a row here.
struct FrameRow {
    bool second;
    const char *left, *right;
};
const FrameRow kFrameRows[] = {
    {false, "<DIV id=gbar>", "</H2>"},
    {true, "<A id=pagetop", "<H2>\xE3\x82\xA6\xE3\x82\xA7\xE3\x83\x96</H2>"},  // ウェブ
};
const char *const kScriptStyleRows[][2] = {
    {"<SCRIPT", "</SCRIPT>"}, {"<STYLE", "</STYLE>"}, {"<script", "</script>"}, {"<style", "</style>"}};
const char *kFirstResultItem = "<li class=\"g\">";
const char *kFirstSnippetLeft = "<span class=\"f\">";
const char *kFirstSnippetRight = "</a></span></span>";
const char *kFirstTableLeft = "<tbody>";
const char *kFirstTableRight = "</tbody>";
const char *kSecondResultItem = "<li class=\"w\">";
const char *kSecondResultLink = "<div class=\"a\">";
const char *kEngineScriptLeft = "google.dlj('";
const char *kEngineScriptRight = "')";

std::string sjisOf(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

// Every occurrence of Marker replaced by Before + what matched + After (or by Instead).
std::string surroundMarker(const std::string &s, const std::string &marker, const std::string &before,
                           const std::string &after, const std::string *instead = nullptr)
{
    std::string out;
    size_t from = 0, len = 0;
    for (size_t p; (p = FindPageMarker(s, marker, from, &len)) != std::string::npos; from = p + len) {
        out.append(s, from, p - from);
        out += before;
        out += instead ? *instead : s.substr(p, len);
        out += after;
    }
    out.append(s, from, std::string::npos);
    return out;
}

// Elements Tag in page order: for each, its opening tag and its content. With SplitTag the
// block opens with "<tag" alone and the rest of the opening tag leads the content.
std::string elementBlocks(const std::string &html, const std::string &tag, bool splitTag)
{
    const std::string lower = LowerCase(html);
    const std::string open = "<" + tag, close = "</" + tag + ">";
    std::string out;
    size_t from = 0;
    while (true) {
        size_t p = lower.find(open, from);
        // "<scripts" or "<styleX" are other tags.
        while (p != std::string::npos && p + open.size() < lower.size()) {
            const char c = lower[p + open.size()];
            if (c == '>' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/') break;
            p = lower.find(open, p + 1);
        }
        if (p == std::string::npos) break;
        const size_t gt = lower.find('>', p);
        if (gt == std::string::npos) break;
        const size_t end = lower.find(close, gt + 1);
        if (end == std::string::npos) break;
        const size_t body = splitTag ? p + open.size() : gt + 1;
        out += html.substr(p, body == gt + 1 ? gt + 1 - p : open.size()) + kCrlf + html.substr(body, end - body) + kCrlf +
               close + kCrlf + kCrlf;
        from = end + close.size();
    }
    return out;
}

bool validUtf8(const std::string &s, bool *nonAscii)
{
    *nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (n < 0 || (n == 1 && c < 0xC2)) return false;
        if (n) *nonAscii = true;
        if (i + n >= s.size() + (n ? 0 : 1)) return false;
        for (int k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}
} // namespace

size_t FindPageMarker(const std::string &S, const std::string &Marker, size_t From, size_t *Len)
{
    if (Marker.empty()) return std::string::npos;
    const bool tag = Marker[0] == '<';
    for (size_t i = From; i < S.size(); ++i) {
        if (tag ? S[i] != '<' : S[i] != Marker[0]) continue;
        size_t len = 0;
        if (matchAt(S, i, Marker, &len)) {
            *Len = len;
            return i;
        }
    }
    return std::string::npos;
}

std::string DeletePageMarkerSpans(const std::string &S, const std::string &Left, const std::string &Right)
{
    std::string out;
    size_t from = 0, len = 0, rlen = 0;
    while (true) {
        const size_t p = FindPageMarker(S, Left, from, &len);
        if (p == std::string::npos) break;
        const size_t r = FindPageMarker(S, Right, p + len, &rlen);
        if (r == std::string::npos) break;
        out.append(S, from, p - from);
        from = r + rlen;
    }
    out.append(S, from, std::string::npos);
    return out;
}

std::string SourceForBlocks(const std::string &ResultHtml)
{
    return BreakBeforeTags(NormalizeHtmlSource(RewriteCharsetDeclsToSjis(ResultHtml)));
}

std::string ScriptBlocksText(const std::string &Html)
{
    return ReplaceAll(elementBlocks(Html, "script", false), ";", ";" + kCrlf);
}

std::string StyleBlocksText(const std::string &Html)
{
    std::string s = elementBlocks(Html, "style", true);
    s = ReplaceAll(s, "{", "{" + kCrlf + "\t");
    s = ReplaceAll(s, ";", ";" + kCrlf);
    s = ReplaceAll(s, ">", ">" + kCrlf + kCrlf);
    s = ReplaceAll(s, "}", kCrlf + "}" + kCrlf + kCrlf);
    s = ReplaceAll(s, ":", ":\t\t\t\t\t\t");
    // A URL's "://" is no property's colon.
    s = ReplaceAll(s, ":\t\t\t\t\t\t//", "://");
    s = ReplaceAll(s, kCrlf + kCrlf + kCrlf, kCrlf);
    s = ReplaceAll(s, kCrlf + kCrlf, kCrlf);
    return s;
}

std::string EngineScriptPath(const std::string &Html)
{
    return TextBetween(Html, kEngineScriptLeft, kEngineScriptRight);
}

std::string SiteRootOf(const std::string &Endpoint)
{
    const size_t scheme = Endpoint.find("://");
    if (scheme == std::string::npos) return {};
    const size_t slash = Endpoint.find_first_of("/?#", scheme + 3);
    return slash == std::string::npos ? Endpoint : Endpoint.substr(0, slash);
}

std::string FormatEngineScript(const std::string &Url, const std::string &Script)
{
    std::string t = Script;
    t = ReplaceAll(t, "){", "){" + kCrlf);
    t = ReplaceAll(t, ";}", "^^" + kCrlf);
    t = ReplaceAll(t, ";", ";" + kCrlf);
    t = ReplaceAll(t, "^^", ";}" + kCrlf);
    t = ReplaceAll(t, "(function()", kCrlf + "(function()");
    t = ReplaceAll(t, kCrlf + "function ", kCrlf + kCrlf + "function ");
    return sjisOf("【【【【【 ") + kCrlf + "     " + Url + kCrlf + kCrlf + sjisOf(" 】】】】】") + kCrlf + kCrlf + t;
}

std::string UrlListForClipboard(const std::vector<std::string> &Lines)
{
    std::string out;
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (i) out += kCrlf;
        out += ReplaceAll(Lines[i], "\t", ",");
    }
    return out;
}

std::string SimplifiedResultHtml(const std::string &Html, bool SecondEngine)
{
    std::string s = Html;
    for (const auto &row : kScriptStyleRows) s = DeletePageMarkerSpans(s, row[0], row[1]);
    for (const FrameRow &row : kFrameRows)
        if (row.second == SecondEngine) s = DeletePageMarkerSpans(s, row.left, sjisOf(row.right));
    s = RemoveStrayQuotes(OpenAttributeQuotes(s));
    return ReplaceAll(s, kCrlf + kCrlf, "");
}

std::string FurtherSimplifiedResultHtml(const std::string &Html, bool SecondEngine, const std::string &Separator)
{
    const std::string head = kCrlf + Separator + kCrlf;
    std::string s = Html;
    if (SecondEngine) {
        const std::string closeLink = "</a></span>";
        s = surroundMarker(s, kSecondResultLink, head, "", &closeLink);
        s = surroundMarker(s, kSecondResultItem, head, "");
    } else {
        s = DeletePageMarkerSpans(s, kFirstSnippetLeft, kFirstSnippetRight);
        s = DeletePageMarkerSpans(s, kFirstTableLeft, kFirstTableRight);
        s = surroundMarker(s, kFirstResultItem, head, "");
    }
    return s;
}

std::string ColouredResultHtml(const std::string &ResultHtml)
{
    std::string h = ReplaceAllIgnoreCase(ResultHtml, "return\" clk", "return clk");
    h = ReplaceAllIgnoreCase(h, ")\" href=", ") href=");
    return OpenAttributeQuotes(NormalizeHtmlSource(h));
}

std::string RawPageText(const std::string &Bytes)
{
    const std::string head = LowerCase(Bytes.substr(0, 8192));
    std::string cs;
    for (size_t p = head.find("charset"); p != std::string::npos && cs.empty(); p = head.find("charset", p + 7)) {
        size_t i = p + 7;
        while (i < head.size() && (head[i] == ' ' || head[i] == '=' || isQuote(head[i]))) ++i;
        size_t e = i;
        while (e < head.size() && (std::isalnum(static_cast<unsigned char>(head[e])) || head[e] == '-' || head[e] == '_'))
            ++e;
        cs = head.substr(i, e - i);
    }
    if (cs == "utf-8" || cs == "utf8") return Utf8ToAnsi(Bytes);
    if (cs == "euc-jp" || cs == "x-euc-jp") return EucToSjis(Bytes);
    if (cs.rfind("iso-2022-jp", 0) == 0) return JisToSjisB(Bytes);
    if (!cs.empty()) return Bytes;
    bool nonAscii = false;
    if (validUtf8(Bytes, &nonAscii) && nonAscii) return Utf8ToAnsi(Bytes);
    return Bytes;
}
