#include "webgui/WebGuiSearchPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "state/AppState.h"
#include "text/StrUtils.h"
#include "webgui/WebGuiEditorIo.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QString q(const std::string &sjis) { return fromSjis(sjis); }

constexpr int kColourRetryMs = 1000;

QString clipboardText() { return QApplication::clipboard()->text(); }

bool fileExists(const std::string &sjisPath)
{
    return !sjisPath.empty() && QFileInfo(fromSjis(sjisPath)).isFile();
}

std::vector<std::string> listItems(const QListWidget *l)
{
    std::vector<std::string> items;
    items.reserve(std::size_t(l->count()));
    for (int i = 0; i < l->count(); ++i) items.push_back(toSjis(l->item(i)->text()));
    return items;
}

}  // namespace

WebGuiToolDialogs WebGuiToolDialogs::system()
{
    WebGuiToolDialogs d;
    d.save = [](QWidget *parent, const std::string &preset, const QString &filter) {
        // The dialog asks itself before an existing file is chosen.
        const QString f = QFileDialog::getSaveFileName(parent, QString(), fromSjis(preset), filter);
        return f.isEmpty() ? std::string() : toSjis(f);
    };
    d.open = [](QWidget *parent, const QString &filter) {
        const QString f = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
        return f.isEmpty() ? std::string() : toSjis(f);
    };
    d.askYesNo = [](QWidget *parent, const QString &text) {
        return QMessageBox::question(parent, QApplication::applicationName(), text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    return d;
}

WebGuiSearchPage::WebGuiSearchPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent)
    : QObject(parent), c_(c), page_(page), ctx_(std::move(ctx)),
      search_(ctx_.state->list(SharedList::GSearchWords))
{
    buildRows();
    connectButtons();
    // The status bar keeps its own height; the panes take the rest.
    c_.StatusBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The raw-source pane starts wrapped; its flag says what the next click of "折り返し" makes.
    c_.RichEditPageControlGUIRightOrgEntireSrc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    c_.RichEditPageControlGUIRightOrgEntireSrc->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QTabWidget *t : {c_.PageControlGUIRightTab02AllHTMLSrcRight})
        t->setTabVisible(t->indexOf(c_.PageControllGUIRightTab02AllHTMLSrcTab03Result), false);
    for (QSplitter *s : {c_.SplitterGUIRightAllHTMLSrcTop, c_.SplitterGUIRightAllHTMLSrc, c_.SplitterGUIIndentResult,
                         c_.SplitterGUIOrgHTMLSrcTop, c_.SplitterBodyLists})
        s->setOrientation(Qt::Vertical);
    for (TPanel *p : {c_.PanelPageControlGUIRightTab02AllHTMLSrcTop, c_.PanelPanelPanelPageControllGUIRightTab02AllHTMLSrcTab07TempTop,
                      c_.PanelPageControlGUIRightTab03OrgHTMLSrcTop})
        p->setMinimumHeight(8);
    for (QSplitter *s : {c_.SplitterGUIRightAllHTMLSrcTop, c_.SplitterGUIIndentResult, c_.SplitterGUIOrgHTMLSrcTop}) {
        s->setStretchFactor(0, 0);
        s->setStretchFactor(1, 1);
    }
    // Hit lists are short next to their panes.
    for (QListWidget *l : {static_cast<QListWidget *>(c_.ListBoxHTMLSrc), static_cast<QListWidget *>(c_.ListBoxPageControlGUIRightTab01HTMLSrcRightTab01AllSerachList),
                           static_cast<QListWidget *>(c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSBottom),
                           static_cast<QListWidget *>(c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab08JAVATopBottom),
                           static_cast<QListWidget *>(c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab04AfterSrc)})
        l->setMaximumHeight(140);
}

void WebGuiSearchPage::setStatus(int panel, const QString &text) { c_.StatusBar->setPanelText(panel, text); }

void WebGuiSearchPage::tell(const QString &text)
{
    if (ctx_.message) ctx_.message(text);
}

