// Opening pages on the WebGUI page in the real (offscreen) window: the open service replaces
// every pane and sub-tab of the page before, a refused file leaves the page shown as it was,
// the status bar and caption name the page opened, and the local-folder check lists only
// values inside tags.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>

namespace {

struct Form {
    QTemporaryDir dir, files;
    std::unique_ptr<TAMainForm> form;
    QStringList messages;

    Form()
    {
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        page().dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::Yes); };
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
    std::string file(const std::string &name, const std::string &text)
    {
        const std::string p = toSjis(files.filePath(QString::fromStdString(name)));
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    void show(QWidget *subTab) { gui().PageControlWebGUITop->setCurrentWidget(subTab); }
};

// A page whose every part carries its letter: title, body word, style sheet, script, link,
// image and background image.
std::string letterPage(const std::string &x)
{
    return "<html><head><title>title-" + x + "</title>\r\n<link rel=\"stylesheet\" href=\"sheet-" + x +
           ".css\">\r\n<script src=\"code-" + x + ".js\"></script>\r\n</head>\r\n<body background=\"back-" + x +
           ".png\">\r\n<p>word-" + x + "</p>\r\n<a href=\"link-" + x + ".html\">l</a>\r\n<img src=\"img-" + x +
           ".png\">\r\n</body></html>\r\n";
}

std::string listText(QListWidget *l)
{
    std::string s;
    for (int i = 0; i < l->count(); ++i) s += toSjis(l->item(i)->text()) + "\n";
    return s;
}

}  // namespace

// The batch viewer, the not-obtained page and a local address in the URL row all open through
// OpenFile: after page B, no sub-tab or pane may still show page A.
TEST(WebGuiOpen, OpenFileReplacesEverySubTabAndPane)
{
    Form f;
    for (const char *x : {"alpha", "bravo"}) {
        f.file(std::string("sheet-") + x + ".css", "p{color:red}");
        f.file(std::string("code-") + x + ".js", "var v=1;");
    }
    const std::string a = f.file("a.html", letterPage("alpha"));
    const std::string b = f.file("b.html", letterPage("bravo"));
    WebGuiControls &g = f.gui();
    struct SubTab {
        QWidget *tab;
        std::function<std::string()> text;
    };
    const std::vector<SubTab> subTabs = {
        {g.PageControlWebGUITopTab02HTMLSrc, [&] { return g.MemoHTMLSrc->text(); }},
        {g.PageControlWebGUITopTab03Head, [&] { return g.Memohead->text(); }},
        {g.PageControlWebGUITopTab04Body, [&] { return g.MemoBody->text(); }},
        {g.PageControlWebGUITopTab05CSS, [&] { return listText(g.ListBoxGUICSS); }},
        {g.PageControlWebGUITopTab06JAVA, [&] { return listText(g.ListBoxGUIJAVA); }},
        {g.PageControlWebGUITopTab08Ahref, [&] { return listText(g.ListBoxLinkList); }},
        {g.PageControlWebGUITopTab10ImageList, [&] { return listText(g.ListBoxImageList); }},
    };
    const std::vector<std::pair<const char *, TRichEdit *>> panes = {
        {"whole source", g.RichEditPageControlGUIRightEntireSrc},
        {"file source", g.RichEditPageControlGUIRightOrgEntireSrc},
    };

    f.page().GUIFileOpenCommon(a);
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    for (const SubTab &s : subTabs) {
        f.show(s.tab);
        EXPECT_NE(s.text().find("alpha"), std::string::npos) << toSjis(g.PageControlWebGUITop->tabText(g.PageControlWebGUITop->indexOf(s.tab)));
    }
    f.show(g.PageControlWebGUITopTab01Main);

    f.page().OpenFile(b);
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    for (const SubTab &s : subTabs) {
        f.show(s.tab);
        const std::string t = s.text();
        const std::string name = toSjis(g.PageControlWebGUITop->tabText(g.PageControlWebGUITop->indexOf(s.tab)));
        EXPECT_NE(t.find("bravo"), std::string::npos) << name << ": " << t;
        EXPECT_EQ(t.find("alpha"), std::string::npos) << name << ": " << t;
        f.show(g.PageControlWebGUITopTab01Main);
    }
    for (const auto &[name, pane] : panes) {
        EXPECT_NE(pane->text().find("word-bravo"), std::string::npos) << name;
        EXPECT_EQ(pane->text().find("word-alpha"), std::string::npos) << name;
    }
    EXPECT_EQ(f.st().GGUIFile, b);
}

