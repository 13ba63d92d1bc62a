#include "app/Design.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <exception>

#include "app/ErrorReport.h"
#include "app/Pictures.h"
#include "components/TForm.h"
#include "components/TResizer.h"
#include "components/TSGLight.h"
#include "components/Text.h"
#include "placement/TFormPlacement.h"
#include "search/TSearcDir.h"
#include "ui_TfExecute.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

void DesignWindow(components::TForm& form, Ui::TfExecute& ui, int rows) {
    form.setWindowTitle(ApplicationTitle());
    form.setWindowIcon(Picture(u"icon"));
    form.SetBorderStyle(components::TFormBorderStyle::bsSizeable);
    form.SetBorderIcons(components::biSystemMenu | components::biMinimize);
    form.SetKeyPreview(true);
    form.move(361, 233);

    components::TZelGrid& grid = *ui.sg1;
    grid.SetColCount(2);
    grid.SetRowCount(rows);
    grid.SetColAlignment({u"0,Left"_s, u"1,Left"_s});
    grid.SetRowAuto(-1);
    grid.SetSelectionColor(components::clBlack);
    grid.SetSelPairsColor(components::clBlack);
    grid.SetSelCellsColor(components::clBlack);
    grid.SetSelRowsColor(components::clRed);
    grid.SetSelColsColor(components::clBlack);
    grid.SetPopupMenu(ui.PopupMenu1);

    // Its hint keeps the lines as the tooltip shows them, ended by CR LF,
    // which a Designer file cannot hold.
    ui.Image1->setProperty("Hint", ui.Image1->toolTip().replace(u'\n', u"\r\n"_s));
    // The pictures come in every scale a screen may ask for.
    ui.Image1->setPixmap(Picture(u"setup").pixmap(QSize(102, 72)));
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>())
        if (const QString name = button->property("Picture").toString(); !name.isEmpty())
            button->setIcon(Picture(name));
}

Components MakeComponents(components::TForm& form, search::TSearcDir& search) {
    search.SetDevices({search::TypesDisk::tdPhysical});
    search.SetMasks("tvdorvky.ini");
    search.SetSubFolders(true);
    search.SetCheckContents(false);
    search.SetCaseSensetive(false);
    search.SetMessagePump([] { QCoreApplication::processEvents(); });

    auto* resizer = new components::TResizer(&form);
    resizer->setObjectName(u"Resizer1"_s);
    resizer->SetDesignScreenWidth(768);
    resizer->SetDesignScreenHeight(1024);
    resizer->SetDesignClientWidth(338);
    resizer->SetDesignClientHeight(310);
    resizer->SetResizeForm(false);
    resizer->SetActive(true);

    // No owner control: the store keeps the window's own font.
    auto* fonts = new components::TSGLight(&form);
    fonts->setObjectName(u"SGLight1"_s);
    fonts->SetIniFile("ExecuteDorv");
    fonts->SetIniSection("Font");
    fonts->SetOptions({components::TSGLightOption::sgFont});
    fonts->SetActive(true);

    auto* placement = new placement::TFormPlacement(&form);
    placement->setObjectName(u"FormPlacement1"_s);
    placement->SetIniFileName("ExecuteDorv");
    placement->SetIniSection("MainForm");
    placement->SetOptions(placement::fpPosition | placement::fpActiveControl);
    placement->SetUseRegistry(true);
    placement->SetErrorReport([](const std::exception& e) { DefaultErrorReport(components::ToQ(e.what())); });
    placement->Loaded();
    return {resizer, fonts};
}

} // namespace app
