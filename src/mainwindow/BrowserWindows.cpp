#include "mainwindow/BrowserWindows.h"
#include "platform/TWebbrowser.h"
#include <QApplication>
#include <QWidget>

namespace {
const QString kSystemBrowserTitle = QStringLiteral("Microsoft Internet Explorer");
const QString kIE6Mark = QStringLiteral("議会");

bool isBrowserWindow(QWidget *w) { return w->isWindow() && qobject_cast<TWebbrowser *>(w) != nullptr; }

void postClose(QWidget *w) { QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection); }

int posted = 0;
} // namespace

bool CloseIEWindowsProc(QWidget *Wnd)
{
    if (!Wnd || !Wnd->isWindow()) return true;
    if (Wnd->windowTitle().contains(kSystemBrowserTitle) || isBrowserWindow(Wnd)) {
        postClose(Wnd);
        ++posted;
    }
    return true;
}

bool CloseIE6WindowsProc(QWidget *Wnd)
{
    if (!Wnd || !Wnd->isWindow()) return true;
    const QString title = Wnd->windowTitle();
    if (title.contains(kIE6Mark) && (title.contains(kSystemBrowserTitle) || isBrowserWindow(Wnd))) {
        postClose(Wnd);
        ++posted;
    }
    return true;
}

int CloseIEWindows(const QString &Version)
{
    bool (*proc)(QWidget *) = nullptr;
    if (Version.startsWith(QLatin1Char('6')))
        proc = CloseIE6WindowsProc;
    else if (Version.startsWith(QLatin1Char('7')) || Version.startsWith(QLatin1Char('8')))
        proc = CloseIEWindowsProc;
    if (!proc) return 0;
    posted = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !proc(w)) break;
    return posted;
}
