// The WebGUI page's editor tabs: making, closing and switching them, and emptying the panes.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QMessageBox>
#include <QTabWidget>

using namespace webgui_page;

namespace {

const char *const kFreshProperty = "vkFreshTab";

}  // namespace

void WebGuiPage::markTab(QWidget *tab, bool fresh)
{
    if (tab) tab->setProperty(kFreshProperty, fresh);
}

bool WebGuiPage::isFreshTab(QWidget *tab) const
{
    if (!tab) return false;
    const QVariant v = tab->property(kFreshProperty);
    // A tab made before the page knew it (the window's first editor) holds nothing yet.
    if (!v.isValid()) return !(tabModified && tabModified(tab));
    return v.toBool() && !(tabModified && tabModified(tab));
}

// --- editor tabs ----------------------------------------------------------------------------

QWidget *WebGuiPage::newTab()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    QWidget *sheet = nullptr;
    if (createCanvas) {
        // A tab being made is not a switch by the user.
        const QSignalBlocker block(tabs);
        sheet = createCanvas();
    } else {
        sheet = new TTabSheet(tabs);
        tabs->addTab(sheet, QStringLiteral("新規[ %1 ]").arg(tabs->count() + 1));
    }
    markTab(sheet, true);
    return sheet;
}

bool WebGuiPage::CloseTab(int NoAsk)
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    QWidget *tab = tabs->currentWidget();
    if (tab && tabModified && tabModified(tab)) {
        if (NoAsk) {
            // Nothing is discarded unasked: the changed page keeps its tab.
            QWidget *fresh = nullptr;
            for (int i = 0; i < tabs->count() && !fresh; ++i)
                if (isFreshTab(tabs->widget(i))) fresh = tabs->widget(i);
            if (!fresh) fresh = newTab();
            if (fresh) {
                const QSignalBlocker block(tabs);
                tabs->setCurrentWidget(fresh);
                st().GActiveEditor = editorOf(fresh);
            }
            return true;
        }
        const QString text = QStringLiteral("「%1」は変更されています。閉じてよろしいですか？").arg(tabs->tabText(tabs->currentIndex()));
        if (dialogs.ask(tabs, text, false) != QMessageBox::Yes) return false;
    }
    if (tabs->count() < 2) {
        if (tabs->count() == 1) {
            // A fresh tab holds an empty document already: emptying it again would wait for
            // its editor (seconds while the engine starts) before the caller's work can begin.
            const bool empty = isFreshTab(tabs->widget(0));
            tabs->setTabText(0, QStringLiteral("新規[ 1 ]"));
            tabs->setTabToolTip(0, QString());
            markTab(tabs->widget(0), true);
            if (TProfDHTMLEdit2 *ed = editorOf(tabs->widget(0))) {
                st().GActiveEditor = ed;
                ed->SetDocumentFileName(QString());
                ed->SetBaseURL(QString());
                if (!empty && WaitEditorReady(ed)) ed->NewDocument();
                ed->SetDirty(false);
            }
        }
    } else {
        const QSignalBlocker block(tabs);
        tabs->removeTab(tabs->indexOf(tab));
        tab->deleteLater();
        // The next tab's editor is the current one (the change handler is not run).
        if (TProfDHTMLEdit2 *ed = editorOf(tabs->currentWidget())) st().GActiveEditor = ed;
    }
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightSelectedSrc, c_.RichEditPageControlGUIRightEntireSrc,
                         c_.RichEditPageControlGUIRightAltEntireSrc, c_.RichEditRichEditPageControlGUIRightSelectedHtml})
        r->clear();
    if (st().GTargetTabCount > 1) st().GTargetTabCount = 1;
    return true;
}

// The last editor of a tab sheet.
TProfDHTMLEdit2 *WebGuiPage::editorOf(QWidget *tab)
{
    if (!tab) return nullptr;
    const auto eds = tab->findChildren<TProfDHTMLEdit2 *>();
    return eds.isEmpty() ? nullptr : eds.last();
}

