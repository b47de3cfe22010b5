// The editing control's editing services: caret and selection, the selection's source and
// HTML insertion, tables and the page's parts. Every document read is one bounded script
// call into the page script's editing part.
#include "htmledit/EditingRules.h"
#include "htmledit/HtmlEditUnit.h"
#include "htmledit/PageParts.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "text/StringList.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QWebEngineView>

using namespace htmledit;

namespace {
QString jsQuote(const QString &s)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QJsonObject objectOf(const QString &Json) { return QJsonDocument::fromJson(Json.toUtf8()).object(); }

// The leading digits of a number attribute; 0 when there are none.
int intValue(const QString &S)
{
    int v = 0;
    bool percent = false;
    return ParseHTMLLength(S.trimmed(), v, percent) ? v : 0;
}
} // namespace

QString TProfDHTMLEdit2::evalString(const QString &Script, bool *Ok)
{
    const QVariant v = evalDoc(Script);
    const bool ok = v.isValid() && !v.isNull();
    if (Ok) *Ok = ok;
    return ok ? v.toString() : QString();
}

WriterContext TProfDHTMLEdit2::documentContext()
{
    WriterContext c = writerContext(SourceCodeOptions);
    const QJsonObject o = objectOf(evalString(QStringLiteral(
        "var b=document.getElementsByTagName('base'),h=[];for(var i=0;i<b.length;i++)h.push(b[i].getAttribute('href')===null?'':b[i].href);"
        "return JSON.stringify({url:document.URL,base:h});")));
    c.documentFile = GetDocumentLocation().startsWith(QLatin1Char('/')) ? GetDocumentLocation() : QString();
    c.documentUrl = o.value(QLatin1String("url")).toString();
    const QJsonArray b = o.value(QLatin1String("base")).toArray();
    c.baseHref = b.size() == 1 ? b.at(0).toString() : QString();
    return c;
}

// ---- key rules -------------------------------------------------------------------------

void TProfDHTMLEdit2::pushEditingRules()
{
    KeyRuleFlags f;
    f.UseBr = UseBrOnCarriageReturn;
    f.UseDiv = UseDivOnCarriageReturn;
    const QString table = KeyRuleTable(f);
    rulesState_ = rulesState();
    runDoc(QStringLiteral("e.setRules(%1,%2);").arg(jsQuote(table), WantTabs ? QStringLiteral("true") : QStringLiteral("false")));
}

void TProfDHTMLEdit2::convertParagraphsToDiv()
{
    if (IsBusy()) return;
    const QJsonArray a = QJsonDocument::fromJson(evalString(QStringLiteral("return e.divSnapshot();")).toUtf8()).array();
    if (a.size() != 2) return;
    const QString now = a.at(1).toString();
    const QString conv = ConvertNewParagraphsToDiv(a.at(0).toString(), now);
    if (conv != now) evalDoc(QStringLiteral("return e.setBodyKeepCaret(%1);").arg(jsQuote(conv)));
}

// ---- caret and selection -------------------------------------------------------------

bool TProfDHTMLEdit2::IsWholeDocumentSelected() { return TryGetDocument() && evalDoc(QStringLiteral("return e.whole();")).toBool(); }

int TProfDHTMLEdit2::GetCaretPosition()
{
    if (!TryGetDocument()) return -1;
    const QVariant v = evalDoc(QStringLiteral("return e.caretPos();"));
    return v.isValid() && !v.isNull() ? v.toInt() : -1;
}

void TProfDHTMLEdit2::SetCaretPosition(int Pos)
{
    if (TryGetDocument()) evalDoc(QStringLiteral("return e.setCaret(%1);").arg(std::max(0, Pos)));
}

int TProfDHTMLEdit2::GetSelectionLength()
{
    if (!TryGetDocument()) return -1;
    const QVariant v = evalDoc(QStringLiteral("return e.selLength();"));
    return v.isValid() && !v.isNull() ? v.toInt() : -1;
}

void TProfDHTMLEdit2::SetSelectionLength(int Len)
{
    if (TryGetDocument()) evalDoc(QStringLiteral("return e.setSelLength(%1);").arg(std::max(0, Len)));
}

QString TProfDHTMLEdit2::GetBlockFormat()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString v = evalString(QStringLiteral("return e.blockFormat();"), &ok);
    return ok ? v : kError;
}

bool TProfDHTMLEdit2::IsDefaultBlockFormat()
{
    StringList formats;
    if (!GetBlockFormats(formats) || formats.empty()) return true;
    return GetBlockFormat() == fromSjis(formats[0]);
}

