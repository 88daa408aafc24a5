// Pacing: frames are shown at the rate the game asked for, whatever the
// display's own rate.
#pragma once

#include <cstdint>

#include "video.h"

namespace dxsdl {

enum class PacingMethod { Off, Timer, Vsync };

// The timer's knobs, for tools that measure it.
struct PacingTuning {
    double coarseMarginMs = 2.0;  // whole-millisecond sleeps end this long before the deadline
    double spinMarginMs = 0.2;    // short sleeps end this long before it; then yields
    int32_t stallFrames = 4;      // later than this many periods: start afresh
};

// The deadlines of the timer, as arithmetic on counter ticks.
class FrameSchedule {
  public:
    void Start(uint64_t ticksPerSecond, int32_t framesPerSecond, int32_t stallFrames);
    // When the coming frame is due, given the time now. The first frame is due
    // at once; a frame later than the stall limit is due now, and the frames
    // after it follow from now.
    uint64_t Due(uint64_t now);
    // The coming frame was shown: the next one is due one period after it.
    void Advance();
    uint64_t WholePeriod() const { return period_; }

  private:
    uint64_t period_ = 0;     // whole ticks per frame
    uint64_t remainder_ = 0;  // ticksPerSecond % framesPerSecond
    uint64_t rate_ = 1;
    uint64_t carried_ = 0;  // remainders gathered so far, below rate_
    uint64_t stallTicks_ = 0;
    uint64_t next_ = 0;
    bool started_ = false;
};

// Pacing on the display's own frames, as a browser hands them out (animation
// frames at 60, 120, 144 Hz...): the coming frame is shown at the first display
// frame that begins at or after its deadline, so the game keeps its own rate
// whatever the display's. Times are in microseconds. A small tolerance absorbs
// the jitter and coarse clock of display-frame times, which would otherwise
// put a frame due at exactly a display frame's time one display frame late.
// After a stall (no display frames while a page is hidden) the schedule starts
// afresh at the next display frame.
class DisplayFramePacer {
  public:
    static constexpr uint64_t kToleranceUs = 1000;
    void Start(int32_t framesPerSecond, int32_t stallFrames);
    // A display frame begins at `nowUs`: true when the coming frame is shown
    // at it; the schedule then moves on to the next one.
    bool Offer(uint64_t nowUs);

  private:
    FrameSchedule schedule_;
};

// Watches the intervals between frames while vertical-blank waits pace them:
// some systems accept the request and then do not wait. Untrusted once the
// median of a window of intervals is under three quarters of a period.
class VsyncCheck {
  public:
    void Start(uint64_t periodTicks);
    // The time a frame was shown; false once vsync has proved not to pace.
    bool Record(uint64_t shownAt);

  private:
    static constexpr int kWindow = 31;
    uint64_t period_ = 0;
    uint64_t last_ = 0;
    bool haveLast_ = false;
    int count_ = 0;
    uint64_t intervals_[kWindow] = {};
};

struct Pacer {
    // Given at start-up: the timer's knobs, whether pacing is switched on (tests
    // and tools switch it off), and whether the session asked for frames as
    // fast as they come (DXLIBDLL_UNPACED).
    const PacingTuning* tuning = nullptr;
    bool enabled = true;
    bool unpacedSession = false;
    int32_t rate = 60;
    PacingMethod method = PacingMethod::Timer;
    FrameSchedule schedule;
    DisplayFramePacer displayFrames;  // a web page's animation frames
    VsyncCheck vsyncCheck;
    bool vsyncDistrusted = false;    // proved not to pace: the timer for good
    uint32_t unpacedSinceYield = 0;  // a web page's unpaced frames since it last gave way
};

// Takes up the game's rate and picks the pacing method for the display the
// window is on now; at start-up.
void StartPacing(Pacer& pacer, Window& window, int32_t rate);
// Picks it again: after the window moved to another display, went fullscreen,
// or pacing was switched on or off.
void ChoosePacingMethod(Pacer& pacer, Window& window);

#ifdef __EMSCRIPTEN__
// In a web page: waits for the browser's animation frame at which the coming
// frame is due (or, unpaced, gives the browser a moment now and then).
void AwaitAnimationFrame(Pacer& pacer);
#else
// Waits until the coming frame is due, before it is shown.
void AwaitFrameTurn(Pacer& pacer);
// The frame was shown: the schedule moves on, and vertical-blank waits are
// checked for really pacing.
void FrameShown(Pacer& pacer, Window& window);
#endif

}  // namespace dxsdl
