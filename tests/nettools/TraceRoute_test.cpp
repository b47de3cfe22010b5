// The traceroute of the IP-address tools page, with real ICMP echoes: on this machine's loopback,
// and (run by netns-run.sh) in a private namespace whose loopback can be made silent.
#include "nettools/TraceRoutePage.h"

#include "nettools/WhoisPage.h"

#include "platform/QtSjis.h"
#include "support/WaitUntil.h"
#include "text/StringList.h"

#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace {

bool icmpPermitted()
{
    TIcmpEcho e;
    return e.Open();
}

#define REQUIRE_ICMP()                                                                                             \
    if (!icmpPermitted())                                                                                          \
    GTEST_SKIP() << "this machine permits neither an ICMP datagram socket (net.ipv4.ping_group_range) nor a raw "  \
                    "ICMP socket (CAP_NET_RAW)"

struct TraceRig {
    QWidget root;
    IpToolsControls c;
    bool interrupted = false;
    StringList hops;
    int closes = 0;
    QString clipboard = QStringLiteral("http://127.0.0.1/");
    std::unique_ptr<TraceRoutePage> page;

    TraceRig()
    {
        root.setObjectName(QStringLiteral("PageControlMainTopTab08WebCodeConversion"));
        FormBuilder b(&root);
        b.add(&root);
        c.build(b);
        c.StatusBarTraceRoute->setPanelWidths({100, 100, 100});
        TTracePageContext ctx;
        ctx.FTraceInterrupted = &interrupted;
        ctx.GTraceHopList = &hops;
        ctx.localIP = [] { return std::string("192.0.2.10"); };
        ctx.searchUrl = [] { return QString(); };
        ctx.favUrl = [] { return QStringLiteral("http://fav.example.test/"); };
        ctx.clipboardText = [this] { return clipboard; };
        ctx.closeMainWindow = [this] { ++closes; };
        page = std::make_unique<TraceRoutePage>(c, ctx);
    }
    void trace(const QString &url, int timeoutMs = 2000)
    {
        c.edtHost->setEditText(url);
        page->trace().ReceiveTimeout = timeoutMs;
        page->btnTraceStartClick();
    }
    QStringList row(int i) const
    {
        QStringList r{c.ListViewRoute->caption(i)};
        for (int k = 0; k < 5; ++k) r << c.ListViewRoute->subItem(i, k);
        return r;
    }
    // Runs Fn once, as soon as the trace waits for an echo.
    void whenWaiting(std::function<void()> Fn)
    {
        auto *poll = new QTimer(&root);
        QObject::connect(poll, &QTimer::timeout, &root, [this, poll, Fn] {
            if (!page->icmp().Waiting()) return;
            poll->stop();
            poll->deleteLater();
            Fn();
        });
        poll->start(5);
    }
    QStringList log() const { return c.reLog->toPlainText().split(QLatin1Char('\n')); }
    QColor logColour(int line) const { return c.reLog->colorAt(c.reLog->lineIndex(line)); }
};

const QString kPlaceholderColumn = fromSjis(TraceRowColumns(1, toSjis(QStringLiteral("    ・・・  ")), "", 0, 0, "")[1]);

} // namespace

TEST(TraceFormat, LogLineAndRowColumns)
{
    const std::string dots = toSjis(QStringLiteral("    ・・・  "));
    const std::string ok = toSjis(QStringLiteral(" ＯＫ"));
    struct Case {
        int hop;
        std::string name, addr;
        int time, ttl;
        std::string info, line;
    } cases[] = {
        {1, dots, "192.0.2.1", 3, 64, ok,
         "1    " + dots + std::string(45 - 12, ' ') + " 192.0.2.1          " + "   3ms  64   " + ok},
        {12, "router.example.test", "0.0.0.0", 5001, 0, "x",
         "12   router.example.test" + std::string(45 - 19, ' ') + " 0.0.0.0            5001ms  0    x"},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(TraceLogLine(k.hop, k.name, k.addr, k.time, k.ttl, k.info), k.line) << k.hop;
        const auto cols = TraceRowColumns(k.hop, k.name, k.addr, k.time, k.ttl, k.info);
        ASSERT_EQ(cols.size(), 6u);
        EXPECT_EQ(cols[0].size(), 4u);
        EXPECT_EQ(cols[1].size(), std::max<std::size_t>(30, k.name.size()));
        EXPECT_EQ(cols[2].size(), 18u);
        EXPECT_EQ(cols[5], k.info);
    }
    EXPECT_EQ(TraceRowColumns(7, "a", "b", 12, 255, "")[3], "  12ms");
    EXPECT_EQ(TraceRowColumns(7, "a", "b", 12, 255, "")[4], "255 ");
    EXPECT_EQ(TraceColorOf(0), TTraceColor::Green);
    for (int s : {1, 2, 3}) EXPECT_EQ(TraceColorOf(s), TTraceColor::Red);
    EXPECT_EQ(TraceColorOf(4), TTraceColor::Navy);
}

