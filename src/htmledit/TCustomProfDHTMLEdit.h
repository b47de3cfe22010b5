// The editing control's base: options, the host's texts and accessors, and the chains that
// make the source the host reads out of the stored page source and the generated text.
// Nothing here touches the engine; the document is reached through the virtual operations
// that TProfDHTMLEdit2 implements.
#pragma once
#include "htmledit/SourceWriter.h"
#include <QFrame>
#include <functional>

class TCustomProfDHTMLEdit;
using TNotifyEvent = std::function<void(QObject *Sender)>;
// Key is the key code (a letter as its upper-case character, else Qt's key); a handler sets
// it to 0 to swallow the key.
using TKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;

// Button, shift state and the view's client coordinates.
using TMouseEvent = std::function<void(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;

class TCustomProfDHTMLEdit : public QFrame {
    Q_OBJECT
public:
    explicit TCustomProfDHTMLEdit(QWidget *parent = nullptr);
    ~TCustomProfDHTMLEdit() override;

    // Seconds a load may take; only values above 0 are taken.
    double Timeout() const { return timeout_; }
    void setTimeout(double Seconds);
    unsigned SourceCodeOptions = htmledit::kAllSourceOptions;
    QString DOCTYPE;
    bool WantTabs = false;
    bool UseBrOnCarriageReturn = false;
    QVector<htmledit::TagSubstitution> TagsSubstitution;

    TNotifyEvent OnMouseEnter, OnMouseLeave, OnDisplayChanged, OnCreate, OnNewDocument, OnSetBaseURL,
        OnSetBrowseMode, OnSetSource, OnLoadURL, OnLoadURLError, OnOpenDialog, OnLoadFromFile, OnStop, OnTimeout,
        OnOpenDialogCancel, OnChange;
    TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyPress, OnKeyUp;
    TMouseEvent OnMouseDown, OnMouseMove, OnMouseUp;

    // Redraw lock of the loads.
    int BeginUpdate();
    int EndUpdate();
    int updateCount() const { return updateCount_; }

    QString GetBaseURL() const { return FBaseURL; }
    void SetBaseURL(const QString &URL);
    QString GetDocumentFileName() const { return FDocumentFileName; }
    void SetDocumentFileName(const QString &Name) { FDocumentFileName = Name; }
    bool IsHttpDocument() const { return FIsHttp; }
    bool HasIFrame() const { return FHasIFrame; }
    QString GetHomeURL() const { return FHomeURL; }
    void SetBodyAttributes(const QString &Attrs) { FBodyAttributes = Attrs; }
    void SetHtmlAttributes(const QString &Attrs) { FHtmlAttributes = Attrs; }
    QString GetHtmlStartTag() const;
    QString GetCharset() const { return FCharset; }
    void SetOriginalSource(const QString &Source);
    QString OriginalSource() const { return FOriginalSource; }
    // Head is left as it was when the stored source has no head.
    void GetOriginalHead(QString &Head) const;
    bool DocumentReady() { return IsReady(); }
    bool CreationDone() const { return creationDone(); }

    QString GetSource();
    QString GetHeadSource();
    QString GetBodySource();

    // The charset name after "CHARSET=": up to a quote, ";", a blank or ">".
    static QString CharsetName(const QString &Source);
    // Drops blank lines between two markup lines; text of PRE-like and raw elements is kept.
    static QString DropBlankMarkupLines(const QString &Source);

    // The engine's side.
    virtual bool IsBusy() const = 0;
    bool IsReady() const { return !IsBusy(); }
    virtual bool PreservesSource() const { return false; }
    virtual QString GetDocumentHTML() = 0;
    // The generated whole document / element ("BUSY" without a document).
    virtual QString GenerateSource(const htmledit::WriterContext &Ctx) = 0;
    virtual QString GenerateElementSource(const QString &Tag, const htmledit::WriterContext &Ctx) = 0;
    virtual QString GetTitle() = 0;

protected:
    virtual bool creationDone() const = 0;
    // The writer's settings for the current document and options.
    virtual htmledit::WriterContext writerContext(unsigned Options);
    // Redraw switch of the control's view.
    virtual void setRedraw(bool On);
    // Calls an event when assigned; what its handler throws stays with the handler.
    void fire(const TNotifyEvent &Event);
    // The site prefix taken off URL values ("http://host"), "" for local documents.
    QString sitePrefix() const;

    double timeout_ = 30.0;
    int updateCount_ = 0;
    QString FOriginalSource, FOriginalBodyTag, FBodyAttributes, FHtmlAttributes, FBaseURL, FDocumentFileName,
        FHomeURL, FCharset;
    bool FIsHttp = false, FHasIFrame = false;
    bool originalStoredWhilePending_ = false;
};
