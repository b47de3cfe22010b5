#include "mainwindow/PaneDocument.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

namespace {
// Each mark's style, as its opening tag reads; their blanks differ and stay as they are.
const char *const kMarkStyles[] = {
    "background-color: Lime; font-weight: bolder;",   "background-color: yellow ; font-weight: bolder;",
    "background-color: magenta ; font-weight: bolder;", "background-color: orange ; font-weight: bolder;",
    "background-color: aqua ; font-weight: bolder;",  "background-color: red ; font-weight: bolder;",
};
constexpr int kRed = 5;
constexpr int kMarkWaitMs = 20000;

// One script does every job. The body's text nodes (not those of scripts, styles, form
// fields and templates) are joined into one text; a hit is found in its case-folded copy
// (folded character by character, so positions stay those of the page's text) and marked
// piece by piece, a span around the part of each text node it covers, so no element is
// split and a hit across a <b> is marked too. The index is built once per run: marks only
// split text nodes, so every word is searched in the same joined text.
const char *kPaneScript = R"JS((function (req) {
  var body = document.body;
  if (!body) return { ok: false };
  function fold(s) {
    var l = s.toLowerCase();
    if (l.length === s.length && s.indexOf('\u03a3') < 0) return l;
    var out = [];
    for (var i = 0; i < s.length; ++i) {
      var c = s.charAt(i), d = c.toLowerCase();
      out.push(d.length === 1 ? d : c);
    }
    return out.join('');
  }
  function index() {
    var nodes = [], starts = [], parts = [], total = 0;
    // The walk runs in the engine; only a page that has skipped elements pays for a look at
    // each text node's ancestors.
    var SKIPPED = 'script,style,noscript,template,textarea,select,option';
    var any = body.querySelector(SKIPPED) !== null;
    var w = document.createTreeWalker(body, NodeFilter.SHOW_TEXT);
    for (var n = w.nextNode(); n; n = w.nextNode()) {
      if (any && n.parentElement && n.parentElement.closest(SKIPPED)) continue;
      nodes.push(n); starts.push(total); parts.push(n.data); total += n.data.length;
    }
    return { nodes: nodes, starts: starts, folded: fold(parts.join('')), total: total };
  }
  function nodeAt(ix, pos) {
    var lo = 0, hi = ix.starts.length - 1;
    while (lo < hi) {
      var mid = (lo + hi + 1) >> 1;
      if (ix.starts[mid] <= pos) lo = mid; else hi = mid - 1;
    }
    return lo;
  }
  function pieces(ix, p, len) {
    var out = [], end = p + len;
    for (var k = nodeAt(ix, p); k < ix.nodes.length && ix.starts[k] < end; ++k) {
      var s = Math.max(p - ix.starts[k], 0), e = Math.min(end - ix.starts[k], ix.nodes[k].data.length);
      if (e > s) out.push({ node: ix.nodes[k], k: k, s: s, e: e });
    }
    return out;
  }
  // Spans are cloned from one made per word, so its style text is parsed once.
  function wrap(t, proto) {
    var span = proto.cloneNode(false);
    t.parentNode.insertBefore(span, t);
    span.appendChild(t);
    return span;
  }
  // Marks the hits (ascending, not overlapping) and keeps the index true to the split text
  // nodes, so the next word is searched in the same index: the joined text never changes,
  // only its nodes. Gives the spans of the first and of the last hit.
  function markHits(ix, hits, len, style) {
    var byNode = {}, order = [], spansOf = [];
    for (var h = 0; h < hits.length; ++h) {
      var ps = pieces(ix, hits[h], len);
      spansOf.push([]);
      for (var q = 0; q < ps.length; ++q) {
        var k = ps[q].k;
        if (!byNode[k]) { byNode[k] = []; order.push(k); }
        byNode[k].push({ s: ps[q].s, e: ps[q].e, hit: h });
      }
    }
    if (!order.length) return { first: null, last: null };
    var proto = document.createElement('span');
    proto.setAttribute('style', style);
    var nodes = [], starts = [], next = 0;
    for (var o = 0; o < order.length; ++o) {
      var k = order[o];
      for (; next < k; ++next) { nodes.push(ix.nodes[next]); starts.push(ix.starts[next]); }
      var node = ix.nodes[k], base = ix.starts[k], list = byNode[k], segs = [];
      // Split from the end, so the offsets still to come stay valid in the head node.
      for (var q = list.length - 1; q >= 0; --q) {
        var pc = list[q];
        if (pc.e < node.data.length) segs.push([node.splitText(pc.e), base + pc.e]);
        var t = pc.s > 0 ? node.splitText(pc.s) : node;
        spansOf[pc.hit].push(wrap(t, proto));
        segs.push([t, base + pc.s]);
      }
      if (list[0].s > 0) segs.push([node, base]);
      for (var g = segs.length - 1; g >= 0; --g) { nodes.push(segs[g][0]); starts.push(segs[g][1]); }
      next = k + 1;
    }
    for (; next < ix.nodes.length; ++next) { nodes.push(ix.nodes[next]); starts.push(ix.starts[next]); }
    ix.nodes = nodes;
    ix.starts = starts;
    return { first: spansOf[0], last: spansOf[spansOf.length - 1] };
  }
  function findHits(ix, word, max) {
    var hits = [], w = fold(word);
    for (var p = ix.folded.indexOf(w); p >= 0 && hits.length < max; p = ix.folded.indexOf(w, p + w.length))
      hits.push(p);
    return hits;
  }
  function select(startNode, startOff, endNode, endOff) {
    var r = document.createRange();
    r.setStart(startNode, startOff);
    r.setEnd(endNode, endOff);
    var sel = window.getSelection();
    sel.removeAllRanges();
    sel.addRange(r);
    var el = startNode.nodeType === 1 ? startNode : startNode.parentNode;
    if (el && el.scrollIntoView) el.scrollIntoView({ block: 'center' });
  }
  function selectionStart(ix) {
    var sel = window.getSelection();
    if (!sel || sel.rangeCount === 0) return -1;
    var r = sel.getRangeAt(0), c = r.startContainer, o = r.startOffset;
    var probe = document.createRange();
    probe.setStart(c, o);
    probe.collapse(true);
    for (var k = 0; k < ix.nodes.length; ++k) {
      var n = ix.nodes[k];
      if (n === c) return ix.starts[k] + o;
      if (probe.comparePoint(n, n.data.length) > 0) return ix.starts[k];
    }
    return ix.total;
  }

