#include "platform/TRichEdit.h"

#include "text/JCode.h"
#include "text/SjisBytes.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

// --- positions ---------------------------------------------------------------------------

std::size_t TSjisCharMap::charBytes(std::string_view text, std::size_t i)
{
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        return 2;
    return sjisCharLen(text, i);
}

void TSjisCharMap::rewindIfPast(std::size_t byteOffset)
{
    if (byteOffset < byte_) {
        byte_ = 0;
        chars_ = 0;
    }
}

int TSjisCharMap::charIndex(std::size_t byteOffset)
{
    rewindIfPast(byteOffset);
    while (byte_ < byteOffset && byte_ < text_.size()) {
        const std::size_t step = charBytes(text_, byte_);
        if (byte_ + step > byteOffset)
            break; // the offset lies inside this character
        byte_ += step;
        ++chars_;
    }
    return chars_;
}

std::size_t TSjisCharMap::byteOffset(int charIndex)
{
    if (charIndex < chars_) {
        byte_ = 0;
        chars_ = 0;
    }
    while (chars_ < charIndex && byte_ < text_.size()) {
        byte_ += charBytes(text_, byte_);
        ++chars_;
    }
    return byte_;
}

// --- RTF reader --------------------------------------------------------------------------

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

enum class Dest { Text, Skip, ColorTable };

struct GroupState {
    int color = 0;
    bool bold = false;
    Dest dest = Dest::Text;
};

class RtfParser {
public:
    RtfParser(std::string_view d, TRtfContent& out) : d_(d), out_(out) {}

    bool run()
    {
        if (d_.substr(0, 5) != "{\\rtf")
            return false;
        const std::size_t n = d_.size();
        std::size_t i = 0;
        while (i < n) {
            const char c = d_[i];
            if (c == '{') {
                stack_.push_back(st_);
                ++i;
            } else if (c == '}') {
                if (stack_.empty())
                    return false;
                st_ = stack_.back();
                stack_.pop_back();
                ++i;
                if (stack_.empty())
                    return finish();
            } else if (c == '\r' || c == '\n') {
                ++i;
            } else if (c == '\\') {
                if (!controlAt(i))
                    return false;
            } else if (st_.dest == Dest::ColorTable) {
                if (c == ';')
                    endColor();
                ++i;
            } else {
                // A span of plain bytes goes in at once.
                std::size_t j = i + 1;
                while (j < n && d_[j] != '\\' && d_[j] != '{' && d_[j] != '}' && d_[j] != '\r' && d_[j] != '\n')
                    ++j;
                appendBytes(d_.substr(i, j - i));
                i = j;
            }
        }
        return false; // the document's group never closed
    }

private:
    void appendBytes(std::string_view bytes)
    {
        if (st_.dest != Dest::Text || bytes.empty())
            return;
        auto& runs = out_.runs;
        if (runs.empty() || runs.back().color != st_.color || runs.back().bold != st_.bold)
            runs.push_back(TRtfRun{out_.text.size(), 0, st_.color, st_.bold});
        out_.text.append(bytes);
        runs.back().length += bytes.size();
    }

    void appendByte(char c) { appendBytes(std::string_view(&c, 1)); }

    void endColor()
    {
        if (red_ < 0 && green_ < 0 && blue_ < 0)
            out_.colors.emplace_back(); // "auto"
        else
            out_.colors.emplace_back(std::clamp(red_, 0, 255), std::clamp(green_, 0, 255), std::clamp(blue_, 0, 255));
        red_ = green_ = blue_ = -1;
    }

