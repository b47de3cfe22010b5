#include "text/TextConverter.h"

#include "support/ByteHex.h"
#include <gtest/gtest.h>

namespace {

// あ in each encoding.
const std::string SJIS = "\x82\xA0";
const std::string EUC = "\xA4\xA2";
const std::string UTF8 = "\xE3\x81\x82";
const std::string JIS = "\x1B$B\x24\x22\x1B(B";
const std::string BOM = "\xEF\xBB\xBF";

struct Case {
    const char* what;
    std::string in;
    int mode;
    std::string want;
};

void runTable(const std::vector<Case>& cases)
{
    for (const auto& c : cases)
        EXPECT_EQ(hex(ConvertTextToSjis(c.in, c.mode)), hex(c.want)) << c.what;
}

TEST(TextConverter, LineEnds)
{
    runTable({
        {"CR LF stays CR LF", "a\r\nb\r\n", ccmAuto, "a\r\nb\r\n"},
        {"LF", "a\nb\n", ccmAuto, "a\r\nb\r\n"},
        {"CR", "a\rb", ccmAuto, "a\r\nb"},
        {"mixed: a later lone LF is still a line end", "a\r\nb\nc\rd", ccmAuto, "a\r\nb\r\nc\r\nd"},
        {"blank lines are kept", "a\r\n\r\n\r\nb", ccmAuto, "a\r\n\r\n\r\nb"},
        {"blank lines kept on a converting path", "charset=shift_jis\"\n\na\r\n\r\nb", ccmAuto,
         "charset=shift_jis\"\r\n\r\na\r\n\r\nb"},
        {"blank LF lines under forced EUC-JP", "a\n\n\nb" + EUC, ccmEucJp, "a\r\n\r\n\r\nb" + SJIS},
        {"CR CR LF throughout is one line end each", "a\r\r\nb\r\r\nc", ccmAuto, "a\r\nb\r\nc"},
        {"after CR CR LF a lone CR eats no text", "a\r\r\nb\rxy\r\nz", ccmAuto, "a\r\nb\r\nxy\r\nz"},
        {"CR CR LF later in a CR LF text is two line ends", "a\r\nb\r\r\nc", ccmAuto, "a\r\nb\r\n\r\nc"},
        {"control bytes are kept", "\x01\x01\x01", ccmAuto, "\x01\x01\x01"},
        {"control bytes before a line end", "\x01\x0B\nb", ccmAuto, "\x01\x0B\r\nb"},
        {"only line ends", "\n", ccmAuto, "\r\n"},
        {"empty", "", ccmAuto, ""},
    });
}

TEST(TextConverter, EveryPath)
{
    runTable({
        {"no charset word, auto: Shift_JIS as it is", "p{}" + SJIS, ccmAuto, "p{}" + SJIS},
        {"no charset word, forced EUC-JP", "p{}" + EUC, ccmEucJp, "p{}" + SJIS},
        {"no charset word, forced UTF-8", "p{}" + UTF8, ccmUtf8, "p{}" + SJIS},
        {"no charset word, forced SJIS", "p{}" + SJIS, ccmSjis, "p{}" + SJIS},
        {"no charset word, forced JIS", "p{}" + JIS, ccmJis, "p{}" + SJIS},
        {"no charset word, forced UTF-8N", "p{}" + UTF8, ccmUtf8N, "p{}" + SJIS},
        {"BOM without charset word", BOM + UTF8 + "\n", ccmAuto, SJIS + "\r\n"},
        {"BOM beats a forced mode", BOM + UTF8, ccmSjis, SJIS},
        {"BOM with an emoji falls back, not empty", BOM + "a\xF0\x9F\x98\x80" + UTF8, ccmAuto, "a?" + SJIS},
        {"BOM rewrites the declaration", BOM + "<meta charset=\"utf-8\">" + UTF8, ccmAuto,
         "<meta charset=\"Shift_JIS\">" + SJIS},
        {"auto, charset=shift_jis\"", "charset=shift_jis\"" + SJIS, ccmAuto, "charset=shift_jis\"" + SJIS},
        {"auto, charset=EUC-JP\" converted and declared", "charset=EUC-JP\"" + EUC, ccmAuto,
         "charset=Shift_JIS\"" + SJIS},
        {"auto, charset=jis\"", "charset=jis\"" + JIS, ccmAuto, "charset=Shift_JIS\"" + SJIS},
        {"auto, iso-2022-jp with LF line ends", "charset=iso-2022-jp\n" + JIS + "\n", ccmAuto,
         "charset=Shift_JIS\r\n" + SJIS + "\r\n"},
        {"auto, charset=utf-8\"", "charset=utf-8\"" + UTF8, ccmAuto, "charset=Shift_JIS\"" + SJIS},
        {"auto, charset=utf-8\" with a bad byte", "charset=utf-8\"" + UTF8 + "\xFF", ccmAuto,
         "charset=Shift_JIS\"" + SJIS + "?"},
        {"list order: charset=euc-jp\" before charset=utf-8\"", "charset=utf-8\" charset=euc-jp\"" + EUC, ccmAuto,
         "charset=Shift_JIS\" charset=Shift_JIS\"" + SJIS},
        {"a mode above 5 acts as auto", "charset=euc-jp\"" + EUC, 9, "charset=Shift_JIS\"" + SJIS},
        {"a negative mode acts as auto", "charset=euc-jp\"" + EUC, -1, "charset=Shift_JIS\"" + SJIS},
        {"forced SJIS leaves a text that names euc-jp", "encoding=\"euc-jp\"" + EUC, ccmSjis,
         "encoding=\"euc-jp\"" + EUC},
        {"auto detects euc-jp named in another form", "encoding=\"euc-jp\"" + EUC, ccmAuto,
         "encoding=\"Shift_JIS\"" + SJIS},
        {"forced EUC-JP rewrites the declaration", "charset=EUC-JP;" + EUC, ccmEucJp, "charset=Shift_JIS;" + SJIS},
        {"forced JIS", "charset=iso-2022-jp;" + JIS, ccmJis, "charset=Shift_JIS;" + SJIS},
        {"forced UTF-8 drops a stray ? before <", "?<p>" + UTF8, ccmUtf8, "<p>" + SJIS},
        {"forced UTF-8N", "@charset \"UTF-8\";" + UTF8, ccmUtf8N, "@charset \"Shift_JIS\";" + SJIS},
        {"forced mode but the text declares charset=utf-8\"", "charset=utf-8\"" + UTF8, ccmEucJp,
         "charset=Shift_JIS\"" + SJIS},
        {"xml declaration with a four-byte character", "<?xml encoding=\"utf-8\"?>\xF0\x9F\x98\x80" + UTF8, ccmAuto,
         "<?xml encoding=\"Shift_JIS\"?>?" + SJIS},
        {"a Shift_JIS page that mentions utf-8 stays", "utf-8 " + SJIS + "\x8A\xBF", ccmAuto, "utf-8 " + SJIS + "\x8A\xBF"},
        {"x-sjis and SHIFT-JIS are unified", "charset=x-sjis\" SHIFT-JIS" + SJIS, ccmAuto,
         "charset=Shift_JIS\" Shift_JIS" + SJIS},
        {"shift_jis named in another form", "encoding=\"Shift_JIS\"" + SJIS, ccmAuto, "encoding=\"Shift_JIS\"" + SJIS},
    });
}

TEST(TextConverter, DeclarationRewriting)
{
    // Every declaration form of a converted text; look-alikes stay.
    const std::string in = "<?xml version=\"1.0\" encoding='UTF-8'?>\n"
                           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
                           "<meta charset='utf-8'>\n@charset \"utf-8\";\n"
                           "charset=utf-16 charset=utf-8x charset=iso-2022-jp-2 utf-8\n";
    const std::string want = "<?xml version=\"1.0\" encoding='Shift_JIS'?>\r\n"
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
                             "<meta charset='Shift_JIS'>\r\n@charset \"Shift_JIS\";\r\n"
                             "charset=utf-16 charset=utf-8x charset=iso-2022-jp-2 utf-8\r\n";
    EXPECT_EQ(ConvertTextToSjis(in, ccmUtf8N), want);
    // A "charset" whose first byte is the trail byte of a character is not a declaration.
    // (EUC-JP 0xA5 0xC4 is ツ, Shift_JIS 0x83 0x63: its trail byte is "c".)
    EXPECT_EQ(hex(ConvertTextToSjis("\xA5\xC4" "harset=utf-8;", ccmEucJp)), hex("\x83\x63" "harset=utf-8;"));
}

TEST(TextConverter, NoSizeLimitAndNulKept)
{
    std::string in = "<meta charset=euc-jp\">";
    in += '\0';
    std::string want = "<meta charset=Shift_JIS\">";
    want += '\0';
    for (int i = 0; i < 700000; ++i) { // 1.4 MB of EUC-JP
        in += EUC;
        want += SJIS;
    }
    in += "\nend";
    want += "\r\nend";
    const std::string got = ConvertTextToSjis(in, ccmAuto);
    ASSERT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
}

TEST(TextConverter, Utf8ToWideIsStrict)
{
    struct W {
        const char* what;
        std::string in;
        std::u16string want;
    };
    const W cases[] = {
        {"empty", "", u""},
        {"ASCII", "ab", u"ab"},
        {"two and three bytes", "\xC3\xA9" + UTF8, u"\u00E9\u3042"},
        {"NUL is a character", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"stray continuation byte", "a\x81", u""},
        {"truncated sequence", "a\xE3\x81", u""},
        {"four-byte sequence", "\xF0\x9F\x98\x80", u""},
        {"overlong form", "\xC0\xAF", u""},
        {"surrogate", "\xED\xA0\x80", u""},
        {"Shift_JIS bytes", SJIS, u""},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Utf8ToWide(c.in) == c.want) << c.what;
}

} // namespace
