#include "download/pages/DownloadAllPage.h"
#include "state/AppState.h"
#include "download/CssTools.h"
#include "download/DownloadEngine.h"
#include "download/pages/BrowserDocPage.h"
#include "download/pages/DownloadCssPage.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/Parsers.h"
#include "text/PathGuard.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>

namespace {

const char *kBadUrlMsg = "URLが指定されていないか、正しくありません（ 「 http://・・」となっていません）";
const char *kNoFolderMsg = "「保存」ﾌｫﾙﾀﾞｰが指定されていません";

std::string sj(const QString &s) { return toSjis(s); }
std::string J(const char *utf8) { return Utf8ToAnsi(utf8); }

std::string lowerAscii(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The extension of a name: from its last "." after the last "\", "/" or ":", "" when none.
std::string extOf(const std::string &name)
{
    const std::size_t sep = name.find_last_of("\\/:");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return name.substr(dot);
}

std::string fileNameOf(const std::string &path)
{
    const std::size_t s = path.find_last_of("\\/");
    return s == std::string::npos ? path : path.substr(s + 1);
}

// A wrapped address ("http://a/?u=http://b/x") is the inner one, found beyond position From.
std::string unwrapUrl(const std::string &Url, std::size_t After, std::size_t MinPos)
{
    const std::size_t p = Url.find("http://", After);
    return p != std::string::npos && p + 1 > MinPos ? Url.substr(p) : Url;
}

} // namespace

DownloadAllDialogs DownloadAllDialogs::system()
{
    DownloadAllDialogs d;
    d.openHtml = [](QWidget *parent, const std::string &folder, const std::string &name) {
        const QString start = QDir(fromSjis(folder)).filePath(fromSjis(name));
        const QString chosen = QFileDialog::getOpenFileName(
            parent, QString(), start, QStringLiteral("HTMLﾌｧｲﾙ (*.html *.htm);;すべてのﾌｧｲﾙ (*)"), nullptr,
            QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty()) return std::string();
        const std::string s = toSjis(chosen);
        return fromSjis(s) == chosen ? s : std::string();
    };
    d.ask = [](QWidget *parent, const QString &text, bool withCancel) {
        auto buttons = QMessageBox::Yes | QMessageBox::No;
        if (withCancel) buttons |= QMessageBox::Cancel;
        return int(QMessageBox::question(parent, QApplication::applicationName(), text, buttons));
    };
    d.saveHtml = [](QWidget *parent, const std::string &folder, const std::string &name) {
        const QString start = QDir(fromSjis(folder)).filePath(fromSjis(name));
        const QString chosen = QFileDialog::getSaveFileName(
            parent, QString(), start, QStringLiteral("HTMLﾌｧｲﾙ (*.html *.htm);;すべてのﾌｧｲﾙ (*)"));
        if (chosen.isEmpty()) return std::string();
        const std::string s = toSjis(chosen);
        return fromSjis(s) == chosen ? s : std::string();
    };
    return d;
}

DownloadAllPage::DownloadAllPage(DownloadPageControls c, DownloadPageContext ctx, QObject *parent)
    : QObject(parent), c_(c), ctx_(std::move(ctx)), css_(*ctx_.downloadCssPage)
{
    auto &dl = c_.dl;
    layoutPage();
    connect(dl.btnDownloadAll, &QPushButton::clicked, this, [this] { btnDownloadAllClick(); });
    connect(dl.btnHTMLPageSaveFolder, &QPushButton::clicked, this, [this] { css_.btnHTMLPageSaveFolderClick(); });
    connect(dl.btnSaveFolderClear, &QPushButton::clicked, this, [this] { btnSaveFolderClearClick(); });
    connect(dl.BtnEditLocalFilenameClar, &QPushButton::clicked, this, [this] { BtnEditLocalFilenameClarClick(); });
    connect(dl.btnPageHTMLDownload, &QPushButton::clicked, this, [this] { btnPageHTMLDownloadClick(); });
    connect(dl.btnDownAllPaste, &QPushButton::clicked, this, [this] { btnDownAllPasteClick(); });
    connect(dl.btnDownAllCOPY, &QPushButton::clicked, this, [this] { btnDownAllCOPYClick(); });
    connect(dl.ListBoxFrameSet, &QListWidget::itemClicked, this, [this] { ListBoxFrameSetClick(); });
    connect(dl.BtnEditHTMLPageSaveFolder, &QLineEdit::returnPressed, this, [this] { btnDownloadAllClick(); });
    connect(dl.BtnEditLocalFilename, &QLineEdit::returnPressed, this, [this] { BtnEditLocalFilenameKeyDown(); });
    connect(dl.BtnEditHTMLPageSaveFolder, &TBtnEdit::buttonClicked, this, [this] { BtnEditHTMLPageSaveFolderButtonClick(); });
    connect(dl.BtnEditLocalFilename, &TBtnEdit::buttonClicked, this, [this] { BtnEditLocalFilenameButtonClick(); });
    connect(dl.btnListBoxDownloaded2Clipboard, &QPushButton::clicked, this, [this] { btnListBoxDownloaded2ClipboardClick(); });
    // After the window's own handler of the change, which may have set the top area's height.
    connect(ctx_.frame.PageControlMainTop, &QTabWidget::currentChanged, this, [this] { keepRunControlsInSight(); },
            Qt::QueuedConnection);
    css_.onFolderChosen = [this] {
        if (c_.dl.CheckBoxGoImmediate->isChecked()) btnDownloadAllClick();
    };
}

bool DownloadAllPage::eventFilter(QObject *watched, QEvent *event) { return QObject::eventFilter(watched, event); }

void DownloadAllPage::layoutPage()
{
    auto &dl = c_.dl;
    auto &g = ctx_.gui;
    dl.CheckBoxDoNotEmptyFolder->setText(QStringLiteral(" ﾌｫﾙﾀﾞｰを「 空 」にしない"));
    dl.CheckBoxHtm->setText(QStringLiteral("htmlﾌｧｲﾙの拡張子をMSの” ．ｈｔｍ ”とする"));
    dl.CheckBoxSaveLocalFile->setText(QStringLiteral("保存する"));
    dl.CheckBoxDontChangePage->setText(QStringLiteral(" ﾄｯﾌﾟ・ﾊﾟﾈﾙの「 高さ 」と「 ﾍﾟｰｼ 」ﾞを変更しない "));
    dl.CheckBoxOpenIE->setText(QStringLiteral("IEで表示する"));
    dl.CheckBoxOpenIEWithWeb->setText(QStringLiteral("WebもIEで表示する"));
    dl.CheckBoxGoImmediate->setText(QStringLiteral("ﾌｫﾙﾀﾞｰ設定後、実行する"));
    auto radio = [](TRadioGroup *r, const QString &title, const QStringList &items) {
        if (r->itemCount() == 0) r->setItems(items);
        if (r->title().isEmpty()) r->setTitle(title);
        if (r->itemIndex() < 0) r->setItemIndex(0);
    };
    radio(g.RadioGroupHTMLNodePosition, QStringLiteral(" HTMLﾛｰｶﾙ・ﾌｧｲﾙのﾌｫﾙﾀﾞｰの位置  "),
          {QStringLiteral("何もしない"), QStringLiteral("絶対ﾊﾟｽ「 例：　d：/download/・・/・・/ 」に置換する"),
           QStringLiteral("ＵＲＬのﾙｰﾄからのﾃﾞｨﾚｸﾄﾘと同じ位置のﾌｫﾙﾀﾞｰとする")});
    radio(dl.RadioGroupRemoveLinkCSSRoot, QStringLiteral(" HTMLｿｰｽ内の 「 <link href=\"/・・\" 」 の” / ” の処理 "),
          {QStringLiteral("除去する"), QStringLiteral("何もしない"), QStringLiteral("．．／・・・"),
           QStringLiteral("絶対ﾊﾟｽ「 例：　d：/download/・・/・・/ 」に置換する")});
    radio(dl.RadioGroupRomoveHTMLSrcRoot, QStringLiteral(" HTMLｿｰｽ内の 「 <img/script  src=\"/・・\" 」 の”/” の処理 "),
          {QStringLiteral("除く"), QStringLiteral("何もしない（ 残す ）")});
    radio(dl.RadioGroupRemoveHrefRoot, QStringLiteral(" HTMLの「 <a href=\"/・・\"の”/” 」  "),
          {QStringLiteral("除く"), QStringLiteral("何もしない（ 残す ）")});
    radio(dl.RadioGroupRemoveUrlRelative, QStringLiteral(" HTMLｿｰｽ内の「 ．．/ 」"),
          {QStringLiteral("除く"), QStringLiteral("何もしない（ 残す ）")});
    radio(dl.RadioGroupWebHreffRoot, QStringLiteral("  HTMLｿｰｽ内の 「 <a href=\"・・\"　>  "),
          {QStringLiteral("除く"), QStringLiteral("「 ＠@ 」に置き換える"), QStringLiteral("何もしない")});
    radio(g.RadioGroupEmptyElement, QStringLiteral(" 「 <img src=” ” （ 空 ） 」の場合の処理 "),
          {QStringLiteral("何もしない"), QStringLiteral("「 ■■■ 」を挿入する")});
    radio(dl.RadioGroupCSSJavaChangeChaCode, QStringLiteral(" Javascriptﾌｧｲﾙ( *.js )の文字ｺｰﾄﾞの処理  "),
          {QStringLiteral("何もしない"), QStringLiteral("Shift_JISに変換する")});
    radio(dl.RadioGroupIEOpenWithTargetUrl, QStringLiteral(" ﾀｰｹﾞｯﾄのWebﾍﾟｰｼﾞ  "),
          {QStringLiteral("何もしない"), QStringLiteral("元のWebもＩＥで閲覧する")});

    // The road a user walks, gathered on top of the page: the URL, the names, the folder and
    // the run and stop buttons first (the part the top area always shows), then the options of
    // a run. Nothing here may make the page wider than the window: long texts wrap or clip.
    QWidget *page = dl.BtnEditHTMLPageSaveFolder->parentWidget();
    auto *box = qobject_cast<QBoxLayout *>(page ? page->layout() : nullptr);
    if (!box) return;
    auto *panel = new QWidget(page);
    panel->setObjectName(QStringLiteral("PanelDownloadAllTop"));
    auto *outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    auto *header = new QWidget(panel);
    header->setObjectName(QStringLiteral("PanelDownloadAllRun"));
    auto *grid = new QGridLayout(header);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(3);
    auto row = [&](int r, QWidget *label, std::initializer_list<QWidget *> ws) {
        if (label) grid->addWidget(label, r, 0);
        auto *h = new QHBoxLayout;
        for (QWidget *w : ws) h->addWidget(w, qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ? 1 : 0);
        grid->addLayout(h, r, 1);
    };
    dl.ComboBoxUrl->setEditable(true);
    dl.ComboBoxUrl->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    dl.ComboBoxUrl->setMinimumContentsLength(40);
    dl.ComboBoxUrl->setMinimumWidth(420);
    row(0, dl.LabelDownloadAllUrl, {dl.ComboBoxUrl, dl.btnDownAllPaste, dl.btnDownAllCOPY});
    row(1, dl.LabelDownloadAllLocalName, {dl.BtnEditLocalFilename, dl.BtnEditLocalFilenameClar, dl.LabelDownloadAllBaseDir,
                                          dl.EditBaseWebDir, dl.EditDownloadDomain});
    row(2, dl.LabelDownloadAllSaveFolder, {dl.BtnEditHTMLPageSaveFolder, dl.btnHTMLPageSaveFolder, dl.btnSaveFolderClear,
                                           dl.CheckBoxGoImmediate});
    auto *buttons = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(dl.btnDownloadAll), static_cast<QWidget *>(dl.btnDownloadStop),
                       static_cast<QWidget *>(dl.btnPageHTMLDownload)})
        buttons->addWidget(w);
    buttons->addStretch();
    grid->addLayout(buttons, 3, 1);
    grid->setColumnStretch(1, 1);
    outer->addWidget(header);

    auto *rest = new QGridLayout;
    rest->setContentsMargins(2, 0, 2, 2);
    auto checkRow = [&](int r, std::initializer_list<QWidget *> ws) {
        auto *h = new QHBoxLayout;
        for (QWidget *w : ws) h->addWidget(w);
        h->addStretch();
        rest->addLayout(h, r, 1);
    };
    checkRow(0, {dl.CheckBoxDoNotEmptyFolder, dl.CheckBoxInhibitBaseDir, dl.CheckBoxHTMTFromClipboard, dl.CheckBoxSaveLocalFile,
                 dl.CheckBoxOpenIE, dl.CheckBoxOpenIEWithWeb});
    checkRow(1, {dl.CheckBoxIfameHTML, dl.CheckBoxHtm, dl.CheckBoxDontChangePage, dl.CheckBoxDontDownload,
});
    for (QLabel *l : {dl.LabelDownloadedFile, dl.LabelWebPage}) {
        // A long URL or path is clipped at the window's edge, never widening the page.
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        l->setMinimumWidth(1);
    }
    rest->addWidget(dl.LabelDownloadedFile, 2, 1);
    rest->addWidget(dl.LabelWebPage, 3, 1);
    dl.ListBoxFrameSet->setMaximumHeight(80);
    rest->addWidget(dl.ListBoxFrameSet, 4, 1);
    rest->setColumnMinimumWidth(0, dl.LabelDownloadAllSaveFolder->sizeHint().width());
    rest->setColumnStretch(1, 1);
    outer->addLayout(rest);
    box->insertWidget(0, panel);
    dl.btnDownloadStop->setText(QStringLiteral(" ﾀﾞｳﾝﾛｰﾄﾞ中止 "));

    // The options of a run, in rows that fit a window of 1600 pixels.
    auto *options = new QWidget(page);
    options->setObjectName(QStringLiteral("PanelDownloadAllOptions"));
    auto *optGrid = new QVBoxLayout(options);
    optGrid->setContentsMargins(2, 2, 2, 2);
    optGrid->setSpacing(2);
    std::vector<TRadioGroup *> groups;
    for (TRadioGroup *r : page->findChildren<TRadioGroup *>(QString(), Qt::FindDirectChildrenOnly)) groups.push_back(r);
    QHBoxLayout *line = nullptr;
    int used = 0;
    // A group is as wide as its title or its items, whichever is wider; room is left for
    // the window's margins and a vertical scroll bar.
    const int room = 1450;
    for (TRadioGroup *r : groups) {
        const int w = std::max(r->sizeHint().width(), r->minimumSizeHint().width()) + 6;
        if (!line || used + w > room) {
            line = new QHBoxLayout;
            line->setSpacing(4);
            optGrid->addLayout(line);
            used = 0;
        }
        line->addWidget(r, 0, Qt::AlignTop);
        used += w;
    }
    for (int i = 0; i < optGrid->count(); ++i)
        if (auto *l = qobject_cast<QHBoxLayout *>(optGrid->itemAt(i)->layout())) l->addStretch();
    box->insertWidget(1, options);

    // The lists the runs keep on this page, side by side rather than one under the other.
    auto *lists = new QWidget(page);
    lists->setObjectName(QStringLiteral("PanelDownloadAllLists"));
    auto *listGrid = new QGridLayout(lists);
    listGrid->setContentsMargins(2, 2, 2, 2);
    int n = 0;
    for (QListWidget *l : page->findChildren<QListWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (l->isHidden() && l->testAttribute(Qt::WA_WState_ExplicitShowHide)) continue;
        l->setMaximumHeight(70);
        l->setMinimumWidth(60);
        listGrid->addWidget(l, n / 5, n % 5);
        ++n;
    }
    for (int c = 0; c < 5; ++c) listGrid->setColumnStretch(c, 1);
    box->insertWidget(box->count() - (page->property("vkTrailingStretch").toBool() ? 1 : 0), lists);

    // The boxes whose "..." no handler serves show none.
    for (TBtnEdit *b : {dl.BtnEditDownloadLocalFile, dl.BtnEditDownloadDirectLocalFilename,
                        dl.BtnEditPageControlMainBodyCSSUrl, dl.BtnEditPageControlMainBodyHTMLFolder,
                        dl.BtnEditTriedWebFileSaveFolder})
        b->button()->hide();
    // The page's own "…" chooses the folder; the box's "..." picks a file whose folder it takes.
    dl.BtnEditHTMLPageSaveFolder->setToolTip(QStringLiteral("ﾌｧｲﾙを選んで、そのﾌｫﾙﾀﾞｰを保存ﾌｫﾙﾀﾞｰにする"));
}

