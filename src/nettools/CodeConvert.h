// The character-code page's conversions, over byte strings: a file or the clipboard read into
// Shift_JIS by the encoding the user picked, the left pane converted again by the output
// encoding, and the bytes to save in the output encoding with the declarations to match.
#pragma once

#include "text/TextConverter.h" // Utf16BytesToSjis

#include <string>
#include <string_view>

// The items of both encoding groups ("自動"/"そのまま", "Shift_JIS", "EUC-JP", "UTF-8",
// "Unicode", "UTF-8N", "ISO(JIS)"); "Unicode" is UTF-16.
enum TConvCode : int {
    cvAuto = 0,
    cvSjis = 1,
    cvEuc = 2,
    cvUtf8 = 3,
    cvUtf16 = 4,
    cvUtf8N = 5,
    cvJis = 6,
};

// Every CR LF and lone CR made LF, then every LF made CR LF.
std::string UnifyLineEnds(std::string S);
// UnifyLineEnds, with a CR LF after the last line too (an empty text stays empty).
std::string TerminateLines(std::string S);

// FF FE followed by the text as UTF-16 little-endian.
std::string SjisToUtf16LeBytes(const std::string &Sjis);

struct TConvRead {
    std::string Source; // GConvText and the left pane
    std::string Text;   // the right pane
};

// Whether the bytes begin with a UTF-16 byte-order mark (either order).
bool IsUtf16File(std::string_view FileBytes);

// A file's bytes read by the encoding item: Source is the bytes with CR LF line ends (for
// UTF-16, item "Unicode" or "自動" on a file with a UTF-16 byte-order mark, the decoded text),
// Text the Shift_JIS text with CR LF line ends whose declarations (not the same names in its
// prose) say Shift_JIS. The pane's own Shift_JIS view gives undecodable bytes a mark of their
// own, so they are not replaced here.
TConvRead ReadConvSource(std::string FileBytes, int CharCode);
// The clipboard's text (Shift_JIS) through the same last steps.
std::string FinishConvText(std::string Sjis);

// The left pane's source converted to Shift_JIS by the output item (the left-to-right button).
std::string ConvertLeftToRight(const std::string &Source, int OutCode);

// The charset name the declarations of a save by the output item take; nullptr for the items
// that write the pane's Shift_JIS as it is.
const char *SaveCharsetName(int OutCode);

// The bytes written for the right pane's text by the output item, its declarations renamed
// to the output's encoding; LetterCase 1 normalises
// the HTML first. UTF-8 (3, 5) and ISO-2022-JP (6) end every line with CR LF, the last one
// included; UTF-16 (4) is FF FE and little-endian units; the others are the bytes as they are.
std::string BuildSaveBytes(std::string PaneText, int OutCode, int LetterCase);

// The room ReadFileBytes gives a file of Size bytes: enough to make LF line ends CR LF in
// place. Room never written takes no memory.
size_t FileBytesCapacity(size_t Size);
// The whole file as bytes, in a buffer of FileBytesCapacity; false when it cannot be opened
// or read.
bool ReadFileBytes(const std::string &FileName, std::string &Bytes);