TEST(TraceLoopback, EchoClientAnswersAndRefusesBadInput)
{
    REQUIRE_ICMP();
    TIcmpEcho e;
    e.Host = "127.0.0.1";
    e.TTL = 1;
    e.ReceiveTimeout = 2000;
    for (int i = 0; i < 3; ++i) {
        e.Ping();
        EXPECT_EQ(e.Reply.Status, 0);
        EXPECT_EQ(e.Reply.Address, "127.0.0.1");
        EXPECT_GT(e.Reply.TTL, 0);
    }
    e.Host = "127.0.0";
    EXPECT_THROW(e.Ping(), EIcmpError);
    EXPECT_EQ(e.Reply.Address, "0.0.0.0");
    EXPECT_EQ(e.Reply.Status, 1);
    EXPECT_EQ(TIcmpEcho::HostNameToAddress("localhost"), "127.0.0.1");
    EXPECT_THROW(TIcmpEcho::HostNameToAddress(""), EIcmpError);
}

TEST(TraceLoopback, OneHopEndsTheTraceInGreen)
{
    REQUIRE_ICMP();
    for (const QString host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        TraceRig r;
        r.c.QueryEdit->addItem(QStringLiteral("old"));
        r.hops.add("stale");
        r.trace(QStringLiteral("http://") + host + QStringLiteral("/"));
        ASSERT_EQ(r.c.ListViewRoute->rowCount(), 2) << host.toStdString();
        const QStringList hop = r.row(0);
        EXPECT_EQ(hop[0], QStringLiteral("1   "));
        EXPECT_EQ(hop[1], kPlaceholderColumn);
        EXPECT_EQ(hop[2], QStringLiteral("127.0.0.1         "));
        EXPECT_TRUE(hop[3].endsWith(QStringLiteral("ms")));
        EXPECT_EQ(hop[5], QStringLiteral(" 終了"));
        EXPECT_EQ(r.row(1), (QStringList{QStringLiteral(" ** "), host, "", "", "", ""}));
        EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" 終了"));
        EXPECT_TRUE(r.c.StatusBarTraceRoute->panelText(2).isEmpty());
        ASSERT_EQ(r.log().size(), 1);
        EXPECT_TRUE(r.log()[0].startsWith(QStringLiteral("1    ")));
        EXPECT_TRUE(r.log()[0].endsWith(QStringLiteral(" 終了")));
        EXPECT_EQ(r.logColour(0), QColor(0, 0x80, 0));
        EXPECT_EQ(r.c.EditDomain->text(), host);
        EXPECT_EQ(r.c.edtIP->text(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(r.c.EditReverseIPAddress->text(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(r.c.QueryEdit->count(), 0);
        EXPECT_TRUE(r.hops.empty());
        EXPECT_TRUE(r.c.btnTraceStart->isEnabled());
        EXPECT_TRUE(r.c.btnTraceStop->isEnabled());
        EXPECT_FALSE(r.page->tracing());
    }
}

TEST(TraceLoopback, HostPartDropsUserInfoAndPort)
{
    REQUIRE_ICMP();
    TraceRig r;
    r.trace(QStringLiteral("http://user:pw@127.0.0.1:8080/x"));
    EXPECT_EQ(r.c.EditDomain->text(), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 2);
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 終了"));
}

TEST(TraceLoopback, TracesTheSiteNowInTheAddressBox)
{
    REQUIRE_ICMP();
    TraceRig r;
    r.c.EditDomain->setText(QStringLiteral("stale.invalid")); // left by an earlier whois or lookup
    r.trace(QStringLiteral("http://localhost/x"));
    EXPECT_EQ(r.c.EditDomain->text(), QStringLiteral("localhost"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 2);
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 終了"));
    EXPECT_EQ(r.row(1)[1], QStringLiteral("localhost"));

    // The domain paste button traces the domain it pasted.
    r.clipboard = QStringLiteral(" 127.0.0.1 ");
    r.c.edtHost->setEditText(QStringLiteral("http://stale.invalid/"));
    r.page->btnHostNamePasteClick();
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 2);
    EXPECT_EQ(r.row(1)[1], QStringLiteral("127.0.0.1"));
}

TEST(TracePage, AnIpv6SiteIsRefusedWithOneLine)
{
    TraceRig r;
    r.trace(QStringLiteral("http://[2001:db8::1]/"));
    EXPECT_EQ(r.c.ListViewRoute->rowCount(), 0);
    EXPECT_TRUE(r.c.EditDomain->text().isEmpty());
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(2), Ipv6NotSupportedText());
    EXPECT_EQ(r.log(), QStringList{Ipv6NotSupportedText()});
    EXPECT_TRUE(r.c.btnTraceStart->isEnabled());
}

TEST(TracePage, OnlyWebAddressesStartATrace)
{
    TraceRig r;
    for (const char *t : {"", "   ", "127.0.0.1", "ftp://127.0.0.1/", "HTTP://127.0.0.1/"}) {
        r.trace(QString::fromLatin1(t));
        EXPECT_EQ(r.c.ListViewRoute->rowCount(), 0) << t;
        EXPECT_TRUE(r.c.EditDomain->text().isEmpty()) << t;
        EXPECT_TRUE(r.c.btnTraceStart->isEnabled()) << t;
    }
}

TEST(TracePage, RouteClickFillsTheLookupAndWhoisBoxes)
{
    TraceRig r;
    const auto cols = TraceRowColumns(2, "router.example.test", "192.0.2.1", 4, 63, toSjis(QStringLiteral(" ＯＫ")));
    QStringList sub;
    for (std::size_t i = 1; i < cols.size(); ++i) sub << fromSjis(cols[i]);
    r.c.ListViewRoute->addRow(fromSjis(cols[0]), sub);
    r.c.ListViewRoute->addRow(QStringLiteral(" ** "), {QStringLiteral("www.example.test"), "", "", "", ""});

    r.page->ListViewRouteClick(0);
    EXPECT_EQ(r.c.EditReverseIPAddress->text(), QStringLiteral("192.0.2.1"));
    EXPECT_EQ(r.c.QueryEdit->currentText(), QStringLiteral("router.example.test"));
    r.page->ListViewRouteClick(1);
    EXPECT_EQ(r.c.EditReverseIPAddress->text(), QString());
    EXPECT_EQ(r.c.QueryEdit->currentText(), QStringLiteral("www.example.test"));
    r.page->ListViewRouteClick(7); // no such row: nothing
    EXPECT_EQ(r.c.QueryEdit->currentText(), QStringLiteral("www.example.test"));

    // A real click on a row reaches the handler.
    r.root.show();
    r.c.ListViewRoute->setCurrentItem(r.c.ListViewRoute->topLevelItem(0));
    emit r.c.ListViewRoute->itemClicked(r.c.ListViewRoute->topLevelItem(0), 0);
    EXPECT_EQ(r.c.EditReverseIPAddress->text(), QStringLiteral("192.0.2.1"));
}

TEST(TracePage, AllClearTakesTheSiteAndEmptiesThePage)
{
    TraceRig r;
    r.c.EditDomain->setText(QStringLiteral("d"));
    r.c.edtIP->setText(QStringLiteral("1.2.3.4"));
    r.c.QueryEdit->setEditText(QStringLiteral("q"));
    r.c.EditReverseIPAddress->setText(QStringLiteral("1.2.3.4"));
    r.c.EditNameByIPAddress->setText(QStringLiteral("n"));
    r.c.ListViewRoute->addRow(QStringLiteral("1"), {QStringLiteral("x")});
    r.page->TraceAllClear();
    EXPECT_EQ(r.c.edtHost->currentText(), QStringLiteral("http://fav.example.test/"));
    for (QLineEdit *e : {r.c.EditDomain, r.c.edtIP, r.c.EditReverseIPAddress, r.c.EditNameByIPAddress})
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    EXPECT_TRUE(r.c.QueryEdit->currentText().isEmpty());
    EXPECT_EQ(r.c.ListViewRoute->rowCount(), 0);
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" 【 192.0.2.10 】"));
}

