// The rich-edit control: a text view that takes Shift_JIS text (CRLF line ends) and the RTF
// documents our own RTF writer produces, shows them with their colours and bold runs, and
// offers what callers need of a rich edit: text, lines, selection, attributes, lines by
// character and scrolling by line, a plain-text mode and a detachable change event.
//
// Positions. The view counts characters; a Shift_JIS text counts bytes. Every conversion
// between the two goes through TSjisCharMap below, and the rule is:
//   a double-byte character is one character, a line break (CR LF, or a lone CR or LF) is
//   ONE character, every other byte is one character.
// So SelStart, SelLength, LineIndex and LineFromChar speak characters with line breaks
// counted once, and a byte offset found in text() is turned into a character index with
// TSjisCharMap (never by "byte position - 1"). The one exception: a character outside
// Unicode's basic plane (only SetRichText can bring one in; Shift_JIS has none) is two
// characters in the view and one "?" in text().
//
// Lines are the text's lines (paragraphs), whether or not the view wraps them (it does not
// by default).
//
// Colours of a loaded document. Inserting a large page as hundreds of thousands of formatted
// fragments is many times slower than setting its text, so loadFromStream sets the text and
// lays each line's coloured runs over it (QTextLayout formats, as a syntax highlighter does).
// Such a colour shows and answers colorAt/boldAt like one held in the text. Attributes set on
// a selection, or any other change of format, replace it where they apply; a line whose text
// is edited loses the loaded colours of that line (it shows its text's own attributes).
#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCharFormat>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Maps byte offsets of a Shift_JIS text to character indexes in the view and back. Queries
// that move forward continue from the previous one, so mapping every hit of a search costs
// one pass over the text in total.
class TSjisCharMap {
public:
    explicit TSjisCharMap(std::string_view text) : text_(text) {}
    // Character index of the character that begins at byteOffset (0-based). An offset inside
    // a double-byte character or between CR and LF maps to the character it belongs to.
    int charIndex(std::size_t byteOffset);
    // Byte offset (0-based) where the character with index charIndex begins; the text's
    // length for an index at or past its end.
    std::size_t byteOffset(int charIndex);
    // Bytes taken by the character at byte offset i: 2 for a double-byte character or CR LF.
    static std::size_t charBytes(std::string_view text, std::size_t i);

private:
    void rewindIfPast(std::size_t byteOffset);
    std::string_view text_;
    std::size_t byte_ = 0;
    int chars_ = 0;
};

// What the RTF reader takes from a document: the text's bytes (code page 932, "\n" for each
// paragraph mark), runs of equal attributes over byte ranges, and the colour table.
struct TRtfRun {
    std::size_t start = 0;  // byte offset in text
    std::size_t length = 0; // bytes
    int color = 0;          // index into colors
    bool bold = false;
};
struct TRtfContent {
    std::string text;
    std::vector<TRtfRun> runs;
    std::vector<QColor> colors; // an invalid colour is the "auto" entry
};

// Reads the RTF subset our writer produces: groups, the font table (skipped), the colour
// table, \cfN, \b and \b0, \plain, \par, \tab, \'hh, and the escapes \\ \{ \}. Raw CR and
// LF are ignored as RTF demands; other control words and "\*" groups are skipped. The
// document's closing paragraph mark is not part of its text. False when data is not an
// RTF document or its groups do not close.
bool readRtf(std::string_view data, TRtfContent& out);

class TRichEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void()>;

    explicit TRichEdit(QWidget* parent = nullptr);

    // The whole text as Shift_JIS with CRLF line ends.
    std::string text() const;
    // Replaces the whole text (plain, in the default attributes); any line-end form is
    // accepted. No undo step is kept.
    void setText(const std::string& sjis);
    // The same from a UTF-16 text.
    void setWideText(const QString& text);
    std::vector<std::string> lines() const;
    int lineCount() const;

    // When plain-text mode is off, loadFromStream reads an RTF document; when it is on, or
    // the data is no RTF document the reader accepts, the data is shown as plain text (so a
    // caller sees the RTF source, which begins "{\"). True when RTF was read.
    bool plainTextMode() const { return plainTextMode_; }
    void setPlainTextMode(bool on) { plainTextMode_ = on; }
    bool loadFromStream(const std::string& data);

    // Selection in characters (see the position rule above). Setting SelStart collapses the
    // selection to the caret; SelLength extends from SelStart. Out-of-range values clamp.
    int selStart() const;
    int selLength() const;
    void setSelStart(int charIndex);
    void setSelLength(int length);
    void selectAllText();
    // Colour and bold of the selection; of text typed or set from now on.
    void setSelAttributes(const QColor& color, bool bold);
    void setDefAttributes(const QColor& color, bool bold);
    // Colour and bold of each character range [first, second), in one edit: the caret and the
    // view stay as they are, and the lines are laid out again once, not once per range.
    void setRangeAttributes(const std::vector<std::pair<int, int>>& ranges, const QColor& color, bool bold);
    QColor colorAt(int charIndex) const;
    bool boldAt(int charIndex) const;

    // 0-based line of a character index; character index where a 0-based line begins (-1
    // for a line past the end).
    int lineFromChar(int charIndex) const;
    int lineIndex(int line) const;
    int firstVisibleLine() const;
    void setFirstVisibleLine(int line);
    void scrollCaret();

    // The change event: called after every change of the text while attached. Detach it by
    // setting an empty handler; onChange() gives the current one to put back later.
    TNotifyEvent onChange() const { return onChange_; }
    void setOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }

private:
    void loadContent(const TRtfContent& content);
    // Removes loaded colours from the character range [from, to); whole lines when wholeLines.
    void clearLoadedColours(int from, int to, bool wholeLines);
    std::optional<QTextCharFormat> loadedFormatAt(int charIndex) const;
    QTextCursor cursorAt(int anchor, int position) const;
    int maxPosition() const;

    bool plainTextMode_ = false;
    bool loading_ = false;
    bool settingColours_ = false; // our own format changes, which keep the loaded colours
    QTextCharFormat defFormat_;
    TNotifyEvent onChange_;
};
