// How a fetched page, style sheet or script becomes Shift_JIS text: the encoding is decided
// once per file (byte-order mark, the server's charset, the text's own declaration, a UTF-8
// validity check, then the converter's detection) and the bytes are converted once.
#pragma once
#include <string>

enum class FetchedKind { Html, Css, Script };

struct DecodedText {
    std::string Sjis;     // Shift_JIS with CR LF line ends
    std::string Encoding; // "utf-8", "utf-16le", "utf-16be", "euc-jp", "iso-2022-jp", "shift_jis", "auto"
};

// The charset named by a Content-Type value ("text/css; charset=UTF-8" gives "utf-8"), "" when none.
std::string CharsetOfContentType(const std::string &ContentType);

// Characters that Shift_JIS lacks are written as the file kind can say them: a numeric
// character reference in a page, a CSS escape in a style sheet, "?" in a script. A style
// sheet's @charset rule and a page's charset declarations then name Shift_JIS.
// A style sheet or script without a charset of its own (server, byte-order mark, a leading
// @charset) is read in ReferrerEncoding (the page's) when its bytes are valid there, else in
// what they are valid as; never by the charset names it mentions.
DecodedText DecodeToSjis(const std::string &Bytes, const std::string &ContentType, FetchedKind Kind,
                         const std::string &ReferrerEncoding = {});

// True when the bytes are well-formed UTF-8 (any length of sequence, no surrogates).
bool IsValidUtf8(const std::string &Bytes);
