// Closing browser windows before a saved page is opened in the desktop's browser. Only
// top-level windows of this program are looked at (a browser pane standing as a window of
// its own, or a window titled as the system browser's); another program's windows are
// never touched.
#pragma once
#include <QString>

class QWidget;

// Asks Wnd to close (the request is queued, so no caller waits on a window) when it is a
// top-level window titled with "Microsoft Internet Explorer" or a browser pane standing as
// a window. Always true, so an enumeration goes on.
bool CloseIEWindowsProc(QWidget *Wnd);
// The same for a window titled with both "Microsoft Internet Explorer" and "議会", or a
// browser pane standing as a window titled with "議会".
bool CloseIE6WindowsProc(QWidget *Wnd);
// Runs the procedure that the browser version's first character chooses ("6": the second,
// "7" or "8": the first, anything else: none) over the program's top-level windows and gives
// the number of windows asked to close.
int CloseIEWindows(const QString &Version);
