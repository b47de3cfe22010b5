// The one mapping from a resource URL to its local path under a save folder, shared by every
// download step so that one step can compute where another puts a file.
//
// The path after the host is mirrored ("?" becomes "_"); percent-escapes become the names they
// stand for when they decode to UTF-8 that Shift_JIS can hold; resources of another host or
// port go under a folder of that host ("host" or "host!port"); prefixes are removed from the
// start of the relative path only; a segment that decodes to "." or ".." is refused; the
// result passes ConfinePathToRoot with the save folder as root. Local paths use "/".
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct UrlParts {
    bool Ok = false;
    std::string Scheme; // lower case
    std::string Host;   // lower case
    std::string Port;   // "" when it is the scheme's own
    std::string Path;   // from its "/" on, "/" when empty
    std::string Query;  // without "?", fragment dropped
    bool HasQuery = false;
};
UrlParts SplitUrl(const std::string &AbsUrl);

// The key of a URL within a run: absolute, dot segments resolved, fragment dropped, the path
// as a browser sends it (8-bit characters as percent-encoded UTF-8, blanks as "%20"), so
// "a b.png", "a%20b.png" and a Japanese name written raw or escaped are each one URL. The
// query keeps its 8-bit characters (blanks escaped) for WireUrl.
std::string UrlKey(const std::string &AbsUrl);
// The key as it is requested: the query's 8-bit characters (Shift_JIS) in the page's encoding
// ("utf-8", "euc-jp"; anything else keeps Shift_JIS), percent-encoded.
std::string WireUrl(const std::string &Key, const std::string &QueryEncoding);
// The request a browser of a page in Shift_JIS or EUC-JP makes for a name written raw: the
// path's percent-encoded UTF-8 characters in the page's encoding. "" when that is the same
// request or the page's encoding is UTF-8.
std::string LegacyWireUrl(const std::string &WireUrl, const std::string &PageEncoding);

class UrlMapper {
public:
    // Root: the save folder, an absolute path ("/" or "\" separators, trailing one optional).
    // PageUrl: the page whose host counts as this site's.
    UrlMapper(const std::string &Root, const std::string &PageUrl);

    struct Result {
        std::string Rel; // relative to the root, "/" separators
        std::string Abs; // Root + Rel, confined; empty when refused
        bool ok() const { return !Abs.empty(); }
    };

    // Where the URL goes, with the leading Prefixes (folder paths, "/" or "\" separators)
    // removed from a same-site path. The path is claimed for this URL: a different URL that
    // would land on the same file later in the run gets a short hash of its URL before the
    // extension.
    Result Map(const std::string &AbsUrl, const std::vector<std::string> &Prefixes = {});
    // The same without claiming (to compute where a file would go).
    Result Peek(const std::string &AbsUrl, const std::vector<std::string> &Prefixes = {}) const;

    const std::string &root() const { return root_; }
    // The URL key that claimed the relative path in this run, "" when none did.
    std::string ClaimedUrl(const std::string &Rel) const;

    // The relative reference from the file FromRel to the file ToRel, each segment
    // percent-encoded as UTF-8, so that names with blanks or Japanese characters resolve.
    static std::string RelativeRef(const std::string &FromRel, const std::string &ToRel);
    // One path segment of a URL as a local name, escapes decoded as for a mapped path; "" when
    // it must be refused.
    static std::string LocalSegment(const std::string &RawSegment);
    // A local name segment percent-encoded for a reference.
    static std::string EncodeSegment(const std::string &SjisSegment);

    static std::string ShortHash(const std::string &Text); // 8 hex digits, stable

private:
    std::string relOf(const std::string &AbsUrl, const std::vector<std::string> &Prefixes) const;
    std::string root_;
    UrlParts page_;
    mutable std::mutex m_;
    std::map<std::string, std::string> claimed_; // rel -> url key
};
