// Code page 1251 through the Windows conversion functions. The 256 bytes are
// converted once into tables (text, wide character, lower and upper case), so
// lower-casing a file's contents is a table look-up per byte.

#include "host/Codec.h"

#include <array>
#include <climits>
#include <unordered_map>

#include "host/win32/Wide.h"

namespace host {
namespace {

constexpr UINT kCodePage = 1251;

// The byte for a wide character, or nothing when the code page has none
// (no best-fit guess: "Ω" is not "?" and "ä" is not "a").
std::optional<unsigned char> ByteOf(wchar_t c) {
    char byte = 0;
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &c, 1, &byte, 1, nullptr, &usedDefault);
    if (n != 1 || usedDefault) return std::nullopt;
    return static_cast<unsigned char>(byte);
}

struct Cp1251Tables {
    std::array<std::string, 256> utf8;
    std::array<wchar_t, 256> wide{};
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    std::unordered_map<wchar_t, unsigned char> byteOf;

    Cp1251Tables() {
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            wchar_t c = 0;
            lower[b] = upper[b] = static_cast<unsigned char>(b);
            // A byte the code page leaves unused (0x98) reads as U+FFFD, as on
            // POSIX; Windows passes it through as the C1 control of that number.
            const bool mapped = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, &byte, 1, &c, 1) == 1 &&
                                ByteOf(c) == static_cast<unsigned char>(b) && !(c >= 0x80 && c <= 0x9F);
            if (!mapped) {
                utf8[b] = "\xEF\xBF\xBD";
                wide[b] = L'\xFFFD';
                continue;
            }
            wide[b] = c;
            utf8[b] = win32::WideToUtf8({&c, 1});
            byteOf.emplace(c, static_cast<unsigned char>(b));
        }
        for (int b = 0; b < 256; ++b) {
            if (wide[b] == L'\xFFFD') continue;
            wchar_t lo = wide[b], up = wide[b];
            ::CharLowerBuffW(&lo, 1);
            ::CharUpperBuffW(&up, 1);
            if (auto it = byteOf.find(lo); it != byteOf.end()) lower[b] = it->second;
            if (auto it = byteOf.find(up); it != byteOf.end()) upper[b] = it->second;
        }
    }
};

const Cp1251Tables& Tables() {
    static const Cp1251Tables tables;
    return tables;
}

} // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    const auto& t = Tables();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) out += t.utf8[static_cast<unsigned char>(c)];
    return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text) {
    const auto wide = win32::Utf8ToWide(text);
    if (!wide) return std::nullopt;
    if (wide->empty()) return std::string();
    if (wide->size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(wide->size());
    std::string out(wide->size(), '\0');
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide->data(), length, out.data(), length,
                                        nullptr, &usedDefault);
    if (n != length || usedDefault) return std::nullopt;
    return out;
}

void LowerCp1251InPlace(char* bytes, std::size_t length) {
    const auto& lower = Tables().lower;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(lower[static_cast<unsigned char>(bytes[i])]);
}

std::string UpperAnsi(std::string_view text) {
    auto wide = win32::Utf8ToWide(text);
    if (!wide) return std::string(text);
    const auto& t = Tables();
    for (wchar_t& c : *wide) {
        if (auto it = t.byteOf.find(c); it != t.byteOf.end()) c = t.wide[t.upper[it->second]];
    }
    return win32::WideToUtf8(*wide);
}

} // namespace host
