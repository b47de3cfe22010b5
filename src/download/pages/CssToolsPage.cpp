#include "download/pages/CssToolsPage.h"
#include "state/AppState.h"
#include "download/CssTools.h"
#include "download/pages/DownloadCssPage.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

std::string sj(const QString &s) { return toSjis(s); }

bool folderThere(const std::string &p) { return !p.empty() && QFileInfo(fromSjis(p)).isDir(); }

const char *kNoFolder = "ﾌｫﾙﾀﾞｰが存在しません";

} // namespace

CssToolsPage::CssToolsPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    auto &d = c_.doc;
    auto &dl = c_.dl;
    layoutPage();
    connect(d.btnReGetPageImageCSS, &QPushButton::clicked, this, [this] { btnReGetPageImageCSSClick(); });
    connect(d.btnCSSRedownload, &QPushButton::clicked, this, [this] { btnCSSRedownloadClick(); });
    connect(d.BtnCSSFirstRemoveSlash, &QPushButton::clicked, this, [this] { BtnCSSFirstRemoveSlashClick(); });
    connect(d.btnMainTopCssCOPY, &QPushButton::clicked, this, [this] { btnMainTopCssCOPYClick(); });
    connect(d.btnCSSClear, &QPushButton::clicked, this, [this] { btnCSSClearClick(); });
    connect(d.BtnTopCssppageClose, &QPushButton::clicked, this, [this] { BtnTopCssppageCloseClick(); });
    connect(d.btnCloseLocalCSS, &QPushButton::clicked, this, [this] { BtnTopCssppageCloseClick(); });
    connect(d.btnGetImageFromLocalFolder, &QPushButton::clicked, this, [this] { btnGetImageFromLocalFolderClick(); });
    connect(dl.BtnEditCSSLocalFolder, &TBtnEdit::buttonClicked, this, [this] { btnGetImageFromLocalFolderClick(); });
    connect(d.btnGetLocalCSSImage, &QPushButton::clicked, this, [this] { btnGetLocalCSSImageClick(); });
    connect(dl.BtnEditSaveFile, &TBtnEdit::buttonClicked, this, [this] { BtnEditSaveFileButtonClick(); });
    connect(this, &CssToolsPage::progress, d.LabelCSSFileCount, &QLabel::setText);
}

void CssToolsPage::layoutPage()
{
    auto &dl = c_.dl;
    if (dl.EditFilenameInitial->text().isEmpty()) dl.EditFilenameInitial->setText(QStringLiteral("*"));
    if (dl.ComboBoxExt->count() == 0)
        dl.ComboBoxExt->addItems({QStringLiteral("css"), QStringLiteral("ico"), QStringLiteral("gif"), QStringLiteral("jpg")});
    dl.ComboBoxExt->setEditable(true);
    if (dl.ComboBoxExt->currentText().isEmpty()) dl.ComboBoxExt->setEditText(QStringLiteral("css"));
    dl.CheckBoxRecursiveSearch->setText(QStringLiteral("ｻﾌﾞﾌｫﾙﾀﾞｰも検索対象とする"));
    c_.doc.SplitterLocalCSS->setOrientation(Qt::Horizontal);
    dl.BtnEditCSSLocalFolder->setMinimumWidth(360);
    dl.BtnEditSaveFile->setMinimumWidth(360);
}

void CssToolsPage::btnReGetPageImageCSSClick()
{
    c_.dl.ListBoxAdjusttedCSS->clear();
    ctx_.downloadCssPage->btnGetPageImageCSSClick();
}

void CssToolsPage::btnCSSRedownloadClick()
{
    c_.dl.ListBoxDownloadedCSSFile->clear();
    ctx_.downloadCssPage->btnMainTopCSSdownloadClick();
}

void CssToolsPage::BtnCSSFirstRemoveSlashClick()
{
    DownloadCssPage &css = *ctx_.downloadCssPage;
    if (css.running()) return;
    const std::vector<std::string> files = css.engine().Lines("GDownloadedCssFiles");
    std::string root = sj(c_.dl.BtnEditCSSSaveFolder->text());
    std::vector<std::string> done;
    if (TopImageCSSRemoveFirstSlash(files, root, done) < 0) return;
    for (const std::string &F : done) c_.dl.ListBoxRemoveSlashCSS->addItem(fromSjis(F));
}

