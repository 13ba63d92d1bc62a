#include "app/CatalogueFiles.h"

#include <string>

#include "app/WindowRules.h"
#include "base/AsciiCase.h"
#include "host/Files.h"
#include "host/Virtualization.h"

namespace app {
namespace {

// The catalogue's main program: the one whose image decides.
constexpr std::string_view kCatalogueProgram = "dorvwin.exe";

} // namespace

std::string FolderOf(std::string_view path) {
    const std::size_t cut = path.find_last_of('\\');
    return std::string(cut == std::string_view::npos ? std::string_view() : path.substr(0, cut));
}

CatalogueRedirection CatalogueRedirection::Of(std::string_view installFolder) {
    return {host::ImageIsRedirected(JoinPath(installFolder, kCatalogueProgram)), host::VirtualizationAllowed(),
            host::ProcessElevated()};
}

CatalogueDisk CatalogueDisk::Host() {
    return {[](const std::string& path) { return host::FileExists(path); },
            [](const std::string& real, const std::string& copy) {
                if (const host::Status made = host::MakeFolders(FolderOf(copy)); !made) return made;
                if (!host::FileExists(real)) return host::Status();
                return host::CopyFileReplace(real, copy);
            },
            [](std::string_view path) { return host::VirtualStorePath(path); }};
}

CatalogueFiles::CatalogueFiles(std::string windowsDir, std::string targetDir, std::function<CatalogueRedirection()> how,
                               CatalogueDisk disk)
    : windowsDir_(std::move(windowsDir)),
      targetDir_(std::move(targetDir)),
      ask_(std::move(how)),
      disk_(std::move(disk)) {}

const CatalogueRedirection& CatalogueFiles::How() const {
    if (!how_) how_ = ask_();
    return *how_;
}

std::string CatalogueFiles::Real(std::string_view name) const {
    // The catalogue reads its INI file in the system's Windows directory; key
    // files go to the folder settled at start.
    return JoinPath(base::EqualsNoCase(name, kCatalogueIni) ? windowsDir_ : targetDir_, name);
}

std::string CatalogueFiles::Copy(std::string_view name) const { return disk_.copyOf(Real(name)); }

std::string CatalogueFiles::Read(std::string_view name) const {
    const std::string copy = Copy(name);
    return !copy.empty() && disk_.exists(copy) && How().redirected && How().allowed ? copy : Real(name);
}

bool CatalogueFiles::Installed() const {
    const std::string real = JoinPath(targetDir_, kCatalogueIni);
    if (disk_.exists(real)) return true;
    const std::string copy = disk_.copyOf(real);
    return !copy.empty() && disk_.exists(copy) && How().redirected && How().allowed;
}

CatalogueFiles CatalogueFiles::ForInstallation(std::string windowsDir, std::string targetDir,
                                               std::string installFolder) {
    return {std::move(windowsDir), std::move(targetDir),
            [folder = std::move(installFolder)] { return CatalogueRedirection::Of(folder); }};
}

CatalogueWrite CatalogueFiles::Write(std::string_view name,
                                     const std::function<host::Status(const std::string&)>& write) const {
    const std::string real = Real(name), copy = Copy(name);
    const bool copyExists = !copy.empty() && disk_.exists(copy);
    CatalogueWrite out;
    const host::Status own = write(real);
    if (own) out.written.push_back(real);
    // A redirected catalogue reads its copy once one exists, and makes one
    // at its first refused write: the launcher does as it would. A refusal
    // decides whatever the policy says.
    const bool refused = !own && own.Kind() == host::Fault::Denied;
    const bool catalogueReadsCopy = !copy.empty() && How().redirected && (refused || (copyExists && How().allowed));
    if (!catalogueReadsCopy) {
        // A copy the catalogue does not read is still kept in step, for
        // the day it does.
        if (copyExists && write(copy)) out.written.push_back(copy);
        out.status = own;
        out.path = real;
        return out;
    }
    out.path = copy;
    if (!copyExists) {
        if (host::Status seeded = disk_.seed(real, copy); !seeded) {
            out.status = std::move(seeded);
            return out;
        }
    }
    out.status = write(copy);
    if (out.status) out.written.push_back(copy);
    return out;
}

std::string CatalogueFiles::Advice(const CatalogueWrite& failed) const {
    switch (failed.status.Kind()) {
    case host::Fault::Denied:
        return How().elevated ? "Запускайте каталог и эту панель одинаково: обе от имени администратора или обе без."
                              : "Попросите администратора разрешить изменение файлов " + std::string(kKeyFile) + " и " +
                                    std::string(kCatalogueIni) + " в папке " + FolderOf(failed.path) +
                                    ", или запускайте каталог и эту панель одинаково.";
    case host::Fault::InUse: return "Файл занят другой программой; повторите позже.";
    default: return {};
    }
}

} // namespace app
