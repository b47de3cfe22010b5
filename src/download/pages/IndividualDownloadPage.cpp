#include "download/pages/IndividualDownloadPage.h"
#include "state/AppState.h"
#include "download/pages/EnterFilter.h"
#include "download/RepairText.h"
#include "download/pages/BrowserDocPage.h"
#include "download/SaveTree.h"
#include "platform/FolderPicker.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/StrUtils.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QUrl>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";
const char *kNotObtained = "取得できませんでした";

std::string sj(const QString &s) { return toSjis(s); }
QString qs(const std::string &s) { return fromSjis(s); }

QString fileUrl(const std::string &Local) { return QUrl::fromLocalFile(qs(Local)).toString(); }

void pickFolderInto(TBtnEdit *box)
{
    const std::string F = SelectFolder(QString::fromUtf8(kSelectFolderCaption), sj(box->text()));
    if (F.empty()) return;
    box->setText(qs(F.back() == '/' ? F : F + "/"));
}


} // namespace

IndividualDownloadPage::IndividualDownloadPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx)), job_(this)
{
    auto &dl = c_.dl;
    auto &rp = c_.rep;
    dl.RadioGroupIndividual->setTitle(QStringLiteral(" 文字コード （ charset ）"));
    dl.RadioGroupIndividual->setItems({QStringLiteral("自動"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"),
                                       QStringLiteral("ISO(JIS)"), QStringLiteral("SJIS"), QStringLiteral("そのまま")});
    dl.RadioGroupIndividual->setItemIndex(0);
    dl.RadioGroupRemoveUrlRootIndividual->setTitle(QStringLiteral(" CSSﾌｧｲﾙ内の「 url(/・・ 」の処理 "));
    dl.RadioGroupRemoveUrlRootIndividual->setItems(
        {QStringLiteral("除去する"), QStringLiteral("何もしない"), QStringLiteral("．．／・・・")});
    dl.RadioGroupRemoveUrlRootIndividual->setItemIndex(0);
    for (QWidget *w : {static_cast<QWidget *>(rp.btnListBoxDownloadCanNotCSSFile),
                       static_cast<QWidget *>(rp.btnBatchNotFoundCSSFle),
                       static_cast<QWidget *>(rp.ListBoxDownloadCanNotCSSFile)})
        w->hide();
    dl.ComboBoxURLDirect->setEditable(true);
    dl.ComboBoxURLDirect->setMinimumWidth(420);
    dl.BtnEditDownloadDirectFolder->setMinimumWidth(300);
    dl.BtnEditDownloadDirectLocalFilename->setMinimumWidth(200);
    rp.SplitterDownloadText->setOrientation(Qt::Horizontal);
    dl.EditWebFile->setMinimumWidth(360);
    dl.BtnEditWebSaveLocalFile->setMinimumWidth(300);
    rp.SplitterGetwebFileList->setOrientation(Qt::Horizontal);
    dl.PageControlMainBodyTab04GetwebFileListRight->setTabText(0, QStringLiteral(" CSSﾃｷｽﾄ "));

    auto click = [this](QAbstractButton *b, void (IndividualDownloadPage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(rp.btnDownLoadSaveFile, &IndividualDownloadPage::btnDownLoadSaveFileClick);
    click(rp.btnRichEditHTMLSrc01Ssave, &IndividualDownloadPage::btnRichEditHTMLSrc01SsaveClick);
    click(rp.btnDownloadDirect, &IndividualDownloadPage::btnDownloadDirectClick);
    click(rp.btnSaveIndividualText, &IndividualDownloadPage::btnSaveIndividualTextClick);
    click(rp.btnGetCSSListFromIndividualFile, &IndividualDownloadPage::btnGetCSSListFromIndividualFileClick);
    click(rp.btnDownloadDirectPaste, &IndividualDownloadPage::btnDownloadDirectPasteClick);
    click(rp.btnDownloadDirectSConcactePaste, &IndividualDownloadPage::btnDownloadDirectSConcactePasteClick);
    click(rp.btnDirectUrl2Url, &IndividualDownloadPage::btnDirectUrl2UrlClick);
    click(rp.btnDownLoadDirectFolder, &IndividualDownloadPage::btnDownLoadDirectFolderClick);
    click(rp.btnLoadLocalFile, &IndividualDownloadPage::btnLoadLocalFileClick);
    click(rp.btnBrowseIndivudial, &IndividualDownloadPage::btnBrowseIndivudialClick);
    click(rp.btnDirectDownloadRichClear, &IndividualDownloadPage::btnDirectDownloadRichClearClick);
    click(rp.BtnRichCOPY2Clipboard, &IndividualDownloadPage::BtnRichCOPY2ClipboardClick);
    click(rp.btnListBoxDownloadCanNotCSSFile, &IndividualDownloadPage::btnListBoxDownloadCanNotCSSFileClick);
    click(rp.btnDownloadIndividualWebFile, &IndividualDownloadPage::btnDownloadIndividualWebFileClick);
    click(rp.btnWebOneFilePaste, &IndividualDownloadPage::btnWebOneFilePasteClick);
    click(rp.btnWebSaveFoldeder, &IndividualDownloadPage::btnWebSaveFoldederClick);
    connect(dl.BtnEditDownloadDirectFolder, &TBtnEdit::buttonClicked, this,
            [this] { BtnEditDownloadDirectFolderButtonClick(); });
    connect(dl.BtnEditWebSaveLocalFile, &TBtnEdit::buttonClicked, this,
            [this] { BtnEditWebSaveLocalFileButtonClick(); });
    connect(dl.BtnEditWebSaveLocalFileFolder, &TBtnEdit::buttonClicked, this, [this] { btnWebSaveFoldederClick(); });
    connect(rp.btnEditWebFile, &QPushButton::clicked, dl.EditWebFile, &QLineEdit::clear);
    connect(rp.btnWebSaveLocalFileClear, &QPushButton::clicked, dl.BtnEditWebSaveLocalFile, &QLineEdit::clear);
    connect(rp.btnWebgetClear, &QPushButton::clicked, rp.LabelGetWebFile, &QLabel::clear);
    connect(dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS, &QListWidget::itemClicked, this,
            [this] { ListBoxPageControlMainBodyTab04GetwebFileListCSSClick(); });
    if (QLineEdit *le = dl.ComboBoxURLDirect->lineEdit())
        connect(le, &QLineEdit::returnPressed, this, [this] { btnDownLoadSaveFileClick(); });
    dl.EditWebFile->installEventFilter(new EnterFilter(this, [this] { EditWebFileKeyDown(); }));
}

std::string IndividualDownloadPage::absoluteFolder(const std::string &Folder) const
{
    if (Trim(Folder).empty()) return {};
    std::string F = sj(QFileInfo(qs(Trim(Folder))).absoluteFilePath());
    if (!F.empty() && F.back() != '/') F += '/';
    return F;
}

void IndividualDownloadPage::btnDownLoadSaveFileClick()
{
    auto &dl = c_.dl;
    std::string Url = Trim(sj(dl.ComboBoxURLDirect->currentText()));
    if (Url.empty() || job_.running()) return;
    if (Url.back() == '/') {
        Url += "index.html";
        dl.ComboBoxURLDirect->setEditText(qs(Url));
    }
    if (!IsHttpUrl(Url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    c_.rep.PageControlDownloadHTML->setCurrentWidget(c_.rep.PageControlDownloadHTMLTab0SearchList);
    IndividualOptions o;
    o.Folder = absoluteFolder(sj(dl.BtnEditDownloadDirectFolder->text()));
    o.LocalName = sj(dl.BtnEditDownloadDirectLocalFilename->text());
    o.WebFileOnly = c_.rep.CheckBoxIndividualWebFileOnly->isChecked();
    o.CharMode = std::max(0, dl.RadioGroupIndividual->itemIndex());
    o.UrlAdjust = std::max(0, dl.RadioGroupRemoveUrlRootIndividual->itemIndex());
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    c_.rep.btnDownLoadSaveFile->setEnabled(false);
    job_.start<IndividualOutcome>([Url, o] { return DownLoadAnsSaveFile(Url, o); },
                                  [this, Url](const IndividualOutcome &r) {
                                      QGuiApplication::restoreOverrideCursor();
                                      c_.rep.btnDownLoadSaveFile->setEnabled(true);
                                      showOutcome(Url, r);
                                      if (!r.Msg.empty()) ctx_.message(qs(r.Msg));
                                      if (c_.rep.CheckBoxIndividualOpenAfterDownload->isChecked())
                                          ctx_.ieOpenLocalFile();
                                      emit fetchFinished();
                                  });
}

void IndividualDownloadPage::showOutcome(const std::string &Url, const IndividualOutcome &o)
{
    auto &dl = c_.dl;
    AppState &st = state();
    TWebbrowser *view = dl.WebBrowserIndividualDownloadImage;
    switch (o.What) {
    case IndividualOutcome::NotAFile:
        dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("●　") + qs(Url));
        return;
    case IndividualOutcome::NoFolder: {
        ctx_.folderNotExists(std::string(), "%2", 1);
        return;
    }
    case IndividualOutcome::Saved: break;
    default:
        dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("●【　") + qs(Url) + QStringLiteral(" 】"));
        dl.LabelDownloadDirectLocalFilename->setText(QStringLiteral("●【　") + qs(o.Local) + QStringLiteral(" 】"));
        ctx_.StatusBar1->setPanelText(3, QStringLiteral("　【 ") + qs(o.Local) + QStringLiteral(" 】"));
        return;
    }
    dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("○【") + qs(Url) + QStringLiteral(" 】"));
    dl.LabelDownloadDirectLocalFilename->setText(QStringLiteral("○【") + qs(o.Local) + QStringLiteral(" 】"));
    ctx_.StatusBar1->setPanelText(3, QStringLiteral("　【 ") + qs(o.Local) + QStringLiteral(" 】"));
    if (o.Text) {
        st.GDirectText = LoadTextFile(o.Local);
        GetHTMLPageControlMainBodyDowloadLeftChange();
        dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS->addItem(qs(Url + "\t" + sj(QStringLiteral("○")) + o.Local));
        if (!o.Shown.empty()) c_.rep.RichEditHTMLSrc01->setText(o.Shown);
        view->Navigate(fileUrl(o.Local));
    } else {
        st.GDirectText.clear();
        const std::string local = o.Local;
        QTimer::singleShot(500, view, [view, local] {
            if (FileExists(local)) view->Navigate(fileUrl(local));
        });
    }
}

void IndividualDownloadPage::GetHTMLPageControlMainBodyDowloadLeftChange()
{
    AppState &st = state();
    st.GDirectText = RewriteCharsetDeclsToSjis(st.GDirectText);
}

void IndividualDownloadPage::btnRichEditHTMLSrc01SsaveClick()
{
    auto &dl = c_.dl;
    c_.rep.RichEditHTMLSrc01->clear();
    dl.LabelDownloadDirectWebFilename->clear();
    dl.LabelDownloadDirectLocalFilename->clear();
    const std::string Url = Trim(sj(dl.ComboBoxURLDirect->currentText()));
    if (!IsHttpUrl(Url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("●　") + qs(Url));
        return;
    }
    const int mode = std::max(0, dl.RadioGroupIndividual->itemIndex());
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    job_.start<FetchedText>([Url, mode] { return FetchConvertedText(Url, mode); },
                            [this, Url](const FetchedText &t) {
                                auto &dl = c_.dl;
                                QGuiApplication::restoreOverrideCursor();
                                if (!t.Ok) {
                                    ctx_.message(QString::fromUtf8(kNotObtained));
                                    dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("●　") + qs(Url));
                                } else {
                                    c_.rep.RichEditHTMLSrc01->setText(t.Text);
                                    state().GDirectText = t.Text;
                                    dl.LabelDownloadDirectWebFilename->setText(QStringLiteral("○【") + qs(Url) +
                                                                               QStringLiteral(" 】"));
                                }
                                emit fetchFinished();
                            });
}

void IndividualDownloadPage::btnDownloadDirectClick()
{
    const std::string Url = Trim(sj(c_.dl.ComboBoxURLDirect->currentText()));
    if (!IsHttpUrl(Url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    job_.start<FetchedText>([Url] { return FetchRawText(Url); }, [this](const FetchedText &t) {
        QGuiApplication::restoreOverrideCursor();
        if (!t.Ok) ctx_.message(QString::fromUtf8(kNotObtained));
        else c_.rep.RichEditHTMLSrc01->setText(t.Text);
        emit fetchFinished();
    });
}

void IndividualDownloadPage::btnSaveIndividualTextClick()
{
    auto &dl = c_.dl;
    dl.LabelDownloadDirectLocalFilename->clear();
    const std::string Url = Trim(sj(dl.ComboBoxURLDirect->currentText()));
    if (Url.find("http://") == std::string::npos && Url.find("https://") == std::string::npos) return;
    if (HostEndSlashPos(Url) == 0) return;
    const std::string folder = absoluteFolder(sj(dl.BtnEditDownloadDirectFolder->text()));
    if (folder.empty()) {
        ctx_.folderNotExists(std::string(), "%2", 55);
        return;
    }
    // The same path rules as the download: percent-escapes decoded, nothing outside the folder.
    const std::string Local = IndividualLocalPath(Url, folder, std::string(), false);
    if (Local.empty()) {
        ctx_.message(QStringLiteral("保存先が保存ﾌｫﾙﾀﾞｰの外になるため、保存できません"));
        return;
    }
    dl.BtnEditDownloadDirectLocalFilename->setText(qs(Local));
    SaveTree tree(folder);
    const SaveResult r = tree.Write(Local, c_.rep.RichEditHTMLSrc01->text(), Url);
    tree.SaveManifest();
    if (r.ok()) dl.LabelDownloadDirectLocalFilename->setText(QStringLiteral("○【") + qs(Local) + QStringLiteral(" 】"));
    else if (r.Status != SaveStatus::EmptyText)
        ctx_.message(QStringLiteral("ﾌｧｲﾙを保存できません   【 ") + qs(Local) + QStringLiteral(" 】"));
}

void IndividualDownloadPage::btnGetCSSListFromIndividualFileClick()
{
    const std::string Url = sj(c_.dl.ComboBoxURLDirect->currentText());
    if (Url.find("http://") != std::string::npos || Url.find("https://") != std::string::npos)
        GetCSSListFromText(Url, c_.rep.RichEditHTMLSrc01->text());
}

int IndividualDownloadPage::GetCSSListFromText(const std::string &Url, const std::string &CssText)
{
    auto &dl = c_.dl;
    AppState &st = state();
    std::vector<std::string> urls;
    if (ListImportedSheets(Url, CssText, urls) < 0) return -1;
    StringList &cssUrls = st.list(SharedList::GCssUrlList);
    StringList &lines = st.list(SharedList::GCssTextLines);
    cssUrls.clear();
    lines.clear();
    st.list(SharedList::GWorkList).clear();
    st.list(SharedList::GWorkList).add(CssText);
    for (const std::string &u : urls) {
        lines.add(u);
        cssUrls.add(u);
    }
    for (QListWidget *box : {static_cast<QListWidget *>(dl.ListBoxPageControlDownloadRightTab02CSSWebFilename),
                             static_cast<QListWidget *>(dl.ListBoxPageControlMainBodyTab09CantObtainedRightTab03CSSWebfile)}) {
        box->clear();
        for (int i = 0; i < cssUrls.count(); ++i) box->addItem(qs(cssUrls[i]));
    }
    QListWidget *names = dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile;
    names->clear();
    for (int i = 0; i < cssUrls.count(); ++i) names->addItem(qs(UrlToLocalFileName(cssUrls[i])));
    return 0;
}

void IndividualDownloadPage::btnDownloadDirectPasteClick()
{
    const std::string t = Trim(sj(QGuiApplication::clipboard()->text()));
    if (t.rfind("http://", 0) != 0 && t.rfind("https://", 0) != 0) return;
    c_.dl.ComboBoxURLDirect->setEditText(qs(t));
    c_.rep.LabelWebAbsoluteUrl->setText(qs(ParentRefUrlToLocalPath(t)));
}

void IndividualDownloadPage::btnDownloadDirectSConcactePasteClick()
{
    c_.dl.ComboBoxURLDirect->setEditText(c_.dl.ComboBoxURLDirect->currentText() + QGuiApplication::clipboard()->text());
    btnDownLoadSaveFileClick();
}

void IndividualDownloadPage::btnDirectUrl2UrlClick() { c_.dl.ComboBoxUrl->setEditText(c_.dl.ComboBoxURLDirect->currentText()); }

void IndividualDownloadPage::btnDownLoadDirectFolderClick() { pickFolderInto(c_.dl.BtnEditDownloadDirectFolder); }

void IndividualDownloadPage::BtnEditDownloadDirectFolderButtonClick()
{
    const QString name = QFileDialog::getSaveFileName(ctx_.window, QString(), c_.dl.BtnEditDownloadDirectFolder->text() +
                                                                          QStringLiteral("dummy.html"));
    if (name.isEmpty()) return;
    c_.dl.BtnEditDownloadDirectFolder->setText(QFileInfo(name).absolutePath().trimmed() + QLatin1Char('/'));
}

void IndividualDownloadPage::btnLoadLocalFileClick()
{
    const std::string Url = sj(c_.dl.ComboBoxURLDirect->currentText());
    const QString name = QFileDialog::getSaveFileName(ctx_.window, QString(), qs(UrlToLocalFileName(Url)));
    const std::string text = c_.rep.RichEditHTMLSrc01->text();
    if (name.isEmpty() || text.empty()) return;
    if (!SaveTextFile(text, sj(name)).ok())
        ctx_.message(QStringLiteral("ﾌｧｲﾙを保存できません   【 ") + name + QStringLiteral(" 】"));
}

void IndividualDownloadPage::btnBrowseIndivudialClick()
{
    const std::string Url = sj(c_.dl.ComboBoxURLDirect->currentText());
    if (Url.find("http://") != std::string::npos) ctx_.openInDesktopBrowser(Url);
}

void IndividualDownloadPage::btnDirectDownloadRichClearClick()
{
    c_.dl.WebBrowserIndividualDownloadImage->Navigate(QStringLiteral("about:blank"));
}

void IndividualDownloadPage::BtnRichCOPY2ClipboardClick()
{
    if (!state().GDirectText.empty()) QGuiApplication::clipboard()->setText(qs(state().GDirectText));
}

void IndividualDownloadPage::btnListBoxDownloadCanNotCSSFileClick()
{
    const QString t = QGuiApplication::clipboard()->text();
    if (!t.isEmpty()) c_.rep.ListBoxDownloadCanNotCSSFile->addItem(t);
}

// --- " ＣＳＳﾌｧｲﾙ一覧 " -------------------------------------------------------------------

void IndividualDownloadPage::EditWebFileKeyDown()
{
    auto &dl = c_.dl;
    const std::string folder = absoluteFolder(sj(dl.BtnEditHTMLPageSaveFolder->text()));
    const std::string Url = Trim(sj(dl.EditWebFile->text()));
    if (folder.empty() || Url.size() < 7) return;
    if (HostEndSlashPos(Url) > 0) {
        const std::string Local = IndividualLocalPath(Url, folder, std::string(), false);
        if (Local.empty()) {
            ctx_.message(QStringLiteral("保存先が保存ﾌｫﾙﾀﾞｰの外になるため、保存できません"));
            return;
        }
        dl.BtnEditWebSaveLocalFile->setText(qs(Local));
    }
    if (!dl.EditWebFile->text().isEmpty() && !dl.BtnEditWebSaveLocalFile->text().isEmpty())
        btnDownloadIndividualWebFileClick();
}

void IndividualDownloadPage::btnDownloadIndividualWebFileClick()
{
    auto &dl = c_.dl;
    if (dl.EditWebFile->text().isEmpty()) return;
    dl.ComboBoxURLDirect->setEditText(dl.EditWebFile->text());
    ctx_.frame.PageControlMainBody->setCurrentWidget(ctx_.frame.PageControlMainBodyTab05DownloadText);
}

void IndividualDownloadPage::ListBoxPageControlMainBodyTab04GetwebFileListCSSClick()
{
    auto &dl = c_.dl;
    const std::string line = ListBoxSelected(dl.ListBoxPageControlMainBodyTab04GetwebFileListCSS);
    if (line.empty()) return;
    dl.PageControlMainBodyTab04GetwebFileListRight->setCurrentWidget(dl.PageControlMainBodyTab04GetwebFileListRightTab01CSSText);
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return;
    dl.EditWebFile->setText(qs(line.substr(0, tab)));
    const std::string path = StripOutcomeMarks(line.substr(tab + 1));
    if (IsImagePath(path) || !IsCssOrJsPath(path) || !FileExists(path)) return;
    const ConvertedView v = ConvertObtainedFileInPlace(path);
    if (!v.Ok) {
        ctx_.message(qs(v.Error));
        return;
    }
    c_.rep.MemoPageControlMainBodyTab04GetwebFileListRightTab01CSSText->setPlainText(qs(LoadTextFile(path)));
}

void IndividualDownloadPage::btnWebOneFilePasteClick() { c_.dl.EditWebFile->setText(QGuiApplication::clipboard()->text()); }

void IndividualDownloadPage::BtnEditWebSaveLocalFileButtonClick() { pickFolderInto(c_.dl.BtnEditWebSaveLocalFile); }

void IndividualDownloadPage::btnWebSaveFoldederClick() { pickFolderInto(c_.dl.BtnEditWebSaveLocalFileFolder); }
