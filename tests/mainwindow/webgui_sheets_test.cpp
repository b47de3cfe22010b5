// The WebGUI page's style sheets, scripts, colour lists and link and frame lists on a real
// (offscreen) window, against a local HTTP server and files in a temporary folder.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/JCode.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiToolPages.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

void writeFile(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }
std::string sj(const char *utf8) { return Utf8ToAnsi(utf8); }

int occurrences(const std::string &text, const std::string &s)
{
    int n = 0;
    for (std::size_t at = text.find(s); at != std::string::npos; at = text.find(s, at + 1)) ++n;
    return n;
}

struct Form {
    QTemporaryDir dir, files;
    std::unique_ptr<TAMainForm> form;
    QStringList messages;

    Form()
    {
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->resize(1400, 1000);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->frame.PageControlMainTop->setCurrentWidget(form->frame.PageControlMainTopTab06WebGUI);
    }
    ~Form()
    {
        form->close();
        setMessageBoxHook({});
    }
    WebGuiSheetsPage &sheets() { return *form->webGuiTools->sheets; }
    WebGuiListsPage &lists() { return *form->webGuiTools->lists; }
    WebGuiControls &gui() { return form->gui; }
    AppState &st() { return form->state(); }
    std::string path(const std::string &name) const { return toSjis(files.filePath(QString::fromStdString(name))); }
    std::string file(const std::string &name, const std::string &text)
    {
        const std::string p = path(name);
        QDir().mkpath(QFileInfo(fromSjis(p)).absolutePath());
        writeFile(p, text);
        return p;
    }
    void click(QListWidget *l, int row, const std::function<void()> &handler)
    {
        l->clearSelection();
        l->setCurrentRow(row);
        l->item(row)->setSelected(true);
        handler();
    }
};

}  // namespace

