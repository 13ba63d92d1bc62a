// The walk over folder links, which only the POSIX tests can make (a drive
// mapped to a folder of their own, symbolic links in it).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "search/TSearcDir.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using search::TSearcDir;
using Files = std::vector<std::string>;

TEST(SearchLinks, LinkLoopsAreNotFollowedForever) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    testenv::WriteFile(e / "k.ini", "x");
    testenv::WriteFile(e / "sub" / "k.ini", "x");
    fs::create_directory_symlink(e, e / "sub" / "up");
    fs::create_directory_symlink(e / "sub", e / "sub" / "self");
    fs::create_directory_symlink(e / "nothing", e / "dangling");
    TSearcDir sd;
    sd.SetDrives("E:");
    sd.SetSubFolders(true);
    sd.SetMasks("k.ini");
    EXPECT_EQ(sd.Search(), 2);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\sub\\k.ini", "E:\\k.ini"}));
}
