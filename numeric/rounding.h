// Rounding and sign of reals.
#pragma once

#include <cstdint>

// The greatest integer not above x, for -2147483648 <= x < 2147483648.
// NaN and values outside that range give -2147483648.
int32_t FloorToInt(double x);

// x without its minus sign; -0.0 stays -0.0, NaN stays NaN.
double AbsReal(double x);

// 1 above zero, -1 below, 0 for zero of either sign and for NaN.
int32_t SignOf(double x);

// x unchanged: the conversion to a real of a value that is a real already.
double ToReal(double x);

// x truncated toward zero, as a drawing coordinate. NaN and values outside the
// 32-bit range give -2147483648.
int32_t TruncateToInt(double x);
