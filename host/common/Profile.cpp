// INI files through our own reader and writer over the file's bytes, on every
// system. On Windows too rather than WritePrivateProfileStringW: that function
// rewrites the whole file in place (under Wine it also drops blank lines and
// re-spaces every line), so a full disk or a killed process could leave the
// catalogue's file cut short, and it stores a letter code page 1251 lacks as
// "?". The differential test under Wine shows the reader returns what
// GetPrivateProfileStringW returns.

#include "host/Profile.h"

#include <string>

#include "host/Files.h"
#include "host/HostTypes.h"
#include "host/Paths.h"
#include "host/common/IniText.h"

namespace host {
namespace {

// A bare name is the file in the Windows directory (found there without
// regard to case); any name with a folder or drive part is used as it stands,
// relative to the working directory when it has no drive.
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

std::vector<std::string> ProfileKeys(std::string_view file, std::string_view section) {
    const auto bytes = ReadWholeFile(Locate(file));
    if (!bytes) return {};
    return ini::Keys(*bytes, section);
}

std::vector<std::pair<std::string, std::string>> ProfileEntries(std::string_view file, std::string_view section) {
    const auto bytes = ReadWholeFile(Locate(file));
    if (!bytes) return {};
    return ini::Entries(*bytes, section);
}

Status ProfileWrite(std::string_view file, std::string_view section, std::string_view key, std::string_view text) {
    const std::string path = Locate(file);
    const auto bytes = ReadWholeFile(path);
    // A file that is there but cannot be read must not be replaced by a new
    // one holding only the written value.
    if (!bytes && bytes.Why().Kind() != Fault::NotFound) return bytes.Why();
    try {
        const auto out = ini::Write(bytes ? std::optional<std::string>(*bytes) : std::nullopt, section, key, text);
        if (!out) return {};
        return WriteFileAtomic(path, *out);
    } catch (const HostError& e) {
        return {Fault::Other, e.what()}; // a text the file cannot hold
    }
}

} // namespace host
