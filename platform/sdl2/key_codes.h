// PC keyboard scan codes, as dxCheckHitKey numbers keys, mapped to SDL's.
#pragma once

#include <SDL.h>

#include <cstdint>

// SDL_SCANCODE_UNKNOWN for a code no key has.
SDL_Scancode ScancodeForKeyCode(int32_t keyCode);
