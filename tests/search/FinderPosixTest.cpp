// Enumeration over links of the POSIX backend: a link to a folder is a folder
// (Wine follows it), and the root of a mapped drive yields "." and "..".

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <set>
#include <string>

#include "host/Finder.h"
#include "host/HostTypes.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

TEST(FinderLinks, LinkToAFolderIsEnumeratedAsAFolder) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    fs::create_directories(e / "dir");
    testenv::WriteFile(e / "file.ini", "x");
    fs::create_directory_symlink(e / "dir", e / "dirlink");
    // Pipes and devices are no files of Windows: opening one could block or
    // never end, so they are passed over, a link to one as well.
    ASSERT_EQ(::mkfifo((e / "pipe.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", e / "zero.ini");

    std::set<std::string> names;
    for (host::Finder f("E:\\*.*", host::faDirectory); f.Found(); f.Next()) {
        names.insert(f.Name());
        SCOPED_TRACE(f.Name());
        const bool folder = f.Name() == "dir" || f.Name() == "dirlink" || f.Name() == "." || f.Name() == "..";
        EXPECT_EQ(f.IsDirectory(), folder);
        EXPECT_EQ((f.Attributes() & host::faDirectory) != 0, folder);
        EXPECT_EQ(f.Attributes() & (host::faHidden | host::faReadOnly), 0u);
    }
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "dir", "dirlink", "file.ini"}));
    // Without the directory bit requested, the link is passed over with the folder.
    std::set<std::string> files;
    for (host::Finder f("E:\\*", host::faHidden); f.Found(); f.Next()) files.insert(f.Name());
    EXPECT_EQ(files, (std::set<std::string>{"file.ini"}));
}

TEST(FinderLinks, DotDotStaysOnTheDriveAsWindowsReadsIt) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    testenv::WriteFile(e / "root.ini", "x");
    fs::create_directories(box.Root() / "elsewhere");
    testenv::WriteFile(box.Root() / "elsewhere" / "away.ini", "x");
    fs::create_directory_symlink(box.Root() / "elsewhere", e / "link");

    // Windows takes ".." off the text: "E:\..\" is the drive's root and
    // "E:\link\..\" is too, never the parent of the link's target.
    for (const char* pattern : {"E:\\..\\*.ini", "E:\\link\\..\\*.ini"}) {
        SCOPED_TRACE(pattern);
        std::set<std::string> names;
        for (host::Finder f(pattern, host::faAnyFile); f.Found(); f.Next()) names.insert(f.Name());
        EXPECT_EQ(names, (std::set<std::string>{"root.ini"}));
    }
}
