// The right pane's tab numbering and the charset shown for its documents.
#include "mainwindow/TargetTabs.h"
#include <gtest/gtest.h>

TEST(TargetTabs, CaptionNumbersAndCharsetLabel)
{
    EXPECT_EQ(TargetTabNumber(0, false, 1, 2), 2);
    EXPECT_EQ(TargetTabNumber(0, true, 7, 2), 8);
    EXPECT_EQ(TargetTabNumber(12, true, 7, 2), 12);
    EXPECT_EQ(DeclaredCharsetLabel("<META content=\"text/html; charset=EUC-JP\">"), "euc-jp");
    EXPECT_EQ(DeclaredCharsetLabel("<meta charset=\"ISO-2022-JP\">"), "");
    EXPECT_EQ(DeclaredCharsetLabel("<meta content=\"text/html; charset=iso-2022-jp\">"), "charset=iso-2022-jp");
}

TEST(TargetTabs, NameOfATabOpenedFromTheLinkHistory)
{
    const struct {
        const char *url, *name;
    } rows[] = {
        {"http://www.example.jp/dir/page.html", "dir/page"},
        {"http://a.jp/x", "ajp/x"},
        {"https://www.b.co.jp/", "bco.jp/"},
    };
    for (const auto &r : rows) EXPECT_EQ(ForwardTabCaptionSource(r.url), r.name) << r.url;
}
