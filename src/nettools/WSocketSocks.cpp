// The SOCKS 4, 4A and 5 layer: inert unless a proxy server is set.
#include "nettools/WSocket.h"

#include "text/StrUtils.h"

#include <algorithm>
#include <cstring>

using namespace wsock;

void TCustomSocksWSocket::ResetDefaults()
{
    TCustomWSocket::ResetDefaults();
    SocksState = 0;
    SocksServerStr.clear();
    SocksPortStr.clear();
    SocksLevelStr = "5";
    SocksLeftCount = 0;
    SocksPortAssigned = false;
    SocksServerAssigned = false;
}

void TCustomSocksWSocket::SetSocksLevel(const std::string &Value)
{
    if (State != wsClosed) {
        ReportError("Can't change socks level if not closed");
        return;
    }
    if (Value != "4" && Value != "5" && Value != "4A" && Value != "4a") {
        ReportError("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    SocksLevelStr = Value == "4a" ? "4A" : Value;
}

void TCustomSocksWSocket::SetSocksPort(const std::string &Value)
{
    if (State != wsClosed) {
        ReportError("Can't change socks port if not closed");
        return;
    }
    SocksPortStr = Trim(Value);
    SocksPortAssigned = !SocksPortStr.empty();
}

void TCustomSocksWSocket::SetSocksServer(const std::string &Value)
{
    if (State != wsClosed) {
        ReportError("Can't change socks server if not closed");
        return;
    }
    SocksServerStr = Trim(Value);
    SocksServerAssigned = !SocksServerStr.empty();
}

void TCustomSocksWSocket::Listen()
{
    if (SocksServerAssigned) {
        ReportError("Listening is not supported thru socks server");
        return;
    }
    TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect()
{
    if (!SocksServerAssigned) {
        TCustomWSocket::Connect();
        return;
    }
    if (LowerCase(ProtoStr) != "tcp") {
        ReportError("tcp is the only protocol supported thru socks server");
        return;
    }
    // Each field goes out behind a one-byte length: a longer one would announce a wrong length.
    if (AddrStr.size() > 255 || SocksUsercode.size() > 255 || SocksPassword.size() > 255) {
        ReportError("Socks: name, user code or password longer than 255 bytes.");
        return;
    }
    if (SocketHandle != INVALID_SOCKET && State != wsClosed) {
        ReportError("Connect: Socket already in use");
        return;
    }
    if (!PortResolved) {
        Sin.sin_port = htons(WSocketResolvePort(SocksPortStr, ProtoStr));
        PortNum = WSocketResolvePort(PortStr, ProtoStr);
        PortResolved = true;
    }
    if (!AddrResolved) {
        Sin.sin_addr.s_addr = WSocketResolveHost(SocksServerStr);
        AddrResolved = true;
    }
    SocksState = 1;
    SocksRcvCount = 0;
    TCustomWSocket::Connect();
}

void TCustomSocksWSocket::DoSessionConnected(int Error)
{
    if (SocksState != 1) {
        TCustomWSocket::DoSessionConnected(Error);
        return;
    }
    auto alive = Alive;
    DoSocksConnected(Error);
    if (!*alive) return;
    if (Error != 0) {
        TCustomWSocket::DoSessionConnected(Error);
        return;
    }
    if (SocksLevelStr == "5") {
        SocksAuthMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
        unsigned char req[3] = {5, 1, SocksAuthMethod};
        Send(req, 3);
    } else {
        SendSocksRequest();
    }
}

void TCustomSocksWSocket::DoSessionClosed(int Error)
{
    if (SocksState == 2) {
        auto alive = Alive;
        DoSocksAuthState(socksAuthFailure);
        if (!*alive) return;
    }
    TCustomWSocket::DoSessionClosed(Error);
}

void TCustomSocksWSocket::SendSocksRequest()
{
    std::string req;
    auto port = std::uint16_t(PortNum);
    if (SocksLevelStr == "5") {
        req += char(5);
        req += char(1);
        req += char(0);
        req += char(3);
        req += char(AddrStr.size());
        req += AddrStr;
        req += char(port >> 8);
        req += char(port & 0xFF);
    } else {
        req += char(4);
        req += char(1);
        req += char(port >> 8);
        req += char(port & 0xFF);
        std::uint32_t a = SocksLevelStr == "4" ? WSocketResolveHost(AddrStr) : htonl(1);
        req.append(reinterpret_cast<const char *>(&a), 4);
        req += SocksUsercode;
        req += char(0);
        if (SocksLevelStr == "4A") {
            req += AddrStr;
            req += char(0);
        }
    }
    SocksState = 3;
    Send(req.data(), int(req.size()));
}

void TCustomSocksWSocket::SendSocksAuth()
{
    SocksState = 2;
    auto alive = Alive;
    DoSocksAuthState(socksAuthStart);
    if (!*alive) return;
    std::string req;
    req += char(1);
    req += char(SocksUsercode.size());
    req += SocksUsercode;
    req += char(SocksPassword.size());
    req += SocksPassword;
    Send(req.data(), int(req.size()));
}

void TCustomSocksWSocket::FailSocks(int Code, const std::string &Msg)
{
    auto alive = Alive;
    DoSocksError(Code, Msg);
    if (!*alive) return;
    SocksState = 0;
    DoSessionConnected(Code);
    if (!*alive) return;
    DoClose(true, Code);
}

int TCustomSocksWSocket::SocksReadMore(int Upto)
{
    int room = Upto - SocksRcvCount;
    if (room <= 0) return 0;
    int n = Receive(SocksRcvBuf + SocksRcvCount, room);
    if (n < 0) {
        if (LastError == WSAEWOULDBLOCK) {
            LastError = 0;
            return 0;
        }
        FailSocks(LastError, "data receive error");
        return -1;
    }
    SocksRcvCount += n;
    return n;
}

bool TCustomSocksWSocket::DoDataAvailable(int Error)
{
    if (SocksState == 0) return TCustomWSocket::DoDataAvailable(Error);
    if (Error != 0) {
        FailSocks(Error, "data receive error");
        return false;
    }
    auto alive = Alive;
    const int full = int(sizeof SocksRcvBuf);
    switch (SocksState) {
    case 1: {
        if (SocksLevelStr[0] == '4') {
            FailSocks(20001, "TWSocket logic error");
            return false;
        }
        if (SocksReadMore(full) < 0) return true;
        if (SocksRcvCount < 2) return true;
        SocksRcvCount = 0;
        if (SocksRcvBuf[0] != 5) {
            FailSocks(20002, "socks version error");
            return true;
        }
        if (SocksRcvBuf[1] == 0) {
            if (SocksAuthMethod == 2) {
                DoSocksAuthState(socksAuthNotRequired);
                if (!*alive) return true;
            }
            SendSocksRequest();
        } else if (SocksRcvBuf[1] == 2) {
            SendSocksAuth();
        } else {
            FailSocks(20003, "authentification method not acceptable");
        }
        return true;
    }
    case 2: {
        if (SocksReadMore(full) < 0) return true;
        if (SocksRcvCount >= 1 && SocksRcvBuf[0] != 1) {
            FailSocks(20002, "socks version error");
            return true;
        }
        if (SocksRcvCount > 2) {
            FailSocks(20001, "too much data availaible");
            return true;
        }
        if (SocksRcvCount < 2) return true;
        if (SocksRcvBuf[1] != 0) {
            FailSocks(20015, "socks authentication failed");
            return true;
        }
        SocksRcvCount = 0;
        DoSocksAuthState(socksAuthSuccess);
        if (!*alive) return true;
        SendSocksRequest();
        return true;
    }
    case 3:
        if (SocksLevelStr == "5") {
            if (SocksReadMore(full) < 0) return true;
            if (SocksRcvCount >= 1 && SocksRcvBuf[0] != 5) {
                FailSocks(20002, "socks version error");
                return true;
            }
            if (SocksRcvCount < 2) return true;
            if (int code = SocksRcvBuf[1]; code != 0) {
                static const char *const texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                                                    "network unreachable",          "host unreachable",
                                                    "connection refused",           "time to live expired",
                                                    "command not supported",        "address type not supported"};
                if (code >= 1 && code <= 8) FailSocks(20003 + code, texts[code - 1]);
                else FailSocks(20012, "unassigned error #" + std::to_string(code));
                return true;
            }
            if (SocksRcvCount < 5) return true;
            int type = SocksRcvBuf[3];
            int need = type == 1 ? 10 : type == 3 ? 7 + SocksRcvBuf[4] : 5;
            if (SocksRcvCount < need) return true;
            int portAt;
            if (type == 1) {
                BoundAddr = std::to_string(SocksRcvBuf[4]) + "." + std::to_string(SocksRcvBuf[5]) + "." +
                            std::to_string(SocksRcvBuf[6]) + "." + std::to_string(SocksRcvBuf[7]);
                portAt = 8;
            } else if (type == 3) {
                BoundAddr.assign(reinterpret_cast<const char *>(SocksRcvBuf + 5), SocksRcvBuf[4]);
                portAt = 5 + SocksRcvBuf[4];
            } else {
                FailSocks(20011, "address type not supported");
                return true;
            }
            BoundPort = std::to_string((SocksRcvBuf[portAt] << 8) | SocksRcvBuf[portAt + 1]);
            SocksState = 0;
            // Bytes after the reply belong to the application: kept before it hears of the connection.
            SocksLeftCount = SocksRcvCount - need;
            SocksLeftPtr = SocksRcvBuf + need;
            SocksRcvCount = 0;
            DoSessionConnected(0);
            if (!*alive) return true;
            TCustomWSocket::DoDataAvailable(0);
            return true;
        } else {
            if (SocksReadMore(8) < 0) return true;
            if (SocksRcvCount < 8) return true;
            SocksRcvCount = 0;
            if (SocksRcvBuf[0] != 0) {
                FailSocks(20002, "socks version error");
                return true;
            }
            switch (SocksRcvBuf[1]) {
            case 90:
                SocksState = 0;
                DoSessionConnected(0);
                if (!*alive) return true;
                TCustomWSocket::DoDataAvailable(0);
                break;
            case 91: FailSocks(20016, "request rejected or failed"); break;
            case 92: FailSocks(20008, "connection refused"); break;
            case 93: FailSocks(20015, "authentification failed"); break;
            default: FailSocks(20012, "unassigned error #" + std::to_string(SocksRcvBuf[1])); break;
            }
            return true;
        }
    default:
        FailSocks(20013, "internal error");
        return false;
    }
}

int TCustomSocksWSocket::GetRcvdCount()
{
    if (SocksLeftCount > 0) return SocksLeftCount;
    return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::RecvRaw(void *Buffer, int Len, int Flags)
{
    if (SocksLeftCount > 0) {
        int n = std::min(Len, SocksLeftCount);
        if (n <= 0) return 0;
        std::memcpy(Buffer, SocksLeftPtr, std::size_t(n));
        SocksLeftPtr += n;
        SocksLeftCount -= n;
        return n;
    }
    return TCustomWSocket::RecvRaw(Buffer, Len, Flags);
}

void TCustomSocksWSocket::DoSocksConnected(int Error)
{
    FireEvent(OnSocksConnected, this, Error);
}

void TCustomSocksWSocket::DoSocksError(int Error, const std::string &Msg)
{
    FireEvent(OnSocksError, this, Error, Msg);
}

void TCustomSocksWSocket::DoSocksAuthState(TSocksAuthState AuthState)
{
    FireEvent(OnSocksAuthState, this, AuthState);
}
