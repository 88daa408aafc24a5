// The whole game on the real library with the generated art: Right held for
// 100 frames, then Escape. The game ends with status 0 and its last frame
// shows the player stopped at x = 573, drawn from the art's own pixels.
#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>

#include "library_fixture.h"

namespace dxtest {
namespace {

struct Sprite {
    SDL_Surface* pixels = nullptr;  // ARGB8888
    ~Sprite() { SDL_FreeSurface(pixels); }
};

// The art file as SDL reads it, in ARGB8888.
bool ReadArt(const std::string& name, Sprite* sprite) {
    SDL_Surface* loaded = SDL_LoadBMP((std::string(GAME_ART_DIR) + "/" + name).c_str());
    if (loaded == nullptr) {
        return false;
    }
    sprite->pixels = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    return sprite->pixels != nullptr;
}

uint32_t ArgbAt(SDL_Surface* s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
    return v;
}

uint32_t Rgb565At(SDL_Surface* s, int x, int y) {
    uint16_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 2, 2);
    return v;
}

class GameRunTest : public ::testing::Test {
  protected:
    // Counts the sprite's non-black pixels at (left, top) that the frame shows
    // exactly, and those it shows otherwise, outside the chaser's square and
    // within the game's drawing area (columns 100..599).
    void Compare(SDL_Surface* frame, SDL_Surface* sprite, int left, int top, const SDL_Rect& chaser,
                 int* same, int* different) {
        for (int y = 0; y < sprite->h; ++y) {
            for (int x = 0; x < sprite->w; ++x) {
                const int sx = left + x;
                const int sy = top + y;
                const uint32_t argb = ArgbAt(sprite, x, y);
                const SDL_Point point{sx, sy};
                if ((argb & 0xFFFFFF) == 0 || sx < 100 || sx >= 600 || sy < 0 || sy >= 480 ||
                    SDL_PointInRect(&point, &chaser)) {
                    continue;
                }
                const uint32_t r = (argb >> 16) & 0xFF;
                const uint32_t g = (argb >> 8) & 0xFF;
                const uint32_t b = argb & 0xFF;
                const uint32_t expected = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
                (Rgb565At(frame, sx, sy) == expected ? *same : *different) += 1;
            }
        }
    }

    TempDir dir_;
};

TEST_F(GameRunTest, HoldingRightFor100FramesStopsThePlayerAt573) {
    // Started from the test's own directory: the game finds its art beside
    // itself, in bin/resource/bmp. Unpaced: the frames count, not their pace.
    const ScopedVariable unpaced("DXLIBDLL_UNPACED", "1");
    ASSERT_EQ(0,
              RunShell(std::string("\"") + SCRIPTED_GAME + "\" \"" + dir_.path().string() + "\""));

    std::ifstream state(dir_.File("state.txt"));
    int frames = 0, playerX = 0, playerY = 0, chaserX = 0, chaserY = 0;
    ASSERT_TRUE(state >> frames >> playerX >> playerY >> chaserX >> chaserY);
    EXPECT_EQ(101, frames) << "100 frames moved, the 101st saw Escape";
    EXPECT_EQ(573, playerX);
    EXPECT_EQ(400, playerY);

    SDL_Surface* frame = SDL_LoadBMP(dir_.File("last-frame.bmp").c_str());
    ASSERT_NE(nullptr, frame) << SDL_GetError();
    SDL_Surface* frame565 = SDL_ConvertSurfaceFormat(frame, SDL_PIXELFORMAT_RGB565, 0);
    SDL_FreeSurface(frame);
    ASSERT_NE(nullptr, frame565);

    Sprite lower;
    Sprite upper;
    Sprite chaserSprite;
    ASSERT_TRUE(ReadArt("chr25-1.bmp", &lower));
    ASSERT_TRUE(ReadArt("chr25-2.bmp", &upper));
    ASSERT_TRUE(ReadArt("chr29-1.bmp", &chaserSprite));
    const SDL_Rect chaser{chaserX, chaserY, chaserSprite.pixels->w, chaserSprite.pixels->h};

    // At x = 573 the player's pixels are all there...
    int same = 0;
    int different = 0;
    Compare(frame565, lower.pixels, 573, 400, chaser, &same, &different);
    Compare(frame565, upper.pixels, 573, 250, chaser, &same, &different);
    EXPECT_GT(same, 200) << "too few of the player's pixels visible to tell";
    EXPECT_EQ(0, different);
    // ...and one step to either side they are not.
    for (int x : {570, 576}) {
        int shiftedSame = 0;
        int shiftedDifferent = 0;
        Compare(frame565, upper.pixels, x, 250, chaser, &shiftedSame, &shiftedDifferent);
        EXPECT_GT(shiftedDifferent, 0) << "the frame also matches a player at x = " << x;
    }
    SDL_FreeSurface(frame565);
}

}  // namespace
}  // namespace dxtest
