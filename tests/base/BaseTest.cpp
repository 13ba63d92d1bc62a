#include <gtest/gtest.h>

#include "base/AsciiCase.h"
#include "base/EnumSet.h"
#include "base/HexDigit.h"
#include "base/Rounding.h"
#include "base/Trim.h"

namespace {

TEST(BaseTest, RoundingTakesHalvesToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{0.5, 0},    {1.5, 2},    {2.5, 2},   {-0.5, 0}, {-1.5, -2},
                                               {2.4999, 2}, {2.5001, 3}, {-2.6, -3}, {7, 7}};
    for (auto [x, want] : cases) EXPECT_EQ(base::RoundHalfEven(x), want) << x;
    const std::pair<int, int> halves[] = {{1, 0},   {3, 2}, {5, 2}, {7, 4},   {-1, 0},  {-3, -2},
                                          {-5, -2}, {8, 4}, {0, 0}, {21, 10}, {23, 12}, {65, 32}};
    for (auto [v, want] : halves) EXPECT_EQ(base::HalfToEven(v), want) << v;
}

TEST(BaseTest, CharacterRulesKnowOnlyAscii) {
    EXPECT_EQ(base::HexDigit('0'), 0);
    EXPECT_EQ(base::HexDigit('f'), 15);
    EXPECT_EQ(base::HexDigit('F'), 15);
    for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\xC0'}) EXPECT_EQ(base::HexDigit(c), -1) << c;

    EXPECT_TRUE(base::EqualsNoCase("Drive_Max", "DRIVE_max"));
    EXPECT_FALSE(base::EqualsNoCase("Drive", "Drive1"));
    // Bytes beyond ASCII (here code page 1251 "Я" and "я") are not folded.
    EXPECT_FALSE(base::EqualsNoCase("\xDF", "\xFF"));
    EXPECT_TRUE(base::StartsWithNoCase("drive12", "DRIVE"));
    EXPECT_FALSE(base::StartsWithNoCase("dri", "DRIVE"));

    EXPECT_EQ(base::Trim(" \tname \t"), "name");
    EXPECT_EQ(base::Trim(" \r "), "\r");
    EXPECT_EQ(base::Trim(" \r ", " \t\r"), "");
    EXPECT_EQ(base::Trim("a b"), "a b");
}

TEST(BaseTest, EnumSetHoldsEachValueOnce) {
    enum class Kind : unsigned char { a, b, c };
    using Set = base::EnumSet<Kind, unsigned char>;
    static_assert(sizeof(Set) == 1);
    Set s{Kind::a, Kind::c, Kind::a};
    EXPECT_TRUE(s.Contains(Kind::a));
    EXPECT_FALSE(s.Contains(Kind::b));
    EXPECT_EQ(s.ToBits(), 0b101);
    s.Exclude(Kind::a);
    s.Include(Kind::b);
    EXPECT_EQ(s, (Set{Kind::b, Kind::c}));
    EXPECT_EQ(Set::FromBits(0b110), s);
    s.Exclude(Kind::b);
    s.Exclude(Kind::c);
    EXPECT_TRUE(s.Empty());
}

} // namespace
