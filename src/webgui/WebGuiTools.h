// What the WebGUI page's search, style-sheet and list tools reach outside the page: the shared
// state, the download page's boxes and lists they write, the message box, and the dialogs
// (replaceable so tests run without them).
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;
class TBtnEdit;
class TComboBox;
class TListBox;
struct AppState;

struct WebGuiToolsContext {
    AppState *state = nullptr;
    TBtnEdit *BtnEditDownloadLocalFile = nullptr;  // the page's local file
    TComboBox *ComboBoxURLDirect = nullptr;        // the download page's URL box
    TComboBox *ComboBoxUrl = nullptr;              // the search page's URL box
    TListBox *ListBoxObtainedCSS = nullptr, *ListBoxCSSLocalFilename = nullptr, *ListBoxFrameSet = nullptr,
             *ListBoxComprehensiveCSSList = nullptr;
    std::function<void(const QString &)> message;  // a modal message box
};

// Names are Shift_JIS paths; "" means cancelled.
struct WebGuiToolDialogs {
    // A save dialog with the file name Preset and the filter Filter (Qt's "text (*.x)" form).
    std::function<std::string(QWidget *parent, const std::string &Preset, const QString &Filter)> save;
    std::function<std::string(QWidget *parent, const QString &Filter)> open;
    // True for "Yes".
    std::function<bool(QWidget *parent, const QString &Text)> askYesNo;
    static WebGuiToolDialogs system();
};
