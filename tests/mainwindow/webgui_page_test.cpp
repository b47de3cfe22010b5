// The WebGUI page on a real (offscreen) window: local pages opened into editor tabs and source
// panes, the analysis sub-tabs, the indentation run with its save, and the saves of the page,
// with files in a temporary folder.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "nettools/TWhoisForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/WaitUntil.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiEditorTabs.h"
#include "webgui/WebGuiPage.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool exists(const std::string &path) { return QFileInfo::exists(QString::fromStdString(path)); }

const std::string kPage =
    "<html>\r\n<head>\r\n<title>t</title>\r\n</head>\r\n<body>\r\n<p>one</p>\r\n"
    "<pre>\r\n\ta\r\n\r\n\r\n\tb\r\n</pre>\r\n<style type=\"x\">p{}</style>\r\n<!-- note -->\r\n"
    "<div><p>two</p></div>\r\n</body>\r\n</html>\r\n";

struct Form {
    QTemporaryDir dir, files;
    std::unique_ptr<TAMainForm> form;
    QStringList messages;
    std::vector<QString> questions;
    int answer = QMessageBox::Yes;
    std::string saveAs;  // the save dialog's answer ("" cancels)
    std::vector<std::string> launched;  // what went to the desktop's browser
    BrowserLauncher previousLauncher;

    Form()
    {
        previousLauncher = SetBrowserLauncher([this](const std::vector<std::string> &argv) {
            launched.push_back(argv.empty() ? std::string() : argv.back());
            return true;
        });
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        page().dialogs.ask = [this](QWidget *, const QString &t, bool) {
            questions.push_back(t);
            return answer;
        };
        page().dialogs.saveHtml = [this](QWidget *, const std::string &) { return saveAs; };
        page().dialogs.openHtml = [](QWidget *, const std::string &) { return std::string(); };
    }
    ~Form()
    {
        form->close();
        setMessageBoxHook({});
        SetBrowserLauncher(previousLauncher);
    }
    WebGuiPage &page() { return *form->webGuiPage; }
    WebGuiControls &gui() { return form->gui; }
    AppState &st() { return form->state(); }
    std::string path(const std::string &name) const { return toSjis(files.filePath(QString::fromStdString(name))); }
    std::string file(const std::string &name, const std::string &text)
    {
        const std::string p = path(name);
        writeFile(p, text);
        return p;
    }
    QString tabText(int i) { return gui().PageControlGUILeft->tabText(i); }
};

}  // namespace

TEST(WebGuiPage, LocalOpenCaptionsTabsAndFillsPanes)
{
    Form f;
    const std::string a = f.file("index.html", kPage);
    const std::string b = f.file("abcdefghijkl.html", kPage);
    const std::string c = f.file("my page.html", kPage);
    const int before = f.gui().PageControlGUILeft->count();

    f.page().GUIFileOpenCommon(a);
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
    EXPECT_EQ(f.gui().PageControlGUILeft->count(), std::max(before, 1));
    EXPECT_EQ(f.tabText(f.gui().PageControlGUILeft->currentIndex()),
              QString::number(f.gui().PageControlGUILeft->count()) + QStringLiteral("[index.]"));
    EXPECT_NE(f.gui().RichEditPageControlGUIRightEntireSrc->text().find("<p>one</p>"), std::string::npos);
    EXPECT_NE(f.gui().RichEditPageControlGUIRightOrgEntireSrc->text().find("<p>two</p>"), std::string::npos);
    EXPECT_EQ(f.st().GGUIFile, a);
    EXPECT_FALSE(f.st().GIndentSourceReady);

    // A tab holding a page is not reused.
    f.page().GUIFileOpenCommon(b);
    const int n = f.gui().PageControlGUILeft->count();
    EXPECT_EQ(f.tabText(f.gui().PageControlGUILeft->currentIndex()), QString::number(n) + QStringLiteral("[efghijkl.]"));
    f.page().GUIFileOpenCommon(c);
    EXPECT_EQ(f.tabText(f.gui().PageControlGUILeft->currentIndex()),
              QString::number(n + 1) + QStringLiteral("[my page.]"));
}

