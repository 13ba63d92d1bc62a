// POSIX has no share modes; a file opened for writing is opened read-write.
// Root may write a file without write permission, so the read-only attribute
// (no write bit in the mode, as the enumeration reports it) is checked too:
// on Windows even an administrator cannot open such a file for writing.

#include "host/SharedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "host/posix/DirectPath.h"
#include "host/posix/UniqueFd.h"

namespace host {

SharedFile::SharedFile(std::string_view windowsPath) {
    // No blocking on a pipe or device met in a walk; only plain files are kept.
    posix::UniqueFd fd(posix::OpenWindowsPath(windowsPath, O_RDWR | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        return;
    handle_ = fd.Release();
}

SharedFile::~SharedFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool SharedFile::IsOpen() const { return handle_ >= 0; }

std::optional<std::uint64_t> SharedFile::Size() const {
    struct stat st {};
    if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::size_t> SharedFile::Read(char* into, std::size_t length) {
    if (handle_ < 0) return std::nullopt;
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), into, length);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return std::nullopt;
    }
}

} // namespace host
