// The batch viewer's logic without a window: the batch walk over a list, the list lines'
// short names, the tab captions and the copy of an index page without inline frames.
#include "mainwindow/BatchView.h"
#include "platform/QtSjis.h"
#include "text/FileUtils.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
std::string sj(const char *utf8) { return toSjis(QString::fromUtf8(utf8)); }

struct Recorder {
    std::vector<std::string> opened;
    std::vector<int> indexes;
    int stopAfter = -1;  // Stop pressed once this many links are open
    std::vector<std::string> files;
    BatchOpener opener()
    {
        return {[this](const std::string &l, int i) {
                    opened.push_back(l);
                    indexes.push_back(i);
                },
                [this] { return stopAfter >= 0 && static_cast<int>(opened.size()) >= stopAfter; },
                [this](const std::string &p) { return std::find(files.begin(), files.end(), p) != files.end(); }};
    }
};

std::vector<std::string> numbered(int n)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) lines.push_back(BatchLinkLine(i, "http://h/p" + std::to_string(i) + ".html"));
    return lines;
}
} // namespace

TEST(BatchHrefOutput, OpensFromStartUpToCount)
{
    const struct {
        const char *name;
        int links, start, count, result;
        std::vector<int> indexes;
    } rows[] = {
        {"count 5 over 3", 3, 1, 5, 3, {0, 1, 2}},
        {"first batch of 20 over 50", 50, 1, 20, 20, {}},
        {"second batch from 21", 50, 21, 20, 40, {}},
        {"start 0 counts as 1", 3, 0, 2, 2, {0, 1}},
        {"count 0 counts as 20", 25, 1, 0, 20, {}},
        {"start beyond the end", 3, 4, 5, 0, {}},
    };
    for (const auto &r : rows) {
        Recorder rec;
        EXPECT_EQ(BatchHrefOutput(numbered(r.links), r.start, r.count, rec.opener()), r.result) << r.name;
        if (!r.indexes.empty()) EXPECT_EQ(rec.indexes, r.indexes) << r.name;
    }
    Recorder second;
    BatchHrefOutput(numbered(50), 21, 20, second.opener());
    ASSERT_EQ(second.indexes.size(), 20u);
    EXPECT_EQ(second.indexes.front(), 20);
    EXPECT_EQ(second.indexes.back(), 39);
}

TEST(BatchHrefOutput, StopEndsTheBatchWithZero)
{
    Recorder rec;
    rec.stopAfter = 2;
    EXPECT_EQ(BatchHrefOutput(numbered(10), 1, 20, rec.opener()), 0);
    EXPECT_EQ(rec.opened.size(), 2u);
}

TEST(BatchHrefOutput, FiltersAndLocalPages)
{
    Recorder rec;
    rec.files = {"/data/idx/a.html"};
    const std::vector<std::string> lines = {
        "  1  a\thttps://secure/page.html",
        "  2  b\thttp://h/doc.PDF",
        "  3  c\tmailto:someone@h",
        "  4  d\tjavascript:void(0)",
        "  5  e\thttp://h/Same.html",
        "  6  f\tHTTP://H/same.html",
        "  7  g\tfile:///data/idx/a.html",
        "  8  h\t/data/idx/missing.html",
        "  9  i\t/data/idx/picture.png",
        "http://h/bare.html",
    };
    EXPECT_EQ(BatchHrefOutput(lines, 1, 20, rec.opener()), 10);
    EXPECT_EQ(rec.opened, (std::vector<std::string>{"https://secure/page.html", "http://h/Same.html", "/data/idx/a.html",
                                                   "http://h/bare.html"}));
    Recorder blank;
    EXPECT_EQ(BatchHrefOutput({"  1  a\thttp://h/1.html", "  2  b\t   "}, 1, 20, blank.opener()), 0);
    EXPECT_EQ(blank.opened.size(), 1u);
    Recorder none;
    EXPECT_EQ(BatchHrefOutput({"  1  a\tmailto:x"}, 1, 20, none.opener()), 1);
}

