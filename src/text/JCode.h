// Conversions between Shift_JIS (code page 932) and the other Japanese encodings (EUC-JP,
// ISO-2022-JP, UTF-8), plus percent-encoding and Base64. Every routine takes a byte string and
// returns a new one; none keeps state.
//
// Two converter families exist side by side: family A (no suffix) finds double-byte
// characters by walking from the start of the text; family B (suffix B) judges each byte by
// value. Callers pick the family the way the pages always have.
//
// Rules shared by all converters, so that no input can corrupt the output:
// - A character that the target encoding cannot express (user-defined area, IBM extensions
//   at 0xF0-0xFC, broken lead bytes) becomes one "?".
// - An input unit that cannot be decoded becomes "・" (Shift_JIS 0x81 0x45).
// - A truncated character at the end of the text is never read past.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// How SjisToJis and SjisToEuc treat half-width katakana before encoding.
enum TKanaMode : int {
    kmKeep = 0,           // left half-width (ISO-2022-JP cannot carry them: merged to full-width there)
    kmFullWidthMerge = 1, // full-width, voiced marks merged (HalfKanaToFullKana)
    kmFullWidth = 2,      // full-width one to one (HalfKanaToFullKanaEach)
};

// Raised by Utf8ToAnsi when the code-page conversion itself is unavailable.
class ETextConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Shift_JIS text of "UTF8の文字列変換に失敗しました.".
extern const char* const kUtf8ConvertFailedMsg;

// --- family A ----------------------------------------------------------------------------
std::string JisToSjis(const std::string& S);
std::string SjisToJis(const std::string& S, int KanaMode);
std::string EucToSjis(const std::string& S);
std::string SjisToEuc(const std::string& S, int KanaMode);

// --- family B ----------------------------------------------------------------------------
std::string JisToSjisB(const std::string& S);
std::string EucToSjisB(const std::string& S);
std::string SjisToJisB(const std::string& S);
std::string SjisToEucB(const std::string& S);

// --- pair arithmetic (JIS X 0208 row/cell bytes <-> Shift_JIS bytes) ------------------------
// Family A: empty when c1 lies outside 0x21-0x7E. Family B: no check.
std::string JisToSjisPair(unsigned char c1, unsigned char c2);
std::string JisToSjisPairB(unsigned char c1, unsigned char c2);
std::string SjisToJisPair(unsigned char s1, unsigned char s2);
std::string SjisToJisPairB(unsigned char s1, unsigned char s2);

// --- half-width katakana -------------------------------------------------------------------
std::string HalfKanaToFullKana(const std::string& S);     // voiced marks merged
std::string HalfKanaToFullKanaEach(const std::string& S); // one to one

// --- UTF-8 and UTF-16 --------------------------------------------------------------------
// UTF-8 to Shift_JIS. Characters Shift_JIS lacks and invalid UTF-8 become "?" each; NUL
// bytes are kept. Throws ETextConvertError only when the conversion cannot be set up.
std::string Utf8ToAnsi(const std::string& S);
// Shift_JIS to UTF-8 without byte-order mark; undecodable bytes become "・".
std::string SjisToUtf8(const std::string& S);
std::string AnsiToUtf8(const std::string& S);
// UTF-16 to Shift_JIS ("?" for what Shift_JIS lacks) and back ("・" for undecodable bytes).
std::string WideToAnsi(const std::u16string& W);
std::u16string AnsiToWide(const std::string& S);
// As WideToAnsi, on UTF-16LE bytes as a file holds them (an odd last byte is no unit).
std::string Utf16LeBytesToAnsi(std::string_view Bytes);
// The same into Out, which has room for Bytes.size() bytes and may be where Bytes begins (or
// any place before it): nothing is written over a byte not yet read. With CrLfLineEnds every
// line end (CR LF, a lone CR, a lone LF) comes out as CR LF. Returns the length.
std::size_t Utf16LeBytesToAnsi(std::string_view Bytes, char* Out, bool CrLfLineEnds = false);
// As AnsiToWide, as UTF-16LE bytes after Prefix (a byte-order mark, say), in one buffer.
std::string AnsiToUtf16LeBytes(std::string_view S, std::string_view Prefix = {});

// --- percent-encoding and Base64 ---------------------------------------------------------
// Every byte but the unreserved characters (A-Z a-z 0-9 - . _ ~) as "%" and two lower-case
// hex digits; a blank as "+". Both bytes of a double-byte character are always encoded.
std::string UrlEncodeSjis(const std::string& S);
// "%" and two hex digits to the byte, a literal "+" to a blank; a malformed escape is kept.
std::string UrlDecode(const std::string& S);
std::string Base64Encode(const std::string& S);
// Characters outside the alphabet (line breaks, "=") are skipped; a final group of two or
// three characters yields one or two bytes.
std::string Base64Decode(const std::string& S);
