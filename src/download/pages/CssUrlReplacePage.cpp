#include "download/pages/CssUrlReplacePage.h"
#include "download/FolderCssReplace.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>

namespace {

void fill(QListWidget *box, const std::vector<std::string> &lines)
{
    if (!box) return;
    box->clear();
    for (const std::string &l : lines) box->addItem(fromSjis(l));
}

// The folder as an absolute path with "/" at its end, so the writes can be held inside it.
std::string absoluteFolder(const std::string &Folder)
{
    std::string F = toSjis(QFileInfo(fromSjis(Folder)).absoluteFilePath());
    if (!F.empty() && F.back() != '/') F += '/';
    return F;
}

void pickInto(TBtnEdit *box)
{
    std::string start = toSjis(box->text());
    const std::string F = SelectFolder(QString::fromUtf8(kSelectFolderCaption), start);
    if (F.empty()) return;
    box->setText(fromSjis(F.back() == '/' ? F : F + "/"));
}

} // namespace

int MakeHTMLFileList(const std::string &Mask, const std::string &Folder, bool Recursive, QListWidget *AllList,
                     QListWidget *FileList, const std::string &Ext)
{
    std::vector<std::string> all, files;
    const int n = MakeHTMLFileList(Mask, Folder, Recursive, all, files, Ext);
    if (n < 0) return n;
    fill(AllList, all);
    fill(FileList, files);
    return n;
}

CssUrlReplacePage::CssUrlReplacePage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    dl.EditCSSURLSearch->setText(QStringLiteral("url(/"));
    dl.EditCSSUrlReplace->setText(QStringLiteral("url(../"));
    rp.BtnEditPageControlMainBodyHTML->hide();
    dl.BtnEditPageControlMainBodyCSSUrl->setMinimumWidth(360);
    dl.BtnEditPageControlMainBodyHTMLFolder->setMinimumWidth(360);
    rp.SplitterPageControlMainBodyCSSUrl->setOrientation(Qt::Vertical);
    connect(rp.btnCSSUrlReplaceExecute, &QPushButton::clicked, this, [this] { btnCSSUrlReplaceExecuteClick(); });
    connect(rp.btnEditCSSURLSearchPaste, &QPushButton::clicked, this, [this] { btnEditCSSURLSearchPasteClick(); });
    connect(rp.btnEditCSSUrlReplacePaste, &QPushButton::clicked, this, [this] { btnEditCSSUrlReplacePasteClick(); });
    connect(rp.btnPageControlMainBodyCSSUrl, &QPushButton::clicked, this, [this] { btnPageControlMainBodyCSSUrlClick(); });
    connect(rp.BtnEditPageControlMainBodyHTML, &QPushButton::clicked, this,
            [this] { BtnEditPageControlMainBodyHTMLClick(); });
    connect(rp.btnREplaceALLCssUrl, &QPushButton::clicked, this, [this] { btnREplaceALLCssUrlClick(); });
}

int CssUrlReplacePage::CSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                                     const std::string &Search, const std::string &Replacement, bool Recursive,
                                     std::vector<std::string> &Failed)
{
    auto &rp = c_.rep;
    std::vector<std::string> all, files;
    CssReplaceReport rep;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int r = ::CSSUrlReplace(Mask, Folder, Ext, Search, Replacement, Recursive, all, files, rep);
    QGuiApplication::restoreOverrideCursor();
    if (r < 0) return r;
    fill(rp.ListBoxListBoxPageControlMainBodyCSSUrlLeftBottom, all);
    fill(rp.ListBoxListBoxPageControlMainBodyCSSUrlLeftTop, files);
    Failed.insert(Failed.end(), rep.Failed.begin(), rep.Failed.end());
    return r;
}

int CssUrlReplacePage::ZZCSSUrlReplace(const std::string &Mask, const std::string &Folder, const std::string &Ext,
                                       const std::string &Search, const std::string &Replacement, bool Recursive,
                                       std::vector<std::string> &Failed)
{
    auto &rp = c_.rep;
    std::vector<std::string> all, files;
    CssReplaceReport rep;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int r = ::ZZCSSUrlReplace(Mask, Folder, Ext, Search, Replacement, Recursive, all, files, rep);
    QGuiApplication::restoreOverrideCursor();
    if (r < 0) return r;
    fill(rp.ListBoxListBoxPageControlMainBodyCSSUrlLeftBottom, all);
    fill(rp.ListBoxListBoxPageControlMainBodyCSSUrlLeftTop, files);
    Failed.insert(Failed.end(), rep.Failed.begin(), rep.Failed.end());
    return r;
}

void CssUrlReplacePage::btnCSSUrlReplaceExecuteClick()
{
    auto &dl = c_.dl;
    const std::string Folder = Trim(toSjis(dl.BtnEditPageControlMainBodyCSSUrl->text()));
    if (Folder.empty()) return;
    if (!QFileInfo(fromSjis(Folder)).isDir()) {
        dl.BtnEditCSSLocalFolder->clear();
        ctx_.folderNotExists(Folder, "%1", 110);
        return;
    }
    const std::string root = absoluteFolder(Folder);
    const std::string Search = toSjis(dl.EditCSSURLSearch->text());
    const std::string Replacement = toSjis(dl.EditCSSUrlReplace->text());
    std::vector<std::string> failed;
    if (CSSUrlReplace("*", root, "css", Search, Replacement, true, failed) <= 0)
        ZZCSSUrlReplace("*", root, "bss", Search, Replacement, true, failed);
    if (!failed.empty()) {
        QString text = QStringLiteral("書き込めなかったﾌｧｲﾙがあります：");
        for (const std::string &l : failed) text += QStringLiteral("\n") + fromSjis(l);
        ctx_.message(text);
    }
}

void CssUrlReplacePage::btnEditCSSURLSearchPasteClick()
{
    c_.dl.EditCSSURLSearch->setText(QGuiApplication::clipboard()->text());
}

void CssUrlReplacePage::btnEditCSSUrlReplacePasteClick()
{
    c_.dl.EditCSSUrlReplace->setText(QGuiApplication::clipboard()->text());
}

void CssUrlReplacePage::btnPageControlMainBodyCSSUrlClick() { pickInto(c_.dl.BtnEditPageControlMainBodyCSSUrl); }

void CssUrlReplacePage::BtnEditPageControlMainBodyHTMLClick() { pickInto(c_.dl.BtnEditPageControlMainBodyHTMLFolder); }