TEST(WebGuiPage, OpenRefusalsAndInlineFrames)
{
    Form f;
    // A missing file names itself with the not-found text; a frameset is refused.
    f.page().GUIFileOpenCommon(f.path("none.html"));
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(fromSjis(f.st().GMsgPathNotFound)));
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("none.html")));
    f.page().GUIFileOpenCommon(f.file("fs.html", "<html><frameset><frame src=a.html></frameset></html>"));
    ASSERT_EQ(f.messages.size(), 2);
    EXPECT_EQ(f.messages[1], QStringLiteral("「FRAMSET」があります"));
    EXPECT_TRUE(f.st().GGUIFile.empty());

    const std::string text = "<html><body><IFRAME src=\"x.html\"></IFRAME><p>k</p></body></html>";
    const std::string p = f.file("if.html", text);
    for (int a : {QMessageBox::No, QMessageBox::Cancel}) {
        f.answer = a;
        f.page().GUIFileOpenCommon(p);
        EXPECT_TRUE(f.st().GGUIFile.empty());
        EXPECT_TRUE(f.gui().RichEditPageControlGUIRightEntireSrc->text().empty());
    }
    f.answer = QMessageBox::Yes;
    f.page().GUIFileOpenCommon(p);
    EXPECT_EQ(f.questions.size(), 3u);
    EXPECT_EQ(f.st().GGUIFile, p);
    EXPECT_NE(f.gui().RichEditPageControlGUIRightEntireSrc->text().find("<!-- ==<IFRAME"), std::string::npos);
    // The user's file is left byte for byte, and no backup was made.
    EXPECT_EQ(readFile(p), text);
    EXPECT_TRUE(f.st().GGUIBackupFile.empty());
    EXPECT_FALSE(exists(f.path("YY_if.html")));
}

TEST(WebGuiPage, RemoveIndentCommentBacksUpBeforeItWrites)
{
    Form f;
    const std::string text = "<html><body>\r\n<table><tr><td>a</td><!--\r\n    --><td>b</td></tr></table>\r\n</body></html>\r\n";
    const std::string p = f.file("j.html", text);
    f.gui().RadioGroupRemoveIndentComment->setItemIndex(1);
    f.page().GUIFileOpenCommon(p);
    EXPECT_EQ(readFile(f.path("YY_j.html")), text);
    EXPECT_NE(readFile(p), text);
    EXPECT_EQ(f.st().GGUIBackupFile, f.path("YY_j.html"));
}

TEST(WebGuiPage, ModifiedTabAsksAndNoAskKeepsIt)
{
    Form f;
    f.page().GUIFileOpenCommon(f.file("m.html", kPage));
    QTabWidget *tabs = f.gui().PageControlGUILeft;
    QWidget *changed = tabs->currentWidget();
    f.page().tabModified = [changed](QWidget *t) { return t == changed; };
    f.st().GTargetTabCount = 5;

    f.answer = QMessageBox::No;
    EXPECT_FALSE(f.page().CloseTab(0));
    ASSERT_EQ(f.questions.size(), 1u);
    EXPECT_TRUE(f.questions[0].contains(f.tabText(tabs->currentIndex())));
    EXPECT_EQ(tabs->currentWidget(), changed);
    EXPECT_EQ(f.st().GTargetTabCount, 5);

    // The download page's reset asks nothing and discards nothing: a fresh tab takes over.
    EXPECT_TRUE(f.page().CloseTab(1));
    EXPECT_EQ(f.questions.size(), 1u);
    EXPECT_NE(tabs->indexOf(changed), -1);
    EXPECT_NE(tabs->currentWidget(), changed);
    EXPECT_TRUE(f.page().isFreshTab(tabs->currentWidget()));
}

