#include "text/WebFetch.h"

#include "text/JCode.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> listDir(const fs::path &dir)
{
    std::set<std::string> out;
    for (const auto &e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

// Bytes that a text-minded reader would cut: NULs throughout, well past 1024 bytes.
std::string binaryBody()
{
    std::string b;
    for (int i = 0; i < 5000; ++i) b += static_cast<char>(i % 7 == 0 ? 0 : i % 251);
    return b;
}

// "テスト\r\n" in UTF-16LE with a byte-order mark: every other byte is NUL.
const std::string kUtf16Body("\xFF\xFE\xC6\x30\xB9\x30\xC8\x30\r\0\n\0", 12);

const std::string kGif = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00,", 14);
const std::string kJfif = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
const std::string kExif = std::string("\xFF\xD8\xFF\xE1\x00\x10" "Exif\x00\x00", 12);
const std::string kPng = std::string("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR", 16);

// A port on which nothing listens.
int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

// Holds a handler until the test lets it go (or a bound passes), so a server can stall
// without leaving a thread behind.
class Gate {
public:
    void waitOpen()
    {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, std::chrono::seconds(60), [this] { return open_; });
    }
    void open()
    {
        std::lock_guard<std::mutex> lock(m_);
        open_ = true;
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

class WebFetch : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/vk-webfetch-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        auto &s = server_.server();
        s.Get("/bin", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(binaryBody(), "application/octet-stream");
        });
        s.Get("/utf16", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(kUtf16Body, "text/plain; charset=utf-16");
        });
        s.Get("/redirect", [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/bin"); });
        s.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("<html>not found</html>", "text/html");
        });
        s.Get("/error", [](const httplib::Request &, httplib::Response &res) {
            res.status = 500;
            res.set_content("oops", "text/plain");
        });
        s.Get("/lines", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("one\r\ntwo\nthree\rfour\r\n\r\n" + std::string(3000, 'L') + "\r\nlast", "text/plain");
        });
        s.Get("/empty", [](const httplib::Request &, httplib::Response &res) { res.set_content("", "text/plain"); });
        // Promises 1000 bytes, sends 400, then drops the connection.
        s.Get("/cut", [](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(1000, "application/octet-stream",
                                     [](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset > 0) return false;
                                         sink.write(std::string(400, 'c').data(), 400);
                                         return true;
                                     });
        });
        // Sends a little, then says nothing until the gate opens.
        s.Get("/stall", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(1000, "application/octet-stream",
                                     [this](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset == 0) {
                                             sink.write("0123456789", 10);
                                             return true;
                                         }
                                         gate_.waitOpen();
                                         return false;
                                     });
        });
        for (const auto &[path, body, type] : std::vector<std::tuple<std::string, std::string, std::string>>{
                 {"/gif", kGif, "image/gif"},
                 {"/jfif", kJfif, "image/jpeg"},
                 {"/exif", kExif, "image/jpeg"},
                 {"/png", kPng, "image/png"},
                 {"/page", "<!DOCTYPE html>\n<HTML><body>Sorry, GIF and JFIF are gone</body></HTML>", "text/html"},
                 {"/css", "body { background: url(GIF.gif) }", "text/css"},
             }) {
            s.Get(path, [body = body, type = type](const httplib::Request &, httplib::Response &res) {
                res.set_content(body, type);
            });
        }
        server_.start();
    }
    void TearDown() override
    {
        gate_.open();
        fs::remove_all(dir_);
    }
    std::string path(const std::string &rel) const { return (dir_ / rel).string(); }

    Gate gate_;
    TestHttpServer server_;
    fs::path dir_;
};

} // namespace

TEST(WebFetchUrls, IsHttpUrl)
{
    for (const char *yes : {"http://a", "https://a/b", "  https://x", "\t\r\nhttp://x \r\n"})
        EXPECT_TRUE(IsHttpUrl(yes)) << yes;
    for (const char *no : {"HTTP://a", "ftp://a", "", "   ", "http:/a", " x http://a", "file:///a"})
        EXPECT_FALSE(IsHttpUrl(no)) << no;
}

TEST_F(WebFetch, HttpGetTextKeepsTheBodyWhole)
{
    EXPECT_EQ(HttpGetText(server_.url("/bin")), binaryBody());
    EXPECT_EQ(HttpGetText(server_.url("/utf16")), kUtf16Body);
    EXPECT_EQ(HttpGetText(server_.url("/redirect")), binaryBody());
    EXPECT_EQ(HttpGetText(server_.url("/empty")), "");
}

