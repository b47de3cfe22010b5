#include "nettools/WSocket.h"

#include "text/StrUtils.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

using namespace wsock;

namespace {

// ---- lazy binding of the Winsock entry points -----------------------------------------------------------

int g_liveCount = 0;
bool g_loaded = false;
TWinsockApi g_entries; // each entry point fetched on first use

void loadWinsock()
{
    if (g_loaded) return;
    int err = Api().Load ? Api().Load() : ENOENT;
    if (err != 0) throw ESocketException("Unable to load wsock32.dll Error #" + std::to_string(err));
    int perr = 0;
    auto startup = reinterpret_cast<decltype(g_entries.WSAStartup)>(GetProcAddress("WSAStartup", &perr));
    if (!startup) throw ESocketException("Procedure WSAStartup not found in wsock32.dll Error #" + std::to_string(perr));
    TWSAData data;
    int rc = startup(0x0101, &data);
    if (rc != 0) throw ESocketException("wsock32.dll: WSAStartup error #" + std::to_string(rc));
    g_entries.WSAStartup = startup;
    // Loaded only once started, so that a failed start is tried again by the next call.
    g_loaded = true;
}

void *getProc(const char *Name)
{
    loadWinsock();
    int err = 0;
    void *p = GetProcAddress(Name, &err);
    if (!p) throw ESocketException(std::string("Procedure ") + Name + " not found in wsock32.dll Error #" + std::to_string(err));
    return p;
}

template <class F> F bound(F &Slot, const char *Name)
{
    if (!Slot) Slot = reinterpret_cast<F>(getProc(Name));
    return Slot;
}

} // namespace

#define WS(fn) bound(g_entries.fn, #fn)

void WSocketUnloadWinsock()
{
    if (g_loaded) {
        auto cleanup = g_entries.WSACleanup ? g_entries.WSACleanup
                                            : reinterpret_cast<decltype(g_entries.WSACleanup)>(GetProcAddress("WSACleanup", nullptr));
        if (cleanup) cleanup();
    }
    g_loaded = false;
    g_entries = TWinsockApi{};
    g_liveCount = 0;
}

bool WSocketWinsockLoaded() { return g_loaded; }

const char *SocketStateName(TSocketState S)
{
    static const char *const names[] = {"wsInvalidState", "wsOpened",    "wsBound",     "wsConnecting",
                                        "wsConnected",    "wsAccepting", "wsListening", "wsClosed"};
    return unsigned(S) < 8 ? names[S] : "?";
}

// ---- module routines ------------------------------------------------------------------------------------

bool IsDottedIP(const std::string &S)
{
    std::size_t i = 0, n = S.size();
    while (i < n && S[i] == ' ') ++i;
    if (i >= n || S[i] == '.') return false;
    int dots = 0, part = 0;
    for (; i < n; ++i) {
        char c = S[i];
        if (c >= '0' && c <= '9') {
            part = part * 10 + (c - '0');
            if (part > 100000) part = 100000; // large enough to fail, small enough not to overflow
        } else if (c == '.') {
            ++dots;
            if (dots > 3 || part > 255 || i + 1 >= n || !(S[i + 1] >= '0' && S[i + 1] <= '9')) return false;
            part = 0;
        } else {
            for (; i < n; ++i)
                if (S[i] != ' ') return false;
            break;
        }
    }
    return dots == 3 && part <= 255;
}

int DigitsToInt(const std::string &S)
{
    std::size_t i = 0;
    while (i < S.size() && S[i] == ' ') ++i;
    long long v = 0;
    for (; i < S.size() && S[i] >= '0' && S[i] <= '9'; ++i) {
        v = v * 10 + (S[i] - '0');
        if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
    }
    return int(v);
}

std::uint32_t WSocketResolveHost(const std::string &InAddr)
{
    if (InAddr.empty() || InAddr.size() >= 256)
        throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid Hostname.");
    std::string t = Trim(InAddr);
    if (IsDottedIP(t)) {
        std::uint32_t a = WS(inet_addr)(t.c_str());
        if (a == INADDR_NONE_ && t != "255.255.255.255")
            throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid IP address.");
        return a;
    }
    THostEnt *he = WS(gethostbyname)(t.c_str());
    if (!he || !he->h_addr_list || !he->h_addr_list[0])
        throw ESocketException("WSocketResolveHost: Cannot convert host address '" + InAddr + "', Error #" +
                               std::to_string(WS(WSAGetLastError)()));
    std::uint32_t a;
    std::memcpy(&a, he->h_addr_list[0], 4);
    return a;
}

