// HTML source brought into the house style before it is shown, coloured, saved or edited:
// tag names, common attribute names and a few attribute values in lower case, charset
// declarations made Shift_JIS, a line break before block-level tags; on request, double
// quotes around unquoted attribute values.
//
// Every pass works through the tag scanner of text/HtmlScan.h: it changes tags only, never
// the contents of scripts, style sheets, <pre>, <textarea> or comments, nor the text between
// tags, nor what stands inside a quoted attribute value. The fixed rows of each pass are
// data (see HtmlNormalize.cpp); their order is kept.
#pragma once

#include <string>

// id="_ repair, charset declarations to Shift_JIS, lower-case tag names, closing tags,
// attribute names and values, then BreakBeforeTags.
std::string NormalizeHtmlSource(const std::string& Html);
// A CRLF before a block-level tag that directly follows another tag's ">", and after every
// "<br>" and "<br />".
std::string BreakBeforeTags(const std::string& Html);
// Double quotes around every unquoted attribute value that begins with a digit, "#", a
// letter, "_" or a Shift_JIS lead byte, closed at the end of the value; then
// CloseAttributeQuotes. Values that hold a double quote are left as they are.
std::string OpenAttributeQuotes(const std::string& Html);
// Closes every quoted attribute value whose opening quote has no partner, at the end of the
// value (the first blank or ">"). Values that are already closed are not touched.
std::string CloseAttributeQuotes(const std::string& Html);
// Takes out of tags the double quotes that an earlier quoting put inside URL query
// parameters and search-result markup, without touching the quotes of ordinary attributes.
std::string RemoveStrayQuotes(const std::string& Html);
