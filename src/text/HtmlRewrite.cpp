#include "text/HtmlRewrite.h"

#include "text/HtmlScan.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"

#include <cctype>
#include <string_view>

namespace {

constexpr auto npos = std::string::npos;
const char* const CRLF = "\r\n";

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

std::string_view tokenText(std::string_view s, const HtmlToken& t)
{
    return s.substr(t.begin, t.end - t.begin);
}

std::string removeQuotes(std::string s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '"' && c != '\'')
            out += c;
    return out;
}

struct Edit {
    std::size_t pos;
    std::size_t len;
    std::string text;
};

// Applies edits given in ascending, non-overlapping order.
std::string applyEdits(const std::string& s, const std::vector<Edit>& edits)
{
    if (edits.empty())
        return s;
    std::string out;
    out.reserve(s.size() + 64);
    std::size_t at = 0;
    for (const auto& e : edits) {
        out.append(s, at, e.pos - at);
        out += e.text;
        at = e.pos + e.len;
    }
    out.append(s, at, npos);
    return out;
}

// --- charset ---------------------------------------------------------------------------------

const char* const kForeignCharsets[] = {"euc-jp", "utf-8", "iso-2022-jp"};
const char* const kSjisName = "Shift_JIS";

bool isForeignCharset(std::string_view value)
{
    const std::string v = lower(Trim(std::string(value)));
    for (const char* name : kForeignCharsets)
        if (v == name)
            return true;
    return false;
}

// Inside a text (a content value or an XML declaration), every key + name of a foreign
// charset (key "charset=" or `encoding="`...) gets the Shift_JIS name. offset is where text
// starts in the document.
void rewriteNamesAfterKey(std::string_view text, std::size_t offset, std::string_view key, std::vector<Edit>& edits)
{
    std::size_t i = 0;
    while ((i = sjisFindNoCase(text, key, i)) != npos) {
        const std::size_t at = i + key.size();
        for (const char* name : kForeignCharsets) {
            const std::string_view n(name);
            const std::size_t end = at + n.size();
            // the name must end there, not be the start of a longer one ("utf-8x")
            if (StartsWithNoCase(text.substr(at), n) &&
                (end >= text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-' || text[end] == '_'))) {
                edits.push_back({offset + at, n.size(), kSjisName});
                break;
            }
        }
        i = at;
    }
}

// --- reference lists -------------------------------------------------------------------------

// The URL of the first " <[" URL "]>" marker at or after a position; empty when there is
// none. Positions only grow during a scan, so each marker is searched for once.
class MarkerCursor {
public:
    explicit MarkerCursor(const std::string& s) : s_(s) {}

    std::string urlAfter(std::size_t from)
    {
        if (searched_ && (at_ == npos || at_ >= from) && from >= from_)
            return url_;
        searched_ = true;
        from_ = from;
        url_.clear();
        at_ = sjisFind(s_, " <[", from);
        if (at_ == npos)
            return url_;
        const std::size_t e = sjisFind(s_, "]>", at_ + 3);
        if (e == npos) {
            at_ = npos; // no complete marker is left
            return url_;
        }
        url_ = Trim(s_.substr(at_ + 3, e - at_ - 3));
        return url_;
    }

private:
    const std::string& s_;
    bool searched_ = false;
    std::size_t from_ = 0;
    std::size_t at_ = npos;
    std::string url_;
};

// The value of an item that may be written url(...): what stands inside the parentheses.
std::string unwrapUrl(const std::string& item)
{
    const std::size_t u = sjisFindNoCase(item, "url(");
    if (u == npos)
        return item;
    const std::size_t close = item.find(')', u + 4);
    return item.substr(u + 4, close == npos ? npos : close - u - 4);
}

bool containsUrlCall(const std::string& item)
{
    return sjisFindNoCase(item, "url(") != npos;
}

bool hasScheme(const std::string& s)
{
    if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
        return false;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':')
            return true;
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'))
            return false;
    }
    return false;
}

