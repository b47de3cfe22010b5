// The editor's document snapshot is read by a direct reader for the page script's own form and
// by the general JSON path for anything else. Both must give the same tree: a member the
// direct reader does not know ("zz") sends a text down the general path, so each case is read
// both ways and compared.
#include "htmledit/SourceWriter.h"
#include "support/DomTreeExpect.h"
#include <gtest/gtest.h>

using namespace htmledit;

namespace {

void expectSameSnapshot(const DomSnapshot &a, const DomSnapshot &b, const std::string &where)
{
    EXPECT_EQ(a.valid, b.valid) << where;
    EXPECT_EQ(a.url, b.url) << where;
    EXPECT_EQ(a.title, b.title) << where;
    EXPECT_EQ(a.baseHrefs, b.baseHrefs) << where;
    EXPECT_EQ(a.htmlCount, b.htmlCount) << where;
    EXPECT_EQ(a.headCount, b.headCount) << where;
    EXPECT_EQ(a.bodyCount, b.bodyCount) << where;
    ASSERT_EQ(a.roots.size(), b.roots.size()) << where;
    for (int i = 0; i < a.roots.size(); ++i) expectSameTree(a.roots[i], b.roots[i], where + " root " + std::to_string(i));
}

// The same text with an unknown member at the top, which only the general path reads.
QString general(const QString &json)
{
    const int close = json.lastIndexOf(QLatin1Char('}'));
    const bool empty = json.left(close).trimmed().endsWith(QLatin1Char('{'));
    return json.left(close) + (empty ? QString() : QStringLiteral(",")) + QStringLiteral("\"zz\":0") + json.mid(close);
}
} // namespace

TEST(SnapshotRead, BothPathsGiveTheSameTree)
{
    const char *cases[] = {
        // As the page script writes it.
        R"({"url":"http://h/a.html","title":"t","base":[],"counts":[1,1,1],"nodes":[{"t":10,"d":"<!DOCTYPE html>"},)"
        R"({"t":1,"n":"HTML","a":[],"c":[{"t":1,"n":"HEAD","a":[],"c":[]},{"t":1,"n":"BODY","a":[["bgcolor","#fff"]],)"
        R"("c":[{"t":3,"d":"x"},{"t":8,"d":" note "},{"t":1,"n":"A","a":[["href","b.html","http://h/b.html"],["title",""]],"c":[]}]}]}]})",
        // Escapes, Japanese, a pair of surrogates as it stands and escaped.
        R"({"url":"","title":"\u3042\"\\\/\b\f\n\r\t","base":["http://h/"],"counts":[1,1,1],"nodes":[{"t":3,"d":"日本語 😀 \ud83d\ude00 \u00e9"}]})",
        // Blanks between tokens, another order of members, members a node of its kind does not use.
        " { \"nodes\" : [ { \"c\" : [ { \"d\" : \"y\" , \"t\" : 3 , \"n\" : \"ignored\" } ] , \"a\" : [ [ \"x\" , \"1\" , \"\" ] ] ,"
        " \"n\" : \"P\" , \"d\" : \"ignored\" , \"t\" : 1 } ] , \"counts\" : [ 2 , 0 ] , \"url\" : \"u\" } ",
        R"({"t":5})",
        R"({})",
        // Forms only the general path reads: they must read as before.
        R"({"nodes":[{"t":1,"n":"P","a":[["only-name"]],"c":[]}]})",
        R"({"nodes":[{"t":3.0,"d":"x"}]})",
        R"({"nodes":[{"t":3,"d":"x","d":"y"}]})",
        R"({"nodes":[{"t":3,"d":"\ud800"}]})",
        R"({"nodes":[{"t":1,"n":"P","a":[],"c":[{"t":1,"n":"B"}]}],"counts":[1,1,1,9]})",
    };
    for (const char *c : cases) {
        const QString json = QString::fromUtf8(c);
        expectSameSnapshot(ParseSnapshot(json), ParseSnapshot(general(json)), c);
    }
}

