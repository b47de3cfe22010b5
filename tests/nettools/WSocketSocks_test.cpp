// The SOCKS layer against a scripted proxy on 127.0.0.1, and once against a real SOCKS 5 server.
#include "nettools/WSocket.h"

#include "nettools/SocketRecorder.h"
#include "support/ByteHex.h"
#include "support/LoopbackPeer.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <poll.h>

using namespace wsock;
using Lines = std::vector<std::string>;

namespace {

std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int c : b) s += char(c);
    return s;
}

struct SocksRig {
    SocketRecorder rec; // before the socket: it outlives it
    TWSocket sock;
    LoopbackListener proxy;
    PeerConn p;
    std::string got; // what the application read

    explicit SocksRig(const std::string &level = "5")
    {
        rec.attach(sock);
        sock.OnSocksConnected = [this](TCustomWSocket *, int e) { rec.add("socksconnected", e); };
        sock.OnSocksError = [this](TCustomWSocket *, int e, const std::string &m) {
            rec.lines.push_back("sockserror " + std::to_string(e) + " " + m);
        };
        sock.OnSocksAuthState = [this](TCustomWSocket *, TSocksAuthState s) { rec.add("authstate", int(s)); };
        sock.OnDataAvailable = [this](TCustomWSocket *s, int) { got += s->ReceiveStr(); };
        sock.SetSocksServer("127.0.0.1");
        sock.SetSocksPort(proxy.portText());
        sock.SetSocksLevel(level);
        sock.SetAddr("whois.example.jp");
        sock.SetPort("43");
    }
    void start()
    {
        sock.Connect();
        ASSERT_TRUE(rec.waitFor("socksconnected 0"));
        p = proxy.acceptOne();
        ASSERT_TRUE(p.valid());
    }
    void deliver(const std::string &packet) { ASSERT_TRUE(deliverPacket(p, sock, packet)); }
    void deliverBytewise(const std::string &s)
    {
        for (char c : s) deliver(std::string(1, c));
    }
};

TEST(Socks, Socks5HandshakeWithRepliesSplitIntoSingleBytes)
{
    SocksRig r;
    r.start();
    EXPECT_EQ(hex(r.p.readN(3)), hex(bytes({5, 1, 0}))) << "one method offered: none";
    r.deliverBytewise(bytes({5, 0}));
    std::string host = "whois.example.jp";
    EXPECT_EQ(hex(r.p.readN(7 + host.size())), hex(bytes({5, 1, 0, 3, int(host.size())}) + host + bytes({0, 43})))
        << "the destination always goes as a name";
    EXPECT_FALSE(r.rec.has("connected 0")) << "not before the proxy granted it";
    r.deliverBytewise(bytes({5, 0, 0, 1, 10, 1, 2, 3, 0x12, 0x34}));
    ASSERT_TRUE(r.rec.waitFor("connected 0"));
    EXPECT_EQ(r.sock.BoundAddr, "10.1.2.3");
    EXPECT_EQ(r.sock.BoundPort, "4660");
    r.sock.SendStr("query\r\n");
    EXPECT_EQ(r.p.readN(7), "query\r\n");
    ASSERT_TRUE(r.p.sendAll("answer"));
    ASSERT_TRUE(waitUntil([&] { return r.got == "answer"; }, 5000));
}

TEST(Socks, DataInTheReplyPacketIsTheApplicationsFirstRead)
{
    SocksRig r;
    std::string firstRead;
    r.sock.OnSessionConnected = [&](TCustomWSocket *, int e) { r.rec.add("connected", e); };
    r.sock.OnDataAvailable = [&](TCustomWSocket *s, int) {
        if (firstRead.empty()) firstRead = s->ReceiveStr();
    };
    r.start();
    r.p.readN(3);
    r.deliver(bytes({5, 0}));
    r.p.readN(7 + 16);
    ASSERT_TRUE(r.p.sendAll(bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 43}) + "% whois banner\r\n"));
    ASSERT_TRUE(r.rec.waitFor("connected 0"));
    ASSERT_TRUE(waitUntil([&] { return !firstRead.empty(); }, 5000));
    EXPECT_EQ(firstRead, "% whois banner\r\n");
}

