// gtest shows a QString it cannot print as a list of two-byte objects, cut after 32: a failed
// comparison of texts is read as text instead. Every test program gets this header first.
#pragma once
#include <QString>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
