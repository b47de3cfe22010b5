// The WebGUI page's keyword searches and the saves of its source pane, on a real (offscreen)
// window: words split and coloured, the hit list and its jump, each kind of pane row, the
// re-run on a new text, and the saves with their backup, in a temporary folder.
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "state/AppState.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiToolPages.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
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

void writeFile(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

const QColor kRed(255, 0, 0), kFuchsia(255, 0, 255), kTeal(0, 128, 128), kBlack(0, 0, 0);

struct Form {
    QTemporaryDir dir, files;
    std::unique_ptr<TAMainForm> form;
    QStringList messages, questions;
    bool answer = true;
    std::string saveAs;

    Form()
    {
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        search().dialogs.save = [this](QWidget *, const std::string &, const QString &) { return saveAs; };
        search().dialogs.askYesNo = [this](QWidget *, const QString &t) {
            questions << t;
            return answer;
        };
        form->frame.PageControlMainTop->setCurrentWidget(form->frame.PageControlMainTopTab06WebGUI);
    }
    ~Form()
    {
        form->close();
        setMessageBoxHook({});
    }
    WebGuiSearchPage &search() { return *form->webGuiTools->search; }
    WebGuiControls &gui() { return form->gui; }
    AppState &st() { return form->state(); }
    std::string path(const std::string &name) const { return toSjis(files.filePath(QString::fromStdString(name))); }
    std::string file(const std::string &name, const std::string &text)
    {
        const std::string p = path(name);
        writeFile(p, text);
        return p;
    }
};

// Character index of the n-th occurrence of Word in the pane.
int at(TRichEdit *pane, const QString &word, int n = 0)
{
    const QString t = pane->toPlainText();
    int i = -1;
    for (int k = 0; k <= n; ++k) i = t.indexOf(word, i + 1);
    return i;
}

QStringList items(QListWidget *l)
{
    QStringList s;
    for (int i = 0; i < l->count(); ++i) s << l->item(i)->text();
    return s;
}

}  // namespace

TEST(WebGuiSearch, WordsSplitAndColoured)
{
    Form f;
    TRichEdit *pane = f.gui().MemoHTMLSrc;
    struct Case {
        const char *keys;
        int entries;
        std::vector<std::pair<const char *, QColor>> colours;
    };
    const std::vector<Case> cases = {
        {"div  span", 2, {{"div", kRed}, {"span", kFuchsia}}},
        {"div, span", 3, {{"div", kRed}, {"span", kTeal}}},
        {"　div　", 1, {{"div", kRed}, {"span", kBlack}}},
        {"\"a b\"", 1, {{"a,b", kRed}, {"div", kBlack}}},
        {"w1 w2 w3 w4 w5 w6 w7 w8 w9", 9,
         {{"w1", kRed}, {"w7", QColor(0, 255, 0)}, {"w8", kBlack}, {"w9", kBlack}}},
    };
    for (const Case &c : cases) {
        pane->setText("<div><span>a,b</span></div>\r\nw1 w2 w3 w4 w5 w6 w7 w8 w9\r\n");
        f.gui().SearchKeyWord->setText(QString::fromUtf8(c.keys));
        f.search().btnHTMLSearchBatchFindClick();
        EXPECT_EQ(f.st().list(SharedList::GSearchWords).count(), c.entries) << c.keys;
        for (const auto &[word, colour] : c.colours) {
            const int i = at(pane, QString::fromUtf8(word));
            ASSERT_GE(i, 0);
            EXPECT_EQ(pane->colorAt(i), colour) << c.keys << " / " << word;
            EXPECT_EQ(pane->boldAt(i), colour != kBlack) << c.keys << " / " << word;
        }
    }
}