TRichEdit *WebGuiSearchPage::cssPane() const
{
    QWidget *t = c_.PageControlWebGUITopTab05CSSRight->currentWidget();
    if (t == c_.PageControlWebGUITopTab05CSSRightTab01AllText) return c_.MemoGUICSS;
    if (t == c_.PageControlWebGUITopTab05CSSRightTab02Indiv) return c_.MemoGUICSSIndiv;
    if (t == c_.PageControlWebGUITopTab05CSSRightTab03Inner) return c_.MemoGUICSSInner;
    return nullptr;
}

TRichEdit *WebGuiSearchPage::javaPane() const
{
    QWidget *t = c_.PageControlGUIJAVA->currentWidget();
    if (t == c_.PageControlGUIJAVATab01JavaAll) return c_.MemoGUIJAVA;
    if (t == c_.PageControlGUIJAVATab02JavaIndiv) return c_.MemoGUIJJavaIndiv;
    if (t == c_.PageControlGUIJAVATab03JavaInner) return c_.MemoGUIJJavaIndivInner;
    return nullptr;
}

void WebGuiSearchPage::buildRows()
{
    auto fixed = [](TRichEdit *p) { return [p] { return p; }; };
    auto plain = [](TRichEdit *p) { return [p] { PlainRichEditQuiet(p); }; };
    AppState &st = *ctx_.state;
    auto row = [&](Row r, QLineEdit *box, QAbstractButton *button, bool enter, std::function<TRichEdit *()> target,
                   std::function<void()> prepare, QListWidget *list, QLabel *info) {
        PaneRow &p = rows_[r];
        p.Search.KeyBox = box;
        p.Search.Target = target;
        p.Search.Prepare = std::move(prepare);
        p.Search.List = list;
        p.Button = button;
        p.Enter = enter;
        p.Info = info;
        p.ClickPane = target;
    };
    row(RowHTMLSrc, c_.SearchKeyWord, c_.btnHTMLSearchBatchFind, true, fixed(c_.MemoHTMLSrc), plain(c_.MemoHTMLSrc),
        c_.ListBoxHTMLSrc, c_.LabelHTMLSrcLineColumn);
    // The body pane keeps its colours until the first word paints it black.
    row(RowBody, c_.EditBodySearch, c_.btnBodySearch, true, fixed(c_.MemoBody),
        [&st] { st.list(SharedList::GSearchWords).clear(); }, c_.ListBoxBodySrc, c_.LabelBodySearch);
    row(RowCSS, c_.EditGUICSS, c_.BtnGUIbatchSearch, true, [this] { return cssPane(); }, plain(c_.MemoGUICSS),
        c_.ListBoxWebGUILeftTab05CSSTab03Search, nullptr);
    row(RowJAVA, c_.EditGUIJAVA, c_.BtnGUIbatchJavaSearch, true, [this] { return javaPane(); },
        plain(c_.MemoGUIJJavaIndiv), c_.ListBoxJAVASearch, c_.LabelGUIJAVALineColumn);
    row(RowAllSrc, c_.EditSearcGUISrcKeyWord, c_.btnEditSearcGUISrcKeyWord, true,
        fixed(c_.RichEditPageControlGUIRightEntireSrc), plain(c_.RichEditPageControlGUIRightEntireSrc),
        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab02SearchList, c_.LabelEditSearcGUISrcKeyWord);
    rows_[RowAllSrc].Search.After = [this] {
        c_.PageControlGUIRightTab02AllHTMLSrcRight->setCurrentWidget(c_.PageControllGUIRightTab02AllHTMLSrcTab02SearchList);
    };
    // The pane searched is the one uncoloured; the raw source keeps its colours.
    row(RowOrgSrc, c_.EditSearcGUIOrgSrcKeyWord, c_.btnEditSearcGUIIOrgSrcKeyWord, true,
        fixed(c_.RichEditPageControlGUIRightAltEntireSrc), plain(c_.RichEditPageControlGUIRightAltEntireSrc),
        c_.ListBoxPageControllGUIOrgRightTab02AllHTMLSrcTab02SearchList, c_.LabelEditSearcGUISrcKeyWord);
    rows_[RowOrgSrc].Search.Before = [this] {
        c_.PageControlGUIRightTab03OrgHTMLSrcRight->setCurrentWidget(c_.PageControlGUIRightTab03OrgHTMLSrcRightTab02Alt);
    };
    row(RowAfter, c_.EditPageControllGUIRightTab02AllHTMLSrcTab04Afterrc, c_.btnEditSearcGUIAfterKeyWord, true,
        fixed(c_.RichEditPageControlGUIRightEntireSrcAfter), plain(c_.RichEditPageControlGUIRightEntireSrcAfter),
        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab04AfterSrc, nullptr);
    row(RowCSSText, c_.EditWebGUIBatchSearch, c_.btnWebGUIBatchSearchExecute, false,
        fixed(c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All),
        plain(c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All),
        c_.ListBoxPageControlGUIRightTab01HTMLSrcRightTab01AllSerachList,
        c_.LabelRichEditPageControlGUIRightTab01HTMLSrcRightTab01All);
    row(RowCSSAll, c_.EditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
        c_.btnPageControllGUIRightTab02AllHTMLSrcTab07CSSSearch, false,
        fixed(c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS),
        plain(c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS),
        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSBottom, c_.LabelPanelPageControllGUIRightTab02AllHTMLSrcTab07CSS);
    row(RowJAVAAll, c_.EditPanelPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
        c_.btnPageControllGUIRightTab02AllHTMLSrcTab08JAVASearch, false,
        fixed(c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA),
        plain(c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA),
        c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab08JAVATopBottom,
        c_.LabelPanelPageControllGUIRightTab02AllHTMLSrcTab08JAVA);
}