  var marks = 0;
  if (req.mode === 'all') {
    var lastSpans = null, ix = index();
    for (var i = 0; i < req.words.length; ++i) {
      var word = req.words[i];
      if (!word) continue;
      var hits = findHits(ix, word, Infinity);
      if (!hits.length) continue;
      lastSpans = markHits(ix, hits, word.length, req.styles[Math.min(i, req.styles.length - 1)]).last;
      marks += hits.length;
    }
    if (lastSpans && lastSpans.length) lastSpans[lastSpans.length - 1].scrollIntoView(true);
    return { ok: true, marks: marks };
  }
  var word = req.words.length ? req.words[0] : '';
  if (req.mode === 'first' || req.mode === 'select') {
    var ix = word ? index() : null, hits = word ? findHits(ix, word, req.max) : [];
    if (!hits.length) {
      if (req.mode === 'select') window.getSelection().removeAllRanges();
      return { ok: true, marks: 0, found: false };
    }
    var m = markHits(ix, hits, word.length, req.styles[req.styles.length - 1]);
    var f = m.first, a = f[0].firstChild, b = f[f.length - 1].lastChild;
    if (req.mode === 'select') select(a, 0, b, b.data.length);
    else m.last[m.last.length - 1].scrollIntoView(true);
    return { ok: true, marks: hits.length, found: true };
  }
  if (!word) return { ok: true, found: false };
  var ix = index(), w = fold(word), at = selectionStart(ix), p;
  if (req.mode === 'next') p = ix.folded.indexOf(w, at + 1);
  else p = at <= 0 ? -1 : ix.folded.lastIndexOf(w, at - 1);
  if (p < 0) return { ok: true, found: false };
  var ps = pieces(ix, p, w.length);
  if (!ps.length) return { ok: true, found: false };
  var z = ps[ps.length - 1];
  select(ps[0].node, ps[0].s, z.node, z.e);
  return { ok: true, found: true };
}))JS";

