#pragma once
// The code page's 256 bytes as tables (text, character, lower and upper
// case), built once from what the system's own conversion and letter case
// say of each byte, so converting and lower-casing file contents is a table
// look-up per byte. The tables and the functions on them are the same on
// every system; each backend answers the few questions below.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace host::cp1251 {

struct Tables {
    std::array<std::string, 256> utf8;
    std::array<wchar_t, 256> wide{};
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    std::unordered_map<wchar_t, unsigned char> byteOf;
};

const Tables& Get();

// Answered by the backend.
// The character the byte stands for; nothing for the byte the code page
// leaves unused.
std::optional<wchar_t> DecodeByte(unsigned char byte);
wchar_t LowerChar(wchar_t c);
wchar_t UpperChar(wchar_t c);
std::optional<std::wstring> Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

} // namespace host::cp1251
