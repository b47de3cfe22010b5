#include "nettools/IcmpEcho.h"

#include "nettools/IpLookup.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPayload = 56;

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::uint16_t checksum(const unsigned char *p, std::size_t n)
{
    std::uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2) sum += std::uint32_t(p[0]) << 8 | p[1];
    if (n) sum += std::uint32_t(p[0]) << 8;
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return htons(std::uint16_t(~sum));
}

std::string dotted(std::uint32_t netAddr)
{
    in_addr a{};
    a.s_addr = netAddr;
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

int statusOf(int type, int code)
{
    if (type == ICMP_ECHOREPLY) return 0;
    if (type == ICMP_TIME_EXCEEDED && code == 0) return 4;
    if (type == ICMP_DEST_UNREACH) return 3;
    return 1;
}

int openSocket(int type)
{
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    return fd;
}

} // namespace

TIcmpEcho::~TIcmpEcho()
{
    Cancel();
    close();
}

void TIcmpEcho::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    kind_ = Kind::None;
}

bool TIcmpEcho::Open()
{
    if (fd_ >= 0) return true;
    // The datagram kind first: it needs no privilege where the group range allows it.
    if ((fd_ = openSocket(SOCK_DGRAM)) >= 0) {
        kind_ = Kind::Datagram;
        const int on = 1;
        ::setsockopt(fd_, SOL_IP, IP_RECVERR, &on, sizeof on);
        ::setsockopt(fd_, SOL_IP, IP_RECVTTL, &on, sizeof on);
    } else if ((fd_ = openSocket(SOCK_RAW)) >= 0) {
        kind_ = Kind::Raw;
    } else {
        kind_ = Kind::None;
        return false;
    }
    // A raw socket sees every ICMP packet of the host: the identifier tells ours apart.
    id_ = std::uint16_t((::getpid() ^ reinterpret_cast<std::uintptr_t>(this)) & 0xffff);
    return true;
}

void TIcmpEcho::Cancel()
{
    cancelled_ = true;
    if (loop_) loop_->quit();
}

void TIcmpEcho::Ping()
{
    Reply = TIcmpReply{};
    cancelled_ = false;
    if (!Open()) throw EIcmpError("ICMP echo is not permitted here");
    in_addr dst{};
    if (::inet_pton(AF_INET, Host.c_str(), &dst) != 1) throw EIcmpError("not a dotted address: " + Host);
    const int ttl = TTL;
    if (::setsockopt(fd_, SOL_IP, IP_TTL, &ttl, sizeof ttl) != 0)
        throw EIcmpError(std::string("IP_TTL: ") + std::strerror(errno));

    // Reports left over from earlier probes would otherwise fail this send.
    if (kind_ == Kind::Datagram) readDatagramErrors(0);

    const std::uint16_t seq = ++seq_;
    unsigned char packet[sizeof(icmphdr) + kPayload] = {};
    auto *h = reinterpret_cast<icmphdr *>(packet);
    h->type = ICMP_ECHO;
    h->code = 0;
    h->un.echo.id = htons(id_);
    h->un.echo.sequence = htons(seq);
    for (std::size_t i = 0; i < kPayload; ++i) packet[sizeof(icmphdr) + i] = static_cast<unsigned char>(0x10 + i);
    h->checksum = checksum(packet, sizeof packet);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = dst;
    sentAt_ = nowMs();
    if (::sendto(fd_, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) < 0)
        throw EIcmpError(std::string("sendto: ") + std::strerror(errno));

    if (!readAnswers(seq, dst.s_addr)) {
        QEventLoop loop;
        QSocketNotifier notifier(fd_, QSocketNotifier::Read);
        QTimer bound;
        bound.setSingleShot(true);
        bound.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait early
        bool answered = false;
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
            if (readAnswers(seq, dst.s_addr)) {
                answered = true;
                loop.quit();
            }
        });
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        const long long left = sentAt_ + ReceiveTimeout - nowMs();
        bound.start(int(std::max(0LL, left)));
        loop_ = &loop;
        if (!cancelled_) loop.exec();
        loop_ = nullptr;
        if (!answered) {
            Reply = TIcmpReply{};
            Reply.RoundTripTime = int(nowMs() - sentAt_);
            Reply.Status = 2;
        }
    }
}

