#include "webgui/WebGuiSheetsPage.h"

#include "htmledit/TProfDHTMLEdit2.h"
#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "state/AppState.h"
#include "text/FileUtils.h"
#include "text/HtmlRewrite.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/UrlMap.h"
#include "text/WebFetch.h"
#include "webgui/SheetAggregation.h"
#include "webgui/WebGuiPage.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QPainter>
#include <set>

namespace {

QString q(const std::string &sjis) { return fromSjis(sjis); }
std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

bool fileExists(const std::string &p) { return !p.empty() && QFileInfo(fromSjis(p)).isFile(); }

QString firstSelected(const QListWidget *l)
{
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected()) return l->item(i)->text();
    return QString();
}

std::vector<std::string> listItems(const QListWidget *l)
{
    std::vector<std::string> items;
    for (int i = 0; i < l->count(); ++i) items.push_back(toSjis(l->item(i)->text()));
    return items;
}

void setItems(QListWidget *l, const std::vector<std::string> &items)
{
    l->clear();
    for (const std::string &s : items) l->addItem(q(s));
}

std::string banner(const std::string &name) { return sj("/*********■■【 ") + name + sj(" 】●● **********/"); }
std::string separator() { return "/* " + std::string(77, '=') + " */"; }
std::string notOnServer()
{
    return sj("Ｗｅｂファイルがサイトのサーバーに存在しないため、ダウンロードできませんでした");
}

// The scheme and host of a URL with a "/" after them.
std::string siteRoot(const std::string &url)
{
    const std::size_t s = url.find("://");
    if (s == std::string::npos) return "";
    const std::size_t slash = url.find('/', s + 3);
    return slash == std::string::npos ? url + "/" : url.substr(0, slash + 1);
}

// The text between "【" and "】" of a caption, trimmed.
std::string captionName(const std::string &caption)
{
    std::string c = caption;
    const std::string open = sj("【"), close = sj("】");
    if (const std::size_t a = c.find(open); a != std::string::npos) c = c.substr(a + open.size());
    if (const std::size_t z = c.rfind(close); z != std::string::npos) c = c.substr(0, z);
    return Trim(c);
}

// Removes every occurrence of Sub, letters of either case.
std::string removeNoCase(const std::string &s, const std::string &sub)
{
    if (sub.empty()) return s;
    std::string out;
    const std::string low = LowerCase(s), lsub = LowerCase(sub);
    std::size_t from = 0;
    for (std::size_t at; (at = low.find(lsub, from)) != std::string::npos; from = at + sub.size()) out += s.substr(from, at - from);
    return out + s.substr(from);
}

struct BusyScope {
    bool &flag;
    explicit BusyScope(bool &f) : flag(f) { flag = true; }
    ~BusyScope() { flag = false; }
};

// A pane's text as its lines, each ending in CRLF, so that a block appended after it starts
// on a line of its own.
std::string paneLines(const TRichEdit *pane)
{
    std::string t = pane->text();
    if (!t.empty() && t.back() != '\n') t += "\r\n";
    return t;
}

QColor rgb(unsigned v) { return QColor(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)); }

}  // namespace

// --- colour rows ------------------------------------------------------------------------------

