// What reaches the window: every 16-bit colour widened as SDL widens it, the
// picture scaled by whole factors and letterboxed, and the frame pacing.
#include "library_fixture.h"

namespace dxtest {
namespace {

void ExpectRect(const SDL_Rect& expected, const SDL_Rect& actual) {
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.w, actual.w);
    EXPECT_EQ(expected.h, actual.h);
}

TEST(PresentationRectTest, LargestWholeFactorCentred) {
    ExpectRect({0, 0, 640, 480}, dxsdl::PresentationRect(640, 480, 640, 480));
    ExpectRect({320, 60, 1280, 960}, dxsdl::PresentationRect(1920, 1080, 640, 480));
    ExpectRect({0, 0, 1280, 960}, dxsdl::PresentationRect(1280, 960, 640, 480));
    ExpectRect({0, 239, 1280, 960}, dxsdl::PresentationRect(1280, 1439, 640, 480));
    ExpectRect({0, 0, 1920, 1440}, dxsdl::PresentationRect(1920, 1440, 640, 480));
    ExpectRect({330, 10, 640, 480}, dxsdl::PresentationRect(1300, 500, 640, 480));
    ExpectRect({960, 0, 1920, 1440}, dxsdl::PresentationRect(3840, 1440, 640, 480));
}

TEST(PresentationRectTest, SmallerThanTheScreenShrinksToFit) {
    ExpectRect({0, 120, 320, 240}, dxsdl::PresentationRect(320, 480, 640, 480));
    ExpectRect({40, 0, 320, 240}, dxsdl::PresentationRect(400, 240, 640, 480));
    const SDL_Rect tiny = dxsdl::PresentationRect(0, 0, 640, 480);
    EXPECT_GE(tiny.w, 1);
    EXPECT_GE(tiny.h, 1);
}

using PresentationTest = LibraryTest;

// The shown frame as XRGB8888, read from the renderer.
std::vector<uint32_t> ShownPixels(int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    EXPECT_EQ(0, SDL_RenderReadPixels(dxsdl::VideoRenderer(), nullptr, SDL_PIXELFORMAT_RGB888,
                                      pixels.data(), width * 4))
        << SDL_GetError();
    return pixels;
}

TEST_F(PresentationTest, EverySixteenBitColourIsShownAsSdlWidensIt) {
    SDL_Surface* screen = Screen();
    for (int i = 0; i < 640 * 480; ++i) {
        const auto value = static_cast<uint16_t>(i & 0xFFFF);
        std::memcpy(
            static_cast<uint8_t*>(screen->pixels) + (i / 640) * screen->pitch + (i % 640) * 2,
            &value, 2);
    }
    ASSERT_EQ(0, dxScreenFlip());
    const std::vector<uint32_t> shown = ShownPixels(640, 480);
    for (int i = 0; i < 65536; ++i) {
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<Uint32>(i), screen->format, &r, &g, &b);
        const uint32_t expected = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
        ASSERT_EQ(expected, shown[static_cast<size_t>(i)] & 0xFFFFFF) << "RGB565 value " << i;
    }
}

TEST_F(PresentationTest, LargerWindowShowsWholeFactorScaledAndLetterboxed) {
    WriteBmp24(dir_.File("marks.bmp"), 2, 2, [](int x, int y) {
        return Rgba{static_cast<uint8_t>(x ? 255 : 0), static_cast<uint8_t>(y ? 255 : 0), 255, 255};
    });
    const int32_t marks = Load("marks.bmp");
    ASSERT_GE(marks, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, marks, 0));
    ASSERT_EQ(0, dxDrawGraph(638, 478, marks, 0));
    SDL_SetWindowSize(dxsdl::VideoWindow(), 1300, 980);
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(0, dxScreenFlip());
    int width = 0;
    int height = 0;
    ASSERT_EQ(0, SDL_GetRendererOutputSize(dxsdl::VideoRenderer(), &width, &height));
    ASSERT_EQ(1300, width);
    ASSERT_EQ(980, height);
    const std::vector<uint32_t> shown = ShownPixels(width, height);
    const auto at = [&](int x, int y) {
        return shown[static_cast<size_t>(y * width + x)] & 0xFFFFFF;
    };
    // Factor 2, centred: the picture covers (10, 10) .. (1289, 969).
    EXPECT_EQ(0u, at(9, 10));
    EXPECT_EQ(0u, at(10, 9));
    EXPECT_EQ(0x0000FFu, at(10, 10));
    EXPECT_EQ(0x0000FFu, at(11, 11));
    EXPECT_EQ(0xFF00FFu, at(12, 10));
    EXPECT_EQ(0xFF00FFu, at(13, 11));
    EXPECT_EQ(0x00FFFFu, at(10, 12));
    EXPECT_EQ(0xFFFFFFu, at(1289, 969));
    EXPECT_EQ(0xFFFFFFu, at(1288, 968));
    EXPECT_EQ(0u, at(1290, 969));
    EXPECT_EQ(0u, at(1289, 970));
}

