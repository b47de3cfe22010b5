// The settings file of the main window: one table of {section, key, type, binding, rule}
// drives loading, saving and the tests, so a key is added or changed in one row.
#pragma once
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class TAMainForm;

enum class IniType { String, Integer, Boolean };

// What happens to a value read from the file before it reaches its control.
enum class IniRule {
    None,
    FileMustExist,     // a non-empty name of a missing file reads as empty
    FolderMustExist,   // a non-empty name of a missing folder reads as empty
    PositiveElse,      // a value above 0 applies, anything else gives `fallback`
    PositiveOnly,      // a value above 0 applies, anything else leaves the control alone
};

struct SettingKey {
    const char *section;
    const char *key;
    IniType type;
    IniRule rule;
    int fallback;   // for PositiveElse
    bool readable;  // false: written only
    // The value as written: Shift_JIS text, a decimal number, or "1"/"0".
    std::function<std::string()> get;
    // Applies a value that has passed the rule (same forms as get).
    std::function<void(const std::string &)> set;
};

// Every key of the settings file bound to the window's controls and globals, in the order
// they are written. Loading reads them in the same order, which keeps the one dependency
// between keys: [Individual] Folder falls back to [PageHTML] Folder, read before it.
std::vector<SettingKey> settingKeys(TAMainForm &form);

// Applies the settings file to the window when it exists; then, in every case, copies the
// download page's URL to the batch download URL.
void LoadIniSettings(TAMainForm &form, const std::string &FileName);
// Writes every key in one replacement of the file. False when the file could not be
// written (the old file is then untouched); *error receives the reason.
bool SaveIniSettings(TAMainForm &form, const std::string &FileName, std::string *error = nullptr);
// SaveIniSettings that tells the user about a failed write in a message box.
bool SaveIniSettingsReported(TAMainForm &form, const std::string &FileName);

// URL histories: the items of a combo box under keys Section + index.
// Nothing happens when IniFile or Section is empty. False when a write failed (reported).
bool ComoBoxSaveToINI(const std::string &IniFile, const std::string &Section, QComboBox *ComboBox, int Reserved = 0);
void ComoBoxLoadFromINI(const std::string &IniFile, const std::string &Section, QComboBox *ComboBox, int Reserved = 0);
void ComoBoxClearToINI(const std::string &IniFile, const std::string &Section);

// Head := the text before the first Delimiter, Rest := the text after it; without a
// Delimiter Head := Rest and Rest := "".
void SplitAtDelimiter(const std::string &Delimiter, std::string &Rest, std::string &Head);

// The source viewer's remembered place ("FormSource": Top, Left, Width, Height).
struct FormPlace {
    int top = 0, left = 0, width = 0, height = 0;
};
// False when the settings file is not named or does not exist.
bool ReadFormSourcePlace(const std::string &IniFile, FormPlace &place);
bool WriteFormSourcePlace(const std::string &IniFile, const FormPlace &place);
