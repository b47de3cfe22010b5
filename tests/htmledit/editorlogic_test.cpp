// The editing control's pure parts: unit routines, the pending-state machine, the guard and
// key rule, the host flags, and the text chains that make the host's source.
#include "htmledit/HtmlEditUnit.h"
#include "htmledit/PendingStates.h"
#include "htmledit/TCustomProfDHTMLEdit.h"
#include <gtest/gtest.h>
#include <cmath>

using namespace htmledit;

TEST(EditorUnit, ColoursLengthsAndTables)
{
    struct C {
        const char *in;
        TColor out;
    } colours[] = {{"#FF0000", 0x0000FF}, {"#f00", 0x0000FF}, {"red", 0x0000FF}, {"rgb(0, 128, 255)", 0xFF8000},
                   {"", clNone},         {"#GG0000", clNone}, {"#12345", clNone}, {"nosuchcolour", clNone}};
    for (const C &c : colours) EXPECT_EQ(HTMLColorToColorW(QString::fromLatin1(c.in)), c.out) << c.in;
    EXPECT_EQ(ColorToHTMLColorW(0x0000FF), QStringLiteral("#FF0000"));

    struct L {
        const char *in;
        int value;
        bool percent, ok;
    } lengths[] = {{"75%", 75, true, true}, {"120", 120, false, true}, {"100px", 100, false, true},
                   {"50.5%", 51, true, true}, {"70000", 65535, false, true}, {"", 0, false, true}, {"auto", 0, false, false}};
    for (const L &l : lengths) {
        int v = -1;
        bool p = true;
        EXPECT_EQ(ParseHTMLLength(QString::fromLatin1(l.in), v, p), l.ok) << l.in;
        EXPECT_EQ(v, l.value) << l.in;
        EXPECT_EQ(p, l.percent) << l.in;
    }
    EXPECT_TRUE(IsEmptyElement(QStringLiteral("BR")) && IsEmptyElement(QStringLiteral("isindex")));
    EXPECT_FALSE(IsEmptyElement(QStringLiteral("BODY")));
    EXPECT_TRUE(IsBooleanAttribute(QStringLiteral("Checked")));
    EXPECT_EQ(StrToHTMLAlign(QStringLiteral("center")), haCenter);
    EXPECT_EQ(StrToHTMLAlign(QStringLiteral("Center")), haDefault);
    EXPECT_EQ(EntityName(0xE9), QStringLiteral("eacute"));
    EXPECT_EQ(EntityName(0x20AC), QStringLiteral("euro"));
    EXPECT_TRUE(EntityName(0x3042).isEmpty());
}

TEST(EditorUnit, TextRoutines)
{
    QString s = QStringLiteral("a-->b<!--c-->d<!--e");
    RemoveComments(s);
    EXPECT_EQ(s, QStringLiteral("a-->bd<!--e"));  // a stray end before the first comment does not stop it

    EXPECT_EQ(ExtractHtmlStartTag(QStringLiteral("x>y<html lang=ja>\r\n<head>")), QStringLiteral("<html lang=ja>\r\n"));
    EXPECT_EQ(ExtractBodyStartTag(QStringLiteral("<body bgcolor=red>text")), QStringLiteral("<body bgcolor=red>"));
    EXPECT_EQ(ExtractHtmlStartTag(QStringLiteral("no tag")), QStringLiteral("no tag"));

    EXPECT_EQ(LowercaseStyleText(QStringLiteral("COLOR: RED; FONT-SIZE: 12PT")), QStringLiteral("color: RED; font-size: 12PT"));
    EXPECT_EQ(WideStringReplace(QStringLiteral("aXbx"), QStringLiteral("x"), QStringLiteral("-"), true, true), QStringLiteral("a-b-"));
    EXPECT_EQ(WideStringReplace(QStringLiteral("aXbx"), QStringLiteral("x"), QStringLiteral("-"), false, true), QStringLiteral("a-bx"));
    EXPECT_EQ(WideStringReplace(QStringLiteral("aXbx"), QStringLiteral("x"), QStringLiteral("-"), true, false), QStringLiteral("aXb-"));

    const QString src = QStringLiteral("pre<html>\r\n<body>b</body></html>");
    QString same = src;
    MovePreambleIntoBody(same, src);
    EXPECT_EQ(same, QStringLiteral("<html>\r\n<body>preb</body></html>"));
    QString other = QStringLiteral("<html><body class=x>b</body></html>");
    MovePreambleIntoBody(other, src);
    EXPECT_EQ(other, QStringLiteral("<html><body class=x>preb</body></html>"));
}

