// The WebGUI page's web road on a real (offscreen) window: addresses opened into the editor
// from a server on 127.0.0.1, the charset choice, framesets read after their load, fetch
// failures, and the editor holding what a local open loaded.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

struct Form {
    QTemporaryDir dir;
    std::unique_ptr<TAMainForm> form;
    QStringList messages;
    int answer = QMessageBox::Yes;

    Form()
    {
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        page().dialogs.ask = [this](QWidget *, const QString &, bool) { return answer; };
        // The hidden editor's second load is not what these tests look at.
        gui().CheckBoxGUIIndent->setChecked(false);
    }
    ~Form()
    {
        form->close();
        setMessageBoxHook({});
    }
    WebGuiPage &page() { return *form->webGuiPage; }
    WebGuiControls &gui() { return form->gui; }
    AppState &st() { return form->state(); }
    void open(const std::string &url)
    {
        gui().ComboBoxGUIEditorURL->setEditText(QString::fromStdString(url));
        page().btnGUIEditorURLNavigateClick();
    }
    QString caption() { return gui().PageControlGUILeft->tabText(gui().PageControlGUILeft->currentIndex()); }
};

const std::string kEucWord = SjisToEuc(sj("日本語"), 0);
const std::string kEucPage = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
                             "<title>e</title></head><body><p>" + kEucWord + "</p><a href=\"b.html\">b</a>"
                             "<a href=\"a.html\">a</a></body></html>";

}  // namespace

TEST(WebGuiUrl, CharsetChoiceFeedsEditorAndPanes)
{
    TestHttpServer srv;
    srv.server().Get("/euc.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(kEucPage, "text/html");
    });
    srv.start();
    Form f;
    const std::string word = sj("日本語");
    struct Case {
        int item;
        bool editorSjis, panesSjis;  // the word arrives as Shift_JIS
    };
    // Item 3 leaves the editor's text as fetched while the panes get the detected conversion.
    for (const Case c : {Case{0, true, true}, Case{1, true, true}, Case{2, false, false}, Case{3, false, true},
                         Case{4, false, false}}) {
        SCOPED_TRACE(c.item);
        f.gui().RadioGroupGULocalFileICharCode->setItemIndex(c.item);
        f.open(srv.url("/euc.html"));
        EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
        const std::string editor = f.gui().MemoHTMLSrc->text();
        const std::string panes = f.gui().RichEditPageControlGUIRightEntireSrc->text();
        EXPECT_EQ(editor.find(word) != std::string::npos, c.editorSjis);
        EXPECT_EQ(panes.find(word) != std::string::npos, c.panesSjis);
        EXPECT_EQ(f.st().GGUIFile, srv.url("/euc.html"));
        EXPECT_EQ(f.caption(), QStringLiteral("0[euc]"));
    }
    // The page's links went to the batch viewer's list.
    EXPECT_EQ(f.form->batch.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->count(), 2);
}

TEST(WebGuiUrl, TypingOpensNothingEnterOpensAndTabsBecomeOne)
{
    TestHttpServer srv;
    std::atomic<int> hits{0};
    srv.server().Get("/some/page1.html", [&](const httplib::Request &, httplib::Response &res) {
        ++hits;
        res.set_content("<html><body><p>one</p></body></html>", "text/html");
    });
    srv.start();
    Form f;
    // Three tabs holding pages.
    for (int i = 0; i < 2; ++i) f.page().createCanvas();
    ASSERT_EQ(f.gui().PageControlGUILeft->count(), 3);

    // Keys go to the combo box, as the window system delivers them with the focus in the box.
    QComboBox *box = f.gui().ComboBoxGUIEditorURL;
    box->setFocus();
    QTest::keyClicks(box, QString::fromStdString(srv.url("/some/page1.html")));
    EXPECT_EQ(box->currentText(), QString::fromStdString(srv.url("/some/page1.html")));
    QTest::qWait(50);
    EXPECT_EQ(hits.load(), 0);
    EXPECT_TRUE(f.messages.isEmpty());
    EXPECT_EQ(f.gui().PageControlGUILeft->count(), 3);

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_GT(hits.load(), 0);
    EXPECT_EQ(f.gui().PageControlGUILeft->count(), 1);
    EXPECT_EQ(f.caption(), QStringLiteral("0[page1]"));
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
    EXPECT_NE(toSjis(f.st().GActiveEditor->GetSource()).find("one"), std::string::npos);
}

