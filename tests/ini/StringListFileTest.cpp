// The launcher's list files ("column1.txt" and the like).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/Exceptions.h"
#include "settings/StringListFile.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using settings::LoadStringList;
using settings::SaveStringList;
using std::string;
using std::vector;
using testenv::ReadFile;
using testenv::WriteFile;

namespace {

TEST(StringListFile, RoundTripsIn1251OrUtf8WithMark) {
    testenv::Sandbox box;
    const vector<string> russian = {"Диск 1", "", "  blanks kept  ", "Ёлка"};
    SaveStringList("column1.txt", russian);
    EXPECT_EQ(ReadFile(box.WorkDir() / "column1.txt"),
              "\xC4\xE8\xF1\xEA 1\r\n\r\n  blanks kept  \r\n\xA8\xEB\xEA\xE0\r\n");
    EXPECT_EQ(LoadStringList("column1.txt"), russian);

    const vector<string> foreign = {"Диск", "Ωmega", "日本"};
    SaveStringList("column2.txt", foreign);
    EXPECT_EQ(ReadFile(box.WorkDir() / "column2.txt"),
              "\xEF\xBB\xBF\xD0\x94\xD0\xB8\xD1\x81\xD0\xBA\r\nΩmega\r\n日本\r\n");
    EXPECT_EQ(LoadStringList("column2.txt"), foreign);

    SaveStringList("selected.txt", {});
    EXPECT_EQ(ReadFile(box.WorkDir() / "selected.txt"), "");
    EXPECT_EQ(LoadStringList("selected.txt"), vector<string>{});

    // Saving again replaces the file whole.
    SaveStringList("column1.txt", {"x"});
    EXPECT_EQ(ReadFile(box.WorkDir() / "column1.txt"), "x\r\n");
}

TEST(StringListFile, LoadsAnyLineEnd) {
    testenv::Sandbox box;
    const struct {
        const char* bytes;
        vector<string> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\r\r", {"a", "", "b", ""}},
        {"\r\n", {""}},
        {"\n\r", {"", ""}},
        {"", {}},
        {",3\r\n,5", {",3", ",5"}},
    };
    for (const auto& c : cases) {
        WriteFile(box.WorkDir() / "l.txt", c.bytes);
        EXPECT_EQ(LoadStringList("l.txt"), c.lines) << c.bytes;
    }
    WriteFile(box.WorkDir() / "old.txt", "\xC4\xE8\xF1\xEA\n\x98\n");
    EXPECT_EQ(LoadStringList("old.txt"), (vector<string>{"Диск", "\xEF\xBF\xBD"}));
    EXPECT_EQ(LoadStringList("missing.txt").Why().Kind(), host::Fault::NotFound);
}

TEST(StringListFile, FailedSaveKeepsTheOldFile) {
    testenv::Sandbox box;
    SaveStringList("column1.txt", {"old"});
    fs::permissions(box.WorkDir() / "column1.txt", fs::perms::owner_read);
    try {
        SaveStringList("column1.txt", {"new"});
        ADD_FAILURE() << "saved over a read-only file";
    } catch (const settings::Exception& e) {
        // The file by its absolute path, and the system's reason.
        const string expected = "Не могу записать в " + (box.WorkDir() / "column1.txt").string() + ": ";
        EXPECT_EQ(string(e.what()).substr(0, expected.size()), expected);
        EXPECT_GT(string(e.what()).size(), expected.size());
    }
    EXPECT_EQ(ReadFile(box.WorkDir() / "column1.txt"), "old\r\n");
    EXPECT_THROW(SaveStringList("nofolder\\column1.txt", {"x"}), settings::Exception);
}

} // namespace
