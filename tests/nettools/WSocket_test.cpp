// The socket component against real peers on 127.0.0.1, with a real Qt event loop.
#include "nettools/WSocket.h"

#include "nettools/SocketRecorder.h"
#include "support/LoopbackPeer.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

using namespace wsock;
using Lines = std::vector<std::string>;

namespace {

class Component : public testing::Test {
protected:
    void TearDown() override
    {
        Api() = DefaultApi();
        SetConnectTimeout(21000);
    }
    // Connects sock to the listener and returns the accepted peer.
    PeerConn connect(TWSocket &sock, SocketRecorder &rec, LoopbackListener &l)
    {
        sock.SetAddr("127.0.0.1");
        sock.SetPort(l.portText());
        sock.Connect();
        EXPECT_TRUE(rec.waitFor("connected 0"));
        return l.acceptOne();
    }
};

std::string pattern(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = char((i * 7 + i / 251) & 0xFF);
    return s;
}

TEST_F(Component, ConnectionLifeAndOneCloseEvent)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    PeerConn p = connect(sock, rec, l);
    ASSERT_TRUE(p.valid());
    EXPECT_EQ(sock.PeerAddr(), "127.0.0.1");
    EXPECT_EQ(sock.PeerPort(), l.portText());
    p.close();
    ASSERT_TRUE(rec.waitFor("closed 0"));
    EXPECT_TRUE(rec.staysQuiet());
    EXPECT_EQ(rec.only({"state", "connected", "closed"}),
              (Lines{"state wsClosed>wsOpened", "state wsOpened>wsConnecting", "state wsConnecting>wsConnected",
                     "connected 0", "closed 0", "state wsConnected>wsClosed"}));
    // After a close the peer counts as not given, but its texts stay.
    EXPECT_EQ(sock.Addr(), "127.0.0.1");
    EXPECT_EQ(sock.Port(), l.portText());
    EXPECT_FALSE(sock.AddrAssigned);
    EXPECT_FALSE(sock.PortAssigned);
    try {
        sock.Connect();
        FAIL() << "Connect without a port after a close";
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "Connect: No Port Specified");
    }
}

TEST_F(Component, RefusedConnectNeverPassesConnectedAndClosesWithItsCode)
{
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.SetAddr("127.0.0.1");
    sock.SetPort(std::to_string(closedLoopbackPort()));
    sock.Connect();
    ASSERT_TRUE(rec.waitFor("closed 10061"));
    EXPECT_TRUE(rec.staysQuiet());
    EXPECT_EQ(rec.lines, (Lines{"state wsClosed>wsOpened", "state wsOpened>wsConnecting", "connected 10061",
                                "state wsConnecting>wsClosed", "closed 10061"}));
}

TEST_F(Component, ConnectTimeOutIsReportedOnce)
{
    LoopbackListener l(0);
    std::vector<PeerConn> parked = parkConnections(l);
    SetConnectTimeout(400);
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.SetAddr("127.0.0.1");
    sock.SetPort(l.portText());
    sock.Connect();
    ASSERT_TRUE(rec.waitFor("closed 10060"));
    EXPECT_EQ(rec.only({"connected", "closed"}), (Lines{"connected 10060", "closed 10060"}));
}

TEST_F(Component, CloseIsGracefulAndAbortResets)
{
    struct Row {
        bool abort;
        bool peerSeesEof;
        int peerError;
    };
    for (Row r : {Row{false, true, 0}, Row{true, false, ECONNRESET}}) {
        SCOPED_TRACE(r.abort ? "Abort" : "Close");
        LoopbackListener l;
        SocketRecorder rec; // outlives the socket, whose destruction may still report
        TWSocket sock;
        rec.attach(sock);
        PeerConn p = connect(sock, rec, l);
        std::string data = pattern(20000);
        EXPECT_EQ(sock.SendStr(data), 20000);
        if (r.abort) sock.Abort();
        else sock.Close();
        EXPECT_EQ(sock.State, wsClosed);
        EXPECT_EQ(rec.count("closed 0"), 1);
        std::string got = p.readToEof();
        EXPECT_EQ(p.eof(), r.peerSeesEof) << got.size() << " err " << p.error();
        EXPECT_EQ(p.error(), r.peerError);
        if (!r.abort) EXPECT_EQ(got, data) << "everything sent before the close arrives, then end of stream";
    }
}

