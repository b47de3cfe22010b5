#include "mainwindow/BatchViewPage.h"
#include "mainwindow/BatchView.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
#include "platform/BrowserWaits.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include "webgui/WebGuiPage.h"
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace {
OpenFileHook g_openFileHook;

const QString kBadUrl = QStringLiteral("URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）");
// Longest pause between two tabs of a batch; a tab whose page has loaded ends it earlier.
constexpr int kTabPauseMs = 1000;

bool holdsWebScheme(const QString &s)
{
    return s.contains(QLatin1String("http://")) || s.contains(QLatin1String("https://"));
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

void setBatchOpenFileHook(OpenFileHook hook) { g_openFileHook = std::move(hook); }

BatchViewPage::BatchViewPage(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &b = f_.batch;
    wireNewWindow(b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView);
    auto click = [this](QAbstractButton *btn, void (BatchViewPage::*fn)()) {
        connect(btn, &QAbstractButton::clicked, this, [this, fn] { (this->*fn)(); });
    };
    click(b.sbPanelPanelPageControlMainTopTab07BatchPageViewNavigate,
          &BatchViewPage::sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick);
    click(b.btnPanelPageControlMainTopTab07BatchPageViewTopLinkList,
          &BatchViewPage::btnPanelPageControlMainTopTab07BatchPageViewTopLinkListClick);
    click(b.sbPanelPanelPageControlMainTopTab07BatchPageViewOppenFile,
          &BatchViewPage::sbPanelPanelPageControlMainTopTab07BatchPageViewOppenFileClick);
    click(b.btnBatchHrefList, &BatchViewPage::btnBatchHrefListClick);
    click(b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop,
          &BatchViewPage::btnEditPanelPanelPageControlMainTopTab07BatchPageViewStopClick);
    click(b.btnBatchViewCloaseAll, &BatchViewPage::btnBatchViewCloaseAllClick);
    click(b.btnBatchLinkClear, &BatchViewPage::btnBatchLinkClearClick);
    click(b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewPaste,
          &BatchViewPage::btnEditPanelPanelPageControlMainTopTab07BatchPageViewPasteClick);
    connect(b.sbPanelPanelPageControlMainTopTab07BatchPageViewExit, &QAbstractButton::clicked, &f_, &QWidget::close);
    connect(b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView, &QListWidget::itemClicked, this,
            &BatchViewPage::ListBoxEditPanelPanelPageControlMainTopTab07BatchPageViewClick);

    // The URL box opens its page on Enter and on a paste; a character typed does not open a
    // half-typed address, and text the program sets never opens it.
    auto *box = b.EditPanelPanelPageControlMainTopTab07BatchPageView;
    connect(box, &QLineEdit::returnPressed, this, &BatchViewPage::sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick);
    connect(box, &QLineEdit::textEdited, this, [this](const QString &t) {
        const bool pasted = t.size() - lastBoxText_.size() > 1;
        lastBoxText_ = t;
        if (pasted && holdsWebScheme(t)) sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick();
    });
    connect(box, &QLineEdit::textChanged, this, [this](const QString &t) { lastBoxText_ = t; });

    b.SpinEditLinkCount->setRange(1, 100);
    b.SpinEditLinkCount->setValue(20);
    b.SpinEditLinkStart->installEventFilter(this);
    b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(false);
    b.SplitterBatchPageView->setOrientation(Qt::Horizontal);
    b.SplitterBatchPageView->setStretchFactor(1, 1);

    auto *pc = b.PageCotrolMainTopTab07BatchPageView;
    popup_ = new QMenu(pc);
    popup_->setObjectName(QStringLiteral("PopupMenuTab07BatchPageView"));
    auto add = [&](const char *name, const QString &caption, auto fn) {
        QAction *a = popup_->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, fn);
    };
    add("PopupMenuTab07BatchPageViewClose", QStringLiteral("このﾍﾟｰｼﾞを閉じる"), [this] { PopupCloseOneClick(); });
    add("PopupMenuTab07BatchPageViewCloseAll", QStringLiteral("一括で全ﾍﾟｰｼﾞを閉じる"), [this] { closeAllTabs(); });
    add("PopupMenuTab07BatchPageViewOpenIE", QStringLiteral("ＩＥ（ Internet Explorer ）で表示する"),
        [this] { PopupOpenInBrowserClick(); });
    pc->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pc, &QWidget::customContextMenuRequested, this, [this, pc](const QPoint &p) { popup_->popup(pc->mapToGlobal(p)); });
}