TEST(WebGuiPage, ResettingAFreshTabWaitsForNothingAndAnOpenedOneIsEmptied)
{
    Form f;
    QTabWidget *tabs = f.gui().PageControlGUILeft;
    ASSERT_EQ(tabs->count(), 1);
    // The download page resets the tab before each run: on a tab that holds nothing the reset
    // returns at once, without running the event loop while an editor loads.
    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    EXPECT_TRUE(f.page().CloseTab(1));
    EXPECT_FALSE(loopRan);
    EXPECT_TRUE(f.page().isFreshTab(tabs->currentWidget()));
    QCoreApplication::processEvents();

    // A tab that holds a page is emptied.
    f.page().GUIFileOpenCommon(f.file("o.html", kPage));
    ASSERT_FALSE(f.page().isFreshTab(tabs->currentWidget()));
    EXPECT_TRUE(f.page().CloseTab(1));
    EXPECT_TRUE(f.page().isFreshTab(tabs->currentWidget()));
    EXPECT_EQ(EditorSourceSjis(f.st().GActiveEditor).find("<p>one</p>"), std::string::npos);
}

TEST(WebGuiPage, SubTabsFillOncePerPage)
{
    Form f;
    f.page().GUIFileOpenCommon(f.file("s.html", kPage));
    QTabWidget *top = f.gui().PageControlWebGUITop;
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
    const std::string src = f.gui().MemoHTMLSrc->text();
    EXPECT_NE(src.find("</html>"), std::string::npos);
    // Raw content keeps its tabs and blank lines; outside it blank lines collapse.
    // (The editor's source may drop the line break right after "<pre>": HTML ignores it.)
    EXPECT_NE(src.find("\ta\r\n\r\n\r\n\tb\r\n</pre>"), std::string::npos) << src;
    EXPECT_EQ(src.find("</p>\r\n\r\n"), std::string::npos);
    EXPECT_EQ(f.gui().PanelPageControlMainBodyDHTMLTop->height(), 600);

    f.gui().MemoHTMLSrc->setText("x");
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
    EXPECT_EQ(f.gui().MemoHTMLSrc->text(), "x");

    top->setCurrentWidget(f.gui().PageControlWebGUITopTab04Body);
    const std::string body = f.gui().MemoBody->text();
    EXPECT_NE(body.find("<p>two</p>"), std::string::npos);
    EXPECT_EQ(body.find("note"), std::string::npos);
    EXPECT_EQ(body.find("p{}"), std::string::npos);

    // Another page fills them again.
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab01Main);
    f.page().GUIFileOpenCommon(f.file("s2.html", "<html><body><p>other</p></body></html>"));
    top->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
    EXPECT_NE(f.gui().MemoHTMLSrc->text().find("other"), std::string::npos);
}

TEST(WebGuiPage, IndentationRunAndItsSave)
{
    Form f;
    const std::string p = f.file("page.html", kPage);
    f.page().GUIFileOpenCommon(p);

    // Before the hidden editor holds the page: the notice only.
    f.page().btnGUITDCheckClick();
    TWhoisForm *notice = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<TWhoisForm *>(w)) notice = t;
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->LabelServerDesc->text(),
              QStringLiteral("準備中、しばらくしてから再度”ｸﾘｯｸ ”してください"));
    EXPECT_EQ(f.gui().ListBoxGUISaveFinal->count(), 0);

    ASSERT_TRUE(waitUntil([&] { return f.st().GIndentSourceReady; }, 15000));
    f.page().btnGUITDCheckClick();
    ASSERT_GT(f.gui().ListBoxGUISaveFinal->count(), 0);
    EXPECT_GT(f.gui().ListBoxGUITDResultLine->count(), 0);
    EXPECT_GT(f.gui().ListBoxGUITDSrcLine->count(), 0);
    EXPECT_NE(f.gui().RichEditPageControlGUIRightEntireSrcAfter->text().find("<p>two</p>"), std::string::npos);
    // The toolbar's copy takes the result to the clipboard.
    QGuiApplication::clipboard()->clear();
    f.gui().ToolButtonGUICOPY->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("<p>two</p>")));

    // Saved under the page's own name, with or without its extension: "WW_" + name.
    for (const std::string &chosen : {p, f.path("page")}) {
        f.saveAs = chosen;
        f.page().sbGUITDCheckSaveClick();
        EXPECT_TRUE(exists(f.path("WW_page.html")));
        EXPECT_EQ(readFile(p), kPage);
        EXPECT_EQ(f.st().GGUISaveFile, f.path("WW_page.html"));
        QFile::remove(QString::fromStdString(f.path("WW_page.html")));
    }
    EXPECT_FALSE(exists(f.path("page")));
    // A cancelled dialog changes nothing.
    f.saveAs.clear();
    const std::string file = f.st().GGUIFile;
    f.page().sbGUITDCheckSaveClick();
    EXPECT_EQ(f.st().GGUIFile, file);
    EXPECT_FALSE(exists(f.path("WW_page.html")));

    // Another page: the run uses it.
    f.page().GUIFileOpenCommon(f.file("next.html", "<html><body><p>fresh</p></body></html>"));
    EXPECT_FALSE(f.st().GIndentSourceReady);
    ASSERT_TRUE(waitUntil([&] { return f.st().GIndentSourceReady; }, 15000));
    f.page().btnGUITDCheckClick();
    EXPECT_NE(f.gui().RichEditPageControlGUIRightEntireSrcAfter->text().find("fresh"), std::string::npos);
    EXPECT_EQ(f.gui().RichEditPageControlGUIRightEntireSrcAfter->text().find("<p>two</p>"), std::string::npos);
}

