#include "entry.h"

#include "main_routine.h"
#include "managed_string.h"

void RuntimeEntry() {
    RuntimeStartup();
    CreateStringSlots();
    Runtime.ExitCode = MainRoutine();
    // Registered strings, the registry and the lock go with the process.
    ExitProcess(static_cast<UINT>(Runtime.ExitCode));
}
