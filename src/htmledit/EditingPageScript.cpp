#include "htmledit/EditingPageScript.h"

namespace {
const char *kScript = R"JS((function () {
  var ed = window.__vkEdit;
  if (!ed || ed.editingRules) return;
  ed.editingRules = true;
  ed.rules = ''; ed.wantTabs = false; ed.cleanupPending = ''; ed.divPending = false; ed.bodySnapshot = '';
  var CONTROL = {IMG:1, TABLE:1, HR:1, INPUT:1, SELECT:1, TEXTAREA:1, BUTTON:1, IFRAME:1, OBJECT:1, EMBED:1};
  var FORMATS = ['p', 'pre', 'address', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'dt', 'dd'];

  function tag(e) { return e && e.nodeType === 1 ? e.tagName.toUpperCase() : ''; }

  // The selection as the control sees it: its type, range and selected element.
  ed.sel = function () {
    var s = getSelection();
    if (!s || s.rangeCount === 0) return {type: 'None', range: null, el: document.body};
    var r = s.getRangeAt(0);
    if (r.startContainer === r.endContainer && r.startContainer.nodeType === 1 && r.endOffset === r.startOffset + 1) {
      var n = r.startContainer.childNodes[r.startOffset];
      if (n && CONTROL[tag(n)]) return {type: 'Control', range: r, el: n};
    }
    var c = r.commonAncestorContainer;
    var el = c.nodeType === 1 ? c : c.parentElement;
    return {type: r.collapsed ? 'None' : 'Text', range: r, el: el || document.body};
  };
  function select(r) { var s = getSelection(); s.removeAllRanges(); s.addRange(r); }

  // Character units of the body: every text character, and a line break as one.
  function units(fn) {
    var b = document.body; if (!b) return;
    var w = document.createTreeWalker(b, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT), n;
    while ((n = w.nextNode())) {
      if (n.nodeType === 3) { if (fn(n, n.data.length)) return; }
      else if (n.tagName === 'BR') { if (fn(n, 1)) return; }
    }
  }
  ed.posOf = function (c, o) {
    var at = document.createRange(); at.setStart(c, o); at.collapse(true);
    var count = 0;
    units(function (n, len) {
      if (n === c) { count += o; return true; }
      if (at.comparePoint(n, 0) >= 0) return true;
      count += len; return false;
    });
    return count;
  };
  ed.total = function () { var t = 0; units(function (n, len) { t += len; return false; }); return t; };
  ed.pointAt = function (p) {
    var res = null, count = 0;
    if (!(p > 0)) p = 0;
    units(function (n, len) {
      if (n.nodeType === 3) { if (p <= count + len) { res = [n, p - count]; return true; } }
      else if (p <= count) { res = [n.parentNode, Array.prototype.indexOf.call(n.parentNode.childNodes, n)]; return true; }
      count += len; return false;
    });
    return res || [document.body, document.body.childNodes.length];
  };
  ed.caretPos = function () {
    var s = ed.sel();
    if (s.type === 'Control') return -1;
    return s.range ? ed.posOf(s.range.startContainer, s.range.startOffset) : 0;
  };
  ed.setCaret = function (p) {
    var a = ed.pointAt(p), r = document.createRange();
    r.setStart(a[0], a[1]); r.collapse(true); select(r); return true;
  };
  ed.selLength = function () {
    var s = ed.sel(); if (s.type !== 'Text') return 0;
    return ed.posOf(s.range.endContainer, s.range.endOffset) - ed.posOf(s.range.startContainer, s.range.startOffset);
  };
  ed.setSelLength = function (len) {
    var s = ed.sel(); if (s.type === 'Control') return false;
    var st = s.range ? ed.posOf(s.range.startContainer, s.range.startOffset) : 0;
    var a = ed.pointAt(st), b = ed.pointAt(st + Math.max(0, len)), r = document.createRange();
    r.setStart(a[0], a[1]); r.setEnd(b[0], b[1]); select(r); return true;
  };
  ed.whole = function () {
    var s = ed.sel(); if (s.type !== 'Text') return false;
    var t = ed.total();
    return t > 0 && ed.posOf(s.range.startContainer, s.range.startOffset) === 0 &&
           ed.posOf(s.range.endContainer, s.range.endOffset) === t;
  };

  ed.blockFormat = function () {
    var v = document.queryCommandValue('formatBlock');
    if (typeof v !== 'string') return null;
    v = v.toLowerCase();
    return FORMATS.indexOf(v) > 0 ? v : FORMATS[0];
  };
  ed.blockFormats = function () { return FORMATS.join('\n'); };
  ed.inList = function () {
    return document.queryCommandState('insertOrderedList') || document.queryCommandState('insertUnorderedList');
  };

