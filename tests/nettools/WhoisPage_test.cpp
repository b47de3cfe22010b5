// The whois road of the IP-address tools page, against scripted servers on names of a fixed hosts
// file (run inside a network namespace by netns-run.sh).
#include "nettools/WhoisPage.h"

#include "nettools/TWhoisForm.h"
#include "nettools/WhoisCli.h"
#include "support/ScriptedServer.h"
#include "support/WaitUntil.h"

#include <QLabel>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iconv.h>

namespace {

struct PageRig {
    QWidget root;
    IpToolsControls c;
    TWhoisCli cli;
    QTimer timer;
    TWhoisForm form;
    int closes = 0;
    QString company;
    std::unique_ptr<WhoisPage> page;

    explicit PageRig(int port, int argumentCount = 0)
    {
        root.setObjectName(QStringLiteral("PageControlMainTopTab08WebCodeConversion"));
        FormBuilder b(&root);
        b.add(&root);
        c.build(b);
        timer.setInterval(5000);
        TWhoisPageContext ctx;
        ctx.TimerWhoisServer = &timer;
        ctx.argumentCount = argumentCount;
        ctx.closeMainWindow = [this] { ++closes; };
        ctx.setCompanyInfo = [this](const QString &t) { company = t; };
        ctx.clipboardText = [] { return QStringLiteral(" whois.two.test "); };
        ctx.whoisForm = [this] { return &form; };
        page = std::make_unique<WhoisPage>(c, cli, ctx);
        cli.ServicePort = std::to_string(port);
    }
    void start(const QString &server, const QString &host = QStringLiteral("https://www.example.test/a/b"))
    {
        c.WhoisHostEdit->setEditText(server);
        c.edtHost->setEditText(host);
        page->btnWhoisStartClick();
    }
    bool waitIdle() { return waitUntil([&] { return !page->running(); }, 10000); }
    QStringList memo() const { return c.DisplayMemo->toPlainText().split(QLatin1Char('\n')); }
};

class WhoisRoad : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("VK_NETNS")) GTEST_SKIP() << "runs under tests/nettools/netns-run.sh";
    }
    void TearDown() override { wsock::SetConnectTimeout(21000); }
};

TEST_F(WhoisRoad, AnswerAndItsReferralAppearInOrder)
{
    ScriptedServer one("127.0.0.5", 0, [](const std::string &) {
        return std::string("Domain Name: example.test\r\n   Whois Server: whois.two.test\r\n");
    });
    ScriptedServer two("127.0.0.6", one.port(), [](const std::string &) { return std::string("Registrant: Example\r\n"); });
    ASSERT_TRUE(one.ok() && two.ok());
    PageRig r(one.port());
    r.start(QStringLiteral("whois.one.test"));
    EXPECT_TRUE(r.page->running());
    EXPECT_FALSE(r.c.btnWhoisStart->isEnabled());
    EXPECT_TRUE(r.c.btnWhoisCancel->isEnabled());
    EXPECT_EQ(r.c.EditDomain->text(), QStringLiteral("www.example.test"));
    EXPECT_EQ(r.c.QueryEdit->currentText(), QStringLiteral("example.test"));
    ASSERT_TRUE(r.waitIdle());
    EXPECT_EQ(one.lastQuery(), "example.test\r\n");
    EXPECT_EQ(two.lastQuery(), "example.test\r\n");
    EXPECT_EQ(r.memo(), (QStringList{QStringLiteral(" 【 example.test 】"), QString(),
                                     QStringLiteral("Connected to host: whois.one.test"),
                                     QStringLiteral("Domain Name: example.test"),
                                     QStringLiteral("   Whois Server: whois.two.test"),
                                     QStringLiteral("Connected to host: whois.two.test"),
                                     QStringLiteral("Registrant: Example")}));
    EXPECT_TRUE(r.c.btnWhoisStart->isEnabled());
    EXPECT_FALSE(r.c.btnWhoisCancel->isEnabled());
    EXPECT_EQ(r.company, r.c.DisplayMemo->toPlainText());
    EXPECT_FALSE(r.form.isVisible());
}

TEST_F(WhoisRoad, ReferralChainsEnd)
{
    struct Row {
        const char *name;
        std::vector<std::string> referrals; // the k-th answer names referrals[k]
        int asked;
    };
    const Row rows[] = {
        {"names itself", {"whois.one.test"}, 1},
        {"two name each other", {"whois.two.test", "WHOIS.ONE.TEST"}, 2},
        {"longer than five, through dotted servers", {"whois.two.test", "127.0.0.5", "127.0.0.6", "127.5", "127.6", "127.0.5"}, 5},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::atomic<int> k{0};
        auto answer = [&](const std::string &) {
            int i = k++;
            std::string ref = i < int(row.referrals.size()) ? row.referrals[std::size_t(i)] : "";
            return "answer " + std::to_string(i) + "\r\nWhois Server: " + ref + "\r\n";
        };
        ScriptedServer one("127.0.0.5", 0, answer);
        ScriptedServer two("127.0.0.6", one.port(), answer);
        PageRig r(one.port());
        r.start(QStringLiteral("whois.one.test"));
        ASSERT_TRUE(r.waitIdle());
        EXPECT_EQ(k.load(), row.asked);
        EXPECT_EQ(r.memo().filter(QStringLiteral("Connected to host: ")).size(), row.asked);
    }
}

