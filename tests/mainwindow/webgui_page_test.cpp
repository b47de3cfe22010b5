// The WebGUI page on a real (offscreen) window: local pages opened into editor tabs and source
// panes, the analysis sub-tabs, the indentation run with its save, and the saves of the page,
// with files in a temporary folder.
#include "mainwindow/AppState.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "nettools/TWhoisForm.h"
#include "platform/QtSjis.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiPage.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
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

    Form()
    {
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
