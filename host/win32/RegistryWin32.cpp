// The registry under HKEY_CURRENT_USER. Keys are opened and created with full
// access and kept open for the life of a RegKey.

#include "host/Registry.h"

#include <algorithm>
#include <vector>

#include "host/HostTypes.h"
#include "host/win32/Wide.h"

namespace host {
namespace {

using win32::Key;

// A name as the registry takes it: nothing when it is not UTF-8 or holds a
// zero character, which would end it early and name another key or value.
std::optional<std::wstring> ApiName(std::string_view name) {
    if (name.find('\0') != std::string_view::npos) return std::nullopt;
    return win32::Utf8ToWide(name);
}

// A path as the registry takes it; nothing for a name it must not be given
// (an empty component: "A\\\\B" would otherwise be read as "A\\B").
std::optional<std::wstring> KeyPath(std::string_view path) {
    auto wide = ApiName(path);
    if (!wide) return std::nullopt;
    if (wide->empty()) return wide;
    if (wide->front() == L'\\' || wide->back() == L'\\' || wide->find(L"\\\\") != std::wstring::npos)
        return std::nullopt;
    return wide;
}

// Opens (or creates) a key; 0 or the registry's error.
LSTATUS OpenKey(const std::wstring& path, bool create, Key& key) {
    if (create && !path.empty())
        return ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, key.Out(), nullptr);
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.Out());
}

std::wstring ValueName(std::string_view name) {
    auto wide = ApiName(name);
    if (!wide) throw HostError("invalid value name: " + std::string(name));
    return *std::move(wide);
}

// The text of string data: UTF-16 up to the first zero character, or the
// whole when it has none (an odd last byte is no character).
std::string TextOf(const std::vector<unsigned char>& data) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == L'\0') break;
        text += c;
    }
    return win32::WideToUtf8(text);
}

void SetValue(HKEY key, const std::wstring& name, DWORD type, const unsigned char* data, std::size_t size,
              std::string_view what) {
    // The size is a DWORD; a longer value must fail, not be stored cut short.
    if (size > MAXDWORD) throw HostError("registry value too long: " + std::string(what));
    const LSTATUS rc = ::RegSetValueExW(key, name.c_str(), 0, type, size ? data : nullptr, static_cast<DWORD>(size));
    if (rc != ERROR_SUCCESS)
        throw HostError("cannot write registry value " + std::string(what) + ": " + win32::ErrorText(rc));
}

} // namespace

struct RegKey::Impl {
    std::string path;
    Key key;
};

std::unique_ptr<RegKey> RegKey::Open(std::string_view path, bool create) {
    const auto wide = KeyPath(path);
    if (!wide) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->path = std::string(path);
    if (OpenKey(*wide, create, impl->key) != ERROR_SUCCESS) return nullptr;
    // The constructor is private to this factory; ownership is taken at once.
    return std::unique_ptr<RegKey>(new RegKey(std::move(impl)));
}

RegKey::RegKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegKey::~RegKey() = default;

const std::string& RegKey::Path() const { return impl_->path; }

bool RegKey::HasValue(std::string_view name) const {
    const auto wide = ApiName(name);
    return wide &&
           ::RegQueryValueExW(impl_->key.Get(), wide->c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<RegValue> RegKey::Query(std::string_view name) const {
    const auto wide = ApiName(name);
    if (!wide) return std::nullopt;
    DWORD type = REG_NONE;
    std::vector<unsigned char> data(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS rc = ::RegQueryValueExW(impl_->key.Get(), wide->c_str(), nullptr, &type, data.data(), &size);
        if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
        if (rc == ERROR_MORE_DATA) {
            // The value may have grown between the calls; ask again.
            data.resize(std::max<std::size_t>(size, data.size() * 2));
            continue;
        }
        if (rc != ERROR_SUCCESS)
            throw HostError("cannot read registry value " + std::string(name) + ": " + win32::ErrorText(rc));
        data.resize(size);
        break;
    }
    RegValue value;
    value.type = type;
    value.size = data.size();
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        value.text = TextOf(data);
    else
        value.bytes = std::move(data);
    return value;
}

void RegKey::SetString(std::string_view name, std::string_view text) {
    const auto wide = win32::Utf8ToWide(text);
    if (!wide) throw HostError("value text is not UTF-8: " + std::string(name));
    std::vector<unsigned char> data;
    data.reserve((wide->size() + 1) * 2);
    for (const wchar_t c : *wide) {
        data.push_back(static_cast<unsigned char>(c & 0xFF));
        data.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    data.push_back(0); // the terminating zero character, stored with the text
    data.push_back(0);
    SetValue(impl_->key.Get(), ValueName(name), REG_SZ, data.data(), data.size(), name);
}

std::vector<std::string> RegKey::ValueNames() const {
    std::vector<std::string> names;
    DWORD longest = 0;
    if (::RegQueryInfoKeyW(impl_->key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> buffer(longest + 2);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS rc =
            ::RegEnumValueW(impl_->key.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        names.push_back(win32::WideToUtf8({buffer.data(), length}));
        ++index;
    }
    return names;
}

std::optional<std::string> TakeStoreTrouble() { return std::nullopt; }

void RegSetRaw(std::string_view keyPath, std::string_view name, std::uint32_t type,
               const std::vector<unsigned char>& data) {
    const auto wide = KeyPath(keyPath);
    if (!wide) throw HostError("invalid key name: " + std::string(keyPath));
    Key key;
    if (const LSTATUS rc = OpenKey(*wide, true, key); rc != ERROR_SUCCESS)
        throw HostError("cannot open registry key " + std::string(keyPath) + ": " + win32::ErrorText(rc));
    SetValue(key.Get(), ValueName(name), type, data.data(), data.size(), name);
}

} // namespace host
