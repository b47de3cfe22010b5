// The net search's URLs, result list lines and batch walk.
#include "mainwindow/NetSearch.h"
#include <gtest/gtest.h>

TEST(NetSearch, QueryUrlsForBothEnginesTypesAndImeModes)
{
    const std::string b = "http://127.0.0.1:1/search";
    EXPECT_EQ(FirstEngineQueryUrl(b, "a b", 0, 1),
              b + "?as_q=a+b&num=100&hl=ja&ie=UTF-8&oe=UTF-8&btnG=Google+%E6%A4%9C%E7%B4%A2&as_epq=&as_oq=&as_eq=&lr="
                  "&as_ft=i&as_filetype=&as_qdr=all&as_occt=any&as_dt=i&as_sitesearch=");
    EXPECT_EQ(FirstEngineQueryUrl(b, "abc", 0, 0).rfind(b + "?as_q=abc&as_epq=&as_oq=&as_eq=&hl=ja&num=100&lr=lang_en", 0), 0u);
    EXPECT_EQ(FirstEngineQueryUrl(b, "abc", 1, 0), b + "?q=abc&num=100&hl=ja&tbm=bks&ei=Pz7kWn31HuQ8nRMeyLsFGq&start=0&sa=N");
    EXPECT_EQ(FirstEngineQueryUrl(b, "abc", 1, 1),
              b + "?q=abc&num=100&hl=ja&lr=lang_en&tbs=lr:lang_1en&tbm=bks&ei=Ka2uXc9EjrV5bHnq4Yt0Zm&start=0&sa=N");
    EXPECT_EQ(SecondEngineQueryUrl(b, "abc"), b + "?p=abc&aq=-1&oq=&ei=UTF-8&fr=top_ga1_sa&x=wrtabc");
    // Reserved characters of the keyword cannot break the query.
    EXPECT_EQ(SecondEngineQueryUrl(b, "c++ a&b=#").substr(b.size(), 24), "?p=c%2b%2b+a%26b%3d%23&a");
    // Japanese keywords go as UTF-8 ("検索" in Shift_JIS).
    EXPECT_EQ(EncodeSearchKeyword("\x8C\x9F\x8D\xF5"), "%e6%a4%9c%e7%b4%a2");
}

TEST(NetSearch, PagingNeverGoesBeforeTheFirstPage)
{
    const std::string b = "http://h/search";
    int off = 0;
    off = NextSearchOffset(off);
    EXPECT_EQ(SecondEnginePageUrl(b, "abc", off), b + "?p=abc&aq=-1&ei=UTF-8&pstart=1&fr=ush-jp_full&b=100");
    off = NextSearchOffset(off);
    EXPECT_EQ(SecondEnginePageUrl(b, "abc", off).substr(SecondEnginePageUrl(b, "abc", off).size() - 6), "&b=200");
    EXPECT_EQ(PrevSearchOffset(0), 0);
    EXPECT_EQ(PrevSearchOffset(100), 0);
    const std::string first = FirstEnginePageUrl(b, "abc", 1, 300);
    EXPECT_NE(first.find("&start=300&sa=N"), std::string::npos);
    EXPECT_EQ(first.find("start=100"), std::string::npos);
}