  // ---- keys and input ----
  var KEY_CLASS = {13: 0, 46: 1, 8: 2, 88: 3, 16: 4, 17: 4, 18: 4};
  ed.setRules = function (table, wantTabs) { ed.rules = table; ed.wantTabs = wantTabs; return true; };
  ed.appendBlank = function () {
    var el = ed.sel().el, t = tag(el);
    if (!el || t === 'BODY' || t === 'TD' || t === 'TH' || t === 'TR' || t === 'HTML') return;
    el.parentNode.insertBefore(document.createTextNode(' '), el.nextSibling);
  };
  // The list (UL or OL) whose empty item holds the caret, when that list stands in no other list.
  function emptyItemList() {
    var s = ed.sel(), li = s.type === 'None' ? s.el : null;
    while (li && tag(li) !== 'LI') { if (li === document.body) return null; li = li.parentElement; }
    if (!li || li.textContent.replace(/[\s\u00a0]/g, '') !== '') return null;
    for (var i = 0; i < li.children.length; i++) if (tag(li.children[i]) !== 'BR') return null;
    var list = li.parentElement, lt = tag(list);
    if (lt !== 'UL' && lt !== 'OL') return null;
    for (var p = list.parentElement; p && p !== document.body; p = p.parentElement)
      if (tag(p) === 'LI' || tag(p) === 'UL' || tag(p) === 'OL') return null;
    return lt;
  }
  function apply(a, ev, cls) {
    if (a === '1') { ev.preventDefault(); document.execCommand('insertLineBreak'); }
    else if (a === '2') { ev.preventDefault(); ed.appendBlank(); }
    else if (a === '3' && cls === 0 && emptyItemList()) {
      // Leaving the list by its own command writes a line break and no block, as one step of
      // the engine's undo history, so one Ctrl+Z brings the item back.
      ev.preventDefault();
      document.execCommand(emptyItemList() === 'OL' ? 'insertOrderedList' : 'insertUnorderedList');
      ed.cleanup('list');
    }
    else if (a === '3' && cls === 1 && !ev.shiftKey && !ev.ctrlKey && !ev.altKey && ed.whole()) {
      // Delete over everything as a backward delete, so the clean-up joins it in one undo step.
      ev.preventDefault();
      document.execCommand('delete');
      ed.cleanup('whole');
    }
    else if (a === '3') ed.cleanupPending = cls === 0 ? 'list' : 'whole';
    else if (a === '4') { ed.divPending = true; ed.bodySnapshot = document.body ? document.body.innerHTML : ''; }
  }
  function keyDown(ev) {
    if (!ed.edit || !ed.rules || ev.isComposing || ev.keyCode === 229) return;
    var k = ev.keyCode;
    if (k === 9 && ed.wantTabs && !ev.ctrlKey && !ev.altKey) {
      ev.preventDefault(); document.execCommand('insertText', false, '\t'); return;
    }
    var cls = KEY_CLASS.hasOwnProperty(k) ? KEY_CLASS[k] : 5;
    var bits = (ev.shiftKey ? 1 : 0) | (ev.ctrlKey ? 2 : 0) | (ev.altKey ? 4 : 0);
    if (cls === 0 && !(bits & 7)) {
      if (ed.inList()) bits |= 8;
      if (ed.blockFormat() === FORMATS[0]) bits |= 16;
    }
    if (cls !== 4 && ed.sel().type === 'Text' && ed.whole()) bits |= 32;
    apply(ed.rules.charAt(cls * 64 + bits), ev, cls);
  }
  function beforeInput(ev) {
    if (!ed.edit || !ed.rules || !/^insert(Text|CompositionText|FromComposition|ReplacementText)$/.test(ev.inputType)) return;
    if (ed.sel().type !== 'Text' || !ed.whole()) return;
    var a = ed.rules.charAt(6 * 64 + 32);
    // Typing over everything: the engine deletes, its leftover block goes, then the text.
    if (a === '3' && ev.inputType === 'insertText' && ev.cancelable && typeof ev.data === 'string') {
      ev.preventDefault();
      document.execCommand('delete');
      ed.cleanup('whole');
      document.execCommand('insertText', false, ev.data);
      return;
    }
    apply(a, ev, 6);
  }
  // The engine's empty block at the caret goes; its line break stays. After a whole-document
  // edit the body's only (empty) block goes through the engine's own delete, so the engine's
  // undo history still matches the document.
  ed.cleanup = function (kind) {
    var b = document.body, el = ed.sel().el;
    while (el && el !== b && tag(el) !== 'P' && tag(el) !== 'DIV') el = el.parentElement;
    if (!el || el === b || !el.parentNode) return false;
    var empty = el.textContent.replace(/[\s\u00a0]/g, '') === '';
    for (var i = 0; empty && i < el.children.length; i++) if (tag(el.children[i]) !== 'BR') empty = false;
    if (!empty) return false;
    var r = document.createRange();
    if (kind === 'whole') {
      if (el.parentNode !== b || b.children.length !== 1 || b.textContent.replace(/[\s\u00a0]/g, '') !== '') return false;
      // A backward delete at the caret joins the engine's open backward delete, so one undo
      // takes back both.
      document.execCommand('delete');
      if (el.isConnected) { r.selectNode(el); select(r); document.execCommand('delete'); }
      return true;
    }
    if (!el.firstChild) el.appendChild(document.createElement('br'));
    var first = el.firstChild, parent = el.parentNode;
    while (el.firstChild) parent.insertBefore(el.firstChild, el);
    parent.removeChild(el);
    r.setStartBefore(first); r.collapse(true); select(r);
    return true;
  };
  function input() {
    if (!ed.edit) return;
    if (ed.divPending) { ed.divPending = false; ed.post('div'); }
    if (ed.cleanupPending) { var k = ed.cleanupPending; ed.cleanupPending = ''; ed.cleanup(k); }
  }
  ed.divSnapshot = function () { return JSON.stringify([ed.bodySnapshot, document.body ? document.body.innerHTML : '']); };
  ed.setBodyKeepCaret = function (html) {
    var c = ed.caretPos(), l = ed.selLength();
    document.body.innerHTML = html;
    ed.setCaret(c); if (l > 0) ed.setSelLength(l);
    return true;
  };
  // In edit mode a click on an image or another control element selects it whole.
  function clickSelect(ev) {
    if (!ed.edit) return;
    var t = ev.target;
    if (CONTROL[tag(t)] && tag(t) !== 'TABLE' && t.parentNode) { var r = document.createRange(); r.selectNode(t); select(r); }
  }

