#include "text/JCode.h"

#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <string_view>

const char* const kUtf8ConvertFailedMsg =
    "UTF8\x82\xCC\x95\xB6\x8E\x9A\x97\xF1\x95\xCF\x8A\xB7\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD.";

namespace {

using u8 = unsigned char;

constexpr char ESC = '\x1B';
constexpr char kNakaguro[2] = {'\x81', '\x45'}; // "・": what an undecodable unit becomes

// Growable output buffer written through a raw pointer; one allocation for typical input.
// The room is reserved up front but made usable a step at a time: zero-filling the whole
// estimate first would touch every page twice, and all of it while out of cache.
class ByteSink {
public:
    explicit ByteSink(std::size_t capacity)
    {
        buf_.reserve(capacity < 16 ? 16 : capacity);
        p_ = end_ = buf_.data();
    }
    void need(std::size_t k)
    {
        if (static_cast<std::size_t>(end_ - p_) < k)
            grow(k);
    }
    void put(char c)
    {
        need(1);
        *p_++ = c;
    }
    void put2(char a, char b)
    {
        need(2);
        p_[0] = a;
        p_[1] = b;
        p_ += 2;
    }
    void put3(char a, char b, char c)
    {
        need(3);
        p_[0] = a;
        p_[1] = b;
        p_[2] = c;
        p_ += 3;
    }
    void append(const char* s, std::size_t n)
    {
        if (n == 0)
            return; // s may be null then (an empty view), which memcpy must never see
        need(n);
        std::memcpy(p_, s, n);
        p_ += n;
    }
    char*& cursor() { return p_; }
    std::size_t room() const { return static_cast<std::size_t>(end_ - p_); }
    std::string take()
    {
        buf_.resize(static_cast<std::size_t>(p_ - buf_.data()));
        return std::move(buf_);
    }

private:
    static constexpr std::size_t kStep = 1 << 16;
    void grow(std::size_t k)
    {
        const std::size_t used = static_cast<std::size_t>(p_ - buf_.data());
        if (used + k > buf_.capacity())
            buf_.reserve(std::max(used + k, buf_.capacity() * 2));
        // A step past the estimate would move the whole text to a buffer twice its size.
        buf_.resize(std::min(used + std::max(k, kStep), buf_.capacity()));
        p_ = buf_.data() + used;
        end_ = buf_.data() + buf_.size();
    }
    std::string buf_;
    char* p_;
    char* end_;
};

// --- pair arithmetic -----------------------------------------------------------------------

inline void jisPairToSjis(unsigned c1, unsigned c2, char& s1, char& s2)
{
    if (c1 & 1)
        c2 += (c2 < 0x60) ? 0x1F : 0x20;
    else
        c2 += 0x7E;
    c1 = ((c1 + 1) >> 1) + (c1 < 0x5F ? 0x70 : 0xB0);
    s1 = static_cast<char>(c1 & 0xFF);
    s2 = static_cast<char>(c2 & 0xFF);
}

inline void sjisPairToJis(unsigned s1, unsigned s2, unsigned trailSplit, char& c1, char& c2)
{
    unsigned a = ((s1 - (s1 < 0xA0 ? 0x70u : 0xB0u)) & 0xFF) * 2;
    if (s2 < 0x9F)
        a -= 1;
    unsigned b;
    if (s2 < trailSplit)
        b = s2 - 0x1F;
    else if (s2 < 0x9F)
        b = s2 - 0x20;
    else
        b = s2 - 0x7E;
    c1 = static_cast<char>(a & 0xFF);
    c2 = static_cast<char>(b & 0xFF);
}

inline bool isJisByte(unsigned c)
{
    return c >= 0x21 && c <= 0x7E;
}

inline bool isEucByte(unsigned c)
{
    return c >= 0xA1 && c <= 0xFE;
}

// A double-byte Shift_JIS character maps into the 94 JIS X 0208 rows only for leads up to
// 0xEF; 0xF0-0xFC (user-defined area, IBM extensions) have no JIS code.
inline bool hasJisCode(u8 lead)
{
    return lead <= 0xEF;
}

// --- half-width katakana ---------------------------------------------------------------------

// Full-width Shift_JIS of the half-width katakana 0xA1-0xDF, in byte order.
constexpr u8 kFullKana[63][2] = {
    {0x81, 0x42}, {0x81, 0x75}, {0x81, 0x76}, {0x81, 0x41}, {0x81, 0x45}, {0x83, 0x92}, {0x83, 0x40},
    {0x83, 0x42}, {0x83, 0x44}, {0x83, 0x46}, {0x83, 0x48}, {0x83, 0x83}, {0x83, 0x85}, {0x83, 0x87},
    {0x83, 0x62}, {0x81, 0x5B}, {0x83, 0x41}, {0x83, 0x43}, {0x83, 0x45}, {0x83, 0x47}, {0x83, 0x49},
    {0x83, 0x4A}, {0x83, 0x4C}, {0x83, 0x4E}, {0x83, 0x50}, {0x83, 0x52}, {0x83, 0x54}, {0x83, 0x56},
    {0x83, 0x58}, {0x83, 0x5A}, {0x83, 0x5C}, {0x83, 0x5E}, {0x83, 0x60}, {0x83, 0x63}, {0x83, 0x65},
    {0x83, 0x67}, {0x83, 0x69}, {0x83, 0x6A}, {0x83, 0x6B}, {0x83, 0x6C}, {0x83, 0x6D}, {0x83, 0x6E},
    {0x83, 0x71}, {0x83, 0x74}, {0x83, 0x77}, {0x83, 0x7A}, {0x83, 0x7D}, {0x83, 0x7E}, {0x83, 0x80},
    {0x83, 0x81}, {0x83, 0x82}, {0x83, 0x84}, {0x83, 0x86}, {0x83, 0x88}, {0x83, 0x89}, {0x83, 0x8A},
    {0x83, 0x8B}, {0x83, 0x8C}, {0x83, 0x8D}, {0x83, 0x8F}, {0x83, 0x93}, {0x81, 0x4A}, {0x81, 0x4B},
};

// Full-width form of the half-width kana at s[i]; with merge, a following voiced or
// semi-voiced mark that combines is taken along. Returns the bytes consumed (1 or 2).
std::size_t fullKanaAt(std::string_view s, std::size_t i, bool merge, char& f1, char& f2)
{
    const u8 k = sjisByte(s, i);
    u8 lead = kFullKana[k - 0xA1][0];
    u8 trail = kFullKana[k - 0xA1][1];
    std::size_t used = 1;
    if (merge && i + 1 < s.size()) {
        const u8 mark = sjisByte(s, i + 1);
        const bool haGyo = k >= 0xCA && k <= 0xCE;
        if (mark == 0xDE && (k == 0xB3 || (k >= 0xB6 && k <= 0xC4) || haGyo)) {
            if (k == 0xB3)
                trail = 0x94; // ヴ
            else
                trail += 1;
            used = 2;
        } else if (mark == 0xDF && haGyo) {
            trail += 2;
            used = 2;
        }
    }
    f1 = static_cast<char>(lead);
    f2 = static_cast<char>(trail);
    return used;
}

std::string halfKanaToFull(const std::string& S, bool merge)
{
    ByteSink out(S.size() + S.size() / 2 + 16);
    std::size_t i = 0;
    while (i < S.size()) {
        const std::size_t len = sjisCharLen(S, i);
        if (len == 1 && isSjisHalfKana(sjisByte(S, i))) {
            char a, b;
            i += fullKanaAt(S, i, merge, a, b);
            out.put2(a, b);
        } else {
            out.append(S.data() + i, len);
            i += len;
        }
    }
    return out.take();
}

// --- UTF-8 and Shift_JIS units -------------------------------------------------------------------

// Bytes of the UTF-8 unit at p: the whole sequence when it is well-formed, else its longest
// well-formed beginning (at least one byte), so that a cut or broken sequence is one unit.
std::size_t utf8UnitLen(const u8* p, std::size_t left)
{
    const u8 b = p[0];
    std::size_t n;
    unsigned lo = 0x80, hi = 0xBF; // bounds of the second byte
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else
        return 1;
    std::size_t k = 1;
    for (; k < n && k < left; ++k) {
        const unsigned c = p[k];
        if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF))
            break;
    }
    return k;
}

