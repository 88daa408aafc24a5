#include "entry.h"

#include "managed_string.h"

void RuntimeEntry(MainRoutineFunction mainRoutine) {
    RuntimeStartup();
    CreateStringSlots();
    Runtime.ExitCode = mainRoutine();
    // Registered strings, the registry and the lock go with the process.
    ExitProcess(static_cast<UINT>(Runtime.ExitCode));
}