TEST_F(Component, SendIsQueuedInBlocksAndDataSentComesAfterSendReturned)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    PeerConn p = connect(sock, rec, l);
    rec.lines.clear();
    std::string data = pattern(3000);
    EXPECT_EQ(sock.Send(data.data(), 3000), 3000);
    EXPECT_EQ(rec.lines, (Lines{"senddata 1460", "senddata 1460", "senddata 80"})) << "no OnDataSent inside Send";
    ASSERT_TRUE(rec.waitFor("datasent 0"));
    EXPECT_TRUE(rec.staysQuiet());
    EXPECT_EQ(rec.count("datasent 0"), 1);
    EXPECT_EQ(p.readN(3000), data);
    EXPECT_EQ(sock.SendStr(""), 0);
}

TEST_F(Component, MegabyteToASlowReaderArrivesWholeAndInOrder)
{
    LoopbackListener l(8, 4096);
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    PeerConn p = connect(sock, rec, l);
    int small = 4096;
    ::setsockopt(HandleFd(sock.SocketHandle), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    rec.lines.clear();
    std::string data = pattern(1 << 20);
    EXPECT_EQ(sock.Send(data.data(), int(data.size())), int(data.size()));
    EXPECT_FALSE(sock.AllSent) << "the socket took only part of it";
    std::string got;
    ASSERT_TRUE(waitUntil([&] {
        got += p.readSome(16384);
        return got.size() >= data.size();
    }, 30000)) << got.size() << " " << rec.lines.size() << " " << (rec.lines.empty() ? "" : rec.lines.back());
    EXPECT_TRUE(got == data) << "complete and in order; got " << got.size();
    ASSERT_TRUE(rec.waitFor("datasent 0"));
    int partial = 0;
    for (const auto &line : rec.lines)
        if (line.rfind("senddata ", 0) == 0 && line != "senddata 1460") ++partial;
    EXPECT_GT(partial, 0) << "some send calls took less than a block";
    EXPECT_EQ(rec.count("datasent 0"), 1);
}

TEST_F(Component, ReceivingWithAndWithoutAHandler)
{
    LoopbackListener l;
    {
        // Without a handler the data is read and dropped; ReadCount stays.
        SocketRecorder rec; // outlives the socket, whose destruction may still report
        TWSocket sock;
        rec.attach(sock);
        PeerConn p = connect(sock, rec, l);
        char buf[16];
        EXPECT_EQ(sock.Receive(buf, sizeof buf), -1);
        EXPECT_EQ(sock.LastError, 10035);
        EXPECT_EQ(sock.ReceiveStr(), "");
        ASSERT_TRUE(p.sendAll(pattern(5000)));
        // Seen arrive without running the loop, then drained by the loop.
        pollfd pfd{HandleFd(sock.SocketHandle), POLLIN, 0};
        ASSERT_EQ(::poll(&pfd, 1, 5000), 1);
        ASSERT_GT(sock.RcvdCount(), 0);
        ASSERT_TRUE(waitUntil([&] { return sock.RcvdCount() == 0; }, 5000));
        EXPECT_EQ(sock.ReadCount, 0);
    }
    {
        // A handler that reads 10 bytes per call is called again while bytes wait.
        SocketRecorder rec; // outlives the socket, whose destruction may still report
        TWSocket sock;
        rec.attach(sock);
        std::string got;
        int calls = 0;
        sock.OnDataAvailable = [&](TCustomWSocket *s, int) {
            ++calls;
            char buf[10];
            int n = s->Receive(buf, 10);
            if (n > 0) got.append(buf, std::size_t(n));
        };
        PeerConn p = connect(sock, rec, l);
        ASSERT_TRUE(p.sendAll("0123456789abcdefghijklmnopqrstuvwxyz"));
        ASSERT_TRUE(waitUntil([&] { return got.size() == 36; }, 5000));
        EXPECT_EQ(got, "0123456789abcdefghijklmnopqrstuvwxyz");
        EXPECT_GE(calls, 4);
        EXPECT_EQ(sock.ReadCount, 36);
        p.close();
        ASSERT_TRUE(rec.waitFor("closed 0"));
    }
}

TEST_F(Component, PauseHoldsEverythingAndResumeDeliversIt)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    std::string got;
    sock.OnDataAvailable = [&](TCustomWSocket *s, int) { got += s->ReceiveStr(); };
    PeerConn p = connect(sock, rec, l);
    sock.Pause();
    ASSERT_TRUE(p.sendAll("held"));
    p.close();
    EXPECT_TRUE(rec.staysQuiet(400));
    EXPECT_EQ(got, "");
    EXPECT_EQ(sock.State, wsConnected);
    sock.Resume();
    ASSERT_TRUE(rec.waitFor("closed 0"));
    EXPECT_EQ(got, "held");
}

