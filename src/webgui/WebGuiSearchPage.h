// The keyword searches of the WebGUI page's ten source panes, the saves of the " HTMLｿｰｽ " pane,
// the small handlers of the source, body and script sub-tabs, and the lists, searches and buttons
// of the right-hand source panes (the indentation result, the selected object, the folding
// panels, the aggregated style sheets and scripts).
#pragma once

#include "webgui/BatchSearch.h"
#include "webgui/WebGuiControls.h"
#include "webgui/WebGuiTools.h"

#include <QObject>
#include <QTimer>
#include <array>

class WebGuiPage;

class WebGuiSearchPage : public QObject {
    Q_OBJECT
public:
    WebGuiSearchPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent = nullptr);

    WebGuiToolDialogs dialogs = WebGuiToolDialogs::system();

    // The ten batch searches; each row names its keyword box, pane, list and extra steps.
    enum Row {
        RowHTMLSrc, RowBody, RowCSS, RowJAVA, RowAllSrc, RowOrgSrc, RowAfter, RowCSSText, RowCSSAll, RowJAVAAll,
        RowCount
    };
    void btnHTMLSearchBatchFindClick() { runRow(RowHTMLSrc); }
    void btnBodySearchClick() { runRow(RowBody); }
    void BtnGUIbatchSearchClick() { runRow(RowCSS); }
    void BtnGUIbatchJavaSearchClick() { runRow(RowJAVA); }
    void btnEditSearcGUISrcKeyWordClick() { runRow(RowAllSrc); }
    void btnEditSearcGUIIOrgSrcKeyWordClick() { runRow(RowOrgSrc); }
    void btnEditSearcGUIAfterKeyWordClick() { runRow(RowAfter); }
    void btnWebGUIBatchSearchExecuteClick() { runRow(RowCSSText); }
    void btnPageControllGUIRightTab02AllHTMLSrcTab07CSSSearchClick() { runRow(RowCSSAll); }
    void btnPageControllGUIRightTab02AllHTMLSrcTab08JAVASearchClick() { runRow(RowJAVAAll); }
    // The hit-list click of a row (nothing for the rows without one).
    void ListBoxClick(int Row);
    void ListBoxJAVASearchClick() { ListBoxClick(RowJAVA); }
    bool searchRunning() const { return search_.running(); }

    // --- " HTMLｿｰｽ " and " Body " ---------------------------------------------------------------
    void btnSaveHTMLSrClick();
    void btnSaveHTMLSrWithNameClick();
    // Tells why the page may not be saved over File; true when refused.
    bool refused(const std::string &File);
    void MemoHTMLSrcResizeRequest();
    void MemoBodyResizeRequest();
    void sbHTMLSrcbatchpasteClick();
    void btnBodyPasteClick();
    void btnMakeBodyColorClick();
    void btnHTMLBody2BlackClick();
    void ListBoxAnchorClick();

    // --- " JAVA " ----------------------------------------------------------------------------------
    void btnGUIEditJAVAPasteClick();
    void btnGUIEditJAVAPClearClick();
    void PanelPageControlWebGUITopTab05CSSLEftResize();

    // --- right-hand source panes --------------------------------------------------------------------
    void btnAllHTMLSrcTab07IndentSearchClick();
    void btnAllHTMLSrcTab07IndentSearchNextClick();
    void btnAllHTMLSrcTab07IndentResultSearchClickClick();
    void btnAllHTMLSrcTab07IndentResultSearchNextClickClick();
    void btnAllHTMLSrcTab07IndentSearchHTMLCOPYClick();
    void ListBoxGUITDResultLineClick();
    void ListBoxGUISaveFinalClick();
    void btnMakeGUIOrgRTColorClick();
    void btnMakeGUIOrgRTBlackClick();
    void btnMakeGUIROrgRTReloadClick();
    void btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrapClick();
    void PageControlGUIRightTab02AllHTMLSrcRightChange();
    void sbbtnEditSearcGUISrcKeyWordSquuezeClick();
    void sbbtnEditSelectedyWordSquuezeClick();
    void sbbtnEditSearcGUIIndentSquuezeClick();
    void RichEditPageControlGUIRightEntireSrcResizeRequest();
    void Splitter43CanResize();

    // The labelled-line list's own search position (the result list uses GIndentSearchIndex).
    int GIndentTraceSearchIndex = -1;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    struct PaneRow {
        BatchSearchRow Search;
        QAbstractButton *Button = nullptr;
        bool Enter = false;
        QLabel *Info = nullptr;  // the hit list's click jumps when set
        std::function<TRichEdit *()> ClickPane;
    };
    void buildRows();
    void runRow(int Row);
    void connectButtons();
    void setStatus(int panel, const QString &text);
    void tell(const QString &text);
    void indentSearch(TListBox *List, int &Position, bool Next, bool ResetOnMiss);
    void setFoldHeights(TPanel *A, int HeightA, TPanel *B, int HeightB);
    // The pane's text changed: its hits are stale; Rerun runs the row once events settle.
    void paneTextChanged(int Row, int Panel, QListWidget *List);
    TRichEdit *cssPane() const;
    TRichEdit *javaPane() const;

    WebGuiControls &c_;
    WebGuiPage &page_;
    WebGuiToolsContext ctx_;
    TBatchSearch search_;
    std::array<PaneRow, RowCount> rows_;
    std::array<QTimer *, RowCount> rerun_{};
    QTimer *colourRetry_ = nullptr;  // the selected object's pane coloured again from the editor
};
