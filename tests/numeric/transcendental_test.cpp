// Fixed values of the exponential, logarithm and power routines, bit for bit.
// These values depend on the exact order of rounded operations, so a fused
// multiply-add, a wider intermediate or a split ln 2 shows up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "real_bits.h"
#include "transcendental.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLn2 = 0.6931471805599453;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kSmallestSubnormal = 4.9406564584124654e-324;

TEST(ExpReal, GivesOneAtBothZeros) {
    EXPECT_SAME_REAL(1.0, ExpReal(0.0));
    EXPECT_SAME_REAL(1.0, ExpReal(-0.0));
}

TEST(ExpReal, MatchesItsKnownValues) {
    EXPECT_SAME_REAL(2.718281828459045, ExpReal(1.0));
    // One unit in the last place below the nearest reals to 1/e and e^-0.1: for
    // x < 0 the reduction lands in [LN2/2, 3 LN2/2).
    EXPECT_SAME_REAL(0.3678794411714423, ExpReal(-1.0));
    EXPECT_EQ(Bits(0.36787944117144233) - 1, Bits(ExpReal(-1.0)));
    EXPECT_SAME_REAL(0.9048374180359594, ExpReal(-0.1));
    EXPECT_EQ(Bits(0.9048374180359595) - 1, Bits(ExpReal(-0.1)));
}

TEST(ExpReal, OverflowsOnceTheScaleReaches1024) {
    const double below = ExpReal(709.43);
    EXPECT_TRUE(std::isfinite(below));
    EXPECT_NEAR(1.26338e308, below, 0.00001e308);
    // e^709.44 is below the largest real, but k = 1024 and 2^1024 overflows.
    EXPECT_SAME_REAL(kInf, ExpReal(709.44));
}

TEST(ExpReal, UnderflowsThroughTheSubnormals) {
    EXPECT_SAME_REAL(kSmallestSubnormal, ExpReal(-745.0));
    EXPECT_SAME_REAL(0.0, ExpReal(-746.0));
}

TEST(ExpReal, KeepsNaN) {
    EXPECT_TRUE(std::isnan(ExpReal(kNaN)));
    EXPECT_TRUE(std::isnan(ExpReal(-kNaN)));
}

TEST(ExpReal, SaturatesWhereTheScaleHasNoIntegerValue) {
    // k would leave -2147483647 ... 2147483647 here.
    EXPECT_SAME_REAL(kInf, ExpReal(kInf));
    EXPECT_SAME_REAL(0.0, ExpReal(-kInf));
    EXPECT_SAME_REAL(kInf, ExpReal(1.4886e9));
    EXPECT_SAME_REAL(kInf, ExpReal(1e300));
    EXPECT_SAME_REAL(0.0, ExpReal(-1.4886e9));
    EXPECT_SAME_REAL(0.0, ExpReal(-1e300));
    EXPECT_SAME_REAL(kInf, ExpReal(std::numeric_limits<double>::max()));
    EXPECT_SAME_REAL(0.0, ExpReal(-std::numeric_limits<double>::max()));
}

TEST(ExpReal, EndsOfTheScaleRangeAgreeWithTheSaturatedValues) {
    // k = 2147483647 and k = -2147483647 are still computed, and already give
    // the values the saturated inputs beyond them give.
    EXPECT_SAME_REAL(kInf, ExpReal(1.4885e9));
    EXPECT_SAME_REAL(0.0, ExpReal(-1.4885e9));
    EXPECT_SAME_REAL(kInf, ExpReal(1000.0));
    EXPECT_SAME_REAL(0.0, ExpReal(-1000.0));
}

TEST(ExpReal, RoundsEveryStepOnItsOwn) {
    // Worked out separately, one rounded double operation at a time. A fused
    // x - k LN2 changes every one of these.
    EXPECT_SAME_REAL(0x1.5829dcf950563p+14, ExpReal(10.0));
    EXPECT_SAME_REAL(0x1.3494a9b171bfdp+144, ExpReal(100.0));
    EXPECT_SAME_REAL(0x1.d945df4f8ee2dp+1009, ExpReal(700.0));
    EXPECT_SAME_REAL(0x1.1b48655f37236p-29, ExpReal(-20.0));
    EXPECT_SAME_REAL(0x1.14f2b0fb9308cp-1010, ExpReal(-700.0));
}

TEST(LogReal, IsExactAtPowersOfTwo) {
    EXPECT_SAME_REAL(0.0, LogReal(1.0));
    EXPECT_SAME_REAL(kLn2, LogReal(2.0));
    EXPECT_SAME_REAL(-kLn2, LogReal(0.5));
    EXPECT_SAME_REAL(1.3862943611198906, LogReal(4.0));
}

