// The window, the back buffer, showing a frame and keeping the frame rate.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library_state.h"

LibraryState& Library() {
    static LibraryState state;
    return state;
}

namespace {

// Offscreen and dummy drivers show nothing: only acceptable when asked for.
bool InvisibleDriverNotAskedFor() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return true;
    }
    const bool invisible =
        std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return invisible && (asked == nullptr || SDL_strcasecmp(asked, driver) != 0);
}

// The largest whole factor that fits the desktop, at least 1.
int WindowScale(const ScreenMode& mode) {
    SDL_Rect usable{0, 0, mode.width, mode.height};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) {
        return 1;
    }
    int scale = 1;
    while ((scale + 1) * mode.width <= usable.w && (scale + 1) * mode.height <= usable.h) {
        ++scale;
    }
    return scale;
}

}  // namespace

bool OpenScreen() {
    LibraryState& lib = Library();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "dxlib: cannot start: no display (%s)\n", SDL_GetError());
        return false;
    }
    if (InvisibleDriverNotAskedFor()) {
        std::fprintf(stderr, "dxlib: cannot start: no display (only the %s video driver)\n",
                     SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "no");
        SDL_Quit();
        return false;
    }
    const ScreenMode& mode = lib.mode;
    const Uint32 format = mode.bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
    lib.backBuffer = SDL_CreateRGBSurfaceWithFormat(0, mode.width, mode.height, mode.bits, format);
    const int scale = WindowScale(mode);
    lib.window = SDL_CreateWindow("Chaser", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  mode.width * scale, mode.height * scale,
                                  SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (lib.backBuffer == nullptr || lib.window == nullptr) {
        std::fprintf(stderr, "dxlib: cannot start: %s\n", SDL_GetError());
        CloseScreen();
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    lib.renderer = SDL_CreateRenderer(lib.window, -1, 0);
    if (lib.renderer != nullptr) {
        SDL_RenderSetLogicalSize(lib.renderer, mode.width, mode.height);
        SDL_RenderSetIntegerScale(lib.renderer, SDL_TRUE);
        lib.texture = SDL_CreateTexture(lib.renderer, format, SDL_TEXTUREACCESS_STREAMING,
                                        mode.width, mode.height);
    }
    if (lib.renderer == nullptr || lib.texture == nullptr) {
        std::fprintf(stderr, "dxlib: cannot start: %s\n", SDL_GetError());
        CloseScreen();
        return false;
    }
    lib.drawArea = SDL_Rect{0, 0, mode.width, mode.height};
    SDL_FillRect(lib.backBuffer, nullptr, 0);
    lib.nextDeadline = 0;
    lib.quitRequested = false;
    OpenFirstPad();
    CatchQuitSignals();
    return true;
}

void CloseScreen() {
    LibraryState& lib = Library();
    CloseImages();
    if (lib.pad != nullptr) {
        SDL_GameControllerClose(lib.pad);
        lib.pad = nullptr;
    }
    if (lib.texture != nullptr) {
        SDL_DestroyTexture(lib.texture);
    }
    if (lib.renderer != nullptr) {
        SDL_DestroyRenderer(lib.renderer);
    }
    if (lib.window != nullptr) {
        SDL_DestroyWindow(lib.window);
    }
    SDL_FreeSurface(lib.backBuffer);
    lib.texture = nullptr;
    lib.renderer = nullptr;
    lib.window = nullptr;
    lib.backBuffer = nullptr;
    SDL_Quit();
}

void PresentBackBuffer() {
    LibraryState& lib = Library();
    SDL_UpdateTexture(lib.texture, nullptr, lib.backBuffer->pixels, lib.backBuffer->pitch);
    SDL_SetRenderDrawColor(lib.renderer, 0, 0, 0, 255);
    SDL_RenderClear(lib.renderer);
    SDL_RenderCopy(lib.renderer, lib.texture, nullptr, nullptr);
    SDL_RenderPresent(lib.renderer);
}

// Absolute deadlines one period apart: the long-run rate is exact whatever the
// monitor runs at. Sleep until shortly before the deadline, then wait out the
// rest; after a stall of several frames, start the schedule afresh.
void WaitForNextFrame() {
    LibraryState& lib = Library();
    if (!lib.pacing) {
        return;
    }
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const int32_t rate = lib.mode.refreshRate > 0 ? lib.mode.refreshRate : 60;
    const uint64_t period = frequency / static_cast<uint64_t>(rate);
    uint64_t now = SDL_GetPerformanceCounter();
    if (lib.nextDeadline == 0 || now > lib.nextDeadline + 4 * period) {
        lib.nextDeadline = now + period;
    }
    const uint64_t margin = frequency / 500;  // 2 ms
    while (now + margin < lib.nextDeadline) {
        const uint64_t sleepMs = (lib.nextDeadline - now - margin) * 1000 / frequency;
        SDL_Delay(static_cast<Uint32>(sleepMs > 0 ? sleepMs : 1));
        now = SDL_GetPerformanceCounter();
    }
    while (now < lib.nextDeadline) {
        now = SDL_GetPerformanceCounter();
    }
    lib.nextDeadline += period;
}
