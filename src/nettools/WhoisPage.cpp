#include "nettools/WhoisPage.h"

#include "nettools/TWhoisForm.h"
#include "nettools/WhoisCli.h"
#include "platform/ComboDropDown.h"
#include "platform/QtSjis.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

WhoisPage::WhoisPage(IpToolsControls &c, TWhoisCli &cli, TWhoisPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), cli_(cli), ctx_(std::move(ctx))
{
    KeepDroppedWidthFitted(c_.WhoisHostEdit);
    for (const char *server : kWhoisServers) c_.WhoisHostEdit->addItem(QString::fromLatin1(server));
    c_.WhoisHostEdit->setCurrentIndex(0);
    c_.btnWhoisCancel->setEnabled(false);
    c_.DisplayMemo->setReadOnly(true);
    UseFixedPitchFont(c_.DisplayMemo); // records line up in columns
    cli_.OnSessionConnected = [this](TWhoisCli *, int e) { WhoisCli1SessionConnected(e); };
    cli_.OnQueryDone = [this](TWhoisCli *, int e) { WhoisCli1QueryDone(e); };
    connect(c_.btnWhoisStart, &QPushButton::clicked, this, &WhoisPage::btnWhoisStartClick);
    connect(c_.btnWhoisCancel, &QPushButton::clicked, this, &WhoisPage::btnWhoisCancelClick);
    connect(c_.btnWhoisClear, &QPushButton::clicked, this, &WhoisPage::btnWhoisClearClick);
    connect(c_.btnWhoisPaste, &QPushButton::clicked, this, &WhoisPage::btnWhoisPasteClick);
    connect(c_.btnDomainPaste, &QPushButton::clicked, this, &WhoisPage::btnDomainPasteClick);
    // A server picked from the list starts a query; a typed one is used by the next start.
    connect(c_.WhoisHostEdit, &QComboBox::textActivated, this, [this] { WhoisHostEditChange(); });
    if (QLineEdit *le = c_.QueryEdit->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { QueryEditKeyDown(13); });
}

void WhoisPage::addLine(const QString &line) { c_.DisplayMemo->appendPlainText(line); }

QString WhoisErrorText(int Error, const QString &Server)
{
    switch (Error) {
    case 10061: return QStringLiteral("ﾄﾞﾒｲﾝ登録情報通知ｻｰﾋﾞｽが有効となっていません");
    case 10060: return QStringLiteral("ホストに到達しません");
    case wsock::WSAEINTR: return QStringLiteral("中止しました");
    case 11001:
    case 11004: return QStringLiteral("Whoisｻｰﾊﾞ【 ") + Server + QStringLiteral(" 】が見つかりません");
    case TWhoisCli::kLookupTimeError:
        return QStringLiteral("Whoisｻｰﾊﾞ【 ") + Server + QStringLiteral(" 】の名前を調べ終わらないため、打ち切りました");
    case TWhoisCli::kTimeLimitError: return QStringLiteral("ｻｰﾊﾞの応答が終わらないため、打ち切りました");
    case TWhoisCli::kSizeLimitError: return QStringLiteral("ｻｰﾊﾞの応答が大きすぎるため、打ち切りました");
    default: return QStringLiteral("ｴﾗｰが発生しました #") + QString::number(Error);
    }
}

QString Ipv6NotSupportedText()
{
    return QStringLiteral("IPv6 ｱﾄﾞﾚｽには対応していません（ このﾂｰﾙは IPv4 のみです ）");
}

void UseFixedPitchFont(QWidget *View)
{
    QFont f = View->font();
    f.setFamily(QStringLiteral("Noto Sans Mono CJK JP"));
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    View->setFont(f);
}

void WhoisPage::btnWhoisStartClick()
{
    if (running_) return; // one query at a time
    const std::string server = Trim(toSjis(c_.WhoisHostEdit->currentText()));
    if (server.empty()) return;
    c_.PageControlTraceRoute->setCurrentWidget(c_.PageControlTraceRouteTab02Whois);
    if (!IsWhoisServerName(server)) {
        addLine(QStringLiteral("Whoisｻｰﾊﾞ【 ") + fromSjis(server) +
                QStringLiteral(" 】は名前に「whois」を含まないため、問い合わせません"));
        return;
    }
    std::string query = Trim(toSjis(c_.QueryEdit->currentText()));
    if (query.empty()) {
        if (c_.EditDomain->text().isEmpty()) {
            const std::string site = toSjis(c_.edtHost->currentText());
            if (NamesIpv6Host(site)) {
                addLine(Ipv6NotSupportedText());
                return;
            }
            c_.EditDomain->setText(fromSjis(WhoisHostPart(site)));
        }
        query = Trim(toSjis(c_.EditDomain->text()));
        if (query.empty()) return;
    }
    c_.DisplayMemo->clear();
    c_.btnWhoisStart->setEnabled(false);
    c_.btnWhoisCancel->setEnabled(true);
    c_.QueryEdit->setEditText(fromSjis(StripWwwPrefix(query)));
    cli_.Query = toSjis(c_.QueryEdit->currentText());
    cli_.Host = server;
    chain_.Start(server);
    running_ = true;
    ++pending_;
    cli_.StartQuery();
    addLine(QStringLiteral(" 【 ") + fromSjis(cli_.Query) + QStringLiteral(" 】"));
    addLine(QString());
}

