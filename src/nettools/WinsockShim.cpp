#include "nettools/WinsockShim.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace wsock {

namespace {

// ---- messages and the hidden window -------------------------------------------------------------

const QEvent::Type kMessageEvent = QEvent::Type(QEvent::registerEventType());

class TMessageEvent : public QEvent {
public:
    TMessageEvent(unsigned msg, std::uintptr_t w, std::intptr_t l, TSocket fromSelect)
        : QEvent(kMessageEvent), msg_(msg), w_(w), l_(l), fromSelect_(fromSelect) {}
    unsigned msg_;
    std::uintptr_t w_;
    std::intptr_t l_;
    TSocket fromSelect_; // a readiness notice for this handle, dropped once the handle is closed
};

// ---- start-up count and last error ---------------------------------------------------------------

int g_startups = 0;
thread_local int t_lastError = 0;
int g_connectTimeoutMs = 21000;
bool g_quitRequested = false;

void setError(int e) { t_lastError = e; }

bool started()
{
    if (g_startups > 0) return true;
    setError(WSANOTINITIALISED);
    return false;
}

// ---- handles -------------------------------------------------------------------------------------

struct TEntry {
    int fd = -1;
    bool stream = true;
    bool nonBlocking = false;
    QPointer<TSocketWindow> window;
    unsigned msg = 0;
    long mask = 0;
    bool connecting = false;
    bool connectFailed = false;
    bool listening = false;
    bool readArmed = true;   // FD_READ / FD_ACCEPT may be posted
    bool closeSent = false;  // FD_CLOSE posted: the read side is done
    bool writeArmed = false; // a send would block: FD_WRITE when room returns
    bool shutWrite = false;
    std::unique_ptr<QSocketNotifier> rd, wr;
    std::unique_ptr<QTimer> connectTimer;
};

std::map<TSocket, std::unique_ptr<TEntry>> g_handles;
TSocket g_nextHandle = 1000; // never reused within a run, so a stale notice cannot reach a new socket

TEntry *entry(TSocket s)
{
    auto it = g_handles.find(s);
    return it == g_handles.end() ? nullptr : it->second.get();
}

TEntry *lookupHandle(TSocket s)
{
    if (!started()) return nullptr;
    TEntry *e = entry(s);
    if (!e) setError(WSAENOTSOCK);
    return e;
}

void postSelect(TSocket s, TEntry *e, long event, int error)
{
    if (!e->window || !(e->mask & event)) return;
    QCoreApplication::postEvent(e->window, new TMessageEvent(e->msg, std::uintptr_t(s), MakeLong(int(event), error), s));
}

int soError(int fd)
{
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
    return err;
}

void updateNotifiers(TSocket s, TEntry *e);

void connectDone(TSocket s, TEntry *e, int err)
{
    e->connecting = false;
    if (e->connectTimer) e->connectTimer->stop();
    if (err != 0) {
        // A failed connect reports itself once and nothing after it.
        e->connectFailed = true;
        postSelect(s, e, FD_CONNECT, ErrnoToWsa(err));
    } else {
        postSelect(s, e, FD_CONNECT, 0);
        postSelect(s, e, FD_WRITE, 0);
    }
    updateNotifiers(s, e);
}

void onReadable(TSocket s)
{
    TEntry *e = entry(s);
    if (!e) return;
    if (e->connecting) {
        int err = soError(e->fd);
        if (err) connectDone(s, e, err);
        return;
    }
    if (e->listening) {
        postSelect(s, e, FD_ACCEPT, 0);
        e->readArmed = false; // accept re-arms
        updateNotifiers(s, e);
        return;
    }
    if (!e->stream) {
        postSelect(s, e, FD_READ, 0);
        e->readArmed = false;
        updateNotifiers(s, e);
        return;
    }
    int waiting = 0;
    if (::ioctl(e->fd, FIONREAD, &waiting) == 0 && waiting > 0) {
        postSelect(s, e, FD_READ, 0);
        e->readArmed = false; // recv re-arms
        updateNotifiers(s, e);
        return;
    }
    char c;
    ssize_t n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        postSelect(s, e, FD_READ, 0);
        e->readArmed = false;
    } else if (n == 0) {
        postSelect(s, e, FD_CLOSE, 0);
        e->closeSent = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        postSelect(s, e, FD_CLOSE, ErrnoToWsa(errno));
        e->closeSent = true;
    } else {
        int err = soError(e->fd);
        if (err) {
            postSelect(s, e, FD_CLOSE, ErrnoToWsa(err));
            e->closeSent = true;
        }
    }
    updateNotifiers(s, e);
}