TEST(WebGuiPage, PageSavesKeepBackupsAndReportFailures)
{
    Form f;
    // Without a page nothing is saved.
    f.saveAs = f.path("nothing.html");
    f.page().ToolButtonSaveClick();
    EXPECT_FALSE(exists(f.path("nothing.html")));
    const std::string p = f.file("index.html", kPage);
    f.page().GUIFileOpenCommon(p);
    f.page().editorSource = [] { return std::string("<html><head><title>n</title></head><body><p>new</p></body></html>"); };

    f.page().ToolButtonSaveClick();
    EXPECT_TRUE(f.messages.isEmpty()) << f.messages.join(u'|').toStdString();
    EXPECT_EQ(readFile(f.path("YY_index.html")), kPage);
    EXPECT_NE(readFile(p).find("<p>new</p>"), std::string::npos);
    EXPECT_EQ(f.gui().StatusBar->panelText(2), QStringLiteral("Saved!!"));

    // The backup cannot be made (its name is taken by a folder): nothing is written.
    const std::string q = f.file("q.html", kPage);
    QDir(f.files.path()).mkdir(QStringLiteral("YY_q.html"));
    f.page().GUIFileOpenCommon(q);
    f.gui().StatusBar->setPanelText(2, QString());
    f.page().ToolButtonSaveClick();
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].startsWith(QStringLiteral("保存できませんでした【 ")));
    EXPECT_EQ(readFile(q), kPage);
    EXPECT_NE(f.gui().StatusBar->panelText(2), QStringLiteral("Saved!!"));

    // Save-as of a ".txt" name writes ".html".
    f.saveAs = f.path("copy.txt");
    f.page().ToolButtonSaveWithNameClick();
    EXPECT_TRUE(exists(f.path("copy.html")));
    EXPECT_FALSE(exists(f.path("copy.txt")));
    EXPECT_EQ(f.st().GGUIFile, f.path("copy.html"));
}

namespace {
std::string be32(unsigned v)
{
    return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
}
// Selects the element Id whole (Collapse: a caret at the start of its text instead).
void selectElement(TProfDHTMLEdit2 *ed, const char *Id, bool Collapse = false)
{
    ed->evalDoc(QStringLiteral("var n=document.getElementById('%1'),r=document.createRange();"
                               "if(%2){r.setStart(n.firstChild||n,0);r.collapse(true);}else r.selectNode(n);"
                               "getSelection().removeAllRanges();getSelection().addRange(r);return 1;")
                    .arg(QLatin1String(Id), Collapse ? QStringLiteral("true") : QStringLiteral("false")));
}
}  // namespace

