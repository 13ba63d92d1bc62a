#pragma once
// File operations on Windows paths.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/Status.h"

namespace host {

// True when an ordinary file (not a folder) exists at the path.
bool FileExists(std::string_view path);
// True when a folder exists at the path.
bool DirectoryExists(std::string_view path);

// Largest file CopyFileReplace copies: far above any key file.
inline constexpr std::uint64_t kCopyLimitBytes = std::uint64_t{64} << 20;

// Copies a plain file whole, byte for byte, replacing the target. The copy is
// made in a new file beside the target and then renamed over it, so a failed
// copy leaves the previous target exactly as it was; where no new file can
// be made in the target's folder, an existing writable target is overwritten
// in place instead. A pipe, device or a file over kCopyLimitBytes is refused.
Status CopyFileReplace(std::string_view from, std::string_view to);

// Deletes a file (a missing one is a failure of kind NotFound).
Status DeleteFile(std::string_view path);

// Clears read-only, hidden and system (POSIX: gives the owner write
// permission).
Status SetNormalAttributes(std::string_view path);

// The whole content of a plain file (a pipe or device is never opened for
// long).
Result<std::string> ReadWholeFile(std::string_view path);

// Replaces a file atomically: a new file beside it is written, flushed and
// renamed over the old one (whose permissions it keeps). A process killed at
// any point leaves the old file or the new one. Where no new file can be made
// in the folder, an existing writable file is overwritten in place and
// flushed (not atomic). Temporaries a killed write left beside the file are
// removed. A failure leaves the old file as it was. The folder must exist.
Status WriteFileAtomic(std::string_view path, std::string_view bytes);

// Makes the folder and every missing folder above it.
Status MakeFolders(std::string_view path);

// Whether a new file can be made in the folder: one is made and removed.
Status CheckFolderWritable(std::string_view folder);

// The path as the user finds the file on this machine, absolute: the file of
// the Wine prefix on POSIX, the full path on Windows. For messages.
std::string DisplayPath(std::string_view path);

// Identity of a folder (device and inode; volume serial and file index on
// Windows), for noticing that a walk has come back to a folder it is in.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};
std::optional<FileId> FolderId(std::string_view path);

} // namespace host