void TColorRowDelegate::paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &i) const
{
    const QString text = i.data(Qt::DisplayRole).toString();
    const std::string row = toSjis(text);
    const std::size_t blank = row.find(' ');
    if (row.empty() || blank == 0) return;
    const RowColors rc = ColorRowColors(row);
    p->save();
    p->fillRect(o.rect, rgb(rc.Back));
    p->setPen(rgb(rc.Text));
    p->drawText(o.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    p->restore();
}

QSize TColorRowDelegate::sizeHint(const QStyleOptionViewItem &o, const QModelIndex &i) const
{
    return QSize(QStyledItemDelegate::sizeHint(o, i).width(), height_);
}

// --- the page ---------------------------------------------------------------------------------

WebGuiSheetsPage::WebGuiSheetsPage(WebGuiControls &c, WebGuiPage &page, WebGuiToolsContext ctx, QObject *parent)
    : QObject(parent), c_(c), page_(page), ctx_(std::move(ctx))
{
    const QStringList charsets{QStringLiteral("自動"), QStringLiteral("EUC-JP"), QStringLiteral("UTF-8"),
                               QStringLiteral("Shift_JIS"), QStringLiteral("ISO(JIS)"), QStringLiteral("そのまま")};
    if (c_.RadioGroupWebGUICSS->itemCount() == 0) c_.RadioGroupWebGUICSS->setItems(charsets);
    if (c_.RadioGroupWebGUIJAVA->itemCount() == 0) {
        QStringList j = charsets;
        j[3] = QStringLiteral("Shitt_JIS");
        c_.RadioGroupWebGUIJAVA->setItems(j);
    }
    for (TRadioGroup *g : {c_.RadioGroupWebGUICSS, c_.RadioGroupWebGUIJAVA})
        if (g->itemIndex() < 0) g->setItemIndex(0);
    c_.PageControlPanelPageControlWebGUITopTab05CSS->hide();
    c_.EditGUISelectedCSS->setReadOnly(true);
    c_.EditlGUISelectedJAVA->setReadOnly(true);
    c_.ListBoxGUICSSColorList->setItemDelegate(new TColorRowDelegate(16, c_.ListBoxGUICSSColorList));
    c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop->setItemDelegate(
        new TColorRowDelegate(12, c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop));
    c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop->setMaximumHeight(160);

    auto click = [this](QListWidget *l, void (WebGuiSheetsPage::*h)()) {
        connect(l, &QListWidget::itemClicked, this, [this, h] { (this->*h)(); });
    };
    auto button = [this](QAbstractButton *b, void (WebGuiSheetsPage::*h)()) {
        connect(b, &QAbstractButton::clicked, this, [this, h] { (this->*h)(); });
    };
    click(c_.ListBoxGUICSS, &WebGuiSheetsPage::ListBoxGUICSSClick);
    click(c_.ListBoxGUIJAVA, &WebGuiSheetsPage::ListBoxGUIJAVAClick);
    click(c_.ListBoxGUIJAVAALll, &WebGuiSheetsPage::ListBoxGUIJAVAALllClick);
    click(c_.ListBoxGUICSSColorList, &WebGuiSheetsPage::ListBoxGUICSSColorListClick);
    click(c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop,
          &WebGuiSheetsPage::ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTopClick);
    button(c_.btnMakeCSSText, &WebGuiSheetsPage::btnMakeCSSTextClick);
    button(c_.btnMakeJAVAText, &WebGuiSheetsPage::btnMakeJAVATextClick);
    button(c_.btnClearGUICSS, &WebGuiSheetsPage::btnClearGUICSSClick);
    button(c_.btnClearGUIJAVA, &WebGuiSheetsPage::btnClearGUIJAVAClick);
    button(c_.btnAppendCSS, &WebGuiSheetsPage::btnAppendCSSClick);
    button(c_.tnAppendJAVA, &WebGuiSheetsPage::tnAppendJAVAClick);
    button(c_.btnSaveGUIJavFile, &WebGuiSheetsPage::btnSaveGUIJavFileClick);
    button(c_.btnGetGUIColor, &WebGuiSheetsPage::btnGetGUIColorClick);
    button(c_.btnClearGUIColor, &WebGuiSheetsPage::btnClearGUIColorClick);
    button(c_.btnGetGUICSSFile, &WebGuiSheetsPage::btnGetGUICSSFileClick);
    button(c_.btnSaveGUICSSFile, &WebGuiSheetsPage::btnSaveGUICSSFileClick);
    button(c_.btnGUIEditCSSPaste, &WebGuiSheetsPage::btnGUIEditCSSPasteClick);
    button(c_.btnGUIEditCSSPClear, &WebGuiSheetsPage::btnGUIEditCSSPClearClick);
    page_.LocalPageOpened = [this](const std::string &file) { localPageOpened(file); };
}

void WebGuiSheetsPage::tell(const QString &text)
{
    if (ctx_.message) ctx_.message(text);
}

WebGuiSheetsPage::Doc WebGuiSheetsPage::document() const
{
    Doc d;
    TProfDHTMLEdit2 *e = ctx_.state->GActiveEditor;
    if (e && e->IsHttpDocument()) {
        d.http = true;
        d.file = toSjis(e->GetDocumentFileName());
        d.base = toSjis(e->GetBaseURL());
        if (d.base.empty()) d.base = siteRoot(d.file);
        return d;
    }
    if (e && !e->GetDocumentFileName().isEmpty() && !IsHttpUrl(toSjis(e->GetDocumentFileName()))) {
        d.file = toSjis(e->GetDocumentFileName());
        return d;
    }
    // No document in the editor yet: the page the WebGUI page opened.
    if (!ctx_.state->GGUIFile.empty()) {
        d.file = ctx_.state->GGUIFile;
        return d;
    }
    const std::string url = toSjis(c_.ComboBoxGUIEditorURL->currentText().trimmed());
    if (IsHttpUrl(url)) {
        d.http = true;
        d.file = url;
        d.base = siteRoot(url);
    }
    return d;
}

std::string WebGuiSheetsPage::fetch(const std::string &Url)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string text = FetchTextWaiting(Url);
    QApplication::restoreOverrideCursor();
    return text;
}

