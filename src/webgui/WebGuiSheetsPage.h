// The " CSS " and " JAVA " sub-tabs of the WebGUI page: each referenced style sheet or script
// fetched (or read beside a local page), converted by the sub-tab's charset and shown under its
// banner, one at a time or joined; the local page's sheets with their imports; the colour lists
// of a style sheet painted in their own colours; the references found in a sheet's text.
#pragma once

#include "webgui/WebGuiControls.h"
#include "webgui/WebGuiTools.h"

#include <QObject>
#include <QStyledItemDelegate>

class WebGuiPage;

// Paints a colour row in the colour it names, its text in a colour readable on it.
class TColorRowDelegate : public QStyledItemDelegate {
public:
    TColorRowDelegate(int RowHeight, QObject *parent) : QStyledItemDelegate(parent), height_(RowHeight) {}
    void paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &i) const override;
    QSize sizeHint(const QStyleOptionViewItem &o, const QModelIndex &i) const override;

private:
    int height_;
};

class WebGuiSheetsPage : public QObject {
    Q_OBJECT
public:
    WebGuiSheetsPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent = nullptr);

    WebGuiToolDialogs dialogs = WebGuiToolDialogs::system();

    // One reference as a banner block; "" when nothing could be read.
    std::string ComprehensiveListBoxGUICSS(const std::string &Url);
    std::string ComprehensiveListBoxGUIJAVA(const std::string &Url);
    // The local page's sheets with their imports (the caller passes the page file and the list
    // of its sheet references, which receives the sheets found). Always -1.
    int GUICSSLocalFile2TextView(const std::string &BaseFile, int, TListBox *ListBox, int);
    // The style-sheet references of the editor's document into List, one leading "/" taken
    // off each; the number listed.
    // A local page just opened: its sheets listed for the download page and joined here.
    void localPageOpened(const std::string &FileName);

    void ListBoxGUICSSClick();
    void ListBoxGUIJAVAClick();
    void ListBoxGUIJAVAALllClick();
    void btnMakeCSSTextClick();
    void btnMakeJAVATextClick();
    void btnClearGUICSSClick();
    void btnClearGUIJAVAClick();
    void btnAppendCSSClick();
    void tnAppendJAVAClick();
    void btnSaveGUIJavFileClick();

    void btnGetGUIColorClick();
    void btnClearGUIColorClick();
    void ListBoxGUICSSColorListClick();
    void ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTopClick();
    void btnGetGUICSSFileClick();
    void btnSaveGUICSSFileClick();
    void btnGUIEditCSSPasteClick();
    void btnGUIEditCSSPClearClick();

    bool busy() const { return busy_; }

private:
    struct Doc {
        bool http = false;
        std::string file;  // the page's URL or local file
        std::string base;  // the editor's base URL
    };
    Doc document() const;
    std::string fetch(const std::string &Url);
    void tell(const QString &text);
    void appendText(TRichEdit *pane, const std::string &text);

    WebGuiControls &c_;
    WebGuiPage &page_;
    WebGuiToolsContext ctx_;
    bool busy_ = false;  // a fetch is waited for: the handlers are not entered again
};
