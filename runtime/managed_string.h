// Managed strings and the registry of live strings.
//
// A ManagedString points at the characters of a heap block laid out as a 32-bit
// little-endian character count, the characters, and a NUL. It can be passed
// wherever a NUL-terminated string is wanted; its length is its count, never the
// position of the first NUL. Every string NewString makes is recorded in the
// registry until ReleaseString frees it.
#pragma once

#include <cstdint>

#include "kernel32.h"

typedef char* ManagedString;

constexpr int32_t kStringSlotCount = 32;

// The runtime's globals, zero when the process starts.
struct RuntimeGlobals {
    ManagedString* StringRegistryItems;  // every live string, oldest first
    int32_t StringRegistryCount;
    CRITICAL_SECTION RegistryLock;  // guards both registry fields
    HANDLE RuntimeHeap;             // the process heap, for every block
    ManagedString StringSlots[kStringSlotCount];
    int32_t ExitCode;
};

extern RuntimeGlobals Runtime;

// Prepares the lock, the heap handle and an empty registry.
void RuntimeStartup();

// Creates the string slots as empty registered strings, in slot order.
void CreateStringSlots();

// A new registered string of n NUL characters.
ManagedString NewString(int32_t n);

// Frees p if it is registered; otherwise writes a diagnostic (silent for null).
void ReleaseString(ManagedString p);

// The character count stored ahead of s. Stops the process for a null s.
int32_t StringLength(ManagedString s);

// Whether the registry holds s; if it does, *length is its count. Nothing of s
// is read unless the registry holds it, so a released string, a pointer the
// runtime never made or a plain C literal can be asked about safely.
bool LiveStringLength(ManagedString s, int32_t* length);

// Writes the diagnostic of an unknown release, for an operand that the registry
// does not hold.
void ReportUnknownString();

// Stops the process when an operation is handed a null string.
void RequireString(ManagedString s);
