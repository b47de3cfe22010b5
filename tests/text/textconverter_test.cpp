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
        {"auto, charset=EUC-JP\" converted and declared", "<meta charset=EUC-JP\">" + EUC, ccmAuto,
         "<meta charset=Shift_JIS\">" + SJIS},
        {"auto, charset=EUC-JP\" outside a declaration converts, the words stay", "charset=EUC-JP\"" + EUC,
         ccmAuto, "charset=EUC-JP\"" + SJIS},
        {"auto, charset=jis\"", "<meta charset=jis\">" + JIS, ccmAuto, "<meta charset=Shift_JIS\">" + SJIS},
        {"auto, iso-2022-jp with LF line ends", "charset=iso-2022-jp\n" + JIS + "\n", ccmAuto,
         "charset=iso-2022-jp\r\n" + SJIS + "\r\n"},
        {"auto, charset=utf-8\"", "<meta charset=utf-8\">" + UTF8, ccmAuto, "<meta charset=Shift_JIS\">" + SJIS},
        {"auto, charset=utf-8\" with a bad byte", "<meta charset=utf-8\">" + UTF8 + "\xFF", ccmAuto,
         "<meta charset=Shift_JIS\">" + SJIS + "?"},
        {"words outside declarations, in list order: charset=euc-jp\" before charset=utf-8\"",
         "charset=utf-8\" charset=euc-jp\"" + EUC, ccmAuto, "charset=utf-8\" charset=euc-jp\"" + SJIS},
        {"a mode above 5 acts as auto", "<meta charset=euc-jp\">" + EUC, 9, "<meta charset=Shift_JIS\">" + SJIS},
        {"a negative mode acts as auto", "<meta charset=euc-jp\">" + EUC, -1, "<meta charset=Shift_JIS\">" + SJIS},
        {"forced SJIS leaves a text that names euc-jp", "encoding=\"euc-jp\"" + EUC, ccmSjis,
         "encoding=\"euc-jp\"" + EUC},
        {"auto detects euc-jp named in another form", "<?xml version=\"1.0\" encoding=\"euc-jp\"?>" + EUC, ccmAuto,
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + SJIS},
        {"forced EUC-JP rewrites the declaration", "<meta content=\"text/html; charset=EUC-JP;\">" + EUC, ccmEucJp,
         "<meta content=\"text/html; charset=Shift_JIS;\">" + SJIS},
        {"forced JIS", "<meta content='charset=iso-2022-jp'>" + JIS, ccmJis,
         "<meta content='charset=Shift_JIS'>" + SJIS},
        {"forced UTF-8 drops a stray ? before <", "?<p>" + UTF8, ccmUtf8, "<p>" + SJIS},
        {"forced UTF-8N", "@charset \"UTF-8\";" + UTF8, ccmUtf8N, "@charset \"Shift_JIS\";" + SJIS},
        {"forced mode but the text declares charset=utf-8\"", "<meta charset=\"utf-8\">" + UTF8, ccmEucJp,
         "<meta charset=\"Shift_JIS\">" + SJIS},
        {"forced mode and charset=utf-8\" outside a declaration", "charset=utf-8\"" + UTF8, ccmEucJp,
         "charset=utf-8\"" + SJIS},
        {"xml declaration with a four-byte character", "<?xml encoding=\"utf-8\"?>\xF0\x9F\x98\x80" + UTF8, ccmAuto,
         "<?xml encoding=\"Shift_JIS\"?>?" + SJIS},
        {"a Shift_JIS page that mentions utf-8 stays", "utf-8 " + SJIS + "\x8A\xBF", ccmAuto, "utf-8 " + SJIS + "\x8A\xBF"},
        {"x-sjis and SHIFT-JIS: the declaration is unified, prose stays", "<meta charset=x-sjis\"> SHIFT-JIS" + SJIS,
         ccmAuto, "<meta charset=Shift_JIS\"> SHIFT-JIS" + SJIS},
        {"a SHIFT-JIS word keeps a text that also names utf-8", "SHIFT-JIS utf-8 " + SJIS, ccmAuto,
         "SHIFT-JIS utf-8 " + SJIS},
        {"shift_jis named in another form", "encoding=\"Shift_JIS\"" + SJIS, ccmAuto, "encoding=\"Shift_JIS\"" + SJIS},
    });
}

