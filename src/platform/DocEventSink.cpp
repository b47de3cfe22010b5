#include "platform/DocEventSink.h"
#include "platform/TWebbrowser.h"
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {
// The listener lives in its own script world, so page scripts cannot see or replace it;
// it is installed once per document and reads its switches from one object that each
// (re)connection overwrites.
const char *kSinkScript = R"JS((function () {
  var cfg = {CFG};
  var st = window.__vkDocSink || (window.__vkDocSink = {});
  st.click = cfg.click; st.dblclick = cfg.dblclick; st.token = cfg.token;
  if (st.installed) return;
  st.installed = true;
  function report(ev) {
    var s = window.__vkDocSink;
    if (!s[ev.type]) return;
    ev.preventDefault();
    var t = ev.target && ev.target.nodeType === 3 ? ev.target.parentElement : ev.target;
    var el = !!(t && t.closest);
    var a = el ? t.closest('a[href], area[href]') : null;
    console.log(s.token + JSON.stringify({type: ev.type, href: a ? String(a.href) : '', element: el,
                                          count: ev.detail || 0}));
  }
  window.addEventListener('click', report, true);
  window.addEventListener('dblclick', report, true);
})();)JS";
} // namespace

DocEventSink::DocEventSink(const QString &name, QObject *parent)
    : QObject(parent), name_(name),
      token_(QStringLiteral("\x01vk-sink:") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char(':'))
{
    setObjectName(name);
}

DocEventSink::~DocEventSink() { Disconnect(); }

QString DocEventSink::scriptSource(bool click, bool dblclick) const
{
    QJsonObject cfg{{QStringLiteral("click"), click}, {QStringLiteral("dblclick"), dblclick},
                    {QStringLiteral("token"), token_}};
    return QString::fromLatin1(kSinkScript)
        .replace(QStringLiteral("{CFG}"), QString::fromUtf8(QJsonDocument(cfg).toJson(QJsonDocument::Compact)));
}

// Puts the switches into the pane's future documents (the script runs at their creation)
// and into the current one.
void DocEventSink::publish()
{
    if (!browser_) return;
    const bool click = connected_ && bool(onclick_);
    const bool dbl = connected_ && bool(ondblclick_);
    const QString src = scriptSource(click, dbl);
    auto *page = browser_->page();
    auto &scripts = page->scripts();
    for (const QWebEngineScript &s : scripts.find(name_)) scripts.remove(s);
    QWebEngineScript script;
    script.setName(name_);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(src);
    scripts.insert(script);
    if (browser_->hasDocument() || browser_->Busy()) page->runJavaScript(src, QWebEngineScript::ApplicationWorld);
    browser_->setRefuseLinkClicks(click);
}

void DocEventSink::Connect(TWebbrowser *Browser)
{
    Q_ASSERT(Browser);
    Disconnect();
    if (!Browser) return;
    browser_ = Browser;
    connected_ = true;
    // Queued: a handler may wait for a pane to load (a new tab), and the engine cannot load
    // anything while its console callback is still on the stack.
    consoleConn_ = connect(Browser, &TWebbrowser::ConsoleMessage, this, &DocEventSink::onConsole, Qt::QueuedConnection);
    publish();
}

void DocEventSink::Disconnect()
{
    if (!connected_) return;
    connected_ = false;
    disconnect(consoleConn_);
    publish();
    browser_ = nullptr;
}

void DocEventSink::setOnClick(Handler h)
{
    onclick_ = std::move(h);
    if (connected_) publish();
}

void DocEventSink::setOnDblClick(Handler h)
{
    ondblclick_ = std::move(h);
    if (connected_) publish();
}

void DocEventSink::onConsole(const QString &message)
{
    if (!connected_ || !message.startsWith(token_)) return;
    const QJsonObject o = QJsonDocument::fromJson(message.mid(token_.size()).toUtf8()).object();
    DocEvent e{o.value(QStringLiteral("type")).toString(), o.value(QStringLiteral("href")).toString(),
               o.value(QStringLiteral("element")).toBool(), o.value(QStringLiteral("count")).toInt()};
    // The engine reports a double-click as click, click, dblclick; the program expects one
    // click before the double-click, so the second click goes no further than its cancelling.
    if (e.type == QLatin1String("click") && e.clickCount > 1) return;
    // Copies: a handler may disconnect or reassign the sink.
    Handler h = e.type == QLatin1String("dblclick") ? ondblclick_ : onclick_;
    if (h) h(e);
    emit eventDelivered(e.type, e.href);
}
