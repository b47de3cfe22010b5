#include "htmledit/EditorPageScript.h"
#include "htmledit/EditingPageScript.h"

namespace {
const char *kScript = R"JS((function () {
  var TOKEN = %TOKEN%;
  if (window.__vkEdit && window.__vkEdit.token === TOKEN) return;
  var URL_ATTRS = {href:1, src:1, action:1, background:1, cite:1, classid:1, codebase:1, data:1,
                   longdesc:1, profile:1, usemap:1};
  var ed = {token: TOKEN, edit: true, handlers: null, observer: null};

  function post(type, extra) {
    var m = {type: type};
    if (extra) for (var k in extra) m[k] = extra[k];
    console.log(TOKEN + JSON.stringify(m));
  }

  // A whole snapshot reads the base once; a single node's snapshot asks the document.
  var snapBase = null;
  function resolve(v) {
    try { return new URL(v, snapBase || document.baseURI).href; } catch (e) { return v; }
  }

  function doctypeText(d) {
    var s = '<!DOCTYPE ' + d.name;
    if (d.publicId) s += ' PUBLIC "' + d.publicId + '"';
    if (d.systemId) s += (d.publicId ? '' : ' SYSTEM') + ' "' + d.systemId + '"';
    return s + '>';
  }

  // Children by sibling links and attributes read once each: a large page has many nodes.
  function snap(n) {
    var t = n.nodeType;
    if (t === 1) {
      // Names and values as strings: an Attr object per attribute costs the walk most of its time.
      var names = n.hasAttributes() ? n.getAttributeNames() : [], al = names.length, a = new Array(al);
      for (var i = 0; i < al; i++) {
        var name = names[i], value = n.getAttribute(name);
        // getAttribute folds case on HTML elements: a name set in capitals by a script reads by position.
        if (value === null) value = n.attributes[i].value;
        a[i] = URL_ATTRS[name.toLowerCase()] ? [name, value, resolve(value)] : [name, value];
      }
      var c = [], p = n.localName === 'template' && n.content ? n.content : n;
      for (var k = p.firstChild; k; k = k.nextSibling) { var s = snap(k); if (s) c.push(s); }
      return {t: 1, n: n.tagName, a: a, c: c};
    }
    if (t === 3 || t === 4) return {t: 3, d: n.data};
    if (t === 8) return {t: 8, d: n.data};
    if (t === 10) return {t: 10, d: doctypeText(n)};
    return null;
  }

  ed.snapshot = function () {
    var nodes = [];
    snapBase = document.baseURI;
    try {
      for (var i = 0; i < document.childNodes.length; i++) { var s = snap(document.childNodes[i]); if (s) nodes.push(s); }
    } finally {
      snapBase = null;
    }
    var bases = [];
    var b = document.getElementsByTagName('base');
    for (var k = 0; k < b.length; k++) bases.push(b[k].getAttribute('href') === null ? '' : b[k].href);
    return JSON.stringify({url: document.URL, title: document.title, base: bases,
      counts: [document.getElementsByTagName('html').length, document.getElementsByTagName('head').length,
               document.getElementsByTagName('body').length], nodes: nodes});
  };

  // What a whole-document snapshot carries besides its nodes, as JSON.
  function headerText(extra) {
    var bases = [];
    var b = document.getElementsByTagName('base');
    for (var j = 0; j < b.length; j++) bases.push(b[j].getAttribute('href') === null ? '' : b[j].href);
    var h = {url: document.URL, title: document.title, base: bases,
      counts: [document.getElementsByTagName('html').length, document.getElementsByTagName('head').length,
               document.getElementsByTagName('body').length]};
    if (extra) for (var k in extra) h[k] = extra[k];
    return JSON.stringify(h);
  }

