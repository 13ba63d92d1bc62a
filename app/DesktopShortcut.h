#pragma once
// A shortcut on the user's desktop that starts a data set: this program with
// "--activate NAME" in its working folder. A ".desktop" file on Linux, a
// ".lnk" on Windows.

#include <filesystem>
#include <string>
#include <vector>

#include "host/Status.h"

class QWidget;

namespace components {
class TZelGrid;
}

namespace app {

// Makes the shortcut "<name> — Дорв" running this program with the
// arguments in the working folder, replacing one of the same file name;
// the file it made.
host::Result<std::filesystem::path> MakeDesktopShortcut(const std::string& name,
                                                        const std::vector<std::string>& arguments);

// The popup menu's item: a shortcut to the row's data set, and a box that
// says where it was made, or why not.
void MakeDataSetShortcut(QWidget* owner, components::TZelGrid& grid, int row);

} // namespace app
