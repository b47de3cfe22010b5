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
#include <QTimer>

#include <algorithm>

// The heights the page asks for its sub-tabs were made for one screen: " 閲覧  " gets at least
// what its rows need, and no sub-tab takes the room the editor and the source panes need below
// it, whoever sets the height (other pages set the panel directly).
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
    h = std::min(h, panelRoom());
    appliedHeight_ = h;
    if (panel->height() != h || panel->minimumHeight() != h || panel->maximumHeight() != h) panel->setFixedHeight(h);
}

// The most the sub-tabs may take: the page's visible height (the page never scrolls, so its
// status bar stays in sight) less the status bar and the room of the panes below.
int WebGuiPage::panelRoom() const
{
    QWidget *panel = c_.PanelPageControlMainBodyDHTMLTop;
    QWidget *host = panel->parentWidget();
    // Hidden, the page has no size to go by; it is measured again when it is shown.
    if (!host || !host->isVisible()) return requestedHeight_;
    int visible = host->height();
    if (auto *area = host->parentWidget() ? qobject_cast<QScrollArea *>(host->parentWidget()->parentWidget()) : nullptr)
        if (area->widget() == host) visible = area->viewport()->height();
    int others = c_.StatusBar->isVisibleTo(host) ? c_.StatusBar->sizeHint().height() : 0;
    if (QLayout *l = host->layout()) {
        const QMargins m = l->contentsMargins();
        others += m.top() + m.bottom() + 2 * std::max(0, l->spacing());
    }
    // The source panes scroll inside their tabs, and their toolbars may be folded to a sliver
    // ("▲"), so no minimum of theirs says what they need: the room kept here holds the tallest
    // source tab with its toolbars whole, and two fifths of the page at least.
    auto unfolded = [](QWidget *p) { return std::max(0, p->minimumSizeHint().height() - p->minimumHeight()); };
    const int whole = std::max(c_.SplitterGUIRightAllHTMLSrcTop->minimumSizeHint().height() +
                                   unfolded(c_.PanelPageControlGUIRightTab02AllHTMLSrcTop) +
                                   unfolded(c_.PanelPanelPanelPageControllGUIRightTab02AllHTMLSrcTab07TempTop),
                               c_.SplitterGUIOrgHTMLSrcTop->minimumSizeHint().height() +
                                   unfolded(c_.PanelPageControlGUIRightTab03OrgHTMLSrcTop)) +
                      c_.PageControlGUIRight->tabBar()->sizeHint().height() + 8;
    const int panes = std::max({c_.SplitterWebGUI->minimumSizeHint().height(), whole, visible * 2 / 5});
    return std::max(visible - others - panes, c_.PageControlWebGUITop->tabBar()->sizeHint().height() + 8);
}

// Keeps the panel's height within its room when the page or its view is resized, or when
// another page set the panel's height (that height is then the one asked for).
bool WebGuiPage::panelHeightEvent(QObject *watched, QEvent *event)
{
    QWidget *panel = c_.PanelPageControlMainBodyDHTMLTop;
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) &&
        (watched == panel->parentWidget() || watched == pageViewport_)) {
        applyPanelHeight();
        return true;
    }
    if (watched == panel && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) &&
        panel->minimumHeight() == panel->maximumHeight() && panel->minimumHeight() != appliedHeight_) {
        requestedHeight_ = panel->minimumHeight();
        QTimer::singleShot(0, this, [this] { applyPanelHeight(); });
        return true;
    }
    return false;
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
         c_.RadioGroupPageControlGUIRightTopEntireSrc, new QLabel(QStringLiteral("H:"), host), c_.SpinEditGUIAreaHeight,
         c_.SpinEditGUIGUIdMaxlen},
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
    QWidget *panel = c_.PanelPageControlMainBodyDHTMLTop;
    panel->installEventFilter(this);
    if (QWidget *p = panel->parentWidget()) {
        p->installEventFilter(this);
        if (auto *view = p->parentWidget(); view && qobject_cast<QScrollArea *>(view->parentWidget())) {
            pageViewport_ = view;
            view->installEventFilter(this);
        }
    }
}

// The options' captions and items. What has no choice to offer here (groups without items, the
// fixed line length, the re-indenter's switches the page keeps at their start) is kept for the
// settings but not shown as an empty box.
void WebGuiPage::labelOptions()
{
    auto radio = [](TRadioGroup *r, const QString &title, const QStringList &items) {
        if (r->itemCount() == 0) r->setItems(items);
        if (r->title().isEmpty()) r->setTitle(title);
        if (r->itemIndex() < 0) r->setItemIndex(0);
    };
    radio(c_.RadioGroupGULocalFileICharCode, QStringLiteral(" Web/ﾛｰｶﾙ・ﾌｧｲﾙの「 文字ｺｰﾄﾞ（ CharSet ） 」  "),
          {QStringLiteral("自動"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"), QStringLiteral("Shift_JIS"),
           QStringLiteral("UTF-8N")});
    radio(c_.RadioGroupTDIndentation, QStringLiteral(" <!-- と　-->で、行分割する "),
          {QStringLiteral("そのまま"), QStringLiteral("分割する")});
    radio(c_.RadioGroupIndentImgAlt, QStringLiteral(" <img alt=\"■■■\"> "),
          {QStringLiteral("何もしない"), QStringLiteral("加工する")});
    radio(c_.RadioGroupGUIHTMLOption, QString(), {QStringLiteral("何もしない"), QStringLiteral("<!DOC ・・等の順序替え")});
    radio(c_.RadioGroupCommntBar, QString(), {QStringLiteral("何もしない"), QStringLiteral("<!-- ### と %%% -->　とする")});
    radio(c_.RadioGroupRemoveIndentComment, QString(), {QStringLiteral("何もしない"), QStringLiteral("以前の --> <!-- を除く")});
    for (QWidget *w : std::initializer_list<QWidget *>{c_.RadioGroupGUIHTMLOption, c_.RadioGroupCommntBar, c_.RadioGroupRemoveIndentComment,
                                                       c_.SpinEditGUIGUIdMaxlen, c_.CheckBoxInhibitGetSource})
        w->hide();
    for (TRadioGroup *g : {c_.RadioGroupAdjustHTMLTree, c_.RadioGroupPageControlGUIRightTopEntireSrc})
        if (g->itemCount() == 0) g->hide();
}
