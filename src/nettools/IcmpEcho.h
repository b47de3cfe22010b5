// The ICMP echo client of the traceroute: one echo request with a chosen time-to-live, its
// answer awaited in a local event loop so the window stays live.
//
// It sends through an ICMP datagram socket where the system allows one to the user's group
// (net.ipv4.ping_group_range), else through a raw ICMP socket (CAP_NET_RAW). A datagram socket
// learns of time-exceeded and unreachable reports through its error queue; a raw one reads them
// from the packets. Answers are matched to the request by identifier and sequence, so a late
// answer to an earlier probe never counts for a later one.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

class QEventLoop;

// One hop's answer. Status: 0 echo reply, 1 error, 2 no answer in time, 3 destination
// unreachable, 4 time-to-live exceeded on the way.
struct TIcmpReply {
    std::string Address = "0.0.0.0";
    int RoundTripTime = 0;
    int TTL = 0; // the answer's own time-to-live; 0 where the system gives none
    int Status = 1;
};

class EIcmpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TIcmpEcho {
public:
    enum class Kind { None, Datagram, Raw };

    TIcmpEcho() = default;
    ~TIcmpEcho();
    TIcmpEcho(const TIcmpEcho &) = delete;
    TIcmpEcho &operator=(const TIcmpEcho &) = delete;

    std::string Host;         // dotted address the requests go to
    int TTL = 64;             // time-to-live of the next request
    int ReceiveTimeout = 5000; // milliseconds
    TIcmpReply Reply;         // the last echo's answer

    // Opens the socket on first use; false when the system permits neither kind.
    bool Open();
    Kind kind() const { return kind_; }

    // Sends one request and waits for its answer, the time-out or Cancel. Raises EIcmpError
    // when the request cannot be sent; Reply is then {0.0.0.0, status 1}.
    void Ping();
    // Ends a running wait at once; the answer reads as a time-out.
    void Cancel();
    bool Waiting() const { return loop_ != nullptr; }

    // The dotted address of a name, and the name of a dotted address, from the system
    // resolver; both raise EIcmpError when there is none.
    static std::string HostNameToAddress(const std::string &Name);
    static std::string AddressToHostName(const std::string &Address);

private:
    bool readAnswers(std::uint16_t seq, std::uint32_t dst);
    bool readDatagramErrors(std::uint16_t seq);
    void close();

    int fd_ = -1;
    Kind kind_ = Kind::None;
    std::uint16_t id_ = 0;
    std::uint16_t seq_ = 0;
    long long sentAt_ = 0;
    QEventLoop *loop_ = nullptr;
    bool cancelled_ = false;
};
