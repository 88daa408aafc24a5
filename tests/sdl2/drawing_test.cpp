// The back buffer's pixels after drawing: transparency, the drawing area,
// sprites partly or wholly off screen, colour reduction, order, clearing.
#include <climits>

#include "library_fixture.h"

namespace dxtest {
namespace {

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

// An 8x8 image whose every pixel differs from every other, with pure black
// holes at a third of them in a diagonal pattern.
bool IsHole(int x, int y) {
    return (x + 2 * y) % 3 == 0;
}
Rgba Distinct(int x, int y) {
    if (IsHole(x, y)) {
        return kBlack;
    }
    return Rgba{static_cast<uint8_t>(8 + x * 16), static_cast<uint8_t>(8 + y * 16), 200, 255};
}

class DrawingTest : public LibraryTest {
  protected:
    // A 640x480 image of one colour, drawn to give the screen a background.
    void FillScreen(Rgba colour) {
        const std::string name = "fill" + std::to_string(fills_++) + ".bmp";
        WriteSolidBmp(dir_.File(name), 640, 480, colour);
        const int32_t handle = Load(name);
        ASSERT_GE(handle, 0);
        ASSERT_EQ(0, dxDrawGraph(0, 0, handle, 0));
    }

    int32_t DistinctImage() {
        WriteBmp24(dir_.File("distinct.bmp"), 8, 8, Distinct);
        return Load("distinct.bmp");
    }

    // Expects the 8x8 distinct image drawn at (x, y) over a white screen,
    // seen only where it is on screen; its holes white with transparency,
    // black without.
    void ExpectDistinctAt(int x, int y, bool transparent) {
        for (int sy = 0; sy < 480; ++sy) {
            for (int sx = 0; sx < 640; ++sx) {
                const int ix = sx - x;
                const int iy = sy - y;
                const bool inside = ix >= 0 && ix < 8 && iy >= 0 && iy < 8;
                uint32_t expected = Mapped(kWhite);
                if (inside && !(transparent && IsHole(ix, iy))) {
                    expected = Mapped(Distinct(ix, iy));
                }
                ASSERT_EQ(expected, PixelAt(sx, sy)) << "at " << sx << "," << sy;
            }
        }
    }

    int fills_ = 0;
};

TEST_F(DrawingTest, ColourKeyLeavesPureBlackPixelsUndrawn) {
    FillScreen(kRed);
    // A ring: black in the middle, blue around it.
    WriteBmp24(dir_.File("ring.bmp"), 4, 4, [](int x, int y) {
        return (x == 1 || x == 2) && (y == 1 || y == 2) ? kBlack : kBlue;
    });
    const int32_t ring = Load("ring.bmp");
    ASSERT_GE(ring, 0);
    ASSERT_EQ(0, dxDrawGraph(10, 20, ring, 1));
    EXPECT_EQ(Mapped(kBlue), PixelAt(10, 20));
    EXPECT_EQ(Mapped(kRed), PixelAt(11, 21));  // the background shows through
    EXPECT_EQ(Mapped(kRed), PixelAt(12, 22));
    EXPECT_EQ(Mapped(kBlue), PixelAt(13, 23));
    // Without the flag black is a colour like any other.
    ASSERT_EQ(0, dxDrawGraph(100, 20, ring, 0));
    EXPECT_EQ(0u, PixelAt(101, 21));
    EXPECT_EQ(Mapped(kBlue), PixelAt(100, 20));
}

TEST_F(DrawingTest, DarkColourThatReducesToBlackStaysOpaque) {
    FillScreen(kWhite);
    // (7, 3, 7) has no bits left in RGB565, but it is not black in the file.
    WriteBmp24(dir_.File("dark.bmp"), 2, 1, [](int x, int) {
        return x == 0 ? Rgba{7, 3, 7, 255} : kBlack;
    });
    const int32_t dark = Load("dark.bmp");
    ASSERT_GE(dark, 0);
    ASSERT_EQ(0, dxDrawGraph(50, 60, dark, 1));
    EXPECT_EQ(0u, PixelAt(50, 60));              // drawn, as black
    EXPECT_EQ(Mapped(kWhite), PixelAt(51, 60));  // transparent
}

TEST_F(DrawingTest, ColoursAreReducedToRgb565AsSdlReducesThem) {
    const Rgba colours[] = {{255, 130, 77, 255},
                            {1, 2, 3, 255},
                            {8, 4, 8, 255},
                            {254, 253, 252, 255},
                            {17, 99, 200, 255}};
    WriteBmp24(dir_.File("colours.bmp"), 5, 1, [&](int x, int) { return colours[x]; });
    const int32_t handle = Load("colours.bmp");
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, handle, 0));
    ASSERT_EQ(static_cast<uint32_t>(SDL_PIXELFORMAT_RGB565), Screen()->format->format);
    for (int x = 0; x < 5; ++x) {
        const Rgba c = colours[x];
        const uint32_t rgb565 = ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3);
        EXPECT_EQ(rgb565, PixelAt(x, 0)) << "colour " << x;
        EXPECT_EQ(Mapped(c), PixelAt(x, 0)) << "colour " << x;
    }
}

