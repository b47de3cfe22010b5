// The settings file: a private-profile (INI) file of Shift_JIS bytes with CRLF line ends.
// Section headers "[name]", lines "key=value"; section and key names match with ASCII letter
// case ignored. A missing key reads as the caller's default, an integer that is no number as
// the default too, a boolean as an integer (non-zero is true). The file is opened for each
// operation and nothing is cached between operations. Writes go to a temporary file beside
// the target that then replaces it, so a failed write leaves the old file whole.
#pragma once
#include <functional>
#include <string>
#include <vector>

// The parsed lines of one file, edited in memory.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(const std::string &bytes) { parse(bytes); }
    void parse(const std::string &bytes);
    // The file's bytes: every line ended by CR LF.
    std::string text() const;

    bool hasKey(const std::string &section, const std::string &key) const;
    std::string value(const std::string &section, const std::string &key, const std::string &def) const;
    // Sets the value, replacing the key's line in place or appending it to its section (the
    // section is appended to the file when missing). CR and LF in the value become blanks:
    // a value is one line.
    void setValue(const std::string &section, const std::string &key, const std::string &value);
    void eraseSection(const std::string &section);
    bool hasSection(const std::string &section) const;
    // The section's non-blank lines as they stand ("key=value"), in file order.
    std::vector<std::string> sectionLines(const std::string &section) const;

private:
    // Index of the header line of a section, or -1.
    int findSection(const std::string &section) const;
    // One past the last line of the section whose header is at index h.
    int sectionEnd(int h) const;
    int findKey(const std::string &section, const std::string &key) const;
    std::vector<std::string> lines_;
};

// "12", " -3 " -> the number; anything else (empty, "12a", out of range) -> def.
int IniParseInt(const std::string &text, int def);

class TIniFile {
public:
    // FileName is a Shift_JIS path.
    explicit TIniFile(std::string FileName) : fileName_(std::move(FileName)) {}
    const std::string &fileName() const { return fileName_; }

    bool exists() const;
    // The file as it is now; empty when it is missing or unreadable.
    IniDocument read() const;

    std::string ReadString(const std::string &Section, const std::string &Ident, const std::string &Default = {}) const;
    int ReadInteger(const std::string &Section, const std::string &Ident, int Default = 0) const;
    bool ReadBool(const std::string &Section, const std::string &Ident, bool Default = false) const;
    std::vector<std::string> ReadSectionValues(const std::string &Section) const;

    // Each write reads the file, changes it and replaces it whole. False on failure, with
    // lastError() telling why; the file is then as it was.
    bool WriteString(const std::string &Section, const std::string &Ident, const std::string &Value);
    bool WriteInteger(const std::string &Section, const std::string &Ident, int Value);
    bool WriteBool(const std::string &Section, const std::string &Ident, bool Value);
    bool EraseSection(const std::string &Section);
    // Several changes in one replacement of the file: either all of them land or none.
    bool update(const std::function<void(IniDocument &)> &change);

    // Shift_JIS text of the last failure; empty after a success.
    const std::string &lastError() const { return lastError_; }

private:
    std::string fileName_;
    std::string lastError_;
};
