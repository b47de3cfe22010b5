#include "download/pages/BrowserDocPage.h"
#include "download/BrowserDoc.h"
#include "download/CssTools.h"
#include "htmledit/TProfDHTMLEdit2.h"
#include "mainwindow/BrowserWindows.h"
#include "mainwindow/FormHelpers.h"
#include "mainwindow/SmallForms.h"
#include "mainwindow/TAMainForm.h"
#include "platform/ComboDropDown.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/FileUtils.h"
#include "text/StrUtils.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";
// A navigation's copy waits this long for the pane's own load at most.
constexpr int kNavigateWaitMs = 60000;

std::string sj(const QString &s) { return toSjis(s); }

// A script of the program's own world on a pane's loaded document. The first script of that
// world on a fresh document can come back with no value at all; it is asked once more.
QVariant evalApp(TWebbrowser *Pane, const QString &Script)
{
    QVariant v = Pane->evalSync(Script, 3000, QWebEngineScript::ApplicationWorld);
    if (!v.isValid() && Pane->hasDocument()) v = Pane->evalSync(Script, 3000, QWebEngineScript::ApplicationWorld);
    return v;
}

bool fileThere(const std::string &p) { return !p.empty() && QFileInfo(fromSjis(p)).isFile(); }

std::string dialogPath(const QString &chosen)
{
    if (chosen.isEmpty()) return {};
    const std::string s = toSjis(chosen);
    return fromSjis(s) == chosen ? s : std::string();
}

} // namespace

BrowserDocDialogs BrowserDocDialogs::system()
{
    BrowserDocDialogs d;
    d.saveHtml = [](QWidget *parent, const std::string &name) {
        return dialogPath(QFileDialog::getSaveFileName(parent, QString(), fromSjis(name),
                                                       QStringLiteral("HTMLﾌｧｲﾙ (*.html *.htm);;すべてのﾌｧｲﾙ (*)")));
    };
    d.saveTxt = [](QWidget *parent, const std::string &name) {
        return dialogPath(QFileDialog::getSaveFileName(parent, QString(), fromSjis(name),
                                                       QStringLiteral("ﾃｷｽﾄ・ﾌｧｲﾙ（ *.txt ）(*.txt)")));
    };
    d.openHtml = [](QWidget *parent, const std::string &folder) {
        return dialogPath(QFileDialog::getOpenFileName(parent, QString(), fromSjis(folder),
                                                       QStringLiteral("HTMLﾌｧｲﾙ (*.html *.htm);;すべてのﾌｧｲﾙ (*)")));
    };
    return d;
}

std::vector<std::string> PaneImageAddresses(TWebbrowser *Pane)
{
    if (!Pane || Pane->Busy() || !Pane->hasDocument()) return {};
    const QVariant v = evalApp(Pane, QStringLiteral("Array.from(document.images, function (i) { return i.src; })"));
    std::vector<std::string> out;
    for (const QVariant &s : v.toList())
        if (!s.toString().isEmpty()) out.push_back(sj(s.toString()));
    return out;
}

