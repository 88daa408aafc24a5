// Relations between the routines that hold bit for bit over seeded random inputs,
// where the order of rounded operations makes them exact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "real_bits.h"
#include "transcendental.h"

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr int kSamples = 4000;
constexpr uint64_t kSeed = 0x5eed2024u;

// A random real with the given range of biased exponent fields and either sign.
double RandomReal(std::mt19937_64& rng, uint64_t lowest_field, uint64_t highest_field) {
    std::uniform_int_distribution<uint64_t> field(lowest_field, highest_field);
    const uint64_t fraction = rng() & ((uint64_t{1} << 52) - 1);
    const uint64_t sign = rng() & (uint64_t{1} << 63);
    return FromBits(sign | (field(rng) << 52) | fraction);
}

// 2^n for -1074 <= n <= 1023, built from its bit pattern.
double PowerOfTwo(int n) {
    if (n >= -1022) {
        return FromBits(static_cast<uint64_t>(n + 1023) << 52);
    }
    return FromBits(uint64_t{1} << (n + 1074));
}

TEST(SplitExponentProperty, MantissaTimesPowerGivesTheInputBack) {
    std::mt19937_64 rng(kSeed);
    for (int i = 0; i < kSamples; ++i) {
        // Normal reals below 2^1023, and every fourth a subnormal of at least 2^-1024.
        double x = RandomReal(rng, 1, 2045);
        if (i % 4 == 0) {
            x = FromBits((Bits(x) & ~(uint64_t{0x7ff} << 52)) | (uint64_t{1} << 50));
        }
        int32_t e = 0;
        const double m = SplitExponent(x, e);
        ASSERT_EQ(Bits(x), Bits(m * PowInt(2.0, e))) << Describe(x) << " e = " << e;
        ASSERT_LE(0.5, std::fabs(m)) << Describe(x);
        ASSERT_GT(1.0, std::fabs(m)) << Describe(x);
        ASSERT_EQ(std::signbit(x), std::signbit(m)) << Describe(x);
        int expected_e = 0;
        const double expected_m = std::frexp(x, &expected_e);
        ASSERT_EQ(Bits(expected_m), Bits(m)) << Describe(x);
        ASSERT_EQ(expected_e, e) << Describe(x);
    }
}

TEST(ScaleByPow2Property, ScalesExactlyWhereNothingOverflowsOrUnderflows) {
    std::mt19937_64 rng(kSeed + 1);
    std::uniform_int_distribution<int32_t> exponent(-1023, 1023);
    int checked = 0;
    while (checked < kSamples) {
        const double x = RandomReal(rng, 1, 2046);
        const int32_t n = exponent(rng);
        const double expected = std::ldexp(x, n);
        // For a normal result every intermediate product lies between x and the
        // result, and every factor up to 2^512 or 2^-512 is a normal real.
        if (!std::isnormal(expected)) {
            continue;
        }
        ASSERT_EQ(Bits(expected), Bits(ScaleByPow2(x, n))) << Describe(x) << " n = " << n;
        ++checked;
    }
}

TEST(ScaleByPow2Property, FactorsFrom2To1024AndBeyondOverflowEveryNonZeroReal) {
    std::mt19937_64 rng(kSeed + 2);
    std::uniform_int_distribution<int32_t> exponent(1024, std::numeric_limits<int32_t>::max());
    for (int i = 0; i < kSamples; ++i) {
        const double x = RandomReal(rng, 0, 2046);
        if (x == 0.0) {
            continue;
        }
        const double scaled = ScaleByPow2(x, exponent(rng));
        ASSERT_TRUE(std::isinf(scaled)) << Describe(x);
        ASSERT_EQ(std::signbit(x), std::signbit(scaled)) << Describe(x);
    }
}

TEST(PowIntProperty, PowersOfTwoAreExact) {
    for (int n = -1023; n <= 1023; ++n) {
        ASSERT_EQ(Bits(PowerOfTwo(n)), Bits(PowInt(2.0, n))) << "n = " << n;
        ASSERT_EQ(Bits(PowerOfTwo(-n)), Bits(PowInt(0.5, n))) << "n = " << n;
    }
}

TEST(PowIntProperty, NegativePowerIsTheReciprocalOfThePositiveOne) {
    std::mt19937_64 rng(kSeed + 3);
    std::uniform_int_distribution<int32_t> small(1, 64);
    std::uniform_int_distribution<int32_t> any(1, std::numeric_limits<int32_t>::max());
    std::uniform_real_distribution<double> near_one(0.9, 1.1);
    for (int i = 0; i < kSamples; ++i) {
        const double x = (i % 2 == 0) ? RandomReal(rng, 1023 - 16, 1023 + 16) : near_one(rng);
        const int32_t n = (i % 3 == 0) ? any(rng) : small(rng);
        ASSERT_EQ(Bits(1.0 / PowInt(x, n)), Bits(PowInt(x, -n))) << Describe(x) << " n = " << n;
    }
}

