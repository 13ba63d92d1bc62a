// The launch buttons, the folder button, the keyboard commands, the grid
// layout on resize, the About box, the setup picture and the desktop
// shortcut.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <thread>

#include "app/TAboutBox.h"
#include "app/WindowRules.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "tests/app/AppTestSupport.h"

namespace fs = std::filesystem;
using namespace Qt::Literals::StringLiterals;

namespace apptest {
namespace {

// A key press as the window system delivers it: each with its own time.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
    static ulong time = 1000;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    press.setTimestamp(++time);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    release.setTimestamp(++time);
    QApplication::sendEvent(target, &release);
}

class LaunchTest : public AppTest {
protected:
    LaunchTest() {
        InstallWine();
        ini = "; catalogue settings\r\n[Condition]\r\nLanguage=RU\r\nMultiScreen=0\r\n\r\n[CDROM]\r\nDrive_Max=0\r\n";
        testenv::WriteFile(CatalogueIni(), ini);
    }
    fs::path Tarven() const { return sandbox.Prefix() / "drive_c" / "TARVEN"; }
    std::string ini;
};

TEST_F(LaunchTest, MissingExecutableIsReportedAndNothingElseHappens) {
    auto w = MakeWindow();
    bbMaster(*w)->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, app::MsgKind::Error);
    EXPECT_EQ(dialogs.messages[0].title, u"Ошибка"_s);
    EXPECT_EQ(dialogs.messages[0].text, u"Нет файла : TDM010.EXE по указанному пути  C:\\TARVEN\\"_s);
    EXPECT_EQ(testenv::ReadFile(CatalogueIni()), ini);

    // Letters of code page 1251 are upper-cased too.
    bbCar(*w)->setProperty("Hint", u"справка.exe"_s);
    bbCar(*w)->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, u"Нет файла : СПРАВКА.EXE по указанному пути  C:\\TARVEN\\"_s);
    EXPECT_TRUE(WineStarts(1, 300).empty()) << "nothing started";
}

TEST_F(LaunchTest, ExistingExecutableSetsMultiScreenAndStartsTheExactPath) {
    testenv::WriteFile(Tarven() / "dorvwin.exe", "MZ");
    auto w = MakeWindow();
    bbDorv(*w)->click();
    EXPECT_TRUE(dialogs.messages.empty());
    std::string expected = ini;
    expected.replace(expected.find("MultiScreen=0"), 13, "MultiScreen=1");
    EXPECT_EQ(testenv::ReadFile(CatalogueIni()), expected);
    const auto starts = WineStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], "1|C:\\TARVEN\\dorvwin.exe");
}

// A start that fails is told, naming the program and the reason: at once
// when wine cannot be run, and without blocking the window when wine ends at
// once with an error status (a program it refuses), with its last message.
TEST_F(LaunchTest, AFailedStartIsToldWithTheProgramAndTheReason) {
    testenv::WriteFile(Tarven() / "dorvwin.exe", "MZ");
    const fs::path refusing = sandbox.Root() / "refusing-wine";
    testenv::WriteFile(refusing, "#!/bin/sh\necho 'wine: Bad EXE format for C:\\TARVEN\\dorvwin.exe.' >&2\nexit 1\n");
    fs::permissions(refusing, fs::perms::owner_all);
    auto w = MakeWindow();
    for (const fs::path& wine : {sandbox.Root() / "no-wine", refusing}) {
        qputenv("WINE", QByteArray::fromStdString(wine.string()));
        dialogs.messages.clear();
        bbDorv(*w)->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1u, 4000);
        const QString text = dialogs.messages[0].text;
        EXPECT_EQ(dialogs.messages[0].title, u"Ошибка"_s);
        EXPECT_TRUE(text.startsWith(u"Не удалось запустить C:\\TARVEN\\dorvwin.exe: "_s)) << text.toStdString();
        EXPECT_TRUE(text.contains(wine == refusing ? u"Bad EXE format"_s : u"no-wine"_s)) << text.toStdString();
    }
}

TEST_F(LaunchTest, FolderWithBlanksAndTrailingBackslashStartsOneArgument) {
    testenv::WriteFile(sandbox.Prefix() / "drive_c" / "Program Files" / "TAR VEN" / "e_dorv.exe", "MZ");
    auto w = MakeWindow();
    PathTxt(*w)->setText(u"C:\\Program Files\\TAR VEN\\"_s);
    bbCar(*w)->click();
    EXPECT_TRUE(dialogs.messages.empty());
    const auto starts = WineStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    // The "\" always goes in, so a folder ending in one gives two.
    EXPECT_EQ(starts[0], "1|C:\\Program Files\\TAR VEN\\\\e_dorv.exe");
}