bool BatchViewPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == f_.batch.SpinEditLinkStart && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            f_.batch.btnBatchHrefList->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool BatchViewPage::stopPressed() const
{
    return TWebbrowser::terminating() || !f_.batch.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->isEnabled();
}

QString BatchViewPage::dataFolder() const
{
    return settingsFolder(fromSjis(f_.state().GProgramFolder));
}

bool BatchViewPage::waitForIndexPage()
{
    WaitWhileBrowserBusy(f_.batch.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView, kBrowserWaitMs,
                         [this] { return stopPressed(); });
    return !stopPressed();
}

void BatchViewPage::sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick()
{
    auto &b = f_.batch;
    auto *box = b.EditPanelPanelPageControlMainTopTab07BatchPageView;
    const std::string text = Trim(toSjis(box->text()));
    std::string target = text;
    if (IsLocalPageRef(text)) {
        const std::string path = LocalPagePath(text);
        if (path.empty() || !QFileInfo(fromSjis(path)).isFile()) {
            box->clear();
            return;
        }
        target = path;
        const std::string content = LoadTextFile(path);
        if (NeedsInlineFrameCopy(content)) {
            const std::string copy =
                WriteInlineFrameCopy(path, content, toSjis(QStringLiteral("■")), toSjis(dataFolder()));
            if (!copy.empty()) target = copy;
        }
    } else if (!IsHttpUrl(text)) {
        ShowMessageBox(&f_, kBadUrl);
        return;
    }
    b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
    b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView->Navigate(fromSjis(target));
    f_.gui.ComboBoxGUIEditorURL->setEditText(box->text());
    f_.MainScreen();
    f_.setPanelMainTopHeight(800);
    setSearchTopHeight(f_, 70);
    setSearchLeftWidth(f_, f_.state().GSearchLeftWidth);
    WaitCursor busy;
    // Stop ends the wait and the handler; "ﾘﾝｸの取得" lists the links later.
    if (!waitForIndexPage()) return;
    buildLinkList();
}

void BatchViewPage::buildLinkList()
{
    auto &b = f_.batch;
    StringList &links = f_.state().list(SharedList::GDocLinkList);
    links.clear();
    CollectDocumentLinks(b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView, links);
    auto *list = b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView;
    list->clear();
    QStringList lines;
    for (int i = 0; i < links.count(); ++i) lines << fromSjis(BatchLinkLine(i + 1, links[i]));
    list->setLines(lines);
    b.SpinEditLinkList->setValue(list->count());
    b.PageCotrolMainTopTab07BatchPageView->setCurrentWidget(b.PageCotrolMainTopTab07BatchPageViewTab00BasePage);
}

void BatchViewPage::btnPanelPageControlMainTopTab07BatchPageViewTopLinkListClick()
{
    auto &b = f_.batch;
    b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
    auto *box = b.EditPanelPanelPageControlMainTopTab07BatchPageView;
    const std::string text = Trim(toSjis(box->text()));
    if (text.empty()) return;
    if (IsLocalPageRef(text)) {
        const std::string path = LocalPagePath(text);
        if (path.empty() || !QFileInfo(fromSjis(path)).isFile()) {
            box->clear();
            return;
        }
    } else if (!IsHttpUrl(text)) {
        ShowMessageBox(&f_, kBadUrl);
        return;
    }
    WaitCursor busy;
    buildLinkList();
}

void BatchViewPage::sbPanelPanelPageControlMainTopTab07BatchPageViewOppenFileClick()
{
    auto &b = f_.batch;
    const QString chosen = g_openFileHook ? g_openFileHook()
                                          : QFileDialog::getOpenFileName(&f_, QString(), QString(),
                                                                         QStringLiteral("HTML (*.html *.htm);;* (*)"));
    if (chosen.isEmpty()) return;
    const std::string path = toSjis(chosen);
    const std::string content = LoadTextFile(path);
    if (LowerCase(content).find("<frame") != std::string::npos) {
        ShowMessageBox(&f_, QStringLiteral("Framesetﾌｧｲﾙです。各HTMLを個別にﾀﾞｳﾝﾛｰﾄﾞしてください"));
        return;
    }
    b.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(chosen);
    std::string target = path;
    if (NeedsInlineFrameCopy(content)) {
        const std::string copy = WriteInlineFrameCopy(path, content, toSjis(QStringLiteral("◎")), toSjis(dataFolder()));
        if (!copy.empty()) target = copy;
    }
    OpenFileInWebGuiEditor(target);
    b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
    b.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView->Navigate(fromSjis(target));
    b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->clear();
    WaitCursor busy;
    if (!waitForIndexPage()) return;
    buildLinkList();
}

