// The screen: its mode, the back buffer every drawing operation writes into,
// the drawing area, and the widening of the back buffer's pixels for showing.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// Whether the library draws on a screen of this size and depth at this rate.
// Asked by dxSetGraphMode.
bool SupportedMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate);

// The SDL pixel format of the back buffer for a colour depth.
uint32_t PixelFormatForBits(int32_t bits);

// The back buffer for the mode, cleared to black; null with a reason on
// failure. Made once, at start-up.
SDL_Surface* CreateBackBuffer(const ScreenMode& mode, std::string* reason);

// The rectangle clamped to the screen; for dxSetDrawArea.
ClipRect ClampClipRect(const ScreenMode& mode, int32_t left, int32_t top, int32_t right,
                       int32_t bottom);

// Black over the whole back buffer, whatever the drawing area; for
// dxClearDrawScreen.
void ClearBackBuffer(SDL_Surface* backBuffer);

// RGB565 to XRGB8888, each channel widened to floor(v * 255 / max) as SDL
// widens it, so a 16-bit screen looks the way SDL would show it.
uint32_t WidenRgb565(uint16_t pixel);

// A row of `width` RGB565 pixels at `in` widened into `out`.
void WidenRgb565Row(const uint8_t* in, uint32_t* out, size_t width);

// Whether pixels of this SDL format are XRGB8888 in memory (the alpha byte, if
// any, ignored): the format the widened back buffer is written in.
bool IsXrgb(uint32_t format);

// The back buffer into XRGB8888 rows starting at `pixels`, each pixel
// repeated `scale` times across and each row `scale` times down. Called when
// a frame is shown.
void ConvertToXrgb(const SDL_Surface* backBuffer, uint8_t* pixels, size_t pitch, int scale);

}  // namespace dxsdl
