// The whole-page run on the fixture site, headless: what lands in the folder, that every
// reference of the copy resolves to a file beside it, the folder hygiene, and the stop.
#include "download/DownloadEngine.h"
#include "download/PageNames.h"
#include "download/SaveTree.h"
#include "support/FixtureSite.h"
#include "support/TestHttpServer.h"
#include "support/TrickleSite.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/HtmlScan.h"
#include "text/JCode.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <sys/resource.h>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string readFile(const std::string &path)
{
    QFile f(QString::fromUtf8(ToSystemPath(path).c_str()));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

std::string lf(std::string s)
{
    for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
    return s;
}

bool exists(const std::string &path) { return QFile::exists(QString::fromUtf8(ToSystemPath(path).c_str())); }

// Every file under the folder, relative, in Shift_JIS.
std::vector<std::string> tree(const std::string &root)
{
    std::vector<std::string> out;
    QDirIterator it(QString::fromStdString(root), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        out.push_back(FromSystemName(p.mid(static_cast<int>(root.size()) + 1).toStdString()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Where a reference written in a local file leads, "" for one that leaves the file system
// (a scheme) or that names no file.
std::string localTarget(const std::string &root, const std::string &fileRel, std::string ref)
{
    ref = ref.substr(0, ref.find('#'));
    if (ref.empty() || ref.find(':') != std::string::npos || ref.rfind("//", 0) == 0) return {};
    const std::string decoded = Utf8ToAnsi(QUrl::fromPercentEncoding(QByteArray::fromStdString(ref)).toStdString());
    const std::string folder = fileRel.substr(0, fileRel.rfind('/') + 1);
    return ConfinePathToRoot(root, root + "/" + folder + decoded);
}

struct Ref {
    std::string file, value;
};

// The src, href, background, url() and @import references of a saved page or sheet.
std::vector<Ref> refsOf(const std::string &root, const std::string &rel)
{
    const std::string text = readFile(root + "/" + rel);
    std::vector<Ref> out;
    auto css = [&](const std::string &t) {
        for (const CssRef &r : ScanCssRefs(t)) out.push_back({rel, CssRefValue(t, r)});
    };
    if (rel.size() > 4 && rel.compare(rel.size() - 4, 4, ".css") == 0) {
        css(text);
        return out;
    }
    std::string last;
    for (const HtmlToken &t : ScanHtml(text)) {
        const std::string tag = text.substr(t.begin, t.end - t.begin);
        if (t.kind == HtmlToken::Kind::Raw && last == "style") css(tag);
        if (t.kind != HtmlToken::Kind::StartTag) continue;
        last = t.name;
        for (const HtmlAttr &a : ParseTagAttrs(tag)) {
            std::string n = tag.substr(a.nameBegin, a.nameEnd - a.nameBegin);
            std::transform(n.begin(), n.end(), n.begin(), ::tolower);
            if (a.hasValue && (n == "src" || n == "href" || n == "background"))
                out.push_back({rel, tag.substr(a.valueBegin, a.valueEnd - a.valueBegin)});
        }
    }
    return out;
}

struct SiteRun {
    FixtureSite site;
    QTemporaryDir parent;
    std::string root = parent.path().toStdString() + "/save";
    std::string sentinel = parent.path().toStdString() + "/sentinel";
    DownloadEngine e;
    SiteRun()
    {
        QDir().mkpath(QString::fromStdString(root));
        QDir().mkpath(QString::fromStdString(sentinel));
        QFile f(QString::fromStdString(sentinel + "/keep.txt"));
        f.open(QIODevice::WriteOnly);
        f.write("sentinel");
    }
    int go(const std::string &url, const std::string &local = "index.html")
    {
        e.Opt.BaseWebDir = MainBaseDirNamesOf(url, local).BaseWebDir.value_or("");
        return e.DownloadAll(url, local, root + "/");
    }
};

} // namespace

TEST(Pipeline, FixturePageLandsWithEveryReferenceResolvingOffline)
{
    SiteRun r;
    const auto cwdBefore = QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ASSERT_EQ(r.go(r.site.pageUrl()), 0) << r.e.InfoLabel;
    auto &e = r.e;
    const auto &site = r.site;
    EXPECT_EQ(e.GlobalFile, r.root + "/index.html");

    // Images byte-identical, wherever the run put them; "a.png?v=1" as "a.png".
    const struct {
        std::string url, served;
    } images[] = {
        {site.url("/site/img/a.png?v=1"), "/site/img/a.png"},
        {site.url("/site/img/unquoted.png"), "/site/img/unquoted.png"},
        {site.url("/top.png"), "/top.png"},
        {site.url("/site/%E6%97%A5%E6%9C%AC.png"), "/site/日本.png"},
        {site.url("/site/img/a1.png"), "/site/img/a1.png"},
        {site.url("/site/img/b1.png"), "/site/img/b1.png"},
        {site.url("/site/sub/img/c1.png"), "/site/sub/img/c1.png"},
        {site.url("/site/img/root.png"), "/site/img/root.png"},
        {site.url("/site/img/inline.png"), "/site/img/inline.png"},
        {site.url("/site/img/bg.gif"), "/site/img/bg.gif"},
        {site.url("/site/img/table.gif"), "/site/img/table.gif"},
        {"http://" + site.otherHost() + "/other/x.png", "/other/x.png"},
    };
    for (const auto &i : images) {
        const std::string rel = e.SavedRel(i.url);
        ASSERT_FALSE(rel.empty()) << i.url;
        EXPECT_EQ(readFile(r.root + "/" + rel), site.body(i.served)) << i.url;
    }
    EXPECT_EQ(e.SavedRel(site.url("/site/img/a.png?v=1")), "img/a.png");
    EXPECT_EQ(e.SavedRel(site.url("/site/%E6%97%A5%E6%9C%AC.png")), J("日本.png"));

    // Style sheets and the script: the fetched copy beside each, byte-identical; the sheet
    // behind the redirect saved under the name the page uses.
    std::vector<std::string> texts = {"index.html"};
    const struct {
        std::string url, served;
    } sheets[] = {
        {site.url("/site/css/a.css"), "/site/css/a.css"},     {site.url("/site/css/b.css"), "/site/css/b.css"},
        {site.url("/site/sub/c.css"), "/site/sub/c.css"},     {site.url("/site/css/utf8.css"), "/site/css/utf8.css"},
        {site.url("/site/css/sjis.css"), "/site/css/sjis.css"}, {site.url("/site/css/redir.css"), "/site/css/real.css"},
        {"http://" + site.otherHost() + "/other/x.css", "/other/x.css"},
    };
    for (const auto &s : sheets) {
        const std::string rel = e.SavedRel(s.url);
        ASSERT_FALSE(rel.empty()) << s.url;
        const std::string folder = rel.substr(0, rel.rfind('/') + 1);
        EXPECT_EQ(readFile(r.root + "/" + folder + "ZZ" + rel.substr(folder.size())), site.body(s.served)) << s.url;
        texts.push_back(rel);
    }
    // One copy of each sheet, beside the images (the page's web folder left out as for them).
    EXPECT_EQ(e.SavedRel(site.url("/site/css/a.css")), "css/a.css");
    for (const std::string &f : tree(r.root)) EXPECT_EQ(f.rfind("site/", 0), std::string::npos) << f;
    const std::string js = e.SavedRel(site.url("/site/js/app.js?ver=2"));
    ASSERT_FALSE(js.empty());
    EXPECT_EQ(lf(readFile(r.root + "/" + js)), site.body("/site/js/app.js"));

    // Every reference of the copy names a file beside it, except the ones the site lacks
    // (named where a repair would put them, inside the folder).
    const std::set<std::string> notOnSite = {"css/missing.css", "css/errpage.css", "escape.png", "x.png"};
    for (const std::string &rel : texts) {
        const std::string text = readFile(r.root + "/" + rel);
        // A name the mapper refuses ("%2e%2e") keeps its address.
        const std::string refused = site.url("/site/%2e%2e/x.png");
        for (const Ref &ref : refsOf(r.root, rel)) {
            if (ref.value == refused) continue;
            const std::string target = localTarget(r.root, rel, ref.value);
            ASSERT_FALSE(target.empty()) << rel << ": " << ref.value;
            if (notOnSite.count(target.substr(r.root.size() + 1))) continue;
            EXPECT_TRUE(exists(target)) << rel << ": " << ref.value;
        }
        // No reference to the server stays (the saved-from comment names where the page came from).
        std::string body = ReplaceAll(text, refused, "");
        if (rel == "index.html") body = body.substr(body.find('\n'));
        EXPECT_EQ(body.find("//127.0.0.1"), std::string::npos) << rel;
        EXPECT_EQ(body.find("//localhost"), std::string::npos) << rel;
    }
    const std::string page = readFile(r.root + "/index.html");
    EXPECT_EQ(page.rfind("<!-- saved from \"" + site.pageUrl() + "\" by VORN-KYMBrowser -->", 0), 0u);
    EXPECT_NE(page.find(J("<p>本文です。</p>")), std::string::npos);
    EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos);

    // The failures, and nothing else, are not obtained.
    const auto &nf = e.Lines("ListBoxPageControlMainTopRightTab11WebNotFoundFile");
    for (const char *n : {"missing.css", "errpage.css"})
        EXPECT_NE(std::find(nf.begin(), nf.end(), n), nf.end()) << n;
    for (const std::string &n : nf)
        EXPECT_TRUE(n == "missing.css" || n == "errpage.css" || n == "escape.png" || n == "x.png") << n;

    // One request per URL.
    std::map<std::string, int> seen;
    for (const std::string &p : site.log()) ++seen[p];
    for (const auto &[p, n] : seen) EXPECT_EQ(n, 1) << p;

    // Nothing outside the folder: the sentinel beside it, the current directory.
    EXPECT_EQ(tree(r.sentinel), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(readFile(r.sentinel + "/keep.txt"), "sentinel");
    EXPECT_EQ(QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), cwdBefore);
    for (const std::string &f : tree(r.root)) EXPECT_EQ(f.rfind("ww", 0), std::string::npos) << f;

    // The lists of the run.
    EXPECT_FALSE(e.Lines("ListBoxBodyImageDownloaded").empty());
    EXPECT_TRUE(exists(r.root + "/" + J("画像一覧ﾘｽﾄ.txt")));
}

TEST(Pipeline, PagesInEucJpAndUtf8AreSavedAsShiftJis)
{
    for (const char *path : {"/site/euc.html", "/site/utf8.html"}) {
        SiteRun r;
        ASSERT_EQ(r.go(r.site.url(path), "page.html"), 0) << path;
        const std::string page = readFile(r.root + "/page.html");
        EXPECT_NE(page.find(J("<title>日本</title>")), std::string::npos) << path;
        EXPECT_NE(page.find(J("文字")), std::string::npos) << path;
        EXPECT_NE(page.find("charset=\"Shift_JIS\""), std::string::npos) << path;
        EXPECT_EQ(readFile(r.root + "/ZZpage.html"), r.site.body(path)) << path;
    }
}

TEST(Pipeline, ASecondRunRemovesTheFirstRunsFilesAndKeepsTheUsers)
{
    SiteRun r;
    ASSERT_EQ(r.go(r.site.pageUrl()), 0);
    ASSERT_TRUE(exists(r.root + "/top.png"));
    QDir().mkpath(QString::fromStdString(r.root + "/mine"));
    for (const std::string &f : {r.root + "/notes.txt", r.root + "/img/my.png", r.root + "/mine/a.txt"}) {
        QFile q(QString::fromStdString(f));
        ASSERT_TRUE(q.open(QIODevice::WriteOnly));
        q.write("user");
    }
    // The page no longer names top.png: the first run's copy goes, the user's files stay.
    std::string page = r.site.body("/site/index.html");
    page.replace(page.find("<img src=\"../top.png\">"), std::string("<img src=\"../top.png\">").size(), "");
    r.site.put("/site/index.html", page, "text/html");
    ASSERT_EQ(r.go(r.site.pageUrl()), 0);
    EXPECT_FALSE(exists(r.root + "/top.png"));
    EXPECT_TRUE(exists(r.root + "/img/a.png"));
    for (const std::string &f : {r.root + "/notes.txt", r.root + "/img/my.png", r.root + "/mine/a.txt"})
        EXPECT_EQ(readFile(f), "user") << f;
    // Folders of the first run that held only its files go with them.
    r.site.put("/site/index.html", "<html><body>x</body></html>", "text/html");
    ASSERT_EQ(r.go(r.site.pageUrl()), 0);
    EXPECT_FALSE(exists(r.root + "/site/css/a.css"));
    EXPECT_FALSE(QDir(QString::fromStdString(r.root + "/site")).exists()) << [&] {
        std::string t;
        for (const auto &f : tree(r.root)) t += f + " ";
        return t;
    }();
    EXPECT_TRUE(exists(r.root + "/img/my.png"));

    // With the folder kept, nothing of the earlier run is removed.
    r.e.Opt.DoNotEmptyFolder = true;
    r.site.put("/site/index.html", "<html><body>y</body></html>", "text/html");
    const auto before = tree(r.root);
    ASSERT_EQ(r.go(r.site.pageUrl()), 0);
    for (const std::string &f : before) EXPECT_TRUE(exists(r.root + "/" + f)) << f;
}

TEST(Pipeline, APageThatCannotBeFetchedIsAFailure)
{
    SiteRun r;
    EXPECT_EQ(r.go(r.site.url("/site/none.html"), "none.html"), -1);
    EXPECT_FALSE(exists(r.root + "/none.html"));
    EXPECT_FALSE(exists(r.root + "/ZZnone.html"));
    EXPECT_EQ(r.e.InfoLabel, J("■■　【 ") + r.site.url("/site/none.html") + J("  】がＷｅｂサイトに存在しません"));
}

TEST(Pipeline, StopCutsOffTheTransferInFlightAndWritesNothingMore)
{
    TrickleSite site;
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    DownloadEngine e;
    int result = 0;
    std::thread run([&] { result = e.DownloadAll(site.url("/p/index.html"), "index.html", root + "/"); });
    ASSERT_TRUE(site.waitTrickling());
    EXPECT_TRUE(e.Running());
    const auto t0 = std::chrono::steady_clock::now();
    const bool idle = e.StopAndWait(1000);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    run.join();
    EXPECT_TRUE(idle) << ms << " ms";
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(e.Running());
    // Neither the image in flight, nor the next one, nor the page.
    for (const std::string &f : tree(root)) EXPECT_EQ(f, kManifestName);
}

TEST(Pipeline, StopBetweenStepsEndsTheRunThere)
{
    // Pressed as a step begins: that step writes nothing and the run ends.
    const struct {
        const char *at;
        bool sheets;
    } cases[] = {{"2 - CSS download", false}, {"3 - Image download", true}};
    for (const auto &[at, sheets] : cases) {
        FixtureSite site;
        QTemporaryDir dir;
        DownloadEngine e;
        std::vector<std::string> steps;
        e.SetSink([&](const ListChange &c) {
            if (c.List != "StatusbarProcessState") return;
            steps.push_back(c.Lines.at(0));
            if (steps.back() == at) e.Stop = true;
        });
        e.Opt.BaseWebDir = "site/";
        const std::string root = dir.path().toStdString();
        EXPECT_EQ(e.DownloadAll(site.pageUrl(), "index.html", root + "/"), -1) << at;
        EXPECT_EQ(steps.back(), at);
        EXPECT_FALSE(exists(root + "/img/a.png")) << at;
        EXPECT_FALSE(exists(root + "/index.html")) << at;
        EXPECT_EQ(exists(root + "/css/a.css"), sheets) << at;
    }

    // Pressed before the start: nothing runs.
    FixtureSite site;
    QTemporaryDir dir;
    DownloadEngine e;
    std::vector<std::string> steps;
    e.SetSink([&](const ListChange &c) {
        if (c.List == "StatusbarProcessState") steps.push_back(c.Lines.at(0));
    });
    e.Stop = true;
    EXPECT_EQ(e.DownloadAll(site.pageUrl(), "index.html", dir.path().toStdString() + "/"), -1);
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(site.log().empty());
}

// The window's last stop is for good: a run its caller begins afterwards (with the stop flag
// cleared, as a queued start does) asks the server nothing and leaves the folder as it was, the
// files of the earlier run included.
TEST(Pipeline, NoRunBeginsAfterStopAndWait)
{
    FixtureSite site;
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    DownloadEngine e;
    e.Opt.BaseWebDir = "site/";
    ASSERT_EQ(e.DownloadAll(site.pageUrl(), "index.html", root + "/"), 0);
    const std::vector<std::string> before = tree(root);
    ASSERT_TRUE(exists(root + "/index.html"));
    EXPECT_TRUE(e.StopAndWait(1000));
    site.clearLog();
    e.Stop = false;
    e.Opt.DoNotEmptyFolder = false;
    EXPECT_EQ(e.DownloadAll(site.pageUrl(), "index.html", root + "/"), -1);
    e.Stop = false;
    e.MainTopCSSdownload(site.pageUrl(), root + "/", "site/", 0); // a step on its own, as a button starts it
    EXPECT_TRUE(site.log().empty());
    EXPECT_EQ(tree(root), before);
}

namespace {

// Percent-encoding of a UTF-8 path as a browser sends it ("/" kept).
std::string pct(const std::string &utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// A Japanese site: the same page in UTF-8 and in Shift_JIS, naming images with blanks,
// circled digits, a character outside the BMP and ポ (whose second Shift_JIS byte is "|"),
// one name written raw and with "%20", a neighbour page by <link rel=next>, a link to a page
// that is not saved, and (Shift_JIS page) a file the server keeps under its Shift_JIS name.
// Files are looked up by the path's bytes as the server decodes them; the log keeps the
// request targets as sent.
class JapaneseSite {
public:
    JapaneseSite()
    {
        const std::string refs = "<link rel=\"stylesheet\" href=\"s.css\">\n"
                                  "<link rel=\"next\" href=\"next.html\"><link rel=\"up\" href=\"../\">\n"
                                  "</head><body><a href=\"other.html#part\">他のページ</a>\n"
                                  "<img src=\"画像 フォルダ/写真 1.png\"><img src=\"①②.png\">\n"
                                  "<img src=\"ポスター.png\"><img src=\"a b.png\"><img src=\"a%20b.png\">\n";
        const std::string u8 = "<html><head><meta charset=\"utf-8\"><title>日本</title>\n" + refs +
                               "<img src=\"\xF0\xA0\xAE\xB7.png\"></body></html>\n";
        const std::string sj = Utf8ToAnsi("<html><head><meta charset=\"Shift_JIS\"><title>日本</title>\n" + refs +
                                          "<img src=\"旧名.png\">") +
                               "<img src=\"&#134071;.png\"></body></html>\n";
        for (const char *dir : {"/u/", "/s/"}) {
            const std::string d = dir;
            files_[d + "index.html"] = {d == "/u/" ? u8 : sj, "text/html"};
            // Each site's sheet in its page's encoding, without a charset of its own.
            const std::string css = ".p { background: url(\"ポスター.png\"); }\n";
            files_[d + "s.css"] = {d == "/u/" ? css : Utf8ToAnsi(css), "text/css"};
            files_[d + "next.html"] = {"<html><body>next</body></html>", "text/html"};
            files_[d + "other.html"] = {"<html><body>other</body></html>", "text/html"};
            for (const char *img : {"画像 フォルダ/写真 1.png", "①②.png", "ポスター.png", "a b.png", "\xF0\xA0\xAE\xB7.png"})
                files_[d + img] = {FixtureSite::png() + d + img, "image/png"};
        }
        // Kept under its Shift_JIS name: a UTF-8 request for it gets 404.
        files_[Utf8ToAnsi("/s/旧名.png")] = {FixtureSite::png() + "old", "image/png"};
        srv_.server().Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
            std::lock_guard<std::mutex> lock(m_);
            log_.push_back(req.target);
            auto it = files_.find(req.path);
            if (it == files_.end()) {
                res.status = 404;
                res.set_content("<html><body>404</body></html>", "text/html");
                return;
            }
            res.set_content(it->second.first, it->second.second.c_str());
        });
        srv_.start();
    }
    std::string url(const std::string &path) const { return srv_.url(path); }
    int requests(const std::string &target) const
    {
        std::lock_guard<std::mutex> lock(m_);
        return static_cast<int>(std::count(log_.begin(), log_.end(), target));
    }
    std::vector<std::string> log() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return log_;
    }
    std::string body(const std::string &path) const { return files_.at(path).first; }

private:
    mutable std::mutex m_;
    std::vector<std::string> log_;
    std::map<std::string, std::pair<std::string, std::string>> files_;
    TestHttpServer srv_;
};

} // namespace

TEST(Pipeline, JapaneseNamesAreFetchedAsABrowserAsksAndKeptOnDisk)
{
    JapaneseSite site;
    for (const char *dir : {"/u/", "/s/"}) {
        SCOPED_TRACE(dir);
        const std::string d = dir;
        QTemporaryDir tmp;
        const std::string root = tmp.path().toStdString();
        DownloadEngine e;
        e.Opt.BaseWebDir = d.substr(1);
        ASSERT_EQ(e.DownloadAll(site.url(d + "index.html"), "index.html", root + "/"), 0) << e.InfoLabel;

        // Each URL asked once, the path as UTF-8; neighbour pages and links never.
        std::map<std::string, int> seen;
        for (const std::string &t : site.log()) ++seen[t];
        for (const char *img : {"画像 フォルダ/写真 1.png", "①②.png", "ポスター.png", "a b.png", "\xF0\xA0\xAE\xB7.png"})
            EXPECT_EQ(seen[pct(d + img)], 1) << img;
        for (const auto &[t, n] : seen)
            if (t.find("%E6%97%A7") == std::string::npos) EXPECT_EQ(n, 1) << t; // the old name: asked twice
        for (const char *page : {"next.html", "other.html", ""}) EXPECT_EQ(seen[d + page], 0) << page;

        // On disk under the Japanese names (a character Shift_JIS lacks as its escapes).
        const struct {
            std::string served, local;
        } files[] = {{"画像 フォルダ/写真 1.png", J("画像 フォルダ/写真 1.png")},
                     {"①②.png", J("①②.png")},
                     {"ポスター.png", J("ポスター.png")},
                     {"a b.png", "a b.png"},
                     {"\xF0\xA0\xAE\xB7.png", "%F0%A0%AE%B7.png"}};
        for (const auto &f : files) EXPECT_EQ(readFile(root + "/" + f.local), site.body(d + f.served)) << f.local;

        // Every reference of the copy resolves to a saved file, or is the absolute URL of
        // what was not saved.
        for (const std::string rel : {std::string("index.html"), std::string("s.css")}) {
            for (const Ref &ref : refsOf(root, rel)) {
                if (ref.value.rfind("http://", 0) == 0) continue;
                const std::string target = localTarget(root, rel, ref.value);
                EXPECT_TRUE(!target.empty() && exists(target)) << rel << ": " << ref.value;
            }
        }
        const std::string page = readFile(root + "/index.html");
        for (const char *absent : {"next.html", "other.html#part"})
            EXPECT_NE(page.find("\"" + site.url(d + absent) + "\""), std::string::npos) << absent;
    }
    // The Shift_JIS page's file that the server keeps under its Shift_JIS name: asked as
    // UTF-8 first, then once as the page's own encoding.
    EXPECT_EQ(site.requests(pct("/s/旧名.png")), 1);
    EXPECT_EQ(site.requests("/s/%8B%8C%96%BC.png"), 1);
}

TEST(Pipeline, AFileThatCannotBeWrittenIsNotObtainedAndLeavesNoFolders)
{
    // A file-size limit makes the big image's write fail for root too (as a full disk does); a
    // path beyond the system's limit fails at its folders.
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += std::string(120, static_cast<char>('a' + i % 26)) + "/";
    TestHttpServer srv;
    const std::string page = "<html><body><img src=\"images/big.png\"><img src=\"small.png\"><img src=\"" + deep +
                             "x.png\"></body></html>";
    srv.server().Get(R"(/.*)", [&](const httplib::Request &req, httplib::Response &res) {
        if (req.path == "/w/index.html")
            res.set_content(page, "text/html");
        else if (req.path == "/w/images/big.png")
            res.set_content(FixtureSite::png() + std::string(40000, 'b'), "image/png");
        else
            res.set_content(FixtureSite::png(), "image/png");
    });
    srv.start();
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    DownloadEngine e;
    e.Opt.BaseWebDir = "w/";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16384;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int r = e.DownloadAll(srv.url("/w/index.html"), "index.html", root + "/");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(r, 0) << e.InfoLabel;
    EXPECT_TRUE(exists(root + "/small.png"));
    EXPECT_TRUE(exists(root + "/index.html"));
    EXPECT_EQ(e.WriteFailures, 2);
    EXPECT_NE(e.InfoLabel.find(J("書き込めなかったﾌｧｲﾙ: 2 個")), std::string::npos) << e.InfoLabel;
    const auto &nf = e.Lines("ListBoxPageControlMainTopRightTab11WebNotFoundFile");
    for (const char *n : {"big.png", "x.png"}) EXPECT_NE(std::find(nf.begin(), nf.end(), n), nf.end()) << n;
    const auto &attempts = e.Lines("ListBoxBodyImageDownloaded");
    EXPECT_TRUE(std::any_of(attempts.begin(), attempts.end(), [](const std::string &l) {
        return l.find("big.png") != std::string::npos && l.find(J("ﾌｧｲﾙを書き込めません")) != std::string::npos;
    }));
    // No folder made for what was not written.
    EXPECT_FALSE(QDir(QString::fromStdString(root + "/images")).exists());
    EXPECT_FALSE(QDir(QString::fromStdString(root + "/" + deep.substr(0, 120))).exists());
}

TEST(Pipeline, AFolderTypedWithDoubledDotAndParentSegmentsIsOneFolder)
{
    for (const char *typed : {"//save//", "/./save/./", "/x/../save", "/save///"}) {
        SiteRun r;
        const std::string folder = r.parent.path().toStdString() + typed;
        r.e.Opt.BaseWebDir = "site/";
        ASSERT_EQ(r.e.DownloadAll(r.site.pageUrl(), "index.html", folder), 0) << typed;
        EXPECT_EQ(r.e.GlobalFile, r.root + "/index.html") << typed;
        EXPECT_EQ(r.e.SavedRel(r.site.url("/site/img/a1.png")), "img/a1.png") << typed;
        EXPECT_TRUE(exists(r.root + "/img/a1.png")) << typed;
        const auto &lines = r.e.Lines("ListBoxBodyImageDownloaded");
        for (const std::string &l : lines)
            if (l.find("a1.png") != std::string::npos) EXPECT_NE(l.find(r.root + "/img/a1.png"), std::string::npos) << l;
    }
}