bool TIcmpEcho::readDatagramErrors(std::uint16_t seq)
{
    for (;;) {
        unsigned char data[512];
        unsigned char control[512];
        sockaddr_in from{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) return false;
        const sock_extended_err *ee = nullptr;
        int ttl = 0;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP) continue;
            if (c->cmsg_type == IP_RECVERR) ee = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(c));
            else if (c->cmsg_type == IP_TTL) std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
        }
        if (!seq || !ee || ee->ee_origin != SO_EE_ORIGIN_ICMP) continue;
        // The error carries the request it reports on: our own echo with its sequence.
        if (std::size_t(n) < sizeof(icmphdr)) continue;
        const auto *sent = reinterpret_cast<const icmphdr *>(data);
        if (sent->type != ICMP_ECHO || ntohs(sent->un.echo.sequence) != seq) continue;
        const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(ee));
        Reply.Address = offender->sin_family == AF_INET ? dotted(offender->sin_addr.s_addr) : "0.0.0.0";
        Reply.RoundTripTime = int(nowMs() - sentAt_);
        Reply.TTL = ttl;
        Reply.Status = statusOf(ee->ee_type, ee->ee_code);
        return true;
    }
}

bool TIcmpEcho::readAnswers(std::uint16_t seq, std::uint32_t dst)
{
    if (kind_ == Kind::Datagram && readDatagramErrors(seq)) return true;
    for (;;) {
        unsigned char data[1500];
        unsigned char control[256];
        sockaddr_in from{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) return false;
        if (kind_ == Kind::Datagram) {
            // The kernel hands this socket only the echo replies to its own identifier.
            if (std::size_t(n) < sizeof(icmphdr)) continue;
            const auto *h = reinterpret_cast<const icmphdr *>(data);
            if (h->type != ICMP_ECHOREPLY || ntohs(h->un.echo.sequence) != seq) continue;
            int ttl = 0;
            for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
                if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL) std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            Reply.Address = dotted(from.sin_addr.s_addr);
            Reply.RoundTripTime = int(nowMs() - sentAt_);
            Reply.TTL = ttl;
            Reply.Status = 0;
            return true;
        }
        // Raw: an IP header, then the ICMP message.
        if (std::size_t(n) < sizeof(iphdr)) continue;
        const auto *ip = reinterpret_cast<const iphdr *>(data);
        const std::size_t hl = std::size_t(ip->ihl) * 4;
        if (std::size_t(n) < hl + sizeof(icmphdr)) continue;
        const auto *h = reinterpret_cast<const icmphdr *>(data + hl);
        bool ours = false;
        if (h->type == ICMP_ECHOREPLY) {
            ours = ntohs(h->un.echo.id) == id_ && ntohs(h->un.echo.sequence) == seq && ip->saddr == dst;
        } else if (h->type != ICMP_ECHO) {
            // A report quotes the datagram it is about: its IP header and its first 8 bytes.
            const std::size_t inner = hl + sizeof(icmphdr);
            if (std::size_t(n) < inner + sizeof(iphdr)) continue;
            const auto *qip = reinterpret_cast<const iphdr *>(data + inner);
            const std::size_t qhl = std::size_t(qip->ihl) * 4;
            if (qip->protocol != IPPROTO_ICMP || std::size_t(n) < inner + qhl + 8) continue;
            const auto *q = reinterpret_cast<const icmphdr *>(data + inner + qhl);
            ours = q->type == ICMP_ECHO && ntohs(q->un.echo.id) == id_ && ntohs(q->un.echo.sequence) == seq &&
                   qip->daddr == dst;
        }
        if (!ours) continue;
        Reply.Address = dotted(ip->saddr);
        Reply.RoundTripTime = int(nowMs() - sentAt_);
        Reply.TTL = ip->ttl;
        Reply.Status = statusOf(h->type, h->code);
        return true;
    }
}

std::string TIcmpEcho::HostNameToAddress(const std::string &Name)
{
    std::string ip;
    GetIPFromHostName(Name, ip);
    if (ip.empty()) throw EIcmpError("no address for " + Name);
    return ip;
}

std::string TIcmpEcho::AddressToHostName(const std::string &Address)
{
    std::string name;
    GetHostNameFromIP(Address, name);
    if (name.empty()) throw EIcmpError("no host name for " + Address);
    return name;
}