TEST_F(WebFetch, HttpFailuresGiveNothing)
{
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    for (const std::string &url : {server_.url("/missing"), server_.url("/error"), refused,
                                   std::string("file:///etc/hostname"), std::string("not a url")}) {
        EXPECT_EQ(HttpGetText(url), "") << url;
        EXPECT_FALSE(HttpGetToStrings(url)) << url;
        bool called = false;
        EXPECT_FALSE(HttpGetToMemo(url, [&](const std::string &) { called = true; })) << url;
        EXPECT_FALSE(called);
    }
}

TEST_F(WebFetch, LinesSplitAtLineEnds)
{
    const std::vector<std::string> expected{"one", "two", "three", "four", "", std::string(3000, 'L'), "last"};
    EXPECT_EQ(HttpGetToStrings(server_.url("/lines")), expected);
    std::vector<std::string> memo;
    EXPECT_TRUE(HttpGetToMemo(server_.url("/lines"), [&](const std::string &l) { memo.push_back(l); }));
    EXPECT_EQ(memo, expected);
    EXPECT_EQ(HttpGetToStrings(server_.url("/empty")), std::vector<std::string>{});
}

TEST_F(WebFetch, StalledServerTimesOut)
{
    const HttpTimeouts saved = GetHttpTimeouts();
    SetHttpTimeouts({2000, 500});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGetText(server_.url("/stall")), "");
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/stall"), path("stalled.bin")));
    // Bounded: each of the two calls gives up after about a second of silence.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(listDir(dir_).empty());
    SetHttpTimeouts(saved);
}

TEST_F(WebFetch, DownloadUrlToFile)
{
    EXPECT_TRUE(DownloadUrlToFile(server_.url("/bin"), path("a.bin")));
    EXPECT_EQ(readFile(dir_ / "a.bin"), binaryBody());

    // Failures leave no file, and an older file stays as it was.
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/cut"), path("cut.bin")));
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/missing"), path("missing.html")));
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/cut"), path("a.bin")));
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/missing"), path("a.bin")));
    EXPECT_EQ(readFile(dir_ / "a.bin"), binaryBody());
    EXPECT_EQ(listDir(dir_), std::set<std::string>{"a.bin"});

    EXPECT_FALSE(DownloadUrlToFile(path("same"), path("same")));
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/bin"), path("no/such/folder/x.bin")));
    EXPECT_FALSE(DownloadUrlToFile(server_.url("/bin"), path("sub/../../escape.bin")));
    EXPECT_FALSE(fs::exists(dir_.parent_path() / "escape.bin"));

    // A Shift_JIS name lands as UTF-8.
    const std::string sjis = "\x89\xE6\x91\x9C.bin"; // "画像.bin"
    EXPECT_TRUE(DownloadUrlToFile(server_.url("/bin"), dir_.string() + "/" + sjis));
    EXPECT_EQ(readFile(dir_ / SjisToUtf8(sjis)), binaryBody());
}

TEST_F(WebFetch, DownloadAndCheckFileNamesByContent)
{
    const struct {
        const char *path;
        bool result;
        const char *file; // what is left in the folder, empty for nothing
        std::string content;
    } cases[] = {
        {"/gif", true, "img.gif", kGif},
        {"/jfif", true, "img.jpg", kJfif},
        {"/exif", true, "img.jpg", kExif},
        {"/png", true, "img.png", kPng},
        {"/css", true, "img.tmp", "body { background: url(GIF.gif) }"},
        {"/page", false, "", ""},    // an HTML page that mentions GIF is no image
        {"/missing", false, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        // An older file of the same name is replaced.
        if (*c.file) std::ofstream(dir_ / c.file) << "old";
        EXPECT_EQ(DownloadAndCheckFile(server_.url(c.path), path("img.tmp")), c.result);
        if (*c.file) {
            EXPECT_EQ(listDir(dir_), std::set<std::string>{c.file});
            EXPECT_EQ(readFile(dir_ / c.file), c.content);
        } else {
            EXPECT_TRUE(listDir(dir_).empty());
        }
        fs::remove_all(dir_);
        fs::create_directory(dir_);
    }
    EXPECT_FALSE(DownloadAndCheckFile("ftp://127.0.0.1/x", path("img.tmp")));
}

TEST(WebFetchBrowser, OpenUrlInBrowserPassesOneArgument)
{
    std::vector<std::vector<std::string>> calls;
    const BrowserLauncher previous = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
        calls.push_back(argv);
        return true;
    });
    const std::string tricky = "http://x/a b\" --new-window 'c'; rm -rf ~ $(id)";
    EXPECT_TRUE(OpenUrlInBrowser(tricky));
    EXPECT_TRUE(OpenUrlInBrowser("/tmp/\x95\x5C.html")); // "表.html"
    EXPECT_FALSE(OpenUrlInBrowser("--help"));
    EXPECT_FALSE(OpenUrlInBrowser(""));
    SetBrowserLauncher(previous);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"xdg-open", tricky}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{"xdg-open", "/tmp/\xE8\xA1\xA8.html"}));
}

