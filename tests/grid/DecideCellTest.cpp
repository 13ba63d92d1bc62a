// What a grid cell shows, decided without a display.
#include <gtest/gtest.h>

#include <QRect>

#include "components/TZelGrid.h"

using components::TColor;
using components::TZelGrid;

namespace {

const QRect Cell(0, 0, 64, 24);

// 7 pixels a character, 8 when bold: enough to see which font was measured.
int Measure(const QString& text, bool bold) { return static_cast<int>(text.size()) * (bold ? 8 : 7); }

TZelGrid::CellLook Decide(int col, int row, const TZelGrid::Props& props, const QString& text = QStringLiteral("own"),
                          const QRect& rect = Cell) {
    return TZelGrid::DecideCell(col, row, rect, text, props, Measure);
}

TZelGrid::Props Unnumbered() {
    TZelGrid::Props p;
    p.rowAuto = -1;
    return p;
}

} // namespace

TEST(DecideCell, NumbersColumnZeroFromRowAuto) {
    const TZelGrid::Props fresh; // a new grid numbers from its first row
    EXPECT_EQ(Decide(0, 0, fresh).text, u"1");
    EXPECT_EQ(Decide(0, 1, fresh).text, u"2");
    EXPECT_EQ(Decide(0, 2, fresh, QString()).text, u"3");
    EXPECT_EQ(Decide(1, 2, fresh).text, u"own");

    TZelGrid::Props two;
    two.rowAuto = 2;
    EXPECT_EQ(Decide(0, 0, two).text, u"own");
    EXPECT_EQ(Decide(0, 1, two).text, u"own");
    EXPECT_EQ(Decide(0, 2, two).text, u"1");
    EXPECT_EQ(Decide(0, 3, two).text, u"2");

    EXPECT_EQ(Decide(0, 0, Unnumbered()).text, u"own");
    EXPECT_EQ(Decide(0, 5, Unnumbered()).text, u"own");

    // Numbering wins over a title.
    TZelGrid::Props titled;
    titled.titles = {QStringLiteral("Name")};
    EXPECT_EQ(Decide(0, 0, titled).text, u"1");
}

TEST(DecideCell, TitlesFillRowZeroWhereTheyHaveText) {
    TZelGrid::Props p = Unnumbered();
    p.titles = {QStringLiteral("Name"), QString(), QStringLiteral("Path")};
    EXPECT_EQ(Decide(0, 0, p).text, u"Name");
    EXPECT_EQ(Decide(1, 0, p).text, u"own");
    EXPECT_EQ(Decide(2, 0, p).text, u"Path");
    EXPECT_EQ(Decide(3, 0, p).text, u"own"); // shorter list: untitled
    EXPECT_EQ(Decide(2, 1, p).text, u"own"); // titles only in row 0
    EXPECT_FALSE(Decide(0, 0, p).bold);

    p.titlesBold = true;
    EXPECT_TRUE(Decide(0, 0, p).bold); // from the title
    EXPECT_TRUE(Decide(1, 0, p).bold); // from the cell
    EXPECT_FALSE(Decide(1, 0, p, QString()).bold);
    EXPECT_TRUE(Decide(1, 0, p, QString()).text.isEmpty());
    EXPECT_FALSE(Decide(0, 1, p).bold);
}

TEST(DecideCell, AlignmentFollowsWholeLinesWithoutCase) {
    TZelGrid::Props p = Unnumbered();
    const int text = 3 * 7; // "own"
    p.colAlignment = {QStringLiteral("1,Right"), QStringLiteral("1,Center")};
    EXPECT_EQ(Decide(1, 0, p).x, 32 - 10); // centre wins over right
    EXPECT_EQ(Decide(0, 0, p).x, 2);       // other columns stay left

    p.colAlignment = {QStringLiteral("1,right")};
    EXPECT_EQ(Decide(1, 0, p).x, 64 - text - 2);
    p.colAlignment = {QStringLiteral("1, Right")};
    EXPECT_EQ(Decide(1, 0, p).x, 2);
    p.colAlignment = {QStringLiteral("0,Left"), QStringLiteral("11,Right")};
    EXPECT_EQ(Decide(1, 0, p).x, 2);

    // Right alignment of a too-wide text starts left of the cell.
    p.colAlignment = {QStringLiteral("1,Right")};
    const QRect at100(100, 0, 64, 24);
    const QString wide(30, QLatin1Char('w'));
    EXPECT_EQ(Decide(1, 0, p, wide, at100).x, 164 - 30 * 7 - 2);
    EXPECT_LT(Decide(1, 0, p, wide, at100).x, 100);
}