  // The whole document for the writer as one text of length-prefixed fields ("S", the header
  // as JSON, then per node a letter and its fields, ")" closing an element): nothing to escape
  // on either side and no object per node, which on a large page is most of the read's time.
  ed.snapshotText = function () {
    var out = [];
    function field(s) { out.push(s.length + ':', s); }
    function walk(n) {
      var t = n.nodeType;
      if (t === 1) {
        var tag = n.tagName;
        out.push('E');
        field(tag);
        // Every call into the document costs: the names are asked without asking first whether any.
        var names = n.getAttributeNames();
        for (var i = 0; i < names.length; i++) {
          var name = names[i], value = n.getAttribute(name);
          if (value === null) value = n.attributes[i].value;
          if (URL_ATTRS[name.toLowerCase()]) { out.push('U'); field(name); field(value); field(resolve(value)); }
          else { out.push('A'); field(name); field(value); }
        }
        var p = tag === 'TEMPLATE' && n.content ? n.content : n;
        for (var k = p.firstChild; k; k = k.nextSibling) walk(k);
        out.push(')');
      } else if (t === 3 || t === 4) { out.push('T'); field(n.data); }
      else if (t === 8) { out.push('C'); field(n.data); }
      else if (t === 10) { out.push('D'); field(doctypeText(n)); }
    }
    out.push('S');
    field(headerText());
    snapBase = document.baseURI;
    try {
      for (var c = document.firstChild; c; c = c.nextSibling) walk(c);
    } finally {
      snapBase = null;
    }
    return out.join('');
  };

  // The whole document for the writer as the engine's own serialization of it, which costs a
  // fraction of a walk that asks the document once per node: "H", the header as JSON, the
  // document's children (the element as its outerHTML), then every URL attribute in document
  // order with its resolution, which the serialization lacks. Foreign content (names in their
  // own case) and template contents (not reached by the URL query) take the walk instead.
  var URL_QUERY = Object.keys(URL_ATTRS).map(function (k) { return '[' + k + ']'; }).join(',');
  ed.sourceText = function () {
    if (!(document instanceof HTMLDocument) || document.querySelector('svg,math,template')) return ed.snapshotText();
    var out = [];
    function field(s) { out.push(s.length + ':', s); }
    out.push('H');
    field(headerText({elements: document.getElementsByTagName('*').length}));
    for (var c = document.firstChild; c; c = c.nextSibling) {
      var t = c.nodeType;
      if (t === 1) { out.push('E'); field(c.outerHTML); }
      else if (t === 8) { out.push('C'); field(c.data); }
      else if (t === 10) { out.push('D'); field(doctypeText(c)); }
    }
    var els = document.querySelectorAll(URL_QUERY);
    snapBase = document.baseURI;
    try {
      for (var i = 0; i < els.length; i++) {
        var n = els[i], names = n.getAttributeNames();
        for (var k = 0; k < names.length; k++) {
          var name = names[k];
          if (!URL_ATTRS[name.toLowerCase()]) continue;
          var value = n.getAttribute(name);
          if (value === null) value = n.attributes[k].value;
          out.push('U'); field(value); field(resolve(value));
        }
      }
    } finally {
      snapBase = null;
    }
    return out.join('');
  };

  ed.documentHtml = function () {
    var s = '';
    for (var i = 0; i < document.childNodes.length; i++) {
      var n = document.childNodes[i];
      if (n.nodeType === 10) s += doctypeText(n) + '\n';
      else if (n.nodeType === 8) s += '<!--' + n.data + '-->\n';
      else if (n.nodeType === 1) s += n.outerHTML;
    }
    return s;
  };