bool isHttp(const std::string& s)
{
    return StartsWithNoCase(s, "http://") || StartsWithNoCase(s, "https://");
}

// One scan step of the Left ... Right lists: the value after the Left found at or after
// from. Returns false when no Left is left; value is empty when no Right follows.
struct Found {
    std::size_t left = npos;
    std::string value;
    std::size_t after = 0; // just past the Right (or past the Left when no Right)
};

bool nextBetween(const std::string& w, const std::string& left, const std::string& right, std::size_t from, Found& f)
{
    f = Found{};
    if (left.empty())
        return false;
    f.left = sjisFind(w, left, from);
    if (f.left == npos)
        return false;
    const std::size_t vb = f.left + left.size();
    const std::size_t r = right.empty() ? npos : sjisFind(w, right, vb);
    if (r == npos) {
        f.after = vb;
        return true;
    }
    f.value = w.substr(vb, r - vb);
    f.after = r + right.size();
    return true;
}

std::vector<std::string> splitLines(const std::string& s)
{
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i <= s.size()) {
        std::size_t e = s.find('\n', i);
        if (e == npos)
            e = s.size();
        std::string line = s.substr(i, e - i);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        i = e + 1;
    }
    return lines;
}

// The path of a URL without query and fragment, in lower case.
std::string lowerPath(const std::string& url)
{
    return lower(url.substr(0, url.find_first_of("?#")));
}

bool endsWith(const std::string& s, std::string_view tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), npos, tail) == 0;
}

} // namespace

// --- marker searches ---------------------------------------------------------------------

int PosExWeb(const std::string& Sub, const std::string& S, int From)
{
    return PosEx(Sub, S, From);
}

std::string TextBetweenWeb(const std::string& S, const std::string& Left, const std::string& Right)
{
    return TextBetween(S, Left, Right);
}

// --- head and charset ----------------------------------------------------------------------

