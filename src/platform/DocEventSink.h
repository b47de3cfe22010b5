// Clicks and double-clicks inside a pane's document, seen by the program before the page
// acts on them. A script placed into every new document of the pane listens in the capture
// phase; while the sink is connected and a handler is assigned, the script cancels the
// event's default action (so a clicked link is not followed) and reports it with the href
// of the link under the pointer. The second click of a double-click is cancelled but not
// reported: a double-click reaches the handlers as one click and one double-click.
#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class TWebbrowser;

struct DocEvent {
    QString type;  // "click" or "dblclick"
    QString href;  // the clicked link's absolute href; empty when the click was not on a link
    // Whether the event named the element clicked; when it did and href is empty, the click
    // was on no link at all.
    bool hasElement = false;
    int clickCount = 0;  // 1 for a single click, 2 for the click that completes a double-click
};

class DocEventSink : public QObject {
    Q_OBJECT
public:
    // The handler's result is what the document is told; the sink has already cancelled the
    // default action by then, because a page must know synchronously.
    using Handler = std::function<bool(const DocEvent &)>;

    explicit DocEventSink(const QString &name, QObject *parent = nullptr);
    ~DocEventSink() override;

    // Attaches to Browser's current and following documents, detaching from any earlier
    // one first. Calling it again leaves exactly one listener in the document.
    void Connect(TWebbrowser *Browser);
    // Detaches; does nothing when not connected.
    void Disconnect();
    bool connected() const { return connected_; }
    TWebbrowser *source() const { return browser_; }

    // Assigning a handler (or none) takes effect in the connected document at once.
    void setOnClick(Handler h);
    void setOnDblClick(Handler h);
    bool hasOnClick() const { return bool(onclick_); }
    bool hasOnDblClick() const { return bool(ondblclick_); }

signals:
    // Every event that reached the program, after its handler ran.
    void eventDelivered(const QString &type, const QString &href);

private:
    void publish();
    void onConsole(const QString &message);
    QString scriptSource(bool click, bool dblclick) const;

    QString name_;
    QString token_;
    QPointer<TWebbrowser> browser_;
    QMetaObject::Connection consoleConn_;
    bool connected_ = false;
    Handler onclick_, ondblclick_;
};
