#include "text/HtmlNormalize.h"

#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/SjisBytes.h"

#include <string_view>
#include <vector>

namespace {

constexpr auto npos = std::string::npos;
const char* const CRLF = "\r\n";

// --- tables --------------------------------------------------------------------------------
// The order of the rows matters where a shorter name is a prefix of a longer one: the
// longer row comes first, and each row changes only the characters of its own pattern.

// Opening tags: "<" + name, matched in any case, becomes lower case. The last row carries
// its ">" ("<WBR>" only, not "<WBR ...>").
const char* const kOpenTagRows[] = {
    "<ABBR", "<ACRONYM", "<ADDRESS", "<APPLET", "<AREA", "<A", "<BASEFONT", "<BASE", "<BOD", "<BIG",
    "<BLOCKQUOTE", "<BODY", "<BR", "<BUTTON", "<B", "<CAPTION", "<CENTER", "<CITE", "<CODE", "<COLGROUP",
    "<COL", "<DD", "<DEL", "<DFN", "<DIR", "<DIV", "<DL", "<DT", "<EM", "<FIELDSET",
    "<FONT", "<FORM", "<FRAMESET", "<FRAME", "<H1", "<H2", "<H3", "<H4", "<H5", "<H6",
    "<HEAD", "<HR", "<HTML", "<IFRAME", "<IMG", "<INPUT", "<INS", "<ISINDEX", "<I", "<KBD",
    "<LABEL", "<LAYER", "<LEGEND", "<LINK", "<LI", "<MAP", "<MENU", "<META", "<NOBR", "<NOFRAMES",
    "<NOSCRIPT", "<OBJECT", "<OL", "<OPTGROUP", "<OPTION", "<PARAM", "<PRE", "<P", "<Q", "<SAMP",
    "<SCRIPT", "<SELECT", "<SMALL", "<SPAN", "<STRIKE", "<STRONG", "<STYLE", "<SUB", "<SUP", "<TABLE",
    "<TBODY", "<TD", "<TEXTAREA", "<TFOOT", "<TH", "<THEAD", "<TITLE", "<TR", "<TT", "<UL",
    "<U", "<VAR", "<WBR>",
};

// Closing tags: the same names; no row for WBR, and NOBR only as "</NOBR>".
const char* const kCloseTagRows[] = {
    "</ABBR", "</ACRONYM", "</ADDRESS", "</APPLET", "</AREA", "</A", "</BASEFONT", "</BASE", "</BOD", "</BIG",
    "</BLOCKQUOTE", "</BODY", "</BR", "</BUTTON", "</B", "</CAPTION", "</CENTER", "</CITE", "</CODE", "</COLGROUP",
    "</COL", "</DD", "</DEL", "</DFN", "</DIR", "</DIV", "</DL", "</DT", "</EM", "</FIELDSET",
    "</FONT", "</FORM", "</FRAMESET", "</FRAME", "</H1", "</H2", "</H3", "</H4", "</H5", "</H6",
    "</HEAD", "</HR", "</HTML", "</IFRAME", "</IMG", "</INPUT", "</INS", "</ISINDEX", "</I", "</KBD",
    "</LABEL", "</LAYER", "</LEGEND", "</LINK", "</LI", "</MAP", "</MENU", "</META", "</NOBR>", "</NOFRAMES",
    "</NOSCRIPT", "</OBJECT", "</OL", "</OPTGROUP", "</OPTION", "</PARAM", "</PRE", "</P", "</Q", "</SAMP",
    "</SCRIPT", "</SELECT", "</SMALL", "</SPAN", "</STRIKE", "</STRONG", "</STYLE", "</SUB", "</SUP", "</TABLE",
    "</TBODY", "</TD", "</TEXTAREA", "</TFOOT", "</TH", "</THEAD", "</TITLE", "</TR", "</TT", "</UL",
    "</U", "</VAR",
};

// Attribute names; a leading blank is part of the pattern.
const char* const kAttrNameRows[] = {
    "WIDTH=", " HREF=", " SRC=", " HEIGHT=", "BGCOLOR=", " COLOR=", "CELLSPACING=",
    "CELLPADDING=", " NAME=", " ID=", " CLASS=", " VALIGN=", " ALIGN=", " VALUE=",
};

// Double-quoted attribute values.
const char* const kAttrValueRows[] = {"TOP", "MIDDLE", "BOTTOM", "CENTER", "LEFT", "RIGHT", "BORDER"};

// Line breaks, in three groups: before these tags when they directly follow a ">"; after
// "<br>" and "<br />"; then before the second group's tags. A tag of the first group that
// follows a <br> gets both breaks. "<map" and "</map" keep their place.
const char* const kBreakBeforeRowsFirst[] = {"<applet", "<base", "<blockquote", "<body", "</body"};
const char* const kBreakAfterRows[] = {"<br>", "<br />"};
const char* const kBreakBeforeRowsSecond[] = {
    "<dd", "<fieldset", "<form", "</form", "<frameset", "</frameset", "<frame", "</frame", "<head", "</head",
    "<hr", "<html", "</html", "<label", "<link", "</link", "<li", "<meta", "<noframes", "</noframes",
    "<noscript", "<object", "<ol", "<optgroup", "<option", "<param", "<pre", "<p", "<table", "</table",
    "<tbody", "</tbody", "<td", "<textarea", "<tfoot", "<th", "<title", "<tr", "<ul",
};
// (The old repair `--">` to "-->" is not needed: no pass here ever touches a comment.)

// Stray-quote rows. A parameter row names a URL parameter key K and stands for K + `="`
// becoming K + "="; it applies only where the quote sits inside a value (something other
// than a blank or ">" follows it), and a key without its own "?" or ";" only right after
// "?", "&", ";" or "/". The spelled-out rows repair search-result markup; the two marked
// Off would take the closing quote off an ordinary value (title="no return" ...).
enum class Guard {
    Param,         // URL parameter key (see above)
    None,          // spelled-out row, always applied
    NotEmptyValue, // not where the quotes are an empty value: alt="" width=...
    Off,           // kept in its place, never applied
};

struct StrayRow {
    const char* from;
    const char* to;
    Guard guard;
};

#define KEY(k) {k, nullptr, Guard::Param}
const StrayRow kStrayQuoteRows[] = {
    KEY("?num"), KEY(";oe"), KEY(";um"), KEY(";tab"), KEY("sa"), KEY("search?q"), KEY(";as_qdr"),
    {";cd=\"2", ";cd=2", Guard::None},
    KEY(";ei"), KEY(";ct"), KEY(";num"),
    {"=\"q\" qs\"", "=\"q qs\"", Guard::None},
    KEY(";as_ft"), KEY(";as_occt"), KEY(";as_dt"), KEY(";oi"), KEY(";resnum"), KEY(";ved"), KEY(";cd"),
    KEY(";tbo"), KEY(";tbs"), KEY(";source"), KEY(";as_sitesearch"), KEY(";prmd"), KEY(";gl"), KEY("?hl"),
    KEY(";ie"), KEY(";zoom"), KEY(";h"), KEY("?q"), KEY(";revid"), KEY("ename"), KEY(";continue"),
    {"gl\" nobr\"", "gl nobr\"", Guard::None},
    KEY(";hl"), KEY("start"),
    {"return\" false", "return false", Guard::None},
    KEY(";usg"), KEY(";q"), KEY(";t"), KEY(";w"), KEY(";ai"), KEY(";sig"), KEY(";sigh"), KEY("swrnum"),
    {"\"csb\" ch", "\"csb ch", Guard::None},
    KEY(";tbnw"), KEY("?imgurl"), KEY(";imgrefurl"),
    {";adurl=\"\"", ";adurl=", Guard::None},
    KEY(";ncl"), KEY("?sort"), KEY(";sz"), KEY(";tbnh"), KEY(";tbnid"),
    {"</cite\">", "</cite>", Guard::None},
    {"<b\">", "<b>", Guard::None},
    KEY("?ie"), KEY("?order"),
    {"jsb\" q", "jsb q", Guard::None},
    {"return\" ", "return ", Guard::Off},
    KEY("?category"),
    {"title=\"Google\" ", "title=\"Google ", Guard::Off},
    {"\"\" width=", "\" width=", Guard::NotEmptyValue},
    KEY(";fb"), KEY("data"), KEY(";cid"), KEY(";sl"), KEY("?v"),
    {"\"\"\">", "\">", Guard::NotEmptyValue},
    {"\"\">", "\">", Guard::NotEmptyValue},
};
#undef KEY

// --- helpers ---------------------------------------------------------------------------------

std::string_view tokenText(std::string_view s, const HtmlToken& t)
{
    return s.substr(t.begin, t.end - t.begin);
}

void lowerRange(std::string& s, std::size_t from, std::size_t len)
{
    for (std::size_t i = from; i < from + len && i < s.size(); ++i)
        s[i] = asciiLower(s[i]);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Marks the bytes of a start tag that belong to attribute values (quotes included).
std::vector<bool> valueMask(std::string_view tag, const std::vector<HtmlAttr>& attrs)
{
    std::vector<bool> mask(tag.size(), false);
    for (const auto& a : attrs) {
        if (!a.hasValue)
            continue;
        const std::size_t b = a.quote ? a.valueBegin - 1 : a.valueBegin;
        const std::size_t e = a.quote && a.closed ? a.valueEnd + 1 : a.valueEnd;
        for (std::size_t i = b; i < e && i < mask.size(); ++i)
            mask[i] = true;
    }
    return mask;
}

bool startsWithAnyNoCase(std::string_view text, const char* const* rows, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (StartsWithNoCase(text, rows[i]))
            return true;
    return false;
}

template <std::size_t N>
bool startsWithAny(std::string_view text, const char* const (&rows)[N])
{
    return startsWithAnyNoCase(text, rows, N);
}

std::string normalizeStartTag(std::string tag)
{
    for (const char* row : kOpenTagRows)
        if (StartsWithNoCase(tag, row))
            lowerRange(tag, 0, std::string_view(row).size());

    std::vector<HtmlAttr> attrs = ParseTagAttrs(tag);
    const std::vector<bool> inValue = valueMask(tag, attrs);
    for (const char* row : kAttrNameRows) {
        const std::string_view r(row);
        for (std::size_t i = 0; (i = sjisFindNoCase(tag, r, i)) != npos; i += r.size()) {
            bool outside = true;
            for (std::size_t k = i; k < i + r.size(); ++k)
                outside = outside && !inValue[k];
            if (outside)
                lowerRange(tag, i, r.size());
        }
    }
    for (const auto& a : attrs) {
        if (a.quote != '"' || !a.closed)
            continue;
        const std::string_view value = std::string_view(tag).substr(a.valueBegin, a.valueEnd - a.valueBegin);
        for (const char* row : kAttrValueRows)
            if (value.size() == std::string_view(row).size() && StartsWithNoCase(value, row))
                lowerRange(tag, a.valueBegin, value.size());
    }

    // id="_ loses its "_" (any attribute whose name ends in "id", written without blanks).
    std::vector<std::size_t> underscores;
    for (const auto& a : attrs) {
        if (a.quote != '"' || a.nameEnd - a.nameBegin < 2 || a.valueBegin != a.nameEnd + 2 || a.valueEnd == a.valueBegin ||
            tag[a.valueBegin] != '_' || !StartsWithNoCase(std::string_view(tag).substr(a.nameEnd - 2), "id"))
            continue;
        lowerRange(tag, a.nameEnd - 2, 2);
        underscores.push_back(a.valueBegin);
    }
    for (auto it = underscores.rbegin(); it != underscores.rend(); ++it)
        tag.erase(*it, 1);
    return tag;
}

std::string normalizeEndTag(std::string tag)
{
    for (const char* row : kCloseTagRows)
        if (StartsWithNoCase(tag, row))
            lowerRange(tag, 0, std::string_view(row).size());
    return tag;
}

bool isBrTag(std::string_view text)
{
    for (const char* row : kBreakAfterRows)
        if (text.size() == std::string_view(row).size() && StartsWithNoCase(text, row))
            return true;
    return false;
}

bool opensQuotedValue(unsigned char c)
{
    return (c >= '0' && c <= '9') || c == '#' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
           (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC);
}

// Whether a stray-quote row may apply at match m of the tag text.
bool strayRowApplies(const StrayRow& row, std::string_view tag, std::size_t m, std::size_t len)
{
    switch (row.guard) {
    case Guard::None:
        return true;
    case Guard::Off:
        return false;
    case Guard::NotEmptyValue:
        return m == 0 || tag[m - 1] != '=';
    case Guard::Param: {
        const std::size_t after = m + len; // the byte after the quote
        if (after >= tag.size() || isBlank(tag[after]) || tag[after] == '>')
            return false; // the quote closes the value
        const char first = row.from[0];
        if (first == '?' || first == ';')
            return true;
        return m > 0 && (tag[m - 1] == '?' || tag[m - 1] == '&' || tag[m - 1] == ';' || tag[m - 1] == '/');
    }
    }
    return false;
}

std::string removeStrayQuotesInTag(std::string tag)
{
    // runs of three double quotes become one
    for (std::size_t i = 0; (i = tag.find("\"\"\"", i)) != npos;)
        tag.erase(i, 2);
    for (const StrayRow& row : kStrayQuoteRows) {
        const std::string from = row.to ? std::string(row.from) : std::string(row.from) + "=\"";
        const std::string to = row.to ? std::string(row.to) : std::string(row.from) + "=";
        for (std::size_t i = 0; (i = sjisFindNoCase(tag, from, i)) != npos;) {
            if (strayRowApplies(row, tag, i, from.size())) {
                tag.replace(i, from.size(), to);
                i += to.size();
            } else {
                ++i;
            }
        }
    }
    return tag;
}

} // namespace

std::string NormalizeHtmlSource(const std::string& Html)
{
    const std::string html = RewriteCharsetDeclsToSjis(Html);
    std::string out;
    out.reserve(html.size() + html.size() / 16);
    for (const HtmlToken& t : ScanHtml(html)) {
        const std::string_view text = tokenText(html, t);
        if (t.kind == HtmlToken::Kind::StartTag)
            out += normalizeStartTag(std::string(text));
        else if (t.kind == HtmlToken::Kind::EndTag)
            out += normalizeEndTag(std::string(text));
        else
            out += text;
    }
    return BreakBeforeTags(out);
}

std::string BreakBeforeTags(const std::string& Html)
{
    const std::vector<HtmlToken> tokens = ScanHtml(Html);
    std::string out;
    out.reserve(Html.size() + Html.size() / 16);
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const HtmlToken& t = tokens[k];
        const std::string_view text = tokenText(Html, t);
        if (k > 0 && t.isTag()) {
            const HtmlToken& p = tokens[k - 1];
            const std::string_view prev = tokenText(Html, p);
            if (p.kind != HtmlToken::Kind::Raw && prev.ends_with('>')) {
                const bool first = startsWithAny(text, kBreakBeforeRowsFirst);
                const bool afterBr = p.kind == HtmlToken::Kind::StartTag && isBrTag(prev);
                if (first || (!afterBr && startsWithAny(text, kBreakBeforeRowsSecond)))
                    out += CRLF;
            }
        }
        out += text;
        if (t.kind == HtmlToken::Kind::StartTag && isBrTag(text))
            out += CRLF;
    }
    return out;
}

