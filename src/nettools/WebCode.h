// The web code page's encodings, over byte strings: Shift_JIS text into the byte forms used
// on the web and back.
#pragma once

#include <string>

// The items of the four encode and decode groups, in their order: "EUC ", "Unicode",
// "UFT-8 ", "Web16進ｺｰﾄﾞ ", "Base64ｺｰﾄﾞ", "JIS", "16進EUC", "16進UTF-8".
enum TWebCodeItem : int {
    wcEuc = 0,
    wcUnicode = 1,
    wcUtf8 = 2,
    wcWebHex = 3,
    wcBase64 = 4,
    wcJis = 5,
    wcHexEuc = 6,
    wcHexUtf8 = 7,
};

// The hidden letter-case groups: "何もしない", "小文字にする", "大文字にする".
enum TWebLetterCase : int { wlKeep = 0, wlLower = 1, wlUpper = 2 };

// A byte string of the item's form to Shift_JIS; an unknown item gives "".
std::string WebDecode(const std::string &S, int Item);
// Shift_JIS to the item's form; LetterCase applies to "16進UTF-8". An unknown item gives "".
std::string WebEncode(const std::string &S, int Item, int LetterCase);

// Whether the right side's encode also writes its copy to the right bottom memo.
bool WebEncodeHasRightCopy(int Item);
// That copy: the percent forms with their escapes' hex digits upper-cased; other forms as
// they are (upper-casing Base64, or the bytes of a character, would change them).
std::string WebRightCopy(const std::string &Result, int Item);

// Every LF not preceded by CR made CR LF.
std::string LoneLfToCrLf(const std::string &S);