TEST_F(Component, SendWhenNotConnectedReportsThroughEitherConvention)
{
    TWSocket sock;
    try {
        sock.SendStr("x");
        FAIL() << "no exception";
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
    }
    int errors = 0;
    sock.OnError = [&](TCustomWSocket *) { ++errors; };
    EXPECT_EQ(sock.SendStr("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(sock.LastError, 10057);
}

TEST_F(Component, NotConnectedTeardownAlsoResetsTheObject)
{
    // A connect left pending by a full accept queue; a Send then fails with 10057.
    LoopbackListener l(0);
    std::vector<PeerConn> parked = parkConnections(l);
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.OnError = [](TCustomWSocket *) {};
    sock.SetAddr("127.0.0.1");
    sock.SetPort(l.portText());
    sock.Connect();
    EXPECT_EQ(sock.State, wsConnecting);
    EXPECT_EQ(sock.SendStr("x"), -1);
    EXPECT_EQ(sock.State, wsClosed);
    EXPECT_EQ(sock.SocketHandle, INVALID_SOCKET);
    EXPECT_EQ(rec.count("closed 10057"), 1);
    EXPECT_FALSE(sock.PortAssigned) << "the teardown resets like every other close";
    EXPECT_TRUE(sock.AllSent);
}

TEST_F(Component, PeerResetWhileSendingClosesWith10054)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    PeerConn p = connect(sock, rec, l);
    p.reset();
    std::string data = pattern(200000);
    ASSERT_TRUE(waitUntil([&] {
        if (sock.State == wsConnected) sock.SendStr(data);
        return rec.has("closed 10054");
    }, 5000));
    EXPECT_TRUE(rec.staysQuiet());
    EXPECT_EQ(rec.count("closed 10054"), 1);
    EXPECT_EQ(rec.count("closed 0"), 0);
    EXPECT_EQ(sock.State, wsClosed);
}

TEST_F(Component, DatagramsOnLoopback)
{
    LoopbackListener peer(8, 0, SOCK_DGRAM);
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    std::string got;
    sockaddr_in from{};
    sock.OnDataAvailable = [&](TCustomWSocket *s, int) {
        char buf[64];
        int fl = sizeof from;
        int n = s->ReceiveFrom(buf, sizeof buf, from, fl);
        if (n > 0) got.append(buf, std::size_t(n));
    };
    sock.SetProto("udp");
    sock.SetAddr("127.0.0.1");
    sock.SetPort(peer.portText());
    sock.Connect();
    EXPECT_EQ(rec.only({"connected"}), (Lines{"connected 0"})) << "at once, inside Connect";
    EXPECT_EQ(sock.State, wsConnected);
    EXPECT_EQ(sock.SendStr("ping"), 4);
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(std::uint16_t(peer.port()));
    dest.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(sock.SendTo(dest, sizeof dest, "pong", 4), 4);
    PeerConn pc(::dup(peer.fd()));
    EXPECT_EQ(pc.readN(4), "ping");
    EXPECT_EQ(pc.readN(4), "pong");
    // And back to the component's own port.
    int myPort = std::stoi(sock.GetLocalPortText());
    sockaddr_in me{};
    me.sin_family = AF_INET;
    me.sin_port = htons(std::uint16_t(myPort));
    me.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::sendto(peer.fd(), "back", 4, 0, reinterpret_cast<sockaddr *>(&me), sizeof me), 4);
    ASSERT_TRUE(waitUntil([&] { return got == "back"; }, 5000));
    EXPECT_EQ(ntohs(from.sin_port), peer.port());
}

