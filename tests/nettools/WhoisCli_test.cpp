// The whois client against servers on 127.0.0.1.
#include "nettools/WhoisCli.h"

#include "support/LoopbackPeer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace wsock;

namespace {

struct ClientRig {
    std::vector<std::string> events;
    TWhoisCli cli;
    LoopbackListener server;

    ClientRig()
    {
        cli.OnSessionConnected = [this](TWhoisCli *, int e) { events.push_back("connected " + std::to_string(e)); };
        cli.OnQueryDone = [this](TWhoisCli *, int e) { events.push_back("done " + std::to_string(e)); };
        cli.Host = "127.0.0.1";
        cli.ServicePort = server.portText();
    }
    bool waitDone(int ms = 5000)
    {
        return waitUntil([&] {
            for (auto &e : events)
                if (e.rfind("done ", 0) == 0) return true;
            return false;
        }, ms);
    }
    // Nothing more over a quiet interval.
    bool staysQuiet(int ms = 300)
    {
        std::size_t n = events.size();
        return !waitUntil([&] { return events.size() > n; }, ms);
    }
    int doneCount() const
    {
        int n = 0;
        for (auto &e : events) n += e.rfind("done ", 0) == 0;
        return n;
    }
};

TEST(WhoisCli, AnswerInSmallPiecesArrivesWholeAndTheQueryLineIsSent)
{
    ClientRig r;
    r.cli.Query = "example.jp";
    r.cli.StartQuery();
    PeerConn p = r.server.acceptOne();
    ASSERT_TRUE(p.valid());
    EXPECT_EQ(p.readN(12), "example.jp\r\n");
    std::string answer;
    for (int i = 0; i < 2000; ++i) answer += char('a' + i % 26) + std::string(9, char('0' + i % 10));
    for (std::size_t off = 0; off < answer.size(); off += 100) ASSERT_TRUE(p.sendAll(answer.substr(off, 100)));
    ASSERT_TRUE(p.sendAll(std::string("tail\0kept", 9)));
    p.close();
    ASSERT_TRUE(r.waitDone());
    EXPECT_TRUE(r.staysQuiet());
    EXPECT_EQ(r.events, (std::vector<std::string>{"connected 0", "done 0"}));
    EXPECT_EQ(r.cli.WhoisResp, answer + "tailkept") << "complete, in order, the 0 byte dropped";

    ClientRig e;
    e.cli.Query = "";
    e.cli.StartQuery();
    PeerConn q = e.server.acceptOne();
    EXPECT_EQ(q.readN(2), "\r\n");
    q.close();
    ASSERT_TRUE(e.waitDone());
}

TEST(WhoisCli, EveryEndingIsReportedOnce)
{
    struct Row {
        const char *name;
        std::function<void(ClientRig &, std::vector<PeerConn> &)> run;
        const char *done;
    };
    const Row rows[] = {
        {"unknown server name",
         [](ClientRig &r, std::vector<PeerConn> &) {
             Api().WSAAsyncGetHostByName = [](HWND w, unsigned msg, const char *, char *, int) -> THandle {
                 PostMessage(w, msg, 91, MakeLong(0, WSAHOST_NOT_FOUND));
                 return 91;
             };
             r.cli.Host = "whois.nowhere.test";
             r.cli.StartQuery();
         },
         "done 11001"},
        {"lookup that never answers, bounded as the connect is",
         [](ClientRig &r, std::vector<PeerConn> &) {
             Api().WSAAsyncGetHostByName = [](HWND, unsigned, const char *, char *, int) -> THandle { return 92; };
             Api().WSACancelAsyncRequest = [](THandle) { return 0; };
             SetConnectTimeout(300);
             r.cli.Host = "whois.stalled.test";
             r.cli.StartQuery();
         },
         "done 21003"},
        {"refused",
         [](ClientRig &r, std::vector<PeerConn> &) {
             r.cli.ServicePort = std::to_string(closedLoopbackPort());
             r.cli.StartQuery();
         },
         "done 10061"},
        {"connect time-out",
         [](ClientRig &r, std::vector<PeerConn> &keep) {
             static LoopbackListener full(0);
             keep = parkConnections(full);
             SetConnectTimeout(400);
             r.cli.ServicePort = full.portText();
             r.cli.StartQuery();
         },
         "done 10060"},
        {"abort during the lookup",
         [](ClientRig &r, std::vector<PeerConn> &) {
             r.cli.Host = "localhost";
             r.cli.StartQuery();
             r.cli.Abort();
         },
         "done 10004"},
        {"size bound",
         [](ClientRig &r, std::vector<PeerConn> &keep) {
             r.cli.MaxAnswerBytes = 1000;
             r.cli.StartQuery();
             keep.push_back(r.server.acceptOne());
             keep.back().sendAll(std::string(5000, 'x'));
         },
         "done 21002"},
        {"time bound",
         [](ClientRig &r, std::vector<PeerConn> &keep) {
             r.cli.MaxAnswerMs = 300;
             r.cli.StartQuery();
             keep.push_back(r.server.acceptOne());
         },
         "done 21001"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ClientRig r;
        std::vector<PeerConn> keep;
        row.run(r, keep);
        ASSERT_TRUE(r.waitDone());
        EXPECT_TRUE(r.staysQuiet());
        EXPECT_EQ(r.doneCount(), 1);
        EXPECT_TRUE(std::find(r.events.begin(), r.events.end(), row.done) != r.events.end()) << r.events.back();
        EXPECT_FALSE(r.cli.Running());
        Api() = DefaultApi();
        SetConnectTimeout(21000);
    }
}

TEST(WhoisCli, AbortWhileConnectedResetsAndIsNoSuccess)
{
    ClientRig r;
    r.cli.StartQuery();
    PeerConn p = r.server.acceptOne();
    ASSERT_TRUE(waitUntil([&] { return !r.events.empty(); }, 5000));
    ASSERT_TRUE(p.sendAll("partial answer, Whois Server: whois.two.test\r\n"));
    p.readN(2);
    r.cli.Abort();
    EXPECT_EQ(r.events, (std::vector<std::string>{"connected 0", "done 10004"}));
    p.readToEof();
    EXPECT_EQ(p.error(), ECONNRESET) << "the server sees a reset";
    EXPECT_TRUE(r.staysQuiet());
}

TEST(WhoisCli, AStartDuringAQuerySupersedesIt)
{
    ClientRig r;
    r.cli.StartQuery();
    PeerConn old = r.server.acceptOne();
    ASSERT_TRUE(old.valid());
    ASSERT_TRUE(waitUntil([&] { return !r.events.empty(); }, 5000));
    r.cli.Query = "second";
    r.cli.StartQuery();
    old.readToEof();
    EXPECT_TRUE(old.eof() || old.error()) << "the old server sees its connection go";
    PeerConn now = r.server.acceptOne();
    EXPECT_EQ(now.readN(8), "second\r\n");
    ASSERT_TRUE(now.sendAll("fresh"));
    now.close();
    ASSERT_TRUE(r.waitDone());
    EXPECT_TRUE(r.staysQuiet());
    EXPECT_EQ(r.doneCount(), 1);
    EXPECT_EQ(r.cli.WhoisResp, "fresh");
}

TEST(WhoisCli, AFailingConnectInsideTheLookupEndsTheQuery)
{
    // The dotted server answers inside StartQuery; the connect then fails to resolve its port.
    ClientRig r;
    r.cli.ServicePort = "no-such-service";
    r.cli.StartQuery();
    EXPECT_TRUE(r.events.empty()) << "never inside StartQuery";
    ASSERT_TRUE(r.waitDone());
    EXPECT_EQ(r.doneCount(), 1);
    EXPECT_FALSE(r.cli.Running());
}

} // namespace
