#include "host/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "host/HostTypes.h"
#include "host/posix/RegFile.h"
#include "host/posix/ReplaceFile.h"
#include "host/posix/UniqueFd.h"

namespace fs = std::filesystem;

namespace host {
namespace {

constexpr std::string_view kFolder = "dorv-launcher";
constexpr std::string_view kFileName = "registry.reg";

std::string Errno(int err) { return std::strerror(err); }

fs::path StoreFile() {
    // The XDG rule: a relative XDG_CONFIG_HOME is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / kFolder / kFileName;
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw HostError("Не найдена папка настроек: не заданы XDG_CONFIG_HOME и HOME");
    return fs::path(home) / ".config" / kFolder / kFileName;
}

// The writers' lock: flock on a file beside the store, which the rename of
// the store does not replace.
class WriteLock final {
public:
    explicit WriteLock(const fs::path& file) {
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        if (ec) throw HostError("Не могу создать папку " + file.parent_path().string() + ": " + ec.message());
        const fs::path lock = file.string() + ".lock";
        fd_.Reset(::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!fd_) throw HostError("Не могу открыть " + lock.string() + ": " + Errno(errno));
        while (::flock(fd_.Get(), LOCK_EX) != 0) {
            if (errno != EINTR) throw HostError("Не могу заблокировать " + lock.string() + ": " + Errno(errno));
        }
    }

private:
    posix::UniqueFd fd_; // closing it releases the lock
};

// The store's bytes; nothing when there is no store; HostError when it is
// there but cannot be read (no permission, not a plain file, a read error).
std::optional<std::string> ReadBytes(const fs::path& file) {
    // Never block on a FIFO or device put where the store should be.
    const posix::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throw HostError("Не могу прочитать " + file.string() + ": " + Errno(errno));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) throw HostError("Не могу прочитать " + file.string() + ": " + Errno(errno));
    if (!S_ISREG(st.st_mode)) throw HostError("Не могу прочитать " + file.string() + ": это не обычный файл");
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::string chunk(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw HostError("Не могу прочитать " + file.string() + ": " + Errno(errno));
        }
        if (n == 0) return bytes;
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

regfile::Store ParseStore(const fs::path& file) {
    const auto bytes = ReadBytes(file);
    if (!bytes) return {};
    return regfile::Parse(*bytes, file.string());
}

// Trouble with the store, kept for one report: a store left in place gives
// the same text at every read, and is told once.
std::mutex troubleMutex;
std::optional<std::string> trouble;
std::string lastTrouble;

void NoteTrouble(std::string text) {
    const std::lock_guard guard(troubleMutex);
    if (text == lastTrouble) return;
    lastTrouble = text;
    trouble = std::move(text);
}

// A name beside the store for its damaged copy, not yet taken.
fs::path DamagedName(const fs::path& file) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    const std::string base = file.string() + ".damaged-" + stamp;
    fs::path name = base;
    struct stat st {};
    for (int n = 2; ::lstat(name.c_str(), &st) == 0; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// Holding the lock: a store that cannot be read or parsed is renamed aside,
// byte for byte as it was, so that the next write starts a fresh one and no
// guess ever replaces it. Where it cannot be moved it stays, and writes fail.
// Throws HostError only when the store is in trouble and stays in place.
regfile::Store ParseOrSetAside(const fs::path& file) {
    try {
        return ParseStore(file);
    } catch (const HostError& e) {
        const fs::path aside = DamagedName(file);
        if (::rename(file.c_str(), aside.c_str()) == 0) {
            NoteTrouble("Файл настроек повреждён или не читается (" + std::string(e.what()) +
                        "). Он сохранён без изменений как " + aside.string() +
                        "; программа работает с настройками по умолчанию, а при закрытии "
                        "запишет новый файл " +
                        file.string() + ".");
            return {};
        }
        const int err = errno;
        const std::string why = std::string(e.what()) + "; не могу отложить его (" + Errno(err) +
                                "), файл оставлен как есть, настройки не сохраняются";
        NoteTrouble("Файл настроек повреждён или не читается (" + why + ").");
        throw HostError(why);
    }
}

// A writer killed at any moment leaves the old store or the new one.
// A store kept elsewhere through a link stays there, and the link a link;
// temporaries a killed writer left are removed first.
void ReplaceAtomically(const fs::path& file, std::string_view bytes) {
    if (const int err = posix::ReplaceHostFile(file, bytes))
        throw HostError("Не могу записать " + file.string() + ": " + Errno(err));
}

// Under the lock: read afresh, change, write back. A store that cannot be
// parsed stops it before anything is written.
void Modify(const std::function<bool(regfile::Store&)>& change) {
    const fs::path file = StoreFile();
    WriteLock lock(file);
    regfile::Store store = ParseOrSetAside(file);
    if (change(store)) ReplaceAtomically(file, regfile::Serialize(store));
}

// The store as last parsed, with the bytes it came from: reading and
// comparing the file costs little next to parsing it, so a start's many reads
// of a large store cost one parse, and any change of the file is seen.
struct ParsedStore {
    std::string path;
    std::string bytes;
    std::shared_ptr<const regfile::Store> store;
};
std::mutex parsedMutex;
std::optional<ParsedStore> parsed;

std::shared_ptr<const regfile::Store> ParseShared(const fs::path& file) {
    auto bytes = ReadBytes(file);
    if (!bytes) return std::make_shared<const regfile::Store>();
    {
        const std::lock_guard guard(parsedMutex);
        if (parsed && parsed->path == file.native() && parsed->bytes == *bytes) return parsed->store;
    }
    auto store = std::make_shared<const regfile::Store>(regfile::Parse(*bytes, file.string()));
    const std::lock_guard guard(parsedMutex);
    parsed = ParsedStore{file.native(), std::move(*bytes), store};
    return store;
}

// What a reader sees: the store, or an empty one when it cannot be read or
// parsed (then set aside, or left in place and reported).
std::shared_ptr<const regfile::Store> ReadStore() {
    const fs::path file = StoreFile();
    std::string first;
    try {
        return ParseShared(file);
    } catch (const HostError& e) {
        first = e.what();
    }
    try {
        WriteLock lock(file);
        return std::make_shared<const regfile::Store>(ParseOrSetAside(file));
    } catch (const HostError& e) {
        NoteTrouble(first + " (" + e.what() + ")");
        return std::make_shared<const regfile::Store>();
    }
}

std::vector<std::string> FoldPath(const std::vector<std::string>& parts) {
    std::vector<std::string> folded;
    for (const auto& p : parts) folded.push_back(regfile::FoldName(p));
    return folded;
}

std::vector<std::string> CheckedPath(std::string_view path) {
    std::vector<std::string> parts;
    if (!regfile::SplitPath(path, parts)) throw HostError("Недопустимое имя ключа «" + std::string(path) + "»");
    return parts;
}

void CheckValueName(std::string_view name) {
    if (!regfile::IsStorableName(name)) throw HostError("Недопустимое имя значения «" + std::string(name) + "»");
}

void SetRawValue(const std::vector<std::string>& parts, std::string_view name, std::uint32_t type,
                 std::vector<unsigned char> data) {
    Modify([&](regfile::Store& store) {
        regfile::Key& key = store.Create(parts);
        if (const regfile::Value* old = regfile::Store::FindValue(key, name);
            old && old->type == type && old->data == data)
            return false;
        regfile::Store::SetValue(key, name, type, std::move(data));
        return true;
    });
}

} // namespace

struct RegKey::Impl {
    std::string path;
    std::vector<std::string> parts;
    std::vector<std::string> folded;
};

std::unique_ptr<RegKey> RegKey::Open(std::string_view path, bool create) {
    auto impl = std::make_unique<Impl>();
    if (!regfile::SplitPath(path, impl->parts)) return nullptr;
    impl->path = std::string(path);
    impl->folded = FoldPath(impl->parts);

    if (!ReadStore()->Exists(impl->folded)) {
        if (!create) return nullptr;
        // Failing to make the key, for whatever reason, is a plain "no".
        try {
            Modify([&](regfile::Store& store) {
                if (store.Exists(impl->folded)) return false;
                store.Create(impl->parts);
                return true;
            });
        } catch (const HostError&) {
            return nullptr;
        }
    }
    // The constructor is private to this file's factory; ownership is taken at once.
    return std::unique_ptr<RegKey>(new RegKey(std::move(impl)));
}

RegKey::RegKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegKey::~RegKey() = default;

const std::string& RegKey::Path() const { return impl_->path; }

bool RegKey::HasValue(std::string_view name) const { return Query(name).has_value(); }

std::optional<RegValue> RegKey::Query(std::string_view name) const {
    const auto store = ReadStore();
    const regfile::Key* key = store->Find(impl_->folded);
    if (!key) return std::nullopt;
    const regfile::Value* value = regfile::Store::FindValue(*key, name);
    if (!value) return std::nullopt;
    RegValue out;
    out.type = value->type;
    out.size = value->data.size();
    if (value->type == regSz || value->type == regExpandSz)
        regfile::FromUtf16(value->data, false, out.text);
    else
        out.bytes = value->data;
    return out;
}

void RegKey::SetString(std::string_view name, std::string_view text) {
    CheckValueName(name);
    std::vector<unsigned char> data;
    if (!regfile::ToUtf16(text, data)) throw HostError("Текст значения «" + std::string(name) + "» не в UTF-8");
    data.push_back(0);
    data.push_back(0);
    SetRawValue(impl_->parts, name, regSz, std::move(data));
}

std::vector<std::string> RegKey::ValueNames() const {
    const auto store = ReadStore();
    std::vector<std::string> names;
    if (const regfile::Key* key = store->Find(impl_->folded))
        for (const auto& value : key->values) names.push_back(value.name);
    return names;
}

std::optional<std::string> TakeStoreTrouble() {
    const std::lock_guard guard(troubleMutex);
    return std::exchange(trouble, std::nullopt);
}

void RegSetRaw(std::string_view keyPath, std::string_view name, std::uint32_t type,
               const std::vector<unsigned char>& data) {
    const std::vector<std::string> parts = CheckedPath(keyPath);
    CheckValueName(name);
    SetRawValue(parts, name, type, data);
}

} // namespace host
