#include "webgui/WebGuiEditorIo.h"

#include "htmledit/HtmlEditUnit.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/TextConverter.h"
#include "webgui/WebGuiText.h"

#include "platform/TWebbrowser.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <algorithm>

std::string HtmlToSjis(const QString &Html)
{
    std::string whole = toSjis(Html);
    // The converter writes "?" for what Shift_JIS lacks: as many as the text had means none.
    if (std::count(whole.begin(), whole.end(), '?') == Html.count(QLatin1Char('?'))) return whole;
    std::string out;
    out.reserve(whole.size() + 64);
    QString run;  // characters that convert, sent in one piece
    auto flush = [&] {
        if (run.isEmpty()) return;
        out += toSjis(run);
        run.clear();
    };
    for (int i = 0; i < Html.size(); ++i) {
        const QChar c = Html.at(i);
        if (c.unicode() < 0x80) {
            run += c;
            continue;
        }
        char32_t code = c.unicode();
        QString one(c);
        if (c.isHighSurrogate() && i + 1 < Html.size() && Html.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, Html.at(i + 1));
            one += Html.at(++i);
        }
        const std::string s = code > 0xFFFF ? std::string("?") : toSjis(one);
        if (s == "?") {
            flush();
            out += "&#" + std::to_string(unsigned(code)) + ";";
        } else {
            run += one;
        }
    }
    flush();
    return out;
}

bool WaitEditorReady(TProfDHTMLEdit2 *Editor, int TimeoutMs)
{
    if (!Editor) return false;
    QPointer<TProfDHTMLEdit2> ed(Editor);
    QElapsedTimer t;
    t.start();
    while (ed && !ed->TryGetDocument() && t.elapsed() < TimeoutMs && !TWebbrowser::terminating()) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return ed && ed->TryGetDocument();
}

std::string EditorSourceSjis(TProfDHTMLEdit2 *Editor, EditorPart Part)
{
    if (!Editor || !Editor->DocumentReady()) return {};
    QString s;
    switch (Part) {
    case EditorPart::Whole: s = Editor->GetSource(); break;
    case EditorPart::Head: s = Editor->GetHeadSource(); break;
    case EditorPart::Body: s = Editor->GetBodySource(); break;
    }
    if (s == htmledit::kBusy || s == htmledit::kError) return {};
    return HtmlToSjis(s);
}

bool LoadLocalPage(TProfDHTMLEdit2 *Editor, const std::string &FileName, const std::string &Text)
{
    if (!WaitEditorReady(Editor)) return false;
    const std::string folder = folderPart(FileName);
    bool ok = false;
    if (Text == LoadTextFile(FileName)) {
        ok = Editor->LoadFromFile(FileName);
    } else {
        Editor->SetBaseURL(fromSjis(folder));
        Editor->SetSource(fromSjis(ConvertTextToSjis(Text, 0)));
        Editor->SetDocumentFileName(fromSjis(FileName));
        ok = Editor->DocumentReady();
    }
    const std::string w = ConvertTextToSjis(Text, 0);
    Editor->SetOriginalSource(fromSjis(w));
    Editor->SetHtmlAttributes(fromSjis(HtmlAttributesText(w)));
    Editor->SetBodyAttributes(fromSjis(BodyAttributesText(w)));
    Editor->SetBaseURL(fromSjis(folder));
    Editor->SetDirty(false);
    return ok;
}

std::string EditorBodyRoundTrip(TProfDHTMLEdit2 *Editor, const std::string &Html)
{
    if (!WaitEditorReady(Editor)) return {};
    Editor->SetSource(fromSjis(Html));
    return EditorSourceSjis(Editor, EditorPart::Body);
}

namespace {
// One read of the document in the program's own script world: a page script cannot change
// what it answers.
const char *const kPartsScript = R"JS(
var d = document, out = {sheets: [], links: [], images: [], backs: [], scripts: [], iframes: [], styles: [], codes: []};
function attr(el, name) { var v = el.getAttribute(name); return v === null ? '' : String(v); }
for (var i = 0; i < d.styleSheets.length; ++i) {
  var s = d.styleSheets[i], h = '';
  try { h = s.ownerNode && s.ownerNode.getAttribute ? attr(s.ownerNode, 'href') : ''; } catch (x) {}
  if (!h && s.href) h = String(s.href);
  if (h) out.sheets.push(h);
}
for (var i = 0; i < d.links.length; ++i) out.links.push(String(d.links[i].href));
for (var i = 0; i < d.images.length; ++i) if (d.images[i].src) out.images.push(String(d.images[i].src));
var all = d.getElementsByTagName('*');
for (var i = 0; i < all.length; ++i) {
  var el = all[i], b = attr(el, 'background');
  if (!b && el.style && el.style.backgroundImage) {
    var m = /url\(["']?([^"')]+)["']?\)/.exec(el.style.backgroundImage);
    if (m) b = m[1];
  }
  if (b) out.backs.push(b);
}
var sc = d.getElementsByTagName('script');
for (var i = 0; i < sc.length; ++i) {
  if (sc[i].src) out.scripts.push(String(sc[i].src)); else out.codes.push(String(sc[i].text));
}
var st = d.getElementsByTagName('style');
for (var i = 0; i < st.length; ++i) out.styles.push(String(st[i].textContent));
var fr = d.getElementsByTagName('iframe');
for (var i = 0; i < fr.length; ++i) out.iframes.push(attr(fr[i], 'src'));
return out;
)JS";

std::vector<std::string> sjisList(const QVariant &v)
{
    std::vector<std::string> out;
    for (const QVariant &item : v.toList()) out.push_back(toSjis(item.toString()));
    return out;
}

std::string joinedBlocks(const QVariant &v)
{
    QStringList parts;
    for (const QVariant &item : v.toList()) parts << item.toString();
    QString s = parts.join(QStringLiteral("\n"));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return HtmlToSjis(s);
}
}  // namespace

EditorPageParts ReadEditorPageParts(TProfDHTMLEdit2 *Editor)
{
    EditorPageParts p;
    if (!Editor || !Editor->TryGetDocument()) return p;
    const QVariant v = Editor->evalDoc(QString::fromUtf8(kPartsScript));
    if (!v.isValid() || v.isNull()) return p;
    const QVariantMap m = v.toMap();
    p.Ok = true;
    p.StyleSheets = sjisList(m.value(QStringLiteral("sheets")));
    p.Links = sjisList(m.value(QStringLiteral("links")));
    p.Images = sjisList(m.value(QStringLiteral("images")));
    p.BackgroundImages = sjisList(m.value(QStringLiteral("backs")));
    p.ScriptFiles = sjisList(m.value(QStringLiteral("scripts")));
    p.IFrames = sjisList(m.value(QStringLiteral("iframes")));
    p.StyleBlocks = joinedBlocks(m.value(QStringLiteral("styles")));
    p.ScriptBlocks = joinedBlocks(m.value(QStringLiteral("codes")));
    return p;
}
