// Throughput of the character-code page's own routines: a file read into the right pane's text
// and the right pane's text made into the saved bytes, on two corpora of at least 10 MB each:
// "crlf", the hand-written fixture and the Japanese lines of the machine's message catalogues
// with CR LF line ends, and "lf", texts as they come on Unix machines with LF line ends: the
// whole message catalogues unpacked (English and Japanese) and a generated kana-kanji
// dictionary (a reading, then its words between slashes, a line each). Beside each path,
// BM_Iconv_<path>_<corpus> runs glibc's iconv on the very same bytes with the same work boundary:
// from memory to a whole converted text in memory, as the page holds its result.
// bench/codeconvert.sh prints the ratios, and also times the iconv command on the same bytes
// written to files (--write-corpus=DIR); --peak=NAME --corpus=DIR runs one path (NAME as in
// ReadUtf16_lf) once on its corpus file and prints its peak memory against the input's size.
#include "nettools/CodeConvert.h"
#include "nettools/ConvOracle.h"
#include "text/JCode.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <functional>
#include <map>
#include <sstream>

namespace {

constexpr std::size_t kCorpusBytes = 10u * 1000 * 1000;

// One corpus: the pane's Shift_JIS text (CR LF, as a read leaves it) and the files the reads
// start from, in each encoding, with the corpus's own line ends.
struct Set {
    std::string sjis, euc, utf8, utf16, jis;
    explicit Set(const std::string &fileSjis)
        : sjis(conv_oracle::crlf(fileSjis)), euc(SjisToEucB(fileSjis)), utf8(SjisToUtf8(fileSjis)),
          utf16(SjisToUtf16LeBytes(fileSjis)), jis(SjisToJis(fileSjis, kmKeep))
    {
    }
};

std::string repeatTo(const std::string &base, std::size_t size)
{
    std::string t;
    t.reserve(size + base.size());
    while (t.size() < size) t += base;
    return t;
}

std::string crlfBase()
{
    std::string why;
    const std::string base = conv_oracle::crlf(conv_oracle::fixtureMaster()) + "\r\n" +
                             conv_oracle::catalogueCorpus(why, 2000000);
    if (!why.empty()) std::fprintf(stderr, "catalogue corpus: %s\n", why.c_str());
    return base;
}

// The message catalogues unpacked whole, every line that code page 932 holds, LF line ends.
std::string wholeCatalogues()
{
    const auto list = conv_oracle::run("ls /usr/share/locale/ja/LC_MESSAGES/*.mo", "");
    std::string out;
    std::istringstream files(list.value_or(""));
    for (std::string mo; std::getline(files, mo);) {
        const auto po = conv_oracle::run("msgunfmt '" + mo + "'", "");
        std::istringstream lines(po.value_or(""));
        for (std::string line; std::getline(lines, line);)
            if (auto s = conv_oracle::strictCp932(line)) out += *s + "\n";
    }
    return out;
}

// A kana-kanji dictionary as input methods keep them: "reading /word/word/", LF line ends,
// the words drawn from the JIS X 0208 kanji (Shift_JIS 0x889F-0x9872 and 0x989F-0xEAA4).
std::string generatedDictionary(std::size_t size)
{
    std::string out;
    std::uint32_t x = 2463534242u; // xorshift: the same dictionary every run
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    auto kanji = [&](std::string &t) {
        for (;;) {
            const unsigned lead = 0x88 + next() % (0xEA - 0x88 + 1);
            const unsigned l = lead > 0x9F ? lead + 0x40 : lead;
            const unsigned trail = 0x40 + next() % (0xFC - 0x40 + 1);
            if (l > 0xEA || trail == 0x7F || (l == 0x88 && trail < 0x9F) || (l == 0xEA && trail > 0xA4)) continue;
            t += static_cast<char>(l);
            t += static_cast<char>(trail);
            return;
        }
    };
    while (out.size() < size) {
        const unsigned len = 2 + next() % 5;
        for (unsigned k = 0; k < len; ++k) { // hiragana 0x829F-0x82F1
            out += '\x82';
            out += static_cast<char>(0x9F + next() % (0xF1 - 0x9F + 1));
        }
        out += " /";
        for (unsigned w = 1 + next() % 4; w > 0; --w) {
            for (unsigned k = 1 + next() % 3; k > 0; --k) kanji(out);
            if (next() % 4 == 0) out += ";annotation";
            out += '/';
        }
        out += '\n';
    }
    return out;
}

struct Corpus {
    Set crlf, lf;
    Corpus()
        : crlf(repeatTo(crlfBase(), kCorpusBytes)),
          lf(repeatTo(wholeCatalogues(), kCorpusBytes / 2) + generatedDictionary(kCorpusBytes / 2))
    {
    }
};

const Corpus &corpus()
{
    static const Corpus c;
    return c;
}

struct Path {
    const std::string Set::*input;
    std::function<std::string(std::string)> run;
    const char *from, *to; // the same conversion for iconv
};

const std::map<std::string, Path> &paths()
{
    static const std::map<std::string, Path> p{
        {"ReadEucJp", {&Set::euc, [](std::string t) { return ReadConvSource(std::move(t), cvEuc).Text; }, "EUC-JP-MS", "CP932"}},
        {"ReadUtf8", {&Set::utf8, [](std::string t) { return ReadConvSource(std::move(t), cvUtf8).Text; }, "UTF-8", "CP932"}},
        {"ReadUtf16", {&Set::utf16, [](std::string t) { return ReadConvSource(std::move(t), cvUtf16).Text; }, "UTF-16", "CP932"}},
        {"ReadIso2022Jp", {&Set::jis, [](std::string t) { return ReadConvSource(std::move(t), cvJis).Text; }, "ISO-2022-JP", "CP932"}},
        {"SaveEucJp", {&Set::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvEuc, 0); }, "CP932", "EUC-JP-MS"}},
        {"SaveUtf8", {&Set::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvUtf8, 0); }, "CP932", "UTF-8"}},
        {"SaveUtf16", {&Set::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvUtf16, 0); }, "CP932", "UTF-16LE"}},
        {"SaveIso2022Jp", {&Set::sjis, [](std::string t) { return BuildSaveBytes(std::move(t), cvJis, 0); }, "CP932", "ISO-2022-JP"}},
    };
    return p;
}

