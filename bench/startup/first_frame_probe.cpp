// Loaded into the game by first_frame (LD_PRELOAD): the first time the library
// shows a frame, through either of SDL's two ways of presenting, this writes
// the monotonic clock's reading to the descriptor named by FIRST_FRAME_FD and
// asks the game to quit, as a terminal's SIGTERM would.
#include <dlfcn.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

struct SDL_Window;
struct SDL_Renderer;

namespace {

std::atomic<bool> reported{false};

void ReportFirstFrame() {
    if (reported.exchange(true)) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t nanoseconds = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    const char* fd = std::getenv("FIRST_FRAME_FD");
    if (fd != nullptr) {
        const ssize_t written = write(std::atoi(fd), &nanoseconds, sizeof nanoseconds);
        (void)written;
    }
    raise(SIGTERM);
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int SDL_UpdateWindowSurface(SDL_Window* window) {
    static const auto real = Next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
    const int result = real(window);
    ReportFirstFrame();
    return result;
}

__attribute__((visibility("default"))) void SDL_RenderPresent(SDL_Renderer* renderer) {
    static const auto real = Next<void (*)(SDL_Renderer*)>("SDL_RenderPresent");
    real(renderer);
    ReportFirstFrame();
}

}  // extern "C"
