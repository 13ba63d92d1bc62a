#include "host/posix/DirectPath.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "host/Paths.h"

namespace host::posix {

std::string DirectHostPath(std::string_view windowsPath) {
    std::string out;
    std::string_view rest = windowsPath;
    if (rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':' &&
        (rest[2] == '\\' || rest[2] == '/')) {
        out = WinePrefix().native();
        out += "/dosdevices/";
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0])));
        out += ':';
        rest.remove_prefix(2);
    } else if (rest.empty() || rest[0] == '\\' || rest[0] == '/' || (rest.size() >= 2 && rest[1] == ':')) {
        return {};
    }
    out.reserve(out.size() + rest.size());
    for (char c : rest) out += c == '\\' ? '/' : c;
    return out;
}

int OpenWindowsPath(std::string_view windowsPath, int flags) {
    flags |= O_CLOEXEC;
    const std::string direct = DirectHostPath(windowsPath);
    if (!direct.empty()) {
        int fd = -1;
        do fd = ::open(direct.c_str(), flags);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
    }
    const std::string resolved = ToHostPath(windowsPath).native();
    if (resolved.empty()) {
        errno = ENOENT;
        return -1;
    }
    int fd = -1;
    do fd = ::open(resolved.c_str(), flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace host::posix
