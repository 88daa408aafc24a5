// Process heap on POSIX: the C allocator behind the Windows heap calls.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "heap_faults.h"
#include "kernel32.h"

namespace {

// Any non-null value will do as the handle: there is one heap.
char processHeapTag;

std::atomic<int64_t> allocationsBeforeFailure{-1};

bool InjectedFailure() {
    int64_t left = allocationsBeforeFailure.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (left == 0) {
            return true;
        }
        if (allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
            return false;
        }
    }
    return false;
}

// No block can be larger than a pointer difference can span. Refusing such
// sizes here also keeps them from the sanitizers' allocators, which stop the
// process on them instead of returning null.
bool ImpossibleSize(SIZE_T bytes) {
    return bytes > static_cast<SIZE_T>(PTRDIFF_MAX);
}

}  // namespace

void PosixHeapFailAfter(int64_t successes) {
    allocationsBeforeFailure.store(successes < 0 ? -1 : successes);
}

extern "C" {

HANDLE GetProcessHeap(void) {
    return &processHeapTag;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap == nullptr || ImpossibleSize(bytes) || InjectedFailure()) {
        return nullptr;
    }
    // Windows gives a distinct block for a request of zero bytes.
    const SIZE_T size = bytes == 0 ? 1 : bytes;
    return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, size) : std::malloc(size);
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
    (void)flags;
    if (heap == nullptr || block == nullptr || ImpossibleSize(bytes) || InjectedFailure()) {
        return nullptr;
    }
    return std::realloc(block, bytes == 0 ? 1 : bytes);
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    (void)flags;
    if (heap == nullptr) {
        return FALSE;
    }
    std::free(block);
    return TRUE;
}

}  // extern "C"
