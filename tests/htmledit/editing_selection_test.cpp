// Selection, tables and the page's lists of the editing control with a real engine, offscreen.
#include "htmledit/PageParts.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "support/EditorWindow.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/StringList.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const char *kSelPage =
    "<html><head><title>s</title></head><body>"
    "<p id=\"a\">Tom &amp; Jerry <b id=\"b\">bold</b> end</p>"
    "<p id=\"c\">second <i>it</i></p>"
    "<p id=\"pics\"><a id=\"lk\" href=\"/x.html#frag\" target=\"_blank\"><img id=\"im\" src=\"/i.png\" width=\"40\" height=\"40\"></a> "
    "<img id=\"bare\" src=\"/j.png\" width=\"40\" height=\"40\"> <span id=\"plain\">plain text</span></p>"
    "<table id=\"tb\" width=\"100px\" border=\"2\" cellspacing=\"3\" bgcolor=\"#ff0000\" align=\"center\"><caption>Cap</caption>"
    "<tr><td id=\"c11\">1</td><td>2</td><td>3</td></tr><tr><td id=\"c21\" colspan=\"2\">4</td><td>5</td></tr></table>"
    "<table id=\"bad\" width=\"wide\"><tr><td id=\"badcell\">x</td></tr></table>"
    "<p><a name=\"nm\">n</a><a id=\"idonly\">i</a><a name=\"\">e</a></p>"
    "</body></html>";

const char *kTables =
    "<html><head><title>t</title></head><body><table id=\"t\"><tbody>"
    "<tr><td id=\"a1\">a1</td><td id=\"a2\">a2</td><td id=\"a3\">a3</td></tr>"
    "<tr><td id=\"b1\" colspan=\"2\" rowspan=\"1\">b1</td><td id=\"b3\">b3</td></tr>"
    "<tr><td id=\"c1\">c1<table id=\"inner\"><tbody><tr><td id=\"in1\">in1</td><td id=\"in2\">in2</td></tr></tbody></table></td>"
    "<td id=\"c2\">c2</td><td id=\"c3\">c3</td></tr>"
    "</tbody></table><p id=\"out\">out</p><img id=\"img\" src=\"/i.png\" width=\"30\" height=\"30\"></body></html>";

struct Editor : EditorWindow {
    // A range from the Start-th unit of the element A to the End-th of B (text offsets in the
    // first text node, or child indexes with a negative offset meaning "whole node").
    void select(const char *A, int Start, const char *B, int End)
    {
        js(QStringLiteral("function pt(id,o){var n=document.getElementById(id);if(o===-1)return [n.parentNode,Array.prototype.indexOf.call(n.parentNode.childNodes,n)];"
                          "if(o===-2)return [n.parentNode,Array.prototype.indexOf.call(n.parentNode.childNodes,n)+1];"
                          "var w=document.createTreeWalker(n,NodeFilter.SHOW_TEXT);var t=w.nextNode();return t?[t,Math.min(o,t.length)]:[n,0];}"
                          "var a=pt('%1',%2),b=pt('%3',%4);var r=document.createRange();r.setStart(a[0],a[1]);r.setEnd(b[0],b[1]);"
                          "getSelection().removeAllRanges();getSelection().addRange(r);return '';")
               .arg(QLatin1String(A))
               .arg(Start)
               .arg(QLatin1String(B))
               .arg(End));
    }
    void caret(const char *Id, int Offset = 0) { select(Id, Offset, Id, Offset); }
    void selectNode(const char *Id) { select(Id, -1, Id, -2); }
    QString ids(const char *Selector)
    {
        return js(QStringLiteral("return Array.prototype.map.call(document.querySelectorAll('%1'),function(n){return n.id||'?';}).join(',');")
                      .arg(QLatin1String(Selector)));
    }
};

class SelectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new TestHttpServer;
        server->server().Get("/sel.html", [](const httplib::Request &, httplib::Response &r) { r.set_content(kSelPage, "text/html"); });
        server->server().Get("/tables.html", [](const httplib::Request &, httplib::Response &r) { r.set_content(kTables, "text/html"); });
        server->server().Get("/parts.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><title>p</title><script type=\"text/javascript\">var A=1;</script>"
                          "<script type=\"text/javascript\" src=\"lib.js\"></script>"
                          "<style type=\"text/css\">P{Font-Family:Gothic}</style><style type=\"text/css\">B{color:Red}</style></head>"
                          "<body background=\"bg.png\"><p>line one<br>line two</p>"
                          "<a href=\"/doc.html#sec\">l1</a><a href=\"#\">l2</a><a href=\"http://other.example/p\">l3</a>"
                          "<img src=\"/img/a.png\"><img src=\"b.png\">"
                          "<iframe src=\"frame.html\"></iframe><a name=\"n1\"></a><a id=\"i1\"></a><a name=\"\"></a>"
                          "<script type=\"text/javascript\">var B=2;</script></body></html>",
                          "text/html");
        });
        server->start();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    static QString url(const char *path) { return QString::fromStdString(server->url(path)); }
    static TestHttpServer *server;
};
TestHttpServer *SelectionTest::server = nullptr;

