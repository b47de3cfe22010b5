#include "text/JCode.h"
#include "text/SjisBytes.h"

#include "support/ByteHex.h"
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <iconv.h>
#include <map>
#include <optional>
#include <random>

namespace {

// The reference: glibc iconv on exactly the given bytes; nullopt when it refuses them.
// Descriptors are opened once per direction (opening one costs far more than converting).
std::optional<std::string> refIconv(const char* to, const char* from, const std::string& in)
{
    struct Handles {
        std::map<std::pair<std::string, std::string>, iconv_t> cds;
        ~Handles()
        {
            for (auto& [key, cd] : cds)
                if (cd != reinterpret_cast<iconv_t>(-1))
                    iconv_close(cd);
        }
    };
    static Handles open;
    iconv_t& cd = open.cds[{to, from}];
    if (cd == nullptr)
        cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = out.data();
    std::size_t ol = out.size();
    std::size_t r = iconv(cd, &ip, &il, &op, &ol);
    if (r != static_cast<std::size_t>(-1))
        r = iconv(cd, nullptr, nullptr, &op, &ol); // flush the closing escape of stateful encodings
    if (r == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - ol);
    return out;
}


// iconv over the whole text, going on past what it refuses: that unit becomes Repl, and
// UnitLen says how many bytes it takes. The Unicode converters must give exactly this.
std::string iconvReplacing(const char* to, const char* from, const std::string& in, const std::string& repl,
                           const std::function<std::size_t(const unsigned char*, std::size_t)>& unitLen)
{
    static std::map<std::pair<std::string, std::string>, iconv_t> cds; // kept open: opening costs most
    iconv_t& cd = cds[{to, from}];
    if (cd == nullptr)
        cd = iconv_open(to, from);
    std::string out;
    std::size_t at = 0;
    while (at < in.size()) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buf[4096];
        char* ip = const_cast<char*>(in.data()) + at;
        std::size_t il = in.size() - at;
        std::size_t r;
        do {
            char* op = buf;
            std::size_t ol = sizeof buf;
            r = iconv(cd, &ip, &il, &op, &ol);
            out.append(buf, static_cast<std::size_t>(op - buf));
        } while (r == static_cast<std::size_t>(-1) && errno == E2BIG);
        at = in.size() - il;
        if (r != static_cast<std::size_t>(-1))
            break;
        out += repl;
        at += unitLen(reinterpret_cast<const unsigned char*>(in.data()) + at, in.size() - at);
    }
    return out;
}

std::size_t sjisUnit(const unsigned char* p, std::size_t left)
{
    return left >= 2 && isSjisLead(p[0]) && isSjisTrail(p[1]) ? 2 : 1;
}

// The maximal well-formed beginning of a UTF-8 sequence, at least one byte.
std::size_t utf8Unit(const unsigned char* p, std::size_t left)
{
    const unsigned b = p[0];
    const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 1;
    const unsigned lo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    std::size_t k = 1;
    while (k < n && k < left && p[k] >= (k == 1 ? lo : 0x80) && p[k] <= (k == 1 ? hi : 0xBF))
        ++k;
    return k;
}

std::size_t utf16Unit(const unsigned char* p, std::size_t left)
{
    return left >= 4 && (p[1] & 0xFC) == 0xD8 && (p[3] & 0xFC) == 0xDC ? 4 : 2;
}

std::string wideBytes(const std::u16string& w)
{
    std::string b;
    for (const char16_t u : w) {
        b += static_cast<char>(u & 0xFF);
        b += static_cast<char>(u >> 8);
    }
    return b;
}

#define EXPECT_BYTES(got, want) EXPECT_EQ(hex(got), hex(want))

const std::string ESC = "\x1B";