TEST(WebGuiUrl, HttpsTakesTheUrlRoadAndFailuresAreReported)
{
    TestHttpServer srv;
    srv.server().Get("/gone.html", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("no", "text/plain");
    });
    srv.start();
    Form f;
    // No TLS server listens: the address is fetched (and fails), never opened as a file name.
    const std::string https = "https://127.0.0.1:" + std::to_string(srv.port()) + "/x.html";
    f.open(https);
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("取得できませんでした"))) << f.messages[0].toStdString();
    EXPECT_FALSE(f.messages[0].contains(fromSjis(f.st().GMsgPathNotFound)));
    EXPECT_EQ(f.st().GGUIFile, https);

    f.open(srv.url("/gone.html"));
    ASSERT_EQ(f.messages.size(), 2);
    EXPECT_TRUE(f.messages[1].contains(QString::fromStdString(srv.url("/gone.html"))));

    // Not an address at all: the message, nothing opened.
    f.open("www.example");
    ASSERT_EQ(f.messages.size(), 3);
    EXPECT_TRUE(f.messages[2].startsWith(QStringLiteral("URLが指定されていないか")));
}

TEST(WebGuiUrl, FramesetIsListedAfterItsLoad)
{
    TestHttpServer other;
    other.server().Get("/far.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<html><body><p>far away</p></body></html>", "text/html");
    });
    other.start();
    TestHttpServer srv;
    const std::string farUrl = other.url("/far.html");
    srv.server().Get("/fs.html", [farUrl](const httplib::Request &, httplib::Response &res) {
        res.set_content("<html><frameset cols=\"50%,50%\"><frame src=\"near.html\"><frame src=\"" + farUrl +
                            "\"></frameset></html>",
                        "text/html");
    });
    srv.server().Get("/near.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<html><body><p>near body</p></body></html>", "text/html");
    });
    srv.start();
    Form f;
    f.open(srv.url("/fs.html"));
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
    EXPECT_EQ(f.gui().PageControlWebGUITop->currentWidget(), f.gui().PageControlWebGUITopTab07Frame);
    // The frameset page first, as the " FrameSet " sub-tab lists it, then its frames.
    ASSERT_EQ(f.gui().ListBoxFrameURL->count(), 3);
    EXPECT_EQ(f.gui().ListBoxFrameURL->item(0)->text().toStdString(), srv.url("/fs.html"));
    EXPECT_EQ(f.gui().ListBoxFrameURL->item(1)->text().toStdString(), srv.url("/near.html"));
    EXPECT_EQ(f.gui().ListBoxFrameURL->item(2)->text().toStdString(), farUrl);
    const std::string text = f.gui().RichEditFrame->text();
    EXPECT_NE(text.find("near body"), std::string::npos);
    EXPECT_NE(text.find("<-- ********************************* -->"), std::string::npos);
    EXPECT_EQ(text.find("far away"), std::string::npos);
    // The frameset itself is not put into the editor.
    EXPECT_TRUE(f.st().GGUIFile.empty());
}

TEST(WebGuiUrl, LocalOpenShowsTheFileInTheEditor)
{
    Form f;
    QTemporaryDir files;
    const std::string path = toSjis(files.filePath(QStringLiteral("shown.html")));
    std::ofstream(ToSystemPath(path), std::ios::binary) << "<html><head><title>s</title></head><body><p>visible text</p></body></html>";
    f.page().GUIFileOpenCommon(path);
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_NE(ed, nullptr);
    EXPECT_TRUE(f.gui().PageControlGUILeft->currentWidget()->isAncestorOf(ed));
    EXPECT_NE(ed->ReadDocumentHTML().indexOf(QStringLiteral("visible text")), -1);
    EXPECT_FALSE(ed->IsDirty());
}

TEST(WebGuiUrl, HtmlToSjisKeepsWhatShiftJisLacks)
{
    const struct {
        const char *in, *out;
    } cases[] = {
        {"plain ascii ?", "plain ascii ?"},
        {"日本語", "日本語"},
        {"a\u00e9b", "a&#233;b"},
        {"x\U0001F600y", "x&#128512;y"},
        {"漢\ud55c字", "漢&#54620;字"},
    };
    for (const auto &c : cases) EXPECT_EQ(HtmlToSjis(QString::fromUtf8(c.in)), sj(c.out)) << c.in;
}