TEST(WebGuiSearch, HitListJumpsToTheLine)
{
    Form f;
    f.gui().PageControlWebGUITop->setCurrentWidget(f.gui().PageControlWebGUITopTab02HTMLSrc);
    TRichEdit *pane = f.gui().MemoHTMLSrc;
    std::string text;
    for (int i = 1; i <= 80; ++i)
        text += i == 3 ? "ab needle\r\n" : i == 40 ? "xyz   needle\r\n" : "line " + std::to_string(i) + "\r\n";
    pane->setText(text);
    f.gui().SearchKeyWord->setText(QStringLiteral("needle"));
    f.search().btnHTMLSearchBatchFindClick();
    QListWidget *list = f.gui().ListBoxHTMLSrc;
    ASSERT_EQ(items(list), (QStringList{QStringLiteral("   3/04"), QStringLiteral("  40/07")}));

    QApplication::setActiveWindow(f.form.get());
    list->item(1)->setSelected(true);
    f.search().ListBoxClick(WebGuiSearchPage::RowHTMLSrc);
    EXPECT_EQ(pane->selStart(), pane->lineIndex(39) + 6);
    EXPECT_EQ(pane->firstVisibleLine(), 39);
    EXPECT_TRUE(waitUntil([&] { return list->hasFocus(); }, 2000));
    EXPECT_EQ(f.gui().StatusBar->panelText(2), QStringLiteral(" 行[  40 ]    列[ 7 ]"));
    EXPECT_EQ(f.gui().LabelHTMLSrcLineColumn->text(), QStringLiteral("  40/07"));

    // An item without "/" only names itself.
    list->clearSelection();
    list->addItem(QStringLiteral("no hit"));
    list->item(2)->setSelected(true);
    f.gui().StatusBar->setPanelText(2, QString());
    f.search().ListBoxClick(WebGuiSearchPage::RowHTMLSrc);
    EXPECT_EQ(f.gui().LabelHTMLSrcLineColumn->text(), QStringLiteral("no hit"));
    EXPECT_TRUE(f.gui().StatusBar->panelText(2).isEmpty());
    EXPECT_EQ(pane->firstVisibleLine(), 39);
}

TEST(WebGuiSearch, RunsStartCleanAndNeverNest)
{
    Form f;
    TRichEdit *pane = f.gui().MemoHTMLSrc;
    pane->setText("alpha beta\r\nbeta alpha\r\n");
    f.gui().SearchKeyWord->setText(QStringLiteral("alpha"));
    f.search().btnHTMLSearchBatchFindClick();
    ASSERT_EQ(f.gui().ListBoxHTMLSrc->count(), 2);
    // A text beginning with a comma: its first word is empty, and the old hits still go.
    f.gui().SearchKeyWord->setText(QStringLiteral(",beta"));
    f.search().btnHTMLSearchBatchFindClick();
    EXPECT_EQ(items(f.gui().ListBoxHTMLSrc), (QStringList{QStringLiteral("   1/07"), QStringLiteral("   2/01")}));
    EXPECT_EQ(pane->colorAt(at(pane, QStringLiteral("beta"))), kFuchsia);

    // A search asked for while one runs (events run during the colouring) does not start.
    std::string big;
    for (int i = 0; i < 3000; ++i) big += "alpha beta gamma\r\n";
    pane->setText(big);
    f.gui().SearchKeyWord->setText(QStringLiteral("alpha beta"));
    bool firedDuringRun = false, startedInside = false;
    QTimer::singleShot(0, f.form.get(), [&] {
        firedDuringRun = f.search().searchRunning();
        f.gui().SearchKeyWord->setText(QStringLiteral("gamma"));
        f.search().btnHTMLSearchBatchFindClick();
        startedInside = f.st().list(SharedList::GSearchWords).count() == 1;
    });
    f.search().btnHTMLSearchBatchFindClick();
    EXPECT_TRUE(firedDuringRun);
    EXPECT_FALSE(startedInside);
    EXPECT_EQ(f.gui().ListBoxHTMLSrc->count(), 6000);
    EXPECT_FALSE(f.search().searchRunning());
}

