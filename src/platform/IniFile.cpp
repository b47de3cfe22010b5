#include "platform/IniFile.h"
#include "text/FileUtils.h"
#include "text/SjisBytes.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string trimBlanks(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// The name of a header line "[name]", or false when the line is no header. The closing
// bracket is searched byte-wise aware of double-byte characters, whose second byte may be "]".
bool headerName(const std::string &line, std::string &name)
{
    const std::string t = trimBlanks(line);
    if (t.empty() || t[0] != '[') return false;
    for (size_t i = 1; i < t.size(); i += sjisCharLen(t, i)) {
        if (t[i] == ']') {
            name = trimBlanks(t.substr(1, i - 1));
            return true;
        }
    }
    name = trimBlanks(t.substr(1));
    return true;
}

// Key of a "key=value" line ("=" is never the second byte of a double-byte character).
bool lineKey(const std::string &line, std::string &key, std::string *value = nullptr)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = trimBlanks(line.substr(0, eq));
    if (value) {
        std::string v = trimBlanks(line.substr(eq + 1));
        // A value wrapped in matching quotes reads without them.
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        *value = v;
    }
    return true;
}

bool blank(const std::string &line)
{
    return trimBlanks(line).empty();
}

} // namespace

void IniDocument::parse(const std::string &bytes)
{
    lines_.clear();
    std::string cur;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines_.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c != '\0') {
            cur += c;
        }
    }
    if (!cur.empty()) lines_.push_back(cur);
}

std::string IniDocument::text() const
{
    std::string out;
    for (const std::string &l : lines_) out += l + "\r\n";
    return out;
}

int IniDocument::findSection(const std::string &section) const
{
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (headerName(lines_[i], name) && sameName(name, section)) return static_cast<int>(i);
    return -1;
}

int IniDocument::sectionEnd(int h) const
{
    std::string name;
    size_t i = static_cast<size_t>(h) + 1;
    while (i < lines_.size() && !headerName(lines_[i], name)) ++i;
    return static_cast<int>(i);
}

int IniDocument::findKey(const std::string &section, const std::string &key) const
{
    const int h = findSection(section);
    if (h < 0) return -1;
    const int end = sectionEnd(h);
    std::string k;
    for (int i = h + 1; i < end; ++i)
        if (lineKey(lines_[static_cast<size_t>(i)], k) && sameName(k, key)) return i;
    return -1;
}

bool IniDocument::hasSection(const std::string &section) const
{
    return findSection(section) >= 0;
}

bool IniDocument::hasKey(const std::string &section, const std::string &key) const
{
    return findKey(section, key) >= 0;
}

std::string IniDocument::value(const std::string &section, const std::string &key, const std::string &def) const
{
    const int i = findKey(section, key);
    if (i < 0) return def;
    std::string k, v;
    lineKey(lines_[static_cast<size_t>(i)], k, &v);
    return v;
}

void IniDocument::setValue(const std::string &section, const std::string &key, const std::string &value)
{
    std::string v = value;
    for (char &c : v)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    const std::string line = key + "=" + v;
    const int i = findKey(section, key);
    if (i >= 0) {
        lines_[static_cast<size_t>(i)] = line;
        return;
    }
    int h = findSection(section);
    if (h < 0) {
        lines_.push_back("[" + section + "]");
        lines_.push_back(line);
        return;
    }
    // After the section's last non-blank line, so blank lines between sections stay put.
    int at = sectionEnd(h);
    while (at > h + 1 && blank(lines_[static_cast<size_t>(at - 1)])) --at;
    lines_.insert(lines_.begin() + at, line);
}

void IniDocument::eraseSection(const std::string &section)
{
    for (int h = findSection(section); h >= 0; h = findSection(section))
        lines_.erase(lines_.begin() + h, lines_.begin() + sectionEnd(h));
}

std::vector<std::string> IniDocument::sectionLines(const std::string &section) const
{
    std::vector<std::string> out;
    const int h = findSection(section);
    if (h < 0) return out;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i)
        if (!blank(lines_[static_cast<size_t>(i)])) out.push_back(trimBlanks(lines_[static_cast<size_t>(i)]));
    return out;
}

int IniParseInt(const std::string &text, int def)
{
    const std::string t = trimBlanks(text);
    if (t.empty()) return def;
    size_t i = 0;
    bool neg = false;
    if (t[0] == '+' || t[0] == '-') {
        neg = t[0] == '-';
        i = 1;
    }
    if (i >= t.size()) return def;
    long long n = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return def;
        n = n * 10 + (t[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) return def;
    }
    if (neg) n = -n;
    if (n < INT_MIN || n > INT_MAX) return def;
    return static_cast<int>(n);
}

bool TIniFile::exists() const
{
    struct stat st {};
    return !fileName_.empty() && ::stat(ToSystemPath(fileName_).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

IniDocument TIniFile::read() const
{
    if (fileName_.empty()) return {};
    std::ifstream in(ToSystemPath(fileName_), std::ios::binary);
    if (!in) return {};
    return IniDocument(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

std::string TIniFile::ReadString(const std::string &Section, const std::string &Ident, const std::string &Default) const
{
    return read().value(Section, Ident, Default);
}

int TIniFile::ReadInteger(const std::string &Section, const std::string &Ident, int Default) const
{
    return IniParseInt(read().value(Section, Ident, std::string()), Default);
}

bool TIniFile::ReadBool(const std::string &Section, const std::string &Ident, bool Default) const
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

std::vector<std::string> TIniFile::ReadSectionValues(const std::string &Section) const
{
    return read().sectionLines(Section);
}

bool TIniFile::WriteString(const std::string &Section, const std::string &Ident, const std::string &Value)
{
    return update([&](IniDocument &d) { d.setValue(Section, Ident, Value); });
}

bool TIniFile::WriteInteger(const std::string &Section, const std::string &Ident, int Value)
{
    return WriteString(Section, Ident, std::to_string(Value));
}

bool TIniFile::WriteBool(const std::string &Section, const std::string &Ident, bool Value)
{
    return WriteString(Section, Ident, Value ? "1" : "0");
}

bool TIniFile::EraseSection(const std::string &Section)
{
    return update([&](IniDocument &d) { d.eraseSection(Section); });
}

bool TIniFile::update(const std::function<void(IniDocument &)> &change)
{
    lastError_.clear();
    if (fileName_.empty()) {
        lastError_ = "no file name";
        return false;
    }
    const std::string sys = ToSystemPath(fileName_);
    struct stat st {};
    const bool existed = ::stat(sys.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode)) {
        lastError_ = "not a file";
        return false;
    }
    // A read-only settings file stays as it is, as the system would keep it.
    if (existed && ::access(sys.c_str(), W_OK) != 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    IniDocument doc;
    if (existed) {
        std::ifstream in(sys, std::ios::binary);
        if (!in) {
            lastError_ = std::strerror(errno);
            return false;
        }
        doc.parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    change(doc);
    const std::string bytes = doc.text();

    std::string tmp;
    const int fd = OpenTempFileBeside(sys, tmp);
    if (fd < 0) {
        lastError_ = std::strerror(errno);
        return false;
    }
    if (existed) ::fchmod(fd, st.st_mode & 07777);
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (ok) lastError_.clear(); else lastError_ = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        ok = false;
        lastError_ = std::strerror(errno);
    }
    if (ok && ::rename(tmp.c_str(), sys.c_str()) != 0) {
        ok = false;
        lastError_ = std::strerror(errno);
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}