// An index of the sections of a few chapters opens each chapter once, at its first section.
TEST(BatchHrefOutput, SectionsOfOnePageOpenItOnce)
{
    Recorder rec;
    rec.files = {"/data/idx/ch01.html"};
    const std::vector<std::string> lines = {
        "  1  a\thttp://h/ch05.html#s1", "  2  b\thttp://h/ch05.html#s2", "  3  c\thttp://h/CH05.html",
        "  4  d\thttp://h/ch06.html#s1", "  5  e\tfile:///data/idx/ch01.html#a", "  6  f\tfile:///data/idx/ch01.html#b",
        "  7  g\t/data/idx/odd#name.html",
    };
    EXPECT_EQ(BatchHrefOutput(lines, 1, 20, rec.opener()), 5);
    EXPECT_EQ(rec.opened, (std::vector<std::string>{"http://h/ch05.html#s1", "http://h/ch06.html#s1", "/data/idx/ch01.html"}));
}

TEST(BatchView, ShortNamesLinesAndTabCaptions)
{
    const struct {
        const char *url, *shortName, *caption;
    } rows[] = {
        {"http://www.example.co.jp/dir/index.html", "index", "4[index]"},
        {"http://example.jp/a/verylongpagename.htm", "pagename", "4[pagename]"},
        {"http://example.jp/dir/", "", "4[dir]"},
        {"http://h/日本語のとても長い名前です.html", "ても長い名前です", "4[ても長い名前です]"},
        {"/home/u/site/a.b.html", "ab.", "4[a]"},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(BatchShortName(sj(r.url)), sj(r.shortName)) << r.url;
        EXPECT_EQ(BatchTabCaption(sj(r.url), 3), sj(r.caption)) << r.url;
    }
    EXPECT_EQ(BatchLinkLine(7, "http://h/x.html"), "  7  x\thttp://h/x.html");
    EXPECT_EQ(BatchLinkLine(123, "http://h/x.html"), "123  x\thttp://h/x.html");
}

TEST(BatchView, LocalReferences)
{
    EXPECT_TRUE(IsLocalPageRef("/home/u/a.html"));
    EXPECT_TRUE(IsLocalPageRef("file:///home/u/a.html"));
    EXPECT_FALSE(IsLocalPageRef("http://h/"));
    EXPECT_EQ(LocalPagePath("C:\\x.html"), "");
    EXPECT_EQ(LocalPagePath("file:///home/u/a%20b.html"), "/home/u/a b.html");
    EXPECT_EQ(LocalPagePath("http://h/"), "");
}

TEST(BatchView, InlineFrameCopyIsWrittenOnceWithABaseElement)
{
    const std::string mark = sj("■");
    EXPECT_EQ(CommentOutInlineFrames("<IFRAME src=a></IFRAME><iframe src=b></iframe><IFrame src=c></iFrame>", mark),
              "<!-- ==<IFRAME src=a></IFRAME>== -->" + mark + "<!-- ==<iframe src=b></iframe>== -->" + mark +
                  "<!-- ==<IFrame src=c></iFrame>== -->");
    EXPECT_TRUE(NeedsInlineFrameCopy("<IFrame src=x>"));
    EXPECT_FALSE(NeedsInlineFrameCopy("<p>no frames</p>"));

    QTemporaryDir site, data, program;
    const std::string original = toSjis(site.filePath(QStringLiteral("index.html")));
    const std::string text = "<html><head><title>t</title></head><body><a href=\"p.html\">p</a><iframe src=\"f.html\"></iframe></body></html>";
    const std::string copy = WriteInlineFrameCopy(original, text, mark, toSjis(data.path()));
    ASSERT_EQ(copy, toSjis(data.filePath(QStringLiteral("dummy.html"))));
    const std::string written = LoadTextFile(copy);
    EXPECT_NE(written.find("<head><base href=\"file://" + toSjis(site.path()) + "/\">"), std::string::npos) << written;
    EXPECT_NE(written.find("<!-- ==<iframe"), std::string::npos);
    // Opened again, the copy needs no second comment-out.
    EXPECT_FALSE(NeedsInlineFrameCopy(written));
    EXPECT_TRUE(QDir(program.path()).isEmpty());
}
