#include "text/WebFetch.h"

#include "text/FileUtils.h"
#include "text/JCode.h"
#include "text/StrUtils.h"

#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::mutex &settingsMutex()
{
    static std::mutex m;
    return m;
}

HttpTimeouts &timeoutsRef()
{
    static HttpTimeouts t;
    return t;
}

BrowserLauncher &launcherRef()
{
    static BrowserLauncher l;
    return l;
}

// --- launching without a shell ------------------------------------------------------------

std::string findInPath(const std::string &prog)
{
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t b = 0;
    while (b <= dirs.size()) {
        size_t e = dirs.find(':', b);
        if (e == std::string::npos) e = dirs.size();
        const std::string dir = e > b ? dirs.substr(b, e - b) : ".";
        const std::string full = dir + "/" + prog;
        if (::access(full.c_str(), X_OK) == 0) return full;
        b = e + 1;
    }
    return {};
}

// Runs the program detached (a grandchild adopted by init, so no zombie is left behind).
// Everything the children need is prepared before fork: after it only async-signal-safe
// calls are made.
bool spawnDetached(const std::vector<std::string> &argv)
{
    if (argv.empty()) return false;
    const std::string prog = argv[0].find('/') == std::string::npos ? findInPath(argv[0]) : argv[0];
    if (prog.empty()) return false;
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(prog.c_str(), args.data());
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// --- HTTP -------------------------------------------------------------------------------

void curlGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Bytes that may not stand in a URL on the wire (blanks, controls, 8-bit bytes of a
// Shift_JIS URL) are percent-encoded; escapes already there are kept.
std::string wireUrl(const std::string &url)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : Trim(url)) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

using Sink = std::function<bool(const char *, size_t)>;
using Clock = std::chrono::steady_clock;

struct Transfer {
    Sink sink;
    Clock::time_point lastData = Clock::now();
    std::chrono::milliseconds stall{0};
    const std::atomic<bool> *cancel = nullptr;
};

size_t writeToSink(char *data, size_t size, size_t n, void *user)
{
    Transfer &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * n;
    t.lastData = Clock::now();
    return t.sink(data, bytes) ? bytes : 0; // a short count makes curl abort the transfer
}

// curl's own low-speed check averages over several seconds; silence is measured here from
// the last byte received (or the start), so a stalled server is dropped on time.
int checkStall(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const Transfer &t = *static_cast<const Transfer *>(user);
    if (t.cancel && t.cancel->load()) return 1;
    return Clock::now() - t.lastData > t.stall ? 1 : 0;
}

struct GetInfo {
    long status = 0;
    std::string effectiveUrl, contentType, error;
};

// One GET; the body goes to the sink. True only when the whole body arrived with a status
// below 400. With info, an error status does not stop the body (the caller keeps it) and the
// total time-out applies.
// The transfer runs in a multi handle polled every 100 ms, so that a cancel request ends it
// within that time even while the server sends nothing (curl's progress callback may then
// be called only once a second).
CURLcode performCancellable(CURL *c, const std::atomic<bool> *cancel)
{
    if (!cancel) return curl_easy_perform(c);
    CURLM *m = curl_multi_init();
    if (!m) return CURLE_OUT_OF_MEMORY;
    curl_multi_add_handle(m, c);
    CURLcode rc = CURLE_ABORTED_BY_CALLBACK;
    int running = 1;
    bool done = false;
    while (!done) {
        if (cancel->load()) break;
        if (curl_multi_perform(m, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg *msg = curl_multi_info_read(m, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                rc = msg->data.result;
                done = true;
            }
        }
        if (!done && running == 0) break;
        if (!done) curl_multi_poll(m, nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(m, c);
    curl_multi_cleanup(m);
    return rc;
}

bool httpGet(const std::string &url, Sink sink, GetInfo *info = nullptr, const std::atomic<bool> *cancel = nullptr)
{
    curlGlobalInit();
    const HttpTimeouts t = GetHttpTimeouts();
    CURL *c = curl_easy_init();
    if (!c) return false;
    const std::string wire = wireUrl(url);
    curl_easy_setopt(c, CURLOPT_URL, wire.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, info ? 0L : 1L);
    if (info && t.TotalMs > 0) curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, t.TotalMs);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "MyApp");
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, t.ConnectMs);
    Transfer transfer{std::move(sink), Clock::now(), std::chrono::milliseconds(t.StallMs), cancel};
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeToSink);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, checkStall);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    char errbuf[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    const CURLcode rc = performCancellable(c, cancel);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (info) {
        info->status = status;
        char *eff = nullptr;
        if (curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &eff) == CURLE_OK && eff) info->effectiveUrl = eff;
        char *ct = nullptr;
        if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &ct) == CURLE_OK && ct) info->contentType = ct;
        if (rc != CURLE_OK) info->error = errbuf[0] ? errbuf : curl_easy_strerror(rc);
    }
    curl_easy_cleanup(c);
    return rc == CURLE_OK && status < 400;
}