TEST_F(LaunchTest, LongInstallationFolderIsHandledWhole) {
    std::string folder = "C:\\TARVEN";
    fs::path host = Tarven();
    for (int i = 0; i < 12; ++i) {
        folder += "\\folder_with_a_long_name_" + std::to_string(i);
        host /= "folder_with_a_long_name_" + std::to_string(i);
    }
    testenv::WriteFile(host / "tdp010.exe", "MZ");
    auto w = MakeWindow();
    PathTxt(*w)->setText(components::ToQ(folder));
    bbAlternatives(*w)->click();
    const auto starts = WineStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], "1|" + folder + "\\tdp010.exe");
}

TEST_F(LaunchTest, FolderButtonTakesTheChosenFolder) {
    const fs::path dorv = sandbox.MapDrive('D') / "DORV";
    fs::create_directories(dorv);
    dialogs.folderAnswers.push_back(dorv);
    dialogs.folderAnswers.push_back(sandbox.MapDrive('D'));
    auto w = MakeWindow();
    sb1(*w)->click();
    EXPECT_EQ(PathTxt(*w)->text(), u"D:\\DORV"_s);
    ASSERT_EQ(dialogs.folderTitles.size(), 1u);
    EXPECT_EQ(dialogs.folderTitles[0], u"Выберите каталог в котором установлен DORV:"_s);
    sb1(*w)->click();
    EXPECT_EQ(PathTxt(*w)->text(), u"D:\\"_s) << "a drive root keeps its backslash";
    sb1(*w)->click(); // no answer left: cancelled
    EXPECT_EQ(PathTxt(*w)->text(), u"D:\\"_s);
}

