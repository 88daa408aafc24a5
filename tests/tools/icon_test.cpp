// The desktop icon as a desktop reads it: each PNG file artgen writes, decoded
// by SDL2_image (not by our own code), is the player's sprite enlarged with
// sharp pixels and a see-through background.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "art.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

TEST(IconTest, EachSizeDecodesToThePlayersSpriteEnlarged) {
    const fs::path dir = testfiles::FreshDirectory("icons");
    std::string error;
    ASSERT_TRUE(artgen::WriteIcons(dir, &error)) << error;

    // The icon shows the upper sprite from row 7 down, centred left to right.
    const artgen::Image sprite = artgen::Sprite(artgen::kPlayerRow, artgen::kPlayerUpperColumn);
    const int left = (artgen::kIconSize - sprite.width()) / 2;
    constexpr int kTop = 7;

    for (int size : {64, 128, 192, 256, 512}) {
        const int scale = size / artgen::kIconSize;
        const fs::path file = dir / ("chaser-" + std::to_string(size) + ".png");
        SDL_Surface* decoded = IMG_Load(file.string().c_str());
        ASSERT_NE(nullptr, decoded) << file << ": " << IMG_GetError();
        SDL_Surface* rgba = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGBA32, 0);
        SDL_FreeSurface(decoded);
        ASSERT_NE(nullptr, rgba) << SDL_GetError();
        EXPECT_EQ(size, rgba->w);
        EXPECT_EQ(size, rgba->h);
        int opaque = 0;
        int wrong = 0;
        for (int y = 0; y < rgba->h && y < size; ++y) {
            const auto* row = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch;
            for (int x = 0; x < rgba->w && x < size; ++x) {
                const uint8_t* p = row + 4 * x;
                const int sx = x / scale - left;
                const int sy = y / scale + kTop;
                if (sprite.Opaque(sx, sy)) {
                    const artgen::Rgb c = sprite.At(sx, sy);
                    wrong += p[0] != c.r || p[1] != c.g || p[2] != c.b || p[3] != 255 ? 1 : 0;
                    ++opaque;
                } else {
                    wrong += p[3] != 0 ? 1 : 0;
                }
            }
        }
        SDL_FreeSurface(rgba);
        EXPECT_EQ(0, wrong) << size << " pixels";
        // Most of the hat and the face: far more than a stray stroke.
        EXPECT_GT(opaque, size * size / 5) << size << " pixels";
    }

    // The maskable icon: opaque everywhere (a launcher cuts its own shape),
    // the figure inside the circle of 0.4 of the side that every such shape
    // keeps, and as large as a whole factor allows.
    SDL_Surface* decoded = IMG_Load((dir / artgen::kMaskableIconName).string().c_str());
    ASSERT_NE(nullptr, decoded) << IMG_GetError();
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(decoded);
    ASSERT_NE(nullptr, rgba) << SDL_GetError();
    const int side = artgen::kMaskableIconSize;
    ASSERT_EQ(side, rgba->w);
    ASSERT_EQ(side, rgba->h);
    const artgen::Rgb background = artgen::kMaskableIconBackground;
    int transparent = 0;
    int outside = 0;
    int minX = side;
    int maxX = -1;
    int minY = side;
    int maxY = -1;
    for (int y = 0; y < side; ++y) {
        const auto* row = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch;
        for (int x = 0; x < side; ++x) {
            const uint8_t* p = row + 4 * x;
            transparent += p[3] != 255 ? 1 : 0;
            if (p[0] == background.r && p[1] == background.g && p[2] == background.b) {
                continue;
            }
            // The pixel's farthest corner from the centre, in half pixels.
            const int64_t dx = std::max(std::abs(2 * x - side), std::abs(2 * x + 2 - side));
            const int64_t dy = std::max(std::abs(2 * y - side), std::abs(2 * y + 2 - side));
            outside += 25 * (dx * dx + dy * dy) > 16 * int64_t{side} * side ? 1 : 0;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    SDL_FreeSurface(rgba);
    EXPECT_EQ(0, transparent);
    EXPECT_EQ(0, outside);
    // The figure's longer side reaches past half the safe circle's diameter.
    EXPECT_GT(std::max(maxX - minX, maxY - minY) + 1, side * 4 / 10) << "the figure is small";
    fs::remove_all(dir);
}

}  // namespace
