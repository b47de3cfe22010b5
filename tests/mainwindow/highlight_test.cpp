// Keyword marks and first/next/previous on real panes against fixture pages on 127.0.0.1.
#include "mainwindow/PaneDocument.h"
#include "platform/BrowserWaits.h"
#include "platform/TWebbrowser.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {
const char *kPage = R"(<html><head><meta charset="utf-8"><style>.apple{} /* banana */</style>
<script>var s = "apple banana";</script></head><body><p id="seven">apple banana cherry date elder fig grape</p>
<p>日本語の文 apple APPLE</p><p id="split">ap<b>pl</b>e</p><textarea id="ta">apple</textarea>
<p id="fold">abc ａｂｃ</p><p id="odd">a"b'c\d&lt;/script&gt;</p><p id="steps">one word two word three word</p>
<p>ああああ</p></body></html>)";

// Words that meet in the same text nodes, hits across elements, and text in form fields.
const char *kDense = R"(<html><head><meta charset="utf-8"></head><body>
<p id="dense">abcabc <i>ab</i>cab ca<b>bc</b>a abcab</p><p id="across">zy<b>xw</b>v</p>
<select><option>abc</option></select><p>東京と京都と東京</p></body></html>)";

// Replaces the built-ins a marking script would lean on.
const char *kHostile = R"(<html><head><meta charset="utf-8"><script>
String.prototype.indexOf = function () { return -1; };
String.prototype.toLowerCase = function () { return 'zzz'; };
Node.prototype.appendChild = function () { throw new Error('no'); };
Node.prototype.insertBefore = function () { throw new Error('no'); };
</script></head><body><p>apple pie</p></body></html>)";

// More pieces in one text node than the marking hands to the engine in one call.
constexpr int kLongHits = 10000;

struct Site {
    TestHttpServer http;
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    Site()
    {
        http.server().Get("/page", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(kPage, "text/html; charset=utf-8");
        });
        http.server().Get("/dense", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(kDense, "text/html; charset=utf-8");
        });
        http.server().Get("/hostile", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(kHostile, "text/html; charset=utf-8");
        });
        http.server().Get("/long", [](const httplib::Request &, httplib::Response &res) {
            std::string page = "<html><body><p>";
            for (int i = 0; i < kLongHits; ++i) page += "a ";
            res.set_content(page + "</p></body></html>", "text/html");
        });
        http.server().Get("/slow", [this](const httplib::Request &, httplib::Response &res) {
            std::unique_lock<std::mutex> l(m);
            cv.wait_for(l, std::chrono::seconds(20), [this] { return release; });
            res.set_content("<html><body>late</body></html>", "text/html");
        });
        http.start();
    }
    ~Site()
    {
        {
            std::lock_guard<std::mutex> l(m);
            release = true;
        }
        cv.notify_all();
    }
    QString url(const char *p) { return QString::fromStdString(http.url(p)); }
};

bool load(TWebbrowser &wb, const QString &url)
{
    wb.Navigate(url);
    return WaitWhileBrowserBusy(&wb, 15000) && wb.hasDocument();
}

QVariant js(TWebbrowser &wb, const QString &script) { return wb.evalSync(script, 5000); }
QString jsText(TWebbrowser &wb, const char *script) { return js(wb, QString::fromUtf8(script)).toString(); }

// The opening tags of the marks, in document order, with the text each wraps.
QVariantList marks(TWebbrowser &wb)
{
    return js(wb, QStringLiteral("Array.from(document.querySelectorAll('span[style]')).map(function (s) {"
                                 "return [s.outerHTML.slice(0, s.outerHTML.indexOf('>') + 1), s.textContent]; })"))
        .toList();
}

const char *kUnmark = "(function () { var ss = document.querySelectorAll('span[style]');"
                      "for (var i = ss.length - 1; i >= 0; --i) { var s = ss[i];"
                      "while (s.firstChild) s.parentNode.insertBefore(s.firstChild, s); s.remove(); }"
                      "document.body.normalize(); return document.body.innerHTML; })()";

const char *kSelection = "(function () { var s = getSelection(); if (!s.rangeCount) return [-1, ''];"
                         "var r = document.createRange(); r.setStart(document.body, 0);"
                         "r.setEnd(s.getRangeAt(0).startContainer, s.getRangeAt(0).startOffset);"
                         "return [r.toString().length, s.toString()]; })()";
} // namespace

