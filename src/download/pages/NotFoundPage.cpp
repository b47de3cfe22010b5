#include "download/pages/NotFoundPage.h"
#include "state/AppState.h"
#include "download/pages/BrowserDocPage.h"
#include "download/RepairText.h"
#include "download/pages/IndividualDownloadPage.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QUrl>
#include <QWebEngineScript>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";

std::string sj(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }

const std::map<std::string, SharedList> &sharedLists()
{
    static const std::map<std::string, SharedList> m = {{"GObtainedFileList", SharedList::GObtainedFileList},
                                                        {"GExistFileList", SharedList::GExistFileList},
                                                        {"GNotFoundDownloadList", SharedList::GNotFoundDownloadList}};
    return m;
}

} // namespace

NotFoundPage::NotFoundPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx)), job_(this)
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
#define VK_BOX(n) boxes_[#n] = dl.n;
    VK_BOX(ListBoxPageControlMainTopRightTab11WebDir) VK_BOX(ListBoxPageControlMainTopRightTab11WebNotFoundFile)
    VK_BOX(ListBoxTriedWebFile) VK_BOX(ListBoxWeb2WinFile) VK_BOX(ListBoxFoundWebFile)
    VK_BOX(ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS) VK_BOX(ListBoxDowloadLocalFile)
    VK_BOX(ListBoxDownloadedCSSFile) VK_BOX(ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained)
#undef VK_BOX
    boxes_["ListBoxPanelPageControlMainTopTab12NotFoundCSS"] = rp.ListBoxPanelPageControlMainTopTab12NotFoundCSS;

    dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->setTabText(0, QStringLiteral(" 実在ﾌｧｲﾙ一覧  "));
    dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->tabBar()->moveTab(1, 0);
    rp.SplitterCantObtained->setOrientation(Qt::Horizontal);
    dl.ListBoxPageControlMainTopRightTab11WebDir->setSortingEnabled(true);
    for (QListWidget *l : {static_cast<QListWidget *>(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile),
                           static_cast<QListWidget *>(rp.ListBoxDownloadCanNotCSSFile)}) {
        l->setWordWrap(true);
        l->setTextElideMode(Qt::ElideNone);
        connect(l, &QListWidget::itemDoubleClicked, this, [this, l] { openListEditor(l); });
    }
    dl.BtnEditTriedWebFileSaveFolder->setMinimumWidth(300);
    dl.EditCanNotObtainedSeverUrl->setMinimumWidth(300);
    dl.EditCanNotObtainedWebUrl->setMinimumWidth(300);
    rp.ListBoxWebBrowserMainImage->setMaximumHeight(80);

    auto click = [this](QAbstractButton *b, void (NotFoundPage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(rp.btnDownLoadNotFoundFile, &NotFoundPage::btnDownLoadNotFoundFileClick);
    click(rp.btnNitFoundFileStop, &NotFoundPage::btnNitFoundFileStopClick);
    click(rp.btnTriedWebFileSaveFolder, &NotFoundPage::btnTriedWebFileSaveFolderClick);
    click(rp.btnAppendServerDirectory, &NotFoundPage::btnAppendServerDirectoryClick);
    click(rp.btnClearServerDirectory, &NotFoundPage::btnClearServerDirectoryClick);
    click(rp.btnNotFoudGFileClear, &NotFoundPage::btnNotFoudGFileClearClick);
    click(rp.btnCanNotObtainedSeverUrl, &NotFoundPage::btnCanNotObtainedSeverUrlClick);
    click(rp.btnSelectedSeraveDirectoryPaste, &NotFoundPage::btnSelectedSeraveDirectoryPasteClick);
    click(rp.btnNotFoundFileAdd, &NotFoundPage::btnNotFoundFileAddClick);
    click(rp.btnCanNotObtainedwebFile, &NotFoundPage::btnCanNotObtainedwebFileClick);
    click(rp.btnNotFoundFilePaste, &NotFoundPage::btnNotFoundFilePasteClick);
    click(rp.btnGetfromOleObject, &NotFoundPage::btnGetfromOleObjectClick);
    connect(dl.EditCanNotObtainedSeverUrl, &QLineEdit::returnPressed, this, [this] { btnAppendServerDirectoryClick(); });
    connect(dl.EditCanNotObtainedWebUrl, &QLineEdit::returnPressed, this, [this] { EditCanNotObtainedWebUrlEnter(); });
    connect(dl.ListBoxPageControlMainTopRightTab11WebDir, &QListWidget::itemClicked, this,
            [this] { ListBoxPageControlMainTopRightTab11WebDirClick(); });
    connect(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile, &QListWidget::itemClicked, this,
            [this] { ListBoxPageControlMainTopRightTab11WebNotFoundFileClick(); });
    connect(dl.ListBoxFoundWebFile, &QListWidget::itemClicked, this, [this] { ListBoxFoundWebFileClick(); });
    rp.btnNitFoundFileStop->installEventFilter(this);

    run_.SetSink([this](const ListChange &c) {
        QMetaObject::invokeMethod(this, [this, c] { apply(c); }, Qt::QueuedConnection);
    });
    run_.EnableStop = [this] {
        QMetaObject::invokeMethod(this, [this] { c_.rep.btnNitFoundFileStop->setEnabled(true); }, Qt::QueuedConnection);
    };
    run_.Label = [this](const std::string &t) {
        QMetaObject::invokeMethod(this, [this, t] { c_.rep.LabelTryWebFile->setText(qs(t)); }, Qt::QueuedConnection);
    };
}

bool NotFoundPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == c_.rep.btnNitFoundFileStop && event->type() == QEvent::EnabledChange && job_.running())
        run_.Stop = !c_.rep.btnNitFoundFileStop->isEnabled();
    if (editor_ && event->type() == QEvent::MouseButtonPress && watched != editor_ &&
        !editor_->isAncestorOf(qobject_cast<QWidget *>(watched))) {
        // A press outside the editor commits it.
        commitListEditor();
    }
    if (editor_ && watched == editor_ && event->type() == QEvent::FocusOut) commitListEditor();
    return QObject::eventFilter(watched, event);
}

