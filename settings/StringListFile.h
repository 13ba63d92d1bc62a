#pragma once
// String lists kept in text files, one entry per line ended by CR LF, in code
// page 1251 (UTF-8 with a byte-order mark when a line needs a character that
// code page 1251 cannot hold; such a file is read back as UTF-8).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The lines of the file (CR LF, LF or CR ends), or nothing when it cannot be
// read. A final line end adds no empty line.
std::optional<std::vector<std::string>> LoadStringList(std::string_view path);
// Rewrites the file atomically. Exception "Не могу записать в %s" on failure.
void SaveStringList(std::string_view path, const std::vector<std::string>& lines);

} // namespace settings
