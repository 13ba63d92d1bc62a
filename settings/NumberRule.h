#pragma once
// Integer conversion of stored texts. Leading blanks are skipped; "$" and
// hexadecimal digits whose value fits in 32 bits give that bit pattern; an
// optional sign and decimal digits give a value from -2147483648 to
// 2147483647. Anything else (empty, a foreign or trailing character, out of
// range) fails.

#include <cstdint>
#include <optional>
#include <string_view>

namespace settings {

// The conversion above; nothing when the text is not a number.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
// The conversion, or the default.
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);
// The conversion, or EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);
// The number rule of stored settings: a text longer than two characters
// beginning with "0x" or "0X" is first rewritten as "$" and the rest, then
// StrToIntDef.
std::int32_t ReadNumberRule(std::string_view text, std::int32_t def);

} // namespace settings