void WebGuiSearchPage::runRow(int Row) { search_.run(rows_[std::size_t(Row)].Search); }

void WebGuiSearchPage::ListBoxClick(int Row)
{
    const PaneRow &r = rows_[std::size_t(Row)];
    if (!r.Info) return;
    TRichEdit *pane = r.ClickPane ? r.ClickPane() : nullptr;
    if (!pane) return;
    BatchListBoxClick(pane, r.Search.List, r.Info, c_.StatusBar);
}

void WebGuiSearchPage::connectButtons()
{
    for (int i = 0; i < RowCount; ++i) {
        const PaneRow &r = rows_[std::size_t(i)];
        connect(r.Button, &QAbstractButton::clicked, this, [this, i] { runRow(i); });
        if (r.Enter) connect(r.Search.KeyBox, &QLineEdit::returnPressed, this, [this, i] { runRow(i); });
        if (r.Info) connect(r.Search.List, &QListWidget::itemClicked, this, [this, i] { ListBoxClick(i); });
        if (r.Info) connect(r.Search.List, &QListWidget::currentRowChanged, this, [this, i](int) {
                // The arrow keys step from hit to hit, as clicks do.
                if (rows_[std::size_t(i)].Search.List->hasFocus()) ListBoxClick(i);
            });
    }
    // A pane whose text changed has stale hits; the search runs again on the new text.
    const auto watch = [this](TRichEdit *pane, int row, int panel, QListWidget *list) {
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(150);
        rerun_[std::size_t(row)] = timer;
        connect(timer, &QTimer::timeout, this, [this, row] {
            const PaneRow &r = rows_[std::size_t(row)];
            if (!Trim(toSjis(r.Search.KeyBox->text())).empty()) runRow(row);
        });
        pane->setOnChange([this, row, panel, list] { paneTextChanged(row, panel, list); });
    };
    watch(c_.MemoHTMLSrc, RowHTMLSrc, 2, c_.ListBoxHTMLSrc);
    watch(c_.MemoBody, RowBody, 0, c_.ListBoxBodySrc);
    c_.RichEditPageControlGUIRightEntireSrc->setOnChange([this] { RichEditPageControlGUIRightEntireSrcResizeRequest(); });

    connect(c_.btnSaveHTMLSr, &QPushButton::clicked, this, [this] { btnSaveHTMLSrClick(); });
    connect(c_.btnSaveHTMLSrWithName, &QPushButton::clicked, this, [this] { btnSaveHTMLSrWithNameClick(); });
    connect(c_.sbHTMLSrcbatchpaste, &QPushButton::clicked, this, [this] { sbHTMLSrcbatchpasteClick(); });
    connect(c_.btnBodyPaste, &QPushButton::clicked, this, [this] { btnBodyPasteClick(); });
    connect(c_.btnMakeBodyColor, &QPushButton::clicked, this, [this] { btnMakeBodyColorClick(); });
    connect(c_.btnHTMLBody2Black, &QPushButton::clicked, this, [this] { btnHTMLBody2BlackClick(); });
    connect(c_.ListBoxAnchor, &QListWidget::itemClicked, this, [this] { ListBoxAnchorClick(); });
    connect(c_.btnGUIEditJAVAPaste, &QPushButton::clicked, this, [this] { btnGUIEditJAVAPasteClick(); });
    connect(c_.btnGUIEditJAVAPClear, &QPushButton::clicked, this, [this] { btnGUIEditJAVAPClearClick(); });
    c_.PanelPageControlWebGUITopTab05CSSLEft->installEventFilter(this);

    connect(c_.btnAllHTMLSrcTab07IndentSearch, &QPushButton::clicked, this, [this] { btnAllHTMLSrcTab07IndentSearchClick(); });
    connect(c_.EditIndentListSearch, &QLineEdit::returnPressed, this, [this] { btnAllHTMLSrcTab07IndentSearchClick(); });
    connect(c_.btnAllHTMLSrcTab07IndentSearchNext, &QPushButton::clicked, this,
            [this] { btnAllHTMLSrcTab07IndentSearchNextClick(); });
    connect(c_.btnAllHTMLSrcTab07IndentResultSearchClick, &QPushButton::clicked, this,
            [this] { btnAllHTMLSrcTab07IndentResultSearchClickClick(); });
    connect(c_.btnAllHTMLSrcTab07IndentResultSearchNextClick, &QPushButton::clicked, this,
            [this] { btnAllHTMLSrcTab07IndentResultSearchNextClickClick(); });
    connect(c_.btnAllHTMLSrcTab07IndentSearchHTMLCOPY, &QPushButton::clicked, this,
            [this] { btnAllHTMLSrcTab07IndentSearchHTMLCOPYClick(); });
    connect(c_.ListBoxGUITDResultLine, &QListWidget::itemClicked, this, [this] { ListBoxGUITDResultLineClick(); });
    connect(c_.ListBoxGUISaveFinal, &QListWidget::itemClicked, this, [this] { ListBoxGUISaveFinalClick(); });
    connect(c_.btnMakeGUIOrgRTColor, &QPushButton::clicked, this, [this] { btnMakeGUIOrgRTColorClick(); });
    connect(c_.btnMakeGUIOrgRTBlack, &QPushButton::clicked, this, [this] { btnMakeGUIOrgRTBlackClick(); });
    connect(c_.btnMakeGUIROrgRTReload, &QPushButton::clicked, this, [this] { btnMakeGUIROrgRTReloadClick(); });
    connect(c_.btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrap, &QPushButton::clicked, this,
            [this] { btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrapClick(); });
    connect(c_.PageControlGUIRightTab02AllHTMLSrcRight, &QTabWidget::currentChanged, this,
            [this] { PageControlGUIRightTab02AllHTMLSrcRightChange(); });
    connect(c_.sbbtnEditSearcGUISrcKeyWordSquueze, &QToolButton::clicked, this,
            [this] { sbbtnEditSearcGUISrcKeyWordSquuezeClick(); });
    connect(c_.sbbtnEditSelectedyWordSquueze, &QToolButton::clicked, this, [this] { sbbtnEditSelectedyWordSquuezeClick(); });
    connect(c_.sbbtnEditSearcGUIIndentSquueze, &QToolButton::clicked, this, [this] { sbbtnEditSearcGUIIndentSquuezeClick(); });
    connect(c_.Splitter43, &QSplitter::splitterMoved, this, [this] { Splitter43CanResize(); });

    auto paste = [this](QAbstractButton *b, QLineEdit *e, std::function<void()> then) {
        connect(b, &QAbstractButton::clicked, this, [e, then] {
            e->setText(clipboardText());
            if (then) then();
        });
    };
    paste(c_.btnEditSearcGUISrcKeyWordPaste, c_.EditSearcGUISrcKeyWord, {});
    paste(c_.btnEditSearcGUIOrgSrcKeyWordPaste, c_.EditSearcGUIOrgSrcKeyWord, [this] {
        if (!Trim(toSjis(c_.EditSearcGUIOrgSrcKeyWord->text())).empty()) btnEditSearcGUIIOrgSrcKeyWordClick();
    });
    paste(c_.btnEditSearcGUIAfterKeyWordPaste, c_.EditPageControllGUIRightTab02AllHTMLSrcTab04Afterrc, {});
    paste(c_.btnWebGUIBatchSearchPaste, c_.EditWebGUIBatchSearch, {});
    paste(c_.btnPageControllGUIRightTab02AllHTMLSrcTab07CSSPaste, c_.EditPageControllGUIRightTab02AllHTMLSrcTab07CSS,
          [this] { btnPageControllGUIRightTab02AllHTMLSrcTab07CSSSearchClick(); });
    paste(c_.btnPageControllGUIRightTab02AllHTMLSrcTab08JAVAPasete, c_.EditPanelPageControllGUIRightTab02AllHTMLSrcTab08JAVA,
          [this] { btnPageControllGUIRightTab02AllHTMLSrcTab08JAVASearchClick(); });
    paste(c_.btnAllHTMLSrcTab07IndentSearchPaste, c_.EditIndentListSearch, {});
    connect(c_.btnAllHTMLSrcTab07IndentSearchClear, &QPushButton::clicked, this, [this] { c_.EditIndentListSearch->clear(); });
    connect(c_.btnListBoxGUISaveFinal, &QPushButton::clicked, this, [this] { c_.ListBoxGUISaveFinal->clear(); });
    connect(c_.btnPageControllGUIRightTab02AllHTMLSrcTab07CSSClear, &QPushButton::clicked, this,
            [this] { c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->clear(); });
    connect(c_.btnPageControllGUIRightTab02AllHTMLSrcTab08JAVAClear, &QPushButton::clicked, this,
            [this] { c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->clear(); });
}

