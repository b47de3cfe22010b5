#include "download/UrlMapper.h"
#include "download/TextDecode.h"
#include "text/JCode.h"
#include "text/PathGuard.h"
#include "text/SjisBytes.h"
#include "text/UrlMap.h"
#include <iconv.h>

namespace {

std::string lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

int hexVal(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexVal(s[i + 1]) >= 0 && hexVal(s[i + 2]) >= 0) {
            out += static_cast<char>(hexVal(s[i + 1]) * 16 + hexVal(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Text from one code page to another through iconv; false when a byte sequence is invalid or
// a character has no form in the target.
bool convertExact(const char *to, const char *from, const std::string &in, std::string &out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buf(in.size() * 4 + 8, '\0');
    char *ip = const_cast<char *>(in.data());
    char *op = buf.data();
    size_t il = in.size(), ol = buf.size();
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
    iconv_close(cd);
    if (!ok) return false;
    out.assign(buf.data(), op - buf.data());
    return true;
}

// UTF-8 to Shift_JIS, or false when a character has no Shift_JIS form.
bool utf8ToSjisExact(const std::string &in, std::string &out) { return convertExact("CP932", "UTF-8", in, out); }

void escapeByte(std::string &out, unsigned char c)
{
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 15];
}

// Blanks and control bytes escaped; bytes of 0x80 and above kept (they are converted where
// the part's encoding is known).
std::string escapeControls(const std::string &s)
{
    std::string out;
    for (unsigned char c : s)
        if (c <= 0x20 || c == 0x7F)
            escapeByte(out, c);
        else
            out += static_cast<char>(c);
    return out;
}

// A path as a browser sends it: each run of 8-bit bytes (Shift_JIS in our texts) as the UTF-8
// of its characters, percent-encoded; a run that is no valid Shift_JIS is escaped byte for
// byte, so that two different paths never become one. Escapes already there are kept.
std::string wirePath(const std::string &path)
{
    std::string out;
    for (std::size_t i = 0; i < path.size();) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 0x80) {
            if (c <= 0x20 || c == 0x7F)
                escapeByte(out, c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < path.size() && static_cast<unsigned char>(path[j]) >= 0x80) {
            // A trail byte in the ASCII range ("\\", "|", "@" ...) belongs to its character.
            if (isSjisLead(static_cast<unsigned char>(path[j])) && j + 1 < path.size() &&
                isSjisTrail(static_cast<unsigned char>(path[j + 1])))
                j += 2;
            else
                ++j;
        }
        const std::string run = path.substr(i, j - i);
        std::string utf8;
        if (convertExact("UTF-8", "CP932", run, utf8))
            for (unsigned char b : utf8) escapeByte(out, b);
        else
            for (unsigned char b : run) escapeByte(out, b);
        i = j;
    }
    return out;
}

// One path segment as a local name; false when it must be refused.
bool localSegment(const std::string &raw, std::string &out)
{
    const std::string dec = percentDecode(raw);
    if (dec == "." || dec == "..") return false;
    bool keepRaw = false;
    bool ascii = true;
    for (unsigned char c : dec) {
        if (c < 0x20 || c == '/' || c == '\\' || c == 0x7F) keepRaw = true;
        if (c >= 0x80) ascii = false;
    }
    std::string name;
    if (keepRaw)
        name = raw;
    else if (ascii)
        name = dec;
    else if (!IsValidUtf8(dec) || !utf8ToSjisExact(dec, name))
        name = raw;
    // A name the system cannot hold in Shift_JIS (bytes that are no valid character) keeps
    // its escapes, so that two such names never become one file.
    std::string check;
    if (!convertExact("UTF-8", "CP932", name, check)) {
        std::string esc;
        for (unsigned char c : name)
            if (c >= 0x80)
                escapeByte(esc, c);
            else
                esc += static_cast<char>(c);
        name = esc;
    }
    // The byte rules apply to single-byte characters only: "|" and "\\" are also trail bytes.
    std::string mapped;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = sjisCharLen(name, i);
        if (n == 2) {
            mapped.append(name, i, 2);
            i += 2;
            continue;
        }
        const char c = name[i++];
        switch (c) {
        case '?': mapped += '_'; break;
        case '|': mapped += '~'; break;
        case '*': mapped += ';'; break;
        case ':': mapped += '!'; break;
        default: mapped += c;
        }
    }
    if (mapped == "." || mapped == "..") return false;
    out = mapped;
    return true;
}

std::string cutChars(const std::string &s, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t n = sjisCharLen(s, i);
        if (i + n > maxBytes) break;
        i += n;
    }
    return s.substr(0, i);
}

