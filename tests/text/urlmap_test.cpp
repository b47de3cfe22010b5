#include "text/PathGuard.h"
#include "text/UrlMap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathGuard, ConfinesPathsMadeFromUrls)
{
    const std::string root = "/home/u/dl";
    struct Case {
        const char* path;
        const char* want; // empty: refused
    } cases[] = {
        {"host/a/b.css", "/home/u/dl/host/a/b.css"},
        {"host//a/./b.css", "/home/u/dl/host/a/b.css"},
        {"host/a/../b.css", "/home/u/dl/host/b.css"},
        {"/home/u/dl/host/x.gif", "/home/u/dl/host/x.gif"},
        {"/home/u/dl/../dl/host/x.gif", "/home/u/dl/host/x.gif"},
        {"host/a..b/c", "/home/u/dl/host/a..b/c"},
        {"host/%2e%2e/x", "/home/u/dl/host/%2e%2e/x"}, // stays inside even when decoded
        {"host/" "\x83\x5C" ".html", "/home/u/dl/host/\x83\x5C.html"}, // a Shift_JIS name with a 0x5C trail byte
        // escapes
        {"../x", ""},
        {"host/../../x", ""},
        {"host/a/../../../etc/passwd", ""},
        {"%2e%2e/x", ""},
        {"%2E%2E%2Fx", ""},
        {"host/%252e%252e/%252e%252e/x", ""},
        {"..%2fx", ""},
        {"..\\x", ""},
        {"host\\..\\..\\x", ""},
        {"/etc/passwd", ""},
        {"/home/u/dlx/y", ""},
        {"/home/u/dl/../other/y", ""},
        {"/home/u/dl", ""},
        {"/home/u/dl/", ""},
        {".", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConfinePathToRoot(root, c.path), c.want) << c.path;

    EXPECT_EQ(ConfinePathToRoot("/home/u/dl/", "a"), "/home/u/dl/a");
    EXPECT_EQ(ConfinePathToRoot("/", "a/b"), "/a/b");
    EXPECT_EQ(ConfinePathToRoot("relative/root", "a"), "");
    EXPECT_EQ(ConfinePathToRoot(root, std::string("a\0b", 3)), "");
    EXPECT_TRUE(IsPathBelowRoot(root, "host/index.html"));
    EXPECT_FALSE(IsPathBelowRoot(root, "host/../../index.html"));
}

struct Row {
    const char* in;
    const char* want;
};

void expectRows(const char* name, std::string (*fn)(const std::string&), std::initializer_list<Row> rows)
{
    for (const auto& r : rows)
        EXPECT_EQ(fn(r.in), r.want) << name << "(" << r.in << ")";
}

TEST(UrlMap, HostEndSlashPos)
{
    struct Case {
        const char* url;
        int want;
    } cases[] = {
        {"http://abc", 0},          // ten characters, no "/" after the host
        {"0123456789", 0},          // not a URL, shorter than 11
        {"http://host/x", 12},
        {"http://ab/x/y", 10},      // a short host ends at its own "/"
        {"http://a/b", 9},
        {"https://a/b", 10},
        {"http:x.jp/a/b", 10},      // the form StripWwwPrefix leaves
        {"//cdn.example/x", 14},
        {"http://host?u=/x", 0},    // the authority ends at "?"
        {"http://host", 0},
        {"host/and/path/x", 14},    // no scheme: first "/" at position 11 or later
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostEndSlashPos(c.url), c.want) << c.url;
    EXPECT_EQ(LastSlashPosWeb("http://h/a/b"), 11);
    EXPECT_EQ(LastSlashPosWeb("abc"), 0);
}

TEST(UrlMap, PrefixesAreRemovedOnlyAtTheStart)
{
    expectRows("StripUrlPrefix", StripUrlPrefix,
               {{"http://www3.host/a", "host/a"},
                {"https://www2b.host/a", "host/a"},
                {"https://www9a.host/a", "host/a"},
                {"https://wwwz.host/a", "host/a"},
                {"http://www19.host/a", "host/a"},
                {"http://www2b.host/a", "www2b.host/a"}, // no lettered hosts for http
                {"http://www.host/a", "host/a"},
                {"https://host/a", "host/a"},
                {"http://host/r?u=http://www.x/", "host/r?u=http://www.x/"},
                {"host/a", "host/a"}});
    expectRows("StripWwwPrefix", StripWwwPrefix,
               {{"http://www.host/x", "http:host/x"},
                {"http://www12.host/x", "http:host/x"},
                {"https://host/x", "https:host/x"},
                {"http://host/www1.x/y", "http:host/www1.x/y"},
                {"http://host/r?u=http://www.x/", "http:host/r?u=http://www.x/"},
                {"//www.cdn/x", "cdn/x"},
                {"www.host/x", "host/x"}});
    expectRows("UrlToRelativeLocalPath", UrlToRelativeLocalPath,
               {{"http://www.host/a/b.html", "host/a/b.html"}, {"https://host/c?d", "host/c?d"}});
}

TEST(UrlMap, FoldersAndRoots)
{
    expectRows("ExtractUrlFolder", ExtractUrlFolder,
               {{"http://host/d/p.html", "http://host/d/"}, {"http://host/d/", "http://host/d/"}, {"nofolder", "nofolder"}});
    expectRows("ExtractHttpUrlFolder", ExtractHttpUrlFolder,
               {{"https://host/d/p.html", "https://host/d/"}, {"/local/d/p.html", ""}, {"http://host/d/", "http://host/d/"}});
    expectRows("ExtractUrlRoot", ExtractUrlRoot,
               {{"http://host/d/p.html", "http://host/"},
                {"http://ab/x/y", "http://ab/"},
                {"https://h/x", "https://h/"},
                {"http://host", "http://host"}});
    EXPECT_EQ(ExtractUrlRootB("http://host/d/p.html"), "http://host/");
    expectRows("UrlPathToLocalPath", UrlPathToLocalPath,
               {{"http://host/a/b/c.html", "a/b/c.html"}, {"http://host", "http://host"}});
    expectRows("UrlToLocalSubFolder", UrlToLocalSubFolder,
               {{"http://host/a/b/c.html", "a/b/"}, {"http://host/c.html", ""}, {"http://host", ""}});
    expectRows("UrlFolderToLocalPath", UrlFolderToLocalPath,
               {{"http://www.host/a/b/c.html", "a/b/"},
                {"http://x.jp/a/b.cgi?p=1", "a/"},
                {"http://host/a/b?x=y/z", "a/b_x=y/"}});
}

TEST(UrlMap, LocalFileNames)
{
    expectRows("UrlToLocalFileName", UrlToLocalFileName,
               {{"http://www.host/img/x.php?id=1", "x.php_id=1.gif3"},
                {"http://host/a+b*c.gif", "a_b;c.gif"},
                {"http://host/a+b.gif", "a+b.gif"},
                {"http://host/a|b.gif", "a~b.gif"},
                {"http://host/\x81\x79" "a b\x81\x7A.gif", "ab.gif"},
                // the "|" byte of a double-byte character stays
                {"http://host/\x83\x7C.gif", "\x83\x7C.gif"}});
    expectRows("UrlToImageFileName", UrlToImageFileName,
               {{"http://host/i.cgi?a=1&amp;b=2", "i.cgi_a=1&b=2.gif1.gif2"},
                {"http://host/i/x.gif", "x.gif"},
                {"http://host/i/", "http://host/i/"},
                {"/local/x.gif", ""},
                {"", ""}});
    expectRows("UrlToLocalRelPath", UrlToLocalRelPath,
               {{"http://host/a/b.css?v=2", "a/b.css_v=2"},
                {"http://host/a//b.css", "a/b.css"},
                {"http://host/a/../b.css", "a/../b.css"}}); // the path guard decides about ".."
    EXPECT_EQ(ParentRefUrlToLocalPath("http://h/a/../b"), "http://h/a/../b");
}

TEST(UrlMap, SanitizeLocalPath)
{
    expectRows("SanitizeLocalPath", SanitizeLocalPath,
               {{"/dl/host/a?b|c*d:e/", "/dl/host/a_b~c;d!e/index.html"},
                {"/dl//host/x.html", "/dl/host/x.html"},
                {"/dl/host/r_u=http://x/y", "/dl/host/r_u=http://x/y"},
                {"/dl/host/https://x/y", "/dl/host/https://x/y"},
                {"/dl/$/a$:b", "/dl/$/a$!b"},         // no placeholder can collide with the path
                {"/dl/\x83\x7C/x", "/dl/\x83\x7C/x"}, // a "|" trail byte is part of its character
                {"", ""}});
}

TEST(UrlMap, CombineLocalPath)
{
    struct Case {
        const char* base;
        const char* ref;
        const char* want;
    } cases[] = {
        {"/dl/host/page.html", "css/a.css", "/dl/host/css/a.css"},
        {"/dl/host/css/page.html", "css/a.css", "/dl/host/css/a.css"}, // the folder is already there
        {"/dl/host/page.html", "/css/a.css", "/dl/host/css/a.css"},
        {"/dl/host/svgimg/page.html", "img/x.png", "/dl/host/svgimg/img/x.png"},
        {"relative/page.html", "a.css", ""},
        {"", "a.css", "a.css"},
        {"/dl/page.html", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CombineLocalPath(c.base, c.ref), c.want) << c.base << " + " << c.ref;
}

TEST(UrlMap, ResolveParentDirsIsAStackClampedAtTheRoot)
{
    expectRows("ResolveParentDirs", ResolveParentDirs,
               {{"/a/b/c/../../x.css", "/a/x.css"},
                {"/a/../b/../c", "/c"},
                {"/a/../../../c", "/c"},        // more ".." than folders: the root stays
                {"/a/b/../c/../d/x", "/a/d/x"}, // ".." not all in one run
                {"/a/b../c/../d", "/a/b../d"},  // "b.." is a name
                {"/a..b/x", "/a..b/x"},         // no "../": unchanged
                {"/a/./b/../c/", "/a/c/"},
                {"a/../../b", "b"},
                {"http://h/a/../../x.gif", "http://h/x.gif"},
                {"/plain/path", "/plain/path"}});
}

TEST(UrlMap, MakeAbsoluteUrlFollowsRfc3986)
{
    const std::string page = "http://host/d/p.html";
    struct Case {
        const char* ref;
        const char* want;
    } cases[] = {
        {"x.gif", "http://host/d/x.gif"},
        {"./x.gif", "http://host/d/x.gif"},
        {"/x.gif", "http://host/x.gif"},
        {"../x.gif", "http://host/x.gif"},
        {"../../../x.gif", "http://host/x.gif"}, // "../" beyond the root
        {"'y.gif'", "http://host/d/y.gif"},
        {"\"'y.gif'\"", "http://host/d/y.gif"},
        {" z.gif ", "http://host/d/z.gif"},
        {"//cdn.example/x.js", "http://cdn.example/x.js"},
        {"?p=2", "http://host/d/p.html?p=2"},
        {"#frag", "http://host/d/p.html#frag"},
        {"/r?u=http://x/y", "http://host/r?u=http://x/y"},
        {"https://other/a/../b", "https://other/b"},
        {"HTTP://Other/a", "HTTP://Other/a"},
        {"mailto:a@b", "mailto:a@b"},
        {"a/b/../c.gif", "http://host/d/a/c.gif"},
        {"\"\"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeAbsoluteUrl(page, c.ref), c.want) << c.ref;

    EXPECT_EQ(MakeAbsoluteUrl("https://s.example/a/b?q=1#f", "//cdn/x"), "https://cdn/x");
    EXPECT_EQ(MakeAbsoluteUrl("https://s.example/a/b?q=1#f", "?p=2"), "https://s.example/a/b?p=2");
    EXPECT_EQ(MakeAbsoluteUrl("https://s.example/a/b?q=1#f", "#g"), "https://s.example/a/b?q=1#g");
    EXPECT_EQ(MakeAbsoluteUrl("http://host", "x.gif"), "http://host/x.gif");
    EXPECT_EQ(MakeAbsoluteUrl("", "x.gif"), "x.gif");
    EXPECT_EQ(MakeAbsoluteUrl(page, ""), "");
}

TEST(UrlMap, MakeAbsoluteUrlWithBaseAndRef)
{
    const std::string page = "http://host/d/p.html";
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "x.gif", ""), "http://host/d/x.gif");
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "x.gif", "http://cdn/base/"), "http://cdn/base/x.gif");
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "./x.gif", "http://cdn/base/"), "http://cdn/base/x.gif");
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "/x.gif", "http://cdn/base/"), "http://cdn/x.gif");
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "../x.gif", "http://cdn/base/"), "http://cdn/x.gif");
    EXPECT_EQ(MakeAbsoluteUrlWithBase(page, "x.gif", "/other/"), "http://host/other/x.gif");

    EXPECT_EQ(MakeAbsoluteRef("http://host/css/a.css", "/img/x.png"), "http://host/img/x.png");
    EXPECT_EQ(MakeAbsoluteRef("http://host/css/", "x.png"), "http://host/css/x.png");
    EXPECT_EQ(MakeAbsoluteRef("https://host/css/a.css", "../i/x.png"), "https://host/i/x.png");
    EXPECT_EQ(MakeAbsoluteRef("http://host/css/", "https://o/x.png"), "https://o/x.png");
    EXPECT_EQ(MakeAbsoluteRef("/dl/host/css/a.css", "/img/x.png"), "/dl/host/css/img/x.png");
    EXPECT_EQ(MakeAbsoluteRef("/dl/host/css/a.css", "../img/x.png"), "/dl/host/img/x.png");
    EXPECT_EQ(MakeAbsoluteRef("", "x.png"), "x.png");
}

TEST(UrlMap, UrlToTabCaption)
{
    // twelve Japanese characters: あいうえおかきくけこさし
    const std::string twelve = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1\x82\xB3\x82\xB5";
    expectRows("UrlToTabCaption", UrlToTabCaption,
               {{"http://www.example.co.jp/news/index.html", "index"},
                {"http://www.word.com/", "word"},
                {"http://host/search?q=a&b=c", "arch?qabc"}, // "&" and "=" go, then the last nine
                {"http://host/abcdefghijkl.htm", "defghijkl"},
                // ソフト: the "\" trail byte of ソ does not cut the caption
                {"http://host/x/\x83\x5C\x83\x74\x83\x67.php", "\x83\x5C\x83\x74\x83\x67"}});
    EXPECT_EQ(UrlToTabCaption("http://host/" + twelve), twelve.substr(6));
}

} // namespace
