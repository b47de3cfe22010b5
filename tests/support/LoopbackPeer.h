// Plain POSIX peers on 127.0.0.1 for socket tests: a listener, its accepted connections, and the
// ways a peer can behave (echo, read slowly, reset, half-close). Everything is non-blocking and driven
// from the test's own thread inside bounded waits, so the Qt loop of the code under test keeps running.
#pragma once
#include "WaitUntil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

class PeerConn {
public:
    explicit PeerConn(int fd = -1) : fd_(fd) {}
    PeerConn(PeerConn &&o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    PeerConn &operator=(PeerConn &&o) noexcept
    {
        std::swap(fd_, o.fd_);
        return *this;
    }
    ~PeerConn()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Writes everything, waiting (bounded) while the socket buffer is full.
    bool sendAll(const std::string &s, int timeoutMs = 5000)
    {
        std::size_t off = 0;
        return waitUntil([&] {
            while (off < s.size()) {
                ssize_t n = ::send(fd_, s.data() + off, s.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n <= 0) break;
                off += std::size_t(n);
            }
            return off == s.size();
        }, timeoutMs);
    }
    // What is there now, up to max bytes; sets eof() at end of stream and error() on failure.
    std::string readSome(std::size_t max = 65536)
    {
        if (eof_ || error_) return {};
        std::string out(max, '\0');
        ssize_t n = ::recv(fd_, out.data(), max, MSG_DONTWAIT);
        if (n == 0) eof_ = true;
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) error_ = errno;
            n = 0;
        }
        out.resize(std::size_t(n));
        return out;
    }
    // Collects until n bytes came, the stream ended or the time ran out.
    std::string readN(std::size_t n, int timeoutMs = 5000)
    {
        std::string got;
        waitUntil([&] {
            got += readSome(n - got.size());
            return got.size() >= n || eof_ || error_;
        }, timeoutMs);
        return got;
    }
    std::string readToEof(int timeoutMs = 5000)
    {
        std::string got;
        waitUntil([&] {
            got += readSome();
            return eof_ || error_;
        }, timeoutMs);
        return got;
    }
    bool eof() const { return eof_; }
    int error() const { return error_; }
    void halfClose() { ::shutdown(fd_, SHUT_WR); }
    // Closing with a zero linger time sends a reset instead of an end of stream.
    void reset()
    {
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        ::close(fd_);
        fd_ = -1;
    }
    void close()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool eof_ = false;
    int error_ = 0;
};

class LoopbackListener {
public:
    // rcvBuf > 0 shrinks the receive buffer that accepted connections inherit.
    explicit LoopbackListener(int backlog = 8, int rcvBuf = 0, int type = SOCK_STREAM)
    {
        fd_ = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
        if (rcvBuf > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvBuf, sizeof rcvBuf);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (type == SOCK_STREAM) ::listen(fd_, backlog);
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~LoopbackListener()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    int port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    int fd() const { return fd_; }
    PeerConn acceptOne(int timeoutMs = 5000)
    {
        int c = -1;
        waitUntil([&] {
            c = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            return c >= 0;
        }, timeoutMs);
        return PeerConn(c);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Fills a listener's accept queue (make it with a backlog of 0): the next connect to it stays pending.
inline std::vector<PeerConn> parkConnections(const LoopbackListener &l, int n = 3)
{
    std::vector<PeerConn> parked;
    for (int i = 0; i < n; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(std::uint16_t(l.port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        parked.emplace_back(fd);
    }
    return parked;
}

// A port on 127.0.0.1 with nothing listening: a connect there is refused.
inline int closedLoopbackPort()
{
    LoopbackListener l;
    return l.port(); // closed again when l goes
}
