// What reaches the window: every 16-bit colour widened as SDL widens it, the
// picture scaled by whole factors and letterboxed, and the frame pacing.
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "fake_display.h"
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

// Both ways of showing a frame: the window's framebuffer (the tests' default,
// SDL_FRAMEBUFFER_ACCELERATION=0) and an accelerated renderer, asked for over
// the environment where one can be made here.
class PresentationTest : public LibraryTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        if (GetParam()) {
            // The GL driver behind the renderer is unloaded before the leak
            // check runs, so what it keeps cannot be told from our own leaks.
            GTEST_SKIP() << "the accelerated renderer is checked in the plain build";
        }
#endif
        if (GetParam()) {
            SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1", SDL_HINT_OVERRIDE);
        }
        LibraryTest::SetUp();
        if (GetParam() && dxsdl::VideoRenderer() == nullptr) {
            GTEST_SKIP() << "no accelerated renderer on this machine";
        }
        if (!GetParam()) {
            ASSERT_EQ(nullptr, dxsdl::VideoRenderer());
        }
    }

    // The shown frame as XRGB8888.
    std::vector<uint32_t> ShownPixels(int* width, int* height) {
        std::vector<uint32_t> pixels;
        if (dxsdl::VideoRenderer() != nullptr) {
            EXPECT_EQ(0, SDL_GetRendererOutputSize(dxsdl::VideoRenderer(), width, height));
            pixels.resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
            EXPECT_EQ(0, SDL_RenderReadPixels(dxsdl::VideoRenderer(), nullptr,
                                              SDL_PIXELFORMAT_RGB888, pixels.data(), *width * 4))
                << SDL_GetError();
            return pixels;
        }
        SDL_Surface* output = SDL_GetWindowSurface(dxsdl::VideoWindow());
        EXPECT_NE(nullptr, output);
        *width = output->w;
        *height = output->h;
        pixels.resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
        EXPECT_EQ(
            0, SDL_ConvertPixels(output->w, output->h, output->format->format, output->pixels,
                                 output->pitch, SDL_PIXELFORMAT_RGB888, pixels.data(), *width * 4));
        return pixels;
    }
};

INSTANTIATE_TEST_SUITE_P(Presenters, PresentationTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "Renderer" : "WindowSurface");
                         });

TEST_P(PresentationTest, EverySixteenBitColourIsShownAsSdlWidensIt) {
    SDL_Surface* screen = Screen();
    for (int i = 0; i < 640 * 480; ++i) {
        const auto value = static_cast<uint16_t>(i & 0xFFFF);
        std::memcpy(
            static_cast<uint8_t*>(screen->pixels) + (i / 640) * screen->pitch + (i % 640) * 2,
            &value, 2);
    }
    ASSERT_EQ(0, dxScreenFlip());
    int width = 0;
    int height = 0;
    const std::vector<uint32_t> shown = ShownPixels(&width, &height);
    ASSERT_EQ(640, width);
    ASSERT_EQ(480, height);
    for (int i = 0; i < 65536; ++i) {
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<Uint32>(i), screen->format, &r, &g, &b);
        const uint32_t expected = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
        ASSERT_EQ(expected, shown[static_cast<size_t>(i)] & 0xFFFFFF) << "RGB565 value " << i;
    }
}