TEST_F(DrawingTest, DrawingAreaEdgesAreInclusiveLeftTopExclusiveRightBottom) {
    ASSERT_EQ(0, dxSetDrawArea(100, 50, 200, 150));
    FillScreen(kGreen);
    const uint32_t green = Mapped(kGreen);
    for (int y : {49, 50, 100, 149, 150}) {
        for (int x : {0, 99, 100, 150, 199, 200, 639}) {
            const bool inside = x >= 100 && x < 200 && y >= 50 && y < 150;
            EXPECT_EQ(inside ? green : 0u, PixelAt(x, y)) << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(100 * 100, NonBlackPixels());
}

TEST_F(DrawingTest, DrawingAreaIsClampedToTheScreen) {
    ASSERT_EQ(0, dxSetDrawArea(-50, -60, 5000, 7000));
    FillScreen(kGreen);
    EXPECT_EQ(640 * 480, NonBlackPixels());
    // An inverted or empty area lets nothing through.
    ASSERT_EQ(0, dxClearDrawScreen());
    ASSERT_EQ(0, dxSetDrawArea(300, 10, 200, 400));
    FillScreen(kGreen);
    EXPECT_EQ(0, NonBlackPixels());
}

TEST_F(DrawingTest, GameDrawingAreaCutsSpritesAtColumns100And599) {
    ASSERT_EQ(0, dxSetDrawArea(100, 0, 600, 480));
    const int32_t handle = DistinctImage();
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, dxDrawGraph(96, 0, handle, 1));
    ASSERT_EQ(0, dxDrawGraph(596, 0, handle, 1));
    EXPECT_EQ(0u, PixelAt(99, 0));
    EXPECT_EQ(Mapped(Distinct(4, 0)), PixelAt(100, 0));
    EXPECT_EQ(Mapped(Distinct(3, 7)), PixelAt(599, 7));
    EXPECT_EQ(0u, PixelAt(600, 7));
    int visible = 0;  // the image's columns 4..7 and 0..3, holes left out
    for (int iy = 0; iy < 8; ++iy) {
        for (int ix = 0; ix < 8; ++ix) {
            visible += IsHole(ix, iy) ? 0 : 1;
        }
    }
    EXPECT_EQ(visible, NonBlackPixels());
}

struct Placement {
    const char* side;
    int x;
    int y;
};

void PrintTo(const Placement& placement, std::ostream* out) {
    *out << placement.side << " (" << placement.x << ", " << placement.y << ")";
}

class OffScreenTest : public DrawingTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(OffScreenTest, SpritePartlyOffScreenShowsItsVisiblePart) {
    const int32_t handle = DistinctImage();
    ASSERT_GE(handle, 0);
    for (int flag : {0, 1}) {
        FillScreen(kWhite);
        ASSERT_EQ(0, dxDrawGraph(GetParam().x, GetParam().y, handle, flag));
        ExpectDistinctAt(GetParam().x, GetParam().y, flag != 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EachSide, OffScreenTest,
                         ::testing::Values(Placement{"left", -3, 10}, Placement{"top", 20, -5},
                                           Placement{"right", 636, 30},
                                           Placement{"bottom", 40, 475},
                                           Placement{"topLeftCorner", -7, -7},
                                           Placement{"bottomRightCorner", 639, 479}),
                         [](const auto& info) { return std::string(info.param.side); });

TEST_F(DrawingTest, SpriteWhollyOffScreenDrawsNothingAtAnyCoordinates) {
    const int32_t handle = DistinctImage();
    ASSERT_GE(handle, 0);
    const int32_t places[][2] = {{-8, 0},
                                 {640, 0},
                                 {0, -8},
                                 {0, 480},
                                 {INT32_MIN, 0},
                                 {INT32_MAX, 0},
                                 {0, INT32_MIN},
                                 {0, INT32_MAX},
                                 {INT32_MAX - 3, 10},
                                 {INT32_MIN + 1, INT32_MIN + 1},
                                 {INT32_MAX, INT32_MAX}};
    for (const auto& place : places) {
        for (int flag : {0, 1}) {
            EXPECT_EQ(0, dxDrawGraph(place[0], place[1], handle, flag));
        }
    }
    EXPECT_EQ(0, NonBlackPixels());
}

TEST_F(DrawingTest, LaterDrawsCoverEarlierOnes) {
    WriteSolidBmp(dir_.File("red.bmp"), 10, 10, kRed);
    WriteBmp24(dir_.File("cross.bmp"), 10, 10,
               [](int x, int y) { return x == 5 || y == 5 ? kBlue : kBlack; });
    const int32_t red = Load("red.bmp");
    const int32_t cross = Load("cross.bmp");
    ASSERT_GE(red, 0);
    ASSERT_GE(cross, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, red, 1));
    ASSERT_EQ(0, dxDrawGraph(0, 0, cross, 1));
    EXPECT_EQ(Mapped(kBlue), PixelAt(5, 0));
    EXPECT_EQ(Mapped(kRed), PixelAt(4, 0));
    // And the other way round.
    ASSERT_EQ(0, dxDrawGraph(0, 0, red, 1));
    EXPECT_EQ(Mapped(kRed), PixelAt(5, 0));
}

TEST_F(DrawingTest, ClearBlackensTheWholeBufferWhateverTheDrawingArea) {
    FillScreen(kWhite);
    ASSERT_EQ(0, dxSetDrawArea(100, 0, 600, 480));
    ASSERT_EQ(0, dxClearDrawScreen());
    EXPECT_EQ(0, NonBlackPixels());
}

TEST_F(DrawingTest, InvalidHandlesDrawNothingAndFail) {
    const int32_t handle = DistinctImage();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(-1, dxDrawGraph(0, 0, -1, 1));
    EXPECT_EQ(-1, dxDrawGraph(0, 0, handle + 1, 1));
    EXPECT_EQ(-1, dxDrawGraph(0, 0, INT32_MAX, 0));
    EXPECT_EQ(-1, dxDrawGraph(0, 0, INT32_MIN, 0));
    EXPECT_EQ(0, NonBlackPixels());
}

TEST_F(DrawingTest, HandlesNameNothingAfterShutDown) {
    const int32_t handle = DistinctImage();
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, dxDxLib_End());
    EXPECT_EQ(-1, dxDrawGraph(0, 0, handle, 0));
    ASSERT_EQ(0, dxDxLib_Init());
    dxsdl::SetPacingEnabled(false);
    EXPECT_EQ(-1, dxDrawGraph(0, 0, handle, 0));
    EXPECT_EQ(0, NonBlackPixels());
}

class Drawing32Test : public DrawingTest {
  protected:
    int32_t Bits() const override { return 32; }
};

TEST_F(Drawing32Test, KeepsFullColourAndTheSameTransparency) {
    ASSERT_EQ(static_cast<uint32_t>(SDL_PIXELFORMAT_RGB888), Screen()->format->format);
    FillScreen(kWhite);
    WriteBmp24(dir_.File("mixed.bmp"), 3, 1, [](int x, int) {
        return x == 0 ? Rgba{1, 2, 3, 255} : x == 1 ? kBlack : Rgba{255, 130, 77, 255};
    });
    const int32_t handle = Load("mixed.bmp");
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, handle, 1));
    EXPECT_EQ(0x010203u, PixelAt(0, 0));
    EXPECT_EQ(0xFFFFFFu, PixelAt(1, 0));
    EXPECT_EQ(0xFF824Du, PixelAt(2, 0));
}

}  // namespace
}  // namespace dxtest
