// The program: the runtime's entry runs the game's main routine and never
// returns.
#include "entry.h"
#include "main_routine.h"

#ifndef _WIN32
#include "standard_streams.h"
#endif

int main() {
#ifndef _WIN32
    // Before anything opens a file or a connection.
    PrepareStandardStreams();
#endif
    RuntimeEntry(MainRoutine);
}
