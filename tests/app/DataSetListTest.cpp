// Filling the data-set list from the catalogue's drives and activating a
// data set, against a Wine-layout prefix with real folders as drives.

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <thread>

#include <cstdio>

#include "components/TZelGrid.h"
#include "components/Text.h"
#include "search/TSearcDir.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/BigTree.h"

namespace fs = std::filesystem;
using namespace Qt::Literals::StringLiterals;

namespace apptest {
namespace {

const std::string kNotFound = "не найден файл TVDORVKY.INI";
const std::string kSeveral = "найдено несколько файлов TVDORVKY.INI";

class DataSetListTest : public AppTest {
protected:
    // A catalogue INI file whose [CDROM] lists the given entries (empty
    // ones left out) under the given Drive_Max.
    void WriteDrives(const std::string& driveMax, const std::vector<std::string>& drives) {
        std::string text = "[Condition]\r\nMultiScreen=0\r\n[CDROM]\r\nDrive_Max=" + driveMax + "\r\n";
        for (std::size_t i = 0; i < drives.size(); ++i)
            if (!drives[i].empty()) text += "Drive" + std::to_string(i + 1) + "=" + drives[i] + "\r\n";
        testenv::WriteFile(CatalogueIni(), text);
    }
    // The grid's current cell, moved by the program (which raises the click).
    static void Select(app::TfExecute& w, int col, int row) {
        sg1(w)->SetCol(col);
        sg1(w)->SetRow(row);
    }
    static void ClickCell(app::TfExecute& w, int col, int row) {
        const QRect cell = sg1(w)->visualRect(sg1(w)->model()->index(row, col));
        QTest::mouseClick(sg1(w)->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static void DoubleClickCell(app::TfExecute& w, int col, int row) {
        const QRect cell = sg1(w)->visualRect(sg1(w)->model()->index(row, col));
        QTest::mouseClick(sg1(w)->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(sg1(w)->viewport(), Qt::LeftButton, {}, cell.center());
    }
    std::string ActiveKey() const {
        return fs::exists(ActiveKeyFile()) ? testenv::ReadFile(ActiveKeyFile()) : "<none>";
    }
    std::size_t OkCount() const {
        std::size_t n = 0;
        for (const auto& m : dialogs.messages)
            if (m.kind == app::MsgKind::Information && m.text == u"Ok"_s) ++n;
        return n;
    }
};

TEST_F(DataSetListTest, FillsOneRowPerListedDriveAndMarksTheUnusable) {
    testenv::WriteFile(sandbox.MapDrive('E') / "EUROPE" / "TVDORVKY.INI", "europe");
    sandbox.MapDrive('F');
    const fs::path g = sandbox.MapDrive('G');
    testenv::WriteFile(g / "A" / "TVDORVKY.INI", "a");
    testenv::WriteFile(g / "B" / "sub" / "tvdorvky.ini", "b");
    testenv::WriteFile(sandbox.MapDrive('H') / "TVDORVKY.INI", "root");
    WriteDrives("6", {"E:\\", "", "F:", "G:\\", "H:", " "});
    testenv::WriteFile(sandbox.WorkDir() / "column1.txt", "old\r\n");
    // As the close writes it; the button names it "Selected.txt".
    testenv::WriteFile(sandbox.WorkDir() / "selected.txt", ",7\r\n");

    auto w = MakeWindow();
    sg1(*w)->SelectedRows() = QStringList{u",7"_s};
    sbInit(*w)->click();

    EXPECT_EQ(Cell(*w, 0, 0), "EUROPE");
    EXPECT_EQ(Cell(*w, 1, 0), "E:\\EUROPE\\TVDORVKY.INI");
    EXPECT_EQ(Cell(*w, 0, 1), "F:");
    EXPECT_EQ(Cell(*w, 1, 1), kNotFound);
    EXPECT_EQ(Cell(*w, 0, 2), "G:");
    EXPECT_EQ(Cell(*w, 1, 2), kSeveral);
    EXPECT_EQ(Cell(*w, 0, 3), "H:") << "a key file in a drive's root shows the drive";
    EXPECT_EQ(Cell(*w, 1, 3), "H:\\TVDORVKY.INI");
    EXPECT_EQ(Cell(*w, 0, 4), "") << "a blank entry reads as empty and is skipped";
    EXPECT_EQ(sg1(*w)->SelectedRows(), (QStringList{u",1"_s, u",2"_s}));
    EXPECT_EQ(OkCount(), 1u);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_FALSE(fs::exists(sandbox.WorkDir() / "column1.txt")) << "state files deleted";
    EXPECT_FALSE(fs::exists(sandbox.WorkDir() / "selected.txt")) << "matched without regard to case";
    EXPECT_EQ(ActiveKey(), "<none>") << "filling activates nothing";
}

TEST_F(DataSetListTest, HugeDriveMaxStopsAfterTheLastEntry) {
    testenv::WriteFile(sandbox.MapDrive('E') / "EUROPE" / "TVDORVKY.INI", "e");
    sandbox.MapDrive('F');
    WriteDrives("2147483647", {"E:\\", "", "F:"});
    auto w = MakeWindow();
    sbInit(*w)->click();
    EXPECT_EQ(Cell(*w, 0, 0), "EUROPE");
    EXPECT_EQ(Cell(*w, 0, 1), "F:");
    EXPECT_EQ(Cell(*w, 0, 2), "");
    EXPECT_EQ(OkCount(), 1u);
}

TEST_F(DataSetListTest, TwelveDrivesFillEightRowsAndSearchNoFurther) {
    const fs::path e = sandbox.MapDrive('E');
    std::vector<std::string> drives;
    for (int i = 1; i <= 12; ++i) {
        testenv::WriteFile(e / ("D" + std::to_string(i)) / ("SET" + std::to_string(i)) / "TVDORVKY.INI",
                           std::to_string(i));
        drives.push_back("E:\\D" + std::to_string(i) + "\\");
    }
    WriteDrives("12", drives);
    auto w = MakeWindow();
    sbInit(*w)->click();
    for (int r = 0; r < 8; ++r) EXPECT_EQ(Cell(*w, 0, r), "SET" + std::to_string(r + 1));
    // The last search was drive 8's: drives 9 to 12 were never searched.
    ASSERT_EQ(w->sd1().FoundFiles().size(), 1u);
    EXPECT_EQ(w->sd1().FoundFiles()[0], "E:\\D8\\SET8\\TVDORVKY.INI");
    EXPECT_EQ(OkCount(), 1u);
}

TEST_F(DataSetListTest, MissingCatalogueIniIsReportedAndTheListKept) {
    auto w = MakeWindow();
    sg1(*w)->SetCells(0, 0, u"KEEP"_s);
    sg1(*w)->SelectedRows() = QStringList{u",0"_s};
    sbInit(*w)->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].kind, app::MsgKind::Error);
    EXPECT_EQ(dialogs.messages[0].title, u"Ошибка"_s);
    EXPECT_EQ(dialogs.messages[0].text,
              u"Вероятно вы еще не установили \"DORV\".\r"
              u" В WINDOWS-директории остутствует файл TVODRVW.INI."_s);
    EXPECT_EQ(dialogs.messages[1].text, u"Ok"_s);
    EXPECT_EQ(Cell(*w, 0, 0), "KEEP");
    EXPECT_TRUE(sg1(*w)->SelectedRows().isEmpty());
}

class ActivationTest : public DataSetListTest {
protected:
    ActivationTest() {
        const fs::path e = sandbox.MapDrive('E');
        testenv::WriteFile(e / "EUROPE" / "TVDORVKY.INI", "europe");
        testenv::WriteFile(e / "ASIA" / "TVDORVKY.INI", "asia");
        testenv::WriteFile(e / "USA" / "TVDORVKY.INI", "usa");
        WriteDrives("4", {"E:\\EUROPE", "F:", "E:\\ASIA", "E:\\USA"});
        sandbox.MapDrive('F');
        w = MakeWindow();
        w->show();
        sbInit(*w)->click();
    }
    std::unique_ptr<app::TfExecute> w;
};

TEST_F(ActivationTest, ClickOnANameCopiesItsKeyFileAndShowsItsName) {
    ASSERT_EQ(Cell(*w, 0, 2), "ASIA");
    ClickCell(*w, 0, 2);
    EXPECT_EQ(ActiveKey(), "asia");
    EXPECT_EQ(w->windowTitle(), u"ASIA"_s);
    EXPECT_EQ(w->ActiveDisk(), "ASIA");
    EXPECT_EQ(sg1(*w)->Hint(), u"Активный набор данных\nE:\\ASIA\\TVDORVKY.INI"_s);
    EXPECT_EQ(sg1(*w)->BoldRow(), 2);

    // A click on the path column sets the hint and never copies.
    ClickCell(*w, 1, 0);
    EXPECT_EQ(ActiveKey(), "asia");
    EXPECT_EQ(sg1(*w)->Hint(), u"E:\\EUROPE\\TVDORVKY.INI"_s);
    Select(*w, 1, 3);
    EXPECT_EQ(ActiveKey(), "asia");
}

// The active row is the one whose key file the catalogue reads now, known
// from what was read before, without reading the data set's drive again.
TEST_F(ActivationTest, TheActiveRowHoldsTheKeyFileInPlace) {
    EXPECT_EQ(sg1(*w)->BoldRow(), -1) << "nothing active before a click";
    ClickCell(*w, 0, 3);
    EXPECT_EQ(sg1(*w)->BoldRow(), 3);
    ASSERT_TRUE(w->close());
    testenv::WriteFile(ActiveKeyFile(), "changed elsewhere");
    w = MakeWindow();
    EXPECT_EQ(w->windowTitle(), u"USA (?)"_s);
    EXPECT_EQ(sg1(*w)->BoldRow(), -1);
    EXPECT_TRUE(sg1(*w)->Hint().startsWith(u"Файл ключа "_s)) << sg1(*w)->Hint().toStdString();
    ASSERT_TRUE(w->close());
    EXPECT_EQ(StoredValue("DorvDisk"), std::optional<std::string>("USA")) << "the stored name stays";
    // The key file back, the data set's drive emptied.
    testenv::WriteFile(ActiveKeyFile(), "usa");
    const fs::path e = sandbox.MapDrive('E');
    std::error_code ec;
    for (const char* set : {"EUROPE", "ASIA", "USA"}) fs::remove_all(e / set, ec);
    ASSERT_FALSE(fs::exists(e / "USA"));
    w = MakeWindow();
    EXPECT_EQ(w->windowTitle(), u"USA"_s);
    EXPECT_EQ(sg1(*w)->BoldRow(), 3);
}

TEST_F(ActivationTest, KeyboardMovesThroughNamesActivateEachUnmarkedRow) {
    Select(*w, 0, 0);
    EXPECT_EQ(ActiveKey(), "europe");
    sg1(*w)->setFocus();
    std::vector<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(sg1(*w), Qt::Key_Down);
        seen.push_back(ActiveKey());
    }
    // Row 1 is marked (no key file on F:): passing it changes nothing.
    EXPECT_EQ(seen, (std::vector<std::string>{"europe", "asia", "usa"}));
    EXPECT_EQ(w->windowTitle(), u"USA"_s);
}

TEST_F(ActivationTest, MarkedRowIsNotActivatedUntilUnmarkedAndGivenAKeyFile) {
    ASSERT_EQ(sg1(*w)->SelectedRows(), QStringList{u",1"_s});
    ClickCell(*w, 0, 1);
    EXPECT_EQ(ActiveKey(), "<none>");

    DoubleClickCell(*w, 1, 1);
    EXPECT_TRUE(sg1(*w)->SelectedRows().isEmpty()) << "a double-click on the path unmarks";
    DoubleClickCell(*w, 1, 1);
    EXPECT_EQ(sg1(*w)->SelectedRows(), QStringList{u",1"_s}) << "and a second marks again";
    DoubleClickCell(*w, 1, 1);

    const fs::path chosen = sandbox.MapDrive('F') / "OWN" / "TVDORVKY.INI";
    testenv::WriteFile(chosen, "own");
    dialogs.fileAnswers.push_back(chosen);
    NSelect(*w)->trigger();
    ASSERT_EQ(dialogs.openFilters.size(), 1u);
    EXPECT_EQ(dialogs.openFilters[0], u"Ини файлы (*.ini)"_s);
    EXPECT_EQ(Cell(*w, 1, 1), "F:\\OWN\\TVDORVKY.INI");
    EXPECT_EQ(Cell(*w, 0, 1), "F:") << "the name stays";

    ClickCell(*w, 0, 1);
    EXPECT_EQ(ActiveKey(), "own");
    EXPECT_EQ(w->windowTitle(), u"F:"_s);
}

TEST_F(ActivationTest, DoubleClickOnANameCopiesAndStartsTheCatalogue) {
    InstallWine();
    testenv::WriteFile(sandbox.Prefix() / "drive_c" / "TARVEN" / "dorvwin.exe", "MZ");
    DoubleClickCell(*w, 0, 3);
    EXPECT_EQ(ActiveKey(), "usa");
    const auto starts = WineStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], "1|C:\\TARVEN\\dorvwin.exe");
    EXPECT_NE(testenv::ReadFile(CatalogueIni()).find("MultiScreen=1"), std::string::npos);

