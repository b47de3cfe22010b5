// The WebGUI page's analysis sub-tabs (source, head, body, style sheets, scripts, links,
// images), each built on its first visit, and the source and body sub-tabs' buttons.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QTabWidget>

using namespace webgui_page;

// --- sub-tabs -------------------------------------------------------------------------------

void WebGuiPage::PageControlWebGUITopChange()
{
    if (c_.CheckBoxInhibitGetSource->isChecked()) return;
    QWidget *page = c_.PageControlWebGUITop->currentWidget();
    if (page == c_.PageControlWebGUITopTab01Main) {
        setPanelHeight(90);
        c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
        return;
    }
    setPanelHeight(600);
    const std::string source = currentSource();
    if (page == c_.PageControlWebGUITopTab02HTMLSrc) {
        if (GHtmlSrcTabBuilt) return;
        std::string src = RewriteCharsetDeclsToSjis(RestructureHead(source));
        if (PosText("</html", src) == 0) src += "\r\n</html>";
        src = HtmlSourceTabText(src);
        showColoured(c_.MemoHTMLSrc, src);
        if (c_.MemoHTMLSrc->text().empty()) c_.MemoHTMLSrc->setText(GLocalPageSource);
        if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) {
            showWholeSource(src, true);
            showColoured(c_.RichEditPageControlGUIRightAltEntireSrc, src);
        }
        GHtmlSrcTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab03Head) {
        if (GHeadTabBuilt) return;
        showColoured(c_.Memohead, RewriteCharsetDeclsToSjis(HeadOfPage(source)));
        GHeadTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab04Body) {
        if (GBodyTabBuilt) return;
        std::string body = BodyOfPage(source);
        body = DeleteBetween(body, "<style ", "</style>");
        body = DeleteBetween(body, "<script ", "</script>");
        body = DeleteBetween(body, "<!--", "-->");
        body = ReplaceAll(ReplaceAll(body, "\r\n\r\n\r\n", "\r\n"), "\r\n\r\n", "\r\n");
        showColoured(c_.MemoBody, body);
        GBodyTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab05CSS) {
        if (GCssTabBuilt) return;
        setPanelHeight(400);
        TProfDHTMLEdit2 *ed = st().GActiveEditor;
        if (ed && !ed->IsHttpDocument()) c_.LabelGUICSS->setText(QStringLiteral("【 ") + ed->GetDocumentFileName() + QStringLiteral(" 】"));
        const EditorPageParts parts = ReadEditorPageParts(ed);
        if (parts.Ok) {
            c_.ListBoxGUICSS->clear();
            for (const std::string &h : parts.StyleSheets) c_.ListBoxGUICSS->addItem(q(ReplaceAll(h, "\\", "/")));
            c_.MemoGUICSSInner->setPlainText(q(LowerCase(parts.StyleBlocks)));
        }
        setPanelHeight(600);
        GCssTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab06JAVA) {
        if (GJavaTabBuilt) return;
        setPanelHeight(400);
        TProfDHTMLEdit2 *ed = st().GActiveEditor;
        const QString doc = ed ? ed->GetDocumentFileName() : q(st().GGUIFile);
        c_.LabelGUIJAVA->setText(QStringLiteral("【 ") + doc + QStringLiteral(" 】"));
        QStringList items;
        if (!(ed && ed->IsHttpDocument())) {
            std::vector<std::string> lines;
            const int r = ctx_.pageParts ? ctx_.pageParts(toSjis(doc), lines) : -1;
            if (r < 0) {
                // Tried again at the next visit.
                c_.ListBoxGUIJAVA->clear();
                setPanelHeight(600);
                return;
            }
            for (const std::string &l : lines)
                if (l.find(".js") != std::string::npos && l.find('+') == std::string::npos && l.find(' ') == std::string::npos)
                    items << q(l);
        }
        const EditorPageParts parts = ReadEditorPageParts(ed);
        for (const std::string &f : parts.ScriptFiles)
            if (!items.contains(q(f))) items << q(f);
        c_.ListBoxGUIJAVA->clear();
        c_.ListBoxGUIJAVA->addItems(items);
        c_.MemoGUIJJavaIndivInner->setPlainText(q(parts.ScriptBlocks));
        setPanelHeight(600);
        GJavaTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab08Ahref) {
        if (GLinkTabBuilt) return;
        StringList &list = st().list(SharedList::GDocLinkList);
        list.clear();
        c_.ListBoxLinkList->clear();
        const EditorPageParts parts = ReadEditorPageParts(st().GActiveEditor);
        for (const std::string &l : parts.Links) list.add(l);
        for (int i = 0; i < list.count(); ++i) c_.ListBoxLinkList->addItem(q(list[i]));
        c_.SpinEditLinkEnd->setValue(c_.ListBoxLinkList->count() - 1);
        GLinkTabBuilt = true;
    } else if (page == c_.PageControlWebGUITopTab10ImageList) {
        if (GImageTabBuilt) return;
        StringList &list = st().list(SharedList::GDocLinkList);
        list.clear();
        c_.ListBoxImageList->clear();
        c_.ListBoxBackGroundList->clear();
        const EditorPageParts parts = ReadEditorPageParts(st().GActiveEditor);
        for (const std::string &l : parts.Images) list.add(l);
        for (const std::string &l : parts.BackgroundImages) list.add(l);
        for (int i = 0; i < list.count(); ++i) c_.ListBoxImageList->addItem(q(list[i]));
        c_.SpinEditImageEnd->setValue(c_.ListBoxImageList->count() - 1);
        GImageTabBuilt = true;
    }
}

