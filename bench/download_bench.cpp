// The whole-page download beside wget on the same site, in one run: each client downloads the
// page with its requisites into a fresh folder (best time of several runs), and the server's
// log says what each obtained. Prints the requisites of each, what one got and the other did
// not, and the ratios files (ours / wget) and time (ours / wget).
//
// Usage (bench/download.sh runs it): download_bench --wget=PATH [--site=FOLDER --page=PATH] [--runs=N]
// Without --site the test fixture site is served; with it, FOLDER is served on 127.0.0.1 and
// PATH (relative to FOLDER) is the page to start from.
#include "download/DownloadEngine.h"
#include "download/PageNames.h"
#include "support/FixtureSite.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct LogEntry {
    std::string host, target;
    int status = 0;
};

// The server: the fixture site, or a folder of the user's.
class Site {
public:
    virtual ~Site() = default;
    virtual std::string pageUrl() const = 0;
    virtual std::vector<LogEntry> log() const = 0;
    virtual void clearLog() = 0;
};

class FixtureServer : public Site {
public:
    std::string pageUrl() const override { return site_.pageUrl(); }
    std::vector<LogEntry> log() const override
    {
        std::vector<LogEntry> out;
        for (const auto &e : site_.entries()) out.push_back({e.host, e.target, e.status});
        return out;
    }
    void clearLog() override { site_.clearLog(); }

private:
    FixtureSite site_;
};

class FolderServer : public Site {
public:
    FolderServer(const std::string &folder, const std::string &page) : page_(page)
    {
        auto &s = srv_.server();
        s.set_mount_point("/", folder);
        // The same bytes for both clients (no compression for the one that asks for it).
        s.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &) {
            const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
            return httplib::Server::HandlerResponse::Unhandled;
        });
        s.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
            std::lock_guard<std::mutex> lock(m_);
            const std::size_t q = req.target.find('?');
            log_.push_back({req.get_header_value("Host"), req.path + (q == std::string::npos ? "" : req.target.substr(q)),
                            res.status});
        });
        srv_.start();
    }
    std::string pageUrl() const override { return srv_.url("/" + page_); }
    std::vector<LogEntry> log() const override
    {
        std::lock_guard<std::mutex> lock(m_);
        return log_;
    }
    void clearLog() override
    {
        std::lock_guard<std::mutex> lock(m_);
        log_.clear();
    }

private:
    TestHttpServer srv_;
    std::string page_;
    mutable std::mutex m_;
    std::vector<LogEntry> log_;
};

bool imageLike(const std::string &path)
{
    std::string l = path;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char *e : {".png", ".gif", ".jpg", ".jpeg"})
        if (l.size() >= std::strlen(e) && l.compare(l.size() - std::strlen(e), std::strlen(e), e) == 0) return true;
    return false;
}

// The resource a request names: host and path, and the query unless the path names an image
// (the image step fetches "a.png" for "a.png?v=1").
std::string resourceOf(const LogEntry &e)
{
    const std::size_t q = e.target.find('?');
    const std::string path = e.target.substr(0, q);
    return e.host + (imageLike(path) || q == std::string::npos ? path : e.target);
}

// Requests the image step leaves out by its own rules.
bool skippedByRule(const std::string &resource)
{
    std::string l = resource;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return l.find_first_of("#+[]()") != std::string::npos || l.find(".pdf") != std::string::npos;
}

struct Outcome {
    double bestSeconds = 1e9;
    std::set<std::string> obtained;
    std::map<std::string, int> requests;
    int failures = 0;
};

template <class Run>
Outcome measure(Site &site, int runs, Run run)
{
    const std::string url = site.pageUrl();
    const std::string pageKey = url.substr(url.find("//") + 2);
    Outcome o;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        site.clearLog();
        const auto t0 = std::chrono::steady_clock::now();
        run(dir.path().toStdString());
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        o.bestSeconds = std::min(o.bestSeconds, s);
        if (i + 1 == runs) {
            for (const LogEntry &e : site.log()) {
                ++o.requests[e.host + e.target];
                // Requisites only: the page itself is no requisite.
                if (e.host + e.target == pageKey) continue;
                if (e.status >= 200 && e.status < 400)
                    o.obtained.insert(resourceOf(e));
                else
                    ++o.failures;
            }
        }
    }
    return o;
}

std::string arg(int argc, char **argv, const char *name)
{
    const std::string p = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind(p, 0) == 0) return std::string(argv[i]).substr(p.size());
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string wget = arg(argc, argv, "wget");
    if (wget.empty()) {
        std::puts("download_bench: run through bench/download.sh, which finds wget");
        return 0;
    }
    const int runs = std::max(1, std::atoi(arg(argc, argv, "runs").empty() ? "3" : arg(argc, argv, "runs").c_str()));
    std::unique_ptr<Site> site;
    const std::string folder = arg(argc, argv, "site");
    if (folder.empty())
        site = std::make_unique<FixtureServer>();
    else
        site = std::make_unique<FolderServer>(folder, arg(argc, argv, "page").empty() ? "index.html" : arg(argc, argv, "page"));
    const std::string url = site->pageUrl();

    const Outcome theirs = measure(*site, runs, [&](const std::string &dir) {
        const std::string cmd = "'" + wget + "' -q -p -k -E -e robots=off -nv -P '" + dir + "' '" + url + "' >/dev/null 2>&1";
        std::system(cmd.c_str());
    });
    const Outcome ours = measure(*site, runs, [&](const std::string &dir) {
        DownloadEngine e;
        const std::string local = "index.html";
        e.Opt.BaseWebDir = MainBaseDirNamesOf(url, local).BaseWebDir.value_or("");
        e.DownloadAll(url, local, dir + "/");
    });

    std::printf("page: %s (best of %d runs)\n", url.c_str(), runs);
    std::printf("requisites obtained: wget %zu, ours %zu (target: ours at least wget's: %s)\n", theirs.obtained.size(),
                ours.obtained.size(), ours.obtained.size() >= theirs.obtained.size() ? "met" : "NOT met");
    int wgetOnly = 0, unexplained = 0;
    for (const std::string &r : theirs.obtained)
        if (!ours.obtained.count(r)) {
            ++wgetOnly;
            const bool rule = skippedByRule(r);
            unexplained += !rule;
            std::printf("  wget only: %s%s\n", r.c_str(), rule ? "   (left out by the image step's skip rules)" : "");
        }
    for (const std::string &r : ours.obtained)
        if (!theirs.obtained.count(r)) std::printf("  ours only: %s\n", r.c_str());
    int repeated = 0;
    for (const auto &[target, n] : ours.requests)
        if (n > 1) {
            ++repeated;
            std::printf("  ours asked %d times: %s\n", n, target.c_str());
        }
    std::printf("failed requests (status 400 or more): wget %d, ours %d\n", theirs.failures, ours.failures);
    const double files = theirs.obtained.empty() ? 0.0 : double(ours.obtained.size()) / double(theirs.obtained.size());
    const double time = theirs.bestSeconds > 0 ? ours.bestSeconds / theirs.bestSeconds : 0.0;
    std::printf("time: wget %.3f s, ours %.3f s\n", theirs.bestSeconds, ours.bestSeconds);
    std::printf("ratio files (ours / wget): %.2f\n", files);
    std::printf("ratio time (ours / wget): %.2f   (target: at most 1.50)\n", time);
    std::printf("target: every requisite wget obtains is obtained too: %s (%d wget only, %d not by a skip rule); "
                "each URL once: %s\n",
                unexplained == 0 ? "met" : "NOT met", wgetOnly, unexplained, repeated == 0 ? "yes" : "no");
    return 0;
}
