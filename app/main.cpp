// The program: the runtime's entry runs the game's main routine and never
// returns.
#include "entry.h"
#include "main_routine.h"

int main() {
    RuntimeEntry(MainRoutine);
}