// The extension of a name (from its last "." that is not the first character), "" when none.
std::size_t extPos(const std::string &name)
{
    const std::size_t d = name.rfind('.');
    if (d == std::string::npos || d == 0 || name.size() - d > 16) return std::string::npos;
    return d;
}

std::string withHash(const std::string &name, const std::string &hash)
{
    const std::size_t d = extPos(name);
    if (d == std::string::npos) return name + "_" + hash;
    return name.substr(0, d) + "_" + hash + name.substr(d);
}

// The system's limit for one name is 255 bytes of UTF-8; a Shift_JIS double-byte character
// takes three there, so a name is kept below 160 Shift_JIS bytes.
constexpr std::size_t kMaxNameBytes = 160;

std::string fitName(const std::string &name, const std::string &key)
{
    if (name.size() <= kMaxNameBytes) return name;
    const std::size_t d = extPos(name);
    const std::string ext = d == std::string::npos ? std::string() : name.substr(d);
    return cutChars(name.substr(0, d == std::string::npos ? name.size() : d), 100) + "_" +
           UrlMapper::ShortHash(key) + ext;
}

} // namespace

UrlParts SplitUrl(const std::string &AbsUrl)
{
    UrlParts p;
    const std::size_t se = AbsUrl.find("://");
    if (se == std::string::npos || se == 0) return p;
    p.Scheme = lower(AbsUrl.substr(0, se));
    if (p.Scheme != "http" && p.Scheme != "https") return p;
    std::string rest = AbsUrl.substr(se + 3);
    const std::size_t hashAt = rest.find('#');
    if (hashAt != std::string::npos) rest.erase(hashAt);
    const std::size_t pe = rest.find_first_of("/?");
    std::string auth = rest.substr(0, pe);
    std::string tail = pe == std::string::npos ? std::string() : rest.substr(pe);
    const std::size_t at = auth.rfind('@');
    if (at != std::string::npos) auth.erase(0, at + 1);
    std::string host = auth, port;
    const std::size_t colon = auth.rfind(':');
    if (colon != std::string::npos && auth.find(']', colon) == std::string::npos) {
        host = auth.substr(0, colon);
        port = auth.substr(colon + 1);
    }
    p.Host = lower(host);
    if ((p.Scheme == "http" && port == "80") || (p.Scheme == "https" && port == "443")) port.clear();
    p.Port = port;
    const std::size_t q = tail.find('?');
    if (q != std::string::npos) {
        p.HasQuery = true;
        p.Query = tail.substr(q + 1);
        tail.erase(q);
    }
    p.Path = tail.empty() ? "/" : tail;
    p.Ok = !p.Host.empty();
    return p;
}

std::string UrlKey(const std::string &AbsUrl)
{
    std::string u = AbsUrl;
    const std::size_t h = u.find('#');
    if (h != std::string::npos) u.erase(h);
    std::string r = MakeAbsoluteUrl(u, u);
    if (r.empty()) r = u;
    // The path as it goes on the wire, so that a name written raw, with escapes or in
    // Japanese is one URL; the query keeps its characters for the page's encoding.
    const std::size_t se = r.find("://");
    if (se == std::string::npos) return r;
    const std::size_t ps = r.find_first_of("/?", se + 3);
    if (ps == std::string::npos) return r;
    const std::size_t q = r.find('?', ps);
    const std::string path = r.substr(ps, q == std::string::npos ? std::string::npos : q - ps);
    std::string out = lower(r.substr(0, ps)) + wirePath(path);
    if (q != std::string::npos) out += escapeControls(r.substr(q));
    return out;
}

