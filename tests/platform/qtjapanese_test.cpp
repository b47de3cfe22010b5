// Qt's own texts in Japanese, and file dialogs that open in the last folder chosen, else the
// home folder, never in the program's working folder.
#include "platform/QtJapanese.h"
#include "support/WaitUntil.h"
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(QtJapanese, QtsOwnDialogTextsAreJapanese)
{
    ASSERT_TRUE(InstallQtJapanese(*QCoreApplication::instance())) << "Qt's Japanese catalogue is not installed";
    const struct {
        const char *context, *text;
    } rows[] = {{"QFileDialog", "Look in:"}, {"QFileDialog", "&Open"}, {"QFileDialog", "&Choose"},
                {"QFileDialog", "%1 already exists.\nDo you want to replace it?"}, {"QPlatformTheme", "Cancel"}};
    for (const auto &r : rows) {
        const QString t = QCoreApplication::translate(r.context, r.text);
        EXPECT_NE(t, QString::fromLatin1(r.text)) << r.context << " " << r.text;
        EXPECT_TRUE(std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() >= 0x3000; })) << t.toStdString();
    }
}

TEST(QtJapanese, FileDialogsStartInTheLastFolderChosenElseHome)
{
    QTemporaryDir work, home, chosen;
    qputenv("HOME", home.path().toLocal8Bit());
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(work.path());
    InstallDialogFolderMemory(*QCoreApplication::instance());
    // What a page's dialog gets when it names no folder, or only a file name.
    const auto openDialog = [](const QString &proposal) {
        auto *d = new QFileDialog(nullptr, QString(), proposal);
        d->setOption(QFileDialog::DontUseNativeDialog);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->show();
        return d;
    };
    QFileDialog *first = openDialog(QString());
    EXPECT_TRUE(waitUntil([&] { return QDir(first->directory()).absolutePath() == QDir(home.path()).absolutePath(); }, 5000))
        << first->directory().absolutePath().toStdString();
    first->setDirectory(chosen.path());
    first->selectFile(chosen.filePath(QStringLiteral("a.txt")));
    static_cast<QDialog *>(first)->accept();

    QFileDialog *second = openDialog(QStringLiteral("proposed.txt"));
    EXPECT_TRUE(waitUntil([&] { return QDir(second->directory()).absolutePath() == QDir(chosen.path()).absolutePath(); }, 5000))
        << second->directory().absolutePath().toStdString();
    ASSERT_FALSE(second->selectedFiles().isEmpty());
    EXPECT_EQ(second->selectedFiles().first(), QDir(chosen.path()).filePath(QStringLiteral("proposed.txt")));
    second->reject();
    // A folder the caller names is kept.
    QTemporaryDir other;
    QFileDialog *named = openDialog(other.path());
    EXPECT_EQ(QDir(named->directory()).absolutePath(), QDir(other.path()).absolutePath());
    named->reject();
    QDir::setCurrent(oldCwd);
}