void WebGuiPage::PageControlGUILeftChange()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    if (tabs->count() == 0) return;
    AppState &s = st();
    TProfDHTMLEdit2 *ed = editorOf(tabs->currentWidget());
    if (!ed) return;
    s.GActiveEditor = ed;
    s.GGUIFile = toSjis(ed->GetDocumentFileName());
    if (ctx_.setFormCaption) ctx_.setFormCaption(s.GGUIFile);
    if (IsHttpUrl(s.GGUIFile))
        c_.ComboBoxGUIEditorURL->setEditText(q(s.GGUIFile));
    else if (ctx_.BtnEditDownloadLocalFile)
        ctx_.BtnEditDownloadLocalFile->setText(q(s.GGUIFile));
    ed->SetBrowseMode(false);
    SetRichText(c_.MemoHTMLSrc, q(EditorSourceSjis(ed)));
    StatusbarHomeURL();
    GUIApptitle();
}

void WebGuiPage::GUIAllClear()
{
    for (TRichEdit *r : {c_.RichEditPageControlGUIRightEntireSrc, c_.RichEditPageControlGUIRightAltEntireSrc,
                         c_.RichEditPageControlGUIRightEntireSrcAfter, c_.RichEditPageControlGUIRightOrgEntireSrc,
                         c_.RichEditPageControlGUIRightEntireLocalFolder, c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
                         c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All,
                         c_.RichEditRichEditPageControlGUIRightSelectedHtml})
        r->clear();
    st().GGUIRawHtml.clear();
    GGUIBaseHref.clear();
    for (TListBox *l : {c_.ListBoxGUISaveList, c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab02SearchList,
                        c_.ListBoxPageControllGUIOrgRightTab02AllHTMLSrcTab02SearchList,
                        c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder, c_.ListBoxGUISaveFinal, c_.ListBoxHTMLSrc,
                        c_.ListBoxAnchor, c_.ListBoxBodySrc, c_.ListBoxFrameURL, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxGUICSS, c_.ListBoxGUICSSAll,
                        c_.ListBoxGUIJAVA, c_.ListBoxGUIJAVAALll, c_.ListBoxGUITDResultLine})
        l->clear();
    c_.LabelGUISelectedCSS->clear();
    c_.LabelGUISelectedJAVA->clear();
}

void WebGuiPage::GUIEditorClearAll()
{
    GHtmlSrcTabBuilt = GHeadTabBuilt = GBodyTabBuilt = GCssTabBuilt = GJavaTabBuilt = GLinkTabBuilt = GImageTabBuilt =
        false;
    GIndentSourcePrepared = false;
    for (TRichEdit *r : {c_.MemoHTMLSrc, c_.Memohead, c_.MemoBody, c_.RichEditFrame,
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
                         c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
                         c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All})
        r->clear();
    for (TRichEdit *m : {c_.MemoGUICSS, c_.MemoGUICSSIndiv, c_.MemoGUICSSInner, c_.MemoGUIJAVA, c_.MemoGUIJJavaIndiv,
                         c_.MemoGUIJJavaIndivInner})
        m->clear();
    for (TListBox *l : {c_.ListBoxHTMLSrc, c_.ListBoxAnchor, c_.ListBoxJAVASearch, c_.ListBoxLinkList,
                        c_.ListBoxBackGroundList, c_.ListBoxImageList, c_.ListBoxFrameURL, c_.ListBoxGUITDSrcLine,
                        c_.ListBoxGUICSS, c_.ListBoxGUICSSColorList, c_.ListBoxWebGUILeftTab05CSSTab02Sector,
                        c_.ListBoxGUICSSFile, c_.ListBoxWebGUILeftTab05CSSTab03Search, c_.ListBoxGUIJAVA,
                        c_.ListBoxGUIJAVAALll, c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop,
                        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSBottom,
                        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab08JAVATopBottom})
        l->clear();
}

bool WebGuiPage::closeAllTabs()
{
    QTabWidget *tabs = c_.PageControlGUILeft;
    for (int n = tabs->count(); n > 0; --n)
        if (!CloseTab(0)) return false;
    return true;
}