TEST(EditorPending, LoadsErrorsTimeoutsAndLateFinishes)
{
    PendingMachine m;
    const auto c = m.create();
    EXPECT_TRUE(m.busy());
    EXPECT_EQ(m.request(psLoadURL), 0u);  // nothing nests into creation
    EXPECT_EQ(m.finish(c + 7, true), PendingEvent::None);
    EXPECT_EQ(m.finish(c, true), PendingEvent::Create);
    EXPECT_FALSE(m.busy());

    const auto a = m.request(psLoadURL);
    EXPECT_EQ(m.request(psLoadFile), 0u);  // a load asked while another is pending is refused
    EXPECT_EQ(m.finish(a, false), PendingEvent::LoadURLError);
    EXPECT_EQ(m.finish(m.request(psLoadFile), true), PendingEvent::LoadFromFile);
    EXPECT_EQ(m.finish(m.request(psNewDocument), true), PendingEvent::NewDocument);

    // Timeout: the reset's blank document ends it; the timed-out load's late finish does nothing.
    const auto slow = m.request(psLoadURL);
    const auto reset = m.boundPassed();
    EXPECT_EQ(m.state(), psTimeoutReset);
    EXPECT_EQ(m.finish(slow, true), PendingEvent::None);
    EXPECT_EQ(m.resetDone(reset), PendingEvent::Timeout);
    EXPECT_EQ(m.finish(slow, true), PendingEvent::None);
    EXPECT_FALSE(m.busy());

    // A reset that never completes still ends idle when its own bound passes.
    const auto r2 = (m.request(psLoadURL), m.boundPassed());
    EXPECT_EQ(m.resetBoundPassed(), PendingEvent::Timeout);
    EXPECT_FALSE(m.busy());
    EXPECT_EQ(m.resetDone(r2), PendingEvent::None);
}

TEST(EditorGuard, NavigationAndKeys)
{
    struct G {
        int state;
        bool permission, browse, click;
        NavigationVerdict verdict;
        bool permissionAfter;
    } rows[] = {
        {psLoadURL, true, false, false, NavigationVerdict::Allow, false},  // the load's own request consumes it
        {psLoadURL, false, false, false, NavigationVerdict::Allow, false},  // a redirect of the load
        {psIdle, false, false, false, NavigationVerdict::Refuse, false},    // a meta refresh after the load
        {psIdle, false, false, true, NavigationVerdict::Refuse, false},     // a link in edit mode
        {psIdle, false, true, true, NavigationVerdict::RefuseOpenOutside, false},
        {psIdle, true, true, true, NavigationVerdict::RefuseOpenOutside, true},  // a click is never ours
        {psNewDocument, true, false, false, NavigationVerdict::Allow, false},
    };
    for (const G &g : rows) {
        bool p = g.permission;
        EXPECT_EQ(DecideNavigation(g.state, p, g.browse, g.click), g.verdict) << g.state << g.click;
        EXPECT_EQ(p, g.permissionAfter);
    }
    EXPECT_TRUE(IsControlOwnKey('N', false, true, false));
    EXPECT_FALSE(IsControlOwnKey('N', true, true, false));
    EXPECT_FALSE(IsControlOwnKey('N', false, true, true));
    EXPECT_FALSE(IsControlOwnKey('M', false, true, false));

    EXPECT_EQ(HostInfoFlags(false, false, true, false), 0x40000u);
    EXPECT_EQ(HostInfoFlags(true, true, false, true), 0x40000u | 0x100 | 0x4 | 0x8 | 0x80);
}

namespace {
// The chains over a stored source and a generated text, without an engine.
class ChainEdit : public TCustomProfDHTMLEdit {
public:
    QString generated, body = QStringLiteral("<body>\r\n  <p>b</p>\r\n</body>");
    bool busy = false;
    bool IsBusy() const override { return busy; }
    QString GetDocumentHTML() override { return QStringLiteral("<html><head></head><body></body></html>"); }
    QString GenerateSource(const WriterContext &) override { return generated; }
    QString GenerateElementSource(const QString &, const WriterContext &) override { return body; }
    QString GetTitle() override { return QString(); }

protected:
    bool creationDone() const override { return true; }
};
} // namespace