void onWritable(TSocket s)
{
    TEntry *e = entry(s);
    if (!e) return;
    if (e->connecting) {
        connectDone(s, e, soError(e->fd));
        return;
    }
    if (e->writeArmed) {
        e->writeArmed = false;
        postSelect(s, e, FD_WRITE, 0);
    }
    updateNotifiers(s, e);
}

// Level-triggered readiness would flood the queue: a notifier is on only while its event may be posted.
void updateNotifiers(TSocket s, TEntry *e)
{
    if (!QCoreApplication::instance()) return;
    bool registered = e->window && e->mask != 0 && !e->connectFailed;
    bool wantRead = false, wantWrite = false;
    if (registered) {
        if (e->connecting) {
            wantWrite = true;
        } else if (e->listening) {
            wantRead = e->readArmed && (e->mask & FD_ACCEPT);
        } else {
            wantRead = !e->closeSent && ((e->readArmed && (e->mask & FD_READ)) || (e->mask & FD_CLOSE));
            // With FD_READ already posted, only a later recv tells whether the peer closed.
            if (!e->readArmed && (e->mask & FD_READ)) wantRead = false;
            wantWrite = e->writeArmed && (e->mask & FD_WRITE);
        }
    }
    if (wantRead && !e->rd) {
        e->rd = std::make_unique<QSocketNotifier>(e->fd, QSocketNotifier::Read);
        QObject::connect(e->rd.get(), &QSocketNotifier::activated, [s] { onReadable(s); });
    }
    if (e->rd) e->rd->setEnabled(wantRead);
    if (wantWrite && !e->wr) {
        e->wr = std::make_unique<QSocketNotifier>(e->fd, QSocketNotifier::Write);
        QObject::connect(e->wr.get(), &QSocketNotifier::activated, [s] { onWritable(s); });
    }
    if (e->wr) e->wr->setEnabled(wantWrite);
}

// ---- lookups -------------------------------------------------------------------------------------

struct TLookupAnswer {
    int error = 0;
    std::string name;
    std::vector<std::uint32_t> addrs; // network order
};

struct TLookup {
    QPointer<TSocketWindow> window;
    unsigned msg = 0;
    char *buf = nullptr;
    int buflen = 0;
};

std::map<THandle, TLookup> g_lookups; // pending, not yet delivered
THandle g_nextLookup = 1;
std::mutex g_receiverMutex;
QObject *g_receiver = nullptr;

const QEvent::Type kAnswerEvent = QEvent::Type(QEvent::registerEventType());

class TAnswerEvent : public QEvent {
public:
    TAnswerEvent(THandle h, TLookupAnswer a) : QEvent(kAnswerEvent), handle(h), answer(std::move(a)) {}
    THandle handle;
    TLookupAnswer answer;
};

int fillHostEnt(const TLookupAnswer &a, char *buf, int buflen)
{
    // Entry, alias list (empty), address pointers, addresses, name: all inside the caller's buffer.
    std::size_t n = a.addrs.size();
    std::size_t need = sizeof(THostEnt) + sizeof(char *) + (n + 1) * sizeof(char *) + n * 4 + a.name.size() + 1;
    if (need > std::size_t(buflen)) return -1;
    std::memset(buf, 0, need);
    auto *he = reinterpret_cast<THostEnt *>(buf);
    char *p = buf + sizeof(THostEnt);
    he->h_aliases = reinterpret_cast<char **>(p);
    p += sizeof(char *);
    he->h_addr_list = reinterpret_cast<char **>(p);
    p += (n + 1) * sizeof(char *);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(p, &a.addrs[i], 4);
        he->h_addr_list[i] = p;
        p += 4;
    }
    std::memcpy(p, a.name.c_str(), a.name.size() + 1);
    he->h_name = p;
    he->h_addrtype = AF_INET_;
    he->h_length = 4;
    return int(need);
}

