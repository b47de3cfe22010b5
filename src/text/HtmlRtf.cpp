#include "text/HtmlRtf.h"

#include "text/SjisBytes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int rgb(int r, int g, int b)
{
    return r + g * 256 + b * 65536;
}

constexpr int clBlack = rgb(0, 0, 0);
constexpr int clGreen = rgb(0, 128, 0);
constexpr int clMaroon = rgb(128, 0, 0);
constexpr int clRed = rgb(255, 0, 0);
constexpr int clBlue = rgb(0, 0, 255);
constexpr int clFuchsia = rgb(255, 0, 255);

// Colour index of each token kind, in the order of THtmlTokenKind.
constexpr int kKindColor[] = {11, 1, 2, 3, 4, 11, 5, 6, 7, 8, 9, 10};

const char* const kEntities[] = {
    "&amp;", "&lt;", "&gt;", "&quot;", "&trade;", "&nbsp;", "&copy;", "&reg;", "&Agrave;", "&Aacute;",
    "&Acirc;", "&Atilde;", "&Auml;", "&Aring;", "&AElig;", "&Ccedil;", "&Egrave;", "&Eacute;", "&Ecirc;",
    "&Euml;", "&Igrave;", "&Iacute;", "&Icirc;", "&Iuml;", "&ETH;", "&Ntilde;", "&Ograve;", "&Oacute;",
    "&Ocirc;", "&Otilde;", "&Ouml;", "&Oslash;", "&Ugrave;", "&Uacute;", "&Ucirc;", "&Uuml;", "&Yacute;",
    "&THORN;", "&szlig;", "&agrave;", "&aacute;", "&acirc;", "&atilde;", "&auml;", "&aring;", "&aelig;",
    "&ccedil;", "&egrave;", "&eacute;", "&ecirc;", "&euml;", "&igrave;", "&iacute;", "&icirc;", "&iuml;",
    "&eth;", "&ntilde;", "&ograve;", "&oacute;", "&ocirc;", "&otilde;", "&ouml;", "&oslash;", "&ugrave;",
    "&uacute;", "&ucirc;", "&uuml;", "&yacute;", "&thorn;", "&yuml;", "&iexcl;", "&cent;", "&pound;",
    "&curren;", "&yen;", "&brvbar;", "&sect;", "&uml;", "&ordf;", "&laquo;", "&shy;", "&macr;", "&deg;",
    "&plusmn;", "&sup2;", "&sup3;", "&acute;", "&micro;", "&middot;", "&cedil;", "&sup1;", "&ordm;",
    "&raquo;", "&frac14;", "&frac12;", "&frac34;", "&iquest;", "&times;", "&divide", "&euro;", "&#9;",
    "&#127;", "&#128;", "&#129;", "&#130;", "&#131;", "&#132;", "&ldots;", "&#134;", "&#135;", "&#136;",
    "&#137;", "&#138;", "&#139;", "&#140;", "&#141;", "&#142;", "&#143;", "&#144;", "&#152;", "&#153;",
    "&#154;", "&#155;", "&#156;", "&#157;", "&#158;", "&#159;", "&#161;", "&#162;", "&#163;", "&#164;",
    "&#165;", "&#166;", "&#167;", "&#168;", "&#170;", "&#175;", "&#176;", "&#177;", "&#178;", "&#180;",
    "&#181;", "&#183;", "&#184;", "&#185;", "&#186;", "&#188;", "&#189;", "&#190;", "&#191;", "&#215;",
};
constexpr int kEntityCount = static_cast<int>(sizeof(kEntities) / sizeof(kEntities[0]));

