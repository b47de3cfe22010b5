// The WebGUI page's HTML re-indenter: lays a page out line by line with an indentation unit
// of four blanks, and records beside every line the rule that placed it.
//
// It does not parse the document; it works on lines with ordered text tests. What it
// promises beyond that:
// - Length unit: lengths and positions count bytes of the Shift_JIS text; every cut falls on
//   "<" or ">" (never a trail byte), so nothing is cut inside a double-byte character.
// - Raw content: the contents of script, style, pre, textarea and xmp elements, and comments
//   that span lines, are found with the tag scanner and go out byte for byte (label "○１");
//   no rule, splitter, replacement or blank-line removal touches those lines.
// - Joiners: a long element line is broken into pieces whose line breaks hide inside
//   comments: every piece but the last ends in "<!--" and the next written line begins with
//   the indent and "    -->". A break never falls inside a tag, and an author's comment is
//   never opened or closed by a joiner. Re-running first takes the joiners out again, so
//   re-indenting a result changes nothing.
// - Placeholders: the marks used while a line is worked on ("<br />", comment marks kept
//   inside a line and their "<" ">") are two-byte sequences that begin with a control byte
//   the input does not hold, chosen per run; literal "^br", "{{", "{!--" or "}{/iframe}" in
//   the input are plain text to the engine, and no placeholder reaches a result. An inline
//   frame's start and end tag are kept together by the cutter itself (no cut inside one).
// - No state between runs: title and body tag come from the inputs of the run itself.
// - Element tests match whole tag names ("<p" is not "<pre", "<head" not "<header").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct ReindentOptions {
    int CellMode = 1;   // 0 writes lines as they stand, 1 hands element lines to the splitters
    int PrologMode = 0; // 1 rebuilds the prolog (XML declaration, DOCTYPE, html and head tags)
    int CommentBar = 0; // 1 marks comment openings and ends with numbered bars
    int ImgAlt = 0;     // 1 gives images without alt an alt text, escapes "&" in links
    int MaxLen = 0;     // element lines at least this long are split (0: every one)
};

// What the run reads from the window: the editor's html start tag and title, the source of
// the local page last opened, and the URL and local-file boxes (for the signature comment).
struct ReindentInputs {
    std::string HtmlStartTag = "<html>";
    std::string EditorTitle;
    std::string LocalPageSource;
    std::string EditorUrl;
    std::string LocalFile;
};

// Lines kept end to end in one buffer. A run writes several lines per line of the page into
// three lists; one string per line made the memory, and the time to fill and free it, grow
// faster than the page.
class LineList {
public:
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](std::size_t i) const
    {
        const std::size_t b = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(buf_).substr(b, ends_[i] - b);
    }
    void push_back(std::string_view line)
    {
        buf_.append(line);
        ends_.push_back(buf_.size());
    }
    // A line made of pieces, without a string for the whole.
    void push_back(std::string_view a, std::string_view b, std::string_view c)
    {
        buf_.append(a).append(b).append(c);
        ends_.push_back(buf_.size());
    }
    std::vector<std::string> toVector() const;

    class const_iterator {
    public:
        const_iterator(const LineList* l, std::size_t i) : l_(l), i_(i) {}
        std::string_view operator*() const { return (*l_)[i_]; }
        const_iterator& operator++()
        {
            ++i_;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }

    private:
        const LineList* l_;
        std::size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    std::string buf_;
    std::vector<std::size_t> ends_;
};

struct ReindentResult {
    std::string Text;             // the result lines joined with CRLF, a CRLF after the last
    LineList R;                   // the result list the user sees
    // The result lines: every rule writes them to the result list too, so one list serves both.
    const LineList& O() const { return R; }
    LineList S;                   // the save list
    LineList T;                   // trace: label, TAB, line
    std::vector<char> RRaw;       // per R line: 1 when it is raw content written as it stands
    std::string Title;            // title the run wrote
    std::string BodyTag;          // body start tag the run wrote
};