TEST(WebGuiSheets, AggregationFromTheServer)
{
    TestHttpServer srv;
    auto &s = srv.server();
    s.Get("/site/css/main.css", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("@import \"inner.css\";\r\nbody{color:#FF0000}\r\n", "text/css");
    });
    s.Get("/site/css/inner.css", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("p{color:#00f}\r\n", "text/css");
    });
    s.Get("/site/gone.css", [](const httplib::Request &, httplib::Response &r) {
        // A site that answers a missing file with its own page.
        r.set_content("<!DOCTYPE html><html><body>Not found</body></html>", "text/html");
    });
    s.Get("/site/bom.css", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("\xEF\xBB\xBF" "a{color:#0a0a0a}\n", "text/css");
    });
    s.Get("/site/euc.css", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("a{}\n\n\nb{}\n", "text/css");
    });
    s.Get("/site/js/app.js", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("var a=1;var b=2;\n", "application/javascript");
    });
    srv.start();

    Form f;
    auto &g = f.gui();
    g.ComboBoxGUIEditorURL->setEditText(QString::fromStdString(srv.url("/site/index.html")));
    g.ListBoxGUICSS->addItems({QStringLiteral("css/main.css"), QStringLiteral("/site/css/inner.css"), QStringLiteral("gone.css")});

    // One sheet: its block in the single view, appended to the aggregated text, colours listed.
    f.click(g.ListBoxGUICSS, 0, [&] { f.sheets().ListBoxGUICSSClick(); });
    const std::string mainUrl = srv.url("/site/css/main.css");
    const std::string mainBlock = SheetFileBlock(mainUrl, "@import \"inner.css\";\r\nbody{color:#FF0000}\r\n");
    EXPECT_EQ(g.MemoGUICSSIndiv->text(), mainBlock);
    EXPECT_EQ(g.MemoGUICSS->text(), mainBlock);
    EXPECT_EQ(g.PageControlWebGUITopTab05CSSRight->currentWidget(), g.PageControlWebGUITopTab05CSSRightTab02Indiv);
    EXPECT_EQ(g.EditGUICSS->text().toStdString(), srv.url("/site/css/"));
    EXPECT_EQ(f.form->dl.ComboBoxURLDirect->currentText().toStdString(), mainUrl);
    ASSERT_EQ(g.ListBoxGUICSSColorList->count(), 1);
    EXPECT_TRUE(g.ListBoxGUICSSColorList->item(0)->text().startsWith(QStringLiteral("#FF0000")));
    EXPECT_EQ(g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop->count(), 1);
    // The same reference twice is appended twice.
    f.click(g.ListBoxGUICSS, 0, [&] { f.sheets().ListBoxGUICSSClick(); });
    EXPECT_EQ(g.MemoGUICSS->text(), mainBlock + mainBlock);

    // A server that answers with an HTML page: the not-on-server block under the reference.
    f.click(g.ListBoxGUICSS, 2, [&] { f.sheets().ListBoxGUICSSClick(); });
    EXPECT_EQ(g.MemoGUICSSIndiv->text(),
              sj("/*********■■【 gone.css 】●● **********/\r\n\r\nＷｅｂファイルがサイトのサーバーに存在しないため、ダウンロードできませんでした\r\n/* ") +
                  std::string(77, '=') + " */\r\n\r\n");

    // "全CSSﾌｧｲﾙの統合" starts from the page's own sheet; the first banner starts a line of its own.
    g.MemoGUICSSInner->setText("h1{}");
    g.btnMakeCSSText->click();
    const std::string all = g.MemoGUICSS->text();
    EXPECT_EQ(all.rfind("h1{}\r\n/*****", 0), 0u) << all;
    EXPECT_NE(all.find(SheetFileBlock(srv.url("/site/css/inner.css"), "p{color:#00f}\r\n")), std::string::npos);
    EXPECT_NE(all.find(sj("Ｗｅｂファイル")), std::string::npos);
    EXPECT_EQ(g.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->text(), all);
    g.btnClearGUICSS->click();
    EXPECT_EQ(g.MemoGUICSS->text(), "h1{}\r\n");

    // Charset items: UTF-8 drops the byte-order mark before the first selector; EUC-JP keeps blank lines.
    g.ListBoxGUICSS->clear();
    g.ListBoxGUICSS->addItems({QStringLiteral("bom.css"), QStringLiteral("euc.css")});
    g.RadioGroupWebGUICSS->setItemIndex(2);
    f.click(g.ListBoxGUICSS, 0, [&] { f.sheets().ListBoxGUICSSClick(); });
    EXPECT_EQ(g.MemoGUICSSIndiv->text(), SheetFileBlock(srv.url("/site/bom.css"), "a{color:#0a0a0a}\r\n"));
    g.RadioGroupWebGUICSS->setItemIndex(1);
    f.click(g.ListBoxGUICSS, 1, [&] { f.sheets().ListBoxGUICSSClick(); });
    EXPECT_EQ(g.MemoGUICSSIndiv->text(), SheetFileBlock(srv.url("/site/euc.css"), "a{}\r\n\r\n\r\nb{}\r\n"));

    // A script, laid out one statement a line when asked.
    g.ListBoxGUIJAVA->addItem(QStringLiteral("js/app.js"));
    g.CheckBoxFixJS->setChecked(true);
    f.click(g.ListBoxGUIJAVA, 0, [&] { f.sheets().ListBoxGUIJAVAClick(); });
    const std::string js = g.MemoGUIJJavaIndiv->text();
    EXPECT_NE(js.find("var a=1;\r\nvar b=2;\r\n"), std::string::npos) << js;
    EXPECT_EQ(g.PageControlGUIJAVA->currentWidget(), g.PageControlGUIJAVATab02JavaIndiv);
    g.MemoGUIJJavaIndivInner->setText("//inner\r\n");
    g.btnMakeJAVAText->click();
    EXPECT_EQ(g.MemoGUIJAVA->text().rfind("//inner\r\n", 0), 0u);
    EXPECT_NE(g.MemoGUIJAVA->text().find("var a=1;"), std::string::npos);
}