TEST_F(SelectionTest, SelectionSourceWritesOnlyTheSelection)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/sel.html")));
    e.caret("a", 3);
    EXPECT_EQ(e.ed->GetSelectionSource(), QString());
    e.select("a", 0, "a", 11);
    EXPECT_EQ(e.ed->GetSelectionSource(), QStringLiteral("Tom &amp; Jerry"));
    EXPECT_EQ(e.ed->GetSelectedText(), QStringLiteral("Tom & Jerry"));
    e.selectNode("b");
    EXPECT_EQ(e.ed->GetSelectionSource(), QStringLiteral("<b id=\"b\">bold</b>"));
    e.select("a", 4, "c", 3);
    const QString across = e.ed->GetSelectionSource();
    EXPECT_FALSE(across.contains(QLatin1String("span"), Qt::CaseInsensitive)) << across.toStdString();
    EXPECT_TRUE(across.contains(QLatin1String("Jerry")) && across.contains(QLatin1String("sec"))) << across.toStdString();
    EXPECT_FALSE(across.contains(QLatin1String("Tom")) || across.contains(QLatin1String("table")) ||
                 across.contains(QLatin1String("second")))
        << across.toStdString();
    // An image is selected whole: its own source; text queries give nothing, and a text
    // write leaves it.
    e.selectNode("bare");
    EXPECT_TRUE(e.ed->IsImageSelected());
    EXPECT_TRUE(e.ed->GetSelectionSource().startsWith(QLatin1String("<img"))) << e.ed->GetSelectionSource().toStdString();
    EXPECT_EQ(e.ed->GetSelectedText(), QString());
    EXPECT_EQ(e.ed->GetCaretPosition(), -1);
    e.ed->SetSelectedText(QStringLiteral("zz"));
    EXPECT_EQ(e.ids("#bare"), QStringLiteral("bare"));
    EXPECT_EQ(e.ed->GetSelectedElementId(), QStringLiteral("bare"));
    e.caret("c", 2);
    EXPECT_EQ(e.ed->GetSelectedElementId(), QStringLiteral("c"));
    e.caret("plain", 2);
    EXPECT_EQ(e.ed->GetSelectedElementSource(), QStringLiteral("<span id=\"plain\">plain text</span>"));

    // A click on an image selects it, and the host's click handler sees that selection.
    bool imageOnClick = false;
    e.ed->OnClick = [&](QObject *) { imageOnClick = e.ed->IsImageSelected(); };
    const QJsonArray box = QJsonDocument::fromJson(
        e.js(QStringLiteral("var r=document.getElementById('bare').getBoundingClientRect();return JSON.stringify([r.left+r.width/2,r.top+r.height/2]);"))
            .toUtf8()).array();
    const QPoint at(int(box.at(0).toDouble()), int(box.at(1).toDouble()));
    QTest::mouseMove(e.ed->focusTarget(), at);
    QTest::mouseClick(e.ed->focusTarget(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(waitUntil([&] { return imageOnClick; }, 30000)) << e.ed->GetSelectionSource().toStdString();
}

TEST_F(SelectionTest, CaretLinksAndTableInfo)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/sel.html")));
    e.caret("a", 0);
    e.ed->SetCaretPosition(7);
    EXPECT_EQ(e.ed->GetCaretPosition(), 7);
    e.ed->SetCaretPosition(e.ed->GetCaretPosition());
    EXPECT_EQ(e.ed->GetCaretPosition(), 7);
    e.ed->SetSelectionLength(5);
    EXPECT_EQ(e.ed->GetSelectionLength(), 5);
    EXPECT_EQ(e.ed->GetSelectedText(), QStringLiteral("erry "));
    e.ed->SetCaretPosition(-3);
    EXPECT_EQ(e.ed->GetCaretPosition(), 0);
    EXPECT_FALSE(e.ed->IsWholeDocumentSelected());
    EXPECT_EQ(e.ed->GetBlockFormat(), QStringLiteral("p"));
    EXPECT_TRUE(e.ed->IsDefaultBlockFormat());
    StringList formats;
    ASSERT_TRUE(e.ed->GetBlockFormats(formats));
    EXPECT_EQ(formats[0], "p");

    QString href, target;
    e.selectNode("im");
    ASSERT_TRUE(e.ed->GetSelectedLink(href, target));
    EXPECT_TRUE(href.endsWith(QLatin1String("/x.html#frag"))) << href.toStdString();
    EXPECT_EQ(target, QStringLiteral("_blank"));
    e.caret("c", 1);
    EXPECT_FALSE(e.ed->GetSelectedLink(href, target));
    EXPECT_TRUE(href.isEmpty() && target.isEmpty());

    int rows = -7, cols = -7;
    QString caption = QStringLiteral("untouched");
    htmledit::TProfDHTMLEditTableAttrs attrs;
    EXPECT_FALSE(e.ed->InTableCell());
    EXPECT_FALSE(e.ed->IsInTable());
    EXPECT_FALSE(e.ed->GetSelectedTableInfo(rows, cols, caption, &attrs));
    EXPECT_EQ(rows, -7);
    EXPECT_EQ(caption, QStringLiteral("untouched"));
    e.caret("c11", 0);
    EXPECT_TRUE(e.ed->InTableCell());
    EXPECT_TRUE(e.ed->IsInTable());
    ASSERT_TRUE(e.ed->GetSelectedTableInfo(rows, cols, caption, &attrs));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
    EXPECT_EQ(caption, QStringLiteral("Cap"));
    EXPECT_EQ(attrs.Width, 100);
    EXPECT_FALSE(attrs.WidthInPercent);
    EXPECT_EQ(attrs.BorderSize, 2);
    EXPECT_EQ(attrs.CellSpacing, 3);
    EXPECT_EQ(attrs.CellPadding, 0);
    EXPECT_EQ(attrs.BgColor, 0x0000FFu);
    EXPECT_EQ(attrs.BorderColor, htmledit::clNone);
    EXPECT_EQ(attrs.Align, htmledit::haCenter);
    ASSERT_TRUE(e.ed->GetSelectedTableInfo(rows, cols, caption, nullptr));
    // A width that cannot be read: False, and nothing of the attributes written.
    e.caret("badcell", 0);
    htmledit::TProfDHTMLEditTableAttrs fresh;
    rows = -7;
    EXPECT_FALSE(e.ed->GetSelectedTableInfo(rows, cols, caption, &fresh));
    EXPECT_EQ(fresh.BorderSize, 1);
    EXPECT_EQ(fresh.Width, 75);
    EXPECT_EQ(rows, -7);

    // "#top" in a new document stays "#top".
    ASSERT_TRUE(e.ed->NewDocument());
    e.ed->SetSource(QStringLiteral("<html><head></head><body><p><a id=\"top\" href=\"#top\">t</a></p></body></html>"));
    e.caret("top", 1);
    ASSERT_TRUE(e.ed->GetSelectedLink(href, target));
    EXPECT_EQ(href, QStringLiteral("#top"));
}