bool WebGuiSearchPage::eventFilter(QObject *o, QEvent *e)
{
    if (o == c_.PanelPageControlWebGUITopTab05CSSLEft && e->type() == QEvent::Resize) {
        const auto *r = static_cast<QResizeEvent *>(e);
        if (r->oldSize().isValid() && r->oldSize() != r->size()) PanelPageControlWebGUITopTab05CSSLEftResize();
    }
    return QObject::eventFilter(o, e);
}

namespace {

// The first selected item's text, "" when none is selected.
QString firstSelected(const QListWidget *l)
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected()) return l->item(i)->text();
    return QString();
}

bool hasText(const TRichEdit *r) { return r->document()->characterCount() > 1; }

}  // namespace

// --- " HTMLｿｰｽ " and " Body " ------------------------------------------------------------------

void WebGuiSearchPage::paneTextChanged(int Row, int Panel, QListWidget *List)
{
    if (search_.running()) return;
    List->clear();
    TRichEdit *pane = rows_[std::size_t(Row)].Search.Target();
    setStatus(Panel, QStringLiteral(" [ %1 ]").arg(pane->width()));
    // Runs once the text has settled (a load colours the pane right after setting it).
    if (!Trim(toSjis(rows_[std::size_t(Row)].Search.KeyBox->text())).empty()) rerun_[std::size_t(Row)]->start();
}