std::string RestructureHead(const std::string& Html)
{
    std::string html = Html;
    std::size_t end = html.find("</HEAD>");
    if (end != npos)
        html.replace(end, 7, "</head>");
    else
        end = html.find("</head>");
    if (end == npos)
        return Html;
    const std::string head = html.substr(0, end + 7);
    const std::string body = html.substr(end + 7);

    static const char* const lowerRows[] = {"<HTML>", "</HTML>", "<HEAD>", "</HEAD>", "<META", "<LINK", "<STYLE",
                                            "</STYLE>", "<SCRIPT", "</SCRIPT>", "<TITLE>", "</TITLE>", "<NOSCRIPT>",
                                            "</NOSCRIPT>"};
    static const char* const breakAfterTag[] = {"<!", "<head>", "<meta", "<script", "<style", "<link", "<title", "</head>"};

    // Pieces of the head with their line breaks; a line that starts inside the contents of
    // a script or style keeps its bytes.
    struct Line {
        std::string text;
        bool raw = false;
    };
    std::vector<Line> lines(1);
    auto newLine = [&lines](bool raw) { lines.push_back({{}, raw}); };
    auto emit = [&](std::string_view piece, bool raw) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (piece[i] == '\n') {
                if (!lines.back().text.empty() && lines.back().text.back() == '\r')
                    lines.back().text.pop_back();
                newLine(raw && i + 1 < piece.size());
            } else {
                lines.back().text += piece[i];
            }
        }
    };

    const std::vector<HtmlToken> tokens = ScanHtml(head);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const HtmlToken& t = tokens[k];
        std::string text(tokenText(head, t));
        if (t.isTag())
            for (const char* row : lowerRows)
                if (StartsWithNoCase(text, row))
                    for (std::size_t i = 0; row[i]; ++i)
                        text[i] = asciiLower(text[i]);
        if (t.isMarkup()) {
            bool brk = false;
            const HtmlToken* prev = k > 0 ? &tokens[k - 1] : nullptr;
            for (const char* p : breakAfterTag)
                if (text.starts_with(p)) {
                    if (prev && prev->isMarkup()) {
                        brk = true;
                    } else if (prev && k > 1 && tokens[k - 2].isMarkup() && tokenText(head, *prev) == " ") {
                        lines.back().text.pop_back(); // "> <meta": the blank goes
                        brk = true;
                    }
                }
            if (text.starts_with("<head>") || text.starts_with("</head>") ||
                (text.starts_with("<meta") && text.size() > 5 && (text[5] == ' ' || text[5] == '\t')))
                brk = true;
            if (brk && !lines.back().text.empty())
                newLine(false);
        }
        if (t.kind == HtmlToken::Kind::StartTag && (t.name == "meta" || t.name == "link") && text.ends_with(">") &&
            !text.ends_with("/>"))
            text.insert(text.size() - 1, " /");
        emit(text, t.kind == HtmlToken::Kind::Raw);
    }

    static const char* const trimmedKinds[] = {"<?", "<meta", "<link", "<script", "<style", "<title", "<head", "</head"};
    std::string out;
    out.reserve(Html.size() + 256);
    for (const Line& line : lines) {
        if (line.raw) {
            out += line.text + CRLF;
            continue;
        }
        const std::string trimmed = Trim(line.text);
        if (trimmed.empty())
            continue;
        bool keepTrimmed = false;
        for (const char* kind : trimmedKinds)
            keepTrimmed = keepTrimmed || sjisFind(trimmed, kind) != npos;
        out += (keepTrimmed ? trimmed : line.text) + CRLF;
    }
    out += CRLF;

    // The body: comments on lines of their own, where a comment directly follows or precedes
    // a tag.
    const std::vector<HtmlToken> bodyTokens = ScanHtml(body);
    std::size_t at = 0;
    for (std::size_t k = 1; k < bodyTokens.size(); ++k) {
        const HtmlToken& p = bodyTokens[k - 1];
        const HtmlToken& t = bodyTokens[k];
        const bool brk = (p.isMarkup() && t.kind == HtmlToken::Kind::Comment) ||
                         (p.kind == HtmlToken::Kind::Comment && t.isMarkup());
        if (brk && tokenText(body, p).ends_with(">")) {
            out.append(body, at, t.begin - at);
            out += CRLF;
            at = t.begin;
        }
    }
    out.append(body, at, npos);
    out += CRLF;
    return out;
}

std::string RewriteCharsetDeclsToSjis(const std::string& Text)
{
    std::vector<Edit> edits;
    for (const HtmlToken& t : ScanHtml(Text)) {
        const std::string_view text = tokenText(Text, t);
        if (t.kind == HtmlToken::Kind::Markup && StartsWithNoCase(text, "<?xml")) {
            rewriteNamesAfterKey(text, t.begin, "encoding=\"", edits);
            rewriteNamesAfterKey(text, t.begin, "encoding='", edits);
            continue;
        }
        if (t.kind != HtmlToken::Kind::StartTag)
            continue;
        for (const HtmlAttr& a : ParseTagAttrs(text)) {
            if (!a.hasValue)
                continue;
            const std::string name = lower(text.substr(a.nameBegin, a.nameEnd - a.nameBegin));
            const std::string_view value = text.substr(a.valueBegin, a.valueEnd - a.valueBegin);
            if (name == "charset" && isForeignCharset(value)) {
                // keep blanks around the name where they were
                const std::size_t lead = value.find_first_not_of(" \t\r\n");
                const std::size_t tail = value.find_last_not_of(" \t\r\n");
                edits.push_back({t.begin + a.valueBegin + lead, tail - lead + 1, kSjisName});
            } else if (name == "content" && t.name == "meta") {
                rewriteNamesAfterKey(value, t.begin + a.valueBegin, "charset=", edits);
            }
        }
    }
    return applyEdits(Text, edits);
}

