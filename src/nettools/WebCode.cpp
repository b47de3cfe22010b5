#include "nettools/WebCode.h"

#include "text/JCode.h"
#include "text/StrUtils.h"

namespace {

std::string unicodeRoundTrip(const std::string &S)
{
    return WideToAnsi(AnsiToWide(S));
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string LoneLfToCrLf(const std::string &S)
{
    std::string out;
    out.reserve(S.size() + S.size() / 32);
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == '\n' && (i == 0 || S[i - 1] != '\r')) out += '\r';
        out += S[i];
    }
    return out;
}

std::string WebDecode(const std::string &S, int Item)
{
    switch (Item) {
    case wcEuc: return LoneLfToCrLf(EucToSjis(S));
    case wcUnicode: return unicodeRoundTrip(S);
    case wcUtf8: return Utf8ToAnsi(S);
    case wcWebHex: return UrlDecode(S);
    case wcBase64: return Base64Decode(S);
    case wcJis: return JisToSjisB(S);
    case wcHexEuc: return LoneLfToCrLf(EucToSjis(UrlDecode(S)));
    case wcHexUtf8: return Utf8ToAnsi(UrlDecode(S));
    default: return {};
    }
}

std::string WebEncode(const std::string &S, int Item, int LetterCase)
{
    switch (Item) {
    case wcEuc: return LoneLfToCrLf(SjisToEuc(S, kmFullWidthMerge));
    case wcUnicode: return unicodeRoundTrip(S);
    // The UTF-8 bytes themselves: through the code page they would no longer be UTF-8.
    case wcUtf8: return SjisToUtf8(S);
    case wcWebHex: return UrlEncodeSjis(S);
    case wcBase64: return Base64Encode(S);
    case wcJis: return SjisToJisB(S);
    case wcHexEuc: {
        // The encoder escapes "(" already; "*", "&" and blanks are kept readable.
        std::string r = UrlEncodeSjis(SjisToEucB(ReplaceAll(S, "\r\n", "\n")));
        r = ReplaceAllIgnoreCase(r, "%2a", "*");
        r = ReplaceAllIgnoreCase(r, "%20", "+");
        return ReplaceAllIgnoreCase(r, "%26", "&");
    }
    case wcHexUtf8: {
        std::string r = UrlEncodeSjis(AnsiToUtf8(S));
        if (LetterCase == wlLower) r = LowerCase(r);
        else if (LetterCase == wlUpper) r = UpperCase(r);
        return ReplaceAllIgnoreCase(r, "%00", "");
    }
    default: return {};
    }
}

bool WebEncodeHasRightCopy(int Item)
{
    return Item != wcUnicode;
}

std::string WebRightCopy(const std::string &Result, int Item)
{
    if (Item != wcWebHex && Item != wcHexEuc && Item != wcHexUtf8) return Result;
    std::string out = Result;
    for (size_t i = 0; i + 2 < out.size(); ++i) {
        if (out[i] != '%' || !isHexDigit(out[i + 1]) || !isHexDigit(out[i + 2])) continue;
        out[i + 1] = upperAscii(out[i + 1]);
        out[i + 2] = upperAscii(out[i + 2]);
        i += 2;
    }
    return out;
}
