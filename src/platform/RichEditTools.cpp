#include "platform/RichEditTools.h"

#include "platform/TRichEdit.h"
#include "text/HtmlRtf.h"
#include "text/SjisBytes.h"
#include "text/StrUtils.h"

#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QStringList>

#include <exception>
#include <limits>
#include <utility>
#include <vector>

namespace {

QColor keywordColor(int mode)
{
    switch (mode) {
    case 0: return QColor(255, 0, 0);     // red
    case 1: return QColor(255, 0, 255);   // fuchsia
    case 2: return QColor(0, 128, 128);   // teal
    case 3: return QColor(0, 255, 255);   // aqua
    case 4: return QColor(0, 0, 255);     // blue
    case 5: return QColor(128, 0, 128);   // purple
    case 6: return QColor(0, 255, 0);     // lime
    case 7: return QColor(128, 0, 0);     // maroon
    default: return QColor(0, 0, 128);    // navy
    }
}

void letRepaint()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

int FindAndColorText(TRichEdit* RichEdit, const std::string& Word, QListWidget* List, int Mode)
{
    // The text is read once: colouring changes attributes, never characters.
    const std::string text = RichEdit->text();
    if (text.empty())
        return -2;
    if (Word.empty())
        return -1;
    letRepaint();
    if (Mode == 0) {
        List->clear();
        RichEdit->setDefAttributes(Qt::black, false);
        RichEdit->selectAllText();
        RichEdit->setSelAttributes(Qt::black, false);
    }
    RichEdit->setSelStart(0);
    RichEdit->scrollCaret();
    const std::string w = Trim(Word);
    if (w.empty())
        return 0;

    const QColor color = keywordColor(Mode);
    TSjisCharMap map(text);
    // The hits are coloured in one edit and listed in one go: a large page has thousands.
    std::vector<std::pair<int, int>> ranges;
    QStringList items;
    int hits = 0;
    int firstHit = -1;
    int firstLine = 0;
    for (std::size_t p = sjisFind(text, w); p != std::string::npos; p = sjisFind(text, w, p + w.size())) {
        const int start = map.charIndex(p);
        const int end = map.charIndex(p + w.size());
        ranges.emplace_back(start, end);
        const int line = RichEdit->lineFromChar(start);
        const int column = start - RichEdit->lineIndex(line) + 1;
        items << QString::fromLatin1(IntToSpacePadded(line + 1, 4) + "/" + IntToZeroPadded(column, 2));
        if (hits == 0) {
            firstHit = start;
            firstLine = line;
        }
        ++hits;
    }
    RichEdit->setRangeAttributes(ranges, color, true);
    List->addItems(items);
    if (hits > 0) {
        RichEdit->setFirstVisibleLine(firstLine);
        RichEdit->setSelStart(firstHit);
        RichEdit->scrollCaret();
        letRepaint();
    }
    return hits;
}

void GotoLineColumn(TRichEdit* RichEdit, int Line, int Column)
{
    // A line past the end puts the caret at the end of the text.
    const int start = RichEdit->lineIndex(Line);
    RichEdit->setSelStart(start < 0 ? std::numeric_limits<int>::max() : start + Column);
}

void ScrollLineToTop(TRichEdit* RichEdit, int Line)
{
    RichEdit->setFirstVisibleLine(Line - 1);
}

void SetRichText(TRichEdit* RichEdit, const QString& Text)
{
    RichEdit->setWideText(Text);
}

void ColorHTMLRichEdit(TRichEdit* RichEdit)
{
    const std::string text = RichEdit->text();
    if (text.empty())
        return;
    const int caret = RichEdit->selStart();
    const int topLine = RichEdit->firstVisibleLine();
    const TRichEdit::TNotifyEvent onChange = RichEdit->onChange();
    RichEdit->setOnChange({});
    try {
        TqelHTMLRTF rtf;
        rtf.SetText(text);
        const std::string document = rtf.GetRtfText();
        RichEdit->setPlainTextMode(false);
        RichEdit->setUpdatesEnabled(false);
        RichEdit->loadFromStream(document);
        RichEdit->setFirstVisibleLine(topLine);
        RichEdit->setUpdatesEnabled(true);
    } catch (const std::exception&) {
        RichEdit->setUpdatesEnabled(true);
    }
    RichEdit->setPlainTextMode(true);
    RichEdit->setSelStart(caret);
    RichEdit->setOnChange(onChange);
}

namespace {

// Colours its control when the control is shown, once, if nothing changed it meanwhile.
class ColourOnShow : public QObject {
public:
    explicit ColourOnShow(TRichEdit* RichEdit) : QObject(RichEdit), edit_(RichEdit)
    {
        setObjectName(QStringLiteral("vkColourOnShow"));
        RichEdit->installEventFilter(this);
        // Any change of text or format, the colouring's own included, ends the wait.
        connect(RichEdit, &QPlainTextEdit::textChanged, this, [this] { pending_ = false; });
    }
    void arm() { pending_ = true; }
    void disarm() { pending_ = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == edit_ && event->type() == QEvent::Show && pending_) {
            pending_ = false;
            ColorHTMLRichEdit(edit_);
        }
        return false;
    }

private:
    TRichEdit* edit_;
    bool pending_ = false;
};

} // namespace

void ColorHTMLRichEditWhenShown(TRichEdit* RichEdit)
{
    auto* waiter = static_cast<ColourOnShow*>(
        RichEdit->findChild<QObject*>(QStringLiteral("vkColourOnShow"), Qt::FindDirectChildrenOnly));
    if (RichEdit->isVisible()) {
        if (waiter) waiter->disarm();
        ColorHTMLRichEdit(RichEdit);
        return;
    }
    if (!waiter) waiter = new ColourOnShow(RichEdit);
    waiter->arm();
}

void PlainRichEdit(TRichEdit* RichEdit)
{
    RichEdit->setDefAttributes(Qt::black, false);
    RichEdit->selectAllText();
    RichEdit->setSelAttributes(Qt::black, false);
    RichEdit->setSelStart(0);
}
