#include "download/pages/ObtainedImagesPage.h"
#include "state/AppState.h"
#include "text/PathGuard.h"
#include "download/pages/EnterFilter.h"
#include "download/ObtainedImages.h"
#include "download/RepairText.h"
#include "download/pages/DownloadCssPage.h"
#include "platform/FolderPicker.h"
#include "platform/IniFile.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QLabel>
#include <QClipboard>
#include <algorithm>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";
const char *kNoSaveFolder = "「保存」ﾌｫﾙﾀﾞｰが指定されていません";
const char *kOutsideFolder = "保存先が保存ﾌｫﾙﾀﾞｰの外になるため、保存できません";

std::string sj(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }
QString u8(const char *s) { return QString::fromUtf8(s); }

std::string folderOf(const std::string &Path)
{
    const std::size_t s = Path.rfind('/');
    return s == std::string::npos ? std::string() : Path.substr(0, s + 1);
}

// A path typed relative to nowhere is taken from the current folder, as a file dialog would.
std::string absolutePath(const std::string &Path)
{
    if (Path.empty() || Path[0] == '/') return Path;
    std::string a = sj(QFileInfo(qs(Path)).absoluteFilePath());
    if (Path.back() == '/' && (a.empty() || a.back() != '/')) a += '/';
    return a;
}

bool isDir(const std::string &Path) { return !Path.empty() && QFileInfo(qs(Path)).isDir(); }


} // namespace

