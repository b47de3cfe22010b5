#include "htmledit/TCustomProfDHTMLEdit.h"
#include "htmledit/HtmlEditUnit.h"
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

using namespace htmledit;

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// Where the head ends (just after "</head>"), when a head start comes before it; -1 else.
int headEnd(const QString &S)
{
    static const QRegularExpression open(QStringLiteral("<head[\\s>]"), QRegularExpression::CaseInsensitiveOption);
    const int h = S.indexOf(open);
    const int e = S.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
    if (h < 0 || e < 0 || h > e) return -1;
    return e + 7;
}

QString trimmedLinesJoined(const QString &S)
{
    QString out;
    const QStringList lines = S.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString &l : lines) {
        int a = 0, b = l.size();
        while (a < b && l[a].unicode() <= 32) ++a;
        while (b > a && l[b - 1].unicode() <= 32) --b;
        if (b > a) out += l.mid(a, b - a) + kCrLf;
    }
    return out;
}
} // namespace

TCustomProfDHTMLEdit::TCustomProfDHTMLEdit(QWidget *parent) : QFrame(parent) {}
TCustomProfDHTMLEdit::~TCustomProfDHTMLEdit() = default;

void TCustomProfDHTMLEdit::setTimeout(double Seconds)
{
    if (Seconds > 0 && !std::isnan(Seconds) && !std::isinf(Seconds)) timeout_ = Seconds;
}

void TCustomProfDHTMLEdit::fire(const TNotifyEvent &Event)
{
    if (!Event) return;
    try {
        Event(this);
    } catch (...) {
    }
}

void TCustomProfDHTMLEdit::setRedraw(bool On) { setUpdatesEnabled(On); }

int TCustomProfDHTMLEdit::BeginUpdate()
{
    if (updateCount_ == 0) setRedraw(false);
    return ++updateCount_;
}

int TCustomProfDHTMLEdit::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0) {
        setRedraw(true);
        update();
    }
    return updateCount_;
}

void TCustomProfDHTMLEdit::SetBaseURL(const QString &URL)
{
    FIsHttp = false;
    QString b = URL;
    static const QRegularExpression web(QStringLiteral("https?://"), QRegularExpression::CaseInsensitiveOption);
    const auto m = web.match(URL);
    if (m.hasMatch()) {
        FIsHttp = true;
        const int slash = URL.indexOf(QLatin1Char('/'), m.capturedEnd());
        if (slash >= 0) b = URL.left(slash + 1);
    }
    b.replace(QLatin1Char('\\'), QLatin1Char('/'));
    FHomeURL = b.left(b.size() - 1);
    FBaseURL = b;
}

QString TCustomProfDHTMLEdit::GetHtmlStartTag() const
{
    return FHtmlAttributes.isEmpty() ? QStringLiteral("<html>") : QStringLiteral("<html") + FHtmlAttributes + QLatin1Char('>');
}

void TCustomProfDHTMLEdit::SetOriginalSource(const QString &Source)
{
    FOriginalSource = Source;
    if (IsBusy()) originalStoredWhilePending_ = true;
    const int b = Source.indexOf(QLatin1String("<BODY"), 0, Qt::CaseInsensitive);
    if (b < 0) {
        FOriginalBodyTag.clear();
        return;
    }
    const int e = Source.indexOf(QLatin1Char('>'), b + 5);
    if (e >= 0) FOriginalBodyTag = Source.mid(b, e - b + 1);
}

void TCustomProfDHTMLEdit::GetOriginalHead(QString &Head) const
{
    const int e = headEnd(FOriginalSource);
    if (e < 0) return;
    Head = trimmedLinesJoined(FOriginalSource.left(e));
}

QString TCustomProfDHTMLEdit::CharsetName(const QString &Source)
{
    const int p = Source.indexOf(QLatin1String("CHARSET="), 0, Qt::CaseInsensitive);
    if (p < 0) return QString();
    int a = p + 8;
    if (a < Source.size() && (Source[a] == QLatin1Char('"') || Source[a] == QLatin1Char('\''))) ++a;
    int b = a;
    while (b < Source.size()) {
        const QChar c = Source[b];
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char(';') || c == QLatin1Char('>') ||
            c.unicode() <= 32)
            break;
        ++b;
    }
    return Source.mid(a, b - a);
}

