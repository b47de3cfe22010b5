// libFuzzer target over the URL mapping, the path guard and the HTML passes: no crash, no
// read past the end (AddressSanitizer), and a few properties that must hold for any input.
// Built and run by tests/fuzz/run.sh; not part of the test suite.
#include "download/UrlMapper.h"
#include "text/CssScan.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/PathGuard.h"
#include "text/UrlMap.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void urlRoutines(const std::string& a, const std::string& b)
{
    HostEndSlashPos(a);
    LastSlashPosWeb(a);
    StripUrlPrefix(a);
    StripWwwPrefix(a);
    UrlToRelativeLocalPath(a);
    ExtractUrlFolder(a);
    ExtractHttpUrlFolder(a);
    ExtractUrlRoot(a);
    UrlPathToLocalPath(a);
    UrlToLocalSubFolder(a);
    UrlFolderToLocalPath(a);
    UrlToLocalFileName(a);
    UrlToImageFileName(a);
    SanitizeLocalPath(a);
    CombineLocalPath(a, b);
    CombineLocalPath("/dl/host/page.html", b);
    ResolveParentDirs(a);
    MakeAbsoluteUrl(a, b);
    MakeAbsoluteUrlWithBase("http://h/d/p.html", a, b);
    MakeAbsoluteRef(a, b);
    check(UrlToTabCaption(a).size() <= 18);

    // A local path made from any URL either is refused or lies below the save folder.
    const std::string root = "/save/root";
    for (const std::string& rel : {UrlToLocalRelPath(a), SanitizeLocalPath(root + "/" + UrlToLocalRelPath(a)), b}) {
        const std::string p = ConfinePathToRoot(root, rel);
        if (p.empty())
            continue;
        check(p.rfind(root + "/", 0) == 0 && p.size() > root.size() + 1);
        check(p.find("/../") == std::string::npos && !p.ends_with("/.."));
        check(ConfinePathToRoot(root, p) == p);
    }
}

// The download mapper: whatever the URL, its file lies below the save folder or is refused,
// and a reference between two mapped files never climbs out of the folder.
void downloadMapper(const std::string& a, const std::string& b)
{
    const std::string root = "/save/root";
    UrlMapper m(root, "http://h/d/p.html");
    const UrlMapper::Result r = m.Map(a), s = m.Map("http://h/d/" + b);
    for (const UrlMapper::Result& x : {r, s}) {
        if (!x.ok())
            continue;
        check(x.Abs.rfind(root + "/", 0) == 0 && ConfinePathToRoot(root, x.Abs) == x.Abs);
        check(x.Abs == root + "/" + x.Rel);
    }
    if (r.ok() && s.ok()) {
        const std::string ref = UrlMapper::RelativeRef(r.Rel, s.Rel);
        int up = 0;
        while (ref.compare(static_cast<std::size_t>(up) * 3, 3, "../") == 0)
            ++up;
        check(up <= static_cast<int>(std::count(r.Rel.begin(), r.Rel.end(), '/')));
    }
}

// The CSS tokenizer: references lie inside the text in order, and a rewrite that keeps every
// value gives the text back.
void cssTokens(const std::string& css)
{
    std::size_t at = 0;
    for (const CssRef& r : ScanCssRefs(css)) {
        check(r.begin >= at && r.begin <= r.valueBegin && r.valueBegin <= r.valueEnd && r.valueEnd <= r.end &&
              r.end <= css.size());
        at = r.end;
    }
    check(RewriteCssRefs(css, [](const CssRef&, const std::string&) { return std::optional<std::string>(); }) == css);
}

void htmlRoutines(const std::string& html, const std::string& other)
{
    // the scanner covers the input exactly, in order
    std::size_t at = 0;
    for (const HtmlToken& t : ScanHtml(html)) {
        check(t.begin == at && t.end > t.begin && t.end <= html.size());
        at = t.end;
    }
    check(at == html.size());

    const std::string normalized = NormalizeHtmlSource(html);
    BreakBeforeTags(html);
    const std::string quoted = OpenAttributeQuotes(html);
    check(CloseAttributeQuotes(quoted) == quoted);
    RemoveStrayQuotes(html);
    RestructureHead(html);
    RewriteCharsetDeclsToSjis(html);
    RewriteCharsetNamesToSjis(html);
    RebaseHrefs(html, other, 0);
    RebaseSrcRefs(html, other, "img/", 0);
    RebaseSrcParentRefs(html, other, 0);
    if (html.find('<') == std::string::npos)
        check(normalized == html && quoted == html);

    std::vector<std::string> list;
    ListPageRefUrls(html, "url(", ")", "http://h/d/", list, 0);
    ListCssRefUrls(html, "@import ", ";", "http://h/css/", list, 0);
    ListCssRefUrls(html, other.empty() ? "url(" : other, ")", "/dl/h/a.css", list, 1);
    ListMarkedCssRefUrls(html, "src=\"", "\"", list);
    ListMarkedCssUrls(html, list);
    ListCssUrls(html, list);
    ListFrameSources("http://h/d/", html, list);
    TextBetweenWeb(html, "<", other);
    PosExWeb(other, html, static_cast<int>(other.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const std::string a = fdp.ConsumeRandomLengthString(512);
    const std::string b = fdp.ConsumeRandomLengthString(512);
    const std::string html = fdp.ConsumeRemainingBytesAsString();
    urlRoutines(a, b);
    urlRoutines(html, a);
    htmlRoutines(html, b);
    htmlRoutines(a + html, b);
    downloadMapper(a, b);
    downloadMapper("http://h/" + html, a);
    cssTokens(html);
    return 0;
}
