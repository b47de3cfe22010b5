// The lookups of the IP-address tools page.
#include "nettools/IpLookupPage.h"

#include "nettools/IpLookup.h"
#include "nettools/WhoisPage.h"

#include "support/WaitUntil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct LookupRig {
    QWidget root;
    IpToolsControls c;
    QStringList messages;
    std::vector<std::vector<std::string>> launched;
    int traceButtonsEnabled = 0, closes = 0;
    std::unique_ptr<IpLookupPage> page;

    LookupRig()
    {
        root.setObjectName(QStringLiteral("PageControlMainTopTab08WebCodeConversion"));
        FormBuilder b(&root);
        b.add(&root);
        c.build(b);
        TIpLookupContext ctx;
        ctx.showMessage = [this](const QString &m) { messages << m; };
        ctx.launch = [this](const std::vector<std::string> &argv) {
            launched.push_back(argv);
            return true;
        };
        ctx.enableTraceButtons = [this] { ++traceButtonsEnabled; };
        ctx.closeMainWindow = [this] { ++closes; };
        page = std::make_unique<IpLookupPage>(c, ctx);
    }
};

TEST(IpLookup, LocalhostBothWays)
{
    std::string ip, name;
    GetIPFromHostName("localhost", ip);
    EXPECT_EQ(ip, "127.0.0.1");
    GetHostNameFromIP("127.0.0.1", name);
    EXPECT_EQ(name, "localhost");
    GetIPFromHostName("", ip);
    EXPECT_EQ(ip, "");

    LookupRig r;
    r.c.edtHost->setEditText(QStringLiteral("http://localhost/x"));
    r.page->btnGetIPAddressOnlyClick();
    EXPECT_EQ(r.c.EditDomain->text(), QStringLiteral("localhost"));
    EXPECT_EQ(r.c.edtIP->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.c.EditReverseIPAddress->text(), QStringLiteral("127.0.0.1"));
    r.page->btnGetNameFromIPAddressClick();
    EXPECT_EQ(r.c.EditNameByIPAddress->text(), QStringLiteral("localhost"));
    r.page->btnNameByIPAddresClearClick();
    EXPECT_TRUE(r.c.EditReverseIPAddress->text().isEmpty());
    EXPECT_TRUE(r.c.EditNameByIPAddress->text().isEmpty());
}

TEST(IpLookup, AnIpv6SiteGetsOneLineAndNoPieceOfIt)
{
    LookupRig r;
    r.c.edtHost->setEditText(QStringLiteral("http://[2001:db8::1]/"));
    r.page->btnGetIPAddressOnlyClick();
    r.page->btnWin7TraceRtClick();
    EXPECT_EQ(r.messages, (QStringList{Ipv6NotSupportedText(), Ipv6NotSupportedText()}));
    EXPECT_TRUE(r.c.EditDomain->text().isEmpty());
    EXPECT_TRUE(r.c.edtIP->text().isEmpty());
    EXPECT_TRUE(r.launched.empty());
}

TEST(IpLookup, MalformedAddressesShowTheFormatMessage)
{
    for (const char *bad : {"1.2.3", "01.2.3.4", "1.2.3.256"}) {
        LookupRig r;
        r.c.EditReverseIPAddress->setText(QString::fromLatin1(bad));
        r.page->btnGetNameFromIPAddressClick();
        ASSERT_EQ(r.messages.size(), 1) << bad;
        EXPECT_TRUE(r.messages[0].startsWith(QStringLiteral("ＩＰアドレスが、正しく指定されていません。\r\n\r\n")));
        EXPECT_TRUE(r.messages[0].endsWith(QStringLiteral("【 ") + QString::fromLatin1(bad) + QStringLiteral(" 】")));
        EXPECT_TRUE(r.c.EditNameByIPAddress->text().isEmpty());
    }
}

TEST(IpLookup, GlobalAddressPageAndExit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("global.html"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><head><title>global address</title></head><body>192.0.2.77</body></html>");
    }
    const QUrl url = QUrl::fromLocalFile(file);
    qputenv("VK_GLOBAL_IP_PAGE", url.toString().toUtf8());
    EXPECT_EQ(IpLookupPage::globalIpPage(), url.toString());
    LookupRig r;
    r.c.PageControlTraceRoute->setCurrentWidget(r.c.PageControlTraceRouteTab02Whois);
    r.page->btnUGTopClick();
    EXPECT_EQ(r.c.PageControlTraceRoute->currentWidget(), r.c.PageControlTraceRouteTab01WebBrowser);
    EXPECT_EQ(r.traceButtonsEnabled, 1);
    EXPECT_TRUE(waitUntil([&] { return r.c.WebBrowserUGTop->LocationURL() == url.toString() && !r.c.WebBrowserUGTop->Busy(); }, 20000))
        << r.c.WebBrowserUGTop->LocationURL().toStdString();
    qunsetenv("VK_GLOBAL_IP_PAGE");
    EXPECT_EQ(IpLookupPage::globalIpPage(), QStringLiteral("https://www.ugtop.com/spill.shtml"));

    r.page->BitBtnTButtonPageControlMainBodyTab08UtilExitClick();
    EXPECT_EQ(r.closes, 1);
    r.page->btnHostNameClearClick();
    EXPECT_EQ(r.traceButtonsEnabled, 2);
}

class NetnsIpLookup : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
    }
};

TEST_F(NetnsIpLookup, HostsFileNamesAndTheSystemTraceroute)
{
    std::string ip, name;
    GetIPFromHostName("single.vk.test", ip);
    EXPECT_EQ(ip, "127.0.0.4");
    GetHostNameFromIP("127.0.0.4", name);
    EXPECT_EQ(name, "single.vk.test");
    GetIPFromHostName("nowhere.vk.test", ip);
    EXPECT_EQ(ip, "");

    LookupRig r;
    r.c.EditDomain->setText(QStringLiteral("example.test"));
    r.page->btnWin7TraceRtClick();
    ASSERT_EQ(r.launched.size(), 1u);
    EXPECT_EQ(r.launched[0], (std::vector<std::string>{"x-terminal-emulator", "-e", "traceroute", "example.test"}));
    EXPECT_EQ(r.messages.value(0), IpLookupPage::traceRtHint());
    EXPECT_TRUE(r.c.edtIP->text().isEmpty()) << "example.test has no address here";

    LookupRig dash;
    dash.c.EditDomain->setText(QStringLiteral("-x"));
    dash.page->btnWin7TraceRtClick();
    EXPECT_TRUE(dash.launched.empty()) << "an option-like domain starts nothing";
}

} // namespace
