#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/Paths.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// The host file a Windows path maps to must be this very file, reached under
// the name it has on disk.
void ExpectSameFile(std::string_view windowsPath, const fs::path& expected) {
    const fs::path mapped = host::ToHostPath(windowsPath);
    EXPECT_TRUE(fs::exists(mapped)) << windowsPath << " -> " << mapped;
    EXPECT_TRUE(fs::equivalent(mapped, expected)) << windowsPath << " -> " << mapped;
    EXPECT_EQ(mapped.filename(), expected.filename()) << windowsPath;
}

} // namespace

TEST(Paths, DriveLettersGoThroughTheDosDevicesLinks) {
    testenv::Sandbox box;
    EXPECT_EQ(host::WinePrefix(), box.Prefix());
    EXPECT_EQ(host::WindowsDirectory(), "C:\\windows");
    EXPECT_EQ(host::SystemDirectory(), "C:\\windows\\system32");
    ExpectSameFile(host::SystemDirectory(), box.WindowsDir() / "system32");

    const fs::path e = box.MapDrive('E');
    testenv::WriteFile(e / "EUROPE" / "TVDORVKY.INI", "key");
    ExpectSameFile("E:\\EUROPE\\TVDORVKY.INI", e / "EUROPE" / "TVDORVKY.INI");
    ExpectSameFile("e:/EUROPE/TVDORVKY.INI", e / "EUROPE" / "TVDORVKY.INI");
    ExpectSameFile("E:\\\\EUROPE\\\\TVDORVKY.INI", e / "EUROPE" / "TVDORVKY.INI");
    ExpectSameFile("E:EUROPE\\TVDORVKY.INI", e / "EUROPE" / "TVDORVKY.INI");
    EXPECT_TRUE(fs::equivalent(host::ToHostPath("E:"), e));
    EXPECT_TRUE(fs::equivalent(host::ToHostPath("E:\\"), e));
}

TEST(Paths, ComponentsMatchWithoutRegardToCaseCyrillicIncluded) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    testenv::WriteFile(e / "Europe" / "Каталог Ёлка" / "TvDorvKy.ini", "key");
    testenv::WriteFile(e / "Їжак" / "ґанок.txt", "x");
    ExpectSameFile("E:\\EUROPE\\каталог ёлка\\tvdorvky.INI", e / "Europe" / "Каталог Ёлка" / "TvDorvKy.ini");
    ExpectSameFile("e:\\europe\\КАТАЛОГ ЁЛКА", e / "Europe" / "Каталог Ёлка");
    ExpectSameFile("E:\\їжак\\ҐАНОК.TXT", e / "Їжак" / "ґанок.txt");
    ExpectSameFile("C:\\WINDOWS\\System32", box.WindowsDir() / "system32");
}

TEST(Paths, TheExactNameIsPreferredOverACaseInsensitiveOne) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    for (const char* name : {"Data", "DATA", "data"}) testenv::WriteFile(e / name / "f.txt", name);
    for (const std::string name : {"Data", "DATA", "data"}) {
        const fs::path mapped = host::ToHostPath("E:\\" + name + "\\f.txt");
        EXPECT_EQ(mapped.parent_path().filename(), name);
        EXPECT_EQ(testenv::ReadFile(mapped), name);
    }
    // No exact match: always the same one of the three.
    const fs::path first = host::ToHostPath("E:\\dATA\\f.txt");
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(host::ToHostPath("E:\\dATA\\f.txt"), first);
}

TEST(Paths, MissingComponentsAreKeptAsWritten) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    fs::create_directories(e / "europe");
    const fs::path mapped = host::ToHostPath("E:\\EUROPE\\New Folder\\Key File.INI");
    EXPECT_EQ(mapped.filename(), "Key File.INI");
    EXPECT_EQ(mapped.parent_path().filename(), "New Folder");
    EXPECT_TRUE(fs::equivalent(mapped.parent_path().parent_path(), e / "europe"));
    // An unmapped drive stays an unmapped drive.
    EXPECT_EQ(host::ToHostPath("Q:\\x"), box.Prefix() / "dosdevices" / "q:" / "x");
}