bool TProfDHTMLEdit2::IsInOrderedList()
{
    return TryGetDocument() && evalDoc(QStringLiteral("return document.queryCommandState('insertOrderedList');")).toBool();
}

bool TProfDHTMLEdit2::IsInUnorderedList()
{
    return TryGetDocument() && evalDoc(QStringLiteral("return document.queryCommandState('insertUnorderedList');")).toBool();
}

bool TProfDHTMLEdit2::ShowContextMenu(int X, int Y)
{
    if (!TryGetDocument()) return false;
    auto *page = browser()->page();
    QMenu menu(this);
    for (auto a : {QWebEnginePage::Undo, QWebEnginePage::Redo, QWebEnginePage::Cut, QWebEnginePage::Copy,
                   QWebEnginePage::Paste, QWebEnginePage::SelectAll}) {
        if (a == QWebEnginePage::Cut || a == QWebEnginePage::SelectAll) menu.addSeparator();
        menu.addAction(page->action(a));
    }
    if (menu.actions().isEmpty()) return false;
    menu.popup(browser()->view()->mapToGlobal(QPoint(X, Y)));
    if (!menu.isVisible()) return false;
    menu.exec();  // runs until a choice or a dismissal
    return true;
}

bool TProfDHTMLEdit2::IsImageSelected()
{
    if (!TryGetDocument()) return false;
    const QJsonObject o = objectOf(evalString(QStringLiteral("return e.selectedInfo();")));
    return o.value(QLatin1String("type")).toString() == QLatin1String("Control") && o.value(QLatin1String("tag")).toString() == QLatin1String("IMG");
}

bool TProfDHTMLEdit2::GetSelectedLink(QString &Href, QString &Target)
{
    Href.clear();
    Target.clear();
    if (!TryGetDocument()) return false;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.selectedLink();"), &ok);
    if (!ok) return false;
    const QJsonObject o = objectOf(j);
    const QString v = ConvertUrlAttribute(QStringLiteral("a"), o.value(QLatin1String("v")).toString(),
                                          o.value(QLatin1String("abs")).toString(), documentContext());
    Href = v;
    Target = o.value(QLatin1String("target")).toString();
    return true;
}

QString TProfDHTMLEdit2::GetSelectedText()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString v = evalString(QStringLiteral("return e.selectedText();"), &ok);
    return ok ? v : kError;
}

void TProfDHTMLEdit2::SetSelectedText(const QString &Text)
{
    if (TryGetDocument()) evalDoc(QStringLiteral("return e.setSelectedText(%1);").arg(jsQuote(Text)));
}

bool TProfDHTMLEdit2::GetSelectedTableInfo(int &Rows, int &Cols, QString &Caption, TProfDHTMLEditTableAttrs *Attrs)
{
    if (!TryGetDocument()) return false;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.tableInfo();"), &ok);
    if (!ok) return false;
    const QJsonObject o = objectOf(j);
    auto text = [&](const char *k) { return o.value(QLatin1String(k)).toString(); };
    // Everything is read before anything is written.
    TProfDHTMLEditTableAttrs a;
    if (Attrs) {
        a = *Attrs;
        const QString w = text("width").trimmed();
        int width = 0;
        bool percent = false;
        if (!w.isEmpty() && !ParseHTMLLength(w, width, percent)) return false;
        a.BorderSize = static_cast<unsigned char>(intValue(text("border")));
        a.CellSpacing = static_cast<unsigned char>(intValue(text("cellSpacing")));
        a.CellPadding = static_cast<unsigned char>(intValue(text("cellPadding")));
        a.Background = toSjis(text("background"));
        a.BgColor = text("bgColor").isEmpty() ? clNone : HTMLColorToColorW(text("bgColor"));
        a.BorderColor = text("borderColor").isEmpty() ? clNone : HTMLColorToColorW(text("borderColor"));
        const QString al = text("align");
        a.Align = al == QLatin1String("left") ? haLeft : al == QLatin1String("right") ? haRight : al == QLatin1String("center") ? haCenter : haDefault;
        a.Width = static_cast<unsigned short>(width);
        a.WidthInPercent = !w.isEmpty() && w.endsWith(QLatin1Char('%'));
    }
    if (Attrs) *Attrs = a;
    Rows = o.value(QLatin1String("rows")).toInt();
    Cols = o.value(QLatin1String("cols")).toInt();
    Caption = text("caption");
    return true;
}

