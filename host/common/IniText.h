#pragma once
// The INI rules of the Windows profile functions on a file's bytes, shared by
// the POSIX backend and the differential test against Wine. Both work on the
// raw file content; names and texts are UTF-8 and are converted according to
// the file's encoding (UTF-8 with a byte-order mark, else code page 1251).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host::ini {

// The value of key in section, cut to 1023 characters; nothing when missing.
std::optional<std::string> Read(std::string_view file, std::string_view section, std::string_view key);

// The names of the keys of section, in the file's order (a duplicate name
// as often as it stands).
std::vector<std::string> Keys(std::string_view file, std::string_view section);

// The key lines of section, name and value as Read gives the value, in the
// file's order (duplicates included: the first of a name is the one Read
// finds), from one pass over the file.
std::vector<std::pair<std::string, std::string>> Entries(std::string_view file, std::string_view section);

// The file after writing key=text in section; nothing when the value is
// already there unchanged (the file is then not written at all). Throws
// HostError when the text cannot be stored in the file's encoding.
// An absent file is passed as nothing.
std::optional<std::string> Write(const std::optional<std::string>& file, std::string_view section, std::string_view key,
                                 std::string_view text);

} // namespace host::ini
