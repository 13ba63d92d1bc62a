#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "settings/Exceptions.h"
#include "settings/NumberRule.h"

using settings::ReadNumberRule;

TEST(NumberRule, HexadecimalFormsGiveTheBitPattern) {
    EXPECT_EQ(ReadNumberRule("0x1F", -7), 31);
    EXPECT_EQ(ReadNumberRule("0X1f", -7), 31);
    EXPECT_EQ(ReadNumberRule("$1F", -7), 31);
    EXPECT_EQ(ReadNumberRule("$1f", -7), 31);
    EXPECT_EQ(ReadNumberRule("$FFFFFFFF", -7), -1);
    EXPECT_EQ(ReadNumberRule("$80000000", -7), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadNumberRule("$0000000001", -7), 1) << "leading zeros do not count against 32 bits";
    EXPECT_EQ(ReadNumberRule("$100000000", -7), -7) << "does not fit in 32 bits";
    EXPECT_EQ(ReadNumberRule("0x", -7), -7);
    EXPECT_EQ(ReadNumberRule("$", -7), -7);
    EXPECT_EQ(ReadNumberRule("0xG1", -7), -7);
    EXPECT_EQ(ReadNumberRule("-$1", -7), -7);
    EXPECT_EQ(ReadNumberRule("$-1", -7), -7);
    EXPECT_EQ(ReadNumberRule(" $1F", -7), 31);
    EXPECT_EQ(ReadNumberRule(" 0x1F", -7), -7) << "the 0x rewrite applies only at the very start";
}

TEST(NumberRule, DecimalFormsBlanksAndRange) {
    EXPECT_EQ(ReadNumberRule(" 12", -7), 12);
    EXPECT_EQ(ReadNumberRule("   12", -7), 12);
    EXPECT_EQ(ReadNumberRule("12 ", -7), -7);
    EXPECT_EQ(ReadNumberRule("\t12", -7), -7) << "only spaces are skipped";
    EXPECT_EQ(ReadNumberRule("", -7), -7);
    EXPECT_EQ(ReadNumberRule("   ", -7), -7);
    EXPECT_EQ(ReadNumberRule("+5", -7), 5);
    EXPECT_EQ(ReadNumberRule("-0", -7), 0);
    EXPECT_EQ(ReadNumberRule("007", -7), 7);
    EXPECT_EQ(ReadNumberRule("+", -7), -7);
    EXPECT_EQ(ReadNumberRule("-", -7), -7);
    EXPECT_EQ(ReadNumberRule("1 2", -7), -7);
    EXPECT_EQ(ReadNumberRule("12a", -7), -7);
    EXPECT_EQ(ReadNumberRule("2147483647", -7), 2147483647);
    EXPECT_EQ(ReadNumberRule("-2147483648", -7), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ReadNumberRule("2147483648", -7), -7);
    EXPECT_EQ(ReadNumberRule("-2147483649", -7), -7);
    EXPECT_EQ(ReadNumberRule("99999999999999999999999", -7), -7);
    EXPECT_EQ(ReadNumberRule(std::string("1\0"
                                         "2",
                                         3),
                             -7),
              -7);
}

TEST(NumberRule, StrToIntRaisesConvertErrorNamingTheText) {
    EXPECT_EQ(settings::StrToInt("-12"), -12);
    EXPECT_EQ(settings::StrToInt("$1F"), 31);
    EXPECT_FALSE(settings::TryStrToInt("0x1F")) << "the 0x form belongs to the settings rule";
    EXPECT_EQ(settings::StrToIntDef("x", 3), 3);
    try {
        settings::StrToInt("12 ");
        FAIL() << "no exception";
    } catch (const settings::EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
    }
}
