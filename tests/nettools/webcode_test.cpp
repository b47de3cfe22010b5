// The web code page's encodings and decodings, over byte strings, against the nkf, iconv and
// base64 commands run on the same bytes.
#include "nettools/WebCode.h"
#include "support/ByteHex.h"
#include "ConvOracle.h"

#include <gtest/gtest.h>

using namespace conv_oracle;

namespace {

std::vector<std::pair<std::string, std::string>> corpora()
{
    // The memos hold CR LF line ends.
    std::vector<std::pair<std::string, std::string>> c{{"fixture", crlf(fixtureMaster())}};
    std::string why;
    const std::string cat = catalogueCorpus(why, 100000);
    if (cat.empty()) std::printf("catalogue corpus skipped: %s\n", why.c_str());
    else c.emplace_back("catalogues", cat);
    return c;
}

const char *kItems[] = {"EUC", "Unicode", "UFT-8", "Web16", "Base64", "JIS", "16EUC", "16UTF-8"};

} // namespace

// Decoding what was encoded gives the text back, with half-width katakana made full-width
// where the item does so; the byte forms equal the oracles'.
TEST(WebCode, EveryItemRoundTripsAndMatchesItsOracle)
{
    ASSERT_TRUE(haveCommand("nkf")) << "nkf is needed (scripts/install-deps installs it)";
    for (const auto &[name, text] : corpora()) {
        const std::string fullWidth = must("nkf -S -s", text);
        for (int item = wcEuc; item <= wcHexUtf8; ++item) {
            SCOPED_TRACE(std::string(name) + " " + kItems[item]);
            const std::string enc = WebEncode(text, item, wlKeep);
            const bool widens = item == wcEuc || item == wcJis;
            const std::string back = WebDecode(enc, item);
            EXPECT_EQ(back, widens ? fullWidth : text) << "round trip";
            switch (item) {
            case wcEuc: EXPECT_EQ(enc, must("nkf -S -e", text)); break;
            case wcUnicode: EXPECT_EQ(enc, text); break;
            case wcUtf8: EXPECT_EQ(enc, must("iconv -f CP932 -t UTF-8", text)); break;
            case wcBase64:
                EXPECT_EQ(enc, must("base64 -w0", text));
                EXPECT_EQ(must("base64 -d", enc), text);
                break;
            case wcJis: EXPECT_EQ(must("nkf -J -s", enc), fullWidth); break;
            default: break;
            }
        }
        // Decoding the oracles' forms.
        SCOPED_TRACE(name);
        EXPECT_EQ(WebDecode(must("iconv -f CP932 -t EUC-JP-MS", text), wcEuc), text);
        EXPECT_EQ(WebDecode(must("iconv -f CP932 -t UTF-8", text), wcUtf8), text);
        EXPECT_EQ(WebDecode(must("nkf -S -j", text), wcJis), fullWidth);
    }
}

TEST(WebCode, PercentFormsOfSmallTexts)
{
    struct Row {
        int item;
        std::string text, encoded;
    } rows[] = {
        {wcWebHex, "\x82\xa0", "%82%a0"},        // あ
        {wcHexUtf8, " ", "+"},
        {wcHexUtf8, "\x82\xa0", "%e3%81%82"},
        // "(" escaped, "*", "&" kept, a blank as "+", the lines joined by LF.
        {wcHexEuc, "(a*b&c d)\r\n\x82\xa0", "%28a*b&c+d%29%0a%a4%a2"},
        // ⅰ and 髙 (IBM extensions) as the three-byte codes EUC-JP holds them in.
        {wcHexEuc, "\xFA\x40\xFB\xFC", "%8f%f3%f3%8f%f4%fb"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(kItems[r.item]);
        EXPECT_EQ(WebEncode(r.text, r.item, wlKeep), r.encoded);
        EXPECT_EQ(WebDecode(r.encoded, r.item), r.text);
    }
    // 纊 of the NEC-selected rows is written as the code other programs read (its IBM twin's).
    EXPECT_EQ(WebEncode("\xED\x40", wcHexEuc, wlKeep), "%8f%d4%e3");
    EXPECT_EQ(WebEncode("\x82\xa0", wcHexUtf8, wlUpper), "%E3%81%82");
    EXPECT_EQ(WebEncode("A\x82\xa0", wcHexUtf8, wlLower), "a%e3%81%82");
}

// The EUC forms keep one CR LF per line end (they made CR CR LF of it).
TEST(WebCode, EucFormsKeepOneCrLf)
{
    const std::string twoLines = "\x82\xa0\r\n\x82\xa2\n";  // あ CR LF い LF
    EXPECT_EQ(WebEncode(twoLines, wcEuc, wlKeep), "\xA4\xA2\r\n\xA4\xA4\r\n");
    EXPECT_EQ(WebDecode("\xA4\xA2\r\n\xA4\xA4\n", wcEuc), "\x82\xa0\r\n\x82\xa2\r\n");
    EXPECT_EQ(WebDecode("%a4%a2%0d%0a%a4%a4%0a", wcHexEuc), "\x82\xa0\r\n\x82\xa2\r\n");
}

// The right side's copy upper-cases the escapes of the percent forms only: a Base64 text or
// the bytes of a character come through as they are.
TEST(WebCode, RightCopyUpperCasesOnlyPercentEscapes)
{
    EXPECT_EQ(WebRightCopy("%e3%81%82+x%zz%a", wcHexUtf8), "%E3%81%82+x%zz%a");
    EXPECT_EQ(WebRightCopy("%82%a0", wcWebHex), "%82%A0");
    const std::string b64 = WebEncode("\x83\x61", wcBase64, wlKeep);  // ヂ
    EXPECT_EQ(WebRightCopy(b64, wcBase64), b64);
    const std::string sjisKata = "\x83\x61\x83\x80";  // ヂミ: JIS bytes "%B" and "%a" in two-byte mode
    for (int item : {wcEuc, wcUtf8, wcJis}) {
        const std::string enc = WebEncode(sjisKata, item, wlKeep);
        EXPECT_EQ(WebRightCopy(enc, item), enc) << kItems[item] << " " << hex(enc);
    }
    EXPECT_FALSE(WebEncodeHasRightCopy(wcUnicode));
    EXPECT_TRUE(WebEncodeHasRightCopy(wcBase64));
}

TEST(WebCode, Utf8EncodeIsTheUtf8BytesUnchanged)
{
    // Characters whose UTF-8 bytes are no Shift_JIS text: the code page would have changed them.
    const std::string text = "\x83\x61\x95\x5c\x81\x60\x87\x40";  // ヂ表～①
    EXPECT_EQ(WebEncode(text, wcUtf8, wlKeep), must("iconv -f CP932 -t UTF-8", text));
}
