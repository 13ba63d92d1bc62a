#pragma once
// The main window's rules that need no widget: what it reads from the
// catalogue's drive list, how it settles the Windows directory, how it names
// a data set and lays out its grid, and where the row marks go when a saved
// list loses its empty lines.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

// "Drive_Max" and the "DriveN" entries by N (the first of a name, as a read
// of it finds), from one read of the section.
struct DriveList {
    int count = 0;
    std::map<int, std::string> drives;
};
DriveList ReadDriveList(std::vector<std::pair<std::string, std::string>> values);

// The folder key files go to: the system directory's parent, "\" included.
std::string DerivedTargetDir(std::string_view systemDir);
// Whether that folder is the Windows directory, with or without a final "\".
bool IsWindowsDirectory(std::string_view targetDir, std::string_view windowsDir);

// The data set's name: the folder that holds its key file.
std::string DataSetName(std::string_view keyFilePath);

// Folder + "\" + name, with no second "\" when the folder ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);

// Grid layout of the resize handler: column 0 width, column 1 width and row
// height for a grid of outer size w x h with rows rows.
struct GridLayout {
    int col0 = 0;
    int col1 = 0;
    int rowHeight = 0;
};
GridLayout ComputeGridLayout(int w, int h, int rows);

// The mark of a row (",N").
std::string RowMark(int row);

// Where each line of a column file went: its row, or -1 for an empty line
// or one beyond the grid.
using LineRows = std::vector<int>;

// The saved files keep one line per row and the marks name rows, so when
// empty lines are dropped at load a mark moves with the line of its row:
// with the name, else with the path. A mark of a row whose lines were both
// empty marked no data set and goes; marks the grid would not match as a row
// mark (",03", ", 3", ",+3") stay as they are.
std::vector<std::string> FollowLines(const std::vector<std::string>& marks, const LineRows& names,
                                     const LineRows& paths);

} // namespace app