TEST(HighlightWords, BoxTextsBecomeWords)
{
    const struct {
        const char *text;
        QStringList words;
    } rows[] = {
        {"a b", {"a", "b"}},
        {"a\u3000b", {"a", "b"}},
        {"a,b", {"a", "b"}},
        {"a          b", {"a", "b"}},
        {"\"foo bar\" baz", {"foo,bar", "baz"}},
        {"a b c d e f g", {"a", "b", "c", "d", "e", "f", "g"}},
        {"日本 語", {"日本", "語"}},
        {"\xF0\x9F\x8D\x8E apple", {"\xF0\x9F\x8D\x8E", "apple"}},
    };
    for (const auto &r : rows) EXPECT_EQ(HighlightWordList(QString::fromUtf8(r.text)), r.words) << r.text;
    for (const char *empty : {",,", "           "})
        for (const QString &w : HighlightWordList(QString::fromUtf8(empty))) EXPECT_TRUE(w.isEmpty()) << empty;
    EXPECT_EQ(FirstHighlightWord(QStringLiteral("  foo \u3000 bar ")), QStringLiteral("foo"));
    EXPECT_EQ(FirstHighlightWord(QStringLiteral("\"foo bar\" x")), QStringLiteral("foo bar"));
    EXPECT_EQ(CleanHighlightBox(QStringLiteral(" a\u3000\u3000b  c ")), QStringLiteral("a b c"));
}

TEST(Highlight, SevenWordsTakeTheirColoursAndTheTextStaysTheSame)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/page")));
    const QString bodyBefore = jsText(wb, "document.body.innerHTML");
    const QString textBefore = jsText(wb, "document.body.textContent");

    EXPECT_GT(SearchAndHighlightText(&wb, QStringLiteral("apple banana cherry date elder fig grape")), 0);
    const QVariantList m = marks(wb);
    ASSERT_FALSE(m.isEmpty());
    const char *words[] = {"apple", "banana", "cherry", "date", "elder", "fig", "grape"};
    for (int i = 0; i < 7; ++i) {
        bool seen = false;
        for (const QVariant &v : m) {
            const QVariantList pair = v.toList();
            if (pair[1].toString().compare(QLatin1String(words[i]), Qt::CaseInsensitive) == 0 ||
                (i == 0 && pair[1].toString() == QLatin1String("ap"))) {
                EXPECT_EQ(pair[0].toString(), HighlightOpeningTag(i)) << words[i];
                seen = true;
            }
        }
        EXPECT_TRUE(seen) << words[i];
    }
    EXPECT_EQ(HighlightOpeningTag(6), HighlightOpeningTag(5));
    EXPECT_EQ(HighlightOpeningTag(0), QStringLiteral("<span style=\"background-color: Lime; font-weight: bolder;\">"));
    // "apple" four times in the body text (twice in other letter case, once across a <b>).
    EXPECT_EQ(js(wb, QStringLiteral("document.querySelectorAll('#split span[style]').length")).toInt(), 3);
    EXPECT_EQ(jsText(wb, "document.getElementById('ta').value"), QStringLiteral("apple"));
    EXPECT_EQ(js(wb, QStringLiteral("document.querySelectorAll('script span, style span, textarea span').length")).toInt(), 0);
    EXPECT_EQ(jsText(wb, "document.querySelector('script').textContent"), QStringLiteral("var s = \"apple banana\";"));
    EXPECT_EQ(jsText(wb, "document.body.textContent"), textBefore);
    EXPECT_EQ(jsText(wb, kUnmark), bodyBefore);
}

TEST(Highlight, CaseFoldingOddWordsEmptyWordsAndNesting)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/page")));
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("ABC")), 1);
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("ＡＢＣ")), 1);
    EXPECT_EQ(jsText(wb, "Array.from(document.querySelectorAll('#fold span')).map(function (s) { return s.textContent; }).join('|')"),
              QStringLiteral("abc|ａｂｃ"));
    for (const char *empty : {",,", "           "}) EXPECT_EQ(SearchAndHighlightText(&wb, QString::fromUtf8(empty)), 0) << empty;
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("a\"b'c\\d</script>")), 1);
    EXPECT_EQ(jsText(wb, "document.querySelector('#odd span').textContent"), QStringLiteral("a\"b'c\\d</script>"));
    // One word's hits do not overlap; a word met again inside a mark nests.
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("ああ")), 2);
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("ABC")), 1);
    EXPECT_EQ(js(wb, QStringLiteral("document.querySelectorAll('#fold span > span').length")).toInt(), 1);
}