TEST_F(SelectionTest, InsertingMarkupAndTables)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/sel.html")));
    const QString before = e.js(QStringLiteral("return document.body.innerHTML;"));
    e.selectNode("b");
    EXPECT_TRUE(e.ed->InsertHTML(QStringLiteral("<b id=\"b\">bold</b>")));
    EXPECT_EQ(e.js(QStringLiteral("return document.body.innerHTML;")), before);

    e.caret("c", 6);
    e.ed->TableCellAttrs.ObjectClass = QStringLiteral("k\"x");
    EXPECT_TRUE(e.ed->CanInsertTable());
    ASSERT_TRUE(e.ed->InsertTable(2, 3, QStringLiteral("<new>")));
    const QString s = e.ed->GetSource();
    EXPECT_TRUE(s.contains(QLatin1String("<caption>&lt;new&gt;</caption>"))) << s.toStdString();
    EXPECT_EQ(e.js(QStringLiteral("return String(document.querySelectorAll('td.k\\\\\"x').length);")), QStringLiteral("6"));
    EXPECT_TRUE(s.contains(QLatin1String("cellspacing=\"1\""), Qt::CaseInsensitive)) << s.toStdString();

    // A document-wide base font stays in the head, moved there without a rewrite.
    e.ed->SetSource(QStringLiteral("<html><head><title>b</title></head><body><basefont size=\"4\"><p id=\"p\">x</p></body></html>"));
    e.js(QStringLiteral("document.body.__mark=1;return '';"));
    e.caret("p", 1);
    ASSERT_TRUE(e.ed->InsertHTML(QStringLiteral("<i>y</i>")));
    EXPECT_EQ(e.js(QStringLiteral("return String(document.head.getElementsByTagName('basefont').length+':'+document.body.__mark);")),
              QStringLiteral("1:1"));
    EXPECT_TRUE(e.js(QStringLiteral("return document.body.innerHTML;")).contains(QLatin1String("<i>y</i>")));

    e.ed->SetBrowseMode(true);
    EXPECT_FALSE(e.ed->InsertHTML(QStringLiteral("<b>z</b>")));
    EXPECT_FALSE(e.ed->CanInsertTable());
}

