// INI files through the shared reader and writer over the file's bytes, as on
// POSIX, rather than WritePrivateProfileStringW: that function rewrites the
// whole file in place (under Wine it drops blank lines and re-spaces every
// line), so a full disk or a killed process could leave the catalogue's INI
// file cut short, and it stores a letter code page 1251 lacks as "?". The
// reader is proved equal to GetPrivateProfileStringW by the differential test
// under Wine. A bare name is located as the profile functions locate it.

#include "host/Profile.h"

#include <string>

#include "host/Files.h"
#include "host/HostTypes.h"
#include "host/Paths.h"
#include "host/common/IniText.h"

namespace host {
namespace {

std::string Locate(std::string_view file) {
    if (file.find_first_of("\\/:") == std::string_view::npos) return WindowsDirectory() + "\\" + std::string(file);
    return std::string(file);
}

} // namespace

std::optional<std::string> ProfileRead(std::string_view file, std::string_view section, std::string_view key) {
    const auto bytes = ReadWholeFile(Locate(file));
    if (!bytes) return std::nullopt;
    return ini::Read(*bytes, section, key);
}

void ProfileWrite(std::string_view file, std::string_view section, std::string_view key, std::string_view text) {
    const std::string path = Locate(file);
    const auto bytes = ReadWholeFile(path);
    // A file that is there but cannot be read must not be replaced by a new
    // one holding only the written value.
    if (!bytes && (FileExists(path) || DirectoryExists(path))) throw HostError("cannot read " + path);
    const auto out = ini::Write(bytes, section, key, text);
    if (!out) return;
    WriteFileAtomic(path, *out);
}

} // namespace host
