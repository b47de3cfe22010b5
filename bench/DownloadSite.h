// The site both clients download in the download benchmarks, and the comparison they print:
// the fixture site or a folder of the user's, served on 127.0.0.1 with the same uncompressed
// bytes for every client; the server's log says what each obtained.
#pragma once
#include "support/FixtureSite.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace downloadbench {

struct LogEntry {
    std::string host, target;
    int status = 0;
    bool html = false; // answered as an HTML page
};

// The server: the fixture site, or a folder of the user's.
class Site {
public:
    virtual ~Site() = default;
    virtual std::string pageUrl() const = 0;
    virtual std::vector<LogEntry> log() const = 0;
    virtual void clearLog() = 0;
    // The start page's bytes as served.
    virtual std::string pageBody() const = 0;
};

class FixtureServer : public Site {
public:
    std::string pageUrl() const override { return site_.pageUrl(); }
    std::vector<LogEntry> log() const override
    {
        std::vector<LogEntry> out;
        for (const auto &e : site_.entries()) {
            const std::string path = e.target.substr(0, e.target.find('?'));
            const bool html = path.size() >= 5 && path.compare(path.size() - 5, 5, ".html") == 0;
            out.push_back({e.host, e.target, e.status, html});
        }
        return out;
    }
    void clearLog() override { site_.clearLog(); }
    std::string pageBody() const override { return site_.body("/site/index.html"); }

private:
    FixtureSite site_;
};

class FolderServer : public Site {
public:
    FolderServer(const std::string &folder, const std::string &page) : folder_(folder), page_(page)
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
                            res.status, res.get_header_value("Content-Type").rfind("text/html", 0) == 0});
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
    std::string pageBody() const override
    {
        std::ifstream in(folder_ + "/" + page_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    TestHttpServer srv_;
    std::string folder_, page_;
    mutable std::mutex m_;
    std::vector<LogEntry> log_;
};

inline bool imageLike(const std::string &path)
{
    std::string l = path;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char *e : {".png", ".gif", ".jpg", ".jpeg"})
        if (l.size() >= std::strlen(e) && l.compare(l.size() - std::strlen(e), std::strlen(e), e) == 0) return true;
    return false;
}

// The resource a request names: host and path, and the query unless the path names an image
// (the image step fetches "a.png" for "a.png?v=1").
inline std::string resourceOf(const LogEntry &e)
{
    const std::size_t q = e.target.find('?');
    const std::string path = e.target.substr(0, q);
    return e.host + (imageLike(path) || q == std::string::npos ? path : e.target);
}

