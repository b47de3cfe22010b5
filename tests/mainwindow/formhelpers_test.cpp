// Folder creation, the charset rename, captions, number fields and the page-change sizes.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/MainMenuHandlers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(FormHelpers, CreateFolderTable)
{
    QTemporaryDir dir;
    const std::string base = toSjis(dir.path()) + "/";
    const struct {
        std::string path;
        std::string first;
        QString created;  // the folder that exists afterwards; empty when nothing is made
    } rows[] = {
        {base + "a?b|c/d", "Folder Create OK!! 7", QStringLiteral("a_b~c/d")},
        {base + "x*y+z", "Folder Create OK!! 7", QStringLiteral("x;y_z")},
        {base + "deep/" + Utf8ToAnsi("日本/語"), "Folder Create OK!! 7", QStringLiteral("deep/日本/語")},
        {base + "page.HTML", "InvaliFoldename!!    id=7", QString()},
        {base + "script.jsx", "InvaliFoldename!!    id=7", QString()},
        {base + "img.JPEG", "InvaliFoldename!!    id=7", QString()},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(CreateFolder(r.path, "", 7), r.first);
        if (r.created.isEmpty()) {
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).filter(QStringLiteral(".")).size(), 0);
            continue;
        }
        EXPECT_TRUE(QDir(dir.filePath(r.created)).exists());
        std::string msg = "stale";
        CreateFolder(r.path, "", 8, msg);
        EXPECT_EQ(msg, "Folder Exist!! 8");
    }
    // A file where the folder should be: reported, not thrown.
    QFile f(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(CreateFolder(base + "plain/sub", "", 9), "Folder Create Exception!! 9");
}

TEST(FormHelpers, MissingFolderMessage)
{
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    std::string out = "x";
    MsgFolderNotExists("C:/data", "%12", 0, 5, out);
    MsgFolderNotExists("caller", "C:/data", 6, out);
    setMessageBoxHook({});
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("ﾌｫﾙﾀﾞｰが存在しません   〔 %12 〕    id=[ 5 ]\r\n\r\n【 C:/data 】"));
    EXPECT_EQ(shown[1], QStringLiteral("ﾌｫﾙﾀﾞｰが存在しません   〔 C:/data 〕    id=[ 6 ]\r\n\r\n【 caller 】"));
}

TEST(FormHelpers, CharsetRenameOnlyInDeclarations)
{
    const struct {
        std::string in, out;
    } rows[] = {
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Utf-8\">",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
        {"<meta charset=\"EUC-JP\">", "<meta charset=\"Shift_JIS\">"},
        {"<?xml version=\"1.0\" encoding='utf-8'?>", "<?xml version=\"1.0\" encoding='Shift_JIS'?>"},
        {"@charset \"UTF-8\";", "@charset \"Shift_JIS\";"},
        {"<p>This page is UTF-8 and euc-jp text</p><meta charset=utf-8>",
         "<p>This page is UTF-8 and euc-jp text</p><meta charset=Shift_JIS>"},
        {"<p>plain</p>", "<p>plain</p>"},
    };
    for (const auto &r : rows) EXPECT_EQ(UTFEUC2ShiftJIS(r.in), r.out) << r.in;
}

TEST(FormHelpers, NumberFieldKeys)
{
    const struct {
        int key;
        QString text;
        bool accepted;
    } rows[] = {{Qt::Key_5, QStringLiteral("5"), true},          {Qt::Key_A, QStringLiteral("a"), false},
                {Qt::Key_Minus, QStringLiteral("-"), false},     {Qt::Key_Backspace, QStringLiteral("\b"), true},
                {Qt::Key_Delete, QString(), true},               {Qt::Key_Left, QString(), true},
                {Qt::Key_Return, QStringLiteral("\r"), true}};
    for (const auto &r : rows) EXPECT_EQ(CommonkeyPressAccepts(r.key, {}, r.text), r.accepted) << r.key;

    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    TSpinEdit *spin = f.batch.SpinEditLinkStart;
    spin->setValue(12);
    spin->show();
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_End);
    QTest::keyClick(spin, Qt::Key_X);
    EXPECT_EQ(spin->text(), QStringLiteral("12"));
    QTest::keyClick(spin, Qt::Key_Backspace);
    QTest::keyClick(spin, Qt::Key_4);
    EXPECT_EQ(spin->text(), QStringLiteral("14"));
}

