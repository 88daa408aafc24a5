// Starts the string runtime afresh, for tests and benchmarks that run many
// cases in one process.
#pragma once

#include "managed_string.h"

// Frees whatever an earlier case left registered, then starts the runtime anew.
inline void ResetRuntime() {
    if (Runtime.StringRegistryItems != nullptr) {
        while (Runtime.StringRegistryCount > 0) {
            ReleaseString(Runtime.StringRegistryItems[0]);
        }
        HeapFree(Runtime.RuntimeHeap, 0, Runtime.StringRegistryItems);
    }
    Runtime = RuntimeGlobals{};
    RuntimeStartup();
}
