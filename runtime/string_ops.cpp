#include "string_ops.h"

#include "runtime_fault.h"

namespace {

int32_t CompareOperands(ManagedString left, ManagedString right) {
    const int32_t leftLength = StringLength(left);
    const int32_t rightLength = StringLength(right);
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, left, leftLength, right, rightLength);
}

}  // namespace

ManagedString ConcatStrings(ManagedString left, ManagedString right) {
    ManagedString result = nullptr;
    const int32_t leftLength = StringLength(left);
    const int32_t rightLength = StringLength(right);
    const int64_t total = static_cast<int64_t>(leftLength) + rightLength;
    if (total > INT32_MAX) {
        RuntimeFault("a concatenation longer than a 32-bit count can hold", kExitInvalidString);
    }
    result = NewString(static_cast<int32_t>(total));
    RtlMoveMemory(result, left, static_cast<SIZE_T>(leftLength));
    RtlMoveMemory(result + leftLength, right, static_cast<SIZE_T>(rightLength));
    ReleaseString(left);
    ReleaseString(right);
    return result;
}

int32_t CompareStringWithTemp(ManagedString left, ManagedString right) {
    const int32_t result = CompareOperands(left, right);
    ReleaseString(right);
    return result;
}

int32_t CompareTempStrings(ManagedString left, ManagedString right) {
    const int32_t result = CompareOperands(left, right);
    ReleaseString(left);
    ReleaseString(right);
    return result;
}

int32_t FirstCharCode(ManagedString s) {
    int32_t code = 0;
    RequireString(s);
    code = static_cast<unsigned char>(s[0]);
    ReleaseString(s);
    return code;
}

void* RawAlloc(int32_t n) {
    if (n < 0) {
        return nullptr;
    }
    return HeapAlloc(Runtime.RuntimeHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(n));
}

void RawFree(void* p) {
    HeapFree(Runtime.RuntimeHeap, 0, p);
}
