#include "back_buffer.h"

#include <algorithm>
#include <cstring>

namespace dxsdl {
namespace {

ScreenMode mode;
ClipRect clip{0, 0, mode.width, mode.height};
SDL_Surface* backBuffer = nullptr;

constexpr int32_t kMaxRefreshRate = 1000;

}  // namespace

bool SetScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate) {
    if (width < 1 || width > kMaxScreenSide || height < 1 || height > kMaxScreenSide) {
        return false;
    }
    if (bits != 16 && bits != 32) {
        return false;
    }
    if (refreshRate > kMaxRefreshRate) {
        return false;
    }
    mode = ScreenMode{width, height, bits, refreshRate > 0 ? refreshRate : 60};
    clip = ClipRect{0, 0, width, height};
    return true;
}

const ScreenMode& CurrentScreenMode() {
    return mode;
}

uint32_t PixelFormatForBits(int32_t bits) {
    return bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
}

bool CreateBackBuffer(std::string* reason) {
    DestroyBackBuffer();
    backBuffer = SDL_CreateRGBSurfaceWithFormat(0, mode.width, mode.height, mode.bits,
                                                PixelFormatForBits(mode.bits));
    if (backBuffer == nullptr) {
        *reason = std::string("cannot make the back buffer: ") + SDL_GetError();
        return false;
    }
    ClearBackBuffer();
    return true;
}

void DestroyBackBuffer() {
    SDL_FreeSurface(backBuffer);
    backBuffer = nullptr;
}

SDL_Surface* BackBuffer() {
    return backBuffer;
}

void SetClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    clip.left = std::clamp(left, 0, mode.width);
    clip.right = std::clamp(right, 0, mode.width);
    clip.top = std::clamp(top, 0, mode.height);
    clip.bottom = std::clamp(bottom, 0, mode.height);
}

const ClipRect& CurrentClipRect() {
    return clip;
}

void ClearBackBuffer() {
    if (backBuffer == nullptr) {
        return;
    }
    // The surface is one block of pitch * height bytes, padding included.
    std::memset(backBuffer->pixels, 0,
                static_cast<size_t>(backBuffer->pitch) * static_cast<size_t>(backBuffer->h));
}

}  // namespace dxsdl