void WebGuiSearchPage::MemoHTMLSrcResizeRequest() { paneTextChanged(RowHTMLSrc, 2, c_.ListBoxHTMLSrc); }
void WebGuiSearchPage::MemoBodyResizeRequest() { paneTextChanged(RowBody, 0, c_.ListBoxBodySrc); }

void WebGuiSearchPage::btnSaveHTMLSrClick()
{
    const std::string file =
        ctx_.BtnEditDownloadLocalFile ? toSjis(ctx_.BtnEditDownloadLocalFile->text().trimmed()) : std::string();
    if (file.empty()) {
        btnSaveHTMLSrWithNameClick();
        return;
    }
    if (refused(ctx_.state->GGUIFile)) return;
    const std::string text = c_.MemoHTMLSrc->text();
    if (text.empty()) {
        // Nothing to write: the page's file stays as it is.
        tell(QStringLiteral("保存するHTMLｿｰｽがありません（ﾌｧｲﾙはそのままです）\r\n【 %1 】").arg(q(file)));
        return;
    }
    const BackupSaveResult r = SavePageOverFile(file, text);
    if (r.Save.ok()) {
        setStatus(2, QStringLiteral(" Replace!! 【 %1 】").arg(q(file)));
    } else {
        setStatus(2, QString());
        tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(file), q(SaveStatusText(r))));
    }
}

