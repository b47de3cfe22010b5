// Shift_JIS (code page 932) byte classes and the character-boundary-aware search that
// every text routine builds on. A byte pair is one character when the first byte is a
// lead byte and the second a valid trail byte; a lead byte followed by anything else
// (or by nothing) stands alone, so a CR or LF after a broken lead byte is never eaten.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

inline constexpr bool isSjisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

inline constexpr bool isSjisTrail(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

inline constexpr bool isSjisHalfKana(unsigned char c)
{
    return c >= 0xA1 && c <= 0xDF;
}

inline constexpr unsigned char sjisByte(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

inline constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline constexpr char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Bytes taken by the character that starts at the boundary i (0-based): 2 or 1.
inline std::size_t sjisCharLen(std::string_view s, std::size_t i)
{
    if (i + 1 < s.size() && isSjisLead(sjisByte(s, i)) && isSjisTrail(sjisByte(s, i + 1)))
        return 2;
    return 1;
}

// True when byte i is the second byte of a double-byte character. knownBoundary must be a
// character boundary at or before i. Only the run of lead-class bytes just before i matters
// (every lead-class byte is also a valid trail byte, so such a run pairs up from its start),
// which keeps this cheap without scanning from the start of the text.
inline bool sjisIsTrailFrom(std::string_view s, std::size_t knownBoundary, std::size_t i)
{
    if (i >= s.size() || i <= knownBoundary)
        return false;
    std::size_t j = i;
    while (j > knownBoundary && isSjisLead(sjisByte(s, j - 1)))
        --j;
    return ((i - j) & 1) != 0 && isSjisTrail(sjisByte(s, i));
}

inline bool isSjisTrailAt(std::string_view s, std::size_t i)
{
    return sjisIsTrailFrom(s, 0, i);
}

// First occurrence (0-based) of sub in s at or after from that does not begin on a trail
// byte; npos when none or when sub is empty. Bytes are compared exactly.
inline std::size_t sjisFind(std::string_view s, std::string_view sub, std::size_t from = 0)
{
    if (sub.empty() || from >= s.size())
        return std::string_view::npos;
    std::size_t known = 0;
    std::size_t pos = from;
    for (;;) {
        const std::size_t c = s.find(sub, pos);
        if (c == std::string_view::npos)
            return c;
        if (!sjisIsTrailFrom(s, known, c))
            return c;
        known = c + 1; // the byte after a trail byte starts a character
        pos = c + 1;
    }
}

// As sjisFind, but ASCII letters match regardless of case. Bytes that are trail bytes in s
// are compared exactly, so a katakana whose trail byte happens to be a letter never matches
// another katakana. Candidates for the first byte are found with memchr (both cases of a
// letter), and only those are checked for a character boundary.
inline std::size_t sjisFindNoCase(std::string_view s, std::string_view sub, std::size_t from = 0)
{
    constexpr std::size_t npos = std::string_view::npos;
    if (sub.empty() || from >= s.size() || sub.size() > s.size())
        return npos;
    std::size_t i = isSjisTrailAt(s, from) ? from + 1 : from;
    const std::size_t last = s.size() - sub.size();
    const char lo = asciiLower(sub[0]);
    const char up = asciiUpper(lo);
    // next position of each case of the first byte at or after i (npos: none left)
    auto next = [&](char c, std::size_t at) -> std::size_t {
        if (at > last)
            return npos;
        const void* p = std::memchr(s.data() + at, c, last + 1 - at);
        return p ? static_cast<std::size_t>(static_cast<const char*>(p) - s.data()) : npos;
    };
    std::size_t nextLo = next(lo, i);
    std::size_t nextUp = lo == up ? npos : next(up, i);
    std::size_t known = i; // a character boundary at or before every candidate
    for (;;) {
        const std::size_t c = nextLo < nextUp ? nextLo : nextUp;
        if (c == npos)
            return npos;
        if (c == nextLo)
            nextLo = next(lo, c + 1);
        else
            nextUp = next(up, c + 1);
        // the second byte differs even ignoring case: no match here, whatever c is
        if (sub.size() > 1 && asciiLower(s[c + 1]) != asciiLower(sub[1]))
            continue;
        if (sjisIsTrailFrom(s, known, c)) {
            known = c + 1; // the byte after a trail byte starts a character
            continue;
        }
        known = c;
        bool ok = true;
        std::size_t j = 0;
        while (j < sub.size()) {
            const std::size_t len = sjisCharLen(s, c + j);
            if (asciiLower(s[c + j]) != asciiLower(sub[j])) {
                ok = false;
                break;
            }
            if (len == 2 && j + 1 < sub.size() && s[c + j + 1] != sub[j + 1]) {
                ok = false;
                break;
            }
            j += len;
        }
        if (ok)
            return c;
    }
}
