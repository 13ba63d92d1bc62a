#pragma once
// INI files, read and written as the Windows profile functions do
// (GetPrivateProfileString / WritePrivateProfileString). A bare file name
// names the file in the Windows directory; a name with a folder part is
// relative to the working directory; a drive path is absolute. Section and
// key names match without regard to case.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/Status.h"

namespace host {

// The value (UTF-8, at most 1023 characters), or nothing when the file,
// section or key is missing.
std::optional<std::string> ProfileRead(std::string_view file, std::string_view section, std::string_view key);

// The names of the section's keys, in the file's order; empty when the file
// or section is missing.
std::vector<std::string> ProfileKeys(std::string_view file, std::string_view section);

// The section's keys with their values (as ProfileRead gives them), in the
// file's order, from one read and one parse of the file; empty when the file
// or section is missing.
std::vector<std::pair<std::string, std::string>> ProfileEntries(std::string_view file, std::string_view section);

// Replaces the value, or adds the key (and section, and file). Every other
// byte of the file stays as it was; the file is replaced atomically and the
// value is visible to a program started after the call returns. A failure
// leaves the file as it was.
Status ProfileWrite(std::string_view file, std::string_view section, std::string_view key, std::string_view text);

} // namespace host
