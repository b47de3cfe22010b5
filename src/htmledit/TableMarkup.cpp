#include "htmledit/TableMarkup.h"
#include "platform/QtSjis.h"

namespace htmledit {

namespace {
QString escaped(const QString &S)
{
    QString r = S;
    r.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    r.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    r.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    r.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return r;
}

QString colour(const char *Name, TColor C)
{
    if (C == clNone || C == clDefault) return QString();
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(Name), ColorToHTMLColorW(C));
}

QString alignText(THTMLAlign A)
{
    switch (A) {
    case haLeft: return QStringLiteral(" Align=\"left\"");
    case haRight: return QStringLiteral(" Align=\"right\"");
    case haCenter: return QStringLiteral(" Align=\"center\"");
    default: return QString();
    }
}

QString valignText(THTMLVAlign A)
{
    switch (A) {
    case haTop: return QStringLiteral(" VAlign=\"top\"");
    case haMiddle: return QStringLiteral(" VAlign=\"middle\"");
    case haBottom: return QStringLiteral(" VAlign=\"bottom\"");
    case haBaseline: return QStringLiteral(" VAlign=\"baseline\"");
    default: return QString();
    }
}

QString background(const std::string &B)
{
    return B.empty() ? QString() : QStringLiteral(" BACKGROUND=\"") + escaped(fromSjis(B)) + QLatin1Char('"');
}
} // namespace

QString BuildTableMarkup(int Rows, int Cols, const QString &Caption, const TProfDHTMLEditTableAttrs &T,
                         const TProfDHTMLEditTableCellAttrs &C)
{
    QString t = QStringLiteral("border=%1 cellSpacing=%2 cellPadding=%3 width=%4%5")
                    .arg(T.BorderSize)
                    .arg(T.CellSpacing)
                    .arg(T.CellPadding)
                    .arg(T.Width)
                    .arg(T.WidthInPercent ? QStringLiteral("%") : QString());
    t += colour("bgcolor", T.BgColor) + colour("bordercolor", T.BorderColor) + alignText(T.Align) + background(T.Background);

    QString c = colour("bgcolor", C.BgColor) + colour("bordercolor", C.BorderColor);
    if (C.NoWrap) c += QStringLiteral(" nowrap");
    c += alignText(C.Align) + valignText(C.VAlign) + background(C.Background);
    if (C.Width != 0) c += QStringLiteral(" width=%1%2").arg(C.Width).arg(C.WidthInPercent ? QStringLiteral("%") : QString());
    if (C.Height != 0) c += QStringLiteral(" height=%1%2").arg(C.Height).arg(C.HeightInPercent ? QStringLiteral("%") : QString());
    if (!C.ObjectClass.isEmpty()) c += QStringLiteral(" CLASS=\"") + escaped(C.ObjectClass) + QLatin1Char('"');

    QString m = QStringLiteral("<TABLE ") + t + QLatin1Char('>');
    if (!Caption.isEmpty()) m += QStringLiteral("<CAPTION>") + escaped(Caption) + QStringLiteral("</CAPTION>");
    m += QStringLiteral("<TBODY>");
    const QString cell = QStringLiteral("<TD") + c + QStringLiteral("></TD>");
    for (int r = 0; r < Rows; ++r) {
        m += QStringLiteral("<TR>");
        for (int k = 0; k < Cols; ++k) m += cell;
        m += QStringLiteral("</TR>");
    }
    return m + QStringLiteral("</TBODY></TABLE>");
}

} // namespace htmledit