void deliver(THandle h, const TLookupAnswer &a)
{
    auto it = g_lookups.find(h);
    if (it == g_lookups.end()) return; // cancelled
    TLookup l = it->second;
    g_lookups.erase(it);
    if (!l.window) return;
    int len = 0, err = a.error;
    if (err == 0) {
        len = fillHostEnt(a, l.buf, l.buflen);
        if (len < 0) {
            len = 0;
            err = WSAENOBUFS;
        }
    }
    SendMessage(l.window, l.msg, std::uintptr_t(h), MakeLong(len, err));
}

class TLookupReceiver : public QObject {
public:
    ~TLookupReceiver() override
    {
        std::lock_guard<std::mutex> lock(g_receiverMutex);
        g_receiver = nullptr;
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != kAnswerEvent) return QObject::event(e);
        auto *ae = static_cast<TAnswerEvent *>(e);
        deliver(ae->handle, ae->answer);
        return true;
    }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (o == QCoreApplication::instance() && e->type() == QEvent::Quit) g_quitRequested = true;
        return false;
    }
};

void ensureReceiver()
{
    std::lock_guard<std::mutex> lock(g_receiverMutex);
    if (g_receiver || !QCoreApplication::instance()) return;
    auto *r = new TLookupReceiver;
    r->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(r);
    g_receiver = r;
}

void postAnswer(THandle h, TLookupAnswer a)
{
    std::lock_guard<std::mutex> lock(g_receiverMutex);
    if (g_receiver) QCoreApplication::postEvent(g_receiver, new TAnswerEvent(h, std::move(a)));
}

int eaiToWsa(int rc)
{
    switch (rc) {
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
    default: return WSAHOST_NOT_FOUND;
    }
}

