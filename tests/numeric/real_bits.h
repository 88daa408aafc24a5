// Bit-level views of reals for the numeric tests: results are compared as bit
// patterns, so the sign of zero counts and any NaN matches any NaN.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

inline uint64_t Bits(double x) {
    uint64_t u = 0;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline double FromBits(uint64_t u) {
    double x = 0.0;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

inline std::string Describe(double x) {
    char text[64] = {};
    std::snprintf(text, sizeof text, "%.17g (%a)", x, x);
    return text;
}

// EXPECT_PRED_FORMAT2(SameReal, expected, actual).
inline testing::AssertionResult SameReal(const char* expected_text, const char* actual_text,
                                         double expected, double actual) {
    const bool both_nan = std::isnan(expected) && std::isnan(actual);
    if (both_nan || Bits(expected) == Bits(actual)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << actual_text << " is " << Describe(actual) << ", expected "
                                       << expected_text << " = " << Describe(expected);
}

#define EXPECT_SAME_REAL(expected, actual) EXPECT_PRED_FORMAT2(SameReal, expected, actual)