void WebGuiSheetsPage::appendText(TRichEdit *pane, const std::string &text) { pane->setText(paneLines(pane) + text); }

std::string WebGuiSheetsPage::ComprehensiveListBoxGUICSS(const std::string &Url)
{
    AppState &st = *ctx_.state;
    std::string ref = Url, text;
    const Doc d = document();
    if (d.http) {
        st.list(SharedList::GFileLines).clear();
        const std::string abs = ResolveSheetReference(ref, d.file, d.base, page_.GGUIBaseHref, false);
        c_.EditGUISelectedCSS->setText(q(abs));
        text = fetch(abs);
        if (IsHtmlPageText(text))
            return banner(ref) + "\r\n\r\n" + notOnServer() + "\r\n" + separator() + "\r\n\r\n";
        ref = abs;
        if (ctx_.ComboBoxURLDirect) ctx_.ComboBoxURLDirect->setEditText(q(abs));
        const int slash = LastSlashPosB(abs);
        c_.EditGUICSS->setText(q(abs.substr(0, std::size_t(std::max(slash, 0)))));
    } else if (IsHttpUrl(ref)) {
        text = fetch(ref);
        if (IsHtmlPageText(text)) return "";
    } else {
        const std::string orig = ref;
        ref = CombineLocalPath(d.file, ref);
        if (!fileExists(ref)) {
            tell(q(st.GMsgPathNotFound) + QStringLiteral("\r\n\r\n【 ") + q(ref) + QStringLiteral(" 】\r\n\r\n") +
                 q(st.GMsgSearchOtherPath));
            if (ctx_.ComboBoxURLDirect)
                ctx_.ComboBoxURLDirect->setEditText(c_.ComboBoxGUIEditorURL->currentText() + q(orig));
            return "";
        }
        text = LoadTextFile(ref);
    }
    if (text.empty()) return "";
    const std::string converted = ConvertSheetText(text, std::max(0, c_.RadioGroupWebGUICSS->itemIndex()));
    st.list(SharedList::GFileLines).setText(converted);
    return SheetFileBlock(ref, converted);
}

