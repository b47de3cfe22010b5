#include "text/PathGuard.h"

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

} // namespace
