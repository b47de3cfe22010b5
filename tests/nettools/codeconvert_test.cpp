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
        // Read as EUC-JP or ISO-2022-JP, the text's own declarations of it are named Shift_JIS.
        auto declaring = [](std::string t, const char *meta, const char *xml, const char *bare) {
            t = ReplaceAllIgnoreCase(t, std::string("charset=") + meta, "charset=Shift_JIS");
            t = ReplaceAllIgnoreCase(t, std::string(" encoding=\"") + xml + "\"?>", " encoding=\"Shift_JIS\"?>");
            return ReplaceAllIgnoreCase(t, std::string("\"") + bare + "\"", "\"Shift_JIS\"");
        };
        struct Row {
            const char *what;
            int code;
            std::function<std::string()> file;
            std::string want;
        };
        const std::vector<Row> rows{
            {"Shift_JIS", cvSjis, [&] { return m.sjis; }, text},
            {"EUC-JP", cvEuc, [&] { return must("iconv -f CP932 -t EUC-JP-MS", m.sjis); },
             declaring(text, "EUC-JP", "euc-jp", "EUC-JP")},
            {"UTF-8", cvUtf8, [&] { return must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8 with mark", cvUtf8, [&] { return "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8N", cvUtf8N, [&] { return must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-8N with mark", cvUtf8N, [&] { return "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", m.sjis); }, text},
            {"UTF-16 FF FE", cvUtf16, [&] { return "\xFF\xFE" + utf16(m.sjis, "UTF-16LE"); }, text},
            {"UTF-16 FE FF", cvUtf16, [&] { return "\xFE\xFF" + utf16(m.sjis, "UTF-16BE"); }, text},
            {"UTF-16 no mark", cvUtf16, [&] { return utf16(m.sjis, "UTF-16LE"); }, text},
            // ISO-2022-JP has no half-width katakana: nkf makes them full-width both ways.
            {"ISO-2022-JP", cvJis, [&] { return must("nkf -S -j", m.sjis); },
             declaring(asReadText(must("nkf -S -s", m.sjis)), "iso-2022-jp", "iso-2022-jp", "iso-2022-jp")},
        };
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(m.name) + " " + r.what);
            const TConvRead got = ReadConvSource(r.file(), r.code);
            expectBytes(got.Text, r.want, "right pane");
            if (r.code == cvUtf16) expectBytes(got.Source, m.sjis, "decoded source");
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
        std::vector<std::pair<std::string, std::string>> decls; // forms that become Shift_JIS
    };
    const std::vector<Row> rows{
        {"EUC-JP", cvEuc, cvEuc, must("iconv -f CP932 -t EUC-JP-MS", master),
         {{"charset=EUC-JP", "charset=Shift_JIS"}, {" encoding=\"euc-jp\"?>", " encoding=\"Shift_JIS\"?>"},
          {"\"EUC-JP\"", "\"Shift_JIS\""}}},
        {"UTF-8", cvUtf8, cvUtf8, "\xEF\xBB\xBF" + must("iconv -f CP932 -t UTF-8", master), {}},
        {"UTF-8N", cvUtf8N, cvUtf8N, must("iconv -f CP932 -t UTF-8", master), {}},
        {"ISO-2022-JP", cvJis, cvJis, must("nkf -S -j", master),
         {{"charset=iso-2022-jp", "charset=Shift_JIS"}, {" encoding=\"iso-2022-jp\"?>", " encoding=\"Shift_JIS\"?>"},
          {"\"iso-2022-jp\"", "\"Shift_JIS\""}}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const TConvRead read = ReadConvSource(r.file, r.read);
        // Only the declarations change; "UTF-8" in prose stays.
        std::string want = crlf(r.read == cvJis ? must("nkf -S -s", master) : master);
        for (const auto &[from, to] : r.decls) want = ReplaceAllIgnoreCase(want, from, to);
        expectBytes(ConvertLeftToRight(read.Source, r.out), want, "right pane");
    }
    // The unchanged items give the source back.
    for (int out : {cvAuto, cvSjis, cvUtf16}) EXPECT_EQ(ConvertLeftToRight("\x82\xa0\r\n", out), "\x82\xa0\r\n");
}