TLookupAnswer resolveName(const std::string &name)
{
    TLookupAnswer a;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME; // no AI_ADDRCONFIG: with only loopback up it fails hosts-file names
    addrinfo *res = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (rc != 0) {
        a.error = eaiToWsa(rc);
        return a;
    }
    a.name = res->ai_canonname ? res->ai_canonname : name;
    for (addrinfo *p = res; p; p = p->ai_next) {
        if (p->ai_family != AF_INET) continue;
        std::uint32_t addr = reinterpret_cast<sockaddr_in *>(p->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (auto x : a.addrs) seen = seen || x == addr;
        if (!seen) a.addrs.push_back(addr);
    }
    ::freeaddrinfo(res);
    if (a.addrs.empty()) a.error = WSANO_DATA;
    return a;
}

TLookupAnswer resolveAddr(std::uint32_t addr)
{
    TLookupAnswer a;
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = addr;
    char host[NI_MAXHOST];
    int rc = ::getnameinfo(reinterpret_cast<sockaddr *>(&sin), sizeof sin, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) {
        a.error = eaiToWsa(rc);
        return a;
    }
    a.name = host;
    a.addrs.push_back(addr);
    return a;
}

THandle startLookup(HWND w, unsigned msg, char *buf, int buflen, std::function<TLookupAnswer()> work)
{
    if (!started()) return 0;
    if (!w || !buf || buflen <= 0) {
        setError(WSAEINVAL);
        return 0;
    }
    ensureReceiver();
    THandle h = g_nextLookup++;
    g_lookups[h] = TLookup{w, msg, buf, buflen};
    // The resolver cannot be interrupted: the worker is left to finish into a dropped answer.
    std::thread([h, work = std::move(work)] { postAnswer(h, work()); }).detach();
    return h;
}

// ---- the default entry points ----------------------------------------------------------------------

int loadLibrary() { return 0; }

int wsaStartup(std::uint16_t version, TWSAData *data)
{
    if (data) {
        data->wVersion = version;
        data->wHighVersion = 0x0101;
    }
    ++g_startups;
    return 0;
}

int wsaCleanup()
{
    if (!started()) return SOCKET_ERROR;
    --g_startups;
    return 0;
}

void wsaSetLastError(int e) { setError(e); }
int wsaGetLastError() { return t_lastError; }

int wsaCancelAsyncRequest(THandle h)
{
    if (!started()) return SOCKET_ERROR;
    if (g_lookups.erase(h) == 0) {
        setError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    return 0;
}

THandle wsaAsyncGetHostByName(HWND w, unsigned msg, const char *name, char *buf, int buflen)
{
    std::string n = name ? name : "";
    return startLookup(w, msg, buf, buflen, [n] { return resolveName(n); });
}

THandle wsaAsyncGetHostByAddr(HWND w, unsigned msg, const char *addr, int len, int type, char *buf, int buflen)
{
    if (!addr || len != 4 || type != AF_INET_) {
        setError(WSAEINVAL);
        return 0;
    }
    std::uint32_t a;
    std::memcpy(&a, addr, 4);
    return startLookup(w, msg, buf, buflen, [a] { return resolveAddr(a); });
}

int wsaAsyncSelect(TSocket s, HWND w, unsigned msg, long events)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (!e->nonBlocking) {
        int fl = ::fcntl(e->fd, F_GETFL);
        if (fl < 0 || ::fcntl(e->fd, F_SETFL, fl | O_NONBLOCK) < 0) {
            setError(ErrnoToWsa(errno));
            return SOCKET_ERROR;
        }
        e->nonBlocking = true;
    }
    e->window = w;
    e->msg = msg;
    e->mask = events;
    // A new registration reports again what already holds.
    e->readArmed = true;
    e->closeSent = false;
    updateNotifiers(s, e);
    return 0;
}

thread_local TServEnt t_serv;
thread_local TProtoEnt t_proto;
thread_local std::string t_servName, t_servProto, t_protoName;
thread_local char *t_noAliases[1] = {nullptr};

TServEnt *getServByName(const char *name, const char *proto)
{
    if (!started()) return nullptr;
    std::string n = name ? name : "";
    std::string p = proto ? proto : "";
    int port = -1;
    if (servent *se = ::getservbyname(n.c_str(), proto ? p.c_str() : nullptr)) {
        port = ntohs(std::uint16_t(se->s_port));
        t_servProto = se->s_proto ? se->s_proto : p;
    } else if (n == "whois" && (p.empty() || p == "tcp")) {
        // Minimal machines have no services database; the one service the program names.
        port = 43;
        t_servProto = "tcp";
    }
    if (port < 0) {
        setError(WSANO_DATA);
        return nullptr;
    }
    t_servName = n;
    t_serv.s_name = t_servName.data();
    t_serv.s_aliases = t_noAliases;
    t_serv.s_port = short(htons(std::uint16_t(port)));
    t_serv.s_proto = t_servProto.data();
    return &t_serv;
}

TProtoEnt *getProtoByName(const char *name)
{
    if (!started()) return nullptr;
    std::string n = name ? name : "";
    int num = -1;
    if (protoent *pe = ::getprotobyname(n.c_str())) num = pe->p_proto;
    else if (n == "tcp") num = 6;
    else if (n == "udp") num = 17;
    if (num < 0) {
        setError(WSANO_DATA);
        return nullptr;
    }
    t_protoName = n;
    t_proto.p_name = t_protoName.data();
    t_proto.p_aliases = t_noAliases;
    t_proto.p_proto = short(num);
    return &t_proto;
}

thread_local char t_hostBuf[1025];

THostEnt *getHostByName(const char *name)
{
    if (!started()) return nullptr;
    TLookupAnswer a = resolveName(name ? name : "");
    if (a.error) {
        setError(a.error);
        return nullptr;
    }
    if (fillHostEnt(a, t_hostBuf, sizeof t_hostBuf) < 0) {
        setError(WSAENOBUFS);
        return nullptr;
    }
    return reinterpret_cast<THostEnt *>(t_hostBuf);
}

TSocket wsSocket(int af, int type, int proto)
{
    if (!started()) return INVALID_SOCKET;
    if (af != AF_INET_ || (type != SOCK_STREAM_ && type != SOCK_DGRAM_)) {
        setError(af != AF_INET_ ? 10047 : 10044);
        return INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, (type == SOCK_STREAM_ ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, proto);
    if (fd < 0) {
        setError(ErrnoToWsa(errno));
        return INVALID_SOCKET;
    }
    auto e = std::make_unique<TEntry>();
    e->fd = fd;
    e->stream = type == SOCK_STREAM_;
    TSocket s = g_nextHandle++;
    g_handles[s] = std::move(e);
    return s;
}

int wsShutdown(TSocket s, int how)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int h = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(e->fd, h) != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    if (how != 0) e->shutWrite = true;
    return 0;
}

int wsSetsockopt(TSocket s, int level, int opt, const char *val, int len)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (!val || len < 0) {
        setError(10014);
        return SOCKET_ERROR;
    }
    int rc;
    if (level == SOL_SOCKET_ && opt == SO_LINGER_) {
        if (len < 4) {
            setError(10014);
            return SOCKET_ERROR;
        }
        std::uint16_t pair[2];
        std::memcpy(pair, val, 4);
        linger l{pair[0] != 0, pair[1]};
        rc = ::setsockopt(e->fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else if (level == IPPROTO_IP_ && opt == IP_ADD_MEMBERSHIP_) {
        if (len < 8) {
            setError(10014);
            return SOCKET_ERROR;
        }
        ip_mreq m{};
        std::memcpy(&m, val, 8);
        rc = ::setsockopt(e->fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m);
    } else {
        int lvl = -1, name = -1;
        if (level == SOL_SOCKET_) {
            lvl = SOL_SOCKET;
            switch (opt) {
            case SO_REUSEADDR_: name = SO_REUSEADDR; break;
            case SO_KEEPALIVE_: name = SO_KEEPALIVE; break;
            case SO_BROADCAST_: name = SO_BROADCAST; break;
            case SO_SNDBUF_: name = SO_SNDBUF; break;
            case SO_RCVBUF_: name = SO_RCVBUF; break;
            }
        } else if (level == IPPROTO_TCP_ && opt == TCP_NODELAY_) {
            lvl = IPPROTO_TCP;
            name = TCP_NODELAY;
        } else if (level == IPPROTO_IP_ && opt == IP_MULTICAST_TTL_) {
            lvl = IPPROTO_IP;
            name = IP_MULTICAST_TTL;
        }
        if (name < 0) {
            setError(10042);
            return SOCKET_ERROR;
        }
        int v = 0;
        std::memcpy(&v, val, std::min<std::size_t>(std::size_t(len), sizeof v));
        if (len == 1) v = static_cast<unsigned char>(val[0]);
        rc = ::setsockopt(e->fd, lvl, name, &v, sizeof v);
    }
    if (rc != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    return 0;
}

int sendResult(TSocket s, TEntry *e, ssize_t n, int len)
{
    if (n >= 0) {
        if (n < len && e->stream) {
            // A short count means the buffer is full: the caller waits for FD_WRITE, as after 10035.
            e->writeArmed = true;
            updateNotifiers(s, e);
        }
        return int(n);
    }
    int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK) {
        // Winsock posts FD_WRITE only after a send was refused for want of room.
        e->writeArmed = true;
        updateNotifiers(s, e);
    }
    setError(ErrnoToWsa(err, e->shutWrite));
    return SOCKET_ERROR;
}

int wsSend(TSocket s, const char *buf, int len, int flags)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int f = MSG_NOSIGNAL | ((flags & MSG_OOB_) ? MSG_OOB : 0);
    return sendResult(s, e, ::send(e->fd, buf, std::size_t(std::max(len, 0)), f), len);
}

int wsSendto(TSocket s, const char *buf, int len, int flags, const sockaddr_in *to, int tolen)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int f = MSG_NOSIGNAL | ((flags & MSG_OOB_) ? MSG_OOB : 0);
    ssize_t n = to ? ::sendto(e->fd, buf, std::size_t(std::max(len, 0)), f, reinterpret_cast<const sockaddr *>(to),
                              socklen_t(std::max(tolen, 0)))
                   : ::send(e->fd, buf, std::size_t(std::max(len, 0)), f);
    return sendResult(s, e, n, len);
}

