// The source writer over snapshot fixtures (the page-side script's JSON form), under the
// editors' option set and with single options switched.
#include "htmledit/SourceWriter.h"
#include <gtest/gtest.h>

using namespace htmledit;

namespace {
// A document with Body as the body's children (snapshot JSON nodes).
QString doc(const char *body, const char *head = R"({"t":1,"n":"TITLE","a":[],"c":[{"t":3,"d":"T"}]})")
{
    return QStringLiteral(R"({"url":"http://h/dir/p.html","title":"T","base":[],"counts":[1,1,1],"nodes":[)"
                          R"({"t":1,"n":"HTML","a":[],"c":[{"t":1,"n":"HEAD","a":[],"c":[%1]},)"
                          R"({"t":1,"n":"BODY","a":[],"c":[%2]}]}]})")
        .arg(QString::fromUtf8(head), QString::fromUtf8(body));
}

QString body(const char *json, unsigned options = kEditorSourceOptions, const char *file = "")
{
    WriterContext c;
    c.options = options;
    c.documentFile = QString::fromUtf8(file);
    const DomSnapshot s = ParseSnapshot(doc(json));
    EXPECT_TRUE(s.valid);
    return GenerateElementSource(s, QStringLiteral("body"), c);
}

struct Row {
    const char *what;
    const char *json;
    unsigned options;
    const char *expected;
};

const unsigned E = kEditorSourceOptions;

TEST(SourceWriter, TableOfFixturesAndOptions)
{
    const Row rows[] = {
        {"empty P gets nbsp", R"({"t":1,"n":"P","a":[],"c":[]})", E, "<body>\r\n  <p>&nbsp;</p>\r\n</body>"},
        {"empty P without AddNbsp", R"({"t":1,"n":"P","a":[],"c":[]})", E & ~AddNbsp, "<body>\r\n  <p></p>\r\n</body>"},
        {"no nbsp in TEXTAREA, SELECT", R"({"t":1,"n":"TEXTAREA","a":[],"c":[]},{"t":1,"n":"SELECT","a":[],"c":[]})", E,
         "<body><textarea></textarea>\r\n  <select></select>\r\n</body>"},
        {"external script gets nbsp", R"({"t":1,"n":"SCRIPT","a":[["src","a.js","http://h/dir/a.js"]],"c":[]})", E,
         "<body>\r\n  <script src=\"a.js\">&nbsp;</script>\r\n</body>"},
        {"wbr and embed are void", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"a"},{"t":1,"n":"WBR","a":[],"c":[]},{"t":3,"d":"b"}]})",
         E, "<body>\r\n  <p>a<wbr />b</p>\r\n</body>"},
        {"FONT without attributes unwrapped", R"({"t":1,"n":"P","a":[],"c":[{"t":1,"n":"FONT","a":[],"c":[{"t":3,"d":"x"}]}]})",
         E, "<body>\r\n  <p>x</p>\r\n</body>"},
        {"BR terminated", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"a"},{"t":1,"n":"BR","a":[],"c":[]}]})", E,
         "<body>\r\n  <p>a<br /></p>\r\n</body>"},
        {"BR without terminating", R"({"t":1,"n":"BR","a":[],"c":[]})", E & ~TerminateEmptyElements, "<body><br></body>"},
        {"upper-case names kept without lower-casing", R"({"t":1,"n":"BR","a":[],"c":[]})", E & ~LowercaseElementNames,
         "<BODY><BR /></BODY>"},
        {"namespaced element gone with its content", R"({"t":1,"n":"O:P","a":[],"c":[{"t":3,"d":"gone"}]},{"t":3,"d":"kept"})",
         E, "<body>kept</body>"},
        {"table in body: four blanks, end tag indented", R"({"t":1,"n":"TABLE","a":[],"c":[{"t":1,"n":"TBODY","a":[],"c":[{"t":1,"n":"TR","a":[],"c":[{"t":1,"n":"TD","a":[],"c":[{"t":3,"d":"c"}]}]}]}]})",
         E, "<body>\r\n  <table>\r\n    <tbody>\r\n      <tr>\r\n        <td>c</td>\r\n      </tr>\r\n    </tbody>\r\n  </table>\r\n</body>"},
        {"no indent without IndentSource", R"({"t":1,"n":"DIV","a":[],"c":[{"t":1,"n":"P","a":[],"c":[{"t":3,"d":"x"}]}]})",
         E & ~IndentSource, "<body>\r\n<div>\r\n<p>x</p>\r\n</div>\r\n</body>"},
        {"inline stays on the text's line", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"a "},{"t":1,"n":"B","a":[],"c":[{"t":3,"d":"b"}]},{"t":3,"d":" c"}]})",
         E, "<body>\r\n  <p>a <b>b</b> c</p>\r\n</body>"},
        {"block-boundary whitespace is the writer's", R"({"t":3,"d":"\n  "},{"t":1,"n":"P","a":[],"c":[{"t":3,"d":"\n x \n"}]},{"t":3,"d":"\n"})",
         E, "<body>\r\n  <p>x</p>\r\n</body>"},
        // Content that begins with a line break gets one more, which a reader drops.
        {"PRE untouched", R"({"t":1,"n":"PRE","a":[],"c":[{"t":3,"d":"\n  a\n"},{"t":1,"n":"DIV","a":[],"c":[{"t":3,"d":" b "}]},{"t":3,"d":"c  \n"}]})",
         E, "<body>\r\n  <pre>\r\n\r\n  a\r\n<div> b </div>c  \r\n</pre>\r\n</body>"},
        {"quote in a value", R"({"t":1,"n":"IMG","a":[["alt","say \"hi\""]],"c":[]})", E,
         "<body><img alt=\"say &quot;hi&quot;\" /></body>"},
        {"unquoted without the option", R"({"t":1,"n":"TD","a":[["width","100"],["title","a b"]],"c":[{"t":3,"d":"x"}]})",
         E & ~QuoteAttributeValues, "<body>\r\n  <td width=100 title=\"a b\">x</td>\r\n</body>"},
        {"quoted anyway: = < > ' and backtick", R"({"t":1,"n":"TD","a":[["title","a=b"],["abbr","x'y"],["axis","`z"]],"c":[]})",
         E & ~QuoteAttributeValues & ~AddNbsp, "<body>\r\n  <td title=\"a=b\" abbr=\"x'y\" axis=\"`z\"></td>\r\n</body>"},
        {"ampersand raw unless it reads as a reference", R"({"t":1,"n":"IMG","a":[["alt","a&b &amp; &#1; &copy"]],"c":[]})", E,
         "<body><img alt=\"a&b &amp;amp; &amp;#1; &amp;copy\" /></body>"},
        {"booleans unminimised", R"({"t":1,"n":"INPUT","a":[["type","checkbox"],["checked",""]],"c":[]})", E,
         "<body>\r\n  <input type=\"checkbox\" checked=\"checked\" />\r\n</body>"},
        {"booleans minimised", R"({"t":1,"n":"INPUT","a":[["checked",""]],"c":[]})", E & ~UnminimizeBooleanAttributes,
         "<body>\r\n  <input checked />\r\n</body>"},
        {"entities on", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"\u00e9 \" < & \u00a0 日本"}]})", E,
         "<body>\r\n  <p>&eacute; &quot; &lt; &amp; &nbsp; 日本</p>\r\n</body>"},
        {"entities off", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"\u00e9 \" < & \u00a0"}]})", E & ~UseEntityReferences,
         "<body>\r\n  <p>\u00e9 \" &lt; &amp; &nbsp;</p>\r\n</body>"},
        {"text ending in ?> is escaped", R"({"t":1,"n":"P","a":[],"c":[{"t":3,"d":"<?x ?>"}]})", E,
         "<body>\r\n  <p>&lt;?x ?&gt;</p>\r\n</body>"},
        {"raw script and style", R"({"t":1,"n":"SCRIPT","a":[],"c":[{"t":3,"d":"if (a < b && c) x();"}]},{"t":1,"n":"STYLE","a":[],"c":[{"t":3,"d":"p > a { color: red }"}]})",
         E, "<body>\r\n  <script>if (a < b && c) x();</script>\r\n  <style>p > a { color: red }</style>\r\n</body>"},
        {"comments terminated, line ends CR LF", R"({"t":8,"d":"a\nb"},{"t":8,"d":" c "})", E,
         "<body><!--a\r\nb --><!-- c -->\r\n</body>"},
        {"comments as they stand without the option", R"({"t":8,"d":"a"})", E & ~TerminateComments, "<body><!--a--></body>"},
        {"style attribute names lower-cased", R"({"t":1,"n":"SPAN","a":[["STYLE","COLOR: RED; FONT-SIZE: 12PT"]],"c":[{"t":3,"d":"s"}]})",
         E, "<body><span style=\"color: RED; font-size: 12PT\">s</span></body>"},
        {"generator META dropped", R"({"t":1,"n":"META","a":[["name","GENERATOR"],["content","MSHTML 11"]],"c":[]},{"t":1,"n":"META","a":[["content","text/html; charset=unicode"]],"c":[]})",
         E, "<body>\r\n  <meta content=\"text/html; charset=Shift_JIS\" />\r\n</body>"},
        {"URL under ExcludeFileProtocol: local path", R"({"t":1,"n":"IMG","a":[["src","file:///d/a.png","file:///d/a.png"]],"c":[]})", E,
         "<body><img src=\"/d/a.png\" /></body>"},
        // What the page wrote relative to itself is written as it stands.
        {"relative values stay as written",
         R"({"t":1,"n":"P","a":[],"c":[{"t":1,"n":"A","a":[["href","../ch04.ja.html#s","file:///d/ch04.ja.html#s"]],"c":[]},)"
         R"({"t":1,"n":"IMG","a":[["src","images/prev.png","file:///d/doc/images/prev.png"]],"c":[]},)"
         R"({"t":1,"n":"A","a":[["href","/site.html","file:///site.html"]],"c":[]},)"
         R"({"t":1,"n":"A","a":[["href","?q=1","file:///d/doc/p.html?q=1"]],"c":[]}]})",
         E, "<body>\r\n  <p><a href=\"../ch04.ja.html#s\"></a><img src=\"images/prev.png\" /><a href=\"/site.html\"></a><a href=\"?q=1\"></a></p>\r\n</body>"},
        // A full address keeps the page's spelling, not the engine's encoded and slashed one.
        {"absolute values stay as written",
         R"({"t":1,"n":"P","a":[],"c":[{"t":1,"n":"A","a":[["href","https://ja.example.org/wiki/標準C","https://ja.example.org/wiki/%E6%A8%99%E6%BA%96C"]],"c":[{"t":3,"d":"x"}]},)"
         R"({"t":1,"n":"A","a":[["href","https://h.example.org","https://h.example.org/"]],"c":[{"t":3,"d":"y"}]}]})",
         E, "<body>\r\n  <p><a href=\"https://ja.example.org/wiki/標準C\">x</a><a href=\"https://h.example.org\">y</a></p>\r\n</body>"},
        {"URL as file URL without it", R"({"t":1,"n":"IMG","a":[["src","a.png","file:///d/a.png"]],"c":[]})",
         E & ~ExcludeFileProtocol & ~ExcludeBaseURL, "<body><img src=\"file:///d/a.png\" /></body>"},
        {"same-file anchor is bare", R"({"t":1,"n":"A","a":[["href","#n","file:///d/p.html#n"]],"c":[{"t":3,"d":"x"}]})", E,
         "<body><a href=\"#n\">x</a></body>"},
        {"new document anchor stays", R"({"t":1,"n":"A","a":[["href","#top","about:blank#top"]],"c":[{"t":3,"d":"x"}]})", E,
         "<body><a href=\"#top\">x</a></body>"},
        {"unconvertible value as it stands", R"({"t":1,"n":"A","a":[["href","mailto:a@b","mailto:a@b"]],"c":[{"t":3,"d":"m"}]})", E,
         "<body><a href=\"mailto:a@b\">m</a></body>"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const char *file = std::string(r.what).find("same-file") != std::string::npos ? "/d/p.html" : "";
        EXPECT_EQ(body(r.json, r.options, file).toStdString(), std::string(r.expected));
    }
}

