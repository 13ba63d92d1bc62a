#include "app/StoredState.h"

#include <exception>

#include "app/WindowRules.h"
#include "settings/TRegistry.h"

namespace app {
namespace {

constexpr std::string_view kInstallFolder = "DorvDirectory";
constexpr std::string_view kActiveDisk = "DorvDisk";
constexpr std::string_view kValidWindowsDir = "ValidWindowsDirectory";
// Which key file each row held when last read, so the active row is known
// without reading any data-set drive.
constexpr std::string_view kKeyDigests = "DorvKeyDigests";

} // namespace

std::string StateKeyName(std::string_view below) {
    std::string name = "HKEY_CURRENT_USER\\" + std::string(kStateKey);
    if (!below.empty()) name += "\\" + std::string(below);
    return name;
}

std::optional<std::string> ReadInstallFolder(settings::TRegistry& reg) {
    if (!reg.ValuePresent(kInstallFolder)) return std::nullopt;
    try {
        return reg.ReadText(kInstallFolder);
    } catch (const std::exception&) {
        return std::nullopt; // the design folder stays
    }
}

WindowsFolders SettleFolders(settings::TRegistry& reg, std::string_view windowsDirectory,
                             std::string_view systemDirectory) {
    WindowsFolders f{std::string(windowsDirectory), DerivedTargetDir(systemDirectory), std::string(systemDirectory)};
    if (reg.ValuePresent(kValidWindowsDir)) {
        f.targetDir = reg.ReadText(kValidWindowsDir);
        f.windowsDir = f.targetDir;
    }
    f.ask = !IsWindowsDirectory(f.targetDir, f.windowsDir);
    return f;
}

void StoreValidFolder(settings::TRegistry& reg, WindowsFolders& folders, const std::string& chosen) {
    if (!chosen.empty()) folders.targetDir = chosen;
    reg.WriteText(kValidWindowsDir, folders.targetDir);
    folders.ask = false;
}

std::string ReadActiveDisk(settings::TRegistry& reg) {
    return reg.ValuePresent(kActiveDisk) ? reg.ReadText(kActiveDisk) : std::string();
}

KeyDigests ReadKeyDigests() {
    try {
        settings::TRegistry reg;
        if (!reg.OpenKeyPath(kStateKey, false) || !reg.ValuePresent(kKeyDigests)) return {};
        return ParseKeyDigests(reg.ReadText(kKeyDigests));
    } catch (const std::exception&) {
        return {};
    }
}

bool StoreKeyDigests(const KeyDigests& digests) {
    try {
        settings::TRegistry reg;
        if (!reg.OpenKeyPath(kStateKey, true)) return false;
        reg.WriteText(kKeyDigests, FormatKeyDigests(digests));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<SaveFailure> SaveState(std::string_view installFolder, std::string_view activeDisk) {
    std::vector<SaveFailure> failures;
    settings::TRegistry reg;
    if (!reg.OpenKeyPath(kStateKey, true)) {
        failures.push_back({StateKeyName(), "раздел реестра не открывается"});
        return failures;
    }
    for (const auto& [name, text] : {std::pair{kInstallFolder, installFolder}, std::pair{kActiveDisk, activeDisk}}) {
        try {
            reg.WriteText(name, text);
        } catch (const std::exception& e) {
            failures.push_back({StateKeyName(name), e.what()});
        }
    }
    reg.CloseKey();
    return failures;
}

} // namespace app
