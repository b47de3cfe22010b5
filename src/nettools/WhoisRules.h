// The decisions of the whois page that need no window: what to ask, whom to ask next, how to read
// what came back.
#pragma once
#include <string>
#include <vector>

// The host of a URL or address as typed: the first "https://", then the first "http://" removed,
// trimmed, cut before the first "/"; user information and a ":port" go as well, and the result
// is trimmed again. An IPv6 literal gives "" (see NamesIpv6Host).
std::string WhoisHostPart(const std::string &Text);

// True when the host that Text names (as WhoisHostPart reads it) is an IPv6 literal: bracketed
// ("http://[2001:db8::1]/") or bare with two or more colons. The tools reach IPv4 only.
bool NamesIpv6Host(const std::string &Text);

// The server named by the first line that holds "Whois Server:" in any letter case (so also
// "Registrar WHOIS Server:") followed by a host name: the run of host-name characters after that
// colon and its blanks, at most 99 characters; "" when no line names one.
std::string WhoisReferral(const std::string &Answer);

// A server's answer as Shift_JIS, decoded by what it is: ISO-2022-JP when it holds that
// encoding's escapes, UTF-8 when its high bytes are all valid UTF-8, EUC-JP when they are all
// valid EUC-JP, else taken as Shift_JIS already.
std::string WhoisAnswerToSjis(const std::string &Raw);

// True when a whois server box text may be asked: it names "whois" (in any letter case).
bool IsWhoisServerName(const std::string &Server);

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