    // A marked row's name starts nothing.
    DoubleClickCell(*w, 0, 1);
    EXPECT_EQ(WineStarts(2, 300).size(), 1u);
}

TEST_F(ActivationTest, FailingCopyKeepsTheOldKeyFileAndCaption) {
    ClickCell(*w, 0, 0);
    ASSERT_EQ(ActiveKey(), "europe");
    sg1(*w)->SetCells(1, 2, u"E:\\GONE\\TVDORVKY.INI"_s);
    ClickCell(*w, 0, 2);
    EXPECT_EQ(ActiveKey(), "europe");
    EXPECT_EQ(w->windowTitle(), u"EUROPE"_s);

    // A read-only old key file is replaced all the same.
    fs::permissions(ActiveKeyFile(), fs::perms::owner_read);
    ClickCell(*w, 0, 3);
    EXPECT_EQ(ActiveKey(), "usa");
}

TEST_F(ActivationTest, DeleteRowClearsItsCellsAndOneMark) {
    sg1(*w)->SelectedRows().append(u",1"_s);
    Select(*w, 1, 1);
    NDeleteRow(*w)->trigger();
    EXPECT_EQ(Cell(*w, 0, 1), "");
    EXPECT_EQ(Cell(*w, 1, 1), "");
    EXPECT_EQ(Cell(*w, 0, 2), "ASIA") << "rows below stay";
    EXPECT_EQ(sg1(*w)->SelectedRows(), QStringList{u",1"_s});
}