TEST_P(PresentationTest, LargerWindowShowsWholeFactorScaledAndLetterboxed) {
    if (GetParam()) {
        // The offscreen driver's GL surface keeps the window's first size, so
        // what a larger window would show cannot be read back here.
        GTEST_SKIP() << "the offscreen GL surface does not grow with the window";
    }
    WriteBmp24(dir_.File("marks.bmp"), 2, 2, [](int x, int y) {
        return Rgba{static_cast<uint8_t>(x ? 255 : 0), static_cast<uint8_t>(y ? 255 : 0), 255, 255};
    });
    const int32_t marks = Load("marks.bmp");
    ASSERT_GE(marks, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, marks, 0));
    ASSERT_EQ(0, dxDrawGraph(638, 478, marks, 0));
    for (int frame = 0; frame < 2; ++frame) {  // the bars stay black frame after frame
        SDL_SetWindowSize(dxsdl::VideoWindow(), 1300, 980);
        ASSERT_EQ(0, dxProcessMessage());
        ASSERT_EQ(0, dxScreenFlip());
    }
    int width = 0;
    int height = 0;
    const std::vector<uint32_t> shown = ShownPixels(&width, &height);
    ASSERT_EQ(1300, width);
    ASSERT_EQ(980, height);
    const auto at = [&](int x, int y) {
        return shown[static_cast<size_t>(y * width + x)] & 0xFFFFFF;
    };
    // Factor 2, centred: the picture covers (10, 10) .. (1289, 969).
    EXPECT_EQ(0u, at(0, 0));
    EXPECT_EQ(0u, at(9, 10));
    EXPECT_EQ(0u, at(10, 9));
    EXPECT_EQ(0x0000FFu, at(10, 10));
    EXPECT_EQ(0x0000FFu, at(11, 11));
    EXPECT_EQ(0xFF00FFu, at(12, 10));
    EXPECT_EQ(0xFF00FFu, at(13, 11));
    EXPECT_EQ(0x00FFFFu, at(10, 12));
    EXPECT_EQ(0u, at(14, 10));
    EXPECT_EQ(0xFFFFFFu, at(1289, 969));
    EXPECT_EQ(0xFFFFFFu, at(1288, 968));
    EXPECT_EQ(0u, at(1290, 969));
    EXPECT_EQ(0u, at(1289, 970));
    EXPECT_EQ(0u, at(1299, 979));
}

TEST_P(PresentationTest, WindowSmallerThanTheScreenShowsItShrunk) {
    WriteSolidBmp(dir_.File("white.bmp"), 640, 480, Rgba{255, 255, 255, 255});
    const int32_t white = Load("white.bmp");
    ASSERT_GE(white, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, white, 0));
    SDL_SetWindowSize(dxsdl::VideoWindow(), 320, 480);
    ASSERT_EQ(0, dxProcessMessage());
    ASSERT_EQ(0, dxScreenFlip());
    int width = 0;
    int height = 0;
    const std::vector<uint32_t> shown = ShownPixels(&width, &height);
    ASSERT_EQ(320, width);
    // Fitted to the width: rows 120..359 show the picture.
    EXPECT_EQ(0u, shown[static_cast<size_t>(119 * width + 160)] & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, shown[static_cast<size_t>(120 * width + 160)] & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, shown[static_cast<size_t>(359 * width + 0)] & 0xFFFFFF);
    EXPECT_EQ(0u, shown[static_cast<size_t>(360 * width + 319)] & 0xFFFFFF);
}

TEST_P(PresentationTest, OffscreenDisplayHasNoRateSoTheTimerPaces) {
    dxsdl::SetPacingEnabled(true);
    EXPECT_EQ(dxsdl::PacingMethod::Timer, dxsdl::CurrentPacingMethod());
    dxsdl::SetPacingEnabled(false);
    EXPECT_EQ(dxsdl::PacingMethod::Off, dxsdl::CurrentPacingMethod());
}

// Settings that mean nothing get one line each, and the frames are paced as
// usual: DXLIBDLL_UNPACED other than empty, 0 or 1 (it used to be ignored in
// silence), and a margin of the frame timer that is no number of
// milliseconds from 0 to 1000 (its conversion to counter ticks was undefined
// for NaN or a negative).
TEST(PacingSettingsTest, ValuesThatMeanNothingGetOneLineAndFramesStayPaced) {
    struct Case {
        const char* unpaced;
        double yieldMarginMs;
        const char* said;  // null: nothing
        dxsdl::PacingMethod method;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"", 0.2, nullptr, dxsdl::PacingMethod::Timer},
        {"0", 0.2, nullptr, dxsdl::PacingMethod::Timer},
        {"1", 0.2, nullptr, dxsdl::PacingMethod::Off},
        {"true", 0.2, "DXLIBDLL_UNPACED=\"true\" is neither 0 nor 1", dxsdl::PacingMethod::Timer},
        {"yes", 0.2, "DXLIBDLL_UNPACED=\"yes\"", dxsdl::PacingMethod::Timer},
        {"2", 0.2, "DXLIBDLL_UNPACED=\"2\"", dxsdl::PacingMethod::Timer},
        {" 1", 0.2, "DXLIBDLL_UNPACED=\" 1\"", dxsdl::PacingMethod::Timer},
        {"", nan, "yield margin of NaN ms", dxsdl::PacingMethod::Timer},
        {"", -1.0, "yield margin of -1 ms", dxsdl::PacingMethod::Timer},
        {"", -infinity, "yield margin of -infinity ms", dxsdl::PacingMethod::Timer},
        {"", 1e300, "yield margin of 1e+300 ms", dxsdl::PacingMethod::Timer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("DXLIBDLL_UNPACED=\"") + c.unpaced + "\", margin " +
                     std::to_string(c.yieldMarginMs));
#ifdef _WIN32
        _putenv_s("DXLIBDLL_UNPACED", c.unpaced);  // empty: removed
#else
        setenv("DXLIBDLL_UNPACED", c.unpaced, 1);
#endif
        dxsdl::Tuning().spinMarginMs = c.yieldMarginMs;
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(0, dxSetGraphMode(640, 480, 16, 60));
        ASSERT_EQ(0, dxDxLib_Init());
        EXPECT_EQ(c.method, dxsdl::CurrentPacingMethod());
        for (int frame = 0; frame < 3; ++frame) {
            EXPECT_EQ(0, dxScreenFlip());
        }
        EXPECT_EQ(0, dxDxLib_End());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.said != nullptr ? 1 : 0, std::count(said.begin(), said.end(), '\n')) << said;
        if (c.said != nullptr) {
            EXPECT_NE(std::string::npos, said.find(c.said)) << said;
        }
    }
