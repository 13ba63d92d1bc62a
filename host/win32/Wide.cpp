#include "host/win32/Wide.h"

#include <climits>

namespace host::win32 {

std::optional<std::wstring> Utf8ToWide(std::string_view text) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), n);
    return wide;
}

std::wstring Utf8ToWideLossy(std::string_view text) {
    if (auto wide = Utf8ToWide(text)) return *std::move(wide);
    std::wstring out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        out += b < 0x80 ? static_cast<wchar_t>(b) : L'\xFFFD';
    }
    return out;
}

std::wstring PathToWide(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return {};
    return Utf8ToWideLossy(path);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = path.empty() ? 0 : ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    const DWORD written = n ? ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr) : 0;
    if (written == 0 || written >= n) return path;
    full.resize(written);
    return full;
}

std::wstring ApiPath(std::string_view path) {
    std::wstring wide = PathToWide(path);
    if (wide.empty() || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
    std::wstring full = FullPath(wide);
    // Long already where the temporary made beside a file (18 characters
    // more) or a folder (CreateDirectory keeps 12 for a file name in it)
    // would pass the plain API's limit.
    if (full.size() < MAX_PATH - 25) return wide;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), n, nullptr, nullptr);
    return out;
}

std::string ErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(error);
    return WideToUtf8(text);
}

Status Failure(DWORD error) {
    Fault kind = Fault::Other;
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: kind = Fault::NotFound; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: kind = Fault::Denied; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: kind = Fault::InUse; break;
    default: break;
    }
    return {kind, ErrorText(error)};
}

} // namespace host::win32
