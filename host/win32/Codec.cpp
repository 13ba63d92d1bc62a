// Code page 1251 through the Windows conversion functions.

#include "host/Codec.h"

#include <climits>

#include "host/common/Cp1251.h"
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

} // namespace

namespace cp1251 {

std::optional<wchar_t> DecodeByte(unsigned char byte) {
    const char b = static_cast<char>(byte);
    wchar_t c = 0;
    // The byte the code page leaves unused (0x98) has no character, as on
    // POSIX; Windows passes it through as the C1 control of that number.
    if (::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, &b, 1, &c, 1) != 1) return std::nullopt;
    if (ByteOf(c) != byte || (c >= 0x80 && c <= 0x9F)) return std::nullopt;
    return c;
}

wchar_t LowerChar(wchar_t c) {
    ::CharLowerBuffW(&c, 1);
    return c;
}

wchar_t UpperChar(wchar_t c) {
    ::CharUpperBuffW(&c, 1);
    return c;
}

std::optional<std::wstring> Utf8ToWide(std::string_view text) { return win32::Utf8ToWide(text); }
std::string WideToUtf8(std::wstring_view text) { return win32::WideToUtf8(text); }

} // namespace cp1251

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

} // namespace host
