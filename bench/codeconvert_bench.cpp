// Throughput of the character-code page's own routines: a file read into the right pane's text
// and the right pane's text made into the saved bytes, on a text of at least 10 MB made from
// the hand-written fixture and the machine's Japanese message catalogues. Beside each path,
// BM_Iconv_<path> runs glibc's iconv on the very same bytes with the same work boundary: from
// memory to a whole converted text in memory, as the page holds its result. bench/codeconvert.sh
// prints the ratios, and also times the iconv command on the same bytes written to files
// (--write-corpus=DIR); --peak=NAME --corpus=DIR runs one path once on its corpus file and
// prints its peak memory against the input's size.
#include "nettools/CodeConvert.h"
#include "nettools/ConvOracle.h"
#include "text/JCode.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <functional>
#include <map>

namespace {

constexpr std::size_t kCorpusBytes = 10u * 1000 * 1000;

struct Corpus {
    std::string sjis, euc, utf8, utf16, jis;
    Corpus()
    {
        std::string why;
        const std::string base = conv_oracle::crlf(conv_oracle::fixtureMaster()) + "\r\n" +
                                 conv_oracle::catalogueCorpus(why, 2000000);
        if (!why.empty()) std::fprintf(stderr, "catalogue corpus: %s\n", why.c_str());
        while (sjis.size() < kCorpusBytes) sjis += base;
        euc = SjisToEucB(sjis);
        utf8 = SjisToUtf8(sjis);
        utf16 = SjisToUtf16LeBytes(sjis);
        jis = SjisToJis(sjis, kmKeep);
    }
};

const Corpus &corpus()
{
    static const Corpus c;
    return c;
}

struct Path {
    const std::string Corpus::*input;
    std::function<std::string(std::string)> run;
    const char *from, *to; // the same conversion for iconv
};

const std::map<std::string, Path> &paths()
{
    static const std::map<std::string, Path> p{
        {"ReadEucJp", {&Corpus::euc, [](std::string t) { return ReadConvSource(std::move(t), cvEuc).Text; }, "EUC-JP-MS", "CP932"}},
        {"ReadUtf8", {&Corpus::utf8, [](std::string t) { return ReadConvSource(std::move(t), cvUtf8).Text; }, "UTF-8", "CP932"}},
        {"ReadUtf16", {&Corpus::utf16, [](std::string t) { return ReadConvSource(std::move(t), cvUtf16).Text; }, "UTF-16", "CP932"}},
        {"ReadIso2022Jp", {&Corpus::jis, [](std::string t) { return ReadConvSource(std::move(t), cvJis).Text; }, "ISO-2022-JP", "CP932"}},
        {"SaveEucJp", {&Corpus::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvEuc, 0); }, "CP932", "EUC-JP-MS"}},
        {"SaveUtf8", {&Corpus::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvUtf8, 0); }, "CP932", "UTF-8"}},
        {"SaveUtf16", {&Corpus::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvUtf16, 0); }, "CP932", "UTF-16LE"}},
        {"SaveIso2022Jp", {&Corpus::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvJis, 0); }, "CP932", "ISO-2022-JP"}},
    };
    return p;
}

void runPath(benchmark::State &state, const Path &p)
{
    const std::string &in = corpus().*p.input;
    for (auto _ : state) {
        // The copy stands for the file's bytes, read once before the page's work.
        state.PauseTiming();
        std::string bytes = in;
        state.ResumeTiming();
        std::string out = p.run(std::move(bytes));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
}

// What a careful caller of iconv does to turn a whole text into another whole text: one
// descriptor, output through a 64 KB buffer into a string reserved once (here at the very
// size of the result, which no real caller knows), and, like `iconv -c`, a byte it cannot
// convert skipped (ISO-2022-JP has no half-width katakana).
std::string iconvWhole(iconv_t cd, const std::string &in, size_t outSize)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(outSize);
    char buf[1 << 16];
    char *ip = const_cast<char *>(in.data());
    size_t left = in.size();
    for (;;) {
        char *op = buf;
        size_t room = sizeof buf;
        const size_t r = left > 0 ? iconv(cd, &ip, &left, &op, &room) : iconv(cd, nullptr, nullptr, &op, &room);
        out.append(buf, static_cast<size_t>(op - buf));
        if (r != static_cast<size_t>(-1)) {
            if (left == 0 && op == buf) break;
            continue;
        }
        if (errno == E2BIG) continue;
        if (left == 0) break;
        ++ip;
        --left;
    }
    return out;
}

void runIconvPeer(benchmark::State &state, const Path &p)
{
    const std::string &in = corpus().*p.input;
    const iconv_t cd = iconv_open(p.to, p.from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    const size_t outSize = iconvWhole(cd, in, 0).size();
    for (auto _ : state) {
        // The same untimed copy as the page's side, so both start from the same memory state.
        state.PauseTiming();
        std::string bytes = in;
        state.ResumeTiming();
        std::string out = iconvWhole(cd, bytes, outSize);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
}

long statusKb(const char *key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    return -1;
}

const char *corpusFile(const Path &p)
{
    if (p.input == &Corpus::euc) return "euc.txt";
    if (p.input == &Corpus::utf8) return "utf8.txt";
    if (p.input == &Corpus::utf16) return "utf16.txt";
    if (p.input == &Corpus::jis) return "jis.txt";
    return "sjis.txt";
}

} // namespace

int main(int argc, char **argv)
{
    std::string peak, dir;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-corpus=", 15) == 0) {
            const std::string d = argv[i] + 15;
            const Corpus &c = corpus();
            for (auto [name, bytes] : {std::pair{"sjis.txt", &c.sjis}, std::pair{"euc.txt", &c.euc},
                                       std::pair{"utf8.txt", &c.utf8}, std::pair{"utf16.txt", &c.utf16},
                                       std::pair{"jis.txt", &c.jis}})
                conv_oracle::writeBytes(d + "/" + name, *bytes);
            return 0;
        }
        if (std::strncmp(argv[i], "--peak=", 7) == 0) peak = argv[i] + 7;
        if (std::strncmp(argv[i], "--corpus=", 9) == 0) dir = argv[i] + 9;
    }
    if (!peak.empty()) {
        // One run on the input alone: what the path holds beyond the process's own start.
        const auto it = paths().find(peak);
        if (it == paths().end()) return 2;
        const long base = statusKb("VmRSS:");
        std::string in = conv_oracle::readBytes(dir + "/" + corpusFile(it->second));
        const double inMb = in.size() / 1048576.0;
        const std::string out = it->second.run(std::move(in));
        const double peakMb = (statusKb("VmHWM:") - base) / 1024.0;
        std::printf("%s %.1f %.1f %.2f\n", peak.c_str(), inMb, peakMb, peakMb / inMb);
        return out.empty() ? 1 : 0;
    }
    for (const auto &[name, p] : paths()) {
        benchmark::RegisterBenchmark(("BM_" + name).c_str(), [&p = p](benchmark::State &s) { runPath(s, p); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
        benchmark::RegisterBenchmark(("BM_Iconv_" + name).c_str(),
                                     [&p = p](benchmark::State &s) { runIconvPeer(s, p); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const Corpus &c = corpus();
    std::fprintf(stderr, "corpus: %.1f MB Shift_JIS, %.1f MB EUC-JP, %.1f MB UTF-8, %.1f MB UTF-16, %.1f MB ISO-2022-JP\n",
                 c.sjis.size() / 1e6, c.euc.size() / 1e6, c.utf8.size() / 1e6, c.utf16.size() / 1e6,
                 c.jis.size() / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
