#include "nettools/IpLookupPage.h"

#include "nettools/IpLookup.h"
#include "nettools/WhoisPage.h"
#include "nettools/WhoisRules.h"
#include "platform/QtSjis.h"
#include "text/Parsers.h"
#include "text/StrUtils.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

IpLookupPage::IpLookupPage(IpToolsControls &c, TIpLookupContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    if (!ctx_.showMessage)
        ctx_.showMessage = [](const QString &text) { QMessageBox::information(nullptr, QString(), text); };
    if (!ctx_.launch)
        ctx_.launch = [](const std::vector<std::string> &argv) {
            if (argv.empty()) return false;
            QStringList args;
            for (std::size_t i = 1; i < argv.size(); ++i) args << fromSjis(argv[i]);
            return QProcess::startDetached(fromSjis(argv[0]), args);
        };
    connect(c_.btnGetIPAddressOnly, &QPushButton::clicked, this, &IpLookupPage::btnGetIPAddressOnlyClick);
    connect(c_.btnGetNameFromIPAddress, &QPushButton::clicked, this, &IpLookupPage::btnGetNameFromIPAddressClick);
    connect(c_.btnNameByIPAddresClear, &QPushButton::clicked, this, &IpLookupPage::btnNameByIPAddresClearClick);
    connect(c_.btnHostNameClear, &QPushButton::clicked, this, &IpLookupPage::btnHostNameClearClick);
    connect(c_.btnWin7TraceRt, &QPushButton::clicked, this, &IpLookupPage::btnWin7TraceRtClick);
    connect(c_.btnUGTop, &QPushButton::clicked, this, &IpLookupPage::btnUGTopClick);
    connect(c_.BitBtnTButtonPageControlMainBodyTab08UtilExit, &QPushButton::clicked, this,
            &IpLookupPage::BitBtnTButtonPageControlMainBodyTab08UtilExitClick);
}

void IpLookupPage::enableTraceButtons()
{
    if (ctx_.enableTraceButtons) ctx_.enableTraceButtons();
}

void IpLookupPage::btnGetIPAddressOnlyClick()
{
    c_.edtIP->clear();
    std::string t = toSjis(c_.EditDomain->text());
    if (t.empty()) t = toSjis(c_.edtHost->currentText());
    if (NamesIpv6Host(t)) {
        ctx_.showMessage(Ipv6NotSupportedText());
        return;
    }
    const std::string host = WhoisHostPart(t);
    std::string ip;
    GetIPFromHostName(host, ip);
    c_.edtIP->setText(fromSjis(ip));
    c_.EditReverseIPAddress->setText(c_.edtIP->text());
    c_.EditDomain->setText(fromSjis(host));
    enableTraceButtons();
}

void IpLookupPage::btnGetNameFromIPAddressClick()
{
    const std::string ip = Trim(toSjis(c_.EditReverseIPAddress->text()));
    if (ip.empty()) return;
    if (IsInvalidIPAddress(ip)) {
        ctx_.showMessage(QStringLiteral("ＩＰアドレスが、正しく指定されていません。\r\n\r\n"
                                        "「　WWW．XXX．YYY．ZZZ 」の形式( 各： 0-255 ）にして下さい\r\n\r\n【 ") +
                         fromSjis(ip) + QStringLiteral(" 】"));
        return;
    }
    std::string name;
    GetHostNameFromIP(ip, name);
    c_.EditNameByIPAddress->setText(fromSjis(name));
}

void IpLookupPage::btnNameByIPAddresClearClick()
{
    c_.EditReverseIPAddress->clear();
    c_.EditNameByIPAddress->clear();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void IpLookupPage::btnHostNameClearClick()
{
    c_.EditDomain->clear();
    c_.QueryEdit->setEditText(QString());
    c_.edtIP->clear();
    c_.QueryEdit->clear();
    enableTraceButtons();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

QString IpLookupPage::traceRtHint()
{
    return QStringLiteral("スタートメニューから【 アクセサリ →　コマンド プロンプト 】で \r\n\r\n"
                          "C:\\Users\\Username>「 tracert www.example.jp 」\r\n\r\n"
                          "と打ってください\r\n\r\n"
                          "終了は　「 exit 」です");
}

void IpLookupPage::btnWin7TraceRtClick()
{
    std::string domain = toSjis(c_.EditDomain->text());
    if (NamesIpv6Host(domain.empty() ? toSjis(c_.edtHost->currentText()) : domain)) {
        ctx_.showMessage(Ipv6NotSupportedText());
        return;
    }
    if (domain.empty()) {
        domain = WhoisHostPart(toSjis(c_.edtHost->currentText()));
        c_.EditDomain->setText(fromSjis(domain));
    }
    domain = Trim(domain);
    if (domain.empty()) return;
    ctx_.showMessage(traceRtHint());
    QCoreApplication::processEvents();
    // The domain is one argument, never read by a shell; one that begins with "-" would be taken
    // for an option, so nothing starts.
    if (domain[0] != '-') ctx_.launch({"x-terminal-emulator", "-e", "traceroute", domain});
    std::string ip;
    GetIPFromHostName(domain, ip);
    c_.edtIP->setText(fromSjis(ip));
    enableTraceButtons();
}

QString IpLookupPage::globalIpPage()
{
    const QString page = qEnvironmentVariable("VK_GLOBAL_IP_PAGE");
    return page.isEmpty() ? QStringLiteral("https://www.ugtop.com/spill.shtml") : page;
}

void IpLookupPage::btnUGTopClick()
{
    c_.PageControlTraceRoute->setCurrentWidget(c_.PageControlTraceRouteTab01WebBrowser);
    c_.WebBrowserUGTop->Navigate(globalIpPage());
    enableTraceButtons();
}

void IpLookupPage::BitBtnTButtonPageControlMainBodyTab08UtilExitClick()
{
    if (ctx_.closeMainWindow) ctx_.closeMainWindow();
}
