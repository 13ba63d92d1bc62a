// The window with its rescaler, font store and placement store in place: what
// a user sees of them across a resize and a restart.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "components/TZelGrid.h"
#include "settings/TRegistry.h"
#include "tests/app/AppTestSupport.h"

using namespace Qt::Literals::StringLiterals;

namespace apptest {
namespace {

using WiringTest = AppTest;

std::string FontValue(std::string_view name) {
    settings::TRegistry reg;
    if (!reg.OpenKeyPath("ExecuteDorv\\Font", false)) return "<no key>";
    return reg.ValuePresent(name) ? reg.ReadText(name) : "<none>";
}

std::string PlacementValue(std::string_view name) {
    settings::TRegistry reg;
    if (!reg.OpenKeyPath("ExecuteDorv\\MainForm", false)) return "<no key>";
    return reg.ValuePresent(name) ? reg.ReadText(name) : "<none>";
}

TEST_F(WiringTest, ResizingKeepsTheControlsInProportionWithoutDrift) {
    auto w = MakeWindow();
    w->show();
    w->resize(400, 300);
    EXPECT_EQ(bbMaster(*w)->geometry(), QRect(303, 8, 85, 55));
    EXPECT_EQ(PathTxt(*w)->geometry(), QRect(9, 263, 342, 20));
    EXPECT_EQ(sg1(*w)->geometry(), QRect(9, 8, 191, 249));
    EXPECT_EQ(sb1(*w)->height(), PathTxt(*w)->height());
    for (int step = 0; step < 15; ++step) w->resize(300 + 17 * step, 280 + 11 * step);
    w->resize(338, 310);
    EXPECT_EQ(bbMaster(*w)->geometry(), QRect(256, 8, 72, 57));
    EXPECT_EQ(PathTxt(*w)->geometry(), QRect(8, 272, 289, 21));
    EXPECT_EQ(sg1(*w)->geometry(), QRect(8, 8, 161, 257));
}

TEST_F(WiringTest, FirstStartTakesTheDefaultFontAndMakesItsKey) {
    auto w = MakeWindow();
    EXPECT_EQ(FontValue("FontName"), "<none>") << "the key exists, nothing is written yet";
    EXPECT_EQ(w->font().family(), u"Ms Sans Serif"_s);
    EXPECT_EQ(w->font().pointSize(), 8);
}

TEST_F(WiringTest, FontChosenWithTheHotkeyComesBackAfterARestart) {
    QFont chosen(u"Arial"_s, 10);
    chosen.setBold(true);
    chosen.setItalic(true);
    {
        auto w = MakeWindow();
        w->show();
        dialogs.fontAnswers.push_back(app::FontChoice{chosen, 0x808000}); // teal
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        QCoreApplication::sendEvent(PathTxt(*w), &press);
        ASSERT_EQ(dialogs.fontPresets.size(), 1u);
        EXPECT_EQ(sg1(*w)->font().family(), u"Arial"_s) << "the grid takes the window's font";
        EXPECT_TRUE(w->close());
    }
    EXPECT_EQ(FontValue("FontName"), "Arial");
    EXPECT_EQ(FontValue("FontSize"), "10");
    EXPECT_EQ(FontValue("FontColor"), "8421376");
    EXPECT_EQ(FontValue("FontStyle"), "11");

    auto w = MakeWindow();
    EXPECT_EQ(w->font().family(), u"Arial"_s);
    EXPECT_EQ(w->font().pointSize(), 10);
    EXPECT_TRUE(w->font().bold());
    EXPECT_TRUE(w->font().italic());
    EXPECT_EQ(sg1(*w)->font().family(), u"Arial"_s);
    EXPECT_EQ(sg1(*w)->palette().color(QPalette::Text), QColor(0, 128, 128)) << "the grid shows the stored colour";
}

TEST_F(WiringTest, WindowReopensWhereItWasClosedWithTheSameControlFocused) {
    QRect closedAt;
    {
        auto w = MakeWindow();
        w->show();
        w->move(120, 90);
        bbCar(*w)->setFocus();
        closedAt = w->frameGeometry();
        EXPECT_TRUE(w->close());
    }
    EXPECT_EQ(PlacementValue("NormPos"), std::to_string(closedAt.left()) + "," + std::to_string(closedAt.top()) + "," +
                                             std::to_string(closedAt.left() + closedAt.width()) + "," +
                                             std::to_string(closedAt.top() + closedAt.height()));
    EXPECT_EQ(PlacementValue("ShowCmd"), "1");
    EXPECT_EQ(PlacementValue("ActiveControl"), "bbCar");

    auto w = MakeWindow();
    w->show();
    EXPECT_EQ(w->frameGeometry(), closedAt);
    EXPECT_EQ(w->ActiveControl(), bbCar(*w));
}

} // namespace
} // namespace apptest
