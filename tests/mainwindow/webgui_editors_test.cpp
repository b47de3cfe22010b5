// The main window makes the WebGUI page's first editor tab and its two hidden editors, and keeps
// what is typed in it when a file is opened.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/NetSearchPage.h"
#include "mainwindow/TargetTabs.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "webgui/WebGuiPage.h"
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
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

// Text typed into the first tab is a change like any other: opening a file by name asks before
// it goes, a "no" keeps it, the page's open puts the file in a tab of its own, and a name that
// is not there leaves the tab as it was.
TEST(WebGuiEditors, TypedTextInTheFirstTabSurvivesOpeningAFile)
{
    QTemporaryDir dir;
    QStringList messages;
    setMessageBoxHook([&](const QString &t) { messages << t; });
    auto form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->frame.PageControlMainTop->setCurrentWidget(form->frame.PageControlMainTopTab06WebGUI);
    WebGuiPage &page = *form->webGuiPage;
    AppState &st = form->state();
    QTabWidget *tabs = form->gui.PageControlGUILeft;
    int asked = 0;
    page.dialogs.ask = [&](QWidget *, const QString &, bool) {
        ++asked;
        return int(QMessageBox::No);
    };
    TProfDHTMLEdit2 *ed = st.GActiveEditor;
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(waitUntil([&] { return ed->DocumentReady(); }, 20000));
    QWidget *first = tabs->currentWidget();

    // Keys through the view, as a user types them, the caret in the empty page.
    ed->setFocus();
    QWidget *t = ed->focusTarget();
    ASSERT_TRUE(waitUntil([&] { return t->hasFocus() || (t->setFocus(), false); }, 30000));
    ed->evalDoc(QStringLiteral("var r=document.createRange();r.selectNodeContents(document.body);r.collapse(false);"
                               "var s=getSelection();s.removeAllRanges();s.addRange(r);return '';"));
    ASSERT_TRUE(waitUntil([&] { return ed->evalDoc(QStringLiteral("return String(document.hasFocus());")).toString() == QStringLiteral("true"); }, 30000));
    QTest::keyClicks(t, QStringLiteral("typed"));
    const auto bodyText = [](TProfDHTMLEdit2 *e) { return e->evalDoc(QStringLiteral("return document.body.textContent;")).toString(); };
    ASSERT_TRUE(waitUntil([&] { return bodyText(ed).contains(QStringLiteral("typed")); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return ed->IsDirty(); }, 30000)) << "the typing was not counted as a change";

    // A name that is not there: told, and the tab untouched.
    form->dl.BtnEditDownloadLocalFile->setText(dir.filePath(QStringLiteral("missing.html")));
    page.btnOpenFileDirectClick();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_EQ(tabs->currentWidget(), first);
    EXPECT_TRUE(bodyText(ed).contains(QStringLiteral("typed")));
    EXPECT_TRUE(ed->IsDirty());

    // A file that is there: the changed tab is not given up without a "yes".
    const std::string path = toSjis(dir.filePath(QStringLiteral("opened.html")));
    std::ofstream(ToSystemPath(path), std::ios::binary) << "<html><head><title>o</title></head><body><p>from file</p></body></html>";
    form->dl.BtnEditDownloadLocalFile->setText(fromSjis(path));
    page.btnOpenFileDirectClick();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_TRUE(bodyText(ed).contains(QStringLiteral("typed")));

    // The page's open routine: a new tab for the file, the typed one kept.
    page.GUIFileOpenCommon(path);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->indexOf(first), 0);
    EXPECT_NE(tabs->currentWidget(), first);
    EXPECT_TRUE(bodyText(ed).contains(QStringLiteral("typed")));
    EXPECT_FALSE(bodyText(ed).contains(QStringLiteral("from file")));
    EXPECT_TRUE(ed->IsDirty());
    TProfDHTMLEdit2 *opened = st.GActiveEditor;
    ASSERT_NE(opened, ed);
    EXPECT_TRUE(tabs->currentWidget()->isAncestorOf(opened));
    EXPECT_TRUE(waitUntil([&] { return bodyText(opened).contains(QStringLiteral("from file")); }, 10000));
    // A page the program loaded is not a change of the user's; a read round-trip lets late reports in.
    bodyText(opened);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened->IsDirty());

    // A missing name through the open routine leaves the opened tab's page as it was.
    page.GUIFileOpenCommon(toSjis(dir.filePath(QStringLiteral("missing.html"))));
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_TRUE(bodyText(opened).contains(QStringLiteral("from file")));
    EXPECT_TRUE(bodyText(ed).contains(QStringLiteral("typed")));
    form->close();
    form.reset();
    setMessageBoxHook({});
}

// Clearing the URL boxes (a new search, closing the right pane's tabs) starts a fresh page in
// the current editor only when that editor holds nothing unsaved.
TEST(WebGuiEditors, ClearingTheUrlBoxesNeverWipesAnUnsavedPage)
{
    QTemporaryDir dir;
    auto form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TProfDHTMLEdit2 *ed = form->state().GActiveEditor;
    ASSERT_TRUE(waitUntil([&] { return ed->DocumentReady(); }, 30000));
    const auto bodyText = [&] { return ed->evalDoc(QStringLiteral("return document.body.textContent;")).toString(); };
    ed->evalDoc(QStringLiteral("document.body.textContent='unsaved work';return '';"));
    ed->SetDirty(true);
    form->netSearchPage->tabs().ClearUrlListBox();
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntil([&] { return ed->DocumentReady(); }, 30000));
    EXPECT_EQ(bodyText(), QStringLiteral("unsaved work"));
    EXPECT_TRUE(ed->IsDirty());

    ed->SetDirty(false);
    form->netSearchPage->tabs().ClearUrlListBox();
    EXPECT_TRUE(waitUntil([&] { return ed->DocumentReady() && bodyText().isEmpty(); }, 30000));
    form->close();
}
