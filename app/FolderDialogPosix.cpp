#include "app/FolderDialog.h"

#include <QFileDialog>

#include "components/Text.h"

namespace app {

using components::ToPath;

std::optional<std::filesystem::path> ChooseFolderNative(QWidget* owner, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(owner, title);
    if (folder.isEmpty()) return std::nullopt;
    return ToPath(folder);
}

} // namespace app
