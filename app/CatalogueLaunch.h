#pragma once
// What a launch button does before the start, shared with the command line:
// the program must be in the installation folder, and "MultiScreen" = 1 is
// written where the catalogue reads its INI file.

#include <optional>
#include <string>

class QWidget;

namespace app {

class CatalogueFiles;

struct PreparedLaunch {
    std::string path;           // the program, "\" always inserted after the folder
    bool settingWritten = true; // false: told in a box, the start goes on
};

// Nothing when the program is missing (told in a box); else the path to
// start.
std::optional<PreparedLaunch> PrepareLaunch(QWidget* owner, const std::string& installFolder,
                                            const std::string& program, const CatalogueFiles& files);

} // namespace app
