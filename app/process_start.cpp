#include "process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

void PrepareProcess() {
    // First of all, as this is the first code of ours that runs.
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGHUP);
    sigprocmask(SIG_BLOCK, &quit, nullptr);
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor is this one, as those below it are open.
            const int opened = open("/dev/null", O_RDWR);
            if (opened > descriptor) {
                dup2(opened, descriptor);
                close(opened);
            }
        }
    }
    // A failed write then returns EPIPE, which the writer ignores.
    signal(SIGPIPE, SIG_IGN);
    // So does a write past the caller's file size limit (ulimit -f), with
    // EFBIG: the recording is cut back to its last whole line and the game
    // plays on, where the signal would end it with half a line written.
    signal(SIGXFSZ, SIG_IGN);
}
