// What a screen reader and a keyboard user get from the main window: a name
// for every control, and Tab walking the controls in the order they are laid
// out.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TAboutBox.h"
#include "app/TfExecute.h"
#include "components/TZelGrid.h"
#include "tests/app/WindowControls.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace apptest;

class Accessibility : public ::testing::Test {
protected:
    Accessibility() { QApplication::setQuitOnLastWindowClosed(false); }

    std::unique_ptr<app::TfExecute> MakeWindow() {
        return std::make_unique<app::TfExecute>(app::TfExecuteEnv{{}, "C:\\windows", "C:\\windows\\system32"});
    }

    // The name assistive technology reads for the widget.
    static std::string SpokenName(QWidget* widget) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        return iface ? iface->text(QAccessible::Name).trimmed().toStdString() : std::string();
    }

    testenv::Sandbox sandbox;
};

TEST_F(Accessibility, EveryControlIsNamedByItsCaptionOrTheProgramItStarts) {
    const auto w = MakeWindow();
    // Captioned controls read their caption; picture buttons the program
    // they start, the same text their hint holds.
    EXPECT_EQ(SpokenName(sbInit(*w)), std::string("Проинициализировать"));
    EXPECT_EQ(SpokenName(bbDorv(*w)), std::string("dorvwin.exe"));
    EXPECT_EQ(SpokenName(bbMaster(*w)), std::string("tdm010.exe"));
    EXPECT_EQ(SpokenName(bbAlternatives(*w)), std::string("tdp010.exe"));
    EXPECT_EQ(SpokenName(bbCar(*w)), std::string("e_dorv.exe"));
    // The controls without a caption still say what they are.
    for (QWidget* control : {static_cast<QWidget*>(sg1(*w)), static_cast<QWidget*>(PathTxt(*w)),
                             static_cast<QWidget*>(sb1(*w)), static_cast<QWidget*>(Image1(*w))}) {
        EXPECT_FALSE(SpokenName(control).empty()) << control->objectName().toStdString();
    }
    // No two controls share a name, or a listener cannot tell them apart.
    std::vector<std::string> names;
    for (QWidget* control : w->findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || !control->isVisibleTo(w.get())) continue;
        if (qobject_cast<QPushButton*>(control) || qobject_cast<QToolButton*>(control) ||
            qobject_cast<QLineEdit*>(control) || control == sg1(*w) || control == Image1(*w)) {
            names.push_back(SpokenName(control));
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names.size(), 9u);
    EXPECT_TRUE(std::adjacent_find(names.begin(), names.end()) == names.end()) << "two controls share a name";
}

TEST_F(Accessibility, AboutBoxOkButtonIsNamed) {
    const auto w = MakeWindow();
    app::TAboutBox box(w.get());
    const auto* ok = box.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(SpokenName(const_cast<QPushButton*>(ok)), std::string("OK"));
}

TEST_F(Accessibility, TabWalksTheControlsInLayoutOrderAndLeavesTheGrid) {
    const auto w = MakeWindow();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    sg1(*w)->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), sg1(*w));

    // Left column, then the launch buttons row by row, the initialise
    // button under them, and the folder line at the bottom, left to right.
    const QList<QWidget*> expected = {bbDorv(*w), bbMaster(*w), bbAlternatives(*w), bbCar(*w), sbInit(*w), PathTxt(*w),
                                      sb1(*w),    sg1(*w)};
    QList<QWidget*> visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    std::vector<std::string> got, want;
    for (QWidget* v : visited) got.push_back(v ? v->objectName().toStdString() : "(none)");
    for (QWidget* e : expected) want.push_back(e->objectName().toStdString());
    EXPECT_EQ(got, want);

    // Shift+Tab walks back the same way.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), sb1(*w));
}

} // namespace
