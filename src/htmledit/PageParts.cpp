#include "htmledit/PageParts.h"

namespace htmledit {

const QString kPartSeparator = QStringLiteral("<!--") + QString(50, QLatin1Char('*')) + QStringLiteral("-->");

namespace {
constexpr Qt::CaseSensitivity CI = Qt::CaseInsensitive;

// The start tag at Pos through its ">", or empty when the ">" is missing.
QString startTagAt(const QString &S, int Pos)
{
    const int e = S.indexOf(QLatin1Char('>'), Pos);
    return e < 0 ? QString() : S.mid(Pos, e - Pos + 1);
}

QString extractBlocks(const QString &Source, const QString &Tag, const QString &Exclude)
{
    QString s = Source;
    s.remove(QStringLiteral("\r\n\r\n"));
    s.remove(QStringLiteral("\n\n"));
    s.remove(QStringLiteral("\r\r"));
    const QString open = QLatin1Char('<') + Tag + QLatin1Char(' ');
    const QString close = QStringLiteral("</") + Tag + QLatin1Char('>');
    // The next block of R from From: [start, end) or false when none is complete.
    auto next = [&](const QString &R, int From, int &A, int &B) {
        A = R.indexOf(open, From, CI);
        if (A < 0) return false;
        const int e = R.indexOf(close, A, CI);
        if (e < 0) return false;
        B = e + close.size();
        return true;
    };
    auto excluded = [&](const QString &Block) { return startTagAt(Block, 0).contains(Exclude, CI); };
    int a = 0, b = 0;
    if (!next(s, 0, a, b)) return QString();
    const QString first = s.mid(a, b - a);
    int from = b + 1;  // one character after the end tag is skipped
    if (from > s.size() || s.indexOf(open, from, CI) < 0) return first;
    QString c = excluded(first) ? QString() : first;
    while (next(s, from, a, b)) {
        const QString block = s.mid(a, b - a);
        from = b + 1;
        if (excluded(block)) continue;
        c = c.isEmpty() ? block : c + QStringLiteral("\r\n\r\n") + kPartSeparator + QStringLiteral("\r\n\r\n") + block;
        if (from > s.size()) break;
    }
    return c;
}

bool isWebUrl(const QString &V) { return V.contains(QLatin1String("http://"), CI) || V.contains(QLatin1String("https://"), CI); }

QString fixSlashes(QString V)
{
    V.replace(QLatin1String("://"), QLatin1String(":||"), CI);
    V.replace(QLatin1String("///"), QLatin1String("/"), CI);
    V.replace(QLatin1String("//"), QLatin1String("/"), CI);
    V.replace(QLatin1String(":||"), QLatin1String("://"), CI);
    V.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return V;
}

// The quoted value after Name=" inside Tag; false when absent or unterminated.
bool quotedValue(const QString &Tag, const QString &Name, QString &V)
{
    const int p = Tag.indexOf(Name + QLatin1Char('"'), 0, CI);
    if (p < 0) return false;
    const int a = p + Name.size() + 1;
    const int e = Tag.indexOf(QLatin1Char('"'), a);
    if (e < 0) return false;
    V = Tag.mid(a, e - a);
    return true;
}
} // namespace

QString ExtractScriptBlocks(const QString &Source) { return extractBlocks(Source, QStringLiteral("script"), QStringLiteral("SRC=")); }
QString ExtractStyleBlocks(const QString &Source) { return extractBlocks(Source, QStringLiteral("style"), QStringLiteral("HREF=")); }

QString SchemeOf(const QString &BaseURL)
{
    return BaseURL.startsWith(QLatin1String("https://"), CI) ? QStringLiteral("https") : QStringLiteral("http");
}

bool ScanBackgroundImages(const QString &Source, const QString &BaseURL, QStringList &List)
{
    QString base = BaseURL, site;
    bool web = false;
    if (base.startsWith(QLatin1String("http://"), CI) || base.startsWith(QLatin1String("https://"), CI)) {
        web = true;
        const int host = base.indexOf(QLatin1String("://")) + 3;
        const int slash = base.indexOf(QLatin1Char('/'), host);
        site = slash < 0 ? base : base.left(slash + 1);
        if (slash >= 0 && !base.endsWith(QLatin1Char('/'))) {
            const int last = base.lastIndexOf(QLatin1Char('/'));
            if (base.indexOf(QLatin1Char('.'), last) >= 0) base = base.left(last + 1);
        }
    } else {
        if (base.startsWith(QLatin1String("file://"), CI)) base = base.mid(7);
        base.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const int last = base.lastIndexOf(QLatin1Char('/'));
        if (last >= 0) base = base.left(last + 1);
    }
    const QString scheme = SchemeOf(BaseURL);
    bool found = false;
    static const QString attr = QStringLiteral("BACKGROUND=\"");
    int from = 0;
    for (;;) {
        const int p = Source.indexOf(attr, from, CI);
        if (p < 0) break;
        const int a = p + attr.size();
        const int e = Source.indexOf(QLatin1Char('"'), a);
        if (e < 0) break;
        from = e + 1;
        QString v = Source.mid(a, e - a);
        found = true;
        if (isWebUrl(v)) {
        } else if (v.startsWith(QLatin1String("//"))) {
            v = scheme + QLatin1Char(':') + v;
        } else if (v.startsWith(QLatin1Char('/'))) {
            if (web) v = site + v;  // a local "/" path is absolute already
        } else if (v.size() > 1 && v[1] == QLatin1Char(':')) {
        } else {
            v = base + QLatin1Char('/') + v;
        }
        List << fixSlashes(v);
    }
    return found;
}

bool ScanIFrames(const QString &Source, QStringList &List)
{
    if (!Source.contains(QLatin1String("<iframe"), CI)) return false;
    int from = 0;
    for (;;) {
        const int p = Source.indexOf(QLatin1String("<IFRAME "), from, CI);
        if (p < 0) break;
        const int e = Source.indexOf(QLatin1Char('>'), p + 1);
        if (e < 0) break;
        from = e + 1;
        QString v;
        if (quotedValue(Source.mid(p, e - p + 1), QStringLiteral("SRC="), v)) List << v;
    }
    return true;
}

void ScanScriptFiles(const QString &Source, const QString &BaseURL, QStringList &List)
{
    QString s = Source;
    s.replace(QLatin1String("LANGUAGE=JAVASCRIPT"), QStringLiteral("<SCRIPT LANGUAGE=\"JAVASCRIPT"), CI);
    const QString scheme = SchemeOf(BaseURL);
    // Tags with a language attribute come first, then the others, as each is cut out.
    for (const QString &open : {QStringLiteral("<SCRIPT LANGUAGE="), QStringLiteral("<SCRIPT ")}) {
        int from = 0;
        for (;;) {
            const int p = s.indexOf(open, from, CI);
            if (p < 0) break;
            const int e = s.indexOf(QLatin1Char('>'), p + 1);
            if (e < 0) return;
            const QString tag = s.mid(p, e - p + 1);
            s.remove(p, e - p + 1);
            from = p;
            QString v;
            if (!quotedValue(tag, QStringLiteral("SRC="), v)) continue;
            if (!isWebUrl(v) && v.startsWith(QLatin1String("//"))) v = scheme + QLatin1Char(':') + v;
            if (v.contains(QLatin1String(".js"))) List << v;
        }
    }
}

QString FinishImageUrl(const QString &V, const QString &Scheme)
{
    if (!V.startsWith(QLatin1String("//"))) return V;
    QString v = Scheme + QLatin1Char(':') + V;
    // A doubled host prefix loses one copy, dot included.
    const int w = v.indexOf(QLatin1String("www.www."));
    if (w >= 0) v.replace(w, 8, QStringLiteral("www."));
    return v;
}

QString FinishLinkUrl(const QString &V, const QString &Scheme)
{
    QString v = V;
    const int t = v.indexOf(QLatin1String("///"));
    if (t >= 0) v.replace(t, 3, QStringLiteral("//"));
    const int h = v.indexOf(QLatin1Char('#'));
    if (h >= 0) v.truncate(h + 1);
    if (v.startsWith(QLatin1String("//"))) v = Scheme + QLatin1Char(':') + v;
    return v;
}

QString RemoveDesignTimeAttributes(const QString &Html)
{
    QString r = Html;
    for (const QString &name : {QStringLiteral(" DESIGNTIMEURL=\""), QStringLiteral(" DESIGNTIMESP=\"")}) {
        int from = 0;
        for (;;) {
            const int p = r.indexOf(name, from, CI);
            if (p < 0) break;
            const int e = r.indexOf(QLatin1Char('"'), p + name.size());
            if (e < 0) break;
            r.remove(p, e - p + 1);
            from = p;
        }
    }
    int a = 0, b = r.size();
    while (a < b && r[a].unicode() <= 32) ++a;
    while (b > a && r[b - 1].unicode() <= 32) --b;
    return r.mid(a, b - a);
}

QString UnwrapSpanSource(const QString &Html)
{
    QString h = Html;
    if (h.startsWith(QLatin1String("<span>\r\n  "), CI)) h.remove(0, 10);
    else if (h.startsWith(QLatin1String("<span>"), CI)) h.remove(0, 6);
    if (h.endsWith(QLatin1String("\r\n</span>"), CI)) h.chop(9);
    else if (h.endsWith(QLatin1String("</span>"), CI)) h.chop(7);
    return h;
}

} // namespace htmledit