TEST_F(Component, ListenAcceptAndDupBetweenTwoSockets)
{
    SocketRecorder srec, arec, crec;
    TWSocket server, adopted, client;
    srec.attach(server);
    arec.attach(adopted);
    crec.attach(client);
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    EXPECT_EQ(server.State, wsListening);
    server.OnSessionAvailable = [&](TCustomWSocket *s, int) { adopted.Dup(s->Accept()); };
    std::string got;
    adopted.OnDataAvailable = [&](TCustomWSocket *s, int) { got += s->ReceiveStr(); };
    client.SetAddr("127.0.0.1");
    client.SetPort(server.GetLocalPortText());
    client.Connect();
    ASSERT_TRUE(crec.waitFor("connected 0"));
    ASSERT_TRUE(waitUntil([&] { return adopted.State == wsConnected; }, 5000));
    client.SendStr("hi there");
    ASSERT_TRUE(waitUntil([&] { return got == "hi there"; }, 5000));
    EXPECT_EQ(adopted.PeerAddr(), "127.0.0.1");
    client.Close();
    ASSERT_TRUE(arec.waitFor("closed 0"));
    EXPECT_EQ(server.State, wsListening);
    try {
        client.Accept();
        ADD_FAILURE() << "Accept on a socket that does not listen";
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "Error 10022 in function not a listening socket\r\nInvalid argument");
    }
}

// ---- dispatch and errors ----------------------------------------------------------------------------

TEST_F(Component, PostedCloseAndTheTrapForHandlerExceptions)
{
    LoopbackListener l;
    {
        SocketRecorder rec; // outlives the socket, whose destruction may still report
        TWSocket sock;
        rec.attach(sock);
        PeerConn p = connect(sock, rec, l);
        sock.PostClose();
        EXPECT_EQ(sock.State, wsConnected) << "closed only when the message is handled";
        ASSERT_TRUE(rec.waitFor("closed 0"));
        EXPECT_EQ(sock.State, wsClosed);
    }
    struct Row {
        bool clearCanClose;
        TSocketState after;
    };
    for (Row r : {Row{false, wsClosed}, Row{true, wsConnected}}) {
        SocketRecorder rec; // outlives the socket, whose destruction may still report
        TWSocket sock;
        rec.attach(sock);
        PeerConn p = connect(sock, rec, l);
        sock.OnBgException = [&](TCustomWSocket *, const std::exception &e, bool &CanClose) {
            rec.lines.push_back(std::string("bgexception ") + e.what());
            if (r.clearCanClose) CanClose = false;
        };
        PostMessage(sock.WindowHandle, WM_WSOCKET_RELEASE_TEST, 0, 0);
        ASSERT_TRUE(rec.waitFor("bgexception Test exception in WSocket"));
        EXPECT_EQ(sock.State, r.after);
    }
}

TEST_F(Component, AnExceptionInTheDataHandlerReachesOnBgException)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.OnDataAvailable = [](TCustomWSocket *, int) { throw ESocketException("handler failed"); };
    PeerConn p = connect(sock, rec, l);
    ASSERT_TRUE(p.sendAll("x"));
    ASSERT_TRUE(rec.waitFor("bgexception handler failed"));
    EXPECT_EQ(sock.State, wsClosed) << "aborted, as CanClose stayed true";
}

TEST_F(Component, PostFreeFreesAndDropsWhatIsStillQueued)
{
    LoopbackListener l;
    auto *sock = new TWSocket;
    SocketRecorder rec;
    rec.attach(*sock);
    PeerConn p = connect(*sock, rec, l);
    sock->SendStr("bye"); // queues a write notice
    sock->PostFree();
    sock->PostClose(); // behind the free: never handled
    PostMessage(sock->WindowHandle, WM_WSOCKET_RELEASE_TEST, 0, 0);
    ASSERT_TRUE(rec.waitFor("state wsConnected>wsClosed")) << "closed by its own destruction";
    EXPECT_TRUE(rec.staysQuiet(300));
    EXPECT_TRUE(rec.only({"closed", "bgexception"}).empty()) << "nothing queued behind the free ran";
    EXPECT_EQ(p.readN(3), "bye");
}

