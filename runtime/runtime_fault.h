// Orderly stops of the string runtime.
//
// The runtime stops the process instead of writing through a block it could not
// get, or reading through an operand that is not a string. It writes one line to
// stderr and exits with one of these codes (documented in the README).
#pragma once

#include <cstdint>

// A string operation was handed something it cannot work on: a negative length,
// a length past what a 32-bit count can hold, or a null operand.
constexpr int32_t kExitInvalidString = 70;

// The heap could not supply a block the runtime needed.
constexpr int32_t kExitOutOfMemory = 71;

// Writes "fatal: <message>" on stderr and ends the process with exitCode.
[[noreturn]] void RuntimeFault(const char* message, int32_t exitCode);
