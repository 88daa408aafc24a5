// A SIGTERM in the first milliseconds of the game's start: starts the game
// RUNS times (default 10) for each delay from its start, sends SIGTERM after
// that delay, and counts how the runs ended: with status 0 (the game's loop
// answered the signal) or killed by it (no code of the program ran yet to take
// it). Headless in SDL's offscreen driver unless SDL_VIDEODRIVER says
// otherwise; the game's standard error goes to /dev/null.
//
//   early_signal GAME [RUNS]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: early_signal GAME [RUNS]\n");
        return 2;
    }
    const char* game = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    std::printf("%10s %8s %10s %8s\n", "delay ms", "status 0", "SIGTERM", "other");
    for (const int delayUs : {500, 1000, 2000, 3000, 4000, 5000, 6000, 8000, 10000, 15000, 20000}) {
        int answered = 0;
        int killed = 0;
        int other = 0;
        for (int run = 0; run < runs; ++run) {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            char* const arguments[] = {const_cast<char*>(game), nullptr};
            pid_t child = -1;
            const int spawned = posix_spawn(&child, game, &actions, nullptr, arguments, environ);
            posix_spawn_file_actions_destroy(&actions);
            if (spawned != 0) {
                std::fprintf(stderr, "cannot start %s\n", game);
                return 1;
            }
            const timespec delay{0, delayUs * 1000L};
            nanosleep(&delay, nullptr);
            kill(child, SIGTERM);
            int status = 0;
            waitpid(child, &status, 0);
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                ++answered;
            } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) {
                ++killed;
            } else {
                ++other;
            }
        }
        std::printf("%10.1f %8d %10d %8d\n", delayUs / 1000.0, answered, killed, other);
    }
    return 0;
}