// In a private namespace: the loopback made silent, the kind of ICMP socket chosen by the
// namespace's ping_group_range (VK_ICMP_DATAGRAM=1 opens it to every group).
class TraceNetns : public testing::Test {
protected:
    static void write(const char *path, const char *value)
    {
        std::ofstream f(path);
        f << value;
    }
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
        const bool datagram = std::getenv("VK_ICMP_DATAGRAM") != nullptr;
        write("/proc/sys/net/ipv4/ping_group_range", datagram ? "0 2147483647" : "1 0");
        TIcmpEcho e;
        ASSERT_TRUE(e.Open());
        EXPECT_EQ(e.kind(), datagram ? TIcmpEcho::Kind::Datagram : TIcmpEcho::Kind::Raw);
        write("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1");
    }
    void TearDown() override { write("/proc/sys/net/ipv4/icmp_echo_ignore_all", "0"); }
};

TEST_F(TraceNetns, SilentHopTimesOutInRedAndStopEndsTheTrace)
{
    TraceRig r;
    // Pressed during the first wait: the trace sees it at the next hop.
    r.whenWaiting([&] { r.page->btnTraceStopClick(); });
    r.trace(QStringLiteral("http://127.0.0.1/"), 500);
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 3);
    const QStringList hop = r.row(0);
    EXPECT_EQ(hop[1], kPlaceholderColumn);
    EXPECT_EQ(hop[2], QStringLiteral("0.0.0.0           "));
    EXPECT_EQ(hop[4], QStringLiteral("0   "));
    EXPECT_EQ(hop[5], QStringLiteral(" 時間切れ"));
    EXPECT_GE(hop[3].chopped(2).trimmed().toInt(), 490);
    EXPECT_EQ(r.row(1)[0], QString());
    EXPECT_EQ(r.row(1)[1], QStringLiteral(" ** 中断されました **"));
    EXPECT_EQ(r.row(2), (QStringList{QStringLiteral(" !! "), QStringLiteral("127.0.0.1"), "", "", "", QStringLiteral(" 中断")}));
    ASSERT_EQ(r.log().size(), 2);
    EXPECT_EQ(r.logColour(0), QColor(0xff, 0, 0));
    EXPECT_EQ(r.log()[1], QStringLiteral(" ** 途中で割り込まれました **"));
    EXPECT_FALSE(r.interrupted);
    EXPECT_TRUE(r.c.btnTraceStart->isEnabled());
}

