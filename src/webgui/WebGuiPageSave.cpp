// Saves of the page edited on the WebGUI page: overwrite, save under a name, and the marked
// save of the editor's head and body.
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
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/HtmlReindent.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QTabWidget>

using namespace webgui_page;

// --- saves of the edited page ------------------------------------------------------------------

void WebGuiPage::reportSave(const std::string &file, bool ok, const std::string &why)
{
    if (ok) {
        setStatus(2, sj("Saved!!"));
        setStatus(3, sj(" 【 ") + file + sj(" 】"));
    } else {
        setStatus(2, std::string());
        tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(file), q(why)));
    }
}

bool WebGuiPage::saveRefused(const std::string &File)
{
    const QString why = SaveRefusal(st().GActiveEditor, File);
    if (why.isEmpty()) return false;
    setStatus(2, std::string());
    tell(why);
    return true;
}

void WebGuiPage::showWholeSource(const std::string &Text, bool Colour)
{
    TRichEdit *pane = c_.RichEditPageControlGUIRightEntireSrc;
    if (Colour)
        showColoured(pane, Text);
    else
        SetRichText(pane, q(Text));
    paneShown_ = pane->text();
}

std::string WebGuiPage::pageTextToSave() const
{
    const std::string pane = c_.RichEditPageControlGUIRightEntireSrc->text();
    if (pane != paneShown_) return pane;
    return currentSource();
}

void WebGuiPage::ToolButtonSaveClick()
{
    AppState &s = st();
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    if (!fileExists(s.GGUIFile)) {
        ToolButtonSaveWithNameClick();
        return;
    }
    if (saveRefused(s.GGUIFile)) return;
    const BackupSaveResult r = SavePageOverFile(s.GGUIFile, SaveGUILocalPageText(pageTextToSave()));
    if (r.Save.ok()) {
        s.GGUIBackupFile = r.BackupPath;
        // What the tab holds is on disk now: leaving it asks nothing.
        if (TProfDHTMLEdit2 *ed = s.GActiveEditor) ed->SetDirty(false);
    }
    reportSave(s.GGUIFile, r.Save.ok(), SaveStatusText(r));
}

void WebGuiPage::ToolButtonSaveWithNameClick()
{
    AppState &s = st();
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    if (saveRefused(s.GGUIFile)) return;
    std::string folder = fileExists(s.GGUIFile) ? folderPart(s.GGUIFile) : std::string();
    std::string name = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    const std::string ext = LowerCase(name.substr(name.find_last_of('.') == std::string::npos ? name.size() : name.find_last_of('.')));
    if (ext != ".html" && ext != ".htm") name = ChangeFileExtension(name, ".html");
    CloseIE();
    const std::string root = Trim(toSjis(c_.EditHeaderRoot->text()));
    const SaveResult r = SaveChosenFile(name, RemoveWinDiskRoot(SaveGUILocalPageText(pageTextToSave()), root));
    BackupSaveResult b;
    b.Save = r;
    if (r.ok()) {
        NotePageWritten(r.Path);
        s.GGUIFile = r.Path;
        s.GGUILastFile = r.Path;
        s.GGUISaveFile = r.Path;
        // The tab's page is the file now: the next overwrite goes there.
        if (TProfDHTMLEdit2 *ed = s.GActiveEditor) {
            ed->SetDocumentFileName(q(r.Path));
            ed->SetDirty(false);
        }
    }
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    OpenUrlInBrowser(r.Path);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab03Result);
}

void WebGuiPage::btnGUISaveLocalHTMLSrcWihtIndentClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    const std::string head = EditorSourceSjis(ed, EditorPart::Head);
    const std::string body = EditorSourceSjis(ed, EditorPart::Body);
    if (saveRefused(s.GGUIFile)) return;
    if (head.empty() && body.empty()) return;
    const std::string folder = fileExists(s.GGUILastFile) ? folderPart(s.GGUILastFile) : std::string();
    std::string name = dialogs.saveHtml(c_.PageControlGUILeft, folder);
    if (name.empty()) return;
    const std::size_t dot = name.find_last_of('.');
    const std::string ext = LowerCase(dot == std::string::npos ? std::string() : name.substr(dot));
    if (ext != ".html" && ext != ".htm") name = ChangeFileExtension(name, ".html");
    const std::string url = Trim(toSjis(c_.ComboBoxGUIEditorURL->currentText()));
    const std::string local = ctx_.BtnEditDownloadLocalFile ? toSjis(ctx_.BtnEditDownloadLocalFile->text()) : std::string();
    CloseIE();
    s.GWebRoot.clear();
    const std::string text = MarkedSaveText(head, body, toSjis(c_.EditGUISearchWord->text()),
                                            Trim(toSjis(c_.EditHeaderRoot->text())), url.empty() ? filePart(local) : url);
    const SaveResult r = SaveChosenFile(name, text);
    BackupSaveResult b;
    b.Save = r;
    if (r.ok()) {
        NotePageWritten(r.Path);
        s.GGUISaveFile = r.Path;
        s.GIndentSavedFile = r.Path;
    }
    reportSave(r.Path.empty() ? name : r.Path, r.ok(), SaveStatusText(b));
    if (!r.ok()) return;
    OpenUrlInBrowser(r.Path);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab03Result);
}