// The marks used while one run works on a line; chosen so that they cannot occur in Source.
struct ReindentMarks {
    std::string br, cOpen, cClose, lt, gt;
    static ReindentMarks forText(const std::string& Source);
    // Every mark turned back into the markup it stands for.
    std::string restore(const std::string& S) const;
};

ReindentResult HTMLIndentation(const std::string& Source, const ReindentOptions& Opt,
                               const ReindentInputs& In);

// Element splitters: Lines receives the output lines (joined by comments); returns their
// number. A line without the start marker comes back unchanged as one line. Trace, when
// given, receives the cut labels.
int SplitLongTagLine(const std::string& Open, const std::string& Close, const std::string& Line,
                     std::vector<std::string>& Lines, int MaxLen,
                     const ReindentMarks& Marks = ReindentMarks::forText(""));
int SplitLongParagraphLine(const std::string& Line, std::vector<std::string>& Lines, int MaxLen,
                           const ReindentMarks& Marks = ReindentMarks::forText(""));
int TDinnerIndent(const std::string& Open, const std::string& Close, const std::string& Line,
                  std::vector<std::string>& Lines, int MaxLen, std::vector<std::string>* Trace = nullptr,
                  const ReindentMarks& Marks = ReindentMarks::forText(""));
std::string FixImgAndLinkTags(const std::string& Line, int Mode,
                              const ReindentMarks& Marks = ReindentMarks::forText(""));
// Takes the comments out of Line into Blocks; returns how many.
int ExtractCommentBlocks(std::string& Line, std::vector<std::string>& Blocks);

// --- the indentation run around the engine --------------------------------------------------

// The editor round trip of the leading-space clean-up: given the cleaned page, the body
// source the hidden editor produces. Tests pass the identity.
using EditorRoundTrip = std::function<std::string(const std::string&)>;

// Leading blanks and blank lines removed outside raw content, then the round trip.
std::string CleanupHTMLLeadingSpace(const std::string& Source, const EditorRoundTrip& RoundTrip);
// A page's source cut where the re-indenter's head ends: before the body start tag, else after
// the head end tag (as the scanner finds them, never inside a comment or script); without
// either the head is empty.
struct IndentSourceParts {
    std::string Head, Body;
};
IndentSourceParts SplitIndentSource(const std::string& Page);
// The joiners an earlier run wrote taken out of a page, then blank lines dropped (raw content
// kept as it is). Author comments stay as written.
std::string RemoveIndentCommentText(const std::string& Source);
// The prepared source: the head, the cleaned body and "</html>", TABs expanded, runs of line
// breaks collapsed and the normalisation table applied, all outside raw content.
std::string PrepareIndentSource(const std::string& Source, const std::string& Head,
                                const EditorRoundTrip& RoundTrip, int RemoveIndentComment);
// The result list's text with a last "<!--" joined to a following lone "-->".
std::string CleanupIndentation(const std::vector<std::string>& Items);
// The whole run: prepare, re-indent, join, and the replacements shown in the result pane. A
// Source given without a Head is split by SplitIndentSource first. On
// malformed markup the result is re-indented again until it no longer changes (three more
// rounds at most), so that a second run over it changes nothing.
ReindentResult RunIndentation(const std::string& Source, const std::string& Head,
                              const EditorRoundTrip& RoundTrip, int RemoveIndentComment,
                              const ReindentOptions& Opt, const ReindentInputs& In);
// The " HTMLｿｰｽ " view of a page: TABs made blanks and runs of blank lines made one line
// break, outside raw content (pre, textarea, script, style and xmp keep every byte).
std::string HtmlSourceTabText(const std::string& Source);
// The text a result save writes (the final list's lines).
std::string IndentSaveText(const std::vector<std::string>& FinalLines);
// The file a result is saved to: the page's own file gets "WW_" in front of its name, and a
// name without extension gets ".html".
std::string IndentSaveFileName(const std::string& Chosen, const std::string& PageFile);
