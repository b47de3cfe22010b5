// Pages put together at random from the pieces of reindent.dict, each re-indented under random
// options; a page whose result changes when re-indented again is written to the output folder
// (its first byte the options, as the fuzz target reads them). Pages left open at the end are
// skipped, as the fuzz target skips them. Usage: reindent_pieces DICT OUTDIR [SEED] [PAGES]
#include "text/HtmlScan.h"
#include "webgui/HtmlReindent.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readDict(const char* path)
{
    std::vector<std::string> pieces;
    std::ifstream f(path);
    for (std::string line; std::getline(f, line);) {
        const std::size_t b = line.find('"'), e = line.rfind('"');
        if (line.empty() || line[0] == '#' || b == std::string::npos || e <= b)
            continue;
        std::string p;
        for (std::size_t i = b + 1; i < e; ++i) {
            if (line[i] == '\\' && i + 3 < e && line[i + 1] == 'x') {
                p += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                p += line[i];
            }
        }
        pieces.push_back(p);
    }
    return pieces;
}

bool leftOpen(const std::string& s)
{
    const std::vector<HtmlToken> toks = ScanHtml(s);
    if (toks.empty())
        return true;
    const HtmlToken& last = toks.back();
    if (last.kind == HtmlToken::Kind::StartTag &&
        (last.name == "script" || last.name == "style" || last.name == "pre" || last.name == "textarea" ||
         last.name == "xmp"))
        return true;
    for (const HtmlToken& t : toks) {
        if ((t.isMarkup() && s[t.end - 1] != '>') || (t.kind == HtmlToken::Kind::Raw && t.end == s.size()))
            return true;
        if (t.isTag() && s.find('<', t.begin + 1) < t.end)
            return true;
    }
    return false;
}

std::string identity(const std::string& s) { return s; }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: reindent_pieces DICT OUTDIR [SEED] [PAGES]\n";
        return 2;
    }
    const std::vector<std::string> pieces = readDict(argv[1]);
    if (pieces.empty())
        return 2;
    const std::string out = argv[2];
    std::mt19937 rng(argc > 3 ? std::atoi(argv[3]) : 1);
    const long pages = argc > 4 ? std::atol(argv[4]) : 100000;
    long tried = 0, unsettled = 0;
    for (long n = 0; n < pages; ++n) {
        std::string page;
        for (int k = 3 + rng() % 25; k > 0; --k)
            page += pieces[rng() % pieces.size()];
        const int bits = rng() % 16;
        if (leftOpen(page))
            continue;
        ++tried;
        ReindentOptions o;
        o.CellMode = bits & 1;
        o.PrologMode = (bits >> 1) & 1;
        o.CommentBar = (bits >> 2) & 1;
        o.ImgAlt = (bits >> 3) & 1;
        const std::string once = RunIndentation(page, "", identity, 0, o, {}).Text;
        if (RunIndentation(once, "", identity, 0, o, {}).Text == once)
            continue;
        std::ofstream(out + "/unsettled-" + std::to_string(++unsettled), std::ios::binary)
            << static_cast<char>(bits) << page;
    }
    std::printf("%ld pages tried, %ld change on a second run\n", tried, unsettled);
    return 0;
}
