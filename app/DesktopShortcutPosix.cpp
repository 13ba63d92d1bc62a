#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "app/DesktopShortcut.h"
#include "app/ShortcutRules.h"
#include "components/Text.h"
#include "host/Status.h"

namespace fs = std::filesystem;

namespace app {
namespace {

fs::path Home() {
    const char* home = std::getenv("HOME");
    return home && *home ? fs::path(home) : components::ToPath(QDir::homePath());
}

// The desktop folder as xdg-user-dir names it: XDG_DESKTOP_DIR of
// user-dirs.dirs ("$HOME/..." or an absolute path, shell-quoted), else
// ~/Desktop.
fs::path DesktopFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path dirs = (config && *config == '/' ? fs::path(config) : Home() / ".config") / "user-dirs.dirs";
    std::ifstream in(dirs);
    for (std::string line; std::getline(in, line);) {
        constexpr std::string_view kKey = "XDG_DESKTOP_DIR=\"";
        if (line.rfind(kKey, 0) != 0) continue;
        std::string value;
        for (std::size_t i = kKey.size(); i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            value += line[i];
        }
        if (value.rfind("$HOME", 0) == 0) return Home() / value.substr(std::min<std::size_t>(value.size(), 6));
        if (!value.empty() && value.front() == '/') return value;
    }
    return Home() / "Desktop";
}

host::Status Failed(const QString& file, const QString& why) {
    return {host::Fault::Other, components::ToStd(file + QStringLiteral(": ") + why)};
}

} // namespace

host::Result<fs::path> MakeDesktopShortcut(const std::string& name, const std::vector<std::string>& arguments) {
    const fs::path folder = DesktopFolder();
    const QString qfolder = components::PathToQ(folder);
    if (!QDir().mkpath(qfolder)) return Failed(qfolder, QStringLiteral("папка не создаётся"));
    const fs::path file = folder / ShortcutFileName(name, ".desktop");
    const std::string text =
        DesktopEntry({ShortcutTitle(name), components::ToStd(QCoreApplication::applicationFilePath()), arguments,
                      components::ToStd(QDir::currentPath()), "dorv-launcher"});
    // Written whole or not at all, executable from the start: desktops start
    // only an executable entry on the desktop.
    QSaveFile out(components::PathToQ(file));
    if (!out.open(QIODevice::WriteOnly) ||
        !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                            QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                            QFileDevice::ExeOther) ||
        out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) || !out.commit())
        return Failed(components::PathToQ(file), out.errorString());
    return file;
}

} // namespace app
