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
#include "tests/support/Sandbox.h"

namespace {

class Accessibility : public ::testing::Test {
protected:
    Accessibility() { QApplication::setQuitOnLastWindowClosed(false); }

    std::unique_ptr<app::TfExecute> MakeWindow() {
        return std::make_unique<app::TfExecute>(
            app::TfExecuteEnv{{}, "C:\\windows", "C:\\windows\\system32"});
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
    EXPECT_EQ(SpokenName(w->sbInit), std::string("Проинициализировать"));
    EXPECT_EQ(SpokenName(w->bbDorv), std::string("dorvwin.exe"));
    EXPECT_EQ(SpokenName(w->bbMaster), std::string("tdm010.exe"));
    EXPECT_EQ(SpokenName(w->bbAlternatives), std::string("tdp010.exe"));
    EXPECT_EQ(SpokenName(w->bbCar), std::string("e_dorv.exe"));
    // The controls without a caption still say what they are.
    for (QWidget* control : {static_cast<QWidget*>(w->sg1), static_cast<QWidget*>(w->PathTxt),
                             static_cast<QWidget*>(w->sb1), static_cast<QWidget*>(w->Image1)}) {
        EXPECT_FALSE(SpokenName(control).empty()) << control->objectName().toStdString();
    }
    // No two controls share a name, or a listener cannot tell them apart.
    std::vector<std::string> names;
    for (QWidget* control : w->findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || !control->isVisibleTo(w.get())) continue;
        if (qobject_cast<QPushButton*>(control) || qobject_cast<QToolButton*>(control) ||
            qobject_cast<QLineEdit*>(control) || control == w->sg1 || control == w->Image1) {
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
    w->sg1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), w->sg1);

    // Left column, then the launch buttons row by row, the initialise
    // button under them, and the folder line at the bottom, left to right.
    const QList<QWidget*> expected = {w->bbDorv, w->bbMaster, w->bbAlternatives, w->bbCar,
                                      w->sbInit, w->PathTxt, w->sb1, w->sg1};
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
    EXPECT_EQ(QApplication::focusWidget(), w->sb1);
}

} // namespace
