// The screen mode and the back buffer every drawing operation writes into.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace dxsdl {

struct ScreenMode {
    int32_t width = 640;
    int32_t height = 480;
    int32_t bits = 16;  // 16: RGB565, 32: XRGB8888
    int32_t refreshRate = 60;
};

// The drawing area: columns left..right-1 and rows top..bottom-1, always within
// the screen; empty when left >= right or top >= bottom.
struct ClipRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline constexpr int32_t kMaxScreenSide = 8192;

// Records the mode for the next start-up and resets the drawing area to the
// whole screen. False (mode unchanged) when the size or depth is not one we
// support. A refresh rate of 0 or less asks for the usual 60.
bool SetScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);
const ScreenMode& CurrentScreenMode();

// The SDL pixel format of the back buffer for a colour depth.
uint32_t PixelFormatForBits(int32_t bits);

// Makes the back buffer for the current mode; false with a reason on failure.
bool CreateBackBuffer(std::string* reason);
void DestroyBackBuffer();
// Null while the library is not started.
SDL_Surface* BackBuffer();

// Clamps the rectangle to the screen.
void SetClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
const ClipRect& CurrentClipRect();

// Black over the whole back buffer, whatever the drawing area.
void ClearBackBuffer();

}  // namespace dxsdl
