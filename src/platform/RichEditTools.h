// Keyword colouring, caret and scroll moves by line, Unicode text, and HTML syntax colouring
// for the rich-edit control. Lines are 0-based unless a name says otherwise; character
// indexes follow TRichEdit's rule (a line break is one character).
#pragma once

#include <QString>

#include <string>

class QListWidget;
class TRichEdit;

// Colours every occurrence of Word (trimmed) bold in the colour of Mode and adds one line
// per hit to List: the hit's 1-based line right-aligned in 4 characters, "/", its 1-based
// column zero-padded to 2 ("  12/05"). Mode 0 first clears List and makes the whole text
// black and plain; other modes add to what earlier calls coloured and listed. Hits are found
// left to right with a search that never starts on the second byte of a double-byte
// character, each from the end of the previous one (so adjacent hits all count), and are
// placed by character, not by byte. The view then shows the first hit's line at the top with
// the caret on that hit. Result: the number of hits; -2 (nothing changed) when the control
// is empty; -1 (nothing changed) when Word is empty.
int FindAndColorText(TRichEdit* RichEdit, const std::string& Word, QListWidget* List, int Mode);

// Caret to Column characters after the start of the 0-based line Line.
void GotoLineColumn(TRichEdit* RichEdit, int Line, int Column);

// Scrolls so that the line with the 1-based number Line is the first visible line.
void ScrollLineToTop(TRichEdit* RichEdit, int Line);

// Replaces the whole text with a UTF-16 text (characters Shift_JIS lacks stay intact in
// the view), keeping no undo step.
void SetRichText(TRichEdit* RichEdit, const QString& Text);

// Shows the control's text syntax-coloured as HTML. The characters stay the same; the caret
// (the selection collapses to it), the first visible line and the change handler are kept,
// and colouring fires no change event. An empty control is left alone.
void ColorHTMLRichEdit(TRichEdit* RichEdit);

// ColorHTMLRichEdit now when the control is on screen, otherwise when it is next shown,
// unless its text or colours change before then. Colouring a large page takes a while, which
// a view nobody looks at should not cost.
void ColorHTMLRichEditWhenShown(TRichEdit* RichEdit);

// The whole text black and plain, and what is typed from now on too; the caret to the start
// with nothing selected. The characters stay the same.
void PlainRichEdit(TRichEdit* RichEdit);
