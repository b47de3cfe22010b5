// Keys in the editing control with a real engine, offscreen: the host's verdict comes first,
// then the line-break and clean-up rules in the page.
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/EditorWindow.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Editor : EditorWindow {
    // Focus in the view and the caret at the end (or start) of the element with Id.
    QWidget *caretIn(const char *Id, bool AtEnd = true)
    {
        js(QStringLiteral("var n=document.getElementById('%1')||document.body;var r=document.createRange();r.selectNodeContents(n);"
                          "r.collapse(%2);var s=getSelection();s.removeAllRanges();s.addRange(r);return '';")
               .arg(QLatin1String(Id), AtEnd ? QStringLiteral("false") : QStringLiteral("true")));
        ed->setFocus();
        QWidget *t = ed->focusTarget();
        EXPECT_TRUE(waitUntil([&] { return t->hasFocus() || (t->setFocus(), false); }, 30000));
        // Right after a load a loaded machine's engine was seen dropping every key for a while:
        // a Shift press, which edits nothing, is repeated until the document has seen one.
        js(QStringLiteral("if(!window.__testKeys){window.__testKeys={n:0};"
                          "document.addEventListener('keydown',function(){window.__testKeys.n++;},true);}return '';"));
        const auto seen = [&] { return js(QStringLiteral("return String(window.__testKeys.n);")).toInt(); };
        const int before = seen();
        EXPECT_TRUE(waitUntil([&] { return seen() > before || (QTest::keyClick(t, Qt::Key_Shift), false); }, 30000));
        return t;
    }
    QString body() { return js(QStringLiteral("return document.body.innerHTML;")); }
};

class KeysTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new TestHttpServer;
        server->server().Get("/keys.html", [](const httplib::Request &, httplib::Response &r) {
            r.set_content("<html><head><title>k</title></head><body><p id=\"t\">first</p><div id=\"d\">block</div>"
                          "<ul><li id=\"li\">one</li></ul><h1 id=\"h\">Head</h1><p id=\"last\">end</p></body></html>",
                          "text/html");
        });
        server->start();
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    static QString url(const char *path) { return QString::fromStdString(server->url(path)); }
    static TestHttpServer *server;
};
TestHttpServer *KeysTest::server = nullptr;

TEST_F(KeysTest, HostVerdictComesBeforeTheEngine)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    int downs = 0;
    e.ed->OnKeyDown = [&](QObject *, int &k, Qt::KeyboardModifiers) {
        ++downs;
        if (k == 'Q') k = 0;       // swallowed
        if (k == 13) k = 'A';      // replaced
        if (k == 'Z') throw 1;     // a failing handler does not stop the key
    };
    int pressed = 0;
    e.ed->OnKeyPress = [&](QObject *, int &k, Qt::KeyboardModifiers) {
        pressed = k;
        if (k == 'w') k = 'W';
    };
    QWidget *t = e.caretIn("t");
    downs = 0; // the placement's Shift presses are not the keys under test
    QTest::keyClick(t, Qt::Key_Q, Qt::NoModifier);
    QTest::keyClick(t, Qt::Key_Return);
    QTest::keyClick(t, Qt::Key_W, Qt::NoModifier);
    QTest::keyClick(t, Qt::Key_Z, Qt::NoModifier);
    QKeyEvent kana(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("あ"));
    QApplication::sendEvent(t, &kana);
    QKeyEvent kanaUp(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("あ"));
    QApplication::sendEvent(t, &kanaUp);
    EXPECT_TRUE(waitUntil([&] { return e.js(QStringLiteral("return document.getElementById('t').textContent;")) == QStringLiteral("firstAWzあ"); }, 30000))
        << e.body().toStdString();
    EXPECT_EQ(pressed, 0x3042);  // the whole character, not a byte of it
    EXPECT_GE(downs, 4);
    // Input-method text goes to the engine and into the source intact.
    QInputMethodEvent im;
    im.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(t, &im);
    EXPECT_TRUE(waitUntil([&] { return e.ed->GetSource().contains(QStringLiteral("firstAWzあ日本語")); }, 30000));
}

