#include "text/HtmlNormalize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* in;
    const char* want;
};

TEST(HtmlNormalize, NormalizeHtmlSourceExamples)
{
    const Case cases[] = {
        {"<TABLE WIDTH=\"100%\"><THEAD><TR><TD ALIGN=\"CENTER\">x</TD></TR></THEAD></TABLE>",
         "<table width=\"100%\">\r\n<thead>\r\n<tr>\r\n<td align=\"center\">x</td></tr></thead>\r\n</table>"},
        {"<DIV><BLOCKQUOTE>q</BLOCKQUOTE></DIV>", "<div>\r\n<blockquote>q</blockquote></div>"},
        {"<P>a</P><P>b</P>", "<p>a</p>\r\n<p>b</p>"},
        {"a<BR>b", "a<br>\r\nb"},
        {"<Bod>", "<bod>"},
        {"<FONT COLOR=\"RED\" FACE=\"X\">", "<font color=\"RED\" FACE=\"X\">"},
        {"<IMG SRC=\"A.GIF\" VALIGN=\"TOP\" HEIGHT=\"2\">", "<img src=\"A.GIF\" valign=\"top\" height=\"2\">"},
        {"<WBR><WBR CLASS=\"x\">", "<wbr><WBR class=\"x\">"}, // only "<WBR>" has a row of its own
        {"<NOBR>x</NOBR></NOBR >", "<nobr>x</nobr></NOBR >"},
        {"<div id=\"_main\" ID=\"_x\">", "<div id=\"main\" id=\"x\">"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
        // attribute rows leave quoted values alone
        {"<IMG TITLE=\"a WIDTH=3 ID=9\" ALT=BGCOLOR=1>", "<img TITLE=\"a WIDTH=3 ID=9\" ALT=BGCOLOR=1>"},
        {"<td style=\"color:#ccf7ff\">", "<td style=\"color:#ccf7ff\">"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeHtmlSource(c.in), c.want) << c.in;
}

TEST(HtmlNormalize, ScriptsPreAndQuotedValuesSurvive)
{
    const std::string script = "<SCRIPT>for(i=0;i<A.length;i++){if(a==b)x=\"<div><p>\";}</SCRIPT>";
    const std::string pre = "<PRE>\r\n<P>kept</P><BR>\r\n  a  <B>b</B>\r\n</PRE>";
    const std::string style = "<STYLE>P{COLOR:RED}</STYLE>";
    const std::string comment = "<!-- <P><BR><TD ALIGN=\"CENTER\"> -->";
    const std::string textarea = "<TEXTAREA><P>x</P></TEXTAREA>";
    const std::string html = "<BODY>" + script + pre + style + comment + textarea + "<A TITLE=\"a b\" HREF=\"x?a=1&b=2\">t</A></BODY>";
    const std::string want = "<body><script>for(i=0;i<A.length;i++){if(a==b)x=\"<div><p>\";}</script>"
                             "\r\n<pre>\r\n<P>kept</P><BR>\r\n  a  <B>b</B>\r\n</pre>"
                             "<style>P{COLOR:RED}</style>" + comment +
                             "\r\n<textarea><P>x</P></textarea>"
                             "<a TITLE=\"a b\" href=\"x?a=1&b=2\">t</a>\r\n</body>";
    EXPECT_EQ(NormalizeHtmlSource(html), want);

    // the quoting passes leave them as they were too
    const std::string quoted = "<p title=\"a b\">" + script + pre + comment + "x=\xA0\x82\xA0 a==b</p>";
    EXPECT_EQ(OpenAttributeQuotes(quoted), quoted);
    EXPECT_EQ(RemoveStrayQuotes(quoted), quoted);
}

TEST(HtmlNormalize, BreakBeforeTags)
{
    const Case cases[] = {
        {"<p>a</p><p>b</p>", "<p>a</p>\r\n<p>b</p>"},
        {"a<br>b", "a<br>\r\nb"},
        {"a<BR />b", "a<BR />\r\nb"},
        {"<p>a</p> <p>b</p>", "<p>a</p> <p>b</p>"}, // text or a blank between: no break
        {"<tr><td>a</td><th>b</th></tr>", "<tr>\r\n<td>a</td>\r\n<th>b</th></tr>"},
        {"<ul><li>a</li><li>b</li></ul>", "<ul>\r\n<li>a</li>\r\n<li>b</li></ul>"},
        {"<object><param name=a></object>", "<object>\r\n<param name=a></object>"},
        {"<br><p>", "<br>\r\n<p>"},          // one break from the <br>
        {"<br></body>", "<br>\r\n\r\n</body>"}, // the first group's break comes on top
        {"<div><map><area></map></div>", "<div><map><area></map></div>"},
        {"<!-- c --><table>", "<!-- c -->\r\n<table>"},
        {"<pre><p>x</p></pre><p>", "<pre><p>x</p></pre>\r\n<p>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BreakBeforeTags(c.in), c.want) << c.in;
}

TEST(HtmlNormalize, OpenAttributeQuotes)
{
    const std::string kanjiValue = "<img alt=\x8A\xBF\x8E\x9A>"; // 漢字
    const Case cases[] = {
        {"<td width=100 bgcolor=#fff>a b", "<td width=\"100\" bgcolor=\"#fff\">a b"},
        {"<td width=100 bgcolor=#fff>ab", "<td width=\"100\" bgcolor=\"#fff\">ab"}, // no blank after the last value
        {"<a href=x.html>", "<a href=\"x.html\">"},
        {"<a href=\"x.html\">", "<a href=\"x.html\">"},
        {"<meta content=\"text/html; charset=Shift_JIS\">", "<meta content=\"text/html; charset=Shift_JIS\">"},
        {"<a title=\"a b\" class=big>", "<a title=\"a b\" class=\"big\">"},
        {"<a href=\"/s?a=1&b=2\" x=_y>", "<a href=\"/s?a=1&b=2\" x=\"_y\">"},
        {"<a href=/s?a=1&b=2>", "<a href=/s?a=1&b=2>"}, // "/" does not open a quoted value
        {"<img src=a.gif/>", "<img src=\"a.gif/\">"},
        {"<img alt=a\"b>", "<img alt=a\"b>"}, // a value holding a quote stays as it is
        {"<input value=5", "<input value=\"5\""},
        {"x=1 and a==b", "x=1 and a==b"},
        {"no equals here", "no equals here"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenAttributeQuotes(c.in), c.want) << c.in;
    EXPECT_EQ(OpenAttributeQuotes(kanjiValue), "<img alt=\"\x8A\xBF\x8E\x9A\">");
}

TEST(HtmlNormalize, CloseAttributeQuotes)
{
    const Case cases[] = {
        {"<a href=\"x.html\">", "<a href=\"x.html\">"},
        {"<a title=\"hello world\">", "<a title=\"hello world\">"},
        {"<img alt=\"\" width=\"1\">", "<img alt=\"\" width=\"1\">"},
        {"<a title=\"hello world>t</a>", "<a title=\"hello\" world>t</a>"},
        {"<a title=\"hello>t</a>", "<a title=\"hello\">t</a>"},
        {"<a title='x>", "<a title='x'>"},
        {"<a title=\"open", "<a title=\"open\""}, // nothing after the value: closed at the end
        {"plain text", "plain text"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CloseAttributeQuotes(c.in), c.want) << c.in;
}

TEST(HtmlNormalize, RemoveStrayQuotes)
{
    const Case cases[] = {
        {"<a href=\"/search?q=\"abc\">", "<a href=\"/search?q=abc\">"},
        {"<a href=\"/url?x=1&amp;cd=\"2&amp;ved=\"0CA\">", "<a href=\"/url?x=1&amp;cd=2&amp;ved=0CA\">"},
        {"<a href=\"/s?hl=\"ja&amp;start=\"10&amp;sa=\"N\">", "<a href=\"/s?hl=ja&amp;start=10&amp;sa=N\">"},
        {"<a href=\"/s?q=x\"\"\">", "<a href=\"/s?q=x\">"},
        {"<b\">x</cite\">", "<b>x</cite>"},
        {"<div class=\"q\" qs\">", "<div class=\"q qs\">"},
        // ordinary markup is left alone
        {"<ol start=\"3\">", "<ol start=\"3\">"},
        {"<object data=\"movie.swf\">", "<object data=\"movie.swf\">"},
        {"<a title=\"Google\" href=\"/\">", "<a title=\"Google\" href=\"/\">"},
        {"<a title=\"no return\" href=\"/\">", "<a title=\"no return\" href=\"/\">"},
        {"<input name=\"visa\" usa=\"1\" filename=\"x\">", "<input name=\"visa\" usa=\"1\" filename=\"x\">"},
        {"<a href=\"x?a=1&amp;h=\">", "<a href=\"x?a=1&amp;h=\">"}, // the quote closes the value
        {"<img alt=\"\" width=\"1\"><img alt=\"\">", "<img alt=\"\" width=\"1\"><img alt=\"\">"},
        {"<img height=\"60\"\" width=\"1\">", "<img height=\"60\" width=\"1\">"},
        {"text ?q=\"abc outside tags", "text ?q=\"abc outside tags"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveStrayQuotes(c.in), c.want) << c.in;
}

} // namespace
