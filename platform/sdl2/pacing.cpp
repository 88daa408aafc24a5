// Pacing: frames are shown at the rate the game asked for, whatever the
// display's own rate.
//
// When the display runs at that rate and the renderer can wait for its
// vertical blank, showing a frame waits for it. Otherwise a timer keeps a
// schedule of absolute deadlines, one period apart in performance-counter
// ticks, so rounding never drifts the long-run rate; it sleeps through most of
// the wait and yields the processor for the last moment. After a stall of more
// than a few frames the schedule starts afresh instead of rushing through the
// frames it missed. In a web page the browser's animation frames are the
// clock.
#include "pacing.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace dxsdl {

void FrameSchedule::Start(uint64_t ticksPerSecond, int32_t framesPerSecond, int32_t stallFrames) {
    rate_ = static_cast<uint64_t>(std::max(framesPerSecond, 1));
    period_ = ticksPerSecond / rate_;
    remainder_ = ticksPerSecond % rate_;
    carried_ = 0;
    stallTicks_ = period_ * static_cast<uint64_t>(std::max(stallFrames, 1));
    started_ = false;
}

uint64_t FrameSchedule::Due(uint64_t now) {
    if (!started_ || (now > next_ && now - next_ > stallTicks_)) {
        next_ = now;
        carried_ = 0;
        started_ = true;
    }
    return next_;
}

void FrameSchedule::Advance() {
    next_ += period_;
    carried_ += remainder_;
    if (carried_ >= rate_) {
        carried_ -= rate_;
        next_ += 1;
    }
}

void DisplayFramePacer::Start(int32_t framesPerSecond, int32_t stallFrames) {
    schedule_.Start(1000000, framesPerSecond, stallFrames);
}

bool DisplayFramePacer::Offer(uint64_t nowUs) {
    if (nowUs + kToleranceUs < schedule_.Due(nowUs)) {
        return false;
    }
    schedule_.Advance();
    return true;
}

void VsyncCheck::Start(uint64_t periodTicks) {
    period_ = periodTicks;
    haveLast_ = false;
    count_ = 0;
}

bool VsyncCheck::Record(uint64_t shownAt) {
    if (!haveLast_) {
        last_ = shownAt;
        haveLast_ = true;
        return true;
    }
    intervals_[count_++] = shownAt - last_;
    last_ = shownAt;
    if (count_ < kWindow) {
        return true;
    }
    count_ = 0;
    std::nth_element(intervals_, intervals_ + kWindow / 2, intervals_ + kWindow);
    return intervals_[kWindow / 2] * 4 >= period_ * 3;
}

namespace {

const PacingTuning kDefaultTuning;

const PacingTuning& TuningOf(const Pacer& pacer) {
    return pacer.tuning != nullptr ? *pacer.tuning : kDefaultTuning;
}

void RestartSchedule(Pacer& pacer) {
    const int32_t stallFrames = TuningOf(pacer).stallFrames;
    pacer.schedule.Start(SDL_GetPerformanceFrequency(), pacer.rate, stallFrames);
    pacer.displayFrames.Start(pacer.rate, stallFrames);
}

}  // namespace

void StartPacing(Pacer& pacer, Window& window, int32_t rate) {
    pacer.rate = rate;
    pacer.vsyncDistrusted = false;
    ChoosePacingMethod(pacer, window);
}

void ChoosePacingMethod(Pacer& pacer, Window& window) {
    RestartSchedule(pacer);
    if (!pacer.enabled || pacer.unpacedSession) {
        SetVsync(window, false);
        pacer.method = PacingMethod::Off;
        return;
    }
    // Within one hertz: displays sold as 60 Hz report 59 or 60.
    const int displayRate = DisplayRefreshRate(window);
    if (!pacer.vsyncDistrusted && displayRate > 0 && std::abs(displayRate - pacer.rate) <= 1 &&
        SetVsync(window, true)) {
        pacer.method = PacingMethod::Vsync;
        pacer.vsyncCheck.Start(pacer.schedule.WholePeriod());
        return;
    }
    SetVsync(window, false);
    pacer.method = PacingMethod::Timer;
}

#ifdef __EMSCRIPTEN__
namespace {

// In a web page the game's loop, which never returns, must give control back
// to the browser for anything to be shown or any key to arrive: each frame
// waits here, its stack unwound and later rewound, until the browser's next
// animation frame, and gets that frame's start time in milliseconds. A hidden
// page gets no animation frames, so the game waits with it.
// clang-format off
EM_ASYNC_JS(double, WaitForAnimationFrame, (), {
    return await new Promise(function(resolve) { requestAnimationFrame(resolve); });
});
// clang-format on

}  // namespace

void AwaitAnimationFrame(Pacer& pacer) {
    // An unpaced replay runs as fast as it can, but still gives the browser
    // control now and then so the page stays alive and the canvas is shown.
    if (pacer.unpacedSession) {
        if (++pacer.unpacedSinceYield == 32) {
            pacer.unpacedSinceYield = 0;
            emscripten_sleep(0);
        }
        return;
    }
    // Shown at the first animation frame at or after the frame's deadline.
    for (;;) {
        const double startMs = std::max(WaitForAnimationFrame(), 0.0);
        if (pacer.method == PacingMethod::Off ||
            pacer.displayFrames.Offer(static_cast<uint64_t>(startMs * 1000.0))) {
            return;
        }
    }
}
#else
namespace {

uint64_t MillisecondsToTicks(double ms) {
    return static_cast<uint64_t>(ms * static_cast<double>(SDL_GetPerformanceFrequency()) / 1000.0);
}

void SleepUntil(const PacingTuning& tuning, uint64_t deadline) {
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t coarse = MillisecondsToTicks(tuning.coarseMarginMs);
    const uint64_t spin = MillisecondsToTicks(tuning.spinMarginMs);
    for (;;) {
        const uint64_t now = SDL_GetPerformanceCounter();
        if (now >= deadline) {
            return;
        }
        const uint64_t remaining = deadline - now;
        const uint64_t wholeMs = remaining > coarse ? (remaining - coarse) * 1000 / frequency : 0;
        if (wholeMs >= 1) {
            SDL_Delay(static_cast<Uint32>(wholeMs));
            continue;
        }
#ifndef _WIN32
        // Sub-millisecond sleeps are only that short outside Windows, where a
        // sleep lasts at least a timer tick.
        if (remaining > spin) {
            const uint64_t us = (remaining - spin) * 1000000 / frequency;
            if (us > 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(us));
                continue;
            }
        }
#else
        (void)spin;
#endif
        std::this_thread::yield();
    }
}

}  // namespace

void AwaitFrameTurn(Pacer& pacer) {
    if (pacer.method == PacingMethod::Timer) {
        SleepUntil(TuningOf(pacer), pacer.schedule.Due(SDL_GetPerformanceCounter()));
    }
}

void FrameShown(Pacer& pacer, Window& window) {
    if (pacer.method == PacingMethod::Timer) {
        pacer.schedule.Advance();
    } else if (pacer.method == PacingMethod::Vsync &&
               !pacer.vsyncCheck.Record(SDL_GetPerformanceCounter())) {
        pacer.vsyncDistrusted = true;
        ChoosePacingMethod(pacer, window);
    }
}
#endif

}  // namespace dxsdl
