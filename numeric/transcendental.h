// Exponential, logarithm and powers of reals, built from the four basic operations
// and the rounding routines alone.
//
// Every step is rounded to a 64-bit real in the order the routines are written, so
// results are the same bit for bit on every machine that rounds that way (no fused
// multiply-add, no wider intermediates). Nothing here traps: overflow gives an
// infinity, underflow zero or a subnormal, invalid operations NaN.
#pragma once

#include <cstdint>

// x raised to the power y. A whole y from -2147483647 to 2147483647 is taken by
// binary powering (any base); otherwise x must be above 0 and the result is
// e^(ln x * y); a base not above 0 with any other exponent gives 0.0.
// A NaN exponent counts as whole and is taken as -2147483648.
double PowReal(double x, double y);

// e^x. Defined for x between about -1.4885e9 and 1.4885e9 and for NaN (NaN).
// Above that range the result is +infinity, below it +0.0.
double ExpReal(double x);

// The natural logarithm of x; 0.0 for x <= 0 and for NaN, NaN for +infinity.
// Defined from about 7.87e-309 to 1.27e308; outside that the result is NaN.
double LogReal(double x);

// x raised to the integer power n, for every n (n = -2147483648 included).
double PowInt(double x, int32_t n);

// x times 2^n, the factor built by repeated squaring: a factor of 2^1024 or
// 2^-1024 and beyond is an infinity or zero whatever x is. n = -2147483648 is
// taken as that magnitude (the factor is zero).
double ScaleByPow2(double x, int32_t n);

// Splits x into m * 2^e with 0.5 <= abs(m) < 1; m keeps the sign of x. Zero and NaN
// give +0.0 with e = 0; the infinities give NaN with e = 1024. Defined for
// 2^-1024 <= abs(x) < 2^1023; beyond that no power of two is a 64-bit real and the
// search gives up: the result is NaN with e = -1100 or 1100.
double SplitExponent(double x, int32_t& e);
