#include "app/Design.h"

#include <QCoreApplication>
#include <exception>

#include "app/ErrorReport.h"
#include "components/TForm.h"
#include "components/TResizer.h"
#include "components/TSGLight.h"
#include "components/TSearcDir.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "placement/TFormPlacement.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

void DesignGrid(components::TZelGrid& grid, int rows, QMenu* menu) {
    grid.SetColCount(2);
    grid.SetRowCount(rows);
    grid.SetColAlignment({u"0,Left"_s, u"1,Left"_s});
    grid.SetRowAuto(-1);
    grid.SetSelectionColor(components::clBlack);
    grid.SetSelPairsColor(components::clBlack);
    grid.SetSelCellsColor(components::clBlack);
    grid.SetSelRowsColor(components::clRed);
    grid.SetSelColsColor(components::clBlack);
    grid.SetPopupMenu(menu);
}

void DesignSearch(components::TSearcDir& search) {
    search.SetDevices({components::TypesDisk::tdPhysical});
    search.SetMasks("tvdorvky.ini");
    search.SetSubFolders(true);
    search.SetCheckContents(false);
    search.SetCaseSensetive(false);
    search.SetMessagePump([] { QCoreApplication::processEvents(); });
}

components::TResizer* MakeResizer(components::TForm& form) {
    auto* resizer = new components::TResizer(&form);
    resizer->setObjectName(u"Resizer1"_s);
    resizer->SetDesignScreenWidth(768);
    resizer->SetDesignScreenHeight(1024);
    resizer->SetDesignClientWidth(338);
    resizer->SetDesignClientHeight(310);
    resizer->SetResizeForm(false);
    resizer->SetActive(true);
    return resizer;
}

components::TSGLight* MakeFontStore(components::TForm& form) {
    // No owner control: the store keeps the window's own font.
    auto* store = new components::TSGLight(&form);
    store->setObjectName(u"SGLight1"_s);
    store->SetIniFile("ExecuteDorv");
    store->SetIniSection("Font");
    store->SetOptions({components::TSGLightOption::sgFont});
    store->SetActive(true);
    return store;
}

placement::TFormPlacement* MakePlacementStore(components::TForm& form) {
    auto* store = new placement::TFormPlacement(&form);
    store->setObjectName(u"FormPlacement1"_s);
    store->SetIniFileName("ExecuteDorv");
    store->SetIniSection("MainForm");
    store->SetOptions(placement::fpPosition | placement::fpActiveControl);
    store->SetUseRegistry(true);
    store->SetErrorReport([](const std::exception& e) { DefaultErrorReport(components::ToQ(e.what())); });
    store->Loaded();
    return store;
}

} // namespace app
