// The WebGUI editors' clicks and changes: the selection's source, its image size and table.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/JCode.h"
#include "text/Parsers.h"
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
#include <QUrl>

#include <cstring>
#include <optional>

using namespace webgui_page;

// --- the editors' events -------------------------------------------------------------------------

namespace {
TProfDHTMLEdit2 *editorFrom(QObject *Sender, TProfDHTMLEdit2 *fallback)
{
    if (auto *ed = qobject_cast<TProfDHTMLEdit2 *>(Sender)) return ed;
    return fallback;
}

// The pixel size of the image a selection's source names, when its SRC is a local ".jpg",
// ".gif" or ".png" file next to the document; "" otherwise.
std::string localImageSizeText(const std::string &html, const std::string &docFile)
{
    const std::string low = LowerCase(html);
    if (low.compare(0, 4, "<img") != 0) return "";
    const std::size_t at = low.find("src=");
    if (at == std::string::npos) return "";
    std::size_t b = at + 4;
    std::string ref;
    if (b < html.size() && (html[b] == '"' || html[b] == '\'')) {
        const std::size_t e = html.find(html[b], b + 1);
        if (e == std::string::npos) return "";
        ref = html.substr(b + 1, e - b - 1);
    } else {
        std::size_t e = b;
        while (e < html.size() && html[e] != ' ' && html[e] != '>' && html[e] != '/') ++e;
        ref = html.substr(b, e - b);
    }
    // The editor may give the source with the reference resolved to a "file:" URL.
    if (LowerCase(ref).compare(0, 7, "file://") == 0) ref = toSjis(QUrl(q(ref)).toLocalFile());
    if (ref.empty() || ref.find("://") != std::string::npos) return "";
    // Only a local document's images are measured. The editor writes references from the
    // document's folder as "/name": that folder first, then the reference as an absolute path.
    if (docFile.empty() || docFile[0] != '/') return "";
    std::string path = CombineLocalPath(docFile, ref[0] == '/' ? ref.substr(1) : ref);
    if (!fileExists(path) && ref[0] == '/') path = ref;
    if (!fileExists(path)) return "";
    const std::string lowPath = LowerCase(path);
    auto ends = [&](const char *ext) {
        const std::size_t n = std::strlen(ext);
        return lowPath.size() >= n && lowPath.compare(lowPath.size() - n, n, ext) == 0;
    };
    std::optional<ImageSize> size;
    if (ends(".jpg"))
        size = GetJpegSize(path);
    else if (ends(".gif"))
        size = GetGifSize(path);
    else if (ends(".png"))
        size = GetPngSize(path);
    if (!size) return "";
    return "  H= " + std::to_string(size->Height) + "  W= " + std::to_string(size->Width);
}
}  // namespace

void WebGuiPage::EditorClick(QObject *Sender)
{
    TProfDHTMLEdit2 *ed = editorFrom(Sender, st().GActiveEditor);
    setStatus(3, std::string());
    if (!ed) return;
    const std::string html = HtmlToSjis(ed->GetSelectionSource());
    if (!html.empty()) {
        std::string doc = toSjis(ed->GetDocumentFileName());
        if (LowerCase(doc).compare(0, 7, "file://") == 0) doc = toSjis(QUrl(q(doc)).toLocalFile());
        if (doc.empty() || doc[0] != '/') doc = st().GGUIFile;
        setStatus(2, localImageSizeText(html, doc));
        if (ctx_.formSourceShowing && ctx_.formSourceShowing())
            SetFormSource(html);
        else
            SetGUISource(html);
    }
    std::string table;
    if (!ed->InTableCell() && ed->IsInTable()) {
        int rows = 0, cols = 0;
        QString caption;
        if (ed->GetSelectedTableInfo(rows, cols, caption, nullptr))
            table = sj(" 表［ ") + std::to_string(rows) + sj(" 行 , ") + std::to_string(cols) + sj(" 列 ］");
    }
    setStatus(3, table);
    if (!GAltBodySourceShown) {
        c_.RichEditPageControlGUIRightAltEntireSrc->setText(EditorSourceSjis(ed, EditorPart::Body));
        GAltBodySourceShown = true;
    }
}

void WebGuiPage::EditorChange(QObject *Sender)
{
    TProfDHTMLEdit2 *ed = editorFrom(Sender, st().GActiveEditor);
    if (ed) setStatus(0, sj("[ ") + toSjis(ed->GetCharset()) + sj(" ]"));
}

namespace {
void colourOrPlain(TRichEdit *pane, bool colour)
{
    if (colour)
        ColorHTMLRichEdit(pane);
    else
        PlainRichEdit(pane);
}
}  // namespace

void WebGuiPage::SetFormSource(const std::string &Html)
{
    if (ctx_.setFormSourceText) ctx_.setFormSourceText(Html);
    SetRichText(c_.RichEditRichEditPageControlGUIRightSelectedHtml, q(Html));
    colourOrPlain(c_.RichEditPageControlGUIRightSelectedSrc, c_.CheckBoxPageControlGUIRightTop->isChecked());
}

void WebGuiPage::SetGUISource(const std::string &Html)
{
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab03OrgHTMLSrc);
    SetRichText(c_.RichEditPageControlGUIRightSelectedSrc, q(Html));
    SetRichText(c_.RichEditRichEditPageControlGUIRightSelectedHtml, q(Html));
    colourOrPlain(c_.RichEditPageControlGUIRightSelectedSrc, c_.CheckBoxPageControlGUIRightTop->isChecked());
    colourOrPlain(c_.RichEditRichEditPageControlGUIRightSelectedHtml, c_.CheckBoxPageControlGUIRightTopOrgEitireSrc->isChecked());
}