TEST(DecideCell, CentringRoundsHalvesToEven) {
    TZelGrid::Props p = Unnumbered();
    p.colAlignment = {QStringLiteral("0,Center")};
    auto width = [](int w) { return [w](const QString&, bool) { return w; }; };
    EXPECT_EQ(TZelGrid::DecideCell(0, 0, Cell, QStringLiteral("x"), p, width(21)).x, 22);
    EXPECT_EQ(TZelGrid::DecideCell(0, 0, Cell, QStringLiteral("x"), p, width(23)).x, 20);
    EXPECT_EQ(TZelGrid::DecideCell(0, 0, QRect(10, 0, 64, 24), QStringLiteral("x"), p, width(23)).x, 30);
}

TEST(DecideCell, WeightIsOnlyEverAdded) {
    TZelGrid::Props p = Unnumbered();
    p.colFonts = {QStringLiteral("0,Normal")};
    EXPECT_FALSE(Decide(0, 1, p).bold);
    p.colFonts = {QStringLiteral("0,Normal"), QStringLiteral("0,Bold")};
    EXPECT_TRUE(Decide(0, 1, p).bold);
    EXPECT_FALSE(Decide(1, 1, p).bold);
    p.colFonts = {QStringLiteral("1,BOLD")};
    EXPECT_TRUE(Decide(1, 1, p).bold);
    // The bold row: every cell of it, and no other.
    p.colFonts.clear();
    p.boldRow = 2;
    EXPECT_TRUE(Decide(0, 2, p).bold && Decide(1, 2, p).bold);
    EXPECT_FALSE(Decide(1, 1, p).bold);
    p.colFonts = {QStringLiteral("1,BOLD")};

    // Widths are measured in the bold font once bold is added.
    p.colAlignment = {QStringLiteral("1,Right")};
    EXPECT_EQ(Decide(1, 1, p).x, 64 - 3 * 8 - 2);
}

TEST(DecideCell, MarkColoursTakePrecedenceRowColumnPairCell) {
    TZelGrid::Props p = Unnumbered();
    p.selRowsColor = 1;
    p.selColsColor = 2;
    p.selPairsColor = 3;
    p.selCellsColor = 4;
    auto colour = [&](int c, int r) -> TColor {
        const auto look = Decide(c, r, p);
        return look.hasColor ? look.color : -1;
    };

    p.selectedRows = {QStringLiteral(",3")};
    EXPECT_EQ(colour(0, 3), 1);
    EXPECT_EQ(colour(4, 3), 1);
    EXPECT_EQ(colour(0, 2), -1);

    p.selectedRows = {QStringLiteral("1,")};
    EXPECT_EQ(colour(1, 0), 2);
    EXPECT_EQ(colour(1, 7), 2);
    EXPECT_EQ(colour(0, 7), -1);

    p.selectedRows = {QStringLiteral(",3"), QStringLiteral("1,")};
    EXPECT_EQ(colour(1, 3), 3);
    EXPECT_EQ(colour(0, 3), 1);
    EXPECT_EQ(colour(1, 2), 2);

    p.selectedRows = {QStringLiteral(",3"), QStringLiteral("1,3")};
    EXPECT_EQ(colour(1, 3), 4);
    EXPECT_EQ(colour(0, 3), 1);
    EXPECT_EQ(colour(1, 2), -1);

    p.selectedRows = {QStringLiteral("1,3"), QStringLiteral(",3"), QStringLiteral("1,")};
    EXPECT_EQ(colour(1, 3), 4); // the cell mark beats the pair

    p.selectedRows = {QStringLiteral("13"),  QString(),
                      QStringLiteral(","),   QStringLiteral(" ,3"),
                      QStringLiteral(",3 "), QStringLiteral(",03")};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 15; ++r) EXPECT_EQ(colour(c, r), -1) << c << "," << r;

    // A mark in black is still a mark, not the font colour.
    p.selRowsColor = components::clBlack;
    p.selectedRows = {QStringLiteral(",0")};
    EXPECT_TRUE(Decide(0, 0, p).hasColor);
    EXPECT_EQ(Decide(0, 0, p).color, components::clBlack);
}

TEST(DecideCell, DrawsAtMost255Characters) {
    const TZelGrid::Props p = Unnumbered();
    const QString longText = QString(254, QLatin1Char('a')) + QStringLiteral("bcd");
    const auto look = Decide(1, 1, p, longText);
    EXPECT_EQ(look.text.size(), 255);
    EXPECT_TRUE(look.text.endsWith(u"ab"));

    // A character outside the basic plane is kept whole or left out.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // two UTF-16 units
    const QString pairs = QString(254, QLatin1Char('a')) + clef + clef;
    EXPECT_EQ(Decide(1, 1, p, pairs).text, QString(254, QLatin1Char('a')) + clef);
    EXPECT_EQ(Decide(1, 1, p, QStringLiteral("short")).text, u"short");
}
