#include "tests/support/Sandbox.h"

#include <unistd.h>
#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace testenv {
namespace {

constexpr const char* kVars[4] = {"WINEPREFIX", "XDG_CONFIG_HOME", "HOME", "TMPDIR"};

fs::path MakeTempDir(const char* stem) {
    std::string tmpl = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

// Removes the process's own folder when the test program ends; a forked
// child that ends through exit() leaves it to its parent.
class ProcessFolder final {
public:
    void Set(fs::path root) {
        root_ = std::move(root);
        owner_ = ::getpid();
    }
    ~ProcessFolder() {
        if (root_.empty() || ::getpid() != owner_) return;
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(ec), ec);
        fs::remove_all(root_, ec);
    }

private:
    fs::path root_;
    pid_t owner_ = 0;
};

} // namespace

struct Sandbox::Platform {};

void IsolateProcess() {
    static ProcessFolder folder;
    const fs::path root = MakeTempDir("dorv-testproc");
    folder.Set(root);
    fs::create_directories(root / "home");
    fs::create_directories(root / "config");
    fs::create_directories(root / "prefix");
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("WINEPREFIX", (root / "prefix").c_str(), 1);
    fs::current_path(root);
}

Sandbox::Sandbox() {
    for (int i = 0; i < 4; ++i) {
        if (const char* v = std::getenv(kVars[i])) {
            hadEnv_[i] = true;
            oldEnv_[i] = v;
        }
    }
    oldCwd_ = fs::current_path();
    root_ = MakeTempDir("dorv-test");
    prefix_ = root_ / "prefix";
    work_ = root_ / "work";
    config_ = root_ / "config";
    fs::create_directories(prefix_ / "drive_c" / "windows" / "system32");
    fs::create_directories(prefix_ / "dosdevices");
    fs::create_symlink("../drive_c", prefix_ / "dosdevices" / "c:");
    fs::create_directories(work_);
    fs::create_directories(config_);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "tmp");
    ::setenv("WINEPREFIX", prefix_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    fs::current_path(work_);
}

Sandbox::~Sandbox() {
    std::error_code ec;
    fs::current_path(oldCwd_, ec);
    for (int i = 0; i < 4; ++i) {
        if (hadEnv_[i])
            ::setenv(kVars[i], oldEnv_[i].c_str(), 1);
        else
            ::unsetenv(kVars[i]);
    }
    // Read-only files and folders made by a test must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

fs::path Sandbox::WindowsDir() const { return prefix_ / "drive_c" / "windows"; }

fs::path Sandbox::MapDrive(char letter, const fs::path& target) {
    fs::path folder = target;
    if (folder.empty()) {
        folder = root_ / (std::string("drive_") + letter);
        fs::create_directories(folder);
    }
    const fs::path link = prefix_ / "dosdevices" / (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(folder, link);
    return folder;
}

} // namespace testenv