// Folders on a slow disc: each entry takes a millisecond, so the search lets
// the window process its messages many times, however fast the walk itself.
// Returns the count of entries walked so far.
std::shared_ptr<int> SlowDisc(app::TfExecute& w, const fs::path& root) {
    for (int i = 0; i < 40; ++i) fs::create_directories(root / ("dir" + std::to_string(i)));
    auto entries = std::make_shared<int>(0);
    w.sd1().SetonEachIteration([&w, entries](search::TSearcDir& sender, bool& stop) {
        ++*entries;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        w.sd1EachIteration(sender, stop);
    });
    return entries;
}

// A second press, or Esc, stops the fill: the row searched says so and is
// marked, and no later drive is searched.
class StopTest : public DataSetListTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StopTest, SecondPressOrEscapeStopsTheFill) {
    const fs::path e = sandbox.MapDrive('E');
    testenv::WriteFile(e / "EUROPE" / "TVDORVKY.INI", "e");
    WriteDrives("3", {"E:\\EUROPE", "E:", "E:\\EUROPE"});
    auto w = MakeWindow();
    SlowDisc(*w, e);
    w->show();
    bool pressedDuringFill = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        if (pressedDuringFill || !w->Filling() || Cell(*w, 1, 1).empty()) return;
        pressedDuringFill = true;
        EXPECT_EQ(Cell(*w, 0, 1), "E:") << "the drive is shown while it is searched";
        if (GetParam()) {
            sbInit(*w)->click();
        } else {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(sg1(*w), &esc);
        }
    });
    poll.start();
    sbInit(*w)->click();
    ASSERT_TRUE(pressedDuringFill) << "the search never let the press in";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"Поиск прерван"_s);
    EXPECT_EQ(Cell(*w, 0, 0), "EUROPE");
    EXPECT_EQ(Cell(*w, 1, 1), "поиск прерван");
    EXPECT_EQ(sg1(*w)->SelectedRows(), QStringList{u",1"_s});
    EXPECT_EQ(Cell(*w, 0, 2), "") << "no later drive searched";
    EXPECT_FALSE(w->Filling());
}

