// The RTF writer under the syntax colouring: turns a stream of coloured tokens, supplied by
// a derived tokenizer through the virtual operations, into one RTF document (header, font
// table, colour table, one colour-switched run per token, a paragraph mark per line break).
// The document is reproducible: code page 932 and a fixed font entry, nothing read from a
// screen.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// One font-table entry. PitchAndFamily and CharSet are the Windows LOGFONT values the RTF
// family and charset words are derived from (48 = modern, 128 = Shift_JIS).
struct TRtfFont {
    std::string Name;
    int PitchAndFamily = 0;
    int CharSet = 0;
};

// Colours are the class library's values: red + green * 256 + blue * 65536.
class TqelRTFSyntax {
public:
    TqelRTFSyntax();
    virtual ~TqelRTFSyntax() = default;
    TqelRTFSyntax(const TqelRTFSyntax&) = delete;
    TqelRTFSyntax& operator=(const TqelRTFSyntax&) = delete;

    virtual void EscapeToken(std::string& Token);
    virtual std::string FormatToken(int Kind, const std::string& Token);
    virtual void Next();
    virtual bool GetEol();
    virtual std::string GetToken();
    virtual int GetTokenKind();
    virtual std::string ColorToRtf(int Color);
    virtual void SetLine(const std::string& Text, int LineNumber);
    virtual void SetAlternateColors();

    void SetText(const std::string& Text);
    void SetFonts(const std::vector<TRtfFont>& Fonts);
    void SetColors(const std::vector<int>& Colors);
    void SaveToStream(std::ostream& Stream);
    std::string GetRtfText();

    std::string FHeader;
    std::string FFontTableClose;
    std::string FDefaults;
    std::string FColorTable;
    std::string FFontTable;
    int FCodePage = 932;

private:
    void writeDocument(std::string& Out);
};
