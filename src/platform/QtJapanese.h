// Qt's own texts in Japanese (dialog captions, buttons, its error messages), and file and
// folder dialogs that open in the last folder the user chose in one, else the home folder,
// instead of the program's working folder.
#pragma once

class QCoreApplication;

// Loads Qt's Japanese catalogue from the system's translations; false when it is missing.
bool InstallQtJapanese(QCoreApplication &App);
// From now on, a file dialog that would open in the working folder (its caller named no
// folder) opens in the last folder chosen in a file dialog, else the home folder.
void InstallDialogFolderMemory(QCoreApplication &App);
