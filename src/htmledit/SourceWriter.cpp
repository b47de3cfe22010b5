#include "htmledit/SourceWriter.h"
#include "htmledit/HtmlEditUnit.h"
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>
#include <QVarLengthArray>
#include <unordered_map>

namespace htmledit {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

bool has(unsigned options, unsigned bit) { return (options & bit) != 0; }

// HTML 4.01's inline elements, ABBR, which the engine knows only by name, and WBR: a line end
// written before a break opportunity would put a blank into the word.
bool isInline(const QString &l)
{
    static const QSet<QString> s = {
        QStringLiteral("a"),      QStringLiteral("abbr"),   QStringLiteral("acronym"), QStringLiteral("b"),
        QStringLiteral("basefont"), QStringLiteral("bdo"),  QStringLiteral("big"),     QStringLiteral("br"),
        QStringLiteral("cite"),   QStringLiteral("code"),   QStringLiteral("dfn"),     QStringLiteral("em"),
        QStringLiteral("font"),   QStringLiteral("i"),      QStringLiteral("img"),     QStringLiteral("kbd"),
        QStringLiteral("label"),  QStringLiteral("q"),      QStringLiteral("s"),       QStringLiteral("samp"),
        QStringLiteral("small"),  QStringLiteral("span"),   QStringLiteral("strike"),  QStringLiteral("strong"),
        QStringLiteral("sub"),    QStringLiteral("sup"),    QStringLiteral("textarea"), QStringLiteral("tt"),
        QStringLiteral("u"),      QStringLiteral("var"),    QStringLiteral("wbr")};
    return s.contains(l);
}

// The engine's void elements besides the classic ones: without this they would get end tags
// and AddNbsp would put a visible "&nbsp;" into the text.
bool isEmptyTag(const QString &l)
{
    static const QSet<QString> extra = {QStringLiteral("embed"), QStringLiteral("source"), QStringLiteral("track"),
                                        QStringLiteral("wbr")};
    return IsEmptyElement(l) || extra.contains(l);
}

// HEAD as well: a text in it ("<head>&nbsp;</head>" of a page without head elements) would be
// moved into the body by every browser, a visible blank the page never had.
bool noNbsp(const QString &l)
{
    static const QSet<QString> s = {QStringLiteral("button"), QStringLiteral("form"),   QStringLiteral("iframe"),
                                    QStringLiteral("head"),
                                    QStringLiteral("marquee"), QStringLiteral("object"), QStringLiteral("select"),
                                    QStringLiteral("style"),  QStringLiteral("tbody"),  QStringLiteral("textarea"),
                                    QStringLiteral("title")};
    return s.contains(l);
}

// Elements whose text the parser takes as it stands: written unescaped.
bool isRawText(const QString &l)
{
    return l == QLatin1String("script") || l == QLatin1String("style") || l == QLatin1String("xmp") ||
           l == QLatin1String("plaintext");
}

// Elements whose whitespace is content.
bool preservesSpace(const QString &l)
{
    return l == QLatin1String("pre") || l == QLatin1String("listing") || l == QLatin1String("textarea") ||
           isRawText(l);
}

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\f');
}

// "&" as written in a value reads back as a character reference only before "#" or a name.
bool ampersandNeedsEscape(const QString &v, int i)
{
    const int n = v.size();
    if (i + 1 >= n) return false;
    if (v[i + 1] == QLatin1Char('#')) return true;
    int j = i + 1;
    while (j < n && v[j].isLetterOrNumber() && v[j].unicode() < 128) ++j;
    if (j == i + 1) return false;
    if (j < n && v[j] == QLatin1Char(';')) return true;
    // A legacy name without ";" is decoded unless "=" or an alphanumeric follows it.
    const QString name = v.mid(i + 1, j - i - 1);
    for (int k = name.size(); k >= 2; --k) {
        const QString pre = name.left(k);
        static const QSet<QString> legacy = {QStringLiteral("amp"), QStringLiteral("lt"), QStringLiteral("gt"),
                                             QStringLiteral("quot"), QStringLiteral("nbsp"), QStringLiteral("copy"),
                                             QStringLiteral("reg"), QStringLiteral("AMP"), QStringLiteral("LT"),
                                             QStringLiteral("GT"), QStringLiteral("QUOT")};
        if (legacy.contains(pre)) return k == name.size() && !(j < n && v[j] == QLatin1Char('='));
    }
    return false;
}

bool needsQuotes(const QString &v)
{
    if (v.isEmpty()) return true;
    for (QChar c : v)
        if (isSpace(c) || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('=') ||
            c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('`'))
            return true;
    return false;
}

// Appends S with every line end as CR LF.
void appendLines(QString &out, QStringView s)
{
    const QChar *p = s.data(), *end = p + s.size(), *run = p;
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (u != u'\r' && u != u'\n') continue;
        out.append(run, p - run);
        out += kCrLf;
        if (u == u'\r' && p + 1 < end && p[1] == u'\n') ++p;
        run = p + 1;
    }
    out.append(run, end - run);
}

// Appends text data escaped: markup characters and, with UseEntityReferences, named characters
// as references; line ends as CR LF.
void appendEscaped(QString &out, QStringView t, unsigned options)
{
    const bool names = has(options, UseEntityReferences);
    const QChar *p = t.data(), *end = p + t.size(), *run = p;
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (u < 0x80 && u != u'<' && u != u'>' && u != u'&' && u != u'\r' && u != u'\n' && u != u'"') continue;
        QLatin1String rep;
        QString name;
        switch (u) {
        case u'<': rep = QLatin1String("&lt;"); break;
        case u'>': rep = QLatin1String("&gt;"); break;
        case u'&': rep = QLatin1String("&amp;"); break;
        case 0xA0: rep = QLatin1String("&nbsp;"); break;
        case u'\r':
        case u'\n':
            out.append(run, p - run);
            out += kCrLf;
            if (u == u'\r' && p + 1 < end && p[1] == u'\n') ++p;
            run = p + 1;
            continue;
        case u'"':
            if (!names) continue;
            rep = QLatin1String("&quot;");
            break;
        default:
            if (!names) continue;
            name = EntityName(u);
            if (name.isEmpty()) continue;
            break;
        }
        out.append(run, p - run);
        if (name.isEmpty()) {
            out += rep;
        } else {
            out += QLatin1Char('&');
            out += name;
            out += QLatin1Char(';');
        }
        run = p + 1;
    }
    out.append(run, end - run);
}

