// The WebGUI editors' paste keys: the clipboard goes in as plain text, markup and all.
#include "htmledit/TProfDHTMLEdit2.h"
#include "support/WaitUntil.h"
#include "webgui/WebGuiEditorTabs.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

TEST(WebGuiEditorKeys, PasteKeysInsertPlainText)
{
    QWidget window;
    window.resize(800, 600);
    QTabWidget left(&window);
    left.resize(800, 600);
    QWidget download, current;
    TProfDHTMLEdit2 *active = nullptr, *temp = nullptr, *cur = nullptr;
    WebGuiEditorTabs tabs({&left, &download, &current, &active, &temp, &cur});
    TProfDHTMLEdit2 *ed = tabs.CreateCanvas();
    window.show();
    ASSERT_TRUE(waitUntil([ed] { return ed->DocumentReady(); }, 20000));
    ed->SetSource(QStringLiteral("<html><head></head><body><p id=\"t\">x</p></body></html>"));
    auto body = [&] { return ed->evalDoc(QStringLiteral("return document.body.innerHTML;")).toString(); };
    ed->evalDoc(QStringLiteral("var r=document.createRange();r.selectNodeContents(document.getElementById('t'));r.collapse(false);"
                               "getSelection().removeAllRanges();getSelection().addRange(r);return 1;"));
    ed->setFocus();
    QWidget *t = ed->focusTarget();
    ASSERT_TRUE(waitUntil([&] { return t->hasFocus() || (t->setFocus(), false); }, 30000));

    // The clipboard holds rich markup; only its text arrives, a line end as a line break.
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b style=\"color:red\">bold</b>"));
    mime->setText(QStringLiteral("<b>a</b>&\r\nline"));
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(t, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return body().contains(QLatin1String("line")); }, 30000)) << body().toStdString();
    EXPECT_EQ(body().toStdString(), "<p id=\"t\">x&lt;b&gt;a&lt;/b&gt;&amp;<br>line</p>");

    QGuiApplication::clipboard()->setText(QStringLiteral("ins"));
    QTest::keyClick(t, Qt::Key_Insert, Qt::ShiftModifier);
    ASSERT_TRUE(waitUntil([&] { return body().contains(QLatin1String("lineins")); }, 30000)) << body().toStdString();

    // Ctrl+Shift+V is not the plain paste: the key reaches the next handler untouched.
    int seen = 0;
    tabs.EditorKeyDownHandler = [&](QObject *, int &k, Qt::KeyboardModifiers) { seen += k == 'V'; };
    int key = 'V';
    tabs.EditorKeyDown(ed, key, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(key, 'V');
    EXPECT_EQ(seen, 1);
    key = 45;
    tabs.EditorKeyDown(ed, key, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(key, 45);
    // An empty clipboard replaces the selection with nothing.
    QGuiApplication::clipboard()->clear();
    ed->evalDoc(QStringLiteral("var r=document.createRange();r.selectNodeContents(document.getElementById('t'));"
                               "getSelection().removeAllRanges();getSelection().addRange(r);return 1;"));
    key = 'V';
    tabs.EditorKeyDown(ed, key, Qt::ControlModifier);
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(waitUntil([&] { return !body().contains(QLatin1String("line")); }, 30000)) << body().toStdString();
}
