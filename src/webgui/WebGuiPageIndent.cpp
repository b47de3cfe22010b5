// The WebGUI page's indentation run, its result lists, and the save of its result.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QTabWidget>

#include <algorithm>

using namespace webgui_page;

// --- indentation run ----------------------------------------------------------------------------

void WebGuiPage::btnGUITDCheckClick()
{
    AppState &s = st();
    if (!s.GIndentSourceReady) {
        const QString notice = QStringLiteral("準備中、しばらくしてから再度”ｸﾘｯｸ ”してください");
        if (ctx_.showNotice)
            ctx_.showNotice(notice);
        else
            tell(notice);
        return;
    }
    if (!GIndentSourcePrepared) {
        std::string src = EditorSourceSjis(s.GCurrentEditor);
        if (src.empty()) src = currentSource();
        if (src.empty()) return;
        GIndentSource = src;
        GIndentSourcePrepared = true;
    }
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    ReindentOptions opt;
    opt.CellMode = c_.RadioGroupTDIndentation->itemIndex() < 0 ? 1 : c_.RadioGroupTDIndentation->itemIndex();
    opt.PrologMode = std::max(0, c_.RadioGroupGUIHTMLOption->itemIndex());
    opt.CommentBar = std::max(0, c_.RadioGroupCommntBar->itemIndex());
    opt.ImgAlt = std::max(0, c_.RadioGroupIndentImgAlt->itemIndex());
    opt.MaxLen = c_.SpinEditGUIGUIdMaxlen->value();
    ReindentInputs in;
    in.LocalPageSource = GLocalPageSource;
    in.EditorUrl = toSjis(c_.ComboBoxGUIEditorURL->currentText());
    in.LocalFile = s.GGUIFile;
    // The head goes in as written; the body is what the clean-up and the re-indenter work on.
    const IndentSourceParts parts = SplitIndentSource(GIndentSource);
    std::string head = parts.Head;
    const std::string &body = parts.Body;
    EditorRoundTrip roundTrip;
    if (TProfDHTMLEdit2 *hidden = s.GCurrentEditor) {
        // The head as the editor keeps it, where the page has one; the body through the hidden
        // editor's round trip, read once it has loaded (never its "BUSY").
        const std::string edHead = head.empty() ? std::string() : EditorSourceSjis(s.GActiveEditor, EditorPart::Head);
        if (!edHead.empty()) head = edHead;
        // Once per page: a second run takes the body the first one read.
        roundTrip = [this, hidden](const std::string &page) {
            if (roundTripGeneration_ == pageGeneration_ && page == roundTripIn_) return roundTripOut_;
            const std::string b = EditorBodyRoundTrip(hidden, page);
            roundTripIn_ = page;
            roundTripOut_ = b.empty() ? page : b;
            roundTripGeneration_ = pageGeneration_;
            return roundTripOut_;
        };
    }
    const ReindentResult r = RunIndentation(body, head, roundTrip,
                                            c_.RadioGroupRemoveIndentComment->itemIndex(), opt, in);
    auto toList = [](TListBox *l, const auto &lines) {
        QStringList items;
        items.reserve(int(lines.size()));
        for (std::string_view line : lines) items << q(std::string(line));
        l->clear();
        l->addItems(items);
    };
    toList(c_.ListBoxGUITDResultLine, r.R);
    toList(c_.ListBoxGUITDSrcLine, r.T);
    toList(c_.ListBoxGUISaveList, r.S);
    GIndentBodyTag = r.BodyTag;
    if (c_.RadioGroupIndentImgAlt->itemIndex() <= 1) {
        c_.RichEditPageControlGUIRightEntireLocalFolder->clear();
        c_.RichEditPageControlGUIRightEntireSrcAfter->setText(r.Text);
    }
    std::vector<std::string> finalLines;
    for (std::size_t at = 0; at < r.Text.size();) {
        std::size_t nl = r.Text.find("\r\n", at);
        if (nl == std::string::npos) nl = r.Text.size();
        finalLines.push_back(r.Text.substr(at, nl - at));
        at = nl + 2;
    }
    toList(c_.ListBoxGUISaveFinal, finalLines);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab07Temp);
}

void WebGuiPage::sbGUITDCheckSaveClick()
{
    AppState &s = st();
    if (c_.ListBoxGUISaveFinal->count() == 0) return;
    if (saveRefused(s.GGUIFile)) return;
    std::string folder;
    if (fileExists(s.GGUIFile)) folder = folderPart(s.GGUIFile);
    if (fileExists(s.GGUILastFile)) folder = folderPart(s.GGUILastFile);
    const std::string chosen = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (chosen.empty()) return;  // nothing changes on cancel
    // The ".html" rule first, so that "page" chosen for "page.html" is seen as the page itself.
    std::string name = chosen;
    if (filePart(name).find('.') == std::string::npos) name = ChangeFileExtension(name, ".html");
    if (sameFile(name, s.GGUIFile)) name = folderPart(name) + "WW_" + filePart(name);
    std::vector<std::string> lines;
    for (int i = 0; i < c_.ListBoxGUISaveFinal->count(); ++i) lines.push_back(toSjis(c_.ListBoxGUISaveFinal->item(i)->text()));
    const SaveResult r = SaveChosenFile(name, IndentSaveText(lines));
    s.GWebRoot.clear();
    if (r.ok()) {
        NotePageWritten(r.Path);
        s.GGUISaveFile = r.Path;
        s.GGUILastFile = r.Path;
        s.GIndentSavedFile = r.Path;
    }
    BackupSaveResult b;
    b.Save = r;
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    CloseIE();
    OpenUrlInBrowser(r.Path);
}

void WebGuiPage::btnSaveIndentHTMLClick()
{
    if (c_.ListBoxGUISaveFinal->count() > 0) sbGUITDCheckSaveClick();
}

void WebGuiPage::sbGUITDCheckOpenIEClick()
{
    if (fileExists(st().GGUISaveFile)) OpenUrlInBrowser(st().GGUISaveFile);
}

void WebGuiPage::btnbtnGUITDClearClick()
{
    c_.RichEditPageControlGUIRightEntireSrcAfter->clear();
    c_.ListBoxGUITDSrcLine->clear();
    c_.ListBoxGUITDResultLine->clear();
}
