#include "app/ActiveSet.h"

#include <gtest/gtest.h>

namespace {

using app::ActiveVerdict;

const std::vector<app::ListRow> kRows = {
    {"EUROPE", "E:\\EUROPE\\TVDORVKY.INI", false}, {"F:", "не найден файл TVDORVKY.INI", true},
    {"ASIA", "F:\\ASIA\\TVDORVKY.INI", false},     // its drive need not be there
    {"ASIA-2", "G:\\ASIA\\TVDORVKY.INI", false},   // the same key file as ASIA
    {"OLD", "H:\\OLD\\TVDORVKY.INI", true},        // marked: never active
    {"UNREAD", "I:\\UNREAD\\TVDORVKY.INI", false}, // no digest known
};
const app::KeyDigests kKnown = {{"E:\\EUROPE\\TVDORVKY.INI", "e1"},
                                {"F:\\ASIA\\TVDORVKY.INI", "a1"},
                                {"G:\\ASIA\\TVDORVKY.INI", "a1"},
                                {"H:\\OLD\\TVDORVKY.INI", "o1"}};

struct Case {
    const char* what;
    std::optional<std::string> inPlace;
    std::string stored;
    int row;
    ActiveVerdict verdict;
    std::string caption;
};

class ActiveRowTest : public ::testing::TestWithParam<Case> {};

TEST_P(ActiveRowTest, FollowsTheKeyFileInPlace) {
    const Case& c = GetParam();
    const app::ActiveRow active = app::FindActiveRow(kRows, kKnown, c.inPlace, c.stored);
    EXPECT_EQ(active.row, c.row) << c.what;
    EXPECT_EQ(active.verdict, c.verdict) << c.what;
    EXPECT_EQ(app::ActiveCaption(c.stored, active), c.caption) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ActiveRowTest,
    ::testing::Values(Case{"match", "e1", "EUROPE", 0, ActiveVerdict::Match, "EUROPE"},
                      Case{"match, the stored name another's", "e1", "ASIA", 0, ActiveVerdict::Match, "ASIA (?)"},
                      Case{"drive not there: known digest", "a1", "", 2, ActiveVerdict::Match, ""},
                      Case{"equal key files: the stored name", "a1", "asia-2", 3, ActiveVerdict::Match, "asia-2"},
                      Case{"equal key files: else the first", "a1", "", 2, ActiveVerdict::Match, ""},
                      Case{"a marked row's key file", "o1", "OLD", -1, ActiveVerdict::NoMatch, "OLD (?)"},
                      Case{"changed outside", "zz", "EUROPE", -1, ActiveVerdict::NoMatch, "EUROPE (?)"},
                      Case{"changed outside, no name", "zz", "", -1, ActiveVerdict::NoMatch, ""},
                      Case{"no key file", std::nullopt, "EUROPE", -1, ActiveVerdict::NoKeyFile, "EUROPE (?)"}));

TEST(KeyDigests, StoredFormKeepsPathsAndPassesOverDamage) {
    const app::KeyDigests digests = {{"E:\\Европа 1\\TVDORVKY.INI", "ab"}, {"\\\\srv\\share\\k.ini", "cd"}};
    EXPECT_EQ(app::ParseKeyDigests(app::FormatKeyDigests(digests)), digests);
    EXPECT_EQ(app::ParseKeyDigests("x*1||*2|y*|z|w*3*4"), (app::KeyDigests{{"x", "1"}, {"w*3", "4"}}));
    EXPECT_EQ(app::FormatKeyDigests({{"a|b", "1"}, {"c", ""}}), "");
}

} // namespace
