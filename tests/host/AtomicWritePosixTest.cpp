#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "host/Files.h"
#include "host/HostTypes.h"
#include "host/Registry.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

// The writes a killed launcher can be in: its list files, the key file it
// copies into the Windows folder (tens of MB), its key store.
enum class Killed { ListFile, KeyFileCopy, KeyStore };

class KilledWriter : public testing::TestWithParam<Killed> {};

// How many kills per case: a few here, many from scripts/kill-stress.
int Runs() {
    const char* runs = std::getenv("DORV_KILL_RUNS");
    return runs && std::atoi(runs) > 0 ? std::atoi(runs) : 6;
}

TEST_P(KilledWriter, LeavesTheOldOrTheNewFileAndTheNextWriteCleansUp) {
    testenv::Sandbox box;
    const Killed what = GetParam();
    // Versions differ in length and every byte; the key file's are large.
    const auto version = [&](int i) {
        const std::size_t size = what == Killed::KeyFileCopy ? (20u << 20) + 4099u * (i % 4) : 40000 + 37000 * (i % 8);
        return std::string(size, static_cast<char>('a' + i % 8));
    };
    fs::path file;
    std::function<void(int)> write;
    std::function<bool(const std::string&)> whole;
    const auto isVersion = [&](const std::string& content, int count) {
        for (int i = 0; i < count; ++i)
            if (content == version(i)) return true;
        return false;
    };
    switch (what) {
    case Killed::ListFile:
        file = box.WorkDir() / "column1.txt";
        write = [&](int i) { (void)host::WriteFileAtomic("column1.txt", version(i)); };
        whole = [&](const std::string& c) { return isVersion(c, 8); };
        break;
    case Killed::KeyFileCopy:
        file = box.WindowsDir() / "TVDORVKY.INI";
        for (int i = 0; i < 4; ++i) testenv::WriteFile(box.MapDrive('E') / std::to_string(i), version(i));
        write = [&](int i) { (void)host::CopyFileReplace("E:\\" + std::to_string(i % 4), "C:\\windows\\TVDORVKY.INI"); };
        whole = [&](const std::string& c) { return isVersion(c, 4); };
        break;
    case Killed::KeyStore:
        file = box.ConfigHome() / "dorv-launcher" / "registry.reg";
        write = [&](int i) {
            if (auto key = host::RegKey::Open("ExecuteDorv", true)) key->SetString("DorvDisk", version(i));
        };
        whole = [&](const std::string&) {
            const auto key = host::RegKey::Open("ExecuteDorv", false);
            const auto value = key ? key->Query("DorvDisk") : std::nullopt;
            return !host::TakeStoreTrouble() && value && isVersion(value->text, 8);
        };
        break;
    }
    write(0);
    const std::string temps = "." + file.filename().string() + ".";
    std::set<std::string> seen;
    for (int round = 0; round < Runs(); ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = round + 1;; ++i) write(i);
        }
        // Kill moments spread over a few writes' time, each round another.
        std::this_thread::sleep_for(
            std::chrono::microseconds((round % 24) * (what == Killed::KeyFileCopy ? 4000 : 750)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string content = testenv::ReadFile(file);
        ASSERT_TRUE(whole(content)) << "round " << round << ": " << content.size() << " bytes";
        seen.insert(content);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        // The next write removes whatever temporary the killed one left.
        write(round);
        for (const auto& entry : fs::directory_iterator(file.parent_path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(temps)) << entry.path();
    }
    if (Runs() >= 6) {
        EXPECT_GT(seen.size(), 1u) << "the writer got no write done between the kills";
    }
}

INSTANTIATE_TEST_SUITE_P(Writes, KilledWriter, testing::Values(Killed::ListFile, Killed::KeyFileCopy, Killed::KeyStore),
                         [](const testing::TestParamInfo<Killed>& param) {
                             switch (param.param) {
                             case Killed::ListFile: return std::string("ListFile");
                             case Killed::KeyFileCopy: return std::string("KeyFileCopy");
                             case Killed::KeyStore: return std::string("KeyStore");
                             }
                             return std::string();
                         });

TEST(AtomicWrite, StaleTemporariesGoAtTheNextWriteAndLiveOnesStay) {
    testenv::Sandbox box;
    const fs::path stale = box.WorkDir() / ".state.txt.0123456789ab.tmp";
    const fs::path live = box.WorkDir() / ".state.txt.abcdef012345.tmp";
    const fs::path other = box.WorkDir() / ".other.txt.0123456789ab.tmp";
    for (const auto& f : {stale, live, other}) testenv::WriteFile(f, "left");
    // A writer still at work holds a lock on its temporary.
    const int held = ::open(live.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_TRUE(host::WriteFileAtomic("state.txt", "new"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other)) << "another file's temporary is not this write's business";
    ::close(held);
}

TEST(AtomicWrite, LockedFolderIsWrittenInPlaceOrRefused) {
    testenv::Sandbox box;
    const fs::path folder = box.WorkDir() / "locked";
    testenv::WriteFile(folder / "tvdorvw.ini", "old");
    testenv::WriteFile(box.WorkDir() / "key.ini", "key");
    fs::permissions(folder, static_cast<fs::perms>(0555));
    ASSERT_TRUE(host::WriteFileAtomic("locked\\tvdorvw.ini", "new"));
    EXPECT_EQ(testenv::ReadFile(folder / "tvdorvw.ini"), "new");
    EXPECT_TRUE(host::CopyFileReplace("key.ini", "locked\\tvdorvw.ini"));
    EXPECT_EQ(testenv::ReadFile(folder / "tvdorvw.ini"), "key");
    EXPECT_EQ(host::CopyFileReplace("key.ini", "locked\\new.ini").Kind(), host::Fault::Denied);
    EXPECT_EQ(host::WriteFileAtomic("locked\\new.ini", "x").Kind(), host::Fault::Denied);
    EXPECT_FALSE(fs::exists(folder / "new.ini"));
    fs::permissions(folder, fs::perms::owner_all);
}

TEST(AtomicWrite, ReplacedFileKeepsItsPermissionsAndLinks) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "private.ini", "old");
    fs::permissions(box.WorkDir() / "private.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(host::WriteFileAtomic("private.ini", "new"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "private.ini"), "new");
    EXPECT_EQ(fs::status(box.WorkDir() / "private.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A file reached through a link is written where the link points.
    testenv::WriteFile(box.Root() / "elsewhere" / "tvdorvw.ini", "old");
    fs::create_symlink(box.Root() / "elsewhere" / "tvdorvw.ini", box.WorkDir() / "tvdorvw.ini");
    ASSERT_TRUE(host::WriteFileAtomic("tvdorvw.ini", "new"));
    EXPECT_TRUE(fs::is_symlink(box.WorkDir() / "tvdorvw.ini"));
    EXPECT_EQ(testenv::ReadFile(box.Root() / "elsewhere" / "tvdorvw.ini"), "new");

    // Copies keep the replaced file's permissions as well.
    testenv::WriteFile(box.WorkDir() / "source.ini", "key");
    ASSERT_TRUE(host::CopyFileReplace("source.ini", "private.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "private.ini"), "key");
    EXPECT_EQ(fs::status(box.WorkDir() / "private.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