TEST(WebFetchBrowser, DefaultLauncherRunsXdgOpenWithoutAShell)
{
    // A stand-in "xdg-open" first in PATH records the arguments it was given, one per line.
    char tmpl[] = "/tmp/vk-opener-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path dir = tmpl;
    const fs::path record = dir / "args.txt";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << record << ".part\n"
               << "mv " << record << ".part " << record << "\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

    const std::string url = "http://x/a b;touch " + (dir / "pwned").string() + " $(id)";
    EXPECT_TRUE(OpenUrlInBrowser(url));
    ::setenv("PATH", oldPath.c_str(), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(record) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(readFile(record), url + "\n");
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    fs::remove_all(dir);
}

TEST(WebFetchHtml, ExtractResultLinks)
{
    const std::string html = "<a href=\"http://a.jp/1\">x</a> <a href=\"https://b.jp/\">y</a>"
                             "<a href=\"/rel\">z</a><a href=\"http://www.google.com/x\">g</a>"
                             "<a href=\"http://s.jp/search?q=1\">s</a><a href=\"http://c.jp/yahoo\">h</a>"
                             "<a href=\"http://d.jp/\">d</a><a href=\"http://unclosed";
    EXPECT_EQ(ExtractResultLinks(html, "href=\"", "\"", "http"),
              (std::vector<std::string>{"http://a.jp/1", "https://b.jp/", "http://d.jp/"}));
    EXPECT_FALSE(ExtractResultLinks("<p>no links</p>", "href=\"", "\"", "http"));
    EXPECT_FALSE(ExtractResultLinks(html, "", "\"", "http"));
}

TEST(WebFetchHtml, ResultLinksAboutTheEnginesStayTheEnginesOwnGo)
{
    // Items "URL\">title": the engine words are looked for in the URL's host and path only.
    const std::string html =
        ")\" href=\"http://a.jp/drive\">Google \x83\x68\x83\x89\x83\x43\x83\x75\x82\xCC\x8E\x67\x82\xA2\x95\xFB</a>"
        ")\" href=\"http://b.jp/?ref=Yahoo\">Yahoo!\x92\x6D\x8C\x62\x91\xDC\x82\xDC\x82\xC6\x82\xDF</A>"
        ")\" href=\"http://www.Google.co.jp/preferences\">settings</a>"
        ")\" href=\"http://search.YAHOO.co.jp/x\">more</a>"
        ")\" href=\"http://c.jp/search?q=next\">next</a>"
        ")\" href=\"https://d.jp/\">d</a>";
    const auto items = ExtractResultLinks(html, ")\" href=\"", "</A>", "http", true);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0].substr(0, 21), "http://a.jp/drive\">Go");
    EXPECT_EQ((*items)[1].substr(0, 22), "http://b.jp/?ref=Yahoo");
    EXPECT_EQ((*items)[2], "https://d.jp/\">d");
    // Markers keep their letter case unless told otherwise: only the one "</A>" ends items.
    const auto exact = ExtractResultLinks(html, ")\" href=\"", "</A>", "http");
    ASSERT_EQ(exact->size(), 2u);
    EXPECT_NE((*exact)[0].find("</a>"), std::string::npos);
}

TEST(WebFetchHtml, DecodeCharacterReferences)
{
    const struct {
        const char *in, *out;
    } rows[] = {
        {"?a=1+2&amp;b=C%2B%2B", "?a=1+2&b=C%2B%2B"},
        {"Tom &amp; Jerry &#38; &quot;cat&quot; &#x27;x&#X27;", "Tom & Jerry & \"cat\" 'x'"},
        {"&lt;b&gt;&nbsp;&#160;", "<b>  "},
        {"&#x3042;&#12354;", "\x82\xA0\x82\xA0"},  // "あ" both ways
        {"&#x1F600;&#0;&#xD800;", "???"},            // not in Shift_JIS, no character
        {"&unknown; & alone &amp &#; &#xZZ; &#99999999999;", "&unknown; & alone &amp &#; &#xZZ; &#99999999999;"},
        {"\x83\x41&amp;\x83\x43", "\x83\x41&\x83\x43"},
        {"", ""},
    };
    for (const auto &r : rows) EXPECT_EQ(DecodeCharacterReferences(r.in), r.out) << r.in;
}