std::string WireUrl(const std::string &Key, const std::string &QueryEncoding)
{
    const std::size_t q = Key.find('?');
    if (q == std::string::npos) return Key;
    std::string query = Key.substr(q + 1), conv;
    const std::string enc = lower(QueryEncoding);
    if (enc == "utf-8" || enc == "utf-16le" || enc == "utf-16be") {
        if (convertExact("UTF-8", "CP932", query, conv)) query = conv;
    } else if (enc == "euc-jp") {
        if (convertExact("EUC-JP", "CP932", query, conv)) query = conv;
    }
    const bool sjis = query == Key.substr(q + 1);
    std::string out = Key.substr(0, q + 1);
    for (std::size_t i = 0; i < query.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(query[i]);
        if (sjis && sjisCharLen(query, i) == 2) {
            // Both bytes of the character, also a trail byte in the ASCII range.
            escapeByte(out, c);
            escapeByte(out, static_cast<unsigned char>(query[++i]));
        } else if (c >= 0x80) {
            escapeByte(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string LegacyWireUrl(const std::string &WireUrl, const std::string &PageEncoding)
{
    const std::string enc = lower(PageEncoding);
    const char *to = enc == "euc-jp" ? "EUC-JP" : (enc == "shift_jis" || enc == "auto" || enc.empty()) ? "CP932" : nullptr;
    if (!to) return {};
    const std::size_t se = WireUrl.find("://");
    if (se == std::string::npos) return {};
    const std::size_t ps = WireUrl.find_first_of("/?", se + 3);
    if (ps == std::string::npos) return {};
    const std::size_t q = WireUrl.find('?', ps);
    const std::string path = WireUrl.substr(ps, q == std::string::npos ? std::string::npos : q - ps);
    const std::string decoded = percentDecode(path);
    bool ascii = true;
    for (unsigned char c : decoded) ascii = ascii && c < 0x80;
    if (ascii || !IsValidUtf8(decoded)) return {};
    std::string legacy;
    if (!convertExact(to, "UTF-8", decoded, legacy)) return {};
    // Re-escaped from the decoded path; "%2F" and the like stay escapes.
    std::string out = WireUrl.substr(0, ps);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && hexVal(path[i + 1]) >= 0 && hexVal(path[i + 2]) >= 0) {
            const unsigned char b = static_cast<unsigned char>(hexVal(path[i + 1]) * 16 + hexVal(path[i + 2]));
            if (b < 0x80) {
                out += path.substr(i, 3);
                i += 2;
                continue;
            }
            // A run of escaped 8-bit bytes: decoded, converted, re-escaped.
            std::string run;
            std::size_t j = i;
            while (j + 2 < path.size() && path[j] == '%' && hexVal(path[j + 1]) >= 0 && hexVal(path[j + 2]) >= 0 &&
                   hexVal(path[j + 1]) >= 8) {
                run += static_cast<char>(hexVal(path[j + 1]) * 16 + hexVal(path[j + 2]));
                j += 3;
            }
            std::string conv;
            if (!IsValidUtf8(run) || !convertExact(to, "UTF-8", run, conv)) conv = run;
            for (unsigned char c : conv)
                if (c >= 0x80 || c <= 0x20)
                    escapeByte(out, c);
                else
                    out += static_cast<char>(c);
            i = j - 1;
            continue;
        }
        out += path[i];
    }
    if (q != std::string::npos) out += WireUrl.substr(q);
    return out == WireUrl ? std::string() : out;
}

UrlMapper::UrlMapper(const std::string &Root, const std::string &PageUrl) : page_(SplitUrl(PageUrl))
{
    std::string r = Root;
    for (char &c : r)
        if (c == '\\') c = '/';
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    root_ = r;
}

std::string UrlMapper::ShortHash(const std::string &Text)
{
    std::uint32_t h = 2166136261u; // FNV-1a: stable across runs and builds
    for (unsigned char c : Text) {
        h ^= c;
        h *= 16777619u;
    }
    static const char d[] = "0123456789abcdef";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i) {
        s[i] = d[h & 15];
        h >>= 4;
    }
    return s;
}

std::string UrlMapper::relOf(const std::string &AbsUrl, const std::vector<std::string> &Prefixes) const
{
    const UrlParts u = SplitUrl(UrlKey(AbsUrl));
    if (!u.Ok) return {};
    std::vector<std::string> raw = split(u.Path.substr(1), '/');
    if (u.HasQuery) raw.back() += "_" + u.Query;
    std::vector<std::string> segs;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const bool last = i + 1 == raw.size();
        if (raw[i].empty()) {
            if (last) segs.push_back("index.html");
            continue; // doubled "/" made single
        }
        std::string seg;
        if (!localSegment(raw[i], seg)) return {};
        segs.push_back(fitName(seg, AbsUrl));
    }
    std::string rel;
    for (std::size_t i = 0; i < segs.size(); ++i) rel += (i ? "/" : "") + segs[i];
    const bool sameSite = u.Host == page_.Host && u.Port == page_.Port;
    if (sameSite) {
        for (std::string pre : Prefixes) {
            for (char &c : pre)
                if (c == '\\') c = '/';
            while (!pre.empty() && pre.front() == '/') pre.erase(0, 1);
            if (pre.empty()) continue;
            if (rel.size() > pre.size() && rel.compare(0, pre.size(), pre) == 0) rel.erase(0, pre.size());
            while (!rel.empty() && rel.front() == '/') rel.erase(0, 1);
        }
    } else {
        std::string hostDir;
        if (!localSegment(u.Host, hostDir)) return {};
        if (!u.Port.empty()) hostDir += "!" + u.Port;
        rel = hostDir + "/" + rel;
    }
    return rel;
}

