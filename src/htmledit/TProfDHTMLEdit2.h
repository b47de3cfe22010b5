// The HTML editing control: one browser pane whose document is in design mode (or browse
// mode), with page scripts off and the program's own script in an isolated world. Loads wait
// until the new document is complete, a load error or the time bound; every document read is
// one bounded script call; the source the host reads is written by the control's own writer.
#pragma once
#include "htmledit/PendingStates.h"
#include "htmledit/TCustomProfDHTMLEdit.h"
#include "htmledit/TableMarkup.h"
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <string>

class QEventLoop;
class StringList;
class QMenu;
class TWebbrowser;

class TProfDHTMLEdit2 : public TCustomProfDHTMLEdit {
    Q_OBJECT
public:
    explicit TProfDHTMLEdit2(QWidget *parent = nullptr);
    ~TProfDHTMLEdit2() override;

    // Display options; applied at the next document set-up.
    bool UseDivOnCarriageReturn = false;
    bool SourceCodePreservation = false;
    bool ScrollBars = true;
    bool Flat = false;
    bool FlatScrollBars = false;
    void SetFlat(bool Value);
    void SetScrollBars(bool Value) { ScrollBars = Value; }
    void SetFlatScrollBars(bool Value) { FlatScrollBars = Value; }
    // Shown on a right click in the document when it has items.
    QPointer<QMenu> PopupMenu;
    TNotifyEvent OnPaste;

    QString GetAbout() const;
    unsigned GetHostInfo() const;

    bool BrowseMode();
    void SetBrowseMode(bool Value);
    bool QueryBrowseMode();
    bool ShowDetails() const { return FShowDetails; }
    void SetShowDetails(bool Value);
    bool ShowBorders() const { return FShowBorders; }
    void SetShowBorders(bool Value);
    bool ShowGlyphs(bool Show);
    bool ShowZeroBorders(bool Show);

    bool IsBusy() const override { return machine_.busy(); }
    // Whether the document is a page loaded whole (or one the control or the host wrote into
    // it); false while a load is going and after one failed, timed out or was stopped, so
    // that nothing half-loaded is ever written back over the page's file.
    enum class PageLoad { Whole, Loading, Failed };
    PageLoad pageLoad() const { return pageLoad_; }
    bool LoadedWhole() const { return pageLoad_ == PageLoad::Whole && !machine_.busy(); }
    int pendingState() const { return machine_.state(); }
    // The document, unless an operation is pending.
    bool TryGetDocument() const;

    bool LoadURL(const QString &URL);
    // FileName: Shift_JIS; a name without a folder is taken relative to the base URL.
    bool LoadFromFile(const std::string &FileName);
    bool NewDocument();
    void SetSource(const QString &Html);
    // Writes the source: Shift_JIS when every character survives, else UTF-16 with FF FE.
    // A bare name goes to the program's folder. False on "BUSY"/"ERROR" or a failed write;
    // the old file is then untouched.
    bool SaveToFile(const std::string &FileName);
    // The open dialog, then the chosen file loaded (OnOpenDialog when it is in); cancelled:
    // FileName is the document's location and OnOpenDialogCancel fires. "BUSY" while a load
    // is pending.
    void OpenDocument(const QString &InitialDir, QString &FileName);
    // The save dialog, then the source written as SaveToFile writes it; FileName is the
    // document's new location, "" when cancelled, busy or not written (the user is told).
    void SaveDocumentAs(const QString &InitialDir, QString &FileName);
    // Design mode off and on again, the caret and selection kept.
    void RefreshDesignMode();
    // The two dialogs; replaceable so that a test runs without them. "" means cancelled.
    std::function<QString(QWidget *Parent, const QString &InitialDir)> OpenDialog, SaveDialog;
    QString ReadDocumentHTML();
    QString GetDocumentHTML() override { return ReadDocumentHTML(); }
    QString GetBaseElementHref();
    void SetBaseElementHref(const QString &URL);
    QString GetTitle() override;
    QString GetDocumentLocation();
    bool IsDirty() const { return dirty_; }
    void SetDirty(bool Value) { dirty_ = Value; }
    bool PreservesSource() const override { return SourceCodePreservation; }

    QString GenerateSource(const htmledit::WriterContext &Ctx) override;
    QString GenerateElementSource(const QString &Tag, const htmledit::WriterContext &Ctx) override;