std::size_t sjisUnitLen(const u8* p, std::size_t left)
{
    return (left >= 2 && isSjisLead(p[0]) && isSjisTrail(p[1])) ? 2 : 1;
}

} // namespace

// --- pair routines -----------------------------------------------------------------------------

std::string JisToSjisPair(unsigned char c1, unsigned char c2)
{
    if (!isJisByte(c1))
        return {};
    return JisToSjisPairB(c1, c2);
}

std::string JisToSjisPairB(unsigned char c1, unsigned char c2)
{
    std::string r(2, '\0');
    jisPairToSjis(c1, c2, r[0], r[1]);
    return r;
}

std::string SjisToJisPair(unsigned char s1, unsigned char s2)
{
    std::string r(2, '\0');
    sjisPairToJis(s1, s2, 0x7F, r[0], r[1]);
    return r;
}

std::string SjisToJisPairB(unsigned char s1, unsigned char s2)
{
    std::string r(2, '\0');
    sjisPairToJis(s1, s2, 0x80, r[0], r[1]);
    return r;
}

std::string HalfKanaToFullKana(const std::string& S)
{
    return halfKanaToFull(S, true);
}

std::string HalfKanaToFullKanaEach(const std::string& S)
{
    return halfKanaToFull(S, false);
}

// --- decoders to Shift_JIS ---------------------------------------------------------------------

namespace {

// Shift_JIS bytes of a JIS X 0208 row/cell pair by table: the lead depends on the row, the
// trail on the cell and on whether the row is odd (the same arithmetic as JisToSjisPair).
struct JisToSjisTables {
    u8 lead[128];
    u8 trail[2][128];
    constexpr JisToSjisTables() : lead(), trail()
    {
        for (unsigned c = 0; c < 128; ++c) {
            lead[c] = static_cast<u8>(((c + 1) >> 1) + (c < 0x5F ? 0x70 : 0xB0));
            trail[0][c] = static_cast<u8>(c + 0x7E);
            trail[1][c] = static_cast<u8>(c + (c < 0x60 ? 0x1F : 0x20));
        }
    }
};
constexpr JisToSjisTables kJis;

// The decoders write at most two bytes per input byte; each chunk reserves that much up
// front so the inner loops write through a bare pointer.
constexpr std::size_t kChunk = 16384;

inline void putJisPair(char*& o, unsigned c1, unsigned c2)
{
    o[0] = static_cast<char>(kJis.lead[c1]);
    o[1] = static_cast<char>(kJis.trail[c1 & 1][c2]);
    o += 2;
}

inline void putNakaguro(char*& o)
{
    o[0] = kNakaguro[0];
    o[1] = kNakaguro[1];
    o += 2;
}

// Copies the run of ASCII bytes at p[i..end) and returns where it stopped.
inline std::size_t copyAscii(const u8* p, std::size_t i, std::size_t end, char*& o)
{
    while (i + 8 <= end) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            break;
        std::memcpy(o, &w, 8);
        o += 8;
        i += 8;
    }
    while (i < end && p[i] < 0x80)
        *o++ = static_cast<char>(p[i++]);
    return i;
}

