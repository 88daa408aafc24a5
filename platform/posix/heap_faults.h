// Fault injection for the POSIX heap, for tests of allocation failure paths.
#pragma once

#include <stdint.h>

// After `successes` more successful HeapAlloc/HeapReAlloc calls, every later one
// fails (returns null). A negative value turns failures off again.
void PosixHeapFailAfter(int64_t successes);