TEST(WebGuiPage, EditorClickShowsTheSelectionTheTableAndTheBodyOnce)
{
    Form f;
    // A 3 x 2 PNG beside the page.
    f.file("pic.png", std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(3) + be32(2) +
                          std::string("\x08\x02\0\0\0", 5) + std::string(4, '\0'));
    const std::string page =
        "<html><head><title>c</title></head><body><p id=\"p\">text</p><table id=\"t\"><tr><td>1</td></tr>"
        "<tr><td>1</td><td>2</td><td>3</td><td>4</td></tr><tr><td id=\"c\">x</td></tr></table>"
        "<img id=\"im\" src=\"pic.png\"></body></html>";
    f.page().GUIFileOpenCommon(f.file("click.html", page));
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_TRUE(WaitEditorReady(ed));
    WebGuiControls &g = f.gui();
    // Through the editors' own handler, as the control's click report calls it.
    auto click = [&] { f.form->webGuiEditorTabs->EditorClick(ed); };

    g.RichEditPageControlGUIRightAltEntireSrc->clear();
    selectElement(ed, "t");
    click();
    EXPECT_EQ(g.StatusBar->panelText(3), QStringLiteral(" 表［ 3 行 , 4 列 ］"));
    EXPECT_NE(g.RichEditPageControlGUIRightSelectedSrc->text().find("<table"), std::string::npos);
    EXPECT_EQ(g.RichEditRichEditPageControlGUIRightSelectedHtml->text(), g.RichEditPageControlGUIRightSelectedSrc->text());
    EXPECT_EQ(g.PageControlGUIRight->currentWidget(), g.PageControlGUIRightTab03OrgHTMLSrc);
    EXPECT_NE(g.RichEditPageControlGUIRightAltEntireSrc->text().find("text</p>"), std::string::npos);

    // The caret in a cell shows no table; the body is not written again.
    g.RichEditPageControlGUIRightAltEntireSrc->clear();
    selectElement(ed, "c", true);
    click();
    EXPECT_EQ(g.StatusBar->panelText(3), QString());
    EXPECT_TRUE(g.RichEditPageControlGUIRightAltEntireSrc->text().empty());

    // A local image: its pixel size.
    selectElement(ed, "im");
    click();
    EXPECT_EQ(g.StatusBar->panelText(2), QStringLiteral("  H= 2  W= 3"));

    // A switch of the raw-source tabs shows the editor's body beside them.
    g.PageControlGUIRightTab03OrgHTMLSrcRight->setCurrentWidget(g.PageControlGUIRightTab03OrgHTMLSrcRightTab01Org);
    g.PageControlGUIRightTab03OrgHTMLSrcRight->setCurrentWidget(g.PageControlGUIRightTab03OrgHTMLSrcRightTab02Alt);
    EXPECT_NE(g.RichEditPageControlGUIRightBody->text().find("text</p>"), std::string::npos);

    // After another open the first click writes the body again.
    f.page().GUIFileOpenCommon(f.file("click2.html", "<html><body><p id=\"q\">second</p></body></html>"));
    ed = f.st().GActiveEditor;
    ASSERT_TRUE(WaitEditorReady(ed));
    g.RichEditPageControlGUIRightAltEntireSrc->clear();
    selectElement(ed, "q");
    f.form->webGuiEditorTabs->EditorClick(ed);
    EXPECT_NE(g.RichEditPageControlGUIRightAltEntireSrc->text().find("second"), std::string::npos);
}

TEST(WebGuiPage, ToolbarTogglesRestoreTheEditor)
{
    Form f;
    f.page().GUIFileOpenCommon(f.file("tb.html", "<html><body><table border=\"0\"><tr><td>a</td></tr></table></body></html>"));
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_TRUE(WaitEditorReady(ed));
    struct Toggle {
        QToolButton *button;
        std::function<bool()> state;
    };
    for (const Toggle &t : {Toggle{f.gui().ToolButtonBorderVisible, [ed] { return ed->ShowBorders(); }},
                            Toggle{f.gui().ToolButtonShowDetail, [ed] { return ed->ShowDetails(); }}}) {
        SCOPED_TRACE(t.button->objectName().toStdString());
        const bool before = t.state();
        t.button->click();
        EXPECT_NE(t.state(), before);
        EXPECT_EQ(t.button->isChecked(), t.state());
        t.button->click();
        EXPECT_EQ(t.state(), before);
        EXPECT_EQ(t.button->isChecked(), before);
    }
    // "HTMLのｲﾝﾃﾞﾝﾄ整形" goes to " 閲覧  " and runs the re-indentation (here: its notice).
    f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab04Body);
    f.gui().ToolButtonTemp->click();
    EXPECT_EQ(f.gui().PageControlWebGUITop->currentWidget(), f.gui().PageControlWebGUITopTab01Main);
}

