#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "host/Files.h"
#include "host/HostTypes.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// Every byte value, line ends of both kinds and a long random tail, so a copy
// that translates, stops at a zero or at a buffer's end shows.
std::string AwkwardBytes(std::size_t tail) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    bytes += "\r\n\n\r\x1A";
    std::mt19937 random(7);
    for (std::size_t i = 0; i < tail; ++i) bytes += static_cast<char>(random());
    return bytes;
}

void MakeReadOnly(const fs::path& file) {
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// Names in the folder besides the expected ones: a temporary left behind.
std::vector<std::string> Leftovers(const fs::path& folder, const std::vector<std::string>& expected) {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
    }
    return extra;
}

} // namespace

TEST(Files, ExistenceTellsFilesFromFolders) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "sub" / "key.ini", "x");
    EXPECT_TRUE(host::FileExists("sub\\key.ini"));
    EXPECT_FALSE(host::DirectoryExists("sub\\key.ini"));
    EXPECT_TRUE(host::DirectoryExists("sub"));
    EXPECT_FALSE(host::FileExists("sub"));
    EXPECT_FALSE(host::FileExists("sub\\missing.ini"));
    EXPECT_FALSE(host::FileExists(""));
    EXPECT_FALSE(host::DirectoryExists(""));
    EXPECT_TRUE(host::DirectoryExists("C:\\windows"));
}

TEST(Files, CopyReplacesTheTargetByteForByte) {
    testenv::Sandbox box;
    const std::string small = AwkwardBytes(0);
    const std::string large = AwkwardBytes(3 * 1024 * 1024 + 17);
    testenv::WriteFile(box.WorkDir() / "small.bin", small);
    testenv::WriteFile(box.WorkDir() / "large.bin", large);
    testenv::WriteFile(box.WorkDir() / "empty.bin", "");
    testenv::WriteFile(box.WorkDir() / "out" / "target.ini", "old target, longer than the small source " + large);

    ASSERT_TRUE(host::CopyFileReplace("large.bin", "out\\target.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "out" / "target.ini"), large);
    ASSERT_TRUE(host::CopyFileReplace("small.bin", "out\\target.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "out" / "target.ini"), small);
    ASSERT_TRUE(host::CopyFileReplace("empty.bin", "out\\target.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "out" / "target.ini"), "");
    ASSERT_TRUE(host::CopyFileReplace("small.bin", "out\\new.ini"));
    EXPECT_EQ(host::ReadWholeFile("out\\new.ini"), small);
    // A file copied onto itself may be refused, but is never cut short.
    EXPECT_TRUE(host::CopyFileReplace("small.bin", "small.bin"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "small.bin"), small);
    EXPECT_EQ(Leftovers(box.WorkDir() / "out", {"target.ini", "new.ini"}), std::vector<std::string>{});
}

TEST(Files, FailedCopyLeavesTheTargetAsItWas) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "source.ini", "new key");
    testenv::WriteFile(box.WorkDir() / "target.ini", "old key");
    fs::create_directories(box.WorkDir() / "folder");

    EXPECT_FALSE(host::CopyFileReplace("missing.ini", "target.ini"));
    EXPECT_FALSE(host::CopyFileReplace("folder", "target.ini"));
    EXPECT_FALSE(host::CopyFileReplace("", "target.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "target.ini"), "old key");

    EXPECT_FALSE(host::CopyFileReplace("source.ini", "no such folder\\target.ini"));
    EXPECT_FALSE(host::CopyFileReplace("source.ini", "folder"));
    EXPECT_TRUE(fs::is_directory(box.WorkDir() / "folder"));

    MakeReadOnly(box.WorkDir() / "target.ini");
    EXPECT_FALSE(host::CopyFileReplace("source.ini", "target.ini"));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "target.ini"), "old key");
    EXPECT_EQ(Leftovers(box.WorkDir(), {"source.ini", "target.ini", "folder"}), std::vector<std::string>{});
}

TEST(Files, ReadOnlyFileIsDeletedOnlyAfterItsAttributesAreMadeNormal) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "TVDORVKY.INI", "key");
    MakeReadOnly(box.WorkDir() / "TVDORVKY.INI");
    EXPECT_FALSE(host::DeleteFile("TVDORVKY.INI"));
    EXPECT_TRUE(host::FileExists("TVDORVKY.INI"));
    ASSERT_TRUE(host::SetNormalAttributes("TVDORVKY.INI"));
    EXPECT_TRUE(host::DeleteFile("TVDORVKY.INI"));
    EXPECT_FALSE(host::FileExists("TVDORVKY.INI"));

    EXPECT_FALSE(host::DeleteFile("TVDORVKY.INI"));
    EXPECT_FALSE(host::SetNormalAttributes("TVDORVKY.INI"));
    fs::create_directories(box.WorkDir() / "folder");
    EXPECT_FALSE(host::DeleteFile("folder"));
    EXPECT_TRUE(fs::is_directory(box.WorkDir() / "folder"));
}

TEST(Files, AtomicWriteReplacesOrFailsWithTheFileNamed) {
    testenv::Sandbox box;
    ASSERT_TRUE(host::WriteFileAtomic("state.txt", "first\r\n"));
    EXPECT_EQ(host::ReadWholeFile("state.txt"), "first\r\n");
    const std::string big = AwkwardBytes(1 << 20);
    ASSERT_TRUE(host::WriteFileAtomic("state.txt", big));
    EXPECT_EQ(host::ReadWholeFile("state.txt"), big);
    ASSERT_TRUE(host::WriteFileAtomic("state.txt", ""));
    EXPECT_EQ(host::ReadWholeFile("state.txt"), "");

    testenv::WriteFile(box.WorkDir() / "locked.ini", "kept");
    MakeReadOnly(box.WorkDir() / "locked.ini");
    const host::Status refused = host::WriteFileAtomic("locked.ini", "lost");
    EXPECT_EQ(refused.Kind(), host::Fault::Denied);
    EXPECT_FALSE(refused.Reason().empty());
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "locked.ini"), "kept");
    EXPECT_EQ(host::WriteFileAtomic("no such folder\\x.ini", "x").Kind(), host::Fault::NotFound);
    fs::create_directories(box.WorkDir() / "folder");
    EXPECT_FALSE(host::WriteFileAtomic("folder", "x"));
    EXPECT_EQ(Leftovers(box.WorkDir(), {"state.txt", "locked.ini", "folder"}), std::vector<std::string>{});

    EXPECT_FALSE(host::ReadWholeFile("missing.txt"));
    EXPECT_FALSE(host::ReadWholeFile("folder"));
}