// A frameset or a declined inline-frame page changes nothing of the page that is shown.
TEST(WebGuiOpen, RefusedFileKeepsThePageShown)
{
    Form f;
    const std::string a = f.file("a.html", letterPage("alpha"));
    f.form->dl.BtnEditDownloadLocalFile->setText(fromSjis(a));
    f.page().btnOpenFileDirectClick();
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    QTabWidget *tabs = f.gui().PageControlGUILeft;
    const int count = tabs->count();
    const QString caption = tabs->tabText(tabs->currentIndex());
    const QString status = f.gui().StatusBar->panelText(3), title = f.form->windowTitle();
    const std::string whole = f.gui().RichEditPageControlGUIRightEntireSrc->text();

    struct Case {
        const char *name, *text;
        int answer;
    } cases[] = {
        {"fs.html", "<html><frameset cols=\"50%,50%\"><frame src=\"x.html\"></frameset></html>", QMessageBox::Yes},
        {"if.html", "<html><body><iframe src=\"x.html\"></iframe></body></html>", QMessageBox::No},
    };
    for (const Case &c : cases) {
        f.page().dialogs.ask = [&c](QWidget *, const QString &, bool) { return c.answer; };
        f.form->dl.BtnEditDownloadLocalFile->setText(fromSjis(f.file(c.name, c.text)));
        f.page().btnOpenFileDirectClick();
        EXPECT_EQ(tabs->count(), count) << c.name;
        EXPECT_EQ(tabs->tabText(tabs->currentIndex()), caption) << c.name;
        EXPECT_EQ(f.gui().RichEditPageControlGUIRightEntireSrc->text(), whole) << c.name;
        EXPECT_EQ(f.st().GGUIFile, a) << c.name;
        EXPECT_EQ(f.gui().StatusBar->panelText(3), status) << c.name;
        EXPECT_EQ(f.form->windowTitle(), title) << c.name;
    }
    EXPECT_EQ(f.messages.size(), 1);  // the frameset's refusal; the declined question says nothing more
}

// After every open the status bar and the caption name the page opened, never the one before.
TEST(WebGuiOpen, StatusAndCaptionNameThePageOpened)
{
    TestHttpServer srv;
    std::atomic<int> fetches{0};
    srv.server().Get("/dir/web.html", [&](const httplib::Request &, httplib::Response &res) {
        ++fetches;
        res.set_content("<html><head><title>w</title></head><body><p>web</p></body></html>", "text/html");
    });
    srv.start();
    Form f;
    const std::string a = f.file("a.html", letterPage("alpha"));
    f.page().GUIFileOpenCommon(a);
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    EXPECT_TRUE(f.form->windowTitle().contains(fromSjis(a))) << f.form->windowTitle().toStdString();
    EXPECT_TRUE(f.form->StatusBar1->panelText(3).contains(fromSjis(a)));

    const std::string url = srv.url("/dir/web.html");
    f.gui().ComboBoxGUIEditorURL->setEditText(QString::fromStdString(url));
    f.page().btnGUIEditorURLNavigateClick();
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    for (int i = 0; i < f.gui().StatusBar->panelCount(); ++i)
        EXPECT_FALSE(f.gui().StatusBar->panelText(i).contains(QStringLiteral("a.html"))) << i;
    EXPECT_TRUE(f.gui().StatusBar->panelText(3).contains(QString::fromStdString(srv.url("/"))))
        << f.gui().StatusBar->panelText(3).toStdString();
    EXPECT_TRUE(f.form->windowTitle().contains(QString::fromStdString(url))) << f.form->windowTitle().toStdString();
    EXPECT_TRUE(f.form->StatusBar1->panelText(3).contains(QString::fromStdString(url)));
    EXPECT_FALSE(f.form->StatusBar1->panelText(3).contains(QStringLiteral("a.html")));
}

// An empty file's head holds no text (a browser would move it into the body), and the folder check lists the paths of
// tag values, not a quote in the text.
TEST(WebGuiOpen, EmptyFileAndLocalFolderHits)
{
    Form f;
    f.page().GUIFileOpenCommon(f.file("empty.html", ""));
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    for (TRichEdit *pane : {f.gui().RichEditPageControlGUIRightEntireSrc, f.gui().RichEditPageControlGUIRightAltEntireSrc})
        EXPECT_EQ(pane->text().find("&nbsp;</head>"), std::string::npos) << pane->text();

    const std::string page =
        "<html><body>\r\n<p>Put it in <code>\"/home/<span class=\"u\">user</span>/.config\"</code> or "
        "'/tmp/<b>x</b>'.</p>\r\n<img src=\"/home/u/pics/a.png\" alt=\"a\">\r\n"
        "<div style=\"background: url(/tmp/bg.png)\">t</div>\r\n</body></html>\r\n";
    f.page().GUIFileOpenCommon(f.file("folders.html", page));
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    std::string msg;
    f.page().CheckRemoveFolder(f.gui().RichEditPageControlGUIRightOrgEntireSrc, msg);
    EXPECT_EQ(listText(f.gui().ListBoxRichEditPageControlGUIRightEntireLocalFolder), "/home/u/pics/a.png\n/tmp/bg.png\n");
    EXPECT_FALSE(msg.empty());
}

