#include "host/SharedFile.h"

#include <algorithm>

#include "host/win32/Wide.h"

namespace host {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

} // namespace

SharedFile::SharedFile(std::string_view windowsPath) {
    const std::wstring wide = win32::ApiPath(windowsPath);
    if (wide.empty()) return;
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    // Windows refuses write access to a read-only file; Wine run by root
    // would not, so the attribute is checked on the open handle too.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        ::CloseHandle(h);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
}

SharedFile::~SharedFile() {
    if (IsOpen()) ::CloseHandle(AsHandle(handle_));
}

bool SharedFile::IsOpen() const { return handle_ != -1; }

std::optional<std::uint64_t> SharedFile::Size() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !::GetFileSizeEx(AsHandle(handle_), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<std::size_t> SharedFile::Read(char* into, std::size_t length) {
    if (!IsOpen()) return std::nullopt;
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    if (!::ReadFile(AsHandle(handle_), into, ask, &got, nullptr)) return std::nullopt;
    return got;
}

} // namespace host