TEST(WebGuiSearch, EachKindOfRow)
{
    Form f;
    auto &g = f.gui();
    // " Body ": the pane keeps its colours until the first word makes it black.
    g.MemoBody->setText("<p class=\"k\">key</p>\r\n");
    ColorHTMLRichEdit(g.MemoBody);
    g.EditBodySearch->setText(QStringLiteral("key"));
    g.btnBodySearch->click();
    EXPECT_EQ(g.ListBoxBodySrc->count(), 1);
    EXPECT_EQ(g.MemoBody->colorAt(at(g.MemoBody, QStringLiteral(">key"), 0) + 1), kRed);
    EXPECT_EQ(g.MemoBody->colorAt(0), kBlack);

    // " CSS ": the pane of the inner tab shown; the aggregated pane is shown uncoloured first.
    g.MemoGUICSS->setText("p{color:red}\r\n");
    g.MemoGUICSS->setSelStart(0);
    g.MemoGUICSS->setSelLength(1);
    g.MemoGUICSS->setSelAttributes(kTeal, true);
    g.MemoGUICSSIndiv->setText("a{color:red}\r\nb{color:red}\r\n");
    g.PageControlWebGUITopTab05CSSRight->setCurrentWidget(g.PageControlWebGUITopTab05CSSRightTab02Indiv);
    g.EditGUICSS->setText(QStringLiteral("color"));
    emit g.EditGUICSS->returnPressed();
    EXPECT_EQ(g.ListBoxWebGUILeftTab05CSSTab03Search->count(), 2);
    EXPECT_EQ(g.MemoGUICSSIndiv->colorAt(2), kRed);
    EXPECT_EQ(g.MemoGUICSS->colorAt(0), kBlack);

    // " JAVA ": the same by its own tabs, and its hit list jumps in that pane.
    g.MemoGUIJJavaIndivInner->setText("var x;\r\n\r\nx = 1;\r\n");
    g.PageControlGUIJAVA->setCurrentWidget(g.PageControlGUIJAVATab03JavaInner);
    g.EditGUIJAVA->setText(QStringLiteral("x"));
    g.BtnGUIbatchJavaSearch->click();
    ASSERT_EQ(items(g.ListBoxJAVASearch), (QStringList{QStringLiteral("   1/05"), QStringLiteral("   3/01")}));
    g.ListBoxJAVASearch->item(1)->setSelected(true);
    f.search().ListBoxJAVASearchClick();
    EXPECT_EQ(g.MemoGUIJJavaIndivInner->selStart(), g.MemoGUIJJavaIndivInner->lineIndex(2));
    EXPECT_EQ(g.LabelGUIJAVALineColumn->text(), QStringLiteral("   3/01"));

    // The other rows, by their table entries: box, button, pane and list.
    struct Row {
        QLineEdit *box;
        QAbstractButton *button;
        TRichEdit *pane;
        QListWidget *list;
    };
    const std::vector<Row> rows = {
        {g.EditSearcGUISrcKeyWord, g.btnEditSearcGUISrcKeyWord, g.RichEditPageControlGUIRightEntireSrc,
         g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab02SearchList},
        {g.EditSearcGUIOrgSrcKeyWord, g.btnEditSearcGUIIOrgSrcKeyWord, g.RichEditPageControlGUIRightAltEntireSrc,
         g.ListBoxPageControllGUIOrgRightTab02AllHTMLSrcTab02SearchList},
        {g.EditPageControllGUIRightTab02AllHTMLSrcTab04Afterrc, g.btnEditSearcGUIAfterKeyWord,
         g.RichEditPageControlGUIRightEntireSrcAfter, g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab04AfterSrc},
        {g.EditWebGUIBatchSearch, g.btnWebGUIBatchSearchExecute, g.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All,
         g.ListBoxPageControlGUIRightTab01HTMLSrcRightTab01AllSerachList},
        {g.EditPageControllGUIRightTab02AllHTMLSrcTab07CSS, g.btnPageControllGUIRightTab02AllHTMLSrcTab07CSSSearch,
         g.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS, g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSBottom},
        {g.EditPanelPageControllGUIRightTab02AllHTMLSrcTab08JAVA, g.btnPageControllGUIRightTab02AllHTMLSrcTab08JAVASearch,
         g.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA, g.ListBoxPageControllGUIRightTab02AllHTMLSrcTab08JAVATopBottom},
    };
    // The selected object's search leaves the raw source coloured.
    g.RichEditPageControlGUIRightOrgEntireSrc->setText("<b>raw</b>\r\n");
    ColorHTMLRichEdit(g.RichEditPageControlGUIRightOrgEntireSrc);
    const QColor rawTag = g.RichEditPageControlGUIRightOrgEntireSrc->colorAt(1);
    ASSERT_NE(rawTag, kBlack);
    for (const Row &r : rows) {
        r.pane->setText("one two\r\ntwo\r\n");
        r.box->setText(QStringLiteral("two"));
        r.button->click();
        EXPECT_EQ(items(r.list), (QStringList{QStringLiteral("   1/05"), QStringLiteral("   2/01")})) << r.button->objectName().toStdString();
        EXPECT_EQ(r.pane->colorAt(4), kRed) << r.button->objectName().toStdString();
    }
    EXPECT_EQ(g.RichEditPageControlGUIRightOrgEntireSrc->colorAt(1), rawTag);
    EXPECT_EQ(g.PageControlGUIRightTab03OrgHTMLSrcRight->currentWidget(), g.PageControlGUIRightTab03OrgHTMLSrcRightTab02Alt);
    EXPECT_EQ(g.PageControlGUIRightTab02AllHTMLSrcRight->currentWidget(), g.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
}

TEST(WebGuiSearch, NewTextRerunsTheSearch)
{
    Form f;
    TRichEdit *pane = f.gui().MemoHTMLSrc;
    f.gui().SearchKeyWord->setText(QStringLiteral("foo"));
    pane->setText("foo\r\nbar foo\r\n");
    EXPECT_TRUE(waitUntil([&] { return f.gui().ListBoxHTMLSrc->count() == 2; }, 5000));
    EXPECT_EQ(f.gui().StatusBar->panelText(2), QStringLiteral(" [ %1 ]").arg(pane->width()));
    EXPECT_EQ(pane->colorAt(at(pane, QStringLiteral("foo"), 1)), kRed);
    // Colouring is no change of the text: no further run empties or refills the list.
    f.gui().ListBoxHTMLSrc->addItem(QStringLiteral("marker"));
    QTest::qWait(400);
    EXPECT_EQ(f.gui().ListBoxHTMLSrc->count(), 3);

    f.gui().SearchKeyWord->clear();
    pane->setText("foo\r\n");
    EXPECT_EQ(f.gui().ListBoxHTMLSrc->count(), 0);
    QTest::qWait(400);
    EXPECT_EQ(f.gui().ListBoxHTMLSrc->count(), 0);
    EXPECT_EQ(pane->colorAt(0), kBlack);
}

TEST(WebGuiSearch, SaveAsIsKeepsOneBackup)
{
    Form f;
    auto &g = f.gui();
    const std::string top = f.file("top.html", "v0");
    f.form->dl.BtnEditDownloadLocalFile->setText(fromSjis(top));
    g.MemoHTMLSrc->setText("v1");
    g.btnSaveHTMLSr->click();
    EXPECT_EQ(readFile(top), "v1");
    EXPECT_EQ(readFile(f.path("YY_top.html")), "v0");
    EXPECT_EQ(g.StatusBar->panelText(2), QStringLiteral(" Replace!! 【 %1 】").arg(fromSjis(top)));
    // The backup stays the user's own file: never a copy of what the program wrote itself.
    g.MemoHTMLSrc->setText("v2");
    g.btnSaveHTMLSr->click();
    EXPECT_EQ(readFile(top), "v2");
    EXPECT_EQ(readFile(f.path("YY_top.html")), "v0");

    // An empty pane moves and writes nothing.
    g.MemoHTMLSrc->clear();
    g.StatusBar->setPanelText(2, QString());
    g.btnSaveHTMLSr->click();
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].contains(QStringLiteral("ありません")));
    EXPECT_EQ(readFile(top), "v2");
    EXPECT_EQ(readFile(f.path("YY_top.html")), "v0");
    EXPECT_TRUE(g.StatusBar->panelText(2).isEmpty());

    // A backup that cannot be written: the page stays as it was and the user is told.
    const std::string r = f.file("r.html", "old");
    ASSERT_TRUE(QDir().mkpath(fromSjis(f.path("YY_r.html"))));
    f.form->dl.BtnEditDownloadLocalFile->setText(fromSjis(r));
    g.MemoHTMLSrc->setText("new");
    g.btnSaveHTMLSr->click();
    ASSERT_EQ(f.messages.size(), 2);
    EXPECT_TRUE(f.messages[1].contains(QStringLiteral("保存できませんでした")));
    EXPECT_EQ(readFile(r), "old");
    EXPECT_FALSE(g.StatusBar->panelText(2).contains(QStringLiteral("Replace")));

    // No local file: the save asks for a name.
    f.form->dl.BtnEditDownloadLocalFile->clear();
    f.saveAs = f.path("fresh.html");
    g.btnSaveHTMLSr->click();
    EXPECT_EQ(readFile(f.path("fresh.html")), "new");
}