TEST_F(PresentationTest, OffscreenDisplayHasNoRateSoTheTimerPaces) {
    dxsdl::SetPacingEnabled(true);
    EXPECT_EQ(dxsdl::PacingMethod::Timer, dxsdl::CurrentPacingMethod());
    dxsdl::SetPacingEnabled(false);
    EXPECT_EQ(dxsdl::PacingMethod::Off, dxsdl::CurrentPacingMethod());
}

TEST(FrameScheduleTest, DeadlinesAreExactOverTheLongRun) {
    // 1 MHz and 60 frames a second: 16666 ticks and 40/60 of one per frame.
    dxsdl::FrameSchedule schedule;
    schedule.Start(1000000, 60, 4);
    EXPECT_EQ(5000u, schedule.Due(5000)) << "the first frame is due at once";
    for (int frame = 1; frame <= 600; ++frame) {
        schedule.Advance();
        const uint64_t due = schedule.Due(5000);  // early: never before the deadline
        if (frame % 60 == 0) {
            EXPECT_EQ(5000u + static_cast<uint64_t>(frame / 60) * 1000000u, due) << frame;
        }
        const uint64_t exact = 5000u + static_cast<uint64_t>(frame) * 1000000u / 60u;
        EXPECT_EQ(exact, due) << frame;
    }
}

TEST(FrameScheduleTest, ShortLatenessIsMadeUpLongStallsStartAfresh) {
    dxsdl::FrameSchedule schedule;
    schedule.Start(60000, 60, 4);  // 1000 ticks a frame
    EXPECT_EQ(0u, schedule.Due(0));
    schedule.Advance();
    // Three frames late: the schedule keeps its deadlines.
    EXPECT_EQ(1000u, schedule.Due(4000));
    schedule.Advance();
    EXPECT_EQ(2000u, schedule.Due(4000));
    schedule.Advance();
    EXPECT_EQ(3000u, schedule.Due(4000));
    schedule.Advance();
    EXPECT_EQ(4000u, schedule.Due(4000));
    schedule.Advance();
    // Ten frames late: due now, and one frame apart from now on.
    EXPECT_EQ(15000u, schedule.Due(15000));
    schedule.Advance();
    EXPECT_EQ(16000u, schedule.Due(15100));
    // Exactly at the stall limit still counts as late, not stalled.
    schedule.Advance();
    EXPECT_EQ(17000u, schedule.Due(21000));
}

TEST(VsyncCheckTest, TrustsIntervalsOfAPeriodAndNotMuchShorterOnes) {
    dxsdl::VsyncCheck check;
    check.Start(1000);
    uint64_t now = 0;
    for (int frame = 0; frame < 200; ++frame) {
        now += frame % 7 == 0 ? 2000 : 1000;  // now and then a frame is missed
        ASSERT_TRUE(check.Record(now)) << frame;
    }
    check.Start(1000);
    bool trusted = true;
    for (int frame = 0; frame < 40 && trusted; ++frame) {
        now += 300;  // presenting returns at once: no wait happens
        trusted = check.Record(now);
    }
    EXPECT_FALSE(trusted);
}

}  // namespace
}  // namespace dxtest
