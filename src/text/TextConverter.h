// The one entry through which every fetched or loaded text becomes Shift_JIS with CR LF
// line ends.
#pragma once

#include <string>

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

// Text of any Japanese encoding to Shift_JIS. Every line end (CR LF, CR, LF) becomes exactly
// one CR LF; a UTF-8 byte-order mark makes the text UTF-8; ccmAuto detects the encoding from
// the charset words of the text, other modes force it. Wherever the text is converted, its
// charset and encoding declarations are rewritten to Shift_JIS. A text in ccmAuto that names
// no charset is taken as Shift_JIS already. No size limit; NUL bytes are kept.
// Pass an int radio index straight in: TCharCodeMode values are ints.
std::string ConvertTextToSjis(const std::string& Text, int Mode);

// Strict UTF-8 decoder for sequences of one to three bytes: empty when S is empty or holds a
// stray continuation byte, a truncated or overlong sequence, a surrogate or a four-byte
// sequence. Callers use the empty result to fall back.
std::u16string Utf8ToWide(const std::string& S);
