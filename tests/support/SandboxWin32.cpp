// The sandbox under Wine. The Windows directory and the drives belong to the
// run's prefix, so the sandbox notes what C:\windows held and removes what a
// test added, and empties a drive it hands out. The registry is made private
// per sandbox: HKEY_CURRENT_USER is redirected (RegOverridePredefKey) to a new
// key of its own, deleted at the end, so every test starts from an empty hive.

#include "tests/support/Sandbox.h"

#include <windows.h>

#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace testenv {
namespace {

constexpr const wchar_t* kVars[4] = {L"HOME", L"XDG_CONFIG_HOME", L"TMP", L"TEMP"};

std::wstring RandomHex() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::wstring hex;
    std::uint64_t bits = random();
    for (int i = 0; i < 12; ++i, bits >>= 4) hex += L"0123456789abcdef"[bits & 15];
    return hex;
}

fs::path MakeTempDir(const std::wstring& stem) {
    for (int tries = 0; tries < 100; ++tries) {
        const fs::path dir = fs::temp_directory_path() / (stem + L"-" + RandomHex());
        if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

void SetVar(const wchar_t* name, const std::wstring& value) { ::_wputenv_s(name, value.c_str()); }

// Makes every file under folder writable, so that removing it cannot fail on
// a read-only file a test made.
void MakeWritable(const fs::path& path) {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    if (!fs::is_directory(path, ec) || fs::is_symlink(path, ec)) return;
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
}

void RemoveAll(const fs::path& path) {
    std::error_code ec;
    MakeWritable(path);
    fs::remove_all(path, ec);
}

void EmptyFolder(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) RemoveAll(it->path());
}

std::set<std::wstring> NamesIn(const fs::path& folder) {
    std::set<std::wstring> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().native());
    return names;
}

fs::path RealWindowsDir() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    const UINT n = ::GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n == 0 || n >= buffer.size()) throw std::runtime_error("GetWindowsDirectoryW failed");
    return fs::path(std::wstring(buffer.data(), n));
}

// Private registry hives: keys under the real HKEY_CURRENT_USER\Software,
// opened before any redirection.
class Hives final {
public:
    static Hives& Get() {
        static Hives hives;
        return hives;
    }
    // A new empty key; HKEY_CURRENT_USER now means it.
    HKEY Push() {
        HKEY key = nullptr;
        const std::wstring name = L"hive-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + RandomHex();
        if (::RegCreateKeyExW(base_, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot make a private registry hive");
        if (::RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
            ::RegCloseKey(key);
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
        }
        stack_.push_back({name, key});
        return key;
    }
    // Back to the hive before, and the private one deleted.
    void Pop() {
        if (stack_.empty()) return;
        const auto [name, key] = stack_.back();
        stack_.pop_back();
        ::RegOverridePredefKey(HKEY_CURRENT_USER, stack_.empty() ? nullptr : stack_.back().second);
        ::RegCloseKey(key);
        ::RegDeleteTreeW(base_, name.c_str());
    }
    ~Hives() {
        while (!stack_.empty()) Pop();
        if (base_) ::RegCloseKey(base_);
    }

private:
    Hives() {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\dorv-launcher-tests", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &base_, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open the registry for the tests");
    }
    HKEY base_ = nullptr;
    std::vector<std::pair<std::wstring, HKEY>> stack_;
};

} // namespace

struct Sandbox::Platform {
    fs::path windowsDir;
    std::set<std::wstring> windowsEntries;
    std::vector<fs::path> drives;
    std::wstring oldEnv[4];
};

void IsolateProcess() {
    const fs::path root = MakeTempDir(L"dorv-testproc");
    fs::create_directories(root / "home");
    fs::create_directories(root / "config");
    SetVar(L"HOME", (root / "home").native());
    SetVar(L"XDG_CONFIG_HOME", (root / "config").native());
    fs::current_path(root);
    Hives::Get().Push();
}

Sandbox::Sandbox() : platform_(std::make_unique<Platform>()) {
    for (int i = 0; i < 4; ++i) {
        if (const wchar_t* v = ::_wgetenv(kVars[i])) {
            hadEnv_[i] = true;
            platform_->oldEnv[i] = v;
        }
    }
    oldCwd_ = fs::current_path();
    root_ = MakeTempDir(L"dorv-test");
    work_ = root_ / "work";
    config_ = root_ / "config";
    fs::create_directories(work_);
    fs::create_directories(config_);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "tmp");
    platform_->windowsDir = RealWindowsDir();
    platform_->windowsEntries = NamesIn(platform_->windowsDir);
    Hives::Get().Push();
    SetVar(L"HOME", (root_ / "home").native());
    SetVar(L"XDG_CONFIG_HOME", config_.native());
    SetVar(L"TMP", (root_ / "tmp").native());
    SetVar(L"TEMP", (root_ / "tmp").native());
    fs::current_path(work_);
}

Sandbox::~Sandbox() {
    std::error_code ec;
    fs::current_path(oldCwd_, ec);
    for (int i = 0; i < 4; ++i) SetVar(kVars[i], hadEnv_[i] ? platform_->oldEnv[i] : std::wstring());
    Hives::Get().Pop();
    for (const std::wstring& name : NamesIn(platform_->windowsDir))
        if (!platform_->windowsEntries.contains(name)) RemoveAll(platform_->windowsDir / name);
    for (const fs::path& drive : platform_->drives) EmptyFolder(drive);
    RemoveAll(root_);
}

fs::path Sandbox::WindowsDir() const { return platform_->windowsDir; }

fs::path Sandbox::MapDrive(char letter, const fs::path& target) {
    if (!target.empty()) throw std::logic_error("a drive mapped to a chosen folder exists on POSIX only");
    const fs::path root = std::string(1, letter) + ":\\";
    std::error_code ec;
    if (!fs::is_directory(root, ec))
        throw std::runtime_error(std::string("drive ") + letter +
                                 ": is not there; run the tests through scripts/wine-run");
    // The drive is the run's, shared by every sandbox: each starts it empty.
    EmptyFolder(root);
    platform_->drives.push_back(root);
    return root;
}

} // namespace testenv