// What the writer asks of an element name, worked out once per name and writer.
struct NameInfo {
    QString lower;
    bool foreign = false;  // a name holding ":", left out with its content
    bool block = false;
    bool empty = false;
};

// Writes into one buffer: no element's text is built apart and copied into its parent's.
struct Writer {
    const WriterContext &ctx;
    QString &out;
    qsizetype lastLineEnd = -1;  // where in out the last line end was written
    std::unordered_map<QString, NameInfo> names = {};

    const NameInfo &info(const QString &name)
    {
        auto it = names.find(name);
        if (it != names.end()) return it->second;
        NameInfo i;
        i.lower = name.toLower();
        i.foreign = i.lower.contains(QLatin1Char(':'));
        i.block = !i.foreign && !isInline(i.lower);
        i.empty = isEmptyTag(i.lower);
        // The map keeps its entries in place while it grows.
        return names.emplace(name, std::move(i)).first->second;
    }
    bool isBlockNode(const DomNode &n) { return n.type == DomNode::Element && info(n.name).block; }

    void lineEnd()
    {
        out += kCrLf;
        lastLineEnd = out.size() - 2;
    }
    void noteLineEnds(qsizetype from)
    {
        const qsizetype i = QStringView(out).sliced(from).lastIndexOf(QLatin1Char('\n'));
        if (i >= 0) lastLineEnd = from + i;
    }
    void indent(int level) { out.resize(out.size() + 2 * level, QLatin1Char(' ')); }

    void attributeValue(const QString &value)
    {
        const qsizetype from = out.size();
        const QChar *p = value.constData(), *end = p + value.size(), *run = p;
        for (; p < end; ++p) {
            const char16_t u = p->unicode();
            QLatin1String rep;
            if (u == u'"') rep = QLatin1String("&quot;");
            else if (u == u'&' && ampersandNeedsEscape(value, int(p - value.constData()))) rep = QLatin1String("&amp;");
            else if (u == u'\r' || u == u'\n') {
                out.append(run, p - run);
                out += kCrLf;
                if (u == u'\r' && p + 1 < end && p[1] == u'\n') ++p;
                run = p + 1;
                continue;
            } else continue;
            out.append(run, p - run);
            out += rep;
            run = p + 1;
        }
        out.append(run, end - run);
        noteLineEnds(from);
    }

    // Appends the attributes; Count is how many were written.
    void attributes(const DomNode &n, const QString &lname, int &count)
    {
        const unsigned o = ctx.options;
        for (const DomAttr &a : n.attrs) {
            const QString an = a.name.toLower();
            if (an == QLatin1String("designtimesp") || an == QLatin1String("designtimeurl")) continue;
            QString value = a.value;
            const bool boolean = IsBooleanAttribute(an);
            if (an == QLatin1String("style") && has(o, LowercaseStylePropertyNames)) value = LowercaseStyleText(value);
            if (!boolean && value.isEmpty()) continue;
            if (lname == QLatin1String("meta")) {
                if (an == QLatin1String("content") &&
                    (value.startsWith(QLatin1String("MSHTML ")) || value == QLatin1String("Microsoft DHTML Editing Control")))
                    continue;
                if (an == QLatin1String("name") && value.compare(QLatin1String("GENERATOR"), Qt::CaseInsensitive) == 0)
                    continue;
                if (an == QLatin1String("content") && has(o, Preserve8BitCharacters) &&
                    value == QLatin1String("text/html; charset=unicode"))
                    value = QStringLiteral("text/html; charset=Shift_JIS");
            }
            const QString &wname = has(o, LowercaseAttributeNames) ? an : a.name;
            if (boolean) {
                if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) continue;
                ++count;
                out += QLatin1Char(' ');
                out += wname;
                if (has(o, UnminimizeBooleanAttributes)) {
                    out += QLatin1Char('=');
                    if (has(o, QuoteAttributeValues)) {
                        out += QLatin1Char('"');
                        out += wname;
                        out += QLatin1Char('"');
                    } else {
                        out += wname;
                    }
                }
                continue;
            }
            if (IsUrlAttribute(lname, an)) value = ConvertUrlAttribute(lname, a.value, a.absolute, ctx);
            const bool quote = has(o, QuoteAttributeValues) || needsQuotes(value);
            out += QLatin1Char(' ');
            out += wname;
            out += QLatin1Char('=');
            if (quote) out += QLatin1Char('"');
            attributeValue(value);
            if (quote) out += QLatin1Char('"');
            ++count;
        }
    }

    void children(const DomNode &n, const QString &lname, int level, bool preserve)
    {
        const bool raw = isRawText(lname);
        const bool block = isBlockNode(n);
        const int count = n.children.size();
        for (int i = 0; i < count; ++i) {
            const DomNode &c = n.children[i];
            if (c.type != DomNode::Text) {
                node(c, level + 1, preserve);
                continue;
            }
            QStringView t = c.data;
            if (!preserve) {
                // Whitespace at block boundaries is the writer's own line end and indent.
                const bool atStart = (i == 0 && block) || (i > 0 && isBlockNode(n.children[i - 1]));
                const bool atEnd = (i == count - 1 && block) || (i + 1 < count && isBlockNode(n.children[i + 1]));
                if (atStart) {
                    qsizetype k = 0;
                    while (k < t.size() && isSpace(t[k])) ++k;
                    t = t.sliced(k);
                }
                if (atEnd) {
                    qsizetype k = t.size();
                    while (k > 0 && isSpace(t[k - 1])) --k;
                    t.truncate(k);
                }
                if (t.isEmpty()) continue;
            }
            const qsizetype from = out.size();
            if (raw) appendLines(out, t);
            else appendEscaped(out, t, ctx.options);
            noteLineEnds(from);
        }
    }

    void element(const DomNode &n, int level, bool preserve)
    {
        const NameInfo ni = info(n.name);  // a copy: the map may grow below
        const QString &lname = ni.lower;
        if (ni.foreign) return;
        const unsigned o = ctx.options;
        const bool innerPreserve = preserve || preservesSpace(lname);
        if (lname == QLatin1String("base") && has(o, HideBaseElement)) {
            children(n, lname, level, innerPreserve);
            return;
        }
        QString wname = has(o, LowercaseElementNames) ? lname : n.name;
        for (const TagSubstitution &s : ctx.substitutions)
            if (s.OriginalTag.compare(lname, Qt::CaseInsensitive) == 0) wname = s.ReplacementTag;

        const qsizetype start = out.size();
        const qsizetype lineEndBefore = lastLineEnd;
        if (ni.block) {
            if (!preserve && level > 0) lineEnd();
            if (!preserve && (ni.empty || has(o, IndentSource))) indent(level);
        }
        const qsizetype tagStart = out.size();
        out += QLatin1Char('<');
        out += wname;
        int count = 0;
        attributes(n, lname, count);
        if (ni.empty) {
            if (lname == QLatin1String("meta") && count == 0) {
                out.truncate(start);
                lastLineEnd = lineEndBefore;
                return;
            }
            if (has(o, TerminateEmptyElements))
                out += has(o, AddSpaceInTerminatedEmptyElements) ? QLatin1String(" />") : QLatin1String("/>");
            else
                out += QLatin1Char('>');
            return;
        }
        // FONT without attributes is unwrapped (nothing of its start tag was a line end).
        const bool bareFont = lname == QLatin1String("font") && count == 0;
        if (bareFont) out.truncate(tagStart);
        else out += QLatin1Char('>');
        // A reader drops one line break right after these start tags: content that begins
        // with a line break keeps it only behind one written for the reader to drop.
        if ((lname == QLatin1String("pre") || lname == QLatin1String("listing") || lname == QLatin1String("textarea")) &&
            !n.children.isEmpty() && n.children[0].type == DomNode::Text &&
            (n.children[0].data.startsWith(QLatin1Char('\n')) || n.children[0].data.startsWith(QLatin1Char('\r'))))
            lineEnd();
        const qsizetype contentStart = out.size();
        children(n, lname, level, innerPreserve);
        if (ni.block && !innerPreserve && lastLineEnd >= contentStart) {
            lineEnd();
            if (has(o, IndentSource)) indent(level);
        }
        // An empty block keeps its height with the blank; an empty element inside a line (a
        // named anchor before a heading's text) would gain a visible blank the page never had.
        if (has(o, AddNbsp) && out.size() == contentStart && !noNbsp(lname) && !isInline(lname))
            out += QLatin1String("&nbsp;");
        if (!bareFont) {
            out += QLatin1String("</");
            out += wname;
            out += QLatin1Char('>');
        }
    }

    void comment(const DomNode &n)
    {
        const qsizetype from = out.size();
        out += QLatin1String("<!--");
        appendLines(out, n.data);
        if (has(ctx.options, TerminateComments) && !n.data.endsWith(QLatin1Char(' '))) out += QLatin1Char(' ');
        out += QLatin1String("-->");
        noteLineEnds(from);
    }

    void node(const DomNode &n, int level, bool preserve)
    {
        const qsizetype from = out.size();
        switch (n.type) {
        case DomNode::Element: element(n, level, preserve); break;
        case DomNode::Text:
            appendEscaped(out, n.data, ctx.options);
            noteLineEnds(from);
            break;
        case DomNode::Comment: comment(n); break;
        case DomNode::Doctype:
            out += n.data;
            if (n.data.contains(kCrLf)) lastLineEnd = from + n.data.lastIndexOf(kCrLf) + 1;
            break;
        default: out += kError; break;
        }
    }
};