void rearmRead(TSocket s, TEntry *e)
{
    if (!e->readArmed) {
        e->readArmed = true;
        updateNotifiers(s, e);
    }
}

int wsRecv(TSocket s, char *buf, int len, int flags)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int f = (flags & MSG_OOB_) ? MSG_OOB : 0;
    ssize_t n;
    if (len == 0 && e->stream) {
        // The zero-length probe: 0 once the peer's end of stream is there, else "would block".
        char c;
        n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) {
            setError(WSAEWOULDBLOCK);
            return SOCKET_ERROR;
        }
    } else {
        n = ::recv(e->fd, buf, std::size_t(std::max(len, 0)), f);
    }
    rearmRead(s, e);
    if (n < 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    return int(n);
}

int wsRecvfrom(TSocket s, char *buf, int len, int flags, sockaddr_in *from, int *fromlen)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int f = (flags & MSG_OOB_) ? MSG_OOB : 0;
    socklen_t fl = fromlen ? socklen_t(*fromlen) : 0;
    ssize_t n = ::recvfrom(e->fd, buf, std::size_t(std::max(len, 0)), f, reinterpret_cast<sockaddr *>(from),
                           from ? &fl : nullptr);
    rearmRead(s, e);
    if (n < 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    if (fromlen) *fromlen = int(fl);
    return int(n);
}