const char* const kKeywords[] = {
    "!DOCTYPE", "A", "ABBR", "ACRONYM", "ADDRESS", "APPLET", "AREA", "B", "BASE", "BASEFONT", "BGSOUND",
    "BIG", "BLINK", "BLOCKQUOTE", "BODY", "BR", "BUTTON", "CAPTION", "CENTER", "CITE", "CODE", "COL",
    "COLGROUP", "COMMENT", "DD", "DEL", "DFN", "DIR", "DIV", "DL", "DT", "EM", "EMBED", "FIELDSET", "FONT",
    "FORM", "FRAME", "FRAMESET", "H1", "H2", "H3", "H4", "H5", "H6", "HEAD", "HR", "HTML", "I", "IFRAME",
    "ILAYER", "IMG", "INPUT", "INS", "ISINDEX", "KBD", "KEYGEN", "LABEL", "LAYER", "LEGEND", "LI", "LINK",
    "LISTING", "MAP", "MARQUEE", "MENU", "META", "MULTICOL", "NEXTID", "NOBR", "NOEMBED", "NOFRAMES",
    "NOLAYER", "NOSCRIPT", "OBJECT", "OL", "OPTION", "P", "PARAM", "PLAINTEXT", "PRE", "Q", "S", "SAMP",
    "SCRIPT", "SELECT", "SERVER", "SMALL", "SPACER", "SPAN", "STRIKE", "STRONG", "STYLE", "SUB", "SUP",
    "TABLE", "TBODY", "TD", "TEXTAREA", "TFOOT", "TH", "THEAD", "TITLE", "TR", "TT", "U", "UL", "VAR", "WBR",
    "XMP", "/A", "/ABBR", "/ACRONYM", "/ADDRESS", "/APPLET", "/B", "/BIG", "/BLINK", "/BLOCKQUOTE", "/BODY",
    "/BUTTON", "/CAPTION", "/CENTER", "/CITE", "/CODE", "/COLGROUP", "/COMMENT", "/DD", "/DEL", "/DFN",
    "/DIR", "/DIV", "/DL", "/DT", "/EM", "/EMBED", "/FIELDSET", "/FONT", "/FORM", "/FRAMESET", "/H1", "/H2",
    "/H3", "/H4", "/H5", "/H6", "/HEAD", "/HTML", "/I", "/IFRAME", "/ILAYER", "/INS", "/KBD", "/LABEL",
    "/LAYER", "/LEGEND", "/LI", "/LISTING", "/MAP", "/MARQUEE", "/MENU", "/MULTICOL", "/NOBR", "/NOEMBED",
    "/NOFRAMES", "/NOLAYER", "/NOSCRIPT", "/OBJECT", "/OL", "/OPTION", "/P", "/PRE", "/Q", "/S", "/SAMP",
    "/SCRIPT", "/SELECT", "/SERVER", "/SMALL", "/SPAN", "/STRIKE", "/STRONG", "/STYLE", "/SUB", "/SUP",
    "/TABLE", "/TBODY", "/TD", "/TEXTAREA", "/TFOOT", "/TH", "/THEAD", "/TITLE", "/TR", "/TT", "/U", "/UL",
    "/VAR", "/XMP",
};

constexpr unsigned kHashBuckets = 244;

// "!" and "/" weigh most so that closing forms land far from the opening ones; letters
// weigh their place in the alphabet whatever their case.
struct CharValues {
    std::array<int, 256> v{};
    CharValues()
    {
        v['!'] = 123;
        v['/'] = 122;
        for (int i = 0; i < 26; ++i) {
            v['A' + i] = i + 1;
            v['a' + i] = i + 1;
        }
    }
};
const CharValues& charValues()
{
    static const CharValues table;
    return table;
}

// Hash of the identifier at s[from..]: letters, "!" and "/" by their value, then a run of
// digits by their digit value. Saturates, so a huge identifier cannot overflow.
unsigned identHash(const std::string& s, std::size_t from, std::size_t& length)
{
    const auto& cv = charValues().v;
    unsigned hash = 0;
    std::size_t i = from;
    while (i < s.size() && cv[static_cast<unsigned char>(s[i])] != 0) {
        if (hash < kHashBuckets)
            hash += static_cast<unsigned>(cv[static_cast<unsigned char>(s[i])]);
        ++i;
    }
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (hash < kHashBuckets)
            hash += static_cast<unsigned>(s[i] - '0');
        ++i;
    }
    length = i - from;
    return hash;
}