TEST(WebGuiSearch, SaveWithNameKeepsHtmExtensionAndAsks)
{
    Form f;
    auto &g = f.gui();
    g.MemoHTMLSrc->setText("text");
    f.saveAs = f.path("a.htm");
    g.btnSaveHTMLSrWithName->click();
    EXPECT_EQ(readFile(f.path("a.htm")), "text");
    EXPECT_FALSE(QFileInfo::exists(fromSjis(f.path("a.html"))));
    EXPECT_EQ(g.StatusBar->panelText(2), QStringLiteral(" New!! 【 %1 】").arg(fromSjis(f.path("a.htm"))));

    f.saveAs = f.path("plain");
    g.btnSaveHTMLSrWithName->click();
    EXPECT_EQ(readFile(f.path("plain.html")), "text");

    // Another extension becomes ".html"; an existing file of that name is not overwritten unasked.
    const std::string p = f.file("p.html", "keep");
    f.saveAs = f.path("p.txt");
    f.answer = false;
    g.StatusBar->setPanelText(2, QString());
    g.btnSaveHTMLSrWithName->click();
    ASSERT_EQ(f.questions.size(), 1);
    EXPECT_EQ(readFile(p), "keep");
    EXPECT_TRUE(g.StatusBar->panelText(2).isEmpty());
    f.answer = true;
    g.btnSaveHTMLSrWithName->click();
    EXPECT_EQ(readFile(p), "text");

    f.saveAs.clear();
    g.MemoHTMLSrc->setText("other");
    g.btnSaveHTMLSrWithName->click();
    EXPECT_EQ(readFile(p), "text");
}

