#include "app/FolderDialog.h"

#include <QFileDialog>

namespace app {

std::optional<std::filesystem::path> ChooseFolderNative(QWidget* owner, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(owner, title);
    if (folder.isEmpty()) return std::nullopt;
    return std::filesystem::path(folder.toStdU16String());
}

} // namespace app
