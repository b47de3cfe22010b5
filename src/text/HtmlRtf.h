// HTML source to coloured RTF: a table-driven scanner over the bytes of a Shift_JIS HTML
// text that splits it into tokens (tags, attribute names and values, strings, comments,
// server-script blocks, entities, text, blanks, line breaks) and gives each a colour index
// for the RTF writer. Bytes of 128 and above are ordinary characters to the scanner; the
// escaping keeps double-byte characters whole.
//
// Usage: TqelHTMLRTF h; h.SetText(html); std::string rtf = h.GetRtfText();
#pragma once

#include "text/RtfSyntax.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum THtmlTokenKind : std::uint8_t {
    htkEntity,
    htkServerScript,
    htkComment,
    htkAttrName,
    htkTag,
    htkEnd,
    htkSpace,
    htkString,
    htkSymbol,
    htkText,
    htkUnknownTag,
    htkAttrValue,
};

enum THtmlScanState : std::uint8_t {
    hssEntity,
    hssServerScript,
    hssComment,
    hssTagName,
    hssInTag,
    hssText,
    hssUnknown,
    hssAttrValue,
};

class TqelHTMLRTF : public TqelRTFSyntax {
public:
    TqelHTMLRTF();

    void EscapeToken(std::string& Token) override;
    std::string FormatToken(int Kind, const std::string& Token) override;
    void Next() override;
    bool GetEol() override;
    std::string GetToken() override;
    int GetTokenKind() override;
    void SetLine(const std::string& Text, int LineNumber) override;
    void SetAlternateColors() override;

    THtmlTokenKind TokenKind() const { return FTokenKind; }
    THtmlScanState ScanState() const { return FScanState; }

private:
    using Handler = void (TqelHTMLRTF::*)();
    static const Handler* handlerTable();

    unsigned char byteAt(std::size_t i) const { return static_cast<unsigned char>(FSource[i]); }
    void runHandler();
    THtmlTokenKind lookupTagName();
    int matchEntity(std::size_t at) const;

    void endProc();
    void blankProc();
    void lineFeedProc();
    void carriageReturnProc();
    void stringProc();
    void entityProc();
    void tagOpenProc();
    void equalsProc();
    void tagCloseProc();
    void wordProc();
    void serverScriptProc();
    void commentProc();
    void textProc();
    void blockToLineEnd(char mark, int markRepeat);

    // A new text starts between tags with no entity pending, so leading text is text and a
    // leading "&" is read as what it is.
    int FEntityIndex = -1;
    THtmlScanState FScanState = hssText;
    std::string FSource; // own copy: the caller's text may change or go away meanwhile
    std::size_t FPosition = 0;
    std::size_t FIdentLength = 0;
    std::size_t FTokenStart = 0;
    THtmlTokenKind FTokenKind = htkEnd;
    int FLineNumber = 0;
};