TEST(WebGuiUrl, PagePartSubTabsFillOncePerPage)
{
    Form f;
    QTemporaryDir files;
    auto write = [&](const char *name, const std::string &text) {
        const std::string p = toSjis(files.filePath(QString::fromLatin1(name)));
        std::ofstream(ToSystemPath(p), std::ios::binary) << text;
        return p;
    };
    write("s.css", "p{color:red}");
    write("a.js", "var a=1;");
    write("b.js", "var b=1;");
    write("i.png", "x");
    const std::string page = write(
        "parts.html",
        "<html><head><title>p</title><link rel=\"stylesheet\" href=\"s.css\"><style>P{COLOR:Blue}</style>"
        "<script src=\"a.js\"></script><script src=\"b.js\"></script><script>var inline=1;</script></head>"
        "<body><a href=\"z.html\">z</a><a href=\"b.html\">b</a><a href=\"z.html\">again</a>"
        "<img src=\"i.png\"><img src=\"i.png\"><div background=\"back.gif\">d</div></body></html>");
    f.page().GUIFileOpenCommon(page);
    QTabWidget *top = f.gui().PageControlWebGUITop;

    top->setCurrentWidget(f.gui().PageControlWebGUITopTab08Ahref);
    const QStringList links = f.gui().ListBoxLinkList->lines();
    ASSERT_EQ(links.size(), 2);
    EXPECT_TRUE(links[0].endsWith(QStringLiteral("/b.html")));
    EXPECT_TRUE(links[1].endsWith(QStringLiteral("/z.html")));
    EXPECT_EQ(f.gui().SpinEditLinkEnd->value(), 1);

    top->setCurrentWidget(f.gui().PageControlWebGUITopTab10ImageList);
    const QStringList images = f.gui().ListBoxImageList->lines();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(f.gui().SpinEditImageEnd->value(), 1);

    top->setCurrentWidget(f.gui().PageControlWebGUITopTab05CSS);
    ASSERT_EQ(f.gui().ListBoxGUICSS->count(), 1);
    EXPECT_EQ(f.gui().ListBoxGUICSS->item(0)->text(), QStringLiteral("s.css"));
    EXPECT_TRUE(f.gui().MemoGUICSSInner->toPlainText().contains(QStringLiteral("p{color:blue}")));

    top->setCurrentWidget(f.gui().PageControlWebGUITopTab06JAVA);
    const QStringList scripts = f.gui().ListBoxGUIJAVA->lines();
    EXPECT_GE(scripts.size(), 2);
    for (const QString &s : scripts) EXPECT_TRUE(s.contains(QStringLiteral(".js"))) << s.toStdString();
    EXPECT_TRUE(f.gui().MemoGUIJJavaIndivInner->toPlainText().contains(QStringLiteral("var inline=1;")));

    // Shown again for the same page: not rebuilt.
    f.gui().ListBoxLinkList->clear();
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab08Ahref);
    EXPECT_EQ(f.gui().ListBoxLinkList->count(), 0);
    // Another page fills it again.
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
    f.page().GUIFileOpenCommon(write("other.html", "<html><body><a href=\"q.html\">q</a></body></html>"));
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab08Ahref);
    ASSERT_EQ(f.gui().ListBoxLinkList->count(), 1);
    EXPECT_EQ(f.gui().SpinEditLinkEnd->value(), 0);
}

TEST(WebGuiUrl, PasteOpensOnlyWebAddresses)
{
    TestHttpServer srv;
    std::atomic<int> hits{0};
    srv.server().Get("/pasted.html", [&](const httplib::Request &, httplib::Response &res) {
        ++hits;
        res.set_content("<html><body><p>pasted</p></body></html>", "text/html");
    });
    srv.start();
    Form f;
    for (const char *text : {"pasted.html", "ftp://127.0.0.1/pasted.html", "see http://127.0.0.1/"}) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
        f.gui().btnGUIEditorURLPaste->click();
    }
    EXPECT_EQ(hits.load(), 0);
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
    QGuiApplication::clipboard()->setText(QStringLiteral("  ") + QString::fromStdString(srv.url("/pasted.html")) +
                                          QStringLiteral(" \r\n"));
    f.gui().btnGUIEditorURLPaste->click();
    EXPECT_GT(hits.load(), 0);
    EXPECT_EQ(f.gui().ComboBoxGUIEditorURL->currentText(), QString::fromStdString(srv.url("/pasted.html")));
    EXPECT_EQ(f.caption(), QStringLiteral("0[pasted]"));
}