QVariantMap runPaneScript(TWebbrowser *Browser, const QString &mode, const QStringList &words, int max)
{
    if (!Browser || Browser->Busy() || !Browser->hasDocument()) return {};
    QJsonObject req;
    req.insert(QStringLiteral("mode"), mode);
    req.insert(QStringLiteral("words"), QJsonArray::fromStringList(words));
    QJsonArray styles;
    for (const char *s : kMarkStyles) styles.append(QString::fromLatin1(s));
    req.insert(QStringLiteral("styles"), styles);
    req.insert(QStringLiteral("max"), max);
    // The words travel as data: nothing the user typed becomes script text.
    const QString script = QString::fromLatin1(kPaneScript) + QLatin1Char('(') +
                           QString::fromUtf8(QJsonDocument(req).toJson(QJsonDocument::Compact)) + QLatin1Char(')');
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QVariant v = Browser->evalSync(script, kMarkWaitMs, QWebEngineScript::ApplicationWorld);
    QApplication::restoreOverrideCursor();
    const QVariantMap m = v.toMap();
    return m.value(QStringLiteral("ok")).toBool() ? m : QVariantMap();
}

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QChar(0x3000); }

// A comma list split as a string list's comma text does it.
QStringList commaTextSplit(const QString &s)
{
    QStringList out;
    int i = 0;
    const int n = s.size();
    auto skipBlanks = [&] {
        while (i < n && s[i] <= QLatin1Char(' ')) ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (s[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('"')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += s[i++];
            }
        } else {
            const int b = i;
            while (i < n && s[i] > QLatin1Char(' ') && s[i] != QLatin1Char(',')) ++i;
            item = s.mid(b, i - b);
        }
        out << item;
        skipBlanks();
        if (i < n && s[i] == QLatin1Char(',')) {
            if (i + 1 == n) out << QString();
            ++i;
            skipBlanks();
        }
    }
    return out;
}
} // namespace

std::string GetWebBrowserHTMLSrc(TWebbrowser *Browser)
{
    if (!Browser || !Browser->hasDocument()) return {};
    const QVariant v = Browser->evalSync(
        QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"), 5000,
        QWebEngineScript::ApplicationWorld);
    const std::string html = toSjis(v.toString());
    if (html.empty()) return {};
    return OpenAttributeQuotes(NormalizeHtmlSource(RewriteCharsetDeclsToSjis(html)));
}

QString HighlightOpeningTag(int Index)
{
    return QStringLiteral("<span style=\"") + QString::fromLatin1(kMarkStyles[std::min(std::max(Index, 0), kRed)]) +
           QStringLiteral("\">");
}

QStringList HighlightWordList(const QString &Words)
{
    QString w = Words;
    w.replace(QChar(0x3000), QLatin1Char(' '));
    for (const char *run : {"    ", "   ", "  "}) w.replace(QLatin1String(run), QStringLiteral(" "));
    w.replace(QLatin1Char(' '), QLatin1Char(','));
    w.replace(QStringLiteral("\"\""), QString());
    return commaTextSplit(w);
}

QString FirstHighlightWord(const QString &Text)
{
    QString collapsed;
    bool blank = false;
    for (QChar c : Text) {
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !collapsed.isEmpty()) collapsed += QLatin1Char(' ');
        blank = false;
        collapsed += c;
    }
    const QStringList words = commaTextSplit(collapsed);
    return words.isEmpty() ? QString() : words.first();
}

QString CleanHighlightBox(const QString &Text)
{
    QString w = Text.trimmed();
    w.replace(QChar(0x3000), QLatin1Char(' '));
    w.replace(QStringLiteral("  "), QStringLiteral(" "));
    return w.trimmed();
}

int SearchAndHighlightText(TWebbrowser *Browser, const QString &Words)
{
    const QVariantMap m = runPaneScript(Browser, QStringLiteral("all"), HighlightWordList(Words), 0);
    return m.isEmpty() ? -1 : m.value(QStringLiteral("marks")).toInt();
}

int FirstSearchAndHighlightText(TWebbrowser *Browser, const QString &Text, int MaxCount)
{
    QStringList words = HighlightWordList(QString(Text).remove(QLatin1Char('"')));
    const QString first = words.isEmpty() ? QString() : words.first();
    const QVariantMap m = runPaneScript(Browser, QStringLiteral("first"), {first}, std::max(MaxCount, 0));
    return m.isEmpty() ? -1 : m.value(QStringLiteral("marks")).toInt();
}

bool SelectFirstOccurrence(TWebbrowser *Browser, const QString &Word)
{
    return runPaneScript(Browser, QStringLiteral("select"), {Word}, 1).value(QStringLiteral("found")).toBool();
}

bool SearchText(TWebbrowser *Browser, const QString &Text, bool Forward)
{
    return runPaneScript(Browser, Forward ? QStringLiteral("next") : QStringLiteral("prev"), {Text}, 0)
        .value(QStringLiteral("found"))
        .toBool();
}
