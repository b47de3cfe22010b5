// Long element lines cut into pieces whose line breaks hide in comments (the joiners), those
// joiners taken out again, and the marks a run uses while it works on a line.
#include "webgui/HtmlReindentInternal.h"

#include "text/StrUtils.h"

#include <algorithm>
#include <utility>

using namespace reindent_detail;

namespace {

// The comment that ends a run's joined line break: "<!--", blanks, one line break, blanks,
// "-->". Taking these out gives the lines as they were before the run.
bool isJoiner(std::string_view c)
{
    if (c.size() < 7 || c.substr(0, 4) != "<!--" || c.substr(c.size() - 3) != "-->")
        return false;
    const std::string_view mid = c.substr(4, c.size() - 7);
    int breaks = 0;
    for (char ch : mid) {
        if (ch == '\n')
            ++breaks;
        else if (ch != ' ' && ch != '\t' && ch != '\r')
            return false;
    }
    return breaks == 1;
}

int splitCommon(bool paragraph, const std::string& Open, const std::string& Close, const std::string& Line,
                std::vector<std::string>& Lines, int MaxLen, const ReindentMarks& m)
{
    Lines.clear();
    if (static_cast<long long>(Line.size()) < MaxLen) {
        Lines.push_back(Line);
        return 1;
    }
    // "<br />" too in a paragraph: it is what "<br>" comes back as, so a second run cuts alike.
    std::string W = ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(Line, "<br>", m.br), "<br />", m.br);
    W = protectInlineComments(W, m);
    const std::size_t op = findTag(W, Open);
    const std::size_t gt = op == npos ? npos : W.find('>', op);
    if (gt == npos) {
        Lines.push_back(Line);
        return 1;
    }
    const std::string indent = leadingBlanks(W);
    const std::size_t headLen = indent.size() + kJoinClose.size();
    const std::string endMark = paragraph ? "</p>" : Close;
    const std::string splitMark = paragraph ? "</p" : Close;
    std::vector<std::size_t> cuts{gt + 1};
    std::size_t p = gt + 1;
    bool toTail = false;
    NextFind img{W, "<img"}, endAt{W, endMark}, closeTag{W, "</"}, anyGt{W, ">"}, anyLt{W, "<"};
    while (anyGt.from(p) != npos) {
        const std::size_t before = p;
        if (img.from(p) != npos) {
            p = W.find('>', p) + 1;
            cuts.push_back(p);
        } else if (anyLt.from(p) != npos) {
            std::size_t e = npos;
            if (paragraph) {
                const std::size_t cl = closeTag.from(p);
                e = cl != npos ? W.find('>', cl) : W.find('>', p + 1);
            } else {
                const std::size_t f = W.find('>', p);
                e = f == npos ? npos : W.find('>', f + 2);
            }
            if (e != npos) {
                p = e + 1;
                cuts.push_back(p);
            }
            const std::size_t lt = anyLt.from(p);
            if (lt != npos) {
                const std::size_t c = endAt.from(p);
                if (c == npos || c - p < 15) {
                    toTail = true;
                    break;
                }
                const std::size_t g = W.find('>', lt);
                if (g == npos)
                    break;
                cuts.push_back(lt);
                p = g + 1;
                cuts.push_back(p);
            }
        }
        if (W.size() - p + headLen < static_cast<std::size_t>(std::max(MaxLen, 0)))
            break;
        if (p == before)
            break;
    }
    if (toTail) {
        const std::size_t c = W.find(splitMark, p);
        if (c != npos && c > p)
            cuts.push_back(c);
    }
    writeJoined(piecesFromCuts(W, cuts), indent, Lines);
    return static_cast<int>(Lines.size());
}

} // namespace

