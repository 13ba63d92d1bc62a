#pragma once
// The atomic replace behind WriteFileAtomic, for files that have no Windows
// path (the key store in the config home).

#include <filesystem>
#include <string_view>

namespace host::posix {

// Puts bytes in place of target: a new file in the same folder, flushed and
// renamed over it, keeping the old file's permissions and owner. Returns 0 or
// the errno of the failure; target is untouched on failure.
int ReplaceHostFile(const std::filesystem::path& target, std::string_view bytes);

} // namespace host::posix
