// The real program on the real library (its static variant), with a player
// scripted through the library's frame hook: Right held from the first frame,
// Escape pressed at frame 100 (SCRIPTED_GAME_TAP_ESCAPE=1: pressed and
// released again before that frame, and held from frame 130 in case the tap
// went unseen). SCRIPTED_GAME_PAD=1: a game pad alone (SDL's virtual one)
// plays: plugged in before the first frame, its d-pad held right from then on,
// Start alone held over frames 30 to 59, Back alone over 60 to 89, and both
// together from frame 100; Escape comes at frame 130 only so that a game that
// missed them still ends soon. It writes what the test checks into the
// directory named by the first argument: as the library shuts down,
//   last-frame.bmp  the back buffer as the game last drew it
//   state.txt       frames begun, player x and y, chaser x and y as drawn,
//                   and how many of the 408 loads failed
// and, as a frozen frame begins (below), `frozen`: the test's cue to signal.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <bit>
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
bool padAlone = false;

constexpr int kStartAloneFrom = 30;
constexpr int kBackAloneFrom = 60;
constexpr int kBackAloneUntil = 90;
constexpr int kBackAndStartFrom = 100;
constexpr int kEscapeAfterThePad = 130;

// The pad's buttons are those of a game controller, Back and Start among
// them, each at another place on the device than SDL's own number for it,
// as on real pads: the library must find them through the pad's mapping.
constexpr Uint32 kPadButtons =
    (1u << SDL_CONTROLLER_BUTTON_A) | (1u << SDL_CONTROLLER_BUTTON_B) |
    (1u << SDL_CONTROLLER_BUTTON_X) | (1u << SDL_CONTROLLER_BUTTON_Y) |
    (1u << SDL_CONTROLLER_BUTTON_BACK) | (1u << SDL_CONTROLLER_BUTTON_START) |
    (1u << SDL_CONTROLLER_BUTTON_DPAD_UP) | (1u << SDL_CONTROLLER_BUTTON_DPAD_DOWN) |
    (1u << SDL_CONTROLLER_BUTTON_DPAD_LEFT) | (1u << SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
SDL_Joystick* virtualPad = nullptr;

void PlugPad() {
    // The offscreen window never has the keyboard focus, and SDL ignores
    // pads while no window of the program has it.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_VirtualJoystickDesc pad{};
    pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    pad.naxes = SDL_CONTROLLER_AXIS_MAX;
    pad.nbuttons = static_cast<Uint16>(std::popcount(kPadButtons));
    pad.button_mask = kPadButtons;
    pad.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    pad.name = "Scripted pad";
    const int index = SDL_JoystickAttachVirtualEx(&pad);
    virtualPad = index < 0 ? nullptr : SDL_JoystickOpen(index);
    if (virtualPad == nullptr) {
        std::fprintf(stderr, "scripted_game: no virtual pad: %s\n", SDL_GetError());
        std::exit(3);
    }
}

// The device's own number of a button: its place among those it has.
void HoldButton(SDL_GameControllerButton button, bool held) {
    const int place = std::popcount(kPadButtons & ((1u << button) - 1));
    SDL_JoystickSetVirtualButton(virtualPad, place, held ? 1 : 0);
}

void PlayWithThePad() {
    if (frame == 0) {
        PlugPad();
        HoldButton(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    }
    HoldButton(SDL_CONTROLLER_BUTTON_START,
               (frame >= kStartAloneFrom && frame < kBackAloneFrom) || frame >= kBackAndStartFrom);
    HoldButton(SDL_CONTROLLER_BUTTON_BACK,
               (frame >= kBackAloneFrom && frame < kBackAloneUntil) || frame >= kBackAndStartFrom);
    if (frame == kEscapeAfterThePad) {
        PushKey(SDL_SCANCODE_ESCAPE, true);
    }
}

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
    if (padAlone) {
        PlayWithThePad();
    } else if (frame == 0) {
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
    padAlone = std::getenv("SCRIPTED_GAME_PAD") != nullptr;
    dxsdl::SetFrameStartHook(AtFrameStart);
    dxsdl::SetShutdownHook(AtShutdown);
    RuntimeEntry(MainRoutine);
}
