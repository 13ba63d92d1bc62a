// TIniFile on real files in the sandbox's Wine prefix and working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "host/Files.h"
#include "settings/Exceptions.h"
#include "settings/TIniFile.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using settings::TIniFile;
using std::string;
using testenv::ReadFile;
using testenv::WriteFile;

namespace {

// The message a failed write must carry, checked along with the file.
void ExpectWriteRefused(TIniFile& ini, const char* section, const char* key, const char* text) {
    try {
        ini.WriteText(section, key, text);
        ADD_FAILURE() << "no error writing " << key;
    } catch (const settings::Exception& e) {
        const string expected = "Не могу записать в " + ini.FileName() + ": ";
        EXPECT_EQ(string(e.what()).substr(0, expected.size()), expected) << e.what();
        EXPECT_GT(string(e.what()).size(), expected.size()) << "the reason is missing";
    }
}

TEST(IniFile, BareNameIsTheFileInTheWindowsDirectory) {
    testenv::Sandbox box;
    const fs::path file = box.WindowsDir() / "TvDorvW.INI";
    WriteFile(file, "[CDROM]\r\nDisk1=E:\\\r\n");
    TIniFile ini("tvdorvw.ini");
    EXPECT_EQ(ini.ReadText("cdrom", "disk1", "none"), "E:\\");
    EXPECT_EQ(ini.ReadText("cdrom", "disk2", "none"), "none");
    ini.WriteText("Condition", "MultiScreen", "1");
    EXPECT_EQ(ReadFile(file), "[CDROM]\r\nDisk1=E:\\\r\n[Condition]\r\nMultiScreen=1\r\n");
    // The file found without regard to case is the one written, not a twin,
    // and it keeps the name it had.
    std::vector<string> twins;
    for (const auto& entry : fs::directory_iterator(box.WindowsDir())) {
        string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name == "tvdorvw.ini") twins.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(twins, std::vector<string>{"TvDorvW.INI"});
    EXPECT_EQ(TIniFile("C:\\WINDOWS\\TVDORVW.INI").ReadText("Condition", "MultiScreen", ""), "1");

    TIniFile fresh("new.ini");
    fresh.WriteText("S", "k", "v");
    EXPECT_EQ(ReadFile(box.WindowsDir() / "new.ini"), "[S]\r\nk=v\r\n");
}

TEST(IniFile, FolderPartIsRelativeToTheWorkingDirectory) {
    testenv::Sandbox box;
    fs::create_directories(box.WorkDir() / "sub");
    TIniFile(".\\here.ini").WriteText("S", "k", "1");
    TIniFile("sub\\there.ini").WriteText("S", "k", "2");
    EXPECT_EQ(ReadFile(box.WorkDir() / "here.ini"), "[S]\r\nk=1\r\n");
    EXPECT_EQ(ReadFile(box.WorkDir() / "sub" / "there.ini"), "[S]\r\nk=2\r\n");
    EXPECT_FALSE(fs::exists(box.WindowsDir() / "here.ini"));
    EXPECT_EQ(TIniFile("SUB\\THERE.INI").ReadText("s", "K", ""), "2");

    // A missing folder is an error, and nothing is created.
    TIniFile missing("nofolder\\x.ini");
    ExpectWriteRefused(missing, "S", "k", "v");
    EXPECT_FALSE(fs::exists(box.WorkDir() / "nofolder"));
    EXPECT_EQ(missing.ReadText("S", "k", "def"), "def");
}

TEST(IniFile, UnchangedValueLeavesTheFileUntouched) {
    testenv::Sandbox box;
    const fs::path file = box.WindowsDir() / "tvdorvw.ini";
    const string bytes = "[Condition]\n  MultiScreen =  1 \n";
    WriteFile(file, bytes);
    const auto old = fs::last_write_time(file) - std::chrono::hours(24);
    fs::last_write_time(file, old);
    // The file's own identity (inode; file index on Windows).
    const auto inode = [] { return host::FolderId("C:\\windows\\tvdorvw.ini"); };
    const auto before = inode();
    ASSERT_TRUE(before);
    TIniFile ini("tvdorvw.ini");
    ini.WriteText("condition", "multiscreen", "1");
    ini.WriteNumber("Condition", "MultiScreen", 1);
    EXPECT_EQ(fs::last_write_time(file), old);
    EXPECT_EQ(inode(), before) << "not even replaced by an identical copy";
    EXPECT_EQ(ReadFile(file), bytes);
}

TEST(IniFile, FailedWritesLeaveTheFileAsItWas) {
    testenv::Sandbox box;
    const fs::path file = box.WindowsDir() / "tvdorvw.ini";
    const string bytes = "[Condition]\r\nMultiScreen=0\r\n";
    WriteFile(file, bytes);
    // The Windows directory of a real system holds more than the test's files.
    const auto entries = [&] { return std::distance(fs::directory_iterator(box.WindowsDir()), {}); };
    const auto entriesBefore = entries();
    TIniFile ini("tvdorvw.ini");

    ExpectWriteRefused(ini, "Condition", "MultiScreen", "Ω");
    ExpectWriteRefused(ini, "Condition", "MultiScreen", "1\r\n[Injected]");
    EXPECT_EQ(ReadFile(file), bytes);

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ExpectWriteRefused(ini, "Condition", "MultiScreen", "1");
    EXPECT_EQ(ReadFile(file), bytes);
    EXPECT_EQ(ini.ReadText("Condition", "MultiScreen", ""), "0") << "read-only still reads";

    // A folder where the file should be.
    fs::create_directories(box.WindowsDir() / "dir.ini");
    TIniFile dir("dir.ini");
    ExpectWriteRefused(dir, "S", "k", "v");
    EXPECT_TRUE(fs::is_directory(box.WindowsDir() / "dir.ini"));
    EXPECT_EQ(entries(), entriesBefore + 1) << "no temporary file left beside it";
}

TEST(IniFile, NumbersFollowTheNumberRule) {
    testenv::Sandbox box;
    WriteFile(box.WindowsDir() / "n.ini",
              "[N]\r\nhex=0x1F\r\ndollar=$1F\r\nlead= 12\r\nquotedLead=\" 12\"\r\n"
              "trail=\"12 \"\r\nbare=0x\r\nbig=2147483648\r\nneg=-2147483648\r\n"
              "junk=123abc\r\nempty=\r\nfull=$FFFFFFFF\r\n");
    TIniFile ini("n.ini");
    EXPECT_EQ(ini.ReadNumber("N", "hex", -1), 31);
    EXPECT_EQ(ini.ReadNumber("N", "dollar", -1), 31);
    EXPECT_EQ(ini.ReadNumber("N", "lead", -1), 12) << "trimmed by the reader anyway";
    EXPECT_EQ(ini.ReadNumber("N", "quotedLead", -1), 12);
    EXPECT_EQ(ini.ReadNumber("N", "trail", -1), -1);
    EXPECT_EQ(ini.ReadNumber("N", "bare", -1), -1);
    EXPECT_EQ(ini.ReadNumber("N", "big", -1), -1);
    EXPECT_EQ(ini.ReadNumber("N", "neg", -1), INT32_MIN);
    EXPECT_EQ(ini.ReadNumber("N", "junk", -1), -1);
    EXPECT_EQ(ini.ReadNumber("N", "empty", 7), 7);
    EXPECT_EQ(ini.ReadNumber("N", "missing", 7), 7);
    EXPECT_EQ(ini.ReadNumber("N", "full", 0), -1);

    ini.WriteNumber("N", "written", -42);
    ini.WriteNumber("N", "max", INT32_MAX);
    EXPECT_EQ(ini.ReadText("N", "written", ""), "-42");
    EXPECT_EQ(ini.ReadNumber("N", "max", 0), INT32_MAX);
    EXPECT_NE(ReadFile(box.WindowsDir() / "n.ini").find("full=$FFFFFFFF\r\nwritten=-42\r\nmax=2147483647\r\n"),
              string::npos);
}

TEST(IniFile, CyrillicTextsInA1251File) {
    testenv::Sandbox box;
    const fs::path file = box.WindowsDir() / "ru.ini";
    WriteFile(file, "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n");
    TIniFile ini("ru.ini");
    ini.WriteText("РАЗДЕЛ", "Ключ", "Значение");
    EXPECT_EQ(ReadFile(file), "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n");
    EXPECT_EQ(ini.ReadText("раздел", "КЛЮЧ", ""), "Значение");
}

} // namespace
