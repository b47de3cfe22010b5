// Line mode and the flag waits, against a peer on 127.0.0.1.
#include "nettools/WSocket.h"

#include "nettools/SocketRecorder.h"
#include "platform/TWebbrowser.h"
#include "support/LoopbackPeer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <poll.h>

using namespace wsock;
using Lines = std::vector<std::string>;

namespace {

std::string shown(const std::string &s)
{
    std::string r;
    for (char c : s) {
        if (c == '\r') r += "\\r";
        else if (c == '\n') r += "\\n";
        else if (c == '\b') r += "\\b";
        else r += c;
    }
    return r;
}

struct LineRig {
    SocketRecorder rec;
    TWSocket sock;
    LoopbackListener l;
    PeerConn p;

    LineRig()
    {
        rec.attach(sock);
        // One event per line: the line as read, and what RcvdCount said while it was offered.
        sock.OnDataAvailable = [this](TCustomWSocket *s, int) {
            int n = s->RcvdCount();
            std::string line = s->ReceiveStr();
            rec.lines.push_back("line " + shown(line) + " " + std::to_string(n));
        };
        sock.SetLineMode(true);
        sock.SetAddr("127.0.0.1");
        sock.SetPort(l.portText());
    }
    void start()
    {
        sock.Connect();
        ASSERT_TRUE(rec.waitFor("connected 0"));
        p = l.acceptOne();
        ASSERT_TRUE(p.valid());
    }
    void deliver(const std::string &packet) { ASSERT_TRUE(deliverPacket(p, sock, packet)); }
    Lines lines() const { return rec.only({"line"}); }
};

TEST(LineMode, LinesAreCollectedAcrossReads)
{
    LineRig r;
    r.start();
    r.deliver("ab");
    r.deliver("c\r");
    EXPECT_TRUE(r.lines().empty());
    EXPECT_EQ(r.sock.LineBufCount(), 4);
    r.deliver("\nde\r\n");
    ASSERT_TRUE(waitUntil([&] { return r.lines().size() == 2; }, 5000));
    EXPECT_EQ(r.lines(), (Lines{"line abc\\r\\n 5", "line de\\r\\n 4"}));
}

TEST(LineMode, EditingAndEcho)
{
    struct Row {
        std::vector<std::string> packets;
        bool echo;
        std::string line, echoed;
    };
    const Row rows[] = {
        {{"ab\bc\r\n"}, false, "line ac\\r\\n 4", ""},
        {{"ab\bc\r\n"}, true, "line ac\\r\\n 4", "ab\b \bc\r\n"},
        {{"ab", "\bc\r\n"}, true, "line ac\\r\\n 4", "ab\b \bc\r\n"},
        {{"abc\tX\r\n"}, false, "line abc     X\\r\\n 11", ""},
        {{"abcdefgh\t!\r\n"}, false, "line abcdefgh        !\\r\\n 19", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(shown(row.packets[0]) + (row.echo ? " echo" : ""));
        LineRig r;
        r.sock.LineEdit = true;
        r.sock.LineEcho = row.echo;
        r.start();
        for (const auto &pk : row.packets) r.deliver(pk);
        ASSERT_TRUE(waitUntil([&] { return !r.lines().empty(); }, 5000));
        EXPECT_EQ(r.lines(), (Lines{row.line}));
        if (row.echo) EXPECT_EQ(shown(r.p.readN(row.echoed.size())), shown(row.echoed));
    }
}

TEST(LineMode, LineLimit)
{
    for (int held : {10, 11}) {
        SCOPED_TRACE(held);
        LineRig r;
        r.sock.LineLimit = 10;
        r.sock.OnLineLimitExceeded = [&](TCustomWSocket *, int n, bool &ClearData) {
            r.rec.add("limit", n);
            EXPECT_TRUE(ClearData);
        };
        r.start();
        r.deliver(std::string(std::size_t(held), 'x'));
        r.deliver("z\r\n");
        ASSERT_TRUE(waitUntil([&] { return !r.lines().empty(); }, 5000));
        if (held == 11) {
            EXPECT_EQ(r.rec.only({"limit", "line"}), (Lines{"limit 11", "line z\\r\\n 3"})) << "the 11 bytes were dropped";
        } else {
            EXPECT_EQ(r.rec.only({"limit", "line"}), (Lines{"line xxxxxxxxxxz\\r\\n 13"}));
        }
    }
}

TEST(LineMode, APartialLineComesBeforeTheClose)
{
    LineRig r;
    r.start();
    r.deliver("one\r\ntail");
    r.p.close();
    ASSERT_TRUE(r.rec.waitFor("closed 0"));
    EXPECT_EQ(r.rec.only({"line", "closed"}), (Lines{"line one\\r\\n 5", "line tail 4", "closed 0"}));
}

TEST(LineMode, SwitchingOffHandsTheHeldBytesToPlainReads)
{
    LineRig r;
    r.start();
    r.deliver("held");
    EXPECT_EQ(r.sock.LineBufCount(), 4);
    r.sock.SetLineMode(false); // posts the message that offers what is held
    ASSERT_TRUE(waitUntil([&] { return !r.lines().empty(); }, 5000));
    EXPECT_EQ(r.lines().at(0).substr(0, 10), "line held ");
    EXPECT_EQ(r.sock.LineBufCount(), 0);
    // Plain mode from here: bytes come as they arrive.
    r.deliver("x\r\ny");
    ASSERT_TRUE(waitUntil([&] { return r.lines().size() == 2; }, 5000));
    EXPECT_EQ(r.lines()[1], "line x\\r\\ny 4");
}

TEST(LineMode, AHandlerThatLeavesLineModeMidLineLosesNothing)
{
    LineRig r;
    std::string got;
    r.sock.OnDataAvailable = [&](TCustomWSocket *s, int) {
        char buf[3];
        int n = s->Receive(buf, 3);
        if (n > 0) got.append(buf, std::size_t(n));
        if (static_cast<TWSocket *>(s)->LineMode()) static_cast<TWSocket *>(s)->SetLineMode(false);
    };
    r.start();
    r.deliver("abcdef\r\nnext\r\n");
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 14; }, 5000));
    EXPECT_EQ(shown(got), shown("abcdef\r\nnext\r\n"));
}

TEST(SyncWait, WaitForFlag)
{
    LineRig r;
    r.sock.SetLineMode(false);
    r.start();
    bool flag = false;
    r.sock.OnDataAvailable = [&](TCustomWSocket *s, int) {
        s->ReceiveStr();
        flag = true;
    };
    ASSERT_TRUE(r.p.sendAll("go"));
    r.sock.WaitTimeout = 10000;
    EXPECT_EQ(r.sock.WaitForFlag(flag), 0) << "a handler set it";

    bool never = false;
    r.sock.WaitTimeout = 200;
    EXPECT_EQ(r.sock.WaitForFlag(never), 12001) << "the deadline";

    r.sock.WaitTimeout = 0;
    TWebbrowser::setTerminating(true);
    EXPECT_EQ(r.sock.WaitForFlag(never), 12001) << "the application is closing";
    TWebbrowser::setTerminating(false);

    bool ran = false;
    EXPECT_EQ(r.sock.RunAndWait([&] { ran = true; flag = true; }, flag), 0);
    EXPECT_TRUE(ran);
}

} // namespace
