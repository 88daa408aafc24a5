// Pacing: frames are shown at the rate the game asked for, whatever the
// display's own rate.
#pragma once

#include <cstdint>

namespace dxsdl {

struct Window;

enum class PacingMethod { Off, Timer, Vsync };

// The timer's knobs, for tools that measure it; taken at start-up. A margin
// that is not a number of milliseconds from 0 to 1000 is refused with a line,
// and the usual one used.
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
    // Whether the last Due started the schedule afresh.
    bool Restarted() const { return restarted_; }
    uint64_t WholePeriod() const { return period_; }
    uint64_t StallTicks() const { return stallTicks_; }

  private:
    uint64_t period_ = 0;     // whole ticks per frame
    uint64_t remainder_ = 0;  // ticksPerSecond % framesPerSecond
    uint64_t rate_ = 1;
    uint64_t carried_ = 0;  // remainders gathered so far, below rate_
    uint64_t stallTicks_ = 0;
    uint64_t next_ = 0;
    bool started_ = false;
    bool restarted_ = false;
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

// Watches frames shown while vertical-blank waits pace them, and keeps vsync
// only while it keeps the game's own rate: every frame shown within one and
// a half periods of its place in the schedule (taken from the first frame
// shown, or the first after a stall), and no wait for one longer than the
// stall limit. A display at another rate drifts out of the schedule (59 Hz
// in about a second and a half), as does a system that accepts the request
// and then does not wait (at once), or a compositor that holds the window
// back (a few frames).
class VsyncCheck {
  public:
    void Start(uint64_t periodTicks, uint64_t stallTicks);
    // A frame asked for its turn at `askedAt`, the schedule put it at `due`
    // (`restarted`: afresh, after a stall), and it was shown at `shownAt`.
    // False once vsync has proved not to keep the game's rate.
    bool Record(uint64_t askedAt, uint64_t due, bool restarted, uint64_t shownAt);

  private:
    uint64_t period_ = 0;
    uint64_t stall_ = 0;
    int64_t reference_ = 0;  // shown minus due, where the schedule began
    bool haveReference_ = false;
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
    // One schedule for the whole run, kept when the method changes, so the
    // frames vsync lost before it was found out are made up by the timer.
    FrameSchedule schedule;
    uint64_t coarseMarginTicks = 0;  // the tuning's margins, in counter ticks
    uint64_t spinMarginTicks = 0;
    uint64_t turnAskedAt = 0;  // the coming frame: when it asked for its turn,
    uint64_t turnDue = 0;      // when the schedule puts it
    bool turnRestarted = false;
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

// The rule itself, on counter ticks and apart from the clock and the display,
// so that a fake clock can drive it. StartSchedule starts the schedule for a
// counter of that many ticks a second, and takes the tuning's margins.
// PaceWith sets the method. FrameTurn: the coming frame asks for its turn at
// `now`; the time it may be shown (the timer's deadline, else now). FrameShownAt:
// it was shown at `shownAt`; false when vsync proved not to keep the game's
// rate, and the timer must take over.
void StartSchedule(Pacer& pacer, uint64_t ticksPerSecond);
void PaceWith(Pacer& pacer, PacingMethod method);
uint64_t FrameTurn(Pacer& pacer, uint64_t now);
bool FrameShownAt(Pacer& pacer, uint64_t shownAt);

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
