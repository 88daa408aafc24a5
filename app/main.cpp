// The program: the runtime's entry runs the game's main routine and never
// returns.
#include "entry.h"
#include "main_routine.h"

#ifndef _WIN32
#include "process_start.h"
#endif

int main() {
#ifndef _WIN32
    // Before anything opens a file or a connection, or a signal could come
    // with no handler to take it.
    PrepareProcess();
#endif
    RuntimeEntry(MainRoutine);
}