void WhoisPage::QueryEditKeyDown(int Key)
{
    if (Key == 13) btnWhoisStartClick();
}

void WhoisPage::WhoisHostEditChange() { btnWhoisStartClick(); }

void WhoisPage::btnWhoisPasteClick()
{
    if (!ctx_.clipboardText) return;
    c_.WhoisHostEdit->setEditText(fromSjis(Trim(toSjis(ctx_.clipboardText()))));
    btnWhoisStartClick();
}

void WhoisPage::btnDomainPasteClick()
{
    if (!ctx_.clipboardText) return;
    c_.QueryEdit->setEditText(ctx_.clipboardText());
    btnWhoisStartClick();
}

void WhoisPage::btnWhoisCancelClick()
{
    ++pending_; // a queued next server of the chain is not asked
    cli_.Abort();
    if (running_) {
        // Between two servers of a chain the client had nothing running to report.
        addLine(QStringLiteral("中止しました"));
        finishChain();
    }
    c_.btnWhoisStart->setEnabled(true);
}

void WhoisPage::btnWhoisClearClick()
{
    c_.EditDomain->clear();
    c_.QueryEdit->setEditText(QString());
    c_.edtIP->clear();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void WhoisPage::WhoisCli1SessionConnected(int Error)
{
    if (Error == 0) addLine(QStringLiteral("Connected to host: ") + fromSjis(cli_.Host));
}

void WhoisPage::WhoisCli1QueryDone(int Error)
{
    if (!running_) return;
    const bool cutOff = Error == TWhoisCli::kTimeLimitError || Error == TWhoisCli::kSizeLimitError;
    if (Error == 0 || cutOff) {
        const std::string answer = WhoisAnswerToSjis(cli_.WhoisResp);
        QString text = fromSjis(answer);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        // A server that said nothing leaves no empty line.
        if (!answer.empty())
            for (const QString &line : text.split(QLatin1Char('\n'))) addLine(line);
        if (Error == 0) {
            // The next server is asked from the loop, once the socket has finished with this one.
            const std::string next = WhoisReferral(answer);
            if (!next.empty() && chain_.Next(next)) {
                cli_.Host = next;
                const unsigned token = ++pending_;
                auto alive = alive_;
                QTimer::singleShot(0, this, [this, alive, token] {
                    if (!*alive || token != pending_ || !running_) return;
                    cli_.StartQuery();
                });
                return;
            }
        }
    }
    if (Error != 0) addLine(WhoisErrorText(Error, fromSjis(cli_.Host)));
    finishChain();
}

void WhoisPage::finishChain()
{
    running_ = false;
    c_.btnWhoisStart->setEnabled(true);
    c_.btnWhoisCancel->setEnabled(false);
    if (ctx_.argumentCount > 0 && ctx_.closeMainWindow) {
        // Requested from the loop: nothing is destroyed under the socket handler that got here.
        auto close = ctx_.closeMainWindow;
        QTimer::singleShot(0, this, [close] { close(); });
    }
    const QString all = c_.DisplayMemo->toPlainText();
    const QString lower = all.toLower();
    if (all.contains(QStringLiteral("公開している")) || all.contains(QStringLiteral("参考")) ||
        lower.contains(QStringLiteral("no match")) || lower.contains(QStringLiteral("not match")) ||
        lower.contains(QStringLiteral("not found"))) {
        if (TWhoisForm *f = ctx_.whoisForm ? ctx_.whoisForm() : nullptr) {
            f->setWindowTitle(QStringLiteral("Whoisｻｰﾊﾞの変更"));
            f->LabelServerDesc->setText(QStringLiteral("Whoisｻｰﾊﾞ"));
            f->LabelTryOther->setText(QStringLiteral("を変更して、「 他のｻｰﾊﾞ 」で試してください "));
            f->LabelOherWhoisServer->setText(c_.WhoisHostEdit->currentText());
            f->show();
            if (ctx_.TimerWhoisServer) ctx_.TimerWhoisServer->start();
        }
    }
    if (ctx_.setCompanyInfo) ctx_.setCompanyInfo(all);
}
