// The editing control driven as an edit control, the way an outside checker drives it.
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "support/EditorWindow.h"
#include <QDir>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>
#include <stdexcept>

namespace {

const char *kPage = "<html><head><title>c</title></head><body><p id=\"p\">Hello world and wrold, 日本語の文章です。"
                    " see http://example.com/page now <a href=\"/x\">linkword</a> end</p></body></html>";

struct Editor : EditorWindow {
    explicit Editor(bool Wait = true) : EditorWindow(QSize(700, 300), Wait)
    {
        if (Wait) ed->SetSource(QString::fromUtf8(kPage));
    }
    // The index of the first word with this text.
    int line(const char *Word)
    {
        const int n = ed->EMGetLineCount();
        for (int i = 0; i < n; ++i) {
            std::string w;
            ed->EMGetLine(i, w, 100);
            if (w == toSjis(QString::fromUtf8(Word))) return i;
        }
        return -1;
    }
};

TEST(EditControl, AnswersAndTheUnderlineProtocol)
{
    {
        Editor busy(false);  // still being created: no document
        EXPECT_EQ(busy.ed->EMGetSelText(), "BUSY");
        EXPECT_EQ(busy.ed->EMGetLineCount(), 0);
        EXPECT_EQ(busy.ed->EMLineIndex(0), -1);
    }
    Editor e;
    TProfDHTMLEdit2 &c = *e.ed;
    // Mode 1 (line count first): pairs underline nothing.
    EXPECT_GE(c.EMGetLineCount(), 10);
    EXPECT_EQ(c.editClientMode(), 1);
    QPoint a, b;
    c.EMPosFromChar(&a, 10);
    c.EMPosFromChar(&a, 15);
    EXPECT_EQ(c.highlightCount(), 0);
    int cpMin = 7, cpMax = 9;
    c.EMExGetSel(cpMin, cpMax);
    EXPECT_EQ(c.editClientMode(), 1);  // the first of the two decides
    EXPECT_EQ(cpMin, 0);
    EXPECT_EQ(cpMax, 9);

    // Words: Japanese text split without blanks, URL words read as empty.
    std::string w;
    EXPECT_EQ(c.EMGetLine(e.line("Hello"), w, 3), 3);
    EXPECT_EQ(w, "Hel");
    EXPECT_GE(e.line("日本語"), 0);
    const int n = c.EMGetLineCount();
    int inUrl = 0;
    for (int i = 0; i < n; ++i) inUrl += c.EMGetLine(i, w, 100) == 0;
    EXPECT_GE(inUrl, 4);  // http, example, com, page, linkword
    EXPECT_EQ(e.line("linkword"), -1);

    // Positions: the walk in order, the same word again, and back from a position.
    const int p0 = c.EMLineIndex(0), p1 = c.EMLineIndex(1), p2 = c.EMLineIndex(2), p3 = c.EMLineIndex(3);
    EXPECT_TRUE(p0 == 0 && p0 < p1 && p1 < p2 && p2 < p3) << p0 << " " << p1 << " " << p2 << " " << p3;
    EXPECT_EQ(c.EMLineIndex(3), p3);
    EXPECT_EQ(c.EMLineFromChar(p2), 2);
    EXPECT_EQ(c.EMLineFromChar(p2 + 1), 2);
    EXPECT_EQ(c.EMLineIndex(100000), -1);

    // Selection as positions.
    c.EMSetSel(p1, p1 + 5);
    int s = -1, t = -1;
    c.EMGetSel(&s, &t);
    EXPECT_EQ(s, p1);
    EXPECT_EQ(t, p1 + 5);
    EXPECT_EQ(c.EMGetSelText(), "world");
    c.EMGetSel(nullptr, &t);

    // Mode 3 (a point asked for): the underline protocol.
    const int at = c.EMCharFromPos(QPoint(2, 2));
    EXPECT_EQ(c.editClientMode(), 3);
    EXPECT_GE(at, 0);
    c.EMPosFromChar(&a, 10);
    EXPECT_EQ(a, QPoint(2, 2));  // the point of the last query, handed back once
    c.EMPosFromChar(&a, 15);
    EXPECT_EQ(a, QPoint(0, 0));
    EXPECT_EQ(c.highlightCount(), 1);
    c.EMPosFromChar(&a, 20);  // after a complete pair a new one starts
    EXPECT_EQ(c.highlightCount(), 1);
    c.EMPosFromChar(&b, 25);  // another buffer: a new pair again
    c.EMPosFromChar(&a, 30);
    EXPECT_EQ(c.highlightCount(), 1);
    c.EMPosFromChar(&a, 28);  // not greater: moves the start
    EXPECT_EQ(c.highlightCount(), 1);
    c.EMPosFromChar(&a, 33);
    EXPECT_EQ(c.highlightCount(), 2);
    // After the next word in order, one pair is skipped.
    c.EMLineIndex(3);
    c.EMLineIndex(4);
    c.EMPosFromChar(&a, 10);
    c.EMPosFromChar(&a, 15);
    EXPECT_EQ(c.highlightCount(), 2);
    c.EMPosFromChar(&a, 16);
    EXPECT_EQ(c.highlightCount(), 3);
    c.EMLineScroll();
    c.EMPosFromChar(&b, 40);
    EXPECT_EQ(c.highlightCount(), 3);  // a scroll ended the pair
    c.WMPaint();
    EXPECT_EQ(c.highlightCount(), 0);
    EXPECT_THROW(c.EMPosFromChar(nullptr, 1), std::invalid_argument);
    // The source never holds an underline.
    EXPECT_FALSE(c.GetSource().contains(QLatin1String("span")));
}

// A small checker of our own walks the words and underlines the one it does not know.
TEST(EditControl, CheckerUnderlinesAMisspelledWord)
{
    Editor e;
    TProfDHTMLEdit2 &c = *e.ed;
    const QSet<QString> known = {"Hello", "world", "and", "日本語", "の", "文章", "です", "see", "now", "end", "http",
                                 "example", "com", "page", "linkword", "日本", "語", "文", "章", "で", "す"};
    int cpMin = 0, cpMax = 0;
    c.EMExGetSel(cpMin, cpMax);
    const int n = c.EMGetLineCount();
    QStringList wrong;
    QPoint buffer;
    for (int i = 0; i < n; ++i) {
        std::string w;
        if (c.EMGetLine(i, w, 256) == 0) continue;
        const QString word = fromSjis(w);
        if (known.contains(word)) continue;
        wrong << word;
        const int start = c.EMLineIndex(i);
        c.EMPosFromChar(&buffer, start);
        c.EMPosFromChar(&buffer, start + word.size());
    }
    EXPECT_EQ(wrong, QStringList{QStringLiteral("wrold")});
    EXPECT_EQ(c.highlightCount(), 1);
    QTest::qWait(200);
    const QString png = QDir::temp().filePath(QStringLiteral("vornkym-checker.png"));
    e.window.grab().save(png);
    std::cout << "checker screenshot: " << png.toStdString() << std::endl;
}

} // namespace
