// The saves of the WebGUI page refuse a page the editor did not load whole and write what the
// user changed, in a real (offscreen) window.
#include "WebGuiSavesForm.h"

using namespace savestest;

// A page the editor could not load in time is never written: every save says so in Japanese,
// naming the file, and neither the file nor its backup changes.
TEST(WebGuiSaves, APageNotLoadedWholeIsNeverSaved)
{
    Form f;
    std::string page = "<html><head><title>big</title></head><body>\n";
    while (page.size() < 1024 * 1024) page += "<p>line of the page that takes the engine a while</p>\n";
    page += "</body></html>\n";
    const std::string file = f.path("site/big.html");
    writeFile(file, page);
    writeFile(f.path("site/YY_big.html"), "the user's own backup");
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_TRUE(waitUntil([&] { return ed->DocumentReady(); }, 30000));
    ed->setTimeout(0.001);  // the bound passes long before the engine has the page
    f.open(file);
    ed->setTimeout(30);
    ASSERT_EQ(f.st().GActiveEditor, ed);
    EXPECT_EQ(ed->pageLoad(), TProfDHTMLEdit2::PageLoad::Failed);
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("読み込めませんでした"))) << f.messages[0].toStdString();
    // The indentation result comes from the hidden editor, which did load the page.
    ASSERT_TRUE(waitUntil([&] { return f.st().GIndentSourceReady; }, 60000));
    f.page().btnGUITDCheckClick();
    ASSERT_GT(f.gui().ListBoxGUISaveFinal->count(), 0);

    const std::vector<std::pair<const char *, std::function<void()>>> saves = {
        {"上書き保存", [&] { f.gui().ToolButtonSave->click(); }},
        {"名前を付けて保存", [&] { f.gui().ToolButtonSaveWithName->click(); }},
        {"整形結果を保存", [&] { f.page().sbGUITDCheckSaveClick(); }},
        {"単純ｲﾝﾃﾞﾝﾄ整形して保存", [&] { f.page().btnGUISaveLocalHTMLSrcWihtIndentClick(); }},
        {"HTMLｿｰｽ そのまま保存", [&] { f.search().btnSaveHTMLSrClick(); }},
        {"HTMLｿｰｽ 名前付き保存", [&] { f.search().btnSaveHTMLSrWithNameClick(); }},
    };
    for (const auto &[name, save] : saves) {
        SCOPED_TRACE(name);
        f.messages.clear();
        f.saveAs = f.path("site/other.html");
        f.gui().RichEditPageControlGUIRightEntireSrc->setText("<html><body>stub</body></html>");
        f.gui().MemoHTMLSrc->setText("<html><body>stub</body></html>");
        save();
        ASSERT_EQ(f.messages.size(), 1);
        EXPECT_TRUE(f.messages[0].contains(QStringLiteral("保存しません"))) << f.messages[0].toStdString();
        EXPECT_TRUE(f.messages[0].contains(fromSjis(file))) << f.messages[0].toStdString();
        EXPECT_EQ(readFile(file), page);
        EXPECT_EQ(readFile(f.path("site/YY_big.html")), "the user's own backup");
        EXPECT_FALSE(QFileInfo::exists(fromSjis(f.saveAs)));
        EXPECT_NE(f.gui().StatusBar->panelText(2), QStringLiteral("Saved!!"));
    }
}

