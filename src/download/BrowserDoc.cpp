#include "download/BrowserDoc.h"
#include "download/TextDecode.h"
#include "text/HtmlNormalize.h"
#include "text/HtmlRewrite.h"
#include "text/JCode.h"
#include "text/StrUtils.h"
#include "text/TextConverter.h"
#include "text/WebFetch.h"

std::string DocHtmlForView(const std::string &Html, DocView View)
{
    switch (View) {
    case DocView::NavigateCopy:
        return RewriteCharsetDeclsToSjis(OpenAttributeQuotes(NormalizeHtmlSource(Html)));
    case DocView::TargetSource:
        return NormalizeHtmlSource(RewriteCharsetDeclsToSjis(Html));
    case DocView::MainComplete:
        break;
    }
    return OpenAttributeQuotes(NormalizeHtmlSource(RewriteCharsetDeclsToSjis(Html)));
}

std::string NormalizeRawLineEnds(const std::string &Text)
{
    std::string t = ReplaceAll(Text, "\r\n", "\n");
    t = ReplaceAll(t, "\n\n\n", "\n");
    t = ReplaceAll(t, "\n\n", "\n");
    return ReplaceAll(t, "\n", "\r\n");
}

std::string RawSheetText(const std::string &Url)
{
    const HttpResponse r = IsHttpUrl(Url) ? HttpFetch(Url) : HttpResponse{};
    if (!r.Ok || r.Body.empty()) return Utf8ToAnsi("取得できませんでした");
    // Shown as the page's own characters, whatever its encoding.
    return NormalizeRawLineEnds(DecodeToSjis(r.Body, r.ContentType, FetchedKind::Html).Sjis);
}

DirectFetch DirectDownloadFromWeb(const std::string &Url)
{
    DirectFetch d;
    const std::string t = HttpGetText(Url);
    if (t.empty()) {
        d.Label = Utf8ToAnsi("■■　【 ") + Url + Utf8ToAnsi("  】がＷｅｂサイトに存在しません");
        return d;
    }
    d.Ok = true;
    d.Text = ConvertTextToSjis(t, 0);
    d.Label = Utf8ToAnsi("【 ") + Url + Utf8ToAnsi("  】");
    return d;
}