TEST(WebGuiSearch, IndentResultLineSearchAndCopy)
{
    Form f;
    auto &g = f.gui();
    QStringList lines;
    for (int i = 0; i < 10; ++i) lines << (i == 0 || i == 5 || i == 9 ? QStringLiteral("<p>match %1</p>").arg(i) : QStringLiteral("<i>%1</i>").arg(i));
    g.ListBoxGUISaveFinal->addItems(lines);
    g.EditIndentListSearch->setText(QStringLiteral(" match "));
    QStringList walk;
    for (int k = 0; k < 5; ++k) {
        g.btnAllHTMLSrcTab07IndentSearch->click();
        walk << g.LabelTDResultLine->text();
    }
    EXPECT_EQ(walk, (QStringList{"0", "5", "9", QStringLiteral("見つかりません"), "0"}));
    EXPECT_EQ(g.ListBoxGUISaveFinal->currentRow(), 0);

    // A position left from a longer list: "検索" finds nothing and keeps it, "次を検索" starts over.
    f.st().GIndentSearchIndex = 12;
    g.btnAllHTMLSrcTab07IndentSearch->click();
    EXPECT_EQ(g.LabelTDResultLine->text(), QStringLiteral("見つかりません"));
    EXPECT_EQ(f.st().GIndentSearchIndex, 12);
    g.btnAllHTMLSrcTab07IndentSearchNext->click();
    EXPECT_EQ(g.LabelTDResultLine->text(), QStringLiteral("0"));
    // The labelled-line list keeps a position of its own.
    g.ListBoxGUITDSrcLine->addItems({QStringLiteral("A\tx"), QStringLiteral("B\tmatch")});
    g.btnAllHTMLSrcTab07IndentResultSearchClick->click();
    EXPECT_EQ(g.ListBoxGUITDSrcLine->currentRow(), 1);
    EXPECT_EQ(f.st().GIndentSearchIndex, 0);

    // A click on a result line puts it into the search box.
    g.ListBoxGUISaveFinal->item(5)->setSelected(true);
    f.search().ListBoxGUISaveFinalClick();
    EXPECT_EQ(g.EditIndentListSearch->text(), QStringLiteral("<p>match 5</p>"));

    // Copy as HTML: nothing before a run; the lines as they are when they hold the body tag;
    // else the page's head, the run's body tag and the saved lines.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    g.btnAllHTMLSrcTab07IndentSearchHTMLCOPY->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    g.ListBoxGUITDResultLine->addItem(QStringLiteral("x"));
    f.st().GPageSource = "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>b</body></html>";
    f.form->webGuiPage->GIndentBodyTag = "<body class=\"k\">";
    g.ListBoxGUISaveList->addItems({QStringLiteral("<p>s</p>")});
    g.btnAllHTMLSrcTab07IndentSearchHTMLCOPY->click();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("<head>"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("Shift_JIS"))) << copied.toStdString();
    EXPECT_TRUE(copied.endsWith(QStringLiteral("</head><body class=\"k\">\r\n<p>s</p>\r\n"))) << copied.toStdString();
    g.ListBoxGUISaveFinal->clear();
    g.ListBoxGUISaveFinal->addItems({QStringLiteral("<body>"), QStringLiteral("y")});
    g.btnAllHTMLSrcTab07IndentSearchHTMLCOPY->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("<body>\r\ny\r\n"));
    // The toolbar's copy button makes the same copy.
    QApplication::clipboard()->setText(QStringLiteral("before"));
    g.ToolButtonGUICOPY->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("<body>\r\ny\r\n"));
}

