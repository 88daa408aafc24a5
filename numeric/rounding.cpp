#include "rounding.h"

#include "real_compare.h"

namespace {

// -2147483648 is what the processor's own conversion yields for values it cannot
// represent, so out-of-range inputs behave as they always have.
constexpr int32_t kIndefiniteInteger = INT32_MIN;

bool InInt32Range(double x) {
    // Written with IEEE comparisons on purpose: NaN must fail both.
    return x >= -2147483648.0 && x < 2147483648.0;
}

}  // namespace

int32_t TruncateToInt(double x) {
    if (!InInt32Range(x)) {
        return kIndefiniteInteger;
    }
    // The conversion truncates whatever the rounding mode.
    return static_cast<int32_t>(x);
}

int32_t FloorToInt(double x) {
    if (!InInt32Range(x)) {
        return kIndefiniteInteger;
    }
    const int32_t t = static_cast<int32_t>(x);
    if (RealLess(x, 0.0) && RealLess(x, static_cast<double>(t))) {
        // x is negative and not whole, so t >= -2147483647 and t - 1 fits.
        return t - 1;
    }
    return t;
}

double AbsReal(double x) {
    if (RealLess(x, 0.0)) {
        return x * -1.0;
    }
    return x;
}

int32_t SignOf(double x) {
    if (RealGreater(x, 0.0)) {
        return 1;
    }
    if (RealEqual(x, 0.0)) {
        return 0;
    }
    return -1;
}

double ToReal(double x) {
    return x;
}
