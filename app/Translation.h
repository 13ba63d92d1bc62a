#pragma once
// Qt's standard dialogs (file, folder, font, message box buttons) in Russian,
// from the translation built into the program.

class QCoreApplication;

namespace app {

// Installs the embedded translation in the application; false when it could
// not be loaded (the dialogs then speak English).
bool InstallQtTranslation(QCoreApplication& application);

} // namespace app
