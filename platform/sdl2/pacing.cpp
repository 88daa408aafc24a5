// Pacing: frames are shown at the rate the game asked for, whatever the
// display's own rate.
//
// A schedule of absolute deadlines, one period apart in performance-counter
// ticks, so rounding never drifts the long-run rate, is the measure of every
// frame. When the display reports the game's rate and the renderer can wait
// for its vertical blank, showing a frame waits for it, for as long as the
// frames shown keep to the schedule (a display that reports 60 Hz may run at
// 59.5, or a compositor hold the window back). Otherwise a timer waits for
// each deadline: it sleeps through most of the wait and yields the processor
// for the last moment. After a stall of more than a few frames the schedule
// starts afresh instead of rushing through the frames it missed. In a web
// page the browser's animation frames are the clock.
#include "pacing.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "messages.h"
#include "real_compare.h"
#include "video.h"

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
    restarted_ = !started_ || (now > next_ && now - next_ > stallTicks_);
    if (restarted_) {
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

void VsyncCheck::Start(uint64_t periodTicks, uint64_t stallTicks) {
    period_ = periodTicks;
    stall_ = stallTicks;
    haveReference_ = false;
}

bool VsyncCheck::Record(uint64_t askedAt, uint64_t due, bool restarted, uint64_t shownAt) {
    if (shownAt - askedAt > stall_) {
        return false;  // no refresh takes that long: the window was held back
    }
    // Negative when the frame was shown before its time (C++20 wraps it so).
    const auto offset = static_cast<int64_t>(shownAt - due);
    if (!haveReference_ || restarted) {
        reference_ = offset;
        haveReference_ = true;
        return true;
    }
    const auto drift = offset - reference_;
    const auto bound = static_cast<int64_t>(period_ + period_ / 2);
    return drift <= bound && drift >= -bound;
}

namespace {

// Milliseconds in ticks of a counter of `ticksPerSecond`: 0 for anything
// that is not a positive number, and capped far beyond any wait, so the
// conversion is defined for every value.
uint64_t MillisecondsToTicks(double ms, uint64_t ticksPerSecond) {
    if (!RealGreater(ms, 0.0)) {
        return 0;
    }
    const double ticks = ms * static_cast<double>(ticksPerSecond) / 1000.0;
    constexpr double kCap = 0x1p62;
    return RealGreaterEqual(ticks, kCap) ? static_cast<uint64_t>(kCap)
                                         : static_cast<uint64_t>(ticks);
}

// A margin of the tuning in counter ticks; one that is not a number of
// milliseconds from 0 to 1000 gets a line, and the usual one is used.
uint64_t MarginTicks(double ms, double usual, const char* what, uint64_t ticksPerSecond) {
    if (RealLess(ms, 0.0) || RealGreater(ms, 1000.0)) {
        // Spelt out here: C libraries differ in how they print these.
        char given[32];
        char used[32];
        if (std::isnan(ms)) {
            std::snprintf(given, sizeof given, "NaN");
        } else if (std::isinf(ms)) {
            std::snprintf(given, sizeof given, "%sinfinity", std::signbit(ms) ? "-" : "");
        } else {
            std::snprintf(given, sizeof given, "%g", ms);
        }
        std::snprintf(used, sizeof used, "%g", usual);
        ReportLine(std::string("the frame timer's ") + what + " margin of " + given +
                   " ms is not a number of milliseconds from 0 to 1000; " + used + " ms is used");
        ms = usual;
    }
    return MillisecondsToTicks(ms, ticksPerSecond);
}

}  // namespace

void StartSchedule(Pacer& pacer, uint64_t ticksPerSecond) {
    const PacingTuning usual;
    const PacingTuning& tuning = pacer.tuning != nullptr ? *pacer.tuning : usual;
    pacer.schedule.Start(ticksPerSecond, pacer.rate, tuning.stallFrames);
    pacer.displayFrames.Start(pacer.rate, tuning.stallFrames);
    pacer.coarseMarginTicks =
        MarginTicks(tuning.coarseMarginMs, usual.coarseMarginMs, "sleep", ticksPerSecond);
    pacer.spinMarginTicks =
        MarginTicks(tuning.spinMarginMs, usual.spinMarginMs, "yield", ticksPerSecond);
}

void PaceWith(Pacer& pacer, PacingMethod method) {
    pacer.method = method;
    if (method == PacingMethod::Vsync) {
        pacer.vsyncCheck.Start(pacer.schedule.WholePeriod(), pacer.schedule.StallTicks());
    }
}

uint64_t FrameTurn(Pacer& pacer, uint64_t now) {
    if (pacer.method == PacingMethod::Off) {
        return now;
    }
    pacer.turnAskedAt = now;
    pacer.turnDue = pacer.schedule.Due(now);
    pacer.turnRestarted = pacer.schedule.Restarted();
    return pacer.method == PacingMethod::Timer ? pacer.turnDue : now;
}

bool FrameShownAt(Pacer& pacer, uint64_t shownAt) {
    if (pacer.method == PacingMethod::Off) {
        return true;
    }
    pacer.schedule.Advance();
    return pacer.method != PacingMethod::Vsync ||
           pacer.vsyncCheck.Record(pacer.turnAskedAt, pacer.turnDue, pacer.turnRestarted, shownAt);
}

void StartPacing(Pacer& pacer, Window& window, int32_t rate) {
    pacer.rate = rate;
    pacer.vsyncDistrusted = false;
    StartSchedule(pacer, SDL_GetPerformanceFrequency());
    ChoosePacingMethod(pacer, window);
}

void ChoosePacingMethod(Pacer& pacer, Window& window) {
    if (!pacer.enabled || pacer.unpacedSession) {
        SetVsync(window, false);
        PaceWith(pacer, PacingMethod::Off);
        return;
    }
    // Tried only where the display reports the game's very rate; the check
    // then holds it to it.
    if (!pacer.vsyncDistrusted && DisplayRefreshRate(window) == pacer.rate &&
        SetVsync(window, true)) {
        PaceWith(pacer, PacingMethod::Vsync);
        return;
    }
    SetVsync(window, false);
    PaceWith(pacer, PacingMethod::Timer);
}

#ifdef __EMSCRIPTEN__
namespace {

// In a web page the game's loop, which never returns, must give control back
// to the browser for anything to be shown or any key to arrive: each frame
// waits here, its stack unwound and later rewound, until the browser's next
// animation frame, and gets that frame's start time in milliseconds. A hidden
// page gets no animation frames, so the game waits with it.
//
// The program's end unwinds the game's stack by throwing emscripten's
// ExitStatus from where the last frame resumed: in this callback. That is the
// game's normal end, which the page learns from onExit; it is caught here, so
// no browser reports it as an uncaught exception or an unhandled rejection
// (an awaited promise would turn it into one). Anything else is thrown on.
// clang-format off
EM_JS(double, WaitForAnimationFrame, (), {
    return Asyncify.handleSleep(function(wakeUp) {
        requestAnimationFrame(function(time) {
            try {
                wakeUp(time);
            } catch (thrown) {
                if (!(thrown instanceof ExitStatus)) {
                    throw thrown;
                }
            }
        });
    });
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
        const double startMs = WaitForAnimationFrame();
        if (pacer.method == PacingMethod::Off ||
            pacer.displayFrames.Offer(MillisecondsToTicks(startMs, 1000000))) {
            return;
        }
    }
}
#else
namespace {

void SleepUntil(const Pacer& pacer, uint64_t deadline) {
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    for (;;) {
        const uint64_t now = SDL_GetPerformanceCounter();
        if (now >= deadline) {
            return;
        }
        const uint64_t remaining = deadline - now;
        const uint64_t wholeMs = remaining > pacer.coarseMarginTicks
                                     ? (remaining - pacer.coarseMarginTicks) * 1000 / frequency
                                     : 0;
        if (wholeMs >= 1) {
            SDL_Delay(static_cast<Uint32>(wholeMs));
            continue;
        }
#ifndef _WIN32
        // Sub-millisecond sleeps are only that short outside Windows, where a
        // sleep lasts at least a timer tick.
        if (remaining > pacer.spinMarginTicks) {
            const uint64_t us = (remaining - pacer.spinMarginTicks) * 1000000 / frequency;
            if (us > 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(us));
                continue;
            }
        }
#endif
        std::this_thread::yield();
    }
}

}  // namespace

void AwaitFrameTurn(Pacer& pacer) {
    SleepUntil(pacer, FrameTurn(pacer, SDL_GetPerformanceCounter()));
}

void FrameShown(Pacer& pacer, Window& window) {
    if (!FrameShownAt(pacer, SDL_GetPerformanceCounter())) {
        pacer.vsyncDistrusted = true;
        ChoosePacingMethod(pacer, window);
    }
}
#endif

}  // namespace dxsdl
