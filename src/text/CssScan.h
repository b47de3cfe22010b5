// A small CSS tokenizer for the reference rewriting: it finds the url(...) and @import
// references of a style sheet while skipping comments and strings, so that a rewrite replaces
// exactly one reference token and never a look-alike inside a comment or a string.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CssRef {
    enum class Kind {
        Url,    // url(...), quoted or not; also the url() of an @import
        Import, // the quoted string of @import "x"
    };
    Kind kind = Kind::Url;
    bool inImport = false;      // the reference is the target of an @import rule
    std::size_t begin = 0;      // the whole token: "url(...)" or the quoted string
    std::size_t end = 0;        // exclusive
    std::size_t valueBegin = 0; // the reference itself, without quotes and blanks
    std::size_t valueEnd = 0;
    char quote = 0;             // '"', '\'' or 0
};

// Every reference of the text, in order. Never fails: an unclosed comment, string or url(
// ends at the end of the text and yields no reference.
std::vector<CssRef> ScanCssRefs(std::string_view css);

// The reference's text.
inline std::string CssRefValue(std::string_view css, const CssRef &r)
{
    return std::string(css.substr(r.valueBegin, r.valueEnd - r.valueBegin));
}

// Rewrites references: Map gets each reference and its text and returns the new reference,
// or nothing to leave the token as it was. The whole token is written again with its own
// quote kept as a pair (an unquoted url() stays unquoted unless the new text needs quotes).
std::string RewriteCssRefs(std::string_view css,
                           const std::function<std::optional<std::string>(const CssRef &, const std::string &)> &Map);
