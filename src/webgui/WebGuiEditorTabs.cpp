#include "webgui/WebGuiEditorTabs.h"
#include "htmledit/EditingRules.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The editor fills its sheet.
void fillSheet(QWidget *sheet, QWidget *w)
{
    if (!sheet->layout()) {
        auto *lay = new QVBoxLayout(sheet);
        lay->setContentsMargins(0, 0, 0, 0);
    }
    sheet->layout()->addWidget(w);
}
} // namespace

WebGuiEditorTabs::WebGuiEditorTabs(const WebGuiEditorContext &Ctx, QObject *parent) : QObject(parent), ctx_(Ctx)
{
    popupMenuEditor_ = new QMenu(ctx_.PageControlGUILeft);
    popupMenuEditor_->setObjectName(QStringLiteral("PopupMenuEditor"));
}

TProfDHTMLEdit2 *WebGuiEditorTabs::CreateCanvas(const QString &)
{
    QTabWidget *tabs = ctx_.PageControlGUILeft;
    auto *sheet = new TTabSheet(tabs);
    const int n = tabs->count() + 1;
    sheet->setObjectName(QStringLiteral("EditorTab%1").arg(n));
    tabs->addTab(sheet, QStringLiteral("新規[ %1 ]").arg(n));
    auto *ed = new TProfDHTMLEdit2(sheet);
    ed->setObjectName(QStringLiteral("Editor%1").arg(n));
    fillSheet(sheet, ed);
    ed->SetFlatScrollBars(true);
    ed->PopupMenu = popupMenuEditor_;
    ed->OnCreate = [this](QObject *s) { EditorCreate(s); };
    ed->OnClick = [this](QObject *s) { EditorClick(s); };
    ed->OnDblClick = [this](QObject *s) { EditorDblClick(s); };
    ed->OnChange = [this](QObject *s) { EditorChange(s); };
    ed->OnMouseDown = [this](QObject *s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { EditorMouseDown(s); };
    ed->OnMouseMove = [this](QObject *s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { EditorMouseMove(s); };
    ed->OnMouseUp = [this](QObject *s, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { EditorMouseUp(s); };
    ed->OnKeyDown = [this](QObject *s, int &k, Qt::KeyboardModifiers m) { EditorKeyDown(s, k, m); };
    ed->OnKeyPress = [this](QObject *s, int &k, Qt::KeyboardModifiers) { EditorKeyPress(s, k); };
    ed->OnKeyUp = [this](QObject *s, int &k, Qt::KeyboardModifiers) { EditorKeyUp(s, k); };
    ed->OnSetSource = [this](QObject *s) { EditorSetSource(s); };
    ed->OnDisplayChanged = [this](QObject *s) { EditorDisplayChanged(s); };
    ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
    tabs->setCurrentWidget(sheet);
    if (ctx_.GActiveEditor) *ctx_.GActiveEditor = ed;
    ed->UseBrOnCarriageReturn = true;
    ed->UseDivOnCarriageReturn = true;
    return ed;
}

TProfDHTMLEdit2 *WebGuiEditorTabs::CreateTempEditor(const QString &)
{
    QWidget *sheet = ctx_.PageControlmainBodyRightTab02Download;
    // Hidden: it only loads pages for the download page to read; the page's controls stay.
    auto *ed = new TProfDHTMLEdit2(sheet);
    ed->setObjectName(QStringLiteral("GTempEditor"));
    ed->hide();
    ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
    if (ctx_.GTempEditor) *ctx_.GTempEditor = ed;
    return ed;
}

TProfDHTMLEdit2 *WebGuiEditorTabs::CreateCurrentEditor(const QString &)
{
    QWidget *sheet = ctx_.PageControlGUIRightTab03OrgHTMLSrcRightTab06CurrentEditor;
    auto *ed = new TProfDHTMLEdit2(sheet);
    ed->setObjectName(QStringLiteral("GCurrentEditor"));
    fillSheet(sheet, ed);
    ed->SourceCodeOptions = htmledit::kEditorSourceOptions;
    if (ctx_.GCurrentEditor) *ctx_.GCurrentEditor = ed;
    return ed;
}

void WebGuiEditorTabs::EditorCreate(QObject *) {}
void WebGuiEditorTabs::EditorDblClick(QObject *) {}
void WebGuiEditorTabs::EditorMouseDown(QObject *) {}
void WebGuiEditorTabs::EditorMouseMove(QObject *) {}
void WebGuiEditorTabs::EditorMouseUp(QObject *) {}
void WebGuiEditorTabs::EditorKeyPress(QObject *, int &) {}
void WebGuiEditorTabs::EditorKeyUp(QObject *, int &) {}
void WebGuiEditorTabs::EditorSetSource(QObject *) {}
void WebGuiEditorTabs::EditorDisplayChanged(QObject *) {}

void WebGuiEditorTabs::EditorClick(QObject *Sender)
{
    if (EditorClickHandler) EditorClickHandler(Sender);
}

void WebGuiEditorTabs::EditorChange(QObject *Sender)
{
    if (EditorChangeHandler) EditorChangeHandler(Sender);
}

// Ctrl+V and Shift+Insert paste the clipboard as plain text into the active editor; the
// engine never sees the key, so no markup comes along.
void WebGuiEditorTabs::EditorKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)
{
    if (htmledit::IsPasteAsTextKey(Key, Shift & Qt::ShiftModifier, Shift & Qt::ControlModifier, Shift & Qt::AltModifier)) {
        Key = 0;
        TProfDHTMLEdit2 *ed = ctx_.GActiveEditor ? *ctx_.GActiveEditor : nullptr;
        if (ed) ed->SetSelectedText(QGuiApplication::clipboard()->text());
        return;
    }
    if (EditorKeyDownHandler) EditorKeyDownHandler(Sender, Key, Shift);
}