  // ---- selection reads and writes ----
  function cloneSpan(r) { var s = document.createElement('span'); if (r) s.appendChild(r.cloneContents()); return s; }
  ed.selectionSource = function () {
    var s = ed.sel();
    if (s.type === 'None') return JSON.stringify({k: 'none'});
    if (s.type === 'Control') return JSON.stringify({k: 'node', node: ed.snap(s.el), html: s.el.outerHTML});
    var span = cloneSpan(s.range), t = span.innerHTML;
    if (t.indexOf('<') < 0 && t.indexOf('>') < 0) return JSON.stringify({k: 'text', text: s.range.toString(), html: t});
    var o = s.el.outerHTML;
    if (t === o || t.indexOf(o) === 0) return JSON.stringify({k: 'node', node: ed.snap(s.el), html: t});
    return JSON.stringify({k: 'span', node: ed.snap(span), html: t});
  };
  ed.elementSource = function () { var e = ed.sel().el; return JSON.stringify({node: ed.snap(e), html: e.outerHTML}); };
  ed.setElementHtml = function (html) {
    var e = ed.sel().el, t = tag(e);
    if (!e || t === 'BODY' || t === 'TD' || t === 'TH' || t === 'TR' || t === 'HTML' || e.outerHTML === html) return false;
    e.outerHTML = html; return true;
  };
  ed.selectedText = function () { var s = ed.sel(); return s.type === 'Text' ? s.range.toString() : ''; };
  function ensureRange() {
    var s = getSelection();
    if (s.rangeCount === 0 && document.body) { var r = document.createRange(); r.setStart(document.body, 0); r.collapse(true); select(r); }
  }
  ed.setSelectedText = function (text) {
    ensureRange();
    var s = ed.sel(); if (s.type === 'Control' || !s.range) return false;
    if (s.range.toString() === text) return true;
    if (text === '') { if (!s.range.collapsed) document.execCommand('delete'); return true; }
    // Typing commands in a row: the engine keeps them as one undo step.
    var lines = text.split(/\r\n|\r|\n/);
    for (var i = 0; i < lines.length; i++) {
      if (i > 0) document.execCommand('insertLineBreak');
      if (lines[i] !== '') document.execCommand('insertText', false, lines[i]);
    }
    return true;
  };
  ed.insertHtml = function (html) {
    if (!ed.edit) return false;
    ensureRange();
    var bf = document.getElementsByTagName('basefont'), keep = bf.length === 1 ? bf[0] : null;
    var s = ed.sel(); if (!s.range) return false;
    var same = s.type === 'Control' ? s.el.outerHTML === html : cloneSpan(s.range).innerHTML === html;
    if (!same) document.execCommand('insertHTML', false, html);
    var heads = document.getElementsByTagName('head');
    if (keep && keep.isConnected && heads.length === 1 && keep.parentNode !== heads[0]) heads[0].appendChild(keep);
    return true;
  };
  ed.selectedLink = function () {
    var e = ed.sel().el;
    while (e && tag(e) !== 'A') e = e.parentElement;
    if (!e) return null;
    var v = e.getAttribute('href');
    return JSON.stringify({v: v === null ? '' : v, abs: v === null ? '' : e.href, target: e.getAttribute('target') || ''});
  };
  ed.selectedInfo = function () {
    var s = ed.sel();
    return JSON.stringify({type: s.type, tag: tag(s.el), id: s.el ? s.el.id || '' : '', cls: s.el ? s.el.className || '' : ''});
  };

