// The main window's rules that need no widget.

#include <gtest/gtest.h>

#include "app/WindowRules.h"

namespace {

TEST(WindowRules, GridLayoutFollowsTheFormula) {
    struct Case {
        int w, h, rows, col0, col1, rowHeight;
    };
    for (const Case& c : {
             Case{161, 257, 8, 40, 115, 30},                                  // the design size: 38 raised to 40
             Case{120, 257, 8, 40, 74, 30}, Case{161, 257, 4, 40, 115, 61},   // round(2.5) = 2
             Case{400, 257, 8, 98, 296, 30}, Case{161, 257, 20, 40, 115, 11}, // round(0.5) = 0
             Case{161, 257, 0, 40, 115, 246},                                 // no rows counts as one
         }) {
        const app::GridLayout g = app::ComputeGridLayout(c.w, c.h, c.rows);
        EXPECT_EQ(g.col0, c.col0) << c.w << "x" << c.h << "/" << c.rows;
        EXPECT_EQ(g.col1, c.col1) << c.w << "x" << c.h << "/" << c.rows;
        EXPECT_EQ(g.rowHeight, c.rowHeight) << c.w << "x" << c.h << "/" << c.rows;
    }
}

TEST(WindowRules, PathsAndNames) {
    EXPECT_EQ(app::JoinPath("C:\\WINDOWS", "tvdorvw.ini"), "C:\\WINDOWS\\tvdorvw.ini");
    EXPECT_EQ(app::JoinPath("C:\\WINDOWS\\", "tvdorvw.ini"), "C:\\WINDOWS\\tvdorvw.ini");
    EXPECT_EQ(app::JoinPath("", "x"), "\\x");
    for (const auto& [path, name] :
         std::initializer_list<std::pair<const char*, const char*>>{{"E:\\EUROPE\\TVDORVKY.INI", "EUROPE"},
                                                                    {"E:\\DORV\\ЕВРОПА\\TVDORVKY.INI", "ЕВРОПА"},
                                                                    {"E:\\TVDORVKY.INI", "E:"},
                                                                    {"TVDORVKY.INI", ""}})
        EXPECT_EQ(app::DataSetName(path), name) << path;
}

TEST(WindowRules, WindowsDirectoryIsTheSystemDirectorysParent) {
    EXPECT_EQ(app::DerivedTargetDir("C:\\WINDOWS\\SYSTEM"), "C:\\WINDOWS\\");
    EXPECT_EQ(app::DerivedTargetDir("C:\\WINNT\\system32"), "C:\\WINNT\\");
    EXPECT_EQ(app::DerivedTargetDir("ЖSYSTEM"), "Ж") << "no folder: its first character";
    EXPECT_EQ(app::DerivedTargetDir("SYSTEM"), "S");
    EXPECT_EQ(app::DerivedTargetDir(""), "");
    EXPECT_TRUE(app::IsWindowsDirectory("C:\\WINDOWS\\", "C:\\WINDOWS"));
    EXPECT_TRUE(app::IsWindowsDirectory("C:\\WINDOWS", "C:\\WINDOWS"));
    EXPECT_TRUE(app::IsWindowsDirectory("", ""));
    EXPECT_FALSE(app::IsWindowsDirectory("\\", ""));
    EXPECT_FALSE(app::IsWindowsDirectory("C:\\windows\\", "C:\\WINDOWS")) << "letter case counts";
    EXPECT_FALSE(app::IsWindowsDirectory("C:\\WINDOWS\\", "C:\\Users\\x\\WINDOWS"));
}

TEST(WindowRules, DriveListReadsTheCountAndTheFirstOfEachEntry) {
    const app::DriveList list = app::ReadDriveList({{"Drive_Max", "0x3"},
                                                    {"drive1", "E:\\"},
                                                    {"DRIVE2", "F:"},
                                                    {"Drive02", "not entry 2"},
                                                    {"Drive1", "not the first"},
                                                    {"DRIVE_MAX", "9"},
                                                    {"Drive", "no number"},
                                                    {"Drive99999999999", "too long"},
                                                    {"Drive3000000000", "beyond int"},
                                                    {"Drive-1", "no sign"}});
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.drives, (std::map<int, std::string>{{1, "E:\\"}, {2, "F:"}}));
    EXPECT_EQ(app::ReadDriveList({{"Drive_Max", "x"}}).count, 0);
}

TEST(WindowRules, MarksFollowTheirLinesWhenEmptyLinesAreDropped) {
    // Lines 0 and 2 of the names went to rows 0 and 1; line 1 was empty in both files.
    const app::LineRows names{0, -1, 1}, paths{-1, -1, -1};
    EXPECT_EQ(app::FollowLines({",2", "", ",3", "x", ",0", ",1", ",02", ", 2", ",+2", ",2 "}, names, paths),
              (std::vector<std::string>{",1", "", ",3", "x", ",0", ",02", ", 2", ",+2", ",2 "}))
        << "a mark of an empty line goes; one beyond the files, or one the grid does not match as a row mark, stays";
    EXPECT_EQ(app::FollowLines({",1"}, {-1, -1}, {-1, 0}), std::vector<std::string>{",0"}) << "with the path";
    EXPECT_EQ(app::RowMark(12), ",12");
}

} // namespace