// Marking several words in one run gives the same document as marking them one run each,
// apart from the colours: each word is searched in the text as the earlier ones left it.
TEST(Highlight, OneRunOfManyWordsMarksAsOneRunPerWord)
{
    Site site;
    TWebbrowser together, apart;
    ASSERT_TRUE(load(together, site.url("/dense")));
    ASSERT_TRUE(load(apart, site.url("/dense")));
    const QStringList words = {QStringLiteral("ab"), QStringLiteral("bc"), QStringLiteral("ca"), QStringLiteral("abc"),
                               QStringLiteral("c"), QStringLiteral("東京"), QStringLiteral("京")};
    const int all = SearchAndHighlightText(&together, words.join(QLatin1Char(' ')));
    int each = 0;
    for (const QString &w : words) each += SearchAndHighlightText(&apart, w);
    EXPECT_GT(all, 0);
    EXPECT_EQ(all, each);
    const char *shape = "document.body.innerHTML.replace(/ style=\"[^\"]*\"/g, '')";
    EXPECT_EQ(jsText(together, shape), jsText(apart, shape));
    EXPECT_EQ(jsText(together, "document.querySelector('option').innerHTML"), QStringLiteral("abc"));
}

TEST(Highlight, AFirstHitAcrossElementsIsSelectedWhole)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/dense")));
    ASSERT_TRUE(SelectFirstOccurrence(&wb, QStringLiteral("YXWV")));
    EXPECT_EQ(jsText(wb, "getSelection().toString()"), QStringLiteral("yxwv"));
    EXPECT_EQ(jsText(wb, "Array.from(document.querySelectorAll('#across span')).map(function (s) { return s.textContent; }).join('|')"),
              QStringLiteral("y|xw|v"));
}

TEST(Highlight, APageThatReplacesBuiltInsIsMarkedAllTheSame)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/hostile")));
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("apple")), 1);
    EXPECT_EQ(GetWebBrowserHTMLSrc(&wb).find("<span style=\"background-color: Lime; font-weight: bolder;\">apple</span>") !=
                  std::string::npos,
              true);
}

TEST(Highlight, ALongTextNodeWithManyHitsIsMarkedWhole)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/long")));
    const QString textBefore = jsText(wb, "document.body.textContent");
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("A")), kLongHits);
    EXPECT_EQ(js(wb, QStringLiteral("document.querySelectorAll('p > span[style]').length")).toInt(), kLongHits);
    EXPECT_EQ(jsText(wb, "document.body.textContent"), textBefore);
}

TEST(Highlight, FirstNextAndPreviousMoveTheSelection)
{
    Site site;
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/page")));
    const int steps = jsText(wb, "document.body.textContent").indexOf(QStringLiteral("one word"));
    ASSERT_GT(steps, 0);
    auto selection = [&] { return js(wb, QString::fromLatin1(kSelection)).toList(); };

    EXPECT_FALSE(SelectFirstOccurrence(&wb, QStringLiteral("zzz")));
    EXPECT_EQ(selection()[0].toInt(), -1);
    EXPECT_TRUE(marks(wb).isEmpty());

    ASSERT_TRUE(SelectFirstOccurrence(&wb, QStringLiteral("WORD")));
    QVariantList m = marks(wb);
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].toList()[0].toString(), HighlightOpeningTag(5));
    EXPECT_EQ(selection()[1].toString(), QStringLiteral("word"));
    const int first = selection()[0].toInt();
    EXPECT_EQ(first, steps + 4);

    ASSERT_TRUE(SearchText(&wb, QStringLiteral("word"), true));
    EXPECT_EQ(selection()[0].toInt(), steps + 13);
    ASSERT_TRUE(SearchText(&wb, QStringLiteral("word"), true));
    EXPECT_EQ(selection()[0].toInt(), steps + 24);
    EXPECT_FALSE(SearchText(&wb, QStringLiteral("word"), true));
    EXPECT_EQ(selection()[0].toInt(), steps + 24);
    EXPECT_EQ(selection()[1].toString(), QStringLiteral("word"));
    ASSERT_TRUE(SearchText(&wb, QStringLiteral("word"), false));
    EXPECT_EQ(selection()[0].toInt(), steps + 13);
    ASSERT_TRUE(SearchText(&wb, QStringLiteral("word"), false));
    ASSERT_FALSE(SearchText(&wb, QStringLiteral("word"), false));
    EXPECT_EQ(selection()[0].toInt(), first);
}

TEST(Highlight, ABusyOrEmptyPaneIsLeftAlone)
{
    Site site;
    TWebbrowser blank;
    EXPECT_EQ(SearchAndHighlightText(&blank, QStringLiteral("apple")), -1);
    EXPECT_FALSE(SelectFirstOccurrence(&blank, QStringLiteral("apple")));
    EXPECT_EQ(GetWebBrowserHTMLSrc(&blank), "");
    TWebbrowser wb;
    ASSERT_TRUE(load(wb, site.url("/page")));
    wb.Navigate(site.url("/slow"));
    ASSERT_TRUE(wb.Busy());
    EXPECT_EQ(SearchAndHighlightText(&wb, QStringLiteral("apple")), -1);
    EXPECT_EQ(FirstSearchAndHighlightText(&wb, QStringLiteral("apple"), 1), -1);
    wb.Stop();
}
