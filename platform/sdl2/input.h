// Input: the frame's events read in one place (keys, game pads, quit
// requests), made into the frame's input, the one value dxCheckHitKey and
// dxGetJoypadInputState read; and what happened to the window, handed on.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

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

// What the game sees of one frame: recorded and replayed whole, a line a
// frame, as a demo keeps its per-tic commands.
struct FrameInput {
    // The keys held: those down, and those pressed since the frame before
    // even if released again, so a tap between two frames is seen by the
    // next one.
    std::array<bool, SDL_NUM_SCANCODES> held{};
    int32_t padBits = 0;  // pad 1's
    bool quit = false;    // a quit request stands
};

// What happened to the window in the frame's events, for the window and
// pacing code to answer.
struct WindowEvents {
    int fullscreenToggles = 0;  // Alt+Enter pressed
    bool displayChanged = false;
    bool renderReset = false;  // the renderer's textures are lost
};

// Keyboard and game pad state, as the events of the frames so far left it.
struct Input {
    // The keys the coming frame sees held (see FrameInput).
    std::array<bool, SDL_NUM_SCANCODES> held{};
    // Our own record of the keys down, kept from the events we handle: SDL's
    // keyboard state would miss events that reach the queue by other ways
    // than the keyboard driver.
    std::array<bool, SDL_NUM_SCANCODES> down{};
    std::array<bool, SDL_NUM_SCANCODES> pressed{};  // since the frame began
    bool padsAvailable = false;
    SDL_GameController* pad = nullptr;  // read as pad 1
    SDL_JoystickID padId = -1;
    // A live quit request (the window closed, a signal): it stands from
    // then on.
    bool quitRequested = false;
};

// The key codes of dxCheckHitKey are PC keyboard scan-code numbers (0x01
// Escape, 0x1C Enter, 0xC8 Up, ...), the numbering the game was written with.
// SDL_SCANCODE_UNKNOWN for a code that names no key.
SDL_Scancode ScancodeForKeyCode(int32_t keyCode);

// Starts the game pad subsystem and opens the first pad connected; the
// keyboard works without it. At start-up, and its end at shut-down.
void StartInput(Input& input);
void StopInput(Input& input);

// Handles every pending event and makes the frame's input of them: keys,
// pads, quit requests; what happened to the window goes to `window`. Called
// once per frame, by dxProcessMessage.
FrameInput ReadInput(Input& input, WindowEvents* window);

// A quit request from outside the events (a signal): it stands from then on.
void RequestQuit(Input& input);

// 1 while the key with this scan-code number is held, else 0; for
// dxCheckHitKey.
int32_t KeyHeld(const FrameInput& frame, int32_t keyCode);

// The bits of the chosen inputs, ORed; for dxGetJoypadInputState.
int32_t JoypadBits(const FrameInput& frame, int32_t inputType);

}  // namespace dxsdl
