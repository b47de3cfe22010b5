// The editor reads its document for the writer from the engine's own serialization, and takes
// the node-by-node walk where that serialization cannot carry the tree. Both must give the
// writer the same document: each fixture is written from the read the control makes and from
// the walk, under the program's options and under none, with a real engine offscreen.
#include "htmledit/SourceWriter.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/WaitUntil.h"
#include <QApplication>
#include <gtest/gtest.h>

using namespace htmledit;

namespace {

struct Case {
    const char *name;
    const char *html;
    const char *script;  // run on the document after it is set, or nullptr
    bool serialized;     // read from the serialization, not the walk
};

const Case kCases[] = {
    {"Japanese, table, comments", "<html><head><title>日本語</title></head><body><p>漢字かなｶﾀｶﾅ～①</p>"
     "<table border=0><tr><td>セル</td></tr></table><!-- コメント --><!--x----><!----></body></html>", nullptr, true},
    {"leading line ends of pre, textarea, listing", "<html><body><pre>\n\nx</pre><textarea>\na < b &amp; c\nd</textarea>"
     "<listing>\n\nl</listing></body></html>", nullptr, true},
    {"raw text elements", "<html><head><style>a > b { x: \"&amp;\" }</style></head><body><iframe>a &amp; b < c</iframe>"
     "<noembed>n &amp; <</noembed><noframes>f</noframes><noscript>s &amp; <b>x</b> a < b</noscript><xmp>x &amp; <</xmp>"
     "<script>if (a < b && c > d) x(\"</scr\" + \"ipt>\");</script><plaintext>p &amp; < </p>", nullptr, true},
    {"entities, odd attribute names, URLs",
     "<!DOCTYPE html><!-- before --><html lang=ja><head><base href=\"http://example.com/dir/\"></head>"
     "<body><p title=\"a&b &amp; &quot; ' < > &nbsp;\" =x=\"1\" a\"b=\"2\">t &nbsp; &lt; &gt; &amp; \" '</p>"
     "<p>&#9;tab&#13;cr &#x1F600; é</p><a href=\"x.html?a=1&amp;b=2#f\">l</a><img src=\"../i.png\" usemap=\"#m\">"
     "<form action=\"/post\"></form><blockquote cite=\"c.html\">q</blockquote><a href=\"\">e</a>"
     "<a href=\"http://[bad\">bad</a></body></html><!-- after -->", nullptr, true},
    {"void and unknown elements", "<html><body><br><wbr><input type=checkbox checked><embed src=a.swf><keygen>"
     "<bgsound src=a.wav><hr noshade><o:p>w</o:p><my-el>c</my-el><x:y a=1><b>t</b></x:y></body></html>", nullptr, true},
    {"text split by editing", "<html><body><div>  one   <b>two</b>  three  </div><p>x</p></body></html>",
     "var d=document.querySelector('div');d.firstChild.splitText(3);d.appendChild(document.createTextNode(''));"
     "d.insertBefore(document.createTextNode('  '),d.firstChild);return true;", true},
    // What the serialization cannot carry goes to the walk.
    {"foreign content", "<html><body><svg viewBox=\"0 0 1 1\"><foreignObject><p>x</p></foreignObject>"
     "<linearGradient/></svg></body></html>", nullptr, false},
    {"template", "<html><body><template><b>t</b><a href=\"t.html\">t</a></template></body></html>", nullptr, false},
    {"comment holding its own end", "<html><body><div><p>a</p></div></body></html>",
     "document.querySelector('div').appendChild(document.createComment('c-->d'));return true;", false},
    {"script text holding an end tag", "<html><body><script><!--<script></script>--></script><p>a</p></body></html>",
     nullptr, false},
    {"attribute name in capitals", "<html><body><p id=v>x</p></body></html>",
     "document.getElementById('v').setAttributeNS(null,'HREF','a.html');return true;", false},
};

QString walkSource(TProfDHTMLEdit2 &ed, unsigned options)
{
    const DomSnapshot walk = ParseSnapshot(ed.evalDoc(QStringLiteral("return e.snapshotText();")).toString());
    WriterContext c;
    c.options = options;
    c.documentUrl = walk.url;
    c.baseHref = walk.baseHrefs.size() == 1 ? walk.baseHrefs.first() : QString();
    return GenerateSource(walk, c, ed.DOCTYPE);
}

} // namespace

TEST(SourceRead, SerializationGivesTheWalksDocument)
{
    QWidget window;
    window.resize(800, 600);
    auto *ed = new TProfDHTMLEdit2(&window);
    ed->resize(800, 600);
    window.show();
    ASSERT_TRUE(waitUntil([ed] { return ed->DocumentReady(); }, 20000));
    for (const Case &k : kCases) {
        ed->SetSource(QString::fromUtf8(k.html));
        if (k.script) ed->evalDoc(QString::fromUtf8(k.script));
        const QString read = ed->evalDoc(QStringLiteral("return e.sourceText();")).toString();
        EXPECT_EQ(read.startsWith(QLatin1Char('H')) && ParseSnapshot(read).valid, k.serialized) << k.name;
        for (unsigned o : {kEditorSourceOptions, 0u}) {
            WriterContext c;
            c.options = o;
            const QString expected = walkSource(*ed, o);
            EXPECT_EQ(ed->GenerateSource(c).toStdString(), expected.toStdString()) << k.name << " options " << o;
            EXPECT_NE(expected, QStringLiteral("ERROR")) << k.name;
        }
    }
}