TEST(SourceWriter, TagSubstitutionLastMatchWins)
{
    WriterContext c;
    c.options = kEditorSourceOptions;
    c.substitutions = {{QStringLiteral("b"), QStringLiteral("strong")}, {QStringLiteral("B"), QStringLiteral("em")}};
    const DomSnapshot s = ParseSnapshot(doc(R"({"t":1,"n":"B","a":[],"c":[{"t":3,"d":"x"}]})"));
    EXPECT_EQ(GenerateElementSource(s, QStringLiteral("body"), c), QStringLiteral("<body><em>x</em></body>"));
}

TEST(SourceWriter, UrlsRelativeToTheBaseElement)
{
    WriterContext c;
    c.options = kEditorSourceOptions;
    c.baseHref = QStringLiteral("http://h/dir/");
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("img"), QString(), QStringLiteral("http://h/dir/i/a.png"), c),
              QStringLiteral("i/a.png"));
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("a"), QString(), QStringLiteral("http://h/x.html?a=1#f"), c),
              QStringLiteral("../x.html?a=1#f"));
    // Another host stays absolute; the BASE element itself is never made relative.
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("a"), QString(), QStringLiteral("http://o/x.html"), c),
              QStringLiteral("http://o/x.html"));
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("base"), QString(), QStringLiteral("http://h/dir/"), c),
              QStringLiteral("http://h/dir/"));
    c.baseHref = QStringLiteral("file:///site/sub/index.html");
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("img"), QString(), QStringLiteral("file:///site/img/a.png"), c),
              QStringLiteral("../img/a.png"));
    // The site prefix comes off the start of a value only, keeping the path's "/".
    WriterContext s;
    s.options = kEditorSourceOptions;
    s.stripPrefix = QStringLiteral("http://h");
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("a"), QString(), QStringLiteral("http://h/d/x.html"), s),
              QStringLiteral("/d/x.html"));
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("a"), QString(), QStringLiteral("http://o/?u=http://h/d"), s),
              QStringLiteral("http://o/?u=http://h/d"));
    EXPECT_EQ(ConvertUrlAttribute(QStringLiteral("a"), QString(), QStringLiteral("http://hx/d"), s),
              QStringLiteral("http://hx/d"));
}