std::string fileBytes(const std::string &in)
{
    std::string bytes;
    bytes.reserve(FileBytesCapacity(in.size()));
    bytes = in;
    return bytes;
}

void runPath(benchmark::State &state, const Path &p, const Set &set)
{
    const std::string &in = set.*p.input;
    for (auto _ : state) {
        // The copy stands for the file's bytes as ReadFileBytes holds them, read once before the
        // page's work.
        state.PauseTiming();
        std::string bytes = fileBytes(in);
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

void runIconvPeer(benchmark::State &state, const Path &p, const Set &set)
{
    const std::string &in = set.*p.input;
    const iconv_t cd = iconv_open(p.to, p.from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    const size_t outSize = iconvWhole(cd, in, 0).size();
    for (auto _ : state) {
        // The same untimed copy as the page's side, so both start from the same memory state.
        state.PauseTiming();
        std::string bytes = fileBytes(in);
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
    if (p.input == &Set::euc) return "euc.txt";
    if (p.input == &Set::utf8) return "utf8.txt";
    if (p.input == &Set::utf16) return "utf16.txt";
    if (p.input == &Set::jis) return "jis.txt";
    return "sjis.txt";
}

const std::pair<const char *, const Set Corpus::*> kSets[] = {{"crlf", &Corpus::crlf}, {"lf", &Corpus::lf}};

} // namespace

int main(int argc, char **argv)
{
    std::string peak, dir;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-corpus=", 15) == 0) {
            const std::string d = argv[i] + 15;
            for (const auto &[setName, member] : kSets) {
                const Set &c = corpus().*member;
                for (auto [name, bytes] : {std::pair{"sjis.txt", &c.sjis}, std::pair{"euc.txt", &c.euc},
                                           std::pair{"utf8.txt", &c.utf8}, std::pair{"utf16.txt", &c.utf16},
                                           std::pair{"jis.txt", &c.jis}})
                    conv_oracle::writeBytes(d + "/" + setName + "-" + name, *bytes);
            }
            return 0;
        }
        if (std::strncmp(argv[i], "--peak=", 7) == 0) peak = argv[i] + 7;
        if (std::strncmp(argv[i], "--corpus=", 9) == 0) dir = argv[i] + 9;
    }
    if (!peak.empty()) {
        // One run on the input alone: what the path holds beyond the process's own start.
        const std::size_t cut = peak.rfind('_');
        const auto it = paths().find(peak.substr(0, cut));
        if (it == paths().end() || cut == std::string::npos) return 2;
        const long base = statusKb("VmRSS:");
        std::string in;
        if (!ReadFileBytes(dir + "/" + peak.substr(cut + 1) + "-" + corpusFile(it->second), in)) return 2;
        const double inMb = in.size() / 1048576.0;
        const std::string out = it->second.run(std::move(in));
        const double peakMb = (statusKb("VmHWM:") - base) / 1024.0;
        std::printf("%s %.1f %.1f %.2f\n", peak.c_str(), inMb, peakMb, peakMb / inMb);
        return out.empty() ? 1 : 0;
    }
    for (const auto &[setName, member] : kSets)
        for (const auto &[name, p] : paths()) {
            const Set *set = &(corpus().*member);
            const std::string suffix = std::string("_") + setName;
            benchmark::RegisterBenchmark(("BM_" + name + suffix).c_str(),
                                         [&p = p, set](benchmark::State &s) { runPath(s, p, *set); })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
            benchmark::RegisterBenchmark(("BM_Iconv_" + name + suffix).c_str(),
                                         [&p = p, set](benchmark::State &s) { runIconvPeer(s, p, *set); })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (const auto &[setName, member] : kSets) {
        const Set &c = corpus().*member;
        std::fprintf(stderr,
                     "corpus %s: %.1f MB Shift_JIS, %.1f MB EUC-JP, %.1f MB UTF-8, %.1f MB UTF-16, %.1f MB ISO-2022-JP\n",
                     setName, c.sjis.size() / 1e6, c.euc.size() / 1e6, c.utf8.size() / 1e6, c.utf16.size() / 1e6,
                     c.jis.size() / 1e6);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
