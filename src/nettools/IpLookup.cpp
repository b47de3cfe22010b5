#include "nettools/IpLookup.h"

#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <functional>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <thread>

namespace {

constexpr int kLookupWaitMs = 15000;

// Runs Work on a worker and waits for it in a local loop. The resolver cannot be interrupted: a
// worker that outlives the wait finishes into a result nobody reads.
std::string waitFor(std::function<std::string()> Work)
{
    struct Shared {
        std::mutex m;
        bool done = false;
        std::string result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, Work = std::move(Work)] {
        std::string r = Work();
        std::lock_guard<std::mutex> l(shared->m);
        shared->result = std::move(r);
        shared->done = true;
    }).detach();
    QEventLoop loop;
    QTimer poll, bound;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        std::lock_guard<std::mutex> l(shared->m);
        if (shared->done) loop.quit();
    });
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.setSingleShot(true);
    poll.start(10);
    bound.start(kLookupWaitMs);
    {
        std::lock_guard<std::mutex> l(shared->m);
        if (shared->done) return shared->result;
    }
    loop.exec();
    std::lock_guard<std::mutex> l(shared->m);
    return shared->done ? shared->result : std::string();
}

} // namespace

void GetIPFromHostName(const std::string &Name, std::string &IP)
{
    IP.clear();
    if (Name.empty()) return;
    IP = waitFor([Name] {
        addrinfo hints{};
        hints.ai_family = AF_INET; // no AI_ADDRCONFIG: with only loopback up it fails hosts-file names
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *res = nullptr;
        if (::getaddrinfo(Name.c_str(), nullptr, &hints, &res) != 0 || !res) return std::string();
        char buf[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(res->ai_addr)->sin_addr, buf, sizeof buf);
        ::freeaddrinfo(res);
        return std::string(buf);
    });
}

void GetHostNameFromIP(const std::string &IP, std::string &Name)
{
    Name.clear();
    if (IP.empty()) return;
    Name = waitFor([IP] {
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        if (::inet_pton(AF_INET, IP.c_str(), &sin.sin_addr) != 1) return std::string();
        char host[NI_MAXHOST];
        if (::getnameinfo(reinterpret_cast<sockaddr *>(&sin), sizeof sin, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
            return std::string();
        return std::string(host);
    });
}
