#include "host/posix/DirectPath.h"

#include <fcntl.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>

#include "base/AsciiCase.h"
#include "host/Paths.h"

namespace host::posix {

std::string DriveFolder(char letter) {
    std::string folder = WinePrefix().native();
    folder += "/dosdevices/";
    folder += base::AsciiLower(letter);
    folder += ':';
    return folder;
}

std::string DirectHostPath(std::string_view windowsPath) {
    if (windowsPath.find('\0') != std::string_view::npos) return {};
    std::string out;
    std::string_view rest = windowsPath;
    if (rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':' &&
        (rest[2] == '\\' || rest[2] == '/')) {
        out = DriveFolder(rest[0]);
        rest.remove_prefix(2);
    } else if (rest.empty() || rest[0] == '\\' || rest[0] == '/' || (rest.size() >= 2 && rest[1] == ':')) {
        return {};
    }
    // Windows takes ".." off the text; the host would go to the parent of
    // a link's target, or off the drive altogether: ToHostPath's business.
    for (std::string_view parts = rest; !parts.empty();) {
        const std::size_t cut = parts.find_first_of("\\/");
        if (parts.substr(0, cut) == "..") return {};
        parts.remove_prefix(cut == std::string_view::npos ? parts.size() : cut + 1);
    }
    out.reserve(out.size() + rest.size());
    for (char c : rest) out += c == '\\' ? '/' : c;
    return out;
}

namespace {

// Tries the exact host path, then ToHostPath's; open returns a handle, or
// `failed` with errno set.
template <typename Handle, typename Open>
Handle OpenEither(std::string_view windowsPath, Handle failed, Open open) {
    const std::string direct = DirectHostPath(windowsPath);
    if (!direct.empty()) {
        Handle handle = failed;
        do handle = open(direct.c_str());
        while (handle == failed && errno == EINTR);
        if (handle != failed || (errno != ENOENT && errno != ENOTDIR)) return handle;
    }
    const std::string resolved = ToHostPath(windowsPath).native();
    if (resolved.empty()) {
        errno = ENOENT;
        return failed;
    }
    Handle handle = failed;
    do handle = open(resolved.c_str());
    while (handle == failed && errno == EINTR);
    return handle;
}

} // namespace

int OpenWindowsPath(std::string_view windowsPath, int flags) {
    return OpenEither(windowsPath, -1, [flags](const char* path) { return ::open(path, flags | O_CLOEXEC); });
}

DIR* OpenWindowsFolder(std::string_view windowsPath) {
    return OpenEither(windowsPath, static_cast<DIR*>(nullptr), [](const char* path) { return ::opendir(path); });
}

} // namespace host::posix
