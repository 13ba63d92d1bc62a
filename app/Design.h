#pragma once
// The main window's design values that its Designer file cannot hold.

namespace Ui {
class TfExecute;
}

namespace components {
class TForm;
class TResizer;
class TSGLight;
} // namespace components
namespace search {
class TSearcDir;
}

namespace app {

// After the Designer file's part: the frame, the pictures, the grid's own
// settings (rows of them) and its popup menu.
void DesignWindow(components::TForm& form, Ui::TfExecute& ui, int rows);

// The components that show nothing, owned by the form. The placement store
// takes over the form's OnShow, OnCloseQuery and OnDestroy, so it is made
// before the creation handler runs.
struct Components {
    components::TResizer* resizer;
    components::TSGLight* fonts;
};
Components MakeComponents(components::TForm& form, search::TSearcDir& search);

} // namespace app
