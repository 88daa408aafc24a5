// The graphics library, loaded by the program itself once its first step has
// held the quit signals back, rather than by the system before the program
// starts. The system's loader takes some 15 ms for it and the fifty libraries
// SDL brings, and no code of the program runs meanwhile: a SIGTERM then ended
// the game as it ends any program. Loaded here, such a signal waits for the
// library's handlers and the game's loop answers it. Each of the twelve
// operations goes on to the library's own; a library that cannot be loaded is
// named in one line, and the game's start fails as for any other reason.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "dxlibdll.h"

namespace {

// Each operation: its name, parameters, arguments, and what it gives while no
// library is there (as the library's own before start-up).
#define DXLIBDLL_OPERATIONS(X)                                                     \
    X(dxSetGraphMode, (int32_t width, int32_t height, int32_t bits, int32_t rate), \
      (width, height, bits, rate), -1)                                             \
    X(dxDxLib_Init, (void), (), -1)                                                \
    X(dxDxLib_End, (void), (), -1)                                                 \
    X(dxSetDrawScreen, (int32_t screen), (screen), -1)                             \
    X(dxSetDrawArea, (int32_t left, int32_t top, int32_t right, int32_t bottom),   \
      (left, top, right, bottom), -1)                                              \
    X(dxLoadGraph, (const char* fileName, int32_t flag), (fileName, flag), -1)     \
    X(dxDrawGraph, (int32_t x, int32_t y, int32_t handle, int32_t transFlag),      \
      (x, y, handle, transFlag), -1)                                               \
    X(dxClearDrawScreen, (void), (), -1)                                           \
    X(dxScreenFlip, (void), (), -1)                                                \
    X(dxProcessMessage, (void), (), -1)                                            \
    X(dxCheckHitKey, (int32_t keyCode), (keyCode), 0)                              \
    X(dxGetJoypadInputState, (int32_t inputType), (inputType), 0)

struct Operations {
#define DXLIBDLL_POINTER(name, parameters, arguments, absent) decltype(&::name) name = nullptr;
    DXLIBDLL_OPERATIONS(DXLIBDLL_POINTER)
#undef DXLIBDLL_POINTER
};

constexpr int kMode = RTLD_LAZY | RTLD_GLOBAL;

// Opened as the system would have opened it for the executable, by its run
// path, and its symbols and SDL's seen by the whole process as they were then
// (a preloaded probe that wraps SDL's functions finds them). Asked by name
// first; then in each folder of the executable's own search path, for when
// a wrapper of dlopen (the sanitizers') hides that the executable asks. Null
// with the first reason when neither finds it.
void* OpenLibrary(std::string* reason) {
    if (void* library = dlopen(DXLIBDLL_FILE, kMode)) {
        return library;
    }
    *reason = dlerror();
    void* executable = dlopen(nullptr, RTLD_LAZY);
    Dl_serinfo size{};
    if (executable == nullptr || dlinfo(executable, RTLD_DI_SERINFOSIZE, &size) != 0) {
        return nullptr;
    }
    std::vector<Dl_serinfo> storage(size.dls_size / sizeof(Dl_serinfo) + 1);
    Dl_serinfo* folders = storage.data();
    *folders = size;
    if (dlinfo(executable, RTLD_DI_SERINFO, folders) != 0) {
        return nullptr;
    }
    for (unsigned int i = 0; i < folders->dls_cnt; ++i) {
        const std::string path = std::string(folders->dls_serpath[i].dls_name) + "/" DXLIBDLL_FILE;
        if (void* library = dlopen(path.c_str(), kMode)) {
            return library;
        }
    }
    return nullptr;
}

Operations Load() {
    Operations operations;
    std::string reason;
    void* library = OpenLibrary(&reason);
    if (library == nullptr) {
        std::fprintf(stderr, "%s: cannot load the graphics library: %s\n",
                     program_invocation_short_name, reason.c_str());
        return operations;
    }
    Operations found;
    bool complete = true;
#define DXLIBDLL_FIND(name, parameters, arguments, absent)                      \
    found.name = reinterpret_cast<decltype(found.name)>(dlsym(library, #name)); \
    complete = complete && found.name != nullptr;
    DXLIBDLL_OPERATIONS(DXLIBDLL_FIND)
#undef DXLIBDLL_FIND
    if (!complete) {
        std::fprintf(stderr, "%s: the graphics library " DXLIBDLL_FILE " lacks an operation\n",
                     program_invocation_short_name);
        return operations;
    }
    return found;
}

const Operations& Library() {
    static const Operations operations = Load();
    return operations;
}

}  // namespace

#define DXLIBDLL_FORWARD(name, parameters, arguments, absent)       \
    int32_t name parameters {                                       \
        const auto operation = Library().name;                      \
        return operation != nullptr ? operation arguments : absent; \
    }
DXLIBDLL_OPERATIONS(DXLIBDLL_FORWARD)
#undef DXLIBDLL_FORWARD
