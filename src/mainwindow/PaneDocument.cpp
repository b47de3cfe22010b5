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
// split and a hit across a <b> is marked too. The index is built once per run: marks never
// change the text, so every word is searched in the same joined text.
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
    var nodes = [], starts = [], parts = [], lens = [], total = 0;
    // The walk runs in the engine; only a page that has skipped elements pays for a look at
    // each text node's ancestors.
    var SKIPPED = 'script,style,noscript,template,textarea,select,option';
    var any = body.querySelector(SKIPPED) !== null;
    var w = document.createTreeWalker(body, NodeFilter.SHOW_TEXT);
    for (var n = w.nextNode(); n; n = w.nextNode()) {
      if (any && n.parentElement && n.parentElement.closest(SKIPPED)) continue;
      var d = n.data;
      nodes.push(n); starts.push(total); parts.push(d); lens.push(d.length); total += d.length;
    }
    return { nodes: nodes, starts: starts, parts: parts, lens: lens, folded: fold(parts.join('')), total: total };
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
  // Marks the hits of several words at once: marks[m] = { hits (ascending, not overlapping),
  // len, style }. A later word is cut where an earlier word's marks begin and end, so each of
  // its pieces nests inside an earlier mark or lies outside it, as marking word by word would
  // leave it. The pieces are planned first and each text node is then replaced once by its
  // marked copy: splitting a text node that is laid out re-shapes its paragraph at once, so
  // writing hit by hit cost the engine a text layout per hit. The plan is kept in flat number
  // lists, four to a piece (start, end, word, which of the two wanted hits it belongs to), as
  // a page can hold tens of thousands of hits. Gives the spans of the first hit of the first
  // word and of the last hit of the last.
  function markAll(ix, marks) {
    var cuts = [], byNode = [], first = [], last = [], lastWord = marks.length - 1;
    // The first cut at or after an offset.
    function lowerBound(c, at) {
      var lo = 0, hi = c.length;
      while (lo < hi) {
        var mid = (lo + hi) >> 1;
        if (c[mid] < at) lo = mid + 1; else hi = mid;
      }
      return lo;
    }
    for (var m = 0; m < marks.length; ++m) {
      var hits = marks[m].hits, len = marks[m].len, fresh = [], lastHit = hits.length - 1;
      for (var h = 0; h < hits.length; ++h) {
        var tag = (m === 0 && h === 0 ? 1 : 0) | (m === lastWord && h === lastHit ? 2 : 0), end = hits[h] + len;
        for (var k = nodeAt(ix, hits[h]); k < ix.nodes.length && ix.starts[k] < end; ++k) {
          var size = ix.lens[k], s = Math.max(hits[h] - ix.starts[k], 0), e = Math.min(end - ix.starts[k], size);
          if (e <= s) continue;
          var c = cuts[k], list = byNode[k] || (byNode[k] = []);
          if (!c || !c.length) list.push(s, e, m, tag);
          else {
            for (var a = s, j = lowerBound(c, s + 1); ; ++j) {
              var b = j < c.length && c[j] < e ? c[j] : e;
              list.push(a, b, m, tag);
              if (b === e) break;
              a = b;
            }
          }
          if (s > 0) fresh.push(k, s);
          if (e < size) fresh.push(k, e);
        }
      }
      // This word's cuts apply from the next word on.
      if (m < lastWord) {
        for (var f = 0; f < fresh.length; f += 2) {
          var c = cuts[fresh[f]] || (cuts[fresh[f]] = []), at = fresh[f + 1], j = lowerBound(c, at);
          if (c[j] !== at) c.splice(j, 0, at);
        }
      }
    }
    // Appends items to a node a slice at a time: one call with all of them as arguments
    // overflows the stack when a long text node holds tens of thousands of hits.
    function put(el, items) {
      for (var i = 0; i < items.length; i += 4096) el.append.apply(el, items.slice(i, i + 4096));
    }
    function note(span, tag) {
      if (tag & 1) first.push(span);
      if (tag & 2) last.push(span);
    }
    var protos = marks.map(function (mk) {
      var p = document.createElement('span');
      p.setAttribute('style', mk.style);
      return p;
    });
    // Piece order within a node: outer marks first, by start, the longer first, the earlier
    // word first.
    var order = function (L) {
      var at = [];
      for (var i = 0; i < L.length; i += 4) at.push(i);
      at.sort(function (x, y) { return L[x] - L[y] || L[y + 1] - L[x + 1] || L[x + 2] - L[y + 2]; });
      return at;
    };
    for (var k = 0; k < byNode.length; ++k) {
      var L = byNode[k];
      if (!L) continue;
      var node = ix.nodes[k], data = ix.parts[k], items = [], pos = 0, q, o;
      var seq = L.length === 4 ? [0] : order(L), nested = false;
      for (q = 1; q < seq.length && !nested; ++q) nested = L[seq[q]] < L[seq[q - 1] + 1];
      if (!nested) {
        // The usual case: pieces side by side, each a span holding its text.
        for (q = 0; q < seq.length; ++q) {
          o = seq[q];
          if (L[o] > pos) items.push(data.slice(pos, L[o]));
          var sp = protos[L[o + 2]].cloneNode(false);
          sp.textContent = data.slice(L[o], L[o + 1]);
          items.push(sp);
          note(sp, L[o + 3]);
          pos = L[o + 1];
        }
      } else {
        // The marked copy goes in as strings and spans: the engine makes the text nodes.
        var open = [{ el: null, e: data.length, items: items }];
        var textTo = function (upTo) {
          if (upTo > pos) open[open.length - 1].items.push(data.slice(pos, upTo));
          pos = upTo;
        };
        var close = function () {
          textTo(open[open.length - 1].e);
          var top = open.pop();
          if (top.items.length === 1 && typeof top.items[0] === 'string') top.el.textContent = top.items[0];
          else put(top.el, top.items);
        };
        for (q = 0; q < seq.length; ++q) {
          o = seq[q];
          while (open.length > 1 && open[open.length - 1].e <= L[o]) close();
          textTo(L[o]);
          var span = protos[L[o + 2]].cloneNode(false);
          open[open.length - 1].items.push(span);
          open.push({ el: span, e: L[o + 1], items: [] });
          note(span, L[o + 3]);
        }
        while (open.length > 1) close();
      }
      if (pos < data.length) items.push(data.slice(pos));
      if (items.length <= 4096) node.replaceWith.apply(node, items);
      else {
        var frag = document.createDocumentFragment();
        put(frag, items);
        node.replaceWith(frag);
      }
    }
    return { first: first, last: last };
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
    // Where the time goes, for the benchmark: reading the page, searching, writing the marks,
    // and the engine laying the marked page out (forced by the scroll).
    var t0 = performance.now(), ix = index(), t1 = performance.now(), todo = [];
    for (var i = 0; i < req.words.length; ++i) {
      var word = req.words[i];
      if (!word) continue;
      var hits = findHits(ix, word, Infinity);
      if (!hits.length) continue;
      todo.push({ hits: hits, len: word.length, style: req.styles[Math.min(i, req.styles.length - 1)] });
      marks += hits.length;
    }
    var t2 = performance.now(), last = todo.length ? markAll(ix, todo).last : null, t3 = performance.now();
    if (last) last[last.length - 1].scrollIntoView(true);
    var t4 = performance.now();
    return { ok: true, marks: marks, ms: [t1 - t0, t2 - t1, t3 - t2, t4 - t3] };
  }
  var word = req.words.length ? req.words[0] : '';
  if (req.mode === 'first' || req.mode === 'select') {
    var ix = word ? index() : null, hits = word ? findHits(ix, word, req.max) : [];
    if (!hits.length) {
      if (req.mode === 'select') window.getSelection().removeAllRanges();
      return { ok: true, marks: 0, found: false };
    }
    var m = markAll(ix, [{ hits: hits, len: word.length, style: req.styles[req.styles.length - 1] }]);
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

int SearchAndHighlightText(TWebbrowser *Browser, const QString &Words, HighlightTimes *Times)
{
    const QVariantMap m = runPaneScript(Browser, QStringLiteral("all"), HighlightWordList(Words), 0);
    if (m.isEmpty()) return -1;
    if (Times) {
        const QVariantList ms = m.value(QStringLiteral("ms")).toList();
        if (ms.size() == 4) *Times = {ms[0].toDouble(), ms[1].toDouble(), ms[2].toDouble(), ms[3].toDouble()};
    }
    return m.value(QStringLiteral("marks")).toInt();
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