TEST_F(SelectionTest, TableConditionsOverSelections)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/tables.html")));
    struct Case {
        const char *what;
        std::function<void()> sel;
        bool inTable, row, column, cell, split, del, merge;
    } cases[] = {
        {"caret", [&] { e.caret("a1", 1); }, true, true, true, true, true, true, false},
        {"cross-cell", [&] { e.select("a1", 0, "a3", 2); }, true, true, false, false, false, true, true},
        {"cross-row", [&] { e.select("a1", 0, "b3", 2); }, true, false, false, false, false, true, false},
        {"control", [&] { e.selectNode("img"); }, false, false, false, false, false, false, false},
        {"outside", [&] { e.caret("out", 1); }, false, false, false, false, false, false, false},
    };
    for (const Case &c : cases) {
        c.sel();
        SCOPED_TRACE(c.what);
        EXPECT_EQ(e.ed->IsInTable(), c.inTable);
        EXPECT_EQ(e.ed->CanInsertRow(), c.row);
        EXPECT_EQ(e.ed->CanDeleteRow(), c.row);
        EXPECT_EQ(e.ed->CanInsertColumn(), c.column);
        EXPECT_EQ(e.ed->CanDeleteColumn(), c.column);
        EXPECT_EQ(e.ed->CanInsertCell(), c.cell);
        EXPECT_EQ(e.ed->CanSplitCell(), c.split);
        EXPECT_EQ(e.ed->CanDeleteCells(), c.del);
        EXPECT_EQ(e.ed->CanMergeCells(), c.merge);
        EXPECT_TRUE(e.ed->CanInsertTable());
    }
    // A selected table counts as in a table, and nothing else is offered for it.
    e.selectNode("t");
    EXPECT_TRUE(e.ed->IsInTable());
    EXPECT_FALSE(e.ed->CanInsertRow() || e.ed->InsertRow() || e.ed->DeleteCells());
}

