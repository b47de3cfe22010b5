#include "htmledit/TProfDHTMLEdit2.h"
#include "htmledit/EditorPageScript.h"
#include "htmledit/HtmlEditUnit.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QChildEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QTimer>
#include <QToolTip>
#include <QUuid>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstdio>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace htmledit;

namespace {
const QString kAboutBlank = QStringLiteral("about:blank");
const quint32 kWorld = QWebEngineScript::ApplicationWorld;

QString jsString(const QString &s)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QString svgUrl(const QString &svg)
{
    return QStringLiteral("url(\"data:image/svg+xml;base64,") + QString::fromLatin1(svg.toUtf8().toBase64()) +
           QStringLiteral("\")");
}

// A 43 x 14 tab-shaped label, pointed right for a start tag and left for an end tag.
QString labelGlyph(const QString &text, bool start)
{
    const QString shape = start ? QStringLiteral("M0.5,0.5 H35 L42.5,7 L35,13.5 H0.5 Z")
                                : QStringLiteral("M8,0.5 H42.5 V13.5 H8 L0.5,7 Z");
    return svgUrl(QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='43' height='14'>"
                                 "<path d='%1' fill='#ffffe0' stroke='#808080'/>"
                                 "<text x='%2' y='10.5' font-family='monospace' font-size='10' fill='black'>%3</text></svg>")
                      .arg(shape)
                      .arg(start ? 3 : 11)
                      .arg(text));
}

// A 20 x 15 square glyph with a picture drawn by Body.
QString squareGlyph(const QString &body)
{
    return svgUrl(QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='20' height='15'>"
                                 "<rect x='0.5' y='0.5' width='19' height='14' fill='#ffffe0' stroke='#808080'/>%1</svg>")
                      .arg(body));
}

QString glyphSheet()
{
    const QString pilcrow = QStringLiteral("<text x='6' y='12' font-family='monospace' font-size='12'>&#182;</text>");
    const QString pbgn = squareGlyph(QStringLiteral("<g transform='translate(20,0) scale(-1,1)'>") + pilcrow + QStringLiteral("</g>"));
    const QString pend = squareGlyph(pilcrow);
    const QString style = squareGlyph(QStringLiteral(
        "<rect x='2' y='2' width='3' height='2' fill='red'/><rect x='2' y='5' width='3' height='2' fill='lime'/>"
        "<rect x='2' y='8' width='3' height='2' fill='blue'/><rect x='2' y='11' width='3' height='2' fill='yellow'/>"
        "<text x='7' y='11' font-family='monospace' font-size='9'>A</text>"
        "<rect x='13' y='4' width='5' height='7' fill='none' stroke='black'/>"));
    const QString script = squareGlyph(QStringLiteral(
        "<path d='M4,3 H15 V12 H4 Z' fill='white' stroke='black'/><path d='M6,6 H13 M6,8 H13 M6,10 H11' stroke='black'/>"));
    QString css;
    auto pair = [&](const char *tag, const QString &a, const QString &b) {
        css += QStringLiteral("%1::before{content:%2;vertical-align:middle}%1::after{content:%3;vertical-align:middle}")
                   .arg(QLatin1String(tag), a, b);
    };
    pair("p", pbgn, pend);
    pair("div", labelGlyph(QStringLiteral("div"), true), labelGlyph(QStringLiteral("/div"), false));
    pair("span", labelGlyph(QStringLiteral("span"), true), labelGlyph(QStringLiteral("/span"), false));
    pair("form", labelGlyph(QStringLiteral("form"), true), labelGlyph(QStringLiteral("/form"), false));
    auto box = [&](const char *tag, const QString &img) {
        css += QStringLiteral("body %1{display:inline-block!important;width:20px;height:15px;overflow:hidden;"
                              "font-size:0;color:transparent;white-space:nowrap;vertical-align:middle;"
                              "background:%2 no-repeat}")
                   .arg(QLatin1String(tag), img);
    };
    box("script", script);
    box("style", style);
    return css;
}

QString zeroBorderSheet()
{
    return QStringLiteral(
        "table:is([border='0'],:not([border])){outline:1px dotted #808080}"
        "table:is([border='0'],:not([border]))>*>tr>:is(td,th){outline:1px dotted #808080}");
}

int keyCodeOf(const QKeyEvent *e)
{
    const int k = e->key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Escape: return 27;
    default: return k;
    }
}
// Editors made while engines are deferred, waiting for startDeferredEngines.
bool g_deferEngines = false;
std::vector<QPointer<TProfDHTMLEdit2>> g_deferredEditors;
} // namespace

