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
    // Both trace buttons enabled (the trace page keeps its start disabled while it runs).
    std::function<void()> enableTraceButtons;
    std::function<void()> closeMainWindow;
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
    void btnUGTopClick();
    void BitBtnTButtonPageControlMainBodyTab08UtilExitClick();

    static QString traceRtHint();
    // The page that shows the caller's global address; VK_GLOBAL_IP_PAGE names another.
    static QString globalIpPage();

private:
    void enableTraceButtons();
    IpToolsControls &c_;
    TIpLookupContext ctx_;
};
