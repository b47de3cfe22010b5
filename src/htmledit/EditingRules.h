// The editing rules of the HTML editing control as plain decisions: what a key does to the
// document under the control's flags, which keys paste as plain text, and the text diff that
// turns the engine's new paragraphs into DIV blocks. The page applies the decisions; keeping
// them here lets every combination be checked without an engine.
#pragma once
#include <QString>

namespace htmledit {

enum class KeyClass { Enter, Delete, Backspace, X, Modifier, Other, Char };
constexpr int kKeyClassCount = 7;

enum class KeyAction : char {
    Default = '0',      // the engine's own effect
    LineBreak = '1',    // cancelled; a BR instead of a new paragraph
    AppendBlank = '2',  // cancelled; a blank after the enclosing block
    Cleanup = '3',      // the engine's effect, then its empty block is unwrapped
    DivSnapshot = '4',  // the engine's effect, then its new paragraphs become DIV blocks
};

struct KeyRuleFlags {
    bool UseBr = false;
    bool UseDiv = false;
    bool BrowseMode = false;
};

struct KeyContext {
    bool Shift = false, Ctrl = false, Alt = false;
    bool InList = false;         // the caret is in an ordered or unordered list
    bool DefaultFormat = true;   // the block at the caret has the default format
    bool WholeDocument = false;  // the selection covers the whole body
};

// A Windows-style key code (13 Enter, 46 Delete, 8 Backspace, 88 X, 16-18 the modifiers).
KeyClass ClassOfKey(int Key);
KeyAction DecideKeyRule(KeyClass Class, const KeyContext &Ctx, const KeyRuleFlags &Flags);
// Every decision for Flags, one character per case, indexed by KeyRuleIndex.
QString KeyRuleTable(const KeyRuleFlags &Flags);
int KeyRuleIndex(KeyClass Class, const KeyContext &Ctx);

// Ctrl+V or Shift+Insert, with no other modifier: the host pastes the clipboard as text.
bool IsPasteAsTextKey(int Key, bool Shift, bool Ctrl, bool Alt);

// The body's inner HTML before (Old) and after (New) the engine's Enter: New with the P tags
// of the changed region written as DIV tags. Unchanged (New itself) when nothing there is a P.
QString ConvertNewParagraphsToDiv(const QString &Old, const QString &New);

} // namespace htmledit