TEST_F(TraceNetns, WithRouterNamesASilentHopStopsTheTrace)
{
    TraceRig r;
    r.c.cbResolveHosts->setChecked(true);
    r.trace(QStringLiteral("http://127.0.0.1/"), 300);
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 3);
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 時間切れ"));
    EXPECT_EQ(r.row(2)[0], QStringLiteral(" !! "));
    EXPECT_EQ(r.row(2)[5], QStringLiteral(" 中断"));
}

TEST_F(TraceNetns, NothingStartsASecondTraceInsideTheFirst)
{
    TraceRig r;
    r.clipboard = QStringLiteral("http://localhost/");
    bool startWasEnabled = false;
    r.whenWaiting([&] {
        EXPECT_TRUE(r.page->tracing());
        r.page->btnTraceClearClick();
        startWasEnabled |= r.c.btnTraceStart->isEnabled();
        r.page->btnTracePasteClick();
        startWasEnabled |= r.c.btnTraceStart->isEnabled();
        r.page->enableTraceButtons();
        startWasEnabled |= r.c.btnTraceStart->isEnabled();
        r.page->btnHostNamePasteClick();
        startWasEnabled |= r.c.btnTraceStart->isEnabled();
        r.page->btnTraceStartClick();
        r.page->btnTraceStopClick();
        startWasEnabled |= r.c.btnTraceStart->isEnabled();
    });
    r.trace(QStringLiteral("http://127.0.0.1/"), 600);
    EXPECT_FALSE(startWasEnabled);
    // The one trace: its first hop, the interruption and the closing row.
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 3);
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 時間切れ"));
    EXPECT_EQ(r.row(2)[0], QStringLiteral(" !! "));
    EXPECT_TRUE(r.c.btnTraceStart->isEnabled());
}

