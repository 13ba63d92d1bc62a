#pragma once
// String lists kept in text files, one entry per line ended by CR LF, in code
// page 1251 (UTF-8 with a byte-order mark when a line needs a character that
// code page 1251 cannot hold; such a file is read back as UTF-8).

#include <string>
#include <string_view>
#include <vector>

#include "host/Status.h"

namespace settings {

// The lines of the file (CR LF, LF or CR ends), or why it cannot be read. A
// final line end adds no empty line.
host::Result<std::vector<std::string>> LoadStringList(std::string_view path);
// Rewrites the file atomically; why it could not.
host::Status WriteStringList(std::string_view path, const std::vector<std::string>& lines);
// The same, with the exception "Не могу записать в %s: <reason>"
// on failure, naming the file by its absolute path.
void SaveStringList(std::string_view path, const std::vector<std::string>& lines);

} // namespace settings
