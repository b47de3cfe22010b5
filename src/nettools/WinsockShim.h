// The Winsock 1.1 layer the socket component talks to, built on POSIX sockets and Qt's event loop.
// Callers see Winsock's world: handles, Winsock option numbers and error codes, readiness posted as
// messages to a hidden window. Every entry point lives in one table of function pointers so that a
// test can put a failing function in place of one of them.
#pragma once
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace wsock {

using TSocket = std::intptr_t;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
using THandle = std::intptr_t; // asynchronous lookup request

// Winsock's numbers, kept as callers know them; the layer translates them for Linux.
constexpr int AF_INET_ = 2;
constexpr int SOCK_STREAM_ = 1;
constexpr int SOCK_DGRAM_ = 2;
constexpr int IPPROTO_TCP_ = 6;
constexpr int IPPROTO_UDP_ = 17;
constexpr int SOL_SOCKET_ = 0xFFFF;
constexpr int SO_REUSEADDR_ = 0x0004;
constexpr int SO_KEEPALIVE_ = 0x0008;
constexpr int SO_BROADCAST_ = 0x0020;
constexpr int SO_LINGER_ = 0x0080;
constexpr int SO_SNDBUF_ = 0x1001;
constexpr int SO_RCVBUF_ = 0x1002;
constexpr int TCP_NODELAY_ = 0x0001;
constexpr int IPPROTO_IP_ = 0;
constexpr int IP_MULTICAST_TTL_ = 3;
constexpr int IP_ADD_MEMBERSHIP_ = 5;
constexpr long FIONREAD_ = 0x4004667FL;
constexpr int MSG_OOB_ = 1;
constexpr std::uint32_t INADDR_NONE_ = 0xFFFFFFFFu;

// Asynchronous select events; lParam of a notification is MAKELONG(event, error).
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

// Winsock error codes the layer produces.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

inline long MakeLong(int lo, int hi) { return long((std::uint32_t(hi & 0xFFFF) << 16) | std::uint32_t(lo & 0xFFFF)); }
inline int LoWord(long v) { return int(std::uint32_t(v) & 0xFFFF); }
inline int HiWord(long v) { return int((std::uint32_t(v) >> 16) & 0xFFFF); }

// Host, service and protocol entries, laid out as Winsock's so that an answer fits a caller's buffer.
struct THostEnt {
    char *h_name;
    char **h_aliases;
    short h_addrtype;
    short h_length;
    char **h_addr_list;
};
struct TServEnt {
    char *s_name;
    char **s_aliases;
    short s_port; // network order
    char *s_proto;
};
struct TProtoEnt {
    char *p_name;
    char **p_aliases;
    short p_proto;
};
struct TWSAData {
    std::uint16_t wVersion = 0;
    std::uint16_t wHighVersion = 0;
};

// One message as the hidden window receives it.
struct TMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

class TSocketWindow;
using HWND = TSocketWindow *;

// The window procedure's target: the socket object stored in the window.
class TWindowTarget {
public:
    virtual void WindowProc(TMessage &Msg) = 0;

protected:
    ~TWindowTarget() = default;
};

// The hidden window of one socket object. Messages arrive in posting order on the main thread, from
// the main loop and from every nested loop; deleting the window drops what is still queued for it.
class TSocketWindow : public QObject {
public:
    TSocketWindow();
    ~TSocketWindow() override;
    void SetTarget(TWindowTarget *Target) { target_ = Target; }
    TWindowTarget *Target() const { return target_; }
    bool Dispatching() const { return depth_ > 0; }
    void Deliver(TMessage &Msg);

protected:
    bool event(QEvent *e) override;

private:
    TWindowTarget *target_ = nullptr;
    int depth_ = 0;
};

HWND CreateSocketWindow();
// Deletes at once, or after the handler running on it returns.
void DestroySocketWindow(HWND Window);
bool PostMessage(HWND Window, unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);
std::intptr_t SendMessage(HWND Window, unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);

// The thirty bound entry points, and the stand-in's "loading" of the library.
struct TWinsockApi {
    int (*Load)() = nullptr; // 0 or the system error of a failed load
    int (*WSAStartup)(std::uint16_t, TWSAData *) = nullptr;
    int (*WSACleanup)() = nullptr;
    void (*WSASetLastError)(int) = nullptr;
    int (*WSAGetLastError)() = nullptr;
    int (*WSACancelAsyncRequest)(THandle) = nullptr;
    THandle (*WSAAsyncGetHostByName)(HWND, unsigned, const char *, char *, int) = nullptr;
    THandle (*WSAAsyncGetHostByAddr)(HWND, unsigned, const char *, int, int, char *, int) = nullptr;
    int (*WSAAsyncSelect)(TSocket, HWND, unsigned, long) = nullptr;
    TServEnt *(*getservbyname)(const char *, const char *) = nullptr;
    TProtoEnt *(*getprotobyname)(const char *) = nullptr;
    THostEnt *(*gethostbyname)(const char *) = nullptr;
    TSocket (*socket)(int, int, int) = nullptr;
    int (*shutdown)(TSocket, int) = nullptr;
    int (*setsockopt)(TSocket, int, int, const char *, int) = nullptr;
    int (*sendto)(TSocket, const char *, int, int, const sockaddr_in *, int) = nullptr;
    int (*send)(TSocket, const char *, int, int) = nullptr;
    std::uint16_t (*ntohs)(std::uint16_t) = nullptr;
    int (*listen)(TSocket, int) = nullptr;
    int (*ioctlsocket)(TSocket, long, unsigned long *) = nullptr;
    char *(*inet_ntoa)(in_addr) = nullptr;
    std::uint32_t (*inet_addr)(const char *) = nullptr;
    std::uint16_t (*htons)(std::uint16_t) = nullptr;
    int (*getsockname)(TSocket, sockaddr_in *, int *) = nullptr;
    int (*getpeername)(TSocket, sockaddr_in *, int *) = nullptr;
    int (*connect)(TSocket, const sockaddr_in *, int) = nullptr;
    int (*closesocket)(TSocket) = nullptr;
    int (*bind)(TSocket, const sockaddr_in *, int) = nullptr;
    TSocket (*accept)(TSocket, sockaddr_in *, int *) = nullptr;
    int (*recv)(TSocket, char *, int, int) = nullptr;
    int (*recvfrom)(TSocket, char *, int, int, sockaddr_in *, int *) = nullptr;
};

// The table the library is "loaded" from; tests replace entries and put DefaultApi() back.
TWinsockApi &Api();
const TWinsockApi &DefaultApi();
// The entry of that name in Api(), or nullptr (with the system error in *Err) when there is none.
void *GetProcAddress(const std::string &Name, int *Err);

// A pending connect gives up after this many milliseconds with FD_CONNECT(10060).
void SetConnectTimeout(int Ms);
int ConnectTimeout();
// The file descriptor behind a handle (-1 when unknown), for tests that look at the real socket.
int HandleFd(TSocket S);
// Winsock's code for an errno value; AfterShutdown turns EPIPE into 10058.
int ErrnoToWsa(int Errno, bool AfterShutdown = false);
// True once the application was asked to quit (seen, never consumed).
bool QuitRequested();
// Milliseconds of a steady clock.
std::uint32_t GetTickCount();

} // namespace wsock
