// The favourites folder scan, the fixed sites' URLs and the encyclopedia and video queries:
// pure functions on a temporary folder and on tables of cases.
#include "mainwindow/FavoritesScan.h"
#include "mainwindow/SiteUrls.h"
#include <QTemporaryDir>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void write(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string shortcut(const std::string &url, const char *eol = "\r\n")
{
    return std::string("[InternetShortcut]") + eol + "URL=" + url + eol;
}
std::vector<std::string> captions(const std::vector<FavoriteNode> &nodes)
{
    std::vector<std::string> out;
    for (const auto &n : nodes) out.push_back(n.caption);
    return out;
}
// A scan that hangs fails the test instead of the whole run.
std::vector<FavoriteNode> boundedScan(const std::string &folder)
{
    auto fut = std::async(std::launch::async, [folder] { return ScanFavorites(folder); });
    if (fut.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the scan did not end";
        std::_Exit(1);
    }
    return fut.get();
}
} // namespace

TEST(FavoritesScan, NestedFoldersInNameOrderAndHiddenDotFolders)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    ::mkdir((root + "/news").c_str(), 0755);
    ::mkdir((root + "/news/Papers").c_str(), 0755);
    ::mkdir((root + "/.hidden").c_str(), 0755);
    write(root + "/.hidden/x.url", shortcut("http://hidden.jp/"));
    write(root + "/Links.url", shortcut("http://links.jp/"));
    write(root + "/apple.url", shortcut("http://apple.jp/"));
    write(root + "/Zeta.url", shortcut("http://zeta.jp/"));
    write(root + "/news/Papers/asahi.url", shortcut("http://asahi.jp/"));
    write(root + "/news/b.url", shortcut("http://b.jp/"));

    const auto tree = boundedScan(root);
    EXPECT_EQ(captions(tree), (std::vector<std::string>{"apple", "Links", "news", "Zeta"}));
    const FavoriteNode &news = tree[2];
    ASSERT_TRUE(news.folder);
    EXPECT_EQ(captions(news.children), (std::vector<std::string>{"b", "Papers"}));
    ASSERT_TRUE(news.children[1].folder);
    ASSERT_EQ(news.children[1].children.size(), 1u);
    EXPECT_EQ(news.children[1].children[0].url, "http://asahi.jp/");
    EXPECT_EQ(tree[1].url, "http://links.jp/");
    EXPECT_TRUE(ScanFavorites(root + "/missing").empty());
}

TEST(FavoritesScan, CaptionsFromFileNames)
{
    const struct {
        const char *name, *caption;
    } rows[] = {
        {"Links.url", "Links"}, {"abc", "abc"},   {"Q&A.url", "Q&A"},      {"a.b.URL", "a.b"},
        {".url", ".url"},       {"ab", "ab"},     {"日本語.url", "日本語"}, {"x.日本語", "x"}, {"x.日本", "x.日本"},
        {"新聞ab", "新聞ab"},
    };
    for (const auto &r : rows) EXPECT_EQ(FavoriteCaption(r.name), r.caption) << r.name;
}

TEST(FavoritesScan, FilesThatAreNotShortcutsGiveNoItem)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    write(root + "/nourl.url", "[InternetShortcut]\r\nIconIndex=1\r\n");
    write(root + "/otherSection.url", "[Other]\r\nURL=http://x.jp/\r\n");
    write(root + "/empty.url", "");
    write(root + "/emptyurl.url", "[InternetShortcut]\r\nURL=\r\n");
    write(root + "/binary.url", std::string("\x00\xFF\x7F\x01[Intern\x00", 11));
    write(root + "/big.url", shortcut("http://big.jp/") + std::string(kMaxShortcutBytes, ' '));
    ::symlink((root + "/gone.url").c_str(), (root + "/dangling.url").c_str());
    ASSERT_EQ(::mkfifo((root + "/fifo.url").c_str(), 0644), 0);
    ::mkdir((root + "/sub").c_str(), 0755);
    write(root + "/sub/inner.url", shortcut("http://inner.jp/"));
    // A link back to a parent folder must not be walked round and round.
    ::symlink(root.c_str(), (root + "/sub/loop").c_str());
    ::symlink((root + "/sub/inner.url").c_str(), (root + "/linked.url").c_str());
    write(root + "/ok.url", shortcut("http://ok.jp/"));

    const auto tree = boundedScan(root);
    EXPECT_EQ(captions(tree), (std::vector<std::string>{"linked", "ok", "sub"}));
    EXPECT_EQ(tree[0].url, "http://inner.jp/");
    ASSERT_EQ(tree[2].children.size(), 1u);
    EXPECT_EQ(tree[2].children[0].caption, "inner");
}

