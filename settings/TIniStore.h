#pragma once
// What the registry and INI accessors have in common: text and integer
// values addressed by section and ident. The placement store reads and writes
// through it, whichever store it was given.

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

class TIniStore {
public:
    virtual ~TIniStore() = default;
    virtual std::string ReadText(std::string_view section, std::string_view ident, std::string_view def) = 0;
    virtual void WriteText(std::string_view section, std::string_view ident, std::string_view text) = 0;
    virtual std::int32_t ReadNumber(std::string_view section, std::string_view ident, std::int32_t def) = 0;
    virtual void WriteNumber(std::string_view section, std::string_view ident, std::int32_t n) = 0;
};

} // namespace settings
