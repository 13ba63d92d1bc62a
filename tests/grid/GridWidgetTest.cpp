// The grid as a widget on the offscreen platform: painting, the current cell
// and its events, editing, sizes and the popup menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "components/TZelGrid.h"
#include "tests/support/Sandbox.h"

using components::TZelGrid;

namespace {

bool IsRed(QRgb px) { return qRed(px) > 190 && qGreen(px) < 70 && qBlue(px) < 70; }

int RedPixels(const QImage& img, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += IsRed(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// The in-place editor while it is open.
QLineEdit* OpenEditor(TZelGrid& grid) {
    for (auto* edit : grid.findChildren<QLineEdit*>())
        if (edit->isVisible()) return edit;
    return nullptr;
}

QPoint CellCentre(TZelGrid& grid, int col, int row) { return grid.visualItemRect(grid.item(row, col)).center(); }

} // namespace

TEST(ZelGrid, StartsAsTheClassicDefaults) {
    testenv::Sandbox box;
    TZelGrid grid;
    EXPECT_TRUE(grid.ColDefault().isEmpty());
    EXPECT_TRUE(grid.ColAlignment().isEmpty());
    EXPECT_TRUE(grid.ColFonts().isEmpty());
    EXPECT_TRUE(grid.Titles().isEmpty());
    EXPECT_TRUE(grid.SelectedRows().isEmpty());
    EXPECT_FALSE(grid.TitlesBold());
    EXPECT_EQ(grid.RowAuto(), 0);
    EXPECT_EQ(grid.SelectedCol(), 0);
    for (auto c :
         {grid.SelectionColor(), grid.SelRowsColor(), grid.SelColsColor(), grid.SelCellsColor(), grid.SelPairsColor()})
        EXPECT_EQ(c, 0);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(grid.Row(), 0);
    EXPECT_FALSE(grid.horizontalHeader()->isVisible());
    EXPECT_FALSE(grid.verticalHeader()->isVisible());
}

TEST(ZelGrid, ListsAreTheGridsOwnAndSettersCopy) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SelectedRows().append(QStringLiteral(",1"));
    EXPECT_EQ(grid.Properties().selectedRows, QStringList{QStringLiteral(",1")});
    QStringList given{QStringLiteral("0,Right")};
    grid.SetColAlignment(given);
    given.append(QStringLiteral("1,Right"));
    EXPECT_EQ(grid.ColAlignment().size(), 1);
}

TEST(ZelGrid, CountsCellsAndSizes) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 1);
    grid.SetColCount(-4);
    EXPECT_EQ(grid.ColCount(), 1);
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetCells(1, 2, QStringLiteral("x"));
    EXPECT_EQ(grid.Cells(1, 2), u"x");
    grid.SetCells(2, 0, QStringLiteral("outside"));
    grid.SetCells(0, 3, QStringLiteral("outside"));
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_TRUE(grid.Cells(2, 0).isEmpty());
    EXPECT_TRUE(grid.Cells(-1, -1).isEmpty());

    grid.SetColWidths(0, 40);
    grid.SetColWidths(1, 115);
    grid.SetRowHeights(2, 30);
    EXPECT_EQ(grid.ColWidths(0), 40);
    EXPECT_EQ(grid.ColWidths(1), 115);
    EXPECT_EQ(grid.RowHeights(2), 30);
    // The painted cell is exactly that wide; the grid line comes after it.
    EXPECT_EQ(grid.columnViewportPosition(1) - grid.columnViewportPosition(0), 41);
}

TEST(ZelGrid, PaintsMarkedRowInItsColour) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetRowAuto(-1);
    grid.SetSelRowsColor(components::clRed);
    grid.SetSelectedRows({QStringLiteral(",1")});
    QFont font = grid.font();
    font.setPixelSize(18);
    font.setBold(true);
    grid.setFont(font);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) {
            grid.SetCells(c, r, QStringLiteral("WWWW"));
            grid.SetColWidths(c, 80);
            grid.SetRowHeights(r, 30);
        }
    grid.SetRow(2); // keep the highlighted current cell away from rows 0 and 1
    grid.resize(200, 150);
    grid.show();
    QApplication::processEvents();

    const QImage img = grid.grab().toImage();
    const QPoint origin = grid.viewport()->mapTo(&grid, QPoint(0, 0));
    auto rowArea = [&](int r) { return QRect(origin.x(), origin.y() + grid.rowViewportPosition(r), 161, 30); };
    EXPECT_GT(RedPixels(img, rowArea(1)), 20);
    EXPECT_EQ(RedPixels(img, rowArea(0)), 0);
    EXPECT_EQ(RedPixels(img, rowArea(2)), 0); // the next cell is back in the font colour

    // Dark text pixels in row 0 show something was drawn there at all.
    int dark = 0;
    const QRect row0 = rowArea(0);
    for (int y = row0.top(); y <= row0.bottom(); ++y)
        for (int x = row0.left(); x <= row0.right(); ++x) dark += qGray(img.pixel(x, y)) < 80 ? 1 : 0;
    EXPECT_GT(dark, 20);

    // The current cell shows the highlight colour only while the grid has no focus.
    const QPoint corner = origin + QPoint(grid.columnViewportPosition(0) + 1, grid.rowViewportPosition(2) + 1);
    const QColor highlight = grid.palette().color(QPalette::Active, QPalette::Highlight);
    grid.setFocus();
    QApplication::processEvents();
    EXPECT_NE(grid.grab().toImage().pixelColor(corner + QPoint(4, 4)), highlight);
    grid.clearFocus();
    QApplication::processEvents();
    const QImage unfocused = grid.grab().toImage();
    EXPECT_EQ(unfocused.pixelColor(corner + QPoint(4, 4)), highlight);
    EXPECT_EQ(RedPixels(unfocused, rowArea(1)), RedPixels(img, rowArea(1)));
}

