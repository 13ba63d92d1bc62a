#pragma once
// A per-test sandbox: a temporary folder holding a Wine-layout prefix
// (drive_c/windows/system32, dosdevices/c: -> ../drive_c), a config home and
// a working directory. While it lives, WINEPREFIX, XDG_CONFIG_HOME and HOME
// point into it and the process works in its working directory; nothing of
// the real home folder is read or written. On Windows (under Wine) the
// prefix is the run's own and the sandbox gives a fresh working directory
// and registry key prefix instead.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace testenv {

class Sandbox final {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    const std::filesystem::path& Prefix() const { return prefix_; }
    const std::filesystem::path& WorkDir() const { return work_; }
    const std::filesystem::path& ConfigHome() const { return config_; }
    // Host folder of C:\windows.
    std::filesystem::path WindowsDir() const;
    // Makes drive letter X: point at a new folder under the sandbox (or at
    // target when given) and returns that host folder. POSIX only.
    std::filesystem::path MapDrive(char letter, const std::filesystem::path& target = {});

    // What the backend keeps besides (on Windows: the registry override and
    // what must be cleaned from the shared Windows directory and drives).
    struct Platform;

private:
    std::unique_ptr<Platform> platform_;
    std::filesystem::path root_, prefix_, work_, config_;
    std::filesystem::path oldCwd_;
    std::string oldEnv_[4];
    bool hadEnv_[4] = {};
};

void WriteFile(const std::filesystem::path& file, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& file);

// A fresh temporary folder for the whole test process, made before any test
// runs, so nothing can fall back to the real home folder.
void IsolateProcess();

} // namespace testenv
