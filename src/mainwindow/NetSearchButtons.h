// The net-search page's smaller handlers: keyword buttons, the keyword box's input mode,
// the auxiliary and side browsers, the right pane's back/forward buttons, the title list
// beside the left pane, and the buttons that hand the URL to other pages.
#pragma once
#include "platform/DocEventSink.h"
#include <QList>
#include <QObject>
#include <QPointer>
#include <string>

class TAMainForm;

// The input method the keyword box asks for on entering it (RadioGroupIME 0: off, 1: on in
// Japanese input) and on a click in it (0: as it is, 1: on).
enum class KeywordImeMode { Off, Japanese, Unchanged };
KeywordImeMode KeywordImeOnEnter(int RadioGroupIme);
KeywordImeMode KeywordImeOnClick(int RadioGroupIme);
class QLineEdit;
class QWidget;
// Qt cannot pick the input method's conversion mode; the nearest it offers is whether the
// edit takes composed input at all, and hints that Latin text is wanted. HintsOwner is the
// widget whose hints the edit follows (a combo box for its line edit; else the edit).
void SetEditImeMode(QLineEdit *Edit, QWidget *HintsOwner, KeywordImeMode Mode);

class NetSearchButtons : public QObject {
    Q_OBJECT
public:
    explicit NetSearchButtons(TAMainForm &form);

    void EncloseQuatationClick();
    void btnSearchiAddInsiteClick();
    void edGoogleSearchEnter();
    void edGoogleSearchClick();
    void sbShrinkTopPanelClick();
    void RadioGroupSearchNoListClick();
    void btnR2SClick();
    void btnR2SPasteClick();
    void sbAuxGoClick();
    void sbAuxBwdClick();
    void WebBrowserTradBeforeNavigate2();
    void WebBrowserTradDocumentComplete();
    void sbTargetBrowserBackClick();
    void sbTargetBrowserForwardClick();
    void sbEditBrowsedSearchClick();
    void btnCOPY2DownloadUrlClick();
    void btnChangemainPageClick();
    void sbOpenTargetBwowserClick();
    void sbGoogleExitClick();
    void sbWebGUITopFrameExitClick();
    void sbGoogleSearchOpenIEClick();
    void btnSearchSideTopOpenIEClick();
    void btnSearchSideTopClick();
    void btnOnceBaseBrowseClick();
    void btnGetTextFromWebBrowserClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyIme(KeywordImeMode mode);
    TAMainForm &f_;
    // The auxiliary browser is an ordinary browser: its sink is never connected.
    DocEventSink FTradDocSink{QStringLiteral("FTradDocSink")};
};
