// Closing browser windows: only this program's browser windows, chosen by the browser
// version, and never the main window.
#include "mainwindow/BrowserWindows.h"
#include "platform/TWebbrowser.h"
#include "support/WaitUntil.h"
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

TEST(BrowserWindows, VersionChoosesWhichOfTheProgramsOwnWindowsClose)
{
    const struct {
        const char *version;
        bool plainBrowser, markedBrowser, titledWindow, markedTitledWindow;
    } rows[] = {
        {"8.0", true, true, true, true},    {"7.0", true, true, true, true},
        {"6.0", false, true, false, true},  {"9.0", false, false, false, false},
        {"10.0", false, false, false, false}, {"", false, false, false, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.version);
        QWidget main;  // the main window and other windows of the program stay
        main.setWindowTitle(QStringLiteral("VORN-KYM"));
        auto plain = std::make_unique<TWebbrowser>();
        auto marked = std::make_unique<TWebbrowser>();
        marked->setWindowTitle(QStringLiteral("県議会の記録"));
        QWidget titled, markedTitled;
        titled.setWindowTitle(QStringLiteral("page - Microsoft Internet Explorer"));
        markedTitled.setWindowTitle(QStringLiteral("市議会 - Microsoft Internet Explorer"));
        QWidget holder;  // a pane inside a window is no browser window
        auto *pane = new TWebbrowser(&holder);
        for (QWidget *w : {&main, static_cast<QWidget *>(plain.get()), static_cast<QWidget *>(marked.get()), &titled,
                           &markedTitled, &holder})
            w->show();

        const int expected = int(r.plainBrowser) + int(r.markedBrowser) + int(r.titledWindow) + int(r.markedTitledWindow);
        EXPECT_EQ(CloseIEWindows(QString::fromLatin1(r.version)), expected);
        // The close is queued: the windows go once events run.
        const auto closed = [](QWidget *w, bool want) { return waitUntil([&] { return w->isVisible() != want; }, 5000); };
        EXPECT_TRUE(closed(plain.get(), r.plainBrowser));
        EXPECT_TRUE(closed(marked.get(), r.markedBrowser));
        EXPECT_TRUE(closed(&titled, r.titledWindow));
        EXPECT_TRUE(closed(&markedTitled, r.markedTitledWindow));
        EXPECT_TRUE(main.isVisible());
        EXPECT_TRUE(holder.isVisible());
        EXPECT_TRUE(pane->isVisible());
    }
}
