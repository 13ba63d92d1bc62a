#include "host/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "host/HostTypes.h"
#include "host/Paths.h"
#include "host/common/TempPath.h"
#include "host/posix/Failure.h"
#include "host/posix/ReplaceFile.h"
#include "host/posix/UniqueFd.h"

namespace fs = std::filesystem;

namespace host {
namespace {

using Fd = posix::UniqueFd;

void Unlink(const std::string& path) { ::unlink(path.c_str()); }
using TempName = TempPath<std::string, Unlink>;

// Hidden (leading dot) so that a name left by a killed process is passed
// over by the file search like every hidden file.
std::string TempPathFor(const fs::path& target) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    return (target.parent_path() / ("." + target.filename().string() + suffix + ".tmp")).string();
}

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

void SyncFolder(const fs::path& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.Get());
}

bool IsTempNameOf(std::string_view name, std::string_view target) {
    // "." + target + "." + 12 hex digits + ".tmp", as TempPathFor makes it.
    if (name.size() != 1 + target.size() + 1 + 12 + 4 || name[0] != '.') return false;
    if (name.substr(1, target.size()) != target || name[1 + target.size()] != '.') return false;
    const std::string_view hex = name.substr(2 + target.size(), 12);
    return name.ends_with(".tmp") && hex.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A temporary that a killed writer left beside target goes at the next write
// of target. A writer holds a lock on its temporary for as long as it lives,
// so one whose lock can be taken has no owner any more.
void RemoveStaleTemps(const fs::path& folder, const std::string& target) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTempNameOf(entry->d_name, target)) continue;
        Fd temp(::openat(::dirfd(dir.get()), entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        if (temp && ::flock(temp.Get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

// The write where no new file can be made in the folder (staff may write the
// file but not its folder): the target itself is cut and written again, then
// flushed. Not atomic: a process killed meanwhile can leave it short.
int OverwriteInPlace(const fs::path& target, const std::function<int(int)>& fill) {
    Fd fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return errno;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    if (::ftruncate(fd.Get(), 0) != 0) return errno;
    if (const int err = fill(fd.Get())) return err;
    if (::fsync(fd.Get()) != 0) return errno;
    return 0;
}

// OpenNew's answer where the system makes no unnamed files.
constexpr int kTryNamed = -1;

// Opens the new file in folder, target's own: unnamed (a process killed
// while writing leaves nothing) or under a temporary name, which temp holds.
// 0, kTryNamed, or the errno of the failure.
int OpenNew(const fs::path& folder, const fs::path& target, bool anonymous, Fd& fd, TempName& temp) {
    if (anonymous) {
        fd.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (fd) return 0;
        const int err = errno;
        const bool hopeless = err == EACCES || err == EPERM || err == ENOENT || err == ENOTDIR || err == EROFS;
        return hopeless ? err : kTryNamed;
    }
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = TempPathFor(target);
        fd.Reset(::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666));
        if (fd) {
            temp.Set(std::move(name));
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// Fills the new file and flushes it, with the permissions and owner of the
// old one (when there is one). 0 or the errno of the failure.
int WriteNew(int fd, const std::function<int(int)>& fill, const struct stat* old) {
    // Held until this process ends or the temporary is gone: the mark of a
    // temporary that is still being written.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (const int err = fill(fd)) return err;
    if (old) {
        if (::fchmod(fd, old->st_mode & 07777) != 0) return errno;
        [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
    }
    return ::fsync(fd) != 0 ? errno : 0;
}

// Gives the unnamed file a temporary name beside target; false where that
// cannot be done (no /proc).
bool NameUnnamed(int fd, const fs::path& target, TempName& temp) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = TempPathFor(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp.Set(std::move(name));
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// Puts a new version of target in place: fill writes it into a new file in
// the same folder, which is flushed and renamed over target. The old file's
// permissions and owner are kept. Returns 0 or the errno of the failure;
// target is untouched on failure and no temporary file is left behind.
// With inPlace, a folder where no new file can be made has the existing
// target overwritten instead.
int ReplaceFile(fs::path target, const std::function<int(int)>& fill, bool inPlace) {
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        // Writing through a link keeps the link, as Windows does.
        if (fs::path real = fs::canonical(target, ec); !ec) target = std::move(real);
    }
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld) {
        if (S_ISDIR(old.st_mode)) return EISDIR;
        // Read-only by its mode bits, whoever runs us (root included).
        if ((old.st_mode & 0222) == 0) return EACCES;
    } else if (errno != ENOENT) {
        return errno;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    if (target.filename().empty()) return EISDIR;
    RemoveStaleTemps(folder, target.filename().string());
    // A folder without write permission takes no new file, whoever runs us
    // (root included), as a read-only file takes no write.
    if (struct stat dir{}; inPlace && ::stat(folder.c_str(), &dir) == 0 && (dir.st_mode & 0222) == 0) {
        if (!hadOld) return EACCES;
        return OverwriteInPlace(target, fill);
    }
    // Where a new file cannot be made but the old one may be written.
    const auto lockedFolder = [&](int err) {
        if (!inPlace || !hadOld || (err != EACCES && err != EPERM)) return err;
        return OverwriteInPlace(target, fill);
    };

    for (const bool anonymous : {true, false}) {
        Fd fd;
        TempName temp;
        if (const int err = OpenNew(folder, target, anonymous, fd, temp)) {
            if (err == kTryNamed) continue;
            return lockedFolder(err);
        }
        if (const int err = WriteNew(fd.Get(), fill, hadOld ? &old : nullptr)) return err;
        if (anonymous && !NameUnnamed(fd.Get(), target, temp)) continue; // no /proc: write again under a name
        if (::rename(temp.Path().c_str(), target.c_str()) != 0) return errno;
        temp.Release();
        SyncFolder(folder);
        return 0;
    }
    return EIO;
}

int CopyInto(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) < 0) return errno;
    std::vector<char> buffer(1 << 16);
    std::uint64_t copied = 0;
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        copied += static_cast<std::uint64_t>(n);
        if (copied > kCopyLimitBytes) return EFBIG; // a file that grows while it is copied
        if (const int err = WriteAll(to, {buffer.data(), static_cast<std::size_t>(n)})) return err;
    }
}

Status TooLarge() { return {Fault::Other, "файл больше " + std::to_string(kCopyLimitBytes >> 20) + " МБ"}; }

bool StatPath(std::string_view path, struct stat& st) {
    if (path.empty()) return false;
    return ::stat(ToHostPath(path).c_str(), &st) == 0;
}

} // namespace

bool FileExists(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

Status CopyFileReplace(std::string_view from, std::string_view to) {
    if (from.empty() || to.empty()) return posix::Failure(ENOENT);
    // Without blocking: a pipe posing as a key file must not hang the window.
    Fd source(::open(ToHostPath(from).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!source) return posix::Failure(errno);
    struct stat st {};
    if (::fstat(source.Get(), &st) != 0) return posix::Failure(errno);
    if (!S_ISREG(st.st_mode)) return {Fault::Other, "это не обычный файл"};
    if (static_cast<std::uint64_t>(st.st_size) > kCopyLimitBytes) return TooLarge();
    const fs::path target = ToHostPath(to);
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && old.st_dev == st.st_dev && old.st_ino == st.st_ino)
        return {}; // already the same file
    if (const int err = ReplaceFile(
            target, [&](int fd) { return CopyInto(source.Get(), fd); }, true))
        return err == EFBIG ? TooLarge() : posix::Failure(err);
    return {};
}

Status DeleteFile(std::string_view path) {
    if (path.empty()) return posix::Failure(ENOENT);
    const fs::path host = ToHostPath(path);
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) return posix::Failure(errno);
    if (S_ISDIR(st.st_mode)) return posix::Failure(EISDIR);
    // A read-only file cannot be deleted until its attributes are made normal.
    if (!S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0) return posix::Failure(EACCES);
    return ::unlink(host.c_str()) == 0 ? Status() : posix::Failure(errno);
}

Status SetNormalAttributes(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st)) return posix::Failure(path.empty() ? ENOENT : errno);
    return ::chmod(ToHostPath(path).c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 ? Status() : posix::Failure(errno);
}

Result<std::string> ReadWholeFile(std::string_view path) {
    if (path.empty()) return posix::Failure(ENOENT);
    // Only a plain file is read, and opening never waits on a pipe or device.
    Fd fd(::open(ToHostPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return posix::Failure(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return posix::Failure(errno);
    if (!S_ISREG(st.st_mode)) return Status(Fault::Other, "это не обычный файл");
    std::string content;
    content.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return posix::Failure(errno);
        }
        if (n == 0) return content;
        content.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

int posix::ReplaceHostFile(const fs::path& target, std::string_view bytes) {
    // Never in place: readers of the key store take no lock.
    return ReplaceFile(
        target, [&](int fd) { return WriteAll(fd, bytes); }, false);
}

Status WriteFileAtomic(std::string_view path, std::string_view bytes) {
    if (const int err = ReplaceFile(
            ToHostPath(path), [&](int fd) { return WriteAll(fd, bytes); }, true))
        return posix::Failure(err);
    return {};
}

Status MakeFolders(std::string_view path) {
    std::error_code ec;
    const fs::path host = ToHostPath(path);
    fs::create_directories(host, ec);
    if (ec) return posix::Failure(ec.value());
    return fs::is_directory(host, ec) ? Status() : posix::Failure(ENOTDIR);
}

Status CheckFolderWritable(std::string_view folder) {
    const fs::path host = ToHostPath(folder.empty() ? std::string_view(".") : folder);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return posix::Failure(errno);
    if (!S_ISDIR(st.st_mode)) return posix::Failure(ENOTDIR);
    // As the writes do: a folder without write permission bits takes no new
    // file, whoever runs us (root included).
    if ((st.st_mode & 0222) == 0) return posix::Failure(EACCES);
    Fd fd(::open(host.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd || (errno != EOPNOTSUPP && errno != EISDIR)) return fd ? Status() : posix::Failure(errno);
    TempName temp;
    std::string name = TempPathFor(host / "probe");
    fd.Reset(::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
    if (!fd) return posix::Failure(errno);
    temp.Set(std::move(name));
    return {};
}

std::string DisplayPath(std::string_view path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(ToHostPath(path), ec);
    return (ec ? ToHostPath(path) : absolute.lexically_normal()).string();
}

std::optional<FileId> FolderId(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st)) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace host