TEST(Socks, Socks5ReplyWithTheLongestBoundName)
{
    SocksRig r;
    r.start();
    r.p.readN(3);
    r.deliver(bytes({5, 0}));
    r.p.readN(7 + 16);
    std::string name(255, 'n');
    name[0] = 'A';
    name[254] = 'Z';
    r.deliver(bytes({5, 0, 0, 3, 255}) + name + bytes({1, 2}));
    ASSERT_TRUE(r.rec.waitFor("connected 0"));
    EXPECT_EQ(r.sock.BoundAddr, name);
    EXPECT_EQ(r.sock.BoundPort, "258");
}

TEST(Socks, Socks5ReplyCodesAreReportedAndClose)
{
    for (int code = 1; code <= 9; ++code) {
        SCOPED_TRACE(code);
        SocksRig r;
        r.start();
        r.p.readN(3);
        r.deliver(bytes({5, 0}));
        r.p.readN(7 + 16);
        r.deliver(bytes({5, code, 0, 1, 0, 0, 0, 0, 0, 0}));
        int err = code <= 8 ? 20003 + code : 20012;
        ASSERT_TRUE(r.rec.waitFor("closed " + std::to_string(err)));
        Lines ev = r.rec.only({"sockserror", "connected", "closed"});
        ASSERT_EQ(ev.size(), 3u);
        EXPECT_EQ(ev[0].substr(0, 16), "sockserror " + std::to_string(err));
        EXPECT_EQ(ev[1], "connected " + std::to_string(err));
        EXPECT_EQ(r.sock.State, wsClosed);
        if (code == 9) EXPECT_EQ(ev[0], "sockserror 20012 unassigned error #9");
        if (code == 5) EXPECT_EQ(ev[0], "sockserror 20008 connection refused");
    }
}

TEST(Socks, Socks4And4ARequestsAndARejection)
{
    {
        SocksRig r("4");
        r.sock.SetAddr("127.0.0.1");
        r.sock.SocksUsercode = "bob";
        r.start();
        EXPECT_EQ(hex(r.p.readN(12)), hex(bytes({4, 1, 0, 43, 127, 0, 0, 1}) + "bob" + bytes({0})));
        r.deliverBytewise(bytes({0, 91, 0, 0, 0, 0, 0, 0}));
        ASSERT_TRUE(r.rec.waitFor("closed 20016"));
        EXPECT_EQ(r.rec.only({"sockserror", "connected", "closed"}),
                  (Lines{"sockserror 20016 request rejected or failed", "connected 20016", "closed 20016"}));
    }
    {
        SocksRig r("4a");
        EXPECT_EQ(r.sock.SocksLevel(), "4A");
        r.start();
        std::string host = "whois.example.jp";
        EXPECT_EQ(hex(r.p.readN(10 + host.size())), hex(bytes({4, 1, 0, 43, 0, 0, 0, 1, 0}) + host + bytes({0})));
        r.deliver(bytes({0, 90, 0, 0, 0, 0, 0, 0}) + "hi");
        ASSERT_TRUE(r.rec.waitFor("connected 0"));
        ASSERT_TRUE(waitUntil([&] { return r.got == "hi"; }, 5000));
    }
}

