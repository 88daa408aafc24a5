// Rounding toward minus infinity, truncation, absolute value and sign.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "real_bits.h"
#include "rounding.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSmallestSubnormal = 4.9406564584124654e-324;

TEST(FloorToInt, RoundsTowardMinusInfinity) {
    EXPECT_EQ(2, FloorToInt(2.7));
    EXPECT_EQ(-3, FloorToInt(-2.7));
    EXPECT_EQ(-3, FloorToInt(-3.0));
    EXPECT_EQ(3, FloorToInt(3.0));
    EXPECT_EQ(0, FloorToInt(0.0));
    EXPECT_EQ(0, FloorToInt(-0.0));
    EXPECT_EQ(-1, FloorToInt(-0.5));
    EXPECT_EQ(-1, FloorToInt(-kSmallestSubnormal));
    EXPECT_EQ(0, FloorToInt(kSmallestSubnormal));
    EXPECT_EQ(0, FloorToInt(0.9999999999999999));
    EXPECT_EQ(-1, FloorToInt(-0.9999999999999999));
}

TEST(FloorToInt, ReachesBothEndsOfTheIntegerRange) {
    EXPECT_EQ(INT32_MIN, FloorToInt(-2147483648.0));
    EXPECT_EQ(INT32_MIN, FloorToInt(-2147483647.5));
    EXPECT_EQ(-2147483647, FloorToInt(-2147483647.0));
    EXPECT_EQ(2147483647, FloorToInt(2147483647.0));
    EXPECT_EQ(2147483647, FloorToInt(2147483647.5));
    EXPECT_EQ(2147483647, FloorToInt(2147483647.9999998));
}

TEST(FloorToInt, GivesTheIntegerQuotientOfTenths) {
    // The loader takes tens digits this way; 30 / 10 is exactly 3, 39 / 10 is 3.9.
    for (int n = 0; n <= 100; ++n) {
        EXPECT_EQ(n / 10, FloorToInt(static_cast<double>(n) / 10.0)) << "n = " << n;
    }
}

TEST(FloorToInt, GivesMinus2147483648WhereNoIntegerFits) {
    EXPECT_EQ(INT32_MIN, FloorToInt(kNaN));
    EXPECT_EQ(INT32_MIN, FloorToInt(-kNaN));
    EXPECT_EQ(INT32_MIN, FloorToInt(kInf));
    EXPECT_EQ(INT32_MIN, FloorToInt(-kInf));
    EXPECT_EQ(INT32_MIN, FloorToInt(1e300));
    EXPECT_EQ(INT32_MIN, FloorToInt(-1e300));
    EXPECT_EQ(INT32_MIN, FloorToInt(2147483648.0));
    EXPECT_EQ(INT32_MIN, FloorToInt(-2147483648.5));
    EXPECT_EQ(INT32_MIN, FloorToInt(-2147483649.0));
}

// The conversion must neither depend on the caller's rounding mode nor change it.
class RoundingModeTest : public testing::TestWithParam<int> {
  protected:
    void TearDown() override { std::fesetround(FE_TONEAREST); }
};

TEST_P(RoundingModeTest, FloorToIntTruncatesAndLeavesTheModeAlone) {
    const int mode = GetParam();
    ASSERT_EQ(0, std::fesetround(mode));
    EXPECT_EQ(2, FloorToInt(2.7));
    EXPECT_EQ(fegetround(), mode);
    EXPECT_EQ(-3, FloorToInt(-2.7));
    EXPECT_EQ(2, FloorToInt(2.2));
    EXPECT_EQ(-3, FloorToInt(-2.2));
    EXPECT_EQ(-1, FloorToInt(-0.5));
    EXPECT_EQ(0, FloorToInt(0.5));
    EXPECT_EQ(2147483647, FloorToInt(2147483647.5));
    EXPECT_EQ(2, TruncateToInt(2.7));
    EXPECT_EQ(-2, TruncateToInt(-2.7));
    EXPECT_EQ(fegetround(), mode);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, RoundingModeTest,
                         testing::Values(FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST));