TEST_F(TraceNetns, ClosingTheWindowEndsTheWaitAndClosesAfterTheTrace)
{
    TraceRig r;
    bool deferred = false;
    r.whenWaiting([&] { deferred = r.page->deferClose(); });
    QElapsedTimer t;
    t.start();
    r.trace(QStringLiteral("http://127.0.0.1/"), 60000);
    EXPECT_TRUE(deferred);
    EXPECT_LT(t.elapsed(), 30000) << "the wait was not ended";
    EXPECT_FALSE(r.page->tracing());
    EXPECT_EQ(r.closes, 0) << "the close is made from the loop, after the handler";
    EXPECT_TRUE(waitUntil([&] { return r.closes == 1; }, 5000));
    EXPECT_FALSE(r.page->deferClose()) << "with no trace the close goes ahead";
}

TEST_F(TraceNetns, UnknownHostEndsWithTheMessage)
{
    TraceRig r;
    r.trace(QStringLiteral("http://no-such-host.test/"), 300);
    EXPECT_EQ(r.c.edtIP->text(), QStringLiteral("?.?.?.?"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 1);
    EXPECT_EQ(r.row(0)[0], QStringLiteral(" ** "));
    // The reason stays in view after the trace has returned to idle.
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(2),
              QStringLiteral(" ホスト名からIPｱﾄﾞﾚｽを見つけ出せません 【 no-such-host.test 】")) << "names the host traced";
    EXPECT_TRUE(r.log().join(QString()).isEmpty());
}

// Across real routers (run by netns-route.sh, which names the topology in VK_TOPOLOGY).
class TraceTopology : public testing::Test {
protected:
    void need(const char *topology)
    {
        const char *t = std::getenv("VK_TOPOLOGY");
        if (!t || std::string(t) != topology)
            GTEST_SKIP() << "runs under tests/nettools/netns-route.sh " << topology;
        TIcmpEcho e;
        ASSERT_TRUE(e.Open());
        EXPECT_EQ(e.kind(), std::getenv("VK_ICMP_DATAGRAM") ? TIcmpEcho::Kind::Datagram : TIcmpEcho::Kind::Raw);
    }
};

TEST_F(TraceTopology, RouterThenTarget)
{
    need("chain");
    if (IsSkipped() || HasFatalFailure()) return;
    TraceRig r;
    r.trace(QStringLiteral("http://198.51.100.2/"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 3);
    EXPECT_EQ(r.row(0)[2], QStringLiteral("192.0.2.1         "));
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" ＯＫ"));
    EXPECT_EQ(r.row(1)[0], QStringLiteral("2   "));
    EXPECT_EQ(r.row(1)[2], QStringLiteral("198.51.100.2      "));
    EXPECT_EQ(r.row(1)[5], QStringLiteral(" 終了"));
    EXPECT_EQ(r.row(2)[0], QStringLiteral(" ** "));
    EXPECT_EQ(r.logColour(0), QColor(0, 0, 0x80));
    EXPECT_EQ(r.logColour(1), QColor(0, 0x80, 0));
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" 終了"));
    // The router's row gives its address to the reverse lookup and the target's name to whois.
    r.page->ListViewRouteClick(0);
    EXPECT_EQ(r.c.EditReverseIPAddress->text(), QStringLiteral("192.0.2.1"));
}

TEST_F(TraceTopology, SilentRouterTimesOutThenTheTargetAnswers)
{
    need("silent");
    if (IsSkipped() || HasFatalFailure()) return;
    TraceRig r;
    r.trace(QStringLiteral("http://198.51.100.2/"), 400);
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 3);
    EXPECT_EQ(r.row(0)[1], kPlaceholderColumn);
    EXPECT_EQ(r.row(0)[2], QStringLiteral("0.0.0.0           "));
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 時間切れ"));
    EXPECT_EQ(r.logColour(0), QColor(0xff, 0, 0));
    EXPECT_EQ(r.row(1)[5], QStringLiteral(" 終了"));

    TraceRig named;
    named.c.cbResolveHosts->setChecked(true);
    named.trace(QStringLiteral("http://198.51.100.2/"), 400);
    ASSERT_EQ(named.c.ListViewRoute->rowCount(), 3);
    EXPECT_EQ(named.row(0)[5], QStringLiteral(" 時間切れ"));
    EXPECT_EQ(named.row(1)[1], QStringLiteral(" ** 中断されました **"));
    EXPECT_EQ(named.row(2)[0], QStringLiteral(" !! "));
    EXPECT_EQ(named.row(2)[5], QStringLiteral(" 中断"));
}

