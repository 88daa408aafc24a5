// The library's pacing on a browser's animation frames, under a fake clock:
// displays of 60 to 240 Hz hand out animation frames (with the jitter of a
// browser's clock, uniform within +-JITTER microseconds), the library's
// DisplayFramePacer picks the ones the game's frames are shown at. Prints,
// per display rate, the frames shown in SECONDS of simulated time, the mean
// interval between them and the spread of the intervals. Headless browsers
// give 60 Hz only; this shows the same rule on the others.
//
// Then the native rule under the same kind of clock (tests/sdl2/fake_display.h):
// vsync tried on displays that report 60 Hz but refresh at another rate, or
// whose compositor holds the window back, with the timer taking over; per
// display, the frames shown in the first SECONDS, their rate, the method at
// the end and the frame from which the timer paced.
//
//   display_pacing [SECONDS] [JITTER]        (60 s and 300 us unless given)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fake_display.h"
#include "library_view.h"

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int jitter = argc > 2 ? std::atoi(argv[2]) : 300;
    if (seconds < 1 || jitter < 0) {
        std::fprintf(stderr, "usage: display_pacing [SECONDS >= 1] [JITTER_US >= 0]\n");
        return 2;
    }
    std::printf("%d s of animation frames, jitter +-%d us; the game asks for 60 frames a second\n",
                seconds, jitter);
    std::printf("%8s %10s %12s %14s %14s %12s\n", "display", "frames", "frames/s", "mean ms",
                "shortest ms", "longest ms");
    for (const int hz : {60, 75, 90, 120, 144, 165, 240}) {
        dxsdl::DisplayFramePacer pacer;
        pacer.Start(60, 4);
        uint64_t seed = 0x9E3779B97F4A7C15u;
        std::vector<uint64_t> shown;
        for (int64_t k = 0; k < static_cast<int64_t>(seconds) * hz; ++k) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            const int64_t offset = static_cast<int64_t>((seed >> 33) % (2 * jitter + 1)) - jitter;
            const auto now = static_cast<uint64_t>(1000000 + k * 1000000 / hz + offset);
            if (pacer.Offer(now)) {
                shown.push_back(now);
            }
        }
        double shortest = 1e9;
        double longest = 0;
        for (size_t i = 1; i < shown.size(); ++i) {
            const double interval = static_cast<double>(shown[i] - shown[i - 1]) / 1000.0;
            shortest = std::min(shortest, interval);
            longest = std::max(longest, interval);
        }
        const double mean = static_cast<double>(shown.back() - shown.front()) / 1000.0 /
                            static_cast<double>(shown.size() - 1);
        std::printf("%5d Hz %10zu %12.3f %14.4f %14.3f %12.3f\n", hz, shown.size(),
                    static_cast<double>(shown.size()) / seconds, mean, shortest, longest);
    }

    // Native: the game wakes up late by as much as a browser's clock jitters.
    const auto jitterUs = static_cast<uint64_t>(jitter);
    std::printf(
        "\nnative, vsync tried first, waking up to %d us late; frames shown in the first %d s\n",
        jitter, seconds);
    std::printf("%-36s %8s %10s %8s %12s\n", "display", "frames", "frames/s", "method",
                "timer from");
    const struct {
        const char* name;
        fakeclock::FakeDisplay display;
    } displays[] = {
        {"60 Hz", {60000, 0, true, jitterUs}},
        {"59.94 Hz", {59940, 0, true, jitterUs}},
        {"59 Hz", {59000, 0, true, jitterUs}},
        {"61 Hz", {61000, 0, true, jitterUs}},
        {"60 Hz, compositor holds one refresh", {60000, 1, true, jitterUs}},
        {"60 Hz, vsync never waits", {60000, 0, false, jitterUs}},
    };
    for (const auto& d : displays) {
        const fakeclock::PacedRun run = fakeclock::PaceOnFakeDisplay(d.display, seconds + 1);
        const auto frames = std::count_if(run.shown.begin(), run.shown.end(), [&](uint64_t t) {
            return t < run.start + static_cast<uint64_t>(seconds) * 1000000;
        });
        std::printf("%-36s %8ld %10.3f %8s", d.name, static_cast<long>(frames),
                    static_cast<double>(frames) / seconds,
                    run.method == dxsdl::PacingMethod::Vsync ? "vsync" : "timer");
        if (run.timerFrom < run.shown.size()) {
            std::printf(" %12zu\n", run.timerFrom);
        } else {
            std::printf(" %12s\n", "-");
        }
    }
    return 0;
}
