// The real program linked with the recording stand-in, for process-level tests.
// The stand-in's script comes from the command line:
//   stand_in_game escape-at N   Escape is held from frame N on
//   stand_in_game quit-at N     the library asks to quit from frame N on
//   stand_in_game init-fails    the library fails to start
#include <cstdlib>
#include <cstring>

#include "entry.h"
#include "main_routine.h"
#include "recording_dxlibdll.h"

int main(int argc, char** argv) {
    recording::Script script;
    if (argc >= 2 && std::strcmp(argv[1], "init-fails") == 0) {
        script.initResult = -1;
    } else if (argc >= 3 && std::strcmp(argv[1], "escape-at") == 0) {
        script.escapeFromFrame = std::atoi(argv[2]);
    } else if (argc >= 3 && std::strcmp(argv[1], "quit-at") == 0) {
        script.quitFromFrame = std::atoi(argv[2]);
    } else {
        return 2;
    }
    recording::Reset(script);
    RuntimeEntry(MainRoutine);
}