    // A script in the program's world of the current document, bounded by Timeout; an
    // invalid answer without a document, on time-out or when the document was replaced.
    QVariant evalDoc(const QString &Script);
    // The engine page, made now if it was deferred.
    TWebbrowser *browser() const;
    // While on, new editors leave their engine page (the costly part of their creation) for
    // startDeferredEngines or their first use, so a window full of editors shows at once.
    static void deferEngines(bool On);
    static void startDeferredEngines();
    void createEngine();
    // Counts documents: engine loads plus the documents the control writes itself.
    quint64 documentGeneration() const;
    // The view's widget that takes keys and the mouse (it changes with the renderer).
    QWidget *focusTarget() const;

    // ---- editing: caret, selection, block formats (TProfDHTMLEdit2Editing.cpp) ----
    bool GetUseDivOnCarriageReturn() const { return UseDivOnCarriageReturn; }
    bool IsWholeDocumentSelected();
    // Characters of the body's text before the caret (a line break counts one); -1 for a
    // selected element, without a document or on error.
    int GetCaretPosition();
    void SetCaretPosition(int Pos);
    int GetSelectionLength();
    void SetSelectionLength(int Len);
    // A tag name ("pre", "h1" ...; the default format is "p"); "BUSY"/"ERROR".
    QString GetBlockFormat();
    bool IsDefaultBlockFormat();
    bool IsInOrderedList();
    bool IsInUnorderedList();
    // The engine's editing actions at a client point; False when no menu can be shown.
    bool ShowContextMenu(int X, int Y);
    bool IsImageSelected();
    bool GetSelectedLink(QString &Href, QString &Target);
    QString GetSelectedText();
    // Replaces the selection by plain text (a line end becomes a line break), one undo step.
    void SetSelectedText(const QString &Text);
    bool InTableCell() { return CanSplitCell(); }
    // False, and nothing written, outside a table or when the table's width cannot be read.
    bool GetSelectedTableInfo(int &Rows, int &Cols, QString &Caption, htmledit::TProfDHTMLEditTableAttrs *Attrs);
    QString GetSelectedElementId();
    QString GetSelectedElementClass();
    // Only the selection is written: "" for none or a caret.
    QString GetSelectionSource();
    QString GetSelectedElementSource();
    void SetSelectedElementHTML(const QString &Html);
    bool InsertHTML(const QString &Html);
    bool CanInsertHTML();

    // ---- tables: each command checks everything before it changes the table ----
    htmledit::TProfDHTMLEditTableAttrs TableAttrs;
    htmledit::TProfDHTMLEditTableCellAttrs TableCellAttrs;
    bool InsertTable(int Rows, int Cols, const QString &Caption);
    bool CanInsertTable() { return CanInsertHTML(); }
    bool IsInTable();
    bool InsertRow() { return tableCommand("insertRow", true); }
    bool CanInsertRow() { return tableCommand("insertRow", false); }
    bool DeleteRow() { return tableCommand("deleteRow", true); }
    bool CanDeleteRow() { return tableCommand("deleteRow", false); }
    bool InsertColumn() { return tableCommand("insertColumn", true); }
    bool CanInsertColumn() { return tableCommand("insertColumn", false); }
    bool DeleteColumn() { return tableCommand("deleteColumn", true); }
    bool CanDeleteColumn() { return tableCommand("deleteColumn", false); }
    bool InsertCell() { return tableCommand("insertCell", true); }
    bool CanInsertCell() { return tableCommand("insertCell", false); }
    bool DeleteCells() { return tableCommand("deleteCells", true); }
    bool CanDeleteCells() { return tableCommand("deleteCells", false); }
    bool SplitCell() { return tableCommand("split", true); }
    bool CanSplitCell() { return tableCommand("split", false); }
    bool MergeCells() { return tableCommand("merge", true); }
    bool CanMergeCells() { return tableCommand("merge", false); }

    // ---- the page's parts; lists hold Shift_JIS lines ----
    void SetModified(bool Value);
    QString GetDocumentText();
    QString ExtractScriptBlocks();
    QString ExtractStyleBlocks();
    bool GetBackgroundImageList(const std::string &BaseURL, bool Append, StringList &List);
    bool GetIFrameList(StringList &List);
    bool GetScriptFileList(StringList &List);
    bool GetImageList(StringList *List, bool Append = false);
    bool GetLinkList(StringList *List);
    bool GetAnchorList(StringList &List);
    bool GetBlockFormats(StringList &List);
    QString GetHrefAtPoint(int X, int Y);

signals:
    // A load's progress in percent, while the control waits for it.
    void LoadProgress(int Percent);

public:

