// Presenting: the back buffer shown in the window at the frame's turn,
// scaled by the largest whole factor that fits the window (letterboxed,
// nearest-neighbour), or shrunk to fit when the window is smaller than the
// screen mode; and fullscreen.
#include "present.h"

#include <algorithm>
#include <cstdint>

#include "desktop.h"
#include "pacing.h"
#include "screen.h"
#include "video.h"

namespace dxsdl {

namespace {

// Black over the parts of `output` outside `place`.
void FillBars(SDL_Surface* output, const SDL_Rect& place) {
    const SDL_Rect bars[] = {
        {0, 0, output->w, place.y},
        {0, place.y + place.h, output->w, output->h - place.y - place.h},
        {0, place.y, place.x, place.h},
        {place.x + place.w, place.y, output->w - place.x - place.w, place.h},
    };
    for (const SDL_Rect& bar : bars) {
        if (bar.w > 0 && bar.h > 0) {
            SDL_FillRect(output, &bar, 0);
        }
    }
}

// Without 3D acceleration: straight into the window's own framebuffer, one
// pass that widens the colours and scales at once.
bool ShowOnWindowSurface(Window& window, SDL_Surface* backBuffer) {
    SDL_Surface* output = SDL_GetWindowSurface(window.window);
    if (output == nullptr) {
        return false;
    }
    const SDL_Rect place = PresentationRect(output->w, output->h, window.width, window.height);
    FillBars(output, place);
    const bool locked = SDL_MUSTLOCK(output);
    if (locked && SDL_LockSurface(output) != 0) {
        return false;
    }
    const int scale = place.w / window.width;
    if (IsXrgb(output->format->format) && scale >= 1 && place.w == window.width * scale &&
        place.h == window.height * scale) {
        auto* origin = static_cast<uint8_t*>(output->pixels) +
                       static_cast<size_t>(place.y) * static_cast<size_t>(output->pitch) +
                       static_cast<size_t>(place.x) * 4;
        ConvertToXrgb(backBuffer, origin, static_cast<size_t>(output->pitch), scale);
        if (locked) {
            SDL_UnlockSurface(output);
        }
    } else {
        // A shrunken picture or an unusual framebuffer: SDL's general blit.
        if (locked) {
            SDL_UnlockSurface(output);
        }
        SDL_Rect destination = place;
        SDL_BlitScaled(backBuffer, nullptr, output, &destination);
    }
    return SDL_UpdateWindowSurface(window.window) == 0;
}

// With 3D acceleration: through a streaming texture, scaled by the renderer.
bool ShowThroughRenderer(Window& window, SDL_Surface* backBuffer) {
    if (window.texture == nullptr) {
        return false;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(window.texture, nullptr, &pixels, &pitch) != 0) {
        return false;
    }
    ConvertToXrgb(backBuffer, static_cast<uint8_t*>(pixels), static_cast<size_t>(pitch), 1);
    SDL_UnlockTexture(window.texture);

    int outputWidth = 0;
    int outputHeight = 0;
    if (SDL_GetRendererOutputSize(window.renderer, &outputWidth, &outputHeight) != 0) {
        return false;
    }
    const SDL_Rect place = PresentationRect(outputWidth, outputHeight, window.width, window.height);
    SDL_RenderClear(window.renderer);
    const bool copied = SDL_RenderCopy(window.renderer, window.texture, nullptr, &place) == 0;
    SDL_RenderPresent(window.renderer);
    return copied;
}

bool ShowBackBuffer(Window& window, SDL_Surface* backBuffer) {
    if (window.window == nullptr) {
        return false;
    }
    return window.renderer != nullptr ? ShowThroughRenderer(window, backBuffer)
                                      : ShowOnWindowSurface(window, backBuffer);
}

}  // namespace

SDL_Rect PresentationRect(int outputWidth, int outputHeight, int screenWidth, int screenHeight) {
    const int64_t outW = std::max(outputWidth, 1);
    const int64_t outH = std::max(outputHeight, 1);
    const int64_t scale = std::min(outW / screenWidth, outH / screenHeight);
    int64_t width;
    int64_t height;
    if (scale >= 1) {
        width = screenWidth * scale;
        height = screenHeight * scale;
    } else if (outW * screenHeight <= outH * screenWidth) {
        width = outW;  // narrower than the screen's shape: fit the width
        height = std::max<int64_t>(1, screenHeight * outW / screenWidth);
    } else {
        height = outH;
        width = std::max<int64_t>(1, screenWidth * outH / screenHeight);
    }
    return SDL_Rect{static_cast<int>((outW - width) / 2), static_cast<int>((outH - height) / 2),
                    static_cast<int>(width), static_cast<int>(height)};
}

#ifdef __EMSCRIPTEN__
// Browsers grant fullscreen only inside the user's own key or click handler,
// which the page has and the game's loop has not: the page does it.
void ToggleFullscreen(Window&) {}
#else
void ToggleFullscreen(Window& window) {
    if (window.window == nullptr) {
        return;
    }
    if (window.coversDisplay) {
        window.coversDisplay = false;
        SDL_SetWindowBordered(window.window, SDL_TRUE);
        SDL_SetWindowSize(window.window, window.windowedWidth, window.windowedHeight);
        SDL_SetWindowPosition(window.window, window.windowedX, window.windowedY);
        return;
    }
    if ((SDL_GetWindowFlags(window.window) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
        SDL_WINDOW_FULLSCREEN_DESKTOP) {
        SDL_SetWindowFullscreen(window.window, 0);
        // Not every system gives the old size back by itself.
        SDL_SetWindowSize(window.window, window.windowedWidth, window.windowedHeight);
        SDL_SetWindowPosition(window.window, window.windowedX, window.windowedY);
        return;
    }
    SDL_GetWindowPosition(window.window, &window.windowedX, &window.windowedY);
    SDL_GetWindowSize(window.window, &window.windowedWidth, &window.windowedHeight);
    if (DesktopTakesWindowFullscreen(window.window)) {
        SDL_SetWindowFullscreen(window.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    // Nobody would answer SDL's request, and SDL would go on taking the
    // window to be the display's size: cover the display with the window
    // itself, which needs nobody's consent.
    SDL_Rect bounds;
    const int display = SDL_GetWindowDisplayIndex(window.window);
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) {
        return;
    }
    window.coversDisplay = true;
    SDL_SetWindowBordered(window.window, SDL_FALSE);
    SDL_SetWindowPosition(window.window, bounds.x, bounds.y);
    SDL_SetWindowSize(window.window, bounds.w, bounds.h);
    SDL_RaiseWindow(window.window);
}
#endif

#ifdef __EMSCRIPTEN__
// In a web page a frame is shown at the browser's animation frame at which it
// is due; the page's canvas is the window.
void PresentFrame(Window& window, SDL_Surface* backBuffer, Pacer& pacer) {
    AwaitAnimationFrame(pacer);
    ShowBackBuffer(window, backBuffer);
}
#else
void PresentFrame(Window& window, SDL_Surface* backBuffer, Pacer& pacer) {
    AwaitFrameTurn(pacer);
    ShowBackBuffer(window, backBuffer);
    FrameShown(pacer, window);
}
#endif

}  // namespace dxsdl
