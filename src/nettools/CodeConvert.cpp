#include "nettools/CodeConvert.h"

#include "text/FileUtils.h"
#include "text/HtmlNormalize.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct DeclNames {
    const char *meta, *xml, *bare;
};

const DeclNames &declNames(TDeclCode c)
{
    static const DeclNames names[] = {
        {"charset=Shift_JIS", " encoding=\"Shift_JIS\"?>", "\"Shift_JIS\""},
        {"charset=EUC-JP", " encoding=\"euc-jp\"?>", "\"EUC-JP\""},
        {"charset=UTF-8", " encoding=\"UTF-8\"?>", "\"UTF-8\""},
        {"charset=iso-2022-jp", " encoding=\"iso-2022-jp\"?>", "\"iso-2022-jp\""},
    };
    return names[static_cast<int>(c)];
}

// A UTF-8 byte-order mark is no character of the text; converted, it would read as "?".
std::string withoutUtf8Bom(const std::string &S)
{
    if (S.size() >= 3 && S.compare(0, 3, "\xEF\xBB\xBF") == 0) return S.substr(3);
    return S;
}

bool hasLoneLineBreak(const std::string &S)
{
    const char *p = S.data(), *end = p + S.size();
    while (p < end) {
        const void *hit = std::memchr(p, '\r', static_cast<size_t>(end - p));
        const char *cr = hit ? static_cast<const char *>(hit) : end;
        // Between two CRs, any LF is a lone one.
        if (std::memchr(p, '\n', static_cast<size_t>(cr - p))) return true;
        if (cr == end) return false;
        if (cr + 1 == end || cr[1] != '\n') return true;
        p = cr + 2;
    }
    return false;
}

} // namespace

std::string RewriteDeclarations(const std::string &Text, TDeclCode From, TDeclCode To)
{
    const DeclNames &f = declNames(From), &t = declNames(To);
    std::string s = ReplaceAllIgnoreCase(Text, f.meta, t.meta);
    s = ReplaceAllIgnoreCase(s, f.xml, t.xml);
    return ReplaceAllIgnoreCase(s, f.bare, t.bare);
}

std::string UnifyLineEnds(const std::string &S)
{
    // Texts that reach here are mostly CR LF already: check before copying.
    if (!hasLoneLineBreak(S)) return S;
    std::string out;
    out.reserve(S.size() + S.size() / 16);
    for (size_t i = 0; i < S.size(); ++i) {
        const char c = S[i];
        if (c == '\r') {
            if (i + 1 < S.size() && S[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string TerminateLines(const std::string &S)
{
    std::string out = UnifyLineEnds(S);
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out;
}

std::string Utf16BytesToSjis(const std::string &Bytes)
{
    size_t at = 0;
    bool bigEndian = false;
    if (Bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(Bytes[0]), b1 = static_cast<unsigned char>(Bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) {
            at = 2;
        } else if (b0 == 0xFE && b1 == 0xFF) {
            at = 2;
            bigEndian = true;
        }
    }
    std::u16string w;
    w.resize((Bytes.size() - at) / 2);
    const auto *p = reinterpret_cast<const unsigned char *>(Bytes.data()) + at;
    for (size_t k = 0; k < w.size(); ++k, p += 2)
        w[k] = bigEndian ? static_cast<char16_t>(p[0] << 8 | p[1]) : static_cast<char16_t>(p[1] << 8 | p[0]);
    return WideToAnsi(w);
}

std::string SjisToUtf16LeBytes(const std::string &Sjis)
{
    const std::u16string w = AnsiToWide(Sjis);
    std::string out;
    out.resize(2 + w.size() * 2);
    out[0] = '\xFF';
    out[1] = '\xFE';
    for (size_t k = 0; k < w.size(); ++k) {
        out[2 + 2 * k] = static_cast<char>(w[k] & 0xFF);
        out[3 + 2 * k] = static_cast<char>(w[k] >> 8);
    }
    return out;
}

std::string FinishConvText(const std::string &Sjis)
{
    // Every "UTF-8", prose included: the read text is Shift_JIS now.
    return ReplaceAllIgnoreCase(UnifyLineEnds(Sjis), "UTF-8", "Shift_JIS");
}

TConvRead ReadConvSource(const std::string &FileBytes, int CharCode)
{
    TConvRead r;
    std::string s;
    if (CharCode == cvUtf16) {
        // Line ends are found only after decoding: a byte 0x0A can be half of any character.
        r.Source = Utf16BytesToSjis(FileBytes);
        s = r.Source;
    } else {
        r.Source = NormalizeLineBreaks(FileBytes);
        switch (CharCode) {
        case cvAuto: s = ConvertTextToSjis(r.Source, ccmAuto); break;
        case cvSjis: s = r.Source; break;
        // The text is Shift_JIS now, and so must say it: saved again in another encoding it
        // would otherwise still declare the one it was read in.
        case cvEuc: s = RewriteDeclarations(EucToSjis(r.Source), TDeclCode::Euc, TDeclCode::Sjis); break;
        case cvUtf8:
        case cvUtf8N: s = Utf8ToAnsi(withoutUtf8Bom(r.Source)); break;
        case cvJis: s = RewriteDeclarations(JisToSjisB(r.Source), TDeclCode::Jis, TDeclCode::Sjis); break;
        default: break;
        }
    }
    r.Text = FinishConvText(s);
    return r;
}

std::string ConvertLeftToRight(const std::string &Source, int OutCode)
{
    switch (OutCode) {
    case cvEuc: return RewriteDeclarations(EucToSjisB(Source), TDeclCode::Euc, TDeclCode::Sjis);
    case cvUtf8:
    case cvUtf8N: return Utf8ToAnsi(withoutUtf8Bom(Source));
    case cvJis: return RewriteDeclarations(JisToSjisB(Source), TDeclCode::Jis, TDeclCode::Sjis);
    default: return Source;
    }
}

std::string BuildSaveBytes(const std::string &PaneText, int OutCode, int LetterCase)
{
    const std::string t = LetterCase == 1 ? NormalizeHtmlSource(PaneText) : PaneText;
    switch (OutCode) {
    case cvEuc: return SjisToEucB(RewriteDeclarations(t, TDeclCode::Sjis, TDeclCode::Euc));
    case cvUtf8:
    case cvUtf8N: return TerminateLines(SjisToUtf8(RewriteDeclarations(t, TDeclCode::Sjis, TDeclCode::Utf8)));
    case cvUtf16: return SjisToUtf16LeBytes(t);
    case cvJis: return TerminateLines(SjisToJis(RewriteDeclarations(t, TDeclCode::Sjis, TDeclCode::Jis), kmKeep));
    default: return t;
    }
}

bool ReadFileBytes(const std::string &FileName, std::string &Bytes)
{
    Bytes.clear();
    if (FileName.empty()) return false;
    const std::string sys = ToSystemPath(FileName);
    const int fd = ::open(sys.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            Bytes.clear();
            return false;
        }
        Bytes.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}