int DownloadAllPage::runControlsHeight() const
{
    const QWidget *header = ctx_.window->findChild<QWidget *>(QStringLiteral("PanelDownloadAllRun"));
    if (!header) return 0;
    const int tabs = ctx_.frame.PageControlMainTop->tabBar()->sizeHint().height();
    // The tab page's frame and the page's own margins above and below the header.
    const int bar = ctx_.window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return tabs + header->sizeHint().height() + 12 + bar;
}

void DownloadAllPage::keepRunControlsInSight()
{
    auto &fr = ctx_.frame;
    const bool shown = fr.PageControlMainTop->currentWidget() == fr.PageControlMainTopTab01Main;
    fr.PanelMainTop->setMinimumHeight(shown ? runControlsHeight() : 0);
    if (!shown) return;
    // The page scrolled to its top, where the run and stop buttons stand.
    for (QWidget *p = c_.dl.btnDownloadAll->parentWidget(); p; p = p->parentWidget())
        if (auto *area = qobject_cast<QScrollArea *>(p)) {
            area->verticalScrollBar()->setValue(0);
            break;
        }
}

std::string DownloadAllPage::saveFolder() const { return sj(c_.dl.BtnEditHTMLPageSaveFolder->text()); }

void DownloadAllPage::readPipelineOptions()
{
    auto &dl = c_.dl;
    AppState &st = state();
    css_.readOptions();
    DownloadOptions &o = css_.engine().Opt;
    o.InhibitBaseDir = dl.CheckBoxInhibitBaseDir->isChecked();
    o.InhibitBaseDirPath = st.GInhibitBaseDir;
    o.PageUrlText = sj(dl.ComboBoxUrl->currentText());
    o.SaveFolderBox = saveFolder();
    o.BaseWebDir = sj(dl.EditBaseWebDir->text());
    o.HTMLNodePosition = std::max(0, ctx_.gui.RadioGroupHTMLNodePosition->itemIndex());
    o.RemoveLinkCSSRoot = std::max(0, dl.RadioGroupRemoveLinkCSSRoot->itemIndex());
    o.RomoveHTMLSrcRoot = std::max(0, dl.RadioGroupRomoveHTMLSrcRoot->itemIndex());
    o.RemoveHrefRoot = std::max(0, dl.RadioGroupRemoveHrefRoot->itemIndex());
    o.RemoveUrlRelative = std::max(0, dl.RadioGroupRemoveUrlRelative->itemIndex());
    o.WebHreffRoot = std::max(0, dl.RadioGroupWebHreffRoot->itemIndex());
    o.EmptyElement = std::max(0, ctx_.gui.RadioGroupEmptyElement->itemIndex());
    o.CSSJavaChangeChaCode = std::max(0, dl.RadioGroupCSSJavaChangeChaCode->itemIndex());
    o.MadeFromTail = st.GMadeFromTail.empty() ? o.MadeFromTail : st.GMadeFromTail;
    o.DoNotEmptyFolder = dl.CheckBoxDoNotEmptyFolder->isChecked();
    o.SaveLocalFile = dl.CheckBoxSaveLocalFile->isChecked();
    o.FrameSelected = st.GFrameSelected;
    o.BaseHref = st.GBaseHref;
    o.BaseHrefFolder = st.GBaseHrefFolder;
    o.WebRoot = st.GWebRoot;
}

