// A graphics library broken on purpose, for the loader's test: it lacks
// dxScreenFlip, and built with BROKEN_UNBOUND it needs a function no SDL has.
// Its constructor does what BROKEN_LIBRARY says when it is loaded: "announce"
// writes a line and ends the process with 97 (a decoy that must never be
// loaded); "hang" never returns (a load stuck on a hung file system).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#ifdef BROKEN_UNBOUND
extern "C" int32_t SDL_FunctionNoSdlHas(void);
#endif

namespace {

__attribute__((constructor)) void WhenLoaded() {
    const char* what = getenv("BROKEN_LIBRARY");
    if (what != nullptr && strcmp(what, "announce") == 0) {
        static const char line[] = "a decoy library was loaded\n";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, sizeof line - 1);
        _exit(97);
    }
    if (what != nullptr && strcmp(what, "hang") == 0) {
        for (;;) {
            pause();
        }
    }
}

}  // namespace

#define BROKEN_EXPORT extern "C" __attribute__((visibility("default")))

BROKEN_EXPORT int32_t dxSetGraphMode(int32_t, int32_t, int32_t, int32_t) {
#ifdef BROKEN_UNBOUND
    return SDL_FunctionNoSdlHas();
#else
    return -1;
#endif
}
BROKEN_EXPORT int32_t dxDxLib_Init(void) {
    return -1;
}
BROKEN_EXPORT int32_t dxDxLib_End(void) {
    return -1;
}
BROKEN_EXPORT int32_t dxSetDrawScreen(int32_t) {
    return -1;
}
BROKEN_EXPORT int32_t dxSetDrawArea(int32_t, int32_t, int32_t, int32_t) {
    return -1;
}
BROKEN_EXPORT int32_t dxLoadGraph(const char*, int32_t) {
    return -1;
}
BROKEN_EXPORT int32_t dxDrawGraph(int32_t, int32_t, int32_t, int32_t) {
    return -1;
}
BROKEN_EXPORT int32_t dxClearDrawScreen(void) {
    return -1;
}
BROKEN_EXPORT int32_t dxProcessMessage(void) {
    return -1;
}
BROKEN_EXPORT int32_t dxCheckHitKey(int32_t) {
    return 0;
}
BROKEN_EXPORT int32_t dxGetJoypadInputState(int32_t) {
    return 0;
}
