// The process entry: prepares the runtime, runs the program's main routine,
// ends the process with its result.
#pragma once

#include <cstdint>

// The routine the entry runs once the runtime is ready; its result becomes the
// exit code.
typedef int32_t (*MainRoutineFunction)();

// Never returns: ends the process with mainRoutine's result as exit code. The
// runtime knows nothing of the program above it: the program's own start-up
// hands it the routine, as a C start-up calls main.
[[noreturn]] void RuntimeEntry(MainRoutineFunction mainRoutine);
