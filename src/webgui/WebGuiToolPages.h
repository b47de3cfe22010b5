// The WebGUI page's tools beside its editor: the keyword searches and source panes, the style
// sheets and scripts with their colour lists, and the link, image and frame lists.
#pragma once

#include "webgui/WebGuiSearchPage.h"
#include "webgui/WebGuiSheetsPage.h"
#include "webgui/WebGuiListsPage.h"

class WebGuiToolPages : public QObject {
    Q_OBJECT
public:
    WebGuiToolPages(WebGuiControls &c, WebGuiPage &page, const WebGuiToolsContext &ctx, QObject *parent = nullptr)
        : QObject(parent), search(new WebGuiSearchPage(c, page, ctx, this)),
          sheets(new WebGuiSheetsPage(c, page, ctx, this)), lists(new WebGuiListsPage(c, page, ctx, this))
    {
    }
    WebGuiSearchPage *search;
    WebGuiSheetsPage *sheets;
    WebGuiListsPage *lists;
};