std::string OpenAttributeQuotes(const std::string& Html)
{
    std::string out;
    out.reserve(Html.size() + Html.size() / 16);
    for (const HtmlToken& t : ScanHtml(Html)) {
        const std::string_view text = tokenText(Html, t);
        if (t.kind != HtmlToken::Kind::StartTag) {
            out += text;
            continue;
        }
        std::size_t at = 0;
        for (const HtmlAttr& a : ParseTagAttrs(text)) {
            if (!a.hasValue || a.quote || a.valueEnd == a.valueBegin ||
                !opensQuotedValue(static_cast<unsigned char>(text[a.valueBegin])) ||
                text.substr(a.valueBegin, a.valueEnd - a.valueBegin).find('"') != npos)
                continue;
            out.append(text.substr(at, a.valueBegin - at));
            out += '"';
            out.append(text.substr(a.valueBegin, a.valueEnd - a.valueBegin));
            out += '"';
            at = a.valueEnd;
        }
        out.append(text.substr(at));
    }
    return CloseAttributeQuotes(out);
}

std::string CloseAttributeQuotes(const std::string& Html)
{
    if (Html.find("=\"") == npos && Html.find("='") == npos)
        return Html;
    std::string out;
    out.reserve(Html.size() + 16);
    for (const HtmlToken& t : ScanHtml(Html)) {
        const std::string_view text = tokenText(Html, t);
        if (t.kind != HtmlToken::Kind::StartTag) {
            out += text;
            continue;
        }
        std::size_t at = 0;
        for (const HtmlAttr& a : ParseTagAttrs(text)) {
            if (!a.hasValue || !a.quote || a.closed)
                continue;
            out.append(text.substr(at, a.valueEnd - at));
            out += a.quote;
            at = a.valueEnd;
        }
        out.append(text.substr(at));
    }
    return out;
}

std::string RemoveStrayQuotes(const std::string& Html)
{
    std::string out;
    out.reserve(Html.size());
    for (const HtmlToken& t : ScanHtml(Html)) {
        const std::string_view text = tokenText(Html, t);
        if (t.isTag())
            out += removeStrayQuotesInTag(std::string(text));
        else
            out += text;
    }
    return out;
}
