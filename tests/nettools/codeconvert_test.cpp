// The character-code page's reading, left-to-right conversion and saving, over byte strings,
// against the iconv and nkf commands run on the same bytes.
#include "nettools/CodeConvert.h"
#include "support/ByteHex.h"
#include "ConvOracle.h"
#include "text/HtmlNormalize.h"
#include "text/JCode.h"
#include "text/SjisBytes.h"

#include <gtest/gtest.h>
#include <functional>
#include <random>

using namespace conv_oracle;

namespace {

struct Master {
    const char *name;
    std::string sjis;
};

std::vector<Master> masters()
{
    std::vector<Master> m{{"fixture", fixtureMaster()}};
    std::string why;
    std::string corpus = catalogueCorpus(why);
    if (corpus.empty()) std::printf("catalogue corpus skipped: %s\n", why.c_str());
    else m.push_back({"catalogues", corpus});
    return m;
}

std::string utf16(const std::string &sjis, const char *to) { return must(std::string("iconv -f CP932 -t ") + to, sjis); }

void expectBytes(const std::string &got, const std::string &want, const std::string &what)
{
    if (got == want) return;
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const size_t from = at > 16 ? at - 16 : 0;
    ADD_FAILURE() << what << ": first difference at byte " << at << " of " << got.size() << "/" << want.size()
                  << "\n got: " << hex(got.substr(from, 40)) << "\nwant: " << hex(want.substr(from, 40));
}

} // namespace

// One row per encoding item (and per byte-order form): the file the oracle makes from the
// master reads back into the master, with CR LF line ends and "UTF-8" named Shift_JIS.
TEST(CodeConvertRead, EveryEncodingReadsBackIntoTheMaster)
{
    ASSERT_TRUE(haveCommand("nkf")) << "nkf is needed (scripts/install-deps installs it)";
    for (const Master &m : masters()) {
        const std::string text = asReadText(m.sjis);
        struct Row {
            const char *what;
            int code;
            std::function<std::string()> file;
            std::string want;
        };
        const std::vector<Row> rows{
            {"Shift_JIS", cvSjis, [&] { return m.sjis; }, text},
            {"EUC-JP", cvEuc, [&] { return must("iconv -f CP932 -t EUC-JP-MS", m.sjis); }, text},
            {"UTF-8", cvUtf8, [&] { return must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8 with mark", cvUtf8, [&] { return "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8N", cvUtf8N, [&] { return must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8N with mark", cvUtf8N, [&] { return "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-16 FF FE", cvUtf16, [&] { return "\xFF\xFE" + utf16(m.sjis, "UTF-16LE"); }, text},
            {"UTF-16 FE FF", cvUtf16, [&] { return "\xFE\xFF" + utf16(m.sjis, "UTF-16BE"); }, text},
            {"UTF-16 no mark", cvUtf16, [&] { return utf16(m.sjis, "UTF-16LE"); }, text},
            // ISO-2022-JP has no half-width katakana: nkf makes them full-width both ways.
            {"ISO-2022-JP", cvJis, [&] { return must("nkf -S -j", m.sjis); },
             asReadText(must("nkf -S -s", m.sjis))},
            {"UTF-16 FF FE by auto", cvAuto, [&] { return "\xFF\xFE" + utf16(m.sjis, "UTF-16LE"); }, text},
            {"UTF-16 FE FF by auto", cvAuto, [&] { return "\xFE\xFF" + utf16(m.sjis, "UTF-16BE"); }, text},
        };
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(m.name) + " " + r.what);
            const TConvRead got = ReadConvSource(r.file(), r.code);
            expectBytes(got.Text, r.want, "right pane");
            if (std::string(r.what).find("UTF-16") != std::string::npos) expectBytes(got.Source, crlf(m.sjis), "decoded source");
        }
    }
}

TEST(CodeConvertRead, AutoFollowsTheDeclarationAndNamesShiftJis)
{
    const std::string master = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\r\n"
                               "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd\r\n"; // 日本語の文章
    const TConvRead r = ReadConvSource(must("iconv -f CP932 -t EUC-JP-MS", master), cvAuto);
    EXPECT_NE(r.Text.find("charset=Shift_JIS"), std::string::npos) << r.Text;
    EXPECT_NE(r.Text.find("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd\r\n"), std::string::npos) << hex(r.Text);
}

