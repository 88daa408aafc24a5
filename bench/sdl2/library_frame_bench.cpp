// The game's frame through our library, against a memset of its back buffer:
//  - Draw: dxClearDrawScreen and the frame's 105 transparent draws.
//  - Show: dxScreenFlip with pacing off (texture update and presentation).
//  - Memset: one memset of the 640x480x2-byte back buffer.
// Headless in SDL's offscreen driver without 3D acceleration unless
// SDL_VIDEODRIVER says otherwise. The art comes from bin/resource/bmp beside
// the program, or --art=DIR.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_main.h"
#include "dxlibdll.h"
#include "frame_scene.h"
#include "library.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        SDL_setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    return bench::RunFrameBenchmarks(argc, argv, artDirectory);
}