TEST(WebGuiPage, WholeSourceReplaceAndFolderCheck)
{
    Form f;
    WebGuiControls &g = f.gui();
    TRichEdit *src = g.RichEditPageControlGUIRightEntireSrc;
    // Replace-all ignores case and trims blanks and full-width blanks; an empty Find changes nothing.
    src->setText("<img src=\"C:/Work/a.gif\"><a href=\"c:/work/b.html\">");
    g.EditGUISearchWord->setText(QStringLiteral("　 c:/work　"));
    g.EditGUIReplaceWord->setText(QStringLiteral(" /site "));
    g.btnEditRemoveFolderRemoveAll->click();
    EXPECT_EQ(src->text(), "<img src=\"/site/a.gif\"><a href=\"/site/b.html\">");
    g.EditGUISearchWord->setText(QStringLiteral("　 "));
    g.btnEditRemoveFolderRemoveAll->click();
    EXPECT_EQ(src->text(), "<img src=\"/site/a.gif\"><a href=\"/site/b.html\">");

    // The check lists drive folders and this machine's own paths, not a site's root-relative link.
    src->setText("<img src=\"c:/x/a.gif\"><link href=\"C:/y/b.css\"><img src=\"/home/u/c.png\">"
                 "<a href=\"file:///tmp/d.html\"><img src=\"/img/e.gif\">");
    g.btnGUILoclaFolderCheck->click();
    QStringList items;
    for (int i = 0; i < g.ListBoxRichEditPageControlGUIRightEntireLocalFolder->count(); ++i)
        items << g.ListBoxRichEditPageControlGUIRightEntireLocalFolder->item(i)->text();
    EXPECT_EQ(items, (QStringList{QStringLiteral("c:/x/a.gif"), QStringLiteral("C:/y/b.css"),
                                  QStringLiteral("/home/u/c.png"), QStringLiteral("file:///tmp/d.html")}));
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("ﾛｰｶﾙ・ﾌｧｲﾙのﾌｫﾙﾀﾞｰ")));
    EXPECT_EQ(g.PageControlGUIRightTab02AllHTMLSrcRight->currentWidget(), g.PageControllGUIRightTab02AllHTMLSrcTab05LocalFolder);
    // A listed folder goes into both search boxes.
    QListWidget *list = g.ListBoxRichEditPageControlGUIRightEntireLocalFolder;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(g.EditGUISearchWord->text(), QStringLiteral("C:/y/b.css"));
    EXPECT_EQ(g.EditSearcGUISrcKeyWord->text(), QStringLiteral("C:/y/b.css"));

    // Nothing local: no message, the right tab stays.
    g.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(g.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
    src->setText("<img src=\"/img/e.gif\">");
    g.btnGUILoclaFolderCheck->click();
    EXPECT_EQ(f.messages.size(), 1);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(g.PageControlGUIRightTab02AllHTMLSrcRight->currentWidget(), g.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
}

TEST(WebGuiPage, RowPasteButtonsAndStyleSheets)
{
    Form f;
    WebGuiControls &g = f.gui();
    // Text that is no web address is ignored by the URL row's paste.
    g.ComboBoxGUIEditorURL->setEditText(QStringLiteral("before"));
    QGuiApplication::clipboard()->setText(QStringLiteral("  ftp://x/y.html "));
    g.btnGUIEditorURLPaste->click();
    EXPECT_EQ(g.ComboBoxGUIEditorURL->currentText(), QStringLiteral("before"));
    EXPECT_TRUE(f.messages.isEmpty());
    // The local-file row and the replace boxes take the clipboard as it is.
    QGuiApplication::clipboard()->setText(QStringLiteral(" /tmp/a b.html"));
    g.btnGUIEditorLocalFile->click();
    EXPECT_EQ(f.form->dl.BtnEditDownloadLocalFile->text(), QStringLiteral(" /tmp/a b.html"));
    g.btnEditRemoveFolderPaste->click();
    g.btnGUIReplaceWordPaste->click();
    EXPECT_EQ(g.EditGUISearchWord->text(), QStringLiteral(" /tmp/a b.html"));
    EXPECT_EQ(g.EditGUIReplaceWord->text(), QStringLiteral(" /tmp/a b.html"));

    // The style sheets of a local page, one leading "/" removed.
    f.file("a.css", "p{color:red}");
    QDir(f.files.path()).mkdir(QStringLiteral("css"));
    f.file("css/b.css", "p{color:blue}");
    f.page().GUIFileOpenCommon(f.file("sheets.html", "<html><head><link rel=\"stylesheet\" href=\"a.css\">"
                                                     "<link rel=\"stylesheet\" href=\"css/b.css\"></head><body>x</body></html>"));
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    TListBox list;
    EXPECT_EQ(f.page().GetCSS(&list), 2);
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("a.css"));
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("css/b.css"));

    // The browser button shows the local page; save-as shows the saved file.
    f.form->dl.BtnEditDownloadLocalFile->setText(fromSjis(f.path("sheets.html")));
    g.ToolButton2->click();
    ASSERT_EQ(f.launched.size(), 1u);
    EXPECT_EQ(f.launched[0], f.path("sheets.html"));
    f.saveAs = f.path("out.html");
    f.page().ToolButtonSaveWithNameClick();
    ASSERT_EQ(f.launched.size(), 2u);
    EXPECT_EQ(f.launched[1], f.path("out.html"));
    EXPECT_EQ(g.PageControlGUIRightTab02AllHTMLSrcRight->currentWidget(), g.PageControllGUIRightTab02AllHTMLSrcTab03Result);
}