// The source pane holds a page only when the editor loaded it whole.
bool WebGuiSearchPage::refused(const std::string &File)
{
    const QString why = SaveRefusal(ctx_.state->GActiveEditor, File);
    if (why.isEmpty()) return false;
    setStatus(2, QString());
    tell(why);
    return true;
}

void WebGuiSearchPage::btnSaveHTMLSrWithNameClick()
{
    if (refused(ctx_.state->GGUIFile)) return;
    const QString filter = QStringLiteral("HTMLﾌｧｲﾙ（ *.html/*.htm ） (*.html *.htm);;すべてのﾌｧｲﾙ（ *.* ） (*)");
    const std::string chosen = dialogs.save(c_.MemoHTMLSrc, "index.html", filter);
    if (chosen.empty()) return;
    std::string name = chosen;
    const std::string part = filePart(name);
    const std::size_t dot = part.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : LowerCase(part.substr(dot));
    if (ext != ".html" && ext != ".htm") {
        name = ChangeFileExtension(name, "html");
        // The dialog asked about the name chosen, not about this one.
        if (fileExists(name) &&
            !dialogs.askYesNo(c_.MemoHTMLSrc, QStringLiteral("「%1」は既に存在します。上書きしますか？").arg(q(name))))
            return;
    }
    const SaveResult r = SaveChosenFile(name, c_.MemoHTMLSrc->text());
    if (r.ok()) {
        NotePageWritten(r.Path);
        setStatus(2, QStringLiteral(" New!! 【 %1 】").arg(q(r.Path)));
    } else {
        BackupSaveResult b;
        b.Save = r;
        setStatus(2, QString());
        tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(name), q(SaveStatusText(b))));
    }
}

void WebGuiSearchPage::sbHTMLSrcbatchpasteClick() { c_.SearchKeyWord->setText(clipboardText()); }
void WebGuiSearchPage::btnBodyPasteClick() { c_.EditBodySearch->setText(clipboardText()); }

void WebGuiSearchPage::btnMakeBodyColorClick()
{
    if (hasText(c_.MemoBody)) ColorHTMLRichEdit(c_.MemoBody);
}

void WebGuiSearchPage::btnHTMLBody2BlackClick()
{
    if (hasText(c_.MemoBody)) PlainRichEditQuiet(c_.MemoBody);
}

void WebGuiSearchPage::ListBoxAnchorClick()
{
    const QString item = firstSelected(c_.ListBoxAnchor);
    if (!item.isEmpty()) c_.EditBodySearch->setText(item);
}