TEST(TextConverter, DeclarationRewriting)
{
    // Every declaration form of a converted text; look-alikes stay.
    const std::string in = "<?xml version=\"1.0\" encoding='UTF-8'?>\n"
                           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
                           "<meta charset='utf-8'>\n<style>@charset \"utf-8\";</style>\n"
                           "charset=utf-16 charset=utf-8x charset=iso-2022-jp-2 utf-8\n";
    const std::string want = "<?xml version=\"1.0\" encoding='Shift_JIS'?>\r\n"
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
                             "<meta charset='Shift_JIS'>\r\n<style>@charset \"Shift_JIS\";</style>\r\n"
                             "charset=utf-16 charset=utf-8x charset=iso-2022-jp-2 utf-8\r\n";
    EXPECT_EQ(ConvertTextToSjis(in, ccmUtf8N), want);
    // A "charset" whose first byte is the trail byte of a character is not a declaration.
    // (EUC-JP 0xA5 0xC4 is ツ, Shift_JIS 0x83 0x63: its trail byte is "c".)
    EXPECT_EQ(hex(ConvertTextToSjis("\xA5\xC4" "harset=utf-8;", ccmEucJp)), hex("\x83\x63" "harset=utf-8;"));
}

TEST(TextConverter, DeclarationDecidesBeforeWords)
{
    // Pages whose prose names another encoding than the one they declare.
    const std::string talk = "<p>Shift_JIS, EUC-JP, iso-2022-jp, x-sjis</p>";
    runTable({
        {"HTML5 meta, quoted", "<meta charset=\"utf-8\">" + talk + UTF8, ccmAuto,
         "<meta charset=\"Shift_JIS\">" + talk + SJIS},
        {"HTML5 meta, unquoted", "<META CHARSET=utf-8>" + talk + UTF8, ccmAuto, "<META CHARSET=Shift_JIS>" + talk + SJIS},
        {"http-equiv content", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />" + talk + UTF8,
         ccmAuto, "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\" />" + talk + SJIS},
        {"XML declaration", "<?xml version=\"1.0\" encoding='utf-8'?>\n" + talk + UTF8, ccmAuto,
         "<?xml version=\"1.0\" encoding='Shift_JIS'?>\r\n" + talk + SJIS},
        {"style sheet @charset", "@charset \"UTF-8\";\n/* shift_jis euc-jp */" + UTF8, ccmAuto,
         "@charset \"Shift_JIS\";\r\n/* shift_jis euc-jp */" + SJIS},
        {"@charset first in a style element", "<style>\n@charset \"utf-8\"; p{}</style>" + talk + UTF8, ccmAuto,
         "<style>\r\n@charset \"Shift_JIS\"; p{}</style>" + talk + SJIS},
        {"an alias name", "<meta charset=\"eucJP\">UTF-8 " + EUC, ccmAuto, "<meta charset=\"Shift_JIS\">UTF-8 " + SJIS},
        {"declared EUC-JP, prose about UTF-8 stays", "<meta charset=\"EUC-JP\"><pre>LANG=ja_JP.UTF-8</pre>" + EUC,
         ccmAuto, "<meta charset=\"Shift_JIS\"><pre>LANG=ja_JP.UTF-8</pre>" + SJIS},
        {"declared Shift_JIS, prose about utf-8 stays", "<meta charset=\"Shift_JIS\">utf-8 " + SJIS, ccmAuto,
         "<meta charset=\"Shift_JIS\">utf-8 " + SJIS},
        {"the first declaration decides", "<meta charset=\"utf-8\"><meta charset=\"euc-jp\">" + UTF8, ccmAuto,
         "<meta charset=\"Shift_JIS\"><meta charset=\"Shift_JIS\">" + SJIS},
        {"declared UTF-16 in readable bytes is UTF-8", "<meta charset=\"utf-16\">" + talk + UTF8, ccmAuto,
         "<meta charset=\"Shift_JIS\">" + talk + SJIS},
        {"an unknown name leaves the words to decide", "<meta charset=\"iso-8859-1\">euc-jp" + EUC, ccmAuto,
         "<meta charset=\"iso-8859-1\">euc-jp" + SJIS},
    });
}

