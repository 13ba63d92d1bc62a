// Start-up and close of the main window: what is read, what is settled, what
// is stored, and what a broken stored value does.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/ErrorReport.h"
#include "app/TAboutBox.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "host/Registry.h"
#include "settings/TRegistry.h"
#include "tests/app/AppTestSupport.h"

namespace fs = std::filesystem;
using namespace Qt::Literals::StringLiterals;

namespace apptest {
namespace {

using StartupTest = AppTest;

TEST_F(StartupTest, FirstStartWithNothingStored) {
    auto w = MakeWindow();
    EXPECT_TRUE(host::RegKey::Open("ExecuteDorv", false)) << "key created at start";
    EXPECT_EQ(PathTxt(*w)->text(), u"C:\\TARVEN"_s);
    EXPECT_EQ(w->windowTitle(), QString());
    EXPECT_EQ(sg1(*w)->RowCount(), 8);
    for (int r = 0; r < sg1(*w)->RowCount(); ++r) {
        EXPECT_EQ(Cell(*w, 0, r), "");
        EXPECT_EQ(Cell(*w, 1, r), "");
    }
    EXPECT_TRUE(sg1(*w)->SelectedRows().isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.folderTitles.empty()) << "Wine's pair is consistent";
    EXPECT_FALSE(StoredValue("ValidWindowsDirectory"));
    EXPECT_EQ(w->TargetDir(), "C:\\windows\\");
    EXPECT_EQ(app::TfExecute::Hint(sbInit(*w)),
              u"Директория Виндоуз :C:\\windows\rСистемная директория  :C:\\windows\\system32"_s);
}

TEST_F(StartupTest, ControlsSitWhereTheRescalerExpectsThem) {
    auto w = MakeWindow();
    EXPECT_EQ(w->size(), QSize(338, 310));
    EXPECT_EQ(sg1(*w)->parentWidget(), Panel1(*w));
    EXPECT_EQ(sg1(*w)->geometry(), QRect(8, 8, 161, 257));
    EXPECT_EQ(sb1(*w)->parentWidget(), Panel1(*w));
    EXPECT_EQ(bbMaster(*w)->parentWidget(), w.get());
    EXPECT_EQ(bbMaster(*w)->geometry(), QRect(256, 8, 72, 57));
    EXPECT_EQ(PathTxt(*w)->parentWidget(), w.get());
    EXPECT_EQ(PathTxt(*w)->geometry(), QRect(8, 272, 289, 21));
    EXPECT_EQ(w->BorderIcons(), components::biSystemMenu | components::biMinimize);
    EXPECT_TRUE(w->KeyPreview());
    EXPECT_EQ(sg1(*w)->ColCount(), 2);
    EXPECT_EQ(sg1(*w)->SelRowsColor(), components::clRed);
    EXPECT_EQ(sg1(*w)->PopupMenu(), PopupMenu1(*w));
    for (const char* name : {"bbDorv", "bbMaster", "bbAlternatives", "bbCar", "sbInit", "sb1", "Image1", "Panel1",
                             "PathTxt", "sg1", "PopupMenu1"})
        EXPECT_TRUE(w->findChild<QObject*>(QString::fromLatin1(name))) << name;
}

// Every picture is built into the program, at each scale a screen may ask
// for: a missing or unreadable one would show an empty button.
TEST_F(StartupTest, EveryPictureIsThereAtEachScale) {
    auto w = MakeWindow();
    app::TAboutBox box(w.get());
    for (qreal scale : {1.0, 2.0, 3.0}) {
        for (const QPushButton* b : {bbDorv(*w), bbMaster(*w), bbAlternatives(*w), bbCar(*w)}) {
            const QPixmap p = b->icon().pixmap(b->iconSize(), scale);
            EXPECT_FALSE(p.isNull()) << b->objectName().toStdString();
            EXPECT_EQ(p.width(), qRound(b->iconSize().width() * scale)) << b->objectName().toStdString();
        }
        EXPECT_FALSE(sb1(*w)->icon().pixmap(sb1(*w)->iconSize(), scale).isNull());
        EXPECT_FALSE(w->windowIcon().pixmap(QSize(32, 32), scale).isNull());
    }
    for (const QLabel* image : std::initializer_list<const QLabel*>{Image1(*w), Named<QLabel>(box, u"ProgramIcon")}) {
        ASSERT_FALSE(image->pixmap().isNull()) << image->objectName().toStdString();
        EXPECT_GE(image->pixmap().width(), 102);
    }
}

TEST_F(StartupTest, ConsistentWindowsDirectoryPairsAskNothing) {
    struct Pair {
        const char* windows;
        const char* system;
        const char* target;
    };
    for (const Pair& p : {Pair{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\"},
                          Pair{"C:\\WINNT", "C:\\WINNT\\system32", "C:\\WINNT\\"}}) {
        auto w = MakeWindow({}, p.windows, p.system);
        EXPECT_EQ(w->TargetDir(), p.target) << p.system;
        EXPECT_EQ(w->WindowsDir(), p.windows);
    }
    EXPECT_TRUE(dialogs.folderTitles.empty());
    EXPECT_FALSE(StoredValue("ValidWindowsDirectory"));
}

TEST_F(StartupTest, InconsistentPairAsksOnceAndStoresTheAnswer) {
    const fs::path chosen = sandbox.MapDrive('D') / "WIN";
    fs::create_directories(chosen);
    dialogs.folderAnswers.push_back(chosen);
    {
        auto w = MakeWindow({}, "C:\\Users\\x\\WINDOWS", "C:\\WINDOWS\\system32");
        ASSERT_EQ(dialogs.folderTitles.size(), 1u);
        EXPECT_EQ(dialogs.folderTitles[0], u"Выберите каталог Windows"_s);
        EXPECT_EQ(w->TargetDir(), "D:\\WIN");
        // The hint shows the directory the system reported, not the answer.
        EXPECT_TRUE(app::TfExecute::Hint(sbInit(*w)).startsWith(u"Директория Виндоуз :C:\\Users\\x\\WINDOWS\r"_s));
    }
    EXPECT_EQ(StoredValue("ValidWindowsDirectory"), "D:\\WIN");

    auto again = MakeWindow({}, "C:\\Users\\x\\WINDOWS", "C:\\WINDOWS\\system32");
    EXPECT_EQ(dialogs.folderTitles.size(), 1u) << "asked only once";
    EXPECT_EQ(again->TargetDir(), "D:\\WIN");
    EXPECT_EQ(again->WindowsDir(), "D:\\WIN");
}

TEST_F(StartupTest, InconsistentPairCancelledKeepsTheDerivedFolder) {
    auto w = MakeWindow({}, "C:\\Users\\x\\WINDOWS", "C:\\WINDOWS\\system32");
    EXPECT_EQ(dialogs.folderTitles.size(), 1u);
    EXPECT_EQ(w->TargetDir(), "C:\\WINDOWS\\");
    EXPECT_EQ(StoredValue("ValidWindowsDirectory"), "C:\\WINDOWS\\");
}

TEST_F(StartupTest, RowCountArgumentAndColumnFiles) {
    testenv::WriteFile(sandbox.WorkDir() / "column1.txt", "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n");
    {
        auto w = MakeWindow({u"3"_s});
        EXPECT_EQ(sg1(*w)->RowCount(), 3);
        EXPECT_EQ(Cell(*w, 0, 0), "one");
        EXPECT_EQ(Cell(*w, 0, 2), "three");
    }
    for (const QString& arg : {u"x"_s, u""_s, u"3x"_s}) {
        auto w = MakeWindow({arg});
        EXPECT_EQ(sg1(*w)->RowCount(), 8) << components::ToStd(arg);
    }
    auto w = MakeWindow({u"-4"_s});
    EXPECT_EQ(sg1(*w)->RowCount(), 1) << "the grid raises it to one row";

    // Empty lines keep no row; an old installation's code page 1251 is read.
    testenv::WriteFile(sandbox.WorkDir() / "column1.txt", "A\r\n\r\nB\r\n");
    testenv::WriteFile(sandbox.WorkDir() / "column2.txt", "\xc5\xc2\xd0\xce\xcf\xc0\r\n");
    testenv::WriteFile(sandbox.WorkDir() / "selected.txt", ",2\r\n\r\n,3\r\n,00\r\n, 0\r\n");
    auto v = MakeWindow();
    EXPECT_EQ(Cell(*v, 0, 0), "A");
    EXPECT_EQ(Cell(*v, 0, 1), "B");
    EXPECT_EQ(Cell(*v, 0, 2), "");
    EXPECT_EQ(Cell(*v, 1, 0), "ЕВРОПА");
    EXPECT_EQ(sg1(*v)->SelectedRows(), (QStringList{u",1"_s, u""_s, u",3"_s, u",00"_s, u", 0"_s}))
        << "the mark of B moves up with it; one beyond the files, or one that is no row mark, stays as it was";
    v->show();
    EXPECT_TRUE(v->close());
    EXPECT_EQ(testenv::ReadFile(sandbox.WorkDir() / "selected.txt"), ",1\r\n\r\n,3\r\n,00\r\n, 0\r\n");
}

TEST_F(StartupTest, NonStringDorvDiskIsReportedAndTheWindowStillOpens) {
    host::RegSetRaw("ExecuteDorv", "DorvDisk", host::regDword, {1, 0, 0, 0});
    settings::TRegistry reg;
    reg.OpenKeyPath("ExecuteDorv", true);
    reg.WriteText("DorvDirectory", "D:\\X");
    testenv::WriteFile(sandbox.WorkDir() / "column1.txt", "EUROPE\r\n");
    auto w = MakeWindow();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, app::MsgKind::Error);
    EXPECT_EQ(dialogs.messages[0].title, u"Запуск Дорва"_s);
    // The text ends in "'", which comes before "." in code order: no dot.
    EXPECT_EQ(dialogs.messages[0].text, u"Неверный тип данных для 'DorvDisk'"_s);
    // The steps before it ran; the caption step after it did not.
    EXPECT_EQ(PathTxt(*w)->text(), u"D:\\X"_s);
    EXPECT_EQ(Cell(*w, 0, 0), "EUROPE");
    EXPECT_EQ(w->windowTitle(), u"Запуск Дорва"_s);
    w->show();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(StartupTest, NonStringValidWindowsDirectorySkipsTheRestOfTheStart) {
    host::RegSetRaw("ExecuteDorv", "ValidWindowsDirectory", host::regBinary, {1, 2});
    testenv::WriteFile(sandbox.WorkDir() / "column1.txt", "EUROPE\r\n");
    auto w = MakeWindow();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, u"Запуск Дорва"_s);
    EXPECT_TRUE(dialogs.folderTitles.empty());
    EXPECT_EQ(Cell(*w, 0, 0), "") << "later steps skipped";
}

TEST(ErrorReportText, DotOnlyAfterCharactersBeyondIt) {
    EXPECT_EQ(app::ErrorReportText(u"Не могу записать в x.txt"_s), u"Не могу записать в x.txt."_s);
    EXPECT_EQ(app::ErrorReportText(u"done."_s), u"done."_s);
    EXPECT_EQ(app::ErrorReportText(u"what!"_s), u"what!"_s);
    EXPECT_EQ(app::ErrorReportText(u"path/"_s), u"path/."_s);
    EXPECT_EQ(app::ErrorReportText(QString()), QString());
}

TEST_F(StartupTest, CloseThenStartRestoresListMarksFolderAndCaption) {
    {
        settings::TRegistry reg;
        reg.OpenKeyPath("ExecuteDorv", true);
        reg.WriteText("DorvDisk", "EU");
    }
    {
        auto w = MakeWindow();
        // No key file in place: the stored name is not taken on trust.
        EXPECT_EQ(w->windowTitle(), u"EU (?)"_s);
        sg1(*w)->SetCells(0, 0, u"ЕВРОПА"_s);
        sg1(*w)->SetCells(1, 0, u"E:\\ЕВРОПА\\TVDORVKY.INI"_s);
        sg1(*w)->SetCells(0, 2, u"日本"_s); // code page 1251 cannot hold it
        sg1(*w)->SelectedRows() = QStringList{u",2"_s, u",5"_s};
        PathTxt(*w)->setText(u"D:\\Program Files\\DORV"_s);
        w->show();
        EXPECT_TRUE(w->close());
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(StoredValue("DorvDirectory"), "D:\\Program Files\\DORV");
    EXPECT_EQ(StoredValue("DorvDisk"), "EU");
    const std::string column1 = testenv::ReadFile(sandbox.WorkDir() / "column1.txt");
    EXPECT_EQ(column1.substr(0, 3), "\xEF\xBB\xBF") << "kept as UTF-8 with a mark";
    EXPECT_EQ(testenv::ReadFile(sandbox.WorkDir() / "column2.txt"),
              "E:\\\xc5\xc2\xd0\xce\xcf\xc0\\TVDORVKY.INI\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(testenv::ReadFile(sandbox.WorkDir() / "selected.txt"), ",2\r\n,5\r\n");

    auto w = MakeWindow();
    EXPECT_EQ(Cell(*w, 0, 0), "ЕВРОПА");
    EXPECT_EQ(Cell(*w, 1, 0), "E:\\ЕВРОПА\\TVDORVKY.INI");
    EXPECT_EQ(Cell(*w, 0, 1), "日本") << "empty lines keep no row";
    EXPECT_EQ(sg1(*w)->SelectedRows(), QStringList{u",1"_s})
        << "the mark follows its data set up a row; the mark of an empty row marked none";
    EXPECT_EQ(PathTxt(*w)->text(), u"D:\\Program Files\\DORV"_s);
    EXPECT_EQ(w->windowTitle(), u"EU (?)"_s);
}

} // namespace
} // namespace apptest
