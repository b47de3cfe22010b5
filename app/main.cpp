// Program entry: the application title, the five windows in their order, the event loop.
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "nettools/TWhoisForm.h"
#include "platform/QtJapanese.h"
#include <QApplication>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    // Chromium costs memory per renderer: share a few among all panes.
    std::string flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") ? std::getenv("QTWEBENGINE_CHROMIUM_FLAGS") : "";
    if (flags.find("--renderer-process-limit") == std::string::npos) flags += " --renderer-process-limit=2";
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VORN-KYM"));
    InstallQtJapanese(app);
    InstallDialogFolderMemory(app);

    TAMainForm AMainForm(QCoreApplication::applicationFilePath());
    // The one source viewer: the form's own window, found by every road that shows it.
    new TFormSource(&AMainForm);
    TFormWaitForBrowser FormWaitForBrowser;
    TShowMessageForm ShowMessageForm;
    TWhoisForm WhoisForm;
    AMainForm.show();
    const int rc = app.exec();
    TWebbrowser::setTerminating(true);
    return rc;
}
