#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRect>
#include <QWidget>
#include <optional>
#include <utility>

#include "components/TForm.h"
#include "placement/AppUtils.h"
#include "placement/FrameCorrection.h"
#include "tests/support/Sandbox.h"

using components::TForm;
using namespace placement;

TEST(NthWordTest, WordsAreSeparatedByRunsOfBlanksAndCommas) {
    EXPECT_EQ(NthWord(1, "361,233,707,570"), "361");
    EXPECT_EQ(NthWord(4, "361,233,707,570"), "570");
    EXPECT_EQ(NthWord(3, " ,a ,, b,c"), "c");
    EXPECT_EQ(NthWord(1, ",, x"), "x");
    EXPECT_EQ(NthWord(4, "100,50,300"), "");
    EXPECT_EQ(NthWord(1, ""), "");
    EXPECT_EQ(NthWord(0, "a,b"), "");
    EXPECT_EQ(NthWord(2, "a\tb,c"), "c"); // a tab is part of a word
}

TEST(ReachableRectTest, OnlyAnUnreachableRectangleIsMovedIntoThePrimaryArea) {
    const std::vector<QRect> one{QRect(0, 0, 1024, 768)};
    // Reachable, even when partly off the screen: kept as stored.
    EXPECT_EQ(ReachableRect(QRect(361, 233, 346, 337), one), QRect(361, 233, 346, 337));
    EXPECT_EQ(ReachableRect(QRect(900, 100, 400, 300), one), QRect(900, 100, 400, 300));
    // On a screen that was unplugged: same size, moved onto the primary one.
    EXPECT_EQ(ReachableRect(QRect(3000, 2000, 400, 300), one), QRect(624, 468, 400, 300));
    // Larger than the screen: clipped to it.
    EXPECT_EQ(ReachableRect(QRect(-5000, 10, 4000, 4990), one), QRect(0, 0, 1024, 768));
    // Title bar above the screen: brought down.
    EXPECT_EQ(ReachableRect(QRect(100, -50, 400, 350), one), QRect(100, 0, 400, 350));
    // Only a sliver of the title bar showing is not reachable.
    EXPECT_EQ(ReachableRect(QRect(1020, 100, 400, 300), one), QRect(624, 100, 400, 300));
    // Nor is a title bar that only begins at the screen's bottom edge.
    EXPECT_EQ(ReachableRect(QRect(100, 760, 400, 300), one), QRect(100, 468, 400, 300));
    EXPECT_EQ(ReachableRect(QRect(100, 744, 400, 300), one), QRect(100, 744, 400, 300));

    // A second screen to the right: a window on it stays there.
    const std::vector<QRect> two{QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024)};
    EXPECT_EQ(ReachableRect(QRect(1500, 100, 400, 300), two), QRect(1500, 100, 400, 300));
    // The primary area need not start at the origin (a panel on the left).
    const std::vector<QRect> panel{QRect(48, 0, 976, 768)};
    EXPECT_EQ(ReachableRect(QRect(-600, 10, 400, 300), panel), QRect(48, 10, 400, 300));
}

TEST(StoredRectTest, EdgesGiveTheRectangleWithinTheRangeOfAWindow) {
    const QRect current(40, 60, 300, 200); // right 340, bottom 260
    const int far = QWIDGETSIZE_MAX;
    const struct {
        const char* edges;
        bool keepSize;
        std::optional<QRect> expected;
    } cases[] = {
        {"361,233,707,570", false, QRect(361, 233, 346, 337)},
        {"", false, current},
        {"100,50,300", false, QRect(100, 50, 200, 210)},      // the current bottom
        {"abc,50,400,0x120", false, QRect(40, 50, 360, 210)}, // no hex: the current bottom
        {"361,233,900,900", true, QRect(361, 233, 300, 200)}, // only the position
        {"300,50,300,400", false, std::nullopt},              // right edge not past the left
        {"0,500,10,100", false, QRect(0, 500, 10, 1)},        // bottom above the top
        {"-2147483648,0,2147483647,100", false, QRect(-far, 0, far, 100)},
        {"2147483647,2147483647,0,0", true, QRect(far, far, 300, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edges);
        EXPECT_EQ(StoredRect(c.edges, current, c.keepSize), c.expected);
    }
    // What is written reads back as the same rectangle.
    for (const QRect& rect : {QRect(361, 233, 346, 337), QRect(-1300, -20, 1, 1)})
        EXPECT_EQ(StoredRect(EdgesText(rect), current, false), rect);
}

TEST(ShowCmdTest, StoredShowCommandsAndWindowStates) {
    using components::TWindowState;
    const std::pair<int, TWindowState> read[] = {
        {1, TWindowState::wsNormal},    {5, TWindowState::wsNormal},    {9, TWindowState::wsNormal},
        {0, TWindowState::wsNormal},    {7, TWindowState::wsNormal},    {2, TWindowState::wsMinimized},
        {6, TWindowState::wsMinimized}, {3, TWindowState::wsMaximized},
    };
    for (const auto& [showCmd, state] : read) EXPECT_EQ(StateOfShowCmd(showCmd), state) << showCmd;
    EXPECT_EQ(ShowCmdOf(Qt::WindowNoState), swShowNormal);
    EXPECT_EQ(ShowCmdOf(Qt::WindowMaximized), swShowMaximized);
    EXPECT_EQ(ShowCmdOf(Qt::WindowMinimized | Qt::WindowMaximized), swShowMinimized);
    EXPECT_EQ(ShowCmdOf(Qt::WindowFullScreen), swShowNormal);
}

TEST(OuterRectTest, CorrectsTheClientSizeOnceTheFrameIsKnown) {
    testenv::Sandbox sandbox;
    TForm form;
    // Not yet created: the frame is unknown, as before a window manager
    // has framed the window.
    SetNormalOuterRect(form, QRect(100, 120, 346, 337));
    form.show();
    // The correction comes on a timer once the window is on the screen.
    QElapsedTimer waited;
    waited.start();
    while (form.frameGeometry().size() != QSize(346, 337) && waited.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(form.frameGeometry().size(), QSize(346, 337));
    EXPECT_EQ(NormalOuterRect(form), QRect(100, 120, 346, 337));
}
