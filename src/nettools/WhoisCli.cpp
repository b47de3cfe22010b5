#include "nettools/WhoisCli.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>

TWhoisCli::TWhoisCli() : Socket(std::make_unique<TWSocket>())
{
    Socket->OnDnsLookupDone = [this](TCustomWSocket *, int e) { DnsLookupDone(e); };
    Socket->OnSessionConnected = [this](TCustomWSocket *, int e) { SessionConnected(e); };
    Socket->OnDataAvailable = [this](TCustomWSocket *, int e) { DataAvailable(e); };
    Socket->OnSessionClosed = [this](TCustomWSocket *, int e) { SessionClosed(e); };
    Socket->OnBgException = [this](TCustomWSocket *, const std::exception &, bool &CanClose) { BgException(CanClose); };
    timeLimit_.setSingleShot(true);
    lookupLimit_.setSingleShot(true);
    // A resolver that never answers would leave the page running without end.
    QObject::connect(&lookupLimit_, &QTimer::timeout, [this] {
        if (!running_) return;
        StopSilently();
        Finish(kLookupTimeError);
    });
    QObject::connect(&timeLimit_, &QTimer::timeout, [this] {
        if (!running_) return;
        StopSilently();
        Finish(kTimeLimitError);
    });
}

TWhoisCli::~TWhoisCli()
{
    *alive_ = false;
    running_ = false;
    Socket.reset();
}

void TWhoisCli::StartQuery()
{
    // A query still running is superseded: its connection goes, and it reports nothing more.
    if (running_) StopSilently();
    WhoisResp.clear();
    running_ = true;
    ++generation_;
    lookupLimit_.start(std::max(wsock::ConnectTimeout(), 1));
    try {
        Socket->DnsLookup(Host);
    } catch (const std::exception &) {
        // A dotted server is looked up inside the call, and its connect with it.
        QueryDoneLater(Socket->LastError ? Socket->LastError : wsock::WSAEINVAL);
        Socket->Abort();
    }
}

int TWhoisCli::Receive(void *Buffer, int Len) { return Socket->Receive(Buffer, Len); }

void TWhoisCli::Abort()
{
    bool was = running_;
    StopSilently();
    // The answer stopped short: never reported as a success.
    if (was) Finish(wsock::WSAEINTR);
}

void TWhoisCli::StopSilently()
{
    running_ = false;
    timeLimit_.stop();
    lookupLimit_.stop();
    Socket->CancelDnsLookup();
    Socket->Abort();
}

void TWhoisCli::DnsLookupDone(int Error)
{
    if (!running_) return;
    lookupLimit_.stop();
    if (Error != 0) {
        QueryDone(Error);
        return;
    }
    Socket->SetAddr(Socket->DnsResult);
    Socket->SetProto("tcp");
    Socket->SetPort(ServicePort);
    Socket->Connect();
}

void TWhoisCli::SessionConnected(int Error)
{
    if (!running_) return;
    auto alive = alive_;
    if (OnSessionConnected) {
        TEvent h = OnSessionConnected;
        h(this, Error);
        if (!*alive || !running_) return;
    }
    if (Error != 0) {
        QueryDone(Error);
        if (*alive) Socket->Close();
        return;
    }
    timeLimit_.start(std::max(MaxAnswerMs, 1));
    Socket->SendStr(Query + "\r\n");
}

void TWhoisCli::DataAvailable(int)
{
    char buf[2047];
    for (;;) {
        int n = Socket->Receive(buf, int(sizeof buf));
        if (n < 1) return;
        if (!running_) continue; // a stopped query's data is read and dropped
        // A 0 byte is no text: it is dropped and the rest of the read kept.
        std::string piece(buf, std::size_t(n));
        piece.erase(std::remove(piece.begin(), piece.end(), '\0'), piece.end());
        WhoisResp += piece;
        if (WhoisResp.size() > MaxAnswerBytes) {
            StopSilently();
            Finish(kSizeLimitError);
            return;
        }
    }
}

void TWhoisCli::SessionClosed(int Error)
{
    timeLimit_.stop();
    QueryDone(Error);
}

void TWhoisCli::BgException(bool &CanClose)
{
    // The socket aborts itself after this handler; the query ends from the loop, after that.
    CanClose = true;
    if (running_) QueryDoneLater(Socket->LastError ? Socket->LastError : wsock::WSAEINVAL);
}

void TWhoisCli::QueryDone(int Error)
{
    if (!running_) return;
    running_ = false;
    timeLimit_.stop();
    lookupLimit_.stop();
    Finish(Error);
}

void TWhoisCli::Finish(int Error)
{
    if (OnQueryDone) {
        TEvent h = OnQueryDone;
        h(this, Error);
    }
}

void TWhoisCli::QueryDoneLater(int Error)
{
    if (!running_) return;
    running_ = false;
    timeLimit_.stop();
    lookupLimit_.stop();
    auto alive = alive_;
    unsigned gen = generation_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive, gen, Error] {
            // Dropped when the client is gone or a new query has started meanwhile.
            if (!*alive || gen != generation_) return;
            Finish(Error);
        },
        Qt::QueuedConnection);
}
