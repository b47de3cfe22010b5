// The whois part of the IP-address tools page: asks the chosen server about a site's domain,
// shows the record, follows the server it names, and shows the notice when nothing matched.
#pragma once
#include "nettools/IpToolsControls.h"
#include "nettools/WhoisRules.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class TWhoisCli;
class TWhoisForm;
class QTimer;
class QWidget;

// The line a query's failure leaves under the record; Server is the server that was asked.
QString WhoisErrorText(int Error, const QString &Server);
// The one line the network tools give for a site named by an IPv6 literal.
QString Ipv6NotSupportedText();
// A fixed-pitch font (Japanese two columns wide) for views of records and logs, whose columns
// must line up.
void UseFixedPitchFont(QWidget *View);

// The window's part in the page.
struct TWhoisPageContext {
    QTimer *TimerWhoisServer = nullptr; // hides the notice when it fires
    int argumentCount = 0;              // program arguments left after Qt took its own
    std::function<void()> closeMainWindow;
    // The search page's company-info memo receives a copy of the answers (empty: nowhere yet).
    std::function<void(const QString &)> setCompanyInfo;
    std::function<QString()> clipboardText;
    std::function<TWhoisForm *()> whoisForm;
};

class WhoisPage : public QObject {
    Q_OBJECT
public:
    WhoisPage(IpToolsControls &c, TWhoisCli &cli, TWhoisPageContext ctx, QObject *parent = nullptr);

    void btnWhoisStartClick();
    void QueryEditKeyDown(int Key);
    void WhoisHostEditChange();
    void btnWhoisPasteClick();
    void btnDomainPasteClick();
    void btnWhoisCancelClick();
    void btnWhoisClearClick();
    void WhoisCli1SessionConnected(int Error);
    void WhoisCli1QueryDone(int Error);

    bool running() const { return running_; }

private:
    void addLine(const QString &line);
    void finishChain();

    IpToolsControls &c_;
    TWhoisCli &cli_;
    TWhoisPageContext ctx_;
    TWhoisChain chain_;
    bool running_ = false;
    unsigned pending_ = 0; // the queued next query of a chain; a cancel makes it stale
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

public:
    ~WhoisPage() override { *alive_ = false; }
};