    // Reads the control word or symbol at d_[i] (a backslash) and moves i past it.
    bool controlAt(std::size_t& i)
    {
        const std::size_t n = d_.size();
        if (i + 1 >= n)
            return false;
        const char x = d_[i + 1];
        if (isAsciiLetter(x)) {
            std::size_t j = i + 1;
            while (j < n && isAsciiLetter(d_[j]))
                ++j;
            const std::string_view word = d_.substr(i + 1, j - i - 1);
            bool hasParam = false;
            bool negative = false;
            long param = 0;
            if (j < n && d_[j] == '-') {
                negative = true;
                ++j;
            }
            while (j < n && d_[j] >= '0' && d_[j] <= '9') {
                hasParam = true;
                if (param < 1000000000L)
                    param = param * 10 + (d_[j] - '0');
                ++j;
            }
            if (negative)
                param = -param;
            if (j < n && d_[j] == ' ')
                ++j; // the delimiter belongs to the control word
            i = j;
            controlWord(word, hasParam, static_cast<int>(param));
            return true;
        }
        if (x == '\'') {
            // Double-byte text is a chain of these; decode the chain in one go.
            char buf[64];
            std::size_t len = 0;
            do {
                const int hi = i + 2 < n ? hexValue(d_[i + 2]) : -1;
                const int lo = i + 3 < n ? hexValue(d_[i + 3]) : -1;
                if (hi < 0 || lo < 0)
                    return false;
                buf[len++] = static_cast<char>(hi * 16 + lo);
                i += 4;
            } while (len < sizeof buf && i + 1 < n && d_[i] == '\\' && d_[i + 1] == '\'');
            appendBytes(std::string_view(buf, len));
            return true;
        }
        if (x == '\\' || x == '{' || x == '}')
            appendByte(x);
        else if (x == '*')
            st_.dest = Dest::Skip;
        else if (x == '\r' || x == '\n')
            appendByte('\n');
        i += 2;
        return true;
    }

    void controlWord(std::string_view w, bool hasParam, int param)
    {
        if (w == "par" || w == "line") {
            appendByte('\n');
        } else if (w == "tab") {
            appendByte('\t');
        } else if (w == "cf") {
            st_.color = std::max(param, 0);
        } else if (w == "b") {
            st_.bold = !hasParam || param != 0;
        } else if (w == "plain") {
            st_.color = 0;
            st_.bold = false;
        } else if (w == "fonttbl") {
            st_.dest = Dest::Skip;
        } else if (w == "colortbl") {
            st_.dest = Dest::ColorTable;
        } else if (st_.dest == Dest::ColorTable) {
            if (w == "red")
                red_ = param;
            else if (w == "green")
                green_ = param;
            else if (w == "blue")
                blue_ = param;
        }
    }

    bool finish()
    {
        // The closing paragraph mark ends the document, not a line of its text.
        auto& text = out_.text;
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
            if (--out_.runs.back().length == 0)
                out_.runs.pop_back();
        }
        return true;
    }

    std::string_view d_;
    TRtfContent& out_;
    GroupState st_;
    std::vector<GroupState> stack_;
    int red_ = -1, green_ = -1, blue_ = -1;
};

QString decodeSjis(const std::string& bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromStdU16String(AnsiToWide(bytes));
}

QString normalizeLineEnds(QString s)
{
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace

bool readRtf(std::string_view data, TRtfContent& out)
{
    out = TRtfContent{};
    // Escapes make a document two to four times its text; runs come every few dozen bytes.
    out.text.reserve(data.size() / 2);
    out.runs.reserve(data.size() / 32);
    RtfParser parser(data, out);
    if (parser.run())
        return true;
    out = TRtfContent{};
    return false;
}

// --- the control -------------------------------------------------------------------------

// A line's user state says whether it holds loaded colours, so that clearing them never has
// to create a layout for a line that has none.
static constexpr int kLoadedColours = 0x4b43;

TRichEdit::TRichEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    setFont(font);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (onChange_ && !loading_)
            onChange_();
    });
    // Loaded colours sit on positions within a line, so an edit that moves characters would
    // leave them on the wrong ones: the edited lines drop them. A change that keeps the
    // length (a format change, or text typed over as much) drops them only where it applies.
    connect(document(), &QTextDocument::contentsChange, this, [this](int from, int removed, int added) {
        if (!settingColours_)
            clearLoadedColours(from, from + added, removed != added);
    });
}

