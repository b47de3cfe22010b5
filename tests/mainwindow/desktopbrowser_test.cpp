// Pages handed to the desktop's browser: a launch that fails is reported, never taken for
// success.
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/ResultSourcePage.h"
#include "mainwindow/TAMainForm.h"
#include "text/WebFetch.h"
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

TEST(DesktopBrowser, AFailedLaunchIsReportedByEveryCaller)
{
    QTemporaryDir dir;
    TAMainForm f(dir.filePath(QStringLiteral("vornkym")));
    const QString url = QStringLiteral("http://127.0.0.1:9/page.html");
    const struct {
        const char *caller;
        std::function<void()> click;
    } callers[] = {
        {"result history's IE button", [&] {
             f.net.EditCurrentLinkURL->setEditText(url);
             f.resultSourcePage->sbBgoogleSearchIEOpenClick();
         }},
        {"batch viewer's tab menu", [&] {
             auto *pc = f.batch.PageCotrolMainTopTab07BatchPageView;
             pc->setTabToolTip(pc->currentIndex(), url);
             f.batchViewPage->PopupOpenInBrowserClick();
         }},
    };
    for (bool launches : {true, false}) {
        std::vector<std::string> opened;
        const BrowserLauncher previous = SetBrowserLauncher([&](const std::vector<std::string> &argv) {
            opened.push_back(argv.back());
            return launches;
        });
        for (const auto &c : callers) {
            QStringList messages;
            setMessageBoxHook([&](const QString &t) { messages << t; });
            opened.clear();
            c.click();
            EXPECT_EQ(opened, std::vector<std::string>{url.toStdString()}) << c.caller;
            EXPECT_EQ(messages.size(), launches ? 0 : 1) << c.caller;
            if (!launches && !messages.isEmpty()) EXPECT_TRUE(messages[0].contains(url)) << c.caller;
        }
        SetBrowserLauncher(previous);
    }
    setMessageBoxHook({});
}
