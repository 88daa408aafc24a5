// The operating-system services the runtime calls, by their Windows names.
//
// On Windows this is <windows.h> and the real KERNEL32. Elsewhere the same names,
// signatures and types are declared here and supplied by platform/posix/.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void VOID;
typedef size_t SIZE_T;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int BOOL;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const char* PCNZCH;
typedef DWORD LCID;

#define TRUE 1
#define FALSE 0

#define HEAP_ZERO_MEMORY 0x00000008u

#define LOCALE_SYSTEM_DEFAULT 0x0800u
#define LOCALE_USER_DEFAULT 0x0400u

#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3

// A recursive lock, as on Windows: the owning thread may enter it again.
typedef struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
} CRITICAL_SECTION;
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

#ifdef __cplusplus
extern "C" {
#endif

// The heap every runtime block comes from. Called once at start-up.
HANDLE GetProcessHeap(void);

// A block of bytes bytes, zeroed when flags has HEAP_ZERO_MEMORY; null on failure.
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);

// The block resized to bytes, contents kept; null on failure (the old block stays).
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);

// Returns a block to the heap; TRUE on success. Null is accepted and ignored.
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

// Prepares a lock before first use.
VOID InitializeCriticalSection(LPCRITICAL_SECTION section);

// Takes the lock, waiting for other threads; the owner may enter again.
VOID EnterCriticalSection(LPCRITICAL_SECTION section);

// Gives back one level of the lock.
VOID LeaveCriticalSection(LPCRITICAL_SECTION section);

// Writes a diagnostic (code page 932 text) to the debugger output, here stderr.
VOID OutputDebugStringA(LPCSTR text);

// Flushes output and ends the process with this exit code.
[[noreturn]] VOID ExitProcess(UINT exitCode);

// Length of a NUL-terminated string; 0 for null.
int lstrlenA(LPCSTR text);

// Copies a NUL-terminated string, terminator included; returns destination.
LPSTR lstrcpyA(LPSTR destination, LPCSTR source);

// Copies length bytes; the two ranges may overlap.
VOID RtlMoveMemory(LPVOID destination, LPCVOID source, SIZE_T length);

// Orders two 8-bit (code page 932) strings linguistically: CSTR_LESS_THAN,
// CSTR_EQUAL or CSTR_GREATER_THAN, or 0 for invalid arguments. A count of -1
// means the string ends at its NUL.
int CompareStringA(LCID locale, DWORD flags, PCNZCH string1, int count1, PCNZCH string2,
                   int count2);

#ifdef __cplusplus
}
#endif

#endif