TEST(ZelGrid, ProgramAndKeyboardMovesRaiseClick) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(4);
    QSignalSpy clicks(&grid, &TZelGrid::Click);

    EXPECT_TRUE(grid.SetRow(2));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(grid.SetRow(2)); // no change, no event
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(grid.SetCol(1));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 2);

    EXPECT_FALSE(grid.SetRow(4));
    EXPECT_FALSE(grid.SetRow(-1));
    EXPECT_FALSE(grid.SetCol(2));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(clicks.count(), 2);

    grid.show();
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(clicks.count(), 3);
    QTest::keyClick(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(clicks.count(), 4);
}

TEST(ZelGrid, MouseClickAndDoubleClick) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(4);
    for (int r = 0; r < 4; ++r) grid.SetCells(1, r, QStringLiteral("path"));
    grid.resize(300, 200);
    grid.show();
    QApplication::processEvents();
    QSignalSpy clicks(&grid, &TZelGrid::Click);
    QSignalSpy doubles(&grid, &TZelGrid::DblClick);

    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(clicks.count(), 1); // once per click, not again for the move

    // A click on the current cell raises it too.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    EXPECT_EQ(clicks.count(), 2);

    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(OpenEditor(grid), nullptr);

    // The right button leaves the current cell where it is.
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, CellCentre(grid, 0, 0));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Col(), 1);
}

TEST(ZelGrid, EditingChangesTheCellText) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetCells(1, 1, QStringLiteral("old"));
    grid.show();
    grid.setFocus();
    grid.SetCol(1);
    grid.SetRow(1);

    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = OpenEditor(grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), u"old");
    editor->setText(QStringLiteral("новый")); // keyClicks types ASCII only
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor commits through a queued call
    EXPECT_EQ(grid.Cells(1, 1), u"новый");

    // Typing into an empty cell starts the editor with that character.
    grid.SetRow(2);
    QTest::keyClick(&grid, Qt::Key_Z);
    editor = OpenEditor(grid);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor commits through a queued call
    EXPECT_EQ(grid.Cells(1, 2).toLower(), u"z");

    // Enter opens the editor too; Escape leaves the text as it was.
    QTest::keyClick(&grid, Qt::Key_Return);
    editor = OpenEditor(grid);
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("discarded"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(OpenEditor(grid), nullptr);
    EXPECT_EQ(grid.Cells(1, 2).toLower(), u"z");
}

TEST(ZelGrid, PopupMenuAndHint) {
    testenv::Sandbox box;
    TZelGrid grid;
    QMenu menu;
    menu.addAction(QStringLiteral("item"));
    grid.SetPopupMenu(&menu);
    grid.SetHint(QStringLiteral("C:\\key"));
    grid.show();
    QApplication::processEvents();

    // The hint shows over any cell, whatever the cell holds.
    grid.SetCells(0, 0, QStringLiteral("text"));
    const QPoint over = CellCentre(grid, 0, 0);
    QHelpEvent tip(QEvent::ToolTip, over, grid.viewport()->mapToGlobal(over));
    QApplication::sendEvent(grid.viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), u"C:\\key");
    QToolTip::hideText();

    QContextMenuEvent keyEvent(QContextMenuEvent::Keyboard, QPoint(5, 5), grid.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(grid.viewport(), &keyEvent);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();

    // A menu freed before the grid leaves no dangling pointer behind.
    auto owned = std::make_unique<QMenu>();
    grid.SetPopupMenu(owned.get());
    owned.reset();
    EXPECT_EQ(grid.PopupMenu(), nullptr);
    QContextMenuEvent again(QContextMenuEvent::Mouse, QPoint(5, 5), grid.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(grid.viewport(), &again);
}

TEST(ZelGrid, DragMovesTheCurrentCellOnlyFromACell) {
    testenv::Sandbox box;
    TZelGrid grid;
    grid.SetColCount(2);
    grid.SetRowCount(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) grid.SetCells(c, r, QStringLiteral("x"));
    grid.resize(300, 200);
    grid.show();
    QApplication::processEvents();
    QSignalSpy clicks(&grid, &TZelGrid::Click);

    // Pressed on a cell and released on another: one event, for the cell
    // the drag ended on.
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 0, 0));
    QTest::mouseMove(grid.viewport(), CellCentre(grid, 1, 2));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(clicks.count(), 1);

    // Pressed in the empty space beyond the cells: the current cell stays,
    // so no cell becomes current without the event that goes with it.
    grid.SetRow(0);
    grid.SetCol(0);
    clicks.clear();
    const QPoint empty(grid.viewport()->width() - 3, grid.viewport()->height() - 3);
    ASSERT_FALSE(grid.indexAt(empty).isValid());
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, empty);
    QTest::mouseMove(grid.viewport(), CellCentre(grid, 1, 2));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 1, 2));
    EXPECT_EQ(grid.Row(), 0);
    EXPECT_EQ(grid.Col(), 0);
    EXPECT_EQ(clicks.count(), 0);
}
