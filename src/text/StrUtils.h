// String routines on Shift_JIS texts. Positions are 1-based, 0 means not found. No routine
// here keeps state or throws.
#pragma once

#include <string>

// --- shared helpers --------------------------------------------------------------------

// Removes every byte of code 32 or less (blanks, tabs, CR, LF, controls) at both ends.
std::string Trim(std::string S);
std::string TrimLeft(std::string S);
std::string TrimRight(std::string S);

// ASCII letters only; trail bytes of double-byte characters are left alone.
std::string LowerCase(std::string S);
std::string UpperCase(std::string S);

// Every occurrence of From, ASCII letter case ignored, in one left-to-right pass (replaced
// text is not searched again). A match never starts on a trail byte.
std::string ReplaceAllIgnoreCase(const std::string& S, const std::string& From, const std::string& To);
// Every occurrence of From, letter case kept.
std::string ReplaceAll(const std::string& S, const std::string& From, const std::string& To);
// The first occurrence of From only, letter case kept.
std::string ReplaceFirst(const std::string& S, const std::string& From, const std::string& To);

// --- searches --------------------------------------------------------------------------

// Multi-byte-aware search of Sub in S after position From (one further when the byte at
// From is the lead byte of a double-byte character). From 0 searches the whole text; a From
// below 0 counts as 0 and one beyond the text finds nothing.
int PosEx(const std::string& Sub, const std::string& S, int From = 0);
// Position of Sub at or after From: From <= 1 searches the whole text multi-byte-aware;
// From > 1 compares bytes and may match at a trail byte. 0 for an empty Sub.
int PosFrom(const std::string& Sub, const std::string& S, int From);
// Position of Sub in S with ASCII letter case ignored.
int PosText(const std::string& Sub, const std::string& S);

// --- trims and blanks --------------------------------------------------------------------

std::string TrimLeftChar(std::string S, char C);
std::string TrimRightChar(std::string S, char C);
std::string TrimChar(std::string S, char C);
// Leading blanks and full-width blanks (0x81 0x40).
std::string TrimLeftWideSpaces(const std::string& S);
// Trim, then leading and trailing blanks and full-width blanks; other bytes untouched.
std::string TrimWideSpaces(const std::string& S);
// Trim, then every run of blanks and full-width blanks becomes one blank.
std::string CollapseSpaces(const std::string& S);
// Trim and TrimWideSpaces, then CollapseSpaces; Mode 1 turns every blank into ",".
std::string NormalizeSpaces(const std::string& S, int Mode = 0);

// --- numbers ---------------------------------------------------------------------------

// Decimal N with "0" put after the sign until it has at least Width characters ("-005").
std::string IntToZeroPadded(int N, int Width);
// Decimal N right-aligned with blanks in at least Width characters.
std::string IntToSpacePadded(int N, int Width);

// --- markers and blocks ----------------------------------------------------------------

// Text strictly between the first Left and the first Right that begins after Left's last
// byte; empty when either is missing.
std::string TextBetween(const std::string& S, const std::string& Left, const std::string& Right);
// Removes, from left to right, every span from a Left to the first Right at or after Left's
// last byte, markers included; the first Left without a Right stays with all after it.
std::string DeleteBetween(const std::string& S, const std::string& Left, const std::string& Right);
// The first tab replaced by Column - L - 1 blanks (L = bytes before it), or 3 blanks when
// Column < L. S unchanged without a tab.
std::string ExpandTab(const std::string& S, int Column);
// P blanks, P being the position of the first non-blank among the first Length(S) - 2 bytes.
std::string GetIndentSpaces(const std::string& S);

// --- counts and positions --------------------------------------------------------------

int CountSlashes(const std::string& S);
int CountTagStarts(const std::string& S);
// Position of the last "/", 0 when none.
int LastSlashPosB(const std::string& S);

// The value of one hexadecimal digit, -1 for any other byte.
inline int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