TEST_F(LaunchTest, CtrlAltShortcutsReachTheWindowThroughAChildControl) {
    auto w = MakeWindow();
    w->show();
    PathTxt(*w)->setFocus();
    QFont chosen(u"Serif"_s, 14);
    dialogs.fontAnswers.push_back(app::FontChoice{chosen, components::clRed});

    PressKey(PathTxt(*w), Qt::Key_F, Qt::ControlModifier);
    PressKey(PathTxt(*w), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(dialogs.fontPresets.empty()) << "Ctrl+F and Alt+F alone do nothing";

    const QFont before = w->font();
    PressKey(PathTxt(*w), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(dialogs.fontPresets.size(), 1u);
    EXPECT_EQ(dialogs.fontPresets[0].font, before);
    EXPECT_EQ(dialogs.fontPresets[0].color, components::clBlack) << "the first start's colour";
    EXPECT_EQ(w->font().family(), chosen.family());
    EXPECT_EQ(w->font().pointSize(), 14);
    EXPECT_EQ(sg1(*w)->font().pointSize(), 14) << "the grid takes the window's font";
    EXPECT_EQ(sg1(*w)->palette().color(QPalette::Text), QColor(Qt::red)) << "and its colour";

    // Keypad 6 is code 102; a cancelled dialog changes nothing.
    PressKey(PathTxt(*w), Qt::Key_6, Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier);
    ASSERT_EQ(dialogs.fontPresets.size(), 2u);
    EXPECT_EQ(dialogs.fontPresets[1].color, components::clRed);
    EXPECT_EQ(w->font().pointSize(), 14);
    EXPECT_EQ(sg1(*w)->palette().color(QPalette::Text), QColor(Qt::red));

    PressKey(sg1(*w), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs.modalTitles.size(), 1u);
    EXPECT_EQ(dialogs.modalTitles[0], u"О прграмме"_s);

    // The preview does not eat keys: the edit still gets ordinary typing.
    PathTxt(*w)->setText(QString());
    QTest::keyClicks(PathTxt(*w), u"ab"_s);
    EXPECT_EQ(PathTxt(*w)->text(), u"ab"_s);
}

TEST_F(LaunchTest, ShowAndResizeLayOutTheGridByTheFormula) {
    auto w = MakeWindow({u"4"_s});
    w->show();
    EXPECT_EQ(sg1(*w)->ColWidths(0), 40);
    EXPECT_EQ(sg1(*w)->ColWidths(1), 115);
    EXPECT_EQ(sg1(*w)->RowHeights(3), 61);
    EXPECT_EQ(sb1(*w)->height(), PathTxt(*w)->height());
    // A larger window: the rescaler widens the grid first, then its columns
    // and rows are laid out for the grid's new size.
    w->resize(400, 300);
    EXPECT_EQ(sg1(*w)->size(), QSize(191, 249));
    const app::GridLayout wide = app::ComputeGridLayout(191, 249, 4);
    EXPECT_EQ(sg1(*w)->ColWidths(0), wide.col0);
    EXPECT_EQ(sg1(*w)->ColWidths(1), wide.col1);
    EXPECT_EQ(sg1(*w)->RowHeights(3), wide.rowHeight);
}

TEST_F(LaunchTest, AboutBoxLayout) {
    app::TAboutBox box;
    EXPECT_EQ(box.windowTitle(), u"О прграмме"_s);
    EXPECT_EQ(box.size(), QSize(298, 213));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_TRUE(Named<QPushButton>(box, u"OKButton")->isDefault());
    EXPECT_EQ(Named<QPushButton>(box, u"OKButton")->geometry(), QRect(111, 180, 75, 25));
    EXPECT_EQ(Named<QLabel>(box, u"ProductName")->text(), u"Панель для \"DORV\""_s);
    EXPECT_TRUE(Named<QLabel>(box, u"Copyright")->text().startsWith(u"Написал:"_s));
    EXPECT_FALSE(box.isVisible());
    box.show();
    Named<QPushButton>(box, u"OKButton")->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(LaunchTest, SetupPictureStartsTheChosenProgram) {
    testenv::WriteFile(Tarven() / "setup.exe", "MZ");
    auto w = MakeWindow();
    EXPECT_EQ(app::TfExecute::Hint(Image1(*w)),
              u"Нажмите двойной щелчок\r\nдля запуска программы\r\nустановки \"DORV\""_s);
    dialogs.fileAnswers.push_back(Tarven() / "setup.exe");
    w->show();
    QTest::mouseDClick(Image1(*w), Qt::LeftButton);
    ASSERT_EQ(dialogs.openFilters.size(), 1u);
    EXPECT_EQ(dialogs.openFilters[0], u"Программы (*.exe)"_s);
    EXPECT_EQ(fs::canonical(dialogs.openStarts[0]), fs::canonical(Tarven()));
    const auto starts = WineStarts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], "1|C:\\TARVEN\\setup.exe");
    EXPECT_EQ(testenv::ReadFile(CatalogueIni()), ini) << "the setup program needs no display flag";
}

// Made only for a row a click activates; a name no file system takes still
// gives a file, and a second one replaces the first. (What the shortcut
// runs: e2e_command_line, and the Windows run.)
TEST_F(LaunchTest, DesktopShortcutForAnActivatableRowOnly) {
    auto w = MakeWindow();
    components::TZelGrid* grid = sg1(*w);
    grid->SetCells(0, 0, u"A/B:C"_s);
    grid->SetCells(1, 0, u"E:\\A\\TVDORVKY.INI"_s);
    grid->SetCells(0, 1, u"G:"_s);
    grid->SetCells(1, 1, u"не найден файл TVDORVKY.INI"_s);
    grid->SelectedRows().append(u",1"_s);
#ifndef _WIN32
    // The desktop of a Russian session, as xdg-user-dirs names it.
    testenv::WriteFile(sandbox.ConfigHome() / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n");
#endif
    for (const int row : {1, 2, 0, 0}) {
        grid->SetRow(row);
        NShortcut(*w)->trigger();
    }
    ASSERT_EQ(dialogs.messages.size(), 4u);
    for (const ShownMessage& m : dialogs.messages) EXPECT_EQ(m.kind, app::MsgKind::Information) << m.text.toStdString();
    EXPECT_TRUE(dialogs.messages[1].text.startsWith(u"Ярлык делается для набора данных"_s));
    const QString said = dialogs.messages[3].text;
    const QString lead = u"Ярлык «A/B:C — Дорв» на рабочем столе: "_s;
    ASSERT_TRUE(said.startsWith(lead)) << said.toStdString();
    const fs::path made = components::ToPath(said.mid(lead.size()));
    EXPECT_TRUE(fs::is_regular_file(made)) << made;
#ifndef _WIN32
    EXPECT_EQ(made.parent_path(), sandbox.Root() / "home" / "Рабочий стол");
#endif
    int shortcuts = 0;
    for (const auto& entry : fs::directory_iterator(made.parent_path()))
        shortcuts += entry.path().filename().u8string().find(u8"A_B_C — Дорв") == 0;
    EXPECT_EQ(shortcuts, 1) << "the second shortcut went beside the first";
    fs::remove(made);
}

} // namespace
} // namespace apptest
