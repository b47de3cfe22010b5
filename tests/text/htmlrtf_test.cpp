#include "text/HtmlRtf.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Tokens = std::vector<std::pair<THtmlTokenKind, std::string>>;

Tokens tokenize(const std::string& text)
{
    TqelHTMLRTF h;
    h.SetText(text);
    Tokens out;
    while (!h.GetEol()) {
        out.emplace_back(h.TokenKind(), h.GetToken());
        h.Next();
    }
    return out;
}

std::string kindName(THtmlTokenKind k)
{
    static const char* const names[] = {"Entity", "ServerScript", "Comment", "AttrName", "Tag", "End",
                                        "Space", "String", "Symbol", "Text", "UnknownTag", "AttrValue"};
    return names[k];
}

std::string show(const Tokens& t)
{
    std::string s;
    for (const auto& [k, text] : t)
        s += kindName(k) + "[" + text + "] ";
    return s;
}

} // namespace

TEST(HtmlRtf, TokenStreams)
{
    struct Case {
        const char* name;
        std::string input;
        Tokens expected;
    };
    const std::vector<Case> cases = {
        {"paragraph line",
         "<P align=\"center\">word</P>",
         {{htkSymbol, "<"}, {htkTag, "P"}, {htkSpace, " "}, {htkAttrName, "align"}, {htkSymbol, "="},
          {htkAttrValue, "\"center\""}, {htkSymbol, ">"}, {htkText, "word"}, {htkSymbol, "<"}, {htkTag, "/P"},
          {htkSymbol, ">"}}},
        {"unclosed comment runs to the end, one token per line",
         "<!-- a\r\nb <p>",
         {{htkComment, "<!--"}, {htkComment, " a"}, {htkSpace, "\r\n"}, {htkComment, "b <p>"}}},
        {"comment closed on its line",
         "<!-- x -->y",
         {{htkComment, "<!--"}, {htkComment, " x -->"}, {htkText, "y"}}},
        {"server script over several lines",
         "<% a\r\nb %>c",
         {{htkServerScript, "<%"}, {htkServerScript, " a"}, {htkSpace, "\r\n"}, {htkServerScript, "b %>"},
          {htkText, "c"}}},
        {"entity against a bare ampersand",
         "a&amp;b & c",
         {{htkText, "a"}, {htkEntity, "&amp;"}, {htkText, "b & c"}}},
        {"text that begins with an entity",
         "&lt;x",
         {{htkText, ""}, {htkEntity, "&lt;"}, {htkText, "x"}}},
        {"short texts beginning with an ampersand read nothing beyond their end",
         "&am",
         {{htkText, "&am"}}},
        {"closing form that the keyword list lacks",
         "</BR>",
         {{htkSymbol, "<"}, {htkUnknownTag, "/BR"}, {htkSymbol, ">"}}},
        {"lower-case and numbered tag names",
         "<table><h1>",
         {{htkSymbol, "<"}, {htkTag, "table"}, {htkSymbol, ">"}, {htkSymbol, "<"}, {htkTag, "h1"}, {htkSymbol, ">"}}},
        {"single quotes make no string",
         "<a href='x y'>",
         {{htkSymbol, "<"}, {htkTag, "a"}, {htkSpace, " "}, {htkAttrName, "href"}, {htkSymbol, "="},
          {htkAttrValue, "'x"}, {htkSpace, " "}, {htkAttrName, "y'"}, {htkSymbol, ">"}}},
        {"unquoted value and a string inside a tag",
         "<td width=100 \"q\">",
         {{htkSymbol, "<"}, {htkTag, "td"}, {htkSpace, " "}, {htkAttrName, "width"}, {htkSymbol, "="},
          {htkAttrValue, "100"}, {htkSpace, " "}, {htkString, "\"q\""}, {htkSymbol, ">"}}},
        {"text before any tag is text",
         "Hello world<b>",
         {{htkText, "Hello world"}, {htkSymbol, "<"}, {htkTag, "b"}, {htkSymbol, ">"}}},
        {"tag name hashing to 244 or more",
         "<ZZZZZZZZZZ>",
         {{htkSymbol, "<"}, {htkAttrName, "ZZZZZZZZZZ"}, {htkSymbol, ">"}}},
        {"unknown tag name",
         "<foo>",
         {{htkSymbol, "<"}, {htkUnknownTag, "foo"}, {htkSymbol, ">"}}},
        {"a tab starts its own blank run; LF alone is a blank token",
         "a \t b\nc",
         {{htkText, "a "}, {htkSpace, "\t "}, {htkText, "b"}, {htkSpace, "\n"}, {htkText, "c"}}},
        {"scanning goes on past a zero byte",
         std::string("a\0b<p>", 6),
         {{htkText, "a"}, {htkSpace, std::string(1, '\0')}, {htkText, "b"}, {htkSymbol, "<"}, {htkTag, "p"},
          {htkSymbol, ">"}}},
        {"Shift_JIS text and a lead byte right after <",
         "\x95\x5c<\x82\xa0>",
         {{htkText, "\x95\x5c"}, {htkSymbol, "<"}, {htkUnknownTag, ""}, {htkAttrName, "\x82\xa0"}, {htkSymbol, ">"}}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(tokenize(c.input)), show(c.expected)) << c.name;
}

TEST(HtmlRtf, KeywordsAreFoundInEitherCase)
{
    for (const char* kw : {"!DOCTYPE", "BLOCKQUOTE", "/BLOCKQUOTE", "H6", "/XMP", "WBR", "A", "/A"}) {
        std::string lower = kw;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& name : {std::string(kw), lower}) {
            const Tokens t = tokenize("<" + name + ">");
            ASSERT_EQ(t.size(), 3u) << name;
            EXPECT_EQ(t[1].first, htkTag) << name;
        }
    }
}