TEST_F(Component, AHandlerMayFreeItsSocket)
{
    LoopbackListener l;
    auto *sock = new TWSocket;
    SocketRecorder rec;
    rec.attach(*sock);
    PeerConn p = connect(*sock, rec, l);
    bool freed = false;
    sock->OnSessionClosed = [&](TCustomWSocket *s, int) {
        delete s;
        freed = true;
    };
    p.close();
    ASSERT_TRUE(waitUntil([&] { return freed; }, 5000));
    EXPECT_TRUE(rec.staysQuiet(200));
}

TEST_F(Component, SettersRefuseWhileOpenAndConnectRefusesASecondTime)
{
    LoopbackListener l;
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    PeerConn p = connect(sock, rec, l);
    struct Row {
        std::function<void()> set;
        const char *text;
    };
    Row rows[] = {{[&] { sock.SetAddr("10.0.0.1"); }, "Cannot change Addr if not closed"},
                  {[&] { sock.SetPort("80"); }, "Cannot change Port if not closed"},
                  {[&] { sock.SetProto("udp"); }, "Cannot change Proto if not closed"},
                  {[&] { sock.SetLocalPort("1234"); }, "Cannot change LocalPort if not closed"},
                  {[&] { sock.SetLocalAddr("127.0.0.1"); }, "Cannot change LocalAddr if not closed"},
                  {[&] { sock.SetSocksServer("127.0.0.1"); }, "Can't change socks server if not closed"},
                  {[&] { sock.Connect(); }, "Connect: Socket already in use"}};
    for (auto &r : rows) {
        try {
            r.set();
            ADD_FAILURE() << "no exception for " << r.text;
        } catch (const ESocketException &e) {
            EXPECT_STREQ(e.what(), r.text);
        }
    }
    EXPECT_EQ(sock.Addr(), "127.0.0.1");
    EXPECT_EQ(sock.Proto(), "tcp");
    int errors = 0;
    sock.OnError = [&](TCustomWSocket *) { ++errors; };
    sock.SetPort("80");
    EXPECT_EQ(errors, 1) << "with OnError the operation returns normally";
    EXPECT_EQ(sock.Port(), l.portText());
}

TEST_F(Component, WinsockIsStartedPerLiveSockets)
{
    int startups = 0, cleanups = 0;
    static int *s_startups, *s_cleanups;
    s_startups = &startups;
    s_cleanups = &cleanups;
    Api().WSAStartup = [](std::uint16_t v, TWSAData *d) {
        ++*s_startups;
        return DefaultApi().WSAStartup(v, d);
    };
    Api().WSACleanup = [] {
        ++*s_cleanups;
        return DefaultApi().WSACleanup();
    };
    auto a = std::make_unique<TWSocket>();
    auto b = std::make_unique<TWSocket>();
    a->DnsLookup("10.1.2.3");
    EXPECT_EQ(a->DnsResult, "10.1.2.3");
    EXPECT_EQ(startups, 1);
    a.reset();
    EXPECT_TRUE(WSocketWinsockLoaded()) << "one socket still lives";
    EXPECT_EQ(cleanups, 0);
    b.reset();
    EXPECT_FALSE(WSocketWinsockLoaded());
    EXPECT_EQ(cleanups, 1);
    TWSocket c;
    c.DnsLookup("10.1.2.4");
    EXPECT_EQ(startups, 2) << "the next call starts it again";
}

TEST_F(Component, LoadFailuresGiveTheirTexts)
{
    struct Row {
        std::function<void()> inject;
        std::string text;
    };
    Row rows[] = {
        {[] { Api().Load = [] { return 2; }; }, "Unable to load wsock32.dll Error #2"},
        {[] { Api().WSAStartup = [](std::uint16_t, TWSAData *) { return 10092; }; }, "wsock32.dll: WSAStartup error #10092"},
        {[] { Api().socket = nullptr; }, "Procedure socket not found in wsock32.dll Error #" + std::to_string(ENOSYS)},
        {[] {
             Api().socket = [](int, int, int) {
                 DefaultApi().WSASetLastError(10024);
                 return INVALID_SOCKET;
             };
         },
         "Error 10024 in function Connect (socket)\r\nToo many open files"},
        {[] {
             Api().setsockopt = [](TSocket, int, int, const char *, int) {
                 DefaultApi().WSASetLastError(10042);
                 return SOCKET_ERROR;
             };
         },
         "Error 10042 in function setsockopt(SO_REUSEADDR)\r\nProtocol not available"},
        {[] {
             Api().WSAAsyncSelect = [](TSocket, HWND, unsigned, long) {
                 DefaultApi().WSASetLastError(10022);
                 return SOCKET_ERROR;
             };
         },
         "Error 10022 in function WSAAsyncSelect\r\nInvalid argument"},
        {[] {
             Api().connect = [](TSocket, const sockaddr_in *, int) {
                 DefaultApi().WSASetLastError(10061);
                 return SOCKET_ERROR;
             };
         },
         "Error 10061 in function Connect\r\nConnection refused"},
    };
    for (auto &r : rows) {
        SCOPED_TRACE(r.text);
        WSocketUnloadWinsock();
        Api() = DefaultApi();
        r.inject();
        TWSocket sock;
        sock.SetAddr("127.0.0.1");
        sock.SetPort("9");
        try {
            sock.Connect();
            ADD_FAILURE() << "no exception";
        } catch (const ESocketException &e) {
            EXPECT_EQ(std::string(e.what()), r.text);
        }
        Api() = DefaultApi();
    }
}