std::string WebGuiSheetsPage::ComprehensiveListBoxGUIJAVA(const std::string &Url)
{
    AppState &st = *ctx_.state;
    std::string ref = Url, text;
    const Doc d = document();
    if (d.http) {
        const std::string abs = ResolveSheetReference(ref, d.file, d.base, page_.GGUIBaseHref, true);
        ref = abs;
        c_.EditlGUISelectedJAVA->setText(q(abs));
        st.list(SharedList::GFileLines).clear();
        text = fetch(abs);
        if (IsHtmlPageText(text)) return banner(abs) + "\r\n\r\n" + notOnServer() + "\r\n\r\n";
        if (ctx_.ComboBoxURLDirect) ctx_.ComboBoxURLDirect->setEditText(q(abs));
    } else if (IsHttpUrl(ref)) {
        text = fetch(ref);
        if (IsHtmlPageText(text)) return "";
    } else {
        ref = CombineLocalPath(d.file, ref);
        if (!fileExists(ref)) return "";
        text = LoadTextFile(ref);
    }
    if (text.empty()) return "";
    const std::string converted = ConvertSheetText(text, std::max(0, c_.RadioGroupWebGUIJAVA->itemIndex()));
    st.list(SharedList::GFileLines).setText(converted);
    return SheetFileBlock(ref, converted);
}

void WebGuiSheetsPage::ListBoxGUICSSClick()
{
    if (busy_) return;
    BusyScope busy(busy_);
    c_.MemoGUICSSIndiv->clear();
    if (c_.ListBoxGUICSS->count() == 0) return;
    c_.ListBoxWebGUILeftTab05CSSTab03Search->clear();
    const std::string ref = toSjis(firstSelected(c_.ListBoxGUICSS));
    if (ref.empty()) return;
    c_.ListBoxGUICSSColorList->clear();
    c_.ListBoxGUICSSFile->clear();
    const std::string text = ComprehensiveListBoxGUICSS(ref);
    c_.MemoGUICSSIndiv->setText(text);
    appendText(c_.MemoGUICSS, text);
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->setText(c_.MemoGUICSS->text());
    c_.PageControlWebGUITopTab05CSSRight->setCurrentWidget(c_.PageControlWebGUITopTab05CSSRightTab02Indiv);
    c_.LabelGUISelectedCSS->setText(QStringLiteral("【 ") + q(ref) + QStringLiteral(" 】"));
    btnGetGUIColorClick();
}

void WebGuiSheetsPage::ListBoxGUIJAVAClick()
{
    if (busy_) return;
    BusyScope busy(busy_);
    c_.MemoGUIJJavaIndiv->clear();
    if (c_.ListBoxGUIJAVA->count() == 0) return;
    const std::string ref = toSjis(firstSelected(c_.ListBoxGUIJAVA));
    if (ref.empty()) return;
    std::string text = ComprehensiveListBoxGUIJAVA(ref);
    if (c_.CheckBoxFixJS->isChecked()) text = FixJS(text);
    c_.MemoGUIJJavaIndiv->setText(text);
    appendText(c_.MemoGUIJAVA, c_.MemoGUIJJavaIndiv->text());
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->setText(c_.MemoGUIJAVA->text());
    c_.LabelGUISelectedJAVA->setText(QStringLiteral("【 ") + q(ref) + QStringLiteral(" 】"));
    c_.PageControlGUIJAVA->setCurrentWidget(c_.PageControlGUIJAVATab02JavaIndiv);
}

void WebGuiSheetsPage::ListBoxGUIJAVAALllClick()
{
    const std::string f = toSjis(firstSelected(c_.ListBoxGUIJAVAALll));
    if (f.empty()) return;
    c_.LabelGUISelectedJAVA->setText(QStringLiteral("【 ") + q(f) + QStringLiteral(" 】"));
    if (!IsHttpUrl(f) && fileExists(f)) {
        const std::string text = LoadTextFile(f);
        ctx_.state->list(SharedList::GFileLines).setText(text);
        c_.MemoGUIJJavaIndiv->setText(SheetFileBlock(f, text));
    }
    c_.PageControlGUIJAVA->setCurrentWidget(c_.PageControlGUIJAVATab02JavaIndiv);
}