void parseNode(const QJsonObject &o, DomNode &n)
{
    n.type = o.value(QLatin1String("t")).toInt(DomNode::Element);
    if (n.type == DomNode::Element) {
        n.name = o.value(QLatin1String("n")).toString();
        const QJsonArray attrs = o.value(QLatin1String("a")).toArray();
        n.attrs.reserve(attrs.size());
        for (const QJsonValue &av : attrs) {
            const QJsonArray a = av.toArray();
            DomAttr at{a.at(0).toString(), a.at(1).toString(), a.size() > 2 ? a.at(2).toString() : QString()};
            if (at.absolute.isEmpty()) at.absolute = at.value;
            n.attrs.push_back(std::move(at));
        }
        const QJsonArray kids = o.value(QLatin1String("c")).toArray();
        n.children.resize(kids.size());
        for (int i = 0; i < kids.size(); ++i) parseNode(kids.at(i).toObject(), n.children[i]);
    } else {
        n.data = o.value(QLatin1String("d")).toString();
    }
}

// A reader for the snapshot as the page script writes it (JSON.stringify of known keys), with
// no JSON document in between: large pages give texts of several megabytes. It gives up on
// anything outside that form, and the general JSON path then reads the text.
class SnapshotReader {
public:
    explicit SnapshotReader(const QString &s) : p_(s.constData()), end_(s.constData() + s.size()) {}

    bool document(DomSnapshot &d)
    {
        return object([&](QStringView key) {
            if (key == u"url") return string(d.url);
            if (key == u"title") return string(d.title);
            if (key == u"base")
                return array([&] {
                    QString b;
                    if (!string(b)) return false;
                    d.baseHrefs << b;
                    return true;
                });
            if (key == u"counts") {
                int i = 0;
                return array([&] {
                    int v = 0;
                    if (!integer(v)) return false;
                    if (i == 0) d.htmlCount = v;
                    if (i == 1) d.headCount = v;
                    if (i == 2) d.bodyCount = v;
                    ++i;
                    return true;
                });
            }
            if (key == u"nodes")
                return array([&] {
                    d.roots.push_back(DomNode());
                    return node(d.roots.last());
                });
            return false;
        }) && atEnd();
    }

    bool node(DomNode &n)
    {
        // Deep trees are left to the general path and its own nesting limit.
        if (++depth_ > 400) return false;
        n.type = DomNode::Element;
        const bool ok = object([&](QStringView key) {
            if (key == u"t") return integer(n.type);
            if (key == u"n") return string(n.name);
            if (key == u"d") return string(n.data);
            if (key == u"a")
                return array([&] {
                    QString part[3];
                    int k = 0;
                    if (!array([&] { return k < 3 && string(part[k++]); }) || k < 2) return false;
                    DomAttr at{part[0], part[1], part[2]};
                    if (at.absolute.isEmpty()) at.absolute = at.value;
                    n.attrs.push_back(std::move(at));
                    return true;
                });
            if (key == u"c")
                return array([&] {
                    n.children.push_back(DomNode());
                    return node(n.children.last());
                });
            return false;
        });
        // What the general path reads of each kind of node, and nothing more.
        if (n.type == DomNode::Element) {
            n.data.clear();
        } else {
            n.name.clear();
            n.attrs.clear();
            n.children.clear();
        }
        --depth_;
        return ok;
    }