// ISO-2022-JP. Family A knows the escapes ESC $B, ESC $@, ESC (B and ESC (J and copies any
// other; family B decides by the byte after ESC alone ("$" two-byte, "(" one-byte) and always
// skips three bytes. In two-byte mode a control byte (a line end above all) is copied and
// never taken as half of a pair; what forms no pair becomes "・".
template <bool FamilyB>
std::string jisToSjis(const std::string& S)
{
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    ByteSink out(n + std::min(n, kChunk) + 16); // room for the last chunk without growing
    bool twoByte = false;
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(2 * (end - i) + 8);
        char* o = out.cursor();
        while (i < end) {
            const u8 b = p[i];
            if (b == 0x1B) {
                if constexpr (FamilyB) {
                    if (i + 1 < n) {
                        if (p[i + 1] == '$')
                            twoByte = true;
                        else if (p[i + 1] == '(')
                            twoByte = false;
                    }
                    i += std::min<std::size_t>(3, n - i);
                    continue;
                } else if (i + 2 < n) {
                    const u8 a = p[i + 1], c = p[i + 2];
                    if (a == '$' && (c == 'B' || c == '@')) {
                        twoByte = true;
                        i += 3;
                        continue;
                    }
                    if (a == '(' && (c == 'B' || c == 'J')) {
                        twoByte = false;
                        i += 3;
                        continue;
                    }
                }
            }
            if (!twoByte) {
                *o++ = static_cast<char>(b);
                ++i;
            } else if (isJisByte(b) && i + 1 < n && isJisByte(p[i + 1])) {
                putJisPair(o, b, p[i + 1]);
                i += 2;
            } else {
                if (b < 0x21)
                    *o++ = static_cast<char>(b);
                else
                    putNakaguro(o);
                ++i;
            }
        }
        out.cursor() = o;
    }
    return out.take();
}

// EUC-JP as the programs that write it today read and write it (iconv's EUC-JP-MS): the IBM
// extensions of code page 932 are JIS X 0212 codes of three bytes, the NEC-selected
// duplicates are written as those same codes, and a three-byte code whose character code
// page 932 holds reads as that character. The tables are read once from iconv itself; a code
// they do not hold goes by the row/cell arithmetic as before.
struct EucTables {
    std::uint32_t enc[128][256]; // (lead - 0x80, trail) to length << 24 | the EUC bytes from bit 16 down; 0 none
    std::uint16_t dec2[94][94];  // two-byte EUC code to Shift_JIS; 0 none
    std::uint16_t dec3[94][94];  // 0x8F and two bytes to Shift_JIS; 0 none
};

const EucTables* buildEucTables()
{
    const iconv_t enc = iconv_open("EUC-JP-MS", "CP932");
    const iconv_t dec = iconv_open("CP932", "EUC-JP-MS");
    const auto bad = reinterpret_cast<iconv_t>(-1);
    if (enc == bad || dec == bad) {
        if (enc != bad)
            iconv_close(enc);
        if (dec != bad)
            iconv_close(dec);
        return nullptr;
    }
    auto convert = [](iconv_t cd, const char* in, std::size_t len, char* out, std::size_t& outLen) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in);
        char* op = out;
        std::size_t il = len, ol = outLen;
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0)
            return false;
        outLen = static_cast<std::size_t>(op - out);
        return true;
    };
    auto* t = new EucTables{};
    char out[8];
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isSjisLead(static_cast<u8>(lead)))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isSjisTrail(static_cast<u8>(trail)))
                continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            std::size_t ol = sizeof out;
            if (!convert(enc, in, 2, out, ol) || ol < 2 || ol > 3)
                continue;
            std::uint32_t v = static_cast<std::uint32_t>(ol) << 24;
            for (std::size_t k = 0; k < ol; ++k)
                v |= static_cast<std::uint32_t>(static_cast<u8>(out[k])) << (8 * (2 - k));
            t->enc[lead - 0x80][trail] = v;
        }
    }
    auto sjisOf = [&](const char* in, std::size_t len) -> std::uint16_t {
        std::size_t ol = sizeof out;
        if (!convert(dec, in, len, out, ol) || ol != 2)
            return 0;
        return static_cast<std::uint16_t>(static_cast<u8>(out[0]) << 8 | static_cast<u8>(out[1]));
    };
    for (unsigned r = 0; r < 94; ++r)
        for (unsigned c = 0; c < 94; ++c) {
            const char two[2] = {static_cast<char>(0xA1 + r), static_cast<char>(0xA1 + c)};
            const char three[3] = {'\x8F', two[0], two[1]};
            t->dec2[r][c] = sjisOf(two, 2);
            t->dec3[r][c] = sjisOf(three, 3);
        }
    iconv_close(enc);
    iconv_close(dec);
    return t;
}