std::uint16_t wsNtohs(std::uint16_t v) { return ntohs(v); }
std::uint16_t wsHtons(std::uint16_t v) { return htons(v); }

int wsListen(TSocket s, int backlog)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (::listen(e->fd, backlog) != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    e->listening = true;
    e->readArmed = true;
    updateNotifiers(s, e);
    return 0;
}

int wsIoctlsocket(TSocket s, long cmd, unsigned long *arg)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (!arg) {
        setError(10014);
        return SOCKET_ERROR;
    }
    if (cmd != FIONREAD_) {
        setError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    int n = 0;
    if (::ioctl(e->fd, FIONREAD, &n) != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    *arg = (unsigned long)(std::max(n, 0));
    return 0;
}

char *wsInetNtoa(in_addr a) { return ::inet_ntoa(a); }
std::uint32_t wsInetAddr(const char *cp) { return cp ? ::inet_addr(cp) : INADDR_NONE_; }

int nameCall(TSocket s, sockaddr_in *name, int *len, bool peer)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (!name || !len) {
        setError(10014);
        return SOCKET_ERROR;
    }
    socklen_t l = socklen_t(*len);
    int rc = peer ? ::getpeername(e->fd, reinterpret_cast<sockaddr *>(name), &l)
                  : ::getsockname(e->fd, reinterpret_cast<sockaddr *>(name), &l);
    if (rc != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    *len = int(l);
    return 0;
}

int wsGetsockname(TSocket s, sockaddr_in *n, int *l) { return nameCall(s, n, l, false); }
int wsGetpeername(TSocket s, sockaddr_in *n, int *l) { return nameCall(s, n, l, true); }

int wsConnect(TSocket s, const sockaddr_in *addr, int len)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    int rc = ::connect(e->fd, reinterpret_cast<const sockaddr *>(addr), socklen_t(std::max(len, 0)));
    if (rc != 0 && errno != EINPROGRESS) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    if (!e->stream) return 0;
    // Completed or pending, the outcome is reported as FD_CONNECT from the loop, as Winsock does.
    e->connecting = true;
    if (QCoreApplication::instance()) {
        e->connectTimer = std::make_unique<QTimer>();
        e->connectTimer->setSingleShot(true);
        QObject::connect(e->connectTimer.get(), &QTimer::timeout, [s] {
            if (TEntry *x = entry(s); x && x->connecting) connectDone(s, x, ETIMEDOUT);
        });
        e->connectTimer->start(g_connectTimeoutMs);
    }
    updateNotifiers(s, e);
    if (rc != 0) {
        setError(WSAEWOULDBLOCK);
        return SOCKET_ERROR;
    }
    return 0;
}

int wsClosesocket(TSocket s)
{
    if (!started()) return SOCKET_ERROR;
    auto it = g_handles.find(s);
    if (it == g_handles.end()) {
        setError(WSAENOTSOCK);
        return SOCKET_ERROR;
    }
    std::unique_ptr<TEntry> e = std::move(it->second);
    g_handles.erase(it);
    e->rd.reset();
    e->wr.reset();
    e->connectTimer.reset();
    ::close(e->fd);
    return 0;
}

