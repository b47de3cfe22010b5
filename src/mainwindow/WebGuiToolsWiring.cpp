// What the WebGUI page's tools reach of the window: the shared state, the page's local file, the
// download page's URL boxes and lists, and the message box.
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "webgui/WebGuiTools.h"

WebGuiToolsContext TAMainForm::webGuiToolsContext()
{
    WebGuiToolsContext c;
    c.state = &state_;
    c.BtnEditDownloadLocalFile = dl.BtnEditDownloadLocalFile;
    c.ComboBoxURLDirect = dl.ComboBoxURLDirect;
    c.ComboBoxUrl = dl.ComboBoxUrl;
    c.ListBoxObtainedCSS = dl.ListBoxObtainedCSS;
    c.ListBoxCSSLocalFilename = dl.ListBoxCSSLocalFilename;
    c.ListBoxFrameSet = dl.ListBoxFrameSet;
    c.ListBoxComprehensiveCSSList = dl.ListBoxComprehensiveCSSList;
    c.message = [this](const QString &text) { ShowMessageBox(this, text); };
    return c;
}
