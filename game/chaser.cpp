#include "chaser.h"

#include "game_state.h"
#include "real_compare.h"
#include "rounding.h"

namespace {

constexpr int32_t kSpeedLimit = 20;

// One axis: accelerate by the sign of the distance, then hold the speed to the limit.
double Accelerate(double velocity, double target, double position) {
    velocity = velocity + static_cast<double>(SignOf(target - position));
    if (RealGreaterEqual(AbsReal(velocity), static_cast<double>(kSpeedLimit))) {
        velocity = static_cast<double>(SignOf(velocity) * kSpeedLimit);
    }
    return velocity;
}

}  // namespace

void ChaserStep() {
    GameState.ActorVX[kChaserSlot] =
        Accelerate(GameState.ActorVX[kChaserSlot], static_cast<double>(GameState.PlayerX),
                   GameState.ActorX[kChaserSlot]);
    GameState.ActorVY[kChaserSlot] =
        Accelerate(GameState.ActorVY[kChaserSlot], static_cast<double>(GameState.PlayerY),
                   GameState.ActorY[kChaserSlot]);
    GameState.ActorX[kChaserSlot] = GameState.ActorX[kChaserSlot] + GameState.ActorVX[kChaserSlot];
    GameState.ActorY[kChaserSlot] = GameState.ActorY[kChaserSlot] + GameState.ActorVY[kChaserSlot];
}
