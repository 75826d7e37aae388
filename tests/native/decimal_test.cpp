#include "base/decimal.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(LeadingDecimal, ReadsLikeAtoiWithoutItsOverflow) {
    EXPECT_EQ(vx::leadingDecimal64("1234"), 1234);
    EXPECT_EQ(vx::leadingDecimal64("  \t\r\n-42abc"), -42);
    EXPECT_EQ(vx::leadingDecimal64("+7 "), 7);
    EXPECT_EQ(vx::leadingDecimal64("3000000000"), 3000000000) << "past 32 bits, as after 2038";
    EXPECT_EQ(vx::leadingDecimal64(""), 0);
    EXPECT_EQ(vx::leadingDecimal64("x12"), 0);
    EXPECT_EQ(vx::leadingDecimal64("-"), 0);
    EXPECT_EQ(vx::leadingDecimal64("- 5"), 0) << "no blank between sign and digits";
}

TEST(LeadingDecimal, HoldsAtTheLimitsInsteadOfWrapping) {
    constexpr auto kMax = std::numeric_limits<int64_t>::max();
    constexpr auto kMin = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(vx::leadingDecimal64("9223372036854775807"), kMax);
    EXPECT_EQ(vx::leadingDecimal64("9223372036854775808"), kMax);
    EXPECT_EQ(vx::leadingDecimal64("99999999999999999999999999"), kMax);
    EXPECT_EQ(vx::leadingDecimal64("-9223372036854775808"), kMin);
    EXPECT_EQ(vx::leadingDecimal64("-99999999999999999999999999"), kMin);
}

}  // namespace
