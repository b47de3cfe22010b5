// The IP-address tools tab inside the real main window: its reset on a page change, its browser,
// the whois record copied to the search page, and a close that arrives during a trace.
#include "mainwindow/TAMainForm.h"

#include "nettools/TraceRoutePage.h"
#include "nettools/WhoisCli.h"
#include "nettools/WhoisPage.h"
#include "platform/ComboDropDown.h"
#include "support/ScriptedServer.h"
#include "support/WaitUntil.h"

#include <QAbstractItemView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace {
struct Form {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form;
    Form() { form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym"))); }
    TAMainForm *operator->() { return form.get(); }
};
} // namespace

TEST(IpToolsWindow, PageChangeResetsTheTabFromTheSearchUrl)
{
    Form f;
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    f->net.edGoogleURL->setEditText(QStringLiteral("http://www.example.test/a"));
    f->ip.EditDomain->setText(QStringLiteral("old.example.test"));
    f->ip.edtIP->setText(QStringLiteral("192.0.2.9"));
    f->ip.ListViewRoute->addRow(QStringLiteral("1   "), {QStringLiteral("x")});
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab08WebCodeConversion);
    EXPECT_EQ(f->ip.edtHost->currentText(), QStringLiteral("http://www.example.test/a"));
    EXPECT_TRUE(f->ip.EditDomain->text().isEmpty());
    EXPECT_TRUE(f->ip.edtIP->text().isEmpty());
    EXPECT_EQ(f->ip.ListViewRoute->rowCount(), 0);
    EXPECT_EQ(f->ip.StatusBarTraceRoute->panelCount(), 3);
    EXPECT_EQ(f->ip.StatusBarTraceRoute->panelText(1),
              QStringLiteral(" 【 ") + QString::fromStdString(f->state().GLocalIP) + QStringLiteral(" 】"));
    EXPECT_EQ(f->ip.PageControlTraceRoute->currentWidget(), f->ip.PageControlTraceRouteTab01WebBrowser);

    // The global-address browser is one of the window's panes and sits on this tab's " ブラウズ ".
    EXPECT_TRUE(f->formBrowsers().contains(f->ip.WebBrowserUGTop));
    EXPECT_TRUE(f->ip.PageControlTraceRouteTab01WebBrowser->isAncestorOf(f->ip.WebBrowserUGTop));
    EXPECT_EQ(f->ip.PageControlTraceRoute->tabText(0), QStringLiteral(" ブラウズ "));
    EXPECT_EQ(f->ip.PageControlTraceRoute->tabText(2), QStringLiteral(" ログ "));
    // The server list drops down as wide as its widest name.
    EXPECT_EQ(f->ip.WhoisHostEdit->count(), 27);
    EXPECT_EQ(f->ip.WhoisHostEdit->view()->minimumWidth(), DroppedWidthFor(f->ip.WhoisHostEdit));
    EXPECT_GT(DroppedWidthFor(f->ip.WhoisHostEdit), 6);
    f->close();
}

TEST(IpToolsWindow, ExitButtonClosesTheWindow)
{
    Form f;
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    f->ip.BitBtnTButtonPageControlMainBodyTab08UtilExit->click();
    EXPECT_FALSE(f->isVisible());
}

class IpToolsWindowNetns : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
    }
};

TEST_F(IpToolsWindowNetns, WhoisRecordIsCopiedToTheSearchPage)
{
    ScriptedServer one("127.0.0.5", 0, [](const std::string &) { return std::string("Domain Name: EXAMPLE.TEST\r\n"); });
    ASSERT_TRUE(one.ok());
    Form f;
    f->GWhoisCli->ServicePort = std::to_string(one.port());
    f->ip.WhoisHostEdit->setEditText(QStringLiteral("whois.one.test"));
    f->ip.QueryEdit->setEditText(QStringLiteral("example.test"));
    f->whoisPage->btnWhoisStartClick();
    ASSERT_TRUE(waitUntil([&] { return !f->whoisPage->running(); }, 10000));
    const QString memo = f->net.MemoPageControlBaseBrowserTab10CompanyInfo->toPlainText();
    EXPECT_TRUE(memo.contains(QStringLiteral("Domain Name: EXAMPLE.TEST"))) << memo.toStdString();
    EXPECT_EQ(memo, f->ip.DisplayMemo->toPlainText());
    EXPECT_TRUE(f->net.PageControlBaseBrowserTab10CompanyInfo->isAncestorOf(f->net.MemoPageControlBaseBrowserTab10CompanyInfo));
}

TEST_F(IpToolsWindowNetns, CloseDuringATraceWaitsForItToUnwind)
{
    {
        std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1";
    }
    TIcmpEcho probe;
    if (!probe.Open()) GTEST_SKIP() << "no ICMP socket is permitted here";
    Form f;
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    f->ip.edtHost->setEditText(QStringLiteral("http://127.0.0.1/"));
    f->traceRoutePage->trace().ReceiveTimeout = 60000;
    bool closedDuringTrace = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!f->traceRoutePage->icmp().Waiting()) return;
        poll.stop();
        closedDuringTrace = !f->close(); // refused for now: the trace unwinds first
    });
    poll.start(5);
    f->traceRoutePage->btnTraceStartClick();
    EXPECT_TRUE(closedDuringTrace);
    EXPECT_FALSE(f->traceRoutePage->tracing());
    EXPECT_EQ(f->ip.ListViewRoute->caption(f->ip.ListViewRoute->rowCount() - 1), QStringLiteral(" !! "));
    EXPECT_TRUE(waitUntil([&] { return !f->isVisible(); }, 5000)) << "the close follows the trace";
    std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "0";
}
