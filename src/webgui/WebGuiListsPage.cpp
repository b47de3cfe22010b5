#include "webgui/WebGuiListsPage.h"

#include "platform/BrowserWaits.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/TWebbrowser.h"
#include "state/AppState.h"
#include "text/JCode.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"
#include "webgui/SheetAggregation.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QSplitter>
#include <QUrl>

namespace {

QString q(const std::string &sjis) { return fromSjis(sjis); }

// A listed local file as the pane loads it.
QString paneAddress(const std::string &item)
{
    const QString s = q(item);
    if (s.startsWith(QLatin1Char('/'))) return QUrl::fromLocalFile(s).toString();
    return s;
}

}  // namespace

WebGuiListsPage::WebGuiListsPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent)
    : QObject(parent), c_(c), page_(page), ctx_(std::move(ctx))
{
    if (c_.RadioGroupFrameSetCharCode->itemCount() == 0)
        c_.RadioGroupFrameSetCharCode->setItems(
            {QStringLiteral("自動"), QStringLiteral("Shift_JIS"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8")});
    if (c_.RadioGroupFrameSetCharCode->itemIndex() < 0) c_.RadioGroupFrameSetCharCode->setItemIndex(0);
    c_.cbDownloadURL->setEditable(true);
    c_.cbDownloadURL->setMinimumWidth(300);
    page_.FrameSetOpened = [this](const std::string &url) { frameSetOpened(url); };
    // The list at the left, the pane that shows an entry taking two thirds; the pane starts
    // out without a size of its own, so it is given one when its sub-tab first shows.
    connect(c_.PageControlWebGUITop, &QTabWidget::currentChanged, this, [this] {
        for (QSplitter *split : {c_.SplitterLinkList, c_.SplitterImageList}) {
            const QList<int> sizes = split->sizes();
            if (!split->isVisible() || sizes.size() != 2 || sizes[1] > 0) continue;
            const int total = sizes[0] + sizes[1];
            split->setSizes({total / 3, total - total / 3});
        }
    });
    connect(c_.ListBoxLinkList, &QListWidget::itemClicked, this, [this] { ListBoxLinkListClick(); });
    connect(c_.ListBoxImageList, &QListWidget::itemClicked, this, [this] { ListBoxImageListClick(); });
    connect(c_.sbFrameNavigate, &QToolButton::clicked, this, [this] { sbFrameNavigateClick(); });
    connect(c_.cbDownloadURL->lineEdit(), &QLineEdit::returnPressed, this, [this] { cbDownloadURLKeyDown(); });
    connect(c_.btnGetFrameSetUrlPaste, &QPushButton::clicked, this, [this] { btnGetFrameSetUrlPasteClick(); });
    connect(c_.btnGetFrameSet, &QPushButton::clicked, this, [this] { btnGetFrameSetClick(); });
    connect(c_.btnSetFrameSet, &QPushButton::clicked, this, [this] { btnSetFrameSetClick(); });
    connect(c_.ListBoxFrameURL, &QListWidget::itemClicked, this, [this] { ListBoxFrameURLClick(); });
}

void WebGuiListsPage::listView(TListBox *List, TWebbrowser *Browser, QLineEdit *Edit)
{
    if (List->count() == 0) return;
    AppState &st = *ctx_.state;
    st.GImageViewIndex = -1;
    for (int i = 0; i < List->count() && st.GImageViewIndex < 0; ++i)
        if (List->item(i)->isSelected()) st.GImageViewIndex = i;
    if (st.GImageViewIndex < 0) return;
    st.GLinkViewIndex = st.GImageViewIndex;
    const std::string item = toSjis(List->item(st.GImageViewIndex)->text());
    if (item.find("http://") != std::string::npos || item.find("https://") != std::string::npos) {
        Browser->Navigate(q(item));
        Edit->setText(q(item));
    } else {
        // Local paths are shown as the system writes them.
        if (QFileInfo(q(item)).isFile()) Browser->Navigate(paneAddress(item));
        Edit->setText(q(item));
    }
    QApplication::clipboard()->setText(q(item));
}

void WebGuiListsPage::ListBoxLinkView() { listView(c_.ListBoxLinkList, c_.WebBrowserLink, c_.EditGUILinkURL); }
void WebGuiListsPage::ListBoxImageView() { listView(c_.ListBoxImageList, c_.WebBrowserImageView, c_.EditGUIImage); }

void WebGuiListsPage::listFrames() { page_.GetFrameset(); }

void WebGuiListsPage::frameSetOpened(const std::string &Url)
{
    c_.cbDownloadURL->setEditText(q(Url));
    sbFrameNavigateClick();
    btnGetFrameSetClick();
}

void WebGuiListsPage::sbFrameNavigateClick()
{
    const QString url = c_.cbDownloadURL->currentText().trimmed();
    if (url.isEmpty() || busy_) return;
    busy_ = true;
    c_.WebBrowserDownload->Navigate(paneAddress(toSjis(url)));
    c_.ListBoxFrameURL->clear();
    c_.RichEditFrame->clear();
    // The frames are those of the page asked for, once it has loaded.
    WaitWhileBrowserBusy(c_.WebBrowserDownload);
    busy_ = false;
    listFrames();
}

void WebGuiListsPage::btnGetFrameSetUrlPasteClick()
{
    c_.cbDownloadURL->setEditText(QApplication::clipboard()->text());
    sbFrameNavigateClick();
}

void WebGuiListsPage::btnGetFrameSetClick()
{
    c_.ListBoxFrameURL->clear();
    c_.RichEditFrame->clear();
    c_.ListBoxFrameURL->addItem(c_.cbDownloadURL->currentText());
    listFrames();
}

void WebGuiListsPage::btnSetFrameSetClick()
{
    btnGetFrameSetClick();
    if (!ctx_.ListBoxFrameSet) return;
    for (int i = 1; i < c_.ListBoxFrameURL->count(); ++i) ctx_.ListBoxFrameSet->addItem(c_.ListBoxFrameURL->item(i)->text());
}

void WebGuiListsPage::ListBoxFrameURLClick()
{
    QListWidgetItem *current = c_.ListBoxFrameURL->currentItem();
    if (!current || !current->isSelected() || busy_) return;
    c_.RichEditFrame->clear();
    const std::string item = toSjis(current->text());
    QApplication::clipboard()->setText(q(item));
    const FrameItemTarget t = FrameItemTargetOf(item);
    if (!t.Fetch) {
        c_.cbDownloadURL->setEditText(q(t.Target));
        c_.ComboBoxGUIEditorURL->setEditText(q(t.Target));
    } else {
        for (QComboBox *b : {static_cast<QComboBox *>(c_.cbDownloadURL), static_cast<QComboBox *>(c_.ComboBoxGUIEditorURL),
                             static_cast<QComboBox *>(ctx_.ComboBoxUrl)})
            if (b) b->setEditText(q(item));
        busy_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::string text = FetchTextWaiting(item);
        QApplication::restoreOverrideCursor();
        busy_ = false;
        if (text.empty()) return;
        switch (c_.RadioGroupFrameSetCharCode->itemIndex()) {
        case 1: break;
        case 2: text = EucToSjis(text); break;
        case 3: text = Utf8ToAnsi(text); break;
        default: text = ConvertTextToSjis(text, 0); break;
        }
        c_.RichEditFrame->setText(FrameTextCleanup(text));
    }
    const QString target = c_.cbDownloadURL->currentText();
    c_.WebBrowserDownload->Navigate(paneAddress(toSjis(target)));
    c_.ComboBoxGUIEditorURL->setEditText(target);
}
