// Time from process start to the first frame shown: starts the game RUNS times
// (default 20) with first_frame_probe loaded, which notes when the first frame
// is presented and then asks the game to quit. Prints the fastest, median and
// slowest start, and fails unless every run ended with status 0. Headless in
// SDL's offscreen driver without 3D acceleration unless SDL_VIDEODRIVER says
// otherwise.
//
//   first_frame GAME PROBE [RUNS]
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

int64_t Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Milliseconds from spawning the game to its first frame, or a negative value
// when it showed none or did not end with status 0.
double OneRun(const char* game, const char* probe) {
    int channel[2];
    if (pipe(channel) != 0) {
        return -1;
    }
    setenv("LD_PRELOAD", probe, 1);
    setenv("FIRST_FRAME_FD", std::to_string(channel[1]).c_str(), 1);
    char* argv[] = {const_cast<char*>(game), nullptr};
    pid_t child = 0;
    const int64_t started = Now();
    const int spawned = posix_spawn(&child, game, nullptr, nullptr, argv, environ);
    unsetenv("LD_PRELOAD");
    close(channel[1]);
    if (spawned != 0) {
        close(channel[0]);
        return -1;
    }
    int64_t shown = 0;
    const bool gotFrame = read(channel[0], &shown, sizeof shown) == sizeof shown;
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!gotFrame || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "run ended with status %d%s\n",
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                     gotFrame ? "" : " before showing a frame");
        return -1;
    }
    return static_cast<double>(shown - started) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s GAME PROBE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    if (getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = OneRun(argv[1], argv[2]);
        if (ms < 0) {
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("first frame after %d starts: fastest %.1f ms, median %.1f ms, slowest %.1f ms\n",
                runs, times.front(), times[times.size() / 2], times.back());
    return 0;
}
