#include "text/StrUtils.h"

#include "text/SjisBytes.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr auto npos = std::string_view::npos;

bool isFullWidthBlankAt(std::string_view s, std::size_t i)
{
    return i + 1 < s.size() && sjisByte(s, i) == 0x81 && sjisByte(s, i + 1) == 0x40;
}

int toPos(std::size_t idx)
{
    return idx == npos ? 0 : static_cast<int>(idx + 1);
}

template <typename Finder>
std::string replaceEach(const std::string& S, const std::string& From, const std::string& To, bool all,
                        Finder find)
{
    if (From.empty())
        return S;
    std::string out;
    std::size_t done = 0;
    std::size_t pos = 0;
    while (pos < S.size()) {
        const std::size_t c = find(S, From, pos);
        if (c == npos)
            break;
        if (done == 0)
            out.reserve(S.size() + (To.size() > From.size() ? 64 : 0));
        out.append(S, done, c - done);
        out += To;
        done = c + From.size();
        pos = done;
        if (!all)
            break;
    }
    if (done == 0)
        return S;
    out.append(S, done, npos);
    return out;
}

std::string asciiCase(std::string S, bool lower)
{
    std::size_t i = 0;
    while (i < S.size()) {
        const std::size_t len = sjisCharLen(S, i);
        if (len == 1)
            S[i] = lower ? asciiLower(S[i]) : asciiUpper(S[i]);
        i += len;
    }
    return S;
}

} // namespace

// --- shared helpers --------------------------------------------------------------------

std::string TrimLeft(std::string S)
{
    std::size_t i = 0;
    while (i < S.size() && sjisByte(S, i) <= 32)
        ++i;
    S.erase(0, i);
    return S;
}

std::string TrimRight(std::string S)
{
    std::size_t n = S.size();
    while (n > 0 && sjisByte(S, n - 1) <= 32)
        --n;
    S.resize(n);
    return S;
}

std::string Trim(std::string S)
{
    return TrimLeft(TrimRight(std::move(S)));
}

std::string LowerCase(std::string S)
{
    return asciiCase(std::move(S), true);
}

std::string UpperCase(std::string S)
{
    return asciiCase(std::move(S), false);
}

std::string ReplaceAllIgnoreCase(const std::string& S, const std::string& From, const std::string& To)
{
    return replaceEach(S, From, To, true, [](std::string_view s, std::string_view f, std::size_t p) {
        return sjisFindNoCase(s, f, p);
    });
}

std::string ReplaceAll(const std::string& S, const std::string& From, const std::string& To)
{
    return replaceEach(S, From, To, true,
                       [](std::string_view s, std::string_view f, std::size_t p) { return sjisFind(s, f, p); });
}

std::string ReplaceFirst(const std::string& S, const std::string& From, const std::string& To)
{
    return replaceEach(S, From, To, false,
                       [](std::string_view s, std::string_view f, std::size_t p) { return sjisFind(s, f, p); });
}

// --- searches --------------------------------------------------------------------------

int PosEx(const std::string& Sub, const std::string& S, int From)
{
    if (From < 0)
        From = 0;
    if (static_cast<std::size_t>(From) > S.size())
        return 0;
    std::size_t start = 0;
    if (From > 0) {
        const std::size_t at = static_cast<std::size_t>(From) - 1; // 0-based index of From
        start = at + 1;
        if (!isSjisTrailAt(S, at) && sjisCharLen(S, at) == 2)
            start = at + 2;
    }
    return toPos(sjisFind(S, Sub, start));
}

int PosFrom(const std::string& Sub, const std::string& S, int From)
{
    if (Sub.empty())
        return 0;
    if (From <= 1)
        return toPos(sjisFind(S, Sub));
    if (Sub.size() > S.size())
        return 0;
    const std::size_t start = static_cast<std::size_t>(From) - 1;
    if (start > S.size() - Sub.size())
        return 0;
    return toPos(std::string_view(S).find(Sub, start));
}

int PosText(const std::string& Sub, const std::string& S)
{
    return toPos(sjisFindNoCase(S, Sub));
}

// --- trims and blanks --------------------------------------------------------------------

std::string TrimLeftChar(std::string S, char C)
{
    std::size_t i = 0;
    while (i < S.size() && S[i] == C && sjisCharLen(S, i) == 1)
        ++i;
    S.erase(0, i);
    return S;
}

std::string TrimRightChar(std::string S, char C)
{
    // A trailing byte that is the second half of a character (e.g. the 0x5C of "ソ") stays.
    std::size_t n = S.size();
    while (n > 0 && S[n - 1] == C && !isSjisTrailAt(std::string_view(S).substr(0, n), n - 1))
        --n;
    S.resize(n);
    return S;
}

std::string TrimChar(std::string S, char C)
{
    if (S.empty())
        return S;
    return TrimLeftChar(TrimRightChar(std::move(S), C), C);
}