TEST(TextConverter, NamesOutsideDeclarationsStay)
{
    // A UTF-8 manual page: only its meta declaration is renamed.
    const std::string body = "<body><pre>LANG=fr_FR.UTF-8 C.UTF-8 ja_JP.UTF-8\n"
                             "&lt;meta charset=\"utf-8\"&gt; charset=utf-8 encoding=\"UTF-8\"\n"
                             "@charset \"utf-8\"; <?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<meta charset=\"utf-8\"></pre></body>";
    const std::string in = "<html><head><meta charset=\"utf-8\"></head>" + body + UTF8;
    std::string want = "<html><head><meta charset=\"Shift_JIS\"></head>" + body + SJIS;
    for (std::size_t p = 0; (p = want.find('\n', p)) != std::string::npos; p += 2)
        want.replace(p, 1, "\r\n");
    for (const int mode : {ccmAuto, ccmUtf8, ccmUtf8N})
        EXPECT_EQ(ConvertTextToSjis(in, mode), want) << mode;
    EXPECT_EQ(RenameCharsetDecls(want, "UTF-8"), "<html><head><meta charset=\"UTF-8\">" + want.substr(want.find("</head>")));
}

TEST(TextConverter, ByteOrderMarksDecide)
{
    // 《不》: UTF-16 units 0x300A 0x4E0D 0x300B hold the bytes of LF and CR.
    const std::string le = std::string("\xFF\xFE", 2) + std::string("<\0?\0\x0A\x30\x0D\x4E\x0B\x30\r\0\n\0a\0", 16);
    const std::string be = std::string("\xFE\xFF", 2) + std::string("\0<\0?\x30\x0A\x4E\x0D\x30\x0B\0\r\0\n\0a", 16);
    const std::string want = "<?\x81\x73\x95\x73\x81\x74\r\na";
    for (const int mode : {ccmAuto, ccmSjis, ccmEucJp, ccmUtf8}) {
        EXPECT_EQ(hex(ConvertTextToSjis(le, mode)), hex(want)) << mode;
        EXPECT_EQ(hex(ConvertTextToSjis(be, mode)), hex(want)) << mode;
    }
    // A UTF-16 page that declares itself says Shift_JIS once read.
    std::u16string page = u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<meta charset=\"utf-16\">\u3042";
    const std::string bytes(reinterpret_cast<const char*>(page.data()), page.size() * 2);
    EXPECT_EQ(ConvertTextToSjis(bytes, ccmAuto),
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<meta charset=\"Shift_JIS\">" + SJIS);

    // Line ends made CR LF in the decoding pass itself: CR LF, a lone CR and a lone LF, in
    // both orders of CR and LF, also where a CR LF pair straddles the decoder's pieces.
    {
        const std::pair<std::u16string, std::string> pieces[] = {
            {u"a\r\n", "a\r\n"}, {u"b\r", "b\r\n"}, {u"c\n", "c\r\n"}, {u"\n\r", "\r\n\r\n"},
            {u"\u3042\u300A", "\x82\xA0\x81\x73"}, {u"\t\x01", "\t\x01"}};
        for (const std::size_t lead : {std::size_t{0}, std::size_t{16383}, std::size_t{16382}, std::size_t{65535}}) {
            std::u16string w(lead, u'x');
            std::string want(lead, 'x');
            for (int round = 0; round < 3; ++round)
                for (const auto& [units, sjis] : pieces) {
                    w += units;
                    want += sjis;
                }
            const std::string bytes =
                "\xFF\xFE" + std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
            EXPECT_EQ(hex(Utf16BytesToSjis(bytes, true)), hex(want)) << lead;
        }
    }

    struct D {
        std::string text;
        TCharset want;
    };
    const D cases[] = {
        {"\xFF\xFE<", TCharset::Utf16Le},
        {"\xFE\xFF", TCharset::Utf16Be},
        {BOM + "<meta charset=euc-jp>", TCharset::Utf8},
        {"<meta charset=euc-jp>", TCharset::Euc},
        {"<body>text</body><meta charset=euc-jp>", TCharset::Unknown},
        {"text charset=\"euc-jp\"", TCharset::Unknown},
        {"a @charset \"euc-jp\";", TCharset::Unknown},
        {"<meta name=x content=\"text/html;charset=Windows-31J\">", TCharset::Sjis},
        {"<metadata charset=euc-jp>", TCharset::Unknown},
        {"", TCharset::Unknown},
    };
    for (const D& d : cases)
        EXPECT_EQ(static_cast<int>(DeclaredCharset(d.text)), static_cast<int>(d.want)) << d.text;
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
