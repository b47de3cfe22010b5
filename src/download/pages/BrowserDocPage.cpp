#include "download/pages/BrowserDocPage.h"
#include "state/AppState.h"
#include "download/BrowserDoc.h"
#include "download/CssTools.h"
#include "platform/ComboDropDown.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
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

BrowserDocPage::BrowserDocPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx))
{
    auto &dl = c_.dl;
    auto &d = c_.doc;
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
        auto &dl = c_.dl;
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
    KeepDroppedWidthFitted(ctx_.gui.ComboBoxGUIEditorURL);
}

void BrowserDocPage::layoutPage()
{
    auto &dl = c_.dl;
    auto &d = c_.doc;
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
    dl.RichEditpageHTML->setLineWrapMode(state().GMainWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);

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
    c_.dl.WebBrowserMain->Navigate(Url);
}

void BrowserDocPage::GetBrowserImage(QStringList &Items)
{
    Items.clear();
    for (const std::string &s : PaneImageAddresses(c_.dl.WebBrowserMain)) Items << fromSjis(s);
}

void BrowserDocPage::btnNavigateClick()
{
    auto &dl = c_.dl;
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
        const std::string html = paneHtml(c_.dl.WebBrowserMain);
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
    auto &dl = c_.dl;
    dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab01HTMLSrc);
    TWebbrowser *target = ctx_.targetBrowser();
    const std::string html = paneHtml(target);
    if (html.empty()) return;
    dl.RichEditpageHTML->setText(DocHtmlForView(html, DocView::TargetSource));
    ColorHTMLRichEdit(dl.RichEditpageHTML);
}

void BrowserDocPage::WebBrowserMainDownloadComplete()
{
    auto &dl = c_.dl;
    if (!state().GFormShown) return;
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
    auto &dl = c_.dl;
    if (dl.PageControlMainBodyRight->currentWidget() != c_.doc.PageControlmainBodyRightTab03MemoText) return;
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
    auto &dl = c_.dl;
    const std::string text = dl.RichEditpageHTML->text();
    if (text.empty()) return;
    const std::string chosen = dialogs.saveHtml(ctx_.window, "");
    if (chosen.empty()) return;
    if (!WriteWholeFile(ChangeFileExtension(chosen, ".html"), text))
        ctx_.message(QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(chosen) + QStringLiteral(" 】"));
}

void BrowserDocPage::btnMakeMainDownloadColorClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ColorHTMLRichEdit(c_.dl.RichEditpageHTML);
    QApplication::restoreOverrideCursor();
}

void BrowserDocPage::btnMakeMainDownloadBlackClick()
{
    if (!c_.dl.RichEditpageHTML->text().empty()) PlainRichEdit(c_.dl.RichEditpageHTML);
}

void BrowserDocPage::btnRichEditMainWordWrapClick()
{
    AppState &st = state();
    st.GMainWordWrap = !st.GMainWordWrap;
    const auto mode = st.GMainWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
    c_.dl.RichEditpageHTML->setLineWrapMode(mode);
    c_.dl.RichEditDownload->setLineWrapMode(mode);
}

void BrowserDocPage::BtnBrowseSideNavigateClick()
{
    const std::string url = Trim(sj(c_.dl.ComboBoxDirectUrl->currentText()));
    if (url.find("http://") == std::string::npos && url.find("https://") == std::string::npos) return;
    if (LowerCase(url).find(".pdf") != std::string::npos) return;
    navigateMain(fromSjis(url));
}

void BrowserDocPage::ComboBoxDirectUrlChange()
{
    auto &dl = c_.dl;
    const QString t = dl.ComboBoxDirectUrl->currentText().trimmed();
    if (t.isEmpty()) return;
    dl.WebBrowserMain->Navigate(t);
    dl.ComboBoxUrl->addItem(t);
}

void BrowserDocPage::btnDirectDownloadPasteClick()
{
    auto &dl = c_.dl;
    const QString t = QGuiApplication::clipboard()->text().trimmed();
    if (t.isEmpty()) return;
    dl.ComboBoxDirectUrl->setEditText(t);
    ComboBoxDirectUrlChange();
    dl.ComboBoxUrl->setEditText(t);
}