BrowserDocPage::BrowserDocPage(TAMainForm &form) : QObject(&form), f_(form)
{
    auto &dl = f_.dl;
    auto &d = f_.doc;
    layoutPage();
    connect(d.btnNavigate, &QPushButton::clicked, this, [this] { btnNavigateClick(); });
    connect(d.btnGetDocumentSrc, &QPushButton::clicked, this, [this] { btnGetDocumentSrcClick(); });
    connect(d.btnSaveDocumentSrc, &QPushButton::clicked, this, [this] { btnSaveDocumentSrcClick(); });
    connect(d.btnMakeMainDownloadColor, &QPushButton::clicked, this, [this] { btnMakeMainDownloadColorClick(); });
    connect(d.btnMakeMainDownloadBlack, &QPushButton::clicked, this, [this] { btnMakeMainDownloadBlackClick(); });
    connect(d.btnRichEditMainWordWrap, &QPushButton::clicked, this, [this] { btnRichEditMainWordWrapClick(); });
    connect(d.BtnBrowseSideNavigate, &QPushButton::clicked, this, [this] { BtnBrowseSideNavigateClick(); });
    connect(d.btnDirectDownloadPaste, &QPushButton::clicked, this, [this] { btnDirectDownloadPasteClick(); });
    connect(d.btnDirectDownloadCOPY, &QPushButton::clicked, this, [this] { btnDirectDownloadCOPYClick(); });
    connect(d.btnLoadTemEditorSource, &QPushButton::clicked, this, [this] { btnLoadTemEditorSourceClick(); });
    connect(d.btnDirectDownloadFromWeb, &QPushButton::clicked, this, [this] { btnDirectDownloadFromWebClick(); });
    connect(d.btnWebBrowserMainCOPY, &QPushButton::clicked, this, [this] { btnWebBrowserMainCOPYClick(); });
    connect(d.btnGetBrowserImage, &QPushButton::clicked, this, [this] { btnGetBrowserImageClick(); });
    connect(d.btnPutBrowserImage, &QPushButton::clicked, this, [this] { btnPutBrowserImageClick(); });
    connect(d.btnOpenIE, &QPushButton::clicked, this, [this] { btnOpenIEClick(); });
    connect(d.btnIEOpenLocalFile, &QPushButton::clicked, this, [this] { btnIEOpenLocalFileClick(); });
    connect(d.btnOpenIEWithFilename, &QPushButton::clicked, this, [this] { btnOpenIEWithFilenameClick(); });
    connect(d.btnOpenIwithFrameset, &QPushButton::clicked, this, [this] { btnOpenIwithFramesetClick(); });
    connect(d.BtnIEBatchClose, &QPushButton::clicked, this, [this] { BtnIEBatchCloseClick(); });
    connect(dl.WebBrowserMain, &TWebbrowser::DownloadComplete, this, [this] { WebBrowserMainDownloadComplete(); });
    connect(dl.PageControlMainBodyRight, &QTabWidget::currentChanged, this, [this] { PageControlMainBodyRightChange(); });
    // The URL boxes react to what the user types or picks, never to text the program sets.
    connect(dl.ComboBoxDirectUrl, &QComboBox::textActivated, this, [this] { ComboBoxDirectUrlChange(); });
    // A typed URL is shown once the user confirms it (Enter or a pick from the list), not
    // while it is being typed: nothing the user did not ask to see is fetched.
    dl.ComboBoxUrl->setEditable(true);
    auto confirmed = [this] {
        auto &dl = f_.dl;
        const QString t = dl.ComboBoxUrl->currentText();
        // Enter may also count as a pick from the list: one navigation for one confirmation.
        if (t == confirmedUrl_ && dl.WebBrowserMain->Busy()) return;
        confirmedUrl_ = t;
        dl.ComboBoxDirectUrl->setEditText(t);
        BtnBrowseSideNavigateClick();
    };
    connect(dl.ComboBoxUrl->lineEdit(), &QLineEdit::returnPressed, this, confirmed);
    connect(dl.ComboBoxUrl, &QComboBox::textActivated, this, confirmed);
    KeepDroppedWidthFitted(dl.ComboBoxUrl);
    KeepDroppedWidthFitted(f_.gui.ComboBoxGUIEditorURL);
}

