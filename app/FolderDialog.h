#pragma once
// The system's own folder chooser: the shell's folder browser on Windows,
// Qt's folder dialog elsewhere.

#include <QString>
#include <filesystem>
#include <optional>

class QWidget;

namespace app {

// A folder of this machine chosen by the user; nothing on cancel.
std::optional<std::filesystem::path> ChooseFolderNative(QWidget* owner, const QString& title);

} // namespace app