void TRichEdit::clearLoadedColours(int from, int to, bool wholeLines)
{
    QTextDocument* doc = document();
    const bool wasSetting = settingColours_;
    settingColours_ = true;
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        const int pos = b.position();
        if (pos > to || (pos == to && !wholeLines))
            break;
        if (b.userState() != kLoadedColours)
            continue;
        QList<QTextLayout::FormatRange> kept;
        if (!wholeLines) {
            const int cutFrom = from - pos, cutTo = to - pos;
            for (const QTextLayout::FormatRange& r : b.layout()->formats()) {
                const int rEnd = r.start + r.length;
                if (r.start < cutFrom)
                    kept.append({r.start, std::min(rEnd, cutFrom) - r.start, r.format});
                if (rEnd > cutTo)
                    kept.append({std::max(r.start, cutTo), rEnd - std::max(r.start, cutTo), r.format});
            }
        }
        b.layout()->setFormats(kept);
        if (kept.isEmpty())
            b.setUserState(-1);
        doc->markContentsDirty(pos, b.length());
    }
    settingColours_ = wasSetting;
}

std::optional<QTextCharFormat> TRichEdit::loadedFormatAt(int charIndex) const
{
    const int p = std::clamp(charIndex, 0, maxPosition());
    const QTextBlock b = document()->findBlock(p);
    if (!b.isValid() || b.userState() != kLoadedColours)
        return std::nullopt;
    const int offset = p - b.position();
    for (const QTextLayout::FormatRange& r : b.layout()->formats())
        if (offset >= r.start && offset < r.start + r.length)
            return r.format;
    return std::nullopt;
}

std::string TRichEdit::text() const
{
    const QString raw = document()->toRawText();
    std::u16string out;
    out.reserve(static_cast<std::size_t>(raw.size()) + static_cast<std::size_t>(document()->blockCount()));
    for (QChar ch : raw) {
        const char16_t u = ch.unicode();
        if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator) {
            out += u'\r';
            out += u'\n';
        } else {
            out += u;
        }
    }
    return WideToAnsi(out);
}

void TRichEdit::setText(const std::string& sjis)
{
    setWideText(decodeSjis(sjis));
}

void TRichEdit::setWideText(const QString& text)
{
    QPlainTextEdit::setPlainText(normalizeLineEnds(text));
    if (defFormat_.propertyCount() > 0) {
        QTextCursor c(document());
        c.select(QTextCursor::Document);
        c.setCharFormat(defFormat_);
    }
}

std::vector<std::string> TRichEdit::lines() const
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(document()->blockCount()));
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        out.push_back(WideToAnsi(b.text().toStdU16String()));
    return out;
}

int TRichEdit::lineCount() const
{
    return document()->blockCount();
}

bool TRichEdit::loadFromStream(const std::string& data)
{
    if (!plainTextMode_) {
        TRtfContent content;
        if (readRtf(data, content)) {
            loadContent(content);
            return true;
        }
    }
    setText(data);
    return false;
}

