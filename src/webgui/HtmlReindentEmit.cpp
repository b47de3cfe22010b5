// The re-indenter's writer: lines go to the result, save and trace lists with their indent
// remembered, and the element lines and comment blocks a line left are written after it.
#include "webgui/HtmlReindentInternal.h"

#include "text/StrUtils.h"

#include <utility>

using namespace reindent_detail;

namespace {

// Strips a bar number an earlier run put after an open comment, so it is not written twice.
std::string withoutBar(const std::string& b)
{
    const std::size_t h = b.rfind(kBannerHash);
    if (h == npos)
        return b;
    const std::string rest = b.substr(h + kBannerHash.size());
    if (rest.size() < 6 || rest.compare(0, 5, "   ( ") != 0 || rest.back() != ')')
        return b;
    return TrimRight(b.substr(0, h));
}

} // namespace

namespace reindent_detail {

void Reindenter::write(const std::string& line, const char* label, int ch, const std::string* traceText)
{
    const bool marked = line.find(marks.br[0]) != npos;
    std::string restored;
    if (marked)
        restored = marks.restore(line);
    const std::string_view l = marked ? std::string_view(restored) : std::string_view(line);
    if (ch & T) {
        if (traceText)
            res.T.push_back(sj(label), "\t", marks.restore(*traceText));
        else
            res.T.push_back(sj(label), "\t", l);
    }
    if (ch & S)
        res.S.push_back(l);
    if (ch & (O | R)) {
        res.R.push_back(l);
        res.RRaw.push_back(writingRaw ? 1 : 0);
        rememberIndent(l);
    }
    lineInRaw = false;
}

void Reindenter::rememberIndent(std::string_view l)
{
    if (!writingRaw) {
        std::size_t b = 0, e = l.size();
        while (b < e && static_cast<unsigned char>(l[b]) <= 32)
            ++b;
        while (e > b && static_cast<unsigned char>(l[e - 1]) <= 32)
            --e;
        l = l.substr(b, e - b);
    }
    if (contains(l, "<!--") && contains(l, "-->"))
        return;
    std::size_t i = 0;
    while (i + 2 < l.size() && l[i] == ' ')
        ++i;
    if (i + 2 < l.size())
        indentSpaces.assign(i + 1, ' ');
}

void Reindenter::writeTitle(const char* label, const std::string* traceText)
{
    if (titleWritten || lineInRaw)
        return;
    write("<title>" + res.Title + "</title>", label, ORT, traceText);
    titleWritten = true;
}

void Reindenter::writeBodyTag(const char* label, const std::string& prefix)
{
    if (bodyTagWritten)
        return;
    // A browser shows a frameset only where no body begins before it.
    if (!framesetPage)
        write(prefix + res.BodyTag, label, ORT);
    bodyTagWritten = true;
    bodyStarted = true; // as a second run will find it: the body begins at its tag
}

void Reindenter::flushIndentLines()
{
    for (std::string& s : elementLines) {
        if (xhtml)
            s = ReplaceAllIgnoreCase(s, "shape=\"RECT\"", "shape=\"rect\"");
        if (opt.ImgAlt != 0) {
            // a comment mark rewritten at the line's start or end ("--->" becomes " ■ -->")
            // must not leave a blank there, which a second run would take off
            std::string fixed = FixImgAndLinkTags(s, opt.ImgAlt, marks);
            if (fixed != s)
                fixed = leadingBlanks(s) + Trim(fixed);
            s = std::move(fixed);
        }
        if (!s.empty()) {
            if (startsWith(s, "<a ")) {
                s = divPrefix + "  " + s;
                write(s, "★６", ORST);
            } else if (startsWith(s, "</div>")) {
                s = divPrefix + "  " + s;
                write(s, "★４", ORST);
            } else {
                write(s, "★２", ORST);
                const std::size_t d = findTag(s, "<div");
                if (d != npos)
                    divPrefix = leadingBlanks(s.substr(0, d));
            }
        }
        if (contains(s, "<!--"))
            commentPending = true;
        if (contains(s, "-->"))
            commentPending = false;
    }
    elementLines.clear();
}

void Reindenter::tail()
{
    for (const std::string& blk : blocks) {
        std::string b = Trim(blk);
        if (b.empty())
            continue;
        std::string out = b;
        if (!contains(b, "-->") && bodyStarted && opt.CommentBar == 1) {
            ++lineNo;
            out = withoutBar(b) + " " + kBannerHash + "   ( " + std::to_string(lineNo) + " )";
            traceOn = true;
        }
        write(out, "∇１", ORST);
    }
    blocks.clear();
}

} // namespace reindent_detail
