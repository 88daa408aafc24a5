// Measures the library's frame pacing: 600 frames (or the number given) at
// 60 Hz in SDL's offscreen driver, each one the game's frame drawn from the
// art beside the tool when it is there (bin/resource/bmp), else a cleared
// screen. Prints the mean frame interval, the median and 99th percentile of
// each interval's distance from 1/60 s, the largest, and the processor time
// the process used per second of wall time.
//
// Beside the library's own pacing, two references pace the same frames with
// the library's pacing off: --reference=delay waits as a plain program first
// would, SDL_Delay for the whole milliseconds left until the next 1/60 s;
// --reference=spin waits by reading the clock without pause, the best this
// machine can do at the price of a whole core.
//
// --spin-ms=M sets how long before each deadline the library stops sleeping.
//
//   pacing [FRAMES] [--art=DIR] [--reference=delay|spin] [--spin-ms=M]
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "dxlibdll.h"
#include "exports.h"
#include "frame_scene.h"

namespace {

double ProcessorSeconds() {
#ifndef _WIN32
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#else
    return 0.0;
#endif
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 600;
    const char* art = nullptr;
    std::string reference;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--art=", 6) == 0) {
            art = argv[i] + 6;
        } else if (std::strncmp(argv[i], "--spin-ms=", 10) == 0) {
            dxsdl::Tuning().spinMarginMs = std::atof(argv[i] + 10);
        } else if (std::strncmp(argv[i], "--reference=", 12) == 0) {
            reference = argv[i] + 12;
            if (reference != "delay" && reference != "spin") {
                std::fprintf(stderr, "unknown reference %s (delay or spin)\n", reference.c_str());
                return 2;
            }
        } else {
            frames = std::max(2, std::atoi(argv[i]));
        }
    }
    // Headless unless the caller chose a driver: asked for by name, so the
    // library accepts it.
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        SDL_setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    char* base = SDL_GetBasePath();
    std::string artDirectory = bench::ArtDirectory(art, base != nullptr ? base : "./");
    SDL_free(base);
    if (!artDirectory.empty() && artDirectory.back() != '/') {
        artDirectory += '/';
    }

    if (dxSetGraphMode(640, 480, 16, 60) != 0 || dxDxLib_Init() != 0) {
        return 1;
    }
    dxSetDrawScreen(-2);
    dxSetDrawArea(100, 0, 600, 480);
    struct Draw {
        int32_t handle;
        int x;
        int y;
    };
    std::vector<Draw> draws;
    for (const bench::SceneDraw& draw : bench::GameFrameDraws()) {
        const int32_t handle = dxLoadGraph((artDirectory + draw.file).c_str(), 0);
        if (handle < 0) {
            draws.clear();
            break;
        }
        draws.push_back(Draw{handle, draw.x, draw.y});
    }
    const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
    const auto period = static_cast<uint64_t>(frequency / 60.0);
    uint64_t due = 0;
    const auto waitForTurn = [&] {
        const uint64_t now = SDL_GetPerformanceCounter();
        if (due == 0 || now > due + 4 * period) {
            due = now;
        }
        if (reference == "delay") {
            const uint64_t left = due > now ? due - now : 0;
            SDL_Delay(static_cast<Uint32>(static_cast<double>(left) * 1000.0 / frequency));
        } else {
            while (SDL_GetPerformanceCounter() < due) {
            }
        }
        due += period;
    };
    if (!reference.empty()) {
        dxsdl::SetPacingEnabled(false);
    }
    const auto frame = [&] {
        dxProcessMessage();
        dxClearDrawScreen();
        for (const Draw& draw : draws) {
            dxDrawGraph(draw.x, draw.y, draw.handle, 1);
        }
        if (!reference.empty()) {
            waitForTurn();
        }
        dxScreenFlip();
    };

    for (int i = 0; i < 10; ++i) {
        frame();  // settle the schedule
    }
    std::vector<uint64_t> shown;
    shown.reserve(static_cast<size_t>(frames) + 1);
    const double cpuBefore = ProcessorSeconds();
    shown.push_back(SDL_GetPerformanceCounter());
    for (int i = 0; i < frames; ++i) {
        frame();
        shown.push_back(SDL_GetPerformanceCounter());
    }
    const double cpuAfter = ProcessorSeconds();
    const std::string method =
        !reference.empty()                                           ? "reference " + reference
        : dxsdl::CurrentPacingMethod() == dxsdl::PacingMethod::Vsync ? "vsync"
        : dxsdl::CurrentPacingMethod() == dxsdl::PacingMethod::Timer ? "timer"
                                                                     : "off";
    dxDxLib_End();

    const double target = 1.0 / 60.0;
    std::vector<double> distances;
    for (size_t i = 1; i < shown.size(); ++i) {
        const double interval = static_cast<double>(shown[i] - shown[i - 1]) / frequency;
        distances.push_back(interval > target ? interval - target : target - interval);
    }
    const double wall = static_cast<double>(shown.back() - shown.front()) / frequency;
    std::printf("frames            %d (%s pacing, %s)\n", frames, method.c_str(),
                draws.empty() ? "cleared screen only" : "the game's frame from the art");
    std::printf("mean interval     %.4f ms (1/60 s = %.4f ms)\n", 1000.0 * wall / frames,
                1000.0 * target);
    std::printf("distance median   %.4f ms\n", 1000.0 * Percentile(distances, 0.5));
    std::printf("distance p99      %.4f ms\n", 1000.0 * Percentile(distances, 0.99));
    std::printf("distance max      %.4f ms\n", 1000.0 * Percentile(distances, 1.0));
    std::printf("processor time    %.2f %% of one core\n", 100.0 * (cpuAfter - cpuBefore) / wall);
    return 0;
}
