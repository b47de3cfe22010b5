#include "platform/FolderPicker.h"

#include "platform/QtSjis.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

QString UnnamableFolderText(const QString& Folder)
{
    return QStringLiteral("フォルダ名に Shift_JIS で表せない文字が含まれているため、このフォルダは使えません\r\n\r\n【 ") +
           Folder + QStringLiteral(" 】");
}

std::string SelectFolder(const QString& Caption, const std::string& StartFolder)
{
    QWidget* owner = QApplication::activeWindow();
    const QString chosen = QFileDialog::getExistingDirectory(owner, Caption,
                                                             StartFolder.empty() ? QString() : fromSjis(StartFolder),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    const std::string sjis = toSjis(chosen);
    if (fromSjis(sjis) != chosen) {
        // Unlike a cancel, the user chose something: say why it is not taken.
        QMessageBox::warning(owner, Caption, UnnamableFolderText(QDir::toNativeSeparators(chosen)));
        return {};
    }
    return sjis;
}
