// Shared pieces of the graphics library's tests: a started library with a
// 640x480 back buffer, images written to a temporary directory, and reading
// the back buffer's pixels.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bmp_writer.h"
#include "dxlibdll.h"
#include "library_view.h"
#include "test_files.h"
#include "test_processes.h"

namespace dxtest {

namespace fs = std::filesystem;
using namespace testfiles;
using namespace testprocesses;

struct Rgba {
    uint8_t r, g, b, a;
};
constexpr Rgba kBlack{0, 0, 0, 255};

// An ARGB8888 surface of w x h filled by colourAt(x, y); the caller frees it.
inline SDL_Surface* MakeSurface(int w, int h, const std::function<Rgba(int, int)>& colourAt) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgba c = colourAt(x, y);
            const uint32_t pixel = SDL_MapRGBA(surface->format, c.r, c.g, c.b, c.a);
            std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, &pixel,
                        4);
        }
    }
    return surface;
}

// A 24-bit BMP (SDL writes surfaces without alpha that way).
inline void WriteBmp24(const std::string& path, int w, int h,
                       const std::function<Rgba(int, int)>& colourAt) {
    SDL_Surface* argb = MakeSurface(w, h, colourAt);
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(argb, SDL_PIXELFORMAT_RGB888, 0);
    ASSERT_EQ(0, SDL_SaveBMP(rgb, path.c_str())) << SDL_GetError();
    SDL_FreeSurface(rgb);
    SDL_FreeSurface(argb);
}

// A solid colour image.
inline void WriteSolidBmp(const std::string& path, int w, int h, Rgba colour) {
    WriteBmp24(path, w, h, [&](int, int) { return colour; });
}

// An uncompressed BMP written byte by byte: 1, 4 or 8 bits with a palette, or
// 24 or 32 bits (BGR(A)). `index` gives a palette index (or, for 24/32 bits, a
// value 0xAARRGGBB) per pixel; rows are stored bottom-up.
inline std::vector<uint8_t> BmpBytes(int w, int h, int bits, const std::vector<Rgba>& palette,
                                     const std::function<uint32_t(int, int)>& value) {
    bmp::Layout layout;
    layout.width = w;
    layout.height = h;
    layout.bits = bits;
    for (size_t i = 0; bits <= 8 && i < palette.size(); ++i) {
        layout.palette.push_back((static_cast<uint32_t>(palette[i].r) << 16) |
                                 (static_cast<uint32_t>(palette[i].g) << 8) | palette[i].b);
    }
    return bmp::Encode(layout, bmp::Rows(w, h, bits, false, value));
}

// A started library (640x480, the given depth) with pacing off, so frames
// cost no waiting; shut down after each test.
class LibraryTest : public ::testing::Test {
  protected:
    virtual int32_t Bits() const { return 16; }

    void SetUp() override {
        ASSERT_EQ(0, dxSetGraphMode(640, 480, Bits(), 60));
        ASSERT_EQ(0, dxDxLib_Init());
        dxsdl::SetPacingEnabled(false);
        ASSERT_EQ(0, dxSetDrawScreen(-2));
    }
    void TearDown() override {
        dxsdl::SetPacingEnabled(true);
        if (dxsdl::Started()) {
            EXPECT_EQ(0, dxDxLib_End());
        }
    }

    static SDL_Surface* Screen() { return dxsdl::BackBuffer(); }

    // The back buffer's raw pixel value at (x, y).
    static uint32_t PixelAt(int x, int y) {
        SDL_Surface* s = Screen();
        const uint8_t* p =
            static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
        if (s->format->BytesPerPixel == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v & 0x00FFFFFF;
    }

    // What SDL makes of a colour in the back buffer's format.
    static uint32_t Mapped(Rgba c) { return SDL_MapRGB(Screen()->format, c.r, c.g, c.b); }

    // The number of pixels that are not black.
    static int NonBlackPixels() {
        int count = 0;
        for (int y = 0; y < Screen()->h; ++y) {
            for (int x = 0; x < Screen()->w; ++x) {
                count += PixelAt(x, y) != 0 ? 1 : 0;
            }
        }
        return count;
    }

    // Loads a file written into the test's directory.
    int32_t Load(const std::string& name) { return dxLoadGraph(dir_.File(name).c_str(), 0); }

    TempDir dir_;
};

}  // namespace dxtest
