#pragma once
// String values in keys of the current user's registry hive.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/TIniStore.h"

namespace host {
class RegKey;
}

namespace settings {

class TRegistry {
public:
    TRegistry();
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // A path beginning with "\" is taken from the root; any other from the
    // current key when one is open, else from the root. With create set and a
    // non-empty path the missing keys are created. False on failure, nothing
    // changed.
    bool OpenKeyPath(std::string_view path, bool create);
    bool ValuePresent(std::string_view name) const;
    // Empty for a missing or zero-length value; ERegistryException for a read
    // failure or a type other than string or expandable string.
    std::string ReadText(std::string_view name) const;
    // ERegistryException on failure.
    void WriteText(std::string_view name, std::string_view text);
    void ListValueNames(std::vector<std::string>& list) const;
    void CloseKey();

    bool HasCurrentKey() const;
    const std::string& CurrentPath() const;

private:
    std::unique_ptr<host::RegKey> key_;
    std::string path_;
};

// The same store addressed by section (a sub-key of the key named at
// creation) and ident (a string value in that sub-key).
class TRegIniFile final : public TRegistry, public TIniStore {
public:
    // Opens the key, creating it if missing.
    explicit TRegIniFile(std::string_view name);

    using TRegistry::ReadText;
    using TRegistry::WriteText;
    std::string ReadText(std::string_view section, std::string_view ident, std::string_view def) override;
    void WriteText(std::string_view section, std::string_view ident, std::string_view text) override;
    std::int32_t ReadNumber(std::string_view section, std::string_view ident, std::int32_t def) override;
    void WriteNumber(std::string_view section, std::string_view ident, std::int32_t n) override;
};

} // namespace settings
