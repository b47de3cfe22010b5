#include "text/UrlMap.h"

#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <string_view>
#include <vector>

namespace {

constexpr auto npos = std::string::npos;

bool startsWith(std::string_view s, std::string_view p)
{
    return s.substr(0, p.size()) == p;
}

bool contains(const std::string& s, std::string_view sub)
{
    return sjisFind(s, sub) != npos;
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of a valid RFC 3986 scheme followed by ":" at the start of s; 0 when none.
std::size_t schemeLength(std::string_view s)
{
    if (s.empty() || !isAsciiAlpha(s[0]))
        return 0;
    std::size_t i = 1;
    while (i < s.size() && (isAsciiAlpha(s[i]) || isAsciiDigit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.'))
        ++i;
    return i < s.size() && s[i] == ':' ? i : 0;
}

bool isWebScheme(std::string_view scheme)
{
    std::string lower;
    for (char c : scheme)
        lower += asciiLower(c);
    return lower == "http" || lower == "https";
}

// 0-based index where the host begins, or npos when the text names no host.
std::size_t hostStart(std::string_view s)
{
    if (startsWith(s, "//"))
        return 2;
    const std::size_t sl = schemeLength(s);
    if (sl == 0)
        return npos;
    if (s.substr(sl + 1, 2) == "//")
        return sl + 3;
    // "http:host/x" is what StripWwwPrefix leaves of "http://www.host/x".
    if (isWebScheme(s.substr(0, sl)))
        return sl + 1;
    return npos;
}

std::string afterLastSlash(const std::string& s)
{
    const std::size_t p = s.rfind('/');
    return p == npos ? s : s.substr(p + 1);
}

std::string upToLastSlash(const std::string& s)
{
    const std::size_t p = s.rfind('/');
    return p == npos ? std::string() : s.substr(0, p + 1);
}

// The text after the host's "/" (the whole text when there is none).
std::string afterHost(const std::string& url)
{
    const int p = HostEndSlashPos(url);
    return p == 0 ? url : url.substr(static_cast<std::size_t>(p));
}

std::string collapseSlashes(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!(c == '/' && !out.empty() && out.back() == '/'))
            out += c;
    return out;
}

// The rows of StripUrlPrefix in their order: "https://" with the numbered and lettered www
// hosts, then "http://" with the numbered ones. Each row is tried at the start only.
const std::vector<std::string>& urlPrefixRows()
{
    static const std::vector<std::string> rows = [] {
        std::vector<std::string> r;
        for (const std::string scheme : {"https://", "http://"}) {
            r.push_back(scheme + "wwwz.");
            for (int n = 19; n >= 1; --n)
                r.push_back(scheme + "www" + std::to_string(n) + ".");
            if (scheme == "https://") {
                for (const char letter : {'b', 'a'})
                    for (int n = 9; n >= 1; --n)
                        r.push_back(scheme + "www" + std::to_string(n) + letter + ".");
            }
            r.push_back(scheme + "www.");
            r.push_back(scheme);
        }
        return r;
    }();
    return rows;
}

// "www19." down to "www1.", then "www.".
const std::vector<std::string>& wwwRows()
{
    static const std::vector<std::string> rows = [] {
        std::vector<std::string> r;
        for (int n = 19; n >= 1; --n)
            r.push_back("www" + std::to_string(n) + ".");
        r.push_back("www.");
        return r;
    }();
    return rows;
}

// --- RFC 3986 references -------------------------------------------------------------------

struct UriRef {
    bool hasScheme = false;
    std::string scheme;
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
    bool hasFragment = false;
    std::string fragment;
};

// Appendix B of RFC 3986. The delimiters are all below 0x40, so no Shift_JIS trail byte can
// be mistaken for one.
UriRef parseUri(const std::string& s)
{
    UriRef r;
    std::size_t i = 0;
    if (const std::size_t sl = schemeLength(s); sl > 0) {
        r.hasScheme = true;
        r.scheme = s.substr(0, sl);
        i = sl + 1;
    }
    if (s.compare(i, 2, "//") == 0) {
        std::size_t e = s.find_first_of("/?#", i + 2);
        if (e == npos)
            e = s.size();
        r.hasAuthority = true;
        r.authority = s.substr(i + 2, e - i - 2);
        i = e;
    }
    std::size_t e = s.find_first_of("?#", i);
    if (e == npos)
        e = s.size();
    r.path = s.substr(i, e - i);
    i = e;
    if (i < s.size() && s[i] == '?') {
        e = s.find('#', i);
        if (e == npos)
            e = s.size();
        r.hasQuery = true;
        r.query = s.substr(i + 1, e - i - 1);
        i = e;
    }
    if (i < s.size() && s[i] == '#') {
        r.hasFragment = true;
        r.fragment = s.substr(i + 1);
    }
    return r;
}

// Section 5.2.4: "." and ".." segments removed; ".." above the root is dropped.
std::string removeDotSegments(const std::string& in)
{
    std::string out;
    std::size_t i = 0;
    const std::size_t n = in.size();
    auto popSegment = [&out] {
        const std::size_t p = out.rfind('/');
        out.erase(p == npos ? 0 : p);
    };
    auto at = [&](std::string_view p) { return in.compare(i, p.size(), p) == 0; };
    while (i < n) {
        if (at("../")) {
            i += 3;
        } else if (at("./")) {
            i += 2;
        } else if (at("/./")) {
            i += 2;
        } else if (at("/.") && i + 2 == n) {
            out += '/';
            i = n;
        } else if (at("/../")) {
            i += 3;
            popSegment();
        } else if (at("/..") && i + 3 == n) {
            popSegment();
            out += '/';
            i = n;
        } else if ((at(".") && i + 1 == n) || (at("..") && i + 2 == n)) {
            i = n;
        } else {
            std::size_t e = in.find('/', i + 1);
            if (e == npos)
                e = n;
            out.append(in, i, e - i);
            i = e;
        }
    }
    return out;
}

std::string mergePaths(const UriRef& base, const std::string& refPath)
{
    if (base.hasAuthority && base.path.empty())
        return "/" + refPath;
    const std::size_t p = base.path.rfind('/');
    return p == npos ? refPath : base.path.substr(0, p + 1) + refPath;
}

std::string recompose(const UriRef& t)
{
    std::string s;
    if (t.hasScheme)
        s += t.scheme + ":";
    if (t.hasAuthority)
        s += "//" + t.authority;
    s += t.path;
    if (t.hasQuery)
        s += "?" + t.query;
    if (t.hasFragment)
        s += "#" + t.fragment;
    return s;
}

// Section 5.2.2 (strict: a reference with a scheme is absolute).
std::string resolveReference(const std::string& baseText, const std::string& refText)
{
    const UriRef base = parseUri(baseText);
    const UriRef r = parseUri(refText);
    UriRef t;
    if (r.hasScheme) {
        t = r;
        t.path = removeDotSegments(r.path);
    } else {
        t.hasScheme = base.hasScheme;
        t.scheme = base.scheme;
        if (r.hasAuthority) {
            t.hasAuthority = true;
            t.authority = r.authority;
            t.path = removeDotSegments(r.path);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        } else {
            t.hasAuthority = base.hasAuthority;
            t.authority = base.authority;
            if (r.path.empty()) {
                t.path = base.path;
                t.hasQuery = r.hasQuery ? true : base.hasQuery;
                t.query = r.hasQuery ? r.query : base.query;
            } else {
                t.path = removeDotSegments(r.path[0] == '/' ? r.path : mergePaths(base, r.path));
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
        }
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
    return recompose(t);
}

// Blanks, control characters and quotes of either kind around a reference.
std::string stripAroundRef(const std::string& ref)
{
    std::size_t b = 0;
    std::size_t e = ref.size();
    auto strip = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '\''; };
    while (b < e && strip(ref[b]))
        ++b;
    while (e > b && strip(ref[e - 1]))
        --e;
    return ref.substr(b, e - b);
}

// Whether a text is a URL (has a scheme or is protocol-relative) rather than a local path.
bool isUrlBase(const std::string& s)
{
    return startsWith(s, "//") || (schemeLength(s) > 1 && s.compare(schemeLength(s), 3, "://") == 0);
}

} // namespace

// --- host and prefixes -----------------------------------------------------------------

int HostEndSlashPos(const std::string& Url)
{
    const std::size_t h = hostStart(Url);
    if (h == npos) {
        if (Url.size() < 11)
            return 0;
        const std::size_t p = Url.find('/', 10);
        return p == npos ? 0 : static_cast<int>(p) + 1;
    }
    const std::size_t p = Url.find_first_of("/?#", h);
    return p != npos && Url[p] == '/' ? static_cast<int>(p) + 1 : 0;
}

int LastSlashPosWeb(const std::string& Url)
{
    const std::size_t p = Url.rfind('/');
    return p == npos ? 0 : static_cast<int>(p) + 1;
}

std::string StripUrlPrefix(const std::string& Url)
{
    std::string s = Url;
    for (const auto& row : urlPrefixRows())
        if (startsWith(s, row))
            s.erase(0, row.size());
    return s;
}

std::string StripWwwPrefix(const std::string& Url)
{
    std::string s = Url;
    std::size_t host = 0;
    if (startsWith(s, "//")) {
        s.erase(0, 2);
    } else if (const std::size_t sl = schemeLength(s); sl > 0) {
        if (s.compare(sl + 1, 2, "//") == 0)
            s.erase(sl + 1, 2);
        host = sl + 1;
    }
    for (const auto& row : wwwRows())
        if (s.compare(host, row.size(), row) == 0)
            s.erase(host, row.size());
    return s;
}

// --- URL parts and local names ---------------------------------------------------------

std::string UrlToRelativeLocalPath(const std::string& Url)
{
    return StripUrlPrefix(Url);
}

std::string ExtractUrlFolder(const std::string& Url)
{
    const std::size_t p = Url.rfind('/');
    return p == npos ? Url : Url.substr(0, p + 1);
}

std::string ExtractHttpUrlFolder(const std::string& Url)
{
    if (!contains(Url, "http://") && !contains(Url, "https://"))
        return {};
    return ExtractUrlFolder(Url);
}

std::string ExtractUrlRoot(const std::string& Url)
{
    const int p = HostEndSlashPos(Url);
    return p == 0 ? Url : Url.substr(0, static_cast<std::size_t>(p));
}

std::string ExtractUrlRootB(const std::string& Url)
{
    return ExtractUrlRoot(Url);
}

std::string UrlPathToLocalPath(const std::string& Url)
{
    return afterHost(Url);
}

std::string UrlToLocalSubFolder(const std::string& Url)
{
    if (HostEndSlashPos(Url) == 0)
        return {};
    return upToLastSlash(UrlToRelativeLocalPath(afterHost(Url)));
}

std::string UrlFolderToLocalPath(const std::string& Url)
{
    std::string s = StripWwwPrefix(Url);
    if (contains(s, "?"))
        s = ReplaceAll(s, "?", "_") + ".gif6";
    if (contains(s, "&amp;"))
        s = ReplaceAll(s, "&amp;", "&") + ".gif7";
    return upToLastSlash(afterHost(s));
}

std::string UrlToLocalFileName(const std::string& Url)
{
    std::string s = ReplaceFirst(Url, "\x81\x79", ""); // 【
    s = ReplaceFirst(s, "\x81\x7A", "");                // 】
    s = ReplaceFirst(s, " ", "");
    s = StripWwwPrefix(s);
    if (contains(s, "?"))
        s = ReplaceAll(s, "?", "_") + ".gif3";
    s = ReplaceAll(s, "|", "~");
    if (contains(s, "*")) {
        s = ReplaceAll(s, "*", ";");
        s = ReplaceAll(s, "+", "_");
    }
    return afterLastSlash(s);
}

std::string UrlToImageFileName(const std::string& Url)
{
    if (Url.empty() || (!contains(Url, "http://") && !contains(Url, "https://")))
        return {};
    if (Url.back() == '/')
        return Url;
    std::string s = afterLastSlash(Url);
    if (contains(s, "?"))
        s = ReplaceAll(s, "?", "_") + ".gif1";
    if (contains(s, "&amp;"))
        s = ReplaceAll(s, "&amp;", "&") + ".gif2";
    return s;
}

std::string UrlToLocalRelPath(const std::string& Url)
{
    std::string s = ReplaceAll(afterHost(Url), "?", "_");
    s = ParentRefUrlToLocalPath(s);
    return collapseSlashes(s);
}

std::string ParentRefUrlToLocalPath(const std::string& Url)
{
    // The local separator is "/" itself; the ".." segments are the path guard's business.
    return Url;
}

// --- local paths ---------------------------------------------------------------------------

std::string SanitizeLocalPath(const std::string& Path)
{
    std::string out;
    out.reserve(Path.size() + 10);
    std::size_t i = 0;
    while (i < Path.size()) {
        // A URL kept inside a path keeps its scheme's colon and slashes. No placeholder is
        // used, so whatever the path already holds comes out as it was.
        const std::string_view rest(Path.data() + i, Path.size() - i);
        if (startsWith(rest, "http://") || startsWith(rest, "https://")) {
            const std::size_t len = rest[4] == 's' ? 8 : 7;
            out.append(rest.substr(0, len));
            i += len;
            continue;
        }
        const std::size_t len = sjisCharLen(Path, i);
        if (len == 2) {
            out.append(Path, i, 2);
            i += 2;
            continue;
        }
        const char c = Path[i++];
        switch (c) {
        case '?': out += '_'; break;
        case '|': out += '~'; break;
        case '*': out += ';'; break;
        case ':': out += '!'; break;
        case '/':
            if (out.empty() || out.back() != '/')
                out += '/';
            break;
        default: out += c; break;
        }
    }
    if (!out.empty() && out.back() == '/')
        out += "index.html";
    return out;
}

std::string CombineLocalPath(const std::string& BaseFile, const std::string& Ref)
{
    if (BaseFile.empty() || Ref.empty())
        return Ref;
    if (BaseFile[0] != '/')
        return {};
    const std::string baseFolder = upToLastSlash(BaseFile);
    const std::string refFolder = upToLastSlash(Ref);
    std::string tail = Ref;
    if (!refFolder.empty()) {
        // The reference's folder already ends the base folder ("css/" in ".../css/"): only
        // the file name is added.
        const std::string probe = refFolder[0] == '/' ? refFolder : "/" + refFolder;
        if (baseFolder.size() >= probe.size() && baseFolder.compare(baseFolder.size() - probe.size(), npos, probe) == 0)
            tail = afterLastSlash(Ref);
    }
    return collapseSlashes(baseFolder + tail);
}

std::string ResolveParentDirs(const std::string& Path)
{
    if (!contains(Path, "../"))
        return Path;
    // A URL keeps its scheme and host; only the path after them is resolved.
    std::string prefix;
    std::string path = Path;
    if (isUrlBase(Path)) {
        const int h = HostEndSlashPos(Path);
        if (h == 0)
            return Path;
        prefix = Path.substr(0, static_cast<std::size_t>(h) - 1);
        path = Path.substr(static_cast<std::size_t>(h) - 1);
    }
    const bool absolute = !path.empty() && path[0] == '/';
    const bool folder = path.back() == '/' || path.ends_with("/..") || path == "..";
    std::vector<std::string> segs;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == npos)
            j = path.size();
        const std::string seg = path.substr(i, j - i);
        if (seg == "..") {
            if (!segs.empty())
                segs.pop_back(); // clamped: never above the root
        } else if (!seg.empty() && seg != ".") {
            segs.push_back(seg);
        }
        i = j + 1;
    }
    std::string out = prefix + (absolute ? "/" : "");
    for (std::size_t k = 0; k < segs.size(); ++k) {
        if (k > 0)
            out += '/';
        out += segs[k];
    }
    if (folder && !segs.empty())
        out += '/';
    return out;
}

// --- absolute URLs -------------------------------------------------------------------------

std::string MakeAbsoluteUrl(const std::string& PageUrl, const std::string& Ref)
{
    if (PageUrl.empty() || Ref.empty())
        return Ref;
    const std::string r = stripAroundRef(Ref);
    if (r.empty())
        return {};
    return resolveReference(stripAroundRef(PageUrl), r);
}

std::string MakeAbsoluteUrlWithBase(const std::string& PageUrl, const std::string& Ref, const std::string& BaseHref)
{
    const std::string base = stripAroundRef(BaseHref);
    if (base.empty())
        return MakeAbsoluteUrl(PageUrl, Ref);
    return MakeAbsoluteUrl(PageUrl.empty() ? base : MakeAbsoluteUrl(PageUrl, base), Ref);
}

std::string MakeAbsoluteRef(const std::string& Base, const std::string& Ref)
{
    if (Base.empty() || Ref.empty())
        return Ref;
    const std::string r = stripAroundRef(Ref);
    if (r.empty())
        return {};
    if (schemeLength(r) > 0 || isUrlBase(Base))
        return MakeAbsoluteUrl(Base, r);
    // A local base: every form counts from the folder of the base file.
    std::string rel = r;
    while (startsWith(rel, "/"))
        rel.erase(0, 1);
    while (startsWith(rel, "./"))
        rel.erase(0, 2);
    return ResolveParentDirs(upToLastSlash(Base) + rel);
}

std::string AttrValueToUrl(const std::string& Value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(Value.size());
    for (std::size_t i = 0; i < Value.size(); ++i) {
        if (Value[i] != '&') {
            out += Value[i];
            continue;
        }
        const std::size_t semi = Value.find(';', i);
        if (semi == std::string::npos || semi - i > 12) {
            out += '&';
            continue;
        }
        const std::string name = Value.substr(i + 1, semi - i - 1);
        static const std::pair<const char*, char> named[] = {
            {"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};
        bool done = false;
        for (const auto& [n, c] : named)
            if (name == n) {
                out += c;
                done = true;
            }
        if (!done && name.size() > 1 && name[0] == '#') {
            unsigned long cp = 0;
            bool ok = true;
            const bool isHex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(isHex ? 2 : 1);
            ok = !digits.empty() && digits.size() <= 8;
            for (char c : digits) {
                int d = -1;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (isHex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (isHex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                if (d < 0) {
                    ok = false;
                    break;
                }
                cp = cp * (isHex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (ok && cp > 0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                if (cp < 0x80) {
                    out += static_cast<char>(cp);
                } else {
                    std::string u;
                    if (cp < 0x800) {
                        u += static_cast<char>(0xC0 | (cp >> 6));
                    } else if (cp < 0x10000) {
                        u += static_cast<char>(0xE0 | (cp >> 12));
                        u += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    } else {
                        u += static_cast<char>(0xF0 | (cp >> 18));
                        u += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                        u += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    }
                    u += static_cast<char>(0x80 | (cp & 0x3F));
                    for (unsigned char b : u) {
                        out += '%';
                        out += hex[b >> 4];
                        out += hex[b & 15];
                    }
                }
                done = true;
            }
        }
        if (done)
            i = semi;
        else
            out += '&';
    }
    return out;
}

// --- tabs ------------------------------------------------------------------------------------

std::string UrlToTabCaption(const std::string& Url)
{
    std::string s = StripWwwPrefix(Url);
    s = ReplaceAll(s, "&", "");
    s = ReplaceAll(s, "=", "");
    if (s.size() > 1 && s.back() == '/')
        s.pop_back();
    s = afterLastSlash(s);
    // After the last "\" or ":" of the remaining characters (a "\" that is a trail byte is
    // part of its character).
    std::size_t cut = 0;
    for (std::size_t i = 0; i < s.size(); i += sjisCharLen(s, i))
        if (sjisCharLen(s, i) == 1 && (s[i] == '\\' || s[i] == ':'))
            cut = i + 1;
    s.erase(0, cut);
    for (const char* row : {".co.jp", ".ne.jp", ".or.jp", ".com", ".jp", ".html", ".htm", ".php", ".asp", ".jsp", "."})
        s = ReplaceAllIgnoreCase(s, row, "");
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); i += sjisCharLen(s, i))
        starts.push_back(i);
    if (starts.size() > 9)
        s.erase(0, starts[starts.size() - 9]);
    return s;
}

namespace {
bool containsText(const std::string &s, const std::string &sub) { return s.find(sub) != std::string::npos; }
std::string decode(std::string r, std::initializer_list<std::pair<const char *, const char *>> rows)
{
    for (const auto &[from, to] : rows) r = ReplaceAllIgnoreCase(r, from, to);
    return r;
}
} // namespace

std::string RemoveGoogleUrl(const std::string &Url)
{
    if (containsText(Url, "google") && containsText(Url, "&url=http") && containsText(Url, "&ei=")) {
        std::string r = Url.substr(Url.find("&url=http") + 5);
        if (auto e = r.find("&ei="); e != std::string::npos) r = r.substr(0, e);
        return decode(r, {{"%3A", ":"}, {"%2F", "/"}, {"%3F", "?"}, {"%3D", "="}, {"%25", "%"}});
    }
    if (containsText(Url, "google") && containsText(Url, "&adurl=http")) {
        std::string r = Url.substr(Url.find("&adurl=http") + 7);
        return decode(r, {{"%3A", ":"}, {"%2F", "/"}, {"%3F", "?"}, {"%3D", "="}, {"%26", "&"}});
    }
    if (containsText(Url, "yahoo") && containsText(Url, "/**http%3A")) {
        std::string r = Url.substr(Url.find("/**http%3A") + 3);
        return decode(r, {{"%3A", ":"}, {"%25", "%"}});
    }
    return Url;
}