struct KeywordTable {
    std::array<std::vector<std::string>, kHashBuckets> buckets;
    KeywordTable()
    {
        for (const char* k : kKeywords) {
            const std::string kw(k);
            std::size_t len = 0;
            const unsigned h = identHash(kw, 0, len);
            if (h < kHashBuckets)
                buckets[h].push_back(kw);
        }
    }
};
const KeywordTable& keywordTable()
{
    static const KeywordTable table;
    return table;
}

bool sameIdent(const char* a, const std::string& keyword, std::size_t length)
{
    if (keyword.size() != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (asciiUpper(a[i]) != keyword[i])
            return false;
    return true;
}

// Blank bytes that continue a run begun by a blank: a tab, LF, CR or NUL starts a token
// of its own.
bool isBlankRunByte(unsigned char b)
{
    return (b >= 1 && b <= 8) || b == 11 || b == 12 || (b >= 14 && b <= 32);
}

void appendHexByte(std::string& out, unsigned char b)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[b >> 4];
    out += digits[b & 15];
}

} // namespace

const TqelHTMLRTF::Handler* TqelHTMLRTF::handlerTable()
{
    static const std::array<Handler, 256> table = [] {
        std::array<Handler, 256> t{};
        for (int b = 0; b < 256; ++b) {
            Handler h = &TqelHTMLRTF::wordProc;
            switch (b) {
            case 10: h = &TqelHTMLRTF::lineFeedProc; break;
            case 13: h = &TqelHTMLRTF::carriageReturnProc; break;
            case '"': h = &TqelHTMLRTF::stringProc; break;
            case '&': h = &TqelHTMLRTF::entityProc; break;
            case '<': h = &TqelHTMLRTF::tagOpenProc; break;
            case '=': h = &TqelHTMLRTF::equalsProc; break;
            case '>': h = &TqelHTMLRTF::tagCloseProc; break;
            default:
                // A NUL inside the text is a blank like any control byte; the text ends
                // by its length, not at its first zero byte.
                if (b <= 32)
                    h = &TqelHTMLRTF::blankProc;
            }
            t[static_cast<std::size_t>(b)] = h;
        }
        return t;
    }();
    return table.data();
}

TqelHTMLRTF::TqelHTMLRTF()
{
    (void)keywordTable();
    (void)handlerTable();
    SetColors({clGreen, clMaroon, clRed, clRed, clBlue, clGreen, clFuchsia, clBlue, clRed, clBlack, clBlack});
}

void TqelHTMLRTF::SetAlternateColors()
{
    SetColors({clGreen, clMaroon, clBlack, clBlue, clBlack, clGreen, clBlue, clBlack, clRed, clBlack, clBlack});
}

void TqelHTMLRTF::SetLine(const std::string& Text, int LineNumber)
{
    FSource = Text;
    FPosition = 0;
    FLineNumber = LineNumber;
    // The scan state carries over to a following text (a comment may go on), but an
    // entity found in the previous text says nothing about this one.
    FEntityIndex = -1;
    if (FScanState == hssEntity)
        FScanState = hssText;
    Next();
}

void TqelHTMLRTF::runHandler()
{
    if (FPosition >= FSource.size()) {
        endProc();
        return;
    }
    (this->*handlerTable()[byteAt(FPosition)])();
}

void TqelHTMLRTF::Next()
{
    FTokenStart = FPosition;
    if (FPosition >= FSource.size()) {
        endProc();
        return;
    }
    switch (FScanState) {
    case hssServerScript: serverScriptProc(); break;
    case hssComment: commentProc(); break;
    case hssText: textProc(); break;
    default: runHandler(); break;
    }
}

bool TqelHTMLRTF::GetEol()
{
    return FTokenKind == htkEnd;
}

std::string TqelHTMLRTF::GetToken()
{
    return FSource.substr(FTokenStart, FPosition - FTokenStart);
}

int TqelHTMLRTF::GetTokenKind()
{
    return kKindColor[FTokenKind];
}

void TqelHTMLRTF::endProc()
{
    FTokenKind = htkEnd;
}

