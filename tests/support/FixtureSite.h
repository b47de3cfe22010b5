// A small web site served on 127.0.0.1 for the download tests and benchmarks: a Shift_JIS
// main page one folder below the root with its style sheets (an @import chain, sheets in
// UTF-8 and Shift_JIS, a sheet that answers 404, one that answers with an HTML error page,
// one behind a redirect), a script, images named in tags and only in style sheets, a
// percent-encoded Japanese name, a second host ("localhost" on the same server) and
// references that try to leave the save folder. Every request is recorded.
#pragma once
#include "TestHttpServer.h"
#include "text/JCode.h"
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FixtureSite {
public:
    FixtureSite()
    {
        auto &s = srv_.server();
        s.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
            std::lock_guard<std::mutex> lock(m_);
            log_.push_back(req.path + (req.params.empty() ? "" : "?" + queryOf(req)));
            entries_.push_back({req.get_header_value("Host"), log_.back(), res.status});
        });
        s.Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) { serve(req, res); });
        // Every client gets the same bytes: the server compresses for a client that asks
        // (curl does, wget does not), which a comparison of clients must not reward.
        s.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &) {
            const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
            return httplib::Server::HandlerResponse::Unhandled;
        });
        srv_.start();
        build();
    }

    ~FixtureSite() { release(); }

    // Holds every request of one path until release(), at most 30 s each, so that a test can act
    // while a run is known to be in the middle of that fetch.
    void hold(const std::string &path)
    {
        std::lock_guard<std::mutex> lock(gateM_);
        heldPath_ = path;
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(gateM_);
            heldPath_.clear();
        }
        gateCv_.notify_all();
    }
    // Requests waiting on hold() now.
    int held() const
    {
        std::lock_guard<std::mutex> lock(gateM_);
        return waiting_;
    }

    int port() const { return srv_.port(); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port()); }
    std::string url(const std::string &path) const { return "http://" + host() + path; }
    std::string otherHost() const { return "localhost:" + std::to_string(port()); }
    std::string pageUrl() const { return url("/site/index.html"); }

    // Requests of one path (with its query), or of every path.
    int requests(const std::string &pathAndQuery) const
    {
        std::lock_guard<std::mutex> lock(m_);
        int n = 0;
        for (const std::string &p : log_) n += p == pathAndQuery;
        return n;
    }
    std::vector<std::string> log() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return log_;
    }
    void clearLog()
    {
        std::lock_guard<std::mutex> lock(m_);
        log_.clear();
        entries_.clear();
    }
    // Every request with the host it named and the status it got.
    struct Entry {
        std::string host, target;
        int status = 0;
    };
    std::vector<Entry> entries() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return entries_;
    }

    // The bytes a path serves (for byte-identity checks).
    const std::string &body(const std::string &path) const { return files_.at(path).body; }

    // Adds or replaces a file.
    void put(const std::string &path, const std::string &body, const std::string &type, int status = 200)
    {
        std::lock_guard<std::mutex> lock(m_);
        files_[path] = {body, type, status};
    }

    static std::string sjis(const std::string &utf8) { return Utf8ToAnsi(utf8); }
    static std::string png() { return std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16); }
    static std::string gif() { return "GIF89a\x01\x00\x01\x00\x00\x00\x00;"; }

