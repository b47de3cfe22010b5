#include "platform/TWebbrowser.h"
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <memory>
#include <QFileInfo>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
bool g_terminating = false;
const QString kAboutBlank = QStringLiteral("about:blank");

QWebEngineProfile *sharedProfile()
{
    static QWebEngineProfile *profile = [] {
        auto *p = QWebEngineProfile::defaultProfile();
        // Document links go to the desktop's browser; the engine neither shows PDFs itself
        // nor saves files behind the user's back.
        p->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        p->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        QObject::connect(p, &QWebEngineProfile::downloadRequested,
                         [](QWebEngineDownloadRequest *d) { d->cancel(); });
        return p;
    }();
    return profile;
}

// A closed page's memory is freed partly in later turns of the event loop, and the C library
// keeps what is freed for its own reuse: twenty closed tabs left some 40 MB with the program.
// One trim shortly after a burst of closes gives it back to the system.
void releaseFreedHeapSoon()
{
#ifdef __GLIBC__
    static bool pending = false;
    if (pending || !QCoreApplication::instance()) return;
    pending = true;
    QTimer::singleShot(500, QCoreApplication::instance(), [] {
        pending = false;
        malloc_trim(0);
    });
#endif
}

QUrl toUrl(const QString &text)
{
    if (text.startsWith(QLatin1Char('/'))) return QUrl::fromLocalFile(text);
    return QUrl::fromUserInput(text);
}
} // namespace

TWebPage::TWebPage(QWebEngineProfile *profile, TWebbrowser *owner) : QWebEnginePage(profile, owner), owner_(owner) {}

bool TWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (!isMainFrame) return true;
    if (type == NavigationTypeLinkClicked && owner_->refuseLinkClicks_) return false;
    owner_->lastNavType_ = type;
    bool cancel = false;
    emit owner_->BeforeNavigate2(url.toString(), &cancel);
    if (cancel) return false;
    owner_->pending_.clear();
    owner_->busy_ = true;
    return true;
}

void TWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &msg, int, const QString &)
{
    emit owner_->ConsoleMessage(msg);
}

void TWebPage::javaScriptAlert(const QUrl &u, const QString &msg)
{
    if (!silent) QWebEnginePage::javaScriptAlert(u, msg);
}

bool TWebPage::javaScriptConfirm(const QUrl &u, const QString &msg)
{
    return silent ? false : QWebEnginePage::javaScriptConfirm(u, msg);
}

bool TWebPage::javaScriptPrompt(const QUrl &u, const QString &msg, const QString &def, QString *result)
{
    return silent ? false : QWebEnginePage::javaScriptPrompt(u, msg, def, result);
}

TWebbrowser::TWebbrowser(QWidget *parent) : QWidget(parent)
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
}

TWebbrowser::~TWebbrowser()
{
    if (view_) releaseFreedHeapSoon();
}

void TWebbrowser::setTerminating(bool t) { g_terminating = t; }
bool TWebbrowser::terminating() { return g_terminating; }

void TWebbrowser::ensureView()
{
    if (view_) return;
    view_ = new QWebEngineView(this);
    page_ = new TWebPage(sharedProfile(), this);
    page_->silent = silent_;
    view_->setPage(page_);
    layout()->addWidget(view_);
    connect(page_, &QWebEnginePage::loadStarted, this, &TWebbrowser::onLoadStarted);
    connect(page_, &QWebEnginePage::loadFinished, this, &TWebbrowser::onLoadFinished);
    connect(page_, &QWebEnginePage::linkHovered, this, &TWebbrowser::StatusTextChange);
    connect(page_, &QWebEnginePage::titleChanged, this, &TWebbrowser::TitleChange);
    connect(page_, &QWebEnginePage::newWindowRequested, this, &TWebbrowser::onNewWindow);
    // A page may not close the pane: it goes blank and stays.
    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] { Navigate(kAboutBlank); });
}

TWebPage *TWebbrowser::page()
{
    ensureView();
    return page_;
}

void TWebbrowser::setSilent(bool s)
{
    silent_ = s;
    if (page_) page_->silent = s;
}

void TWebbrowser::Navigate(const QString &url)
{
    pending_.clear();
    if (!view_ && (url.isEmpty() || url == kAboutBlank)) return;  // already blank, nothing to load
    ensureView();
    ++generation_;
    busy_ = true;
    page_->load(url.isEmpty() ? QUrl(kAboutBlank) : toUrl(url));
}

void TWebbrowser::setPendingUrl(const QString &url)
{
    // A load still running would give a document that is no longer the pane's page.
    if (busy_) Stop();
    pending_ = url;
}

QString TWebbrowser::LocationURL() const
{
    if (!pending_.isEmpty()) return pending_;
    if (!page_) return kAboutBlank;
    const QUrl u = page_->url();
    return u.isEmpty() ? kAboutBlank : u.toString();
}

QString TWebbrowser::LocationName() const
{
    return page_ ? page_->title() : QString();
}

void TWebbrowser::Stop()
{
    if (!page_) return;
    page_->triggerAction(QWebEnginePage::Stop);
    // A navigation stopped before it committed reports no finished load; a stopped pane is idle.
    busy_ = false;
}

bool TWebbrowser::canGoBack() const { return page_ && page_->history()->canGoBack(); }
bool TWebbrowser::canGoForward() const { return page_ && page_->history()->canGoForward(); }

bool TWebbrowser::GoBack()
{
    if (!canGoBack()) return false;
    page_->triggerAction(QWebEnginePage::Back);
    return true;
}

bool TWebbrowser::GoForward()
{
    if (!canGoForward()) return false;
    page_->triggerAction(QWebEnginePage::Forward);
    return true;
}

void TWebbrowser::onLoadStarted()
{
    ++generation_;
    busy_ = true;
    emit NavigateComplete2(LocationURL());
}

void TWebbrowser::onLoadFinished(bool ok)
{
    busy_ = false;
    lastLoadOk_ = ok;
    const QString url = LocationURL();
    emit DownloadComplete();
    emit DocumentComplete(url);
}

void TWebbrowser::onNewWindow(QWebEngineNewWindowRequest &request)
{
    TWebbrowser *target = nullptr;
    bool cancel = false;
    const QUrl url = request.requestedUrl();
    emit NewWindow2(url.toString(), &target, &cancel);
    if (cancel) return;
    // A pane without a rule of its own shows the page itself: a request is never dropped
    // unseen, and no window opens outside the program.
    if (!target) {
        if (url.isEmpty() || url.toString() == kAboutBlank) return;
        target = this;
    }
    target->ensureView();
    ++target->generation_;
    target->busy_ = true;
    if (target == this) page_->load(url);
    else request.openIn(target->page());
}

QVariant TWebbrowser::evalSync(const QString &script, int timeoutMs, quint32 worldId)
{
    if (!view_ || g_terminating || !pending_.isEmpty()) return {};
    struct Reply {
        QVariant value;
        bool done = false;
        QEventLoop *loop = nullptr;
    };
    // Shared, because an answer that comes after the time-out must find live memory.
    auto reply = std::make_shared<Reply>();
    const quint64 gen = generation_;
    QPointer<TWebbrowser> self(this);
    page_->runJavaScript(script, worldId, [reply, self, gen](const QVariant &v) {
        if (self && self->generation_ == gen) reply->value = v;
        reply->done = true;
        if (reply->loop) reply->loop->quit();
    });
    if (!reply->done) {
        QEventLoop loop;
        reply->loop = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        reply->loop = nullptr;
    }
    return reply->done ? reply->value : QVariant();
}
