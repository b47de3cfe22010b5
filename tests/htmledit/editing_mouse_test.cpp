// The mouse in the editing control with a real engine, offscreen: table borders are dragged
// with the left button, sizes from the engine become attributes, and the engine's own context
// menu never shows.
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/EditorWindow.h"
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

const char *kPage =
    "<html><head><title>m</title></head><body style=\"margin:10px\">"
    "<table id=\"t\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\">\n"
    "<tr><td id=\"a1\" width=\"100\">a1</td><td id=\"a2\" width=\"100\">a2</td><td id=\"a3\" width=\"100\">a3</td></tr>\n"
    "<tr><td id=\"b1\" colspan=\"2\">b1</td> <td id=\"b3\">b3</td></tr>\n"
    "<tr><td id=\"c1\" width=\"100\">c1</td><td id=\"c2\">c2</td><td id=\"c3\">c3</td></tr>\n</table>"
    "<p><img id=\"px\" alt=\"\" style=\"width:120px;height:30px;background:#888\"> "
    "<img id=\"pc\" alt=\"\" style=\"width:20%;height:30px;background:#888\"> "
    "<img id=\"em\" alt=\"\" style=\"width:3em;height:30px;background:#888\"></p></body></html>";

struct Editor : EditorWindow {
    Editor()
    {
        ed->SourceCodeOptions = htmledit::kAllSourceOptions;
        ed->UseBrOnCarriageReturn = ed->UseDivOnCarriageReturn = false;
        ed->SetSource(QString::fromUtf8(kPage));
    }
    QString attr(const char *Id, const char *Name)
    {
        return js(QStringLiteral("var v=document.getElementById('%1').getAttribute('%2');return v===null?'-':v;")
                      .arg(QLatin1String(Id), QLatin1String(Name)));
    }
    QString rowHeight(int Index)
    {
        return js(QStringLiteral("var v=document.getElementById('t').rows[%1].getAttribute('height');return v===null?'-':v;").arg(Index));
    }
    QString cursorOver(const char *Id) { return js(QStringLiteral("return getComputedStyle(document.getElementById('%1')).cursor;").arg(QLatin1String(Id))); }
};

TEST(EditorMouse, ColumnAndRowBordersDragWithTheLeftButton)
{
    Editor e;
    QWidget *v = e.ed->focusTarget();
    const QRect a1 = e.rect("a1");
    ASSERT_GT(a1.width(), 50);
    const QPoint border(a1.right(), a1.center().y());

    // A right-button drag changes nothing.
    QTest::mouseMove(v, border - QPoint(20, 0));
    QTest::mouseMove(v, border);
    ASSERT_TRUE(waitUntil([&] { return e.cursorOver("a2") == QLatin1String("col-resize"); }, 30000)) << e.cursorOver("a2").toStdString();
    QTest::mousePress(v, Qt::RightButton, {}, border);
    QTest::mouseMove(v, border + QPoint(40, 0));
    QTest::mouseRelease(v, Qt::RightButton, {}, border + QPoint(40, 0));
    EXPECT_EQ(e.attr("a1", "width"), QStringLiteral("100"));

    // Moving off the border gives the cursor back.
    QTest::mouseMove(v, a1.center());
    ASSERT_TRUE(waitUntil([&] { return e.cursorOver("a2") != QLatin1String("col-resize"); }, 30000));

    // The left button drags the boundary after column 1: the cells ending there in every row.
    QTest::mouseMove(v, border);
    ASSERT_TRUE(waitUntil([&] { return e.cursorOver("a2") == QLatin1String("col-resize"); }, 30000));
    QTest::mousePress(v, Qt::LeftButton, {}, border);
    QTest::mouseMove(v, border + QPoint(40, 0));
    QTest::mouseRelease(v, Qt::LeftButton, {}, border + QPoint(40, 0));
    ASSERT_TRUE(waitUntil([&] { return e.attr("a1", "width") != QLatin1String("100"); }, 30000));
    const int w = e.attr("a1", "width").toInt();
    EXPECT_NEAR(w, a1.width() + 40, 3);
    EXPECT_EQ(e.attr("c1", "width").toInt(), w);
    EXPECT_EQ(e.attr("b1", "width"), QStringLiteral("-"));   // ends at column 2
    EXPECT_EQ(e.attr("a2", "width"), QStringLiteral("100"));
    EXPECT_EQ(e.attr("c2", "width"), QStringLiteral("-"));
    // The whole drag is one step of the engine's undo history.
    ASSERT_TRUE(waitUntil([&] { return v->hasFocus() || (v->setFocus(), false); }, 30000));
    QTest::keyClick(v, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.attr("a1", "width") == QLatin1String("100"); }, 30000)) << e.attr("a1", "width").toStdString();
    EXPECT_EQ(e.attr("c1", "width"), QStringLiteral("100"));
    e.js(QStringLiteral("document.execCommand('redo');return '';"));
    ASSERT_TRUE(waitUntil([&] { return e.attr("a1", "width").toInt() == w; }, 30000)) << e.attr("a1", "width").toStdString();
    EXPECT_EQ(e.attr("c1", "width").toInt(), w);

    // The top border of a cell in row 3 drags row 2.
    const QRect c2 = e.rect("c2");
    const QPoint top(c2.center().x(), c2.top() + 1);
    QTest::mouseMove(v, c2.center());
    ASSERT_TRUE(waitUntil([&] { return e.cursorOver("c2") == QLatin1String("auto"); }, 30000)) << e.cursorOver("c2").toStdString();
    QTest::mouseMove(v, top);
    ASSERT_TRUE(waitUntil([&] { return e.cursorOver("c2") == QLatin1String("row-resize"); }, 30000)) << e.cursorOver("c2").toStdString();
    const QRect b3 = e.rect("b3");
    QTest::mousePress(v, Qt::LeftButton, {}, top);
    QTest::mouseMove(v, top + QPoint(0, 30));
    QTest::mouseRelease(v, Qt::LeftButton, {}, top + QPoint(0, 30));
    ASSERT_TRUE(waitUntil([&] { return e.rowHeight(1) != QLatin1String("-"); }, 30000));

    EXPECT_NEAR(e.rowHeight(1).toInt(), top.y() + 30 - b3.top(), 3);
    EXPECT_EQ(e.rowHeight(2), QStringLiteral("-"));
    EXPECT_EQ(e.rowHeight(0), QStringLiteral("-"));
}