TEST(EditorChains, SourceHeadAndBody)
{
    ChainEdit e;
    const QString gen = QStringLiteral("<html>\r\n  <head>\r\n    <title>g</title>\r\n  </head>\r\n  <body>\r\n    <p>x</p>\r\n\r\n"
                                       "    <pre>a\r\n\r\nb</pre>\r\n  </body>\r\n</html>");
    e.generated = gen;
    // The stored head, then the generated body; blank lines only between markup lines go.
    e.SetOriginalSource(QStringLiteral("<html><head><title>s</title></head>\r\n\r\n<BODY bgcolor=\"赤\">s</BODY></html>"));
    EXPECT_EQ(e.GetSource().toStdString(),
              QStringLiteral("<html><head><title>s</title></head>\r\n  <body>\r\n    <p>x</p>\r\n    <pre>a\r\n\r\nb</pre>\r\n  </body>\r\n</html>")
                  .toStdString());
    // A stored source without a head: the generated document alone, the body not doubled.
    e.SetOriginalSource(QStringLiteral("<p>fragment</p>"));
    EXPECT_EQ(e.GetSource().count(QLatin1String("<body>")), 1);
    EXPECT_TRUE(e.GetSource().startsWith(QLatin1String("<html>")));
    // Busy: the stored source, and the markers.
    e.busy = true;
    EXPECT_EQ(e.GetSource(), QStringLiteral("<p>fragment</p>"));
    EXPECT_EQ(e.GetHeadSource(), QStringLiteral("BUSY"));
    e.SetBodyAttributes(QStringLiteral(" class=x"));
    EXPECT_EQ(e.GetBodySource(), QStringLiteral("BUSY"));
    e.busy = false;
    e.generated = QStringLiteral("ERROR");
    EXPECT_EQ(e.GetSource(), QStringLiteral("ERROR"));  // never a marker inside a source

    // The page's own body tag, kept in Unicode.
    e.SetBodyAttributes(QString());
    e.SetOriginalSource(QStringLiteral("<html><head></head><BODY bgcolor=\"赤\">s</BODY></html>"));
    EXPECT_EQ(e.GetBodySource(), QStringLiteral(" <BODY bgcolor=\"赤\">\r\n  <p>b</p>\r\n </body>"));

    // The head as the indenter wants it; the html start tag rebuilt from the attributes.
    e.SetOriginalSource(QStringLiteral("<html lang=en>\r\n<head>\t<title>t</title><meta a=b/>\r\n\r\n</head><body></body></html>"));
    e.SetHtmlAttributes(QStringLiteral(" lang=\"ja\""));
    EXPECT_EQ(e.GetHeadSource(), QStringLiteral("<html lang=\"ja\">\r\n<head>\r\n<title>t</title>\r\n<meta a=b/>\r\n</head>\r\n"));
    EXPECT_EQ(e.GetHtmlStartTag(), QStringLiteral("<html lang=\"ja\">"));
    QString head = QStringLiteral("unchanged");
    e.GetOriginalHead(head);
    EXPECT_EQ(head, QStringLiteral("<html lang=en>\r\n<head>\t<title>t</title><meta a=b/>\r\n</head>\r\n"));
    e.SetOriginalSource(QStringLiteral("<p>no head</p>"));
    head = QStringLiteral("unchanged");
    e.GetOriginalHead(head);
    EXPECT_EQ(head, QStringLiteral("unchanged"));
}

TEST(EditorChains, BaseUrlCharsetAndTimeout)
{
    ChainEdit e;
    struct B {
        const char *url, *base, *home;
        bool http;
    } rows[] = {{"http://host/a/b/page.html", "http://host/", "http://host", true},
                {"https://host/a/b/page.html", "https://host/", "https://host", true},
                {"http://host", "http://host", "http://hos", true},
                {"/home/u/site/", "/home/u/site/", "/home/u/site", false}};
    for (const B &b : rows) {
        e.SetBaseURL(QString::fromLatin1(b.url));
        EXPECT_EQ(e.GetBaseURL(), QString::fromLatin1(b.base)) << b.url;
        EXPECT_EQ(e.GetHomeURL(), QString::fromLatin1(b.home)) << b.url;
        EXPECT_EQ(e.IsHttpDocument(), b.http) << b.url;
    }
    struct Cs {
        const char *src, *name;
    } cs[] = {{"<meta content=\"text/html; charset=Shift_JIS\">", "Shift_JIS"},
              {"<meta charset=\"utf-8\">", "utf-8"},
              {"<meta content=text/html;charset=EUC-JP><title>\"x\"</title>", "EUC-JP"},
              {"<meta charset=utf-8 >", "utf-8"},
              {"no declaration", ""}};
    for (const Cs &c : cs) EXPECT_EQ(TCustomProfDHTMLEdit::CharsetName(QString::fromLatin1(c.src)), QString::fromLatin1(c.name)) << c.src;

    e.setTimeout(0);
    e.setTimeout(-1);
    e.setTimeout(std::nan(""));
    EXPECT_EQ(e.Timeout(), 30.0);
    e.setTimeout(0.5);
    EXPECT_EQ(e.Timeout(), 0.5);

    EXPECT_EQ(e.BeginUpdate(), 1);
    EXPECT_EQ(e.BeginUpdate(), 2);
    EXPECT_EQ(e.EndUpdate(), 1);
    EXPECT_FALSE(e.updatesEnabled());
    EXPECT_EQ(e.EndUpdate(), 0);
    EXPECT_TRUE(e.updatesEnabled());
    EXPECT_EQ(e.EndUpdate(), 0);
}