TEST(WebGuiSheets, LocalPageSheetsAndMissingSheet)
{
    Form f;
    auto &g = f.gui();
    const std::string page = f.file("site/html/page.html", "<html></html>");
    f.file("site/html/a.css", "@import \"common.css\";\r\na{}\r\n");
    f.file("site/html/b.css", "@import \"common.css\";\r\n@import \"../up.css\";\r\nb{}\r\n");
    f.file("site/html/common.css", "c{}\r\n");
    f.file("site/up.css", "u{}\r\n");
    f.file("site/html/sub/a.css", "s{}\r\n");
    TListBox *refs = f.form->dl.ListBoxComprehensiveCSSList;
    refs->addItems({QStringLiteral("a.css"), QStringLiteral("sub/a.css"), QStringLiteral("b.css")});
    f.sheets().GUICSSLocalFile2TextView(page, 0, refs, 0);
    const std::string text = g.MemoGUICSS->text();
    auto count = [&](const std::string &s) { return occurrences(text, s); };
    EXPECT_EQ(count(SheetFileBlock(f.path("site/html/common.css"), "c{}\r\n")), 1) << text;
    EXPECT_EQ(count(SheetFileBlock(f.path("site/up.css"), "u{}\r\n")), 1) << text;
    EXPECT_EQ(count(SheetFileBlock(f.path("site/html/sub/a.css"), "s{}\r\n")), 1) << text;
    // A repeated file name hides nothing after it.
    QStringList obtained;
    for (int i = 0; i < f.form->dl.ListBoxObtainedCSS->count(); ++i) obtained << f.form->dl.ListBoxObtainedCSS->item(i)->text();
    EXPECT_TRUE(obtained.filter(QStringLiteral("○　b.css")).size() == 1) << obtained.join(u'|').toStdString();
    EXPECT_EQ(refs->count(), 5);

    // A reference of a local page that is not on disk: the message, and the download box gets it.
    g.ListBoxGUICSS->addItem(QStringLiteral("missing.css"));
    f.st().GGUIFile = page;
    g.ComboBoxGUIEditorURL->setEditText(QStringLiteral("http://h.jp/"));
    f.click(g.ListBoxGUICSS, 0, [&] { f.sheets().ListBoxGUICSSClick(); });
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(fromSjis(f.st().GMsgPathNotFound)));
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("missing.css")));
    EXPECT_EQ(f.form->dl.ComboBoxURLDirect->currentText(), QStringLiteral("http://h.jp/missing.css"));
    EXPECT_TRUE(g.MemoGUICSSIndiv->text().empty());
}

TEST(WebGuiSheets, OpeningALocalPageJoinsItsSheets)
{
    Form f;
    auto &g = f.gui();
    const std::string page = f.file("site/page.html",
                                    "<html><head><title>t</title>\r\n<link rel=\"stylesheet\" href=\"css/a.css\">\r\n"
                                    "<link rel=\"stylesheet\" href=\"css/b.css\">\r\n<link rel=\"stylesheet\" href=\"gone.css\">\r\n"
                                    "</head><body><p>x</p></body></html>\r\n");
    f.file("site/css/a.css", "@import \"common.css\";\r\na{}\r\n");
    f.file("site/css/b.css", "@import \"common.css\";\r\nb{}\r\n");
    f.file("site/css/common.css", "c{}\r\n");
    f.form->webGuiPage->GUIFileOpenCommon(page);
    QStringList refs;
    for (int i = 0; i < f.form->dl.ListBoxComprehensiveCSSList->count(); ++i)
        refs << f.form->dl.ListBoxComprehensiveCSSList->item(i)->text();
    EXPECT_TRUE(refs.contains(fromSjis(f.path("site/css/common.css")))) << refs.join(u'|').toStdString();
    const std::string text = g.MemoGUICSS->text();
    auto count = [&](const std::string &s) { return occurrences(text, s); };
    EXPECT_EQ(count(SheetFileBlock(f.path("site/css/common.css"), "c{}\r\n")), 1) << text;
    EXPECT_EQ(count(SheetFileBlock(f.path("site/css/a.css"), "@import \"common.css\";\r\na{}\r\n")), 1) << text;
    // The missing sheet: its banner with nothing under it.
    EXPECT_EQ(count(SheetFileBlock(f.path("site/gone.css"), "")), 1) << text;
    EXPECT_EQ(g.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->text(), text);
}