void BatchViewPage::OpenFileInWebGuiEditor(const std::string &Path)
{
    const std::string local = IsLocalPageRef(Path) ? LocalPagePath(Path) : std::string();
    const std::string path = local.empty() ? Path : local;
    // The WebGUI page opens it in the background: the user stays here, and a batch is not
    // stopped by a page switch or a message box.
    if (f_.webGuiPage && QFileInfo(fromSjis(path)).isFile()) {
        const QScopedValueRollback<bool> quiet(handingOver_, true);
        f_.webGuiPage->OpenFile(path);
    }
    AppState &st = f_.state();
    st.GGUIFile = Path;
    st.GGUIDocName = Path;
}

void BatchViewPage::btnBatchHrefListClick()
{
    auto &b = f_.batch;
    if (b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->count() == 0) return;
    b.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
    if (b.CheckBoxCloseTabBeforeBatchView->isChecked()) closeAllTabs();
    const int r = HrefOutput(b.SpinEditLinkStart->value());
    f_.state().GLinkViewIndex = r;
    b.SpinEditLinkStart->setValue(r + 1);
}

int BatchViewPage::HrefOutput(int Start)
{
    auto &b = f_.batch;
    std::vector<std::string> lines;
    for (const QString &l : b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->lines()) lines.push_back(toSjis(l));
    BatchOpener opener;
    opener.open = [this](const std::string &link, int index) { OpenMultiURL(link, index); };
    opener.stopped = [this] { return stopPressed(); };
    opener.fileExists = [](const std::string &p) { return QFileInfo(fromSjis(p)).isFile(); };
    return BatchHrefOutput(lines, Start, b.SpinEditLinkCount->value(), opener);
}

TWebbrowser *BatchViewPage::CreateMultiCanvas()
{
    auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
    auto *sheet = new QWidget;
    sheet->setObjectName(QStringLiteral("BatchPageViewRunTimeTab"));
    auto *lay = new QVBoxLayout(sheet);
    lay->setContentsMargins(0, 0, 0, 0);
    const int index = pc->addTab(sheet, QStringLiteral("新規[ 1 ]"));
    auto *wb = new TWebbrowser(sheet);
    wb->setObjectName(QStringLiteral("PageBrowser") +
                      QString::number(++f_.state().GPageBrowserCount).rightJustified(6, QLatin1Char('0')));
    wb->setSilent(true);
    lay->addWidget(wb);
    pc->setCurrentIndex(index);
    wb->Navigate(QStringLiteral("about:blank"));
    wireNewWindow(wb);
    return wb;
}

// A page of the batch that asks for a new window gets a tab of the batch for it.
void BatchViewPage::wireNewWindow(TWebbrowser *Browser)
{
    connect(Browser, &TWebbrowser::NewWindow2, this, [this](const QString &url, TWebbrowser **target, bool *) {
        if (url.isEmpty() || url == QLatin1String("about:blank")) return;
        auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
        TWebbrowser *wb = CreateMultiCanvas();
        const int index = pc->indexOf(wb->parentWidget());
        pc->setTabText(index, fromSjis(BatchTabCaption(toSjis(url), index)));
        pc->setTabToolTip(index, url);
        *target = wb;
    });
}

int BatchViewPage::OpenMultiURL(const std::string &Url, int Number)
{
    if (IsLocalPageRef(Url)) OpenFileInWebGuiEditor(Url);
    WaitCursor busy;
    auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
    const int front = pc->currentIndex();
    if (front >= 0 && pc->tabText(front).isEmpty()) pc->setTabText(front, QStringLiteral("新規"));
    const QString caption = front >= 0 ? pc->tabText(front) : QString();
    TWebbrowser *wb = nullptr;
    // A fresh tab that never got its page is used for this one rather than left behind.
    if (front > 0 && caption.left(8).contains(QStringLiteral("新規")) && !caption.endsWith(QLatin1Char('*')))
        wb = pc->widget(front)->findChild<TWebbrowser *>();
    if (!wb) wb = CreateMultiCanvas();
    const int index = pc->indexOf(wb->parentWidget());
    wb->Navigate(fromSjis(Url));
    WaitWhileBrowserBusy(wb, kTabPauseMs, [this] { return stopPressed(); });
    if (index >= 0) {
        pc->setTabText(index, fromSjis(BatchTabCaption(Url, Number)));
        pc->setTabToolTip(index, fromSjis(Url));
    }
    return 0;
}

