#include "transcendental.h"

#include <limits>

#include "real_compare.h"
#include "rounding.h"

namespace {

// The 64-bit reals nearest ln 2 and the square root of 2. There is one LN2: the
// reduction in ExpReal does not split it into a high and a low part, and the
// results depend on that.
constexpr double LN2 = 0x1.62e42fefa39efp-1;
constexpr double SQRT2 = 0x1.6a09e667f3bcdp+0;

// SplitExponent's search finds e within -1023 ... 1024 for every input it can
// split; past this it can never succeed (the power of two is 0 or an infinity).
constexpr int32_t kExponentSearchLimit = 1100;

// ExpReal's k must stay within -2147483647 ... 2147483647. The rounded t +- 0.5 is
// compared before conversion, so the integer never leaves its range.
constexpr double kLowestScale = -2147483647.0;
constexpr double kScaleOverflow = 2147483648.0;

}  // namespace

double PowReal(double x, double y) {
    double result = 0.0;
    int32_t n = 0;
    double t = 0.0;
    bool whole = false;

    // The conversion is made for every y, NaN included: FloorToInt answers -2147483648
    // for values it cannot convert, and NaN passes all three tests.
    n = FloorToInt(y);
    whole = RealLessEqual(-2147483647.0, y) && RealLessEqual(y, 2147483647.0) &&
            RealEqual(y, ToReal(static_cast<double>(n)));
    if (whole) {
        result = PowInt(x, n);
    } else if (RealGreater(x, 0.0)) {
        t = LogReal(x) * y;
        result = ExpReal(t);
    }
    return result;
}

double ExpReal(double x) {
    double t = 0.0;
    double shifted = 0.0;
    int32_t k = 0;
    double r = 0.0;
    double z = 0.0;
    double w = 0.0;
    double d = 0.0;
    double q = 0.0;

    t = x / LN2;
    if (RealGreaterEqual(x, 0.0)) {
        shifted = t + 0.5;
    } else {
        shifted = t - 0.5;
    }
    // Beyond these k has no 32-bit value; e^x has long overflowed or vanished.
    // NaN passes neither test and goes through the reduction to stay NaN.
    if (RealGreaterEqual(shifted, kScaleOverflow)) {
        return std::numeric_limits<double>::infinity();
    }
    if (RealGreater(kLowestScale, shifted)) {
        return 0.0;
    }
    k = FloorToInt(shifted);

    // x = r + k ln 2, with r about [-LN2/2, LN2/2) for x >= 0 and [LN2/2, 3 LN2/2)
    // below zero.
    r = x - (static_cast<double>(k) * LN2);
    z = r * r;

    // tanh(r/2) = r / (2 + w), the fraction cut after the partial denominator 22,
    // evaluated from the bottom up.
    w = z / 22.0;
    w = z / (w + 18.0);
    w = z / (w + 14.0);
    w = z / (w + 10.0);
    w = z / (w + 6.0);

    // e^r = (1 + tanh(r/2)) / (1 - tanh(r/2)) = (2 + w + r) / (2 + w - r).
    d = w + 2.0;
    q = (d + r) / (d - r);
    return ScaleByPow2(q, k);
}

double LogReal(double x) {
    int32_t e = 0;
    double v = 0.0;
    double u = 0.0;
    double s = 0.0;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double d = 0.0;
    int32_t i = 0;

    if (RealLessEqual(x, 0.0)) {
        return 0.0;
    }
    // x = (1 + u) 2^e with 1 + u within [SQRT2/2, SQRT2); only e is kept.
    SplitExponent(x / SQRT2, e);
    if ((e <= -kExponentSearchLimit) || (e >= kExponentSearchLimit)) {
        // x is too small or too large for its power of two to be a 64-bit real.
        return std::numeric_limits<double>::quiet_NaN();
    }
    v = x / ScaleByPow2(1.0, e);
    u = v - 1.0;

    // ln(1 + u) = u / (1 + T(1)), T(k) = k u / (2 + k u / (2k + 1 + T(k + 1))),
    // T(10) = 0, from the bottom up.
    s = 0.0;
    for (i = 9; i >= 1; --i) {
        a = static_cast<double>(i) * u;
        b = s + static_cast<double>(2 * i + 1);
        c = a / b;
        d = c + 2.0;
        s = a / d;
    }
    return (static_cast<double>(e) * LN2) + (u / (s + 1.0));
}

double PowInt(double x, int32_t n) {
    uint32_t m = 0;
    double acc = 0.0;

    // The magnitude goes through a real so that -2147483648 gives 2147483648,
    // which an unsigned 32-bit integer holds.
    m = static_cast<uint32_t>(AbsReal(static_cast<double>(n)));
    acc = 1.0;
    while (m != 0) {
        if ((m & 1u) != 0) {
            acc = acc * x;
        }
        x = x * x;
        m = m / 2;
    }
    // The positive power first, its reciprocal last.
    if (n >= 0) {
        return acc;
    }
    return 1.0 / acc;
}

double ScaleByPow2(double x, int32_t n) {
    double p = 0.0;
    uint32_t m = 0;

    // The magnitude of n is unsigned so that -2147483648 has one too.
    if (n >= 0) {
        p = 2.0;
        m = static_cast<uint32_t>(n);
    } else {
        p = 0.5;
        m = static_cast<uint32_t>(-static_cast<int64_t>(n));
    }
    // p runs through 2, 4, 16, ... (or 0.5, 0.25, ...): at bit 10 it is already an
    // infinity or 2^-1024, whatever x is.
    while (m != 0) {
        if ((m & 1u) != 0) {
            x = x * p;
        }
        p = p * p;
        m = m >> 1;
    }
    return x;
}

double SplitExponent(double x, int32_t& e) {
    int32_t step = 0;
    double m = 0.0;

    e = 0;
    if (RealEqual(x, 0.0)) {
        return 0.0;
    }
    if (RealGreaterEqual(AbsReal(x), 1.0)) {
        step = 1;
    } else {
        step = -1;
    }
    for (;;) {
        // A fresh power of two at every step.
        m = x / PowInt(2.0, e);
        if (RealLessEqual(0.5, AbsReal(m)) && RealLess(AbsReal(m), 1.0)) {
            return m;
        }
        if ((e <= -kExponentSearchLimit) || (e >= kExponentSearchLimit)) {
            // No power of two that is a 64-bit real can split x.
            return std::numeric_limits<double>::quiet_NaN();
        }
        e = e + step;
    }
}
