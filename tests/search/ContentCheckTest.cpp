// The content check: blocks, the tail rule at a block's end, case modes,
// zero bytes, open failures and the check list's assignment rule.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "search/TSearcDir.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using search::TSearcDir;
using Files = std::vector<std::string>;

namespace {

constexpr std::size_t kBlock = 50000;

class ContentCheckTest : public ::testing::Test {
protected:
    ContentCheckTest() : e(box.MapDrive('E')) {
        sd.SetDrives("E:");
        sd.SetMasks("*.txt");
        sd.SetonEachResetError([this](TSearcDir&, const std::string& bad) { badFiles.push_back(bad); });
    }
    // Does the file holding these bytes pass the check for this string?
    bool Holds(const std::string& bytes, const std::string& check, bool caseSensetive) {
        testenv::WriteFile(e / "f.txt", bytes);
        sd.SetCheckForStrings({check});
        sd.SetCheckContents(true);
        sd.SetCaseSensetive(caseSensetive);
        return sd.CheckFileContents("E:\\f.txt") == 1;
    }

    testenv::Sandbox box;
    fs::path e;
    TSearcDir sd;
    Files badFiles;
};

} // namespace

TEST_F(ContentCheckTest, CaseModesLowerTheFileOnly) {
    EXPECT_TRUE(Holds("xxABCxx", "abc", false));
    EXPECT_FALSE(Holds("xxABCxx", "ABC", false)); // the check string is never lowered
    EXPECT_TRUE(Holds("xxABCxx", "ABC", true));
    EXPECT_FALSE(Holds("xxabcxx", "ABC", true));
    // Code page 1251 letters: the file's bytes are lowered by the codec.
    EXPECT_TRUE(Holds("\xCA\xCB\xDE\xD7", "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87", false)); // "КЛЮЧ" / "ключ"
    EXPECT_FALSE(Holds("\xCA\xCB\xDE\xD7", "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87", true));
    // Long enough to be lowered eight bytes at a time: only A to Z change.
    EXPECT_TRUE(Holds("12345678@[`{ZAza 12345678", "@[`{zaza", false));
    EXPECT_TRUE(
        Holds("\xCA\xCB\xDE\xD7-12345678-ABCDEFGH", "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87-12345678-abcdefgh", false));
    EXPECT_FALSE(Holds(std::string("ab\0c", 4), "abc", true)); // segments end at zero bytes
    EXPECT_FALSE(Holds("", "abc", false));
    EXPECT_TRUE(badFiles.empty());
}

TEST_F(ContentCheckTest, TailRuleCompletesAStringAcrossTheBlockEnd) {
    const std::string head(kBlock - 2, 'x');
    EXPECT_TRUE(Holds(head + "abc" + "yyy", "abc", false));
    EXPECT_TRUE(Holds(head + "abc" + "yyy", "abc", true));
    EXPECT_TRUE(Holds(head + "ABC", "ABC", true));
    // The tail rule compares bytes as read: upper case at the end of a block
    // does not begin "abc", so the string split there is not found.
    EXPECT_FALSE(Holds(head + "ABC", "abc", false));
    EXPECT_TRUE(Holds(std::string(kBlock - 5, 'x') + "ABCxxxx", "abc", false));
    // A string that lies in the second block whole.
    EXPECT_TRUE(Holds(std::string(kBlock * 2 + 17, 'x') + "abc", "abc", false));
}

TEST_F(ContentCheckTest, LongRunGrowsTheBufferInsteadOfOverrunningIt) {
    // Every end of a run of "a" begins "aaab", so the tail rule reads on
    // through the whole run, far past the buffer's room.
    const std::string run(kBlock * 3, 'a');
    EXPECT_FALSE(Holds(run, "aaab", true));
    EXPECT_TRUE(Holds(run + "b", "aaab", true));
    EXPECT_TRUE(Holds(run + "B", "aaab", false));
}

TEST_F(ContentCheckTest, CheckStringsInOrderCutTo255AndEmptyOnesSkipped) {
    testenv::WriteFile(e / "f.txt", std::string(300, 'q'));
    sd.SetCheckForStrings({"", "zzz", std::string(400, 'q')});
    EXPECT_EQ(sd.CheckFileContents("E:\\f.txt"), 1); // cut to 255, which the file holds
    sd.SetCheckForStrings({"", ""});
    EXPECT_EQ(sd.CheckFileContents("E:\\missing.txt"), 0);
    EXPECT_TRUE(badFiles.empty()); // the file is not opened for an empty string
    // "€" is in code page 1251; a string it cannot hold matches nothing.
    EXPECT_TRUE(Holds("price \x88", "\xE2\x82\xAC", true));
    EXPECT_FALSE(Holds("price ?", "\xE4\xB8\xAD?", true));
}

TEST_F(ContentCheckTest, SearchReportsFilesItCannotOpenAndListsTheRest) {
    testenv::WriteFile(e / "sub" / "ro.txt", "needle");
    fs::permissions(e / "sub" / "ro.txt", fs::perms::owner_read);
    testenv::WriteFile(e / "sub" / "yes.txt", "a needle here");
    testenv::WriteFile(e / "no.txt", "nothing");
    testenv::WriteFile(e / "empty.txt", "");
    sd.SetSubFolders(true);
    sd.SetCheckForStrings({"needle"});
    sd.SetCheckContents(true);
    EXPECT_EQ(sd.Search(), 1);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\sub\\yes.txt"}));
    EXPECT_EQ(badFiles, (Files{"E:\\sub\\ro.txt"}));

    // A string code page 1251 cannot hold matches nothing, yet it is not an
    // empty string: the file is opened for it, so the failure is reported,
    // once: the check ends at the first failure to open.
    badFiles.clear();
    sd.SetCheckForStrings({"\xE4\xB8\xAD", "needle"});
    EXPECT_EQ(sd.Search(), 1);
    EXPECT_EQ(badFiles, (Files{"E:\\sub\\ro.txt"}));

    // No usable check string: nothing is listed, nothing is reported.
    badFiles.clear();
    sd.CheckForStrings() = {""};
    EXPECT_EQ(sd.Search(), 0);
    EXPECT_TRUE(badFiles.empty());
}

TEST_F(ContentCheckTest, AssigningTheCheckListOnlyEverTurnsTheCheckOff) {
    sd.SetCheckContents(true);
    sd.SetCheckForStrings({"a", "b"});
    EXPECT_TRUE(sd.CheckContents());
    EXPECT_EQ(sd.CheckForStrings(), (Files{"a", "b"}));
    sd.SetCheckForStrings({});
    EXPECT_FALSE(sd.CheckContents());
    sd.CheckForStrings().push_back("c"); // editing in place changes nothing else
    EXPECT_FALSE(sd.CheckContents());
    sd.SetCheckForStrings({"d"});
    EXPECT_FALSE(sd.CheckContents());
    EXPECT_EQ(sd.CheckForStrings(), (Files{"d"}));
}
