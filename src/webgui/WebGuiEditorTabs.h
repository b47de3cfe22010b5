// The WebGUI page's editors: the editor tabs of PageControlGUILeft, the current editor, and
// the two hidden editors that other pages load pages into. It owns the editors' handlers.
#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

class QMenu;
class QTabWidget;
class QWidget;
class TProfDHTMLEdit2;

struct WebGuiEditorContext {
    QTabWidget *PageControlGUILeft = nullptr;
    QWidget *PageControlmainBodyRightTab02Download = nullptr;
    QWidget *PageControlGUIRightTab03OrgHTMLSrcRightTab06CurrentEditor = nullptr;
    // The form's shared pointers, kept current by this page.
    TProfDHTMLEdit2 **GActiveEditor = nullptr;
    TProfDHTMLEdit2 **GTempEditor = nullptr;
    TProfDHTMLEdit2 **GCurrentEditor = nullptr;
};

class WebGuiEditorTabs : public QObject {
    Q_OBJECT
public:
    WebGuiEditorTabs(const WebGuiEditorContext &Ctx, QObject *parent = nullptr);

    // Caption is not read: the tab is "新規[ n ]" with n the tab count after the addition.
    TProfDHTMLEdit2 *CreateCanvas(const QString &Caption = QString());
    TProfDHTMLEdit2 *CreateTempEditor(const QString &Name = QString());
    TProfDHTMLEdit2 *CreateCurrentEditor(const QString &Name = QString());

    // The editors' handlers. These take no action of their own here.
    void EditorCreate(QObject *Sender);
    void EditorDblClick(QObject *Sender);
    void EditorMouseDown(QObject *Sender);
    void EditorMouseMove(QObject *Sender);
    void EditorMouseUp(QObject *Sender);
    void EditorKeyPress(QObject *Sender, int &Key);
    void EditorKeyUp(QObject *Sender, int &Key);
    void EditorSetSource(QObject *Sender);
    void EditorDisplayChanged(QObject *Sender);
    // Hand-over routines: the page that fills the analysis panes assigns what a click and a
    // change do (status bar texts, selected source); until then they do nothing.
    void EditorClick(QObject *Sender);
    void EditorChange(QObject *Sender);
    std::function<void(QObject *)> EditorClickHandler, EditorChangeHandler;
    // Pastes the clipboard as plain text on Ctrl+V and Shift+Insert; other keys go on to the
    // optional handler.
    void EditorKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift);
    std::function<void(QObject *, int &, Qt::KeyboardModifiers)> EditorKeyDownHandler;

    QMenu *PopupMenuEditor() const { return popupMenuEditor_; }

private:
    WebGuiEditorContext ctx_;
    QMenu *popupMenuEditor_ = nullptr;
};
