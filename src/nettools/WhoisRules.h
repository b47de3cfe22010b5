// The decisions of the whois page that need no window: what to ask, whom to ask next.
#pragma once
#include <string>
#include <vector>

// The host of a URL or address as typed: the first "https://", then the first "http://" removed,
// trimmed, cut before the first "/"; user information and a ":port" go as well.
std::string WhoisHostPart(const std::string &Text);

// The server named by the first line holding "Whois Server:" (the text after that line's first
// ":", at most 99 characters, trimmed); "" when no line names one.
std::string WhoisReferral(const std::string &Answer);

// The servers asked in one chain: at most kMaxServers, none twice (letter case ignored), so that
// a server that names itself, or two that name each other, end the chain.
class TWhoisChain {
public:
    static constexpr int kMaxServers = 5;
    void Start(const std::string &Server);
    // True, and the server recorded, when the chain may go on to it.
    bool Next(const std::string &Server);
    const std::vector<std::string> &Asked() const { return asked_; }

private:
    std::vector<std::string> asked_;
};

// The 27 servers of the server box, the client's default first; one is listed twice.
extern const char *const kWhoisServers[27];