void NotFoundPage::apply(const ListChange &c)
{
    auto it = boxes_.find(c.List);
    if (it != boxes_.end()) {
        QListWidget *box = it->second;
        switch (c.What) {
        case ListChange::Add: box->addItem(qs(c.Line)); break;
        case ListChange::AddTop: box->insertItem(0, qs(c.Line)); break;
        case ListChange::Clear: box->clear(); break;
        case ListChange::Set:
            box->clear();
            for (const std::string &l : c.Lines) box->addItem(qs(l));
            break;
        }
        return;
    }
    auto sh = sharedLists().find(c.List);
    if (sh == sharedLists().end()) return;
    StringList &l = state().list(sh->second);
    if (c.What == ListChange::Clear || c.What == ListChange::Set) l.clear();
    if (c.What == ListChange::Add || c.What == ListChange::AddTop) l.add(c.Line);
    for (const std::string &s : c.Lines) l.add(s);
}

std::vector<std::string> NotFoundPage::boxLines(QListWidget *box) const
{
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(sj(box->item(i)->text()));
    return out;
}

void NotFoundPage::btnDownLoadNotFoundFileClick()
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    AppState &st = state();
    if (job_.running()) return;
    if (dl.ListBoxPageControlMainTopRightTab11WebDir->count() == 0 ||
        dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->count() == 0)
        return;
    const std::string folder = Trim(sj(dl.BtnEditTriedWebFileSaveFolder->text()));
    if (folder.empty()) {
        ctx_.message(QStringLiteral("「保存」ﾌｫﾙﾀﾞｰが指定されていません"));
        return;
    }
    if (!QFileInfo(qs(folder)).isDir()) {
        ctx_.folderNotExists(folder, "%6", 6);
        return;
    }
    dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->setCurrentWidget(
        rp.PageControlMainBodyTab09CantObtainedRightTab01NotFoundFile);

    NotFoundOptions &o = run_.Opt;
    o.SaveFolder = sj(QFileInfo(qs(folder)).absoluteFilePath()) + "/";
    o.WebRoot = st.GWebRoot;
    o.GlobalFile = st.GGlobalFile;
    o.CssUrlRoot = st.GCssUrlRoot;
    o.RemoveCSSRoot = std::max(0, dl.RadioGroupRemoveCSSRoot->itemIndex());
    o.CharCodeMode = std::max(0, dl.RadioGroupCharCodeMode->itemIndex());
    o.Prefixes.clear();
    if (std::string wd = Trim(sj(dl.EditBaseWebDir->text())); !wd.empty()) o.Prefixes.push_back(ReplaceAll(wd, "\\", "/"));
    run_.BeginRun();
    // The run starts from the lists as the user sees them; its changes come back queued.
    run_.SetSink({});
    auto quiet = [this](const char *name, const std::vector<std::string> &lines) { run_.Set(name, lines); };
    quiet("ListBoxPageControlMainTopRightTab11WebDir", boxLines(dl.ListBoxPageControlMainTopRightTab11WebDir));
    quiet("ListBoxPageControlMainTopRightTab11WebNotFoundFile",
          boxLines(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile));
    quiet("ListBoxBodyImageDownloaded", boxLines(dl.ListBoxBodyImageDownloaded));
    quiet("ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile",
          boxLines(dl.ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile));
    for (const auto &[name, id] : sharedLists()) {
        std::vector<std::string> l;
        const StringList &s = st.list(id);
        for (int i = 0; i < s.count(); ++i) l.push_back(s[i]);
        quiet(name.c_str(), l);
    }
    for (const char *name : {"ListBoxTriedWebFile", "ListBoxFoundWebFile",
                             "ListBoxPageControlMainBodyTab09NotFoundRightTab03CSS", "ListBoxWeb2WinFile",
                             "ListBoxDowloadLocalFile", "ListBoxDownloadedCSSFile"})
        quiet(name, boxLines(boxes_[name]));
    run_.SetSink([this](const ListChange &c) {
        QMetaObject::invokeMethod(this, [this, c] { apply(c); }, Qt::QueuedConnection);
    });

    const std::string selected = Trim(sj(dl.EditSelecetedServerDirectory->text()));
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    rp.btnDownLoadNotFoundFile->setEnabled(false);
    job_.start<int>(
        [this, selected] {
            run_.Run(selected);
            return 0;
        },
        [this](const int &) {
            auto &dl = c_.dl;
            auto &rp = c_.rep;
            QGuiApplication::restoreOverrideCursor();
            rp.btnDownLoadNotFoundFile->setEnabled(true);
            rp.MemoMainTopNotFoundCSS->setPlainText(qs(run_.MemoText));
            dl.PageControlPanelPageControlMainBodyTab09CantObtainedRight->setCurrentWidget(
                dl.PageControlMainBodyTab09CantObtainedRightTab01ExistFile);
            if (dl.RadioGroupViewAfterSave->itemIndex() == 1) {
                ctx_.ieOpenLocalFile();
                const std::string &file = state().GGlobalFile;
                if (ctx_.openFileInWebGui && !file.empty() && FileExists(file)) ctx_.openFileInWebGui(file);
            }
            rp.btnNitFoundFileStop->setEnabled(true);
            dl.btnDownloadAll->setEnabled(true);
            emit runFinished();
        });
}