void WebGuiSheetsPage::btnMakeCSSTextClick()
{
    if (busy_ || c_.ListBoxGUICSS->count() == 0) return;
    BusyScope busy(busy_);
    c_.ListBoxWebGUILeftTab05CSSTab03Search->clear();
    std::string all = paneLines(c_.MemoGUICSSInner);
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->clear();
    for (const std::string &item : listItems(c_.ListBoxGUICSS))
        if (!item.empty()) all += ComprehensiveListBoxGUICSS(item);
    c_.MemoGUICSS->setText(all);
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->setText(all);
    c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->setText(all);
    c_.PageControlWebGUITopTab05CSSRight->setCurrentWidget(c_.PageControlWebGUITopTab05CSSRightTab01AllText);
}

void WebGuiSheetsPage::btnMakeJAVATextClick()
{
    // Every listed script is joined (the hit list is not a list of scripts).
    if (busy_ || c_.ListBoxGUIJAVA->count() == 0) return;
    BusyScope busy(busy_);
    c_.ListBoxJAVASearch->clear();
    std::string all = paneLines(c_.MemoGUIJJavaIndivInner);
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->clear();
    for (const std::string &item : listItems(c_.ListBoxGUIJAVA))
        if (!item.empty()) all += ComprehensiveListBoxGUIJAVA(item);
    c_.MemoGUIJAVA->setText(all);
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->setText(all);
    c_.PageControlGUIJAVA->setCurrentWidget(c_.PageControlGUIJAVATab01JavaAll);
}

void WebGuiSheetsPage::btnClearGUICSSClick()
{
    c_.MemoGUICSS->setText(paneLines(c_.MemoGUICSSInner));
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab07CSS->clear();
}

void WebGuiSheetsPage::btnClearGUIJAVAClick()
{
    c_.MemoGUIJAVA->setText(paneLines(c_.MemoGUIJJavaIndivInner));
    c_.RichEditPageControllGUIRightTab02AllHTMLSrcTab08JAVA->clear();
}

void WebGuiSheetsPage::btnAppendCSSClick()
{
    const std::string entry = ReplaceAll(toSjis(c_.EditGUICSS->text()), " ", "");
    if (!entry.empty()) {
        c_.ListBoxGUICSS->addItem(q(entry));
        return;
    }
    const std::string chosen = dialogs.open(c_.ListBoxGUICSS, QStringLiteral("CSSﾌｧｲﾙ (*.css);;すべてのﾌｧｲﾙ (*)"));
    if (chosen.empty()) return;
    const std::string folder = CaptionFolder(toSjis(c_.LabelGUICSS->text()));
    if (folder.empty()) return;
    c_.ListBoxGUICSS->addItem(q(removeNoCase(chosen, folder)));
    setItems(c_.ListBoxGUICSS, TidySheetList(listItems(c_.ListBoxGUICSS)));
}

void WebGuiSheetsPage::tnAppendJAVAClick()
{
    const std::string entry = ReplaceAll(toSjis(c_.EditGUIJAVA->text()), " ", "");
    if (!entry.empty()) {
        c_.ListBoxGUIJAVA->addItem(q(entry));
        return;
    }
    const std::string chosen = dialogs.open(c_.ListBoxGUIJAVA, QStringLiteral("JAVAﾌｧｲﾙ (*.js);;すべてのﾌｧｲﾙ (*)"));
    if (chosen.empty()) return;
    const std::string folder = CaptionFolder(toSjis(c_.LabelGUIJAVA->text()));
    if (!folder.empty()) c_.ListBoxGUIJAVA->addItem(q(removeNoCase(chosen, folder)));
}