TEST_F(KeysTest, EnterMakesLineBreaksAndListsLeaveNoParagraphs)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    QWidget *t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_Return);
    QTest::keyClicks(t, QStringLiteral("x"));
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("<p id=\"t\">first<br>x")); }, 30000)) << e.body().toStdString();
    EXPECT_EQ(e.js(QStringLiteral("return String(document.getElementsByTagName('p').length);")), QStringLiteral("2"));

    // In a list: a new item; on the empty last item: out of the list, no paragraph left, and
    // the page's other blocks untouched.
    t = e.caretIn("li");
    QTest::keyClick(t, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return e.js(QStringLiteral("return String(document.getElementsByTagName('li').length);")) == QStringLiteral("2"); }, 30000));
    auto items = [&] { return e.js(QStringLiteral("return String(document.getElementsByTagName('li').length);")); };
    QTest::keyClick(t, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return items() == QStringLiteral("1"); }, 30000));
    EXPECT_TRUE(e.body().contains(QLatin1String("</ul><br><h1"))) << e.body().toStdString();
    // Leaving the list is one undo step: one Ctrl+Z gives the empty item back, nothing else.
    QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return items() == QStringLiteral("2"); }, 30000)) << e.body().toStdString();
    EXPECT_TRUE(e.body().contains(QLatin1String("</li></ul><h1"))) << e.body().toStdString();
    QTest::keyClick(t, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return items() == QStringLiteral("1"); }, 30000));
    QTest::keyClicks(t, QStringLiteral("after"));
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("after")); }, 30000));
    const QString b = e.body();
    EXPECT_TRUE(b.contains(QLatin1String("</ul>after"))) << b.toStdString();
    EXPECT_TRUE(b.contains(QLatin1String("<p id=\"t\">"))) << b.toStdString();
    EXPECT_TRUE(b.contains(QLatin1String("<div id=\"d\">block</div>"))) << b.toStdString();
    EXPECT_TRUE(b.contains(QLatin1String("<p id=\"last\">end</p>"))) << b.toStdString();

    // In a heading: cancelled, a blank after the heading.
    t = e.caretIn("h");
    QTest::keyClick(t, Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("<h1 id=\"h\">Head</h1> ")); }, 30000)) << e.body().toStdString();
    EXPECT_EQ(e.js(QStringLiteral("return String(document.getElementsByTagName('h1').length);")), QStringLiteral("1"));
}

TEST_F(KeysTest, DeletingTheWholeDocumentLeavesACleanBody)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    QWidget *t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.ed->IsWholeDocumentSelected(); }, 30000));
    QTest::keyClick(t, Qt::Key_Delete);
    ASSERT_TRUE(waitUntil([&] { return !e.body().contains(QLatin1String("first")); }, 30000));
    ASSERT_TRUE(waitUntil([&] { const QString b = e.body(); return !b.contains(QLatin1String("<p")) && !b.contains(QLatin1String("<div")); }, 30000))
        << e.body().toStdString();
    // The key and its clean-up are one undo step.
    QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("<p id=\"t\">first</p><div id=\"d\">block</div>")); }, 30000))
        << e.body().toStdString();
    QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.ed->IsWholeDocumentSelected(); }, 30000));
    QTest::keyClick(t, Qt::Key_Delete);
    ASSERT_TRUE(waitUntil([&] { const QString b = e.body(); return !b.contains(QLatin1String("<p")) && !b.contains(QLatin1String("<div")); }, 30000))
        << e.body().toStdString();
    QTest::keyClicks(t, QStringLiteral("new"));
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("new")); }, 30000));
    EXPECT_FALSE(e.body().contains(QLatin1String("<p"))) << e.body().toStdString();
    // Typing over a whole document of paragraphs.
    e.ed->SetSource(QStringLiteral("<html><head></head><body><p>one</p><p>two</p></body></html>"));
    t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.ed->IsWholeDocumentSelected(); }, 30000));
    QTest::keyClicks(t, QStringLiteral("q"));
    ASSERT_TRUE(waitUntil([&] { return !e.body().contains(QLatin1String("two")); }, 30000));
    EXPECT_EQ(e.body(), QStringLiteral("q"));
    QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return e.body() == QLatin1String("<p>one</p><p>two</p>"); }, 30000)) << e.body().toStdString();
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return e.ed->IsWholeDocumentSelected(); }, 30000));
    QTest::keyClick(t, Qt::Key_Backspace);
    ASSERT_TRUE(waitUntil([&] { return e.body().isEmpty() || e.body() == QLatin1String("<br>"); }, 30000)) << e.body().toStdString();
    QTest::keyClicks(t, QStringLiteral("new"));
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("new")); }, 30000));
    // Undo steps back soundly: the text comes back, the source can still be written.
    for (int i = 0; i < 6; ++i) QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("<p id=\"t\">first</p><div id=\"d\">block</div>")); }, 30000))
        << e.body().toStdString();
    EXPECT_TRUE(e.ed->GetSource().contains(QLatin1String("<body")));
}

