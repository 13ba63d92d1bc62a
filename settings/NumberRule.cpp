#include "settings/NumberRule.h"

#include <limits>
#include <string>

#include "base/HexDigit.h"
#include "settings/Exceptions.h"

namespace settings {

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;

    if (text.front() == '$') {
        text.remove_prefix(1);
        if (text.empty()) return std::nullopt;
        std::uint64_t value = 0;
        for (char c : text) {
            const int d = base::HexDigit(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        // The bit pattern: "$FFFFFFFF" is -1.
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) { return TryStrToInt(text).value_or(def); }

std::int32_t StrToInt(std::string_view text) {
    if (auto value = TryStrToInt(text)) return *value;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::int32_t ReadNumberRule(std::string_view text, std::int32_t def) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return StrToIntDef("$" + std::string(text.substr(2)), def);
    return StrToIntDef(text, def);
}

} // namespace settings
