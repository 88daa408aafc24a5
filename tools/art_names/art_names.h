// The names of the 408 art files the game loads, in its loading order: the
// landscape's tiles 00.bmp .. 50.bmp, then the sprites chr00-1.bmp ..
// chr50-7.bmp, seven columns to a row. The game makes these names itself, by
// patching digits into a template; the art generator, the tests, the
// benchmarks and the build all take them from here.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace artgen {

inline constexpr int kTileCount = 51;
inline constexpr int kSpriteRows = 51;
inline constexpr int kSpriteColumns = 7;  // columns 1..7

inline std::string TileName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d.bmp", index);
    return name;
}

inline std::string SpriteName(int row, int column) {
    char name[32];
    std::snprintf(name, sizeof name, "chr%02d-%d.bmp", row, column);
    return name;
}

inline std::vector<std::string> ArtFileNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kTileCount; ++i) {
        names.push_back(TileName(i));
    }
    for (int row = 0; row < kSpriteRows; ++row) {
        for (int column = 1; column <= kSpriteColumns; ++column) {
            names.push_back(SpriteName(row, column));
        }
    }
    return names;
}

}  // namespace artgen
