// Colouring HTML source in the rich-edit view against showing the same text plain.
// Colour: tokenise, write RTF, read it into the view. Plain: set the text in the view.
// Printed at the end: both times per size, their ratio (target: colouring at most 5x plain)
// and how each grows from 1 MB to 2 MB (target: about 2x, i.e. linear).
#include "platform/TRichEdit.h"
#include "text/HtmlRtf.h"
#include "text/JCode.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// A page of about `bytes` Shift_JIS bytes: markup with attributes, Japanese text, entities,
// comments and a script, in the proportions of an ordinary portal page.
std::string makePage(std::size_t bytes)
{
    const std::string head = Utf8ToAnsi(
        "<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n<meta charset=\"Shift_JIS\">\r\n"
        "<title>ニュース一覧 - 表示テスト</title>\r\n<style>\r\nbody { margin: 0; }\r\n</style>\r\n</head>\r\n<body>\r\n");
    const std::string item = Utf8ToAnsi(
        "<div class=\"item\" id=\"n@\">\r\n"
        "  <h2><a href=\"https://example.jp/news/@.html\" target=_blank>表示速度の改善について（第@回）</a></h2>\r\n"
        "  <p>本日、東京都内で開かれた会議では&nbsp;ソフトウェアの構成と十分な検証が議論された。"
        "参加者は「予定どおり」と述べた &amp; 次回は来月。</p>\r\n"
        "  <!-- 広告枠 @ -->\r\n"
        "  <table border=\"0\" cellpadding=2><tr><td width=\"120\">日付</td><td>2024/05/@</td></tr></table>\r\n"
        "</div>\r\n");
    const std::string script = Utf8ToAnsi(
        "<script type=\"text/javascript\">\r\n// 計測用\r\nvar n = 0; function f(a) { return a < 3 ? a : 0; }\r\n</script>\r\n");
    std::string page = head;
    for (int i = 0; page.size() < bytes; ++i) {
        std::string it = item;
        for (std::size_t p; (p = it.find('@')) != std::string::npos;)
            it.replace(p, 1, std::to_string(i));
        page += it;
        if (i % 50 == 49)
            page += script;
    }
    page += "</body>\r\n</html>\r\n";
    return page;
}

const std::string& page(int megabytes)
{
    static std::map<int, std::string> pages;
    auto it = pages.find(megabytes);
    if (it == pages.end())
        it = pages.emplace(megabytes, makePage(static_cast<std::size_t>(megabytes) << 20)).first;
    return it->second;
}

TRichEdit& view()
{
    static TRichEdit* edit = [] {
        auto* e = new TRichEdit;
        e->resize(900, 700);
        e->show();
        return e;
    }();
    return *edit;
}

void BM_PlainText(benchmark::State& state)
{
    const std::string& html = page(static_cast<int>(state.range(0)));
    TRichEdit& edit = view();
    for (auto _ : state) {
        edit.setText(html);
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}

void BM_Colour(benchmark::State& state)
{
    const std::string& html = page(static_cast<int>(state.range(0)));
    TRichEdit& edit = view();
    for (auto _ : state) {
        // As in use: the page is in the view as plain text, then it is coloured.
        state.PauseTiming();
        edit.setText(html);
        QCoreApplication::processEvents();
        edit.setPlainTextMode(false);
        state.ResumeTiming();
        TqelHTMLRTF rtf;
        rtf.SetText(html);
        const std::string document = rtf.GetRtfText();
        edit.loadFromStream(document);
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}

// The parts of colouring on their own, to see where the time goes.
void BM_TokeniseAndWriteRtf(benchmark::State& state)
{
    const std::string& html = page(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TqelHTMLRTF rtf;
        rtf.SetText(html);
        benchmark::DoNotOptimize(rtf.GetRtfText());
    }
}

void BM_LoadRtf(benchmark::State& state)
{
    const std::string& html = page(static_cast<int>(state.range(0)));
    TqelHTMLRTF rtf;
    rtf.SetText(html);
    const std::string document = rtf.GetRtfText();
    TRichEdit& edit = view();
    for (auto _ : state) {
        state.PauseTiming();
        edit.setText(html);
        QCoreApplication::processEvents();
        edit.setPlainTextMode(false);
        state.ResumeTiming();
        edit.loadFromStream(document);
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_PlainText)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Colour)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokeniseAndWriteRtf)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRtf)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Keeps the mean real time of each run, by name, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                ms[r.benchmark_name()] = r.GetAdjustedRealTime(); // in the run's unit: ms
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto get = [&](const char* name) {
        auto it = reporter.ms.find(name);
        return it == reporter.ms.end() ? 0.0 : it->second;
    };
    const double p1 = get("BM_PlainText/1"), p2 = get("BM_PlainText/2");
    const double c1 = get("BM_Colour/1"), c2 = get("BM_Colour/2");
    if (p1 > 0 && p2 > 0 && c1 > 0 && c2 > 0) {
        std::printf("\nHTML source in the rich-edit view (%zu and %zu bytes):\n", page(1).size(), page(2).size());
        std::printf("  1 MB: plain %8.1f ms   coloured %8.1f ms   ratio %.2fx (target <= 5x)\n", p1, c1, c1 / p1);
        std::printf("  2 MB: plain %8.1f ms   coloured %8.1f ms   ratio %.2fx (target <= 5x)\n", p2, c2, c2 / p2);
        std::printf("  growth 1 MB -> 2 MB: plain %.2fx, coloured %.2fx (linear: about 2x)\n", p2 / p1, c2 / c1);
    }
    return 0;
}
