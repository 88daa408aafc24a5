// The key codes of dxCheckHitKey: PC keyboard scan-code numbers (0x01 Escape,
// 0x1C Enter, 0xC8 Up, ...), the numbering the game was written with.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace dxsdl {

// SDL_SCANCODE_UNKNOWN for a code that names no key.
SDL_Scancode ScancodeForKeyCode(int32_t keyCode);

}  // namespace dxsdl