    bool atEnd()
    {
        blanks();
        return p_ == end_;
    }

private:
    void blanks()
    {
        while (p_ < end_ && (*p_ == u' ' || *p_ == u'\n' || *p_ == u'\r' || *p_ == u'\t')) ++p_;
    }
    bool take(char16_t c)
    {
        blanks();
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }
    template <class F> bool object(F member)
    {
        if (!take(u'{')) return false;
        if (take(u'}')) return true;
        QVarLengthArray<QStringView, 8> seen;
        do {
            QStringView key;
            if (!plainKey(key) || !take(u':') || seen.contains(key) || seen.size() == 8) return false;
            seen.append(key);
            if (!member(key)) return false;
        } while (take(u','));
        return take(u'}');
    }
    template <class F> bool array(F item)
    {
        if (!take(u'[')) return false;
        if (take(u']')) return true;
        do {
            if (!item()) return false;
        } while (take(u','));
        return take(u']');
    }
    bool integer(int &v)
    {
        blanks();
        const QChar *b = p_;
        if (p_ < end_ && *p_ == u'-') ++p_;
        while (p_ < end_ && p_->isDigit() && p_->unicode() < 128) ++p_;
        if (p_ - b > 9 || p_ == b || (p_ < end_ && (*p_ == u'.' || *p_ == u'e' || *p_ == u'E'))) return false;
        bool ok = false;
        v = QStringView(b, p_).toInt(&ok);
        return ok;
    }
    // A key without escapes, as the known keys are; others go to the general path.
    bool plainKey(QStringView &key)
    {
        if (!take(u'"')) return false;
        const QChar *b = p_;
        while (p_ < end_ && *p_ != u'"' && *p_ != u'\\') ++p_;
        if (p_ >= end_ || *p_ != u'"') return false;
        key = QStringView(b, p_);
        ++p_;
        return true;
    }
    static int hex(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') return u - u'0';
        if (u >= u'a' && u <= u'f') return u - u'a' + 10;
        if (u >= u'A' && u <= u'F') return u - u'A' + 10;
        return -1;
    }
    bool string(QString &out)
    {
        if (!take(u'"')) return false;
        out.clear();
        const QChar *run = p_;
        for (;;) {
            if (p_ >= end_) return false;
            const char16_t c = p_->unicode();
            if (c == u'"') break;
            if (c < 0x20 || QChar::isSurrogate(c)) {
                // A pair is written as it stands; a lone half goes to the general path.
                if (c < 0x20 || !QChar::isHighSurrogate(c) || p_ + 1 >= end_ || !p_[1].isLowSurrogate()) return false;
                p_ += 2;
                continue;
            }
            if (c != u'\\') {
                ++p_;
                continue;
            }
            out.append(run, p_ - run);
            if (++p_ >= end_) return false;
            const char16_t e = (p_++)->unicode();
            switch (e) {
            case u'"': out += QLatin1Char('"'); break;
            case u'\\': out += QLatin1Char('\\'); break;
            case u'/': out += QLatin1Char('/'); break;
            case u'b': out += QChar(8); break;
            case u'f': out += QChar(12); break;
            case u'n': out += QLatin1Char('\n'); break;
            case u'r': out += QLatin1Char('\r'); break;
            case u't': out += QLatin1Char('\t'); break;
            case u'u': {
                auto unit = [&](char16_t &u) {
                    if (end_ - p_ < 4) return false;
                    int v = 0;
                    for (int i = 0; i < 4; ++i) {
                        const int h = hex(p_[i]);
                        if (h < 0) return false;
                        v = v * 16 + h;
                    }
                    p_ += 4;
                    u = char16_t(v);
                    return true;
                };
                char16_t u = 0;
                if (!unit(u)) return false;
                if (QChar::isLowSurrogate(u)) return false;
                if (QChar::isHighSurrogate(u)) {
                    char16_t low = 0;
                    if (end_ - p_ < 2 || p_[0] != u'\\' || p_[1] != u'u') return false;
                    p_ += 2;
                    if (!unit(low) || !QChar::isLowSurrogate(low)) return false;
                    out += QChar(u);
                    out += QChar(low);
                } else {
                    out += QChar(u);
                }
                break;
            }
            default: return false;
            }
            run = p_;
        }
        out.append(run, p_ - run);
        ++p_;
        return true;
    }

    const QChar *p_, *end_;
    int depth_ = 0;
};

// The snapshot's document members besides its nodes.
void readHeader(const QJsonObject &o, DomSnapshot &d)
{
    d.url = o.value(QLatin1String("url")).toString();
    d.title = o.value(QLatin1String("title")).toString();
    for (const QJsonValue &b : o.value(QLatin1String("base")).toArray()) d.baseHrefs << b.toString();
    const QJsonArray counts = o.value(QLatin1String("counts")).toArray();
    d.htmlCount = counts.at(0).toInt();
    d.headCount = counts.at(1).toInt();
    d.bodyCount = counts.at(2).toInt();
}

// The page script's length-prefixed fields: decimal length, ":", that many characters.
bool takeChar(const QChar *&p, const QChar *end, char16_t c)
{
    if (p >= end || *p != c) return false;
    ++p;
    return true;
}
bool takeField(const QChar *&p, const QChar *end, QStringView &out)
{
    qint64 n = 0;
    const QChar *b = p;
    while (p < end && p->unicode() >= u'0' && p->unicode() <= u'9' && p - b < 10) n = n * 10 + (p++)->unicode() - u'0';
    if (p == b || !takeChar(p, end, u':') || n > end - p) return false;
    out = QStringView(p, qsizetype(n));
    p += n;
    return true;
}

// The form's letter and its header field, read into the snapshot; Header keeps the whole.
bool takeHeader(const QChar *&p, const QChar *end, char16_t Letter, DomSnapshot &d, QJsonObject &Header)
{
    QStringView f;
    if (!takeChar(p, end, Letter) || !takeField(p, end, f)) return false;
    QJsonParseError err{};
    const QJsonDocument h = QJsonDocument::fromJson(f.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !h.isObject()) return false;
    Header = h.object();
    readHeader(Header, d);
    return true;
}

// The page script's length-prefixed form of a whole document (see snapshotText there). Read
// without recursion; a tree deeper than the writer should walk is refused.
class SnapshotTextReader {
public:
    explicit SnapshotTextReader(const QString &s) : p_(s.constData()), end_(s.constData() + s.size()) {}