// nullptr when iconv has no EUC-JP-MS; the arithmetic then does all.
const EucTables* eucTables()
{
    static const EucTables* const t = buildEucTables();
    return t;
}

inline void putSjisCode(char*& o, std::uint16_t s)
{
    o[0] = static_cast<char>(s >> 8);
    o[1] = static_cast<char>(s & 0xFF);
    o += 2;
}

// EUC-JP, family A: a pair of bytes 0xA1-0xFE, SS2 with a kana byte, SS3 with two bytes
// (JIS X 0212, no Shift_JIS form: "?"); a lead without its partner becomes "・"; any other
// byte is copied.
std::string eucToSjisA(const std::string& S)
{
    const EucTables* const tables = eucTables();
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    ByteSink out(n + std::min(n, kChunk) + 16); // room for the last chunk without growing
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(2 * (end - i) + 8);
        char* o = out.cursor();
        while (i < end) {
            const u8 b = p[i];
            if (b < 0x80) {
                i = copyAscii(p, i, end, o);
            } else if (isEucByte(b)) {
                if (i + 1 < n && isEucByte(p[i + 1])) {
                    const std::uint16_t s = tables ? tables->dec2[b - 0xA1][p[i + 1] - 0xA1] : 0;
                    if (s)
                        putSjisCode(o, s);
                    else
                        putJisPair(o, b & 0x7F, p[i + 1] & 0x7F);
                    i += 2;
                } else {
                    putNakaguro(o);
                    ++i;
                }
            } else if (b == 0x8E && i + 1 < n && isSjisHalfKana(p[i + 1])) {
                *o++ = static_cast<char>(p[i + 1]);
                i += 2;
            } else if (b == 0x8F && i + 2 < n && isEucByte(p[i + 1]) && isEucByte(p[i + 2])) {
                const std::uint16_t s = tables ? tables->dec3[p[i + 1] - 0xA1][p[i + 2] - 0xA1] : 0;
                if (s)
                    putSjisCode(o, s);
                else
                    *o++ = '?';
                i += 3;
            } else {
                *o++ = static_cast<char>(b);
                ++i;
            }
        }
        out.cursor() = o;
    }
    return out.take();
}

// EUC-JP, family B: any byte 0x81-0xFE starts a unit. SS2 copies the byte after it whatever
// it is; other units go through the pair arithmetic with both bytes taken mod 128, and a
// unit that gives no JIS pair (or is cut off by the end) becomes "・" without taking its
// partner along.
std::string eucToSjisB(const std::string& S)
{
    const EucTables* const tables = eucTables();
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    ByteSink out(n + std::min(n, kChunk) + 16); // room for the last chunk without growing
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(2 * (end - i) + 8);
        char* o = out.cursor();
        while (i < end) {
            const u8 b = p[i];
            if (b < 0x80) {
                i = copyAscii(p, i, end, o);
            } else if (b == 0x80 || b == 0xFF) {
                *o++ = static_cast<char>(b);
                ++i;
            } else if (i + 1 >= n) {
                putNakaguro(o);
                ++i;
            } else if (b == 0x8E) {
                *o++ = static_cast<char>(p[i + 1]);
                i += 2;
            } else if (b == 0x8F && i + 2 < n && isEucByte(p[i + 1]) && isEucByte(p[i + 2])) {
                const std::uint16_t s = tables ? tables->dec3[p[i + 1] - 0xA1][p[i + 2] - 0xA1] : 0;
                if (s)
                    putSjisCode(o, s);
                else
                    *o++ = '?';
                i += 3;
            } else if (isJisByte(b & 0x7F) && isJisByte(p[i + 1] & 0x7F)) {
                const std::uint16_t s =
                    tables && isEucByte(b) && isEucByte(p[i + 1]) ? tables->dec2[b - 0xA1][p[i + 1] - 0xA1] : 0;
                if (s)
                    putSjisCode(o, s);
                else
                    putJisPair(o, b & 0x7F, p[i + 1] & 0x7F);
                i += 2;
            } else {
                putNakaguro(o);
                ++i;
            }
        }
        out.cursor() = o;
    }
    return out.take();
}

} // namespace

std::string JisToSjis(const std::string& S)
{
    return jisToSjis<false>(S);
}

std::string JisToSjisB(const std::string& S)
{
    return jisToSjis<true>(S);
}

std::string EucToSjis(const std::string& S)
{
    return eucToSjisA(S);
}

std::string EucToSjisB(const std::string& S)
{
    return eucToSjisB(S);
}

// --- encoders from Shift_JIS -------------------------------------------------------------------

