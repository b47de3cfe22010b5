// The WebGUI page's whole-source pane and its tools: the local-folder check, word replacement,
// colour, wrap, and the right-hand source tabs.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
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

#include <QApplication>
#include <QClipboard>
#include <QTabWidget>

#include <algorithm>

using namespace webgui_page;

// --- this machine's folders in the source --------------------------------------------------------

namespace {
// This machine's own paths in quoted attribute values and url(): a "file:" URL or an absolute
// path into a folder where users keep files (a site's root-relative "/img/a.gif" is none of
// them). A quote in the page's text ("/home/<span class=...>" in a manual) is no value.
bool insideTag(const std::string &text, std::size_t at)
{
    const std::size_t open = text.rfind('<', at);
    if (open == std::string::npos) return false;
    const std::size_t close = text.rfind('>', at);
    return close == std::string::npos || close < open;
}

void listLocalPaths(const std::string &text, std::vector<std::string> &found)
{
    const std::string low = LowerCase(text);
    std::vector<std::pair<std::size_t, std::string>> hits;
    for (const char *open : {"\"", "'", "("}) {
        for (const char *kind : {"file:", "/home/", "/root/", "/tmp/", "/mnt/", "/media/"}) {
            const std::string key = std::string(open) + kind;
            for (std::size_t p = low.find(key); p != std::string::npos; p = low.find(key, p + 1)) {
                if (*open == '(' ? !(p >= 3 && low.compare(p - 3, 3, "url") == 0) : !insideTag(low, p)) continue;
                const std::size_t b = p + 1;
                std::size_t e = b;
                while (e < text.size() && text[e] != '"' && text[e] != '\'' && text[e] != ')' && text[e] != '>' &&
                       text[e] != '<' && text[e] != '\r' && text[e] != '\n')
                    ++e;
                hits.emplace_back(b, text.substr(b, e - b));
            }
        }
    }
    std::sort(hits.begin(), hits.end());
    for (auto &h : hits) found.push_back(h.second);
}
}  // namespace

void WebGuiPage::CheckRemoveFolder(TRichEdit *RichEdit, std::string &Msg)
{
    Msg.clear();
    c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->clear();
    c_.RichEditPageControlGUIRightEntireLocalFolder->clear();
    if (!RichEdit) return;
    const std::string text = RichEdit->text();
    std::vector<std::string> found;
    // "file:///" holds "e:/": a "file:" URL is not taken for a drive.
    Msg = ::CheckRemoveFolder(ReplaceAllIgnoreCase(text, "file:", "file|"), found);
    // Here a page's own folder is written as a path or a "file:" URL rather than a drive.
    std::vector<std::string> local;
    listLocalPaths(text, local);
    if (Msg.empty() && !local.empty()) Msg = CheckLocalFolderInTags(text);
    found.insert(found.end(), local.begin(), local.end());
    if (found.empty()) return;
    QStringList items;
    for (const std::string &f : found) items << q(f);
    c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->addItems(items);
    c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab05LocalFolder);
}

void WebGuiPage::btnGUILoclaFolderCheckClick()
{
    if (c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    std::string msg;
    CheckRemoveFolder(c_.RichEditPageControlGUIRightEntireSrc, msg);
    if (!msg.empty()) tell(q(msg));
}

void WebGuiPage::ListBoxRichEditPageControlGUIRightEntireLocalFolderClick()
{
    QListWidgetItem *item = c_.ListBoxRichEditPageControlGUIRightEntireLocalFolder->currentItem();
    if (!item || item->text().isEmpty()) return;
    c_.EditSearcGUISrcKeyWord->setText(item->text());
    c_.EditGUISearchWord->setText(item->text());
}

void WebGuiPage::btnEditRemoveFolderRemoveAllClick() { replaceWordIn(c_.RichEditPageControlGUIRightEntireSrc); }

void WebGuiPage::btnRichEditPageControlGUIRightEntireSrcAfterRemoveFolderClick()
{
    replaceWordIn(c_.RichEditPageControlGUIRightEntireSrcAfter);
}

// The search box's word replaced by the replacement box's in the pane, case ignored.
void WebGuiPage::replaceWordIn(TRichEdit *pane)
{
    const std::string text = pane->text();
    if (text.empty()) return;
    auto cleaned = [](const QString &box) { return Trim(TrimWideSpaces(Trim(toSjis(box)))); };
    const std::string find = cleaned(c_.EditGUISearchWord->text());
    if (find.empty()) return;
    const std::string repl = cleaned(c_.EditGUIReplaceWord->text());
    SetRichText(pane, q(ReplaceAllIgnoreCase(text, find, repl)));
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked()) ColorHTMLRichEdit(pane);
}

void WebGuiPage::btnEditRemoveFolderPasteClick() { c_.EditGUISearchWord->setText(QGuiApplication::clipboard()->text()); }

void WebGuiPage::btnGUIReplaceWordPasteClick() { c_.EditGUIReplaceWord->setText(QGuiApplication::clipboard()->text()); }

void WebGuiPage::btnMakeGUIRTReloadClick()
{
    AppState &s = st();
    TProfDHTMLEdit2 *ed = s.GActiveEditor;
    if (ed && ed->IsHttpDocument()) return;
    const std::string box = ctx_.BtnEditDownloadLocalFile ? Trim(toSjis(ctx_.BtnEditDownloadLocalFile->text())) : std::string();
    if (box.empty()) {
        MenuFileOpenClick();
        return;
    }
    s.GGUIFile = fileExists(box) ? box : std::string();
    const std::string text = s.GGUIFile.empty() ? std::string() : LoadTextFile(s.GGUIFile);
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(text);
    c_.RichEditPageControlGUIRightEntireSrc->setText(text);
}

void WebGuiPage::btnMakeGUIRTColorClick()
{
    if (!c_.RichEditPageControlGUIRightEntireSrc->text().empty()) ColorHTMLRichEdit(c_.RichEditPageControlGUIRightEntireSrc);
}

void WebGuiPage::btnMakeGUIRTBlackClick()
{
    if (!c_.RichEditPageControlGUIRightEntireSrc->text().empty()) PlainRichEdit(c_.RichEditPageControlGUIRightEntireSrc);
}

void WebGuiPage::btnMakeGUIBuld2HTMLSrcClick()
{
    const std::string after = c_.RichEditPageControlGUIRightEntireSrcAfter->text();
    if (after.empty() || c_.RichEditPageControlGUIRightEntireSrc->text().empty()) return;
    c_.RichEditPageControlGUIRightEntireSrc->setText(after);
}

void WebGuiPage::btnPanelPageControlGUIRightTab02AllHTMLSrcTopWordWrapClick()
{
    bool &wrap = st().GGUIAllSrcWordWrap;
    wrap = !wrap;
    TRichEdit *pane = c_.RichEditPageControlGUIRightEntireSrc;
    const std::string text = pane->text();
    pane->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane->setText(text);
    if (c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked()) ColorHTMLRichEdit(pane);
}

void WebGuiPage::PageControlGUIRightTab03OrgHTMLSrcRightChange()
{
    showColoured(c_.RichEditPageControlGUIRightBody, EditorSourceSjis(st().GActiveEditor, EditorPart::Body));
}
