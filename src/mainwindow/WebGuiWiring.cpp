// What the WebGUI page reaches of the window: the shared state, the download page's local-file
// box, the status bar, the timers, the message box and the notice window.
#include "mainwindow/BatchViewPage.h"
#include "mainwindow/BrowserWindows.h"
#include "mainwindow/SmallForms.h"
#include "download/DownloadEngine.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "nettools/TWhoisForm.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiEditorTabs.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiToolPages.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"

#include <QApplication>
#include <QTimer>
#include <QLabel>

WebGuiPageContext TAMainForm::webGuiContext()
{
    WebGuiPageContext c;
    c.state = &state_;
    c.BtnEditDownloadLocalFile = dl.BtnEditDownloadLocalFile;
    c.StatusBar1 = StatusBar1;
    c.TimerGUILocalIndent = TimerGUILocalIndent;
    c.TimerWhoisServer = TimerWhoisServer;
    c.TimerGUIIndent = TimerGUIIndent;
    c.WebBrowserDownload = gui.WebBrowserDownload;
    c.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView = batch.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView;
    c.SpinEditLinkList = batch.SpinEditLinkList;
    c.ListBoxComprehensiveCSSList = dl.ListBoxComprehensiveCSSList;
    c.RadioGroupWebCharCode = dl.RadioGroupWebCharCode;
    c.baseHref = [](const std::string &html) { return GetBaseHref(html); };
    c.resetLists = [this] {
        ListBoxAllClear();
        LocalListTextAllClear();
        FileReset();
    };
    c.setFormCaption = [this](const std::string &url) { SetFormCaption(*this, url); };
    c.pageParts = [](const std::string &file, std::vector<std::string> &lines) {
        DownloadEngine engine;
        const int r = engine.MainTopGetPageImageCSS(file, 1);
        if (r >= 0) lines = engine.Lines("ListBoxPageCSS");
        return r;
    };
    // While the batch viewer hands a file over, a message goes to the status bar instead.
    c.message = [this](const QString &text) {
        if (batchViewPage && batchViewPage->handingOver())
            StatusBar1->setPanelText(2, text);
        else
            ShowMessageBox(this, text);
    };
    // The notice shows in the whois window for a few seconds (the whois timer hides it).
    c.showNotice = [this](const QString &text) {
        TWhoisForm *w = nullptr;
        for (QWidget *t : QApplication::topLevelWidgets())
            if (auto *f = qobject_cast<TWhoisForm *>(t)) w = f;
        if (!w) w = new TWhoisForm(this);
        w->setWindowTitle(QStringLiteral("ｲﾝﾃﾞﾝﾄ整形"));
        w->LabelServerDesc->setText(text);
        w->LabelOherWhoisServer->clear();
        w->LabelTryOther->clear();
        w->show();
        TimerWhoisServer->start();
    };
    c.showPage = [this] {
        if (batchViewPage && batchViewPage->handingOver()) return;
        setPanelMainTopHeight(30);
        frame.PageControlMainBody->setCurrentWidget(frame.PageControlMainBodyTab07DHTMLEditor);
    };
    c.closeIE = [this] {
        if (dl.RadioGroupCloseAllIEBeforeOpen->itemIndex() == 1) CloseIEWindows(ReadIEValue(QStringLiteral("Version")));
    };
    // The source viewer is made the first time it is asked for.
    auto viewer = [this](bool make) -> TFormSource * {
        TFormSource *f = findChild<TFormSource *>(QString(), Qt::FindDirectChildrenOnly);
        if (!f && make) f = new TFormSource(this);
        return f;
    };
    c.formSourceShowing = [viewer] {
        TFormSource *f = viewer(false);
        return f && f->isVisible();
    };
    c.setFormSourceText = [viewer](const std::string &html) {
        TFormSource *f = viewer(true);
        SetRichText(f->RichEditSource, fromSjis(html));
        if (f->CheckBoxColor->isChecked())
            ColorHTMLRichEdit(f->RichEditSource);
        else
            PlainRichEdit(f->RichEditSource);
    };
    c.toggleFormSource = [viewer] {
        TFormSource *f = viewer(true);
        f->setVisible(!f->isVisible());
    };
    c.closeMainWindow = [this] { close(); };
    return c;
}

// The editors' engine pages cost most of a start: they are made once the window is on the
// screen (or at the first turn of the event loop for a window never shown).
void TAMainForm::createWebGuiEditors()
{
    TProfDHTMLEdit2::deferEngines(true);
    webGuiEditorTabs->CreateCanvas(QString());
    webGuiEditorTabs->CreateTempEditor(QString());
    webGuiEditorTabs->CreateCurrentEditor(QString());
    TProfDHTMLEdit2::deferEngines(false);
    QTimer::singleShot(0, this, [this] {
        if (!isVisible()) startEditorEngines();
    });
}

void TAMainForm::startEditorEngines() { TProfDHTMLEdit2::startDeferredEngines(); }

// The page's editor tabs are WebGuiEditorTabs' editors: a new tab is a new editor, the page
// opened goes into the current one, and its source and modified flag are read from it.
void TAMainForm::wireWebGuiEditors()
{
    WebGuiPage *p = webGuiPage;
    p->createCanvas = [this]() -> QWidget * {
        TProfDHTMLEdit2 *ed = webGuiEditorTabs->CreateCanvas(QString());
        return ed ? ed->parentWidget() : nullptr;
    };
    p->loadEditor = [this](const std::string &file, const std::string &text) {
        LoadLocalPage(state_.GActiveEditor, file, text);
    };
    p->editorSource = [this] { return EditorSourceSjis(state_.GActiveEditor); };
    webGuiEditorTabs->EditorClickHandler = [p](QObject *s) { p->EditorClick(s); };
    webGuiEditorTabs->EditorChangeHandler = [p](QObject *s) { p->EditorChange(s); };
    // The search tools are made after this page; the copy finds them when it is pressed.
    p->copyIndentResult = [this] {
        if (webGuiTools) webGuiTools->search->btnAllHTMLSrcTab07IndentSearchHTMLCOPYClick();
    };
    p->tabModified = [](QWidget *tab) {
        const auto eds = tab ? tab->findChildren<TProfDHTMLEdit2 *>() : QList<TProfDHTMLEdit2 *>();
        return !eds.isEmpty() && eds.last()->IsDirty();
    };
}
