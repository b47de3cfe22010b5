// The Winsock layer on plain handles: which notifications reach the window, and when.
#include "nettools/WinsockShim.h"

#include "support/LoopbackPeer.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <vector>

using namespace wsock;

namespace {

std::string eventName(int ev)
{
    switch (ev) {
    case FD_READ: return "FD_READ";
    case FD_WRITE: return "FD_WRITE";
    case FD_ACCEPT: return "FD_ACCEPT";
    case FD_CONNECT: return "FD_CONNECT";
    case FD_CLOSE: return "FD_CLOSE";
    default: return "ev" + std::to_string(ev);
    }
}

struct MessageLog : TWindowTarget {
    std::vector<std::string> lines;
    std::vector<std::uintptr_t> handles;
    std::vector<std::intptr_t> lparams;
    void WindowProc(TMessage &m) override
    {
        if (m.Msg == 0x401) lines.push_back(eventName(LoWord(long(m.LParam))) + " " + std::to_string(HiWord(long(m.LParam))));
        else lines.push_back("msg " + std::to_string(m.Msg) + " " + std::to_string(HiWord(long(m.LParam))));
        handles.push_back(m.WParam);
        lparams.push_back(m.LParam);
    }
};

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

class Shim : public testing::Test {
protected:
    TWinsockApi &A = Api();
    HWND w = nullptr;
    MessageLog log;
    void SetUp() override
    {
        TWSAData d;
        ASSERT_EQ(A.WSAStartup(0x0101, &d), 0);
        w = CreateSocketWindow();
        w->SetTarget(&log);
    }
    void TearDown() override
    {
        DestroySocketWindow(w);
        A.WSACleanup();
        SetConnectTimeout(21000);
    }
    TSocket connectTo(int port, long mask = 59)
    {
        TSocket s = A.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_EQ(A.WSAAsyncSelect(s, w, 0x401, mask), 0);
        sockaddr_in a = loopback(port);
        int rc = A.connect(s, &a, sizeof a);
        EXPECT_TRUE(rc == 0 || A.WSAGetLastError() == WSAEWOULDBLOCK);
        return s;
    }
    bool waitLines(std::size_t n, int ms = 5000)
    {
        return waitUntil([&] { return log.lines.size() >= n; }, ms);
    }
    // Nothing more arrives over a quiet interval.
    bool staysQuiet(std::size_t n, int ms = 300)
    {
        return !waitUntil([&] { return log.lines.size() > n; }, ms);
    }
    using Lines = std::vector<std::string>;
};

TEST_F(Shim, ConnectOutcomesEachReportedOnce)
{
    LoopbackListener l;
    TSocket s = connectTo(l.port());
    ASSERT_TRUE(waitLines(2));
    EXPECT_EQ(log.lines, (Lines{"FD_CONNECT 0", "FD_WRITE 0"}));
    EXPECT_TRUE(staysQuiet(2)) << "an idle connected socket dispatches nothing";
    A.closesocket(s);

    log.lines.clear();
    TSocket r = connectTo(closedLoopbackPort());
    ASSERT_TRUE(waitLines(1));
    EXPECT_TRUE(staysQuiet(1));
    EXPECT_EQ(log.lines, (Lines{"FD_CONNECT 10061"})) << "no FD_READ and no FD_CLOSE after a refusal";
    A.closesocket(r);
}

TEST_F(Shim, PendingConnectEndsAtTheTimeout)
{
    // A listener with a full accept queue leaves the next connect pending.
    LoopbackListener l(0);
    std::vector<PeerConn> parked = parkConnections(l);
    SetConnectTimeout(400);
    TSocket s = connectTo(l.port());
    ASSERT_TRUE(waitLines(1));
    EXPECT_TRUE(staysQuiet(1));
    EXPECT_EQ(log.lines, (Lines{"FD_CONNECT 10060"}));
    A.closesocket(s);
}

TEST_F(Shim, ReadIsReArmedByRecvAndCloseComesOnce)
{
    LoopbackListener l;
    TSocket s = connectTo(l.port());
    ASSERT_TRUE(waitLines(2));
    PeerConn p = l.acceptOne();
    ASSERT_TRUE(p.valid());
    log.lines.clear();

    ASSERT_TRUE(p.sendAll("hello"));
    ASSERT_TRUE(waitLines(1));
    ASSERT_TRUE(p.sendAll("more"));
    EXPECT_TRUE(staysQuiet(1)) << "no second FD_READ before a recv";
    char buf[4];
    EXPECT_EQ(A.recv(s, buf, 4, 0), 4);
    ASSERT_TRUE(waitLines(2)) << "data remains after the recv: posted again";
    char rest[16];
    EXPECT_EQ(A.recv(s, rest, sizeof rest, 0), 5);
    EXPECT_EQ(A.recv(s, rest, sizeof rest, 0), SOCKET_ERROR);
    EXPECT_EQ(A.WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(A.recv(s, rest, 0, 0), SOCKET_ERROR) << "the zero-length probe while the connection is open";
    EXPECT_EQ(A.WSAGetLastError(), WSAEWOULDBLOCK);

    p.close();
    ASSERT_TRUE(waitLines(3));
    EXPECT_TRUE(staysQuiet(3));
    EXPECT_EQ(log.lines, (Lines{"FD_READ 0", "FD_READ 0", "FD_CLOSE 0"}));
    EXPECT_EQ(A.recv(s, rest, 0, 0), 0) << "the probe after the peer's end of stream";
    unsigned long n = 99;
    EXPECT_EQ(A.ioctlsocket(s, FIONREAD_, &n), 0);
    EXPECT_EQ(n, 0u);
    A.closesocket(s);
}

TEST_F(Shim, PeerResetGivesCloseWith10054)
{
    LoopbackListener l;
    TSocket s = connectTo(l.port());
    ASSERT_TRUE(waitLines(2));
    PeerConn p = l.acceptOne();
    log.lines.clear();
    p.reset();
    ASSERT_TRUE(waitLines(1));
    EXPECT_TRUE(staysQuiet(1));
    EXPECT_EQ(log.lines, (Lines{"FD_CLOSE 10054"}));
    A.closesocket(s);
}

TEST_F(Shim, AcceptIsPostedPerPendingConnection)
{
    TSocket ls = A.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
    sockaddr_in a = loopback(0);
    ASSERT_EQ(A.bind(ls, &a, sizeof a), 0);
    int len = sizeof a;
    ASSERT_EQ(A.getsockname(ls, &a, &len), 0);
    ASSERT_EQ(A.listen(ls, 5), 0);
    ASSERT_EQ(A.WSAAsyncSelect(ls, w, 0x401, 43), 0);
    int c1 = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), c2 = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(c1, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::connect(c2, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ASSERT_TRUE(waitLines(1));
    EXPECT_TRUE(staysQuiet(1)) << "not again before accept";
    TSocket n1 = A.accept(ls, nullptr, nullptr);
    ASSERT_NE(n1, INVALID_SOCKET);
    ASSERT_TRUE(waitLines(2));
    TSocket n2 = A.accept(ls, nullptr, nullptr);
    ASSERT_NE(n2, INVALID_SOCKET);
    EXPECT_TRUE(staysQuiet(2));
    EXPECT_EQ(log.lines, (Lines{"FD_ACCEPT 0", "FD_ACCEPT 0"}));
    ::close(c1);
    ::close(c2);
    A.closesocket(n1);
    A.closesocket(n2);
    A.closesocket(ls);
}

TEST_F(Shim, WriteIsPostedOnlyAfterASendWouldBlock)
{
    LoopbackListener l(8, 4096);
    TSocket s = connectTo(l.port());
    int small = 4096;
    ASSERT_EQ(A.setsockopt(s, SOL_SOCKET_, SO_SNDBUF_, reinterpret_cast<char *>(&small), sizeof small), 0);
    ASSERT_TRUE(waitLines(2));
    PeerConn p = l.acceptOne();
    log.lines.clear();
    std::string chunk(65536, 'x');
    std::size_t sent = 0;
    int rc;
    while ((rc = A.send(s, chunk.data(), int(chunk.size()), 0)) > 0) sent += std::size_t(rc);
    EXPECT_EQ(A.WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_TRUE(staysQuiet(0, 200)) << "no room yet, so nothing";
    std::string got = p.readN(sent);
    EXPECT_EQ(got.size(), sent);
    ASSERT_TRUE(waitLines(1));
    EXPECT_EQ(log.lines, (Lines{"FD_WRITE 0"}));
    A.closesocket(s);
}

TEST_F(Shim, ClosedHandlesAreNeverReusedAndRefused)
{
    LoopbackListener l;
    TSocket s1 = connectTo(l.port());
    int fd1 = HandleFd(s1);
    ASSERT_EQ(A.closesocket(s1), 0);
    TSocket s2 = A.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
    EXPECT_EQ(HandleFd(s2), fd1) << "Linux hands the same descriptor to the next socket";
    EXPECT_NE(s2, s1) << "but the handle differs";
    char c;
    EXPECT_EQ(A.recv(s1, &c, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(A.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(A.closesocket(s1), SOCKET_ERROR);
    EXPECT_EQ(A.WSAGetLastError(), WSAENOTSOCK);
    // Whatever was on its way to s1 is dropped: no message names s1 or s2 after the close.
    log.lines.clear();
    log.handles.clear();
    EXPECT_TRUE(staysQuiet(0, 200));
    A.closesocket(s2);
}

TEST_F(Shim, CallsBeforeStartUpFail)
{
    A.WSACleanup();
    EXPECT_EQ(A.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_), INVALID_SOCKET);
    EXPECT_EQ(A.WSAGetLastError(), WSANOTINITIALISED);
    TWSAData d;
    A.WSAStartup(0x0101, &d);
}

TEST(ShimErrors, ErrnoTable)
{
    const std::pair<int, int> rows[] = {{EAGAIN, 10035},       {EINPROGRESS, 10035}, {ECONNREFUSED, 10061},
                                        {ETIMEDOUT, 10060},    {ENETUNREACH, 10051}, {EHOSTUNREACH, 10065},
                                        {ECONNRESET, 10054},   {EPIPE, 10054},       {ENOTCONN, 10057},
                                        {ECONNABORTED, 10053}, {EBADF, 10038},       {EINVAL, 10022},
                                        {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {EMFILE, 10024},
                                        {EACCES, 10013},       {EMSGSIZE, 10040},    {ENOBUFS, 10055}};
    for (auto [e, w] : rows) EXPECT_EQ(ErrnoToWsa(e), w) << "errno " << e;
    EXPECT_EQ(ErrnoToWsa(EPIPE, true), 10058) << "after our own shutdown";
}

// ---- lookups ----------------------------------------------------------------------------------------

std::vector<std::string> hostAddrs(const char *buf)
{
    auto *he = reinterpret_cast<const THostEnt *>(buf);
    std::vector<std::string> out;
    for (int i = 0; he->h_addr_list[i]; ++i) {
        in_addr a;
        std::memcpy(&a, he->h_addr_list[i], 4);
        out.push_back(::inet_ntoa(a));
    }
    return out;
}

TEST_F(Shim, LookupAnswersAfterTheStartCallAndCancelDropsIt)
{
    alignas(8) char buf[1025];
    THandle h = A.WSAAsyncGetHostByName(w, 0x402, "localhost", buf, sizeof buf);
    ASSERT_NE(h, 0);
    EXPECT_TRUE(log.lines.empty()) << "never inside the start call";
    ASSERT_TRUE(waitLines(1));
    EXPECT_EQ(log.handles[0], std::uintptr_t(h));
    EXPECT_EQ(HiWord(long(log.lparams[0])), 0);
    EXPECT_GT(LoWord(long(log.lparams[0])), 0);
    EXPECT_EQ(hostAddrs(buf).at(0), "127.0.0.1");
    EXPECT_EQ(A.WSACancelAsyncRequest(h), SOCKET_ERROR) << "a delivered answer cannot be cancelled";
    EXPECT_EQ(A.WSAGetLastError(), WSAEINVAL);

    log.lines.clear();
    THandle h2 = A.WSAAsyncGetHostByName(w, 0x402, "localhost", buf, sizeof buf);
    EXPECT_EQ(A.WSACancelAsyncRequest(h2), 0);
    EXPECT_TRUE(staysQuiet(0, 500)) << "a cancelled answer is never delivered";
}

// These run inside a private network namespace (netns-run.sh) whose hosts file is fixed.
class NetnsLookup : public Shim {
protected:
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
        Shim::SetUp();
    }
};

TEST_F(NetnsLookup, ForwardReverseAndUnknown)
{
    alignas(8) char buf[1025];
    ASSERT_NE(A.WSAAsyncGetHostByName(w, 0x402, "multi.vk.test", buf, sizeof buf), 0);
    ASSERT_TRUE(waitLines(1));
    EXPECT_EQ(HiWord(long(log.lparams[0])), 0);
    EXPECT_EQ(hostAddrs(buf), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));

    std::uint32_t a = ::inet_addr("127.0.0.4");
    ASSERT_NE(A.WSAAsyncGetHostByAddr(w, 0x403, reinterpret_cast<char *>(&a), 4, AF_INET_, buf, sizeof buf), 0);
    ASSERT_TRUE(waitLines(2));
    EXPECT_EQ(HiWord(long(log.lparams[1])), 0);
    EXPECT_STREQ(reinterpret_cast<THostEnt *>(buf)->h_name, "single.vk.test");

    ASSERT_NE(A.WSAAsyncGetHostByName(w, 0x402, "nowhere.vk.test", buf, sizeof buf), 0);
    ASSERT_TRUE(waitLines(3));
    EXPECT_EQ(HiWord(long(log.lparams[2])), WSAHOST_NOT_FOUND);

    THostEnt *he = A.gethostbyname("multi.vk.test");
    ASSERT_NE(he, nullptr);
    EXPECT_EQ(hostAddrs(reinterpret_cast<char *>(he)).size(), 2u);
    EXPECT_EQ(A.gethostbyname("nowhere.vk.test"), nullptr);
    EXPECT_EQ(A.WSAGetLastError(), WSAHOST_NOT_FOUND);
}

} // namespace
