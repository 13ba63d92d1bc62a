#pragma once
// The Windows backend keeps UTF-8 inside and calls the wide API at the
// boundary; these convert, and report the system's error texts.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/Status.h"

namespace host::win32 {

// Nothing when the text is not valid UTF-8.
std::optional<std::wstring> Utf8ToWide(std::string_view text);
// A text that is not valid UTF-8 keeps its ASCII and turns every other
// byte into U+FFFD, so a bad name still names nothing rather than throwing.
std::wstring Utf8ToWideLossy(std::string_view text);
// A path for the API: as Utf8ToWideLossy, but empty (a name the API refuses)
// when the path holds a zero character, since the API would read only the
// part before it and act on a different file.
std::wstring PathToWide(std::string_view path);
// The full form of a path, as the system makes it ("/" as "\\", "." and ".."
// resolved, relative made absolute); the path itself when it has none.
std::wstring FullPath(const std::wstring& path);
// A path for the file API at any length: as PathToWide, and a path whose
// full form is too long for the plain API (MAX_PATH) becomes the "\\?\" form
// of that full path ("/" as "\", "." and ".." resolved, relative made
// absolute). Shorter paths are left as given, so the API treats them as ever.
std::wstring ApiPath(std::string_view path);
std::string WideToUtf8(std::wstring_view text);

// The system's text for an error code (GetLastError), in UTF-8.
std::string ErrorText(DWORD error);
// An error code as the host layer's failure, with the system's text.
Status Failure(DWORD error);

// Closes a kernel handle when it goes out of scope.
class Handle final {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (*this) ::CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_;
};

// Closes a registry key when it goes out of scope.
class Key final {
public:
    Key() = default;
    ~Key() {
        if (h_) ::RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return h_; }
    HKEY* Out() { return &h_; }

private:
    HKEY h_ = nullptr;
};

} // namespace host::win32
