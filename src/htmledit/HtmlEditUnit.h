// Free routines and tables of the HTML editing control: entity names, colour and length
// readers, the empty-element and boolean-attribute tables, start-tag cutting, the preamble
// move and the style-text scan. Pure text, no engine.
#pragma once
#include <QString>
#include <cstdint>

namespace htmledit {

inline const QString kBusy = QStringLiteral("BUSY");
inline const QString kError = QStringLiteral("ERROR");

// The browser version the control reports; this engine stands for 8.0.
constexpr double GIEVersion = 8.0;

using TColor = std::uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

enum THTMLAlign { haDefault = 0, haLeft, haRight, haCenter };

// The HTML 4.01 entity name of a UTF-16 code unit; empty when it has none.
QString EntityName(char16_t CodeUnit);

// "#rgb", "#rrggbb", a colour name or "rgb(r, g, b)" as a colour value (red in the low
// byte); clNone when the text cannot be read.
TColor HTMLColorToColorW(const QString &S);
// "#RRGGBB" in upper-case hexadecimal.
QString ColorToHTMLColorW(TColor Color);
THTMLAlign StrToHTMLAlign(const QString &S);
// "120", "100px", "75%", "50.5%": the number (rounded, clamped to 0..65535) and whether it
// is a percentage. False when nothing numeric leads the text; Value and Percent are then 0.
bool ParseHTMLLength(const QString &S, int &Value, bool &Percent);

bool IsEmptyElement(const QString &Name);
bool IsBooleanAttribute(const QString &Name);

// Deletes every complete "<!--" ... "-->"; an unterminated comment stays.
void RemoveComments(QString &S);
// The start tag "<html"/"<body" through its own ">" plus one following line end; S itself
// when there is no such tag.
QString ExtractHtmlStartTag(const QString &S);
QString ExtractBodyStartTag(const QString &S);
// Moves text standing before the html start tag of Source into the body of Html.
void MovePreambleIntoBody(QString &Html, const QString &Source);
// Lower-cases the property names of a style text (values keep their case).
QString LowercaseStyleText(const QString &Css);

// Replacement with the class library's first/all and case semantics.
QString WideStringReplace(const QString &S, const QString &OldPattern, const QString &NewPattern, bool ReplaceAll,
                          bool IgnoreCase);
// 1-based position of Sub in S from Offset, letter case ignored; 0 when absent.
int WidePosExText(const QString &Sub, const QString &S, int Offset = 1);

// S converted to Shift_JIS; false when it does not come back unchanged.
bool TryWideToAnsi(const QString &W, std::string &A);

} // namespace htmledit
