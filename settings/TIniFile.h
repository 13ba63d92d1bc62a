#pragma once
// An INI file through the platform's profile functions. A bare name is the
// file of that name in the Windows directory. Nothing is cached.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/TIniStore.h"

namespace settings {

class TIniFile final : public TIniStore {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // The value, at most 1023 characters, or the default.
    std::string ReadText(std::string_view section, std::string_view key, std::string_view def) override;
    // Replaces keys by the names of the section's keys, in the file's order.
    void ReadSection(std::string_view section, std::vector<std::string>& keys);
    // The section's keys and values, in the file's order, from one read of
    // the file (for a section of many keys, where a read per key would
    // parse the file again each time).
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section);
    // Exception "Не могу записать в %s: <reason>" on failure.
    void WriteText(std::string_view section, std::string_view key, std::string_view text) override;
    std::int32_t ReadNumber(std::string_view section, std::string_view key, std::int32_t def) override;
    void WriteNumber(std::string_view section, std::string_view key, std::int32_t n) override;

private:
    std::string fileName_;
};

} // namespace settings
