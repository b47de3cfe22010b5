// A line-query server on a chosen address for tests: it answers each connection's first line with
// what its handler returns, then closes. It runs on its own thread, waits for each step at most a
// few seconds and stops with its destructor.
#pragma once
#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class ScriptedServer {
public:
    using Handler = std::function<std::string(const std::string &query)>;

    // Port 0 takes a free one; port() tells it.
    ScriptedServer(const std::string &addr, int port, Handler h) : handler_(std::move(h))
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(std::uint16_t(port));
        a.sin_addr.s_addr = ::inet_addr(addr.c_str());
        ok_ = ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd_, 8) == 0;
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (ok_) thread_ = std::thread([this] { run(); });
    }
    ~ScriptedServer()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    bool ok() const { return ok_; }
    int port() const { return port_; }
    int connections() const { return connections_; }
    std::string lastQuery() const
    {
        std::lock_guard<std::mutex> l(m_);
        return last_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1) continue;
            int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            ++connections_;
            std::string q;
            for (int waited = 0; q.find("\r\n") == std::string::npos && waited < 3000 && !stop_; waited += 50) {
                pollfd cp{c, POLLIN, 0};
                if (::poll(&cp, 1, 50) != 1) continue;
                char buf[512];
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                q.append(buf, std::size_t(n));
            }
            {
                std::lock_guard<std::mutex> l(m_);
                last_ = q;
            }
            std::string answer = handler_(q);
            ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    Handler handler_;
    int fd_ = -1;
    int port_ = 0;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex m_;
    std::string last_;
    std::thread thread_;
};