TEST_F(SelectionTest, TableCommands)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/tables.html")));
    const QString fixture = QString::fromUtf8(kTables);
    auto reset = [&] { e.ed->SetSource(fixture); };
    auto row = [&](int i) {
        return e.js(QStringLiteral("var r=document.getElementById('t').rows[%1];return Array.prototype.map.call(r.cells,function(c){"
                                   "return (c.id||'new')+(c.colSpan>1?'*'+c.colSpan:'');}).join(',');")
                        .arg(i));
    };

    // The innermost cell goes, the outer one holding the inner table stays.
    reset();
    e.caret("in1", 1);
    ASSERT_TRUE(e.ed->DeleteCells());
    EXPECT_EQ(e.ids("#inner td"), QStringLiteral("in2"));
    EXPECT_EQ(row(2), QStringLiteral("c1,c2,c3"));

    // The cells covering the column, by column position.
    reset();
    e.caret("a2", 1);
    ASSERT_TRUE(e.ed->DeleteColumn());
    EXPECT_EQ(row(0), QStringLiteral("a1,a3"));
    EXPECT_EQ(row(1), QStringLiteral("b3"));
    EXPECT_EQ(row(2), QStringLiteral("c1,c3"));
    EXPECT_EQ(e.ids("#inner td"), QStringLiteral("in1,in2"));

    // Merged cells add their own spans; their contents are joined.
    reset();
    e.select("b1", 0, "b3", 2);
    ASSERT_TRUE(e.ed->MergeCells());
    EXPECT_EQ(row(1), QStringLiteral("b1*3"));
    EXPECT_EQ(e.js(QStringLiteral("return document.getElementById('b1').textContent;")), QStringLiteral("b1b3"));
    reset();
    e.select("a1", 1, "a3", 2);  // a1 only partly selected: a2 and a3 merge
    ASSERT_TRUE(e.ed->MergeCells());
    EXPECT_EQ(row(0), QStringLiteral("a1,a2*2"));

    // A new row above with the model row's spans but no row span.
    reset();
    e.caret("b3", 1);
    ASSERT_TRUE(e.ed->InsertRow());
    EXPECT_EQ(row(1), QStringLiteral("new*2,new"));
    EXPECT_EQ(e.js(QStringLiteral("return String(document.getElementById('t').rows[1].cells[0].hasAttribute('rowspan'));")), QStringLiteral("false"));
    EXPECT_EQ(row(2), QStringLiteral("b1*2,b3"));

    // Split: a new cell after, and the cells starting at that column elsewhere widen.
    reset();
    e.caret("a3", 1);
    ASSERT_TRUE(e.ed->SplitCell());
    EXPECT_EQ(row(0), QStringLiteral("a1,a2,a3,new"));
    EXPECT_EQ(row(1), QStringLiteral("b1*2,b3*2"));
    EXPECT_EQ(row(2), QStringLiteral("c1,c2,c3*2"));

    // A column before the selection's column in every row.
    reset();
    e.caret("a2", 1);
    ASSERT_TRUE(e.ed->InsertColumn());
    EXPECT_EQ(row(0), QStringLiteral("a1,new,a2,a3"));
    EXPECT_EQ(row(1), QStringLiteral("b1*2,new,b3"));
    EXPECT_EQ(row(2), QStringLiteral("c1,new,c2,c3"));

    reset();
    e.caret("a1", 1);
    ASSERT_TRUE(e.ed->InsertCell());
    EXPECT_EQ(row(0), QStringLiteral("new,a1,a2,a3"));

    // Several rows: only the cells wholly inside go, then empty rows.
    reset();
    e.select("a2", 0, "b3", 2);
    ASSERT_TRUE(e.ed->DeleteCells());
    EXPECT_EQ(row(0), QStringLiteral("a1"));
    EXPECT_EQ(row(1), QStringLiteral("c1,c2,c3"));

    // The last row takes its table along.
    e.ed->SetSource(QStringLiteral("<html><head></head><body><table id=\"one\"><tr><td id=\"x\">x</td></tr></table><p>p</p></body></html>"));
    e.caret("x", 1);
    ASSERT_TRUE(e.ed->DeleteRow());
    EXPECT_EQ(e.ids("table"), QString());

    // Each command is one step of the engine's undo history: one Ctrl+Z gives the table back
    // as it was, the page around it too.
    struct Step {
        const char *what;
        std::function<void()> sel;
        std::function<bool()> run;
    } steps[] = {
        {"delete column", [&] { e.caret("a2", 1); }, [&] { return e.ed->DeleteColumn(); }},
        {"insert row", [&] { e.caret("b3", 1); }, [&] { return e.ed->InsertRow(); }},
        {"delete row", [&] { e.caret("c2", 1); }, [&] { return e.ed->DeleteRow(); }},
        {"merge", [&] { e.select("b1", 0, "b3", 2); }, [&] { return e.ed->MergeCells(); }},
        {"split", [&] { e.caret("a3", 1); }, [&] { return e.ed->SplitCell(); }},
        {"insert column", [&] { e.caret("a2", 1); }, [&] { return e.ed->InsertColumn(); }},
        {"inner cell", [&] { e.caret("in1", 1); }, [&] { return e.ed->DeleteCells(); }},
        {"cells over rows", [&] { e.select("a2", 0, "b3", 2); }, [&] { return e.ed->DeleteCells(); }},
    };
    auto body = [&] { return e.js(QStringLiteral("return document.body.innerHTML;")); };
    // Laid out over lines, as pages are: the blanks between rows come back too.
    QString spaced = fixture;
    spaced.replace(QLatin1String("</tr>"), QLatin1String("</tr>\n  "));
    for (const Step &st : steps) {
        SCOPED_TRACE(st.what);
        e.ed->SetSource(spaced);
        const QString before = body();
        st.sel();
        ASSERT_TRUE(st.run());
        ASSERT_NE(body(), before);
        e.ed->setFocus();
        QWidget *t = e.ed->focusTarget();
        ASSERT_TRUE(waitUntil([&] { return t->hasFocus() || (t->setFocus(), false); }, 30000));
        QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(waitUntil([&] { return body() == before; }, 30000)) << body().toStdString();
    }
    // A table that goes with its last row comes back whole.
    e.ed->SetSource(QStringLiteral("<html><head></head><body><table id=\"one\"><tr><td id=\"x\">x</td></tr></table><p>p</p></body></html>"));
    const QString one = body();
    e.caret("x", 1);
    ASSERT_TRUE(e.ed->DeleteRow());
    ASSERT_EQ(e.ids("table"), QString());
    e.js(QStringLiteral("document.execCommand('undo');return '';"));
    EXPECT_EQ(body(), one);
}