namespace reindent_detail {

// True when some "<!--" is followed by blanks, one line break and blanks up to "-->": the
// text of a joiner, so only then is the page scanned for them.
bool mayHoldJoiners(const std::string& text)
{
    auto blanks = [&](std::size_t q) {
        while (q < text.size() && (text[q] == ' ' || text[q] == '\t' || text[q] == '\r'))
            ++q;
        return q;
    };
    for (std::size_t p = text.find("<!--"); p != npos; p = text.find("<!--", p + 4)) {
        std::size_t q = blanks(p + 4);
        if (q >= text.size() || text[q] != '\n')
            continue;
        q = blanks(q + 1);
        if (text.compare(q, 3, "-->") == 0)
            return true;
    }
    return false;
}

std::string removeJoiners(const std::string& text)
{
    if (!mayHoldJoiners(text))
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (const HtmlToken& t : scanPage(text)) {
        if (t.kind != HtmlToken::Kind::Comment || !isJoiner(std::string_view(text).substr(t.begin, t.end - t.begin)))
            continue;
        std::size_t b = t.begin;
        // A joiner that had to start its own line after a tag (a table end) takes that line
        // break back with it.
        std::size_t k = b;
        while (k > at && (text[k - 1] == ' ' || text[k - 1] == '\t'))
            --k;
        if (k >= at + 2 && text[k - 1] == '\n' && text[k - 2] == '\r' && k >= 3 && text[k - 3] == '>' && k - 3 >= at)
            b = k - 2;
        // an author's empty comment of the same shape after a text "<" ("<<!--\n-->!--")
        // must not leave that "<" to open what follows
        appendApart(out, std::string_view(text).substr(at, b - at));
        at = t.end;
    }
    appendApart(out, std::string_view(text).substr(at));
    return out;
}

// Cuts given as offsets into W become pieces; cuts inside a tag or a comment are dropped, and
// so are cuts that would leave a piece empty.
std::vector<std::string> piecesFromCuts(const std::string& W, std::vector<std::size_t> cuts)
{
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    // No cut inside a tag, a comment, raw content or an inline frame (whose contents a
    // browser reads as text, so a comment there would show).
    std::vector<std::pair<std::size_t, std::size_t>> inside;
    std::size_t iframeAt = npos;
    for (const HtmlToken& t : scanPage(W)) {
        if (t.kind == HtmlToken::Kind::StartTag && t.name == "iframe" && iframeAt == npos)
            iframeAt = t.begin;
        if (t.kind == HtmlToken::Kind::EndTag && t.name == "iframe" && iframeAt != npos) {
            inside.emplace_back(iframeAt, t.end);
            iframeAt = npos;
            continue;
        }
        if (iframeAt == npos && (t.isMarkup() || t.kind == HtmlToken::Kind::Raw))
            inside.emplace_back(t.begin, t.end);
    }
    if (iframeAt != npos)
        inside.emplace_back(iframeAt, W.size());
    std::vector<std::string> pieces;
    std::size_t at = 0;
    std::size_t k = 0;
    for (std::size_t c : cuts) {
        if (c <= at || c >= W.size())
            continue;
        while (k < inside.size() && inside[k].second <= c)
            ++k;
        if (k < inside.size() && inside[k].first < c)
            continue;
        pieces.push_back(W.substr(at, c - at));
        at = c;
    }
    pieces.push_back(W.substr(at));
    return pieces;
}

// Pieces written as lines whose breaks hide in comments: every line but the last ends in the
// opener, every line after the first begins with the indent and the closer.
void writeJoined(const std::vector<std::string>& pieces, const std::string& indent, std::vector<std::string>& lines)
{
    lines.clear();
    lines.reserve(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string l;
        l.reserve(indent.size() + kJoinClose.size() + pieces[i].size() + kJoinOpen.size());
        if (i > 0) {
            l += indent;
            l += kJoinClose;
        }
        l += pieces[i];
        if (i + 1 < pieces.size())
            l += kJoinOpen;
        lines.push_back(std::move(l));
    }
}

// Inside a comment kept within a line, "<" and ">" become marks so that no cut falls there.
std::string protectInlineComments(std::string W, const ReindentMarks& m)
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t a = W.find(m.cOpen, from);
        if (a == npos)
            break;
        const std::size_t z = W.find(m.cClose, a + m.cOpen.size());
        if (z == npos)
            break;
        std::string mid = W.substr(a + m.cOpen.size(), z - a - m.cOpen.size());
        mid = ReplaceAll(ReplaceAll(mid, "<", m.lt), ">", m.gt);
        W.replace(a + m.cOpen.size(), z - a - m.cOpen.size(), mid);
        from = a + m.cOpen.size() + mid.size() + m.cClose.size();
    }
    return W;
}

} // namespace reindent_detail

// --- marks -----------------------------------------------------------------------------

ReindentMarks ReindentMarks::forText(const std::string& Source)
{
    bool seen[256] = {};
    for (unsigned char c : Source)
        seen[c] = true;
    char lead = '\x01';
    for (int c = 1; c < 32; ++c) {
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        if (!seen[c]) {
            lead = static_cast<char>(c);
            break;
        }
    }
    ReindentMarks m;
    m.br = std::string(1, lead) + "b";
    m.cOpen = std::string(1, lead) + "o";
    m.cClose = std::string(1, lead) + "c";
    m.lt = std::string(1, lead) + "l";
    m.gt = std::string(1, lead) + "g";
    return m;
}

std::string ReindentMarks::restore(const std::string& S) const
{
    if (S.find(br[0]) == npos)
        return S;
    std::string out;
    out.reserve(S.size() + 16);
    for (std::size_t i = 0; i < S.size(); ++i) {
        if (S[i] == br[0] && i + 1 < S.size()) {
            const char k = S[i + 1];
            const char* to = nullptr;
            switch (k) {
            case 'b': to = "<br />"; break;
            case 'o': to = "<!--"; break;
            case 'c': to = "-->"; break;
            case 'l': to = "<"; break;
            case 'g': to = ">"; break;
            }
            if (to) {
                out += to;
                ++i;
                continue;
            }
        }
        out += S[i];
    }
    return out;
}

// --- splitters and fix-ups --------------------------------------------------------------

int SplitLongTagLine(const std::string& Open, const std::string& Close, const std::string& Line,
                     std::vector<std::string>& Lines, int MaxLen, const ReindentMarks& Marks)
{
    return splitCommon(false, Open, Close, Line, Lines, MaxLen, Marks);
}

int SplitLongParagraphLine(const std::string& Line, std::vector<std::string>& Lines, int MaxLen,
                           const ReindentMarks& Marks)
{
    return splitCommon(true, "<p", "</p", Line, Lines, MaxLen, Marks);
}
