#pragma once
// A file opened the way the content check of the file search opens it: an
// existing file, for reading and writing, shared with other processes for
// both. A read-only file (attribute or medium), a folder, a missing file or
// one locked by another process cannot be opened this way.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace host {

class SharedFile final {
public:
    explicit SharedFile(std::string_view windowsPath);
    ~SharedFile();
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    bool IsOpen() const;
    // The size in bytes; nothing when it cannot be taken.
    std::optional<std::uint64_t> Size() const;
    // Reads up to length bytes at the current position: the count read (0 at
    // the end), or nothing on a read failure.
    std::optional<std::size_t> Read(char* into, std::size_t length);

private:
    std::intptr_t handle_ = -1;
};

} // namespace host
