// Reading and writing a test's files on disk; a missing file reads as "<missing>" so a
// comparison names what is wrong.
#pragma once
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

inline std::string readFile(const QString &p)
{
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

inline void writeFile(const QString &p, std::string_view bytes)
{
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), qint64(bytes.size()));
}