// host + path of every frame and inline frame the page names: the only HTML pages that are
// requisites (a neighbour page named by <a> or <link rel="next"> is not).
inline std::set<std::string> framesOf(const std::string &pageUrl, const std::string &body)
{
    std::set<std::string> out;
    static const QRegularExpression re(QStringLiteral(R"re(<i?frame\b[^>]*?\ssrc\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QUrl base(QString::fromStdString(pageUrl));
    // Latin-1 keeps every byte of a page in any encoding; references to frames are ASCII in practice.
    auto it = re.globalMatch(QString::fromLatin1(body.data(), qsizetype(body.size())));
    while (it.hasNext()) {
        const auto m = it.next();
        QString ref = m.captured(1) + m.captured(2) + m.captured(3);
        const QUrl u = base.resolved(QUrl(ref));
        out.insert(u.authority().toStdString() + u.path(QUrl::FullyDecoded).toStdString());
    }
    return out;
}

// Requests the image step leaves out by its own rules.
inline bool skippedByRule(const std::string &resource)
{
    std::string l = resource;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return l.find_first_of("#+[]()") != std::string::npos || l.find(".pdf") != std::string::npos;
}

struct Outcome {
    std::vector<double> seconds; // every run that ended with the page written
    double median() const
    {
        if (seconds.empty()) return 0;
        std::vector<double> s = seconds;
        std::sort(s.begin(), s.end());
        const std::size_t n = s.size();
        return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
    double best() const { return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end()); }
    double worst() const { return seconds.empty() ? 0 : *std::max_element(seconds.begin(), seconds.end()); }
    int htmlPages = 0; // HTML pages fetched that the page does not frame (not counted as requisites)
    std::set<std::string> obtained;
    std::map<std::string, int> requests;
    int failures = 0;
    int failedRuns = 0;
};

// Times of runs, each into a fresh folder; what the last run asked for. A run that times a
// part of itself returns its seconds (a negative number: the run failed); otherwise the whole
// call is timed.
template <class Run>
Outcome measure(Site &site, int runs, Run run)
{
    const std::string url = site.pageUrl();
    const std::string pageKey = url.substr(url.find("//") + 2);
    const std::set<std::string> frames = framesOf(url, site.pageBody());
    Outcome o;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        site.clearLog();
        const auto t0 = std::chrono::steady_clock::now();
        double s = 0;
        if constexpr (std::is_same_v<decltype(run(std::string())), double>) {
            s = run(dir.path().toStdString());
            if (s < 0) ++o.failedRuns;
        } else {
            run(dir.path().toStdString());
            s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        }
        if (s >= 0) o.seconds.push_back(s);
        if (i + 1 == runs) {
            for (const LogEntry &e : site.log()) {
                ++o.requests[e.host + e.target];
                // Requisites only: the page itself is no requisite.
                if (e.host + e.target == pageKey) continue;
                if (e.status >= 200 && e.status < 300 && e.html && !frames.count(e.host + e.target.substr(0, e.target.find('?'))))
                    ++o.htmlPages;
                else if (e.status >= 200 && e.status < 400)
                    o.obtained.insert(resourceOf(e));
                else
                    ++o.failures;
            }
        }
    }
    return o;
}

inline std::string arg(int argc, char **argv, const char *name)
{
    const std::string p = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind(p, 0) == 0) return std::string(argv[i]).substr(p.size());
    return {};
}


// The fixture site, or FOLDER with PAGE in it when --site is given.
inline std::unique_ptr<Site> siteFromArgs(int argc, char **argv)
{
    const std::string folder = arg(argc, argv, "site");
    if (folder.empty()) return std::make_unique<FixtureServer>();
    const std::string page = arg(argc, argv, "page");
    return std::make_unique<FolderServer>(folder, page.empty() ? "index.html" : page);
}

inline int runsFromArgs(int argc, char **argv)
{
    const std::string r = arg(argc, argv, "runs");
    return std::max(1, std::atoi(r.empty() ? "5" : r.c_str()));
}

inline Outcome measureWget(Site &site, int runs, const std::string &wget)
{
    const std::string url = site.pageUrl();
    return measure(site, runs, [&](const std::string &dir) {
        const std::string cmd = "'" + wget + "' -q -p -k -E -e robots=off -nv -P '" + dir + "' '" + url + "' >/dev/null 2>&1";
        std::system(cmd.c_str());
    });
}

// Requisites, differences, failed requests, and the ratios files and time (ours / wget).
inline void report(const std::string &url, int runs, const Outcome &theirs, const Outcome &ours)
{
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("page: %s (%d runs; load average %.2f %.2f %.2f)\n", url.c_str(), runs, load[0], load[1], load[2]);
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
    std::printf("HTML pages fetched that are no frame of the page (not requisites): wget %d, ours %d\n", theirs.htmlPages,
                ours.htmlPages);
    const double files = theirs.obtained.empty() ? 0.0 : double(ours.obtained.size()) / double(theirs.obtained.size());
    const double time = theirs.median() > 0 ? ours.median() / theirs.median() : 0.0;
    if (ours.failedRuns > 0) std::printf("ours: %d of %d runs did not end with the page written\n", ours.failedRuns, runs);
    std::printf("time, median (best-worst): wget %.3f s (%.3f-%.3f), ours %.3f s (%.3f-%.3f)\n", theirs.median(),
                theirs.best(), theirs.worst(), ours.median(), ours.best(), ours.worst());
    std::printf("ratio files (ours / wget): %.2f\n", files);
    std::printf("ratio time of the medians (ours / wget): %.2f   (target: at most 1.50)\n", time);
    std::printf("target: every requisite wget obtains is obtained too: %s (%d wget only, %d not by a skip rule); "
                "each URL once: %s\n",
                unexplained == 0 ? "met" : "NOT met", wgetOnly, unexplained, repeated == 0 ? "yes" : "no");
}

} // namespace downloadbench