TEST(FormHelpers, CaptionsAndStatus)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    const QString before = f.windowTitle();
    SetFormCaption(f, "about:blank");
    EXPECT_EQ(f.windowTitle(), before);
    SetFormCaption(f, "http://example.jp/");
    EXPECT_EQ(f.windowTitle(), QStringLiteral("[ http://example.jp/ ]"));
    AppTitleCaption(f, "name", 0);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("VORN-KYMBrowser[ name ]"));
    AppTitleCaption(f, "x", 2);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("VORN-KYMBrowser[ name ]"));
    AppTitleCaption(f, "x", 1);
    EXPECT_EQ(f.windowTitle(), TAMainForm::longTitle());
    EXPECT_EQ(f.state().GCaptionName, "x");
    StatusbarProcessState(f, Utf8ToAnsi("処理中"));
    EXPECT_EQ(f.StatusBar1->panelText(5), QStringLiteral(" [ 処理中 ]"));

    f.dl.ComboBoxUrl->setEditText(QStringLiteral("http://www.example.jp/a/b.asp?x=1"));
    SetMainBaseDir(f, "http://www.example.jp/a/b.asp?x=1");
    for (QString t : {f.dl.EditPageUrl->text(), f.dl.ComboBoxDirectUrl->currentText(), f.ip.edtHost->currentText(),
                      f.gui.ComboBoxGUIEditorURL->currentText(), f.dl.EditWebFile->text()})
        EXPECT_EQ(t, QStringLiteral("http://www.example.jp/a/b.asp?x=1"));
    EXPECT_EQ(f.dl.EditBaseWebDir->text(), QStringLiteral("a/"));
    EXPECT_EQ(f.dl.BtnEditLocalFilename->text(), QStringLiteral("b.html"));

    f.dl.BtnEditHTMLPageSaveFolder->setText(QStringLiteral("/tmp/x"));
    SetGUIUrl(f, "");
    EXPECT_TRUE(f.gui.ComboBoxGUIEditorURL->currentText().isEmpty());
    EXPECT_TRUE(f.dl.BtnEditHTMLPageSaveFolder->text().isEmpty());

    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({QStringLiteral("http://a/"), QStringLiteral("http://b/")});
    ClearItemList(&combo);
    EXPECT_EQ(combo.count(), 0);
    QLineEdit line(QStringLiteral("kept"));
    ClearItemList(&line);
    EXPECT_EQ(line.text(), QStringLiteral("kept"));

    TListBox box;
    EXPECT_EQ(ListBoxSelected(&box), "");
    box.addItems({QStringLiteral("a"), QStringLiteral("b\tc"), QStringLiteral("d")});
    EXPECT_EQ(ListBoxSelected(&box), "");
    box.setSelectionMode(QAbstractItemView::MultiSelection);
    box.item(2)->setSelected(true);
    box.item(1)->setSelected(true);
    EXPECT_EQ(ListBoxSelected(&box), "b\tc");
}

TEST(FormHelpers, PageChangeHeightsAndMenus)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.dl.SpinEditMainTopPanelHeight->setValue(555);
    auto &fr = f.frame;
    const struct {
        QWidget *page;
        int height;
        bool bodyVisible;
    } rows[] = {
        {fr.PageControlMainTopTab01Main, 400, true},          {fr.PageControlMainTopTab02CSS, 700, false},
        {fr.PageControlMainTopTab03GettAllImage, 300, false}, {fr.PageControlMainTopTab06WebGUI, 30, true},
        {fr.PageControlMainTopTab07BatchPageView, 790, false}, {fr.PageControlMainTopTab10FileCodeconvert, 30, true},
        {fr.PageControlMainTopTab08WebCodeConversion, 555, false}, {fr.PageControlMainTopTab11Desc, 790, false},
        {fr.PageControlMainTopTab13FavariteBrowse, 555, false}, {fr.PageControlMainTopTab20Convi, 555, false},
        {fr.PageControlMainTopTab00GoogleSearch, 555, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.page->objectName().toStdString());
        fr.PageControlMainTop->setCurrentWidget(r.page);
        EXPECT_EQ(f.panelMainTopHeight(), r.height);
        EXPECT_EQ(fr.PageControlMainBody->isVisible(), r.bodyVisible);
        EXPECT_EQ(mainTopHeightForPage(r.page->objectName(), 555), r.height);
    }
    fr.PageControlMainTop->setCurrentWidget(fr.PageControlMainTopTab06WebGUI);
    fr.PageControlMainBody->setCurrentWidget(fr.PageControlMainBodyTab09WebCode);
    EXPECT_EQ(fr.PageControlMainTop->currentWidget(), fr.PageControlMainTopTab08WebCodeConversion);
    EXPECT_EQ(f.panelMainTopHeight(), 60);

    f.menu.MenuViewSearchInfoPanel->trigger();
    EXPECT_TRUE(f.net.PanelPageControlMainTopTab00GoogleSearchRight->isHidden());
    f.menu.MenuViewSearchInfoPanel->trigger();
    EXPECT_FALSE(f.net.PanelPageControlMainTopTab00GoogleSearchRight->isHidden());
    f.menu.MenuViewStdTopHeight->setChecked(false);
    f.menu.MenuViewStdTopHeight->trigger();
    EXPECT_EQ(f.net.PanelPageControlMainTopTab00GoogleSearchTop->height(), 70);
    f.menu.MenuViewSearchList->setChecked(false);
    f.menu.MenuViewSearchList->trigger();
    EXPECT_EQ(f.net.RadioGroupSearchNoList->itemIndex(), 1);
    EXPECT_FALSE(f.net.ListBoxBaseBrowser->isHidden());
    f.menu.MenuViewSearchList->trigger();
    EXPECT_EQ(f.net.RadioGroupSearchNoList->itemIndex(), 0);
    EXPECT_TRUE(f.net.ListBoxBaseBrowser->isHidden());
    f.close();
}

TEST(FormHelpers, BatchPageTakesLocalPathsAndTellsOfOtherText)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    auto &fr = f.frame;
    const struct {
        const char *text;
        bool message;
    } rows[] = {
        {"/home/user/page.html", false}, {"file:///tmp/a.html", false}, {"c:\\a.html", false},
        {"not a url", true},            {"www.example.jp", true},
    };
    for (const auto &r : rows) {
        shown.clear();
        fr.PageControlMainTop->setCurrentWidget(fr.PageControlMainTopTab00GoogleSearch);
        f.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(QString::fromUtf8(r.text));
        fr.PageControlMainTop->setCurrentWidget(fr.PageControlMainTopTab07BatchPageView);
        EXPECT_EQ(shown.size(), r.message ? 1 : 0) << r.text;
        if (r.message && !shown.isEmpty()) EXPECT_TRUE(shown[0].startsWith(QStringLiteral("URLが指定されていないか"))) << r.text;
    }
    setMessageBoxHook(nullptr);
    f.close();
}