TEST(WebGuiSheets, ColourRowsPaintedAndCopied)
{
    Form f;
    auto &g = f.gui();
    g.MemoGUICSSInner->setText("<style type=\"text/css\">\r\n/* #123456 */\r\nh1{color:#FFFFFF}\r\n.a{color:#0A0A0A}\r\n"
                               ".b{color:#808080}\r\n.c{color:#00F}\r\n.d{color:#fff}\r\n</style>\r\n");
    g.PageControlWebGUITop->setCurrentWidget(g.PageControlWebGUITopTab05CSS);
    g.PageControlWebGUITopTab05CSSRight->setCurrentWidget(g.PageControlWebGUITopTab05CSSRightTab03Inner);
    g.btnGetGUIColor->click();
    QListWidget *list = g.ListBoxGUICSSColorList;
    ASSERT_EQ(list->count(), 5);
    EXPECT_FALSE(list->item(0)->text().contains(QStringLiteral("style"))) << list->item(0)->text().toStdString();
    EXPECT_TRUE(list->item(0)->text().startsWith(QStringLiteral("#FFFFFF")));
    EXPECT_TRUE(list->item(0)->text().endsWith(QStringLiteral("h1")));

    // Each row as painted: its own colour behind, a readable text colour.
    ASSERT_TRUE(waitUntil([&] { return list->isVisible() && list->visualItemRect(list->item(4)).height() == 16; }, 3000));
    const QImage shot = list->viewport()->grab().toImage();
    const std::vector<QColor> backs = {QColor(255, 255, 255), QColor(10, 10, 10), QColor(128, 128, 128), QColor(0, 0, 255),
                                       QColor(255, 255, 255)};
    for (int i = 0; i < 5; ++i) {
        const QRect r = list->visualItemRect(list->item(i));
        const qreal dpr = shot.devicePixelRatio();
        EXPECT_EQ(shot.pixelColor(int((r.right() - 3) * dpr), int((r.top() + 2) * dpr)), backs[std::size_t(i)]) << i;
    }

    // A click copies the value; the right pane's list copies it lower-cased.
    f.click(list, 3, [&] { f.sheets().ListBoxGUICSSColorListClick(); });
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("#00F"));
    EXPECT_EQ(g.EditCSSColor->text(), QStringLiteral("#00F"));
    EXPECT_EQ(g.EditGUICSS->text(), QStringLiteral(".c"));
    f.click(g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop, 0,
            [&] { f.sheets().ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTopClick(); });
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("#ffffff"));

    // Without duplicates: sorted values only.
    g.CheckBoxCSSColorDupIgnore->setChecked(true);
    g.btnGetGUIColor->click();
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text().trimmed();
    EXPECT_EQ(rows, (QStringList{"#00F", "#0A0A0A", "#808080", "#fff", "#FFFFFF"}));
}