void TRichEdit::loadContent(const TRtfContent& content)
{
    // Character offsets of the runs. Decoding the whole text at once is fast, and the byte
    // counting rule gives each run's offsets, provided the decoder made one character of
    // every character the rule counts. Text with bytes the decoder refuses can break that
    // promise; then each run is decoded on its own, which is right by construction.
    QString all = decodeSjis(content.text);
    std::vector<int> starts;
    starts.reserve(content.runs.size() + 1);
    TSjisCharMap map(content.text);
    for (const TRtfRun& r : content.runs)
        starts.push_back(map.charIndex(r.start));
    starts.push_back(map.charIndex(content.text.size()));
    if (starts.back() != all.size()) {
        all.clear();
        starts.clear();
        for (const TRtfRun& r : content.runs) {
            starts.push_back(static_cast<int>(all.size()));
            all += decodeSjis(content.text.substr(r.start, r.length));
        }
        starts.push_back(static_cast<int>(all.size()));
    }

    // One format per (colour, bold) pair actually used; colour-table entries of equal colour
    // share one.
    std::vector<std::size_t> canonical(content.colors.size());
    for (std::size_t i = 0; i < canonical.size(); ++i) {
        canonical[i] = i;
        for (std::size_t j = 0; j < i; ++j)
            if (content.colors[j] == content.colors[i]) {
                canonical[i] = j;
                break;
            }
    }
    std::vector<QTextCharFormat> formats(content.colors.size() * 2 + 2);
    std::vector<bool> made(formats.size(), false);
    auto formatKey = [&](const TRtfRun& r) {
        const std::size_t color =
            static_cast<std::size_t>(r.color) < content.colors.size() ? canonical[static_cast<std::size_t>(r.color)] : 0;
        const std::size_t key = color * 2 + (r.bold ? 1 : 0);
        if (!made[key]) {
            QTextCharFormat f;
            if (color < content.colors.size() && content.colors[color].isValid())
                f.setForeground(content.colors[color]);
            f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
            formats[key] = f;
            made[key] = true;
        }
        return key;
    };
    // Blanks and line breaks show no colour, so a run of them joins the run before it; with
    // fewer runs to insert a large page loads markedly faster.
    auto isBlankRun = [&](std::size_t k) {
        for (int i = starts[k]; i < starts[k + 1]; ++i) {
            const char16_t u = all.at(i).unicode();
            if (u != u' ' && u != u'\t' && u != u'\n')
                return false;
        }
        return true;
    };

    // The text goes in plain; each line then gets its coloured runs as layout formats.
    QTextDocument* doc = document();
    loading_ = true;
    QPlainTextEdit::setPlainText(all);
    settingColours_ = true;
    QTextBlock block = doc->begin();
    int blockPos = 0;
    int blockEnd = block.length() - 1; // the line break is no part of a run
    QList<QTextLayout::FormatRange> ranges;
    auto flush = [&] {
        if (!ranges.isEmpty()) {
            block.layout()->setFormats(ranges);
            block.setUserState(kLoadedColours);
            ranges.clear();
        }
    };
    std::size_t k = 0;
    const std::size_t n = content.runs.size();
    while (k < n && block.isValid()) {
        const std::size_t key = formatKey(content.runs[k]);
        std::size_t e = k + 1;
        while (e < n && (isBlankRun(e) || formatKey(content.runs[e]) == key))
            ++e;
        int from = starts[k];
        const int to = starts[e];
        k = e;
        while (from < to) {
            while (from > blockEnd) {
                flush();
                block = block.next();
                if (!block.isValid())
                    break;
                blockPos = block.position();
                blockEnd = blockPos + block.length() - 1;
            }
            if (!block.isValid())
                break;
            const int end = std::min(to, blockEnd);
            if (end > from)
                ranges.append(QTextLayout::FormatRange{from - blockPos, end - from, formats[key]});
            from = blockEnd + 1;
        }
    }
    if (block.isValid())
        flush();
    // Lets the layout take the new formats in without reporting a change of the text.
    doc->markContentsDirty(0, doc->characterCount());
    settingColours_ = false;
    loading_ = false;
    if (onChange_)
        onChange_();
    QTextCursor start(doc);
    setTextCursor(start);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

int TRichEdit::maxPosition() const
{
    return std::max(0, document()->characterCount() - 1);
}

QTextCursor TRichEdit::cursorAt(int anchor, int position) const
{
    QTextCursor c(document());
    c.setPosition(std::clamp(anchor, 0, maxPosition()));
    c.setPosition(std::clamp(position, 0, maxPosition()), QTextCursor::KeepAnchor);
    return c;
}

int TRichEdit::selStart() const
{
    return textCursor().selectionStart();
}

int TRichEdit::selLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

// Moving the selection does not scroll; scrollCaret does, when a caller wants it.
void TRichEdit::setSelStart(int charIndex)
{
    const int v = verticalScrollBar()->value();
    const int h = horizontalScrollBar()->value();
    const int p = std::clamp(charIndex, 0, maxPosition());
    setTextCursor(cursorAt(p, p));
    verticalScrollBar()->setValue(v);
    horizontalScrollBar()->setValue(h);
}

void TRichEdit::setSelLength(int length)
{
    const int v = verticalScrollBar()->value();
    const int h = horizontalScrollBar()->value();
    const int start = selStart();
    setTextCursor(cursorAt(start, start + std::max(length, 0)));
    verticalScrollBar()->setValue(v);
    horizontalScrollBar()->setValue(h);
}

void TRichEdit::selectAllText()
{
    const int v = verticalScrollBar()->value();
    const int h = horizontalScrollBar()->value();
    setTextCursor(cursorAt(0, maxPosition()));
    verticalScrollBar()->setValue(v);
    horizontalScrollBar()->setValue(h);
}

static QTextCharFormat attributes(const QColor& color, bool bold)
{
    QTextCharFormat f;
    f.setForeground(color);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

void TRichEdit::setSelAttributes(const QColor& color, bool bold)
{
    QTextCursor c = textCursor();
    if (c.hasSelection()) {
        clearLoadedColours(c.selectionStart(), c.selectionEnd(), false);
        settingColours_ = true;
        c.mergeCharFormat(attributes(color, bold));
        settingColours_ = false;
    } else {
        mergeCurrentCharFormat(attributes(color, bold));
    }
}

void TRichEdit::setRangeAttributes(const std::vector<std::pair<int, int>>& ranges, const QColor& color, bool bold)
{
    if (ranges.empty())
        return;
    const QTextCharFormat format = attributes(color, bold);
    const int last = maxPosition();
    QTextCursor c(document());
    settingColours_ = true;
    c.beginEditBlock();
    for (const auto& [from, to] : ranges) {
        const int a = std::clamp(from, 0, last), b = std::clamp(to, 0, last);
        if (a >= b)
            continue;
        clearLoadedColours(a, b, false);
        c.setPosition(a);
        c.setPosition(b, QTextCursor::KeepAnchor);
        c.mergeCharFormat(format);
    }
    // The document reports the whole edit here, still as our own format change.
    c.endEditBlock();
    settingColours_ = false;
}

void TRichEdit::setDefAttributes(const QColor& color, bool bold)
{
    defFormat_ = attributes(color, bold);
    mergeCurrentCharFormat(defFormat_);
}

QColor TRichEdit::colorAt(int charIndex) const
{
    if (const auto loaded = loadedFormatAt(charIndex); loaded && loaded->foreground().style() != Qt::NoBrush)
        return loaded->foreground().color();
    const QTextCharFormat f = cursorAt(charIndex, charIndex + 1).charFormat();
    if (f.foreground().style() == Qt::NoBrush)
        return palette().color(QPalette::Text);
    return f.foreground().color();
}

bool TRichEdit::boldAt(int charIndex) const
{
    if (const auto loaded = loadedFormatAt(charIndex))
        return loaded->fontWeight() >= QFont::Bold;
    return cursorAt(charIndex, charIndex + 1).charFormat().fontWeight() >= QFont::Bold;
}

int TRichEdit::lineFromChar(int charIndex) const
{
    return document()->findBlock(std::clamp(charIndex, 0, maxPosition())).blockNumber();
}

int TRichEdit::lineIndex(int line) const
{
    const QTextBlock b = document()->findBlockByNumber(line);
    return b.isValid() ? b.position() : -1;
}

int TRichEdit::firstVisibleLine() const
{
    return firstVisibleBlock().blockNumber();
}

void TRichEdit::setFirstVisibleLine(int line)
{
    // A scroll step is one display line; with wrapping on, a text line may take several.
    const QTextBlock b = document()->findBlockByNumber(std::clamp(line, 0, std::max(0, lineCount() - 1)));
    verticalScrollBar()->setValue(b.firstLineNumber());
}

void TRichEdit::scrollCaret()
{
    ensureCursorVisible();
}
