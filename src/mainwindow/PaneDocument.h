// Reading and marking the document of a pane: its HTML for the source views, the keyword
// marks in their colours, and the selection moved from hit to hit. The program's scripts run
// in their own script world, so a page's scripts can neither see nor change what they do.
#pragma once
#include <QString>
#include <QStringList>
#include <string>

class TWebbrowser;

// The browser's document as normalised HTML (charset declared Shift_JIS, attribute values
// quoted); empty when the browser has no document.
std::string GetWebBrowserHTMLSrc(TWebbrowser *Browser);

// The opening tag of the mark of word number Index (0-based).
QString HighlightOpeningTag(int Index);

// The words of a keyword box: full-width blanks and runs of blanks become one comma, doubled
// double quotes go, and the text is split as a comma list (a quoted item keeps its commas).
// Empty words stay in the list, so numbering follows the box; the marking skips them.
QStringList HighlightWordList(const QString &Words);
// The word the first-occurrence search looks for: the first word of Text, blanks collapsed.
QString FirstHighlightWord(const QString &Text);
// A keyword box's text as the buttons leave it: trimmed, full-width blanks and double blanks
// made single.
QString CleanHighlightBox(const QString &Text);

// Milliseconds of one marking run inside the page: reading its text, searching it, writing
// the marks, and the layout of the marked page.
struct HighlightTimes {
    double read = 0, search = 0, write = 0, layout = 0;
};

// Marks every occurrence of every word of Words (HighlightWordList) in the document, each
// word in its colour. The number of marks; -1 when the browser is busy or has no document.
// Times, when given, receives where the time went.
int SearchAndHighlightText(TWebbrowser *Browser, const QString &Words, HighlightTimes *Times = nullptr);
// Marks the first MaxCount occurrences of the first word of Text in red. Marks made, or -1.
int FirstSearchAndHighlightText(TWebbrowser *Browser, const QString &Text, int MaxCount);
// Marks the first occurrence of Word in red and selects it; without one the selection is
// emptied. True when found.
bool SelectFirstOccurrence(TWebbrowser *Browser, const QString &Word);
// Moves the document's selection to the next occurrence of Text that starts after the
// selection's start (Forward), or to the last one that starts before it. No wrap-around;
// false (the selection kept) when there is none.
bool SearchText(TWebbrowser *Browser, const QString &Text, bool Forward);
