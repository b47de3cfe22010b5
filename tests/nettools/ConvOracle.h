// Oracles and corpora of the conversion page tests: the iconv and nkf commands run on the very
// bytes under test, a hand-written Shift_JIS fixture, and a real corpus made from the machine's
// Japanese message catalogues.
#pragma once
#include "text/StrUtils.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <iconv.h>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace conv_oracle {

inline std::string readBytes(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool haveCommand(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The command's output for the input bytes; nullopt when it fails.
inline std::optional<std::string> run(const std::string &command, const std::string &input)
{
    static QTemporaryDir dir;
    const std::string in = dir.filePath(QStringLiteral("in")).toStdString();
    const std::string out = dir.filePath(QStringLiteral("out")).toStdString();
    writeBytes(in, input);
    const std::string cmd = command + " <'" + in + "' >'" + out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return std::nullopt;
    return readBytes(out);
}

inline std::string must(const std::string &command, const std::string &input)
{
    auto r = run(command, input);
    if (!r) throw std::runtime_error("oracle failed: " + command);
    return *r;
}

inline std::string fixturePath(const char *name)
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/fixtures/" + name;
}

// The hand-written master: every kind of character the pages meet, mixed line ends and the
// declaration forms of each encoding.
inline std::string fixtureMaster() { return readBytes(fixturePath("conv_master_sjis.txt")); }

// One UTF-8 line to Shift_JIS by glibc's CP932, only when every character converts and none
// lies in the IBM extensions (outside JIS X 0208, where the converters and the oracles part).
inline std::optional<std::string> strictCp932(const std::string &utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(utf8.size() * 2 + 8, '\0');
    char *ip = const_cast<char *>(utf8.data()), *op = out.data();
    size_t il = utf8.size(), ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    out.resize(out.size() - ol);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            if (c >= 0xED) return std::nullopt;
            ++i;
        }
    }
    return out;
}

// The Japanese message catalogues of the installed packages, unpacked, kept to the lines that
// hold Japanese and convert to CP932: a Shift_JIS text with CR LF line ends, at most about
// MaxBytes. Empty (with Why set) when there is none.
inline std::string catalogueCorpus(std::string &Why, size_t MaxBytes = 300000)
{
    if (!haveCommand("msgunfmt")) {
        Why = "msgunfmt is not installed (package gettext)";
        return {};
    }
    const auto list = run("ls /usr/share/locale/ja/LC_MESSAGES/*.mo", "");
    if (!list || list->empty()) {
        Why = "no Japanese message catalogues under /usr/share/locale/ja/LC_MESSAGES";
        return {};
    }
    std::string corpus;
    std::istringstream files(*list);
    for (std::string mo; std::getline(files, mo) && corpus.size() < MaxBytes;) {
        const auto po = run("msgunfmt '" + mo + "'", "");
        if (!po) continue;
        std::istringstream lines(*po);
        for (std::string line; std::getline(lines, line) && corpus.size() < MaxBytes;) {
            if (line.compare(0, 8, "msgstr \"") != 0 && line.compare(0, 1, "\"") != 0) continue;
            bool japanese = false;
            for (unsigned char c : line) japanese |= c >= 0xE3;
            if (!japanese) continue;
            if (auto s = strictCp932(line)) corpus += *s + "\r\n";
        }
    }
    if (corpus.empty()) Why = "the catalogues hold no line that converts to CP932";
    return corpus;
}

// Every line end (CR LF, lone CR, lone LF) made CR LF.
inline std::string crlf(const std::string &t)
{
    std::string s;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' || t[i] == '\n') {
            s += "\r\n";
            if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ++i;
        } else {
            s += t[i];
        }
    }
    return s;
}

// The master's text as the page's right pane holds it after a read: CR LF line ends and its
// meta declarations named Shift_JIS. (The fixture names encodings in meta tags only in these
// spellings; its XML declarations stand after text, so they are no declarations, and its
// prose keeps every name.)
inline std::string asReadText(const std::string &master)
{
    std::string t = crlf(master);
    for (const char *name : {"EUC-JP", "UTF-8", "iso-2022-jp"}) {
        t = ReplaceAll(t, std::string("charset=") + name + "\"", "charset=Shift_JIS\"");
        t = ReplaceAll(t, std::string("charset=\"") + name + "\"", "charset=\"Shift_JIS\"");
    }
    return t;
}

}  // namespace conv_oracle