void BrowserDocPage::btnDirectDownloadCOPYClick()
{
    QGuiApplication::clipboard()->setText(c_.dl.ComboBoxDirectUrl->currentText());
}

void BrowserDocPage::btnLoadTemEditorSourceClick()
{
    // The editor loads the pane's page now that its source is asked for.
    QString url = c_.dl.WebBrowserMain->LocationURL();
    if (!url.startsWith(QStringLiteral("http://")) && !url.startsWith(QStringLiteral("https://"))) url.clear();
    QString source;
    if (!ctx_.tempEditorSource || !ctx_.tempEditorSource(url, source)) return;
    c_.dl.RichEditDownload->setWideText(source);
}

void BrowserDocPage::btnDirectDownloadFromWebClick()
{
    auto &dl = c_.dl;
    dl.PageControlMainBodyRight->setCurrentWidget(dl.PageControlmainBodyRightTab02Download);
    dl.RichEditDownload->clear();
    dl.MemoDownloadText->clear();
    const std::string url = Trim(sj(dl.ComboBoxDirectUrl->currentText()));
    if (!IsHttpUrl(url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    job_.start<DirectFetch>([url] { return DirectDownloadFromWeb(url); },
                            [this](const DirectFetch &d) {
                                if (d.Ok) c_.dl.RichEditDownload->setText(d.Text);
                                c_.dl.LabelWebPage->setText(fromSjis(d.Label));
                                emit fetchDone();
                            });
}

void BrowserDocPage::btnWebBrowserMainCOPYClick()
{
    auto &dl = c_.dl;
    QWidget *page = dl.PageControlMainBodyRight->currentWidget();
    std::string text;
    if (page == dl.PageControlmainBodyRightTab02Download)
        text = dl.RichEditDownload->text();
    else if (page == c_.doc.PageControlmainBodyRightTab03MemoText)
        text = sj(dl.MemoDownloadText->toPlainText());
    else
        text = dl.RichEditpageHTML->text();
    QGuiApplication::clipboard()->setText(fromSjis(UTFEUC2ShiftJIS(text)));
}

void BrowserDocPage::btnGetBrowserImageClick()
{
    QStringList items;
    GetBrowserImage(items);
    c_.rep.ListBoxWebBrowserMainImage->clear();
    c_.rep.ListBoxWebBrowserMainImage->addItems(items);
}

void BrowserDocPage::btnPutBrowserImageClick()
{
    QListWidget *l = c_.doc.ListBoxGetBrowserImage;
    if (l->count() == 0) return;
    const std::string chosen = dialogs.saveTxt(ctx_.window, "画像一覧.txt");
    if (chosen.empty()) return;
    std::string text;
    for (int i = 0; i < l->count(); ++i) text += sj(l->item(i)->text()) + "\r\n";
    if (!WriteWholeFile(chosen, text))
        ctx_.message(QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(chosen) + QStringLiteral(" 】"));
}

void BrowserDocPage::btnOpenIEClick()
{
    auto &dl = c_.dl;
    dl.btnDownloadStop->setEnabled(true);
    const std::string url = sj(dl.ComboBoxUrl->currentText());
    if (url.rfind("https://", 0) == 0 || url.find("http://") != std::string::npos) OpenUrlInBrowser(Trim(url));
}

void BrowserDocPage::btnIEOpenLocalFileClick()
{
    c_.dl.btnDownloadStop->setEnabled(true);
    const std::string file = state().GGlobalFile;
    if (fileThere(file)) OpenUrlInBrowser(file);
}

void BrowserDocPage::btnOpenIEWithFilenameClick()
{
    c_.dl.btnDownloadStop->setEnabled(true);
    const std::string chosen = dialogs.openHtml(ctx_.window, sj(c_.dl.BtnEditHTMLPageSaveFolder->text()));
    if (!chosen.empty()) OpenUrlInBrowser(chosen);
}

void BrowserDocPage::btnOpenIwithFramesetClick()
{
    const std::string file = state().GFrameSetPage;
    if (!fileThere(file)) return;
    OpenUrlInBrowser(file);
    // The program's one source viewer, made the first time any road asks for it.
    ctx_.showFormSource(LoadTextFile(file));
}

void BrowserDocPage::BtnIEBatchCloseClick()
{
    // Only the program's own windows are closed; other programs' windows are never touched.
    ctx_.closeIE();
}