TEST(HtmlRtf, RunColours)
{
    TqelHTMLRTF h;
    struct Case {
        int kind;
        std::string token;
        std::string run;
    };
    for (const Case& c : std::vector<Case>{
             {8, "  // note", "\\cf2   // note"},
             {8, "a // b", "\\cf8 a // b"},
             {8, "/", "\\cf8 /"},
             {10, "\"v\"", "\\cf6 \"v\""},
             {10, "v", "\\cf10 v"},
             {10, "//v", "\\cf2 //v"},
         })
        EXPECT_EQ(h.FormatToken(c.kind, c.token), c.run) << c.token;
}

TEST(HtmlRtf, EscapingKeepsDoubleByteCharactersWhole)
{
    TqelHTMLRTF h;
    struct Case {
        std::string in;
        std::string out;
    };
    for (const Case& c : std::vector<Case>{
             {"a\\b{c}", "a\\\\b\\{c\\}"},
             // ソ 表 十 with trail bytes 0x5C, 0x5C, 0x7B; 申 with 0x5C; ｱ half-width.
             {"\x83\x5c\x95\x5c\x8f\x5c", "\\'83\\'5c\\'95\\'5c\\'8f\\'5c"},
             {"\x8f\x7b}", "\\'8f\\'7b\\}"},
             {"\xb1x", "\\'b1x"},
             {"\x81", "\\'81"}, // a lone lead byte at the end stays a byte of its own
             {"\t", "\\tab "},
             {std::string("\0\x01", 2), "\\'00\\'01"},
             {"\r\n", "\r\n"},
         }) {
        std::string t = c.in;
        h.EscapeToken(t);
        EXPECT_EQ(t, c.out);
    }
}

TEST(HtmlRtf, GoldenDocument)
{
    TqelHTMLRTF h;
    h.SetText("<p class=x>\x95\x5c{}\\ &amp;</p>\r\nz\n");
    const std::string expected =
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deftab720{\\fonttbl{\\f0\\fmodern\\fcharset128 Courier New;}}\r\n"
        "{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;\\red128\\green0\\blue0;\\red255\\green0\\blue0;"
        "\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;\\red255\\green0\\blue255;"
        "\\red0\\green0\\blue255;\\red255\\green0\\blue0;\\red0\\green0\\blue0;\\red0\\green0\\blue0;}\r\n"
        "\\deflang1033\\pard\\plain\\f0\\fs20\\f0 "
        "\\cf7 <\\cf4 p\\cf5  \\cf3 class\\cf7 =\\cf10 x\\cf7 >\\cf8 \\'95\\'5c\\{\\}\\\\ \\cf11 &amp;"
        "\\cf7 <\\cf4 /p\\cf7 >\\par \\cf5 \r\n\\cf8 z\\par \\cf5 \n\\par }";
    EXPECT_EQ(h.GetRtfText(), expected);
}

TEST(HtmlRtf, AlternateColours)
{
    TqelHTMLRTF h;
    h.SetAlternateColors();
    EXPECT_EQ(h.FColorTable,
              "{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;\\red128\\green0\\blue0;\\red0\\green0\\blue0;"
              "\\red0\\green0\\blue255;\\red0\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;"
              "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue0;\\red0\\green0\\blue0;}\r\n");
}

// Random bytes drawn mostly from the scanner's special characters: every byte ends up in
// exactly one token, in order, and the scan ends. Run under AddressSanitizer this also
// proves that no handler reads past the end.
TEST(HtmlRtf, FuzzTokensCoverTheTextExactly)
{
    std::mt19937 rng(12345);
    const char raw[] = "<>=\"&!-%/ \t\r\n\0amp;lt#1PpZ\x81\x5c\x95\xe0{}\\";
    const std::string alphabet(raw, sizeof raw - 1);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 40, ' ');
        for (char& c : text)
            c = (rng() % 4 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        TqelHTMLRTF h;
        h.SetText(std::string(text)); // a temporary: the object must not keep a reference to it
        std::string joined;
        std::size_t steps = 0;
        while (!h.GetEol() && steps <= 3 * text.size() + 3) {
            joined += h.GetToken();
            h.Next();
            ++steps;
        }
        ASSERT_TRUE(h.GetEol()) << "no end for round " << round;
        ASSERT_EQ(joined, text) << "round " << round;
        TqelHTMLRTF g;
        g.SetText(text);
        const std::string rtf = g.GetRtfText();
        EXPECT_EQ(rtf.substr(rtf.size() - 6), "\\par }");
    }
}