TEST(JCode, EveryJisX0208CellAgainstIconv)
{
    int cells = 0;
    for (int r = 0x21; r <= 0x7E; ++r) {
        for (int c = 0x21; c <= 0x7E; ++c) {
            const std::string euc{static_cast<char>(r | 0x80), static_cast<char>(c | 0x80)};
            const auto utf8 = refIconv("UTF-8", "EUC-JP", euc);
            if (!utf8)
                continue; // unassigned cell
            const auto sjis = refIconv("CP932", "UTF-8", *utf8);
            const auto jis = refIconv("ISO-2022-JP", "EUC-JP", euc);
            ASSERT_TRUE(sjis && jis) << hex(euc);
            ++cells;
            SCOPED_TRACE(hex(euc));
            EXPECT_BYTES(EucToSjis(euc), *sjis);
            EXPECT_BYTES(EucToSjisB(euc), *sjis);
            EXPECT_BYTES(SjisToEuc(*sjis, kmKeep), euc);
            EXPECT_BYTES(SjisToEucB(*sjis), euc);
            EXPECT_BYTES(SjisToJis(*sjis, kmKeep), *jis);
            EXPECT_BYTES(SjisToJisB(*sjis), *jis);
            EXPECT_BYTES(JisToSjis(*jis), *sjis);
            EXPECT_BYTES(JisToSjisB(*jis), *sjis);
        }
    }
    EXPECT_EQ(cells, 6879); // every character of JIS X 0208 was compared
}

// Every character of code page 932 (JIS X 0208, NEC row 13, the NEC-selected and the IBM
// extensions) is written to EUC-JP as iconv's EUC-JP-MS writes it (the IBM extensions and
// their NEC-selected duplicates as three-byte JIS X 0212 codes) and read back as iconv reads
// that; so is every three-byte code, "?" where code page 932 lacks the character.
TEST(JCode, EveryCp932CharacterAgainstIconvEucJpMs)
{
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string s{static_cast<char>(lead), static_cast<char>(trail)};
            if (!isSjisLead(static_cast<unsigned char>(lead)) || (lead >= 0xF0 && lead <= 0xF9) ||
                !refIconv("UTF-16LE", "CP932", s))
                continue; // no character, or the user-defined area
            ++characters;
            SCOPED_TRACE(hex(s));
            const auto euc = refIconv("EUC-JP-MS", "CP932", s);
            ASSERT_TRUE(euc);
            EXPECT_BYTES(SjisToEuc(s, kmKeep), *euc);
            EXPECT_BYTES(SjisToEucB(s), *euc);
            const auto back = refIconv("CP932", "EUC-JP-MS", *euc);
            ASSERT_TRUE(back);
            EXPECT_BYTES(EucToSjis(*euc), *back);
            EXPECT_BYTES(EucToSjisB(*euc), *back);
        }
    }
    EXPECT_EQ(characters, 7724);
    for (int r = 0xA1; r <= 0xFE; ++r)
        for (int c = 0xA1; c <= 0xFE; ++c) {
            const std::string euc{'\x8F', static_cast<char>(r), static_cast<char>(c)};
            SCOPED_TRACE(hex(euc));
            const std::string want = refIconv("CP932", "EUC-JP-MS", euc).value_or("?");
            EXPECT_BYTES(EucToSjis(euc), want);
            EXPECT_BYTES(EucToSjisB(euc), want);
        }
    EXPECT_BYTES(EucToSjis("\x8F\xA2\xB7\x8F\xA2\xF1"), "\x81\x60\x87\x82"); // ～ №
}

// Beyond the standard's cells (NEC row 13, NEC-selected IBM rows), every double-byte code
// with a JIS row survives both round trips in both families: ISO-2022-JP byte for byte,
// EUC-JP as the same character (a duplicate reads back as the code other programs write).
TEST(JCode, EveryDoubleByteCodeRoundTrips)
{
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (!isSjisLead(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isSjisTrail(static_cast<unsigned char>(trail)))
                continue;
            const std::string s{static_cast<char>(lead), static_cast<char>(trail)};
            SCOPED_TRACE(hex(s));
            if (AnsiToWide(s) != u"\u30FB" || s == "\x81\x45") {
                ASSERT_EQ(AnsiToWide(EucToSjis(SjisToEuc(s, kmKeep))), AnsiToWide(s));
                ASSERT_EQ(AnsiToWide(EucToSjisB(SjisToEucB(s))), AnsiToWide(s));
            } else {
                ASSERT_EQ(SjisToEuc(s, kmKeep), "?"); // no character: nothing to write
            }
            ASSERT_EQ(JisToSjis(SjisToJis(s, kmKeep)), s);
            ASSERT_EQ(JisToSjisB(SjisToJisB(s)), s);
        }
    }
}

