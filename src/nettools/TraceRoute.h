// The traceroute: echo requests of growing time-to-live, each hop written to a coloured log and
// a table. The trace touches the window only through TTraceView, so a test can run it without
// one; texts are Shift_JIS.
#pragma once
#include "nettools/IcmpEcho.h"

#include <functional>
#include <string>
#include <vector>

enum class TTraceColor { Default, Green, Red, Navy };

// What the trace writes and asks of the page.
struct TTraceView {
    std::function<void(int Panel, const std::string &Text)> setPanel;
    std::function<void()> clearLog;
    std::function<void(const std::string &Line, TTraceColor Color)> addLogLine;
    // A table row: its caption and five sub-items.
    std::function<void(const std::vector<std::string> &Columns)> addRow;
    std::function<void(const std::string &Ip)> setIP;
    std::function<bool()> resolveHosts;     // look each router's name up
    std::function<void()> processMessages;
    std::function<void()> beep;
};

// The log line and the six table columns of one hop.
std::string TraceLogLine(int Hop, const std::string &Name, const std::string &Address, int Time, int Ttl,
                         const std::string &Info);
std::vector<std::string> TraceRowColumns(int Hop, const std::string &Name, const std::string &Address, int Time,
                                         int Ttl, const std::string &Info);
// The log colour of a reply status.
TTraceColor TraceColorOf(int Status);

class TTraceRoute {
public:
    static constexpr int kMaxHop = 40; // hops probed stay below it
    // The message of a system that permits no ICMP socket to this user.
    static std::string NotPermittedText();

    TTraceRoute(TIcmpEcho &Icmp, bool &Interrupted, TTraceView View);

    // Traces to Host (a name or a dotted address); returns when the trace has ended.
    void TraceHost(const std::string &Host);

    // True when the last trace ended before its first echo with a message in panel 2 (no
    // address for the host, or no ICMP socket permitted), which then stays for the user.
    bool EndedWithMessage() const { return endedWithMessage_; }

    int ReceiveTimeout = 5000; // per echo; tests lower it
    int TraceHop = 0;
    std::string TraceTargetHost, TraceTargetIP;
    long long TraceStartTick = 0;

private:
    // One reply written; true when the trace goes on to the next hop.
    bool TraceReply(const TIcmpReply &Reply);
    // The next hop's echo and its reply; true when the trace goes on.
    bool TraceNextHop();
    void AddTraceLine(int Hop, int Time, const std::string &Info, const TIcmpReply &Reply);
    // One echo; a failed one leaves the error lines and a fresh error record.
    void echo(bool reportFailure);

    TIcmpEcho &icmp_;
    bool &interrupted_;
    TTraceView view_;
    TTraceColor lastColor_ = TTraceColor::Default;
    bool endedWithMessage_ = false; // the log goes on in the colour of its last hop
};
