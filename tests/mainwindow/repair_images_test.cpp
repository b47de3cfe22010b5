// " image/CSS " and " 取得したｲﾒｰｼﾞ・ﾌｧｲﾙ " on the real (offscreen) window against the fixture
// site: the list search, the single-file buttons off the window thread, the image list run again,
// an existing file with blanks in its name, the panel height, the "Folder" menu, and the style
// sheet's image list and download with its fallback marks.
#include "download/pages/CssImagePage.h"
#include "download/pages/DownloadCssPage.h"
#include "download/pages/DownloadRepairPage.h"
#include "download/pages/ObtainedImagesPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/IniFile.h"
#include "platform/QtSjis.h"
#include "support/FixtureSite.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

} // namespace

TEST(RepairImages, SearchFindsEachHitInTurnThenNothing)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    EXPECT_TRUE(f.frame.PageControlMainBodyTab02PageInnerFile->isAncestorOf(rp.btnSearch));
    EXPECT_TRUE(f.frame.PageControlMainBodyTab02PageInnerFile->isAncestorOf(dl.ListBoxAbsExistFile));
    dl.ListBoxBodyPageCSSImage->addItems({QStringLiteral("http://h/Top.png"), QStringLiteral("http://h/b.gif"),
                                          QStringLiteral("http://h/top.png"), QStringLiteral("http://h/x/top.png")});
    dl.EditImageSearch->setText(QStringLiteral("　Top "));
    rp.btnSearch->click();
    EXPECT_EQ(dl.ListBoxBodyPageCSSImage->currentRow(), 0);
    EXPECT_EQ(rp.LabelSearch->text(), QStringLiteral("0"));
    rp.btnSearchNext->click();
    EXPECT_EQ(rp.LabelSearch->text(), QStringLiteral("見つかりません"));

    dl.EditImageSearch->setText(QStringLiteral("top"));
    QTest::keyClick(dl.EditImageSearch, Qt::Key_Return);
    EXPECT_EQ(rp.LabelSearch->text(), QStringLiteral("2"));
    rp.btnSearchNext->click();
    EXPECT_EQ(dl.ListBoxBodyPageCSSImage->currentRow(), 3);
    EXPECT_EQ(f.state().GSearchNextIndex, 3);
    rp.btnSearchNext->click();
    EXPECT_EQ(rp.LabelSearch->text(), QStringLiteral("見つかりません"));
}