QString TCustomProfDHTMLEdit::DropBlankMarkupLines(const QString &Source)
{
    static const QRegularExpression keep(QStringLiteral("<(/?)(pre|listing|xmp|plaintext|textarea|script|style)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    // The tags that open and close kept text, found in one pass: none of them spans a line end.
    struct Tag {
        qsizetype at;
        int step;
    };
    QVector<Tag> tags;
    for (auto it = keep.globalMatch(Source); it.hasNext();) {
        const auto m = it.next();
        tags.push_back({m.capturedStart(), m.capturedLength(1) == 0 ? 1 : -1});
    }
    const QList<QStringView> lines = QStringView(Source).split(kCrLf);
    QString out;
    out.reserve(Source.size());
    QStringView prev;
    bool any = false;
    int depth = 0, t = 0;
    qsizetype lineStart = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QStringView l = lines[i];
        const qsizetype lineEnd = lineStart + l.size();
        const bool inside = depth > 0;
        for (; t < tags.size() && tags[t].at < lineEnd; ++t) depth = std::max(0, depth + tags[t].step);
        lineStart = lineEnd + 2;
        if (!inside && any && i + 1 < lines.size() && l.trimmed().isEmpty() && prev.trimmed().endsWith(QLatin1Char('>')) &&
            lines[i + 1].trimmed().startsWith(QLatin1Char('<')))
            continue;
        if (any) out += kCrLf;
        out += l;
        prev = l;
        any = true;
    }
    return out;
}

QString TCustomProfDHTMLEdit::sitePrefix() const
{
    QString b = FBaseURL;
    b.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (b.size() > 1 && b.endsWith(QLatin1Char('/'))) b.chop(1);
    return b.size() > 1 ? b : QString();
}

WriterContext TCustomProfDHTMLEdit::writerContext(unsigned Options)
{
    WriterContext c;
    c.options = Options;
    c.substitutions = TagsSubstitution;
    c.stripPrefix = sitePrefix();
    return c;
}

QString TCustomProfDHTMLEdit::GetSource()
{
    if (!IsReady()) return FOriginalSource;
    const int he = headEnd(FOriginalSource);
    QString h;
    if (he >= 0) {
        h = FOriginalSource.left(he);
        h.replace(QStringLiteral("\r\n\r\n"), kCrLf);
    }
    if (PreservesSource()) {
        QString s = GetDocumentHTML();
        if (s == kError || s == kBusy) return s;
        MovePreambleIntoBody(s, s);
        RestoreTitle(s, GetTitle());
        UnescapeHrefAmpersands(s);
        return s;
    }
    QString s = GenerateSource(writerContext(SourceCodeOptions));
    if (s == kError || s == kBusy) return s;
    const int gh = headEnd(s);
    if (gh >= 0 && !s.left(gh).contains(QLatin1String("<script"), Qt::CaseInsensitive))
        RestoreHeadScripts(s, GetDocumentHTML());
    s = DropBlankMarkupLines(s);
    // Without a stored head the generated document stands alone; the body is not doubled.
    if (he < 0) return s;
    const int ge = headEnd(s);
    if (ge >= 0) s.remove(0, ge);
    return h + s;
}

QString TCustomProfDHTMLEdit::GetHeadSource()
{
    if (!IsReady()) return kBusy;
    QString h = FOriginalSource;
    const int he = headEnd(h);
    if (PreservesSource()) return he >= 0 ? h.left(he) : h;
    if (he >= 0) {
        h = h.left(he);
        h.remove(QLatin1Char('\t'));
        h = WideStringReplace(h, QStringLiteral("><"), QStringLiteral(">\r\n<"), true, true);
        h = WideStringReplace(h, QStringLiteral("/>"), QStringLiteral("/>\r\n"), true, true);
        h = WideStringReplace(h, QStringLiteral(">\r\n</script>"), QStringLiteral("></script>"), true, true);
        h = WideStringReplace(h, QStringLiteral("\r\n\r\n"), kCrLf, true, true);
        h = trimmedLinesJoined(h);
    }
    h = WideStringReplace(h, QStringLiteral("\r\n\r\n"), kCrLf, true, true);
    if (!FHtmlAttributes.isEmpty()) {
        const QString tag = ExtractHtmlStartTag(h);
        if (tag != h) h = WideStringReplace(h, tag, QStringLiteral("<html") + FHtmlAttributes + QStringLiteral(">\r\n"), true, true);
    }
    return h;
}

QString TCustomProfDHTMLEdit::GetBodySource()
{
    QString body;
    if (!IsReady()) body = kBusy;
    else if (!PreservesSource()) {
        body = GenerateElementSource(QStringLiteral("body"), writerContext(SourceCodeOptions));
        body = DropBlankMarkupLines(body);
    } else {
        const QString d = GetDocumentHTML();
        int b = d.indexOf(QLatin1String("<BODY>"), 0, Qt::CaseInsensitive);
        if (b < 0) b = d.indexOf(QLatin1String("<BODY "), 0, Qt::CaseInsensitive);
        if (b >= 0) {
            const int e = d.indexOf(QLatin1String("</BODY>"), b, Qt::CaseInsensitive);
            if (e >= 0) {
                body = d.mid(b, e + 7 - b);
                MovePreambleIntoBody(body, d);
            } else {
                body = d.mid(b);
                const int x = body.indexOf(QLatin1String("</HTML>"), 0, Qt::CaseInsensitive);
                if (x >= 0) body.truncate(x);
            }
        } else {
            body = d;
            int x = body.indexOf(QLatin1String("<HTML>"), 0, Qt::CaseInsensitive);
            if (x >= 0) body.remove(0, x + 6);
            x = body.indexOf(QLatin1String("</HTML>"), 0, Qt::CaseInsensitive);
            if (x >= 0) body.truncate(x);
            x = body.indexOf(QLatin1String("</HEAD>"), 0, Qt::CaseInsensitive);
            if (x >= 0) body.remove(0, x + 7);
            while (body.startsWith(kCrLf)) body.remove(0, 2);
        }
    }
    if (body == kBusy || body == kError) return body;
    body = WideStringReplace(body, QStringLiteral("<body>"),
                             FOriginalBodyTag.isEmpty() ? QStringLiteral(" <body>") : QLatin1Char(' ') + FOriginalBodyTag,
                             true, true);
    if (!FBodyAttributes.isEmpty()) {
        const QString tag = ExtractBodyStartTag(body);
        if (tag != body)
            body = WideStringReplace(body, tag, QStringLiteral("<body") + FBodyAttributes + QStringLiteral(">\r\n"), true, true);
    }
    return WideStringReplace(body, QStringLiteral("</body>"), QStringLiteral(" </body>"), true, true);
}
