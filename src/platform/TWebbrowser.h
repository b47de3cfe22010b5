// The browser of every pane and run-time tab. The engine view is created on the first
// real navigation, so a pane at "about:blank" costs no renderer. Events are the ones the
// window's handlers are written against; a page's window.close() blanks the pane.
#pragma once
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWidget>

class QWebEngineView;
class QWebEngineNewWindowRequest;
class TWebbrowser;

class TWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    TWebPage(QWebEngineProfile *profile, TWebbrowser *owner);
    bool silent = true;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &, const QString &msg, const QString &def, QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &msg, int, const QString &) override;

private:
    TWebbrowser *owner_;
};

class TWebbrowser : public QWidget {
    Q_OBJECT
public:
    enum ReadyStateValue { ReadyUninitialized = 0, ReadyLoading = 1, ReadyInteractive = 3, ReadyComplete = 4 };

    explicit TWebbrowser(QWidget *parent = nullptr);
    ~TWebbrowser() override;

    // URLs and local paths ("/..." becomes a file URL).
    void Navigate(const QString &url);
    // The pane stands for url without fetching it: that is its location, and it holds no
    // document, until its next navigation.
    void setPendingUrl(const QString &url);
    const QString &pendingUrl() const { return pending_; }
    QString LocationURL() const;
    QString LocationName() const;
    // A load requested or started and not yet finished.
    bool Busy() const { return busy_; }
    int ReadyState() const { return busy_ ? ReadyLoading : ReadyComplete; }
    void Stop();
    bool GoBack();
    bool GoForward();
    bool canGoBack() const;
    bool canGoForward() const;
    // Whether the last finished load gave a document (false for a pane never navigated).
    bool hasDocument() const { return view_ != nullptr && lastLoadOk_ && pending_.isEmpty(); }
    bool Silent() const { return silent_; }
    void setSilent(bool s);
    // While set, a link click in the main frame never navigates the pane (a connected
    // document sink routes clicks itself; this catches any the sink's script missed).
    void setRefuseLinkClicks(bool r) { refuseLinkClicks_ = r; }
    bool refuseLinkClicks() const { return refuseLinkClicks_; }
    // Counts loads; a reply for an older document can be recognised and dropped.
    quint64 loadGeneration() const { return generation_; }

    // Runs a script in the current document and waits for its answer, pumping events, at
    // most timeoutMs. Gives an invalid QVariant when there is no document (a pending address
    // included), on time-out, or when the document was replaced meanwhile.
    // worldId is the script world: the program's own readers run in ApplicationWorld, where
    // a page's scripts cannot reach them (and which runs even where page scripts are off).
    QVariant evalSync(const QString &script, int timeoutMs = 5000, quint32 worldId = 0 /* MainWorld */);
    // The kind of the main-frame navigation last asked for (valid inside BeforeNavigate2).
    QWebEnginePage::NavigationType lastNavigationType() const { return lastNavType_; }

    // The engine page; created on demand.
    TWebPage *page();
    QWebEngineView *view() const { return view_; }
    bool hasView() const { return view_ != nullptr; }

    // Set while the application is closing: waits end at once.
    static void setTerminating(bool t);
    static bool terminating();

signals:
    void BeforeNavigate2(const QString &url, bool *cancel);
    void NavigateComplete2(const QString &url);
    void DocumentComplete(const QString &url);
    void DownloadComplete();
    // A page asks for a new window. A handler may set *target to a browser that takes the
    // page, or *cancel to refuse; with neither, this browser shows the page itself.
    void NewWindow2(const QString &url, TWebbrowser **target, bool *cancel);
    void StatusTextChange(const QString &text);
    void TitleChange(const QString &title);
    // A message that a script of the page wrote to the console (the document sink's channel).
    void ConsoleMessage(const QString &message);

private:
    friend class TWebPage;
    void ensureView();
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onNewWindow(QWebEngineNewWindowRequest &request);

    QWebEngineView *view_ = nullptr;
    TWebPage *page_ = nullptr;
    bool busy_ = false;
    bool lastLoadOk_ = false;
    bool silent_ = true;
    bool refuseLinkClicks_ = false;
    quint64 generation_ = 0;
    QWebEnginePage::NavigationType lastNavType_ = QWebEnginePage::NavigationTypeOther;
    QString pending_;
};