TEST(SourceWriter, WholeDocumentAndMarkers)
{
    WriterContext c;
    c.options = kEditorSourceOptions;
    const QString frameset = QStringLiteral(
        R"({"t":10,"d":"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\" \"http://www.w3.org/TR/html4/frameset.dtd\">"},)");
    QString json = doc(R"({"t":3,"d":"b"})");
    json.replace(QStringLiteral(R"("nodes":[)"), QStringLiteral(R"("nodes":[)") + frameset);
    const DomSnapshot s = ParseSnapshot(json);
    const QString dt = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
    EXPECT_EQ(GenerateSource(s, c, dt).toStdString(),
              (dt + QStringLiteral("\r\n<html>\r\n  <head>\r\n    <title>T</title>\r\n  </head>\r\n  <body>b</body>\r\n</html>"))
                  .toStdString());
    EXPECT_TRUE(GenerateSource(s, c, QString()).startsWith(QStringLiteral("<html>")));
    // Two bodies, or none: the whole result is the marker, never a marker inside a source.
    DomSnapshot two = s;
    two.bodyCount = 2;
    EXPECT_EQ(GenerateSource(two, c, QString()), QStringLiteral("ERROR"));
    EXPECT_EQ(GenerateElementSource(two, QStringLiteral("body"), c), QStringLiteral("ERROR"));
    EXPECT_EQ(GenerateSource(ParseSnapshot(QStringLiteral("not json")), c, QString()), QStringLiteral("ERROR"));
}

TEST(SourceWriter, RepairsEndWhereTheTextEnds)
{
    QString s = QStringLiteral("<a href=\"x?a=1&amp;b=2\">y</a><a href=\"z&amp;");
    UnescapeHrefAmpersands(s);
    EXPECT_EQ(s, QStringLiteral("<a href=\"x?a=1&b=2\">y</a><a href=\"z&amp;"));
    QString t = QStringLiteral("<head><title>old</title></head>");
    RestoreTitle(t, QStringLiteral("new"));
    EXPECT_EQ(t, QStringLiteral("<head><title>new</title></head>"));
    QString h = QStringLiteral("<html><head><title>x</title></head><body></body>");
    RestoreHeadScripts(h, QStringLiteral("<head><script>a()</script><SCRIPT src=b></SCRIPT></head>"));
    EXPECT_EQ(h, QStringLiteral("<html><head><title>x</title><script>a()</script>\r\n<SCRIPT src=b></SCRIPT>\r\n</head><body></body>"));
}
} // namespace