std::string SjisToJis(const std::string& S, int KanaMode)
{
    // ISO-2022-JP is 7-bit and has no half-width katakana: they always go full-width, here
    // while the text is walked (no full-width copy of it first), merged with their voiced marks
    // unless each is to stay one character.
    const bool merge = KanaMode != kmFullWidth;
    const char closing = KanaMode == kmKeep ? 'B' : 'J';
    // Room for the escapes of a text that switches often (a dictionary's short words between
    // ASCII): growing past it would copy the whole text. Room never written takes no memory.
    ByteSink out(S.size() * 2 + 16);
    bool twoByte = false;
    auto leave = [&] {
        if (twoByte)
            out.put3(ESC, '(', closing);
        twoByte = false;
    };
    auto pair = [&](u8 s1, u8 s2) {
        if (!twoByte)
            out.put3(ESC, '$', 'B');
        twoByte = true;
        char c1, c2;
        sjisPairToJis(s1, s2, 0x7F, c1, c2);
        out.put2(c1, c2);
    };
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    std::size_t i = 0;
    while (i < n) {
        const u8 b = p[i];
        if (b < 0x80) {
            // a run of ASCII goes out in one copy
            leave();
            std::size_t j = i + 1;
            while (j < n && p[j] < 0x80)
                ++j;
            out.append(S.data() + i, j - i);
            i = j;
            continue;
        }
        const std::size_t len = sjisCharLen(S, i);
        if (len == 1 && isSjisHalfKana(b)) {
            char f1, f2;
            i += fullKanaAt(S, i, merge, f1, f2);
            pair(static_cast<u8>(f1), static_cast<u8>(f2)); // full-width kana all have a JIS code
            continue;
        }
        if (len == 2 && hasJisCode(b)) {
            pair(b, p[i + 1]);
        } else {
            leave();
            out.put('?');
        }
        i += len;
    }
    leave();
    return out.take();
}

std::string SjisToJisB(const std::string& S)
{
    ByteSink out(S.size() + S.size() / 4 + 16);
    bool twoByte = false;
    auto enter = [&] {
        if (!twoByte)
            out.put3(ESC, '$', 'B');
        twoByte = true;
    };
    auto leave = [&] {
        if (twoByte)
            out.put3(ESC, '(', 'J');
        twoByte = false;
    };
    std::size_t i = 0;
    while (i < S.size()) {
        const u8 b = sjisByte(S, i);
        if (b < 0x80) {
            leave();
            out.put(static_cast<char>(b));
            ++i;
        } else if (isSjisHalfKana(b)) {
            enter();
            char f1, f2, c1, c2;
            i += fullKanaAt(S, i, true, f1, f2);
            sjisPairToJis(static_cast<u8>(f1), static_cast<u8>(f2), 0x80, c1, c2);
            out.put2(c1, c2);
        } else if (sjisCharLen(S, i) == 2 && hasJisCode(b)) {
            enter();
            char c1, c2;
            sjisPairToJis(b, sjisByte(S, i + 1), 0x80, c1, c2);
            out.put2(c1, c2);
            i += 2;
        } else {
            leave();
            out.put('?');
            i += sjisCharLen(S, i);
        }
    }
    // A valid ISO-2022-JP text ends in ASCII.
    if (twoByte)
        out.put3(ESC, '(', 'B');
    return out.take();
}

// --- EUC-JP encoders ------------------------------------------------------------------------------------

namespace {

std::string sjisToEucImpl(const std::string& t)
{
    const EucTables* const tables = eucTables();
    const std::size_t n = t.size();
    const u8* p = reinterpret_cast<const u8*>(t.data());
    ByteSink out(n + n / 4 + 2 * kChunk + 16); // room for the last chunk without growing
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(2 * (end - i) + 8); // two bytes a byte at most
        char* o = out.cursor();
        while (i < end) {
            const u8 b = p[i];
            if (b < 0x80) {
                i = copyAscii(p, i, end, o);
            } else if (isSjisHalfKana(b)) {
                o[0] = '\x8E';
                o[1] = static_cast<char>(b);
                o += 2;
                ++i;
            } else if (i + 1 < n && isSjisLead(b) && isSjisTrail(p[i + 1])) {
                const std::uint32_t e = tables ? tables->enc[b - 0x80][p[i + 1]] : 0;
                if (e) {
                    // Two bytes, or three (SS3 first) for a JIS X 0212 code; the third byte of
                    // a two-byte code lands in room the next write takes over.
                    o[0] = static_cast<char>(e >> 16);
                    o[1] = static_cast<char>(e >> 8);
                    o[2] = static_cast<char>(e);
                    o += e >> 24;
                } else if (!tables && hasJisCode(b)) {
                    // Without the tables, by the row/cell arithmetic; with them, a code they
                    // lack is no character and has no EUC-JP form.
                    char c1, c2;
                    sjisPairToJis(b, p[i + 1], 0x7F, c1, c2);
                    o[0] = static_cast<char>(c1 | 0x80);
                    o[1] = static_cast<char>(c2 | 0x80);
                    o += 2;
                } else {
                    *o++ = '?';
                }
                i += 2;
            } else {
                *o++ = '?';
                ++i;
            }
        }
        out.cursor() = o;
    }
    return out.take();
}

} // namespace

std::string SjisToEuc(const std::string& S, int KanaMode)
{
    if (KanaMode == kmFullWidthMerge)
        return sjisToEucImpl(HalfKanaToFullKana(S));
    if (KanaMode == kmFullWidth)
        return sjisToEucImpl(HalfKanaToFullKanaEach(S));
    return sjisToEucImpl(S);
}

std::string SjisToEucB(const std::string& S)
{
    return sjisToEucImpl(S);
}

// --- UTF-8 and UTF-16 ----------------------------------------------------------------------------

