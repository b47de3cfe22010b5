// Records a socket's events as lines ("connected 0", "state wsConnecting>wsConnected",
// "senddata 1460") so that tests compare whole sequences. Declare it before the socket: a socket
// that is destroyed while open still reports its change of state.
#pragma once
#include "nettools/WSocket.h"
#include "support/WaitUntil.h"

#include "support/LoopbackPeer.h"

#include <algorithm>
#include <poll.h>
#include <string>
#include <vector>

struct SocketRecorder {
    std::vector<std::string> lines;

    void attach(TCustomWSocket &s)
    {
        s.OnChangeState = [this](TCustomWSocket *, TSocketState o, TSocketState n) {
            lines.push_back(std::string("state ") + SocketStateName(o) + ">" + SocketStateName(n));
        };
        s.OnSessionConnected = [this](TCustomWSocket *, int e) { add("connected", e); };
        s.OnSessionClosed = [this](TCustomWSocket *, int e) { add("closed", e); };
        s.OnSessionAvailable = [this](TCustomWSocket *, int e) { add("available", e); };
        s.OnDataSent = [this](TCustomWSocket *, int e) { add("datasent", e); };
        s.OnSendData = [this](TCustomWSocket *, int n) { add("senddata", n); };
        s.OnDnsLookupDone = [this](TCustomWSocket *, int e) { add("dns", e); };
        s.OnBgException = [this](TCustomWSocket *, const std::exception &e, bool &) {
            lines.push_back(std::string("bgexception ") + e.what());
        };
    }
    void add(const char *what, int v) { lines.push_back(std::string(what) + " " + std::to_string(v)); }
    bool has(const std::string &l) const { return std::find(lines.begin(), lines.end(), l) != lines.end(); }
    int count(const std::string &l) const { return int(std::count(lines.begin(), lines.end(), l)); }
    bool waitFor(const std::string &l, int ms = 5000)
    {
        return waitUntil([&] { return has(l); }, ms);
    }
    // Nothing more arrives over a quiet interval.
    bool staysQuiet(int ms = 300)
    {
        std::size_t n = lines.size();
        return !waitUntil([&] { return lines.size() > n; }, ms);
    }
    // Lines that start with one of the prefixes, in order.
    std::vector<std::string> only(std::initializer_list<const char *> prefixes) const
    {
        std::vector<std::string> out;
        for (const auto &l : lines)
            for (const char *p : prefixes)
                if (l.rfind(p, 0) == 0) {
                    out.push_back(l);
                    break;
                }
        return out;
    }
};

// Sends one packet from the peer and lets the socket take it before anything else is sent, so that
// the socket sees the packets as separate reads.
inline bool deliverPacket(PeerConn &Peer, TCustomWSocket &Sock, const std::string &Packet)
{
    if (!Peer.sendAll(Packet)) return false;
    pollfd pfd{wsock::HandleFd(Sock.SocketHandle), POLLIN, 0};
    if (pfd.fd < 0) return true;
    if (::poll(&pfd, 1, 5000) != 1) return false;
    return waitUntil([&] {
        unsigned long n = 1;
        return Sock.SocketHandle == wsock::INVALID_SOCKET ||
               (wsock::Api().ioctlsocket(Sock.SocketHandle, wsock::FIONREAD_, &n) == 0 && n == 0);
    }, 5000);
}