INSTANTIATE_TEST_SUITE_P(Fill, StopTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "SecondPress" : "Escape"; });

// Over a tree of 214,840 entries: the row searched shows the folders
// searched soon after the start, and Esc stops the fill at once. The times
// are printed; the bounds are loose enough for a loaded machine.
TEST_F(DataSetListTest, ALongSearchShowsProgressAndStopsOnEscape) {
#ifdef _WIN32
    GTEST_SKIP() << "laying the tree out under Wine alone takes minutes";
#endif
    const std::size_t entries = testenv::MakeBigTree(sandbox.MapDrive('E'));
    WriteDrives("2", {"E:", "E:"});
    auto w = MakeWindow();
    w->show();
    using Clock = std::chrono::steady_clock;
    Clock::time_point started, progressed, pressed;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        const std::string cell = Cell(*w, 1, 0);
        if (started == Clock::time_point() && w->Filling()) started = Clock::now();
        if (progressed == Clock::time_point() && cell.starts_with("поиск: ") && !cell.starts_with("поиск: 0 "))
            progressed = Clock::now();
        // The walk takes a few hundred milliseconds: Esc goes at once.
        if (pressed == Clock::time_point() && progressed != Clock::time_point()) {
            pressed = Clock::now();
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(sg1(*w), &esc);
        }
    });
    poll.start();
    sbInit(*w)->click();
    const auto stopped = Clock::now();
    ASSERT_NE(pressed, Clock::time_point()) << "no progress was shown during the search";
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("tree of %zu entries: first progress %.1f ms after the start, stopped %.1f ms after Esc\n", entries,
                ms(progressed - started), ms(stopped - pressed));
    EXPECT_LT(ms(progressed - started), 2000.0);
    EXPECT_LT(ms(stopped - pressed), 1000.0);
    EXPECT_EQ(Cell(*w, 1, 0), "поиск прерван");
    EXPECT_EQ(Cell(*w, 0, 1), "") << "no later drive searched";
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, u"Поиск прерван"_s);
}

