#pragma once
// A text without the blanks at its ends.

#include <string_view>

namespace base {

// `blanks` lists the characters that count as blank.
constexpr std::string_view Trim(std::string_view s, std::string_view blanks = " \t") {
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

} // namespace base