    // ---- the edit-control interface for an outside checker (TProfDHTMLEdit2EditControl.cpp) ----
    // A line is one word of the body (the page's word segmentation); a position is the
    // control's own character position in the body, not an offset into the plain text.
    int EMGetLineCount();
    int EMLineFromChar(int Pos);
    int EMLineIndex(int Line);
    // At most Size bytes of the word in Shift_JIS, no NUL; the number of bytes.
    int EMGetLine(int Line, std::string &Out, int Size);
    int EMGetSel(int *Start, int *End);
    int EMSetSel(int Start, int End);
    int EMReplaceSel(const std::string &Text);
    int EMExGetSel(int &CpMin, int &CpMax);
    // The selected text in Shift_JIS; "BUSY" without a document, "ERROR" after an error.
    std::string EMGetSelText();
    int EMGetFirstVisibleLine() { return 0; }
    int EMLineScroll();
    int EMScrollCaret() { return EMLineScroll(); }
    // Point may not be null (that raises the error the program reports).
    int EMPosFromChar(QPoint *Point, int Pos);
    int EMCharFromPos(const QPoint &Point);
    // Clears the word cache and every underline.
    void WMPaint();
    int editClientMode() const { return FEditClientMode; }
    // Underlined segments since the last WMPaint.
    int highlightCount() const;

protected:
    bool creationDone() const override { return machine_.state() != htmledit::psCreating; }
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    void setRedraw(bool On) override;

private:
    bool waitWhileBusy(int State, const QString &Target);
    // Until the control's first document is set up, bounded by Timeout; false if it is not.
    bool waitForCreation();
    void navigateOwn(const QString &Target);
    void handleTimeout();
    void onLoadStarted();
    void onDocumentComplete(bool Ok, const QString &Url, std::uint64_t Id);
    void dispatch(htmledit::PendingEvent Event);
    // The source a finished load's charset and frames are read from.
    QString loadedSource(bool Loaded);
    void setUpDocument();
    bool applySheet();
    QString sheetText() const;
    void runDoc(const QString &Script);
    // The whole document for the writer; Answered false when the page did not answer.
    htmledit::DomSnapshot documentSnapshot(bool &Answered);
    void onBeforeNavigate(const QString &Url, bool *Cancel);
    void onConsole(const QString &Message);
    void watchFocusProxy();
    bool writeDocument(const QString &Html);
    bool forwardKey(QEvent *Event);
    void sendKey(int Key, Qt::KeyboardModifiers Mods, const QString &Text);
    void pushEditingRules();
    void convertParagraphsToDiv();
    bool tableCommand(const char *Name, bool Run);
    QString evalString(const QString &Script, bool *Ok = nullptr);
    htmledit::WriterContext documentContext();
    QString sharedSource();

    int rulesState() const { return (UseBrOnCarriageReturn ? 1 : 0) | (UseDivOnCarriageReturn ? 2 : 0) | (WantTabs ? 4 : 0); }
    int rulesState_ = -1;  // the flags the page's rules were made for
    QSet<int> eatenKeys_;
    bool passKey_ = false;
    QString sourceCache_, sourceKey_;
    struct EmWord {
        int Start = 0, End = 0;
        QString Text;
        bool InUrl = false;
    };
    bool loadWords();
    void addHighlight(int From, int To);
    int FEditClientMode = 0;
    bool FSkipNextHighlight = false;
    int FLastGetLine = 0, FLastLineIndex = 0;
    const void *FPosQueryBuffer = nullptr;
    int FPendingHighlightStart = 2147483647;
    QPoint FCharFromPosPoint;
    QVector<EmWord> words_;
    bool wordsCached_ = false;
    QWidget *underlines_ = nullptr;

    TWebbrowser *browser_ = nullptr;
    bool engineMade_ = false;
    htmledit::PendingMachine machine_;
    QString token_;
    bool allowNavigation_ = false;
    bool started_ = false;
    bool edit_ = true;  // the mode new documents get
    bool FBrowseMode = false, FShowDetails = false, FShowBorders = false;
    bool dirty_ = false;
    bool glyphsShown_ = false, bordersShown_ = false;
    bool inChange_ = false;
    bool displayQueued_ = false;
    bool waiting_ = false;
    PageLoad pageLoad_ = PageLoad::Whole;
    // The next load's bound in milliseconds (0: the Timeout); a large file gets more time.
    qint64 nextBoundMs_ = 0;
    QString loadedHtml_;  // the document's own serialization, read as the last load ended
    quint64 ownWrites_ = 0;
    quint64 probedGeneration_ = ~quint64(0);  // the document a script has answered in
    QString documentFile_;  // the local file the document was loaded from or saved to
    QEventLoop *waitLoop_ = nullptr;
    QPointer<QWidget> proxy_;
};
