#include "text/RtfSyntax.h"

#include <ostream>

TqelRTFSyntax::TqelRTFSyntax()
{
    // The runs carry Shift_JIS, so the document must say code page 932; a 1252 header
    // makes every conforming reader show the Japanese as Latin-1.
    FCodePage = 932;
    SetFonts({TRtfFont{"Courier New", 48 /* FF_MODERN */, 128 /* SHIFTJIS_CHARSET */}});
    FHeader = "{\\rtf1\\ansi\\ansicpg" + std::to_string(FCodePage) + "\\deff0\\deftab720{\\fonttbl";
    FFontTableClose = "}\r\n";
    FDefaults = "\\deflang1033\\pard\\plain\\f0\\fs20";
    FColorTable.clear();
}

void TqelRTFSyntax::EscapeToken(std::string&) {}

std::string TqelRTFSyntax::FormatToken(int Kind, const std::string& Token)
{
    return "\\cf" + std::to_string(Kind) + " " + Token;
}

void TqelRTFSyntax::Next() {}

bool TqelRTFSyntax::GetEol()
{
    return true;
}

std::string TqelRTFSyntax::GetToken()
{
    return {};
}

int TqelRTFSyntax::GetTokenKind()
{
    return 0;
}

std::string TqelRTFSyntax::ColorToRtf(int Color)
{
    // There is no system palette to resolve a system colour (flagged in the high byte)
    // against; such a value is written as black rather than as garbage components.
    const unsigned v = Color < 0 ? 0u : static_cast<unsigned>(Color) & 0xFFFFFFu;
    return "\\red" + std::to_string(v & 0xFF) + "\\green" + std::to_string((v >> 8) & 0xFF) + "\\blue" +
           std::to_string((v >> 16) & 0xFF) + ";";
}

void TqelRTFSyntax::SetLine(const std::string&, int) {}

void TqelRTFSyntax::SetAlternateColors() {}

void TqelRTFSyntax::SetText(const std::string& Text)
{
    SetLine(Text, 1);
}

static const char* rtfFamilyWord(int pitchAndFamily)
{
    switch (pitchAndFamily & 0xF0) {
    case 0: return "fdontcare";
    case 16: return "froman";
    case 32: return "fswiss";
    case 48: return "fmodern";
    case 64: return "fscript";
    case 80: return "fdecorative";
    default: return "froman";
    }
}

static const char* rtfCharsetWord(int charSet)
{
    switch (charSet) {
    case 0: return "fcharset0";
    case 1: return "fcharset1";
    case 2: return "fcharset2";
    case 128: return "fcharset128";
    case 255: return "fcharset255";
    default: return "";
    }
}

void TqelRTFSyntax::SetFonts(const std::vector<TRtfFont>& Fonts)
{
    FFontTable.clear();
    for (std::size_t i = 0; i < Fonts.size(); ++i) {
        FFontTable += "{\\f" + std::to_string(i) + "\\" + rtfFamilyWord(Fonts[i].PitchAndFamily) + "\\" +
                      rtfCharsetWord(Fonts[i].CharSet) + " " + Fonts[i].Name + ";}";
    }
}

void TqelRTFSyntax::SetColors(const std::vector<int>& Colors)
{
    FColorTable = "{\\colortbl\\red0\\green0\\blue0;";
    for (int c : Colors)
        FColorTable += ColorToRtf(c);
    FColorTable += "}\r\n";
}

void TqelRTFSyntax::writeDocument(std::string& Out)
{
    Out += FHeader;
    Out += FFontTable;
    Out += FFontTableClose;
    Out += FColorTable;
    Out += FDefaults;
    Out += "\\f0 ";
    std::string token;
    while (!GetEol()) {
        token = GetToken();
        const int kind = GetTokenKind();
        EscapeToken(token);
        // A lone LF is a line break too: without its mark the reloaded view would lose
        // the break and no longer hold the text it was given.
        if (token == "\r\n" || token == "\r" || token == "\n")
            Out += "\\par ";
        Out += FormatToken(kind, token);
        Next();
    }
    Out += "\\par }";
}

void TqelRTFSyntax::SaveToStream(std::ostream& Stream)
{
    std::string out;
    writeDocument(out);
    Stream.write(out.data(), static_cast<std::streamsize>(out.size()));
}

std::string TqelRTFSyntax::GetRtfText()
{
    std::string out;
    writeDocument(out);
    return out;
}
