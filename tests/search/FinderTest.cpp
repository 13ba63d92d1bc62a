// The enumeration rules the file search rests on: masks, the two requested
// attribute sets, and the attribute word of the POSIX backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "host/Files.h"
#include "host/Finder.h"
#include "host/HostTypes.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& pattern, std::uint32_t requested) {
    std::set<std::string> names;
    for (host::Finder f(pattern, requested); f.Found(); f.Next()) names.insert(f.Name());
    return names;
}

} // namespace

TEST(FinderMask, WildcardsCaseAndNamesWithoutDot) {
    using host::MatchesMask;
    EXPECT_TRUE(MatchesMask("TVDORVKY.INI", "tvdorvky.ini"));
    EXPECT_TRUE(MatchesMask("a.b.c", "*"));
    EXPECT_TRUE(MatchesMask("README", "*.*"));
    EXPECT_TRUE(MatchesMask("readme", "readme.*"));
    EXPECT_FALSE(MatchesMask("README", "*.ini"));
    EXPECT_TRUE(MatchesMask("key1.ini", "key?.ini"));
    EXPECT_FALSE(MatchesMask("key.ini", "key?.ini"));
    EXPECT_FALSE(MatchesMask("key12.ini", "key?.ini"));
    EXPECT_TRUE(MatchesMask("abxxbyc", "a*b*c"));
    EXPECT_FALSE(MatchesMask("abxxbyd", "a*b*c"));
    EXPECT_FALSE(MatchesMask("anything", ""));
    EXPECT_FALSE(MatchesMask("a.txt", "a.txt ")); // a blank belongs to the mask
    // Letters beyond ASCII match without regard to case; "?" is one letter.
    EXPECT_TRUE(MatchesMask("\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87.ini", "\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7.INI"));
    EXPECT_TRUE(MatchesMask("\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87.ini", "??\xD0\xAE?.ini"));
    EXPECT_FALSE(MatchesMask("\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87.ini", "???.ini"));
}

TEST(FinderSets, DirectorySetSkipsHiddenAnySetSkipsNothing) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    fs::create_directories(e / "top" / "dir");
    fs::create_directories(e / "top" / ".hiddendir");
    testenv::WriteFile(e / "top" / "file.ini", "x");
    testenv::WriteFile(e / "top" / ".hidden.ini", "x");
    testenv::WriteFile(e / "top" / "ro.ini", "x");
    fs::permissions(e / "top" / "ro.ini", fs::perms::owner_read | fs::perms::group_read);

    // Below the drive's root, which on Windows has no "." and "..".
    EXPECT_EQ(Names("E:\\top\\*.*", host::faDirectory),
              (std::set<std::string>{".", "..", "dir", "file.ini", "ro.ini"}));
    EXPECT_EQ(Names("E:\\top\\*.*", host::faAnyFile),
              (std::set<std::string>{".", "..", "dir", "file.ini", "ro.ini", ".hidden.ini", ".hiddendir"}));
    EXPECT_EQ(Names("e:\\TOP\\*.INI", host::faAnyFile), (std::set<std::string>{"file.ini", "ro.ini", ".hidden.ini"}));
    // Without the directory bit requested, folders are passed over too.
    EXPECT_EQ(Names("E:\\top\\*", host::faHidden), (std::set<std::string>{"file.ini", "ro.ini", ".hidden.ini"}));
    EXPECT_TRUE(Names("E:\\top\\missing\\*.*", host::faAnyFile).empty());
    EXPECT_TRUE(Names("E:\\top\\file.ini\\*.*", host::faAnyFile).empty());

    for (host::Finder f("E:\\top\\*.*", host::faAnyFile); f.Found(); f.Next()) {
        const std::uint32_t a = f.Attributes();
        SCOPED_TRACE(f.Name());
        const bool folder = f.Name() == "dir" || f.Name() == ".hiddendir" || f.Name() == "." || f.Name() == "..";
        EXPECT_EQ(f.IsDirectory(), folder);
        EXPECT_EQ((a & host::faDirectory) != 0, folder);
        EXPECT_EQ((a & host::faHidden) != 0, f.Name() == ".hidden.ini" || f.Name() == ".hiddendir");
        EXPECT_EQ((a & host::faReadOnly) != 0, f.Name() == "ro.ini");
        EXPECT_EQ(a & (host::faSysFile | host::faVolumeID), 0u);
    }
}

TEST(FinderSets, FolderIdentityIsTheFoldersId) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    fs::create_directories(e / "Sub");
    host::Finder inSub("E:\\sub\\*.*", host::faDirectory); // case-blind path
    ASSERT_TRUE(inSub.Found());
    EXPECT_EQ(inSub.FolderIdentity(), host::FolderId("E:\\Sub"));
    EXPECT_NE(inSub.FolderIdentity(), host::Finder("E:\\*.*", host::faDirectory).FolderIdentity());
    EXPECT_FALSE(host::Finder("E:\\nope\\*.*", host::faDirectory).FolderIdentity());
}