    bool document(DomSnapshot &d)
    {
        QJsonObject header;
        if (!takeHeader(p_, end_, u'S', d, header)) return false;

        QVarLengthArray<DomNode *, 64> open;
        while (p_ < end_) {
            const char16_t c = (p_++)->unicode();
            QVector<DomNode> &list = open.isEmpty() ? d.roots : open.last()->children;
            switch (c) {
            case u'E': {
                if (open.size() >= kMaxDepth) return false;
                list.push_back(DomNode());
                DomNode &n = list.last();
                if (!field(n.name)) return false;
                open.append(&n);
                break;
            }
            case u'A':
            case u'U': {
                if (open.isEmpty()) return false;
                DomAttr a;
                if (!field(a.name) || !field(a.value) || (c == u'U' && !field(a.absolute))) return false;
                if (a.absolute.isEmpty()) a.absolute = a.value;
                open.last()->attrs.push_back(std::move(a));
                break;
            }
            case u'T':
            case u'C':
            case u'D': {
                list.push_back(DomNode());
                DomNode &n = list.last();
                n.type = c == u'T' ? DomNode::Text : c == u'C' ? DomNode::Comment : DomNode::Doctype;
                if (!field(n.data)) return false;
                break;
            }
            case u')':
                if (open.isEmpty()) return false;
                open.removeLast();
                break;
            default: return false;
            }
        }
        return open.isEmpty();
    }

private:
    static constexpr int kMaxDepth = 1000;

    bool take(char16_t c) { return takeChar(p_, end_, c); }
    bool field(QString &out)
    {
        QStringView f;
        if (!takeField(p_, end_, f)) return false;
        out = f.toString();
        return true;
    }

    const QChar *p_, *end_;
};

// The page script's whole document as the engine's own serialization (see sourceText there).
// That serialization is regular: names as the parser keeps them, every element but the void
// ones closed, values in double quotes with "&", '"' and the no-break space escaped, text with
// "&", "<", ">" and the no-break space escaped, the text of raw-text elements as it stands.
// So it reads back into the tree a walk of the document gives, URL attributes taking their
// resolutions from the list that follows. Anything outside that form, or a count that does
// not agree, refuses the text: the control then takes the walk.
class SerializedReader {
public:
    explicit SerializedReader(const QString &s) : p_(s.constData()), end_(s.constData() + s.size()) {}

    bool document(DomSnapshot &d)
    {
        QJsonObject header;
        if (!takeHeader(p_, end_, u'H', d, header)) return false;
        const int elements = header.value(QLatin1String("elements")).toInt(-1);

        QVarLengthArray<std::pair<qsizetype, QStringView>, 2> markup;  // root index, outerHTML
        while (p_ < end_ && *p_ != u'U') {
            const char16_t c = (p_++)->unicode();
            QStringView f;
            if ((c != u'E' && c != u'C' && c != u'D') || !field(f)) return false;
            d.roots.push_back(DomNode());
            DomNode &n = d.roots.last();
            if (c == u'E') {
                markup.append({d.roots.size() - 1, f});
            } else {
                n.type = c == u'C' ? DomNode::Comment : DomNode::Doctype;
                n.data = f.toString();
            }
        }
        while (p_ < end_) {
            std::pair<QStringView, QStringView> u;
            if (!take(u'U') || !field(u.first) || !field(u.second)) return false;
            urls_.push_back(u);
        }
        for (const auto &m : markup) {
            QVector<DomNode> nodes;
            if (!read(m.second, nodes) || nodes.size() != 1 || nodes[0].type != DomNode::Element) return false;
            d.roots[m.first] = std::move(nodes[0]);
        }
        return elements == elements_ && nextUrl_ == urls_.size();
    }

private:
    static constexpr int kMaxDepth = 1000;  // as the walk's own reader

    bool take(char16_t c) { return takeChar(p_, end_, c); }
    bool field(QStringView &out) { return takeField(p_, end_, out); }

    static bool isVoid(QStringView n)
    {
        static const QSet<QString> s = {
            QStringLiteral("area"), QStringLiteral("base"),  QStringLiteral("basefont"), QStringLiteral("bgsound"),
            QStringLiteral("br"),   QStringLiteral("col"),   QStringLiteral("embed"),    QStringLiteral("frame"),
            QStringLiteral("hr"),   QStringLiteral("img"),   QStringLiteral("input"),    QStringLiteral("keygen"),
            QStringLiteral("link"), QStringLiteral("meta"),  QStringLiteral("param"),    QStringLiteral("source"),
            QStringLiteral("track"), QStringLiteral("wbr")};
        return n.size() <= 8 && s.contains(n.toString());
    }
    // Elements whose text the engine writes as it stands.
    static bool isRaw(QStringView n)
    {
        return n == u"script" || n == u"style" || n == u"xmp" || n == u"iframe" || n == u"noembed" ||
               n == u"noframes" || n == u"plaintext";
    }
    static bool isUrlName(QStringView n)
    {
        static const QSet<QString> s = {QStringLiteral("href"),     QStringLiteral("src"),      QStringLiteral("action"),
                                        QStringLiteral("background"), QStringLiteral("cite"),   QStringLiteral("classid"),
                                        QStringLiteral("codebase"), QStringLiteral("data"),     QStringLiteral("longdesc"),
                                        QStringLiteral("profile"),  QStringLiteral("usemap")};
        if (n.size() > 10) return false;
        QString l = n.toString();
        for (QChar &c : l)
            if (c.unicode() >= u'A' && c.unicode() <= u'Z') c = QChar(c.unicode() + 32);
        return s.contains(l);
    }

    // Decodes escaped text or a value; in text a bare ">" means the form was not kept.
    static bool decode(QStringView t, QString &out, bool text)
    {
        const QChar *p = t.data(), *end = p + t.size(), *run = p;
        out.clear();
        for (; p < end; ++p) {
            const char16_t u = p->unicode();
            if (u == u'>' && text) return false;
            if (u != u'&') continue;
            out.append(run, p - run);
            const QStringView rest(p + 1, end);
            const qsizetype semi = rest.indexOf(QLatin1Char(';'));
            if (semi <= 0 || semi > 8) return false;
            const QStringView name = rest.first(semi);
            if (name == u"amp") out += QLatin1Char('&');
            else if (name == u"lt") out += QLatin1Char('<');
            else if (name == u"gt") out += QLatin1Char('>');
            else if (name == u"quot") out += QLatin1Char('"');
            else if (name == u"nbsp") out += QChar(0xA0);
            else if (name.size() > 1 && name[0] == u'#') {
                bool ok = false;
                const uint v = name[1] == u'x' || name[1] == u'X' ? name.sliced(2).toUInt(&ok, 16) : name.sliced(1).toUInt(&ok, 10);
                if (!ok || v > 0x10FFFF) return false;
                const char32_t cp = v;
                out += QString::fromUcs4(&cp, 1);
            } else {
                return false;
            }
            p += semi + 1;
            run = p + 1;
        }
        out.append(run, end - run);
        return true;
    }