TEST(WebFetchHtml, ToXhtml)
{
    const struct {
        const char *in, *out;
    } cases[] = {
        {"<!DOCTYPE html>",
         "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">"},
        {"<!doctype html>", "<!doctype html>"},
        {"<HTML xmlns=\"x\">", "<html lang=\"ja\">"},
        {"<META name=\"x\" content=\"y\">", "<meta name=\"x\" content=\"y\" />"},
        {"<meta charset=\"a\" />", "<meta charset=\"a\" />"},
        {"<LINK rel=\"stylesheet\" href=\"a.css\">", "<link rel=\"stylesheet\" href=\"a.css\" />"},
        {"a<BR>b<br>c<Br>", "a<br />b<br />c<br />"},
        {"<SCRIPT>", "<script type=\"text/javascript\">"},
        {"<script language=\"JavaScript\">", "<script type=\"text/javascript\">"},
        {"<STYLE>", "<style>"},
        {"</SCRIPT>", "</script>"},
        {"</HEAD>", "</head>"},
        {"<p>Text</p>", "<p>Text</p>"},
    };
    for (const auto &c : cases) EXPECT_EQ(ToXhtml(c.in), c.out) << c.in;
}

TEST(WebFetchHtml, NormalizeHtmlForSjis)
{
    const std::string open = kCommentOpenPlaceholder, close = kCommentClosePlaceholder;
    const struct {
        std::string in, out;
    } cases[] = {
        {"<META HTTP-EQUIV=\"CONTENT-TYPE\" content=\"text/html; charset=EUC-JP\">",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
        {"charset=utf-8 charset=utf-8", "charset=Shift_JIS charset=utf-8"},
        {"<HTML><TITLE>t</TITLE></HTML>", "<html><TITLE>t</title></html>"},
        {"<SCRIPT>a&amp;nbsp;b</SCRIPT> NAME=\"n\"", "<script>a&nbsp;b</SCRIPT> name=\"n\""},
        {"a<^^>b", "a<br />b"},
        {"x " + open + " note " + close + " y", "x <!-- note --> y"},
        {"{!-- =={iframe src=\"a\"}{/iframe}== --}", "<iframe src=\"a\"></iframe>"},
        // Minified script keeps its own braces and decrements.
        {"<script>for(;;){i--}if(a){!--b}</script>", "<script>for(;;){i--}if(a){!--b}</script>"},
    };
    for (const auto &c : cases) EXPECT_EQ(NormalizeHtmlForSjis(c.in), c.out) << c.in;
}

TEST(WebFetchHtml, CheckLocalFolderInTags)
{
    const std::string head = "<img・・>等のTag内に、【 ﾛｰｶﾙ・ﾌｧｲﾙのﾌｫﾙﾀﾞｰ 】が、含まれています  - 【 ";
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<img src=\"C:/a.gif\"><img src=\"e:/b.gif\">")), head + "e: 】");
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<img src=\"H:/x\">")), head + "h: 】");
    EXPECT_EQ(CheckLocalFolderInTags("<img src=\"c:\\a.gif\">"), "");
    EXPECT_EQ(CheckLocalFolderInTags(""), "");
    // This machine's own files.
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<img src=\"/home/u/a.gif\">")), head + "/home/ 】");
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<img src='/tmp/x.png'>")), head + "/tmp/ 】");
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<div style=\"background:url(/media/c/b.jpg)\">")), head + "/media/ 】");
    EXPECT_EQ(SjisToUtf8(CheckLocalFolderInTags("<a href=\"FILE:///etc/x\">x</a>")), head + "file: 】");
    // A site's own root-relative references, and paths in running text, are not local files.
    EXPECT_EQ(CheckLocalFolderInTags("<img src=\"/img/a.gif\"><a href=\"/home.html\">home</a>"), "");
    EXPECT_EQ(CheckLocalFolderInTags("<p>see /home/user for details</p>"), "");
}

TEST(WebFetchHtml, IsLocalPathText)
{
    const struct {
        const char *in;
        bool local;
    } rows[] = {
        {"/home/u/page.html", true}, {"  /tmp/a.html", true},  {"file:///home/u/a.html", true},
        {"FILE:/x", true},           {"c:\\a\\b.html", true}, {"http://a.jp/", false},
        {"a/b.html", false},         {"", false},             {"mailto:a@b", false},
    };
    for (const auto &r : rows) EXPECT_EQ(IsLocalPathText(r.in), r.local) << r.in;
}

TEST(WebFetchHtml, NormalizeLineBreaks)
{
    EXPECT_EQ(NormalizeLineBreaks("a\nb\rc\r\nd\r\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
}
