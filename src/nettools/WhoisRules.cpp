#include "nettools/WhoisRules.h"

#include "text/JCode.h"
#include "text/StrUtils.h"

#include <algorithm>

namespace {

// The authority of a URL or address as typed, user information gone, the port still on.
std::string authorityOf(const std::string &Text)
{
    std::string s = Text;
    for (const char *scheme : {"https://", "http://"}) {
        std::size_t p = s.find(scheme);
        if (p != std::string::npos) s.erase(p, std::string(scheme).size());
    }
    s = Trim(s);
    if (std::size_t slash = s.find('/'); slash != std::string::npos) s.erase(slash);
    if (std::size_t at = s.rfind('@'); at != std::string::npos) s.erase(0, at + 1);
    return s;
}

bool isHostNameChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

bool hasJisEscape(const std::string &S)
{
    for (std::size_t p = S.find('\x1b'); p != std::string::npos; p = S.find('\x1b', p + 1))
        if (p + 1 < S.size() && (S[p + 1] == '$' || S[p + 1] == '(')) return true;
    return false;
}

bool hasHighByte(const std::string &S)
{
    return std::any_of(S.begin(), S.end(), [](char c) { return (unsigned char)c >= 0x80; });
}

bool isValidUtf8(const std::string &S)
{
    const auto *p = reinterpret_cast<const unsigned char *>(S.data());
    const std::size_t n = S.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more;
        unsigned char lo = 0x80, hi = 0xBF; // the range of the first continuation byte
        if (b >= 0xC2 && b <= 0xDF) more = 1;
        else if (b == 0xE0) more = 2, lo = 0xA0;
        else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) more = 2;
        else if (b == 0xED) more = 2, hi = 0x9F;
        else if (b == 0xF0) more = 3, lo = 0x90;
        else if (b >= 0xF1 && b <= 0xF3) more = 3;
        else if (b == 0xF4) more = 3, hi = 0x8F;
        else return false;
        // A character cut off by the end (an answer stopped at its size bound) spoils nothing.
        if (i + 1 < n && (p[i + 1] < lo || p[i + 1] > hi)) return false;
        for (int k = 2; k <= more && i + std::size_t(k) < n; ++k)
            if (p[i + std::size_t(k)] < 0x80 || p[i + std::size_t(k)] > 0xBF) return false;
        i += std::size_t(more) + 1;
    }
    return true;
}

bool isValidEucJp(const std::string &S)
{
    const auto *p = reinterpret_cast<const unsigned char *>(S.data());
    const std::size_t n = S.size();
    auto euc = [](unsigned char c) { return c >= 0xA1 && c <= 0xFE; };
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) ++i;
        else if (i + 1 == n && (euc(b) || b == 0x8E || b == 0x8F)) ++i; // cut off by the end
        else if (euc(b) && i + 1 < n && euc(p[i + 1])) i += 2;
        else if (b == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) i += 2;
        else if (b == 0x8F && i + 2 < n && euc(p[i + 1]) && euc(p[i + 2])) i += 3;
        else return false;
    }
    return true;
}

} // namespace

std::string WhoisHostPart(const std::string &Text)
{
    if (NamesIpv6Host(Text)) return {};
    std::string s = authorityOf(Text);
    if (std::size_t colon = s.find(':'); colon != std::string::npos) s.erase(colon);
    return Trim(s);
}

bool NamesIpv6Host(const std::string &Text)
{
    const std::string s = authorityOf(Text);
    return (!s.empty() && s[0] == '[') || std::count(s.begin(), s.end(), ':') >= 2;
}

std::string WhoisReferral(const std::string &Answer)
{
    static const std::string kKey = "whois server:";
    std::size_t start = 0;
    while (start < Answer.size()) {
        std::size_t end = Answer.find('\n', start);
        if (end == std::string::npos) end = Answer.size();
        const std::string line = Answer.substr(start, end - start);
        start = end + 1;
        const std::size_t at = LowerCase(line).find(kKey);
        if (at == std::string::npos) continue;
        std::size_t p = at + kKey.size();
        while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
        std::size_t q = p;
        while (q < line.size() && q - p < 99 && isHostNameChar((unsigned char)line[q])) ++q;
        if (q > p) return line.substr(p, q - p);
    }
    return {};
}

std::string WhoisAnswerToSjis(const std::string &Raw)
{
    if (hasJisEscape(Raw)) return JisToSjisB(Raw);
    if (!hasHighByte(Raw)) return Raw;
    if (isValidUtf8(Raw)) {
        const bool bom = Raw.compare(0, 3, "\xEF\xBB\xBF") == 0;
        try {
            return Utf8ToAnsi(bom ? Raw.substr(3) : Raw);
        } catch (const ETextConvertError &) {
            return Raw;
        }
    }
    if (isValidEucJp(Raw)) return EucToSjis(Raw);
    return Raw;
}

bool IsWhoisServerName(const std::string &Server) { return LowerCase(Server).find("whois") != std::string::npos; }

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
