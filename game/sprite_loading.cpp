#include "sprite_loading.h"

#include "dx_wrappers.h"
#include "game_state.h"
#include "kernel32.h"
#include "rounding.h"
#include "string_ops.h"

namespace {

constexpr char kTileTemplate[] = "resource\\bmp\\00.bmp";
constexpr int32_t kTileTensAt = 13;
constexpr int32_t kTileUnitsAt = 14;

constexpr char kSpriteTemplate[] = "resource\\bmp\\chr06-1.bmp";
constexpr int32_t kSpriteTensAt = 16;
constexpr int32_t kSpriteUnitsAt = 17;
constexpr int32_t kSpriteColumnAt = 19;

constexpr int32_t kLastIndex = 50;
constexpr int32_t kLastColumn = 7;

// The character code of "0", taken anew from a temporary string each time.
int32_t CodeOfZero() {
    ManagedString zero = nullptr;
    zero = NewString(lstrlenA("0"));
    lstrcpyA(zero, "0");
    return FirstCharCode(zero);
}

int32_t TensDigit(int32_t n) {
    return FloorToInt(static_cast<double>(n) / 10.0);
}

int32_t UnitsDigit(int32_t n) {
    return n - FloorToInt(static_cast<double>(n) / 10.0) * 10;
}

// Writes one digit character: the code of "0" first, then the digit's value.
void PutDigit(int32_t position, int32_t (*digitOf)(int32_t), int32_t n) {
    int32_t code = 0;
    int32_t digit = 0;
    code = CodeOfZero();
    digit = digitOf(n);
    GameState.PathBuffer[position] = static_cast<char>(static_cast<uint8_t>(code + digit));
}

}  // namespace

void LoadImages() {
    lstrcpyA(GameState.PathBuffer, kTileTemplate);
    for (GameState.LoopI = 0; GameState.LoopI <= kLastIndex; ++GameState.LoopI) {
        PutDigit(kTileTensAt, TensDigit, GameState.LoopI);
        PutDigit(kTileUnitsAt, UnitsDigit, GameState.LoopI);
        GameState.TileHandles[GameState.LoopI] = LoadGraph(GameState.PathBuffer, 0);
    }

    lstrcpyA(GameState.PathBuffer, kSpriteTemplate);
    for (GameState.LoopI = 0; GameState.LoopI <= kLastIndex; ++GameState.LoopI) {
        PutDigit(kSpriteTensAt, TensDigit, GameState.LoopI);
        PutDigit(kSpriteUnitsAt, UnitsDigit, GameState.LoopI);
        for (GameState.LoopJ = 1; GameState.LoopJ <= kLastColumn; ++GameState.LoopJ) {
            PutDigit(kSpriteColumnAt, UnitsDigit, GameState.LoopJ);
            GameState.SpriteHandles[GameState.LoopI][GameState.LoopJ] =
                LoadGraph(GameState.PathBuffer, 0);
        }
    }
}
