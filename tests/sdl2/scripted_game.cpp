// The real program on the real library (its static variant), with a player
// scripted through the library's frame hook: Right held from the first frame,
// Escape pressed at frame 100 (SCRIPTED_GAME_TAP_ESCAPE=1: pressed and
// released again before that frame, and held from frame 130 in case the tap
// went unseen). It writes what the test checks into the directory named by
// the first argument: as the library shuts down,
//   last-frame.bmp  the back buffer as the game last drew it
//   state.txt       frames begun, player x and y, chaser x and y as drawn,
//                   and how many of the 408 loads failed
// and, as a frozen frame begins (below), `frozen`: the test's cue to signal.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "entry.h"
#include "game_state.h"
#include "library_view.h"
#include "main_routine.h"
#include "test_keys.h"

namespace {

constexpr int kEscapeFrame = 100;
constexpr int kEscapeHeldAfterATap = 130;

std::string reportDirectory;
int frame = 0;

using testkeys::PushKey;

// SCRIPTED_GAME_FREEZE_AT=N: frame N never ends, as when the display stops
// answering, so only signals can end the game; the report directory gets a
// file "frozen" as it begins.
int freezeAt = -1;
bool tapEscape = false;

void AtFrameStart() {
    if (frame == freezeAt) {
        FILE* frozen = std::fopen((reportDirectory + "/frozen").c_str(), "w");
        if (frozen != nullptr) {
            std::fclose(frozen);
        }
        for (;;) {
            SDL_Delay(1000);
        }
    }
    if (frame == 0) {
        PushKey(SDL_SCANCODE_RIGHT, true);
    } else if (frame == kEscapeFrame) {
        PushKey(SDL_SCANCODE_RIGHT, false);
        PushKey(SDL_SCANCODE_ESCAPE, true);
        if (tapEscape) {
            PushKey(SDL_SCANCODE_ESCAPE, false);
        }
    } else if (frame == kEscapeHeldAfterATap && tapEscape) {
        PushKey(SDL_SCANCODE_ESCAPE, true);
    }
    ++frame;
}

void AtShutdown() {
    SDL_SaveBMP(dxsdl::BackBuffer(), (reportDirectory + "/last-frame.bmp").c_str());
    int failedLoads = 0;
    for (int tile = 0; tile <= 50; ++tile) {
        failedLoads += GameState.TileHandles[tile] < 0 ? 1 : 0;
        for (int column = 1; column <= 7; ++column) {
            failedLoads += GameState.SpriteHandles[tile][column] < 0 ? 1 : 0;
        }
    }
    FILE* state = std::fopen((reportDirectory + "/state.txt").c_str(), "w");
    if (state != nullptr) {
        std::fprintf(state, "%d %d %d %d %d %d\n", frame, GameState.PlayerX, GameState.PlayerY,
                     static_cast<int>(GameState.ActorX[kChaserSlot]),
                     static_cast<int>(GameState.ActorY[kChaserSlot]), failedLoads);
        std::fclose(state);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s REPORT_DIRECTORY\n", argv[0]);
        return 2;
    }
    reportDirectory = argv[1];
    if (const char* freeze = std::getenv("SCRIPTED_GAME_FREEZE_AT")) {
        freezeAt = std::atoi(freeze);
    }
    tapEscape = std::getenv("SCRIPTED_GAME_TAP_ESCAPE") != nullptr;
    dxsdl::SetFrameStartHook(AtFrameStart);
    dxsdl::SetShutdownHook(AtShutdown);
    RuntimeEntry(MainRoutine);
}
