// The main window's life cycle on a real (offscreen) window: creation, show sequence, the
// reset routines, and closing.
#include "mainwindow/TAMainForm.h"
#include "support/TestHttpServer.h"
#include <QAction>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include "support/WaitUntil.h"
#include <gtest/gtest.h>

namespace {
struct Form {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form;
    Form() { form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym"))); }
    TAMainForm *operator->() { return form.get(); }
};
} // namespace

TEST(MainForm, ShowWithoutSettingsKeepsDefaultsAndOpensOnNetSearch)
{
    Form f;
    EXPECT_FALSE(f->state().GFormShown);
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    EXPECT_TRUE(f->state().GFormShown);
    EXPECT_EQ(f->windowTitle(), TAMainForm::longTitle());
    EXPECT_EQ(f->menu.MenuConviiTSameScreen->text(), QStringLiteral("「次へ」のため、同じ「左」画面に表示"));
    EXPECT_EQ(f->frame.PageControlMainTop->currentWidget(), f->frame.PageControlMainTopTab00GoogleSearch);
    EXPECT_EQ(f->net.PageControlBaseBrowser->currentWidget(), f->net.PageControlBaseBrowserTab01Browser);
    // The options ask for 420 pixels and get no more than their rows need.
    TPanel *top = f->net.PanelPageControlMainTopTab00GoogleSearchTop;
    EXPECT_EQ(top->height(), std::min(420, TRowClipper::contentHeight(top)));
    EXPECT_EQ(f->panelMainTopHeight(), 650);
    EXPECT_FALSE(f->frame.PageControlMainBody->isVisible());
    // Initialize's start values survive the show when no settings file exists.
    EXPECT_EQ(f->net.SpinEditBatchBrowseCount->value(), 5);
    EXPECT_EQ(f->convi.RadioGroupYouTube->itemIndex(), 1);
    EXPECT_EQ(f->dl.RadioGroupCharCodeMode->itemIndex(), 0);
    EXPECT_EQ(f->state().GAppName, "VORN-KYMBrowser");
    // With no settings file the path still names a file that the next start finds.
    EXPECT_TRUE(QString::fromStdString(f->state().GSettingsFile).endsWith(QStringLiteral("/VORNKYMB.inf")));
    f->close();
}

TEST(MainForm, FirstStartShowsThePanesFillingTheWindow)
{
    Form f;
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    // No settings file: the whole screen, or as little more as the window's contents need.
    const QSize frame = f->frameGeometry().size() - f->size();
    const QSize want = (f->screen()->availableGeometry().size() - frame).expandedTo(f->minimumSizeHint());
    EXPECT_EQ(f->size().width(), want.width());
    EXPECT_EQ(f->size().height(), want.height());
    // On a desktop of 1600x1000 the panes take what the search options leave.
    f->resize(1600, 1000);
    TPanel *top = f->net.PanelPageControlMainTopTab00GoogleSearchTop;
    const struct {
        bool stdTop;
        int options, minPane;
    } rows[] = {{false, std::min(420, TRowClipper::contentHeight(top)), 550}, {true, 70, 650}};
    for (const auto &r : rows) {
        f->menu.MenuViewStdTopHeight->setChecked(!r.stdTop);
        f->menu.MenuViewStdTopHeight->trigger();
        ASSERT_TRUE(waitUntil([&] { return top->height() == r.options; }, 5000)) << top->height();
        TWebbrowser *left = f->net.BaseBrowser;
        EXPECT_TRUE(waitUntil([&] { return left->height() >= r.minPane; }, 5000))
            << "options " << r.options << ": left pane " << left->height() << " px";
        EXPECT_TRUE(left->isVisible());
        // No empty band under the tool pages while the lower page control is hidden.
        EXPECT_FALSE(f->frame.PanelMainBody->isVisible());
        EXPECT_GE(f->frame.PanelMainTop->height(), f->frame.Splitter1->height() - 1);
    }
    // The lower pages come back with their own share.
    f->frame.PageControlMainTop->setCurrentWidget(f->frame.PageControlMainTopTab06WebGUI);
    EXPECT_TRUE(f->frame.PageControlMainBody->isVisible());
    EXPECT_TRUE(waitUntil([&] { return f->frame.PanelMainBody->height() > 100; }, 5000)) << f->frame.PanelMainBody->height();
    f->close();
}

TEST(MainForm, ControlsCarryTheirNames)
{
    Form f;
    for (const char *name : {"btnGoogleSearch", "BaseBrowser", "TargetBrowser", "PageControlMainTopTab12NotFoundCSS",
                             "ListBoxPageControlBaseBrowserTab08SearchList", "BtnEditHTMLPageSaveFolder",
                             "WebBrowserFavSideLink", "RadioGroupCommntBar", "StatusBar1", "MenuSettingsSave",
                             "sbWebGUITopFrameExit"})
        EXPECT_NE(f->findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(f->frame.PageControlMainTop->count(), 12);
    EXPECT_EQ(f->frame.PageControlMainBody->count(), 10);
    EXPECT_EQ(f->StatusBar1->panelCount(), 6);
    // The WebGUI page's own "終了" closes the window as the menu's does.
    f->show();
    f->frame.sbWebGUITopFrameExit->click();
    EXPECT_FALSE(f->isVisible());
    // Every pane, fixed or run-time, is the one browser class.
    EXPECT_EQ(f->formBrowsers().size(), 27);
    for (TWebbrowser *wb : f->formBrowsers()) {
        ASSERT_NE(wb, nullptr);
        EXPECT_EQ(wb->LocationURL(), QStringLiteral("about:blank"));
        EXPECT_FALSE(wb->hasView()) << "a blank pane costs no engine view";
    }
}

TEST(MainForm, FileResetAndReleaseInitializeTables)
{
    Form f;
    f->batch.SpinEditLinkStart->setValue(7);
    f->batch.SpinEditLinkCount->setValue(7);
    f->net.SpinEditBatchBrowseCount->setValue(9);
    f->dl.RadioGroupWebCharCode->setItemIndex(3);
    f->dl.MemoDownloadText->setPlainText(QStringLiteral("x"));
    f->ip.EditDomain->setText(QStringLiteral("example.jp"));
    f->state().GSearchNextIndex = 4;
    f->state().list(SharedList::GWorkList).add("keep");
    f->FileReset();
    const struct {
        int actual, expected;
        const char *what;
    } spins[] = {{f->batch.SpinEditLinkStart->value(), 1, "LinkStart"},
                 {f->batch.SpinEditLinkCount->value(), 20, "LinkCount"},
                 {f->net.SpinEditBatchBrowseCount->value(), 5, "BatchBrowseCount"},
                 {f->dl.RadioGroupWebCharCode->itemIndex(), 0, "WebCharCode"},
                 {f->state().GSearchNextIndex, -1, "GSearchNextIndex"}};
    for (const auto &s : spins) EXPECT_EQ(s.actual, s.expected) << s.what;
    EXPECT_TRUE(f->dl.MemoDownloadText->toPlainText().isEmpty());
    EXPECT_TRUE(f->ip.EditDomain->text().isEmpty());
    EXPECT_EQ(f->state().list(SharedList::GWorkList).count(), 1) << "FileReset leaves the lists alone";

    f->net.CheckBoxBatchSearchBrowse->setChecked(false);
    f->net.CheckBoxDontCreateTab->setChecked(true);
    f->dl.RadioGroupRemoveRelativeUp->setItemIndex(0);
    f->net.edGoogleSearch->setEditText(QStringLiteral("keyword"));
    f->dl.BtnEditHTMLPageSaveFolder->setText(QStringLiteral("/tmp/x"));
    f->menu.MenuViewStdTopHeight->setChecked(true);
    f->ReleaseInitialize();
    EXPECT_TRUE(f->net.CheckBoxBatchSearchBrowse->isChecked());
    EXPECT_FALSE(f->net.CheckBoxDontCreateTab->isChecked());
    EXPECT_FALSE(f->menu.MenuViewStdTopHeight->isChecked());
    EXPECT_EQ(f->dl.RadioGroupRemoveRelativeUp->itemIndex(), 1);
    EXPECT_EQ(f->batch.SpinEditLinkCount->value(), 10);
    EXPECT_EQ(f->panelMainTopHeight(), 650);
    EXPECT_TRUE(f->net.edGoogleSearch->currentText().isEmpty());
    EXPECT_TRUE(f->dl.BtnEditHTMLPageSaveFolder->text().isEmpty());
}

TEST(MainForm, BrowserVersionLabel)
{
    const struct {
        const char *version, *label;
        bool ie4to7;
    } rows[] = {{"6.0", "6", true}, {"7.0.5730", "7", true}, {"8.0", "8", false}, {"10.0", "10", false},
                {"", "", false},    {"9", "9", false}};
    for (const auto &r : rows) {
        const BrowserVersionInfo v = browserVersionInfo(QString::fromLatin1(r.version));
        EXPECT_EQ(v.label, QString::fromLatin1(r.label)) << r.version;
        EXPECT_EQ(v.ie4to7, r.ie4to7) << r.version;
    }
}

TEST(MainForm, SettingsFileIsTheFirstMatchingFileNotAFolder)
{
    QTemporaryDir dir;
    QDir d(dir.path());
    EXPECT_EQ(GetInf(dir.path()), QString());
    d.mkdir(QStringLiteral("VORNKYMB0.inf"));
    EXPECT_EQ(GetInf(dir.path()), QString());
    for (const char *n : {"VORNKYMB2.inf", "VORNKYMB1.inf"}) {
        QFile file(d.filePath(QString::fromLatin1(n)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(GetInf(dir.path()), QStringLiteral("VORNKYMB1.inf"));
}

TEST(MainForm, ListFilesLoadFromTheSaveFolderWithOrWithoutSeparator)
{
    Form f;
    QTemporaryDir save;
    QFile file(QDir(save.path()).filePath(QStringLiteral("YCSSFile.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a.css\r\nb.css\r\n");
    file.close();
    f->dl.BtnEditHTMLPageSaveFolder->setText(save.path());  // no trailing separator
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    EXPECT_EQ(f->dl.ListBoxDownloadedCSSFile->lines(), (QStringList{QStringLiteral("a.css"), QStringLiteral("b.css")}));
    EXPECT_EQ(f->dl.ListBoxAdjusttedCSS->count(), 0);
}

TEST(MainForm, CloseWritesNothingAndStopsTheSearchPanes)
{
    Form f;
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
    f->net.btnGoogleSearch->setEnabled(false);
    f->TimerWaitforReady->start();
    f->close();
    EXPECT_TRUE(f->net.btnGoogleSearch->isEnabled());
    EXPECT_FALSE(f->TimerWaitforReady->isActive());
    EXPECT_TRUE(QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(Webbrowser, PageWindowCloseLeavesBlankPane)
{
    TestHttpServer http;
    http.server().Get("/close.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<html><body><p id=p>x</p><script>function bye(){window.close();}</script></body></html>",
                        "text/html");
    });
    http.start();
    QWidget host;
    auto *tab = new QTabWidget(&host);
    auto *sheet = new QWidget;
    tab->addTab(sheet, QStringLiteral("1"));
    auto *wb = new TWebbrowser(sheet);
    host.resize(400, 300);
    host.show();
    QSignalSpy done(wb, &TWebbrowser::DocumentComplete);
    wb->Navigate(QString::fromStdString(http.url("/close.html")));
    EXPECT_TRUE(wb->Busy());
    ASSERT_TRUE(done.wait(15000));
    EXPECT_FALSE(wb->Busy());
    EXPECT_TRUE(wb->LocationURL().endsWith(QStringLiteral("/close.html")));
    EXPECT_EQ(wb->evalSync(QStringLiteral("document.getElementById('p').textContent")).toString(), QStringLiteral("x"));
    wb->page()->runJavaScript(QStringLiteral("bye()"));
    ASSERT_TRUE(waitUntil([&] { return wb->LocationURL() == QStringLiteral("about:blank") && !wb->Busy(); }, 15000));
    EXPECT_EQ(tab->count(), 1);
    EXPECT_EQ(sheet->findChild<TWebbrowser *>(), wb);
}

// " 説明と注意 " is not blank: it says what the pages do and what the program writes where.
TEST(MainForm, DescriptionPageTellsWhatThePagesDoAndWhatIsWritten)
{
    Form f;
    auto *desc = f->frame.PageControlMainTopTab11Desc->findChild<QTextBrowser *>(QStringLiteral("MemoDescription"));
    ASSERT_NE(desc, nullptr);
    const QString text = desc->toPlainText();
    for (const char *needle : {"ﾈｯﾄ検索", "Webﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ", "文字ｺｰﾄﾞ変換", "VORNKYMB.inf", ".vornkym-files", "保存していない"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(needle))) << needle;
}