#ifdef _WIN32
    _putenv_s("DXLIBDLL_UNPACED", "");
#else
    unsetenv("DXLIBDLL_UNPACED");
#endif
    dxsdl::Tuning() = dxsdl::PacingTuning{};
}

// A mode whose width is no multiple of the eight pixels widened at a time,
// shown at the first window's whole factor and then at 1.
TEST(OddModeTest, EveryPixelIsShownAtAnyFactor) {
    ASSERT_EQ(0, dxSetGraphMode(21, 3, 16, 60));
    ASSERT_EQ(0, dxDxLib_Init());
    dxsdl::SetPacingEnabled(false);
    SDL_Surface* screen = dxsdl::BackBuffer();
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 21; ++x) {
            const auto value = static_cast<uint16_t>((y * 21 + x) * 3119 + 17);
            std::memcpy(static_cast<uint8_t*>(screen->pixels) + y * screen->pitch + x * 2, &value,
                        2);
        }
    }
    for (bool resize : {false, true}) {
        if (resize) {
            SDL_SetWindowSize(dxsdl::VideoWindow(), 21, 3);
            ASSERT_EQ(0, dxProcessMessage());
        }
        ASSERT_EQ(0, dxScreenFlip());
        SDL_Surface* output = SDL_GetWindowSurface(dxsdl::VideoWindow());
        ASSERT_NE(nullptr, output);
        const SDL_Rect place = dxsdl::PresentationRect(output->w, output->h, 21, 3);
        const int scale = place.w / 21;
        ASSERT_GE(scale, 1);
        EXPECT_EQ(resize ? 1 : 8, scale) << "the first window is as large as fits, up to 8";
        for (int y = 0; y < place.h; ++y) {
            for (int x = 0; x < place.w; ++x) {
                uint16_t value;
                std::memcpy(&value,
                            static_cast<uint8_t*>(screen->pixels) + (y / scale) * screen->pitch +
                                (x / scale) * 2,
                            2);
                Uint8 r, g, b;
                SDL_GetRGB(value, screen->format, &r, &g, &b);
                uint32_t shown;
                std::memcpy(&shown,
                            static_cast<uint8_t*>(output->pixels) + (place.y + y) * output->pitch +
                                (place.x + x) * 4,
                            4);
                ASSERT_EQ((uint32_t{r} << 16) | (uint32_t{g} << 8) | b, shown & 0xFFFFFF)
                    << "at " << x << "," << y << " of factor " << scale;
            }
        }
    }
    EXPECT_EQ(0, dxDxLib_End());
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