// The left pane keeps the file as read; converting it by the output item gives the text once,
// not the converted text decoded a second time.
TEST(CodeConvertLeftToRight, ConvertsTheSourceAsReadWithDeclarationsNamedShiftJis)
{
    const std::string master = fixtureMaster();
    struct Row {
        const char *what;
        int read, out;
        std::string file;
        bool renames; // whether the declarations become Shift_JIS
    };
    const std::vector<Row> rows{
        {"EUC-JP", cvEuc, cvEuc, must("iconv -f CP932 -t EUC-JP-MS", master), true},
        {"UTF-8", cvUtf8, cvUtf8, "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", master), false},
        {"UTF-8N", cvUtf8N, cvUtf8N, must("iconv -f CP932 -t UTF-8", master), false},
        {"ISO-2022-JP", cvJis, cvJis, must("nkf -S -j", master), true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const TConvRead read = ReadConvSource(r.file, r.read);
        // Only the declarations change; "UTF-8" in prose stays.
        const std::string text = r.read == cvJis ? must("nkf -S -s", master) : master;
        expectBytes(ConvertLeftToRight(read.Source, r.out), r.renames ? asReadText(text) : crlf(text), "right pane");
    }
    // The unchanged items give the source back.
    for (int out : {cvAuto, cvSjis, cvUtf16}) EXPECT_EQ(ConvertLeftToRight("\x82\xa0\r\n", out), "\x82\xa0\r\n");
}

// One row per output item: the saved bytes are the oracle's conversion of the pane's text
// with its declarations rewritten, every line ended for the line-list writes.
TEST(CodeConvertSave, EveryOutputItemWritesTheOraclesBytes)
{
    ASSERT_TRUE(haveCommand("nkf")) << "nkf is needed (scripts/install-deps installs it)";
    // The pane's declarations (meta tags, all naming Shift_JIS after the read) name the output.
    auto rewrite = [](std::string t, const char *name) {
        t = ReplaceAll(t, "charset=Shift_JIS\"", std::string("charset=") + name + "\"");
        return ReplaceAll(t, "charset=\"Shift_JIS\"", std::string("charset=\"") + name + "\"");
    };
    for (const Master &m : masters()) {
        // The pane's text: the master as read (no lone line ends, no last line end).
        std::string pane = asReadText(m.sjis);
        while (pane.size() >= 2 && pane.compare(pane.size() - 2, 2, "\r\n") == 0) pane.resize(pane.size() - 2);
        const std::string ended = pane + "\r\n";
        struct Row {
            int out;
            std::string want;
        };
        const std::vector<Row> rows{
            {cvAuto, pane},
            {cvSjis, pane},
            {cvEuc, must("iconv -f CP932 -t EUC-JP-MS", rewrite(pane, "EUC-JP"))},
            {cvUtf8, must("iconv -f CP932 -t UTF-8", rewrite(ended, "UTF-8"))},
            {cvUtf16, "\xFF\xFE" + utf16(rewrite(pane, "UTF-16"), "UTF-16LE")},
            {cvUtf8N, must("iconv -f CP932 -t UTF-8", rewrite(ended, "UTF-8"))},
            {cvJis, must("nkf -S -j", rewrite(ended, "iso-2022-jp"))},
        };
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(m.name) + " output " + std::to_string(r.out));
            expectBytes(BuildSaveBytes(pane, r.out, 0), r.want, "saved bytes");
        }
    }
}

TEST(CodeConvertSave, DeclarationsOfAllThreeFormsAndLetterCase)
{
    const std::string t = "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n"
                          "<META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=Shift_JIS\">\r\n"
                          "<meta charset=\"SHIFT_JIS\"><BODY>\x82\xa0</BODY>";
    const std::string jis = BuildSaveBytes(t, cvJis, 0);
    EXPECT_NE(jis.find(" encoding=\"iso-2022-jp\"?>"), std::string::npos) << jis;
    EXPECT_NE(jis.find("CHARSET=iso-2022-jp\">"), std::string::npos) << jis;
    EXPECT_NE(jis.find("<meta charset=\"iso-2022-jp\">"), std::string::npos) << jis;
    EXPECT_EQ(jis.find("Shift_JIS"), std::string::npos) << jis;
    EXPECT_EQ(jis.substr(jis.size() - 2), "\r\n");
    // Letter case 1 lower-cases the tags before the conversion.
    const std::string lower = BuildSaveBytes(t, cvEuc, 1);
    EXPECT_NE(lower.find("<body>"), std::string::npos) << lower;
    EXPECT_EQ(lower.find("<BODY>"), std::string::npos) << lower;
    EXPECT_NE(lower.find("\xA4\xA2"), std::string::npos) << hex(lower); // あ in EUC-JP
    // UTF-8 carries no byte-order mark.
    EXPECT_EQ(BuildSaveBytes("\x82\xa0", cvUtf8, 0), "\xE3\x81\x82\r\n");
}