  // ---- tables ----
  function nearest(s, section) {
    var w = {cell: null, row: null, table: null};
    if (s.type === 'Control') return w;
    for (var e = s.el; e; e = e.parentElement) {
      var t = tag(e);
      if (t === 'TD' || t === 'TH') { if (!w.cell) w.cell = e; }
      else if (t === 'TR') { if (!w.row) w.row = e; }
      else if (t === 'TABLE' || (section && t === 'TBODY')) { w.table = e; break; }
    }
    return w;
  }
  function cellsOf(table) {
    var out = [];
    for (var i = 0; i < table.rows.length; i++) for (var j = 0; j < table.rows[i].cells.length; j++) out.push(table.rows[i].cells[j]);
    return out;
  }
  function colPos(cell) {
    var p = 0, row = cell.parentElement;
    for (var i = 0; i < cell.cellIndex; i++) p += row.cells[i].colSpan;
    return p;
  }
  function copyAttrs(from, to, names) {
    for (var i = 0; i < names.length; i++) {
      var v = from.getAttribute(names[i]);
      if (v !== null && !(names[i] === 'background' && v === '')) to.setAttribute(names[i], v);
    }
  }
  var LOOK = ['align', 'valign', 'bgcolor', 'nowrap', 'background', 'bordercolor', 'bordercolorlight', 'bordercolordark'];
  function selBounds(s) {
    return [ed.posOf(s.range.startContainer, s.range.startOffset), ed.posOf(s.range.endContainer, s.range.endOffset)];
  }
  function inside(b, cell) {
    return b[0] <= ed.posOf(cell, 0) && b[1] >= ed.posOf(cell, cell.childNodes.length);
  }
  function pathOf(root, n) {
    var p = [];
    for (; n && n !== root; n = n.parentNode) p.unshift(Array.prototype.indexOf.call(n.parentNode.childNodes, n));
    return n === root ? p : null;
  }
  function nodeAt(root, p) { for (var i = 0; root && p && i < p.length; i++) root = root.childNodes[p[i]]; return root; }
  // The control's own change of a table (Html: the new table, null: none) goes through the
  // engine's HTML insertion or deletion, so it is one step of the engine's undo history. Where
  // the engine would write the table differently, that step is taken back and InPlace changes
  // the document directly. The caret keeps its character position.
  var TABLE_PARTS = {TABLE: 1, THEAD: 1, TBODY: 1, TFOOT: 1, TR: 1};
  // The engine's insertion drops the blanks between a table's rows and cells, which show
  // nothing: the copy goes without them, so what is inserted can be checked as it stands.
  function withoutTableBlanks(t) {
    var w = document.createTreeWalker(t, NodeFilter.SHOW_TEXT), n, drop = [];
    while ((n = w.nextNode())) if (TABLE_PARTS[tag(n.parentNode)] && !/[^\s]/.test(n.data)) drop.push(n);
    drop.forEach(function (x) { x.remove(); });
    return t;
  }
  function commitTable(live, copy, inPlace) {
    var html = copy ? withoutTableBlanks(copy).outerHTML : null;
    var pos = ed.caretPos(), len = ed.selLength(), parent = live.parentNode, prev = live.previousSibling;
    var r = document.createRange(); r.selectNode(live); select(r);
    var ok = html === null ? document.execCommand('delete') : document.execCommand('insertHTML', false, html);
    var done = ok && !live.isConnected;
    if (done && html !== null) {
      done = false;
      for (var n = prev ? prev.nextSibling : parent.firstChild, k = 0; n && k < 3 && !done; n = n.nextSibling, k++)
        done = n.nodeType === 1 && n.outerHTML === html;
    }
    if (!done) {
      if (ok) document.execCommand('undo');
      if (!live.isConnected) return false;
      inPlace();
    }
    if (pos >= 0) { ed.setCaret(pos); if (len > 0) ed.setSelLength(len); }
    return true;
  }
  function tableOf(n) { while (n && tag(n) !== 'TABLE') n = n.parentElement; return n; }
  ed.isInTable = function () {
    var s = ed.sel();
    if (s.type === 'Control') return tag(s.el) === 'TABLE';
    for (var e = s.el; e; e = e.parentElement) if (tag(e) === 'TABLE') return true;
    return false;
  };
  ed.tableInfo = function () {
    var s = ed.sel(), t = s.type === 'Control' ? s.el : nearest(s).table;
    if (!t || tag(t) !== 'TABLE') return null;
    var cols = 0;
    for (var i = 0; i < t.rows.length; i++) cols = Math.max(cols, t.rows[i].cells.length);
    function a(n) { var v = t.getAttribute(n); return v === null ? '' : v; }
    return JSON.stringify({rows: t.rows.length, cols: cols, caption: t.caption ? t.caption.innerText : '',
      border: a('border'), cellSpacing: a('cellspacing'), cellPadding: a('cellpadding'), background: a('background'),
      bgColor: a('bgcolor'), borderColor: a('bordercolor'), align: a('align'), width: a('width')});
  };
  // One entry for every table command: the check, and the change when Run is set. Nothing
  // changes unless everything the command needs was found first.
  ed.table = function (name, run) {
    var s = ed.sel();
    if (s.type === 'Control' || !s.range) return false;
    var w = nearest(s, name === 'merge'), i, b;
    var live = null, copy = null;
    // Run: the checks done on the document, the command works on a copy of the table, which
    // then replaces the document's table in one step.
    function work(n) {
      if (!n) return n;
      if (!live) { live = tableOf(w.table); copy = live.cloneNode(true); }
      return nodeAt(copy, pathOf(live, n));
    }
    function finish(gone) {
      var c = copy, l = live;
      if (!l) return true;
      if (gone === undefined) gone = !cellsOf(c).length;
      return commitTable(l, gone ? null : c, function () { if (gone) l.remove(); else l.replaceWith(c); });
    }
    switch (name) {
    case 'insertRow': case 'deleteRow':
      if (!w.table || !w.row || w.row.rowIndex < 0) return false;
      if (!run) return true;
      var R = w.row.rowIndex, wt = work(w.table);
      if (name === 'deleteRow') { wt.deleteRow(R); return finish(!wt.rows.length); }
      var model = work(w.row), nr = wt.insertRow(R);
      for (i = 0; i < model.cells.length; i++) {
        var c = nr.insertCell(i);
        copyAttrs(model.cells[i], c, ['colspan'].concat(LOOK, ['width', 'height', 'class']));
      }
      return finish();
    case 'insertColumn': case 'deleteColumn': case 'insertCell': case 'split':
      if (!w.table || !w.row || !w.cell) return false;
      if (!run) return true;
      var P = colPos(w.cell), rows = work(w.table).rows, plan = [], r, j, p;
      w = {table: work(w.table), row: work(w.row), cell: work(w.cell)};
      if (name === 'insertColumn') {
        for (r = 0; r < rows.length; r++) {
          var ref = null;
          for (j = 0, p = 0; j < rows[r].cells.length; p += rows[r].cells[j].colSpan, j++) if (p >= P) { ref = rows[r].cells[j]; break; }
          if (!ref && rows[r].cells.length) ref = rows[r].cells[rows[r].cells.length - 1];
          plan.push([rows[r], ref]);
        }
        plan.forEach(function (x) {
          var nc = x[0].insertCell(x[1] ? x[1].cellIndex : 0);
          if (!x[1]) return;
          copyAttrs(x[1], nc, LOOK.concat(['class', 'rowspan', 'height']));
          var wv = x[1].getAttribute('width');
          if (x[1].colSpan === 1 && wv !== null && wv.indexOf('%') < 0) nc.setAttribute('width', wv);
        });
        return finish();
      }
      if (name === 'deleteColumn') {
        for (r = 0; r < rows.length; r++) {
          for (j = 0, p = 0; j < rows[r].cells.length; p += rows[r].cells[j].colSpan, j++) {
            var cc = rows[r].cells[j];
            if (p <= P && P < p + cc.colSpan) { plan.push(cc); break; }
          }
        }
        plan.forEach(function (x) { x.remove(); });
        return finish();
      }
      var K = w.cell.cellIndex, cell = w.cell;
      var n = w.row.insertCell(name === 'split' ? K + 1 : K);
      copyAttrs(cell, n, ['rowspan', 'colspan'].concat(LOOK, ['width', 'height']));
      if (name === 'split') {
        for (r = 0; r < rows.length; r++) {
          if (rows[r] === w.row) continue;
          for (j = 0, p = 0; j < rows[r].cells.length; p += rows[r].cells[j].colSpan, j++)
            if (p === P) { rows[r].cells[j].colSpan += 1; break; }
        }
      }
      return finish();
    case 'merge':
      if (w.cell || !w.row) return false;
      b = selBounds(s);
      var list = [];
      for (i = 0; i < w.row.cells.length; i++) if (inside(b, w.row.cells[i])) list.push(w.row.cells[i]);
      if (list.length < 2) return false;
      if (!run) return true;
      list = list.map(work);
      var first = list[0];
      for (i = 1; i < list.length; i++) { first.innerHTML += list[i].innerHTML; first.colSpan += list[i].colSpan; list[i].remove(); }
      return finish();
    case 'deleteCells':
      var victims = [];
      if (w.cell) victims = [w.cell];
      else if (w.row || w.table) {
        b = selBounds(s);
        var pool = w.row ? Array.prototype.slice.call(w.row.cells) : cellsOf(w.table);
        victims = pool.filter(function (c) { return inside(b, c); });
      }
      if (!victims.length) return false;
      if (!run) return true;
      // A cell's own table stays when its last cell goes, as before; a selection over the
      // table's cells takes an emptied table along.
      var keepEmpty = !!(w.cell || w.row);
      victims.map(work).forEach(function (c) { var row = c.parentElement; c.remove(); if (!row.cells.length) row.remove(); });
      if (keepEmpty && !cellsOf(copy).length) {
        var l = live, c = copy;
        return commitTable(l, c, function () { l.replaceWith(c); });
      }
      return finish();
    }
    return false;
  };