void TqelHTMLRTF::blankProc()
{
    FTokenKind = htkSpace;
    ++FPosition;
    while (FPosition < FSource.size() && isBlankRunByte(byteAt(FPosition)))
        ++FPosition;
}

void TqelHTMLRTF::lineFeedProc()
{
    FTokenKind = htkSpace;
    ++FPosition;
}

void TqelHTMLRTF::carriageReturnProc()
{
    FTokenKind = htkSpace;
    ++FPosition;
    if (FPosition < FSource.size() && FSource[FPosition] == '\n')
        ++FPosition;
}

void TqelHTMLRTF::stringProc()
{
    if (FScanState == hssAttrValue) {
        FScanState = hssInTag;
        FTokenKind = htkAttrValue;
    } else {
        FTokenKind = htkString;
    }
    ++FPosition;
    while (FPosition < FSource.size()) {
        const unsigned char b = byteAt(FPosition);
        if (b == 0 || b == '\n' || b == '\r')
            break;
        ++FPosition;
        if (b == '"')
            break;
    }
}

void TqelHTMLRTF::entityProc()
{
    if (FEntityIndex >= 0 && FEntityIndex < kEntityCount) {
        FTokenKind = htkEntity;
        const std::size_t len = std::char_traits<char>::length(kEntities[FEntityIndex]);
        FPosition = std::min(FPosition + len, FSource.size());
    } else {
        // Nothing pending: an empty token, and the text scan reads the "&" next.
        FTokenKind = htkText;
    }
    FEntityIndex = -1;
    FScanState = hssText;
}

void TqelHTMLRTF::tagOpenProc()
{
    ++FPosition;
    if (FSource.compare(FPosition, 3, "!--") == 0) {
        FScanState = hssComment;
        FTokenKind = htkComment;
        FPosition += 3;
    } else if (FPosition < FSource.size() && FSource[FPosition] == '%') {
        FScanState = hssServerScript;
        FTokenKind = htkServerScript;
        ++FPosition;
    } else {
        FScanState = hssTagName;
        FTokenKind = htkSymbol;
    }
}

void TqelHTMLRTF::equalsProc()
{
    FScanState = hssAttrValue;
    FTokenKind = htkSymbol;
    ++FPosition;
}

void TqelHTMLRTF::tagCloseProc()
{
    FScanState = hssText;
    FTokenKind = htkSymbol;
    ++FPosition;
}

THtmlTokenKind TqelHTMLRTF::lookupTagName()
{
    const unsigned hash = identHash(FSource, FPosition, FIdentLength);
    if (hash >= kHashBuckets)
        return htkAttrName;
    const auto& bucket = keywordTable().buckets[hash];
    for (const std::string& kw : bucket)
        if (sameIdent(FSource.data() + FPosition, kw, FIdentLength))
            return htkTag;
    return htkUnknownTag;
}

void TqelHTMLRTF::wordProc()
{
    const std::size_t n = FSource.size();
    switch (FScanState) {
    case hssTagName:
        FScanState = hssInTag;
        FTokenKind = lookupTagName();
        FPosition += FIdentLength;
        break;
    case hssAttrValue:
        FScanState = hssInTag;
        FTokenKind = htkAttrValue;
        while (FPosition < n && byteAt(FPosition) >= 33 && FSource[FPosition] != '>')
            ++FPosition;
        break;
    default:
        FTokenKind = htkAttrName;
        while (FPosition < n) {
            const unsigned char b = byteAt(FPosition);
            if (b < 33 || b == '"' || b == '=' || b == '>')
                break;
            ++FPosition;
        }
        break;
    }
}

// One line of a comment or server-script block: up to the line end, or through the
// closing ">" when the markRepeat bytes before it are mark (then the block ends).
void TqelHTMLRTF::blockToLineEnd(char mark, int markRepeat)
{
    const std::size_t n = FSource.size();
    while (FPosition < n) {
        const unsigned char b = byteAt(FPosition);
        if (b == 0 || b == '\n' || b == '\r')
            return;
        ++FPosition;
        if (b == '>' && FPosition - 1 >= static_cast<std::size_t>(markRepeat)) {
            bool closed = true;
            for (int k = 1; k <= markRepeat; ++k)
                if (FSource[FPosition - 1 - static_cast<std::size_t>(k)] != mark)
                    closed = false;
            if (closed) {
                FScanState = hssText;
                return;
            }
        }
    }
}

