// The main routine shared by the frame benchmarks: takes --art=DIR (default: the
// art beside the executable), then hands the rest to Google Benchmark.
#pragma once

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame_scene.h"

namespace bench {

// Sets artDirectory (ending in '/') and runs every registered benchmark.
inline int RunFrameBenchmarks(int argc, char** argv, std::string& artDirectory) {
    const char* art = nullptr;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--art=", 6) == 0) {
            art = argv[i] + 6;
        } else {
            rest.push_back(argv[i]);
        }
    }
    char* base = SDL_GetBasePath();
    artDirectory = ArtDirectory(art, base != nullptr ? base : "./");
    SDL_free(base);
    if (!artDirectory.empty() && artDirectory.back() != '/') {
        artDirectory += '/';
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
