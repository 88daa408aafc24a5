// The game's frame through our library, against a memset of its back buffer:
//  - Draw: dxClearDrawScreen and the frame's 105 transparent draws.
//  - Show: dxScreenFlip with pacing off (texture update and presentation).
//  - Memset: one memset of the 640x480x2-byte back buffer.
//  - Digest: the frame digest (XXH3 of the back buffer) written per frame
//    when digests are asked for, beside the drawing it checks.
//  - ReadMillionFrames: reading a recording of a million frames, through once
//    at start-up and then frame by frame as it plays.
// Headless in SDL's offscreen driver without 3D acceleration unless
// SDL_VIDEODRIVER says otherwise. The art comes from bin/resource/bmp beside
// the program, or --art=DIR.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_main.h"
#include "dxlibdll.h"
#include "frame_scene.h"
#include "library_view.h"

namespace {

std::string artDirectory;

struct Draw {
    int32_t handle;
    int x;
    int y;
};

// Starts the library as the game does and loads the frame's images.
bool StartScene(std::vector<Draw>* draws, std::string* error) {
    if (dxSetGraphMode(640, 480, 16, 60) != 0 || dxDxLib_Init() != 0) {
        *error = "the library did not start";
        return false;
    }
    dxsdl::SetPacingEnabled(false);
    dxSetDrawScreen(-2);
    dxSetDrawArea(100, 0, 600, 480);
    for (const bench::SceneDraw& draw : bench::GameFrameDraws()) {
        const int32_t handle = dxLoadGraph((artDirectory + draw.file).c_str(), 0);
        if (handle < 0) {
            *error = "no art in " + artDirectory;
            dxDxLib_End();
            return false;
        }
        draws->push_back(Draw{handle, draw.x, draw.y});
    }
    return true;
}

void DrawFrame(const std::vector<Draw>& draws) {
    dxClearDrawScreen();
    for (const Draw& draw : draws) {
        dxDrawGraph(draw.x, draw.y, draw.handle, 1);
    }
}

void BM_LibraryFrameDraw(benchmark::State& state) {
    std::vector<Draw> draws;
    std::string error;
    if (!StartScene(&draws, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        DrawFrame(draws);
        benchmark::ClobberMemory();
    }
    dxDxLib_End();
}
BENCHMARK(BM_LibraryFrameDraw)->Unit(benchmark::kMicrosecond);

void BM_LibraryFrameShow(benchmark::State& state) {
    std::vector<Draw> draws;
    std::string error;
    if (!StartScene(&draws, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    DrawFrame(draws);
    for (auto _ : state) {
        dxScreenFlip();
        benchmark::ClobberMemory();
    }
    dxDxLib_End();
}
BENCHMARK(BM_LibraryFrameShow)->Unit(benchmark::kMicrosecond);

void BM_LibraryMemsetBackBuffer(benchmark::State& state) {
    std::vector<unsigned char> backBuffer(640 * 480 * 2);
    for (auto _ : state) {
        std::memset(backBuffer.data(), 0, backBuffer.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LibraryMemsetBackBuffer)->Unit(benchmark::kMicrosecond);

void BM_LibraryFrameDigest(benchmark::State& state) {
    std::vector<Draw> draws;
    std::string error;
    if (!StartScene(&draws, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    DrawFrame(draws);
    uint64_t digest = 0;
    for (auto _ : state) {
        digest ^= dxsdl::FrameDigest(dxsdl::BackBuffer());
        benchmark::DoNotOptimize(digest);
    }
    dxDxLib_End();
}
BENCHMARK(BM_LibraryFrameDigest)->Unit(benchmark::kMicrosecond);

// A million frames of varied input, as a long recording would hold them,
// read as the game reads one: through once at start-up, then frame by frame.
void BM_ReplayReadMillionFrames(benchmark::State& state) {
    std::string text(dxsdl::kReplayHeader);
    text += '\n';
    const char* const lines[] = {"0 0\n", "0 0 205\n", "8 0\n", "0 0 200 203 205 208\n",
                                 "5 0 72 77\n"};
    for (int i = 0; i < 1000000; ++i) {
        text += lines[(i / 60) % 5];
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "library_frame_bench.replay";
    std::ofstream(path, std::ios::binary) << text;
    uint64_t frames = 0;
    for (auto _ : state) {
        dxsdl::ReplayReader reader;
        uint64_t badLine = 0;
        std::string reason;
        if (!reader.Open(path.string(), &badLine, &reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        dxsdl::FrameInput frame;
        frames = 0;
        while (reader.Next(&frame, &badLine, &reason) == dxsdl::ReplayReader::Step::Frame) {
            ++frames;
        }
        benchmark::DoNotOptimize(frame);
    }
    std::filesystem::remove(path);
    state.counters["frames"] = static_cast<double>(frames);
}
BENCHMARK(BM_ReplayReadMillionFrames)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        SDL_setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    return bench::RunFrameBenchmarks(argc, argv, artDirectory);
}