TEST_F(TraceTopology, UnreachableRouteEndsTheTrace)
{
    need("unreachable");
    if (IsSkipped() || HasFatalFailure()) return;
    TraceRig r;
    r.trace(QStringLiteral("http://203.0.113.5/"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 2);
    EXPECT_EQ(r.row(0)[2], QStringLiteral("192.0.2.1         "));
    EXPECT_EQ(r.row(0)[5], QStringLiteral(" 相手先に到着しませんでした"));
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" 相手先に到着しませんでした"));
    EXPECT_EQ(r.row(1)[0], QStringLiteral(" ** "));
}

TEST_F(TraceTopology, RoutingLoopEndsAtTheLastHop)
{
    need("loop");
    if (IsSkipped() || HasFatalFailure()) return;
    TraceRig r;
    r.trace(QStringLiteral("http://203.0.113.5/"));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 40);
    for (int i = 0; i < 39; ++i) {
        EXPECT_EQ(r.row(i)[0].trimmed(), QString::number(i + 1));
        EXPECT_EQ(r.row(i)[2].trimmed(), i % 2 ? QStringLiteral("198.51.100.2") : QStringLiteral("192.0.2.1")) << i;
        EXPECT_EQ(r.row(i)[5], QStringLiteral(" ＯＫ")) << i;
    }
    EXPECT_EQ(r.row(39)[0], QStringLiteral(" ** "));
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" TTLの最大値を超えました"));
}

TEST_F(TraceTopology, SendFailureGivesTheErrorLinesAndAFreshRecord)
{
    need("noroute");
    if (IsSkipped() || HasFatalFailure()) return;
    TraceRig r;
    r.trace(QStringLiteral("http://203.0.113.5/"), 300);
    // Every hop fails to send: the error row, then the hop with an empty record, to the last hop.
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 39 * 2 + 1);
    EXPECT_EQ(r.row(0)[1], QStringLiteral(" ** エラーが発生しました **"));
    EXPECT_EQ(r.row(1)[2], QStringLiteral("0.0.0.0           "));
    EXPECT_EQ(r.row(1)[4], QStringLiteral("0   "));
    EXPECT_EQ(r.row(1)[5], QStringLiteral("  エラー"));
    EXPECT_EQ(r.log()[0], QStringLiteral("** ERROR **"));
    EXPECT_EQ(r.logColour(1), QColor(0xff, 0, 0));
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(1), QStringLiteral(" TTLの最大値を超えました"));
}

// As a user without CAP_NET_RAW in a namespace whose ping_group_range admits no group (run by
// netns-run.sh under setpriv): the trace ends at once with the reason.
TEST(TraceDenied, NoIcmpSocketEndsTheTraceWithTheReason)
{
    if (!std::getenv("VK_ICMP_DENIED")) GTEST_SKIP() << "runs unprivileged under tests/nettools/netns-run.sh";
    if (icmpPermitted()) GTEST_SKIP() << "an ICMP socket is permitted to this user";
    TraceRig r;
    r.trace(QStringLiteral("http://127.0.0.1/"));
    const QString reason = QStringLiteral("ICMPの送信が許可されていません（ ping_group_range または CAP_NET_RAW ）");
    EXPECT_EQ(r.c.StatusBarTraceRoute->panelText(2), reason);
    ASSERT_EQ(r.log().size(), 1);
    EXPECT_EQ(r.log()[0], reason);
    EXPECT_EQ(r.logColour(0), QColor(0xff, 0, 0));
    ASSERT_EQ(r.c.ListViewRoute->rowCount(), 1);
    EXPECT_EQ(r.row(0)[0], QStringLiteral(" ** "));
    EXPECT_TRUE(r.c.btnTraceStart->isEnabled());
}
