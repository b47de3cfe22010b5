// The main window, shown offscreen, with the download page in front: the folder picker answers
// what the test sets, questions are answered Yes, messages and the desktop browser's opens are
// recorded instead of shown. run() clicks a button and waits for the run's end.
#pragma once
#include "download/pages/DownloadAllPage.h"
#include "download/pages/DownloadCssPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "support/WaitUntil.h"
#include "text/WebFetch.h"
#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

struct DownloadAllWindow {
    QTemporaryDir dir;
    QString save = dir.filePath(QStringLiteral("save"));
    TAMainForm f{dir.filePath(QStringLiteral("vornkym"))};
    std::vector<QString> messages;
    std::vector<std::string> opened; // what the registered browser was asked to open
    BrowserLauncher before;
    int picks = 0;
    QString pickAnswer;
    DownloadAllWindow()
    {
        QDir().mkpath(save);
        setMessageBoxHook([this](const QString &t) { messages.push_back(t); });
        before = SetBrowserLauncher([this](const std::vector<std::string> &argv) {
            opened.push_back(argv.back());
            return true;
        });
        f.downloadCssPage->pickFolder = [this](const std::string &) {
            ++picks;
            return toSjis(pickAnswer);
        };
        f.downloadAllPage->dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::Yes); };
        f.downloadAllPage->dialogs.saveHtml = [](QWidget *, const std::string &, const std::string &) { return std::string(); };
        f.show();
        f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab01Main);
    }
    ~DownloadAllWindow()
    {
        setMessageBoxHook(nullptr);
        SetBrowserLauncher(before);
    }
    void setUrl(const std::string &url)
    {
        f.dl.ComboBoxUrl->setEditText(QString::fromStdString(url));
        SetMainBaseDir(f, url);
    }
    // Clicks and waits for the run's end.
    int run(QAbstractButton *b)
    {
        QSignalSpy done(f.downloadAllPage, &DownloadAllPage::downloadFinished);
        QTest::mouseClick(b, Qt::LeftButton);
        if (!waitUntil([&] { return done.count() > 0 && !f.downloadCssPage->running(); }, 60000)) return -99;
        return done.takeFirst().at(0).toInt();
    }
};