// ---- module routines ------------------------------------------------------------------------------------

TEST(WSocketRoutines, IsDottedIP)
{
    const std::pair<const char *, bool> rows[] = {
        {"1.2.3.4", true},     {"  10.0.0.1", true}, {"10.0.0.1  ", true}, {"255.255.255.255", true},
        {"1.2.3", false},      {"1.2.3.4.5", false}, {".1.2.3", false},    {"1.2.3.", false},
        {"1..2.3", false},     {"256.1.1.1", false}, {"1.2.3.256", false}, {"1.2.3.4x", false},
        {"", false},           {"   ", false},       {"a.b.c.d", false},   {"1.2.3.4 x", false}};
    for (auto [text, dotted] : rows) EXPECT_EQ(IsDottedIP(text), dotted) << text;
}

TEST(WSocketRoutines, ResolveHostPortAndProto)
{
    TWSocket keepLoaded;
    EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
    struct Bad {
        std::function<void()> call;
        std::string text;
    };
    Bad bad[] = {
        {[] { WSocketResolveHost(""); }, "WSocketResolveHost: '' Invalid Hostname."},
        {[] { WSocketResolvePort("65536", "tcp"); }, "WSocketResolvePort: Invalid Port."},
        {[] { WSocketResolvePort("", "tcp"); }, "WSocketResolvePort: Invalid Port."},
        {[] { WSocketResolvePort("43", ""); }, "WSocketResolvePort: Invalid Proto."},
        {[] { WSocketResolveProto(""); }, "WSocketResolveProto: Invalid Protocol."},
    };
    for (auto &b : bad) {
        try {
            b.call();
            ADD_FAILURE() << "no exception: " << b.text;
        } catch (const ESocketException &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, b.text.size()), b.text);
        }
    }
    EXPECT_EQ(WSocketResolvePort("whois", "tcp"), 43);
    EXPECT_EQ(WSocketResolvePort("43x", "tcp"), 43);
    EXPECT_EQ(WSocketResolvePort("65535", "tcp"), 65535);
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto("udp"), 17);
    EXPECT_EQ(WSocketResolveProto("6"), 6);
    try {
        WSocketResolvePort("nosuchservice", "tcp");
        ADD_FAILURE();
    } catch (const ESocketException &e) {
        EXPECT_EQ(std::string(e.what()).rfind("WSocketResolvePort: Cannot convert port 'nosuchservice', Error #", 0), 0u);
    }
}

TEST(WSocketRoutines, ErrorTexts)
{
    const std::pair<int, const char *> rows[] = {
        {0, "No Error"},          {10004, "Interrupted system call"},    {10035, "Operation would block"},
        {10054, "Connection reset by peer"}, {10057, "Socket is not connected"}, {10058, "Can't send after socket shutdown"},
        {10060, "Connection timed out"},     {10061, "Connection refused"},      {10093, "WinSock not initialized"},
        {11001, "Host not found"},           {11004, "No Data"},                 {12345, "Not a WinSock error"}};
    for (auto [code, text] : rows) EXPECT_EQ(WinsockErrorText(code), text) << code;
}

// ---- lookups ---------------------------------------------------------------------------------------------

