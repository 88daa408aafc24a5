// The game's frame as a list of draws, for benchmarks that replay it with other
// drawing code: 51 tiles, 51 strip sprites, the player's two parts, the chaser.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "art_names.h"

namespace bench {

struct SceneDraw {
    std::string file;  // image file under the art directory
    int x;
    int y;
};

// The draws of a frame with the player at its start (300, 400) and the chaser
// after its first step (102, 102), in the game's order.
inline std::vector<SceneDraw> GameFrameDraws() {
    std::vector<SceneDraw> draws;
    for (int i = 0; i < artgen::kTileCount; ++i) {
        draws.push_back({artgen::TileName(i), 16 * i, 0});
        draws.push_back({artgen::SpriteName(i, 1), 16 * i, 100});
    }
    draws.push_back({"chr25-2.bmp", 300, 250});
    draws.push_back({"chr25-1.bmp", 300, 400});
    draws.push_back({"chr29-1.bmp", 102, 102});
    return draws;
}

// The art directory: the first argument, else resource/bmp beside the benchmark.
inline std::string ArtDirectory(const char* argument, const char* executableDir) {
    if (argument != nullptr) {
        return argument;
    }
    return std::string(executableDir) + "resource/bmp/";
}

}  // namespace bench