std::string RewriteCharsetNamesToSjis(const std::string& Text)
{
    return ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Text, "EUC-JP", kSjisName), "UTF-8", kSjisName);
}

// --- rebasing references ---------------------------------------------------------------------

std::string RebaseHrefs(const std::string& Html, const std::string& NewPrefix, int Mode)
{
    if (Mode != 0)
        return Html;
    static const char* const prefixes[] = {"../../../../", "../../../", "../../", "../", "./", "/"};
    std::vector<Edit> edits;
    const std::string key = "href=\"";
    for (std::size_t i = 0; (i = sjisFindNoCase(Html, key, i)) != npos; i += key.size()) {
        const std::string_view value = std::string_view(Html).substr(i + key.size());
        for (const std::string_view p : prefixes) {
            if (!value.starts_with(p))
                continue;
            if (p == "/" && value.starts_with("//"))
                break; // protocol-relative: another host
            edits.push_back({i, key.size() + p.size(), key + NewPrefix});
            break;
        }
    }
    return applyEdits(Html, edits);
}

std::string RebaseSrcRefs(const std::string& Html, const std::string& OldBase, const std::string& NewBase, int Mode)
{
    const std::string html = ReplaceAllIgnoreCase(Html, "id=\"_", "id=\"");
    if (Mode != 0)
        return html;
    std::vector<Edit> edits;
    // src values, in text order, each rebased once
    std::size_t i = 0;
    while ((i = sjisFindNoCase(html, "src=", i)) != npos) {
        const std::size_t q = i + 4;
        if (q >= html.size() || (html[q] != '"' && html[q] != '\'')) {
            i = q;
            continue;
        }
        const char quote = html[q];
        const std::size_t vb = q + 1;
        std::size_t cut = 0;
        if (quote == '"' && !OldBase.empty() && StartsWithNoCase(std::string_view(html).substr(vb), OldBase))
            cut = OldBase.size();
        const std::string_view rest = std::string_view(html).substr(vb + cut);
        std::string replacement;
        std::size_t drop = cut;
        if (rest.starts_with("./")) {
            replacement = NewBase;
            drop += 2;
        } else if (rest.starts_with("/") && !rest.starts_with("//")) {
            replacement = NewBase;
            drop += 1;
        }
        if (drop > 0)
            edits.push_back({i, 5 + drop, std::string("src=") + quote + replacement});
        i = vb + drop;
    }
    std::string out = applyEdits(html, edits);
    edits.clear();
    for (std::size_t u = 0; (u = sjisFindNoCase(out, "url(/", u)) != npos; u += 5)
        if (out.compare(u + 5, 1, "/") != 0)
            edits.push_back({u, 5, "url(" + NewBase});
    return applyEdits(out, edits);
}

std::string RebaseSrcParentRefs(const std::string& Html, const std::string& Base, int Mode)
{
    if (Mode != 0)
        return Html;
    std::vector<Edit> edits;
    const std::string key = "src=\"";
    for (std::size_t i = 0; (i = sjisFindNoCase(Html, key, i)) != npos; i += key.size()) {
        const std::string_view value = std::string_view(Html).substr(i + key.size());
        std::size_t cut = 0;
        if (!Base.empty() && StartsWithNoCase(value, Base))
            cut = Base.size();
        if (value.substr(cut).starts_with("../"))
            edits.push_back({i, key.size() + cut + 3, key + "/"});
        else if (cut > 0)
            edits.push_back({i, key.size() + cut, key});
    }
    return applyEdits(Html, edits);
}

// --- reference lists ---------------------------------------------------------------------------

