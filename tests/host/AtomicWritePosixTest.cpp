#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "host/Files.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// Versions differ in length and in every byte, so a mix of two or a cut one
// matches none of them.
std::string Version(int i) { return std::string(40000 + 37000 * (i % 8), static_cast<char>('a' + i % 8)); }

bool IsSomeVersion(const std::string& content) {
    for (int i = 0; i < 8; ++i)
        if (content == Version(i)) return true;
    return false;
}

} // namespace

TEST(AtomicWrite, AProcessKilledWhileWritingLeavesTheOldOrTheNewFile) {
    testenv::Sandbox box;
    const fs::path file = box.WorkDir() / "registry.reg";
    host::WriteFileAtomic("registry.reg", Version(0));
    std::set<std::string> seen;

    for (int round = 0; round < 24; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = round;; ++i) host::WriteFileAtomic("registry.reg", Version(i));
        }
        // Kill moments spread over a few writes' time, each round a different one.
        std::this_thread::sleep_for(std::chrono::microseconds(round * 750));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string content = testenv::ReadFile(file);
        ASSERT_TRUE(IsSomeVersion(content)) << "round " << round << ": " << content.size() << " bytes";
        seen.insert(content);
        // Whatever the killed writer left must not pass for the file: no other
        // visible name, and the file itself a plain file.
        for (const auto& entry : fs::directory_iterator(box.WorkDir())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "registry.reg" || name.starts_with(".registry.reg.")) << name;
        }
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    }
    // The writer did get through writes between the kills.
    EXPECT_GT(seen.size(), 2u);
}

TEST(AtomicWrite, ReplacedFileKeepsItsPermissionsAndLinks) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "private.ini", "old");
    fs::permissions(box.WorkDir() / "private.ini", fs::perms::owner_read | fs::perms::owner_write |
                                                       fs::perms::group_read);
    host::WriteFileAtomic("private.ini", "new");
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "private.ini"), "new");
    EXPECT_EQ(fs::status(box.WorkDir() / "private.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A file reached through a link is written where the link points.
    testenv::WriteFile(box.Root() / "elsewhere" / "tvdorvw.ini", "old");
    fs::create_symlink(box.Root() / "elsewhere" / "tvdorvw.ini", box.WorkDir() / "tvdorvw.ini");
    host::WriteFileAtomic("tvdorvw.ini", "new");
    EXPECT_TRUE(fs::is_symlink(box.WorkDir() / "tvdorvw.ini"));
    EXPECT_EQ(testenv::ReadFile(box.Root() / "elsewhere" / "tvdorvw.ini"), "new");

    // Copies keep the replaced file's permissions as well.
    testenv::WriteFile(box.WorkDir() / "source.ini", "key");
    ASSERT_TRUE(host::CopyFileReplace("source.ini", "private.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "private.ini"), "key");
    EXPECT_EQ(fs::status(box.WorkDir() / "private.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
