#include "app/CatalogueLaunch.h"

#include <QString>

#include "app/CatalogueFiles.h"
#include "app/Dialogs.h"
#include "components/Text.h"
#include "host/Codec.h"
#include "host/Files.h"
#include "host/Profile.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;

std::optional<PreparedLaunch> PrepareLaunch(QWidget* owner, const std::string& installFolder,
                                            const std::string& program, const CatalogueFiles& files) {
    // The "\" always goes in, even after a folder that ends with one.
    PreparedLaunch launch{installFolder + '\\' + program};
    if (!host::FileExists(launch.path)) {
        ErrorBox(owner, u"Нет файла : "_s + ToQ(host::UpperAnsi(program)) + u" по указанному пути  "_s +
                            ToQ(installFolder) + u'\\');
        return std::nullopt;
    }
    const CatalogueWrite written = files.Write(
        kCatalogueIni, [](const std::string& ini) { return host::ProfileWrite(ini, "Condition", "MultiScreen", "1"); });
    if (!written.status) {
        // The catalogue starts all the same, but the user learns it will not
        // find the setting.
        QString text =
            u"Не удалось записать MultiScreen=1 в "_s + ToQ(written.path) + u": "_s + ToQ(written.status.Reason());
        if (const std::string advice = files.Advice(written); !advice.empty()) text += u'\n' + ToQ(advice);
        ErrorBox(owner, text);
        launch.settingWritten = false;
    }
    return launch;
}

} // namespace app
