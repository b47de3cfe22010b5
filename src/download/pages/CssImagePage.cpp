#include "download/pages/CssImagePage.h"
#include "state/AppState.h"
#include "download/CssImageDownload.h"
#include "download/RepairText.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/StrUtils.h"
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

std::string sj(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }

// A memo's lines as a file holds them: Shift_JIS, each line ended by CR LF.
std::string memoText(const TMemo *memo)
{
    const QString t = memo->toPlainText();
    if (t.isEmpty()) return {};
    return ReplaceAll(sj(t), "\n", "\r\n") + "\r\n";
}

std::string absoluteFolder(const std::string &Box)
{
    const std::string b = Trim(Box);
    if (b.empty()) return {};
    std::string a = b[0] == '/' ? b : sj(QFileInfo(qs(b)).absoluteFilePath());
    if (a.back() != '/') a += '/';
    return a;
}

} // namespace

CssImagePage::CssImagePage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx)), job_(this)
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    rp.PanelMainBodyTab06GetDowloadImageFileTop->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    rp.SplitterMainBodyTab06GetDowloadImageFile->setOrientation(Qt::Horizontal);
    dl.ComboBoxBatchDownloadURL->setEditable(true);
    dl.ComboBoxBatchDownloadURL->setMinimumWidth(420);
    dl.BtnEditBatchCSSFilename->setMinimumWidth(300);
    dl.BtnEditBatchDownloadFolder->setMinimumWidth(300);

    auto click = [this](QAbstractButton *b, void (CssImagePage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(rp.btnBatchDownloadImageFromCSSFile, &CssImagePage::btnBatchDownloadImageFromCSSFileClick);
    click(rp.btnDownloadIndividual, &CssImagePage::btnDownloadIndividualClick);
    click(rp.btnListBoxPageControlTab06GetDowloadImageFileTab01Remove,
          &CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01RemoveClick);
    click(rp.btnListBoxPageControlTab06GetDowloadImageFileTab01Save,
          &CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01SaveClick);
    click(rp.btnListBoxPageControlTab06GetDowloadImageFileTab01SaveAs,
          &CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01SaveAsClick);
    click(rp.btnBatchDownloadURLpaste, &CssImagePage::btnBatchDownloadURLpasteClick);
    click(rp.BtnBatchDownloadFolder, &CssImagePage::BtnBatchDownloadFolderClick);
    click(rp.btnListBoxPageControlTab06GetDowloadImageFileTab03CSSListClear,
          &CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab03CSSListClearClick);
    connect(dl.BtnEditBatchCSSFilename, &TBtnEdit::buttonClicked, this, [this] { BtnEditBatchCSSFilenameButtonClick(); });
    connect(dl.BtnEditBatchDownloadFolder, &TBtnEdit::buttonClicked, this, [this] { BtnEditBatchDownloadFolderButtonClick(); });
    connect(rp.ListBoxPageControlTab06GetDowloadImageFileTab03CSSList, &QListWidget::itemClicked, this,
            [this] { ListBoxPageControlTab06GetDowloadImageFileTab03CSSListClick(); });
}

std::vector<std::string> CssImagePage::references() const
{
    std::vector<std::string> refs;
    QListWidget *list = c_.dl.ListBoxDownloadMainBodyObtainImageFile;
    for (int i = 0; i < list->count(); ++i) {
        const std::string t = sj(list->item(i)->text());
        refs.push_back(t.substr(0, t.find('\t')));
    }
    return refs;
}

void CssImagePage::btnBatchDownloadImageFromCSSFileClick()
{
    auto &dl = c_.dl;
    const std::string css = sj(dl.MemoBatchDownloadCSS->toPlainText());
    if (css.empty()) return;
    std::vector<std::string> refs;
    if (!ListCssUrls(ReplaceAll(css, "\n", "\r\n"), refs)) return;
    dl.ListBoxDownloadMainBodyObtainImageFile->clear();
    for (const std::string &r : refs) dl.ListBoxDownloadMainBodyObtainImageFile->addItem(qs(r));
    const std::string base = Trim(sj(dl.ComboBoxBatchDownloadURL->currentText()));
    const CssImageBase b = CssImageBaseOf(base);
    dl.LabelDownloadURLRoot->setText(QStringLiteral("【 ") + qs(b.Root) + QStringLiteral(" 】"));
    dl.LabelDownloadUrlPage->setText(QStringLiteral("[ ") + qs(b.Folder) + QStringLiteral(" ]"));
    dl.ListBoxDownloadMainBodyObtainImageFileWeb->clear();
    c_.rep.ListBoxDownloadTargetLocalFile->clear();
    dl.ListBoxDownloadedLocalFile->clear();
    const std::string folder = absoluteFolder(sj(dl.BtnEditBatchDownloadFolder->text()));
    for (const std::string &l : CssImageListLines(refs, base, folder))
        dl.ListBoxDownloadMainBodyObtainImageFileWeb->addItem(qs(l));
}

void CssImagePage::btnDownloadIndividualClick()
{
    auto &dl = c_.dl;
    if (job_.running()) return;
    const std::vector<std::string> refs = references();
    const std::string folder = absoluteFolder(sj(dl.BtnEditBatchDownloadFolder->text()));
    const std::string base = Trim(sj(dl.ComboBoxBatchDownloadURL->currentText()));
    if (refs.empty() || folder.empty() || !QFileInfo(qs(folder)).isDir() || base.empty()) return;
    dl.ListBoxDownloadMainBodyObtainImageFileWeb->clear();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    c_.rep.btnDownloadIndividual->setEnabled(false);
    // Each line reaches the list as its attempt ends, so the window shows the run as it goes.
    QListWidget *list = dl.ListBoxDownloadMainBodyObtainImageFileWeb;
    auto line = [this, list](const std::string &l) {
        QMetaObject::invokeMethod(this, [list, l] { list->addItem(fromSjis(l)); }, Qt::QueuedConnection);
    };
    job_.start<int>([refs, base, folder, line] { return DownloadCssImages(refs, base, folder, line); },
                    [this](const int &saved) {
                        QGuiApplication::restoreOverrideCursor();
                        c_.rep.btnDownloadIndividual->setEnabled(true);
                        emit downloadFinished(saved);
                    });
}

void CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01RemoveClick()
{
    const std::string t = sj(c_.dl.MemoBatchDownloadCSS->toPlainText());
    c_.rep.MemoBatchDownloadCSSSave->setPlainText(qs(RemoveCssUrlRoots(t)));
}

void CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01SaveClick()
{
    const std::string text = memoText(c_.rep.MemoBatchDownloadCSSSave);
    const std::string file = Trim(sj(c_.dl.BtnEditBatchCSSFilename->text()));
    if (text.empty() || file.empty()) return;
    if (!SaveTextFile(text, file).ok())
        ctx_.message(QStringLiteral("ﾌｧｲﾙを保存できません   【 ") + qs(file) + QStringLiteral(" 】"));
}

void CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab01SaveAsClick()
{
    const std::string text = memoText(c_.rep.MemoBatchDownloadCSSSave);
    if (text.empty()) return;
    const std::string proposal = sj(c_.dl.BtnEditBatchCSSFilename->text());
    const std::string file = pickSaveFile ? pickSaveFile(proposal)
                                          : sj(QFileDialog::getSaveFileName(ctx_.window, QString(), qs(proposal),
                                                                            QStringLiteral("CSS (*.css);;* (*)")));
    if (file.empty()) return;
    if (!SaveTextFile(text, file).ok())
        ctx_.message(QStringLiteral("ﾌｧｲﾙを保存できません   【 ") + qs(file) + QStringLiteral(" 】"));
}

void CssImagePage::loadSheet(const std::string &File)
{
    c_.dl.BtnEditBatchCSSFilename->setText(qs(File));
    std::string text = LoadTextFile(File);
    // Loaded as lines: the last line end starts no empty line.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    c_.dl.MemoBatchDownloadCSS->setPlainText(qs(ReplaceAll(text, "\r\n", "\n")));
}

void CssImagePage::BtnEditBatchCSSFilenameButtonClick()
{
    const std::string file = pickOpenFile ? pickOpenFile("dummy.txt")
                                          : sj(QFileDialog::getOpenFileName(ctx_.window, QString(), QStringLiteral("dummy.txt")));
    if (!file.empty()) loadSheet(file);
}

void CssImagePage::btnBatchDownloadURLpasteClick()
{
    c_.dl.ComboBoxBatchDownloadURL->setEditText(QGuiApplication::clipboard()->text());
}

void CssImagePage::BtnBatchDownloadFolderClick()
{
    std::string start = sj(c_.dl.BtnEditHTMLPageSaveFolder->text());
    if (start.empty()) start = state().GSaveDefaultFolder;
    const std::string F = pickFolder ? pickFolder(start) : SelectFolder(QString::fromUtf8(kSelectFolderCaption), start);
    if (F.empty()) return;
    c_.dl.BtnEditBatchDownloadFolder->setText(qs(F.back() == '/' ? F : F + "/"));
}

void CssImagePage::ListBoxPageControlTab06GetDowloadImageFileTab03CSSListClick()
{
    const std::string file = ListBoxSelected(c_.rep.ListBoxPageControlTab06GetDowloadImageFileTab03CSSList);
    if (file.empty() || !FileExists(file)) return;
    loadSheet(file);
    btnBatchDownloadImageFromCSSFileClick();
}

void CssImagePage::btnListBoxPageControlTab06GetDowloadImageFileTab03CSSListClearClick()
{
    c_.rep.ListBoxPageControlTab06GetDowloadImageFileTab03CSSList->clear();
}