TEST(WebGuiLists, LinksAndFrames)
{
    TestHttpServer srv;
    std::atomic<bool> slowServed{false};
    srv.server().Get("/frames.html", [&](const httplib::Request &, httplib::Response &r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        r.set_content("<html><frameset cols=\"50%,50%\"><frame src=\"left.html\"><frame src=\"right.html\"></frameset></html>",
                      "text/html");
        slowServed = true;
    });
    srv.server().Get("/left.html", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("<html>\r\n\r\n\r\n<body>left</body></html>", "text/html");
    });
    srv.server().Get("/right.html", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("<html><body>right</body></html>", "text/html");
    });
    srv.server().Get("/plain.html", [](const httplib::Request &, httplib::Response &r) {
        r.set_content("<html><body>plain</body></html>", "text/html");
    });
    srv.start();

    Form f;
    auto &g = f.gui();
    // The sub-tab shows its pane beside the list.
    g.PageControlWebGUITop->setCurrentWidget(g.PageControlWebGUITopTab08Ahref);
    EXPECT_TRUE(waitUntil([&] { return g.WebBrowserLink->width() > g.ListBoxLinkList->width(); }, 3000))
        << g.WebBrowserLink->width() << " " << g.ListBoxLinkList->width();
    g.ListBoxLinkList->clear();
    const std::string local = f.file("l.html", "<html><body>local</body></html>");
    g.ListBoxLinkList->addItems({QString::fromStdString(srv.url("/plain.html")), fromSjis(local)});
    f.click(g.ListBoxLinkList, 0, [&] { f.lists().ListBoxLinkListClick(); });
    EXPECT_EQ(g.EditGUILinkURL->text().toStdString(), srv.url("/plain.html"));
    EXPECT_TRUE(waitUntil([&] { return g.WebBrowserLink->LocationURL().endsWith(QStringLiteral("/plain.html")); }, 10000));
    f.click(g.ListBoxLinkList, 1, [&] { f.lists().ListBoxLinkListClick(); });
    EXPECT_EQ(g.EditGUILinkURL->text(), fromSjis(local));
    EXPECT_EQ(f.st().GLinkViewIndex, 1);
    g.ListBoxLinkList->clearSelection();
    f.lists().ListBoxLinkListClick();
    EXPECT_EQ(f.st().GImageViewIndex, -1);
    EXPECT_EQ(f.st().GLinkViewIndex, 1);

    // A frameset served slowly: its frames are listed once it has loaded.
    g.WebBrowserDownload->Navigate(QString::fromStdString(srv.url("/plain.html")));
    ASSERT_TRUE(waitUntil([&] { return !g.WebBrowserDownload->Busy(); }, 10000));
    g.cbDownloadURL->setEditText(QString::fromStdString(srv.url("/frames.html")));
    g.sbFrameNavigate->click();
    EXPECT_TRUE(slowServed);
    QStringList frames;
    for (int i = 0; i < g.ListBoxFrameURL->count(); ++i) frames << g.ListBoxFrameURL->item(i)->text();
    EXPECT_EQ(frames, (QStringList{QString::fromStdString(srv.url("/left.html")), QString::fromStdString(srv.url("/right.html"))}));

    // A frame's HTML, its triple line breaks made one.
    f.click(g.ListBoxFrameURL, 0, [&] { f.lists().ListBoxFrameURLClick(); });
    EXPECT_EQ(g.RichEditFrame->text(), "<html>\r\n<body>left</body></html>");
    EXPECT_EQ(f.form->dl.ComboBoxUrl->currentText().toStdString(), srv.url("/left.html"));

    // "file://" items load without a fetch, the box shows the path.
    g.ListBoxFrameURL->addItem(QStringLiteral("file://") + fromSjis(local));
    f.click(g.ListBoxFrameURL, 2, [&] { f.lists().ListBoxFrameURLClick(); });
    EXPECT_EQ(g.cbDownloadURL->currentText(), fromSjis(local));
    EXPECT_TRUE(g.RichEditFrame->text().empty());
    EXPECT_TRUE(waitUntil([&] { return g.WebBrowserDownload->LocationURL().endsWith(QStringLiteral("/l.html")); }, 10000));

    // A page without frames hands nothing to the download page.
    ASSERT_TRUE(waitUntil([&] { return !g.WebBrowserDownload->Busy(); }, 10000));
    const int before = f.form->dl.ListBoxFrameSet->count();
    g.btnSetFrameSet->click();
    EXPECT_EQ(f.form->dl.ListBoxFrameSet->count(), before);

    // A frameset opened on the WebGUI page: the page first, then its frames.
    g.ComboBoxGUIEditorURL->setEditText(QString::fromStdString(srv.url("/frames.html")));
    f.form->webGuiPage->btnGUIEditorURLNavigateClick();
    EXPECT_EQ(g.PageControlWebGUITop->currentWidget(), g.PageControlWebGUITopTab07Frame);
    frames.clear();
    for (int i = 0; i < g.ListBoxFrameURL->count(); ++i) frames << g.ListBoxFrameURL->item(i)->text();
    EXPECT_EQ(frames, (QStringList{QString::fromStdString(srv.url("/frames.html")), QString::fromStdString(srv.url("/left.html")),
                                   QString::fromStdString(srv.url("/right.html"))}));
    EXPECT_NE(g.RichEditFrame->text().find("left"), std::string::npos) << g.RichEditFrame->text();
}
