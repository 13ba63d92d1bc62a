#include "app/DesktopShortcut.h"

#include "app/CommandLine.h"
#include "app/DataSetList.h"
#include "app/Dialogs.h"
#include "app/ShortcutRules.h"
#include "components/TZelGrid.h"
#include "components/Text.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;
using components::ToStd;

void MakeDataSetShortcut(QWidget* owner, components::TZelGrid& grid, int row) {
    const std::string name = ToStd(grid.Cells(0, row));
    // Only a row a click would activate: the shortcut would fail otherwise.
    if (name.empty() || grid.Cells(1, row).isEmpty() || IsRowMarked(grid, row)) {
        InfoBox(owner,
                u"Ярлык делается для набора данных: выберите строку с его именем и файлом ключа, "
                u"не отмеченную красным."_s);
        return;
    }
    const auto made = MakeDesktopShortcut(name, ActivateArguments(name));
    if (!made) {
        ErrorBox(owner, u"Ярлык «"_s + ToQ(ShortcutTitle(name)) + u"» не создан: "_s + ToQ(made.Why().Reason()));
        return;
    }
    InfoBox(owner, u"Ярлык «"_s + ToQ(ShortcutTitle(name)) + u"» на рабочем столе: "_s + components::PathToQ(*made));
}

} // namespace app
