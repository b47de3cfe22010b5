#include "download/pages/DownloadCssPage.h"
#include "state/AppState.h"
#include "download/pages/BrowserDocPage.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/UrlMap.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QWebEngineScript>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";

std::string sj(const QString &s) { return toSjis(s); }

} // namespace

DownloadCssPage::DownloadCssPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    auto &dl = c_.dl;
    dl.RadioGroupCharCodeMode->setTitle(QStringLiteral(" 文字コード （ charset ）"));
    dl.RadioGroupCharCodeMode->setItems({QStringLiteral("自動"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"),
                                         QStringLiteral("SJIS"), QStringLiteral("JIS(ISO)"), QStringLiteral("UTF-8N")});
    dl.RadioGroupRemoveCSSRoot->setTitle(QStringLiteral(" ＣＳＳﾌｧｲﾙ内の「 url(/・・\"の ” / ” 」  の処理 "));
    dl.RadioGroupRemoveCSSRoot->setItems({QStringLiteral("除去する"), QStringLiteral("何もしない"),
                                          QStringLiteral("．．／・・・"),
                                          QStringLiteral("絶対ﾊﾟｽ「 例：　d：/download/・・/・・/ 」に置換する")});
    dl.RadioGroupRemoveUrlRoot->setTitle(QStringLiteral(" HTMLの「 url(/・・\"の”/” 」  "));
    dl.RadioGroupRemoveUrlRoot->setItems({QStringLiteral("除く"), QStringLiteral("何もしない（ 残す ）")});
    dl.RadioGroupRemoveRelativeUp->setTitle(
        QStringLiteral(" Webﾌｧｲﾙをﾛｰｶﾙ・ﾌｫﾙﾀﾞｰの保存する場合の「 ．．/ 」の処理 "));
    dl.RadioGroupRemoveRelativeUp->setItems(
        {QStringLiteral("除く （ 下位のﾉｰﾄﾞへ保存 ）"), QStringLiteral("Webのﾂﾘｰ構造と同じに保存")});
    dl.btnDownloadStop->setText(QStringLiteral(" ﾀﾞｳﾝﾛｰﾄﾞ中止 "));
    dl.SplitterTopCSS->setOrientation(Qt::Horizontal);
    dl.EditPageUrl->setMinimumWidth(420);
    dl.BtnEditCSSSaveFolder->setMinimumWidth(300);

    connect(dl.btnGetPageImageCSS, &QPushButton::clicked, this, [this] { btnGetPageImageCSSClick(); });
    connect(dl.btnMainTopCSSdownload, &QPushButton::clicked, this, [this] { btnMainTopCSSdownloadClick(); });
    connect(dl.btnMainTopJSdownload, &QPushButton::clicked, this, [this] { btnMainTopJSdownloadClick(); });
    connect(dl.btnDownloadFolder, &QPushButton::clicked, this, [this] { btnDownloadFolderClick(); });
    connect(dl.btnMainTopHTMLDownload, &QPushButton::clicked, this, [this] { btnMainTopHTMLDownloadClick(); });
    connect(dl.EditPageUrl, &QLineEdit::returnPressed, this, [this] { EditPageUrlKeyDown(); });
    connect(dl.btnMainTopImageDownload, &QPushButton::clicked, this, [this] { btnMainTopImageDownloadClick(); });
    // The box's own "..." has no action: the "…" beside it chooses the folder.
    dl.BtnEditCSSSaveFolder->button()->hide();
    connect(dl.btnDownloadStop, &QPushButton::clicked, this, [this] { btnDownloadStopClick(); });
    connect(dl.btnDownloadURLPaste, &QPushButton::clicked, this, [this] { ctx_.urlPasteAndMakeLocalFile(toSjis(QGuiApplication::clipboard()->text())); });
    connect(dl.ListBoxCSSLocalFilename, &QListWidget::itemClicked, this, [this] { ListBoxCSSLocalFilenameClick(); });
    dl.btnDownloadStop->installEventFilter(this);

    // The list boxes that show the engine's lists of the same name.
#define VK_BOX(n) boxes_[#n] = dl.n;
    VK_BOX(ListBoxPageCSS) VK_BOX(ListBoxPageOther) VK_BOX(ListBoxObtainedCSS) VK_BOX(ListBoxCSSLocalFilename)
    VK_BOX(ListBoxCSSDownloadedFile) VK_BOX(ListBoxMainTopDownloadList) VK_BOX(ListBoxDownloadMainBodyObtainImageFile)
    VK_BOX(ListBoxMainTopCSSUrlImage) VK_BOX(ListBoxInnerUrlCSS) VK_BOX(ListBoxBodyPageCSSImage)
    VK_BOX(ListBoxBodyImageDownloaded) VK_BOX(ListBoxWebPageCSS) VK_BOX(ListBoxGetWebFileList)
    VK_BOX(ListBoxPageControlMainBodyTab04WebFileListRightTab04CSS)
    VK_BOX(ListBoxPageControlMainBodyTab04LocalFileListRightTab04CSS) VK_BOX(ListBoxDowloadLocalFile)
    VK_BOX(ListBoxDownloadedCSSFile) VK_BOX(ListBoxZZCSSFile) VK_BOX(ListBoxAdjLocalFile)
    VK_BOX(ListBoxPageControlMainTopRightTab11WebNotFoundFile)
    VK_BOX(ListBoxMainBodyTab04GetwebFileListRightTab03CSSNotGetFileList)
    VK_BOX(ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile)
    VK_BOX(ListstBoxPageControlMainBodyTab04GetwebFileListListBoxObatained)
    VK_BOX(ListBoxPageControlMainBodyTab04GetwebFileListCSS) VK_BOX(ListBoxTriedWebFile) VK_BOX(ListBoxWebRawWinFile)
    VK_BOX(ListBoxWebMaskedWinFile) VK_BOX(ListBoxReplaceFileList) VK_BOX(ListBoxAbsExistFile)
    VK_BOX(ListBoxPageControlMainTopRightTab11WebDir) VK_BOX(ListBoxRemoveSlashCSS) VK_BOX(ListBoxAdjusttedCSS)
#undef VK_BOX

    engine_.SetSink([this](const ListChange &c) {
        QMetaObject::invokeMethod(this, [this, c] { applyChange(c); }, Qt::QueuedConnection);
    });
}