TEST(EditorMouse, ReleasedImagesGetPixelSizesAsAttributes)
{
    Editor e;
    QWidget *v = e.ed->focusTarget();
    for (const char *id : {"px", "pc", "em"}) {
        const QPoint c = e.rect(id).center();
        QTest::mouseClick(v, Qt::LeftButton, {}, c);  // selects the image
        ASSERT_TRUE(waitUntil([&] { return e.ed->IsImageSelected(); }, 30000)) << id;
        QTest::mouseClick(v, Qt::LeftButton, {}, c);  // released while selected
    }
    ASSERT_TRUE(waitUntil([&] { return e.attr("px", "width") == QLatin1String("120"); }, 30000)) << e.attr("px", "style").toStdString();
    EXPECT_EQ(e.attr("px", "height"), QStringLiteral("30"));
    EXPECT_EQ(e.attr("px", "style").contains(QLatin1String("width")), false);
    EXPECT_EQ(e.attr("pc", "width"), QStringLiteral("-"));   // other units stay inline
    EXPECT_TRUE(e.attr("pc", "style").contains(QLatin1String("20%")));
    EXPECT_TRUE(e.attr("em", "style").contains(QLatin1String("3em")));
    EXPECT_EQ(e.attr("em", "height"), QStringLiteral("30"));
}

TEST(EditorMouse, RightClickShowsOnlyTheControlsMenu)
{
    Editor e;
    QWidget *v = e.ed->focusTarget();
    int downs = 0, ups = 0;
    e.ed->OnMouseDown = [&](QObject *, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) { downs += b == Qt::RightButton && x > 0 && y > 0; };
    e.ed->OnMouseUp = [&](QObject *, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++ups; };
    const QPoint p = e.rect("a2").center();
    QTest::mouseClick(v, Qt::RightButton, {}, p);
    EXPECT_TRUE(waitUntil([&] { return downs == 1 && ups == 1; }, 30000));
    // No engine menu: nothing pops up while the control's own menu has no items.
    QTest::qWait(0);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The engine's editing actions on request, shown until dismissed.
    QTimer::singleShot(300, [] {
        if (QWidget *w = QApplication::activePopupWidget()) w->close();
    });
    EXPECT_TRUE(e.ed->ShowContextMenu(p.x(), p.y()));

    QMenu menu;
    menu.addAction(QStringLiteral("項目"));
    e.ed->PopupMenu = &menu;
    QTest::mouseClick(v, Qt::RightButton, {}, p);
    EXPECT_TRUE(waitUntil([&] { return menu.isVisible(); }, 30000));
    menu.close();
}

// The control's hint shows over the document.
TEST(EditorMouse, HintShowsOverTheDocument)
{
    Editor e;
    QWidget *v = e.ed->focusTarget();
    const QPoint p = e.rect("a2").center();
    e.ed->setToolTip(QStringLiteral("ヒント"));
    QHelpEvent help(QEvent::ToolTip, p, v->mapToGlobal(p));
    QApplication::sendEvent(v, &help);
    EXPECT_TRUE(waitUntil([] { return QToolTip::isVisible() && QToolTip::text() == QStringLiteral("ヒント"); }, 30000));
    QToolTip::hideText();
}

} // namespace
