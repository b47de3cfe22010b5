#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <gtest/gtest.h>

namespace {

// Shift_JIS spellings used below.
const std::string SO = "\x83\x5C";      // ソ: trail byte is "\"
const std::string FWB = "\x81\x40";     // full-width blank: trail byte is "@"
const std::string A_KATA = "\x83\x41";  // ア: trail byte is "A"
const std::string DI_KATA = "\x83\x61"; // ヂ: trail byte is "a"
const std::string HIRA_A = "\x82\xA0";  // あ

TEST(SjisBytes, ByteClassesAndTrailDetection)
{
    EXPECT_TRUE(isSjisLead(0x81));
    EXPECT_TRUE(isSjisLead(0xFC));
    EXPECT_FALSE(isSjisLead(0xA0));
    EXPECT_FALSE(isSjisLead(0xFD));
    EXPECT_TRUE(isSjisTrail(0x40));
    EXPECT_FALSE(isSjisTrail(0x7F));
    EXPECT_TRUE(isSjisHalfKana(0xB1));

    // A run of lead-class bytes pairs up from its start: 0x88 0x9F 0x88 0x9F is two kanji.
    const std::string run = "x\x88\x9F\x88\x9F";
    EXPECT_FALSE(isSjisTrailAt(run, 1));
    EXPECT_TRUE(isSjisTrailAt(run, 2));
    EXPECT_FALSE(isSjisTrailAt(run, 3));
    EXPECT_TRUE(isSjisTrailAt(run, 4));
    // A lead byte followed by CR is not a pair: the CR stays a character of its own.
    EXPECT_FALSE(isSjisTrailAt(std::string("\x82\r\n"), 1));
    EXPECT_EQ(sjisCharLen(std::string("\x82"), 0), 1u); // lone lead byte at the end
}

TEST(SjisBytes, SearchNeverStartsOnTrailByte)
{
    EXPECT_EQ(sjisFind(SO + "\\", "\\"), 2u);
    EXPECT_EQ(sjisFind(SO, "\\"), std::string::npos);
    EXPECT_EQ(sjisFindNoCase(A_KATA + "a", "A"), 2u);
    EXPECT_EQ(sjisFindNoCase(A_KATA, DI_KATA), std::string::npos); // trail bytes compare exactly
    EXPECT_EQ(sjisFindNoCase("xHtMl", "html"), 1u);
}

// The case-blind search jumps between candidates of its first byte; it must agree with a walk
// over the text one character at a time, on texts dense in lead bytes, letters that are also
// trail bytes, and both cases.
TEST(SjisBytes, CaseBlindSearchAgreesWithACharacterWalk)
{
    auto walk = [](std::string_view s, std::string_view sub, std::size_t from) {
        if (sub.empty() || from >= s.size() || sub.size() > s.size())
            return std::string_view::npos;
        for (std::size_t i = isSjisTrailAt(s, from) ? from + 1 : from; i + sub.size() <= s.size(); i += sjisCharLen(s, i)) {
            std::size_t j = 0;
            bool ok = true;
            while (ok && j < sub.size()) {
                const std::size_t len = sjisCharLen(s, i + j);
                ok = asciiLower(s[i + j]) == asciiLower(sub[j]) && !(len == 2 && j + 1 < sub.size() && s[i + j + 1] != sub[j + 1]);
                j += len;
            }
            if (ok)
                return i;
        }
        return std::string_view::npos;
    };
    const char bytes[] = {'a', 'A', 'b', 'B', '<', '>', ' ', '\x83', '\x81', '^', '\x61', '\x41', '\xE0', '\x9F', '@', '\x7F', '\xFC', '\x80'};
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    int hits = 0;
    for (int k = 0; k < 200000; ++k) {
        std::string s, sub;
        for (unsigned i = next() % 20; i > 0; --i)
            s += bytes[next() % sizeof bytes];
        for (unsigned i = 1 + next() % 4; i > 0; --i)
            sub += bytes[next() % sizeof bytes];
        const std::size_t from = next() % (s.size() + 2);
        const std::size_t want = walk(s, sub, from);
        ASSERT_EQ(sjisFindNoCase(s, sub, from), want) << k;
        hits += want != std::string_view::npos;
    }
    EXPECT_GT(hits, 1000); // the table meets real matches, not only misses
}

TEST(StrUtils, Searches)
{
    struct Case {
        const char* what;
        int got;
        int want;
    };
    const Case cases[] = {
        {"PosEx from 2", PosEx("b", "abcb", 2), 4},
        {"PosEx from 0", PosEx("b", "abcb", 0), 2},
        {"PosEx skips the trail of a character at From", PosEx("@", FWB + "@", 1), 3},
        {"PosEx no hit on trail", PosEx("\\", SO, 0), 0},
        {"PosEx no hit on full-width blank's trail", PosEx("@", FWB, 0), 0},
        {"PosEx negative From clamps", PosEx("b", "abcb", -5), 2},
        {"PosEx From beyond the text", PosEx("b", "abcb", 99), 0},
        {"PosEx From at the end", PosEx("b", "abcb", 4), 0},
        {"PosEx empty pattern", PosEx("", "abc", 0), 0},
        {"PosFrom empty pattern", PosFrom("", "abc", 2), 0},
        {"PosFrom beyond last start", PosFrom("cd", "abcd", 4), 0},
        {"PosFrom at last start", PosFrom("cd", "abcd", 3), 3},
        {"PosFrom whole text is multi-byte aware", PosFrom("\\", SO, 1), 0},
        {"PosFrom > 1 is a byte search", PosFrom("\\", "x" + SO, 2), 3},
        {"PosText ignores ASCII case", PosText("BODY", "<body>"), 2},
        {"PosText no hit inside a character", PosText("a", DI_KATA), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(StrUtils, TrimsAndBlanks)
{
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"Trim controls", Trim("\t\r\n a b \x01"), "a b"},
        {"TrimLeftChar", TrimLeftChar("xxaxx", 'x'), "axx"},
        {"TrimRightChar", TrimRightChar("xxaxx", 'x'), "xxa"},
        {"TrimRightChar keeps a trail byte", TrimRightChar("a" + SO + "\\\\", '\\'), "a" + SO},
        {"TrimChar", TrimChar("--a--", '-'), "a"},
        {"TrimChar empty", TrimChar("", '-'), ""},
        {"TrimLeftWideSpaces", TrimLeftWideSpaces(" " + FWB + " a" + FWB), "a" + FWB},
        {"TrimWideSpaces only blanks", TrimWideSpaces("  " + FWB + " " + FWB), ""},
        {"TrimWideSpaces both ends", TrimWideSpaces("\t" + FWB + " a b" + FWB + " \r\n"), "a b"},
        // Bytes without a Unicode round trip survive untouched (IBM extension, lone lead byte).
        {"TrimWideSpaces keeps odd bytes", TrimWideSpaces(FWB + "\xED\x40\xFA\x40\x80" + FWB), "\xED\x40\xFA\x40\x80"},
        // 0x81 0x40 that is really "?@" after a lead byte's trail is not a full-width blank.
        {"TrimWideSpaces trail 0x81", TrimWideSpaces("\x88\x81\x40"), "\x88\x81\x40"},
        {"CollapseSpaces full-width pair", CollapseSpaces("a" + FWB + FWB + "b"), "a b"},
        {"CollapseSpaces five blanks", CollapseSpaces("a     b"), "a b"},
        {"CollapseSpaces four blanks", CollapseSpaces("a    b"), "a b"},
        {"CollapseSpaces mixed run", CollapseSpaces(" a " + FWB + "  " + FWB + "b "), "a b"},
        {"CollapseSpaces keeps @ after a lead", CollapseSpaces("\x88\x81@  x"), "\x88\x81@ x"},
        {"NormalizeSpaces", NormalizeSpaces(FWB + " a   b" + FWB, 0), "a b"},
        {"NormalizeSpaces mode 1", NormalizeSpaces("a  b " + FWB + "c", 1), "a,b,c"},
        {"NormalizeSpaces empty", NormalizeSpaces(FWB + "  ", 1), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(StrUtils, Numbers)
{
    EXPECT_EQ(IntToZeroPadded(7, 2), "07");
    EXPECT_EQ(IntToZeroPadded(123, 2), "123");
    EXPECT_EQ(IntToZeroPadded(-5, 4), "-005");
    EXPECT_EQ(IntToZeroPadded(0, 0), "0");
    EXPECT_EQ(IntToSpacePadded(5, 4), "   5");
    EXPECT_EQ(IntToSpacePadded(-12, 2), "-12");
    EXPECT_EQ(IntToSpacePadded(12, 2), "12");
}

TEST(StrUtils, MarkersAndBlocks)
{
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"TextBetween", TextBetween("x<a>y</a>z", "<a>", "</a>"), "y"},
        {"TextBetween no right", TextBetween("x<a>yz", "<a>", "</a>"), ""},
        {"TextBetween no left", TextBetween("xy</a>", "<a>", "</a>"), ""},
        {"TextBetween right may not overlap left", TextBetween("[x]", "[x", "x]"), ""},
        {"TextBetween adjacent markers", TextBetween("ab", "a", "b"), ""},
        {"TextBetween skips hits on trail bytes", TextBetween("\\" + SO + "x\\", "\\", "\\"), SO + "x"},
        {"DeleteBetween comments", DeleteBetween("x<!--1-->y<!--2", "<!--", "-->"), "xy<!--2"},
        {"DeleteBetween several", DeleteBetween("a/*1*/b/*2*/c", "/*", "*/"), "abc"},
        // Right may overlap Left's last byte: "/*/" is a complete block.
        {"DeleteBetween overlap", DeleteBetween("a/*/b", "/*", "*/"), "ab"},
        {"DeleteBetween left formed across the seam", DeleteBetween("<!<!--x-->--y-->z", "<!--", "-->"), "z"},
        {"DeleteBetween no left", DeleteBetween("abc", "<", ">"), "abc"},
        {"ExpandTab", ExpandTab("ab\tc", 6), "ab   c"},
        {"ExpandTab long prefix", ExpandTab("abcdefg\tc", 6), "abcdefg   c"},
        {"ExpandTab no room", ExpandTab("abcdef\tc", 6), "abcdefc"},
        {"ExpandTab first tab only", ExpandTab("a\tb\tc", 4), "a  b\tc"},
        {"ExpandTab without tab", ExpandTab("abc", 6), "abc"},
        {"GetIndentSpaces", GetIndentSpaces("   abc"), "    "},
        {"GetIndentSpaces short", GetIndentSpaces("   a"), ""},
        {"GetIndentSpaces empty", GetIndentSpaces(""), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(StrUtils, Counts)
{
    EXPECT_EQ(CountSlashes("http://a/b"), 3);
    EXPECT_EQ(CountTagStarts("<a><b>"), 2);
    EXPECT_EQ(LastSlashPosB("http://a/b"), 9);
    EXPECT_EQ(LastSlashPosB("abc"), 0);
}

TEST(StrUtils, ReplaceHelpers)
{
    struct Case {
        const char* what;
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {"ignore case, all", ReplaceAllIgnoreCase("<HTML><html>", "<html", "<x"), "<x><x>"},
        {"ignore case folds ASCII only", ReplaceAllIgnoreCase(A_KATA + DI_KATA, DI_KATA, "!"), A_KATA + "!"},
        {"never starts on a trail byte", ReplaceAllIgnoreCase(SO + "\\", "\\", "/"), SO + "/"},
        {"one pass: replaced text not searched again", ReplaceAllIgnoreCase("aaa", "a", "aa"), "aaaaaa"},
        {"one pass over runs", ReplaceAllIgnoreCase("\n\n\n", "\n\n", "\n"), "\n\n"},
        {"empty pattern", ReplaceAllIgnoreCase("abc", "", "x"), "abc"},
        {"case kept, all", ReplaceAll("aAa", "a", "b"), "bAb"},
        {"first only, case kept", ReplaceFirst("xAxax", "a", "-"), "xAx-x"},
        {"first skips trail hits", ReplaceFirst(SO + "\\\\", "\\", "/"), SO + "/\\"},
        {"LowerCase leaves trail bytes", LowerCase("ABC" + A_KATA), "abc" + A_KATA},
        {"UpperCase", UpperCase("abc" + DI_KATA), "ABC" + DI_KATA},
        {"HIRA in text", ReplaceAll(HIRA_A + "a", "a", "b"), HIRA_A + "b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

} // namespace