TEST(LogReal, MatchesItsKnownValues) {
    EXPECT_SAME_REAL(2.3025850929940455, LogReal(10.0));
    EXPECT_EQ(Bits(2.302585092994046) - 1, Bits(LogReal(10.0)));
    EXPECT_SAME_REAL(1.0, LogReal(2.718281828459045));
}

TEST(LogReal, RoundsEveryStepOnItsOwn) {
    // Worked out separately; a fused e LN2 + u / (s + 1) changes these.
    EXPECT_SAME_REAL(0x1.f2272ae325a56p+0, LogReal(7.0));
    EXPECT_SAME_REAL(0x1.7069e2aa2aa5ap+4, LogReal(1e10));
}

TEST(LogReal, GivesZeroOutsideItsDomainAndNaNAtInfinity) {
    EXPECT_SAME_REAL(0.0, LogReal(0.0));
    EXPECT_SAME_REAL(0.0, LogReal(-0.0));
    EXPECT_SAME_REAL(0.0, LogReal(-1.0));
    EXPECT_SAME_REAL(0.0, LogReal(-kInf));
    EXPECT_SAME_REAL(0.0, LogReal(kNaN));
    EXPECT_TRUE(std::isnan(LogReal(kInf)));
}

TEST(LogReal, ReachesTheEndsOfItsRange) {
    // 2^-1024 SQRT2 and the last real below 2^1023 SQRT2.
    const double lowest = 0x1p-1024 * kSqrt2;
    const double highest = 0x1.6a09e667f3bccp+1023;
    EXPECT_NEAR(-709.43, LogReal(lowest), 0.01);
    EXPECT_NEAR(709.43, LogReal(highest), 0.01);
    EXPECT_NEAR(709.19620864216608, LogReal(1e308), 1e-12);
}

TEST(LogReal, GivesNaNWhereNoPowerOfTwoCanReduceIt) {
    // Below about 7.87e-309 and from about 1.27e308 the exponent search finds no
    // power of two; the routine returns rather than searching on.
    EXPECT_TRUE(std::isnan(LogReal(0x1.6a09e667f3bcdp+1023)));
    EXPECT_TRUE(std::isnan(LogReal(1.5e308)));
    EXPECT_TRUE(std::isnan(LogReal(std::numeric_limits<double>::max())));
    EXPECT_TRUE(std::isnan(LogReal(1e-310)));
    EXPECT_TRUE(std::isnan(LogReal(0x1p-1024)));
    EXPECT_TRUE(std::isnan(LogReal(kSmallestSubnormal)));
}

TEST(PowInt, GivesOneForExponentZero) {
    const double bases[] = {0.0, -0.0, 1.0, -3.5, 1e300, kSmallestSubnormal, kInf, -kInf, kNaN};
    for (double x : bases) {
        EXPECT_SAME_REAL(1.0, PowInt(x, 0)) << Describe(x);
    }
}

TEST(PowInt, MatchesItsKnownValues) {
    EXPECT_SAME_REAL(1e22, PowInt(10.0, 22));
    EXPECT_SAME_REAL(0.1, PowInt(10.0, -1));
    EXPECT_SAME_REAL(-512.0, PowInt(-8.0, 3));
    EXPECT_SAME_REAL(-1.0, PowInt(-1.0, 2147483647));
    EXPECT_SAME_REAL(1.0, PowInt(-1.0, -2147483647 - 1));
}

TEST(PowInt, DividesByZeroForNegativePowersOfZero) {
    EXPECT_SAME_REAL(kInf, PowInt(0.0, -1));
    EXPECT_SAME_REAL(-kInf, PowInt(-0.0, -1));
    EXPECT_SAME_REAL(kInf, PowInt(-0.0, -2));
    EXPECT_SAME_REAL(0.0, PowInt(0.0, 3));
    EXPECT_SAME_REAL(-0.0, PowInt(-0.0, 3));
}

TEST(PowInt, TakesTheReciprocalAfterThePositivePower) {
    EXPECT_SAME_REAL(1.1125369292536007e-308, PowInt(2.0, -1023));
    // 2^1024 overflows before the reciprocal is taken.
    EXPECT_SAME_REAL(0.0, PowInt(2.0, -1024));
    EXPECT_SAME_REAL(kInf, PowInt(2.0, 1024));
}

TEST(PowInt, HandlesTheMostNegativeExponent) {
    EXPECT_SAME_REAL(1.0, PowInt(1.0, -2147483647 - 1));
    EXPECT_SAME_REAL(0.0, PowInt(2.0, -2147483647 - 1));
    EXPECT_SAME_REAL(kInf, PowInt(0.5, -2147483647 - 1));
    EXPECT_SAME_REAL(0.0, PowInt(-2.0, -2147483647 - 1));
    EXPECT_TRUE(std::isnan(PowInt(kNaN, -2147483647 - 1)));
}

