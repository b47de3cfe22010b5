// The one entry through which every fetched or loaded text becomes Shift_JIS with CR LF
// line ends.
#pragma once

#include <string>
#include <string_view>

// The source encoding a caller forces, in the order of the download page's radio group
// ("自動", "EUC-JP", "UTF-8", "SJIS", "JIS(ISO)", "UTF-8N"). Any other value acts as ccmAuto.
enum TCharCodeMode : int {
    ccmAuto = 0,
    ccmEucJp = 1,
    ccmUtf8 = 2,
    ccmSjis = 3,
    ccmJis = 4,
    ccmUtf8N = 5,
};

// An encoding a text says it is in, by a byte-order mark or by a declaration.
enum class TCharset { Unknown, Sjis, Euc, Utf8, Jis, Utf16Le, Utf16Be };

// The encoding a charset name stands for (any letter case, the usual aliases); Unknown for
// the names of other encodings. "UTF-16" without an order is little-endian.
TCharset CharsetOfName(std::string_view Name);

// What the text itself says: a byte-order mark (UTF-8, UTF-16 LE/BE), else the first
// declaration (see RenameCharsetDecls for what counts as one), else Unknown. A declaration
// of UTF-16 read from bytes that are not UTF-16 (it could be read) counts as UTF-8, as
// browsers take it.
TCharset DeclaredCharset(std::string_view Text);

// Every declaration that names a Japanese or Unicode encoding made to name To, unless it
// names To already (letter case ignored). Declarations are: the XML declaration's encoding
// at the start of the text, "charset" in a meta tag of the head (the HTML5 attribute in
// either quoting and the http-equiv content), and "@charset" at the start of the text (a style
// sheet) or of a style element. The same names anywhere else (prose, commands such as LANG=ja_JP.UTF-8)
// are the user's text and stay.
std::string RenameCharsetDecls(std::string Text, std::string_view To);

// UTF-16 bytes to Shift_JIS: FF FE little-endian, FE FF big-endian, no mark little-endian;
// the mark is not part of the text, an odd last byte is dropped, and what Shift_JIS lacks
// becomes "?". Line ends are left as they are, or with CrLfLineEnds every one (CR LF, a lone
// CR, a lone LF) made CR LF in the same pass.
std::string Utf16BytesToSjis(std::string Bytes, bool CrLfLineEnds = false);

// Text of any Japanese encoding to Shift_JIS. Every line end (CR LF, CR, LF) becomes exactly
// one CR LF. A byte-order mark (UTF-8, UTF-16 LE/BE) decides the encoding whatever the mode;
// UTF-16 is decoded before any line end is looked at. In ccmAuto a declaration (see
// DeclaredCharset) decides next, and only a text that declares nothing is judged by the
// charset words anywhere in it; other modes force the encoding, except that a text declaring
// UTF-8 is read as UTF-8. Wherever the text is converted, its declarations are renamed to
// Shift_JIS. A text in ccmAuto that declares and names no charset is taken as Shift_JIS
// already. No size limit; NUL bytes are kept.
// Pass an int radio index straight in: TCharCodeMode values are ints.
std::string ConvertTextToSjis(const std::string& Text, int Mode);

// Strict UTF-8 decoder for sequences of one to three bytes: empty when S is empty or holds a
// stray continuation byte, a truncated or overlong sequence, a surrogate or a four-byte
// sequence. Callers use the empty result to fall back.
std::u16string Utf8ToWide(const std::string& S);