namespace {

// Tables of code page 932 against UTF-16, read once from iconv itself, so that a character
// converts exactly as iconv converts it, at a table look-up's cost. Units the tables do not
// hold follow the same rules as iconv's errors: "・" for undecodable Shift_JIS, "?" for what
// Shift_JIS lacks.
struct Cp932Tables {
    static constexpr std::uint16_t kNone = 0xFFFF; // U+FFFF is no code page 932 character
    std::uint16_t single[256];       // a byte alone to its UTF-16 unit
    std::uint16_t pair[128][256];    // (lead - 0x80, trail) to its UTF-16 unit
    std::uint16_t rev[65536];        // UTF-16 unit to Shift_JIS: < 0x100 one byte, else two
    bool asciiSame = true;           // 0x00-0x7F map to themselves both ways
};

bool convertOne(iconv_t cd, const char* in, std::size_t inLen, char* out, std::size_t& outLen)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* ip = const_cast<char*>(in);
    char* op = out;
    std::size_t il = inLen, ol = outLen;
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0)
        return false;
    outLen = static_cast<std::size_t>(op - out);
    return true;
}

const Cp932Tables* buildCp932Tables()
{
    const iconv_t dec = iconv_open("UTF-16LE", "CP932");
    const iconv_t enc = iconv_open("CP932", "UTF-16LE");
    if (dec == reinterpret_cast<iconv_t>(-1) || enc == reinterpret_cast<iconv_t>(-1)) {
        if (dec != reinterpret_cast<iconv_t>(-1))
            iconv_close(dec);
        if (enc != reinterpret_cast<iconv_t>(-1))
            iconv_close(enc);
        return nullptr;
    }
    auto* t = new Cp932Tables;
    char out[8];
    auto unitOf = [&](const char* in, std::size_t len) -> std::uint16_t {
        std::size_t ol = sizeof out;
        if (!convertOne(dec, in, len, out, ol) || ol != 2)
            return Cp932Tables::kNone;
        return static_cast<std::uint16_t>(static_cast<u8>(out[0]) | static_cast<u8>(out[1]) << 8);
    };
    for (unsigned b = 0; b < 256; ++b) {
        const char in[1] = {static_cast<char>(b)};
        t->single[b] = unitOf(in, 1);
    }
    for (unsigned b = 0x80; b < 256; ++b)
        for (unsigned c = 0; c < 256; ++c) {
            // A byte that is a character alone never starts a pair.
            const char in[2] = {static_cast<char>(b), static_cast<char>(c)};
            t->pair[b - 0x80][c] = t->single[b] == Cp932Tables::kNone ? unitOf(in, 2) : Cp932Tables::kNone;
        }
    for (unsigned u = 0; u < 65536; ++u) {
        t->rev[u] = Cp932Tables::kNone;
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        std::size_t ol = sizeof out;
        if (!convertOne(enc, in, 2, out, ol))
            continue;
        if (ol == 1)
            t->rev[u] = static_cast<u8>(out[0]);
        else if (ol == 2)
            t->rev[u] = static_cast<std::uint16_t>(static_cast<u8>(out[0]) << 8 | static_cast<u8>(out[1]));
    }
    for (unsigned b = 0; b < 0x80; ++b)
        t->asciiSame = t->asciiSame && t->single[b] == b && t->rev[b] == b;
    iconv_close(dec);
    iconv_close(enc);
    return t;
}

// nullptr when iconv has no code page 932; the iconv paths then report it as before.
const Cp932Tables* cp932Tables()
{
    static const Cp932Tables* const t = buildCp932Tables();
    return t;
}

// The UTF-16 unit of the Shift_JIS unit at p[i], or kNone with the unit's length (what iconv
// reports as one undecodable unit).
inline std::uint16_t sjisUnitAt(const Cp932Tables& t, const u8* p, std::size_t i, std::size_t n, std::size_t& len)
{
    const u8 b = p[i];
    if (b >= 0x80 && i + 1 < n) {
        const std::uint16_t u = t.pair[b - 0x80][p[i + 1]];
        if (u != Cp932Tables::kNone) {
            len = 2;
            return u;
        }
    }
    len = 1;
    const std::uint16_t u = t.single[b];
    if (u == Cp932Tables::kNone)
        len = sjisUnitLen(p + i, n - i);
    return u;
}

inline void putUtf8(char*& o, std::uint32_t u)
{
    if (u < 0x80) {
        *o++ = static_cast<char>(u);
    } else if (u < 0x800) {
        o[0] = static_cast<char>(0xC0 | u >> 6);
        o[1] = static_cast<char>(0x80 | (u & 0x3F));
        o += 2;
    } else {
        o[0] = static_cast<char>(0xE0 | u >> 12);
        o[1] = static_cast<char>(0x80 | (u >> 6 & 0x3F));
        o[2] = static_cast<char>(0x80 | (u & 0x3F));
        o += 3;
    }
}

inline void putSjis(char*& o, std::uint16_t s)
{
    if (s < 0x100) {
        *o++ = static_cast<char>(s);
    } else {
        o[0] = static_cast<char>(s >> 8);
        o[1] = static_cast<char>(s & 0xFF);
        o += 2;
    }
}

// Shift_JIS to UTF-8 (Utf16 false) or UTF-16LE bytes appended to out.
template <bool Utf16>
void sjisToUnicode(const Cp932Tables& t, std::string_view S, ByteSink& out)
{
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(3 * (end - i) + 8); // three bytes a byte at most, either way
        char* o = out.cursor();
        while (i < end) {
            if constexpr (!Utf16) {
                if (p[i] < 0x80 && t.asciiSame) {
                    i = copyAscii(p, i, end, o);
                    continue;
                }
            }
            std::size_t len;
            std::uint16_t u = sjisUnitAt(t, p, i, n, len);
            if (u == Cp932Tables::kNone)
                u = 0x30FB; // "・"
            if constexpr (Utf16) {
                o[0] = static_cast<char>(u & 0xFF);
                o[1] = static_cast<char>(u >> 8);
                o += 2;
            } else {
                putUtf8(o, u);
            }
            i += len;
        }
        out.cursor() = o;
    }
}

