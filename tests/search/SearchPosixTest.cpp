// The walk over folder links, which only the POSIX tests can make (a drive
// mapped to a folder of their own, symbolic links in it).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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

// Only a folder reached through a link (or below one) is told by its
// identity; it is not entered when the walk is in it or entered it before.
TEST(SearchLinks, FoldersReachedThroughLinks) {
    struct Case {
        const char* name;
        const char* root;
        std::function<void(const fs::path& e, const fs::path& outside)> make;
        Files found; // sorted
    };
    const auto file = [](const fs::path& f) { testenv::WriteFile(f, "x"); };
    const auto link = [](const fs::path& target, const fs::path& at) { fs::create_directory_symlink(target, at); };
    const std::vector<Case> cases = {
        {"a link to a folder walked before is walked again, as Windows walks a junction",
         "E:",
         [&](const fs::path& e, const fs::path&) {
             file(e / "a" / "k.ini");
             link(e / "a", e / "b");
         },
         {"E:\\a\\k.ini", "E:\\b\\k.ini"}},
        {"two links to one folder: entered once",
         "E:",
         [&](const fs::path& e, const fs::path& outside) {
             file(outside / "k.ini");
             fs::create_directories(e / "x");
             link(outside, e / "x" / "one");
             link(outside, e / "x" / "two");
         },
         {"E:\\x\\?\\k.ini"}},
        {"a link above the root: the root is not entered again below it",
         "E:\\top",
         [&](const fs::path& e, const fs::path&) {
             file(e / "top" / "k.ini");
             file(e / "other" / "k.ini");
             fs::create_directories(e / "top" / "sub");
             link(e, e / "top" / "sub" / "out");
         },
         {"E:\\top\\k.ini", "E:\\top\\sub\\out\\other\\k.ini"}},
        {"a folder named as a mount point is walked, and a loop in it ends",
         "E:",
         [&](const fs::path& e, const fs::path&) {
             file(e / "proc" / "k.ini");
             link(e, e / "proc" / "up");
         },
         {"E:\\proc\\k.ini"}},
        {"a deep tree is walked to its end",
         "E:",
         [&](const fs::path& e, const fs::path&) {
             fs::path deep = e;
             for (int i = 0; i < 40; ++i) deep /= "d";
             file(deep / "k.ini");
         },
         {"E:" +
          [] {
              std::string p;
              for (int i = 0; i < 40; ++i) p += "\\d";
              return p;
          }() +
          "\\k.ini"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testenv::Sandbox box;
        const fs::path e = box.MapDrive('E');
        c.make(e, box.Root() / "outside");
        TSearcDir sd;
        sd.SetDrives(c.root);
        sd.SetSubFolders(true);
        sd.SetMasks("k.ini");
        sd.Search();
        Files found = sd.FoundFiles();
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found.size(), c.found.size());
        // "?" stands for one of two link names that the folder's order picks.
        for (std::size_t i = 0; i < found.size(); ++i)
            EXPECT_TRUE(found[i] == c.found[i] ||
                        (c.found[i].find('?') != std::string::npos &&
                         (found[i] == "E:\\x\\one\\k.ini" || found[i] == "E:\\x\\two\\k.ini")))
                << found[i];
    }
}
