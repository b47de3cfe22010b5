// Link tests, redirect unwrapping, the hovered-link filter and the left-click decision table.
#include "mainwindow/LinkRouting.h"
#include <gtest/gtest.h>

TEST(LinkRouting, RemoveGoogleUrlRules)
{
    const struct {
        const char *in, *out;
    } rows[] = {
        {"http://www.google.co.jp/url?sa=t&url=http%3A%2F%2Fa.jp%2Fx%3Fq%3D1%25&ei=ZZ", "http://a.jp/x?q=1%"},
        {"http://google.com/aclk?x=1&adurl=http%3A%2F%2Fb.jp%2F%3Fa%3D1%26b%3D2", "http://b.jp/?a=1&b=2"},
        {"http://search.yahoo.co.jp/r/X=3/**http%3A//c.jp/%25E3%2F", "http://c.jp/%E3%2F"},
        {"http://plain.jp/a%3A", "http://plain.jp/a%3A"},
        {"", ""},
    };
    for (const auto &r : rows) EXPECT_EQ(RemoveGoogleUrl(r.in), r.out) << r.in;
}

TEST(LinkRouting, DocumentAndPageLinkTests)
{
    EXPECT_FALSE(CheckPDF("http://a/X.PDF"));
    EXPECT_TRUE(CheckPDF("http://a/x.nfs"));
    EXPECT_TRUE(IsRoutedDocumentLink("http://a/x.nfs"));
    EXPECT_TRUE(CheckFileBrowserLink("https://a/page"));
    EXPECT_FALSE(CheckFileBrowserLink("mailto:a@b"));
    EXPECT_FALSE(CheckFileBrowserLink("http://a/x.doc"));
}

TEST(LinkRouting, HoverFilter)
{
    EXPECT_EQ(NextHoverUrl("http://a/", "old"), "http://a/");
    EXPECT_EQ(NextHoverUrl("https://a/", "old"), "https://a/");
    EXPECT_EQ(NextHoverUrl("about:blank", "old"), "");
    EXPECT_EQ(NextHoverUrl("", "old"), "old");
    EXPECT_EQ(NextHoverUrl("a b", "old"), "old");
    EXPECT_EQ(NextHoverUrl("\x83\x79\x81\x5B\x83\x57\x82\xF0\x8A\x4A\x82\xA2\x82\xC4", "old"), "old");  // "ページを開いて"
}

TEST(LinkRouting, LeftClickDecisionTable)
{
    RouteInput base;
    base.hoverUrl = "http://a.jp/page";
    const struct {
        const char *what;
        RouteInput in;
        RouteAction action;
        const char *url;
    } rows[] = {
        {"first link: front browser", base, RouteAction::FrontBrowser, "http://a.jp/page"},
        {"later links: new tab", [&] { auto i = base; i.targetTabCount = 1; return i; }(), RouteAction::NewTab, "http://a.jp/page"},
        {"don't create tab", [&] { auto i = base; i.targetTabCount = 3; i.dontCreateTab = true; return i; }(),
         RouteAction::FrontBrowser, "http://a.jp/page"},
        {"ignore click", [&] { auto i = base; i.ignoreClick = true; return i; }(), RouteAction::None, ""},
        {"same screen once", [&] { auto i = base; i.sameScreenOnce = true; return i; }(), RouteAction::SamePane, "http://a.jp/page"},
        {"document", [&] { auto i = base; i.hoverUrl = "http://a.jp/X.PDF"; return i; }(), RouteAction::OpenExternal, "http://a.jp/X.PDF"},
        {"engine link", [&] { auto i = base; i.hoverUrl = "http://www.google.co.jp/search?q=x"; return i; }(),
         RouteAction::EngineLink, "http://www.google.co.jp/search?q=x"},
        {"redirect unwrapped", [&] { auto i = base; i.hoverUrl = "http://www.google.co.jp/url?sa=t&url=http%3A%2F%2Fb.jp%2F&ei=1"; return i; }(),
         RouteAction::FrontBrowser, "http://b.jp/"},
        {"plus kept", [&] { auto i = base; i.hoverUrl = "http://a.jp/?q=a+b"; return i; }(), RouteAction::FrontBrowser, "http://a.jp/?q=a+b"},
        {"clicked link wins", [&] { auto i = base; i.clickedHref = "https://c.jp/"; return i; }(), RouteAction::FrontBrowser, "https://c.jp/"},
        {"clicked off a link: the hover is stale", [&] { auto i = base; i.clickedElement = true; return i; }(), RouteAction::None, ""},
        {"clicked a mail link", [&] { auto i = base; i.clickedElement = true; i.clickedHref = "mailto:a@b"; return i; }(),
         RouteAction::None, ""},
        {"no link", RouteInput{}, RouteAction::None, ""},
    };
    for (const auto &r : rows) {
        const RouteDecision d = RouteLeftClick(r.in);
        EXPECT_EQ(d.action, r.action) << r.what;
        EXPECT_EQ(d.url, r.url) << r.what;
    }
}