ObtainedImagesPage::ObtainedImagesPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx)), job_(this)
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    rp.SplitterMainBodyTab02PageInnerFile->setOrientation(Qt::Horizontal);
    rp.PanelMainBodyTab02PageInnerFileTop->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    // The run's last file, shown as it goes: a long URL or path is clipped at the window's
    // edge instead of widening the page and pushing the boxes beside it out of sight.
    for (QLabel *l : {static_cast<QLabel *>(dl.LabelWebFile), static_cast<QLabel *>(dl.LabelLocalFile)}) {
        QSizePolicy p(QSizePolicy::Ignored, l->sizePolicy().verticalPolicy());
        p.setHorizontalStretch(1); // the room the row has left, not a sliver
        l->setSizePolicy(p);
        l->setMinimumWidth(1);
    }
    dl.EditDownloadLWebFileIndividual->setMinimumWidth(360);
    dl.BtnEditDownloadLocalFileIndividual->setMinimumWidth(300);
    dl.EditImageSearch->setMinimumWidth(160);
    dl.SpinEditMainTopPanelHeight->setRange(20, 1000);
    // The " ﾌｧｲﾙ " sheet comes first, the attempts second.
    QTabWidget *right = dl.PageControlMainBodyTab02PageInnerFileRight;
    right->insertTab(0, rp.PageControlMainBodyTab02PageInnerFileRightTab00File, QStringLiteral(" ﾌｧｲﾙ "));
    right->setTabText(right->indexOf(dl.PageControlMainBodyTab02PageInnerFileRightTab01TryDownLoad),
                      QStringLiteral(" ﾀﾞｳﾝﾛｰﾄﾞ "));
    right->setCurrentIndex(0);

    MenuFolder = ctx_.menuBar->addMenu(QStringLiteral("Folder"));
    MenuFolder->setObjectName(QStringLiteral("MenuFolder"));
    auto item = [this](QAction *&a, const char *name, const char *caption, void (ObtainedImagesPage::*h)()) {
        a = MenuFolder->addAction(u8(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, h] { (this->*h)(); });
    };
    item(MenuFolderSetDefaultFolder, "MenuFolderSetDefaultFolder", "保存ﾌｫﾙﾀﾞの設定",
         &ObtainedImagesPage::MenuFolderSetDefaultFolderClick);
    item(MenuFoldeRemoveDefaultFolder, "MenuFoldeRemoveDefaultFolder", "保存ﾌｫﾙﾀﾞの解除",
         &ObtainedImagesPage::MenuFoldeRemoveDefaultFolderClick);
    item(MenuFolderViewDefaultFolder, "MenuFolderViewDefaultFolder", "保存ﾌｫﾙﾀﾞの確認",
         &ObtainedImagesPage::MenuFolderViewDefaultFolderClick);

    auto click = [this](QAbstractButton *b, void (ObtainedImagesPage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(rp.btnSearch, &ObtainedImagesPage::btnSearchClick);
    click(rp.btnSearchNext, &ObtainedImagesPage::btnSearchNextClick);
    click(rp.btnDownloadImageAndCSS, &ObtainedImagesPage::btnDownloadImageAndCSSClick);
    click(rp.btnIndividualDownloadCheck, &ObtainedImagesPage::btnIndividualDownloadCheckClick);
    click(rp.btnListBoxBodyPageCSSImageBtchDownload, &ObtainedImagesPage::btnListBoxBodyPageCSSImageBtchDownloadClick);
    click(rp.btnTranfer2Individual, &ObtainedImagesPage::btnTranfer2IndividualClick);
    click(rp.btnRemakeLocalFile, &ObtainedImagesPage::btnRemakeLocalFileClick);
    click(rp.btnGetFromBaseUrl, &ObtainedImagesPage::btnGetFromBaseUrlClick);
    click(rp.btnSaveIndividualImageFoder, &ObtainedImagesPage::btnSaveIndividualImageFoderClick);
    click(rp.btnClearImageListBox, &ObtainedImagesPage::btnClearImageListBoxClick);
    click(rp.btnSaveListBoxBodyImageDownloaded, &ObtainedImagesPage::btnSaveListBoxBodyImageDownloadedClick);
    click(rp.btnListBoxBodyPageCSSImagePaste, &ObtainedImagesPage::btnListBoxBodyPageCSSImagePasteClick);
    click(rp.btnClearListBoxFrameSet, &ObtainedImagesPage::btnClearListBoxFrameSetClick);
    connect(dl.BtnEditDownloadLocalFileIndividual, &TBtnEdit::buttonClicked, this,
            [this] { BtnEditDownloadLocalFileIndividualButtonClick(); });
    connect(dl.EditImageSearch, &QLineEdit::returnPressed, this, [this] { btnSearchClick(); });
    connect(dl.ListBoxAbsExistFile, &QListWidget::itemClicked, this, [this] { ListBoxAbsExistFileClick(); });
    connect(dl.ListBoxObtainedCSS, &QListWidget::itemClicked, this, [this] { ListBoxObtainedCSSClick(); });
    connect(dl.ListBoxCSSDownloadedFile, &QListWidget::itemClicked, this, [this] { ListBoxCSSDownloadedFileClick(); });
    // Only Enter applies the height; a change of the value alone does nothing.
    dl.SpinEditMainTopPanelHeight->installEventFilter(new EnterFilter(this, [this] { SpinEditMainTopPanelHeightEnter(); }));
}

std::string ObtainedImagesPage::chooseFolder(const std::string &Start)
{
    return pickFolder ? pickFolder(Start) : SelectFolder(u8(kSelectFolderCaption), Start);
}

// --- search -------------------------------------------------------------------------------

int ObtainedImagesPage::DoListBoxSearch(QListWidget *ListBox, const std::string &Word, int, int Start)
{
    std::vector<std::string> items;
    for (int i = 0; i < ListBox->count(); ++i) items.push_back(sj(ListBox->item(i)->text()));
    return ::DoListBoxSearch(items, Word, Start);
}

void ObtainedImagesPage::showSearchHit(int Index)
{
    auto &dl = c_.dl;
    if (Index < 0) {
        c_.rep.LabelSearch->setText(QStringLiteral("見つかりません"));
        return;
    }
    dl.ListBoxBodyPageCSSImage->setCurrentRow(Index);
    c_.rep.LabelSearch->setText(QString::number(Index));
    state().GSearchNextIndex = Index;
}

void ObtainedImagesPage::btnSearchClick()
{
    showSearchHit(DoListBoxSearch(c_.dl.ListBoxBodyPageCSSImage, sj(c_.dl.EditImageSearch->text()), 0, 0));
}

void ObtainedImagesPage::btnSearchNextClick()
{
    QListWidget *list = c_.dl.ListBoxBodyPageCSSImage;
    const int start = std::clamp(state().GSearchNextIndex + 1, 0, list->count());
    showSearchHit(DoListBoxSearch(list, sj(c_.dl.EditImageSearch->text()), 0, start));
}

// --- one file -----------------------------------------------------------------------------

void ObtainedImagesPage::btnDownloadImageAndCSSClick()
{
    auto &dl = c_.dl;
    if (job_.running()) return;
    const std::string Url = Trim(sj(dl.EditDownloadLWebFileIndividual->text()));
    const std::string Local = absolutePath(SanitizeLocalPath(Trim(sj(dl.BtnEditDownloadLocalFileIndividual->text()))));
    if (!IsHttpUrl(Url)) {
        ctx_.message(u8(kBadUrlMsg));
        return;
    }
    const std::string folder = folderOf(Local);
    if (folder.empty()) {
        ctx_.message(u8(kNoSaveFolder));
        return;
    }
    // The file goes where the box names it, never to a place a ".." climbs to from there.
    const std::size_t climb = folder.find("/../");
    if (!IsPathBelowRoot(climb == std::string::npos ? folder : folder.substr(0, climb), Local)) {
        ctx_.message(QStringLiteral("保存先に「 .. 」を含むﾊﾟｽは指定できません"));
        return;
    }
    CreateFolder(folder, std::string(), 53);
    if (filePart(Local).empty()) {
        ctx_.message(QStringLiteral("ファイル名が指定されていません"));
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    c_.rep.btnDownloadImageAndCSS->setEnabled(false);
    job_.start<bool>([Url, Local] { return DownloadRawFile(Url, Local); }, [this, Url, Local](const bool &ok) {
        QGuiApplication::restoreOverrideCursor();
        c_.rep.btnDownloadImageAndCSS->setEnabled(true);
        c_.rep.LabelDownloadedSuccsessfully->setText(QStringLiteral("〔 ") + qs(Url) + QStringLiteral(" 〕 -> 【 ") +
                                                     (ok ? qs(Local) : QStringLiteral("●●●")) + QStringLiteral(" 】"));
        emit fetchFinished();
    });
}

void ObtainedImagesPage::btnIndividualDownloadCheckClick()
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    if (job_.running()) return;
    const std::string Url = Trim(sj(dl.EditDownloadLWebFileIndividual->text()));
    if (!IsHttpUrl(Url)) {
        ctx_.message(u8(kBadUrlMsg));
        return;
    }
    const std::string box = Trim(sj(dl.BtnEditDownloadLocalFileIndividual->text()));
    if (box.empty()) {
        ctx_.message(u8(kNoSaveFolder));
        return;
    }
    std::string folder = absolutePath(box);
    if (!isDir(folder)) {
        ctx_.folderNotExists(box, "%3", 2);
        return;
    }
    if (folder.back() != '/') folder += '/';
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    rp.btnIndividualDownloadCheck->setEnabled(false);
    job_.start<CheckedDownload>([Url, folder] { return DownloadCheckedFile(Url, folder); },
                                [this, Url](const CheckedDownload &d) {
                                    auto &rp = c_.rep;
                                    QGuiApplication::restoreOverrideCursor();
                                    rp.btnIndividualDownloadCheck->setEnabled(true);
                                    const QString bad = QStringLiteral("●　");
                                    switch (d.What) {
                                    case CheckedDownload::Saved:
                                        rp.LabelIndividualDownloadWebFile->setText(qs(Url));
                                        rp.LabelDownloadedSuccsessfully->setText(qs(d.Local));
                                        break;
                                    case CheckedDownload::NotAFile:
                                        rp.LabelIndividualDownloadWebFile->setText(bad + qs(Url));
                                        break;
                                    case CheckedDownload::Refused:
                                        rp.LabelIndividualDownloadWebFile->setText(bad + qs(Url));
                                        ctx_.message(u8(kOutsideFolder));
                                        break;
                                    default:
                                        rp.LabelIndividualDownloadWebFile->setText(bad + qs(Url));
                                        rp.LabelDownloadedSuccsessfully->setText(bad + qs(d.Local));
                                    }
                                    emit fetchFinished();
                                });
}

// --- the image list again -------------------------------------------------------------------

void ObtainedImagesPage::btnListBoxBodyPageCSSImageBtchDownloadClick()
{
    auto &dl = c_.dl;
    DownloadCssPage *css = ctx_.downloadCssPage;
    if (dl.ListBoxBodyPageCSSImage->count() == 0) {
        ctx_.message(QStringLiteral("ImageListBoxが「 空 」です"));
        return;
    }
    if (!css || css->running()) return;
    const std::string Url = sj(dl.ComboBoxUrl->currentText());
    const std::string Folder = sj(dl.BtnEditHTMLPageSaveFolder->text());
    if (!css->CheckSaveFolderExists(Url, Folder, 1070, 107)) {
        ctx_.message(QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
        return;
    }
    std::vector<std::string> lines;
    for (int i = 0; i < dl.ListBoxBodyPageCSSImage->count(); ++i) lines.push_back(sj(dl.ListBoxBodyPageCSSImage->item(i)->text()));
    css->readOptions();
    css->engine().Opt.BrowserImages = css->browserImages(Url);
    css->engine().Set("ListBoxBodyPageCSSImage", lines);
    const std::string webDir = ReplaceAll(sj(dl.EditBaseWebDir->text()), "/", "\\");
    c_.rep.btnListBoxBodyPageCSSImageBtchDownload->setEnabled(false);
    css->start(
        [Url, Folder, webDir](DownloadEngine &e) {
            e.BeginRun();
            return std::max(0, e.MainTopImagedownload(Url, Folder, webDir, "ListBoxBodyImageDownloaded", 0));
        },
        [this](int) {
            c_.rep.btnListBoxBodyPageCSSImageBtchDownload->setEnabled(true);
            emit imageListFinished();
        });
}

// --- list clicks --------------------------------------------------------------------------

void ObtainedImagesPage::ListBoxAbsExistFileClick()
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    rp.PageControlMainBodyTab02PageInnerFileLeft->setCurrentWidget(rp.PageControlMainBodyTab02PageInnerFileLeftTab02Browser);
    const std::string line = ListBoxSelected(dl.ListBoxAbsExistFile);
    if (line.empty()) return;
    const std::string path = AbsExistLinePath(line);
    if (!FileExists(path)) return;
    if (IsCssOrJsPath(LowerCase(path))) {
        rp.MemoPageControlMainBodyTab02PageInnerFileLeftTab03Text->setPlainText(qs(ReadFileBytes(path)));
        rp.PageControlMainBodyTab02PageInnerFileLeft->setCurrentWidget(rp.PageControlMainBodyTab02PageInnerFileLeftTab03Text);
    } else {
        dl.WebBrowserFoundLocalImageFile->Navigate(QUrl::fromLocalFile(qs(path)).toString());
    }
}

void ObtainedImagesPage::ListBoxObtainedCSSClick()
{
    auto &dl = c_.dl;
    const std::string line = ListBoxSelected(dl.ListBoxObtainedCSS);
    const ObtainedCssPick p =
        PickObtainedCssLine(line, sj(dl.EditDownloadLWebFileIndividual->text()), sj(dl.EditBaseWebDir->text()));
    if (p.Empty) {
        dl.LabelLocalFile->clear();
        dl.LabelWebFile->clear();
    }
    if (p.HasLocal) {
        dl.BtnEditDownloadLocalFileIndividual->setText(qs(p.LocalFile));
        dl.LabelLocalFile->setText(qs(p.LocalFile));
        QGuiApplication::clipboard()->setText(qs(p.ClipName));
    }
    dl.EditImageSearch->setText(qs(p.SearchWord));
    if (p.HasUrl) {
        dl.LabelWebFile->setText(qs(p.WebLabel));
        dl.EditDownloadLWebFileIndividual->setText(qs(p.Url));
        dl.ComboBoxURLDirect->setEditText(qs(p.Url));
    }
}

void ObtainedImagesPage::ListBoxCSSDownloadedFileClick()
{
    auto &dl = c_.dl;
    const std::string Url = DownloadLineUrl(ListBoxSelected(dl.ListBoxCSSDownloadedFile));
    if (!IsHttpUrl(Url)) {
        ctx_.message(u8(kBadUrlMsg));
        return;
    }
    const std::string box = Trim(sj(dl.BtnEditDownloadDirectFolder->text()));
    if (box.empty()) {
        ctx_.message(u8(kNoSaveFolder));
        return;
    }
    if (!isDir(absolutePath(box))) {
        ctx_.folderNotExists(box, "%4", 4);
        return;
    }
    const std::string folder = UrlFolderInside(absolutePath(box), Url);
    if (folder.empty()) {
        ctx_.message(u8(kOutsideFolder));
        return;
    }
    dl.ComboBoxURLDirect->setEditText(qs(Url));
    dl.BtnEditDownloadDirectFolder->setText(qs(folder));
    dl.BtnEditDownloadDirectLocalFilename->clear();
}

// --- small handlers -------------------------------------------------------------------------

void ObtainedImagesPage::btnTranfer2IndividualClick()
{
    auto &dl = c_.dl;
    dl.ComboBoxURLDirect->setEditText(dl.EditDownloadLWebFileIndividual->text());
    dl.BtnEditDownloadDirectLocalFilename->setText(dl.BtnEditDownloadLocalFileIndividual->text());
    dl.BtnEditDownloadDirectFolder->setText(qs(folderOf(sj(dl.BtnEditDownloadLocalFileIndividual->text()))));
}

void ObtainedImagesPage::btnRemakeLocalFileClick()
{
    ctx_.urlPasteAndMakeLocalFile(sj(c_.dl.EditDownloadLWebFileIndividual->text()));
}

void ObtainedImagesPage::btnGetFromBaseUrlClick()
{
    c_.dl.EditDownloadLWebFileIndividual->setText(c_.dl.ComboBoxUrl->currentText());
}

void ObtainedImagesPage::btnSaveIndividualImageFoderClick()
{
    std::string start = sj(c_.dl.BtnEditDownloadLocalFileIndividual->text());
    if (start.empty()) start = state().GSaveDefaultFolder;
    const std::string F = chooseFolder(start);
    if (F.empty()) return;
    c_.dl.BtnEditDownloadLocalFileIndividual->setText(qs(F.back() == '/' ? F : F + "/"));
}

void ObtainedImagesPage::BtnEditDownloadLocalFileIndividualButtonClick()
{
    auto &dl = c_.dl;
    const std::string box = sj(dl.BtnEditDownloadLocalFileIndividual->text());
    const std::string proposal =
        !state().GDownloadLocalFile.empty() || box.empty() ? std::string("dummy.gif") : filePart(box);
    const QString name = QFileDialog::getSaveFileName(ctx_.window, QString(), qs(folderOf(box) + proposal));
    if (name.isEmpty()) return;
    dl.BtnEditDownloadLocalFileIndividual->setText(QFileInfo(name).absolutePath() + QLatin1Char('/'));
}

void ObtainedImagesPage::btnClearImageListBoxClick()
{
    c_.dl.ListBoxBodyPageCSSImage->clear();
    c_.dl.ListBoxBodyImageDownloaded->clear();
}

void ObtainedImagesPage::btnSaveListBoxBodyImageDownloadedClick()
{
    QStringList lines;
    QListWidget *list = c_.dl.ListBoxBodyImageDownloaded;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    QGuiApplication::clipboard()->setText(lines.isEmpty() ? QString() : lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void ObtainedImagesPage::btnListBoxBodyPageCSSImagePasteClick()
{
    const QString t = QGuiApplication::clipboard()->text();
    if (t.contains(QStringLiteral("http://")) || t.contains(QStringLiteral("https://"))) c_.dl.ListBoxBodyPageCSSImage->addItem(t);
}

void ObtainedImagesPage::btnClearListBoxFrameSetClick()
{
    state().GFrameSetPage.clear();
    c_.dl.ListBoxFrameSet->clear();
}

void ObtainedImagesPage::MenuFolderSetDefaultFolderClick()
{
    const std::string F = chooseFolder(std::string());
    if (F.empty()) return;
    state().GSaveDefaultFolder = F.back() == '/' ? F : F + "/";
}

void ObtainedImagesPage::MenuFoldeRemoveDefaultFolderClick() { state().GSaveDefaultFolder.clear(); }

// The status bar names no default folder.
void ObtainedImagesPage::MenuFolderViewDefaultFolderClick() {}

void ObtainedImagesPage::SpinEditMainTopPanelHeightEnter()
{
    auto *spin = c_.dl.SpinEditMainTopPanelHeight;
    spin->interpretText();
    const int h = spin->value();
    ctx_.setPanelMainTopHeight(h);
    const std::string &ini = state().GSettingsFile;
    if (ini.empty() || !FileExists(ini)) return;
    TIniFile file(ini);
    if (!file.WriteInteger("PageHTML", "MainTopPanelHeight", h))
        ctx_.message(QStringLiteral("設定ﾌｧｲﾙに書き込めません   【 ") + qs(ini) + QStringLiteral(" 】"));
}
