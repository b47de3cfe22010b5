// The WebGUI page's layout: the rows of " 閲覧  " and the heights of the sub-tab panel.
#include "webgui/WebGuiPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include "platform/RichEditTools.h"
#include "platform/TWebbrowser.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiEditorIo.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>

#include <algorithm>

// The heights the page asks for its sub-tabs were made for one screen: " 閲覧  " gets at least
// what its rows need, and no sub-tab takes the room the source panes' toolbars need below it.
void WebGuiPage::setPanelHeight(int h)
{
    requestedHeight_ = h;
    applyPanelHeight();
}

void WebGuiPage::applyPanelHeight()
{
    QWidget *panel = c_.PanelPageControlMainBodyDHTMLTop;
    int h = requestedHeight_;
    if (c_.PageControlWebGUITop->currentWidget() == c_.PageControlWebGUITopTab01Main) {
        const int rows = c_.PageControlWebGUITopTab01Main->sizeHint().height() + c_.PageControlWebGUITop->tabBar()->sizeHint().height() + 8;
        h = std::max(h, rows);
    }
    const int room = panel->parentWidget() ? panel->parentWidget()->height() : 0;
    const int below = c_.SplitterWebGUI->minimumSizeHint().height() + 12;
    if (room > below + 120) h = std::min(h, room - below);
    if (panel->height() != h || panel->minimumHeight() != h) panel->setFixedHeight(h);
}

void WebGuiPage::layoutPage()
{
    // " 閲覧  ": the URL row, the retry hint, the local-file row, the toolbar and the options,
    // each row as wide as the page.
    QWidget *tab = c_.PageControlWebGUITopTab01Main;
    auto *area = tab->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
    QWidget *host = area ? area->widget() : tab;
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setParent(host);
    delete host->layout();  // the rows the builder made; the controls stay
    auto *v = new QVBoxLayout(host);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);
    auto row = [&](std::initializer_list<QWidget *> ws, QWidget *stretch) {
        auto *h = new QHBoxLayout;
        h->setSpacing(4);
        for (QWidget *w : ws) {
            if (!w) continue;
            h->addWidget(w, w == stretch ? 1 : 0);
            w->show();
        }
        if (!stretch) h->addStretch(1);
        v->addLayout(h);
        return h;
    };
    c_.ComboBoxGUIEditorURL->setMinimumWidth(300);
    c_.ComboBoxGUIEditorURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row({new QLabel(QStringLiteral("URL"), host), c_.ComboBoxGUIEditorURL, c_.btnGUIEditorURLPaste, c_.btnGUIEditorURLNavigate,
         c_.sbWebGUIEditorOpenIE},
        c_.ComboBoxGUIEditorURL);
    row({c_.LabelGUIEditorURLRetryHead, c_.btnGUIEditorURLRetryNavigate, c_.LabelGUIEditorURLRetryTail}, nullptr);
    if (ctx_.BtnEditDownloadLocalFile) ctx_.BtnEditDownloadLocalFile->setMinimumWidth(300);
    row({new QLabel(QStringLiteral("ﾛｰｶﾙ・ﾌｧｲﾙ"), host), ctx_.BtnEditDownloadLocalFile, c_.btnGUIEditorLocalFile,
         c_.btnGUIEditorURLOpen, c_.btnOpenFileDirect, c_.sbGUILocalIEOpen},
        ctx_.BtnEditDownloadLocalFile);
    v->addWidget(c_.ToolBar1);
    // The options: the charset choice first, then the indentation options, in two rows.
    row({c_.RadioGroupGULocalFileICharCode, c_.RadioGroupTDIndentation, c_.RadioGroupGUIHTMLOption,
         c_.RadioGroupIndentImgAlt, c_.RadioGroupCommntBar},
        nullptr);
    row({c_.RadioGroupAdjustHTMLTree, c_.RadioGroupEmptyElement, c_.RadioGroupHTMLNodePosition,
         c_.RadioGroupPageControlGUIRightTopEntireSrc, c_.SpinEditGUIAreaHeight, c_.SpinEditGUIGUIdMaxlen},
        nullptr);
    row({c_.CheckBoxGUIIndent, c_.CheckBoxPageControlGUIRightTopEitireSrc, c_.CheckBoxPageControlGUIRightTopOrgEitireSrc,
         c_.RadioGroupRemoveIndentComment, c_.CheckBoxInhibitGetSource},
        nullptr);
    v->addStretch(1);

    // The editor and the source panes share the width; no splitter of the page lets a pane or
    // a toolbar row shrink to nothing.
    for (QSplitter *sp : c_.PanelPageControlMainBodyDHTMLTop->window()->findChildren<QSplitter *>())
        if (c_.PageControlWebGUITop->isAncestorOf(sp) || c_.SplitterWebGUI->isAncestorOf(sp) || sp == c_.SplitterWebGUI)
            sp->setChildrenCollapsible(false);
    c_.SplitterWebGUI->setStretchFactor(0, 1);
    c_.SplitterWebGUI->setStretchFactor(1, 1);
    c_.PageControlGUILeft->setMinimumWidth(200);
    c_.PageControlGUIRight->setMinimumWidth(200);
    c_.SplitterWebGUI->setSizes({1000, 1000});
    if (QWidget *p = c_.PanelPageControlMainBodyDHTMLTop->parentWidget()) p->installEventFilter(this);
}
