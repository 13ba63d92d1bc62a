#include "settings/TIniFile.h"

#include <string>
#include <utility>

#include "host/Profile.h"
#include "settings/Exceptions.h"
#include "settings/NumberRule.h"

namespace settings {

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadText(std::string_view section, std::string_view key, std::string_view def) {
    if (auto value = host::ProfileRead(fileName_, section, key)) return std::move(*value);
    return std::string(def);
}

void TIniFile::ReadSection(std::string_view section, std::vector<std::string>& keys) {
    keys = host::ProfileKeys(fileName_, section);
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view section) {
    return host::ProfileEntries(fileName_, section);
}

void TIniFile::WriteText(std::string_view section, std::string_view key, std::string_view text) {
    if (const host::Status written = host::ProfileWrite(fileName_, section, key, text); !written)
        throw Exception("Не могу записать в " + fileName_ + ": " + written.Reason());
}

std::int32_t TIniFile::ReadNumber(std::string_view section, std::string_view key, std::int32_t def) {
    return ReadNumberRule(ReadText(section, key, ""), def);
}

void TIniFile::WriteNumber(std::string_view section, std::string_view key, std::int32_t n) {
    WriteText(section, key, std::to_string(n));
}

} // namespace settings