TEST(ScaleByPow2, MatchesItsKnownValues) {
    EXPECT_SAME_REAL(3.0, ScaleByPow2(3.0, 0));
    EXPECT_SAME_REAL(-0.0, ScaleByPow2(-0.0, 5));
    EXPECT_SAME_REAL(0x1p1023, ScaleByPow2(1.0, 1023));
    EXPECT_SAME_REAL(kInf, ScaleByPow2(1.0, 1024));
    EXPECT_SAME_REAL(-kInf, ScaleByPow2(-1.0, 1024));
    EXPECT_SAME_REAL(kSmallestSubnormal, ScaleByPow2(1.0, -1074));
    EXPECT_SAME_REAL(0.0, ScaleByPow2(1.0, -1075));
}

TEST(ScaleByPow2, BuildsItsFactorBySquaring) {
    // The factor for bit 10 is 2^1024, an infinity, whatever x is.
    EXPECT_SAME_REAL(0.0, ScaleByPow2(0.0, 1023));
    EXPECT_TRUE(std::isnan(ScaleByPow2(0.0, 1024)));
    EXPECT_SAME_REAL(kInf, ScaleByPow2(0x1p-1000, 1500));
    // Downward the factor for bit 10 is 2^-1024, still a subnormal; bit 11's
    // 2^-2048 is zero.
    EXPECT_SAME_REAL(0x1p-24, ScaleByPow2(0x1p1000, -1024));
    EXPECT_SAME_REAL(0.0, ScaleByPow2(0x1p1000, -2048));
}

TEST(ScaleByPow2, TakesTheMostNegativeExponentAsItsMagnitude) {
    EXPECT_SAME_REAL(0.0, ScaleByPow2(3.0, -2147483647 - 1));
    EXPECT_SAME_REAL(-0.0, ScaleByPow2(-std::numeric_limits<double>::max(), -2147483647 - 1));
    EXPECT_TRUE(std::isnan(ScaleByPow2(kInf, -2147483647 - 1)));
    EXPECT_TRUE(std::isnan(ScaleByPow2(kNaN, -2147483647 - 1)));
    EXPECT_SAME_REAL(0.0, ScaleByPow2(3.0, -2147483647));
    EXPECT_SAME_REAL(kInf, ScaleByPow2(3.0, 2147483647));
}

struct Split {
    double x;
    double mantissa;
    int32_t exponent;
};

TEST(SplitExponent, SplitsIntoMantissaAndExponent) {
    const Split cases[] = {
        {8.0, 0.5, 4},
        {-3.0, -0.75, 2},
        {1.0, 0.5, 1},
        {0.75, 0.75, 0},
        {0.1, 0.8, -3},
        {0x1p-1024, 0.5, -1023},
        {0.5, 0.5, 0},
        {-0.5, -0.5, 0},
        {0x1.fffffffffffffp1022, 0x1.fffffffffffffp-1, 1023},
        {0x1p-1022, 0.5, -1021},
    };
    for (const Split& c : cases) {
        int32_t e = 77;
        EXPECT_SAME_REAL(c.mantissa, SplitExponent(c.x, e)) << Describe(c.x);
        EXPECT_EQ(c.exponent, e) << Describe(c.x);
    }
}

TEST(SplitExponent, GivesPositiveZeroForZerosAndNaN) {
    const double inputs[] = {0.0, -0.0, kNaN};
    for (double x : inputs) {
        int32_t e = 77;
        EXPECT_EQ(Bits(0.0), Bits(SplitExponent(x, e))) << Describe(x);
        EXPECT_EQ(0, e) << Describe(x);
    }
}

TEST(SplitExponent, GivesNaNWithExponent1024ForInfinities) {
    // 2^1024 is an infinity; infinity / infinity is NaN, which passes the test.
    for (double x : {kInf, -kInf}) {
        int32_t e = 77;
        EXPECT_TRUE(std::isnan(SplitExponent(x, e)));
        EXPECT_EQ(1024, e);
    }
}

TEST(SplitExponent, GivesUpWhereNoPowerOfTwoSplitsIt) {
    struct GiveUp {
        double x;
        int32_t exponent;
    };
    const GiveUp cases[] = {
        {0x1p1023, 1100},
        {-std::numeric_limits<double>::max(), 1100},
        {FromBits(Bits(0x1p-1024) - 1), -1100},
        {-kSmallestSubnormal, -1100},
    };
    for (const GiveUp& c : cases) {
        int32_t e = 77;
        EXPECT_TRUE(std::isnan(SplitExponent(c.x, e))) << Describe(c.x);
        EXPECT_EQ(c.exponent, e) << Describe(c.x);
    }
}

