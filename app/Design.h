#pragma once
// The main window's design values that its Designer file cannot hold: the
// grid's own settings and the components that show nothing.

class QMenu;
class QWidget;

namespace components {
class TForm;
class TResizer;
class TSGLight;
class TSearcDir;
class TZelGrid;
} // namespace components

namespace placement {
class TFormPlacement;
}

namespace app {

// The list's grid: two columns, rows rows, red marks, the popup menu.
void DesignGrid(components::TZelGrid& grid, int rows, QMenu* menu);
// The search for key files on the catalogue's drives.
void DesignSearch(components::TSearcDir& search);
// The rescaler, the font store and the placement store, owned by the form.
components::TResizer* MakeResizer(components::TForm& form);
components::TSGLight* MakeFontStore(components::TForm& form);
// It takes over the form's OnShow, OnCloseQuery and OnDestroy, so it comes
// before the creation handler runs.
placement::TFormPlacement* MakePlacementStore(components::TForm& form);

} // namespace app