TEST(RepairImages, SingleFileButtonsFetchOffTheWindowThread)
{
    FixtureSite site;
    site.put("/site/img/Logo A.PNG", FixtureSite::png(), "image/png");
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    ObtainedImagesPage *page = f.downloadRepairPage->images;
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });

    // "ﾌｧｲﾙへﾀﾞｳﾝﾛｰﾄﾞ": the folder must exist; the name keeps its case.
    dl.EditDownloadLWebFileIndividual->setText(q(site.url("/site/img/Logo%20A.PNG")));
    dl.BtnEditDownloadLocalFileIndividual->setText(dir.filePath(QStringLiteral("nope/")));
    rp.btnIndividualDownloadCheck->click();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("%3")));
    const QString save = dir.filePath(QStringLiteral("save/"));
    QDir().mkpath(save);
    dl.BtnEditDownloadLocalFileIndividual->setText(save);
    rp.btnIndividualDownloadCheck->click();
    EXPECT_TRUE(page->running());
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    EXPECT_EQ(readFile(save + QStringLiteral("Logo A.PNG")), FixtureSite::png());
    EXPECT_EQ(rp.LabelDownloadedSuccsessfully->text(), save + QStringLiteral("Logo A.PNG"));
    EXPECT_TRUE(rp.btnIndividualDownloadCheck->isEnabled());

    dl.EditDownloadLWebFileIndividual->setText(q(site.url("/site/css/errpage.css")));
    rp.btnIndividualDownloadCheck->click();
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    EXPECT_EQ(rp.LabelIndividualDownloadWebFile->text(), QStringLiteral("●　") + q(site.url("/site/css/errpage.css")));
    EXPECT_FALSE(QFileInfo::exists(save + QStringLiteral("errpage.css")));
    EXPECT_FALSE(QFileInfo::exists(save + QStringLiteral("dummy.tmp")));

    // "ｲﾒｰｼﾞ/CSSのﾀﾞｳﾝﾛｰﾄﾞ": the box names the file; its folder is made.
    dl.EditDownloadLWebFileIndividual->setText(q(site.url("/site/img/bg.gif")));
    dl.BtnEditDownloadLocalFileIndividual->setText(save + QStringLiteral("deep/bg.gif"));
    rp.btnDownloadImageAndCSS->click();
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    EXPECT_EQ(readFile(save + QStringLiteral("deep/bg.gif")), FixtureSite::gif());
    EXPECT_EQ(rp.LabelDownloadedSuccsessfully->text(), QStringLiteral("〔 ") + q(site.url("/site/img/bg.gif")) +
                                                           QStringLiteral(" 〕 -> 【 ") + save +
                                                           QStringLiteral("deep/bg.gif 】"));
    // A box whose path climbs with ".." is refused, nothing fetched or written.
    dl.BtnEditDownloadLocalFileIndividual->setText(save + QStringLiteral("deep/../../escaped.gif"));
    rp.btnDownloadImageAndCSS->click();
    EXPECT_FALSE(page->running());
    EXPECT_TRUE(shown.last().contains(QStringLiteral("..")));
    EXPECT_FALSE(QFileInfo::exists(save + QStringLiteral("../escaped.gif")));
    dl.BtnEditDownloadLocalFileIndividual->setText(save + QStringLiteral("deep/bg.gif"));

    dl.EditDownloadLWebFileIndividual->setText(q(site.url("/site/img/none.gif")));
    rp.btnDownloadImageAndCSS->click();
    ASSERT_TRUE(waitUntil([&] { return !page->running(); }, 20000));
    EXPECT_TRUE(rp.LabelDownloadedSuccsessfully->text().endsWith(QStringLiteral("【 ●●● 】")));

    dl.EditDownloadLWebFileIndividual->setText(QStringLiteral("ftp://h/x.gif"));
    rp.btnDownloadImageAndCSS->click();
    EXPECT_TRUE(shown.last().startsWith(QStringLiteral("URLが指定されていないか")));
    setMessageBoxHook({});

    // "個別に転送" hands the file to the individual download.
    dl.EditDownloadLWebFileIndividual->setText(QStringLiteral("http://h/a/b.css"));
    dl.BtnEditDownloadLocalFileIndividual->setText(QStringLiteral("/tmp/x/b.css"));
    rp.btnTranfer2Individual->click();
    EXPECT_EQ(dl.ComboBoxURLDirect->currentText(), QStringLiteral("http://h/a/b.css"));
    EXPECT_EQ(dl.BtnEditDownloadDirectFolder->text(), QStringLiteral("/tmp/x/"));
}

TEST(RepairImages, ImageListAgainReusesTheImageStepAndEnablesTheButton)
{
    FixtureSite site;
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    QStringList shown;
    setMessageBoxHook([&](const QString &t) { shown << t; });
    rp.btnListBoxBodyPageCSSImageBtchDownload->click();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QStringLiteral("ImageListBoxが「 空 」です"));
    dl.ListBoxBodyPageCSSImage->addItems({q(site.url("/site/img/bg.gif")), q(site.url("/site/img/a1.png"))});
    dl.ComboBoxUrl->setEditText(q(site.pageUrl()));
    rp.btnListBoxBodyPageCSSImageBtchDownload->click();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[2], QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
    setMessageBoxHook({});

    const QString save = dir.filePath(QStringLiteral("save/"));
    QDir().mkpath(save);
    dl.BtnEditHTMLPageSaveFolder->setText(save);
    bool finished = false;
    QObject::connect(f.downloadRepairPage->images, &ObtainedImagesPage::imageListFinished, [&] { finished = true; });
    rp.btnListBoxBodyPageCSSImageBtchDownload->click();
    EXPECT_FALSE(rp.btnListBoxBodyPageCSSImageBtchDownload->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return finished; }, 30000));
    EXPECT_TRUE(rp.btnListBoxBodyPageCSSImageBtchDownload->isEnabled());
    EXPECT_FALSE(f.downloadCssPage->running());
    EXPECT_GE(dl.ListBoxBodyImageDownloaded->count(), 2);
    EXPECT_EQ(site.requests("/site/img/bg.gif"), 1);
}

