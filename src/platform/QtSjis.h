// The window edge of the text model: Qt speaks UTF-16, the program's text is Shift_JIS.
#pragma once
#include <QString>
#include <string>

QString fromSjis(const std::string &sjis);
std::string toSjis(const QString &text);
