// Keyboard and game pad state, as the events of dxProcessMessage left it.
#pragma once

#include <SDL.h>

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

// Starts the game pad subsystem and opens the first pad connected; the
// keyboard works without it. Forgets every key held.
void StartInput();
void StopInput();

// Key presses and releases, pads plugged in and pulled out.
void HandleInputEvent(const SDL_Event& event);

// Every key counts as released (the window lost the keyboard).
void ReleaseAllKeys();

// 1 while the key with this scan-code number is held, else 0.
int32_t KeyHeld(int32_t keyCode);

// The bits of the chosen inputs, ORed.
int32_t JoypadBits(int32_t inputType);

// The pad read as pad 1; null when none is connected.
SDL_GameController* OpenPad();

}  // namespace dxsdl