TEST(FavoritesScan, ShortcutTextForms)
{
    const struct {
        const char *what;
        std::string bytes;
        std::string url;
    } rows[] = {
        {"CRLF", shortcut("http://a.jp/"), "http://a.jp/"},
        {"LF", shortcut("http://a.jp/", "\n"), "http://a.jp/"},
        {"byte-order mark", "\xEF\xBB\xBF" + shortcut("http://bom.jp/"), "http://bom.jp/"},
        {"section and key case", "[internetshortcut]\r\nurl=http://c.jp/\r\n", "http://c.jp/"},
        {"other keys around", "[DEFAULT]\r\nBASEURL=http://x/\r\n[InternetShortcut]\r\nIDList=\r\nURL=http://d.jp/\r\nIconIndex=0\r\n",
         "http://d.jp/"},
        // "日本" in UTF-8 and in Shift_JIS.
        {"UTF-8 URL", shortcut("http://j.jp/\xE6\x97\xA5\xE6\x9C\xAC"), "http://j.jp/\xE6\x97\xA5\xE6\x9C\xAC"},
        {"Shift_JIS URL", shortcut("http://j.jp/\x93\xFA\x96\x7B"), "http://j.jp/\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    for (const auto &r : rows) {
        const auto url = ReadInternetShortcutUrl(r.bytes);
        ASSERT_TRUE(url.has_value()) << r.what;
        EXPECT_EQ(*url, r.url) << r.what;
    }
}

TEST(SiteUrls, EveryMenuItemAndSubTabWithAndWithoutBase)
{
    for (const auto *rows : {&NewsSites(), &ConvenienceSites()}) {
        for (const SiteRow &r : *rows) {
            const std::string own = SiteUrl(r, "");
            const std::string local = SiteUrl(r, "http://127.0.0.1:8080");
            if (!*r.host) {
                EXPECT_EQ(own, "") << r.item;
                EXPECT_EQ(local, "") << r.item;
                continue;
            }
            EXPECT_EQ(own.rfind("https://", 0), 0u) << r.item;
            EXPECT_EQ(local, std::string("http://127.0.0.1:8080") + r.path) << r.item;
        }
    }
    EXPECT_EQ(NewsSites().size(), 21u);
    EXPECT_EQ(ConvenienceSites().size(), 10u);
    const struct {
        const char *item;
        const char *url;
    } fixed[] = {
        {"MenuNewspaperAsahi", "https://www.asahi.com/"},
        {"MenuNewspaperFTAsia", "https://www.ft.com/home/asia/"},
        {"MenuNewspaperFTUS", "https://www.ft.com/home/us/"},
        {"MenuNewspaperFTEurope", "https://www.ft.com/home/europe/"},
        {"MenuNewspaperNYTimes", "https://www.nytimes.com/"},
        {"MenuCovinienceWikipedia", "https://ja.wikipedia.org/"},
        {"MenuCovinienceMinutes", ""},
    };
    for (const auto &f : fixed) {
        bool found = false;
        for (const auto *rows : {&NewsSites(), &ConvenienceSites()})
            for (const SiteRow &r : *rows)
                if (std::string(r.item) == f.item) {
                    found = true;
                    EXPECT_EQ(SiteUrl(r, ""), f.url) << f.item;
                }
        EXPECT_TRUE(found) << f.item;
    }

    const struct {
        int index;
        const char *start, *home;
    } tabs[] = {
        {0, "", ""},
        {1, "https://dic.yahoo.co.jp/", "https://dic.yahoo.co.jp/"},
        {3, "https://www.google.co.jp/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q=",
         "https://www.google.co.jp/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q="},
        {4, "https://ja.wikipedia.org/wiki/%E3%83%A1%E3%82%A4%E3%83%B3%E3%83%9A%E3%83%BC%E3%82%B8",
         "https://ja.wikipedia.org/wiki/%E3%83%A1%E3%82%A4%E3%83%B3%E3%83%9A%E3%83%BC%E3%82%B8"},
        {5, "https://www.nicovideo.jp/video_top/", "https://www.nicovideo.jp/video_top/"},
        {6, "https://www.youtube.com/?gl=JP%26hl=ja", "https://www.youtube.com/?gl=JP%26hl=ja"},
        {8, "", ""},
        {9, "https://www.nhk.or.jp/", "https://www.nhk.or.jp/doga/"},
        {10, "", ""},
    };
    for (const auto &t : tabs) {
        EXPECT_EQ(ConviStartUrl(t.index, ""), t.start) << t.index;
        EXPECT_EQ(ConviHomeUrl(t.index, ""), t.home) << t.index;
    }
    EXPECT_EQ(ConviStartUrl(3, "http://127.0.0.1:9"), "http://127.0.0.1:9/maps?ie=UTF-8&oe=UTF-8&hl=ja&tab=wl&q=");
    EXPECT_EQ(ConviHomeUrl(9, "http://127.0.0.1:9"), "http://127.0.0.1:9/doga/");
}

TEST(SiteUrls, EncyclopediaAndVideoQueries)
{
    // Texts are Shift_JIS: "使い方" 8E 67 82 A2 95 FB, full-width blank 81 40, "＿" 81 51.
    const struct {
        const char *what;
        std::string text;
        int ime;
        std::string shown, url;
    } wiki[] = {
        {"two words", "Free software", 0, "Free_software", "https://en.wikipedia.org/wiki/Free_software"},
        {"two blanks", "Free  software", 0, "Free_software", "https://en.wikipedia.org/wiki/Free_software"},
        {"full-width blank", "Free\x81\x40software", 0, "Free_software", "https://en.wikipedia.org/wiki/Free_software"},
        {"C#", "C#", 0, "C#", "https://en.wikipedia.org/wiki/C%23"},
        {"a&b", "a&b", 0, "a&b", "https://en.wikipedia.org/wiki/a%26b"},
        {"Japanese loses blanks", "iPhone \x8E\x67\x82\xA2\x95\xFB", 1, "iPhone\x8E\x67\x82\xA2\x95\xFB",
         "https://ja.wikipedia.org/wiki/iPhone%E4%BD%BF%E3%81%84%E6%96%B9"},
        {"Japanese low line", "a\x81\x51" "b", 1, "ab", "https://ja.wikipedia.org/wiki/ab"},
        {"blanks only", "   ", 0, "", ""},
    };
    for (const auto &r : wiki) {
        const EncyclopediaQuery q = EncyclopediaQueryUrl(r.text, r.ime, "");
        EXPECT_EQ(q.text, r.shown) << r.what;
        EXPECT_EQ(q.url, r.url) << r.what;
    }
    EXPECT_EQ(EncyclopediaQueryUrl("Qt", 0, "http://127.0.0.1:9").url, "http://127.0.0.1:9/wiki/Qt");

    const struct {
        const char *what;
        std::string text;
        std::string url;
    } video[] = {
        {"words joined", "cat video", "https://www.youtube.com/results?search_query=catvideo&aq=o"},
        {"a&b", "a&b", "https://www.youtube.com/results?search_query=a%26b&aq=o"},
        {"Japanese", "\x8E\x67\x82\xA2\x81\x40\x95\xFB", "https://www.youtube.com/results?search_query=%E4%BD%BF%E3%81%84%E6%96%B9&aq=o"},
        {"blanks only", " \x81\x40 ", ""},
    };
    for (const auto &r : video) EXPECT_EQ(VideoQueryUrl(r.text, ""), r.url) << r.what;
}