  // ---- the page's lists ----
  ed.urls = function (what) {
    var out = [], list, i;
    if (what === 'images') {
      list = document.images;
      for (i = 0; i < list.length; i++) { var v = list[i].getAttribute('src'); out.push([v === null ? '' : v, v === null ? '' : list[i].src]); }
    } else if (what === 'links') {
      list = document.links;
      for (i = 0; i < list.length; i++) out.push([list[i].getAttribute('href') || '', list[i].href]);
    } else {
      list = document.querySelectorAll('a[name], a[id]');
      for (i = 0; i < list.length; i++) out.push(list[i].getAttribute('name') || list[i].id || '');
    }
    return JSON.stringify(out);
  };
  ed.hrefAt = function (x, y) {
    var e = document.elementFromPoint(x, y);
    while (e && (e.getAttribute('href') === null || tag(e) === 'IMG')) e = e.parentElement;
    if (!e) return JSON.stringify(null);
    return JSON.stringify([e.getAttribute('href'), e.href || e.getAttribute('href')]);
  };
  ed.documentText = function () { return document.body ? document.body.innerText : ''; };

  // ---- words and positions for an outside checker ----
  var URL_TEXT = /(?:https?|ftp|file):\/\/[^\s<>"]+|www\.[^\s<>"]+/gi;
  ed.words = function () {
    var out = [], count = 0;
    var seg = typeof Intl !== 'undefined' && Intl.Segmenter ? new Intl.Segmenter('ja', {granularity: 'word'}) : null;
    units(function (n, len) {
      if (n.nodeType === 3 && seg) {
        var link = n.parentElement && n.parentElement.closest('a[href]'), urls = [], m;
        URL_TEXT.lastIndex = 0;
        while ((m = URL_TEXT.exec(n.data))) urls.push([m.index, m.index + m[0].length]);
        for (var s of seg.segment(n.data)) {
          if (!s.isWordLike) continue;
          var a = s.index, b = a + s.segment.length;
          var inUrl = !!link || urls.some(function (u) { return u[0] <= a && b <= u[1]; });
          out.push([count + a, count + b, s.segment, inUrl]);
        }
      }
      count += len;
      return false;
    });
    return JSON.stringify(out);
  };
  function rangeBetween(a, b) {
    var p = ed.pointAt(a), q = ed.pointAt(Math.max(a, b)), r = document.createRange();
    r.setStart(p[0], p[1]); r.setEnd(q[0], q[1]);
    return r;
  }
  ed.rectsBetween = function (a, b) {
    var rs = rangeBetween(a, b).getClientRects(), out = [];
    for (var i = 0; i < rs.length; i++) if (rs[i].width > 0) out.push([rs[i].left, rs[i].top, rs[i].width, rs[i].height]);
    return JSON.stringify(out);
  };
  ed.selectBetween = function (a, b) { select(rangeBetween(a, b)); return true; };
  ed.selPositions = function () {
    var s = ed.sel();
    if (!s.range) return JSON.stringify([0, 0]);
    return JSON.stringify([ed.posOf(s.range.startContainer, s.range.startOffset), ed.posOf(s.range.endContainer, s.range.endOffset)]);
  };
  ed.posAtPoint = function (x, y) {
    var r = document.caretRangeFromPoint(x, y);
    return r ? ed.posOf(r.startContainer, r.startOffset) : 0;
  };

