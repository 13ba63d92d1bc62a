// File operations on the wide API. A replacement is always made in a new
// file beside the target and then put in its place (ReplaceFileW over an
// existing target, which keeps its security settings, owner and attributes;
// MoveFileExW where there is none), so a failure at any point leaves the old
// target as it was. Paths too long for the plain API take the "\\?\" form.

#include "host/Files.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "host/HostTypes.h"
#include "host/common/TempPath.h"
#include "host/win32/Wide.h"

// <windows.h> makes DeleteFile a macro for DeleteFileW; ours is the host one.
#undef DeleteFile

namespace host {
namespace {

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

std::wstring Wide(std::string_view path) { return win32::ApiPath(path); }

DWORD AttributesOf(const std::wstring& path) {
    return path.empty() ? kNoAttributes : ::GetFileAttributesW(path.c_str());
}

bool HeldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// A file another program holds for a moment (a virus scanner reading a new
// file, a backup) is tried again for up to about a second. The attempt
// returns 0 or the error.
template <class Attempt>
DWORD Retried(Attempt attempt) {
    DWORD error = attempt();
    for (int tries = 0; tries < 20 && HeldByAnother(error); ++tries) {
        ::Sleep(50);
        error = attempt();
    }
    return error;
}

// The failure, naming the file when another program holds it (the box
// about it may name a different one: the target of a copy, not its source).
Status Fail(DWORD error, const std::wstring& file) {
    Status failure = win32::Failure(error);
    if (failure.Kind() != Fault::InUse) return failure;
    const std::wstring full = win32::FullPath(file);
    const std::wstring shown = full.starts_with(L"\\\\?\\UNC\\") ? L"\\\\" + full.substr(8)
                               : full.starts_with(L"\\\\?\\")    ? full.substr(4)
                                                                 : full;
    return {Fault::InUse, failure.Reason() + ": " + win32::WideToUtf8(shown)};
}

void DeleteTemp(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}
using TempFile = TempPath<std::wstring, DeleteTemp>;

std::size_t NameStart(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? 0 : cut + 1;
}

// ".<name>.<12 hex digits>.tmp" in the target's folder: the same volume, so
// the move is a rename; the leading dot keeps a name left by a killed
// process out of the file search under Wine, as on POSIX.
std::wstring TempNameFor(const std::wstring& target) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::size_t name = NameStart(target);
    std::wstring suffix = L".";
    std::uint64_t bits = random();
    for (int i = 0; i < 12; ++i, bits >>= 4) suffix += L"0123456789abcdef"[bits & 15];
    return target.substr(0, name) + L"." + target.substr(name) + suffix + L".tmp";
}

// A temporary that a killed writer left beside target goes at the next write
// of target. A live writer holds its temporary open without sharing its
// deletion, so only the ones without an owner can be deleted.
void RemoveStaleTemps(const std::wstring& target) {
    const std::size_t cut = NameStart(target);
    const std::wstring folder = target.substr(0, cut), name = L"." + target.substr(cut) + L".";
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW((folder + name + L"????????????.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        // The system's match also tries the short names and lets "?" match
        // nothing: only names exactly of the temporaries' form count.
        const std::wstring_view found = data.cFileName;
        if (found.size() != name.size() + 16 || !found.starts_with(name) || !found.ends_with(L".tmp")) continue;
        if (found.substr(name.size(), 12).find_first_not_of(L"0123456789abcdef") != std::wstring_view::npos) continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((folder + data.cFileName).c_str());
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

// The target as the folder stores its name: a file replaced under a name
// written in another case keeps its own name, as on POSIX.
std::wstring StoredName(const std::wstring& target) {
    if (target.find_first_of(L"*?") != std::wstring::npos) return target;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(target.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return target;
    ::FindClose(find);
    return target.substr(0, NameStart(target)) + data.cFileName;
}

// Why a target cannot be replaced at all (a folder, a read-only file), or 0.
DWORD RefusalFor(const std::wstring& target) {
    const DWORD attributes = AttributesOf(target);
    if (attributes == kNoAttributes) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    return 0;
}

// The attributes the new file takes: the old target's (as POSIX keeps the
// mode), else plain ones; never read-only, which a copy from a disc has.
DWORD AttributesForNew(const std::wstring& target) {
    const DWORD old = AttributesOf(target);
    if (old == kNoAttributes) return FILE_ATTRIBUTE_NORMAL;
    const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// ReplaceFileW tells only that the old file could not be removed: another
// program holds it, or this user may not remove it. Opening it for removal
// tells which.
DWORD WhyNotRemoved(const std::wstring& target) {
    const win32::Handle probe(::CreateFileW(target.c_str(), DELETE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return probe ? DWORD{ERROR_UNABLE_TO_REMOVE_REPLACED} : ::GetLastError();
}

// Puts the finished temporary in the target's place. Returns 0 or the error.
DWORD MoveIntoPlace(TempFile& temp, const std::wstring& given) {
    // Full paths: Wine's ReplaceFileW takes no relative one.
    const std::wstring fullTemp = win32::FullPath(temp.Path()), target = win32::FullPath(given);
    const wchar_t* from = fullTemp.c_str();
    if (!::SetFileAttributesW(from, AttributesForNew(target))) return ::GetLastError();
    const bool existed = AttributesOf(target) != kNoAttributes;
    const DWORD error = Retried([&]() -> DWORD {
        if (AttributesOf(target) == kNoAttributes)
            return ::MoveFileExW(from, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? 0
                       : ::GetLastError();
        if (::ReplaceFileW(target.c_str(), from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) return 0;
        const DWORD failed = ::GetLastError();
        if (failed == ERROR_UNABLE_TO_REMOVE_REPLACED) return WhyNotRemoved(target);
        // The old file is gone but the new one kept its name: finish the move.
        if (failed == ERROR_UNABLE_TO_MOVE_REPLACEMENT && AttributesOf(target) == kNoAttributes)
            return ::MoveFileExW(from, target.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : ::GetLastError();
        return failed;
    });
    // A replace that removed the old file but could not rename the new one
    // leaves the new one under its temporary name: never delete the only copy.
    if (error == 0 || (existed && AttributesOf(target) == kNoAttributes)) temp.Release();
    return error;
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
    win32::Handle file;
    if (const DWORD error = Retried([&]() -> DWORD {
            file.Reset(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            return file ? 0 : ::GetLastError();
        }))
        return error;
    if (const DWORD error = WriteAll(file.Get(), bytes)) return error;
    if (!::FlushFileBuffers(file.Get())) return ::GetLastError();
    return 0;
}

// A new temporary beside target, open for writing without sharing (which
// marks it live). Returns 0, the error, or for a folder that takes no new
// file ERROR_ACCESS_DENIED.
DWORD CreateTemp(const std::wstring& target, win32::Handle& file, TempFile& temp) {
    for (int tries = 0; tries < 100; ++tries) {
        std::wstring name = TempNameFor(target);
        file.Reset(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            temp.Set(std::move(name));
            return 0;
        }
        if (const DWORD error = ::GetLastError(); error != ERROR_FILE_EXISTS) return error;
    }
    return ERROR_FILE_EXISTS;
}

DWORD WriteReplacing(const std::wstring& given, std::string_view bytes) {
    if (given.empty()) return ERROR_INVALID_NAME;
    const std::wstring target = StoredName(given);
    if (const DWORD refused = RefusalFor(target)) return refused;
    RemoveStaleTemps(target);
    TempFile temp;
    win32::Handle file;
    if (const DWORD error = CreateTemp(target, file, temp)) {
        if (error == ERROR_ACCESS_DENIED && AttributesOf(target) != kNoAttributes)
            return OverwriteInPlace(target, bytes);
        return error;
    }
    if (const DWORD error = WriteAll(file.Get(), bytes)) return error;
    if (!::FlushFileBuffers(file.Get())) return ::GetLastError();
    file.Reset();
    return MoveIntoPlace(temp, target);
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
    const std::wstring source = Wide(from), target = StoredName(Wide(to));
    const DWORD sourceAttributes = AttributesOf(source);
    if (target.empty() || sourceAttributes == kNoAttributes) return win32::Failure(ERROR_FILE_NOT_FOUND);
    if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) return win32::Failure(ERROR_DIRECTORY);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data)) return win32::Failure(::GetLastError());
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size > kCopyLimitBytes) return win32::Failure(ERROR_FILE_TOO_LARGE);
    if (const DWORD refused = RefusalFor(target)) return win32::Failure(refused);
    RemoveStaleTemps(target);
    TempFile temp;
    std::wstring name = TempNameFor(target);
    const DWORD copyError =
        Retried([&]() -> DWORD { return ::CopyFileW(source.c_str(), name.c_str(), TRUE) ? 0 : ::GetLastError(); });
    if (copyError == 0) {
        temp.Set(std::move(name));
        if (const DWORD error = MoveIntoPlace(temp, target)) return Fail(error, target);
        return {};
    }
    if (copyError != ERROR_ACCESS_DENIED || AttributesOf(target) == kNoAttributes) return Fail(copyError, source);
    // A folder that takes no new file: the key file is written in place.
    const auto bytes = ReadWholeFile(from);
    if (!bytes) return bytes.Why();
    if (const DWORD error = OverwriteInPlace(target, *bytes)) return Fail(error, target);
    return {};
}

Status DeleteFile(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    const DWORD error = Retried([&]() -> DWORD { return ::DeleteFileW(wide.c_str()) ? 0 : ::GetLastError(); });
    if (error) return Fail(error, wide);
    // Wine reports a deletion its user may not make as done and keeps the
    // file; Windows refuses it.
    return AttributesOf(wide) == kNoAttributes ? Status() : win32::Failure(ERROR_ACCESS_DENIED);
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
    std::string content;
    const DWORD error = Retried([&]() -> DWORD {
        content.clear();
        win32::Handle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return ::GetLastError();
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0)
            content.reserve(static_cast<std::size_t>(size.QuadPart));
        std::vector<char> buffer(1 << 16);
        for (DWORD n = 1; n != 0;) {
            if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr))
                return ::GetLastError();
            content.append(buffer.data(), n);
        }
        return 0;
    });
    if (error) return Fail(error, wide);
    return content;
}

Status WriteFileAtomic(std::string_view path, std::string_view bytes) {
    const std::wstring wide = Wide(path);
    if (const DWORD error = WriteReplacing(wide, bytes)) return Fail(error, wide);
    return {};
}

Status MakeFolders(std::string_view path) {
    std::wstring wide = Wide(path);
    while (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    // Up to the first folder that exists, then down again making each.
    std::vector<std::wstring> missing;
    for (std::wstring at = wide; AttributesOf(at) == kNoAttributes;) {
        missing.push_back(at);
        const std::size_t cut = at.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut == 0) break;
        at.resize(at[cut - 1] == L':' ? cut + 1 : cut); // "C:\", not "C:"
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder)
        if (!::CreateDirectoryW(folder->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return win32::Failure(::GetLastError());
    if (DirectoryExists(path)) return {};
    return win32::Failure(AttributesOf(wide) == kNoAttributes ? ERROR_PATH_NOT_FOUND : ERROR_DIRECTORY);
}

Status CheckFolderWritable(std::string_view folder) {
    std::wstring wide = Wide(folder.empty() ? std::string_view(".") : folder);
    if (wide.empty()) return win32::Failure(ERROR_INVALID_NAME);
    const DWORD attributes = AttributesOf(wide);
    if (attributes == kNoAttributes) return win32::Failure(::GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return win32::Failure(ERROR_DIRECTORY);
    if (wide.back() != L'\\' && wide.back() != L'/') wide += L'\\';
    // Made as a write makes its temporary, and gone when closed.
    const std::wstring probe = TempNameFor(wide + L"probe");
    win32::Handle file(::CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file ? Status() : win32::Failure(::GetLastError());
}

std::string DisplayPath(std::string_view path) {
    const std::wstring wide = win32::PathToWide(path);
    return wide.empty() ? std::string(path) : win32::WideToUtf8(win32::FullPath(wide));
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