QString TProfDHTMLEdit2::GetSelectedElementId()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.selectedInfo();"), &ok);
    return ok ? objectOf(j).value(QLatin1String("id")).toString() : kError;
}

QString TProfDHTMLEdit2::GetSelectedElementClass()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.selectedInfo();"), &ok);
    return ok ? objectOf(j).value(QLatin1String("cls")).toString() : kError;
}

QString TProfDHTMLEdit2::GetSelectionSource()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.selectionSource();"), &ok);
    if (!ok) return kError;
    const QJsonObject o = objectOf(j);
    const QString k = o.value(QLatin1String("k")).toString();
    if (k == QLatin1String("none")) return QString();
    if (k == QLatin1String("text"))
        return PreservesSource() ? o.value(QLatin1String("html")).toString()
                                 : EscapeText(o.value(QLatin1String("text")).toString(), SourceCodeOptions);
    if (PreservesSource()) return RemoveDesignTimeAttributes(o.value(QLatin1String("html")).toString());
    DomNode node;
    if (!ParseSnapshotNode(QString::fromUtf8(QJsonDocument(o.value(QLatin1String("node")).toObject()).toJson(QJsonDocument::Compact)), node))
        return kError;
    const QString src = GenerateSourceCode(node, 0, documentContext());
    return k == QLatin1String("span") ? UnwrapSpanSource(src) : src;
}

QString TProfDHTMLEdit2::GetSelectedElementSource()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.elementSource();"), &ok);
    if (!ok) return kError;
    const QJsonObject o = objectOf(j);
    if (PreservesSource()) return RemoveDesignTimeAttributes(o.value(QLatin1String("html")).toString());
    DomNode node;
    if (!ParseSnapshotNode(QString::fromUtf8(QJsonDocument(o.value(QLatin1String("node")).toObject()).toJson(QJsonDocument::Compact)), node))
        return kError;
    return GenerateSourceCode(node, 0, documentContext());
}

void TProfDHTMLEdit2::SetSelectedElementHTML(const QString &Html)
{
    if (TryGetDocument()) evalDoc(QStringLiteral("return e.setElementHtml(%1);").arg(jsQuote(Html)));
}

bool TProfDHTMLEdit2::CanInsertHTML() { return IsReady() && !QueryBrowseMode(); }

bool TProfDHTMLEdit2::InsertHTML(const QString &Html)
{
    if (!TryGetDocument()) return false;
    return evalDoc(QStringLiteral("return e.insertHtml(%1);").arg(jsQuote(Html))).toBool();
}

// ---- tables ----------------------------------------------------------------------------

bool TProfDHTMLEdit2::InsertTable(int Rows, int Cols, const QString &Caption)
{
    if (!CanInsertTable()) return false;
    return InsertHTML(BuildTableMarkup(Rows, Cols, Caption, TableAttrs, TableCellAttrs));
}

bool TProfDHTMLEdit2::IsInTable() { return TryGetDocument() && evalDoc(QStringLiteral("return e.isInTable();")).toBool(); }

bool TProfDHTMLEdit2::tableCommand(const char *Name, bool Run)
{
    if (!TryGetDocument()) return false;
    return evalDoc(QStringLiteral("return e.table('%1',%2);").arg(QLatin1String(Name), Run ? QStringLiteral("true") : QStringLiteral("false")))
        .toBool();
}

// ---- the page's parts ------------------------------------------------------------------

void TProfDHTMLEdit2::SetModified(bool Value)
{
    if (IsReady() && IsDirty() != Value) SetDirty(Value);
}

QString TProfDHTMLEdit2::GetDocumentText()
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    QString t = evalString(QStringLiteral("return e.documentText();"), &ok);
    if (!ok) return kError;
    t = NormalizeLineEnds(t);
    if (!UseDivOnCarriageReturn && !UseBrOnCarriageReturn) t.replace(QStringLiteral("\r\n"), QStringLiteral("\r\n\r\n"));
    return t;
}

QString TProfDHTMLEdit2::sharedSource()
{
    if (!TryGetDocument()) return kBusy;
    // The page counts its own changes: one generated source serves every list until the next.
    const QString key = QStringLiteral("%1/%2/%3/%4")
                            .arg(documentGeneration())
                            .arg(evalString(QStringLiteral("return String(e.version);")))
                            .arg(SourceCodeOptions)
                            .arg(GetBaseURL());
    if (key == sourceKey_ && !sourceCache_.isEmpty()) return sourceCache_;
    const QString s = GenerateSource(writerContext(SourceCodeOptions));
    if (s == kBusy || s == kError) return s;
    sourceKey_ = key;
    sourceCache_ = s;
    return s;
}

