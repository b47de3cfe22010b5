// Generated input fed to the download's text routines: how a fetched sheet or script is
// decoded, and how URLs become keys, requests and local names.
#include "download/TextDecode.h"
#include "download/UrlMapper.h"
#include "text/CssScan.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iconv.h>
#include <set>

namespace {

std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }
std::string euc(const char *utf8) { return SjisToEuc(J(utf8), 0); }

// One character of code page 932 as UTF-8, "" when the pair is no character.
std::string cp932Char(unsigned char lead, unsigned char trail)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    char *ip = in, *op = out;
    size_t il = 2, ol = sizeof out;
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
    iconv_close(cd);
    return ok ? std::string(out, op - out) : std::string();
}

} // namespace

TEST(TextDecode, SheetsAndScriptsAreNeverJudgedByTheWordsTheyHold)
{
    const std::string jp = J("'日本語'");
    const struct {
        const char *name;
        std::string bytes, contentType;
        FetchedKind kind;
        std::string referrer, want;
    } cases[] = {
        {"script writing an euc-jp meta", J("document.write(\"<meta charset=\\\"euc-jp\\\">\"); var s = '日本語';"), "",
         FetchedKind::Script, "", jp},
        {"sheet naming euc-jp in a comment", J("/* euc-jp */ .a:after { content: '日本語' }"), "text/css",
         FetchedKind::Css, "", jp},
        {"script naming iso-2022-jp", J("var c = 'charset=iso-2022-jp'; var s = '日本語';"), "", FetchedKind::Script, "",
         "charset=iso-2022-jp"},
        {"EUC-JP sheet of an EUC-JP page", euc(".a:after { content: 'にほんご日本語' }"), "", FetchedKind::Css, "euc-jp",
         J("'にほんご日本語'")},
        {"EUC-JP sheet by its bytes", euc(".a:after { content: 'にほんご日本語' }"), "", FetchedKind::Css, "",
         J("'にほんご日本語'")},
        {"UTF-8 script by its bytes", "var s = '日本語';", "", FetchedKind::Script, "shift_jis", jp},
        {"the server's charset first", euc("var s = '日本語';"), "application/javascript; charset=EUC-JP",
         FetchedKind::Script, "utf-8", jp},
        {"@charset at the sheet's start", "@charset \"UTF-8\";\n.a:after { content: '日本語' }", "", FetchedKind::Css,
         "shift_jis", jp},
        {"a byte-order mark", "\xEF\xBB\xBFvar s = '日本語';", "text/plain; charset=shift_jis", FetchedKind::Script, "",
         jp},
    };
    for (const auto &c : cases) {
        const DecodedText d = DecodeToSjis(c.bytes, c.contentType, c.kind, c.referrer);
        EXPECT_NE(d.Sjis.find(c.want), std::string::npos) << c.name << ": " << SjisToUtf8(d.Sjis);
        // A converted file converted again changes nothing.
        EXPECT_EQ(DecodeToSjis(d.Sjis, "", c.kind, c.referrer).Sjis, d.Sjis) << c.name;
        EXPECT_EQ(DecodeToSjis(d.Sjis, "", c.kind).Sjis, d.Sjis) << c.name;
    }
}

TEST(UrlMapper, NamesWhoseSecondByteIsABarKeepEveryCharacter)
{
    // Every character of code page 932 whose second byte is "|", raw and percent-encoded as
    // UTF-8, keeps its name (ポスター is no ミスター).
    QTemporaryDir dir;
    UrlMapper m(dir.path().toStdString(), "http://h/");
    int n = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        const std::string utf8 = cp932Char(static_cast<unsigned char>(lead), 0x7C);
        if (utf8.empty()) continue;
        ++n;
        const std::string sjis{static_cast<char>(lead), '\x7C'};
        if (Utf8ToAnsi(utf8) != sjis) continue; // a duplicate code whose character has its own
        std::string escaped;
        for (unsigned char b : utf8) {
            static const char hex[] = "0123456789ABCDEF";
            escaped += '%';
            escaped += hex[b >> 4];
            escaped += hex[b & 15];
        }
        EXPECT_EQ(m.Peek("http://h/" + sjis + ".html").Rel, sjis + ".html") << utf8;
        EXPECT_EQ(m.Peek("http://h/" + escaped + ".html").Rel, sjis + ".html") << utf8;
        EXPECT_EQ(UrlKey("http://h/" + sjis + ".html"), "http://h/" + escaped + ".html") << utf8;
    }
    EXPECT_GT(n, 30);
    EXPECT_EQ(m.Peek("http://h/a|b.html").Rel, "a~b.html");
}

