// File operations on the wide API. A replacement is always made in a new
// file beside the target and moved over it with MoveFileExW, so a failure
// at any point leaves the old target as it was.

#include "host/Files.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/HostTypes.h"
#include "host/common/TempPath.h"
#include "host/win32/Wide.h"

// <windows.h> makes DeleteFile a macro for DeleteFileW; ours is the host one.
#undef DeleteFile

namespace host {
namespace {

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

std::wstring Wide(std::string_view path) { return win32::PathToWide(path); }

DWORD AttributesOf(const std::wstring& path) {
    return path.empty() ? kNoAttributes : ::GetFileAttributesW(path.c_str());
}

void DeleteTemp(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}
using TempFile = TempPath<std::wstring, DeleteTemp>;

// ".<name>.<random>.tmp" in the target's folder: the same volume, so the move
// is a rename; the leading dot keeps a name left by a killed process out of
// the file search under Wine, as on POSIX.
std::wstring TempNameFor(const std::wstring& target) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::size_t cut = target.find_last_of(L"\\/:");
    const std::wstring folder = cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1);
    const std::wstring name = cut == std::wstring::npos ? target : target.substr(cut + 1);
    std::wstring suffix = L".";
    std::uint64_t bits = random();
    for (int i = 0; i < 12; ++i, bits >>= 4) suffix += L"0123456789abcdef"[bits & 15];
    return folder + L"." + name + suffix + L".tmp";
}

// The target as the folder stores its name: a file replaced under a name
// written in another case keeps its own name, as on POSIX.
std::wstring StoredName(const std::wstring& target) {
    if (target.find_first_of(L"*?") != std::wstring::npos) return target;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(target.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return target;
    ::FindClose(find);
    const std::size_t cut = target.find_last_of(L"\\/:");
    return (cut == std::wstring::npos ? std::wstring() : target.substr(0, cut + 1)) + data.cFileName;
}

// Why a target cannot be replaced at all (a folder, a read-only file), or 0.
DWORD RefusalFor(const std::wstring& target) {
    const DWORD attributes = AttributesOf(target);
    if (attributes == kNoAttributes) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    return 0;
}

// The attributes the new file takes: the old target's (its permissions, as
// POSIX keeps the mode), else plain ones.
DWORD AttributesForNew(const std::wstring& target) {
    const DWORD old = AttributesOf(target);
    if (old == kNoAttributes) return FILE_ATTRIBUTE_NORMAL;
    const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// Moves the finished temporary over the target. Returns 0 or the error.
DWORD MoveIntoPlace(TempFile& temp, const std::wstring& target, DWORD attributes) {
    if (!::SetFileAttributesW(temp.Path().c_str(), attributes)) return ::GetLastError();
    if (!::MoveFileExW(temp.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ::GetLastError();
    temp.Release();
    return 0;
}

DWORD WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 24));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return 0;
}

// Where no new file can be made in the folder (staff may write the file but
// not its folder): the existing target is cut and written again, then
// flushed. Not atomic: a process killed meanwhile can leave it short.
DWORD OverwriteInPlace(const std::wstring& target, std::string_view bytes) {
    win32::Handle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    if (const DWORD err = WriteAll(file.Get(), bytes)) return err;
    if (!::FlushFileBuffers(file.Get())) return ::GetLastError();
    return 0;
}

DWORD WriteReplacing(const std::wstring& given, std::string_view bytes) {
    if (given.empty()) return ERROR_INVALID_NAME;
    const std::wstring target = StoredName(given);
    if (const DWORD refused = RefusalFor(target)) return refused;
    const DWORD attributes = AttributesForNew(target);
    TempFile temp;
    win32::Handle file;
    for (int tries = 0; tries < 100 && !file; ++tries) {
        std::wstring name = TempNameFor(target);
        file.Reset(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            temp.Set(std::move(name));
        } else if (const DWORD err = ::GetLastError(); err != ERROR_FILE_EXISTS) {
            if (err == ERROR_ACCESS_DENIED && AttributesOf(target) != kNoAttributes)
                return OverwriteInPlace(target, bytes);
            return err;
        }
    }
    if (!file) return ERROR_FILE_EXISTS;
    if (const DWORD err = WriteAll(file.Get(), bytes)) return err;
    if (!::FlushFileBuffers(file.Get())) return ::GetLastError();
    file.Reset();
    return MoveIntoPlace(temp, target, attributes);
}

} // namespace

