// The game's one global record.
#pragma once

#include <cstdint>

struct GameStateRecord {
    int32_t PlayerX;                // x of both player sprites
    int32_t PlayerY;                // y of the lower player sprite
    int32_t TileHandles[101];       // numbered tiles; 0..50 are loaded
    int32_t SpriteHandles[101][8];  // [row][column]; rows 0..50, columns 1..7 are loaded
    int16_t ActorSpriteRow[102];    // per actor slot; slot 1 is the chaser
    int16_t ActorSpriteColumn[102];
    double ActorX[102];
    double ActorY[102];
    double ActorVX[21];  // pixels per frame
    double ActorVY[21];
    char PathBuffer[256];  // the image file name being built, NUL-terminated
    int16_t LoopI;         // loading loops and the draw loop
    int16_t LoopJ;         // inner sprite-loading loop
};

// Zero when the process starts.
extern GameStateRecord GameState;

// The chaser's actor slot.
constexpr int32_t kChaserSlot = 1;
