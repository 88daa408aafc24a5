// Input: the frame's events read in one place (keys, game pads, quit
// requests, and what happens to the window), and the state they leave for
// dxCheckHitKey and dxGetJoypadInputState.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

#include "pacing.h"
#include "video.h"

namespace dxsdl {

// Direction and button bits of dxGetJoypadInputState.
inline constexpr int32_t kPadDown = 1;
inline constexpr int32_t kPadLeft = 2;
inline constexpr int32_t kPadRight = 4;
inline constexpr int32_t kPadUp = 8;
inline constexpr int32_t kPadButtonA = 16;
inline constexpr int32_t kPadButtonB = 32;
inline constexpr int32_t kPadButtonX = 64;
inline constexpr int32_t kPadButtonY = 128;

// Input types: pad number in the low bits, the keyboard as its own bit.
inline constexpr int32_t kInputPad1 = 1;
inline constexpr int32_t kInputKeyboard = 0x1000;

// The left stick counts as a direction past a quarter of its travel.
inline constexpr int kStickDeadZone = 8192;

// Keyboard and game pad state, as the events of the frames so far left it.
struct Input {
    // The keys the frame sees held: those down, and those pressed since the
    // frame before even if released again, so a tap between two frames is
    // seen by the next one. Recorded and replayed as the frame's keys.
    std::array<bool, SDL_NUM_SCANCODES> held{};
    // Our own record of the keys down, kept from the events we handle: SDL's
    // keyboard state would miss events that reach the queue by other ways
    // than the keyboard driver.
    std::array<bool, SDL_NUM_SCANCODES> down{};
    std::array<bool, SDL_NUM_SCANCODES> pressed{};  // since the frame began
    bool padsAvailable = false;
    SDL_GameController* pad = nullptr;  // read as pad 1
    SDL_JoystickID padId = -1;
    bool quitRequested = false;
    // While a recording is replayed: pad 1's bits come from it, not the pad.
    bool padReplayed = false;
    int32_t replayedPadBits = 0;
    // Pad 1's direction bits from a web page's touch pad (0 elsewhere).
    int32_t touchBits = 0;
};

// The key codes of dxCheckHitKey are PC keyboard scan-code numbers (0x01
// Escape, 0x1C Enter, 0xC8 Up, ...), the numbering the game was written with.
// SDL_SCANCODE_UNKNOWN for a code that names no key.
SDL_Scancode ScancodeForKeyCode(int32_t keyCode);

// Starts the game pad subsystem and opens the first pad connected; the
// keyboard works without it. At start-up, and its end at shut-down.
void StartInput(Input& input);
void StopInput(Input& input);

// Handles every pending event: keys, pads, quit requests, and what happens to
// the window (Alt+Enter, a move to another display, a lost renderer). Called
// once per frame, by dxProcessMessage.
void ReadInput(Input& input, Window& window, Pacer& pacer);

// 1 while the key with this scan-code number is held, else 0; for
// dxCheckHitKey.
int32_t KeyHeld(const Input& input, int32_t keyCode);

// The bits of the chosen inputs, ORed; for dxGetJoypadInputState.
int32_t JoypadBits(const Input& input, int32_t inputType);

}  // namespace dxsdl