TEST(RepairImages, ExistingFilesWithBlanksHeightMenuAndSheetClicks)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    ObtainedImagesPage *page = f.downloadRepairPage->images;

    // A name with blanks, as the post-run list keeps it.
    const QString folder = dir.filePath(QStringLiteral("a b/css/"));
    writeFile(folder + QStringLiteral("my sheet.css"), ".x { color: red; }\r\n");
    dl.ListBoxAbsExistFile->addItem(QStringLiteral("my sheet.css") + QString(28, QLatin1Char(' ')) + folder);
    dl.ListBoxAbsExistFile->setCurrentRow(0);
    page->ListBoxAbsExistFileClick();
    EXPECT_EQ(rp.MemoPageControlMainBodyTab02PageInnerFileLeftTab03Text->toPlainText(), QStringLiteral(".x { color: red; }\n"));
    EXPECT_EQ(rp.PageControlMainBodyTab02PageInnerFileLeft->currentWidget(), rp.PageControlMainBodyTab02PageInnerFileLeftTab03Text);

    // The height applies and is written only on Enter, within 20 to 1000.
    const QString ini = dir.filePath(QStringLiteral("VORNKYMB.inf"));
    writeFile(ini, "[PageHTML]\r\nMainTopPanelHeight=650\r\n");
    f.state().GSettingsFile = toSjis(ini);
    TSpinEdit *spin = dl.SpinEditMainTopPanelHeight;
    EXPECT_EQ(spin->minimum(), 20);
    EXPECT_EQ(spin->maximum(), 1000);
    spin->setValue(480);
    EXPECT_EQ(TIniFile(toSjis(ini)).ReadInteger("PageHTML", "MainTopPanelHeight"), 650);
    QTest::keyClick(spin, Qt::Key_Return);
    EXPECT_EQ(TIniFile(toSjis(ini)).ReadInteger("PageHTML", "MainTopPanelHeight"), 480);
    EXPECT_EQ(f.panelMainTopHeight(), 480);
    spin->setValue(5000);
    QTest::keyClick(spin, Qt::Key_Enter);
    EXPECT_EQ(TIniFile(toSjis(ini)).ReadInteger("PageHTML", "MainTopPanelHeight"), 1000);

    // The "Folder" menu.
    page->pickFolder = [&](const std::string &) { return toSjis(dir.path()); };
    page->MenuFolderSetDefaultFolder->trigger();
    EXPECT_EQ(f.state().GSaveDefaultFolder, toSjis(dir.path()) + "/");
    page->pickFolder = [](const std::string &) { return std::string(); };
    page->MenuFolderSetDefaultFolder->trigger();
    EXPECT_EQ(f.state().GSaveDefaultFolder, toSjis(dir.path()) + "/");
    page->MenuFolderViewDefaultFolder->trigger();
    page->MenuFoldeRemoveDefaultFolder->trigger();
    EXPECT_TRUE(f.state().GSaveDefaultFolder.empty());

    // A downloaded sheet's line fills the individual download with its folder inside the box.
    dl.BtnEditDownloadDirectFolder->setText(dir.path() + QStringLiteral("/"));
    dl.BtnEditDownloadDirectLocalFilename->setText(QStringLiteral("old.css"));
    dl.ListBoxCSSDownloadedFile->addItem(QStringLiteral("http://h/site/css/a.css\t○◎ /x/site/css/a.css"));
    dl.ListBoxCSSDownloadedFile->setCurrentRow(0);
    page->ListBoxCSSDownloadedFileClick();
    EXPECT_EQ(dl.ComboBoxURLDirect->currentText(), QStringLiteral("http://h/site/css/a.css"));
    EXPECT_EQ(dl.BtnEditDownloadDirectFolder->text(), dir.path() + QStringLiteral("/site/css/"));
    EXPECT_TRUE(dl.BtnEditDownloadDirectLocalFilename->text().isEmpty());

    rp.btnClearListBoxFrameSet->click();
    EXPECT_EQ(dl.ListBoxFrameSet->count(), 0);
}

