#include <cstring>

#include "managed_string.h"
#include "runtime_fault.h"

RuntimeGlobals Runtime;

namespace {

constexpr int32_t kCountBytes = 4;

// "未知の文字列が解放されようとしました。" and CR LF, in code page 932: a string
// that the registry does not know was about to be released.
constexpr char kUnknownStringMessage[] =
    "\x96\xa2\x92\x6d\x82\xcc\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x89\xf0\x95\xfa\x82\xb3"
    "\x82\xea\x82\xe6\x82\xa4\x82\xc6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n";

void StoreCount(char* block, int32_t n) {
    const uint32_t bits = static_cast<uint32_t>(n);
    for (int32_t i = 0; i < kCountBytes; ++i) {
        block[i] = static_cast<char>((bits >> (8 * i)) & 0xffu);
    }
}

}  // namespace

void RuntimeStartup() {
    InitializeCriticalSection(&Runtime.RegistryLock);
    Runtime.RuntimeHeap = GetProcessHeap();
    Runtime.StringRegistryItems = static_cast<ManagedString*>(HeapAlloc(Runtime.RuntimeHeap, 0, 1));
    if (Runtime.StringRegistryItems == nullptr) {
        RuntimeFault("out of memory for the string registry", kExitOutOfMemory);
    }
    Runtime.StringRegistryCount = 0;
}

void RequireString(ManagedString s) {
    if (s == nullptr) {
        RuntimeFault("a string operation was given a null string", kExitInvalidString);
    }
}

void CreateStringSlots() {
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        Runtime.StringSlots[k] = NewString(0);
    }
}

int32_t StringLength(ManagedString s) {
    int32_t length = 0;
    RequireString(s);
    const unsigned char* count = reinterpret_cast<const unsigned char*>(s) - kCountBytes;
    const uint32_t bits = static_cast<uint32_t>(count[0]) | static_cast<uint32_t>(count[1]) << 8 |
                          static_cast<uint32_t>(count[2]) << 16 |
                          static_cast<uint32_t>(count[3]) << 24;
    std::memcpy(&length, &bits, sizeof length);
    return length;
}

bool LiveStringLength(ManagedString s, int32_t* length) {
    bool live = false;
    EnterCriticalSection(&Runtime.RegistryLock);
    // Newest first: an operand is most often the temporary just made.
    for (int32_t i = Runtime.StringRegistryCount - 1; i >= 0 && !live; --i) {
        live = Runtime.StringRegistryItems[i] == s;
    }
    if (live) {
        *length = StringLength(s);
    }
    LeaveCriticalSection(&Runtime.RegistryLock);
    return live;
}

void ReportUnknownString() {
    OutputDebugStringA(kUnknownStringMessage);
}

ManagedString NewString(int32_t n) {
    char* block = nullptr;
    ManagedString p = nullptr;
    ManagedString* items = nullptr;

    if (n < 0) {
        RuntimeFault("a string of negative length was requested", kExitInvalidString);
    }
    if (n > INT32_MAX - (kCountBytes + 1)) {
        RuntimeFault("a string longer than a 32-bit count can hold was requested",
                     kExitInvalidString);
    }
    block = static_cast<char*>(
        HeapAlloc(Runtime.RuntimeHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(n) + kCountBytes + 1));
    if (block == nullptr) {
        RuntimeFault("out of memory for a string", kExitOutOfMemory);
    }
    StoreCount(block, n);
    p = block + kCountBytes;

    EnterCriticalSection(&Runtime.RegistryLock);
    // Room for exactly one more entry: no growth factor.
    const size_t entries = static_cast<size_t>(Runtime.StringRegistryCount) + 1;
    items = static_cast<ManagedString*>(HeapReAlloc(
        Runtime.RuntimeHeap, 0, Runtime.StringRegistryItems, entries * sizeof(ManagedString)));
    if (items == nullptr || Runtime.StringRegistryCount == INT32_MAX) {
        LeaveCriticalSection(&Runtime.RegistryLock);
        RuntimeFault("out of memory for the string registry", kExitOutOfMemory);
    }
    Runtime.StringRegistryItems = items;
    items[Runtime.StringRegistryCount] = p;
    Runtime.StringRegistryCount = Runtime.StringRegistryCount + 1;
    LeaveCriticalSection(&Runtime.RegistryLock);
    return p;
}

void ReleaseString(ManagedString p) {
    EnterCriticalSection(&Runtime.RegistryLock);
    ManagedString* items = Runtime.StringRegistryItems;
    for (int32_t i = 0; i < Runtime.StringRegistryCount; ++i) {
        if (items[i] == p) {
            HeapFree(Runtime.RuntimeHeap, 0, p - kCountBytes);
            Runtime.StringRegistryCount = Runtime.StringRegistryCount - 1;
            for (int32_t k = i; k < Runtime.StringRegistryCount; ++k) {
                items[k] = items[k + 1];
            }
            LeaveCriticalSection(&Runtime.RegistryLock);
            return;
        }
    }
    LeaveCriticalSection(&Runtime.RegistryLock);
    if (p != nullptr) {
        ReportUnknownString();
    }
}
