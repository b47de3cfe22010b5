// libFuzzer target over the URL mapping, the path guard and the HTML passes: no crash, no
// read past the end (AddressSanitizer), and a few properties that must hold for any input.
// Built and run by tests/fuzz/run.sh; not part of the test suite.
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/HtmlScan.h"
#include "text/PathGuard.h"
#include "text/UrlMap.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
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
    return 0;
}