TEST(JCode, EscapePlacement)
{
    const std::string A = "\x82\xA0"; // あ
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"A mode 0 closes with (B", SjisToJis("a" + A + "b", kmKeep), "a" + ESC + "$B\x24\x22" + ESC + "(Bb"},
        {"A mode 1 closes with (J", SjisToJis("a" + A + "b", kmFullWidthMerge), "a" + ESC + "$B\x24\x22" + ESC + "(Jb"},
        {"A closes at the end", SjisToJis(A, kmKeep), ESC + "$B\x24\x22" + ESC + "(B"},
        {"B ends in ASCII", SjisToJisB(A), ESC + "$B\x24\x22" + ESC + "(B"},
        {"B closes before CR LF", SjisToJisB(A + "\r\n"), ESC + "$B\x24\x22" + ESC + "(J\r\n"},
        {"B one run for kanji and kana", SjisToJisB(A + "\xB1"), ESC + "$B\x24\x22\x25\x22" + ESC + "(B"},
        {"A accepts ESC $@", JisToSjis(ESC + "$@\x24\x22" + ESC + "(Bx"), A + "x"},
        {"A keeps line ends inside two-byte mode", JisToSjis(ESC + "$B\x24\x22\r\n\x24\x22"), A + "\r\n" + A},
        {"B keeps line ends inside two-byte mode", JisToSjisB(ESC + "$B\x24\x22\r\n\x24\x22"), A + "\r\n" + A},
        {"B escape at the very end", JisToSjisB("x" + ESC + "$"), "x"},
    };
    for (const auto& c : cases)
        EXPECT_BYTES(c.got, c.want) << c.what;
}

TEST(JCode, HalfWidthKana)
{
    // ｶﾞ ﾊﾟ ｳﾞ ｱﾞ ﾟ, and the full-width results ガ パ ヴ ア゛ ゜.
    struct Case {
        std::string half, merged, each;
    };
    const Case cases[] = {
        {"\xB6\xDE", "\x83\x4B", "\x83\x4A\x81\x4A"},
        {"\xCA\xDF", "\x83\x70", "\x83\x6E\x81\x4B"},
        {"\xB3\xDE", "\x83\x94", "\x83\x45\x81\x4A"},
        {"\xB1\xDE", "\x83\x41\x81\x4A", "\x83\x41\x81\x4A"},
        {"\xDF", "\x81\x4B", "\x81\x4B"},
        {"\xC4\xDE", "\x83\x68", "\x83\x67\x81\x4A"}, // ﾄﾞ: last of the voiced range
        {"\xB6", "\x83\x4A", "\x83\x4A"},             // a kana at the very end: no look-ahead past it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.half));
        EXPECT_BYTES(HalfKanaToFullKana(c.half), c.merged);
        EXPECT_BYTES(HalfKanaToFullKanaEach(c.half), c.each);
        // Family B merges the same way on its way to ISO-2022-JP.
        EXPECT_BYTES(JisToSjisB(SjisToJisB(c.half)), c.merged);
        EXPECT_BYTES(JisToSjis(SjisToJis(c.half, kmFullWidth)), c.each);
    }
    // A kana byte that is the trail of a double-byte character is not a kana: 0x82 0xB1 is こ.
    EXPECT_BYTES(HalfKanaToFullKana("\x82\xB1"), "\x82\xB1");
    // ISO-2022-JP is 7-bit: with kmKeep half-width kana still leave as full-width.
    EXPECT_BYTES(SjisToJis("\xB6\xDE", kmKeep), ESC + "$B\x25\x2C" + ESC + "(B");
    // EUC-JP can carry them: SS2 and the byte.
    EXPECT_BYTES(SjisToEuc("\xB1", kmKeep), "\x8E\xB1");
    EXPECT_BYTES(SjisToEuc("\xB6\xDE", kmFullWidthMerge), "\xA5\xAC");
    EXPECT_BYTES(EucToSjis("\xA4\xA2"), "\x82\xA0");
    EXPECT_BYTES(EucToSjis("\x8E\xB1"), "\xB1");
}

