// Every file under a folder, as paths relative to it and sorted, the save manifest left out:
// what a download run left on disk.
#pragma once
#include <QDirIterator>
#include <QString>
#include <QStringList>

inline QStringList filesUnder(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (!f.endsWith(QStringLiteral(".vornkym-files"))) out << f.mid(dir.size());
    }
    out.sort();
    return out;
}
