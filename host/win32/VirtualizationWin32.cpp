// Where Windows keeps a redirected program's copies, whether it redirects at
// all, and whether this process runs elevated.

#include "host/Virtualization.h"

#include <shlobj.h>

#include "host/win32/Wide.h"

namespace host {
namespace {

// Frees what the shell allocated for an answer.
class ShellText final {
public:
    ShellText() = default;
    ~ShellText() { ::CoTaskMemFree(text_); }
    ShellText(const ShellText&) = delete;
    ShellText& operator=(const ShellText&) = delete;
    wchar_t** Out() { return &text_; }
    const wchar_t* Get() const { return text_; }

private:
    wchar_t* text_ = nullptr;
};

// A policy switch: off only when the value is there and 0.
bool SwitchedOn(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return true;
    return type != REG_DWORD || size != sizeof value || value != 0;
}

bool IsDrivePath(std::string_view path) {
    const auto letter = static_cast<unsigned char>(path.empty() ? 0 : path[0]);
    return path.size() >= 3 && ((letter | 0x20) >= 'a' && (letter | 0x20) <= 'z') && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

} // namespace

std::string VirtualStorePath(std::string_view windowsPath) {
    if (!IsDrivePath(windowsPath)) return {};
    ShellText local;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, local.Out())) || !local.Get())
        return {};
    std::string rest(windowsPath.substr(3));
    for (char& c : rest)
        if (c == '/') c = '\\';
    return win32::WideToUtf8(local.Get()) + "\\VirtualStore\\" + rest;
}

bool VirtualizationAllowed() {
    win32::Key key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                        KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
        return true; // no policy: Windows' defaults, both on
    return SwitchedOn(key.Get(), L"EnableLUA") && SwitchedOn(key.Get(), L"EnableVirtualization");
}

bool ProcessElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const win32::Handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
}

} // namespace host
