#include "entry.h"

#include "main_routine.h"
#include "managed_string.h"

void RuntimeEntry() {
    RuntimeStartup();
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        Runtime.StringSlots[k] = NewString(0);
    }
    Runtime.ExitCode = MainRoutine();
    // Registered strings, the registry and the lock go with the process.
    ExitProcess(static_cast<UINT>(Runtime.ExitCode));
}