QString TProfDHTMLEdit2::ExtractScriptBlocks()
{
    const QString s = sharedSource();
    return s == kBusy || s == kError ? s : htmledit::ExtractScriptBlocks(s);
}

QString TProfDHTMLEdit2::ExtractStyleBlocks()
{
    const QString s = sharedSource();
    return s == kBusy || s == kError ? s : htmledit::ExtractStyleBlocks(s);
}

namespace {
void addAll(StringList &List, const QStringList &Items)
{
    for (const QString &i : Items) List.add(toSjis(i));
}
} // namespace

bool TProfDHTMLEdit2::GetBackgroundImageList(const std::string &BaseURL, bool Append, StringList &List)
{
    if (!Append) List.clear();
    const QString s = sharedSource();
    if (s == kBusy || s == kError) return false;
    QStringList items;
    const bool found = ScanBackgroundImages(s, fromSjis(BaseURL), items);
    addAll(List, items);
    return found;
}

bool TProfDHTMLEdit2::GetIFrameList(StringList &List)
{
    List.clear();
    const QString s = sharedSource();
    if (s == kBusy || s == kError) return false;
    QStringList items;
    const bool found = ScanIFrames(s, items);
    addAll(List, items);
    return found;
}

bool TProfDHTMLEdit2::GetScriptFileList(StringList &List)
{
    List.clear();
    const QString s = sharedSource();
    if (s == kBusy || s == kError) return false;
    QStringList items;
    ScanScriptFiles(s, GetBaseURL(), items);
    addAll(List, items);
    return true;
}

bool TProfDHTMLEdit2::GetImageList(StringList *List, bool Append)
{
    if (!List || !TryGetDocument()) return false;
    if (!Append) List->clear();
    const QJsonArray a = QJsonDocument::fromJson(evalString(QStringLiteral("return e.urls('images');")).toUtf8()).array();
    if (a.isEmpty()) return false;
    const WriterContext c = documentContext();
    const QString scheme = SchemeOf(c.documentUrl);
    for (const auto &v : a) {
        const QJsonArray p = v.toArray();
        List->add(toSjis(FinishImageUrl(ConvertUrlAttribute(QStringLiteral("img"), p.at(0).toString(), p.at(1).toString(), c), scheme)));
    }
    return true;
}

bool TProfDHTMLEdit2::GetLinkList(StringList *List)
{
    if (!List || !TryGetDocument()) return false;
    List->clear();
    const QJsonArray a = QJsonDocument::fromJson(evalString(QStringLiteral("return e.urls('links');")).toUtf8()).array();
    if (a.isEmpty()) return false;
    const WriterContext c = documentContext();
    const QString scheme = SchemeOf(c.documentUrl);
    for (const auto &v : a) {
        const QJsonArray p = v.toArray();
        List->add(toSjis(FinishLinkUrl(ConvertUrlAttribute(QStringLiteral("a"), p.at(0).toString(), p.at(1).toString(), c), scheme)));
    }
    return true;
}

bool TProfDHTMLEdit2::GetAnchorList(StringList &List)
{
    List.clear();
    if (!TryGetDocument()) return false;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.urls('anchors');"), &ok);
    if (!ok) return false;
    for (const auto &v : QJsonDocument::fromJson(j.toUtf8()).array()) List.add(toSjis(v.toString()));
    return true;
}

bool TProfDHTMLEdit2::GetBlockFormats(StringList &List)
{
    if (!TryGetDocument()) return false;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.blockFormats();"), &ok);
    if (!ok) return false;
    List.setText(toSjis(j));
    return true;
}

QString TProfDHTMLEdit2::GetHrefAtPoint(int X, int Y)
{
    if (!TryGetDocument()) return kBusy;
    bool ok = false;
    const QString j = evalString(QStringLiteral("return e.hrefAt(%1,%2);").arg(X).arg(Y), &ok);
    if (!ok) return kError;
    const QJsonArray a = QJsonDocument::fromJson(j.toUtf8()).array();
    if (a.size() != 2) return QString();
    return ConvertUrlAttribute(QStringLiteral("a"), a.at(0).toString(), a.at(1).toString(), documentContext());
}