// One row per output item: the saved bytes are the oracle's conversion of the pane's text
// with its declarations rewritten, every line ended for the line-list writes.
TEST(CodeConvertSave, EveryOutputItemWritesTheOraclesBytes)
{
    ASSERT_TRUE(haveCommand("nkf")) << "nkf is needed (scripts/install-deps installs it)";
    const std::vector<std::pair<std::string, std::string>> toEuc{
        {"charset=Shift_JIS", "charset=EUC-JP"}, {" encoding=\"Shift_JIS\"?>", " encoding=\"euc-jp\"?>"},
        {"\"Shift_JIS\"", "\"EUC-JP\""}};
    const std::vector<std::pair<std::string, std::string>> toUtf8{
        {"charset=Shift_JIS", "charset=UTF-8"}, {" encoding=\"Shift_JIS\"?>", " encoding=\"UTF-8\"?>"},
        {"\"Shift_JIS\"", "\"UTF-8\""}};
    const std::vector<std::pair<std::string, std::string>> toJis{
        {"charset=Shift_JIS", "charset=iso-2022-jp"}, {" encoding=\"Shift_JIS\"?>", " encoding=\"iso-2022-jp\"?>"},
        {"\"Shift_JIS\"", "\"iso-2022-jp\""}};
    auto rewrite = [](std::string t, const std::vector<std::pair<std::string, std::string>> &decls) {
        for (const auto &[from, to] : decls) t = ReplaceAll(t, from, to);
        return t;
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
            {cvEuc, must("iconv -f CP932 -t EUC-JP-MS", rewrite(pane, toEuc))},
            {cvUtf8, must("iconv -f CP932 -t UTF-8", rewrite(ended, toUtf8))},
            {cvUtf16, "\xFF\xFE" + utf16(pane, "UTF-16LE")},
            {cvUtf8N, must("iconv -f CP932 -t UTF-8", rewrite(ended, toUtf8))},
            {cvJis, must("nkf -S -j", rewrite(ended, toJis))},
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
                          "<BODY><meta charset=\"SHIFT_JIS\">\x82\xa0</BODY>";
    const std::string jis = BuildSaveBytes(t, cvJis, 0);
    EXPECT_NE(jis.find(" encoding=\"iso-2022-jp\"?>"), std::string::npos) << jis;
    EXPECT_NE(jis.find("charset=iso-2022-jp\">"), std::string::npos) << jis;
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

// A name is renamed only where it begins a character: after a lead byte, "c" or "U" is the
// second byte of a double-byte character, and the text goes on unchanged.
TEST(CodeConvertNames, ATrailByteBeginsNoName)
{
    const std::string lead = "\x83", kanji = "\x83\x83"; // a lone lead byte, then a whole character
    struct Row {
        std::string in, want;
    } reads[] = {
        {lead + "UTF-8 x", lead + "UTF-8 x"},
        {lead + "utf-8 x", lead + "utf-8 x"},
        {kanji + "UTF-8 x", kanji + "Shift_JIS x"},
    };
    for (const Row &r : reads) EXPECT_EQ(ReadConvSource(r.in, cvSjis).Text, r.want) << hex(r.in);
    struct Decl {
        std::string in, want;
    } decls[] = {
        {lead + "charset=Shift_JIS", lead + "charset=Shift_JIS"},
        {lead + "CHARSET=shift_jis", lead + "CHARSET=shift_jis"},
        {kanji + "charset=Shift_JIS", kanji + "charset=EUC-JP"},
    };
    for (const Decl &d : decls)
        EXPECT_EQ(RewriteDeclarations(d.in, TDeclCode::Sjis, TDeclCode::Euc), d.want) << hex(d.in);
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

std::string plainReplace(const std::string &s, const std::vector<std::pair<std::string, std::string>> &reps)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    std::string out;
    for (size_t i = 0; i < s.size();) {
        bool replaced = false;
        for (const auto &[from, to] : reps) {
            size_t j = 0;
            while (j < from.size() && i + j < s.size() && lower(s[i + j]) == lower(from[j])) ++j;
            if (j < from.size()) continue;
            out += to;
            i += from.size();
            replaced = true;
            break;
        }
        if (replaced) continue;
        const size_t len = isSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        out.append(s, i, len);
        i += len;
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
    const std::vector<std::pair<std::string, std::string>> sjisToEuc = {
        {"charset=Shift_JIS", "charset=EUC-JP"},
        {" encoding=\"Shift_JIS\"?>", " encoding=\"euc-jp\"?>"},
        {"\"Shift_JIS\"", "\"EUC-JP\""}};
    const std::vector<std::pair<std::string, std::string>> eucToSjis = {
        {"charset=EUC-JP", "charset=Shift_JIS"},
        {" encoding=\"euc-jp\"?>", " encoding=\"Shift_JIS\"?>"},
        {"\"EUC-JP\"", "\"Shift_JIS\""}};
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
        ASSERT_EQ(hex(RewriteDeclarations(t, TDeclCode::Sjis, TDeclCode::Euc)), hex(plainReplace(t, sjisToEuc)));
        ASSERT_EQ(hex(RewriteDeclarations(t, TDeclCode::Euc, TDeclCode::Sjis)), hex(plainReplace(t, eucToSjis)));
        ASSERT_EQ(hex(ReadConvSource(t, cvSjis).Text), hex(plainReplace(plainUnify(t), {{"UTF-8", "Shift_JIS"}})));
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