    bool attributes(const QChar *&p, const QChar *end, DomNode &n)
    {
        while (p < end && *p == u' ') {
            const QChar *b = ++p;
            // A name may begin with "="; after that "=" ends it.
            if (p < end) ++p;
            while (p < end && *p != u'=' && *p != u'>' && *p != u' ') ++p;
            if (end - p < 2 || p[0] != u'=' || p[1] != u'"') return false;
            DomAttr a;
            a.name = QStringView(b, p).toString();
            p += 2;
            const QChar *v = p;
            while (p < end && *p != u'"') ++p;
            if (p >= end || !decode(QStringView(v, p), a.value, false)) return false;
            ++p;
            if (isUrlName(a.name)) {
                if (nextUrl_ >= urls_.size() || urls_[nextUrl_].first != a.value) return false;
                const QStringView r = urls_[nextUrl_++].second;
                a.absolute = r.isEmpty() ? a.value : r.toString();
            }
            n.attrs.push_back(std::move(a));
        }
        return p < end && *p == u'>';
    }

    bool read(QStringView s, QVector<DomNode> &roots)
    {
        const QChar *p = s.data(), *end = p + s.size();
        QVarLengthArray<DomNode *, 64> open;
        QVarLengthArray<QStringView, 64> openNames;  // as written, for the end tags
        while (p < end) {
            QVector<DomNode> &list = open.isEmpty() ? roots : open.last()->children;
            if (*p != u'<') {
                const QChar *b = p;
                while (p < end && *p != u'<') ++p;
                DomNode t;
                t.type = DomNode::Text;
                if (!decode(QStringView(b, p), t.data, true)) return false;
                list.push_back(std::move(t));
                continue;
            }
            const QStringView rest(p, end);
            if (rest.startsWith(u"<!--")) {
                const qsizetype e = rest.indexOf(u"-->", 4);
                if (e < 0) return false;
                DomNode c;
                c.type = DomNode::Comment;
                c.data = rest.sliced(4, e - 4).toString();
                list.push_back(std::move(c));
                p += e + 3;
            } else if (rest.startsWith(u"</")) {
                if (openNames.isEmpty()) return false;
                const QStringView name = openNames.last();
                if (rest.size() < name.size() + 3 || rest.sliced(2, name.size()) != name || rest[name.size() + 2] != u'>')
                    return false;
                p += name.size() + 3;
                open.removeLast();
                openNames.removeLast();
            } else {
                const QChar *b = ++p;
                while (p < end && *p != u' ' && *p != u'>') ++p;
                const QStringView name(b, p);
                if (name.isEmpty() || name.contains(u'<') || name.contains(u'/')) return false;
                list.push_back(DomNode());
                DomNode &n = list.last();
                QString tag = name.toString();
                for (QChar &c : tag)
                    if (c.unicode() >= u'a' && c.unicode() <= u'z') c = QChar(c.unicode() - 32);
                n.name = std::move(tag);
                if (!attributes(p, end, n)) return false;
                ++p;
                ++elements_;
                if (isVoid(name)) continue;
                if (open.size() >= kMaxDepth) return false;
                open.append(&n);
                openNames.append(name);
                if (isRaw(name)) {
                    // The text runs to the element's own end tag.
                    const QString close = QStringLiteral("</") + name.toString() + QLatin1Char('>');
                    const qsizetype e = QStringView(p, end).indexOf(close);
                    if (e < 0) return false;
                    if (e > 0) {
                        DomNode t;
                        t.type = DomNode::Text;
                        t.data = QStringView(p, e).toString();
                        n.children.push_back(std::move(t));
                    }
                    p += e;
                }
            }
        }
        return open.isEmpty();
    }

    const QChar *p_, *end_;
    QVector<std::pair<QStringView, QStringView>> urls_;
    qsizetype nextUrl_ = 0;
    int elements_ = 0;
};

// Adjacent text nodes as one, empty ones gone, as the engine's serialization has them: how
// editing happened to split a text must not change what is written of it.
void mergeTexts(QVector<DomNode> &nodes)
{
    qsizetype w = 0;
    for (qsizetype r = 0; r < nodes.size(); ++r) {
        DomNode &n = nodes[r];
        if (n.type == DomNode::Text) {
            if (n.data.isEmpty()) continue;
            if (w > 0 && nodes[w - 1].type == DomNode::Text) {
                nodes[w - 1].data += n.data;
                continue;
            }
        } else if (n.type == DomNode::Element) {
            mergeTexts(n.children);
        }
        if (w != r) nodes[w] = std::move(n);
        ++w;
    }
    nodes.resize(w);
}

const DomNode *findIn(const DomNode &n, const QString &tag)
{
    if (n.type != DomNode::Element) return nullptr;
    if (n.name.compare(tag, Qt::CaseInsensitive) == 0) return &n;
    for (const DomNode &c : n.children)
        if (const DomNode *f = findIn(c, tag)) return f;
    return nullptr;
}

QString localPathOf(const QString &v)
{
    if (v.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) return QUrl(v).toLocalFile();
    if (v.startsWith(QLatin1Char('/')) && !v.startsWith(QLatin1String("//"))) return v;
    return QString();
}
} // namespace

QString NormalizeLineEnds(const QString &S)
{
    if (!S.contains(QLatin1Char('\r')) && !S.contains(QLatin1Char('\n'))) return S;
    QString t = S;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1String("\n"), kCrLf);
    return t;
}

DomSnapshot ParseSnapshot(const QString &Json)
{
    if (Json.startsWith(QLatin1Char('H'))) {
        DomSnapshot d;
        d.valid = SerializedReader(Json).document(d);
        return d.valid ? d : DomSnapshot();
    }
    if (Json.startsWith(QLatin1Char('S'))) {
        DomSnapshot d;
        d.valid = SnapshotTextReader(Json).document(d);
        if (!d.valid) return DomSnapshot();
        mergeTexts(d.roots);
        return d;
    }
    {
        DomSnapshot fast;
        if (SnapshotReader(Json).document(fast)) {
            fast.valid = true;
            mergeTexts(fast.roots);
            return fast;
        }
    }
    DomSnapshot s;
    QJsonParseError err{};
    const QJsonDocument d = QJsonDocument::fromJson(Json.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !d.isObject()) return s;
    const QJsonObject o = d.object();
    readHeader(o, s);
    const QJsonArray nodes = o.value(QLatin1String("nodes")).toArray();
    s.roots.resize(nodes.size());
    for (int i = 0; i < nodes.size(); ++i) parseNode(nodes.at(i).toObject(), s.roots[i]);
    mergeTexts(s.roots);
    s.valid = true;
    return s;
}

