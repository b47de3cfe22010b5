// The whois road of the IP-address tools page, against scripted servers on names of a fixed hosts
// file (run inside a network namespace by netns-run.sh).
#include "nettools/WhoisPage.h"

#include "nettools/TWhoisForm.h"
#include "nettools/WhoisCli.h"
#include "platform/QtSjis.h"
#include "support/ScriptedServer.h"
#include "support/WaitUntil.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

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
        {"whois.nowhere.test", false, "Whoisｻｰﾊﾞ【 whois.nowhere.test 】が見つかりません"},
        {"whois.one.test", true, "中止しました"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.server);
        PageRig r(one.port());
        r.start(QString::fromLatin1(row.server));
        if (row.cancel) r.page->btnWhoisCancelClick();
        ASSERT_TRUE(r.waitIdle());
        EXPECT_EQ(r.memo().last(), QString::fromUtf8(row.line));
        EXPECT_EQ(r.memo().size(), 3) << "the query, an empty line, the one line";
        EXPECT_TRUE(r.c.btnWhoisStart->isEnabled());
    }
}

TEST_F(WhoisRoad, ACancelInsideAChainKeepsWhatCameAndSaysSo)
{
    std::atomic<bool> release{false};
    ScriptedServer one("127.0.0.5", 0, [](const std::string &) { return std::string("first\r\nWhois Server: whois.two.test\r\n"); });
    ScriptedServer two("127.0.0.6", one.port(), [&](const std::string &) {
        for (int waited = 0; !release && waited < 10000; waited += 10) usleep(10000);
        return std::string("never shown\r\n");
    });
    PageRig r(one.port());
    r.start(QStringLiteral("whois.one.test"));
    ASSERT_TRUE(waitUntil([&] { return r.memo().contains(QStringLiteral("Connected to host: whois.two.test")); }, 10000));
    r.c.btnWhoisCancel->click();
    release = true;
    EXPECT_FALSE(r.page->running());
    EXPECT_EQ(r.memo().mid(3), (QStringList{QStringLiteral("first"), QStringLiteral("Whois Server: whois.two.test"),
                                            QStringLiteral("Connected to host: whois.two.test"),
                                            QStringLiteral("中止しました")}));
    EXPECT_TRUE(r.c.btnWhoisStart->isEnabled());
    EXPECT_FALSE(r.c.btnWhoisCancel->isEnabled());
}

TEST_F(WhoisRoad, ASilentServerIsCutOffWithoutAnEmptyLine)
{
    std::atomic<bool> release{false};
    ScriptedServer one("127.0.0.5", 0, [&](const std::string &) {
        // Holds the connection open, saying nothing, until the test has seen the cut.
        for (int waited = 0; !release && waited < 10000; waited += 10) usleep(10000);
        return std::string();
    });
    PageRig r(one.port());
    r.cli.MaxAnswerMs = 300;
    r.start(QStringLiteral("whois.one.test"));
    ASSERT_TRUE(r.waitIdle());
    release = true;
    EXPECT_EQ(r.memo(), (QStringList{QStringLiteral(" 【 example.test 】"), QString(),
                                     QStringLiteral("Connected to host: whois.one.test"),
                                     QStringLiteral("ｻｰﾊﾞの応答が終わらないため、打ち切りました")}));
}