void BrowserDocPage::layoutPage()
{
    auto &dl = f_.dl;
    auto &d = f_.doc;
    const int src = dl.PageControlMainBodyRight->indexOf(dl.PageControlmainBodyRightTab01HTMLSrc);
    dl.PageControlMainBodyRight->setTabText(src, QStringLiteral(" HTMLｿｰｽ "));
    const int direct = dl.PageControlMainBodyRight->indexOf(dl.PageControlmainBodyRightTab02Download);
    dl.PageControlMainBodyRight->setTabText(direct, QStringLiteral("　直接HTML "));
    dl.PageControlMainBodyRight->setTabVisible(direct, false);
    dl.PageControlMainBodyRight->setTabVisible(dl.PageControlMainBodyRight->indexOf(d.PageControlmainBodyRightTab04Text),
                                               false);
    for (QWidget *w : {static_cast<QWidget *>(d.btnDirectDownloadFromWeb), static_cast<QWidget *>(d.btnWebBrowserMainCOPY),
                       static_cast<QWidget *>(d.btnGetBrowserImage), static_cast<QWidget *>(d.btnPutBrowserImage),
                       static_cast<QWidget *>(d.btnBrowseTop)})
        w->hide();
    dl.ComboBoxDirectUrl->setEditable(true);
    dl.ComboBoxDirectUrl->setMinimumWidth(420);
    d.SplitterMainBodyMain->setOrientation(Qt::Horizontal);
    d.SplitterMainBodyMain->setChildrenCollapsible(false);
    d.SplitterMainBodyMain->setStretchFactor(0, 1);
    d.SplitterMainBodyMain->setStretchFactor(1, 1);
    d.SplitterMainBodyMain->setSizes({600, 800});
    dl.RichEditpageHTML->setLineWrapMode(f_.state().GMainWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);

    // The browser buttons stand right under the download's own controls.
    auto *browse = d.PanelDownloadBrowse;
    auto *row = qobject_cast<QBoxLayout *>(browse->layout());
    if (row) row->setDirection(QBoxLayout::LeftToRight);
    browse->setMaximumHeight(40);
    QWidget *top = dl.btnDownloadAll->parentWidget();
    QWidget *holder = top ? top->parentWidget() : nullptr;
    if (auto *box = qobject_cast<QBoxLayout *>(holder ? holder->layout() : nullptr); box && box->indexOf(top) >= 0) {
        box->removeWidget(browse);
        browse->setParent(holder);
        box->insertWidget(box->indexOf(top) + 1, browse);
        browse->show();
    }
}

std::string BrowserDocPage::paneHtml(TWebbrowser *Pane) const
{
    if (!Pane || !Pane->hasDocument()) return {};
    const QVariant v = evalApp(Pane, QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"));
    return sj(v.toString());
}

void BrowserDocPage::navigateMain(const QString &Url)
{
    // Only the pane loads the page: the hidden editor reads it when its source is asked for,
    // so a download started next is not kept waiting on a second load of the same page.
    f_.dl.WebBrowserMain->Navigate(Url);
}

void BrowserDocPage::GetBrowserImage(QStringList &Items)
{
    Items.clear();
    for (const std::string &s : PaneImageAddresses(f_.dl.WebBrowserMain)) Items << fromSjis(s);
}

void BrowserDocPage::btnNavigateClick()
{
    auto &dl = f_.dl;
    const QString url = dl.ComboBoxUrl->currentText();
    dl.RichEditpageHTML->clear();
    if (!url.contains(QStringLiteral("http://")) && !url.contains(QStringLiteral("https://"))) return;
    // The copy is made from the pane's own document once its load has ended, not from the
    // page it is leaving; a later navigation supersedes this one.
    const unsigned serial = ++navigateSerial_;
    auto conn = std::make_shared<QMetaObject::Connection>();
    auto give = std::make_shared<QTimer>();
    give->setSingleShot(true);
    *conn = connect(dl.WebBrowserMain, &TWebbrowser::DownloadComplete, this, [this, conn, give, serial] {
        disconnect(*conn);
        give->stop();
        if (serial != navigateSerial_) return;
        const std::string html = paneHtml(f_.dl.WebBrowserMain);
        if (html.empty()) return;
        QGuiApplication::clipboard()->setText(fromSjis(DocHtmlForView(html, DocView::NavigateCopy)));
        emit navigateCopied();
    });
    connect(give.get(), &QTimer::timeout, this, [conn] { QObject::disconnect(*conn); });
    give->start(kNavigateWaitMs);
    navigateMain(url);
}

void BrowserDocPage::btnGetDocumentSrcClick()
{
    auto &dl = f_.dl;
    dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab01HTMLSrc);
    TWebbrowser *target = f_.FCurrentTargetBrowser ? f_.FCurrentTargetBrowser : f_.net.TargetBrowser;
    const std::string html = paneHtml(target);
    if (html.empty()) return;
    dl.RichEditpageHTML->setText(DocHtmlForView(html, DocView::TargetSource));
    ColorHTMLRichEdit(dl.RichEditpageHTML);
}

