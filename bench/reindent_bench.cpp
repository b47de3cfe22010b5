// Re-indentation throughput. Writes generated real-looking pages (Shift_JIS) and times the
// whole pure indentation run on a file; bench/reindent.sh compares it with tidy and checks
// that time grows linearly with the page.
//   reindent_bench --write-corpus=DIR   pages of 1, 2 and 4 MB and a 1 MB page on one line
//   reindent_bench --time=FILE          best of three runs in seconds, and whether re-indenting
//                                       the result changes nothing
#include "text/JCode.h"
#include "text/TextConverter.h"
#include "webgui/HtmlReindent.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

std::string readFile(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string block(std::mt19937& rng)
{
    static const char* const blocks[] = {
        "<table border=\"0\" cellpadding=\"2\"><tr><td valign=\"top\" width=\"120\">商品の説明 ソ表能 ｶﾀｶﾅ <a href=\"item.html?id=12&amp;c=3\">詳細</a><img src=\"img/a.gif\" width=\"10\"> 在庫あり</td><td><font color=\"#cc0000\">1,980円</font><br>送料無料</td></tr></table>\r\n",
        "<p>今日は<b>晴れ</b>でした。<font size=\"2\">小さな文字</font>と<br>改行と <a href=\"/news/1.html\">ニュース</a> の続きです。</p>\r\n",
        "<div class=\"menu\"><div class=\"item\"><a href=\"a.html\">トップ</a></div><div class=\"item\"><a href=\"b.html\">案内</a></div></div>\r\n",
        "<ul><li><a href=\"1.html\">一つ目</a></li><li><a href=\"2.html\">二つ目</a></li><li>三つ目</li></ul>\r\n",
        "<script language=\"JavaScript\"><!--\r\ndocument.write(\"<td>\" + n + \"</td>\");\r\n//-->\r\n</script>\r\n",
        "<!-- ==== menu ==== -->\r\n",
        "<pre>\r\n\tそのまま\r\n\r\n   字下げ\r\n</pre>\r\n",
        "<h2>見出し</h2><hr><dl><dd>定義の説明が続く行 <a href=\"d.html\">詳しく</a></dd></dl>\r\n",
        "本文の行 テキストだけ ｱｲｳｴｵ\r\n",
    };
    return blocks[rng() % (sizeof blocks / sizeof blocks[0])];
}

std::string page(std::size_t bytes, bool oneLine)
{
    std::mt19937 rng(7);
    std::string body;
    while (body.size() < bytes) {
        std::string b = Utf8ToAnsi(block(rng));
        if (oneLine && b.find("<pre>") == std::string::npos && b.find("<script") == std::string::npos) {
            if (b.size() >= 2)
                b.resize(b.size() - 2);
        }
        body += b;
    }
    if (oneLine)
        body = "<table><tr><td class=\"all\">" + body + "</td></tr></table>\r\n";
    return Utf8ToAnsi("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
                      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
                      "<title>ベンチマーク</title>\r\n</head>\r\n<body>\r\n") +
           body + "</body>\r\n</html>\r\n";
}

std::string identity(const std::string& s) { return s; }

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-corpus=", 15) == 0) {
            const std::string dir = argv[i] + 15;
            for (int mb : {1, 2, 4})
                std::ofstream(dir + "/page" + std::to_string(mb) + "mb.html", std::ios::binary)
                    << page(static_cast<std::size_t>(mb) << 20, false);
            std::ofstream(dir + "/oneline1mb.html", std::ios::binary) << page(1u << 20, true);
            return 0;
        }
        if (std::strncmp(argv[i], "--time=", 7) == 0) {
            const std::string src = ConvertTextToSjis(readFile(argv[i] + 7), ccmAuto);
            ReindentOptions o;
            o.CellMode = 1;
            double best = 1e9;
            std::string out;
            for (int k = 0; k < 3; ++k) {
                const auto t0 = std::chrono::steady_clock::now();
                out = RunIndentation(src, "", identity, 0, o, {}).Text;
                const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
                best = std::min(best, d.count());
            }
            const bool same = RunIndentation(out, "", identity, 0, o, {}).Text == out;
            std::printf("%.6f %zu %s\n", best, src.size(), same ? "idempotent" : "changed");
            return 0;
        }
    }
    std::fprintf(stderr, "usage: reindent_bench --write-corpus=DIR | --time=FILE\n");
    return 2;
}