// A browser's animation frames at the display's rate, with the jitter of its
// clock, and a page hidden for five seconds in the middle: the game shows 60
// frames a second on every display, one period apart on average, and after
// the pause goes on at that rate instead of rushing through the missed frames.
TEST(DisplayFramePacerTest, SixtyFramesASecondOnAnyDisplayAndNoRushAfterAPause) {
    for (const int hz : {60, 75, 120, 144, 165, 240}) {
        dxsdl::DisplayFramePacer pacer;
        pacer.Start(60, 4);
        uint64_t seed = 12345;
        const auto jitterUs = [&seed] {  // -300 to +300 microseconds
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            return static_cast<int64_t>((seed >> 33) % 601) - 300;
        };
        const auto displayFrameUs = [hz, &jitterUs](int64_t k) {
            return static_cast<uint64_t>(1000000 + k * 1000000 / hz + jitterUs());
        };
        std::vector<uint64_t> shown;
        int64_t k = 0;
        for (; k < 10 * hz; ++k) {  // ten seconds
            const uint64_t now = displayFrameUs(k);
            if (pacer.Offer(now)) {
                shown.push_back(now);
            }
        }
        ASSERT_NEAR(600.0, static_cast<double>(shown.size()), 1.0) << hz << " Hz";
        const double meanMs =
            static_cast<double>(shown.back() - shown.front()) / 1000.0 / (shown.size() - 1);
        EXPECT_NEAR(1000.0 / 60.0, meanMs, 0.05) << hz << " Hz";
        for (size_t i = 1; i < shown.size(); ++i) {
            // Never a frame early by more than the clock's jitter, never one
            // display frame later than needed.
            const double intervalMs = static_cast<double>(shown[i] - shown[i - 1]) / 1000.0;
            ASSERT_GT(intervalMs, 1000.0 / 60.0 - 1000.0 / hz - 1.0) << hz << " Hz, frame " << i;
            ASSERT_LT(intervalMs, 1000.0 / 60.0 + 1000.0 / hz + 1.0) << hz << " Hz, frame " << i;
            if (hz % 60 == 0) {  // every frame on its own display frame, none skipped
                ASSERT_LT(intervalMs, 1000.0 / 60.0 + 500.0 / hz) << hz << " Hz, frame " << i;
            }
        }

        // Hidden for five seconds: no display frames at all.
        k += 5 * hz;
        size_t afterPause = 0;
        const uint64_t back = displayFrameUs(k);
        for (const int64_t end = k + hz; k < end; ++k) {  // one more second
            afterPause += pacer.Offer(displayFrameUs(k)) ? 1 : 0;
        }
        EXPECT_TRUE(afterPause >= 59 && afterPause <= 61)
            << hz << " Hz: " << afterPause << " frames in the second after the pause";
        EXPECT_GT(back, shown.back() + 5000000u);
    }
}

// The native rule under a fake clock, vsync tried first, the game waking up
// to 0.3 ms late: a display at the game's very rate keeps it, every frame on
// its own refresh; one at 59 or
// 61 Hz, a compositor that holds the window back a refresh, and a system that
// accepts vsync and never waits lose it to the timer, and in each case the
// game shows exactly 3,600 frames in a minute.
TEST(NativePacingTest, SixtyFramesASecondOnAnyDisplayAndUnderAThrottlingCompositor) {
    struct Case {
        const char* name;
        fakeclock::FakeDisplay display;
        dxsdl::PacingMethod kept;
    };
    const Case cases[] = {
        {"60 Hz", {60000, 0, true, 300}, dxsdl::PacingMethod::Vsync},
        {"59 Hz", {59000, 0, true, 300}, dxsdl::PacingMethod::Timer},
        {"61 Hz", {61000, 0, true, 300}, dxsdl::PacingMethod::Timer},
        {"a compositor holding each frame a refresh",
         {60000, 1, true, 300},
         dxsdl::PacingMethod::Timer},
        {"no wait at all", {60000, 0, false, 300}, dxsdl::PacingMethod::Timer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fakeclock::PacedRun run = fakeclock::PaceOnFakeDisplay(c.display, 62);
        EXPECT_EQ(c.kept, run.method);
        const auto inAMinute =
            std::count_if(run.shown.begin(), run.shown.end(),
                          [&run](uint64_t t) { return t < run.start + 60000000; });
        EXPECT_EQ(3600, inAMinute);
        // Found out within two seconds; no two frames further apart than
        // three periods, the longest being the wait after frames vsync showed
        // early, until the schedule has caught up with them.
        EXPECT_LE(run.timerFrom, c.kept == dxsdl::PacingMethod::Vsync ? run.shown.size() : 120u);
        for (size_t i = 1; i < run.shown.size(); ++i) {
            const uint64_t interval = run.shown[i] - run.shown[i - 1];
            ASSERT_LE(interval, 50000u) << "frame " << i;
            if (c.kept == dxsdl::PacingMethod::Vsync) {
                ASSERT_NEAR(16666.7, static_cast<double>(interval), 301.0) << "frame " << i;
            }
        }
    }
}

}  // namespace
}  // namespace dxtest
