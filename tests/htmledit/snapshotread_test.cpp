// The editor's document snapshot is read by a direct reader for the page script's own form and
// by the general JSON path for anything else. Both must give the same tree: a member the
// direct reader does not know ("zz") sends a text down the general path, so each case is read
// both ways and compared.
#include "htmledit/SourceWriter.h"
#include <gtest/gtest.h>

using namespace htmledit;

namespace {
void expectSame(const DomNode &a, const DomNode &b, const std::string &where)
{
    EXPECT_EQ(a.type, b.type) << where;
    EXPECT_EQ(a.name, b.name) << where;
    EXPECT_EQ(a.data, b.data) << where;
    ASSERT_EQ(a.attrs.size(), b.attrs.size()) << where;
    for (int i = 0; i < a.attrs.size(); ++i) {
        EXPECT_EQ(a.attrs[i].name, b.attrs[i].name) << where;
        EXPECT_EQ(a.attrs[i].value, b.attrs[i].value) << where;
        EXPECT_EQ(a.attrs[i].absolute, b.attrs[i].absolute) << where;
    }
    ASSERT_EQ(a.children.size(), b.children.size()) << where;
    for (int i = 0; i < a.children.size(); ++i) expectSame(a.children[i], b.children[i], where + "/" + std::to_string(i));
}

void expectSame(const DomSnapshot &a, const DomSnapshot &b, const std::string &where)
{
    EXPECT_EQ(a.valid, b.valid) << where;
    EXPECT_EQ(a.url, b.url) << where;
    EXPECT_EQ(a.title, b.title) << where;
    EXPECT_EQ(a.baseHrefs, b.baseHrefs) << where;
    EXPECT_EQ(a.htmlCount, b.htmlCount) << where;
    EXPECT_EQ(a.headCount, b.headCount) << where;
    EXPECT_EQ(a.bodyCount, b.bodyCount) << where;
    ASSERT_EQ(a.roots.size(), b.roots.size()) << where;
    for (int i = 0; i < a.roots.size(); ++i) expectSame(a.roots[i], b.roots[i], where + " root " + std::to_string(i));
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
        expectSame(ParseSnapshot(json), ParseSnapshot(general(json)), c);
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
    expectSame(ParseSnapshot(deep), ParseSnapshot(general(deep)), "deep");

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
    expectSame(ParseSnapshot(text), ParseSnapshot(json), "length-prefixed");

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
