// The " LinkList  ", " ImageList " and " FrameSet " sub-tabs of the WebGUI page: a listed link or
// image shown in the sub-tab's pane, a frameset's frames listed and each frame's HTML shown, and
// the frame addresses handed to the download page.
#pragma once

#include "webgui/WebGuiControls.h"
#include "webgui/WebGuiTools.h"

#include <QObject>

class WebGuiPage;

class WebGuiListsPage : public QObject {
    Q_OBJECT
public:
    WebGuiListsPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent = nullptr);

    void ListBoxLinkListClick() { ListBoxLinkView(); }
    void ListBoxImageListClick() { ListBoxImageView(); }
    void ListBoxLinkView();
    void ListBoxImageView();
    void sbFrameNavigateClick();
    void cbDownloadURLKeyDown() { sbFrameNavigateClick(); }
    void btnGetFrameSetUrlPasteClick();
    void btnGetFrameSetClick();
    void btnSetFrameSetClick();
    void ListBoxFrameURLClick();
    // A frameset page opened on the WebGUI page: its frames listed here, the page first.
    void frameSetOpened(const std::string &Url);

private:
    void listView(TListBox *List, TWebbrowser *Browser, QLineEdit *Edit);
    void listFrames();

    WebGuiControls &c_;
    WebGuiPage &page_;
    WebGuiToolsContext ctx_;
    bool busy_ = false;
};
