// The look of the next table the editing control inserts, and the markup built from it.
#pragma once
#include "htmledit/HtmlEditUnit.h"
#include <QString>
#include <string>

namespace htmledit {

enum THTMLVAlign { haVDefault = 0, haTop, haMiddle, haBottom, haBaseline };

struct TProfDHTMLEditTableAttrs {
    std::string Background;  // Shift_JIS
    TColor BgColor = clNone;
    TColor BorderColor = clNone;
    unsigned short Width = 75;
    THTMLAlign Align = haDefault;
    bool WidthInPercent = true;
    unsigned char BorderSize = 1;
    unsigned char CellSpacing = 1;
    unsigned char CellPadding = 1;
};

struct TProfDHTMLEditTableCellAttrs {
    std::string Background;  // Shift_JIS
    QString ObjectClass;
    TColor BgColor = clNone;
    TColor BorderColor = clNone;
    unsigned short Width = 0;
    unsigned short Height = 0;
    THTMLAlign Align = haDefault;
    THTMLVAlign VAlign = haVDefault;
    bool NoWrap = false;
    bool WidthInPercent = false;
    bool HeightInPercent = false;
};

// Rows x Cols empty cells (none for 0 or less) with an optional caption. Caption, background
// and class are escaped, so they cannot break out of their place in the markup.
QString BuildTableMarkup(int Rows, int Cols, const QString &Caption, const TProfDHTMLEditTableAttrs &Table,
                         const TProfDHTMLEditTableCellAttrs &Cell);

} // namespace htmledit
