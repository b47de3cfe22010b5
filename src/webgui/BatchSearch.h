// The batch keyword search of the WebGUI panes: up to seven words of a keyword box coloured in a
// pane, each in its own colour, with every hit listed as "line/column", and the jump from a hit.
// One routine serves every pane; a row says which box, pane, list and extra steps a pane uses.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class StringList;
class TRichEdit;
class TStatusBar;

struct BatchSearchRow {
    QLineEdit *KeyBox = nullptr;
    // The pane searched, chosen when the run starts; nullptr: nothing is searched.
    std::function<TRichEdit *()> Target;
    // Run before the pane is chosen: the pane shown uncoloured, or the word list cleared.
    std::function<void()> Prepare;
    QListWidget *List = nullptr;
    std::function<void()> Before; // before Prepare
    std::function<void()> After;  // after the words are searched
};

class TBatchSearch {
public:
    explicit TBatchSearch(StringList &Words) : words_(Words) {}

    // One batch search of a row. False when it did not start: a blank keyword box, or a run
    // already going on (colouring lets events run; a run never nests in another).
    bool run(const BatchSearchRow &Row);
    bool running() const { return running_; }

private:
    StringList &words_;
    bool running_ = false;
};

// At most seven words are searched; the eighth and later are ignored.
constexpr int kBatchSearchWords = 7;

// The pane shown black and regular without its change handler seeing it.
void PlainRichEditQuiet(TRichEdit *RichEdit);

// Jumps RichEdit to the hit selected in ListBox: InfoLabel shows the item; for a "line/column"
// item the caret goes to the hit, the focus to the list, the hit's line to the top of the pane
// and panel 2 of StatusBar shows " 行[  n ]    列[ m ]".
void BatchListBoxClick(TRichEdit *RichEdit, QListWidget *ListBox, QLabel *InfoLabel, TStatusBar *StatusBar);
