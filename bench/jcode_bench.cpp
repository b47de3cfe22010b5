// Throughput of the Japanese code conversions on a generated 12 MB text (kanji, hiragana,
// katakana, half-width kana, ASCII, CR LF lines). bench/jcode.sh runs the iconv command on
// the very same bytes (written with --write-corpus=DIR) and prints the ratios.
#include "text/JCode.h"
#include "text/TextConverter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr std::size_t kCorpusBytes = 12u * 1000 * 1000;

std::string jisCell(int row, int cell)
{
    return JisToSjisPair(static_cast<unsigned char>(row), static_cast<unsigned char>(cell));
}

std::string makeSjisCorpus()
{
    std::mt19937 rng(20240601);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    static const char* words[] = {"the", "HTML", "CSS", "http://example.jp/", "2024", "<br>", "a", "index"};
    std::string s;
    s.reserve(kCorpusBytes + 256);
    while (s.size() < kCorpusBytes) {
        const int lineLen = pick(20, 70);
        for (int k = 0; k < lineLen; ++k) {
            const int what = pick(0, 99);
            if (what < 45)
                s += jisCell(pick(0x30, 0x4E), pick(0x21, 0x7E)); // level-1 kanji
            else if (what < 70)
                s += jisCell(0x24, pick(0x21, 0x73)); // hiragana
            else if (what < 80)
                s += jisCell(0x25, pick(0x21, 0x76)); // katakana
            else if (what < 85)
                s += static_cast<char>(pick(0xB1, 0xDD)); // half-width katakana
            else if (what < 90)
                s += jisCell(0x21, pick(0, 1) ? 0x22 : 0x23); // 、。
            else
                (s += words[pick(0, 7)]) += ' ';
        }
        s += "\r\n";
    }
    return s;
}

struct Corpus {
    std::string sjis = makeSjisCorpus();
    std::string euc = SjisToEuc(sjis, kmKeep);
    std::string jis = SjisToJis(sjis, kmFullWidthMerge);
    std::string utf8 = SjisToUtf8(sjis);
    std::string eucPage = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-jp\">\r\n" + euc;
    std::string utf8Page = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n" + utf8;
};

const Corpus& corpus()
{
    static const Corpus c;
    return c;
}

template <typename F>
void run(benchmark::State& state, const std::string& in, F convert)
{
    std::size_t outBytes = 0;
    for (auto _ : state) {
        std::string out = convert(in);
        outBytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
    state.counters["in_MB"] = static_cast<double>(in.size()) / 1e6;
    state.counters["out_over_in"] = static_cast<double>(outBytes) / static_cast<double>(in.size());
}

void BM_EucToSjis(benchmark::State& s) { run(s, corpus().euc, [](const std::string& t) { return EucToSjis(t); }); }
void BM_JisToSjisB(benchmark::State& s) { run(s, corpus().jis, [](const std::string& t) { return JisToSjisB(t); }); }
void BM_Utf8ToAnsi(benchmark::State& s) { run(s, corpus().utf8, [](const std::string& t) { return Utf8ToAnsi(t); }); }
void BM_ConvertTextToSjis_EucPage(benchmark::State& s)
{
    run(s, corpus().eucPage, [](const std::string& t) { return ConvertTextToSjis(t, ccmAuto); });
}
void BM_ConvertTextToSjis_Utf8Page(benchmark::State& s)
{
    run(s, corpus().utf8Page, [](const std::string& t) { return ConvertTextToSjis(t, ccmAuto); });
}

BENCHMARK(BM_EucToSjis)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_JisToSjisB)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertTextToSjis_EucPage)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertTextToSjis_Utf8Page)->Unit(benchmark::kMillisecond)->MinTime(1.0);

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

long peakRssKb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const char* prefix = "--write-corpus=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) {
            const std::string dir = argv[i] + std::strlen(prefix);
            const Corpus& c = corpus();
            const bool ok = writeFile(dir + "/euc.txt", c.euc) && writeFile(dir + "/jis.txt", c.jis) &&
                            writeFile(dir + "/utf8.txt", c.utf8) && writeFile(dir + "/euc_page.txt", c.eucPage) &&
                            writeFile(dir + "/utf8_page.txt", c.utf8Page);
            return ok ? 0 : 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const Corpus& c = corpus();
    std::fprintf(stderr, "corpus: %.1f MB Shift_JIS, %.1f MB EUC-JP, %.1f MB ISO-2022-JP, %.1f MB UTF-8\n",
                 c.sjis.size() / 1e6, c.euc.size() / 1e6, c.jis.size() / 1e6, c.utf8.size() / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The corpus in six forms (about 85 MB) plus a few input-sized buffers at a time: linear.
    std::fprintf(stderr, "peak RSS: %.1f MB\n", peakRssKb() / 1024.0);
    return 0;
}
