// The twelve operations of dxlibdll.h: the library's life cycle, and each call
// handed to the part that does the work.
#include <SDL.h>

#include <string>

#include "back_buffer.h"
#include "diagnostics.h"
#include "dxlibdll.h"
#include "dxlibdll_sdl2_internal.h"
#include "frame_pacer.h"
#include "image_table.h"
#include "input.h"
#include "video.h"

#ifdef DXLIBDLL_HAVE_PNG
#include <SDL_image.h>
#endif

namespace dxsdl {
namespace {

constexpr int32_t kBackBufferScreen = -2;

struct Library {
    bool started = false;
    bool quitRequested = false;
    Hook frameStartHook = nullptr;
    Hook shutdownHook = nullptr;
};
Library library;

std::string ExecutableDirectory() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return {};
    }
    std::string directory(base);
    SDL_free(base);
    return directory;
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            library.quitRequested = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Keys released elsewhere would never be seen released.
            ReleaseAllKeys();
            break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            ChoosePacingMethod();  // the new display may run at another rate
            break;
        default:
            break;
    }
}

void HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            library.quitRequested = true;
            break;
        case SDL_WINDOWEVENT:
            HandleWindowEvent(event.window);
            break;
        case SDL_KEYDOWN:
            if (event.key.repeat == 0 && event.key.keysym.scancode == SDL_SCANCODE_RETURN &&
                (event.key.keysym.mod & KMOD_ALT) != 0) {
                ToggleFullscreen();
                ChoosePacingMethod();
            }
            HandleInputEvent(event);
            break;
        case SDL_RENDER_DEVICE_RESET:
            RebuildTexture();
            break;
        default:
            HandleInputEvent(event);
            break;
    }
}

}  // namespace

void SetFrameStartHook(Hook hook) {
    library.frameStartHook = hook;
}
void SetShutdownHook(Hook hook) {
    library.shutdownHook = hook;
}
bool Started() {
    return library.started;
}

}  // namespace dxsdl

using namespace dxsdl;

int32_t dxSetGraphMode(int32_t width, int32_t height, int32_t colorBitDepth, int32_t refreshRate) {
    if (library.started) {
        ReportLine("dxSetGraphMode: the screen mode is chosen before dxDxLib_Init");
        return -1;
    }
    if (!SetScreenMode(width, height, colorBitDepth, refreshRate)) {
        ReportLine("dxSetGraphMode: unsupported mode " + std::to_string(width) + " x " +
                   std::to_string(height) + " x " + std::to_string(colorBitDepth) + " bits at " +
                   std::to_string(refreshRate) + " Hz");
        return -1;
    }
    return 0;
}

int32_t dxDxLib_Init(void) {
    if (library.started) {
        return 0;
    }
    // Our caller has its own main; SDL need not have wrapped it.
    SDL_SetMainReady();
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        ReportLine(std::string("cannot start SDL: ") + SDL_GetError());
        return -1;
    }
    std::string reason;
    const ScreenMode& mode = CurrentScreenMode();
    if (!StartVideo(mode, &reason)) {
        ReportLine(reason);
        SDL_Quit();
        return -1;
    }
    if (!CreateBackBuffer(&reason)) {
        ReportLine(reason);
        StopVideo();
        SDL_Quit();
        return -1;
    }
    StartInput();
#ifdef DXLIBDLL_HAVE_PNG
    IMG_Init(IMG_INIT_PNG);
#endif
    SetExecutableDirectory(ExecutableDirectory());
    StartPacing(mode.refreshRate);
    library.quitRequested = false;
    library.started = true;
    return 0;
}

int32_t dxDxLib_End(void) {
    if (!library.started) {
        return -1;
    }
    if (library.shutdownHook != nullptr) {
        library.shutdownHook();
    }
    ForgetAllImages();
    StopInput();
    DestroyBackBuffer();
    StopVideo();
#ifdef DXLIBDLL_HAVE_PNG
    IMG_Quit();
#endif
    SDL_Quit();
    const ScreenMode& mode = CurrentScreenMode();
    SetClipRect(0, 0, mode.width, mode.height);
    library.started = false;
    library.quitRequested = false;
    return 0;
}

int32_t dxSetDrawScreen(int32_t drawScreen) {
    return drawScreen == kBackBufferScreen ? 0 : -1;
}

int32_t dxSetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    SetClipRect(left, top, right, bottom);
    return 0;
}

int32_t dxLoadGraph(const char* fileName, int32_t /*flag*/) {
    if (!library.started) {
        ReportLine(std::string("dxLoadGraph: \"") + (fileName != nullptr ? fileName : "(null)") +
                   "\": the library is not started");
        return -1;
    }
    return LoadImage(fileName, PixelFormatForBits(CurrentScreenMode().bits));
}

int32_t dxDrawGraph(int32_t x, int32_t y, int32_t handle, int32_t transFlag) {
    SDL_Surface* target = BackBuffer();
    const Image* image = FindImage(handle);
    if (target == nullptr || image == nullptr) {
        return -1;
    }
    DrawImage(*image, target, CurrentClipRect(), x, y, transFlag != 0);
    return 0;
}

int32_t dxClearDrawScreen(void) {
    if (!library.started) {
        return -1;
    }
    ClearBackBuffer();
    return 0;
}

int32_t dxScreenFlip(void) {
    if (!library.started) {
        return -1;
    }
    ShowFrame();
    return 0;
}

int32_t dxProcessMessage(void) {
    if (!library.started) {
        return -1;
    }
    if (library.frameStartHook != nullptr) {
        library.frameStartHook();
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        HandleEvent(event);
    }
    return library.quitRequested ? -1 : 0;
}

int32_t dxCheckHitKey(int32_t keyCode) {
    return library.started ? KeyHeld(keyCode) : 0;
}

int32_t dxGetJoypadInputState(int32_t inputType) {
    return library.started ? JoypadBits(inputType) : 0;
}