// The buttons that share the indentation run, its save and the word replacement: the
// "HTMLﾃｷｽﾄ" run fills the result as the other run does, the result's save asks for a name
// only when there is a result, and the replacement works in the processed source as in the
// whole source.
TEST(WebGuiOpen, IndentButtonsAndProcessedSourceReplace)
{
    Form f;
    WebGuiControls &g = f.gui();
    g.CheckBoxGUIIndent->setChecked(true);
    int asked = 0;
    const std::string saved = toSjis(f.files.filePath(QStringLiteral("out.html")));
    f.page().dialogs.saveHtml = [&](QWidget *, const std::string &) {
        ++asked;
        return saved;
    };
    g.btnSaveIndentHTML->click();
    EXPECT_EQ(asked, 0);

    f.page().GUIFileOpenCommon(f.file("r.html", "<html><head><title>t</title></head><body><div><p>C:/Pics/one</p></div></body></html>"));
    ASSERT_TRUE(waitUntil([&] { return f.st().GIndentSourceReady; }, 30000));
    g.btnGUITD3Check->click();
    ASSERT_GT(g.ListBoxGUISaveFinal->count(), 0);
    g.btnSaveIndentHTML->click();
    EXPECT_EQ(asked, 1);
    std::ifstream in(saved, std::ios::binary);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(out.find("C:/Pics/one"), std::string::npos);

    struct Case {
        QAbstractButton *button;
        TRichEdit *pane;
    } cases[] = {{g.btnEditRemoveFolderRemoveAll, g.RichEditPageControlGUIRightEntireSrc},
                 {g.btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolder, g.RichEditPageControlGUIRightEntireSrcAfter}};
    for (const Case &c : cases) {
        c.pane->setText("<img src=\"C:/Pics/a.gif\"><a href=\"c:/pics/b.html\">");
        g.EditGUISearchWord->setText(QStringLiteral("　 c:/pics/　"));
        g.EditGUIReplaceWord->setText(QStringLiteral(" img/ "));
        c.button->click();
        EXPECT_EQ(c.pane->text(), "<img src=\"img/a.gif\"><a href=\"img/b.html\">") << c.button->objectName().toStdString();
        g.EditGUISearchWord->setText(QStringLiteral("　"));
        c.button->click();
        EXPECT_EQ(c.pane->text(), "<img src=\"img/a.gif\"><a href=\"img/b.html\">") << c.button->objectName().toStdString();
    }
}

// While a large page loads into the editor the status bar says how far the load has come and
// names the file; once the panes are filled no loading note is left.
TEST(WebGuiOpen, StatusBarShowsTheLoadsProgress)
{
    Form f;
    std::string page = "<html><head><title>big</title></head><body>\r\n";
    for (int i = 0; page.size() < 400000; ++i)
        page += "<p>item " + std::to_string(i) + " <a href=\"p" + std::to_string(i) + ".html\">next</a></p>\r\n";
    page += "</body></html>\r\n";
    const std::string file = f.file("big.html", page);
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(WaitEditorReady(ed));
    // Queued, so each report is read after the page has shown it (at the latest while the
    // open's next step runs, whose note names the file too).
    QStringList seen;
    QObject::connect(ed, &TProfDHTMLEdit2::LoadProgress, ed, [&] { seen << f.gui().StatusBar->panelText(2); },
                     Qt::QueuedConnection);
    f.page().GUIFileOpenCommon(file);
    ASSERT_EQ(f.st().GActiveEditor, ed);
    const QString name = fromSjis(file);
    int percentNotes = 0;
    for (const QString &s : seen) {
        EXPECT_TRUE(s.contains(name)) << s.toStdString();
        if (s.startsWith(QStringLiteral("読み込み中 ")) && s.contains(QLatin1Char('%'))) ++percentNotes;
    }
    EXPECT_GT(percentNotes, 0) << seen.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(f.gui().StatusBar->panelText(2).contains(QStringLiteral("読み込み中")));
    EXPECT_FALSE(f.gui().RichEditPageControlGUIRightEntireSrc->text().empty());
}
