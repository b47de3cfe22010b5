// The lookups of the IP-address tools page: a site's address, an address's host name, and the
// system's traceroute in a terminal of its own.
#pragma once
#include "nettools/IpToolsControls.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

struct TIpLookupContext {
    std::function<void(const QString &)> showMessage;
    // Starts a program with an argument list (Argv[0] is the program), never through a shell.
    std::function<bool(const std::vector<std::string> &Argv)> launch;
};

class IpLookupPage : public QObject {
    Q_OBJECT
public:
    IpLookupPage(IpToolsControls &c, TIpLookupContext ctx, QObject *parent = nullptr);

    void btnGetIPAddressOnlyClick();
    void btnGetNameFromIPAddressClick();
    void btnNameByIPAddresClearClick();
    void btnHostNameClearClick();
    void btnWin7TraceRtClick();

    static QString traceRtHint();

private:
    IpToolsControls &c_;
    TIpLookupContext ctx_;
};