  // ---- table borders: hover, hit test and drag, all in client coordinates ----
  var rz = {on: false, table: null, rows: false, col: 0, row: 0, hoverColEnd: 0, hoverRow: 0, hitCol: 0, hitRow: 0,
            last: 0, cursorHit: 0, override: false, sheet: null, changed: []};
  ed.resize = rz;
  ed.hitBorder = function (ev) {
    var el = ev.target, t = tag(el), res = 0;
    if (t === 'TD' || t === 'TH') {
      var r = el.getClientRects()[0], row = el.parentElement;
      if (!r || tag(row) !== 'TR') return rz.last;
      var x = ev.clientX, y = ev.clientY;
      if (r.top + 3 <= y && y <= r.bottom - 3) {
        if (r.left - 3 <= x && x <= r.left + 3) { if (el.cellIndex > 0) { res = 2; rz.hitCol = el.colSpan; } }
        else if (r.right - 3 <= x && x <= r.right + 3) { if (el.cellIndex < row.cells.length - 1) { res = 2; rz.hitCol = 0; } }
      } else if (y >= r.top + 3) { res = 1; rz.hitRow = 0; }
      else if (row.rowIndex > 0) { res = 1; rz.hitRow = el.rowSpan; }
    } else if (t === 'TABLE') res = rz.last;
    rz.last = res;
    return res;
  };
  function setResizeCursor(kind) {
    var show = kind !== 0;
    if (show === rz.override) return;
    rz.override = show;
    if (!rz.sheet) rz.sheet = new CSSStyleSheet();
    rz.sheet.replaceSync(show ? '*{cursor:' + (kind === 1 ? 'row-resize' : 'col-resize') + '!important}' : '');
    var list = (document.adoptedStyleSheets || []).filter(function (x) { return x !== rz.sheet; });
    list.push(rz.sheet);
    document.adoptedStyleSheets = list;
  }
  function hoverCell(el) {
    var n = 0, row = el.parentElement;
    for (var i = 0; i <= el.cellIndex; i++) n += row.cells[i].colSpan;
    rz.hoverColEnd = n; rz.hoverRow = row.rowIndex + 1;
  }
  // Each attribute a drag sets, with its value before the drag.
  function dragSet(el, name, v) {
    if (!rz.changed.some(function (x) { return x[0] === el && x[1] === name; })) rz.changed.push([el, name, el.getAttribute(name)]);
    el.setAttribute(name, String(v));
  }
  function putBack(list) {
    for (var i = list.length - 1; i >= 0; i--) {
      if (list[i][2] === null) list[i][0].removeAttribute(list[i][1]); else list[i][0].setAttribute(list[i][1], list[i][2]);
    }
  }
  // The finished drag becomes one step of the engine's undo history: the table goes back to
  // how it was and its sized copy replaces it.
  function commitDrag() {
    var tb = rz.table, list = rz.changed;
    rz.changed = [];
    if (!tb || !list.length || !tb.isConnected) return;
    var sized = tb.cloneNode(true), final = list.map(function (x) { return [x[0], x[1], x[0].getAttribute(x[1])]; });
    putBack(list);
    commitTable(tb, sized, function () { putBack(final); });
  }
  function pointerMove(ev) {
    if (!ed.edit) return;
    if (!rz.on) {
      var h = ed.hitBorder(ev), t = tag(ev.target);
      if ((h !== 0 || rz.override) && (t === 'TD' || t === 'TH')) hoverCell(ev.target);
      if (h !== rz.cursorHit) { rz.cursorHit = h; setResizeCursor(h); }
      return;
    }
    var tb = rz.table;
    if (rz.rows) {
      var row = tb.rows[rz.row - 1];
      if (!row) return;
      var hh = Math.round(ev.clientY - row.getBoundingClientRect().top);
      if (hh > 0) dragSet(row, 'height', hh);
      return;
    }
    for (var i = 0; i < tb.rows.length; i++) {
      var n = 0, cells = tb.rows[i].cells;
      for (var j = 0; j < cells.length; j++) {
        n += cells[j].colSpan;
        if (n === rz.col) {
          var w = Math.round(ev.clientX - cells[j].getBoundingClientRect().left);
          if (w > 0) dragSet(cells[j], 'width', w);
          break;
        }
        if (n > rz.col) break;
      }
    }
  }
  function pointerDown(ev) {
    if (!ed.edit || !rz.override || ev.button !== 0) return;
    var h = ed.hitBorder(ev);
    if (h === 2) { rz.col = rz.hoverColEnd - rz.hitCol; rz.rows = false; }
    else { rz.row = rz.hoverRow - rz.hitRow; rz.rows = true; }
    var tb = ev.target;
    while (tb && tag(tb) !== 'TABLE') tb = tb.parentElement;
    if (!tb) return;
    rz.table = tb; rz.on = true; rz.changed = [];
    try { tb.setPointerCapture(ev.pointerId); } catch (e) {}
    ev.preventDefault();
  }
  function mouseDown(ev) { if (rz.on) ev.preventDefault(); }
  // Pixel sizes that the engine leaves inline on a selected image or table become attributes;
  // other units stay where they are.
  ed.sizeToAttributes = function () {
    var s = ed.sel(), t = tag(s.el);
    if (s.type !== 'Control' || (t !== 'IMG' && t !== 'TABLE')) return false;
    ['width', 'height'].forEach(function (p) {
      var m = /^\s*(\d+(?:\.\d+)?)px\s*$/.exec(s.el.style.getPropertyValue(p));
      if (!m) return;
      s.el.style.removeProperty(p);
      s.el.setAttribute(p, String(Math.round(parseFloat(m[1]))));
    });
    if (s.el.getAttribute('style') === '') s.el.removeAttribute('style');
    return true;
  };
  function pointerUp(ev) {
    if (rz.on) {
      rz.on = false;
      try { rz.table.releasePointerCapture(ev.pointerId); } catch (e) {}
      commitDrag();
    }
    if (ed.edit) ed.sizeToAttributes();
  }