bool ListPageRefUrls(const std::string& Text, const std::string& Left, const std::string& Right,
                     const std::string& PageFolder, std::vector<std::string>& List, int Mode)
{
    std::string w = ReplaceAllIgnoreCase(Text, "url(./", "url(");
    w = ReplaceAllIgnoreCase(w, "url(\"./", "url(\"");
    w = ReplaceAll(w, "\"./", "\"");
    if (Left.empty() || sjisFind(w, Left) == npos)
        return false;
    MarkerCursor markers(w);
    Found f;
    for (std::size_t from = 0; nextBetween(w, Left, Right, from, f); from = f.left + Left.size()) {
        std::string item = f.value;
        if (containsUrlCall(item))
            item = unwrapUrl(item);
        else if (Mode == 1)
            continue;
        item = Trim(removeQuotes(item));
        if (item.empty())
            continue;
        // The banner after a block names the file the block came from; a page has none.
        std::string base = markers.urlAfter(f.after);
        if (base.empty())
            base = PageFolder;
        List.push_back(MakeAbsoluteRef(base, item));
    }
    return true;
}

bool ListCssRefUrls(const std::string& Css, const std::string& Left, const std::string& Right,
                    const std::string& BaseUrl, std::vector<std::string>& List, int Mode)
{
    std::string w;
    w.reserve(Css.size());
    for (char c : Css) {
        if (c == '\t')
            c = ' ';
        if (!(c == ' ' && !w.empty() && w.back() == ' '))
            w += c;
    }
    w = ReplaceAllIgnoreCase(w, "@import'", "@import '");
    w = ReplaceAllIgnoreCase(w, "@import\"", "@import \"");
    if (Left.empty() || sjisFind(w, Left) == npos)
        return false;
    w = ReplaceAll(w, "/**/", " ");
    MarkerCursor markers(w);
    Found f;
    for (std::size_t from = 0; nextBetween(w, Left, Right, from, f); from = f.left + Left.size()) {
        std::string item = Trim(f.value);
        if (containsUrlCall(item)) {
            item = unwrapUrl(item);
        } else if (Mode == 1) {
            continue;
        } else if (!item.empty() && (item[0] == '"' || item[0] == '\'')) {
            // @import "a.css" screen: the quoted part is the reference
            const std::size_t close = item.find(item[0], 1);
            if (close != npos)
                item = item.substr(1, close - 1);
        }
        item = Trim(removeQuotes(item));
        if (item.empty())
            continue;
        std::string base = markers.urlAfter(f.after);
        if (base.empty())
            base = BaseUrl;
        std::string url = MakeAbsoluteRef(base, item);
        if (url.size() > 15) {
            const std::size_t again = sjisFind(url, "http://", 15);
            if (again != npos)
                url.erase(again);
        }
        List.push_back(Trim(url));
    }
    return true;
}

bool ListMarkedCssRefUrls(const std::string& CssText, const std::string& Left, const std::string& Right,
                          std::vector<std::string>& List)
{
    if (Left.empty() || sjisFind(CssText, Left) == npos)
        return false;
    for (const std::string& line : splitLines(CssText)) {
        const std::string marker = Trim(TextBetween(line, "[ ", " ]"));
        if (!marker.empty() && sjisFind(lower(marker), ".css") != npos) {
            List.push_back(marker);
            continue;
        }
        Found f;
        for (std::size_t from = 0; nextBetween(line, Left, Right, from, f); from = f.left + Left.size()) {
            std::string item = Trim(removeQuotes(f.value));
            if (item.starts_with("./"))
                item.erase(0, 2);
            item = Trim(item);
            if (!item.empty())
                List.push_back(item);
        }
    }
    return true;
}

bool ListMarkedCssUrls(const std::string& CssText, std::vector<std::string>& List)
{
    List.clear();
    std::string marker; // the last "[ URL ]" line seen
    MarkerCursor banners(CssText);
    std::size_t lineStart = 0;
    for (const std::string& line : splitLines(CssText)) {
        const std::size_t next = lineStart + line.size() + 1;
        const std::string m = Trim(TextBetween(line, "[ ", " ]"));
        if (!m.empty() && sjisFind(lower(m), ".css") != npos) {
            marker = m;
            lineStart = next;
            continue;
        }
        Found f;
        for (std::size_t from = 0; nextBetween(line, "url(", ")", from, f); from = f.left + 4) {
            const std::string item = Trim(removeQuotes(f.value));
            const std::string low = lower(item);
            if (item.empty() || item[0] == '#' || low.starts_with("data:") || endsWith(lowerPath(low), ".css"))
                continue;
            if (hasScheme(item)) {
                List.push_back(item);
                continue;
            }
            const std::string base = marker.empty() ? banners.urlAfter(lineStart) : marker;
            if (!base.empty())
                List.push_back(MakeAbsoluteRef(base, item));
        }
        lineStart = next;
    }
    return true;
}

