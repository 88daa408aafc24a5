// The library's inside, for its tests and measuring tools (which link the
// static variant, dxlibdll_sdl2): the back buffer's pixels, the window, the
// pacing knobs, and hooks into the frame loop. The game sees none of this.
#pragma once

#include <SDL.h>

#include "back_buffer.h"
#include "frame_pacer.h"
#include "video.h"

namespace dxsdl {

// Runs at the start of every dxProcessMessage, before the events are handled,
// so a test can put events in the queue for the frame about to begin.
using Hook = void (*)();
void SetFrameStartHook(Hook hook);
// Runs at the start of dxDxLib_End, while the back buffer still holds the last
// frame drawn.
void SetShutdownHook(Hook hook);

// Whether dxDxLib_Init succeeded and dxDxLib_End has not run since.
bool Started();

}  // namespace dxsdl