void NotFoundPage::btnNitFoundFileStopClick() { c_.rep.btnNitFoundFileStop->setEnabled(false); }

void NotFoundPage::btnTriedWebFileSaveFolderClick()
{
    AppState &st = state();
    std::string start = sj(c_.dl.BtnEditHTMLPageSaveFolder->text());
    if (start.empty()) start = st.GSaveDefaultFolder;
    const std::string F = SelectFolder(QString::fromUtf8(kSelectFolderCaption), start);
    if (F.empty()) return;
    c_.dl.BtnEditTriedWebFileSaveFolder->setText(qs(F.back() == '/' ? F : F + "/"));
}

void NotFoundPage::btnAppendServerDirectoryClick()
{
    std::string d = Trim(sj(c_.dl.EditCanNotObtainedSeverUrl->text()));
    if (d.empty()) return;
    if (d.back() != '/') d += '/';
    QListWidget *l = c_.dl.ListBoxPageControlMainTopRightTab11WebDir;
    if (l->findItems(qs(d), Qt::MatchExactly).isEmpty()) l->addItem(qs(d));
}

void NotFoundPage::btnClearServerDirectoryClick() { c_.dl.ListBoxPageControlMainTopRightTab11WebDir->clear(); }

void NotFoundPage::btnNotFoudGFileClearClick() { c_.dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->clear(); }

void NotFoundPage::btnCanNotObtainedSeverUrlClick()
{
    c_.dl.EditCanNotObtainedSeverUrl->setText(QGuiApplication::clipboard()->text());
}

void NotFoundPage::btnSelectedSeraveDirectoryPasteClick()
{
    c_.dl.EditSelecetedServerDirectory->setText(QGuiApplication::clipboard()->text());
}

void NotFoundPage::btnNotFoundFileAddClick()
{
    const std::string name = UrlToLocalFileName(Trim(sj(c_.dl.EditCanNotObtainedWebUrl->text())));
    if (!name.empty()) c_.dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->addItem(qs(name));
}

void NotFoundPage::EditCanNotObtainedWebUrlEnter()
{
    btnNotFoundFileAddClick();
    c_.dl.EditCanNotObtainedWebUrl->clear();
}

void NotFoundPage::btnCanNotObtainedwebFileClick()
{
    c_.dl.EditCanNotObtainedWebUrl->setText(QGuiApplication::clipboard()->text());
    btnNotFoundFileAddClick();
}

