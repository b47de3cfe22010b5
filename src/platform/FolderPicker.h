// The desktop's folder picker.
#pragma once

#include <QString>

#include <string>

// The caption the pages give the picker (UTF-8).
inline constexpr const char* kSelectFolderCaption = "フォルダの指定";

// Shows a modal folder picker titled Caption over the active window, opened on StartFolder
// (Shift_JIS) when it is not empty, and returns the chosen folder as Shift_JIS. Empty when
// the user cancels, and also when the chosen path has characters Shift_JIS cannot hold (the
// path with "?" in their place would name another folder); that choice is refused with a
// message that names the folder.
std::string SelectFolder(const QString& Caption, const std::string& StartFolder);

// The message of a chosen folder whose path Shift_JIS cannot hold.
QString UnnamableFolderText(const QString& Folder);