void BrowserDocPage::WebBrowserMainDownloadComplete()
{
    auto &dl = f_.dl;
    if (!f_.state().GFormShown) return;
    if (dl.WebBrowserMain->LocationURL() == QLatin1String("about:blank")) return;
    const std::string html = paneHtml(dl.WebBrowserMain);
    if (html.empty()) return;
    const std::string view = DocHtmlForView(html, DocView::MainComplete);
    if (dl.RichEditpageHTML->text() == view) return;
    dl.RichEditpageHTML->setText(view);
    ColorHTMLRichEdit(dl.RichEditpageHTML);
}

void BrowserDocPage::PageControlMainBodyRightChange()
{
    auto &dl = f_.dl;
    if (dl.PageControlMainBodyRight->currentWidget() != f_.doc.PageControlmainBodyRightTab03MemoText) return;
    const std::string url = Trim(sj(dl.ComboBoxUrl->currentText()));
    QPointer<QPlainTextEdit> memo = dl.MemoDownloadText;
    job_.start<std::string>([url] { return RawSheetText(url); },
                            [this, memo](const std::string &text) {
                                if (memo) memo->setPlainText(fromSjis(text));
                                emit fetchDone();
                            });
}

void BrowserDocPage::btnSaveDocumentSrcClick()
{
    auto &dl = f_.dl;
    const std::string text = dl.RichEditpageHTML->text();
    if (text.empty()) return;
    const std::string chosen = dialogs.saveHtml(&f_, "");
    if (chosen.empty()) return;
    if (!WriteWholeFile(ChangeFileExtension(chosen, ".html"), text))
        ShowMessageBox(&f_, QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(chosen) + QStringLiteral(" 】"));
}

void BrowserDocPage::btnMakeMainDownloadColorClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ColorHTMLRichEdit(f_.dl.RichEditpageHTML);
    QApplication::restoreOverrideCursor();
}

void BrowserDocPage::btnMakeMainDownloadBlackClick()
{
    if (!f_.dl.RichEditpageHTML->text().empty()) PlainRichEdit(f_.dl.RichEditpageHTML);
}

void BrowserDocPage::btnRichEditMainWordWrapClick()
{
    AppState &st = f_.state();
    st.GMainWordWrap = !st.GMainWordWrap;
    const auto mode = st.GMainWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
    f_.dl.RichEditpageHTML->setLineWrapMode(mode);
    f_.dl.RichEditDownload->setLineWrapMode(mode);
}

void BrowserDocPage::BtnBrowseSideNavigateClick()
{
    const std::string url = Trim(sj(f_.dl.ComboBoxDirectUrl->currentText()));
    if (url.find("http://") == std::string::npos && url.find("https://") == std::string::npos) return;
    if (LowerCase(url).find(".pdf") != std::string::npos) return;
    navigateMain(fromSjis(url));
}

void BrowserDocPage::ComboBoxDirectUrlChange()
{
    auto &dl = f_.dl;
    const QString t = dl.ComboBoxDirectUrl->currentText().trimmed();
    if (t.isEmpty()) return;
    dl.WebBrowserMain->Navigate(t);
    dl.ComboBoxUrl->addItem(t);
}

void BrowserDocPage::btnDirectDownloadPasteClick()
{
    auto &dl = f_.dl;
    const QString t = QGuiApplication::clipboard()->text().trimmed();
    if (t.isEmpty()) return;
    dl.ComboBoxDirectUrl->setEditText(t);
    ComboBoxDirectUrlChange();
    dl.ComboBoxUrl->setEditText(t);
}

void BrowserDocPage::btnDirectDownloadCOPYClick()
{
    QGuiApplication::clipboard()->setText(f_.dl.ComboBoxDirectUrl->currentText());
}

void BrowserDocPage::btnLoadTemEditorSourceClick()
{
    TProfDHTMLEdit2 *ed = f_.state().GTempEditor;
    if (!ed) return;
    // The editor loads the pane's page now that its source is asked for.
    const QString url = f_.dl.WebBrowserMain->LocationURL();
    if (url.startsWith(QStringLiteral("http://")) || url.startsWith(QStringLiteral("https://"))) ed->LoadURL(url);
    f_.dl.RichEditDownload->setWideText(ed->GetSource());
}

