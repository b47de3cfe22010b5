#include "nettools/WhoisRules.h"

#include "text/StrUtils.h"

#include <algorithm>

std::string WhoisHostPart(const std::string &Text)
{
    std::string s = Text;
    for (const char *scheme : {"https://", "http://"}) {
        std::size_t p = s.find(scheme);
        if (p != std::string::npos) s.erase(p, std::string(scheme).size());
    }
    s = Trim(s);
    if (std::size_t slash = s.find('/'); slash != std::string::npos) s.erase(slash);
    if (std::size_t at = s.rfind('@'); at != std::string::npos) s.erase(0, at + 1);
    if (std::size_t colon = s.find(':'); colon != std::string::npos) s.erase(colon);
    return s;
}

std::string WhoisReferral(const std::string &Answer)
{
    std::size_t start = 0;
    while (start <= Answer.size()) {
        std::size_t end = Answer.find('\n', start);
        std::string line = Answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.find("Whois Server:") != std::string::npos) {
            std::string rest = line.substr(line.find(':') + 1);
            return Trim(rest.substr(0, 99));
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

void TWhoisChain::Start(const std::string &Server) { asked_.assign(1, Server); }

bool TWhoisChain::Next(const std::string &Server)
{
    if (Server.empty() || int(asked_.size()) >= kMaxServers) return false;
    std::string low = LowerCase(Server);
    for (const auto &a : asked_)
        if (LowerCase(a) == low) return false;
    asked_.push_back(Server);
    return true;
}

const char *const kWhoisServers[27] = {
    // The Japanese registry, the client's default.
    "whois.jprs.jp",
    // Generic top-level-domain registries.
    "whois.verisign-grs.com", "whois.publicinterestregistry.org", "whois.nic.info", "whois.nic.biz",
    "whois.nic.mobi", "whois.nic.name",
    // Registrars.
    "whois.networksolutions.com", "whois.godaddy.com", "whois.tucows.com", "whois.enom.com", "whois.gandi.net",
    "whois.markmonitor.com",
    // Regional internet address registries.
    "whois.apnic.net", "whois.arin.net", "whois.ripe.net", "whois.lacnic.net", "whois.afrinic.net",
    "whois.nic.ad.jp",
    // Country-code registries.
    "whois.cnnic.cn", "whois.kr", "whois.twnic.net.tw", "whois.nic.uk", "whois.denic.de", "whois.nic.fr",
    "whois.auda.org.au", "whois.jprs.jp"};
