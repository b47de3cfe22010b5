#include "text/RtfSyntax.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

namespace {

// The writer's extension point used as intended: a derived class that hands out a fixed
// list of (colour index, text) tokens.
class ListTokens : public TqelRTFSyntax {
public:
    explicit ListTokens(std::vector<std::pair<int, std::string>> tokens) : tokens_(std::move(tokens)) {}
    void Next() override { ++i_; }
    bool GetEol() override { return i_ >= tokens_.size(); }
    std::string GetToken() override { return tokens_[i_].second; }
    int GetTokenKind() override { return tokens_[i_].first; }
    void SetLine(const std::string&, int) override { i_ = 0; }

private:
    std::vector<std::pair<int, std::string>> tokens_;
    std::size_t i_ = 0;
};

const std::string kHead = "{\\rtf1\\ansi\\ansicpg932\\deff0\\deftab720{\\fonttbl"
                          "{\\f0\\fmodern\\fcharset128 Courier New;}}\r\n";

} // namespace

TEST(RtfSyntax, DocumentWithParagraphMarksForEveryLineBreakForm)
{
    ListTokens w({{1, "a"}, {5, "\r\n"}, {2, "b"}, {5, "\r"}, {3, "c"}, {5, "\n"}, {4, "d"}});
    w.SetColors({0x0000FF, 0x008000});
    w.SetText("ignored");
    const std::string expected = kHead +
                                 "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
                                 "\\deflang1033\\pard\\plain\\f0\\fs20\\f0 "
                                 "\\cf1 a\\par \\cf5 \r\n\\cf2 b\\par \\cf5 \r\\cf3 c\\par \\cf5 \n\\cf4 d\\par }";
    EXPECT_EQ(w.GetRtfText(), expected);

    std::ostringstream os;
    os << "prefix:";
    w.SetText("again");
    w.SaveToStream(os);
    EXPECT_EQ(os.str(), "prefix:" + expected);
}

TEST(RtfSyntax, EmptyColourListAndNoTokens)
{
    ListTokens w({});
    w.SetColors({});
    EXPECT_EQ(w.FColorTable, "{\\colortbl\\red0\\green0\\blue0;}\r\n");
    w.SetText("");
    const std::string doc = w.GetRtfText();
    EXPECT_EQ(doc, kHead + w.FColorTable + "\\deflang1033\\pard\\plain\\f0\\fs20\\f0 \\par }");
}

TEST(RtfSyntax, FontEntriesAndColourEntries)
{
    ListTokens w({});
    w.SetFonts({{"Courier New", 0x31, 128}, {"Arial", 0x22, 0}, {"Odd", 0x90, 77}});
    EXPECT_EQ(w.FFontTable,
              "{\\f0\\fmodern\\fcharset128 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}{\\f2\\froman\\ Odd;}");
    EXPECT_EQ(w.ColorToRtf(0x0000FF), "\\red255\\green0\\blue0;");
    EXPECT_EQ(w.ColorToRtf(0x804020), "\\red32\\green64\\blue128;");
    // A system colour has no palette to be resolved against here: black, not garbage.
    EXPECT_EQ(w.ColorToRtf(static_cast<int>(0xFF000005u)), "\\red0\\green0\\blue0;");
}
