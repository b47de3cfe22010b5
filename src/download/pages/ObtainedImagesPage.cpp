#include "download/pages/ObtainedImagesPage.h"
#include "text/PathGuard.h"
#include "download/pages/EnterFilter.h"
#include "download/ObtainedImages.h"
#include "download/RepairText.h"
#include "download/pages/DownloadCssPage.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/TAMainForm.h"
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

ObtainedImagesPage::ObtainedImagesPage(TAMainForm &form) : QObject(&form), f_(form), job_(this)
{
    auto &dl = f_.dl;
    auto &rp = f_.rep;
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

    MenuFolder = f_.menuBar()->addMenu(QStringLiteral("Folder"));
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
    auto &dl = f_.dl;
    if (Index < 0) {
        f_.rep.LabelSearch->setText(QStringLiteral("見つかりません"));
        return;
    }
    dl.ListBoxBodyPageCSSImage->setCurrentRow(Index);
    f_.rep.LabelSearch->setText(QString::number(Index));
    f_.state().GSearchNextIndex = Index;
}

void ObtainedImagesPage::btnSearchClick()
{
    showSearchHit(DoListBoxSearch(f_.dl.ListBoxBodyPageCSSImage, sj(f_.dl.EditImageSearch->text()), 0, 0));
}

void ObtainedImagesPage::btnSearchNextClick()
{
    QListWidget *list = f_.dl.ListBoxBodyPageCSSImage;
    const int start = std::clamp(f_.state().GSearchNextIndex + 1, 0, list->count());
    showSearchHit(DoListBoxSearch(list, sj(f_.dl.EditImageSearch->text()), 0, start));
}

// --- one file -----------------------------------------------------------------------------

