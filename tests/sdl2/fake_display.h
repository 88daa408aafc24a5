// The library's native pacing rule (FrameTurn, FrameShownAt) driven by a fake
// clock in microseconds, on a display that may refresh at another rate than
// the game's or be held back by a compositor. Shared by the pacing tests and
// the display_pacing tool.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pacing.h"

namespace fakeclock {

struct FakeDisplay {
    uint64_t milliHertz = 60000;  // its refresh rate, in thousandths of a hertz
    // Under vsync a frame handed over is shown at the first refresh at or
    // after that moment, so many refreshes later when a compositor holds the
    // window back, or at once where the system accepts vsync and never waits.
    uint32_t heldRefreshes = 0;
    bool waits = true;
    // The game wakes up to this many microseconds late, from a vertical
    // blank or from the timer's sleep (uniform, fixed seed).
    uint64_t jitterUs = 0;
};

struct PacedRun {
    uint64_t start = 0;           // when the first frame asked for its turn
    std::vector<uint64_t> shown;  // when each frame was shown
    dxsdl::PacingMethod method;   // at the end
    size_t timerFrom = 0;         // the first frame the timer paced (shown.size() if none)
};

// `seconds` of frames at the game's 60 a second, each taking the game
// `workUs` before it is handed over, starting with vsync.
inline PacedRun PaceOnFakeDisplay(const FakeDisplay& display, int seconds, uint64_t workUs = 300) {
    const auto refreshAt = [&display](uint64_t k) { return k * 1000000000 / display.milliHertz; };
    dxsdl::Pacer pacer;
    dxsdl::StartSchedule(pacer, 1000000);
    dxsdl::PaceWith(pacer, dxsdl::PacingMethod::Vsync);
    PacedRun run;
    bool switched = false;
    uint64_t seed = 0x9E3779B97F4A7C15u;
    const auto late = [&display, &seed] {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return (seed >> 33) % (display.jitterUs + 1);
    };
    uint64_t now = 1000000;
    const uint64_t end = now + static_cast<uint64_t>(seconds) * 1000000;
    while (now < end) {
        now += workUs;
        if (run.shown.empty()) {
            run.start = now;
        }
        const uint64_t turn = dxsdl::FrameTurn(pacer, now);
        if (pacer.method == dxsdl::PacingMethod::Vsync) {
            if (display.waits) {
                uint64_t k = now * display.milliHertz / 1000000000;
                while (refreshAt(k) < now) {
                    ++k;
                }
                now = refreshAt(k + display.heldRefreshes) + late();
            }
        } else {
            now = std::max(now, turn) + late();
        }
        if (!dxsdl::FrameShownAt(pacer, now)) {
            dxsdl::PaceWith(pacer, dxsdl::PacingMethod::Timer);
            run.timerFrom = run.shown.size() + 1;
            switched = true;
        }
        run.shown.push_back(now);
    }
    run.method = pacer.method;
    if (!switched) {
        run.timerFrom = run.shown.size();
    }
    return run;
}

}  // namespace fakeclock