TEST(NetSearch, ResultItemsAndListLines)
{
    // The browser serialises the engine page in lower case; the markers still match.
    const std::string html = "<a onclick=\"f(this)\" href=\"http://a.jp/1\">One <b>bold</b></a>"
                             "<a x=\"g(1)\" href=\"http://www.google.co.jp/x\">skip</a>"
                             "<A onclick=\"f(this)\" href=\"https://b.jp/2\">Two</A>";
    std::vector<std::string> items;
    ASSERT_TRUE(ExtractResultItems(html, items));
    EXPECT_EQ(items, (std::vector<std::string>{"http://a.jp/1\">One <b>bold</b>", "https://b.jp/2\">Two"}));
    EXPECT_FALSE(ExtractResultItems("<p>none</p>", items));

    const auto lines = FormatResultList(items);
    EXPECT_EQ(lines[0].urlLine, " 1.  One bold\thttp://a.jp/1");
    EXPECT_EQ(lines[0].titleLine, " 1.  One bold");
    EXPECT_EQ(FormatResultLine(9, "u\">t").titleLine.substr(0, 5), " 9.  ");
    EXPECT_EQ(FormatResultLine(123, "u\">t").titleLine.substr(0, 6), "123.  ");
    EXPECT_EQ(FormatResultLine(2, "http://x/").urlLine, " 2.  \thttp://x/");
    EXPECT_EQ(ResultTabCaption(3, " 3.  abcdefghijkl\thttp://x/"), "  3.  abcdefgh ");
}

TEST(NetSearch, ListLinesHoldTheAddressAndTitleTheBrowserShows)
{
    // As the browser serialises them: "&" in attributes and text as "&amp;".
    const std::string html =
        "<a onclick=\"f(this)\" href=\"http://a.jp/?a=1+2&amp;b=C%2B%2B\">Tom &amp; Jerry</a>"
        "<a onclick=\"f(this)\" href=\"http://b.jp/?x=&quot;y&quot;&amp;z=1\">&quot;Q&quot; &#38; A</a>"
        "<a onclick=\"f(this)\" href=\"http://c.jp/google\">Google \x83\x68\x83\x89\x83\x43\x83\x75</a>";
    std::vector<std::string> items;
    ASSERT_TRUE(ExtractResultItems(html, items));
    const auto lines = FormatResultList(items);
    ASSERT_EQ(lines.size(), 2u) << "an engine word in a result's path is the engine's own link";
    EXPECT_EQ(lines[0].urlLine, " 1.  Tom & Jerry\thttp://a.jp/?a=1+2&b=C%2B%2B");
    EXPECT_EQ(lines[1].urlLine, " 2.  \"Q\" & A\thttp://b.jp/?x=\"y\"&z=1");
    EXPECT_EQ(lines[1].titleLine, " 2.  \"Q\" & A");
}

TEST(NetSearch, HighlightWordsQuotesAndSite)
{
    EXPECT_EQ(HighlightWords("site:a.jp word"), "word");
    EXPECT_EQ(HighlightWords("word site:a.jp"), "site:a.jp");
    EXPECT_EQ(HighlightWords("\"a b\""), "a b");
    EXPECT_EQ(EncloseQuotation(" a  b\x81\x40" "c "), "\"a\" \"b\" \"c\"");
    EXPECT_EQ(AddInSite("kw site:old", "https://new.jp/path"), "kw site:new.jp");
}

TEST(NetSearch, BatchWalk)
{
    const std::vector<std::string> lines = {" 1.  a\thttp://a/1", " 2.  b\thttp://a/2", " 3.  c\thttp://a/3.pdf",
                                            " 4.  d\thttps://a/4", " 5.  e\thttp://a/5", " 6.  f\thttp://a/4"};
    std::vector<std::string> opened;
    auto open = [&](const std::string &u) { opened.push_back(u); return true; };
    auto never = [] { return false; };
    EXPECT_EQ(BatchBrowseWalk(lines, 3, 2, open, never), 5);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://a/4", "http://a/5"}));

    // Nothing opened: the start does not move backwards.
    opened.clear();
    EXPECT_EQ(BatchBrowseWalk(lines, 3, 2, [](const std::string &) { return false; }, never), 2);
    EXPECT_EQ(BatchBrowseWalk(lines, 9, 2, open, never), 8);
    EXPECT_TRUE(opened.empty());

    // Stop pressed while the first page opens: the walk ends after it.
    bool stop = false;
    EXPECT_EQ(BatchBrowseWalk(lines, 1, 5, [&](const std::string &u) { opened.push_back(u); stop = true; return true; },
                              [&] { return stop; }),
              1);
    EXPECT_EQ(opened.size(), 1u);
}
