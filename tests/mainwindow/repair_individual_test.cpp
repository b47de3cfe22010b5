// " 個別ﾀﾞｳﾝﾛｰﾄﾞ  " and " ＣＳＳﾌｧｲﾙ一覧 " on the real (offscreen) window against the fixture site:
// the save button with its labels and list line, the URL message, the hand-over from a web
// file's Enter, and the converting view of an obtained sheet with its backup.
#include "download/pages/DownloadRepairPage.h"
#include "download/pages/IndividualDownloadPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/FixtureSite.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"
#include "text/JCode.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RepairIndividual, SaveButtonFetchesOffTheWindowThreadAndShowsTheOutcome)
{
    FixtureSite site;
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    IndividualDownloadPage *page = f.downloadRepairPage->individual;
    const QString save = dir.filePath(QStringLiteral("save/"));
    dl.BtnEditDownloadDirectFolder->setText(save);

    dl.ComboBoxURLDirect->setEditText(QString::fromStdString(site.url("/site/")));
    f.rep.btnDownLoadSaveFile->click();
    EXPECT_EQ(dl.ComboBoxURLDirect->currentText().toStdString(), site.url("/site/index.html"));
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    const QString local = save + QStringLiteral("site/index.html");
    EXPECT_NE(readFile(local).find(Utf8ToAnsi("本文です")), std::string::npos);
    EXPECT_TRUE(dl.LabelDownloadDirectWebFilename->text().startsWith(QStringLiteral("○【")));
    EXPECT_TRUE(dl.LabelDownloadDirectLocalFilename->text().contains(local));
    ASSERT_EQ(dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS->count(), 1);
    EXPECT_EQ(dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS->item(0)->text(),
              QString::fromStdString(site.url("/site/index.html")) + QStringLiteral("\t○") + local);
    EXPECT_FALSE(f.state().GDirectText.empty());

    // An error page where a style sheet was expected: the "●" label, nothing written.
    dl.ComboBoxURLDirect->setEditText(QString::fromStdString(site.url("/site/css/errpage.css")));
    f.rep.btnDownLoadSaveFile->click();
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    EXPECT_TRUE(dl.LabelDownloadDirectWebFilename->text().startsWith(QStringLiteral("●　")));
    EXPECT_FALSE(QFileInfo::exists(save + QStringLiteral("site/css/errpage.css")));

    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    dl.ComboBoxURLDirect->setEditText(QStringLiteral("ftp://x/a.css"));
    f.rep.btnDownLoadSaveFile->click();
    setMessageBoxHook({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("URLが指定されていないか")));
}

TEST(RepairIndividual, EnterInTheWebFileHandsItToTheIndividualTab)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    IndividualDownloadPage *page = f.downloadRepairPage->individual;
    const QString save = dir.path() + QStringLiteral("/site/");
    dl.BtnEditHTMLPageSaveFolder->setText(save);
    dl.EditWebFile->setText(QStringLiteral("http://h"));
    page->EditWebFileKeyDown();
    EXPECT_TRUE(dl.BtnEditWebSaveLocalFile->text().isEmpty());
    dl.EditWebFile->setText(QStringLiteral("http"));
    page->EditWebFileKeyDown();
    EXPECT_TRUE(dl.BtnEditWebSaveLocalFile->text().isEmpty());
    EXPECT_NE(f.frame.PageControlMainBody->currentWidget(), f.frame.PageControlMainBodyTab05DownloadText);

    dl.EditWebFile->setText(QStringLiteral("http://www.example.jp/dir/a.css?v=1"));
    page->EditWebFileKeyDown();
    EXPECT_EQ(dl.BtnEditWebSaveLocalFile->text(), save + QStringLiteral("dir/a.css_v=1"));
    EXPECT_EQ(f.frame.PageControlMainBody->currentWidget(), f.frame.PageControlMainBodyTab05DownloadText);
    EXPECT_EQ(dl.ComboBoxURLDirect->currentText(), QStringLiteral("http://www.example.jp/dir/a.css?v=1"));
}

TEST(RepairIndividual, ViewingAnObtainedSheetConvertsItOnceAndKeepsTheOriginal)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    QListWidget *list = dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS;
    const QString css = dir.filePath(QStringLiteral("s/my sheet.css"));
    const QString js = dir.filePath(QStringLiteral("s/app.js"));
    const std::string cssBytes = "@charset \"UTF-8\";\n.a:after{content:\"日本\"}\n/* utf-8 */\n";
    const std::string jsBytes = "var c = \"utf-8\"; // 日本\n";
    writeFile(css, cssBytes);
    writeFile(js, jsBytes);
    list->addItem(QStringLiteral("http://h/x.png\t○") + dir.filePath(QStringLiteral("s/x.png")));
    list->addItem(QStringLiteral("http://h/s/my sheet.css\t○◎  ") + css);
    list->addItem(QStringLiteral("http://h/s/app.js\t○") + js);

    list->setCurrentRow(0);
    f.downloadRepairPage->individual->ListBoxPageControlMainBodyTab04GetwebFileListCSSClick();
    EXPECT_EQ(dl.EditWebFile->text(), QStringLiteral("http://h/x.png"));

    for (int twice = 0; twice < 2; ++twice) {
        list->setCurrentRow(1);
        f.downloadRepairPage->individual->ListBoxPageControlMainBodyTab04GetwebFileListCSSClick();
        list->setCurrentRow(2);
        f.downloadRepairPage->individual->ListBoxPageControlMainBodyTab04GetwebFileListCSSClick();
    }
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("s/ZZmy sheet.css"))), cssBytes);
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("s/ZZapp.js"))), jsBytes);
    const std::string sheet = readFile(css);
    EXPECT_NE(sheet.find("@charset \"Shift_JIS\""), std::string::npos) << sheet;
    EXPECT_NE(sheet.find(Utf8ToAnsi("日本")), std::string::npos);
    EXPECT_NE(sheet.find("/* utf-8 */"), std::string::npos) << "only the @charset rule is renamed";
    const std::string script = readFile(js);
    EXPECT_NE(script.find("\"utf-8\""), std::string::npos) << "a script's code is not touched";
    EXPECT_NE(script.find(Utf8ToAnsi("日本")), std::string::npos);
    EXPECT_TRUE(f.rep.MemoPageControlMainBodyTab04GetwebFileListRightTab01CSSText->toPlainText().contains(
        QStringLiteral("var c")));
}