TEST(PowReal, TakesWholeExponentsByBinaryPowering) {
    EXPECT_SAME_REAL(1024.0, PowReal(2.0, 10.0));
    EXPECT_SAME_REAL(0.25, PowReal(2.0, -2.0));
    EXPECT_SAME_REAL(-512.0, PowReal(-8.0, 3.0));
    EXPECT_SAME_REAL(1.0, PowReal(0.0, 0.0));
    EXPECT_SAME_REAL(0.0, PowReal(0.0, 2.0));
    EXPECT_SAME_REAL(kInf, PowReal(0.0, -1.0));
    EXPECT_SAME_REAL(1.0, PowReal(kNaN, 0.0));
    EXPECT_TRUE(std::isnan(PowReal(kNaN, 2.0)));
    EXPECT_SAME_REAL(1.0, PowReal(3.0, -0.0));
}

TEST(PowReal, GivesZeroForBasesNotAboveZeroWithOtherExponents) {
    EXPECT_SAME_REAL(0.0, PowReal(-8.0, 1.0 / 3.0));
    EXPECT_SAME_REAL(0.0, PowReal(-1.0, 0.5));
    EXPECT_SAME_REAL(0.0, PowReal(0.0, 0.5));
    EXPECT_SAME_REAL(0.0, PowReal(0.0, -0.5));
    EXPECT_SAME_REAL(0.0, PowReal(-0.0, 0.5));
    EXPECT_SAME_REAL(0.0, PowReal(kNaN, 0.5));
    EXPECT_SAME_REAL(0.0, PowReal(-kInf, 0.5));
}

TEST(PowReal, GoesThroughTheLogarithmForOtherExponents) {
    EXPECT_SAME_REAL(1.414213562373095, PowReal(2.0, 0.5));
    EXPECT_EQ(Bits(kSqrt2) - 1, Bits(PowReal(2.0, 0.5)));
    EXPECT_SAME_REAL(2.0, PowReal(4.0, 0.5));
    EXPECT_SAME_REAL(3.0, PowReal(9.0, 0.5));
    EXPECT_SAME_REAL(316.22776601683773, PowReal(10.0, 2.5));
    // LogReal(1) * infinity is 0 * infinity.
    EXPECT_TRUE(std::isnan(PowReal(1.0, kInf)));
}

TEST(PowReal, RoundsEveryStepOnItsOwn) {
    EXPECT_SAME_REAL(0x1.43d1362484791p-2, PowReal(10.0, -0.5));
    EXPECT_SAME_REAL(0x1.ba4104f641d86p+58, PowReal(1.5, 100.5));
}

TEST(PowReal, BoundsTheIntegerExponents) {
    EXPECT_SAME_REAL(kInf, PowReal(2.0, 2147483647.0));
    EXPECT_SAME_REAL(0.0, PowReal(2.0, -2147483647.0));
    // -2147483648 and 2147483648 are whole but outside the range: logarithm path.
    EXPECT_SAME_REAL(1.0, PowReal(1.0, -2147483648.0));
    EXPECT_SAME_REAL(0.0, PowReal(-2.0, 2147483648.0));
    EXPECT_SAME_REAL(0.0, PowReal(-1.0, -2147483648.0));
}

TEST(PowReal, SaturatesWhereTheLogarithmLeavesTheExponentialsRange) {
    EXPECT_SAME_REAL(kInf, PowReal(2.0, 1e10));
    EXPECT_SAME_REAL(0.0, PowReal(2.0, -1e10));
    EXPECT_SAME_REAL(kInf, PowReal(2.0, kInf));
    EXPECT_SAME_REAL(0.0, PowReal(2.0, -kInf));
    EXPECT_SAME_REAL(0.0, PowReal(0.5, kInf));
    EXPECT_TRUE(std::isnan(PowReal(kInf, 0.5)));
}

TEST(PowReal, TakesANaNExponentAsTheMostNegativeInteger) {
    // NaN passes all three whole-exponent tests; FloorToInt gives -2147483648.
    EXPECT_SAME_REAL(PowInt(2.0, -2147483647 - 1), PowReal(2.0, kNaN));
    EXPECT_SAME_REAL(0.0, PowReal(2.0, kNaN));
    EXPECT_SAME_REAL(1.0, PowReal(1.0, kNaN));
    EXPECT_SAME_REAL(kInf, PowReal(0.5, kNaN));
    EXPECT_SAME_REAL(kInf, PowReal(0.0, kNaN));
    EXPECT_TRUE(std::isnan(PowReal(kNaN, kNaN)));
}

}  // namespace