// What the user changed is what is written: a replacement in the whole-source pane, the
// generated result taken as the source, a character typed in the editor. The first backup of
// the session stays the user's file, and a saved tab is not a changed one.
TEST(WebGuiSaves, WhatTheUserChangedIsWritten)
{
    Form f;
    const std::string original =
        "<html><head><title>p</title></head><body>\n<p id=\"t\">text</p>\n<p><img src=\"c:/pics/a.png\"></p>\n</body></html>\n";
    const std::string file = f.path("site/page.html");
    writeFile(file, original);
    f.open(file);
    ASSERT_TRUE(f.st().GActiveEditor->LoadedWhole());

    // "一括置換・削除" in the whole-source pane, then each save of the page.
    f.gui().EditGUISearchWord->setText(QStringLiteral("c:/pics/"));
    f.gui().EditGUIReplaceWord->setText(QStringLiteral("img/"));
    f.page().btnEditRemoveFolderRemoveAllClick();
    f.gui().ToolButtonSave->click();
    EXPECT_NE(readFile(file).find("src=\"img/a.png\""), std::string::npos) << readFile(file);
    EXPECT_EQ(readFile(file).find("c:/pics"), std::string::npos);
    EXPECT_EQ(readFile(f.path("site/YY_page.html")), original);
    f.saveAs = f.path("site/copy.html");
    f.gui().ToolButtonSaveWithName->click();
    EXPECT_NE(readFile(f.saveAs).find("src=\"img/a.png\""), std::string::npos) << readFile(f.saveAs);

    // "生成結果をｿｰｽとする": the result in the pane is what the next save writes; a second
    // overwrite keeps the backup of the user's own file.
    f.page().GUIFileOpenCommon(file);
    f.gui().RichEditPageControlGUIRightEntireSrcAfter->setText("<html><head><title>p</title></head><body><p>generated</p></body></html>");
    f.page().btnMakeGUIBuld2HTMLSrcClick();
    f.gui().ToolButtonSave->click();
    EXPECT_NE(readFile(file).find("<p>generated</p>"), std::string::npos) << readFile(file);
    EXPECT_EQ(readFile(f.path("site/YY_page.html")), original);

    // A character outside the BMP typed into the editor is written as its own reference.
    writeFile(file, original);
    f.page().GUIFileOpenCommon(file);
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_TRUE(ed->LoadedWhole());
    const auto js = [&](const QString &s) { return ed->evalDoc(s).toString(); };
    js(QStringLiteral("var n=document.getElementById('t'),r=document.createRange();r.selectNodeContents(n);r.collapse(false);"
                      "var s=getSelection();s.removeAllRanges();s.addRange(r);return '';"));
    ed->setFocus();
    QWidget *t = ed->focusTarget();
    ASSERT_TRUE(waitUntil([&] { return t->hasFocus() || (t->setFocus(), false); }, 30000));
    js(QStringLiteral("if(!window.__k){window.__k={n:0};document.addEventListener('keydown',function(){window.__k.n++;},true);}return '';"));
    const int before = js(QStringLiteral("return String(window.__k.n);")).toInt();
    ASSERT_TRUE(waitUntil([&] { return js(QStringLiteral("return String(window.__k.n);")).toInt() > before ||
                                       (QTest::keyClick(t, Qt::Key_Shift), false); }, 30000));
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    // As the window system gives it: the character is the key code too.
    QKeyEvent press(QEvent::KeyPress, 0x1F600, Qt::NoModifier, smile), release(QEvent::KeyRelease, 0x1F600, Qt::NoModifier, smile);
    QCoreApplication::sendEvent(t, &press);
    QCoreApplication::sendEvent(t, &release);
    ASSERT_TRUE(waitUntil([&] { return js(QStringLiteral("return document.getElementById('t').textContent;")).contains(smile); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return ed->IsDirty(); }, 30000));
    f.gui().ToolButtonSave->click();
    EXPECT_NE(readFile(file).find("text&#128512;</p>"), std::string::npos) << readFile(file);
    EXPECT_EQ(readFile(file).find("&#62976;"), std::string::npos);
    // Saved: leaving the tab asks nothing.
    EXPECT_FALSE(ed->IsDirty());
    int asked = 0;
    f.page().dialogs.ask = [&](QWidget *, const QString &, bool) {
        ++asked;
        return int(QMessageBox::No);
    };
    f.open(f.path("site/copy.html"));
    EXPECT_EQ(asked, 0);
}

// Answering "No" to the question before a URL open leaves the changed tab and every pane.
TEST(WebGuiSaves, NoToTheCloseQuestionKeepsThePanes)
{
    Form f;
    const std::string file = f.path("site/page.html");
    writeFile(file, "<html><head><title>p</title></head><body><p>kept</p></body></html>");
    f.open(file);
    f.st().GActiveEditor->SetDirty(true);
    f.page().dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::No); };
    const std::string pane = f.gui().RichEditPageControlGUIRightEntireSrc->text();
    ASSERT_NE(pane.find("kept"), std::string::npos);
    f.gui().ComboBoxGUIEditorURL->setEditText(QStringLiteral("http://127.0.0.1:1/x.html"));
    f.page().btnGUIEditorURLNavigateClick();
    EXPECT_EQ(f.gui().RichEditPageControlGUIRightEntireSrc->text(), pane);
    EXPECT_EQ(f.st().GGUIFile, file);
}
