#include "text/Parsers.h"

#include "text/FileUtils.h"

#include <cctype>
#include <cstdint>
#include <fstream>

namespace {

bool isHexDigit(unsigned char c)
{
    return std::isxdigit(c) != 0;
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A two-digit pair that is not wholly hexadecimal counts 0.
int pairValue(const std::string &s, size_t at)
{
    const int hi = hexValue(static_cast<unsigned char>(s[at]));
    const int lo = hexValue(static_cast<unsigned char>(s[at + 1]));
    if (hi < 0 || lo < 0) return 0;
    return hi * 16 + lo;
}

std::string cutBefore(const std::string &s, char c)
{
    const size_t p = s.find(c);
    return p == std::string::npos ? s : s.substr(0, p);
}

std::string trimAsciiBlanks(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

// Reads the image headers byte by byte; every read reports whether the byte was there, so a
// truncated file ends the search instead of yielding garbage.
class ByteReader {
public:
    explicit ByteReader(const std::string &sjisPath)
        : in_(ToSystemPath(sjisPath), std::ios::binary)
    {
    }
    bool ok() const { return static_cast<bool>(in_); }
    bool byte(uint8_t &b)
    {
        const int c = in_.get();
        if (c == std::char_traits<char>::eof()) return false;
        b = static_cast<uint8_t>(c);
        return true;
    }
    bool bytes(uint8_t *buf, size_t n)
    {
        in_.read(reinterpret_cast<char *>(buf), static_cast<std::streamsize>(n));
        return static_cast<size_t>(in_.gcount()) == n;
    }
    bool be16(uint16_t &v)
    {
        uint8_t b[2];
        if (!bytes(b, 2)) return false;
        v = static_cast<uint16_t>(b[0] << 8 | b[1]);
        return true;
    }
    bool skip(size_t n)
    {
        in_.seekg(static_cast<std::streamoff>(n), std::ios::cur);
        if (!in_) return false;
        // Seeking past the end succeeds on a file stream; the next read must find a byte.
        if (in_.peek() == std::char_traits<char>::eof()) {
            in_.clear();
            return false;
        }
        return true;
    }

private:
    std::ifstream in_;
};

bool isStartOfFrame(uint8_t m)
{
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

} // namespace

int PosAfterHost(const std::string &Url)
{
    if (Url.size() < 9) return 0;
    size_t from = 7; // 0-based index of position 8
    const size_t sep = Url.find("://");
    if (sep != std::string::npos && sep > 0) {
        bool scheme = true;
        for (size_t i = 0; i < sep && scheme; ++i) {
            const unsigned char c = static_cast<unsigned char>(Url[i]);
            scheme = std::isalnum(c) || c == '+' || c == '-' || c == '.';
        }
        if (scheme) from = sep + 3;
    }
    const size_t p = Url.find('/', from);
    return p == std::string::npos ? 0 : static_cast<int>(p + 1);
}

int LastSlashPos(const std::string &S)
{
    const size_t p = S.rfind('/');
    return p == std::string::npos ? 0 : static_cast<int>(p + 1);
}

int HexToInt(const std::string &S)
{
    uint32_t v = 0;
    for (unsigned char c : S) {
        const int d = hexValue(c);
        if (d < 0)
            v = 0;
        else
            v = v * 16u + static_cast<uint32_t>(d);
    }
    return static_cast<int>(v);
}

int HtmlColorToColorDef(const std::string &S)
{
    if (S.empty()) return -1;
    std::string v = cutBefore(cutBefore(cutBefore(S, '}'), ';'), '{');
    v = trimAsciiBlanks(v);
    bool hash = false;
    if (!v.empty() && v[0] == '#') {
        v.erase(0, 1);
        hash = true;
    }
    if (v.empty()) return -1;
    if (hash && v.size() == 3 && isHexDigit(v[0]) && isHexDigit(v[1]) && isHexDigit(v[2]))
        v = std::string{v[0], v[0], v[1], v[1], v[2], v[2]};
    if (v.size() < 6)
        v.insert(0, 6 - v.size(), '0');
    else
        v.resize(6);
    return pairValue(v, 0) + pairValue(v, 2) * 256 + pairValue(v, 4) * 65536;
}

bool IsInvalidIPAddress(const std::string &S)
{
    std::string parts[4];
    int dots = 0;
    for (char c : S) {
        if (c == '.') {
            if (++dots > 3) return true;
        } else if (c >= '0' && c <= '9') {
            parts[dots] += c;
        } else {
            return true;
        }
    }
    if (dots != 3) return true;
    for (int i = 0; i < 4; ++i) {
        const std::string &p = parts[i];
        if (p.empty() || p.size() > 3) return true;
        if (p[0] == '0' && (i == 0 || p.size() > 1)) return true;
        if (std::stoi(p) > 255) return true;
    }
    return false;
}

std::optional<ImageSize> GetJpegSize(const std::string &FileName)
{
    ByteReader r(FileName);
    if (!r.ok()) return std::nullopt;
    uint8_t soi[2];
    if (!r.bytes(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return std::nullopt;
    for (;;) {
        uint8_t b;
        if (!r.byte(b) || b != 0xFF) return std::nullopt;
        uint8_t m;
        do {
            if (!r.byte(m)) return std::nullopt;
        } while (m == 0xFF);
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue; // stand-alone markers
        if (m == 0xD9 || m == 0x00) return std::nullopt;      // end of image, or not a marker
        uint16_t len;
        if (!r.be16(len)) return std::nullopt;
        // The length counts its own two bytes; anything shorter would step backwards forever.
        if (len < 2) return std::nullopt;
        if (isStartOfFrame(m)) {
            uint8_t precision;
            ImageSize sz;
            if (!r.byte(precision) || !r.be16(sz.Height) || !r.be16(sz.Width)) return std::nullopt;
            return sz;
        }
        if (len > 2 && !r.skip(len - 2u)) return std::nullopt;
    }
}

std::optional<ImageSize> GetPngSize(const std::string &FileName)
{
    static const uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    ByteReader r(FileName);
    if (!r.ok()) return std::nullopt;
    uint8_t h[24];
    if (!r.bytes(h, sizeof h)) return std::nullopt;
    for (int i = 0; i < 8; ++i)
        if (h[i] != signature[i]) return std::nullopt;
    ImageSize sz;
    sz.Width = static_cast<uint16_t>(h[18] << 8 | h[19]);
    sz.Height = static_cast<uint16_t>(h[22] << 8 | h[23]);
    return sz;
}

std::optional<ImageSize> GetGifSize(const std::string &FileName)
{
    if (FileName.empty()) return std::nullopt;
    ByteReader r(FileName);
    if (!r.ok()) return std::nullopt;
    uint8_t h[13];
    if (!r.bytes(h, sizeof h) || h[0] != 'G' || h[1] != 'I' || h[2] != 'F') return std::nullopt;
    if (h[10] & 0x80) {
        if (!r.skip(3u * (2u << (h[10] & 0x07)))) return std::nullopt;
    }
    for (;;) {
        uint8_t b;
        if (!r.byte(b)) return std::nullopt;
        if (b == 0x2C) {
            // Left, top, width, height (little-endian), packed flags.
            uint8_t d[9];
            if (!r.bytes(d, sizeof d)) return std::nullopt;
            ImageSize sz;
            sz.Width = static_cast<uint16_t>(d[4] | d[5] << 8);
            sz.Height = static_cast<uint16_t>(d[6] | d[7] << 8);
            return sz;
        }
        if (b != 0x21) return std::nullopt; // trailer or a damaged stream
        // An extension: its label, then data sub-blocks until a zero length. Their bytes may
        // hold 0x2C, so they are skipped by length, never scanned.
        uint8_t label;
        if (!r.byte(label)) return std::nullopt;
        for (;;) {
            uint8_t n;
            if (!r.byte(n)) return std::nullopt;
            if (n == 0) break;
            if (!r.skip(n)) return std::nullopt;
        }
    }
}
