// The local names of a page: its base web folder (the path after the host up to its last
// "/"), the page's local file name, and the fields of a single download. Pure text rules;
// the window applies the results to its boxes.
#pragma once
#include <optional>
#include <string>

// The position (1-based) of the "/" that ends the host, whatever the host's length: after
// "scheme://" when the text has one, else the first "/". 0 when there is none.
int HostEndPos(const std::string &W);

// True when the name has an extension: a "." after the last "\", "/" or ":".
bool HasFileExtension(const std::string &Name);

struct MainBaseDirNames {
    bool Spread = false;                   // the URL box's text goes to the other pages' boxes
    std::optional<std::string> BaseWebDir; // set when the box changes
    std::optional<std::string> LocalName;
    std::optional<std::string> Label;      // LabelDownloadedFile
    bool RelativeUpToOne = false;          // RadioGroupRemoveRelativeUp := 1
};
// CurrentLocalName: the local name box as it stands before the call.
MainBaseDirNames MainBaseDirNamesOf(const std::string &Url, const std::string &CurrentLocalName);

struct FrameNames {
    std::optional<std::string> BaseWebDir;
    bool CopyPageUrl = false; // EditPageUrl and ComboBoxDirectUrl receive the URL box's text
    std::optional<std::string> LocalName;
    std::optional<std::string> Label;
    std::string LocalFolder; // "a/b/", empty without a folder part
};
FrameNames FrameNamesOf(const std::string &Url, const std::string &CurrentLocalName);

struct SingleDownloadNames {
    bool Changed = false;
    std::string WebFile;    // LabelWebFile and EditDownloadLWebFileIndividual
    std::string LocalPath;  // BtnEditDownloadLocalFileIndividual
};
SingleDownloadNames SingleDownloadNamesOf(const std::string &Url, const std::string &SaveFolder);

// The file-name rules the three share: ":" to "!" (outside "http://", "https://" and ":\"),
// doubled backslashes made single, "index.html" after a trailing "\", "&amp;" to "&", and the
// name cut before ".asp".
std::string PageFileNameRules(std::string F);