std::string TrimLeftWideSpaces(const std::string& S)
{
    std::size_t i = 0;
    for (;;) {
        if (i < S.size() && S[i] == ' ')
            i += 1;
        else if (isFullWidthBlankAt(S, i))
            i += 2;
        else
            break;
    }
    return S.substr(i);
}

std::string TrimWideSpaces(const std::string& S)
{
    const std::string t = Trim(S);
    std::string_view v(t);
    for (;;) {
        if (!v.empty() && v.front() == ' ')
            v.remove_prefix(1);
        else if (isFullWidthBlankAt(v, 0))
            v.remove_prefix(2);
        else
            break;
    }
    for (;;) {
        const std::size_t n = v.size();
        if (n > 0 && v.back() == ' ')
            v.remove_suffix(1);
        else if (n >= 2 && isFullWidthBlankAt(v, n - 2) && !isSjisTrailAt(v, n - 2))
            v.remove_suffix(2);
        else
            break;
    }
    return std::string(v);
}

std::string CollapseSpaces(const std::string& S)
{
    const std::string t = Trim(S);
    std::string out;
    out.reserve(t.size());
    bool inRun = false;
    std::size_t i = 0;
    while (i < t.size()) {
        const std::size_t len = sjisCharLen(t, i);
        const bool blank = (len == 1 && t[i] == ' ') || (len == 2 && isFullWidthBlankAt(t, i));
        if (blank) {
            if (!inRun)
                out += ' ';
            inRun = true;
        } else {
            out.append(t, i, len);
            inRun = false;
        }
        i += len;
    }
    return out;
}

std::string NormalizeSpaces(const std::string& S, int Mode)
{
    std::string t = TrimWideSpaces(Trim(S));
    if (t.empty())
        return t;
    t = CollapseSpaces(t);
    if (Mode == 1)
        std::replace(t.begin(), t.end(), ' ', ',');
    return t;
}

// --- numbers ---------------------------------------------------------------------------

std::string IntToZeroPadded(int N, int Width)
{
    std::string digits = std::to_string(N);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (static_cast<int>(digits.size()) < Width)
        digits.insert(negative ? 1 : 0, static_cast<std::size_t>(Width) - digits.size(), '0');
    return digits;
}

std::string IntToSpacePadded(int N, int Width)
{
    std::string digits = std::to_string(N);
    if (static_cast<int>(digits.size()) < Width)
        digits.insert(0, static_cast<std::size_t>(Width) - digits.size(), ' ');
    return digits;
}

// --- markers and blocks ----------------------------------------------------------------

std::string TextBetween(const std::string& S, const std::string& Left, const std::string& Right)
{
    const std::size_t l = sjisFind(S, Left);
    if (l == npos)
        return {};
    const int leftLast = static_cast<int>(l + Left.size()); // 1-based position of Left's last byte
    const int r = PosEx(Right, S, leftLast);
    if (r == 0)
        return {};
    return S.substr(l + Left.size(), static_cast<std::size_t>(r - 1) - (l + Left.size()));
}

std::string DeleteBetween(const std::string& S, const std::string& Left, const std::string& Right)
{
    std::string t = S;
    if (Left.empty() || Right.empty())
        return t;
    std::size_t from = 0;
    for (;;) {
        const std::size_t l = sjisFind(t, Left, from);
        if (l == npos)
            break;
        // Right may overlap the last byte of Left.
        const std::size_t r = sjisFind(t, Right, l + Left.size() - 1);
        if (r == npos)
            break;
        t.erase(l, r + Right.size() - l);
        // A Left can be formed across the seam, so look again from just before it.
        from = l >= Left.size() ? l - Left.size() + 1 : 0;
    }
    return t;
}

std::string ExpandTab(const std::string& S, int Column)
{
    const std::size_t tab = S.find('\t');
    if (tab == npos)
        return S;
    const int before = static_cast<int>(tab);
    int blanks = 0;
    if (Column >= before)
        blanks = std::max(0, Column - before - 1);
    else
        blanks = 3;
    std::string out = S.substr(0, tab);
    out.append(static_cast<std::size_t>(blanks), ' ');
    out.append(S, tab + 1, npos);
    return out;
}

std::string GetIndentSpaces(const std::string& S)
{
    const int limit = static_cast<int>(S.size()) - 2;
    for (int i = 0; i < limit; ++i) {
        if (S[static_cast<std::size_t>(i)] != ' ')
            return std::string(static_cast<std::size_t>(i) + 1, ' ');
    }
    return {};
}

// --- counts and positions --------------------------------------------------------------

int CountSlashes(const std::string& S)
{
    return static_cast<int>(std::count(S.begin(), S.end(), '/'));
}

int CountTagStarts(const std::string& S)
{
    return static_cast<int>(std::count(S.begin(), S.end(), '<'));
}

int LastSlashPosB(const std::string& S)
{
    return toPos(S.rfind('/'));
}