TEST(Socks, LoginAcceptedAndRefused)
{
    for (bool accept : {true, false}) {
        SCOPED_TRACE(accept ? "accepted" : "refused");
        SocksRig r;
        r.sock.SocksAuthentication = socksAuthenticateUsercode;
        r.sock.SocksUsercode = "user";
        r.sock.SocksPassword = "secret";
        r.start();
        EXPECT_EQ(hex(r.p.readN(3)), hex(bytes({5, 1, 2})));
        r.deliver(bytes({5, 2}));
        EXPECT_EQ(hex(r.p.readN(13)), hex(bytes({1, 4}) + "user" + bytes({6}) + "secret"));
        if (accept) {
            r.deliver(bytes({1, 0}));
            r.p.readN(7 + 16);
            r.deliver(bytes({5, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
            ASSERT_TRUE(r.rec.waitFor("connected 0"));
            EXPECT_EQ(r.rec.only({"authstate"}), (Lines{"authstate 0", "authstate 1"}));
        } else {
            r.deliver(bytes({1, 1}));
            ASSERT_TRUE(r.rec.waitFor("closed 20015"));
            EXPECT_EQ(r.rec.only({"sockserror", "connected", "closed"}),
                      (Lines{"sockserror 20015 socks authentication failed", "connected 20015", "closed 20015"}));
            EXPECT_EQ(r.sock.State, wsClosed);
        }
    }
}

TEST(Socks, OverLongFieldsAreRefusedBeforeAnythingOpens)
{
    struct Row {
        std::string addr, user, pass;
    };
    std::string longText(256, 'x');
    for (const Row &row : {Row{longText, "", ""}, Row{"host", longText, ""}, Row{"host", "u", longText}}) {
        SocksRig r;
        r.sock.SetAddr(row.addr);
        r.sock.SocksUsercode = row.user;
        r.sock.SocksPassword = row.pass;
        try {
            r.sock.Connect();
            ADD_FAILURE() << "no exception";
        } catch (const ESocketException &e) {
            EXPECT_STREQ(e.what(), "Socks: name, user code or password longer than 255 bytes.");
        }
        EXPECT_EQ(r.sock.SocketHandle, INVALID_SOCKET);
        EXPECT_FALSE(r.proxy.acceptOne(200).valid()) << "nothing reached the proxy";
    }
}

TEST(Socks, SettingsAndRefusals)
{
    TWSocket sock;
    EXPECT_EQ(sock.SocksLevel(), "5");
    try {
        sock.SetSocksLevel("6");
        ADD_FAILURE();
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "Invalid socks level. Must be 4, 4A or 5.");
    }
    sock.SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(sock.SocksServer(), "127.0.0.1");
    sock.SetPort("0");
    try {
        sock.Listen();
        ADD_FAILURE();
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "Listening is not supported thru socks server");
    }
    sock.SetProto("udp");
    sock.SetAddr("127.0.0.1");
    try {
        sock.Connect();
        ADD_FAILURE();
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "tcp is the only protocol supported thru socks server");
    }
}

// One run against a real SOCKS 5 server, with and without a login.
TEST(Socks, ThroughARealSocks5Server)
{
    if (!QFile::exists("/usr/bin/microsocks")) GTEST_SKIP() << "microsocks is not installed";
    for (bool login : {false, true}) {
        SCOPED_TRACE(login ? "with login" : "without login");
        int port = closedLoopbackPort();
        QStringList args{"-i", "127.0.0.1", "-p", QString::number(port)};
        if (login) args << "-u" << "vk" << "-P" << "pw";
        QProcess proxy;
        proxy.start("/usr/bin/microsocks", args);
        ASSERT_TRUE(proxy.waitForStarted(5000));
        // Ready once it accepts a connection.
        ASSERT_TRUE(waitUntil([&] {
            int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(std::uint16_t(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
            ::close(fd);
            return ok;
        }, 5000));
        LoopbackListener dest;
        SocketRecorder rec;
        TWSocket sock;
        rec.attach(sock);
        std::string got;
        sock.OnDataAvailable = [&](TCustomWSocket *s, int) { got += s->ReceiveStr(); };
        sock.SetSocksServer("127.0.0.1");
        sock.SetSocksPort(std::to_string(port));
        if (login) {
            sock.SocksAuthentication = socksAuthenticateUsercode;
            sock.SocksUsercode = "vk";
            sock.SocksPassword = "pw";
        }
        sock.SetAddr("127.0.0.1");
        sock.SetPort(dest.portText());
        sock.Connect();
        ASSERT_TRUE(rec.waitFor("connected 0", 10000));
        PeerConn p = dest.acceptOne();
        ASSERT_TRUE(p.valid());
        sock.SendStr("ping\r\n");
        EXPECT_EQ(p.readN(6), "ping\r\n");
        ASSERT_TRUE(p.sendAll("pong"));
        ASSERT_TRUE(waitUntil([&] { return got == "pong"; }, 5000));
        sock.Close();
        proxy.kill();
        proxy.waitForFinished(5000);
    }
}

} // namespace