TEST(WebGuiSearch, SelectedObjectButtonsAndAggregatedTabs)
{
    Form f;
    auto &g = f.gui();
    TRichEdit *raw = g.RichEditPageControlGUIRightOrgEntireSrc;
    EXPECT_EQ(raw->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    g.btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrap->click();
    EXPECT_EQ(raw->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(raw->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    g.btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrap->click();
    EXPECT_EQ(raw->lineWrapMode(), QPlainTextEdit::NoWrap);

    TRichEdit *alt = g.RichEditPageControlGUIRightAltEntireSrc;
    alt->setText("<b>x</b>\r\n");
    g.btnMakeGUIOrgRTColor->click();
    EXPECT_NE(alt->colorAt(1), kBlack);
    g.btnMakeGUIOrgRTBlack->click();
    EXPECT_EQ(alt->colorAt(1), kBlack);
    // Colouring codes shown as text: a second later the pane holds the editor's body, coloured;
    // the window is not held meanwhile.
    TProfDHTMLEdit2 *ed = f.st().GActiveEditor;
    ASSERT_NE(ed, nullptr);
    ASSERT_TRUE(waitUntil([&] { return ed->DocumentReady(); }, 20000));
    ed->SetSource(QStringLiteral("<html><body><p>from the editor</p></body></html>"));
    ASSERT_TRUE(waitUntil([&] { return ed->DocumentReady() && ed->GetBodySource().contains(QStringLiteral("from the editor")); }, 20000));
    alt->setText("<p>a{\\b}</p>\r\n");
    QElapsedTimer clock;
    clock.start();
    g.btnMakeGUIOrgRTColor->click();
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_EQ(alt->text(), "<p>a{\\b}</p>\r\n");
    ASSERT_TRUE(waitUntil([&] { return alt->text().find("from the editor") != std::string::npos; }, 5000)) << alt->text();
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_NE(alt->colorAt(1), kBlack);

    f.form->webGuiPage->GAltBodySourceShown = true;
    g.btnMakeGUIROrgRTReload->click();
    EXPECT_FALSE(f.form->webGuiPage->GAltBodySourceShown);

    // Turning to " CSS統合 " or " JAVA統合 " replaces the pane's text by the aggregated one.
    g.MemoGUICSS->setText("p{}\r\n");
    g.MemoGUIJAVA->setText("f();\r\n");
    g.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->setText("typed");
    g.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(g.PageControllGUIRightTab02AllHTMLSrcTab07CSS);
    EXPECT_EQ(g.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->text(), "p{}\r\n");
    g.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(g.PageControllGUIRightTab02AllHTMLSrcTab08JAVA);
    EXPECT_EQ(g.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->text(), "f();\r\n");

    // Folding: the panels shrink to a strip, the splitter can open them again.
    g.PageControlGUIRight->setCurrentWidget(g.PageControlGUIRightTab02AllHTMLSrc);
    f.form->resize(1400, 1000);
    ASSERT_TRUE(waitUntil([&] { return g.SplitterGUIRightAllHTMLSrcTop->height() > 100; }, 2000))
        << g.SplitterGUIRightAllHTMLSrcTop->height() << " " << g.PageControlGUIRight->height() << " " << f.form->height();
    g.sbbtnEditSearcGUISrcKeyWordSquueze->click();
    EXPECT_TRUE(waitUntil([&] { return g.PanelPageControlGUIRightTab02AllHTMLSrcTop->height() == 8; }, 2000))
        << g.PanelPageControlGUIRightTab02AllHTMLSrcTop->height();

    // The anchor list fills the body's keyword box and searches nothing.
    g.ListBoxAnchor->addItem(QStringLiteral("top"));
    g.ListBoxAnchor->item(0)->setSelected(true);
    g.ListBoxBodySrc->addItem(QStringLiteral("old"));
    f.search().ListBoxAnchorClick();
    EXPECT_EQ(g.EditBodySearch->text(), QStringLiteral("top"));
    EXPECT_EQ(g.ListBoxBodySrc->count(), 1);
}
