// On Windows a Windows path is already a file of the machine: the mapping is
// only the change of text form, UTF-8 inside and wide at the API.

#include "host/Paths.h"

#include <vector>

#include "host/win32/Wide.h"

namespace fs = std::filesystem;

namespace host {
namespace {

// GetWindowsDirectoryW and GetSystemDirectoryW share this shape: a size too
// small is answered with the size needed.
template <typename Get>
std::string AskDirectory(Get get) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const UINT n = get(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return win32::WideToUtf8({buffer.data(), n});
        buffer.resize(n + 1);
    }
}

} // namespace

std::string WindowsDirectory() { return AskDirectory(::GetWindowsDirectoryW); }

std::string SystemDirectory() { return AskDirectory(::GetSystemDirectoryW); }

fs::path ToHostPath(std::string_view windowsPath) { return fs::path(win32::PathToWide(windowsPath)); }

// Qt hands over paths with "/"; inside the program a Windows path has "\".
std::string ToWindowsPath(const fs::path& hostPath) {
    return win32::WideToUtf8(fs::path(hostPath).make_preferred().native());
}

fs::path WinePrefix() { return {}; }

} // namespace host
