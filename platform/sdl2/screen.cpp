// The screen: the mode, the back buffer every drawing operation writes into,
// the drawing area, and the widening of the back buffer's pixels to XRGB8888
// for showing.
#include "screen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define DXLIBDLL_HAVE_SSE2 1
#endif

namespace dxsdl {
namespace {

constexpr int32_t kMaxRefreshRate = 1000;

}  // namespace

bool SupportedMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate) {
    if (width < 1 || width > kMaxScreenSide || height < 1 || height > kMaxScreenSide) {
        return false;
    }
    if (bits != 16 && bits != 32) {
        return false;
    }
    return refreshRate <= kMaxRefreshRate;
}

uint32_t PixelFormatForBits(int32_t bits) {
    return bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
}

SDL_Surface* CreateBackBuffer(const ScreenMode& mode, std::string* reason) {
    SDL_Surface* backBuffer = SDL_CreateRGBSurfaceWithFormat(0, mode.width, mode.height, mode.bits,
                                                             PixelFormatForBits(mode.bits));
    if (backBuffer == nullptr) {
        *reason = std::string("cannot make the back buffer: ") + SDL_GetError();
        return nullptr;
    }
    ClearBackBuffer(backBuffer);
    return backBuffer;
}

ClipRect ClampClipRect(const ScreenMode& mode, int32_t left, int32_t top, int32_t right,
                       int32_t bottom) {
    return ClipRect{std::clamp(left, 0, mode.width), std::clamp(top, 0, mode.height),
                    std::clamp(right, 0, mode.width), std::clamp(bottom, 0, mode.height)};
}

void ClearBackBuffer(SDL_Surface* backBuffer) {
    // The surface is one block of pitch * height bytes, padding included.
    std::memset(backBuffer->pixels, 0,
                static_cast<size_t>(backBuffer->pitch) * static_cast<size_t>(backBuffer->h));
}

// ---------------------------------------------------------------------------
// Widening for showing

// RGB565 to XRGB8888. Each channel widens to floor(v * 255 / max), as SDL
// widens it (SDL_GetRGB and its blitters), so a 16-bit screen looks the way
// SDL would show it. The multiply-and-shift forms equal those quotients for
// every 5- and 6-bit value and stay within 16 bits, so eight pixels can be
// widened at once in the 16-bit lanes of a vector register.
uint32_t WidenRgb565(uint16_t pixel) {
    const uint32_t red = ((pixel >> 11) * 1053u) >> 7;
    const uint32_t green = (((pixel >> 5) & 0x3Fu) * 259u + 3u) >> 6;
    const uint32_t blue = ((pixel & 0x1Fu) * 1053u) >> 7;
    return (red << 16) | (green << 8) | blue;
}

void WidenRgb565Row(const uint8_t* in, uint32_t* out, size_t width) {
    size_t x = 0;
#ifdef DXLIBDLL_HAVE_SSE2
    const __m128i five = _mm_set1_epi16(0x1F);
    const __m128i six = _mm_set1_epi16(0x3F);
    const __m128i wide5 = _mm_set1_epi16(1053);
    const __m128i wide6 = _mm_set1_epi16(259);
    const __m128i round6 = _mm_set1_epi16(3);
    for (; x + 8 <= width; x += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * x));
        const __m128i red = _mm_srli_epi16(_mm_mullo_epi16(_mm_srli_epi16(p, 11), wide5), 7);
        const __m128i green = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(p, 5), six), wide6), round6),
            6);
        const __m128i blue = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(p, five), wide5), 7);
        const __m128i greenBlue = _mm_or_si128(_mm_slli_epi16(green, 8), blue);
        // Little-endian lanes: green and blue in the low half, red above.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(greenBlue, red));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4),
                         _mm_unpackhi_epi16(greenBlue, red));
    }
#endif
    for (; x < width; ++x) {
        uint16_t pixel;
        std::memcpy(&pixel, in + 2 * x, 2);
        out[x] = WidenRgb565(pixel);
    }
}

// The back buffer into XRGB8888 rows starting at `pixels`, each pixel
// repeated `scale` times across and each row `scale` times down.
void ConvertToXrgb(const SDL_Surface* backBuffer, uint8_t* pixels, size_t pitch, int scale) {
    const auto* source = static_cast<const uint8_t*>(backBuffer->pixels);
    const auto width = static_cast<size_t>(backBuffer->w);
    const auto factor = static_cast<size_t>(scale);
    const size_t rowBytes = width * factor * 4;
    for (int y = 0; y < backBuffer->h; ++y) {
        const uint8_t* in =
            source + static_cast<size_t>(y) * static_cast<size_t>(backBuffer->pitch);
        uint8_t* firstRow = pixels + static_cast<size_t>(y) * factor * pitch;
        auto* out = reinterpret_cast<uint32_t*>(firstRow);
        if (backBuffer->format->BytesPerPixel == 4 && factor == 1) {
            std::memcpy(out, in, width * 4);
        } else if (backBuffer->format->BytesPerPixel == 4) {
            for (size_t x = 0; x < width; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, in + 4 * x, 4);
                std::fill_n(out + x * factor, factor, pixel);
            }
        } else if (factor == 1) {
            WidenRgb565Row(in, out, width);
        } else {
            for (size_t x = 0; x < width; ++x) {
                uint16_t pixel;
                std::memcpy(&pixel, in + 2 * x, 2);
                std::fill_n(out + x * factor, factor, WidenRgb565(pixel));
            }
        }
        for (size_t copy = 1; copy < factor; ++copy) {
            std::memcpy(firstRow + copy * pitch, firstRow, rowBytes);
        }
    }
}

bool IsXrgb(uint32_t format) {
    return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

}  // namespace dxsdl
