// One fetch per absolute URL per run: every step of a download asks here, and the bytes
// fetched once serve the content check, the mirrored save, the text and the side copies.
#pragma once
#include "text/WebFetch.h"
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Why a fetched resource is not taken as the file that was asked for.
enum class FetchVerdict {
    Ok,
    Failed,    // no answer, a broken or timed-out transfer
    HttpError, // status 400 or more
    HtmlPage,  // an HTML page where a style sheet, script or image was expected
    Empty,     // nothing came back
};

// A body that begins with an HTML tag (after blanks and a byte-order mark), or a text/html
// answer. "<html" further in does not count: scripts carry such strings.
bool LooksLikeHtmlPage(const std::string &ContentType, const std::string &Body);
FetchVerdict CheckResource(const HttpResponse &R);

class FetchCache {
public:
    using Fetcher = std::function<HttpResponse(const std::string &)>;
    explicit FetchCache(Fetcher F = HttpFetch) : fetch_(std::move(F)) {}

    // The answer for the URL, fetched on first use.
    std::shared_ptr<const HttpResponse> Get(const std::string &AbsUrl);
    // The answer when it was fetched already in this run; null otherwise.
    std::shared_ptr<const HttpResponse> Peek(const std::string &AbsUrl) const;

private:
    Fetcher fetch_;
    mutable std::mutex m_;
    std::map<std::string, std::shared_ptr<const HttpResponse>> done_;
};