bool FileExists(std::string_view path) {
    const DWORD attributes = AttributesOf(Wide(path));
    return attributes != kNoAttributes && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view path) {
    const DWORD attributes = AttributesOf(Wide(path));
    return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Status CopyFileReplace(std::string_view from, std::string_view to) {
    const auto fail = [](DWORD err) { return win32::Failure(err); };
    const std::wstring source = Wide(from), target = StoredName(Wide(to));
    const DWORD sourceAttributes = AttributesOf(source);
    if (target.empty() || sourceAttributes == kNoAttributes) return fail(ERROR_FILE_NOT_FOUND);
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) return fail(ERROR_DIRECTORY);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data)) return fail(::GetLastError());
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size > kCopyLimitBytes) return fail(ERROR_FILE_TOO_LARGE);
    if (const DWORD refused = RefusalFor(target)) return fail(refused);
    // A copy from a read-only medium must not make the target read-only.
    const DWORD attributes = AttributesForNew(target);
    TempFile temp;
    std::wstring name = TempNameFor(target);
    if (!::CopyFileW(source.c_str(), name.c_str(), TRUE)) {
        const DWORD err = ::GetLastError();
        if (err != ERROR_ACCESS_DENIED || AttributesOf(target) == kNoAttributes) return fail(err);
        // A folder that takes no new file: the key file is written in place.
        const auto bytes = ReadWholeFile(from);
        if (!bytes) return fail(err);
        if (const DWORD again = OverwriteInPlace(target, *bytes)) return fail(again);
        return {};
    }
    temp.Set(std::move(name));
    if (const DWORD err = MoveIntoPlace(temp, target, attributes)) return fail(err);
    return {};
}

Status DeleteFile(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    return ::DeleteFileW(wide.c_str()) ? Status() : win32::Failure(::GetLastError());
}

Status SetNormalAttributes(std::string_view path) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = AttributesOf(wide);
    if (attributes == kNoAttributes) return win32::Failure(wide.empty() ? ERROR_INVALID_NAME : ::GetLastError());
    DWORD plain = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_DIRECTORY};
    if (plain == 0) plain = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesW(wide.c_str(), plain) ? Status() : win32::Failure(::GetLastError());
}

Result<std::string> ReadWholeFile(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    win32::Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win32::Failure(::GetLastError());
    std::string content;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0)
        content.reserve(static_cast<std::size_t>(size.QuadPart));
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr))
            return win32::Failure(::GetLastError());
        if (n == 0) return content;
        content.append(buffer.data(), n);
    }
}

Status WriteFileAtomic(std::string_view path, std::string_view bytes) {
    if (const DWORD err = WriteReplacing(Wide(path), bytes)) return win32::Failure(err);
    return {};
}

Status MakeFolders(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(wide), ec);
    if (DirectoryExists(path)) return {};
    return ec ? Status(Fault::Other, ec.message()) : win32::Failure(ERROR_PATH_NOT_FOUND);
}

Status CheckFolderWritable(std::string_view folder) {
    const std::wstring wide = Wide(folder.empty() ? std::string_view(".") : folder);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    const std::wstring probe = TempNameFor(wide + L"\\probe");
    win32::Handle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file ? Status() : win32::Failure(::GetLastError());
}

std::string DisplayPath(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return std::string(path);
    const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return std::string(path);
    std::wstring full(n, L'\0');
    const DWORD written = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return std::string(path);
    full.resize(written);
    return win32::WideToUtf8(full);
}

std::optional<FileId> FolderId(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return std::nullopt;
    // Backup semantics lets a folder be opened as a handle; no access is asked.
    win32::Handle handle(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) return std::nullopt;
    return FileId{info.dwVolumeSerialNumber,
                  (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace host
