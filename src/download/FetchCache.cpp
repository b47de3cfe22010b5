#include "download/FetchCache.h"
#include "download/UrlMapper.h"

bool LooksLikeHtmlPage(const std::string &ContentType, const std::string &Body)
{
    std::string ct;
    for (char c : ContentType) ct += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    if (ct.rfind("text/html", 0) == 0 || ct.rfind("application/xhtml", 0) == 0) return true;
    std::size_t i = Body.rfind("\xef\xbb\xbf", 0) == 0 ? 3 : 0;
    while (i < Body.size() && (Body[i] == ' ' || Body[i] == '\t' || Body[i] == '\r' || Body[i] == '\n')) ++i;
    if (i + 1 >= Body.size() || Body[i] != '<') return false;
    const char c = Body[i + 1];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (Body.size() >= i + 9) {
        std::string d = Body.substr(i, 9);
        for (char &x : d)
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (d == "<!doctype") return true;
    }
    return false;
}

FetchVerdict CheckResource(const HttpResponse &R)
{
    if (R.Status >= 400) return FetchVerdict::HttpError;
    if (!R.Ok) return FetchVerdict::Failed;
    if (R.Body.empty()) return FetchVerdict::Empty;
    if (LooksLikeHtmlPage(R.ContentType, R.Body)) return FetchVerdict::HtmlPage;
    return FetchVerdict::Ok;
}

std::shared_ptr<const HttpResponse> FetchCache::Get(const std::string &AbsUrl)
{
    const std::string key = UrlKey(AbsUrl);
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = done_.find(key);
        if (it != done_.end()) return it->second;
    }
    auto r = std::make_shared<const HttpResponse>(fetch_(key));
    std::lock_guard<std::mutex> lock(m_);
    return done_.emplace(key, r).first->second;
}

std::shared_ptr<const HttpResponse> FetchCache::Peek(const std::string &AbsUrl) const
{
    std::lock_guard<std::mutex> lock(m_);
    auto it = done_.find(UrlKey(AbsUrl));
    return it == done_.end() ? nullptr : it->second;
}