void BrowserDocPage::btnDirectDownloadFromWebClick()
{
    auto &dl = f_.dl;
    dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab02Download);
    dl.RichEditDownload->clear();
    dl.MemoDownloadText->clear();
    const std::string url = Trim(sj(dl.ComboBoxDirectUrl->currentText()));
    if (!IsHttpUrl(url)) {
        ShowMessageBox(&f_, QString::fromUtf8(kBadUrlMsg));
        return;
    }
    job_.start<DirectFetch>([url] { return DirectDownloadFromWeb(url); },
                            [this](const DirectFetch &d) {
                                if (d.Ok) f_.dl.RichEditDownload->setText(d.Text);
                                f_.dl.LabelWebPage->setText(fromSjis(d.Label));
                                emit fetchDone();
                            });
}

void BrowserDocPage::btnWebBrowserMainCOPYClick()
{
    auto &dl = f_.dl;
    QWidget *page = dl.PageControlMainBodyRight->currentWidget();
    std::string text;
    if (page == dl.PageControlmainBodyRightTab02Download)
        text = dl.RichEditDownload->text();
    else if (page == f_.doc.PageControlmainBodyRightTab03MemoText)
        text = sj(dl.MemoDownloadText->toPlainText());
    else
        text = dl.RichEditpageHTML->text();
    QGuiApplication::clipboard()->setText(fromSjis(UTFEUC2ShiftJIS(text)));
}

void BrowserDocPage::btnGetBrowserImageClick()
{
    QStringList items;
    GetBrowserImage(items);
    f_.rep.ListBoxWebBrowserMainImage->clear();
    f_.rep.ListBoxWebBrowserMainImage->addItems(items);
}

void BrowserDocPage::btnPutBrowserImageClick()
{
    QListWidget *l = f_.doc.ListBoxGetBrowserImage;
    if (l->count() == 0) return;
    const std::string chosen = dialogs.saveTxt(&f_, "画像一覧.txt");
    if (chosen.empty()) return;
    std::string text;
    for (int i = 0; i < l->count(); ++i) text += sj(l->item(i)->text()) + "\r\n";
    if (!WriteWholeFile(chosen, text))
        ShowMessageBox(&f_, QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(chosen) + QStringLiteral(" 】"));
}

void BrowserDocPage::btnOpenIEClick()
{
    auto &dl = f_.dl;
    dl.btnDownloadStop->setEnabled(true);
    const std::string url = sj(dl.ComboBoxUrl->currentText());
    if (url.rfind("https://", 0) == 0 || url.find("http://") != std::string::npos) OpenUrlInBrowser(Trim(url));
}

void BrowserDocPage::btnIEOpenLocalFileClick()
{
    f_.dl.btnDownloadStop->setEnabled(true);
    const std::string file = f_.state().GGlobalFile;
    if (fileThere(file)) OpenUrlInBrowser(file);
}

void BrowserDocPage::btnOpenIEWithFilenameClick()
{
    f_.dl.btnDownloadStop->setEnabled(true);
    const std::string chosen = dialogs.openHtml(&f_, sj(f_.dl.BtnEditHTMLPageSaveFolder->text()));
    if (!chosen.empty()) OpenUrlInBrowser(chosen);
}

void BrowserDocPage::btnOpenIwithFramesetClick()
{
    const std::string file = f_.state().GFrameSetPage;
    if (!fileThere(file)) return;
    OpenUrlInBrowser(file);
    // The program's one source viewer, made the first time any road asks for it.
    TFormSource *src = f_.findChild<TFormSource *>(QString(), Qt::FindDirectChildrenOnly);
    if (!src) src = new TFormSource(&f_);
    src->RichEditSource->setText(LoadTextFile(file));
    src->show();
    src->raise();
}

void BrowserDocPage::BtnIEBatchCloseClick()
{
    // Only the program's own windows are closed; other programs' windows are never touched.
    CloseIEWindows(ReadIEValue(QStringLiteral("Version")));
}