// --- " JAVA " ----------------------------------------------------------------------------------

void WebGuiSearchPage::btnGUIEditJAVAPasteClick() { c_.EditGUIJAVA->setText(clipboardText()); }
void WebGuiSearchPage::btnGUIEditJAVAPClearClick() { c_.EditGUIJAVA->clear(); }

void WebGuiSearchPage::PanelPageControlWebGUITopTab05CSSLEftResize()
{
    c_.ListBoxWebGUILeftTab05CSSTab03Search->clear();
    c_.ListBoxJAVASearch->clear();
}

// --- indentation result -------------------------------------------------------------------------

void WebGuiSearchPage::indentSearch(TListBox *List, int &Position, bool Next, bool ResetOnMiss)
{
    if (Next && (Position < 0 || Position > List->count() - 1)) Position = -1;
    const int r = ListBoxSearch(listItems(List), toSjis(c_.EditIndentListSearch->text()), Position);
    if (r >= 0) {
        List->setCurrentRow(r);
        List->scrollToItem(List->item(r));
        c_.LabelTDResultLine->setText(QString::number(r));
        Position = r;
    } else {
        c_.LabelTDResultLine->setText(QStringLiteral("見つかりません"));
        if (ResetOnMiss) Position = -1;
    }
}

void WebGuiSearchPage::btnAllHTMLSrcTab07IndentSearchClick()
{
    indentSearch(c_.ListBoxGUISaveFinal, ctx_.state->GIndentSearchIndex, false, false);
}

void WebGuiSearchPage::btnAllHTMLSrcTab07IndentSearchNextClick()
{
    indentSearch(c_.ListBoxGUISaveFinal, ctx_.state->GIndentSearchIndex, true, true);
}

void WebGuiSearchPage::btnAllHTMLSrcTab07IndentResultSearchClickClick()
{
    indentSearch(c_.ListBoxGUITDSrcLine, GIndentTraceSearchIndex, false, false);
}

void WebGuiSearchPage::btnAllHTMLSrcTab07IndentResultSearchNextClickClick()
{
    indentSearch(c_.ListBoxGUITDSrcLine, GIndentTraceSearchIndex, true, false);
}

void WebGuiSearchPage::btnAllHTMLSrcTab07IndentSearchHTMLCOPYClick()
{
    if (c_.ListBoxGUITDResultLine->count() == 0) return;
    std::string head;
    TProfDHTMLEdit2 *e = ctx_.state->GActiveEditor;
    if (e && (e->IsHttpDocument() || !e->GetDocumentFileName().isEmpty()) && e->DocumentReady())
        head = toSjis(e->GetHeadSource());
    else
        head = HeadOfPage(ctx_.state->GPageSource);
    const std::string text =
        IndentResultAsHtml(listItems(c_.ListBoxGUISaveFinal), head, page_.GIndentBodyTag, listItems(c_.ListBoxGUISaveList));
    QApplication::clipboard()->setText(q(text));
}

void WebGuiSearchPage::ListBoxGUITDResultLineClick()
{
    const QString s = firstSelected(c_.ListBoxGUITDResultLine);
    const int tab = s.indexOf(QLatin1Char('\t'));
    c_.EditIndentListSearch->setText(tab < 0 ? QString() : s.mid(tab + 1));
}

void WebGuiSearchPage::ListBoxGUISaveFinalClick()
{
    // The clicked line is what the user wants to find again.
    c_.EditIndentListSearch->setText(firstSelected(c_.ListBoxGUISaveFinal));
}

// --- the selected object's source ---------------------------------------------------------------

