// Asks one whois server about one name over TCP and collects the whole answer, driven entirely by
// the socket's events. One query at a time; every query ends with exactly one OnQueryDone.
#pragma once
#include "nettools/WSocket.h"

#include <QTimer>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class TWhoisCli {
public:
    using TEvent = std::function<void(TWhoisCli *Sender, int Error)>;

    // Codes of the client's own bounds, outside the Winsock range.
    static constexpr int kTimeLimitError = 21001;
    static constexpr int kSizeLimitError = 21002;
    // The server's name found no address within the connect's bound (wsock::ConnectTimeout).
    static constexpr int kLookupTimeError = 21003;

    TWhoisCli();
    ~TWhoisCli();
    TWhoisCli(const TWhoisCli &) = delete;
    TWhoisCli &operator=(const TWhoisCli &) = delete;

    std::unique_ptr<TWSocket> Socket;
    std::string Query;
    std::string Host = "whois.jprs.jp";
    std::string WhoisResp;
    TEvent OnSessionConnected;
    TEvent OnQueryDone;

    // The service asked for on the server; tests point it at a port of their own.
    std::string ServicePort = "whois";
    // A server that never closes, or sends without end, is cut off.
    std::size_t MaxAnswerBytes = 1 << 20;
    int MaxAnswerMs = 60000;

    void StartQuery();
    int Receive(void *Buffer, int Len);
    void Abort();
    bool Running() const { return running_; }

private:
    void DnsLookupDone(int Error);
    void SessionConnected(int Error);
    void DataAvailable(int Error);
    void SessionClosed(int Error);
    void BgException(bool &CanClose);
    // Ends the running query once; later reports of the same query are dropped.
    void QueryDone(int Error);
    // The same, from the event loop: for endings met inside a call that the caller is still in.
    void QueryDoneLater(int Error);
    void StopSilently();
    void Finish(int Error);

    bool running_ = false;
    unsigned generation_ = 0;
    QTimer timeLimit_;
    QTimer lookupLimit_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
