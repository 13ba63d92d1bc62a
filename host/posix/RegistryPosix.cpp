#include "host/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>

#include "host/HostTypes.h"
#include "host/posix/RegFile.h"
#include "host/posix/ReplaceFile.h"

namespace fs = std::filesystem;

namespace host {
namespace {

constexpr std::string_view kFolder = "dorv-launcher";
constexpr std::string_view kFileName = "registry.reg";
// Temporary files of a write start with this; one left by a killed writer is
// removed by the next write (which holds the lock, so no one else is writing).
const std::string kTempPrefix = "." + std::string(kFileName) + ".";

class Fd final {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now, for the caller that must know whether the close failed.
    int Close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

std::string Errno(int err) { return std::strerror(err); }

fs::path StoreFile() {
    // The XDG rule: a relative XDG_CONFIG_HOME is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / kFolder / kFileName;
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        throw HostError("Не найдена папка настроек: не заданы XDG_CONFIG_HOME и HOME");
    return fs::path(home) / ".config" / kFolder / kFileName;
}

regfile::Store ReadStore(const fs::path& file) {
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        throw HostError("Не могу прочитать " + file.string() + ": " + Errno(errno));
    }
    std::string bytes;
    std::string chunk(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw HostError("Не могу прочитать " + file.string() + ": " + Errno(errno));
        }
        if (n == 0) break;
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return regfile::Parse(bytes, file.string());
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
        fd_ = std::make_unique<Fd>(::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (!*fd_) throw HostError("Не могу открыть " + lock.string() + ": " + Errno(errno));
        while (::flock(fd_->Get(), LOCK_EX) != 0) {
            if (errno != EINTR) throw HostError("Не могу заблокировать " + lock.string() + ": " + Errno(errno));
        }
    }

private:
    std::unique_ptr<Fd> fd_; // closing it releases the lock
};

void RemoveStaleTemps(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kTempPrefix)) fs::remove(it->path(), ec);
    }
}

// A writer killed at any moment leaves the old store or the new one.
void ReplaceAtomically(fs::path file, std::string_view bytes) {
    std::error_code ec;
    if (fs::is_symlink(file, ec)) {
        // A store kept elsewhere through a link stays there; the link stays a link.
        if (fs::path real = fs::canonical(file, ec); !ec) file = std::move(real);
    }
    RemoveStaleTemps(file.parent_path());
    if (const int err = posix::ReplaceHostFile(file, bytes))
        throw HostError("Не могу записать " + file.string() + ": " + Errno(err));
}

// Under the lock: read afresh, change, write back. A store that cannot be
// parsed stops it before anything is written.
void Modify(const std::function<bool(regfile::Store&)>& change) {
    const fs::path file = StoreFile();
    WriteLock lock(file);
    regfile::Store store = ReadStore(file);
    if (change(store)) ReplaceAtomically(file, regfile::Serialize(store));
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
    if (!regfile::IsStorableName(name))
        throw HostError("Недопустимое имя значения «" + std::string(name) + "»");
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

    const fs::path file = StoreFile();
    if (!ReadStore(file).Exists(impl->folded)) {
        if (!create) return nullptr;
        // Failing to make the key is a plain "no"; a store that cannot be
        // parsed is an error the caller must see.
        std::optional<WriteLock> lock;
        try {
            lock.emplace(file);
        } catch (const HostError&) {
            return nullptr;
        }
        regfile::Store store = ReadStore(file);
        if (!store.Exists(impl->folded)) {
            store.Create(impl->parts);
            try {
                ReplaceAtomically(file, regfile::Serialize(store));
            } catch (const HostError&) {
                return nullptr;
            }
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
    const regfile::Store store = ReadStore(StoreFile());
    const regfile::Key* key = store.Find(impl_->folded);
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
    const regfile::Store store = ReadStore(StoreFile());
    std::vector<std::string> names;
    if (const regfile::Key* key = store.Find(impl_->folded))
        for (const auto& value : key->values) names.push_back(value.name);
    return names;
}

void RegSetRaw(std::string_view keyPath, std::string_view name, std::uint32_t type,
               const std::vector<unsigned char>& data) {
    const std::vector<std::string> parts = CheckedPath(keyPath);
    CheckValueName(name);
    SetRawValue(parts, name, type, data);
}

} // namespace host