// The favourites page reads any site: its links are taken as they stand.
TEST(LinkRouting, FavouritesPolicyDecisionTable)
{
    RouteInput base;
    base.policy = FavoritesRoutePolicy();
    base.hoverUrl = "http://a.jp/page";
    const std::string redirect = "http://www.google.co.jp/url?sa=t&url=http%3A%2F%2Fb.jp%2F&ei=1";
    const struct {
        const char *what;
        RouteInput in;
        RouteAction action;
        std::string url;
    } rows[] = {
        {"first link: front browser", base, RouteAction::FrontBrowser, "http://a.jp/page"},
        {"later links: new tab", [&] { auto i = base; i.targetTabCount = 2; return i; }(), RouteAction::NewTab, "http://a.jp/page"},
        {"don't create tab", [&] { auto i = base; i.targetTabCount = 2; i.dontCreateTab = true; return i; }(),
         RouteAction::FrontBrowser, "http://a.jp/page"},
        {"ignore click", [&] { auto i = base; i.ignoreClick = true; return i; }(), RouteAction::None, ""},
        {"pdf", [&] { auto i = base; i.hoverUrl = "http://a.jp/x.pdf"; return i; }(), RouteAction::OpenExternal, "http://a.jp/x.pdf"},
        {"nfs", [&] { auto i = base; i.hoverUrl = "http://a.jp/f.NFS"; return i; }(), RouteAction::OpenExternal, "http://a.jp/f.NFS"},
        {"redirect not unwrapped", [&] { auto i = base; i.hoverUrl = redirect; return i; }(), RouteAction::FrontBrowser, redirect},
        {"wrapped address kept", [&] { auto i = base; i.hoverUrl = "http://a.jp/go?to=http://b.jp/"; return i; }(),
         RouteAction::FrontBrowser, "http://a.jp/go?to=http://b.jp/"},
        {"engine page opens on the right", [&] { auto i = base; i.hoverUrl = "http://www.google.co.jp/search?q=x"; return i; }(),
         RouteAction::FrontBrowser, "http://www.google.co.jp/search?q=x"},
        {"related:+ cut", [&] { auto i = base; i.hoverUrl = "http://a.jp/p?related:+b.jp"; return i; }(),
         RouteAction::FrontBrowser, "http://a.jp/p?"},
        {"plus kept", [&] { auto i = base; i.hoverUrl = "http://a.jp/?q=a+b"; return i; }(), RouteAction::FrontBrowser, "http://a.jp/?q=a+b"},
        {"one-shot opens the uncut link", [&] { auto i = base; i.hoverUrl = "http://a.jp/p?related:+b.jp"; i.sameScreenOnce = true; return i; }(),
         RouteAction::SamePane, "http://a.jp/p?related:+b.jp"},
    };
    for (const auto &r : rows) {
        const RouteDecision d = RouteLeftClick(r.in);
        EXPECT_EQ(d.action, r.action) << r.what;
        EXPECT_EQ(d.url, r.url) << r.what;
    }
}