DownloadCssPage::~DownloadCssPage() { stopAndWait(); }

void DownloadCssPage::stopAndWait()
{
    if (!worker_.joinable()) return;
    engine_.StopAndWait();
    worker_.join();
}

bool DownloadCssPage::eventFilter(QObject *watched, QEvent *event)
{
    // The stop protocol: the stop button disabled is the request, seen by the run.
    if (watched == c_.dl.btnDownloadStop && event->type() == QEvent::EnabledChange && running())
        engine_.Stop = !c_.dl.btnDownloadStop->isEnabled();
    return QObject::eventFilter(watched, event);
}

QListWidget *DownloadCssPage::listBox(const std::string &name) const
{
    auto it = boxes_.find(name);
    return it == boxes_.end() ? nullptr : it->second;
}

void DownloadCssPage::applyChange(const ListChange &c)
{
    if (QListWidget *box = listBox(c.List)) {
        switch (c.What) {
        case ListChange::Add: box->addItem(fromSjis(c.Line)); break;
        case ListChange::AddTop: box->insertItem(0, fromSjis(c.Line)); break;
        case ListChange::Clear: box->clear(); break;
        case ListChange::Set:
            box->clear();
            for (const std::string &l : c.Lines) box->addItem(fromSjis(l));
            break;
        }
        return;
    }
    if (c.What == ListChange::Set && !c.Lines.empty()) {
        const QString t = fromSjis(c.Lines.front());
        if (c.List == "StatusbarProcessState") {
            // While a stop is pending the bar keeps saying so; the steps' own texts wait.
            if (!stopPending_) ctx_.processState(c.Lines.front());
            return;
        }
        if (c.List == "LabeDLCnt") return c_.dl.LabeDLCnt->setText(t);
        if (c.List == "LabelWebFile") return c_.dl.LabelWebFile->setText(t);
        if (c.List == "LabelLocalFile") return c_.dl.LabelLocalFile->setText(t);
    }
    // The shared lists of the window follow the engine's.
    for (size_t i = 0; i < kSharedLists.size(); ++i) {
        if (c.List != kSharedLists[i].name) continue;
        StringList &l = state().list(static_cast<SharedList>(i));
        if (c.What != ListChange::Add) l.clear();
        if (c.What == ListChange::Add || c.What == ListChange::AddTop) l.add(c.Line);
        for (const std::string &s : c.Lines) l.add(s);
        return;
    }
}

