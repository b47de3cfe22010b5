// Two-column list lines ("text TAB url"): the second column starts past the longest first
// column, so no row loses its URL, and the list scrolls to the end of the longest one.
#include "platform/Controls.h"
#include <QFontMetrics>
#include <gtest/gtest.h>

TEST(ListBox, SecondColumnStartsPastTheLongestFirstColumn)
{
    TListBox box;
    box.setTabStops({1, 120, 0});
    box.resize(300, 200);
    const QStringList lines = {
        QStringLiteral(" 1.  短い\thttp://127.0.0.1/a.html"),
        QStringLiteral("12.  とても長いタイトルの項目で、最初の列が決められたタブ位置を越えるもの\thttp://127.0.0.1/long/page.html"),
        QStringLiteral(" 3.  中くらいの長さ\thttp://127.0.0.1/c.html"),
    };
    box.setLines(lines);
    const QFontMetrics fm = box.fontMetrics();
    const int widest = fm.horizontalAdvance(lines[1].section(QLatin1Char('\t'), 0, 0));
    ASSERT_GT(widest, 120);
    EXPECT_GT(box.secondColumnStart(), widest);
    for (int i = 0; i < box.count(); ++i) {
        const QString url = lines[i].section(QLatin1Char('\t'), 1);
        const QSize hint = box.itemDelegate()->sizeHint(QStyleOptionViewItem(), box.model()->index(i, 0));
        EXPECT_GE(hint.width(), box.secondColumnStart() + fm.horizontalAdvance(url)) << i;
    }
    // A list of short first columns keeps the declared stop; the start follows the items.
    box.setLines({QStringLiteral("a\thttp://h/1"), QStringLiteral("b\thttp://h/2")});
    EXPECT_EQ(box.secondColumnStart(), 120);
}
