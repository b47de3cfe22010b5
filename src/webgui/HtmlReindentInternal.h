// Internals of the HTML re-indenter shared by its source files; not for use outside them.
// Texts are Shift_JIS with CRLF line ends; lengths and positions count bytes.
#pragma once

#include "webgui/HtmlReindent.h"

#include "text/HtmlScan.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace reindent_detail {

inline constexpr std::size_t npos = std::string::npos;
inline const std::string kCrLf = "\r\n";
inline const std::string kJoinOpen = "<!--";
inline const std::string kJoinClose = "    -->";
inline const std::string kBannerHash = " " + std::string(40, '#');

// Japanese literals of the trace and marker lines, converted once to Shift_JIS.
const std::string& sj(const char* utf8);

// Views, so that the many tests against literals build no temporary strings.
inline bool contains(std::string_view s, std::string_view sub) { return s.find(sub) != npos; }
inline bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// Where a tag name ends, to the scanner and to a browser: at a blank, "/" or ">".
inline bool endsTagName(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/' || c == '>'; }

inline bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ':' ||
           c == '_';
}

// Where a title's text that begins at from ends: at the first "</title" after it.
std::size_t titleTextEnd(std::string_view s, std::size_t from);

// The page's tokens as a browser reads a title: its text runs to the first "</title", tags and
// comment marks included. Every pass reads the page through this one view, so a "<!--" or a
// tag over lines inside a title means the same to all of them.
std::vector<HtmlToken> scanPage(std::string_view s);

// True when the "<" at p lies inside a tag begun before it on the line ("<x<head>" and
// "<c<<head>" are one tag to a browser): between the nearest ">" before it and p stands a "<"
// that opens markup (a "<" followed by another "<" is text and opens nothing).
bool insideEarlierTag(std::string_view s, std::size_t p);

// Text glued to what follows a piece taken out never opens new markup: a "<" that would is
// written "&lt;" (appendApart: appending piece to out; keepApart: a cut made in place at b).
void appendApart(std::string& out, std::string_view piece);
void keepApart(std::string& s, std::size_t b);

// First "<name" (or "</name") in s whose name ends there: "<p" is not "<pre" or "<param", and
// a name inside another tag is no tag. The marker begins with "<", which never is a trail
// byte, so a byte search is safe.
std::size_t findTag(std::string_view s, std::string_view tag, std::size_t from = 0);

// Where the tag or declaration that begins at b ends, as the scanner reads it: a ">" inside a
// quoted value (<body title="a>b">) does not end a tag.
std::size_t markupEnd(std::string_view s, std::size_t b);

std::string leadingBlanks(const std::string& s);

struct Ranges {
    std::vector<std::pair<std::size_t, std::size_t>> r; // sorted, disjoint, [begin, end)
    bool intersects(std::size_t a, std::size_t b) const
    {
        if (a >= b)
            return false;
        auto it = std::upper_bound(r.begin(), r.end(), std::make_pair(a, npos));
        if (it != r.begin() && std::prev(it)->second > a)
            return true;
        return it != r.end() && it->first < b;
    }
    // True when p lies inside a range that began before it.
    bool continues(std::size_t p) const
    {
        auto it = std::upper_bound(r.begin(), r.end(), std::make_pair(p, npos));
        return it != r.begin() && std::prev(it)->first < p && std::prev(it)->second > p;
    }
};

inline bool isDoctype(std::string_view t) { return StartsWithNoCase(t, "<!doctype"); }

Ranges protectedRanges(const std::string& text, const std::vector<HtmlToken>& tokens, bool commentsToo);
Ranges protectedRanges(const std::string& text, bool commentsToo);

// A line is protected when its text meets protected content; an empty line when its line
// break lies inside it (a blank line in a pre element).
inline bool spanProtected(const Ranges& r, std::size_t b, std::size_t e) { return b < e ? r.intersects(b, e) : r.intersects(b, b + 1); }

// The next occurrence of a pattern at or after a moving position, searched again only when the
// position passed it, so a loop over a long line stays linear.
struct NextFind {
    const std::string& w;
    std::string pat;
    std::size_t at = 0;
    bool known = false;
    std::size_t from(std::size_t p)
    {
        if (!known || (at != npos && at < p)) {
            at = w.find(pat, p);
            known = true;
        }
        return at;
    }
};

// Applies fn to every stretch of text outside the protected ranges.
template <class Fn> std::string mapOutside(const std::string& text, const Ranges& ranges, Fn fn)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t at = 0;
    for (const auto& [b, e] : ranges.r) {
        if (b > at)
            out += fn(text.substr(at, b - at));
        out.append(text, b, e - b);
        at = e;
    }
    if (at < text.size())
        out += fn(text.substr(at));
    return out;
}

template <class Fn> std::string mapOutsideRaw(const std::string& text, bool commentsToo, Fn fn)
{
    return mapOutside(text, protectedRanges(text, commentsToo), fn);
}

struct LineSpan {
    std::size_t begin, end; // without the line break
};

std::vector<LineSpan> splitSpans(const std::string& text);