TEST(Paths, RelativePathsFollowTheWorkingDirectory) {
    testenv::Sandbox box;
    testenv::WriteFile(box.WorkDir() / "Column1.txt", "a");
    testenv::WriteFile(box.WorkDir() / "Sub" / "file.txt", "b");
    ExpectSameFile("column1.txt", box.WorkDir() / "Column1.txt");
    ExpectSameFile("sub\\FILE.txt", box.WorkDir() / "Sub" / "file.txt");
    ExpectSameFile(".\\sub\\..\\Column1.txt", box.WorkDir() / "Column1.txt");
    ExpectSameFile("..\\work\\Column1.txt", box.WorkDir() / "Column1.txt");
    EXPECT_EQ(host::ToHostPath("selected.txt"), box.WorkDir() / "selected.txt");
}

TEST(Paths, JunkMapsToSomethingHarmless) {
    testenv::Sandbox box;
    // ".." never climbs out of a drive.
    const fs::path up = host::ToHostPath("C:\\..\\..\\..\\etc\\passwd");
    EXPECT_EQ(up, box.Prefix() / "dosdevices" / "c:" / "etc" / "passwd");
    EXPECT_FALSE(fs::exists(up));
    // A network path is not a local folder.
    const fs::path unc = host::ToHostPath("\\\\server\\share\\file.txt");
    EXPECT_FALSE(fs::exists(unc));
    EXPECT_EQ(unc.filename(), "file.txt");
    EXPECT_NO_THROW(host::ToHostPath(""));
    EXPECT_NO_THROW(host::ToHostPath("\\"));
    EXPECT_NO_THROW(host::ToHostPath(":"));
    EXPECT_NO_THROW(host::ToHostPath("1:\\x"));
    EXPECT_NO_THROW(host::ToHostPath(std::string("C:\\a\0b", 6)));
    EXPECT_NO_THROW(host::ToHostPath("C:\\\xFF\xFE\\x"));
}

TEST(Paths, HostPathsBecomeWindowsPathsThroughTheClosestDrive) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    fs::create_directories(e / "Europe" / "Disk 1");
    EXPECT_EQ(host::ToWindowsPath(e / "Europe" / "Disk 1"), "E:\\Europe\\Disk 1");
    EXPECT_EQ(host::ToWindowsPath(e / "Europe" / "not yet" / "made.ini"), "E:\\Europe\\not yet\\made.ini");
    EXPECT_EQ(host::ToWindowsPath(e), "E:\\");
    EXPECT_EQ(host::ToWindowsPath(box.WindowsDir()), "C:\\windows");
    // A drive inside another drive's folder is the closer one.
    box.MapDrive('F', e / "Europe");
    EXPECT_EQ(host::ToWindowsPath(e / "Europe" / "Disk 1"), "F:\\Disk 1");
    // Round trip.
    EXPECT_TRUE(
        fs::equivalent(host::ToHostPath(host::ToWindowsPath(e / "Europe" / "Disk 1")), e / "Europe" / "Disk 1"));

    // Outside every drive: Z: and the path itself.
    EXPECT_EQ(host::ToWindowsPath("/no-such-dorv-root/a b/c.exe"), "Z:\\no-such-dorv-root\\a b\\c.exe");
    box.MapDrive('Z', "/");
    EXPECT_EQ(host::ToWindowsPath("/no-such-dorv-root/a b/c.exe"), "Z:\\no-such-dorv-root\\a b\\c.exe");
    EXPECT_EQ(host::ToWindowsPath(e / "Europe"), "F:\\");
}

TEST(Paths, PrefixFallsBackToWineInHome) {
    testenv::Sandbox box;
    ::unsetenv("WINEPREFIX");
    EXPECT_EQ(host::WinePrefix(), box.Root() / "home" / ".wine");
    ::setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(host::WinePrefix(), box.Root() / "home" / ".wine");
}
