#include "text/StringList.h"
#include <algorithm>

int StringList::add(const std::string &s)
{
    if (!sorted_) {
        items_.push_back(s);
        return count() - 1;
    }
    auto it = std::lower_bound(items_.begin(), items_.end(), s);
    if (it != items_.end() && *it == s) return -1;
    it = items_.insert(it, s);
    return static_cast<int>(it - items_.begin());
}

int StringList::indexOf(const std::string &s) const
{
    if (sorted_) {
        auto it = std::lower_bound(items_.begin(), items_.end(), s);
        return (it != items_.end() && *it == s) ? static_cast<int>(it - items_.begin()) : -1;
    }
    auto it = std::find(items_.begin(), items_.end(), s);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void StringList::setText(const std::string &text)
{
    items_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            add(text.substr(start));
            break;
        }
        add(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
}

std::string StringList::text() const
{
    std::string out;
    for (const auto &s : items_) {
        out += s;
        out += "\r\n";
    }
    return out;
}