// An XHTML page saved with "Unicode" declares UTF-16, so an XML parser takes it; read back with
// "自動" its byte-order mark decides, no line-end pass touches the UTF-16 bytes (《不》 hold the
// bytes of LF and CR), and saved with "そのまま" it is the page again.
TEST(CodeConvertUtf16, UnicodeSaveDeclaresUtf16AndReadsBack)
{
    ASSERT_TRUE(haveCommand("xmllint")) << "xmllint is needed (scripts/install-deps installs libxml2-utils)";
    const std::string page = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                             "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>\r\n"
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\" />\r\n"
                             "<title>\x81\x73\x95\x73\x81\x74</title></head>\r\n"
                             "<body><p>\x93\xfa\x96\x7b\x8c\xea LANG=ja_JP.UTF-8</p></body></html>";
    const std::string saved = BuildSaveBytes(page, cvUtf16, 0);
    EXPECT_EQ(hex(saved), hex("\xFF\xFE" + utf16(ReplaceAll(page, "Shift_JIS", "UTF-16"), "UTF-16LE")));
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("page.xhtml")).toStdString();
    writeBytes(file, saved);
    EXPECT_EQ(std::system(("xmllint --noout '" + file + "'").c_str()), 0);

    const TConvRead read = ReadConvSource(saved, cvAuto);
    EXPECT_EQ(hex(read.Text), hex(page));
    EXPECT_EQ(hex(BuildSaveBytes(read.Text, cvAuto, 0)), hex(page));
}

TEST(CodeConvertUtf16, MarksOrderAndOddBytes)
{
    const std::string a = "\x82\xa0"; // あ U+3042
    struct Row {
        std::string bytes, want;
    } rows[] = {
        {"\xFF\xFE\x42\x30", a},
        {"\xFE\xFF\x30\x42", a},
        {"\x42\x30", a},
        {std::string("\x42\x30\x0A\x00\x41\x00", 6), a + "\nA"},
        {"\xFF\xFE\x42\x30\x41", a},  // an odd last byte is no character
        {"\xFF\xFE\x3D\xD8\x00\xDE", "?"}, // what Shift_JIS lacks
        {"", ""},
    };
    for (const Row &r : rows) EXPECT_EQ(Utf16BytesToSjis(r.bytes), r.want) << hex(r.bytes);
    EXPECT_EQ(SjisToUtf16LeBytes(a + "\r\n"), std::string("\xFF\xFE\x42\x30\x0D\x00\x0A\x00", 8));

    // Long texts in both byte orders, a surrogate pair every third unit: however a long text
    // is taken in pieces, no pair is cut into two "?" and nothing is lost.
    std::string le = "\xFF\xFE", be = "\xFE\xFF", want;
    for (int k = 0; k < 400000; ++k) {
        le += std::string("a\0\x3D\xD8\x00\xDE", 6);
        be += std::string("\0a\xD8\x3D\xDE\x00", 6);
        want += "a?";
    }
    EXPECT_EQ(Utf16BytesToSjis(le), want);
    EXPECT_EQ(Utf16BytesToSjis(be), want);
}

