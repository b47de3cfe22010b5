// The " LinkList  ", " ImageList " and " FrameSet " sub-tabs of the WebGUI page: a listed link or
// image shown in the sub-tab's pane, a frameset's frames listed and each frame's HTML shown, and
// the frame addresses handed to the download page.
#pragma once

#include "webgui/WebGuiControls.h"
#include "webgui/WebGuiTools.h"

#include <QObject>

class WebGuiListsPage : public QObject {
    Q_OBJECT
public:
    WebGuiListsPage(WebGuiControls &c, WebGuiToolsContext ctx, QObject *parent = nullptr);

    // Lists the frames of WebBrowserDownload's document in ListBoxFrameURL (after what it holds).
    // The WebGUI page's own reader takes this place once it is assigned.
    std::function<void()> GetFrameset;

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

private:
    void listView(TListBox *List, TWebbrowser *Browser, QLineEdit *Edit);
    void listFrames();

    WebGuiControls &c_;
    WebGuiToolsContext ctx_;
    bool busy_ = false;
};