TEST(WebGuiPage, MarkedSaveNamesItsSourceOncePerHead)
{
    Form f;
    const std::string p = f.file("marked.html", "<html><head><title>m</title></head><body><p>mark</p></body></html>");
    f.page().GUIFileOpenCommon(p);
    ASSERT_TRUE(WaitEditorReady(f.st().GActiveEditor));
    f.saveAs = f.path("marked-out.txt");
    f.gui().btnGUISaveLocalHTMLSrcWihtIndent->click();
    const std::string out = readFile(f.path("marked-out.html"));
    ASSERT_FALSE(out.empty());
    const std::string mark = "<!-- made from \"marked.html\"";
    EXPECT_NE(out.find(mark), std::string::npos) << out;
    EXPECT_EQ(out.find(mark), out.rfind(mark)) << out;
    EXPECT_EQ(out.find("saved from"), std::string::npos);
    EXPECT_NE(out.find("<p>mark</p>"), std::string::npos);
    EXPECT_EQ(f.st().GIndentSavedFile, f.path("marked-out.html"));
    ASSERT_FALSE(f.launched.empty());
    EXPECT_EQ(f.launched.back(), f.path("marked-out.html"));
    // The page itself is untouched.
    EXPECT_EQ(readFile(p), "<html><head><title>m</title></head><body><p>mark</p></body></html>");
}

TEST(WebGuiPage, SourcePaneButtons)
{
    Form f;
    WebGuiControls &g = f.gui();
    TRichEdit *src = g.RichEditPageControlGUIRightEntireSrc;
    src->setText("<p>a</p>");
    const auto wrap = src->lineWrapMode();
    g.btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrap->click();
    EXPECT_NE(src->lineWrapMode(), wrap);
    g.btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrap->click();
    EXPECT_EQ(src->lineWrapMode(), wrap);
    EXPECT_EQ(src->text(), "<p>a</p>");

    // The generated result becomes the source only when both are there.
    g.btnMakeGUIBuld2HTMLSrc->click();
    EXPECT_EQ(src->text(), "<p>a</p>");
    g.RichEditPageControlGUIRightEntireSrcAfter->setText("<p>\r\n    b\r\n</p>");
    g.btnMakeGUIBuld2HTMLSrc->click();
    EXPECT_EQ(src->text(), "<p>\r\n    b\r\n</p>");

    g.MemoHTMLSrc->setText(toSjis(QStringLiteral("<p>日本</p>")));
    g.btnPageControlWebGUITopTab02COPY2Clipboard->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("<p>日本</p>"));
}
