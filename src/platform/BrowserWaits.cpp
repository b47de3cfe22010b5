#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "text/StringList.h"
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

bool WaitWhileBrowserBusy(TWebbrowser *Browser, int TimeoutMs, const std::function<bool()> &Stop)
{
    QPointer<TWebbrowser> wb(Browser);
    if (!wb || !wb->Busy()) return true;
    if (TWebbrowser::terminating()) return false;
    auto stopped = [&] { return TWebbrowser::terminating() || (Stop && Stop()); };
    if (stopped()) return false;
    QEventLoop loop;
    QObject::connect(wb, &TWebbrowser::DocumentComplete, &loop, &QEventLoop::quit);
    QObject::connect(wb, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(TimeoutMs);
    // Closing the application and a stop button set flags, not signals; look at them a few
    // times a second.
    QTimer closing;
    QObject::connect(&closing, &QTimer::timeout, &loop, [&] {
        if (stopped() || !wb || !wb->Busy()) loop.quit();
    });
    closing.start(50);
    while (wb && wb->Busy() && bound.isActive() && !stopped()) loop.exec();
    return !wb || !wb->Busy();
}

bool BrowserHasHtmlDocument(TWebbrowser *Browser)
{
    if (!Browser || !Browser->hasDocument()) return false;
    const QString type = Browser->evalSync(QStringLiteral("document.contentType"), 3000).toString();
    return type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml");
}

void BrowserGoBackSafe(TWebbrowser *Browser)
{
    if (BrowserHasHtmlDocument(Browser)) Browser->GoBack();
}

void BrowserGoForwardSafe(TWebbrowser *Browser)
{
    if (BrowserHasHtmlDocument(Browser)) Browser->GoForward();
}

void BrowserStopSafe(TWebbrowser *Browser)
{
    // Stopping a load in progress is the point, so a pane still loading counts as well.
    if (Browser && Browser->hasView() && (Browser->Busy() || BrowserHasHtmlDocument(Browser))) Browser->Stop();
}

namespace {
// One walk in the page: an ordinary page gives its links; a frameset gives its frames'
// links in order, and a frame that cannot be read ends the walk of its frameset.
const char *kCollectScript = R"JS((function () {
  var out = [];
  function walk(doc) {
    if (!doc) return;
    var body;
    try { body = doc.body; } catch (e) { return; }
    if (!body) return;
    if (String(body.tagName).toUpperCase() === 'BODY') {
      var links = doc.links;
      for (var i = 0; i < links.length; ++i) out.push(String(links[i].href));
      return;
    }
    var frames = doc.defaultView ? doc.defaultView.frames : null;
    if (!frames) return;
    for (var k = 0; k < frames.length; ++k) {
      try { var d = frames[k].document; if (!d) throw 0; walk(d); } catch (e) { return; }
    }
  }
  walk(document);
  return out;
})())JS";
} // namespace

bool CollectDocumentLinks(TWebbrowser *Browser, std::vector<std::string> &Links)
{
    if (!Browser || !Browser->hasDocument()) return false;
    const QVariant v = Browser->evalSync(QString::fromLatin1(kCollectScript), 5000);
    if (!v.isValid()) return false;
    Links.clear();
    for (const QVariant &item : v.toList()) Links.push_back(toSjis(item.toString()));
    return true;
}

void CollectDocumentLinks(TWebbrowser *Browser, StringList &List)
{
    std::vector<std::string> links;
    if (!CollectDocumentLinks(Browser, links)) return;
    List.clear();
    for (const auto &l : links) List.add(l);
}