TEST(PowIntProperty, NegatingTheBaseFlipsTheSignOfOddPowersOnly) {
    std::mt19937_64 rng(kSeed + 4);
    std::uniform_int_distribution<int32_t> exponent(-200, 200);
    for (int i = 0; i < kSamples; ++i) {
        const double x = std::fabs(RandomReal(rng, 1023 - 8, 1023 + 8));
        const int32_t n = exponent(rng);
        const double positive = PowInt(x, n);
        const double negative = PowInt(-x, n);
        const double expected = (n % 2 == 0) ? positive : -positive;
        ASSERT_EQ(Bits(expected), Bits(negative)) << Describe(x) << " n = " << n;
    }
}

TEST(PowRealProperty, WholeExponentsInRangeGoThroughPowInt) {
    std::mt19937_64 rng(kSeed + 5);
    std::uniform_int_distribution<int32_t> small(-300, 300);
    std::uniform_int_distribution<int32_t> any(-2147483647, 2147483647);
    for (int i = 0; i < kSamples; ++i) {
        // Bases of either sign, zeros included.
        const double x = (i % 10 == 0) ? 0.0 * (i % 20 == 0 ? 1.0 : -1.0)
                                       : RandomReal(rng, 1023 - 20, 1023 + 20);
        const int32_t n = (i % 4 == 0) ? any(rng) : small(rng);
        const double y = static_cast<double>(n);
        ASSERT_PRED_FORMAT2(SameReal, PowInt(x, n), PowReal(x, y)) << Describe(x) << " n = " << n;
    }
    for (double x : {0.5, -0.5, 1.0, -1.0, 1.0000001, -3.0}) {
        EXPECT_PRED_FORMAT2(SameReal, PowInt(x, 2147483647), PowReal(x, 2147483647.0));
        EXPECT_PRED_FORMAT2(SameReal, PowInt(x, -2147483647), PowReal(x, -2147483647.0));
    }
}

TEST(PowRealProperty, OtherExponentsGoThroughTheLogarithmForPositiveBases) {
    std::mt19937_64 rng(kSeed + 6);
    std::uniform_int_distribution<int32_t> whole(-50, 50);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    for (int i = 0; i < kSamples; ++i) {
        const double x = RandomReal(rng, 1023 - 30, 1023 + 30);
        double y = static_cast<double>(whole(rng)) + fraction(rng);
        if (i % 5 == 0) {
            // Whole, but beyond the integer range.
            y = (i % 10 == 0) ? -2147483648.0 : 4294967296.0 * fraction(rng) + 2147483648.0;
            y = std::floor(y);
        }
        if (y == std::floor(y) && std::fabs(y) < 2147483648.0) {
            continue;
        }
        const double expected = (x > 0.0) ? ExpReal(LogReal(x) * y) : 0.0;
        ASSERT_PRED_FORMAT2(SameReal, expected, PowReal(x, y)) << Describe(x) << " y = " << y;
    }
}

TEST(LogRealProperty, PowersOfTwoGiveMultiplesOfLn2) {
    for (int n = -1023; n <= 1023; ++n) {
        ASSERT_EQ(Bits(static_cast<double>(n) * kLn2), Bits(LogReal(PowerOfTwo(n)))) << "n = " << n;
    }
}

TEST(LogRealProperty, ScalingByAPowerOfTwoAddsItsMultipleOfLn2) {
    // For v within [0.75, 1.35] the exponent found is 0 and LogReal(v) is the
    // fraction's value alone; v 2^n reduces to the same v with exponent n.
    std::mt19937_64 rng(kSeed + 7);
    std::uniform_real_distribution<double> mantissa(0.75, 1.35);
    std::uniform_int_distribution<int32_t> exponent(-1020, 1020);
    for (int i = 0; i < kSamples; ++i) {
        const double v = mantissa(rng);
        const int32_t n = exponent(rng);
        const double x = v * PowerOfTwo(n);
        const double expected = static_cast<double>(n) * kLn2 + LogReal(v);
        ASSERT_EQ(Bits(expected), Bits(LogReal(x))) << Describe(v) << " n = " << n;
    }
}

TEST(ExpRealProperty, StaysCloseToTheExponentialForSmallPositiveArguments) {
    // From 0 to 2 the reduced argument lies within [-LN2/2, LN2/2), where the cut
    // fraction is good to a small part of a unit, and k is at most 3, so the single
    // LN2 adds next to nothing. A loose bound: a wrong constant or a broken
    // fraction is off by far more. (Below zero the reduced argument reaches
    // 3 LN2/2, where the cut fraction itself is off by hundreds of units.)
    std::mt19937_64 rng(kSeed + 8);
    std::uniform_real_distribution<double> argument(0.0, 2.0);
    for (int i = 0; i < kSamples; ++i) {
        const double x = argument(rng);
        const double expected = std::exp(x);
        ASSERT_NEAR(expected, ExpReal(x), 4.0 * std::numeric_limits<double>::epsilon() * expected)
            << Describe(x);
    }
}

TEST(LogRealProperty, StaysCloseToTheLogarithmAwayFromOne) {
    std::mt19937_64 rng(kSeed + 9);
    for (int i = 0; i < kSamples; ++i) {
        const double x = std::fabs(RandomReal(rng, 1, 2045));
        const double expected = std::log(x);
        if (std::fabs(expected) < 0.5) {
            continue;
        }
        ASSERT_NEAR(expected, LogReal(x),
                    8.0 * std::numeric_limits<double>::epsilon() * std::fabs(expected))
            << Describe(x);
    }
}

}  // namespace
