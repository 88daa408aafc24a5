#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

void PrepareStandardStreams() {
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
    std::signal(SIGPIPE, SIG_IGN);
}