// Characters without a JIS code, and bytes that are no character at all, become one "?"
// instead of bytes out of range (the IBM extension 0xFA 0x40 once came out with a 0x14).
// EUC-JP holds the user-defined area in its rows 85-94 and the IBM extensions as JIS X 0212.
TEST(JCode, InexpressibleCharactersBecomeQuestionMarks)
{
    struct Case {
        std::string in, euc, jis;
    };
    const Case cases[] = {
        {"\xF0\x9F", "\xF6\xA1", "?"},   // user-defined area
        {"\xFA\x40", "\x8F\xF3\xF3", "?"}, // IBM extension
        {"a\x80" "b", "a?b", "a?b"},      // not a character
        {"\xA0\xFD\xFF", "???", "???"},
        {"\x82\x0D\x0A", "?\r\n", "?\r\n"}, // a lead byte whose partner is a line end
        {"\x82\xA0\xFA\x40\x82\xA0", "\xA4\xA2\x8F\xF3\xF3\xA4\xA2", ESC + "$B\x24\x22" + ESC + "(B?" + ESC + "$B\x24\x22" + ESC + "(B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.in));
        EXPECT_BYTES(SjisToEuc(c.in, kmKeep), c.euc);
        EXPECT_BYTES(SjisToEucB(c.in), c.euc);
        EXPECT_BYTES(SjisToJis(c.in, kmKeep), c.jis);
    }
    EXPECT_BYTES(SjisToJisB("\x82\xA0\xFA\x40"), ESC + "$B\x24\x22" + ESC + "(J?");
}

// A text cut inside a character: nothing is read past the end (the ASan build checks the
// reads), and the stub comes out as one replacement.
TEST(JCode, TruncatedInput)
{
    const std::string N = "\x81\x45"; // ・
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"EucToSjis lead", EucToSjis("a\xA4"), "a" + N},
        {"EucToSjis SS2", EucToSjis("a\x8E"), "a\x8E"},
        {"EucToSjis SS3", EucToSjis("a\x8F\xA1"), "a\x8F" + N},
        {"EucToSjisB lead", EucToSjisB("a\xA4"), "a" + N},
        {"EucToSjisB SS2", EucToSjisB("a\x8E"), "a" + N},
        {"EucToSjisB bad pair keeps the line end", EucToSjisB("\xA4\r\n"), N + "\r\n"},
        {"SjisToEuc", SjisToEuc("a\x82", kmKeep), "a?"},
        {"SjisToEucB", SjisToEucB("a\x82"), "a?"},
        {"SjisToJis", SjisToJis("a\x82", kmKeep), "a?"},
        {"SjisToJisB", SjisToJisB("a\x82"), "a?"},
        {"SjisToJisB kana at the end", SjisToJisB("\xB3"), ESC + "$B\x25\x26" + ESC + "(B"},
        {"JisToSjis half pair", JisToSjis(ESC + "$B\x24"), N},
        {"JisToSjis escape cut", JisToSjis("a" + ESC + "$"), "a" + ESC + "$"},
        {"JisToSjisB half pair", JisToSjisB(ESC + "$B\x24"), N},
        {"HalfKanaToFullKana", HalfKanaToFullKana("\xCA"), "\x83\x6E"},
        {"SjisToUtf8", SjisToUtf8("a\x82"), "a\xE3\x83\xBB"},
        {"Utf8ToAnsi", Utf8ToAnsi("a\xE3\x81"), "a?"},
        {"UrlEncodeSjis", UrlEncodeSjis("a\x82"), "a%82"},
        {"UrlDecode", UrlDecode("a%4"), "a%4"},
        {"Base64Decode", Base64Decode("YWJjZ"), "abc"},
    };
    for (const auto& c : cases)
        EXPECT_BYTES(c.got, c.want) << c.what;
}

