// A small HTML tag scanner for the rewriting passes: it cuts a text into tags, comments,
// declarations, plain text and the untouchable contents of script, style, pre, textarea and
// xmp elements, so that a pass can change markup without touching scripts, style sheets,
// preformatted text or comments. It never fails: every byte of the input belongs to exactly
// one token, in order, and joining the tokens gives the input back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct HtmlToken {
    enum class Kind {
        Text,     // character data between tags
        StartTag, // "<name ...>" (also "<name .../>")
        EndTag,   // "</name ...>"
        Comment,  // "<!-- ... -->"
        Markup,   // "<!DOCTYPE ...>", "<![CDATA[...]]>", "<?xml ...?>"
        Raw,      // contents of script, style, pre, textarea, xmp: left as they are
    };
    Kind kind = Kind::Text;
    std::size_t begin = 0; // 0-based byte offsets, end exclusive
    std::size_t end = 0;
    std::string name; // tag name in lower case (tags only)

    bool isTag() const { return kind == Kind::StartTag || kind == Kind::EndTag; }
    // Tags, comments and declarations: the tokens that end in ">" when complete.
    bool isMarkup() const { return kind != Kind::Text && kind != Kind::Raw; }
};

std::vector<HtmlToken> ScanHtml(std::string_view html);

// Where the tag that begins at b ("<name" or "</name") ends, past its ">", as ScanHtml reads it
// (a ">" inside a quoted value does not end it); the text's end for an unfinished tag.
std::size_t HtmlTagEnd(std::string_view html, std::size_t b);

// One attribute of a start tag, as offsets into the tag's own text.
struct HtmlAttr {
    std::size_t nameBegin = 0, nameEnd = 0;
    bool hasValue = false;
    std::size_t valueBegin = 0, valueEnd = 0; // without the quotes
    char quote = 0;                           // '"', '\'' or 0 for an unquoted value
    bool closed = true;                       // false: the opening quote has no partner
};

// The attributes of a start tag text (from "<" to its ">").
std::vector<HtmlAttr> ParseTagAttrs(std::string_view tag);

// True when text begins with prefix, ASCII letters compared without case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