int BatchViewPage::LBSelected(QListWidget *ListBox)
{
    if (!ListBox) return -1;
    for (int i = 0; i < ListBox->count(); ++i)
        if (ListBox->item(i)->isSelected()) return i;
    return -1;
}

void BatchViewPage::ListBoxEditPanelPanelPageControlMainTopTab07BatchPageViewClick()
{
    auto &b = f_.batch;
    auto &dl = f_.dl;
    auto *list = b.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView;
    const std::string url = toSjis(listLineValue(fromSjis(ListBoxSelected(list))));
    if (Trim(url).empty() || LowerCase(url).find(".pdf") != std::string::npos) return;
    dl.EditCanNotObtainedSeverUrl->setText(fromSjis(url));
    const int index = LBSelected(list);
    bool shows = index >= 0;
    for (const char *m : {".pdf", "mailto:", "java", ".xls", ".doc"})
        if (url.find(m) != std::string::npos) shows = false;
    if (!shows) {
        b.PageCotrolMainTopTab07BatchPageView->setCurrentWidget(b.PageCotrolMainTopTab07BatchPageViewTab00BasePage);
        return;
    }
    b.SpinEditLinkStart->setValue(index + 1);
    const std::string link = IsLocalPageRef(url) ? LocalPagePath(url) : url;
    OpenMultiURL(link.empty() ? url : link, index);
    const QString u = fromSjis(url);
    dl.ComboBoxUrl->setEditText(u);
    dl.ComboBoxURLDirect->setEditText(u);
    f_.gui.ComboBoxGUIEditorURL->setEditText(u);
    b.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(IsLocalPageRef(url) ? fromSjis(link) : u);
    dl.ComboBoxBatchDownloadURL->setEditText(u);
    SetMainBaseDir(f_, toSjis(dl.ComboBoxUrl->currentText()));
    dl.BtnEditHTMLPageSaveFolder->clear();
    dl.LabelDownloadedFile->clear();
}

void BatchViewPage::btnEditPanelPanelPageControlMainTopTab07BatchPageViewStopClick()
{
    f_.batch.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(false);
}

void BatchViewPage::closeAllTabs()
{
    auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
    while (pc->count() > 1) {
        QWidget *sheet = pc->widget(1);
        if (!sheet->findChild<TWebbrowser *>()) break;
        pc->removeTab(1);
        delete sheet;  // frees its browser and the engine page behind it
    }
    pc->setCurrentWidget(f_.batch.PageCotrolMainTopTab07BatchPageViewTab00BasePage);
}

void BatchViewPage::btnBatchViewCloaseAllClick()
{
    closeAllTabs();
    f_.batch.btnEditPanelPanelPageControlMainTopTab07BatchPageViewStop->setEnabled(true);
}

void BatchViewPage::btnBatchLinkClearClick()
{
    f_.batch.ListBoxEditPanelPanelPageControlMainTopTab07BatchPageView->clear();
}

void BatchViewPage::btnEditPanelPanelPageControlMainTopTab07BatchPageViewPasteClick()
{
    const QString t = QApplication::clipboard()->text().trimmed();
    if (!IsHttpUrl(toSjis(t))) return;
    f_.batch.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(t);
    sbPanelPanelPageControlMainTopTab07BatchPageViewNavigateClick();
}

void BatchViewPage::PopupCloseOneClick()
{
    WaitWhileBrowserBusy(f_.batch.WebBrowserEditPanelPanelPageControlMainTopTab07BatchPageView);
    auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
    const int i = pc->currentIndex();
    if (i <= 0) return;
    QWidget *sheet = pc->widget(i);
    if (!sheet->findChild<TWebbrowser *>()) return;
    pc->removeTab(i);
    delete sheet;
}

void BatchViewPage::PopupOpenInBrowserClick()
{
    auto *pc = f_.batch.PageCotrolMainTopTab07BatchPageView;
    const std::string hint = toSjis(pc->tabToolTip(pc->currentIndex()));
    if (IsHttpUrl(hint)) OpenInDesktopBrowser(&f_, hint);
}