TEST(FloorToInt, CallerStillRoundsToNearestAfterwards) {
    ASSERT_EQ(FE_TONEAREST, fegetround());
    EXPECT_EQ(-3, FloorToInt(-2.7));
    EXPECT_EQ(FE_TONEAREST, fegetround());
    // Ties go to even only under round to nearest; the other modes would give
    // 3 and -2, or 3 and -3, or 2 and -2.
    volatile double half_up = 2.5;
    volatile double half_down = -2.5;
    EXPECT_EQ(2.0, std::nearbyint(half_up));
    EXPECT_EQ(-2.0, std::nearbyint(half_down));
    EXPECT_EQ(4, std::lrint(3.5));
}

TEST(TruncateToInt, TruncatesTowardZero) {
    EXPECT_EQ(2, TruncateToInt(2.7));
    EXPECT_EQ(-2, TruncateToInt(-2.7));
    EXPECT_EQ(0, TruncateToInt(-0.5));
    EXPECT_EQ(0, TruncateToInt(-0.0));
    EXPECT_EQ(2147483647, TruncateToInt(2147483647.9999998));
    EXPECT_EQ(INT32_MIN, TruncateToInt(-2147483648.0));
}

TEST(TruncateToInt, GivesMinus2147483648WhereNoIntegerFits) {
    EXPECT_EQ(INT32_MIN, TruncateToInt(kNaN));
    EXPECT_EQ(INT32_MIN, TruncateToInt(kInf));
    EXPECT_EQ(INT32_MIN, TruncateToInt(-kInf));
    EXPECT_EQ(INT32_MIN, TruncateToInt(1e300));
    EXPECT_EQ(INT32_MIN, TruncateToInt(2147483648.0));
    EXPECT_EQ(INT32_MIN, TruncateToInt(-2147483649.0));
}

TEST(AbsReal, DropsTheMinusSignOfValuesBelowZero) {
    EXPECT_SAME_REAL(3.5, AbsReal(-3.5));
    EXPECT_SAME_REAL(3.5, AbsReal(3.5));
    EXPECT_SAME_REAL(kSmallestSubnormal, AbsReal(-kSmallestSubnormal));
    EXPECT_SAME_REAL(kInf, AbsReal(-kInf));
    EXPECT_SAME_REAL(kInf, AbsReal(kInf));
    EXPECT_SAME_REAL(std::numeric_limits<double>::max(),
                     AbsReal(-std::numeric_limits<double>::max()));
}

TEST(AbsReal, KeepsZerosAndNaNs) {
    // -0.0 is not below zero, so it comes back with its sign bit.
    EXPECT_EQ(Bits(-0.0), Bits(AbsReal(-0.0)));
    EXPECT_EQ(Bits(0.0), Bits(AbsReal(0.0)));
    EXPECT_TRUE(std::isnan(AbsReal(kNaN)));
    EXPECT_TRUE(std::isnan(AbsReal(-kNaN)));
}

TEST(SignOf, GivesOneZeroOrMinusOne) {
    EXPECT_EQ(1, SignOf(2.5));
    EXPECT_EQ(-1, SignOf(-2.5));
    EXPECT_EQ(0, SignOf(0.0));
    EXPECT_EQ(0, SignOf(-0.0));
    EXPECT_EQ(1, SignOf(kSmallestSubnormal));
    EXPECT_EQ(-1, SignOf(-kSmallestSubnormal));
    EXPECT_EQ(1, SignOf(kInf));
    EXPECT_EQ(-1, SignOf(-kInf));
}

TEST(SignOf, CountsNaNAsZero) {
    EXPECT_EQ(0, SignOf(kNaN));
    EXPECT_EQ(0, SignOf(-kNaN));
}

TEST(ToReal, ReturnsItsArgumentBitForBit) {
    const double values[] = {
        0.0, -0.0, 1.5, -kSmallestSubnormal, kInf, -kInf, FromBits(0x7ff8000000012345u)};
    for (double x : values) {
        EXPECT_EQ(Bits(x), Bits(ToReal(x))) << Describe(x);
    }
}

}  // namespace
