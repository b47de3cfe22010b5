// The whole road a user walks on "Webﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ" beside wget on the same site: the real main
// window (offscreen) with the URL typed in the download page and "ﾌｫﾙﾀﾞｰ設定後、実行する" ticked; the
// folder button's picker answers a fresh folder, and the clock runs from that answer (the
// dialog's accept) until the window reports the run's end with the page on disk. Times of
// several runs (their median); the server's log says what each client obtained.
//
// Usage (bench/download.sh runs it): downloadroad_bench --wget=PATH [--site=FOLDER --page=PATH] [--runs=N]
#include "DownloadSite.h"
#include "download/pages/DownloadAllPage.h"
#include "download/pages/DownloadCssPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/QtSjis.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>

using namespace downloadbench;

namespace {

using Clock = std::chrono::steady_clock;

// One run on the window: seconds from the folder's choice to the page on disk, or -1.
double runThroughTheWindow(TAMainForm &f, const std::string &url, const std::string &dir)
{
    auto &dl = f.dl;
    dl.ComboBoxUrl->setEditText(QString::fromStdString(url));
    SetMainBaseDir(f, url);
    dl.CheckBoxGoImmediate->setChecked(true);
    Clock::time_point chosen{}, ended{};
    bool finished = false, written = false;
    int result = 0;
    f.downloadCssPage->pickFolder = [&](const std::string &) {
        chosen = Clock::now();
        return toSjis(QString::fromStdString(dir));
    };
    QEventLoop loop;
    const auto c = QObject::connect(f.downloadAllPage, &DownloadAllPage::downloadFinished, &loop, [&](int r) {
        ended = Clock::now();
        finished = true;
        result = r;
        const std::string page = f.downloadCssPage->engine().GlobalFile;
        written = r == 0 && !page.empty() && QFile::exists(fromSjis(page));
        loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    dl.btnHTMLPageSaveFolder->click();
    if (!finished) loop.exec();
    QObject::disconnect(c);
    if (!finished || !written) {
        // What the window said of the failed run.
        const DownloadEngine &e = f.downloadCssPage->engine();
        std::printf("  a run did not end with the page written (%s, result %d, page %s): %s %s\n",
                    finished ? "ended" : "no end within 120 s", result, fromSjis(e.GlobalFile).toUtf8().constData(),
                    f.dl.LabelDownloadedFile->text().toUtf8().constData(), fromSjis(e.InfoLabel).toUtf8().constData());
        return -1;
    }
    return std::chrono::duration<double>(ended - chosen).count();
}

} // namespace

int main(int argc, char **argv)
{
    const std::string wget = arg(argc, argv, "wget");
    if (wget.empty()) {
        std::puts("downloadroad_bench: run through bench/download.sh, which finds wget");
        return 0;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking --renderer-process-limit=2", 1);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int runs = runsFromArgs(argc, argv);
    const std::unique_ptr<Site> site = siteFromArgs(argc, argv);
    const std::string url = site->pageUrl();

    QTemporaryDir settings;
    TAMainForm f(settings.filePath(QStringLiteral("vornkym")));
    std::vector<QString> messages;
    setMessageBoxHook([&](const QString &t) { messages.push_back(t); });
    SetBrowserLauncher([](const std::vector<std::string> &) { return true; });
    f.downloadAllPage->dialogs.ask = [](QWidget *, const QString &, bool) { return int(QMessageBox::Yes); };
    f.downloadAllPage->dialogs.saveHtml = [](QWidget *, const std::string &, const std::string &) { return std::string(); };
    f.resize(1600, 1000);
    f.show();
    f.frame.PageControlMainTop->setCurrentWidget(f.frame.PageControlMainTopTab01Main);
    QCoreApplication::processEvents();
    // The window's own start (its panes' engine coming up) finishes first, as it has for a user
    // who has typed a URL: otherwise the first run would carry a second of start-up work.
    {
        QEventLoop settle;
        QTimer::singleShot(3000, &settle, &QEventLoop::quit);
        settle.exec();
    }

    const Outcome theirs = measureWget(*site, runs, wget);
    const Outcome ours = measure(*site, runs, [&](const std::string &dir) { return runThroughTheWindow(f, url, dir); });
    std::printf("the whole road through the window (folder chosen to page written):\n");
    report(url, runs, theirs, ours);
    for (const QString &m : messages) std::printf("  message shown: %s\n", m.toUtf8().constData());
    setMessageBoxHook(nullptr);
    return 0;
}
