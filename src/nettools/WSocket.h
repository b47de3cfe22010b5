// The asynchronous socket component: a chain of five classes over the Winsock layer. Readiness and
// lookups arrive as messages to the object's hidden window, which turns them into events; nothing
// here blocks the user-interface thread.
#pragma once
#include "nettools/WSockBuf.h"
#include "nettools/WinsockShim.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string &Msg) : std::runtime_error(Msg) {}
};

enum TSocketState { wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed };
enum TWSocketOption { wsoNoReceiveLoop = 1, wsoTcpNoDelay = 2 };
using TWSocketOptions = unsigned; // a set of TWSocketOption bits
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

const char *SocketStateName(TSocketState S);

// Window messages of the component.
constexpr unsigned WM_ASYNCSELECT = 0x401;
constexpr unsigned WM_ASYNCGETHOSTBYNAME = 0x402;
constexpr unsigned WM_ASYNCGETHOSTBYADDR = 0x403;
constexpr unsigned WM_CLOSE_DELAYED = 0x404;
constexpr unsigned WM_FREE_DELAYED = 0x405;
constexpr unsigned WM_WSOCKET_RELEASE_TEST = 0x406; // raises, to exercise the handler trap
constexpr unsigned WM_TRIGGER_DATA_AVAILABLE = 0x414;

