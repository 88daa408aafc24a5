// The loading step alone: every image of the art folder (the game's 408)
// through the library's loader, against a plain loop of SDL_LoadBMP on the
// same files, and that loop with the conversion a plain program needs before
// it can draw them on a 16-bit screen. The files are in the page cache after
// the first round, as they are when a player starts the game a second time.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_main.h"
#include "dxlibdll.h"
#include "library_view.h"

namespace {

std::string artDirectory;

std::vector<std::string> ArtFiles() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(artDirectory, error)) {
        if (entry.path().extension() == ".bmp") {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void BM_LibraryLoadsAll(benchmark::State& state) {
    const std::vector<std::string> files = ArtFiles();
    if (files.empty() || dxSetGraphMode(640, 480, 16, 60) != 0 || dxDxLib_Init() != 0) {
        state.SkipWithError("no art or the library did not start");
        return;
    }
    for (auto _ : state) {
        for (const std::string& file : files) {
            if (dxLoadGraph(file.c_str(), 0) < 0) {
                state.SkipWithError("a file did not load");
                break;
            }
        }
        state.PauseTiming();
        dxsdl::ForgetAllImages();
        state.ResumeTiming();
    }
    dxDxLib_End();
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_LibraryLoadsAll)->Unit(benchmark::kMillisecond);

void BM_PlainSdlLoadBmp(benchmark::State& state) {
    const std::vector<std::string> files = ArtFiles();
    if (files.empty()) {
        state.SkipWithError("no art");
        return;
    }
    for (auto _ : state) {
        for (const std::string& file : files) {
            SDL_Surface* surface = SDL_LoadBMP(file.c_str());
            benchmark::DoNotOptimize(surface);
            SDL_FreeSurface(surface);
        }
    }
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_PlainSdlLoadBmp)->Unit(benchmark::kMillisecond);

// What a plain program keeps: each image converted to the screen's RGB565 with
// black as its colour key, ready for SDL_BlitSurface.
void BM_PlainSdlLoadBmpConvertKey(benchmark::State& state) {
    const std::vector<std::string> files = ArtFiles();
    if (files.empty()) {
        state.SkipWithError("no art");
        return;
    }
    std::vector<SDL_Surface*> kept;
    for (auto _ : state) {
        for (const std::string& file : files) {
            SDL_Surface* loaded = SDL_LoadBMP(file.c_str());
            SDL_Surface* converted =
                loaded != nullptr ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0)
                                  : nullptr;
            SDL_FreeSurface(loaded);
            if (converted != nullptr) {
                SDL_SetColorKey(converted, SDL_TRUE, 0);
                kept.push_back(converted);
            }
        }
        state.PauseTiming();
        for (SDL_Surface* surface : kept) {
            SDL_FreeSurface(surface);
        }
        kept.clear();
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_PlainSdlLoadBmpConvertKey)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        SDL_setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    }
    return bench::RunFrameBenchmarks(argc, argv, artDirectory);
}