// The code point of the well-formed UTF-8 sequence at p (len bytes, from utf8UnitLen), or
// 0xFFFFFFFF when the sequence is cut or broken.
inline std::uint32_t utf8CodePoint(const u8* p, std::size_t len)
{
    const u8 b = p[0];
    if (len == 2 && b >= 0xC2 && b <= 0xDF)
        return (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
    if (len == 3 && b >= 0xE0 && b <= 0xEF)
        return (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    if (len == 4 && b >= 0xF0 && b <= 0xF4)
        return 0x10000; // beyond the tables: no Shift_JIS form
    return 0xFFFFFFFF;
}

} // namespace

std::string Utf8ToAnsi(const std::string& S)
{
    if (S.empty())
        return {};
    const Cp932Tables* t = cp932Tables();
    if (!t)
        throw ETextConvertError(kUtf8ConvertFailedMsg);
    // Shift_JIS never needs more bytes than UTF-8 for the same text; the room left over lets
    // a caller lengthen the text in place.
    ByteSink out(S.size() + 16);
    const std::size_t n = S.size();
    const u8* p = reinterpret_cast<const u8*>(S.data());
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(end - i + 8);
        char* o = out.cursor();
        while (i < end) {
            const u8 b = p[i];
            if (b < 0x80 && t->asciiSame) {
                i = copyAscii(p, i, end, o);
                continue;
            }
            const std::size_t len = utf8UnitLen(p + i, n - i);
            const std::uint32_t u = b < 0x80 ? b : utf8CodePoint(p + i, len);
            const std::uint16_t s = u < 0x10000 ? t->rev[u] : Cp932Tables::kNone;
            if (s == Cp932Tables::kNone)
                *o++ = '?';
            else
                putSjis(o, s);
            i += len;
        }
        out.cursor() = o;
    }
    return out.take();
}

std::string SjisToUtf8(const std::string& S)
{
    if (S.empty())
        return {};
    const Cp932Tables* t = cp932Tables();
    if (!t)
        throw ETextConvertError(kUtf8ConvertFailedMsg);
    ByteSink out(S.size() + S.size() / 2 + 16);
    sjisToUnicode<false>(*t, S, out);
    return out.take();
}

std::string AnsiToUtf8(const std::string& S)
{
    return SjisToUtf8(S);
}

std::string WideToAnsi(const std::u16string& W)
{
    return Utf16LeBytesToAnsi(std::string_view(reinterpret_cast<const char*>(W.data()), W.size() * 2));
}

namespace {

// Units [i, end) of the n UTF-16LE units at p to Shift_JIS at o; i ends at end or just past
// it (a surrogate pair). Each unit read gives at most its own two bytes, and a pair one, so o
// never passes the unit being read: the output may overwrite the input.
// With CrLf, every line end (CR LF, a lone CR, a lone LF) comes out as CR LF: never more bytes
// than its units took, so the same holds.
template <bool CrLf = false>
inline char* utf16LeToSjis(const Cp932Tables& t, const u8* p, std::size_t& i, std::size_t end, std::size_t n, char* o)
{
    while (i < end) {
        if (t.asciiSame && i + 4 <= end) {
            // Four ASCII units at once; they are read before anything is written over them.
            std::uint64_t w;
            std::memcpy(&w, p + 2 * i, 8);
            // With CrLf, units below 0x0E (the line ends among them) go one by one.
            const bool plain = (w & 0xFF80FF80FF80FF80ULL) == 0 &&
                               (!CrLf || ((w - 0x000E000E000E000EULL) & ~w & 0x0080008000800080ULL) == 0);
            if (plain) {
                o[0] = static_cast<char>(w);
                o[1] = static_cast<char>(w >> 16);
                o[2] = static_cast<char>(w >> 32);
                o[3] = static_cast<char>(w >> 48);
                o += 4;
                i += 4;
                continue;
            }
        }
        const unsigned u = p[2 * i] | p[2 * i + 1] << 8;
        const std::uint16_t s = t.rev[u];
        if (CrLf && (u == 0x0D || u == 0x0A)) {
            o[0] = '\r';
            o[1] = '\n';
            o += 2;
            // A CR and the LF after it are one line end (the LF may lie past this piece).
            i += u == 0x0D && i + 1 < n && p[2 * i + 2] == 0x0A && p[2 * i + 3] == 0 ? 2 : 1;
            continue;
        }
        if (s == Cp932Tables::kNone) {
            // No surrogate (kNone in the table) has a Shift_JIS form; a pair is one character.
            const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < n && (p[2 * i + 3] & 0xFC) == 0xDC;
            *o++ = '?';
            i += pair ? 2 : 1;
            continue;
        }
        // Without a branch on the length: Japanese and ASCII alternate unpredictably. The
        // second byte may land on the unit just read, never on one not yet read.
        const bool two = s > 0xFF;
        o[0] = static_cast<char>(two ? s >> 8 : s);
        o[1] = static_cast<char>(s & 0xFF);
        o += two ? 2 : 1;
        ++i;
    }
    return o;
}

} // namespace