int wsBind(TSocket s, const sockaddr_in *addr, int len)
{
    TEntry *e = lookupHandle(s);
    if (!e) return SOCKET_ERROR;
    if (::bind(e->fd, reinterpret_cast<const sockaddr *>(addr), socklen_t(std::max(len, 0))) != 0) {
        setError(ErrnoToWsa(errno));
        return SOCKET_ERROR;
    }
    return 0;
}

TSocket wsAccept(TSocket s, sockaddr_in *addr, int *len)
{
    TEntry *e = lookupHandle(s);
    if (!e) return INVALID_SOCKET;
    socklen_t l = len ? socklen_t(*len) : 0;
    int fd = ::accept4(e->fd, reinterpret_cast<sockaddr *>(addr), addr ? &l : nullptr, SOCK_CLOEXEC);
    int err = errno;
    e->readArmed = true;
    updateNotifiers(s, e);
    if (fd < 0) {
        setError(ErrnoToWsa(err));
        return INVALID_SOCKET;
    }
    if (len) *len = int(l);
    auto ne = std::make_unique<TEntry>();
    ne->fd = fd;
    TSocket ns = g_nextHandle++;
    g_handles[ns] = std::move(ne);
    // The accepted socket inherits the listener's registration.
    if (e->window) wsaAsyncSelect(ns, e->window, e->msg, e->mask & ~FD_ACCEPT);
    return ns;
}

TWinsockApi makeDefault()
{
    TWinsockApi a;
    a.Load = loadLibrary;
    a.WSAStartup = wsaStartup;
    a.WSACleanup = wsaCleanup;
    a.WSASetLastError = wsaSetLastError;
    a.WSAGetLastError = wsaGetLastError;
    a.WSACancelAsyncRequest = wsaCancelAsyncRequest;
    a.WSAAsyncGetHostByName = wsaAsyncGetHostByName;
    a.WSAAsyncGetHostByAddr = wsaAsyncGetHostByAddr;
    a.WSAAsyncSelect = wsaAsyncSelect;
    a.getservbyname = getServByName;
    a.getprotobyname = getProtoByName;
    a.gethostbyname = getHostByName;
    a.socket = wsSocket;
    a.shutdown = wsShutdown;
    a.setsockopt = wsSetsockopt;
    a.sendto = wsSendto;
    a.send = wsSend;
    a.ntohs = wsNtohs;
    a.listen = wsListen;
    a.ioctlsocket = wsIoctlsocket;
    a.inet_ntoa = wsInetNtoa;
    a.inet_addr = wsInetAddr;
    a.htons = wsHtons;
    a.getsockname = wsGetsockname;
    a.getpeername = wsGetpeername;
    a.connect = wsConnect;
    a.closesocket = wsClosesocket;
    a.bind = wsBind;
    a.accept = wsAccept;
    a.recv = wsRecv;
    a.recvfrom = wsRecvfrom;
    return a;
}

} // namespace

// ---- public --------------------------------------------------------------------------------------------

TSocketWindow::TSocketWindow() = default;
TSocketWindow::~TSocketWindow() = default;

bool TSocketWindow::event(QEvent *e)
{
    if (e->type() != kMessageEvent) return QObject::event(e);
    auto *me = static_cast<TMessageEvent *>(e);
    if (me->fromSelect_ != INVALID_SOCKET && !entry(me->fromSelect_)) return true; // handle closed meanwhile
    TMessage m{me->msg_, me->w_, me->l_, 0};
    Deliver(m);
    return true;
}

void TSocketWindow::Deliver(TMessage &m)
{
    if (!target_) return; // nothing stored yet: the default answer, 0
    ++depth_;
    target_->WindowProc(m); // the target may free itself here: it is not touched afterwards
    --depth_;
}

HWND CreateSocketWindow()
{
    ensureReceiver();
    return new TSocketWindow;
}

void DestroySocketWindow(HWND w)
{
    if (!w) return;
    w->SetTarget(nullptr);
    if (w->Dispatching()) w->deleteLater();
    else delete w;
}

bool PostMessage(HWND w, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!w) return false;
    QCoreApplication::postEvent(w, new TMessageEvent(msg, wParam, lParam, INVALID_SOCKET));
    return true;
}

std::intptr_t SendMessage(HWND w, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!w) return 0;
    TMessage m{msg, wParam, lParam, 0};
    w->Deliver(m);
    return m.Result;
}