void DownloadCssPage::setStartButtons(bool enabled)
{
    auto &dl = c_.dl;
    for (QWidget *w : {static_cast<QWidget *>(dl.btnGetPageImageCSS), static_cast<QWidget *>(dl.btnMainTopCSSdownload),
                       static_cast<QWidget *>(dl.btnMainTopJSdownload), static_cast<QWidget *>(dl.btnDownloadAll),
                       static_cast<QWidget *>(dl.btnMainTopImageDownload)})
        w->setEnabled(enabled);
}

void DownloadCssPage::readOptions()
{
    auto &dl = c_.dl;
    AppState &st = state();
    DownloadOptions &o = engine_.Opt;
    o.FromClipboard = dl.CheckBoxHTMTFromClipboard->isChecked();
    o.ClipboardHtml = st.GClipboardHtml;
    o.RemoveUrlRoot = dl.RadioGroupRemoveUrlRoot->itemIndex();
    o.LocalFilename = sj(dl.BtnEditLocalFilename->text());
    o.CssSaveFolder = sj(dl.BtnEditCSSSaveFolder->text());
    o.BaseHref = st.GBaseHref;
    o.BaseHrefFolder = st.GBaseHrefFolder;
    o.CharCodeMode = std::max(0, dl.RadioGroupCharCodeMode->itemIndex());
    o.RemoveCSSRoot = std::max(0, dl.RadioGroupRemoveCSSRoot->itemIndex());
    o.RemoveRelativeUp = std::max(0, dl.RadioGroupRemoveRelativeUp->itemIndex());
    o.CssUrlRoot = st.GCssUrlRoot;
}

void DownloadCssPage::syncPageList()
{
    // The steps work from the list as the user sees it.
    std::vector<std::string> lines;
    for (int i = 0; i < c_.dl.ListBoxPageCSS->count(); ++i) lines.push_back(sj(c_.dl.ListBoxPageCSS->item(i)->text()));
    if (lines != engine_.Lines("ListBoxPageCSS")) engine_.Set("ListBoxPageCSS", lines);
}

