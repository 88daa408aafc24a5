#include "runtime_fault.h"

#include <cstdio>

#include "kernel32.h"

void RuntimeFault(const char* message, int32_t exitCode) {
    std::fprintf(stderr, "fatal: %s\n", message);
    ExitProcess(static_cast<UINT>(exitCode));
}
