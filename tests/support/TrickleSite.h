// A small site whose page "/p/index.html" names two images, "a-slow.png" and "b-next.png". One
// path of the three (the slow image by default, or the page itself) sends its body a byte a
// second, so a test can act while a transfer is known to be in flight. finish() ends the trickle
// at once (the slow transfer is cut off); the server counts the requests as they arrive.
#pragma once
#include "support/FixtureSite.h"
#include "support/TestHttpServer.h"
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <tuple>

class TrickleSite {
public:
    explicit TrickleSite(const std::string &slowPath = "/p/a-slow.png")
    {
        auto &s = srv_.server();
        s.set_pre_routing_handler([this](const httplib::Request &, httplib::Response &) {
            ++requests_; // counted as it arrives, before any answer
            return httplib::Server::HandlerResponse::Unhandled;
        });
        const auto plain = [](const std::string &body, const char *type) {
            return [body, type](const httplib::Request &, httplib::Response &res) { res.set_content(body, type); };
        };
        const std::string page = "<html><body><img src=\"a-slow.png\"><img src=\"b-next.png\"></body></html>";
        for (const auto &[path, body, type] : {std::tuple<std::string, std::string, const char *>{"/p/index.html", page, "text/html"},
                                               {"/p/a-slow.png", FixtureSite::png(), "image/png"},
                                               {"/p/b-next.png", FixtureSite::png(), "image/png"}}) {
            if (path != slowPath) {
                s.Get(path, plain(body, type));
                continue;
            }
            const std::string t = type;
            s.Get(path, [this, t](const httplib::Request &, httplib::Response &res) {
                res.set_content_provider(1000, t, [this](std::size_t, std::size_t, httplib::DataSink &sink) {
                    std::unique_lock<std::mutex> lock(m_);
                    ++bytes_;
                    cv_.notify_all();
                    if (cv_.wait_for(lock, std::chrono::seconds(1), [this] { return quit_; })) return false;
                    sink.write("x", 1);
                    return true;
                });
            });
        }
        srv_.start();
    }
    ~TrickleSite() { finish(); }
    std::string url(const std::string &path) const { return srv_.url(path); }
    std::string pageUrl() const { return url("/p/index.html"); }
    // True once the slow body has begun to trickle; waitTrickling() blocks (at most 30 s) for it,
    // for a caller without an event loop to keep running.
    bool trickling()
    {
        std::lock_guard<std::mutex> lock(m_);
        return bytes_ >= 2;
    }
    bool waitTrickling()
    {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(30), [this] { return bytes_ >= 2; });
    }
    // The slow transfer is cut off now, and any later one at its first byte.
    void finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            quit_ = true;
        }
        cv_.notify_all();
    }
    int requests() const { return requests_; }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int bytes_ = 0;
    bool quit_ = false;
    std::atomic<int> requests_{0};
    TestHttpServer srv_; // last: stopped before the state its handlers use goes
};