void CssToolsPage::btnMainTopCssCOPYClick()
{
    QGuiApplication::clipboard()->setText(c_.dl.MemoTopCSSText->toPlainText());
}

void CssToolsPage::btnCSSClearClick()
{
    ctx_.ListBoxAllClear();
    c_.dl.MemoTopCSSText->clear();
    c_.dl.MemoDownloadHTMLText->clear();
}

void CssToolsPage::BtnTopCssppageCloseClick() { ctx_.closeMainWindow(); }

void CssToolsPage::btnGetImageFromLocalFolderClick()
{
    TBtnEdit *box = c_.dl.BtnEditCSSLocalFolder;
    std::string start = sj(box->text());
    if (start.empty()) start = "/";
    const std::string F = pickFolder ? pickFolder(start) : SelectFolder(QString::fromUtf8(kSelectFolderCaption), start);
    if (F.empty()) return;
    box->setText(fromSjis(F.back() == '/' ? F : F + "/"));
}

void CssToolsPage::BtnEditSaveFileButtonClick()
{
    std::string chosen;
    if (saveTxt) {
        chosen = saveTxt("dummy.txt");
    } else {
        const QString c = QFileDialog::getSaveFileName(ctx_.window, QString(), QStringLiteral("dummy.txt"),
                                                       QStringLiteral("ﾃｷｽﾄ・ﾌｧｲﾙ（ *.txt ）(*.txt)"));
        if (!c.isEmpty() && fromSjis(sj(c)) == c) chosen = sj(c);
    }
    if (chosen.empty()) return;
    c_.dl.BtnEditSaveFile->setText(fromSjis(ChangeFileExtension(chosen, ".txt")));
}

void CssToolsPage::btnGetLocalCSSImageClick()
{
    auto &dl = c_.dl;
    auto &d = c_.doc;
    AppState &st = state();
    const std::string save = Trim(sj(dl.BtnEditSaveFile->text()));
    if (!save.empty() && !folderThere(folderPart(save))) {
        dl.BtnEditSaveFile->clear();
        ctx_.message(QString::fromUtf8(kNoFolder));
        return;
    }
    const std::string folder = Trim(sj(dl.BtnEditCSSLocalFolder->text()));
    if (folder.empty()) return;
    if (!folderThere(folder)) {
        dl.BtnEditCSSLocalFolder->clear();
        ctx_.message(QString::fromUtf8(kNoFolder));
        return;
    }
    ctx_.FileReset();
    const std::string mask = Trim(sj(dl.EditFilenameInitial->text())).empty() ? std::string("*")
                                                                             : sj(dl.EditFilenameInitial->text());
    ctx_.ListBoxAllClear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LocalCssRead r;
    GetHTMLFileList(mask, folder, sj(dl.ComboBoxExt->currentText()), dl.CheckBoxRecursiveSearch->isChecked(), r,
                    [this](const std::string &p) {
                        emit progress(fromSjis(p));
                        // The label repaints between files.
                        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                    });
    QApplication::restoreOverrideCursor();
    d.ListBoxCSSFileList->clear();
    for (const std::string &F : r.FileList) d.ListBoxCSSFileList->addItem(fromSjis(F));
    d.ListBoxRecursiveFileList->clear();
    for (const std::string &F : r.AllList) d.ListBoxRecursiveFileList->addItem(fromSjis(F));
    StringList &local = st.list(SharedList::GLocalFileList);
    StringList &work = st.list(SharedList::GWorkList);
    local.clear();
    work.clear();
    for (const std::string &F : r.LocalFileList) local.add(F);
    for (const std::string &l : r.WorkList) work.add(l);
    d.ListBoxCSSFileLoaded->clear();
    for (const std::string &F : r.LocalFileList) d.ListBoxCSSFileLoaded->addItem(fromSjis(F));
    d.ListBoxCSSInnerImage->clear();
    for (const std::string &u : CssInnerImages(r.WorkList)) d.ListBoxCSSInnerImage->addItem(fromSjis(u));
    if (!save.empty()) {
        std::string text;
        for (const std::string &l : r.WorkList) text += l + "\r\n";
        if (!WriteWholeFile(save, text))
            ctx_.message(QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(save) + QStringLiteral(" 】"));
    }
    st.GCaptionFile.clear();
    ctx_.setWindowTitle(fromSjis(st.GCaptionPrefix) + QStringLiteral("[  新規 ] "));
}
