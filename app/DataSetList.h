#pragma once
// The data-set list in the main window's grid: a name and a key file per row,
// marks on the rows that name no usable key file, and the three files that
// keep it between runs ("column1.txt", "column2.txt" and "selected.txt" in
// the working directory).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ActiveSet.h"
#include "app/StoredState.h"

class QWidget;

namespace components {
class TZelGrid;
} // namespace components
namespace search {
class TSearcDir;
}

namespace app {

class CatalogueFiles;

bool IsRowMarked(components::TZelGrid& grid, int row);
void ToggleMark(components::TZelGrid& grid, int row);
// Empties the row and drops its mark.
void DeleteRow(components::TZelGrid& grid, int row);

// How a fill ended.
enum class FillEnd { Done, Stopped, NotInstalled };

// Fills the grid afresh from the drives the catalogue's INI file lists (in
// the place the catalogue reads): each drive's key file, or the drive marked
// with what went wrong. The row being searched shows how far the search has
// got. When stop turns true during a search, that row is marked as
// interrupted and no later drive is searched. Without the INI file in the
// Windows directory the user is told and nothing changes. The digests of the
// key files found replace those kept.
FillEnd FillFromDrives(QWidget* owner, components::TZelGrid& grid, search::TSearcDir& search,
                       const CatalogueFiles& files, const bool& stop);

// Copies the key file over the active one, where the catalogue reads it;
// true when it got there. A key file that is missing says nothing here (the
// row's hint shows it); one that is there but could not be copied is told,
// with the place, the reason and what to do.
// The digest of the copied bytes is kept for the source.
bool ActivateKeyFile(QWidget* owner, const std::string& source, const CatalogueFiles& files);

// The digest of a file's bytes; nothing when it cannot be read.
std::optional<std::string> KeyFileDigest(const std::string& path);
// Keeps the digest of the file for its path beside the others; the bytes are
// read from readFrom when given (where a copy of them went).
void RememberKeyFile(const std::string& path, const std::string& readFrom = {});
// The row holding the key file the catalogue reads now, by the digests kept;
// reads no data-set drive.
ActiveRow CheckActiveRow(components::TZelGrid& grid, const CatalogueFiles& files, std::string_view storedName);

// Fills the grid from the files. False when a file is there but could not be
// read: the list then is not the one stored, and must not be saved over it.
bool LoadList(components::TZelGrid& grid);
// Writes the grid's columns and marks, each file on its own; the files that
// could not be written, with the reasons.
std::vector<SaveFailure> SaveList(components::TZelGrid& grid);
// Removes the files, so the next list starts afresh.
void DeleteListFiles();

} // namespace app
