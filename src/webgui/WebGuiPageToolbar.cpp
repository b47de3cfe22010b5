// The WebGUI page's toolbar buttons.
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
#include "text/StrUtils.h"
#include "text/StringList.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPageInternal.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QTabWidget>

using namespace webgui_page;

// --- toolbar ------------------------------------------------------------------------------------

void WebGuiPage::ToolButtonOpenClick() { setPanelHeight(58); }

void WebGuiPage::ToolBtnHTMLSrcClick()
{
    if (ctx_.toggleFormSource) ctx_.toggleFormSource();
}

void WebGuiPage::ToolButtonExitClick()
{
    if (ctx_.closeMainWindow) ctx_.closeMainWindow();
}

void WebGuiPage::ToolButton5Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    c_.PageControlGUIRight->setCurrentWidget(c_.PageControlGUIRightTab02AllHTMLSrc);
    showWholeSource(EditorSourceSjis(st().GActiveEditor), c_.CheckBoxPageControlGUIRightTopEitireSrc->isChecked());
    c_.RichEditPageControlGUIRightOrgEntireSrc->setText(fileExists(st().GGUIFile) ? LoadTextFile(st().GGUIFile) : std::string());
    QApplication::restoreOverrideCursor();
}

// The tool buttons show the editor's state: a toggle that the editor could not apply (no
// document yet) leaves the button as the editor is.
void WebGuiPage::ToolButtonBorderVisibleClick()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed) ed->SetShowBorders(!ed->ShowBorders());
    c_.ToolButtonBorderVisible->setChecked(ed && ed->ShowBorders());
}

void WebGuiPage::ToolButtonShowDetailClick()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed) ed->SetShowDetails(!ed->ShowDetails());
    c_.ToolButtonShowDetail->setChecked(ed && ed->ShowDetails());
}

void WebGuiPage::ToolButton2Click()
{
    TProfDHTMLEdit2 *ed = st().GActiveEditor;
    if (ed && ed->IsHttpDocument()) {
        const std::string url = Trim(toSjis(c_.ComboBoxGUIEditorURL->currentText()));
        if (IsHttpUrl(url)) OpenUrlInBrowser(url);
        return;
    }
    const std::string file = ctx_.BtnEditDownloadLocalFile ? Trim(toSjis(ctx_.BtnEditDownloadLocalFile->text())) : std::string();
    if (fileExists(file)) OpenUrlInBrowser(file);
}

void WebGuiPage::ToolButtonTempClick()
{
    c_.PageControlWebGUITop->setCurrentWidget(c_.PageControlWebGUITopTab01Main);
    setPanelHeight(56);
    btnGUITDCheckClick();
}

void WebGuiPage::ToolButtonGUICOPYClick()
{
    if (copyIndentResult) copyIndentResult();
}