template <class Lines> std::string joinLines(const Lines& lines)
{
    std::string out;
    std::size_t n = 0;
    for (const auto& l : lines)
        n += l.size() + 2;
    out.reserve(n);
    for (const auto& l : lines) {
        out += l;
        out += kCrLf;
    }
    return out;
}

// Runs of line breaks (with nothing but blanks between) become one line break.
std::string collapseBlankLines(const std::string& s);

// --- the tag fix-ups and the joiners, which the run and its preparation share --------------

// Every "<" in a title's text written "&lt;", which a browser shows alike: the line rules and
// the passes around them then meet no tag or comment mark inside a title.
std::string escapeTitleText(const std::string& text);

// A quoted attribute value whose quote has no partner anywhere after it ends, to the scanner,
// where an unquoted one would (at a blank or ">"). Any quote written later (a title, a
// script's new type="...") would become its partner and move the tag's end over the page, so
// every pass would read that tag differently. The value is closed where the scanner ends it,
// once, before anything else reads the page. Only the last quote of each kind can be such a
// quote, so a page without one costs two searches.
std::string closeUnpairedQuotes(std::string text);

// Puts the structural tags (DOCTYPE, html, head, body, head end, title element) on lines of
// their own where they share a line with raw content, so the line rules meet them and the
// raw lines still go out byte for byte. Line breaks there are not rendered.
std::string isolateStructuralTags(const std::string& text, const std::vector<HtmlToken>& tokens, const Ranges& prot);

// Structural start tags spread over several lines are joined into one line, so that a rule
// finds them whole.
std::string joinStructuralTags(const std::string& text, const std::vector<HtmlToken>& tokens);

// The joiners an earlier run wrote taken out of a text: its lines as they were before that run.
std::string removeJoiners(const std::string& text);

// Cuts given as offsets into W become pieces; cuts inside a tag or a comment are dropped, and
// so are cuts that would leave a piece empty.
std::vector<std::string> piecesFromCuts(const std::string& W, std::vector<std::size_t> cuts);

// Pieces written as lines whose breaks hide in comments: every line but the last ends in the
// opener, every line after the first begins with the indent and the closer.
void writeJoined(const std::vector<std::string>& pieces, const std::string& indent, std::vector<std::string>& lines);

// Inside a comment kept within a line, "<" and ">" become marks so that no cut falls there.
std::string protectInlineComments(std::string W, const ReindentMarks& m);

class Reindenter {
public:
    Reindenter(const ReindentOptions& o, const ReindentInputs& in) : opt(o), in(in) {}
    // joinText: also join the lines into Text (the pipeline makes its own text instead)
    ReindentResult run(const std::string& Source, bool joinText = true);

private:
    const ReindentOptions& opt;
    const ReindentInputs& in;
    ReindentResult res;
    ReindentMarks marks;

    // per-run state
    bool xhtml = false, doctypeSeen = false, inTitle = false, titleWritten = false, bodyStarted = false;
    bool bodyTagWritten = false, headItemSeen = false, metaSeen = false, afterMeta = false, inScript = false;
    bool bareScriptOpen = false, lineCommentOpen = false, commentPending = false, hasHeadEnd = false;
    bool traceOn = false;
    bool framesetPage = false; // a frameset and no body start tag: no body tag is written
    bool hasTitleEnd = false; // the first title element is closed somewhere
    std::size_t lastTitleEnd = 0; // offset of the last title end tag in the work text (0: none)
    std::size_t curLineEnd = 0;   // offset where the line being worked on ends
    bool writingRaw = false;  // the line being written is raw content
    // The line begins where a raw element's content runs up to it ("</style><script>"): a line
    // written before its first piece would land inside that element, where a second run keeps it
    // as the element's text and writes another.
    bool lineInRaw = false;
    std::size_t linkPos = 0;
    int lineNo = 0, traceNo = 0;
    std::string leadText, divPrefix, pendingDoctype;
    // As after an unindented tag line: the first line then indents as it would behind the
    // prolog lines a rebuilt page starts with, so a second run indents alike.
    std::string indentSpaces = " ";
    std::vector<std::string> blocks, elementLines, cutTrace;

    enum Ch { O = 1, R = 2, S = 4, T = 8, ORT = O | R | T, ORST = O | R | S | T };

    void write(const std::string& line, const char* label, int ch, const std::string* traceText = nullptr);
    // The indent a later line takes is that of the last line written long enough to show one,
    // as a second run reads the result: each written line a line of its own, raw content with
    // its blanks and the rest trimmed. A shorter line keeps the one before, so the same text
    // indents the same way whatever short line a run left above it.
    void rememberIndent(std::string_view l);
    void writeTitle(const char* label, const std::string* traceText = nullptr);
    void writeBodyTag(const char* label, const std::string& prefix);

    std::string prolog(std::string work);
    void processLine(std::string line, const std::string& rawLine);
    void tail();
    void flushIndentLines();
};

// "<name" lower-cased, the rest of the tag as written, line breaks inside made blanks.
std::string lowerTagName(std::string tag, std::size_t nameLen);

} // namespace reindent_detail
