#include "platform/QtJapanese.h"
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

bool InstallQtJapanese(QCoreApplication &App)
{
    auto *t = new QTranslator(&App);
    // "qt_ja" gathers the catalogues of the Qt modules (qtbase_ja and the others).
    if (!t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    App.installTranslator(t);
    return true;
}

namespace {
class DialogFolderMemory : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            if (auto *d = qobject_cast<QFileDialog *>(o); d && !d->property("vkFolderSeen").toBool()) adopt(d);
        return QObject::eventFilter(o, e);
    }

private:
    void adopt(QFileDialog *d)
    {
        d->setProperty("vkFolderSeen", true);
        const QString cwd = QDir::current().absolutePath();
        const QString start = last_.isEmpty() || !QFileInfo(last_).isDir() ? QDir::homePath() : last_;
        if (QDir(d->directory()).absolutePath() == cwd && cwd != start) {
            // A bare file name the caller proposed stays proposed, in the new folder.
            QStringList names;
            for (const QString &f : d->selectedFiles())
                if (QFileInfo(f).absolutePath() == cwd && !QFileInfo(f).isDir()) names << QFileInfo(f).fileName();
            d->setDirectory(start);
            for (const QString &n : names) d->selectFile(n);
        }
        QPointer<QFileDialog> dialog(d);
        connect(d, &QDialog::accepted, this, [this, dialog] {
            if (!dialog) return;
            const QStringList chosen = dialog->selectedFiles();
            if (chosen.isEmpty()) return;
            const QFileInfo fi(chosen.first());
            last_ = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
        });
    }
    QString last_;
};
} // namespace

void InstallDialogFolderMemory(QCoreApplication &App)
{
    App.installEventFilter(new DialogFolderMemory(&App));
}
