// The WebGUI page's batch keyword search against the plain Qt way on the same pane and words.
// Batch: seven words of a keyword box coloured in a rich-edit pane, each hit listed as
// "line/column" (the search every source pane of the page runs). Qt: the pane's document
// searched with QTextDocument::find in a loop, each hit given its colour and bold with
// QTextCursor::mergeCharFormat and listed the same way.
// Printed at the end: both times per size, their ratio (target: the batch search at most as
// slow as the Qt way) and how the batch search grows from 1 MB to 2 MB (target: within 2.3x).
#include "platform/RichEditTools.h"
#include "platform/TRichEdit.h"
#include "text/JCode.h"
#include "text/StringList.h"
#include "webgui/BatchSearch.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// The seven words: every one has thousands of hits in a page of a megabyte.
const char *const kWords = "div class href span td title item";

// A page of about `bytes` Shift_JIS bytes: nested markup with Japanese text, as a portal page.
std::string makePage(std::size_t bytes)
{
    const std::string head = Utf8ToAnsi("<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n<meta charset=\"Shift_JIS\">\r\n"
                                        "<title>ニュース一覧</title>\r\n</head>\r\n<body>\r\n");
    const std::string item = Utf8ToAnsi(
        "<div class=\"item\" id=\"n@\">\r\n"
        "  <h2><a href=\"https://example.jp/news/@.html\" title=\"記事@\">表示速度の改善について（第@回）</a></h2>\r\n"
        "  <p><span class=\"date\">2024/05/@</span> 本日、東京都内で開かれた会議では検証が議論された。</p>\r\n"
        "  <table><tr><td class=\"k\">日付</td><td>@</td></tr></table>\r\n"
        "</div>\r\n");
    std::string page = head;
    for (int i = 0; page.size() < bytes; ++i) {
        std::string it = item;
        for (std::size_t p; (p = it.find('@')) != std::string::npos;) it.replace(p, 1, std::to_string(i));
        page += it;
    }
    return page + "</body>\r\n</html>\r\n";
}

const std::string &page(int megabytes)
{
    static std::map<int, std::string> pages;
    auto it = pages.find(megabytes);
    if (it == pages.end()) it = pages.emplace(megabytes, makePage(std::size_t(megabytes) << 20)).first;
    return it->second;
}

struct Pane {
    TRichEdit edit;
    QLineEdit keys;
    QListWidget hits;
    Pane()
    {
        edit.resize(900, 700);
        edit.show();
        keys.setText(QString::fromLatin1(kWords));
    }
};

Pane &pane()
{
    static Pane *p = new Pane;
    return *p;
}

// The page freshly in the pane, uncoloured, outside the timing.
void loadPage(benchmark::State &state, Pane &p, const std::string &html)
{
    state.PauseTiming();
    p.edit.setText(html);
    p.hits.clear();
    QCoreApplication::processEvents();
    state.ResumeTiming();
}

void BM_BatchSearch(benchmark::State &state)
{
    const std::string &html = page(int(state.range(0)));
    Pane &p = pane();
    StringList words;
    TBatchSearch search(words);
    BatchSearchRow row;
    row.KeyBox = &p.keys;
    row.Target = [&p] { return &p.edit; };
    row.Prepare = [&p] { PlainRichEditQuiet(&p.edit); };
    row.List = &p.hits;
    for (auto _ : state) {
        loadPage(state, p, html);
        search.run(row);
    }
    state.counters["hits"] = p.hits.count();
}

void BM_QtFindMerge(benchmark::State &state)
{
    const std::string &html = page(int(state.range(0)));
    Pane &p = pane();
    const QStringList words = QString::fromLatin1(kWords).split(QLatin1Char(' '));
    const QColor colours[] = {Qt::red, Qt::magenta, QColor(0, 128, 128), Qt::cyan, Qt::blue, QColor(128, 0, 128), Qt::green};
    for (auto _ : state) {
        loadPage(state, p, html);
        QTextDocument *doc = p.edit.document();
        QTextCharFormat plain;
        plain.setForeground(Qt::black);
        plain.setFontWeight(QFont::Normal);
        QTextCursor all(doc);
        all.select(QTextCursor::Document);
        all.mergeCharFormat(plain);
        p.hits.clear();
        for (int w = 0; w < words.size(); ++w) {
            QTextCharFormat f;
            f.setForeground(colours[w]);
            f.setFontWeight(QFont::Bold);
            for (QTextCursor c = doc->find(words[w], 0, QTextDocument::FindCaseSensitively); !c.isNull();
                 c = doc->find(words[w], c, QTextDocument::FindCaseSensitively)) {
                c.mergeCharFormat(f);
                const int start = c.selectionStart();
                const QTextBlock b = doc->findBlock(start);
                p.hits.addItem(QStringLiteral("%1/%2")
                                   .arg(b.blockNumber() + 1, 4)
                                   .arg(start - b.position() + 1, 2, 10, QLatin1Char('0')));
            }
        }
        QCoreApplication::processEvents();
    }
    state.counters["hits"] = p.hits.count();
}

BENCHMARK(BM_BatchSearch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QtFindMerge)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// Keeps the mean real time of each run, by name, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto get = [&](const std::string &name) {
        for (const auto &[k, v] : reporter.ms)
            if (k.rfind(name, 0) == 0) return v;
        return 0.0;
    };
    const double b1 = get("BM_BatchSearch/1"), b2 = get("BM_BatchSearch/2");
    const double q1 = get("BM_QtFindMerge/1"), q2 = get("BM_QtFindMerge/2");
    if (b1 > 0 && b2 > 0 && q1 > 0 && q2 > 0) {
        std::printf("\nBatch keyword search, seven words (\"%s\"), %zu and %zu bytes:\n", kWords, page(1).size(),
                    page(2).size());
        std::printf("  1 MB: batch %8.1f ms   Qt find+merge %8.1f ms   ratio %.2fx (target <= 1x)\n", b1, q1, b1 / q1);
        std::printf("  2 MB: batch %8.1f ms   Qt find+merge %8.1f ms   ratio %.2fx (target <= 1x)\n", b2, q2, b2 / q2);
        std::printf("  growth 1 MB -> 2 MB: batch %.2fx (target <= 2.3x), Qt %.2fx\n", b2 / b1, q2 / q1);
    }
    return 0;
}