TEST_F(SelectionTest, PageLists)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/parts.html")));
    e.ed->SetBaseURL(url("/parts.html"));
    const QString scripts = e.ed->ExtractScriptBlocks();
    EXPECT_TRUE(scripts.contains(QLatin1String("var A=1;")) && scripts.contains(QLatin1String("var B=2;"))) << scripts.toStdString();
    EXPECT_FALSE(scripts.contains(QLatin1String("lib.js")));
    EXPECT_TRUE(scripts.contains(htmledit::kPartSeparator));
    const QString styles = e.ed->ExtractStyleBlocks();
    EXPECT_TRUE(styles.contains(QLatin1String("Font-Family:Gothic")) && styles.contains(QLatin1String("color:Red"))) << styles.toStdString();

    StringList l;
    ASSERT_TRUE(e.ed->GetBackgroundImageList(toSjis(url("/parts.html")), false, l));
    ASSERT_EQ(l.count(), 1);
    EXPECT_EQ(l[0], server->url("/bg.png"));
    ASSERT_TRUE(e.ed->GetIFrameList(l));
    EXPECT_EQ(l.text(), "frame.html\r\n");  // as the source writes it: a relative value as the page wrote it
    ASSERT_TRUE(e.ed->GetScriptFileList(l));
    EXPECT_EQ(l.text(), "lib.js\r\n");

    ASSERT_TRUE(e.ed->GetImageList(&l));
    ASSERT_EQ(l.count(), 2);
    EXPECT_EQ(l[0], "/img/a.png");
    EXPECT_EQ(l[1], "b.png");
    EXPECT_TRUE(e.ed->GetImageList(&l, true));
    EXPECT_EQ(l.count(), 4);
    EXPECT_FALSE(e.ed->GetImageList(nullptr));
    ASSERT_TRUE(e.ed->GetLinkList(&l));
    ASSERT_EQ(l.count(), 3);
    EXPECT_EQ(l[0], "/doc.html#");
    EXPECT_EQ(l[1], "#");
    EXPECT_EQ(l[2], "http://other.example/p");
    ASSERT_TRUE(e.ed->GetAnchorList(l));
    EXPECT_EQ(l.text(), "n1\r\ni1\r\n\r\n");

    e.ed->UseBrOnCarriageReturn = e.ed->UseDivOnCarriageReturn = false;
    EXPECT_TRUE(e.ed->GetDocumentText().startsWith(QLatin1String("line one\r\n\r\nline two"))) << e.ed->GetDocumentText().toStdString();
    e.ed->UseBrOnCarriageReturn = true;
    EXPECT_TRUE(e.ed->GetDocumentText().startsWith(QLatin1String("line one\r\nline two")));

    e.ed->SetModified(true);
    EXPECT_TRUE(e.ed->IsDirty());
    e.ed->SetModified(false);
    EXPECT_FALSE(e.ed->IsDirty());

    // The link under a point: an image in a link gives the link; a bare image and text nothing.
    ASSERT_TRUE(e.ed->LoadURL(url("/sel.html")));
    auto centre = [&](const char *id) {
        const QJsonArray a = QJsonDocument::fromJson(
            e.js(QStringLiteral("var r=document.getElementById('%1').getBoundingClientRect();return JSON.stringify([r.left+r.width/2,r.top+r.height/2]);")
                     .arg(QLatin1String(id)))
                .toUtf8()).array();
        return QPoint(int(a.at(0).toDouble()), int(a.at(1).toDouble()));
    };
    const QPoint im = centre("im"), bare = centre("bare"), plain = centre("plain");
    EXPECT_TRUE(e.ed->GetHrefAtPoint(im.x(), im.y()).endsWith(QLatin1String("/x.html#frag"))) << e.ed->GetHrefAtPoint(im.x(), im.y()).toStdString();
    EXPECT_EQ(e.ed->GetHrefAtPoint(bare.x(), bare.y()), QString());
    EXPECT_EQ(e.ed->GetHrefAtPoint(plain.x(), plain.y()), QString());
}

} // namespace