std::string fromUtf8(const char *to, const std::string &utf8)
{
    iconv_t cd = iconv_open(to, "UTF-8");
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

std::string toIso2022jp(const std::string &utf8) { return fromUtf8("ISO-2022-JP", utf8); }

TEST_F(WhoisRoad, RecordsInUtf8AndEucJpReadAndTodaysReferralIsFollowed)
{
    const std::string first = "[登録者名] 日本語の組織 ｶﾅ\r\nRegistrar WHOIS Server: whois.two.test\r\n";
    const std::string second = "[住所] 東京都千代田区 ｶﾅ\n[状態] 有効\n";
    ScriptedServer one("127.0.0.5", 0, [&](const std::string &) { return first; });
    ScriptedServer two("127.0.0.6", one.port(), [&](const std::string &) { return fromUtf8("EUC-JP-MS", second); });
    PageRig r(one.port());
    r.start(QStringLiteral("whois.one.test"));
    ASSERT_TRUE(r.waitIdle());
    EXPECT_EQ(two.connections(), 1);
    EXPECT_EQ(r.memo(), (QStringList{QStringLiteral(" 【 example.test 】"), QString(),
                                     QStringLiteral("Connected to host: whois.one.test"),
                                     QStringLiteral("[登録者名] 日本語の組織 ｶﾅ"),
                                     QStringLiteral("Registrar WHOIS Server: whois.two.test"),
                                     QStringLiteral("Connected to host: whois.two.test"),
                                     QStringLiteral("[住所] 東京都千代田区 ｶﾅ"), QStringLiteral("[状態] 有効")}));
    EXPECT_EQ(r.company, r.c.DisplayMemo->toPlainText()) << "the copy is the decoded record";
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
        {"192.0.2.1", "192.0.2.1"},                            {"", ""},
        {"1 /", "1"},                                          {"http://h.test :80/", "h.test"},
        {"http://[2001:db8::1]/", ""},                         {"http://[2001:db8::1]:8080/x", ""},
        {"2001:db8::1", ""}};
    for (auto [in, out] : hosts) EXPECT_EQ(WhoisHostPart(in), out) << in;
    for (const char *v6 : {"http://[2001:db8::1]/", "https://u@[::1]:443/", "[fe80::1", "::1", "2001:db8::1"})
        EXPECT_TRUE(NamesIpv6Host(v6)) << v6;
    for (const char *v4 : {"http://h:8080/x", "192.0.2.1", "http://user:pw@h.test/", ""})
        EXPECT_FALSE(NamesIpv6Host(v4)) << v4;

    const std::pair<std::string, const char *> referrals[] = {
        {"a\r\n   Whois Server: whois.two.test \r\nWhois Server: later\r\n", "whois.two.test"},
        {"Registrar WHOIS Server: whois.example.jp\r\n", "whois.example.jp"},
        {"   registrar whois server:whois.example.jp\n", "whois.example.jp"},
        {"Registrar WHOIS Server: \r\nRegistrar: X\r\nWhois Server: whois.two.test\r\n", "whois.two.test"},
        {std::string("Whois Server: whois.two.test\0junk\r\n", 33), "whois.two.test"},
        {"Whois Server: whois.two.test\rjunk\r\n", "whois.two.test"},
        {"Whois Server: whois.two.test:43\r\n", "whois.two.test"},
        {"Whois Server: " + std::string(120, 'w') + "\r\n", nullptr},
        {"nothing here\r\n", ""},
        {"Whois Server:\r\n", ""},
    };
    for (const auto &[answer, server] : referrals)
        EXPECT_EQ(WhoisReferral(answer), server ? std::string(server) : std::string(99, 'w')) << answer;

    TWhoisChain chain;
    chain.Start("whois.one.test");
    EXPECT_FALSE(chain.Next("WHOIS.ONE.TEST"));
    EXPECT_TRUE(chain.Next("a"));
    EXPECT_TRUE(chain.Next("b"));
    EXPECT_TRUE(chain.Next("c"));
    EXPECT_TRUE(chain.Next("d"));
    EXPECT_FALSE(chain.Next("e")) << "five servers at most";
}

TEST(WhoisRules, AnswersAreDecodedByWhatTheyAre)
{
    const std::string text = "[ドメイン名] 例え.jp\r\n[登録者名] 日本語の組織 ｶﾅ\r\n";
    const std::string kanaFree = "[ドメイン名] 例え.jp\r\n[登録者名] 日本語の組織\r\n"; // ISO-2022-JP has no ｶﾅ
    struct Row {
        const char *name;
        std::string utf8, raw;
    };
    const Row rows[] = {
        {"UTF-8", text, text},
        {"UTF-8 with a byte-order mark", text, "\xEF\xBB\xBF" + text},
        {"EUC-JP", text, fromUtf8("EUC-JP-MS", text)},
        {"ISO-2022-JP", kanaFree, toIso2022jp(kanaFree)},
        {"Shift_JIS", text, fromUtf8("CP932", text)},
        {"ASCII", "plain ascii\r\n", "plain ascii\r\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.raw.empty());
        EXPECT_EQ(WhoisAnswerToSjis(row.raw), fromUtf8("CP932", row.utf8));
    }
    // An answer cut at its size bound inside a character is still read as what it is.
    const std::string sjis = fromUtf8("CP932", text);
    EXPECT_EQ(WhoisAnswerToSjis(text + "\xE6\x97").substr(0, sjis.size()), sjis);
    EXPECT_EQ(WhoisAnswerToSjis(fromUtf8("EUC-JP-MS", text) + "\xC6").substr(0, sjis.size()), sjis);
}

TEST(WhoisPageRefusals, OneLineSaysWhy)
{
    PageRig r(1);
    r.c.DisplayMemo->appendPlainText(QStringLiteral("earlier record"));
    r.start(QStringLiteral("example-server.test"));
    EXPECT_FALSE(r.page->running()) << "a server text without \"whois\" starts nothing";
    EXPECT_EQ(r.memo(), (QStringList{QStringLiteral("earlier record"),
                                     QStringLiteral("Whoisｻｰﾊﾞ【 example-server.test 】は名前に「whois」を含まないため、問い合わせません")}));
    EXPECT_EQ(r.c.PageControlTraceRoute->currentWidget(), r.c.PageControlTraceRouteTab02Whois);

    r.c.DisplayMemo->clear();
    r.start(QStringLiteral("whois.one.test"), QStringLiteral("http://[2001:db8::1]/"));
    EXPECT_FALSE(r.page->running());
    EXPECT_TRUE(r.c.EditDomain->text().isEmpty()) << "no piece of the literal in the domain box";
    EXPECT_EQ(r.memo(), QStringList{Ipv6NotSupportedText()});
}

TEST(WhoisPageView, RecordColumnsLineUp)
{
    PageRig r(1);
    // Every character takes whole columns: half-width one, Japanese two.
    const QFontMetrics m(r.c.DisplayMemo->font());
    const int w = m.horizontalAdvance(QStringLiteral("WWWWWWWW"));
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("iiiiiiii")), w);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("日本語の")), w);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("ｶﾅｶﾅ    ")), w);
}

} // namespace
