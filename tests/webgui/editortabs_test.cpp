// The WebGUI page's editors: tabs, the current editor and the hidden editors, made for real.
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiEditorTabs.h"
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

TEST(WebGuiEditorTabs, CanvasTabsAndHiddenEditors)
{
    QWidget window;
    QTabWidget left(&window), right(&window);
    QWidget download, current;
    right.addTab(&download, QStringLiteral("dl"));
    right.addTab(&current, QStringLiteral("cur"));
    TProfDHTMLEdit2 *active = nullptr, *temp = nullptr, *cur = nullptr;
    WebGuiEditorTabs tabs({&left, &download, &current, &active, &temp, &cur});
    window.show();

    TProfDHTMLEdit2 *first = tabs.CreateCanvas(QStringLiteral("ignored"));
    EXPECT_EQ(left.tabText(0), QStringLiteral("新規[ 1 ]"));
    EXPECT_EQ(active, first);
    EXPECT_EQ(first->SourceCodeOptions, 0xDBFFu);
    EXPECT_TRUE(first->FlatScrollBars && first->UseBrOnCarriageReturn && first->UseDivOnCarriageReturn);
    EXPECT_EQ(first->PopupMenu.data(), tabs.PopupMenuEditor());
    EXPECT_TRUE(tabs.PopupMenuEditor()->actions().isEmpty());
    EXPECT_TRUE(first->OnClick && first->OnChange && first->OnKeyDown && first->OnSetSource && first->OnDisplayChanged);

    TProfDHTMLEdit2 *second = tabs.CreateCanvas();
    EXPECT_EQ(left.tabText(1), QStringLiteral("新規[ 2 ]"));
    EXPECT_EQ(left.currentIndex(), 1);
    EXPECT_EQ(active, second);

    tabs.CreateTempEditor();
    tabs.CreateCurrentEditor();
    ASSERT_NE(temp, nullptr);
    ASSERT_NE(cur, nullptr);
    EXPECT_EQ(temp->parentWidget(), &download);
    EXPECT_FALSE(temp->isVisible());
    EXPECT_EQ(cur->parentWidget(), &current);
    EXPECT_FALSE(temp->OnClick || cur->OnClick || temp->OnCreate);
    EXPECT_EQ(temp->SourceCodeOptions, 0xDBFFu);

    // Every editor becomes ready for the page's loads.
    for (TProfDHTMLEdit2 *e : {first, second, temp, cur})
        EXPECT_TRUE(waitUntil([e] { return e->DocumentReady(); }, 20000));

    // The hand-over routines pass the editors' events on once assigned.
    int clicks = 0;
    tabs.EditorClickHandler = [&](QObject *s) { clicks += s == second; };
    second->OnClick(second);
    EXPECT_EQ(clicks, 1);
}