void TqelHTMLRTF::serverScriptProc()
{
    const unsigned char b = byteAt(FPosition);
    if (b == 0 || b == '\n' || b == '\r') {
        runHandler();
        return;
    }
    FTokenKind = htkServerScript;
    blockToLineEnd('%', 1);
}

void TqelHTMLRTF::commentProc()
{
    const unsigned char b = byteAt(FPosition);
    if (b == 0 || b == '\n' || b == '\r') {
        runHandler();
        return;
    }
    FTokenKind = htkComment;
    blockToLineEnd('-', 2);
}

int TqelHTMLRTF::matchEntity(std::size_t at) const
{
    for (int i = 0; i < kEntityCount; ++i) {
        const std::size_t len = std::char_traits<char>::length(kEntities[i]);
        if (FSource.compare(at, len, kEntities[i]) == 0 && at + len <= FSource.size())
            return i;
    }
    return -1;
}

void TqelHTMLRTF::textProc()
{
    const unsigned char first = byteAt(FPosition);
    if (first < 32 || first == '<') {
        runHandler();
        return;
    }
    FTokenKind = htkText;
    const std::size_t n = FSource.size();
    // "<", "&" and control bytes are below 0x40, so they are never the trail byte of a
    // double-byte character and a byte scan cannot stop inside one.
    while (FPosition < n) {
        const unsigned char b = byteAt(FPosition);
        if (b < 32 || b == '<')
            return;
        if (b == '&') {
            const int e = matchEntity(FPosition);
            if (e >= 0) {
                FEntityIndex = e;
                FScanState = hssEntity;
                return;
            }
        }
        ++FPosition;
    }
}

std::string TqelHTMLRTF::FormatToken(int Kind, const std::string& Token)
{
    int color = Kind;
    // A script comment between script tags: blank bytes (what the trim removes) skipped.
    std::size_t i = 0;
    while (i < Token.size() && static_cast<unsigned char>(Token[i]) <= 32)
        ++i;
    if (Token.compare(i, 2, "//") == 0 && i + 2 <= Token.size())
        color = 2;
    if (Kind == 10 && !Token.empty() && Token[0] == '"')
        color = 6;
    char head[16];
    const int n = std::snprintf(head, sizeof head, "\\cf%d ", color);
    std::string run;
    run.reserve(static_cast<std::size_t>(n) + Token.size());
    run.append(head, static_cast<std::size_t>(n));
    run += Token;
    return run;
}

void TqelHTMLRTF::EscapeToken(std::string& Token)
{
    bool plain = true;
    for (char c : Token) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x80 || c == '\\' || c == '{' || c == '}' || (b < 32 && c != '\r' && c != '\n')) {
            plain = false;
            break;
        }
    }
    if (plain)
        return;
    // A double-byte character is written as two hex escapes together: its trail byte may
    // be "\", "{" or "}" (0x5C, 0x7B, 0x7D), which must not be taken for RTF syntax, and an
    // 8-bit byte in RTF is read by every reader when it is escaped.
    std::string out;
    out.reserve(Token.size() * 2);
    const std::size_t n = Token.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = static_cast<unsigned char>(Token[i]);
        if (b >= 0x80) {
            appendHexByte(out, b);
            if (isSjisLead(b) && i + 1 < n && isSjisTrail(static_cast<unsigned char>(Token[i + 1])))
                appendHexByte(out, static_cast<unsigned char>(Token[++i]));
        } else if (b == '\\' || b == '{' || b == '}') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b == '\t') {
            out += "\\tab ";
        } else if (b < 32 && b != '\r' && b != '\n') {
            appendHexByte(out, b);
        } else {
            out += static_cast<char>(b);
        }
    }
    Token.swap(out);
}
