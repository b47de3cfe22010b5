// The editing control's plain decisions and text scans, without an engine.
#include "htmledit/EditingRules.h"
#include "htmledit/PageParts.h"
#include "htmledit/TableMarkup.h"
#include <gtest/gtest.h>

using namespace htmledit;

namespace {

TEST(KeyRules, DecisionTable)
{
    struct Case {
        KeyClass cls;
        bool shift, ctrl, alt, inList, defaultFormat, whole;
        bool br, div;
        KeyAction want;
    };
    const KeyAction D = KeyAction::Default, L = KeyAction::LineBreak, A = KeyAction::AppendBlank, C = KeyAction::Cleanup,
                    V = KeyAction::DivSnapshot;
    const Case cases[] = {
        // Enter under the line-break option
        {KeyClass::Enter, false, false, false, false, true, false, true, false, L},
        {KeyClass::Enter, false, false, false, false, false, false, true, false, A},  // heading
        {KeyClass::Enter, false, false, false, true, true, false, true, false, C},    // list
        {KeyClass::Enter, true, false, false, false, true, false, true, false, D},
        {KeyClass::Enter, false, true, false, false, true, false, true, false, D},
        {KeyClass::Enter, false, false, true, false, true, true, true, false, D},
        // both options: the line-break rules hold, no DIV conversion
        {KeyClass::Enter, false, false, false, false, true, false, true, true, L},
        {KeyClass::Delete, false, false, false, false, true, true, true, true, C},
        // whole-document edits
        {KeyClass::Delete, false, false, false, false, true, true, true, false, C},
        {KeyClass::Delete, false, false, false, false, true, false, true, false, D},
        {KeyClass::Delete, false, false, true, false, true, true, true, false, D},
        {KeyClass::Delete, true, false, false, false, true, true, true, false, C},  // Shift+Delete cuts
        {KeyClass::Backspace, true, false, false, false, true, true, true, false, C},
        {KeyClass::Backspace, false, true, false, false, true, true, true, false, D},
        {KeyClass::X, false, true, false, false, true, true, true, false, C},
        {KeyClass::X, false, false, false, false, true, true, true, false, D},
        {KeyClass::Char, false, false, false, false, true, true, true, false, C},
        {KeyClass::Char, false, false, false, false, true, false, true, false, D},
        {KeyClass::Modifier, false, false, false, false, true, true, true, false, D},
        {KeyClass::Other, false, false, false, false, true, true, true, false, D},
        // the DIV option alone
        {KeyClass::Enter, false, false, false, false, true, false, false, true, V},
        {KeyClass::Enter, true, false, false, false, true, false, false, true, D},
        {KeyClass::Enter, true, false, false, false, true, true, false, true, V},
        {KeyClass::Other, false, false, false, false, true, true, false, true, V},
        {KeyClass::Char, false, false, false, false, true, true, false, true, V},
        // neither option
        {KeyClass::Enter, false, false, false, false, true, false, false, false, D},
        {KeyClass::Delete, false, false, false, false, true, true, false, false, D},
    };
    for (const Case &c : cases) {
        KeyContext k{c.shift, c.ctrl, c.alt, c.inList, c.defaultFormat, c.whole};
        KeyRuleFlags f{c.br, c.div, false};
        SCOPED_TRACE(testing::Message() << int(c.cls) << c.shift << c.ctrl << c.alt << c.inList << c.defaultFormat << c.whole
                                        << c.br << c.div);
        EXPECT_EQ(char(DecideKeyRule(c.cls, k, f)), char(c.want));
        // The table the page indexes says the same.
        EXPECT_EQ(KeyRuleTable(f)[KeyRuleIndex(c.cls, k)].toLatin1(), char(c.want));
        f.BrowseMode = true;
        EXPECT_EQ(DecideKeyRule(c.cls, k, f), KeyAction::Default);
    }
    EXPECT_EQ(ClassOfKey(13), KeyClass::Enter);
    EXPECT_EQ(ClassOfKey(17), KeyClass::Modifier);
    EXPECT_EQ(ClassOfKey('A'), KeyClass::Other);
}

TEST(KeyRules, PasteAsTextKeys)
{
    EXPECT_TRUE(IsPasteAsTextKey('V', false, true, false));
    EXPECT_TRUE(IsPasteAsTextKey(45, true, false, false));
    EXPECT_FALSE(IsPasteAsTextKey('V', true, true, false));   // Ctrl+Shift+V
    EXPECT_FALSE(IsPasteAsTextKey(45, true, true, false));    // Ctrl+Shift+Insert
    EXPECT_FALSE(IsPasteAsTextKey('V', false, false, false));
    EXPECT_FALSE(IsPasteAsTextKey(45, false, true, false));   // Ctrl+Insert copies
    EXPECT_FALSE(IsPasteAsTextKey('V', false, true, true));
}

TEST(KeyRules, NewParagraphsBecomeDivsInTheChangedRegionOnly)
{
    const QString before = QStringLiteral("<p>one</p><p>two</p>");
    const QString after = QStringLiteral("<p>one</p><p>tw</p><p>o</p>");
    // A paragraph split in two: both halves whole DIVs, never a P closed by a DIV end tag.
    EXPECT_EQ(ConvertNewParagraphsToDiv(before, after), QStringLiteral("<p>one</p><div>tw</div><div>o</div>"));
    // A new block after a paragraph, before another block: its own end tag is renamed with it.
    EXPECT_EQ(ConvertNewParagraphsToDiv(QStringLiteral("<p id=\"t\">first</p><div id=\"d\">b</div>"),
                                         QStringLiteral("<p id=\"t\">first</p><p id=\"t\"><br></p><div id=\"d\">b</div>")),
              QStringLiteral("<p id=\"t\">first</p><div id=\"t\"><br></div><div id=\"d\">b</div>"));
    // Nothing to do: equal, no paragraph, or only tags in capitals.
    EXPECT_EQ(ConvertNewParagraphsToDiv(before, before), before);
    EXPECT_EQ(ConvertNewParagraphsToDiv(QStringLiteral("a"), QStringLiteral("a<br>b")), QStringLiteral("a<br>b"));
    EXPECT_EQ(ConvertNewParagraphsToDiv(QStringLiteral("<P>x</P>"), QStringLiteral("<P>x</P><P>y</P>")),
              QStringLiteral("<P>x</P><P>y</P>"));
    // Common start and end overlap (a repeated run): an empty region, nothing written twice.
    const QString o = QStringLiteral("<p>aa</p>"), n = QStringLiteral("<p>aaa</p>");
    EXPECT_EQ(ConvertNewParagraphsToDiv(o, n), n);
    const QString o2 = QStringLiteral("<p>x</p><p>x</p>"), n2 = QStringLiteral("<p>x</p><p>x</p><p>x</p>");
    const QString r2 = ConvertNewParagraphsToDiv(o2, n2);
    EXPECT_EQ(QString(r2).replace(QStringLiteral("div"), QStringLiteral("p")), n2);  // only tags renamed
}

TEST(PageParts, ScriptAndStyleBlocks)
{
    const QString sep = QStringLiteral("\r\n\r\n") + kPartSeparator + QStringLiteral("\r\n\r\n");
    EXPECT_EQ(kPartSeparator, QStringLiteral("<!--**************************************************-->"));
    struct Case {
        const char *source, *want;
    } scripts[] = {
        {"<script type=\"a\">A()</script>\r\n<script src=\"x.js\"></script>\r\n<script type=\"b\">B()</script>",
         "<script type=\"a\">A()</script>@@<script type=\"b\">B()</script>"},
        {"<p>x</p><script src=\"only.js\"></script>", "<script src=\"only.js\"></script>"},
        {"<p>no scripts</p>", ""},
        // "src=" in the script's text does not make it external
        {"<script type=\"a\">var s='src=1'</script>\r\n<script type=\"b\">B()</script>",
         "<script type=\"a\">var s='src=1'</script>@@<script type=\"b\">B()</script>"},
        // a missing end tag ends the scan
        {"<script type=\"a\">A()</script>\r\n<script type=\"b\">B()", "<script type=\"a\">A()</script>"},
        {"<script type=\"a\">A()", ""},
    };
    for (const Case &c : scripts) {
        QString want = QString::fromUtf8(c.want);
        want.replace(QStringLiteral("@@"), sep);
        EXPECT_EQ(ExtractScriptBlocks(QString::fromUtf8(c.source)), want) << c.source;
    }
    // Two style blocks keep their case; a linked one is left out.
    const QString styles = QStringLiteral("<style type=\"text/css\">P{Font-Family:\"MS Gothic\"}</style>\r\n"
                                          "<style href=\"x.css\"></style>\r\n"
                                          "<style type=\"text/css\">A{background:url(Img/Bg.PNG)}</style>");
    EXPECT_EQ(ExtractStyleBlocks(styles), QStringLiteral("<style type=\"text/css\">P{Font-Family:\"MS Gothic\"}</style>") + sep +
                                              QStringLiteral("<style type=\"text/css\">A{background:url(Img/Bg.PNG)}</style>"));
}

TEST(PageParts, BackgroundImages)
{
    const QString src = QStringLiteral(
        "<body background=\"bg.png\"><table background=\"/img/t.png\"><tr><td background=\"https://cdn/x.png\">"
        "<td background=\"//cdn/y.png\"><td background=\"http://h/z.png\"></table>");
    QStringList l;
    EXPECT_TRUE(ScanBackgroundImages(src, QStringLiteral("http://host/dir/"), l));
    EXPECT_EQ(l, (QStringList{"http://host/dir/bg.png", "http://host/img/t.png", "https://cdn/x.png", "http://cdn/y.png",
                              "http://h/z.png"}));
    l.clear();
    ScanBackgroundImages(src, QStringLiteral("https://host/dir/page.html"), l);
    EXPECT_EQ(l[0], QStringLiteral("https://host/dir/bg.png"));
    EXPECT_EQ(l[3], QStringLiteral("https://cdn/y.png"));  // "//" takes the page's scheme
    // A local page: relative values join its folder; a "/" path stays as it is.
    l.clear();
    ScanBackgroundImages(src, QStringLiteral("/home/u/site/index.html"), l);
    EXPECT_EQ(l[0], QStringLiteral("/home/u/site/bg.png"));
    EXPECT_EQ(l[1], QStringLiteral("/img/t.png"));
    l.clear();
    ScanBackgroundImages(src, QStringLiteral("file:///home/u/site/index.html"), l);
    EXPECT_EQ(l[0], QStringLiteral("/home/u/site/bg.png"));
    // None, and a missing closing quote ends the scan.
    l.clear();
    EXPECT_FALSE(ScanBackgroundImages(QStringLiteral("<p>x</p>"), QStringLiteral("http://h/"), l));
    EXPECT_FALSE(ScanBackgroundImages(QStringLiteral("<td background=\"open"), QStringLiteral("http://h/"), l));
    EXPECT_TRUE(l.isEmpty());
}

TEST(PageParts, FramesAndScriptFiles)
{
    QStringList l;
    EXPECT_FALSE(ScanIFrames(QStringLiteral("<p>none</p>"), l));
    EXPECT_TRUE(ScanIFrames(QStringLiteral("<iframe src=\"a.html\"></iframe><iframe name=\"n\"></iframe>"
                                           "<IFRAME src=\"http://h/b.html\" width=1></iframe><iframe src=\"c.html\""),
                            l));
    EXPECT_EQ(l, (QStringList{"a.html", "http://h/b.html"}));  // the tag without ">" ends the scan

    l.clear();
    ScanScriptFiles(QStringLiteral("<script src=\"a.js\"></script><script src=\"//cdn/b.js\"></script>"
                                   "<script src=\"https://s/c.js\"></script><script src=\"d.txt\"></script>"
                                   "<script type=\"x\">var src=\"e.js\"</script>"
                                   "<script language=\"javascript\" src=\"f.js\"></script><script src=\"g.js\""),
                    QStringLiteral("https://host/"), l);
    EXPECT_EQ(l, (QStringList{"f.js", "a.js", "https://cdn/b.js", "https://s/c.js"}));
}

TEST(PageParts, ListEntriesAndSelectionWriting)
{
    EXPECT_EQ(FinishLinkUrl(QStringLiteral("http://h/p.html#sec"), QStringLiteral("http")), QStringLiteral("http://h/p.html#"));
    EXPECT_EQ(FinishLinkUrl(QStringLiteral("#"), QStringLiteral("http")), QStringLiteral("#"));
    EXPECT_EQ(FinishLinkUrl(QStringLiteral("//h/x"), QStringLiteral("https")), QStringLiteral("https://h/x"));
    EXPECT_EQ(FinishLinkUrl(QStringLiteral("file:///a"), QStringLiteral("http")), QStringLiteral("file://a"));
    EXPECT_EQ(FinishImageUrl(QStringLiteral("//www.www.h/i.png"), QStringLiteral("http")), QStringLiteral("http://www.h/i.png"));
    EXPECT_EQ(FinishImageUrl(QStringLiteral("i.png"), QStringLiteral("http")), QStringLiteral("i.png"));

    EXPECT_EQ(RemoveDesignTimeAttributes(QStringLiteral(" <a DesignTimeUrl=\"x\" href=\"y\" designtimesp=\"1\">t</a> ")),
              QStringLiteral("<a href=\"y\">t</a>"));
    // No closing quote: the scan stops instead of finding the same place again.
    EXPECT_EQ(RemoveDesignTimeAttributes(QStringLiteral("<a designtimeurl=\"x>")), QStringLiteral("<a designtimeurl=\"x>"));

    EXPECT_EQ(UnwrapSpanSource(QStringLiteral("<span>\r\n  <b>x</b>\r\n</span>")), QStringLiteral("<b>x</b>"));
    EXPECT_EQ(UnwrapSpanSource(QStringLiteral("<SPAN>a<i>b</i></SPAN>")), QStringLiteral("a<i>b</i>"));
}

TEST(TableMarkup, Builder)
{
    TProfDHTMLEditTableAttrs t;
    TProfDHTMLEditTableCellAttrs c;
    EXPECT_EQ(BuildTableMarkup(2, 2, QString(), t, c),
              QStringLiteral("<TABLE border=1 cellSpacing=1 cellPadding=1 width=75%><TBODY><TR><TD></TD><TD></TD></TR>"
                             "<TR><TD></TD><TD></TD></TR></TBODY></TABLE>"));
    EXPECT_EQ(BuildTableMarkup(0, 3, QString(), t, c),
              QStringLiteral("<TABLE border=1 cellSpacing=1 cellPadding=1 width=75%><TBODY></TBODY></TABLE>"));
    t.BgColor = clDefault;
    t.BorderColor = 0x0000FF;  // red in the low byte
    t.Align = haCenter;
    t.Width = 400;
    t.WidthInPercent = false;
    t.Background = "bg\".png";
    c.BgColor = 0x00FF00;
    c.NoWrap = true;
    c.Align = haRight;
    c.VAlign = haBaseline;
    c.Width = 50;
    c.WidthInPercent = true;
    c.Height = 20;
    c.ObjectClass = QStringLiteral("a\"><script>");
    EXPECT_EQ(BuildTableMarkup(1, 1, QStringLiteral("<b>&</b>"), t, c),
              QStringLiteral("<TABLE border=1 cellSpacing=1 cellPadding=1 width=400 bordercolor=\"#FF0000\" Align=\"center\" "
                             "BACKGROUND=\"bg&quot;.png\"><CAPTION>&lt;b&gt;&amp;&lt;/b&gt;</CAPTION><TBODY><TR>"
                             "<TD bgcolor=\"#00FF00\" nowrap Align=\"right\" VAlign=\"baseline\" width=50% height=20 "
                             "CLASS=\"a&quot;&gt;&lt;script&gt;\"></TD></TR></TBODY></TABLE>"));
}

} // namespace