// Names of encodings in the user's prose and commands are text, not declarations: no read
// and no save renames them, while the declaration beside them follows the encoding.
TEST(CodeConvertNames, ProseKeepsItsNames)
{
    const std::string prose = "LANG=fr_FR.UTF-8 C.UTF-8 ja_JP.UTF-8 \"UTF-8\" EUC-JP Shift_JIS\r\n";
    const std::string page = "<html><head><meta charset=\"utf-8\"></head><body>\r\n" + prose + "</body>";
    const std::string read = "<html><head><meta charset=\"Shift_JIS\"></head><body>\r\n" + prose + "</body>";
    for (const int code : {cvAuto, cvSjis, cvUtf8, cvUtf8N}) EXPECT_EQ(ReadConvSource(page, code).Text, read) << code;
    EXPECT_EQ(FinishConvText(page), read);
    struct Row {
        int out;
        const char *name;
    } rows[] = {{cvEuc, "EUC-JP"}, {cvUtf8, "UTF-8"}, {cvUtf8N, "UTF-8"}, {cvJis, "iso-2022-jp"}};
    for (const Row &r : rows) {
        const std::string saved = BuildSaveBytes(read, r.out, 0);
        EXPECT_NE(saved.find(std::string("<meta charset=\"") + r.name + "\">"), std::string::npos) << saved;
        EXPECT_NE(saved.find(prose), std::string::npos) << r.out << " " << saved;
    }
}

TEST(CodeConvertLines, LineEndsUnifiedAndTerminated)
{
    const std::pair<std::string, std::string> unify[] = {
        {"a\rb\nc\r\nd", "a\r\nb\r\nc\r\nd"}, {"a\r\r\nb", "a\r\n\r\nb"}, {"a\n\rb", "a\r\n\r\nb"}, {"", ""}};
    for (const auto &[in, want] : unify) EXPECT_EQ(UnifyLineEnds(in), want) << hex(in);
    EXPECT_EQ(TerminateLines("a\nb"), "a\r\nb\r\n");
    EXPECT_EQ(TerminateLines("a\r\n"), "a\r\n");
    EXPECT_EQ(TerminateLines(""), "");
}

namespace {

// Plain readings of the two rules, a character at a time, for the randomized comparison below.
std::string plainUnify(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r' && s[i] != '\n') {
            out += s[i];
            continue;
        }
        out += "\r\n";
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    }
    return out;
}

} // namespace

// Random texts thick with declarations in every spelling, their fragments, trail bytes that
// look like their first letters and line ends of every kind, long enough to cross the
// sixteen-byte steps of the line-end check: the fast walks give what the plain rules give.
TEST(CodeConvertLines, FastWalksAgreeWithThePlainRules)
{
    const char *const pieces[] = {"charset=Shift_JIS", "CHARSET=shift_jis", " encoding=\"Shift_JIS\"?>",
                                  "\"SHIFT_JIS\"", "Shift_J", "_", "charset=EUC-JP", " encoding=\"euc-jp\"?>",
                                  "\"Euc-Jp\"", "\"iso-2022-JP\"", "UTF-8", "utf-8", "UTF-", "-", "\x83\x5F",
                                  "\x83", "\x82\xA0", "\xB1", "a", " ", "\r", "\n", "\r\n", "\n\r"};
    std::mt19937 rng(110);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    for (int round = 0; round < 300; ++round) {
        std::string t;
        const int n = 1 + round % 60;
        for (int k = 0; k < n; ++k) t += pieces[pick(rng)];
        SCOPED_TRACE(hex(t));
        ASSERT_EQ(hex(UnifyLineEnds(t)), hex(plainUnify(t)));
        std::string roomy; // a buffer with room is rewritten in place
        roomy.reserve(2 * t.size() + 16);
        roomy = t;
        ASSERT_EQ(hex(UnifyLineEnds(std::move(roomy))), hex(plainUnify(t)));
        // Names outside any tag are no declarations.
        ASSERT_EQ(hex(ReadConvSource(t, cvSjis).Text), hex(plainUnify(t)));
    }
    // Long texts, a line end at each place around the 64 KB pieces the copy is made in.
    for (size_t at = 65530; at < 65540; ++at)
        for (const char *ends : {"\r\n\n", "\r\r", "\n\r\n"}) {
            const std::string t = std::string(at, 'a') + ends + std::string(70000, 'b') + "\n";
            ASSERT_EQ(UnifyLineEnds(t), plainUnify(t)) << at << " " << hex(ends);
            std::string roomy;
            roomy.reserve(t.size() + 16);
            roomy = t;
            ASSERT_EQ(UnifyLineEnds(std::move(roomy)), plainUnify(t)) << at << " " << hex(ends);
        }
}
