// Comparisons of reals as this program defines them.
//
// When an operand is NaN, "less", "less or equal" and "equal" hold, while
// "greater", "greater or equal" and "not equal" do not. Every comparison of reals
// in the game, the runtime and the numeric library goes through these helpers;
// never write a bare <, <=, ==, >, >= or != between reals.
#pragma once

constexpr bool RealGreater(double a, double b) {
    return a > b;
}
constexpr bool RealGreaterEqual(double a, double b) {
    return a >= b;
}
constexpr bool RealLess(double a, double b) {
    return !(a >= b);
}
constexpr bool RealLessEqual(double a, double b) {
    return !(a > b);
}
constexpr bool RealEqual(double a, double b) {
    return !(a < b) && !(a > b);
}
constexpr bool RealNotEqual(double a, double b) {
    return (a < b) || (a > b);
}