std::vector<std::string> splitLines(const std::string &body)
{
    std::vector<std::string> lines;
    size_t b = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\r' || body[i] == '\n') {
            lines.push_back(body.substr(b, i - b));
            if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            b = i + 1;
        }
    }
    if (b < body.size()) lines.push_back(body.substr(b));
    return lines;
}


bool startsWithBytes(const std::string &s, std::initializer_list<unsigned char> magic)
{
    if (s.size() < magic.size()) return false;
    size_t i = 0;
    for (unsigned char m : magic)
        if (static_cast<unsigned char>(s[i++]) != m) return false;
    return true;
}

std::string readRaw(const std::string &sysPath)
{
    std::string data;
    const int fd = ::open(sysPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

} // namespace

// --- URLs and the desktop's browser ----------------------------------------------------

bool IsHttpUrl(const std::string &S)
{
    const std::string t = Trim(S);
    return t.compare(0, 7, "http://") == 0 || t.compare(0, 8, "https://") == 0;
}

BrowserLauncher SetBrowserLauncher(BrowserLauncher Launcher)
{
    std::lock_guard<std::mutex> lock(settingsMutex());
    BrowserLauncher previous = std::move(launcherRef());
    launcherRef() = std::move(Launcher);
    return previous;
}

bool OpenUrlInBrowser(const std::string &Url)
{
    if (Url.empty() || Url[0] == '-') return false;
    const std::vector<std::string> argv{"xdg-open", ToSystemPath(Url)};
    BrowserLauncher launcher;
    {
        std::lock_guard<std::mutex> lock(settingsMutex());
        launcher = launcherRef();
    }
    return launcher ? launcher(argv) : spawnDetached(argv);
}

// --- fetch and download ------------------------------------------------------------------

void SetHttpTimeouts(const HttpTimeouts &Timeouts)
{
    std::lock_guard<std::mutex> lock(settingsMutex());
    timeoutsRef() = Timeouts;
}

HttpTimeouts GetHttpTimeouts()
{
    std::lock_guard<std::mutex> lock(settingsMutex());
    return timeoutsRef();
}

std::string HttpGetText(const std::string &Url)
{
    std::string body;
    const bool ok = httpGet(Url, [&body](const char *d, size_t n) {
        body.append(d, n);
        return true;
    });
    return ok ? body : std::string();
}

HttpResponse HttpFetch(const std::string &Url) { return HttpFetchUntil(Url, nullptr); }

HttpResponse HttpFetchUntil(const std::string &Url, const std::atomic<bool> *Cancel)
{
    HttpResponse r;
    if (Cancel && Cancel->load()) {
        r.EffectiveUrl = Url;
        r.Error = "cancelled";
        return r;
    }
    GetInfo info;
    const bool ok = httpGet(
        Url,
        [&r](const char *d, size_t n) {
            r.Body.append(d, n);
            return true;
        },
        &info, Cancel);
    r.Ok = ok;
    r.Status = info.status;
    r.EffectiveUrl = info.effectiveUrl.empty() ? Url : info.effectiveUrl;
    r.ContentType = info.contentType;
    r.Error = info.error;
    return r;
}

std::optional<std::vector<std::string>> HttpGetToStrings(const std::string &Url)
{
    std::string body;
    const bool ok = httpGet(Url, [&body](const char *d, size_t n) {
        body.append(d, n);
        return true;
    });
    if (!ok) return std::nullopt;
    return splitLines(body);
}

bool HttpGetToMemo(const std::string &Url, const std::function<void(const std::string &)> &AddLine)
{
    const auto lines = HttpGetToStrings(Url);
    if (!lines) return false;
    for (const std::string &line : *lines) AddLine(line);
    return true;
}

bool DownloadUrlToFile(const std::string &Url, const std::string &FileName)
{
    if (Url == FileName || Trim(FileName).empty() || filePart(FileName).empty()) return false;
    if (HasUnsafeSegment(FileName)) return false;
    const std::string target = ToSystemPath(FileName);
    std::string tmp;
    const int fd = OpenTempFileBeside(target, tmp);
    if (fd < 0) return false;
    const bool got = httpGet(Url, [fd](const char *d, size_t n) {
        while (n > 0) {
            const ssize_t w = ::write(fd, d, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            d += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    });
    const bool closed = ::close(fd) == 0;
    if (!got || !closed || ::rename(tmp.c_str(), target.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool DownloadAndCheckFile(const std::string &Url, const std::string &FileName)
{
    if (PosEx("http://", Url) == 0 && PosEx("https://", Url) == 0) return false;
    const std::string probe = folderPart(FileName) + "ww" + filePart(FileName);
    if (!DownloadUrlToFile(Url, probe)) return false;
    const std::string sysProbe = ToSystemPath(probe);
    const std::string sample = readRaw(sysProbe);

    std::string finalName;
    if (startsWithBytes(sample, {'G', 'I', 'F', '8', '7', 'a'}) || startsWithBytes(sample, {'G', 'I', 'F', '8', '9', 'a'}))
        finalName = ChangeFileExtension(FileName, ".gif");
    else if (startsWithBytes(sample, {0xFF, 0xD8, 0xFF}))
        finalName = ChangeFileExtension(FileName, ".jpg");
    else if (startsWithBytes(sample, {0x89, 0x50, 0x4E, 0x47}))
        finalName = ChangeFileExtension(FileName, ".png");
    else if (PosText("<html", sample) > 0) {
        ::unlink(sysProbe.c_str()); // an error or login page, not the file asked for
        return false;
    } else
        finalName = FileName;

    if (::rename(sysProbe.c_str(), ToSystemPath(finalName).c_str()) != 0) {
        ::unlink(sysProbe.c_str());
        return false;
    }
    return true;
}

// --- search pages and the editing page's HTML fix-ups ---------------------------------

bool IsSearchEngineOwnLink(const std::string &Url)
{
    const std::string u = LowerCase(Url);
    const std::string hostAndPath = u.substr(0, u.find_first_of("?#"));
    return hostAndPath.find("google") != std::string::npos || hostAndPath.find("yahoo") != std::string::npos ||
           u.find("search?q=") != std::string::npos;
}

std::optional<std::vector<std::string>> ExtractResultLinks(const std::string &Html, const std::string &Left,
                                                           const std::string &Right, const std::string &Prefix,
                                                           bool IgnoreMarkerCase)
{
    if (Left.empty() || Right.empty()) return std::nullopt;
    // Markers are searched in a copy of the same length, so positions hold in the original.
    const std::string hay = IgnoreMarkerCase ? LowerCase(Html) : Html;
    const std::string left = IgnoreMarkerCase ? LowerCase(Left) : Left;
    const std::string right = IgnoreMarkerCase ? LowerCase(Right) : Right;
    int p = PosEx(left, hay);
    if (p == 0) return std::nullopt;
    std::vector<std::string> list;
    while (p > 0) {
        const int start = p + static_cast<int>(left.size());  // 1-based, first byte after Left
        const int end = PosEx(right, hay, start - 1);
        if (end == 0) break;
        const std::string item = Html.substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start));
        const std::string url = item.substr(0, item.find("\">"));
        if (item.compare(0, Prefix.size(), Prefix) == 0 && !IsSearchEngineOwnLink(url)) list.push_back(item);
        p = PosEx(left, hay, start - 1);
    }
    return list;
}

namespace {
void appendUtf8(std::string &out, unsigned long cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The Shift_JIS text of one code point; NUL, surrogates and values beyond Unicode are no
// characters and become "?".
std::string codePointToSjis(unsigned long cp)
{
    if (cp == 0xA0) return " ";
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return "?";
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    std::string u;
    appendUtf8(u, cp);
    return Utf8ToAnsi(u);
}

// The names pages use in titles and URLs; others stay as they stand.
const std::pair<const char *, unsigned long> kNamedRefs[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"middot", 0xB7},
    {"yen", 0xA5},     {"times", 0xD7},   {"divide", 0xF7},  {"lsquo", 0x2018}, {"rsquo", 0x2019},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"deg", 0xB0},     {"plusmn", 0xB1},  {"sect", 0xA7},
};
} // namespace

std::string DecodeCharacterReferences(const std::string &S)
{
    std::string out;
    out.reserve(S.size());
    size_t i = 0;
    // '&' and ';' never occur as the second byte of a Shift_JIS character.
    while (i < S.size()) {
        if (S[i] != '&') {
            out += S[i++];
            continue;
        }
        const size_t semi = S.find(';', i + 1);
        if (semi == std::string::npos || semi - i > 12) {
            out += S[i++];
            continue;
        }
        const std::string body = S.substr(i + 1, semi - i - 1);
        std::string decoded;
        if (body.size() >= 2 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const std::string digits = body.substr(hex ? 2 : 1);
            const char *allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
            if (!digits.empty() && digits.size() <= 8 && digits.find_first_not_of(allowed) == std::string::npos)
                decoded = codePointToSjis(std::stoul(digits, nullptr, hex ? 16 : 10));
        } else {
            for (const auto &[name, cp] : kNamedRefs)
                if (body == name) decoded = codePointToSjis(cp);
        }
        if (decoded.empty()) {
            out += S[i++];
            continue;
        }
        out += decoded;
        i = semi + 1;
    }
    return out;
}

std::string NormalizeHtmlForSjis(const std::string &Html)
{
    std::string s = Html;
    for (const char *cs : {"charset=EUC-JP", "charset=euc-jp", "charset=UTF-8", "charset=utf-8"})
        s = ReplaceFirst(s, cs, "charset=Shift_JIS");
    s = ReplaceAllIgnoreCase(s, "&amp;nbsp;", "&nbsp;");
    s = ReplaceAllIgnoreCase(s, "<META ", "<meta ");
    s = ReplaceAllIgnoreCase(s, "<SCRIPT", "<script");
    s = ReplaceAllIgnoreCase(s, "<HTML", "<html");
    s = ReplaceAllIgnoreCase(s, "</HTML", "</html");
    s = ReplaceAllIgnoreCase(s, "</TITLE", "</title");
    s = ReplaceFirst(s, "charset=Shift-JIS", "charset=Shift_JIS");
    s = ReplaceAllIgnoreCase(s, "HTTP-EQUIV=\"CONTENT-TYPE\"", "http-equiv=\"Content-Type\"");
    s = ReplaceAllIgnoreCase(s, "HTTP-EQUIV=\"CONTENT-SCRIPT-TYPE\"", "http-equiv=\"Content-Script-Type\"");
    s = ReplaceAllIgnoreCase(s, "HTTP-EQUIV=\"CONTENT-STYLE-TYPE\"", "http-equiv=\"Content-Style-Type\"");
    s = ReplaceAllIgnoreCase(s, "NAME=\"", "name=\"");
    // The editor's placeholders back to tags.
    s = ReplaceAllIgnoreCase(s, "<^^>", "<br />");
    s = ReplaceAllIgnoreCase(s, "{!-- =={iframe", "<iframe");
    s = ReplaceAllIgnoreCase(s, "}{/iframe}== --}", "></iframe>");
    s = ReplaceAll(s, kCommentOpenPlaceholder, "<!--");
    s = ReplaceAll(s, kCommentClosePlaceholder, "-->");
    s = ReplaceAllIgnoreCase(s, "<!--==<!-- ==", "");
    s = ReplaceAllIgnoreCase(s, "== -->==-->", "");
    s = ReplaceAllIgnoreCase(s, "<!-- ==<iframe", "<iframe");
    return s;
}

std::string CheckLocalFolderInTags(const std::string &Html)
{
    if (Html.empty()) return {};
    const std::string lower = LowerCase(Html);
    std::string found;
    for (const char *d : {"c:/", "d:/", "e:/", "f:/", "g:/", "h:/"})
        if (PosEx(d, lower) > 0) found = std::string(d, 2);
    if (PosEx("file:", lower) > 0) found = "file:";
    // An absolute path counts where a reference starts: an attribute value or a url().
    for (const char *dir : {"/home/", "/root/", "/tmp/", "/mnt/", "/media/"})
        for (const char *open : {"=\"", "='", "=", "(", "(\"", "('"})
            if (PosEx(std::string(open) + dir, lower) > 0) found = dir;
    if (found.empty()) return {};
    // "<img・・>等のTag内に、【 ﾛｰｶﾙ・ﾌｧｲﾙのﾌｫﾙﾀﾞｰ 】が、含まれています  - 【 " + found + " 】"
    static const char head[] =
        "<img\x81" "E\x81" "E>\x93\x99\x82\xCCTag\x93\xE0\x82\xC9\x81" "A\x81y \xDB\xB0\xB6\xD9\x81"
        "E\xCC\xA7\xB2\xD9\x82\xCC\xCC\xAB\xD9\xC0\xDE\xB0 \x81z\x82\xAA\x81"
        "A\x8A\xDC\x82\xDC\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7  - \x81y ";
    return std::string(head) + found + " \x81z";
}

bool IsLocalPathText(const std::string &S)
{
    const std::string t = Trim(S);
    if (t.empty()) return false;
    return t[0] == '/' || LowerCase(t).compare(0, 5, "file:") == 0 || t.find(":\\") != std::string::npos;
}

std::string ToXhtml(const std::string &Line)
{
    if (Line.compare(0, 9, "<!DOCTYPE") == 0)
        return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
               "\"http://www.w3.org/TR/html4/loose.dtd\">";
    const std::string l = LowerCase(Line);
    if (l.compare(0, 5, "<html") == 0) return "<html lang=\"ja\">";

    std::string w = Line;
    if (l == "<style>" || l == "</style>" || l == "</script>")
        w = ReplaceAllIgnoreCase(w, l, l);
    if (l == "<script>" || l == "<script language=\"javascript\">")
        w = ReplaceAllIgnoreCase(w, l, "<script type=\"text/javascript\">");

    if (l.compare(0, 5, "<meta") == 0 && l.find("/>") == std::string::npos) {
        w = ReplaceFirst(w, "<META ", "<meta ");
        return ReplaceFirst(w, ">", " />");
    }
    if (l == "</head>") w = ReplaceAllIgnoreCase(w, "</HEAD>", "</head>");
    if (l.compare(0, 5, "<link") == 0 && l.find("/>") == std::string::npos) {
        w = ReplaceFirst(w, "<LINK ", "<link ");
        return ReplaceFirst(w, ">", " />");
    }
    if (l.find("<br") != std::string::npos) return ReplaceAllIgnoreCase(w, "<br>", "<br />");
    return w;
}

std::string NormalizeLineBreaks(const std::string &S)
{
    std::string out;
    out.reserve(S.size() + S.size() / 16);
    for (size_t i = 0; i < S.size(); ++i) {
        const char c = S[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < S.size() && S[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}
