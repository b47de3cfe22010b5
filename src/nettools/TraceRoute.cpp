#include "nettools/TraceRoute.h"

#include "platform/QtSjis.h"

#include <chrono>
#include <cstdio>

namespace {

std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

long long tick()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// printf into a string; the widths count Shift_JIS bytes.
template <class... A>
std::string format(const char *fmt, A... args)
{
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(std::size_t(n < 0 ? 0 : n), '\0');
    if (n > 0) std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

} // namespace

std::string TraceLogLine(int Hop, const std::string &Name, const std::string &Address, int Time, int Ttl,
                         const std::string &Info)
{
    return format("%-4d %-45s %-18s %4dms  %-4d %s", Hop, Name.c_str(), Address.c_str(), Time, Ttl, Info.c_str());
}

std::vector<std::string> TraceRowColumns(int Hop, const std::string &Name, const std::string &Address, int Time,
                                         int Ttl, const std::string &Info)
{
    return {format("%-4d", Hop), format("%-30s", Name.c_str()), format("%-18s", Address.c_str()),
            format("%4dms", Time), format("%-4d", Ttl), Info};
}

TTraceColor TraceColorOf(int Status)
{
    if (Status == 0) return TTraceColor::Green;
    if (Status >= 1 && Status <= 3) return TTraceColor::Red;
    return TTraceColor::Navy;
}

std::string TTraceRoute::NotPermittedText()
{
    return sj("ICMPの送信が許可されていません（ ping_group_range または CAP_NET_RAW ）");
}

TTraceRoute::TTraceRoute(TIcmpEcho &Icmp, bool &Interrupted, TTraceView View)
    : icmp_(Icmp), interrupted_(Interrupted), view_(std::move(View))
{
}

void TTraceRoute::echo(bool reportFailure)
{
    try {
        icmp_.Ping();
    } catch (const EIcmpError &) {
        if (reportFailure) {
            view_.addLogLine("** ERROR **", lastColor_);
            view_.addRow({"", sj(" ** エラーが発生しました **")});
        }
        // A fresh record: the previous hop's answer must not stand for this one.
        icmp_.Reply = TIcmpReply{};
    }
}

void TTraceRoute::TraceHost(const std::string &Host)
{
    view_.clearLog();
    view_.processMessages();
    TraceHop = 1;
    TraceTargetHost = Host;
    icmp_.ReceiveTimeout = ReceiveTimeout;
    icmp_.TTL = 1;
    lastColor_ = TTraceColor::Default;
    endedWithMessage_ = false;
    if (!icmp_.Open()) {
        endedWithMessage_ = true;
        view_.setPanel(2, NotPermittedText());
        view_.addLogLine(NotPermittedText(), TTraceColor::Red);
        view_.beep();
        return;
    }
    view_.setPanel(2, sj(" 相手先のIP のホスト名は【 ") + Host + sj("　】 ..."));
    view_.processMessages();
    try {
        TraceTargetIP = TIcmpEcho::HostNameToAddress(Host);
        view_.setIP(TraceTargetIP);
    } catch (const EIcmpError &) {
        endedWithMessage_ = true;
        view_.setIP("?.?.?.?");
        view_.setPanel(2, sj(" ホスト名からIPｱﾄﾞﾚｽを見つけ出せません 【 ") + Host + sj(" 】"));
        view_.beep();
        return;
    }
    icmp_.Host = TraceTargetIP;
    TraceStartTick = tick();
    if (interrupted_) return;
    echo(true);
    bool goOn = TraceReply(icmp_.Reply);
    while (goOn) goOn = TraceNextHop();
}

bool TTraceRoute::TraceReply(const TIcmpReply &Reply)
{
    view_.setPanel(2, Reply.Address + " responded ");
    const int elapsed = int(tick() - TraceStartTick);
    switch (Reply.Status) {
    case 0:
        AddTraceLine(TraceHop, elapsed, sj(" 終了"), Reply);
        view_.setPanel(1, sj(" 終了"));
        return false;
    case 2:
        AddTraceLine(TraceHop, elapsed, sj(" 時間切れ"), Reply);
        return true;
    case 3:
        AddTraceLine(TraceHop, elapsed, sj(" 相手先に到着しませんでした"), Reply);
        view_.setPanel(1, sj(" 相手先に到着しませんでした"));
        return false;
    case 4:
        AddTraceLine(TraceHop, elapsed, sj(" ＯＫ"), Reply);
        return true;
    default:
        AddTraceLine(TraceHop, elapsed, sj("  エラー"), Reply);
        return true;
    }
}

bool TTraceRoute::TraceNextHop()
{
    if (interrupted_) {
        view_.addLogLine(sj(" ** 途中で割り込まれました **"), lastColor_);
        view_.addRow({"", sj(" ** 中断されました **")});
        return false;
    }
    ++TraceHop;
    if (TraceHop >= kMaxHop) {
        view_.setPanel(1, sj(" TTLの最大値を超えました"));
        return false;
    }
    icmp_.Host = TraceTargetIP;
    icmp_.TTL = TraceHop;
    icmp_.ReceiveTimeout = ReceiveTimeout;
    TraceStartTick = tick();
    view_.setPanel(2, " ping " + TraceTargetIP + " ...");
    echo(true);
    return TraceReply(icmp_.Reply);
}

void TTraceRoute::AddTraceLine(int Hop, int Time, const std::string &Info, const TIcmpReply &Reply)
{
    view_.processMessages();
    std::string name = sj("    ・・・  ");
    if (view_.resolveHosts() && Reply.Address != "0.0.0.0") {
        view_.setPanel(0, sj(" DNSｻｰﾊﾞは 、次に接続するルータのIPｱﾄﾞﾚｽ【 ") + Reply.Address +
                              sj(" 】を探しています..."));
        try {
            name = TIcmpEcho::AddressToHostName(Reply.Address);
        } catch (const EIcmpError &) {
            name = Reply.Address;
        }
    }
    lastColor_ = TraceColorOf(Reply.Status);
    view_.addLogLine(TraceLogLine(Hop, name, Reply.Address, Time, Reply.TTL, Info), lastColor_);
    const std::vector<std::string> row = TraceRowColumns(Hop, name, Reply.Address, Time, Reply.TTL, Info);
    view_.addRow(row);
    view_.processMessages();
    // With router names on, a hop that gave no address ends the trace.
    if (view_.resolveHosts() && !row[1].empty() && row[1][0] == ' ') interrupted_ = true;
}
