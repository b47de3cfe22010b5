// The traceroute of the IP-address tools page: the trace buttons, the table of hops and its
// clicks, the coloured log and the page's reset.
#pragma once
#include "nettools/IpToolsControls.h"
#include "nettools/TraceRoute.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class StringList;

// The window's part in the page.
struct TTracePageContext {
    bool *FTraceInterrupted = nullptr;  // the shared stop request
    StringList *GTraceHopList = nullptr;
    std::function<std::string()> localIP; // GLocalIP
    // The search page's and the favourites page's URL boxes, which TraceAllClear reads.
    std::function<QString()> searchUrl, favUrl;
    std::function<QString()> clipboardText;
    // Closes the main window; used for a close that waited for a trace to unwind.
    std::function<void()> closeMainWindow;
};

class TraceRoutePage : public QObject {
    Q_OBJECT
public:
    TraceRoutePage(IpToolsControls &c, TTracePageContext ctx, QObject *parent = nullptr);
    ~TraceRoutePage() override;

    void btnTraceStartClick();
    void btnTraceStopClick();
    void btnTraceClearClick();
    void btnTracePasteClick();
    void btnHostNamePasteClick();
    void ListViewRouteClick(int Row);
    void TraceAllClear();

    // Both trace buttons enabled; while a trace runs only its stop button, so that no second
    // trace starts inside the first.
    void enableTraceButtons();
    bool tracing() const { return tracing_; }
    // A close of the window during a trace: the trace is interrupted and its wait ended, and the
    // close is made again once the trace has unwound. True when the close must wait.
    bool deferClose();

    TTraceRoute &trace() { return *trace_; }
    TIcmpEcho &icmp() { return icmp_; }

private:
    void setPanel(int i, const QString &text);
    // The trace to Domain, once the site box holds a web address; Domain is what was traced.
    void traceDomain(std::string Domain);
    // The site box's text when it is a web address ("http://", "https://"), else "".
    std::string siteUrl() const;
    // The one line for an IPv6 site, in the step panel and the log, with a beep.
    void refuseIpv6();
    void addLogLine(const std::string &line, TTraceColor color);

    IpToolsControls &c_;
    TTracePageContext ctx_;
    bool ownInterrupted_ = false; // when the window gives no shared flag
    TIcmpEcho icmp_;
    std::unique_ptr<TTraceRoute> trace_;
    bool tracing_ = false;
    bool closeRequested_ = false;
};
