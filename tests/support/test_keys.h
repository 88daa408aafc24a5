// A key pressed or let go, put in SDL's queue as the system would put it
// there, addressed to the library's window. Also used by programs that are
// not tests (the scripted game), so it reports rather than asserts.
#pragma once

#include <SDL.h>

#include "library_view.h"

namespace testkeys {

// False (SDL_GetError says why) when the queue refused the event.
inline bool PushKey(SDL_Scancode code, bool down, Uint16 modifiers = KMOD_NONE) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = code;
    event.key.keysym.sym = SDL_GetKeyFromScancode(code);
    event.key.keysym.mod = modifiers;
    event.key.windowID = SDL_GetWindowID(dxsdl::VideoWindow());
    return SDL_PushEvent(&event) == 1;
}

}  // namespace testkeys