void WebGuiSheetsPage::btnSaveGUIJavFileClick()
{
    const std::string text = c_.MemoGUIJJavaIndiv->text();
    if (text.empty()) return;
    std::string preset;
    if (!c_.LabelGUISelectedJAVA->text().isEmpty())
        preset = ChangeFileExtension(filePart(captionName(toSjis(c_.LabelGUISelectedJAVA->text()))), "js");
    const std::string chosen = dialogs.save(c_.MemoGUIJJavaIndiv, preset, QStringLiteral("JAVAﾌｧｲﾙ (*.js);;すべてのﾌｧｲﾙ (*)"));
    if (chosen.empty()) return;
    const SaveResult r = SaveChosenFile(ChangeFileExtension(chosen, "js"), text);
    BackupSaveResult b;
    b.Save = r;
    if (!r.ok()) tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(r.Path), q(SaveStatusText(b))));
}

int WebGuiSheetsPage::GUICSSLocalFile2TextView(const std::string &BaseFile, int, TListBox *ListBox, int)
{
    if (!ListBox || ListBox->count() == 0) return -1;
    const LocalSheetsView v = LocalSheetsOfPage(BaseFile, listItems(ListBox));
    if (ctx_.ListBoxObtainedCSS)
        for (const std::string &l : v.Obtained) ctx_.ListBoxObtainedCSS->addItem(q(l));
    if (ctx_.ListBoxCSSLocalFilename)
        for (const std::string &l : v.LocalNames) ctx_.ListBoxCSSLocalFilename->addItem(q(l));
    setItems(c_.ListBoxGUICSSAll, v.Sheets);
    setItems(ListBox, v.Sheets);
    c_.MemoGUICSS->setText(v.Text);
    c_.RichEditPageControlGUIRightTab01HTMLSrcRightTab01All->setText(v.Text);
    return -1;
}

void WebGuiSheetsPage::localPageOpened(const std::string &FileName)
{
    TListBox *refs = ctx_.ListBoxComprehensiveCSSList;
    if (!refs) return;
    page_.GetCSS(refs);
    TProfDHTMLEdit2 *e = ctx_.state->GActiveEditor;
    if ((!e || !e->IsHttpDocument()) && refs->count() > 0) GUICSSLocalFile2TextView(FileName, 0, refs, 0);
}

// --- colours and references of a sheet ------------------------------------------------------------

void WebGuiSheetsPage::btnGetGUIColorClick()
{
    const bool dup = c_.CheckBoxCSSColorDupIgnore->isChecked();
    c_.ListBoxGUICSSColorList->clear();
    c_.ListBoxGUICSSFile->clear();
    QWidget *tab = c_.PageControlWebGUITopTab05CSSRight->currentWidget();
    std::string text;
    if (tab == c_.PageControlWebGUITopTab05CSSRightTab01AllText) text = c_.MemoGUICSS->text();
    else if (tab == c_.PageControlWebGUITopTab05CSSRightTab02Indiv) text = c_.MemoGUICSSIndiv->text();
    else if (tab == c_.PageControlWebGUITopTab05CSSRightTab03Inner) {
        text = c_.MemoGUICSSInner->text();
        for (const char *t : {"<STYLE>", "</STYLE>", "<style>", "</style>"}) text = ReplaceAll(text, t, "");
        text = DeleteBetween(DeleteBetween(text, "<STYLE ", ">"), "<style ", ">");
    }
    text = DeleteBetween(text, "/*", "*/");
    text = ReplaceAll(text, "\"\\\"}\\\"\"", "");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CssColorRows rows = ExtractCssColors(text, dup);
    for (const std::string &r : rows.Colors) c_.ListBoxGUICSSColorList->addItem(q(r));
    for (const std::string &v : rows.Values) c_.ListBoxGUICSSFile->addItem(q(v));
    c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop->clear();
    for (const std::string &r : rows.Colors) c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop->addItem(q(r));
    QApplication::restoreOverrideCursor();
}

void WebGuiSheetsPage::btnClearGUIColorClick()
{
    c_.ListBoxGUICSSColorList->clear();
    c_.ListBoxGUICSSFile->clear();
}