TEST_F(KeysTest, TabsFollowWantTabs)
{
    Editor e;
    auto *next = new QLineEdit(&e.window);
    next->move(0, 0);
    next->show();
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    // Without WantTabs the focus moves on and the document keeps no tab.
    QWidget *t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_Tab);
    EXPECT_TRUE(waitUntil([&] { return next->hasFocus(); }, 30000));
    e.ed->WantTabs = true;
    t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_Tab);
    EXPECT_TRUE(waitUntil([&] { return e.js(QStringLiteral("return document.getElementById('t').textContent;")) == QStringLiteral("first\t"); }, 30000))
        << e.body().toStdString();
}

// The DIV rule alone (no BR rule): Enter in a paragraph still makes a new block, and the block
// the key made is written as a DIV; the page's other blocks and all text stay.
TEST_F(KeysTest, DivRuleMakesTheNewBlockADiv)
{
    Editor e;
    e.ed->UseBrOnCarriageReturn = false;
    e.ed->UseDivOnCarriageReturn = true;
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    QWidget *t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_Return);
    QTest::keyClicks(t, QStringLiteral("x"));
    ASSERT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("x")); }, 30000)) << e.body().toStdString();
    EXPECT_TRUE(waitUntil([&] { return e.js(QStringLiteral("return String(document.getElementsByTagName('p').length);")) == QStringLiteral("2"); }, 30000))
        << e.body().toStdString();
    const QString b = e.body();
    // The engine gives the new block the split one's attributes; the tag is what the rule sets.
    EXPECT_TRUE(b.startsWith(QLatin1String("<p id=\"t\">first</p><div"))) << b.toStdString();
    EXPECT_TRUE(b.contains(QLatin1String(">x</div><div id=\"d\">block</div><ul>"))) << b.toStdString();
    EXPECT_TRUE(b.contains(QLatin1String("<p id=\"last\">end</p>"))) << b.toStdString();
    EXPECT_FALSE(b.contains(QLatin1String("<p></p>"))) << b.toStdString();
    // Enter with Shift is left to the engine: a line break in the block, no new block.
    t = e.caretIn("last");
    QTest::keyClick(t, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(t, QStringLiteral("y"));
    EXPECT_TRUE(waitUntil([&] { return e.body().contains(QLatin1String("<p id=\"last\">end<br>y</p>")); }, 30000)) << e.body().toStdString();
}

} // namespace

// A paste into the document reports itself to the host, and the text arrives.
TEST_F(KeysTest, PasteFiresOnPaste)
{
    Editor e;
    ASSERT_TRUE(e.ed->LoadURL(url("/keys.html")));
    int pastes = 0;
    e.ed->OnPaste = [&](QObject *) { ++pastes; };
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QWidget *t = e.caretIn("t");
    QTest::keyClick(t, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return pastes == 1; }, 30000));
    EXPECT_TRUE(waitUntil([&] { return e.body().contains(QStringLiteral("firstpasted")); }, 30000)) << e.body().toStdString();
}