void WebGuiSearchPage::btnMakeGUIOrgRTColorClick()
{
    TRichEdit *pane = c_.RichEditPageControlGUIRightAltEntireSrc;
    if (!hasText(pane)) return;
    ColorHTMLRichEdit(pane);
    if (pane->text().find("{\\") == std::string::npos) return;
    // The pane showed colouring codes as text: a second later it starts again from the editor's
    // body, while the window goes on.
    if (!colourRetry_) {
        colourRetry_ = new QTimer(this);
        colourRetry_->setSingleShot(true);
        colourRetry_->setInterval(kColourRetryMs);
        connect(colourRetry_, &QTimer::timeout, this, [this] {
            TProfDHTMLEdit2 *e = ctx_.state->GActiveEditor;
            if (!e || !e->DocumentReady()) return;
            TRichEdit *p = c_.RichEditPageControlGUIRightAltEntireSrc;
            p->setText(toSjis(e->GetBodySource()));
            ColorHTMLRichEdit(p);
        });
    }
    colourRetry_->start();
}

void WebGuiSearchPage::btnMakeGUIOrgRTBlackClick()
{
    if (hasText(c_.RichEditPageControlGUIRightAltEntireSrc)) PlainRichEditQuiet(c_.RichEditPageControlGUIRightAltEntireSrc);
}

void WebGuiSearchPage::btnMakeGUIROrgRTReloadClick() { page_.GAltBodySourceShown = false; }

void WebGuiSearchPage::btnPanelPageControlGUIOrgRightTab02AllHTMLSrcTopWordWrapClick()
{
    bool &wrap = ctx_.state->GGUIOrgSrcWordWrap;
    wrap = !wrap;
    TRichEdit *pane = c_.RichEditPageControlGUIRightOrgEntireSrc;
    pane->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void WebGuiSearchPage::PageControlGUIRightTab02AllHTMLSrcRightChange()
{
    QWidget *t = c_.PageControlGUIRightTab02AllHTMLSrcRight->currentWidget();
    if (t == c_.PageControllGUIRightTab02AllHTMLSrcTab07CSS)
        c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->setText(c_.MemoGUICSS->text());
    else if (t == c_.PageControllGUIRightTab02AllHTMLSrcTab08JAVA)
        c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->setText(c_.MemoGUIJAVA->text());
}

// --- folding panels -----------------------------------------------------------------------------

void WebGuiSearchPage::setFoldHeights(TPanel *A, int HeightA, TPanel *B, int HeightB)
{
    for (auto [panel, h] : {std::pair{A, HeightA}, std::pair{B, HeightB}}) {
        auto *split = qobject_cast<QSplitter *>(panel->parentWidget());
        if (!split) continue;
        QList<int> sizes = split->sizes();
        const int i = split->indexOf(panel);
        if (i < 0 || sizes.size() < 2) continue;
        int total = 0;
        for (int s : sizes) total += s;
        if (total <= 0) total = split->height();
        sizes[i] = h;
        sizes[1 - i] = std::max(0, total - h);
        split->setSizes(sizes);
    }
}

void WebGuiSearchPage::sbbtnEditSearcGUISrcKeyWordSquuezeClick()
{
    setFoldHeights(c_.PanelPageControlGUIRightTab02AllHTMLSrcTop, 8,
                   c_.PanelPanelPanelPageControllGUIRightTab02AllHTMLSrcTab07TempTop, 10);
}

void WebGuiSearchPage::sbbtnEditSelectedyWordSquuezeClick()
{
    setFoldHeights(c_.PanelPageControlGUIRightTab02AllHTMLSrcTop, 8, c_.PanelPageControlGUIRightTab03OrgHTMLSrcTop, 10);
}

void WebGuiSearchPage::sbbtnEditSearcGUIIndentSquuezeClick()
{
    setFoldHeights(c_.PanelPanelPanelPageControllGUIRightTab02AllHTMLSrcTab07TempTop, 8,
                   c_.PanelPageControlGUIRightTab03OrgHTMLSrcTop, 10);
}

void WebGuiSearchPage::RichEditPageControlGUIRightEntireSrcResizeRequest()
{
    if (!search_.running()) c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab02SearchList->clear();
}

void WebGuiSearchPage::Splitter43CanResize() { c_.ListBoxPageControllGUIOrgRightTab02AllHTMLSrcTab02SearchList->clear(); }