void WebGuiSheetsPage::ListBoxGUICSSColorListClick()
{
    std::string name, rest;
    if (!ParseColorRow(toSjis(firstSelected(c_.ListBoxGUICSSColorList)), name, rest)) return;
    c_.EditGUICSS->setText(q(rest.empty() ? name : rest));
    QApplication::clipboard()->setText(q(name));
    c_.EditCSSColor->setText(q(name));
}

void WebGuiSheetsPage::ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTopClick()
{
    std::string name, rest;
    if (!ParseColorRow(toSjis(firstSelected(c_.ListBoxPageControllGUIRightTab02AllHTMLSrcTab07CSSTop)), name, rest))
        return;
    const std::string lower = LowerCase(name);
    c_.EditPageControllGUIRightTab02AllHTMLSrcTab07CSS->setText(q(rest.empty() ? lower : rest));
    QApplication::clipboard()->setText(q(lower));
}

void WebGuiSheetsPage::btnGetGUICSSFileClick()
{
    QWidget *tab = c_.PageControlWebGUITopTab05CSSRight->currentWidget();
    std::string text;
    if (tab == c_.PageControlWebGUITopTab05CSSRightTab02Indiv) text = c_.MemoGUICSSIndiv->text();
    else if (tab == c_.PageControlWebGUITopTab05CSSRightTab03Inner) text = c_.MemoGUICSSInner->text();
    if (text.empty()) return;
    const std::string base = toSjis(c_.EditGUICSS->text());
    AppState &st = *ctx_.state;
    st.list(SharedList::GCssUrlList).clear();
    st.list(SharedList::GCssTextLines).clear();
    std::set<std::string> found;
    for (auto [left, right] : {std::pair{"@import ", ";"}, std::pair{"url(", ")"}}) {
        std::vector<std::string> targets;
        ListCssRefUrls(text, left, right, base, targets, 0);
        for (const std::string &t : targets)
            if (PosText(".css", LowerCase(t)) > 0) found.insert(Trim(t));
    }
    for (const std::string &u : found) {
        st.list(SharedList::GCssUrlList).add(u);
        c_.ListBoxGUICSS->addItem(q(u));
    }
    setItems(c_.ListBoxGUICSS, TidySheetList(listItems(c_.ListBoxGUICSS)));
}

void WebGuiSheetsPage::btnSaveGUICSSFileClick()
{
    QWidget *tab = c_.PageControlWebGUITopTab05CSSRight->currentWidget();
    const bool all = tab == c_.PageControlWebGUITopTab05CSSRightTab01AllText;
    if (!all && tab != c_.PageControlWebGUITopTab05CSSRightTab02Indiv) return;
    const std::string text = all ? c_.MemoGUICSS->text() : c_.MemoGUICSSIndiv->text();
    if (text.empty()) return;
    std::string preset;
    if (!c_.LabelGUISelectedCSS->text().trimmed().isEmpty())
        preset = ChangeFileExtension(filePart(UrlToLocalFileName(toSjis(c_.LabelGUISelectedCSS->text()))), "css");
    const std::string chosen = dialogs.save(c_.MemoGUICSS, preset, QStringLiteral("CSSﾌｧｲﾙ (*.css);;すべてのﾌｧｲﾙ (*)"));
    if (chosen.empty()) return;
    const SaveResult r = SaveChosenFile(all ? ChangeFileExtension(chosen, "css") : chosen, text);
    BackupSaveResult b;
    b.Save = r;
    if (!r.ok()) tell(QStringLiteral("保存できませんでした【 %1 】\r\n%2").arg(q(r.Path), q(SaveStatusText(b))));
}

void WebGuiSheetsPage::btnGUIEditCSSPasteClick() { c_.EditGUICSS->setText(QApplication::clipboard()->text()); }
void WebGuiSheetsPage::btnGUIEditCSSPClearClick() { c_.EditGUICSS->clear(); }
