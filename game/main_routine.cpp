#include "main_routine.h"

#include "chaser.h"
#include "dx_wrappers.h"
#include "dxlibdll.h"
#include "game_state.h"
#include "rounding.h"
#include "sprite_loading.h"
#include "truth_value.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int32_t kColorBits = 16;
constexpr int32_t kBackBuffer = -2;

constexpr int32_t kClipLeft = 100;
constexpr int32_t kClipTop = 0;
constexpr int32_t kClipRight = 600;
constexpr int32_t kClipBottom = 480;

constexpr int32_t kKeyboardAndPad1 = 4097;
constexpr int32_t kEscapeKey = 1;
constexpr int32_t kPadDown = 1;
constexpr int32_t kPadLeft = 2;
constexpr int32_t kPadRight = 4;
constexpr int32_t kPadUp = 8;

constexpr int32_t kPlayerStep = 3;
constexpr int32_t kUpperSpriteOffset = 150;
constexpr int32_t kLastIndex = 50;
constexpr int32_t kStripSpacing = 16;
constexpr int32_t kSpriteStripY = 100;
constexpr int32_t kPlayerRow = 25;
constexpr int32_t kTransparent = 1;

void SetInitialValues() {
    GameState.PlayerX = 300;
    GameState.PlayerY = 400;
    GameState.ActorSpriteRow[kChaserSlot] = 29;
    GameState.ActorSpriteColumn[kChaserSlot] = 1;
    GameState.ActorX[kChaserSlot] = 100.0;
    GameState.ActorY[kChaserSlot] = 100.0;
    GameState.ActorVX[kChaserSlot] = 1.0;
    GameState.ActorVY[kChaserSlot] = 1.0;
}

// Four independent tests, each on the values the one before left.
void MovePlayer(int32_t padState) {
    if ((padState & kPadUp) & TruthValue(GameState.PlayerY >= 153)) {
        GameState.PlayerY -= kPlayerStep;
    }
    if ((padState & kPadDown) & TruthValue(GameState.PlayerY <= 450)) {
        GameState.PlayerY += kPlayerStep;
    }
    if ((padState & kPadRight) & TruthValue(GameState.PlayerX <= 570)) {
        GameState.PlayerX += kPlayerStep;
    }
    if ((padState & kPadLeft) & TruthValue(GameState.PlayerX >= 103)) {
        GameState.PlayerX -= kPlayerStep;
    }
}

void DrawFrame() {
    ClearDrawScreen();
    for (GameState.LoopI = 0; GameState.LoopI <= kLastIndex; ++GameState.LoopI) {
        dxDrawGraph(kStripSpacing * GameState.LoopI, 0, GameState.TileHandles[GameState.LoopI],
                    kTransparent);
        dxDrawGraph(kStripSpacing * GameState.LoopI, kSpriteStripY,
                    GameState.SpriteHandles[GameState.LoopI][1], kTransparent);
    }
    dxDrawGraph(GameState.PlayerX, GameState.PlayerY - kUpperSpriteOffset,
                GameState.SpriteHandles[kPlayerRow][2], kTransparent);
    dxDrawGraph(GameState.PlayerX, GameState.PlayerY, GameState.SpriteHandles[kPlayerRow][1],
                kTransparent);
    const int32_t row = GameState.ActorSpriteRow[kChaserSlot];
    const int32_t column = GameState.ActorSpriteColumn[kChaserSlot];
    dxDrawGraph(TruncateToInt(GameState.ActorX[kChaserSlot]),
                TruncateToInt(GameState.ActorY[kChaserSlot]), GameState.SpriteHandles[row][column],
                kTransparent);
    dxScreenFlip();
}

}  // namespace

int32_t MainRoutine() {
    int32_t padState = 0;

    SetGraphMode(kScreenWidth, kScreenHeight, kColorBits);
    if (dxDxLib_Init() == -1) {
        return -1;
    }
    dxSetDrawScreen(kBackBuffer);
    dxSetDrawArea(kClipLeft, kClipTop, kClipRight, kClipBottom);
    LoadImages();
    SetInitialValues();

    for (;;) {
        if (dxProcessMessage() != 0) {
            break;
        }
        if (dxCheckHitKey(kEscapeKey) == 1) {
            break;
        }
        padState = dxGetJoypadInputState(kKeyboardAndPad1);
        MovePlayer(padState);
        ChaserStep();
        DrawFrame();
    }
    dxDxLib_End();
    return 0;
}
