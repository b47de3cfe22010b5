#include "text/PathGuard.h"
#include "text/StrUtils.h"

#include <string_view>
#include <vector>

namespace {

using Segments = std::vector<std::string>;

// Resolves "." and ".." segments into out. False when a ".." climbs above the start.
bool resolveSegments(std::string_view path, bool backslashSeparates, Segments& out)
{
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = i;
        while (j < path.size() && path[j] != '/' && !(backslashSeparates && path[j] == '\\'))
            ++j;
        const std::string_view seg = path.substr(i, j - i);
        if (seg == "..") {
            if (out.empty())
                return false;
            out.pop_back();
        } else if (!seg.empty() && seg != ".") {
            out.emplace_back(seg);
        }
        i = j + 1;
    }
    return true;
}

std::string join(const Segments& segs)
{
    std::string s;
    for (const auto& seg : segs) {
        if (!s.empty())
            s += '/';
        s += seg;
    }
    return s;
}


// Decodes only the escapes that can build a traversal: "%2e" (.), "%2f" (/), "%5c" (\) and
// "%25" (%), until nothing changes, so "%252e%252e" is seen as "..".
std::string decodeTraversalEscapes(std::string s)
{
    for (int round = 0; round < 16; ++round) {
        std::string out;
        out.reserve(s.size());
        bool changed = false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
                const int v = hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]);
                if (v == '.' || v == '/' || v == '\\' || v == '%') {
                    out += static_cast<char>(v);
                    i += 2;
                    changed = true;
                    continue;
                }
            }
            out += s[i];
        }
        s.swap(out);
        if (!changed)
            break;
    }
    return s;
}

bool staysInside(const std::string& relative)
{
    Segments probe;
    if (!resolveSegments(relative, true, probe))
        return false;
    probe.clear();
    return resolveSegments(decodeTraversalEscapes(relative), true, probe);
}

} // namespace

std::string ConfinePathToRoot(const std::string& Root, const std::string& Path)
{
    if (Root.empty() || Root[0] != '/' || Path.empty())
        return {};
    if (Root.find('\0') != std::string::npos || Path.find('\0') != std::string::npos)
        return {};

    Segments rootSegs;
    if (!resolveSegments(Root, false, rootSegs))
        return {};

    Segments rest;
    if (Path[0] == '/') {
        Segments all;
        if (!resolveSegments(Path, false, all) || all.size() <= rootSegs.size())
            return {};
        for (std::size_t i = 0; i < rootSegs.size(); ++i)
            if (all[i] != rootSegs[i])
                return {};
        rest.assign(all.begin() + static_cast<std::ptrdiff_t>(rootSegs.size()), all.end());
    } else if (!resolveSegments(Path, false, rest)) {
        return {};
    }
    if (rest.empty())
        return {};

    // What is returned is checked once more under the stricter readings of "\" and of
    // percent escapes, so no later conversion of the name can lead it out of Root.
    const std::string relative = join(rest);
    if (!staysInside(relative))
        return {};
    return "/" + join(rootSegs) + (rootSegs.empty() ? "" : "/") + relative;
}

bool IsPathBelowRoot(const std::string& Root, const std::string& Path)
{
    return !ConfinePathToRoot(Root, Path).empty();
}

std::string NormalizeFolderPath(const std::string& Folder)
{
    std::string f = Folder;
    for (char& c : f)
        if (c == '\\')
            c = '/';
    if (f.empty() || f.front() != '/')
        return {};
    std::string out;
    std::size_t at = 0;
    while (at <= f.size()) {
        std::size_t e = f.find('/', at);
        if (e == std::string::npos)
            e = f.size();
        const std::string seg = f.substr(at, e - at);
        at = e + 1;
        if (seg.empty() || seg == ".")
            continue;
        if (seg == "..") {
            const std::size_t s = out.rfind('/');
            out.erase(s == std::string::npos ? 0 : s);
            continue;
        }
        out += "/" + seg;
    }
    return out.empty() ? std::string("/") : out;
}
