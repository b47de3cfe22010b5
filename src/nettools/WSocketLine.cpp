// Line mode (one line per OnDataAvailable, with optional echo and editing) and the flag waits.
#include "nettools/WSocket.h"

#include "platform/TWebbrowser.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <thread>

using namespace wsock;

void TCustomLineWSocket::SocketWndProc(TMessage &Msg)
{
    if (Msg.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksWSocket::SocketWndProc(Msg);
        return;
    }
    auto alive = Alive;
    Trapped([&] {
        while (*alive && LineBufCount() > 0) {
            int before = LineBufCount();
            if (!DoDataAvailable(0)) {
                // Nobody reads: what is held would be offered for ever.
                if (*alive && !LineModeValue) LineBuf.clear();
                return;
            }
            if (*alive && !LineModeValue && LineBufCount() == before) return; // the handler read nothing
            if (*alive && LineModeValue && LineLength == 0 && LineBufCount() == before) return; // no whole line yet
        }
    });
}

void TCustomLineWSocket::SetLineMode(bool Value)
{
    if (Value == LineModeValue) return;
    LineModeValue = Value;
    if (LineBufCount() >= 1 || LineLength >= 1) wsock::PostMessage(WindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

int TCustomLineWSocket::GetRcvdCount()
{
    if (LineModeValue) return LineLength;
    return TCustomSocksWSocket::GetRcvdCount();
}

int TCustomLineWSocket::RecvRaw(void *Buffer, int Len, int Flags)
{
    // Every byte handed out leaves the front of LineBuf, so switching modes halfway through a line
    // neither loses nor repeats anything.
    if (LineModeValue && LineLength >= 1) {
        int n = std::min(std::max(Len, 0), LineLength);
        std::memcpy(Buffer, LineBuf.data(), std::size_t(n));
        LineBuf.erase(0, std::size_t(n));
        LineLength -= n;
        return n;
    }
    if (!LineModeValue && !LineBuf.empty()) {
        int n = std::min(std::max(Len, 0), LineBufCount());
        std::memcpy(Buffer, LineBuf.data(), std::size_t(n));
        LineBuf.erase(0, std::size_t(n));
        return n;
    }
    return TCustomSocksWSocket::RecvRaw(Buffer, Len, Flags);
}

bool TCustomLineWSocket::DoDataAvailable(int Error)
{
    if (!LineModeValue || LineEnd.empty() || SocksState != 0) return TCustomSocksWSocket::DoDataAvailable(Error);
    auto alive = Alive;
    int n = TCustomSocksWSocket::GetRcvdCount();
    if (n < 0) return true;
    if (n == 0) n = 255;
    std::string fresh(std::size_t(n), '\0');
    int got = Receive(fresh.data(), n);
    if (got < 1) return true;
    int held = LineBufCount();
    LineBuf.append(fresh.data(), std::size_t(got));
    int count = got;
    if (LineEdit) {
        EditLine(count);
        held = LineBufCount() - count;
    } else if (LineEcho) {
        Send(fresh.data(), got);
    }
    if (!*alive) return true;
    std::size_t start = std::size_t(std::max(0, held - int(LineEnd.size())));
    while (LineModeValue) {
        std::size_t pos = LineBuf.find(LineEnd, start);
        if (pos == std::string::npos) break;
        LineLength = int(pos + LineEnd.size());
        while (LineModeValue && LineLength > 0) {
            if (!TCustomSocksWSocket::DoDataAvailable(0)) {
                LineBuf.erase(0, std::size_t(LineLength)); // nobody reads: the line is dropped
                LineLength = 0;
            }
            if (!*alive) return true;
        }
        // A handler that switched line mode off keeps the rest of its line at the front of LineBuf.
        LineLength = 0;
        start = 0;
    }
    if (LineModeValue && LineLimit >= 1 && LineBufCount() > LineLimit) {
        bool ClearData = true;
        DoLineLimitExceeded(LineBufCount(), ClearData);
        if (!*alive) return true;
        LineClearData = ClearData;
        if (LineClearData) {
            LineBuf.clear();
            LineLength = 0;
            LineClearData = false;
        }
    }
    return true;
}

void TCustomLineWSocket::EditLine(int &Count)
{
    int old = LineBufCount() - Count;
    bool editing = false;
    for (int i = old; i < LineBufCount(); ++i)
        editing = editing || LineBuf[std::size_t(i)] == 8 || LineBuf[std::size_t(i)] == 9;
    if (!editing) {
        // Nothing to rewrite; the bytes are still echoed, as without editing.
        if (LineEcho && Count > 0) Send(LineBuf.data() + old, Count);
        return;
    }
    std::string fresh = LineBuf.substr(std::size_t(old));
    std::string work = LineBuf.substr(0, std::size_t(old));
    int pos = old, lowest = old;
    auto alive = Alive;
    auto put = [&](char c) {
        if (std::size_t(pos) < work.size()) work[std::size_t(pos)] = c;
        else work.push_back(c);
        ++pos;
    };
    for (char c : fresh) {
        if (!*alive) return;
        if (c == 8) {
            if (LineEcho && pos > 0) Send("\b \b", 3);
            if (pos > 0) --pos;
            lowest = std::min(lowest, pos);
        } else if (c == 9) {
            do {
                if (LineEcho) Send(" ", 1);
                put(' ');
            } while (pos % 8 != 0);
        } else {
            if (LineEcho) Send(&c, 1);
            put(c);
        }
    }
    work.resize(std::size_t(pos));
    LineBuf = work;
    Count = pos - lowest;
}

void TCustomLineWSocket::DoSessionClosed(int Error)
{
    auto alive = Alive;
    if (LineModeValue && !LineBuf.empty() && !LineClearData) {
        // The last line has no terminator: it is delivered all the same.
        LineLength = LineBufCount();
        while (LineModeValue && LineLength > 0) {
            if (!TCustomSocksWSocket::DoDataAvailable(0)) {
                LineBuf.erase(0, std::size_t(LineLength));
                LineLength = 0;
            }
            if (!*alive) return;
        }
    }
    LineBuf.clear();
    LineBuf.shrink_to_fit();
    LineLength = 0;
    TCustomSocksWSocket::DoSessionClosed(Error);
}

void TCustomLineWSocket::DoLineLimitExceeded(int RcvdLength, bool &ClearData)
{
    FireEvent(OnLineLimitExceeded, this, RcvdLength, ClearData);
}

int TCustomSyncWSocket::RunAndWait(const std::function<void()> &Proc, bool &Flag)
{
    Flag = false;
    if (Proc) Proc();
    return WaitForFlag(Flag);
}

int TCustomSyncWSocket::WaitForFlag(bool &Flag)
{
    WaitDeadline = GetTickCount() + std::uint32_t(std::max(WaitTimeout, 0));
    auto alive = Alive;
    while (!Flag) {
        if (WaitTimeout > 0 && std::int32_t(GetTickCount() - WaitDeadline) > 0) return 12001;
        if (TWebbrowser::terminating() || QCoreApplication::closingDown() || Terminated) return 12001;
        PumpMessages();
        if (!*alive) return Flag ? 0 : 12001;
        std::this_thread::yield();
    }
    return 0;
}
