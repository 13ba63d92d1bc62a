// The number rule against a second reading of the same rule built on
// std::from_chars: both must agree on every text.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "settings/NumberRule.h"

namespace {

std::optional<std::int32_t> Reference(std::string_view text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    const auto whole = [](std::string_view digits, int base, auto& value) {
        if (digits.empty() || digits.front() == '-' || digits.front() == '+') return false;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        return ec == std::errc() && end == digits.data() + digits.size();
    };
    if (text.front() == '$') {
        std::uint32_t value = 0;
        if (!whole(text.substr(1), 16, value)) return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t value = 0;
    if (!whole(text, 10, value)) return std::nullopt;
    if (value > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (settings::TryStrToInt(text) != Reference(text)) std::abort();
    std::string rewritten(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) rewritten = "$" + rewritten.substr(2);
    if (settings::ReadNumberRule(text, 1234567) != Reference(rewritten).value_or(1234567)) std::abort();
    return 0;
}