bool ParseSnapshotNode(const QString &Json, DomNode &Node)
{
    const QJsonDocument d = QJsonDocument::fromJson(Json.toUtf8());
    if (!d.isObject()) return false;
    parseNode(d.object(), Node);
    return true;
}

QString EscapeText(const QString &Text, unsigned Options)
{
    QString out;
    out.reserve(Text.size() + 16);
    appendEscaped(out, Text, Options);
    return out;
}

bool IsUrlAttribute(const QString &Tag, const QString &Name)
{
    const QString t = Tag.toLower(), n = Name.toLower();
    auto in = [&](std::initializer_list<const char *> tags) {
        for (const char *x : tags)
            if (t == QLatin1String(x)) return true;
        return false;
    };
    if (n == QLatin1String("href")) return in({"a", "area", "base", "link"});
    if (n == QLatin1String("src")) return in({"frame", "iframe", "img", "input", "script"});
    if (n == QLatin1String("action")) return t == QLatin1String("form");
    if (n == QLatin1String("background")) return t == QLatin1String("body");
    if (n == QLatin1String("cite")) return in({"blockquote", "del", "ins", "q"});
    if (n == QLatin1String("classid") || n == QLatin1String("data")) return t == QLatin1String("object");
    if (n == QLatin1String("codebase")) return in({"object", "applet"});
    if (n == QLatin1String("longdesc")) return in({"frame", "iframe", "img"});
    if (n == QLatin1String("profile")) return t == QLatin1String("head");
    if (n == QLatin1String("usemap")) return in({"img", "input", "object"});
    return false;
}

QString UrlToPath(const QString &Url, bool KeepBackslashes)
{
    QString p = localPathOf(Url);
    if (p.isEmpty()) return Url;
    const QUrl u(Url);
    // A site-root link of a local page keeps its query and fragment.
    if (Url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        if (u.hasQuery()) p += QLatin1Char('?') + u.query(QUrl::FullyEncoded);
        if (u.hasFragment()) p += QLatin1Char('#') + u.fragment(QUrl::FullyEncoded);
    }
    if (KeepBackslashes) p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return p;
}

QString PathToUrl(const QString &Path)
{
    if (Path.startsWith(QLatin1Char('/')) && !Path.startsWith(QLatin1String("//"))) return QStringLiteral("file://") + Path;
    if (Path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) && !Path.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        return QStringLiteral("file://") + Path.mid(5);
    return Path;
}

QString MakeRelativeUrl(const QString &Target, const QString &Base, bool AsUrl, bool KeepBackslashes)
{
    const QString tl = localPathOf(Target), bl = localPathOf(Base);
    QString rel;
    if (!tl.isEmpty() && !bl.isEmpty()) {
        QString frag;
        QString path = tl;
        const QUrl tu(Target);
        if (Target.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) && tu.hasFragment())
            frag = QLatin1Char('#') + tu.fragment(QUrl::FullyEncoded);
        const QString folder = bl.endsWith(QLatin1Char('/')) ? bl : bl.left(bl.lastIndexOf(QLatin1Char('/')) + 1);
        rel = QDir(folder).relativeFilePath(path) + frag;
    } else {
        const QUrl t(Target), b(Base);
        if (!t.isValid() || !b.isValid() || t.scheme().isEmpty() || t.scheme() != b.scheme() ||
            t.host().compare(b.host(), Qt::CaseInsensitive) != 0 || t.port() != b.port())
            return Target;
        QString bp = b.path();
        const QString folder = bp.left(bp.lastIndexOf(QLatin1Char('/')) + 1);
        QString tp = t.path(QUrl::FullyEncoded);
        rel = QDir(folder.isEmpty() ? QStringLiteral("/") : folder).relativeFilePath(tp.isEmpty() ? QStringLiteral("/") : tp);
        if (tp.endsWith(QLatin1Char('/')) && !rel.endsWith(QLatin1Char('/')) && rel != QLatin1String(".")) rel += QLatin1Char('/');
        if (rel == QLatin1String(".")) rel = QStringLiteral("./");
        if (t.hasQuery()) rel += QLatin1Char('?') + t.query(QUrl::FullyEncoded);
        if (t.hasFragment()) rel += QLatin1Char('#') + t.fragment(QUrl::FullyEncoded);
        return rel;
    }
    if (AsUrl) return rel;
    if (KeepBackslashes) rel.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return rel;
}

namespace {
// A reference without a scheme or host of its own ("ch04.html", "img/a.png", "../x", "/site.css",
// "#top", "?q"): the page's own way of pointing, relative to wherever the page lies. A drive
// ("c:/...") and a network path ("//host/...") are not.
bool isPageRelative(const QString &v)
{
    if (v.isEmpty() || v.startsWith(QLatin1String("//")) || v.startsWith(QLatin1Char('\\'))) return false;
    for (int i = 0; i < v.size(); ++i) {
        const QChar c = v.at(i);
        if (c == u':') return i == 0;  // a scheme ends here (a one-letter one is a drive)
        if (c == u'/' || c == u'?' || c == u'#') return true;
        const bool schemeChar = c.isLetter() || (i > 0 && (c.isDigit() || c == u'+' || c == u'-' || c == u'.'));
        if (!schemeChar || c.unicode() > 0x7F) return true;
    }
    return true;
}

// Whether a reference the page wrote with its own scheme ("https://host", "https://host/wiki/標準")
// names the same place as the engine's resolved form of it, which adds a "/" to a bare host and
// percent-encodes what is not ASCII.
bool sameAbsoluteUrl(const QString &written, const QString &resolved)
{
    if (isPageRelative(written) || written.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) return false;
    QUrl a(written), b(resolved);
    if (!a.isValid() || !b.isValid() || a.scheme().isEmpty() || a.isLocalFile()) return false;
    for (QUrl *u : {&a, &b})
        if (!u->host().isEmpty() && u->path().isEmpty()) u->setPath(QStringLiteral("/"));
    return a.toString(QUrl::FullyEncoded) == b.toString(QUrl::FullyEncoded);
}
}  // namespace

