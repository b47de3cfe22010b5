#include "webgui/BatchSearch.h"

#include "platform/Controls.h"
#include "platform/QtSjis.h"
#include "platform/RichEditTools.h"
#include "platform/TRichEdit.h"
#include "text/StrUtils.h"
#include "text/StringList.h"
#include "webgui/WebGuiText.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

// Restores the override cursor and the pane's change handler on every way out.
struct RunScope {
    bool &flag;
    TRichEdit *pane = nullptr;
    TRichEdit::TNotifyEvent handler;
    explicit RunScope(bool &f) : flag(f)
    {
        flag = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // The search's own colouring is no change of the text.
    void detach(TRichEdit *p)
    {
        pane = p;
        handler = p->onChange();
        p->setOnChange({});
    }
    ~RunScope()
    {
        if (pane) pane->setOnChange(handler);
        QApplication::restoreOverrideCursor();
        flag = false;
    }
};

}  // namespace

void PlainRichEditQuiet(TRichEdit *RichEdit)
{
    if (!RichEdit) return;
    const TRichEdit::TNotifyEvent handler = RichEdit->onChange();
    RichEdit->setOnChange({});
    PlainRichEdit(RichEdit);
    RichEdit->setOnChange(handler);
}

bool TBatchSearch::run(const BatchSearchRow &Row)
{
    if (running_ || !Row.KeyBox) return false;
    const std::string keywords = toSjis(Row.KeyBox->text());
    if (Trim(keywords).empty()) return false;
    RunScope scope(running_);
    if (Row.Before) Row.Before();
    if (Row.Prepare) Row.Prepare();
    const std::vector<std::string> words = EdictScan(keywords);
    words_.clear();
    for (const std::string &w : words) words_.add(w);
    if (words.empty()) return true;
    TRichEdit *pane = Row.Target ? Row.Target() : nullptr;
    if (!pane) return true;
    scope.detach(pane);
    // Every run starts from an empty list, also when its first word is empty.
    if (Row.List) Row.List->clear();
    const int n = std::min<int>(int(words.size()), kBatchSearchWords);
    for (int i = 0; i < n; ++i) FindAndColorText(pane, words[std::size_t(i)], Row.List, i);
    if (Row.After) Row.After();
    return true;
}

void BatchListBoxClick(TRichEdit *RichEdit, QListWidget *ListBox, QLabel *InfoLabel, TStatusBar *StatusBar)
{
    if (!ListBox || ListBox->count() == 0) return;
    QListWidgetItem *item = nullptr;
    for (int i = 0; i < ListBox->count() && !item; ++i)
        if (ListBox->item(i)->isSelected()) item = ListBox->item(i);
    if (!item) return;
    const QString text = item->text();
    if (InfoLabel) InfoLabel->setText(text);
    int line = 0, column = 0;
    if (!ParseHitLine(toSjis(text), line, column) || !RichEdit) return;
    GotoLineColumn(RichEdit, line - 1, column - 1);
    QCoreApplication::processEvents();
    ListBox->setFocus();
    ScrollLineToTop(RichEdit, line);
    if (StatusBar) StatusBar->setPanelText(2, QStringLiteral(" 行[  %1 ]    列[ %2 ]").arg(line).arg(column));
}
