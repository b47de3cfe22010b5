// The " CSS内のurl調整 " tab on the real (offscreen) window: its controls on their tab, the
// run through "置換実行" with its lists, the missing-folder message, and an empty box.
#include "download/pages/CssUrlReplacePage.h"
#include "download/pages/DownloadRepairPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "support/TestFiles.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RepairCssUrl, TheButtonRunsOverTheFolderAndListsTheSheets)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    // The tab holds its controls, the ones the download page's list declared among them.
    EXPECT_TRUE(f.frame.PageControlMainBodyTab03CSSUrl->isAncestorOf(dl.EditCSSURLSearch));
    EXPECT_TRUE(f.frame.PageControlMainBodyTab03CSSUrl->isAncestorOf(rp.btnCSSUrlReplaceExecute));
    EXPECT_EQ(dl.EditCSSURLSearch->text(), QStringLiteral("url(/"));
    EXPECT_EQ(dl.EditCSSUrlReplace->text(), QStringLiteral("url(../"));

    const QString site = dir.filePath(QStringLiteral("site"));
    writeFile(site + QStringLiteral("/css/a.css"), "b{background:url(/img/b.gif)}");
    writeFile(site + QStringLiteral("/top.css"), "@import url(/css/a.css);");
    dl.BtnEditPageControlMainBodyCSSUrl->setText(site + QStringLiteral("/"));
    rp.btnCSSUrlReplaceExecute->click();
    EXPECT_EQ(readFile(site + QStringLiteral("/css/a.css")), "b{background:url(../img/b.gif)}");
    EXPECT_EQ(readFile(site + QStringLiteral("/css/ZZa.bss")), "b{background:url(/img/b.gif)}");
    EXPECT_EQ(readFile(site + QStringLiteral("/top.css")), "@import url(../css/a.css);");
    // The last pass lists the backups it wrote from.
    EXPECT_EQ(rp.ListBoxListBoxPageControlMainBodyCSSUrlLeftTop->count(), 2);
}

TEST(RepairCssUrl, AMissingFolderIsSaidAndAnEmptyBoxDoesNothing)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    dl.BtnEditCSSLocalFolder->setText(QStringLiteral("/somewhere/"));
    dl.BtnEditPageControlMainBodyCSSUrl->setText(QStringLiteral("   "));
    f.rep.btnCSSUrlReplaceExecute->click();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(dl.BtnEditCSSLocalFolder->text(), QStringLiteral("/somewhere/"));

    dl.BtnEditPageControlMainBodyCSSUrl->setText(dir.filePath(QStringLiteral("nowhere")));
    f.rep.btnCSSUrlReplaceExecute->click();
    setMessageBoxHook({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("%1"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("110"))) << shown[0].toStdString();
    EXPECT_TRUE(dl.BtnEditCSSLocalFolder->text().isEmpty());
    EXPECT_EQ(f.rep.ListBoxListBoxPageControlMainBodyCSSUrlLeftTop->count(), 0);
}