TWinsockApi &Api()
{
    static TWinsockApi api = makeDefault();
    return api;
}

const TWinsockApi &DefaultApi()
{
    static const TWinsockApi api = makeDefault();
    return api;
}

void *GetProcAddress(const std::string &Name, int *Err)
{
    TWinsockApi &a = Api();
    void *p = nullptr;
#define VK_WSOCK_ENTRY(fn) \
    if (Name == #fn) p = reinterpret_cast<void *>(a.fn);
    VK_WSOCK_ENTRY(WSAStartup) VK_WSOCK_ENTRY(WSACleanup) VK_WSOCK_ENTRY(WSASetLastError)
    VK_WSOCK_ENTRY(WSAGetLastError) VK_WSOCK_ENTRY(WSACancelAsyncRequest) VK_WSOCK_ENTRY(WSAAsyncGetHostByName)
    VK_WSOCK_ENTRY(WSAAsyncGetHostByAddr) VK_WSOCK_ENTRY(WSAAsyncSelect) VK_WSOCK_ENTRY(getservbyname)
    VK_WSOCK_ENTRY(getprotobyname) VK_WSOCK_ENTRY(gethostbyname) VK_WSOCK_ENTRY(socket) VK_WSOCK_ENTRY(shutdown)
    VK_WSOCK_ENTRY(setsockopt) VK_WSOCK_ENTRY(sendto) VK_WSOCK_ENTRY(send) VK_WSOCK_ENTRY(ntohs)
    VK_WSOCK_ENTRY(listen) VK_WSOCK_ENTRY(ioctlsocket) VK_WSOCK_ENTRY(inet_ntoa) VK_WSOCK_ENTRY(inet_addr)
    VK_WSOCK_ENTRY(htons) VK_WSOCK_ENTRY(getsockname) VK_WSOCK_ENTRY(getpeername) VK_WSOCK_ENTRY(connect)
    VK_WSOCK_ENTRY(closesocket) VK_WSOCK_ENTRY(bind) VK_WSOCK_ENTRY(accept) VK_WSOCK_ENTRY(recv)
    VK_WSOCK_ENTRY(recvfrom)
#undef VK_WSOCK_ENTRY
    if (!p && Err) *Err = ENOSYS;
    return p;
}

void SetConnectTimeout(int Ms) { g_connectTimeoutMs = Ms > 0 ? Ms : 21000; }
int ConnectTimeout() { return g_connectTimeoutMs; }

int HandleFd(TSocket S)
{
    TEntry *e = entry(S);
    return e ? e->fd : -1;
}

int ErrnoToWsa(int Errno, bool AfterShutdown)
{
    switch (Errno) {
    case 0: return 0;
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return 10037;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ENETUNREACH: return WSAENETUNREACH;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ECONNRESET: return WSAECONNRESET;
    case EPIPE: return AfterShutdown ? WSAESHUTDOWN : WSAECONNRESET;
    case ENOTCONN: return WSAENOTCONN;
    case ECONNABORTED: return WSAECONNABORTED;
    case EBADF: return WSAENOTSOCK;
    case ENOTSOCK: return WSAENOTSOCK;
    case EINVAL: return WSAEINVAL;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case EMFILE: return WSAEMFILE;
    case ENFILE: return WSAEMFILE;
    case EACCES: return WSAEACCES;
    case EPERM: return WSAEACCES;
    case EMSGSIZE: return WSAEMSGSIZE;
    case ENOBUFS: return WSAENOBUFS;
    case ENOMEM: return WSAENOBUFS;
    case EINTR: return WSAEINTR;
    case EFAULT: return 10014;
    case EISCONN: return 10056;
    case ENETDOWN: return 10050;
    case EHOSTDOWN: return 10064;
    case EAFNOSUPPORT: return 10047;
    case EPROTONOSUPPORT: return 10043;
    case EOPNOTSUPP: return 10045;
    default: return 10045; // "Operation not supported on socket" for anything unforeseen
    }
}

bool QuitRequested()
{
    ensureReceiver();
    return g_quitRequested;
}

std::uint32_t GetTickCount()
{
    using namespace std::chrono;
    return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace wsock