void DownloadAllPage::btnDownloadAllClick()
{
    auto &dl = c_.dl;
    AppState &st = state();
    if (busy_ || css_.running()) return;
    st.GFrameSelected = false;
    dl.btnDownloadStop->setEnabled(true);
    st.GGlobalFile.clear();
    dl.ListBoxFrameSet->clear();
    const QString text = dl.ComboBoxUrl->currentText();
    if (!text.isEmpty()) dl.ComboBoxUrl->addItem(text);
    std::string url = sj(text);
    if (lowerAscii(url).find(".pdf") != std::string::npos) return;
    if (dl.CheckBoxInhibitBaseDir->isChecked()) {
        st.GInhibitBaseDir = UrlToLocalSubFolder(url);
        dl.RadioGroupRemoveUrlRelative->setItemIndex(1);
    } else {
        st.GInhibitBaseDir.clear();
        dl.RadioGroupRemoveUrlRelative->setItemIndex(0);
    }
    ctx_.StatusBar1->setPanelText(2, QStringLiteral(" 【 ") + QDir::currentPath() + QStringLiteral(" 】"));
    if (url.size() < 7) return;
    const char last = url.back();
    if (last != '/' && last != 'l' && last != 'm' && last != 'p') {
        const int a = dialogs.ask(ctx_.window,
                                  QStringLiteral("拡張子が「 .html/.htm/.php 」となっていません。末尾に「 ／ 」を付加しますか"),
                                  true);
        if (a == QMessageBox::Cancel) return;
        if (a == QMessageBox::Yes) {
            url += "/index.html";
            dl.ComboBoxUrl->setEditText(fromSjis(url));
            dl.BtnEditLocalFilename->setText(QStringLiteral("index.html"));
        } else if (dl.BtnEditLocalFilename->text().isEmpty()) {
            dl.BtnEditLocalFilename->setText(QStringLiteral("index.html"));
        }
        ctx_.setMainBaseDir(url);
    }
    std::string name = sj(dl.BtnEditLocalFilename->text());
    if (const std::size_t g = name.find("gif3"); g != std::string::npos) name.erase(g, 4);
    const std::string e = lowerAscii(extOf(name));
    // An empty name stays empty: the driver names the page "index.html" without a question.
    if (!name.empty() && (e == ".asp" || e == ".cgi" || e.empty())) name = ChangeFileExtension(name, ".html");
    dl.BtnEditLocalFilename->setText(fromSjis(name));
    ctx_.setMainBaseDir(url);
    DownloadAllHTMLFile();
}

