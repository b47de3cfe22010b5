// An ordered list of Shift_JIS strings; a sorted list keeps ascending byte order and
// ignores a string that is already present (the shared lists rely on both).
#pragma once
#include <string>
#include <vector>

class StringList {
public:
    explicit StringList(bool sorted = false) : sorted_(sorted) {}

    bool sorted() const { return sorted_; }
    // Returns the index of the string, or -1 when a sorted list already held it.
    int add(const std::string &s);
    void clear() { items_.clear(); }
    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    const std::string &operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    int indexOf(const std::string &s) const;
    const std::vector<std::string> &items() const { return items_; }
    // Replaces the items by the lines of a CRLF (or LF) text.
    void setText(const std::string &text);
    // The items joined by CRLF, each line ended.
    std::string text() const;

private:
    bool sorted_;
    std::vector<std::string> items_;
};