void DownloadCssPage::start(std::function<int(DownloadEngine &)> work, std::function<void(int)> done)
{
    if (running()) return;
    setStartButtons(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    engine_.Stop = !c_.dl.btnDownloadStop->isEnabled();
    worker_ = std::thread([this, work] {
        const int r = work(engine_);
        QMetaObject::invokeMethod(
            this,
            [this, r] {
                // Queued after every list change of the run, so the lists are whole here.
                if (worker_.joinable()) worker_.join();
                for (const std::string &d : engine_.TakeCreatedFolders()) GCreatedDirList().add(d);
                if (stopPending_) {
                    stopPending_ = false;
                    showStopState("ﾀﾞｳﾝﾛｰﾄﾞを中止しました");
                }
                QGuiApplication::restoreOverrideCursor();
                setStartButtons(true);
                emit runFinished(r);
            },
            Qt::QueuedConnection);
    });
    // The caller's part after this run and no other: a connection cut only by a deferred delete
    // outlived a run whose end quit a nested event loop and answered the next run's first look
    // as if the whole run had ended.
    connect(this, &DownloadCssPage::runFinished, this, [done](int r) { done(r); }, Qt::SingleShotConnection);
}

std::vector<std::string> DownloadCssPage::browserImages(const std::string &Url)
{
    // Only the pane that shows this very page, loaded to the end, tells its images.
    TWebbrowser *pane = c_.dl.WebBrowserMain;
    if (!pane || pane->Busy()) return {};
    if (UrlKey(sj(pane->LocationURL())) != UrlKey(Url)) return {};
    return PaneImageAddresses(pane);
}

bool DownloadCssPage::CheckSaveFolderExists(const std::string &Url, const std::string &Folder, int, int Id)
{
    if (Folder.empty()) {
        ctx_.message(QStringLiteral("「保存」ﾌｫﾙﾀﾞｰが指定されていません"));
        return false;
    }
    if (!IsHttpUrl(Url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return false;
    }
    if (QFileInfo(QString::fromUtf8(ToSystemPath(Folder).c_str())).isDir()) return true;
    ctx_.folderNotExists(Folder, "%11", Id);
    return false;
}

void DownloadCssPage::btnHTMLPageSaveFolderClick()
{
    auto &dl = c_.dl;
    AppState &st = state();
    std::string startAt = sj(dl.BtnEditHTMLPageSaveFolder->text());
    if (startAt.empty()) startAt = st.GLastSaveFolder;
    std::string F = pickFolder ? pickFolder(startAt) : SelectFolder(QString::fromUtf8(kSelectFolderCaption), startAt);
    if (F.empty()) return;
    if (F.back() != '/') F += '/';
    for (TBtnEdit *box : {dl.BtnEditHTMLPageSaveFolder, dl.BtnEditCSSSaveFolder, dl.BtnEditDownloadDirectFolder,
                          dl.BtnEditTriedWebFileSaveFolder})
        box->setText(fromSjis(F));
    st.GLastSaveFolder = F;
    ctx_.saveSettings();
    if (onFolderChosen) onFolderChosen();
}

void DownloadCssPage::btnDownloadStopClick()
{
    c_.dl.btnDownloadStop->setEnabled(false);
    ctx_.BrowserStop();
    if (running() && !stopPending_) {
        stopPending_ = true;
        showStopState("ﾀﾞｳﾝﾛｰﾄﾞ中止を待っています（実行中の処理が終わるまで）");
    }
}

void DownloadCssPage::showStopState(const std::string &State)
{
    ctx_.StatusBar1->setPanelText(5, QStringLiteral(" [ ") + QString::fromUtf8(State.c_str()) + QStringLiteral(" ]"));
}

void DownloadCssPage::btnDownloadFolderClick()
{
    // Only this tab's box: no other box, no settings and no run follow the choice.
    TBtnEdit *box = c_.dl.BtnEditCSSSaveFolder;
    const std::string startAt = sj(box->text());
    std::string F = pickFolder ? pickFolder(startAt) : SelectFolder(QString::fromUtf8(kSelectFolderCaption), startAt);
    if (F.empty()) return;
    if (F.back() != '/') F += '/';
    box->setText(fromSjis(F));
}

void DownloadCssPage::btnMainTopHTMLDownloadClick()
{
    c_.dl.EditPageUrl->setText(QGuiApplication::clipboard()->text());
}

void DownloadCssPage::EditPageUrlKeyDown()
{
    const std::string url = sj(c_.dl.EditPageUrl->text());
    if (!url.empty()) c_.dl.EditCSSDomain->setText(fromSjis(ExtractUrlRoot(url)));
}

void DownloadCssPage::btnMainTopImageDownloadClick()
{
    auto &dl = c_.dl;
    if (running()) return;
    if (dl.ListBoxPageCSS->count() == 0) {
        ctx_.message(QStringLiteral("4) HTMLﾌｧｲﾙを生成できません"));
        return;
    }
    if (dl.ListBoxBodyPageCSSImage->count() == 0) {
        ctx_.message(QStringLiteral("ImageListBoxが「 空 」です"));
        return;
    }
    const std::string Url = sj(dl.EditPageUrl->text());
    const std::string Folder = sj(dl.BtnEditCSSSaveFolder->text());
    if (!CheckSaveFolderExists(Url, Folder, 104, 104)) {
        ctx_.message(QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
        return;
    }
    readOptions();
    // The step works from the image list as the user sees it.
    std::vector<std::string> images;
    for (int i = 0; i < dl.ListBoxBodyPageCSSImage->count(); ++i) images.push_back(sj(dl.ListBoxBodyPageCSSImage->item(i)->text()));
    if (images != engine_.Lines("ListBoxBodyPageCSSImage")) engine_.Set("ListBoxBodyPageCSSImage", images);
    engine_.Opt.BrowserImages = browserImages(Url);
    const std::string webDir = ReplaceAll(sj(dl.EditBaseWebDir->text()), "/", "\\");
    start([Url, Folder, webDir](DownloadEngine &e) { return e.MainTopImagedownload(Url, Folder, webDir); },
          [this](int) {
              auto &dl = c_.dl;
              dl.LabeDLCnt->setText(QString::number(engine_.ImageCount));
              dl.LabelWebFile->setText(fromSjis(engine_.LastWebFile));
              dl.LabelLocalFile->setText(fromSjis(engine_.LastLocalFile));
          });
}

void DownloadCssPage::btnGetPageImageCSSClick()
{
    auto &dl = c_.dl;
    const std::string Url = sj(dl.EditPageUrl->text());
    if (!IsHttpUrl(Url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    if (dl.BtnEditCSSSaveFolder->text().isEmpty()) btnHTMLPageSaveFolderClick();
    const int p = HostEndSlashPos(Url);
    if (p == 0) {
        dl.EditCSSDomain->setText(fromSjis(Url));
        return;
    }
    dl.EditCSSDomain->setText(fromSjis(Url.substr(0, p - 1)));
    if (!dl.btnDownloadStop->isEnabled()) {
        dl.btnDownloadStop->setEnabled(true);
        return;
    }
    readOptions();
    engine_.Opt.BrowserImages = browserImages(Url);
    start([Url](DownloadEngine &e) {
        e.BeginRun();
        return e.MainTopGetPageImageCSS(Url, 0);
    },
          [this](int r) {
              auto &dl = c_.dl;
              AppState &st = state();
              dl.LabelTopCSSInfo->setText(fromSjis(engine_.InfoLabel));
              if (engine_.Opt.FromClipboard && !engine_.ClipboardHtml.empty()) st.GClipboardHtml = engine_.ClipboardHtml;
              if (r < 0) {
                  dl.btnDownloadAll->setEnabled(true);
                  return;
              }
              if (!engine_.DeclaredCharset.empty()) st.GDeclaredCharsetName = engine_.DeclaredCharset;
              ctx_.StatusBar1->setPanelText(0, QStringLiteral(" 【 ") + fromSjis(st.GDeclaredCharsetName) + QStringLiteral(" 】"));
              dl.MemoDownloadHTMLText->setPlainText(fromSjis(engine_.WorkingText));
              dl.RichEditDownload->setText(engine_.WorkingText);
              dl.MemoTopCSSText->setPlainText(fromSjis(engine_.AggregatedText));
              dl.LabelReallCnt->setText(QString::number(dl.ListBoxBodyPageCSSImage->count()));
          });
}

void DownloadCssPage::btnMainTopCSSdownloadClick()
{
    auto &dl = c_.dl;
    if (dl.ListBoxPageCSS->count() == 0) {
        ctx_.message(QStringLiteral("3) HTMLﾌｧｲﾙを生成できません"));
        return;
    }
    const std::string Url = sj(dl.EditPageUrl->text());
    const std::string Folder = sj(dl.BtnEditCSSSaveFolder->text());
    if (!CheckSaveFolderExists(Url, Folder, 103, 103)) {
        ctx_.message(QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
        return;
    }
    readOptions();
    syncPageList();
    const std::string base = sj(dl.EditBaseWebDir->text());
    start([Url, Folder, base](DownloadEngine &e) { return e.MainTopCSSdownload(Url, Folder, base, 0); },
          [this](int) {
              auto &dl = c_.dl;
              dl.ListBoxDownloadCSSLocalFile->clear();
              for (const std::string &l : engine_.Lines("GDownloadedCssFiles"))
                  dl.ListBoxDownloadCSSLocalFile->addItem(fromSjis(l));
          });
}

void DownloadCssPage::btnMainTopJSdownloadClick()
{
    auto &dl = c_.dl;
    if (dl.ListBoxPageCSS->count() == 0) {
        ctx_.message(QStringLiteral("2) HTMLﾌｧｲﾙを生成できません"));
        return;
    }
    const std::string Url = sj(dl.EditPageUrl->text());
    const std::string Folder = sj(dl.BtnEditCSSSaveFolder->text());
    if (!CheckSaveFolderExists(Url, Folder, 102, 102)) {
        ctx_.message(QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
        return;
    }
    readOptions();
    syncPageList();
    start([Url, Folder](DownloadEngine &e) { return e.MainTopJSdownload(Url, Folder, 0); },
          [this](int) {
              auto &dl = c_.dl;
              dl.ListBoxDownloadCSSLocalFile->clear();
              for (const std::string &l : engine_.Lines("GDownloadedCssFiles"))
                  dl.ListBoxDownloadCSSLocalFile->addItem(fromSjis(l));
          });
}

void DownloadCssPage::ListBoxCSSLocalFilenameClick()
{
    const std::string line = ListBoxSelected(c_.dl.ListBoxCSSLocalFilename);
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return;
    const QString after = fromSjis(line.substr(tab + 1));
    c_.dl.ComboBoxURLDirect->setEditText(after);
    QGuiApplication::clipboard()->setText(after);
}