TEST(Files, FolderIdentityFollowsTheFolderNotTheName) {
    testenv::Sandbox box;
    fs::create_directories(box.WorkDir() / "Europe" / "Disk1");
    fs::create_directories(box.WorkDir() / "Asia");
    const auto europe = host::FolderId("Europe");
    ASSERT_TRUE(europe);
    EXPECT_EQ(host::FolderId("EUROPE\\Disk1\\.."), europe);
    EXPECT_EQ(host::FolderId(".\\Europe\\"), europe);
    EXPECT_NE(host::FolderId("Asia"), europe);
    EXPECT_NE(host::FolderId("Europe\\Disk1"), europe);
    EXPECT_FALSE(host::FolderId("Africa"));
}

// The system reads a path only up to a zero character; a path holding one must
// name nothing rather than the file its first part names.
TEST(Files, PathWithAZeroCharacterNamesNoFile) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "keep.ini", "kept");
    testenv::WriteFile(box.WorkDir() / "source.ini", "new");
    const std::string zero("keep.ini\0.bak", 13);
    EXPECT_FALSE(host::FileExists(zero));
    EXPECT_FALSE(host::ReadWholeFile(zero));
    EXPECT_FALSE(host::FolderId(std::string(".\0x", 3)));
    EXPECT_FALSE(host::SetNormalAttributes(zero));
    EXPECT_FALSE(host::CopyFileReplace("source.ini", zero));
    EXPECT_FALSE(host::WriteFileAtomic(zero, "lost"));
    EXPECT_FALSE(host::DeleteFile(zero));
    EXPECT_EQ(testenv::ReadFile(box.WorkDir() / "keep.ini"), "kept");
    EXPECT_EQ(Leftovers(box.WorkDir(), {"keep.ini", "source.ini"}), std::vector<std::string>{});
}
