// "　取得できなかったimage/CSS " on the real (offscreen) window: the run button with its lists
// filled as the run goes and the stop button enabled at its end, the missing-folder messages,
// and the in-place editor of the name list.
#include "download/pages/DownloadRepairPage.h"
#include "download/pages/NotFoundPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "support/FixtureSite.h"
#include "support/WaitUntil.h"
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(RepairNotFound, TheRunButtonFillsTheListsOffTheWindowThread)
{
    FixtureSite site;
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    NotFoundPage *page = f.downloadRepairPage->notFound;
    EXPECT_TRUE(f.frame.PageControlMainBodyTab09CantObtained->isAncestorOf(dl.ListBoxTriedWebFile));

    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    dl.EditCanNotObtainedSeverUrl->setText(QString::fromStdString(site.url("/nowhere")));
    rp.btnAppendServerDirectory->click();
    dl.EditCanNotObtainedSeverUrl->setText(QString::fromStdString(site.url("/site/img/")));
    rp.btnAppendServerDirectory->click();
    EXPECT_EQ(dl.ListBoxPageControlMainTopRightTab11WebDir->count(), 2);
    dl.EditCanNotObtainedWebUrl->setText(QString::fromStdString(site.url("/x/bg.gif")));
    rp.btnNotFoundFileAdd->click();
    dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->addItem(QStringLiteral("none.gif"));

    rp.btnDownLoadNotFoundFile->click();
    dl.BtnEditTriedWebFileSaveFolder->setText(dir.filePath(QStringLiteral("missing")));
    rp.btnDownLoadNotFoundFile->click();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("「保存」ﾌｫﾙﾀﾞｰが指定されていません"));
    EXPECT_TRUE(shown[1].contains(QStringLiteral("%6")));
    setMessageBoxHook({});

    dl.BtnEditTriedWebFileSaveFolder->setText(dir.path() + QStringLiteral("/"));
    rp.btnNitFoundFileStop->setEnabled(false);
    rp.btnDownLoadNotFoundFile->click();
    EXPECT_TRUE(page->running());
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 30000));
    QTest::qWait(0);
    EXPECT_TRUE(rp.btnNitFoundFileStop->isEnabled());
    EXPECT_EQ(dl.ListBoxFoundWebFile->count(), 1);
    EXPECT_TRUE(dl.ListBoxFoundWebFile->item(0)->text().startsWith(QString::fromStdString(site.url("/site/img/bg.gif"))));
    EXPECT_GE(dl.ListBoxTriedWebFile->count(), 1);
    EXPECT_GE(dl.ListBoxWeb2WinFile->count(), 2);
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/site/img/bg.gif")));
    EXPECT_GE(dl.ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained->count(), 1);
    EXPECT_EQ(f.state().list(SharedList::GNotFoundDownloadList).count(), 1);
    EXPECT_EQ(dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->currentWidget(),
              dl.PageControlMainBodyTab09CantObtainedRightTab01ExistFile);
}

TEST(RepairNotFound, AnItemIsEditedInPlace)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    f.show();
    QListWidget *names = f.dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile;
    f.frame.PageControlMainBody->show();
    f.frame.PageControlMainBody->setCurrentWidget(f.frame.PageControlMainBodyTab09CantObtained);
    names->addItem(QStringLiteral("a.gif"));
    names->addItem(QStringLiteral("b.gif"));
    NotFoundPage *page = f.downloadRepairPage->notFound;
    page->openListEditor(names);
    EXPECT_EQ(page->listEditor(), nullptr) << "nothing selected";
    names->setCurrentRow(1);
    page->openListEditor(names);
    QPointer<QPlainTextEdit> ed = page->listEditor();
    ASSERT_TRUE(ed);
    EXPECT_EQ(ed->toPlainText(), QStringLiteral("b.gif"));
    ed->setPlainText(QStringLiteral("c.gif"));
    // A press elsewhere commits, and the editor goes after that event.
    QTest::mouseClick(f.rep.btnClearServerDirectory, Qt::LeftButton);
    EXPECT_EQ(names->item(1)->text(), QStringLiteral("c.gif"));
    EXPECT_EQ(names->item(0)->text(), QStringLiteral("a.gif"));
    EXPECT_EQ(page->listEditor(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return ed.isNull(); }, 5000));
}
