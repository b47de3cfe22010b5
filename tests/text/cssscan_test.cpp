// The CSS reference tokenizer: what counts as a reference, and whole-token rewrites.
#include "text/CssScan.h"
#include <gtest/gtest.h>

TEST(CssScan, FindsReferencesOutsideCommentsAndStrings)
{
    const struct {
        const char *css;
        std::vector<std::string> values;
    } table[] = {
        {"a{background:url(x.png)}", {"x.png"}},
        {"a{background:URL( \"x y.png\" )}", {"x y.png"}},
        {"a{b:url('q.png')}", {"q.png"}},
        {"@import \"b.css\";@import 'c.css' screen;@import url(d.css);", {"b.css", "c.css", "d.css"}},
        {"/* url(no.png) @import \"no.css\"; */ a{b:url(yes.png)}", {"yes.png"}},
        {"a{content:\"url(no.png)\"} b{c:url(yes.png)}", {"yes.png"}},
        {"a{b:myurl(no.png)}", {}},
        {"a{b:url(unclosed.png}", {}},
        {"a{b:url(\"x.png)}", {}},
        {"/* never closed url(x.png)", {}},
    };
    for (const auto &t : table) {
        std::vector<std::string> got;
        for (const CssRef &r : ScanCssRefs(t.css)) got.push_back(CssRefValue(t.css, r));
        EXPECT_EQ(got, t.values) << t.css;
    }
}

TEST(CssScan, RewriteReplacesWholeTokensWithQuotesAsAPair)
{
    const auto root = [](const CssRef &, const std::string &v) -> std::optional<std::string> {
        if (v.empty() || v[0] != '/') return std::nullopt;
        return "R" + v;
    };
    const struct {
        const char *in, *out;
    } table[] = {
        {"a{b:url(/x.png)}", "a{b:url(R/x.png)}"},
        {"a{b:url( '/x.png' )}", "a{b:url('R/x.png')}"},
        {"a{b:url(\"/x.png\")}", "a{b:url(\"R/x.png\")}"},
        {"@import \"/b.css\";", "@import \"R/b.css\";"},
        {"@import url('/b.css');", "@import url('R/b.css');"},
        {"a{b:url(rel.png)} /* url(/c.png) */", "a{b:url(rel.png)} /* url(/c.png) */"},
    };
    for (const auto &t : table) EXPECT_EQ(RewriteCssRefs(t.in, root), t.out) << t.in;
    // A new value that needs quotes gets a balanced pair.
    EXPECT_EQ(RewriteCssRefs("a{b:url(x)}", [](const CssRef &, const std::string &) { return std::optional<std::string>("a b"); }),
              "a{b:url(\"a b\")}");
}