TEST(SnapshotRead, DeepAndBrokenTexts)
{
    // Deeper than the direct reader goes: the general path reads it as before.
    QString deep = QStringLiteral("{\"nodes\":[");
    for (int i = 0; i < 450; ++i) deep += QStringLiteral("{\"t\":1,\"n\":\"DIV\",\"a\":[],\"c\":[");
    deep += QStringLiteral("{\"t\":3,\"d\":\"end\"}");
    for (int i = 0; i < 450; ++i) deep += QStringLiteral("]}");
    deep += QStringLiteral("]}");
    expectSameSnapshot(ParseSnapshot(deep), ParseSnapshot(general(deep)), "deep");

    for (const char *broken : {"", "{", R"({"nodes":[{"t":3,"d":"x"}])", R"({"url":"a)", R"({"url":"a"} x)"})
        EXPECT_FALSE(ParseSnapshot(QString::fromUtf8(broken)).valid) << broken;
}

// The page script's length-prefixed form of a whole document gives the tree its JSON form gives.
TEST(SnapshotRead, LengthPrefixedFormMatchesJson)
{
    const QString json = QString::fromUtf8(
        R"({"url":"http://h/a.html","title":"題","base":["http://h/"],"counts":[1,1,1],"nodes":[{"t":10,"d":"<!DOCTYPE html>"},)"
        R"({"t":1,"n":"HTML","a":[],"c":[{"t":1,"n":"HEAD","a":[],"c":[]},{"t":1,"n":"BODY","a":[["bgcolor","#fff"]],)"
        R"("c":[{"t":3,"d":"日本語 😀\r\n12:x"},{"t":8,"d":" note "},{"t":1,"n":"A","a":[["href","b.html","http://h/b.html"],["title",""]],"c":[]}]}]}]})");
    const QString header = QString::fromUtf8(R"({"url":"http://h/a.html","title":"題","base":["http://h/"],"counts":[1,1,1]})");
    auto f = [](const QString &s) { return QString::number(s.size()) + QLatin1Char(':') + s; };
    const QString text = QStringLiteral("S") + f(header) + QStringLiteral("D") + f(QStringLiteral("<!DOCTYPE html>")) +
                         QStringLiteral("E") + f(QStringLiteral("HTML")) + QStringLiteral("E") + f(QStringLiteral("HEAD")) +
                         QStringLiteral(")E") + f(QStringLiteral("BODY")) + QStringLiteral("A") + f(QStringLiteral("bgcolor")) +
                         f(QStringLiteral("#fff")) + QStringLiteral("T") + f(QString::fromUtf8("日本語 😀\r\n12:x")) +
                         QStringLiteral("C") + f(QStringLiteral(" note ")) + QStringLiteral("E") + f(QStringLiteral("A")) +
                         QStringLiteral("U") + f(QStringLiteral("href")) + f(QStringLiteral("b.html")) +
                         f(QStringLiteral("http://h/b.html")) + QStringLiteral("A") + f(QStringLiteral("title")) + f(QString()) +
                         QStringLiteral(")))");
    expectSameSnapshot(ParseSnapshot(text), ParseSnapshot(json), "length-prefixed");

    // Cut short, a length past the end, an unknown letter, an unclosed or extra ")", an
    // attribute outside an element, a header that is not JSON: each refused as a whole.
    for (const char *broken : {"S", "S2:{}E4:HTM", "S2:{}E99:HTML)", "S2:{}X", "S2:{}E4:HTML", "S2:{}E4:HTML))",
                               "S2:{}A1:a1:b", "S1:{E4:HTML)", "S2:{}T:x", "S2:{}T-1:x"})
        EXPECT_FALSE(ParseSnapshot(QString::fromUtf8(broken)).valid) << broken;
    // Deeper than the writer walks.
    QString deep = QStringLiteral("S2:{}");
    for (int i = 0; i < 1200; ++i) deep += QStringLiteral("E3:DIV");
    for (int i = 0; i < 1200; ++i) deep += QLatin1Char(')');
    EXPECT_FALSE(ParseSnapshot(deep).valid);
}

// The engine's serialization of the document, read back strictly: what does not keep its
// form, or disagrees with the counts and URL list beside it, is refused as a whole, so the
// control takes the walk instead of writing a wrong tree.
TEST(SnapshotRead, SerializedFormReadsBackOrIsRefused)
{
    auto f = [](const QString &s) { return QString::number(s.size()) + QLatin1Char(':') + s; };
    auto doc = [&](const char *markup, int elements, const QStringList &urls = {}) {
        QString t = QStringLiteral("H") +
                    f(QStringLiteral(R"({"url":"http://h/a.html","title":"t","base":[],"counts":[1,1,1],"elements":%1})").arg(elements)) +
                    QStringLiteral("D") + f(QStringLiteral("<!DOCTYPE html>")) + QStringLiteral("E") + f(QString::fromUtf8(markup));
        for (int i = 0; i + 1 < urls.size(); i += 2) t += QStringLiteral("U") + f(urls[i]) + f(urls[i + 1]);
        return t;
    };
    const char *good = "<html><head></head><body =x=\"1\" a\"b=\"&quot;&amp;\"><p>a &lt;&gt;&amp;&nbsp;&#x1F600;日本</p>"
                       "<br><script>if (a<b && c>d) x();</script><a href=\"/q?a=1&amp;b=2\">l</a><!--c--->"
                       "<pre>\n x</pre></body></html>";
    const DomSnapshot d = ParseSnapshot(doc(good, 8, {QStringLiteral("/q?a=1&b=2"), QStringLiteral("http://h/q?a=1&b=2")}));
    ASSERT_TRUE(d.valid);
    ASSERT_EQ(d.roots.size(), 2);
    EXPECT_EQ(d.roots[0].type, DomNode::Doctype);
    const DomNode &body = d.roots[1].children[1];
    EXPECT_EQ(body.name, QStringLiteral("BODY"));
    ASSERT_EQ(body.attrs.size(), 2);
    EXPECT_EQ(body.attrs[0].name, QStringLiteral("=x"));
    EXPECT_EQ(body.attrs[1].name, QStringLiteral("a\"b"));
    EXPECT_EQ(body.attrs[1].value, QStringLiteral("\"&"));
    ASSERT_EQ(body.children.size(), 6);
    EXPECT_EQ(body.children[0].children[0].data, QString::fromUtf8("a <>&\u00a0😀日本"));
    EXPECT_EQ(body.children[1].name, QStringLiteral("BR"));
    EXPECT_EQ(body.children[2].children[0].data, QStringLiteral("if (a<b && c>d) x();"));
    EXPECT_EQ(body.children[3].attrs[0].value, QStringLiteral("/q?a=1&b=2"));
    EXPECT_EQ(body.children[3].attrs[0].absolute, QStringLiteral("http://h/q?a=1&b=2"));
    EXPECT_EQ(body.children[4].data, QStringLiteral("c-"));
    EXPECT_EQ(body.children[5].children[0].data, QStringLiteral("\n x"));

    const struct {
        const char *markup;
        int elements;
        QStringList urls;
    } refused[] = {
        {"<html><head></head><body></div></body></html>", 3, {}},              // an end tag not of the open element
        {"<html><head></head><body>a > b</body></html>", 3, {}},               // a bare ">" in text
        {"<html><head></head><body>&copy;</body></html>", 3, {}},              // an entity the engine does not write
        {"<html><head></head><body>&amp</body></html>", 3, {}},
        {"<html><head></head><body><!-- x</body></html>", 3, {}},              // a comment without its end
        {"<html><head></head><body><script>x</body></html>", 4, {}},           // raw text without its end tag
        {"<html><head></head><body id=x></body></html>", 3, {}},               // a value without quotes
        {"<html><head></head><body></body>", 3, {}},                           // an element left open
        {"<html><head></head><body></body></html>", 4, {}},                    // element count disagrees
        {"<html><head></head><body><a href=\"x\"></a></body></html>", 4, {}},  // a URL the list lacks
        {"<html><head></head><body><a href=\"x\"></a></body></html>", 4, {QStringLiteral("y"), QStringLiteral("http://h/y")}},
        {"<html><head></head><body></body></html>", 3, {QStringLiteral("y"), QStringLiteral("http://h/y")}},
    };
    for (const auto &r : refused) EXPECT_FALSE(ParseSnapshot(doc(r.markup, r.elements, r.urls)).valid) << r.markup;
    EXPECT_FALSE(ParseSnapshot(QStringLiteral("H2:{}E9:<html></")).valid);
}

// Editing splits and empties text nodes the user cannot see: the walk's snapshot joins them,
// so whitespace at a block boundary is dropped wherever the split fell and a set source reads
// back the same.
TEST(SnapshotRead, SplitTextIsWrittenAsOne)
{
    const QString split = QString::fromUtf8(
        R"({"counts":[1,1,1],"nodes":[{"t":1,"n":"DIV","a":[],"c":[{"t":3,"d":"  "},{"t":3,"d":""},{"t":3,"d":"  one "},)"
        R"({"t":1,"n":"B","a":[],"c":[{"t":3,"d":"two"},{"t":3,"d":""}]},{"t":3,"d":" three "},{"t":3,"d":" "}]}]})");
    const DomSnapshot d = ParseSnapshot(split);
    ASSERT_TRUE(d.valid);
    WriterContext c;
    c.options = kEditorSourceOptions;
    EXPECT_EQ(GenerateSourceCode(d.roots[0], 0, c), QStringLiteral("<div>one <b>two</b> three</div>"));
}