private:
    struct File {
        std::string body, type;
        int status = 200;
    };

    static std::string queryOf(const httplib::Request &req)
    {
        const std::string &t = req.target;
        const std::size_t q = t.find('?');
        return q == std::string::npos ? std::string() : t.substr(q + 1);
    }

    void serve(const httplib::Request &req, httplib::Response &res)
    {
        if (req.path == "/site/css/redir.css") {
            res.status = 302;
            res.set_header("Location", "/site/css/real.css");
            return;
        }
        {
            std::unique_lock<std::mutex> gate(gateM_);
            if (!heldPath_.empty() && req.path == heldPath_) {
                ++waiting_;
                gateCv_.wait_for(gate, std::chrono::seconds(30), [&] { return heldPath_ != req.path; });
                --waiting_;
            }
        }
        std::lock_guard<std::mutex> lock(m_);
        auto it = files_.find(req.path);
        if (it == files_.end()) {
            res.status = 404;
            res.set_content("<html><body>404 Not Found</body></html>", "text/html");
            return;
        }
        res.status = it->second.status;
        std::string body = it->second.body;
        // The server fills its own port into absolute references.
        for (std::size_t p; (p = body.find("@PORT@")) != std::string::npos;) body.replace(p, 6, std::to_string(port()));
        res.set_content(body, it->second.type.c_str());
    }

    void build()
    {
        const std::string page = sjis(
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
            "<title>日本語のページ</title>\n"
            "<link rel=\"stylesheet\" href=\"css/a.css\">\n"
            "<link rel=\"stylesheet\" href=\"/site/css/utf8.css\">\n"
            "<link rel=\"stylesheet\" href=\"//127.0.0.1:@PORT@/site/css/sjis.css\">\n"
            "<link rel=\"stylesheet\" href=\"http://127.0.0.1:@PORT@/site/css/redir.css\">\n"
            "<link rel=\"stylesheet\" href=\"css/missing.css\">\n"
            "<link rel=\"stylesheet\" href=\"css/errpage.css\">\n"
            "<link rel=\"stylesheet\" href=\"http://localhost:@PORT@/other/x.css\">\n"
            "<script src=\"js/app.js?ver=2\"></script>\n"
            "<style>p { background: url(img/inline.png); }</style>\n"
            "</head><body background=\"img/bg.gif\">\n"
            "<p>本文です。</p>\n"
            "<img src=\"img/a.png?v=1\"><img src=img/unquoted.png>\n"
            "<img src=\"../top.png\"><img src=\"%E6%97%A5%E6%9C%AC.png\">\n"
            "<img src=\"../../../../escape.png\"><img src=\"%2e%2e/x.png\">\n"
            "<table background=\"img/table.gif\"><tr><td>x</td></tr></table>\n"
            "</body></html>\n");
        files_["/site/index.html"] = {page, "text/html", 200};
        files_["/site/euc.html"] = {SjisToEuc(sjis("<html><head><meta charset=\"euc-jp\"><title>日本</title>"
                                                   "<link href=\"css/a.css\" rel=\"stylesheet\"></head><body>文字</body></html>"),
                                              0),
                                    "text/html", 200};
        files_["/site/utf8.html"] = {"<html><head><meta charset=\"utf-8\"><title>日本</title>"
                                     "<link href=\"css/a.css\" rel=\"stylesheet\"></head><body>©文字</body></html>",
                                     "text/html", 200};
        files_["/site/css/a.css"] = {"@import \"b.css\";\nbody { background: url(../img/a1.png); }\n"
                                     ".r { background-image: url(/site/img/root.png); }\n",
                                     "text/css", 200};
        files_["/site/css/b.css"] = {"@import url(../sub/c.css);\n.b { background-image: url('/site/img/b1.png') }\n",
                                     "text/css", 200};
        files_["/site/sub/c.css"] = {".c { background: url(\"img/c1.png\"); }\n", "text/css", 200};
        files_["/site/css/utf8.css"] = {"@charset \"UTF-8\";\n.u:after { content: \"日本語\"; }\n"
                                        ".n:after { content: \"©\u00a0\"; }\n",
                                        "text/css", 200};
        files_["/site/css/sjis.css"] = {sjis("/* utf-8 ではありません */\n.s:after { content: \"漢字\"; }\n"),
                                        "text/css", 200};
        files_["/site/css/real.css"] = {".real { color: red; }\n", "text/css", 200};
        files_["/site/css/errpage.css"] = {"<!DOCTYPE html><html><body>Error</body></html>", "text/plain", 200};
        files_["/other/x.css"] = {".x { background: url(/other/x.png); }\n", "text/css", 200};
        files_["/site/js/app.js"] = {"var a = \"/api/\"; var b = '/'; var c = \"utf-8\";\n"
                                     "var d = \"<html>\"; var u = \"url(/x.png)\";\n",
                                     "application/javascript", 200};
        for (const char *img : {"/site/img/a.png", "/site/img/unquoted.png", "/top.png", "/site/日本.png",
                                "/site/img/a1.png", "/site/img/b1.png", "/site/sub/img/c1.png", "/site/img/root.png",
                                "/site/img/inline.png", "/other/x.png"})
            files_[img] = {png(), "image/png", 200};
        files_["/site/img/bg.gif"] = {gif(), "image/gif", 200};
        files_["/site/img/table.gif"] = {gif(), "image/gif", 200};
    }

    mutable std::mutex m_;
    std::vector<std::string> log_;
    std::vector<Entry> entries_;
    std::map<std::string, File> files_;
    mutable std::mutex gateM_;
    std::condition_variable gateCv_;
    std::string heldPath_;
    int waiting_ = 0;
    TestHttpServer srv_; // last: stopped and joined before the state its handlers use goes
};
