// The WebGUI page on a real (offscreen) window with its dialogs answered by the test, for the
// tests of its saves; files live in a temporary folder.
#pragma once
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "support/WaitUntil.h"
#include "text/FileUtils.h"
#include "text/HtmlScan.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiSearchPage.h"
#include "webgui/WebGuiToolPages.h"

#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>


namespace savestest {

inline std::string readFile(const std::string &path)
{
    std::ifstream in(ToSystemPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const std::string &path, const std::string &text)
{
    QDir().mkpath(QFileInfo(fromSjis(path)).absolutePath());
    std::ofstream(ToSystemPath(path), std::ios::binary) << text;
}

struct Form {
    QTemporaryDir dir, files;
    std::unique_ptr<TAMainForm> form;
    QStringList messages;
    std::string saveAs;
    BrowserLauncher previousLauncher;

    Form()
    {
        previousLauncher = SetBrowserLauncher([](const std::vector<std::string> &) { return true; });
        setMessageBoxHook([this](const QString &t) { messages << t; });
        form = std::make_unique<TAMainForm>(dir.filePath(QStringLiteral("vornkym")));
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        page().dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::Yes); };
        page().dialogs.saveHtml = [this](QWidget *, const std::string &) { return saveAs; };
        search().dialogs.save = [this](QWidget *, const std::string &, const QString &) { return saveAs; };
        search().dialogs.askYesNo = [](QWidget *, const QString &) { return true; };
    }
    ~Form()
    {
        form->close();
        setMessageBoxHook({});
        SetBrowserLauncher(previousLauncher);
    }
    WebGuiPage &page() { return *form->webGuiPage; }
    WebGuiSearchPage &search() { return *form->webGuiTools->search; }
    WebGuiControls &gui() { return form->gui; }
    AppState &st() { return form->state(); }
    std::string path(const std::string &name) const { return toSjis(files.filePath(QString::fromStdString(name))); }
    // Opens the file as "ﾌｧｲﾙ名で開く" does.
    void open(const std::string &file)
    {
        form->dl.BtnEditDownloadLocalFile->setText(fromSjis(file));
        page().btnOpenFileDirectClick();
    }
};

inline std::string folderOf(const std::string &p) { return p.substr(0, p.rfind('/') + 1); }


}  // namespace savestest