  // Counts the document's changes, so one generated source can serve until the next.
  // Not while the parser builds the document: no source is read before the load ends, and a
  // large page would queue a record for every node the parser inserts.
  ed.version = 0;
  ed.countChanges = function (loadOver) {
    if (ed.counter || (document.readyState === 'loading' && !loadOver)) return;
    ed.counter = new MutationObserver(function () { ed.version++; });
    ed.counter.observe(document, {subtree: true, childList: true, characterData: true, attributes: true});
  };
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', function () { ed.countChanges(); });
  ed.countChanges();
  // The control sets the mode once a load has ended, also one that stopped before the parser did.
  var setMode = ed.setMode;
  ed.setMode = function (edit, divDefault) {
    var mode = setMode(edit, divDefault);
    ed.countChanges(true);
    return mode;
  };

  var attach = ed.attach;
  ed.attachEditing = function () {
    document.removeEventListener('keydown', keyDown, true);
    document.removeEventListener('beforeinput', beforeInput, true);
    document.removeEventListener('input', input, true);
    document.removeEventListener('click', clickSelect, true);
    document.removeEventListener('pointermove', pointerMove, true);
    document.removeEventListener('pointerdown', pointerDown, true);
    document.removeEventListener('pointerup', pointerUp, true);
    document.removeEventListener('mousedown', mouseDown, true);
    document.addEventListener('pointermove', pointerMove, true);
    document.addEventListener('pointerdown', pointerDown, true);
    document.addEventListener('pointerup', pointerUp, true);
    document.addEventListener('mousedown', mouseDown, true);
    document.addEventListener('keydown', keyDown, true);
    document.addEventListener('beforeinput', beforeInput, true);
    document.addEventListener('input', input, true);
    document.addEventListener('click', clickSelect, true);
  };
  ed.attach = function () { attach(); ed.attachEditing(); ed.countChanges(); };
  ed.attachEditing();
})();)JS";
} // namespace

QString editingPageScript() { return QString::fromUtf8(kScript); }
