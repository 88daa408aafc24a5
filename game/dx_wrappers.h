// The game's own thin wrappers around three library operations; each returns
// the library's result unchanged.
#pragma once

#include <cstdint>

// dxSetGraphMode with the game's frame rate, 60.
int32_t SetGraphMode(int32_t width, int32_t height, int32_t colorBits);

// dxLoadGraph, name and flag passed through.
int32_t LoadGraph(const char* fileName, int32_t flag);

// dxClearDrawScreen.
int32_t ClearDrawScreen();
