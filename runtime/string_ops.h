// Operations on managed strings, and raw blocks from the same heap.
//
// String operands are temporaries handed over by the caller: an operation
// releases them once it has read them. CompareStringWithTemp keeps its left
// operand, so that can be a string the caller holds on to. Comparisons return
// 1 (less), 2 (equal), 3 (greater), or 0 when no order could be established.
#pragma once

#include <cstdint>

#include "managed_string.h"

// A new registered string: left's characters, then right's. Releases left, then right.
ManagedString ConcatStrings(ManagedString left, ManagedString right);

// Orders left against right; releases right only.
int32_t CompareStringWithTemp(ManagedString left, ManagedString right);

// Orders left against right; releases left, then right.
int32_t CompareTempStrings(ManagedString left, ManagedString right);

// The first byte of s as 0..255 (0 for an empty string); releases s.
int32_t FirstCharCode(ManagedString s);

// n zero bytes from the runtime heap, not registered; null when the heap cannot
// supply them or n is negative.
void* RawAlloc(int32_t n);

// Gives back a block from RawAlloc.
void RawFree(void* p);
