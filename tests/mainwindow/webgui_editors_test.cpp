// The main window makes the WebGUI page's first editor tab and its two hidden editors.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/TAMainForm.h"
#include "support/WaitUntil.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(WebGuiEditors, FormCreateMakesTheFirstTabAndTheHiddenEditors)
{
    QTemporaryDir dir;
    TAMainForm form(dir.filePath(QStringLiteral("vornkym")));
    AppState &st = form.state();
    ASSERT_NE(st.GActiveEditor, nullptr);
    ASSERT_NE(st.GTempEditor, nullptr);
    ASSERT_NE(st.GCurrentEditor, nullptr);
    EXPECT_EQ(form.gui.PageControlGUILeft->count(), 1);
    EXPECT_EQ(form.gui.PageControlGUILeft->tabText(0), QStringLiteral("新規[ 1 ]"));
    EXPECT_TRUE(form.gui.PageControlGUILeft->currentWidget()->isAncestorOf(st.GActiveEditor));
    EXPECT_TRUE(form.dl.PageControlmainBodyRightTab02Download->isAncestorOf(st.GTempEditor));
    EXPECT_TRUE(form.gui.PageControlGUIRightTab03OrgHTMLSrcRightTab06CurrentEditor->isAncestorOf(st.GCurrentEditor));
    EXPECT_TRUE(waitUntil([&] { return st.GActiveEditor->DocumentReady(); }, 20000));
    form.close();
}
