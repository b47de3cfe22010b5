// The pages " 文字ｺｰﾄﾞ変換 " and " Ｗｅｂ ｺｰﾄﾞ変換 ": their handlers over the controls that the
// main window built. What they need of the window comes in a small context, so this folder
// does not depend on it.
#pragma once
#include "nettools/CodeConvertControls.h"

#include <QObject>
#include <functional>
#include <string>

// The window's part in the conversion pages.
struct TConvPageContext {
    std::string *GConvText = nullptr, *GConvFile = nullptr, *GConvSaveFile = nullptr;
    std::function<void(int)> setPanelMainTopHeight;
    std::function<void()> closeMainWindow;  // the File menu's close
};

// The file dialogs and the clipboard, replaceable so tests run without them. Names are
// Shift_JIS paths; "" means cancelled.
struct TConvDialogs {
    std::function<std::string(QWidget *parent)> openFile;
    std::function<std::string(QWidget *parent)> saveFile;
    std::function<QString()> clipboardText;
    static TConvDialogs system();
};

// A text of the window as Shift_JIS with CR LF line ends; a memo's text so, and back.
std::string textSjis(QString text);
std::string memoSjis(const TMemo *memo);
void setMemoSjis(TMemo *memo, const std::string &sjis);

class CodeConvertPage : public QObject {
    Q_OBJECT
public:
    CodeConvertPage(CodeConvertControls &c, TConvPageContext ctx, QObject *parent = nullptr);

    TConvDialogs dialogs = TConvDialogs::system();

    int UtilFileOpen(const std::string &FileName, int Source);
    void UtilCodeConversion(const std::string &Text);
    // True when the file was written.
    bool UtilSaveFile(const std::string &FileName);

    void ToolButtonPageControlMainBodyTab08UtilOpenClick();
    void ToolButtonPasteFromClipboardClick();
    void ToolButtonPageControlMainBodyTab08UtiRelOpenClick();
    void ToolButtonPageControlMainBodyTab08UtiSaveClick();
    void ToolButtonPageControlMainBodyTab08UtisaveWithNameClick();
    void btnPageControlMainBodyTab08UtisaveWithNameClick() { ToolButtonPageControlMainBodyTab08UtisaveWithNameClick(); }
    void ToolButtonPageControlMainBodyTab08UtiSerachClick();
    void btnUtilCodeConversionClick();
    void btnUtilCodeClipboard2MemoPageControlMainBodyTab08UtilLeftClick();
    void ToolButtonPageControlMainBodyTab08UtilExitClick();

private:
    void reportSaved(const std::string &name, bool ok);

    CodeConvertControls &c_;
    TConvPageContext ctx_;
};
