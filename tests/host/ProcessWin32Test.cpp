// Program start on Windows: the exact path is the program, so a folder with
// blanks cannot make the system start another file.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "host/Process.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// The programs the start tests start are built beside this test program.
fs::path Beside(const char* name) {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return fs::path(self).parent_path() / name;
}
fs::path Probe() { return Beside("start_probe.exe"); }

// The verdict of a start: the failure known at once, else the watch's.
host::Status StartVerdict(const std::string& program) {
    auto started = host::StartProgram(program);
    if (!started) return started.Why();
    for (;;) {
        if (auto verdict = (*started)->Verdict()) return *verdict;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string WaitForRecord(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(file)) return testenv::ReadFile(file);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "(not started)";
}

} // namespace

TEST(ProcessWin32, StartsTheExactPathNotAProgramItsBlanksWouldName) {
    testenv::Sandbox box;
    ASSERT_TRUE(fs::exists(Probe())) << Probe();
    // Unquoted, "...\Trap Dir\app.exe" would first be tried as "...\Trap.exe".
    fs::copy_file(Probe(), box.WorkDir() / "Trap.exe");
    fs::create_directories(box.WorkDir() / "Trap Dir");
    fs::copy_file(Probe(), box.WorkDir() / "Trap Dir" / "app.exe");
    const std::string program = (box.WorkDir() / "Trap Dir" / "app.exe").string();

    ASSERT_TRUE(host::StartProgram(program));
    const std::string record = WaitForRecord(box.WorkDir() / "started.txt");
    EXPECT_EQ(record, program + "\n\"" + program + "\"\n");
}

TEST(ProcessWin32, StartFailuresAreReported) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "text.exe", "not a program\r\n");
    fs::create_directories(box.WorkDir() / "folder.exe");
    EXPECT_FALSE(host::StartProgram(""));
    EXPECT_FALSE(host::StartProgram((box.WorkDir() / "missing.exe").string()));
    EXPECT_FALSE(host::StartProgram((box.WorkDir() / "folder.exe").string()));
    const host::Status text = host::StartProgram((box.WorkDir() / "text.exe").string()).Why();
    EXPECT_FALSE(text);
    EXPECT_NE(text.Reason().find((box.WorkDir() / "text.exe").string()), std::string::npos) << text.Reason();
    EXPECT_FALSE(host::StartProgram("C:\\no such folder\\dorvwin.exe"));
    // The part before a zero character names a program that exists.
    fs::copy_file(Probe(), box.WorkDir() / "app.exe");
    EXPECT_FALSE(host::StartProgram((box.WorkDir() / "app.exe").string() + std::string(1, '\0') + "x.exe"));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_FALSE(fs::exists(box.WorkDir() / "started.txt"));
}

TEST(ProcessWin32, ProgramThatEndsAtOnceIsWatchedForItsStatus) {
    testenv::Sandbox box;
    // A program that ends well at once: success.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(StartVerdict(Probe().string()));
    EXPECT_EQ(WaitForRecord(box.WorkDir() / "started.txt").substr(0, Probe().string().size()), Probe().string());
    // The probe cannot write its record where a folder has its name: status 1.
    fs::remove(box.WorkDir() / "started.txt");
    fs::create_directories(box.WorkDir() / "started.tmp");
    const host::Status failed = StartVerdict(Probe().string());
    EXPECT_EQ(failed.Reason(), Probe().string() + " завершился с кодом 1");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2 * host::kStartWatch + std::chrono::seconds(1));
    // A 32-bit program is refused where the system has no 32-bit layer (here)
    // and ends with its status 3 where it has one.
    ASSERT_TRUE(fs::exists(Beside("image32.exe")));
    const host::Status image32 = StartVerdict(Beside("image32.exe").string());
    EXPECT_FALSE(image32);
    EXPECT_NE(image32.Reason().find(Beside("image32.exe").string()), std::string::npos) << image32.Reason();
}