TEST_F(Component, DnsLookupCases)
{
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.DnsLookup("10.0.0.1");
    EXPECT_EQ(rec.lines, (Lines{"dns 0"})) << "a dotted address answers inside the call";
    EXPECT_EQ(sock.DnsResult, "10.0.0.1");
    EXPECT_TRUE(sock.DnsResultList.empty());

    rec.lines.clear();
    sock.DnsLookup("localhost");
    EXPECT_TRUE(rec.lines.empty());
    ASSERT_TRUE(rec.waitFor("dns 0"));
    EXPECT_EQ(sock.DnsResult, "127.0.0.1");
    ASSERT_FALSE(sock.DnsResultList.empty());
    EXPECT_EQ(sock.DnsResultList[0], "127.0.0.1");

    rec.lines.clear();
    try {
        sock.DnsLookup("");
        ADD_FAILURE();
    } catch (const ESocketException &e) {
        EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
    }
    EXPECT_TRUE(rec.lines.empty()) << "the exception leaves before the event";
    int errors = 0;
    sock.OnError = [&](TCustomWSocket *) { ++errors; };
    sock.DnsLookup("");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(rec.lines, (Lines{"dns 10022"}));

    rec.lines.clear();
    sock.DnsLookup("localhost");
    sock.DnsLookup("localhost");
    ASSERT_TRUE(rec.waitFor("dns 0"));
    EXPECT_TRUE(rec.staysQuiet(400));
    EXPECT_EQ(rec.lines, (Lines{"dns 0"})) << "only the second lookup answers";

    rec.lines.clear();
    sock.DnsLookup("localhost");
    sock.CancelDnsLookup();
    EXPECT_EQ(rec.lines, (Lines{"dns 10004"}));
    EXPECT_TRUE(rec.staysQuiet(400));
}

TEST_F(Component, SocketDestroyedDuringALookupHearsNothing)
{
    SocketRecorder rec;
    {
        TWSocket sock;
        rec.attach(sock);
        sock.DnsLookup("localhost");
        sock.ReverseDnsLookup("127.0.0.1");
    }
    TWSocket other; // keeps the layer loaded while the worker finishes
    EXPECT_TRUE(rec.staysQuiet(500));
    EXPECT_TRUE(rec.lines.empty());
}

TEST_F(Component, AnAnswerBeforeTheHandleIsKnownIsKeptAndHandled)
{
    Api().WSAAsyncGetHostByName = [](HWND w, unsigned msg, const char *, char *, int) -> THandle {
        SendMessage(w, msg, 77, MakeLong(0, 11001));
        return 77;
    };
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.DnsLookup("early.example");
    EXPECT_EQ(rec.lines, (Lines{"dns 11001"}));
    EXPECT_FALSE(sock.LookupEarly);
    EXPECT_EQ(sock.LookupHandle, 0);
}

class NetnsComponent : public Component {
protected:
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
    }
};

TEST_F(NetnsComponent, LookupsFromTheHostsFile)
{
    SocketRecorder rec;
    TWSocket sock;
    rec.attach(sock);
    sock.DnsLookup("multi.vk.test");
    ASSERT_TRUE(rec.waitFor("dns 0"));
    EXPECT_EQ(sock.DnsResultList, (Lines{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(sock.DnsResult, "127.0.0.2");
    rec.lines.clear();
    sock.ReverseDnsLookup("127.0.0.4");
    ASSERT_TRUE(rec.waitFor("dns 0"));
    EXPECT_EQ(sock.DnsResult, "single.vk.test");
    rec.lines.clear();
    sock.DnsLookup("nowhere.vk.test");
    ASSERT_TRUE(rec.waitFor("dns 11001"));
    EXPECT_EQ(WSocketResolveHost("single.vk.test"), ::inet_addr("127.0.0.4"));
    // Neither is dotted, so both go to the resolver: it reads "1.2.3" as 1.2.0.3 and knows no "1.2.3.256".
    EXPECT_EQ(WSocketResolveHost("1.2.3"), ::inet_addr("1.2.0.3"));
    try {
        WSocketResolveHost("1.2.3.256");
        ADD_FAILURE() << "1.2.3.256";
    } catch (const ESocketException &e) {
        EXPECT_EQ(std::string(e.what()).rfind("WSocketResolveHost: Cannot convert host address '1.2.3.256', Error #", 0), 0u);
    }
}

} // namespace