TEST(JCode, DecodersReplaceWhatTheyCannotRead)
{
    const std::string N = "\x81\x45";
    EXPECT_BYTES(EucToSjis("\x8F\xB0\xA1x"), "?x");  // JIS X 0212: no Shift_JIS form
    EXPECT_BYTES(EucToSjisB("\x8F\xB0\xA1x"), "?x");
    EXPECT_BYTES(EucToSjisB("\x81\xA1"), N + N);       // family B: mod 128 gives no JIS byte
    EXPECT_BYTES(EucToSjisB("\xA4\x22"), "\x82\xA0"); // family B reads the partner mod 128
    EXPECT_BYTES(JisToSjis(ESC + "$B\x24\x22\x80\x24\x22"), "\x82\xA0" + N + "\x82\xA0");
}

// Random bytes: the encoders still write well-formed EUC-JP and 7-bit ISO-2022-JP.
TEST(JCode, RandomInputStaysWellFormed)
{
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 300; ++round) {
        std::string s(static_cast<std::size_t>(round % 40), '\0');
        for (auto& c : s)
            c = static_cast<char>(byte(rng));
        SCOPED_TRACE(hex(s));
        for (const std::string& euc : {SjisToEuc(s, kmKeep), SjisToEucB(s), SjisToEuc(s, kmFullWidthMerge)}) {
            for (std::size_t i = 0; i < euc.size(); ++i) {
                const auto b = static_cast<unsigned char>(euc[i]);
                if (b < 0x80)
                    continue;
                ASSERT_LT(i + 1, euc.size());
                const auto b2 = static_cast<unsigned char>(euc[i + 1]);
                if (b == 0x8E) {
                    ASSERT_TRUE(isSjisHalfKana(b2));
                } else if (b == 0x8F) {
                    ASSERT_LT(i + 2, euc.size());
                    const auto b3 = static_cast<unsigned char>(euc[i + 2]);
                    ASSERT_TRUE(b2 >= 0xA1 && b2 <= 0xFE && b3 >= 0xA1 && b3 <= 0xFE);
                    ++i;
                } else
                    ASSERT_TRUE(b >= 0xA1 && b <= 0xFE && b2 >= 0xA1 && b2 <= 0xFE);
                ++i;
            }
        }
        for (const std::string& jis : {SjisToJis(s, kmKeep), SjisToJisB(s), SjisToJis(s, kmFullWidth)}) {
            bool twoByte = false;
            for (std::size_t i = 0; i < jis.size(); ++i) {
                const auto b = static_cast<unsigned char>(jis[i]);
                ASSERT_LT(b, 0x80);
                if (b == 0x1B && i + 2 < jis.size() && jis.compare(i, 3, "\x1B$B") == 0) {
                    twoByte = true;
                    i += 2;
                } else if (b == 0x1B && i + 2 < jis.size() && jis[i + 1] == '(') {
                    twoByte = false;
                    i += 2;
                } else if (twoByte) {
                    ASSERT_LT(i + 1, jis.size());
                    ASSERT_TRUE(b >= 0x21 && b <= 0x7E);
                    ++i;
                }
            }
            ASSERT_FALSE(twoByte) << "ends in two-byte mode";
        }
        // Decoders and the rest only need to survive (the ASan build checks the reads).
        (void)EucToSjis(s);
        (void)EucToSjisB(s);
        (void)JisToSjis(s);
        (void)JisToSjisB(s);
        (void)SjisToUtf8(s);
        (void)Utf8ToAnsi(s);
        (void)UrlDecode(s);
        (void)Base64Decode(s);
        EXPECT_EQ(UrlDecode(UrlEncodeSjis(s)), s);
        EXPECT_EQ(Base64Decode(Base64Encode(s)), s);
    }
}

