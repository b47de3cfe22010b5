// Bytes as spaced hex pairs, so that a failing comparison of Shift_JIS text is readable.
#pragma once
#include <string>

inline std::string hex(const std::string &s)
{
    static const char *d = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : s) {
        r += d[c >> 4];
        r += d[c & 15];
        r += ' ';
    }
    return r;
}