TEST(RepairImages, StyleSheetImagesListedAndDownloadedWithFallbacks)
{
    FixtureSite site;
    site.put("/site/css/img/only-here.png", FixtureSite::png(), "image/png");
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    auto &dl = f.dl;
    auto &rp = f.rep;
    CssImagePage *page = f.downloadRepairPage->cssImages;
    EXPECT_TRUE(f.frame.PageControlMainBodyTab06GetDowloadImageFile->isAncestorOf(dl.MemoBatchDownloadCSS));

    const QString sheet = dir.filePath(QStringLiteral("sheets/a.css"));
    writeFile(sheet, ".a { background: url(/site/img/root.png) }\r\n.b { background: url('../img/only-here.png') }\r\n"
                     ".c { background: url(img/deep/none.gif) }\r\n");
    page->pickOpenFile = [&](const std::string &) { return toSjis(sheet); };
    dl.BtnEditBatchCSSFilename->buttonClicked();
    EXPECT_EQ(dl.BtnEditBatchCSSFilename->text(), sheet);
    dl.ComboBoxBatchDownloadURL->setEditText(q(site.url("/site/css/a.css")));
    const QString out = dir.filePath(QStringLiteral("out/"));
    QDir().mkpath(out);
    dl.BtnEditBatchDownloadFolder->setText(out);

    rp.btnBatchDownloadImageFromCSSFile->click();
    ASSERT_EQ(dl.ListBoxDownloadMainBodyObtainImageFile->count(), 3);
    EXPECT_EQ(dl.ListBoxDownloadMainBodyObtainImageFile->item(1)->text(), QStringLiteral("../img/only-here.png"));
    EXPECT_EQ(dl.LabelDownloadURLRoot->text(), QStringLiteral("【 ") + q("http://" + site.host()) + QStringLiteral(" 】"));
    EXPECT_EQ(dl.LabelDownloadUrlPage->text(), QStringLiteral("[ ") + q(site.url("/site/css")) + QStringLiteral(" ]"));
    ASSERT_EQ(dl.ListBoxDownloadMainBodyObtainImageFileWeb->count(), 3);
    EXPECT_EQ(dl.ListBoxDownloadMainBodyObtainImageFileWeb->item(0)->text(),
              q(site.url("/site/img/root.png")) + QStringLiteral("\t") + out + QStringLiteral("site/img/root.png"));

    bool done = false;
    QObject::connect(page, &CssImagePage::downloadFinished, [&](int) { done = true; });
    rp.btnDownloadIndividual->click();
    ASSERT_TRUE(waitUntil([&] { return done; }, 20000));
    QStringList lines;
    for (int i = 0; i < dl.ListBoxDownloadMainBodyObtainImageFileWeb->count(); ++i)
        lines << dl.ListBoxDownloadMainBodyObtainImageFileWeb->item(i)->text();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], q(site.url("/site/img/root.png")) + QStringLiteral(" <\t○>") + out + QStringLiteral("site/img/root.png"));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("■１>")));
    EXPECT_EQ(lines[2], q(site.url("/site/css/img/only-here.png")) + QStringLiteral(" <\t△>") + out +
                            QStringLiteral("img/only-here.png"));
    EXPECT_TRUE(lines[5].contains(QStringLiteral("▼２>")));
    EXPECT_EQ(readFile(out + QStringLiteral("img/only-here.png")), FixtureSite::png());
    EXPECT_TRUE(rp.btnDownloadIndividual->isEnabled());

    // The references edited and saved over the sheet.
    rp.btnListBoxPageControlTab06GetDowloadImageFileTab01Remove->click();
    EXPECT_TRUE(rp.MemoBatchDownloadCSSSave->toPlainText().startsWith(QStringLiteral(".a { background: url(site/img/root.png) }")));
    rp.btnListBoxPageControlTab06GetDowloadImageFileTab01Save->click();
    EXPECT_EQ(readFile(sheet), ".a { background: url(site/img/root.png) }\r\n.b { background: url('../img/only-here.png') }\r\n"
                               ".c { background: url(img/deep/none.gif) }\r\n");
}