class TCustomWSocket;
using TSessionEvent = std::function<void(TCustomWSocket *Sender, int Error)>;
using TDataAvailable = TSessionEvent;
using TDataSent = TSessionEvent;
using TSessionClosed = TSessionEvent;
using TSessionAvailable = TSessionEvent;
using TSessionConnected = TSessionEvent;
using TDnsLookupDone = TSessionEvent;
using TSendData = std::function<void(TCustomWSocket *Sender, int BytesSent)>;
using TChangeState = std::function<void(TCustomWSocket *Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent = std::function<void(TCustomWSocket *Sender, const std::exception &E, bool &CanClose)>;
using TNotifyEvent = std::function<void(TCustomWSocket *Sender)>;
using TSocksErrorEvent = std::function<void(TCustomWSocket *Sender, int Error, const std::string &Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomWSocket *Sender, TSocksAuthState AuthState)>;
using TLineLimitEvent = std::function<void(TCustomWSocket *Sender, int RcvdLength, bool &ClearData)>;

// Calls a handler through a copy of it: a handler may free the socket that holds it.
template <class F, class... A> void FireEvent(const F &Handler, A &&...Args)
{
    if (!Handler) return;
    F call = Handler;
    call(std::forward<A>(Args)...);
}

// Module routines.
bool IsDottedIP(const std::string &S);
int DigitsToInt(const std::string &S);
std::uint32_t WSocketResolveHost(const std::string &InAddr); // network order
std::uint16_t WSocketResolvePort(const std::string &Port, const std::string &Proto); // host order
int WSocketResolveProto(const std::string &Proto);
std::string WinsockErrorText(int ErrCode);
// Releases the Winsock layer as the last socket's destruction does (also used between tests).
void WSocketUnloadWinsock();
// True while Winsock is started by the component.
bool WSocketWinsockLoaded();

class TCustomWSocket : protected wsock::TWindowTarget {
public:
    TCustomWSocket();
    virtual ~TCustomWSocket();
    TCustomWSocket(const TCustomWSocket &) = delete;
    TCustomWSocket &operator=(const TCustomWSocket &) = delete;

    // Fields, under their published names where they have one.
    std::string DnsResult;
    std::vector<std::string> DnsResultList;
    wsock::TSocket AcceptedHandle = wsock::INVALID_SOCKET;
    std::deque<std::unique_ptr<TBuffer>> SendQueue;
    int SendBufferSize = 1460;
    int SendFlagsValue = 0;
    int LastError = 0;
    wsock::HWND WindowHandle = nullptr;
    alignas(8) char LookupBuffer[1025] = {};
    wsock::THandle LookupHandle = 0;
    bool LookupEarly = false;
    std::uint32_t LookupEarlyMsg[3] = {0, 0, 0};
    wsock::TSocket SocketHandle = wsock::INVALID_SOCKET;
    std::string AddrStr;
    bool AddrResolved = false;
    int AddrFormat = 2;
    bool AddrAssigned = false;
    int ProtoNum = 6;
    bool ProtoAssigned = true, ProtoResolved = false, LocalPortResolved = false;
    std::string ProtoStr = "tcp";
    std::string PortStr;
    bool PortAssigned = false, PortResolved = false;
    int PortNum = 0;
    std::string LocalPortStr = "0";
    int LocalPortNum = 0;
    std::string LocalAddrStr = "0.0.0.0";
    int SocketType = 1;
    TSocketLingerOnOff LingerOnOff = wsLingerNoSet;
    int LingerTimeout = 0;
    bool AllSent = true;
    int ReadCount = 0;
    bool Paused = false;
    bool CloseInvoked = false;
    int FlushTimeout = 60;
    bool MultiThreaded = false;
    bool MultiCast = false;
    std::string MultiCastAddrStr;
    int MultiCastIpTTL = 1;
    bool ReuseAddr = false;
    TWSocketOptions ComponentOptions = 0;
    TSocketState State = wsClosed;
    bool Terminated = false;
    long SelectEvents = 0;
    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TChangeState OnChangeState;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TNotifyEvent OnLineTooLong; // published, never fired
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    sockaddr_in Sin{};

    // Properties.
    const std::string &Addr() const { return AddrStr; }
    const std::string &Port() const { return PortStr; }
    const std::string &Proto() const { return ProtoStr; }
    const std::string &LocalPort() const { return LocalPortStr; }
    const std::string &LocalAddr() const { return LocalAddrStr; }
    void SetAddr(const std::string &Value);
    virtual void SetPort(const std::string &Value);
    virtual void SetProto(const std::string &Value);
    void SetLocalPort(const std::string &Value);
    void SetLocalAddr(const std::string &Value);
    std::string PeerAddr() { return GetPeerAddr(); }
    std::string PeerPort() { return GetPeerPort(); }
    int RcvdCount() { return GetRcvdCount(); }
    TSocketSendFlags SendFlags();
    void SetSendFlags(int Value);

    // Operations.
    virtual void Connect();
    virtual void Close();
    virtual void PostClose();
    virtual void PostFree();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForClose();
    virtual void Listen();
    virtual wsock::TSocket Accept();
    virtual int Receive(void *Buffer, int Len);
    virtual std::string ReceiveStr();
    virtual int ReceiveFrom(void *Buffer, int Len, sockaddr_in &From, int &FromLen);
    virtual int Send(const void *Data, int Len);
    virtual int SendTo(const sockaddr_in &Dest, int DestLen, const void *Data, int Len);
    virtual int SendStr(const std::string &Str);
    virtual void DnsLookup(const std::string &HostName);
    virtual void ReverseDnsLookup(const std::string &HostAddr);
    virtual void CancelDnsLookup();
    virtual std::string GetPeerAddr();
    virtual std::string GetPeerPort();
    virtual int GetPeerName(sockaddr_in &Name, int NameLen);
    virtual std::string GetLocalPortText();
    virtual std::string GetLocalAddrText();
    virtual bool IsPairSet(const std::uint32_t *P);
    virtual void ClearPair(std::uint32_t *P);
    virtual bool ComparePair(const std::uint32_t *A, const std::uint32_t *B, bool Equal);
    virtual int GetSockName(sockaddr_in &Name, int &NameLen);
    virtual void Dup(wsock::TSocket NewHandle);
    virtual void Shutdown(int How);
    virtual void Pause();
    virtual void Resume();
    virtual void PumpMessages();

    void ChangeState(TSocketState NewState);

protected:
    void WindowProc(wsock::TMessage &Msg) override { SocketWndProc(Msg); }
    virtual void SocketWndProc(wsock::TMessage &Msg);
    virtual void CreateSocketWindow();
    virtual void DestroySocketWindow();
    virtual void ResetDefaults();
    virtual void DoClose(bool Shut, int Error);
    virtual int GetRcvdCount();
    virtual void BindLocal();
    virtual int SendChunk(const void *Data, int Len);
    virtual void ReportErrorFmt(const char *Fmt, const std::string &Arg1, int Arg2);
    virtual void ReportError(const std::string &Msg);
    // Address, port and protocol change only while closed; an equal, already assigned value is no change.
    void AssignWhileClosed(const char *Name, const std::string &Value, std::string &Str, bool &Resolved, bool &Assigned);
    virtual void HandleBgException(const std::exception &E);
    virtual bool DoDataAvailable(int Error);
    virtual void DoSessionAvailable(int Error);
    virtual void DoSessionConnected(int Error);
    virtual void DoSessionClosed(int Error);
    virtual void DoDataSent(int Error);
    virtual void DoChangeState(TSocketState OldState, TSocketState NewState);
    virtual void DoDnsLookupDone(int Error);
    virtual void DoError();
    virtual int RecvRaw(void *Buffer, int Len, int Flags);
    virtual int RecvFromRaw(wsock::TSocket H, void *Buffer, int Len, int Flags, sockaddr_in &From, int &FromLen);
    void DoSendData(int BytesSent);

    // Runs Body inside the handler trap: an exception goes to HandleBgException, never further.
    void Trapped(const std::function<void()> &Body);
    void WinsockError(const std::string &FunctionName);
    void ApplyLinger();
    void QueueData(const void *Data, int Len);
    void ClearSendQueue();
    void TryToSend();
    void ReadLoop(int Error, TWSocketOptions Options);
    void WMAsyncSelect(wsock::TMessage &Msg);
    void WMAsyncGetHostByName(wsock::TMessage &Msg);
    void WMAsyncGetHostByAddr(wsock::TMessage &Msg);
    void ResolveForConnect(bool LocalPortToo);

    bool Destroying = false;
    // Cleared when the object is destroyed: code that fired an event checks it before going on,
    // since a handler may free the object.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
};

class TCustomSocksWSocket : public TCustomWSocket {
public:
    TCustomSocksWSocket() { TCustomSocksWSocket::ResetDefaults(); }

    const std::string &SocksServer() const { return SocksServerStr; }
    const std::string &SocksPort() const { return SocksPortStr; }
    const std::string &SocksLevel() const { return SocksLevelStr; }
    void SetSocksLevel(const std::string &Value);
    virtual void SetSocksPort(const std::string &Value);
    virtual void SetSocksServer(const std::string &Value);
    std::string SocksUsercode;
    std::string SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    TSessionConnected OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

    void Connect() override;
    void Listen() override;

    // Handshake state, readable by tests and callers.
    int SocksState = 0; // 0 none, 1 proxy connection or method reply, 2 authenticating, 3 connect reply
    std::string BoundAddr, BoundPort;

protected:
    void ResetDefaults() override;
    void DoSessionConnected(int Error) override;
    void DoSessionClosed(int Error) override;
    bool DoDataAvailable(int Error) override;
    int GetRcvdCount() override;
    int RecvRaw(void *Buffer, int Len, int Flags) override;
    virtual void DoSocksConnected(int Error);
    virtual void DoSocksError(int Error, const std::string &Msg);
    void DoSocksAuthState(TSocksAuthState AuthState);
    void SendSocksRequest();
    void SendSocksAuth();
    void FailSocks(int Code, const std::string &Msg);
    int SocksReadMore(int Upto); // reads into SocksRcvBuf up to Upto bytes held; -1 on failure

    std::string SocksServerStr, SocksLevelStr = "5", SocksPortStr;
    bool SocksPortAssigned = false, SocksServerAssigned = false;
    unsigned char SocksAuthMethod = 0;
    // The largest reply, a SOCKS 5 connect reply with a 255-byte name, is 262 bytes.
    unsigned char SocksRcvBuf[262] = {};
    int SocksRcvCount = 0;
    int SocksLeftCount = 0;
    const unsigned char *SocksLeftPtr = nullptr;
};

class TCustomLineWSocket : public TCustomSocksWSocket {
public:
    TCustomLineWSocket() = default;

    bool LineMode() const { return LineModeValue; }
    virtual void SetLineMode(bool Value);
    int LineLimit = 65536;
    std::string LineEnd = "\r\n";
    bool LineEcho = false;
    bool LineEdit = false;
    TLineLimitEvent OnLineLimitExceeded;

    std::string LineBuf; // received bytes not yet delivered
    int LineBufCount() const { return int(LineBuf.size()); }
    int LineLength = 0;
    bool LineClearData = false;
    int WaitTimeout = 0; // milliseconds for WaitForFlag; 0 waits without limit
    std::uint32_t WaitDeadline = 0;

protected:
    void SocketWndProc(wsock::TMessage &Msg) override;
    int GetRcvdCount() override;
    int RecvRaw(void *Buffer, int Len, int Flags) override;
    bool DoDataAvailable(int Error) override;
    void DoSessionClosed(int Error) override;
    virtual void DoLineLimitExceeded(int RcvdLength, bool &ClearData);
    virtual void EditLine(int &Count);

    bool LineModeValue = false;
};

class TCustomSyncWSocket : public TCustomLineWSocket {
public:
    virtual int RunAndWait(const std::function<void()> &Proc, bool &Flag);
    virtual int WaitForFlag(bool &Flag);
};

class TWSocket : public TCustomSyncWSocket {};