void NotFoundPage::btnNotFoundFilePasteClick()
{
    const QString t = QGuiApplication::clipboard()->text();
    if (!t.isEmpty()) c_.dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->addItem(t);
}

void NotFoundPage::ListBoxPageControlMainTopRightTab11WebDirClick()
{
    const std::string d = ListBoxSelected(c_.dl.ListBoxPageControlMainTopRightTab11WebDir);
    if (d.empty()) return;
    if (IsHttpUrl(d)) c_.dl.EditCanNotObtainedSeverUrl->setText(qs(d));
    else ctx_.message(QString::fromUtf8(kBadUrlMsg));
}

void NotFoundPage::ListBoxPageControlMainTopRightTab11WebNotFoundFileClick()
{
    auto &dl = c_.dl;
    std::string d = sj(dl.EditCanNotObtainedSeverUrl->text());
    const std::string name = ListBoxSelected(dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile);
    if (d.find("http://") == std::string::npos || name.empty()) return;
    if (d.back() != '/') d += '/';
    dl.EditCanNotObtainedSeverUrl->setText(qs(d + name));
    dl.ComboBoxURLDirect->setEditText(qs(d + name));
}

void NotFoundPage::btnGetfromOleObjectClick()
{
    TWebbrowser *pane = c_.dl.WebBrowserMain;
    const QVariant v = pane->evalSync(QStringLiteral("Array.from(document.images, i => i.src)"), 3000,
                                      QWebEngineScript::ApplicationWorld);
    const QVariantList srcs = v.toList();
    if (srcs.isEmpty()) return;
    QListWidget *l = c_.rep.ListBoxWebBrowserMainImage;
    l->clear();
    for (const QVariant &s : srcs) l->addItem(s.toString());
}

void NotFoundPage::ListBoxFoundWebFileClick()
{
    auto &dl = c_.dl;
    AppState &st = state();
    const std::string line = ListBoxSelected(dl.ListBoxFoundWebFile);
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return;
    const std::string url = line.substr(0, tab);
    const std::string path = StripOutcomeMarks(line.substr(tab + 1));
    QPlainTextEdit *memo = dl.MemoPageControlMainBodyTab09CantObtainedRightTab02CSSWebfile;
    if (IsImagePath(path)) {
        if (IsHttpUrl(url)) dl.WebBrowserFoundWebImageFile->Navigate(qs(url));
        if (FileExists(path)) dl.WebBrowserFoundLocalImageFile->Navigate(QUrl::fromLocalFile(qs(path)).toString());
        else ctx_.message(QStringLiteral("ﾌｧｲﾙが存在しません   【 ") + qs(path) + QStringLiteral(" 】"));
        return;
    }
    if (!IsCssOrJsPath(LowerCase(path))) return;
    if (FileExists(path)) {
        const ConvertedView v = ConvertObtainedFileInPlace(path);
        if (!v.Ok) {
            ctx_.message(qs(v.Error));
            return;
        }
        memo->setPlainText(qs(v.Text));
        return;
    }
    std::string t = st.GCssBannerHead + path + st.GCssBannerTail + "\r\n\r\n" +
                    sj(QStringLiteral("Ｗｅｂファイルがサイトのサーバーに存在しないため、ダウンロードできませんでした")) +
                    "\r\n" + st.GCssSeparator + "\r\n\r\n";
    memo->setPlainText(qs(t));
}

void NotFoundPage::openListEditor(QListWidget *list)
{
    QListWidgetItem *item = list->currentItem();
    if (!item) return;
    if (editor_) commitListEditor();
    editedList_ = list;
    editedRow_ = list->row(item);
    auto *ed = new QPlainTextEdit(ctx_.window);
    QFont font = ed->font();
    font.setPointSize(10);
    ed->setFont(font);
    ed->setPlainText(item->text());
    const QRect r = list->visualItemRect(item);
    const QPoint topLeft = list->viewport()->mapTo(ctx_.window, r.topLeft());
    ed->setGeometry(topLeft.x(), topLeft.y() - 2, list->viewport()->width(), r.height() + 4);
    ed->show();
    ed->raise();
    ed->setFocus();
    ed->installEventFilter(this);
    qApp->installEventFilter(this);
    editor_ = ed;
}

void NotFoundPage::commitListEditor()
{
    QPlainTextEdit *ed = editor_;
    if (!ed) return;
    editor_ = nullptr;
    qApp->removeEventFilter(this);
    if (editedList_ && editedRow_ >= 0 && editedRow_ < editedList_->count())
        editedList_->item(editedRow_)->setText(ed->toPlainText());
    // Freed once the event that committed has returned.
    ed->hide();
    ed->deleteLater();
}