void ObtainedImagesPage::btnDownloadImageAndCSSClick()
{
    auto &dl = f_.dl;
    if (job_.running()) return;
    const std::string Url = Trim(sj(dl.EditDownloadLWebFileIndividual->text()));
    const std::string Local = absolutePath(SanitizeLocalPath(Trim(sj(dl.BtnEditDownloadLocalFileIndividual->text()))));
    if (!IsHttpUrl(Url)) {
        ShowMessageBox(&f_, u8(kBadUrlMsg));
        return;
    }
    const std::string folder = folderOf(Local);
    if (folder.empty()) {
        ShowMessageBox(&f_, u8(kNoSaveFolder));
        return;
    }
    // The file goes where the box names it, never to a place a ".." climbs to from there.
    const std::size_t climb = folder.find("/../");
    if (!IsPathBelowRoot(climb == std::string::npos ? folder : folder.substr(0, climb), Local)) {
        ShowMessageBox(&f_, QStringLiteral("保存先に「 .. 」を含むﾊﾟｽは指定できません"));
        return;
    }
    CreateFolder(folder, std::string(), 53);
    if (filePart(Local).empty()) {
        ShowMessageBox(&f_, QStringLiteral("ファイル名が指定されていません"));
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    f_.rep.btnDownloadImageAndCSS->setEnabled(false);
    job_.start<bool>([Url, Local] { return DownloadRawFile(Url, Local); }, [this, Url, Local](const bool &ok) {
        QGuiApplication::restoreOverrideCursor();
        f_.rep.btnDownloadImageAndCSS->setEnabled(true);
        f_.rep.LabelDownloadedSuccsessfully->setText(QStringLiteral("〔 ") + qs(Url) + QStringLiteral(" 〕 -> 【 ") +
                                                     (ok ? qs(Local) : QStringLiteral("●●●")) + QStringLiteral(" 】"));
        emit fetchFinished();
    });
}

void ObtainedImagesPage::btnIndividualDownloadCheckClick()
{
    auto &dl = f_.dl;
    auto &rp = f_.rep;
    if (job_.running()) return;
    const std::string Url = Trim(sj(dl.EditDownloadLWebFileIndividual->text()));
    if (!IsHttpUrl(Url)) {
        ShowMessageBox(&f_, u8(kBadUrlMsg));
        return;
    }
    const std::string box = Trim(sj(dl.BtnEditDownloadLocalFileIndividual->text()));
    if (box.empty()) {
        ShowMessageBox(&f_, u8(kNoSaveFolder));
        return;
    }
    std::string folder = absolutePath(box);
    if (!isDir(folder)) {
        std::string text;
        MsgFolderNotExists(box, "%3", 0, 2, text);
        return;
    }
    if (folder.back() != '/') folder += '/';
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    rp.btnIndividualDownloadCheck->setEnabled(false);
    job_.start<CheckedDownload>([Url, folder] { return DownloadCheckedFile(Url, folder); },
                                [this, Url](const CheckedDownload &d) {
                                    auto &rp = f_.rep;
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
                                        ShowMessageBox(&f_, u8(kOutsideFolder));
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
    auto &dl = f_.dl;
    DownloadCssPage *css = f_.downloadCssPage;
    if (dl.ListBoxBodyPageCSSImage->count() == 0) {
        ShowMessageBox(&f_, QStringLiteral("ImageListBoxが「 空 」です"));
        return;
    }
    if (!css || css->running()) return;
    const std::string Url = sj(dl.ComboBoxUrl->currentText());
    const std::string Folder = sj(dl.BtnEditHTMLPageSaveFolder->text());
    if (!css->CheckSaveFolderExists(Url, Folder, 1070, 107)) {
        ShowMessageBox(&f_, QStringLiteral("ﾍﾟｰｼﾞUrlが「 空 」です"));
        return;
    }
    std::vector<std::string> lines;
    for (int i = 0; i < dl.ListBoxBodyPageCSSImage->count(); ++i) lines.push_back(sj(dl.ListBoxBodyPageCSSImage->item(i)->text()));
    css->readOptions();
    css->engine().Opt.BrowserImages = css->browserImages(Url);
    css->engine().Set("ListBoxBodyPageCSSImage", lines);
    const std::string webDir = ReplaceAll(sj(dl.EditBaseWebDir->text()), "/", "\\");
    f_.rep.btnListBoxBodyPageCSSImageBtchDownload->setEnabled(false);
    css->start(
        [Url, Folder, webDir](DownloadEngine &e) {
            e.BeginRun();
            return std::max(0, e.MainTopImagedownload(Url, Folder, webDir, "ListBoxBodyImageDownloaded", 0));
        },
        [this](int) {
            f_.rep.btnListBoxBodyPageCSSImageBtchDownload->setEnabled(true);
            emit imageListFinished();
        });
}

// --- list clicks --------------------------------------------------------------------------

void ObtainedImagesPage::ListBoxAbsExistFileClick()
{
    auto &dl = f_.dl;
    auto &rp = f_.rep;
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
    auto &dl = f_.dl;
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
    auto &dl = f_.dl;
    const std::string Url = DownloadLineUrl(ListBoxSelected(dl.ListBoxCSSDownloadedFile));
    if (!IsHttpUrl(Url)) {
        ShowMessageBox(&f_, u8(kBadUrlMsg));
        return;
    }
    const std::string box = Trim(sj(dl.BtnEditDownloadDirectFolder->text()));
    if (box.empty()) {
        ShowMessageBox(&f_, u8(kNoSaveFolder));
        return;
    }
    if (!isDir(absolutePath(box))) {
        std::string text;
        MsgFolderNotExists(box, "%4", 0, 4, text);
        return;
    }
    const std::string folder = UrlFolderInside(absolutePath(box), Url);
    if (folder.empty()) {
        ShowMessageBox(&f_, u8(kOutsideFolder));
        return;
    }
    dl.ComboBoxURLDirect->setEditText(qs(Url));
    dl.BtnEditDownloadDirectFolder->setText(qs(folder));
    dl.BtnEditDownloadDirectLocalFilename->clear();
}

// --- small handlers -------------------------------------------------------------------------

void ObtainedImagesPage::btnTranfer2IndividualClick()
{
    auto &dl = f_.dl;
    dl.ComboBoxURLDirect->setEditText(dl.EditDownloadLWebFileIndividual->text());
    dl.BtnEditDownloadDirectLocalFilename->setText(dl.BtnEditDownloadLocalFileIndividual->text());
    dl.BtnEditDownloadDirectFolder->setText(qs(folderOf(sj(dl.BtnEditDownloadLocalFileIndividual->text()))));
}

void ObtainedImagesPage::btnRemakeLocalFileClick()
{
    URLPasteAndMakeLocalFile(f_, sj(f_.dl.EditDownloadLWebFileIndividual->text()));
}

void ObtainedImagesPage::btnGetFromBaseUrlClick()
{
    f_.dl.EditDownloadLWebFileIndividual->setText(f_.dl.ComboBoxUrl->currentText());
}

void ObtainedImagesPage::btnSaveIndividualImageFoderClick()
{
    std::string start = sj(f_.dl.BtnEditDownloadLocalFileIndividual->text());
    if (start.empty()) start = f_.state().GSaveDefaultFolder;
    const std::string F = chooseFolder(start);
    if (F.empty()) return;
    f_.dl.BtnEditDownloadLocalFileIndividual->setText(qs(F.back() == '/' ? F : F + "/"));
}

void ObtainedImagesPage::BtnEditDownloadLocalFileIndividualButtonClick()
{
    auto &dl = f_.dl;
    const std::string box = sj(dl.BtnEditDownloadLocalFileIndividual->text());
    const std::string proposal =
        !f_.state().GDownloadLocalFile.empty() || box.empty() ? std::string("dummy.gif") : filePart(box);
    const QString name = QFileDialog::getSaveFileName(&f_, QString(), qs(folderOf(box) + proposal));
    if (name.isEmpty()) return;
    dl.BtnEditDownloadLocalFileIndividual->setText(QFileInfo(name).absolutePath() + QLatin1Char('/'));
}

void ObtainedImagesPage::btnClearImageListBoxClick()
{
    f_.dl.ListBoxBodyPageCSSImage->clear();
    f_.dl.ListBoxBodyImageDownloaded->clear();
}

void ObtainedImagesPage::btnSaveListBoxBodyImageDownloadedClick()
{
    QStringList lines;
    QListWidget *list = f_.dl.ListBoxBodyImageDownloaded;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    QGuiApplication::clipboard()->setText(lines.isEmpty() ? QString() : lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void ObtainedImagesPage::btnListBoxBodyPageCSSImagePasteClick()
{
    const QString t = QGuiApplication::clipboard()->text();
    if (t.contains(QStringLiteral("http://")) || t.contains(QStringLiteral("https://"))) f_.dl.ListBoxBodyPageCSSImage->addItem(t);
}

void ObtainedImagesPage::btnClearListBoxFrameSetClick()
{
    f_.state().GFrameSetPage.clear();
    f_.dl.ListBoxFrameSet->clear();
}

void ObtainedImagesPage::MenuFolderSetDefaultFolderClick()
{
    const std::string F = chooseFolder(std::string());
    if (F.empty()) return;
    f_.state().GSaveDefaultFolder = F.back() == '/' ? F : F + "/";
}

void ObtainedImagesPage::MenuFoldeRemoveDefaultFolderClick() { f_.state().GSaveDefaultFolder.clear(); }

void ObtainedImagesPage::MenuFolderViewDefaultFolderClick() { StatusbarDefaltFolder(f_); }

void ObtainedImagesPage::SpinEditMainTopPanelHeightEnter()
{
    auto *spin = f_.dl.SpinEditMainTopPanelHeight;
    spin->interpretText();
    const int h = spin->value();
    f_.setPanelMainTopHeight(h);
    const std::string &ini = f_.state().GSettingsFile;
    if (ini.empty() || !FileExists(ini)) return;
    TIniFile file(ini);
    if (!file.WriteInteger("PageHTML", "MainTopPanelHeight", h))
        ShowMessageBox(&f_, QStringLiteral("設定ﾌｧｲﾙに書き込めません   【 ") + qs(ini) + QStringLiteral(" 】"));
}