TEST_F(DataSetListTest, ClosingDuringAFillStopsItAndSavesTheGrid) {
    const fs::path e = sandbox.MapDrive('E');
    testenv::WriteFile(e / "EUROPE" / "TVDORVKY.INI", "e");
    WriteDrives("2", {"E:\\EUROPE", "E:"});
    auto w = MakeWindow();
    const auto entries = SlowDisc(*w, e);
    int entriesAtClose = 0;
    w->show();
    // Closed while the second drive is searched, once the first row is in.
    bool closedDuringFill = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        if (closedDuringFill || !w->Filling() || Cell(*w, 0, 1).empty()) return;
        closedDuringFill = true;
        entriesAtClose = *entries;
        w->close();
    });
    poll.start();
    sbInit(*w)->click();
    ASSERT_TRUE(closedDuringFill);
    EXPECT_LE(*entries - entriesAtClose, 2) << "the search stops at the next entry";
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(OkCount(), 0u) << "no message over a closed window";
    // The close saved the grid as it stood; the fill changed nothing after.
    const std::string saved = testenv::ReadFile(sandbox.WorkDir() / "column1.txt");
    EXPECT_EQ(saved.substr(0, 8), "EUROPE\r\n");
    EXPECT_EQ(Cell(*w, 0, 0), "EUROPE");
    EXPECT_EQ(Cell(*w, 1, 1), "поиск прерван") << "no path for a drive not searched to its end";
    EXPECT_FALSE(w->Filling());
}

} // namespace
} // namespace apptest