bool ListCssUrls(const std::string& CssText, std::vector<std::string>& List)
{
    List.clear();
    for (const std::string& line : splitLines(CssText)) {
        Found f;
        for (std::size_t from = 0; nextBetween(line, "url(", ")", from, f); from = f.left + 4) {
            const std::string item = Trim(removeQuotes(f.value));
            if (!item.empty())
                List.push_back(item);
        }
    }
    return !List.empty();
}

bool ListFrameSources(const std::string& BaseUrl, const std::string& Html, std::vector<std::string>& List)
{
    List.clear();
    bool found = false;
    for (const HtmlToken& t : ScanHtml(Html)) {
        if (t.kind != HtmlToken::Kind::StartTag || (t.name != "frame" && t.name != "iframe"))
            continue;
        const std::string_view text = tokenText(Html, t);
        for (const HtmlAttr& a : ParseTagAttrs(text)) {
            if (!a.hasValue || lower(text.substr(a.nameBegin, a.nameEnd - a.nameBegin)) != "src")
                continue;
            found = true;
            std::string value = Trim(std::string(text.substr(a.valueBegin, a.valueEnd - a.valueBegin)));
            if (value.empty())
                break;
            if (value.back() == '/')
                value += "index.html";
            const std::string url = BaseUrl.empty() ? value : MakeAbsoluteUrl(BaseUrl, value);
            if (hasScheme(url) && !isHttp(url))
                break;
            const std::string path = lowerPath(url);
            bool skip = false;
            for (const char* ext : {".gif", ".jpg", ".pdf", ".css", ".js"})
                skip = skip || endsWith(path, ext);
            if (!skip)
                List.push_back(url);
            break;
        }
    }
    return found;
}

std::string UTFEUC2ShiftJIS(const std::string &Html)
{
    const std::string lower = LowerCase(Html);
    const bool utf = lower.find("utf-8") != std::string::npos;
    const bool euc = lower.find("euc-jp") != std::string::npos;
    if (!utf && !euc) return Html;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // True when the name at pos is the value of a charset/encoding declaration.
    auto declared = [&](size_t pos) {
        size_t i = pos;
        while (i > 0 && (isBlank(lower[i - 1]) || lower[i - 1] == '"' || lower[i - 1] == '\'')) --i;
        auto endsWith = [&](size_t end, const std::string &w) {
            return end >= w.size() && lower.compare(end - w.size(), w.size(), w) == 0;
        };
        if (endsWith(i, "@charset")) return true;
        if (i == 0 || lower[i - 1] != '=') return false;
        --i;
        while (i > 0 && isBlank(lower[i - 1])) --i;
        return endsWith(i, "charset") || endsWith(i, "encoding");
    };
    std::string out;
    out.reserve(Html.size());
    size_t i = 0;
    while (i < Html.size()) {
        size_t len = 0;
        if (utf && lower.compare(i, 5, "utf-8") == 0) len = 5;
        else if (euc && lower.compare(i, 6, "euc-jp") == 0) len = 6;
        if (len && declared(i)) {
            out += "Shift_JIS";
            i += len;
            continue;
        }
        // Copy whole double-byte characters so a match never starts on a second byte.
        const unsigned char c = static_cast<unsigned char>(Html[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const size_t n = (lead && i + 1 < Html.size()) ? 2 : 1;
        out.append(Html, i, n);
        i += n;
    }
    return out;
}