  // Replaces the document's content in place: URL and base stay, nothing navigates.
  ed.setSource = function (html) {
    var d = new DOMParser().parseFromString(html, 'text/html');
    var root = document.importNode(d.documentElement, true);
    if (document.doctype) document.doctype.remove();
    while (document.firstChild) document.removeChild(document.firstChild);
    for (var i = 0; i < d.childNodes.length; i++) {
      var n = d.childNodes[i];
      if (n.nodeType === 10) document.appendChild(document.implementation.createDocumentType(n.name, n.publicId, n.systemId));
      else if (n.nodeType === 8) document.appendChild(document.createComment(n.data));
      else if (n.nodeType === 1) document.appendChild(root);
    }
    if (!document.documentElement) document.appendChild(root);
    ed.attach();
    return true;
  };

  ed.sheet = null;
  ed.setSheet = function (css) {
    try {
      if (!ed.sheet) ed.sheet = new CSSStyleSheet();
      ed.sheet.replaceSync(css);
      var list = (document.adoptedStyleSheets || []).filter(function (s) { return s !== ed.sheet; });
      if (css) list.push(ed.sheet);
      document.adoptedStyleSheets = list;
      return true;
    } catch (e) { return false; }
  };

  ed.setMode = function (edit, divDefault) {
    ed.edit = edit;
    document.designMode = edit ? 'on' : 'off';
    try { document.execCommand('defaultParagraphSeparator', false, divDefault ? 'div' : 'p'); } catch (e) {}
    ed.observe();
    return document.designMode;
  };

  ed.observe = function () {
    if (ed.observer) ed.observer.disconnect();
    ed.observer = null;
    if (!ed.edit) return;
    // Not while the parser builds the document: a large page would queue a record for every
    // node it inserts, and no change before the load ends is the user's.
    if (document.readyState === 'loading') {
      if (!ed.waitingForLoad) {
        ed.waitingForLoad = true;
        document.addEventListener('DOMContentLoaded', function () { ed.waitingForLoad = false; ed.observe(); });
      }
      return;
    }
    // Reported straight from the observer, which already batches a burst: with the page's own
    // scripting off, timers in this world never run, and a queued report was never sent.
    ed.observer = new MutationObserver(function () { post('change'); });
    ed.observer.observe(document, {subtree: true, childList: true, characterData: true, attributes: true});
  };

  // Sent where it happens, as the change report is (timers never run here); the control
  // folds a burst into one display change.
  function display() { post('display'); }
  function click(ev) { post(ev.type); }
  function drop(ev) { ev.preventDefault(); }
  function menu(ev) { ev.preventDefault(); post('contextmenu', {x: ev.clientX, y: ev.clientY}); }

  // Document listeners go with document.open, so they are (re)attached after every write.
  ed.attach = function () {
    var h = ed.handlers || (ed.handlers = {display: display, click: click, drop: drop, menu: menu});
    document.removeEventListener('selectionchange', h.display);
    document.removeEventListener('input', h.display, true);
    document.removeEventListener('click', h.click, true);
    document.removeEventListener('dblclick', h.click, true);
    document.removeEventListener('paste', h.click, true);
    document.removeEventListener('drop', h.drop, true);
    document.removeEventListener('dragover', h.drop, true);
    document.removeEventListener('contextmenu', h.menu, true);
    document.addEventListener('selectionchange', h.display);
    document.addEventListener('input', h.display, true);
    document.addEventListener('click', h.click, true);
    document.addEventListener('dblclick', h.click, true);
    document.addEventListener('paste', h.click, true);
    document.addEventListener('drop', h.drop, true);
    document.addEventListener('dragover', h.drop, true);
    document.addEventListener('contextmenu', h.menu, true);
    ed.observe();
  };

  ed.post = post;
  ed.snap = snap;
  window.__vkEdit = ed;
  ed.attach();
  if (document.readyState !== 'loading') post('ready');
  else document.addEventListener('DOMContentLoaded', function () { post('ready'); });
})();)JS";
} // namespace

QString editorPageScript(const QString &Token)
{
    QString t = Token;
    t.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QString::fromLatin1(kScript).replace(QStringLiteral("%TOKEN%"), QLatin1Char('"') + t + QLatin1Char('"')) +
           editingPageScript();
}