std::uint16_t WSocketResolvePort(const std::string &Port, const std::string &Proto)
{
    if (Port.empty() || Port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (Proto.empty() || Proto.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Proto.");
    if (Port[0] >= '0' && Port[0] <= '9') {
        int v = DigitsToInt(Port);
        // A port number has 16 bits: a larger one would wrap to some other port.
        if (v > 65535) throw ESocketException("WSocketResolvePort: Invalid Port.");
        return std::uint16_t(v);
    }
    std::string p = Trim(Proto);
    TServEnt *se = WS(getservbyname)(Trim(Port).c_str(), p.empty() ? nullptr : p.c_str());
    if (!se)
        throw ESocketException("WSocketResolvePort: Cannot convert port '" + Port + "', Error #" +
                               std::to_string(WS(WSAGetLastError)()));
    return (WS(ntohs))(std::uint16_t(se->s_port));
}

int WSocketResolveProto(const std::string &Proto)
{
    if (Proto.empty() || Proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (Proto[0] >= '0' && Proto[0] <= '9') return DigitsToInt(Proto);
    TProtoEnt *pe = WS(getprotobyname)(Trim(Proto).c_str());
    if (!pe)
        throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + Proto + "', Error #" +
                               std::to_string(WS(WSAGetLastError)()));
    return pe->p_proto;
}

std::string WinsockErrorText(int ErrCode)
{
    switch (ErrCode) {
    case 0: return "No Error";
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    default: return "Not a WinSock error";
    }
}

// ---- creation, destruction, window ------------------------------------------------------------------------

TCustomWSocket::TCustomWSocket()
{
    CreateSocketWindow();
    SendBufferSize = 1460;
    MultiCastIpTTL = 1;
    TCustomWSocket::ResetDefaults();
    ++g_liveCount;
}

TCustomWSocket::~TCustomWSocket()
{
    Destroying = true;
    *Alive = false;
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    try {
        if (State != wsClosed) TCustomWSocket::Close();
    } catch (...) {
    }
    if (--g_liveCount < 1) WSocketUnloadWinsock();
    ClearSendQueue();
    TCustomWSocket::DestroySocketWindow();
}

void TCustomWSocket::CreateSocketWindow()
{
    WindowHandle = wsock::CreateSocketWindow();
    WindowHandle->SetTarget(this);
}

void TCustomWSocket::DestroySocketWindow()
{
    wsock::DestroySocketWindow(WindowHandle);
    WindowHandle = nullptr;
}

void TCustomWSocket::ResetDefaults()
{
    std::memset(&Sin, 0, sizeof Sin);
    Sin.sin_family = AF_INET;
    AddrFormat = 2;
    PortAssigned = AddrAssigned = AddrResolved = PortResolved = ProtoResolved = LocalPortResolved = false;
    ProtoAssigned = true;
    ProtoNum = 6;
    ProtoStr = "tcp";
    SocketType = 1;
    LocalPortStr = "0";
    LocalAddrStr = "0.0.0.0";
    // The option is left alone, so that Close is the system's graceful close; Abort asks for a reset.
    LingerOnOff = wsLingerNoSet;
    LingerTimeout = 0;
    SocketHandle = INVALID_SOCKET;
    SelectEvents = 0;
    State = wsClosed;
    AllSent = true;
    ReadCount = 0;
    Paused = false;
    CloseInvoked = false;
    FlushTimeout = 60;
}

void TCustomWSocket::Trapped(const std::function<void()> &Body)
{
    try {
        Body();
    } catch (const std::exception &E) {
        HandleBgException(E);
    } catch (...) {
        HandleBgException(ESocketException("Unknown exception"));
    }
}

void TCustomWSocket::SocketWndProc(TMessage &Msg)
{
    if (Msg.Msg == WM_FREE_DELAYED) {
        delete this; // nothing of the object is touched after this
        return;
    }
    Trapped([&] {
        switch (Msg.Msg) {
        case WM_ASYNCSELECT: WMAsyncSelect(Msg); break;
        case WM_ASYNCGETHOSTBYNAME: WMAsyncGetHostByName(Msg); break;
        case WM_ASYNCGETHOSTBYADDR: WMAsyncGetHostByAddr(Msg); break;
        case WM_CLOSE_DELAYED: Close(); break;
        case WM_WSOCKET_RELEASE_TEST: throw ESocketException("Test exception in WSocket");
        default: Msg.Result = 0; break;
        }
    });
}

void TCustomWSocket::HandleBgException(const std::exception &E)
{
    auto alive = Alive;
    bool CanClose = true;
    if (OnBgException) {
        try {
            FireEvent(OnBgException, this, E, CanClose);
        } catch (...) {
        }
    }
    if (*alive && CanClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

void TCustomWSocket::ReportError(const std::string &Msg)
{
    if (OnError) DoError();
    else throw ESocketException(Msg);
}

void TCustomWSocket::ReportErrorFmt(const char *Fmt, const std::string &Arg1, int Arg2)
{
    std::string out;
    bool usedS = false;
    for (const char *p = Fmt; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && !usedS) {
            out += Arg1;
            usedS = true;
            ++p;
        } else if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(Arg2);
            ++p;
        } else {
            out += *p;
        }
    }
    ReportError(out);
}

void TCustomWSocket::ChangeState(TSocketState NewState)
{
    TSocketState old = State;
    State = NewState;
    DoChangeState(old, NewState);
}

void TCustomWSocket::PostClose() { wsock::PostMessage(WindowHandle, WM_CLOSE_DELAYED, 0, 0); }
void TCustomWSocket::PostFree() { wsock::PostMessage(WindowHandle, WM_FREE_DELAYED, 0, 0); }

void TCustomWSocket::PumpMessages()
{
    // One pump whatever MultiThreaded says: a quit stays for the loop that owns it.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (wsock::QuitRequested()) Terminated = true;
}

bool TCustomWSocket::DoDataAvailable(int Error)
{
    if (!OnDataAvailable) return false;
    FireEvent(OnDataAvailable, this, Error);
    return true;
}
void TCustomWSocket::DoSessionAvailable(int Error)
{
    FireEvent(OnSessionAvailable, this, Error);
}
void TCustomWSocket::DoSessionConnected(int Error)
{
    FireEvent(OnSessionConnected, this, Error);
}
void TCustomWSocket::DoSessionClosed(int Error)
{
    FireEvent(OnSessionClosed, this, Error);
}
void TCustomWSocket::DoDataSent(int Error)
{
    FireEvent(OnDataSent, this, Error);
}
void TCustomWSocket::DoChangeState(TSocketState OldState, TSocketState NewState)
{
    FireEvent(OnChangeState, this, OldState, NewState);
}
void TCustomWSocket::DoDnsLookupDone(int Error)
{
    FireEvent(OnDnsLookupDone, this, Error);
}
void TCustomWSocket::DoError()
{
    FireEvent(OnError, this);
}
void TCustomWSocket::DoSendData(int BytesSent)
{
    FireEvent(OnSendData, this, BytesSent);
}

bool TCustomWSocket::IsPairSet(const std::uint32_t *P) { return P[0] != 0 || P[1] != 0; }
void TCustomWSocket::ClearPair(std::uint32_t *P) { P[0] = P[1] = 0; }
bool TCustomWSocket::ComparePair(const std::uint32_t *A, const std::uint32_t *B, bool Equal)
{
    bool same = A[0] == B[0] && A[1] == B[1];
    return Equal ? same : !same;
}

// ---- setters and getters ------------------------------------------------------------------------------------

void TCustomWSocket::AssignWhileClosed(const char *Name, const std::string &Value, std::string &Str, bool &Resolved,
                                       bool &Assigned)
{
    if (Assigned && Value == Str) return;
    if (State != wsClosed) {
        ReportError(std::string("Cannot change ") + Name + " if not closed");
        return;
    }
    Str = Trim(Value);
    Resolved = false;
    Assigned = !Str.empty();
}

void TCustomWSocket::SetAddr(const std::string &Value)
{
    AssignWhileClosed("Addr", Value, AddrStr, AddrResolved, AddrAssigned);
}

void TCustomWSocket::SetPort(const std::string &Value)
{
    AssignWhileClosed("Port", Value, PortStr, PortResolved, PortAssigned);
}

void TCustomWSocket::SetProto(const std::string &Value)
{
    AssignWhileClosed("Proto", Value, ProtoStr, ProtoResolved, ProtoAssigned);
}

void TCustomWSocket::SetLocalPort(const std::string &Value)
{
    if (State != wsClosed) {
        ReportError("Cannot change LocalPort if not closed");
        return;
    }
    LocalPortStr = Value;
    LocalPortResolved = false;
}

void TCustomWSocket::SetLocalAddr(const std::string &Value)
{
    if (State != wsClosed) {
        ReportError("Cannot change LocalAddr if not closed");
        return;
    }
    std::string v = Value.empty() ? "0.0.0.0" : Value;
    std::uint32_t a = WS(inet_addr)(v.c_str());
    if (a == INADDR_NONE_) {
        ReportError("SetLocalAddr(): Invalid IP address");
        return;
    }
    in_addr ia;
    ia.s_addr = a;
    LocalAddrStr = WS(inet_ntoa)(ia);
}

TSocketSendFlags TCustomWSocket::SendFlags()
{
    if (SendFlagsValue == 0) return wsSendNormal;
    if (SendFlagsValue == MSG_OOB_) return wsSendUrgent;
    ReportError("Invalid internal SendFlags");
    return wsSendNormal;
}

void TCustomWSocket::SetSendFlags(int Value)
{
    if (Value == wsSendNormal) SendFlagsValue = 0;
    else if (Value == wsSendUrgent) SendFlagsValue = MSG_OOB_;
    else ReportError("Invalid SendFlags");
}

std::string TCustomWSocket::GetPeerAddr()
{
    if (State != wsConnected) return "error";
    sockaddr_in sin{};
    int len = sizeof sin;
    if (WS(getpeername)(SocketHandle, &sin, &len) != 0) {
        WinsockError("GetPeerName");
        return "error";
    }
    return WS(inet_ntoa)(sin.sin_addr);
}

std::string TCustomWSocket::GetPeerPort()
{
    if (State != wsConnected) return "error";
    sockaddr_in sin{};
    int len = sizeof sin;
    if (WS(getpeername)(SocketHandle, &sin, &len) != 0) {
        WinsockError("GetPeerPort");
        return "error";
    }
    return std::to_string((WS(ntohs))(sin.sin_port));
}

int TCustomWSocket::GetPeerName(sockaddr_in &Name, int NameLen)
{
    if (State != wsConnected) return -1;
    int len = NameLen;
    return WS(getpeername)(SocketHandle, &Name, &len);
}

std::string TCustomWSocket::GetLocalPortText()
{
    if (State != wsBound && State != wsConnected && State != wsListening) return "error";
    sockaddr_in sin{};
    int len = sizeof sin;
    if (WS(getsockname)(SocketHandle, &sin, &len) != 0) return "error";
    return std::to_string((WS(ntohs))(sin.sin_port));
}

std::string TCustomWSocket::GetLocalAddrText()
{
    if (State != wsBound && State != wsConnected && State != wsListening) return "error";
    sockaddr_in sin{};
    int len = sizeof sin;
    if (WS(getsockname)(SocketHandle, &sin, &len) != 0) return "error";
    return WS(inet_ntoa)(sin.sin_addr);
}

int TCustomWSocket::GetSockName(sockaddr_in &Name, int &NameLen) { return WS(getsockname)(SocketHandle, &Name, &NameLen); }

// ---- errors ----------------------------------------------------------------------------------------------------

void TCustomWSocket::WinsockError(const std::string &FunctionName)
{
    int code = WS(WSAGetLastError)();
    std::string msg = "Error " + std::to_string(code) + " in function " + FunctionName + "\r\n" + WinsockErrorText(code);
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        auto alive = Alive;
        if (SocketHandle != INVALID_SOCKET) WS(closesocket)(SocketHandle);
        SocketHandle = INVALID_SOCKET;
        if (State != wsClosed) {
            DoSessionClosed(code);
            if (!*alive) return;
        }
        ChangeState(wsClosed);
        // Torn down like every other close, so the next Connect starts from a clean object.
        ResetDefaults();
    }
    LastError = code;
    ReportError(msg);
}

// ---- lookups ---------------------------------------------------------------------------------------------------

void TCustomWSocket::DnsLookup(const std::string &HostName)
{
    if (HostName.empty()) {
        ReportError("DNS lookup: invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    if (LookupHandle) {
        WS(WSACancelAsyncRequest)(LookupHandle);
        LookupHandle = 0;
    }
    DnsResult.clear();
    DnsResultList.clear();
    std::uint32_t a = WS(inet_addr)(HostName.c_str());
    if (a != INADDR_NONE_) {
        in_addr ia;
        ia.s_addr = a;
        DnsResult = WS(inet_ntoa)(ia);
        DoDnsLookupDone(0);
        return;
    }
    LookupEarly = false;
    LookupHandle = WS(WSAAsyncGetHostByName)(WindowHandle, WM_ASYNCGETHOSTBYNAME, HostName.c_str(), LookupBuffer,
                                            int(sizeof LookupBuffer));
    if (LookupHandle == 0) {
        ReportErrorFmt("%s: can't start DNS lookup, error #%d", HostName, WS(WSAGetLastError)());
        return;
    }
    if (LookupEarly) {
        LookupEarly = false;
        TMessage m{LookupEarlyMsg[0], LookupEarlyMsg[1], std::intptr_t(std::int32_t(LookupEarlyMsg[2])), 0};
        WMAsyncGetHostByName(m);
    }
}

void TCustomWSocket::WMAsyncGetHostByName(TMessage &Msg)
{
    if (LookupHandle == 0) {
        // The answer came before the start call returned its handle.
        LookupEarlyMsg[0] = Msg.Msg;
        LookupEarlyMsg[1] = std::uint32_t(Msg.WParam);
        LookupEarlyMsg[2] = std::uint32_t(Msg.LParam);
        LookupEarly = true;
        return;
    }
    if (THandle(Msg.WParam) != LookupHandle) return;
    LookupHandle = 0;
    int Error = HiWord(long(Msg.LParam));
    if (Error == 0) {
        auto *he = reinterpret_cast<THostEnt *>(LookupBuffer);
        for (int i = 0; he->h_addr_list && he->h_addr_list[i]; ++i) {
            in_addr ia;
            std::memcpy(&ia.s_addr, he->h_addr_list[i], 4);
            DnsResultList.push_back(WS(inet_ntoa)(ia));
        }
        if (!DnsResultList.empty()) DnsResult = DnsResultList.front();
    }
    DoDnsLookupDone(Error);
}

void TCustomWSocket::ReverseDnsLookup(const std::string &HostAddr)
{
    if (HostAddr.empty() || HostAddr.size() >= 257) {
        ReportError("ReverseDnsLookup: Invalid host name.");
        DoDnsLookupDone(WSAEINVAL);
        return;
    }
    if (LookupHandle) {
        WS(WSACancelAsyncRequest)(LookupHandle);
        LookupHandle = 0;
    }
    DnsResult.clear();
    DnsResultList.clear();
    std::uint32_t a = WS(inet_addr)(HostAddr.c_str());
    LookupHandle = WS(WSAAsyncGetHostByAddr)(WindowHandle, WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char *>(&a), 4,
                                            AF_INET_, LookupBuffer, int(sizeof LookupBuffer));
    if (LookupHandle == 0) ReportErrorFmt("%s: can't start DNS lookup, error #%d", HostAddr, WS(WSAGetLastError)());
}

void TCustomWSocket::WMAsyncGetHostByAddr(TMessage &Msg)
{
    if (LookupHandle == 0 || THandle(Msg.WParam) != LookupHandle) return;
    LookupHandle = 0;
    int Error = HiWord(long(Msg.LParam));
    if (Error == 0) {
        auto *he = reinterpret_cast<THostEnt *>(LookupBuffer);
        DnsResult = he->h_name ? he->h_name : "";
        DnsResultList.assign(1, DnsResult);
    }
    DoDnsLookupDone(Error);
}

void TCustomWSocket::CancelDnsLookup()
{
    if (LookupHandle == 0) return;
    int rc = WS(WSACancelAsyncRequest)(LookupHandle);
    LookupHandle = 0;
    if (rc != 0) {
        WinsockError("WSACancelAsyncRequest");
        return;
    }
    if (!Destroying) DoDnsLookupDone(WSAEINTR);
}

// ---- connecting, listening ------------------------------------------------------------------------------------------

void TCustomWSocket::ResolveForConnect(bool LocalPortToo)
{
    if (!ProtoResolved) {
        ProtoNum = WSocketResolveProto(ProtoStr);
        SocketType = ProtoNum == IPPROTO_UDP_ ? SOCK_DGRAM_ : SOCK_STREAM_;
        ProtoResolved = true;
    }
    if (!PortResolved) {
        PortNum = WSocketResolvePort(PortStr, ProtoStr);
        Sin.sin_port = WS(htons)(std::uint16_t(PortNum));
        PortResolved = true;
    }
    if (LocalPortToo && !LocalPortResolved) {
        LocalPortNum = WSocketResolvePort(LocalPortStr, ProtoStr);
        LocalPortResolved = true;
    }
    if (!AddrResolved) {
        Sin.sin_addr.s_addr = WSocketResolveHost(AddrStr);
        AddrResolved = true;
    }
}

void TCustomWSocket::Connect()
{
    if (SocketHandle != INVALID_SOCKET && State != wsClosed) {
        ReportError("Connect: Socket already in use");
        return;
    }
    if (!PortAssigned) {
        ReportError("Connect: No Port Specified");
        return;
    }
    if (!AddrAssigned) {
        ReportError("Connect: No IP Address Specified");
        return;
    }
    if (!ProtoAssigned) {
        ReportError("Connect: No Protocol Specified");
        return;
    }
    ResolveForConnect(true);
    ClearSendQueue();
    SocketHandle = WS(socket)(AF_INET_, SocketType, ProtoNum);
    if (SocketHandle == INVALID_SOCKET) {
        WinsockError("Connect (socket)");
        return;
    }
    ChangeState(wsOpened);
    if (SocketType == SOCK_STREAM_) {
        int one = 1;
        if (WS(setsockopt)(SocketHandle, SOL_SOCKET_, SO_REUSEADDR_, reinterpret_cast<char *>(&one), sizeof one) != 0) {
            WinsockError("setsockopt(SO_REUSEADDR)");
            return;
        }
        if (ComponentOptions & wsoTcpNoDelay) {
            if (WS(setsockopt)(SocketHandle, IPPROTO_TCP_, TCP_NODELAY_, reinterpret_cast<char *>(&one), sizeof one) != 0) {
                WinsockError("setsockopt(IPPROTO_TCP, TCP_NODELAY)");
                return;
            }
        }
        ApplyLinger();
        if (WS(setsockopt)(SocketHandle, SOL_SOCKET_, SO_KEEPALIVE_, reinterpret_cast<char *>(&one), sizeof one) != 0) {
            WinsockError("setsockopt(SO_KEEPALIVE)");
            return;
        }
        if (LocalPortNum != 0 || LocalAddrStr != "0.0.0.0") BindLocal();
    } else {
        BindLocal();
        if (MultiCast && MultiCastIpTTL != 1) {
            int ttl = MultiCastIpTTL;
            if (WS(setsockopt)(SocketHandle, IPPROTO_IP_, IP_MULTICAST_TTL_, reinterpret_cast<char *>(&ttl), sizeof ttl) != 0) {
                WinsockError("setsockopt(IP_MULTICAST_TTL)");
                return;
            }
        }
        if (Sin.sin_addr.s_addr == INADDR_NONE_) {
            int one = 1;
            if (WS(setsockopt)(SocketHandle, SOL_SOCKET_, SO_BROADCAST_, reinterpret_cast<char *>(&one), sizeof one) != 0) {
                WinsockError("setsockopt(SO_BROADCAST)");
                return;
            }
        }
    }
    SelectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (WS(WSAAsyncSelect)(SocketHandle, WindowHandle, WM_ASYNCSELECT, SelectEvents) != 0) {
        WinsockError("WSAAsyncSelect");
        return;
    }
    if (SocketType == SOCK_STREAM_) {
        if (WS(connect)(SocketHandle, &Sin, sizeof Sin) != 0) {
            int err = WS(WSAGetLastError)();
            if (err != WSAEWOULDBLOCK) {
                LastError = err;
                WinsockError("Connect");
                return;
            }
        }
        ChangeState(wsConnecting);
    } else {
        ChangeState(wsConnected);
        DoSessionConnected(0);
    }
}

void TCustomWSocket::BindLocal()
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = WS(htons)(std::uint16_t(LocalPortNum));
    local.sin_addr.s_addr = WSocketResolveHost(LocalAddrStr);
    if (WS(bind)(SocketHandle, &local, sizeof local) != 0) {
        ReportErrorFmt("winsock.bind failed, error #%d", "", WS(WSAGetLastError)());
        return;
    }
    int len = sizeof local;
    if (WS(getsockname)(SocketHandle, &local, &len) != 0) {
        ReportErrorFmt("winsock.getsockname failed, error #%d", "", WS(WSAGetLastError)());
        return;
    }
    LocalPortNum = (WS(ntohs))(local.sin_port);
    LocalPortStr = std::to_string(LocalPortNum);
}

void TCustomWSocket::ApplyLinger()
{
    if (LingerOnOff == wsLingerNoSet) return;
    if (SocketHandle == INVALID_SOCKET) {
        ReportError("Cannot set linger option at this time");
        return;
    }
    std::uint16_t pair[2] = {std::uint16_t(LingerOnOff), std::uint16_t(LingerTimeout)};
    if (WS(setsockopt)(SocketHandle, SOL_SOCKET_, SO_LINGER_, reinterpret_cast<char *>(pair), 4) != 0)
        WinsockError("setsockopt(SO_LINGER)");
}

void TCustomWSocket::Listen()
{
    if (!PortAssigned) {
        WS(WSASetLastError)(WSAEINVAL);
        WinsockError("listen: port not assigned");
        return;
    }
    if (!ProtoAssigned) {
        WS(WSASetLastError)(WSAEINVAL);
        WinsockError("listen: protocol not assigned");
        return;
    }
    if (!AddrAssigned) {
        WS(WSASetLastError)(WSAEINVAL);
        WinsockError("listen: address not assigned");
        return;
    }
    ResolveForConnect(false);
    ClearSendQueue();
    SocketHandle = WS(socket)(AF_INET_, SocketType, ProtoNum);
    if (SocketHandle == INVALID_SOCKET) {
        WinsockError("socket");
        return;
    }
    if (SocketType == SOCK_DGRAM_ && ReuseAddr) {
        int one = 1;
        if (WS(setsockopt)(SocketHandle, SOL_SOCKET_, SO_REUSEADDR_, reinterpret_cast<char *>(&one), sizeof one) != 0) {
            WinsockError("setsockopt(SO_REUSEADDR)");
            return;
        }
    }
    if (WS(bind)(SocketHandle, &Sin, sizeof Sin) != 0) {
        WinsockError("Bind");
        Close();
        return;
    }
    ChangeState(wsBound);
    if (SocketType == SOCK_DGRAM_) {
        if (MultiCast) {
            ip_mreq m{};
            m.imr_multiaddr.s_addr = WS(inet_addr)(MultiCastAddrStr.c_str());
            m.imr_interface.s_addr = INADDR_ANY;
            if (WS(setsockopt)(SocketHandle, IPPROTO_IP_, IP_ADD_MEMBERSHIP_, reinterpret_cast<char *>(&m), sizeof m) != 0) {
                WinsockError("setsockopt(IP MULTICAST)");
                return;
            }
        }
        ChangeState(wsListening);
        ChangeState(wsConnected);
        DoSessionConnected(0);
    } else {
        if (WS(listen)(SocketHandle, 5) != 0) {
            WinsockError("Listen");
            return;
        }
        ChangeState(wsListening);
    }
    SelectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (WS(WSAAsyncSelect)(SocketHandle, WindowHandle, WM_ASYNCSELECT, SelectEvents) != 0) WinsockError("WSAASyncSelect");
}

TSocket TCustomWSocket::Accept()
{
    if (State != wsListening) {
        WS(WSASetLastError)(WSAEINVAL);
        WinsockError("not a listening socket");
        return INVALID_SOCKET;
    }
    int len = sizeof Sin;
    AcceptedHandle = WS(accept)(SocketHandle, &Sin, &len);
    if (AcceptedHandle == INVALID_SOCKET) {
        WinsockError("Accept");
        return INVALID_SOCKET;
    }
    return AcceptedHandle;
}

void TCustomWSocket::Dup(TSocket NewHandle)
{
    if (NewHandle == 0 || NewHandle == INVALID_SOCKET) {
        WS(WSASetLastError)(WSAEINVAL);
        WinsockError("Dup");
        return;
    }
    if (State != wsClosed) {
        if (WS(closesocket)(SocketHandle) != 0) {
            WinsockError("Dup (closesocket)");
            return;
        }
        ChangeState(wsClosed);
    }
    SocketHandle = NewHandle;
    ApplyLinger();
    SelectEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (WS(WSAAsyncSelect)(SocketHandle, WindowHandle, WM_ASYNCSELECT, SelectEvents) != 0) {
        WinsockError("WSAAsyncSelect");
        return;
    }
    ChangeState(wsConnected);
}

// ---- notifications ----------------------------------------------------------------------------------------

void TCustomWSocket::WMAsyncSelect(TMessage &Msg)
{
    if (TSocket(Msg.WParam) != SocketHandle || Paused) return;
    auto alive = Alive;
    int ev = LoWord(long(Msg.LParam));
    int Error = HiWord(long(Msg.LParam));
    if (ev & FD_CONNECT) {
        if (State != wsConnected) {
            if (Error == 0) {
                ChangeState(wsConnected);
                DoSessionConnected(0);
            } else {
                // A connection that never came is reported once, then closed with the same code;
                // it never passes through wsConnected.
                DoSessionConnected(Error);
                if (!*alive) return;
                if (State != wsClosed) DoClose(true, Error);
            }
            if (!*alive) return;
        }
    }
    if (ev & FD_READ) {
        if (State != wsConnected) {
            ChangeState(wsConnected);
            DoSessionConnected(Error);
            if (!*alive) return;
        }
        ReadLoop(Error, ComponentOptions);
        if (!*alive) return;
    }
    if (ev & FD_WRITE) {
        TryToSend();
        if (!*alive) return;
        if (AllSent) DoDataSent(Error);
        if (!*alive) return;
    }
    if (ev & FD_ACCEPT) {
        DoSessionAvailable(Error);
        if (!*alive) return;
    }
    if ((ev & FD_CLOSE) && State != wsConnecting) {
        ReadLoop(0, ComponentOptions & ~TWSocketOptions(wsoNoReceiveLoop));
        if (!*alive) return;
        if (!CloseInvoked) {
            CloseInvoked = true;
            DoSessionClosed(Error);
            if (!*alive) return;
        }
        if (State != wsClosed) Close();
    }
}

// ---- closing ----------------------------------------------------------------------------------------------

void TCustomWSocket::DoClose(bool Shut, int Error)
{
    if (SocketHandle != INVALID_SOCKET) {
        if (State == wsClosed) return;
        if (Shut) Shutdown(1);
        int rc = WS(closesocket)(SocketHandle);
        // The layer never answers 10035 here, so no retry loop is needed.
        SocketHandle = INVALID_SOCKET;
        if (rc != 0) {
            int err = WS(WSAGetLastError)();
            if (err != WSANOTINITIALISED) {
                LastError = err;
                WinsockError("Disconnect (closesocket)");
                return;
            }
        }
        ChangeState(wsClosed);
        if (!Destroying && !CloseInvoked) {
            CloseInvoked = true;
            auto alive = Alive;
            DoSessionClosed(Error);
            if (!*alive) return;
        }
        ResetDefaults();
    } else {
        if (State != wsClosed) ChangeState(wsClosed);
        ResetDefaults();
    }
}

void TCustomWSocket::Close() { DoClose(true, 0); }

void TCustomWSocket::Abort()
{
    CancelDnsLookup();
    ClearSendQueue();
    if (State == wsConnected && ProtoNum == IPPROTO_TCP_) {
        // A zero linger time makes the close a reset: the peer learns that the data stopped short.
        LingerOnOff = wsLingerOn;
        LingerTimeout = 0;
        ApplyLinger();
    }
    DoClose(false, 0);
}

void TCustomWSocket::Shutdown(int How)
{
    if (SocketHandle != INVALID_SOCKET) WS(shutdown)(SocketHandle, How);
}

// ---- sending -------------------------------------------------------------------------------------------------

void TCustomWSocket::ClearSendQueue() { SendQueue.clear(); }

void TCustomWSocket::QueueData(const void *Data, int Len)
{
    if (Len <= 0) return;
    if (SendQueue.empty()) SendQueue.push_back(std::make_unique<TBuffer>(SendBufferSize));
    const char *p = static_cast<const char *>(Data);
    int n = SendQueue.back()->AppendData(p, Len);
    while (n < Len) {
        SendQueue.push_back(std::make_unique<TBuffer>(SendBufferSize));
        n += SendQueue.back()->AppendData(p + n, Len - n);
    }
}

int TCustomWSocket::SendChunk(const void *Data, int Len)
{
    int n = SocketType == SOCK_DGRAM_
                ? WS(sendto)(SocketHandle, static_cast<const char *>(Data), Len, SendFlagsValue, &Sin, sizeof Sin)
                : WS(send)(SocketHandle, static_cast<const char *>(Data), Len, SendFlagsValue);
    if (n >= 1) DoSendData(n);
    return n;
}

void TCustomWSocket::TryToSend()
{
    if (SocketHandle == INVALID_SOCKET || SendQueue.empty()) return;
    auto alive = Alive;
    for (;;) {
        if (SendQueue.empty()) return;
        TBuffer *b = SendQueue.front().get();
        int len = 0;
        const char *p = b->PeekData(len);
        if (len <= 0) {
            if (SendQueue.size() > 1) {
                SendQueue.pop_front();
                continue;
            }
            AllSent = true;
            return;
        }
        int n = SendChunk(p, len);
        if (!*alive) return;
        if (n == 0) return;
        if (n > 0) {
            b->Consume(n);
            if (n < len) return;
            continue;
        }
        int err = WS(WSAGetLastError)();
        if (err == WSAECONNRESET || err == WSAENOTSOCK || err == WSAENOTCONN || err == WSAEINVAL || err == WSAECONNABORTED) {
            CloseInvoked = true;
            Close();
            DoSessionClosed(err);
            return;
        }
        if (err == WSAEWOULDBLOCK) return;
        WinsockError("TryToSend failed");
        return;
    }
}

int TCustomWSocket::Send(const void *Data, int Len)
{
    if (State != wsConnected) {
        WS(WSASetLastError)(WSAENOTCONN);
        WinsockError("Send");
        return -1;
    }
    if (Len <= 0) return 0;
    AllSent = false;
    QueueData(Data, Len);
    auto alive = Alive;
    TryToSend();
    if (!*alive) return Len;
    if (AllSent && SocketHandle != INVALID_SOCKET)
        wsock::PostMessage(WindowHandle, WM_ASYNCSELECT, std::uintptr_t(SocketHandle), MakeLong(int(FD_WRITE), 0));
    return Len;
}

int TCustomWSocket::SendStr(const std::string &Str)
{
    if (Str.empty()) return 0;
    return Send(Str.data(), int(Str.size()));
}

int TCustomWSocket::SendTo(const sockaddr_in &Dest, int DestLen, const void *Data, int Len)
{
    int n = WS(sendto)(SocketHandle, static_cast<const char *>(Data), Len, SendFlagsValue, &Dest, DestLen);
    if (n > 0) DoSendData(n);
    return n;
}

// ---- receiving -----------------------------------------------------------------------------------------------

int TCustomWSocket::RecvRaw(void *Buffer, int Len, int Flags)
{
    return WS(recv)(SocketHandle, static_cast<char *>(Buffer), Len, Flags);
}

int TCustomWSocket::RecvFromRaw(TSocket H, void *Buffer, int Len, int Flags, sockaddr_in &From, int &FromLen)
{
    return WS(recvfrom)(H, static_cast<char *>(Buffer), Len, Flags, &From, &FromLen);
}

int TCustomWSocket::Receive(void *Buffer, int Len)
{
    int n = RecvRaw(Buffer, Len, 0);
    if (n < 0) LastError = WS(WSAGetLastError)();
    else ReadCount += n;
    return n;
}

std::string TCustomWSocket::ReceiveStr()
{
    int n = GetRcvdCount();
    if (n < 0) return {};
    if (n == 0) n = 255;
    std::string s(std::size_t(n), '\0');
    int got = Receive(s.data(), n);
    if (got < 1) return {};
    s.resize(std::size_t(got));
    return s;
}

int TCustomWSocket::ReceiveFrom(void *Buffer, int Len, sockaddr_in &From, int &FromLen)
{
    int n = RecvFromRaw(SocketHandle, Buffer, Len, 0, From, FromLen);
    if (n < 0) LastError = WS(WSAGetLastError)();
    else ReadCount += n;
    return n;
}

int TCustomWSocket::GetRcvdCount()
{
    unsigned long n = 0;
    if (WS(ioctlsocket)(SocketHandle, FIONREAD_, &n) != 0) {
        WinsockError("ioctlSocket");
        return -1;
    }
    return int(n);
}

void TCustomWSocket::ReadLoop(int Error, TWSocketOptions Options)
{
    auto alive = Alive;
    try {
        for (;;) {
            LastError = 0;
            if (!DoDataAvailable(Error)) {
                if (!*alive) return;
                char scratch[1024];
                int n = RecvRaw(scratch, int(sizeof scratch), 0);
                if (n < 0) {
                    int err = WS(WSAGetLastError)();
                    if (err == WSAEWOULDBLOCK) {
                        LastError = 0;
                        return;
                    }
                    LastError = err;
                }
            }
            if (!*alive) return;
            if (Options & wsoNoReceiveLoop) return;
            if (LastError != 0) return;
            unsigned long waiting = 0;
            if (WS(ioctlsocket)(SocketHandle, FIONREAD_, &waiting) != 0) {
                LastError = WS(WSAGetLastError)();
                return;
            }
            if (waiting == 0) return;
        }
    } catch (const std::exception &E) {
        // A handler's failure ends the loop and is treated as every other handler failure is.
        if (*alive) HandleBgException(E);
    } catch (...) {
        if (*alive) HandleBgException(ESocketException("Unknown exception"));
    }
}

void TCustomWSocket::Flush()
{
    while (SocketHandle != INVALID_SOCKET && !AllSent) {
        TryToSend();
        PumpMessages();
    }
}

void TCustomWSocket::WaitForClose()
{
    auto alive = Alive;
    while (SocketHandle != INVALID_SOCKET && State != wsClosed) {
        PumpMessages();
        if (!*alive || SocketHandle == INVALID_SOCKET) return;
        unsigned long waiting = 0;
        if (WS(ioctlsocket)(SocketHandle, FIONREAD_, &waiting) != 0) return;
        if (waiting > 0) {
            DoDataAvailable(0);
            if (!*alive || SocketHandle == INVALID_SOCKET) return;
        }
        // The zero-length probe goes to the socket itself: the layers' own buffers would answer 0.
        char probe;
        WS(WSASetLastError)(0);
        if (WS(recv)(SocketHandle, &probe, 0, 0) < 1) {
            LastError = WS(WSAGetLastError)();
            if (LastError != WSAEWOULDBLOCK) return;
        }
        PumpMessages();
        if (!*alive) return;
    }
}

void TCustomWSocket::Pause()
{
    Paused = true;
    WS(WSAAsyncSelect)(SocketHandle, WindowHandle, 0, 0);
}

void TCustomWSocket::Resume()
{
    Paused = false;
    WS(WSAAsyncSelect)(SocketHandle, WindowHandle, WM_ASYNCSELECT, SelectEvents);
}