// --- the source and body sub-tabs' buttons -------------------------------------------------------

void WebGuiPage::btnGUIReloadClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (!ed || !ed->IsHttpDocument()) return;
    c_.MemoHTMLSrc->clear();
    if (c_.ComboBoxGUIEditorURL->currentText().isEmpty() || s.GGUIRawHtml.empty() ||
        LowerCase(s.GGUIRawHtml).find(s.GHtmlOpen) == std::string::npos)
        return;
    c_.SearchKeyWord->clear();
    const std::string &raw = s.GGUIRawHtml;
    std::string text;
    switch (ctx_.RadioGroupWebCharCode ? ctx_.RadioGroupWebCharCode->itemIndex() : 0) {
    case 1: text = EucToSjisB(raw); break;
    case 2:
        try {
            text = Utf8ToAnsi(raw);
        } catch (...) {
            text = raw;
        }
        break;
    case 3: text = raw; break;
    default: text = ConvertTextToSjis(raw, 0); break;
    }
    c_.MemoHTMLSrc->setText(NormalizeLineBreaks(text));
}

void WebGuiPage::btnPageControlWebGUITopTab02MakeColorClick() { ColorHTMLRichEdit(c_.MemoHTMLSrc); }

void WebGuiPage::btnPageControlWebGUITopTab02MakeBlackClick() { PlainRichEdit(c_.MemoHTMLSrc); }

void WebGuiPage::btnPageControlWebGUITopTab02COPY2ClipboardClick()
{
    QGuiApplication::clipboard()->setText(q(c_.MemoHTMLSrc->text()));
}

void WebGuiPage::btnReMakeBodyColorClick()
{
    AppState &s = st();
    if (s.GGUIRawHtml.empty()) return;
    c_.EditBodySearch->clear();
    c_.ListBoxAnchor->clear();
    if (TProfDHTMLEdit2 *ed = s.GActiveEditor) {
        StringList anchors;
        if (ed->GetAnchorList(anchors))
            for (int i = 0; i < anchors.count(); ++i) c_.ListBoxAnchor->addItem(q(anchors[i]));
    }
    std::string body = BodyOfPage(currentSource());
    body = DeleteBetween(body, "<style ", "</style>");
    body = DeleteBetween(body, "<script ", "</script>");
    body = DeleteBetween(body, "<!--", "-->");
    SetRichText(c_.MemoBody, q(body));
    setPanelHeight(600);
    GBodyTabBuilt = true;
}
