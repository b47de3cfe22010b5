// The source viewer, the message window and the edit with a button, on offscreen widgets.
#include "mainwindow/Settings.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "platform/IniFile.h"
#include "platform/QtSjis.h"
#include "platform/TRichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(BtnEdit, ClickOnlyWhenReleasedOnTheButton)
{
    TBtnEdit edit;
    edit.resize(200, 24);
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    EXPECT_EQ(edit.btnCaption(), QStringLiteral("..."));
    EXPECT_EQ(edit.buttonWidth(), 19);
    EXPECT_GE(edit.textMargins().right(), 19) << "text never runs under the button";
    QSignalSpy clicks(&edit, &TBtnEdit::buttonClicked);
    QToolButton *b = edit.button();
    const QPoint in = b->rect().center();
    const QPoint out(-60, in.y());

    QTest::mousePress(b, Qt::LeftButton, {}, in);
    QTest::mouseMove(b, out);
    QTest::mouseRelease(b, Qt::LeftButton, {}, out);
    EXPECT_EQ(clicks.count(), 0);

    QTest::mousePress(b, Qt::LeftButton, {}, in);
    QTest::mouseMove(b, out);
    QTest::mouseMove(b, in);
    QTest::mouseRelease(b, Qt::LeftButton, {}, in);
    EXPECT_EQ(clicks.count(), 1);

    // A click in the text part is the edit's own.
    QTest::mouseClick(&edit, Qt::LeftButton, {}, QPoint(10, 12));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(FormSource, PlaceWordWrapBlackAndCopy)
{
    QTemporaryDir dir;
    TAMainForm main(dir.filePath(QStringLiteral("vornkym")));
    const std::string ini = main.state().GSettingsFile;
    TFormSource src;

    // Before the main window is shown the word-wrap box changes nothing.
    src.CheckBox1->click();
    EXPECT_EQ(src.RichEditSource->lineWrapMode(), QPlainTextEdit::NoWrap);

    // No settings file yet: the position is kept in a new one, not dropped.
    src.setGeometry(70, 80, 400, 300);
    src.sbAppearanceThisPositionClick();
    ASSERT_TRUE(TIniFile(ini).exists());
    {
        FormPlace first;
        ASSERT_TRUE(ReadFormSourcePlace(ini, first));
        EXPECT_EQ(first.left, 70);
        EXPECT_EQ(first.top, 80);
        EXPECT_EQ(first.width, 400);
        EXPECT_EQ(first.height, 300);
    }
    // ... together with the options as they stand, so the next start keeps them.
    EXPECT_EQ(TIniFile(ini).ReadString("NetSearch", "Batch", ""), "1");

    TIniFile(ini).update([](IniDocument &d) {
        d.setValue("FormSource", "Top", "40");
        d.setValue("FormSource", "Left", "30");
        d.setValue("FormSource", "Width", "0");
        d.setValue("FormSource", "Height", "300");
    });
    const int width = src.width();
    src.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&src));
    EXPECT_EQ(src.geometry().top(), 40);
    EXPECT_EQ(src.geometry().left(), 30);
    EXPECT_EQ(src.width(), width);
    EXPECT_EQ(src.height(), 300);

    src.setGeometry(50, 60, 420, 310);
    src.sbAppearanceThisPositionClick();
    FormPlace p;
    ASSERT_TRUE(ReadFormSourcePlace(ini, p));
    EXPECT_EQ(p.top, 60);
    EXPECT_EQ(p.left, 50);
    EXPECT_EQ(p.width, 420);
    EXPECT_EQ(p.height, 310);

    main.state().GFormShown = true;
    src.CheckBox1->setChecked(false);
    src.CheckBox1->click();
    EXPECT_NE(src.RichEditSource->lineWrapMode(), QPlainTextEdit::NoWrap);

    src.RichEditSource->setText("<html><body>abc</body></html>");
    src.btnMakeColorClick();
    src.RichEditSource->setSelStart(10);
    src.btnTextBlackClick();
    EXPECT_EQ(src.RichEditSource->selStart(), 0);
    EXPECT_EQ(src.RichEditSource->selLength(), 0);
    EXPECT_EQ(src.RichEditSource->colorAt(2), QColor(Qt::black));
    EXPECT_FALSE(src.RichEditSource->boldAt(2));

    src.sbCopyAllClick();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("<html><body>abc</body></html>"));
    src.sbClearClick();
    EXPECT_TRUE(src.RichEditSource->text().empty());
    src.SpeedButton1->click();
    EXPECT_FALSE(src.isVisible());

    TShowMessageForm msg;
    msg.MemoShowMessage->setPlainText(QStringLiteral("メモ"));
    msg.btnCOPY2Clipboard->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("メモ"));
}
