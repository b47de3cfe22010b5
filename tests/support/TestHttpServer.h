// A real HTTP server on 127.0.0.1 for tests: routes are registered before start(),
// the port is chosen by the system, and the destructor stops and joins the thread.
#pragma once
#include <httplib.h>
#include <chrono>
#include <string>
#include <thread>

class TestHttpServer {
public:
    httplib::Server &server() { return srv_; }

    void start()
    {
        // One request per connection: a kept-alive browser connection would hold the
        // server's worker, and so the test's end, for the keep-alive time-out.
        srv_.set_keep_alive_max_count(1);
        port_ = srv_.bind_to_any_port("127.0.0.1");
        // The socket listens once bound: early connections wait in its backlog.
        thread_ = std::thread([this] { srv_.listen_after_bind(); });
        // stop() is a no-op until the thread has entered its accept loop, so a test that ends
        // at once would otherwise leave the thread listening and the destructor's join waiting
        // for ever. The wait itself is bounded; a server still not running after it is left to the
        // test's own time-out.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!srv_.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ~TestHttpServer()
    {
        srv_.stop();
        if (thread_.joinable()) thread_.join();
    }

    int port() const { return port_; }
    std::string url(const std::string &path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    httplib::Server srv_;
    std::thread thread_;
    int port_ = 0;
};
