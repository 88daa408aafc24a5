// The game's frame drawn by plain SDL2 code, as references for our library:
//  - Naive: the way a game programmer would first write it: the clip rectangle
//    set once, SDL_FillRect(surface, NULL, 0), and 105 colour-keyed
//    SDL_BlitSurface calls of the images as SDL_LoadBMP gave them.
//  - Tuned: the fastest plain SDL2 way found: images converted once to the
//    screen's RGB565 format with RLE colour keys, the clear done without the clip.
//  - Memset: the machine's limit, one memset of the 640x480x2-byte back buffer.
// Run from the build's bin/ directory (the art is in bin/resource/bmp), or pass
// --art=DIR.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_main.h"
#include "frame_scene.h"

namespace {

std::string artDirectory;

struct Scene {
    SDL_Surface* screen = nullptr;
    std::vector<SDL_Surface*> images;  // one per draw, shared by file
    std::vector<SDL_Rect> places;
    std::map<std::string, SDL_Surface*> byFile;

    ~Scene() {
        for (auto& entry : byFile) {
            SDL_FreeSurface(entry.second);
        }
        SDL_FreeSurface(screen);
    }
};

// Loads the frame's images; with `tuned`, converts them to the screen format.
bool LoadScene(Scene& scene, bool tuned) {
    scene.screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 16, SDL_PIXELFORMAT_RGB565);
    if (scene.screen == nullptr) {
        return false;
    }
    for (const bench::SceneDraw& draw : bench::GameFrameDraws()) {
        SDL_Surface*& image = scene.byFile[draw.file];
        if (image == nullptr) {
            SDL_Surface* loaded = SDL_LoadBMP((artDirectory + draw.file).c_str());
            if (loaded == nullptr) {
                return false;
            }
            SDL_SetColorKey(loaded, SDL_TRUE, SDL_MapRGB(loaded->format, 0, 0, 0));
            if (tuned) {
                image = SDL_ConvertSurface(loaded, scene.screen->format, 0);
                SDL_FreeSurface(loaded);
                SDL_SetSurfaceRLE(image, 1);
            } else {
                image = loaded;
            }
        }
        scene.images.push_back(image);
        scene.places.push_back(SDL_Rect{draw.x, draw.y, 0, 0});
    }
    return true;
}

void BM_NaiveSdlFrame(benchmark::State& state) {
    Scene scene;
    if (!LoadScene(scene, false)) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_Rect clip{100, 0, 500, 480};
    SDL_SetClipRect(scene.screen, &clip);
    for (auto _ : state) {
        SDL_FillRect(scene.screen, nullptr, 0);
        for (size_t i = 0; i < scene.images.size(); ++i) {
            SDL_Rect place = scene.places[i];
            SDL_BlitSurface(scene.images[i], nullptr, scene.screen, &place);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NaiveSdlFrame)->Unit(benchmark::kMillisecond);

void BM_NaiveSdlClearOnly(benchmark::State& state) {
    Scene scene;
    if (!LoadScene(scene, false)) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_Rect clip{100, 0, 500, 480};
    SDL_SetClipRect(scene.screen, &clip);
    for (auto _ : state) {
        SDL_FillRect(scene.screen, nullptr, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NaiveSdlClearOnly)->Unit(benchmark::kMillisecond);

void BM_TunedSdlFrame(benchmark::State& state) {
    Scene scene;
    if (!LoadScene(scene, true)) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_Rect clip{100, 0, 500, 480};
    for (auto _ : state) {
        SDL_SetClipRect(scene.screen, nullptr);
        SDL_FillRect(scene.screen, nullptr, 0);
        SDL_SetClipRect(scene.screen, &clip);
        for (size_t i = 0; i < scene.images.size(); ++i) {
            SDL_Rect place = scene.places[i];
            SDL_BlitSurface(scene.images[i], nullptr, scene.screen, &place);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TunedSdlFrame)->Unit(benchmark::kMillisecond);

void BM_MemsetBackBuffer(benchmark::State& state) {
    std::vector<unsigned char> backBuffer(640 * 480 * 2);
    for (auto _ : state) {
        std::memset(backBuffer.data(), 0, backBuffer.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemsetBackBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::RunFrameBenchmarks(argc, argv, artDirectory);
}