std::string Utf16LeBytesToAnsi(std::string_view Bytes)
{
    const std::string_view bytes = Bytes.substr(0, Bytes.size() & ~std::size_t{1});
    if (bytes.empty())
        return {};
    const Cp932Tables* t = cp932Tables();
    if (!t)
        throw ETextConvertError(kUtf8ConvertFailedMsg);
    // Shift_JIS never takes more bytes than UTF-16 for the same text.
    ByteSink out(bytes.size() + 16);
    const std::size_t n = bytes.size() / 2;
    const u8* p = reinterpret_cast<const u8*>(bytes.data());
    std::size_t i = 0;
    while (i < n) {
        const std::size_t end = std::min(n, i + kChunk);
        out.need(2 * (end - i) + 8);
        out.cursor() = utf16LeToSjis(*t, p, i, end, n, out.cursor());
    }
    return out.take();
}

std::size_t Utf16LeBytesToAnsi(std::string_view Bytes, char* Out, bool CrLfLineEnds)
{
    const std::size_t n = Bytes.size() / 2;
    if (n == 0)
        return 0;
    const Cp932Tables* t = cp932Tables();
    if (!t)
        throw ETextConvertError(kUtf8ConvertFailedMsg);
    std::size_t i = 0;
    const u8* p = reinterpret_cast<const u8*>(Bytes.data());
    char* o = CrLfLineEnds ? utf16LeToSjis<true>(*t, p, i, n, n, Out) : utf16LeToSjis<false>(*t, p, i, n, n, Out);
    return static_cast<std::size_t>(o - Out);
}

std::u16string AnsiToWide(const std::string& S)
{
    const std::string bytes = AnsiToUtf16LeBytes(S);
    std::u16string w(bytes.size() / 2, u'\0');
    std::memcpy(w.data(), bytes.data(), w.size() * 2);
    return w;
}

std::string AnsiToUtf16LeBytes(std::string_view S, std::string_view Prefix)
{
    const Cp932Tables* t = cp932Tables();
    if (!t)
        throw ETextConvertError(kUtf8ConvertFailedMsg);
    ByteSink out(Prefix.size() + S.size() * 2 + 16);
    out.append(Prefix.data(), Prefix.size());
    sjisToUnicode<true>(*t, S, out);
    return out.take();
}

// --- percent-encoding ----------------------------------------------------------------------------

namespace {

constexpr char kHexLower[] = "0123456789abcdef";

inline bool isUnreserved(u8 c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}


} // namespace

std::string UrlEncodeSjis(const std::string& S)
{
    ByteSink out(S.size() * 3 + 16);
    auto escape = [&](u8 c) { out.put3('%', kHexLower[c >> 4], kHexLower[c & 0x0F]); };
    std::size_t i = 0;
    while (i < S.size()) {
        const u8 c = sjisByte(S, i);
        if (sjisCharLen(S, i) == 2) {
            escape(c);
            escape(sjisByte(S, i + 1));
            i += 2;
            continue;
        }
        if (isUnreserved(c))
            out.put(static_cast<char>(c));
        else if (c == ' ')
            out.put('+');
        else
            escape(c);
        ++i;
    }
    return out.take();
}

std::string UrlDecode(const std::string& S)
{
    ByteSink out(S.size() + 16);
    const std::size_t n = S.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = S[i];
        if (c == '%' && i + 2 < n) {
            const int hi = hexValue(S[i + 1]);
            const int lo = hexValue(S[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.put(static_cast<char>(hi * 16 + lo));
                i += 3;
                continue;
            }
        }
        out.put(c == '+' ? ' ' : c);
        ++i;
    }
    return out.take();
}

// --- Base64 --------------------------------------------------------------------------------------

namespace {

constexpr char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct B64Table {
    signed char v[256];
    constexpr B64Table() : v()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = -1;
        for (int i = 0; i < 64; ++i)
            v[static_cast<u8>(kB64[i])] = static_cast<signed char>(i);
    }
};
constexpr B64Table kB64Decode;

} // namespace

std::string Base64Encode(const std::string& S)
{
    const std::size_t n = S.size();
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    const u8* p = reinterpret_cast<const u8*>(S.data());
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += kB64[v & 63];
    }
    if (n - i == 1) {
        const unsigned v = p[i] << 16;
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += "==";
    } else if (n - i == 2) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8);
        out += kB64[(v >> 18) & 63];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string Base64Decode(const std::string& S)
{
    std::string out;
    out.reserve(S.size() / 4 * 3 + 3);
    unsigned acc = 0;
    int have = 0;
    for (const char ch : S) {
        const int d = kB64Decode.v[static_cast<u8>(ch)];
        if (d < 0)
            continue;
        acc = (acc << 6) | static_cast<unsigned>(d);
        if (++have == 4) {
            out += static_cast<char>((acc >> 16) & 0xFF);
            out += static_cast<char>((acc >> 8) & 0xFF);
            out += static_cast<char>(acc & 0xFF);
            acc = 0;
            have = 0;
        }
    }
    // A final group of two or three characters carries one or two bytes; one alone carries none.
    if (have == 2) {
        out += static_cast<char>((acc >> 4) & 0xFF);
    } else if (have == 3) {
        out += static_cast<char>((acc >> 10) & 0xFF);
        out += static_cast<char>((acc >> 2) & 0xFF);
    }
    return out;
}
