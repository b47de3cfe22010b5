// The main window's secondary windows: the HTML source viewer, the wait window shown while
// the right pane loads, and the message window with a copy button.
#pragma once
#include "platform/Controls.h"
#include <QWidget>
#include <string>

class TRichEdit;
class TAMainForm;

// A resizable viewer of HTML source, coloured on demand, that remembers its place on the
// screen in the settings file.
class TFormSource : public QWidget {
    Q_OBJECT
public:
    explicit TFormSource(QWidget *parent = nullptr);

    TSpeedButton *SpeedButton1, *btnTextBlack, *btnMakeColor, *sbAppearanceThisPosition, *sbCopyAll, *sbClear;
    TCheckBox *CheckBox1, *CheckBoxColor;
    TRichEdit *RichEditSource;
    TStatusBar *StatusBar1;

    void FormShow();
    void sbAppearanceThisPositionClick();
    void CheckBox1Click();
    void btnMakeColorClick();
    void btnTextBlackClick();
    void sbCopyAllClick();
    void sbClearClick();

protected:
    void showEvent(QShowEvent *e) override;

private:
    // The settings file and whether the main window has been shown, from the main window.
    static TAMainForm *mainForm();
};

// A small top-most window shown while the right pane loads; no handlers of its own.
class TFormWaitForBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TFormWaitForBrowser(QWidget *parent = nullptr);
    TLabel *Label1, *Label2;
};

// A large memo and a button that copies it to the clipboard.
class TShowMessageForm : public QWidget {
    Q_OBJECT
public:
    explicit TShowMessageForm(QWidget *parent = nullptr);
    TPanel *Panel1;
    TButton *btnCOPY2Clipboard;
    TMemo *MemoShowMessage;
    void btnCOPY2ClipboardClick();
};
