#include "app/Launch.h"

#include <exception>

#include "app/Dialogs.h"
#include "app/WindowRules.h"
#include "components/Text.h"
#include "host/Codec.h"
#include "host/Files.h"
#include "host/Paths.h"
#include "host/Process.h"
#include "settings/TIniFile.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;

void StartCatalogueProgram(QWidget* owner, std::string_view folder, std::string_view program) {
    // The "\" always goes in, even after a folder that ends with one.
    const std::string path = std::string(folder) + '\\' + std::string(program);
    if (!host::FileExists(path)) {
        ErrorBox(owner, u"Нет файла : "_s + ToQ(host::UpperAnsi(program)) + u" по указанному пути  "_s +
                            ToQ(folder) + u'\\');
        return;
    }
    try {
        settings::TIniFile ini{std::string(kCatalogueIni)};
        ini.WriteNumber("Condition", "MultiScreen", 1);
    } catch (const std::exception& e) {
        // The catalogue starts all the same, but the user learns it will not
        // find the setting.
        ErrorBox(owner, u"Не удалось записать MultiScreen=1: "_s + ToQ(e.what()));
    }
    host::StartProgram(path);
}

void StartChosenSetup(QWidget* owner, std::string_view folder) {
    // The hint promises the catalogue's setup program, and nothing names it:
    // the user picks it, starting in the installation folder.
    const auto file = CurrentDialogs().OpenFile(owner, u"Программы (*.exe)"_s, host::ToHostPath(folder), {});
    if (file) host::StartProgram(host::ToWindowsPath(*file));
}

bool ActivateKeyFile(QWidget* owner, const std::string& source, const std::string& target) {
    if (source.empty()) return false;
    // The old key file is only replaced once the new one is complete, so a
    // failed copy leaves the active data set as it was.
    if (host::FileExists(target)) host::SetNormalAttributes(target);
    std::string why;
    if (host::CopyFileReplace(source, target, &why)) return true;
    if (host::FileExists(source))
        ErrorBox(owner, u"Файл ключа не скопирован: "_s + ToQ(source) + u" → "_s + ToQ(target) + u": "_s +
                            ToQ(why));
    return false;
}

} // namespace app
