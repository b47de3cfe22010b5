#include "platform/FolderPicker.h"

#include "platform/QtSjis.h"

#include <QApplication>
#include <QFileDialog>

std::string SelectFolder(const QString& Caption, const std::string& StartFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(QApplication::activeWindow(), Caption,
                                                             StartFolder.empty() ? QString() : fromSjis(StartFolder),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    const std::string sjis = toSjis(chosen);
    if (fromSjis(sjis) != chosen)
        return {};
    return sjis;
}
