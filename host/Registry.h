#pragma once
// The per-user key store: the registry under HKEY_CURRENT_USER on Windows;
// on POSIX a file in the registry editor's export format,
// $XDG_CONFIG_HOME/dorv-launcher/registry.reg, read afresh by every call and
// replaced atomically, under an advisory lock, by every write. Key and value
// names match without regard to case. A store that cannot be read or parsed
// reads as empty; it is renamed aside whole (registry.reg.damaged-<time>) so
// that the next write starts a fresh one, and where it cannot be moved, writes
// fail and leave it as it was. Never is it overwritten by a guess.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The registry's value types, by their numbers in the key store's files.
enum RegType : std::uint32_t {
    regNone = 0,
    regSz = 1,       // a text
    regExpandSz = 2, // a text that may name %VARIABLES%; read as a text
    regBinary = 3,
    regDword = 4,   // 32 bits, little-endian
    regMultiSz = 7, // texts, each ended by a NUL
    regQword = 11,
};

struct RegValue {
    std::uint32_t type = regNone;
    // Size of the data as stored, in bytes; 0 for a zero-length value.
    std::size_t size = 0;
    // For regSz and regExpandSz: the text in UTF-8, ended at the first zero
    // character (a string stored without one is read whole).
    std::string text;
    // For every other type: the raw bytes.
    std::vector<unsigned char> bytes;
};

// An open key under HKEY_CURRENT_USER. Path components are separated by "\";
// an empty path is HKEY_CURRENT_USER itself.
class RegKey final {
public:
    // Opens the key, creating it and every missing key on the path when
    // create is set. Nothing when it does not exist (or cannot be created).
    static std::unique_ptr<RegKey> Open(std::string_view path, bool create);
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // The key's path as opened.
    const std::string& Path() const;

    bool HasValue(std::string_view name) const;
    // Nothing when the value is missing; throws HostError when it cannot be read.
    std::optional<RegValue> Query(std::string_view name) const;
    // Writes a string value (regSz) with its terminating zero. Throws
    // HostError on failure, the store left as it was.
    void SetString(std::string_view name, std::string_view text);
    // The names of the key's values, in the store's order.
    std::vector<std::string> ValueNames() const;

    struct Impl;

private:
    explicit RegKey(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Trouble with the store met since the last call (a damaged or unreadable
// store file, and what became of it), for the program to tell the user; the
// same trouble met again is not given again. Nothing when there was none. The Windows registry
// keeps itself whole; there it is always nothing.
std::optional<std::string> TakeStoreTrouble();

// For tests and tools: writes a value of any type with raw data (POSIX store
// and Windows registry alike). Throws HostError on failure.
void RegSetRaw(std::string_view keyPath, std::string_view name, std::uint32_t type,
               const std::vector<unsigned char>& data);

} // namespace host
