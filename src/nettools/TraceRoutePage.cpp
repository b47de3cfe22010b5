#include "nettools/TraceRoutePage.h"

#include "nettools/WhoisPage.h"
#include "nettools/WhoisRules.h"
#include "platform/QtSjis.h"
#include "text/StringList.h"
#include "text/StrUtils.h"

#include <QApplication>
#include <QTextCursor>
#include <QTimer>

namespace {

QColor colorOf(TTraceColor c)
{
    switch (c) {
    case TTraceColor::Green: return QColor(0x00, 0x80, 0x00);
    case TTraceColor::Red: return QColor(0xff, 0x00, 0x00);
    case TTraceColor::Navy: return QColor(0x00, 0x00, 0x80);
    default: return QColor(Qt::black);
    }
}

void restoreCursor()
{
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

} // namespace

TraceRoutePage::TraceRoutePage(IpToolsControls &c, TTracePageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    if (!ctx_.FTraceInterrupted) ctx_.FTraceInterrupted = &ownInterrupted_;
    TTraceView view;
    view.setPanel = [this](int i, const std::string &t) { setPanel(i, fromSjis(t)); };
    view.clearLog = [this] { c_.reLog->clear(); };
    view.addLogLine = [this](const std::string &line, TTraceColor color) { addLogLine(line, color); };
    view.addRow = [this](const std::vector<std::string> &cols) {
        QStringList sub;
        for (std::size_t i = 1; i < cols.size(); ++i) sub << fromSjis(cols[i]);
        c_.ListViewRoute->addRow(cols.empty() ? QString() : fromSjis(cols[0]), sub);
    };
    view.setIP = [this](const std::string &ip) { c_.edtIP->setText(fromSjis(ip)); };
    view.resolveHosts = [this] { return c_.cbResolveHosts->isChecked(); };
    view.processMessages = [] { QCoreApplication::processEvents(); };
    view.beep = [] { QApplication::beep(); };
    trace_ = std::make_unique<TTraceRoute>(icmp_, *ctx_.FTraceInterrupted, std::move(view));

    c_.ListViewRoute->setColumns({{QStringLiteral("Hop"), 40},
                                  {QStringLiteral("通過ルータのホスト名および最終ホスト名"), 250},
                                  {QStringLiteral("ＩＰｱﾄﾞﾚｽ"), 140},
                                  {QStringLiteral("時間"), 0},
                                  {QStringLiteral("ＴＴＬ"), 0},
                                  {QStringLiteral("情報"), 0}});
    c_.StatusBarTraceRoute->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (QComboBox *box : {c_.edtHost, c_.QueryEdit}) box->setMinimumWidth(260);
    c_.reLog->setReadOnly(true);
    c_.reLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    UseFixedPitchFont(c_.reLog);

    connect(c_.btnTraceStart, &QPushButton::clicked, this, &TraceRoutePage::btnTraceStartClick);
    connect(c_.btnTraceStop, &QPushButton::clicked, this, &TraceRoutePage::btnTraceStopClick);
    connect(c_.btnTraceClear, &QPushButton::clicked, this, &TraceRoutePage::btnTraceClearClick);
    connect(c_.btnTracePaste, &QPushButton::clicked, this, &TraceRoutePage::btnTracePasteClick);
    connect(c_.btnHostNamePaste, &QPushButton::clicked, this, &TraceRoutePage::btnHostNamePasteClick);
    connect(c_.ListViewRoute, &TListView::rowClicked, this, &TraceRoutePage::ListViewRouteClick);
}

TraceRoutePage::~TraceRoutePage() { icmp_.Cancel(); }

void TraceRoutePage::setPanel(int i, const QString &text) { c_.StatusBarTraceRoute->setPanelText(i, text); }

void TraceRoutePage::addLogLine(const std::string &line, TTraceColor color)
{
    QTextCursor cur(c_.reLog->document());
    cur.movePosition(QTextCursor::End);
    if (!c_.reLog->document()->isEmpty()) cur.insertBlock();
    QTextCharFormat f;
    f.setForeground(colorOf(color));
    cur.insertText(fromSjis(line), f);
}

void TraceRoutePage::enableTraceButtons()
{
    c_.btnTraceStop->setEnabled(true);
    c_.btnTraceStart->setEnabled(!tracing_);
}

std::string TraceRoutePage::siteUrl() const
{
    const std::string t = Trim(toSjis(c_.edtHost->currentText()));
    if (t.rfind("http://", 0) != 0 && t.rfind("https://", 0) != 0) return {};
    return t;
}

void TraceRoutePage::refuseIpv6()
{
    setPanel(2, Ipv6NotSupportedText());
    addLogLine(toSjis(Ipv6NotSupportedText()), TTraceColor::Red);
    QApplication::beep();
}

void TraceRoutePage::btnTraceStartClick()
{
    if (tracing_) return; // one trace at a time
    const std::string t = siteUrl();
    if (t.empty()) return;
    if (NamesIpv6Host(t)) {
        refuseIpv6();
        return;
    }
    // The site now in the box, never a domain an earlier whois or lookup left in the domain box.
    const std::string domain = WhoisHostPart(t);
    c_.EditDomain->setText(fromSjis(domain));
    traceDomain(domain);
}

void TraceRoutePage::traceDomain(std::string domain)
{
    bool &interrupted = *ctx_.FTraceInterrupted;
    interrupted = false;
    domain = Trim(domain);
    if (domain.empty()) return;
    tracing_ = true;
    c_.btnTraceStart->setEnabled(false);
    c_.btnTraceStop->setEnabled(true);
    c_.ListViewRoute->clear();
    c_.QueryEdit->clear();
    c_.QueryEdit->setEditText(QString());
    if (ctx_.GTraceHopList) ctx_.GTraceHopList->clear();

    QCoreApplication::processEvents();
    setPanel(1, QStringLiteral(" 【 ") + fromSjis(ctx_.localIP ? ctx_.localIP() : std::string()) + QStringLiteral(" 】"));
    c_.ListViewRoute->clear();
    trace_->TraceHost(domain);

    if (interrupted)
        c_.ListViewRoute->addRow(QStringLiteral(" !! "), {fromSjis(domain), QString(), QString(), QString(), QStringLiteral(" 中断")});
    else
        c_.ListViewRoute->addRow(QStringLiteral(" ** "), {fromSjis(domain), QString(), QString(), QString(), QString()});
    interrupted = false;
    tracing_ = false;
    c_.btnTraceStop->setEnabled(true);
    c_.btnTraceStart->setEnabled(true);
    c_.EditReverseIPAddress->setText(c_.edtIP->text());
    setPanel(0, QString());
    // A trace that could not begin keeps its reason in view.
    if (!trace_->EndedWithMessage()) setPanel(2, QString());
    if (closeRequested_ && ctx_.closeMainWindow) {
        closeRequested_ = false;
        // From the loop: this handler returns before the window goes.
        QTimer::singleShot(0, this, [close = ctx_.closeMainWindow] { close(); });
    }
}

void TraceRoutePage::btnTraceStopClick()
{
    if (c_.edtHost->currentText().isEmpty() || c_.EditDomain->text().isEmpty()) return;
    *ctx_.FTraceInterrupted = true;
    c_.btnTraceStop->setEnabled(false);
    c_.EditReverseIPAddress->setText(c_.edtIP->text());
    if (!tracing_) c_.btnTraceStart->setEnabled(true); // a running trace gives it back when it ends
    setPanel(1, QStringLiteral(" 【 ") + fromSjis(ctx_.localIP ? ctx_.localIP() : std::string()) + QStringLiteral(" 】"));
    restoreCursor();
}

void TraceRoutePage::btnTraceClearClick()
{
    c_.EditDomain->clear();
    c_.edtIP->clear();
    c_.ListViewRoute->clear();
    enableTraceButtons();
}

void TraceRoutePage::btnTracePasteClick()
{
    if (ctx_.clipboardText) c_.edtHost->setEditText(ctx_.clipboardText());
    enableTraceButtons();
}

void TraceRoutePage::btnHostNamePasteClick()
{
    if (ctx_.clipboardText) c_.EditDomain->setText(ctx_.clipboardText());
    // The pasted domain is what this button traces.
    if (tracing_ || siteUrl().empty()) return;
    const std::string domain = toSjis(c_.EditDomain->text());
    if (NamesIpv6Host(domain)) {
        refuseIpv6();
        return;
    }
    traceDomain(domain);
}

void TraceRoutePage::ListViewRouteClick(int Row)
{
    if (Row < 0 || Row >= c_.ListViewRoute->rowCount()) return;
    // The address column is padded: trimmed, it is an address for a hop and empty for the
    // closing row, and the name column always goes to the whois query.
    c_.EditReverseIPAddress->setText(c_.ListViewRoute->subItem(Row, 1).trimmed());
    c_.QueryEdit->setEditText(c_.ListViewRoute->subItem(Row, 0).trimmed());
}

void TraceRoutePage::TraceAllClear()
{
    const QString search = ctx_.searchUrl ? ctx_.searchUrl() : QString();
    const QString fav = ctx_.favUrl ? ctx_.favUrl() : QString();
    if (!search.isEmpty()) c_.edtHost->setEditText(search);
    else if (!fav.isEmpty()) c_.edtHost->setEditText(fav);
    c_.EditDomain->clear();
    c_.edtIP->clear();
    c_.QueryEdit->setEditText(QString());
    c_.EditReverseIPAddress->clear();
    c_.EditNameByIPAddress->clear();
    c_.ListViewRoute->clear();
    setPanel(1, QStringLiteral(" 【 ") + fromSjis(ctx_.localIP ? ctx_.localIP() : std::string()) + QStringLiteral(" 】"));
}

bool TraceRoutePage::deferClose()
{
    if (!tracing_) return false;
    closeRequested_ = true;
    *ctx_.FTraceInterrupted = true;
    icmp_.Cancel();
    return true;
}