QString ConvertUrlAttribute(const QString &Tag, const QString &Value, const QString &Absolute, const WriterContext &Ctx)
{
    // Under the options that keep URLs from being absolute, what the page wrote relative to
    // itself stays byte for byte: made a path (or cut down to a site path) it would point
    // elsewhere once the file is opened from its folder.
    if ((has(Ctx.options, ExcludeFileProtocol) || has(Ctx.options, ExcludeBaseURL)) && isPageRelative(Value)) return Value;
    const QString abs = Absolute.isEmpty() ? Value : Absolute;
    const QString lt = Tag.toLower();
    const unsigned o = Ctx.options;
    if (abs.startsWith(QLatin1String("about:blank#"), Qt::CaseInsensitive)) return abs.mid(11);
    if (abs.startsWith(QLatin1String("about:"), Qt::CaseInsensitive)) return abs;
    if (lt == QLatin1String("a") && !Ctx.documentFile.isEmpty() && abs.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl u(abs);
        if (u.hasFragment() && u.toLocalFile() == Ctx.documentFile) return QLatin1Char('#') + u.fragment(QUrl::FullyEncoded);
    }
    const bool back = has(o, UseBackSlashAsPathDelimiter);
    const QString P = UrlToPath(abs, back), U = PathToUrl(abs);
    const bool noBase = Ctx.baseHref.isEmpty() || lt == QLatin1String("base");
    QString r;
    if (has(o, ExcludeFileProtocol) && !has(o, ExcludeBaseURL)) r = P;
    else if (has(o, ExcludeFileProtocol)) r = noBase ? P : MakeRelativeUrl(abs, Ctx.baseHref, false, back);
    else if (has(o, ExcludeBaseURL)) r = noBase ? U : MakeRelativeUrl(abs, Ctx.baseHref, true, false);
    else r = U;
    if (!Ctx.stripPrefix.isEmpty() && r.startsWith(Ctx.stripPrefix, Qt::CaseInsensitive) &&
        r.mid(Ctx.stripPrefix.size(), 1) == QLatin1String("/")) {
        r.remove(0, Ctx.stripPrefix.size());
        return r;
    }
    // Written in full by the page and left in full here: the page's own spelling, so a link to
    // a Japanese article stays readable and the file keeps the bytes it had.
    if (r == U && sameAbsoluteUrl(Value, abs)) return Value;
    return r;
}

QString GenerateSourceCode(const DomNode &Node, int Level, const WriterContext &Ctx)
{
    QString out;
    Writer{Ctx, out}.node(Node, Level, false);
    return out;
}

const DomNode *FindElement(const DomSnapshot &Doc, const QString &Tag)
{
    for (const DomNode &r : Doc.roots)
        if (const DomNode *f = findIn(r, Tag)) return f;
    return nullptr;
}

QString GenerateElementSource(const DomSnapshot &Doc, const QString &Tag, const WriterContext &Ctx)
{
    if (!Doc.valid) return kError;
    const int n = Tag.compare(QLatin1String("head"), Qt::CaseInsensitive) == 0 ? Doc.headCount
                  : Tag.compare(QLatin1String("body"), Qt::CaseInsensitive) == 0 ? Doc.bodyCount
                                                                                  : Doc.htmlCount;
    const DomNode *e = FindElement(Doc, Tag);
    if (n != 1 || !e) return kError;
    return GenerateSourceCode(*e, 0, Ctx);
}

QString GenerateSource(const DomSnapshot &Doc, const WriterContext &Ctx, const QString &DOCTYPE)
{
    if (!Doc.valid || Doc.htmlCount != 1 || Doc.headCount != 1 || Doc.bodyCount != 1) return kError;
    QString prologue, body;
    bool seenHtml = false;
    Writer before{Ctx, prologue}, html{Ctx, body};
    for (const DomNode &r : Doc.roots) {
        if (r.type == DomNode::Element && r.name.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0) {
            body.clear();
            html.lastLineEnd = -1;
            html.node(r, 0, false);
            seenHtml = true;
        } else if (!seenHtml) {
            before.node(r, 0, false);
            prologue += kCrLf;
        }
    }
    // A Frameset declaration the engine put in front gives way to the control's DOCTYPE.
    static const QString frameset = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\" \"http://www.w3.org/TR/html4/frameset.dtd\">");
    if (DOCTYPE.compare(frameset, Qt::CaseInsensitive) != 0) {
        const int p = prologue.indexOf(frameset, 0, Qt::CaseInsensitive);
        if (p >= 0) {
            int len = frameset.size();
            if (prologue.mid(p + len, 2) == kCrLf) len += 2;
            prologue.remove(p, len);
            if (!DOCTYPE.isEmpty()) prologue.insert(p, DOCTYPE + kCrLf);
        }
    }
    return prologue + body;
}

void RestoreHeadScripts(QString &Source, const QString &DocumentHtml)
{
    QString d = DocumentHtml;
    const int dh = d.indexOf(QLatin1String("<head>"), 0, Qt::CaseInsensitive);
    const int de = d.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
    if (dh >= 0 && de > dh) d = d.mid(dh, de + 7 - dh);
    const int sh = Source.indexOf(QLatin1String("<head>"), 0, Qt::CaseInsensitive);
    const int se = Source.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
    if (sh < 0 || se < sh) return;
    if (Source.mid(sh, se - sh).contains(QLatin1String("<script"), Qt::CaseInsensitive)) return;
    QString blocks;
    int from = 0;
    for (;;) {
        const int a = d.indexOf(QLatin1String("<script"), from, Qt::CaseInsensitive);
        if (a < 0) break;
        const int b = d.indexOf(QLatin1String("</script>"), a, Qt::CaseInsensitive);
        if (b < 0) break;
        blocks += d.mid(a, b + 9 - a) + kCrLf;
        from = b + 9;
    }
    Source.insert(se, blocks);
}

void RestoreTitle(QString &Source, const QString &Title)
{
    const int a = Source.indexOf(QLatin1String("<title>"), 0, Qt::CaseInsensitive);
    if (a < 0) return;
    const int b = Source.indexOf(QLatin1String("</title>"), a, Qt::CaseInsensitive);
    if (b < 0) return;
    Source.replace(a + 7, b - a - 7, Title);
}

void UnescapeHrefAmpersands(QString &Source)
{
    int from = 0;
    for (;;) {
        const int p = Source.indexOf(QLatin1String("href=\""), from, Qt::CaseInsensitive);
        if (p < 0) return;
        const int vs = p + 6;
        const int q = Source.indexOf(QLatin1Char('"'), vs);
        if (q < 0) return;  // no closing quote: the scan ends
        QString v = Source.mid(vs, q - vs);
        v.replace(QLatin1String("&amp;"), QLatin1String("&"));
        Source.replace(vs, q - vs, v);
        from = vs + v.size() + 1;
    }
}

} // namespace htmledit