TProfDHTMLEdit2::TProfDHTMLEdit2(QWidget *parent) : TCustomProfDHTMLEdit(parent)
{
    token_ = QStringLiteral("vk-edit:") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char(':');
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    browser_ = new TWebbrowser(this);
    lay->addWidget(browser_);
    setFocusPolicy(Qt::StrongFocus);
    machine_.create();
    if (g_deferEngines)
        g_deferredEditors.push_back(this);
    else
        createEngine();
}

void TProfDHTMLEdit2::deferEngines(bool On) { g_deferEngines = On; }

void TProfDHTMLEdit2::startDeferredEngines()
{
    const auto editors = std::exchange(g_deferredEditors, {});
    for (const QPointer<TProfDHTMLEdit2> &ed : editors)
        if (ed) ed->createEngine();
}

void TProfDHTMLEdit2::createEngine()
{
    if (engineMade_) return;
    engineMade_ = true;
    auto *page = browser_->page();
    QWebEngineSettings *s = page->settings();
    // The page as authored: its own scripts never run here, in edit or browse mode.
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    s->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
    browser_->view()->setAcceptDrops(false);
    browser_->view()->setContextMenuPolicy(Qt::NoContextMenu);
    browser_->setSilent(true);
    setFocusProxy(browser_->view());

    QWebEngineScript script;
    script.setName(QStringLiteral("vk-edit"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(kWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(editorPageScript(token_));
    page->scripts().insert(script);

    connect(browser_, &TWebbrowser::BeforeNavigate2, this, &TProfDHTMLEdit2::onBeforeNavigate);
    connect(browser_, &TWebbrowser::NavigateComplete2, this, [this] { onLoadStarted(); });
    // The document's set-up reads the page, which the engine cannot answer while its own
    // callback is on the stack: completions are handled from the event loop.
    connect(browser_, &TWebbrowser::DocumentComplete, this, [this] {
        const bool ok = browser_->hasDocument();
        const QString url = browser_->LocationURL();
        const auto id = started_ ? machine_.current() : 0;
        QTimer::singleShot(0, this, [this, ok, url, id] { onDocumentComplete(ok, url, id); });
    });
    // Queued: a handler may load or wait, which the engine cannot do inside its callback.
    connect(browser_, &TWebbrowser::ConsoleMessage, this, &TProfDHTMLEdit2::onConsole, Qt::QueuedConnection);
    browser_->view()->installEventFilter(this);
    watchFocusProxy();
    navigateOwn(kAboutBlank);
}

TProfDHTMLEdit2::~TProfDHTMLEdit2()
{
    if (waitLoop_) waitLoop_->quit();
}

QString TProfDHTMLEdit2::GetAbout() const
{
    return QStringLiteral("v2.0.3.8 (Qt WebEngine %1)").arg(QString::fromLatin1(qVersion()));
}

unsigned TProfDHTMLEdit2::GetHostInfo() const
{
    return HostInfoFlags(UseDivOnCarriageReturn, Flat, ScrollBars, FlatScrollBars);
}

void TProfDHTMLEdit2::SetFlat(bool Value)
{
    Flat = Value;
    setFrameStyle(Flat ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
}

quint64 TProfDHTMLEdit2::documentGeneration() const { return browser_->loadGeneration() + ownWrites_; }

TWebbrowser *TProfDHTMLEdit2::browser() const
{
    const_cast<TProfDHTMLEdit2 *>(this)->createEngine();
    return browser_;
}

QWidget *TProfDHTMLEdit2::focusTarget() const
{
    const_cast<TProfDHTMLEdit2 *>(this)->createEngine();
    QWidget *p = browser_->view()->focusProxy();
    return p ? p : browser_->view();
}

bool TProfDHTMLEdit2::TryGetDocument() const { return !IsBusy() && browser_->hasView(); }

QVariant TProfDHTMLEdit2::evalDoc(const QString &Script)
{
    if (!browser_->hasView()) return {};
    const int ms = int(std::min(timeout_ * 1000.0, 600000.0));
    // The page script comes along (it installs itself once): an engine-made document may
    // have come without it.
    const QString js = editorPageScript(token_) + QStringLiteral(";(function(){var e=window.__vkEdit;if(!e)return null;") +
                       Script + QStringLiteral("})()");
    // A fresh document's renderer can drop the first script it is given: tiny probes, each
    // with a short bound, until one answers, so that no real read waits out a long bound.
    if (probedGeneration_ != documentGeneration()) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < std::min(ms, 5000) && !browser_->evalSync(QStringLiteral("1"), 200, kWorld).isValid()) {
        }
        probedGeneration_ = documentGeneration();
    }
    // A fresh renderer can drop the first answer: a short first bound, then the full one.
    QVariant v = browser_->evalSync(js, std::min(ms, 5000), kWorld);
    if (!v.isValid() && ms > 5000) v = browser_->evalSync(js, ms, kWorld);
    return v;
}

void TProfDHTMLEdit2::runDoc(const QString &Script)
{
    if (!browser_->hasView()) return;
    // The page script first: an engine-made document may have come without it.
    browser_->page()->runJavaScript(editorPageScript(token_) + QStringLiteral(";(function(){var e=window.__vkEdit;") +
                                        Script + QStringLiteral("})();"),
                                    kWorld);
}

void TProfDHTMLEdit2::setRedraw(bool On) { browser_->setUpdatesEnabled(On); }

// ---- loads ----------------------------------------------------------------------------

void TProfDHTMLEdit2::navigateOwn(const QString &Target)
{
    allowNavigation_ = true;
    started_ = false;
    browser_->Navigate(Target);
}

bool TProfDHTMLEdit2::waitWhileBusy(int State, const QString &Target)
{
    if (waiting_ || TWebbrowser::terminating()) return false;
    createEngine();
    if (!machine_.request(State)) return false;
    waiting_ = true;
    if (State == psLoadURL || State == psLoadFile || State == psOpenDialog) SetDirty(false);
    pageLoad_ = PageLoad::Loading;
    originalStoredWhilePending_ = false;
    loadedHtml_.clear();
    const qint64 boundMs = nextBoundMs_ > 0 ? nextBoundMs_ : qint64(timeout_ * 1000.0);
    nextBoundMs_ = 0;
    navigateOwn(Target);
    QPointer<TProfDHTMLEdit2> self(this);
    bool ok = true;
    if (machine_.busy()) {
        QEventLoop loop;
        waitLoop_ = &loop;
        QTimer bound;
        bound.setSingleShot(true);
        bool expired = false;
        connect(&bound, &QTimer::timeout, &loop, [&] {
            expired = true;
            loop.quit();
        });
        QMetaObject::Connection progress;
        if (QWebEngineView *v = browser_->view())
            progress = connect(v, &QWebEngineView::loadProgress, this, &TProfDHTMLEdit2::LoadProgress);
        bound.start(int(std::clamp<qint64>(boundMs, 1, 2147483647)));
        loop.exec();
        if (!self) return false;
        disconnect(progress);
        waitLoop_ = nullptr;
        if (machine_.busy() && (expired || TWebbrowser::terminating())) {
            waiting_ = false;
            handleTimeout();
            ok = false;
        }
    }
    waiting_ = false;
    return ok;
}

void TProfDHTMLEdit2::handleTimeout()
{
    EndUpdate();
    const auto id = machine_.boundPassed();
    (void)id;
    browser_->Stop();
    navigateOwn(kAboutBlank);
    QPointer<TProfDHTMLEdit2> self(this);
    if (machine_.busy()) {
        // The reset is bounded too: a blank document that never comes cannot hang the control.
        QEventLoop loop;
        waitLoop_ = &loop;
        QTimer::singleShot(int(std::min(timeout_ * 1000.0, 10000.0)), &loop, &QEventLoop::quit);
        loop.exec();
        if (!self) return;
        waitLoop_ = nullptr;
    }
    if (machine_.busy()) dispatch(machine_.resetBoundPassed());
}

void TProfDHTMLEdit2::onLoadStarted() { started_ = true; }

void TProfDHTMLEdit2::onDocumentComplete(bool ok, const QString &url, std::uint64_t id)
{
    PendingEvent ev;
    const int st = machine_.state();
    if (!ok && id != 0 && (st == psLoadURL || st == psLoadFile || st == psOpenDialog)) {
        // A failed load leaves the engine without a document to read: an empty one takes its
        // place, and its completion ends the load as an error.
        machine_.loadError(id);
        navigateOwn(kAboutBlank);
        return;
    }
    if (st == psTimeoutReset) {
        ev = ok && url == kAboutBlank ? machine_.resetDone(id) : PendingEvent::None;
    } else {
        ev = machine_.finish(id, ok);
    }
    dispatch(ev);
}

void TProfDHTMLEdit2::dispatch(PendingEvent Event)
{
    if (Event == PendingEvent::None) return;
    setUpDocument();
    switch (Event) {
    case PendingEvent::Create:
        if (FBrowseMode) edit_ = false;
        setUpDocument();
        fire(OnCreate);
        break;
    case PendingEvent::LoadURL:
    case PendingEvent::LoadFromFile:
    case PendingEvent::OpenDialog:
    case PendingEvent::LoadURLError:
    case PendingEvent::Stop:
        pageLoad_ = Event == PendingEvent::LoadURLError || Event == PendingEvent::Stop ? PageLoad::Failed : PageLoad::Whole;
        // The loaded document's own source stands as the stored one, unless the host stored
        // its own while the load was pending.
        if (!originalStoredWhilePending_) {
            loadedHtml_ = ReadDocumentHTML();
            SetOriginalSource(loadedHtml_);
        }
        if (Event != PendingEvent::LoadFromFile && Event != PendingEvent::OpenDialog) EndUpdate();
        SetDirty(false);
        fire(Event == PendingEvent::LoadURL        ? OnLoadURL
             : Event == PendingEvent::LoadFromFile ? OnLoadFromFile
             : Event == PendingEvent::OpenDialog   ? OnOpenDialog
             : Event == PendingEvent::Stop         ? OnStop
                                                   : OnLoadURLError);
        break;
    case PendingEvent::NewDocument:
        pageLoad_ = PageLoad::Whole;
        SetDirty(false);
        fire(OnNewDocument);
        break;
    case PendingEvent::Timeout:
        pageLoad_ = PageLoad::Failed;
        SetDirty(false);
        // The host tells the user (pageLoad() says the load failed); a box of the control's
        // own would stop the host's loop and could not name what the host was doing.
        if (OnTimeout) fire(OnTimeout);
        break;
    default: break;
    }
    if (waitLoop_ && !machine_.busy()) waitLoop_->quit();
}

void TProfDHTMLEdit2::setUpDocument()
{
    watchFocusProxy();
    const QString js = QStringLiteral("e.setMode(%1,%2);return true;")
                           .arg(edit_ ? QStringLiteral("true") : QStringLiteral("false"),
                                UseDivOnCarriageReturn ? QStringLiteral("true") : QStringLiteral("false"));
    // Set-up waits for nothing: a page that is slow to answer must not hold the host.
    runDoc(js);
    glyphsShown_ = FShowDetails;
    runDoc(QStringLiteral("e.setSheet(%1);").arg(jsString(sheetText())));
    pushEditingRules();
}

bool TProfDHTMLEdit2::applySheet()
{
    return evalDoc(QStringLiteral("return e.setSheet(%1);").arg(jsString(sheetText()))).toBool();
}

QString TProfDHTMLEdit2::sheetText() const
{
    QString css;
    if (glyphsShown_) css += glyphSheet();
    if (bordersShown_) css += zeroBorderSheet();
    if (!ScrollBars) css += QStringLiteral("html,body{overflow:hidden!important}");
    if (FlatScrollBars)
        css += QStringLiteral("::-webkit-scrollbar{width:10px;height:10px;background:#f0f0f0}"
                              "::-webkit-scrollbar-thumb{background:#c0c0c0;border:none}"
                              "::-webkit-scrollbar-button{display:none}");
    return css;
}

// A load asked right after the control was made (a page opened as the program starts) waits
// for its first document instead of being refused, which left the editor empty.
bool TProfDHTMLEdit2::waitForCreation()
{
    if (creationDone()) return true;
    if (waiting_) return false;
    QPointer<TProfDHTMLEdit2> self(this);
    QElapsedTimer t;
    t.start();
    const qint64 bound = qint64(std::min(timeout_ * 1000.0, 600000.0));
    while (self && !creationDone() && t.elapsed() < bound && !TWebbrowser::terminating())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return self && creationDone();
}

bool TProfDHTMLEdit2::LoadURL(const QString &URL)
{
    bool result = false;
    waitForCreation();
    if (TryGetDocument()) {
        BeginUpdate();
        result = waitWhileBusy(psLoadURL, URL);
        if (result) documentFile_.clear();
    }
    FDocumentFileName = URL;
    const QString s = loadedSource(result);
    FHasIFrame = s.contains(QLatin1String("<IFRAME"), Qt::CaseInsensitive);
    FCharset = CharsetName(s);
    FHomeURL = URL;
    return result;
}

bool TProfDHTMLEdit2::LoadFromFile(const std::string &FileName)
{
    const QString name = fromSjis(FileName);
    const bool hasFolder = name.contains(QLatin1Char('/'));
    const QString path = hasFolder ? name : FBaseURL + name;
    // The path that is loaded is the one that must exist.
    const QFileInfo fi(QString::fromUtf8(ToSystemPath(toSjis(path)).c_str()));
    if (!fi.exists() || !fi.isFile() || !waitForCreation() || !TryGetDocument()) return false;
    FDocumentFileName = name;
    BeginUpdate();
    // The engine needs time in proportion to the page: the bound grows by the Timeout per MB.
    nextBoundMs_ = qint64(timeout_ * 1000.0 * (1.0 + double(fi.size()) / (1024.0 * 1024.0)));
    const bool result = waitWhileBusy(psLoadFile, fi.absoluteFilePath());
    EndUpdate();
    if (result) documentFile_ = fi.absoluteFilePath();
    const QString s = loadedSource(result);
    FCharset = CharsetName(s);
    FHasIFrame = s.contains(QLatin1String("<IFRAME"), Qt::CaseInsensitive);
    FHomeURL = name;
    return result;
}

// The serialization read as the load ended names the charset and the frames as the generated
// source would: generating it again would walk a large page a second time.
QString TProfDHTMLEdit2::loadedSource(bool Loaded)
{
    QString s = std::exchange(loadedHtml_, QString());
    if (!Loaded || s.isEmpty() || s == kError || s == kBusy) return GetSource();
    return s;
}

bool TProfDHTMLEdit2::NewDocument()
{
    if (!creationDone() || IsBusy()) return false;
    const bool ok = waitWhileBusy(psNewDocument, kAboutBlank);
    if (ok) documentFile_.clear();
    return ok;
}

// ---- the document's content -----------------------------------------------------------

bool TProfDHTMLEdit2::writeDocument(const QString &Html)
{
    const QVariant r = evalDoc(QStringLiteral("return e.setSource(%1);").arg(jsString(Html)));
    ++ownWrites_;
    return r.toBool();
}

void TProfDHTMLEdit2::SetSource(const QString &Html)
{
    if (TryGetDocument() && writeDocument(Html)) {
        pageLoad_ = PageLoad::Whole;
        setUpDocument();
        fire(OnSetSource);
    }
    FOriginalSource.clear();
    SetOriginalSource(Html);
}

QString TProfDHTMLEdit2::ReadDocumentHTML()
{
    const QVariant v = evalDoc(QStringLiteral("return e.documentHtml();"));
    if (!v.isValid() || v.isNull()) return browser_->hasView() ? kError : kBusy;
    return NormalizeLineEnds(v.toString());
}

QString TProfDHTMLEdit2::GetTitle()
{
    const QVariant v = evalDoc(QStringLiteral("return document.title;"));
    return v.toString();
}

void TProfDHTMLEdit2::OpenDocument(const QString &InitialDir, QString &FileName)
{
    if (!TryGetDocument()) {
        FileName = kBusy;
        return;
    }
    const QString chosen = OpenDialog ? OpenDialog(this, InitialDir)
                                      : QFileDialog::getOpenFileName(this, QString(), InitialDir,
                                                                     QStringLiteral("HTML files (*.html *.htm)"));
    if (chosen.isEmpty()) {
        FileName = GetDocumentLocation();
        fire(OnOpenDialogCancel);
        return;
    }
    FileName = chosen;
    const QFileInfo fi(chosen);
    FDocumentFileName = chosen;
    BeginUpdate();
    const bool ok = waitWhileBusy(psOpenDialog, fi.absoluteFilePath());
    EndUpdate();
    if (ok) documentFile_ = fi.absoluteFilePath();
    const QString s = GetSource();
    FCharset = CharsetName(s);
    FHasIFrame = s.contains(QLatin1String("<IFRAME"), Qt::CaseInsensitive);
    FHomeURL = chosen;
}

void TProfDHTMLEdit2::SaveDocumentAs(const QString &InitialDir, QString &FileName)
{
    FileName.clear();
    if (!TryGetDocument()) return;
    QString chosen;
    if (SaveDialog) {
        chosen = SaveDialog(this, InitialDir);
    } else {
        QFileDialog d(this, QString(), InitialDir, QStringLiteral("HTML files (*.html *.htm)"));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setDefaultSuffix(QStringLiteral("html"));
        if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty()) chosen = d.selectedFiles().first();
    }
    if (chosen.isEmpty()) return;
    if (!SaveToFile(toSjis(chosen))) {
        QMessageBox::warning(this, QApplication::applicationName(),
                             QStringLiteral("保存できませんでした【 %1 】").arg(chosen));
        return;
    }
    FileName = GetDocumentLocation();
}

void TProfDHTMLEdit2::RefreshDesignMode()
{
    if (!TryGetDocument()) return;
    const int pos = GetCaretPosition();
    const int len = GetSelectionLength();
    evalDoc(QStringLiteral("document.designMode = 'off'; document.designMode = 'on'; return true;"));
    if (pos >= 0) SetCaretPosition(pos);
    if (len > 0) SetSelectionLength(len);
}

QString TProfDHTMLEdit2::GetDocumentLocation()
{
    if (!documentFile_.isEmpty()) return documentFile_;
    const QString u = browser_->LocationURL();
    return u == kAboutBlank ? QString() : u;
}

DomSnapshot TProfDHTMLEdit2::documentSnapshot(bool &Answered)
{
    const QVariant s = evalDoc(QStringLiteral("return e.sourceText();"));
    Answered = s.isValid() && !s.isNull();
    if (!Answered) return {};
    DomSnapshot snap = ParseSnapshot(s.toString());
    if (snap.valid) return snap;
    // The serialized form refuses what it cannot carry: the walk's compact form, then its JSON form.
    const QVariant v = evalDoc(QStringLiteral("return e.snapshotText();"));
    Answered = v.isValid() && !v.isNull();
    if (!Answered) return {};
    snap = ParseSnapshot(v.toString());
    if (snap.valid) return snap;
    const QVariant j = evalDoc(QStringLiteral("return e.snapshot();"));
    Answered = j.isValid() && !j.isNull();
    return Answered ? ParseSnapshot(j.toString()) : DomSnapshot();
}

QString TProfDHTMLEdit2::GenerateSource(const WriterContext &Ctx)
{
    if (!browser_->hasView()) return kBusy;
    bool answered = false;
    const DomSnapshot snap = documentSnapshot(answered);
    if (!answered) return kError;
    WriterContext c = Ctx;
    c.documentFile = documentFile_;
    c.documentUrl = snap.url;
    c.baseHref = snap.baseHrefs.size() == 1 ? snap.baseHrefs.first() : QString();
    return htmledit::GenerateSource(snap, c, DOCTYPE);
}

QString TProfDHTMLEdit2::GenerateElementSource(const QString &Tag, const WriterContext &Ctx)
{
    if (!browser_->hasView()) return kBusy;
    bool answered = false;
    const DomSnapshot snap = documentSnapshot(answered);
    if (!answered) return kError;
    WriterContext c = Ctx;
    c.documentFile = documentFile_;
    c.documentUrl = snap.url;
    c.baseHref = snap.baseHrefs.size() == 1 ? snap.baseHrefs.first() : QString();
    return htmledit::GenerateElementSource(snap, Tag, c);
}

QString TProfDHTMLEdit2::GetBaseElementHref()
{
    if (!TryGetDocument()) return kBusy;
    const QVariant v = evalDoc(QStringLiteral(
        "var b=document.getElementsByTagName('base');if(b.length>1)return '\\u0001';"
        "return b.length?(b[0].getAttribute('href')===null?'':b[0].href):'';"));
    if (!v.isValid() || v.isNull()) return kError;
    const QString s = v.toString();
    return s == QStringLiteral("\x01") ? kError : s;
}

void TProfDHTMLEdit2::SetBaseElementHref(const QString &URL)
{
    if (!TryGetDocument() || GetBaseElementHref() == URL) return;
    // In place, in the document and in the stored head: nothing is rewritten.
    evalDoc(QStringLiteral("var b;while((b=document.getElementsByTagName('base')[0]))b.remove();"
                           "var u=%1;if(u){var h=document.head||document.getElementsByTagName('head')[0];"
                           "if(h){var n=document.createElement('base');n.setAttribute('href',u);h.insertBefore(n,h.firstChild);}}"
                           "return true;")
                .arg(jsString(URL)));
    static const QRegularExpression baseTag(QStringLiteral("<base\\b[^>]*>\\s*"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression headOpen(QStringLiteral("<head\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    QString src = FOriginalSource;
    const int he = src.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
    if (he >= 0) {
        QString head = src.left(he);
        head.remove(baseTag);
        const auto m = headOpen.match(head);
        if (!URL.isEmpty() && m.hasMatch()) {
            QString v = URL;
            v.replace(QLatin1Char('"'), QLatin1String("&quot;"));
            head.insert(m.capturedEnd(), QStringLiteral("\r\n<base href=\"") + v + QStringLiteral("\">"));
        }
        FOriginalSource = head + src.mid(he);
    }
    fire(OnSetBaseURL);
}

bool TProfDHTMLEdit2::SaveToFile(const std::string &FileName)
{
    const QString name = fromSjis(FileName);
    if (name.isEmpty() || name.endsWith(QLatin1Char('/')) || !TryGetDocument()) return false;
    const QString s = GetSource();
    if (s == kBusy || s == kError) return false;
    QString full = name;
    if (!name.contains(QLatin1Char('/'))) full = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    const std::string sys = ToSystemPath(toSjis(full));
    std::string bytes;
    std::string sjis;
    if (TryWideToAnsi(s, sjis)) {
        bytes = RewriteCharsetDeclsToSjis(sjis);
    } else {
        bytes = "\xFF\xFE";
        for (QChar c : s) {
            bytes.push_back(char(c.unicode() & 0xFF));
            bytes.push_back(char(c.unicode() >> 8));
        }
    }
    // A complete new file replaces the old one, or nothing changes.
    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (!ok || std::rename(tmp.c_str(), sys.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    documentFile_ = QFileInfo(QString::fromUtf8(sys.c_str())).absoluteFilePath();
    return true;
}

// ---- modes and display ----------------------------------------------------------------

bool TProfDHTMLEdit2::QueryBrowseMode()
{
    const QString m = evalDoc(QStringLiteral("return document.designMode;")).toString();
    if (m == QLatin1String("on")) return false;
    if (m == QLatin1String("off")) return true;
    return FBrowseMode;
}

bool TProfDHTMLEdit2::BrowseMode() { return machine_.state() == psCreating ? FBrowseMode : QueryBrowseMode(); }

void TProfDHTMLEdit2::SetBrowseMode(bool Value)
{
    if (machine_.state() == psCreating) {
        FBrowseMode = Value;
        edit_ = !Value;
        return;
    }
    if (IsBusy() || Value == QueryBrowseMode()) return;
    const QString s1 = GetSource();
    const unsigned saved = SourceCodeOptions;
    const bool savedPreserve = SourceCodePreservation;
    SourceCodeOptions = (SourceCodeOptions & ~0x1400u) | 0x800u;
    SourceCodePreservation = false;
    const QString s2 = GetSource();
    SourceCodeOptions = saved;
    SourceCodePreservation = savedPreserve;
    if (s1 != s2 && s2 != kError && s2 != kBusy) writeDocument(s2);
    edit_ = !Value;
    setUpDocument();
    fire(OnSetBrowseMode);
}

void TProfDHTMLEdit2::SetShowDetails(bool Value)
{
    FShowDetails = Value;
    ShowGlyphs(Value);
}

bool TProfDHTMLEdit2::ShowGlyphs(bool Show)
{
    if (!TryGetDocument()) return false;
    glyphsShown_ = Show;
    return applySheet();
}

bool TProfDHTMLEdit2::ShowZeroBorders(bool Show)
{
    if (!TryGetDocument()) return false;
    const bool old = bordersShown_;
    bordersShown_ = Show;
    const bool ok = applySheet();
    if (!ok) bordersShown_ = old;
    return ok;
}

void TProfDHTMLEdit2::SetShowBorders(bool Value)
{
    if (Value == FShowBorders) return;
    if (ShowZeroBorders(Value)) FShowBorders = Value;
}

// ---- the navigation guard, keys and the page's reports -------------------------------

void TProfDHTMLEdit2::onBeforeNavigate(const QString &Url, bool *Cancel)
{
    const bool click = browser_->lastNavigationType() == QWebEnginePage::NavigationTypeLinkClicked;
    const NavigationVerdict v = DecideNavigation(machine_.state(), allowNavigation_, !edit_, click);
    if (v == NavigationVerdict::Allow) return;
    *Cancel = true;
    // The page stays; the link goes to the desktop's browser instead of a new window.
    if (v == NavigationVerdict::RefuseOpenOutside && !OpenUrlInBrowser(toSjis(Url))) {
        // Told without a modal loop: this runs inside the engine's navigation callback.
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("VORN-KYM"),
                                    QStringLiteral("デスクトップのブラウザで開けませんでした（ xdg-open が見つからないか、起動できません ）\r\n\r\n") + Url,
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void TProfDHTMLEdit2::watchFocusProxy()
{
    QWidget *p = browser_->view()->focusProxy();
    if (p && p != proxy_) {
        p->installEventFilter(this);
        proxy_ = p;
    }
}

// The host sees every key before the engine: a key it zeroes never reaches the document, a
// key it replaces reaches it as a new key event.
bool TProfDHTMLEdit2::forwardKey(QEvent *Event)
{
    if (passKey_) return false;
    auto *k = static_cast<QKeyEvent *>(Event);
    const Qt::KeyboardModifiers m = k->modifiers();
    const int original = keyCodeOf(k);
    int key = original;
    const bool ctrl = m & Qt::ControlModifier, shift = m & Qt::ShiftModifier, alt = m & Qt::AltModifier;
    auto call = [&](const TKeyEvent &h) {
        if (!h) return;
        try {
            h(this, key, m);
        } catch (...) {
        }
    };
    if (Event->type() == QEvent::KeyRelease) {
        call(OnKeyUp);
        return eatenKeys_.remove(k->key()) || (key == 0 && original != 0);
    }
    if (IsControlOwnKey(key, shift, ctrl, alt)) {
        call(OnKeyDown);
        return true;  // never the engine's: it would open a window
    }
    if (rulesState_ != rulesState()) pushEditingRules();
    call(OnKeyDown);
    // A handler swallows a key by making it 0. A key event that has no key code of its own
    // (a character an input method or a character picker sends, such as "😀") is text only,
    // and goes to the document.
    if (key == 0 && original != 0) {
        eatenKeys_.insert(k->key());
        return true;
    }
    if (key != original) {
        eatenKeys_.insert(k->key());
        sendKey(key, m, key >= 32 && key < 127 ? QString(QChar(key)) : key == 13 ? QStringLiteral("\r") : QString());
        return true;
    }
    // A character outside the BMP comes as a surrogate pair the engine's key path cuts to
    // its first 16 bits ("😀" became U+F600): it is inserted as text, as a paste is.
    if (k->text().size() > 1 && k->text().at(0).isHighSurrogate()) {
        eatenKeys_.insert(k->key());
        SetSelectedText(k->text());
        return true;
    }
    if (!k->text().isEmpty() && k->text().at(0).unicode() >= 32 && OnKeyPress) {
        const auto ucs = k->text().toUcs4();
        const int ch = ucs.isEmpty() ? 0 : int(ucs.first());
        key = ch;
        call(OnKeyPress);
        if (key == ch) return false;
        eatenKeys_.insert(k->key());
        if (key != 0) {
            const char32_t c = char32_t(key);
            sendKey(0, m, QString::fromUcs4(&c, 1));
        }
        return true;
    }
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
        if (!WantTabs && !ctrl && !alt) {
            eatenKeys_.insert(k->key());
            focusNextPrevChild(k->key() == Qt::Key_Tab && !shift);
            return true;
        }
    }
    return false;
}

void TProfDHTMLEdit2::sendKey(int Key, Qt::KeyboardModifiers Mods, const QString &Text)
{
    int qtKey = Key;
    if (Key >= 'A' && Key <= 'Z') qtKey = Qt::Key_A + (Key - 'A');
    else if (Key >= '0' && Key <= '9') qtKey = Qt::Key_0 + (Key - '0');
    else if (Key == 13) qtKey = Qt::Key_Return;
    else if (Key == 45) qtKey = Qt::Key_Insert;
    else if (Key == 46) qtKey = Qt::Key_Delete;
    else if (Key == 8) qtKey = Qt::Key_Backspace;
    else if (Key == 9) qtKey = Qt::Key_Tab;
    else if (Key == 27) qtKey = Qt::Key_Escape;
    else if (Key == 0) qtKey = Qt::Key_unknown;
    QWidget *target = proxy_ ? proxy_.data() : focusTarget();
    passKey_ = true;
    QKeyEvent press(QEvent::KeyPress, qtKey, Mods, Text);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Mods, Text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
    passKey_ = false;
}

bool TProfDHTMLEdit2::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == browser_->view()) {
        if (Event->type() == QEvent::ChildAdded || Event->type() == QEvent::ChildPolished)
            QTimer::singleShot(0, this, [this] { watchFocusProxy(); });
        return false;
    }
    if (Watched == proxy_) {
        switch (Event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: return forwardKey(Event);
        case QEvent::FocusIn: fire(OnEnter); break;
        case QEvent::FocusOut: fire(OnExit); break;
        case QEvent::Enter: fire(OnMouseEnter); break;
        case QEvent::Leave: fire(OnMouseLeave); break;
        case QEvent::ToolTip:
            // The control's hint (its tool tip) shows over the document, in place of the page's.
            if (!toolTip().isEmpty()) {
                QToolTip::showText(static_cast<QHelpEvent *>(Event)->globalPos(), toolTip(), proxy_);
                return true;
            }
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            auto *m = static_cast<QMouseEvent *>(Event);
            const QPoint p = m->position().toPoint();
            if (p.x() < 0 || p.y() < 0) break;
            const TMouseEvent &h = Event->type() == QEvent::MouseButtonPress ? OnMouseDown
                                   : Event->type() == QEvent::MouseMove      ? OnMouseMove
                                                                             : OnMouseUp;
            if (h) {
                try {
                    h(this, m->button(), m->modifiers(), p.x(), p.y());
                } catch (...) {
                }
            }
            break;
        }
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove: Event->ignore(); return true;
        default: break;
        }
    }
    return false;
}

void TProfDHTMLEdit2::onConsole(const QString &Message)
{
    if (!Message.startsWith(token_)) return;
    const QJsonObject o = QJsonDocument::fromJson(Message.mid(token_.size()).toUtf8()).object();
    const QString type = o.value(QLatin1String("type")).toString();
    if (type == QLatin1String("change")) {
        if (IsBusy()) return;
        // The document moved under the words and underlines an outside checker was given.
        if (wordsCached_ || highlightCount()) WMPaint();
        SetDirty(true);
        if (OnChange && !inChange_) {
            inChange_ = true;
            fire(OnChange);
            inChange_ = false;
        }
    } else if (type == QLatin1String("display")) {
        // One display change for the reports of a burst (a key sends input and selection
        // changes) already waiting in the queue.
        if (displayQueued_) return;
        displayQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                displayQueued_ = false;
                if (!IsBusy()) fire(OnDisplayChanged);
            },
            Qt::QueuedConnection);
    } else if (type == QLatin1String("div")) {
        convertParagraphsToDiv();
    } else if (type == QLatin1String("click")) {
        fire(OnClick);
    } else if (type == QLatin1String("dblclick")) {
        fire(OnDblClick);
    } else if (type == QLatin1String("paste")) {
        fire(OnPaste);
    } else if (type == QLatin1String("contextmenu")) {
        if (PopupMenu && !PopupMenu->actions().isEmpty()) {
            const QPoint p(o.value(QLatin1String("x")).toInt(), o.value(QLatin1String("y")).toInt());
            PopupMenu->popup(browser_->view()->mapToGlobal(p));
        }
    }
}