TEST(UrlMapper, OneUrlOneKeyAndDistinctUrlsDistinctFiles)
{
    const struct {
        std::string a, b;
    } same[] = {
        {"http://h/d/a b.png", "http://h/d/a%20b.png"},
        {"http://h/" + J("日本.png"), "http://h/%E6%97%A5%E6%9C%AC.png"},
        {"http://h/x/../a.png#f", "http://H/a.png"},
    };
    for (const auto &s : same) EXPECT_EQ(UrlKey(s.a), UrlKey(s.b)) << s.a;

    // Bytes that are no Shift_JIS character stay apart, on disk too.
    QTemporaryDir dir;
    UrlMapper m(dir.path().toStdString(), "http://h/");
    std::set<std::string> names;
    for (const char *u : {"http://h/a\x80.png", "http://h/a\xA0.png", "http://h/a%FD.png", "http://h/a%FE.png"}) {
        const UrlMapper::Result r = m.Map(u);
        ASSERT_TRUE(r.ok()) << u;
        EXPECT_TRUE(names.insert(ToSystemPath(r.Abs)).second) << u << " -> " << r.Rel;
    }
}

TEST(UrlMapper, RequestsAsABrowserSendsThem)
{
    const std::string key = UrlKey("http://h/" + J("画像/写真 1.png") + "?q=" + J("日本"));
    EXPECT_EQ(WireUrl(key, "utf-8"), "http://h/%E7%94%BB%E5%83%8F/%E5%86%99%E7%9C%9F%201.png?q=%E6%97%A5%E6%9C%AC");
    EXPECT_EQ(WireUrl(key, "shift_jis"), "http://h/%E7%94%BB%E5%83%8F/%E5%86%99%E7%9C%9F%201.png?q=%93%FA%96%7B");
    EXPECT_EQ(WireUrl(key, "euc-jp"), "http://h/%E7%94%BB%E5%83%8F/%E5%86%99%E7%9C%9F%201.png?q=%C6%FC%CB%DC");
    // The page's own encoding, tried once after a 404, for the path.
    EXPECT_EQ(LegacyWireUrl("http://h/%E6%97%A5.png", "shift_jis"), "http://h/%93%FA.png");
    EXPECT_EQ(LegacyWireUrl("http://h/%E6%97%A5.png", "euc-jp"), "http://h/%C6%FC.png");
    EXPECT_EQ(LegacyWireUrl("http://h/%E6%97%A5.png", "utf-8"), "");
    EXPECT_EQ(LegacyWireUrl("http://h/a%20b.png", "shift_jis"), "");
}

TEST(CssRewrite, ValuesKeepTheirQuoteAndStayValidCss)
{
    // Each reference rewritten to a value with both quote kinds: the token keeps its quote,
    // escapes what would end it, and the sheet still yields the same references after it.
    const std::string css = "a{background:url('x.png')} b{background:url(\"y.png\")} c{background:url(z.png)} d{color:red}";
    const std::string value = "../a\"b'c.png";
    const std::string out = RewriteCssRefs(css, [&](const CssRef &, const std::string &) { return value; });
    const std::vector<CssRef> refs = ScanCssRefs(out);
    ASSERT_EQ(refs.size(), 3u) << out;
    EXPECT_EQ(refs[0].quote, '\'');
    EXPECT_EQ(refs[1].quote, '"');
    EXPECT_NE(out.find("d{color:red}"), std::string::npos) << out;
    EXPECT_NE(out.find("url('../a\"b\\'c.png')"), std::string::npos) << out;
    EXPECT_NE(out.find("url(\"../a\\\"b'c.png\")"), std::string::npos) << out;
    // An escape already in a value stays one escape.
    const std::string esc = "e{background:url('x\\ y.png')}";
    EXPECT_EQ(RewriteCssRefs(esc, [](const CssRef &, const std::string &v) { return v; }), esc);
}
