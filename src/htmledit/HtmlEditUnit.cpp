#include "htmledit/HtmlEditUnit.h"
#include "platform/QtSjis.h"
#include <QColor>
#include <QHash>
#include <QRegularExpression>
#include <cmath>

namespace htmledit {

namespace {
struct EntityRow {
    const char *name;
    char16_t code;
};

// The 252 character entity references of HTML 4.01: Latin-1, symbols, special.
const EntityRow kEntities[] = {
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164}, {"yen", 165},
    {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169}, {"ordf", 170}, {"laquo", 171},
    {"not", 172}, {"shy", 173}, {"reg", 174}, {"macr", 175}, {"deg", 176}, {"plusmn", 177},
    {"sup2", 178}, {"sup3", 179}, {"acute", 180}, {"micro", 181}, {"para", 182}, {"middot", 183},
    {"cedil", 184}, {"sup1", 185}, {"ordm", 186}, {"raquo", 187}, {"frac14", 188}, {"frac12", 189},
    {"frac34", 190}, {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194}, {"Atilde", 195},
    {"Auml", 196}, {"Aring", 197}, {"AElig", 198}, {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201},
    {"Ecirc", 202}, {"Euml", 203}, {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207},
    {"ETH", 208}, {"Ntilde", 209}, {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213},
    {"Ouml", 214}, {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},
    {"Uuml", 220}, {"Yacute", 221}, {"THORN", 222}, {"szlig", 223}, {"agrave", 224}, {"aacute", 225},
    {"acirc", 226}, {"atilde", 227}, {"auml", 228}, {"aring", 229}, {"aelig", 230}, {"ccedil", 231},
    {"egrave", 232}, {"eacute", 233}, {"ecirc", 234}, {"euml", 235}, {"igrave", 236}, {"iacute", 237},
    {"icirc", 238}, {"iuml", 239}, {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243},
    {"ocirc", 244}, {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248}, {"ugrave", 249},
    {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253}, {"thorn", 254}, {"yuml", 255},
    {"fnof", 402}, {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917},
    {"Zeta", 918}, {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922}, {"Lambda", 923},
    {"Mu", 924}, {"Nu", 925}, {"Xi", 926}, {"Omicron", 927}, {"Pi", 928}, {"Rho", 929}, {"Sigma", 931},
    {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949}, {"zeta", 950},
    {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954}, {"lambda", 955}, {"mu", 956},
    {"nu", 957}, {"xi", 958}, {"omicron", 959}, {"pi", 960}, {"rho", 961}, {"sigmaf", 962},
    {"sigma", 963}, {"tau", 964}, {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968},
    {"omega", 969}, {"thetasym", 977}, {"upsih", 978}, {"piv", 982}, {"bull", 8226}, {"hellip", 8230},
    {"prime", 8242}, {"Prime", 8243}, {"oline", 8254}, {"frasl", 8260}, {"weierp", 8472}, {"image", 8465},
    {"real", 8476}, {"trade", 8482}, {"alefsym", 8501}, {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594},
    {"darr", 8595}, {"harr", 8596}, {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658},
    {"dArr", 8659}, {"hArr", 8660}, {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709},
    {"nabla", 8711}, {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721},
    {"minus", 8722}, {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734}, {"ang", 8736},
    {"and", 8743}, {"or", 8744}, {"cap", 8745}, {"cup", 8746}, {"int", 8747}, {"there4", 8756},
    {"sim", 8764}, {"cong", 8773}, {"asymp", 8776}, {"ne", 8800}, {"equiv", 8801}, {"le", 8804},
    {"ge", 8805}, {"sub", 8834}, {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839},
    {"oplus", 8853}, {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969},
    {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001}, {"rang", 9002}, {"loz", 9674}, {"spades", 9824},
    {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830}, {"quot", 34}, {"amp", 38}, {"lt", 60},
    {"gt", 62}, {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376},
    {"circ", 710}, {"tilde", 732}, {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204},
    {"zwj", 8205}, {"lrm", 8206}, {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"dagger", 8224},
    {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249}, {"rsaquo", 8250}, {"euro", 8364},
};
static_assert(sizeof(kEntities) / sizeof(kEntities[0]) == 252);

const QHash<char16_t, QString> &entityTable()
{
    static const QHash<char16_t, QString> t = [] {
        QHash<char16_t, QString> h;
        for (const EntityRow &r : kEntities) h.insert(r.code, QString::fromLatin1(r.name));
        return h;
    }();
    return t;
}

bool inSortedTable(const char *const *table, int n, const QString &name)
{
    for (int i = 0; i < n; ++i)
        if (name.compare(QLatin1String(table[i]), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString extractStartTag(const QString &S, QLatin1String open)
{
    const int p = S.indexOf(open);
    if (p < 0) return S;
    // The tag's own ">", not the first one of the text.
    const int q = S.indexOf(QLatin1Char('>'), p);
    if (q < 0) return S;
    int end = q + 1;
    if (S.mid(end, 2) == QLatin1String("\r\n")) end += 2;
    else if (end < S.size() && (S[end] == QLatin1Char('\n') || S[end] == QLatin1Char('\r'))) end += 1;
    return S.mid(p, end - p);
}
} // namespace

QString EntityName(char16_t CodeUnit)
{
    // Above "diams" no character has a name: text such as Japanese asks nothing of the table.
    if (CodeUnit > 9830) return QString();
    return entityTable().value(CodeUnit);
}

TColor HTMLColorToColorW(const QString &S)
{
    const QString t = S.trimmed();
    if (t.isEmpty()) return clNone;
    static const QRegularExpression rgb(QStringLiteral("^rgba?\\(\\s*(\\d+)\\s*,\\s*(\\d+)\\s*,\\s*(\\d+)\\s*(,[^)]*)?\\)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = rgb.match(t);
    if (m.hasMatch()) {
        const int r = std::min(255, m.captured(1).toInt()), g = std::min(255, m.captured(2).toInt()),
                  b = std::min(255, m.captured(3).toInt());
        return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
    }
    QColor c;
    if (t.startsWith(QLatin1Char('#'))) {
        static const QRegularExpression hex(QStringLiteral("^#([0-9a-fA-F]{3}|[0-9a-fA-F]{6})$"));
        if (!hex.match(t).hasMatch()) return clNone;
        c = QColor::fromString(t);
    } else {
        static const QRegularExpression name(QStringLiteral("^[a-zA-Z]+$"));
        if (!name.match(t).hasMatch() || !QColor::isValidColorName(t)) return clNone;
        c = QColor::fromString(t.toLower());
    }
    if (!c.isValid()) return clNone;
    return TColor(c.red()) | (TColor(c.green()) << 8) | (TColor(c.blue()) << 16);
}

QString ColorToHTMLColorW(TColor Color)
{
    return QStringLiteral("#%1%2%3")
        .arg(Color & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((Color >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((Color >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

THTMLAlign StrToHTMLAlign(const QString &S)
{
    if (S == QLatin1String("left")) return haLeft;
    if (S == QLatin1String("right")) return haRight;
    if (S == QLatin1String("center")) return haCenter;
    return haDefault;
}

bool ParseHTMLLength(const QString &S, int &Value, bool &Percent)
{
    Value = 0;
    Percent = false;
    static const QRegularExpression num(QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]*)?)\\s*(%|px)?\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = num.match(S);
    if (!m.hasMatch()) return S.trimmed().isEmpty();
    const double v = m.captured(1).toDouble();
    Value = int(std::lround(std::min(v, 65535.0)));
    Percent = m.captured(2) == QLatin1String("%");
    return true;
}

bool IsEmptyElement(const QString &Name)
{
    static const char *const t[] = {"area", "base", "basefont", "br", "col", "frame", "hr",
                                    "img",  "input", "isindex", "link", "meta", "param"};
    return inSortedTable(t, 13, Name);
}

bool IsBooleanAttribute(const QString &Name)
{
    static const char *const t[] = {"checked", "compact",  "declare",  "defer",  "disabled", "ismap",
                                    "multiple", "noresize", "noshade", "nowrap", "readonly", "selected"};
    return inSortedTable(t, 12, Name);
}

void RemoveComments(QString &S)
{
    int from = 0;
    for (;;) {
        const int p = S.indexOf(QLatin1String("<!--"), from);
        if (p < 0) return;
        // The end that belongs to this comment, not a stray "-->" before it.
        const int q = S.indexOf(QLatin1String("-->"), p + 4);
        if (q < 0) return;
        S.remove(p, q - p + 3);
        from = p;
    }
}

QString ExtractHtmlStartTag(const QString &S) { return extractStartTag(S, QLatin1String("<html")); }
QString ExtractBodyStartTag(const QString &S) { return extractStartTag(S, QLatin1String("<body")); }

void MovePreambleIntoBody(QString &Html, const QString &Source)
{
    const bool same = Html == Source;
    QString s = Source;
    const int d = s.indexOf(QLatin1String("<!DOCTYPE"), 0, Qt::CaseInsensitive);
    if (d >= 0) {
        const int e = s.indexOf(QLatin1Char('>'), d);
        if (e >= 0) s.remove(d, e - d + 1);
    }
    RemoveComments(s);
    int lead = 0;
    while (lead < s.size() && s[lead].unicode() <= 32) ++lead;
    s.remove(0, lead);
    const int q = s.indexOf(QLatin1String("<html>"), 0, Qt::CaseInsensitive);
    if (q <= 0) return;
    const QString pre = s.left(q);
    int b = Html.indexOf(QLatin1String("<body>"), 0, Qt::CaseInsensitive);
    int at = -1;
    if (b >= 0) at = b + 6;
    else {
        b = Html.indexOf(QLatin1String("<body "), 0, Qt::CaseInsensitive);
        if (b >= 0) {
            const int e = Html.indexOf(QLatin1Char('>'), b);
            if (e >= 0) at = e + 1;
        }
    }
    if (at < 0) return;
    Html.insert(at, pre);
    if (same) {
        const int r = Html.indexOf(QLatin1String("<html>"), 0, Qt::CaseInsensitive);
        if (r >= pre.size()) Html.remove(r - pre.size(), pre.size());
    }
}

QString LowercaseStyleText(const QString &Css)
{
    QString out = Css;
    bool flag = false;
    for (int i = out.size() - 1; i >= 0; --i) {
        const QChar c = out[i];
        if (c == QLatin1Char(':')) flag = true;
        else if (c == QLatin1Char('-')) {
        } else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            if (flag) out[i] = c.toLower();
        } else if (!(c >= QLatin1Char('a') && c <= QLatin1Char('z'))) flag = false;
    }
    return out;
}

QString WideStringReplace(const QString &S, const QString &OldPattern, const QString &NewPattern, bool ReplaceAll,
                          bool IgnoreCase)
{
    if (S.isEmpty() || OldPattern.isEmpty()) return S;
    const Qt::CaseSensitivity cs = IgnoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    QString result;
    int from = 0;
    for (;;) {
        const int o = S.indexOf(OldPattern, from, cs);
        if (o < 0) break;
        result += S.mid(from, o - from) + NewPattern;
        from = o + OldPattern.size();
        if (!ReplaceAll) break;
    }
    return result + S.mid(from);
}

int WidePosExText(const QString &Sub, const QString &S, int Offset)
{
    if (Sub.isEmpty()) return 0;
    const int i = S.indexOf(Sub, std::max(0, Offset - 1), Qt::CaseInsensitive);
    return i < 0 ? 0 : i + 1;
}

bool TryWideToAnsi(const QString &W, std::string &A)
{
    A = toSjis(W);
    return fromSjis(A) == W;
}

} // namespace htmledit