void DownloadAllPage::DownloadAllHTMLFile()
{
    auto &dl = c_.dl;
    AppState &st = state();
    if (dl.CheckBoxHTMTFromClipboard->isChecked()) {
        st.GClipboardHtml = sj(QGuiApplication::clipboard()->text());
    }
    std::string url = unwrapUrl(sj(dl.ComboBoxUrl->currentText()), 5, 10);
    if (!IsHttpUrl(url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    std::string W = fileNameOf(UrlToLocalFileName(url));
    if (W.empty()) W = "index.html";
    if (!st.GFrameSelected) {
        const std::string e = lowerAscii(extOf(W));
        if (e == ".php" || e == ".cgi" || e == ".asp" || e == ".jsp" || e == ".gif3") W = ChangeFileExtension(W, ".html");
    }
    std::string name = sj(dl.BtnEditLocalFilename->text());
    if (name.empty()) name = "index.html";
    if (name != W) {
        const int a = dialogs.ask(ctx_.window,
                                  QStringLiteral("「 Urlの”Webﾌｧｲﾙ名 ” 」と、設定されている「 ﾛｰｶﾙ・ﾌｧｲﾙ名」とが一致しません。"
                                                 "「Urlの”Webﾌｧｲﾙ名 ” 」を優先しますか？"),
                                  true);
        if (a == QMessageBox::Cancel) return;
        if (a == QMessageBox::Yes) {
            name = W;
        } else {
            if (name == ".html") name = "index.html";
            if (!fileNameOf(UrlToLocalFileName(W)).empty()) {
                const std::string folder = saveFolder();
                const bool there = !folder.empty() && QFileInfo(fromSjis(folder)).isDir();
                const std::string chosen = dialogs.saveHtml(ctx_.window, there ? folder : std::string(), name);
                if (chosen.empty()) return;
                const std::size_t s = chosen.find_last_of("/\\");
                name = chosen.substr(s + 1);
                const std::string folderOfChosen = chosen.substr(0, s + 1);
                dl.BtnEditHTMLPageSaveFolder->setText(fromSjis(folderOfChosen));
                dl.BtnEditWebSaveLocalFileFolder->setText(fromSjis(folderOfChosen));
            }
            if (name.empty()) name = "index.html";
        }
    }
    if (lowerAscii(extOf(name)) == ".gif3") name = ChangeFileExtension(name, "");
    if (dl.CheckBoxIfameHTML->isChecked()) name = ChangeFileExtension(name, ".html");
    dl.BtnEditLocalFilename->setText(fromSjis(name));
    if (saveFolder().empty()) css_.btnHTMLPageSaveFolderClick();
    // The folder choice may have started a run of its own.
    if (busy_ || css_.running()) return;
    const std::string folder = saveFolder();
    if (folder.empty()) {
        ctx_.message(QString::fromUtf8(kNoFolderMsg));
        return;
    }
    dl.BtnEditWebSaveLocalFileFolder->setText(fromSjis(folder));
    if (!QFileInfo(fromSjis(folder)).isDir()) {
        ctx_.message(QString::fromUtf8(kNoFolderMsg));
        return;
    }
    if (!css_.CheckSaveFolderExists(url, folder, 106, 106)) return;
    ctx_.ListBoxAllClear();
    ctx_.StringListAllClear();
    if (ctx_.clearWebGui) ctx_.clearWebGui();

    // A first look at the page, off the window's thread: its kind and its frames.
    busy_ = true;
    dl.btnDownloadAll->setEnabled(false);
    const bool clip = dl.CheckBoxHTMTFromClipboard->isChecked();
    auto frames = std::make_shared<std::vector<std::string>>();
    auto text = std::make_shared<std::string>();
    css_.start(
        [url, clip, frames, text](DownloadEngine &e) {
            e.BeginRun();
            const int k = e.PageKind(url, *frames, *text);
            return clip ? 0 : k;
        },
        [this, url, frames, text, clip](int kind) {
            auto &dl = c_.dl;
            AppState &st = state();
            busy_ = false;
            if (kind < 0) {
                dl.LabelDownloadedFile->setText(fromSjis(J("〔 ") + url + J(" 〕 -> 【 ●●● 】")));
                dl.btnDownloadAll->setEnabled(true);
                lastResult_ = -1;
                emit downloadFinished(-1);
                return;
            }
            if (kind == 1 && !clip) {
                // A frameset: the frames are listed, each downloaded by a click.
                const std::string folder = saveFolder();
                std::string name = Trim(sj(dl.BtnEditLocalFilename->text()));
                if (name.empty()) name = fileNameOf(UrlToRelativeLocalPath(url));
                if (name.empty()) name = "index.html";
                std::string P = folder + name;
                if (fileNameOf(P).empty()) P = ChangeFileExtension(P, ".html");
                DownloadEngine &e = css_.engine();
                // Decoded as the user's charset choice says; "自動" takes what the run detected.
                std::string t = *text;
                const int mode = std::max(0, dl.RadioGroupCharCodeMode->itemIndex());
                if (mode != 0)
                    if (const auto r = e.Fetched(url); r && r->Ok && !r->Body.empty()) t = ConvertTextToSjis(r->Body, mode);
                t = RewriteCharsetDeclsToSjis(ReplaceAllIgnoreCase(t, ".php", ".html"));
                SaveTree &tree = e.Tree(folder);
                const std::string abs = ConfinePathToRoot(tree.root(), P);
                if (abs.empty() || !tree.Write(abs, t, url).ok()) {
                    dl.LabelDownloadedFile->setText(fromSjis(J("〔 ") + url + J(" 〕 -> 【 ●●● 】")));
                    dl.btnDownloadAll->setEnabled(true);
                    emit downloadFinished(-1);
                    return;
                }
                tree.SaveManifest();
                c_.rep.RichEditHTMLSrc01->setText(t);
                dl.LabelDownloadedFile->setText(fromSjis(J("〔 ") + url + J(" 〕 -> 【 ") + P + J(" 】")));
                st.GGlobalFile = P;
                dl.ListBoxFrameSet->clear();
                listFrames(url, *frames);
                dl.CheckBoxDoNotEmptyFolder->setChecked(true);
                st.GFrameSetPage = P;
                ctx_.appTitleCaption(P);
                ctx_.StatusBar1->setPanelText(4, QStringLiteral(" [ ") + fromSjis(P) + QStringLiteral(" ]"));
                dl.btnDownloadAll->setEnabled(true);
                ctx_.gui.cbDownloadURL->setEditText(fromSjis(url));
                ctx_.gui.WebBrowserDownload->Navigate(fromSjis(url));
                ctx_.message(QStringLiteral("Framesetﾌｧｲﾙです。各HTMLを個別にﾀﾞｳﾝﾛｰﾄﾞしてください"));
                lastResult_ = 0;
                saveFramesetCopy(url, folder, fileNameOf(P));
                emit downloadFinished(0);
                return;
            }
            if (kind == 2 && !clip) {
                listFrames(url, *frames);
                dl.LabelDownloadedFile->setText(QStringLiteral(
                    "frameset/iframeが見つかりました。後からframeset内のhtml/iframeで指定されたhtmlを個別にﾀﾞｳﾝﾛｰﾄﾞしてください"));
                dl.CheckBoxDoNotEmptyFolder->setChecked(true);
            }
            st.GBaseHref.clear();
            mainPath(url, *text);
        });
}

void DownloadAllPage::saveFramesetCopy(const std::string &Url, const std::string &Folder, const std::string &Name)
{
    auto &dl = c_.dl;
    AppState &st = state();
    const std::string chosen = dialogs.saveHtml(ctx_.window, Folder, Name);
    if (chosen.empty()) return;
    // The bytes this run fetched already, converted as the page's encoding choice says.
    const auto r = css_.engine().Fetched(Url);
    if (!r || !r->Ok || r->Body.empty()) return;
    const std::string text = ConvertTextToSjis(r->Body, std::max(0, dl.RadioGroupCharCodeMode->itemIndex()));
    if (!WriteWholeFile(chosen, text)) {
        ctx_.message(QStringLiteral("保存できませんでした\r\n【 ") + fromSjis(chosen) + QStringLiteral(" 】"));
        return;
    }
    st.GFrameSetPage = chosen;
    // The WebGUI page takes the frameset over: its frames are listed there.
    ctx_.frame.PageControlMainTop->setCurrentWidget(ctx_.frame.PageControlMainTopTab06WebGUI);
    ctx_.frame.PageControlMainBody->setCurrentWidget(ctx_.frame.PageControlMainBodyTab07DHTMLEditor);
    ctx_.gui.PageControlWebGUITop->setCurrentWidget(ctx_.gui.PageControlWebGUITopTab07Frame);
    ctx_.setPanelMainTopHeight(100);
    ctx_.gui.PanelPageControlMainBodyDHTMLTop->setFixedHeight(700);
    if (ctx_.openFramesetInWebGui) ctx_.openFramesetInWebGui(Url);
}

void DownloadAllPage::listFrames(const std::string &Url, const std::vector<std::string> &Frames)
{
    auto &dl = c_.dl;
    for (const std::string &fr : Frames) dl.ListBoxFrameSet->addItem(fromSjis(unwrapUrl(fr, 10, 15)));
    dl.ComboBoxUrl->addItem(fromSjis(Url));
    dl.ComboBoxURLDirect->clear();
    for (const std::string &fr : Frames) dl.ComboBoxURLDirect->addItem(fromSjis(fr));
    dl.ComboBoxURLDirect->addItem(fromSjis(Url));
}

void DownloadAllPage::mainPath(const std::string &Url, const std::string &PageText)
{
    auto &dl = c_.dl;
    AppState &st = state();
    DownloadEngine &e = css_.engine();
    dl.btnDownloadAll->setEnabled(false);
    std::string name = sj(dl.BtnEditLocalFilename->text());
    if (extOf(name).empty()) name += ".html";
    if (dl.CheckBoxHtm->isChecked()) name = ChangeFileExtension(name, ".htm");
    dl.BtnEditLocalFilename->setText(fromSjis(name));
    st.GBaseHrefFolder.clear();
    std::string B;
    // The first look's text: the page decoded once.
    B = GetBaseHref(PageText);
    if (B == "/")
        st.GBaseHrefNoScheme.clear();
    else if (!B.empty() && B.back() == '/')
        st.GBaseHrefNoScheme = ReplaceFirst(B, "http://", "");
    const int H = PosAfterHost(Url);
    if (H == 0) {
        dl.EditDownloadDomain->setText(fromSjis(Url));
        dl.btnDownloadAll->setEnabled(true);
        return;
    }
    st.GWebRoot = Url.substr(0, static_cast<std::size_t>(H));
    st.GBaseHref = B;
    if (!B.empty()) {
        st.GBaseHrefFolder = ReplaceAll(ReplaceFirst(B, st.GWebRoot, ""), "/", "\\");
        ctx_.StatusBar1->setPanelText(1, QStringLiteral(" base【 ") + fromSjis(B) + QStringLiteral(" 】"));
    } else {
        ctx_.StatusBar1->setPanelText(1, QString());
    }
    dl.EditDownloadDomain->setText(fromSjis(Url.substr(0, static_cast<std::size_t>(H - 1))));
    readPipelineOptions();
    e.Opt.BrowserImages = css_.browserImages(Url);
    const std::string folder = saveFolder();
    busy_ = true;
    if (!dl.CheckBoxDontChangePage->isChecked()) {
        // The lower page first: turning to it sets the top area's height of its own.
        ctx_.frame.PageControlMainBody->setCurrentWidget(ctx_.frame.PageControlMainBodyTab02PageInnerFile);
        ctx_.setPanelMainTopHeight(std::max(330, runControlsHeight()));
    }
    css_.start([Url, name, folder](DownloadEngine &e) { return e.DownloadAll(Url, name, folder, false); },
               [this, Url](int r) { afterRun(r, Url); });
    dl.btnDownloadAll->setEnabled(false);
    // The focus waits on the stop button, so that the disabled start button does not hand it
    // to a control further down the page, which would scroll the buttons away.
    dl.btnDownloadStop->setFocus();
    keepRunControlsInSight();
}

void DownloadAllPage::afterRun(int r, const std::string &Url)
{
    auto &dl = c_.dl;
    AppState &st = state();
    DownloadEngine &e = css_.engine();
    busy_ = false;
    lastResult_ = r;
    dl.LabelTopCSSInfo->setText(fromSjis(e.InfoLabel));
    if (r < 0) {
        if (!e.Message.empty()) ctx_.message(fromSjis(e.Message));
        if (!e.InfoLabel.empty()) dl.LabelDownloadedFile->setText(fromSjis(e.InfoLabel));
        dl.btnDownloadStop->setEnabled(true);
    } else {
        const std::string folder = saveFolder();
        st.GGlobalFile = e.GlobalFile;
        if (!st.GFrameSelected) st.GMainPageFile = e.GlobalFile;
        st.GDownloadLocalFile = folder + sj(dl.BtnEditLocalFilename->text());
        st.GPageCharset = e.PageCharset;
        ctx_.StatusBar1->setPanelText(0, QStringLiteral(" 【 ") + fromSjis(e.PageCharset) + QStringLiteral(" 】"));
        std::vector<std::string> cssFiles;
        for (int i = 0; i < dl.ListBoxDownloadedCSSFile->count(); ++i)
            cssFiles.push_back(sj(dl.ListBoxDownloadedCSSFile->item(i)->text()));
        e.AdjustCSSDownloadFile(cssFiles, std::max(0, dl.RadioGroupRemoveCSSRoot->itemIndex()));
        dl.RichEditpageHTML->setText(e.PageHtml);
        // The lower page shows the run's lists now: the saved page is coloured when looked at.
        ColorHTMLRichEditWhenShown(dl.RichEditpageHTML);
        dl.LabelDownloadedFile->setText(fromSjis(J("〔 ") + Url + J(" 〕 -> 【 ") + e.GlobalFile + J(" 】")));
        st.GLastSaveFolder = folder;
        if (dl.CheckBoxOpenIEWithWeb->isChecked()) OpenUrlInBrowser(sj(dl.ComboBoxUrl->currentText()));
        if (dl.CheckBoxOpenIE->isChecked()) OpenUrlInBrowser(st.GGlobalFile);
        if (dl.RadioGroupIEOpenWithTargetUrl->itemIndex() == 1) OpenUrlInBrowser(Url);
        ctx_.appTitleCaption(st.GGlobalFile);
        ctx_.StatusBar1->setPanelText(3, QStringLiteral(" 【 ") + fromSjis(Url) + QStringLiteral(" 】"));
        const QString plain = fromSjis(RemoveGoogleUrl(Url));
        dl.ComboBoxDirectUrl->setEditText(plain);
        ctx_.gui.ComboBoxGUIEditorURL->setEditText(plain);
        dl.BtnEditDownloadLocalFile->setText(fromSjis(st.GGlobalFile));
        dl.btnDownloadStop->setEnabled(true);
    }
    // What the click handler does once the driver is back.
    if (!dl.CheckBoxDontChangePage->isChecked() && dl.ListBoxPageControlMainTopRightTab11WebNotFoundFile->count() > 0)
        ctx_.frame.PageControlMainBody->setCurrentWidget(ctx_.frame.PageControlMainBodyTab09CantObtained);
    if (st.GBaseHref.empty()) {
        ctx_.StatusBar1->setPanelText(1, QString());
        ctx_.StatusBar1->setPanelText(2, QString());
    }
    dl.CheckBoxHTMTFromClipboard->setChecked(false);
    dl.btnDownloadAll->setEnabled(true);
    if (dl.btnDownloadAll->isVisible()) dl.btnDownloadAll->setFocus();
    keepRunControlsInSight();
    emit downloadFinished(r);
}

void DownloadAllPage::btnPageHTMLDownloadClick()
{
    auto &dl = c_.dl;
    if (busy_ || css_.running()) return;
    const std::string url = sj(dl.ComboBoxUrl->currentText());
    if (!IsHttpUrl(url)) {
        ctx_.message(QString::fromUtf8(kBadUrlMsg));
        return;
    }
    std::string folder = saveFolder();
    if (folder.empty()) {
        const std::string chosen = dialogs.saveHtml(ctx_.window, std::string(), "dummy.html");
        if (chosen.empty()) return;
        folder = chosen.substr(0, chosen.find_last_of("/\\") + 1); // this run only
    } else if (!css_.CheckSaveFolderExists(url, folder, 105, 105)) {
        return;
    }
    if (dl.BtnEditLocalFilename->text().isEmpty()) {
        const std::string chosen = dialogs.saveHtml(ctx_.window, folder, "dummy.html");
        if (chosen.empty()) return;
        dl.BtnEditLocalFilename->setText(fromSjis(fileNameOf(chosen)));
    }
    const std::string name = sj(dl.BtnEditLocalFilename->text());
    readPipelineOptions();
    css_.engine().Opt.SaveFolderBox = folder;
    const int flag = dl.CheckBoxSaveLocalFile->isChecked() ? 1 : 0;
    dl.btnPageHTMLDownload->setEnabled(false);
    busy_ = true;
    css_.start(
        [url, name, folder, flag](DownloadEngine &e) {
            e.BeginRun();
            const int r = e.MainTopPageHTMLdownload(url, name, folder, flag);
            return r;
        },
        [this, name](int r) {
            auto &dl = c_.dl;
            AppState &st = state();
            DownloadEngine &e = css_.engine();
            busy_ = false;
            lastResult_ = r;
            // Whatever the result, the button comes back.
            dl.btnPageHTMLDownload->setEnabled(true);
            dl.LabelWebPage->setText(fromSjis(e.InfoLabel));
            if (r >= 0) {
                dl.RichEditpageHTML->setText(e.PageHtml);
                st.GGlobalFile = e.GlobalFile;
                if (dl.CheckBoxOpenIE->isChecked()) OpenUrlInBrowser(st.GGlobalFile);
                dl.CheckBoxInhibitBaseDir->setChecked(false);
            }
            emit downloadFinished(r);
        });
}

void DownloadAllPage::ListBoxFrameSetClick()
{
    auto &dl = c_.dl;
    AppState &st = state();
    if (busy_ || css_.running()) return;
    const QString K = dl.ComboBoxUrl->currentText();
    std::string S = ListBoxSelected(dl.ListBoxFrameSet);
    if (!S.empty()) {
        S = ReplaceAll(unwrapUrl(S, 10, 15), "/./", "/");
        if (!IsHttpUrl(S)) {
            ctx_.message(QString::fromUtf8(kBadUrlMsg));
            return;
        }
        dl.BtnEditLocalFilename->clear();
        dl.ComboBoxURLDirect->setEditText(fromSjis(S));
        std::string folder = saveFolder();
        if (folder.empty()) {
            ctx_.message(QString::fromUtf8(kNoFolderMsg));
            return;
        }
        if (!QFileInfo(fromSjis(folder)).isDir()) {
            ctx_.message(QStringLiteral("ﾌｫﾙﾀﾞｰが存在しません"));
            return;
        }
        dl.ComboBoxUrl->setEditText(fromSjis(S));
        QGuiApplication::clipboard()->setText(fromSjis(S));
        folder = ReplaceAll(ReplaceAll(folder, "\\\\\\", "\\"), "\\\\", "\\");
        std::string N = fileNameOf(UrlToLocalFileName(S));
        if (!extOf(N).empty()) N = ChangeFileExtension(N, ".html");
        std::string LF;
        ctx_.setLocalFileName(S, LF);
        if (dl.CheckBoxIfameHTML->isChecked()) N = ChangeFileExtension(N, ".html");
        dl.BtnEditLocalFilename->setText(fromSjis(N));
        if (!dl.CheckBoxDontDownload->isChecked()) {
            st.GFrameSelected = true;
            DownloadAllHTMLFile();
        }
    }
    // The driver took the frame's URL; the box shows the main page's again.
    dl.ComboBoxUrl->setEditText(K);
    st.GGlobalFile = st.GMainPageFile;
}

void DownloadAllPage::btnSaveFolderClearClick()
{
    auto &dl = c_.dl;
    dl.BtnEditHTMLPageSaveFolder->clear();
    if (!css_.running()) dl.btnDownloadAll->setEnabled(true);
}

void DownloadAllPage::BtnEditLocalFilenameClarClick() { c_.dl.BtnEditLocalFilename->clear(); }

void DownloadAllPage::BtnEditLocalFilenameKeyDown()
{
    const std::string n = sj(c_.dl.BtnEditLocalFilename->text());
    if (!n.empty()) c_.dl.BtnEditLocalFilename->setText(fromSjis(ChangeFileExtension(n, ".html")));
}

void DownloadAllPage::btnDownAllPasteClick()
{
    auto &dl = c_.dl;
    const QString t = QGuiApplication::clipboard()->text().trimmed();
    if (!t.startsWith(QStringLiteral("http://")) && !t.startsWith(QStringLiteral("https://"))) return;
    ctx_.FileReset();
    dl.ComboBoxUrl->setEditText(t);
    dl.ComboBoxURLDirect->setEditText(t);
    ctx_.gui.ComboBoxGUIEditorURL->setEditText(t);
    ctx_.EditPanelPanelPageControlMainTopTab07BatchPageView->setText(t);
    dl.ComboBoxBatchDownloadURL->setEditText(t);
    ctx_.setMainBaseDir(sj(t));
    dl.BtnEditHTMLPageSaveFolder->clear();
    dl.LabelDownloadedFile->clear();
    // The pasted page is shown beside its source: the user asked for it.
    dl.ComboBoxDirectUrl->setEditText(t);
    if (ctx_.browseSideNavigate) ctx_.browseSideNavigate();
}

void DownloadAllPage::BtnEditHTMLPageSaveFolderButtonClick()
{
    auto &dl = c_.dl;
    const std::string chosen = dialogs.openHtml(ctx_.window, saveFolder(), "dummy.html");
    if (chosen.empty()) return;
    const std::size_t s = chosen.find_last_of("/\\");
    if (s == std::string::npos) return;
    dl.BtnEditHTMLPageSaveFolder->setText(fromSjis(chosen.substr(0, s + 1)));
}

void DownloadAllPage::BtnEditLocalFilenameButtonClick()
{
    auto &dl = c_.dl;
    const std::string chosen = dialogs.saveHtml(ctx_.window, saveFolder(), "dummy.html");
    if (chosen.empty()) return;
    std::string name = fileNameOf(chosen);
    if (name.empty()) return;
    if (extOf(name).empty()) name += ".html";
    dl.BtnEditLocalFilename->setText(fromSjis(name));
}

void DownloadAllPage::btnListBoxDownloaded2ClipboardClick()
{
    QListWidget *l = c_.dl.ListBoxBodyImageDownloaded;
    if (l->count() == 0) return;
    QStringList lines;
    for (int i = 0; i < l->count(); ++i) lines << l->item(i)->text();
    QGuiApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
}

void DownloadAllPage::btnDownAllCOPYClick()
{
    QGuiApplication::clipboard()->setText(c_.dl.ComboBoxUrl->currentText());
}
