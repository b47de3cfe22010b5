// The two panes' link routing at run time: hovered links, the document sinks of the left
// and right panes, clicks, new-window requests and the wait for a loading right pane.
#pragma once
#include "mainwindow/LinkRouting.h"
#include "platform/DocEventSink.h"
#include <QObject>
#include <QPointer>

class TAMainForm;
class TargetTabs;
class TWebbrowser;
class TFormWaitForBrowser;

class LinkRouter : public QObject {
    Q_OBJECT
public:
    LinkRouter(TAMainForm &form, TargetTabs &tabs);
    ~LinkRouter() override;

    // A search is about to navigate the left pane: its next document routes clicks.
    void prepareBaseNavigation();

    void BaseBrowserStatusTextChange(const QString &text);
    void TargetBrowserStatusTextChange(const QString &text);
    bool BaseBrowserDocumentClick(const DocEvent &e);
    bool BaseBrowserDocumentDblClick(const DocEvent &e);
    bool TargetBrowserDocumentClick(const DocEvent &e);
    bool TargetBrowserDocumentDblClick(const DocEvent &e);
    // True when the right pane is complete; otherwise shows the wait window until it is.
    bool CheckBrowserReady();
    void TimerWaitforReadyTimer();

    DocEventSink &baseSink() { return FBaseDocSink; }
    DocEventSink &targetSink() { return FTargetDocSink; }
    TFormWaitForBrowser *waitWindow();

private:
    // Waits for the left pane to be idle, then for the right pane to be complete; false
    // when the click is to be dropped.
    bool waitForPanes();
    void routeToRight(const RouteDecision &d);
    void wireTarget(TWebbrowser *wb);
    void takeNewWindow(const QString &url, TWebbrowser **target);
    TAMainForm &f_;
    TargetTabs &tabs_;
    DocEventSink FBaseDocSink{QStringLiteral("FBaseDocSink")};
    DocEventSink FTargetDocSink{QStringLiteral("FTargetDocSink")};
    QPointer<TFormWaitForBrowser> wait_;
};