// The table-driven Unicode conversions against iconv itself: every byte and byte pair of
// Shift_JIS, every UTF-16 unit, every UTF-8 sequence of up to two bytes and every BMP
// character, broken and cut ones included, then long random texts across the converters'
// pieces.
TEST(JCode, UnicodeConversionsMatchIconvUnitByUnit)
{
    const std::string nakaguro8 = "\xE3\x83\xBB", nakaguro16 = "\xFB\x30";
    auto checkSjis = [&](const std::string& s) {
        ASSERT_EQ(hex(SjisToUtf8(s)), hex(iconvReplacing("UTF-8", "CP932", s, nakaguro8, sjisUnit))) << hex(s);
        ASSERT_EQ(hex(AnsiToUtf16LeBytes(s)), hex(iconvReplacing("UTF-16LE", "CP932", s, nakaguro16, sjisUnit)))
            << hex(s);
        ASSERT_EQ(wideBytes(AnsiToWide(s)), AnsiToUtf16LeBytes(s));
    };
    auto checkUtf8 = [&](const std::string& s) {
        ASSERT_EQ(hex(Utf8ToAnsi(s)), hex(iconvReplacing("CP932", "UTF-8", s, "?", utf8Unit))) << hex(s);
    };
    auto checkUtf16 = [&](const std::string& s) {
        ASSERT_EQ(hex(Utf16LeBytesToAnsi(s)), hex(iconvReplacing("CP932", "UTF-16LE", s, "?", utf16Unit)))
            << hex(s);
        std::string inPlace = s; // decoded over its own bytes
        inPlace.resize(Utf16LeBytesToAnsi(inPlace, inPlace.data()));
        ASSERT_EQ(hex(inPlace), hex(Utf16LeBytesToAnsi(s)));
    };
    for (int b = 0; b < 256; ++b) {
        checkSjis(std::string(1, static_cast<char>(b)));
        checkUtf8(std::string(1, static_cast<char>(b)));
        for (int c = 0; c < 256; ++c) {
            const std::string two{static_cast<char>(b), static_cast<char>(c)};
            if (b >= 0x80) {
                checkSjis(two + "A");
                checkUtf8(two);
            }
            checkUtf16(two);
        }
    }
    for (char32_t u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        std::string s;
        if (u < 0x800)
            s = {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
        else
            s = {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)),
                 static_cast<char>(0x80 | (u & 0x3F))};
        checkUtf8(s + "a");
        checkUtf8(s.substr(0, s.size() - 1) + "a"); // cut short
    }
    for (const char* s : {"\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xF4\x90\x80\x80", "\xF0\x80\x80", "\xC0\xAF"})
        checkUtf8(s);
    for (const char* s : {"\x3D\xD8\x00\xDE", "\x3D\xD8" "a\0", "\x00\xDE\x3D\xD8", "\xFF\xFE" "a\0"})
        checkUtf16(std::string(s, 4));

    // Long texts: random units from each set, so that pieces end inside characters.
    std::mt19937 rng(24);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::string sjis, utf8, utf16;
    const char* const sjisUnits[] = {"a", "\r\n", "\x82\xA0", "\xB6", "\x87\x40", "\xFA\x40", "\x80", "\x85\x40", "\x82"};
    const char* const utf8Units[] = {"a", "\r\n", "\xE3\x81\x82", "\xEF\xBD\xB6", "\xF0\x9F\x98\x80", "\xE3\x81", "\xFF"};
    for (int k = 0; k < 60000; ++k) {
        sjis += sjisUnits[pick(9)];
        utf8 += utf8Units[pick(7)];
        const int u = pick(4) == 0 ? 0xD800 + pick(0x800) : pick(0x10000);
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    checkSjis(sjis);
    checkUtf8(utf8);
    checkUtf16(utf16);
    EXPECT_EQ(AnsiToUtf16LeBytes("\x82\xA0", "\xFF\xFE"), "\xFF\xFE\x42\x30");
}

TEST(JCode, UrlEncodeAndDecode)
{
    struct Case {
        std::string in, want;
    };
    const Case enc[] = {
        {"a b", "a+b"},
        {"\x82\xA0 a", "%82%a0+a"},
        {"\x83\x5C", "%83%5c"},       // ソ: the "\" trail byte is encoded with it
        {"\x83\x41", "%83%41"},       // ア: a letter trail byte too
        {"C++", "C%2b%2b"},
        {"A&B=c?d#e%f/", "A%26B%3dc%3fd%23e%25f%2f"},
        {"a%00b", "a%2500b"},         // a literal "%00" is text, not deleted
        {std::string("a\0b", 3), "a%00b"},
        {"-._~", "-._~"},
        {"\xE3\x81\x82", "%e3%81%82"}, // UTF-8 bytes from a search keyword
    };
    for (const auto& c : enc) {
        EXPECT_EQ(UrlEncodeSjis(c.in), c.want) << hex(c.in);
        EXPECT_EQ(UrlDecode(c.want), c.in) << c.want;
    }
    const Case dec[] = {
        {"%E3%81%82", "\xE3\x81\x82"},
        {"a+b%2Bc", "a b+c"}, // only a literal "+" is a blank
        {"%zz%", "%zz%"},     // malformed escapes stay as they are, no NUL appears
        {"%4", "%4"},
        {"%41%4a%4A", "AJJ"},
    };
    for (const auto& c : dec)
        EXPECT_EQ(UrlDecode(c.in), c.want) << c.in;
}

