#include "string_ops.h"

#include "runtime_fault.h"

namespace {

// An operand as an operation found it. Only a string the registry holds is
// read and later released; any other pointer (released already, never made by
// the runtime, a plain literal) gets the diagnostic of an unknown release once,
// counts as empty and is left alone.
struct Operand {
    ManagedString string;
    bool live;
    int32_t length;
};

Operand ReadOperand(ManagedString s) {
    Operand operand{s, false, 0};
    operand.live = LiveStringLength(s, &operand.length);
    if (!operand.live) {
        ReportUnknownString();
    }
    return operand;
}

// Releases an operand that was live when it was read. One string passed as
// both operands is live for both reads: the first release frees it and the
// second writes the diagnostic, after every read is done.
void Consume(const Operand& operand) {
    if (operand.live) {
        ReleaseString(operand.string);
    }
}

int32_t CompareOperands(const Operand& left, const Operand& right) {
    if (!left.live || !right.live) {
        return 0;  // no order for something that is not a string
    }
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, left.string, left.length, right.string,
                          right.length);
}

}  // namespace

ManagedString ConcatStrings(ManagedString leftString, ManagedString rightString) {
    ManagedString result = nullptr;
    RequireString(leftString);
    RequireString(rightString);
    const Operand left = ReadOperand(leftString);
    const Operand right = ReadOperand(rightString);
    const int64_t total = static_cast<int64_t>(left.length) + right.length;
    if (total > INT32_MAX) {
        RuntimeFault("a concatenation longer than a 32-bit count can hold", kExitInvalidString);
    }
    result = NewString(static_cast<int32_t>(total));
    RtlMoveMemory(result, left.string, static_cast<SIZE_T>(left.length));
    RtlMoveMemory(result + left.length, right.string, static_cast<SIZE_T>(right.length));
    Consume(left);
    Consume(right);
    return result;
}

int32_t CompareStringWithTemp(ManagedString leftString, ManagedString rightString) {
    RequireString(leftString);
    RequireString(rightString);
    const Operand left = ReadOperand(leftString);
    const Operand right = ReadOperand(rightString);
    const int32_t result = CompareOperands(left, right);
    Consume(right);
    return result;
}

int32_t CompareTempStrings(ManagedString leftString, ManagedString rightString) {
    RequireString(leftString);
    RequireString(rightString);
    const Operand left = ReadOperand(leftString);
    const Operand right = ReadOperand(rightString);
    const int32_t result = CompareOperands(left, right);
    Consume(left);
    Consume(right);
    return result;
}

int32_t FirstCharCode(ManagedString s) {
    int32_t code = 0;
    RequireString(s);
    const Operand operand = ReadOperand(s);
    if (operand.live) {
        code = static_cast<unsigned char>(s[0]);
    }
    Consume(operand);
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
