// Small helpers shared by the WebGUI page's source files; not for use outside them.
#pragma once
#include <string>

class QString;
class TRichEdit;

namespace webgui_page {

QString q(const std::string &sjis);
std::string sj(const char *utf8);
bool fileExists(const std::string &sjisPath);
void showColoured(TRichEdit *pane, const std::string &sjis);
// Two names of one file, whatever their spelling ("./", "//", a link).
bool sameFile(const std::string &a, const std::string &b);

}  // namespace webgui_page
