#include "text/CssScan.h"

namespace {

bool isIdentChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool matchNoCase(std::string_view s, std::size_t i, std::string_view word)
{
    if (i + word.size() > s.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        char a = s[i + k];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != word[k]) return false;
    }
    return true;
}

// Index after the string that opens at i (the quote); npos when it does not close.
std::size_t skipString(std::string_view s, std::size_t i)
{
    const char q = s[i];
    for (std::size_t k = i + 1; k < s.size(); ++k) {
        if (s[k] == '\\') {
            ++k;
            continue;
        }
        if (s[k] == q) return k + 1;
        if (s[k] == '\n') return std::string_view::npos; // a bad string ends at its line
    }
    return std::string_view::npos;
}

std::size_t skipBlanks(std::string_view s, std::size_t i)
{
    while (i < s.size() && isBlank(s[i])) ++i;
    return i;
}

// url( at i (the "u"); fills r and returns true when the token is whole.
bool readUrl(std::string_view s, std::size_t i, CssRef &r)
{
    std::size_t k = skipBlanks(s, i + 4);
    if (k >= s.size()) return false;
    r.begin = i;
    if (s[k] == '"' || s[k] == '\'') {
        const std::size_t e = skipString(s, k);
        if (e == std::string_view::npos) return false;
        r.quote = s[k];
        r.valueBegin = k + 1;
        r.valueEnd = e - 1;
        const std::size_t c = skipBlanks(s, e);
        if (c >= s.size() || s[c] != ')') return false;
        r.end = c + 1;
        return true;
    }
    std::size_t e = k;
    while (e < s.size() && s[e] != ')' && !isBlank(s[e]) && s[e] != '"' && s[e] != '\'' && s[e] != '(') {
        if (s[e] == '\\') ++e;
        ++e;
    }
    const std::size_t c = skipBlanks(s, e);
    if (c >= s.size() || s[c] != ')') return false;
    r.quote = 0;
    r.valueBegin = k;
    r.valueEnd = e;
    r.end = c + 1;
    return true;
}

} // namespace

std::vector<CssRef> ScanCssRefs(std::string_view s)
{
    std::vector<CssRef> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const std::size_t e = s.find("*/", i + 2);
            if (e == std::string_view::npos) break;
            i = e + 2;
            continue;
        }
        if (c == '"' || c == '\'') {
            const std::size_t e = skipString(s, i);
            if (e == std::string_view::npos) {
                const std::size_t nl = s.find('\n', i);
                if (nl == std::string_view::npos) break;
                i = nl + 1;
                continue;
            }
            i = e;
            continue;
        }
        if (c == '\\') {
            i += 2;
            continue;
        }
        if ((c == 'u' || c == 'U') && (i == 0 || !isIdentChar(s[i - 1])) && matchNoCase(s, i, "url(")) {
            CssRef r;
            if (readUrl(s, i, r)) {
                out.push_back(r);
                i = r.end;
            } else {
                i += 4;
            }
            continue;
        }
        if (c == '@' && matchNoCase(s, i, "@import") && (i + 7 >= s.size() || !isIdentChar(s[i + 7]))) {
            const std::size_t k = skipBlanks(s, i + 7);
            if (k < s.size() && (s[k] == '"' || s[k] == '\'')) {
                const std::size_t e = skipString(s, k);
                if (e != std::string_view::npos) {
                    CssRef r;
                    r.kind = CssRef::Kind::Import;
                    r.inImport = true;
                    r.begin = k;
                    r.end = e;
                    r.quote = s[k];
                    r.valueBegin = k + 1;
                    r.valueEnd = e - 1;
                    out.push_back(r);
                    i = e;
                    continue;
                }
            } else if (k < s.size() && matchNoCase(s, k, "url(")) {
                CssRef r;
                if (readUrl(s, k, r)) {
                    r.inImport = true;
                    out.push_back(r);
                    i = r.end;
                    continue;
                }
            }
            i += 7;
            continue;
        }
        ++i;
    }
    // Blanks inside a quoted value are part of it; around an unquoted one they are not.
    for (CssRef &r : out) {
        while (r.valueBegin < r.valueEnd && isBlank(s[r.valueBegin]) && r.quote) ++r.valueBegin;
        while (r.valueEnd > r.valueBegin && isBlank(s[r.valueEnd - 1]) && r.quote) --r.valueEnd;
    }
    return out;
}

std::string RewriteCssRefs(std::string_view css,
                           const std::function<std::optional<std::string>(const CssRef &, const std::string &)> &Map)
{
    std::string out;
    out.reserve(css.size());
    std::size_t at = 0;
    for (const CssRef &r : ScanCssRefs(css)) {
        const std::optional<std::string> v = Map(r, CssRefValue(css, r));
        if (!v) continue;
        out.append(css.substr(at, r.begin - at));
        // The value keeps its own quote; what would end the string early is escaped as CSS
        // writes it (an escape already in the value stays one).
        char q = r.quote;
        if (q == 0 && v->find_first_of(" \t\r\n'\"()\\") != std::string::npos) q = '"';
        std::string val;
        for (std::size_t i = 0; i < v->size(); ++i) {
            const char c = (*v)[i];
            if (c == '\\' && i + 1 < v->size() && (*v)[i + 1] != '\n' && (*v)[i + 1] != '\r') {
                val += c;
                val += (*v)[++i];
            } else if (c == '\\') {
                val += "\\\\";
            } else if (q && c == q) {
                val += '\\';
                val += c;
            } else if (c == '\n' || c == '\r') {
                val += c == '\n' ? "\\a " : "\\d ";
            } else {
                val += c;
            }
        }
        const std::string quote = q ? std::string(1, q) : std::string();
        if (r.kind == CssRef::Kind::Url)
            out += "url(" + quote + val + quote + ")";
        else
            out += quote + val + quote;
        at = r.end;
    }
    out.append(css.substr(at));
    return out;
}