UrlMapper::Result UrlMapper::Peek(const std::string &AbsUrl, const std::vector<std::string> &Prefixes) const
{
    Result r;
    const std::string rel = relOf(AbsUrl, Prefixes);
    if (rel.empty()) return r;
    const std::string key = UrlKey(AbsUrl);
    std::string useRel = rel;
    {
        std::lock_guard<std::mutex> lock(m_);
        for (const auto &[path, url] : claimed_)
            if (url == key) return {path, ConfinePathToRoot(root_, path)};
        auto it = claimed_.find(rel);
        if (it != claimed_.end() && it->second != key) {
            const std::size_t slash = rel.rfind('/');
            const std::string folder = slash == std::string::npos ? std::string() : rel.substr(0, slash + 1);
            useRel = folder + withHash(rel.substr(folder.size()), ShortHash(key));
        }
    }
    const std::string abs = ConfinePathToRoot(root_, useRel);
    if (abs.empty()) return r;
    r.Abs = abs;
    r.Rel = abs.size() > root_.size() + 1 ? abs.substr(root_.size() + 1) : useRel;
    return r;
}

UrlMapper::Result UrlMapper::Map(const std::string &AbsUrl, const std::vector<std::string> &Prefixes)
{
    const Result r = Peek(AbsUrl, Prefixes);
    if (r.ok()) {
        std::lock_guard<std::mutex> lock(m_);
        claimed_.emplace(r.Rel, UrlKey(AbsUrl));
    }
    return r;
}

std::string UrlMapper::ClaimedUrl(const std::string &Rel) const
{
    std::lock_guard<std::mutex> lock(m_);
    auto it = claimed_.find(Rel);
    return it == claimed_.end() ? std::string() : it->second;
}

std::string UrlMapper::LocalSegment(const std::string &RawSegment)
{
    std::string out;
    return localSegment(RawSegment, out) ? out : std::string();
}

std::string UrlMapper::EncodeSegment(const std::string &SjisSegment)
{
    static const char d[] = "0123456789ABCDEF";
    const std::string utf8 = SjisToUtf8(SjisSegment);
    std::string out;
    for (unsigned char c : utf8) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          std::string_view("-._~!$&+,;=@").find(static_cast<char>(c)) != std::string_view::npos;
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += d[c >> 4];
            out += d[c & 15];
        }
    }
    return out;
}

std::string UrlMapper::RelativeRef(const std::string &FromRel, const std::string &ToRel)
{
    std::vector<std::string> from = split(FromRel, '/');
    from.pop_back(); // the file itself
    const std::vector<std::string> to = split(ToRel, '/');
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i) out += "../";
    for (std::size_t i = common; i < to.size(); ++i) out += (i > common ? "/" : "") + EncodeSegment(to[i]);
    return out;
}