TEST_F(WhoisRoad, FailuresGiveOneLine)
{
    ScriptedServer one("127.0.0.5", 0, [](const std::string &) { return std::string("x\r\n"); });
    struct Row {
        const char *server;
        bool cancel;
        const char *line;
    };
    const Row rows[] = {
        {"whois.three.test", false, "ﾄﾞﾒｲﾝ登録情報通知ｻｰﾋﾞｽが有効となっていません"},
        {"whois.nowhere.test", false, "ｴﾗｰが発生しました #11001"},
        {"whois.one.test", true, "ｴﾗｰが発生しました #10004"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.server);
        PageRig r(one.port());
        r.start(QString::fromLatin1(row.server));
        if (row.cancel) r.page->btnWhoisCancelClick();
        ASSERT_TRUE(r.waitIdle());
        EXPECT_EQ(r.memo().last(), QString::fromUtf8(row.line));
        EXPECT_EQ(r.memo().filter(QStringLiteral("ｴﾗｰ")).size() + r.memo().filter(QStringLiteral("ﾄﾞﾒｲﾝ")).size(), 1);
        EXPECT_TRUE(r.c.btnWhoisStart->isEnabled());
    }
}

std::string toIso2022jp(const std::string &utf8)
{
    iconv_t cd = iconv_open("ISO-2022-JP", "UTF-8");
    std::string out(utf8.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(utf8.data());
    char *o = out.data();
    size_t il = utf8.size(), ol = out.size();
    iconv(cd, &in, &il, &o, &ol);
    iconv(cd, nullptr, nullptr, &o, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

TEST_F(WhoisRoad, JapaneseAnswerNoticeAndTheCloseAfterTheFirstAnswer)
{
    const std::string text = "[ドメイン名] EXAMPLE.TEST\r\n該当するデータがありません no match\r\n";
    ScriptedServer one("127.0.0.5", 0, [&](const std::string &) { return toIso2022jp(text); });
    PageRig r(one.port(), 1);
    r.start(QStringLiteral("whois.one.test"));
    ASSERT_TRUE(r.waitIdle());
    QStringList m = r.memo();
    ASSERT_GE(m.size(), 5);
    EXPECT_EQ(m[3], QStringLiteral("[ドメイン名] EXAMPLE.TEST"));
    EXPECT_EQ(m[4], QStringLiteral("該当するデータがありません no match"));
    EXPECT_TRUE(r.form.isVisible()) << "no match: the notice shows";
    EXPECT_EQ(r.form.LabelOherWhoisServer->text(), QStringLiteral("whois.one.test"));
    EXPECT_TRUE(r.timer.isActive());
    ASSERT_TRUE(waitUntil([&] { return r.closes == 1; }, 2000));
}

TEST_F(WhoisRoad, StartsOnlyWhenItShould)
{
    ScriptedServer one("127.0.0.5", 0, [](const std::string &) { return std::string("x\r\n"); });
    PageRig r(one.port());
    r.start(QStringLiteral("example-server.test"));
    EXPECT_FALSE(r.page->running()) << "a server text without \"whois\" starts nothing";
    r.start(QStringLiteral("whois.one.test"));
    r.page->btnWhoisStartClick();
    r.page->QueryEditKeyDown(13);
    ASSERT_TRUE(r.waitIdle());
    EXPECT_EQ(one.connections(), 1) << "a start while a query runs is refused";
    r.page->btnWhoisPasteClick(); // pastes " whois.two.test " and starts once
    EXPECT_EQ(r.c.WhoisHostEdit->currentText(), QStringLiteral("whois.two.test"));
    EXPECT_TRUE(r.page->running());
    ASSERT_TRUE(r.waitIdle());
    r.page->btnWhoisClearClick();
    EXPECT_TRUE(r.c.EditDomain->text().isEmpty());
    EXPECT_TRUE(r.c.QueryEdit->currentText().isEmpty());
}

TEST(WhoisRules, HostPartAndReferral)
{
    const std::pair<const char *, const char *> hosts[] = {
        {"https://www.example.test/a/b", "www.example.test"}, {"http://h:8080/x", "h"},
        {"  example.test  ", "example.test"},                  {"http://user:pw@h.test/", "h.test"},
        {"192.0.2.1", "192.0.2.1"},                            {"", ""}};
    for (auto [in, out] : hosts) EXPECT_EQ(WhoisHostPart(in), out) << in;
    EXPECT_EQ(WhoisReferral("a\r\n   Whois Server: whois.two.test \r\nWhois Server: later\r\n"), "whois.two.test");
    EXPECT_EQ(WhoisReferral("nothing here\r\n"), "");
    EXPECT_EQ(WhoisReferral("whois server: lower case\r\n"), "") << "matched with letter case";
    TWhoisChain chain;
    chain.Start("whois.one.test");
    EXPECT_FALSE(chain.Next("WHOIS.ONE.TEST"));
    EXPECT_TRUE(chain.Next("a"));
    EXPECT_TRUE(chain.Next("b"));
    EXPECT_TRUE(chain.Next("c"));
    EXPECT_TRUE(chain.Next("d"));
    EXPECT_FALSE(chain.Next("e")) << "five servers at most";
}

} // namespace
