// The window when its files are damaged, locked or not files at all: nothing
// the user kept is lost, and nothing fails without a word.

#include <gmock/gmock.h>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

#include "app/DataSetList.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "host/Registry.h"
#include "settings/TRegistry.h"
#include "tests/app/AppTestSupport.h"

namespace fs = std::filesystem;
using namespace Qt::Literals::StringLiterals;

namespace apptest {
namespace {

class ReliabilityTest : public AppTest {
protected:
    ReliabilityTest() { host::TakeStoreTrouble(); }
    fs::path Store() const { return sandbox.ConfigHome() / "dorv-launcher" / "registry.reg"; }
    fs::path Work(const char* name) const { return sandbox.WorkDir() / name; }
    // Two data sets, the second marked, as a close leaves them.
    void WriteList() {
        testenv::WriteFile(Work("column1.txt"), "EUROPE\r\nASIA\r\n");
        testenv::WriteFile(Work("column2.txt"), "E:\\EUROPE\\TVDORVKY.INI\r\nF:\r\n");
        testenv::WriteFile(Work("selected.txt"), ",1\r\n");
    }
    static void Close(app::TfExecute& w) {
        w.show();
        EXPECT_TRUE(w.close());
    }
    static void Activate(app::TfExecute& w, int row) {
        sg1(w)->SetCol(0);
        sg1(w)->SetRow(row == 0 ? 1 : 0);
        sg1(w)->SetRow(row);
    }
};

TEST_F(ReliabilityTest, DamagedStoreKeepsTheListAndIsToldOnce) {
    WriteList();
    const std::string damaged =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\ExecuteDorv]\r\n"
        "\"DorvDisk\"=\"EUROPE\"\r\nstray line\r\n";
    testenv::WriteFile(Store(), damaged);
    {
        auto w = MakeWindow();
        EXPECT_EQ(Cell(*w, 0, 1), "ASIA");
        EXPECT_TRUE(app::IsRowMarked(*sg1(*w), 1));
        Close(*w);
    }
    ASSERT_EQ(dialogs.messages.size(), 1u) << "one box for the whole run";
    EXPECT_THAT(components::ToStd(dialogs.messages[0].text), testing::HasSubstr(Store().string() + ", строка 5"));
    EXPECT_EQ(testenv::ReadFile(Work("column1.txt")), "EUROPE\r\nASIA\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(testenv::ReadFile(Work("selected.txt")), ",1\r\n");
    std::vector<fs::path> copies;
    for (const auto& e : fs::directory_iterator(Store().parent_path()))
        if (e.path().filename().string().starts_with("registry.reg.damaged-")) copies.push_back(e.path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(testenv::ReadFile(copies[0]), damaged);
    EXPECT_EQ(StoredValue("DorvDirectory"), "C:\\TARVEN") << "a fresh store, written at close";
    EXPECT_FALSE(host::TakeStoreTrouble());
}

TEST_F(ReliabilityTest, StartThatStoppedBeforeTheListLeavesItsFilesUntouched) {
    WriteList();
    host::RegSetRaw("ExecuteDorv", "ValidWindowsDirectory", host::regDword, {1, 0, 0, 0});
    {
        auto w = MakeWindow();
        Close(*w);
    }
    EXPECT_EQ(testenv::ReadFile(Work("column1.txt")), "EUROPE\r\nASIA\r\n");
    EXPECT_EQ(testenv::ReadFile(Work("column2.txt")), "E:\\EUROPE\\TVDORVKY.INI\r\nF:\r\n");
    EXPECT_EQ(testenv::ReadFile(Work("selected.txt")), ",1\r\n");
}

TEST_F(ReliabilityTest, MarksFollowTheirDataSetsAfterADeletedRowAndARestart) {
    testenv::WriteFile(sandbox.MapDrive('E') / "GOOD" / "TVDORVKY.INI", "good");
    testenv::WriteFile(Work("column1.txt"), "OLD\r\nGOOD\r\nF:\r\n");
    testenv::WriteFile(Work("column2.txt"),
                       "E:\\OLD\\TVDORVKY.INI\r\nE:\\GOOD\\TVDORVKY.INI\r\nне найден файл TVDORVKY.INI\r\n");
    testenv::WriteFile(Work("selected.txt"), ",2\r\n");
    {
        auto w = MakeWindow();
        sg1(*w)->SetRow(0);
        w->NDeleteRowClick(nullptr);
        Close(*w);
    }
    auto w = MakeWindow();
    EXPECT_EQ(Cell(*w, 0, 0), "GOOD");
    EXPECT_FALSE(app::IsRowMarked(*sg1(*w), 0)) << "the good data set stays unmarked";
    EXPECT_EQ(Cell(*w, 0, 1), "F:");
    EXPECT_TRUE(app::IsRowMarked(*sg1(*w), 1)) << "the mark stays on the data set without a key file";
    Activate(*w, 0);
    EXPECT_EQ(testenv::ReadFile(ActiveKeyFile()), "good");
}

// Activation and the catalogue's setting where the Windows folder takes no
// new file, and sources that are no key files.
TEST_F(ReliabilityTest, ActivationWritesInPlaceOrSaysWhyNot) {
    InstallWine();
    testenv::WriteFile(sandbox.MapDrive('E') / "EU" / "TVDORVKY.INI", "eu");
    const fs::path odd = sandbox.MapDrive('F');
    ASSERT_EQ(::mkfifo((odd / "pipe.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", odd / "zero.ini");
    testenv::WriteFile(sandbox.Prefix() / "drive_c" / "TARVEN" / "dorvwin.exe", "MZ");
    testenv::WriteFile(CatalogueIni(), "[Condition]\r\nMultiScreen=0\r\n");
    struct Case {
        const char* what;
        const char* source;
        bool keyFileThere;
        bool copied;
    };
    for (const Case& c :
         {Case{"old key file writable", "E:\\EU\\TVDORVKY.INI", true, true},
          Case{"no key file to write", "E:\\EU\\TVDORVKY.INI", false, false},
          Case{"a pipe", "F:\\pipe.ini", true, false}, Case{"an endless device", "F:\\zero.ini", true, false}}) {
        SCOPED_TRACE(c.what);
        fs::permissions(sandbox.WindowsDir(), fs::perms::owner_all);
        fs::remove(ActiveKeyFile());
        if (c.keyFileThere) testenv::WriteFile(ActiveKeyFile(), "old");
        fs::permissions(sandbox.WindowsDir(), static_cast<fs::perms>(0555));
        dialogs.messages.clear();
        auto w = MakeWindow();
        sg1(*w)->SetCells(0, 0, u"EU"_s);
        sg1(*w)->SetCells(1, 0, components::ToQ(c.source));
        Activate(*w, 0);
        EXPECT_EQ(w->windowTitle(), c.copied ? u"EU"_s : QString());
        if (c.copied) {
            EXPECT_TRUE(dialogs.messages.empty());
            EXPECT_EQ(testenv::ReadFile(ActiveKeyFile()), "eu");
        } else {
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_THAT(components::ToStd(dialogs.messages[0].text), testing::HasSubstr("TVDORVKY.INI"));
            if (c.keyFileThere) {
                EXPECT_EQ(testenv::ReadFile(ActiveKeyFile()), "old");
            }
        }
    }
    dialogs.messages.clear();
    auto w = MakeWindow();
    bbDorv(*w)->click();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(testenv::ReadFile(CatalogueIni()), "[Condition]\r\nMultiScreen=1\r\n");
    fs::permissions(sandbox.WindowsDir(), fs::perms::owner_all);
}

TEST_F(ReliabilityTest, TwoLaunchersCloseInEitherOrderAndTheLastOneIsKept) {
    for (const bool firstClosesFirst : {true, false}) {
        SCOPED_TRACE(firstClosesFirst);
        auto a = MakeWindow();
        auto b = MakeWindow();
        PathTxt(*a)->setText(u"C:\\A"_s);
        PathTxt(*b)->setText(u"C:\\B"_s);
        sg1(*a)->SetCells(0, 0, u"FROM A"_s);
        sg1(*b)->SetCells(0, 0, u"FROM B"_s);
        app::TfExecute& first = firstClosesFirst ? *a : *b;
        app::TfExecute& last = firstClosesFirst ? *b : *a;
        Close(first);
        Close(last);
        EXPECT_EQ(StoredValue("DorvDirectory"), components::ToStd(PathTxt(last)->text()));
        EXPECT_EQ(testenv::ReadFile(Work("column1.txt")).substr(0, 6), components::ToStd(sg1(last)->Cells(0, 0)));
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

// The close stores what it can: a list file that cannot be written keeps none
// of the other stores from being written, and one box names each failure by
// its absolute path with the system's reason. A working folder that takes no
// file is told at start too, before the user's work.
struct LostListCase {
    const char* name;
    bool folderReadOnly;
    std::vector<const char*> failing;
};

class LostListTest : public AppTest, public ::testing::WithParamInterface<LostListCase> {};

TEST_P(LostListTest, TheCloseSavesEverythingElseAndNamesEachFailure) {
    const LostListCase& c = GetParam();
    if (c.folderReadOnly)
        fs::permissions(sandbox.WorkDir(), fs::perms::owner_read | fs::perms::owner_exec);
    else
        fs::create_directories(sandbox.WorkDir() / "column1.txt"); // a folder cannot be replaced by a file
    auto w = MakeWindow();
    w->show();
    w->activateWindow();
    const QString folder = QString::fromStdString(fs::absolute(sandbox.WorkDir()).lexically_normal().string());
    if (c.folderReadOnly) {
        EXPECT_TRUE(dialogs.messages.empty()) << "the warning came before the window was up";
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1u, 5000);
        EXPECT_TRUE(dialogs.messages[0].text.contains(folder)) << dialogs.messages[0].text.toStdString();
        dialogs.messages.clear();
    }
    EXPECT_TRUE(dialogs.messages.empty());
    PathTxt(*w)->setText(u"D:\\NEW"_s);
    w->show();
    w->close();
    fs::permissions(sandbox.WorkDir(), fs::perms::owner_all);

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, u"Ошибка"_s);
    const QStringList lines = dialogs.messages[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(c.failing.size() + 1)) << dialogs.messages[0].text.toStdString();
    for (std::size_t i = 0; i < c.failing.size(); ++i) {
        const QString line = lines[static_cast<qsizetype>(i + 1)];
        EXPECT_TRUE(line.startsWith(folder + u'/' + QString::fromUtf8(c.failing[i]) + u": "_s)) << line.toStdString();
        EXPECT_GT(line.size(), folder.size() + 20) << "no reason: " << line.toStdString();
    }
    EXPECT_EQ(StoredValue("DorvDirectory"), "D:\\NEW");
    EXPECT_TRUE(StoredValue("DorvDisk"));
    settings::TRegistry reg;
    EXPECT_TRUE(reg.OpenKeyPath("ExecuteDorv\\Font", false) && reg.ValuePresent("FontName")) << "the font was lost";
    EXPECT_EQ(fs::exists(sandbox.WorkDir() / "selected.txt"), !c.folderReadOnly);
}

INSTANTIATE_TEST_SUITE_P(Close, LostListTest,
                         ::testing::Values(LostListCase{"OneFile", false, {"column1.txt"}},
                                           LostListCase{
                                               "ReadOnlyFolder", true, {"column1.txt", "column2.txt", "selected.txt"}}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace apptest
