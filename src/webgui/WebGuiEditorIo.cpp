#include "webgui/WebGuiEditorIo.h"

#include "htmledit/HtmlEditUnit.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiText.h"

#include "platform/TWebbrowser.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <set>

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

std::string PageTextToSjis(const std::string &Text)
{
    std::string sjis = ConvertTextToSjis(Text, ccmAuto);
    // As many "?" as the page had: nothing was lost.
    if (std::count(sjis.begin(), sjis.end(), '?') == std::count(Text.begin(), Text.end(), '?')) return sjis;
    if (sjis != ConvertTextToSjis(Text, ccmUtf8)) return sjis;  // not read as UTF-8
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString page = utf8.decode(QByteArrayView(Text.data(), qsizetype(Text.size())));
    if (utf8.hasError()) return sjis;
    if (page.startsWith(QChar(0xFEFF))) page.remove(0, 1);
    return NormalizeLineBreaks(RenameCharsetDecls(HtmlToSjis(page), "Shift_JIS"));
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
    const std::string onDisk = LoadTextFile(FileName);
    const std::string shown = CloseEmptyXhtmlElements(Text);
    if (shown == onDisk) {
        ok = Editor->LoadFromFile(FileName);
    } else if (Text == onDisk) {
        // The file itself first, so that the document's address is the file's and its images,
        // style sheets and links resolve from its folder; then the same page with its empty
        // elements ended.
        ok = Editor->LoadFromFile(FileName);
        if (ok) {
            Editor->SetSource(fromSjis(PageTextToSjis(shown)));
            ok = Editor->DocumentReady();
        }
    } else {
        Editor->SetBaseURL(fromSjis(folder));
        Editor->SetSource(fromSjis(PageTextToSjis(shown)));
        Editor->SetDocumentFileName(fromSjis(FileName));
        ok = Editor->DocumentReady();
    }
    const std::string w = PageTextToSjis(Text);
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

namespace {
// One spelling per file, whatever way it was named ("./", "//", a link).
QString canonicalName(const std::string &sjisPath)
{
    const QFileInfo f(fromSjis(sjisPath));
    const QString c = f.canonicalFilePath();
    return c.isEmpty() ? f.absoluteFilePath() : c;
}

std::set<QString> &writtenFiles()
{
    static std::set<QString> files;
    return files;
}

bool sameDocument(const QString &editorName, const std::string &pageFile)
{
    if (editorName.isEmpty() || pageFile.empty()) return false;
    QString n = editorName;
    if (n.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) n = QUrl(n).toLocalFile();
    if (n == fromSjis(pageFile)) return true;
    if (IsHttpUrl(pageFile)) return false;
    return canonicalName(toSjis(n)) == canonicalName(pageFile);
}
}  // namespace

QString SaveRefusal(TProfDHTMLEdit2 *Editor, const std::string &PageFile)
{
    if (!Editor) return {};
    const QString file = fromSjis(PageFile);
    QString why;
    if (Editor->pageLoad() == TProfDHTMLEdit2::PageLoad::Loading)
        why = QStringLiteral("ﾍﾟｰｼﾞの読み込みがまだ終わっていません");
    else if (Editor->pageLoad() == TProfDHTMLEdit2::PageLoad::Failed)
        why = QStringLiteral("ﾍﾟｰｼﾞを最後まで読み込めませんでした");
    else if (!PageFile.empty() && !sameDocument(Editor->GetDocumentFileName(), PageFile))
        why = QStringLiteral("ｴﾃﾞｨﾀにこのﾍﾟｰｼﾞが読み込まれていません");
    if (why.isEmpty()) return {};
    return QStringLiteral("%1。保存しません（ﾌｧｲﾙは変更していません）\r\n【 %2 】").arg(why, file);
}

void NotePageWritten(const std::string &FileName)
{
    if (!FileName.empty()) writtenFiles().insert(canonicalName(FileName));
}

BackupSaveResult SavePageOverFile(const std::string &FileName, const std::string &Text)
{
    BackupSaveResult r;
    if (writtenFiles().count(canonicalName(FileName))) {
        // The backup made before this program's first write stays the user's own file.
        r.Save = SaveChosenFile(FileName, Text);
        if (r.Save.ok() && QFileInfo::exists(fromSjis(BackupFileName(FileName)))) r.BackupPath = BackupFileName(FileName);
    } else {
        r = SaveWithBackup(FileName, Text);
    }
    if (r.Save.ok()) NotePageWritten(r.Save.Path.empty() ? FileName : r.Save.Path);
    return r;
}
