#include "settings/TRegistry.h"

#include <optional>

#include "host/HostTypes.h"
#include "host/Registry.h"
#include "settings/Exceptions.h"
#include "settings/NumberRule.h"

namespace settings {
namespace {

std::string ForValue(std::string_view message, std::string_view name) {
    return std::string(message) + " '" + std::string(name) + "'";
}

// The host error, when there is one, follows the accessor's own message, so
// that a damaged store is named with its file and line.
std::string WithDetail(std::string message, const host::HostError& e) { return message + ": " + e.what(); }

// The key path below HKEY_CURRENT_USER that the path bookkeeping names
// ("\Font" after a relative open from the root is the key "Font").
std::string HostPathOf(std::string_view bookkeeping) {
    std::string out;
    while (!bookkeeping.empty()) {
        const std::size_t sep = bookkeeping.find('\\');
        const std::string_view part = bookkeeping.substr(0, sep);
        if (!part.empty()) {
            if (!out.empty()) out += '\\';
            out += part;
        }
        if (sep == std::string_view::npos) break;
        bookkeeping.remove_prefix(sep + 1);
    }
    return out;
}

struct Target {
    std::string hostPath;    // what the store opens
    std::string bookkeeping; // what CurrentPath() reports afterwards
    bool empty = false;      // the given path, without a leading "\", is empty
};

Target Resolve(bool hasKey, const std::string& currentPath, std::string_view path) {
    Target t;
    bool relative = hasKey;
    if (path.starts_with('\\')) {
        path.remove_prefix(1);
        relative = false;
    }
    t.empty = path.empty();
    if (relative) {
        t.bookkeeping = currentPath + "\\" + std::string(path);
        const std::string base = HostPathOf(currentPath);
        t.hostPath = path.empty() ? base : base.empty() ? std::string(path) : base + "\\" + std::string(path);
    } else {
        t.bookkeeping = std::string(path);
        t.hostPath = std::string(path);
    }
    return t;
}

std::unique_ptr<host::RegKey> OpenHostKey(const std::string& path, bool create) {
    try {
        return host::RegKey::Open(path, create);
    } catch (const host::HostError& e) {
        throw ERegistryException(e.what());
    }
}

// The text of a value; nothing when it is missing.
std::optional<std::string> ReadValueText(const host::RegKey& key, std::string_view name) {
    std::optional<host::RegValue> value;
    try {
        value = key.Query(name);
    } catch (const host::HostError& e) {
        throw ERegistryException(WithDetail(ForValue("Ошибка чтения значения для", name), e));
    }
    if (!value) return std::nullopt;
    if (value->size == 0) return std::string();
    if (value->type != host::regSz && value->type != host::regExpandSz)
        throw ERegistryException(ForValue("Неверный тип данных для", name));
    return std::move(value->text);
}

void WriteValueText(host::RegKey& key, std::string_view name, std::string_view text) {
    try {
        key.SetString(name, text);
    } catch (const host::HostError& e) {
        throw ERegistryException(WithDetail(ForValue("Ошибка записи значения для", name), e));
    }
}

} // namespace

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() = default;

bool TRegistry::OpenKeyPath(std::string_view path, bool create) {
    const Target t = Resolve(HasCurrentKey(), path_, path);
    auto key = OpenHostKey(t.hostPath, create && !t.empty);
    if (!key) return false;
    key_ = std::move(key);
    path_ = t.bookkeeping;
    return true;
}

bool TRegistry::ValuePresent(std::string_view name) const {
    if (!key_) return false;
    try {
        return key_->HasValue(name);
    } catch (const host::HostError& e) {
        throw ERegistryException(e.what());
    }
}

std::string TRegistry::ReadText(std::string_view name) const {
    if (!key_) return {};
    return ReadValueText(*key_, name).value_or(std::string());
}

void TRegistry::WriteText(std::string_view name, std::string_view text) {
    if (!key_) throw ERegistryException(ForValue("Ошибка записи значения для", name));
    WriteValueText(*key_, name, text);
}

void TRegistry::ListValueNames(std::vector<std::string>& list) const {
    list.clear();
    if (!key_) return;
    try {
        list = key_->ValueNames();
    } catch (const host::HostError& e) {
        throw ERegistryException(e.what());
    }
}

void TRegistry::CloseKey() {
    key_.reset();
    path_.clear();
}

bool TRegistry::HasCurrentKey() const { return key_ != nullptr; }

const std::string& TRegistry::CurrentPath() const { return path_; }

TRegIniFile::TRegIniFile(std::string_view name) { OpenKeyPath(name, true); }

// Sections live under the key named at creation. When that key could not be
// made there is no current key, and a section taken from the root instead
// would read or write some other key of the same name: such calls act as on a
// missing key.
std::string TRegIniFile::ReadText(std::string_view section, std::string_view ident, std::string_view def) {
    if (!HasCurrentKey()) return std::string(def);
    const auto sub = OpenHostKey(Resolve(true, CurrentPath(), section).hostPath, false);
    if (!sub) return std::string(def);
    return ReadValueText(*sub, ident).value_or(std::string(def));
}

void TRegIniFile::WriteText(std::string_view section, std::string_view ident, std::string_view text) {
    const std::string failure = "Ошибка создания ключа " + std::string(section);
    if (!HasCurrentKey()) throw ERegistryException(failure);
    std::unique_ptr<host::RegKey> sub;
    try {
        sub = host::RegKey::Open(Resolve(true, CurrentPath(), section).hostPath, true);
    } catch (const host::HostError& e) {
        throw ERegistryException(WithDetail(failure, e));
    }
    if (!sub) throw ERegistryException(failure);
    WriteValueText(*sub, ident, text);
}

std::int32_t TRegIniFile::ReadNumber(std::string_view section, std::string_view ident, std::int32_t def) {
    if (!HasCurrentKey()) return def;
    const auto sub = OpenHostKey(Resolve(true, CurrentPath(), section).hostPath, false);
    if (!sub) return def;
    const auto text = ReadValueText(*sub, ident);
    return text ? ReadNumberRule(*text, def) : def;
}

void TRegIniFile::WriteNumber(std::string_view section, std::string_view ident, std::int32_t n) {
    WriteText(section, ident, std::to_string(n));
}

} // namespace settings