TEST(JCode, Base64)
{
    struct Case {
        std::string plain, coded;
    };
    const Case rfc4648[] = {
        {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"},
        {"ab", "YWI="},     {"a", "YQ=="},
        {std::string(3, '\0'), "AAAA"},
        {std::string("\0a\0", 3), "AGEA"},
        {std::string("\xFF\0\0\0\xFE", 5), "/wAAAP4="},
    };
    for (const auto& c : rfc4648) {
        EXPECT_EQ(Base64Encode(c.plain), c.coded);
        EXPECT_BYTES(Base64Decode(c.coded), c.plain);
    }
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy"), "foobar"); // line breaks are skipped
    EXPECT_EQ(Base64Decode("Zm8"), "fo");              // padding left off
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(Base64Decode(Base64Encode(all)), all);
}

TEST(JCode, Utf8AndWide)
{
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"empty", Utf8ToAnsi(""), ""},
        {"kana and kanji", Utf8ToAnsi("\xE3\x81\x82\xE6\xBC\xA2 \xEF\xBD\xB1"), "\x82\xA0\x8A\xBF \xB1"},
        {"0x5C and 0x7E stay ASCII", Utf8ToAnsi("\\~"), "\\~"},
        {"unmappable: one ? each", Utf8ToAnsi("a\xF0\x9F\x98\x80\xC3\xA9z"), "a??z"},
        {"invalid bytes", Utf8ToAnsi("a\xFF\xC0\xAFz"), "a???z"},
        {"NUL does not end the text", Utf8ToAnsi(std::string("a\0b", 3)), std::string("a\0b", 3)},
        {"byte-order mark shows as ?", Utf8ToAnsi("\xEF\xBB\xBF" "a"), "?a"},
        {"Sjis to UTF-8", SjisToUtf8("\x82\xA0\xB1\\~"), "\xE3\x81\x82\xEF\xBD\xB1\\~"},
        {"undecodable bytes", SjisToUtf8("\x80\x85\x40x"), "\xE3\x83\xBB\xE3\x83\xBBx"},
        {"AnsiToUtf8", AnsiToUtf8("\x82\xA0"), "\xE3\x81\x82"},
        {"wide round trip", WideToAnsi(AnsiToWide("\x82\xA0z\xB1")), "\x82\xA0z\xB1"},
        {"wide unmappable", WideToAnsi(u"a\U0001F600\u00E9"), "a??"},
    };
    for (const auto& c : cases)
        EXPECT_BYTES(c.got, c.want) << c.what;
    EXPECT_EQ(AnsiToWide("\x80"), std::u16string(u"\u30FB"));
    // Empty texts reach the byte sink with a null source; the sanitizer build checks the copy.
    EXPECT_TRUE(AnsiToWide("").empty());
    EXPECT_TRUE(AnsiToUtf16LeBytes("", std::string_view()).empty());
    EXPECT_EQ(AnsiToUtf16LeBytes(std::string_view(), "\xFF\xFE"), "\xFF\xFE");
}

TEST(JCode, PairRoutines)
{
    EXPECT_BYTES(JisToSjisPair(0x24, 0x22), "\x82\xA0");
    EXPECT_BYTES(JisToSjisPair(0x7F, 0x22), "");
    EXPECT_BYTES(JisToSjisPairB(0x30, 0x21), "\x88\x9F");
    EXPECT_BYTES(SjisToJisPair(0x88, 0x9F), "\x30\x21");
    EXPECT_BYTES(SjisToJisPairB(0x82, 0xA0), "\x24\x22");
}

} // namespace
